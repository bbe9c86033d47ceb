#pragma once
// Design geometry: the windows are drawn in twips (1440 to the inch), the
// screen is 96 dots to the inch, so 15 twips make a pixel. Every window turns
// its twips into pixels here, with one rounding rule (to the nearest pixel).
//
// A window whose design is larger than the room it gets on the screen is
// drawn smaller, fonts and all: while it is built, a design scale below 1
// applies to every conversion here and to the fonts the windows name.

#include <QRect>
#include <QSize>

class QWidget;

namespace tv::forms {

// The scale of the window being built (1 outside a build).
double designScale();

// Sets the design scale for as long as it lives.
class DesignScale {
public:
    explicit DesignScale(double scale);
    ~DesignScale();
    DesignScale(const DesignScale&) = delete;
    DesignScale& operator=(const DesignScale&) = delete;

private:
    double saved_;
};

// The scale at which a design of `design` pixels fits into `room` pixels:
// at most 1 (a window is never drawn larger than designed).
double fitScale(QSize design, QSize room);

int px(double twips);
QRect twips(double left, double top, double width, double height);
// A size in twips as pixels (a window's design size, say).
QSize pixels(QSize twipsSize);

// Puts `w` exactly on the twip box.
void setTwips(QWidget* w, double left, double top, double width, double height);

// Puts a text control (label, box, button) on the twip box; it grows to its
// size hint when the box is too small for its text, staying centred on the
// box's middle line.
void place(QWidget* w, double left, double top, double width, double height);

// Puts a top-level window in the middle of the screen's work area.
void centerOnScreen(QWidget* window);

}  // namespace tv::forms
