#pragma once
// The tenant records window: the registrations of the data file beside the
// bills and other fees of the tenant picked, the user line, the search by
// room, name, ID number, billing date or room status, deleting a
// registration, and the choice between printing one registration per sheet
// here and two per sheet in the registration records window.

#include "platform/forms/Form.h"
#include "shared/Windows.h"

#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tv::forms {
class BoundImage;
class DataControl;
class DataGrid;
}  // namespace tv::forms

namespace tv::records {

struct TenvoraUi {
    // Registrations, bills, other fees, users.
    forms::DataControl *Data1 = nullptr, *Data2 = nullptr, *Data3 = nullptr, *Data4 = nullptr;
    forms::DataGrid *DBGrid1 = nullptr, *DBGrid2 = nullptr, *DBGrid3 = nullptr;
    forms::BoundImage* Image3 = nullptr;  // the tenant's ID-card photo
    QLabel *Image1 = nullptr, *Image2 = nullptr;
    QLabel *DBGrid1Caption = nullptr, *DBGrid2Caption = nullptr, *DBGrid3Caption = nullptr;  // the strips above them
    // Search
    QComboBox *CboCxfs = nullptr, *Cbofjxz = nullptr;
    QLineEdit *TxtFh = nullptr, *Txtzk = nullptr, *Txtzh = nullptr, *Txtjfrq = nullptr, *TxtTs = nullptr;
    // Print choice
    QCheckBox *Check1 = nullptr, *Check2 = nullptr;
    QLineEdit *TxtX3 = nullptr, *TxtY3 = nullptr, *TxtBt = nullptr;
    QPushButton *CmdCx = nullptr, *CmdDel = nullptr, *CmdPrinter = nullptr, *CmdExit = nullptr;
    // Counts and the user line
    QLabel *LelJlzs = nullptr, *LelZdzs = nullptr, *LelZcrs = nullptr, *LelYhm = nullptr;
};

class Tenvora : public forms::Window<TenvoraUi>, public windows::RecordsWindow, public windows::DataWindow {
public:
    static constexpr const char* kName = windows::kRecords;
    Tenvora();

    // Rows counted by the load (the registrations again after a delete).
    // Plain ints: a large file never wraps to a negative count.
    int TenantRowCount = 0, BillRowCount = 0, OtherFeeRowCount = 0, UserRowCount = 0;

    QImage regPhoto() const override;
    void resetPrintChoice() override;
    void enableSingleChoice() override;
    bool hasCurrentRow() const override;

protected:
    QSize designSize() const override { return {18600, 10200}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void buildSearch(QWidget* root);
    void buildPrintAndCounts(QWidget* root);
    void buildGrids(QWidget* root);
    void placeGrids(int extraWidth, int extraHeight);
    void fitToWindow();
    void connectHandlers(QWidget* root);
    void loadSources();
    void openCounted(forms::DataControl* source, const QString& database, const QString& recordSource, int& count);
    void refuseLoad(const QString& why);

    // Copies the current registration into the print record of the sheet choice.
    void followRegistration();
    void zjsdgl();
    void qtfgl();
    void follow(forms::DataControl* target);
    void fdglcx();
    void setInputsEnabled(const char* pattern);
    int searchBranch() const;

    void Data1_Reposition();
    void Data2_Reposition();
    void Data3_Reposition();
    void Data4_Reposition();
    void DBGrid1_Click();
    void CboCxfs_Click();
    void CmdCx_Click();
    void CmdDel_Click();
    void CmdPrinter_Click();
    void CmdExit_Click();
    void Check1_Click();
    void Check2_Click();
};

}  // namespace tv::records
