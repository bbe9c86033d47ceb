#include "billing/MonthlyCycle.h"

#include "billing/ReceiptFile.h"
#include "platform/db/Database.h"
#include "shared/RMBChinese.h"
#include "shared/Receipt.h"

#include <QHash>

#include <optional>
#include <utility>

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

// The rows shown, the given fields only, in the order the data source shows them.
std::vector<std::vector<Value>> rowsOf(Database& db, const Shown& s, const char* fields) {
    return db.query(
        QStringLiteral("select %1 from [%2] %3 order by rowid").arg(QString::fromLatin1(fields), s.table, s.where),
        s.params);
}

void emptyShown(Database& db, const Shown& s) {
    db.exec(QStringLiteral("delete from [%1] %2").arg(s.table, s.where), s.params);
}

Value textValue(const QString& s) { return s.isEmpty() ? Value() : Value(s); }

// A stored date, or text that reads as one.
std::optional<QDate> dateOf(const Value& v) {
    if (v.kind() == Value::Kind::Date && v.toDate().isValid())
        return v.toDate();
    return v.kind() == Value::Kind::Text ? parseDate(v.toText()) : std::nullopt;
}

}  // namespace

QString Shown::select() const { return QStringLiteral("select * from [%1] %2").arg(table, where).trimmed(); }

void setStepHook(std::function<void(const char*)> hook) { stepHook() = std::move(hook); }

// ---------------------------------------------------------------- the month's rows

void importMonth(const QString& dataFile, const Shown& bysj, const Shown& qtfy, const Shown& zfdj,
                 const QString& status, const QDate& billingDate) {
    const auto db = Database::open(dataFile);
    const auto registrations = rowsOf(*db, zfdj, "[fjh], [xm], [sfzhm], [ysno]");
    if (registrations.empty())
        throw DbError(QStringLiteral("租客入住登记表中没有记录。"));
    const Value date(billingDate);
    db->transaction([&] {
        emptyShown(*db, bysj);
        emptyShown(*db, qtfy);
        for (const auto& r : registrations) {
            if (r[3].isNull() || r[3].toText() != status || status.isEmpty())
                continue;
            db->exec(QStringLiteral("insert into [bysj] ([jfrq], [fjh], [xm], [sfzhm]) values (?, ?, ?, ?)"),
                     {date, r[0], r[1], r[2]});
            db->exec(QStringLiteral("insert into [qtfy] ([jfrq], [fjh], [sfzhm]) values (?, ?, ?)"),
                     {date, r[0], r[2]});
        }
    });
}

void carryOver(const QString& dataFile, const Shown& sysj, const Shown& bysj) {
    const auto db = Database::open(dataFile);
    const auto rows = rowsOf(*db, bysj, "[jfrq], [fjh], [xm], [sfzhm], [zj], [bysb], [sdj], [bydb], [ddj]");
    if (rows.empty())
        throw DbError(QStringLiteral("本月租金水电库中没有记录！"));
    db->transaction([&] {
        emptyShown(*db, sysj);
        for (const auto& r : rows)
            db->exec(QStringLiteral("insert into [sysj] ([jfrq], [fjh], [xm], [sfzhm], [zj], [sysb], [sdj], [sydb], "
                                    "[ddj]) values (?, ?, ?, ?, ?, ?, ?, ?, ?)"),
                     r);
    });
}

// ---------------------------------------------------------------- the bills

void computeCharges(BillRecord& b) {
    b.ysl = b.bysb - b.sysb;  // single precision, as the readings are
    b.sf = toMoney(b.sdj.toDouble() * static_cast<double>(b.ysl));
    b.ydl = b.bydb - b.sydb;
    b.df = toMoney(b.ddj.toDouble() * static_cast<double>(b.ydl));
    b.hj = b.zj + b.sf + b.df + b.zf;  // exact, before any rounding to cents
}

namespace {

// The bills of the rows shown and their receipts, inside the transaction
// of `compute`: every row read is the row the bills are made from.
void billMonth(Database& db, const Run& run, ReceiptFile& file, RunResult& out) {
    // bysj: 0 jfrq, 1 fjh, 2 xm, 3 sfzhm, 4 zj, 5 bysb, 6 sdj, 7 bydb, 8 ddj
    const auto month = rowsOf(db, run.bysj, "[jfrq], [fjh], [xm], [sfzhm], [zj], [bysb], [sdj], [bydb], [ddj]");
    for (const auto& r : month) {
        bool complete = dateOf(r[0]).has_value();
        for (int i : {4, 5, 6, 7, 8}) complete = complete && r[static_cast<size_t>(i)].isNumber();
        if (!complete)
            out.incomplete << (r[1].toText().isEmpty() ? QStringLiteral("(无房号)") : r[1].toText());
    }
    if (!out.incomplete.isEmpty())
        return;

    // Last month's date typed as a date is compared in the form dates are
    // shown in ("2024-2-1" finds the rows of 2024-02-01); other text as typed.
    const std::optional<QDate> lastDate = parseDate(run.lastMonthDate);
    const QString lastMonthKey = lastDate ? shortDate(*lastDate) : run.lastMonthDate;
    // The first row of each tenant (and, last month, of the date typed) counts.
    const auto lastMonth = rowsOf(db, run.sysj, "[sfzhm], [jfrq], [sysb], [sydb]");
    // Filled from the end, so that the first row of a key is the one kept.
    QHash<QString, size_t> lastMonthRow, otherFeeRow;
    for (size_t i = lastMonth.size(); i-- > 0;)
        if (!lastMonth[i][0].isNull() && !lastMonth[i][1].isNull())
            lastMonthRow.insert(lastMonth[i][0].toText() + QLatin1Char('\n') + lastMonth[i][1].toText(), i);
    // qtfy: 0 jfrq, 1 fjh, 2 sfzhm, 3..8 kdf dtf wsf zaf wgf qtf, 9 hj
    const auto others = rowsOf(db, run.qtfy, "[jfrq], [fjh], [sfzhm], [kdf], [dtf], [wsf], [zaf], [wgf], [qtf], [hj]");
    for (size_t i = others.size(); i-- > 0;)
        if (!others[i][2].isNull())
            otherFeeRow.insert(others[i][2].toText(), i);

    std::vector<std::vector<Value>> rows;
    rows.reserve(month.size());
    QByteArray receipts;
    receipts.reserve(static_cast<qsizetype>(month.size()) * 1400);  // about a receipt each
    for (const auto& r : month) {
        BillRecord b;
        const QDate billed = *dateOf(r[0]);
        b.jfrq = shortDate(billed);
        b.fjh = r[1].toText();
        b.xm = r[2].toText();
        b.sfzhm = r[3].toText();
        b.zj = r[4].toMoney();
        b.sfsd1 = run.billingDate;
        b.sfsd2 = run.periodEnd;
        b.bysb = r[5].toSingle();
        b.sdj = r[6].toMoney();
        b.bydb = r[7].toSingle();
        b.ddj = r[8].toMoney();
        const auto last =
            r[3].isNull() ? lastMonthRow.end() : lastMonthRow.find(b.sfzhm + QLatin1Char('\n') + lastMonthKey);
        if (last != lastMonthRow.end() && !lastMonth[*last][2].isNull() && !lastMonth[*last][3].isNull()) {
            b.sysb = lastMonth[*last][2].toSingle();
            b.sydb = lastMonth[*last][3].toSingle();
        } else {
            out.noLastMonth << b.fjh;
        }
        OtherFeesRecord o;
        const auto other = r[3].isNull() ? otherFeeRow.end() : otherFeeRow.find(b.sfzhm);
        if (other != otherFeeRow.end()) {
            const auto& q = others[*other];
            o.jfrq = q[0].toText();
            o.fjh = q[1].toText();
            o.sfzhm = q[2].toText();
            if (q[9].isNull()) {  // no total kept: the six fees, a missing one as 0
                for (size_t i = 3; i <= 8; ++i) o.hj += q[i].toMoney();
            } else {
                o.hj = q[9].toMoney();
            }
        } else {
            out.noOtherFees << b.fjh;
        }
        b.zf = o.hj;
        computeCharges(b);
        roundBill(b, OtherFees::Rounded);
        out.lastWords = RMBChinese(b.hj.toDouble());
        receipts += receiptText(b, out.lastWords);
        rows.push_back({Value(billed), textValue(b.fjh), textValue(b.xm), textValue(b.sfzhm), Value(b.zj),
                        textValue(b.sfsd1), textValue(b.sfsd2), Value(b.bysb), Value(b.sysb), Value(b.ysl),
                        Value(b.sdj), Value(b.sf), Value(b.bydb), Value(b.sydb), Value(b.ydl), Value(b.ddj),
                        Value(b.df), Value(b.zf), Value(b.hj)});
        out.lastBill = b;
        out.lastOtherFees = o;
    }
    out.bills = static_cast<int>(rows.size());

    file.stage(receipts);
    step("staged");
    if (run.replace)
        emptyShown(db, run.fzsdjs);
    step("emptied");
    const QString insert = QStringLiteral(
        "insert into [fzsdjs] ([jfrq], [fjh], [xm], [sfzhm], [zj], [sfsd1], [sfsd2], [bysb], [sysb], [ysl], [sdj], "
        "[sf], [bydb], [sydb], [ydl], [ddj], [df], [zf], [hj]) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
        "?, "
        "?, ?, ?, ?)");
    for (const auto& row : rows) db.exec(insert, row);
    db.exec(QStringLiteral("pragma user_version = %1").arg(file.token()));
    file.sync();  // the receipts and the note reach the disk before the bills do
    step("stored");
}

}  // namespace

RunResult compute(const Run& run) {
    RunResult out;
    const auto db = Database::open(run.dataFile);
    // The receipt file is this computation's from before it reads the rows
    // until its receipts are written; then the data file's write lock.
    ReceiptFile file(run.dataFile, run.replace, [] { step("waiting"); });
    db->transaction([&] { billMonth(*db, run, file, out); });
    if (!out.incomplete.isEmpty())
        return out;
    step("committed");
    out.receiptsKept = file.finish();
    step("finished");
    return out;
}

}  // namespace tv::billing
