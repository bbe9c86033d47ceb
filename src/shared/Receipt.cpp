#include "shared/Receipt.h"

#include "platform/values/Money.h"

#include <cassert>

namespace tv {

void roundBill(BillRecord& b, OtherFees otherFees) {
    b.zj = round2Even(b.zj);
    b.bysb = round2Even(b.bysb);
    b.sysb = round2Even(b.sysb);
    b.ysl = round2Even(b.ysl);
    b.sf = round2Even(b.sf);
    b.bydb = round2Even(b.bydb);
    b.sydb = round2Even(b.sydb);
    b.ydl = round2Even(b.ydl);
    b.df = round2Even(b.df);
    if (otherFees == OtherFees::Rounded)
        b.zf = round2Even(b.zf);
    b.hj = round2Even(b.hj);
}

void computeBill(BillRecord& b) {
    b.ysl = b.bysb - b.sysb;  // single precision, as the readings are
    b.sf = toMoney(b.sdj.toDouble() * static_cast<double>(b.ysl));
    b.ydl = b.bydb - b.sydb;
    b.df = toMoney(b.ddj.toDouble() * static_cast<double>(b.ydl));
    b.hj = b.zj + b.sf + b.df + b.zf;  // exact, before any rounding to cents
    roundBill(b, OtherFees::Rounded);
}

namespace receipt {

namespace {

using print::at;
using print::number;
using print::numberAt;

const QString kBar = QStringLiteral("│");

// The box lines, 51 characters (102 columns) each, their junctions on the
// columns where the cells of the rows above and below are separated.
const QString kBoxLines[kRows + 1] = {
    QStringLiteral("┌──────┬────┬──────┬────┬─────┬───┬───────────────┐"),
    QStringLiteral("├──────┼────┴──────┼────┼─────┴───┼───────────────┤"),
    QStringLiteral("├──────┼────┬──────┼────┼─────┬───┼────┬───┬──┬───┤"),
    QStringLiteral("├──────┼────┼──────┼────┼─────┼───┼────┼───┼──┼───┤"),
    QStringLiteral("├──────┼────┼──────┼────┴─────┴───┴────┴───┴──┴───┤"),
    QStringLiteral("└──────┴────┴──────┴──────────────────────────────┘"),
};

// A unit price, with the decimals it has, two at least: the charge beside it
// is worked out from it.
print::Item unitPrice(int column, Money m) { return numberAt(column, format00Exact(m)); }

// A meter's row: this month's and last month's readings, the use, the unit
// price and the charge.
Line meter(const QString& now, float thisMonth, const QString& before, float lastMonth, const QString& used,
           float usage, const QString& price, Money unit, const QString& charge, Money amount, const Forms& f) {
    return {at(1, kBar),  at(3, now),     at(15, kBar), numberAt(17, f.reading(thisMonth)),
            at(25, kBar), at(27, before), at(39, kBar), numberAt(41, f.reading(lastMonth)),
            at(49, kBar), at(51, used),   at(61, kBar), numberAt(63, f.reading(usage)),
            at(69, kBar), at(71, price),  at(79, kBar), unitPrice(81, unit),
            at(87, kBar), at(89, charge), at(93, kBar), money(95, amount),
            at(101, kBar)};
}

// Whether each of the box lines is 51 characters long (a box character
// takes two columns) and every bar of row `r` stands on a junction of the box
// lines above and below it.
[[maybe_unused]] bool barsOnJunctions(Row r, const Line& items) {
    for (const QString& box : kBoxLines)
        if (box.size() != 51)
            return false;
    for (const print::Item& item : items) {
        if (item.text != kBar)
            continue;
        const qsizetype at = (item.column - 1) / 2;
        for (const QString& box : {kBoxLines[r], kBoxLines[r + 1]})
            if (item.column % 2 != 1 || at >= box.size() || box[at] == u'─')
                return false;
    }
    return true;
}

Line rowItems(Row r, const BillRecord& b, const QString& words, const Forms& f) {
    switch (r) {
        case Payer:
            return {at(1, kBar),  at(3, QStringLiteral("今收到")),
                    at(15, kBar), numberAt(17, b.fjh),
                    at(25, kBar), at(27, QStringLiteral("租金(元)")),
                    at(39, kBar), money(41, b.zj),
                    at(49, kBar), at(51, QStringLiteral("其它费用")),
                    at(61, kBar), money(63, b.zf),
                    at(69, kBar), at(101, kBar)};
        case Period:
            return {at(1, kBar),  at(3, QStringLiteral("收费时段")),
                    at(15, kBar), numberAt(17, f.date(b.sfsd1)),
                    at(39, kBar), at(41, QStringLiteral("至")),
                    at(49, kBar), numberAt(51, f.date(b.sfsd2)),
                    at(69, kBar), at(101, kBar)};
        case Water:
            return meter(QStringLiteral("本月水表"), b.bysb, QStringLiteral("上月水表"), b.sysb,
                         QStringLiteral("用水量(吨)"), b.ysl, QStringLiteral("市水单价"), b.sdj, QStringLiteral("水费"),
                         b.sf, f);
        case Power:
            return meter(QStringLiteral("本月电表"), b.bydb, QStringLiteral("上月电表"), b.sydb,
                         QStringLiteral("用电量(度)"), b.ydl, QStringLiteral("市电单价"), b.ddj, QStringLiteral("电费"),
                         b.df, f);
        case Total:
            break;
    }
    // The amount in capitals is a number too: cut, it reads as a smaller amount.
    return {at(1, kBar),  at(3, QStringLiteral("合计(元)")),    at(15, kBar), money(17, b.hj),
            at(25, kBar), at(27, QStringLiteral("人民币大写")), at(39, kBar), numberAt(41, words),
            at(101, kBar)};
}

}  // namespace

static_assert(Total + 1 == kRows);

print::Item money(int column, Money m) { return numberAt(column, format00(m)); }

const QString& boxLine(int i) {
    assert(i >= 0 && i <= kRows);
    return kBoxLines[i];
}

Line row(Row r, const BillRecord& bill, const QString& amountInWords, const Forms& forms) {
    Line items = rowItems(r, bill, amountInWords, forms);
    assert(barsOnJunctions(r, items));
    return items;
}

Line header(const BillRecord& b) {
    return {at(3, QStringLiteral("租户房号：")), number(b.fjh), at(72, QStringLiteral("制单日期：")), number(b.jfrq)};
}

Line footer(const std::array<int, 4>& columns) {
    return {at(columns[0], QStringLiteral("主管：")), at(columns[1], QStringLiteral("经手人：")),
            at(columns[2], QStringLiteral("收款人：")), at(columns[3], QStringLiteral("(盖章)"))};
}

}  // namespace receipt

}  // namespace tv
