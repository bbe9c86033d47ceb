#pragma once
// What the desktop shell did for the program: open a document or a web
// address with the program the desktop has for it, start another program,
// and the file operations of the file manager and of the new data file.
// Relative names are taken in a given folder ("" = the current folder).

#include <QString>
#include <QStringList>

#include <functional>

class QIODevice;
class QUrl;

namespace tv::shell {

// The folder the program runs from: the executable's folder unless a test
// set another one ("" goes back to the executable's folder). Paths are joined
// to it with "/".
QString programFolder();
void setProgramFolder(const QString& folder);
// The picture folder: programFolder() + "/BMP/".
QString pictureFolder();

// Opens a document or a web address with the desktop's handler, without
// waiting; false when nothing could open it (no message is shown).
bool openWithDesktop(const QUrl& url);
// Tests: what opening with the desktop does instead (null: the desktop).
void setDesktopHook(std::function<bool(const QUrl&)> hook);

// `folder`, "/" and `name`, without a second "/" when the folder ends in one
// (the root "/", say).
QString join(const QString& folder, const QString& name);

// `name` as an absolute, clean path: absolute names stay, relative ones are
// taken in `folder` ("" = the process's current folder). "" stays "".
QString resolve(const QString& name, const QString& folder = QString());

// Opens a document (a help file, a picture, a text file) with the desktop's
// program for it, without waiting; false when the desktop could not.
bool openDocument(const QString& path, const QString& folder = QString());
// Opens a web address in the default browser, without waiting.
bool openUrl(const QString& address);
// Starts a program with its arguments, without waiting; false with the
// reason in `error` when it is missing or cannot be started.
bool startProgram(const QString& program, const QStringList& arguments, QString* error = nullptr);

// The result of a file operation: ok, or the reason in Chinese.
struct Result {
    bool ok = false;
    QString error;
    bool missing = false;  // failed because the file or folder named is not there
    explicit operator bool() const { return ok; }
};

// Copied; the user declined to replace the target; the user cancelled the
// copy while it ran; the source is missing; source and target are one file
// ("源文件和目标文件是同一个文件"); any other failure.
enum class CopyOutcome { Copied, Declined, Cancelled, Missing, Same, Failed };

// Copies one file as the shell did: `target` may name the new file or an
// existing folder (also when it ends in a separator) to copy into. When the
// target file exists the user is asked (Yes/No) before it is replaced; No
// leaves it alone; a target marked read-only, or one that is one of the
// program's own files by any name (platform/values/OwnFiles.h), is refused
// before that. A
// failure is not shown: its reason is put in `error`. The copy is written as
// by writeCopy().
CopyOutcome copyFile(const QString& source, const QString& target, const QString& folder = QString(),
                     QString* error = nullptr);

// Writes what `in` holds (from where it stands to its end) into the file `to`
// as a whole file (platform/values/WholeFile.h): a failed or cancelled copy,
// a full disk among the causes, leaves no half-written file and the old file
// intact. A copy
// that lasts shows its progress with 取消 (platform/dialogs/Progress.h), naming
// `shownSource`. Copied, Cancelled, or Failed with the system's reason in `why`.
CopyOutcome writeCopy(QIODevice& in, const QString& shownSource, const QString& to, QString* why = nullptr);
// The bytes of one piece of a copy, after which the progress is told.
inline constexpr qint64 kCopyChunk = 1 << 20;

// A name whose bytes are not UTF-8 ("�" in its text) is found by its text in
// its folder (platform/values/DiskName.h): such a file is copied, deleted and
// renamed as any other.

// Deletes a file (never a folder); a link goes itself, whatever it leads to.
// A file marked read-only is refused ("文件是只读的"), as a copy refuses it,
// and so is one of the program's own files (platform/values/OwnFiles.h) by
// its own name.
Result deleteFile(const QString& path, const QString& folder = QString());
// The refusal of deleteFile() for a file marked read-only, told before the
// user is asked; ok otherwise (a missing file is told by the delete).
Result mayDelete(const QString& path, const QString& folder = QString());
// Renames or moves a file or folder; never replaces an existing one ("目标文件已存在"),
// never moves a folder into itself nor one of the program's own files away.
Result rename(const QString& from, const QString& to, const QString& folder = QString());
// Makes one folder (its parent must exist); fails when it exists already.
Result makeFolder(const QString& path, const QString& folder = QString());

}  // namespace tv::shell
