#include "frame/FrmXTMM.h"

#include "frame/MDIVamo.h"
#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/LockWait.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"

#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>

namespace tv::frame {

using tv::dlg::msgBox;

namespace {
// A field equals a typed text exactly; a Null field equals nothing.
bool sameText(const tv::Value& field, const QString& typed) { return !field.isNull() && field.toText() == typed; }

// The small eye shown after a recovery: click it to see the password.
QPixmap eyePicture() {
    QPixmap pm(77, 35);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath lid;
    lid.moveTo(4, 17.5);
    lid.quadTo(38.5, -8, 73, 17.5);
    lid.quadTo(38.5, 43, 4, 17.5);
    p.setPen(QPen(QColor(40, 40, 40), 2.5));
    p.setBrush(Qt::white);
    p.drawPath(lid);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(30, 110, 200));
    p.drawEllipse(QPointF(38.5, 17.5), 10, 10);
    p.setBrush(Qt::black);
    p.drawEllipse(QPointF(38.5, 17.5), 4.5, 4.5);
    p.setBrush(Qt::white);
    p.drawEllipse(QPointF(35, 14), 2.2, 2.2);
    return pm;
}
}  // namespace

FrmXTMM::FrmXTMM() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void FrmXTMM::build(QWidget* root) {
    using tv::forms::make;
    using tv::forms::place;
    using tv::forms::setTwips;
    FrmXTMMUi& u = ui();
    root->setWindowTitle(QStringLiteral("系统口令"));
    root->setFixedSize(tv::forms::pixels(designSize()));

    u.Image2 = make<QLabel>(root, "Image2");
    u.Image2->setScaledContents(true);
    setTwips(u.Image2, 120, 120, 2775, 4695);
    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    setTwips(u.Image1, 6720, 240, 855, 855);

    auto label = [root](const char* name, const char* text) {
        QLabel* l = make<QLabel>(root, name);
        l->setText(QString::fromUtf8(text));
        return l;
    };
    place(label("Label1", "用户名："), 3360, 1350, 735, 255);
    u.TxtYhm = make<QLineEdit>(root, "TxtYhm");
    place(u.TxtYhm, 4080, 1320, 2175, 270);
    place(label("Label2", "口令："), 3360, 2070, 615, 255);
    u.TxtMM = make<QLineEdit>(root, "TxtMM");
    u.TxtMM->setEchoMode(QLineEdit::Password);
    u.TxtMM->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // "*"
    place(u.TxtMM, 4080, 2040, 2175, 270);

    u.ImgYj = make<QLabel>(root, "ImgYj");
    u.ImgYj->setScaledContents(true);
    u.ImgYj->setPixmap(eyePicture());
    u.ImgYj->setToolTip(QStringLiteral("查看完整的密码"));
    u.ImgYj->setCursor(Qt::PointingHandCursor);
    setTwips(u.ImgYj, 6360, 1995, 675, 315);

    u.Label3 = label("Label3", "电话号码：");
    place(u.Label3, 3360, 2780, 975, 255);
    u.TxtDhhm = make<QLineEdit>(root, "TxtDhhm");
    place(u.TxtDhhm, 4320, 2745, 1935, 270);

    auto button = [root](const char* name, const char* text, const char* tip, int left, int width) {
        auto* b = make<QPushButton>(root, name);
        b->setText(QString::fromUtf8(text));
        b->setToolTip(QString::fromUtf8(tip));
        setTwips(b, left, 3780, width, 420);
        return b;
    };
    u.CmdYs = button("CmdYs", "确认(&Y)", "验正口令", 3480, 1200);
    u.CmdZhmm = button("CmdZhmm", "找回密码(&Z)", "", 4800, 1560);
    u.CmdExit = button("CmdExit", "放弃(&N)", "放弃登录", 6480, 1200);

    u.Data1 = make<tv::forms::DataControl>(root, "Data1");
    u.Data1->setCaption(QStringLiteral("用户注册"));
    setTwips(u.Data1, 3360, 4560, 4335, 345);

    QWidget::setTabOrder(u.TxtYhm, u.TxtMM);
    QWidget::setTabOrder(u.TxtMM, u.TxtDhhm);
    QWidget::setTabOrder(u.TxtDhhm, u.CmdYs);
    QWidget::setTabOrder(u.CmdYs, u.CmdZhmm);
    QWidget::setTabOrder(u.CmdZhmm, u.CmdExit);

    // Enter moves between the two boxes and never logs in.
    new tv::forms::EnterRing({u.TxtYhm, u.TxtMM}, true, root);

    tv::forms::onClick(u.CmdYs, [this] { CmdYs_Click(); });
    tv::forms::onClick(u.CmdZhmm, [this] { CmdZhmm_Click(); });
    tv::forms::onClick(u.CmdExit, [this] { CmdExit_Click(); });
    tv::forms::onLabelClick(u.ImgYj, [this] { ImgYj_Click(); });

    tv::forms::centerOnScreen(root);
}

void FrmXTMM::onLoad() {
    MatchFlag = Match::None;
    FailedAttempts = 0;
    RecoveryPhone.clear();
    userDbFailed_ = false;

    SharedState& s = tv::state();
    s.UserDbPath = tv::shell::programFolder() + QStringLiteral("/Rave.ini");
    try {
        // Another program holding the file locked: said at once while it is waited for.
        tv::forms::LockWait wait;
        ui().Data1->setDatabaseName(s.UserDbPath);
        ui().Data1->setRecordSource(QStringLiteral("yhzc"));
        ui().Data1->refresh();
        // Checked once here rather than failing at every login.
        QStringList missing;
        for (const char* field : {"yhxm", "mima", "dhhm"})
            if (ui().Data1->recordset().columnIndex(QLatin1String(field)) < 0)
                missing << QLatin1String(field);
        if (!missing.isEmpty())
            throw tv::DbError(QStringLiteral("用户表 yhzc 缺少字段：") + missing.join(QStringLiteral("、")));
        if (ui().Data1->recordset().recordCount() >= 1) {
            ui().Data1->recordset().moveLast();
            ui().Data1->refresh();
        }
    } catch (const tv::DbError& e) {
        userDbFailed_ = true;
        msgBox(QStringLiteral("用户数据库打不开，程序不能继续运行。\n%1\n%2").arg(s.UserDbPath, e.text()),
               tv::dlg::Info, tv::dlg::kNoteTitle);
        return;
    }
    ui().Data1->hide();

    s.PicturePath = tv::shell::pictureFolder();
    tv::forms::loadPicture(ui().Image1, s.PicturePath + QStringLiteral("DE10.gif"));
    tv::forms::loadPicture(ui().Image2, s.PicturePath + QStringLiteral("DE11.jpg"));

    setNormalMode();
    ui().ImgYj->hide();
    ui().TxtYhm->setFocus();
}

void FrmXTMM::setNormalMode() {
    ui().CmdZhmm->setEnabled(false);
    ui().CmdYs->setEnabled(true);
    ui().TxtYhm->setEnabled(true);
    ui().TxtMM->setEnabled(true);
    ui().TxtDhhm->hide();
    ui().Label3->hide();
}

void FrmXTMM::setRecoveryMode() {
    ui().CmdZhmm->setEnabled(true);
    ui().CmdYs->setEnabled(false);
    ui().TxtDhhm->show();
    ui().Label3->show();
    ui().TxtYhm->setEnabled(false);
    ui().TxtMM->setEnabled(false);
    ui().TxtDhhm->setFocus();
}

void FrmXTMM::CmdYs_Click() {
    SharedState& s = tv::state();
    s.CurrentUser = ui().TxtYhm->text();
    s.CurrentPassword = ui().TxtMM->text();

    tv::Recordset& rs = ui().Data1->recordset();
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            if (sameText(rs.field(QStringLiteral("yhxm")), s.CurrentUser) &&
                sameText(rs.field(QStringLiteral("mima")), s.CurrentPassword)) {
                tv::forms::the<MDIVamo>().show();
                MatchFlag = Match::Matched;
                unload();
                return;
            }
            rs.moveNext();
            MatchFlag = Match::NoMatch;
        }
    }

    ++FailedAttempts;
    msgBox(QStringLiteral("用户名或密码不正确！您还可以尝试") + QString::number(5 - FailedAttempts) +
               QStringLiteral("次！"),
           tv::dlg::Info, tv::dlg::kNoteTitle);
    if (FailedAttempts >= 5)
        setRecoveryMode();
}

void FrmXTMM::CmdZhmm_Click() {
    RecoveryPhone = ui().TxtDhhm->text();
    if (ui().TxtDhhm->text().isEmpty()) {
        msgBox(QStringLiteral("电话号码不能为空！"), tv::dlg::Info, tv::dlg::kHintTitle);
        return;
    }

    tv::Recordset& rs = ui().Data1->recordset();
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            if (sameText(rs.field(QStringLiteral("dhhm")), RecoveryPhone)) {
                QString name = rs.field(QStringLiteral("yhxm")).toText();
                QString password = rs.field(QStringLiteral("mima")).toText();
                setNormalMode();
                if (!name.isEmpty())
                    ui().TxtYhm->setText(name);
                if (!password.isEmpty())
                    ui().TxtMM->setText(password);
                MatchFlag = Match::Matched;
                ui().ImgYj->show();
                // Counting starts again, so no later message shows a negative number.
                FailedAttempts = 0;
                msgBox(QStringLiteral("您的密码已经找回 ！"), tv::dlg::Info, tv::dlg::kNoteTitle);
                ui().TxtMM->setFocus();
                return;
            }
            rs.moveNext();
            MatchFlag = Match::NoMatch;
        }
    }

    msgBox(QStringLiteral("电话号码不正确,请与管理员联系！"), tv::dlg::Info, tv::dlg::kNoteTitle);
    setRecoveryMode();
}

void FrmXTMM::CmdExit_Click() {
    unload();
    endIfNoWindowLeft();
}

void FrmXTMM::ImgYj_Click() { ui().TxtMM->setEchoMode(QLineEdit::Normal); }

}  // namespace tv::frame
