#pragma once
// The first import step "打开Excel文件": the workbook, one of its sheets and
// a preview of that sheet.

#include "platform/forms/Form.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace tv::exchange {

class SheetModel;

struct fexcelUi {
    QLineEdit* Text1 = nullptr;
    QPushButton* Img2 = nullptr;
    QComboBox* Com1 = nullptr;
    QLabel* Label3 = nullptr;  // rows
    QLabel* Label4 = nullptr;  // columns
    QTableView* dg1 = nullptr;
    SheetModel* model = nullptr;
    QPushButton* cmd1 = nullptr;
    QPushButton* cmd2 = nullptr;
};

class fexcel : public tv::forms::Window<fexcelUi> {
public:
    static constexpr const char* kName = "fexcel";
    fexcel();

protected:
    QSize designSize() const override { return {9600, 7200}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void Img2_Click();
    void Com1_Click();
    void cmd1_Click();
    void cmd2_Click();
    void clearSheet();
};

}  // namespace tv::exchange
