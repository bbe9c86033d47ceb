#pragma once
// The print question of the fee windows and of the main window, "打印单条记录
// 请选'1';打印全部记录请选'2'": 1 prints the bill held in CurrentBill as one
// receipt, 2 prints every bill of the fee records window's billing date,
// three receipts to a sheet; and the viewer of the receipt file.

#include "shared/SharedState.h"

#include <QString>

namespace tv {

namespace windows {
class DataWindow;
}

// The data window a form code names (the settlement window's code names the
// fee records window) while it is loaded, else null.
windows::DataWindow* dataWindowOf(FormCode code);

// True when `window` (null: a window that is not open) has a current row
// to print; otherwise it says "没有当前记录，不能打印！" and the print must
// print nothing.
bool currentRowToPrint(const windows::DataWindow* window);

// Who asks: what the answer 0 does and whether the batch holds the bills.
enum class PrintCaller {
    MainWindow,   // 0: says "默认取值为 2" and prints nothing
    Computation,  // 0: says so, then prints as 2
    FeeRecords,   // 0: as Computation; 2 chooses the fee records window's batch of bills first
};

// Asks the question (input box "输入提示", default "2") and prints what the
// answer chose; an answer that is no number, and Cancel, do nothing. One
// bill is printed only while the window asking (for the main window: the
// data window loaded last) has a current bill; from the computation or the
// fee records window it is the whole bill of its current row.
void printChoice(PrintCaller caller);

// The batch print of the fee records window (its billing date, its rows),
// which is loaded and shown first when it is not open: it then stops with
// the message of its empty table or of its empty billing-date box.
void batchPrint();

// Shows the receipt file at `path` in the program's text viewer and
// returns true; a path that names no existing file (none chosen, a folder, a
// missing file) shows nothing and says "请选择要浏览的文件！", returning false.
bool viewReceiptFile(const QString& path);

}  // namespace tv
