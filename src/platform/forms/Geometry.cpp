// Twips to pixels, and placing controls on their design boxes.
#include "platform/forms/Geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <cmath>

namespace tv::forms {

int px(double twips) { return static_cast<int>(std::lround(twips / 15.0)); }

QRect twips(double left, double top, double width, double height) {
    return QRect(px(left), px(top), px(width), px(height));
}

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
