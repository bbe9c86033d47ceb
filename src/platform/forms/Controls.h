#pragma once
// Small mechanics every window needs when it builds its controls: a child
// widget under its control name, boxes that take typing only while editing,
// a picture loaded by file name, a click on a picture, and the fonts the
// windows name.

#include <QFont>
#include <QString>
#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;

namespace tv::forms {

// A new child of `parent` carrying its control name as objectName.
template <class T>
T* make(QWidget* parent, const char* name) {
    auto* w = new T(parent);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

// Whether a box or list takes what the user types: when it does not, its
// text can still be selected and copied, but no key, wheel turn or click on
// a list's arrow changes it (a text box becomes read-only; a list keeps its
// item and opens no drop-down).
void setTakesTyping(QWidget* box, bool takes);
// A box or list showing a value cut short (`cut`) takes no typing, whatever
// setTakesTyping() said, until it shows a whole value again: what it would
// write back is not the value.
void holdCutValue(QWidget* box, bool cut);

// The most characters a box holds. Typing or pasting past it is refused with
// a message naming the box's field (`field()`), and the box keeps what it
// held: nothing is cut to fit.
inline constexpr int kBoxChars = 32767;
void refuseOverlong(QLineEdit* box, std::function<QString()> field);

// Shows the picture file in `label`; a missing or unreadable file (also a
// FIFO, a device or one too large: see Pictures.h) leaves the label empty. Returns whether a picture was shown.
bool loadPicture(QLabel* label, const QString& path);

// A left click on `label` runs `handler` inside the handler guard.
void onLabelClick(QLabel* label, std::function<void()> handler);

// The fonts the windows are drawn in, by their old names: "宋体" and "隶书"
// with the installed faces that stand for them, at the design scale.
QFont songTi(double points);
QFont liShu(double points, bool bold = false);

}  // namespace tv::forms
