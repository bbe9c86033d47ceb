#pragma once
// The about box "Tenvora D2021": title, version and tagline.

#include "platform/forms/Form.h"

class QLabel;

namespace tv::frame {

struct frmAboutUi {
    QLabel* Picture = nullptr;  // the window's own picture, behind everything else
    QLabel* Image1 = nullptr;
};

class frmAbout : public tv::forms::Window<frmAboutUi> {
public:
    static constexpr const char* kName = "frmAbout";
    frmAbout();

    // There is no system information tool here: says so.
    void StartSysInfo();

protected:
    QSize designSize() const override { return {6420, 3960}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void cmdOK_Click();
};

}  // namespace tv::frame
