#pragma once
// A file written whole or not at all: the one way the program replaces a file
// (settlement files, copies, new data files, workbooks, PDF printouts).
//
// The new text goes into an unnamed file in the target's folder (where the
// file system has none, a hidden ".tenvora-XXXXXX.tmp" beside it). Every
// write is checked, then the file is flushed to the disk (fsync), and only
// then does it take the target's place in one step (rename): a reader sees
// the old file or the new one. Any failure, a full disk among them, leaves the
// old file exactly as it was, no file behind, and says why in Chinese. A
// program killed while it writes leaves nothing named, or at most a hidden
// ".tenvora-" file that the next whole-file write into that folder removes.
//
// The target keeps its permissions. A symbolic link is followed: the file it
// names is replaced, the link stays. A folder, a device or FIFO, and a file
// the user marked read-only are never replaced; nor is one of the program's
// own files (OwnFiles.h) by a name the user gave, however the name reaches it.
//
//     tv::WholeFile out(path);
//     if (!out.open() || !out.write(bytes) || !out.commit())
//         tell(out.error());
//
// Or, for a text at hand: tv::writeWholeFile(path, bytes, &why).

#include <QByteArray>
#include <QString>

namespace tv {

// Whose name a whole-file write is given: one the user gave or chose (it
// never writes one of the program's own files), or the name of one of the
// program's own files, written by the code that keeps it.
enum class FileOwner { User, Program };

// Why `target` may not be replaced (a folder, not a regular file, marked
// read-only, not writable), in Chinese; "" when it may, or does not exist.
QString replaceRefusal(const QString& target);
// Why a save by the user's name `path` may not write there: one of the
// program's own files (ownFileRefusal), or what replaceRefusal() names.
QString saveRefusal(const QString& path);

class WholeFile {
public:
    explicit WholeFile(const QString& target, FileOwner owner = FileOwner::User);
    ~WholeFile();  // drops what was not committed
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // Refuses a target saveRefusal() names (replaceRefusal() for the
    // program's own files), and makes the new file.
    bool open();
    // Appends to the new file; false once any write failed.
    bool write(const char* data, qint64 size);
    bool write(const QByteArray& bytes) { return write(bytes.constData(), bytes.size()); }
    // A name under which a library that writes files by name only writes the
    // new file itself (open() first). What it wrote is checked by commit().
    QString libraryPath() const;
    // Flushes the new file to the disk and puts it in the target's place.
    bool commit();
    // Drops the new file; the target stays as it was.
    void cancel();

    // Why the last step failed ("" when none did), and its error number.
    QString error() const { return error_; }
    int errorNumber() const { return errno_; }
    // The file that is replaced: the target with its symbolic links followed.
    QString target() const { return target_; }

private:
    bool fail(int errnum, const QString& words = QString());
    bool link();
    void close();

    QString name_;  // as given
    FileOwner owner_;
    QString target_, dir_;
    QString named_;  // the hidden name of the new file, "" while it has none
    int fd_ = -1;
    qint64 written_ = 0;
    QString error_;
    int errno_ = 0;
};

// Writes `bytes` as the whole file at `path`; false with the reason in `why`.
bool writeWholeFile(const QString& path, const QByteArray& bytes, QString* why = nullptr,
                    FileOwner owner = FileOwner::User);

// Tests: from now on every whole-file write fails as on a full disk once
// `room` bytes of it are written, with `errnum` (ENOSPC); errnum 0 ends it.
void failWholeFileWrites(int errnum, qint64 room = 0);
// Tests: false writes as on a file system without unnamed files (a hidden
// named file until it takes the target's place); true again by default.
void useUnnamedFiles(bool unnamed);

}  // namespace tv
