#pragma once
// An amount in Chinese capital numerals, every place written out with its unit.

#include <QString>

namespace tv {

// 1234.56 -> "壹仟贰佰叁拾肆元伍角陆分"; over twelve integer digits gives
// "需转换的金额整数长度超过了12位！".
QString RMBChinese(double amount);

}  // namespace tv
