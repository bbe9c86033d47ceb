#pragma once
// The exchange chooser "Excel与Access数据相互导入 V2020": import a worksheet
// into a table, or export a table to a new workbook.

#include "platform/forms/Form.h"

class QPushButton;
class QRadioButton;

namespace tv::exchange {

struct ExnacUi {
    QRadioButton* Option1 = nullptr;  // workbook -> data file
    QRadioButton* Option2 = nullptr;  // data file -> workbook
    QPushButton* CmdQr = nullptr;
    QPushButton* CmdTc = nullptr;
};

class Exnac : public tv::forms::Window<ExnacUi> {
public:
    static constexpr const char* kName = "Exnac";
    Exnac();

protected:
    QSize designSize() const override { return {5400, 3000}; }
    void build(QWidget* root) override;

private:
    void CmdQr_Click();
    void CmdTc_Click();
};

}  // namespace tv::exchange
