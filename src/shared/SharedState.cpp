#include "shared/SharedState.h"

#include "shared/ProgramFiles.h"

namespace tv {

namespace {
SharedState g_state;
// Every save knows the program's own files from the start.
[[maybe_unused]] const bool g_ownFilesKnown = (knowProgramFiles(), true);
}  // namespace

SharedState& state() { return g_state; }

void resetState() { g_state = SharedState{}; }

void ClearCurrentBill() { g_state.CurrentBill = BillRecord{}; }

}  // namespace tv
