#pragma once
// Every event handler runs inside one guard: an error that escapes shows its
// text in a "提示！" box, aborts an open print job, and the program goes on.
// While a handler runs the mouse shows the wait cursor; a window that waits
// for the user meanwhile (a message box, an input box, a file dialog, a
// progress dialog with its 取消) is shown with the normal cursor.

#include <QObject>
#include <QString>

#include <functional>

class QAbstractButton;
class QObject;

namespace tv::forms {

void guard(const std::function<void()>& handler);

// Connect a button's click (or any no-argument signal) to a guarded handler.
void onClick(QAbstractButton* button, std::function<void()> handler);

// Any signal of `sender` to a guarded handler (the signal's arguments are
// not passed on), e.g. on(check, &QCheckBox::toggled, [this] { ... }).
template <class Sender, class Signal>
QMetaObject::Connection on(Sender* sender, Signal signal, std::function<void()> handler) {
    return QObject::connect(sender, signal, sender, [h = std::move(handler)] { guard(h); });
}

}  // namespace tv::forms
