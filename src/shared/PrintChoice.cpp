#include "shared/PrintChoice.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/forms/TextViewer.h"
#include "platform/values/Money.h"
#include "shared/PrintRoutines.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <QFileInfo>

#include <utility>

namespace tv {

windows::DataWindow* dataWindowOf(FormCode code) {
    static const std::pair<FormCode, const char*> windowOf[] = {{FormCode::CheckIn, windows::kCheckIn},
                                                                {FormCode::Records, windows::kRecords},
                                                                {FormCode::Billing, windows::kBilling},
                                                                {FormCode::Fees, windows::kFees}};
    for (const auto& [known, name] : windowOf)
        if (code == known)
            return dynamic_cast<windows::DataWindow*>(forms::Registry::loaded(QString::fromLatin1(name)));
    return nullptr;
}

bool currentRowToPrint(const windows::DataWindow* window) {
    if (window && window->hasCurrentRow())
        return true;
    dlg::msgBox(QStringLiteral("没有当前记录，不能打印！"), dlg::Info, dlg::kNoteTitle);
    return false;
}

void printChoice(PrintCaller caller) {
    SharedState& s = state();
    const std::optional<QString> answer =
        dlg::inputBox(QStringLiteral("打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)："),
                      QStringLiteral("输入提示"), QStringLiteral("2"));
    const std::optional<double> choice = answer ? parseNumber(*answer) : std::nullopt;
    if (!choice)
        return;  // Cancel, or text that is no number: none of the choices
    double n = *choice;
    if (n == 0) {
        dlg::msgBox(QStringLiteral("您没有正确选择选项,默认取值为 2 ！"), dlg::Info, dlg::kHintTitle);
        if (caller == PrintCaller::MainWindow)
            return;
        n = 2;
    }
    if (n == 1) {
        const FormCode code = caller == PrintCaller::Computation  ? FormCode::Billing
                              : caller == PrintCaller::FeeRecords ? FormCode::Fees
                                                                  : s.ActiveFormCode;
        windows::DataWindow* window = dataWindowOf(code);
        if (!currentRowToPrint(window))
            return;
        // A window's current bill may have been reached without a click: it
        // is taken whole, never mixed with the one before.
        if (auto* bills = dynamic_cast<windows::BillWindow*>(window))
            bills->holdCurrentBill();
        PrintReceipt(s.CurrentBill, s.AmountInWords);
    } else if (n == 2) {
        if (auto* fees = forms::Registry::loadedAs<windows::FeesWindow>(); fees && caller == PrintCaller::FeeRecords)
            fees->chooseBillsForBatch();
        batchPrint();
    }
}

void batchPrint() {
    forms::Form* fees = forms::Registry::instance(QString::fromLatin1(windows::kFees));
    auto* window = dynamic_cast<windows::FeesWindow*>(fees);
    if (!window)
        return;
    if (!fees->isLoaded())
        fees->show();
    if (fees->isLoaded())
        window->Zddy();
}

bool viewReceiptFile(const QString& path) {
    const QFileInfo file(path);
    if (path.isEmpty() || !file.isFile()) {
        dlg::msgBox(QStringLiteral("请选择要浏览的文件！"), dlg::Info, dlg::kHintTitle);
        return false;
    }
    forms::TextViewer& viewer = forms::the<forms::TextViewer>();
    viewer.open(file.absoluteFilePath());
    return true;
}

}  // namespace tv
