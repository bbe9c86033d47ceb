// The settlement file as the settlement window keeps it, driven as a user
// does: a bill double-clicked, the mode ticked, the days typed, 确认. What
// the window says and what the folder then holds: the file whole or the old
// one as it was, never a file the program keeps there, never debris.

#include "fees/FrmTfjs.h"
#include "platform/shell/Shell.h"
#include "platform/text/Gbk.h"
#include "support/FullDisk.h"
#include "support/OddFiles.h"
#include "support/WindowTest.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

namespace {

using tv::forms::Registry;
namespace script = tv::dlg::script;

// Three bills of one month: rooms 101, Zjzd and zjzd.
const char* const kBills =
    "INSERT INTO fzsdjs VALUES ('2021-08-31', '101', '张三', '1', 1000, '2021-08-01', '2021-08-31', 120.5, 100.25, "
    "20.25, 3.5, 70.88, 2345.5, 2300, 45.5, 1.2, 54.6, 60, 1185.48), ('2021-08-31', 'Zjzd', '李四', '2', 900, "
    "'2021-08-01', '2021-08-31', 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 900), ('2021-08-31', 'zjzd', '王五', '3', 900, "
    "'2021-08-01', '2021-08-31', 1, 1, 0, 1, 0, 1, 1, 0, 1, 0, 0, 900);";

class SettlementFileTest : public tv::test::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        failing = script::unexpectedHandler();
        script::setUnexpectedHandler([](const tv::dlg::Call&) {});  // the window's messages are read afterwards
        Registry::add(QStringLiteral("FrmTfjs"), [] { return new tv::fees::FrmTfjs; });
        tv::test::execSql(file, kBills);
        tv::state().DataFilePath = file;
    }
    void TearDown() override {
        QDir::setCurrent(startFolder);
        script::setUnexpectedHandler(failing);
        WindowTest::TearDown();
    }
    template <class T>
    T* ctl(const char* name) {
        return Registry::instance(QStringLiteral("FrmTfjs"))->control<T>(QString::fromLatin1(name));
    }
    void type(const char* name, const QString& text) {
        QLineEdit* box = ctl<QLineEdit>(name);
        box->setFocus();
        box->selectAll();
        box->del();
        for (const QChar ch : text) box->insert(ch);  // each key handled
    }
    // Settles the bill of grid row `row` (from 1) paid in advance, 12 days
    // of 30 lived; what the window said.
    QString settle(int row) {
        auto* grid = ctl<QTableView>("DBGrid1");
        const QModelIndex at = grid->model()->index(row - 1, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at).center());
        QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(at).center());
        ctl<QCheckBox>("Check1")->click();
        type("TxtByts", "30");
        type("TxtJzts", "12");
        ctl<QPushButton>("CmdQr")->click();
        QStringList said;
        for (const tv::dlg::Call& c : script::calls()) said << c.text;
        script::clearCalls();
        return said.join(';');
    }
    std::function<void(const tv::dlg::Call&)> failing;
    const QString startFolder = QDir::currentPath();
};

// A folder as "name=first line" (its first line up to CR LF), "name/" for a
// folder, "!" after a file marked read-only; ',' between.
QString folder(const tv::test::FullDisk& disk) {
    QStringList out;
    for (const QString& name : disk.files()) {
        const QFileInfo info(disk.filePath(name));
        QFile f(info.filePath());
        out << (info.isDir()                  ? name + '/'
                : f.open(QIODevice::ReadOnly) ? name + '=' + tv::text::fromGbk(f.readAll()).section("\r\n", 0, 0)
                                              : name);
        if (!info.isDir() && !(info.permissions() & QFile::WriteOwner))
            out.last() += '!';
    }
    return out.join(',');
}

}  // namespace

TEST_F(SettlementFileTest, ASettlementIsKeptWholeOrNotAtAllAndNeverInAFileTheProgramKeeps) {
    const QString saved = "租客退房结算账单计算及保存成功！";
    const QString fresh = "101.txt=\"101\",\"2021-08-31\"";
    const QString failed = "租客退房结算账单保存失败：“$DIR/101.txt”写不进去（%1）。";  // $DIR: where it lands
    struct Row {
        const char* what;
        int row;         // 1: room 101, 2: room Zjzd, 3: room zjzd
        QString before;  // the folder before, as folder() shows it ("name/" makes a folder, "!" read-only)
        bool full;       // the disk is full
        QString told, after;
    } rows[] = {
        {"a new file", 1, "", false, saved, fresh},
        {"over the old one", 1, "101.txt=old", false, saved, fresh},
        {"full disk, old file", 1, "101.txt=old", true, failed.arg("磁盘空间不足"), "101.txt=old"},
        {"full disk, no file", 1, "", true, failed.arg("磁盘空间不足"), ""},
        {"read-only", 1, "101.txt=old!", false, failed.arg("文件是只读的"), "101.txt=old!"},
        {"a folder", 1, "101.txt/", false, failed.arg("这是一个文件夹"), "101.txt/"},
        {"the receipt file", 2, "Zjzd.txt=┌──┐", false,
         "房间编号为“Zjzd”的结算账单文件会替换本程序自用的文件“Zjzd.txt”，租客退房结算账单没有保存！", "Zjzd.txt=┌──┐"},
        {"the receipt file in other letters", 3, "", false,
         "房间编号为“zjzd”的结算账单文件会替换本程序自用的文件“Zjzd.txt”，租客退房结算账单没有保存！", ""},
        {"debris of a killed save", 1, ".tenvora-Ab12Cd.tmp=half", false, saved, fresh},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        tv::test::FullDisk disk;
        for (const QString& entry : row.before.split(',', Qt::SkipEmptyParts)) {
            const QString name = entry.section('=', 0, 0);
            if (name.endsWith('/')) {
                ASSERT_TRUE(QDir(disk.path()).mkdir(name.chopped(1)));
                continue;
            }
            QFile f(disk.filePath(name));
            QString text = entry.section('=', 1);
            const bool readOnly = text.endsWith('!');
            if (readOnly)
                text.chop(1);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(tv::text::toGbk(text)) > 0);
            f.close();
            if (readOnly)
                f.setPermissions(QFile::ReadOwner | QFile::ReadGroup);
        }
        if (row.full)
            disk.fill();
        tv::forms::the<tv::fees::FrmTfjs>().show();
        QDir::setCurrent(disk.path());  // where a settlement file lands
        EXPECT_EQ(settle(row.row), QString(row.told).replace("$DIR", QDir::currentPath()));
        QDir::setCurrent(startFolder);
        EXPECT_EQ(folder(disk), row.after);
        Registry::instance(QStringLiteral("FrmTfjs"))->unload();
    }
}

// A settlement file whose name is a link (symbolic or hard) to a file the
// program keeps: the receipt file beside the data file or its staging file
// not made yet, the user database, the template, the program folder, the
// data file. Nothing of the program's is written, and the message names the
// file tried and the file it would have been; a link to a file of the user's
// own is followed as before.
TEST_F(SettlementFileTest, ASettlementThroughALinkNeverWritesAFileOfTheProgram) {
    const QString at = QFileInfo(dir.path()).canonicalFilePath();  // beside the data file
    const QString program = at + "/程序";
    ASSERT_TRUE(QDir(at).mkpath("程序/MDB"));
    tv::shell::setProgramFolder(program);
    tv::test::makeUserDb(program + "/Rave.ini");
    tv::test::makeDataFile(program + "/MDB/Lunrek.mdb");
    tv::state().UserDbPath = program + "/Rave.ini";
    const QStringList kept = {"Zjzd.txt", "租房.mdb", "程序/Rave.ini", "程序/MDB/Lunrek.mdb"};
    QFile receipts(at + "/Zjzd.txt");
    ASSERT_TRUE(receipts.open(QIODevice::WriteOnly) && receipts.write("receipts\r\n") > 0);
    receipts.close();
    const auto bytes = [&] {
        QStringList out;
        for (const QString& name : kept) {
            QFile f(at + '/' + name);
            out << (f.open(QIODevice::ReadOnly) ? f.readAll().toHex() : QString("(none)"));
        }
        return out << QDir(program).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).join(' ')
                   << QDir(at).entryList({"Zjzd*", ".Zjzd*"}, QDir::AllEntries | QDir::Hidden).join(' ');
    };
    const QString saved = "租客退房结算账单计算及保存成功！";
    const QString refused =
        "租客退房结算账单保存失败：“" + at + "/101.txt”写不进去（它实际上是本程序自用的%1“" + at + "/%2”）。";
    const struct Row {
        const char* what;
        char link;           // 's' symbolic, 'h' hard
        const char* target;  // in the data file's folder
        QString told;
    } rows[] = {
        {"receipt file", 's', "Zjzd.txt", refused.arg("收据文件", "Zjzd.txt")},
        {"receipt file, hard", 'h', "Zjzd.txt", refused.arg("收据文件", "Zjzd.txt")},
        {"staging file not there yet", 's', "Zjzd.txt.new", refused.arg("收据文件的暂存文件", "Zjzd.txt.new")},
        {"hidden lock", 's', ".Zjzd.txt.lock", refused.arg("收据文件的锁文件", ".Zjzd.txt.lock")},
        {"user database", 's', "程序/Rave.ini", refused.arg("用户数据库", "程序/Rave.ini")},
        {"user database, hard", 'h', "程序/Rave.ini", refused.arg("用户数据库", "程序/Rave.ini")},
        {"template", 's', "程序/MDB/Lunrek.mdb", refused.arg("模板数据文件", "程序/MDB/Lunrek.mdb")},
        {"program folder", 's', "程序", refused.arg("程序文件夹", "程序")},
        {"data file, hard", 'h', "租房.mdb",
         "房间编号为“101”的结算账单文件会替换本程序自用的文件“租房.mdb”，租客退房结算账单没有保存！"},
        {"a file of the user's", 's', "mine.txt", saved},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        QFile::remove(at + "/101.txt");
        QFile::remove(at + "/mine.txt");
        const QString target = at + '/' + row.target;
        ASSERT_TRUE(tv::test::makeLink(row.link, target, at + "/101.txt")) << "link to " << row.target;
        const QStringList before = bytes();
        tv::forms::the<tv::fees::FrmTfjs>().show();
        QDir::setCurrent(at);
        EXPECT_EQ(settle(1), row.told);
        QDir::setCurrent(startFolder);
        EXPECT_EQ(bytes(), before);
        if (row.told == saved) {
            QFile mine(target);
            EXPECT_TRUE(mine.open(QIODevice::ReadOnly) && mine.readAll().startsWith("\"101\",\"2021-08-31\"\r\n"));
        }
        Registry::instance(QStringLiteral("FrmTfjs"))->unload();
    }
    tv::shell::setProgramFolder(QString());
}
