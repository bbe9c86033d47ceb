// The fee records window's controls: made, placed and connected to their
// handlers (in FrmZsdwh.cpp).
#include "fees/FrmZsdwh.h"

#include "fees/FeeWidgets.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/StatusBox.h"
#include "shared/DataWindows.h"
#include "shared/PrintChoice.h"
#include "shared/Receipt.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <utility>

namespace tv::fees {

using forms::DataControl;
using forms::DataGrid;
using forms::make;
using forms::setTwips;

void FrmZsdwh::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("租金水电费维护"));
    root->resize(forms::pixels(designSize()));
    // Created in the order Tab walks them.
    buildInputs(root);
    buildButtonsAndCounts(root);
    buildGrids(root);
    buildPreview(root);
    placeRight(0, 0);
    connectHandlers(root);
}

// The left column: the pictures and title, the inputs in the Enter order.
void FrmZsdwh::buildInputs(QWidget* root) {
    FrmZsdwhUi& u = ui();
    u.Image2 = make<QLabel>(root, "Image2");
    u.Image2->setScaledContents(true);
    setTwips(u.Image2, 120, 120, 960, 600);
    auto* title = caption(root, "Label1", QStringLiteral("租金水电费查询"), 1200, 240, 2160);
    title->setFont(forms::songTi(15.75));
    forms::place(title, 1200, 180, 2160, 540);  // as wide as the title in its font

    auto row = [](int i) { return 840 + i * 360; };
    int next = 0;
    auto input = [&](QWidget* w, const char* label, const char* text) {
        const bool list = qobject_cast<QComboBox*>(w) != nullptr;
        QLabel* l = caption(root, label, QString::fromUtf8(text), 120, row(next), 1260);
        setTwips(w, 1380, row(next) - (list ? 15 : 0), 1980, list ? 330 : 300);
        ++next;
        return l;
    };
    input(u.CboCxfs = listBox(root, "CboCxfs", false), "Label2", "查询方式：");
    input(u.Txtjfrq = make<QLineEdit>(root, "Txtjfrq"), "Label3", "计费日期：");
    input(u.TxtFh = make<QLineEdit>(root, "TxtFh"), "Label4", "房间编号：");
    input(u.Txtzk = make<QLineEdit>(root, "Txtzk"), "Label5", "租客姓名：");
    input(u.Txtzh = make<QLineEdit>(root, "Txtzh"), "Label6", "身份证号码：");
    input(u.CboDel = listBox(root, "CboDel", true), "Label7", "删除选项：");
    QLabel* tip = input(u.TxtTs = make<QLineEdit>(root, "TxtTs"), "Label8", "提示：");
    forms::statusBox(u.TxtTs, tip);
    input(u.CboBtth = listBox(root, "CboBtth", false), "Label9", "标题替换：");
    u.Check1 = make<QCheckBox>(root, "Check1");
    u.Check1->setText(QStringLiteral("刷新账单"));
    setTwips(u.Check1, 240, row(8), 1440, 300);
    u.Check2 = make<QCheckBox>(root, "Check2");
    u.Check2->setText(QStringLiteral("刷新杂费"));
    setTwips(u.Check2, 1800, row(8), 1440, 300);
}

// The buttons, the totals and the counts with the user line.
void FrmZsdwh::buildButtonsAndCounts(QWidget* root) {
    FrmZsdwhUi& u = ui();
    forms::makeButtons(root,
                       {{&u.CmdCx, "CmdCx", "查询", "数据查询", 120, 4140},
                        {&u.CmdDel, "CmdDel", "删除", "数据删除", 1800, 4140},
                        {&u.CmdQr, "CmdQr", "刷新", "数据刷新", 120, 4620},
                        {&u.CmdHz, "CmdHz", "汇总", "数据汇总", 1800, 4620},
                        {&u.CmdPrinter, "CmdPrinter", "打印", "账单打印", 120, 5100},
                        {&u.CmdTfjs, "CmdTfjs", "结算", "租客退房结算", 1800, 5100},
                        {&u.CmdExit, "CmdExit", "返回", "退出", 120, 5580}},
                       1560, 420);
    const std::pair<const char*, QLineEdit**> totals[] = {
        {"水费合计：", &u.Txtsfhz}, {"电费合计：", &u.Txtdfhz}, {"租金合计：", &u.TxtZjhj}, {"总计：", &u.Txthjhz}};
    const char* const totalNames[] = {"Txtsfhz", "Txtdfhz", "TxtZjhj", "Txthjhz"};
    const char* const totalLabels[] = {"Label10", "Label11", "Label12", "Label13"};
    for (int i = 0; i < 4; ++i) {
        const int top = 6120 + i * 360;
        caption(root, totalLabels[i], QString::fromUtf8(totals[i].first), 120, top, 1260);
        *totals[i].second = make<QLineEdit>(root, totalNames[i]);
        (*totals[i].second)->setReadOnly(true);
        setTwips(*totals[i].second, 1380, top, 1980, 300);
    }
    const std::pair<const char*, const char*> counts[] = {
        {"账单记录：", "账单记录"}, {"租客记录：", "租客记录"}, {"系统管理：", "系统管理"}, {"管理成员：", "管理成员"}};
    QLabel** values[] = {&u.Lelzdjl, &u.Lelzkjl, &u.LelYhm, &u.LelGlcy};
    const char* const valueNames[] = {"Lelzdjl", "Lelzkjl", "LelYhm", "LelGlcy"};
    const char* const labelNames[] = {"Label14", "Label15", "Label16", "Label17"};
    for (int i = 0; i < 4; ++i) {
        const int top = 7680 + i * 360;
        caption(root, labelNames[i], QString::fromUtf8(counts[i].first), 120, top, 1260);
        *values[i] = caption(root, valueNames[i], QString::fromUtf8(counts[i].second), 1380, top, 1980);
    }
}

// The fee records over the preview and the other fees; the registrations and
// users are counted, never shown.
void FrmZsdwh::buildGrids(QWidget* root) {
    FrmZsdwhUi& u = ui();
    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    auto source = [&](const char* name, const QString& title, bool readOnly) {
        auto* d = make<DataControl>(root, name);
        d->setCaption(title);
        d->setReadOnly(readOnly);
        greenStrip(d);
        return d;
    };
    u.Data1 = source("Data1", QStringLiteral("租金水电费"), false);
    u.Data1->setToolTip(QStringLiteral("租金水电费数据表"));
    u.DBGrid2 =
        feeGrid(root, "DBGrid2", QStringLiteral("租金水电费数据表"), u.Data1, billColumns(false), &u.DBGrid2Caption);
    u.Data2 = source("Data2", QStringLiteral("其它费用表"), false);
    u.Data2->setToolTip(QStringLiteral("其它费用表"));
    u.DBGrid1 = feeGrid(root, "DBGrid1", QStringLiteral("其它费用表"), u.Data2, otherFeeColumns(), &u.DBGrid1Caption);
    for (DataGrid* g : {u.DBGrid2, u.DBGrid1}) {
        g->setAllowAddNew(true);
        g->setAllowUpdate(true);
        g->setAllowDelete(true);
    }
    u.Data3 = source("Data3", QStringLiteral("租客入住登记表"), true);
    u.Data4 = source("Data4", QStringLiteral("用户注册表"), true);
    for (DataControl* d : {u.Data3, u.Data4}) {
        setTwips(d, 120, 9240, 3240, 375);
        d->hide();
    }
}

// The bill preview: title, header, the boxed cells of the receipt, footer.
void FrmZsdwh::buildPreview(QWidget* root) {
    FrmZsdwhUi& u = ui();
    u.Frame2 = make<QFrame>(root, "Frame2");
    u.Frame2->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(u.Frame2);
    u.LelBt = make<QLabel>(u.Frame2, "LelBt");
    u.LelBt->setText(receipt::kTitle);
    u.LelBt->setFont(forms::songTi(15.75));
    u.LelBt->setAlignment(Qt::AlignCenter);
    layout->addWidget(u.LelBt);
    auto* header = new QHBoxLayout;
    header->addWidget(new QLabel(QStringLiteral("租客房号："), u.Frame2));
    header->addWidget(u.Lelfjh1 = make<QLabel>(u.Frame2, "Lelfjh1"), 1);
    header->addWidget(new QLabel(QStringLiteral("制单日期："), u.Frame2));
    header->addWidget(u.Leljfrq = make<QLabel>(u.Frame2, "Leljfrq"), 1);
    layout->addLayout(header);
    QFrame* cells = boxedFrame(u.Frame2, "Frame2Cells");
    using C = Cell<QLabel>;
    boxedCells<QLabel>(cells, 0,
                       {{C{"今收到"}, C{"", "Lelfjh", &u.Lelfjh}, C{"租金(元)"}, C{"", "Lelzj", &u.Lelzj},
                         C{"其它费用"}, C{"", "Lelzf", &u.Lelzf}, C{"", nullptr, nullptr, 4}},
                        {C{"收费时段"}, C{"", "Lelsfsd1", &u.Lelsfsd1, 2}, C{"至"}, C{"", "Lelsfsd2", &u.Lelsfsd2, 2},
                         C{"", nullptr, nullptr, 4}},
                        {C{"本月水表读数"}, C{"", "Lelbysb", &u.Lelbysb}, C{"上月水表读数"},
                         C{"", "Lelsysb", &u.Lelsysb}, C{"本月用水量(吨)"}, C{"", "Lelysl", &u.Lelysl}, C{"市水单价"},
                         C{"", "Lelsdj", &u.Lelsdj}, C{"本月水费"}, C{"", "Lelbysf", &u.Lelbysf}},
                        {C{"本月电表读数"}, C{"", "Lelbydb", &u.Lelbydb}, C{"上月电表读数"},
                         C{"", "Lelsydb", &u.Lelsydb}, C{"本月用电量(度)"}, C{"", "Lelydl", &u.Lelydl}, C{"市电单价"},
                         C{"", "Lelddj", &u.Lelddj}, C{"本月电费"}, C{"", "Leldf", &u.Leldf}},
                        {C{"合计(元)"}, C{"", "Lelhj", &u.Lelhj}, C{"人民币大写"}, C{"", "Leldx", &u.Leldx, 7}}});
    for (QLabel* l : cells->findChildren<QLabel*>()) {
        l->setWordWrap(true);
        l->setMinimumWidth(0);
    }
    layout->addWidget(cells, 1);
    layout->addLayout(receiptFooter(u.Frame2));
}

// The right side, with room beyond the design (twips) going to the grids.
void FrmZsdwh::placeRight(int extraWidth, int extraHeight) {
    FrmZsdwhUi& u = ui();
    const int left = 3480, width = 15000 + extraWidth, top = 780, upper = 4620 + extraHeight / 2;
    const int lower = 4680 + extraHeight - extraHeight / 2, lowerTop = top + upper + 120;
    const int previewWidth = 9600 + extraWidth / 2;
    setTwips(u.Image1, left, 120, width, 600);
    setTwips(u.DBGrid2Caption, left, top, width, 300);
    setTwips(u.DBGrid2, left, top + 300, width, upper - 675);
    setTwips(u.Data1, left, top + upper - 375, width, 375);
    setTwips(u.Frame2, left, lowerTop, previewWidth, lower);
    const int otherLeft = left + previewWidth + 120, otherWidth = width - previewWidth - 120;
    setTwips(u.DBGrid1Caption, otherLeft, lowerTop, otherWidth, 300);
    setTwips(u.DBGrid1, otherLeft, lowerTop + 300, otherWidth, lower - 675);
    setTwips(u.Data2, otherLeft, lowerTop + lower - 375, otherWidth, 375);
}

// A window larger than its design (maximised on a large screen) shows more
// rows and columns rather than empty room.
void FrmZsdwh::fitToWindow() {
    if (!hasUi() || !widget())
        return;                                     // an unloaded window's widgets are on their way out
    const forms::DesignScale designScale(scale());  // the grids are placed at the window's scale
    const QSize room = forms::roomBeyondDesign(widget(), designSize(), scale());
    placeRight(room.width(), room.height());
}

void FrmZsdwh::connectHandlers(QWidget* root) {
    FrmZsdwhUi& u = ui();
    using forms::on;
    using forms::onClick;
    on(u.Data1, &DataControl::reposition, [this] { Data1_Reposition(); });
    on(u.Data2, &DataControl::reposition,
       [this] { ui().Data2->setCaption(positionCaption(QStringLiteral("其它费用表"), ui().Data2, OtherFeeCount)); });
    on(u.Data3, &DataControl::reposition, [this] {
        ui().Data3->setCaption(positionCaption(QStringLiteral("租客入住登记表"), ui().Data3, TenantCount));
        ui().Lelzkjl->setText(QString::number(TenantCount));
    });
    on(u.Data4, &DataControl::reposition, [this] {
        ui().Data4->setCaption(positionCaption(QStringLiteral("用户注册表"), ui().Data4, UserCount));
        ui().LelGlcy->setText(QString::number(UserCount));
    });
    on(u.DBGrid2, &DataGrid::rowClicked, [this] { DBGrid2_Click(); });
    on(u.DBGrid2, &DataGrid::rowDoubleClicked, [this] { DBGrid2_DblClick(); });
    on(u.DBGrid1, &DataGrid::rowDoubleClicked, [this] { DBGrid1_DblClick(); });
    on(u.DBGrid2, &DataGrid::deleteRequested, [this] { deleteRow(ui().Data1, FeeRecordCount); });
    on(u.DBGrid1, &DataGrid::deleteRequested, [this] { deleteRow(ui().Data2, OtherFeeCount); });
    on(u.CboCxfs, &QComboBox::activated, [this] { CboCxfs_Click(); });
    on(u.CboBtth, &QComboBox::activated, [this] { CboBtth_Click(); });
    on(u.CboDel, &QComboBox::editTextChanged, [this] { ui().CmdDel->setEnabled(true); });
    on(u.CboDel, &QComboBox::activated, [this] { ui().CmdDel->setEnabled(true); });
    on(u.Check1, &QCheckBox::clicked, [this] { Check_Click(1); });
    on(u.Check2, &QCheckBox::clicked, [this] { Check_Click(2); });
    onClick(u.CmdCx, [this] { CmdCx_Click(); });
    onClick(u.CmdDel, [this] { CmdDel_Click(); });
    onClick(u.CmdQr, [this] { CmdQr_Click(); });
    onClick(u.CmdHz, [this] { CmdHz_Click(); });
    onClick(u.CmdPrinter, [] { tv::printChoice(tv::PrintCaller::FeeRecords); });
    onClick(u.CmdTfjs, [this] { showOnDataFile(windows::kSettlement, dataFile()); });
    onClick(u.CmdExit, [this] { CmdExit_Click(); });
    setExitButton(u.CmdExit);
    forms::onResize(root, [this] { fitToWindow(); });
    new forms::EnterRing({u.CboCxfs, u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.CboDel, u.TxtTs, u.CboBtth, u.Txtsfhz,
                          u.Txtdfhz, u.TxtZjhj, u.Txthjhz},
                         true, root);
}

}  // namespace tv::fees
