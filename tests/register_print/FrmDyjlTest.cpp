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
#include "support/TestFiles.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPainter>
#include <QBuffer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

using tv::FrmDyjl;
using tv::state;
using tv::forms::DataControl;
using tv::forms::DataGrid;
using tv::forms::Form;
using tv::forms::Registry;
namespace script = tv::dlg::script;

namespace {

// Row i (1-based) of the test table. Rooms: rows 1-3 share "201", row 20 is
// "A01", the others 300 + i. Names: rows 2 and 10 are both "王小明", row 12 is
// "李四", the others "租客<i>".
QString room(int i) { return i <= 3 ? QStringLiteral("201") : i == 20 ? QStringLiteral("A01") : QString::number(300 + i); }
QString name(int i) {
    if (i == 2 || i == 10) return QStringLiteral("王小明");
    if (i == 12) return QStringLiteral("李四");
    return QStringLiteral("租客%1").arg(i);
}
QString idNumber(int i) { return QStringLiteral("44010119900101%1").arg(i, 4, 10, QLatin1Char('0')); }

QByteArray photo(QColor color) {
    QImage img(240, 300, QImage::Format_RGB32);
    img.fill(color);
    QPainter p(&img);
    p.setPen(Qt::white);
    p.drawRect(10, 10, 220, 280);
    p.end();
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    img.save(&buf, "PNG");
    return bytes;
}

// Rows 1 to 5 carry a photo each.
QColor colour(int i) { return QColor::fromHsv(i * 60, 200, 200); }

void addRows(const QString& file, int count) {
    QString sql;
    for (int i = 1; i <= count; ++i)
        sql += QStringLiteral(
                   "INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, n1, n2, rzrq, sfzhm, fq, xb1, ysno) VALUES "
                   "('%1', %2, '%3', '单位%4', '1380000%4', '已婚', 1, %5, '2024-01-%6', '%7', %8, %9, '%10');")
                   .arg(room(i))
                   .arg(i % 5 + 1)
                   .arg(name(i))
                   .arg(i, 4, 10, QLatin1Char('0'))
                   .arg(i % 3)
                   .arg(i % 28 + 1, 2, 10, QLatin1Char('0'))
                   .arg(idNumber(i))
                   .arg(i == 1 ? QStringLiteral("'张老伯'") : QStringLiteral("NULL"))
                   .arg(i == 1 ? QStringLiteral("'男'") : QStringLiteral("NULL"))
                   .arg(i % 2 ? QStringLiteral("在住") : QStringLiteral("退房"));
    tv::test::execSql(file, sql);
    auto db = tv::Database::open(file);
    for (int i = 1; i <= 5 && i <= count; ++i)
        db->exec(QStringLiteral("UPDATE zfdj SET xp=? WHERE rowid=?"), {tv::Value(photo(colour(i))), tv::Value(int32_t(i))});
}

// The tenant records window as far as this window touches it: its box Check1.
class RecordsStandIn : public Form {
public:
    RecordsStandIn() : Form(QStringLiteral("Tenvora"), Kind::TopLevel) {}
    int loads = 0;
protected:
    void build(QWidget* root) override {
        auto* c = new QCheckBox(QStringLiteral("单记录"), root);
        c->setObjectName(QStringLiteral("Check1"));
        c->setEnabled(false);
    }
    void onLoad() override { ++loads; }
};

class FrmDyjlTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::resetState();
        script::begin();
        savedUnexpected = script::unexpectedHandler();
        script::setUnexpectedHandler([](const tv::dlg::Call& c) {
            ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString();
        });
        tv::print::Printer::useFiles(QString(), QString());
        file = dir.filePath(QStringLiteral("租房.mdb"));
        tv::test::makeDataFile(file);
        state().DatabasePath = file;
        state().ActiveFormCode = QStringLiteral("YE1");
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

    FrmDyjl& open() {
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
    QString caption(const char* source) { return ctl<DataControl>(source)->caption(); }
    static QStringList boxes() {
        QStringList out;
        for (const auto& c : script::calls())
            if (c.kind == QLatin1String("msgBox")) out << QStringLiteral("%1|%2|%3").arg(c.text, c.title).arg(c.style);
        return out;
    }
    void clickRow(const char* grid, int row) {
        auto* g = ctl<DataGrid>(grid);
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
    void search(const QString& target, const QString& mode, const char* box = nullptr, const QString& key = {}) {
        choose("CboCxxx", target);
        choose("CboCxfs", mode);
        if (box) {
            if (auto* c = tv::forms::the<FrmDyjl>().control<QComboBox>(QString::fromLatin1(box)))
                c->setEditText(key);
            else
                ctl<QLineEdit>(box)->setText(key);
        }
        ctl<QPushButton>("CmdCx")->click();
    }
    void printPair() {
        script::answerMsgBox(tv::dlg::Ok);  // the paper prompt
        ctl<QPushButton>("CmdPrinter")->click();
    }
    static QStringList traceOf(const QString& kind) {
        QStringList out;
        for (const QString& l : tv::print::Printer::traceLines())
            if (l.startsWith(kind)) out << l;
        return out;
    }
    static int linesContaining(const QString& text) {
        int n = 0;
        for (const QString& l : traceOf(QStringLiteral("line ")))
            if (QString(l).remove(QLatin1Char('|')).contains(text)) ++n;
        return n;
    }

    QTemporaryDir dir;
    QString file;
};

}  // namespace

// ---------------------------------------------------------------- loading

TEST_F(FrmDyjlTest, LoadCountsBothSourcesAndCopiesTheFirstRowIntoBothRecords) {
    addRows(file, 25);
    FrmDyjl& w = open();
    EXPECT_EQ(w.widget()->windowTitle(), "FrmDyjl");
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：1 / 25)");
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：1 / 25)");
    EXPECT_EQ(ctl<QLineEdit>("TxtXx1")->text(), "650");
    EXPECT_EQ(ctl<QLineEdit>("TxtYy1")->text(), "1000");
    EXPECT_EQ(ctl<QLineEdit>("TxtXx2")->text(), "650");
    EXPECT_EQ(ctl<QLineEdit>("TxtYy2")->text(), "8710");
    for (const tv::CheckInRecord* r : {&state().CurrentCheckIn, &state().SecondCheckIn}) {
        EXPECT_EQ(r->fjh, "201");
        EXPECT_EQ(r->xm, "租客1");
        EXPECT_EQ(r->fq, "张老伯");
        EXPECT_EQ(r->jzrs, 2);
    }
    EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_EQ(ctl<QComboBox>("CboCxfs")->count(), 6);
    EXPECT_EQ(ctl<QComboBox>("CboCxfs")->itemText(5), "所有记录");
    EXPECT_EQ(ctl<QComboBox>("Cbofjxz")->itemText(4), "自用");
    EXPECT_EQ(ctl<QComboBox>("CboCxxx")->itemText(1), "记录2");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 25);
    EXPECT_EQ(ctl<DataGrid>("DBGrid2")->model()->headerData(12, Qt::Horizontal).toString(), "随心老人姓名");
    // The photos show the current rows; the print takes them with their top.
    auto* image1 = ctl<tv::forms::BoundImage>("Image1");
    EXPECT_FALSE(image1->bytes().isEmpty());
    EXPECT_EQ(image1->y() * 15, 3360);
    EXPECT_EQ(ctl<tv::forms::BoundImage>("Image2")->y() * 15, 3360);
    EXPECT_TRUE(boxes().isEmpty());
    // Nothing of the shared modes is touched by the load.
    EXPECT_EQ(state().ActiveFormCode, "YE1");
}

TEST_F(FrmDyjlTest, AnEmptyTableCountsNothingAndKeepsThePrintRecords) {
    state().CurrentCheckIn.xm = QStringLiteral("早先的");
    state().SecondCheckIn.fjh = QStringLiteral("999");
    FrmDyjl& w = open();
    EXPECT_EQ(w.rowCount1(), 0);
    EXPECT_EQ(w.rowCount2(), 0);
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：0 / 0)");
    EXPECT_EQ(state().CurrentCheckIn.xm, "早先的");
    EXPECT_EQ(state().SecondCheckIn.fjh, "999");
    EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_TRUE(ctl<QPushButton>("CmdPrinter")->isEnabled());
    // A click into a grid without rows does nothing.
    QTest::mouseClick(ctl<DataGrid>("DBGrid1")->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(state().CurrentCheckIn.xm, "早先的");
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, AFileThatIsNoDataFileGivesTheFormatMessageAndTheWindowStillOpens) {
    state().DatabasePath = dir.filePath(QStringLiteral("没有.mdb"));
    script::answerMsgBox(tv::dlg::Ok);
    FrmDyjl& w = open();
    EXPECT_EQ(boxes(), QStringList{"与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！|提示！|64"});
    EXPECT_TRUE(w.isLoaded());
    EXPECT_FALSE(QFile::exists(state().DatabasePath));  // nothing was created
}

TEST_F(FrmDyjlTest, CountsAreNotLimitedToSixteenBits) {
    tv::test::execSql(file, QStringLiteral("WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM c WHERE x < 33000) "
                                           "INSERT INTO zfdj (fjh, xm) SELECT x, 'n' || x FROM c;"));
    FrmDyjl& w = open();
    EXPECT_EQ(w.rowCount1(), 33000);
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：1 / 33000)");
    EXPECT_TRUE(boxes().isEmpty());
}

// ---------------------------------------------------------------- rows and records

TEST_F(FrmDyjlTest, EachPrintRecordFollowsTheRowOfItsGridOnMovesAndClicks) {
    addRows(file, 25);
    open();
    auto* grid1 = ctl<DataGrid>("DBGrid1");
    grid1->setFocus();
    QTest::keyClick(grid1, Qt::Key_Down);  // an arrow key moves the source
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：2 / 25)");
    EXPECT_EQ(state().CurrentCheckIn.xm, "王小明");
    EXPECT_EQ(state().SecondCheckIn.xm, "租客1");  // the other grid's record stays

    clickRow("DBGrid2", 4);
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：5 / 25)");
    EXPECT_EQ(state().SecondCheckIn.fjh, "305");
    EXPECT_EQ(state().CurrentCheckIn.xm, "王小明");

    // A move made by code is a move too: the photo and the text stay together.
    ctl<DataControl>("Data1")->recordset().moveNext();
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客3");
    EXPECT_EQ(ctl<tv::forms::BoundImage>("Image1")->bytes(), photo(colour(3)));

    // The arrows of the data source's bar.
    ctl<DataControl>("Data2")->findChild<QToolButton*>(QStringLiteral("MoveNext"))->click();
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：6 / 25)");
    EXPECT_EQ(state().SecondCheckIn.fjh, "306");

    // Clicking the row already current copies it again.
    state().CurrentCheckIn.xm = QStringLiteral("改过");
    clickRow("DBGrid1", 2);
    EXPECT_EQ(state().CurrentCheckIn.xm, "租客3");
    EXPECT_TRUE(boxes().isEmpty());
}

// ---------------------------------------------------------------- printing

TEST_F(FrmDyjlTest, PrintsBothFormsWithThePhotosOnlyAfterTheRegistrationWindows) {
    addRows(file, 25);
    open();
    clickRow("DBGrid2", 4);  // room 305
    for (const char* code : {"YE1", "YE2", "YE3", "YE4"}) {
        SCOPED_TRACE(code);
        state().ActiveFormCode = QString::fromLatin1(code);
        tv::print::Printer::clearTrace();
        script::clearCalls();
        printPair();
        EXPECT_EQ(boxes(), QStringList{"请调整好纸宽后：按(确认)后继续！|提示！|0"});
        EXPECT_EQ(traceOf(QStringLiteral("begin")).size(), 1);
        EXPECT_EQ(traceOf(QStringLiteral("end")).size(), 1);
        EXPECT_EQ(traceOf(QStringLiteral("page ")).size(), 0);  // one sheet
        EXPECT_EQ(linesContaining(QStringLiteral("Varnholt出租屋暂住人员情况登记表")), 1);
        EXPECT_EQ(linesContaining(QStringLiteral("房间编号:201")), 1);
        EXPECT_EQ(linesContaining(QStringLiteral("房间编号:305")), 1);
        const QStringList pictures = traceOf(QStringLiteral("picture "));
        const bool photos = QString::fromLatin1(code) == QLatin1String("YE1") || QString::fromLatin1(code) == QLatin1String("YE2");
        if (photos) {
            ASSERT_EQ(pictures.size(), 2);
            EXPECT_TRUE(pictures[0].contains(QLatin1String(" x=650 y=4360 "))) << pictures[0].toStdString();
            EXPECT_TRUE(pictures[1].contains(QLatin1String(" x=650 y=12070 "))) << pictures[1].toStdString();
        } else {
            EXPECT_TRUE(pictures.isEmpty());
        }
        EXPECT_EQ(state().EditMode, "");
        EXPECT_FLOAT_EQ(state().PairOffsets.Y2, 8710.0f);
    }
}

TEST_F(FrmDyjlTest, EditedOffsetsMoveThePhotosAndABadOffsetPrintsNothing) {
    addRows(file, 25);
    open();
    ctl<QLineEdit>("TxtXx1")->setText(QStringLiteral("100"));
    ctl<QLineEdit>("TxtYy1")->setText(QStringLiteral(" 200 "));
    ctl<QLineEdit>("TxtXx2")->setText(QStringLiteral("300.5"));
    ctl<QLineEdit>("TxtYy2")->setText(QStringLiteral("-400"));
    printPair();
    const QStringList pictures = traceOf(QStringLiteral("picture "));
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_TRUE(pictures[0].contains(QLatin1String(" x=100 y=3560 "))) << pictures[0].toStdString();
    EXPECT_TRUE(pictures[1].contains(QLatin1String(" x=300")) && pictures[1].contains(QLatin1String(" y=2960 ")))
        << pictures[1].toStdString();

    // The same pair again, then with offsets that are no numbers.
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
        EXPECT_FLOAT_EQ(state().PairOffsets.X1, 100.0f);  // the last good offsets stay
        EXPECT_FLOAT_EQ(state().PairOffsets.Y2, -400.0f);
    }
}

// ---------------------------------------------------------------- exit

TEST_F(FrmDyjlTest, ExitEmptiesTheDataFileAndGivesBackCheck1OnlyWhenTheRecordsWindowIsOpen) {
    addRows(file, 25);
    Registry::add(QStringLiteral("Tenvora"), [] { return new RecordsStandIn(); });
    auto* records = static_cast<RecordsStandIn*>(Registry::instance(QStringLiteral("Tenvora")));

    // Records window closed: the exit does not open it.
    state().DataFilePath = file;
    open();
    ctl<QPushButton>("CmdEixt")->click();
    EXPECT_EQ(state().DataFilePath, "");
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmDyjl")));
    EXPECT_FALSE(records->isLoaded());
    EXPECT_EQ(records->loads, 0);

    // Records window open: Check1 is enabled again.
    records->load();
    ASSERT_FALSE(records->control<QCheckBox>(QStringLiteral("Check1"))->isEnabled());
    open();
    ctl<QPushButton>("CmdEixt")->click();
    EXPECT_TRUE(records->control<QCheckBox>(QStringLiteral("Check1"))->isEnabled());
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, OffsetsStayWhileOpenAndTheCloseBoxOnlyUnloads) {
    addRows(file, 25);
    FrmDyjl& w = open();
    ctl<QLineEdit>("TxtXx1")->setText(QStringLiteral("123"));
    clickRow("DBGrid1", 3);
    w.show();  // shown again while open: nothing reloads
    EXPECT_EQ(ctl<QLineEdit>("TxtXx1")->text(), "123");
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：4 / 25)");

    state().DataFilePath = file;
    w.widget()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(w.isLoaded());
    EXPECT_EQ(state().DataFilePath, file);

    // Opened afresh: defaults again, bound to the data file of that moment.
    QTemporaryDir other;
    const QString otherFile = other.filePath(QStringLiteral("另一个.mdb"));
    tv::test::makeDataFile(otherFile);
    addRows(otherFile, 7);
    state().DatabasePath = otherFile;
    open();
    EXPECT_EQ(ctl<QLineEdit>("TxtXx1")->text(), "650");
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：1 / 7)");
    Registry::clear();
}

// ---------------------------------------------------------------- search

TEST_F(FrmDyjlTest, RoomAndNameScanStopsOnTheFirstMatchAndTheRecordFollows) {
    addRows(file, 25);
    open();
    choose("CboCxxx", QStringLiteral("记录1"));
    choose("CboCxfs", QStringLiteral("房号+姓名"));
    ctl<QLineEdit>("TxtFh")->setText(QStringLiteral("201"));
    ctl<QLineEdit>("Txtzk")->setText(QStringLiteral("王小明"));
    ctl<QPushButton>("CmdCx")->click();
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到一条记录");
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：2 / 25)");
    EXPECT_EQ(state().CurrentCheckIn.xm, "王小明");
    EXPECT_EQ(state().CurrentCheckIn.fjh, "201");
    EXPECT_EQ(state().SearchKeys.fjh, "201");
    EXPECT_EQ(state().SearchKeys.xm, "王小明");
    // A finished search gives every input back and needs a mode again.
    for (const char* box : {"Txtjfrq", "TxtFh", "Txtzk", "Txtzh", "Cbofjxz"})
        EXPECT_TRUE(ctl<QWidget>(box)->isEnabled()) << box;
    EXPECT_EQ(ctl<QLineEdit>("Txtzk")->text(), "王小明");
    EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：1 / 25)");
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, RoomAloneRunsTheRoomQueryAndANameScanThenSearchesOnlyItsRows) {
    addRows(file, 25);
    open();
    search(QStringLiteral("记录2"), QStringLiteral("房号+姓名"), "TxtFh", QStringLiteral("201"));
    EXPECT_EQ(ctl<DataGrid>("DBGrid2")->model()->rowCount(), 3);
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：1 / 25)");  // the count of the load
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 25);

    search(QStringLiteral("记录2"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("李四"));  // lives in 312
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "没有找到符合条件的记录");
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：0 / 25)");
    EXPECT_TRUE(ctl<DataControl>("Data2")->recordset().eof());
    EXPECT_EQ(state().SecondCheckIn.xm, "租客3");  // the last row walked over

    search(QStringLiteral("记录2"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("王小明"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到一条记录");
    EXPECT_EQ(caption("Data2"), "租客入住登记记录（2） (#Record：2 / 25)");
    EXPECT_EQ(state().SecondCheckIn.xm, "王小明");
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, IdScanStatusQueryAndAllRows) {
    addRows(file, 25);
    open();
    search(QStringLiteral("记录2"), QStringLiteral("身份证号"), "Txtzh", idNumber(7));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到一条记录");
    EXPECT_EQ(state().SecondCheckIn.sfzhm, idNumber(7));
    EXPECT_EQ(state().SearchKeys.sfzhm, idNumber(7));

    search(QStringLiteral("记录1"), QStringLiteral("房间现状"), "Cbofjxz", QStringLiteral("退房"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到符合条件的记录");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 12);
    EXPECT_EQ(state().CurrentCheckIn.xm, "王小明");  // row 2, the first 退房
    EXPECT_EQ(state().SearchKeys.ysno, "退房");

    search(QStringLiteral("记录1"), QStringLiteral("房间现状"), "Cbofjxz", QStringLiteral("自用"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到符合条件的记录");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 0);
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：0 / 25)");

    search(QStringLiteral("记录1"), QStringLiteral("所有记录"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "显示全部记录");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 25);
    EXPECT_EQ(caption("Data1"), "租客入住登记记录（1） (#Record：1 / 25)");
    EXPECT_TRUE(boxes().isEmpty());
}

TEST_F(FrmDyjlTest, KeysMatchExactlyAndAreNeverPartOfTheSql) {
    addRows(file, 25);
    open();
    for (const QString& key : {QStringLiteral("a01"), QStringLiteral("A01 "), QStringLiteral("1'01"),
                               QStringLiteral("' or '1'='1")}) {
        SCOPED_TRACE(key.toStdString());
        search(QStringLiteral("记录1"), QStringLiteral("房号"), "TxtFh", key);
        EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 0);
        EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());
    }
    search(QStringLiteral("记录1"), QStringLiteral("房号"), "TxtFh", QStringLiteral("A01"));
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 1);

    // The scans compare exactly too: letter case and trailing blanks count.
    search(QStringLiteral("记录2"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("租客20 "));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "没有找到符合条件的记录");
    choose("CboCxfs", QStringLiteral("房号+姓名"));
    ctl<QLineEdit>("TxtFh")->setText(QStringLiteral("a01"));
    ctl<QLineEdit>("Txtzk")->setText(QStringLiteral("租客20"));
    ctl<QPushButton>("CmdCx")->click();
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "没有找到符合条件的记录");
    search(QStringLiteral("记录2"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("租客20"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到一条记录");
    EXPECT_TRUE(boxes().isEmpty());
    EXPECT_EQ(tv::test::queryText(file, QStringLiteral("SELECT count(*) FROM zfdj")), "25");
}

TEST_F(FrmDyjlTest, AnotherTargetSearchesNothingAndAFailedSearchKeepsTheMode) {
    addRows(file, 25);
    open();
    ctl<QComboBox>("CboCxxx")->setEditText(QStringLiteral("记录3"));
    choose("CboCxfs", QStringLiteral("所有记录"));
    ctl<QPushButton>("CmdCx")->click();
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "");
    for (const char* box : {"Txtjfrq", "TxtFh", "Txtzk", "Txtzh", "Cbofjxz"})
        EXPECT_TRUE(ctl<QWidget>(box)->isEnabled()) << box;
    EXPECT_FALSE(ctl<QPushButton>("CmdCx")->isEnabled());

    // A scan of a source left without rows fails with the search message.
    search(QStringLiteral("记录1"), QStringLiteral("房间现状"), "Cbofjxz", QStringLiteral("自用"));
    script::answerMsgBox(tv::dlg::Ok);
    search(QStringLiteral("记录1"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("李四"));
    EXPECT_EQ(boxes(), QStringList{"数据查询失败！|提示！|64"});
    EXPECT_TRUE(ctl<QPushButton>("CmdCx")->isEnabled());
    EXPECT_TRUE(ctl<QWidget>("Txtzk")->isEnabled());
    EXPECT_FALSE(ctl<QWidget>("TxtFh")->isEnabled());

    // The window stays usable: the whole table comes back and a scan finds again.
    search(QStringLiteral("记录1"), QStringLiteral("所有记录"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "显示全部记录");
    EXPECT_EQ(ctl<DataGrid>("DBGrid1")->model()->rowCount(), 25);
    search(QStringLiteral("记录1"), QStringLiteral("姓名"), "Txtzk", QStringLiteral("李四"));
    EXPECT_EQ(ctl<QLineEdit>("TxtTs")->text(), "为您查到一条记录");
    EXPECT_EQ(state().CurrentCheckIn.fjh, "312");
    EXPECT_EQ(boxes().size(), 1);
}

TEST_F(FrmDyjlTest, EnterWalksTheRingAndPassesOverDisabledBoxes) {
    addRows(file, 25);
    FrmDyjl& w = open();
    const char* ring[] = {"CboCxxx", "CboCxfs", "Txtjfrq", "TxtFh", "Txtzk", "Txtzh",
                          "Cbofjxz", "TxtXx1", "TxtYy1", "TxtXx2", "TxtYy2", "TxtTs", "CboCxxx"};
    for (int i = 0; i + 1 < 13; ++i) {
        QWidget* from = ctl<QWidget>(ring[i]);
        from->setFocus();
        QTest::keyClick(from, Qt::Key_Return);
        EXPECT_EQ(w.widget()->focusWidget(), ctl<QWidget>(ring[i + 1])) << ring[i];
    }
    // After a mode choice the billing date box is off: Enter goes on to the room.
    choose("CboCxfs", QStringLiteral("房号"));
    ctl<QWidget>("CboCxfs")->setFocus();
    QTest::keyClick(ctl<QWidget>("CboCxfs"), Qt::Key_Return);
    EXPECT_EQ(w.widget()->focusWidget(), ctl<QWidget>("TxtFh"));
    QTest::keyClick(ctl<QWidget>("TxtFh"), Qt::Key_Return);  // Txtzk, Txtzh, Cbofjxz are off
    EXPECT_EQ(w.widget()->focusWidget(), ctl<QWidget>("TxtXx1"));
    EXPECT_TRUE(boxes().isEmpty());
}
