#pragma once
// The login window "系统口令": user name and password checked against the
// table yhzc of the user database; after five failures a password recovery by
// telephone number.

#include "platform/forms/Form.h"

#include <QString>

class QLabel;
class QLineEdit;
class QPushButton;

namespace tv::forms {
class DataControl;
}  // namespace tv::forms

namespace tv::frame {

struct FrmXTMMUi {
    tv::forms::DataControl* Data1 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QLabel* ImgYj = nullptr;
    QLabel* Label3 = nullptr;
    QLineEdit* TxtYhm = nullptr;
    QLineEdit* TxtMM = nullptr;
    QLineEdit* TxtDhhm = nullptr;
    QPushButton* CmdYs = nullptr;
    QPushButton* CmdZhmm = nullptr;
    QPushButton* CmdExit = nullptr;
};

class FrmXTMM : public tv::forms::Window<FrmXTMMUi> {
public:
    static constexpr const char* kName = "FrmXTMM";
    FrmXTMM();

    // Window state, started afresh by every load.
    // Whether the last row looked at matched what was typed (None before any).
    enum class Match { None, Matched, NoMatch };
    Match MatchFlag = Match::None;
    int FailedAttempts = 0;  // failed logins since the load
    QString RecoveryPhone;   // the number typed for the last recovery

    // True when the last load could not open the user table or found it
    // without one of its fields (it said so).
    bool userDbFailed() const { return userDbFailed_; }

protected:
    QSize designSize() const override { return {7830, 5010}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void CmdYs_Click();
    void CmdZhmm_Click();
    void CmdExit_Click();
    void ImgYj_Click();
    void setNormalMode();
    void setRecoveryMode();

    bool userDbFailed_ = false;
};

}  // namespace tv::frame
