#include "platform/print/Layout.h"

#include "platform/text/Gbk.h"

#include <algorithm>

namespace tv::print {

Layout::Layout(double pageHeight) : pageHeight_(pageHeight) {}

Placed Layout::placeLine(const QString& text) {
    Placed p;
    p.kind = Placed::Kind::Line;
    p.fontSize = fontSize_;
    p.fontName = fontName_;
    p.text = text;
    p.page = page_;
    p.y = y_;
    y_ += lineHeight();
    return p;
}

std::vector<Placed> Layout::printLine(const std::vector<Item>& items) {
    text::LineWriter writer;
    for (const Item& item : items) {
        if (item.column > 0)
            writer.at(item.column);
        writer.put(item.text);
    }
    writer.endLine();

    std::vector<Placed> out;
    for (const QString& line : writer.takeLines()) {
        // A line that would cross the bottom goes to the top of a new page;
        // a line taller than a whole page is printed anyway.
        if (y_ > 0 && y_ + lineHeight() > pageHeight_)
            out.push_back(newPage());
        out.push_back(placeLine(line));
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
