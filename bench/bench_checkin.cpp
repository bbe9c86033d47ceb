// The check-in window on the data file of a lodging house a hundred times a
// large one (10,000 registrations with their 50 KB photos, see WindowBench.h),
// on the same with a million bills, and on a large house (500 rooms): its
// first open in a fresh process, also with the file out of the operating
// system's page cache; its later opens; and a search by ID number that finds
// the last registration. Each is timed from the click until the window has
// painted (see WindowBench.h).
#include "WindowBench.h"
#include "checkin/FrmRzdj.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tv::bench;

namespace {

const char* const kWindow = tv::checkin::FrmRzdj::kName;

tv::forms::Form& window() { return *tv::forms::Registry::instance(QString::fromLatin1(kWindow)); }

void BM_FirstOpen(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), false, 15); }
BENCHMARK(BM_FirstOpen)->Apply(onTheHouses)->Iterations(1);

// The data file out of the operating system's page cache: read from the disk.
void BM_FirstOpenFileNotCached(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), true, 9); }
BENCHMARK(BM_FirstOpenFileNotCached)
    ->Args({10000, 10})
    ->Args({500, 10})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// Opens after the first, in one process.
void BM_Open(benchmark::State& state) {
    laterOpens(state, kWindow, [](const House& h) { return rowsOf(kWindow, "Data1") == h.rooms(); });
}
BENCHMARK(BM_Open)->Args({10000, 10})->Args({500, 10})->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

// 查询 by ID number: the last registration found and shown; click to repaint.
void BM_SearchFindsTheLastRow(benchmark::State& state) {
    const House& h = useHouse(state);
    openPainted(kWindow);
    auto* mode = window().control<QComboBox>(QStringLiteral("CboCxfs"));
    mode->setCurrentIndex(4);  // 身份证号
    emit mode->activated(4);
    window().control<QLineEdit>(QStringLiteral("Txtzh"))->setText(idNumber(h.rooms()));
    auto* search = window().control<QPushButton>(QStringLiteral("CmdCx"));
    auto* data = window().control<tv::forms::DataControl>(QStringLiteral("Data1"));
    clicks(
        state, kWindow, [data] { data->moveFirst(); }, [search] { search->click(); }, {},
        [&h] { return tv::state().CurrentCheckIn.sfzhm == idNumber(h.rooms()); });
}
BENCHMARK(BM_SearchFindsTheLastRow)
    ->Args({10000, 10})
    ->Args({500, 10})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(20);

void registerWindow() {
    tv::forms::Registry::add(QString::fromLatin1(kWindow), [] { return new tv::checkin::FrmRzdj; });
}

}  // namespace

int main(int argc, char** argv) {
    return windowBenchMain(argc, argv, registerWindow, {{"open", [] { return openPainted(kWindow); }}});
}
