// The registration records window driven as a user drives it: two grids, the
// photos, the offsets, printing a pair (read from the trace), the search and
// the Enter order.
#include "register_print/FrmDyjl.h"

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/BoundControls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/print/Printer.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"
#include "support/TestFiles.h"
#include "support/WindowTest.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

using tv::register_print::FrmDyjl;
using tv::state;
using tv::forms::DataControl;
using tv::forms::DataGrid;
using tv::forms::Form;
using tv::forms::Registry;
namespace script = tv::dlg::script;

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace {

QString idNumber(int i) { return QStringLiteral("44010119900101%1").arg(i, 4, 10, QLatin1Char('0')); }

QByteArray photo(int i) {
    QImage img(240, 300, QImage::Format_RGB32);
    img.fill(QColor::fromHsv(i * 60, 200, 200));
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// Rows 1 to `count` of the test table. Rooms: rows 1-3 share "201", row 20 is
// "A01", the others 300 + i. Names: rows 2 and 10 are both "王小明", row 12 is
// "李四", the others "租客<i>". Odd rows are 在住, even rows 退房; row 1 has an
// elderly companion; rows 1 to 5 carry a photo each.
void addRows(const QString& file, int count) {
    if (count == 0)
        return;
    tv::test::execSql(
        file, QStringLiteral("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < ") +
                  QString::number(count) +
                  QStringLiteral(
                      ") "
                      "INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, n1, n2, rzrq, sfzhm, fq, xb1, ysno) SELECT "
                      "CASE WHEN i <= 3 THEN '201' WHEN i = 20 THEN 'A01' ELSE CAST(300 + i AS TEXT) END, i % 5 + 1, "
                      "CASE WHEN i IN (2, 10) THEN '王小明' WHEN i = 12 THEN '李四' ELSE '租客' || i END, "
                      "printf('单位%04d', i), "
                      "printf('1380000%04d', i), '已婚', 1, i % 3, printf('2024-01-%02d', i % 28 + 1), "
                      "printf('44010119900101%04d', i), "
                      "CASE i WHEN 1 THEN '张老伯' END, CASE i WHEN 1 THEN '男' END, CASE i % 2 WHEN 1 THEN '在住' "
                      "ELSE '退房' END FROM c;"));
    auto db = tv::Database::open(file);
    for (int i = 1; i <= 5 && i <= count; ++i)
        db->exec(QStringLiteral("UPDATE zfdj SET xp=? WHERE rowid=?"), {tv::Value(photo(i)), tv::Value(int32_t(i))});
}

// The tenant records window as far as this window touches it: its
// one-registration choice, given back by the exit.
class RecordsStandIn : public Form, public tv::windows::RecordsWindow {
public:
    RecordsStandIn() : Form(QStringLiteral("Tenvora"), Kind::TopLevel) {}
    bool singleEnabled = false;
    QImage regPhoto() const override { return {}; }
    void resetPrintChoice() override {}
    void enableSingleChoice() override { singleEnabled = true; }

protected:
    void build(QWidget*) override {}
};

class FrmDyjlTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        state().DatabasePath = file;
        state().ActiveFormCode = QStringLiteral("YE1");
    }

    // The window shown on the data file, with `rows` rows added first.
    FrmDyjl& open(int rows = 25) {
        addRows(file, rows);
        auto& w = tv::forms::the<FrmDyjl>();
        w.show();
        return w;
    }
    template <class T>
    T* ctl(const char* name) {
        T* c = tv::forms::the<FrmDyjl>().control<T>(QString::fromLatin1(name));
        EXPECT_NE(c, nullptr) << name;
        return c;
    }
    QString caption(int n) { return ctl<DataControl>(n == 1 ? "Data1" : "Data2")->caption(); }
    static QString cap(int n, int position, int count) {
        return QStringLiteral("租客入住登记记录（%1） (#Record：%2 / %3)").arg(n).arg(position).arg(count);
    }
    QString status() { return ctl<QLineEdit>("TxtTs")->text(); }
    int gridRows(int n) { return ctl<DataGrid>(n == 1 ? "DBGrid1" : "DBGrid2")->model()->rowCount(); }
    static tv::CheckInRecord& rec(int n) { return n == 1 ? state().CurrentCheckIn : state().SecondCheckIn; }
    // A print record as "room name".
    static QString record(int n) { return rec(n).fjh + QLatin1Char(' ') + rec(n).xm; }
    // What a search leaves to see for grid n: the status text, the position in
    // the caption, the rows in the grid and the print record.
    QString outcome(int n) {
        return QStringList({status(), caption(n).section(QStringLiteral("："), 1).chopped(1),
                            QString::number(gridRows(n)), record(n)})
            .join(QLatin1Char('|'));
    }
    static QStringList boxes() {
        QStringList out;
        for (const auto& c : script::calls())
            if (c.kind == QLatin1String("msgBox"))
                out << QStringLiteral("%1|%2|%3").arg(c.text, c.title).arg(c.style);
        return out;
    }
    void clickRow(int n, int row) {
        auto* g = ctl<DataGrid>(n == 1 ? "DBGrid1" : "DBGrid2");
        const QModelIndex index = g->model()->index(row, 0);
        g->scrollTo(index);
        QTest::mouseClick(g->viewport(), Qt::LeftButton, {}, g->visualRect(index).center());
    }
    // A choice from a combo box's list, as the list hands it over.
    void choose(const char* combo, const QString& item) {
        auto* c = ctl<QComboBox>(combo);
        const int i = c->findText(item);
        ASSERT_GE(i, 0) << item.toStdString();
        c->setCurrentIndex(i);
        emit c->activated(i);
    }
    // Grid n and the mode chosen, the keys typed into their boxes, 查询 pressed: what is seen.
    QString search(int n, const QString& mode, std::initializer_list<std::pair<const char*, QString>> keys = {}) {
        choose("CboCxxx", QStringLiteral("记录%1").arg(n));
        choose("CboCxfs", mode);
        for (const auto& [box, key] : keys) {
            if (auto* c = tv::forms::the<FrmDyjl>().control<QComboBox>(QString::fromLatin1(box)))
                c->setEditText(key);
            else
                ctl<QLineEdit>(box)->setText(key);
        }
        ctl<QPushButton>("CmdCx")->click();
        return outcome(n);
    }
    void expectSearchDone() {
        for (const char* box : {"Txtjfrq", "TxtFh", "Txtzk", "Txtzh", "Cbofjxz"})
            EXPECT_TRUE(ctl<QWidget>(box)->isEnabled()) << box;
        EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    }
    // The print trace lines of one kind ("begin", "page", "line", "picture", "end"), the kind cut off.
    static QStringList trace(const QString& kind) {
        QStringList out;
        for (const QString& l : tv::print::Printer::traceLines())
            if (l.section(QLatin1Char(' '), 0, 0) == kind)
                out << l.section(QLatin1Char(' '), 1).remove(QLatin1Char('|'));
        return out;
    }
    // Where the photos landed, as "x=… y=…".
    static QStringList pictures() {
        QStringList out;
        for (const QString& l : trace(QStringLiteral("picture"))) out << l.section(QLatin1Char(' '), 1, 2);
        return out;
    }
};

}  // namespace

TEST_F(FrmDyjlTest, LoadCountsBothSourcesAndEachPrintRecordFollowsTheRowOfItsGrid) {
    open();
    EXPECT_EQ(caption(1), cap(1, 1, 25));
    EXPECT_EQ(caption(2), cap(2, 1, 25));
    QStringList offsets;
    for (const char* box : {"TxtXx1", "TxtYy1", "TxtXx2", "TxtYy2"}) offsets << ctl<QLineEdit>(box)->text();
    EXPECT_EQ(offsets, QStringList({"650", "1000", "650", "8710"}));
    for (int n : {1, 2})
        EXPECT_EQ(QStringList({record(n), rec(n).fq, QString::number(rec(n).jzrs)}),
                  QStringList({"201 租客1", "张老伯", "2"}))
            << n;
    EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_EQ(state().ActiveFormCode, "YE1");  // the load leaves the shared modes alone

    auto* grid1 = ctl<DataGrid>("DBGrid1");
    grid1->setFocus();
    QTest::keyClick(grid1, Qt::Key_Down);  // an arrow key moves the source
    EXPECT_EQ(caption(1), cap(1, 2, 25));
    EXPECT_EQ(record(1) + " / " + record(2), "201 王小明 / 201 租客1");  // the other grid's record stays
    clickRow(2, 4);
    EXPECT_EQ(caption(2), cap(2, 5, 25));
    EXPECT_EQ(record(1) + " / " + record(2), "201 王小明 / 305 租客5");
    // A move made by code is a move too: the photo and the text stay together.
    ctl<DataControl>("Data1")->recordset().moveNext();
    EXPECT_EQ(record(1), "201 租客3");
    EXPECT_EQ(ctl<tv::forms::BoundImage>("Image1")->bytes(), photo(3));
    // The arrows of the data source's bar.
    ctl<DataControl>("Data2")->findChild<QToolButton*>(QStringLiteral("MoveNext"))->click();
    EXPECT_EQ(caption(2), cap(2, 6, 25));
    EXPECT_EQ(record(2), "306 租客6");
    // Clicking the row already current copies it again.
    state().CurrentCheckIn.xm = QStringLiteral("改过");
    clickRow(1, 2);
    EXPECT_EQ(record(1), "201 租客3");
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, NoDataFileAnEmptyTableAndCountsBeyondSixteenBits) {
    // A file that is no data file: the format message, the window opens all the same, nothing is created.
    state().DatabasePath = dir.filePath(QStringLiteral("没有.mdb"));
    script::answerMsgBox(tv::dlg::Ok);
    EXPECT_TRUE(open(0).isLoaded());
    EXPECT_EQ(boxes(), QStringList{"与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！|提示！|64"});
    EXPECT_FALSE(QFile::exists(state().DatabasePath));
    Registry::clear();

    // An empty table counts nothing, keeps the print records, and a click into its grid does nothing.
    state().DatabasePath = file;
    state().CurrentCheckIn.xm = QStringLiteral("早先的");
    state().SecondCheckIn.fjh = QStringLiteral("999");
    open(0);
    EXPECT_EQ(caption(1), cap(1, 0, 0));
    QTest::mouseClick(ctl<DataGrid>("DBGrid1")->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(record(1) + " / " + record(2), " 早先的 / 999 ");
    Registry::clear();

    open(33000);  // the counts are not limited to sixteen bits
    EXPECT_EQ(caption(1), cap(1, 1, 33000));
    EXPECT_EQ(caption(2), cap(2, 1, 33000));
    EXPECT_EQ(boxes().size(), 1);
}

TEST_F(FrmDyjlTest, PrintsBothFormsWithThePhotosOnlyAfterTheRegistrationWindowsWhereTheOffsetsSay) {
    open();
    clickRow(2, 4);  // room 305
    for (const char* code : {"YE1", "YE2", "YE3"}) {
        SCOPED_TRACE(code);
        state().ActiveFormCode = QString::fromLatin1(code);
        tv::print::Printer::clearTrace();
        script::clearCalls();
        script::answerMsgBox(tv::dlg::Ok);  // the paper prompt
        ctl<QPushButton>("CmdPrinter")->click();
        EXPECT_EQ(boxes(), QStringList{"请调整好纸宽后：按(确认)后继续！|提示！|0"});
        EXPECT_EQ(trace("begin").size() + trace("end").size(), 2);
        EXPECT_TRUE(trace("page").isEmpty());  // one sheet
        for (const char* text : {"Varnholt出租屋暂住人员情况登记表", "房间编号:201", "房间编号:305"})
            EXPECT_EQ(trace("line").filter(QString::fromUtf8(text)).size(), 1) << text;
        EXPECT_EQ(pictures(),
                  QByteArray(code) == "YE3" ? QStringList() : QStringList({"x=650 y=4360", "x=650 y=12070"}));
        EXPECT_EQ(state().EditMode, "");
    }

    state().ActiveFormCode = QStringLiteral("YE1");
    ctl<QLineEdit>("TxtXx1")->setText(QStringLiteral("100"));
    ctl<QLineEdit>("TxtYy1")->setText(QStringLiteral(" 200 "));
    ctl<QLineEdit>("TxtXx2")->setText(QStringLiteral("300.5"));
    ctl<QLineEdit>("TxtYy2")->setText(QStringLiteral("-400"));
    tv::print::Printer::clearTrace();
    script::answerMsgBox(tv::dlg::Ok);
    ctl<QPushButton>("CmdPrinter")->click();
    EXPECT_EQ(pictures(), QStringList({"x=100 y=3560", "x=300.5 y=2960"}));

    // Offsets that are no numbers: told, nothing printed, the mode kept.
    for (const QString& bad : {QStringLiteral("abc"), QString(), QStringLiteral("12x")}) {
        SCOPED_TRACE(bad.toStdString());
        tv::print::Printer::clearTrace();
        script::clearCalls();
        state().EditMode = QStringLiteral("YE1");
        ctl<QLineEdit>("TxtYy2")->setText(bad);
        script::answerMsgBox(tv::dlg::Ok);
        ctl<QPushButton>("CmdPrinter")->click();
        EXPECT_EQ(boxes(), QStringList{"图像调整位置必须为数字！|提示！|64"});
        EXPECT_TRUE(tv::print::Printer::traceLines().isEmpty());
        EXPECT_EQ(state().EditMode, "YE1");
    }
}

TEST_F(FrmDyjlTest, TheCloseBoxOnlyUnloadsAndExitGivesBackCheck1OnlyWhenTheRecordsWindowIsOpen) {
    Registry::add(QStringLiteral("Tenvora"), [] { return new RecordsStandIn(); });
    state().DataFilePath = file;
    FrmDyjl& w = open();
    w.widget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(state().DataFilePath, file);

    open(0);
    ctl<QPushButton>("CmdEixt")->click();
    EXPECT_EQ(state().DataFilePath, "");
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("Tenvora")));  // the exit does not open it

    Form* records = Registry::instance(QStringLiteral("Tenvora"));
    records->load();
    open(0);
    ctl<QPushButton>("CmdEixt")->click();
    EXPECT_TRUE(static_cast<RecordsStandIn*>(records)->singleEnabled);
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, EachSearchCaseWithItsStatusText) {
    open();
    EXPECT_EQ(search(1, "房号+姓名", {{"TxtFh", "201"}, {"Txtzk", "王小明"}}), "为您查到一条记录|2 / 25|25|201 王小明");
    expectSearchDone();  // every input back, a mode needed again
    EXPECT_EQ(ctl<QLineEdit>("Txtzk")->text(), "王小明");
    EXPECT_EQ(caption(2), cap(2, 1, 25));

    // The room alone is a query (the status stays); a scan then walks only its rows.
    EXPECT_EQ(search(2, "房号+姓名", {{"TxtFh", "201"}}), "为您查到一条记录|1 / 25|3|201 租客1");
    EXPECT_EQ(gridRows(1), 25);
    EXPECT_EQ(search(2, "姓名", {{"Txtzk", "李四"}}), "没有找到符合条件的记录|0 / 25|3|201 租客3");
    EXPECT_EQ(search(2, "姓名", {{"Txtzk", "王小明"}}), "为您查到一条记录|2 / 25|3|201 王小明");
    EXPECT_EQ(search(2, "身份证号", {{"Txtzh", idNumber(3)}}), "为您查到一条记录|3 / 25|3|201 租客3");

    EXPECT_EQ(search(1, "房间现状", {{"Cbofjxz", "退房"}}), "为您查到符合条件的记录|1 / 25|12|201 王小明");
    EXPECT_EQ(search(1, "房间现状", {{"Cbofjxz", "自用"}}), "为您查到符合条件的记录|0 / 25|0|201 王小明");
    EXPECT_EQ(search(1, "所有记录"), "显示全部记录|1 / 25|25|201 租客1");

    ctl<QLineEdit>("TxtTs")->clear();
    ctl<QComboBox>("CboCxxx")->setEditText(QStringLiteral("记录3"));  // no such grid: nothing searched
    choose("CboCxfs", QStringLiteral("所有记录"));
    ctl<QPushButton>("CmdCx")->click();
    EXPECT_EQ(status(), "");
    expectSearchDone();
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, KeysMatchExactlyAreNeverPartOfTheSqlAndAFailedSearchKeepsTheMode) {
    open();
    EXPECT_EQ(search(1, "房号", {{"TxtFh", "A01"}}), "|1 / 25|1|A01 租客20");
    for (const QString& key :
         {QStringLiteral("a01"), QStringLiteral("A01 "), QStringLiteral("1'01"), QStringLiteral("' or '1'='1")}) {
        SCOPED_TRACE(key.toStdString());
        search(1, "房号", {{"TxtFh", key}});
        EXPECT_EQ(gridRows(1), 0);
        EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    }
    EXPECT_EQ(tv::test::queryText(file, QStringLiteral("SELECT count(*) FROM zfdj")), "25");
    // The scans compare exactly too: letter case and trailing blanks count.
    EXPECT_EQ(search(2, "姓名", {{"Txtzk", "租客20 "}}), "没有找到符合条件的记录|0 / 25|25|325 租客25");
    EXPECT_EQ(search(2, "房号+姓名", {{"TxtFh", "a01"}, {"Txtzk", "租客20"}}),
              "没有找到符合条件的记录|0 / 25|25|325 租客25");
    EXPECT_EQ(search(2, "姓名", {{"Txtzk", "租客20"}}), "为您查到一条记录|20 / 25|25|A01 租客20");
    EXPECT_TRUE(boxes().isEmpty());

    // A scan of a source left without rows fails with the search message.
    script::answerMsgBox(tv::dlg::Ok);
    search(1, "姓名", {{"Txtzk", "李四"}});
    EXPECT_EQ(boxes(), QStringList{"数据查询失败！|提示！|64"});
    EXPECT_TRUE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_TRUE(ctl<QWidget>("Txtzk")->isEnabled());
    EXPECT_FALSE(ctl<QWidget>("TxtFh")->isEnabled());
    // The window stays usable: the whole table comes back and a scan finds again.
    search(1, "所有记录");
    EXPECT_EQ(search(1, "姓名", {{"Txtzk", "李四"}}), "为您查到一条记录|12 / 25|25|312 李四");
    EXPECT_EQ(boxes().size(), 1);
}

TEST_F(FrmDyjlTest, EnterWalksTheRingAndPassesOverDisabledBoxes) {
    FrmDyjl& w = open();
    const auto enter = [&](const char* from) {
        ctl<QWidget>(from)->setFocus();
        QTest::keyClick(ctl<QWidget>(from), Qt::Key_Return);
        return w.widget()->focusWidget()->objectName();
    };
    const char* ring[] = {"CboCxxx", "CboCxfs", "Txtjfrq", "TxtFh",  "Txtzk", "Txtzh",  "Cbofjxz",
                          "TxtXx1",  "TxtYy1",  "TxtXx2",  "TxtYy2", "TxtTs", "CboCxxx"};
    for (int i = 0; i + 1 < 13; ++i) EXPECT_EQ(enter(ring[i]), ring[i + 1]) << ring[i];
    // After a mode choice the billing date box is off: Enter goes on to the room.
    choose("CboCxfs", QStringLiteral("房号"));
    EXPECT_EQ(enter("CboCxfs"), "TxtFh");
    EXPECT_EQ(enter("TxtFh"), "TxtXx1");  // Txtzk, Txtzh, Cbofjxz are off
    EXPECT_TRUE(boxes().isEmpty());
}
