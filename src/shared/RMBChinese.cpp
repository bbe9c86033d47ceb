#include "shared/RMBChinese.h"

#include "platform/values/Money.h"

#include <cmath>

namespace tv {

QString RMBChinese(double amount) {
    static const QString kTooLong = QStringLiteral("需转换的金额整数长度超过了12位！");
    static const QString kDigits = QStringLiteral("零壹贰叁肆伍陆柒捌玖");
    static const QString kUnits = QStringLiteral("分角元拾佰仟万拾佰仟亿拾佰仟");

    if (!std::isfinite(amount) || std::fabs(amount) >= 1e13)
        return kTooLong;

    // Two decimals, a half away from zero on the decimal form: 1.005 -> "1.01".
    // A negative amount that rounds to zero comes back as "0.00".
    QString s = format00(amount);
    s.remove(QLatin1Char('.'));
    bool negative = s.startsWith(QLatin1Char('-'));
    if (negative)
        s.remove(0, 1);
    // The limit applies to the rounded amount: more than twelve integer
    // digits (999999999999.9949 rounds up to thirteen) has no unit words.
    if (s.size() > kUnits.size())
        return kTooLong;

    QString r;
    for (int i = 1; i <= s.size(); ++i) {
        int d = s.at(s.size() - i).digitValue();
        r.prepend(kUnits.at(i - 1));
        r.prepend(kDigits.at(d));
    }
    if (negative)
        r.prepend(QStringLiteral("负"));
    return r;
}

}  // namespace tv
