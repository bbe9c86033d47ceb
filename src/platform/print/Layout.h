#pragma once
// The layout engine of the printer: where every printed line and picture goes,
// in twips, with no drawing at all. A column is half an em (font size x 10
// twips) and a character takes two columns when it is two bytes in GBK; lines
// are one em apart (font size x 20 twips); a line that does not fit on the
// page any more begins a new page.
//
// An item's cell ends where the next item of the line begins. A value wider
// than its cell is drawn narrower so that it fits, down to kMinPercent of its
// width. Past that a text is cut, and ends with kCutMark so that the reader
// of the paper sees it is incomplete; a cell holding a number is never cut:
// its numbers give way to "#" filling the cell, as in a spreadsheet, so that
// no number is ever printed as another one. Either way a long value never
// pushes the box lines that follow it. The last item of a line, and an item
// followed by one at a column it has already passed, have no such limit.

#include "platform/print/PrintTypes.h"

#include <QSize>
#include <QSizeF>
#include <QString>

#include <span>
#include <vector>

namespace tv::print {

// A stretch of a printed line drawn narrower than its text: the text of an
// item (with the items printed right after it) that is wider than its cell.
struct Narrow {
    int column = 1;     // the first column of the cell
    int columns = 0;    // the width of the cell
    int percent = 100;  // the width the characters are drawn at
    QString text;       // what is drawn: cut, or its numbers "#", when it does not fit narrowed
};

// One step of a document as the backends receive it.
struct Placed {
    enum class Kind { Line, Picture, NewPage };
    Kind kind = Kind::Line;
    int page = 1;
    // Line: top of the line; Picture: top-left corner. Twips from the top-left
    // corner of the printable area.
    double x = 0, y = 0;
    // Line: font and the text laid out in columns from column 1 (spaces pad
    // the columns skipped and fill the cells of the narrow stretches).
    double fontSize = 0;
    QString fontName;
    QString text;
    std::vector<Narrow> narrow{};  // in column order
    // Picture: drawn size in twips.
    double width = 0, height = 0;
};

class Layout {
public:
    static constexpr double kDefaultFontSize = 10;
    static inline const QString kDefaultFontName = QStringLiteral("宋体");
    // The narrowest a value is drawn to fit its cell, in percent of its width.
    static constexpr int kMinPercent = 40;
    // What ends a text cut to its cell.
    static inline const QString kCutMark = QStringLiteral("…");

    // pageHeight: the height of the printable area in twips.
    explicit Layout(double pageHeight);

    void setFontSize(double points) { fontSize_ = points; }
    void setFontName(const QString& name) { fontName_ = name; }
    double fontSize() const { return fontSize_; }
    const QString& fontName() const { return fontName_; }
    // Twips: a column is half an em, a line one em.
    double columnWidth() const { return fontSize_ * 10; }
    double lineHeight() const { return fontSize_ * 20; }

    // One printed line of items, each text narrowed or cut to its cell;
    // several physical lines when a column item lies behind the position; a
    // page break before any line that would cross the bottom of the page.
    std::vector<Placed> printLine(const std::vector<Item>& items);
    // A picture on the current page; null pictures give nothing.
    std::vector<Placed> picture(QSize pixels, double x, double y, double maxWidth, double maxHeight);
    Placed newPage();

    int page() const { return page_; }
    // Top of the next line on the current page.
    double y() const { return y_; }

private:
    Placed placeLine(const QString& text, std::vector<Narrow> narrow);
    double pageHeight_;
    double fontSize_ = kDefaultFontSize;
    QString fontName_ = kDefaultFontName;
    int page_ = 1;
    double y_ = 0;
};

// How the items of one cell (an item at its column and those printed right
// after it), together wider than its `columns` columns, are drawn there: the
// whole text at the percent that fits it into the cell less half a column,
// down to Layout::kMinPercent. Past that, text alone is cut: the longest
// beginning that fits at kMinPercent with Layout::kCutMark after it (the mark
// alone, narrower still, in a cell too small for a character). A cell with
// numbers keeps its text items at full width and fills the columns left with
// "#" in place of the numbers; it is "#" whole when its text leaves no column
// for them.
Narrow fitCell(std::span<const Item> cell, int columns);

// A picture's printed size: its pixels at 96 dpi (15 twips a pixel), scaled
// down, proportions kept, when larger than maxWidth x maxHeight (a limit of 0
// is no limit).
QSizeF pictureSize(QSize pixels, double maxWidth, double maxHeight);

// The installed font that stands for a requested name ("宋体" -> "AR PL UMing CN").
QString fontFamilyFor(const QString& name);

}  // namespace tv::print
