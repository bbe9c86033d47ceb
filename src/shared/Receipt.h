#pragma once
// The fee receipt of a bill, as the printer prints it and as the receipt text
// file (Zjzd.txt) keeps it: the bill computed and rounded to cents, and the
// lines the two share, said once. A line is items at columns (print::Item; column 0 goes on
// where the item before ended); the printer places them in its cells, the
// text file writes them in GBK. Each writes a bill's readings and period
// dates in its own form (ReceiptForms).

#include "platform/print/PrintTypes.h"
#include "shared/SharedState.h"

#include <QString>

#include <array>
#include <vector>

namespace tv {

// Whether rounding a bill to cents rounds its other fees (zf) too: the
// monthly computation rounds them, a printed receipt or settlement sheet
// leaves them as they are.
enum class OtherFees { Rounded, AsTheyAre };

// The bill's amounts and readings rounded to two decimals in place, ties to
// even. The unit prices stay as typed (to the money's four decimals): the
// charges were worked out from them, so that a receipt multiplies out.
void roundBill(BillRecord& bill, OtherFees otherFees);

// A bill as it is stored, from its rent, readings, unit prices and other
// fees: used = this month's reading less last month's (single precision),
// charge = price x used as money, total = rent + water + electricity + other
// fees added exactly from the unrounded charges; then the bill rounded to
// cents (its other fees too, its prices kept). The monthly computation and
// the recompute of the fee records both make their bills here, so that an
// unchanged bill recomputes to itself. Raises OverflowError past the money
// range.
void computeBill(BillRecord& bill);

namespace receipt {

using Line = std::vector<print::Item>;

inline const QString kTitle = QStringLiteral("房屋租赁使用费收据");

// An amount in two decimals at `column`. Amounts, readings, dates and room
// numbers are numbers (print::numberAt): cut at a cell's edge they would read
// as another value of their kind, so the printer never cuts them. Captions
// are text.
print::Item money(int column, Money m);

// How a receipt writes a bill's readings and its period's dates.
struct Forms {
    QString (*reading)(float);
    QString (*date)(const QString&);
};

// The grid: box line i above row i, the last box line below the last row.
// The settlement sheet has rows and box lines of its own above the water row.
enum Row { Payer, Period, Water, Power, Total };
inline constexpr int kRows = 5;
const QString& boxLine(int i);  // 0 .. kRows
Line row(Row r, const BillRecord& bill, const QString& amountInWords, const Forms& forms);

// The line under the title: the room and the billing date.
Line header(const BillRecord& bill);
// The signatures below the grid, at the columns each receipt has them.
Line footer(const std::array<int, 4>& columns);

}  // namespace receipt

}  // namespace tv
