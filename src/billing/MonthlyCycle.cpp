#include "billing/MonthlyCycle.h"

#include "billing/ReceiptFile.h"
#include "platform/db/Database.h"
#include "shared/RMBChinese.h"
#include "shared/Receipt.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <cassert>
#include <cstddef>
#include <initializer_list>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace tv::billing {

namespace {

std::function<void(const char*)>& stepHook() {
    static std::function<void(const char*)> hook;
    return hook;
}

void step(const char* name) {
    if (stepHook())
        stepHook()(name);
}

// The fields of a row as read, each by its column's name.
template <class Row>
struct Field {
    const char* column;
    Value Row::*member;
};

// The rows shown, the fields named only, in the order the data source shows them.
template <class Row, size_t N>
std::vector<Row> rowsOf(Database& db, const Shown& s, const Field<Row> (&fields)[N]) {
    QStringList columns;
    for (const Field<Row>& f : fields) columns << QLatin1Char('[') + QLatin1String(f.column) + QLatin1Char(']');
    std::vector<Row> rows;
    db.forEachRow(QStringLiteral("select %1 from [%2] %3 order by rowid")
                      .arg(columns.join(QStringLiteral(", ")), s.table, s.where),
                  s.params, [&](std::vector<Value>& values) {
                      Row& row = rows.emplace_back();
                      for (size_t i = 0; i < N; ++i) row.*fields[i].member = std::move(values[i]);
                  });
    return rows;
}

// A row to store: each value beside its column's name.
using Stored = std::vector<std::pair<const char*, Value>>;

// Rows stored into one table, each with the columns of the first.
class Insert {
public:
    Insert(Database& db, const char* table) : db_(db), table_(QLatin1String(table)) {}
    void operator()(Stored&& row) {
        if (sql_.isEmpty()) {
            QStringList columns, marks;
            for (const auto& [column, value] : row) {
                columns << QLatin1Char('[') + QLatin1String(column) + QLatin1Char(']');
                marks << QStringLiteral("?");
            }
            sql_ = QStringLiteral("insert into [%1] (%2) values (%3)")
                       .arg(table_, columns.join(QStringLiteral(", ")), marks.join(QStringLiteral(", ")));
        }
        values_.clear();
        for (auto& [column, value] : row) values_.push_back(std::move(value));
        db_.exec(sql_, values_);
    }

private:
    Database& db_;
    QString table_, sql_;
    std::vector<Value> values_;
};

void emptyShown(Database& db, const Shown& s) {
    db.exec(QStringLiteral("delete from [%1] %2").arg(s.table, s.where), s.params);
}

Value textValue(const QString& s) { return s.isEmpty() ? Value() : Value(s); }

// A room as a message names it.
QString roomOf(const Value& fjh) { return fjh.toText().isEmpty() ? QStringLiteral("(无房号)") : fjh.toText(); }

// A stored date, or text that reads as one.
std::optional<QDate> dateOf(const Value& v) {
    if (v.kind() == Value::Kind::Date && v.toDate().isValid())
        return v.toDate();
    return v.kind() == Value::Kind::Text ? parseDate(v.toText()) : std::nullopt;
}

// A registration (zfdj).
struct Registration {
    Value fjh, xm, sfzhm, ysno;
};
constexpr Field<Registration> kRegistration[] = {{"fjh", &Registration::fjh},
                                                 {"xm", &Registration::xm},
                                                 {"sfzhm", &Registration::sfzhm},
                                                 {"ysno", &Registration::ysno}};

// This month's row of a tenant (bysj): the rent, the readings and the prices.
struct MonthRow {
    Value jfrq, fjh, xm, sfzhm, zj, bysb, sdj, bydb, ddj;
};
constexpr Field<MonthRow> kMonthRow[] = {
    {"jfrq", &MonthRow::jfrq},   {"fjh", &MonthRow::fjh},   {"xm", &MonthRow::xm},
    {"sfzhm", &MonthRow::sfzhm}, {"zj", &MonthRow::zj},     {"bysb", &MonthRow::bysb},
    {"sdj", &MonthRow::sdj},     {"bydb", &MonthRow::bydb}, {"ddj", &MonthRow::ddj}};

// Last month's readings of a tenant (sysj).
struct LastMonthRow {
    Value sfzhm, jfrq, sysb, sydb;
};
constexpr Field<LastMonthRow> kLastMonthRow[] = {{"sfzhm", &LastMonthRow::sfzhm},
                                                 {"jfrq", &LastMonthRow::jfrq},
                                                 {"sysb", &LastMonthRow::sysb},
                                                 {"sydb", &LastMonthRow::sydb}};

// The other fees of a tenant (qtfy): six fees and their total.
struct OtherFeeRow {
    Value jfrq, fjh, sfzhm, kdf, dtf, wsf, zaf, wgf, qtf, hj;
};
constexpr Field<OtherFeeRow> kOtherFeeRow[] = {{"jfrq", &OtherFeeRow::jfrq},   {"fjh", &OtherFeeRow::fjh},
                                               {"sfzhm", &OtherFeeRow::sfzhm}, {"kdf", &OtherFeeRow::kdf},
                                               {"dtf", &OtherFeeRow::dtf},     {"wsf", &OtherFeeRow::wsf},
                                               {"zaf", &OtherFeeRow::zaf},     {"wgf", &OtherFeeRow::wgf},
                                               {"qtf", &OtherFeeRow::qtf},     {"hj", &OtherFeeRow::hj}};

}  // namespace

QString Shown::select() const { return QStringLiteral("select * from [%1] %2").arg(table, where).trimmed(); }

void setStepHook(std::function<void(const char*)> hook) { stepHook() = std::move(hook); }

// ---------------------------------------------------------------- the month's rows

namespace {

// A tenant's readings of a billing date, as a key: equal keys, equal values.
QString readingsKey(std::initializer_list<const Value*> values) {
    QString key;
    for (const Value* v : values) key += QString::number(static_cast<int>(v->kind())) + v->toText() + QLatin1Char('\n');
    return key;
}

QStringList notCarried(Database& db, const Shown& bysj) {
    QSet<QString> held;
    for (const LastMonthRow& r : rowsOf(db, Shown{QStringLiteral("sysj")}, kLastMonthRow))
        held.insert(readingsKey({&r.sfzhm, &r.jfrq, &r.sysb, &r.sydb}));
    QStringList rooms;
    for (const MonthRow& r : rowsOf(db, bysj, kMonthRow))
        if ((!r.bysb.isNull() || !r.bydb.isNull()) &&
            !held.contains(readingsKey({&r.sfzhm, &r.jfrq, &r.bysb, &r.bydb})))
            rooms << roomOf(r.fjh);
    return rooms;
}

QStringList toGo(Database& db, const Shown& sysj, const Shown& bysj) {
    QSet<QString> water, power;  // the ID numbers of last month's readings
    for (const LastMonthRow& r : rowsOf(db, sysj, kLastMonthRow)) {
        if (r.sfzhm.isNull())
            continue;
        if (!r.sysb.isNull())
            water.insert(r.sfzhm.toText());
        if (!r.sydb.isNull())
            power.insert(r.sfzhm.toText());
    }
    QStringList rooms;
    for (const MonthRow& r : rowsOf(db, bysj, kMonthRow))
        if (!r.sfzhm.isNull() && ((r.bysb.isNull() && water.contains(r.sfzhm.toText())) ||
                                  (r.bydb.isNull() && power.contains(r.sfzhm.toText()))))
            rooms << roomOf(r.fjh);
    return rooms;
}

}  // namespace

QStringList readingsToGo(const QString& dataFile, const Shown& sysj, const Shown& bysj) {
    return toGo(*Database::open(dataFile), sysj, bysj);
}

QStringList notCarriedOver(const QString& dataFile, const Shown& bysj) {
    return notCarried(*Database::open(dataFile), bysj);
}

std::optional<QStringList> importMonth(const QString& dataFile, const Shown& bysj, const Shown& qtfy, const Shown& zfdj,
                                       const QString& status, const QDate& billingDate, const QStringList& lost) {
    const auto db = Database::open(dataFile);
    const auto registrations = rowsOf(*db, zfdj, kRegistration);
    if (registrations.empty())
        throw DbError(QStringLiteral("租客入住登记表中没有记录。"));
    const Value date(billingDate);
    std::optional<QStringList> found;
    db->transaction([&] {
        if (QStringList now = notCarried(*db, bysj); now != lost) {
            found = std::move(now);  // not what the keeper was told: they are asked again
            return;
        }
        emptyShown(*db, bysj);
        emptyShown(*db, qtfy);
        Insert month(*db, "bysj"), otherFees(*db, "qtfy");
        for (const Registration& r : registrations) {
            if (r.ysno.isNull() || r.ysno.toText() != status || status.isEmpty())
                continue;
            month({{"jfrq", date}, {"fjh", r.fjh}, {"xm", r.xm}, {"sfzhm", r.sfzhm}});
            otherFees({{"jfrq", date}, {"fjh", r.fjh}, {"sfzhm", r.sfzhm}});
        }
    });
    return found;
}

std::optional<QStringList> carryOver(const QString& dataFile, const Shown& sysj, const Shown& bysj,
                                     const QStringList& lost) {
    const auto db = Database::open(dataFile);
    std::optional<QStringList> found;
    db->transaction([&] {
        const auto rows = rowsOf(*db, bysj, kMonthRow);
        if (rows.empty())
            throw DbError(QStringLiteral("本月租金水电库中没有记录！"));
        if (QStringList now = toGo(*db, sysj, bysj); now != lost) {
            found = std::move(now);  // not what the keeper was told: they are asked again
            return;
        }
        emptyShown(*db, sysj);
        Insert lastMonth(*db, "sysj");
        for (const MonthRow& r : rows)  // this month's readings become last month's
            lastMonth({{"jfrq", r.jfrq},
                       {"fjh", r.fjh},
                       {"xm", r.xm},
                       {"sfzhm", r.sfzhm},
                       {"zj", r.zj},
                       {"sysb", r.bysb},
                       {"sdj", r.sdj},
                       {"sydb", r.bydb},
                       {"ddj", r.ddj}});
    });
    return found;
}

// ---------------------------------------------------------------- the bills

namespace {

// The rooms whose row lacks a billing date, rent, reading or price.
QStringList incompleteRooms(const std::vector<MonthRow>& month) {
    QStringList rooms;
    for (const MonthRow& r : month) {
        const bool complete = dateOf(r.jfrq) && r.zj.isNumber() && r.bysb.isNumber() && r.sdj.isNumber() &&
                              r.bydb.isNumber() && r.ddj.isNumber();
        if (!complete)
            rooms << roomOf(r.fjh);
    }
    return rooms;
}

// The rows of a table shown, found by a key of each; the first row of a key
// counts.
template <class Row>
class FirstByKey {
public:
    // `key` gives a row's key, or nothing for a row that no key finds.
    FirstByKey(std::vector<Row> rows, const std::function<std::optional<QString>(const Row&)>& key)
        : rows_(std::move(rows)) {
        for (size_t i = rows_.size(); i-- > 0;)  // from the end, so that the first row of a key is the one kept
            if (const std::optional<QString> k = key(rows_[i]))
                index_.insert(*k, i);
    }
    const Row* find(const QString& key) const {
        const auto i = index_.constFind(key);
        return i == index_.cend() ? nullptr : &rows_[*i];
    }

private:
    std::vector<Row> rows_;
    QHash<QString, size_t> index_;
};

// Last month's readings by ID number and billing date. Last month's date
// typed as a date is compared in the form dates are shown in ("2024-2-1"
// finds the rows of 2024-02-01); other text as typed.
class LastMonth {
public:
    LastMonth(Database& db, const Run& run)
        : rows_(rowsOf(db, run.sysj, kLastMonthRow), [](const LastMonthRow& r) -> std::optional<QString> {
              if (r.sfzhm.isNull() || r.jfrq.isNull())
                  return std::nullopt;
              return key(r.sfzhm.toText(), r.jfrq.toText());
          }) {
        const std::optional<QDate> lastDate = parseDate(run.lastMonthDate);
        date_ = lastDate ? shortDate(*lastDate) : run.lastMonthDate;
    }
    // The tenant's row of that date, when it holds both readings.
    const LastMonthRow* readings(const QString& id) const {
        const LastMonthRow* r = rows_.find(key(id, date_));
        return r && !r->sysb.isNull() && !r->sydb.isNull() ? r : nullptr;
    }

private:
    static QString key(const QString& id, const QString& date) { return id + QLatin1Char('\n') + date; }
    FirstByKey<LastMonthRow> rows_;
    QString date_;
};

// The other fees by ID number: the row's total, or without one the six fees
// added (a missing one as 0).
OtherFeesRecord otherFeesOf(const OtherFeeRow& q) {
    OtherFeesRecord o;
    o.jfrq = q.jfrq.toText();
    o.fjh = q.fjh.toText();
    o.sfzhm = q.sfzhm.toText();
    if (q.hj.isNull()) {
        for (const Value* fee : {&q.kdf, &q.dtf, &q.wsf, &q.zaf, &q.wgf, &q.qtf}) o.hj += fee->toMoney();
    } else {
        o.hj = q.hj.toMoney();
    }
    return o;
}

// This month's row as a bill, its billing period as typed, without last
// month's readings and other fees yet.
BillRecord billOf(const MonthRow& r, const QDate& billed, const Run& run) {
    BillRecord b;
    b.jfrq = shortDate(billed);
    b.fjh = r.fjh.toText();
    b.xm = r.xm.toText();
    b.sfzhm = r.sfzhm.toText();
    b.zj = r.zj.toMoney();
    b.sfsd1 = run.billingDate;
    b.sfsd2 = run.periodEnd;
    b.bysb = r.bysb.toSingle();
    b.sdj = r.sdj.toMoney();
    b.bydb = r.bydb.toSingle();
    b.ddj = r.ddj.toMoney();
    return b;
}

// The fee record of a bill.
Stored feeRecord(const BillRecord& b, const QDate& billed) {
    return {{"jfrq", Value(billed)},
            {"fjh", textValue(b.fjh)},
            {"xm", textValue(b.xm)},
            {"sfzhm", textValue(b.sfzhm)},
            {"zj", Value(b.zj)},
            {"sfsd1", textValue(b.sfsd1)},
            {"sfsd2", textValue(b.sfsd2)},
            {"bysb", Value(b.bysb)},
            {"sysb", Value(b.sysb)},
            {"ysl", Value(b.ysl)},
            {"sdj", Value(b.sdj)},
            {"sf", Value(b.sf)},
            {"bydb", Value(b.bydb)},
            {"sydb", Value(b.sydb)},
            {"ydl", Value(b.ydl)},
            {"ddj", Value(b.ddj)},
            {"df", Value(b.df)},
            {"zf", Value(b.zf)},
            {"hj", Value(b.hj)}};
}

// The bills made: their fee records and receipts, and what in them needs
// the keeper's word.
struct Bills {
    std::vector<Stored> records;
    QByteArray receipts;
    Consent asks;
};

// One bill for every row of this month, with the tenant's last-month
// readings and other fees, 0 for what is missing.
Bills makeBills(Database& db, const Run& run, const std::vector<MonthRow>& month, RunResult& out) {
    const LastMonth lastMonth(db, run);
    const FirstByKey<OtherFeeRow> otherFees(rowsOf(db, run.qtfy, kOtherFeeRow),
                                            [](const OtherFeeRow& q) -> std::optional<QString> {
                                                if (q.sfzhm.isNull())
                                                    return std::nullopt;
                                                return q.sfzhm.toText();
                                            });
    Bills bills;
    bills.records.reserve(month.size());
    bills.receipts.reserve(static_cast<qsizetype>(month.size()) * 1400);  // about a receipt each
    for (const MonthRow& r : month) {
        const QDate billed = *dateOf(r.jfrq);
        BillRecord b = billOf(r, billed, run);
        const LastMonthRow* last = r.sfzhm.isNull() ? nullptr : lastMonth.readings(b.sfzhm);
        if (last) {
            b.sysb = last->sysb.toSingle();
            b.sydb = last->sydb.toSingle();
        } else {
            bills.asks.noLastMonth << roomOf(r.fjh);
        }
        const OtherFeeRow* other = r.sfzhm.isNull() ? nullptr : otherFees.find(b.sfzhm);
        const OtherFeesRecord o = other ? otherFeesOf(*other) : OtherFeesRecord();
        if (!other)
            bills.asks.noOtherFees << roomOf(r.fjh);
        b.zf = o.hj;
        computeBill(b);
        if (b.ysl < 0 || b.ydl < 0)
            bills.asks.belowZero.push_back({roomOf(r.fjh), b.ysl, b.ydl});
        out.lastWords = RMBChinese(b.hj.toDouble());
        bills.receipts += receiptText(b, out.lastWords);
        bills.records.push_back(feeRecord(b, billed));
        out.lastBill = b;
        out.lastOtherFees = o;
    }
    return bills;
}

// The receipts staged on the disk, then the fee records stored (after the
// fee rows shown went, with `replace`) with the receipts' token.
void storeBills(Database& db, const Run& run, ReceiptFile& file, Bills&& bills) {
    assert(db.inTransaction());  // the token goes in with the bills, all or nothing
    file.stage(bills.receipts);
    step("staged");
    if (run.replace)
        emptyShown(db, run.fzsdjs);
    step("emptied");
    Insert fees(db, "fzsdjs");
    for (Stored& record : bills.records) fees(std::move(record));
    db.exec(QStringLiteral("pragma user_version = %1").arg(file.token()));
    step("stored");
}

// The fee rows shown whose billing date none of this month's rows has: by
// date, how many a refresh deletes of other months.
std::vector<std::pair<QString, int>> otherDates(Database& db, const Shown& fzsdjs, const std::vector<MonthRow>& month) {
    std::set<QDate> billed;
    for (const MonthRow& r : month) billed.insert(*dateOf(r.jfrq));
    QMap<QString, int> count;
    db.forEachRow(
        QStringLiteral("select [jfrq], count(*) from [%1] %2 group by [jfrq]").arg(fzsdjs.table, fzsdjs.where),
        fzsdjs.params, [&](std::vector<Value>& row) {
            const std::optional<QDate> date = dateOf(row[0]);
            if (date && billed.count(*date))
                return;
            const QString shown = date              ? shortDate(*date)
                                  : row[0].isNull() ? QStringLiteral("(无计费日期)")
                                                    : row[0].toText();
            count[shown] += row[1].toInt();
        });
    return {count.keyValueBegin(), count.keyValueEnd()};
}

// The rows of this month whose tenant (ID number) already has a stored bill
// of the row's billing date: by date, their rooms. Only the bills of this
// month's dates are read.
std::vector<std::pair<QString, QStringList>> billedBefore(Database& db, const std::vector<MonthRow>& month) {
    std::set<QDate> dates;
    for (const MonthRow& r : month) dates.insert(*dateOf(r.jfrq));
    QSet<QString> billed;  // ID number and date
    auto key = [](const QString& id, const QDate& date) { return id + QLatin1Char('\n') + shortDate(date); };
    for (const QDate& date : dates)
        db.forEachRow(QStringLiteral("select [sfzhm] from [fzsdjs] where [jfrq] = ? and [sfzhm] is not null"),
                      {Value(date)}, [&](std::vector<Value>& row) { billed.insert(key(row[0].toText(), date)); });
    QMap<QString, QStringList> rooms;
    for (const MonthRow& r : month)
        if (const QDate date = *dateOf(r.jfrq); !r.sfzhm.isNull() && billed.contains(key(r.sfzhm.toText(), date)))
            rooms[shortDate(date)] << roomOf(r.fjh);
    return {rooms.keyValueBegin(), rooms.keyValueEnd()};
}

// Of what needs the keeper's word, what they did not agree to: each part as
// found, unless it is the part agreed.
Consent unagreed(const Consent& found, const Consent& agreed) {
    Consent out;
    if (found.otherDates != agreed.otherDates)
        out.otherDates = found.otherDates;
    if (found.billedBefore != agreed.billedBefore)
        out.billedBefore = found.billedBefore;
    if (found.noLastMonth != agreed.noLastMonth || found.noOtherFees != agreed.noOtherFees) {
        out.noLastMonth = found.noLastMonth;  // asked together
        out.noOtherFees = found.noOtherFees;
    }
    if (found.belowZero != agreed.belowZero)
        out.belowZero = found.belowZero;
    return out;
}

// The bills of the rows shown and their receipts, inside the transaction
// of `compute`: every row read is the row the bills are made from, and
// what the keeper agreed to is what is stored.
void billMonth(Database& db, const Run& run, ReceiptFile& file, RunResult& out) {
    assert(db.inTransaction());
    const std::vector<MonthRow> month = rowsOf(db, run.bysj, kMonthRow);
    out.incomplete = incompleteRooms(month);
    if (!out.incomplete.isEmpty())
        return;
    Bills bills = makeBills(db, run, month, out);
    if (run.replace)
        bills.asks.otherDates = otherDates(db, run.fzsdjs, month);
    else
        bills.asks.billedBefore = billedBefore(db, month);
    out.toAgree = unagreed(bills.asks, run.agreed);
    if (!out.toAgree.empty())
        return;
    out.bills = static_cast<int>(bills.records.size());
    storeBills(db, run, file, std::move(bills));
}

}  // namespace

RunResult compute(const Run& run) {
    RunResult out;
    const auto db = Database::open(run.dataFile);
    // The receipt file is this computation's from before it reads the rows
    // until its receipts are written; then the data file's write lock.
    ReceiptFile file(run.dataFile, run.replace, [] { step("waiting"); });
    db->transaction([&] { billMonth(*db, run, file, out); });
    if (!out.incomplete.isEmpty() || !out.toAgree.empty())
        return out;
    step("committed");
    out.receiptsKept = file.finish();
    step("finished");
    return out;
}

}  // namespace tv::billing
