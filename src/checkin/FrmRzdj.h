#pragma once
// The check-in window: one registration of zfdj at a time in bound controls,
// with adding, modifying, deleting, stepping, searching, the ID-card photo
// picker, the print choice and the Enter order of the inputs.

#include "platform/forms/Form.h"

#include <QString>

#include <cstdint>

class QComboBox;
class QLineEdit;
class QPushButton;

namespace tv {
class Recordset;
}
namespace tv::forms {
class BoundImage;
class DataControl;
}  // namespace tv::forms
namespace tv::checkin {
class DriveList;
class FileList;
class FolderList;
}  // namespace tv::checkin

namespace tv::checkin {

class FrmRzdj : public tv::forms::Form {
public:
    static constexpr const char* kName = "FrmRzdj";
    FrmRzdj();

    // The number of rows of zfdj, as last counted.
    int CheckInCount = 0;  // a plain int: a large register never wraps to a negative count
    // The picker's folder prefix and the file name clicked last.
    QString PhotoFolder, PhotoFile;

protected:
    void build(QWidget* root) override;
    void onLoad() override;
    void onUnload() override;

private:
    struct Ui;
    Ui* ui_ = nullptr;  // the controls while the window is loaded

    void buildRenter(QWidget* page);
    void buildCompanions(QWidget* page);
    void buildSearchAndPhoto(QWidget* page);
    void buildPicker(QWidget* page);
    void buildButtons(QWidget* page);
    void bindFields();
    void connectHandlers(QWidget* root);

    tv::Recordset& rs();
    bool hasRows();
    void setButtons(const char* pattern);
    void showEmptyTable();
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
