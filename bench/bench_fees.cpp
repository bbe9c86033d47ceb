// The fee records window: its first open in a fresh process and its later
// opens on the data file of a lodging house a hundred times a large one
// (100,000 bills among 10,000 rooms with their photos, see WindowBench.h), on
// the same with a million bills, and on a large house (500 rooms), timed
// from the click until its grids have painted; on a house of 1,000 tenants
// and 100 billing dates, the recompute of one billing date's 1,000 bills
// among 100,000; and the batch print of the 300 bills of one date to a PDF
// file.
#include "WindowBench.h"
#include "fees/FrmZsdwh.h"
#include "platform/forms/DataControl.h"
#include "platform/print/Printer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tv::bench;

namespace {

const char* const kWindow = tv::fees::FrmZsdwh::kName;

tv::forms::Form& window() { return *tv::forms::Registry::instance(QString::fromLatin1(kWindow)); }

void openOn(const House& h) {
    tv::state().DataFilePath = h.path();
    tv::state().UserDbPath = h.users();
    window().show();
}

template <class T>
T* control(const char* name) {
    return window().control<T>(QString::fromLatin1(name));
}

int rows() { return control<tv::forms::DataControl>("Data1")->recordset().recordCount(); }

// 100 billing dates of 1,000 tenants, without photos.
const House& bigFile() { return house({.rooms = 1000, .dates = 100, .photos = false}); }

void BM_FirstOpen(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), false, 15); }
BENCHMARK(BM_FirstOpen)->Apply(onTheHouses)->Iterations(1);

// Opens after the first, in one process.
void BM_Open(benchmark::State& state) {
    laterOpens(state, kWindow, [](const House& h) { return rows() == h.bills(); });
}
BENCHMARK(BM_Open)->Apply(onTheHouses)->Iterations(20);

// 刷新账单 of one date: its 1,000 bills out of 100,000 recomputed and written
// in one transaction, the sums shown, the fee records read again.
void BM_RecomputeOneDateOf1000Tenants(benchmark::State& state) {
    const House& h = bigFile();
    openOn(h);
    int month = 0;
    for (auto _ : state) {
        state.PauseTiming();
        control<QCheckBox>("Check1")->click();
        control<QLineEdit>("Txtjfrq")->setText(tv::shortDate(h.date(month++ % 100)));
        state.ResumeTiming();
        control<QPushButton>("CmdQr")->click();
        state.PauseTiming();
        // 1,000 x 907.1, added as money
        if (control<QLineEdit>("Txthjhz")->text() != QStringLiteral("907100")) {
            state.SkipWithError(qPrintable("the bills were not recomputed: " + control<QLineEdit>("Txthjhz")->text()));
            break;
        }
        state.ResumeTiming();
    }
    closeWindow(kWindow);
}
BENCHMARK(BM_RecomputeOneDateOf1000Tenants)->Unit(benchmark::kMillisecond)->Iterations(10);

// The 300 bills of one date, three receipts to a sheet, into a PDF file.
void BM_BatchPrint300Receipts(benchmark::State& state) {
    const House& h = house({.rooms = 300, .dates = 2, .photos = false});
    openOn(h);
    control<QLineEdit>("Txtjfrq")->setText(tv::shortDate(h.date(1)));
    static QTemporaryDir dir;
    const QString pdf = dir.filePath(QStringLiteral("batch.pdf"));
    for (auto _ : state) {
        tv::print::Printer::useFiles(pdf, QString());
        static_cast<tv::fees::FrmZsdwh&>(window()).Zddy();
        state.PauseTiming();
        QFile f(pdf);
        if (!f.open(QIODevice::ReadOnly) || f.readAll().count("/Type /Page\n") != 100) {
            state.SkipWithError("not 100 pages");
            break;
        }
        state.ResumeTiming();
    }
    closeWindow(kWindow);
}
BENCHMARK(BM_BatchPrint300Receipts)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    // The prompts of the recompute and the print are answered OK.
    qputenv("TV_BENCH_QUIET", "1");
    return windowBenchMain(
        argc, argv,
        [] { tv::forms::Registry::add(QString::fromLatin1(kWindow), [] { return new tv::fees::FrmZsdwh; }); },
        {{"open", [] { return openPainted(kWindow); }}});
}
