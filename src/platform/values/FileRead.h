#pragma once
// Reading a file the user picked or the program keeps in its folder, safely:
// only a regular file is read (a symbolic link is followed to one), it is
// opened without waiting (a FIFO would block the open for ever, a device
// would never end), and it is checked again once open, so that a file swapped
// for something else in between is refused too. A whole read stops one byte
// past its limit: a file that grows while it is read is still too large, and
// a file whose size says nothing (a device says 0) cannot fill the memory.
// Every reader of the program opens its files here.

#include <QByteArray>
#include <QString>

class QFile;

namespace tv {

enum class FileReadError {
    None,
    Missing,     // no such file
    NotAFile,    // a folder, a FIFO, a device, a socket
    TooLarge,    // more than the reader's limit
    Unreadable,  // no permission, an input/output error
};

struct FileRead {
    FileReadError error = FileReadError::None;
    QByteArray bytes;  // the whole file, when read
    QString why;       // what went wrong, in Chinese ("" when read)
    bool ok() const { return error == FileReadError::None; }
};

// The file at `path` whole, when it is a regular file of at most `limit`
// bytes.
FileRead readRegularFile(const QString& path, qint64 limit);

// Opens the regular file at `path` into `file` for reading in pieces (a copy
// of any size); on failure `file` stays closed and `why` says what went wrong.
FileReadError openRegularFile(const QString& path, QFile& file, QString* why = nullptr);

}  // namespace tv
