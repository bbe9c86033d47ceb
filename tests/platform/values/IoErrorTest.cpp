// The words for a failed file operation, from its error number or its file.

#include "platform/values/IoError.h"

#include <gtest/gtest.h>
#include <QFile>

#include <cerrno>

TEST(IoError, ErrorNumbersAreToldInChineseTheUnknownOnesByTheirNumber) {
    const std::pair<int, const char*> rows[] = {
        {ENOSPC, "磁盘空间不足"},
        {EDQUOT, "磁盘空间不足（已超出磁盘配额）"},
        {EACCES, "没有访问权限"},
        {EPERM, "没有访问权限"},
        {EROFS, "磁盘是只读的"},
        {EFBIG, "文件太大"},
        {EIO, "磁盘读写错误"},
        {ENOENT, "找不到文件或文件夹"},
        {EISDIR, "这是一个文件夹"},
        {0, "未知错误"},
        {ELOOP, "符号链接的层数太多（可能链接到了自身）"},
        {200, "系统错误（错误号 200）"},
    };
    for (const auto& [number, words] : rows) EXPECT_EQ(tv::ioErrorText(number).toStdString(), words) << number;
}

TEST(IoError, AFileThatFailedIsToldByItsOwnErrorOrElseByTheErrorNumberOfTheCallMadeOnIt) {
    QFile full("/dev/full");
    ASSERT_TRUE(full.open(QIODevice::WriteOnly));
    EXPECT_FALSE(full.write("receipt") == 7 && full.flush());
    EXPECT_EQ(tv::ioErrorText(full, EIO).toStdString(), "磁盘空间不足");  // its own error comes first
    QFile none("/nonexistent/folder/Zjzd.txt");
    EXPECT_FALSE(none.open(QIODevice::WriteOnly));
    EXPECT_EQ(tv::ioErrorText(none).toStdString(), "找不到文件或文件夹");
    QFile fine("/dev/null");  // no error of its own: a call on its handle failed (fsync)
    EXPECT_EQ(tv::ioErrorText(fine, ENOSPC).toStdString(), "磁盘空间不足");
    EXPECT_EQ(tv::ioErrorText(fine).toStdString(), "未知错误");
}
