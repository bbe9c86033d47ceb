#include "fees/Settlement.h"

#include "fees/FeeRows.h"
#include "platform/text/Gbk.h"
#include "platform/values/Error.h"
#include "platform/values/FileRead.h"
#include "platform/values/OwnFiles.h"
#include "shared/ProgramFiles.h"

#include <QFileInfo>

namespace tv::fees {

namespace {

// A computed amount through "0.00".
Money centsOf(double x) {
    const std::optional<Money> m = moneyOf(format00(x));
    if (!m)
        throw OverflowError(QStringLiteral("数值超出范围：") + doubleText(x));
    return *m;
}

}  // namespace

Money perDay(Money monthly, float monthDays) {
    const double daily = round2Even(monthly.toDouble() / static_cast<double>(monthDays));
    return toMoney(daily);
}

float chargedDays(SettlementKind kind, float monthDays, float daysLived) {
    return kind == SettlementKind::PaidInAdvance ? monthDays - daysLived : daysLived;
}

Money forDays(Money daily, float days) { return centsOf(daily.toDouble() * static_cast<double>(days)); }

float usedOf(float thisMonth, float lastMonth) {
    const float used = thisMonth - lastMonth;
    return round2Even(used);
}

Money chargeOf(Money price, float used) { return centsOf(price.toDouble() * static_cast<double>(used)); }

Money settlementTotal(const BillRecord& b, SettlementKind kind, Money deposit, Money arrears) {
    const Money charges = b.sf + b.df + arrears;
    const Money credits = b.zj + b.zf;
    return cents(kind == SettlementKind::PaidInAdvance ? credits + deposit + -charges : credits + charges + -deposit);
}

SettlementSteps settle(BillRecord& bill, const SettlementInput& in) {
    SettlementSteps s;
    BillRecord b = bill;
    s.dailyRent = perDay(in.monthlyRent, in.monthDays);
    s.chargedDays = chargedDays(in.kind, in.monthDays, in.daysLived);
    s.rentDue = forDays(s.dailyRent, s.chargedDays);
    b.ysl = usedOf(b.bysb, b.sysb);
    b.sf = chargeOf(b.sdj, b.ysl);
    b.ydl = usedOf(b.bydb, b.sydb);
    b.df = chargeOf(b.ddj, b.ydl);
    b.zj = s.rentDue;
    if (in.monthlyOtherFee != Money()) {
        s.dailyOtherFee = perDay(in.monthlyOtherFee, in.monthDays);
        s.otherFeeDue = forDays(s.dailyOtherFee, s.chargedDays);
        b.zf = s.otherFeeDue;
    }
    b.hj = settlementTotal(b, in.kind, in.deposit, in.arrears);
    bill = b;
    return s;
}

// --- the settlement file ---------------------------------------------------

namespace {

QString quoted(const QString& s) { return QLatin1Char('"') + s + QLatin1Char('"'); }

// The fields of a settlement file as text, one after another: a line end
// separates like a comma; a quoted field keeps commas and line ends; blanks
// before a field and blank lines are passed over. Short: fewer than `count`.
std::optional<QStringList> fields(const QString& text, int count) {
    QStringList out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    auto lineEnd = [&](qsizetype at) { return text[at] == u'\r' || text[at] == u'\n'; };
    auto fieldEnd = [&](qsizetype at) { return text[at] == u',' || lineEnd(at); };
    while (out.size() < count) {
        while (i < n && (text[i] == u' ' || text[i] == u'\t' || lineEnd(i))) ++i;
        if (i >= n)
            return std::nullopt;
        if (text[i] == u'"') {
            const qsizetype close = text.indexOf(u'"', i + 1);
            if (close < 0)
                return std::nullopt;
            out << text.mid(i + 1, close - i - 1);
            i = close + 1;
            while (i < n && !fieldEnd(i)) ++i;  // anything after the closing quote
        } else {
            const qsizetype start = i;
            while (i < n && !fieldEnd(i)) ++i;
            QString field = text.mid(start, i - start);
            while (field.endsWith(u' ') || field.endsWith(u'\t')) field.chop(1);
            out << field;
        }
        if (i < n && text[i] == u',')
            ++i;
    }
    return out;
}

}  // namespace

QByteArray settlementText(const SettlementRecord& r) {
    const BillRecord& b = r.bill;
    const QString comma = QStringLiteral(",");
    const QStringList lines = {
        quoted(b.fjh) + comma + quoted(b.jfrq),
        quoted(b.fjh) + comma + moneyText(b.zj) + comma + moneyText(b.zf) + comma + moneyText(r.deposit),
        quoted(b.sfsd1) + comma + quoted(b.sfsd2) + comma + moneyText(r.arrears),
        QStringList{floatText(b.bysb), floatText(b.sysb), floatText(b.ysl), moneyText(b.sdj), moneyText(b.sf)}.join(
            comma),
        QStringList{floatText(b.bydb), floatText(b.sydb), floatText(b.ydl), moneyText(b.ddj), moneyText(b.df)}.join(
            comma),
        moneyText(b.hj) + comma + quoted(r.words)};
    return text::toGbk(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

std::optional<SettlementRecord> readSettlement(const QByteArray& gbk) {
    const std::optional<QStringList> f = fields(text::fromGbk(gbk), 21);
    if (!f)
        return std::nullopt;
    SettlementRecord r;
    BillRecord& b = r.bill;
    bool ok = true;
    auto amount = [&](int i, Money& into) {
        const std::optional<Money> m = moneyOf(f->at(i));
        ok = ok && m.has_value();
        into = m.value_or(Money());
    };
    auto reading = [&](int i, float& into) {
        const std::optional<float> v = readingOf(f->at(i));
        ok = ok && v.has_value();
        into = v.value_or(0.0f);
    };
    b.fjh = f->at(0);
    b.jfrq = f->at(1);
    b.fjh = f->at(2);
    amount(3, b.zj);
    amount(4, b.zf);
    amount(5, r.deposit);
    b.sfsd1 = f->at(6);
    b.sfsd2 = f->at(7);
    amount(8, r.arrears);
    reading(9, b.bysb);
    reading(10, b.sysb);
    reading(11, b.ysl);
    amount(12, b.sdj);
    amount(13, b.sf);
    reading(14, b.bydb);
    reading(15, b.sydb);
    reading(16, b.ydl);
    amount(17, b.ddj);
    amount(18, b.df);
    amount(19, b.hj);
    r.words = f->at(20);
    if (!ok)
        return std::nullopt;
    return r;
}

std::optional<SettlementRecord> readSettlementFile(const QString& path) {
    // Six short lines: a megabyte is far more than a settlement file holds.
    constexpr qint64 kLargest = 1 << 20;
    const FileRead file = readRegularFile(path, kLargest);
    return file.ok() ? readSettlement(file.bytes) : std::nullopt;
}

bool roomNamesAFile(const QString& room) {
    return !room.isEmpty() && !room.contains(u'/') && !room.contains(u'\\') && !room.contains(QChar(0));
}

QString keptFileAt(const QString& path, const QString& dataFile) {
    const QFileInfo file(path);
    for (const QString& kept : receiptFileNames())
        if (file.fileName().compare(kept, Qt::CaseInsensitive) == 0)
            return kept;
    if (file.exists() && sameFile(path, dataFile))
        return QFileInfo(dataFile).fileName();
    return QString();
}

}  // namespace tv::fees
