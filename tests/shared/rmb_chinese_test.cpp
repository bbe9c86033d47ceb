#include "shared/RMBChinese.h"
#include "shared/SharedState.h"

#include <gtest/gtest.h>

using tv::RMBChinese;

TEST(RMBChinese, WritesEveryPlaceWithItsUnit) {
    EXPECT_EQ(RMBChinese(0), "零元零角零分");
    EXPECT_EQ(RMBChinese(0.07), "零元零角柒分");
    EXPECT_EQ(RMBChinese(0.5), "零元伍角零分");
    EXPECT_EQ(RMBChinese(10.2), "壹拾零元贰角零分");
    EXPECT_EQ(RMBChinese(100), "壹佰零拾零元零角零分");
    EXPECT_EQ(RMBChinese(1234.56), "壹仟贰佰叁拾肆元伍角陆分");
    EXPECT_EQ(RMBChinese(100000), "壹拾零万零仟零佰零拾零元零角零分");
    EXPECT_EQ(RMBChinese(20000.5), "贰万零仟零佰零拾零元伍角零分");
    EXPECT_EQ(RMBChinese(1022.05), "壹仟零佰贰拾贰元零角伍分");
}

TEST(RMBChinese, NegativeAmounts) {
    EXPECT_EQ(RMBChinese(-12.5), "负壹拾贰元伍角零分");
    EXPECT_EQ(RMBChinese(-5.5), "负伍元伍角零分");
    // Rounds to zero: never "负零元".
    EXPECT_EQ(RMBChinese(-0.001), "零元零角零分");
    EXPECT_EQ(RMBChinese(-0.004), "零元零角零分");
}

TEST(RMBChinese, RoundsDecimallyHalfAwayFromZero) {
    EXPECT_EQ(RMBChinese(1.005), "壹元零角壹分");
    EXPECT_EQ(RMBChinese(0.125), "零元壹角叁分");
    EXPECT_EQ(RMBChinese(-0.125), "负零元壹角叁分");
    EXPECT_EQ(RMBChinese(305.004), "叁佰零拾伍元零角零分");
    EXPECT_EQ(RMBChinese(2.675), "贰元陆角捌分");
}

TEST(RMBChinese, TwelveIntegerDigitsAtMost) {
    const QString tooLong = "需转换的金额整数长度超过了12位！";
    EXPECT_EQ(RMBChinese(999999999999.99), "玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
    EXPECT_EQ(RMBChinese(-999999999999.99), "负玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
    EXPECT_EQ(RMBChinese(1000000000000.0), tooLong);
    EXPECT_EQ(RMBChinese(-1000000000000.0), tooLong);
    EXPECT_EQ(RMBChinese(999999999999.996), tooLong);
    // Just below the limit as a binary number, but rounding to thirteen digits.
    EXPECT_EQ(RMBChinese(999999999999.9949), tooLong);
    EXPECT_EQ(RMBChinese(-999999999999.9949), tooLong);
    EXPECT_EQ(RMBChinese(999999999999.994), "玖仟玖佰玖拾玖亿玖仟玖佰玖拾玖万玖仟玖佰玖拾玖元玖角玖分");
    EXPECT_EQ(RMBChinese(1e300), tooLong);
    EXPECT_EQ(RMBChinese(std::nan("")), tooLong);
}

TEST(SharedState, ClearCurrentBillLeavesWordsSettlementAndRecords) {
    tv::resetState();
    auto& s = tv::state();
    EXPECT_EQ(s.ActiveFormCode, "");
    EXPECT_EQ(s.DatabasePath, "");
    s.CurrentBill.fjh = "101";
    s.CurrentBill.hj = tv::Money::fromInt(1022);
    s.CurrentBill.bysb = 12.5f;
    s.CurrentOtherFees.kdf = tv::Money::fromInt(30);
    s.CurrentOtherFees.fjh = "101";
    s.AmountInWords = "壹仟";
    s.SettleDeposit = tv::Money::fromInt(1000);
    s.CurrentCheckIn.xm = "王小明";
    tv::ClearCurrentBill();
    EXPECT_EQ(s.CurrentBill.fjh, "");
    EXPECT_EQ(s.CurrentBill.hj, tv::Money());
    EXPECT_EQ(s.CurrentBill.bysb, 0.0f);
    EXPECT_EQ(s.CurrentOtherFees.kdf, tv::Money());
    EXPECT_EQ(s.CurrentOtherFees.fjh, "");
    EXPECT_EQ(s.LastMonthDate, "0");
    EXPECT_EQ(s.AmountInWords, "壹仟");
    EXPECT_EQ(s.SettleDeposit, tv::Money::fromInt(1000));
    EXPECT_EQ(s.CurrentCheckIn.xm, "王小明");
    tv::resetState();
}
