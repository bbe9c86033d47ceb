#include "platform/print/Layout.h"

#include "platform/text/Gbk.h"

#include <algorithm>

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
        QString text = items[i].text;
        for (++i; i < items.size() && items[i].column == 0; ++i) text += items[i].text;
        const int start = writer.column();
        const int columns = i < items.size() ? items[i].column - start : 0;
        if (columns <= 0 || text::width(text) <= columns) {
            writer.put(text);
            continue;
        }
        Narrow cell = fitCell(text, columns);
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

Narrow fitCell(const QString& text, int columns) {
    Narrow cell;
    cell.columns = columns;
    // Narrowed text keeps half a column free at the end of its cell, so that
    // it never runs into the item that follows (hundredths of a column).
    const int room = columns * 100 - 50;
    int width = 0;
    for (char32_t c : text.toUcs4()) {
        const int w = text::charWidth(c);
        if ((width + w) * Layout::kMinPercent > room)
            break;
        cell.text += QString::fromUcs4(&c, 1);
        width += w;
    }
    if (width * 100 > room) {
        cell.percent = room / width;  // at least kMinPercent
        return cell;
    }
    // Too small a cell to gain anything: full-width characters, cut.
    cell.text.clear();
    width = 0;
    for (char32_t c : text.toUcs4()) {
        if ((width += text::charWidth(c)) > columns)
            break;
        cell.text += QString::fromUcs4(&c, 1);
    }
    return cell;
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
