#include "frame/frmAbout.h"

#include "frame/Module1.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "shared/SharedState.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace tv::frame {

using tv::forms::setTwips;

namespace {
QLabel* label(QWidget* root, const char* name, const QString& text) {
    auto* l = tv::forms::make<QLabel>(root, name);
    l->setText(text);
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}
}  // namespace

frmAbout::frmAbout() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void frmAbout::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("Tenvora D2021"));
    root->setFixedSize(tv::forms::pixels(designSize()));

    // The window's own picture, behind everything else.
    frmAboutUi& u = ui();
    u.Picture = tv::forms::make<QLabel>(root, "Picture");
    u.Picture->setGeometry(0, 0, root->width(), root->height());
    u.Picture->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    u.Image1 = tv::forms::make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    setTwips(u.Image1, 240, 240, 900, 900);

    QLabel* lblTitle = label(root, "lblTitle", QStringLiteral("Tenvora"));
    lblTitle->setFont(tv::forms::liShu(21.75, true));
    lblTitle->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    setTwips(lblTitle, 1440, 240, 4560, 600);

    QLabel* lblVersion = label(root, "lblVersion", QStringLiteral("Tenvora D2021"));
    lblVersion->setFont(tv::forms::liShu(12, true));
    lblVersion->setStyleSheet(QStringLiteral("color: rgb(0,0,255);"));
    setTwips(lblVersion, 1440, 900, 4560, 360);

    QLabel* lblDescription = label(root, "lblDescription", QStringLiteral("2021-2-20：长、短租Vamo的最佳解决方案"));
    lblDescription->setStyleSheet(QStringLiteral("color: rgb(0,0,255);"));
    lblDescription->setWordWrap(true);
    setTwips(lblDescription, 1440, 1440, 4680, 720);

    setTwips(label(root, "Label1", QString()), 1440, 2200, 4560, 240);
    setTwips(label(root, "Label2", QString()), 1440, 2440, 4560, 240);
    setTwips(label(root, "Label5", QString()), 240, 3120, 2400, 240);
    setTwips(label(root, "Label6", QString()), 240, 3400, 2400, 240);

    // Line1: a grey line over a white one.
    auto* grey = tv::forms::make<QFrame>(root, "Line1");
    grey->setStyleSheet(QStringLiteral("background: rgb(128,128,128);"));
    grey->setGeometry(tv::forms::px(240), tv::forms::px(2820), tv::forms::px(5940), 1);
    auto* white = new QFrame(root);
    white->setStyleSheet(QStringLiteral("background: white;"));
    white->setGeometry(grey->geometry().translated(0, 1));

    auto* cmdOK = tv::forms::make<QPushButton>(root, "cmdOK");
    cmdOK->setText(QStringLiteral("确定"));
    cmdOK->setDefault(true);
    tv::forms::place(cmdOK, 4680, 3000, 1500, 375);
    auto* cmdSysInfo = tv::forms::make<QPushButton>(root, "cmdSysInfo");
    cmdSysInfo->setText(QStringLiteral("系统信息(&S)..."));
    tv::forms::place(cmdSysInfo, 4680, 3480, 1500, 375);

    tv::forms::onClick(cmdOK, [this] { cmdOK_Click(); });
    setExitButton(cmdOK);
    tv::forms::onClick(cmdSysInfo, [this] { StartSysInfo(); });
    // 确定 is the default and the cancel button: Esc presses it, and so does
    // Enter unless another button has the focus.
    auto* esc = new QShortcut(QKeySequence(Qt::Key_Escape), root);
    QObject::connect(esc, &QShortcut::activated, cmdOK, &QPushButton::click);
    for (QKeySequence key : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
        auto* enter = new QShortcut(key, root);
        QObject::connect(enter, &QShortcut::activated, root, [root, cmdOK] {
            auto* focused = qobject_cast<QPushButton*>(root->focusWidget());
            (focused ? focused : cmdOK)->click();
        });
    }

    tv::forms::centerOnScreen(root);
}

void frmAbout::onLoad() {
    const QString& pictures = tv::state().PicturePath;
    tv::forms::loadPicture(ui().Picture, pictures + QStringLiteral("WVLOGO.GIF"));
    tv::forms::loadPicture(ui().Image1, pictures + QStringLiteral("DE10.gif"));
}

void frmAbout::StartSysInfo() { tv::dlg::msgBox(QStringLiteral("此时系统信息不可用"), tv::dlg::OkOnly); }

void frmAbout::cmdOK_Click() {
    unload();
    endIfNoWindowLeft();
}

}  // namespace tv::frame
