#pragma once
// The check-in window: one registration of zfdj at a time in bound controls,
// with adding, modifying, deleting, stepping, searching, the ID-card photo
// picker, the print choice and the Enter order of the inputs.

#include "platform/forms/Form.h"
#include "shared/Windows.h"

#include <QString>

#include <array>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tv {
class Recordset;
}
namespace tv::forms {
class BoundCombo;
class BoundImage;
class BoundTextBox;
class DataControl;
class DriveList;
class FileList;
class FolderList;
}  // namespace tv::forms

namespace tv::checkin {

struct FrmRzdjUi {
    tv::forms::DataControl* Data1 = nullptr;
    tv::forms::BoundImage *Image1 = nullptr, *Image2 = nullptr, *Image3 = nullptr;
    // Row inputs
    tv::forms::BoundTextBox *Txtfjh = nullptr, *Txtjzrs = nullptr, *Txtxm = nullptr, *Txtdw = nullptr, *Txtdh = nullptr,
                            *Txtrzrq = nullptr, *Txtlkrq = nullptr, *Txtsfzh = nullptr;
    tv::forms::BoundTextBox *Txtfq = nullptr, *Txtcxny1 = nullptr, *Txtmq = nullptr, *Txtcxny2 = nullptr;
    tv::forms::BoundTextBox *Txtxm1 = nullptr, *Txtcxny3 = nullptr, *Txtxm2 = nullptr, *Txtcxny4 = nullptr,
                            *Txtxm3 = nullptr, *Txtcxny5 = nullptr, *Txtxm4 = nullptr, *Txtcxny6 = nullptr;
    tv::forms::BoundCombo *Cboyh = nullptr, *Cbowh = nullptr, *Cbon1 = nullptr, *Cbon2 = nullptr, *Cboysno = nullptr;
    std::array<tv::forms::BoundCombo*, 6> Cboxb{};
    // Search
    QComboBox *CboCxfs = nullptr, *Cboxz = nullptr;
    QLineEdit *TxtFh = nullptr, *TxtZk = nullptr, *Txtzh = nullptr;
    // Picker
    tv::forms::DriveList* DrvList = nullptr;
    tv::forms::FolderList* DirList = nullptr;
    tv::forms::FileList* FilList = nullptr;
    QComboBox* CboLx = nullptr;
    QLineEdit *TxtMbwj = nullptr, *TxtTs = nullptr;
    // Buttons, in the column order of setButtons()
    QPushButton *CmdQr = nullptr, *Cmdfq = nullptr, *CmdTj = nullptr, *CmdXg = nullptr, *CmdCx = nullptr,
                *CmdDel = nullptr, *CmdSyt = nullptr, *CmdXyt = nullptr, *CmdPrinter = nullptr, *CmdExit = nullptr;
};

class FrmRzdj : public tv::forms::Window<FrmRzdjUi>, public tv::windows::CheckInWindow, public tv::windows::DataWindow {
public:
    static constexpr const char* kName = tv::windows::kCheckIn;
    FrmRzdj();

    // The number of rows of zfdj, as last counted.
    int CheckInCount = 0;  // a plain int: a large register never wraps to a negative count
    // The picker's folder prefix and the file name clicked last.
    QString PhotoFolder, PhotoFile;

    QImage regPhoto() const override;
    void printCurrentRow() override;
    bool hasCurrentRow() const override;

protected:
    QSize designSize() const override { return {22900, 10700}; }
    void build(QWidget* root) override;
    void onLoad() override;
    void onUnload() override;

private:
    void buildRenter(QWidget* page);
    void buildCompanions(QWidget* page);
    void buildSearchAndPhoto(QWidget* page);
    void buildPicker(QWidget* page);
    void buildButtons(QWidget* page);
    void makeRoomForValues();
    void bindFields();
    void connectHandlers(QWidget* root);
    void fillLists();

    tv::Recordset& rs();
    bool hasRows();
    void setButtons(const char* pattern);
    void followCurrentRow();
    void showEmptyTable();
    // Browsing again after an edit another program's change ended.
    void browseAgain();
    void recount();
    void fill();

    // Handlers
    void dataReposition();
    void cmdTjClick();
    void cmdXgClick();
    void cmdQrClick();
    void cmdfqClick();
    void cmdDelClick();
    void cmdSytClick();
    void cmdXytClick();
    void cboCxfsClick();
    void cmdCxClick();
    void cmdPrinterClick();
    void cmdExitClick();
    void cboLxClick();
    void drvListChange();
    void dirListChange();
    void filListClick(const QString& name);
};

}  // namespace tv::checkin
