#include "frame/FrmXTMM.h"

#include "frame/FrameKit.h"
#include "frame/MDIVamo.h"
#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Guard.h"
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

FrmXTMM::FrmXTMM() : Form(QString::fromLatin1(kName), Kind::TopLevel) {}

void FrmXTMM::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("系统口令"));
    root->setFixedSize(px(7830), px(5010));

    Image2 = new QLabel(root);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setScaledContents(true);
    Image2->setGeometry(px(120), px(120), px(2775), px(4695));

    Image1 = new QLabel(root);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setGeometry(px(6720), px(240), px(855), px(855));

    auto* Label1 = new QLabel(QStringLiteral("用户名："), root);
    Label1->setObjectName(QStringLiteral("Label1"));
    place(Label1, 3360, 1350, 735, 255);

    TxtYhm = new QLineEdit(root);
    TxtYhm->setObjectName(QStringLiteral("TxtYhm"));
    place(TxtYhm, 4080, 1320, 2175, 270);

    auto* Label2 = new QLabel(QStringLiteral("口令："), root);
    Label2->setObjectName(QStringLiteral("Label2"));
    place(Label2, 3360, 2070, 615, 255);

    TxtMM = new QLineEdit(root);
    TxtMM->setObjectName(QStringLiteral("TxtMM"));
    TxtMM->setEchoMode(QLineEdit::Password);
    TxtMM->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));  // "*"
    place(TxtMM, 4080, 2040, 2175, 270);

    ImgYj = new QLabel(root);
    ImgYj->setObjectName(QStringLiteral("ImgYj"));
    ImgYj->setScaledContents(true);
    ImgYj->setPixmap(eyePicture());
    ImgYj->setToolTip(QStringLiteral("查看完整的密码"));
    ImgYj->setCursor(Qt::PointingHandCursor);
    ImgYj->setGeometry(px(6360), px(1995), px(675), px(315));

    Label3 = new QLabel(QStringLiteral("电话号码："), root);
    Label3->setObjectName(QStringLiteral("Label3"));
    place(Label3, 3360, 2780, 975, 255);

    TxtDhhm = new QLineEdit(root);
    TxtDhhm->setObjectName(QStringLiteral("TxtDhhm"));
    place(TxtDhhm, 4320, 2745, 1935, 270);

    CmdYs = new QPushButton(QStringLiteral("确认(&Y)"), root);
    CmdYs->setObjectName(QStringLiteral("CmdYs"));
    CmdYs->setToolTip(QStringLiteral("验正口令"));
    CmdYs->setGeometry(px(3480), px(3780), px(1200), px(420));

    CmdZhmm = new QPushButton(QStringLiteral("找回密码(&Z)"), root);
    CmdZhmm->setObjectName(QStringLiteral("CmdZhmm"));
    CmdZhmm->setGeometry(px(4800), px(3780), px(1560), px(420));

    CmdExit = new QPushButton(QStringLiteral("放弃(&N)"), root);
    CmdExit->setObjectName(QStringLiteral("CmdExit"));
    CmdExit->setToolTip(QStringLiteral("放弃登录"));
    CmdExit->setGeometry(px(6480), px(3780), px(1200), px(420));

    Data1 = new tv::forms::DataControl(root);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setCaption(QStringLiteral("用户注册"));
    Data1->setGeometry(px(3360), px(4560), px(4335), px(345));

    QWidget::setTabOrder(TxtYhm, TxtMM);
    QWidget::setTabOrder(TxtMM, TxtDhhm);
    QWidget::setTabOrder(TxtDhhm, CmdYs);
    QWidget::setTabOrder(CmdYs, CmdZhmm);
    QWidget::setTabOrder(CmdZhmm, CmdExit);

    // Enter moves between the two boxes and never logs in.
    new tv::forms::EnterRing({TxtYhm, TxtMM}, true, root);

    tv::forms::onClick(CmdYs, [this] { CmdYs_Click(); });
    tv::forms::onClick(CmdZhmm, [this] { CmdZhmm_Click(); });
    tv::forms::onClick(CmdExit, [this] { CmdExit_Click(); });
    onLabelClick(ImgYj, [this] { ImgYj_Click(); });

    centerOnScreen(root);
}

void FrmXTMM::onLoad() {
    MatchFlag.clear();
    FailedAttempts = 0;
    RecoveryPhone.clear();
    userDbFailed_ = false;

    SharedState& s = tv::state();
    s.UserDbPath = programFolder() + QStringLiteral("/Rave.ini");
    try {
        Data1->setDatabaseName(s.UserDbPath);
        Data1->setRecordSource(QStringLiteral("yhzc"));
        Data1->refresh();
        if (Data1->recordset().recordCount() >= 1) {
            Data1->recordset().moveLast();
            Data1->refresh();
        }
    } catch (const tv::DbError& e) {
        userDbFailed_ = true;
        msgBox(QStringLiteral("用户数据库打不开，程序不能继续运行。\n%1\n%2").arg(s.UserDbPath, e.text()), 64,
               QStringLiteral("提示！"));
        return;
    }
    Data1->hide();

    s.PicturePath = pictureFolder();
    loadPicture(Image1, s.PicturePath + QStringLiteral("DE10.gif"));
    loadPicture(Image2, s.PicturePath + QStringLiteral("DE11.jpg"));

    setNormalMode();
    ImgYj->hide();
    TxtYhm->setFocus();
}

void FrmXTMM::setNormalMode() {
    CmdZhmm->setEnabled(false);
    CmdYs->setEnabled(true);
    TxtYhm->setEnabled(true);
    TxtMM->setEnabled(true);
    TxtDhhm->hide();
    Label3->hide();
}

void FrmXTMM::setRecoveryMode() {
    CmdZhmm->setEnabled(true);
    CmdYs->setEnabled(false);
    TxtDhhm->show();
    Label3->show();
    TxtYhm->setEnabled(false);
    TxtMM->setEnabled(false);
    TxtDhhm->setFocus();
}

void FrmXTMM::CmdYs_Click() {
    SharedState& s = tv::state();
    s.CurrentUser = TxtYhm->text();
    s.CurrentPassword = TxtMM->text();

    tv::Recordset& rs = Data1->recordset();
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            if (sameText(rs.field(QStringLiteral("yhxm")), s.CurrentUser) &&
                sameText(rs.field(QStringLiteral("mima")), s.CurrentPassword)) {
                tv::forms::the<MDIVamo>().show();
                MatchFlag = QStringLiteral("YE");
                unload();
                return;
            }
            rs.moveNext();
            MatchFlag = QStringLiteral("NO");
        }
    }

    ++FailedAttempts;
    msgBox(QStringLiteral("用户名或密码不正确！您还可以尝试") + QString::number(5 - FailedAttempts) +
               QStringLiteral("次！"),
           64, QStringLiteral("提示！"));
    if (FailedAttempts >= 5)
        setRecoveryMode();
}

void FrmXTMM::CmdZhmm_Click() {
    RecoveryPhone = TxtDhhm->text();
    if (TxtDhhm->text().isEmpty()) {
        msgBox(QStringLiteral("电话号码不能为空！"), 64, QStringLiteral("提示"));
        return;
    }

    tv::Recordset& rs = Data1->recordset();
    if (rs.recordCount() > 0) {
        rs.moveFirst();
        while (!rs.eof()) {
            if (sameText(rs.field(QStringLiteral("dhhm")), RecoveryPhone)) {
                QString name = rs.field(QStringLiteral("yhxm")).toText();
                QString password = rs.field(QStringLiteral("mima")).toText();
                setNormalMode();
                if (!name.isEmpty())
                    TxtYhm->setText(name);
                if (!password.isEmpty())
                    TxtMM->setText(password);
                MatchFlag = QStringLiteral("YE");
                ImgYj->show();
                // Counting starts again, so no later message shows a negative number.
                FailedAttempts = 0;
                msgBox(QStringLiteral("您的密码已经找回 ！"), 64, QStringLiteral("提示！"));
                TxtMM->setFocus();
                return;
            }
            rs.moveNext();
            MatchFlag = QStringLiteral("NO");
        }
    }

    msgBox(QStringLiteral("电话号码不正确,请与管理员联系！"), 64, QStringLiteral("提示！"));
    setRecoveryMode();
}

void FrmXTMM::CmdExit_Click() {
    unload();
    endIfNoWindowLeft();
}

void FrmXTMM::ImgYj_Click() { TxtMM->setEchoMode(QLineEdit::Normal); }

}  // namespace tv::frame
