#include "billing/FrmZsdjs.h"

#include "billing/ReceiptFile.h"
#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/Guard.h"
#include "platform/forms/PickerLists.h"
#include "platform/forms/StatusBox.h"
#include "platform/forms/WindowParts.h"
#include "platform/shell/Shell.h"
#include "platform/values/Money.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintChoice.h"
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>

#include <algorithm>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace tv::billing {

using forms::DataControl;
using forms::DataGrid;
using forms::GridColumn;

namespace {

const char* const kTables[5] = {"fzsdjs", "bysj", "sysj", "zfdj", "qtfy"};
const QString kFormatMessage = QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
const QString kPickRow = QStringLiteral("请正确选择对应的记录！");
const QString kAllRows = QStringLiteral("所有记录");

void info(const QString& text, const QString& title = dlg::kNoteTitle) { dlg::msgBox(text, dlg::Info, title); }

// Rooms for a message: every one of them (a long box scrolls).
QString roomList(const QStringList& rooms) { return rooms.join(QStringLiteral("、")); }

QString errorText(const std::exception& e) {
    if (const auto* db = dynamic_cast<const DbError*>(&e))
        return db->text();
    return QString::fromUtf8(e.what());
}

}  // namespace

FrmZsdjs::FrmZsdjs() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

QString FrmZsdjs::sourceTitle(int n) {
    static const char* const titles[5] = {"租金水电计算", "租金水电数据录入", "租金水电数据关联", "租客入住登记表",
                                          "其它费用表"};
    return QString::fromUtf8(titles[n]);
}

// ---------------------------------------------------------------- loading

void FrmZsdjs::onLoad() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    Count.fill(0);
    s.ActiveFormCode = FormCode::Billing;
    s.DatabasePath = s.DataFilePath;
    bindDataFile(s.DatabasePath);
    if (subWindow())
        subWindow()->showMaximized();
    else
        widget()->showMaximized();
    forms::fillList(u.Cboxz, {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"),
                              QStringLiteral("已订"), QStringLiteral("自用")});
    forms::fillList(u.CboCxfs, {QStringLiteral("日期+房号+姓名"), QStringLiteral("日期+房号"),
                                QStringLiteral("日期+姓名"), QStringLiteral("日期+证号"), QStringLiteral("计费日期"),
                                QStringLiteral("身份证号"), QStringLiteral("房号"), QStringLiteral("现状"), kAllRows});
    forms::fillList(u.CboDel, {QStringLiteral("本月数据"), QStringLiteral("上月数据"), QStringLiteral("账单数据"),
                               QStringLiteral("杂费数据")});
    forms::fillList(u.CboCxxx, {QStringLiteral("租客登记"), QStringLiteral("本月数据"), QStringLiteral("上月数据"),
                                QStringLiteral("账单数据"), QStringLiteral("计费数据")});
    forms::fillList(u.CboLx, {QStringLiteral("所有文件(*.*)"), QStringLiteral("(*.txt)")});
    ViewerFolder.clear();
    LastClickedFile.clear();
    try {
        if (!hasShape(s.DatabasePath, dataFileShape()))
            throw DbError(kFormatMessage);
        loadSources();
    } catch (const std::exception&) {
        info(kFormatMessage);
        lockAfterFailure();
        showWorkPath(s.DatabasePath);
        return;
    }
    // Decorative pictures: a missing one leaves its place empty.
    forms::loadPicture(u.Image1, s.PicturePath + QStringLiteral("Snap1.jpg"));
    forms::loadPicture(u.Image2, s.PicturePath + QStringLiteral("zhjy.jpg"));
    for (QWidget* w : std::initializer_list<QWidget*>{u.CmdCx, u.CmdDel, u.CmdJs, u.TxtSyrq}) w->setEnabled(false);
    showWorkPath(s.DatabasePath);
    // Receipts of a computation that was cut short go in now, or go away.
    try {
        ReceiptFile::recover(s.DatabasePath);
    } catch (const std::exception& e) {
        info(errorText(e));
    }
}

void FrmZsdjs::loadSources() {
    FrmZsdjsUi& u = ui();
    for (int n = 0; n < 5; ++n) {
        u.Data[n]->setDatabaseName(state().DatabasePath);
        setSource(n);
        u.Data[n]->refresh();
        recount(n);
    }
    if (Count[1] == 0)
        u.CmdSydr->setEnabled(false);
    if (Count[3] == 0)
        u.CmdBydr->setEnabled(false);
    if (Count[0] == 0)
        u.CmdPrinter->setEnabled(false);
}

// A file of another shape: nothing but leaving makes sense.
void FrmZsdjs::lockAfterFailure() {
    for (QWidget* w : widget()->findChildren<QWidget*>(
             QRegularExpression(QStringLiteral("^(Cmd|Check|Txt|Cbo|DBGrid|Data|DrvList|DirList|FilList)"))))
        w->setEnabled(w == ui().CmdExtt);
}

// ---------------------------------------------------------------- data sources

Shown FrmZsdjs::shown(int n) const { return {QString::fromLatin1(kTables[n]), where_[n], params_[n]}; }

void FrmZsdjs::setSource(int n, const QString& where, std::vector<Value> params) {
    where_[n] = where;
    params_[n] = params;
    ui().Data[n]->setRecordSource(shown(n).select(), std::move(params));
}

// A source with rows is counted and shown from its first row. Its rows are
// all listed when it opens: no move to its last row is needed to count them,
// and a source its refresh left on the first row needs no move at all.
void FrmZsdjs::recount(int n) {
    Recordset& rs = ui().Data[n]->recordset();
    if (rs.recordCount() < 1)
        return;
    Count[n] = rs.recordCount();
    if (rs.hasCurrent() && rs.absolutePosition() == 0)
        caption(n);
    else
        rs.moveFirst();
}

void FrmZsdjs::caption(int n) {
    ui().Data[n]->setCaption(forms::positionCaption(sourceTitle(n), ui().Data[n], Count[n]));
}

bool FrmZsdjs::hasCurrentRow() const { return hasCurrent(0); }

bool FrmZsdjs::hasCurrent(int n) const { return ui().Data[n]->isOpen() && ui().Data[n]->recordset().hasCurrent(); }

int FrmZsdjs::rows(int n) { return ui().Data[n]->isOpen() ? ui().Data[n]->recordset().recordCount() : 0; }

// The caption; for the bills, outside a computation, the total in words.
void FrmZsdjs::Data_Reposition(int n) {
    if (!hasUi())
        return;
    caption(n);
    SharedState& s = state();
    if (n != 0 || s.EditMode == mode::Refresh || s.EditMode == mode::Add || !hasCurrent(0))
        return;
    const Value hj = ui().Data[0]->recordset().field(QStringLiteral("hj"));
    s.CurrentBill.hj = hj.isNull() ? Money() : hj.toMoney();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
}

// The target's first row of the tenant of the source's current row (by ID
// number), within the target's rows as shown; past its last row when none.
// Without a current row in the source, or rows in the target, nothing moves.
void FrmZsdjs::align(int target, int source) {
    if (!hasCurrent(source) || rows(target) < 1)
        return;
    const Value id = ui().Data[source]->recordset().field(QStringLiteral("sfzhm"));
    if (id.isNull()) {  // nothing equals a missing ID number
        Recordset& rs = ui().Data[target]->recordset();
        rs.moveLast();
        rs.moveNext();
        return;
    }
    ui().Data[target]->findFirst({{QStringLiteral("sfzhm"), id.toText()}});
}

// ---------------------------------------------------------------- mode boxes

void FrmZsdjs::Check_Click(int n) {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    if (n <= 2) {
        s.EditMode = n == 1 ? QString(mode::Refresh) : QString(mode::Add);
        u.CmdJs->setEnabled(true);
        (n == 1 ? u.Check2 : u.Check1)->setEnabled(false);
        for (QWidget* w : std::initializer_list<QWidget*>{u.Txtjfrq, u.TxtSfsd, u.TxtSyrq}) w->setEnabled(true);
        for (QWidget* w : std::initializer_list<QWidget*>{u.CboCxfs, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz})
            w->setEnabled(false);
    } else {
        s.EditMode = n == 3 ? QString(mode::ModifyRow) : QString(mode::AddRow);
        (n == 3 ? u.Check4 : u.Check3)->setEnabled(false);
    }
}

// ---------------------------------------------------------------- the month's rows

void FrmZsdjs::CmdBydr_Click() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    if (u.Txtjfrq->text().isEmpty() || u.Cboxz->currentText().isEmpty()) {
        info(QStringLiteral("'计费日期'和'房间现状'两个选项不能为空"), dlg::kHintTitle);
        return;
    }
    SearchKeyRecord& keys = s.SearchKeys;
    keys = {u.TxtFh->text(), u.Txtzk->text(), u.Txtzh->text(), u.Cboxz->currentText(), u.Txtjfrq->text()};
    const dlg::Button answer =
        dlg::msgBox(QStringLiteral("您真的要导入数据吗?"), dlg::YesNo | dlg::Info, QStringLiteral("导入数据"));
    ImportAnswer = QString::number(static_cast<int>(answer));
    if (answer == dlg::Yes) {
        const std::optional<QDate> date = parseDate(keys.jfrq);
        try {
            if (!date)
                throw DbError(QStringLiteral("计费日期不是日期。"));
            importMonth(s.DatabasePath, shown(1), shown(4), shown(3), keys.ysno, *date);
        } catch (const std::exception&) {
            info(QStringLiteral("本月数据导入失败！"));  // nothing was changed
            return;
        }
        for (int n : {1, 4}) {
            setSource(n);
            u.Data[n]->refresh();
        }
        info(QStringLiteral("数据导入完毕：按'确定'后结束！"));
        recount(1);
        recount(4);
    }
    u.Data[3]->refresh();
    u.Data[3]->moveLast();
    u.CmdBydr->setEnabled(true);
    u.TxtTs->setText(QStringLiteral("本月数据导入完毕"));
}

void FrmZsdjs::CmdSydr_Click() {
    FrmZsdjsUi& u = ui();
    const dlg::Button answer =
        dlg::msgBox(QStringLiteral("您真的要导入数据吗?"), dlg::YesNo | dlg::Info, QStringLiteral("导入数据"));
    ImportAnswer = QString::number(static_cast<int>(answer));
    if (answer == dlg::Yes) {
        try {
            carryOver(state().DatabasePath, shown(2), shown(1));
        } catch (const std::exception&) {
            info(QStringLiteral("上月数据导入失败！"));  // sysj is as it was
            return;
        }
        setSource(2);
        u.Data[2]->refresh();
        info(QStringLiteral("数据导入完毕：按'确定'后结束！"));
        recount(2);
    }
    u.Data[1]->refresh();
    u.Data[1]->moveLast();
    u.TxtTs->setText(QStringLiteral("上月数据导入完毕"));
}

// ---------------------------------------------------------------- the computation

void FrmZsdjs::CmdJs_Click() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    const bool replace = s.EditMode == mode::Refresh;
    if (!replace && s.EditMode != mode::Add) {
        info(QStringLiteral("请选择'刷新数据'或'添加数据'计算方式！"), dlg::kHintTitle);
        return;
    }
    ClearCurrentBill();
    const std::pair<QLineEdit*, const char*> required[] = {{u.Txtjfrq, "'计费日期'字段不能为空"},
                                                           {u.TxtSfsd, "'计费时段'字段不能为空"},
                                                           {u.TxtSyrq, "'上月日期'字段不能为空"}};
    for (const auto& [box, message] : required)
        if (box->text().isEmpty()) {
            info(QString::fromUtf8(message), dlg::kHintTitle);
            return;
        }
    if (!parseDate(u.Txtjfrq->text())) {
        info(QStringLiteral("'计费日期'不是有效的日期：") + u.Txtjfrq->text(), dlg::kHintTitle);
        return;
    }
    s.SearchKeys.jfrq = u.Txtjfrq->text();
    s.CurrentBill.sfsd2 = u.TxtSfsd->text();
    s.CurrentBill.sfsd1 = u.Txtjfrq->text();
    s.LastMonthDate = u.TxtSyrq->text();
    const Run run{.dataFile = s.DatabasePath,
                  .replace = replace,
                  .billingDate = u.Txtjfrq->text(),
                  .periodEnd = u.TxtSfsd->text(),
                  .lastMonthDate = u.TxtSyrq->text(),
                  .bysj = shown(1),
                  .sysj = shown(2),
                  .qtfy = shown(4),
                  .fzsdjs = shown(0)};
    const QString status = u.TxtTs->text();
    if (replace && rows(0) > 0)
        u.TxtTs->setText(QStringLiteral("正在计算租金水电费，请稍侯......"));
    RunResult result;
    try {
        result = compute(run);
    } catch (const std::exception& e) {
        u.TxtTs->setText(status);
        info(QStringLiteral("租金水电费计算失败，数据没有改变：") + errorText(e));
        return;
    }
    if (!result.incomplete.isEmpty()) {
        u.TxtTs->setText(status);
        info(QStringLiteral("以下房间的计费日期、租金、水电表读数或单价没有填写，请先填写：") +
                 roomList(result.incomplete),
             dlg::kHintTitle);
        return;
    }
    if (result.bills > 0) {
        s.CurrentBill = result.lastBill;
        s.CurrentOtherFees = result.lastOtherFees;
        s.AmountInWords = result.lastWords;
    } else {
        u.TxtTs->setText(QStringLiteral("本月租金水电库中没有记录！"));
    }
    setSource(0);
    u.Data[0]->refresh();
    if (result.bills > 0) {
        u.Data[1]->refresh();
        recount(0);
    }
    s.EditMode.clear();
    QStringList missing;
    if (!result.noLastMonth.isEmpty())
        missing << QStringLiteral("以下房间没有上月读数：") + roomList(result.noLastMonth);
    if (!result.noOtherFees.isEmpty())
        missing << QStringLiteral("以下房间没有其它费用记录：") + roomList(result.noOtherFees);
    if (!missing.isEmpty())
        info(missing.join(QLatin1Char('\n')), dlg::kHintTitle);
    if (!result.receiptsKept.isEmpty())
        info(QStringLiteral(
                 "租金水电费已计算，账单已保存，但收据现在写不进去：%1\n这些收据已保留，下次计算时写入收据文件。")
                 .arg(result.receiptsKept),
             dlg::kHintTitle);
    u.TxtTs->setText(QStringLiteral("租金水电费计算完成！"));
    info(u.TxtTs->text(), dlg::kHintTitle);
    endComputation();
}

void FrmZsdjs::endComputation() {
    FrmZsdjsUi& u = ui();
    for (QCheckBox* b : {u.Check1, u.Check2}) {
        b->setChecked(false);  // no click: EditMode stays ""
        b->setEnabled(true);
    }
    u.CmdJs->setEnabled(false);
    for (QLineEdit* b : {u.Txtjfrq, u.TxtSfsd, u.TxtSyrq}) b->clear();
    u.TxtSyrq->setEnabled(false);
    for (QWidget* w :
         std::initializer_list<QWidget*>{u.Txtjfrq, u.TxtSfsd, u.CboCxfs, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz})
        w->setEnabled(true);
}

// ---------------------------------------------------------------- grid rows

// The current fee record into CurrentBill; an empty field empties its member,
// so that nothing of a bill chosen before stays.
void FrmZsdjs::copyBill() {
    const Recordset& rs = ui().Data[0]->recordset();
    BillRecord& b = state().CurrentBill;
    auto text = [&](const char* f) { return rs.field(QString::fromLatin1(f)).toText(); };
    auto money = [&](const char* f) {
        const Value v = rs.field(QString::fromLatin1(f));
        return v.isNull() ? Money() : v.toMoney();
    };
    auto single = [&](const char* f) { return rs.field(QString::fromLatin1(f)).toSingle(); };
    b = {text("jfrq"),   text("fjh"),    text("xm"),    text("sfzhm"), money("zj"), text("sfsd1"),  text("sfsd2"),
         single("bysb"), single("sysb"), single("ysl"), money("sdj"),  money("sf"), single("bydb"), single("sydb"),
         single("ydl"),  money("ddj"),   money("df"),   money("zf"),   money("hj")};
}

void FrmZsdjs::holdCurrentBill() {
    if (!hasCurrent(0))
        return;
    SharedState& s = state();
    copyBill();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
}

void FrmZsdjs::DBGrid1_Click() {
    if (!hasCurrent(0) || rows(0) < 1)
        return;
    holdCurrentBill();
    bysjgl1();
    qtfgl1();
    sysjgl1();
}

void FrmZsdjs::DBGrid2_Click() {
    if (rows(1) < 1)
        return;
    sysjgl();
    qtfgl3();
}

void FrmZsdjs::DBGrid4_Click() {
    if (rows(3) < 1)
        return;
    bysjgl();
    qtfgl2();
    sysjgl2();
    zjsdgl();
}

// The current other-fee row into CurrentOtherFees; an empty field leaves its member.
void FrmZsdjs::DBGrid5_Click() {
    if (!hasCurrent(4) || rows(4) < 1)
        return;
    const Recordset& rs = ui().Data[4]->recordset();
    OtherFeesRecord& o = state().CurrentOtherFees;
    for (auto [field, member] : {std::pair{"jfrq", &o.jfrq}, {"fjh", &o.fjh}, {"sfzhm", &o.sfzhm}})
        if (const Value v = rs.field(QString::fromLatin1(field)); !v.isNull() && !v.toText().isEmpty())
            *member = v.toText();
    for (auto [field, member] : {std::pair{"kdf", &o.kdf},
                                 {"dtf", &o.dtf},
                                 {"wsf", &o.wsf},
                                 {"zaf", &o.zaf},
                                 {"wgf", &o.wgf},
                                 {"qtf", &o.qtf},
                                 {"hj", &o.hj}})
        if (const Value v = rs.field(QString::fromLatin1(field)); !v.isNull())
            *member = v.toMoney();
}

// The row's total from its own amounts, exactly; an empty one empties it.
void FrmZsdjs::totalRow(int n, const std::vector<const char*>& addends) {
    DataControl* d = ui().Data[n];
    if (!ui().DBGrid[n]->commitPendingRow())
        return;  // what was typed was refused, and told; it waits to be corrected
    if (rows(n) < 1) {
        info(kPickRow);
        return;
    }
    try {
        d->edit();
        Recordset& rs = d->recordset();
        Money total;
        bool empty = false;
        for (const char* f : addends) {
            const Value v = rs.field(QString::fromLatin1(f));
            if (!v.isNumber())
                empty = true;
            else if (!empty)
                total += v.toMoney();
        }
        rs.setField(QStringLiteral("hj"), empty ? Value() : Value(total));
        d->update();
    } catch (const std::exception& e) {
        if (d->isOpen() && d->recordset().editState() != Recordset::EditState::None)
            d->cancelUpdate();  // never left half-edited
        info(forms::refusedWriteText(e, kPickRow));
    }
}

// Last month's and the other-fee row made from this month's row (from = 1),
// or this month's and the other-fee row from a registration (from = 3):
// the tenant's current rows modified ("Y1") or new rows added ("Y2").
void FrmZsdjs::makeRows(int from) {
    FrmZsdjsUi& u = ui();
    const QString editMode = state().EditMode;
    if (!u.DBGrid[from]->commitPendingRow())
        return;  // what was typed was refused, and told; it waits to be corrected
    using Copy = std::vector<std::pair<const char*, const char*>>;  // field written, field read
    const std::vector<std::pair<int, Copy>> targets =
        from == 1 ? std::vector<std::pair<int, Copy>>{{2,
                                                       {{"jfrq", "jfrq"},
                                                        {"fjh", "fjh"},
                                                        {"xm", "xm"},
                                                        {"sfzhm", "sfzhm"},
                                                        {"zj", "zj"},
                                                        {"sysb", "bysb"},
                                                        {"sdj", "sdj"},
                                                        {"sydb", "bydb"},
                                                        {"ddj", "ddj"}}},
                                                      {4, {{"jfrq", "jfrq"}, {"fjh", "fjh"}, {"sfzhm", "sfzhm"}}}}
                  : std::vector<std::pair<int, Copy>>{{1, {{"fjh", "fjh"}, {"xm", "xm"}, {"sfzhm", "sfzhm"}}},
                                                      {4, {{"fjh", "fjh"}, {"sfzhm", "sfzhm"}}}};
    if (rows(from) >= 1) {
        if (editMode == mode::ModifyRow || editMode == mode::AddRow) {
            for (const auto& [target, copy] : targets) {
                DataControl* d = u.Data[target];
                try {
                    const Recordset& source = u.Data[from]->recordset();
                    editMode == mode::ModifyRow ? d->edit() : d->addNew();
                    for (const auto& [to, field] : copy)
                        d->recordset().setField(QString::fromLatin1(to), source.field(QString::fromLatin1(field)));
                    d->update();
                } catch (const std::exception& e) {
                    if (d->isOpen() && d->recordset().editState() != Recordset::EditState::None)
                        d->cancelUpdate();
                    info(forms::refusedWriteText(e, kPickRow));  // rows written before stay; the mode stays
                    return;
                }
                d->refresh();
            }
        } else {
            info(QStringLiteral("请选定'修改记录'或'添加记录'选项，请选定操作方式！"));
        }
    }
    resetRowMode();
    if (from == 3)
        u.CmdBydr->setEnabled(true);
}

void FrmZsdjs::resetRowMode() {
    state().EditMode.clear();
    for (QCheckBox* b : {ui().Check3, ui().Check4}) {
        b->setChecked(false);  // no click: no mode is chosen
        b->setEnabled(true);
    }
}

// ---------------------------------------------------------------- query

void FrmZsdjs::CboCxfs_Click() {
    FrmZsdjsUi& u = ui();
    for (QLineEdit* b : {u.TxtFh, u.Txtzk, u.Txtzh}) b->clear();
    u.Cboxz->setCurrentIndex(-1);
    u.Cboxz->setEditText(QString());
    u.Txtjfrq->clear();
    // Txtjfrq, TxtFh, Txtzk, Txtzh, Cboxz, TxtSyrq: 1 on, 0 off, - as it is.
    static const std::pair<const char*, const char*> modes[] = {
        {"日期+房号+姓名", "11100-"}, {"日期+房号", "11000-"}, {"日期+姓名", "10100-"},
        {"日期+证号", "10010-"},      {"计费日期", "100001"},  {"身份证号", "00010-"},
        {"房号", "01000-"},           {"现状", "00001-"},      {"所有记录", "00000-"}};
    QWidget* inputs[] = {u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz, u.TxtSyrq};
    for (const auto& [name, pattern] : modes)
        if (u.CboCxfs->currentText() == QString::fromUtf8(name))
            for (int i = 0; i < 6; ++i)
                if (pattern[i] != '-')
                    inputs[i]->setEnabled(pattern[i] == '1');
}

void FrmZsdjs::CmdCx_Click() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    SearchKeyRecord& keys = s.SearchKeys;
    keys = {u.TxtFh->text(), u.Txtzk->text(), u.Txtzh->text(), u.Cboxz->currentText(), u.Txtjfrq->text()};
    s.LastMonthDate = u.TxtSyrq->text();
    const QString target = u.CboCxxx->currentText();
    const bool byDate = !keys.jfrq.isEmpty(), byRoom = !keys.fjh.isEmpty(), byName = !keys.xm.isEmpty(),
               byId = !keys.sfzhm.isEmpty(), allRows = u.CboCxfs->currentText() == kAllRows;
    auto failed = [] { info(QStringLiteral("数据查询失败！")); };
    // Dates typed for a filter are read before anything moves.
    std::optional<QDate> day, lastDay;
    const bool byDates = target == QStringLiteral("计费数据") && byDate && !s.LastMonthDate.isEmpty();
    if (byDates && (!(day = parseDate(keys.jfrq)) || !(lastDay = parseDate(s.LastMonthDate))))
        return failed();
    try {
        auto scan = [&](int n, std::vector<std::pair<QString, QString>> match) {
            u.TxtTs->setText(u.Data[n]->findFirst(match) ? forms::tips::kFoundOne : forms::tips::kNotFound);
        };
        auto filter = [&](int n, const QString& where, std::vector<Value> params) {
            setSource(n, where, std::move(params));
            u.Data[n]->refresh();
        };
        const QString jfrq = QStringLiteral("jfrq"), fjh = QStringLiteral("fjh"), xm = QStringLiteral("xm"),
                      sfzhm = QStringLiteral("sfzhm");
        if (target == QStringLiteral("租客登记")) {
            if (byId) {
                scan(3, {{sfzhm, keys.sfzhm}});
                bysjgl();
                qtfgl2();
                sysjgl2();
                zjsdgl();
            } else if (byRoom || !keys.ysno.isEmpty()) {
                filter(3, byRoom ? QStringLiteral("where [fjh]=?") : QStringLiteral("where [ysno]=?"),
                       {Value(byRoom ? keys.fjh : keys.ysno)});
                u.TxtTs->setText(forms::tips::kFoundMatching);
            } else if (allRows) {
                filter(3, {}, {});
                u.TxtTs->setText(forms::tips::kShowingAll);
            }
        } else if (const int n = target == QStringLiteral("本月数据")   ? 1
                                 : target == QStringLiteral("上月数据") ? 2
                                 : target == QStringLiteral("账单数据") ? 0
                                                                        : -1;
                   n >= 0) {
            bool scanned = true;
            if (byDate && byRoom && byName)
                scan(n, {{jfrq, keys.jfrq}, {fjh, keys.fjh}, {xm, keys.xm}});
            else if (byDate && byRoom)
                scan(n, {{jfrq, keys.jfrq}, {fjh, keys.fjh}});
            else if (byDate && byName)
                scan(n, {{jfrq, keys.jfrq}, {xm, keys.xm}});
            else if (byDate && byId)
                scan(n, {{jfrq, keys.jfrq}, {sfzhm, keys.sfzhm}});
            else if (byId)
                scan(n, {{sfzhm, keys.sfzhm}});
            else
                scanned = false;
            if (n == 1 && scanned) {
                sysjgl();
                qtfgl3();
            } else if (n == 0) {
                if (scanned) {
                    qtfgl1();
                    bysjgl1();
                    sysjgl1();
                }
                const Value hj = u.Data[0]->recordset().field(QStringLiteral("hj"));  // raises without a row
                if (!hj.toText().isEmpty())
                    s.CurrentBill.hj = hj.toMoney();
                s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
                u.TxtTs->setText(s.AmountInWords);
            }
        } else if (target == QStringLiteral("计费数据")) {
            if (byDates) {
                filter(0, QStringLiteral("where [jfrq]=?"), {Value(*day)});
                filter(1, QStringLiteral("where [jfrq]=?"), {Value(*day)});
                filter(2, QStringLiteral("where [jfrq]=?"), {Value(*lastDay)});
                u.TxtTs->setText(forms::tips::kFoundMatching);
            } else if (allRows) {
                for (int i : {0, 1, 2}) filter(i, {}, {});
                u.TxtTs->setText(forms::tips::kShowingAll);
            } else {
                info(QStringLiteral("'计费日期'和'上月日期'字段不能为空！"));
            }
        }
    } catch (const std::exception&) {
        return failed();
    }
    for (QWidget* w : std::initializer_list<QWidget*>{u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz})
        w->setEnabled(true);
    u.TxtSyrq->clear();
    u.TxtSyrq->setEnabled(false);
    u.CmdCx->setEnabled(false);
}

// ---------------------------------------------------------------- delete and exit

void FrmZsdjs::CmdDel_Click() {
    FrmZsdjsUi& u = ui();
    static const std::pair<const char*, int> choices[] = {
        {"账单数据", 0}, {"本月数据", 1}, {"上月数据", 2}, {"杂费数据", 4}};
    int n = -1;
    for (const auto& [name, source] : choices)
        if (u.CboDel->currentText() == QString::fromUtf8(name))
            n = source;
    u.CmdDel->setEnabled(false);
    if (n >= 0 && !hasCurrent(n))
        return;  // no row to delete: nothing to ask
    const dlg::Button answer = askDelete();
    ImportAnswer = QString::number(static_cast<int>(answer));
    if (n >= 0 && answer == dlg::Yes && !deleteRow(n))
        u.CmdDel->setEnabled(true);
}

// The Delete key in a grid asks first.
void FrmZsdjs::DBGrid_DeleteRequested(int n) {
    if (askDelete() == dlg::Yes)
        deleteRow(n);
}

// The current row of source n only: the tenant's rows elsewhere stay.
bool FrmZsdjs::deleteRow(int n) {
    FrmZsdjsUi& u = ui();
    if (!hasCurrent(n))
        return true;
    Recordset& rs = u.Data[n]->recordset();
    try {
        u.Data[n]->remove();
        moveAfterDelete(rs);
    } catch (const std::exception& e) {
        info(forms::refusedWriteText(e, QStringLiteral("数据删除失败！")));
        return false;
    }
    Count[n] = rs.recordCount();
    caption(n);
    u.TxtTs->setText(forms::tips::kDeleted);
    return true;
}

// ---------------------------------------------------------------- the receipt file

// The viewer opens the chosen file; with nothing chosen yet it says so.
void FrmZsdjs::CmdWj_Click() {
    FrmZsdjsUi& u = ui();
    if (u.TxtTs->text().isEmpty()) {
        info(QStringLiteral("请选择要浏览的文件！"), dlg::kHintTitle);
        return;
    }
    viewReceiptFile(ViewerFolder + u.FilList->fileName());
}

void FrmZsdjs::CboLx_Click() {
    const int i = ui().CboLx->currentIndex();
    if (i == 0 || i == 1)
        ui().FilList->setPattern(i == 0 ? QStringLiteral("*.*") : QStringLiteral("*.txt"));
}

void FrmZsdjs::DrvList_Change() { forms::followDrive(ui().DrvList, ui().DirList); }

void FrmZsdjs::DirList_Change() {
    FrmZsdjsUi& u = ui();
    u.FilList->setPath(u.DirList->path());
    u.TxtTs->setText(shell::join(u.DirList->path(), LastClickedFile));
    ViewerFolder = shell::join(u.DirList->path(), u.FilList->fileName());
}

void FrmZsdjs::FilList_Click(const QString& name) {
    LastClickedFile = name;
    ui().TxtTs->setText(ViewerFolder + name);
}

void FrmZsdjs::CmdExtt_Click() {
    leaveDataFile();
    unload();
}

}  // namespace tv::billing
