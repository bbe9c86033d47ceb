#pragma once
// The check-out settlement window: a fee record picked in the grid is copied
// into a form drawn like the settlement sheet; the days, deposit and arrears
// typed, a mode chosen, the confirm button settles the account and keeps it
// in the room's settlement file; a kept settlement is read back; the sheet is
// printed. The window keeps its own copy of the bill it settles, so that a
// bill clicked in another window never mixes into the printed sheet.

#include "fees/Settlement.h"
#include "platform/forms/Form.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <QString>

#include <cstdint>
#include <optional>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tv::forms {
class DataControl;
class DataGrid;
}  // namespace tv::forms

namespace tv::fees {

struct FrmTfjsUi {
    forms::DataControl* Data1 = nullptr;
    forms::DataGrid* DBGrid1 = nullptr;
    QLabel* DBGrid1Caption = nullptr;
    // The settlement form.
    QFrame* Frame2 = nullptr;
    QLabel* LelBt = nullptr;
    QLineEdit *TxtFh1 = nullptr, *Txtjfrq = nullptr, *Txtfjh = nullptr, *Txtzj = nullptr, *Txtzf = nullptr,
              *TxtYj = nullptr, *Txtsfsd1 = nullptr, *Txtsfsd2 = nullptr, *TxtQzze = nullptr, *Txtbysb = nullptr,
              *Txtsysb = nullptr, *Txtysl = nullptr, *Txtsdj = nullptr, *Txtsf = nullptr, *Txtbydb = nullptr,
              *Txtsydb = nullptr, *Txtydl = nullptr, *Txtddj = nullptr, *Txtdf = nullptr, *Txthj = nullptr,
              *Txthj1 = nullptr;
    // The working controls.
    QLineEdit *TxtByts = nullptr, *TxtJzts = nullptr, *Txtjfrq2 = nullptr, *TxtFh2 = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr;
    QComboBox* CboBtth = nullptr;
    QPushButton *CmdCx = nullptr, *CmdQr = nullptr, *CmdDk = nullptr, *CmdPrinter = nullptr, *CmdExit = nullptr;
};

class FrmTfjs : public forms::Window<FrmTfjsUi>, public windows::OpenedOnDataFile {
public:
    static constexpr const char* kName = windows::kSettlement;
    FrmTfjs();

    // What the file dialog is asked for, which names its title.
    enum class FileDialog { None, NewDataFile, OpenDataFile, SettlementFile };

    // The window's own variables (they outlive an unload).
    QString SettlementFileName;
    // How the account is settled: 非欠租结算 or 带欠租结算 (none until a box is ticked).
    std::optional<SettlementKind> SettlementMode;
    FileDialog OpDialogMode = FileDialog::None;  // the one asked last since the load
    Money Deposit{}, Arrears{};                  // of the settlement
    Money RentDue{}, DailyRent{};
    float ChargedDays = 0, MonthDays = 0, DaysLived = 0;
    Money DailyOtherFee{}, OtherFeeDue{}, MonthlyRent{}, MonthlyOtherFee{};
    int RowTotal = 0;
    // The bill being settled with its total in capitals: what 打印 prints.
    BillRecord Bill;
    QString Words;

    // The file dialog: the chosen path into Myp, which a cancel leaves alone.
    void Op(QString& Myp, FileDialog YYno);

protected:
    QSize designSize() const override { return {15600, 9840}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void buildWorking(QWidget* root);
    void buildForm(QWidget* root);
    void connectHandlers(QWidget* root);
    void loadSource();
    void showBill(uint32_t fields);
    SettlementKind kind() const;
    bool settled() const { return SettlementMode.has_value(); }
    void chooseModeAfresh();
    void saveSettlement(Money deposit, Money arrears);

    void Data1_Reposition();
    void DBGrid1_DblClick();
    void Check_Click(int n);
    void CboBtth_Click();
    void CmdCx_Click();
    void CmdQr_Click();
    void CmdDk_Click();
    void CmdPrinter_Click();
    // The boxes that compute as they are typed in.
    void TxtJzts_Change();
    void Typed(QLineEdit* box);
};

}  // namespace tv::fees
