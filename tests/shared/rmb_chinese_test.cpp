// The amount in Chinese capitals, and the shared state's bill clearing.
#include "shared/RMBChinese.h"
#include "shared/SharedState.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(RMBChinese, WritesEveryPlaceRoundsHalfAwayAndStopsPastTwelveDigits) {
    const QString largest = "玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分";
    const std::pair<double, QString> cases[] = {{0, "零元零角零分"},
                                                {0.07, "零元零角柒分"},
                                                {100, "壹佰零拾零元零角零分"},
                                                {1234.56, "壹仟贰佰叁拾肆元伍角陆分"},
                                                {20000.5, "贰万零仟零佰零拾零元伍角零分"},
                                                {100000, "壹拾零万零仟零佰零拾零元零角零分"},
                                                {-5.5, "负伍元伍角零分"},
                                                {-0.004, "零元零角零分"},  // rounds to zero: never "负零元"
                                                // Two decimals, half away from zero on the decimal form.
                                                {1.005, "壹元零角壹分"},
                                                {2.675, "贰元陆角捌分"},
                                                {-0.125, "负零元壹角叁分"},
                                                // Twelve integer digits at most, counted after the rounding.
                                                {999999999999.99, largest},
                                                {-999999999999.99, "负" + largest},
                                                {999999999999.994, largest}};
    for (const auto& [amount, text] : cases) EXPECT_EQ(tv::RMBChinese(amount), text) << amount;
    for (double over : {999999999999.9949, -999999999999.9949, 1e12, -1e12, 1e300, std::nan("")})
        EXPECT_EQ(tv::RMBChinese(over), "需转换的金额整数长度超过了12位！") << over;
}

TEST(SharedState, ClearCurrentBillLeavesTheWordsAndTheRegistrations) {
    tv::resetState();
    auto& s = tv::state();
    s.CurrentBill = {.fjh = "101", .bysb = 12.5f, .hj = tv::Money::fromInt(1022)};
    s.AmountInWords = "壹仟";
    s.CurrentCheckIn.xm = "王小明";
    tv::ClearCurrentBill();
    EXPECT_EQ(s.CurrentBill.fjh + "|", "|");
    EXPECT_EQ(s.CurrentBill.hj, tv::Money());
    EXPECT_EQ(s.CurrentBill.bysb, 0.0f);
    // Kept: the amount in words, the registrations.
    EXPECT_EQ(s.AmountInWords + s.CurrentCheckIn.xm, "壹仟王小明");
    tv::resetState();
}
