#pragma once
// The start module: Main opens the login window. It also holds how the
// program ends: at once, or when no window is left on the screen.

#include <functional>

class QApplication;

namespace tv::frame {

// Chinese for Qt's own buttons and dialogs, Chinese dates, and the program's font.
void prepareApplication(QApplication& app);

// Creates the login window if needed and shows it, not modal, and returns.
// When the user database cannot be opened the login window has said so and
// the program ends.
void Main();

// Ends the program with `code` as soon as control is back in the event loop
// (also when the loop has not started yet).
void endProgram(int code = 0);
// Tests: what endProgram does instead (null: the real end).
void setEndProgramHook(std::function<void(int)> hook);

// Ends the program when no window is shown any more (after a window that may
// have been the last one unloaded itself).
void endIfNoWindowLeft();

// While on, the program ends once no window is left on the screen, also when
// a window's own code unloaded the last one (the close box already ends it
// through Qt). The check runs when control is back in the event loop, so a
// window may unload itself and open another in one handler.
void endWithTheLastWindow(bool on = true);

}  // namespace tv::frame
