#include "support/OddFiles.h"

#include <QDir>
#include <QFile>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

#include <sys/stat.h>
#include <unistd.h>

namespace tv::test {

const QStringList& oddKinds() {
    static const QStringList kinds{"fifo", "zero", "urandom", "fifolink", "sparse", "folder"};
    return kinds;
}

void makeOdd(const QString& kind, const QString& path) {
    const QByteArray name = QFile::encodeName(path);
    bool made = false;
    if (kind == "fifo") {
        made = ::mkfifo(name.constData(), 0644) == 0;
    } else if (kind == "zero" || kind == "urandom") {
        made = QFile::link("/dev/" + kind, path);
    } else if (kind == "fifolink") {
        made = ::mkfifo((name + ".fifo").constData(), 0644) == 0 && QFile::link(path + ".fifo", path);
    } else if (kind == "sparse") {
        QFile f(path);
        made = f.open(QIODevice::WriteOnly) && f.resize(qint64(64) << 30);
    } else if (kind == "folder") {
        made = QDir().mkdir(path);
    }
    if (!made)
        throw std::runtime_error("cannot make " + kind.toStdString() + " at " + path.toStdString());
}

namespace {
// The process's resident memory in bytes.
long long resident() {
    long long pages = 0, rss = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &rss) != 2)
            rss = 0;
        std::fclose(f);
    }
    return rss * ::sysconf(_SC_PAGESIZE);
}
}  // namespace

Watchdog::Watchdog(std::string what) : what_(std::move(what)) {
    const long long start = resident();
    thread_ = std::thread([this, start] {
        using namespace std::chrono;
        const auto deadline = steady_clock::now() + seconds(20);
        std::unique_lock lock(mutex_);
        while (!finished_) {
            const bool late = steady_clock::now() > deadline;
            if (late || resident() - start > (1LL << 30)) {
                std::fprintf(stderr, "\nFAILED: %s %s\n", what_.c_str(),
                             late ? "did not come back" : "ate more than a gigabyte");
                std::fflush(stderr);
                std::_Exit(3);
            }
            done_.wait_for(lock, milliseconds(50));
        }
    });
}

Watchdog::~Watchdog() {
    {
        std::lock_guard lock(mutex_);
        finished_ = true;
    }
    done_.notify_one();
    thread_.join();
}

bool makeLink(char kind, const QString& target, const QString& name) {
    if (kind == 's')
        return QFile::link(target, name);
    return kind == 'h' && ::link(QFile::encodeName(target).constData(), QFile::encodeName(name).constData()) == 0;
}

}  // namespace tv::test
