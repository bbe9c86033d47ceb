#pragma once
// The fee records window: the fee records and other fees of the data file in
// two grids, the search by billing date with room, name or ID number, the
// delete, a clicked bill previewed as a receipt with its total in capitals,
// the recompute of one billing date's charges and the totals, the receipts
// printed one or a billing date at a time (three to a sheet), and the door
// to the check-out settlement.

#include "platform/forms/Form.h"
#include "platform/values/Money.h"
#include "shared/Windows.h"

#include <QDate>
#include <QString>

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

struct FrmZsdwhUi {
    // Fee records, other fees, registrations (counted), users.
    forms::DataControl *Data1 = nullptr, *Data2 = nullptr, *Data3 = nullptr, *Data4 = nullptr;
    forms::DataGrid *DBGrid2 = nullptr, *DBGrid1 = nullptr;
    QLabel *DBGrid2Caption = nullptr, *DBGrid1Caption = nullptr;
    QLabel *Image1 = nullptr, *Image2 = nullptr;
    QComboBox *CboCxfs = nullptr, *CboDel = nullptr, *CboBtth = nullptr;
    QLineEdit *Txtjfrq = nullptr, *TxtFh = nullptr, *Txtzk = nullptr, *Txtzh = nullptr, *TxtTs = nullptr;
    QLineEdit *Txtsfhz = nullptr, *Txtdfhz = nullptr, *TxtZjhj = nullptr, *Txthjhz = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr;
    QPushButton *CmdCx = nullptr, *CmdDel = nullptr, *CmdQr = nullptr, *CmdHz = nullptr, *CmdPrinter = nullptr,
                *CmdTfjs = nullptr, *CmdExit = nullptr;
    QLabel *Lelzdjl = nullptr, *Lelzkjl = nullptr, *LelYhm = nullptr, *LelGlcy = nullptr;
    // The bill preview, drawn like the receipt.
    QFrame* Frame2 = nullptr;
    QLabel *LelBt = nullptr, *Leldx = nullptr, *Lelfjh1 = nullptr, *Leljfrq = nullptr, *Lelfjh = nullptr,
           *Lelzj = nullptr, *Lelzf = nullptr, *Lelsfsd1 = nullptr, *Lelsfsd2 = nullptr, *Lelbysb = nullptr,
           *Lelsysb = nullptr, *Lelysl = nullptr, *Lelsdj = nullptr, *Lelbysf = nullptr, *Lelbydb = nullptr,
           *Lelsydb = nullptr, *Lelydl = nullptr, *Lelddj = nullptr, *Leldf = nullptr, *Lelhj = nullptr;
};

class FrmZsdwh : public forms::Window<FrmZsdwhUi>, public windows::FeesWindow, public windows::DataWindow {
public:
    static constexpr const char* kName = windows::kFees;
    FrmZsdwh();

    // What its two boxes chose to recompute for the billing date typed: the
    // fee records (刷新账单) or the other fees (刷新杂费); the totals and the
    // batch print hold the bills as a recompute of the fee records does.
    enum class Mode { None, Bills, OtherFees };
    Mode EditMode = Mode::None;
    // The sums of the billing date of the last recompute or totals, exact as money.
    struct Totals {
        Money sf{}, df{}, zj{}, hj{};
        QString jfrq{};
    };
    Totals SummaryTotals;
    // Rows of the fee records, other fees, registrations and users as last
    // counted (the captions show them).
    int FeeRecordCount = 0, OtherFeeCount = 0, TenantCount = 0, UserCount = 0;

    // The logged-in user (admin / 472619 standing in for nobody) in the user
    // table: Data4 ends on that row, or past the last row.
    void fdglcx();
    // The other fees follow the current fee record's tenant (by ID number).
    void qtfgl();
    // Every fee record of the billing date typed in Txtjfrq, in the order
    // Data1 shows them, three receipts to a sheet.
    void Zddy() override;
    void chooseBillsForBatch() override;
    // The current fee record becomes the bill to print, as a click on its row
    // makes it (the other fees stay where they are).
    void holdCurrentBill() override;
    bool hasCurrentRow() const override { return hasCurrent(ui().Data1); }

protected:
    QSize designSize() const override { return {18600, 10200}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    // The billing date whose fee records Data1 lists (the search by date), or
    // nothing when it lists them all.
    std::optional<QDate> listedDate;

    // The controls (FrmZsdwhBuild.cpp).
    void buildInputs(QWidget* root);
    void buildButtonsAndCounts(QWidget* root);
    void buildPreview(QWidget* root);
    void buildGrids(QWidget* root);
    void placeRight(int extraWidth, int extraHeight);
    void fitToWindow();
    void connectHandlers(QWidget* root);

    void loadSources();
    void loadUser();
    void lockAfterFailure();
    void setMode(Mode mode);

    void showAmount();
    void showBoundLabels();
    void showTotals(QString (*form)(Money));
    void deleteRow(forms::DataControl* source, int& count);
    void recomputeBills(const QString& date);
    void recomputeOtherFees(const QString& date);
    void endRecompute();
    bool hasCurrent(forms::DataControl* source) const;

    void Data1_Reposition();
    void DBGrid2_Click();
    void DBGrid2_DblClick();
    void DBGrid1_DblClick();
    void CboCxfs_Click();
    void CmdCx_Click();
    void CmdDel_Click();
    void Check_Click(int n);
    void CmdQr_Click();
    void CmdHz_Click();
    void CboBtth_Click();
    void CmdExit_Click();
};

}  // namespace tv::fees
