// The tenant records window on the data file of a lodging house a hundred
// times a large one (10,000 registrations with their 50 KB photos, 100,000
// bills, 10,000 other-fee rows), on the same with a million bills, and on a
// large house (500 rooms): its first open in a fresh process, also with the
// file out of the operating system's page cache; its later opens; a search
// by billing date; a click on a tenant. Each is timed from the click until
// the grids have painted their rows (see WindowBench.h).
#include "WindowBench.h"
#include "platform/db/Recordset.h"
#include "platform/forms/DataControl.h"
#include "platform/values/Money.h"
#include "records/Tenvora.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tv::bench;

namespace {

const char* const kWindow = tv::records::Tenvora::kName;

tv::forms::Form& window() { return *tv::forms::Registry::instance(QString::fromLatin1(kWindow)); }

bool allRowsThere(const House& h) {
    return rowsOf(kWindow, "Data1") == h.rooms() && rowsOf(kWindow, "Data2") == h.bills() &&
           rowsOf(kWindow, "Data3") == h.rooms();
}

void BM_FirstOpen(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), false, 15); }
BENCHMARK(BM_FirstOpen)->Apply(onTheHouses)->Iterations(1);

// The data file out of the operating system's page cache: read from the disk.
void BM_FirstOpenFileNotCached(benchmark::State& state) { firstOpens(state, "open", house(planOf(state)), true, 9); }
BENCHMARK(BM_FirstOpenFileNotCached)->Apply(onTheHouses)->Iterations(1);

// Opens after the first, in one process.
void BM_Open(benchmark::State& state) { laterOpens(state, kWindow, allRowsThere); }
BENCHMARK(BM_Open)->Apply(onTheHouses)->Iterations(20);

// 查询 by billing date: the bills of one date, the first tenant's bill among
// them found, the registrations read again; click to repaint.
void BM_SearchBillingDate(benchmark::State& state) {
    const House& h = useHouse(state);
    openPainted(kWindow);
    auto* mode = window().control<QComboBox>(QStringLiteral("CboCxfs"));
    mode->setCurrentIndex(4);  // 计费日期
    emit mode->activated(4);
    auto* date = window().control<QLineEdit>(QStringLiteral("Txtjfrq"));
    auto* search = window().control<QPushButton>(QStringLiteral("CmdCx"));
    int month = 0;
    clicks(
        state, kWindow, [&] { date->setText(QStringLiteral("2024-%1-1").arg(1 + month++ % kDates)); },
        [search] { search->click(); }, {},
        [&] {
            const tv::Recordset& bills = window().control<tv::forms::DataControl>(QStringLiteral("Data2"))->recordset();
            return rowsOf(kWindow, "Data2") == h.rooms() && bills.hasCurrent() &&
                   bills.field(QStringLiteral("jfrq")).toText() == tv::shortDate(*tv::parseDate(date->text()));
        });
}
BENCHMARK(BM_SearchBillingDate)->Apply(onTheHouses)->Iterations(30);

// A click on the last registration: its bills and other fees followed, every
// bill and other-fee row passed on the way; click to repaint.
void BM_ClickLastTenant(benchmark::State& state) {
    const House& h = useHouse(state);
    openPainted(kWindow);
    auto* grid = window().control<tv::forms::DataGrid>(QStringLiteral("DBGrid1"));
    tv::Recordset& bills = window().control<tv::forms::DataControl>(QStringLiteral("Data2"))->recordset();
    clicks(
        state, kWindow,
        [&] {
            window().control<tv::forms::DataControl>(QStringLiteral("Data1"))->moveLast();
            bills.moveFirst();
        },
        [grid] { emit grid->rowClicked(); }, {"DBGrid2", "DBGrid3"},
        [&] { return bills.absolutePosition() == bills.recordCount() - h.dates(); });
}
BENCHMARK(BM_ClickLastTenant)->Apply(onTheHouses)->Iterations(20);

// A registration whose name and work unit hold 20 million characters each,
// among 500: the window's first open in a fresh process, and a move onto
// that row or off it, click to repaint.
const Plan kLongValues{.rooms = 500, .longChars = 20000000};

void BM_FirstOpenLongValues(benchmark::State& state) { firstOpens(state, "open", house(kLongValues), false, 5); }
BENCHMARK(BM_FirstOpenLongValues)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_MoveOverLongValues(benchmark::State& state) {
    const House& h = house(kLongValues);
    tv::state().DataFilePath = h.path();
    tv::state().UserDbPath = h.users();
    openPainted(kWindow);
    auto* tenants = window().control<tv::forms::DataControl>(QStringLiteral("Data1"));
    clicks(
        state, kWindow, [] {},
        [tenants] { tenants->recordset().absolutePosition() == 0 ? tenants->moveNext() : tenants->moveFirst(); },
        {"DBGrid1"}, [tenants] { return tenants->recordset().absolutePosition() >= 0; });
}
BENCHMARK(BM_MoveOverLongValues)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(6);

void registerWindow() {
    tv::forms::Registry::add(QString::fromLatin1(kWindow), [] { return new tv::records::Tenvora; });
}

}  // namespace

int main(int argc, char** argv) {
    return windowBenchMain(argc, argv, registerWindow, {{"open", [] { return openPainted(kWindow); }}});
}
