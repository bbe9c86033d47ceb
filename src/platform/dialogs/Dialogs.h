#pragma once
// Message boxes, input boxes and the open-file dialog, with a scripted mode
// for the tests: answers are queued beforehand and every call is recorded;
// a dialog with no queued answer fails at once instead of waiting.

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

class QWidget;
class QMessageBox;
class QInputDialog;
class QFileDialog;

namespace tv::dlg {

// The button a message box was answered with, as the old message box
// numbered them; dlg::Yes, dlg::No ... name them. An answer is no number.
enum class Button { Ok = 1, Cancel = 2, Abort = 3, Retry = 4, Ignore = 5, Yes = 6, No = 7 };
using enum Button;

// Message box styles, with the old numbers: the buttons plus the icon (and
// the default button), joined with |, e.g. YesNo | Info (68) asks Yes/No with
// the information icon. A bare number is no style.
enum Style : int {
    OkOnly = 0,
    OkCancel = 1,
    AbortRetryIgnore = 2,
    YesNoCancel = 3,
    YesNo = 4,
    RetryCancel = 5,
    Critical = 16,
    Question = 32,
    Exclamation = 48,
    Info = 64,
    DefaultButton2 = 256,  // the second button (否 of YesNo) is the default
};
constexpr Style operator|(Style a, Style b) { return static_cast<Style>(static_cast<int>(a) | static_cast<int>(b)); }

// The titles the program's message boxes carry: the usual note (also the
// guard's), the plain one, and the exchange windows' kind one.
inline const QString kNoteTitle = QStringLiteral("提示！");
inline const QString kHintTitle = QStringLiteral("提示");
inline const QString kKindTitle = QStringLiteral("温馨提示");

// A message box of `style`; returns the button pressed. Button texts are Chinese.
Button msgBox(const QString& text, Style style = OkOnly, const QString& title = QString());

// The typed text, or nullopt on Cancel.
std::optional<QString> inputBox(const QString& prompt, const QString& title = QString(),
                                const QString& defaultText = QString());

// Open-file dialog (Qt's own, non-native): the chosen path, or "" on cancel.
// `filter` is in the old form "描述 (*.mdb)|*.mdb|所有文件 (*.*)|*.*".
// It starts in startFolder(startDir). Choosing moves nothing: the caller
// calls followChosenFile() once the file was used.
QString openFile(const QString& title, const QString& filter, const QString& startDir = QString());

// The folder a file dialog starts in: `wanted`, or else the process's current
// folder; the home folder instead of one that is missing or lies in /proc,
// /sys or /dev (a dialog there can hang the program).
QString startFolder(const QString& wanted = QString());
// A file chosen in a dialog was used: the current folder, where the next
// dialog starts, moves to its folder.
void followChosenFile(const QString& path);

// Chinese for Qt's own texts (buttons, file dialog, menus) and Chinese dates
// and file kinds: Qt's qtbase_zh_CN catalogue, the few texts it lacks, and
// Chinese as the default locale. Once per process; later calls do nothing.
void useChinese();

// The dialogs as they are built before they wait (the caller owns them):
// for a look at their buttons and texts, and for callers that need them
// non-modal. A message box is wide enough for its whole title; a text too
// tall for the screen scrolls inside it, and the box stays on the screen.
QMessageBox* makeMessageBox(const QString& text, Style style, const QString& title, QWidget* parent = nullptr);
QInputDialog* makeInputDialog(const QString& prompt, const QString& title, const QString& defaultText,
                              QWidget* parent = nullptr);
QFileDialog* makeOpenFileDialog(const QString& title, const QString& filter, const QString& startDir = QString(),
                                QWidget* parent = nullptr);
// The old filter "描述|*.a;*.b|描述2|*.*" as Qt name filters, one per pair:
// "描述 (*.a *.b)"; "*.*" becomes "*" (it also named files without a dot).
QStringList qtNameFilters(const QString& filter);

// --- scripted mode -------------------------------------------------------
struct Call {
    QString kind;  // "msgBox", "inputBox", "openFile"
    QString text;  // message, prompt, or file-dialog title
    QString title;
    int style = 0;   // msgBox style (its number); unused otherwise
    QString extra;   // inputBox default, openFile filter
    QString folder;  // openFile: the folder the dialog starts in
};

namespace script {
// Switches the scripted mode on (clearing queue, record and the count of
// unexpected dialogs) or off. Answers are used in the order queued; a dialog
// whose kind differs from the next queued answer is unexpected.
void begin();
void end();
bool active();
void answerMsgBox(Button button);               // next msgBox returns this
void answerInput(std::optional<QString> text);  // next inputBox
void answerFile(const QString& path);           // next openFile
// Calls made since begin(), in order.
const std::vector<Call>& calls();
void clearCalls();
// Number of queued answers not used yet.
int pending();
// Dialogs that found no queued answer of their kind since begin().
int unexpected();
// Called at once for a dialog with no queued answer of its kind (the test
// main installs one that fails the running test). While a handler is
// installed, dialogs never wait, even outside begin()/end(): an unscripted
// one is unexpected. The dialog then returns the harmless answer (OK, No or
// Cancel as the style has them; nullopt; "").
void setUnexpectedHandler(std::function<void(const Call&)> handler);
std::function<void(const Call&)> unexpectedHandler();
}  // namespace script

}  // namespace tv::dlg
