#pragma once
// The start module: Main opens the login window. It also holds what the whole
// frame needs from the outside world, each behind one function that the tests
// can point elsewhere: the program folder, the end of the program and the
// desktop's handler for documents and web pages.

#include <QString>

#include <functional>

class QApplication;
class QUrl;

namespace tv::frame {

// The folder the program runs from (the executable's folder unless a test set
// another one). Paths are joined to it with "/".
QString programFolder();
void setProgramFolder(const QString& folder);  // "" goes back to the executable's folder

// The picture folder: programFolder() + "/BMP/".
QString pictureFolder();

// Chinese for Qt's own buttons and dialogs, and the program's font.
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

// While on, the program ends once no window is left on the screen, also when
// a window's own code unloaded the last one (the close box already ends it
// through Qt). The check runs when control is back in the event loop, so a
// window may unload itself and open another in one handler.
void endWithTheLastWindow(bool on = true);

// Opens a document or a web address with the desktop's handler, without
// waiting; false when nothing could open it (no message is shown).
bool openWithDesktop(const QUrl& url);
// Tests: what openWithDesktop does instead (null: the desktop).
void setDesktopHook(std::function<bool(const QUrl&)> hook);

}  // namespace tv::frame
