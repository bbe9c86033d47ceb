#pragma once
// Files that no reader of the program may hang on or fill the memory with,
// made where a test wants them, and a watchdog for the calls that meet them.

#include <QString>
#include <QStringList>

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

namespace tv::test {

// The kinds, by name: "fifo" (never opened for writing, so a blocking open
// would wait for ever), "zero" and "urandom" (links to those devices, which
// say they are empty and never end), "fifolink" (a link to a FIFO), "sparse"
// (a regular file of 64 GiB that takes no room), "folder".
const QStringList& oddKinds();
// Makes an odd file of `kind` at `path` (which must not exist yet).
void makeOdd(const QString& kind, const QString& path);
// Makes `name` a second name of `target`: a symbolic link ('s') or a hard
// link ('h'); true when it could.
bool makeLink(char kind, const QString& target, const QString& name);

// While it lives, a call that blocks or whose memory runs away (a gigabyte
// more than at the start, or twenty seconds without coming back) ends the
// test process at once with a failure that names `what`, instead of hanging
// the suite or the machine.
class Watchdog {
public:
    explicit Watchdog(std::string what);
    ~Watchdog();
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

private:
    std::string what_;
    std::mutex mutex_;
    std::condition_variable done_;
    bool finished_ = false;
    std::thread thread_;
};

}  // namespace tv::test
