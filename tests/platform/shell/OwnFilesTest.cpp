// The program's own files are never written by a save through a name the
// user gave: not by their own name, a symbolic or hard link, a linked folder,
// nor a link to one of them not made yet. The whole-file write and the copy
// refuse them with the reason before anything is written or asked; the code
// that keeps such a file still writes it.

#include "platform/dialogs/Dialogs.h"
#include "platform/shell/Shell.h"
#include "platform/values/OwnFiles.h"
#include "platform/values/WholeFile.h"
#include "support/OddFiles.h"
#include "support/PrintTo.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

class OwnFilesTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::dlg::script::begin();
        ASSERT_TRUE(QDir(at).mkpath("own/程序") && QDir(at).mkpath("mine"));
        write("own/Zjzd.txt", "receipts");
        write("mine/notes.txt", "notes");
        id = tv::addOwnFiles([this] {
            return std::vector<tv::OwnFile>{{at + "/own/Zjzd.txt", "收据文件"},
                                            {at + "/own/Zjzd.txt.new", "收据文件的暂存文件"},  // not made yet
                                            {at + "/own/程序", "程序文件夹"}};
        });
    }
    void TearDown() override {
        tv::removeOwnFiles(id);
        EXPECT_EQ(tv::dlg::script::pending(), 0);
        tv::dlg::script::end();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(at + '/' + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QByteArray read(const QString& name) const {
        QFile f(at + '/' + name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    // The own files as they stand.
    QString own() const {
        return read("own/Zjzd.txt") + ' ' + read("own/Zjzd.txt.new") + ' ' +
               QDir(at + "/own/程序").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).join(',');
    }

    QTemporaryDir dir;
    const QString at = QFileInfo(dir.path()).canonicalFilePath();
    int id = 0;
};

}  // namespace

// What the save is given (in mine/, made as a link to a file in own/ or
// mine/), and what it says; the own files stay as they were.
TEST_F(OwnFilesTest, ASaveThroughAnyNameOfAnOwnFileIsRefusedAndWritesNothing) {
    const QString is = "它是本程序自用的%1“" + at + "/own/%2”";
    const QString actually = "它实际上是本程序自用的%1“" + at + "/own/%2”";
    const struct Row {
        const char* name;  // the name saved to
        char link;         // 's' symbolic, 'h' hard, ' ' none, 'd' the folder mine/alias links to own/
        const char* to;    // what it links to
        QString told;      // "" saved
    } rows[] = {
        {"mine/new.txt", ' ', "", ""},
        {"own/Zjzd.txt", ' ', "", is.arg("收据文件", "Zjzd.txt")},
        {"mine/301.txt", 's', "own/Zjzd.txt", actually.arg("收据文件", "Zjzd.txt")},
        {"mine/302.txt", 'h', "own/Zjzd.txt", actually.arg("收据文件", "Zjzd.txt")},
        {"mine/303.txt", 's', "own/Zjzd.txt.new", actually.arg("收据文件的暂存文件", "Zjzd.txt.new")},
        {"mine/alias/Zjzd.txt", 'd', "own", actually.arg("收据文件", "Zjzd.txt")},
        {"mine/304.txt", 's', "own/程序", actually.arg("程序文件夹", "程序")},
        {"mine/305.txt", 's', "mine/notes.txt", ""},
    };
    const QString before = own();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = at + '/' + row.name, to = at + '/' + row.to;
        const bool made = row.link == 'd'   ? QFile::link(to, at + "/mine/alias")
                          : row.link == ' ' ? true
                                            : tv::test::makeLink(row.link, to, name);
        ASSERT_TRUE(made);
        QString why;
        EXPECT_EQ(tv::writeWholeFile(name, "settlement", &why), row.told.isEmpty());
        EXPECT_EQ(why, row.told);
        EXPECT_EQ(tv::saveRefusal(name), row.told);  // what a save asks before its question
        EXPECT_EQ(own(), before);
        if (row.told.isEmpty()) {
            EXPECT_EQ(read(row.link == 's' ? row.to : row.name), "settlement");
        }
        if (row.told.isEmpty() || QFileInfo(name).isDir())
            continue;  // (a copy onto a folder copies into it, as into any folder)
        // A copy onto it is refused before the user is asked to replace anything.
        why.clear();
        EXPECT_EQ(tv::shell::copyFile(at + "/mine/notes.txt", name, QString(), &why), tv::shell::CopyOutcome::Failed);
        EXPECT_EQ(why, "无法写入目标文件“" + name + "”：" + row.told);
        EXPECT_EQ(own(), before);
    }
    EXPECT_TRUE(tv::dlg::script::calls().empty());
}

// The code that keeps an own file writes it by its name; a user's name for
// it is refused only for as long as it is one of the program's files.
TEST_F(OwnFilesTest, TheProgramWritesItsOwnFilesAndAFileNoLongerItsIsTheUsersAgain) {
    ASSERT_TRUE(QFile::link(at + "/own/Zjzd.txt", at + "/mine/301.txt"));
    QString why;
    EXPECT_TRUE(tv::writeWholeFile(at + "/own/Zjzd.txt.new", "staged", &why, tv::FileOwner::Program))
        << why.toStdString();
    EXPECT_TRUE(tv::writeWholeFile(at + "/own/Zjzd.txt", "new receipts", &why, tv::FileOwner::Program))
        << why.toStdString();
    EXPECT_EQ(read("own/Zjzd.txt.new") + ' ' + read("own/Zjzd.txt"), "staged new receipts");
    EXPECT_FALSE(tv::writeWholeFile(at + "/mine/301.txt", "settlement"));
    tv::removeOwnFiles(id);
    id = 0;
    EXPECT_TRUE(tv::writeWholeFile(at + "/mine/301.txt", "settlement", &why)) << why.toStdString();
    EXPECT_EQ(read("own/Zjzd.txt"), "settlement");
}
