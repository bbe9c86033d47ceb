// The program with its four data windows open (check-in, tenant records,
// computation, fee records) on the data file of a lodging house a hundred
// times a large one (see WindowBench.h) and on a large house (500 rooms), each
// in a fresh process: the memory it takes (peak_MB, rss_MB) and the time from
// the first click until the fourth window has painted.
#include "WindowBench.h"
#include "billing/FrmZsdjs.h"
#include "checkin/FrmRzdj.h"
#include "fees/FrmZsdwh.h"
#include "records/Tenvora.h"

using namespace tv::bench;

namespace {

const char* const kWindows[] = {tv::checkin::FrmRzdj::kName, tv::records::Tenvora::kName, tv::billing::FrmZsdjs::kName,
                                tv::fees::FrmZsdwh::kName};

template <class T>
void add() {
    tv::forms::Registry::add(QString::fromLatin1(T::kName), [] { return new T; });
}

void registerWindows() {
    add<tv::checkin::FrmRzdj>();
    add<tv::records::Tenvora>();
    add<tv::billing::FrmZsdjs>();
    add<tv::fees::FrmZsdwh>();
}

double openAll() {
    double total = 0;
    for (const char* w : kWindows) {
        const double ms = openPainted(w);
        if (ms < 0)
            return -1;
        total += ms;
    }
    return total;
}

void BM_FourWindowsOpen(benchmark::State& state) { firstOpens(state, "four", house(planOf(state)), false, 5); }
BENCHMARK(BM_FourWindowsOpen)->Apply(onTheHouses)->Iterations(1);

}  // namespace

int main(int argc, char** argv) {
    qputenv("TV_BENCH_QUIET", "1");
    return windowBenchMain(argc, argv, registerWindows, {{"four", openAll}});
}
