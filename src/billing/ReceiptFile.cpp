#include "billing/ReceiptFile.h"

#include "platform/db/Database.h"
#include "platform/text/Gbk.h"
#include "platform/values/FileRead.h"
#include "platform/values/IoError.h"
#include "platform/values/Money.h"
#include "platform/values/WholeFile.h"
#include "shared/Receipt.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QScopeGuard>
#include <QStringList>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tv::billing {

namespace {

QString dateText(const QString& typed) {
    const std::optional<QDate> d = parseDate(typed);
    return d ? shortDate(*d) : typed;  // not a date: as typed
}
QString num(float f) { return format00(static_cast<double>(f)); }
// Readings with two decimals, the period's dates in their short form.
const receipt::Forms kInFile{&num, &dateText};

// The lines of a receipt in GBK, each of items placed at their columns (more
// lines when an item is wider than its cell) and ended with CR LF.
class Lines {
public:
    Lines() { out_.reserve(1536); }
    Lines& operator()(const receipt::Line& items) {
        for (const print::Item& item : items) {
            if (item.column > 0)
                w_.at(item.column);
            w_.put(item.text);
        }
        w_.endLine();
        return *this;
    }
    Lines& empty(int count) {
        for (int i = 0; i < count; ++i) w_.endLine();
        return *this;
    }
    // Whole lines already made (the writer stands at column 1 between lines).
    Lines& made(const QByteArray& lines) {
        assert(w_.column() == 1);
        out_ += lines;
        return *this;
    }
    QByteArray take() { return std::move(out_); }

private:
    QByteArray out_;
    text::GbkLineWriter w_{out_};
};

// The lines that are the same on every receipt, made once.
struct Fixed {
    QByteArray head, boxes[receipt::kRows + 1], foot;
};

const Fixed& fixed() {
    static const Fixed f = [] {
        Fixed x;
        x.head = Lines().empty(3)({print::at(42, receipt::kTitle)}).empty(2).take();
        for (int i = 0; i <= receipt::kRows; ++i) x.boxes[i] = Lines()({print::at(1, receipt::boxLine(i))}).take();
        x.foot = Lines()(receipt::footer({3, 25, 51, 77})).take();
        return x;
    }();
    return f;
}

}  // namespace

QByteArray receiptText(const BillRecord& b, const QString& words) {
    const Fixed& f = fixed();
    Lines l;
    l.made(f.head);
    l(receipt::header(b));
    for (int r = 0; r < receipt::kRows; ++r) {
        l.made(f.boxes[r]);
        l(receipt::row(static_cast<receipt::Row>(r), b, words, kInFile));
    }
    l.made(f.boxes[receipt::kRows]);
    l.made(f.foot);
    QByteArray text = l.take();
    assert(text.endsWith("\r\n"));  // every line ended with CR LF
    return text;
}

// ---------------------------------------------------------------- the file

namespace {

// A note is five short lines; a staged text a computation's receipts (about
// 1.4 KB a bill).
constexpr qint64 kLargestNote = 64 * 1024;
constexpr qint64 kLargestStagedText = qint64(1) << 31;

const QString kName = QStringLiteral("Zjzd.txt");
// How long a computation waits for another program's to end.
constexpr int kLockWaitMs = 15000;

// What a staged computation left in the folder.
struct Note {
    int token = 0;
    bool replace = false;
    qint64 oldSize = -1;  // the file's size before ("YB"); -1: there was none
    QString dataFile;
};

QString stagedPath(const QString& target) { return target + QStringLiteral(".new"); }
QString notePath(const QString& target) { return target + QStringLiteral(".pending"); }
QString shown(const QString& path) { return QDir::toNativeSeparators(path); }

[[noreturn]] void cannotWrite(const QString& path, const QString& why) {
    throw DbError(QStringLiteral("收据文件%1写不进去：%2").arg(shown(path), why));
}

// Receipts go only into a regular file that may be written, or make a
// missing one: a folder, a FIFO or a device never takes them (writing to a
// FIFO nobody reads would wait for ever), nor a file marked read-only. Raises
// DbError with the reason.
void checkReceiptFile(const QString& target) {
    if (const QString refused = replaceRefusal(target); !refused.isEmpty())
        cannotWrite(target, refused);
}

// The receipt file opened to append to, made when missing; never waits, and
// what was opened is looked at again. Raises DbError.
int openReceiptFile(const QString& target) {
    checkReceiptFile(target);  // a device is never opened at all
    const int fd =
        ::open(QFile::encodeName(target).constData(), O_RDWR | O_CREAT | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
    if (fd < 0)
        cannotWrite(target, ioErrorText(errno));
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        checkReceiptFile(target);  // swapped in between: says what it is now
        cannotWrite(target, ioErrorText(EIO));
    }
    return fd;
}

// Every byte written, or false with errno set.
bool writeAll(int fd, const QByteArray& bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = ENOSPC;
            return false;
        }
        done += n;
    }
    return true;
}

// A staged file written whole: on the disk under its name, or not there.
void writeStaged(const QString& path, const QByteArray& bytes) {
    QString why;
    if (!writeWholeFile(path, bytes, &why, FileOwner::Program))
        cannotWrite(path, why);
}

std::optional<Note> readNote(const QString& path) {
    const FileRead note = readRegularFile(path, kLargestNote);
    if (!note.ok())
        return std::nullopt;
    const QStringList lines = QString::fromUtf8(note.bytes).split(QLatin1Char('\n'));
    if (lines.size() < 5 || !lines[4].isEmpty())
        return std::nullopt;  // cut short: it was being written, so nothing was stored yet
    Note n;
    bool tokenOk = false, sizeOk = false;
    n.token = lines[0].toInt(&tokenOk);
    n.replace = lines[1] == QLatin1String("YA");
    n.oldSize = lines[2].toLongLong(&sizeOk);
    n.dataFile = lines[3];
    if (!tokenOk || !sizeOk || n.token == 0)
        return std::nullopt;
    return n;
}

// This program is not writing to the data file (its write lock is not held).
[[maybe_unused]] bool notWriting(const QString& dataFile) {
    try {
        return !Database::open(dataFile)->inTransaction();
    } catch (const DbError&) {
        return true;  // not open, so not written
    }
}

int storedToken(const QString& dataFile) {
    const auto rows = Database::open(dataFile)->query(QStringLiteral("pragma user_version"));
    return rows.empty() || rows[0].empty() ? 0 : rows[0][0].toInt();
}

void drop(const QString& target) {
    QFile::remove(stagedPath(target));
    QFile::remove(notePath(target));
}

// Appends `text` to the file that was `oldSize` long (-1: missing), made
// when missing. What an append cut short left is undone first, and so is
// this one when it fails.
void append(const QString& target, qint64 oldSize, const QByteArray& text) {
    const qint64 before = std::max<qint64>(oldSize, 0);
    const int fd = openReceiptFile(target);
    const auto closing = qScopeGuard([fd] { ::close(fd); });
    struct stat st {};
    if (::fstat(fd, &st) != 0 || (st.st_size > before && ::ftruncate(fd, before) != 0))
        cannotWrite(target, ioErrorText(errno));
    if (::lseek(fd, 0, SEEK_END) < 0 || !writeAll(fd, text) || ::fsync(fd) != 0) {
        const int why = errno;
        (void)::ftruncate(fd, before);
        cannotWrite(target, ioErrorText(why));
    }
}

// The staged text (`text` when it is at hand, else read) takes its place;
// may run again after an interruption.
void apply(const QString& target, const Note& n, const QByteArray* text = nullptr) {
    assert(n.token != 0);  // a note's token is never 0: a data file that never stored bills holds 0
    const QString staged = stagedPath(target);
    if (n.replace) {
        if (QFile::exists(staged)) {
            checkReceiptFile(target);
            if (std::rename(QFile::encodeName(staged).constData(), QFile::encodeName(target).constData()) != 0)
                throw DbError(QStringLiteral("收据文件%1换不上去：%2").arg(shown(target), ioErrorText(errno)));
        }
    } else if (QFile::exists(staged)) {
        FileRead read;
        if (!text) {
            read = readRegularFile(staged, kLargestStagedText);
            if (!read.ok())
                throw DbError(QStringLiteral("收据文件%1读不出来：%2").arg(shown(staged), read.why));
            text = &read.bytes;
        }
        append(target, n.oldSize, *text);
        QFile::remove(staged);
    } else {
        ::close(openReceiptFile(target));  // appending makes a missing file
    }
    QFile::remove(notePath(target));
}

}  // namespace

// The lock on .Zjzd.txt.lock, a hidden name that no file list shows (a lock
// of the open file, which the system lets go of when the file is closed, also
// by the end of the program). Older builds locked Zjzd.txt.lock: while a file
// of that name is there it is locked too, so that such a program computing in
// the folder is waited for, and once held it is removed, being needed no more.
class ReceiptLock {
public:
    explicit ReceiptLock(const QString& target) : oldName_(target + QStringLiteral(".lock")) {
        int error = 0;
        fd_ = openLockFile(hiddenName(target), O_CREAT, error);
        if (fd_ < 0)  // the keeper knows the receipt file, never its lock: that is the file named
            cannotWrite(target, error ? ioErrorText(error) : replaceRefusal(hiddenName(target)));
        old_ = openLockFile(oldName_, 0, error);
    }
    ~ReceiptLock() {
        ::close(fd_);
        if (old_ >= 0)
            ::close(old_);
    }
    ReceiptLock(const ReceiptLock&) = delete;
    ReceiptLock& operator=(const ReceiptLock&) = delete;

    bool tryTake() {
        if (held_)
            return true;
        if (::flock(fd_, LOCK_EX | LOCK_NB) != 0)
            return false;
        if (old_ >= 0 && ::flock(old_, LOCK_EX | LOCK_NB) != 0) {
            ::flock(fd_, LOCK_UN);  // an older build is computing here
            return false;
        }
        held_ = true;
        if (old_ >= 0)
            QFile::remove(oldName_);
        return true;
    }
    bool held() const { return held_; }
    // Waits while another program holds it; DbError when it still does.
    void take(const QString& target, const std::function<void()>& waiting) {
        if (tryTake())
            return;
        if (waiting)
            waiting();
        QElapsedTimer waited;
        waited.start();
        for (int pause = 1; !tryTake(); pause = std::min(pause * 2, 50)) {
            if (waited.elapsed() > kLockWaitMs)
                throw DbError(QStringLiteral("另一个程序正在计算并写入收据文件%1，请稍后再试。").arg(shown(target)));
            std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        }
    }

private:
    static QString hiddenName(const QString& target) {
        const QFileInfo file(target);
        return file.dir().filePath(QLatin1Char('.') + file.fileName() + QStringLiteral(".lock"));
    }
    // A lock file opened without waiting (`create`: O_CREAT to make a
    // missing one); -1 when it cannot be, with `error` (0: it is no regular
    // file).
    static int openLockFile(const QString& path, int create, int& error) {
        const int fd =
            ::open(QFile::encodeName(path).constData(), O_RDWR | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | create, 0666);
        error = fd < 0 ? errno : 0;
        struct stat st {};
        if (fd >= 0 && (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    int fd_ = -1;
    QString oldName_;
    int old_ = -1;  // the lock file of older builds, while there is one
    bool held_ = false;
};

namespace {

// What an interrupted computation left: finished when its bills were
// stored, else dropped. Only the holder of the lock calls it.
void settle(const QString& target, [[maybe_unused]] const ReceiptLock& lock) {
    assert(lock.held());
    if (!QFile::exists(notePath(target))) {
        QFile::remove(stagedPath(target));  // staged without a note: nothing was stored
        return;
    }
    const std::optional<Note> n = readNote(notePath(target));
    if (!n || !QFile::exists(n->dataFile))
        drop(target);
    else if (storedToken(n->dataFile) == n->token)
        apply(target, *n);  // the bills were stored: their receipts go in
    else
        drop(target);  // they were not: neither are the receipts
}

}  // namespace

QString ReceiptFile::pathFor(const QString& dataFile) { return QFileInfo(dataFile).absoluteDir().filePath(kName); }

void ReceiptFile::recover(const QString& dataFile) {
    const QString target = pathFor(dataFile);
    if (!QFile::exists(notePath(target)) && !QFile::exists(stagedPath(target)))
        return;
    ReceiptLock lock(target);
    if (lock.tryTake())  // else a living program is at work here and settles it itself
        settle(target, lock);
}

ReceiptFile::ReceiptFile(const QString& dataFile, bool replace, const std::function<void()>& waiting)
    : lock_(std::make_unique<ReceiptLock>(pathFor(dataFile))),
      dataFile_(QFileInfo(dataFile).absoluteFilePath()),
      target_(pathFor(dataFile)),
      replace_(replace) {
    assert(notWriting(dataFile_));  // the lock comes before the data file's write lock
    lock_->take(target_, waiting);
    settle(target_, *lock_);
    checkReceiptFile(target_);  // before any bill is stored
}

ReceiptFile::~ReceiptFile() {
    if (staged_)
        drop(target_);
}

void ReceiptFile::stage(const QByteArray& text) {
    assert(lock_->held() && !staged_ && token_ == 0);  // one text a computation, staged under the lock
    const int stored = storedToken(dataFile_);
    do token_ = QRandomGenerator::global()->bounded(1, INT_MAX);
    while (token_ == stored);
    assert(token_ != 0 && token_ != stored);  // the data file holds it only once the bills are stored
    const QFileInfo old(target_);
    oldSize_ = old.exists() ? old.size() : -1;
    staged_ = true;
    text_ = text;
    writeStaged(stagedPath(target_), text);
    writeStaged(notePath(target_), QStringLiteral("%1\n%2\n%3\n%4\n")
                                       .arg(token_)
                                       .arg(replace_ ? QStringLiteral("YA") : QStringLiteral("YB"))
                                       .arg(oldSize_)
                                       .arg(dataFile_)
                                       .toUtf8());
}

QString ReceiptFile::finish() {
    assert(staged_ && lock_->held());  // after the commit of the staged text's bills
    staged_ = false;                   // stored with the bills: from here on only finished, never dropped
    try {
        apply(target_, {token_, replace_, oldSize_, dataFile_}, &text_);
    } catch (const DbError& e) {
        return e.text();
    }
    text_.clear();
    return QString();
}

}  // namespace tv::billing
