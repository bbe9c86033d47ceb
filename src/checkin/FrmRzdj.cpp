#include "checkin/FrmRzdj.h"

#include "checkin/PhotoFile.h"
#include "platform/db/Recordset.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/PickerLists.h"
#include "platform/forms/StatusBox.h"
#include "platform/forms/WindowParts.h"
#include "platform/shell/Shell.h"
#include "shared/CheckInCopy.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintChoice.h"
#include "shared/PrintRoutines.h"
#include "shared/SharedState.h"

#include <QDir>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>

#include <array>
#include <exception>
#include <functional>
#include <tuple>
#include <utility>
#include <vector>

namespace tv::checkin {

using tv::forms::BoundCombo;
using tv::forms::BoundImage;
using tv::forms::BoundTextBox;
using tv::forms::DataControl;
namespace dlg = tv::dlg;
using tv::forms::make;
using tv::forms::twips;

namespace {

const QString kCaption = QStringLiteral("租客入住登记");
const QString kFormatMessage = QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
const QString kEditErrorTitle = QStringLiteral("记录'添加'或'修改'错误！");

// The longest values a keeper types, as wide as they are drawn: every box
// shows its kind whole.
const QString kLongName(12, QChar(0x4E2D));  // a name of twelve characters
const QString kLongUnit(24, QChar(0x4E2D));  // a work unit and its department
const QString kLongRoom = QStringLiteral("B00-0000");
const QString kLongId = QStringLiteral("00000000000000000X");
const QString kLongPhone = QStringLiteral("0000-00000000");
const QString kLongDate = QStringLiteral("0000-00-00");

// Runs a store or cancel of the pending row; a refusal is shown in the edit
// error box and the row stays pending.
bool storeCall(const std::function<void()>& call) {
    try {
        call();
        return true;
    } catch (const std::exception& e) {
        dlg::msgBox(QString::fromUtf8(e.what()), dlg::OkOnly, kEditErrorTitle);
        return false;
    }
}

}  // namespace

FrmRzdj::FrmRzdj() : Window(QString::fromLatin1(kName), Kind::MdiChild) {}

// --- building the window --------------------------------------------------

namespace {

QGroupBox* frame(QWidget* parent, const QString& title, const QRect& where) {
    auto* box = new QGroupBox(title, parent);
    box->setGeometry(where);
    return box;
}

// The grid of a frame, its margins and gaps drawn to the window's scale as
// the frame is: a window drawn smaller keeps each row inside its frame.
QGridLayout* gridIn(QGroupBox* box) {
    auto* grid = new QGridLayout(box);
    const int margin = tv::forms::px(135), gap = tv::forms::px(90);  // 9 and 6 pixels at full size
    grid->setContentsMargins(margin, margin, margin, margin);
    grid->setSpacing(gap);
    return grid;
}

QLabel* label(const QString& text) {
    auto* l = new QLabel(text);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

// One companion: name and sex on a line, the birth below.
void addPerson(QGridLayout* grid, int row, int col, QLineEdit* name, QComboBox* sex, QLineEdit* birth,
               const QString& birthLabel) {
    grid->addWidget(label(QStringLiteral("姓名：")), row, col);
    grid->addWidget(name, row, col + 1);
    grid->addWidget(label(QStringLiteral("性别：")), row, col + 2);
    grid->addWidget(sex, row, col + 3);
    grid->addWidget(label(birthLabel), row + 1, col);
    grid->addWidget(birth, row + 1, col + 1, 1, 3);
    grid->setColumnStretch(col + 1, 2);
    grid->setColumnStretch(col + 3, 1);
}

}  // namespace

void FrmRzdj::build(QWidget* root) {
    FrmRzdjUi& u = ui();
    root->setWindowTitle(kCaption);

    // The design is larger than small screens: it scrolls inside the window.
    auto* outer = new QGridLayout(root);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(root);
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setAlignment(Qt::AlignCenter);  // a larger screen shows the design in the middle
    outer->addWidget(scroll);
    auto* page = new QWidget;
    page->setFixedSize(tv::forms::pixels(designSize()));
    scroll->setWidget(page);

    u.Data1 = make<DataControl>(page, "Data1");
    u.Data1->setCaption(kCaption);
    u.Data1->setGeometry(twips(2760, 8640, 8415, 420));

    u.Image2 = make<BoundImage>(page, "Image2");
    u.Image2->setGeometry(twips(0, 0, 2655, 735));
    u.Image1 = make<BoundImage>(page, "Image1");
    u.Image1->setGeometry(twips(2760, 0, 17295, 1305));

    buildRenter(page);
    buildCompanions(page);
    buildSearchAndPhoto(page);
    buildPicker(page);
    buildButtons(page);
    makeRoomForValues();
    bindFields();
    connectHandlers(root);
    root->resize(page->size());
}

void FrmRzdj::buildRenter(QWidget* page) {
    FrmRzdjUi& u = ui();
    // 承租人信息
    auto* renter = frame(page, QStringLiteral("承租人信息"), twips(2760, 1920, 8415, 3015));
    auto* g = gridIn(renter);
    u.Txtfjh = make<BoundTextBox>(renter, "Txtfjh");
    u.Txtjzrs = make<BoundTextBox>(renter, "Txtjzrs");
    u.Txtxm = make<BoundTextBox>(renter, "Txtxm");
    u.Txtdh = make<BoundTextBox>(renter, "Txtdh");
    u.Txtsfzh = make<BoundTextBox>(renter, "Txtsfzh");
    u.Txtdw = make<BoundTextBox>(renter, "Txtdw");
    u.Cboyh = make<BoundCombo>(renter, "Cboyh");
    u.Cbowh = make<BoundCombo>(renter, "Cbowh");
    u.Cbon1 = make<BoundCombo>(renter, "Cbon1");
    u.Cbon2 = make<BoundCombo>(renter, "Cbon2");
    u.Txtrzrq = make<BoundTextBox>(renter, "Txtrzrq");
    u.Txtlkrq = make<BoundTextBox>(renter, "Txtlkrq");
    g->addWidget(label(QStringLiteral("房间编号：")), 0, 0);
    g->addWidget(u.Txtfjh, 0, 1);
    g->addWidget(label(QStringLiteral("居住人数：")), 0, 2);
    g->addWidget(u.Txtjzrs, 0, 3);
    g->addWidget(label(QStringLiteral("承租人姓名：")), 0, 4);
    g->addWidget(u.Txtxm, 0, 5);
    g->addWidget(label(QStringLiteral("联系电话：")), 1, 0);
    g->addWidget(u.Txtdh, 1, 1, 1, 3);
    g->addWidget(label(QStringLiteral("身份证号码：")), 1, 4);
    g->addWidget(u.Txtsfzh, 1, 5);
    g->addWidget(label(QStringLiteral("工作单位：")), 2, 0);
    g->addWidget(u.Txtdw, 2, 1, 1, 5);
    g->addWidget(label(QStringLiteral("婚姻状况：")), 3, 0);
    g->addWidget(u.Cboyh, 3, 1);
    g->addWidget(label(QStringLiteral("职业：")), 3, 2);
    g->addWidget(u.Cbowh, 3, 3);
    g->addWidget(label(QStringLiteral("子女数：")), 3, 4);
    {
        auto* kids = new QHBoxLayout;
        kids->addWidget(u.Cbon1, 1);
        kids->addWidget(new QLabel(QStringLiteral("男")));
        kids->addWidget(u.Cbon2, 1);
        kids->addWidget(new QLabel(QStringLiteral("女")));
        g->addLayout(kids, 3, 5);
    }
    g->addWidget(label(QStringLiteral("入住日期：")), 4, 0);
    g->addWidget(u.Txtrzrq, 4, 1, 1, 3);
    g->addWidget(label(QStringLiteral("离开日期：")), 4, 4);
    g->addWidget(u.Txtlkrq, 4, 5);
    for (int c : {1, 3, 5}) g->setColumnStretch(c, 1);
}

void FrmRzdj::buildCompanions(QWidget* page) {
    FrmRzdjUi& u = ui();
    // 随行老人信息
    auto* elders = frame(page, QStringLiteral("随行老人信息"), twips(11280, 1920, 11535, 3015));
    auto* ge = gridIn(elders);
    for (int i = 0; i < 6; ++i) {
        const QByteArray n = "Cboxb" + QByteArray::number(i + 1);
        u.Cboxb[i] = make<BoundCombo>(page, n.constData());
    }
    u.Txtfq = make<BoundTextBox>(elders, "Txtfq");
    u.Txtcxny1 = make<BoundTextBox>(elders, "Txtcxny1");
    u.Txtmq = make<BoundTextBox>(elders, "Txtmq");
    u.Txtcxny2 = make<BoundTextBox>(elders, "Txtcxny2");
    addPerson(ge, 0, 0, u.Txtfq, u.Cboxb[0], u.Txtcxny1, QStringLiteral("出生年月："));
    addPerson(ge, 0, 4, u.Txtmq, u.Cboxb[1], u.Txtcxny2, QStringLiteral("出生年月："));

    // 随行儿童信息
    auto* children = frame(page, QStringLiteral("随行儿童信息"), twips(11280, 5040, 11535, 3495));
    auto* gc = gridIn(children);
    u.Txtxm1 = make<BoundTextBox>(children, "Txtxm1");
    u.Txtcxny3 = make<BoundTextBox>(children, "Txtcxny3");
    u.Txtxm2 = make<BoundTextBox>(children, "Txtxm2");
    u.Txtcxny4 = make<BoundTextBox>(children, "Txtcxny4");
    u.Txtxm3 = make<BoundTextBox>(children, "Txtxm3");
    u.Txtcxny5 = make<BoundTextBox>(children, "Txtcxny5");
    u.Txtxm4 = make<BoundTextBox>(children, "Txtxm4");
    u.Txtcxny6 = make<BoundTextBox>(children, "Txtcxny6");
    const QString born = QStringLiteral("出生日期：");
    addPerson(gc, 0, 0, u.Txtxm1, u.Cboxb[2], u.Txtcxny3, born);
    addPerson(gc, 2, 0, u.Txtxm2, u.Cboxb[3], u.Txtcxny4, born);
    addPerson(gc, 0, 4, u.Txtxm3, u.Cboxb[4], u.Txtcxny5, born);
    addPerson(gc, 2, 4, u.Txtxm4, u.Cboxb[5], u.Txtcxny6, born);
    u.Cboysno = make<BoundCombo>(children, "Cboysno");
    gc->addWidget(label(QStringLiteral("房间现状：")), 4, 6);
    gc->addWidget(u.Cboysno, 4, 7);
}

void FrmRzdj::buildSearchAndPhoto(QWidget* page) {
    FrmRzdjUi& u = ui();
    // 查询选项
    // A little wider than designed, the photo frame beside it a little
    // narrower: a name of twelve characters fits also when drawn smaller.
    auto* search = frame(page, QStringLiteral("查询选项"), twips(2760, 5040, 2955, 3495));
    auto* gs = gridIn(search);
    // Ten rows in a short frame: keep the rows tight so no box is squeezed.
    gs->setContentsMargins(tv::forms::px(120), tv::forms::px(30), tv::forms::px(120), tv::forms::px(30));
    gs->setVerticalSpacing(0);
    u.CboCxfs = make<QComboBox>(search, "CboCxfs");
    u.TxtFh = make<QLineEdit>(search, "TxtFh");
    u.TxtZk = make<QLineEdit>(search, "TxtZk");
    u.Txtzh = make<QLineEdit>(search, "Txtzh");
    u.Cboxz = make<QComboBox>(search, "Cboxz");
    u.Cboxz->setEditable(true);
    u.Cboxz->setInsertPolicy(QComboBox::NoInsert);
    const std::pair<const char*, QWidget*> searchRows[] = {{"查询方式：", u.CboCxfs},
                                                           {"房间编号：", u.TxtFh},
                                                           {"承租人姓名：", u.TxtZk},
                                                           {"身份证号码：", u.Txtzh},
                                                           {"房屋现状：", u.Cboxz}};
    int sr = 0;
    for (const auto& [text, w] : searchRows) {
        auto* l = new QLabel(QString::fromUtf8(text));
        gs->addWidget(l, sr++, 0);
        gs->addWidget(w, sr++, 0);
    }

    // 身份证相片
    auto* photo = frame(page, QStringLiteral("身份证相片"), twips(5820, 5040, 5355, 3495));
    auto* gp = gridIn(photo);
    u.Image3 = make<BoundImage>(photo, "Image3");
    u.Image3->setToolTip(QStringLiteral("租客身份证照片"));
    gp->addWidget(u.Image3);
}

void FrmRzdj::buildPicker(QWidget* page) {
    FrmRzdjUi& u = ui();
    // The picker and the status line down the left side.
    auto* picker = frame(page, QString(), twips(0, 840, 2655, 9735));
    auto* gk = gridIn(picker);
    u.DrvList = make<tv::forms::DriveList>(picker, "DrvList");
    u.DirList = make<tv::forms::FolderList>(picker, "DirList");
    u.FilList = make<tv::forms::FileList>(picker, "FilList");
    u.CboLx = make<QComboBox>(picker, "CboLx");
    u.TxtMbwj = make<QLineEdit>(picker, "TxtMbwj");
    u.TxtTs = tv::forms::statusBox(make<QLineEdit>(picker, "TxtTs"));
    gk->addWidget(u.DrvList, 0, 0, 1, 2);
    gk->addWidget(u.DirList, 1, 0, 1, 2);
    gk->addWidget(u.FilList, 2, 0, 1, 2);
    // Each caption above its box, so that the box has the picker's whole width.
    gk->addWidget(new QLabel(QStringLiteral("文件类型：")), 3, 0, 1, 2);
    gk->addWidget(u.CboLx, 4, 0, 1, 2);
    gk->addWidget(new QLabel(QStringLiteral("目标文件：")), 5, 0, 1, 2);
    gk->addWidget(u.TxtMbwj, 6, 0, 1, 2);
    gk->addWidget(u.TxtTs, 7, 0, 1, 2);
    gk->setRowStretch(1, 3);
    gk->setRowStretch(2, 4);

    // The picker starts on the program's current folder.
    tv::forms::showFolder(u.DrvList, u.DirList, u.FilList, QDir::currentPath());
}

void FrmRzdj::buildButtons(QWidget* page) {
    FrmRzdjUi& u = ui();
    // The buttons along the bottom.
    const int top = 9720;
    forms::makeButtons(page,
                       {{&u.CmdTj, "CmdTj", "添加", "添加新记录", 3600, top},
                        {&u.CmdXg, "CmdXg", "修改", "修改记录", 5400, top},
                        {&u.CmdCx, "CmdCx", "查询", "查询记录", 7200, top},
                        {&u.CmdDel, "CmdDel", "删除", "删除记录", 9000, top},
                        {&u.CmdSyt, "CmdSyt", "上一条记录", "显示上一条记录", 10800, top},
                        {&u.CmdXyt, "CmdXyt", "下一条记录", "显示下一条记录", 12600, top},
                        {&u.CmdQr, "CmdQr", "确认", "确认添加或修改", 14400, top}},
                       1455, 495);
    // The last three are a little wider.
    forms::makeButtons(page,
                       {{&u.Cmdfq, "Cmdfq", "放弃", "放弃添加或修改", 16200, top},
                        {&u.CmdPrinter, "CmdPrinter", "打印", "打印记录", 18480, top},
                        {&u.CmdExit, "CmdExit", "返回", "返回", 20400, top}},
                       1575, 495);
}

void FrmRzdj::makeRoomForValues() {
    FrmRzdjUi& u = ui();
    const std::pair<QLineEdit*, QString> boxes[] = {{u.Txtfjh, kLongRoom},  {u.Txtjzrs, QStringLiteral("00")},
                                                    {u.Txtxm, kLongName},   {u.Txtdh, kLongPhone},
                                                    {u.Txtsfzh, kLongId},   {u.Txtdw, kLongUnit},
                                                    {u.Txtrzrq, kLongDate}, {u.Txtlkrq, kLongDate},
                                                    {u.Txtfq, kLongName},   {u.Txtcxny1, kLongDate},
                                                    {u.Txtmq, kLongName},   {u.Txtcxny2, kLongDate},
                                                    {u.Txtxm1, kLongName},  {u.Txtcxny3, kLongDate},
                                                    {u.Txtxm2, kLongName},  {u.Txtcxny4, kLongDate},
                                                    {u.Txtxm3, kLongName},  {u.Txtcxny5, kLongDate},
                                                    {u.Txtxm4, kLongName},  {u.Txtcxny6, kLongDate},
                                                    {u.TxtFh, kLongRoom},   {u.TxtZk, kLongName},
                                                    {u.Txtzh, kLongId}};
    for (const auto& [box, longest] : boxes) forms::wideEnoughFor(box, longest);
}

void FrmRzdj::bindFields() {
    FrmRzdjUi& u = ui();
    // Bindings to zfdj, with each field as the window labels it: a refused
    // value names it so ("数据类型转换错误：居住人数").
    std::vector<std::tuple<QWidget*, QString, QString>> fields = {
        {u.Txtfjh, "fjh", QStringLiteral("房间编号")},   {u.Txtjzrs, "jzrs", QStringLiteral("居住人数")},
        {u.Txtxm, "xm", QStringLiteral("承租人姓名")},   {u.Txtdw, "dw", QStringLiteral("工作单位")},
        {u.Txtdh, "dh", QStringLiteral("联系电话")},     {u.Cboyh, "yh", QStringLiteral("婚姻状况")},
        {u.Cbowh, "wh", QStringLiteral("职业")},         {u.Cbon1, "n1", QStringLiteral("子女数(男)")},
        {u.Cbon2, "n2", QStringLiteral("子女数(女)")},   {u.Txtrzrq, "rzrq", QStringLiteral("入住日期")},
        {u.Txtlkrq, "lkrq", QStringLiteral("离开日期")}, {u.Txtsfzh, "sfzhm", QStringLiteral("身份证号码")},
        {u.Cboysno, "ysno", QStringLiteral("房间现状")}};
    // The companions: name, sex and birth of two elders, then four children.
    const std::array<QWidget*, 6> names = {u.Txtfq, u.Txtmq, u.Txtxm1, u.Txtxm2, u.Txtxm3, u.Txtxm4},
                                  births = {u.Txtcxny1, u.Txtcxny2, u.Txtcxny3, u.Txtcxny4, u.Txtcxny5, u.Txtcxny6};
    const char* const nameFields[] = {"fq", "mq", "xm1", "xm2", "xm3", "xm4"};
    for (int i = 0; i < 6; ++i) {
        const bool elder = i < 2;
        const QString who =
            (elder ? QStringLiteral("随行老人%1") : QStringLiteral("随行儿童%1")).arg(elder ? i + 1 : i - 1);
        fields.emplace_back(names[i], QString::fromLatin1(nameFields[i]), who + QStringLiteral("姓名"));
        fields.emplace_back(u.Cboxb[i], QStringLiteral("xb%1").arg(i + 1), who + QStringLiteral("性别"));
        fields.emplace_back(births[i], QStringLiteral("cxny%1").arg(i + 1),
                            who + (elder ? QStringLiteral("出生年月") : QStringLiteral("出生日期")));
    }
    QHash<QString, QString> captions;
    for (const auto& [box, field, caption] : fields) captions.insert(field, caption);
    u.Data1->setFieldCaptions(captions);
    for (const auto& [box, field, caption] : fields) {
        if (auto* text = qobject_cast<BoundTextBox*>(box))
            text->bind(u.Data1, field);
        else
            static_cast<BoundCombo*>(box)->bind(u.Data1, field);
    }
    u.Image3->bind(u.Data1, QStringLiteral("xp"));
    u.Image1->bind(nullptr, QString());
    u.Image2->bind(nullptr, QString());
}

void FrmRzdj::connectHandlers(QWidget* root) {
    FrmRzdjUi& u = ui();
    // Handlers.
    QObject::connect(u.Data1, &DataControl::reposition, u.Data1,
                     [this] { tv::forms::guard([this] { dataReposition(); }); });
    using tv::forms::onClick;
    onClick(u.CmdTj, [this] { cmdTjClick(); });
    onClick(u.CmdXg, [this] { cmdXgClick(); });
    onClick(u.CmdQr, [this] { cmdQrClick(); });
    onClick(u.Cmdfq, [this] { cmdfqClick(); });
    onClick(u.CmdDel, [this] { cmdDelClick(); });
    onClick(u.CmdSyt, [this] { cmdSytClick(); });
    onClick(u.CmdXyt, [this] { cmdXytClick(); });
    onClick(u.CmdCx, [this] { cmdCxClick(); });
    onClick(u.CmdPrinter, [this] { cmdPrinterClick(); });
    onClick(u.CmdExit, [this] { cmdExitClick(); });
    setExitButton(u.CmdExit);
    tv::forms::on(u.CboCxfs, &QComboBox::activated, [this] { cboCxfsClick(); });
    tv::forms::on(u.CboLx, &QComboBox::activated, [this] { cboLxClick(); });
    tv::forms::on(u.DrvList, &tv::forms::DriveList::driveChanged, [this] { drvListChange(); });
    tv::forms::on(u.DirList, &tv::forms::FolderList::pathChanged, [this] { dirListChange(); });
    QObject::connect(u.FilList, &tv::forms::FileList::fileClicked, u.FilList,
                     [this](const QString& name) { tv::forms::guard([this, name] { filListClick(name); }); });

    // Enter and Tab move through the inputs in the order of the window's layout.
    using tv::forms::EnterRing;
    auto* rows =
        new EnterRing({u.Txtfjh,   u.Txtjzrs,  u.Txtxm,    u.Txtdh,    u.Txtsfzh,  u.Txtdw,    u.Cboyh,    u.Cbowh,
                       u.Cbon1,    u.Cbon2,    u.Txtrzrq,  u.Txtlkrq,  u.Txtfq,    u.Cboxb[0], u.Txtcxny1, u.Txtmq,
                       u.Cboxb[1], u.Txtcxny2, u.Txtxm1,   u.Cboxb[2], u.Txtcxny3, u.Txtxm2,   u.Cboxb[3], u.Txtcxny4,
                       u.Txtxm3,   u.Cboxb[4], u.Txtcxny5, u.Txtxm4,   u.Cboxb[5], u.Txtcxny6, u.Cboysno},
                      true, root);
    rows->alsoByTab();
    new EnterRing({u.TxtFh, u.TxtZk, u.Txtzh, u.Cboxz}, true, root);
    new EnterRing({u.CboLx, u.TxtMbwj}, true, root);
}

// --- load and exit ----------------------------------------------------------

void FrmRzdj::onLoad() {
    FrmRzdjUi& u = ui();
    SharedState& s = tv::state();
    CheckInCount = 0;
    s.ActiveFormCode = tv::FormCode::CheckIn;
    s.DatabasePath = s.DataFilePath;
    bindDataFile(s.DatabasePath);
    // A file of another shape is told once; then only 返回 is left.
    auto refuse = [&] {
        dlg::msgBox(kFormatMessage, dlg::Info, dlg::kNoteTitle);
        setButtons("000000000-");
        for (QWidget* w : u.CmdExit->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            w->setEnabled(w == u.CmdExit);
    };
    if (!tv::hasShape(s.DatabasePath, {tv::checkInTableShape()}))
        return refuse();
    try {
        u.Data1->setDatabaseName(s.DatabasePath);
        u.Data1->setRecordSource(QStringLiteral("zfdj"));
        u.Data1->refresh();
        if (rs().recordCount() < 1) {
            showEmptyTable();
        } else {
            rs().moveLast();
            recount();
            // The rows are all listed at refresh, so the count is exact and a
            // second query would only list them again: back to the first.
            rs().moveFirst();
        }
    } catch (const std::exception&) {
        return refuse();
    }

    if (subWindow())
        subWindow()->showMaximized();
    else
        widget()->showMaximized();

    // Decorative pictures: a missing one leaves its place empty.
    u.Image1->loadFile(s.PicturePath + QStringLiteral("Snap2.jpg"));
    u.Image2->loadFile(s.PicturePath + QStringLiteral("zhjy.jpg"));

    fillLists();
    for (QWidget* w : std::initializer_list<QWidget*>{u.TxtFh, u.TxtZk, u.Txtzh, u.Cboxz}) w->setEnabled(false);
    PhotoFolder.clear();
    PhotoFile.clear();

    setButtons("00--------");
    tv::showWorkPath(s.DatabasePath);
}

// The lists of the combo boxes; filling them changes no box's text.
void FrmRzdj::fillLists() {
    FrmRzdjUi& u = ui();
    const QStringList statuses = {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"),
                                  QStringLiteral("已订"), QStringLiteral("自用")};
    const QStringList counts = {"1", "2", "3", "4", "5", "6"};
    const QStringList sexes = {QStringLiteral("男"), QStringLiteral("女")};
    u.Cboysno->addItems(statuses);
    u.Cbon1->addItems(counts);
    u.Cbon2->addItems(counts);
    u.Cboyh->addItems({QStringLiteral("已婚"), QStringLiteral("未婚")});
    u.Cbowh->addItems({QStringLiteral("个体"), QStringLiteral("白领"), QStringLiteral("工人"), QStringLiteral("销售"),
                       QStringLiteral("教育"), QStringLiteral("建筑"), QStringLiteral("装修"), QStringLiteral("学生"),
                       QStringLiteral("服务"), QStringLiteral("保安"), QStringLiteral("美容"), QStringLiteral("货运"),
                       QStringLiteral("其它")});
    for (BoundCombo* c : u.Cboxb) c->addItems(sexes);
    u.Cboxz->addItems(statuses);
    u.CboCxfs->addItems({QStringLiteral("房号+姓名"), QStringLiteral("房号+现状"), QStringLiteral("姓名+现状"),
                         QStringLiteral("证号+现状"), QStringLiteral("身份证号")});
    // Filling a list must not change what a box shows.
    for (BoundCombo* c : {u.Cboysno, u.Cbon1, u.Cbon2, u.Cboyh, u.Cbowh}) c->redisplay();
    for (BoundCombo* c : u.Cboxb) c->redisplay();
    u.Cboxz->setCurrentIndex(-1);
    u.CboCxfs->setCurrentIndex(-1);

    u.CboLx->addItems({QStringLiteral("所有文件(*.*)"), QStringLiteral("(*.mdb)"), QStringLiteral("(*.dbf)"),
                       QStringLiteral("(*.bmp)"), QStringLiteral("(*.jpg)"), QStringLiteral("(*.pcx)"),
                       QStringLiteral("(*.dcx)"), QStringLiteral("(*.xif)"), QStringLiteral("(*.gifF)"),
                       QStringLiteral("(*.wif)"), QStringLiteral("(*.tif)"), QStringLiteral("(*.awd)")});
    u.CboLx->setCurrentIndex(-1);

    for (QComboBox* list :
         std::initializer_list<QComboBox*>{u.Cboysno, u.Cbon1, u.Cbon2, u.Cboyh, u.Cbowh, u.Cboxz, u.CboCxfs, u.CboLx})
        forms::wideEnoughForItems(list);
    for (BoundCombo* c : u.Cboxb) forms::wideEnoughForItems(c);
}

void FrmRzdj::onUnload() {
    // Closing while adding or modifying drops the pending row.
    if (ui().Data1->isOpen() && rs().editState() != Recordset::EditState::None)
        ui().Data1->cancelUpdate();
}

void FrmRzdj::cmdExitClick() {
    leaveDataFile();
    unload();
}

// --- helpers ------------------------------------------------------------------

tv::Recordset& FrmRzdj::rs() { return ui().Data1->recordset(); }

bool FrmRzdj::hasRows() { return ui().Data1->isOpen() && rs().recordCount() > 0; }

// One character per button in the order CmdQr, Cmdfq, CmdTj, CmdXg, CmdCx,
// CmdDel, CmdSyt, CmdXyt, CmdPrinter, CmdExit: '1' enables, '0' disables,
// '-' leaves it as it is.
void FrmRzdj::setButtons(const char* pattern) {
    FrmRzdjUi& u = ui();
    QPushButton* order[] = {u.CmdQr,  u.Cmdfq,  u.CmdTj,  u.CmdXg,      u.CmdCx,
                            u.CmdDel, u.CmdSyt, u.CmdXyt, u.CmdPrinter, u.CmdExit};
    for (int i = 0; i < 10 && pattern[i]; ++i)
        if (pattern[i] != '-')
            order[i]->setEnabled(pattern[i] == '1');
    // The data source's own arrows would leave a pending row behind.
    const bool editing = u.CmdQr->isEnabled();
    u.Data1->setEnabled(!editing);
    if (!editing)
        followCurrentRow();
    // The bound boxes take typing only while a row is being added or
    // modified: typed while browsing, it would be dropped at the next step.
    for (QWidget* box : widget()->findChildren<BoundTextBox*>()) forms::setTakesTyping(box, editing);
    for (QWidget* box : widget()->findChildren<BoundCombo*>()) forms::setTakesTyping(box, editing);
}

// While browsing, modify and delete need a current row: a search that found
// nothing leaves none.
void FrmRzdj::followCurrentRow() {
    const bool onRow = hasCurrentRow();
    ui().CmdXg->setEnabled(onRow);
    ui().CmdDel->setEnabled(onRow);
}

// No rows: only adding (and leaving) makes sense.
void FrmRzdj::showEmptyTable() { setButtons("00-000000-"); }

void FrmRzdj::recount() { CheckInCount = rs().recordCount(); }

void FrmRzdj::fill() { tv::FillCheckInRecord(rs(), tv::state().CurrentCheckIn); }

// --- record move ------------------------------------------------------------

void FrmRzdj::dataReposition() {
    if (!hasUi())
        return;
    const int pos = rs().absolutePosition();
    ui().Data1->setCaption(forms::positionCaption(kCaption, ui().Data1, CheckInCount));
    if (pos >= 0)
        fill();
    if (!ui().CmdQr->isEnabled())
        followCurrentRow();
}

// --- editing --------------------------------------------------------------------

void FrmRzdj::cmdTjClick() {
    // A row being added or modified is dropped only when the user says so.
    if (ui().Data1->isOpen() && rs().editState() != Recordset::EditState::None) {
        if (dlg::msgBox(QStringLiteral("放弃正在编辑的记录吗？"), dlg::YesNo | dlg::Info | dlg::DefaultButton2,
                        dlg::kNoteTitle) != dlg::Yes)
            return;
        ui().Data1->cancelUpdate();
    }
    setButtons("11-0000000");
    ui().Data1->addNew();
    ui().TxtTs->setText(QStringLiteral("添加新记录"));
}

void FrmRzdj::cmdXgClick() {
    if (!rs().hasCurrent())
        return;
    setButtons("1100000000");
    ui().Data1->edit();
    ui().Txtfjh->setFocus();
    ui().TxtTs->setText(QStringLiteral("修改当前记录"));
}

void FrmRzdj::cmdQrClick() {
    if (!storeCall([this] { ui().Data1->update(); })) {
        // Refused because another program changed or deleted the row: the
        // edit is over, and the window browses the row as the file holds it.
        if (rs().editState() == Recordset::EditState::None)
            browseAgain();
        return;
    }
    setButtons("0011111111");
    recount();
    rs().moveLast();
    ui().Txtfjh->setFocus();
    ui().TxtTs->setText(QStringLiteral("数据添加或修改成功"));
}

void FrmRzdj::cmdfqClick() {
    if (!storeCall([this] { ui().Data1->cancelUpdate(); }))
        return;
    setButtons("0011111111");
    if (!hasRows())
        showEmptyTable();
    ui().Txtfjh->setFocus();
}

void FrmRzdj::browseAgain() {
    setButtons("0011111111");
    recount();
    dataReposition();  // the caption with the count
    if (!hasRows())
        showEmptyTable();
    ui().Txtfjh->setFocus();
}

void FrmRzdj::cmdDelClick() {
    if (askDelete() != dlg::Yes)
        return;
    tv::Recordset& r = rs();
    if (!r.hasCurrent())
        return;
    ui().Data1->remove();
    recount();
    const AfterDelete where = moveAfterDelete(r);
    if (where == AfterDelete::Empty) {
        dataReposition();
        showEmptyTable();
    } else if (where == AfterDelete::Last) {
        ui().CmdXyt->setEnabled(false);
    }
    ui().TxtTs->setText(forms::tips::kDeleted);
}

// --- stepping -------------------------------------------------------------------

void FrmRzdj::cmdSytClick() {
    tv::Recordset& r = rs();
    if (r.recordCount() == 0)
        return;
    r.movePrevious();
    if (r.bof()) {
        r.moveFirst();
        fill();
        ui().TxtTs->setText(QStringLiteral("已移动到首记录"));
        ui().CmdSyt->setEnabled(false);
        dlg::msgBox(QStringLiteral("已到首记录！"), dlg::OkOnly, dlg::kNoteTitle);
    } else {
        fill();
        ui().TxtTs->setText(QStringLiteral("向上移动记录"));
        ui().CmdSyt->setEnabled(true);
        ui().CmdXyt->setEnabled(true);
    }
    ui().Txtfjh->setFocus();
}

void FrmRzdj::cmdXytClick() {
    tv::Recordset& r = rs();
    if (r.recordCount() == 0)
        return;
    // Past the last row already (a search that found nothing): the end.
    if (!r.eof())
        r.moveNext();
    if (r.eof()) {
        r.moveLast();
        fill();
        ui().CmdXyt->setEnabled(false);
        dlg::msgBox(QStringLiteral("已到尾记录！"), dlg::OkOnly, dlg::kNoteTitle);
        ui().TxtTs->setText(QStringLiteral("已移动到尾记录"));
    } else {
        fill();
        ui().TxtTs->setText(QStringLiteral("向下移动记录"));
        ui().CmdXyt->setEnabled(true);
        ui().CmdSyt->setEnabled(true);
    }
    ui().Txtfjh->setFocus();
}

// --- search -----------------------------------------------------------------------

void FrmRzdj::cboCxfsClick() {
    FrmRzdjUi& u = ui();
    u.TxtFh->clear();
    u.TxtZk->clear();
    u.Txtzh->clear();
    u.Cboxz->setCurrentIndex(-1);
    u.Cboxz->setEditText(QString());
    static const std::pair<const char*, const char*> modes[] = {{"房号+姓名", "1100"},
                                                                {"房号+现状", "1001"},
                                                                {"姓名+现状", "0101"},
                                                                {"证号+现状", "0011"},
                                                                {"身份证号", "0010"}};
    for (const auto& [mode, flags] : modes) {
        if (u.CboCxfs->currentText() != QString::fromUtf8(mode))
            continue;
        QWidget* inputs[] = {u.TxtFh, u.TxtZk, u.Txtzh, u.Cboxz};
        for (int i = 0; i < 4; ++i) inputs[i]->setEnabled(flags[i] == '1');
    }
}

void FrmRzdj::cmdCxClick() {
    FrmRzdjUi& u = ui();
    const tv::SearchKeyRecord k{
        .fjh = u.TxtFh->text(), .xm = u.TxtZk->text(), .sfzhm = u.Txtzh->text(), .ysno = u.Cboxz->currentText()};

    // The rule is chosen by which inputs hold text, in this order.
    std::vector<std::pair<QString, QString>> rule;  // field, key
    if (!k.fjh.isEmpty() && !k.xm.isEmpty())
        rule = {{"fjh", k.fjh}, {"xm", k.xm}};
    else if (!k.fjh.isEmpty() && !k.ysno.isEmpty())
        rule = {{"fjh", k.fjh}, {"ysno", k.ysno}};
    else if (!k.xm.isEmpty() && !k.ysno.isEmpty())
        rule = {{"xm", k.xm}, {"ysno", k.ysno}};
    else if (!k.sfzhm.isEmpty() && !k.ysno.isEmpty())
        rule = {{"sfzhm", k.sfzhm}, {"ysno", k.ysno}};
    else if (!k.sfzhm.isEmpty())
        rule = {{"sfzhm", k.sfzhm}};
    else
        return;

    try {
        // Each row passed on the way is copied into the print record, as a
        // walk through the rows leaves it.
        const bool found = u.Data1->findFirst(rule);
        u.TxtTs->setText(found ? forms::tips::kFoundOne : forms::tips::kNotFound);
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("数据查询失败！"), dlg::Info, dlg::kNoteTitle);
    }
}

// --- printing -------------------------------------------------------------------

void FrmRzdj::cmdPrinterClick() {
    SharedState& s = tv::state();
    const QString answer =
        dlg::inputBox(QStringLiteral("打印单条记录请选'1';打印两条记录请选'2',提示：只能输入(1,2)："),
                      QStringLiteral("输入提示"), QStringLiteral("2"))
            .value_or(QString());
    bool number = false;
    const double choice = answer.trimmed().toDouble(&number);
    if (!number)
        return;
    if (choice == 0) {
        dlg::msgBox(QStringLiteral("您没有正确选择选项,默认取值为 2 ！"), dlg::Info, dlg::kHintTitle);
    } else if (choice == 1) {
        s.SheetChoice = tv::Sheets::One;
        if (!tv::currentRowToPrint(this))
            return;
        printCurrentRow();
    } else if (choice == 2) {
        s.SheetChoice = tv::Sheets::Two;
        tv::showOnDataFile(tv::windows::kPairPrint, dataFile());
    }
}

// --- photo picker ---------------------------------------------------------------

QImage FrmRzdj::regPhoto() const { return ui().Image3->image(); }

// This window's row and this window's photo, whatever window loaded last, with
// the title and offsets the tenant records window printed with last.
void FrmRzdj::printCurrentRow() {
    SharedState& s = tv::state();
    fill();
    tv::PrintRegForm(s.CurrentCheckIn, tv::FormCode::CheckIn, s.RegFormTitle, s.PrintOffsetX, s.PrintOffsetY);
}

bool FrmRzdj::hasCurrentRow() const { return ui().Data1->isOpen() && ui().Data1->recordset().hasCurrent(); }

void FrmRzdj::cboLxClick() {
    static const char* const patterns[] = {"*.*",   "*.mdb", "*.dbf", "*.bmp", "*.jpg", "*.pcx",
                                           "*.dcx", "*.xif", "*.gif", "*.wif", "*.tif", "*.awd"};
    const int i = ui().CboLx->currentIndex();
    if (i < 0 || i > 11)
        return;
    ui().FilList->setPattern(QString::fromLatin1(patterns[i]));
}

void FrmRzdj::drvListChange() { tv::forms::followDrive(ui().DrvList, ui().DirList); }

void FrmRzdj::dirListChange() {
    FrmRzdjUi& u = ui();
    u.FilList->setPath(u.DirList->path());
    u.TxtMbwj->setText(tv::shell::join(u.DirList->path(), PhotoFile));
    PhotoFolder = tv::shell::join(u.DirList->path(), u.FilList->fileName());
}

void FrmRzdj::filListClick(const QString& name) {
    FrmRzdjUi& u = ui();
    // The photo box shows the stored photo of the row; only a row being added
    // or modified takes a new one (and 确认 stores it). A photo put there
    // while browsing would be dropped at the next move, or printed with a row
    // that does not hold it.
    if (!u.Data1->isOpen() || rs().editState() == Recordset::EditState::None) {
        dlg::msgBox(QStringLiteral("请先单击“添加”或“修改”，再选择身份证相片！"), dlg::Info, dlg::kNoteTitle);
        return;
    }
    QByteArray bytes;
    const PhotoRead read = readPhotoFile(QDir(u.FilList->path()).filePath(name), bytes);
    if (read == PhotoRead::TooLarge) {
        dlg::msgBox(QStringLiteral("相片文件太大，请选择10MB以下的相片！"), dlg::Info, dlg::kNoteTitle);
        return;
    }
    if (read != PhotoRead::Ok || !u.Image3->setBytes(bytes)) {
        dlg::msgBox(QStringLiteral("不能识别的图片文件！"), dlg::Info, dlg::kNoteTitle);
        return;
    }
    PhotoFile = name;
    u.TxtMbwj->setText(PhotoFolder + name);
}

}  // namespace tv::checkin
