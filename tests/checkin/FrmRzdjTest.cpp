// The check-in window driven as a user drives it, on a real data file:
// loading, adding, modifying, cancelling, deleting, stepping, searching, the
// photo picker, the print choice, the Enter order and leaving.
#include "checkin/FrmRzdj.h"

#include "checkin/PickerLists.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/DataControl.h"
#include "platform/print/Printer.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>

using tv::state;
using tv::checkin::FrmRzdj;
using tv::forms::Form;
using tv::forms::Registry;
namespace dlg = tv::dlg;
namespace script = tv::dlg::script;

namespace {

// The main window as far as this window touches it: the MDI area and panel 1
// of its status bar.
class MainStandIn : public Form {
public:
    MainStandIn() : Form(QStringLiteral("MDIVamo"), Kind::TopLevel) {}
protected:
    void build(QWidget* root) override {
        auto* layout = new QVBoxLayout(root);
        auto* area = new QMdiArea(root);
        layout->addWidget(area);
        auto* bar = new QStatusBar(root);
        bar->setObjectName(QStringLiteral("StatusBar1"));
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("Panel1"));
        bar->addWidget(panel);
        layout->addWidget(bar);
        root->resize(1600, 900);
        Registry::setMdiArea(area);
    }
};

// The two-record window as far as the print choice opens it.
class PairStandIn : public Form {
public:
    PairStandIn() : Form(QStringLiteral("FrmDyjl"), Kind::TopLevel) {}
protected:
    void build(QWidget*) override {}
};

const char* const kRowInputs[] = {
    "Txtfjh", "Txtjzrs", "Txtxm",    "Txtdh",   "Txtsfzh", "Txtdw",    "Cboyh",    "Cbowh",
    "Cbon1",  "Cbon2",   "Txtrzrq",  "Txtlkrq", "Txtfq",   "Cboxb1",   "Txtcxny1", "Txtmq",
    "Cboxb2", "Txtcxny2", "Txtxm1",  "Cboxb3",  "Txtcxny3", "Txtxm2",  "Cboxb4",   "Txtcxny4",
    "Txtxm3", "Cboxb5",  "Txtcxny5", "Txtxm4",  "Cboxb6",  "Txtcxny6", "Cboysno"};

QString room(int i) { return QString::number(100 + i); }
QString idNumber(int i) { return QStringLiteral("44010119900101%1").arg(i, 4, 10, QLatin1Char('0')); }

QByteArray pictureBytes(QColor color, const char* format) {
    QImage img(120, 150, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(Qt::white);
    p.drawEllipse(20, 20, 80, 100);
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

// Rows 1..n: room 100+i, tenant "租客i", status 在住 for odd rows and 退房 for
// even ones. Row 1 has an elder and two children; rows 3 and 4 share room
// 103 (row 4 moved in later). Row 1 carries a photo.
void addRows(const QString& file, int n) {
    QString sql;
    for (int i = 1; i <= n; ++i) {
        const QString r = i == 4 ? room(3) : room(i);
        sql += QStringLiteral("INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, ysno) VALUES "
                              "('%1', %2, '租客%3', '单位%3', '1380000%3', '已婚', '工人', 1, 0, '2024-01-%4', '%5', '%6');")
                   .arg(r)
                   .arg(i % 4 + 1)
                   .arg(i)
                   .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                   .arg(idNumber(i))
                   .arg(i % 2 ? QStringLiteral("在住") : QStringLiteral("退房"));
    }
    if (n >= 1)
        sql += QStringLiteral("UPDATE zfdj SET fq='张老伯', xb1='男', cxny1='1950-03', xm1='小明', xb3='男', "
                              "cxny3='2015-06-01', xm2='小红', xb4='女', cxny4='2017-08-09' WHERE rowid=1;");
    tv::test::execSql(file, sql);
    if (n >= 1) {
        auto db = tv::Database::open(file);
        db->exec(QStringLiteral("UPDATE zfdj SET xp=? WHERE rowid=1"),
                 {tv::Value(pictureBytes(QColor(200, 60, 60), "PNG"))});
    }
}

class FrmRzdjTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::resetState();
        script::begin();
        savedUnexpected = script::unexpectedHandler();
        script::setUnexpectedHandler([this](const dlg::Call& c) {
            if (onUnexpected) onUnexpected(c);
            else ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString();
        });
        tv::print::Printer::useFiles(QString(), QString());
        file = dir.filePath(QStringLiteral("租房.mdb"));
        tv::test::makeDataFile(file);
        state().DataFilePath = file;
        state().PicturePath = dir.filePath(QStringLiteral("BMP")) + QLatin1Char('/');
        state().AppDir = QStringLiteral("/opt/tenvora");
        Registry::add(QStringLiteral("MDIVamo"), [] { return new MainStandIn; });
        Registry::add(QStringLiteral("FrmDyjl"), [] { return new PairStandIn; });
        Registry::add(QStringLiteral("FrmRzdj"), [] { return new FrmRzdj; });
        Registry::instance(QStringLiteral("MDIVamo"))->show();
    }
    std::function<void(const tv::dlg::Call&)> savedUnexpected;
    void TearDown() override {
        Registry::clear();
        tv::print::Printer::reset();
        EXPECT_EQ(script::pending(), 0) << "answers left unused";
        script::setUnexpectedHandler(savedUnexpected);
        script::end();
        tv::Database::releaseUnused();
    }

    FrmRzdj& open() {
        Registry::instance(QStringLiteral("FrmRzdj"))->show();
        return win();
    }
    FrmRzdj& win() { return *static_cast<FrmRzdj*>(Registry::instance(QStringLiteral("FrmRzdj"))); }
    template <class T = QWidget>
    T* ctl(const QString& name) {
        T* w = win().control<T>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString text(const QString& name) {
        if (auto* c = win().control<QComboBox>(name)) return c->currentText();
        return ctl<QLineEdit>(name)->text();
    }
    void setText(const QString& name, const QString& value) {
        if (auto* c = win().control<QComboBox>(name)) c->setEditText(value);
        else ctl<QLineEdit>(name)->setText(value);
    }
    void click(const char* button) { ctl<QPushButton>(QString::fromLatin1(button))->click(); }
    bool enabled(const char* name) { return ctl(QString::fromLatin1(name))->isEnabled(); }
    // The ten buttons as a pattern in the order of the window's bottom row.
    QString buttons() {
        QString s;
        for (const char* b : {"CmdTj", "CmdXg", "CmdCx", "CmdDel", "CmdSyt", "CmdXyt", "CmdQr", "Cmdfq",
                              "CmdPrinter", "CmdExit"})
            s += enabled(b) ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    QString caption() { return ctl<tv::forms::DataControl>(QStringLiteral("Data1"))->caption(); }
    QString status() { return text(QStringLiteral("TxtTs")); }
    QString panel1() {
        return Registry::loaded(QStringLiteral("MDIVamo"))->control<QLabel>(QStringLiteral("Panel1"))->text();
    }
    QString sql(const QString& query) { return tv::test::queryText(file, query); }
    int rows() { return sql(QStringLiteral("SELECT count(*) FROM zfdj")).toInt(); }
    std::vector<dlg::Call> boxes() {
        std::vector<dlg::Call> out;
        for (const dlg::Call& c : script::calls())
            if (c.kind == QLatin1String("msgBox")) out.push_back(c);
        return out;
    }
    void pickMode(const QString& mode) {
        auto* c = ctl<QComboBox>(QStringLiteral("CboCxfs"));
        c->setCurrentIndex(c->findText(mode));
        emit c->activated(c->currentIndex());
    }
    void search(const QString& mode, const QString& fh, const QString& zk, const QString& zh, const QString& xz) {
        pickMode(mode);
        setText(QStringLiteral("TxtFh"), fh);
        setText(QStringLiteral("TxtZk"), zk);
        setText(QStringLiteral("Txtzh"), zh);
        setText(QStringLiteral("Cboxz"), xz);
        click("CmdCx");
    }
    static QStringList traceLines(const QString& kind) {
        QStringList out;
        for (const QString& l : tv::print::Printer::traceLines())
            if (l.startsWith(kind)) out << QString(l).remove(QLatin1Char('|'));
        return out;
    }
    static bool printed(const QString& what) {
        for (const QString& l : traceLines(QStringLiteral("line ")))
            if (l.contains(what)) return true;
        return false;
    }

    std::function<void(const dlg::Call&)> onUnexpected;
    QTemporaryDir dir;
    QString file;
};

}  // namespace

// ------------------------------------------------------------------ loading

TEST_F(FrmRzdjTest, CountsMoreRowsThanASixteenBitNumberHolds) {
    tv::test::execSql(file, QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 33000) "
        "INSERT INTO zfdj (fjh, xm) SELECT 'R' || i, '租客' || i FROM n;"));
    FrmRzdj& w = open();
    EXPECT_EQ(w.CheckInCount, 33000);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 33000)");
}

TEST_F(FrmRzdjTest, LoadCountsTheRowsAndShowsTheFirst) {
    addRows(file, 12);
    FrmRzdj& w = open();
    EXPECT_EQ(w.widget()->windowTitle(), "租客入住登记");
    EXPECT_TRUE(w.subWindow()->isMaximized());
    EXPECT_EQ(w.CheckInCount, 12);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 12)");
    EXPECT_EQ(text("Txtfjh"), "101");
    EXPECT_EQ(text("Txtxm"), "租客1");
    EXPECT_EQ(text("Cbowh"), "工人");
    EXPECT_EQ(text("Cbon2"), "0");
    EXPECT_EQ(text("Cboxb4"), "女");
    // Filling the lists does not change what a box shows.
    EXPECT_EQ(text("Cboxb5"), "");
    EXPECT_EQ(ctl<QComboBox>(QStringLiteral("Cbowh"))->count(), 13);
    EXPECT_EQ(ctl<QComboBox>(QStringLiteral("Cboysno"))->itemText(3), "已订");
    EXPECT_EQ(ctl<QComboBox>(QStringLiteral("CboLx"))->count(), 12);
    EXPECT_EQ(text("Cboxz"), "");
    EXPECT_EQ(text("CboCxfs"), "");
    EXPECT_FALSE(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes().isEmpty());
    EXPECT_EQ(state().CurrentCheckIn.xm1, "小明");
    EXPECT_EQ(state().ActiveFormCode, "YE1");
    EXPECT_EQ(state().DatabasePath, file);
    EXPECT_EQ(panel1(), "工作路径：" + file);
    EXPECT_EQ(buttons(), "1111110011");
    for (const char* s : {"TxtFh", "TxtZk", "Txtzh", "Cboxz"}) EXPECT_FALSE(enabled(s)) << s;
    // The decorative pictures are missing here: no message for that.
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FrmRzdjTest, AnEmptyTableLeavesOnlyAddAndExit) {
    FrmRzdj& w = open();
    EXPECT_EQ(w.CheckInCount, 0);
    EXPECT_EQ(buttons(), "1000000001");
    EXPECT_EQ(caption(), "租客入住登记 (#Record：0 / 0)");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FrmRzdjTest, AFileWithoutTheTableOrNoDatabaseAtAllGivesTheFormatMessageOnce) {
    const QString noTable = dir.filePath(QStringLiteral("other.mdb"));
    tv::test::execSql(file, QStringLiteral("DROP TABLE zfdj;"));
    QFile junk(noTable);
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("this is no database at all, only some text ..............................................");
    junk.close();
    for (const QString& path : {file, noTable}) {
        state().DataFilePath = path;
        script::clearCalls();
        script::answerMsgBox(dlg::Ok);
        open();
        ASSERT_EQ(boxes().size(), 1u);
        EXPECT_EQ(boxes()[0].text, "与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！");
        EXPECT_EQ(boxes()[0].style, 64);
        EXPECT_EQ(boxes()[0].title, "提示！");
        EXPECT_EQ(buttons(), "0000000001");
        EXPECT_EQ(ctl<QComboBox>(QStringLiteral("CboLx"))->count(), 0);
        click("CmdExit");
        EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    }
}

// ------------------------------------------------------------------ editing

TEST_F(FrmRzdjTest, AddThenConfirmStoresTheRowAndShowsIt) {
    addRows(file, 12);
    FrmRzdj& w = open();
    click("CmdTj");
    EXPECT_EQ(status(), "添加新记录");
    EXPECT_EQ(buttons(), "1000001100");
    EXPECT_EQ(text("Txtfjh"), "");
    EXPECT_EQ(text("Cbowh"), "");
    EXPECT_EQ(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(), QByteArray());
    setText(QStringLiteral("Txtfjh"), QStringLiteral("301"));
    setText(QStringLiteral("Txtjzrs"), QStringLiteral("2"));
    setText(QStringLiteral("Txtxm"), QStringLiteral("王新"));
    setText(QStringLiteral("Cbowh"), QStringLiteral("程序员"));  // typed, not in the list
    setText(QStringLiteral("Cbon1"), QStringLiteral("2"));
    setText(QStringLiteral("Txtxm4"), QStringLiteral("小四"));
    setText(QStringLiteral("Cboysno"), QStringLiteral("在住"));
    click("CmdQr");
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(rows(), 13);
    EXPECT_EQ(sql("SELECT fjh||'/'||jzrs||'/'||xm||'/'||wh||'/'||n1||'/'||xm4||'/'||ysno FROM zfdj WHERE rowid=13"),
              "301/2/王新/程序员/2/小四/在住");
    EXPECT_EQ(sql("SELECT count(*) FROM zfdj WHERE rowid=13 AND dw IS NULL AND n2 IS NULL AND xp IS NULL"), "1");
    EXPECT_EQ(w.CheckInCount, 13);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：13 / 13)");
    EXPECT_EQ(text("Txtfjh"), "301");
    EXPECT_EQ(status(), "数据添加或修改成功");
    EXPECT_EQ(buttons(), "1111110011");
    // The new row is what a print takes: nothing of the tenant before it.
    EXPECT_EQ(state().CurrentCheckIn.xm, "王新");
    EXPECT_EQ(state().CurrentCheckIn.jzrs, 2);
    EXPECT_EQ(state().CurrentCheckIn.xm1, "");
    EXPECT_EQ(state().CurrentCheckIn.xm4, "小四");
}

TEST_F(FrmRzdjTest, AValueTheColumnCannotHoldIsRefusedAndTheRowStaysPending) {
    addRows(file, 12);
    open();
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("302"));
    for (const QString& bad : {QStringLiteral("abc"), QStringLiteral("40000")}) {
        script::clearCalls();
        setText(QStringLiteral("Txtjzrs"), bad);
        script::answerMsgBox(dlg::Ok);
        click("CmdQr");
        ASSERT_EQ(boxes().size(), 1u) << bad.toStdString();
        EXPECT_EQ(boxes()[0].text, "数据类型转换错误。");
        EXPECT_EQ(boxes()[0].title, "记录'添加'或'修改'错误！");
        EXPECT_EQ(boxes()[0].style, 0);
        EXPECT_EQ(rows(), 12);
        EXPECT_EQ(buttons(), "1000001100");  // still adding
        EXPECT_EQ(text("Txtfjh"), "302");
    }
    // Corrected, the same pending row goes in.
    setText(QStringLiteral("Txtjzrs"), QStringLiteral("3"));
    click("CmdQr");
    EXPECT_EQ(rows(), 13);
    EXPECT_EQ(sql("SELECT jzrs FROM zfdj WHERE fjh='302'"), "3");
}

TEST_F(FrmRzdjTest, ModifyThenConfirmStoresTheChangeAndMovesToTheLastRow) {
    addRows(file, 12);
    FrmRzdj& w = open();
    click("CmdXg");
    EXPECT_EQ(status(), "修改当前记录");
    EXPECT_EQ(buttons(), "0000001100");
    setText(QStringLiteral("Txtdh"), QStringLiteral("13912345678"));
    setText(QStringLiteral("Txtxm1"), QString());  // clearing a field stores Null
    click("CmdQr");
    EXPECT_EQ(sql("SELECT dh FROM zfdj WHERE rowid=1"), "13912345678");
    EXPECT_EQ(sql("SELECT count(*) FROM zfdj WHERE rowid=1 AND xm1 IS NULL AND xm2='小红'"), "1");
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(w.CheckInCount, 12);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：12 / 12)");
    EXPECT_EQ(text("Txtxm"), "租客12");
    EXPECT_EQ(buttons(), "1111110011");
}

TEST_F(FrmRzdjTest, CancelDropsTheAddOrTheChangesAndEnablesAddAgain) {
    addRows(file, 12);
    open();
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("999"));
    click("Cmdfq");
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(text("Txtfjh"), "101");
    EXPECT_EQ(status(), "添加新记录");  // cancel leaves the status line
    EXPECT_EQ(buttons(), "1111110011");

    click("CmdXg");
    setText(QStringLiteral("Txtxm"), QStringLiteral("改名"));
    click("Cmdfq");
    EXPECT_EQ(sql("SELECT xm FROM zfdj WHERE rowid=1"), "租客1");
    EXPECT_EQ(text("Txtxm"), "租客1");
    EXPECT_EQ(buttons(), "1111110011");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FrmRzdjTest, CancelOfAnAddOnAnEmptyTableReturnsToTheEmptyState) {
    open();
    click("CmdTj");
    click("Cmdfq");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(buttons(), "1000000001");
}

TEST_F(FrmRzdjTest, DeleteAsksAndThenMovesOnOrToTheLastRow) {
    addRows(file, 5);
    FrmRzdj& w = open();
    // No: nothing changes.
    script::answerMsgBox(dlg::No);
    click("CmdDel");
    EXPECT_EQ(rows(), 5);
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "您真的要删除这个记录吗?");
    EXPECT_EQ(boxes()[0].style, 68);
    EXPECT_EQ(boxes()[0].title, "删除记录");
    EXPECT_EQ(status(), "");

    // A middle row: the next one becomes current.
    click("CmdXyt");
    script::clearCalls();
    script::answerMsgBox(dlg::Yes);
    click("CmdDel");
    EXPECT_EQ(rows(), 4);
    EXPECT_EQ(sql("SELECT count(*) FROM zfdj WHERE xm='租客2'"), "0");
    EXPECT_EQ(text("Txtxm"), "租客3");
    EXPECT_EQ(w.CheckInCount, 4);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：2 / 4)");
    EXPECT_EQ(status(), "数据删除成功");
    EXPECT_EQ(boxes().size(), 1u);

    // The last row: the row before it becomes current, with the end message.
    ctl<tv::forms::DataControl>(QStringLiteral("Data1"))->moveLast();
    script::clearCalls();
    script::answerMsgBox(dlg::Yes);
    script::answerMsgBox(dlg::Ok);
    click("CmdDel");
    EXPECT_EQ(rows(), 3);
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_EQ(boxes()[1].text, "已到尾记录！");
    EXPECT_EQ(boxes()[1].style, 0);
    EXPECT_EQ(boxes()[1].title, "提示！");
    EXPECT_EQ(text("Txtxm"), "租客4");
    EXPECT_EQ(caption(), "租客入住登记 (#Record：3 / 3)");
    EXPECT_FALSE(enabled("CmdXyt"));
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客4");
}

TEST_F(FrmRzdjTest, DeletingTheOnlyRowReturnsToTheEmptyTableState) {
    addRows(file, 1);
    FrmRzdj& w = open();
    script::answerMsgBox(dlg::Yes);
    click("CmdDel");
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(boxes().size(), 1u);  // no end message on an empty set
    EXPECT_EQ(status(), "数据删除成功");
    EXPECT_EQ(w.CheckInCount, 0);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：0 / 0)");
    EXPECT_EQ(text("Txtfjh"), "");
    EXPECT_EQ(buttons(), "1000000001");
    // A new first row can be added.
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("501"));
    click("CmdQr");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 1)");
    EXPECT_EQ(buttons(), "1111110011");
}

// ------------------------------------------------------------------ stepping

TEST_F(FrmRzdjTest, StepButtonsAtBothEndsAndTheOrderOfMessageAndStatus) {
    addRows(file, 3);
    open();
    QString statusAtMessage;
    onUnexpected = [&](const dlg::Call&) { statusAtMessage = status(); };

    // Previous on the first row: the status is written before the message.
    click("CmdSyt");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "已到首记录！");
    EXPECT_EQ(boxes()[0].style, 0);
    EXPECT_EQ(boxes()[0].title, "提示！");
    EXPECT_EQ(statusAtMessage, "已移动到首记录");
    EXPECT_FALSE(enabled("CmdSyt"));
    EXPECT_TRUE(enabled("CmdXyt"));
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 3)");

    // Stepping forward enables both again.
    click("CmdXyt");
    EXPECT_EQ(status(), "向下移动记录");
    EXPECT_TRUE(enabled("CmdSyt"));
    EXPECT_EQ(text("Txtxm"), "租客2");
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客2");
    EXPECT_EQ(state().CurrentCheckIn.xm1, "");  // row 1's children are gone
    click("CmdXyt");
    EXPECT_EQ(caption(), "租客入住登记 (#Record：3 / 3)");
    EXPECT_TRUE(enabled("CmdXyt"));  // reaching the last row disables nothing

    // Next on the last row: the status comes only after the message.
    script::clearCalls();
    statusAtMessage.clear();
    click("CmdXyt");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "已到尾记录！");
    EXPECT_EQ(statusAtMessage, "向下移动记录");
    EXPECT_EQ(status(), "已移动到尾记录");
    EXPECT_FALSE(enabled("CmdXyt"));
    EXPECT_EQ(text("Txtxm"), "租客3");

    click("CmdSyt");
    EXPECT_EQ(status(), "向上移动记录");
    EXPECT_EQ(text("Txtxm"), "租客2");
    EXPECT_TRUE(enabled("CmdXyt"));
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客2");
}

// ------------------------------------------------------------------ search

TEST_F(FrmRzdjTest, EachSearchRuleIsChosenByTheFilledInputs) {
    addRows(file, 12);
    open();
    // Picking a mode clears the inputs and enables the ones it needs.
    setText(QStringLiteral("TxtFh"), QStringLiteral("old"));
    pickMode(QStringLiteral("房号+现状"));
    EXPECT_EQ(text("TxtFh"), "");
    EXPECT_TRUE(enabled("TxtFh"));
    EXPECT_FALSE(enabled("TxtZk"));
    EXPECT_FALSE(enabled("Txtzh"));
    EXPECT_TRUE(enabled("Cboxz"));

    // 1 room and name; rows 3 and 4 share room 103.
    search(QStringLiteral("房号+姓名"), QStringLiteral("103"), QStringLiteral("租客4"), {}, {});
    EXPECT_EQ(text("Txtxm"), "租客4");
    EXPECT_EQ(status(), "为您查到一条记录");
    EXPECT_EQ(caption(), "租客入住登记 (#Record：4 / 12)");
    EXPECT_EQ(state().SearchKeys.fjh, "103");
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客4");
    // Only the found row is in the print record: none of row 1's companions.
    EXPECT_EQ(state().CurrentCheckIn.xm1, "");
    EXPECT_EQ(state().CurrentCheckIn.fq, "");
    // 2 room and status: the earlier of two rows is found, every time.
    search(QStringLiteral("房号+现状"), QStringLiteral("103"), {}, {}, QStringLiteral("在住"));
    EXPECT_EQ(text("Txtxm"), "租客3");
    click("CmdCx");
    EXPECT_EQ(text("Txtxm"), "租客3");
    // 3 name and status.
    search(QStringLiteral("姓名+现状"), {}, QStringLiteral("租客8"), {}, QStringLiteral("退房"));
    EXPECT_EQ(text("Txtxm"), "租客8");
    // 4 ID number and status.
    search(QStringLiteral("证号+现状"), {}, {}, idNumber(9), QStringLiteral("在住"));
    EXPECT_EQ(text("Txtxm"), "租客9");
    // 5 the ID number alone, also in a mode that asks for the status too.
    search(QStringLiteral("证号+现状"), {}, {}, idNumber(11), {});
    EXPECT_EQ(text("Txtxm"), "租客11");
    EXPECT_EQ(state().SearchKeys.ysno, "");
    // The filled boxes decide, not the mode: room and name win in any mode.
    search(QStringLiteral("身份证号"), {}, {}, {}, {});
    setText(QStringLiteral("TxtFh"), QStringLiteral("102"));
    setText(QStringLiteral("TxtZk"), QStringLiteral("租客2"));
    setText(QStringLiteral("Txtzh"), idNumber(7));
    click("CmdCx");
    EXPECT_EQ(text("Txtxm"), "租客2");
    // Only a room: no rule, nothing happens.
    ctl<tv::forms::DataControl>(QStringLiteral("Data1"))->moveLast();
    search(QStringLiteral("房号+姓名"), QStringLiteral("105"), {}, {}, {});
    EXPECT_EQ(text("Txtxm"), "租客12");
    EXPECT_TRUE(boxes().empty());
}

TEST_F(FrmRzdjTest, ASearchThatFindsNothingLeavesNoCurrentRow) {
    addRows(file, 12);
    open();
    // A trailing blank is no match.
    search(QStringLiteral("房号+姓名"), QStringLiteral("101"), QStringLiteral("租客1 "), {}, {});
    EXPECT_EQ(status(), "没有找到符合条件的记录");
    EXPECT_EQ(caption(), "租客入住登记 (#Record：0 / 12)");
    EXPECT_EQ(text("Txtfjh"), "");
    EXPECT_FALSE(ctl<tv::forms::DataControl>(QStringLiteral("Data1"))->recordset().hasCurrent());
    // The scan passed every row: the print record holds the last one.
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客12");
    EXPECT_EQ(state().CurrentCheckIn.xm1, "");
    EXPECT_TRUE(boxes().empty());
    // Modify does nothing, delete asks and deletes nothing.
    click("CmdXg");
    EXPECT_EQ(buttons(), "1111110011");
    script::answerMsgBox(dlg::Yes);
    click("CmdDel");
    EXPECT_EQ(rows(), 12);
    // Print choice 1 prints nothing without a row.
    script::answerInput(QStringLiteral("1"));
    click("CmdPrinter");
    EXPECT_TRUE(tv::print::Printer::traceLines().isEmpty());
    // Next acts as at the end: the last row, with its message.
    script::clearCalls();
    script::answerMsgBox(dlg::Ok);
    click("CmdXyt");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "已到尾记录！");
    EXPECT_EQ(text("Txtxm"), "租客12");
    EXPECT_EQ(status(), "已移动到尾记录");
    EXPECT_FALSE(enabled("CmdXyt"));
}

// ------------------------------------------------------------------ photo picker

TEST_F(FrmRzdjTest, APickedPhotoIsStoredUnchangedAndShownAgainAfterReopening) {
    addRows(file, 2);
    QDir(dir.path()).mkdir(QStringLiteral("pics"));
    const QString pics = dir.filePath(QStringLiteral("pics"));
    const QByteArray jpg = pictureBytes(QColor(40, 90, 200), "JPG");
    for (const char* name : {"b.jpg", "a.JPG", "notes.txt", "c.xif", "d.gif", "e.gip", "f.xip"}) {
        QFile f(pics + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(name).endsWith("txt") ? QByteArray("no picture") : jpg);
    }
    FrmRzdj& w = open();
    auto* files = ctl<tv::checkin::FileList>(QStringLiteral("FilList"));
    auto* types = ctl<QComboBox>(QStringLiteral("CboLx"));
    auto pickType = [&](int i) {
        types->setCurrentIndex(i);
        emit types->activated(i);
    };
    auto listed = [&] {
        QStringList names;
        for (int i = 0; i < files->count(); ++i) names << files->item(i)->text();
        return names;
    };
    auto clickFile = [&](const QString& name) {
        const auto found = files->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1);
        files->scrollToItem(found[0]);
        QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(found[0]).center());
    };

    ctl<tv::checkin::FolderList>(QStringLiteral("DirList"))->setPath(pics);
    EXPECT_EQ(w.PhotoFolder, pics + "/");
    EXPECT_EQ(text("TxtMbwj"), pics + "/");
    pickType(4);
    EXPECT_EQ(listed(), QStringList({"a.JPG", "b.jpg"}));
    pickType(7);
    EXPECT_EQ(listed(), QStringList({"c.xif"}));
    pickType(8);
    EXPECT_EQ(listed(), QStringList({"d.gif"}));
    pickType(0);
    EXPECT_EQ(files->count(), 7);

    // Only browsing: the box keeps the row's stored photo, with a message.
    auto shown = [&] { return ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(); };
    const QByteArray stored = shown();
    ASSERT_FALSE(stored.isEmpty());
    script::answerMsgBox(dlg::Ok);
    clickFile(QStringLiteral("b.jpg"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "请先单击“添加”或“修改”，再选择身份证相片！");
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].title, "提示！");
    EXPECT_EQ(shown(), stored);
    EXPECT_EQ(w.PhotoFile, "");
    EXPECT_EQ(text("TxtMbwj"), pics + "/");

    // Picked while modifying, then 放弃: the stored photo shows again and
    // nothing reaches the data file.
    click("CmdXg");
    clickFile(QStringLiteral("b.jpg"));
    EXPECT_EQ(shown(), jpg);
    click("Cmdfq");
    EXPECT_EQ(shown(), stored);
    EXPECT_EQ(sql("SELECT hex(xp) FROM zfdj WHERE rowid=1"), QString::fromLatin1(stored.toHex().toUpper()));

    // The second row gets the photo; something that is no picture first: a
    // message, and nothing changes.
    click("CmdXyt");
    click("CmdXg");
    script::clearCalls();
    script::answerMsgBox(dlg::Ok);
    clickFile(QStringLiteral("notes.txt"));
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "不能识别的图片文件！");
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].title, "提示！");
    EXPECT_EQ(shown(), QByteArray());
    clickFile(QStringLiteral("b.jpg"));
    EXPECT_EQ(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(), jpg);
    EXPECT_FALSE(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->image().isNull());
    // An empty file is no picture either: the picked photo stays.
    QFile(pics + "/g.jpg").open(QIODevice::WriteOnly);
    pickType(0);
    script::answerMsgBox(dlg::Ok);
    clickFile(QStringLiteral("g.jpg"));
    EXPECT_EQ(boxes().size(), 2u);
    EXPECT_EQ(shown(), jpg);
    EXPECT_EQ(w.PhotoFile, "b.jpg");
    EXPECT_EQ(text("TxtMbwj"), pics + "/b.jpg");
    click("CmdQr");
    EXPECT_EQ(sql("SELECT hex(xp) FROM zfdj WHERE rowid=2"), QString::fromLatin1(jpg.toHex().toUpper()));

    // Another folder shows the file clicked last in it.
    ctl<tv::checkin::FolderList>(QStringLiteral("DirList"))->setPath(dir.path());
    EXPECT_EQ(text("TxtMbwj"), dir.path() + "/b.jpg");

    // Reopened, the stored photo shows again; the first row keeps its own.
    click("CmdExit");
    state().DataFilePath = file;
    open();
    EXPECT_NE(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(), jpg);
    click("CmdXyt");
    EXPECT_EQ(ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(), jpg);
}

// ------------------------------------------------------------------ printing

TEST_F(FrmRzdjTest, PrintChoiceOnePrintsThisWindowsRowWithItsPhoto) {
    addRows(file, 3);
    open();
    // Another data window loaded later and filled the print record.
    state().ActiveFormCode = QStringLiteral("YE2");
    state().CurrentCheckIn.xm3 = QStringLiteral("别人的孩子");

    script::answerInput(QStringLiteral("1"));
    script::answerMsgBox(dlg::Ok);  // the paper prompt
    click("CmdPrinter");
    const auto calls = script::calls();
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0].kind, "inputBox");
    EXPECT_EQ(calls[0].text, "打印单条记录请选'1';打印两条记录请选'2',提示：只能输入(1,2)：");
    EXPECT_EQ(calls[0].title, "输入提示");
    EXPECT_EQ(calls[0].extra, "2");
    EXPECT_EQ(state().EditMode, "YE1");
    EXPECT_EQ(state().PrintChoice, "1");
    EXPECT_TRUE(printed(QStringLiteral("房间编号:101")));
    EXPECT_TRUE(printed(QStringLiteral("姓名:小明")));
    EXPECT_TRUE(printed(QStringLiteral("姓名:张老伯")));
    EXPECT_FALSE(printed(QStringLiteral("别人的孩子")));
    EXPECT_EQ(traceLines(QStringLiteral("picture ")).size(), 1);
    EXPECT_EQ(state().ActiveFormCode, "YE2");

    // The next row has no companions: none of row 1's are printed.
    tv::print::Printer::clearTrace();
    click("CmdXyt");
    script::answerInput(QStringLiteral("1"));
    script::answerMsgBox(dlg::Ok);
    click("CmdPrinter");
    EXPECT_TRUE(printed(QStringLiteral("房间编号:102")));
    EXPECT_FALSE(printed(QStringLiteral("小明")));
    EXPECT_FALSE(printed(QStringLiteral("张老伯")));
    EXPECT_FALSE(printed(QStringLiteral("小红")));
    EXPECT_EQ(state().ActiveFormCode, "YE2");

    // The printer fails: its error is shown, and the window that loaded last
    // is still the one named afterwards.
    tv::print::Printer::useFiles(QString(), dir.filePath(QStringLiteral("no/such/folder/trace.txt")));
    script::clearCalls();
    script::answerInput(QStringLiteral("1"));
    script::answerMsgBox(dlg::Ok);  // the paper prompt
    script::answerMsgBox(dlg::Ok);  // the failure
    click("CmdPrinter");
    ASSERT_EQ(boxes().size(), 2u);
    EXPECT_TRUE(boxes()[1].text.startsWith(QStringLiteral("无法写入打印记录文件")));
    EXPECT_EQ(boxes()[1].title, "提示！");
    EXPECT_EQ(state().ActiveFormCode, "YE2");
    EXPECT_FALSE(tv::print::Printer::device().isOpen());
}

TEST_F(FrmRzdjTest, PrintChoiceZeroTwoAndOtherAnswers) {
    addRows(file, 3);
    open();
    script::answerInput(QStringLiteral("0"));
    script::answerMsgBox(dlg::Ok);
    click("CmdPrinter");
    ASSERT_EQ(boxes().size(), 1u);
    EXPECT_EQ(boxes()[0].text, "您没有正确选择选项,默认取值为 2 ！");
    EXPECT_EQ(boxes()[0].style, 64);
    EXPECT_EQ(boxes()[0].title, "提示");
    EXPECT_EQ(state().EditMode, "");

    for (const std::optional<QString>& answer :
         {std::optional<QString>(QStringLiteral("3")), std::optional<QString>(QStringLiteral("abc")),
          std::optional<QString>(QString()), std::optional<QString>()}) {
        script::answerInput(answer);
        click("CmdPrinter");
    }
    EXPECT_EQ(boxes().size(), 1u);
    EXPECT_EQ(state().EditMode, "");
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_TRUE(tv::print::Printer::traceLines().isEmpty());

    script::answerInput(QStringLiteral("2"));
    click("CmdPrinter");
    EXPECT_EQ(state().EditMode, "YE2");
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_TRUE(tv::print::Printer::traceLines().isEmpty());
}

// ------------------------------------------------------------------ Enter order

TEST_F(FrmRzdjTest, EnterWalksTheRingsOneStepAPress) {
    addRows(file, 2);
    FrmRzdj& w = open();
    QWidget* top = w.widget()->window();
    auto focused = [&] { return top->focusWidget() ? top->focusWidget()->objectName() : QString(); };
    auto enter = [&] {
        QWidget* f = top->focusWidget();
        QTest::keyClick(f, Qt::Key_Return);
    };

    ctl(QStringLiteral("Txtfjh"))->setFocus();
    ASSERT_EQ(focused(), "Txtfjh");
    for (int i = 1; i <= 31; ++i) {
        enter();
        EXPECT_EQ(focused(), QString::fromLatin1(kRowInputs[i % 31])) << "press " << i;
    }

    // The search ring skips what the mode disabled.
    pickMode(QStringLiteral("房号+姓名"));
    ctl(QStringLiteral("TxtZk"))->setFocus();
    enter();
    EXPECT_EQ(focused(), "TxtFh");
    pickMode(QStringLiteral("证号+现状"));
    ctl(QStringLiteral("Txtzh"))->setFocus();
    enter();
    EXPECT_EQ(focused(), "Cboxz");
    enter();
    EXPECT_EQ(focused(), "Txtzh");

    // The picker ring.
    ctl(QStringLiteral("CboLx"))->setFocus();
    enter();
    EXPECT_EQ(focused(), "TxtMbwj");
    enter();
    EXPECT_EQ(focused(), "CboLx");
    EXPECT_TRUE(boxes().empty());
}

// ------------------------------------------------------------------ leaving

TEST_F(FrmRzdjTest, ExitEmptiesTheDataFileAndTheCloseBoxDropsAPendingRow) {
    addRows(file, 2);
    FrmRzdj& w = open();
    click("CmdExit");
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    EXPECT_EQ(state().DataFilePath, "");
    EXPECT_EQ(panel1(), "/opt/tenvora");
    EXPECT_EQ(state().DatabasePath, file);

    state().DataFilePath = file;
    open();
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("777"));
    EXPECT_FALSE(enabled("CmdExit"));
    w.subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    EXPECT_EQ(rows(), 2);
    EXPECT_EQ(state().DataFilePath, file);
}
