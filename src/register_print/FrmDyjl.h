#pragma once
// The registration records window: the registrations twice, in two grids over
// two independent data sources, so that one registration is picked in each,
// both photos are seen side by side, the photo positions are set, and both
// registrations are printed on one sheet. A search finds rows in either grid.

#include "platform/forms/Form.h"
#include "shared/Windows.h"

#include <QString>

#include <utility>
#include <vector>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tv {
struct CheckInRecord;
struct SearchKeyRecord;
namespace forms {
class BoundImage;
class DataControl;
class DataGrid;
}  // namespace forms
}  // namespace tv

namespace tv::register_print {

struct FrmDyjlUi {
    forms::DataControl* Data1 = nullptr;
    forms::DataControl* Data2 = nullptr;
    forms::DataGrid* DBGrid1 = nullptr;
    forms::DataGrid* DBGrid2 = nullptr;
    forms::BoundImage* Image1 = nullptr;
    forms::BoundImage* Image2 = nullptr;
    QLineEdit* TxtXx1 = nullptr;
    QLineEdit* TxtYy1 = nullptr;
    QLineEdit* TxtXx2 = nullptr;
    QLineEdit* TxtYy2 = nullptr;
    QLineEdit* TxtTs = nullptr;
    QLineEdit* Txtjfrq = nullptr;
    QLineEdit* TxtFh = nullptr;
    QLineEdit* Txtzk = nullptr;
    QLineEdit* Txtzh = nullptr;
    QComboBox* CboCxxx = nullptr;
    QComboBox* CboCxfs = nullptr;
    QComboBox* Cbofjxz = nullptr;
    QPushButton* CmdCx = nullptr;
    QPushButton* CmdPrinter = nullptr;
    QPushButton* CmdEixt = nullptr;
};

class FrmDyjl : public forms::Window<FrmDyjlUi>, public windows::PairPrintWindow, public windows::OpenedOnDataFile {
public:
    static constexpr const char* kName = windows::kPairPrint;

    FrmDyjl();

    // Rows of each data source counted by the load (0 before it and for an
    // empty table); the position captions show them.
    int rowCount1() const { return RowCount1; }
    int rowCount2() const { return RowCount2; }

    QImage pairPhoto(windows::PairForm form) const override;

protected:
    QSize designSize() const override { return {15870, 9615}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void buildRecordsPart(QWidget* root);
    void buildSearchPart(QWidget* root);

    // Load steps for one data source.
    void openSource(forms::DataControl* source, CheckInRecord& target, int& rowCount);
    void followRow(forms::DataControl* source, CheckInRecord& target);

    void CmdPrinter_Click();
    void CmdEixt_Click();
    void CboCxfs_Click();
    void CmdCx_Click();
    void runSearch(forms::DataControl* target, const SearchKeyRecord& keys);
    void query(forms::DataControl* target, const QString& sql, const QString& key);
    void scan(forms::DataControl* target, const std::vector<std::pair<QString, QString>>& keys);
    void setSearchInputsEnabled(bool jfrq, bool fh, bool zk, bool zh, bool fjxz);

    int RowCount1 = 0;
    int RowCount2 = 0;
    QString SearchTarget;
    bool loading_ = false;
};

}  // namespace tv::register_print
