#pragma once
// Money: a signed 64-bit count of ten-thousandths (four decimals), so sums are
// exact. The three rounding rules of the program live beside it and are never
// mixed up:
//   toMoney     half to even at four decimals ("as money") on the value's
//               15-significant-digit decimal form
//   round2Even  half to even at two decimals (the Round of the bills) on the
//               exact value held (binary for float and double)
//   format00    the "0.00" pattern: half away from zero on the value's
//               15-significant-digit decimal form

#include "platform/values/Error.h"

#include <QString>

#include <compare>
#include <cstdint>
#include <optional>

class QDate;

namespace tv {

class Money {
public:
    constexpr Money() = default;
    static constexpr Money fromUnits(int64_t tenThousandths) {
        Money m;
        m.units_ = tenThousandths;
        return m;
    }
    // Raises OverflowError past the money range, as toMoney does.
    static constexpr Money fromInt(int64_t whole) {
        int64_t units = 0;
        if (__builtin_mul_overflow(whole, int64_t{10000}, &units))
            overflow(static_cast<double>(whole));
        return fromUnits(units);
    }

    constexpr int64_t units() const { return units_; }
    double toDouble() const { return static_cast<double>(units_) / 10000.0; }

    // Exact; a result past the money range raises OverflowError
    // ("数值超出范围：1.8E+15"), never wraps.
    constexpr Money operator+(Money o) const {
        int64_t units = 0;
        if (__builtin_add_overflow(units_, o.units_, &units))
            overflow(toDouble() + o.toDouble());
        return fromUnits(units);
    }
    constexpr Money operator-(Money o) const {
        int64_t units = 0;
        if (__builtin_sub_overflow(units_, o.units_, &units))
            overflow(toDouble() - o.toDouble());
        return fromUnits(units);
    }
    constexpr Money operator-() const { return Money() - *this; }
    constexpr Money& operator+=(Money o) { return *this = *this + o; }
    constexpr Money& operator-=(Money o) { return *this = *this - o; }
    // Money times a number, rounded as money.
    Money operator*(double f) const;
    auto operator<=>(const Money&) const = default;
    bool operator==(const Money&) const = default;

    // Raises the error of a result out of the money range, naming that result.
    [[noreturn]] static void overflow(double result);

private:
    int64_t units_ = 0;
};

// Half to even at four decimals: 2.8 * float(1250.5 - 1240.2) -> 28.8401.
// A value beyond the money range (about ±922337203685477.58), NaN or an
// infinity raises OverflowError ("数值超出范围：1E+20"); nothing is clamped.
Money toMoney(double x);
// Half to even at two decimals: 42.435 -> 42.44, 10.125 -> 10.12 (Money is
// exact decimal).
Money round2Even(Money m);
// The same rule on a binary number, applied to the exact value its type holds:
// half to even only on an exact binary tie. 224.225f is held as 224.2250061...
// and gives 224.23; 1.125f is a tie and gives 1.12. The result is the float
// (double) nearest to the rounded decimal; NaN and infinities come back as
// they are.
float round2Even(float f);
double round2Even(double d);

// "0.00": 29.325 (3.45*8.5 in binary) -> "29.33", -0.001 -> "0.00".
QString format00(double x);
QString format00(Money m);
// Money with the decimals it holds, two at least (the "0.00##" pattern, no
// rounding): 0.565 -> "0.565", 2.8 -> "2.80", 1.2345 -> "1.2345".
QString format00Exact(Money m);

// Text of a Single: at most 7 significant digits, no trailing zeros,
// a zero before the point ("0.25"): 34.4000244 -> "34.40002", 3301 -> "3301".
QString floatText(float f);
// Text of a double: at most 15 significant digits, no trailing zeros.
QString doubleText(double d);
// A whole number in plain digits, however large, without an exponent: the
// shortest digits that read back as the number, then zeros to the units
// (4.403011990010113e+17 -> "440301199001011300"). A number that is not
// whole gets doubleText().
QString plainDigits(double whole);
// Text of money as a number: "800", "19.99", "-0.5".
QString moneyText(Money m);

// The print form of a number: a space before a value that is not negative,
// a minus sign before a negative one, one space after; no zero before the
// point of a value below one: 1234.5 -> " 1234.5 ", 0.25 -> " .25 ", -5 -> "-5 ".
QString printForm(float f);
QString printForm(double d);
QString printForm(int n);

// Short date yyyy-MM-dd.
QString shortDate(const QDate& d);
// Typed dates: yyyy-M-d or yyyy/M/d, blanks around trimmed; anything else -> nullopt.
std::optional<QDate> parseDate(const QString& text);
// A typed number ("12", " 3.5 ", "-2"): nullopt when it is not a number.
std::optional<double> parseNumber(const QString& text);

}  // namespace tv
