#include "fees/FrmZsdwh.h"

#include "fees/FeeRows.h"
#include "fees/FeeWidgets.h"
#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/StatusBox.h"
#include "platform/print/Printer.h"
#include "platform/values/Error.h"
#include "platform/values/Money.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintRoutines.h"
#include "shared/RMBChinese.h"
#include "shared/Receipt.h"
#include "shared/SharedState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalBlocker>

#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace tv::fees {

using forms::DataControl;

namespace {

const QString kAllBills = QStringLiteral("select * from [fzsdjs]");
const QString kAllRows = QStringLiteral("所有记录");
const QString kNoDate = QStringLiteral("'计费日期'字段不能为空");

// A billing date as typed, in the form a stored date reads as: a date typed
// "2024-3-1" or "2024/3/1" finds the bills of 2024-03-01; other text stays as
// typed.
QString dateKey(const QString& typed) {
    const std::optional<QDate> day = parseDate(typed);
    return day ? shortDate(*day) : typed;
}

void tell(const QString& text, const QString& title = dlg::kNoteTitle) { dlg::msgBox(text, dlg::Info, title); }

// The preview's labels that show a field of Data1's current row by themselves.
struct BoundLabel {
    QLabel* FrmZsdwhUi::*label;
    BillField field;
};
const BoundLabel kBoundLabels[] = {
    {&FrmZsdwhUi::Lelfjh1, fjh},    {&FrmZsdwhUi::Leljfrq, jfrq}, {&FrmZsdwhUi::Lelfjh, fjh},
    {&FrmZsdwhUi::Lelzj, zj},       {&FrmZsdwhUi::Lelzf, zf},     {&FrmZsdwhUi::Lelsfsd1, sfsd1},
    {&FrmZsdwhUi::Lelsfsd2, sfsd2}, {&FrmZsdwhUi::Lelbysb, bysb}, {&FrmZsdwhUi::Lelsysb, sysb},
    {&FrmZsdwhUi::Lelysl, ysl},     {&FrmZsdwhUi::Lelsdj, sdj},   {&FrmZsdwhUi::Lelbysf, sf},
    {&FrmZsdwhUi::Lelbydb, bydb},   {&FrmZsdwhUi::Lelsydb, sydb}, {&FrmZsdwhUi::Lelydl, ydl},
    {&FrmZsdwhUi::Lelddj, ddj},     {&FrmZsdwhUi::Leldf, df},     {&FrmZsdwhUi::Lelhj, hj}};

// Opens a source and counts its rows (all of them are listed when it opens);
// it stands on its first row.
void openCounted(DataControl* source, const QString& database, const QString& recordSource, int& count) {
    source->setDatabaseName(database);
    source->setRecordSource(recordSource);
    source->refresh();
    count = source->recordset().recordCount();
}

// Reads a source's rows again (its query kept); their count.
int reread(DataControl* source) {
    source->refresh();
    return source->recordset().recordCount();
}

}  // namespace

FrmZsdwh::FrmZsdwh() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

// ---------------------------------------------------------------- loading

void FrmZsdwh::onLoad() {
    FrmZsdwhUi& u = ui();
    SharedState& s = state();
    bindDataFile(s.DataFilePath);  // before the window shows: the status bar names it
    if (subWindow())
        subWindow()->showMaximized();
    try {
        loadSources();
    } catch (const std::exception&) {
        tell(QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！"));
        lockAfterFailure();
        return;
    }
    loadUser();
    fillList(u.CboCxfs,
             {QStringLiteral("日期+房号+姓名"), QStringLiteral("日期+房号"), QStringLiteral("日期+姓名"),
              QStringLiteral("日期+证号"), QStringLiteral("身份证号"), QStringLiteral("计费日期"), kAllRows});
    fillList(u.CboDel, {QStringLiteral("账单数据"), QStringLiteral("杂费数据")});
    fillList(u.CboBtth, {QStringLiteral("房屋租赁使用费收据"), QStringLiteral("房屋租赁使用费通知")});
    // Decorative pictures: a missing one leaves its place empty.
    forms::loadPicture(u.Image1, s.PicturePath + QStringLiteral("T70.jpg"));
    forms::loadPicture(u.Image2, s.PicturePath + QStringLiteral("zhjy.jpg"));
    for (QPushButton* b : {u.CmdDel, u.CmdQr, u.CmdCx}) b->setEnabled(false);
    showWorkPath(s.DatabasePath);
}

// Binds the fee records, other fees and registrations and counts them; a
// data file without those tables and fields raises.
void FrmZsdwh::loadSources() {
    FrmZsdwhUi& u = ui();
    SharedState& s = state();
    s.ActiveFormCode = FormCode::Fees;
    s.DatabasePath = s.DataFilePath;
    FeeRecordCount = OtherFeeCount = TenantCount = UserCount = 0;
    QStringList bills;
    for (int f = 0; f < kBillFields; ++f) bills << QString::fromLatin1(billFieldName(f));
    const QStringList others = {"jfrq", "fjh", "sfzhm", "kdf", "dtf", "wsf", "zaf", "wgf", "qtf", "hj"};
    if (!hasShape(s.DatabasePath, {{"fzsdjs", bills}, {"qtfy", others}, {"zfdj", {"sfzhm"}}}))
        throw DbError(QStringLiteral("数据表格式不符"));
    openCounted(u.Data1, s.DatabasePath, kAllBills, FeeRecordCount);
    listedDate.reset();
    if (FeeRecordCount == 0) {
        for (QPushButton* b : {u.CmdHz, u.CmdPrinter, u.CmdCx}) b->setEnabled(false);
    } else {
        u.Lelzdjl->setText(QString::number(FeeRecordCount));
    }
    Data1_Reposition();  // the caption with the count, the preview and its total
    openCounted(u.Data2, s.DatabasePath, QStringLiteral("qtfy"), OtherFeeCount);
    u.Data2->setCaption(positionCaption(QStringLiteral("其它费用表"), u.Data2, OtherFeeCount));
    openCounted(u.Data3, s.DatabasePath, QStringLiteral("zfdj"), TenantCount);
    u.Data3->setCaption(positionCaption(QStringLiteral("租客入住登记表"), u.Data3, TenantCount));
    if (TenantCount > 0)
        u.Lelzkjl->setText(QString::number(TenantCount));
}

// The user line: the logged-in user's name, or nothing when the user table
// does not know that user (or cannot be read).
void FrmZsdwh::loadUser() {
    FrmZsdwhUi& u = ui();
    try {
        openCounted(u.Data4, state().UserDbPath, QStringLiteral("yhzc"), UserCount);
        if (UserCount < 1)
            return;
        fdglcx();
        const Recordset& users = u.Data4->recordset();
        u.LelYhm->setText(users.hasCurrent() ? users.field(QStringLiteral("yhxm")).toText() : QString());
        u.LelGlcy->setText(QString::number(UserCount));
    } catch (const std::exception&) {
        u.LelYhm->clear();
    }
}

// After a failed load nothing but leaving makes sense.
void FrmZsdwh::lockAfterFailure() {
    FrmZsdwhUi& u = ui();
    for (QWidget* w : std::initializer_list<QWidget*>{u.CmdCx, u.CmdDel, u.CmdQr, u.CmdHz, u.CmdPrinter, u.CmdTfjs,
                                                      u.Check1, u.Check2, u.CboCxfs, u.CboDel, u.Txtjfrq, u.TxtFh,
                                                      u.Txtzk, u.Txtzh, u.DBGrid1, u.DBGrid2, u.Data1, u.Data2})
        w->setEnabled(false);
}

void FrmZsdwh::fdglcx() { findLoggedInUser(ui().Data4); }

// ---------------------------------------------------------------- rows

bool FrmZsdwh::hasCurrent(DataControl* source) const { return source->isOpen() && source->recordset().hasCurrent(); }

void FrmZsdwh::Data1_Reposition() {
    FrmZsdwhUi& u = ui();
    u.Data1->setCaption(positionCaption(QStringLiteral("租金水电费"), u.Data1, FeeRecordCount));
    u.Lelzdjl->setText(QString::number(FeeRecordCount));
    showBoundLabels();
    showAmount();
}

// The preview's labels show the current row's values, the amounts to the fen
// as the bill has them.
void FrmZsdwh::showBoundLabels() {
    FrmZsdwhUi& u = ui();
    const bool current = hasCurrent(u.Data1);
    for (const BoundLabel& b : kBoundLabels)
        (u.*b.label)
            ->setText(current
                          ? fieldText(u.Data1->recordset().field(QString::fromLatin1(billFieldName(b.field))), b.field)
                          : QString());
}

// The current row's total in capitals below the preview (nothing without a
// current row or a total); unless a run over the bills is pending it becomes
// the bill's total too.
void FrmZsdwh::showAmount() {
    FrmZsdwhUi& u = ui();
    const Value total = hasCurrent(u.Data1) ? u.Data1->recordset().field(QStringLiteral("hj")) : Value();
    u.Leldx->setText(total.isNull() ? QString() : RMBChinese(total.toMoney().toDouble()));
    SharedState& s = state();
    if (total.isNull() || s.BillRunPending)
        return;
    s.CurrentBill.hj = total.toMoney();
    s.AmountInWords = u.Leldx->text();
}

// A click on a fee record makes it the bill to print; the other fees follow
// its tenant.
void FrmZsdwh::DBGrid2_Click() {
    holdCurrentBill();
    qtfgl();
}

// Every field of the current fee record copied (a field without a value
// empties its member), the amounts to the fen, the total in capitals.
void FrmZsdwh::holdCurrentBill() {
    FrmZsdwhUi& u = ui();
    if (!hasCurrent(u.Data1))
        return;
    const Recordset& rs = u.Data1->recordset();
    SharedState& s = state();
    copyBill(rs, rs.absolutePosition(), s.CurrentBill, NullField::Empties, Amounts::Cents);
    showBoundLabels();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    u.Leldx->setText(s.AmountInWords);
}

void FrmZsdwh::qtfgl() {
    FrmZsdwhUi& u = ui();
    if (!hasCurrent(u.Data1) || !u.Data2->isOpen() || u.Data2->recordset().recordCount() == 0)
        return;
    const Value id = u.Data1->recordset().field(QStringLiteral("sfzhm"));
    if (id.isNull()) {  // nothing equals a missing ID number
        u.Data2->recordset().moveLast();
        u.Data2->recordset().moveNext();
        return;
    }
    u.Data2->findFirst({{QStringLiteral("sfzhm"), id.toText()}});
}

// Ties the fee record to the billing date, room and ID number of the chosen
// other-fee row; what cannot be applied is dropped, never left half edited.
void FrmZsdwh::DBGrid2_DblClick() {
    FrmZsdwhUi& u = ui();
    if (!u.Data1->isOpen() || u.Data1->recordset().recordCount() < 1)
        return;
    Recordset& bills = u.Data1->recordset();
    try {
        const Recordset& others = u.Data2->recordset();
        const Value date = others.field(QStringLiteral("jfrq")), room = others.field(QStringLiteral("fjh")),
                    id = others.field(QStringLiteral("sfzhm"));
        u.Data1->edit();
        bills.setField(QStringLiteral("jfrq"), date);
        bills.setField(QStringLiteral("fjh"), room);
        bills.setField(QStringLiteral("sfzhm"), id);
        u.Data1->update();
        u.Data1->refresh();
    } catch (const std::exception& e) {
        if (bills.editState() != Recordset::EditState::None)
            u.Data1->cancelUpdate();
        tell(forms::refusedWriteText(e, QStringLiteral("请正确选择对应的记录！")));
    }
}

// The other-fee row would take the bill's total into a field it does not
// have: it is dropped and the user told.
void FrmZsdwh::DBGrid1_DblClick() {
    FrmZsdwhUi& u = ui();
    if (!u.Data2->isOpen() || u.Data2->recordset().recordCount() < 1)
        return;
    Recordset& others = u.Data2->recordset();
    try {
        const Value total = u.Data1->recordset().field(QStringLiteral("hj"));
        u.Data2->edit();
        others.setField(QStringLiteral("zf"), total);
        u.Data2->update();
        u.Data2->refresh();
    } catch (const std::exception& e) {
        if (others.editState() != Recordset::EditState::None)
            u.Data2->cancelUpdate();
        tell(forms::refusedWriteText(e, QStringLiteral("请正确选择对应的记录！")));
    }
}

void FrmZsdwh::CboBtth_Click() {
    const QString receipt = QStringLiteral("房屋租赁使用费收据");
    ui().LelBt->setText(ui().CboBtth->currentText() == receipt ? receipt : QStringLiteral("房屋租赁使用费通知"));
}

// ---------------------------------------------------------------- search and delete

void FrmZsdwh::CboCxfs_Click() {
    FrmZsdwhUi& u = ui();
    for (QLineEdit* box : {u.TxtFh, u.Txtzk, u.Txtzh, u.Txtjfrq}) box->clear();
    // The inputs each mode leaves on: Txtjfrq, TxtFh, Txtzk, Txtzh.
    static const std::pair<const char*, const char*> modes[] = {
        {"日期+房号+姓名", "1110"}, {"日期+房号", "1100"}, {"日期+姓名", "1010"}, {"日期+证号", "1001"},
        {"身份证号", "0001"},       {"计费日期", "1000"},  {"所有记录", "0000"}};
    QLineEdit* inputs[] = {u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh};
    for (const auto& [name, pattern] : modes)
        if (u.CboCxfs->currentText() == QString::fromUtf8(name))
            for (int i = 0; i < 4; ++i) inputs[i]->setEnabled(pattern[i] == '1');
    u.CmdCx->setEnabled(true);
}

void FrmZsdwh::CmdCx_Click() {
    FrmZsdwhUi& u = ui();
    const SearchKeyRecord keys{
        .fjh = u.TxtFh->text(), .xm = u.Txtzk->text(), .sfzhm = u.Txtzh->text(), .jfrq = u.Txtjfrq->text()};
    const bool date = !keys.jfrq.isEmpty(), room = !keys.fjh.isEmpty(), name = !keys.xm.isEmpty(),
               id = !keys.sfzhm.isEmpty();
    const QString jfrqField = QStringLiteral("jfrq"), fjhField = QStringLiteral("fjh"), xmField = QStringLiteral("xm"),
                  idField = QStringLiteral("sfzhm");
    std::vector<std::pair<QString, QString>> scan;
    if (date && room && name)
        scan = {{jfrqField, keys.jfrq}, {fjhField, keys.fjh}, {xmField, keys.xm}};
    else if (date && room)
        scan = {{jfrqField, keys.jfrq}, {fjhField, keys.fjh}};
    else if (date && name)
        scan = {{jfrqField, keys.jfrq}, {xmField, keys.xm}};
    else if (date && id)
        scan = {{jfrqField, keys.jfrq}, {idField, keys.sfzhm}};
    else if (id)
        scan = {{idField, keys.sfzhm}};
    // A billing date alone is read before anything moves: text that is no
    // date leaves the window as it was.
    const std::optional<QDate> day = date && scan.empty() ? parseDate(keys.jfrq) : std::nullopt;
    try {
        if (!scan.empty()) {
            const bool found = u.Data1->findFirst(scan);
            u.TxtTs->setText(found ? forms::tips::kFoundOne : forms::tips::kNotFound);
            qtfgl();
        } else if (date) {
            if (!day)
                throw DbError(QStringLiteral("日期无效"));
            // The typed key is bound as a parameter, never written into the SQL.
            u.Data1->setRecordSource(QStringLiteral("select * from [fzsdjs] where [jfrq]=?"), {Value(*day)});
            listedDate = day;
            u.Data1->refresh();
            u.TxtTs->setText(forms::tips::kFoundMatching);
        } else if (u.CboCxfs->currentText() == kAllRows) {
            u.Data1->setRecordSource(kAllBills);
            listedDate.reset();
            u.Data1->refresh();
            u.TxtTs->setText(forms::tips::kShowingAll);
        }
        SharedState& s = state();
        const Value total = u.Data1->recordset().field(QStringLiteral("hj"));  // raises without a current row
        if (!total.isNull()) {
            s.CurrentBill.hj = total.toMoney();
            s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
        }
        showAmount();
    } catch (const std::exception&) {
        tell(QStringLiteral("数据查询失败！"));
        return;
    }
    for (QLineEdit* box : {u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh}) box->setEnabled(true);
    u.CmdCx->setEnabled(false);
}

void FrmZsdwh::CmdDel_Click() {
    FrmZsdwhUi& u = ui();
    const QString what = u.CboDel->currentText();
    if (what == QStringLiteral("账单数据")) {
        deleteRow(u.Data1, FeeRecordCount);
    } else if (what == QStringLiteral("杂费数据")) {
        deleteRow(u.Data2, OtherFeeCount);
    } else {  // nothing that can be deleted: asked all the same, nothing goes
        askDelete();
        showAmount();
        u.CmdDel->setEnabled(false);
    }
}

// Deletes the current row of `source` after asking; the next row (or the
// last, when the deleted one was the last) becomes current. Without a
// current row nothing happens. The totals go with a fee record deleted:
// they may have counted it.
void FrmZsdwh::deleteRow(DataControl* source, int& count) {
    FrmZsdwhUi& u = ui();
    if (!hasCurrent(source))
        return;
    const bool yes = askDelete() == dlg::Yes;
    try {
        if (yes) {
            Recordset& rs = source->recordset();
            source->remove();
            count = rs.recordCount();
            if (moveAfterDelete(rs) == AfterDelete::Empty)
                emit source->reposition();  // the caption shows the empty table
            if (source == u.Data1) {
                SummaryTotals = {};
                showTotals(nullptr);
            }
        }
        showAmount();
    } catch (const std::exception& e) {
        tell(forms::refusedWriteText(e, QStringLiteral("数据删除失败！")));
        return;
    }
    u.CmdDel->setEnabled(false);
    if (yes)
        u.TxtTs->setText(forms::tips::kDeleted);
}

// ---------------------------------------------------------------- recompute and totals

// The mode, and with it whether a run over the bills is pending (see
// SharedState::BillRunPending).
void FrmZsdwh::setMode(Mode mode) {
    EditMode = mode;
    state().BillRunPending = mode != Mode::None;
}

void FrmZsdwh::chooseBillsForBatch() { setMode(Mode::Bills); }

void FrmZsdwh::Check_Click(int n) {
    FrmZsdwhUi& u = ui();
    setMode(n == 1 ? Mode::Bills : Mode::OtherFees);
    u.CmdQr->setEnabled(true);
    (n == 1 ? u.Check2 : u.Check1)->setEnabled(false);
}

void FrmZsdwh::CmdQr_Click() {
    FrmZsdwhUi& u = ui();
    const QString date = u.Txtjfrq->text();
    if (date.isEmpty()) {
        tell(kNoDate, dlg::kHintTitle);
        return;
    }
    // Why it failed follows: nothing was changed.
    const QString failed = QStringLiteral("租金水电费数据刷新失败！");
    if (!parseDate(date)) {
        tell(failed + QStringLiteral("'计费日期'不是有效的日期：") + date, dlg::kHintTitle);
        return;
    }
    SummaryTotals.jfrq = date;
    try {
        if (EditMode == Mode::Bills)
            recomputeBills(dateKey(date));
        else if (EditMode == Mode::OtherFees)
            recomputeOtherFees(dateKey(date));
    } catch (const std::exception& e) {
        tell(failed + errorText(e), dlg::kHintTitle);
        return;
    }
    endRecompute();
}

// The charges of every fee record of the date, and the readings of this
// month's rows, in one transaction: all of them or none.
void FrmZsdwh::recomputeBills(const QString& date) {
    FrmZsdwhUi& u = ui();
    SharedState& s = state();
    SummaryTotals.sf = SummaryTotals.df = SummaryTotals.zj = SummaryTotals.hj = Money();
    FeeRecordCount = reread(u.Data1);  // the date's bills as the file holds them now
    Recordset& rs = u.Data1->recordset();
    if (rs.recordCount() < 1) {
        u.TxtTs->setText(QStringLiteral("租金水电库中没有记录！"));
    } else {
        const int dateColumn = rs.columnIndex(QStringLiteral("jfrq"));
        Totals sums = SummaryTotals;
        BillRecord last = s.CurrentBill;
        try {
            // The rows are read again afterwards: nothing follows each of the moves.
            const QSignalBlocker quiet(u.Data1);
            rs.database()->transaction([&] {
                CarriedReadings carried(*rs.database(), date);
                for (int row = 0; row < rs.recordCount(); ++row) {
                    const Value day = rs.valueAt(row, dateColumn);
                    if (day.isNull() || day.toText() != date)
                        continue;
                    BillRecord b;
                    const uint32_t stored = copyBill(rs, row, b, NullField::Empties, Amounts::AsStored);
                    computeBill(b);  // as the monthly computation makes it, to the fen
                    sums.sf += b.sf;
                    sums.df += b.df;
                    sums.zj += b.zj;
                    sums.hj += b.hj;
                    rs.moveTo(row);
                    rs.edit();
                    // An amount or reading left empty stays empty.
                    setBillFields(rs, b, kComputedFields | (stored & kNumberFields));
                    rs.update();
                    carried.take(b, stored);  // the readings the next month starts from
                    last = b;
                }
            });
        } catch (...) {
            if (rs.editState() != Recordset::EditState::None)
                rs.cancelUpdate();
            u.Data1->refresh();  // the rows as the file holds them again
            throw;
        }
        SummaryTotals = sums;
        s.CurrentBill = last;
    }
    FeeRecordCount = reread(u.Data1);
    Data1_Reposition();
    showTotals(&sumText);
    const QString done = QStringLiteral("租金水电费数据刷新完毕！");
    u.TxtTs->setText(done);
    tell(done, dlg::kHintTitle);
}

// The totals of every other-fee row of the date, in one transaction.
void FrmZsdwh::recomputeOtherFees(const QString& date) {
    FrmZsdwhUi& u = ui();
    OtherFeeCount = reread(u.Data2);  // the date's rows as the file holds them now
    Recordset& rs = u.Data2->recordset();
    if (rs.recordCount() < 1) {
        u.TxtTs->setText(QStringLiteral("其它费用库中没有记录！"));
    } else {
        const int dateColumn = rs.columnIndex(QStringLiteral("jfrq"));
        try {
            const QSignalBlocker quiet(u.Data2);
            rs.database()->transaction([&] {
                for (int row = 0; row < rs.recordCount(); ++row) {
                    const Value day = rs.valueAt(row, dateColumn);
                    if (day.isNull() || day.toText() != date)
                        continue;
                    rs.moveTo(row);
                    auto amount = [&](const char* f) { return rs.field(QString::fromLatin1(f)).toMoney(); };
                    const Money total =
                        amount("kdf") + amount("dtf") + amount("wsf") + amount("zaf") + amount("wgf") + amount("qtf");
                    rs.edit();
                    rs.setField(QStringLiteral("hj"), Value(total));
                    rs.update();
                }
            });
        } catch (...) {
            if (rs.editState() != Recordset::EditState::None)
                rs.cancelUpdate();
            u.Data2->refresh();
            throw;
        }
    }
    OtherFeeCount = reread(u.Data2);
    u.Data2->setCaption(positionCaption(QStringLiteral("其它费用表"), u.Data2, OtherFeeCount));
    const QString done = QStringLiteral("其它费用数据刷新完毕！");
    u.TxtTs->setText(done);
    tell(done, dlg::kHintTitle);
}

// After a recompute: no mode, the current row's total shown, the boxes free
// again (without their click handling).
void FrmZsdwh::endRecompute() {
    FrmZsdwhUi& u = ui();
    setMode(Mode::None);
    showAmount();
    for (QCheckBox* c : {u.Check1, u.Check2}) {
        c->setChecked(false);
        c->setEnabled(true);
    }
    u.CmdQr->setEnabled(false);
}

// The four sums in the total boxes, written by `form`; without one the
// boxes are emptied.
void FrmZsdwh::showTotals(QString (*form)(Money)) {
    FrmZsdwhUi& u = ui();
    const std::pair<QLineEdit*, Money> boxes[] = {{u.Txtsfhz, SummaryTotals.sf},
                                                  {u.Txtdfhz, SummaryTotals.df},
                                                  {u.TxtZjhj, SummaryTotals.zj},
                                                  {u.Txthjhz, SummaryTotals.hj}};
    for (const auto& [box, sum] : boxes) box->setText(form ? form(sum) : QString());
}

void FrmZsdwh::CmdHz_Click() {
    FrmZsdwhUi& u = ui();
    SharedState& s = state();
    setMode(Mode::Bills);  // the rows read again leave the bill held for printing
    Totals& t = SummaryTotals;
    t.sf = t.df = t.zj = t.hj = Money();
    if (u.Txtjfrq->text().isEmpty()) {
        tell(kNoDate, dlg::kHintTitle);
        return;
    }
    t.jfrq = u.Txtjfrq->text();
    FeeRecordCount = reread(u.Data1);
    Recordset& rs = u.Data1->recordset();
    if (rs.recordCount() < 1) {
        u.TxtTs->setText(QStringLiteral("租金水电库中没有记录！"));
    } else {
        // The date's bills as the file holds them now; blanks around and
        // letter case do not count here.
        const QString key = dateKey(t.jfrq).trimmed().toUpper();
        for (const BillRecord& b : storedBills(*rs.database(), listedDate,
                                               [&](const QString& day) { return day.trimmed().toUpper() == key; })) {
            t.sf += b.sf;
            t.df += b.df;
            t.zj += b.zj;
            t.hj += b.hj;
        }
        copyBill(rs, rs.recordCount() - 1, s.CurrentBill, NullField::Empties, Amounts::AsStored);
    }
    Data1_Reposition();
    showTotals([](Money m) { return format00(m); });
    setMode(Mode::None);
    showAmount();
    u.Txtjfrq->clear();
    const QString done = QStringLiteral("租金水电费数据汇总完毕！");
    u.TxtTs->setText(done);
    tell(done, dlg::kHintTitle);
}

// ---------------------------------------------------------------- printing and exit

void FrmZsdwh::Zddy() {
    FrmZsdwhUi& u = ui();
    SharedState& s = state();
    if (!u.Data1->isOpen() || u.Data1->recordset().recordCount() < 1) {
        tell(QStringLiteral("数据表没有记录！"), dlg::kHintTitle);
        return;
    }
    if (u.Txtjfrq->text().isEmpty()) {
        tell(kNoDate, dlg::kHintTitle);
        return;
    }
    const QString date = u.Txtjfrq->text();
    dlg::msgBox(QStringLiteral("请调整好纸宽后：按(确认)后继续！"), dlg::OkOnly, dlg::kNoteTitle);
    // The bills of the date as the file holds them now, in the order Data1 lists them.
    const std::vector<BillRecord> batch = storedBills(*u.Data1->recordset().database(), listedDate,
                                                      [key = dateKey(date)](const QString& day) { return day == key; });
    print::Printer& printer = print::Printer::device();
    // The bill handed to the printer last, with its total in capitals: it
    // becomes the bill held for printing, unless the print is cancelled.
    BillRecord bill = s.CurrentBill;
    QString words = s.AmountInWords;
    // A cancel drops the whole job: nothing is printed.
    dlg::Progress progress(QStringLiteral("打印收据"), QStringLiteral("正在打印计费日期为“%1”的收据").arg(date),
                           static_cast<qint64>(batch.size()), dlg::Progress::Unit::Receipts);
    try {
        int onSheet = 0;
        for (size_t i = 0; i < batch.size() && progress.advance(static_cast<qint64>(i)); ++i) {
            bill = batch[i];
            words = RMBChinese(bill.hj.toDouble());
            if (++onSheet == 4) {
                dlg::msgBox(QStringLiteral("请换纸，调整好纸宽后：按(确认)后继续！"), dlg::OkOnly, dlg::kNoteTitle);
                progress.restartClock();  // the time the paper took is not printing
                onSheet = 1;
                printer.newPage();  // three receipts to a sheet, none split over two
            }
            PrintBatchReceipt(bill, words);
        }
        if (progress.advance(static_cast<qint64>(batch.size())))
            printer.endDoc();
    } catch (...) {
        if (printer.isOpen())
            printer.abort();
        s.CurrentBill = bill;
        s.AmountInWords = words;
        throw;
    }
    if (progress.cancelled()) {
        if (printer.isOpen())
            printer.abort();
        tell(QStringLiteral("打印已取消，没有打印任何收据。"));
        return;
    }
    u.Data1->refresh();
    s.CurrentBill = bill;
    s.AmountInWords = words;
    tell(QStringLiteral("报表输出完毕：按(确认)后结束！"));
}

void FrmZsdwh::CmdExit_Click() {
    leaveDataFile();
    unload();
}

}  // namespace tv::fees
