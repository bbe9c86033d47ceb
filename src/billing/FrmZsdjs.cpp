#include "billing/FrmZsdjs.h"

#include "billing/ReceiptFile.h"
#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/PickerLists.h"
#include "platform/forms/StatusBox.h"
#include "platform/forms/StatusPanels.h"
#include "platform/shell/Shell.h"
#include "platform/values/Money.h"
#include "shared/DataShape.h"
#include "shared/PrintChoice.h"
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>

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
using forms::make;
using forms::place;
using forms::setTwips;

namespace {

const char* const kTables[5] = {"fzsdjs", "bysj", "sysj", "zfdj", "qtfy"};
const char* const kTitles[5] = {"租金水电计算", "租金水电数据录入", "租金水电数据关联", "租客入住登记表", "其它费用表"};
const char* const kGridCaptions[5] = {"租金水电计算", "本月租金水电数据录入", "上月租金水电数据关联", "租客入住登记表",
                                      "其它费用表"};
const QString kFormatMessage = QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
const QString kTip = QStringLiteral("提示！");
const QString kTipPlain = QStringLiteral("提示");
const QString kPickRow = QStringLiteral("请正确选择对应的记录！");
const QString kAllRows = QStringLiteral("所有记录");

void info(const QString& text, const QString& title = kTip) { dlg::msgBox(text, dlg::Info, title); }

// Rooms for a message: every one of them (a long box scrolls).
QString roomList(const QStringList& rooms) { return rooms.join(QStringLiteral("、")); }

QString errorText(const std::exception& e) {
    if (const auto* db = dynamic_cast<const DbError*>(&e))
        return db->text();
    return QString::fromUtf8(e.what());
}

// Columns: caption, field; 'm' money ("Currency"), 'n' a reading, ' ' text.
std::vector<GridColumn> columns(std::initializer_list<std::pair<const char*, const char*>> list) {
    std::vector<GridColumn> out;
    for (const auto& [caption, field] : list) {
        const char kind = caption[0];
        out.push_back({QString::fromLatin1(field), QString::fromUtf8(caption + 1),
                       kind == 'm' ? QStringLiteral("Currency") : QString()});
    }
    return out;
}

std::vector<GridColumn> gridColumns(int n) {
    switch (n) {
        case 0:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 姓名", "xm"},
                            {" 身份证号码", "sfzhm"},
                            {"m租金", "zj"},
                            {" 计费时段(起)", "sfsd1"},
                            {" 计费时段(止)", "sfsd2"},
                            {"n本月水表读数", "bysb"},
                            {"n上月水表读数", "sysb"},
                            {"n本月用水量", "ysl"},
                            {"m市水单价", "sdj"},
                            {"m本月水费", "sf"},
                            {"n本月电表读数", "bydb"},
                            {"n上月电表读数", "sydb"},
                            {"n本月用电量", "ydl"},
                            {"m市电单价", "ddj"},
                            {"m本月电费", "df"},
                            {"m其它费用", "zf"},
                            {"m合计", "hj"}});
        case 1:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 姓名", "xm"},
                            {" 身份证号码", "sfzhm"},
                            {"m租金", "zj"},
                            {"n本月水表读数", "bysb"},
                            {"m市水单价", "sdj"},
                            {"n本月电表读数", "bydb"},
                            {"m市电单价", "ddj"}});
        case 2:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 姓名", "xm"},
                            {" 身份证号码", "sfzhm"},
                            {"m租金", "zj"},
                            {"n上月水表读数", "sysb"},
                            {"m市水单价", "sdj"},
                            {"n上月电表读数", "sydb"},
                            {"m市电单价", "ddj"}});
        case 3: {
            std::vector<GridColumn> c = columns({{" 房间编号", "fjh"},
                                                 {" 居住人数", "jzrs"},
                                                 {" 承租人姓名", "xm"},
                                                 {" 工作单位", "dw"},
                                                 {" 联系电话", "dh"},
                                                 {" 婚姻状况", "yh"},
                                                 {" 职业", "wh"},
                                                 {" 子女数(男)", "n1"},
                                                 {" 子女数(女)", "n2"},
                                                 {" 入住日期", "rzrq"},
                                                 {" 离开日期", "lkrq"},
                                                 {" 身份证号码", "sfzhm"},
                                                 {" 随行老人姓名", "fq"},
                                                 {" 性别", "xb1"},
                                                 {" 出生年月", "cxny1"},
                                                 {" 随行老人姓名", "mq"},
                                                 {" 性别", "xb2"},
                                                 {" 出生年月", "cxny2"}});
            for (int i = 1; i <= 4; ++i) {
                c.push_back({QStringLiteral("xm%1").arg(i), QStringLiteral("随行儿童姓名"), {}});
                c.push_back({QStringLiteral("xb%1").arg(i + 2), QStringLiteral("性别"), {}});
                c.push_back({QStringLiteral("cxny%1").arg(i + 2), QStringLiteral("出生年月"), {}});
            }
            c.push_back({QStringLiteral("ysno"), QStringLiteral("现状"), {}});
            return c;
        }
        default:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 身份证号码", "sfzhm"},
                            {"m宽带费用", "kdf"},
                            {"m电梯维护费", "dtf"},
                            {"m垃圾费", "wsf"},
                            {"m治安费", "zaf"},
                            {"m物业管理费", "wgf"},
                            {"m其它杂费", "qtf"},
                            {"m费用合计", "hj"}});
    }
}

// Column widths from the values a column holds and from its caption, which
// stays on one line up to four characters and takes two lines beyond.
void fitColumns(DataGrid* grid, const std::vector<GridColumn>& cols) {
    const QFontMetrics fm(grid->font());
    const int padding = fm.horizontalAdvance(QChar(0x4E2D));
    for (int i = 0; i < static_cast<int>(cols.size()); ++i) {
        const GridColumn& c = cols[static_cast<size_t>(i)];
        QString sample(c.format.isEmpty() ? 6 : 11, QLatin1Char('0'));
        if (c.field == QLatin1String("sfzhm"))
            sample = QString(18, QLatin1Char('0'));
        else if (c.field.startsWith(QLatin1String("xm")) || c.field == QLatin1String("dw"))
            sample = QString(c.field == QLatin1String("dw") ? 6 : 5, QChar(0x4E2D));
        else if (c.field == QLatin1String("jfrq") || c.field.startsWith(QLatin1String("sfsd")) ||
                 c.field.endsWith(QLatin1String("rq")) || c.field == QLatin1String("dh"))
            sample = QString(10, QLatin1Char('0'));
        const QString head = c.caption.size() <= 4 ? c.caption : c.caption.left((c.caption.size() + 1) / 2);
        grid->setColumnWidth(i, std::max(fm.horizontalAdvance(sample), fm.horizontalAdvance(head)) + padding);
    }
}

// The light-green strip with blue text of the data sources and grid captions.
void greenStrip(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    pal.setColor(QPalette::WindowText, QColor(0, 0, 255));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

// Runs a handler after every resize of a widget.
class ResizeHook : public QObject {
public:
    ResizeHook(QWidget* watched, std::function<void()> handler) : QObject(watched), handler_(std::move(handler)) {
        watched->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Resize)
            handler_();
        return false;
    }

private:
    std::function<void()> handler_;
};

void fillList(QComboBox* c, const QStringList& items) {
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);
}

}  // namespace

FrmZsdjs::FrmZsdjs() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

// ---------------------------------------------------------------- the window

void FrmZsdjs::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("租金水电计算"));
    root->resize(forms::pixels(designSize()));
    buildInputs(root);  // created in the order Tab walks them
    buildButtons(root);
    buildFileBrowser(root);
    buildGrids(root);
    connectHandlers(root);
}

// The left column: the title, the inputs in the order Enter walks them, and
// the four mode boxes.
void FrmZsdjs::buildInputs(QWidget* root) {
    FrmZsdjsUi& u = ui();
    u.Image2 = make<QLabel>(root, "Image2");
    u.Image2->setScaledContents(true);
    setTwips(u.Image2, 120, 120, 1260, 360);
    u.Label2 = make<QLabel>(root, "Label2");
    u.Label2->setText(QStringLiteral("租金水电费计算"));
    u.Label2->setFont(forms::songTi(14));
    u.Label2->setAlignment(Qt::AlignCenter);
    setTwips(u.Label2, 1440, 60, 2160, 480);

    struct Input {
        const char *name, *caption;
        QLineEdit** box;
        QComboBox** combo;
    };
    const Input inputs[] = {
        {"CboCxfs", "查询方式：", nullptr, &u.CboCxfs}, {"Txtjfrq", "计费日期：", &u.Txtjfrq, nullptr},
        {"TxtFh", "房间编号：", &u.TxtFh, nullptr},     {"Txtzk", "租客姓名：", &u.Txtzk, nullptr},
        {"Txtzh", "身份证号码：", &u.Txtzh, nullptr},   {"Cboxz", "房间现状：", nullptr, &u.Cboxz},
        {"TxtSfsd", "计费时段：", &u.TxtSfsd, nullptr}, {"TxtSyrq", "上月日期：", &u.TxtSyrq, nullptr},
        {"TxtTs", "提示：", &u.TxtTs, nullptr},         {"CboCxxx", "查询选项：", nullptr, &u.CboCxxx},
        {"CboDel", "删除选项：", nullptr, &u.CboDel},   {"CboLx", "文件类型：", nullptr, &u.CboLx}};
    int top = 660, label = 3;
    for (const Input& in : inputs) {
        auto* l = make<QLabel>(root, QByteArray("Label" + QByteArray::number(label++)).constData());
        l->setText(QString::fromUtf8(in.caption));
        place(l, 120, top, 1230, 315);
        if (in.box) {
            *in.box = make<QLineEdit>(root, in.name);
            setTwips(*in.box, 1350, top, 2250, 315);
            if (in.box == &u.TxtTs)
                forms::statusBox(u.TxtTs, l);
        } else {
            *in.combo = make<QComboBox>(root, in.name);
            setTwips(*in.combo, 1350, top - 15, 2250, 345);
        }
        top += 380;
    }
    // The room status may be typed; typed text stays exactly as typed.
    u.Cboxz->setEditable(true);
    u.Cboxz->setInsertPolicy(QComboBox::NoInsert);
    u.Cboxz->setCompleter(nullptr);

    auto* frame = make<QGroupBox>(root, "Frame1");
    setTwips(frame, 120, top + 60, 3480, 720);
    struct Box {
        QCheckBox** box;
        const char *name, *caption, *tip;
        int left, top;
    };
    const Box boxes[] = {{&u.Check1, "Check1", "刷新数据", "刷新租金水电库记录", 120, 90},
                         {&u.Check2, "Check2", "添加数据", "添加租金水电库记录", 1800, 90},
                         {&u.Check3, "Check3", "修改记录", "双击修改本月和上月数据", 120, 390},
                         {&u.Check4, "Check4", "添加记录", "双击添加本月和上月数据", 1800, 390}};
    for (const Box& b : boxes) {
        *b.box = make<QCheckBox>(frame, b.name);
        (*b.box)->setText(QString::fromUtf8(b.caption));
        (*b.box)->setToolTip(QString::fromUtf8(b.tip));
        place(*b.box, b.left, b.top, 1560, 270);
    }
}

void FrmZsdjs::buildButtons(QWidget* root) {
    FrmZsdjsUi& u = ui();
    struct Button {
        QPushButton** slot;
        const char *name, *caption, *tip;
    };
    const Button buttons[] = {{&u.CmdBydr, "CmdBydr", "计费信息导入", "租客入住登记库向本月租金水电库导入数据"},
                              {&u.CmdSydr, "CmdSydr", "上月数据导入", "本月租金水电库向上月租金水电库导入数据"},
                              {&u.CmdJs, "CmdJs", "计算", "计算租金水电费"},
                              {&u.CmdCx, "CmdCx", "查询", "查询数据"},
                              {&u.CmdDel, "CmdDel", "删除", "删除数据"},
                              {&u.CmdPrinter, "CmdPrinter", "打印", "打印租金水电费单据"},
                              {&u.CmdWj, "CmdWj", "文件", "打开租金水电数据文件"},
                              {&u.CmdExtt, "CmdExtt", "返回", "退出"}};
    for (int i = 0; i < 8; ++i) {
        const Button& b = buttons[i];
        *b.slot = make<QPushButton>(root, b.name);
        (*b.slot)->setText(QString::fromUtf8(b.caption));
        (*b.slot)->setToolTip(QString::fromUtf8(b.tip));
        setTwips(*b.slot, i % 2 ? 1860 : 120, 6120 + i / 2 * 480, 1740, 420);
    }
}

// The drive, folder and file lists of 文件, under the buttons; they start on
// the process's current folder.
void FrmZsdjs::buildFileBrowser(QWidget* root) {
    FrmZsdjsUi& u = ui();
    u.DrvList = make<forms::DriveList>(root, "DrvList");
    setTwips(u.DrvList, 120, 8040, 3480, 345);
    u.DirList = make<forms::FolderList>(root, "DirList");
    setTwips(u.DirList, 120, 8460, 1710, 1380);
    u.FilList = make<forms::FileList>(root, "FilList");
    setTwips(u.FilList, 1890, 8460, 1710, 1380);
    u.FilList->setPath(QDir::currentPath());
    const QSignalBlocker blockDir(u.DirList);
    const QSignalBlocker blockDrive(u.DrvList);
    u.DirList->setPath(QDir::currentPath());
    u.DrvList->setDriveOf(QDir::currentPath());
}

void FrmZsdjs::buildGrids(QWidget* root) {
    FrmZsdjsUi& u = ui();
    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    for (int n = 0; n < 5; ++n) {
        const QByteArray number = QByteArray::number(n + 1);
        u.GridCaption[n] = make<QLabel>(root, ("DBGrid" + number + "Caption").constData());
        u.GridCaption[n]->setText(QString::fromUtf8(kGridCaptions[n]));
        u.GridCaption[n]->setAlignment(Qt::AlignCenter);
        u.GridCaption[n]->setFont(forms::songTi(10.5));
        greenStrip(u.GridCaption[n]);
        DataGrid* g = u.DBGrid[n] = make<DataGrid>(root, ("DBGrid" + number).constData());
        g->setFont(forms::songTi(9));
        g->setTabKeyNavigation(false);  // Tab goes on to the next control; the arrows move in the grid
        DataControl* d = u.Data[n] = make<DataControl>(root, ("Data" + number).constData());
        d->setCaption(QString::fromUtf8(kTitles[n]));
        d->setReadOnly(n == 3);  // registrations are only read here
        greenStrip(d);
        g->setDataSource(d);
        const std::vector<GridColumn> cols = gridColumns(n);
        QHash<QString, QString> captions;  // a refused value is told by its column's caption
        for (const GridColumn& c : cols) captions.insert(c.field, c.caption);
        d->setFieldCaptions(captions);
        QObject::connect(g->model(), &QAbstractItemModel::modelReset, g, [g, cols] { fitColumns(g, cols); });
        g->setColumns(cols);  // amounts and readings stand at the right of their cells
        // The month's rent, readings, prices and other fees are typed in
        // their grids; rows come from the imports and the double-clicks.
        g->setAllowAddNew(false);
        g->setAllowUpdate(n == 1 || n == 4);
        g->setAllowDelete(n != 3);
    }
    placeGrids(0, 0);
}

// The right side: the banner, the bills across, this and last month side by
// side, the registrations beside the other fees; each grid with its caption
// above and its data source below. Room beyond the design (twips) goes to
// the grids.
void FrmZsdjs::placeGrids(int extraWidth, int extraHeight) {
    FrmZsdjsUi& u = ui();
    const int left = 3720, width = 15060 + extraWidth, gap = 60, height = 3040 + extraHeight / 3;
    auto block = [&](int n, int x, int y, int w) {
        setTwips(u.GridCaption[n], x, y, w, 300);
        setTwips(u.DBGrid[n], x, y + 300, w, height - 675);
        setTwips(u.Data[n], x, y + height - 375, w, 375);
    };
    setTwips(u.Image1, left, 60, width, 540);
    const int half = (width - gap) / 2, wide = (width - gap) * 3 / 5;
    block(0, left, 660, width);
    block(1, left, 660 + height + gap, half);
    block(2, left + half + gap, 660 + height + gap, width - half - gap);
    block(3, left, 660 + 2 * (height + gap), wide);
    block(4, left + wide + gap, 660 + 2 * (height + gap), width - wide - gap);
}

// A window larger than its design (maximised on a large screen) shows more
// rows and columns rather than empty room.
void FrmZsdjs::fitToWindow() {
    if (!hasUi() || !widget())
        return;  // an unloaded window's widgets are on their way out
    const forms::DesignScale designScale(scale());
    const QSize design = forms::pixels(designSize());
    const double twipsPerPixel = 15 / scale();
    placeGrids(static_cast<int>(std::max(0, widget()->width() - design.width()) * twipsPerPixel),
               static_cast<int>(std::max(0, widget()->height() - design.height()) * twipsPerPixel));
}

void FrmZsdjs::connectHandlers(QWidget* root) {
    FrmZsdjsUi& u = ui();
    using forms::on;
    using forms::onClick;
    for (int n = 0; n < 5; ++n) {
        on(u.Data[n], &DataControl::reposition, [this, n] { Data_Reposition(n); });
        if (n != 3)
            on(u.DBGrid[n], &DataGrid::deleteRequested, [this, n] {
                if (dlg::msgBox(QStringLiteral("您真的要删除这个记录吗?"), dlg::YesNo | dlg::Info,
                                QStringLiteral("删除记录")) == dlg::Yes)
                    deleteRow(n);
            });
    }
    on(u.DBGrid[0], &DataGrid::rowClicked, [this] { DBGrid1_Click(); });
    on(u.DBGrid[1], &DataGrid::rowClicked, [this] { DBGrid2_Click(); });
    on(u.DBGrid[3], &DataGrid::rowClicked, [this] { DBGrid4_Click(); });
    on(u.DBGrid[4], &DataGrid::rowClicked, [this] { DBGrid5_Click(); });
    on(u.DBGrid[0], &DataGrid::rowDoubleClicked, [this] { totalRow(0, {"zj", "sf", "df", "zf"}); });
    on(u.DBGrid[1], &DataGrid::rowDoubleClicked, [this] { makeRows(1); });
    on(u.DBGrid[3], &DataGrid::rowDoubleClicked, [this] { makeRows(3); });
    on(u.DBGrid[4], &DataGrid::rowDoubleClicked, [this] { totalRow(4, {"kdf", "dtf", "wsf", "zaf", "wgf", "qtf"}); });
    QCheckBox* boxes[] = {u.Check1, u.Check2, u.Check3, u.Check4};
    for (int n = 1; n <= 4; ++n)
        on(boxes[n - 1], &QCheckBox::clicked, [this, n] { Check_Click(n); });  // the user's only
    on(u.CboCxfs, &QComboBox::activated, [this] { CboCxfs_Click(); });
    on(u.CboCxxx, &QComboBox::activated, [this] { ui().CmdCx->setEnabled(true); });
    on(u.CboDel, &QComboBox::activated, [this] { ui().CmdDel->setEnabled(true); });
    on(u.Cboxz, &QComboBox::activated, [this] { state().SearchKeys.ysno = ui().Cboxz->currentText(); });
    onClick(u.CmdBydr, [this] { CmdBydr_Click(); });
    onClick(u.CmdSydr, [this] { CmdSydr_Click(); });
    onClick(u.CmdJs, [this] { CmdJs_Click(); });
    onClick(u.CmdCx, [this] { CmdCx_Click(); });
    onClick(u.CmdDel, [this] { CmdDel_Click(); });
    onClick(u.CmdExtt, [this] { CmdExtt_Click(); });
    onClick(u.CmdPrinter, [] { printChoice(PrintCaller::Computation); });
    onClick(u.CmdWj, [this] { CmdWj_Click(); });
    on(u.CboLx, &QComboBox::activated, [this] { CboLx_Click(); });
    on(u.DrvList, &forms::DriveList::driveChanged, [this] { DrvList_Change(); });
    on(u.DirList, &forms::FolderList::pathChanged, [this] { DirList_Change(); });
    QObject::connect(u.FilList, &forms::FileList::fileClicked, u.FilList,
                     [this](const QString& name) { forms::guard([this, name] { FilList_Click(name); }); });
    new ResizeHook(root, [this] { fitToWindow(); });
    new forms::EnterRing({u.CboLx, u.CboCxfs, u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz, u.TxtSfsd, u.TxtSyrq,
                          u.TxtTs, u.CboCxxx, u.CboDel},
                         true, root);
}

// ---------------------------------------------------------------- loading

void FrmZsdjs::onLoad() {
    FrmZsdjsUi& u = ui();
    SharedState& s = state();
    Count.fill(0);
    s.ActiveFormCode = formcode::Billing;
    s.DatabasePath = s.DataFilePath;
    bindDataFile(s.DatabasePath);
    if (subWindow())
        subWindow()->showMaximized();
    else
        widget()->showMaximized();
    fillList(u.Cboxz, {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"), QStringLiteral("已订"),
                       QStringLiteral("自用")});
    fillList(u.CboCxfs, {QStringLiteral("日期+房号+姓名"), QStringLiteral("日期+房号"), QStringLiteral("日期+姓名"),
                         QStringLiteral("日期+证号"), QStringLiteral("计费日期"), QStringLiteral("身份证号"),
                         QStringLiteral("房号"), QStringLiteral("现状"), kAllRows});
    fillList(u.CboDel, {QStringLiteral("本月数据"), QStringLiteral("上月数据"), QStringLiteral("账单数据"),
                        QStringLiteral("杂费数据")});
    fillList(u.CboCxxx, {QStringLiteral("租客登记"), QStringLiteral("本月数据"), QStringLiteral("上月数据"),
                         QStringLiteral("账单数据"), QStringLiteral("计费数据")});
    fillList(u.CboLx, {QStringLiteral("所有文件(*.*)"), QStringLiteral("(*.txt)")});
    ViewerFolder.clear();
    LastClickedFile.clear();
    try {
        if (!hasShape(s.DatabasePath, dataFileShape()))
            throw DbError(kFormatMessage);
        loadSources();
    } catch (const std::exception&) {
        info(kFormatMessage);
        lockAfterFailure();
        forms::setStatusPanel(1, QStringLiteral("工作路径：") + s.DatabasePath);
        return;
    }
    // Decorative pictures: a missing one leaves its place empty.
    forms::loadPicture(u.Image1, s.PicturePath + QStringLiteral("Snap1.jpg"));
    forms::loadPicture(u.Image2, s.PicturePath + QStringLiteral("zhjy.jpg"));
    for (QWidget* w : std::initializer_list<QWidget*>{u.CmdCx, u.CmdDel, u.CmdJs, u.TxtSyrq}) w->setEnabled(false);
    forms::setStatusPanel(1, QStringLiteral("工作路径：") + s.DatabasePath);
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

// A source with rows is counted on its last row and shown from its first.
void FrmZsdjs::recount(int n) {
    Recordset& rs = ui().Data[n]->recordset();
    if (rs.recordCount() < 1)
        return;
    rs.moveLast();
    Count[n] = rs.recordCount();
    rs.moveFirst();
}

void FrmZsdjs::caption(int n) {
    DataControl* d = ui().Data[n];
    const int position = d->isOpen() ? d->recordset().absolutePosition() + 1 : 0;
    d->setCaption(
        QStringLiteral("%1 (#Record：%2 / %3)").arg(QString::fromUtf8(kTitles[n])).arg(position).arg(Count[n]));
}

bool FrmZsdjs::hasCurrentRow() const { return ui().Data[0]->isOpen() && ui().Data[0]->recordset().hasCurrent(); }

bool FrmZsdjs::hasCurrent(int n) { return ui().Data[n]->isOpen() && ui().Data[n]->recordset().hasCurrent(); }

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
        info(QStringLiteral("'计费日期'和'房间现状'两个选项不能为空"), kTipPlain);
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
        info(QStringLiteral("请选择'刷新数据'或'添加数据'计算方式！"), kTipPlain);
        return;
    }
    ClearCurrentBill();
    const std::pair<QLineEdit*, const char*> required[] = {{u.Txtjfrq, "'计费日期'字段不能为空"},
                                                           {u.TxtSfsd, "'计费时段'字段不能为空"},
                                                           {u.TxtSyrq, "'上月日期'字段不能为空"}};
    for (const auto& [box, message] : required)
        if (box->text().isEmpty()) {
            info(QString::fromUtf8(message), kTipPlain);
            return;
        }
    if (!parseDate(u.Txtjfrq->text())) {
        info(QStringLiteral("'计费日期'不是有效的日期：") + u.Txtjfrq->text(), kTipPlain);
        return;
    }
    s.SearchKeys.jfrq = u.Txtjfrq->text();
    s.CurrentBill.sfsd2 = u.TxtSfsd->text();
    s.CurrentBill.sfsd1 = u.Txtjfrq->text();
    s.LastMonthDate = u.TxtSyrq->text();
    const Run run{s.DatabasePath, replace,  u.Txtjfrq->text(), u.TxtSfsd->text(), u.TxtSyrq->text(),
                  shown(1),       shown(2), shown(4),          shown(0)};
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
             kTipPlain);
        return;
    }
    s.ReceiptTitle = QStringLiteral("房屋租赁使用费收据");
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
        info(missing.join(QLatin1Char('\n')), kTipPlain);
    if (!result.receiptsKept.isEmpty())
        info(QStringLiteral(
                 "租金水电费已计算，账单已保存，但收据现在写不进去：%1\n这些收据已保留，下次计算时写入收据文件。")
                 .arg(result.receiptsKept),
             kTipPlain);
    u.TxtTs->setText(QStringLiteral("租金水电费计算完成！"));
    info(u.TxtTs->text(), kTipPlain);
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

void FrmZsdjs::DBGrid1_Click() {
    if (!hasCurrent(0) || rows(0) < 1)
        return;
    SharedState& s = state();
    copyBill();
    s.AmountInWords = RMBChinese(s.CurrentBill.hj.toDouble());
    ui().TxtTs->setText(s.AmountInWords);
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
    } catch (const std::exception&) {
        if (d->isOpen() && d->recordset().editState() != Recordset::EditState::None)
            d->cancelUpdate();  // never left half-edited
        info(kPickRow);
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
                } catch (const std::exception&) {
                    if (d->isOpen() && d->recordset().editState() != Recordset::EditState::None)
                        d->cancelUpdate();
                    info(kPickRow);  // rows written before stay; the mode stays
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
    const QString target = u.CboCxxx->currentText(), found = QStringLiteral("为您查到一条记录"),
                  notFound = QStringLiteral("没有找到符合条件的记录"),
                  matching = QStringLiteral("为您查到符合条件的记录"), all = QStringLiteral("显示全部记录");
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
            u.TxtTs->setText(u.Data[n]->findFirst(match) ? found : notFound);
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
                u.TxtTs->setText(matching);
            } else if (allRows) {
                filter(3, {}, {});
                u.TxtTs->setText(all);
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
                u.TxtTs->setText(matching);
            } else if (allRows) {
                for (int i : {0, 1, 2}) filter(i, {}, {});
                u.TxtTs->setText(all);
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
    const dlg::Button answer =
        dlg::msgBox(QStringLiteral("您真的要删除这个记录吗?"), dlg::YesNo | dlg::Info, QStringLiteral("删除记录"));
    ImportAnswer = QString::number(static_cast<int>(answer));
    if (n >= 0 && answer == dlg::Yes && !deleteRow(n))
        u.CmdDel->setEnabled(true);
}

// The current row of source n only: the tenant's rows elsewhere stay.
bool FrmZsdjs::deleteRow(int n) {
    FrmZsdjsUi& u = ui();
    if (!hasCurrent(n))
        return true;
    Recordset& rs = u.Data[n]->recordset();
    try {
        u.Data[n]->remove();
        if (rs.recordCount() > 0) {
            if (rs.eof()) {
                rs.moveLast();
                dlg::msgBox(QStringLiteral("已到尾记录！"), dlg::OkOnly, kTip);
            } else {
                rs.moveNext();
            }
        }
    } catch (const std::exception&) {
        info(QStringLiteral("数据删除失败！"));
        return false;
    }
    Count[n] = rs.recordCount();
    caption(n);
    u.TxtTs->setText(QStringLiteral("数据删除成功"));
    return true;
}

// ---------------------------------------------------------------- the receipt file

// The viewer opens the chosen file; with nothing chosen yet it says so.
void FrmZsdjs::CmdWj_Click() {
    FrmZsdjsUi& u = ui();
    if (u.TxtTs->text().isEmpty()) {
        info(QStringLiteral("请选择要浏览的文件！"), kTipPlain);
        return;
    }
    viewReceiptFile(ViewerFolder + u.FilList->fileName());
}

void FrmZsdjs::CboLx_Click() {
    const int i = ui().CboLx->currentIndex();
    if (i == 0 || i == 1)
        ui().FilList->setPattern(i == 0 ? QStringLiteral("*.*") : QStringLiteral("*.txt"));
}

void FrmZsdjs::DrvList_Change() {
    FrmZsdjsUi& u = ui();
    if (!u.DirList->setPath(u.DrvList->drive())) {
        const QSignalBlocker block(u.DrvList);
        u.DrvList->setDriveOf(u.DirList->path());
    }
}

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
    try {
        state().DataFilePath.clear();
        forms::setStatusPanel(1, shell::programFolder());
    } catch (const std::exception&) {
        info(QStringLiteral("结束返回！"));
    }
    unload();
}

}  // namespace tv::billing
