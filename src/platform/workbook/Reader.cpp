// The workbook reader: the format chosen by the file's first bytes, each
// read by its reader in a process of its own.

#include "platform/values/IoError.h"
#include "platform/workbook/Parts.h"
#include "platform/workbook/Workbook.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTemporaryFile>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <functional>
#include <iterator>
#include <string>

#if defined(__SANITIZE_ADDRESS__)
#define TV_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TV_ASAN 1
#endif
#endif
#ifndef TV_ASAN
#define TV_ASAN 0
#endif

namespace tv::workbook {

using namespace detail;

namespace {

// The reading process: its memory and its time.
[[maybe_unused]] constexpr rlim_t kReaderMemory = 3ULL << 30;
constexpr qint64 kReaderSeconds = 60;

// A legacy workbook in a compound file, or an .xlsx that a password has
// put into one.
bool encryptedPackage(std::string_view bytes) {
    static const std::string_view name("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0a\0c\0k\0a\0g\0e\0", 32);
    return bytes.find(name) != std::string_view::npos;
}

std::vector<Sheet> readAny(std::string_view bytes, const QString& xlsPath) {
    const QByteArray head = QByteArray::fromRawData(bytes.data(), qsizetype(std::min<size_t>(bytes.size(), 128)));
    switch (sniff(head)) {
        case Format::Xlsx:
            return readXlsx(bytes);
        case Format::Ods:
            return readOds(bytes);
        case Format::Xls: {
            if (encryptedPackage(bytes))
                throw WorkbookError(unreadable(kEncrypted));
            if (!xlsPath.isEmpty())
                return readXls(xlsPath, bytes);
            // FreeXL reads files only.
            QTemporaryFile file;
            if (!file.open() || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.flush())
                throw WorkbookError(unreadable(tv::ioErrorText(file, errno) + QStringLiteral("。")));
            return readXls(file.fileName(), bytes);
        }
        case Format::Unknown:
            break;
    }
    throw WorkbookError(unreadable(QStringLiteral("不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。")));
}

QString systemText(int error) { return tv::ioErrorText(error) + QStringLiteral("。"); }

// Opens a workbook the user picked: only a regular file, and without
// waiting (a FIFO or a device is refused at once, never read).
int openWorkbook(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0)
        throw WorkbookError(unreadable(systemText(errno)));
    struct stat st = {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw WorkbookError(unreadable(QStringLiteral("所选的不是一个普通文件。")));
    }
    if (st.st_size > kMaxFileBytes) {
        ::close(fd);
        tooLarge();
    }
    return fd;
}

// The whole file, read up to its limit and one byte past it.
std::string readAll(int fd) {
    std::string bytes;
    for (;;) {
        if (bytes.size() > static_cast<size_t>(kMaxFileBytes))
            tooLarge();
        const size_t at = bytes.size();
        bytes.resize(std::min<size_t>(at + (1u << 20), static_cast<size_t>(kMaxFileBytes) + 1));
        const ssize_t got = ::read(fd, bytes.data() + at, bytes.size() - at);
        if (got < 0 && errno == EINTR) {
            bytes.resize(at);
            continue;
        }
        if (got < 0)
            throw WorkbookError(unreadable(systemText(errno)));
        bytes.resize(at + static_cast<size_t>(got));
        if (got == 0)
            return bytes;
    }
}

std::vector<Sheet> readOpened(int fd) {
    const std::string bytes = readAll(fd);
    return readAny(bytes, QStringLiteral("/proc/self/fd/%1").arg(fd));
}

}  // namespace

Value Sheet::Row::at(int column) const {
    const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const std::pair<int, Value>& c, int col) { return c.first < col; });
    return it != cells.end() && it->first == column ? it->second : Value();
}

Format sniff(const QByteArray& head) {
    static const QByteArray compound("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    if (head.startsWith(compound))
        return Format::Xls;
    if (!head.startsWith(QByteArray("PK\x03\x04", 4)))
        return Format::Unknown;
    // An OpenDocument package starts with its uncompressed mimetype part.
    if (head.mid(30, 8) == "mimetype" && head.mid(38, 46) == "application/vnd.oasis.opendocument.spreadsheet")
        return Format::Ods;
    return Format::Xlsx;
}

std::vector<Sheet> readBytes(const QByteArray& bytes) {
    return readAny(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), QString());
}

namespace {

// The sheets as the reading process hands them to the program: the values'
// own bytes one after the other, in the machine's order (both ends are this
// program on this machine), texts as their UTF-16 code units. A hundred
// thousand rows go through in a few copies of memory.
enum Tag : uint8_t { TNumber, TText, TDate, TSmall };

class Packer {
public:
    std::string bytes;

    template <class T>
    void put(T v) {
        bytes.append(reinterpret_cast<const char*>(&v), sizeof v);
    }
    void text(const QString& s) {
        put(static_cast<uint32_t>(s.size()));
        bytes.append(reinterpret_cast<const char*>(s.utf16()), static_cast<size_t>(s.size()) * 2);
    }
};

// Reads what a Packer wrote; anything short or out of bounds makes it fail
// for good (and every later read gives zeros).
class Unpacker {
public:
    Unpacker(const char* p, size_t n) : p_(p), end_(p + n) {}
    bool ok() const { return ok_; }
    size_t left() const { return static_cast<size_t>(end_ - p_); }

    template <class T>
    T get() {
        T v{};
        if (left() < sizeof v)
            return fail(), v;
        std::memcpy(&v, p_, sizeof v);
        p_ += sizeof v;
        return v;
    }
    QString text() {
        const size_t n = get<uint32_t>();
        if (n > left() / 2)
            return fail(), QString();
        QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
        std::memcpy(s.data(), p_, n * 2);
        p_ += n * 2;
        return s;
    }

private:
    void fail() {
        ok_ = false;
        p_ = end_;
    }
    const char* p_;
    const char* end_;
    bool ok_ = true;
};

// What the reading process sends, one message after the other, each with
// its length before it: a sheet (without its rows), some of its rows, the
// end, or the error that stopped the reading.
enum Message : uint8_t { MSheet, MRows, MDone, MError };
constexpr size_t kRowsPerMessage = 4096;

void putHeader(Packer& out, const Sheet& s) {
    out.put(MSheet);
    out.text(s.name);
    out.put(static_cast<int32_t>(s.columns));
    out.put(static_cast<int64_t>(s.held));
    out.put(static_cast<int64_t>(s.errors));
}

void putRows(Packer& out, const Sheet::Row* rows, size_t count) {
    out.put(MRows);
    out.put(static_cast<uint64_t>(count));
    for (const Sheet::Row* r = rows; r != rows + count; ++r) {
        out.put(static_cast<uint32_t>(r->cells.size()));
        for (const auto& [col, v] : r->cells) {
            out.put(static_cast<int32_t>(col));
            switch (v.kind()) {
                case Value::Kind::Text:
                    out.put(TText);
                    out.text(v.toText());
                    break;
                case Value::Kind::Date:
                    out.put(TDate);
                    out.put(static_cast<int64_t>(v.toDate().toJulianDay()));
                    break;
                case Value::Kind::Int16:
                    out.put(TSmall);
                    out.put(static_cast<int16_t>(v.toInt()));
                    break;
                default:
                    out.put(TNumber);
                    out.put(v.toDouble());
            }
        }
    }
}

Sheet takeHeader(Unpacker& in) {
    Sheet s;
    s.name = in.text();
    s.columns = in.get<int32_t>();
    s.held = in.get<int64_t>();
    s.errors = in.get<int64_t>();
    return s;
}

void takeRows(Unpacker& in, std::vector<Sheet::Row>& rows) {
    // Every count is checked against the bytes left, so that a damaged
    // stream cannot make room for more than it holds.
    const uint64_t count = in.get<uint64_t>();
    rows.reserve(std::min<uint64_t>(count, in.left() / sizeof(uint32_t)));
    for (uint64_t r = 0; r < count && in.ok(); ++r) {
        const uint32_t cells = in.get<uint32_t>();
        Sheet::Row& row = rows.emplace_back();
        row.cells.reserve(std::min<size_t>(cells, in.left() / (sizeof(int32_t) + sizeof(Tag))));
        for (uint32_t c = 0; c < cells && in.ok(); ++c) {
            const auto col = in.get<int32_t>();
            switch (in.get<uint8_t>()) {
                case TText:
                    row.cells.emplace_back(col, Value(in.text()));
                    break;
                case TDate:
                    row.cells.emplace_back(col, Value(QDate::fromJulianDay(in.get<int64_t>())));
                    break;
                case TSmall:
                    row.cells.emplace_back(col, Value(in.get<int16_t>()));
                    break;
                default:
                    row.cells.emplace_back(col, Value(in.get<double>()));
            }
        }
    }
}

// Where the sheets go as they come: a sheet's header, then its rows in batches.
struct Sink {
    std::function<void(Sheet&&)> sheet;
    std::function<void(std::vector<Sheet::Row>&)> rows;
    std::function<void()> waiting;  // while nothing comes (may be empty)
};

[[noreturn]] void interrupted() { throw WorkbookError(unreadable(QStringLiteral("读取过程意外中断。"))); }

QString noSuchSheet() { return unreadable(QStringLiteral("工作簿中没有所选的工作表。")); }

// The sheets read here, handed to the sink (all of them, or the one at `only`).
void deliver(std::vector<Sheet>& sheets, int only, const Sink& sink) {
    if (only >= static_cast<int>(sheets.size()))
        throw WorkbookError(noSuchSheet());
    for (size_t i = 0; i < sheets.size(); ++i) {
        if (only >= 0 && static_cast<int>(i) != only)
            continue;
        std::vector<Sheet::Row> rows = std::move(sheets[i].rows);
        sheets[i].rows = {};
        sink.sheet(std::move(sheets[i]));
        sink.rows(rows);
    }
}

bool writeAll(int fd, const char* p, size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0 && errno == EINTR)
            continue;
        if (w <= 0)
            return false;
        p += w;
        n -= static_cast<size_t>(w);
    }
    return true;
}

}  // namespace

namespace {

// Sends one message: its length, then what `out` holds.
bool send(int fd, Packer& out) {
    const auto length = static_cast<uint64_t>(out.bytes.size());
    const bool ok = writeAll(fd, reinterpret_cast<const char*>(&length), sizeof length) &&
                    writeAll(fd, out.bytes.data(), out.bytes.size());
    out.bytes.clear();
    return ok;
}

[[noreturn]] void readingProcess(int fd, int out, int only) {
#if !TV_ASAN  // the sanitizer keeps terabytes of address space for itself
    const rlimit memory{kReaderMemory, kReaderMemory};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    Packer message;
    bool ok = true;
    try {
        std::vector<Sheet> sheets = readOpened(fd);  // never freed: the process ends
        if (only >= static_cast<int>(sheets.size()))
            throw WorkbookError(noSuchSheet());
        for (size_t i = 0; i < sheets.size() && ok; ++i) {
            if (only >= 0 && static_cast<int>(i) != only)
                continue;
            putHeader(message, sheets[i]);
            ok = send(out, message);
            const auto& rows = sheets[i].rows;
            for (size_t r = 0; r < rows.size() && ok; r += kRowsPerMessage) {
                putRows(message, rows.data() + r, std::min(kRowsPerMessage, rows.size() - r));
                ok = send(out, message);
            }
        }
        message.put(MDone);
    } catch (const WorkbookError& e) {
        message = {};
        message.put(MError);
        message.text(e.text());
    } catch (const std::bad_alloc&) {
        message = {};
        message.put(MError);
        message.text(QStringLiteral("Excel文件太大，不能读取。"));
    }
    ok = ok && send(out, message);
    ::_exit(ok ? 0 : 1);
}

// Reads the workbook in a process of its own and hands what it sends to the
// sink as it comes. An error of the sink stops the reading and goes on.
void readInProcess(const QString& path, int only, const Sink& sink) {
    // Whatever a damaged or hostile file does to the libraries (a crash, a
    // hang, memory without end) ends that process, never the program.
    const int fd = openWorkbook(path);
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } closer{fd};
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) {
        std::vector<Sheet> sheets = readOpened(fd);
        return deliver(sheets, only, sink);
    }
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        std::vector<Sheet> sheets = readOpened(fd);
        return deliver(sheets, only, sink);
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        readingProcess(fd, pipeFds[1], only);
    }
    ::close(pipeFds[1]);
    // The process is ended and waited for however the reading ends.
    bool finished = false;
    struct Reap {
        pid_t pid;
        int pipe;
        bool& finished;
        int status = 0;
        ~Reap() {
            ::close(pipe);
            if (!finished)
                ::kill(pid, SIGKILL);
            wait();
        }
        void wait() {
            if (pid <= 0)
                return;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            pid = 0;
        }
    } reap{pid, pipeFds[0], finished};
    std::string got;
    size_t used = 0;
    bool done = false;
    char buf[1 << 16];
    QDeadlineTimer deadline(kReaderSeconds * 1000);
    std::vector<Sheet::Row> rows;
    while (!done) {
        // The messages complete so far.
        for (uint64_t length = 0; !done && got.size() - used >= sizeof length;) {
            std::memcpy(&length, got.data() + used, sizeof length);
            if (got.size() - used - sizeof length < length)
                break;
            Unpacker in(got.data() + used + sizeof length, static_cast<size_t>(length));
            used += sizeof length + length;
            switch (in.get<uint8_t>()) {
                case MSheet: {
                    Sheet s = takeHeader(in);
                    if (in.ok())
                        sink.sheet(std::move(s));
                    break;
                }
                case MRows:
                    rows.clear();
                    takeRows(in, rows);
                    if (in.ok())
                        sink.rows(rows);
                    break;
                case MDone:
                    done = true;
                    break;
                case MError: {
                    const QString text = in.text();
                    if (text.isEmpty())
                        interrupted();
                    throw WorkbookError(text);
                }
                default:
                    interrupted();
            }
            if (!in.ok())
                interrupted();
        }
        if (done)
            break;
        if (used > (1u << 20)) {
            got.erase(0, used);
            used = 0;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        const qint64 slice = sink.waiting ? 100 : 1000;
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), slice)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (deadline.hasExpired())
                throw WorkbookError(unreadable(QStringLiteral("读取超时，文件可能已损坏。")));
            if (sink.waiting)
                sink.waiting();
            continue;
        }
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buf, static_cast<size_t>(n));
        deadline.setRemainingTime(kReaderSeconds * 1000);
    }
    finished = true;
    reap.wait();
    if (!done || !WIFEXITED(reap.status) || WEXITSTATUS(reap.status) != 0)
        throw WorkbookError(unreadable(QStringLiteral("文件已损坏，读取时出错。")));
}

}  // namespace

std::vector<Sheet> read(const QString& path, const std::function<void()>& waiting) {
    std::vector<Sheet> sheets;
    readInProcess(path, -1,
                  {[&](Sheet&& s) { sheets.push_back(std::move(s)); },
                   [&](std::vector<Sheet::Row>& rows) {
                       auto& into = sheets.back().rows;
                       if (into.empty())
                           into = std::move(rows);
                       else
                           std::move(rows.begin(), rows.end(), std::back_inserter(into));
                   },
                   waiting});
    return sheets;
}

Sheet readRows(const QString& path, int sheet, const std::function<void(std::vector<Sheet::Row>&)>& rows,
               const std::function<void()>& waiting) {
    Sheet header;
    bool found = false;
    readInProcess(path, sheet < 0 ? INT_MAX : sheet,
                  {[&](Sheet&& s) { header = std::move(s), found = true; },
                   [&](std::vector<Sheet::Row>& batch) {
                       if (found)
                           rows(batch);
                   },
                   waiting});
    return header;
}

}  // namespace tv::workbook
