#pragma once
// Disks that fill, for the tests of work that stores many rows:
// - SmallDisk: a tmpfs of a given size mounted on a folder (only where the
//   tests run as root), which can also be made read-only;
// - FillingEngine: where they do not, the data engine's own file layer
//   wrapped so that the files in a folder share a room of so many bytes and
//   a write past it fails as on a full disk (a file deleted gives its bytes
//   back, as on a disk).

#include <QString>

#include <cstdint>
#include <map>
#include <string>

struct sqlite3_vfs;

namespace tv::test {

class SmallDisk {
public:
    // Mounts a tmpfs of `bytes` on `folder`; mounted() says whether it could.
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

class FillingEngine {
public:
    // From now on the engine's files in `folder` (data file and journal)
    // have `room` bytes between them.
    FillingEngine(const QString& folder, int64_t room);
    ~FillingEngine();
    FillingEngine(const FillingEngine&) = delete;
    FillingEngine& operator=(const FillingEngine&) = delete;

private:
    struct Impl;
    Impl* d_;
};

}  // namespace tv::test
