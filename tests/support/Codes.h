#pragma once
// The short texts the golden files and the tables of the tests give the shared
// codes, "YE1" for the check-in window or for one registration per sheet as
// the old program wrote them, "" for none; and those texts read back.

#include "shared/SharedState.h"

#include <QString>

#include <array>
#include <utility>

namespace tv::test {

inline constexpr std::array<std::pair<FormCode, const char*>, 5> kFormCodes{{{FormCode::None, ""},
                                                                             {FormCode::CheckIn, "YE1"},
                                                                             {FormCode::Records, "YE2"},
                                                                             {FormCode::Billing, "YE3"},
                                                                             {FormCode::Fees, "YE4"}}};
inline constexpr std::array<std::pair<Sheets, const char*>, 3> kSheets{
    {{Sheets::Unchosen, ""}, {Sheets::One, "YE1"}, {Sheets::Two, "YE2"}}};

// The text of `value` in `table`; the value of `text` ("" names the first).
template <class T, size_t N>
QString codeText(const std::array<std::pair<T, const char*>, N>& table, T value) {
    for (const auto& [v, t] : table)
        if (v == value)
            return QString::fromLatin1(t);
    return QStringLiteral("?");
}
template <class T, size_t N>
T codeOf(const std::array<std::pair<T, const char*>, N>& table, const QString& text) {
    for (const auto& [v, t] : table)
        if (text == QLatin1String(t))
            return v;
    return table[0].first;
}

inline QString text(FormCode code) { return codeText(kFormCodes, code); }
inline QString text(Sheets choice) { return codeText(kSheets, choice); }
inline FormCode formCode(const QString& text) { return codeOf(kFormCodes, text); }
inline Sheets sheets(const QString& text) { return codeOf(kSheets, text); }

}  // namespace tv::test
