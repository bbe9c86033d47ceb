// The tenant records window driven as a user drives it. Each session opens
// the window on a data file of its own: 12 registrations (A101 twice, 王小明
// twice, "Li Lei", the statuses 退房/招租/在住 in turn, photos of different
// sizes on rows 1, 2 and 4), 30 bills of tenants 1-10 on 2024-03-01, -04-01
// and -05-01, 10 other-fee rows of tenants 3-12, and 3 users. The steps are
// typed into the controls by their names (support/Sessions.h); what the
// window shows after each step is compared with a golden file.
#include "records/Tenvora.h"

#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/shell/Shell.h"
#include "register_print/FrmDyjl.h"
#include "support/Codes.h"
#include "support/OddFiles.h"
#include "support/PrintTo.h"
#include "support/Sessions.h"

#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

using tv::state;
using tv::forms::Registry;
using tv::print::Printer;
using tv::records::Tenvora;
namespace script = tv::dlg::script;

namespace {

const char* const kRows =
    "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 12) INSERT INTO zfdj (fjh, jzrs, xm, "
    "dw, dh, yh, n1, n2, rzrq, sfzhm, fq, xb1, cxny1, ysno) SELECT iif(i = 2, 'A101', 'A' || (100 + i)), i % 4 + 1, "
    "CASE WHEN i IN (5, 9) THEN '王小明' WHEN i = 7 THEN 'Li Lei' ELSE '租客' || i END, '单位' || i, '1380000' || i, "
    "'已婚', 1, i % 3, printf('2024-01-%02d', i), printf('4401011990%08d', i), iif(i = 1, '张老伯', NULL), "
    "iif(i = 1, '男', NULL), iif(i = 1, '1950-03', NULL), CASE i % 3 WHEN 0 THEN '在住' WHEN 1 THEN '退房' ELSE '招租' "
    "END FROM c; WITH RECURSIVE c(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM c WHERE i < 29) INSERT INTO fzsdjs "
    "(jfrq, fjh, xm, sfzhm, zj, sfsd1, sfsd2, bysb, sysb, ysl, sdj, sf, bydb, sydb, ydl, ddj, df, zf, hj) SELECT "
    "printf('2024-%02d-01', 3 + i / 10), 'A' || (101 + i % 10), '租客' || (1 + i % 10), printf('4401011990%08d', 1 + "
    "i % 10), 800 + i, '3-1', '3-31', 120.5 + i, 110, 10.5 + i, 3.2, 33.6, 2000, 1900, 100, 0.68, 68, 5.5, 907.1 + i "
    "FROM c; WITH RECURSIVE c(i) AS (SELECT 3 UNION ALL SELECT i + 1 FROM c WHERE i < 12) INSERT INTO qtfy SELECT "
    "'2024-05-01', 'A' || (100 + i), printf('4401011990%08d', i), 50, 10, 5, 3, 20.5, i, 88.5 + i FROM c;";
const char* const kPhotos =
    "UPDATE zfdj SET xp = X'%1' WHERE rowid = 1; UPDATE zfdj SET xp = X'%2' WHERE rowid IN (2, 4)";

// The registrations, then the number of bills and of other-fee rows.
const char* const kContent =
    "SELECT (SELECT group_concat(fjh || xm, ',') FROM zfdj) || ' ' || (SELECT count(*) FROM "
    "fzsdjs) || ' ' || (SELECT count(*) FROM qtfy)";

const char* const kUsers = "INSERT INTO yhzc VALUES ('张三', '111', ''), ('李四', '222', '')";

QString photoHex(int width) {
    QImage img(width, 80, QImage::Format_RGB32);
    img.fill(Qt::darkCyan);
    QBuffer buf;
    return img.save(&buf, "PNG") ? QString::fromLatin1(buf.data().toHex()) : QString();
}

class TenvoraTest : public tv::test::SessionTest {
protected:
    void SetUp() override {
        SessionTest::SetUp();
        Registry::add(QStringLiteral("FrmDyjl"), [] { return new tv::register_print::FrmDyjl; });
    }
    template <class T = QWidget>
    T* ctl(const QString& name) {
        return tv::forms::the<Tenvora>().control<T>(name);
    }
    tv::forms::Form& window() override { return tv::forms::the<Tenvora>(); }

    // Setup words: empty, drop, nousers, pictures, user=NAME/PASSWORD.
    void openSession(const QString& setup, qsizetype n) override {
        data = dir.filePath(QStringLiteral("s%1.mdb").arg(n));
        tv::test::makeDataFile(data);
        if (!setup.contains("empty"))
            tv::test::execSql(data, kRows + QString(kPhotos).arg(photoHex(70), photoHex(90)));
        if (setup.contains("drop"))
            tv::test::execSql(data, QStringLiteral("DROP TABLE qtfy"));
        state().UserDbPath = dir.filePath(QStringLiteral("u%1.ini").arg(n));
        tv::test::makeUserDb(state().UserDbPath);
        tv::test::execSql(state().UserDbPath, setup.contains("nousers") ? "DELETE FROM yhzc" : kUsers);
        state().CurrentUser = setup.section("user=", 1).section('/', 0, 0);
        state().CurrentPassword = setup.section("user=", 1).section('/', 1).section(' ', 0, 0);
        state().PicturePath = setup.contains("pictures") ? TV_SOURCE_DIR "/install/BMP/" : dir.path() + "/no/";
        state().DataFilePath = data;
        tv::forms::the<Tenvora>().show();
    }

    // Steps of its own: "look" shows the window whole, "sql" the data file, "other=SQL" runs SQL as another
    // program, "FrmDyjl.Name" clicks in the two-record window.
    std::optional<QString> ownStep(const QString& step) override {
        if (step == "look")
            return look();
        if (step == "sql")
            return " || " + tv::test::queryText(data, kContent);
        if (step.startsWith("other=")) {  // SQL run by another program
            tv::test::execSql(data, step.mid(6));
            return QString();
        }
        if (!step.startsWith("FrmDyjl."))
            return std::nullopt;
        Registry::loaded("FrmDyjl")->control<QPushButton>(step.mid(8))->click();
        return QString();
    }

    // Status line | Data1, Data2, Data3 caption position#rows | count label | 单记录 双记录 (x: disabled) |
    // EditMode | CurrentCheckIn | SecondCheckIn | search inputs on | focus | printed | other windows.
    QString view() override {
        QStringList out;
        Tenvora& w = tv::forms::the<Tenvora>();
        out << ctl<QLineEdit>("TxtTs")->text();
        for (const char* d : {"Data1", "Data2", "Data3"}) {
            auto* s = ctl<tv::forms::DataControl>(d);
            QString position = s->caption().section("：", 1);
            position.chop(1);  // ")"; a caption without a position stays empty
            out << position + '#' + (s->isOpen() ? QString::number(s->recordset().recordCount()) : "-");
        }
        out << ctl<QLabel>("LelJlzs")->text();
        QString boxes;
        for (const char* b : {"Check1", "Check2"})
            boxes += QString(ctl<QCheckBox>(b)->isChecked() ? "☑" : "☐") + (ctl(b)->isEnabled() ? "" : "x");
        auto rec = [](const tv::CheckInRecord& r) { return r.fjh + ' ' + r.xm; };
        out << boxes << tv::test::text(state().SheetChoice) << rec(state().CurrentCheckIn)
            << rec(state().SecondCheckIn);
        QString on;
        for (const char* i : {"TxtFh", "Txtzk", "Txtzh", "Txtjfrq", "Cbofjxz"}) on += ctl(i)->isEnabled() ? '1' : '0';
        QWidget* focus = w.widget()->focusWidget();
        if (focus && focus->objectName().isEmpty())
            focus = focus->parentWidget();  // a combo box's edit line
        out << on << (focus ? focus->objectName() : "");
        out << Printer::traceLines()
                   .filter(QRegularExpression("size=18|房间编号|^picture|abort"))
                   .join(' ')
                   .simplified();
        Printer::clearTrace();
        out << Registry::loadedNames().filter(QRegularExpression("^(?!MDIVamo|Tenvora)")).join(',');
        return out.join(" | ");
    }

    // The window whole: captions, columns, the first row of each grid, labels, lists, boxes, what is disabled,
    // the status bar, the shared paths and the first print record.
    QString look() {
        QStringList out{tv::forms::the<Tenvora>().widget()->windowTitle()};
        for (const char* d : {"Data1", "Data2", "Data3", "Data4"})
            out << ctl<tv::forms::DataControl>(d)->caption() + (ctl(d)->isVisible() ? "" : " (hidden)");
        for (const char* g : {"DBGrid1", "DBGrid2", "DBGrid3"}) {
            QAbstractItemModel* m = ctl<QTableView>(g)->model();
            QStringList heads, first;
            for (int i = 0; i < m->columnCount(); ++i)
                heads << m->headerData(i, Qt::Horizontal).toString(), first << m->index(0, i).data().toString();
            out << ctl<QLabel>(g + QStringLiteral("Caption"))->text() + ": " + heads.join(',') + " / " +
                       first.join(',');
        }
        QStringList labels, off;
        for (const char* l : {"LelJlzs", "LelZdzs", "LelZcrs", "LelYhm"}) labels << ctl<QLabel>(l)->text();
        for (const char* l : {"TxtX3", "TxtY3", "TxtBt"}) labels << ctl<QLineEdit>(l)->text();
        for (const char* l : {"CboCxfs", "Cbofjxz"}) {
            QStringList items;
            for (int i = 0; i < ctl<QComboBox>(l)->count(); ++i) items << ctl<QComboBox>(l)->itemText(i);
            labels << items.join(',') + '[' + ctl<QComboBox>(l)->currentText() + ']';
        }
        for (QWidget* c : tv::forms::the<Tenvora>().widget()->findChildren<QWidget*>(
                 QRegularExpression("^(Cmd|Check|Txt|Cbo|DBGrid|Data)")))
            if (!c->isEnabled())
                off << c->objectName();
        out << labels.join(' ') << "off: " + off.join(',') << main->panels[1];
        out << tv::test::text(state().ActiveFormCode) + ' ' + state().DatabasePath + ' ' + state().CurrentUser + ' ' +
                   state().CurrentCheckIn.fq +
                   (ctl<QLabel>("Image1")->pixmap().isNull() ? " no pictures" : " pictures");
        return "\n    " + out.join("\n    ");
    }
};

}  // namespace

TEST_F(TenvoraTest, LoadsCountsTheUserLineAndFailsOnlyOnRealDataFaults) {
    expectSessions({{"user=张三/111 pictures", "look"},
                    {"", "look"},
                    {"user=张三/999", "look"},
                    {"nousers", "look"},
                    {"empty", "look;CmdCx;CmdDel;CmdPrinter;Check1;CmdPrinter"}},
                   "records_load.txt");
}

// A data file the window cannot work on, each with its own reason (the main
// window's test tries more kinds of file): the window never shows half built
// (it is gone), no data file stays open, the status bar and the shared state
// are as they were, and nothing waits.
TEST_F(TenvoraTest, AFileItCannotUseIsRefusedWithItsReasonAndNothingIsLeftHalfBuilt) {
    const QString refused = "无法使用数据文件“%1”：%2。";
    const struct Row {
        const char* kind;  // an odd kind (support/OddFiles.h), or what is made below
        QString told;      // %1: the file
    } rows[] = {
        {"fifo", refused.arg("%1", "不是普通文件，可能是文件夹、管道或设备")},
        {"sparse", refused.arg("%1", "文件太大（64.0 GB），不是本程序的数据文件")},
        {"text", refused.arg("%1", "它不是本程序的数据文件")},
        {"damaged", refused.arg("%1", "它不是本程序的数据文件（数据文件已损坏）")},
        {"no tables", refused.arg("%1", "数据文件中没有数据表“zfdj”")},
        {"no qtfy", refused.arg("%1", "数据文件中没有数据表“qtfy”")},
        {"no hj", refused.arg("%1", "数据表“fzsdjs”中没有字段“hj”")},
        {"no users",
         "与导入的数据表格式不相符，请选择与导入数据表格式相对应的数据表！\n数据文件中没有所需的数据表：yhzc。"},
    };
    int n = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind);
        const QString kind = QString::fromUtf8(row.kind), bad = dir.filePath(QStringLiteral("bad%1.mdb").arg(n++));
        state().UserDbPath = dir.filePath("users.ini");
        if (!QFile::exists(state().UserDbPath))
            tv::test::makeUserDb(state().UserDbPath);
        if (tv::test::oddKinds().contains(kind)) {
            tv::test::makeOdd(kind, bad);
        } else if (kind == "text") {
            QFile f(bad);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("CREATE TABLE zfdj (fjh TEXT);\n") > 0);
        } else if (kind == "no tables") {
            QFile(bad).open(QIODevice::WriteOnly);  // empty: the engine makes it a database
            tv::test::execSql(bad, "CREATE TABLE t (a TEXT);");
        } else {
            tv::test::makeDataFile(bad);
            if (kind == "damaged") {
                QFile f(bad);
                ASSERT_TRUE(f.open(QIODevice::ReadWrite) && f.seek(100) && f.write(QByteArray(4000, '\xff')) > 0);
            } else if (kind != "no users") {
                tv::test::execSql(bad, kind == "no qtfy" ? "DROP TABLE qtfy;" : "ALTER TABLE fzsdjs DROP COLUMN hj;");
            } else {
                state().UserDbPath = bad;  // a data file: no yhzc in it
            }
        }
        main->panels[1] = "工作路径：/before";
        state().DataFilePath = bad;
        state().DatabasePath = "/before.mdb";
        state().ActiveFormCode = tv::FormCode::CheckIn;
        script::clearCalls();
        {
            tv::test::Watchdog watchdog("the records window on a bad file that is " + std::string(row.kind));
            tv::forms::the<Tenvora>().show();
        }
        QStringList said;
        for (const tv::dlg::Call& c : script::calls()) said << c.title + ':' + c.text;
        EXPECT_EQ(said, QStringList("提示！:" + QString(row.told).arg(bad)));
        EXPECT_FALSE(Registry::isLoaded("Tenvora"));
        EXPECT_EQ(main->panels[1], "工作路径：/before");
        EXPECT_EQ(state().DataFilePath, "");
        EXPECT_EQ(state().DatabasePath, "/before.mdb");
        EXPECT_EQ(state().ActiveFormCode, tv::FormCode::CheckIn);
    }
}

TEST_F(TenvoraTest, SearchesByEveryBranchAndTheOtherGridsFollowAClickedTenant) {
    expectSessions({{"",
                     "DBGrid1@4;DBGrid1<Down;DBGrid1@12;DBGrid1@1;CboCxfs=房号;TxtFh=A101;CmdCx;CmdCx;"
                     "CboCxfs=姓名;Txtzk=租客12;CmdCx;CboCxfs=所有记录;CmdCx;CboCxfs=姓名;Txtzk=王小明;CmdCx;"
                     "Txtzk=li lei;CmdCx;Txtzk=Li Lei ;CmdCx;Txtzk=;CboCxfs=房号+姓名;TxtFh=A101;Txtzk=租客3;"
                     "CmdCx;Txtzk=租客2;CmdCx;CboCxfs=身份证号;Txtzh=440101199000000006;CmdCx;"
                     "CboCxfs=计费日期;Txtjfrq=2024/4/1;CmdCx;DBGrid1@9;CboCxfs=所有记录;CmdCx;"
                     "CboCxfs=计费日期;Txtjfrq=2024-13-1;CmdCx;Txtjfrq= 2024-5-1 ;CmdCx;CboCxfs=房间现状;"
                     "Cbofjxz=在住;CmdCx;CboCxfs=房号;TxtFh=x' or '1'='1;CmdCx;CboCxfs=姓名;Txtzk=王小明;CmdCx;"
                     "CboCxfs=房号;CmdCx;sql"},
                    {"",
                     "CboCxfs<Return;<Return;<Return;<Return;<Return;<Return;<Return;CboCxfs=房号;"
                     "CboCxfs<Return;<Return;CmdCx;TxtFh<Return;<Return;Txtzh<Return;Check1;CmdExit"}},
                   "records_search.txt");
}

TEST_F(TenvoraTest, PrintChoiceBoxesOneSheetWithThePhotoAndTwoSheetsInTheOtherWindow) {
    expectSessions(
        {{"",
          "CmdPrinter;Check1;Check1;Check2;Check1;DBGrid1@2;Check2;FrmDyjl.CmdEixt;CmdPrinter;"
          "CmdPrinter;Check2;CmdPrinter;DBGrid1<Down;Check1;DBGrid1@5;Check2;DBGrid1@4;Check1;"
          "TxtY3=abc;CmdPrinter;TxtY3=3050;TxtX3= 700 ;CmdPrinter;TxtBt=某某公寓登记表;CmdPrinter;DBGrid1@1;Check1;"
          "badprinter;CmdPrinter"}},
        "records_print.txt");
    // The whole form of the highlighted row 1 with its photo, under the title typed in the title box.
    state().SheetChoice = tv::Sheets::One;
    Printer::useFiles({}, {});
    ctl<QPushButton>("CmdPrinter")->click();
    QFile golden(QStringLiteral(TV_FIXTURES_DIR "/records_one_sheet.trace"));
    ASSERT_TRUE(golden.open(QIODevice::ReadOnly));
    EXPECT_EQ(Printer::traceLines().join('\n') + '\n', QString::fromUtf8(golden.readAll()));
}

TEST_F(TenvoraTest, DeletesAskFirstAndLeaveTheBillsAndOtherFees) {
    expectSessions({{"",
                     "DBGrid1@6;CmdDel;sql;DBGrid1@6;yes;CmdDel;sql;DBGrid1@11;yes;DBGrid1<Delete;sql;"
                     "CboCxfs=房号;TxtFh=A103;CmdCx;yes;CmdDel;sql;yes;CmdDel;sql;CboCxfs=所有记录;CmdCx;"
                     "CboCxfs=姓名;Txtzk=无此人;CmdCx;yes;CmdDel;sql;DBGrid1@1;CmdExit;sql"}},
                   "records_delete.txt");
}

// Rows another program deleted: the counters follow at the next move, by an
// arrow or a click in a grid, the row current before (or clicked) staying
// current where it still is; a current row gone leaves its place, and the
// next move goes on from there.
TEST_F(TenvoraTest, TheCountersFollowRowsAnotherProgramDeletedAtTheNextMove) {
    expectSessions({{"",
                     "other=DELETE FROM fzsdjs WHERE rowid = 2;Data2>MoveNext;"
                     "other=DELETE FROM fzsdjs WHERE rowid IN (3, 4);DBGrid2@5;"
                     "other=DELETE FROM fzsdjs WHERE rowid = 6;Data2>MoveNext;"
                     "other=DELETE FROM zfdj WHERE rowid IN (1, 12);Data1>MoveLast;Data1>MovePrevious"}},
                   "records_other_program.txt");
}

// The bill grid shows every value of a bill whole: a reading of 12.39999, a
// large usage and amount, an ID number, in columns made for shorter ones.
TEST_F(TenvoraTest, TheBillGridShowsEveryNumberWhole) {
    data = dir.filePath(QStringLiteral("n.mdb"));
    tv::test::makeDataFile(data);
    tv::test::execSql(data, QString(kRows) +
                                "UPDATE fzsdjs SET bysb = 12.39999, ysl = 1234567.8, hj = 2886582.27, "
                                "sfzhm = '44010119900101123X' WHERE rowid = 1");
    state().UserDbPath = dir.filePath(QStringLiteral("u.ini"));
    tv::test::makeUserDb(state().UserDbPath);
    state().DataFilePath = data;
    tv::forms::the<Tenvora>().show();
    auto* grid = ctl<QTableView>("DBGrid2");
    grid->grab();
    QCoreApplication::processEvents();
    grid->grab();
    const int margin = grid->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, grid) + 1;
    QStringList cut;
    for (int col = 0; col < grid->model()->columnCount(); ++col) {
        const QModelIndex i = grid->model()->index(0, col);
        const QString text = i.data().toString();
        if (grid->fontMetrics().elidedText(text, Qt::ElideRight, grid->visualRect(i).width() - 2 * margin) != text)
            cut << text;
    }
    EXPECT_EQ(grid->model()->index(0, 7).data().toString(), "12.39999");
    EXPECT_EQ(cut, QStringList());
}
