#pragma once
// The check-out settlement: the month's rent and other fees prorated by days,
// water and electricity from the readings, the deposit and the arrears set
// against them; and the settlement file, one per room, in which a settlement
// is kept and read back.

#include "platform/values/Money.h"
#include "shared/SharedState.h"

#include <QByteArray>
#include <QString>

#include <optional>

namespace tv::fees {

// 非欠租结算: the month was paid in advance; the total is paid back to the tenant.
// 带欠租结算: the month was not paid; the total is what the tenant pays.
enum class SettlementKind { PaidInAdvance, WithArrears };

// Rent or other fees per day: the monthly amount over the month's days,
// rounded to cents (halves to even).
Money perDay(Money monthly, float monthDays);
// The days charged: the days not lived (paid in advance) or the days lived.
float chargedDays(SettlementKind kind, float monthDays, float daysLived);
// A daily amount for `days` days, through "0.00".
Money forDays(Money daily, float days);
// Used water or electricity: this month's reading less last month's in single
// precision, rounded to cents (halves to even).
float usedOf(float thisMonth, float lastMonth);
// A unit price times what was used, through "0.00".
Money chargeOf(Money price, float used);
// The total of a settled bill, through "0.00": paid in advance (rent + other
// fees + deposit) - (water + electricity + arrears); with arrears rent + other
// fees + water + electricity + arrears - deposit.
Money settlementTotal(const BillRecord& bill, SettlementKind kind, Money deposit, Money arrears);

struct SettlementInput {
    SettlementKind kind = SettlementKind::PaidInAdvance;
    float monthDays = 0, daysLived = 0;
    Money deposit{}, arrears{};
    // The rent and other fees of the month's fee record.
    Money monthlyRent{}, monthlyOtherFee{};
};

// What the settlement works out on the way.
struct SettlementSteps {
    Money dailyRent{}, rentDue{}, dailyOtherFee{}, otherFeeDue{};
    float chargedDays = 0;
};

// Settles `bill` (its readings and unit prices as they stand): rent, other
// fees (only when the month had any; else zf stays), water, electricity and
// the total. Raises OverflowError for amounts beyond the money range, with
// `bill` unchanged.
SettlementSteps settle(BillRecord& bill, const SettlementInput& in);

// --- the settlement file ---------------------------------------------------

// What a settlement file holds: the room, billing date, period, rent, other
// fees, readings, prices, charges and total of the bill, the deposit, the
// arrears and the total in capitals (not the tenant's name or ID number).
struct SettlementRecord {
    BillRecord bill;
    Money deposit{}, arrears{};
    QString words;
};

// The six records of the file, GBK with CR LF line ends: text in double
// quotes, numbers bare in their shortest form.
QByteArray settlementText(const SettlementRecord& r);
// The 21 fields of a settlement file in order, whichever lines they stand
// on; nullopt when the file does not hold them in readable form.
std::optional<SettlementRecord> readSettlement(const QByteArray& gbk);
// The settlement in the file at `path`: nullopt at once when it is no regular
// file (a FIFO, a device), holds more than a settlement file ever does, or
// does not hold one.
std::optional<SettlementRecord> readSettlementFile(const QString& path);

// A room that can name its file: not empty, no / \ or NUL.
bool roomNamesAFile(const QString& room);
// The file the program keeps that a settlement file at `path` would replace,
// "" when none: the receipt file Zjzd.txt (letter case aside), its lock and
// staging files, or the data file `dataFile` itself.
QString keptFileAt(const QString& path, const QString& dataFile);

}  // namespace tv::fees
