#pragma once
// The printed documents: the fee receipt, the batch receipt, the settlement
// sheet, and the registration form (one, or a pair on one sheet). They take no
// arguments: they print from the shared state.

namespace tv {

void PrintReceipt();
void PrintBatchReceipt();
void PrintSettlement();
void PrintRegForm();
void PrintRegFormPair();

}  // namespace tv
