#include "register_print/FrmDyjl.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Guard.h"
#include "shared/CheckInCopy.h"
#include "shared/PrintRoutines.h"
#include "shared/SharedState.h"

#include <QAbstractButton>
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

namespace tv {

using forms::BoundImage;
using forms::DataControl;
using forms::DataGrid;
using forms::GridColumn;

namespace {

const QString kAllRows = QStringLiteral("select * from [zfdj]");
const QString kTitle1 = QStringLiteral("租客入住登记记录（1）");
const QString kTitle2 = QStringLiteral("租客入住登记记录（2）");
const QString kNotFound = QStringLiteral("没有找到符合条件的记录");

// Positions are kept in twips, as the window was drawn; 15 twips to a pixel.
void place(QWidget* w, int left, int top, int width, int height) {
    w->setGeometry(left / 15, top / 15, width / 15, height / 15);
}

QFont songti(double points) {
    QFont f;
    f.setFamilies({QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")});
    f.setPointSizeF(points);
    return f;
}

template <class W>
W* make(QWidget* root, const char* name) {
    auto* w = new W(root);
    w->setObjectName(QString::fromLatin1(name));
    return w;
}

QLabel* label(QWidget* root, const char* name, const QString& text, int left, int top, int width = 1080) {
    auto* l = make<QLabel>(root, name);
    l->setText(text);
    place(l, left, top, width, 270);
    return l;
}

QComboBox* combo(QWidget* root, const char* name) {
    auto* c = make<QComboBox>(root, name);
    c->setEditable(true);
    c->setInsertPolicy(QComboBox::NoInsert);
    c->setCompleter(nullptr);  // typed text stays exactly as typed
    return c;
}

void fill(QComboBox* c, const QStringList& items) {
    c->clear();
    c->addItems(items);
    c->setCurrentIndex(-1);  // the list is filled, the text stays empty
}

// The grids' columns: every field of zfdj but the photo.
std::vector<GridColumn> gridColumns(const QString& elderCaption) {
    const QString oldName = QStringLiteral("随行老人姓名"), sex = QStringLiteral("性别"),
                  born = QStringLiteral("出生年月"), child = QStringLiteral("随行儿童姓名");
    return {
        {"fjh", QStringLiteral("房间编号"), ""},
        {"jzrs", QStringLiteral("居住人数"), ""},
        {"xm", QStringLiteral("租客姓名"), ""},
        {"dw", QStringLiteral("工作单位"), ""},
        {"dh", QStringLiteral("联系电话"), ""},
        {"yh", QStringLiteral("婚姻状况"), ""},
        {"wh", QStringLiteral("职业"), ""},
        {"n1", QStringLiteral("子女数(男)"), ""},
        {"n2", QStringLiteral("子女数(女)"), ""},
        {"rzrq", QStringLiteral("入住日期"), ""},
        {"lkrq", QStringLiteral("离开日期"), ""},
        {"sfzhm", QStringLiteral("身份证号码"), ""},
        {"fq", elderCaption, ""},
        {"xb1", sex, ""},
        {"cxny1", born, ""},
        {"mq", oldName, ""},
        {"xb2", sex, ""},
        {"cxny2", born, ""},
        {"xm1", child, ""},
        {"xb3", sex, ""},
        {"cxny3", born, ""},
        {"xm2", child, ""},
        {"xb4", sex, ""},
        {"cxny4", born, ""},
        {"xm3", child, ""},
        {"xb5", sex, ""},
        {"cxny5", born, ""},
        {"xm4", child, ""},
        {"xb6", sex, ""},
        {"cxny6", born, ""},
        {"ysno", QStringLiteral("房间现状"), ""},
    };
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

bool sameText(const Value& v, const QString& key) { return !v.isNull() && v.toText() == key; }

}  // namespace

FrmDyjl::FrmDyjl() : Form(QString::fromLatin1(kName), Kind::TopLevel) {}

// ---------------------------------------------------------------- the window

void FrmDyjl::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("FrmDyjl"));
    root->resize(15870 / 15, 9615 / 15);
    buildRecordsPart(root);
    buildSearchPart(root);
}

void FrmDyjl::buildRecordsPart(QWidget* root) {
    auto makeGrid = [&](const char* name, const QString& caption, const QString& elderCaption, int top,
                        DataControl* source) {
        // The grid's caption strip stands on the top of the grid's own area.
        auto* cap = new QLabel(caption, root);
        cap->setObjectName(QString::fromLatin1(name) + QStringLiteral("Caption"));
        cap->setAlignment(Qt::AlignCenter);
        cap->setFont(songti(9));
        cap->setAutoFillBackground(true);
        place(cap, 2880, top, 12855, 300);
        auto* grid = make<DataGrid>(root, name);
        grid->setFont(songti(9));
        grid->setDataSource(source);
        grid->setColumns(gridColumns(elderCaption));
        grid->setAllowAddNew(false);
        grid->setAllowUpdate(false);
        grid->setAllowDelete(false);
        place(grid, 2880, top + 300, 12855, 2415 - 300);
        return grid;
    };
    auto makeSource = [&](const char* name, const QString& caption, int top) {
        auto* d = make<DataControl>(root, name);
        d->setReadOnly(true);
        d->setRecordSource(QStringLiteral("zfdj"));
        d->setCaption(caption);
        place(d, 2880, top, 12855, 375);
        return d;
    };
    auto makeImage = [&](const char* name, int left, DataControl* source) {
        auto* img = make<BoundImage>(root, name);
        img->setToolTip(QStringLiteral("租客身份证照片"));
        img->bind(source, QStringLiteral("xp"));
        place(img, left, 3360, 5175, 3015);
        return img;
    };

    Data1 = makeSource("Data1", QStringLiteral("租客入住登记表记录（1）"), 2760);
    Data2 = makeSource("Data2", QStringLiteral("租客入住登记表记录（2）"), 9120);
    DBGrid1 = makeGrid("DBGrid1", QStringLiteral("租客入住登记表记录(1)"), QStringLiteral("随行老人姓名"), 240, Data1);
    DBGrid2 = makeGrid("DBGrid2", QStringLiteral("住客入住登记表记录(2)"), QStringLiteral("随心老人姓名"), 6600, Data2);
    Image1 = makeImage("Image1", 3840, Data1);
    Image2 = makeImage("Image2", 9600, Data2);

    // Each print record follows the row current in its data source; the
    // caption shows where that row stands.
    QObject::connect(Data1, &DataControl::reposition, root, [this] {
        forms::guard([this] {
            showPosition(Data1, kTitle1, RowCount1);
            followRow(Data1, state().CurrentCheckIn);
        });
    });
    QObject::connect(Data2, &DataControl::reposition, root, [this] {
        forms::guard([this] {
            showPosition(Data2, kTitle2, RowCount2);
            followRow(Data2, state().SecondCheckIn);
        });
    });
    QObject::connect(DBGrid1, &DataGrid::rowClicked, root,
                     [this] { forms::guard([this] { followRow(Data1, state().CurrentCheckIn); }); });
    QObject::connect(DBGrid2, &DataGrid::rowClicked, root,
                     [this] { forms::guard([this] { followRow(Data2, state().SecondCheckIn); }); });
}

void FrmDyjl::buildSearchPart(QWidget* root) {
    auto* title = label(root, "Label2", QStringLiteral("公寓信息查询"), 480, 360, 2175);
    title->setFont(songti(15.75));
    title->setFixedHeight(420 / 15);
    QPalette red = title->palette();
    red.setColor(QPalette::WindowText, QColor(255, 0, 0));
    title->setPalette(red);

    // The search inputs, one row each, between the title and the offset boxes.
    const int inputLeft = 1320, inputWidth = 1335;
    auto row = [](int i) { return 1080 + i * 480; };
    label(root, "Label11", QStringLiteral("查询选项："), 240, row(0));
    CboCxxx = combo(root, "CboCxxx");
    place(CboCxxx, inputLeft, row(0) - 15, inputWidth, 315);
    label(root, "Label1", QStringLiteral("查询方式："), 240, row(1));
    CboCxfs = combo(root, "CboCxfs");
    place(CboCxfs, inputLeft, row(1) - 15, inputWidth, 315);
    label(root, "Label3", QStringLiteral("计费日期："), 240, row(2));
    Txtjfrq = make<QLineEdit>(root, "Txtjfrq");
    place(Txtjfrq, inputLeft, row(2), inputWidth, 285);
    label(root, "Label4", QStringLiteral("房间编号："), 240, row(3));
    TxtFh = make<QLineEdit>(root, "TxtFh");
    place(TxtFh, inputLeft, row(3), inputWidth, 285);
    label(root, "Label5", QStringLiteral("租客姓名："), 240, row(4));
    Txtzk = make<QLineEdit>(root, "Txtzk");
    place(Txtzk, inputLeft, row(4), inputWidth, 285);
    label(root, "Label6", QStringLiteral("身份证号码："), 240, row(5));
    Txtzh = make<QLineEdit>(root, "Txtzh");
    place(Txtzh, inputLeft, row(5), inputWidth, 285);
    label(root, "Label7", QStringLiteral("房间现状："), 240, row(6));
    Cbofjxz = combo(root, "Cbofjxz");
    place(Cbofjxz, inputLeft, row(6) - 15, inputWidth, 315);

    // The photo offsets.
    label(root, "Label8", QStringLiteral("图像调整位置："), 240, 4920, 2415);
    label(root, "Label9", QStringLiteral("X1："), 240, 5280, 360);
    label(root, "Label10", QStringLiteral("Y1："), 240, 5760, 360);
    label(root, "Label12", QStringLiteral("X2："), 1560, 5280, 360);
    label(root, "Label13", QStringLiteral("Y2："), 1560, 5760, 360);
    TxtXx1 = make<QLineEdit>(root, "TxtXx1");
    TxtYy1 = make<QLineEdit>(root, "TxtYy1");
    TxtXx2 = make<QLineEdit>(root, "TxtXx2");
    TxtYy2 = make<QLineEdit>(root, "TxtYy2");
    place(TxtXx1, 600, 5280, 735, 270);
    place(TxtYy1, 600, 5760, 735, 270);
    place(TxtXx2, 1920, 5280, 735, 270);
    place(TxtYy2, 1920, 5760, 735, 270);

    auto button = [&](const char* name, const QString& text, int top) {
        auto* b = make<QPushButton>(root, name);
        b->setText(text);
        place(b, 720, top, 1455, 495);
        return b;
    };
    CmdCx = button("CmdCx", QStringLiteral("查询"), 6360);
    CmdPrinter = button("CmdPrinter", QStringLiteral("打印"), 7080);
    CmdEixt = button("CmdEixt", QStringLiteral("返回"), 7800);

    label(root, "Label14", QStringLiteral("提示："), 240, 8790, 2415);
    TxtTs = make<QLineEdit>(root, "TxtTs");
    place(TxtTs, 240, 9120, 2415, 285);

    forms::onClick(CmdCx, [this] { CmdCx_Click(); });
    forms::onClick(CmdPrinter, [this] { CmdPrinter_Click(); });
    forms::onClick(CmdEixt, [this] { CmdEixt_Click(); });
    QObject::connect(CboCxfs, &QComboBox::activated, root, [this] { forms::guard([this] { CboCxfs_Click(); }); });
    QObject::connect(CboCxxx, &QComboBox::activated, root,
                     [this] { forms::guard([this] { SearchTarget = CboCxxx->currentText(); }); });

    new forms::EnterRing(
        {CboCxxx, CboCxfs, Txtjfrq, TxtFh, Txtzk, Txtzh, Cbofjxz, TxtXx1, TxtYy1, TxtXx2, TxtYy2, TxtTs}, true, root);
}

// ---------------------------------------------------------------- loading

void FrmDyjl::onLoad() {
    RowCount1 = 0;
    RowCount2 = 0;
    TxtXx1->setText(QStringLiteral("650"));
    TxtYy1->setText(QStringLiteral("1000"));
    TxtXx2->setText(QStringLiteral("650"));
    TxtYy2->setText(QStringLiteral("8710"));
    loading_ = true;
    try {
        openSource(Data1, state().CurrentCheckIn, RowCount1);
        if (RowCount1 == 0)
            CmdCx->setEnabled(false);
        openSource(Data2, state().SecondCheckIn, RowCount2);
        fill(CboCxfs, {QStringLiteral("房号+姓名"), QStringLiteral("房号"), QStringLiteral("姓名"),
                       QStringLiteral("身份证号"), QStringLiteral("房间现状"), QStringLiteral("所有记录")});
        fill(Cbofjxz, {QStringLiteral("在住"), QStringLiteral("退房"), QStringLiteral("招租"), QStringLiteral("已订"),
                       QStringLiteral("自用")});
        fill(CboCxxx, {QStringLiteral("记录1"), QStringLiteral("记录2")});
        CmdCx->setEnabled(false);
    } catch (const std::exception&) {
        loading_ = false;
        dlg::msgBox(QStringLiteral("与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！"), 64,
                    QStringLiteral("提示！"));
    }
    loading_ = false;
}

// Binds a data source to the data file, counts its rows and copies its first
// row into the print record. An empty table is neither moved nor counted.
void FrmDyjl::openSource(DataControl* source, CheckInRecord& target, int& rowCount) {
    source->setDatabaseName(state().DatabasePath);
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

void FrmDyjl::showPosition(DataControl* source, const QString& title, int rowCount) {
    const int position = source->recordset().absolutePosition() + 1;
    source->setCaption(title + QStringLiteral(" (#Record：") + QString::number(position) + QStringLiteral(" / ") +
                       QString::number(rowCount) + QStringLiteral(")"));
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

void FrmDyjl::CmdPrinter_Click() {
    PairOffsetRecord offsets;
    if (!offsetValue(TxtXx1->text(), offsets.X1) || !offsetValue(TxtYy1->text(), offsets.Y1) ||
        !offsetValue(TxtXx2->text(), offsets.X2) || !offsetValue(TxtYy2->text(), offsets.Y2)) {
        dlg::msgBox(QStringLiteral("图像调整位置必须为数字！"), 64, QStringLiteral("提示！"));
        return;
    }
    state().PairOffsets = offsets;
    state().EditMode = QStringLiteral("YE2");
    PrintRegFormPair();
}

void FrmDyjl::CmdEixt_Click() {
    try {
        state().DataFilePath.clear();
        unload();
        // The tenant records window gets its one-record choice back, but only
        // when it is open: the exit never opens it.
        if (forms::Form* records = forms::Registry::loaded(QStringLiteral("Tenvora")))
            if (auto* check1 = records->control<QAbstractButton>(QStringLiteral("Check1")))
                check1->setEnabled(true);
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("结束返回！"), 64, QStringLiteral("提示！"));
        if (isLoaded())
            unload();
    }
}

// ---------------------------------------------------------------- search

void FrmDyjl::setSearchInputsEnabled(bool jfrq, bool fh, bool zk, bool zh, bool fjxz) {
    Txtjfrq->setEnabled(jfrq);
    TxtFh->setEnabled(fh);
    Txtzk->setEnabled(zk);
    Txtzh->setEnabled(zh);
    Cbofjxz->setEnabled(fjxz);
}

void FrmDyjl::CboCxfs_Click() {
    TxtFh->clear();
    Txtzk->clear();
    Txtzh->clear();
    Txtjfrq->clear();
    Cbofjxz->setCurrentIndex(-1);
    Cbofjxz->clearEditText();
    const QString mode = CboCxfs->currentText();
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
    CmdCx->setEnabled(true);
}

void FrmDyjl::CmdCx_Click() {
    SearchKeyRecord& keys = state().SearchKeys;
    keys.fjh = TxtFh->text();
    keys.xm = Txtzk->text();
    keys.sfzhm = Txtzh->text();
    keys.jfrq = Txtjfrq->text();
    keys.ysno = Cbofjxz->currentText();
    SearchTarget = CboCxxx->currentText();
    DataControl* target = SearchTarget == QStringLiteral("记录1")   ? Data1
                          : SearchTarget == QStringLiteral("记录2") ? Data2
                                                                    : nullptr;
    try {
        if (target)
            runSearch(target);
    } catch (const std::exception&) {
        dlg::msgBox(QStringLiteral("数据查询失败！"), 64, QStringLiteral("提示！"));
        return;
    }
    setSearchInputsEnabled(true, true, true, true, true);
    CmdCx->setEnabled(false);
}

void FrmDyjl::runSearch(DataControl* target) {
    const SearchKeyRecord& keys = state().SearchKeys;
    const bool room = !TxtFh->text().isEmpty(), name = !Txtzk->text().isEmpty();
    if (room && name) {
        scan(target, QStringLiteral("fjh"), keys.fjh, QStringLiteral("xm"), keys.xm);
    } else if (room) {
        query(target, QStringLiteral("Select * from [zfdj] where [fjh]=?"), keys.fjh);
    } else if (name) {
        scan(target, QStringLiteral("xm"), keys.xm);
    } else if (!Txtzh->text().isEmpty()) {
        scan(target, QStringLiteral("sfzhm"), keys.sfzhm);
    } else if (!Cbofjxz->currentText().isEmpty()) {
        query(target, QStringLiteral("Select * from [zfdj] where [ysno]=?"), keys.ysno);
        TxtTs->setText(QStringLiteral("为您查到符合条件的记录"));
    } else if (CboCxfs->currentText() == QStringLiteral("所有记录")) {
        target->setRecordSource(kAllRows);
        target->refresh();
        TxtTs->setText(QStringLiteral("显示全部记录"));
    }
}

// The typed key is bound as a parameter, never written into the SQL text.
void FrmDyjl::query(DataControl* target, const QString& sql, const QString& key) {
    target->setRecordSource(sql, {Value(key)});
    target->refresh();
}

// Walks the rows the source holds from the first one and stops on the first
// whose fields equal the keys exactly. The rows after the first are compared
// in place and the source moves once more, to the found row or, without a
// match, past the last row with the last row copied: what a walk row by row
// leaves, without showing and copying every row on the way.
void FrmDyjl::scan(DataControl* target, const QString& field1, const QString& key1, const QString& field2,
                   const QString& key2) {
    Recordset& rs = target->recordset();
    rs.moveFirst();
    std::vector<std::pair<int, QString>> keys;
    for (const auto& [field, key] : {std::pair{field1, key1}, std::pair{field2, key2}}) {
        if (field.isEmpty())
            continue;
        const int column = rs.columnIndex(field);
        if (column < 0)
            (void)rs.field(field);  // raises: the source has no such field
        keys.emplace_back(column, key);
    }
    const int rows = rs.recordCount();
    for (int row = 0; row < rows; ++row) {
        bool match = true;
        for (const auto& [column, key] : keys) match = match && sameText(rs.valueAt(row, column), key);
        if (match) {
            if (row != rs.absolutePosition())
                rs.moveTo(row);
            TxtTs->setText(QStringLiteral("为您查到一条记录"));
            return;
        }
    }
    rs.moveLast();
    rs.moveNext();
    TxtTs->setText(kNotFound);
}

}  // namespace tv
