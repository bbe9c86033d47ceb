#include "register_print/FrmDyjl.h"

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
#include "shared/CheckInCopy.h"
#include "shared/DataShape.h"
#include "shared/PrintRoutines.h"
#include "shared/RegistrationColumns.h"
#include "shared/SharedState.h"

#include <QComboBox>
#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>

#include <cmath>
#include <exception>
#include <utility>
#include <vector>

namespace tv::register_print {

using forms::BoundImage;
using forms::DataControl;
using forms::DataGrid;
using forms::make;
using forms::setTwips;

namespace {

const QString kAllRows = QStringLiteral("select * from [zfdj]");
const QString kTitle1 = QStringLiteral("租客入住登记记录（1）");
const QString kTitle2 = QStringLiteral("租客入住登记记录（2）");

QLabel* label(QWidget* root, const char* name, const QString& text, int left, int top, int width = 1080) {
    auto* l = make<QLabel>(root, name);
    l->setText(text);
    setTwips(l, left, top, width, 270);
    return l;
}

// A photo offset as a number of twips; false when the text is no number.
bool offsetValue(const QString& text, float& out) {
    bool ok = false;
    const float v = text.trimmed().toFloat(&ok);
    if (!ok || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

}  // namespace

FrmDyjl::FrmDyjl() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

// ---------------------------------------------------------------- the window

void FrmDyjl::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("FrmDyjl"));
    root->resize(forms::pixels(designSize()));
    buildRecordsPart(root);
    buildSearchPart(root);
    forms::centerOnScreen(root);
}

void FrmDyjl::buildRecordsPart(QWidget* root) {
    FrmDyjlUi& u = ui();
    auto makeGrid = [&](const char* name, const QString& caption, const QString& elderCaption, int top,
                        DataControl* source) {
        // The grid's caption strip stands on the top of the grid's own area.
        auto* cap = new QLabel(caption, root);
        cap->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
        cap->setAlignment(Qt::AlignCenter);
        cap->setFont(forms::songTi(9));
        cap->setAutoFillBackground(true);
        setTwips(cap, 2880, top, 12855, 300);
        auto* grid = make<DataGrid>(root, name);
        grid->setFont(forms::songTi(9));
        grid->setDataSource(source);
        grid->setColumns(registrationColumns(
            {QStringLiteral("租客姓名"), elderCaption, QStringLiteral("随行老人姓名"), QStringLiteral("房间现状")}));
        grid->setAllowAddNew(false);
        grid->setAllowUpdate(false);
        grid->setAllowDelete(false);
        setTwips(grid, 2880, top + 300, 12855, 2415 - 300);
        return grid;
    };
    auto makeSource = [&](const char* name, const QString& caption, int top) {
        auto* d = make<DataControl>(root, name);
        d->setReadOnly(true);
        d->setRecordSource(QStringLiteral("zfdj"));
        d->setCaption(caption);
        setTwips(d, 2880, top, 12855, 375);
        return d;
    };
    auto makeImage = [&](const char* name, int left, DataControl* source) {
        auto* img = make<BoundImage>(root, name);
        img->setToolTip(QStringLiteral("租客身份证照片"));
        img->bind(source, QStringLiteral("xp"));
        setTwips(img, left, 3360, 5175, 3015);
        return img;
    };

    u.Data1 = makeSource("Data1", QStringLiteral("租客入住登记表记录（1）"), 2760);
    u.Data2 = makeSource("Data2", QStringLiteral("租客入住登记表记录（2）"), 9120);
    u.DBGrid1 =
        makeGrid("DBGrid1", QStringLiteral("租客入住登记表记录(1)"), QStringLiteral("随行老人姓名"), 240, u.Data1);
    u.DBGrid2 =
        makeGrid("DBGrid2", QStringLiteral("住客入住登记表记录(2)"), QStringLiteral("随心老人姓名"), 6600, u.Data2);
    u.Image1 = makeImage("Image1", 3840, u.Data1);
    u.Image2 = makeImage("Image2", 9600, u.Data2);

    // Each print record follows the row current in its data source; the
    // caption shows where that row stands.
    forms::on(u.Data1, &DataControl::reposition, [this] {
        ui().Data1->setCaption(forms::positionCaption(kTitle1, ui().Data1, RowCount1));
        followRow(ui().Data1, state().CurrentCheckIn);
    });
    forms::on(u.Data2, &DataControl::reposition, [this] {
        ui().Data2->setCaption(forms::positionCaption(kTitle2, ui().Data2, RowCount2));
        followRow(ui().Data2, state().SecondCheckIn);
    });
    forms::on(u.DBGrid1, &DataGrid::rowClicked, [this] { followRow(ui().Data1, state().CurrentCheckIn); });
    forms::on(u.DBGrid2, &DataGrid::rowClicked, [this] { followRow(ui().Data2, state().SecondCheckIn); });
}

void FrmDyjl::buildSearchPart(QWidget* root) {
    FrmDyjlUi& u = ui();
    auto* title = label(root, "Label2", QStringLiteral("公寓信息查询"), 480, 360, 2175);
    title->setFont(forms::songTi(15.75));
    title->setFixedHeight(forms::px(420));
    QPalette red = title->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    title->setPalette(red);

    // The search inputs, one row each, between the title and the offset boxes.
    const int inputLeft = 1320, inputWidth = 1335;
    auto row = [](int i) { return 1080 + i * 480; };
    label(root, "Label11", QStringLiteral("查询选项："), 240, row(0));
    u.CboCxxx = forms::listBox(root, "CboCxxx", true);
    setTwips(u.CboCxxx, inputLeft, row(0) - 15, inputWidth, 315);
    label(root, "Label1", QStringLiteral("查询方式："), 240, row(1));
    u.CboCxfs = forms::listBox(root, "CboCxfs", true);
    setTwips(u.CboCxfs, inputLeft, row(1) - 15, inputWidth, 315);
    label(root, "Label3", QStringLiteral("计费日期："), 240, row(2));
    u.Txtjfrq = make<QLineEdit>(root, "Txtjfrq");
    setTwips(u.Txtjfrq, inputLeft, row(2), inputWidth, 285);
    label(root, "Label4", QStringLiteral("房间编号："), 240, row(3));
    u.TxtFh = make<QLineEdit>(root, "TxtFh");
    setTwips(u.TxtFh, inputLeft, row(3), inputWidth, 285);
    label(root, "Label5", QStringLiteral("租客姓名："), 240, row(4));
    u.Txtzk = make<QLineEdit>(root, "Txtzk");
    setTwips(u.Txtzk, inputLeft, row(4), inputWidth, 285);
    label(root, "Label6", QStringLiteral("身份证号码："), 240, row(5));
    u.Txtzh = make<QLineEdit>(root, "Txtzh");
    setTwips(u.Txtzh, inputLeft, row(5), inputWidth, 285);
    label(root, "Label7", QStringLiteral("房间现状："), 240, row(6));
    u.Cbofjxz = forms::listBox(root, "Cbofjxz", true);
    setTwips(u.Cbofjxz, inputLeft, row(6) - 15, inputWidth, 315);

    // The photo offsets.
    label(root, "Label8", QStringLiteral("图像调整位置："), 240, 4920, 2415);
    label(root, "Label9", QStringLiteral("X1："), 240, 5280, 360);
    label(root, "Label10", QStringLiteral("Y1："), 240, 5760, 360);
    label(root, "Label12", QStringLiteral("X2："), 1560, 5280, 360);
    label(root, "Label13", QStringLiteral("Y2："), 1560, 5760, 360);
    u.TxtXx1 = make<QLineEdit>(root, "TxtXx1");
    u.TxtYy1 = make<QLineEdit>(root, "TxtYy1");
    u.TxtXx2 = make<QLineEdit>(root, "TxtXx2");
    u.TxtYy2 = make<QLineEdit>(root, "TxtYy2");
    setTwips(u.TxtXx1, 600, 5280, 735, 270);
    setTwips(u.TxtYy1, 600, 5760, 735, 270);
    setTwips(u.TxtXx2, 1920, 5280, 735, 270);
    setTwips(u.TxtYy2, 1920, 5760, 735, 270);

    forms::makeButtons(root,
                       {{&u.CmdCx, "CmdCx", "查询", nullptr, 720, 6360},
                        {&u.CmdPrinter, "CmdPrinter", "打印", nullptr, 720, 7080},
                        {&u.CmdEixt, "CmdEixt", "返回", nullptr, 720, 7800}},
                       1455, 495);

    label(root, "Label14", QStringLiteral("提示："), 240, 8790, 2415);
    // The status line, its caption above it.
    u.TxtTs = forms::statusBox(make<QLineEdit>(root, "TxtTs"));
    setTwips(u.TxtTs, 240, 9120, 2415, 285);

    forms::onClick(u.CmdCx, [this] { CmdCx_Click(); });
    forms::onClick(u.CmdPrinter, [this] { CmdPrinter_Click(); });
    forms::onClick(u.CmdEixt, [this] { CmdEixt_Click(); });
    setExitButton(u.CmdEixt);
    forms::on(u.CboCxfs, &QComboBox::activated, [this] { CboCxfs_Click(); });
    forms::on(u.CboCxxx, &QComboBox::activated, [this] { SearchTarget = ui().CboCxxx->currentText(); });

    new forms::EnterRing({u.CboCxxx, u.CboCxfs, u.Txtjfrq, u.TxtFh, u.Txtzk, u.Txtzh, u.Cbofjxz, u.TxtXx1, u.TxtYy1,
                          u.TxtXx2, u.TxtYy2, u.TxtTs},
                         true, root);
}

// ---------------------------------------------------------------- loading

void FrmDyjl::onLoad() {
    FrmDyjlUi& u = ui();
    RowCount1 = 0;
    RowCount2 = 0;
    u.TxtXx1->setText(QStringLiteral("650"));
    u.TxtYy1->setText(QStringLiteral("1000"));
    u.TxtXx2->setText(QStringLiteral("650"));
    u.TxtYy2->setText(QStringLiteral("8710"));
    // A file of another shape is told once; then only 返回 is left.
    auto refuse = [&] {
        dlg::msgBox(QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！"), dlg::Info,
                    dlg::kNoteTitle);
        for (QWidget* w : widget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) w->setEnabled(w == u.CmdEixt);
    };
    bindOpenedFile(state().DatabasePath);  // the file of the window it prints for
    if (!hasShape(dataFile(), {checkInTableShape()}))
        return refuse();
    loading_ = true;
    try {
        openSource(u.Data1, state().CurrentCheckIn, RowCount1);
        if (RowCount1 == 0)
            u.CmdCx->setEnabled(false);
        openSource(u.Data2, state().SecondCheckIn, RowCount2);
        forms::fillList(u.CboCxfs,
                        {QStringLiteral("房号+姓名"), QStringLiteral("房号"), QStringLiteral("姓名"),
                         QStringLiteral("身份证号"), QStringLiteral("房间现状"), QStringLiteral("所有记录")});
        forms::fillList(u.Cbofjxz, {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"),
                                    QStringLiteral("已订"), QStringLiteral("自用")});
        forms::fillList(u.CboCxxx, {QStringLiteral("记录1"), QStringLiteral("记录2")});
        u.CmdCx->setEnabled(false);
    } catch (const std::exception&) {
        loading_ = false;
        refuse();
    }
    loading_ = false;
}

// Binds a data source to the data file, counts its rows and copies its first
// row into the print record. An empty table is neither moved nor counted.
void FrmDyjl::openSource(DataControl* source, CheckInRecord& target, int& rowCount) {
    source->setDatabaseName(dataFile());
    source->setRecordSource(kAllRows);
    source->refresh();
    Recordset& rs = source->recordset();
    if (rs.recordCount() < 1)
        return;
    rs.moveLast();
    rowCount = rs.recordCount();
    source->refresh();
    FillCheckInRecord(source->recordset(), target);
}

// The print record takes the row current in the source, so that the printed
// text and the printed photo are of the same registration. The load makes its
// own copy once the count is known.
void FrmDyjl::followRow(DataControl* source, CheckInRecord& target) {
    if (loading_ || !source->isOpen())
        return;
    Recordset& rs = source->recordset();
    if (rs.hasCurrent())
        FillCheckInRecord(rs, target);
}

// ---------------------------------------------------------------- printing and exit

QImage FrmDyjl::pairPhoto(windows::PairForm form) const {
    return (form == windows::PairForm::First ? ui().Image1 : ui().Image2)->image();
}

void FrmDyjl::CmdPrinter_Click() {
    FrmDyjlUi& u = ui();
    // The print records follow the current rows: without one, the record
    // would hold another registration than the grid shows.
    for (DataControl* source : {u.Data1, u.Data2}) {
        if (!source->isOpen() || !source->recordset().hasCurrent()) {
            dlg::msgBox(QStringLiteral("请在两个表格中各选择一条记录！"), dlg::Info, dlg::kNoteTitle);
            return;
        }
    }
    PairOffsets offsets;
    if (!offsetValue(u.TxtXx1->text(), offsets.X1) || !offsetValue(u.TxtYy1->text(), offsets.Y1) ||
        !offsetValue(u.TxtXx2->text(), offsets.X2) || !offsetValue(u.TxtYy2->text(), offsets.Y2)) {
        dlg::msgBox(QStringLiteral("图像调整位置必须为数字！"), dlg::Info, dlg::kNoteTitle);
        return;
    }
    // The photos only after the check-in or the tenant records window, whose
    // print choice then starts afresh; the pair uses the two-registration
    // choice up.
    SharedState& s = state();
    const FormCode from = s.ActiveFormCode;
    PrintRegFormPair(s.CurrentCheckIn, s.SecondCheckIn, from, s.RegFormTitle, offsets);
    auto* records = forms::Registry::loadedAs<windows::RecordsWindow>();
    if (records && from == FormCode::Records)
        records->resetPrintChoice();
    s.SheetChoice = Sheets::Unchosen;
}

void FrmDyjl::CmdEixt_Click() {
    try {
        state().DataFilePath.clear();
        unload();
        // The tenant records window gets its one-record choice back, but only
        // when it is open: the exit never opens it.
        if (auto* records = forms::Registry::loadedAs<windows::RecordsWindow>())
            records->enableSingleChoice();
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("结束返回！"), dlg::Info, dlg::kNoteTitle);
        if (isLoaded())
            unload();
    }
}

// ---------------------------------------------------------------- search

void FrmDyjl::setSearchInputsEnabled(bool jfrq, bool fh, bool zk, bool zh, bool fjxz) {
    FrmDyjlUi& u = ui();
    u.Txtjfrq->setEnabled(jfrq);
    u.TxtFh->setEnabled(fh);
    u.Txtzk->setEnabled(zk);
    u.Txtzh->setEnabled(zh);
    u.Cbofjxz->setEnabled(fjxz);
}

void FrmDyjl::CboCxfs_Click() {
    FrmDyjlUi& u = ui();
    u.TxtFh->clear();
    u.Txtzk->clear();
    u.Txtzh->clear();
    u.Txtjfrq->clear();
    u.Cbofjxz->setCurrentIndex(-1);
    u.Cbofjxz->clearEditText();
    const QString mode = u.CboCxfs->currentText();
    if (mode == QStringLiteral("房号+姓名"))
        setSearchInputsEnabled(false, true, true, false, false);
    else if (mode == QStringLiteral("房号"))
        setSearchInputsEnabled(false, true, false, false, false);
    else if (mode == QStringLiteral("姓名"))
        setSearchInputsEnabled(false, false, true, false, false);
    else if (mode == QStringLiteral("身份证号"))
        setSearchInputsEnabled(false, false, false, true, false);
    else if (mode == QStringLiteral("房间现状"))
        setSearchInputsEnabled(false, false, false, false, true);
    else if (mode == QStringLiteral("所有记录"))
        setSearchInputsEnabled(false, false, false, false, false);
    u.CmdCx->setEnabled(true);
}

void FrmDyjl::CmdCx_Click() {
    FrmDyjlUi& u = ui();
    const SearchKeyRecord keys{
        .fjh = u.TxtFh->text(), .xm = u.Txtzk->text(), .sfzhm = u.Txtzh->text(), .ysno = u.Cbofjxz->currentText()};
    SearchTarget = u.CboCxxx->currentText();
    DataControl* target = SearchTarget == QStringLiteral("记录1")   ? u.Data1
                          : SearchTarget == QStringLiteral("记录2") ? u.Data2
                                                                    : nullptr;
    try {
        if (target)
            runSearch(target, keys);
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("数据查询失败！"), dlg::Info, dlg::kNoteTitle);
        return;
    }
    setSearchInputsEnabled(true, true, true, true, true);
    u.CmdCx->setEnabled(false);
}

void FrmDyjl::runSearch(DataControl* target, const SearchKeyRecord& keys) {
    FrmDyjlUi& u = ui();
    const bool room = !u.TxtFh->text().isEmpty(), name = !u.Txtzk->text().isEmpty();
    if (room && name) {
        scan(target, {{QStringLiteral("fjh"), keys.fjh}, {QStringLiteral("xm"), keys.xm}});
    } else if (room) {
        query(target, QStringLiteral("Select * from [zfdj] where [fjh]=?"), keys.fjh);
    } else if (name) {
        scan(target, {{QStringLiteral("xm"), keys.xm}});
    } else if (!u.Txtzh->text().isEmpty()) {
        scan(target, {{QStringLiteral("sfzhm"), keys.sfzhm}});
    } else if (!u.Cbofjxz->currentText().isEmpty()) {
        query(target, QStringLiteral("Select * from [zfdj] where [ysno]=?"), keys.ysno);
        u.TxtTs->setText(forms::tips::kFoundMatching);
    } else if (u.CboCxfs->currentText() == QStringLiteral("所有记录")) {
        target->setRecordSource(kAllRows);
        target->refresh();
        u.TxtTs->setText(forms::tips::kShowingAll);
    }
}

// The typed key is bound as a parameter, never written into the SQL text.
void FrmDyjl::query(DataControl* target, const QString& sql, const QString& key) {
    target->setRecordSource(sql, {Value(key)});
    target->refresh();
}

// The row scan: the first row whose fields equal the keys becomes current.
void FrmDyjl::scan(DataControl* target, const std::vector<std::pair<QString, QString>>& keys) {
    ui().TxtTs->setText(target->findFirst(keys) ? forms::tips::kFoundOne : forms::tips::kNotFound);
}

}  // namespace tv::register_print
