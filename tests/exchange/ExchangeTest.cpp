// The exchange windows driven as a user drives them: the chooser, the export
// of ticked fields (read back by our reader and by openpyxl), the import by
// position into a table, and damaged workbooks that change nothing.
#include "DiskFull.h"
#include "exchange/Connections.h"
#include "exchange/ExchangeWindows.h"

#include "platform/dialogs/Progress.h"
#include "platform/forms/ScrollBars.h"
#include "platform/shell/Shell.h"
#include "platform/workbook/Workbook.h"
#include "support/FullDisk.h"
#include "support/PrintTo.h"
#include "support/WindowTest.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <cstdio>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

using tv::forms::Registry;
using tv::test::queryText;
namespace ex = tv::exchange;

namespace {

const QString kLong = QStringLiteral("广东省广州市天河区某某街道某某社区某某路一百二十三号之一某某大厦十八楼");

// Message boxes are answered by default (OK, or No for a question) and kept
// for boxes(); the desktop "opens" what it is given when `opens` is true.
class ExchangeTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        failing = tv::dlg::script::unexpectedHandler();
        tv::dlg::script::setUnexpectedHandler([this](const tv::dlg::Call& c) {
            if (c.kind == QLatin1String("msgBox"))
                shown << c.text;
        });
        tv::shell::setDesktopHook([this](const QUrl& u) {
            opened << u.toLocalFile();
            return opens;
        });
        tv::test::execSql(
            file,
            QStringLiteral("INSERT INTO zfdj (fjh, jzrs, xm, dw, sfzhm, rzrq, xp) VALUES ('101', 2, '张三', '%1', "
                           "'440101199001011234', "
                           "'2024-01-05', X'89504E47'), ('0102', 1, '李四', NULL, '012345678901234567', NULL, NULL);"
                           "INSERT INTO fzsdjs (jfrq, fjh, xm, zj, bysb, sf, hj) VALUES ('2024-01-05', '101', '张三', "
                           "800, 34.4, 19.99, "
                           "819.99);")
                .arg(kLong));
    }
    void TearDown() override {
        EXPECT_EQ(boxes(), "") << "message boxes not looked at";
        tv::shell::setDesktopHook(nullptr);
        tv::dlg::script::setUnexpectedHandler(failing);
        ex::connections() = {};
        WindowTest::TearDown();
    }
    template <class W, class T = QWidget>
    T* ctl(const char* name) {
        return tv::forms::the<W>().template control<T>(QString::fromLatin1(name));
    }
    template <class W>
    QLineEdit* edit(const char* name) {
        return ctl<W, QLineEdit>(name);
    }
    template <class W>
    QComboBox* combo(const char* name) {
        return ctl<W, QComboBox>(name);
    }
    template <class W>
    QListWidget* listOf(const char* name) {
        return ctl<W, QListWidget>(name);
    }
    template <class W>
    QLabel* label(const char* name) {
        return ctl<W, QLabel>(name);
    }
    template <class W>
    QTableView* tableOf(const char* name) {
        return ctl<W, QTableView>(name);
    }
    template <class W>
    QPushButton* button(const char* name) {
        return ctl<W, QPushButton>(name);
    }
    template <class W>
    QRadioButton* radio(const char* name) {
        return ctl<W, QRadioButton>(name);
    }
    template <class W>
    void click(const char* name, const QString& answerFile = QString()) {
        if (!answerFile.isNull())
            tv::dlg::script::answerFile(answerFile);
        this->button<W>(name)->click();
    }
    template <class W>
    void choose(const char* name, const QString& item) {
        auto* c = this->combo<W>(name);
        c->setCurrentIndex(c->findText(item));
        emit c->activated(c->currentIndex());
    }
    void tick(const QString& field, bool on = true) {
        auto* list = listOf<ex::outform>("List1");
        list->findItems(field, Qt::MatchExactly).value(0)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
    }
    QString boxes() { return std::exchange(shown, {}).join(QLatin1Char(';')); }
    static QStringList items(QComboBox* c) {
        QStringList out;
        for (int i = 0; i < c->count(); ++i) out << c->itemText(i);
        return out;
    }
    // The export window on the test's data file with `table` chosen.
    void exportFrom(const QString& table) {
        tv::forms::the<ex::outform>().show();
        click<ex::outform>("Img2", file);
        choose<ex::outform>("Combo1", table);
    }
    // A workbook read back: rows of "kind:text" cells.
    static QString readBack(const QString& path) {
        QStringList rows;
        const auto sheets = tv::workbook::read(path);
        for (const auto& r : sheets.at(0).rows) {
            QStringList cells;
            for (const auto& [c, v] : r.cells)
                cells << QStringLiteral("%1%2:%3").arg(c).arg("-tsinnmdb"[int(v.kind())]).arg(v.toText());
            rows << cells.join(' ');
        }
        return rows.join('\n');
    }
    // The same with openpyxl: "cell type value format" per cell.
    static QString openpyxl(const QString& path) {
        QProcess p;
        p.start(QStringLiteral("/usr/bin/python3"),
                {QStringLiteral("-c"),
                 QStringLiteral("import sys, openpyxl\n"
                                "for row in openpyxl.load_workbook(sys.argv[1]).active.iter_rows():\n"
                                "  print(' '.join('%s %s %s %s' % (c.coordinate, c.data_type, "
                                "c.value, c.number_format) for c in row if c.value is not None))"),
                 path});
        p.waitForFinished(60000);
        return QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError()).trimmed();
    }
    // The sheet chosen in the first import step, then the table in the second; the import pressed.
    void importInto(const QString& workbook, const QString& sheet, const QString& dataFile, const QString& table) {
        tv::forms::the<ex::fexcel>().show();
        click<ex::fexcel>("Img2", workbook);
        choose<ex::fexcel>("Com1", sheet);
        click<ex::fexcel>("cmd1");
        click<ex::faccess>("Img2", dataFile);
        choose<ex::faccess>("Com1", table);
        click<ex::faccess>("cmd1");
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }
    QString count(const QString& path, const QString& table) {
        return queryText(path, QStringLiteral("select count(*) from ") + table);
    }

    std::function<void(const tv::dlg::Call&)> failing;
    QStringList shown, opened;
    bool opens = true;
};

}  // namespace

TEST_F(ExchangeTest, TheChooserOpensEitherWayAndEachWindowComesBackToIt) {
    auto& chooser = tv::forms::the<ex::Exnac>();
    chooser.show();
    click<ex::Exnac>("CmdQr");  // neither way chosen: nothing happens
    EXPECT_EQ(Registry::loadedNames().join(' '), "Exnac");
    const struct {
        const char* option;
        const char* window;
        const char* back;
    } ways[] = {{"Option2", "outform", "CmdTc"}, {"Option1", "fexcel", "cmd2"}};
    for (const auto& w : ways) {
        radio<ex::Exnac>(w.option)->setChecked(true);
        click<ex::Exnac>("CmdQr");
        EXPECT_FALSE(chooser.widget()->isVisible());
        tv::forms::Form* f = Registry::instance(QString::fromLatin1(w.window));
        ASSERT_TRUE(f->widget()->isVisible()) << w.window;
        f->control<QPushButton>(QString::fromLatin1(w.back))->click();
        EXPECT_FALSE(f->isLoaded());
        EXPECT_TRUE(chooser.widget()->isVisible());
    }
    click<ex::Exnac>("CmdTc");
    EXPECT_FALSE(chooser.isLoaded());
}

TEST_F(ExchangeTest, ExportListsTablesTicksFieldsAndWritesEveryKindOfCell) {
    tv::test::execSql(file, QStringLiteral("CREATE TABLE MSysObjects (a TEXT); CREATE TABLE msysok (a TEXT); "
                                           "CREATE VIEW v_rooms AS SELECT fjh FROM zfdj; ANALYZE;"));
    exportFrom(QStringLiteral("zfdj"));
    EXPECT_EQ(items(combo<ex::outform>("Combo1")).join(' '), "bysj fzsdjs msysok qtfy sysj zfdj v_rooms");
    EXPECT_EQ(listOf<ex::outform>("List1")->count(), 32);
    EXPECT_FALSE(ctl<ex::outform>("cmdout")->isEnabled());
    for (const char* f : {"fjh", "xm", "xp", "dw", "sfzhm"}) tick(QString::fromLatin1(f));
    tick(QStringLiteral("xp"), false);  // unticking takes the name out again
    EXPECT_EQ(edit<ex::outform>("Text1")->text(), "fjh,xm,dw,sfzhm,");
    const QString out = dir.filePath(QStringLiteral("租客"));
    click<ex::outform>("Img1", out);
    EXPECT_EQ(edit<ex::outform>("Txtmc")->text(), out + ".xlsx");  // a name gets its extension
    click<ex::outform>("cmdout");
    EXPECT_EQ(opened, QStringList{out + ".xlsx"});
    EXPECT_EQ(readBack(out + ".xlsx"),
              "0t:101 1t:张三 2t:" + kLong + " 3t:440101199001011234\n0t:0102 1t:李四 3t:012345678901234567");
    EXPECT_EQ(openpyxl(out + ".xlsx"), "A1 s 101 General B1 s 张三 General C1 s " + kLong +
                                           " General D1 s 440101199001011234 General\n"
                                           "A2 s 0102 General B2 s 李四 General D2 s 012345678901234567 General");

    // Money, readings and dates; the second export needs no new pick; replacing asks, and No leaves the file.
    choose<ex::outform>("Combo1", QStringLiteral("fzsdjs"));
    edit<ex::outform>("Text1")->setText(QStringLiteral(" jfrq, zj ,,bysb,hj,xm "));
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), out + ".xlsx 已存在。\n要替换它吗？");
    EXPECT_EQ(readBack(out + ".xlsx").left(8), "0t:101 1");
    tv::dlg::script::answerMsgBox(tv::dlg::Yes);
    click<ex::outform>("cmdout");
    EXPECT_EQ(openpyxl(out + ".xlsx"),
              "A1 d 2024-01-05 00:00:00 yyyy-mm-dd B1 n 800 0.00 C1 n 34.4 General D1 n 819.99 0.00 E1 s 张三 General");
    opens = false;  // nothing on the desktop opens it: say where it is
    tv::dlg::script::answerMsgBox(tv::dlg::Yes);
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), "Excel文件已保存在：" + out + ".xlsx");
}

TEST_F(ExchangeTest, ExportRefusesWhatItCannotDoAndWritesAnEmptyTable) {
    exportFrom(QStringLiteral("qtfy"));
    click<ex::outform>("Img1", dir.filePath(QStringLiteral("空.xlsx")));
    tick(QStringLiteral("fjh"));
    tick(QStringLiteral("fjh"), false);
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), "请选择导出的字段");
    edit<ex::outform>("Text1")->setText(QStringLiteral("fjh,nosuch,"));
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), "数据表中没有所需的字段：nosuch。");
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("空.xlsx"))));
    tick(QStringLiteral("fjh"));
    edit<ex::outform>("Text1")->setText(QStringLiteral("fjh,"));
    click<ex::outform>("cmdout");
    EXPECT_EQ(readBack(dir.filePath(QStringLiteral("空.xlsx"))), "");
    // Cancelled pickers say so and leave what was picked.
    click<ex::outform>("Img2", QString(""));
    click<ex::outform>("Img1", QString(""));
    EXPECT_EQ(boxes(), "请重新选择Access文件!;请重新命名Excel文件名!");
    EXPECT_EQ(combo<ex::outform>("Combo1")->currentText(), "qtfy");
}

// The workbook over an old one on a full disk (filled up, or with room for
// part of it) and over one marked read-only: the old one stays as it was, and
// nothing else is left. A text longer than a cell holds is cut, and counted.
TEST_F(ExchangeTest, AnExportNeverSpoilsTheWorkbookItReplacesAndCutsATextTooLongForACell) {
    tv::test::execSql(file, QStringLiteral("UPDATE zfdj SET dw = '%1' WHERE fjh = '101'").arg(QString(40000, u'租')));
    exportFrom(QStringLiteral("zfdj"));
    tick(QStringLiteral("dw"));
    for (const qint64 room : {qint64(0), qint64(3000)}) {  // the workbook takes some 7 KB
        SCOPED_TRACE(room);
        tv::test::FullDisk disk;
        const QString old = disk.filePath(QStringLiteral("旧.xlsx"));
        QFile f(old);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("old book") == 8);
        f.close();
        disk.fill(room);
        click<ex::outform>("Img1", old);
        tv::dlg::script::answerMsgBox(tv::dlg::Yes);
        click<ex::outform>("cmdout");
        const QString told = boxes();
        EXPECT_TRUE(told.startsWith(QStringLiteral("保存Excel文件失败：")) &&
                    told.contains(QStringLiteral("磁盘空间不足")))
            << told.toStdString();
        EXPECT_EQ(bytesOf(old), "old book");
        EXPECT_EQ(disk.files(), QStringList{QStringLiteral("旧.xlsx")});
    }
    const QString readOnly = dir.filePath(QStringLiteral("只读.xlsx"));
    QFile f(readOnly);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("old book") == 8);
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ReadGroup);
    click<ex::outform>("Img1", readOnly);
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), QString("无法替换“%1”：文件是只读的。").arg(readOnly));  // not asked to replace it
    EXPECT_EQ(bytesOf(readOnly), "old book");
    EXPECT_EQ(f.permissions() & 0x7077, QFile::ReadOwner | QFile::ReadGroup);

    const QString fresh = dir.filePath(QStringLiteral("长.xlsx"));
    click<ex::outform>("Img1", fresh);
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), "Excel文件已保存在：" + fresh + "\n其中1个单元格的文字超过Excel的上限（32767个字符），已截断。");
    const auto rows = tv::workbook::read(fresh).at(0).rows;
    ASSERT_EQ(rows.size(), 1u);  // the other row's dw is empty
    EXPECT_EQ(rows[0].at(0).toText(), QString(32767, u'租'));
}

// A workbook named through a link to a file the program keeps (the receipt
// file beside the data file exported from, that data file itself) is refused
// before the question, and nothing of the program's is written.
TEST_F(ExchangeTest, AnExportNeverWritesAFileOfTheProgramThroughALink) {
    const QString at = QFileInfo(dir.path()).canonicalFilePath();
    QFile receipts(at + "/Zjzd.txt");
    ASSERT_TRUE(receipts.open(QIODevice::WriteOnly) && receipts.write("receipts") == 8);
    receipts.close();
    const QByteArray data = bytesOf(file);
    exportFrom(QStringLiteral("zfdj"));
    tick(QStringLiteral("fjh"));
    const std::pair<const char*, QString> rows[] = {
        {"Zjzd.txt", "收据文件"},
        {"租房.mdb", "数据文件"},
    };
    for (const auto& [target, what] : rows) {
        SCOPED_TRACE(target);
        const QString link = at + "/出租.xlsx";
        QFile::remove(link);
        ASSERT_TRUE(QFile::link(at + '/' + QString::fromUtf8(target), link));
        click<ex::outform>("Img1", link);
        click<ex::outform>("cmdout");
        EXPECT_EQ(boxes(), "无法替换“" + link + "”：它实际上是本程序自用的" + what + "“" + at + '/' +
                               QString::fromUtf8(target) + "”。");
        EXPECT_EQ(bytesOf(at + "/Zjzd.txt") + ' ' + (bytesOf(file) == data ? "data kept" : "data changed"),
                  "receipts data kept");
    }
}

// The data file the export window picked, replaced by another program (or a
// new data file of that name): the export says so and saves nothing, instead
// of writing the rows of the file that is gone; picked again, it exports the
// rows the file now holds.
TEST_F(ExchangeTest, AnExportFromADataFileReplacedSincePickedSavesNothing) {
    exportFrom(QStringLiteral("zfdj"));
    tick(QStringLiteral("fjh"));
    const QString book = dir.filePath(QStringLiteral("房间.xlsx")), other = dir.filePath(QStringLiteral("新.mdb"));
    click<ex::outform>("Img1", book);
    tv::test::makeDataFile(other);
    tv::test::execSql(other, QStringLiteral("INSERT INTO zfdj (fjh) VALUES ('909');"));
    ASSERT_TRUE(std::rename(QFile::encodeName(other).constData(), QFile::encodeName(file).constData()) == 0);
    click<ex::outform>("cmdout");
    EXPECT_EQ(boxes(), "数据文件已被其他程序替换或移动，请重新打开数据文件。\n没有保存Excel文件。");
    EXPECT_FALSE(QFile::exists(book));
    exportFrom(QStringLiteral("zfdj"));
    tick(QStringLiteral("fjh"));
    click<ex::outform>("cmdout");
    EXPECT_EQ(readBack(book), "0t:909");
}

TEST_F(ExchangeTest, ImportAppendsByPositionAndCountsWhatWasStored) {
    const QString twin = QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx");
    tv::test::execSql(file, QStringLiteral("CREATE TABLE small (a TEXT, b TEXT);"));
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", twin);
    EXPECT_EQ(items(combo<ex::fexcel>("Com1")).join(' '), "数据 第二页");
    choose<ex::fexcel>("Com1", QStringLiteral("数据"));
    auto* preview = tableOf<ex::fexcel>("dg1");
    EXPECT_EQ(label<ex::fexcel>("Label3")->text() + label<ex::fexcel>("Label4")->text(), "共有2条记录共有6个字段");
    EXPECT_EQ(
        preview->model()->headerData(5, Qt::Horizontal).toString() + preview->model()->index(1, 3).data().toString(),
        "F6012345");
    click<ex::fexcel>("cmd1");
    click<ex::faccess>("Img2", file);
    choose<ex::faccess>("Com1", QStringLiteral("small"));
    click<ex::faccess>("cmd1");
    EXPECT_EQ(boxes(), "Excel表数据字段数大于Access表数据字段数!");
    choose<ex::faccess>("Com1", QStringLiteral("fzsdjs"));
    click<ex::faccess>("cmd1");
    EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;已成功导入2条记录!");
    EXPECT_EQ(
        tv::forms::the<ex::faccess>().widget()->windowTitle() + ctl<ex::faccess>("cmd2")->property("text").toString(),
        "数据导入完毕!关闭");
    EXPECT_FALSE(ctl<ex::faccess>("cmd1")->isEnabled());
    EXPECT_EQ(queryText(file,
                        "select group_concat(jfrq || fjh || xm || sfzhm || zj || sfsd1, '|') from fzsdjs "
                        "where rowid > 1"),
              "2024-01-05101张三4401011990010112348003.5|2024-02-29102李四01234519.99120");
    // A money cell "abc" and a reading too large to keep to a tenth: the row is kept, the fields take their
    // defaults, the second line counts the cells; into an empty table the other message. A sheet without rows
    // appends nothing and says nothing more.
    const QString bad = dir.filePath(QStringLiteral("bad.xlsx"));
    tv::workbook::Writer w(bad);
    const char* cells[] = {"2024-03-01", "103", "王五", "1", "abc", "99999999999999"};
    for (int c = 0; c < 6; ++c) w.write(0, c, tv::Value(cells[c]));
    w.close();
    Registry::unloadAll();
    tv::test::execSql(file, QStringLiteral("DELETE FROM bysj;"));
    importInto(bad, QStringLiteral("Sheet1"), file, QStringLiteral("bysj"));
    EXPECT_EQ(boxes(),
              "数据表没有记录，现在开始导入新数据;已成功导入1条记录!\n其中0行导入失败，2个单元格无法转换，已取默认值");
    EXPECT_EQ(
        queryText(file, "select jfrq || fjh || xm || sfzhm || ifnull(zj, 'NULL') || ifnull(bysb, 'NULL') from bysj"),
        "2024-03-01103王五1NULLNULL");
    Registry::unloadAll();
    importInto(twin, QStringLiteral("第二页"), file, QStringLiteral("bysj"));
    EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据");
    EXPECT_EQ(count(file, "bysj") + ctl<ex::faccess>("cmd2")->property("text").toString(), "1返回(&X)");
}

TEST_F(ExchangeTest, ImportStoresEachRowWithTheFieldsItFillsAndGoesOnPastARefusedRow) {
    tv::test::execSql(file, QStringLiteral("CREATE TABLE u (k TEXT UNIQUE, zj CURRENCY DEFAULT 9, d DATETIME DEFAULT "
                                           "'2000-01-01', xp BLOB);"));
    using V = tv::Value;
    const std::vector<V> rows[] = {
        {V("a"), V(1.5), V(QDate(2024, 1, 5)), V("photo")},  // a photo field takes nothing
        {V("b"), V("abc"), V("2024-2-3")},                   // money refused: its default
        {V("a"), V(int32_t(2))},                             // a second "a": the row is refused
        {V("c"), V(), V("no date")},                         // an empty cell is Null, a refused date its default
        {V("d"), V(3.25)},
    };
    const QString book = dir.filePath(QStringLiteral("rows.xlsx"));
    tv::workbook::Writer w(book);
    for (int r = 0; r < int(std::size(rows)); ++r)
        for (int c = 0; c < int(rows[r].size()); ++c) w.write(r, c, rows[r][c]);
    w.close();
    tv::workbook::Sheet sheet = tv::workbook::read(book).at(0);
    sheet.errors = 2;  // error values in the workbook: cells not taken
    const ex::ImportCounts n = ex::appendRows(*tv::Database::open(file), QStringLiteral("u"), sheet);
    EXPECT_EQ(QStringLiteral("%1 %2 %3").arg(n.stored).arg(n.failedRows).arg(n.failedCells), "4 1 5");
    EXPECT_EQ(queryText(file, "select group_concat(k || quote(zj) || quote(d) || quote(xp), '|') from u"),
              "a1.5'2024-01-05'NULL|b9'2024-02-03'NULL|cNULL'2000-01-01'NULL|d3.25NULLNULL");
}

// Only a row the engine refuses for its values is counted and passed over; a
// refusal that undoes the whole transaction (the table's own conflict clause)
// ends the import with nothing of it stored.
TEST_F(ExchangeTest, OnlyARowRefusedForItsValuesIsPassedOver) {
    tv::workbook::Sheet sheet;
    sheet.columns = 1;
    for (const char* k : {"a", "", "x", "a", "c"}) sheet.rows.push_back({{{0, *k ? tv::Value(k) : tv::Value()}}, {}});
    const struct {
        const char* column;
        const char* stored;  // what the table holds afterwards; "!" and the box's words when it ended
    } cases[] = {
        {"k TEXT NOT NULL", "a|x|a|c"},
        {"k TEXT CHECK (k <> 'x')", "a|NULL|a|c"},
        {"k TEXT UNIQUE ON CONFLICT ROLLBACK", "!数据与已有的记录重复，没有保存。"},
    };
    const auto db = tv::Database::open(file);
    for (const auto& c : cases) {
        tv::test::execSql(file, QStringLiteral("DROP TABLE IF EXISTS r; CREATE TABLE r (%1);").arg(c.column));
        QString got;
        try {
            const ex::ImportCounts n = ex::appendRows(*db, QStringLiteral("r"), sheet);
            got = QStringLiteral("%1 %2 ").arg(n.stored).arg(n.failedRows);
        } catch (const tv::DbError& e) {
            got = "!" + ex::nothingImported(e).section(QLatin1Char('\n'), 0, 0) + " ";
        }
        got += queryText(file, "select group_concat(ifnull(k, 'NULL'), '|') from r");
        EXPECT_EQ(got, c.stored[0] == '!' ? QString::fromUtf8(c.stored) + " " : QStringLiteral("4 1 ") + c.stored)
            << c.column;
    }
}

// A disk that fills half-way through an import: it ends at once, nothing of it
// is stored, the data file is whole, the box says why and 导入 is ready for
// another go. On a small tmpfs where the tests run as root; through the
// engine's own file layer where they do not; and at the engine's own limit of
// pages, where its transaction is still whole.
TEST_F(ExchangeTest, AFullDiskEndsTheImportAtOnceAndStoresNothing) {
    tv::test::execSql(file, QStringLiteral("CREATE TABLE big (n INTEGER, t TEXT); INSERT INTO big VALUES (0, 'x');"));
    const QString book = dir.filePath(QStringLiteral("big.xlsx"));
    tv::workbook::Writer w(book);
    for (int32_t r = 0; r < 3000; ++r) {  // some 3.6 MB to store
        w.write(r, 0, tv::Value(r));
        w.write(r, 1, tv::Value(QString(400, QChar(0x79DF + r % 7))));
    }
    w.close();
    enum Way { SmallDisk, Engine, PageLimit };
    for (const Way way : {SmallDisk, Engine, PageLimit}) {
        const QString folder = dir.filePath(QStringLiteral("disk%1").arg(way)), data = folder + "/满.mdb";
        std::optional<tv::test::SmallDisk> disk;
        std::optional<tv::test::FillingEngine> engine;
        std::shared_ptr<tv::Database> held;
        QDir().mkpath(folder);
        if (way == SmallDisk && !disk.emplace(folder, "1m").mounted())
            continue;  // not root: the engine's way stands for it
        ASSERT_TRUE(QFile::copy(file, data));
        if (way == Engine)
            engine.emplace(folder, QFileInfo(data).size() + (1 << 20));
        if (way == PageLimit) {
            held = tv::Database::open(data);  // the connection the window takes
            held->exec(QStringLiteral("pragma max_page_count = %1")
                           .arg(held->query(QStringLiteral("pragma page_count")).at(0).at(0).toInt() + 256));
        }
        Registry::unloadAll();
        importInto(book, QStringLiteral("Sheet1"), data, QStringLiteral("big"));
        EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;磁盘空间不足，没有导入任何记录。") << way;
        EXPECT_EQ(tv::forms::the<ex::faccess>().widget()->windowTitle() +
                      ctl<ex::faccess>("cmd2")->property("text").toString(),
                  "打开Access文件返回(&X)");
        EXPECT_TRUE(ctl<ex::faccess>("cmd1")->isEnabled());
        Registry::unloadAll();
        ex::connections() = {};
        held.reset();
        tv::Database::releaseUnused();
        EXPECT_EQ(count(data, "big") + queryText(data, "pragma integrity_check"), "1ok") << way;
    }
}

// The sheet chosen is kept in a temporary file for its preview: a folder of
// temporary files that cannot hold it says so, and no sheet is chosen (where
// the tests run as root, on a small full tmpfs).
TEST_F(ExchangeTest, APreviewTheTemporaryFolderCannotHoldSaysWhy) {
    const QString folder = dir.filePath(QStringLiteral("tmp"));
    tv::test::SmallDisk disk(folder, "64k");
    if (!disk.mounted())
        GTEST_SKIP() << "only root mounts a small disk";
    QFile filler(folder + "/filler");
    ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'x')) == 4096 && filler.flush()) {
    }
    filler.close();
    const QByteArray before = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder));
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", QStringLiteral(TV_FIXTURES_DIR "/workbook_disorder.xlsx"));
    choose<ex::fexcel>("Com1", QStringLiteral("数据"));
    if (before.isNull())
        qunsetenv("TMPDIR");
    else
        qputenv("TMPDIR", before);
    EXPECT_EQ(boxes(), "无法读取Excel文件：工作表无法存入临时文件（磁盘空间不足）。");
    EXPECT_EQ(combo<ex::fexcel>("Com1")->currentIndex(), -1);
    EXPECT_FALSE(ctl<ex::fexcel>("cmd1")->isEnabled());
}

// An import into a data file marked read-only, on a read-only disk or in a
// folder the program may not write (where the engine keeps its journal) is
// refused before any row is read, with the reason.
TEST_F(ExchangeTest, AnImportThatCannotBeWrittenIsRefusedBeforeAnyRowIsRead) {
    const bool root = ::geteuid() == 0;
    const struct {
        const char* name;
        bool made;  // only root mounts a disk; root writes into any folder
        const char* box;
    } cases[] = {
        {"file", true, "数据文件是只读的，不能写入。\n没有导入任何记录。"},
        {"disk", root, "数据文件是只读的，不能写入。\n没有导入任何记录。"},
        {"folder", !root, "数据文件所在的文件夹是只读的，不能写入。"},
    };
    for (const auto& c : cases) {
        if (!c.made)
            continue;
        const QString folder = dir.filePath(QString::fromLatin1(c.name)), data = folder + "/只读.mdb";
        std::optional<tv::test::SmallDisk> disk;
        QDir().mkpath(folder);
        if (QLatin1String(c.name) == QLatin1String("disk") && !disk.emplace(folder, "1m").mounted())
            continue;  // no mounting here
        ASSERT_TRUE(QFile::copy(file, data));
        if (QLatin1String(c.name) == QLatin1String("file"))
            QFile::setPermissions(data, QFileDevice::ReadOwner | QFileDevice::ReadGroup);
        if (disk) {
            ASSERT_TRUE(disk->makeReadOnly());
        }
        if (QLatin1String(c.name) == QLatin1String("folder"))
            QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
        Registry::unloadAll();
        importInto(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"), QStringLiteral("数据"), data,
                   QStringLiteral("fzsdjs"));
        EXPECT_TRUE(boxes().startsWith(QString::fromUtf8(c.box))) << c.name;
        EXPECT_EQ(tv::forms::the<ex::faccess>().widget()->windowTitle(), "打开Access文件");
        Registry::unloadAll();
        ex::connections() = {};
        tv::Database::releaseUnused();
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        EXPECT_EQ(count(data, "fzsdjs"), "1") << c.name;
    }
}

// A sheet of many rows: its preview shows any row it is scrolled to, and the
// import stores every row in the sheet's order; so does a workbook that keeps
// its rows out of order (the rows stored before that was seen are undone and
// stored again in order, none twice).
TEST_F(ExchangeTest, ALargeSheetIsPreviewedWhereverScrolledAndImportedInOrder) {
    tv::test::execSql(file, QStringLiteral("CREATE TABLE t (n INTEGER, name TEXT, c INTEGER);"));
    const QString book = dir.filePath(QStringLiteral("large.xlsx"));
    tv::workbook::Writer w(book);
    for (int32_t r = 0; r < 5000; ++r) {
        w.write(r, 0, tv::Value(r + 1));
        w.write(r, 1, tv::Value(QStringLiteral("租客%1").arg(r + 1)));
    }
    w.close();
    const struct {
        QString book;
        const char* sheet;
        const char* rows;  // the count, the first three and the last two stored
    } cases[] = {
        {book, "Sheet1", "5000 1租客1,2租客2,3租客3 4999,5000"},
        {QStringLiteral(TV_FIXTURES_DIR "/workbook_disorder.xlsx"), "数据", "1502 1行199,2行2,3行3 1501,1600"},
    };
    for (const auto& c : cases) {
        Registry::unloadAll();
        tv::test::execSql(file, QStringLiteral("DELETE FROM t;"));
        tv::forms::the<ex::fexcel>().show();
        click<ex::fexcel>("Img2", c.book);
        choose<ex::fexcel>("Com1", QString::fromUtf8(c.sheet));
        auto* grid = tableOf<ex::fexcel>("dg1");
        const QString count = QString::fromUtf8(c.rows).section(' ', 0, 0);
        EXPECT_EQ(label<ex::fexcel>("Label3")->text(), "共有" + count + "条记录");
        grid->scrollToBottom();
        QCoreApplication::processEvents();
        const int last = grid->rowAt(grid->viewport()->height() - 2);
        EXPECT_EQ(grid->model()->headerData(last, Qt::Vertical).toString(), count);
        EXPECT_EQ(grid->model()->index(last, 0).data().toString(),
                  QString::fromUtf8(c.rows).section(' ', -1).section(',', -1));
        click<ex::fexcel>("cmd1");
        click<ex::faccess>("Img2", file);
        choose<ex::faccess>("Com1", QStringLiteral("t"));
        click<ex::faccess>("cmd1");
        EXPECT_EQ(boxes(), "数据表没有记录，现在开始导入新数据;已成功导入" + count + "条记录!");
        EXPECT_EQ(queryText(file, "select count(*) from t") + ' ' +
                      queryText(file,
                                "select group_concat(n || name || ifnull(c, ''), ',') from "
                                "(select * from t order by rowid limit 3)") +
                      ' ' +
                      queryText(file,
                                "select group_concat(n, ',') from "
                                "(select n from (select rowid r, n from t order by rowid desc limit 2) order by r)"),
                  QString::fromUtf8(c.rows));
    }
}

TEST_F(ExchangeTest, RoundTripKeepsEveryFieldAndTheLegacyTwinImportsTheSame) {
    exportFrom(QStringLiteral("zfdj"));
    auto* list = listOf<ex::outform>("List1");
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    click<ex::outform>("Img1", dir.filePath(QStringLiteral("all.xlsx")));
    click<ex::outform>("cmdout");
    Registry::unloadAll();
    const QString other = dir.filePath(QStringLiteral("other.mdb"));
    tv::test::makeDataFile(other);
    importInto(dir.filePath(QStringLiteral("all.xlsx")), QStringLiteral("Sheet1"), other, QStringLiteral("zfdj"));
    EXPECT_EQ(boxes(), "数据表没有记录，现在开始导入新数据;已成功导入2条记录!");
    const QString fields = QStringLiteral(
        "select group_concat(quote(fjh)||quote(jzrs)||quote(xm)||quote(dw)||quote(sfzhm)||quote(rzrq)||quote(n1)"
        "||quote(xp), '|') from zfdj");
    EXPECT_EQ(queryText(other, fields), queryText(file, fields).replace(QStringLiteral("X'89504E47'"), "NULL"));
    EXPECT_EQ(queryText(other, "select group_concat(typeof(jzrs)||typeof(sfzhm)) from zfdj"),
              "integertext,integertext");

    // The .xls twin imports what its .xlsx twin imports, and so does an .xlsx named .xls.
    const QString renamed = dir.filePath(QStringLiteral("renamed.xls"));
    QFile::copy(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"), renamed);
    const QString rows =
        QStringLiteral("select group_concat(jfrq||fjh||xm||sfzhm||zj||sfsd1, '|') from fzsdjs where rowid > 1");
    QStringList got;
    const std::pair<QString, QString> books[] = {{QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xls"), "Sheet"},
                                                 {renamed, QStringLiteral("数据")}};
    for (const auto& [book, sheet] : books) {
        Registry::unloadAll();
        tv::test::execSql(other, QStringLiteral("DELETE FROM fzsdjs; INSERT INTO fzsdjs (fjh) VALUES ('x');"));
        importInto(book, sheet, other, QStringLiteral("fzsdjs"));
        EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;已成功导入2条记录!");
        got << queryText(other, rows);
    }
    EXPECT_EQ(got[0], "2024-01-05101张三4401011990010112348003.5|2024-02-29102李四01234519.99120");
    EXPECT_EQ(got[1], got[0]);
}

TEST_F(ExchangeTest, WorkbooksOfIndependentProgramsImportToTheSameRows) {
    // The same three rows as openpyxl, XlsxWriter, odfpy, xlwt and LibreOffice wrote them.
    const QString fields = QStringLiteral(
        "select group_concat(quote(jfrq)||quote(fjh)||quote(xm)||quote(sfzhm)||quote(zj)||quote(sfsd1)||"
        "quote(sfsd2)||quote(bysb)||quote(sysb)||quote(ysl)||quote(sdj)||quote(sf)||quote(hj), '|') from fzsdjs");
    const QString rows = QStringLiteral(
        "'2024-01-05''0101''张三''012345199001011234'1200NULL'0101-01-31'12501200503.50.68NULL|"
        "'2024-02-29''0102''欧阳·李四''044101199912319876'800.5NULL'0102-02-29'30NULL303.5NULLNULL|"
        "'1999-12-31''广州市天河区某某路123号'NULL'000000000000000000'0NULLNULL0-5-51234567.890.01NULL");
    const QDir books(QStringLiteral(TV_FIXTURES_DIR "/workbooks"));
    QStringList names = books.entryList({"*.xlsx", "*.xls", "*.ods"}, QDir::Files, QDir::Name);
    names.removeOne(QStringLiteral("formulas-only.xlsx"));
    EXPECT_EQ(names.size(), 8);
    for (const QString& name : names) {
        Registry::unloadAll();
        tv::test::execSql(file, QStringLiteral("DELETE FROM fzsdjs;"));
        importInto(books.filePath(name), QStringLiteral("收费"), file, QStringLiteral("fzsdjs"));
        EXPECT_EQ(boxes(), "数据表没有记录，现在开始导入新数据;已成功导入3条记录!") << name.toStdString();
        EXPECT_EQ(queryText(file, fields), rows) << name.toStdString();
    }
    // A sheet of formulas kept without results holds cells but no row: said so, nothing to import.
    Registry::unloadAll();
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", books.filePath(QStringLiteral("formulas-only.xlsx")));
    choose<ex::fexcel>("Com1", QStringLiteral("公式"));
    EXPECT_EQ(boxes(), "工作表“公式”中有6个单元格，但没有读出任何一行数据（公式没有保存计算结果，或单元格是错误值）。");
    EXPECT_FALSE(ctl<ex::fexcel>("cmd1")->isEnabled());
    EXPECT_FALSE(label<ex::fexcel>("Label3")->isVisible());
}

// ID numbers held as number cells go into a text field in plain digits: the workbook's own where it keeps
// them (.xlsx, .ods), else the number's; those whose digits may not all be exact (more than 15 significant
// ones) are counted in the closing message.
TEST_F(ExchangeTest, AnIdNumberHeldAsANumberImportsInPlainDigits) {
    const QString counted = QStringLiteral(
        "数据表没有记录，现在开始导入新数据;已成功导入5条记录!\n"
        "其中2个数字单元格超过15位有效数字（如身份证号码），末几位可能不准确，请核对");
    const char* exact =
        "101440301199001011234800|102440301199001011000800|103440301900101123800|"
        "104440301199001011300800|10544030119900101123X800";
    const struct {
        const char* book;
        const char* sheet;
        const char* rows;  // fjh, sfzhm, zj of each row stored
    } cases[] = {
        {"workbook_ids.xlsx", "数据", exact},
        {"workbook_ids.ods", "表一", exact},
        {"workbook_ids.xls", "数据",
         "101440301199001011260800|102440301199001011000800|103440301900101123800|104440301199001011300800|"
         "10544030119900101123X800"},
    };
    for (const auto& c : cases) {
        Registry::unloadAll();
        tv::test::execSql(file, QStringLiteral("DELETE FROM bysj;"));
        // The preview shows each ID number as it will be stored.
        const QString book = QStringLiteral(TV_FIXTURES_DIR "/") + c.book;
        tv::forms::the<ex::fexcel>().show();
        click<ex::fexcel>("Img2", book);
        choose<ex::fexcel>("Com1", QString::fromUtf8(c.sheet));
        QStringList previewed;  // fjh, sfzhm, zj of each row, as for the rows stored
        const QAbstractItemModel* preview = tableOf<ex::fexcel>("dg1")->model();
        for (int r = 0; r < preview->rowCount(); ++r)
            previewed << preview->index(r, 1).data().toString() + preview->index(r, 3).data().toString() +
                             preview->index(r, 4).data().toString();
        importInto(book, QString::fromUtf8(c.sheet), file, QStringLiteral("bysj"));
        EXPECT_EQ(boxes(), counted) << c.book;
        EXPECT_EQ(queryText(file, "select group_concat(fjh || sfzhm || zj, '|') from bysj"), QString::fromUtf8(c.rows))
            << c.book;
        EXPECT_EQ(previewed.join('|'), QString::fromUtf8(c.rows)) << c.book;
    }
}

TEST_F(ExchangeTest, APipeOrADeviceForAWorkbookIsRefusedAtOnce) {
    const QString fifo = dir.filePath(QStringLiteral("fifo.xlsx"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    tv::forms::the<ex::fexcel>().show();
    for (const QString& path : {fifo, QStringLiteral("/dev/zero")}) {
        click<ex::fexcel>("Img2", path);
        EXPECT_EQ(boxes(), "无法读取Excel文件：所选的不是一个普通文件。");
        EXPECT_EQ(combo<ex::fexcel>("Com1")->count(), 0);
    }
}

TEST_F(ExchangeTest, LibreOfficeReadsEveryCellOfTheExport) {
    // LibreOffice Calc, a client of its own, turns the export into CSV: every cell as the table has it.
    tv::test::execSql(file,
                      QStringLiteral("INSERT INTO fzsdjs (jfrq, fjh, xm, sfzhm, zj, bysb, sdj, sf, hj) VALUES "
                                     "('1999-12-31', '0102', '李, \"四\"', '012345678901234567', -1234567.5, 0.1, 3.5, "
                                     "0.68, 1234567.89), (NULL, '', NULL, NULL, 0, NULL, NULL, NULL, NULL);"));
    exportFrom(QStringLiteral("fzsdjs"));
    auto* list = listOf<ex::outform>("List1");
    for (int i = 0; i < list->count(); ++i) list->item(i)->setCheckState(Qt::Checked);
    const QString out = dir.filePath(QStringLiteral("fzsdjs.xlsx"));
    click<ex::outform>("Img1", out);
    click<ex::outform>("cmdout");
    QTemporaryDir profile;
    QProcess soffice;
    soffice.start(
        QStringLiteral("soffice"),
        {QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile.path()).toString(),
         QStringLiteral("--headless"), QStringLiteral("--convert-to"),
         QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"), QStringLiteral("--outdir"), dir.path(), out});
    ASSERT_TRUE(soffice.waitForStarted(30000)) << "soffice is missing: scripts/install-deps installs it";
    ASSERT_TRUE(soffice.waitForFinished(120000));
    ASSERT_EQ(soffice.exitCode(), 0) << soffice.readAllStandardError().toStdString();
    QFile csv(dir.filePath(QStringLiteral("fzsdjs.csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    // The table's cells as the export shows them: money "0.00", dates yyyy-mm-dd, readings as typed.
    const auto db = tv::Database::open(file);
    QStringList expected;
    for (const auto& row : db->query(QStringLiteral("select * from fzsdjs"))) {
        QStringList cells;
        for (const tv::Value& v : row) {
            QString t = v.kind() == tv::Value::Kind::Money ? tv::format00(v.toMoney()) : v.toText();
            cells << (t.contains(QRegularExpression(QStringLiteral("[,\"]")))
                          ? QLatin1Char('"') + t.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"')
                          : t);
        }
        expected << cells.join(QLatin1Char(','));
    }
    EXPECT_EQ(QString::fromUtf8(csv.readAll()).trimmed(), expected.join(QLatin1Char('\n')));
}

TEST_F(ExchangeTest, ADamagedWorkbookSaysWhyAndChangesNothing) {
    const QByteArray twin = [] {
        QFile f(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"));
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const struct {
        const char* name;
        QByteArray bytes;
    } cases[] = {{"cut.xlsx", twin.left(1500)}, {"noise.xls", QByteArray(3000, 'x')}};
    tv::forms::the<ex::fexcel>().show();
    for (const auto& c : cases) {
        const QString path = dir.filePath(QString::fromLatin1(c.name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(c.bytes);
        f.close();
        click<ex::fexcel>("Img2", path);
        EXPECT_TRUE(boxes().startsWith(QStringLiteral("无法读取Excel文件："))) << c.name;
        EXPECT_EQ(combo<ex::fexcel>("Com1")->count(), 0);
        EXPECT_FALSE(ctl<ex::fexcel>("cmd1")->isEnabled());
    }
    click<ex::fexcel>("Img2", QString(""));
    EXPECT_EQ(boxes(), "请重新选择Excel文件!");
    // A 1 KB sheet that repeats a value over every cell: refused at once when chosen, no sheet chosen.
    click<ex::fexcel>("Img2", QStringLiteral(TV_FIXTURES_DIR "/workbook_repeat_all.ods"));
    choose<ex::fexcel>("Com1", QStringLiteral("表一"));
    EXPECT_EQ(boxes(), "Excel文件太大，不能读取：工作表“表一”的单元格重复展开后多于16777216个。");
    EXPECT_EQ(combo<ex::fexcel>("Com1")->currentIndex(), -1);
    EXPECT_FALSE(ctl<ex::fexcel>("cmd1")->isEnabled());
    // A workbook damaged after its preview: the import reads it anew, says why and stores nothing.
    const QString book = dir.filePath(QStringLiteral("twin.xlsx"));
    QFile::copy(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"), book);
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", book);
    choose<ex::fexcel>("Com1", QStringLiteral("数据"));
    click<ex::fexcel>("cmd1");
    QFile f(book);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(twin.left(1500));
    f.close();
    click<ex::faccess>("Img2", file);
    choose<ex::faccess>("Com1", QStringLiteral("fzsdjs"));
    click<ex::faccess>("cmd1");
    EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;无法读取Excel文件：文件不完整或已损坏。");
    EXPECT_EQ(tv::forms::the<ex::faccess>().widget()->windowTitle(), "打开Access文件");
    EXPECT_EQ(count(file, "fzsdjs") + count(file, "zfdj"), "12");
}

// Long exchanges show their progress in rows, and 取消 undoes all of them:
// an export cancelled at its first row, at its last or once every row is
// written leaves no file and an old one as it was; the reading of a sheet
// for its preview cancelled chooses no sheet; an import cancelled at any
// row, also after its last, stores nothing and says so, and 导入 stays
// ready for another go.
TEST_F(ExchangeTest, ProgressCountsTheRowsAndACancelLeavesNoFileAndStoresNothing) {
    QStringList seen;
    QString saving;
    int cancelAt = 0;
    bool cancelReading = false;
    tv::dlg::progress::setShowAfter(0);
    tv::dlg::progress::setWatcher([&](QProgressDialog& dialog) {
        const QString line = dialog.windowTitle() + '|' + dialog.labelText().section('\n', -1);
        // The reading of the workbook (its sheets, then the sheet chosen, in rows): cancelled when asked.
        if (dialog.windowTitle() == QStringLiteral("打开Excel文件")) {
            if (cancelReading && line.endsWith(QStringLiteral("行")))
                QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
            return;
        }
        if (!seen.isEmpty() && seen.back() == line)
            return;  // the same again, while the reading process works
        seen << line;
        saving = dialog.labelText().section('\n', 0, 0);
        if (seen.size() == cancelAt)
            QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    });
    const QString out = dir.filePath(QStringLiteral("导出.xlsx"));
    exportFrom(QStringLiteral("zfdj"));
    tick(QStringLiteral("fjh"));
    click<ex::outform>("Img1", out);
    click<ex::outform>("cmdout");  // never cancelled
    EXPECT_EQ(seen.join(' '),
              "导出Excel|已完成 0 行，共 2 行 导出Excel|已完成 1 行，共 2 行 导出Excel|已完成 2 行，共 2 行");
    EXPECT_EQ(saving, "正在保存“" + out + "”");
    const QByteArray written = bytesOf(out);
    opened.clear();
    for (cancelAt = 1; cancelAt <= 3; ++cancelAt) {
        seen.clear();
        tv::dlg::script::answerMsgBox(tv::dlg::Yes);  // replace it
        click<ex::outform>("cmdout");
        EXPECT_EQ(boxes(), "导出已取消，没有保存Excel文件。") << cancelAt;
        EXPECT_EQ(seen.size(), cancelAt);
        EXPECT_EQ(bytesOf(out), written);
        EXPECT_EQ(QDir(dir.path()).entryList({"*.xlsx"}, QDir::Files | QDir::Hidden).join(' '), "导出.xlsx");
    }
    EXPECT_EQ(opened, QStringList());

    cancelReading = true;
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"));
    choose<ex::fexcel>("Com1", QStringLiteral("数据"));
    EXPECT_EQ(combo<ex::fexcel>("Com1")->currentIndex(), -1);
    EXPECT_FALSE(ctl<ex::fexcel>("cmd1")->isEnabled() || label<ex::fexcel>("Label3")->isVisible());
    EXPECT_EQ(tableOf<ex::fexcel>("dg1")->model()->rowCount(), 0);
    cancelReading = false;

    const QString fields = QStringLiteral("select group_concat(fjh || xm, ',') from fzsdjs");
    const QString before = queryText(file, fields);
    for (cancelAt = 1; cancelAt <= 3; ++cancelAt) {
        seen.clear();
        Registry::unloadAll();
        importInto(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"), QStringLiteral("数据"), file,
                   QStringLiteral("fzsdjs"));
        EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;导入已取消，数据表没有改变，没有导入任何记录。");
        EXPECT_EQ(seen.join(' '), QStringList({"导入数据|已完成 0 行，共 2 行", "导入数据|已完成 1 行，共 2 行",
                                               "导入数据|已完成 2 行，共 2 行"})
                                      .mid(0, cancelAt)
                                      .join(' '));
        EXPECT_EQ(queryText(file, fields), before);
        EXPECT_EQ(tv::forms::the<ex::faccess>().widget()->windowTitle() +
                      ctl<ex::faccess>("cmd2")->property("text").toString(),
                  "打开Access文件返回(&X)");
        EXPECT_TRUE(ctl<ex::faccess>("cmd1")->isEnabled());
    }
    cancelAt = 0;
    click<ex::faccess>("cmd1");  // once more, to its end
    EXPECT_EQ(boxes(), "数据表内有记录，现在开始导入新数据;已成功导入2条记录!");
    EXPECT_EQ(queryText(file, fields), before + ",101张三,102李四");
    tv::dlg::progress::setWatcher(nullptr);
    tv::dlg::progress::setShowAfter(1000);
}

// The file dialogs of the exchange windows start in the folder of the file
// last chosen and used, by any of them (or by the data-file dialog): a file
// that could not be used leaves it where it was.
TEST_F(ExchangeTest, FileDialogsStartInTheFolderOfTheFileLastChosenAndUsed) {
    const QString start = QDir::currentPath();
    QDir(dir.path()).mkpath(QStringLiteral("数据/工作簿"));
    QDir(dir.path()).mkpath(QStringLiteral("导出"));
    const QString data = dir.filePath(QStringLiteral("数据/a.mdb")),
                  books = dir.filePath(QStringLiteral("数据/工作簿"));
    tv::test::makeDataFile(data);
    QFile::copy(QStringLiteral(TV_FIXTURES_DIR "/exchange_twin.xlsx"), books + "/twin.xlsx");
    QFile(books + "/bad.xlsx").open(QIODevice::WriteOnly);
    QDir::setCurrent(dir.path());
    struct Step {
        const char* window;
        const char* picker;
        QString file;    // chosen
        QString folder;  // where its dialog starts
    } steps[] = {
        {"outform", "Img2", data, dir.path()},
        {"outform", "Img1", dir.filePath(QStringLiteral("导出/x.xlsx")), dir.filePath(QStringLiteral("数据"))},
        {"outform", "cmdout", QString(), QString()},  // the export used the workbook's name
        {"outform", "Img2", dir.filePath(QStringLiteral("数据/none.mdb")), dir.filePath(QStringLiteral("导出"))},
        {"fexcel", "Img2", books + "/bad.xlsx", dir.filePath(QStringLiteral("导出"))},  // does not open
        {"fexcel", "Img2", books + "/twin.xlsx", dir.filePath(QStringLiteral("导出"))},
        {"faccess", "Img2", data, books},
        {"faccess", "Img2", QString(""), dir.filePath(QStringLiteral("数据"))},  // cancelled
        {"fexcel", "Img2", QString(""), dir.filePath(QStringLiteral("数据"))},
    };
    auto windowOf = [](const QString& name) -> tv::forms::Form* {
        if (name == "outform")
            return &tv::forms::the<ex::outform>();
        if (name == "fexcel")
            return &tv::forms::the<ex::fexcel>();
        return &tv::forms::the<ex::faccess>();
    };
    QStringList folders, expected;
    for (const Step& s : steps) {
        tv::forms::Form* w = windowOf(s.window);
        w->show();
        if (QLatin1String(s.picker) == QLatin1String("cmdout")) {
            tick(QStringLiteral("fjh"));
            w->control<QPushButton>(QStringLiteral("cmdout"))->click();
            continue;
        }
        tv::dlg::script::clearCalls();
        tv::dlg::script::answerFile(s.file);
        w->control<QPushButton>(QString::fromLatin1(s.picker))->click();
        folders << tv::dlg::script::calls().at(0).folder;
        expected << s.folder;
        if (QLatin1String(s.picker) == QLatin1String("Img2") && QLatin1String(s.window) == QLatin1String("outform") &&
            s.file == data)
            choose<ex::outform>("Combo1", QStringLiteral("zfdj"));
    }
    EXPECT_EQ(folders, expected);
    EXPECT_EQ(boxes(),
              "无法打开数据文件。;"
              "无法读取Excel文件：不是Excel文件（只能读取 .xlsx、.xls 和 .ods 工作簿）。;"
              "请重新选择Access文件! ;请重新选择Excel文件!");
    QDir::setCurrent(start);
}

// The field list of the export and the field grid of the import, at their
// top: the scroll bar's handle stands at the top of its groove and is the
// darker of the two, as the program draws scroll bars, so it does not read
// as a handle at the bottom.
TEST_F(ExchangeTest, TheFieldListsShowTheirScrollHandleAtTheTopWhereTheyAre) {
    tv::forms::useClearScrollBars();  // as the program starts
    exportFrom(QStringLiteral("zfdj"));
    tv::forms::the<ex::faccess>().show();
    click<ex::faccess>("Img2", file);
    choose<ex::faccess>("Com1", QStringLiteral("zfdj"));
    QCoreApplication::processEvents();  // laid out, as when they are painted
    const std::pair<const char*, QAbstractScrollArea*> lists[] = {
        {"List1", listOf<ex::outform>("List1")}, {"msg1", ctl<ex::faccess, QAbstractScrollArea>("msg1")}};
    for (const auto& [name, list] : lists) {
        QScrollBar* bar = list->verticalScrollBar();
        ASSERT_TRUE(bar->isVisible() && bar->value() == 0 && bar->maximum() > 0) << name;
        const QImage shot = bar->grab().toImage();
        // The groove between the two arrow buttons: a quarter down it, and near its end.
        const int x = shot.width() / 2, arrow = shot.width(), track = shot.height() - 2 * arrow;
        const int top = qGray(shot.pixel(x, arrow + track / 4)), end = qGray(shot.pixel(x, arrow + track * 9 / 10));
        EXPECT_LT(top + 40, end) << name << ": handle " << top << ", groove " << end;
    }
}

// The preview of a sheet and the field grid of a table show every text whole,
// with room to spare: long ID numbers and addresses, a long field name.
TEST_F(ExchangeTest, ThePreviewAndTheFieldGridShowEachTextWhole) {
    tv::test::execSql(file, QStringLiteral("CREATE TABLE 长名 (租客身份证号码与联系电话及工作单位 TEXT, b TEXT);"));
    tv::forms::the<ex::fexcel>().show();
    click<ex::fexcel>("Img2", QStringLiteral(TV_FIXTURES_DIR "/workbooks/openpyxl.xlsx"));
    choose<ex::fexcel>("Com1", QStringLiteral("收费"));
    click<ex::fexcel>("cmd1");
    click<ex::faccess>("Img2", file);
    choose<ex::faccess>("Com1", QStringLiteral("长名"));
    QStringList cut;
    int texts = 0;
    for (QTableView* grid :
         {tableOf<ex::fexcel>("dg1"), static_cast<QTableView*>(ctl<ex::faccess, QTableView>("msg1"))}) {
        const QAbstractItemModel* m = grid->model();
        for (int r = 0; r < m->rowCount(); ++r)
            for (int c = 0; c < m->columnCount(); ++c) {
                const QString text = m->index(r, c).data().toString();
                texts += !text.isEmpty();
                if (grid->fontMetrics().horizontalAdvance(text) + 8 > grid->columnWidth(c))
                    cut << text;
            }
    }
    EXPECT_EQ(cut, QStringList());
    EXPECT_GT(texts, 30);
    EXPECT_EQ(tableOf<ex::fexcel>("dg1")->model()->index(2, 1).data(Qt::ToolTipRole).toString(),
              QStringLiteral("广州市天河区某某路123号"));
}
