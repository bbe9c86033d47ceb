#pragma once
// Values as the windows and the data engine hand them around: Null, text,
// whole numbers, single and double floats, money, dates and bytes.

#include "platform/values/Money.h"

#include <QByteArray>
#include <QDate>
#include <QString>

#include <cstdint>
#include <variant>

namespace tv {

class Value {
public:
    enum class Kind { Null, Text, Int16, Int32, Single, Double, Money, Date, Bytes };

    Value() = default;  // Null
    Value(const QString& s) : v_(s) {}
    Value(const char* s) : v_(QString::fromUtf8(s)) {}
    Value(int16_t n) : v_(n) {}
    Value(int32_t n) : v_(n) {}
    Value(float f) : v_(f) {}
    Value(double d) : v_(d) {}
    Value(tv::Money m) : v_(m) {}
    Value(const QDate& d) : v_(d) {}
    Value(const QByteArray& b) : v_(b) {}

    static Value null() { return Value(); }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isNumber() const;

    // Display text, as a text box shows the value: Null -> "", numbers in their
    // text form (floatText for Single), Money with its decimals trimmed like a
    // number ("800", "19.99"), dates as yyyy-MM-dd, bytes as "".
    QString toText() const;
    // Numeric views; Null and non-numeric text give 0. toMoney of a number
    // beyond the money range raises OverflowError (see tv::toMoney).
    double toDouble() const;
    float toSingle() const;
    tv::Money toMoney() const;
    int32_t toInt() const;
    QByteArray toBytes() const;
    QDate toDate() const;

    bool operator==(const Value& o) const { return v_ == o.v_; }

private:
    std::variant<std::monostate, QString, int16_t, int32_t, float, double, tv::Money, QDate, QByteArray> v_;
};

}  // namespace tv
