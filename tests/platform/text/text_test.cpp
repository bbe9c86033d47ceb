// GBK conversion, display width and the column line writer.

#include "platform/text/Gbk.h"

#include <gtest/gtest.h>

using namespace tv::text;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
}  // namespace

TEST(TextGbk, RoundTripsAndWidthCountsTwoColumnsPerDoubleByteCharacter) {
    const QString s = u("房屋租赁使用费收据 ┌─┬┐│├┼┤└┴┘ 租户房号：101 (盖章)");
    EXPECT_EQ(fromGbk(toGbk(s)), s);
    EXPECT_EQ(toGbk(s).size(), width(s));
    // Known code points: 中 = D6D0, ─ = A9A4, ： = A3BA
    EXPECT_EQ(toGbk(u("中─：")), QByteArray("\xD6\xD0\xA9\xA4\xA3\xBA"));
    EXPECT_EQ(width(u("用水量(吨)")), 10);
    EXPECT_EQ(charWidth(U'\u00B7'), 2);  // middle dot is double-byte in GBK
    EXPECT_EQ(width(u("┌──────┬────┬──────┬────┬─────┬───┬───────────────┐")), 102);

    // What GBK cannot hold becomes one "?" each, invalid bytes U+FFFD; the rest is kept.
    EXPECT_EQ(toGbk(u("a😀b한c")), QByteArray("a?b?c"));
    EXPECT_EQ(width(u("a😀b")), 3);
    EXPECT_EQ(fromGbk(QByteArray("x\xFFy")), u("x\uFFFDy"));
    EXPECT_EQ(fromGbk(QByteArray("x\xD6")), u("x\uFFFD"));  // a truncated pair
    EXPECT_TRUE(toGbk(QString()).isEmpty() && fromGbk(QByteArray()).isEmpty());
}

// The GBK writer writes the same lines, as bytes.
TEST(TextLineWriter, PadsToColumnsAndWrapsWhenPastThem) {
    LineWriter w;
    QByteArray bytes;
    GbkLineWriter g(bytes);
    const auto both = [&](auto step) { step(w), step(g); };
    both([](auto& x) { x.at(1, u("│")); });
    both([](auto& x) { x.at(3, u("今收到")); });
    both([](auto& x) { x.at(15, u("│")); });
    EXPECT_EQ(w.column(), 17);
    EXPECT_EQ(g.column(), 17);
    both([](auto& x) { x.at(17, u("房号很长很长的")); });  // 14 columns: ends on 30, past 25
    both([](auto& x) { x.at(25, u("│")); });
    both([](auto& x) { x.at(27, u("x😀")); });  // beyond GBK: one "?", one column
    both([](auto& x) { x.endLine(); });
    both([](auto& x) { x.at(0, u("a")); });  // below 1 counts as 1
    both([](auto& x) { x.at(2, u("b")); });  // exactly at column 2: no wrap
    both([](auto& x) { x.put(u("c")); });
    both([](auto& x) { x.endLine(); });
    both([](auto& x) { x.endLine(); });  // an empty line
    both([](auto& x) { x.at(5); });
    both([](auto& x) { x.endLine(); });
    const QStringList lines = w.takeLines();
    EXPECT_EQ(lines, (QStringList{u("│今收到      │房号很长很长的"), QString(24, ' ') + u("│x😀"), u("abc"), QString(),
                                  u("    ")}));
    EXPECT_EQ(bytes, toGbk(lines.join(u("\r\n")) + u("\r\n")));
    EXPECT_EQ(w.column(), 1);
    EXPECT_TRUE(w.takeLines().isEmpty());
}

// Each code of the double-byte area that GBK assigns decodes to one character
// that encodes back to it, alone and in one long text of them all.
TEST(TextGbk, EveryDoubleByteCharacterRoundTrips) {
    QByteArray codes;
    QString chars;
    int wrong = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead)
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
            const QByteArray code(pair, 2);
            const QString c = fromGbk(code);
            if (c.size() != 1 || c == QChar(0xFFFD))
                continue;  // unassigned: not a character
            wrong += toGbk(c) != code || width(c) != 2;
            codes += code;
            chars += c;
        }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(chars.size(), 21000);
    const QString mixed = chars + u("a€b") + chars;  // € is the one byte 0x80
    EXPECT_EQ(toGbk(mixed), codes +
                                "a\x80"
                                "b" +
                                codes);
    EXPECT_EQ(fromGbk(codes +
                      "a\x80"
                      "b" +
                      codes),
              mixed);
}
