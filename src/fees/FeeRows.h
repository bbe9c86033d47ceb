#pragma once
// Fee rows (fzsdjs) and other-fee rows (qtfy) as the fee windows read and
// recompute them: a row into a bill and a bill back into a row, and the
// running sums of the totals.

#include "platform/db/Recordset.h"
#include "platform/values/Money.h"
#include "shared/SharedState.h"

#include <QDate>
#include <QMultiHash>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace tv::fees {

// How a field without a value (Null, or empty text) goes into a bill: it
// empties its member ("" or 0), or it leaves the member as it was.
enum class NullField { Empties, Keeps };
// How an amount goes into a bill: to the cent as the bill rounds it (halves
// to even), or as stored (four decimals). A unit price goes as stored either
// way.
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

// The fee records whose billing date (as text) `belongs` says is the date's,
// as the file holds them now: read in one statement, in the order of their
// rowids, each as copyBill copies it with NullField::Empties and
// Amounts::AsStored. `listed`: only the rows of that billing date are looked
// at (those a data source lists), else every row. A Null date never belongs.
std::vector<BillRecord> storedBills(Database& db, const std::optional<QDate>& listed,
                                    const std::function<bool(const QString&)>& belongs);

// The fields a recompute works out, and the amounts and readings of a bill.
inline constexpr uint32_t kComputedFields = 1u << ysl | 1u << sf | 1u << ydl | 1u << df | 1u << hj;
inline constexpr uint32_t kNumberFields =
    kComputedFields | 1u << zj | 1u << bysb | 1u << sysb | 1u << sdj | 1u << bydb | 1u << sydb | 1u << ddj | 1u << zf;
// The fields named by `fields` (bits, as copyBill reports them) of the row
// `rs` is editing, set from `bill`.
void setBillFields(Recordset& rs, const BillRecord& bill, uint32_t fields);

// The rows a month's readings are carried in, of one billing date, by
// tenant: this month's rows (bysj) and, once carried over, last month's
// (sysj). A bill of that date recomputed in the fee records hands its
// readings to its tenant's rows, while they are there, so that the next
// month's bill starts from the readings the bill was made from. A data file
// without such rows has nothing to take them.
class CarriedReadings {
public:
    // `date` as the rows' billing date shows (yyyy-MM-dd).
    CarriedReadings(Database& db, const QString& date);
    // The readings of `bill` (bits `stored` of the fields it holds, as
    // copyBill reports them) into the rows of its tenant; in the caller's
    // transaction. Raises DbError when the engine refuses.
    void take(const BillRecord& bill, uint32_t stored);

private:
    struct Rows {
        const char *table, *water, *power;      // the table and its fields of the two readings
        QMultiHash<QString, int64_t> byTenant;  // rowids by ID number
    };
    Database& db_;
    Rows rows_[2] = {{"bysj", "bysb", "bydb", {}}, {"sysj", "sysb", "sydb", {}}};
};

// A member of a bill as a box shows it: text as it is, amounts "0.00", unit
// prices with their decimals (two at least), readings in their shortest form.
QString fieldText(const BillRecord& bill, int field);
// A stored value of a field shown the same way: an amount as a bill takes it
// (to the fen, halves to even); empty for Null.
QString fieldText(const Value& stored, int field);

// Money through "0.00": 12.345 -> 12.35, -0.005 -> -0.01.
Money cents(Money m);
// A typed number as money or a reading; nullopt when the text is no number
// (or too large for money).
std::optional<Money> moneyOf(const QString& text);
std::optional<float> readingOf(const QString& text);

// A sum as the recompute shows it: to the fen, without trailing zeros
// ("500", "1295.6").
QString sumText(Money sum);

}  // namespace tv::fees
