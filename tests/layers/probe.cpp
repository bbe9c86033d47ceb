// Compiled with the headers the forms library sees, by the test of the layers
// (tests/CMakeLists.txt): its own and the lower libraries' headers are there,
// a header of the shared layer above it is not.
#include "platform/db/Recordset.h"
#include "platform/forms/DataControl.h"
#include "platform/values/Money.h"
#ifdef TV_PROBE_UPWARD
#include "shared/SharedState.h"
#endif
int main() { return 0; }
