#pragma once
// The user maintenance window "密码维护": the accounts of the table yhzc in a
// grid that edits them, with delete, find-by-phone and return buttons. The
// last account that can log in is never deleted, nor its name or password
// emptied.

#include "platform/forms/Form.h"

#include <QString>

class QLabel;

namespace tv {
class Recordset;
}

namespace tv::forms {
class DataControl;
class DataGrid;
}  // namespace tv::forms

namespace tv::frame {

struct FrmMmWhUi {
    tv::forms::DataControl* Data1 = nullptr;
    tv::forms::DataGrid* DBGrid1 = nullptr;
    QLabel* Image1 = nullptr;
};

class FrmMmWh : public tv::forms::Window<FrmMmWhUi> {
public:
    static constexpr const char* kName = "FrmMmWh";
    FrmMmWh();

    // Kept while the program runs (closing the window does not clear them).
    int AccountCount = 0;  // rows of yhzc as last counted by the load or a delete
    QString SearchPhone;   // the number typed for the last search

protected:
    QSize designSize() const override { return {8400, 5400}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void Data1_Reposition();
    void CMDDELETE_Click();
    static void DBGrid1_BeforeStore(tv::Recordset& row);
    void CMDSEARCH_Click();
    void CmdExit_Click();
};

}  // namespace tv::frame
