#include "platform/dialogs/Dialogs.h"
#include "platform/shell/Shell.h"

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

using namespace tv::shell;
namespace script = tv::dlg::script;

namespace {

// Scripted dialogs; the test main's handler fails the test at an unscripted one.
class ShellTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        script::begin();
    }
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
    EXPECT_EQ(resolve(QStringLiteral("sub/../b.txt"), dir.path()), path(QStringLiteral("b.txt")));
    EXPECT_EQ(resolve(QString(), dir.path()), QString());  // never the folder itself
    write(QStringLiteral("模板.mdb"), "template");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("E")));
    for (const char* target : {"新数据", "E"})
        EXPECT_EQ(copyFile(QStringLiteral("模板.mdb"), QString::fromUtf8(target), dir.path()), CopyOutcome::Copied);
    EXPECT_EQ(read(QStringLiteral("新数据")) + read(QStringLiteral("E/模板.mdb")), "templatetemplate");
    EXPECT_TRUE(script::calls().empty());

    write(QStringLiteral("old.mdb"), "precious");
    script::answerMsgBox(tv::dlg::No);
    EXPECT_EQ(copyFile(path(QStringLiteral("模板.mdb")), path(QStringLiteral("old.mdb"))), CopyOutcome::Declined);
    EXPECT_EQ(read(QStringLiteral("old.mdb")), "precious");
    script::answerMsgBox(tv::dlg::Yes);
    EXPECT_EQ(copyFile(path(QStringLiteral("模板.mdb")), path(QStringLiteral("old.mdb"))), CopyOutcome::Copied);
    EXPECT_EQ(read(QStringLiteral("old.mdb")), "template");
    ASSERT_EQ(script::calls().size(), 2u);
    EXPECT_EQ(script::calls()[0].style, tv::dlg::YesNo | tv::dlg::Question);
    EXPECT_EQ(files().size(), 3);  // no temporary copies left
}

TEST_F(ShellTest, CopyFailuresAreToldAndReturnedAndLeaveNothingBehind) {
    write(QStringLiteral("a.txt"), "A");
    QString why;
    for (int i = 0; i < 4; ++i) script::answerMsgBox(tv::dlg::Ok);
    EXPECT_EQ(copyFile(QStringLiteral("missing.txt"), QStringLiteral("b.txt"), dir.path(), &why), CopyOutcome::Failed);
    EXPECT_TRUE(why.contains(QStringLiteral("missing.txt")));
    for (const char* target : {"a.txt", "nofolder/b.txt", ""})
        EXPECT_EQ(copyFile(QStringLiteral("a.txt"), QString::fromLatin1(target), dir.path()), CopyOutcome::Failed);
    for (const auto& c : script::calls()) EXPECT_EQ(c.style, tv::dlg::Critical) << c.text.toStdString();
    EXPECT_EQ(read(QStringLiteral("a.txt")), "A");
    EXPECT_EQ(files(), QStringList{QStringLiteral("a.txt")});
}

TEST_F(ShellTest, DeleteRenameAndMakeFolderReportFailureToTheCaller) {
    write(QStringLiteral("a.txt"), "A");
    write(QStringLiteral("b.txt"), "B");
    Result r = rename(QStringLiteral("a.txt"), QStringLiteral("b.txt"), dir.path());
    EXPECT_TRUE(!r && !r.error.isEmpty());  // never overwrites
    EXPECT_TRUE(rename(QStringLiteral("a.txt"), QStringLiteral("c.txt"), dir.path()));
    EXPECT_EQ(read(QStringLiteral("b.txt")) + read(QStringLiteral("c.txt")), "BA");

    EXPECT_TRUE(makeFolder(QStringLiteral("新目录"), dir.path()));
    EXPECT_FALSE(makeFolder(QStringLiteral("新目录"), dir.path()));
    EXPECT_FALSE(rename(QStringLiteral("b.txt"), QStringLiteral("新目录"), dir.path()));  // not into a folder either
    EXPECT_FALSE(deleteFile(QStringLiteral("新目录"), dir.path()));                       // a folder is not a file
    EXPECT_TRUE(QFileInfo(path(QStringLiteral("新目录"))).isDir());
    EXPECT_TRUE(deleteFile(QStringLiteral("b.txt"), dir.path()));
    r = deleteFile(QStringLiteral("b.txt"), dir.path());
    EXPECT_TRUE(!r && r.error.contains(QStringLiteral("b.txt")));
    EXPECT_EQ(files(), QStringList{QStringLiteral("c.txt")});
    EXPECT_TRUE(script::calls().empty());  // these report to the caller, not to the user
}

TEST_F(ShellTest, DocumentsAddressesAndProgramsAndTheProgramFolder) {
    QList<QUrl> opened;
    setDesktopHook([&](const QUrl& url) {
        opened << url;
        return true;
    });
    write(QStringLiteral("vamo.CHM"), "help");
    EXPECT_TRUE(openDocument(QStringLiteral("vamo.CHM"), dir.path()));
    EXPECT_FALSE(openDocument(QStringLiteral("RAZ.CHM"), dir.path()));  // missing: nothing opened
    EXPECT_TRUE(openUrl(QStringLiteral("https://example.org/tenvora")));
    setDesktopHook(nullptr);
    EXPECT_EQ(opened, (QList<QUrl>{QUrl::fromLocalFile(path(QStringLiteral("vamo.CHM"))),
                                   QUrl(QStringLiteral("https://example.org/tenvora"))}));
    QString why;
    EXPECT_FALSE(startProgram(path(QStringLiteral("NOTEPAD.EXE")), {QStringLiteral("Zjzd.txt")}, &why));
    EXPECT_FALSE(why.isEmpty());
    EXPECT_TRUE(startProgram(QStringLiteral("true"), {}));

    setProgramFolder(dir.path());
    EXPECT_EQ(pictureFolder(), dir.path() + QStringLiteral("/BMP/"));
    setProgramFolder(QString());
    EXPECT_EQ(programFolder(), QCoreApplication::applicationDirPath());
}
