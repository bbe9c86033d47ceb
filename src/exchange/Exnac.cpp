#include "exchange/Exnac.h"

#include "exchange/fexcel.h"
#include "exchange/outform.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"

#include <QPushButton>
#include <QRadioButton>

namespace tv::exchange {

Exnac::Exnac() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void Exnac::build(QWidget* root) {
    using tv::forms::make;
    ExnacUi& u = ui();
    root->setWindowTitle(QStringLiteral("Excel与Access数据相互导入 V2020"));
    root->setFixedSize(tv::forms::pixels(designSize()));
    u.Option1 = make<QRadioButton>(root, "Option1");
    u.Option1->setText(QStringLiteral("把Excel数据导入到Access数据库"));
    tv::forms::place(u.Option1, 600, 480, 4200, 375);
    u.Option2 = make<QRadioButton>(root, "Option2");
    u.Option2->setText(QStringLiteral("把Access数据导入到Excel数据表"));
    tv::forms::place(u.Option2, 600, 1080, 4200, 375);
    u.CmdQr = make<QPushButton>(root, "CmdQr");
    u.CmdQr->setText(QStringLiteral("确定(&Q)"));
    tv::forms::place(u.CmdQr, 900, 2040, 1455, 495);
    u.CmdTc = make<QPushButton>(root, "CmdTc");
    u.CmdTc->setText(QStringLiteral("退出(&X)"));
    tv::forms::place(u.CmdTc, 3000, 2040, 1455, 495);
    tv::forms::onClick(u.CmdQr, [this] { CmdQr_Click(); });
    tv::forms::onClick(u.CmdTc, [this] { CmdTc_Click(); });
    tv::forms::centerOnScreen(root);
}

void Exnac::CmdQr_Click() {
    if (ui().Option1->isChecked()) {
        tv::forms::the<fexcel>().show();
        hide();
    } else if (ui().Option2->isChecked()) {
        tv::forms::the<outform>().show();
        hide();
    }
}

void Exnac::CmdTc_Click() { unload(); }

}  // namespace tv::exchange
