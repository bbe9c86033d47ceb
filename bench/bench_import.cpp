// An import through the windows, as a keeper does it, in a fresh program each
// time: 把Excel数据导入到Access数据库, the workbook chosen, its sheet chosen
// and previewed, 下一步, the data file and its fee table chosen, 导入. The
// workbook is the export of N bills (19 fields, every kind of value), made
// once by the export the program has; the data file is a new one each time.
//
// Each run reports, as the median and spread (min, max) over the runs:
//   program_MB   the peak memory of the program (VmHWM), which must stay
//                under 100 MB whatever the sheet's size
//   reader_MB    the peak memory of the largest reading process (its
//                ru_maxrss), under 100 MB too
//   open_ms      from the workbook's pick to its sheet previewed
//   import_ms    from 导入 to the last row stored
//   total_ms     both
// Goals: both memories under 100 MB at 100,000 and 400,000 rows; the times no
// worse than before the import read in bounded memory.
//
// Run: build/bench/bench_import   (TV_BENCH_KEEP=<folder> keeps the workbooks
// between runs; --benchmark_filter=/100000 for the smaller sheet only)

#include "BenchSupport.h"
#include "exchange/Connections.h"
#include "exchange/ExchangeWindows.h"
#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace tv;
namespace ex = tv::exchange;

namespace {

constexpr int kRuns = 5;
constexpr int kFields = 19;  // the fields of a bill

QString schema() {
    QFile f(QStringLiteral(TV_SOURCE_DIR "/install/schema.sql"));
    if (!f.open(QIODevice::ReadOnly))
        std::abort();
    const QString all = QString::fromUtf8(f.readAll());
    return all.left(all.indexOf(QStringLiteral("-- user database")));
}

// A data file made from the schema, with `sql` run after it.
void makeDataFile(const QString& path, const QString& sql) {
    QFile::remove(path);
    QFile(path).open(QIODevice::WriteOnly);
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    if (sqlite3_exec(raw, (schema() + sql).toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(raw);
}

// The workbook of `rows` bills, made once (kept in TV_BENCH_KEEP when set).
QString workbook(int rows) {
    static QTemporaryDir dir;
    const QString keep = qEnvironmentVariable("TV_BENCH_KEEP");
    const QString folder = keep.isEmpty() ? dir.path() : keep;
    QDir().mkpath(folder);
    const QString book = folder + QStringLiteral("/bills%1.xlsx").arg(rows);
    if (QFileInfo::exists(book))
        return book;
    const QString data = folder + QStringLiteral("/bills%1.mdb").arg(rows);
    makeDataFile(data, QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                                      "INSERT INTO fzsdjs SELECT printf('2024-%02d-15', i % 12 + 1), 100 + i % 500, "
                                      "'租客' || i, printf('4401011990%08d', i), 800 + i % 7, '2024-01-01', "
                                      "'2024-01-31', 100.5 + i, 90.25 + i, 10.25, 3.5, 35.88, 2000.5 + i, 1900.25, "
                                      "100.25, 0.85, 85.21, 10, 931.09 + i % 7 FROM c;")
                           .arg(rows));
    {
        auto db = Database::open(data);
        QStringList fields;
        for (const Column& c : db->columns(QStringLiteral("fzsdjs"))) fields << c.name;
        ex::exportTable(*db, QStringLiteral("fzsdjs"), fields, book);
    }
    Database::releaseUnused();
    QFile::remove(data);
    return book;
}

template <class W>
QPushButton* button(const char* name) {
    return forms::the<W>().template control<QPushButton>(QString::fromLatin1(name));
}

template <class W>
void choose(const char* name, int index) {
    auto* c = forms::the<W>().template control<QComboBox>(QString::fromLatin1(name));
    c->setCurrentIndex(index);
    emit c->activated(index);
}

void settle() {
    for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

// The child: the import through the windows, once. Prints
// "ok <open ms> <import ms> <program MB> <reader MB> <rows stored>".
int child(const QString& book, const QString& target) {
    dlg::script::begin();
    dlg::script::setUnexpectedHandler([](const dlg::Call&) {});  // message boxes: OK
    QElapsedTimer t;
    forms::the<ex::fexcel>().show();
    settle();
    t.start();
    dlg::script::answerFile(book);
    button<ex::fexcel>("Img2")->click();
    choose<ex::fexcel>("Com1", 0);
    settle();  // the preview painted
    const double open = double(t.nsecsElapsed()) / 1e6;
    button<ex::fexcel>("cmd1")->click();
    dlg::script::answerFile(target);
    button<ex::faccess>("Img2")->click();
    auto* tables = forms::the<ex::faccess>().control<QComboBox>(QStringLiteral("Com1"));
    choose<ex::faccess>("Com1", tables->findText(QStringLiteral("fzsdjs")));
    settle();
    t.restart();
    button<ex::faccess>("cmd1")->click();
    const double import = double(t.nsecsElapsed()) / 1e6;
    rusage children{};
    ::getrusage(RUSAGE_CHILDREN, &children);
    const auto db = Database::open(target);
    const auto stored = db->query(QStringLiteral("select count(*) from fzsdjs")).at(0).at(0).toText();
    std::printf("ok %.1f %.1f %.1f %.1f %s\n", open, import, tv::bench::memoryMb("VmHWM:"),
                double(children.ru_maxrss) / 1024, qPrintable(stored));
    std::fflush(stdout);
    _exit(0);
}

struct Run {
    bool ok = false;
    double open = 0, import = 0, programMb = 0, readerMb = 0;
    long stored = 0;
};

// This program again, as a fresh child that imports once.
Run runChild(const QString& book, const QString& target) {
    int fds[2];
    if (::pipe(fds) != 0)
        return {};
    const QByteArray b = QFile::encodeName(book), t = QFile::encodeName(target);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        execl("/proc/self/exe", "bench_import", "--child", b.constData(), t.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buf[256];
    ssize_t n;
    while ((n = ::read(fds[0], buf, sizeof buf)) > 0) out.append(buf, static_cast<size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Run r;
    const size_t at = out.rfind("ok ");
    r.ok = at != std::string::npos && std::sscanf(out.c_str() + at, "ok %lf %lf %lf %lf %ld", &r.open, &r.import,
                                                  &r.programMb, &r.readerMb, &r.stored) == 5;
    return r;
}

struct Samples {
    std::vector<double> v;
    void report(benchmark::State& state, const std::string& name) const {
        std::vector<double> s = v;
        std::sort(s.begin(), s.end());
        state.counters[name] = s.empty()      ? 0
                               : s.size() % 2 ? s[s.size() / 2]
                                              : (s[s.size() / 2 - 1] + s[s.size() / 2]) / 2;
        state.counters[name + "_min"] = s.empty() ? 0 : s.front();
        state.counters[name + "_max"] = s.empty() ? 0 : s.back();
    }
};

void BM_ImportThroughTheWindows(benchmark::State& state) {
    const int rows = static_cast<int>(state.range(0));
    const QString book = workbook(rows);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("target.mdb"));
    Samples open, import, total, program, reader;
    for (auto _ : state) {
        for (int i = 0; i < kRuns; ++i) {
            makeDataFile(target, QString());
            const Run r = runChild(book, target);
            if (!r.ok || r.stored != rows) {
                state.SkipWithError("the import did not store every row");
                return;
            }
            open.v.push_back(r.open);
            import.v.push_back(r.import);
            total.v.push_back(r.open + r.import);
            program.v.push_back(r.programMb);
            reader.v.push_back(r.readerMb);
        }
        std::vector<double> s = total.v;
        std::sort(s.begin(), s.end());
        state.SetIterationTime(s[s.size() / 2] / 1000);
    }
    open.report(state, "open_ms");
    import.report(state, "import_ms");
    total.report(state, "total_ms");
    program.report(state, "program_MB");
    reader.report(state, "reader_MB");
}
BENCHMARK(BM_ImportThroughTheWindows)
    ->Arg(100000)
    ->Arg(400000)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

template <class T>
void add() {
    forms::Registry::add(QString::fromLatin1(T::kName), [] { return new T; });
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc == 4 && std::strcmp(argv[1], "--child") == 0) {
        frame::prepareApplication(app);
        add<ex::Exnac>();
        add<ex::fexcel>();
        add<ex::faccess>();
        return child(QFile::decodeName(argv[2]), QFile::decodeName(argv[3]));
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
