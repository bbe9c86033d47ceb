#include "platform/values/WholeFile.h"

#include "platform/values/IoError.h"
#include "platform/values/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>

namespace tv {

namespace {

// The failure the tests inject (errno 0: none).
struct Injected {
    int errnum = 0;
    qint64 room = 0;
} g_injected;
bool g_unnamed = true;

// Hidden files of ours: the new file named for its last step, and what the
// earlier workbook writer named its files.
const QRegularExpression kLeftover(QStringLiteral("^\\.tenvora-[A-Za-z0-9]{6}\\.(tmp|xlsx)$"));

QByteArray native(const QString& path) { return QFile::encodeName(path); }

QString hiddenName(const QString& dir) {
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString name = QStringLiteral(".tenvora-");
    for (int i = 0; i < 6; ++i)
        name += QLatin1Char(kChars[QRandomGenerator::global()->bounded(int(sizeof kChars) - 1)]);
    return dir + QLatin1Char('/') + name + QStringLiteral(".tmp");
}

// What a program killed while it wrote left in `dir`: a hidden file of ours
// that no living writer holds locked.
void removeLeftovers(const QString& dir) {
    const QStringList names = QDir(dir).entryList({QStringLiteral(".tenvora-*")}, QDir::Files | QDir::Hidden);
    for (const QString& name : names) {
        if (!kLeftover.match(name).hasMatch())
            continue;
        const QByteArray path = native(dir + QLatin1Char('/') + name);
        const int fd = ::open(path.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct stat st {};
        if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0)
            ::unlink(path.constData());
        ::close(fd);
    }
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

// `path` with its symbolic links followed, as far as they lead.
QString followed(const QString& path, int* errnum) {
    QString at = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; QFileInfo(at).isSymLink(); ++hops) {
        if (hops == 40) {
            *errnum = ELOOP;
            return at;
        }
        at = QFileInfo(at).symLinkTarget();
    }
    return at;
}

}  // namespace

QString replaceRefusal(const QString& target) {
    int loop = 0;
    const QString path = followed(target, &loop);
    if (loop)
        return ioErrorText(loop);
    struct stat st {};
    if (::stat(native(path).constData(), &st) != 0)
        return errno == ENOENT ? QString() : ioErrorText(errno);
    if (S_ISDIR(st.st_mode))
        return ioErrorText(EISDIR);
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("它不是普通文件");
    // The mark counts even for the administrator, whom the system lets write.
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0)
        return QStringLiteral("文件是只读的");
    if (::access(native(path).constData(), W_OK) != 0)
        return errno == EACCES ? QStringLiteral("文件是只读的") : ioErrorText(errno);
    return QString();
}

QString saveRefusal(const QString& path) {
    const QString own = ownFileRefusal(path);
    return own.isEmpty() ? replaceRefusal(path) : own;
}

WholeFile::WholeFile(const QString& target, FileOwner owner) : name_(target), owner_(owner) {
    int loop = 0;
    target_ = followed(target, &loop);
    dir_ = QFileInfo(target_).absolutePath();
}

WholeFile::~WholeFile() { cancel(); }

bool WholeFile::fail(int errnum, const QString& words) {
    errno_ = errnum;
    error_ = words.isEmpty() ? ioErrorText(errnum) : words;
    return false;
}

bool WholeFile::open() {
    cancel();
    error_.clear();
    errno_ = 0;
    written_ = 0;
    if (const QString no = owner_ == FileOwner::User ? saveRefusal(name_) : replaceRefusal(target_); !no.isEmpty())
        return fail(EPERM, no);
    if (!QFileInfo(dir_).isDir())
        return fail(ENOENT);
    removeLeftovers(dir_);

    // Unnamed where the file system allows it, and reachable by name through
    // /proc (linked in at the end from there).
    fd_ = g_unnamed ? ::open(native(dir_).constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0666) : -1;
    if (fd_ >= 0 && ::access(native(libraryPath()).constData(), F_OK) != 0)
        close();
    if (fd_ < 0) {
        if (g_unnamed && (errno == EACCES || errno == EROFS || errno == ENOSPC || errno == EDQUOT))
            return fail(errno);
        for (int tries = 0; fd_ < 0 && tries < 100; ++tries) {
            named_ = hiddenName(dir_);
            fd_ = ::open(native(named_).constData(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd_ < 0 && errno != EEXIST) {
                named_.clear();
                return fail(errno);
            }
        }
        if (fd_ < 0) {
            named_.clear();
            return fail(EEXIST);
        }
    }
    // Held while it lives, so that no other writer takes it for a leftover.
    ::flock(fd_, LOCK_EX | LOCK_NB);
    return true;
}

QString WholeFile::libraryPath() const {
    if (!named_.isEmpty() || fd_ < 0)
        return named_;
    return QStringLiteral("/proc/self/fd/%1").arg(fd_);
}

bool WholeFile::write(const char* data, qint64 size) {
    if (fd_ < 0)
        return errno_ ? false : fail(EBADF);
    if (errno_)
        return false;
    qint64 allowed = size;
    if (g_injected.errnum)
        allowed = std::max<qint64>(0, std::min(size, g_injected.room - written_));
    while (allowed > 0) {
        const ssize_t n = ::write(fd_, data, static_cast<size_t>(allowed));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return fail(n < 0 ? errno : ENOSPC);
        data += n;
        allowed -= n;
        size -= n;
        written_ += n;
    }
    return size == 0 ? true : fail(g_injected.errnum);
}

bool WholeFile::commit() {
    if (fd_ < 0)
        return errno_ ? false : fail(EBADF);
    if (errno_) {
        cancel();
        return false;
    }
    struct stat st {};
    int why = 0;
    if (::fstat(fd_, &st) != 0)
        why = errno;
    else if (g_injected.errnum && st.st_size > g_injected.room)
        why = g_injected.errnum;  // as the flush of a full disk's delayed writes
    else if (::fsync(fd_) != 0)
        why = errno;
    if (why) {
        fail(why);
        cancel();
        return false;
    }
    // The target's own permissions; a new file those every new file gets.
    struct stat old {};
    if (::stat(native(target_).constData(), &old) == 0) {
        (void)::fchmod(fd_, old.st_mode & 07777);
        if (old.st_uid != st.st_uid || old.st_gid != st.st_gid)
            (void)::fchown(fd_, old.st_uid, old.st_gid);  // the administrator keeps the owner
    } else {
        (void)::fchmod(fd_, 0666 & ~currentUmask());
    }
    if (!link()) {
        cancel();
        return false;
    }
    close();
    // The new name on the disk too; the file is in place whatever this says.
    const int dirFd = ::open(native(dir_).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dirFd >= 0) {
        (void)::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

// Names the new file (unnamed: a hidden name first), then renames it over
// the target.
bool WholeFile::link() {
    if (named_.isEmpty()) {
        const QByteArray self = native(libraryPath());
        // A missing target takes the name straight away, never replacing one
        // made meanwhile.
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, native(target_).constData(), AT_SYMLINK_FOLLOW) == 0)
            return true;
        if (errno != EEXIST)
            return fail(errno);
        for (int tries = 0; named_.isEmpty() && tries < 100; ++tries) {
            const QString name = hiddenName(dir_);
            if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, native(name).constData(), AT_SYMLINK_FOLLOW) == 0)
                named_ = name;
            else if (errno != EEXIST)
                return fail(errno);
        }
        if (named_.isEmpty())
            return fail(EEXIST);
    }
    if (::rename(native(named_).constData(), native(target_).constData()) != 0)
        return fail(errno);
    named_.clear();
    return true;
}

void WholeFile::close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void WholeFile::cancel() {
    if (!named_.isEmpty())
        ::unlink(native(named_).constData());
    named_.clear();
    close();
}

bool writeWholeFile(const QString& path, const QByteArray& bytes, QString* why, FileOwner owner) {
    WholeFile file(path, owner);
    if (file.open() && file.write(bytes) && file.commit())
        return true;
    if (why)
        *why = file.error();
    return false;
}

void failWholeFileWrites(int errnum, qint64 room) { g_injected = {errnum, room}; }

void useUnnamedFiles(bool unnamed) { g_unnamed = unnamed; }

}  // namespace tv
