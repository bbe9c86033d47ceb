#include "DiskFull.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <new>
#include <string_view>

namespace tv::test {

// The engine's default file layer with every call handed on, but for the
// writes, truncations and deletions of the files in the folder, which are
// counted against its room.
struct FillingEngine::Impl {
    struct File {
        sqlite3_file base;
        sqlite3_file* real;  // the default layer's file, right after this one
        std::string name;    // empty: not in the folder
    };

    sqlite3_vfs vfs{};
    sqlite3_vfs* lower = nullptr;
    std::string folder;
    int64_t room = 0, used = 0;
    std::map<std::string, int64_t> sizes;
    sqlite3_io_methods methods{};

    static Impl*& self() {
        static Impl* impl = nullptr;
        return impl;
    }
    static sqlite3_file* real(sqlite3_file* f) { return reinterpret_cast<File*>(f)->real; }
    static const std::string& nameOf(sqlite3_file* f) { return reinterpret_cast<File*>(f)->name; }

    // Grows a file's count to `size`; false when the room does not hold it.
    bool grow(const std::string& name, int64_t size) {
        int64_t& now = sizes[name];
        if (size <= now)
            return true;
        if (used + size - now > room)
            return false;
        used += size - now;
        now = size;
        return true;
    }
    void shrink(const std::string& name, int64_t size) {
        const auto it = sizes.find(name);
        if (it != sizes.end() && size < it->second) {
            used -= it->second - size;
            it->second = size;
        }
    }

    static int open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* f, int flags, int* out) {
        Impl* d = self();
        auto* file = reinterpret_cast<File*>(f);
        new (&file->name) std::string();
        file->real = reinterpret_cast<sqlite3_file*>(file + 1);
        const int rc = d->lower->xOpen(d->lower, name, file->real, flags, out);
        if (rc != SQLITE_OK) {
            file->name.~basic_string();
            file->base.pMethods = nullptr;
            return rc;
        }
        if (name && std::string_view(name).starts_with(d->folder)) {
            file->name = name;
            sqlite3_int64 size = 0;
            if (file->real->pMethods->xFileSize(file->real, &size) == SQLITE_OK && !d->sizes.count(file->name)) {
                d->sizes[file->name] = size;
                d->used += size;
            }
        }
        file->base.pMethods = &d->methods;
        return SQLITE_OK;
    }
    static int remove(sqlite3_vfs*, const char* name, int syncDir) {
        Impl* d = self();
        const int rc = d->lower->xDelete(d->lower, name, syncDir);
        if (rc == SQLITE_OK)
            d->shrink(name, 0), d->sizes.erase(name);
        return rc;
    }
    static int close(sqlite3_file* f) {
        const int rc = real(f)->pMethods->xClose(real(f));
        reinterpret_cast<File*>(f)->name.~basic_string();
        return rc;
    }
    static int write(sqlite3_file* f, const void* p, int n, sqlite3_int64 at) {
        if (!nameOf(f).empty() && !self()->grow(nameOf(f), at + n))
            return SQLITE_FULL;
        return real(f)->pMethods->xWrite(real(f), p, n, at);
    }
    static int truncate(sqlite3_file* f, sqlite3_int64 size) {
        const int rc = real(f)->pMethods->xTruncate(real(f), size);
        if (rc == SQLITE_OK && !nameOf(f).empty())
            self()->shrink(nameOf(f), size);
        return rc;
    }
    static int read(sqlite3_file* f, void* p, int n, sqlite3_int64 at) {
        return real(f)->pMethods->xRead(real(f), p, n, at);
    }
    static int sync(sqlite3_file* f, int flags) { return real(f)->pMethods->xSync(real(f), flags); }
    static int fileSize(sqlite3_file* f, sqlite3_int64* size) { return real(f)->pMethods->xFileSize(real(f), size); }
    static int lock(sqlite3_file* f, int level) { return real(f)->pMethods->xLock(real(f), level); }
    static int unlock(sqlite3_file* f, int level) { return real(f)->pMethods->xUnlock(real(f), level); }
    static int reserved(sqlite3_file* f, int* out) { return real(f)->pMethods->xCheckReservedLock(real(f), out); }
    static int control(sqlite3_file* f, int op, void* arg) { return real(f)->pMethods->xFileControl(real(f), op, arg); }
    static int sectorSize(sqlite3_file* f) { return real(f)->pMethods->xSectorSize(real(f)); }
    static int characteristics(sqlite3_file* f) { return real(f)->pMethods->xDeviceCharacteristics(real(f)); }
};

FillingEngine::FillingEngine(const QString& folder, int64_t room) : d_(new Impl) {
    Impl::self() = d_;
    d_->folder = QFile::encodeName(folder).toStdString();
    d_->room = room;
    d_->lower = sqlite3_vfs_find(nullptr);
    d_->vfs = *d_->lower;  // its other calls read the default layer's own data
    d_->vfs.zName = "tv_filling";
    d_->vfs.pNext = nullptr;
    d_->vfs.szOsFile = static_cast<int>(sizeof(Impl::File)) + d_->lower->szOsFile;
    d_->vfs.xOpen = &Impl::open;
    d_->vfs.xDelete = &Impl::remove;
    sqlite3_io_methods& m = d_->methods;
    m.iVersion = 1;
    m.xClose = &Impl::close;
    m.xRead = &Impl::read;
    m.xWrite = &Impl::write;
    m.xTruncate = &Impl::truncate;
    m.xSync = &Impl::sync;
    m.xFileSize = &Impl::fileSize;
    m.xLock = &Impl::lock;
    m.xUnlock = &Impl::unlock;
    m.xCheckReservedLock = &Impl::reserved;
    m.xFileControl = &Impl::control;
    m.xSectorSize = &Impl::sectorSize;
    m.xDeviceCharacteristics = &Impl::characteristics;
    sqlite3_vfs_register(&d_->vfs, 1);
}

FillingEngine::~FillingEngine() {
    sqlite3_vfs_unregister(&d_->vfs);
    sqlite3_vfs_register(d_->lower, 1);
    Impl::self() = nullptr;
    delete d_;
}

}  // namespace tv::test
