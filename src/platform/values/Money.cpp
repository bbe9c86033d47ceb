// Money, the rounding rules and the number-to-text forms.
//
// toMoney and format00 work on the decimal form of a double: printf's %.*e with
// 15 significant digits (written by std::to_chars, which gives printf's digits), whose digits are then rounded exactly,
// so 1.15 * 4.5 (5.17499999999999982...) still counts as the 5.175 the user sees. round2Even works on the exact binary
// value the number's type holds.

#include "platform/values/Money.h"

#include <QDate>
#include <QRegularExpression>

#include <algorithm>
#include <cassert>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace tv {

namespace {

enum class Tie { Even, AwayFromZero };

constexpr int64_t kPow10[] = {1LL,
                              10LL,
                              100LL,
                              1000LL,
                              10000LL,
                              100000LL,
                              1000000LL,
                              10000000LL,
                              100000000LL,
                              1000000000LL,
                              10000000000LL,
                              100000000000LL,
                              1000000000000LL,
                              10000000000000LL,
                              100000000000000LL,
                              1000000000000000LL,
                              10000000000000000LL,
                              100000000000000000LL,
                              1000000000000000000LL};

// Divides n by 10^k with the given tie rule (n may be negative).
int64_t divRound(int64_t n, int k, Tie tie) {
    if (k <= 0)
        return n;
    if (k > 18)
        return 0;
    const int64_t d = kPow10[k];
    const bool neg = n < 0;
    // |n| in unsigned arithmetic: INT64_MIN too.
    const uint64_t a = neg ? 0u - static_cast<uint64_t>(n) : static_cast<uint64_t>(n);
    uint64_t q = a / static_cast<uint64_t>(d);
    const uint64_t r = a % static_cast<uint64_t>(d);
    assert(r < static_cast<uint64_t>(d));
    const uint64_t twice = r * 2;  // r < 10^18, so no overflow
    if (twice > static_cast<uint64_t>(d) ||
        (twice == static_cast<uint64_t>(d) && (tie == Tie::AwayFromZero || (q & 1u))))
        ++q;
    return neg ? -static_cast<int64_t>(q) : static_cast<int64_t>(q);
}

// x rounded to `decimals` places on its decimal form of `sig` significant
// digits, as a scaled whole number (x * 10^decimals). False when it does not
// fit in 64 bits or x is not finite.
bool roundDecimal(double x, int sig, int decimals, Tie tie, int64_t& out) {
    out = 0;
    if (!std::isfinite(x))
        return false;
    if (x == 0.0)
        return true;
    char buf[64];
    *std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::scientific, sig - 1).ptr = '\0';
    // "-d.ddddde+XX"
    const char* p = buf;
    const bool neg = *p == '-';
    if (neg)
        ++p;
    int64_t digits = 0;
    int count = 0;
    for (; *p && *p != 'e'; ++p) {
        if (*p >= '0' && *p <= '9') {
            digits = digits * 10 + (*p - '0');
            ++count;
        }
    }
    if (*p != 'e')
        return false;
    const int exp = std::atoi(p + 1);
    // value = digits * 10^(exp - (count - 1)); scaled by 10^decimals
    const int k = exp - (count - 1) + decimals;
    int64_t r;
    if (k >= 0) {
        if (k > 18)
            return false;
        if (digits > std::numeric_limits<int64_t>::max() / kPow10[k])
            return false;
        r = digits * kPow10[k];
    } else {
        r = divRound(digits, -k, tie);
    }
    out = neg ? -r : r;
    return true;
}

// Drops trailing zeros of a fixed-point text, and the point when nothing follows.
QString trimFraction(QString s) {
    if (!s.contains(QLatin1Char('.')))
        return s;
    while (s.endsWith(QLatin1Char('0'))) s.chop(1);
    if (s.endsWith(QLatin1Char('.')))
        s.chop(1);
    return s;
}

// A scaled whole number as text with `decimals` places, all of them kept.
QString scaledText(int64_t scaled, int decimals) {
    const bool neg = scaled < 0;
    uint64_t a = neg ? static_cast<uint64_t>(-(scaled + 1)) + 1u : static_cast<uint64_t>(scaled);
    char buf[48];
    char* const end = buf + sizeof buf;
    char* p = end;
    for (int i = 0; i < decimals; ++i, a /= 10) *--p = static_cast<char>('0' + a % 10);
    if (decimals > 0)
        *--p = '.';
    do *--p = static_cast<char>('0' + a % 10);
    while (a /= 10);
    if (neg && scaled != 0)
        *--p = '-';
    return QString::fromLatin1(p, end - p);
}

// Shortest text of x with at most `sig` significant digits, no trailing zeros,
// plain notation for ordinary magnitudes and E notation ("1.234568E+07") beyond.
QString generalText(double x, int sig) {
    if (std::isnan(x))
        return QStringLiteral("NaN");
    if (std::isinf(x))
        return x < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
    if (x == 0.0)
        return QStringLiteral("0");
    char buf[64];
    *std::to_chars(buf, buf + sizeof buf - 1, x, std::chars_format::scientific, sig - 1).ptr = '\0';
    const char* e = std::strchr(buf, 'e');
    const int exp = std::atoi(e + 1);
    if (exp >= sig || exp < -(sig + 1)) {
        QString mant = trimFraction(QString::fromLatin1(buf, static_cast<int>(e - buf)));
        QString ex = QString::number(std::abs(exp)).rightJustified(2, QLatin1Char('0'));
        return mant + (exp < 0 ? QStringLiteral("E-") : QStringLiteral("E+")) + ex;
    }
    const int decimals = std::max(0, sig - 1 - exp);
    double rounded = 0;
    std::from_chars(buf, buf + std::strlen(buf), rounded);
    *std::to_chars(buf, buf + sizeof buf - 1, rounded, std::chars_format::fixed, decimals).ptr = '\0';
    QString s = trimFraction(QString::fromLatin1(buf));
    if (s == QLatin1String("-0"))
        s = QStringLiteral("0");
    return s;
}

QString printFormOf(QString text) {
    const bool neg = text.startsWith(QLatin1Char('-'));
    if (neg)
        text.remove(0, 1);
    if (text.startsWith(QLatin1String("0.")))
        text.remove(0, 1);
    return (neg ? QStringLiteral("-") : QStringLiteral(" ")) + text + QLatin1Char(' ');
}

}  // namespace

Money Money::operator*(double f) const { return toMoney(toDouble() * f); }

void Money::overflow(double result) { throw OverflowError(QStringLiteral("数值超出范围：") + doubleText(result)); }

Money toMoney(double x) {
    int64_t units;
    if (!roundDecimal(x, 15, 4, Tie::Even, units))
        Money::overflow(x);
    return Money::fromUnits(units);
}

// The units' extremes end in 07 and 08 hundredths, so that the rounded
// count of cents times 100 always stays in range.
Money round2Even(Money m) { return Money::fromUnits(divRound(m.units(), 2, Tie::Even) * 100); }

// A float's exact value is a double's: rounding that gives the double nearest
// to the decimal result, and the float nearest to that double is the float
// nearest to the decimal result (it cannot fall on a float's halfway point).
float round2Even(float f) { return static_cast<float>(round2Even(static_cast<double>(f))); }

double round2Even(double d) {
    // From 2^46 on, doubles are at least 2^-6 apart: the one nearest to d
    // rounded (at most 0.005 away) is d itself. NaN and infinities stay too.
    if (!(std::fabs(d) < 0x1p46))
        return d;
    // d = m / 2^shift exactly, m a whole number below 2^53, so that
    // d * 100 = m * 100 / 2^shift with m * 100 below 2^60.
    int e = 0;
    const double frac = std::frexp(d, &e);  // d = frac * 2^e, 0.5 <= |frac| < 1
    const int shift = 53 - e;               // at least 7
    const uint64_t n = static_cast<uint64_t>(std::fabs(std::ldexp(frac, 53))) * 100u;
    uint64_t q = 0;
    if (shift < 62) {  // else d * 100 < 1/2
        q = n >> shift;
        const uint64_t r = n & ((uint64_t{1} << shift) - 1), half = uint64_t{1} << (shift - 1);
        if (r > half || (r == half && (q & 1u)))
            ++q;
    }
    if (q == 0)
        return 0.0;
    // q below 2^53, exact, and so is 100: one correctly rounded division.
    const double x = static_cast<double>(q) / 100.0;
    return d < 0 ? -x : x;
}

QString format00(double x) {
    int64_t scaled;
    if (!roundDecimal(x, 15, 2, Tie::AwayFromZero, scaled)) {
        if (!std::isfinite(x))
            return generalText(x, 15);
        return QString::number(x, 'f', 2);
    }
    return scaledText(scaled, 2);
}

QString format00(Money m) { return scaledText(divRound(m.units(), 2, Tie::AwayFromZero), 2); }

QString format00Exact(Money m) {
    QString s = scaledText(m.units(), 4);
    while (s.endsWith(QLatin1Char('0')) && s.size() - s.indexOf(QLatin1Char('.')) > 3) s.chop(1);
    return s;
}

QString floatText(float f) { return generalText(static_cast<double>(f), 7); }

QString doubleText(double d) { return generalText(d, 15); }

QString plainDigits(double whole) {
    if (!std::isfinite(whole) || whole != std::trunc(whole))
        return doubleText(whole);
    if (whole == 0.0)
        return QStringLiteral("0");
    char buf[40];
    *std::to_chars(buf, buf + sizeof buf - 1, whole, std::chars_format::scientific).ptr = '\0';
    // "-d.ddde+XX": the digits, then as many zeros as the exponent leaves.
    const char* e = std::strchr(buf, 'e');
    QString out;
    for (const char* p = buf; p < e; ++p)
        if (*p != '.')
            out += QLatin1Char(*p);
    const qsizetype digits = out.size() - (whole < 0);
    out += QString(std::max<qsizetype>(0, std::atoi(e + 1) + 1 - digits), QLatin1Char('0'));
    return out;
}

QString moneyText(Money m) { return trimFraction(scaledText(m.units(), 4)); }

QString printForm(float f) { return printFormOf(floatText(f)); }

QString printForm(double d) { return printFormOf(doubleText(d)); }

QString printForm(int n) { return printFormOf(QString::number(n)); }

QString shortDate(const QDate& d) {
    if (!d.isValid())
        return QString();
    int y = d.year();
    const int m = d.month(), day = d.day();
    if (y < 0 || y > 9999)
        return d.toString(QStringLiteral("yyyy-MM-dd"));
    char16_t buf[10] = {};
    for (int i = 3; i >= 0; --i, y /= 10) buf[i] = static_cast<char16_t>(u'0' + y % 10);
    buf[4] = u'-';
    buf[5] = static_cast<char16_t>(u'0' + m / 10);
    buf[6] = static_cast<char16_t>(u'0' + m % 10);
    buf[7] = u'-';
    buf[8] = static_cast<char16_t>(u'0' + day / 10);
    buf[9] = static_cast<char16_t>(u'0' + day % 10);
    return QString(reinterpret_cast<const QChar*>(buf), 10);
}

std::optional<QDate> parseDate(const QString& text) {
    // yyyy-M-d or yyyy/M/d (one separator throughout), blanks around trimmed.
    const QStringView t = QStringView(text).trimmed();
    const qsizetype n = t.size();
    qsizetype i = 0;
    auto digits = [&](int minCount, int maxCount, int& out) {
        int count = 0;
        out = 0;
        while (i < n && count < maxCount && t[i] >= u'0' && t[i] <= u'9') {
            out = out * 10 + (t[i].unicode() - u'0');
            ++i;
            ++count;
        }
        return count >= minCount && !(i < n && t[i] >= u'0' && t[i] <= u'9');
    };
    int y, m, d;
    if (!digits(4, 4, y) || i >= n)
        return std::nullopt;
    const QChar sep = t[i];
    if (sep != u'-' && sep != u'/')
        return std::nullopt;
    ++i;
    if (!digits(1, 2, m) || i >= n || t[i] != sep)
        return std::nullopt;
    ++i;
    if (!digits(1, 2, d) || i != n)
        return std::nullopt;
    const QDate date(y, m, d);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

std::optional<double> parseNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?$"));
    const QString t = text.trimmed();
    if (!re.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double d = t.toDouble(&ok);
    if (!ok || !std::isfinite(d))
        return std::nullopt;
    return d;
}

}  // namespace tv
