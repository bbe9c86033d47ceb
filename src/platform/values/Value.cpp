// Conversions between the kinds of Value.

#include "platform/values/Value.h"

#include <cmath>
#include <limits>

namespace tv {

namespace {

// Half to even, kept within the range of int32 (the whole-number rule of the
// old conversions).
int32_t toInt32(double d) {
    if (std::isnan(d))
        return 0;
    const double r = std::nearbyint(d);  // default rounding mode: ties to even
    if (r >= static_cast<double>(std::numeric_limits<int32_t>::max()))
        return std::numeric_limits<int32_t>::max();
    if (r <= static_cast<double>(std::numeric_limits<int32_t>::min()))
        return std::numeric_limits<int32_t>::min();
    return static_cast<int32_t>(r);
}

}  // namespace

bool Value::isNumber() const {
    switch (kind()) {
        case Kind::Int16:
        case Kind::Int32:
        case Kind::Single:
        case Kind::Double:
        case Kind::Money:
            return true;
        default:
            return false;
    }
}

QString Value::toText() const {
    switch (kind()) {
        case Kind::Null:
            return QString();
        case Kind::Text:
            return std::get<QString>(v_);
        case Kind::Int16:
            return QString::number(std::get<int16_t>(v_));
        case Kind::Int32:
            return QString::number(std::get<int32_t>(v_));
        case Kind::Single:
            return floatText(std::get<float>(v_));
        case Kind::Double:
            return doubleText(std::get<double>(v_));
        case Kind::Money:
            return moneyText(std::get<tv::Money>(v_));
        case Kind::Date:
            return shortDate(std::get<QDate>(v_));
        case Kind::Bytes:
            return QString();
    }
    return QString();
}

double Value::toDouble() const {
    switch (kind()) {
        case Kind::Text:
            return parseNumber(std::get<QString>(v_)).value_or(0.0);
        case Kind::Int16:
            return std::get<int16_t>(v_);
        case Kind::Int32:
            return std::get<int32_t>(v_);
        case Kind::Single:
            return std::get<float>(v_);
        case Kind::Double:
            return std::get<double>(v_);
        case Kind::Money:
            return std::get<tv::Money>(v_).toDouble();
        default:
            return 0.0;
    }
}

float Value::toSingle() const {
    if (kind() == Kind::Single)
        return std::get<float>(v_);
    return static_cast<float>(toDouble());
}

tv::Money Value::toMoney() const {
    switch (kind()) {
        case Kind::Money:
            return std::get<tv::Money>(v_);
        case Kind::Int16:
            return tv::Money::fromInt(std::get<int16_t>(v_));
        case Kind::Int32:
            return tv::Money::fromInt(std::get<int32_t>(v_));
        default:
            return tv::toMoney(toDouble());
    }
}

int32_t Value::toInt() const {
    switch (kind()) {
        case Kind::Int16:
            return std::get<int16_t>(v_);
        case Kind::Int32:
            return std::get<int32_t>(v_);
        case Kind::Money: {
            const int64_t u = std::get<tv::Money>(v_).units();
            // half to even on the exact decimal value
            int64_t q = u / 10000, r = u % 10000;
            if (r < 0) {
                r += 10000;
                --q;
            }
            if (r > 5000 || (r == 5000 && (q & 1)))
                ++q;
            if (q > std::numeric_limits<int32_t>::max())
                return std::numeric_limits<int32_t>::max();
            if (q < std::numeric_limits<int32_t>::min())
                return std::numeric_limits<int32_t>::min();
            return static_cast<int32_t>(q);
        }
        default:
            return toInt32(toDouble());
    }
}

QByteArray Value::toBytes() const {
    if (kind() == Kind::Bytes)
        return std::get<QByteArray>(v_);
    return QByteArray();
}

QDate Value::toDate() const {
    if (kind() == Kind::Date)
        return std::get<QDate>(v_);
    if (kind() == Kind::Text)
        return parseDate(std::get<QString>(v_)).value_or(QDate());
    return QDate();
}

}  // namespace tv
