// The computation window: its first open in a fresh process and its later
// opens on the data file of a lodging house a hundred times a large one
// (10,000 rooms with their photos, 100,000 bills, see WindowBench.h), on the
// same with a million bills, and on a large house (500 rooms), timed from the
// click until its grids have painted.
// The monthly computation on large data files: "YB" (this month's bills
// added) for 1,000 tenants over a file that holds 100,000 old bills, with the
// receipt file, beside a plain prepared INSERT of the same 1,000 rows in one
// transaction; the same run started from the window, from the click on 计算
// until the grids have painted again (the bills grid read again); and "YA"
// (all bills afresh) for 10,000 tenants.
#include "WindowBench.h"
#include "billing/FrmZsdjs.h"
#include "billing/MonthlyCycle.h"
#include "billing/ReceiptFile.h"
#include "platform/forms/DataControl.h"

#include <sqlite3.h>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tv::bench;

namespace {

// The months of `tenants` tenants (their registrations without photos, this
// month's and last month's rows, the other fees of this month) among
// `dates` bills each of earlier months, made by the houses' maker; run()
// computes this month's bills, reset() takes the file back to the old bills.
struct MonthFile {
    const House& house;
    int oldBills;
    MonthFile(int tenants, int dates)
        : house(tv::bench::house({.rooms = tenants, .dates = dates, .photos = false, .monthRows = true})),
          oldBills(tenants * dates) {}
    const QString& path() const { return house.path(); }
    void reset() const {
        tv::Database::open(path())->exec(QStringLiteral("DELETE FROM fzsdjs WHERE rowid > ?"), {tv::Value(oldBills)});
        QFile(tv::billing::ReceiptFile::pathFor(path())).resize(0);
    }
    tv::billing::Run run(bool replace) const {
        tv::billing::Run r{.dataFile = path(),
                           .replace = replace,
                           .billingDate = "2024-3-1",
                           .periodEnd = "2024-3-31",
                           .lastMonthDate = "2024-02-01"};
        if (replace) {  // the keeper's 是 to the old bills going
            for (int d = 0; d < house.dates(); ++d)
                r.agreed.otherDates.emplace_back(house.date(d).toString(Qt::ISODate), house.rooms());
        } else {  // and to this month's bills added beside the old ones of the same date
            QStringList rooms;
            for (int i = 1; i <= house.rooms(); ++i) rooms << QString::number(1000 + i);
            r.agreed.billedBefore = {{QStringLiteral("2024-03-01"), rooms}};
        }
        return r;
    }
};

const char* const kWindow = tv::billing::FrmZsdjs::kName;

void BM_FirstOpen(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), false, 15); }
BENCHMARK(BM_FirstOpen)->Apply(onTheHouses)->Iterations(1);

// Opens after the first, in one process.
void BM_Open(benchmark::State& state) {
    laterOpens(state, kWindow, [](const House& h) { return rowsOf(kWindow, "Data1") == h.bills(); });
}
BENCHMARK(BM_Open)->Apply(onTheHouses)->Iterations(20);

// 1,000 tenants among 100,000 old bills.
const MonthFile& addFile() {
    static const MonthFile f(1000, 100);
    return f;
}

int count(const QString& path) {
    return tv::Database::open(path)->query(QStringLiteral("SELECT count(*) FROM fzsdjs"))[0][0].toInt();
}

void BM_AddMonth(benchmark::State& state) {
    const MonthFile& f = addFile();
    QElapsedTimer t;
    std::map<std::string, double> sums;
    if (qEnvironmentVariableIsSet("TV_STEPS"))
        tv::billing::setStepHook([&](const char* s) { sums[s] += t.nsecsElapsed() / 1e6; });
    for (auto _ : state) {
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
        t.start();
        const tv::billing::RunResult r = tv::billing::compute(f.run(false));
        state.PauseTiming();
        if (r.bills != 1000 || count(f.path()) != 101000 ||
            QFile(tv::billing::ReceiptFile::pathFor(f.path())).size() != 1392000)
            state.SkipWithError("the bills or receipts are not all there");
        state.ResumeTiming();
    }
    for (auto& [k, v] : sums) std::fprintf(stderr, "%s %.1f\n", k.c_str(), v / 10);
    tv::billing::setStepHook({});
}
BENCHMARK(BM_AddMonth)->Unit(benchmark::kMillisecond)->Iterations(10);

// The same 1,000 rows through one prepared statement of the engine itself.
void BM_PlainInsert(benchmark::State& state) {
    const MonthFile& f = addFile();
    sqlite3* db = nullptr;
    sqlite3_open(QFile::encodeName(f.path()).constData(), &db);
    sqlite3_stmt* st = nullptr;
    sqlite3_prepare_v2(db,
                       "INSERT INTO fzsdjs VALUES ('2024-03-01', ?, '租客', ?, 800, '2024-3-1', '2024-3-31', 1250.5, "
                       "1240.2, 10.3, 2.8, 28.84, 3301, 3150, 151, 0.68, 102.68, 35, 966.52)",
                       -1, &st, nullptr);
    for (auto _ : state) {
        state.PauseTiming();
        f.reset();
        state.ResumeTiming();
        sqlite3_exec(db, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        for (int i = 1; i <= 1000; ++i) {
            const QByteArray room = QByteArray::number(1000 + i), id = "4401011990" + QByteArray::number(i);
            sqlite3_bind_text(st, 1, room.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(st, 2, id.constData(), -1, SQLITE_TRANSIENT);
            sqlite3_step(st);
            sqlite3_reset(st);
        }
        sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
}
BENCHMARK(BM_PlainInsert)->Unit(benchmark::kMillisecond)->Iterations(10);

// 添加数据 and 计算 in the window: from the click until the grids have
// painted again, the 101,000 bills read again.
void BM_AddMonthInWindow(benchmark::State& state) {
    const MonthFile& f = addFile();
    tv::state().DataFilePath = f.path();
    tv::state().UserDbPath = f.house.users();
    tv::forms::Form& w = *tv::forms::Registry::instance(QString::fromLatin1(kWindow));
    openPainted(kWindow);
    clicks(
        state, kWindow,
        [&] {
            f.reset();
            tv::dlg::script::answerMsgBox(tv::dlg::Yes);  // this month's bills beside the old ones of the same date
            w.control<QCheckBox>(QStringLiteral("Check2"))->click();
            for (const auto& [box, date] :
                 {std::pair{"Txtjfrq", "2024-3-1"}, {"TxtSfsd", "2024-3-31"}, {"TxtSyrq", "2024-02-01"}})
                w.control<QLineEdit>(QString::fromLatin1(box))->setText(QString::fromLatin1(date));
        },
        [&w] { w.control<QPushButton>(QStringLiteral("CmdJs"))->click(); }, {"DBGrid1"},
        [] { return rowsOf(kWindow, "Data1") == 101000; });
}
BENCHMARK(BM_AddMonthInWindow)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

// 刷新数据 for 10,000 tenants over their 10,000 bills of last month.
void BM_RefreshMonth(benchmark::State& state) {
    static const MonthFile f(10000, 1);
    for (auto _ : state) {
        const tv::billing::RunResult r = tv::billing::compute(f.run(true));
        state.PauseTiming();
        if (r.bills != 10000 || count(f.path()) != 10000 ||
            QFile(tv::billing::ReceiptFile::pathFor(f.path())).size() != 13920000)
            state.SkipWithError("the bills or receipts are not all there");
        state.ResumeTiming();
    }
}
BENCHMARK(BM_RefreshMonth)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
    // The messages at the end of a run are answered at once.
    qputenv("TV_BENCH_QUIET", "1");
    return windowBenchMain(
        argc, argv,
        [] { tv::forms::Registry::add(QString::fromLatin1(kWindow), [] { return new tv::billing::FrmZsdjs; }); },
        {{"open", [] { return openPainted(kWindow); }}});
}
