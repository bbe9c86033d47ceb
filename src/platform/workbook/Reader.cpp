// The workbook reader: the format chosen by the file's first bytes, each
// read by its reader in a process of its own, which hands the sheets over
// as it reads them.

#include "platform/values/IoError.h"
#include "platform/workbook/Channel.h"
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

// Reads the workbook in `source` (at `xlsPath` for the legacy reader, which
// reads files only; empty: it is written to a temporary file first).
void readAny(const Source& source, const QString& xlsPath, SheetSink& sink) {
    const std::string head = source.bytes(0, static_cast<size_t>(std::min<uint64_t>(source.size(), 128)));
    switch (sniff(QByteArray::fromRawData(head.data(), qsizetype(head.size())))) {
        case Format::Xlsx:
            return readXlsx(source, sink);
        case Format::Ods:
            return readOds(source, sink);
        case Format::Xls: {
            const std::string bytes = source.bytes(0, static_cast<size_t>(source.size()));
            if (encryptedPackage(bytes))
                throw WorkbookError(unreadable(kEncrypted));
            const MemorySource whole(bytes);
            if (!xlsPath.isEmpty())
                return readXls(xlsPath, whole, sink);
            QTemporaryFile file;
            if (!file.open() || file.write(bytes.data(), qint64(bytes.size())) != qint64(bytes.size()) || !file.flush())
                throw WorkbookError(unreadable(tv::ioErrorText(file, errno) + QStringLiteral("。")));
            return readXls(file.fileName(), whole, sink);
        }
        case Format::Unknown:
            break;
    }
    throw WorkbookError(unreadable(QStringLiteral("不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。")));
}

QString systemText(int error) { return tv::ioErrorText(error) + QStringLiteral("。"); }

// Opens a workbook the user picked: only a regular file, and without
// waiting (a FIFO or a device is refused at once, never read).
int openWorkbook(const QString& path, uint64_t& size) {
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
    size = static_cast<uint64_t>(st.st_size);
    return fd;
}

QString noSuchSheet() { return unreadable(QStringLiteral("工作簿中没有所选的工作表。")); }

[[noreturn]] void interrupted() { throw WorkbookError(unreadable(QStringLiteral("读取过程意外中断。"))); }

// The program no longer listens: the reading stops.
struct Unheard {};

// What the reader reads, put into messages for the program: each sheet the
// request wants, its rows in batches.
class Sender : public SheetSink {
public:
    Sender(const Request& request, const std::function<bool(std::string&)>& send) : request_(request), send_(send) {}

    Want want(int index) override {
        switch (request_.kind) {
            case Request::All:
                return Want::Rows;
            case Request::Names:
                return Want::Name;
            case Request::One:
                break;
        }
        return index == request_.sheet ? Want::Rows : Want::Nothing;
    }
    void begin(const QString& name) override {
        found_ = true;
        Packer m;
        m.put(MSheet);
        m.text(name);
        send(m);
    }
    void row(Sheet::Row&& row) override {
        batch_.row(row);
        if (++count_ == kRowsPerMessage)
            flush();
    }
    void restart() override {
        batch_ = {};
        count_ = 0;
        Packer m;
        m.put(MRestart);
        send(m);
    }
    void end(const Sheet& counts) override {
        flush();
        Packer m;
        m.put(MEnd);
        m.put(static_cast<int32_t>(counts.columns));
        m.put(static_cast<int64_t>(counts.held));
        m.put(static_cast<int64_t>(counts.errors));
        send(m);
    }
    bool found() const { return found_; }

private:
    void flush() {
        if (count_ == 0)
            return;
        Packer m;
        m.bytes.reserve(batch_.bytes.size() + 16);
        m.put(MRows);
        m.put(static_cast<uint64_t>(count_));
        m.bytes += batch_.bytes;
        batch_.bytes.clear();
        count_ = 0;
        send(m);
    }
    void send(Packer& m) {
        if (!send_(m.bytes))
            throw Unheard();
    }

    Request request_;
    std::function<bool(std::string&)> send_;
    Packer batch_;
    size_t count_ = 0;
    bool found_ = false;
};

// Reads the workbook opened on `fd` as the request asks, each message handed
// to `send`; the last one says it is done.
void readAndSend(int fd, uint64_t size, const Request& request, const std::function<bool(std::string&)>& send) {
    Sender sender(request, send);
    readAny(FileSource(fd, size), QStringLiteral("/proc/self/fd/%1").arg(fd), sender);
    if (request.kind == Request::One && !sender.found())
        throw WorkbookError(noSuchSheet());
    std::string done(1, static_cast<char>(MDone));
    send(done);
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

// Sends one message: its length, then its bytes.
bool sendOn(int fd, const std::string& message) {
    const auto length = static_cast<uint64_t>(message.size());
    return writeAll(fd, reinterpret_cast<const char*>(&length), sizeof length) &&
           writeAll(fd, message.data(), message.size());
}

[[noreturn]] void readingProcess(int fd, uint64_t size, int out, const Request& request) {
#if !TV_ASAN  // the sanitizer keeps terabytes of address space for itself
    const rlimit memory{kReaderMemory, kReaderMemory};
    ::setrlimit(RLIMIT_AS, &memory);
#endif
    Packer failure;
    try {
        readAndSend(fd, size, request, [out](std::string& m) { return sendOn(out, m); });
        ::_exit(0);
    } catch (const WorkbookError& e) {
        failure.put(MError);
        failure.text(e.text());
    } catch (const std::bad_alloc&) {
        failure.put(MError);
        failure.text(QStringLiteral("Excel文件太大，不能读取。"));
    } catch (const Unheard&) {
        ::_exit(1);
    }
    ::_exit(sendOn(out, failure.bytes) ? 0 : 1);
}

// Takes one message of the reading process to the listener; true when it
// says the reading is done.
bool take(const char* bytes, size_t size, const Listener& listener) {
    Unpacker in(bytes, size);
    bool done = false;
    switch (in.get<uint8_t>()) {
        case MSheet: {
            const QString name = in.text();
            if (in.ok())
                listener.begin(name);
            break;
        }
        case MRows: {
            const uint64_t count = in.get<uint64_t>();
            if (!in.ok())
                break;
            if (listener.batch) {
                listener.batch(in.at(), in.left(), count);
            } else {
                std::vector<Sheet::Row> rows;
                in.rows(count, rows);
                if (in.ok())
                    listener.rows(rows);
            }
            break;
        }
        case MRestart:
            listener.restart();
            break;
        case MEnd: {
            Sheet counts;
            counts.columns = in.get<int32_t>();
            counts.held = in.get<int64_t>();
            counts.errors = in.get<int64_t>();
            if (in.ok())
                listener.end(counts);
            break;
        }
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
    return done;
}

}  // namespace

void detail::Packer::row(const Sheet::Row& row) {
    put(static_cast<uint32_t>(row.cells.size()));
    auto digits = row.digits.begin();
    for (const auto& [col, v] : row.cells) {
        put(static_cast<int32_t>(col));
        while (digits != row.digits.end() && digits->first < col) ++digits;
        if (digits != row.digits.end() && digits->first == col) {
            put(TDigits);
            put(v.toDouble());
            text(digits->second);
            continue;
        }
        switch (v.kind()) {
            case Value::Kind::Text:
                put(TText);
                text(v.toText());
                break;
            case Value::Kind::Date:
                put(TDate);
                put(static_cast<int64_t>(v.toDate().toJulianDay()));
                break;
            case Value::Kind::Int16:
                put(TSmall);
                put(static_cast<int16_t>(v.toInt()));
                break;
            default:
                put(TNumber);
                put(v.toDouble());
        }
    }
}

QString detail::Unpacker::text() {
    const size_t n = get<uint32_t>();
    if (n > left() / 2)
        return fail(), QString();
    QString s(static_cast<qsizetype>(n), Qt::Uninitialized);
    std::memcpy(s.data(), p_, n * 2);
    p_ += n * 2;
    return s;
}

void detail::Unpacker::rows(uint64_t count, std::vector<Sheet::Row>& rows) {
    // Every count is checked against the bytes left, so that a damaged
    // stream cannot make room for more than it holds.
    rows.reserve(rows.size() + std::min<uint64_t>(count, left() / sizeof(uint32_t)));
    for (uint64_t r = 0; r < count && ok(); ++r) {
        const uint32_t cells = get<uint32_t>();
        Sheet::Row& row = rows.emplace_back();
        row.cells.reserve(std::min<size_t>(cells, left() / (sizeof(int32_t) + 1)));
        for (uint32_t c = 0; c < cells && ok(); ++c) {
            const auto col = get<int32_t>();
            switch (get<uint8_t>()) {
                case TText:
                    row.cells.emplace_back(col, Value(text()));
                    break;
                case TDate:
                    row.cells.emplace_back(col, Value(QDate::fromJulianDay(get<int64_t>())));
                    break;
                case TSmall:
                    row.cells.emplace_back(col, Value(get<int16_t>()));
                    break;
                case TDigits:
                    row.cells.emplace_back(col, Value(get<double>()));
                    row.digits.emplace_back(col, text());
                    break;
                default:
                    row.cells.emplace_back(col, Value(get<double>()));
            }
        }
    }
}

void detail::readInProcess(const QString& path, const Request& request, const Listener& listener) {
    // Whatever a damaged or hostile file does to the libraries (a crash, a
    // hang, memory without end) ends that process, never the program.
    uint64_t size = 0;
    const int fd = openWorkbook(path, size);
    struct Close {
        int fd;
        ~Close() { ::close(fd); }
    } closer{fd};
    const auto here = [&] {
        // No process of its own: read here, each message taken as it is made.
        bool done = false;
        readAndSend(fd, size, request, [&](std::string& m) {
            done = take(m.data(), m.size(), listener);
            return true;
        });
        if (!done)
            interrupted();
    };
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return here();
    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(pipeFds[0]);
        ::close(pipeFds[1]);
        return here();
    }
    if (pid == 0) {
        ::close(pipeFds[0]);
        readingProcess(fd, size, pipeFds[1], request);
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
    while (!done) {
        // The messages complete so far.
        for (uint64_t length = 0; !done && got.size() - used >= sizeof length;) {
            std::memcpy(&length, got.data() + used, sizeof length);
            if (got.size() - used - sizeof length < length)
                break;
            const char* message = got.data() + used + sizeof length;
            used += sizeof length + length;
            done = take(message, static_cast<size_t>(length), listener);
        }
        if (done)
            break;
        if (used > (1u << 20)) {
            got.erase(0, used);
            used = 0;
        }
        pollfd p{pipeFds[0], POLLIN, 0};
        const qint64 slice = listener.waiting ? 100 : 1000;
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<qint64>(deadline.remainingTime(), slice)));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready == 0) {
            if (deadline.hasExpired())
                throw WorkbookError(unreadable(QStringLiteral("读取超时，文件可能已损坏。")));
            if (listener.waiting)
                listener.waiting();
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

Value Sheet::Row::at(int column) const {
    const auto it = std::lower_bound(cells.begin(), cells.end(), column,
                                     [](const std::pair<int, Value>& c, int col) { return c.first < col; });
    return it != cells.end() && it->first == column ? it->second : Value();
}

QString Sheet::Row::digitsAt(int column) const {
    for (const auto& [c, d] : digits)
        if (c == column)
            return d;
    return QString();
}

QString Sheet::Row::textAt(int column) const {
    if (QString d = digitsAt(column); !d.isEmpty())
        return d;
    const Value v = at(column);
    return v.kind() == Value::Kind::Double ? plainDigits(v.toDouble()) : v.toText();
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

namespace {

// Every sheet with all its rows, the cells held counted against the limit.
class Collector {
public:
    std::vector<Sheet> sheets;

    void begin(const QString& name) { sheets.emplace_back().name = name; }
    void rows(std::vector<Sheet::Row>& rows) {
        auto& into = sheets.back().rows;
        for (Sheet::Row& r : rows) {
            if ((cells_ += r.cells.size()) > kMaxCells)
                tooLarge();
            into.push_back(std::move(r));
        }
    }
    void restart() {
        for (const Sheet::Row& r : sheets.back().rows) cells_ -= r.cells.size();
        sheets.back().rows.clear();
    }
    void end(const Sheet& counts) {
        Sheet& s = sheets.back();
        s.columns = counts.columns;
        s.held = counts.held;
        s.errors = counts.errors;
    }
    Listener listener(const std::function<void()>& waiting) {
        return {[this](const QString& n) { begin(n); },
                [this](std::vector<Sheet::Row>& r) { rows(r); },
                {},
                [this] { restart(); },
                [this](const Sheet& c) { end(c); },
                waiting};
    }

private:
    size_t cells_ = 0;
};

// The same for a reader run here.
class CollectingSink : public SheetSink {
public:
    Collector collector;
    Want want(int) override { return Want::Rows; }
    void begin(const QString& name) override { collector.begin(name); }
    void row(Sheet::Row&& row) override {
        std::vector<Sheet::Row> one;
        one.push_back(std::move(row));
        collector.rows(one);
    }
    void restart() override { collector.restart(); }
    void end(const Sheet& counts) override { collector.end(counts); }
};

}  // namespace

std::vector<Sheet> read(const QString& path, const std::function<void()>& waiting) {
    Collector all;
    readInProcess(path, {Request::All, -1}, all.listener(waiting));
    return std::move(all.sheets);
}

QStringList sheetNames(const QString& path, const std::function<void()>& waiting) {
    QStringList names;
    readInProcess(path, {Request::Names, -1},
                  {[&](const QString& n) { names << n; },
                   [](std::vector<Sheet::Row>&) {},
                   {},
                   [] {},
                   [](const Sheet&) {},
                   waiting});
    return names;
}

Sheet readRows(const QString& path, int sheet, const RowSink& sink) {
    Sheet header;
    readInProcess(path, {Request::One, sheet < 0 ? INT_MAX : sheet},
                  {[&](const QString& n) { header.name = n; },
                   [&](std::vector<Sheet::Row>& rows) { sink.rows(rows); },
                   {},
                   [&] {
                       if (sink.restart)
                           sink.restart();
                   },
                   [&](const Sheet& counts) {
                       header.columns = counts.columns;
                       header.held = counts.held;
                       header.errors = counts.errors;
                   },
                   sink.waiting});
    return header;
}

std::vector<Sheet> readBytes(const QByteArray& bytes) {
    CollectingSink sink;
    readAny(MemorySource(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size()))), QString(), sink);
    return std::move(sink.collector.sheets);
}

}  // namespace tv::workbook
