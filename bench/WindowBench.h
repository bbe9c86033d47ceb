#pragma once
// What the window benchmarks share.
//
// - The data file of a lodging house, made from the program's template by
//   the one maker (House) from a Plan: its rooms, the bills a room, photos or
//   none, this month's and last month's rows, a tenant of very long values.
//   The 100x house (10,000 rooms with their 50 KB photos, ten bills a room,
//   an other-fee row a room) is a file of 553 MB; with a hundred bills a room
//   it holds a million bills; 500 rooms is a large house.
// - A window is timed from the click (the call its menu command or button
//   makes) until every grid it shows has painted its rows: the event loop
//   runs until each grid's viewport has had its paint event.
// - The first open of a window is measured in a fresh process each time:
//   the benchmark starts itself as a child ("--child <scenario> <file>
//   <users> cached|uncached"), which shows the main window, then clicks, and
//   reports the time and its memory. "uncached" first drops the data file's
//   pages from the operating system's page cache (posix_fadvise DONTNEED), so
//   that the open reads the file from the disk; the program and its
//   libraries stay cached (it is no reboot).
// - Each figure is reported as its median and spread (min, max) over the
//   repetitions, as counters: median_ms, min_ms, max_ms, peak_MB (VmHWM of
//   the process), rss_MB.
// The screen is 1280 x 800 (the offscreen platform, configured), so that the
// grids show as many rows as on a keeper's screen.
// TV_BENCH_KEEP=<folder> keeps the data files there between runs.

#include "BenchSupport.h"
#include "frame/MDIVamo.h"
#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/Form.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDate>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringList>
#include <QTemporaryDir>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace tv::bench {

inline constexpr int kDates = 10;  // bills a room

// What a house holds: `rooms` registrations (with a photo each unless
// `photos` is off), `dates` bills a room (the last ten dated 2024-01-01 to
// 2024-10-01, a month apart, the earlier ones before them) and an other-fee
// row a room. With `monthRows`, each tenant also has this month's row
// (2024-03-01) and last month's (2024-02-01), and the other-fee row is of
// this month, as the monthly computation reads them. With `longChars`, the
// first tenant's name and work unit hold that many characters.
struct Plan {
    int rooms = 500;
    int dates = kDates;
    bool photos = true;
    bool monthRows = false;
    qsizetype longChars = 0;
    // house<rooms>[-<dates>][-bare][-month][-long<chars>].mdb
    QString fileName() const {
        QString name = QStringLiteral("house%1").arg(rooms);
        if (dates != kDates)
            name += QStringLiteral("-%1").arg(dates);
        if (!photos)
            name += QStringLiteral("-bare");
        if (monthRows)
            name += QStringLiteral("-month");
        if (longChars)
            name += QStringLiteral("-long%1").arg(longChars);
        return name + QStringLiteral(".mdb");
    }
    bool operator<(const Plan& o) const {
        return std::tie(rooms, dates, photos, monthRows, longChars) <
               std::tie(o.rooms, o.dates, o.photos, o.monthRows, o.longChars);
    }
};

// A lodging house's data file and a copy of the user database.
class House {
public:
    explicit House(const Plan& plan) : plan_(plan) {
        const QString keep = qEnvironmentVariable("TV_BENCH_KEEP");
        const QString folder = keep.isEmpty() ? dir_.path() : keep;
        QDir().mkpath(folder);
        path_ = folder + QLatin1Char('/') + plan.fileName();
        users_ = folder + QStringLiteral("/Rave.ini");
        if (!QFileInfo::exists(users_))
            copyFrom(QStringLiteral(TV_APP_DIR "/Rave.ini"), users_);
        if (keep.isEmpty() || !QFileInfo::exists(path_))
            make();
    }
    const QString& path() const { return path_; }
    const QString& users() const { return users_; }
    int rooms() const { return plan_.rooms; }
    int bills() const { return plan_.rooms * plan_.dates; }
    int dates() const { return plan_.dates; }
    // The billing date of a room's bill d (0: the earliest).
    QDate date(int d) const { return QDate(2024, 1, 1).addMonths(kDates - plan_.dates + d); }

private:
    static void copyFrom(const QString& from, const QString& to) {
        QFile::remove(to);
        QFile::copy(from, to);
        QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    void make() {
        const QString building = path_ + QStringLiteral(".part");
        copyFrom(QStringLiteral(TV_APP_DIR "/MDB/Lunrek.mdb"), building);
        const Value picture = plan_.photos ? Value(photo()) : Value();
        {
            auto db = Database::open(building);
            Statement registration(
                *db, QStringLiteral("INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, fq, xb1, "
                                    "xm1, xb3, ysno, xp) VALUES (?, 2, ?, ?, '13800000000', '已婚', '工人', "
                                    "1, 0, '2024-01-01', ?, '老人', '男', '孩子', '女', '在住', ?)"));
            Statement bill(*db, QStringLiteral("INSERT INTO fzsdjs VALUES (?, ?, ?, ?, 800, '1', '30', 120.5, 110, "
                                               "10.5, 3.2, 33.6, 2000, 1900, 100, 0.68, 68, 5.5, 907.1)"));
            Statement other(*db, plan_.monthRows
                                     ? QStringLiteral("INSERT INTO qtfy VALUES ('2024-03-01', ?, ?, 20, 10, 5, 0, 0, "
                                                      "0, 35)")
                                     : QStringLiteral("INSERT INTO qtfy VALUES ('2024-05-01', ?, ?, 50, 10, 5, 3, "
                                                      "20.5, 0, 88.5)"));
            Statement thisMonth(*db, QStringLiteral("INSERT INTO bysj VALUES ('2024-03-01', ?, ?, ?, 800, 1250.5, 2.8, "
                                                    "3301, 0.68)"));
            Statement lastMonth(*db, QStringLiteral("INSERT INTO sysj VALUES ('2024-02-01', ?, ?, ?, 800, 1240.2, 2.8, "
                                                    "3150, 0.68)"));
            const Value company(QStringLiteral("某某公司"));
            db->transaction([&] {
                for (int i = 1; i <= plan_.rooms; ++i) {
                    const Value room(QString::number(1000 + i)), name(QStringLiteral("租客%1").arg(i)), id(idNumber(i));
                    const bool longOne = i == 1 && plan_.longChars > 0;
                    registration.run({room, longOne ? Value(QStringLiteral("租").repeated(plan_.longChars)) : name,
                                      longOne ? Value(QStringLiteral("单").repeated(plan_.longChars)) : company, id,
                                      picture});
                    for (int d = 0; d < plan_.dates; ++d) bill.run({Value(date(d)), room, name, id});
                    other.run({room, id});
                    if (plan_.monthRows) {
                        thisMonth.run({room, name, id});
                        lastMonth.run({room, name, id});
                    }
                }
            });
        }
        Database::releaseUnused();
        QFile f(building);
        if (f.open(QIODevice::ReadWrite))
            ::fsync(f.handle());  // on the disk, so that an open can drop it from the page cache
        f.close();
        QFile::remove(path_);
        QFile::rename(building, path_);
    }

    QTemporaryDir dir_;
    Plan plan_;
    QString path_, users_;
};

// Medians and spreads.
class Samples {
public:
    void add(double v) { v_.push_back(v); }
    bool empty() const { return v_.empty(); }
    double median() const {
        std::vector<double> s = v_;
        std::sort(s.begin(), s.end());
        const size_t n = s.size();
        return n == 0 ? 0 : n % 2 ? s[n / 2] : (s[n / 2 - 1] + s[n / 2]) / 2;
    }
    double min() const { return v_.empty() ? 0 : *std::min_element(v_.begin(), v_.end()); }
    double max() const { return v_.empty() ? 0 : *std::max_element(v_.begin(), v_.end()); }
    // median_<unit>, min_<unit>, max_<unit>.
    void report(benchmark::State& state, const std::string& unit = "ms") const {
        state.counters["median_" + unit] = median();
        state.counters["min_" + unit] = min();
        state.counters["max_" + unit] = max();
    }

private:
    std::vector<double> v_;
};

inline void reportMemory(benchmark::State& state) {
    state.counters["rss_MB"] = memoryMb("VmRSS:");
    state.counters["peak_MB"] = memoryMb("VmHWM:");
}

// Paint events of every widget, recorded while a click is timed.
class PaintLog : public QObject {
public:
    QSet<QObject*> painted;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Paint)
            painted.insert(o);
        return false;
    }
};

// Runs `click`, then the event loop until every grid shown in the window
// `name` (those named in `grids`, when given; its controls, when it has no
// grid) has painted; the milliseconds taken, or -1 when that did not happen
// within ten seconds.
inline double clickToPainted(const char* name, const std::function<void()>& click, const QStringList& grids = {}) {
    PaintLog log;
    qApp->installEventFilter(&log);
    QElapsedTimer t;
    t.start();
    click();
    double ms = -1;
    while (t.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents);
        forms::Form* f = forms::Registry::loaded(QString::fromLatin1(name));
        if (!f || !f->widget())
            continue;
        // A window without grids: its controls.
        bool all = true, any = false;
        for (const forms::DataGrid* g : f->widget()->findChildren<forms::DataGrid*>()) {
            if (!g->isVisible() || (!grids.isEmpty() && !grids.contains(g->objectName())))
                continue;
            any = true;
            all = all && log.painted.contains(g->viewport());
        }
        if (any ? all : std::any_of(log.painted.cbegin(), log.painted.cend(), [f](QObject* o) {
                return o->isWidgetType() && f->widget()->isAncestorOf(static_cast<QWidget*>(o));
            })) {
            ms = static_cast<double>(t.nsecsElapsed()) / 1e6;
            break;
        }
    }
    qApp->removeEventFilter(&log);
    return ms;
}

// Opens the window `name` on the data file the shared state names; the time
// from the click to its grids painted.
inline double openPainted(const char* name) {
    return clickToPainted(name, [name] { forms::Registry::instance(QString::fromLatin1(name))->show(); });
}

inline void closeWindow(const char* name) {
    if (forms::Form* f = forms::Registry::loaded(QString::fromLatin1(name)))
        f->unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

// The program's look, its main window shown, the data file chosen.
inline void prepareProgram(QApplication& app, const QString& dataFile, const QString& users) {
    frame::prepareApplication(app);
    shell::setProgramFolder(QStringLiteral(TV_APP_DIR));
    forms::Registry::add(QString::fromLatin1(frame::MDIVamo::kName), [] { return new frame::MDIVamo; });
    forms::Registry::instance(QString::fromLatin1(frame::MDIVamo::kName))->show();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
    state().DataFilePath = dataFile;
    state().UserDbPath = users;
    // A message box would wait for nobody: it is noted and answered at once.
    dlg::script::begin();
    dlg::script::setUnexpectedHandler([](const dlg::Call& c) {
        if (!qEnvironmentVariableIsSet("TV_BENCH_QUIET"))
            std::fprintf(stderr, "message %s: %s\n", qPrintable(c.kind), qPrintable(c.text));
    });
}

// Drops the file's pages from the operating system's cache.
inline void dropFromCache(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    ::fdatasync(fd);
    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

// The offscreen platform with a screen of 1280 x 800, before QApplication.
inline void useScreen() {
    static QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    QFile f(config);
    if (f.open(QIODevice::WriteOnly))
        f.write(R"({"screens": [{"name": "bench", "x": 0, "y": 0, "width": 1280, "height": 800,
                    "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
    f.close();
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
}

// What a child does: the click of one scenario in a fresh program, its time.
using Scenario = std::function<double()>;

struct ChildRun {
    bool ok = false;
    double ms = 0, peakMb = 0, rssMb = 0;
};

// The benchmark's own program as a child that runs `scenario` once on `file`.
inline ChildRun runChild(const char* scenario, const House& house, bool uncached) {
    int fds[2];
    if (pipe(fds) != 0)
        return {};
    const QByteArray file = QFile::encodeName(house.path()), users = QFile::encodeName(house.users());
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (!qEnvironmentVariableIsSet("TV_BENCH_VERBOSE")) {  // Qt's notes on the offscreen platform
            const int null = ::open("/dev/null", O_WRONLY);
            dup2(null, STDERR_FILENO);
        }
        execl("/proc/self/exe", "bench", "--child", scenario, file.constData(), users.constData(),
              uncached ? "uncached" : "cached", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    close(fds[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    ChildRun r;
    const size_t at = out.rfind("ok ");
    if (at != std::string::npos && std::sscanf(out.c_str() + at, "ok %lf %lf %lf", &r.ms, &r.peakMb, &r.rssMb) == 3 &&
        r.ms >= 0)
        r.ok = true;
    return r;
}

// A benchmark of first opens: `scenario` in `repetitions` fresh processes.
inline void firstOpens(benchmark::State& state, const char* scenario, const House& house, bool uncached,
                       int repetitions) {
    Samples times, peaks, rss;
    for (auto _ : state) {
        for (int i = 0; i < repetitions; ++i) {
            const ChildRun r = runChild(scenario, house, uncached);
            if (!r.ok) {
                state.SkipWithError("the child did not report");
                return;
            }
            times.add(r.ms);
            peaks.add(r.peakMb);
            rss.add(r.rssMb);
        }
        state.SetIterationTime(times.median() / 1000);
    }
    times.report(state);
    state.counters["peak_MB"] = peaks.median();
    state.counters["rss_MB"] = rss.median();
    state.counters["runs"] = repetitions;
}

// The house of a plan, made once in this process.
inline House& house(const Plan& plan) {
    static std::map<Plan, std::unique_ptr<House>> houses;
    auto& h = houses[plan];
    if (!h)
        h = std::make_unique<House>(plan);
    return *h;
}

// The plan of a benchmark's arguments: rooms, and bills a room when given.
inline Plan planOf(const benchmark::State& state) {
    return {.rooms = static_cast<int>(state.range(0)), .dates = state.range(1) ? int(state.range(1)) : kDates};
}

// The houses a window is measured on, as the arguments (rooms, bills a room)
// that planOf() reads: the 100× house, the million-bill house and a small
// one; each timed by hand, in milliseconds.
inline void onTheHouses(benchmark::internal::Benchmark* b) {
    b->Args({10000, 10})->Args({10000, 100})->Args({500, 10})->UseManualTime()->Unit(benchmark::kMillisecond);
}

// The house of the benchmark's arguments, the data file the program opens.
inline const House& useHouse(benchmark::State& state) {
    const House& h = house(planOf(state));
    tv::state().DataFilePath = h.path();
    tv::state().UserDbPath = h.users();
    return h;
}

// A benchmark of the opens of the window `name` after its first, in one
// process, on the house of state.range(0) rooms; `shows(house)` checks what
// it shows.
inline void laterOpens(benchmark::State& state, const char* name, const std::function<bool(const House&)>& shows) {
    const House& h = useHouse(state);
    openPainted(name);  // the first open is measured apart
    closeWindow(name);
    Samples times;
    for (auto _ : state) {
        const double ms = openPainted(name);
        state.PauseTiming();
        if (ms < 0 || !shows(h)) {
            state.SkipWithError("the window did not show the rows");
            break;
        }
        times.add(ms);
        state.SetIterationTime(ms / 1000);
        reportMemory(state);
        closeWindow(name);
        state.ResumeTiming();
    }
    times.report(state);
}

// A benchmark of clicks in the open window `name`: `ready` prepares each
// (untimed), `click` is timed until the grids named have painted, `did`
// checks what it did.
inline void clicks(benchmark::State& state, const char* name, const std::function<void()>& ready,
                   const std::function<void()>& click, const QStringList& grids, const std::function<bool()>& did) {
    Samples times;
    for (auto _ : state) {
        ready();
        const double ms = clickToPainted(name, click, grids);
        if (ms < 0 || !did()) {
            state.SkipWithError("the click did not do its work");
            break;
        }
        times.add(ms);
        state.SetIterationTime(ms / 1000);
    }
    times.report(state);
    reportMemory(state);
    closeWindow(name);
}

// The rows the data source `source` of the loaded window `name` holds.
inline int rowsOf(const char* name, const char* source) {
    return forms::Registry::instance(QString::fromLatin1(name))
        ->control<forms::DataControl>(QString::fromLatin1(source))
        ->recordset()
        .recordCount();
}

// The child's side: argv is "--child <scenario> <file> <users> cached|uncached".
inline int childMain(int argc, char** argv, const std::function<void()>& registerWindows,
                     const std::map<std::string, Scenario>& scenarios) {
    if (argc < 6)
        return 2;
    useScreen();
    QApplication app(argc, argv);
    registerWindows();
    const QString file = QFile::decodeName(argv[3]);
    prepareProgram(app, file, QFile::decodeName(argv[4]));
    const auto it = scenarios.find(argv[2]);
    if (it == scenarios.end())
        return 2;
    if (std::strcmp(argv[5], "uncached") == 0)
        dropFromCache(file);
    const double ms = it->second();
    std::printf("ok %.3f %.1f %.1f\n", ms, memoryMb("VmHWM:"), memoryMb("VmRSS:"));
    std::fflush(stdout);
    _exit(0);  // no teardown: it is not measured
}

// main() of a window benchmark: the child when asked, else the benchmarks in
// a program prepared as the child's is, on `dataFile`.
inline int windowBenchMain(int argc, char** argv, const std::function<void()>& registerWindows,
                           const std::map<std::string, Scenario>& scenarios) {
    if (argc > 1 && std::strcmp(argv[1], "--child") == 0)
        return childMain(argc, argv, registerWindows, scenarios);
    if (!QFileInfo::exists(QStringLiteral(TV_APP_DIR "/Rave.ini"))) {
        std::fprintf(stderr, "build the program folder first (target app_folder): %s\n", TV_APP_DIR);
        return 1;
    }
    useScreen();
    QApplication app(argc, argv);
    registerWindows();
    prepareProgram(app, QString(), QString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    forms::Registry::clear();
    return 0;
}

}  // namespace tv::bench
