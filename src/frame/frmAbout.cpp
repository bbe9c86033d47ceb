#include "frame/frmAbout.h"

#include "frame/FrameKit.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Guard.h"
#include "shared/SharedState.h"

#include <QFrame>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>

namespace tv::frame {

namespace {
QLabel* label(QWidget* root, const char* name, const QString& text) {
    auto* l = new QLabel(text, root);
    l->setObjectName(QString::fromLatin1(name));
    l->setAttribute(Qt::WA_TranslucentBackground);
    return l;
}

QFont liShu(double points) {
    QFont f;
    f.setFamilies({QStringLiteral("隶书"), QStringLiteral("AR PL UKai CN")});
    f.setPointSizeF(points);
    f.setBold(true);
    return f;
}
}  // namespace

frmAbout::frmAbout() : Form(QString::fromLatin1(kName), Kind::TopLevel) {}

void frmAbout::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("Tenvora D2021"));
    root->setFixedSize(px(6420), px(3960));

    // The window's own picture, behind everything else.
    background_ = new QLabel(root);
    background_->setObjectName(QStringLiteral("Picture"));
    background_->setGeometry(0, 0, root->width(), root->height());
    background_->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    Image1 = new QLabel(root);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setGeometry(px(240), px(240), px(900), px(900));

    QLabel* lblTitle = label(root, "lblTitle", QStringLiteral("Tenvora"));
    lblTitle->setFont(liShu(21.75));
    lblTitle->setStyleSheet(QStringLiteral("color: rgb(255,0,0);"));
    lblTitle->setGeometry(px(1440), px(240), px(4560), px(600));

    QLabel* lblVersion = label(root, "lblVersion", QStringLiteral("Tenvora D2021"));
    lblVersion->setFont(liShu(12));
    lblVersion->setStyleSheet(QStringLiteral("color: rgb(0,0,255);"));
    lblVersion->setGeometry(px(1440), px(900), px(4560), px(360));

    QLabel* lblDescription = label(root, "lblDescription", QStringLiteral("2021-2-20：长、短租Vamo的最佳解决方案"));
    lblDescription->setStyleSheet(QStringLiteral("color: rgb(0,0,255);"));
    lblDescription->setWordWrap(true);
    lblDescription->setGeometry(px(1440), px(1440), px(4680), px(720));

    label(root, "Label1", QString())->setGeometry(px(1440), px(2200), px(4560), px(240));
    label(root, "Label2", QString())->setGeometry(px(1440), px(2440), px(4560), px(240));
    label(root, "Label5", QString())->setGeometry(px(240), px(3120), px(2400), px(240));
    label(root, "Label6", QString())->setGeometry(px(240), px(3400), px(2400), px(240));

    // Line1: a grey line over a white one.
    auto* grey = new QFrame(root);
    grey->setObjectName(QStringLiteral("Line1"));
    grey->setStyleSheet(QStringLiteral("background: rgb(128,128,128);"));
    grey->setGeometry(px(240), px(2820), px(5940), 1);
    auto* white = new QFrame(root);
    white->setStyleSheet(QStringLiteral("background: white;"));
    white->setGeometry(px(240), px(2820) + 1, px(5940), 1);

    auto* cmdOK = new QPushButton(QStringLiteral("确定"), root);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    place(cmdOK, 4680, 3000, 1500, 375);
    auto* cmdSysInfo = new QPushButton(QStringLiteral("系统信息(&S)..."), root);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));
    place(cmdSysInfo, 4680, 3480, 1500, 375);

    tv::forms::onClick(cmdOK, [this] { cmdOK_Click(); });
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

    centerOnScreen(root);
}

void frmAbout::onLoad() {
    const QString& pictures = tv::state().PicturePath;
    loadPicture(background_, pictures + QStringLiteral("WVLOGO.GIF"));
    loadPicture(Image1, pictures + QStringLiteral("DE10.gif"));
}

void frmAbout::StartSysInfo() { tv::dlg::msgBox(QStringLiteral("此时系统信息不可用"), 0); }

void frmAbout::cmdOK_Click() {
    unload();
    endIfNoWindowLeft();
}

}  // namespace tv::frame
