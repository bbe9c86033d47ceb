// Reading files safely: only a regular file is read, never past its limit;
// a FIFO, a device or a link to one is refused at once.

#include "platform/values/FileRead.h"
#include "support/OddFiles.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <unistd.h>

namespace {

using tv::FileReadError;

struct Row {
    QString kind;  // an odd kind, "bytes:<content>", "link:<content>", "missing" or an absolute path
    qint64 limit;
    FileReadError expected;
    QByteArray read;  // when read
};

class FileReadTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    int made = 0;
    // A file of `kind` in the folder.
    QString make(const QString& kind) {
        if (kind.startsWith('/'))
            return kind;
        const QString path = dir.filePath(QString::number(++made));
        if (kind.startsWith("bytes:") || kind.startsWith("link:")) {
            const QString target = kind.startsWith("link:") ? path + ".target" : path;
            QFile f(target);
            EXPECT_TRUE(f.open(QIODevice::WriteOnly) && f.write(kind.section(':', 1).toUtf8()) >= 0);
            if (target != path) {
                EXPECT_TRUE(QFile::link(target, path));
            }
        } else if (kind != "missing") {
            tv::test::makeOdd(kind, path);
        }
        return path;
    }
};

TEST_F(FileReadTest, OnlyRegularFilesAreReadAndNeverPastTheirLimit) {
    const Row rows[] = {
        {"bytes:hello", 10, FileReadError::None, "hello"},
        {"bytes:0123456789", 10, FileReadError::None, "0123456789"},
        {"bytes:0123456789A", 10, FileReadError::TooLarge, ""},
        {"bytes:", 10, FileReadError::None, ""},
        {"bytes:x", 0, FileReadError::TooLarge, ""},
        {"link:through a link", 100, FileReadError::None, "through a link"},
        {"missing", 10, FileReadError::Missing, ""},
        {"", 10, FileReadError::Missing, ""},
        {"fifo", 10, FileReadError::NotAFile, ""},
        {"fifolink", 10, FileReadError::NotAFile, ""},
        {"zero", 1 << 20, FileReadError::NotAFile, ""},
        {"urandom", 1 << 20, FileReadError::NotAFile, ""},
        {"/dev/zero", 1 << 20, FileReadError::NotAFile, ""},
        {"/dev/urandom", 1 << 20, FileReadError::NotAFile, ""},
        {"folder", 10, FileReadError::NotAFile, ""},
        {"sparse", 1 << 20, FileReadError::TooLarge, ""},
        // A regular file that says it is empty and is not: the read goes on
        // past the size it gave, up to the limit.
        {"/proc/self/status", 10, FileReadError::TooLarge, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.kind.toStdString());
        const QString path = row.kind.isEmpty() ? QString() : make(row.kind);
        tv::test::Watchdog watchdog("reading " + row.kind.toStdString());
        const tv::FileRead r = tv::readRegularFile(path, row.limit);
        EXPECT_EQ(r.error, row.expected);
        EXPECT_EQ(r.bytes, row.read);
        EXPECT_EQ(r.why.isEmpty(), r.ok()) << r.why.toStdString();
    }
    const tv::FileRead status = tv::readRegularFile("/proc/self/status", 1 << 20);
    EXPECT_TRUE(status.ok() && status.bytes.startsWith("Name:"));
}

TEST_F(FileReadTest, AFileWithoutReadPermissionIsUnreadable) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    const QString path = make("bytes:secret");
    ASSERT_TRUE(QFile::setPermissions(path, QFile::WriteOwner));
    EXPECT_EQ(tv::readRegularFile(path, 100).error, FileReadError::Unreadable);
}

// Opened for a copy in pieces: the same refusals, and no limit.
TEST_F(FileReadTest, OpeningForACopyRefusesWhatIsNoRegularFile) {
    for (const QString& kind : tv::test::oddKinds() + QStringList{"missing", "/dev/zero", "sparse"}) {
        SCOPED_TRACE(kind.toStdString());
        const QString path = make(kind);
        tv::test::Watchdog watchdog("opening " + kind.toStdString());
        QFile file;
        QString why;
        const FileReadError error = tv::openRegularFile(path, file, &why);
        if (kind == "sparse") {
            EXPECT_EQ(error, FileReadError::None);
            EXPECT_EQ(file.size(), qint64(64) << 30);
            EXPECT_EQ(file.read(4), QByteArray(4, '\0'));
        } else {
            EXPECT_EQ(error, kind == "missing" ? FileReadError::Missing : FileReadError::NotAFile);
            EXPECT_FALSE(file.isOpen());
            EXPECT_FALSE(why.isEmpty());
        }
    }
    QFile file;
    ASSERT_EQ(tv::openRegularFile(make("bytes:abc"), file), FileReadError::None);
    EXPECT_EQ(file.readAll(), "abc");
}

}  // namespace
