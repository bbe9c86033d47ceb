#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/shell/Shell.h"
#include "support/FullDisk.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProgressDialog>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

using namespace tv::shell;
namespace script = tv::dlg::script;

namespace {

// Scripted dialogs; the test main's handler fails the test at an unscripted one.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override { script::begin(); }
    void TearDown() override {
        EXPECT_EQ(script::pending(), 0);
        script::end();
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QByteArray read(const QString& name) const {
        QFile f(path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QStringList files() const { return QDir(dir.path()).entryList(QDir::Files); }
    QTemporaryDir dir;
};

}  // namespace

TEST_F(ShellTest, CopyMakesANewFileCopiesIntoAFolderOrAsksBeforeReplacing) {
    EXPECT_EQ(resolve("sub/../b.txt", dir.path()), path("b.txt"));
    EXPECT_EQ(resolve(QString(), dir.path()), QString());  // never the folder itself
    write("模板.mdb", "template");
    ASSERT_TRUE(QDir(dir.path()).mkdir("E"));
    for (const char* target : {"新数据", "E"}) EXPECT_EQ(copyFile("模板.mdb", target, dir.path()), CopyOutcome::Copied);
    EXPECT_EQ(read("新数据") + read("E/模板.mdb"), "templatetemplate");
    EXPECT_TRUE(script::calls().empty());

    write("old.mdb", "precious");
    script::answerMsgBox(tv::dlg::No);
    EXPECT_TRUE(copyFile(path("模板.mdb"), path("old.mdb")) == CopyOutcome::Declined && read("old.mdb") == "precious");
    script::answerMsgBox(tv::dlg::Yes);
    EXPECT_TRUE(copyFile(path("模板.mdb"), path("old.mdb")) == CopyOutcome::Copied && read("old.mdb") == "template");
    EXPECT_TRUE(script::calls().size() == 2 && script::calls()[0].style == (tv::dlg::YesNo | tv::dlg::Question));
    EXPECT_EQ(files().size(), 3);  // no temporary copies left
}

TEST_F(ShellTest, CopyFailuresAreReturnedWithTheirReasonUntoldAndLeaveNothingBehind) {
    write("a.txt", "A");
    ASSERT_TRUE(QDir(dir.path()).mkdir("F"));
    QString why;
    EXPECT_TRUE(copyFile("missing.txt", "b.txt", dir.path(), &why) == CopyOutcome::Missing &&
                why.contains("missing.txt"));
    for (const char* target : {"a.txt", "F/../a.txt", "./"})
        EXPECT_EQ(copyFile("a.txt", target, dir.path()), CopyOutcome::Same);
    for (const auto& [source, target] : {std::pair{"a.txt", "nofolder/b.txt"}, {"a.txt", ""}, {"F", "G"}}) {
        why.clear();
        EXPECT_TRUE(copyFile(source, target, dir.path(), &why) == CopyOutcome::Failed && !why.isEmpty()) << target;
    }
    EXPECT_TRUE(script::calls().empty());  // the caller tells the user
    EXPECT_EQ(files().join(',') + '=' + read("a.txt"), "a.txt=A");
}

// A copy of several pieces with its progress shown from the first piece on:
// what the dialog says at each step, and 取消 pressed at one of them. A
// cancelled copy leaves no target, or the old one as it was, and no
// temporary file; 取消 after the last piece still cancels.
TEST_F(ShellTest, ACopyShowsItsProgressAndACancelLeavesNoHalfFileAndTheOldOneIntact) {
    const QByteArray big(3 * kCopyChunk + 5, 'x');
    write("大文件.mdb", big);
    struct Row {
        const char* target;
        const char* before;  // "" when there is none
        int cancelAt;        // the step whose 取消 is pressed, 0: none
        CopyOutcome outcome;
        QByteArray after;
    } rows[] = {
        {"新.mdb", "", 2, CopyOutcome::Cancelled, "<missing>"},
        {"旧.mdb", "precious", 1, CopyOutcome::Cancelled, "precious"},
        {"旧.mdb", "precious", 5, CopyOutcome::Cancelled, "precious"},
        {"旧.mdb", "precious", 0, CopyOutcome::Copied, big},
    };
    // The bar in thousandths and the amount line, at each step.
    const QStringList steps = {"0 已完成 0 KB，共 3.0 MB", "333 已完成 1.0 MB，共 3.0 MB",
                               "666 已完成 2.0 MB，共 3.0 MB", "999 已完成 3.0 MB，共 3.0 MB",
                               "1000 已完成 3.0 MB，共 3.0 MB"};
    tv::dlg::progress::setShowAfter(0);
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.target) + " cancelled at " + std::to_string(row.cancelAt));
        QFile::remove(path(row.target));
        if (*row.before)
            write(row.target, row.before), script::answerMsgBox(tv::dlg::Yes);
        QStringList seen;
        QString named;
        tv::dlg::progress::setWatcher([&](QProgressDialog& dialog) {
            named = dialog.windowTitle() + ' ' + dialog.labelText().section('\n', 0, 1);
            seen << QString::number(dialog.value()) + ' ' + dialog.labelText().section('\n', 2);
            if (seen.size() == row.cancelAt)
                QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
        });
        EXPECT_EQ(copyFile("大文件.mdb", row.target, dir.path()), row.outcome);
        EXPECT_EQ(read(row.target), row.after);
        EXPECT_EQ(files().join(','), "大文件.mdb" + QString(*row.before || !row.cancelAt ? ",旧.mdb" : ""));
        EXPECT_EQ(seen.join(" / ").toStdString(),
                  steps.mid(0, row.cancelAt ? row.cancelAt : 5).join(" / ").toStdString());
        EXPECT_EQ(named.toStdString(),
                  QString("文件复制 正在复制“%1”\n到“%2”").arg(path("大文件.mdb"), path(row.target)).toStdString());
    }
    tv::dlg::progress::setWatcher(nullptr);
    tv::dlg::progress::setShowAfter(1000);
}

// A copy over an old file onto a full disk, filled up or with room for part
// of the copy, and over a file marked read-only: the old file stays as it
// was, nothing else is left, and the reason is the true one.
TEST_F(ShellTest, ACopyOntoAFullDiskOrOverAReadOnlyFileLeavesTheOldOneAndSaysWhy) {
    write("大文件.mdb", QByteArray(3 * kCopyChunk + 5, 'x'));
    write("小文件.txt", "small");  // held in a buffer until the end by a buffered writer
    for (const auto& [source, room] :
         {std::pair{"小文件.txt", qint64(0)}, {"大文件.mdb", qint64(0)}, {"大文件.mdb", kCopyChunk + 100}}) {
        SCOPED_TRACE(std::string(source) + " " + std::to_string(room));
        tv::test::FullDisk disk;
        const QString target = disk.filePath("旧.mdb");
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly) && old.write("precious") == 8);
        old.close();
        disk.fill(room);
        script::answerMsgBox(tv::dlg::Yes);
        QString why;
        EXPECT_EQ(copyFile(source, target, dir.path(), &why), CopyOutcome::Failed);
        EXPECT_EQ(why, QString("无法写入目标文件“%1”：磁盘空间不足").arg(target));
        EXPECT_TRUE(old.open(QIODevice::ReadOnly) && old.readAll() == "precious");
        EXPECT_EQ(disk.files(), QStringList{"旧.mdb"});
    }
    script::clearCalls();
    write("只读.mdb", "precious");
    QFile::setPermissions(path("只读.mdb"), QFile::ReadOwner | QFile::ReadGroup);
    QString why;
    EXPECT_EQ(copyFile("大文件.mdb", "只读.mdb", dir.path(), &why), CopyOutcome::Failed);
    EXPECT_EQ(why, QString("无法写入目标文件“%1”：文件是只读的").arg(path("只读.mdb")));
    EXPECT_TRUE(script::calls().empty());  // refused before the question
    EXPECT_EQ(read("只读.mdb"), "precious");
}

TEST_F(ShellTest, DeleteRenameAndMakeFolderReportFailureToTheCaller) {
    write("a.txt", "A");
    write("b.txt", "B");
    Result r = rename("a.txt", "b.txt", dir.path());
    EXPECT_TRUE(!r && !r.error.isEmpty());  // never overwrites
    EXPECT_TRUE(rename("a.txt", "c.txt", dir.path()));
    EXPECT_EQ(read("b.txt") + read("c.txt"), "BA");

    EXPECT_TRUE(makeFolder("新目录", dir.path()) && !makeFolder("新目录", dir.path()));  // once
    // Not moved into a folder either; a folder is not a file.
    EXPECT_TRUE(!rename("b.txt", "新目录", dir.path()) && !deleteFile("新目录", dir.path()));
    EXPECT_TRUE(QFileInfo(path("新目录")).isDir());
    EXPECT_TRUE(deleteFile("b.txt", dir.path()));
    r = deleteFile("b.txt", dir.path());
    EXPECT_TRUE(!r && r.error.contains("b.txt"));
    EXPECT_EQ(files(), QStringList{"c.txt"});
    EXPECT_TRUE(script::calls().empty());  // these report to the caller, not to the user
}

TEST_F(ShellTest, DocumentsAddressesAndProgramsAndTheProgramFolder) {
    QList<QUrl> opened;
    setDesktopHook([&](const QUrl& url) { return opened << url, true; });
    write("vamo.CHM", "help");
    // A missing document is not opened.
    EXPECT_TRUE(openDocument("vamo.CHM", dir.path()) && !openDocument("RAZ.CHM", dir.path()) &&
                openUrl("https://example.org/tenvora"));
    setDesktopHook(nullptr);
    EXPECT_EQ(opened, (QList<QUrl>{QUrl::fromLocalFile(path("vamo.CHM")), QUrl("https://example.org/tenvora")}));
    QString why;
    EXPECT_TRUE(!startProgram(path("NOTEPAD.EXE"), {"Zjzd.txt"}, &why) && !why.isEmpty());
    EXPECT_TRUE(startProgram("true", {}));

    setProgramFolder(dir.path());
    EXPECT_EQ(pictureFolder(), dir.path() + "/BMP/");
    setProgramFolder(QString());
    EXPECT_EQ(programFolder(), QCoreApplication::applicationDirPath());
}
