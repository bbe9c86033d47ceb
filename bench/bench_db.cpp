// The data engine beside a plain sqlite3 loop over the same rows: a data file of
// 100,000 fzsdjs rows, made once in a temporary folder.
//
//   refresh + MoveLast + RecordCount      <= 0.1x  the plain loop reading every column
//                                                  (the rowids from an index, a page of rows)
//   MoveFirst..MoveNext scan, two fields   <= 1.2x  the plain loop (each row read once, a page at a time)
//   10,000 AddNew/Update, one transaction  <= 1.5x  a plain prepared INSERT loop

#include "platform/db/Database.h"
#include "platform/db/Recordset.h"

#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

using namespace tv;

namespace {

constexpr int kRows = 100000;
constexpr int kInserts = 10000;

QString dataSchema() {
    QFile f(QStringLiteral(TV_SOURCE_DIR "/install/schema.sql"));
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "install/schema.sql not found\n");
        std::abort();
    }
    const QString s = QString::fromUtf8(f.readAll());
    return s.left(s.indexOf(QStringLiteral("-- user database")));
}

void check(int rc, sqlite3* db) {
    if (rc != SQLITE_OK && rc != SQLITE_DONE && rc != SQLITE_ROW) {
        std::fprintf(stderr, "sqlite: %s\n", sqlite3_errmsg(db));
        std::abort();
    }
}

// One bill row, as the computation window writes it.
struct Bill {
    std::string jfrq, fjh, xm, sfzhm, sfsd1, sfsd2;
    double zj, bysb, sysb, ysl, sdj, sf, bydb, sydb, ydl, ddj, df, zf, hj;
};

Bill billOf(int i) {
    Bill b;
    b.jfrq = QStringLiteral("2024-%1-05").arg(1 + i % 12, 2, 10, QLatin1Char('0')).toStdString();
    b.fjh = QStringLiteral("%1").arg(101 + i % 400).toStdString();
    b.xm = QStringLiteral("租客%1号").arg(i).toStdString();
    b.sfzhm = QStringLiteral("44010619%1").arg(800000000 + i).toStdString();
    b.sfsd1 = b.jfrq;
    b.sfsd2 = QStringLiteral("2024-%1-04").arg(1 + (i + 1) % 12, 2, 10, QLatin1Char('0')).toStdString();
    b.zj = 800 + i % 7 * 50;
    b.sysb = static_cast<float>(1000 + i % 500) + 0.2f;
    b.bysb = static_cast<float>(b.sysb + 10.3f);
    b.ysl = static_cast<float>(b.bysb - b.sysb);
    b.sdj = 3.45;
    b.sf = toMoney(b.ysl * b.sdj).toDouble();
    b.sydb = static_cast<float>(2000 + i % 900) + 0.5f;
    b.bydb = static_cast<float>(b.sydb + 151.0f);
    b.ydl = 151;
    b.ddj = 0.68;
    b.df = 102.68;
    b.zf = 20;
    b.hj = toMoney(b.zj + b.sf + b.df + b.zf).toDouble();
    return b;
}

void bindBill(sqlite3_stmt* st, const Bill& b) {
    int k = 1;
    auto text = [&](const std::string& s) {
        sqlite3_bind_text(st, k++, s.data(), static_cast<int>(s.size()), SQLITE_STATIC);
    };
    auto num = [&](double d) { sqlite3_bind_double(st, k++, d); };
    text(b.jfrq);
    text(b.fjh);
    text(b.xm);
    text(b.sfzhm);
    num(b.zj);
    text(b.sfsd1);
    text(b.sfsd2);
    num(b.bysb);
    num(b.sysb);
    num(b.ysl);
    num(b.sdj);
    num(b.sf);
    num(b.bydb);
    num(b.sydb);
    num(b.ydl);
    num(b.ddj);
    num(b.df);
    num(b.zf);
    num(b.hj);
}

const char* kInsert =
    "insert into fzsdjs (jfrq, fjh, xm, sfzhm, zj, sfsd1, sfsd2, bysb, sysb, ysl, sdj, sf, bydb, "
    "sydb, ydl, ddj, df, zf, hj) values (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)";

struct Files {
    QTemporaryDir dir;
    QString big;    // 100,000 rows
    QString empty;  // for the inserts
    std::vector<Bill> bills;

    Files() {
        const QByteArray schema = dataSchema().toUtf8();
        big = dir.filePath(QStringLiteral("big.mdb"));
        empty = dir.filePath(QStringLiteral("insert.mdb"));
        for (const QString& p : {big, empty}) {
            sqlite3* db = nullptr;
            check(sqlite3_open_v2(QFile::encodeName(p).constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                  nullptr),
                  db);
            check(sqlite3_exec(db, schema.constData(), nullptr, nullptr, nullptr), db);
            if (p == big) {
                check(sqlite3_exec(db, "begin", nullptr, nullptr, nullptr), db);
                sqlite3_stmt* st = nullptr;
                check(sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr), db);
                for (int i = 0; i < kRows; ++i) {
                    const Bill b = billOf(i);
                    bindBill(st, b);
                    check(sqlite3_step(st), db);
                    sqlite3_reset(st);
                }
                sqlite3_finalize(st);
                check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
            }
            sqlite3_close(db);
        }
        bills.reserve(kInserts);
        for (int i = 0; i < kInserts; ++i) bills.push_back(billOf(i));
    }
};

Files& files() {
    static Files f;
    return f;
}

sqlite3* openPlain(const QString& path) {
    sqlite3* db = nullptr;
    check(sqlite3_open_v2(QFile::encodeName(path).constData(), &db, SQLITE_OPEN_READWRITE, nullptr), db);
    return db;
}

// ---- reading ------------------------------------------------------------------

void BM_PlainLoopReadAllColumns(benchmark::State& state) {
    sqlite3* db = openPlain(files().big);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, "select * from fzsdjs", -1, &st, nullptr), db);
    for (auto _ : state) {
        int64_t rows = 0;
        double sum = 0;
        size_t bytes = 0;
        while (sqlite3_step(st) == SQLITE_ROW) {
            const int n = sqlite3_column_count(st);
            for (int c = 0; c < n; ++c) {
                switch (sqlite3_column_type(st, c)) {
                    case SQLITE_INTEGER:
                        sum += static_cast<double>(sqlite3_column_int64(st, c));
                        break;
                    case SQLITE_FLOAT:
                        sum += sqlite3_column_double(st, c);
                        break;
                    case SQLITE_TEXT:
                        benchmark::DoNotOptimize(sqlite3_column_text(st, c));
                        bytes += static_cast<size_t>(sqlite3_column_bytes(st, c));
                        break;
                    default:
                        break;
                }
            }
            ++rows;
        }
        sqlite3_reset(st);
        benchmark::DoNotOptimize(sum);
        benchmark::DoNotOptimize(bytes);
        if (rows != kRows)
            state.SkipWithError("wrong row count");
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}
BENCHMARK(BM_PlainLoopReadAllColumns)->Unit(benchmark::kMillisecond);

void BM_RecordsetRefreshMoveLastCount(benchmark::State& state) {
    auto db = Database::open(files().big);
    Recordset rs(db, QStringLiteral("select * from [fzsdjs]"));
    for (auto _ : state) {
        rs.refresh();
        rs.moveLast();
        benchmark::DoNotOptimize(rs.recordCount());
        if (rs.recordCount() != kRows)
            state.SkipWithError("wrong row count");
    }
}
BENCHMARK(BM_RecordsetRefreshMoveLastCount)->Unit(benchmark::kMillisecond);

void BM_RecordsetScanWithReposition(benchmark::State& state) {
    auto db = Database::open(files().big);
    Recordset rs(db, QStringLiteral("select * from [fzsdjs]"));
    int64_t handlerSeen = 0;
    rs.onReposition([&] {
        if (rs.hasCurrent() && !rs.field(QStringLiteral("hj")).isNull())
            ++handlerSeen;
    });
    rs.refresh();
    const Value wanted(QStringLiteral("222"));
    for (auto _ : state) {
        int matches = 0;
        rs.moveFirst();
        while (!rs.eof()) {
            if (rs.field(QStringLiteral("fjh")) == wanted)
                ++matches;
            rs.moveNext();
        }
        benchmark::DoNotOptimize(matches);
        if (matches != kRows / 400)
            state.SkipWithError("wrong match count");
    }
    benchmark::DoNotOptimize(handlerSeen);
}
BENCHMARK(BM_RecordsetScanWithReposition)->Unit(benchmark::kMillisecond);

// ---- writing ------------------------------------------------------------------

void BM_PlainPreparedInsert10k(benchmark::State& state) {
    sqlite3* db = openPlain(files().empty);
    sqlite3_stmt* st = nullptr;
    check(sqlite3_prepare_v2(db, kInsert, -1, &st, nullptr), db);
    for (auto _ : state) {
        check(sqlite3_exec(db, "begin immediate", nullptr, nullptr, nullptr), db);
        for (const Bill& b : files().bills) {
            bindBill(st, b);
            check(sqlite3_step(st), db);
            sqlite3_reset(st);
        }
        check(sqlite3_exec(db, "commit", nullptr, nullptr, nullptr), db);
        state.PauseTiming();
        check(sqlite3_exec(db, "delete from fzsdjs", nullptr, nullptr, nullptr), db);
        state.ResumeTiming();
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}
BENCHMARK(BM_PlainPreparedInsert10k)->Unit(benchmark::kMillisecond);

void BM_RecordsetAddNewUpdate10k(benchmark::State& state) {
    auto db = Database::open(files().empty);
    Recordset rs(db, QStringLiteral("fzsdjs"));
    rs.refresh();
    // The values as a window holds them: texts, money, single readings.
    struct Row {
        Value v[19];
    };
    std::vector<Row> rows;
    for (const Bill& b : files().bills) {
        Row r;
        r.v[0] = Value(QString::fromStdString(b.jfrq));
        r.v[1] = Value(QString::fromStdString(b.fjh));
        r.v[2] = Value(QString::fromStdString(b.xm));
        r.v[3] = Value(QString::fromStdString(b.sfzhm));
        r.v[4] = Value(toMoney(b.zj));
        r.v[5] = Value(QString::fromStdString(b.sfsd1));
        r.v[6] = Value(QString::fromStdString(b.sfsd2));
        const double singles[] = {b.bysb, b.sysb, b.ysl};
        for (int k = 0; k < 3; ++k) r.v[7 + k] = Value(static_cast<float>(singles[k]));
        r.v[10] = Value(toMoney(b.sdj));
        r.v[11] = Value(toMoney(b.sf));
        const double singles2[] = {b.bydb, b.sydb, b.ydl};
        for (int k = 0; k < 3; ++k) r.v[12 + k] = Value(static_cast<float>(singles2[k]));
        r.v[15] = Value(toMoney(b.ddj));
        r.v[16] = Value(toMoney(b.df));
        r.v[17] = Value(toMoney(b.zf));
        r.v[18] = Value(toMoney(b.hj));
        rows.push_back(r);
    }
    static const QString names[19] = {"jfrq", "fjh", "xm",   "sfzhm", "zj",  "sfsd1", "sfsd2", "bysb", "sysb", "ysl",
                                      "sdj",  "sf",  "bydb", "sydb",  "ydl", "ddj",   "df",    "zf",   "hj"};
    for (auto _ : state) {
        db->transaction([&] {
            for (const Row& r : rows) {
                rs.addNew();
                for (int k = 0; k < 19; ++k) rs.setField(names[k], r.v[k]);
                rs.update();
            }
        });
        state.PauseTiming();
        if (rs.recordCount() != kInserts)
            state.SkipWithError("wrong row count");
        db->exec(QStringLiteral("delete from fzsdjs"));
        rs.refresh();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RecordsetAddNewUpdate10k)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
