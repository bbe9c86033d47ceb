#pragma once
// A disk that fills, for the tests of work that stores many rows where the
// tests do not run as root (as root, support/FullDisk.h's SmallDisk): the
// data engine's own file layer wrapped so that the files in a folder share a
// room of so many bytes and a write past it fails as on a full disk (a file
// deleted gives its bytes back, as on a disk).

#include <QString>

#include <cstdint>
#include <map>
#include <string>

struct sqlite3_vfs;

namespace tv::test {

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
