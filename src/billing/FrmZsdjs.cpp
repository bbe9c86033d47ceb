#include "billing/FrmZsdjs.h"

#include "billing/ReceiptFile.h"
#include "platform/db/Database.h"
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
#include "platform/values/Error.h"
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

// Each data source's table, and its caption without the position.
struct SourceNames {
    const char *table, *title;
};
const BySource<SourceNames> kNames{{{{"fzsdjs", "租金水电计算"},
                                     {"bysj", "租金水电数据录入"},
                                     {"sysj", "租金水电数据关联"},
                                     {"zfdj", "租客入住登记表"},
                                     {"qtfy", "其它费用表"}}}};

// The sources that follow the tenant of a source's current row, after a
// click on that row or a search that found it.
std::vector<Source> followersOf(Source from) {
    switch (from) {
        case Source::Bills:
            return {Source::ThisMonth, Source::OtherFees, Source::LastMonth};
        case Source::ThisMonth:
            return {Source::LastMonth, Source::OtherFees};
        case Source::Registrations:
            return {Source::ThisMonth, Source::OtherFees, Source::LastMonth, Source::Bills};
        default:
            return {};
    }
}

// What each target of 查询 reads: the registrations (by ID number, or
// narrowed to a room or a status), the rows of one source (scanned), or the
// bills and both months' rows of two billing dates (narrowed).
enum class Reads { Registrations, Rows, Dates };
struct SearchTarget {
    const char* name;
    Reads reads;
    Source source;
};
const SearchTarget kSearchTargets[] = {{"租客登记", Reads::Registrations, Source::Registrations},
                                       {"本月数据", Reads::Rows, Source::ThisMonth},
                                       {"上月数据", Reads::Rows, Source::LastMonth},
                                       {"账单数据", Reads::Rows, Source::Bills},
                                       {"计费数据", Reads::Dates, Source::Bills}};

// The keys a row scan matches: the first rule whose boxes all hold text.
enum class Key { Date, Room, Name, Id };
const std::vector<Key> kScanRules[] = {
    {Key::Date, Key::Room, Key::Name}, {Key::Date, Key::Room}, {Key::Date, Key::Name}, {Key::Date, Key::Id}, {Key::Id}};

// The fields and keys of the first scan rule the typed keys fill; none when
// no rule is filled.
std::vector<std::pair<QString, QString>> scanMatch(const SearchKeyRecord& keys) {
    auto field = [&](Key k) -> std::pair<QString, QString> {
        switch (k) {
            case Key::Date:
                return {QStringLiteral("jfrq"), keys.jfrq};
            case Key::Room:
                return {QStringLiteral("fjh"), keys.fjh};
            case Key::Name:
                return {QStringLiteral("xm"), keys.xm};
            default:
                return {QStringLiteral("sfzhm"), keys.sfzhm};
        }
    };
    for (const std::vector<Key>& rule : kScanRules) {
        std::vector<std::pair<QString, QString>> match;
        for (Key k : rule)
            if (const auto f = field(k); !f.second.isEmpty())
                match.push_back(f);
        if (match.size() == rule.size())
            return match;
    }
    return {};
}

const QString kFormatMessage = QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
const QString kPickRow = QStringLiteral("请正确选择对应的记录！");
const QString kAllRows = QStringLiteral("所有记录");

void info(const QString& text, const QString& title = dlg::kNoteTitle) { dlg::msgBox(text, dlg::Info, title); }

// Rooms for a message: every one of them (a long box scrolls).
QString roomList(const QStringList& rooms) { return rooms.join(QStringLiteral("、")); }

// The question of both imports. One that would lose the readings of
// `rooms` says so (`loss` names them as %1), and 否 is its default.
bool askImport(const QStringList& rooms, const QString& loss) {
    const QString sure = QStringLiteral("您真的要导入数据吗?");
    const QString title = QStringLiteral("导入数据");
    if (rooms.isEmpty())
        return dlg::msgBox(sure, dlg::YesNo | dlg::Info, title) == dlg::Yes;
    return dlg::msgBox(loss.arg(roomList(rooms)) + sure, dlg::YesNo | dlg::Info | dlg::DefaultButton2, title) ==
           dlg::Yes;
}

// What the monthly import would lose: this month's readings never carried over.
const QString kMonthImportLoss = QStringLiteral(
    "以下房间本月的水电表读数还没有导入上月数据：%1。\n导入本月数据会删除这些读数，"
    "下次计算就没有这些房间的上月读数了；请先按'上月数据导入'。\n");
// What the carry-over would lose: last month's readings of rooms whose
// readings of this month are not typed yet.
const QString kCarryOverLoss = QStringLiteral(
    "以下房间本月的水电表读数还没有填写：%1。\n上月数据导入会用本月数据替换上月数据，"
    "这些房间的上月读数就没有了，下次计算就没有这些房间的上月读数了；请先填写本月读数。\n");

// A question of the computation, 否 its default.
bool askFirst(const QString& text) {
    return dlg::msgBox(text, dlg::YesNo | dlg::Info | dlg::DefaultButton2, dlg::kHintTitle) == dlg::Yes;
}

// What the keeper said 否 to, if anything.
enum class Declined { Nothing, Deletion, Twice, Missing, BelowZero };

// Asks about what the computation does only with the keeper's word; what
// they agree to goes into `agreed`. Stops at the first 否.
Declined agreeTo(const Consent& found, Consent& agreed) {
    if (!found.otherDates.empty()) {
        QStringList dates;
        int bills = 0;
        for (const auto& [date, n] : found.otherDates) {
            dates << QStringLiteral("%1：%2条").arg(date).arg(n);
            bills += n;
        }
        if (!askFirst(
                QStringLiteral("刷新数据会删除以下计费日期的账单，删除后不能恢复：\n%1\n共%2条。只添加本月的账单请选"
                               "'添加数据'。\n您真的要删除这些账单吗?")
                    .arg(dates.join(QLatin1Char('\n')))
                    .arg(bills)))
            return Declined::Deletion;
        agreed.otherDates = found.otherDates;
    }
    if (!found.billedBefore.empty()) {
        QStringList dates;
        for (const auto& [date, rooms] : found.billedBefore) dates << date + QStringLiteral("：") + roomList(rooms);
        if (!askFirst(
                QStringLiteral("以下计费日期已经有这些房间的账单，再添加就会重复计费：\n%1\n您真的要再添加这些账单吗?")
                    .arg(dates.join(QLatin1Char('\n')))))
            return Declined::Twice;
        agreed.billedBefore = found.billedBefore;
    }
    if (!found.noLastMonth.isEmpty() || !found.noOtherFees.isEmpty()) {
        QString rooms;
        if (!found.noLastMonth.isEmpty())
            rooms += QStringLiteral(
                         "以下房间没有上月读数（新租客、没有身份证号、上月日期输错或上月数据没有正确导入？），"
                         "上月水电表读数将按0计算，用水量和用电量就是水电表的全部读数：\n") +
                     roomList(found.noLastMonth) + QLatin1Char('\n');
        if (!found.noOtherFees.isEmpty())
            rooms += QStringLiteral("以下房间没有其它费用记录，其它费用将按0计算：\n") + roomList(found.noOtherFees) +
                     QLatin1Char('\n');
        if (!askFirst(rooms + QStringLiteral("您真的要这样计算吗?")))
            return Declined::Missing;
        agreed.noLastMonth = found.noLastMonth;
        agreed.noOtherFees = found.noOtherFees;
    }
    if (!found.belowZero.empty()) {
        QStringList rooms;
        for (const BelowZero& b : found.belowZero)
            rooms << b.room + (b.ysl < 0 ? QStringLiteral("  用水量 ") + format00(b.ysl) : QString()) +
                         (b.ydl < 0 ? QStringLiteral("  用电量 ") + format00(b.ydl) : QString());
        if (!askFirst(QStringLiteral("以下房间的用水量或用电量小于零（换了水电表、读数输错或上月数据没有导入？）：\n") +
                      rooms.join(QLatin1Char('\n')) + QStringLiteral("\n您真的要按这些读数计算吗?")))
            return Declined::BelowZero;
        agreed.belowZero = found.belowZero;
    }
    return Declined::Nothing;
}

// The amounts a row's total (hj) adds up: a bill's, or the other fees.
const std::vector<const char*>& addendsOf(Source n) {
    static const std::vector<const char*> bill{"zj", "sf", "df", "zf"}, fees{"kdf", "dtf", "wsf", "zaf", "wgf", "qtf"};
    return n == Source::Bills ? bill : fees;
}

// The total of a row's amounts, exactly, each as it is stored (one typed
// and not stored yet as its store will convert it): empty when one of them
// is; nothing when one does not convert (its store refuses it, naming it).
std::optional<Value> totalOf(const Recordset& rs, Source n) {
    Money total;
    bool empty = false;
    for (const char* f : addendsOf(n)) {
        const QString name = QString::fromLatin1(f);
        Value v = rs.field(name);  // raises for a field the table lacks
        try {
            v = Database::convert(v, rs.columns()[static_cast<size_t>(rs.columnIndex(name))].kind);
        } catch (const DbError&) {
            return std::nullopt;
        }
        if (!v.isNumber())
            empty = true;
        else if (!empty)
            total += v.toMoney();
    }
    return empty ? Value() : Value(total);
}

}  // namespace

FrmZsdjs::FrmZsdjs() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

QString FrmZsdjs::sourceTitle(Source n) { return QString::fromUtf8(kNames[n].title); }

// ---------------------------------------------------------------- loading

void FrmZsdjs::onLoad() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    Count = {};
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
    for (Source n : kSources) {
        u.Data[n]->setDatabaseName(state().DatabasePath);
        setSource(n);
        u.Data[n]->refresh();
        recount(n);
    }
    if (Count[Source::ThisMonth] == 0)
        u.CmdSydr->setEnabled(false);
    if (Count[Source::Registrations] == 0)
        u.CmdBydr->setEnabled(false);
    if (Count[Source::Bills] == 0)
        u.CmdPrinter->setEnabled(false);
}

// A file of another shape: nothing but leaving makes sense.
void FrmZsdjs::lockAfterFailure() {
    for (QWidget* w : widget()->findChildren<QWidget*>(
             QRegularExpression(QStringLiteral("^(Cmd|Check|Txt|Cbo|DBGrid|Data|DrvList|DirList|FilList)"))))
        w->setEnabled(w == ui().CmdExtt);
}

// ---------------------------------------------------------------- data sources

Shown FrmZsdjs::shown(Source n) const { return {QString::fromLatin1(kNames[n].table), where_[n], params_[n]}; }

void FrmZsdjs::setSource(Source n, const QString& where, std::vector<Value> params) {
    where_[n] = where;
    params_[n] = params;
    ui().Data[n]->setRecordSource(shown(n).select(), std::move(params));
}

// The source's rows narrowed anew (none of `where`: all of them), read again.
void FrmZsdjs::filter(Source n, const QString& where, std::vector<Value> params) {
    setSource(n, where, std::move(params));
    ui().Data[n]->refresh();
}

// A source with rows is counted and shown from its first row. Its rows are
// all listed when it opens: no move to its last row is needed to count them,
// and a source its refresh left on the first row needs no move at all.
void FrmZsdjs::recount(Source n) {
    Recordset& rs = ui().Data[n]->recordset();
    if (rs.recordCount() < 1)
        return;
    Count[n] = rs.recordCount();
    if (rs.hasCurrent() && rs.absolutePosition() == 0)
        caption(n);
    else
        rs.moveFirst();
}

void FrmZsdjs::caption(Source n) {
    ui().Data[n]->setCaption(forms::positionCaption(sourceTitle(n), ui().Data[n], Count[n]));
}

bool FrmZsdjs::hasCurrentRow() const { return hasCurrent(Source::Bills); }

bool FrmZsdjs::hasCurrent(Source n) const { return ui().Data[n]->isOpen() && ui().Data[n]->recordset().hasCurrent(); }

int FrmZsdjs::rows(Source n) { return ui().Data[n]->isOpen() ? ui().Data[n]->recordset().recordCount() : 0; }

// The caption; for the bills, outside a run over the bills, the total in words.
void FrmZsdjs::Data_Reposition(Source n) {
    if (!hasUi())
        return;
    caption(n);
    SharedState& s = state();
    if (n != Source::Bills || s.BillRunPending || !hasCurrent(Source::Bills))
        return;
    const Value hj = ui().Data[Source::Bills]->recordset().field(QStringLiteral("hj"));
    s.CurrentBill.hj = hj.isNull() ? Money() : hj.toMoney();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
}

void FrmZsdjs::followTenant(Source from) {
    for (Source target : followersOf(from)) align(target, from);
}

// The target's first row of the tenant of the source's current row (by ID
// number), within the target's rows as shown; past its last row when none.
// Without a current row in the source, or rows in the target, nothing moves.
void FrmZsdjs::align(Source target, Source from) {
    if (!hasCurrent(from) || rows(target) < 1)
        return;
    const Value id = ui().Data[from]->recordset().field(QStringLiteral("sfzhm"));
    if (id.isNull()) {  // nothing equals a missing ID number
        Recordset& rs = ui().Data[target]->recordset();
        rs.moveLast();
        rs.moveNext();
        return;
    }
    ui().Data[target]->findFirst({{QStringLiteral("sfzhm"), id.toText()}});
}

// ---------------------------------------------------------------- mode boxes

// The mode, and whether it makes a run over the bills pending: while one is,
// a move to another bill in any bill window leaves the bill held for printing.
void FrmZsdjs::setMode(Mode mode) {
    EditMode = mode;
    state().BillRunPending = mode == Mode::Refresh || mode == Mode::Add;
}

void FrmZsdjs::Check_Click(int n) {
    FrmZsdjsUi& u = ui();
    if (n <= 2) {
        setMode(n == 1 ? Mode::Refresh : Mode::Add);
        u.CmdJs->setEnabled(true);
        QCheckBox* other = n == 1 ? u.Check2 : u.Check1;
        other->setChecked(false);  // no click: the mode is this box's
        other->setEnabled(false);
        for (QWidget* w : std::initializer_list<QWidget*>{u.Txtjfrq, u.TxtSfsd, u.TxtSyrq}) w->setEnabled(true);
        for (QWidget* w : std::initializer_list<QWidget*>{u.CboCxfs, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz})
            w->setEnabled(false);
    } else {
        setMode(n == 3 ? Mode::ModifyRow : Mode::AddRow);
        (n == 3 ? u.Check4 : u.Check3)->setEnabled(false);
    }
}

// ---------------------------------------------------------------- the month's rows

void FrmZsdjs::CmdBydr_Click() {
    FrmZsdjsUi& u = ui();
    if (u.Txtjfrq->text().isEmpty() || u.Cboxz->currentText().isEmpty()) {
        info(QStringLiteral("'计费日期'和'房间现状'两个选项不能为空"), dlg::kHintTitle);
        return;
    }
    const QString status = u.Cboxz->currentText();
    const std::optional<QDate> date = parseDate(u.Txtjfrq->text());
    bool imported = false;
    try {
        // Readings of this month that last month's rows do not hold go with
        // the rows: the question names their rooms, and is asked anew when
        // another program changed them meanwhile.
        QStringList lost = notCarriedOver(dataFile(), shown(Source::ThisMonth));
        while (!imported && askImport(lost, kMonthImportLoss)) {
            if (!date)
                throw DbError(QStringLiteral("计费日期不是日期。"));
            const std::optional<QStringList> found =
                importMonth(dataFile(), shown(Source::ThisMonth), shown(Source::OtherFees),
                            shown(Source::Registrations), status, *date, lost);
            imported = !found;
            lost = found.value_or(QStringList());
        }
    } catch (const std::exception&) {
        info(QStringLiteral("本月数据导入失败！"));  // nothing was changed
        return;
    }
    if (imported) {
        for (Source n : {Source::ThisMonth, Source::OtherFees}) filter(n, {}, {});
        info(QStringLiteral("数据导入完毕：按'确定'后结束！"));
        recount(Source::ThisMonth);
        recount(Source::OtherFees);
    }
    u.Data[Source::Registrations]->refresh();
    u.Data[Source::Registrations]->moveLast();
    u.CmdBydr->setEnabled(true);
    enableForRows();
    u.TxtTs->setText(QStringLiteral("本月数据导入完毕"));
}

void FrmZsdjs::CmdSydr_Click() {
    FrmZsdjsUi& u = ui();
    bool carried = false;
    try {
        // Last month's readings that this month's rows do not hold yet go
        // with the rows: the question names their rooms, and is asked anew
        // when another program changed them meanwhile.
        QStringList lost = readingsToGo(dataFile(), shown(Source::LastMonth), shown(Source::ThisMonth));
        while (!carried && askImport(lost, kCarryOverLoss)) {
            const std::optional<QStringList> found =
                carryOver(dataFile(), shown(Source::LastMonth), shown(Source::ThisMonth), lost);
            carried = !found;
            lost = found.value_or(QStringList());
        }
    } catch (const std::exception&) {
        info(QStringLiteral("上月数据导入失败！"));  // sysj is as it was
        return;
    }
    if (carried) {
        filter(Source::LastMonth, {}, {});
        info(QStringLiteral("数据导入完毕：按'确定'后结束！"));
        recount(Source::LastMonth);
    }
    u.Data[Source::ThisMonth]->refresh();
    u.Data[Source::ThisMonth]->moveLast();
    u.TxtTs->setText(QStringLiteral("上月数据导入完毕"));
}

// The buttons that need rows follow them: 上月数据导入 once this month has
// rows, 打印 once there is a bill.
void FrmZsdjs::enableForRows() {
    if (rows(Source::ThisMonth) > 0)
        ui().CmdSydr->setEnabled(true);
    if (rows(Source::Bills) > 0)
        ui().CmdPrinter->setEnabled(true);
}

// ---------------------------------------------------------------- the computation

void FrmZsdjs::CmdJs_Click() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    const bool replace = EditMode == Mode::Refresh;
    if (!replace && EditMode != Mode::Add) {
        info(QStringLiteral("请选择'刷新数据'或'添加数据'计算方式！"), dlg::kHintTitle);
        return;
    }
    ClearCurrentBill();
    LastMonthDate = QStringLiteral("0");
    OtherFees = OtherFeesRecord{};
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
    s.CurrentBill.sfsd2 = u.TxtSfsd->text();
    s.CurrentBill.sfsd1 = u.Txtjfrq->text();
    LastMonthDate = u.TxtSyrq->text();
    Run run{.dataFile = dataFile(),
            .replace = replace,
            .billingDate = u.Txtjfrq->text(),
            .periodEnd = u.TxtSfsd->text(),
            .lastMonthDate = u.TxtSyrq->text(),
            .bysj = shown(Source::ThisMonth),
            .sysj = shown(Source::LastMonth),
            .qtfy = shown(Source::OtherFees),
            .fzsdjs = shown(Source::Bills)};
    const QString status = u.TxtTs->text();
    if (replace && rows(Source::Bills) > 0)
        u.TxtTs->setText(QStringLiteral("正在计算租金水电费，请稍侯......"));
    RunResult result;
    try {
        // What needs the keeper's word is asked before anything is written;
        // the computation then runs told what they agreed to, and stops to
        // ask anew when another program changed that meanwhile.
        while (!(result = compute(run)).toAgree.empty())
            if (const Declined no = agreeTo(result.toAgree, run.agreed); no != Declined::Nothing) {
                u.TxtTs->setText(status);  // nothing was changed
                if (no == Declined::Deletion)
                    u.Check2->setEnabled(true);  // 添加数据 instead, as the question says
                return;
            }
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
        OtherFees = result.lastOtherFees;
        s.AmountInWords = result.lastWords;
    } else {
        u.TxtTs->setText(QStringLiteral("本月租金水电库中没有记录！"));
    }
    filter(Source::Bills, {}, {});
    if (result.bills > 0) {
        u.Data[Source::ThisMonth]->refresh();
        recount(Source::Bills);
    }
    setMode(Mode::None);
    if (!result.receiptsKept.isEmpty())
        info(QStringLiteral(
                 "租金水电费已计算，账单已保存，但收据现在写不进去：%1\n这些收据已保留，下次计算时写入收据文件。")
                 .arg(result.receiptsKept),
             dlg::kHintTitle);
    u.TxtTs->setText(QStringLiteral("租金水电费计算完成！"));
    info(u.TxtTs->text(), dlg::kHintTitle);
    endComputation();
    enableForRows();
}

void FrmZsdjs::endComputation() {
    FrmZsdjsUi& u = ui();
    for (QCheckBox* b : {u.Check1, u.Check2}) {
        b->setChecked(false);  // no click: no mode is chosen
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
    const Recordset& rs = ui().Data[Source::Bills]->recordset();
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
    if (!hasCurrent(Source::Bills))
        return;
    SharedState& s = state();
    copyBill();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
}

void FrmZsdjs::DBGrid1_Click() {
    if (!hasCurrent(Source::Bills) || rows(Source::Bills) < 1)
        return;
    holdCurrentBill();
    followTenant(Source::Bills);
}

void FrmZsdjs::DBGrid2_Click() {
    if (rows(Source::ThisMonth) < 1)
        return;
    followTenant(Source::ThisMonth);
}

void FrmZsdjs::DBGrid4_Click() {
    if (rows(Source::Registrations) < 1)
        return;
    followTenant(Source::Registrations);
}

// The current other-fee row into OtherFees; an empty field leaves its member.
void FrmZsdjs::DBGrid5_Click() {
    if (!hasCurrent(Source::OtherFees) || rows(Source::OtherFees) < 1)
        return;
    const Recordset& rs = ui().Data[Source::OtherFees]->recordset();
    OtherFeesRecord& o = OtherFees;
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
void FrmZsdjs::totalRow(Source n) {
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
        rs.setField(QStringLiteral("hj"), totalOf(rs, n).value_or(Value()));
        d->update();
    } catch (const std::exception& e) {
        if (d->isOpen() && d->recordset().editState() != Recordset::EditState::None)
            d->cancelUpdate();  // never left half-edited
        info(forms::refusedWriteText(e, kPickRow));
    }
}

// A fee typed into an other-fee row takes the row's total with it as the row
// is stored, unless the total was typed too: that is kept as typed.
void FrmZsdjs::DBGrid5_BeforeStore(Recordset& row, const QStringList& typed) {
    const std::vector<const char*>& fees = addendsOf(Source::OtherFees);
    if (typed.contains(QStringLiteral("hj")) ||
        std::none_of(fees.begin(), fees.end(), [&](const char* f) { return typed.contains(QLatin1String(f)); }))
        return;
    if (const std::optional<Value> total = totalOf(row, Source::OtherFees))
        row.setField(QStringLiteral("hj"), *total);
}

// Last month's and the other-fee row made from this month's row, or this
// month's and the other-fee row from a registration: the tenant's current
// rows modified (ModifyRow) or new rows added (AddRow).
void FrmZsdjs::makeRows(Source from) {
    FrmZsdjsUi& u = ui();
    const Mode mode = EditMode;
    if (!u.DBGrid[from]->commitPendingRow())
        return;  // what was typed was refused, and told; it waits to be corrected
    using Copy = std::vector<std::pair<const char*, const char*>>;  // field written, field read
    const std::vector<std::pair<Source, Copy>> targets =
        from == Source::ThisMonth
            ? std::vector<std::pair<Source, Copy>>{{Source::LastMonth,
                                                    {{"jfrq", "jfrq"},
                                                     {"fjh", "fjh"},
                                                     {"xm", "xm"},
                                                     {"sfzhm", "sfzhm"},
                                                     {"zj", "zj"},
                                                     {"sysb", "bysb"},
                                                     {"sdj", "sdj"},
                                                     {"sydb", "bydb"},
                                                     {"ddj", "ddj"}}},
                                                   {Source::OtherFees,
                                                    {{"jfrq", "jfrq"}, {"fjh", "fjh"}, {"sfzhm", "sfzhm"}}}}
            : std::vector<std::pair<Source, Copy>>{
                  {Source::ThisMonth, {{"fjh", "fjh"}, {"xm", "xm"}, {"sfzhm", "sfzhm"}}},
                  {Source::OtherFees, {{"fjh", "fjh"}, {"sfzhm", "sfzhm"}}}};
    if (rows(from) >= 1) {
        if (mode == Mode::ModifyRow || mode == Mode::AddRow) {
            for (const auto& [target, copy] : targets) {
                DataControl* d = u.Data[target];
                try {
                    const Recordset& source = u.Data[from]->recordset();
                    mode == Mode::ModifyRow ? d->edit() : d->addNew();
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
    if (from == Source::Registrations)
        u.CmdBydr->setEnabled(true);
    enableForRows();
}

void FrmZsdjs::resetRowMode() {
    setMode(Mode::None);
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
    const SearchKeyRecord keys{u.TxtFh->text(), u.Txtzk->text(), u.Txtzh->text(), u.Cboxz->currentText(),
                               u.Txtjfrq->text()};
    LastMonthDate = u.TxtSyrq->text();
    const QString chosen = u.CboCxxx->currentText();
    const auto target = std::find_if(std::begin(kSearchTargets), std::end(kSearchTargets),
                                     [&](const SearchTarget& t) { return chosen == QString::fromUtf8(t.name); });
    const bool allRows = u.CboCxfs->currentText() == kAllRows;
    auto failed = [] { info(QStringLiteral("数据查询失败！")); };
    // Dates typed for a filter are read before anything moves.
    std::optional<QDate> day, lastDay;
    const bool byDates = target != std::end(kSearchTargets) && target->reads == Reads::Dates && !keys.jfrq.isEmpty() &&
                         !LastMonthDate.isEmpty();
    if (byDates && (!(day = parseDate(keys.jfrq)) || !(lastDay = parseDate(LastMonthDate))))
        return failed();
    try {
        if (target != std::end(kSearchTargets)) {
            switch (target->reads) {
                case Reads::Registrations:
                    searchRegistrations(keys, allRows);
                    break;
                case Reads::Rows:
                    searchRows(target->source, keys);
                    break;
                case Reads::Dates:
                    filterByDates(day, lastDay, allRows);
                    break;
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

// The row scan of a source: the first row whose fields equal the keys
// becomes current.
void FrmZsdjs::scan(Source n, const std::vector<std::pair<QString, QString>>& match) {
    ui().TxtTs->setText(ui().Data[n]->findFirst(match) ? forms::tips::kFoundOne : forms::tips::kNotFound);
}

// A registration by its ID number (the tenant's rows follow it), or the
// registrations of a room or of a room status, or all of them.
void FrmZsdjs::searchRegistrations(const SearchKeyRecord& keys, bool allRows) {
    FrmZsdjsUi& u = ui();
    const Source n = Source::Registrations;
    if (!keys.sfzhm.isEmpty()) {
        scan(n, {{QStringLiteral("sfzhm"), keys.sfzhm}});
        followTenant(n);
    } else if (!keys.fjh.isEmpty() || !keys.ysno.isEmpty()) {
        const bool byRoom = !keys.fjh.isEmpty();
        filter(n, byRoom ? QStringLiteral("where [fjh]=?") : QStringLiteral("where [ysno]=?"),
               {Value(byRoom ? keys.fjh : keys.ysno)});
        u.TxtTs->setText(forms::tips::kFoundMatching);
    } else if (allRows) {
        filter(n, {}, {});
        u.TxtTs->setText(forms::tips::kShowingAll);
    }
}

// The first row of a source that matches the keys typed (the tenant's rows
// follow it); for the bills, the current bill's total in words after it.
void FrmZsdjs::searchRows(Source n, const SearchKeyRecord& keys) {
    if (const auto match = scanMatch(keys); !match.empty()) {
        scan(n, match);
        followTenant(n);
    }
    if (n != Source::Bills)
        return;
    SharedState& s = state();
    const Value hj = ui().Data[n]->recordset().field(QStringLiteral("hj"));  // raises without a row
    if (!hj.toText().isEmpty())
        s.CurrentBill.hj = hj.toMoney();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
}

// The bills and this month's rows of one billing date with last month's rows
// of the other, or all of their rows again.
void FrmZsdjs::filterByDates(const std::optional<QDate>& day, const std::optional<QDate>& lastDay, bool allRows) {
    FrmZsdjsUi& u = ui();
    const QString byDate = QStringLiteral("where [jfrq]=?");
    if (day && lastDay) {
        filter(Source::Bills, byDate, {Value(*day)});
        filter(Source::ThisMonth, byDate, {Value(*day)});
        filter(Source::LastMonth, byDate, {Value(*lastDay)});
        u.TxtTs->setText(forms::tips::kFoundMatching);
    } else if (allRows) {
        for (Source n : {Source::Bills, Source::ThisMonth, Source::LastMonth}) filter(n, {}, {});
        u.TxtTs->setText(forms::tips::kShowingAll);
    } else {
        info(QStringLiteral("'计费日期'和'上月日期'字段不能为空！"));
    }
}

// ---------------------------------------------------------------- delete and exit

void FrmZsdjs::CmdDel_Click() {
    FrmZsdjsUi& u = ui();
    static const std::pair<const char*, Source> choices[] = {{"账单数据", Source::Bills},
                                                             {"本月数据", Source::ThisMonth},
                                                             {"上月数据", Source::LastMonth},
                                                             {"杂费数据", Source::OtherFees}};
    std::optional<Source> n;
    for (const auto& [name, source] : choices)
        if (u.CboDel->currentText() == QString::fromUtf8(name))
            n = source;
    u.CmdDel->setEnabled(false);
    if (n && !hasCurrent(*n))
        return;  // no row to delete: nothing to ask
    if (askDelete() == dlg::Yes && n && !deleteRow(*n))
        u.CmdDel->setEnabled(true);
}

// The Delete key in a grid asks first.
void FrmZsdjs::DBGrid_DeleteRequested(Source n) {
    if (askDelete() == dlg::Yes)
        deleteRow(n);
}

// The current row of source n only: the tenant's rows elsewhere stay.
bool FrmZsdjs::deleteRow(Source n) {
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
