// The exchange of 100,000 fzsdjs rows with a workbook, each beside its library
// alone:
//
//   export: the rows read and written as the export window does   <= 1.5x  libxlsxwriter writing the same cells
//   import: the workbook read (in its own process) and appended  <= 1.5x  liborcus reading the same file into
//           in one transaction, under 3 s                                  its own document
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

using namespace tv;

namespace {

constexpr int kRows = 100000;

struct Files {
    QTemporaryDir dir;
    QString data, book;
    std::shared_ptr<Database> db;
    Files() {
        QFile f(QStringLiteral(TV_SOURCE_DIR "/install/schema.sql"));
        if (!f.open(QIODevice::ReadOnly))
            std::abort();
        const QString schema = QString::fromUtf8(f.readAll());
        data = dir.filePath(QStringLiteral("bench.mdb"));
        QFile(data).open(QIODevice::WriteOnly);
        book = dir.filePath(QStringLiteral("fzsdjs.xlsx"));
        sqlite3* raw = nullptr;
        sqlite3_open(QFile::encodeName(data).constData(), &raw);
        const QByteArray sql =
            (schema.left(schema.indexOf(QStringLiteral("-- user database"))) +
             QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                            "INSERT INTO fzsdjs SELECT printf('2024-%02d-15', i % 12 + 1), 100 + i % 500, "
                            "'租客' || i, printf('4401011990%08d', i), 800 + i % 7, '2024-01-01', '2024-01-31', "
                            "100.5 + i, 90.25 + i, 10.25, 3.5, 35.88, 2000.5 + i, 1900.25, 100.25, 0.85, 85.21, "
                            "10, 931.09 + i % 7 FROM c;")
                 .arg(kRows))
                .toUtf8();
        sqlite3_exec(raw, sql.constData(), nullptr, nullptr, nullptr);
        sqlite3_close(raw);
        db = Database::open(data);
    }
};

Files& files() {
    static Files f;
    return f;
}

// The export as the window does it: the ticked fields read, each value written by its kind.
void exportRows(const QString& path) {
    const auto rows = files().db->query(QStringLiteral("select * from [fzsdjs]"));
    workbook::Writer w(path);
    int64_t r = 0;
    for (const auto& row : rows) {
        for (size_t c = 0; c < row.size(); ++c) w.write(r, int(c), row[c]);
        ++r;
    }
    w.close();
}

void BM_Export(benchmark::State& state) {
    for (auto _ : state) exportRows(files().book);
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Export)->Unit(benchmark::kMillisecond);

// libxlsxwriter alone writing the same cells, from values read beforehand.
void BM_ExportLibraryAlone(benchmark::State& state) {
    const auto rows = files().db->query(QStringLiteral("select * from [fzsdjs]"));
    std::vector<std::vector<std::string>> texts(rows.size());
    for (size_t r = 0; r < rows.size(); ++r)
        for (const Value& v : rows[r]) texts[r].push_back(v.toText().toStdString());
    const std::string path = (files().dir.filePath(QStringLiteral("alone.xlsx"))).toStdString();
    for (auto _ : state) {
        lxw_workbook* book = workbook_new(path.c_str());
        lxw_worksheet* sheet = workbook_add_worksheet(book, nullptr);
        lxw_format* money = workbook_add_format(book);
        format_set_num_format(money, "0.00");
        lxw_format* date = workbook_add_format(book);
        format_set_num_format(date, "yyyy-mm-dd");
        for (size_t r = 0; r < rows.size(); ++r) {
            for (size_t c = 0; c < rows[r].size(); ++c) {
                const Value& v = rows[r][c];
                if (v.kind() == Value::Kind::Text) {
                    worksheet_write_string(sheet, lxw_row_t(r), lxw_col_t(c), texts[r][c].c_str(), nullptr);
                } else if (v.kind() == Value::Kind::Date) {
                    const QDate d = v.toDate();
                    lxw_datetime dt = {d.year(), d.month(), d.day(), 0, 0, 0.0};
                    worksheet_write_datetime(sheet, lxw_row_t(r), lxw_col_t(c), &dt, date);
                } else {
                    worksheet_write_number(sheet, lxw_row_t(r), lxw_col_t(c), v.toDouble(),
                                           v.kind() == Value::Kind::Money ? money : nullptr);
                }
            }
        }
        workbook_close(book);
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ExportLibraryAlone)->Unit(benchmark::kMillisecond);

// The import as the windows do it: the workbook read, then appended to an empty table.
void BM_Import(benchmark::State& state) {
    exportRows(files().book);
    Database& db = *files().db;
    for (auto _ : state) {
        state.PauseTiming();
        db.exec(QStringLiteral("delete from bysj"));
        db.exec(QStringLiteral("create table if not exists t as select * from fzsdjs where 0"));
        db.exec(QStringLiteral("delete from t"));
        state.ResumeTiming();
        const auto sheets = workbook::read(files().book);
        const exchange::ImportCounts n = exchange::appendRows(db, QStringLiteral("t"), sheets.at(0));
        if (n.stored != kRows || n.failedCells || n.failedRows)
            state.SkipWithError("rows lost");
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_Import)->Unit(benchmark::kMillisecond);

// The reading alone: the workbook read (no table).
void BM_ImportReadOnly(benchmark::State& state) {
    exportRows(files().book);
    for (auto _ : state) benchmark::DoNotOptimize(workbook::read(files().book));
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportReadOnly)->Unit(benchmark::kMillisecond);

// liborcus alone reading the same file into its own document.
void BM_ImportLibraryAlone(benchmark::State& state) {
    exportRows(files().book);
    const std::string path = files().book.toStdString();
    for (auto _ : state) {
        orcus::spreadsheet::range_size_t size{1048576, 16384};
        orcus::spreadsheet::document doc(size);
        orcus::spreadsheet::import_factory factory(doc);
        orcus::orcus_xlsx filter(&factory);
        filter.read_file(path);
        benchmark::DoNotOptimize(doc.get_sheet(0));
    }
    state.SetItemsProcessed(state.iterations() * kRows);
}
BENCHMARK(BM_ImportLibraryAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
