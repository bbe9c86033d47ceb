#pragma once
// Fee rows (fzsdjs) and other-fee rows (qtfy) as the fee windows read and
// recompute them: a row into a bill, the running sums of the totals and the
// recomputed charges of a bill.

#include "platform/db/Recordset.h"
#include "platform/values/Money.h"
#include "shared/SharedState.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace tv::fees {

// How a field without a value (Null, or empty text) goes into a bill: it
// empties its member ("" or 0), or it leaves the member as it was.
enum class NullField { Empties, Keeps };
// How an amount goes into a bill: through "0.00" (cents, halves away from
// zero), or as stored (four decimals).
enum class Amounts { Cents, AsStored };

// The fields of fzsdjs in table order; copyBill() reports the fields it
// copied as bits (1 << index).
enum BillField { jfrq, fjh, xm, sfzhm, zj, sfsd1, sfsd2, bysb, sysb, ysl, sdj, sf, bydb, sydb, ydl, ddj, df, zf, hj };
inline constexpr int kBillFields = 19;
static_assert(hj + 1 == kBillFields && kBillFields <= 32, "one bit of a uint32_t for each field");
const char* billFieldName(int field);

// Row `row` of `rs` (a source over fzsdjs, read in place without a move)
// into `bill`. A date becomes its short date text. Raises DbError when the
// source lacks one of the fields.
uint32_t copyBill(const Recordset& rs, int row, BillRecord& bill, NullField nulls, Amounts amounts);

// A member of a bill as a box shows it: text as it is, amounts "0.00",
// readings in their shortest form.
QString fieldText(const BillRecord& bill, int field);

// Money through "0.00": 12.345 -> 12.35, -0.005 -> -0.01.
Money cents(Money m);
// A typed number as money or a reading; nullopt when the text is no number
// (or too large for money).
std::optional<Money> moneyOf(const QString& text);
std::optional<float> readingOf(const QString& text);

// A sum as the recompute shows it: to the fen, without trailing zeros
// ("500", "1295.6").
QString sumText(Money sum);

// The charges of a fee row from its readings and prices: used = this month's
// reading less last month's (single precision), charge = price x used as
// money, total = rent + water + electricity + other fees. Nothing rounded to
// cents.
void recomputeCharges(BillRecord& bill);

}  // namespace tv::fees
