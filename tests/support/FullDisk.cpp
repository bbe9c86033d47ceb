#include "support/FullDisk.h"

#include "platform/values/WholeFile.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <cerrno>

namespace tv::test {

namespace {

const char* const kFiller = ".filler";

}  // namespace

SmallDisk::SmallDisk(const QString& folder, const char* size) : folder_(QFile::encodeName(folder).toStdString()) {
    QDir().mkpath(folder);
    const std::string options = std::string("size=") + size + ",mode=0777";
    mounted_ = ::geteuid() == 0 && ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
    if (mounted_)
        ::umount2(folder_.c_str(), MNT_DETACH);
}

bool SmallDisk::makeReadOnly() {
    return mounted_ && ::mount(nullptr, folder_.c_str(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr) == 0;
}

FullDisk::FullDisk() = default;

FullDisk::~FullDisk() { tv::failWholeFileWrites(0); }

void FullDisk::fill(qint64 room) {
    if (!real()) {
        tv::failWholeFileWrites(ENOSPC, room);
        return;
    }
    const int fd = ::open(QFile::encodeName(filePath(kFiller)).constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    const QByteArray block(4096, 'x');
    const auto left = [this] {
        struct statvfs fs {};
        return ::statvfs(QFile::encodeName(path()).constData(), &fs) == 0 ? qint64(fs.f_bavail) * qint64(fs.f_bsize)
                                                                          : 0;
    };
    // Whole pages first, then (to fill it up) byte by byte into the last one.
    while (fd >= 0 && left() > room && ::write(fd, block.constData(), block.size()) > 0) {
    }
    while (fd >= 0 && room == 0 && ::write(fd, block.constData(), 1) > 0) {
    }
    if (fd >= 0)
        ::close(fd);
}

void FullDisk::free() {
    tv::failWholeFileWrites(0);
    QFile::remove(filePath(kFiller));
}

QStringList FullDisk::files() const {
    QStringList names = QDir(path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    names.removeAll(QString::fromLatin1(kFiller));
    return names;
}

}  // namespace tv::test
