#pragma once
// Every event handler runs inside one guard: an error that escapes shows its
// text in a "提示！" box, aborts an open print job, and the program goes on.

#include <QString>

#include <functional>

class QAbstractButton;
class QObject;

namespace tv::forms {

void guard(const std::function<void()>& handler);

// Connect a button's click (or any no-argument signal) to a guarded handler.
void onClick(QAbstractButton* button, std::function<void()> handler);

}  // namespace tv::forms
