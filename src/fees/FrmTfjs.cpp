#include "fees/FrmTfjs.h"

#include "fees/FeeRows.h"
#include "fees/FeeWidgets.h"
#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/values/Money.h"
#include "platform/values/WholeFile.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintRoutines.h"
#include "shared/RMBChinese.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <cassert>
#include <exception>
#include <optional>

namespace tv::fees {

using forms::DataControl;
using forms::make;
using forms::setTwips;

namespace {

const QString kSettleTitle = QStringLiteral("房屋租赁使用费结算");
const QString kChooseMode = QStringLiteral("请选择是以'非欠租结算'还是'带欠租结算'方式计算");

void tell(const QString& text, const QString& title = dlg::kNoteTitle) { dlg::msgBox(text, dlg::Info, title); }

// The boxes of the form that show a member of the bill.
struct BillBox {
    BillField field;
    QLineEdit* FrmTfjsUi::*box;
};
const BillBox kBillBoxes[] = {{jfrq, &FrmTfjsUi::Txtjfrq}, {fjh, &FrmTfjsUi::Txtfjh},     {fjh, &FrmTfjsUi::TxtFh1},
                              {zj, &FrmTfjsUi::Txtzj},     {sfsd1, &FrmTfjsUi::Txtsfsd1}, {sfsd2, &FrmTfjsUi::Txtsfsd2},
                              {bysb, &FrmTfjsUi::Txtbysb}, {sysb, &FrmTfjsUi::Txtsysb},   {ysl, &FrmTfjsUi::Txtysl},
                              {sdj, &FrmTfjsUi::Txtsdj},   {sf, &FrmTfjsUi::Txtsf},       {bydb, &FrmTfjsUi::Txtbydb},
                              {sydb, &FrmTfjsUi::Txtsydb}, {ydl, &FrmTfjsUi::Txtydl},     {ddj, &FrmTfjsUi::Txtddj},
                              {df, &FrmTfjsUi::Txtdf},     {zf, &FrmTfjsUi::Txtzf},       {hj, &FrmTfjsUi::Txthj}};

// A deposit or arrears box: empty counts 0.
std::optional<Money> amountBox(const QLineEdit* box) {
    return box->text().trimmed().isEmpty() ? std::optional<Money>(Money()) : moneyOf(box->text());
}

}  // namespace

FrmTfjs::FrmTfjs() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

// ---------------------------------------------------------------- the window

void FrmTfjs::build(QWidget* root) {
    FrmTfjsUi& u = ui();
    root->setWindowTitle(QStringLiteral("租客退房结算"));
    root->resize(forms::pixels(designSize()));
    // Created in the order Tab walks them: the grid, the working controls and
    // buttons, the form.
    u.Data1 = make<DataControl>(root, "Data1");
    u.Data1->setCaption(QStringLiteral("租金水电费"));
    u.Data1->setToolTip(QStringLiteral("租金水电费数据表"));
    u.Data1->setReadOnly(true);
    greenStrip(u.Data1);
    u.DBGrid1 =
        feeGrid(root, "DBGrid1", QStringLiteral("租金水电费数据表"), u.Data1, billColumns(true), &u.DBGrid1Caption);
    u.DBGrid1->setAllowAddNew(false);
    u.DBGrid1->setAllowUpdate(false);
    u.DBGrid1->setAllowDelete(false);
    setTwips(u.DBGrid1Caption, 120, 120, 15360, 300);
    setTwips(u.DBGrid1, 120, 420, 15360, 2700);
    setTwips(u.Data1, 120, 3120, 15360, 375);
    buildWorking(root);
    buildForm(root);
    connectHandlers(root);
}

void FrmTfjs::buildWorking(QWidget* root) {
    FrmTfjsUi& u = ui();
    auto box = [&](const char* label, const char* labelName, const char* name, int left, int top, int width) {
        caption(root, labelName, QString::fromUtf8(label), left, top, 1080);
        auto* b = make<QLineEdit>(root, name);
        setTwips(b, left + 1080, top, width, 300);
        return b;
    };
    u.TxtByts = box("本月天数：", "Label1", "TxtByts", 120, 3600, 900);
    u.TxtJzts = box("居住天数：", "Label2", "TxtJzts", 2220, 3600, 900);
    u.Check1 = make<QCheckBox>(root, "Check1");
    u.Check1->setText(QStringLiteral("非欠租结算"));
    setTwips(u.Check1, 4380, 3600, 1560, 300);
    u.Check2 = make<QCheckBox>(root, "Check2");
    u.Check2->setText(QStringLiteral("带欠租结算"));
    setTwips(u.Check2, 6000, 3600, 1560, 300);
    caption(root, "Label3", QStringLiteral("标题替换："), 7680, 3600, 1080);
    u.CboBtth = listBox(root, "CboBtth", false);
    setTwips(u.CboBtth, 8760, 3585, 2640, 330);
    u.Txtjfrq2 = box("计费日期：", "Label4", "Txtjfrq2", 120, 4080, 1500);
    u.TxtFh2 = box("房间编号：", "Label5", "TxtFh2", 2820, 4080, 1200);
    forms::makeButtons(root,
                       {{&u.CmdCx, "CmdCx", "查询", "记录查询", 5400, 4020},
                        {&u.CmdQr, "CmdQr", "确认", "计算及保存当前账单", 6720, 4020},
                        {&u.CmdDk, "CmdDk", "查看 ", "导入账单", 8040, 4020},
                        {&u.CmdPrinter, "CmdPrinter", "打印", "账单打印", 9360, 4020},
                        {&u.CmdExit, "CmdExit", "返回", "退出", 10680, 4020}},
                       1200, 420);
}

// The settlement form: title, header, the boxed cells of the sheet, footer.
void FrmTfjs::buildForm(QWidget* root) {
    FrmTfjsUi& u = ui();
    u.Frame2 = make<QFrame>(root, "Frame2");
    u.Frame2->setFrameShape(QFrame::StyledPanel);
    setTwips(u.Frame2, 120, 4560, 15360, 5160);
    auto* layout = new QVBoxLayout(u.Frame2);
    u.LelBt = make<QLabel>(u.Frame2, "LelBt");
    u.LelBt->setText(kSettleTitle);
    u.LelBt->setFont(forms::songTi(15.75));
    u.LelBt->setAlignment(Qt::AlignCenter);
    layout->addWidget(u.LelBt);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(QStringLiteral("租客房号："), u.Frame2));
    header->addWidget(u.TxtFh1 = make<QLineEdit>(u.Frame2, "TxtFh1"), 1);
    header->addStretch(1);
    header->addWidget(new QLabel(QStringLiteral("制单日期："), u.Frame2));
    header->addWidget(u.Txtjfrq = make<QLineEdit>(u.Frame2, "Txtjfrq"), 1);
    layout->addLayout(header);
    QFrame* cells = boxedFrame(u.Frame2, "Frame2Cells");
    using C = Cell<QLineEdit>;
    boxedCells<QLineEdit>(
        cells, 0,
        {{C{"租客退房房号"}, C{"", "Txtfjh", &u.Txtfjh}, C{"租金(元)"}, C{"", "Txtzj", &u.Txtzj}, C{"其它费用"},
          C{"", "Txtzf", &u.Txtzf}, C{"租房押金", nullptr, nullptr, 2}, C{"", "TxtYj", &u.TxtYj, 2}},
         {C{"结算计费时段"}, C{"", "Txtsfsd1", &u.Txtsfsd1, 2}, C{"至"}, C{"", "Txtsfsd2", &u.Txtsfsd2, 2},
          C{"欠租总额", nullptr, nullptr, 2}, C{"", "TxtQzze", &u.TxtQzze, 2}},
         {C{"本月水表读数"}, C{"", "Txtbysb", &u.Txtbysb}, C{"上月水表读数"}, C{"", "Txtsysb", &u.Txtsysb},
          C{"本月用水量(吨)"}, C{"", "Txtysl", &u.Txtysl}, C{"市水单价"}, C{"", "Txtsdj", &u.Txtsdj}, C{"本月水费"},
          C{"", "Txtsf", &u.Txtsf}},
         {C{"本月电表读数"}, C{"", "Txtbydb", &u.Txtbydb}, C{"上月电表读数"}, C{"", "Txtsydb", &u.Txtsydb},
          C{"本月用电量(度)"}, C{"", "Txtydl", &u.Txtydl}, C{"市电单价"}, C{"", "Txtddj", &u.Txtddj}, C{"本月电费"},
          C{"", "Txtdf", &u.Txtdf}},
         {C{"合计(元)"}, C{"", "Txthj", &u.Txthj}, C{"人民币大写"}, C{"", "Txthj1", &u.Txthj1, 7}}});
    for (QLabel* l : cells->findChildren<QLabel*>()) l->setWordWrap(true);
    for (QLineEdit* e : cells->findChildren<QLineEdit*>()) {
        e->setFrame(false);
        e->setMinimumWidth(0);
    }
    u.Txthj1->setReadOnly(true);
    layout->addWidget(cells, 1);
    layout->addLayout(receiptFooter(u.Frame2));
}

void FrmTfjs::connectHandlers(QWidget* root) {
    FrmTfjsUi& u = ui();
    using forms::on;
    using forms::onClick;
    on(u.Data1, &DataControl::reposition, [this] { Data1_Reposition(); });
    on(u.DBGrid1, &forms::DataGrid::rowDoubleClicked, [this] { DBGrid1_DblClick(); });
    on(u.Check1, &QCheckBox::clicked, [this] { Check_Click(1); });
    on(u.Check2, &QCheckBox::clicked, [this] { Check_Click(2); });
    on(u.CboBtth, &QComboBox::activated, [this] { CboBtth_Click(); });
    onClick(u.CmdCx, [this] { CmdCx_Click(); });
    onClick(u.CmdQr, [this] { CmdQr_Click(); });
    onClick(u.CmdDk, [this] { CmdDk_Click(); });
    onClick(u.CmdPrinter, [this] { CmdPrinter_Click(); });
    onClick(u.CmdExit, [this] { unload(); });
    // Each of these computes again from what has been typed so far.
    for (QLineEdit* box : {u.TxtByts, u.TxtJzts, u.TxtYj, u.TxtQzze, u.Txtbysb, u.Txtsysb, u.Txtysl, u.Txtsf, u.Txtbydb,
                           u.Txtsydb, u.Txtydl, u.Txtdf, u.Txthj})
        on(box, &QLineEdit::textEdited, [this, box] { Typed(box); });
    new forms::EnterRing({u.TxtFh1,   u.Txtjfrq, u.Txtfjh,  u.Txtzj,   u.Txtzf,  u.TxtYj,  u.Txtsfsd1,
                          u.Txtsfsd2, u.TxtQzze, u.Txtbysb, u.Txtsysb, u.Txtysl, u.Txtsdj, u.Txtsf,
                          u.Txtbydb,  u.Txtsydb, u.Txtydl,  u.Txtddj,  u.Txtdf,  u.Txthj,  u.Txthj1},
                         true, root);
    new forms::EnterRing({u.TxtByts, u.TxtJzts, u.CboBtth, u.Txtjfrq2, u.TxtFh2}, true, root);
}

// ---------------------------------------------------------------- loading

void FrmTfjs::onLoad() {
    FrmTfjsUi& u = ui();
    SharedState& s = state();
    RowTotal = 0;
    s.ActiveFormCode = FormCode::Fees;
    bindOpenedFile(s.DataFilePath);  // the fee records window's file
    s.DatabasePath = dataFile();
    SettlementMode.reset();
    OpDialogMode = FileDialog::None;
    try {
        loadSource();
    } catch (const std::exception&) {
        tell(QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！"));
        for (QWidget* w : std::initializer_list<QWidget*>{u.CmdCx, u.CmdQr, u.CmdPrinter, u.DBGrid1, u.Data1})
            w->setEnabled(false);
        return;
    }
    u.CmdQr->setEnabled(false);
    u.CmdPrinter->setEnabled(false);
    fillList(u.CboBtth, {kSettleTitle, QStringLiteral("房屋租赁使用费确认")});
    u.CboBtth->setCurrentIndex(0);
    showWorkPath(dataFile());
    forms::centerOnScreen(widget());
}

void FrmTfjs::loadSource() {
    FrmTfjsUi& u = ui();
    SharedState& s = state();
    QStringList fields;
    for (int f = 0; f < kBillFields; ++f) fields << QString::fromLatin1(billFieldName(f));
    if (!hasShape(dataFile(), {{"fzsdjs", fields}}))
        throw DbError(QStringLiteral("数据表格式不符"));
    u.Data1->setDatabaseName(dataFile());
    u.Data1->setRecordSource(QStringLiteral("select * from [fzsdjs]"));
    u.Data1->refresh();
    Recordset& rs = u.Data1->recordset();
    if (rs.recordCount() < 1) {
        for (QPushButton* b : {u.CmdPrinter, u.CmdCx, u.CmdQr}) b->setEnabled(false);
        return;
    }
    rs.moveLast();
    RowTotal = rs.recordCount();
    rs.moveFirst();
    if (const Value total = rs.field(QStringLiteral("hj")); !total.isNull())
        s.AmountInWords = RMBChinese(total.toMoney().toDouble());
}

// ---------------------------------------------------------------- rows

void FrmTfjs::Data1_Reposition() {
    FrmTfjsUi& u = ui();
    u.Data1->setCaption(positionCaption(QStringLiteral("租金水电费"), u.Data1, RowTotal));
    SharedState& s = state();
    if (s.BillRunPending || !u.Data1->isOpen())
        return;
    const Recordset& rs = u.Data1->recordset();
    if (rs.recordCount() < 1 || !rs.hasCurrent())
        return;
    if (const Value total = rs.field(QStringLiteral("hj")); !total.isNull()) {
        s.CurrentBill.hj = total.toMoney();
        s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    }
}

// The boxes of the fields named (bits 1 << field) show the settled bill.
void FrmTfjs::showBill(uint32_t fields) {
    FrmTfjsUi& u = ui();
    for (const BillBox& b : kBillBoxes)
        if (fields & (1u << b.field))
            (u.*b.box)->setText(fieldText(Bill, b.field));
    u.Txthj1->setText(Words);
}

// The current fee record becomes the bill to settle; a field without a value
// leaves its member and box as they were.
void FrmTfjs::DBGrid1_DblClick() {
    FrmTfjsUi& u = ui();
    try {
        if (u.Data1->isOpen() && u.Data1->recordset().hasCurrent()) {
            const Recordset& rs = u.Data1->recordset();
            const uint32_t copied = copyBill(rs, rs.absolutePosition(), Bill, NullField::Keeps, Amounts::Cents);
            if (copied & (1u << zj))
                MonthlyRent = Bill.zj;
            if (copied & (1u << zf))
                MonthlyOtherFee = Bill.zf;
            Words = RMBChinese(Bill.hj.toDouble());
            showBill(copied);
        }
    } catch (const std::exception&) {
        tell(QStringLiteral("请正确选择对应的记录！"));
        return;
    }
    u.CmdQr->setEnabled(true);
    u.CmdPrinter->setEnabled(true);
    chooseModeAfresh();
}

void FrmTfjs::Check_Click(int n) {
    SettlementMode = n == 1 ? SettlementKind::PaidInAdvance : SettlementKind::WithArrears;
    (n == 1 ? ui().Check2 : ui().Check1)->setEnabled(false);
}

// No mode: both boxes unticked and offered, as the mode shows; unticking
// them is no click.
void FrmTfjs::chooseModeAfresh() {
    SettlementMode.reset();
    for (QCheckBox* c : {ui().Check1, ui().Check2}) {
        c->setChecked(false);
        c->setEnabled(true);
    }
}

SettlementKind FrmTfjs::kind() const { return SettlementMode.value_or(SettlementKind::PaidInAdvance); }

void FrmTfjs::CboBtth_Click() {
    ui().LelBt->setText(ui().CboBtth->currentText() == kSettleTitle ? kSettleTitle
                                                                    : QStringLiteral("房屋租赁使用费确认"));
}

void FrmTfjs::CmdCx_Click() {
    FrmTfjsUi& u = ui();
    SharedState& s = state();
    const SearchKeyRecord keys{.fjh = u.TxtFh2->text(), .jfrq = u.Txtjfrq2->text()};
    if (keys.jfrq.isEmpty()) {
        tell(QStringLiteral("'计费日期'字段不能为空"), dlg::kHintTitle);
        return;
    }
    if (keys.fjh.isEmpty()) {
        tell(QStringLiteral("'房间编号'字段不能为空"), dlg::kHintTitle);
        return;
    }
    // The typed date is read as a date: any form of it finds the stored day.
    const std::optional<QDate> day = parseDate(keys.jfrq);
    if (!day || !u.Data1->isOpen() ||
        !u.Data1->findFirst({{QStringLiteral("jfrq"), shortDate(*day)}, {QStringLiteral("fjh"), keys.fjh}})) {
        tell(QStringLiteral("数据查询失败！"));
        return;
    }
    tell(QStringLiteral("'为你找到一条符合条件的记录"), dlg::kHintTitle);
    const Value total = u.Data1->recordset().field(QStringLiteral("hj"));
    if (!total.isNull() && total.toMoney() != Money())
        s.CurrentBill.hj = total.toMoney();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
}

// ---------------------------------------------------------------- settling

void FrmTfjs::CmdQr_Click() {
    FrmTfjsUi& u = ui();
    if (!settled()) {
        tell(kChooseMode, dlg::kHintTitle);
        return;
    }
    const std::optional<float> monthDays = readingOf(u.TxtByts->text());
    if (!monthDays || *monthDays <= 0) {
        tell(QStringLiteral("'本月天数'必须大于0"), dlg::kHintTitle);
        return;
    }
    const std::optional<float> daysLived = readingOf(u.TxtJzts->text()), bysb = readingOf(u.Txtbysb->text()),
                               sysb = readingOf(u.Txtsysb->text()), bydb = readingOf(u.Txtbydb->text()),
                               sydb = readingOf(u.Txtsydb->text());
    const std::optional<Money> deposit = amountBox(u.TxtYj), arrears = amountBox(u.TxtQzze);
    if (!daysLived || !bysb || !sysb || !bydb || !sydb || !deposit || !arrears) {
        tell(QStringLiteral("请输入正确的数值！"), dlg::kHintTitle);
        return;
    }
    if (*daysLived < 0 || *daysLived > *monthDays) {  // the rent of the days would come out below zero
        tell(QStringLiteral("'居住天数'必须在0到'本月天数'之间"), dlg::kHintTitle);
        return;
    }
    BillRecord bill = Bill;
    bill.bysb = *bysb;
    bill.sysb = *sysb;
    bill.bydb = *bydb;
    bill.sydb = *sydb;
    const SettlementSteps steps =
        settle(bill, {kind(), *monthDays, *daysLived, *deposit, *arrears, MonthlyRent, MonthlyOtherFee});
    MonthDays = *monthDays;
    DaysLived = *daysLived;
    Deposit = *deposit;
    Arrears = *arrears;
    DailyRent = steps.dailyRent;
    ChargedDays = steps.chargedDays;
    RentDue = steps.rentDue;
    if (MonthlyOtherFee != Money()) {
        DailyOtherFee = steps.dailyOtherFee;
        OtherFeeDue = steps.otherFeeDue;
    }
    Bill = bill;
    Words = RMBChinese(Bill.hj.toDouble());
    showBill(1u << zj | 1u << zf | 1u << sf | 1u << df | 1u << hj | 1u << ysl | 1u << ydl);
    saveSettlement(*deposit, *arrears);
}

// The settlement into the room's file, whole or not at all; after it the mode
// is chosen afresh.
void FrmTfjs::saveSettlement(Money deposit, Money arrears) {
    if (!roomNamesAFile(Bill.fjh)) {
        tell(QStringLiteral("房间编号为空或含有不能用于文件名的字符(/ \\)，租客退房结算账单没有保存！"));
        return;
    }
    SettlementFileName = Bill.fjh + QStringLiteral(".txt");
    const QString& path = SettlementFileName;  // in the current folder
    if (const QString kept = keptFileAt(path, dataFile()); !kept.isEmpty()) {
        tell(QStringLiteral("房间编号为“%1”的结算账单文件会替换本程序自用的文件“%2”，租客退房结算账单没有保存！")
                 .arg(Bill.fjh, kept));
        return;
    }
    QString why;
    if (!writeWholeFile(path, settlementText({Bill, deposit, arrears, Words}), &why)) {
        // The computed boxes stay; confirm again to retry.
        tell(QStringLiteral("租客退房结算账单保存失败：“%1”写不进去（%2）。")
                 .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()), why));
        return;
    }
    chooseModeAfresh();
    tell(QStringLiteral("租客退房结算账单计算及保存成功！"));
}

void FrmTfjs::Typed(QLineEdit* box) {
    FrmTfjsUi& u = ui();
    const QString text = box->text();
    if (box == u.TxtJzts)
        return TxtJzts_Change();
    if (box == u.TxtByts) {
        if (const auto v = readingOf(text))
            MonthDays = *v;
    } else if (box == u.TxtYj || box == u.TxtQzze) {
        if (const auto m = amountBox(box))
            (box == u.TxtYj ? Deposit : Arrears) = box == u.TxtYj ? cents(*m) : *m;
    } else if (box == u.Txtbysb || box == u.Txtsysb || box == u.Txtbydb || box == u.Txtsydb) {
        float& reading = box == u.Txtbysb   ? Bill.bysb
                         : box == u.Txtsysb ? Bill.sysb
                         : box == u.Txtbydb ? Bill.bydb
                                            : Bill.sydb;
        if (const auto v = readingOf(text))
            reading = *v;
    } else if (box == u.Txtysl || box == u.Txtydl) {
        const bool water = box == u.Txtysl;
        float& used = water ? Bill.ysl : Bill.ydl;
        used = water ? usedOf(Bill.bysb, Bill.sysb) : usedOf(Bill.bydb, Bill.sydb);
        box->setText(floatText(used));
    } else if (box == u.Txtsf || box == u.Txtdf) {
        const bool water = box == u.Txtsf;
        Money& charge = water ? Bill.sf : Bill.df;
        charge = water ? chargeOf(Bill.sdj, Bill.ysl) : chargeOf(Bill.ddj, Bill.ydl);
        box->setText(format00(charge));
    } else if (box == u.Txthj) {
        if (settled())
            Bill.hj = settlementTotal(Bill, kind(), Deposit, Arrears);
        Words = RMBChinese(Bill.hj.toDouble());
        showBill(1u << hj);
    }
}

// Days lived: the rent, and the other fees when the month had any, for the
// days charged.
void FrmTfjs::TxtJzts_Change() {
    FrmTfjsUi& u = ui();
    if (!settled()) {
        tell(kChooseMode, dlg::kHintTitle);
        return;
    }
    const std::optional<float> lived = readingOf(u.TxtJzts->text());
    if (!lived)
        return;
    DaysLived = *lived;
    if (MonthDays != 0 && DaysLived != 0) {
        DailyRent = perDay(MonthlyRent, MonthDays);
        ChargedDays = chargedDays(kind(), MonthDays, DaysLived);
        RentDue = forDays(DailyRent, ChargedDays);
        Bill.zj = RentDue;
        showBill(1u << zj);
    }
    if (MonthlyOtherFee != Money() && MonthDays != 0) {
        DailyOtherFee = perDay(MonthlyOtherFee, MonthDays);
        OtherFeeDue = forDays(DailyOtherFee, ChargedDays);
        Bill.zf = OtherFeeDue;
        showBill(1u << zf);
    }
}

// ---------------------------------------------------------------- the file and the sheet

void FrmTfjs::Op(QString& Myp, FileDialog YYno) {
    const QString title = YYno == FileDialog::NewDataFile    ? QStringLiteral("新建公寓数据")
                          : YYno == FileDialog::OpenDataFile ? QStringLiteral("打开公寓数据")
                                                             : QStringLiteral("打开数据文件");
    const QString path = dlg::openFile(title, QStringLiteral("数据文件 (*.txt)|*.txt|所有文件 (*.*)|*.*"));
    if (!path.isEmpty())
        Myp = path;
}

// A kept settlement read back into the form, ready to print; a file that
// does not hold one changes nothing.
void FrmTfjs::CmdDk_Click() {
    FrmTfjsUi& u = ui();
    OpDialogMode = FileDialog::SettlementFile;
    QString path;
    Op(path, OpDialogMode);
    if (path.isEmpty())
        return;
    std::optional<SettlementRecord> read = readSettlementFile(path);
    if (!read) {
        tell(QStringLiteral("租客退房结算账单导入失败！"));
        return;
    }
    read->bill.xm = Bill.xm;
    read->bill.sfzhm = Bill.sfzhm;
    Bill = read->bill;
    Words = read->words;
    Deposit = read->deposit;
    Arrears = read->arrears;
    showBill(~(1u << xm | 1u << sfzhm));
    u.TxtYj->setText(format00(read->deposit));
    u.TxtQzze->setText(format00(read->arrears));
    u.CmdQr->setEnabled(true);
    u.CmdPrinter->setEnabled(true);
    chooseModeAfresh();
    tell(QStringLiteral("租客退房结算账单导入成功！"));
}

// The sheet of the bill settled here, whatever another window holds.
void FrmTfjs::CmdPrinter_Click() {
    BillRecord sheet = Bill;  // rounded to cents as it prints; the bill settled stays as it is
    PrintSettlement(sheet, Words, Deposit, Arrears);
}

}  // namespace tv::fees
