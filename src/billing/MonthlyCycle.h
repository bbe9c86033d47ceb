#pragma once
// The data side of the monthly cycle: this month's rows made from the
// registrations, last month's rows carried over, and the bills computed from
// them. Each of the three is all or nothing: it checks what it needs first,
// then writes in one transaction, and a failure leaves every table as it was.
//
// The window hands over which rows its data sources show (a query may have
// narrowed them): those are the rows read, and the rows emptied.

#include "platform/values/Value.h"
#include "shared/SharedState.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tv::billing {

// The rows a data source shows: its table, narrowed by `where` (with ?
// marks bound to `params`) or whole.
struct Shown {
    QString table{};
    QString where{};  // "" or "where [jfrq]=?"
    std::vector<Value> params{};

    QString select() const;
};

// The rooms of this month's rows shown whose readings would be lost by
// importing the month anew: rows with a reading typed that no row of last
// month holds (none of sysj has their ID number, billing date and both
// readings), because they were never carried over or were changed since.
QStringList notCarriedOver(const QString& dataFile, const Shown& bysj);

// This month's rows: the rows of bysj and qtfy shown go; then one bysj row
// and one qtfy row, stamped with `billingDate`, for every registration shown
// whose room status is `status` (exactly). `lost` is what the keeper was told
// would be lost (notCarriedOver()); when the rows show otherwise now, nothing
// is done and the rooms found are returned. Raises DbError when no
// registration is shown at all, or when the engine refuses.
std::optional<QStringList> importMonth(const QString& dataFile, const Shown& bysj, const Shown& qtfy, const Shown& zfdj,
                                       const QString& status, const QDate& billingDate, const QStringList& lost);

// The rooms whose last month's readings would be lost by carrying this
// month's rows over now: this month's rows shown that lack a reading (water
// or electricity) which a row of last month shown holds for their tenant.
QStringList readingsToGo(const QString& dataFile, const Shown& sysj, const Shown& bysj);

// Last month's rows: the rows of sysj shown go, and every bysj row shown is
// copied, its readings becoming last month's. `lost` is what the keeper was
// told would be lost (readingsToGo()); when the rows show otherwise now,
// nothing is done and the rooms found are returned. Raises DbError when no
// bysj row is shown (sysj is then as it was).
std::optional<QStringList> carryOver(const QString& dataFile, const Shown& sysj, const Shown& bysj,
                                     const QStringList& lost = {});

// A bill whose water or electricity used is below zero: its room and its
// usages as they would be stored.
struct BelowZero {
    QString room;
    float ysl = 0, ydl = 0;
    bool operator==(const BelowZero&) const = default;
};

// What a computation does only with the keeper's word: the bills of other
// billing dates that a refresh deletes (each date as shown, with how many),
// the bills an add makes a second time (a tenant's ID number and billing
// date that a stored bill has: by date as shown, the rooms), the rooms
// billed from last month's readings of 0 (no last-month row) or with other
// fees of 0 (no other-fee row), asked together, and the bills with a usage
// below zero.
struct Consent {
    std::vector<std::pair<QString, int>> otherDates;
    std::vector<std::pair<QString, QStringList>> billedBefore;
    QStringList noLastMonth, noOtherFees;
    std::vector<BelowZero> belowZero;
    bool empty() const {
        return otherDates.empty() && billedBefore.empty() && noLastMonth.isEmpty() && noOtherFees.isEmpty() &&
               belowZero.empty();
    }
    bool operator==(const Consent&) const = default;
};

// What the computation is told.
struct Run {
    QString dataFile;
    bool replace = false;   // every bill afresh: the fee rows shown go first and the receipt file starts anew
    QString billingDate;    // as typed: the bills' period starts here
    QString periodEnd;      // as typed: and ends here
    QString lastMonthDate;  // as typed: the billing date of the last-month rows that count
    // The rows read, and the fee rows replaced: the whole tables unless a
    // query narrowed them.
    Shown bysj{QStringLiteral("bysj")}, sysj{QStringLiteral("sysj")}, qtfy{QStringLiteral("qtfy")},
        fzsdjs{QStringLiteral("fzsdjs")};
    // What the keeper agreed to, as they were told it.
    Consent agreed{};
};

// What it did.
struct RunResult {
    // Rooms whose bysj row lacks a billing date, rent, reading or price:
    // when there are any, nothing was done.
    QStringList incomplete;
    // What needs the keeper's word and is not what they agreed to (a part
    // found as agreed, or not needed, is empty): when any, nothing was done.
    Consent toAgree;
    int bills = 0;
    BillRecord lastBill;
    OtherFeesRecord lastOtherFees;
    QString lastWords;
    // Why the receipts could not be written after the bills were stored ("":
    // they were); they are kept and go in with the next computation.
    QString receiptsKept;
};

// The computation: one fee record per bysj row shown, appended to fzsdjs
// (after the fee rows shown went, with `replace`), and its receipt in the receipt
// file beside the data file. A tenant's last-month row is the first sysj row
// shown with its ID number and `lastMonthDate` as its billing date; its other
// fees the first qtfy row shown with its ID number. What needs the keeper's
// word is looked at in the same transaction as the bills are stored, so that
// what is stored is what they agreed to. Raises DbError (an
// OverflowError for an amount out of range) with nothing changed. Another
// program computing beside the same receipt file is waited for.
RunResult compute(const Run& run);

// Tests: called at each step of a computation with the step's name.
void setStepHook(std::function<void(const char*)> hook);

}  // namespace tv::billing
