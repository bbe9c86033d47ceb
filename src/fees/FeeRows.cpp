#include "fees/FeeRows.h"

#include "platform/values/Error.h"

#include <cmath>

namespace tv::fees {

namespace {

// A unit price is money kept to its four decimals: the charges are worked out
// from it as typed.
enum class Kind { Text, Amount, Price, Reading };

struct Member {
    const char* name;
    Kind kind;
    QString BillRecord::*text = nullptr;
    Money BillRecord::*amount = nullptr;
    float BillRecord::*reading = nullptr;
};

constexpr Member text(const char* n, QString BillRecord::*m) { return {n, Kind::Text, m, nullptr, nullptr}; }
constexpr Member amount(const char* n, Money BillRecord::*m) { return {n, Kind::Amount, nullptr, m, nullptr}; }
constexpr Member price(const char* n, Money BillRecord::*m) { return {n, Kind::Price, nullptr, m, nullptr}; }
constexpr Member reading(const char* n, float BillRecord::*m) { return {n, Kind::Reading, nullptr, nullptr, m}; }

const Member kMembers[kBillFields] = {
    text("jfrq", &BillRecord::jfrq),    text("fjh", &BillRecord::fjh),      text("xm", &BillRecord::xm),
    text("sfzhm", &BillRecord::sfzhm),  amount("zj", &BillRecord::zj),      text("sfsd1", &BillRecord::sfsd1),
    text("sfsd2", &BillRecord::sfsd2),  reading("bysb", &BillRecord::bysb), reading("sysb", &BillRecord::sysb),
    reading("ysl", &BillRecord::ysl),   price("sdj", &BillRecord::sdj),     amount("sf", &BillRecord::sf),
    reading("bydb", &BillRecord::bydb), reading("sydb", &BillRecord::sydb), reading("ydl", &BillRecord::ydl),
    price("ddj", &BillRecord::ddj),     amount("df", &BillRecord::df),      amount("zf", &BillRecord::zf),
    amount("hj", &BillRecord::hj)};

}  // namespace

const char* billFieldName(int field) { return kMembers[field].name; }

namespace {

// The fields, `field(i)` giving the value of member i, into `bill`.
template <class Field>
uint32_t copyFields(const Field& field, BillRecord& bill, NullField nulls, Amounts amounts) {
    uint32_t copied = 0;
    for (int i = 0; i < kBillFields; ++i) {
        const Member& m = kMembers[i];
        const Value v = field(i);
        const bool empty = v.isNull() || (v.kind() == Value::Kind::Text && v.toText().isEmpty());
        if (empty && nulls == NullField::Keeps)
            continue;
        switch (m.kind) {
            case Kind::Text:
                bill.*m.text = empty ? QString() : v.toText();
                break;
            case Kind::Amount:
                bill.*m.amount = empty ? Money() : amounts == Amounts::Cents ? round2Even(v.toMoney()) : v.toMoney();
                break;
            case Kind::Price:
                bill.*m.amount = empty ? Money() : v.toMoney();
                break;
            case Kind::Reading:
                bill.*m.reading = empty ? 0.0f : v.toSingle();
                break;
        }
        if (!empty)
            copied |= 1u << i;
    }
    return copied;
}

}  // namespace

uint32_t copyBill(const Recordset& rs, int row, BillRecord& bill, NullField nulls, Amounts amounts) {
    int columns[kBillFields];
    for (int i = 0; i < kBillFields; ++i) {
        columns[i] = rs.columnIndex(QString::fromLatin1(kMembers[i].name));
        if (columns[i] < 0)
            throw DbError(QStringLiteral("找不到字段：") + QString::fromLatin1(kMembers[i].name));
    }
    return copyFields([&](int i) { return rs.valueAt(row, columns[i]); }, bill, nulls, amounts);
}

std::vector<BillRecord> storedBills(Database& db, const std::optional<QDate>& listed,
                                    const std::function<bool(const QString&)>& belongs) {
    QStringList fields;
    for (const Member& m : kMembers) fields << QString::fromLatin1(m.name);
    std::vector<Value> params;
    if (listed)
        params.emplace_back(*listed);
    std::vector<BillRecord> bills;
    db.forEachRow(QStringLiteral("select %1 from fzsdjs%2 order by rowid")
                      .arg(fields.join(QStringLiteral(", ")), listed ? QStringLiteral(" where jfrq = ?") : QString()),
                  params, [&](std::vector<Value>& row) {
                      if (row[jfrq].isNull() || !belongs(row[jfrq].toText()))  // a Null date never belongs
                          return;
                      BillRecord b;
                      copyFields([&](int i) { return row[static_cast<size_t>(i)]; }, b, NullField::Empties,
                                 Amounts::AsStored);
                      bills.push_back(std::move(b));
                  });
    return bills;
}

void setBillFields(Recordset& rs, const BillRecord& bill, uint32_t fields) {
    for (int i = 0; i < kBillFields; ++i) {
        if (!(fields & (1u << i)))
            continue;
        const Member& m = kMembers[i];
        const Value v = m.kind == Kind::Text      ? Value(bill.*m.text)
                        : m.kind == Kind::Reading ? Value(bill.*m.reading)
                                                  : Value(bill.*m.amount);
        rs.setField(QString::fromLatin1(m.name), v);
    }
}

CarriedReadings::CarriedReadings(Database& db, const QString& date) : db_(db) {
    for (Rows& r : rows_) {
        if (!db.hasTable(QString::fromLatin1(r.table)))
            continue;
        QStringList fields;
        for (const Column& c : db.columns(QString::fromLatin1(r.table))) fields << c.name.toLower();
        if (!fields.contains(QLatin1String("jfrq")) || !fields.contains(QLatin1String("sfzhm")) ||
            !fields.contains(QLatin1String(r.water)) || !fields.contains(QLatin1String(r.power)))
            continue;
        for (const std::vector<Value>& row :
             db.query(QStringLiteral("select rowid, sfzhm, jfrq from %1").arg(QLatin1String(r.table))))
            if (!row[1].isNull() && !row[2].isNull() && row[2].toText() == date)  // a Null never matches
                r.byTenant.insert(row[1].toText(), static_cast<int64_t>(row[0].toDouble()));
    }
}

void CarriedReadings::take(const BillRecord& bill, uint32_t stored) {
    for (const Rows& r : rows_) {
        const struct {
            BillField field;
            const char* into;
            float BillRecord::*reading;
        } readings[] = {{bysb, r.water, &BillRecord::bysb}, {bydb, r.power, &BillRecord::bydb}};
        for (auto i = r.byTenant.constFind(bill.sfzhm); i != r.byTenant.cend() && i.key() == bill.sfzhm; ++i)
            for (const auto& reading : readings)
                if (stored & (1u << reading.field))  // a reading left empty hands nothing over
                    db_.exec(QStringLiteral("update %1 set %2 = ? where rowid = ?")
                                 .arg(QLatin1String(r.table), QLatin1String(reading.into)),
                             {Value(bill.*reading.reading), Value(static_cast<double>(*i))});
    }
}

QString fieldText(const BillRecord& bill, int field) {
    const Member& m = kMembers[field];
    switch (m.kind) {
        case Kind::Text:
            return bill.*m.text;
        case Kind::Amount:
            return format00(bill.*m.amount);
        case Kind::Price:
            return format00Exact(bill.*m.amount);
        case Kind::Reading:
            break;
    }
    return floatText(bill.*m.reading);
}

QString fieldText(const Value& stored, int field) {
    const Member& m = kMembers[field];
    if (m.kind == Kind::Text || !stored.isNumber())
        return stored.toText();
    BillRecord b;
    copyFields([&](int i) { return i == field ? stored : Value(); }, b, NullField::Keeps, Amounts::Cents);
    return fieldText(b, field);
}

Money cents(Money m) {
    const int64_t u = m.units();
    const int64_t whole = u / 100, rest = u % 100;  // rest has the sign of u
    return Money::fromUnits((whole + (rest >= 50 ? 1 : rest <= -50 ? -1 : 0)) * 100);
}

std::optional<Money> moneyOf(const QString& text) {
    const std::optional<double> d = parseNumber(text);
    if (!d || std::fabs(*d) >= 922337203685477.0)
        return std::nullopt;
    return toMoney(*d);
}

std::optional<float> readingOf(const QString& text) {
    const std::optional<double> d = parseNumber(text);
    if (!d || !std::isfinite(static_cast<float>(*d)))
        return std::nullopt;
    return static_cast<float>(*d);
}

QString sumText(Money sum) { return moneyText(cents(sum)); }

}  // namespace tv::fees
