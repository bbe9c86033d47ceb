#pragma once
// Where a laid-out document goes: the printer, a PDF file, and the trace.
//
// The trace is plain text, one line per event:
//   begin                                    a document opens
//   line page=1 y=1360 size=10 font=宋体 |…|  a printed line: page, top in
//                                            twips, font size and requested
//                                            font name, the text in columns;
//                                            a text drawn narrower to fit its
//                                            cell stands as {75%:text} (the
//                                            width it is drawn at, the text,
//                                            cut with "…" at its end when even
//                                            40% does not fit; a number is
//                                            never cut: "####" instead)
//                                            in place of the cell's columns,
//                                            so that line's later columns
//                                            stand shifted in the trace
//   picture page=1 x=650 y=4390 w=1500 h=1125  a picture, twips
//   page 2                                   a new page begins
//   end | abort                              the document is finished or dropped

#include "platform/print/Layout.h"

#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

namespace tv::print {

// The printable area of the PDF and trace output: A4 with 5 mm margins, twips.
QSizeF pdfPrintableArea();

class Sink {
public:
    virtual ~Sink() = default;
    // Printable area of the page in twips.
    virtual QSizeF printableArea() const { return pdfPrintableArea(); }
    // Each of these raises PrintError when the output fails.
    virtual void begin() = 0;
    virtual void line(const Placed& p) = 0;
    virtual void picture(const Placed& p, const QImage& image) = 0;
    virtual void newPage(const Placed& p) = 0;
    virtual void end() = 0;
    // Drops the document; never raises.
    virtual void abort() noexcept = 0;
    // What to tell the user once the document has ended ("" = nothing).
    virtual QString notice() const { return QString(); }
};

// The trace, appended to the file at `path` (when not "") and to `memory`
// (when not null).
std::unique_ptr<Sink> makeTraceSink(const QString& path, QStringList* memory);
// A PDF file, written whole at the end (an aborted document leaves no file).
std::unique_ptr<Sink> makePdfSink(const QString& path);
// The default printer, else the first printer, else a PDF file in the current
// folder (its notice then says where).
std::unique_ptr<Sink> makePrinterSink();

// Tests: draws the lines and pictures of one page onto an image as the
// printer would (the image's dots per inch give the scale).
void renderLines(QImage& image, const std::vector<Placed>& steps, const QImage& picture = QImage());

// The formatted trace line of a placed step.
QString traceLine(const Placed& p);

}  // namespace tv::print
