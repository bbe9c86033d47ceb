#pragma once
// The printer as a text device: lines of items placed at columns, the font
// size and name, pictures at positions in twips, and the end of a document.
// The first line printed opens a document; pages break by themselves.

#include "platform/print/PrintTypes.h"

#include <QImage>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tv::print {

class Printer {
public:
    virtual ~Printer() = default;
    // The device the program prints to: the trace and/or PDF named by
    // TENVORA_PRINT_TRACE / TENVORA_PRINT_PDF, else the default printer (the
    // first one when none is default, a PDF file in the current folder when
    // there is none at all, told in a "提示！" box).
    static Printer& device();
    // Tests: route the device to a PDF file and/or a trace file ("" = none).
    // The trace is also kept in memory (traceLines()); with both paths "" the
    // device prints nowhere but into that memory. An open job is aborted first.
    static void useFiles(const QString& pdfPath, const QString& tracePath);
    // Tests: aborts an open job, forgets the routing of useFiles() (the next
    // document goes where the environment says again), empties the trace in
    // memory and puts the font back to its start value (宋体, 10 points).
    static void reset();
    // The trace lines recorded in memory since useFiles() (their form is
    // told in Backends.h), and emptying that record.
    static QStringList traceLines();
    static void clearTrace();

    virtual void printLine(const std::vector<Item>& items) = 0;  // {} = an empty line
    virtual void setFontSize(double points) = 0;
    virtual void setFontName(const QString& name) = 0;
    // Top-left corner at (x, y) twips from the top-left of the printable area
    // of the current page. A picture larger than maxWidth x maxHeight twips
    // (when given, > 0) is scaled down to fit, keeping its proportions; a
    // smaller one is drawn at its own size (96 dpi). A null image draws nothing.
    virtual void drawPicture(const QImage& picture, double xTwips, double yTwips, double maxWidthTwips = 0,
                             double maxHeightTwips = 0) = 0;
    virtual void newPage() = 0;
    virtual void endDoc() = 0;
    // Drops an open job (after an error): nothing more is printed of it.
    virtual void abort() = 0;
    virtual bool isOpen() const = 0;
};

}  // namespace tv::print
