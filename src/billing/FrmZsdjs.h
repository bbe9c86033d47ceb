#pragma once
// The computation window: the five tables of the monthly cycle in five grids
// (bills, this month's rows, last month's rows, registrations, other fees),
// the imports that rebuild the month's rows, the computation of the bills
// with their receipt file, the row clicks that keep the grids on one tenant,
// the double-clicks that total a row or make a tenant's rows, the query and
// the delete.

#include "billing/MonthlyCycle.h"
#include "platform/forms/Form.h"
#include "shared/Windows.h"

#include <QString>

#include <array>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tv::forms {
class DriveList;
class FileList;
class FolderList;
class DataControl;
class DataGrid;
}  // namespace tv::forms

namespace tv::billing {

struct FrmZsdjsUi {
    // Bills (fzsdjs), this month (bysj), last month (sysj), registrations (zfdj), other fees (qtfy).
    std::array<forms::DataControl*, 5> Data{};
    std::array<forms::DataGrid*, 5> DBGrid{};
    std::array<QLabel*, 5> GridCaption{};
    QLabel *Image1 = nullptr, *Image2 = nullptr, *Label2 = nullptr;
    QLineEdit *Txtjfrq = nullptr, *TxtFh = nullptr, *Txtzk = nullptr, *Txtzh = nullptr, *TxtSfsd = nullptr,
              *TxtSyrq = nullptr, *TxtTs = nullptr;
    QComboBox *Cboxz = nullptr, *CboCxfs = nullptr, *CboCxxx = nullptr, *CboDel = nullptr, *CboLx = nullptr;
    QCheckBox *Check1 = nullptr, *Check2 = nullptr, *Check3 = nullptr, *Check4 = nullptr;
    QPushButton *CmdBydr = nullptr, *CmdSydr = nullptr, *CmdJs = nullptr, *CmdCx = nullptr, *CmdDel = nullptr,
                *CmdPrinter = nullptr, *CmdWj = nullptr, *CmdExtt = nullptr;
    // The file browser of 文件.
    forms::DriveList* DrvList = nullptr;
    forms::FolderList* DirList = nullptr;
    forms::FileList* FilList = nullptr;
};

class FrmZsdjs : public forms::Window<FrmZsdjsUi>, public windows::DataWindow, public windows::BillWindow {
public:
    static constexpr const char* kName = windows::kBilling;
    FrmZsdjs();

    // Rows of Data1 to Data5 as last counted (the captions show these).
    std::array<int, 5> Count{};
    // The answer of the last import or delete question ("6" is Yes).
    QString ImportAnswer;
    // The file browser: the folder shown (with "/" and the file current at
    // the folder's change) and the file name clicked last.
    QString ViewerFolder, LastClickedFile;

    bool hasCurrentRow() const override;  // a current bill
    // The current bill into CurrentBill, whole, with its total in words.
    void holdCurrentBill() override;

protected:
    QSize designSize() const override { return {18900, 9900}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    // The caption of data source n without its position ("租金水电计算").
    static QString sourceTitle(int n);

    // The controls (FrmZsdjsBuild.cpp).
    void buildInputs(QWidget* root);
    void buildButtons(QWidget* root);
    void buildFileBrowser(QWidget* root);
    void buildGrids(QWidget* root);
    void placeGrids(int extraWidth, int extraHeight);
    void fitToWindow();
    void connectHandlers(QWidget* root);

    void loadSources();
    void lockAfterFailure();

    // Data source n (0-based): its rows as shown, a new record source, a count.
    Shown shown(int n) const;
    void setSource(int n, const QString& where = QString(), std::vector<Value> params = {});
    void recount(int n);
    void caption(int n);
    bool hasCurrent(int n) const;
    int rows(int n);

    void align(int target, int source);
    void bysjgl() { align(1, 3); }
    void qtfgl2() { align(4, 3); }
    void sysjgl2() { align(2, 3); }
    void zjsdgl() { align(0, 3); }
    void sysjgl() { align(2, 1); }
    void qtfgl3() { align(4, 1); }
    void qtfgl1() { align(4, 0); }
    void bysjgl1() { align(1, 0); }
    void sysjgl1() { align(2, 0); }

    void copyBill();
    void totalRow(int n, const std::vector<const char*>& addends);
    void makeRows(int from);
    void resetRowMode();
    bool deleteRow(int n);
    void endComputation();

    void Data_Reposition(int n);
    void DBGrid_DeleteRequested(int n);
    void DBGrid1_Click();
    void DBGrid2_Click();
    void DBGrid4_Click();
    void DBGrid5_Click();
    void Check_Click(int n);
    void CmdBydr_Click();
    void CmdSydr_Click();
    void CmdJs_Click();
    void CboCxfs_Click();
    void CmdCx_Click();
    void CmdDel_Click();
    void CmdExtt_Click();
    void CmdWj_Click();
    void CboLx_Click();
    void DrvList_Change();
    void DirList_Change();
    void FilList_Click(const QString& name);

    // Where each data source's rows are narrowed (by the query), with its keys.
    std::array<QString, 5> where_;
    std::array<std::vector<Value>, 5> params_;
};

}  // namespace tv::billing
