#pragma once
// A full disk for the tests of saves. Where the tests run as root, a small
// file system of its own (a 1 MB tmpfs) mounted on a scratch folder and filled
// to the last byte, so that the system itself refuses the next write; where
// they do not (or mounting is not allowed), a plain scratch folder, and every
// whole-file write made to fail as it would on a full disk
// (tv::failWholeFileWrites). Either way a test puts its files in path()
// first, calls fill(), saves, and looks at what is left:
//
//     tv::test::FullDisk disk;
//     write(disk.filePath("101.txt"), "old");
//     disk.fill();
//     ... the save, which must say "磁盘空间不足" ...
//     EXPECT_EQ(disk.files(), QStringList{"101.txt"});

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <string>

namespace tv::test {

// A tmpfs of `size` ("1m") mounted on `folder`, where the tests run as root;
// mounted() says whether it could be. It can be mounted again read-only.
class SmallDisk {
public:
    SmallDisk(const QString& folder, const char* size);
    ~SmallDisk();
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return mounted_; }
    // Mounts it again read-only, its files kept.
    bool makeReadOnly();

private:
    std::string folder_;
    bool mounted_ = false;
};

class FullDisk {
public:
    FullDisk();
    ~FullDisk();  // the disk goes, and with it the failure
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    QString path() const { return dir_.path(); }
    QString filePath(const QString& name) const { return dir_.filePath(name); }
    // A real file system that is full (root), not the injected failure.
    bool real() const { return disk_.mounted(); }
    // Fills it, but for about `room` bytes: from then on a write that needs
    // more fails with ENOSPC.
    void fill(qint64 room = 0);
    // Room again: the filling goes.
    void free();
    // The names in it (hidden ones too), but the filling.
    QStringList files() const;

private:
    QTemporaryDir dir_;
    SmallDisk disk_{dir_.path(), "1m"};  // unmounted before the folder goes
};

}  // namespace tv::test
