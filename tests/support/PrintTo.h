#pragma once
// How GoogleTest prints Qt values in a failure message: a text in quotes (so
// that a leading or trailing space shows), a rectangle as x y width height.
// Include it in every test that compares such values.

#include <QRectF>
#include <QString>

#include <ostream>

inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QRectF& r, std::ostream* os) {
    *os << r.x() << ' ' << r.y() << ' ' << r.width() << ' ' << r.height();
}
