// A bill rounded to cents for its receipt: the monthly computation rounds the
// other fees too, the printed receipt and settlement sheet leave them; the
// unit prices stay as typed, so that the charges multiply out.
#include "shared/Receipt.h"

#include <gtest/gtest.h>

using namespace tv;

TEST(RoundBill, EveryAmountAndReadingGoesToCentsTiesToEvenTheOtherFeesOnlyWhenAskedThePricesNever) {
    BillRecord b;
    b.zj = Money::fromUnits(100050);    // 10.005 -> 10.00
    b.sdj = Money::fromUnits(28350);    // 2.835 stays
    b.sf = Money::fromUnits(-12345);    // -1.2345 -> -1.23
    b.ddj = Money::fromUnits(6855);     // 0.6855 stays
    b.df = Money::fromUnits(3094);      // 0.3094 -> 0.31
    b.hj = Money::fromUnits(10220550);  // 1022.055 -> 1022.06
    b.bysb = 1234.567f;
    b.sysb = 0.125f;  // exactly a tie in binary: 0.12
    b.ysl = 0.375f;   // 0.38
    b.bydb = 2345.5f;
    b.sydb = -3.456f;
    b.ydl = 78.004f;
    b.zf = Money::fromUnits(123456);  // 12.3456

    BillRecord all = b, kept = b;
    roundBill(all, OtherFees::Rounded);
    roundBill(kept, OtherFees::AsTheyAre);
    for (const BillRecord& r : {all, kept}) {
        const std::pair<Money, Money> amounts[] = {
            {r.zj, Money::fromInt(10)},      {r.sdj, Money::fromUnits(28350)}, {r.sf, Money::fromUnits(-12300)},
            {r.ddj, Money::fromUnits(6855)}, {r.df, Money::fromUnits(3100)},   {r.hj, Money::fromUnits(10220600)}};
        for (const auto& [rounded, expected] : amounts) EXPECT_EQ(rounded, expected);
        const std::pair<float, float> readings[] = {{r.bysb, 1234.57f}, {r.sysb, 0.12f},  {r.ysl, 0.38f},
                                                    {r.bydb, 2345.5f},  {r.sydb, -3.46f}, {r.ydl, 78.0f}};
        for (const auto& [rounded, expected] : readings) EXPECT_FLOAT_EQ(rounded, expected);
    }
    EXPECT_EQ(all.zf, Money::fromUnits(123500));
    EXPECT_EQ(kept.zf, Money::fromUnits(123456));
}
