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

#include <QDate>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <utility>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace tv {
class Recordset;
}  // namespace tv
namespace tv::forms {
class DriveList;
class FileList;
class FolderList;
class DataControl;
class DataGrid;
}  // namespace tv::forms

namespace tv::billing {

// The five data sources of the window, in the order of their controls
// (Data1 and DBGrid1 ... Data5 and DBGrid5).
enum class Source {
    Bills,          // fzsdjs
    ThisMonth,      // bysj
    LastMonth,      // sysj
    Registrations,  // zfdj
    OtherFees,      // qtfy
};
inline constexpr std::array<Source, 5> kSources{Source::Bills, Source::ThisMonth, Source::LastMonth,
                                                Source::Registrations, Source::OtherFees};

// One T for each data source, reached by its source.
template <class T>
struct BySource {
    std::array<T, 5> of{};
    T& operator[](Source s) { return of[static_cast<size_t>(s)]; }
    const T& operator[](Source s) const { return of[static_cast<size_t>(s)]; }
};

struct FrmZsdjsUi {
    BySource<forms::DataControl*> Data{};
    BySource<forms::DataGrid*> DBGrid{};
    BySource<QLabel*> GridCaption{};
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

    // What the four mode boxes chose: the computation makes every bill afresh
    // (刷新数据) or adds this month's (添加数据); a double-click in the month's
    // grids modifies the tenant's rows there (修改记录) or adds new ones (添加记录).
    enum class Mode { None, Refresh, Add, ModifyRow, AddRow };
    Mode EditMode = Mode::None;
    // Rows of each data source as last counted (the captions show these).
    BySource<int> Count{};
    // Last month's billing date as typed for the last computation or search.
    QString LastMonthDate;
    // The other fees of the row clicked last, or of the last bill computed.
    OtherFeesRecord OtherFees;
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
    // The caption of a data source without its position ("租金水电计算").
    static QString sourceTitle(Source n);

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
    void setMode(Mode mode);

    // A data source: its rows as shown, a new record source, a count.
    Shown shown(Source n) const;
    void setSource(Source n, const QString& where = QString(), std::vector<Value> params = {});
    void filter(Source n, const QString& where, std::vector<Value> params);
    void recount(Source n);
    void caption(Source n);
    bool hasCurrent(Source n) const;
    int rows(Source n);

    // The rows of the tenant of `from`'s current row in the sources that
    // follow it.
    void followTenant(Source from);
    void align(Source target, Source from);

    void copyBill();
    void totalRow(Source n);
    void makeRows(Source from);
    void resetRowMode();
    bool deleteRow(Source n);
    void endComputation();
    void enableForRows();

    // The searches of 查询, by what the target reads.
    void searchRegistrations(const SearchKeyRecord& keys, bool allRows);
    void searchRows(Source n, const SearchKeyRecord& keys);
    void filterByDates(const std::optional<QDate>& day, const std::optional<QDate>& lastDay, bool allRows);
    void scan(Source n, const std::vector<std::pair<QString, QString>>& match);

    void Data_Reposition(Source n);
    void DBGrid_DeleteRequested(Source n);
    void DBGrid1_Click();
    void DBGrid2_Click();
    void DBGrid4_Click();
    void DBGrid5_Click();
    void DBGrid5_BeforeStore(Recordset& row, const QStringList& typed);
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
    BySource<QString> where_;
    BySource<std::vector<Value>> params_;
};

}  // namespace tv::billing
