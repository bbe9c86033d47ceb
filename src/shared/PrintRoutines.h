#pragma once
// The printed documents: the fee receipt, the batch receipt, the settlement
// sheet, and the registration form (one, or a pair on one sheet). Each takes
// the record it prints; the forms take their choice, the window they print
// for and the photo offsets from the shared state. The entry points without
// arguments print the records of the shared state.

#include "platform/values/Money.h"
#include "shared/SharedState.h"

#include <QString>

namespace tv {

// The bill is rounded to cents in place (its other fees as they are) before
// it prints, with its total in capitals `amountInWords`. The receipt and
// the settlement sheet ask for the paper first and make a document each; a
// batch receipt asks nothing, goes on in the document open (or opens one)
// and leaves it open.
void PrintReceipt(BillRecord& bill, const QString& amountInWords);
void PrintBatchReceipt(BillRecord& bill, const QString& amountInWords);
void PrintSettlement(BillRecord& bill, const QString& amountInWords, Money deposit, Money arrears);
// Refused without a one- or two-registration choice (EditMode); the pair
// prints only with the two-registration choice, which it then clears.
void PrintRegForm(const CheckInRecord& registration);
void PrintRegFormPair(const CheckInRecord& first, const CheckInRecord& second);

// CurrentBill with AmountInWords (and SettleDeposit, SettleArrears);
// CurrentCheckIn (and SecondCheckIn).
void PrintReceipt();
void PrintBatchReceipt();
void PrintSettlement();
void PrintRegForm();
void PrintRegFormPair();

}  // namespace tv
