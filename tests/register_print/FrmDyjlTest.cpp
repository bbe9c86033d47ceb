// The registration records window driven as a user drives it: two grids, the
// photos, the offsets, printing a pair (read from the trace), the search and
// the Enter order.
#include "register_print/FrmDyjl.h"

#include "platform/forms/BoundControls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "support/Codes.h"
#include "support/PrintTo.h"
#include "support/WindowTest.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

using tv::state;
using tv::forms::Registry;
using tv::print::Printer;
using tv::register_print::FrmDyjl;

namespace {

QByteArray photo(int i) {
    QImage img(240, 300, QImage::Format_RGB32);
    img.fill(QColor::fromHsv(i * 60, 200, 200));
    QBuffer buf;
    img.save(&buf, "PNG");
    return buf.data();
}

// Rows 1 to `count` of the test table. Rooms: rows 1-3 share "201", row 20 is
// "A01", the others 300 + i. Names: rows 2 and 10 are both "王小明", row 12 is
// "李四", the others "租客<i>". Odd rows are 在住, even rows 退房; row 1 has an
// elderly companion; rows 1 to 5 carry a photo each.
void addRows(const QString& file, int count) {
    QString sql = QStringLiteral(
                      "WITH RECURSIVE c(i) AS (SELECT 1 WHERE %1 > 0 UNION ALL SELECT i + 1 FROM c WHERE i < %1) "
                      "INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, n1, n2, rzrq, sfzhm, fq, xb1, ysno) SELECT "
                      "CASE WHEN i <= 3 THEN '201' WHEN i = 20 THEN 'A01' ELSE 300 + i END, i % 5 + 1, "
                      "CASE WHEN i IN (2, 10) THEN '王小明' WHEN i = 12 THEN '李四' ELSE '租客' || i END, '单位' || i, "
                      "printf('1380000%04d', i), '已婚', 1, i % 3, printf('2024-01-%02d', i % 28 + 1), "
                      "printf('44010119900101%04d', i), iif(i = 1, '张老伯', NULL), iif(i = 1, '男', NULL), "
                      "iif(i % 2, '在住', '退房') FROM c;")
                      .arg(count);
    for (int i = 1; i <= 5 && i <= count; ++i)
        sql += QStringLiteral("UPDATE zfdj SET xp=X'%1' WHERE rowid=%2;").arg(photo(i).toHex(), QString::number(i));
    tv::test::execSql(file, sql);
}

// The tenant records window as far as this window touches it: its
// one-registration choice, given back by the exit, and its print choice
// boxes, reset after a pair printed for it.
class RecordsStandIn : public tv::forms::Form, public tv::windows::RecordsWindow {
public:
    RecordsStandIn() : Form(QStringLiteral("Tenvora"), Kind::TopLevel) {}
    bool singleEnabled = false;
    int resets = 0;
    QImage regPhoto() const override { return {}; }
    void resetPrintChoice() override { ++resets; }
    void enableSingleChoice() override { singleEnabled = true; }

protected:
    void build(QWidget*) override {}
};

// Message boxes are answered OK and kept; each test looks at them with
// boxes(), and any left unlooked-at fails the test.
class FrmDyjlTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        failing = tv::dlg::script::unexpectedHandler();
        tv::dlg::script::setUnexpectedHandler([this](const tv::dlg::Call& c) { shown << c.text; });
        state().DatabasePath = file;
        state().ActiveFormCode = tv::FormCode::CheckIn;
    }
    void TearDown() override {
        EXPECT_EQ(boxes(), "") << "message boxes not looked at";
        tv::dlg::script::setUnexpectedHandler(failing);
        WindowTest::TearDown();
    }

    // The window shown on the data file, with `rows` rows added first.
    FrmDyjl& open(int rows = 25) {
        addRows(file, rows);
        tv::forms::the<FrmDyjl>().show();
        return tv::forms::the<FrmDyjl>();
    }
    template <class T = QWidget>
    T* ctl(const char* name) {
        return tv::forms::the<FrmDyjl>().control<T>(QString::fromLatin1(name));
    }
    QString boxes() { return std::exchange(shown, {}).join(QLatin1Char(';')); }
    tv::forms::DataControl* source(int n) { return ctl<tv::forms::DataControl>(n == 1 ? "Data1" : "Data2"); }
    tv::forms::DataGrid* grid(int n) { return ctl<tv::forms::DataGrid>(n == 1 ? "DBGrid1" : "DBGrid2"); }
    // The print record of grid n as "room name".
    static QString record(int n) {
        const tv::CheckInRecord& r = n == 1 ? state().CurrentCheckIn : state().SecondCheckIn;
        return r.fjh + QLatin1Char(' ') + r.xm;
    }
    // The "row / count" in grid n's caption; grid n as seen: that and its print record.
    QString pos(int n) {
        QString position = source(n)->caption().section(QStringLiteral("："), 1);
        position.chop(1);  // ")"
        return position;
    }
    QString seen(int n) { return pos(n) + ' ' + record(n); }
    QString both() { return seen(1) + " | " + seen(2); }
    void clickRow(int n, int row) {
        const QModelIndex index = grid(n)->model()->index(row, 0);
        grid(n)->scrollTo(index);
        QTest::mouseClick(grid(n)->viewport(), Qt::LeftButton, {}, grid(n)->visualRect(index).center());
    }
    // A choice from a combo box's list, as the list hands it over.
    void choose(const char* combo, const char* item) {
        auto* c = ctl<QComboBox>(combo);
        c->setCurrentIndex(c->findText(QString::fromUtf8(item)));
        emit c->activated(c->currentIndex());
    }
    // 打印 pressed, the offsets typed first when given ("x1|y1|x2|y2"): the boxes shown.
    QString print(const char* offsets = nullptr) {
        const char* xy[] = {"TxtXx1", "TxtYy1", "TxtXx2", "TxtYy2"};
        for (int i = 0; offsets && i < 4; ++i) ctl<QLineEdit>(xy[i])->setText(QString(offsets).split('|')[i]);
        Printer::clearTrace();
        ctl<QPushButton>("CmdPrinter")->click();
        return boxes();
    }

    std::function<void(const tv::dlg::Call&)> failing;
    QStringList shown;
};

}  // namespace

TEST_F(FrmDyjlTest, LoadCountsBothSourcesAndEachPrintRecordFollowsTheRowOfItsGrid) {
    open();
    EXPECT_EQ(source(1)->caption(), "租客入住登记记录（1） (#Record：1 / 25)");
    EXPECT_EQ(both(), "1 / 25 201 租客1 | 1 / 25 201 租客1");
    EXPECT_FALSE(ctl("CmdCx")->isEnabled());
    EXPECT_EQ(state().ActiveFormCode, tv::FormCode::CheckIn);  // the load leaves the shared modes alone

    grid(1)->setFocus();
    QTest::keyClick(grid(1), Qt::Key_Down);  // an arrow key moves the source; the other grid's record stays
    EXPECT_EQ(both(), "2 / 25 201 王小明 | 1 / 25 201 租客1");
    clickRow(2, 4);
    EXPECT_EQ(both(), "2 / 25 201 王小明 | 5 / 25 305 租客5");
    // A move made by code is a move too: the photo and the text stay together.
    source(1)->recordset().moveNext();
    EXPECT_EQ(seen(1), "3 / 25 201 租客3");
    EXPECT_EQ(ctl<tv::forms::BoundImage>("Image1")->bytes(), photo(3));
    // The arrows of the data source's bar.
    source(2)->findChild<QToolButton*>(QStringLiteral("MoveNext"))->click();
    EXPECT_EQ(seen(2), "6 / 25 306 租客6");
    // Clicking the row already current copies it again.
    state().CurrentCheckIn.xm = QStringLiteral("改过");
    clickRow(1, 2);
    EXPECT_EQ(record(1), "201 租客3");
}

TEST_F(FrmDyjlTest, LeavingNoDataFileAnEmptyTableAndCountsBeyondSixteenBits) {
    // The exit, and the close box as the exit, leave no data file chosen and give back the tenant records window's
    // one-registration choice, only when that window is open (they never open it).
    Registry::add(QStringLiteral("Tenvora"), [] { return new RecordsStandIn(); });
    auto* records = static_cast<RecordsStandIn*>(Registry::instance(QStringLiteral("Tenvora")));
    for (const bool recordsOpen : {false, true}) {
        for (const bool closeBox : {false, true}) {
            SCOPED_TRACE(std::string(closeBox ? "close box" : "返回") + (recordsOpen ? ", records open" : ""));
            records->singleEnabled = false;
            if (recordsOpen)
                records->load();
            state().DataFilePath = file;
            open(0);
            closeBox ? (void)tv::forms::the<FrmDyjl>().widget()->close() : ctl<QPushButton>("CmdEixt")->click();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(state().DataFilePath + '|' + Registry::loadedNames().join(' '), recordsOpen ? "|Tenvora" : "|");
            EXPECT_EQ(records->singleEnabled, recordsOpen);
        }
    }
    Registry::clear();

    // An empty table counts nothing, keeps the print records, and a click into its grid does nothing.
    state().DatabasePath = file;
    state().CurrentCheckIn.xm = QStringLiteral("早先的");
    state().SecondCheckIn.fjh = QStringLiteral("999");
    open(0);
    QTest::mouseClick(grid(1)->viewport(), Qt::LeftButton, {}, QPoint(30, 30));
    EXPECT_EQ(both(), "0 / 0  早先的 | 0 / 0 999 ");
    EXPECT_EQ(print(), "请在两个表格中各选择一条记录！");  // and no paper prompt: nothing printed
    Registry::clear();

    open(33000);  // the counts are not limited to sixteen bits
    EXPECT_EQ(both(), "1 / 33000 201 租客1 | 1 / 33000 201 租客1");
    Registry::clear();

    // No data file, or a table without its fields: the format message once, the window opens with only 返回 on,
    // nothing is created.
    tv::test::execSql(file, QStringLiteral("DROP TABLE zfdj; CREATE TABLE zfdj (fjh TEXT, xm TEXT); INSERT INTO zfdj "
                                           "VALUES ('101', '某');"));
    for (const QString& path : {dir.filePath(QStringLiteral("没有.mdb")), file}) {
        state().DatabasePath = path;
        tv::forms::the<FrmDyjl>().show();
        QString on = boxes();
        for (const char* c : {"CmdEixt", "CmdPrinter", "CmdCx", "CboCxxx", "TxtXx1", "DBGrid1", "Data2"})
            on += ctl(c)->isEnabled() ? '1' : '0';
        EXPECT_EQ(on, "与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！1000000");
        Registry::clear();
    }
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("没有.mdb"))));
}

// Both forms on one sheet, the photos of the two rows where the offsets say,
// only after the check-in or tenant records window (YE1, YE2), whose print
// choice boxes are reset after the tenant records window only; the golden
// trace is grid 1's row 1 and grid 2's row 5 with the start offsets.
TEST_F(FrmDyjlTest, PrintsBothFormsWithThePhotosOnlyAfterTheRegistrationWindowsWhereTheOffsetsSay) {
    Registry::add(QStringLiteral("Tenvora"), [] { return new RecordsStandIn(); });
    auto* records = static_cast<RecordsStandIn*>(Registry::instance(QStringLiteral("Tenvora")));
    records->load();
    open();
    clickRow(2, 4);
    QFile golden(QStringLiteral(TV_FIXTURES_DIR "/pair_records.trace"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    const QString expected = QString::fromUtf8(golden.readAll());
    const QRegularExpression picture(QStringLiteral("^picture .*\n?"), QRegularExpression::MultilineOption);
    for (const char* code : {"YE3", "YE2", "YE1"}) {
        state().ActiveFormCode = tv::test::formCode(QString::fromLatin1(code));
        EXPECT_EQ(print(), "请调整好纸宽后：按(确认)后继续！") << code;
        EXPECT_EQ((Printer::traceLines().join('\n') + '\n').toStdString(),
                  (QByteArray(code) == "YE3" ? QString(expected).remove(picture) : expected).toStdString())
            << code;
        EXPECT_EQ(state().SheetChoice, tv::Sheets::Unchosen) << code;
        EXPECT_EQ(records->resets, QByteArray(code) == "YE2" ? 1 : 0) << code;
        records->resets = 0;
    }

    // Offsets are numbers with blanks around them, fractions or signs; anything
    // else is told and nothing is printed, the mode kept.
    EXPECT_EQ(print("100| 200 |300.5|-400"), "请调整好纸宽后：按(确认)后继续！");
    EXPECT_EQ(Printer::traceLines().filter(picture).join(' '),
              "picture page=1 x=100 y=3560 w=2560 h=3200 picture page=1 x=300.5 y=2960 w=2560 h=3200");
    state().SheetChoice = tv::Sheets::One;
    for (const char* bad : {"650|1000|650|abc", "650|1000|650|", "650|1000|650|12x"}) {
        EXPECT_EQ(print(bad), "图像调整位置必须为数字！") << bad;
        EXPECT_EQ(Printer::traceLines().join(' ') + tv::test::text(state().SheetChoice), "YE1") << bad;
    }

    // A search that leaves either grid without a current row: 打印 asks for a row in each and prints nothing.
    for (const char* grid : {"记录1", "记录2"}) {
        ctl<QComboBox>("CboCxxx")->setEditText(QString::fromUtf8(grid));
        choose("CboCxfs", "姓名");
        ctl<QLineEdit>("Txtzk")->setText(QStringLiteral("无此人"));
        ctl<QPushButton>("CmdCx")->click();
        const QString told = print("650|1000|650|8710");
        EXPECT_EQ(told + Printer::traceLines().join(' '), "请在两个表格中各选择一条记录！") << grid;
        choose("CboCxfs", "所有记录");
        ctl<QPushButton>("CmdCx")->click();
    }
}

// 查询 on grid 记录n in a mode, with the keys typed: the room and name, or the
// name, or the ID number are scans of the rows the grid holds (the first match
// becomes current, else none, the last row having passed into the print
// record); the room or the status is a query whose rows the grid then holds
// (with the status line left as it was, or written); 所有记录 brings all back.
// Keys match exactly and never become part of the SQL. A search done gives
// every input back and asks for a mode again; a scan of a grid without rows
// fails with a message and keeps the mode.
TEST_F(FrmDyjlTest, EachSearchCaseWithItsStatusTextThenEnterWalksTheRingPassingOverDisabledBoxes) {
    FrmDyjl& w = open();
    // grid | mode | keys (room|name|ID number|status) | then: the boxes and the
    // status line, which of Txtjfrq TxtFh Txtzk Txtzh Cbofjxz CmdCx are on,
    // the grid's position, rows and print record, the other grid's position
    const char* const cases[][4] = {
        {"1", "房号+姓名", "201|王小明||", "为您查到一条记录|111110|2 / 25|25|201 王小明|1 / 25"},
        {"2", "房号+姓名", "201|||", "为您查到一条记录|111110|1 / 25|3|201 租客1|2 / 25"},
        {"2", "姓名", "|李四||", "没有找到符合条件的记录|111110|0 / 25|3|201 租客3|2 / 25"},
        {"2", "身份证号", "||440101199001010003|", "为您查到一条记录|111110|3 / 25|3|201 租客3|2 / 25"},
        {"2", "所有记录", "|||", "显示全部记录|111110|1 / 25|25|201 租客1|2 / 25"},
        {"2", "姓名", "|租客20 ||", "没有找到符合条件的记录|111110|0 / 25|25|325 租客25|2 / 25"},
        {"2", "房号+姓名", "a01|租客20||", "没有找到符合条件的记录|111110|0 / 25|25|325 租客25|2 / 25"},
        {"2", "姓名", "|租客20||", "为您查到一条记录|111110|20 / 25|25|A01 租客20|2 / 25"},
        {"1", "房间现状", "|||退房", "为您查到符合条件的记录|111110|1 / 25|12|201 王小明|20 / 25"},
        {"1", "房间现状", "|||自用", "为您查到符合条件的记录|111110|0 / 25|0|201 王小明|20 / 25"},
        {"1", "房号", "A01|||", "为您查到符合条件的记录|111110|1 / 25|1|A01 租客20|20 / 25"},
        {"1", "房号", "a01|||", "为您查到符合条件的记录|111110|0 / 25|0|A01 租客20|20 / 25"},
        {"1", "房号", "A01 |||", "为您查到符合条件的记录|111110|0 / 25|0|A01 租客20|20 / 25"},
        {"1", "房号", "1'01|||", "为您查到符合条件的记录|111110|0 / 25|0|A01 租客20|20 / 25"},
        {"1", "房号", "' or '1'='1|||", "为您查到符合条件的记录|111110|0 / 25|0|A01 租客20|20 / 25"},
        // no such grid: nothing searched
        {"3", "所有记录", "|||", "为您查到符合条件的记录|111110|0 / 25|0|A01 租客20|20 / 25"},
        {"1", "姓名", "|李四||", "数据查询失败！为您查到符合条件的记录|001001|0 / 25|0|A01 租客20|20 / 25"},
        {"1", "所有记录", "|||", "显示全部记录|111110|1 / 25|25|201 租客1|20 / 25"},
        {"1", "姓名", "|李四||", "为您查到一条记录|111110|12 / 25|25|312 李四|20 / 25"},
    };
    const char* const inputs[] = {"TxtFh", "Txtzk", "Txtzh", "Cbofjxz"};
    for (const auto& c : cases) {
        const int n = c[0][0] == '2' ? 2 : 1;
        ctl<QComboBox>("CboCxxx")->setEditText(QStringLiteral("记录") + c[0]);
        choose("CboCxfs", c[1]);
        const QStringList keys = QString::fromUtf8(c[2]).split('|');
        for (int i = 0; i < 4; ++i)
            if (!keys[i].isEmpty())
                (i < 3 ? ctl<QLineEdit>(inputs[i]) : ctl<QComboBox>(inputs[i])->lineEdit())->setText(keys[i]);
        ctl<QPushButton>("CmdCx")->click();
        QString seen = boxes() + ctl<QLineEdit>("TxtTs")->text() + '|';
        for (const char* name : {"Txtjfrq", "TxtFh", "Txtzk", "Txtzh", "Cbofjxz", "CmdCx"})
            seen += ctl(name)->isEnabled() ? '1' : '0';
        const QString rows = QString::number(grid(n)->model()->rowCount());
        EXPECT_EQ(seen + '|' + pos(n) + '|' + rows + '|' + record(n) + '|' + pos(3 - n), c[3]) << c[1] << ' ' << c[2];
    }

    // Enter pressed from `from` until the focus is back there: the boxes passed.
    auto ring = [&](const char* from) {
        QStringList passed;
        for (ctl(from)->setFocus(); passed.size() < 20 && (passed.isEmpty() || passed.last() != from);) {
            QTest::keyClick(w.widget()->focusWidget(), Qt::Key_Return);
            passed << w.widget()->focusWidget()->objectName();
        }
        return passed.join(' ');
    };
    EXPECT_EQ(ring("CboCxxx"), "CboCxfs Txtjfrq TxtFh Txtzk Txtzh Cbofjxz TxtXx1 TxtYy1 TxtXx2 TxtYy2 TxtTs CboCxxx");
    // After a mode choice the billing date box is off, and so are the boxes the mode does not need.
    choose("CboCxfs", "房号");
    EXPECT_EQ(ring("CboCxfs"), "TxtFh TxtXx1 TxtYy1 TxtXx2 TxtYy2 TxtTs CboCxxx CboCxfs");
}

// The status line says what the search did: the user cannot type into it,
// and a text longer than the line shows its start, also after the user has
// been in it (Enter passes through it) and left.
TEST_F(FrmDyjlTest, TheStatusLineIsReadOnlyAndShowsALongTextFromItsStart) {
    QApplication::setActiveWindow(open().widget());
    auto* box = ctl<QLineEdit>("TxtTs");
    EXPECT_TRUE(box->isReadOnly());
    const QString longer = QStringLiteral("这是一段比状态栏长得多的文字，它的开头必须看得见，结尾可以看不见");
    box->setText(longer);
    EXPECT_EQ(box->cursorPosition(), 0);
    ctl("TxtYy2")->setFocus();
    QTest::keyClick(ctl("TxtYy2"), Qt::Key_Return);
    ASSERT_TRUE(box->hasFocus());
    box->end(false);
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_TRUE(ctl("CboCxxx")->hasFocus());
    EXPECT_EQ(box->text() + QString::number(box->cursorPosition()), longer + '0');
}
