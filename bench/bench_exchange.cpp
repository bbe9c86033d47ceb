// The exchange of 100,000 fzsdjs rows with a workbook, each beside its library
// alone, with the peak memory of the process during each benchmark
// ("peak_MB", the kernel's high-water mark, reset before it):
//
//   export: the rows read and written as the export window does   <= 1.5x  libxlsxwriter writing the same cells in
//           (libxlsxwriter's constant-memory mode), peak < 100 MB          the same mode (values made beforehand)
//   import: the sheet read (in its own process) and appended to    < 3 s
//           the fee table of a data file made from the schema, in
//           one transaction, batch by batch as the reader hands rows over
//
// BM_ExportRatio runs the export and the library alone in turns and reports
// the median ratio of their times and its spread (min, max), so that the
// load of the machine falls on both alike. The others run repeatedly and
// report median, mean and spread (stddev, cv).
//
// Beside them, for the profile: the reading alone (our reader, its process
// included) and the engine alone (the same rows stored by one prepared
// INSERT, values bound as they are stored). The import runs in a child
// process too: compare wall times ("Time"), not CPU.
//
// Run: build-x/bench/bench_exchange

#include "BenchSupport.h"
#include "exchange/Connections.h"
#include "platform/db/Database.h"
#include "platform/workbook/Workbook.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <xlsxwriter.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tv;

namespace {

constexpr int kRows = 100000;
constexpr int kRepetitions = 5;

// The process's peak memory from now on: the kernel's high-water mark reset.
void resetPeak() {
    ::malloc_trim(0);  // what earlier benchmarks freed goes back to the system first
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}
void reportPeak(benchmark::State& state) { state.counters["peak_MB"] = tv::bench::memoryMb("VmHWM:"); }

template <class F>
double seconds(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A data file made from the schema, with `sql` run after it.
void makeDataFile(const QString& path, const QString& schema, const QString& sql) {
    QFile(path).open(QIODevice::WriteOnly);
    sqlite3* raw = nullptr;
    sqlite3_open(QFile::encodeName(path).constData(), &raw);
    const QByteArray text = (schema.left(schema.indexOf(QStringLiteral("-- user database"))) + sql).toUtf8();
    if (sqlite3_exec(raw, text.constData(), nullptr, nullptr, nullptr) != SQLITE_OK)
        std::abort();
    sqlite3_close(raw);
}

struct Files {
    QTemporaryDir dir;
    QString data, book;
    std::shared_ptr<Database> db;
    std::shared_ptr<Database> target;  // an empty data file the import appends to
    Files() {
        QFile f(QStringLiteral(TV_SOURCE_DIR "/install/schema.sql"));
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        const QString schema = QString::fromUtf8(f.readAll());
        data = dir.filePath(QStringLiteral("bench.mdb"));
        book = dir.filePath(QStringLiteral("fzsdjs.xlsx"));
        makeDataFile(data, schema,
                     QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                                    "INSERT INTO fzsdjs SELECT printf('2024-%02d-15', i % 12 + 1), 100 + i % 500, "
                                    "'租客' || i, printf('4401011990%08d', i), 800 + i % 7, '2024-01-01', "
                                    "'2024-01-31', 100.5 + i, 90.25 + i, 10.25, 3.5, 35.88, 2000.5 + i, 1900.25, "
                                    "100.25, 0.85, 85.21, 10, 931.09 + i % 7 FROM c;")
                         .arg(kRows));
        const QString empty = dir.filePath(QStringLiteral("target.mdb"));
        makeDataFile(empty, schema, QString());
        db = Database::open(data);
        target = Database::open(empty);
    }
};

Files& files() {
    static Files f;
    return f;
}

// The timed work of each benchmark is a function of its own, so that a
// profiler can count just that (valgrind --tool=callgrind
// --toggle-collect='<name>*'; the reading process is counted in a file of its own).

// The export as the window does it: every field of the table.
[[gnu::noinline]] void exportRows(const QString& path) {
    static const QStringList fields = [] {
        QStringList names;
        for (const Column& c : files().db->columns(QStringLiteral("fzsdjs"))) names << c.name;
        return names;
    }();
    if (exchange::exportTable(*files().db, QStringLiteral("fzsdjs"), fields, path) != kRows)
        std::abort();
}

void BM_Export(benchmark::State& state) {
    files();
    resetPeak();
    for (auto _ : state) exportRows(files().book);
    reportPeak(state);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kRepetitions);

// A cell as the export hands it to the library.
struct Cell {
    enum { None, Text, Number, Money, Date } kind = None;
    std::string text;
    double number = 0;
    lxw_datetime date{};
};

[[gnu::noinline]] bool writeCellsAlone(const std::vector<std::vector<Cell>>& cells, const std::string& path) {
    lxw_workbook_options options = {};
    options.constant_memory = LXW_TRUE;
    lxw_workbook* book = workbook_new_opt(path.c_str(), &options);
    lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
    lxw_format* money = workbook_add_format(book);
    format_set_num_format(money, "0.00");
    lxw_format* date = workbook_add_format(book);
    format_set_num_format(date, "yyyy-mm-dd");
    for (size_t r = 0; r < cells.size(); ++r) {
        for (size_t c = 0; c < cells[r].size(); ++c) {
            const Cell& cell = cells[r][c];
            const auto row = lxw_row_t(r);
            const auto col = lxw_col_t(c);
            switch (cell.kind) {
                case Cell::Text:
                    worksheet_write_string(sheet, row, col, cell.text.c_str(), nullptr);
                    break;
                case Cell::Number:
                    worksheet_write_number(sheet, row, col, cell.number, nullptr);
                    break;
                case Cell::Money:
                    worksheet_write_number(sheet, row, col, cell.number, money);
                    break;
                case Cell::Date: {
                    lxw_datetime dt = cell.date;
                    worksheet_write_datetime(sheet, row, col, &dt, date);
                    break;
                }
                case Cell::None:
                    break;
            }
        }
    }
    return workbook_close(book) == LXW_NO_ERROR;
}

// libxlsxwriter alone writing the same cells: the values the export writes
// (texts in UTF-8, readings as shown, dates as dates, no cell for Null) made
// beforehand, only the library's calls timed.
std::vector<std::vector<Cell>> cellsOfTheTable() {
    const auto rows = files().db->query(QStringLiteral("select * from [fzsdjs]"));
    std::vector<std::vector<Cell>> cells(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (const Value& v : rows[r]) {
            Cell c;
            switch (v.kind()) {
                case Value::Kind::Text:
                    c.kind = Cell::Text;
                    c.text = v.toText().toStdString();
                    break;
                case Value::Kind::Single:
                    c.kind = Cell::Number;
                    c.number = floatText(v.toSingle()).toDouble();
                    break;
                case Value::Kind::Money:
                    c.kind = Cell::Money;
                    c.number = v.toMoney().toDouble();
                    break;
                case Value::Kind::Date: {
                    const QDate d = v.toDate();
                    c.kind = Cell::Date;
                    c.date = {d.year(), d.month(), d.day(), 0, 0, 0.0};
                    break;
                }
                case Value::Kind::Null:
                case Value::Kind::Bytes:
                    break;
                default:
                    c.kind = Cell::Number;
                    c.number = v.toDouble();
            }
            cells[r].push_back(std::move(c));
        }
    }
    return cells;
}

void BM_ExportLibraryAlone(benchmark::State& state) {
    const auto cells = cellsOfTheTable();
    const std::string path = (files().dir.filePath(QStringLiteral("alone.xlsx"))).toStdString();
    resetPeak();  // the cells made beforehand stay in it
    for (auto _ : state)
        if (!writeCellsAlone(cells, path))
            state.SkipWithError("not written");
    reportPeak(state);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportLibraryAlone)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kRepetitions);

// The export against the library alone, in turns: the ratio of their times.
void BM_ExportRatio(benchmark::State& state) {
    const auto cells = cellsOfTheTable();
    const std::string path = (files().dir.filePath(QStringLiteral("alone.xlsx"))).toStdString();
    std::vector<double> ratios;
    for (auto _ : state) {
        for (int k = 0; k < 2 * kRepetitions + 1; ++k) {
            const double ours = seconds([] { exportRows(files().book); });
            const double alone = seconds([&] { writeCellsAlone(cells, path); });
            ratios.push_back(ours / alone);
        }
    }
    std::sort(ratios.begin(), ratios.end());
    state.counters["ratio_median"] = ratios[ratios.size() / 2];
    state.counters["ratio_min"] = ratios.front();
    state.counters["ratio_max"] = ratios.back();
}
BENCHMARK(BM_ExportRatio)->Unit(benchmark::kMillisecond)->Iterations(1);

// The import as the windows do it: the sheet read anew and appended, batch
// by batch as the reader hands rows over, to the empty fee table of a data
// file made from the schema (its declared types and indexes, as the user's
// data file has them).
[[gnu::noinline]] exchange::ImportCounts importRows(Database& db) {
    return exchange::importSheet(db, QStringLiteral("fzsdjs"), files().book, 0, 19);
}

void BM_Import(benchmark::State& state) {
    exportRows(files().book);
    Database& db = *files().target;
    db.exec(QStringLiteral("delete from fzsdjs"));
    resetPeak();
    for (auto _ : state) {
        const exchange::ImportCounts n = importRows(db);
        if (n.stored != kRows || n.failedCells || n.failedRows)
            state.SkipWithError("rows lost");
        state.PauseTiming();
        db.exec(QStringLiteral("delete from fzsdjs"));
        state.ResumeTiming();
    }
    reportPeak(state);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(kRepetitions);

[[gnu::noinline]] bool storeAlone(sqlite3* h, sqlite3_stmt* st, const std::vector<std::vector<Value>>& rows,
                                  const std::vector<std::vector<std::string>>& texts) {
    bool stored = true;
    sqlite3_exec(h, "begin", nullptr, nullptr, nullptr);
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            const Value& v = rows[r][c];
            const int i = int(c) + 1;
            if (v.kind() == Value::Kind::Text || v.kind() == Value::Kind::Date)
                sqlite3_bind_text(st, i, texts[r][c].c_str(), int(texts[r][c].size()), SQLITE_STATIC);
            else
                sqlite3_bind_double(st, i, v.toDouble());
        }
        stored = sqlite3_step(st) == SQLITE_DONE && stored;
        sqlite3_reset(st);
    }
    return sqlite3_exec(h, "commit", nullptr, nullptr, nullptr) == SQLITE_OK && stored;
}

// The engine alone: the same rows stored by one prepared INSERT in one
// transaction, the values bound as they are stored (made beforehand).
void BM_ImportEngineAlone(benchmark::State& state) {
    const auto rows = files().db->query(QStringLiteral("select * from [fzsdjs]"));
    Database& db = *files().target;
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db.handle(), "insert into fzsdjs values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)", -1, &st,
                       nullptr);
    std::vector<std::vector<std::string>> texts(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (const Value& v : rows[r]) texts[r].push_back(v.toText().toStdString());
    for (auto _ : state) {
        state.PauseTiming();
        db.exec(QStringLiteral("delete from fzsdjs"));
        state.ResumeTiming();
        if (!storeAlone(db.handle(), st, rows, texts))
            state.SkipWithError("not stored");
    }
    sqlite3_finalize(st);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportEngineAlone)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(kRepetitions);

[[gnu::noinline]] size_t readOnly() { return workbook::read(files().book).at(0).rows.size(); }

// The reading alone: the workbook read (no table).
void BM_ImportReadOnly(benchmark::State& state) {
    exportRows(files().book);
    for (auto _ : state)
        if (readOnly() != kRows)
            state.SkipWithError("rows lost");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1)->Repetitions(kRepetitions);

}  // namespace

BENCHMARK_MAIN();
