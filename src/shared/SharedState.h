#pragma once
// The state that every window shares: paths, the logged-in user, the mode
// strings, the records held for printing, search keys, totals and the
// settlement amounts. Every variable starts empty and none is saved.

#include "platform/values/Money.h"

#include <QLatin1String>
#include <QString>

#include <cstdint>

namespace tv {

// A registration row of zfdj without the photo, member by member.
struct CheckInRecord {
    QString fjh{};
    int16_t jzrs = 0;
    QString xm{}, dw{}, dh{}, yh{}, wh{};
    int16_t n1 = 0, n2 = 0;
    QString rzrq{}, lkrq{}, sfzhm{};
    QString fq{}, xb1{}, cxny1{}, mq{}, xb2{}, cxny2{};
    QString xm1{}, xb3{}, cxny3{}, xm2{}, xb4{}, cxny4{}, xm3{}, xb5{}, cxny5{}, xm4{}, xb6{}, cxny6{};
    QString ysno{};
};

// A fee record of fzsdjs.
struct BillRecord {
    QString jfrq{}, fjh{}, xm{}, sfzhm{};
    Money zj{};
    QString sfsd1{}, sfsd2{};
    float bysb = 0, sysb = 0, ysl = 0;
    Money sdj{}, sf{};
    float bydb = 0, sydb = 0, ydl = 0;
    Money ddj{}, df{}, zf{}, hj{};
};

// A row of qtfy.
struct OtherFeesRecord {
    QString jfrq{}, fjh{}, sfzhm{};
    Money kdf{}, dtf{}, wsf{}, zaf{}, wgf{}, qtf{}, hj{};
};

struct SearchKeyRecord {
    QString fjh{}, xm{}, sfzhm{}, ysno{}, jfrq{};
};

// The fee records window's sums of one billing date, exact as money.
struct SummaryTotalsRecord {
    Money sf{}, df{}, zj{}, hj{};
    QString jfrq{};
};

struct PairOffsetRecord {
    float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

// The values EditMode takes (stored and compared as these very strings).
namespace mode {
inline constexpr QLatin1String OneSheet("YE1");   // one registration per sheet
inline constexpr QLatin1String TwoSheets("YE2");  // two registrations per sheet
inline constexpr QLatin1String Refresh("YA");     // computation: all bills afresh; fee records window: fee records
inline constexpr QLatin1String Add("YB");  // computation: this month's bills added; fee records window: other fees
inline constexpr QLatin1String ModifyRow("Y1");  // a grid row being modified
inline constexpr QLatin1String AddRow("Y2");     // a grid row being added
}  // namespace mode

// The values ActiveFormCode takes: which data window loaded last.
namespace formcode {
inline constexpr QLatin1String CheckIn("YE1");
inline constexpr QLatin1String Records("YE2");
inline constexpr QLatin1String Billing("YE3");
inline constexpr QLatin1String Fees("YE4");  // the fee records and the settlement window
}  // namespace formcode

struct SharedState {
    // Paths
    QString DataFilePath{}, DatabasePath{}, UserDbPath{}, PicturePath{}, AppDir{}, HelpFilePath{}, StatementDir{};
    // Logged-in user
    QString CurrentUser{}, CurrentPassword{};
    // Modes
    QString EditMode{}, ActiveFormCode{}, OpDialogMode{}, PrintPrompt{};
    QString PrintChoice{};  // the input box's answer text
    // Print titles
    QString ReceiptTitle{}, RegFormTitle{}, ElderSectionTitle{}, ChildSectionTitle{};
    // Print offsets (twips)
    float PrintOffsetX = 0, PrintOffsetY = 0;
    PairOffsetRecord PairOffsets;
    // Registration records
    CheckInRecord CurrentCheckIn, SecondCheckIn;
    SearchKeyRecord SearchKeys;
    // The bill
    BillRecord CurrentBill;
    QString AmountInWords{};
    OtherFeesRecord CurrentOtherFees;
    QString LastMonthDate{};
    // Totals and settlement amounts
    SummaryTotalsRecord SummaryTotals;
    Money SettleDeposit{}, SettleArrears{};
    // Exchange
    QString AccessFilePath{}, ExcelFilePath{};
    int16_t ExcelFieldCount = 0, AccessFieldCount = 0;
};

// The one shared copy.
SharedState& state();
// Tests: every variable back to its start value.
void resetState();

// Empties the bill, its other fees and LastMonthDate ("0") in the fixed order.
void ClearCurrentBill();

}  // namespace tv
