#pragma once
// The printed documents: the fee receipt, the batch receipt, the settlement
// sheet, and the registration form (one, or a pair on one sheet). Each takes
// what it prints; a form, the window it is printed for, whose photo it
// carries.

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

// Where the photos of a pair of forms go (twips): X1, Y1 for the first form's,
// X2, Y2 for the second's, down from the registration records window's photo
// boxes.
struct PairOffsets {
    float X1 = 0, Y1 = 0, X2 = 0, Y2 = 0;
};

// One form titled `title` (the usual title when it is empty), with the photo
// of the check-in or the tenant records window when `from` names one of them
// (and it is loaded), for any other window none. The photo goes `offsetX`
// across and `offsetY` up from the tenant records window's photo box (twips);
// from the check-in window, offsets never set (both 0) are that box's start
// values.
void PrintRegForm(const CheckInRecord& registration, FormCode from, const QString& title, float offsetX, float offsetY);
// Two forms on one sheet, the second without a title line; the photos of the
// registration records window only when the check-in or the tenant records
// window is `from`.
void PrintRegFormPair(const CheckInRecord& first, const CheckInRecord& second, FormCode from, const QString& title,
                      const PairOffsets& offsets);

}  // namespace tv
