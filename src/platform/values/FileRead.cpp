#include "platform/values/FileRead.h"

#include "platform/values/DiskName.h"
#include "platform/values/IoError.h"

#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {

namespace {

FileReadError failed(FileReadError error, const QString& text, QString* why) {
    if (why)
        *why = text;
    return error;
}

FileReadError missing(QString* why) { return failed(FileReadError::Missing, QStringLiteral("找不到文件"), why); }

FileReadError tooLarge(QString* why) { return failed(FileReadError::TooLarge, QStringLiteral("文件太大"), why); }

FileReadError notAFile(QString* why) {
    return failed(FileReadError::NotAFile, QStringLiteral("不是普通文件，可能是文件夹、管道或设备"), why);
}

FileReadError unreadable(int error, QString* why) {
    return failed(FileReadError::Unreadable, QStringLiteral("无法读取：") + ioErrorText(error), why);
}

// A look at the name or an open that failed with `error`.
FileReadError cannotOpen(int error, QString* why) {
    return error == ENOENT || error == ENOTDIR ? missing(why) : unreadable(error, why);
}

// An open descriptor of a regular file, or -1 with the reason. The name is
// looked at first, so that a device is never opened at all (opening some
// does something); the open itself never waits, and what was opened is
// looked at again.
int openRegular(const QString& path, struct stat& st, FileReadError& error, QString* why) {
    const QByteArray name = diskName(path);
    if (path.isEmpty() || ::stat(name.constData(), &st) != 0) {
        error = cannotOpen(path.isEmpty() ? ENOENT : errno, why);
        return -1;
    }
    if (!S_ISREG(st.st_mode)) {
        error = notAFile(why);
        return -1;
    }
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        error = cannotOpen(errno, why);
        return -1;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        const int e = errno;
        ::close(fd);
        error = S_ISREG(st.st_mode) ? unreadable(e, why) : notAFile(why);
        return -1;
    }
    error = FileReadError::None;
    return fd;
}

}  // namespace

FileRead readRegularFile(const QString& path, qint64 limit) {
    FileRead r;
    struct stat st {};
    const int fd = openRegular(path, st, r.error, &r.why);
    if (fd < 0)
        return r;
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    limit = std::max<qint64>(limit, 0);
    if (st.st_size > limit) {
        r.error = tooLarge(&r.why);
        return r;
    }
    // One byte past the limit at most, whatever the file does meanwhile.
    QByteArray bytes(std::min<qint64>(st.st_size, limit) + 1, Qt::Uninitialized);
    qint64 got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit)
                break;
            bytes.resize(std::min<qint64>(limit + 1, std::max<qint64>(2 * got, 4096)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            r.error = unreadable(errno, &r.why);
            return r;
        }
        if (n == 0)
            break;
        got += n;
    }
    if (got > limit) {
        r.error = tooLarge(&r.why);
        return r;
    }
    bytes.truncate(got);
    r.bytes = std::move(bytes);
    return r;
}

FileReadError openRegularFile(const QString& path, QFile& file, QString* why) {
    struct stat st {};
    FileReadError error = FileReadError::None;
    const int fd = openRegular(path, st, error, why);
    if (fd < 0)
        return error;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return failed(FileReadError::Unreadable, QStringLiteral("无法读取：") + ioErrorText(file), why);
    }
    return FileReadError::None;
}

}  // namespace tv
