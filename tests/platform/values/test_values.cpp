// Money, the three rounding rules and the number and date text forms.

#include "platform/values/Money.h"
#include "platform/values/Value.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

using namespace tv;

namespace {
Money m(const char* text) { return toMoney(QString::fromLatin1(text).toDouble()); }
}  // namespace

TEST(ValuesMoney, ToMoneyRoundsHalfToEvenAtFourDecimals) {
    const float usage = 1250.5f - 1240.2f;
    EXPECT_EQ(toMoney(2.8 * static_cast<double>(usage)).units(), 288401);
    EXPECT_EQ(toMoney(0.68 * 151).units(), 1026800);
    EXPECT_EQ(toMoney(0.00005).units(), 0);  // tie -> even 0
    EXPECT_EQ(toMoney(0.00015).units(), 2);  // tie -> even 2
    EXPECT_EQ(toMoney(-1.23456).units(), -12346);
    EXPECT_EQ(Money::fromInt(100) * 0.68, toMoney(68));
    // sums stay exact
    Money sum;
    for (int i = 0; i < 10; ++i) sum += toMoney(0.1);
    EXPECT_EQ(sum, Money::fromInt(1));
}

TEST(ValuesMoney, Round2EvenOnMoney) {
    EXPECT_EQ(round2Even(m("42.435")), m("42.44"));
    EXPECT_EQ(round2Even(m("10.125")), m("10.12"));
    EXPECT_EQ(round2Even(m("10.005")), m("10.00"));
    EXPECT_EQ(round2Even(m("1.235")), m("1.24"));
    EXPECT_EQ(round2Even(m("1.225")), m("1.22"));
    EXPECT_EQ(round2Even(m("-1.225")), m("-1.22"));
    EXPECT_EQ(round2Even(m("-1.2251")), m("-1.23"));
}

TEST(ValuesMoney, Round2EvenOnTheExactBinaryValue) {
    // The value typed and its result; in the comment the exact value held.
    const std::pair<float, float> singles[] = {
        {2563969.25f, 2563969.25f},  // 2563969.25
        {-321194.97f, -321194.97f},  // -321194.96875
        {224.225f, 224.23f},         // 224.225006103515625
        {1.125f, 1.12f},             // 1.125: a tie, to even
    };
    for (const auto& [in, out] : singles) EXPECT_EQ(round2Even(in), out) << in;
    const std::pair<double, double> doubles[] = {
        {3.45 * 8.5, 29.33},                          // 29.3250000000000028421709430404007434844970703125
        {35184372088832.0546875, 35184372088832.05},  // 2^45 + 7/128, to 2^45 + 6/128
    };
    for (const auto& [in, out] : doubles) EXPECT_EQ(round2Even(in), out) << in;
}

TEST(ValuesMoney, ToMoneyOutOfRangeIsAnOverflowNeverAClamp) {
    for (double x : {-922337203685478.0, qQNaN(), -qInf()}) EXPECT_THROW(toMoney(x), OverflowError) << x;
    EXPECT_THAT([] { Money::fromInt(100000000000000) * 10.0; },  // the text the windows' guard shows
                testing::ThrowsMessage<DbError>(testing::StrEq("数值超出范围：1E+15")));
}

TEST(ValuesMoney, ArithmeticPastTheRangeRaisesTheOverflowOfToMoney) {
    const Money max = Money::fromUnits(INT64_MAX), min = Money::fromUnits(INT64_MIN), tiny = Money::fromUnits(1);
    const std::pair<std::function<Money()>, const char*> cases[] = {
        {[&] { return max + tiny; }, "922337203685478"},
        {[&] { return min - tiny; }, "-922337203685478"},
        {[&] { return tiny - min; }, "922337203685478"},
        {[&] { return -min; }, "922337203685478"},
        {[&] { return Money(max) += max; }, "1.84467440737096E+15"},
        {[] { return Money::fromInt(-1000000000000000); }, "-1E+15"},
    };
    for (const auto& [op, result] : cases)
        EXPECT_THAT(op, testing::ThrowsMessage<OverflowError>(testing::StrEq(std::string("数值超出范围：") + result)))
            << result;
    // Up to the very ends it is exact.
    EXPECT_EQ((max - tiny + tiny + min).units(), -1);
    EXPECT_EQ((-max - tiny).units(), INT64_MIN);
    EXPECT_EQ(Money::fromInt(-922337203685477).units(), -9223372036854770000);
}

TEST(ValuesMoney, Format00RoundsHalfAwayOnTheDecimalForm) {
    EXPECT_EQ(format00(3.45 * 8.5), "29.33");
    EXPECT_EQ(format00(1.15 * 4.5), "5.18");
    EXPECT_EQ(format00(12.3456), "12.35");
    EXPECT_EQ(format00(-0.001), "0.00");
    EXPECT_EQ(format00(-0.005), "-0.01");
    EXPECT_EQ(format00(m("-12.345")), "-12.35");
    EXPECT_EQ(format00(m("-0.0049")), "0.00");
    EXPECT_EQ(format00(Money::fromInt(1234567)), "1234567.00");
    EXPECT_EQ(format00(1e18), "1000000000000000000.00");
}

TEST(ValuesText, NumberTexts) {
    EXPECT_EQ(floatText(34.4000244f), "34.40002");
    EXPECT_EQ(floatText(1250.5f), "1250.5");
    EXPECT_EQ(floatText(3301.0f), "3301");
    EXPECT_EQ(floatText(-0.0f), "0");
    EXPECT_EQ(floatText(12345678.0f), "1.234568E+07");
    EXPECT_EQ(doubleText(0.1 + 0.2), "0.3");
    // A whole number in plain digits, the shortest that read back as it: 440301199001011234 is held as ...264.
    const std::pair<double, const char*> whole[] = {{440301199001011234.0, "440301199001011260"},
                                                    {4.40301199001011e17, "440301199001011000"},
                                                    {440301900101123.0, "440301900101123"},
                                                    {-1e21, "-1000000000000000000000"},
                                                    {-0.0, "0"},
                                                    {2.5, "2.5"}};
    for (const auto& [d, text] : whole) EXPECT_EQ(plainDigits(d), text) << d;
    EXPECT_EQ(moneyText(Money::fromInt(800)), "800");
    EXPECT_EQ(moneyText(m("19.99")), "19.99");
    EXPECT_EQ(moneyText(m("-0.5")), "-0.5");
}

TEST(ValuesText, PrintForms) {
    EXPECT_EQ(printForm(1234.5f), " 1234.5 ");
    EXPECT_EQ(printForm(0.0f), " 0 ");
    EXPECT_EQ(printForm(-5.0f), "-5 ");
    EXPECT_EQ(printForm(0.25f), " .25 ");
    EXPECT_EQ(printForm(-0.25f), "-.25 ");
    EXPECT_EQ(printForm(34.4000244f), " 34.40002 ");
    EXPECT_EQ(printForm(7), " 7 ");
    EXPECT_EQ(printForm(-7), "-7 ");
    EXPECT_EQ(printForm(2.5), " 2.5 ");
}

TEST(ValuesText, DatesAndTypedNumbers) {
    EXPECT_EQ(shortDate(QDate(2024, 1, 5)), "2024-01-05");
    EXPECT_EQ(shortDate(QDate()), "");
    EXPECT_EQ(parseDate(" 2024-1-5 "), QDate(2024, 1, 5));
    EXPECT_EQ(parseDate("2024/12/31"), QDate(2024, 12, 31));
    EXPECT_FALSE(parseDate("2024-2-30"));
    EXPECT_FALSE(parseDate("2024-1/5"));
    EXPECT_FALSE(parseDate("24-1-5"));
    EXPECT_FALSE(parseDate("2024-01-05'; drop table zfdj; --"));
    EXPECT_FALSE(parseDate(""));

    EXPECT_EQ(parseNumber(" 3.5 "), 3.5);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_FALSE(parseNumber("abc"));
    EXPECT_FALSE(parseNumber(""));
    EXPECT_FALSE(parseNumber("1,5"));
    EXPECT_FALSE(parseNumber("inf"));
    EXPECT_FALSE(parseNumber("nan"));
}

TEST(ValuesValue, KindsAndConversions) {
    EXPECT_TRUE(Value().isNull());
    EXPECT_FALSE(Value("") == Value());  // Null is not the empty text
    EXPECT_EQ(Value().toText(), "");
    EXPECT_EQ(Value(34.4000244f).toText(), "34.40002");
    EXPECT_EQ(Value(Money::fromInt(800)).toText(), "800");
    EXPECT_EQ(Value(QDate(2024, 3, 1)).toText(), "2024-03-01");
    EXPECT_EQ(Value(QByteArray("xyz")).toText(), "");

    EXPECT_TRUE(Value(1.5f).isNumber());
    EXPECT_FALSE(Value("12").isNumber());
    EXPECT_EQ(Value("12.5").toDouble(), 12.5);
    EXPECT_EQ(Value("abc").toDouble(), 0.0);
    EXPECT_EQ(Value("2.5").toInt(), 2);  // half to even
    EXPECT_EQ(Value("3.5").toInt(), 4);
    EXPECT_EQ(Value().toInt(), 0);
    EXPECT_EQ(Value(m("2.5")).toInt(), 2);
    EXPECT_EQ(Value(m("-2.51")).toInt(), -3);
    EXPECT_EQ(Value(1e12).toInt(), 2147483647);
    EXPECT_EQ(Value("19.99").toMoney(), m("19.99"));
    EXPECT_EQ(Value(1250.5f).toSingle(), 1250.5f);
    EXPECT_EQ(Value("2024-1-5").toDate(), QDate(2024, 1, 5));
    EXPECT_FALSE(Value("soon").toDate().isValid());
}
