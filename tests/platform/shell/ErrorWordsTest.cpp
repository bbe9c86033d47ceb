// Every error text a failed file or engine operation can show, walked: the
// words for each error number, for what Qt's file devices report, for each
// result code of the database engine and of the workbook writer, and what
// the workbook readers, the file reads and the whole-file writes say of the
// files that fail them. None may hold an English word: the user reads
// Chinese. A file's name and the program's own terms (Excel, the formats)
// are no English words.

#include "platform/db/Database.h"
#include "platform/values/FileRead.h"
#include "platform/values/IoError.h"
#include "platform/values/WholeFile.h"
#include "platform/workbook/Workbook.h"
#include "support/OddFiles.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sqlite3.h>
#include <xlsxwriter.h>

namespace {

// The English words of `text`, once the names in `names` and the names of
// the parts of a workbook ("xl/workbook.xml") are taken out.
QStringList englishWords(QString text, const QStringList& names) {
    static const QStringList own = {"Excel", "Access", "xlsx", "xls", "ods", "mdb", "txt", "Tenvora"};
    for (const QString& name : names) text.remove(name);
    static const QRegularExpression part(QStringLiteral("[\\w/.]+\\.xml"));
    text.remove(part);
    QStringList words;
    static const QRegularExpression word(QStringLiteral("[A-Za-z]{2,}"));
    for (auto m = word.globalMatch(text); m.hasNext();)
        if (const QString w = m.next().captured(); !own.contains(w))
            words << w;
    return words;
}

class ErrorWordsTest : public ::testing::Test {
protected:
    // Checks one text the program can show; `source` says where it came from.
    void told(const QString& text, const std::string& source) {
        ++walked;
        EXPECT_FALSE(text.isEmpty()) << source;
        const QStringList english = englishWords(text, {dir.path()});
        EXPECT_TRUE(english.isEmpty()) << source << ": " << text.toStdString();
    }
    void write(const QString& name, const QByteArray& bytes) {
        QFile f(dir.filePath(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size());
    }
    QTemporaryDir dir;
    int walked = 0;
};

}  // namespace

TEST_F(ErrorWordsTest, TheWordsForEveryErrorNumberAndEveryFailureOfAQtFileAreChinese) {
    for (int number = 0; number <= 200; ++number) told(tv::ioErrorText(number), "errno " + std::to_string(number));

    // Qt's file devices, each failing as it does, with Qt's own (English) words.
    write("a.txt", "A");
    write("b.txt", "B");
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder"));
    QFile missing(dir.filePath("none/x.txt")), folder(dir.filePath("folder")), full("/dev/full"),
        copied(dir.filePath("a.txt")), renamed(dir.filePath("a.txt")), removed(dir.filePath("gone.txt")),
        linked(dir.filePath("a.txt")), resized(dir.filePath("a.txt")), sequential("/dev/zero");
    EXPECT_FALSE(missing.open(QIODevice::ReadOnly));
    EXPECT_FALSE(folder.open(QIODevice::WriteOnly));
    EXPECT_TRUE(full.open(QIODevice::WriteOnly) && !(full.write("x") == 1 && full.flush()));
    EXPECT_FALSE(copied.copy(dir.filePath("b.txt")));
    EXPECT_FALSE(renamed.rename(dir.filePath("b.txt")));
    EXPECT_FALSE(removed.remove());
    EXPECT_FALSE(linked.link(dir.filePath("b.txt")));
    EXPECT_TRUE(resized.open(QIODevice::ReadOnly) && !resized.resize(-1));
    EXPECT_TRUE(sequential.open(QIODevice::ReadOnly) && !sequential.seek(-1));
    for (QFile* f : {&missing, &folder, &full, &copied, &renamed, &removed, &linked, &resized, &sequential}) {
        EXPECT_NE(f->error(), QFileDevice::NoError) << f->fileName().toStdString();
        told(tv::ioErrorText(*f), "QFile " + f->fileName().toStdString() + ": " + f->errorString().toStdString());
    }
    EXPECT_GT(walked, 200);
}

TEST_F(ErrorWordsTest, TheWordsForEveryResultCodeOfTheEngineAndOfTheWorkbookWriterAreChinese) {
    for (int primary = 1; primary <= SQLITE_WARNING; ++primary)
        for (int extended = 0; extended < 40; ++extended) {
            const int code = primary | extended << 8;
            told(tv::Database::engineErrorText(code, QString::fromUtf8(sqlite3_errstr(code))),
                 "engine code " + std::to_string(code));
        }
    // A name the engine's words give stays.
    EXPECT_EQ(tv::Database::engineErrorText(SQLITE_ERROR, "no such table: 租客"), "数据文件中没有所需的数据表：租客。");
    for (int code = LXW_NO_ERROR + 1; code <= LXW_MAX_ERRNO; ++code)
        told(tv::workbook::writerErrorText(code), "writer code " + std::to_string(code));
}

// A data file whose name leaves no room for the name of the journal the
// engine writes beside it: it reads, and a write says why it fails.
TEST_F(ErrorWordsTest, ADataFileWhoseNameIsTooLongForItsJournalSaysSoWhenWritten) {
    const QString path = dir.filePath(QString(246, 'x') + ".mdb");  // 250 bytes; the journal's 258
    tv::test::makeDataFile(dir.filePath("short.mdb"));
    ASSERT_TRUE(QFile::rename(dir.filePath("short.mdb"), path));
    auto db = tv::Database::open(path);
    EXPECT_EQ(db->query("select count(*) from zfdj").at(0).at(0).toInt(), 0);
    try {
        db->exec("insert into zfdj (fjh) values ('101')");
        ADD_FAILURE() << "written";
    } catch (const tv::DbError& e) {
        EXPECT_EQ(e.text(),
                  "数据文件的文件名太长，无法写入（写入时要在旁边建立一个文件名更长的日志文件），"
                  "请把数据文件改成较短的文件名。");
    }
}

// What the reading of a workbook, the safe read of a file and a whole-file
// write say of the files that fail them.
TEST_F(ErrorWordsTest, WhatTheReadersAndTheWritesSayOfTheFilesThatFailThemIsChinese) {
    QStringList paths{dir.filePath("missing.xlsx"), dir.filePath("none/missing.xlsx"), "/dev/zero"};
    for (const QString& kind : tv::test::oddKinds()) {
        paths << dir.filePath(kind + ".xlsx");
        tv::test::makeOdd(kind, paths.last());
    }
    ASSERT_TRUE(QFile::link("loop.xlsx", dir.filePath("loop.xlsx")));
    paths << dir.filePath("loop.xlsx");
    const QByteArray zip("PK\x03\x04", 4), ole("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    const QByteArray broken[] = {QByteArray(),
                                 QByteArray(3000, 'x'),
                                 zip,
                                 zip + QByteArray(4000, '\0'),
                                 ole + QByteArray(600, '\0'),
                                 ole + QByteArray(5000, '\xff')};
    for (int i = 0; i < int(std::size(broken)); ++i) {
        write(QString("broken%1.xlsx").arg(i), broken[i]);
        paths << dir.filePath(QString("broken%1.xlsx").arg(i));
    }
    const QDir crashers(QStringLiteral(TV_FIXTURES_DIR "/workbook_crashers"));
    for (const QString& name : crashers.entryList(QDir::Files)) paths << crashers.filePath(name);
    // No watchdog thread here: the reader forks its reading process, and a
    // fork beside a running thread may hang the sanitizer's allocator in it.
    for (const QString& path : paths) {
        try {
            tv::workbook::read(path);
        } catch (const tv::workbook::WorkbookError& e) {
            told(e.text(), "reading " + path.toStdString());
        }
        if (const tv::FileRead read = tv::readRegularFile(path, 1024); !read.ok())
            told(read.why, "the safe read of " + path.toStdString());
        QString why;
        if (path.startsWith(dir.path()) && !tv::writeWholeFile(path, "x", &why))  // never a fixture
            told(why, "writing " + path.toStdString());
    }
    EXPECT_GT(walked, 30);
}
