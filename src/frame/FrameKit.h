#pragma once
// Small helpers the frame's windows share: placing controls by the twip
// positions of their layout, loading a picture by file name, a click handler
// on a picture, and the first panel of the main window's status bar.

#include <QRect>
#include <QString>

#include <functional>

class QLabel;
class QWidget;

namespace tv::frame {

// Twips at 96 dpi: 15 twips to the pixel.
inline int px(int twips) { return (twips + 7) / 15; }

// Places `w` at the twip box; width and height grow to the control's size
// hint when the box is too small for the text (the box stays centred on its
// old middle line).
void place(QWidget* w, int left, int top, int width, int height);

// Puts a top-level window in the middle of the screen.
void centerOnScreen(QWidget* window);

// Shows the picture file in `label`; a missing or unreadable file leaves the
// label empty. Returns whether a picture was shown.
bool loadPicture(QLabel* label, const QString& path);

// A click on `label` runs `handler` inside the handler guard.
void onLabelClick(QLabel* label, std::function<void()> handler);

// Panel 1 of the main window's status bar, when the main window is loaded.
// Other windows reach it the same way: the window "MDIVamo", its status bar
// "StatusBar1", the label "Panel1".
void setStatusPanel1(const QString& text);
QString statusPanel1();

// Ends the program when no window is shown any more (after a window that may
// have been the last one unloaded itself).
void endIfNoWindowLeft();

}  // namespace tv::frame
