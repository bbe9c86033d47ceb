#include "platform/print/Layout.h"

#include "platform/text/Gbk.h"

#include <algorithm>
#include <utility>

namespace tv::print {

Layout::Layout(double pageHeight) : pageHeight_(pageHeight) {}

Placed Layout::placeLine(const QString& text, std::vector<Narrow> narrow) {
    Placed p;
    p.kind = Placed::Kind::Line;
    p.fontSize = fontSize_;
    p.fontName = fontName_;
    p.text = text;
    p.narrow = std::move(narrow);
    p.page = page_;
    p.y = y_;
    y_ += lineHeight();
    return p;
}

std::vector<Placed> Layout::printLine(const std::vector<Item>& items) {
    text::LineWriter writer;
    std::vector<std::vector<Narrow>> narrow(1);  // per physical line
    for (size_t i = 0; i < items.size();) {
        // A cell: an item at its column and the items that print right after it.
        if (items[i].column > 0) {
            if (writer.column() > items[i].column)
                narrow.emplace_back();
            writer.at(items[i].column);
        }
        const size_t first = i;
        QString text = items[i].text;
        for (++i; i < items.size() && items[i].column == 0; ++i) text += items[i].text;
        const int start = writer.column();
        const int columns = i < items.size() ? items[i].column - start : 0;
        if (columns <= 0 || text::width(text) <= columns) {
            writer.put(text);
            continue;
        }
        Narrow cell = fitCell(std::span(items).subspan(first, i - first), columns);
        cell.column = start;
        if (cell.percent == 100) {
            writer.put(cell.text);
            continue;
        }
        writer.put(QString(columns, QLatin1Char(' ')));
        narrow.back().push_back(std::move(cell));
    }
    writer.endLine();

    std::vector<Placed> out;
    const QStringList lines = writer.takeLines();
    for (int i = 0; i < lines.size(); ++i) {
        // A line that would cross the bottom goes to the top of a new page;
        // a line taller than a whole page is printed anyway.
        if (y_ > 0 && y_ + lineHeight() > pageHeight_)
            out.push_back(newPage());
        out.push_back(placeLine(lines[i], std::move(narrow[i])));
    }
    return out;
}

std::vector<Placed> Layout::picture(QSize pixels, double x, double y, double maxWidth, double maxHeight) {
    if (pixels.isEmpty())
        return {};
    QSizeF size = pictureSize(pixels, maxWidth, maxHeight);
    Placed p;
    p.kind = Placed::Kind::Picture;
    p.page = page_;
    p.x = x;
    p.y = y;
    p.width = size.width();
    p.height = size.height();
    return {p};
}

Placed Layout::newPage() {
    ++page_;
    y_ = 0;
    Placed p;
    p.kind = Placed::Kind::NewPage;
    p.page = page_;
    return p;
}

namespace {

// The longest beginning of `text` no wider than `limit` hundredths of a column
// when drawn at `percent`, and its width in columns.
std::pair<QString, int> beginning(const QString& text, int percent, int limit) {
    QString out;
    int width = 0;
    for (char32_t c : text.toUcs4()) {
        const int w = text::charWidth(c);
        if ((width + w) * percent > limit)
            break;
        out += QString::fromUcs4(&c, 1);
        width += w;
    }
    return {out, width};
}

}  // namespace

Narrow fitCell(std::span<const Item> cell, int columns) {
    Narrow out;
    out.columns = columns;
    QString all;
    int numbers = 0, textWidth = 0;
    for (const Item& item : cell) {
        all += item.text;
        if (item.number)
            ++numbers;
        else
            textWidth += text::width(item.text);
    }
    // Narrowed text keeps half a column free at the end of its cell, so that
    // it never runs into the item that follows (hundredths of a column).
    const int room = columns * 100 - 50;
    const int width = text::width(all);
    if (width * Layout::kMinPercent <= room) {
        out.text = all;
        out.percent = room / width;
        return out;
    }
    if (numbers) {
        // Numbers are never cut: they give way to "#", the text around them
        // stays as it is.
        if (textWidth + numbers > columns) {
            out.text = QString(columns, QLatin1Char('#'));
            return out;
        }
        const int free = columns - textWidth;
        int n = 0;
        for (const Item& item : cell) {
            if (!item.number) {
                out.text += item.text;
                continue;
            }
            out.text += QString(free / numbers + (n++ < free % numbers ? 1 : 0), QLatin1Char('#'));
        }
        return out;
    }
    // Text is cut: the longest beginning that fits with the mark after it,
    // so that the reader of the paper sees that it goes on. In a cell too
    // small for a character the mark stands alone, as small as it must be.
    const int markWidth = text::width(Layout::kCutMark);
    auto [cut, cutWidth] = beginning(all, Layout::kMinPercent, room - markWidth * Layout::kMinPercent);
    out.text = cut + Layout::kCutMark;
    out.percent = std::min(100, std::max(1, room) / (cutWidth + markWidth));
    return out;
}

QSizeF pictureSize(QSize pixels, double maxWidth, double maxHeight) {
    double w = pixels.width() * 15.0;
    double h = pixels.height() * 15.0;
    double scale = 1;
    if (maxWidth > 0 && w > maxWidth)
        scale = std::min(scale, maxWidth / w);
    if (maxHeight > 0 && h > maxHeight)
        scale = std::min(scale, maxHeight / h);
    // whole twips
    return {static_cast<double>(qRound(w * scale)), static_cast<double>(qRound(h * scale))};
}

QString fontFamilyFor(const QString& name) {
    if (name == QStringLiteral("宋体") || name == QStringLiteral("新宋体") || name.isEmpty())
        return QStringLiteral("AR PL UMing CN");
    return name;
}

}  // namespace tv::print
