// GBK conversion, display width and the column line writer.

#include "platform/text/Gbk.h"

#include <gtest/gtest.h>

using namespace tv::text;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
}  // namespace

TEST(TextGbk, RoundTripsChineseBoxCharactersAndFullWidthPunctuation) {
    const QString s = u("房屋租赁使用费收据 ┌─┬┐│├┼┤└┴┘ 租户房号：101 (盖章)");
    QByteArray gbk = toGbk(s);
    EXPECT_EQ(gbk.size(), width(s));
    EXPECT_EQ(fromGbk(gbk), s);
    // Known code points: 中 = D6D0, ─ = A9A4, ： = A3BA
    EXPECT_EQ(toGbk(u("中─：")), QByteArray("\xD6\xD0\xA9\xA4\xA3\xBA"));
    EXPECT_EQ(fromGbk(QByteArray("\xD6\xD0" "a")), u("中a"));
}

TEST(TextGbk, UnencodableAndInvalidAreReplacedNotDropped) {
    // An emoji and a Hangul syllable are not in GBK: one "?" each, the rest kept.
    EXPECT_EQ(toGbk(u("a😀b한c")), QByteArray("a?b?c"));
    EXPECT_EQ(width(u("a😀b")), 3);
    // A lone lead byte and a truncated pair.
    EXPECT_EQ(fromGbk(QByteArray("x\xFFy")), u("x\uFFFDy"));
    EXPECT_EQ(fromGbk(QByteArray("x\xD6")), u("x\uFFFD"));
    EXPECT_EQ(toGbk(QString()), QByteArray());
    EXPECT_EQ(fromGbk(QByteArray()), QString());
}

TEST(TextGbk, WidthCountsTwoColumnsPerDoubleByteCharacter) {
    EXPECT_EQ(width(u("今收到")), 6);
    EXPECT_EQ(width(u("租金(元)")), 8);
    EXPECT_EQ(width(u("用水量(吨)")), 10);
    EXPECT_EQ(width(u(" 1234.5 ")), 8);
    EXPECT_EQ(charWidth(U'│'), 2);
    EXPECT_EQ(charWidth(U'A'), 1);
    EXPECT_EQ(charWidth(U'\u00B7'), 2);  // middle dot is double-byte in GBK
    EXPECT_EQ(width(u("┌──────┬────┬──────┬────┬─────┬───┬───────────────┐")), 102);
}

TEST(TextLineWriter, PadsToColumnsAndWrapsWhenPastThem) {
    LineWriter w;
    w.at(1, u("│"));
    w.at(3, u("今收到"));
    w.at(15, u("│"));
    EXPECT_EQ(w.column(), 17);
    w.at(17, u("房号很长很长的"));  // 14 columns: ends on 30, past 25
    w.at(25, u("│"));
    w.at(27, u("x"));
    w.endLine();
    QStringList lines = w.takeLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], u("│今收到      │房号很长很长的"));
    EXPECT_EQ(lines[1], QString(24, ' ') + u("│x"));
    EXPECT_TRUE(w.takeLines().isEmpty());
}

TEST(TextLineWriter, SameColumnStaysColumnZeroAndEmptyLinesCount) {
    LineWriter w;
    w.at(0, u("a"));    // below 1 counts as 1
    w.at(2, u("b"));    // exactly at column 2: no wrap
    w.put(u("c"));
    w.endLine();
    w.endLine();        // an empty line
    w.at(5);
    w.endLine();
    QStringList lines = w.takeLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], u("abc"));
    EXPECT_EQ(lines[1], QString());
    EXPECT_EQ(lines[2], u("    "));
    EXPECT_EQ(w.column(), 1);
}
