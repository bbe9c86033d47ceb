// A worksheet kept in an unnamed temporary file: the batches of rows as the
// reading process sent them, an index of where each batch lies, and the few
// batches last read back.

#include "platform/values/IoError.h"
#include "platform/workbook/Channel.h"
#include "platform/workbook/Parts.h"
#include "platform/workbook/Workbook.h"

#include <QDir>
#include <QFile>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <list>

namespace tv::workbook {

using namespace detail;

namespace {

[[noreturn]] void notKept(int error) {
    throw WorkbookError(unreadable(QStringLiteral("工作表无法存入临时文件（%1）。").arg(tv::ioErrorText(error))));
}

// A file of our own in the folder for temporary files, gone once closed.
int unnamedFile() {
    const QByteArray folder = QFile::encodeName(QDir::tempPath());
    int fd = ::open(folder.constData(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
    if (fd >= 0)
        return fd;
    // A file system without unnamed files: a named one, its name removed at once.
    QByteArray name = folder + "/tenvora-sheet-XXXXXX";
    fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        notKept(errno);
    ::unlink(name.constData());
    return fd;
}

constexpr size_t kKeptBatches = 4;       // read back and kept decoded
constexpr size_t kWriteAfter = 1 << 20;  // batches gathered before they are written

}  // namespace

struct SheetFile::Impl {
    struct Batch {
        uint64_t at = 0;
        uint64_t size = 0;
        qint64 first = 0;  // its first row
        uint64_t count = 0;
    };
    struct Decoded {
        size_t batch;
        std::vector<Sheet::Row> rows;
    };

    int fd = -1;
    Sheet sheet;
    std::vector<Batch> batches;
    qint64 rows = 0;
    uint64_t length = 0;  // of the file, what is gathered included
    std::string gathered;
    std::list<Decoded> kept;

    ~Impl() {
        if (fd >= 0)
            ::close(fd);
    }

    void add(const char* bytes, size_t size, uint64_t count) {
        batches.push_back({length, size, rows, count});
        gathered.append(bytes, size);
        length += size;
        rows += static_cast<qint64>(count);
        if (gathered.size() >= kWriteAfter)
            writeOut();
    }
    void writeOut() {
        const char* p = gathered.data();
        size_t n = gathered.size();
        while (n > 0) {
            const ssize_t w = ::write(fd, p, n);
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                notKept(w < 0 ? errno : ENOSPC);
            p += w;
            n -= static_cast<size_t>(w);
        }
        gathered.clear();
    }
    void forget() {
        batches.clear();
        gathered.clear();
        kept.clear();
        rows = 0;
        length = 0;
        if (::ftruncate(fd, 0) != 0 || ::lseek(fd, 0, SEEK_SET) != 0)
            notKept(errno);
    }
    const std::vector<Sheet::Row>& batch(size_t b) {
        for (auto it = kept.begin(); it != kept.end(); ++it) {
            if (it->batch == b) {
                kept.splice(kept.begin(), kept, it);
                return it->rows;
            }
        }
        const Batch& where = batches[b];
        std::string bytes(static_cast<size_t>(where.size), '\0');
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got =
                ::pread(fd, bytes.data() + done, bytes.size() - done, static_cast<off_t>(where.at + done));
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0)
                notKept(got < 0 ? errno : EIO);
            done += static_cast<size_t>(got);
        }
        if (kept.size() >= kKeptBatches)
            kept.pop_back();
        kept.push_front({b, {}});
        Unpacker in(bytes.data(), bytes.size());
        in.rows(where.count, kept.front().rows);
        if (!in.ok() || kept.front().rows.size() != where.count)
            notKept(EIO);
        return kept.front().rows;
    }
};

SheetFile::SheetFile(const QString& path, int sheet, const std::function<void(qint64)>& advance) : d_(new Impl) {
    d_->fd = unnamedFile();
    Impl& d = *d_;
    readInProcess(path, {Request::One, sheet < 0 ? INT_MAX : sheet},
                  {[&](const QString& name) { d.sheet.name = name; },
                   {},
                   [&](const char* bytes, size_t size, uint64_t count) {
                       d.add(bytes, size, count);
                       if (advance)
                           advance(d.rows);
                   },
                   [&] { d.forget(); },
                   [&](const Sheet& counts) {
                       d.sheet.columns = counts.columns;
                       d.sheet.held = counts.held;
                       d.sheet.errors = counts.errors;
                   },
                   advance ? std::function<void()>([&] { advance(d.rows); }) : std::function<void()>()});
    d.writeOut();
}

SheetFile::~SheetFile() = default;

const Sheet& SheetFile::sheet() const { return d_->sheet; }

qint64 SheetFile::rowCount() const { return d_->rows; }

const Sheet::Row& SheetFile::row(qint64 r) {
    const auto& batches = d_->batches;
    const auto it = std::upper_bound(batches.begin(), batches.end(), r,
                                     [](qint64 row, const Impl::Batch& b) { return row < b.first; });
    if (r < 0 || r >= d_->rows || it == batches.begin())
        throw WorkbookError(unreadable(QStringLiteral("工作表中没有第%1行。").arg(r + 1)));
    const size_t b = static_cast<size_t>(it - batches.begin()) - 1;
    return d_->batch(b)[static_cast<size_t>(r - batches[b].first)];
}

}  // namespace tv::workbook
