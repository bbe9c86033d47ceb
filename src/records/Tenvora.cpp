#include "records/Tenvora.h"

#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/StatusBox.h"
#include "platform/forms/WindowParts.h"
#include "platform/values/Money.h"
#include "shared/CheckInCopy.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintChoice.h"
#include "shared/PrintRoutines.h"
#include "shared/RegistrationColumns.h"
#include "shared/SharedState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>

#include <cmath>
#include <exception>
#include <optional>
#include <utility>
#include <vector>

namespace tv::records {

using forms::BoundImage;
using forms::DataControl;
using forms::DataGrid;
using forms::GridColumn;
using forms::make;
using forms::place;
using forms::setTwips;

namespace {

const QString kAllRegistrations = QStringLiteral("select * from [zfdj]");
const QString kAllBills = QStringLiteral("select * from [fzsdjs]");
const QString kFormatMessage = QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
const QString kAllRows = QStringLiteral("所有记录");

// The left column (search, buttons, print choice, counts) ends here, wider
// than the first design by kColumnWiden so that the form title shows whole;
// the grids take the rest.
constexpr int kColumnWiden = 360;
constexpr int kColumnRight = 3360 + kColumnWiden;

std::vector<GridColumn> billColumns() {
    const QString money = QStringLiteral("Currency"), price = QStringLiteral("CurrencyExact");
    return {{"jfrq", QStringLiteral("计费日期"), ""},      {"fjh", QStringLiteral("房间编号"), ""},
            {"xm", QStringLiteral("租客姓名"), ""},        {"sfzhm", QStringLiteral("身份证编号"), ""},
            {"zj", QStringLiteral("租金"), money},         {"sfsd1", QStringLiteral("计费时段(起)"), ""},
            {"sfsd2", QStringLiteral("计费时段(止)"), ""}, {"bysb", QStringLiteral("本月水表读数"), ""},
            {"sysb", QStringLiteral("上月水表读数"), ""},  {"ysl", QStringLiteral("本月用水量"), ""},
            {"sdj", QStringLiteral("市水单价"), price},    {"sf", QStringLiteral("本月水费"), money},
            {"bydb", QStringLiteral("本月电表读数"), ""},  {"sydb", QStringLiteral("上月电表读数"), ""},
            {"ydl", QStringLiteral("本月用电量"), ""},     {"ddj", QStringLiteral("市电单价"), price},
            {"df", QStringLiteral("本月电费"), money},     {"zf", QStringLiteral("其它费用"), money},
            {"hj", QStringLiteral("合计"), money}};
}

std::vector<GridColumn> otherFeeColumns() {
    const QString money = QStringLiteral("Currency");
    return {{"jfrq", QStringLiteral("计费日期"), ""},     {"fjh", QStringLiteral("房间编号"), ""},
            {"sfzhm", QStringLiteral("身份证编号"), ""},  {"kdf", QStringLiteral("宽带费用"), money},
            {"dtf", QStringLiteral("电梯维护费"), money}, {"wsf", QStringLiteral("垃圾费"), money},
            {"zaf", QStringLiteral("治安费"), money},     {"wgf", QStringLiteral("物业管理费"), money},
            {"qtf", QStringLiteral("其它费用"), money},   {"hj", QStringLiteral("合计"), money}};
}

// The values a column holds: ID numbers and employers are long, names,
// dates and amounts middling.
QString widthSample(const GridColumn& c) {
    static const QRegularExpression names(QStringLiteral("^(xm\\d?|fq|mq)$"));
    static const QRegularExpression middling(QStringLiteral("^(jfrq|rzrq|lkrq|sfsd\\d|cxny\\d|dh)$"));
    if (c.field == QLatin1String("sfzhm"))
        return QString(18, QLatin1Char('0'));
    if (c.field == QLatin1String("dw"))
        return QString(6, QChar(0x4E2D));
    if (names.match(c.field).hasMatch())
        return QString(5, QChar(0x4E2D));
    return QString(middling.match(c.field).hasMatch() || !c.format.isEmpty() ? 11 : 4, QLatin1Char('0'));
}

}  // namespace

Tenvora::Tenvora() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

// ---------------------------------------------------------------- the window

void Tenvora::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("租客记录维护"));
    root->resize(forms::pixels(designSize()));
    // Created in the order Tab walks them: search, buttons, print choice, grids.
    buildSearch(root);
    buildPrintAndCounts(root);
    buildGrids(root);
    connectHandlers(root);
}

// The left column, top part: the pictures, the title, the search inputs in
// the order the Enter key walks them, the status line and the buttons.
void Tenvora::buildSearch(QWidget* root) {
    TenvoraUi& u = ui();
    u.Image2 = make<QLabel>(root, "Image2");
    u.Image2->setScaledContents(true);
    setTwips(u.Image2, 120, 120, 960, 720);
    auto* title = forms::caption(root, "Label1", QStringLiteral("公寓信息查询"), 1200, 240, 2160);
    title->setFont(forms::songTi(15.75));
    setTwips(title, 1200, 180, 2160, 600);

    auto row = [](int i) { return 1020 + i * 420; };
    const int inputLeft = 1380, inputWidth = kColumnRight - inputLeft;
    forms::caption(root, "Label2", QStringLiteral("查询方式："), 120, row(0), 1260);
    u.CboCxfs = forms::listBox(root, "CboCxfs", false);
    setTwips(u.CboCxfs, inputLeft, row(0) - 15, inputWidth, 330);
    const std::pair<const char*, QLineEdit**> boxes[] = {
        {"计费日期：", &u.Txtjfrq}, {"房间编号：", &u.TxtFh}, {"租客姓名：", &u.Txtzk}, {"身份证号码：", &u.Txtzh}};
    const char* const boxNames[] = {"Txtjfrq", "TxtFh", "Txtzk", "Txtzh"};
    const char* const labelNames[] = {"Label3", "Label4", "Label5", "Label6"};
    for (int i = 0; i < 4; ++i) {
        forms::caption(root, labelNames[i], QString::fromUtf8(boxes[i].first), 120, row(i + 1), 1260);
        *boxes[i].second = make<QLineEdit>(root, boxNames[i]);
        setTwips(*boxes[i].second, inputLeft, row(i + 1), inputWidth, 300);
    }
    forms::caption(root, "Label7", QStringLiteral("房间现状："), 120, row(5), 1260);
    u.Cbofjxz = forms::listBox(root, "Cbofjxz", true);
    setTwips(u.Cbofjxz, inputLeft, row(5) - 15, inputWidth, 330);
    QLabel* tip = forms::caption(root, "Label8", QStringLiteral("提示："), 120, row(6), 1260);
    u.TxtTs = make<QLineEdit>(root, "TxtTs");
    setTwips(u.TxtTs, inputLeft, row(6), inputWidth, 300);
    forms::statusBox(u.TxtTs, tip);

    const int second = 1800 + kColumnWiden / 2;
    forms::makeButtons(root,
                       {{&u.CmdCx, "CmdCx", "查询(&S)", "记录查询", 120, 4080},
                        {&u.CmdDel, "CmdDel", "删除(&D)", "记录删除", second, 4080},
                        {&u.CmdPrinter, "CmdPrinter", "打印(&P)", "记录打印", 120, 4620},
                        {&u.CmdExit, "CmdExit", "返回(&X)", "退出", second, 4620}},
                       1560 + kColumnWiden / 2, 450);
}

// The left column, lower part: the print choice in a frame, the counts and
// the user line.
void Tenvora::buildPrintAndCounts(QWidget* root) {
    TenvoraUi& u = ui();
    auto* frame = make<QGroupBox>(root, "Frame1");
    setTwips(frame, 120, 5220, kColumnRight - 120, 1920);
    u.Check1 = make<QCheckBox>(frame, "Check1");
    u.Check1->setText(QStringLiteral("单记录"));
    setTwips(u.Check1, 180, 180, 1320, 300);
    u.Check2 = make<QCheckBox>(frame, "Check2");
    u.Check2->setText(QStringLiteral("双记录"));
    setTwips(u.Check2, 1620, 180, 1320, 300);
    forms::caption(frame, "Label9", QStringLiteral("X1："), 180, 600, 420);
    u.TxtX3 = make<QLineEdit>(frame, "TxtX3");
    setTwips(u.TxtX3, 600, 585, 900, 300);
    forms::caption(frame, "Label10", QStringLiteral("Y1："), 1620, 600, 420);
    u.TxtY3 = make<QLineEdit>(frame, "TxtY3");
    setTwips(u.TxtY3, 2040, 585, 900, 300);
    forms::caption(frame, "Label11", QStringLiteral("表格标题设换："), 180, 1020, 2760);
    u.TxtBt = make<QLineEdit>(frame, "TxtBt");
    setTwips(u.TxtBt, 180, 1380, kColumnRight - 480, 300);

    const std::pair<const char*, const char*> counts[] = {
        {"租客记录：", "记录总数"}, {"账单记录：", "账单总数"}, {"管理成员：", "管理成员"}, {"系统管理：", "系统管理"}};
    QLabel** values[] = {&u.LelJlzs, &u.LelZdzs, &u.LelZcrs, &u.LelYhm};
    const char* const valueNames[] = {"LelJlzs", "LelZdzs", "LelZcrs", "LelYhm"};
    const char* const labelNames[] = {"Label12", "Label13", "Label14", "Label15"};
    for (int i = 0; i < 4; ++i) {
        const int top = 7320 + i * 360;
        forms::caption(root, labelNames[i], QString::fromUtf8(counts[i].first), 120, top, 1260);
        *values[i] =
            forms::caption(root, valueNames[i], QString::fromUtf8(counts[i].second), 1380, top, kColumnRight - 1380);
    }
}

// The right side: the banner, the registrations over the bills, the photo
// beside the other fees; each grid with its caption strip above it and its
// data source below it.
void Tenvora::buildGrids(QWidget* root) {
    TenvoraUi& u = ui();
    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);

    auto source = [&](const char* name, const QString& caption, bool readOnly) {
        auto* d = make<DataControl>(root, name);
        d->setCaption(caption);
        d->setReadOnly(readOnly);
        forms::greenStrip(d);
        return d;
    };
    auto grid = [&](const char* name, QLabel** strip, const QString& caption, const QString& tip, DataControl* data,
                    const std::vector<GridColumn>& columns) {
        DataGrid* g = forms::captionedGrid(root, name, caption, data, columns, widthSample, strip);
        g->setToolTip(tip);
        return g;
    };

    u.Data1 = source("Data1", QStringLiteral("公寓信息管理"), false);
    u.Data1->setToolTip(QStringLiteral("租客入住登记表"));
    u.DBGrid1 = grid("DBGrid1", &u.DBGrid1Caption, QStringLiteral("长短租公寓暂住人员情况登记表"),
                     QStringLiteral("租客入住登记表"), u.Data1,
                     registrationColumns({QStringLiteral("承租人姓名"), QStringLiteral("随行老人"),
                                          QStringLiteral("随行老人"), QStringLiteral("现状")}));
    // Registrations are typed in the check-in window: a row typed here would
    // be stored by merely moving off it. Delete asks first, as 删除 does.
    u.DBGrid1->setAllowAddNew(false);
    u.DBGrid1->setAllowUpdate(false);
    u.DBGrid1->setAllowDelete(true);

    // The bills and other fees only show what the computation wrote.
    const QString bills = QStringLiteral("租金水电费数据表"), others = QStringLiteral("其它费用表");
    u.Data2 = source("Data2", bills, true);
    u.DBGrid2 = grid("DBGrid2", &u.DBGrid2Caption, bills, bills, u.Data2, billColumns());
    u.Image3 = make<BoundImage>(root, "Image3");
    u.Image3->setToolTip(QStringLiteral("租客身份证照片"));
    u.Image3->setFrameShape(QFrame::Box);
    u.Image3->bind(u.Data1, QStringLiteral("xp"));
    u.Data3 = source("Data3", others, true);
    u.Data3->setToolTip(others);
    u.DBGrid3 = grid("DBGrid3", &u.DBGrid3Caption, others, others, u.Data3, otherFeeColumns());
    for (DataGrid* g : {u.DBGrid2, u.DBGrid3}) {
        g->setAllowAddNew(false);
        g->setAllowUpdate(false);
        g->setAllowDelete(false);
    }

    // The user table is looked at, never shown.
    u.Data4 = source("Data4", QStringLiteral("用户注册表"), true);
    setTwips(u.Data4, 120, 8820, kColumnRight - 120, 375);
    u.Data4->hide();
    placeGrids(0, 0);
}

// The right side: the banner, the registrations over the bills, the photo
// beside the other fees; each grid with its caption strip above it and its
// data source below it. Room beyond the design (twips) goes to the grids.
void Tenvora::placeGrids(int extraWidth, int extraHeight) {
    TenvoraUi& u = ui();
    const int left = kColumnRight + 120, width = 15000 - kColumnWiden + extraWidth, more1 = extraHeight / 2,
              more2 = extraHeight - more1;
    auto block = [&](QLabel* strip, DataControl* data, DataGrid* grid, int x, int top, int w, int h) {
        setTwips(strip, x, top, w, 300);
        setTwips(grid, x, top + 300, w, h - 675);
        setTwips(data, x, top + h - 375, w, 375);
    };
    setTwips(u.Image1, left, 120, width, 720);
    block(u.DBGrid1Caption, u.Data1, u.DBGrid1, left, 960, width, 3195 + more1);
    block(u.DBGrid2Caption, u.Data2, u.DBGrid2, left, 4275 + more1, width, 3015 + more2);
    // On paper the photo is placed from the design top of this box (7440).
    setTwips(u.Image3, left, 7440 + extraHeight, 2640, 2640);
    block(u.DBGrid3Caption, u.Data3, u.DBGrid3, left + 2760, 7440 + extraHeight, width - 2760, 2640);
}

// A window larger than its design (maximised on a large screen) shows more
// rows and columns rather than empty room.
void Tenvora::fitToWindow() {
    if (!hasUi() || !widget())
        return;                                     // an unloaded window's widgets are on their way out
    const forms::DesignScale designScale(scale());  // the grids are placed at the window's scale
    const QSize room = forms::roomBeyondDesign(widget(), designSize(), scale());
    placeGrids(room.width(), room.height());
}

void Tenvora::connectHandlers(QWidget* root) {
    TenvoraUi& u = ui();
    using forms::on;
    on(u.Data1, &DataControl::reposition, [this] { Data1_Reposition(); });
    on(u.Data2, &DataControl::reposition, [this] { Data2_Reposition(); });
    on(u.Data3, &DataControl::reposition, [this] { Data3_Reposition(); });
    on(u.Data4, &DataControl::reposition, [this] { Data4_Reposition(); });
    on(u.DBGrid1, &DataGrid::rowClicked, [this] { DBGrid1_Click(); });
    on(u.CboCxfs, &QComboBox::activated, [this] { CboCxfs_Click(); });
    on(u.Check1, &QCheckBox::toggled, [this] { Check1_Click(); });
    on(u.Check2, &QCheckBox::toggled, [this] { Check2_Click(); });
    forms::onClick(u.CmdCx, [this] { CmdCx_Click(); });
    forms::onClick(u.CmdDel, [this] { CmdDel_Click(); });
    forms::onClick(u.CmdPrinter, [this] { CmdPrinter_Click(); });
    forms::onClick(u.CmdExit, [this] { CmdExit_Click(); });
    setExitButton(u.CmdExit);
    on(u.DBGrid1, &DataGrid::deleteRequested, [this] { CmdDel_Click(); });
    forms::onResize(root, [this] { fitToWindow(); });
    new forms::EnterRing({u.CboCxfs, u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cbofjxz, u.TxtTs}, true, root);
}

// ---------------------------------------------------------------- loading

void Tenvora::onLoad() {
    TenvoraUi& u = ui();
    SharedState& s = state();
    // A file the window cannot work on is refused before anything is bound
    // or shown: the window goes, and the status bar never names the file.
    const QString why = dataFileRefusal(s.DataFilePath, shapeNeededBy(QString::fromLatin1(kName)));
    if (!why.isEmpty())
        return refuseLoad(refusedDataFileText(s.DataFilePath, why));
    const FormCode activeBefore = s.ActiveFormCode;
    const QString boundBefore = s.DatabasePath;
    bindDataFile(s.DataFilePath);
    try {
        loadSources();
    } catch (const std::exception& e) {
        // The user database, or a file changed since the look above.
        s.ActiveFormCode = activeBefore;
        s.DatabasePath = boundBefore;
        const auto* db = dynamic_cast<const DbError*>(&e);
        return refuseLoad(kFormatMessage + (db ? QLatin1Char('\n') + db->text() : QString()));
    }
    if (subWindow())
        subWindow()->showMaximized();
    else
        widget()->showMaximized();
    u.LelJlzs->setText(QString::number(TenantRowCount));
    u.LelZdzs->setText(QString::number(BillRowCount));
    u.LelZcrs->setText(QString::number(UserRowCount));
    // Decorative pictures: a missing one leaves its place empty.
    forms::loadPicture(u.Image1, s.PicturePath + QStringLiteral("T218.jpg"));
    forms::loadPicture(u.Image2, s.PicturePath + QStringLiteral("zhjy.jpg"));
    forms::fillList(u.CboCxfs,
                    {QStringLiteral("房号+姓名"), QStringLiteral("房号"), QStringLiteral("姓名"),
                     QStringLiteral("身份证号"), QStringLiteral("计费日期"), QStringLiteral("房间现状"), kAllRows});
    forms::fillList(u.Cbofjxz, {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"),
                                QStringLiteral("已订"), QStringLiteral("自用")});
    showWorkPath(s.DatabasePath);
}

// A load that cannot be done: why, and the window goes (no data file is
// open) without ever being shown half built.
void Tenvora::refuseLoad(const QString& why) {
    dlg::msgBox(why, dlg::Info, dlg::kNoteTitle);
    state().DataFilePath.clear();
    unload();
}

// Binds the four data sources and counts their rows; a table missing from
// the file (or a file that is no data file) raises.
void Tenvora::loadSources() {
    TenvoraUi& u = ui();
    SharedState& s = state();
    TenantRowCount = BillRowCount = OtherFeeRowCount = UserRowCount = 0;
    u.TxtX3->setText(QStringLiteral("650"));
    u.TxtY3->setText(QStringLiteral("3050"));
    u.TxtBt->setText(QStringLiteral("Varnholt出租屋暂住人员情况登记表"));
    u.TxtBt->setCursorPosition(0);
    s.ActiveFormCode = FormCode::Records;
    s.DatabasePath = s.DataFilePath;

    openCounted(u.Data1, s.DatabasePath, kAllRegistrations, TenantRowCount);
    if (TenantRowCount == 0) {
        for (QPushButton* b : {u.CmdCx, u.CmdDel, u.CmdPrinter}) b->setEnabled(false);
    } else {
        FillCheckInRecord(u.Data1->recordset(), s.CurrentCheckIn);
    }
    openCounted(u.Data2, s.DatabasePath, kAllBills, BillRowCount);
    openCounted(u.Data3, s.DatabasePath, QStringLiteral("qtfy"), OtherFeeRowCount);
    openCounted(u.Data4, s.UserDbPath, QStringLiteral("yhzc"), UserRowCount);
    if (UserRowCount > 0) {
        fdglcx();
        // A user the table no longer knows (a password changed meanwhile)
        // keeps the line's own caption.
        Recordset& users = u.Data4->recordset();
        if (users.hasCurrent())
            u.LelYhm->setText(users.field(QStringLiteral("yhxm")).toText());
    }
}

// Opens a source; a source with rows is counted on its last row and shown
// from its first. The rows are all listed when it opens, so going back to the
// first row needs no second query.
void Tenvora::openCounted(DataControl* source, const QString& database, const QString& recordSource, int& count) {
    source->setDatabaseName(database);
    source->setRecordSource(recordSource);
    source->refresh();
    Recordset& rs = source->recordset();
    if (rs.recordCount() < 1)
        return;
    rs.moveLast();
    count = rs.recordCount();
    rs.moveFirst();
}

// The logged-in user (admin / 472619 standing in for nobody) in the user
// table: Data4 ends on that row, or past the last row.
void Tenvora::fdglcx() { findLoggedInUser(ui().Data4); }

// ---------------------------------------------------------------- rows

void Tenvora::Data1_Reposition() {
    TenvoraUi& u = ui();
    u.Data1->setCaption(forms::positionCaption(QStringLiteral("租客信息维护"), u.Data1, TenantRowCount));
    u.LelJlzs->setText(QString::number(TenantRowCount));
    // Nothing to print from an empty grid (a room no one lives in, the last row deleted).
    u.CmdPrinter->setEnabled(u.Data1->recordset().recordCount() > 0);
    followRegistration();
}

void Tenvora::Data2_Reposition() {
    ui().Data2->setCaption(forms::positionCaption(QStringLiteral("租金水电费维护"), ui().Data2, BillRowCount));
    ui().LelZdzs->setText(QString::number(BillRowCount));
}

void Tenvora::Data3_Reposition() {
    ui().Data3->setCaption(forms::positionCaption(QStringLiteral("其它费用维护"), ui().Data3, OtherFeeRowCount));
}

void Tenvora::Data4_Reposition() {
    ui().Data4->setCaption(forms::positionCaption(QStringLiteral("用户注册维护"), ui().Data4, UserRowCount));
    ui().LelZcrs->setText(QString::number(UserRowCount));
}

// The registration now current goes into the print record that the sheet
// choice names, and the other print choice is offered again. Without a current row
// (an empty selection, a scan that found nothing, a delete) nothing happens.
void Tenvora::followRegistration() {
    TenvoraUi& u = ui();
    Recordset& rs = u.Data1->recordset();
    if (!rs.hasCurrent())
        return;
    SharedState& s = state();
    if (s.SheetChoice == Sheets::One) {
        FillCheckInRecord(rs, s.CurrentCheckIn);
        u.Check2->setEnabled(true);
    } else if (s.SheetChoice == Sheets::Two) {
        FillCheckInRecord(rs, s.SecondCheckIn);
        u.Check1->setEnabled(true);
    }
}

// A click in the registrations grid also brings the bills and other fees to
// that tenant; a move by the keys does not.
void Tenvora::DBGrid1_Click() {
    if (!hasCurrentRow())
        return;
    followRegistration();
    zjsdgl();
    qtfgl();
}

void Tenvora::zjsdgl() { follow(ui().Data2); }
void Tenvora::qtfgl() { follow(ui().Data3); }

// The target's first row of the current tenant (by ID number) within its own
// selection; past its last row when there is none.
void Tenvora::follow(DataControl* target) {
    Recordset& registrations = ui().Data1->recordset();
    if (!registrations.hasCurrent() || !target->isOpen() || target->recordset().recordCount() == 0)
        return;
    const Value id = registrations.field(QStringLiteral("sfzhm"));
    if (id.isNull()) {  // nothing equals a missing ID number
        target->recordset().moveLast();
        target->recordset().moveNext();
        return;
    }
    target->findFirst({{QStringLiteral("sfzhm"), id.toText()}});
}

// ---------------------------------------------------------------- search

// One character per input, in the order TxtFh, Txtzk, Txtzh, Txtjfrq, Cbofjxz.
void Tenvora::setInputsEnabled(const char* pattern) {
    TenvoraUi& u = ui();
    QWidget* inputs[] = {u.TxtFh, u.Txtzk, u.Txtzh, u.Txtjfrq, u.Cbofjxz};
    for (int i = 0; i < 5; ++i) inputs[i]->setEnabled(pattern[i] == '1');
}

void Tenvora::CboCxfs_Click() {
    TenvoraUi& u = ui();
    for (QLineEdit* box : {u.TxtFh, u.Txtzk, u.Txtzh, u.Txtjfrq}) box->clear();
    u.Cbofjxz->setCurrentIndex(-1);
    u.Cbofjxz->setEditText(QString());
    static const std::pair<const char*, const char*> modes[] = {
        {"房号+姓名", "11000"}, {"房号", "10000"},     {"姓名", "01000"},    {"身份证号", "00100"},
        {"计费日期", "00010"},  {"房间现状", "00001"}, {"所有记录", "00000"}};
    for (const auto& [name, pattern] : modes)
        if (u.CboCxfs->currentText() == QString::fromUtf8(name))
            setInputsEnabled(pattern);
}

// Which search the boxes ask for, the first that holds: 1 room and name,
// 2 room, 3 name, 4 ID number, 5 billing date, 6 room status, 7 all rows,
// 8 nothing.
int Tenvora::searchBranch() const {
    const TenvoraUi& u = ui();
    const bool room = !u.TxtFh->text().isEmpty(), name = !u.Txtzk->text().isEmpty();
    if (room && name)
        return 1;
    if (room)
        return 2;
    if (name)
        return 3;
    if (!u.Txtzh->text().isEmpty())
        return 4;
    if (!u.Txtjfrq->text().isEmpty())
        return 5;
    if (!u.Cbofjxz->currentText().isEmpty())
        return 6;
    return u.CboCxfs->currentText() == kAllRows ? 7 : 8;
}

void Tenvora::CmdCx_Click() {
    TenvoraUi& u = ui();
    const int branch = searchBranch();
    auto failed = [] { dlg::msgBox(QStringLiteral("数据查询失败！"), dlg::Info, dlg::kNoteTitle); };
    // A billing date is read before anything moves: text that is no date
    // leaves the window as it was.
    const std::optional<QDate> day = branch == 5 ? parseDate(u.Txtjfrq->text()) : std::nullopt;
    if (branch == 5 && !day) {
        failed();
        return;
    }
    try {
        u.Data1->refresh();
        const SearchKeyRecord keys{
            .fjh = u.TxtFh->text(), .xm = u.Txtzk->text(), .sfzhm = u.Txtzh->text(), .ysno = u.Cbofjxz->currentText()};
        auto scan = [&](std::vector<std::pair<QString, QString>> match) {
            u.TxtTs->setText(u.Data1->findFirst(match) ? forms::tips::kFoundOne : forms::tips::kNotFound);
        };
        // Typed keys are bound as parameters, never written into the SQL.
        auto query = [](DataControl* target, const QString& sql, const Value& key) {
            target->setRecordSource(sql, {key});
            target->refresh();
        };
        switch (branch) {
            case 1:
                scan({{QStringLiteral("fjh"), keys.fjh}, {QStringLiteral("xm"), keys.xm}});
                break;
            case 2:
                query(u.Data1, QStringLiteral("select * from [zfdj] where [fjh]=?"), Value(keys.fjh));
                break;
            case 3:
                scan({{QStringLiteral("xm"), keys.xm}});
                break;
            case 4:
                scan({{QStringLiteral("sfzhm"), keys.sfzhm}});
                break;
            case 5:
                query(u.Data2, QStringLiteral("select * from [fzsdjs] where [jfrq]=?"), Value(*day));
                u.TxtTs->setText(forms::tips::kFoundMatching);
                break;
            case 6:
                query(u.Data1, QStringLiteral("select * from [zfdj] where [ysno]=?"), Value(keys.ysno));
                u.TxtTs->setText(forms::tips::kFoundMatching);
                break;
            case 7:
                u.Data1->setRecordSource(kAllRegistrations);
                u.Data1->refresh();
                u.TxtTs->setText(forms::tips::kShowingAll);
                break;
            default:
                break;
        }
        if (branch != 6 && branch != 8) {
            zjsdgl();
            qtfgl();
        }
    } catch (const std::exception&) {
        failed();
        return;
    }
    setInputsEnabled("11111");
}

// ---------------------------------------------------------------- delete and exit

void Tenvora::CmdDel_Click() {
    TenvoraUi& u = ui();
    if (askDelete() != dlg::Yes || !hasCurrentRow())
        return;
    Recordset& rs = u.Data1->recordset();
    u.Data1->remove();  // the registration only: the bills and other fees stay
    moveAfterDelete(rs);
    TenantRowCount = rs.recordCount();
    u.LelJlzs->setText(QString::number(TenantRowCount));
    if (TenantRowCount == 0)
        Data1_Reposition();  // the caption shows the empty selection
    u.TxtTs->setText(forms::tips::kDeleted);
}

void Tenvora::CmdExit_Click() {
    leaveDataFile();
    unload();
}

// ---------------------------------------------------------------- printing

QImage Tenvora::regPhoto() const { return ui().Image3->image(); }

bool Tenvora::hasCurrentRow() const { return ui().Data1->isOpen() && ui().Data1->recordset().hasCurrent(); }

void Tenvora::enableSingleChoice() { ui().Check1->setEnabled(true); }

// Each change of a box runs its handling (toggled).
void Tenvora::resetPrintChoice() {
    TenvoraUi& u = ui();
    u.Check1->setEnabled(true);
    u.Check2->setEnabled(true);
    u.Check1->setChecked(false);
    u.Check2->setChecked(false);
}

// 单记录, ticked or cleared: one registration per sheet.
void Tenvora::Check1_Click() {
    state().SheetChoice = Sheets::One;
    ui().Check2->setChecked(false);
    ui().Check2->setEnabled(false);
}

// 双记录, ticked or cleared: two per sheet, chosen in the registration records window.
void Tenvora::Check2_Click() {
    state().SheetChoice = Sheets::Two;
    ui().Check1->setChecked(false);
    ui().Check1->setEnabled(false);
    showOnDataFile(windows::kPairPrint, dataFile());
}

void Tenvora::CmdPrinter_Click() {
    TenvoraUi& u = ui();
    SharedState& s = state();
    if (s.SheetChoice == Sheets::Unchosen) {
        dlg::msgBox(QStringLiteral("请选择以'单击录'还是以'双击录'方式打印？"), dlg::Info, dlg::kHintTitle);
        return;
    }
    if (s.SheetChoice == Sheets::One) {
        // The highlighted row, its text and its photo, whatever was copied
        // before and whichever data window loaded last; without one, nothing.
        if (!currentRowToPrint(this))
            return;
        const std::optional<double> x = parseNumber(u.TxtX3->text()), y = parseNumber(u.TxtY3->text());
        if (!x || !y || !std::isfinite(static_cast<float>(*x)) || !std::isfinite(static_cast<float>(*y))) {
            dlg::msgBox(QStringLiteral("图像调整位置必须为数字！"), dlg::Info, dlg::kNoteTitle);
            return;
        }
        FillCheckInRecord(u.Data1->recordset(), s.CurrentCheckIn);
        s.RegFormTitle = u.TxtBt->text();  // the title box names the form (the default when emptied)
        s.PrintOffsetX = static_cast<float>(*x);
        s.PrintOffsetY = static_cast<float>(*y);
        // Printed, the boxes are reset as after a print for this window (a
        // cleared box disables the other), then once more below; a failed
        // print leaves them and the choice as they were.
        PrintRegForm(s.CurrentCheckIn, FormCode::Records, s.RegFormTitle, s.PrintOffsetX, s.PrintOffsetY);
        resetPrintChoice();
    } else {
        showOnDataFile(windows::kPairPrint, dataFile());
    }
    resetPrintChoice();
}

}  // namespace tv::records
