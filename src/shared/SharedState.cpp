#include "shared/SharedState.h"

namespace tv {

namespace {
SharedState g_state;
}

SharedState& state() { return g_state; }

void resetState() { g_state = SharedState{}; }

void ClearCurrentBill() {
    SharedState& s = g_state;
    BillRecord& b = s.CurrentBill;
    b.sfsd1.clear();
    b.sfsd2.clear();
    b.ysl = 0;
    b.sf = Money();
    b.ydl = 0;
    b.df = Money();
    b.zf = Money();
    b.hj = Money();
    s.LastMonthDate = QStringLiteral("0");
    b.jfrq.clear();
    b.fjh.clear();
    b.xm.clear();
    b.sfzhm.clear();
    b.zj = Money();
    b.bysb = 0;
    b.sdj = Money();
    b.bydb = 0;
    b.ddj = Money();
    b.sysb = 0;
    b.sydb = 0;
    s.CurrentOtherFees = OtherFeesRecord{};
}

}  // namespace tv
