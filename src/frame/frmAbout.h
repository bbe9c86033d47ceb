#pragma once
// The about box "Tenvora D2021": title, version and tagline.

#include <QMdiSubWindow>  // before Form.h, which needs the whole type

#include "platform/forms/Form.h"

class QLabel;

namespace tv::frame {

class frmAbout : public tv::forms::Form {
public:
    static constexpr const char* kName = "frmAbout";
    frmAbout();

    // There is no system information tool here: says so.
    void StartSysInfo();

protected:
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void cmdOK_Click();

    QLabel* background_ = nullptr;
    QLabel* Image1 = nullptr;
};

}  // namespace tv::frame
