// The workbook reader: the format chosen by the file's first bytes, each
// read by its reader in a process of its own.

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
#include <cstring>
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
constexpr rlim_t kReaderMemory = 3ULL << 30;
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
                throw WorkbookError(unreadable(file.errorString()));
            return readXls(file.fileName(), bytes);
        }
        case Format::Unknown:
            break;
    }
    throw WorkbookError(unreadable(QStringLiteral("不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。")));
}

QString systemText(int error) { return QString::fromLocal8Bit(std::strerror(error)); }

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

void put(Packer& out, const std::vector<Sheet>& sheets) {
    out.put(static_cast<uint32_t>(sheets.size()));
    for (const Sheet& s : sheets) {
        out.text(s.name);
        out.put(static_cast<int32_t>(s.columns));
        out.put(static_cast<int64_t>(s.held));
        out.put(static_cast<int64_t>(s.errors));
        out.put(static_cast<uint64_t>(s.rows.size()));
        for (const Sheet::Row& r : s.rows) {
            out.put(static_cast<uint32_t>(r.cells.size()));
            for (const auto& [col, v] : r.cells) {
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
}

std::vector<Sheet> take(Unpacker& in) {
    // Every count is checked against the bytes left, so that a damaged
    // stream cannot make room for more than it holds.
    const uint32_t count = in.get<uint32_t>();
    std::vector<Sheet> sheets;
    for (uint32_t i = 0; i < count && in.ok(); ++i) {
        Sheet s;
        s.name = in.text();
        s.columns = in.get<int32_t>();
        s.held = in.get<int64_t>();
        s.errors = in.get<int64_t>();
        const uint64_t rows = in.get<uint64_t>();
        s.rows.reserve(std::min<uint64_t>(rows, in.left() / sizeof(uint32_t)));
        for (uint64_t r = 0; r < rows && in.ok(); ++r) {
            const uint32_t cells = in.get<uint32_t>();
            Sheet::Row& row = s.rows.emplace_back();
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
        sheets.push_back(std::move(s));
    }
    if (!in.ok())
        throw WorkbookError(unreadable(QStringLiteral("读取过程意外中断。")));
    return sheets;
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

std::vector<Sheet> read(const QString& path) {
    // The libraries read the file in a process of their own: whatever a
    // damaged or hostile file does to them (a crash, a hang, memory without
    // end) ends that process, never the program.
    const int fd = openWorkbook(path);
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } closer{fd};
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return readOpened(fd);
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return readOpened(fd);
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
#if !TV_ASAN  // the sanitizer keeps terabytes of address space for itself
        const rlimit memory{kReaderMemory, kReaderMemory};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        Packer out;
        std::vector<Sheet> sheets;  // never freed: the process ends
        try {
            sheets = readOpened(fd);
            out.put(uint8_t(0));
            put(out, sheets);
        } catch (const WorkbookError& e) {
            out = {};
            out.put(uint8_t(1));
            out.text(e.text());
        } catch (const std::bad_alloc&) {
            out = {};
            out.put(uint8_t(1));
            out.text(QStringLiteral("Excel文件太大，不能读取。"));
        }
        const bool ok = writeAll(pipeFds[1], out.bytes.data(), out.bytes.size());
        ::_exit(ok ? 0 : 1);
    }
    ::close(pipeFds[1]);
    QByteArray got;
    bool timedOut = false;
    QDeadlineTimer deadline(kReaderSeconds * 1000);
    char buf[65536];
    for (;;) {
        pollfd p{pipeFds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), 1000)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (deadline.hasExpired()) {
                timedOut = true;
                break;
            }
            continue;
        }
        const ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got.append(buf, n);
    }
    ::close(pipeFds[0]);
    if (timedOut)
        ::kill(pid, SIGKILL);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (timedOut)
        throw WorkbookError(unreadable(QStringLiteral("读取超时，文件可能已损坏。")));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        throw WorkbookError(unreadable(QStringLiteral("文件已损坏，读取时出错。")));
    Unpacker in(got.constData(), static_cast<size_t>(got.size()));
    if (in.get<uint8_t>() != 0) {
        const QString text = in.text();
        throw WorkbookError(text.isEmpty() ? unreadable(QStringLiteral("读取过程意外中断。")) : text);
    }
    return take(in);
}

}  // namespace tv::workbook
