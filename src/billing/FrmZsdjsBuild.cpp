// The computation window's controls: made, placed and connected to their
// handlers (in FrmZsdjs.cpp).
#include "billing/FrmZsdjs.h"

#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/PickerLists.h"
#include "platform/forms/StatusBox.h"
#include "platform/forms/WindowParts.h"
#include "shared/PrintChoice.h"
#include "shared/SharedState.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <algorithm>
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

const BySource<const char*> kGridCaptions{
    {"租金水电计算", "本月租金水电数据录入", "上月租金水电数据关联", "租客入住登记表", "其它费用表"}};

// Columns: caption, field; 'm' money ("Currency"), 'p' a unit price
// ("CurrencyExact"), 'n' a reading, ' ' text.
std::vector<GridColumn> columns(std::initializer_list<std::pair<const char*, const char*>> list) {
    std::vector<GridColumn> out;
    for (const auto& [caption, field] : list) {
        const char kind = caption[0];
        out.push_back({QString::fromLatin1(field), QString::fromUtf8(caption + 1),
                       kind == 'm'   ? QStringLiteral("Currency")
                       : kind == 'p' ? QStringLiteral("CurrencyExact")
                                     : QString()});
    }
    return out;
}

std::vector<GridColumn> gridColumns(Source n) {
    switch (n) {
        case Source::Bills:
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
                            {"p市水单价", "sdj"},
                            {"m本月水费", "sf"},
                            {"n本月电表读数", "bydb"},
                            {"n上月电表读数", "sydb"},
                            {"n本月用电量", "ydl"},
                            {"p市电单价", "ddj"},
                            {"m本月电费", "df"},
                            {"m其它费用", "zf"},
                            {"m合计", "hj"}});
        case Source::ThisMonth:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 姓名", "xm"},
                            {" 身份证号码", "sfzhm"},
                            {"m租金", "zj"},
                            {"n本月水表读数", "bysb"},
                            {"p市水单价", "sdj"},
                            {"n本月电表读数", "bydb"},
                            {"p市电单价", "ddj"}});
        case Source::LastMonth:
            return columns({{" 计费日期", "jfrq"},
                            {" 房间编号", "fjh"},
                            {" 姓名", "xm"},
                            {" 身份证号码", "sfzhm"},
                            {"m租金", "zj"},
                            {"n上月水表读数", "sysb"},
                            {"p市水单价", "sdj"},
                            {"n上月电表读数", "sydb"},
                            {"p市电单价", "ddj"}});
        case Source::Registrations: {
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
        case Source::OtherFees:
            break;
    }
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

// The values a column holds: ID numbers, names and employers, dates and
// phone numbers; amounts wider than readings and other text.
QString widthSample(const GridColumn& c) {
    if (c.field == QLatin1String("sfzhm"))
        return QString(18, QLatin1Char('0'));
    if (c.field.startsWith(QLatin1String("xm")) || c.field == QLatin1String("dw"))
        return QString(c.field == QLatin1String("dw") ? 6 : 5, QChar(0x4E2D));
    if (c.field == QLatin1String("jfrq") || c.field.startsWith(QLatin1String("sfsd")) ||
        c.field.endsWith(QLatin1String("rq")) || c.field == QLatin1String("dh"))
        return QString(10, QLatin1Char('0'));
    return QString(c.format.isEmpty() ? 6 : 11, QLatin1Char('0'));
}

}  // namespace

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
            // The room status may be typed; the other lists are chosen from.
            *in.combo = forms::listBox(root, in.name, in.combo == &u.Cboxz);
            setTwips(*in.combo, 1350, top - 15, 2250, 345);
        }
        top += 380;
    }

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
    forms::makeButtons(root,
                       {{&u.CmdBydr, "CmdBydr", "计费信息导入", "租客入住登记库向本月租金水电库导入数据", 120, 6120},
                        {&u.CmdSydr, "CmdSydr", "上月数据导入", "本月租金水电库向上月租金水电库导入数据", 1860, 6120},
                        {&u.CmdJs, "CmdJs", "计算", "计算租金水电费", 120, 6600},
                        {&u.CmdCx, "CmdCx", "查询", "查询数据", 1860, 6600},
                        {&u.CmdDel, "CmdDel", "删除", "删除数据", 120, 7080},
                        {&u.CmdPrinter, "CmdPrinter", "打印", "打印租金水电费单据", 1860, 7080},
                        {&u.CmdWj, "CmdWj", "文件", "打开租金水电数据文件", 120, 7560},
                        {&u.CmdExtt, "CmdExtt", "返回", "退出", 1860, 7560}},
                       1740, 420);
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
    forms::showFolder(u.DrvList, u.DirList, u.FilList, QDir::currentPath());
}

void FrmZsdjs::buildGrids(QWidget* root) {
    FrmZsdjsUi& u = ui();
    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    for (Source n : kSources) {
        const QByteArray number = QByteArray::number(static_cast<int>(n) + 1);  // Data1 ... Data5
        DataControl* d = u.Data[n] = make<DataControl>(root, ("Data" + number).constData());
        d->setCaption(sourceTitle(n));
        d->setReadOnly(n == Source::Registrations);  // registrations are only read here
        forms::greenStrip(d);
        const std::vector<GridColumn> cols = gridColumns(n);
        QHash<QString, QString> captions;  // a refused value is told by its column's caption
        for (const GridColumn& c : cols) captions.insert(c.field, c.caption);
        d->setFieldCaptions(captions);
        // Amounts and readings stand at the right of their cells.
        DataGrid* g = u.DBGrid[n] =
            forms::captionedGrid(root, ("DBGrid" + number).constData(), QString::fromUtf8(kGridCaptions[n]), d, cols,
                                 widthSample, &u.GridCaption[n]);
        // The month's rent, readings, prices and other fees are typed in
        // their grids; rows come from the imports and the double-clicks.
        g->setAllowAddNew(false);
        g->setAllowUpdate(n == Source::ThisMonth || n == Source::OtherFees);
        g->setAllowDelete(n != Source::Registrations);
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
    auto block = [&](Source n, int x, int y, int w) {
        setTwips(u.GridCaption[n], x, y, w, 300);
        setTwips(u.DBGrid[n], x, y + 300, w, height - 675);
        setTwips(u.Data[n], x, y + height - 375, w, 375);
    };
    setTwips(u.Image1, left, 60, width, 540);
    const int half = (width - gap) / 2, wide = (width - gap) * 3 / 5;
    block(Source::Bills, left, 660, width);
    block(Source::ThisMonth, left, 660 + height + gap, half);
    block(Source::LastMonth, left + half + gap, 660 + height + gap, width - half - gap);
    block(Source::Registrations, left, 660 + 2 * (height + gap), wide);
    block(Source::OtherFees, left + wide + gap, 660 + 2 * (height + gap), width - wide - gap);
}

// A window larger than its design (maximised on a large screen) shows more
// rows and columns rather than empty room.
void FrmZsdjs::fitToWindow() {
    if (!hasUi() || !widget())
        return;                                     // an unloaded window's widgets are on their way out
    const forms::DesignScale designScale(scale());  // the grids are placed at the window's scale
    const QSize room = forms::roomBeyondDesign(widget(), designSize(), scale());
    placeGrids(room.width(), room.height());
}

void FrmZsdjs::connectHandlers(QWidget* root) {
    FrmZsdjsUi& u = ui();
    using forms::on;
    using forms::onClick;
    for (Source n : kSources) {
        on(u.Data[n], &DataControl::reposition, [this, n] { Data_Reposition(n); });
        if (n != Source::Registrations)
            on(u.DBGrid[n], &DataGrid::deleteRequested, [this, n] { DBGrid_DeleteRequested(n); });
    }
    using S = Source;
    on(u.DBGrid[S::Bills], &DataGrid::rowClicked, [this] { DBGrid1_Click(); });
    on(u.DBGrid[S::ThisMonth], &DataGrid::rowClicked, [this] { DBGrid2_Click(); });
    on(u.DBGrid[S::Registrations], &DataGrid::rowClicked, [this] { DBGrid4_Click(); });
    on(u.DBGrid[S::OtherFees], &DataGrid::rowClicked, [this] { DBGrid5_Click(); });
    on(u.DBGrid[S::Bills], &DataGrid::rowDoubleClicked, [this] { totalRow(S::Bills); });
    on(u.DBGrid[S::ThisMonth], &DataGrid::rowDoubleClicked, [this] { makeRows(S::ThisMonth); });
    on(u.DBGrid[S::Registrations], &DataGrid::rowDoubleClicked, [this] { makeRows(S::Registrations); });
    on(u.DBGrid[S::OtherFees], &DataGrid::rowDoubleClicked, [this] { totalRow(S::OtherFees); });
    u.DBGrid[S::OtherFees]->setBeforeStore(
        [this](Recordset& row, const QStringList& typed) { DBGrid5_BeforeStore(row, typed); });
    QCheckBox* boxes[] = {u.Check1, u.Check2, u.Check3, u.Check4};
    for (int n = 1; n <= 4; ++n)
        on(boxes[n - 1], &QCheckBox::clicked, [this, n] { Check_Click(n); });  // the user's only
    on(u.CboCxfs, &QComboBox::activated, [this] { CboCxfs_Click(); });
    on(u.CboCxxx, &QComboBox::activated, [this] { ui().CmdCx->setEnabled(true); });
    on(u.CboDel, &QComboBox::activated, [this] { ui().CmdDel->setEnabled(true); });
    onClick(u.CmdBydr, [this] { CmdBydr_Click(); });
    onClick(u.CmdSydr, [this] { CmdSydr_Click(); });
    onClick(u.CmdJs, [this] { CmdJs_Click(); });
    onClick(u.CmdCx, [this] { CmdCx_Click(); });
    onClick(u.CmdDel, [this] { CmdDel_Click(); });
    onClick(u.CmdExtt, [this] { CmdExtt_Click(); });
    setExitButton(u.CmdExtt);
    onClick(u.CmdPrinter, [] { printChoice(PrintCaller::Computation); });
    onClick(u.CmdWj, [this] { CmdWj_Click(); });
    on(u.CboLx, &QComboBox::activated, [this] { CboLx_Click(); });
    on(u.DrvList, &forms::DriveList::driveChanged, [this] { DrvList_Change(); });
    on(u.DirList, &forms::FolderList::pathChanged, [this] { DirList_Change(); });
    QObject::connect(u.FilList, &forms::FileList::fileClicked, u.FilList,
                     [this](const QString& name) { forms::guard([this, name] { FilList_Click(name); }); });
    forms::onResize(root, [this] { fitToWindow(); });
    new forms::EnterRing({u.CboLx, u.CboCxfs, u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cboxz, u.TxtSfsd, u.TxtSyrq,
                          u.TxtTs, u.CboCxxx, u.CboDel},
                         true, root);
}

}  // namespace tv::billing
