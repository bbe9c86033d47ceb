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
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"
#include "support/WindowTest.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QRegularExpression>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QVBoxLayout>

#include <functional>

// Failed comparisons show the text itself.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

using tv::state;
using tv::checkin::FrmRzdj;
using tv::forms::Form;
using tv::forms::Registry;
namespace dlg = tv::dlg;
namespace script = tv::dlg::script;

namespace {

// A stand-in for another window: its name and the controls it builds.
class StandIn : public Form {
public:
    StandIn(const char* name, std::function<void(QWidget*)> make)
        : Form(QString::fromLatin1(name), Kind::TopLevel), make_(std::move(make)) {}

protected:
    void build(QWidget* root) override { make_(root); }

private:
    std::function<void(QWidget*)> make_;
};

const char* const kRowInputs[] = {"Txtfjh",   "Txtjzrs",  "Txtxm",    "Txtdh",    "Txtsfzh", "Txtdw",    "Cboyh",
                                  "Cbowh",    "Cbon1",    "Cbon2",    "Txtrzrq",  "Txtlkrq", "Txtfq",    "Cboxb1",
                                  "Txtcxny1", "Txtmq",    "Cboxb2",   "Txtcxny2", "Txtxm1",  "Cboxb3",   "Txtcxny3",
                                  "Txtxm2",   "Cboxb4",   "Txtcxny4", "Txtxm3",   "Cboxb5",  "Txtcxny5", "Txtxm4",
                                  "Cboxb6",   "Txtcxny6", "Cboysno"};

const QString kEnd = QStringLiteral("已到尾记录！|0|提示！");
const QString kAskDelete = QStringLiteral("您真的要删除这个记录吗?|68|删除记录");
const QString kNoPicture = QStringLiteral("不能识别的图片文件！|64|提示！");

QString idNumber(int i) { return QStringLiteral("44010119900101%1").arg(i, 4, 10, QLatin1Char('0')); }
QString hex(const QByteArray& bytes) { return QString::fromLatin1(bytes.toHex().toUpper()); }

QByteArray pictureBytes(QColor color, const char* format) {
    QImage img(120, 150, QImage::Format_RGB32);
    img.fill(color);
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, format);
    return bytes;
}

// Rows 1..n: room 100+i, tenant "租客i", status 在住 for odd rows and 退房 for
// even ones. Row 1 has an elder and two children and a photo; rows 3 and 4
// share room 103 (row 4 moved in later).
void addRows(const QString& file, int n) {
    QString sql;
    for (int i = 1; i <= n; ++i)
        sql += QStringLiteral(
                   "INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, ysno) VALUES "
                   "('%1', %2, '租客%3', '单位%3', '1380000%3', '已婚', '工人', 1, 0, '2024-01-%4', '%5', '%6');")
                   .arg(100 + (i == 4 ? 3 : i))
                   .arg(i % 4 + 1)
                   .arg(i)
                   .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                   .arg(idNumber(i), i % 2 ? QStringLiteral("在住") : QStringLiteral("退房"));
    sql += QStringLiteral(
        "UPDATE zfdj SET fq='张老伯', xb1='男', cxny1='1950-03', xm1='小明', xb3='男', "
        "cxny3='2015-06-01', xm2='小红', xb4='女', cxny4='2017-08-09' WHERE rowid=1;");
    tv::test::execSql(file, sql);
    tv::Database::open(file)->exec(QStringLiteral("UPDATE zfdj SET xp=? WHERE rowid=1"),
                                   {tv::Value(pictureBytes(QColor(200, 60, 60), "PNG"))});
}

class FrmRzdjTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        savedUnexpected = script::unexpectedHandler();
        script::setUnexpectedHandler([this](const dlg::Call& c) {
            if (onUnexpected)
                onUnexpected(c);
            else
                ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString();
        });
        state().PicturePath = dir.filePath(QStringLiteral("BMP")) + QLatin1Char('/');
        tv::shell::setProgramFolder(QStringLiteral("/opt/tenvora"));
        showMainStandIn();
        Registry::add(QStringLiteral("FrmDyjl"),
                      [] { return new StandIn("FrmDyjl", [](QWidget*) {}); });  // the two-record window
        Registry::add(QStringLiteral("FrmRzdj"), [] { return new FrmRzdj; });
    }
    void TearDown() override {
        tv::shell::setProgramFolder(QString());
        script::setUnexpectedHandler(savedUnexpected);
        WindowTest::TearDown();
    }

    // Opens the window on `path` after adding `rowCount` rows to the data file.
    FrmRzdj& open(int rowCount = 0, const QString& path = {}) {
        if (rowCount > 0)
            addRows(file, rowCount);
        state().DataFilePath = path.isEmpty() ? file : path;
        Registry::instance(QStringLiteral("FrmRzdj"))->show();
        return *static_cast<FrmRzdj*>(Registry::instance(QStringLiteral("FrmRzdj")));
    }
    template <class T = QWidget>
    T* ctl(const QString& name) {
        T* w = Registry::instance(QStringLiteral("FrmRzdj"))->control<T>(name);
        EXPECT_NE(w, nullptr) << name.toStdString();
        return w;
    }
    QString text(const QString& name) {
        if (auto* combo = qobject_cast<QComboBox*>(ctl(name)))
            return combo->currentText();
        return ctl<QLineEdit>(name)->text();
    }
    // The texts of several boxes, joined by '|'.
    QString texts(std::initializer_list<const char*> names) {
        QStringList out;
        for (const char* n : names) out << text(QString::fromLatin1(n));
        return out.join(QLatin1Char('|'));
    }
    void setText(const QString& name, const QString& value) {
        if (auto* combo = qobject_cast<QComboBox*>(ctl(name)))
            combo->setEditText(value);
        else
            ctl<QLineEdit>(name)->setText(value);
    }
    void fill(std::initializer_list<std::pair<const char*, QString>> values) {
        for (const auto& [name, value] : values) setText(QString::fromLatin1(name), value);
    }
    // Clicks a button, the message boxes it raises answered in turn, and
    // returns those boxes (see msgs()).
    QStringList click(const char* button, std::initializer_list<int> answers = {}) {
        script::clearCalls();
        for (int a : answers) script::answerMsgBox(a);
        ctl<QPushButton>(QString::fromLatin1(button))->click();
        return msgs();
    }
    // Answers the print choice with `choice` (none: Cancel), then the boxes.
    QStringList printChoice(std::optional<QString> choice, std::initializer_list<int> answers = {}) {
        script::answerInput(std::move(choice));
        return click("CmdPrinter", answers);
    }
    // Which of the named controls are enabled, as a pattern of 1 and 0.
    QString on(std::initializer_list<const char*> names) {
        QString s;
        for (const char* n : names) s += ctl(QString::fromLatin1(n))->isEnabled() ? QLatin1Char('1') : QLatin1Char('0');
        return s;
    }
    // The ten buttons in the order of the window's bottom row.
    QString buttons() {
        return on({"CmdTj", "CmdXg", "CmdCx", "CmdDel", "CmdSyt", "CmdXyt", "CmdQr", "Cmdfq", "CmdPrinter", "CmdExit"});
    }
    tv::forms::DataControl* data1() { return ctl<tv::forms::DataControl>(QStringLiteral("Data1")); }
    QString caption() { return data1()->caption(); }
    // What the window shows: the caption's "row / count", the tenant's name,
    // the status line and the ten buttons.
    QString view() {
        const QString pos = caption().section(QStringLiteral("："), 1).chopped(1);
        return QStringList({pos, text(QStringLiteral("Txtxm")), status(), buttons()}).join(QLatin1Char('|'));
    }
    QString status() { return text(QStringLiteral("TxtTs")); }
    QByteArray photo() { return ctl<tv::forms::BoundImage>(QStringLiteral("Image3"))->bytes(); }
    QString sql(const QString& query) { return tv::test::queryText(file, query); }
    int rows() { return sql(QStringLiteral("SELECT count(*) FROM zfdj")).toInt(); }
    // The message boxes shown since the last clearCalls, each as "text|style|title".
    QStringList msgs() {
        QStringList out;
        for (const dlg::Call& c : script::calls())
            if (c.kind == QLatin1String("msgBox"))
                out << QStringList({c.text, QString::number(c.style), c.title}).join(QLatin1Char('|'));
        return out;
    }
    void pickMode(const QString& mode) {
        auto* c = ctl<QComboBox>(QStringLiteral("CboCxfs"));
        c->setCurrentIndex(c->findText(mode));
        emit c->activated(c->currentIndex());
    }
    void search(const QString& mode, const QString& fh, const QString& zk, const QString& zh, const QString& xz) {
        pickMode(mode);
        fill({{"TxtFh", fh}, {"TxtZk", zk}, {"Txtzh", zh}, {"Cboxz", xz}});
        click("CmdCx");
    }
    // The printed text lines of the trace, without the column marks.
    static QString printout() {
        return tv::print::Printer::traceLines()
            .filter(QRegularExpression(QStringLiteral("^line ")))
            .join('\n')
            .remove('|');
    }
    // The print record: the name, the elders and the children.
    static QString printRecord() {
        const tv::CheckInRecord& r = state().CurrentCheckIn;
        return QStringList({r.xm, r.fq, r.mq, r.xm1, r.xm2, r.xm3, r.xm4}).join(QLatin1Char('/'));
    }

    std::function<void(const dlg::Call&)> savedUnexpected, onUnexpected;
};

}  // namespace

TEST_F(FrmRzdjTest, CountsMoreRowsThanASixteenBitNumberHolds) {
    tv::test::execSql(file,
                      QStringLiteral("WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 33000) "
                                     "INSERT INTO zfdj (fjh, xm) SELECT 'R' || i, '租客' || i FROM n;"));
    open();
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 33000)");
}

TEST_F(FrmRzdjTest, LoadShowsTheFirstRowAndExitOrTheCloseBoxUnloads) {
    FrmRzdj& w = open(12);
    EXPECT_TRUE(w.subWindow()->isMaximized());
    EXPECT_EQ(caption(), "租客入住登记 (#Record：1 / 12)");
    // Filling the lists does not change what a box shows.
    EXPECT_EQ(texts({"Txtfjh", "Txtxm", "Cbowh", "Cbon2", "Cboxb4", "Cboxb5", "Cboxz", "CboCxfs"}),
              "101|租客1|工人|0|女|||");
    EXPECT_FALSE(photo().isEmpty());
    EXPECT_EQ(tv::forms::statusPanel(1), "工作路径：" + file);
    EXPECT_EQ(buttons(), "1111110011");
    EXPECT_EQ(on({"TxtFh", "TxtZk", "Txtzh", "Cboxz"}), "0000");
    // The decorative pictures are missing here: no message for that (any
    // unexpected message box fails the test).

    click("CmdExit");
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    EXPECT_EQ(state().DataFilePath, "");
    EXPECT_EQ(tv::forms::statusPanel(1), "/opt/tenvora");

    // The close box while adding drops the pending row, then unloads.
    open();
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("777"));
    EXPECT_EQ(on({"CmdExit"}), "0");
    w.subWindow()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    EXPECT_EQ(rows(), 12);
    EXPECT_EQ(state().DataFilePath, file);
}

TEST_F(FrmRzdjTest, AFileWithoutTheTableOrNoDatabaseAtAllGivesTheFormatMessageOnce) {
    tv::test::execSql(file, QStringLiteral("DROP TABLE zfdj;"));
    const QString junk = dir.filePath(QStringLiteral("other.mdb"));
    QFile f(junk);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("this is no database at all, only some text ..............................................");
    f.close();
    for (const QString& path : {file, junk}) {
        script::clearCalls();
        script::answerMsgBox(dlg::Ok);
        open(0, path);
        EXPECT_EQ(msgs(), QStringList{"与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！|64|提示！"});
        EXPECT_EQ(buttons(), "0000000001");
        EXPECT_EQ(ctl<QComboBox>(QStringLiteral("CboLx"))->count(), 0);
        click("CmdExit");
        EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));
    }
}

TEST_F(FrmRzdjTest, AddWithARefusedValueConfirmCancelAndModify) {
    open(12);
    click("CmdTj");
    EXPECT_EQ(texts({"Txtfjh", "TxtTs"}), "|添加新记录");
    EXPECT_EQ(buttons(), "1000001100");
    EXPECT_EQ(photo(), QByteArray());
    // 程序员 is typed, not in the list.
    fill({{"Txtfjh", "301"},
          {"Txtxm", "王新"},
          {"Cbowh", "程序员"},
          {"Cbon1", "2"},
          {"Txtxm4", "小四"},
          {"Cboysno", "在住"}});
    // A value the column cannot hold: refused, the row stays pending.
    for (const char* bad : {"abc", "40000"}) {
        setText(QStringLiteral("Txtjzrs"), QString::fromLatin1(bad));
        EXPECT_EQ(click("CmdQr", {dlg::Ok}), QStringList{"数据类型转换错误。|0|记录'添加'或'修改'错误！"}) << bad;
        EXPECT_EQ(rows(), 12);
        EXPECT_EQ(texts({"Txtfjh", "Txtjzrs"}) + '|' + buttons(), QString("301|%1|1000001100").arg(bad));
    }
    // Corrected, the same pending row goes in and is shown.
    setText(QStringLiteral("Txtjzrs"), QStringLiteral("2"));
    click("CmdQr");
    EXPECT_EQ(sql("SELECT fjh||'/'||jzrs||'/'||xm||'/'||wh||'/'||n1||'/'||xm4||'/'||ysno FROM zfdj WHERE rowid=13"),
              "301/2/王新/程序员/2/小四/在住");
    EXPECT_EQ(sql("SELECT count(*) FROM zfdj WHERE rowid=13 AND dw IS NULL AND n2 IS NULL AND xp IS NULL"), "1");
    EXPECT_EQ(rows(), 13);
    EXPECT_EQ(view(), "13 / 13|王新|数据添加或修改成功|1111110011");
    // The new row is what a print takes: nothing of the tenant before it.
    EXPECT_EQ(printRecord(), "王新//////小四");

    // Cancel after add, then after modify; the status line stays.
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("999"));
    click("Cmdfq");
    EXPECT_EQ(rows(), 13);
    EXPECT_EQ(view(), "13 / 13|王新|添加新记录|1111110011");
    data1()->moveFirst();
    click("CmdXg");
    EXPECT_EQ(view(), "1 / 13|租客1|修改当前记录|0000001100");
    setText(QStringLiteral("Txtxm"), QStringLiteral("改名"));
    click("Cmdfq");
    EXPECT_EQ(sql("SELECT xm FROM zfdj WHERE rowid=1"), "租客1");
    EXPECT_EQ(view(), "1 / 13|租客1|修改当前记录|1111110011");

    // Confirmed, the change is stored and the window moves to the last row.
    click("CmdXg");
    fill({{"Txtdh", "13912345678"}, {"Txtxm1", ""}});  // clearing a field stores Null
    click("CmdQr");
    EXPECT_EQ(sql("SELECT dh FROM zfdj WHERE rowid=1 AND xm1 IS NULL AND xm2='小红'"), "13912345678");
    EXPECT_EQ(rows(), 13);
    EXPECT_EQ(view(), "13 / 13|王新|数据添加或修改成功|1111110011");
}

TEST_F(FrmRzdjTest, StepButtonsAtBothEndsThenDeleteAMiddleTheLastAndTheOnlyRow) {
    open();
    EXPECT_EQ(view(), "0 / 0|||1000000001");
    click("CmdExit");

    open(3);
    QString statusAtMessage;
    onUnexpected = [&](const dlg::Call&) { statusAtMessage = status(); };
    // Previous on the first row: the status is written before the message.
    EXPECT_EQ(click("CmdSyt"), QStringList{"已到首记录！|0|提示！"});
    EXPECT_EQ(statusAtMessage, "已移动到首记录");
    EXPECT_EQ(view(), "1 / 3|租客1|已移动到首记录|1111010011");
    // Stepping forward enables both again; reaching the last row disables nothing.
    click("CmdXyt");
    EXPECT_EQ(view(), "2 / 3|租客2|向下移动记录|1111110011");
    EXPECT_EQ(printRecord(), "租客2//////");  // row 1's companions are gone
    click("CmdXyt");
    EXPECT_EQ(view(), "3 / 3|租客3|向下移动记录|1111110011");
    // Next on the last row: the status comes only after the message.
    EXPECT_EQ(click("CmdXyt"), QStringList{kEnd});
    EXPECT_EQ(statusAtMessage, "向下移动记录");
    EXPECT_EQ(view(), "3 / 3|租客3|已移动到尾记录|1111100011");
    click("CmdSyt");
    EXPECT_EQ(view(), "2 / 3|租客2|向上移动记录|1111110011");

    // Delete asks: No changes nothing; Yes on a middle row makes the next one current.
    EXPECT_EQ(click("CmdDel", {dlg::No}), QStringList{kAskDelete});
    EXPECT_EQ(rows(), 3);
    EXPECT_EQ(view(), "2 / 3|租客2|向上移动记录|1111110011");
    EXPECT_EQ(click("CmdDel", {dlg::Yes}), QStringList{kAskDelete});
    EXPECT_EQ(sql("SELECT group_concat(xm) FROM zfdj"), "租客1,租客3");
    EXPECT_EQ(view(), "2 / 2|租客3|数据删除成功|1111110011");

    // The last row: the row before it becomes current, with the end message.
    EXPECT_EQ(click("CmdDel", {dlg::Yes, dlg::Ok}), QStringList({kAskDelete, kEnd}));
    EXPECT_EQ(sql("SELECT group_concat(xm) FROM zfdj"), "租客1");
    EXPECT_EQ(view(), "1 / 1|租客1|数据删除成功|1111100011");
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客1");

    // The only row: no move on the empty set, the empty-table state again.
    EXPECT_EQ(click("CmdDel", {dlg::Yes}), QStringList{kAskDelete});
    EXPECT_EQ(rows(), 0);
    EXPECT_EQ(view(), "0 / 0||数据删除成功|1000000001");
    EXPECT_EQ(text("Txtfjh"), "");

    // An add cancelled there returns to it too; a new first row can be added.
    click("CmdTj");
    click("Cmdfq");
    EXPECT_EQ(buttons(), "1000000001");
    click("CmdTj");
    setText(QStringLiteral("Txtfjh"), QStringLiteral("501"));
    click("CmdQr");
    EXPECT_EQ(rows(), 1);
    EXPECT_EQ(view(), "1 / 1||数据添加或修改成功|1111110011");
}

TEST_F(FrmRzdjTest, EachSearchRuleIsChosenByTheFilledInputsOrFindsNothing) {
    open(12);
    // Picking a mode clears the inputs and enables the ones it needs.
    setText(QStringLiteral("TxtFh"), QStringLiteral("old"));
    pickMode(QStringLiteral("房号+现状"));
    EXPECT_EQ(text("TxtFh"), "");
    EXPECT_EQ(on({"TxtFh", "TxtZk", "Txtzh", "Cboxz"}), "1001");

    // 1 room and name; rows 3 and 4 share room 103. Only the found row is in
    // the print record: none of row 1's companions.
    search("房号+姓名", "103", "租客4", {}, {});
    EXPECT_EQ(view(), "4 / 12|租客4|为您查到一条记录|1111110011");
    EXPECT_EQ(printRecord(), "租客4//////");
    // 2 room and status: the earlier of two rows is found, every time.
    search("房号+现状", "103", {}, {}, "在住");
    EXPECT_EQ(text("Txtxm"), "租客3");
    click("CmdCx");
    EXPECT_EQ(text("Txtxm"), "租客3");
    // 3 name and status; 4 ID number and status.
    search("姓名+现状", {}, "租客8", {}, "退房");
    EXPECT_EQ(text("Txtxm"), "租客8");
    search("证号+现状", {}, {}, idNumber(9), "在住");
    EXPECT_EQ(text("Txtxm"), "租客9");
    // 5 the ID number alone, also in a mode that asks for the status too.
    search("证号+现状", {}, {}, idNumber(11), {});
    EXPECT_EQ(text("Txtxm"), "租客11");
    // The filled boxes decide, not the mode: room and name win in any mode.
    search("身份证号", {}, {}, {}, {});
    fill({{"TxtFh", "102"}, {"TxtZk", "租客2"}, {"Txtzh", idNumber(7)}});
    click("CmdCx");
    EXPECT_EQ(text("Txtxm"), "租客2");
    // Only a room: no rule, nothing happens.
    data1()->moveLast();
    search("房号+姓名", "105", {}, {}, {});
    EXPECT_EQ(text("Txtxm"), "租客12");

    // Nothing found (a trailing blank is no match): no current row; the scan
    // passed every row, so the print record holds the last one.
    search("房号+姓名", "101", "租客1 ", {}, {});
    EXPECT_EQ(view(), "0 / 12||没有找到符合条件的记录|1111110011");
    EXPECT_FALSE(data1()->recordset().hasCurrent());
    EXPECT_EQ(printRecord(), "租客12//////");
    // Modify does nothing, delete asks and deletes nothing, print 1 prints nothing.
    click("CmdXg");
    EXPECT_EQ(buttons(), "1111110011");
    click("CmdDel", {dlg::Yes});
    EXPECT_EQ(rows(), 12);
    printChoice(QStringLiteral("1"));
    EXPECT_TRUE(tv::print::Printer::traceLines().isEmpty());
    // Next acts as at the end: the last row, with its message.
    EXPECT_EQ(click("CmdXyt", {dlg::Ok}), QStringList{kEnd});
    EXPECT_EQ(view(), "12 / 12|租客12|已移动到尾记录|1111100011");
}

TEST_F(FrmRzdjTest, APickedPhotoIsStoredUnchangedAndShownAgainAfterReopening) {
    const QString pics = dir.filePath(QStringLiteral("pics"));
    QDir().mkdir(pics);
    const QByteArray jpg = pictureBytes(QColor(40, 90, 200), "JPG");
    for (const char* name : {"b.jpg", "a.JPG", "notes.txt", "c.xif", "d.gif", "e.gip", "f.xip", "g.jpg"}) {
        QFile f(pics + "/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(name[0] == 'n' ? QByteArray("no picture") : name[0] == 'g' ? QByteArray() : jpg);
    }
    open(2);
    auto* files = ctl<tv::checkin::FileList>(QStringLiteral("FilList"));
    auto* types = ctl<QComboBox>(QStringLiteral("CboLx"));
    auto listed = [&](int type) {
        types->setCurrentIndex(type);
        emit types->activated(type);
        QStringList names;
        for (int i = 0; i < files->count(); ++i) names << files->item(i)->text();
        return names;
    };
    // Clicks a file in the list, the message boxes answered with OK; returns them.
    auto pick = [&](const char* name, int boxes = 0) {
        script::clearCalls();
        for (int i = 0; i < boxes; ++i) script::answerMsgBox(dlg::Ok);
        for (QListWidgetItem* item : files->findItems(QString::fromLatin1(name), Qt::MatchExactly)) {
            files->scrollToItem(item);
            QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, files->visualItemRect(item).center());
        }
        return msgs();
    };

    ctl<tv::checkin::FolderList>(QStringLiteral("DirList"))->setPath(pics);
    EXPECT_EQ(text("TxtMbwj"), pics + "/");
    EXPECT_EQ(listed(4), QStringList({"a.JPG", "b.jpg", "g.jpg"}));
    EXPECT_EQ(listed(7), QStringList({"c.xif"}));
    EXPECT_EQ(listed(8), QStringList({"d.gif"}));
    EXPECT_EQ(listed(0).size(), 8);  // all files: the picks below find each name once

    // Only browsing: the box keeps the row's stored photo, with a message.
    const QByteArray stored = photo();
    ASSERT_FALSE(stored.isEmpty());
    EXPECT_EQ(pick("b.jpg", 1), QStringList{"请先单击“添加”或“修改”，再选择身份证相片！|64|提示！"});
    EXPECT_EQ(photo(), stored);
    EXPECT_EQ(text("TxtMbwj"), pics + "/");

    // Picked while modifying, then 放弃: the stored photo shows again and
    // nothing reaches the data file.
    click("CmdXg");
    pick("b.jpg");
    EXPECT_EQ(photo(), jpg);
    click("Cmdfq");
    EXPECT_EQ(photo(), stored);
    EXPECT_EQ(sql("SELECT hex(xp) FROM zfdj WHERE rowid=1"), hex(stored));

    // The second row gets the photo. Something that is no picture, or an empty
    // file, gives a message and changes nothing.
    click("CmdXyt");
    click("CmdXg");
    EXPECT_EQ(pick("notes.txt", 1), QStringList{kNoPicture});
    EXPECT_EQ(photo(), QByteArray());
    pick("b.jpg");
    EXPECT_EQ(photo(), jpg);
    EXPECT_EQ(pick("g.jpg", 1), QStringList{kNoPicture});
    EXPECT_EQ(photo(), jpg);
    EXPECT_EQ(text("TxtMbwj"), pics + "/b.jpg");
    click("CmdQr");
    EXPECT_EQ(sql("SELECT hex(xp) FROM zfdj WHERE rowid=2"), hex(jpg));

    // Another folder shows the file clicked last in it.
    ctl<tv::checkin::FolderList>(QStringLiteral("DirList"))->setPath(dir.path());
    EXPECT_EQ(text("TxtMbwj"), dir.path() + "/b.jpg");

    // Reopened, the stored photo shows again; the first row keeps its own.
    click("CmdExit");
    open();
    EXPECT_EQ(photo(), stored);
    click("CmdXyt");
    EXPECT_EQ(photo(), jpg);
}

TEST_F(FrmRzdjTest, PrintChoiceOnePrintsThisWindowsRowWithItsPhotoOtherAnswersDoNot) {
    open(3);
    // Another data window loaded later and filled the print record.
    state().ActiveFormCode = QStringLiteral("YE2");
    state().CurrentCheckIn.xm3 = QStringLiteral("别人的孩子");

    printChoice(QStringLiteral("1"), {dlg::Ok});  // the paper prompt
    const dlg::Call ask = script::calls().at(0);
    EXPECT_EQ(
        QStringList({ask.kind, ask.text, ask.title, ask.extra}),
        QStringList({"inputBox", "打印单条记录请选'1';打印两条记录请选'2',提示：只能输入(1,2)：", "输入提示", "2"}));
    for (const char* shown : {"房间编号:101", "姓名:小明", "姓名:张老伯"})
        EXPECT_TRUE(printout().contains(QString::fromUtf8(shown))) << shown;
    EXPECT_FALSE(printout().contains(QStringLiteral("别人的孩子")));
    EXPECT_EQ(tv::print::Printer::traceLines().filter(QRegularExpression(QStringLiteral("^picture "))).size(), 1);

    // The next row has no companions: none of row 1's are printed.
    tv::print::Printer::clearTrace();
    click("CmdXyt");
    printChoice(QStringLiteral("1"), {dlg::Ok});
    EXPECT_TRUE(printout().contains(QStringLiteral("房间编号:102")));
    for (const char* other : {"小明", "张老伯", "小红"})
        EXPECT_FALSE(printout().contains(QString::fromUtf8(other))) << other;

    // The printer fails: its error is shown, and the window that loaded last
    // is still the one named afterwards.
    tv::print::Printer::useFiles(QString(), dir.filePath(QStringLiteral("no/such/folder/trace.txt")));
    const QStringList failed = printChoice(QStringLiteral("1"), {dlg::Ok, dlg::Ok});  // the paper prompt, the failure
    ASSERT_EQ(failed.size(), 2);
    EXPECT_TRUE(failed[1].startsWith(QStringLiteral("无法写入打印记录文件")));
    EXPECT_TRUE(failed[1].endsWith(QStringLiteral("|提示！")));
    EXPECT_EQ(state().ActiveFormCode, "YE2");
    EXPECT_FALSE(tv::print::Printer::device().isOpen());

    // 0 is told to be 2; a wrong number, a word, nothing and Cancel do nothing at all.
    tv::print::Printer::useFiles(QString(), QString());
    tv::print::Printer::clearTrace();
    const QString mode = state().EditMode;
    EXPECT_EQ(printChoice(QStringLiteral("0"), {dlg::Ok}), QStringList{"您没有正确选择选项,默认取值为 2 ！|64|提示"});
    for (const char* answer : {"3", "abc", ""}) printChoice(QString::fromLatin1(answer));
    printChoice(std::nullopt);
    EXPECT_EQ(state().EditMode, mode);
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmDyjl")));

    printChoice(QStringLiteral("2"));
    EXPECT_EQ(state().EditMode, "YE2");
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_TRUE(printout().isEmpty());
}

TEST_F(FrmRzdjTest, EnterWalksTheRingsOneStepAPress) {
    QWidget* top = open(2).widget()->window();
    auto enter = [&] {
        QTest::keyClick(top->focusWidget(), Qt::Key_Return);
        return top->focusWidget() ? top->focusWidget()->objectName() : QString();
    };
    auto from = [&](const char* name) { ctl(QString::fromLatin1(name))->setFocus(); };

    from("Txtfjh");
    for (int i = 1; i <= 31; ++i) EXPECT_EQ(enter(), QString::fromLatin1(kRowInputs[i % 31])) << "press " << i;
    // The search ring skips what the mode disabled.
    pickMode(QStringLiteral("房号+姓名"));
    from("TxtZk");
    EXPECT_EQ(enter(), "TxtFh");
    pickMode(QStringLiteral("证号+现状"));
    from("Txtzh");
    EXPECT_EQ(enter(), "Cboxz");
    EXPECT_EQ(enter(), "Txtzh");
    // The picker ring.
    from("CboLx");
    EXPECT_EQ(enter(), "TxtMbwj");
    EXPECT_EQ(enter(), "CboLx");
}
