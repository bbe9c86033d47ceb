// Twips to pixels, and placing controls on their design boxes.
#include "platform/forms/Geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace tv::forms {

namespace {
double g_scale = 1.0;
}  // namespace

double designScale() { return g_scale; }

DesignScale::DesignScale(double scale) : saved_(g_scale) { g_scale = scale; }
DesignScale::~DesignScale() { g_scale = saved_; }

double fitScale(QSize design, QSize room) {
    if (design.isEmpty() || room.isEmpty())
        return 1.0;
    return std::min({1.0, double(room.width()) / design.width(), double(room.height()) / design.height()});
}

int px(double twips) { return static_cast<int>(std::lround(twips * g_scale / 15.0)); }

QRect twips(double left, double top, double width, double height) {
    return QRect(px(left), px(top), px(width), px(height));
}

QSize pixels(QSize twipsSize) { return twips(0, 0, twipsSize.width(), twipsSize.height()).size(); }

void setTwips(QWidget* w, double left, double top, double width, double height) {
    w->setGeometry(twips(left, top, width, height));
}

void place(QWidget* w, double left, double top, double width, double height) {
    const QRect box = twips(left, top, width, height);
    const QSize hint = w->sizeHint();
    const int wantW = qMax(box.width(), hint.isValid() ? hint.width() : 0);
    const int wantH = qMax(box.height(), hint.isValid() ? hint.height() : 0);
    const int y = box.top() - (wantH - box.height()) / 2;
    w->setGeometry(box.left(), qMax(0, y), wantW, wantH);
}

void centerOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        window->move(r.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

}  // namespace tv::forms
