// The printed documents: fee receipt, batch receipt, settlement sheet and the
// temporary-resident registration form, drawn in columns on the printer.

#include "shared/PrintRoutines.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "shared/Receipt.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <optional>

namespace tv {

namespace {

using print::at;
using print::Item;
using print::number;
using print::numberAt;
using print::Printer;
using print::text;
using receipt::money;

const QString kSongTi = QStringLiteral("宋体");
const QString kPaperPrompt = QStringLiteral("请调整好纸宽后：按(确认)后继续！");
const QString kBar = QStringLiteral("│");

Printer& printer() { return Printer::device(); }

void emptyLines(int n) {
    for (int i = 0; i < n; ++i) printer().printLine({});
}

void font(double size) {
    printer().setFontSize(size);
    printer().setFontName(kSongTi);
}

void paperPrompt() { dlg::msgBox(kPaperPrompt, dlg::OkOnly, dlg::kNoteTitle); }

// Runs the printing steps of a document; a failure drops the whole job (no
// half document stays open) and goes on to the caller, which shows it.
template <class F>
void printing(F&& steps) {
    try {
        steps();
    } catch (...) {
        printer().abort();
        throw;
    }
}

// --- fee receipt and settlement sheet ---------------------------------------

QString asTyped(const QString& date) { return date; }
// Readings in their print form, the period's dates as they stand.
const receipt::Forms kPrinted{&printForm, &asTyped};

void line(const std::vector<Item>& items) { printer().printLine(items); }
void rule(const char* text) { line({at(1, QString::fromUtf8(text))}); }
void printBox(int i) { line({at(1, receipt::boxLine(i))}); }
void printRow(receipt::Row r, const BillRecord& b, const QString& words) { line(receipt::row(r, b, words, kPrinted)); }

// The first five lines of the fee receipt.
void receiptTop(const BillRecord& b) {
    for (receipt::Row r : {receipt::Payer, receipt::Period}) {
        printBox(r);
        printRow(r, b, QString());
    }
    printBox(receipt::Water);
}

// The first five lines of the settlement sheet: the deposit and the arrears
// in the first two rows.
void settlementTop(const BillRecord& b, Money deposit, Money arrears) {
    rule("┌──────┬────┬──────┬────┬─────┬───┬────────┬──────┐");
    line({at(1, kBar), at(3, QStringLiteral("租客结算")), at(15, kBar), numberAt(17, b.fjh), at(25, kBar),
          at(27, QStringLiteral("租金(元)")), at(39, kBar), money(41, b.zj), at(49, kBar),
          at(51, QStringLiteral("其它费用")), at(61, kBar), money(63, b.zf), at(69, kBar),
          at(71, QStringLiteral("租房押金")), at(87, kBar), money(89, deposit), at(101, kBar)});
    rule("├──────┼────┴──────┼────┼─────┴───┼────────┼──────┤");
    line({at(1, kBar), at(3, QStringLiteral("结算时段")), at(15, kBar), numberAt(17, b.sfsd1), at(39, kBar),
          at(41, QStringLiteral("至")), at(49, kBar), numberAt(51, b.sfsd2), at(69, kBar),
          at(71, QStringLiteral("欠租金额")), at(87, kBar), money(89, arrears), at(101, kBar)});
    rule("├──────┼────┬──────┼────┼─────┬───┼────┬───┼──┬───┤");
}

// Readings, total and the amount in capitals: the same on both documents.
void receiptBottom(const BillRecord& b, const QString& words) {
    for (receipt::Row r : {receipt::Water, receipt::Power, receipt::Total}) {
        if (r != receipt::Water)
            printBox(r);
        printRow(r, b, words);
    }
    printBox(receipt::kRows);
}

// A settlement sheet's deposit and arrears; a fee receipt has none.
struct Settled {
    Money deposit{}, arrears{};
};

// Title, header, grid and footer of one receipt (no `settled`) or settlement
// sheet, after `leading` empty lines.
void feeDocument(const BillRecord& b, const QString& words, const std::optional<Settled>& settled, int leading) {
    emptyLines(leading);
    font(18);
    line({at(20, settled ? QStringLiteral("房屋租赁使用费结算") : receipt::kTitle)});
    font(10);
    emptyLines(2);
    line(receipt::header(b));
    if (settled)
        settlementTop(b, settled->deposit, settled->arrears);
    else
        receiptTop(b);
    receiptBottom(b, words);
    line(receipt::footer({3, 27, 51, 81}));
}

// --- registration form ---------------------------------------------------------

// The photo cell of a form (left part of the grid from its 14th line down):
// a larger photo is shrunk to fit it, keeping its proportions.
constexpr double kPhotoMaxWidth = 4800;
constexpr double kPhotoMaxHeight = 3200;
// The tops (twips) of the photo boxes on their windows, which the photo
// offsets are measured against.
constexpr double kRecordsPhotoTop = 7440;
constexpr double kPairPhotoTop = 3360;
// The offsets the tenant records window starts with; they place the photo in
// the photo cell of a form printed alone.
constexpr float kDefaultOffsetX = 650;
constexpr float kDefaultOffsetY = 3050;

void drawPhoto(const QImage& photo, double x, double y) {
    printer().drawPicture(photo, x, y, kPhotoMaxWidth, kPhotoMaxHeight);
}

// The photo of the registration a window shows; none when it is not loaded.
template <class W>
QImage photoOf(QImage (W::*photo)() const) {
    const W* w = forms::Registry::loadedAs<W>();
    return w ? (w->*photo)() : QImage();
}

QImage pairPhoto(windows::PairForm form) {
    const auto* w = forms::Registry::loadedAs<windows::PairPrintWindow>();
    return w ? w->pairPhoto(form) : QImage();
}

void barLineA() { line({at(1, kBar), at(33, kBar), at(57, kBar), at(113, QStringLiteral("│  "))}); }
void barLineB() { line({at(1, kBar), at(57, kBar), at(85, kBar), at(113, kBar)}); }
void barLineC() { line({at(1, kBar), at(57, kBar), at(113, kBar)}); }

void childRule(bool first) {
    rule(first ? "│                                                      ├─────────────┬─────────────┤"
               : "│                                                      ├─────────────┼─────────────┤");
}

Item count(int16_t n) { return number(printForm(static_cast<int>(n))); }

const QString kElderSection = QStringLiteral("随行老人信息");
const QString kChildSection = QStringLiteral("随行儿童信息");

// Header line and the 33 lines of the grid of one registration.
void registrationGrid(const CheckInRecord& r) {
    const QString name = QStringLiteral("姓名:");
    const QString sex = QStringLiteral("性别:");
    const QString born = QStringLiteral("出生年月:");
    line({at(3, QStringLiteral("房间编号:")), number(r.fjh), at(60, QStringLiteral("居住人数:")), count(r.jzrs)});

    rule("┌───────────────┬───────────┬───────────────────────────┐");
    barLineA();
    line({at(1, kBar), at(3, QStringLiteral("单位:") + r.dw), at(33, kBar), at(35, QStringLiteral("联系电话:")),
          number(r.dh), at(57, kBar), at(80, kElderSection), at(113, kBar)});
    barLineA();
    rule("├───────────────┴───────────┼─────────────┬─────────────┤");
    barLineB();
    line({at(1, kBar), at(3, QStringLiteral("婚姻状况:")), at(13, r.yh), at(31, QStringLiteral(";")),
          at(33, QStringLiteral("子女数:")), count(r.n1), text(QStringLiteral("男")), count(r.n2),
          text(QStringLiteral("女")), at(57, kBar), at(59, name + r.fq), at(76, sex + r.xb1), at(85, kBar),
          at(87, name + r.mq), at(103, sex + r.xb2), at(113, kBar)});
    barLineB();
    rule("├───────────────────────────┼─────────────┼─────────────┤");
    barLineB();
    line({at(1, kBar), at(3, QStringLiteral("入住日期:")), number(r.rzrq), at(27, QStringLiteral("离开日期:")),
          number(r.lkrq), at(57, kBar), at(59, born), number(r.cxny1), at(85, kBar), at(87, born), number(r.cxny2),
          at(113, kBar)});
    barLineB();
    rule("├───────────────────────────┼─────────────┴─────────────┤");
    barLineC();
    line({at(1, kBar), at(57, kBar), at(80, kChildSection), at(113, kBar)});
    barLineC();
    childRule(true);
    barLineB();
    line({at(1, kBar), at(57, kBar), at(59, name + r.xm1), at(75, sex + r.xb3), at(85, kBar), at(87, name + r.xm2),
          at(103, sex + r.xb4), at(113, kBar)});
    barLineB();
    childRule(false);
    barLineB();
    line({at(1, kBar), at(57, kBar), at(59, born), number(r.cxny3), at(85, kBar), at(87, born), number(r.cxny4),
          at(113, kBar)});
    barLineB();
    childRule(false);
    barLineB();
    line({at(1, kBar), at(57, kBar), at(59, name + r.xm3), at(75, sex + r.xb5), at(85, kBar), at(87, name + r.xm4),
          at(103, sex + r.xb6), at(113, kBar)});
    barLineB();
    childRule(false);
    barLineB();
    line({at(1, kBar), at(57, kBar), at(59, born), number(r.cxny5), at(85, kBar), at(87, born), number(r.cxny6),
          at(113, kBar)});
    barLineB();
    rule("└───────────────────────────┴─────────────┴─────────────┘");
}

// A whole form with its title line (the usual title for an empty one).
void titledForm(const CheckInRecord& r, const QString& title) {
    emptyLines(2);
    font(18);
    line({at(11, title.isEmpty() ? QStringLiteral("Varnholt出租屋暂住人员情况登记表") : title)});
    font(10);
    emptyLines(2);
    registrationGrid(r);
}

}  // namespace

void PrintReceipt(BillRecord& bill, const QString& amountInWords) {
    roundBill(bill, OtherFees::AsTheyAre);
    paperPrompt();
    printing([&] {
        feeDocument(bill, amountInWords, std::nullopt, 3);
        printer().endDoc();
    });
}

void PrintBatchReceipt(BillRecord& bill, const QString& amountInWords) {
    roundBill(bill, OtherFees::AsTheyAre);
    printing([&] {
        feeDocument(bill, amountInWords, std::nullopt, 5);
        emptyLines(4);
    });
}

void PrintSettlement(BillRecord& bill, const QString& amountInWords, Money deposit, Money arrears) {
    roundBill(bill, OtherFees::AsTheyAre);
    paperPrompt();
    printing([&] {
        feeDocument(bill, amountInWords, Settled{deposit, arrears}, 3);
        printer().endDoc();
    });
}

void PrintRegForm(const CheckInRecord& registration, FormCode from, const QString& title, float offsetX,
                  float offsetY) {
    paperPrompt();
    printing([&] {
        titledForm(registration, title);
        if (from == FormCode::CheckIn) {
            // The check-in window's photo box stands elsewhere than the
            // records window's, whose offsets are the ones kept here; the
            // photo is measured from the records window's box so that it
            // lands in the photo cell either way. Offsets never set (both 0,
            // no print from the records window yet) are taken as that
            // window's start values.
            float x = offsetX, y = offsetY;
            if (x == 0 && y == 0) {
                x = kDefaultOffsetX;
                y = kDefaultOffsetY;
            }
            drawPhoto(photoOf(&windows::CheckInWindow::regPhoto), x, kRecordsPhotoTop - y);
        } else if (from == FormCode::Records) {
            drawPhoto(photoOf(&windows::RecordsWindow::regPhoto), offsetX, kRecordsPhotoTop - offsetY);
        }
        printer().endDoc();
    });
}

void PrintRegFormPair(const CheckInRecord& first, const CheckInRecord& second, FormCode from, const QString& title,
                      const PairOffsets& offsets) {
    paperPrompt();
    printing([&] {
        const bool withPhotos = from == FormCode::CheckIn || from == FormCode::Records;
        titledForm(first, title);
        if (withPhotos)
            drawPhoto(pairPhoto(windows::PairForm::First), offsets.X1, offsets.Y1 + kPairPhotoTop);

        // The second form directly below the first, without a title line.
        emptyLines(2);
        font(10);
        emptyLines(2);
        registrationGrid(second);
        if (withPhotos)
            drawPhoto(pairPhoto(windows::PairForm::Second), offsets.X2, offsets.Y2 + kPairPhotoTop);
        printer().endDoc();
    });
}

}  // namespace tv
