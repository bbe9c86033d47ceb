#pragma once
// The one rule by which a registration row of zfdj is copied into a print
// record (CurrentCheckIn or SecondCheckIn).

#include "platform/db/Recordset.h"
#include "shared/SharedState.h"

namespace tv {

// Copies the current row of `rs` (a source over zfdj) into `rec`. A member
// whose field is Null or empty is cleared ("" for text, 0 for a number), so a
// printed form never shows another tenant's companions. Without a current row
// nothing changes.
void FillCheckInRecord(Recordset& rs, CheckInRecord& rec);

}  // namespace tv
