// GBK conversion, display width and the column line writer.

#include "platform/text/Gbk.h"

#include <gtest/gtest.h>

using namespace tv::text;

namespace {
QString u(const char* s) { return QString::fromUtf8(s); }
}  // namespace

TEST(TextGbk, RoundTripsAndWidthCountsTwoColumnsPerDoubleByteCharacter) {
    // Known code points: 中 = D6D0, ─ = A9A4, ： = A3BA (every one round trips: below)
    EXPECT_EQ(toGbk(u("中─：")), QByteArray("\xD6\xD0\xA9\xA4\xA3\xBA"));
    EXPECT_EQ(width(u("用水量(吨)")), 10);
    EXPECT_EQ(charWidth(U'\u00B7'), 2);  // middle dot is double-byte in GBK

    // What GBK cannot hold becomes one "?" each, invalid bytes U+FFFD; the rest is kept.
    EXPECT_EQ(toGbk(u("a😀b한c")), QByteArray("a?b?c"));
    EXPECT_EQ(width(u("a😀b")), 3);
    EXPECT_EQ(fromGbk(QByteArray("x\xFFy")), u("x\uFFFDy"));
    EXPECT_EQ(fromGbk(QByteArray("x\xD6")), u("x\uFFFD"));  // a truncated pair
    EXPECT_TRUE(toGbk(QString()).isEmpty() && fromGbk(QByteArray()).isEmpty());
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
    w.at(0, u("a"));  // below 1 counts as 1
    w.at(2, u("b"));  // exactly at column 2: no wrap
    w.put(u("c"));
    w.endLine();
    w.endLine();  // an empty line
    w.at(5);
    w.endLine();
    EXPECT_EQ(w.takeLines(), (QStringList{u("│今收到      │房号很长很长的"), QString(24, ' ') + u("│x"), u("abc"),
                                          QString(), u("    ")}));
    EXPECT_EQ(w.column(), 1);
    EXPECT_TRUE(w.takeLines().isEmpty());
}

// The GBK writer writes LineWriter's lines as bytes, each ended with CR LF.
TEST(TextLineWriter, TheGbkWriterWritesTheSameLinesInGbk) {
    LineWriter w;
    QByteArray bytes;
    GbkLineWriter g(bytes);
    for (const auto& [column, item] : {std::pair{1, "│"},
                                       {3, "今收到"},
                                       {17, "房号很长很长的"},
                                       {25, "│"},
                                       {27, "x😀"},
                                       {-1, ""},
                                       {0, "a"},
                                       {2, "b"},
                                       {5, ""}}) {
        column < 0 ? (w.endLine(), g.endLine()) : (w.at(column, u(item)), g.at(column, u(item)));
        EXPECT_EQ(g.column(), w.column()) << item;
    }
    w.endLine(), g.endLine();
    EXPECT_EQ(bytes, toGbk(w.takeLines().join(u("\r\n")) + u("\r\n")));
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
