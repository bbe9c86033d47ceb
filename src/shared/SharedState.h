#pragma once
// The state that windows hand to one another: the paths, the logged-in user,
// which data window loaded last, the registrations-per-sheet choice, the
// records held for printing and the exchange windows' files. What only one
// window uses is that window's own. Every variable starts empty and none is
// saved.

#include "platform/values/Money.h"

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

// The keys a search copies from its boxes: room, name, ID number, room
// status, billing date.
struct SearchKeyRecord {
    QString fjh{}, xm{}, sfzhm{}, ysno{}, jfrq{};
};

// A data window, as the one that loaded last (ActiveFormCode) or as the one a
// registration form is printed for.
enum class FormCode : uint8_t {
    None,
    CheckIn,
    Records,
    Billing,
    Fees,  // the fee records and the settlement window
};

// How many registrations go on a sheet, as chosen last: in the check-in
// window's print question, the tenant records window's two boxes, the main
// window's print; a pair printed uses the choice up.
enum class Sheets : uint8_t { Unchosen, One, Two };

struct SharedState {
    // Paths: the data file chosen, the one the data window loaded last is
    // bound to, the user database, the pictures' folder.
    QString DataFilePath{}, DatabasePath{}, UserDbPath{}, PicturePath{};
    // The logged-in user.
    QString CurrentUser{}, CurrentPassword{};
    // The data window loaded last, and the registrations per sheet.
    FormCode ActiveFormCode = FormCode::None;
    Sheets SheetChoice = Sheets::Unchosen;
    // A run over the bills is chosen and not yet done: the computation
    // window's 刷新数据 or 添加数据, the fee records window's recompute, totals or
    // batch print. While it is, a move to another bill in any window of bills
    // leaves the bill held for printing as it is.
    bool BillRunPending = false;
    // The registration form: its title and where the photo of a form printed
    // alone goes (twips), as the tenant records window printed them last.
    QString RegFormTitle{};
    float PrintOffsetX = 0, PrintOffsetY = 0;
    // The registrations to print: the one, or the first and second of a pair.
    CheckInRecord CurrentCheckIn, SecondCheckIn;
    // The bill held for printing, and its total in capitals.
    BillRecord CurrentBill;
    QString AmountInWords{};
};

// The one shared copy.
SharedState& state();
// Tests: every variable back to its start value.
void resetState();

// Empties the bill held for printing (its total in words stays).
void ClearCurrentBill();

}  // namespace tv
