#pragma once
// Design geometry: the windows are drawn in twips (1440 to the inch), the
// screen is 96 dots to the inch, so 15 twips make a pixel. Every window turns
// its twips into pixels here, with one rounding rule (to the nearest pixel).

#include <QRect>

class QWidget;

namespace tv::forms {

int px(double twips);
QRect twips(double left, double top, double width, double height);

// Puts `w` exactly on the twip box.
void setTwips(QWidget* w, double left, double top, double width, double height);

// Puts a text control (label, box, button) on the twip box; it grows to its
// size hint when the box is too small for its text, staying centred on the
// box's middle line.
void place(QWidget* w, double left, double top, double width, double height);

// Puts a top-level window in the middle of the screen's work area.
void centerOnScreen(QWidget* window);

}  // namespace tv::forms
