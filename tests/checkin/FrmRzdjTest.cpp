// The check-in window driven as a user drives it, on a real data file:
// loading, adding, modifying, cancelling, deleting, stepping, searching, the
// photo picker, the print choice, the Enter order and leaving.
#include "checkin/FrmRzdj.h"

#include "platform/forms/BoundControls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/PickerLists.h"
#include "platform/shell/Shell.h"
#include "support/OddFiles.h"
#include "support/PrintTo.h"
#include "support/Shown.h"
#include "support/WindowTest.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QScrollArea>
#include <QTest>
#include <QWheelEvent>

#include <algorithm>

using tv::state;
using tv::checkin::FrmRzdj;
using tv::forms::Registry;
using tv::print::Printer;
namespace dlg = tv::dlg;
namespace script = tv::dlg::script;

namespace {

QByteArray pictureBytes(QColor color, const char* format) {
    QImage img(120, 150, QImage::Format_RGB32);
    img.fill(color);
    QBuffer buf;
    img.save(&buf, format);
    return buf.data();
}

// The two-record window, as far as the print choice opens it.
class PairStandIn : public tv::forms::Form {
public:
    PairStandIn() : Form(QStringLiteral("FrmDyjl"), Kind::TopLevel) {}

protected:
    void build(QWidget*) override {}
};

// Rows 1..n: room 100+i, tenant "租客i", status 在住 for odd rows and 退房 for
// even ones. Row 1 has an elder and two children and a photo; rows 3 and 4
// share room 103 (row 4 moved in later).
void addRows(const QString& file, int n) {
    tv::test::execSql(file,
                      QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                                     "INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, ysno) "
                                     "SELECT 100 + i - (i = 4), i % 4 + 1, '租客' || i, '单位' || i, "
                                     "'1380000' || i, '已婚', '工人', 1, 0, printf('2024-01-%02d', i % 28 + 1), "
                                     "printf('44010119900101%04d', i), iif(i % 2, '在住', '退房') FROM c; "
                                     "UPDATE zfdj SET fq='张老伯', xb1='男', cxny1='1950-03', xm1='小明', "
                                     "xb3='男', cxny3='2015-06-01', xm2='小红', xb4='女', cxny4='2017-08-09', "
                                     "xp=X'")
                              .arg(n) +
                          pictureBytes(QColor(200, 60, 60), "PNG").toHex() + "' WHERE rowid=1;");
}

// Message boxes that no test queued an answer for are answered OK (No to a
// question) and kept, a question marked by a "?" and its title after its text
// ("(否)" after a question whose Enter answers No); each test looks at them
// with boxes(), and any left unlooked-at fails the test.
class FrmRzdjTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        failing = script::unexpectedHandler();
        script::setUnexpectedHandler([this](const dlg::Call& c) {
            shown << c.text + (c.style & dlg::YesNo ? "?" + c.title : "") +
                         (c.style & dlg::DefaultButton2 ? "(否)" : "");
        });
        showMainStandIn();
        Registry::add(QStringLiteral("FrmDyjl"), [] { return new PairStandIn; });
    }
    void TearDown() override {
        EXPECT_EQ(boxes(), "") << "message boxes not looked at";
        script::setUnexpectedHandler(failing);
        WindowTest::TearDown();
    }

    // Opens the window on `path` after adding `rowCount` rows to the data file.
    FrmRzdj& open(int rowCount = 0, const QString& path = {}) {
        if (rowCount > 0)
            addRows(file, rowCount);
        state().DataFilePath = path.isEmpty() ? file : path;
        tv::forms::the<FrmRzdj>().show();
        return tv::forms::the<FrmRzdj>();
    }
    template <class T = QWidget>
    T* ctl(const char* name) {
        return tv::forms::the<FrmRzdj>().control<T>(QString::fromLatin1(name));
    }
    // A text box, or the edit line of a combo box.
    QLineEdit* edit(const char* name) {
        return ctl<QComboBox>(name) ? ctl<QComboBox>(name)->lineEdit() : ctl<QLineEdit>(name);
    }
    QString texts(std::initializer_list<const char*> names) {
        QStringList out;
        for (const char* n : names) out << edit(n)->text();
        return out.join(QLatin1Char('|'));
    }
    void fill(const std::vector<std::pair<const char*, QString>>& values) {
        for (const auto& [name, value] : values) edit(name)->setText(value);
    }
    void click(const char* button) { ctl<QPushButton>(button)->click(); }
    // The texts of the boxes shown since the last look, ';' between.
    QString boxes() { return std::exchange(shown, {}).join(QLatin1Char(';')); }
    // Answers the print choice with `choice` (none: Cancel); the boxes shown.
    QString printChoice(std::optional<QString> choice) {
        script::answerInput(std::move(choice));
        click("CmdPrinter");
        return boxes();
    }
    // Which of the named controls are enabled, as a pattern of 1 and 0.
    QString on(std::initializer_list<const char*> names) {
        QString s;
        for (const char* n : names) s += ctl(n)->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    // What the window shows: the caption's "row / count", the tenant's name,
    // the status line and the ten buttons in the order of the bottom row.
    QString view() {
        const QString pos =
            ctl<tv::forms::DataControl>("Data1")->caption().section(QStringLiteral("："), 1).section(')', 0, 0);
        return QStringList({pos, texts({"Txtxm", "TxtTs"}),
                            on({"CmdTj", "CmdXg", "CmdCx", "CmdDel", "CmdSyt", "CmdXyt", "CmdQr", "Cmdfq", "CmdPrinter",
                                "CmdExit"})})
            .join(QLatin1Char('|'));
    }
    QByteArray photo() { return ctl<tv::forms::BoundImage>("Image3")->bytes(); }
    // The title and style of the last box.
    static QString lastBox() { return script::calls().back().title + QString::number(script::calls().back().style); }
    QString sql(const char* query) { return tv::test::queryText(file, QString::fromUtf8(query)); }

    // A step of the user: boxes filled, then a click on a button or (a name
    // with a dot) on a file of the photo picker, its question answered.
    struct Step {
        const char* click;
        const char* seen;  // afterwards: seen(), then the boxes shown
        std::vector<std::pair<const char*, QString>> fills = {};
        std::vector<dlg::Button> answers = {};  // queued for its questions
    };
    // By default seen() is view() and the number of rows in the data file.
    void run(std::initializer_list<Step> steps, const std::function<QString()>& seen = {}) {
        for (const Step& s : steps) {
            fill(s.fills);
            for (dlg::Button a : s.answers) script::answerMsgBox(a);
            if (QByteArray(s.click).contains('.')) {
                auto* files = ctl<tv::forms::FileList>("FilList");
                QListWidgetItem* item = files->findItems(QString::fromLatin1(s.click), Qt::MatchExactly).value(0);
                files->scrollToItem(item);
                QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(item).center());
            } else {
                click(s.click);
            }
            const QString shows = seen ? seen() : view() + '|' + sql("SELECT count(*) FROM zfdj");
            EXPECT_EQ(shows + '|' + boxes(), QString::fromUtf8(s.seen)) << s.click;
        }
    }
    void pickMode(const char* mode) {
        ctl<QComboBox>("CboCxfs")->setCurrentText(QString::fromUtf8(mode));
        emit ctl<QComboBox>("CboCxfs")->activated(ctl<QComboBox>("CboCxfs")->currentIndex());
    }
    // The print record: the name, the elders and the children.
    static QString printRecord() {
        const tv::CheckInRecord& r = state().CurrentCheckIn;
        return QStringList({r.xm, r.fq, r.mq, r.xm1, r.xm2, r.xm3, r.xm4}).join(QLatin1Char('/'));
    }

    std::function<void(const dlg::Call&)> failing;
    QStringList shown;
};

}  // namespace

TEST_F(FrmRzdjTest, LoadShowsTheFirstRowEnterWalksTheRingsExitOrTheCloseBoxUnloadsAForeignFileIsRefused) {
    // In the main window of a 1280x800 screen the window is drawn smaller, and nothing needs scrolling.
    Registry::instance(QStringLiteral("MDIVamo"))->widget()->resize(1280, 700);
    FrmRzdj& w = open(12);
    const QWidget* page = w.widget()->findChild<QScrollArea*>()->widget();
    EXPECT_TRUE(page->parentWidget()->rect().contains(page->geometry())) << w.scale();
    EXPECT_TRUE(w.subWindow()->isMaximized());
    EXPECT_EQ(ctl<tv::forms::DataControl>("Data1")->caption(), "租客入住登记 (#Record：1 / 12)");
    // Filling the lists does not change what a box shows; no search input is on before a mode is picked.
    EXPECT_EQ(texts({"Txtfjh", "Txtxm", "Cbowh", "Cbon2", "Cboxb4", "Cboxb5", "Cboxz"}), "101|租客1|工人|0|女||");
    // The decorative pictures are missing here: no box for that.
    EXPECT_EQ(view() + '|' + boxes() + on({"TxtFh", "TxtZk", "Txtzh", "Cboxz"}), "1 / 12|租客1||1111110011|0000");
    EXPECT_EQ(tv::forms::statusPanel(tv::forms::Panel::WorkPath), "工作路径：" + file);

    // A key pressed from `from` until the focus is back there or `count` presses: the boxes passed.
    auto ring = [&](const char* from, Qt::Key key = Qt::Key_Return, int count = 40) {
        QStringList passed;
        for (ctl(from)->setFocus(); passed.size() < count && (passed.isEmpty() || passed.last() != from);) {
            QTest::keyClick(w.widget()->focusWidget(), key);
            passed << w.widget()->focusWidget()->objectName();
        }
        return passed.join(' ');
    };
    const QString rowOrder =
        "Txtjzrs Txtxm Txtdh Txtsfzh Txtdw Cboyh Cbowh Cbon1 Cbon2 Txtrzrq Txtlkrq Txtfq Cboxb1 Txtcxny1 Txtmq "
        "Cboxb2 Txtcxny2 Txtxm1 Cboxb3 Txtcxny3 Txtxm2 Cboxb4 Txtcxny4 Txtxm3 Cboxb5 Txtcxny5 Txtxm4 Cboxb6 "
        "Txtcxny6 Cboysno";
    EXPECT_EQ(ring("Txtfjh"), rowOrder + " Txtfjh");
    // Tab takes the same path through the row inputs, Shift+Tab the same path back.
    EXPECT_EQ(ring("Txtfjh", Qt::Key_Tab, 30), rowOrder);
    QStringList back = rowOrder.split(' ').mid(0, 29);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(ring("Cboysno", Qt::Key_Backtab, 30), back.join(' ') + " Txtfjh");
    // The search ring skips what the mode disabled; the picker ring.
    pickMode("房号+姓名");
    EXPECT_EQ(ring("TxtZk"), "TxtFh TxtZk");
    pickMode("证号+现状");
    EXPECT_EQ(ring("Txtzh"), "Cboxz Txtzh");
    EXPECT_EQ(ring("CboLx"), "TxtMbwj CboLx");

    click("CmdExit");
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(state().DataFilePath + '|' + tv::forms::statusPanel(tv::forms::Panel::WorkPath),
              '|' + tv::shell::programFolder());

    // The close box while adding (返回 is off) drops the pending row, then leaves as 返回 does.
    open();
    click("CmdTj");
    fill({{"Txtfjh", "777"}});
    w.subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(state().DataFilePath + '|' + tv::forms::statusPanel(tv::forms::Panel::WorkPath) + '|' +
                  sql("SELECT count(*) FROM zfdj"),
              '|' + tv::shell::programFolder() + "|12");

    // More rows than a 16-bit number holds are counted.
    open(33000);
    EXPECT_EQ(view(), "1 / 33012|租客1||1111110011");
    click("CmdExit");

    // A table without its fields, a file without the table, no file at all:
    // the message once, the load stops there (only 返回 is on, the lists stay empty).
    for (const char* setup :
         {"DROP TABLE zfdj; CREATE TABLE zfdj (xm TEXT); INSERT INTO zfdj VALUES ('某');", "DROP TABLE zfdj;", ""}) {
        if (*setup)
            tv::test::execSql(file, QString::fromUtf8(setup));
        open(0, *setup ? file : dir.filePath(QStringLiteral("没有.mdb")));
        EXPECT_EQ(boxes() + view() + QString::number(ctl<QComboBox>("CboLx")->count()) +
                      on({"Txtfjh", "Cboxb1", "Txtxm4", "CboCxfs", "Image3", "DrvList", "FilList", "TxtMbwj"}),
                  "与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！|||0000000001000000000");
        click("CmdExit");
        EXPECT_FALSE(w.isLoaded());
    }
}

// At 1024x600, 1280x800 and 1920x1080, in the program's font, every box
// shows the longest value a keeper types into it whole, every list every one
// of its items, and every control stands inside its frame.
TEST_F(FrmRzdjTest, EveryBoxShowsItsLongestValueAndEveryListEachItemWholeOnASmallAndALargeScreen) {
    const QString name = QStringLiteral("欧阳慕容司马上官诸葛端木"), id = QStringLiteral("44010119900101123X"),
                  room = QStringLiteral("B2-1203"), date = QStringLiteral("2024-12-31");
    const std::pair<const char*, QString> longest[] = {
        {"Txtfjh", room},
        {"Txtjzrs", "12"},
        {"Txtxm", name},
        {"Txtdh", "0755-88886666"},
        {"Txtsfzh", id},
        {"Txtrzrq", date},
        {"Txtlkrq", date},
        {"Txtfq", name},
        {"Txtcxny1", "1950-03"},
        {"Txtmq", name},
        {"Txtcxny2", "1950-03"},
        {"Txtxm1", name},
        {"Txtcxny3", date},
        {"Txtxm2", name},
        {"Txtcxny4", date},
        {"Txtxm3", name},
        {"Txtcxny5", date},
        {"Txtxm4", name},
        {"Txtcxny6", date},
        {"TxtFh", room},
        {"TxtZk", name},
        {"Txtzh", id},
        {"Txtdw", QStringLiteral("深圳市南山区粤海街道华为技术有限公司第三事业部")}};
    const QFont font = QApplication::font();
    // The main window again, in the program's own font.
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    Registry::instance(QStringLiteral("MDIVamo"))->unload();
    Registry::instance(QStringLiteral("MDIVamo"))->show();
    for (const QSize main : {QSize(1024, 500), QSize(1280, 700), QSize(1920, 980)}) {
        SCOPED_TRACE(main.width());
        Registry::instance(QStringLiteral("MDIVamo"))->widget()->resize(main);
        open(main.width() == 1920 ? 0 : 1);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);  // laid out as the event loop would
        QStringList cut;
        for (const auto& [box, text] : longest)
            if (!tv::test::showsWhole(ctl<QLineEdit>(box), text))
                cut << QString::fromLatin1(box) + ':' + text;
        QWidget* window = tv::forms::the<FrmRzdj>().widget();
        for (QComboBox* list : window->findChildren<QComboBox*>())
            for (int i = 0; i < list->count(); ++i)
                if (!tv::test::showsWhole(list, list->itemText(i)) && list->objectName() != "DrvList")
                    cut << list->objectName() + ':' + list->itemText(i);
        for (QLabel* label : window->findChildren<QLabel*>())
            if (label->fontMetrics().horizontalAdvance(label->text()) > label->contentsRect().width())
                cut << label->text();
        for (QGroupBox* frame : window->findChildren<QGroupBox*>())
            for (QWidget* inside : frame->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (!inside->isHidden() && !frame->contentsRect().contains(inside->geometry()))
                    cut << frame->title() + '>' + inside->objectName();
        // A drive's name may be longer than the picker is wide: its drop-down shows it whole.
        auto* drives = ctl<QComboBox>("DrvList");
        drives->showPopup();
        for (int i = 0; i < drives->count(); ++i)
            if (drives->view()->visualRect(drives->model()->index(i, 0)).width() <
                drives->fontMetrics().horizontalAdvance(drives->itemText(i)))
                cut << drives->itemText(i);
        drives->hidePopup();
        EXPECT_EQ(cut, QStringList());
        click("CmdExit");
    }
    QApplication::setFont(font);
}

TEST_F(FrmRzdjTest, AddWithARefusedValueConfirmCancelAndModify) {
    open(12);
    run({{"CmdTj", "1 / 12||添加新记录|1000001100|12|"}});
    EXPECT_EQ(photo(), QByteArray());
    // 程序员 is typed, not in the list.
    fill({{"Txtfjh", "301"}, {"Txtxm", "王新"}, {"Cbowh", "程序员"}});
    fill({{"Cbon1", "2"}, {"Txtxm4", "小四"}, {"Cboysno", "在住"}});
    // 添加 again asks first; No keeps the pending row as it is.
    run({{"CmdTj", "1 / 12|王新|添加新记录|1000001100|12|放弃正在编辑的记录吗？?提示！(否)"}});
    // A value the column cannot hold is refused and the row stays pending;
    // corrected, the same row goes in and is shown.
    run({{"CmdQr", "1 / 12|王新|添加新记录|1000001100|12|数据类型转换错误：居住人数", {{"Txtjzrs", "abc"}}},
         {"CmdQr", "1 / 12|王新|添加新记录|1000001100|12|数据类型转换错误：居住人数", {{"Txtjzrs", "40000"}}}});
    EXPECT_EQ(texts({"Txtfjh", "Txtjzrs"}), "301|40000");
    run({{"CmdQr", "13 / 13|王新|数据添加或修改成功|1111110011|13|", {{"Txtjzrs", "2"}}}});
    EXPECT_EQ(sql("SELECT fjh||'/'||jzrs||'/'||xm||'/'||wh||'/'||n1||'/'||xm4||'/'||ysno FROM zfdj "
                  "WHERE rowid=13 AND dw IS NULL AND n2 IS NULL AND xp IS NULL"),
              "301/2/王新/程序员/2/小四/在住");
    EXPECT_EQ(printRecord(), "王新//////小四");  // what a print takes: nothing of the row before

    // Cancel after add, then after modify: nothing stored, the status line
    // stays. Confirmed, a change is stored (a cleared box as Null) and the
    // window moves to the last row.
    // Yes drops what was typed and starts a new row.
    run({{"CmdTj", "13 / 13||添加新记录|1000001100|13|"},
         {"CmdTj", "13 / 13||添加新记录|1000001100|13|", {{"Txtxm", "李四"}}, {dlg::Yes}},
         {"Cmdfq", "13 / 13|王新|添加新记录|1111110011|13|", {{"Txtfjh", "999"}}}});
    ctl<tv::forms::DataControl>("Data1")->moveFirst();
    run({{"CmdXg", "1 / 13|租客1|修改当前记录|0000001100|13|"},
         {"Cmdfq", "1 / 13|租客1|修改当前记录|1111110011|13|", {{"Txtxm", "改名"}}},
         {"CmdXg", "1 / 13|租客1|修改当前记录|0000001100|13|"},
         {"CmdQr", "13 / 13|王新|数据添加或修改成功|1111110011|13|", {{"Txtdh", "13912345678"}, {"Txtxm1", ""}}}});
    EXPECT_EQ(sql("SELECT xm||dh FROM zfdj WHERE rowid=1 AND xm1 IS NULL AND xm2='小红'"), "租客113912345678");
}

// While browsing the boxes take no typing and the lists no key, wheel turn or
// click on their arrow, so that nothing typed is dropped at the next step;
// what a box shows can still be selected and copied. 修改 and 添加 make them
// take it, 确认 stores it.
TEST_F(FrmRzdjTest, WhileBrowsingTheBoxesTakeNoTypingModifyAndAddMakeThemTakeIt) {
    open(2);
    auto type = [](QWidget* w) {
        QTest::keyClick(w, Qt::Key_End);
        QTest::keyClicks(w, "9");
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QStringLiteral("王"), Qt::NoModifier);
    };
    auto wheel = [](QWidget* w) {
        QWheelEvent turn(QPointF(5, 5), w->mapToGlobal(QPointF(5, 5)), {}, QPoint(0, -120), Qt::NoButton,
                         Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &turn);
    };
    auto arrow = [](QWidget* w) {  // the second item picked from the drop-down, when it opens
        QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(w->width() - 5, w->height() / 2));
        QAbstractItemView* items = static_cast<QComboBox*>(w)->view();
        if (items->isVisible()) {
            items->setCurrentIndex(items->model()->index(1, 0));
            QTest::keyClick(items, Qt::Key_Return);
        }
    };
    // box | what the user does to it
    const std::pair<const char*, std::function<void(QWidget*)>> inputs[] = {
        {"Txtfjh", type}, {"Txtxm", type},
        {"Cbowh", type},  {"Cboyh", [](QWidget* w) { QTest::keyClick(w, Qt::Key_Down); }},
        {"Cbon1", wheel}, {"Cboysno", arrow}};
    auto act = [&] {
        for (const auto& [box, input] : inputs) {
            ctl(box)->setFocus();
            input(ctl(box));
        }
        return texts({"Txtfjh", "Txtxm", "Cbowh", "Cboyh", "Cbon1", "Cboysno"});
    };
    const char* const stored = "101|租客1|工人|已婚|1|在住";
    EXPECT_EQ(act(), stored);
    edit("Txtxm")->selectAll();
    EXPECT_EQ(edit("Txtxm")->selectedText(), "租客1");
    run({{"CmdXyt", "2 / 2|租客2|向下移动记录|1111110011|2|"}, {"CmdSyt", "1 / 2|租客1|向上移动记录|1111110011|2|"}});
    EXPECT_EQ(texts({"Txtfjh", "Txtxm", "Cbowh", "Cboyh", "Cbon1", "Cboysno"}), stored);

    click("CmdXg");
    EXPECT_EQ(act(), "1019王|租客19王|工人9王|未婚|2|退房");
    click("CmdQr");
    EXPECT_EQ(sql("SELECT fjh||xm||wh||yh||n1||ysno FROM zfdj WHERE rowid=1"), "1019王租客19王工人9王未婚2退房");
    // Browsing again, on the last row.
    EXPECT_EQ(act(), "102|租客2|工人|已婚|1|退房");
    click("CmdTj");
    EXPECT_EQ(act(), "9王|9王|9王|已婚|1|退房");
    click("Cmdfq");
    EXPECT_EQ(act(), "102|租客2|工人|已婚|1|退房");
}

TEST_F(FrmRzdjTest, StepButtonsAtBothEndsThenDeleteAMiddleTheLastAndTheOnlyRow) {
    open();
    EXPECT_EQ(view(), "0 / 0|||1000000001");
    click("CmdExit");

    // Previous on the first row and next on the last one each disable their
    // button with a message; a step away enables both again.
    open(3);
    run({{"CmdSyt", "1 / 3|租客1|已移动到首记录|1111010011|3|已到首记录！"},
         {"CmdXyt", "2 / 3|租客2|向下移动记录|1111110011|3|"}});
    EXPECT_EQ(printRecord(), "租客2//////");  // row 1's companions are gone
    // Delete asks (No when no answer is queued); Yes on a middle row makes the next one current.
    run({{"CmdXyt", "3 / 3|租客3|向下移动记录|1111110011|3|"},
         {"CmdXyt", "3 / 3|租客3|已移动到尾记录|1111100011|3|已到尾记录！"},
         {"CmdSyt", "2 / 3|租客2|向上移动记录|1111110011|3|"},
         {"CmdDel", "2 / 3|租客2|向上移动记录|1111110011|3|您真的要删除这个记录吗??删除记录"},
         {"CmdDel", "2 / 2|租客3|数据删除成功|1111110011|2|", {}, {dlg::Yes}}});
    EXPECT_EQ(sql("SELECT group_concat(xm) FROM zfdj"), "租客1,租客3");
    // The last row: the row before it becomes current, with the end message.
    run({{"CmdDel", "1 / 1|租客1|数据删除成功|1111100011|1|已到尾记录！", {}, {dlg::Yes}}});
    EXPECT_EQ(printRecord(), "租客1/张老伯//小明/小红//");
    // The only row: the empty-table state; an add cancelled there returns to
    // it too, and a new first row can be added.
    run({{"CmdDel", "0 / 0||数据删除成功|1000000001|0|", {}, {dlg::Yes}},
         {"CmdTj", "0 / 0||添加新记录|1000001100|0|"},
         {"Cmdfq", "0 / 0||添加新记录|1000000001|0|"},
         {"CmdTj", "0 / 0||添加新记录|1000001100|0|"},
         {"CmdQr", "1 / 1||数据添加或修改成功|1111110011|1|", {{"Txtfjh", "501"}}}});
}

// The search rule is chosen by which inputs hold text (room and name, room and
// status, name and status, ID number and status, ID number alone); picking a
// mode clears the inputs and enables the ones it needs. Rows 3 and 4 share
// room 103; only the found row is in the print record.
TEST_F(FrmRzdjTest, EachSearchRuleFindsTheFirstMatchingRowOrNothing) {
    open(12);
    // mode | keys typed (room, name, ID number, status) | inputs on once the mode is
    // picked (the same four; all cleared) | row / count, name, status line, print record
    const char* const cases[][4] = {
        {"房号+姓名", "103|租客4||", "1100", "4 / 12|租客4|为您查到一条记录|租客4//////"},
        // the earlier of two rows, also when the search starts on it
        {"房号+现状", "103|||在住", "1001", "3 / 12|租客3|为您查到一条记录|租客3//////"},
        {"房号+现状", "103|||在住", "1001", "3 / 12|租客3|为您查到一条记录|租客3//////"},
        {"姓名+现状", "|租客8||退房", "0101", "8 / 12|租客8|为您查到一条记录|租客8//////"},
        // nothing found: the scan passed every row, the print record holds the last one
        {"姓名+现状", "|租客8||在住", "0101", "0 / 12||没有找到符合条件的记录|租客12//////"},
        {"证号+现状", "||440101199001010009|在住", "0011", "9 / 12|租客9|为您查到一条记录|租客9//////"},
        // the ID number alone, also in a mode that asks for the status too
        {"证号+现状", "||440101199001010010|", "0011", "10 / 12|租客10|为您查到一条记录|租客10//////"},
        // the filled boxes decide, not the mode: room and name win
        {"身份证号", "102|租客2|440101199001010007|", "0010", "2 / 12|租客2|为您查到一条记录|租客2//////"},
        // only a room: no rule, nothing happens
        {"房号+姓名", "105|||", "1100", "2 / 12|租客2|为您查到一条记录|租客2//////"},
        // a trailing blank is no match
        {"房号+姓名", "101|租客1 ||", "1100", "0 / 12||没有找到符合条件的记录|租客12//////"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[0]);
        pickMode(c[0]);
        EXPECT_EQ(on({"TxtFh", "TxtZk", "Txtzh", "Cboxz"}) + texts({"TxtFh", "TxtZk", "Txtzh", "Cboxz"}),
                  QString::fromLatin1(c[2]) + "|||");
        const QStringList keys = QString::fromUtf8(c[1]).split('|');
        fill({{"TxtFh", keys[0]}, {"TxtZk", keys[1]}, {"Txtzh", keys[2]}, {"Cboxz", keys[3]}});
        click("CmdCx");
        EXPECT_EQ(view().section('|', 0, 2) + '|' + printRecord(), c[3]);
    }

    // With no current row, modify and delete are off (clicked, they do
    // nothing and ask nothing), print 1 says so and prints nothing; next
    // acts as at the end, and on a row they are on again. A search that
    // finds a row turns them on too.
    run({{"CmdXg", "0 / 12||没有找到符合条件的记录|1010110011|12|"},
         {"CmdDel", "0 / 12||没有找到符合条件的记录|1010110011|12|"}});
    const QString told = printChoice(QStringLiteral("1"));
    EXPECT_EQ(told + lastBox() + Printer::traceLines().join(' '), "没有当前记录，不能打印！提示！64");
    run({{"CmdXyt", "12 / 12|租客12|已移动到尾记录|1111100011|12|已到尾记录！"}});
    pickMode("身份证号");
    run({{"CmdCx", "0 / 12||没有找到符合条件的记录|1010100011|12|", {{"Txtzh", "无此号"}}},
         {"CmdCx", "5 / 12|租客5|为您查到一条记录|1111100011|12|", {{"Txtzh", "440101199001010005"}}},
         {"CmdCx", "0 / 12||没有找到符合条件的记录|1010100011|12|", {{"Txtzh", "无此号"}}},
         {"CmdTj", "0 / 12||添加新记录|1000001100|12|"},
         {"Cmdfq", "0 / 12||添加新记录|1010110011|12|"}});
}

TEST_F(FrmRzdjTest, APickedPhotoIsStoredOnlyByConfirmAndShownAgainAfterReopening) {
    const QByteArray jpg = pictureBytes(QColor(40, 90, 200), "JPG");
    // h.jpg lacks its last bytes (the decoder fills the rest grey); k.jpg is a
    // sparse 3 GB file, refused by its size without being read.
    const std::pair<const char*, QByteArray> made[] = {
        {"b.jpg", jpg}, {"a.JPG", jpg}, {"notes.txt", "no picture"}, {"c.xif", jpg}, {"d.gif", jpg}, {"e.gip", jpg},
        {"f.xip", jpg}, {"g.jpg", {}},  {"h.jpg", jpg.chopped(10)},  {"k.jpg", {}}};
    for (const auto& [name, bytes] : made) {
        QFile f(dir.filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    ASSERT_TRUE(QFile::resize(dir.filePath(QStringLiteral("k.jpg")), qint64(3) << 30));
    open(2);
    auto* files = ctl<tv::forms::FileList>("FilList");
    ctl<tv::forms::FolderList>("DirList")->setPath(dir.path());
    // The file types: letter case does not count; the gif entry lists *.gif.
    const std::pair<int, const char*> lists[] = {
        {4, "a.JPG b.jpg g.jpg h.jpg k.jpg"},
        {8, "d.gif"},
        {0, "a.JPG b.jpg c.xif d.gif e.gip f.xip g.jpg h.jpg k.jpg notes.txt 租房.mdb"}};
    for (const auto& [type, listed] : lists) {
        ctl<QComboBox>("CboLx")->setCurrentIndex(type);
        emit ctl<QComboBox>("CboLx")->activated(type);
        QStringList names;
        for (int i = 0; i < files->count(); ++i) names << files->item(i)->text();
        EXPECT_EQ(names.join(' '), listed);
    }

    // Only a row being modified takes a picked photo; 放弃 shows the stored
    // one again. Something that is no picture, an empty, cut or too large file changes nothing.
    const QByteArray stored = photo();
    auto seen = [&] {
        const char* which = photo().isEmpty() ? "none" : photo() == stored ? "stored" : photo() == jpg ? "jpg" : "?";
        return QString::fromLatin1(which) + '|' + texts({"TxtMbwj"}).mid(dir.path().size());
    };
    run({{"b.jpg", "stored|/|请先单击“添加”或“修改”，再选择身份证相片！"},
         {"CmdXg", "stored|/|"},
         {"b.jpg", "jpg|/b.jpg|"},
         {"Cmdfq", "stored|/b.jpg|"},
         {"CmdXyt", "none|/b.jpg|"},
         {"CmdXg", "none|/b.jpg|"},
         {"notes.txt", "none|/b.jpg|不能识别的图片文件！"},
         {"b.jpg", "jpg|/b.jpg|"},
         {"g.jpg", "jpg|/b.jpg|不能识别的图片文件！"},
         {"h.jpg", "jpg|/b.jpg|不能识别的图片文件！"},
         {"k.jpg", "jpg|/b.jpg|相片文件太大，请选择10MB以下的相片！"}},
        seen);
    EXPECT_EQ(lastBox(), "提示！64");
    // 添加 while adding asks; No keeps the picked photo, Yes drops it.
    run({{"CmdQr", "jpg|/b.jpg|"},
         {"CmdTj", "none|/b.jpg|"},
         {"a.JPG", "jpg|/a.JPG|"},
         {"CmdTj", "jpg|/a.JPG|放弃正在编辑的记录吗？?提示！(否)"},
         {"CmdTj", "none|/a.JPG|", {}, {dlg::Yes}},
         {"Cmdfq", "jpg|/a.JPG|"}},
        seen);
    EXPECT_EQ(sql("SELECT group_concat(hex(xp), '|') FROM zfdj"),
              QString::fromLatin1(stored.toHex().toUpper() + '|' + jpg.toHex().toUpper()));

    // Another folder shows the file clicked last in it.
    ctl<tv::forms::FolderList>("DirList")->setPath(QDir::tempPath());
    EXPECT_EQ(texts({"TxtMbwj"}), QDir::tempPath() + "/a.JPG");

    // Reopened, the stored photo shows again; the first row keeps its own.
    click("CmdExit");
    open();
    EXPECT_EQ(seen(), "stored|");
    run({{"CmdXyt", "jpg||"}}, seen);
}

// The window's own pictures replaced by a FIFO, a device, a huge file or a
// folder: the window loads at once with those pictures empty. A photo swapped
// for one of them after the file list was filled is refused with the
// window's message and the photo box keeps its picture.
TEST_F(FrmRzdjTest, PicturesAndPhotosThatAreFifosDevicesOrHugeNeverHoldTheWindowUp) {
    const QByteArray jpg = pictureBytes(QColor(40, 90, 200), "JPG");
    ASSERT_TRUE(QDir(dir.path()).mkdir("photos"));
    addRows(file, 1);
    for (const QString& kind : tv::test::oddKinds()) {
        SCOPED_TRACE(kind.toStdString());
        const QString pictures = dir.filePath("BMP-" + kind + '/');
        ASSERT_TRUE(QDir().mkdir(pictures));
        for (const char* name : {"Snap2.jpg", "zhjy.jpg"}) tv::test::makeOdd(kind, pictures + name);
        state().PicturePath = pictures;
        {
            tv::test::Watchdog watchdog("loading the check-in window with its pictures a " + kind.toStdString());
            open();
        }
        EXPECT_TRUE(ctl<tv::forms::BoundImage>("Image1")->image().isNull());
        EXPECT_TRUE(ctl<tv::forms::BoundImage>("Image2")->image().isNull());
        EXPECT_EQ(boxes(), "");
        click("CmdExit");
        QFile photo(dir.filePath("photos/" + kind + ".jpg"));
        ASSERT_TRUE(photo.open(QIODevice::WriteOnly) && photo.write(jpg) == jpg.size());
    }
    open();
    ctl<tv::forms::FolderList>("DirList")->setPath(dir.filePath("photos"));
    for (const QString& kind : tv::test::oddKinds()) {
        const QString path = dir.filePath("photos/" + kind + ".jpg");
        ASSERT_TRUE(QFile::remove(path));
        tv::test::makeOdd(kind, path);
    }
    auto* files = ctl<tv::forms::FileList>("FilList");
    ASSERT_EQ(files->count(), tv::test::oddKinds().size());
    click("CmdXg");
    const QByteArray stored = photo();
    for (const QString& kind : tv::test::oddKinds()) {
        SCOPED_TRACE(kind.toStdString());
        QListWidgetItem* item = files->findItems(kind + ".jpg", Qt::MatchExactly).value(0);
        ASSERT_TRUE(item);
        {
            tv::test::Watchdog watchdog("picking a photo that is a " + kind.toStdString());
            QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(item).center());
        }
        EXPECT_EQ(boxes(), kind == "sparse" ? "相片文件太大，请选择10MB以下的相片！" : "不能识别的图片文件！");
        EXPECT_EQ(photo(), stored);
    }
    click("Cmdfq");
}

TEST_F(FrmRzdjTest, PrintChoiceOnePrintsThisWindowsRowWithItsPhotoOtherAnswersDoNot) {
    open(3);
    // Another data window loaded later and filled the print record: the
    // window prints its own row (row 1 with its companions and photo, then
    // row 2 with none of them).
    state().ActiveFormCode = tv::FormCode::Records;
    state().CurrentCheckIn.xm3 = QStringLiteral("别人的孩子");
    EXPECT_EQ(printChoice(QStringLiteral("1")), "请调整好纸宽后：按(确认)后继续！");
    EXPECT_EQ(script::calls().at(0).text + '|' + script::calls().at(0).extra,
              "打印单条记录请选'1';打印两条记录请选'2',提示：只能输入(1,2)：|2");
    click("CmdXyt");
    EXPECT_EQ(printChoice(QStringLiteral("1")), "请调整好纸宽后：按(确认)后继续！");
    QFile golden(QStringLiteral(TV_FIXTURES_DIR "/checkin_one_sheet.trace"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ((Printer::traceLines().join('\n') + '\n').toStdString(), golden.readAll().toStdString());

    // The printer fails: its error is shown, and the window that loaded last
    // is still the one named afterwards.
    Printer::useFiles(QString(), dir.filePath(QStringLiteral("no/such/folder/trace.txt")));
    EXPECT_TRUE(printChoice(QStringLiteral("1")).startsWith("请调整好纸宽后：按(确认)后继续！;无法写入打印记录文件"));
    EXPECT_EQ(state().ActiveFormCode, tv::FormCode::Records);
    EXPECT_FALSE(Printer::device().isOpen());

    // 0 is told to be 2; a wrong number, a word, nothing and Cancel do nothing at all.
    Printer::useFiles(QString(), QString());
    EXPECT_EQ(printChoice(QStringLiteral("0")), "您没有正确选择选项,默认取值为 2 ！");
    for (const char* answer : {"3", "abc", ""}) EXPECT_EQ(printChoice(QString::fromLatin1(answer)), "");
    EXPECT_EQ(printChoice(std::nullopt), "");
    EXPECT_EQ(state().SheetChoice, tv::Sheets::One);  // what the last print 1 set
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmDyjl")));

    EXPECT_EQ(printChoice(QStringLiteral("2")), "");
    EXPECT_EQ(state().SheetChoice, tv::Sheets::Two);
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_TRUE(Printer::traceLines().isEmpty());
}

// 修改, a name typed, and meanwhile another program changed the row, deleted
// it, or deleted every row: 确认 stores nothing and says why, and the window
// is browsing again on the row as the file holds it now (the next one, or
// the new last one, when it was deleted), its buttons as after a 放弃; 修改
// and 确认 then work as ever.
TEST_F(FrmRzdjTest, AModifyRefusedBecauseAnotherProgramChangedTheRowEndsInBrowsingOnTheRowAsItIsNow) {
    const char* const refused = "该记录已被其他程序修改或删除，数据没有改变。";
    // the row modified | what the other program does | afterwards: view() and the rows in the file
    const char* const cases[][3] = {
        {"2", "UPDATE zfdj SET xm = '别人改的' WHERE rowid = 2", "2 / 3|别人改的|修改当前记录|1111110011|3"},
        {"2", "UPDATE zfdj SET dw = '新单位' WHERE rowid = 2", "2 / 3|租客2|修改当前记录|1111110011|3"},
        {"2", "DELETE FROM zfdj WHERE rowid = 2", "2 / 2|租客3|修改当前记录|1111110011|2"},
        {"3", "DELETE FROM zfdj WHERE rowid = 3", "2 / 2|租客2|修改当前记录|1111110011|2"},
        {"1", "DELETE FROM zfdj", "0 / 0||修改当前记录|1000000001|0"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c[1]);
        open(3);
        for (int row = 1; row < QByteArray(c[0]).toInt(); ++row) click("CmdXyt");
        click("CmdXg");
        fill({{"Txtxm", "Tom"}});
        tv::test::execSql(file, QString::fromUtf8(c[1]));
        run({{"CmdQr", (QByteArray(c[2]) + '|' + refused).constData()}});
        EXPECT_EQ(sql("SELECT count(*) FROM zfdj WHERE xm = 'Tom'"), "0");
        if (sql("SELECT count(*) FROM zfdj") != "0") {
            click("CmdXg");
            fill({{"Txtxm", "Tom"}});
            click("CmdQr");
            EXPECT_EQ(view().section('|', 2, 3) + '|' + boxes() + sql("SELECT count(*) FROM zfdj WHERE xm = 'Tom'"),
                      "数据添加或修改成功|1111110011|1");
        }
        click("CmdExit");
        tv::test::execSql(file, "DELETE FROM zfdj");
    }
}

// A work unit of 20,000 characters shows its first 1,000 in a box that takes
// no typing and says why, also while modifying; confirmed, it stays whole.
// A 20 MB paste, or a character typed past the 32,767 a box holds, is
// refused naming the box as the window labels it, and nothing is cut.
TEST_F(FrmRzdjTest, ACutValueIsNeverWrittenBackAndATextLongerThanABoxHoldsIsRefusedNamingTheBox) {
    open(2);
    tv::test::execSql(file, "UPDATE zfdj SET dw = replace(hex(zeroblob(20000)), '00', '单') WHERE rowid = 1");
    click("CmdExit");
    open();
    QLineEdit* unit = edit("Txtdw");
    const auto typeAtEnd = [&](QLineEdit* box, const QString& text) {
        box->setFocus();
        QTest::keyClick(box, Qt::Key_End);
        QTest::sendKeyEvent(QTest::Click, box, Qt::Key_unknown, text, Qt::NoModifier);
    };
    const auto paste = [](QLineEdit* box, const QString& text) {
        QApplication::clipboard()->setText(text);
        box->setFocus();
        QTest::keyClick(box, Qt::Key_V, Qt::ControlModifier);
    };
    // A long text as its length and its first character: a failure prints no 20 MB.
    const auto shortly = [](const QString& t) { return t.size() > 40 ? QString::number(t.size()) + t.left(1) : t; };
    const QString tip = tv::forms::cutValueTip();
    EXPECT_EQ(shortly(unit->text()) + unit->toolTip(), "1000单" + tip);
    click("CmdXg");
    typeAtEnd(unit, QStringLiteral("司"));
    EXPECT_EQ(shortly(unit->text()) + unit->toolTip(), "1000单" + tip);
    typeAtEnd(edit("Txtxm"), QStringLiteral("甲"));
    run({{"CmdQr", "2 / 2|租客2|数据添加或修改成功|1111110011|2|"}});
    EXPECT_EQ(sql("SELECT length(dw) || xm FROM zfdj WHERE rowid = 1"), "20000租客1甲");

    // The second row's unit, whole again: it takes typing while modifying.
    EXPECT_EQ(unit->text() + unit->toolTip(), "单位2");
    const QString refused = "“工作单位”最多能输入 32767 个字，粘贴或输入的内容太长，没有放进去。";
    click("CmdXg");
    paste(unit, QString(20 * 1000 * 1000, 'x'));
    EXPECT_EQ(shortly(unit->text()) + '|' + boxes(), "单位2|" + refused);
    unit->clear();
    paste(unit, QString(32767, 'y'));
    typeAtEnd(unit, "z");
    EXPECT_EQ(shortly(unit->text()) + '|' + boxes(), "32767y|" + refused);
    paste(edit("Cbowh"), QString(40000, 'w'));
    EXPECT_EQ(boxes(), "“职业”最多能输入 32767 个字，粘贴或输入的内容太长，没有放进去。");
    run({{"CmdQr", "2 / 2|租客2|数据添加或修改成功|1111110011|2|"}});
    EXPECT_EQ(sql("SELECT length(dw) || '/' || wh FROM zfdj WHERE rowid = 2"), "32767/工人");
}
