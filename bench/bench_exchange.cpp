// The exchange of 100,000 fzsdjs rows with a workbook, each beside its library
// alone:
//
//   export: the rows read and written as the export window does   <= 1.5x  libxlsxwriter writing the same cells
//                                                                          (values made beforehand)
//   import: the workbook read (in its own process) and appended  <= 1.5x  liborcus reading the same file into
//           to the fee table of a data file made from the                  its own document
//           schema, in one transaction, under 3 s
//
// Beside them, for the profile: the reading alone (our reader, its process
// included) and the engine alone (the same rows stored by one prepared
// INSERT, values bound as they are stored). The import runs in a child
// process too: compare wall times ("Time"), not CPU.
//
// Run: build-x/bench/bench_exchange --benchmark_min_time=1

#include "exchange/Connections.h"
#include "platform/db/Database.h"
#include "platform/workbook/Workbook.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>
#include <xlsxwriter.h>
#include <orcus/orcus_xlsx.hpp>
#include <orcus/spreadsheet/document.hpp>
#include <orcus/spreadsheet/factory.hpp>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace tv;

namespace {

constexpr int kRows = 100000;

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
    for (auto _ : state) exportRows(files().book);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// A cell as the export hands it to the library.
struct Cell {
    enum { None, Text, Number, Money, Date } kind = None;
    std::string text;
    double number = 0;
    lxw_datetime date{};
};

[[gnu::noinline]] bool writeCellsAlone(const std::vector<std::vector<Cell>>& cells, const std::string& path) {
    lxw_workbook* book = workbook_new(path.c_str());
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
void BM_ExportLibraryAlone(benchmark::State& state) {
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
    const std::string path = (files().dir.filePath(QStringLiteral("alone.xlsx"))).toStdString();
    for (auto _ : state)
        if (!writeCellsAlone(cells, path))
            state.SkipWithError("not written");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportLibraryAlone)->Unit(benchmark::kMillisecond);

// The import as the windows do it: the workbook read, then appended to the
// empty fee table of a data file made from the schema (its declared types and
// indexes, as the user's data file has them).
[[gnu::noinline]] exchange::ImportCounts importRows(Database& db) {
    const auto sheets = workbook::read(files().book);
    return exchange::appendRows(db, QStringLiteral("fzsdjs"), sheets.at(0));
}

void BM_Import(benchmark::State& state) {
    exportRows(files().book);
    Database& db = *files().target;
    for (auto _ : state) {
        state.PauseTiming();
        db.exec(QStringLiteral("delete from fzsdjs"));
        state.ResumeTiming();
        const exchange::ImportCounts n = importRows(db);
        if (n.stored != kRows || n.failedCells || n.failedRows)
            state.SkipWithError("rows lost");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond)->UseRealTime();

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
BENCHMARK(BM_ImportEngineAlone)->Unit(benchmark::kMillisecond);

[[gnu::noinline]] size_t readOnly() { return workbook::read(files().book).at(0).rows.size(); }

// The reading alone: the workbook read (no table).
void BM_ImportReadOnly(benchmark::State& state) {
    exportRows(files().book);
    for (auto _ : state)
        if (readOnly() != kRows)
            state.SkipWithError("rows lost");
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportReadOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

[[gnu::noinline]] void readLibraryAlone(const std::string& path) {
    orcus::spreadsheet::range_size_t size{1048576, 16384};
    orcus::spreadsheet::document doc(size);
    orcus::spreadsheet::import_factory factory(doc);
    orcus::orcus_xlsx filter(&factory);
    filter.read_file(path);
    benchmark::DoNotOptimize(doc.get_sheet(0));
}

// liborcus alone reading the same file into its own document.
void BM_ImportLibraryAlone(benchmark::State& state) {
    exportRows(files().book);
    const std::string path = files().book.toStdString();
    for (auto _ : state) readLibraryAlone(path);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportLibraryAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
