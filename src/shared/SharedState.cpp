#include "shared/SharedState.h"

namespace tv {

namespace {
SharedState g_state;
}

SharedState& state() { return g_state; }

void resetState() { g_state = SharedState{}; }

void ClearCurrentBill() { g_state.CurrentBill = BillRecord{}; }

}  // namespace tv
