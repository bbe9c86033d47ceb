#include "frame/FrmMmWh.h"

#include "frame/FrameKit.h"
#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/Guard.h"
#include "shared/SharedState.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace tv::frame {

using tv::dlg::msgBox;

FrmMmWh::FrmMmWh() : Form(QString::fromLatin1(kName), Kind::TopLevel) {}

void FrmMmWh::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("密码维护"));
    root->setFixedSize(px(8400), px(5400));

    // The grid's caption strip stands on the top of the grid's own area.
    auto* gridCaption = new QLabel(QStringLiteral("密码维护"), root);
    gridCaption->setObjectName(QStringLiteral("DBGrid1Caption"));
    gridCaption->setAlignment(Qt::AlignCenter);
    gridCaption->setFrameShape(QFrame::Panel);
    gridCaption->setFrameShadow(QFrame::Raised);
    gridCaption->setToolTip(QStringLiteral("密码维护"));
    gridCaption->setGeometry(px(120), px(120), px(6480), px(300));
    DBGrid1 = new tv::forms::DataGrid(root);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setToolTip(QStringLiteral("密码维护"));
    DBGrid1->setGeometry(px(120), px(420), px(6480), px(4020));

    Data1 = new tv::forms::DataControl(root);
    Data1->setObjectName(QStringLiteral("Data1"));
    Data1->setCaption(QStringLiteral("密码维护"));
    Data1->setToolTip(QStringLiteral("密码维护"));
    QPalette blue = Data1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    blue.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    Data1->setPalette(blue);
    Data1->setGeometry(px(120), px(4560), px(6480), px(420));

    DBGrid1->setDataSource(Data1);
    DBGrid1->setColumns({{QStringLiteral("yhxm"), QStringLiteral("用户名"), QString()},
                         {QStringLiteral("mima"), QStringLiteral("密码"), QString()},
                         {QStringLiteral("dhhm"), QStringLiteral("电话号码"), QString()}});
    DBGrid1->setAllowAddNew(true);
    DBGrid1->setAllowUpdate(true);
    DBGrid1->setAllowDelete(true);

    Image1 = new QLabel(root);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setScaledContents(true);
    Image1->setGeometry(px(6960), px(240), px(1080), px(1080));

    auto button = [root](const char* name, const QString& text, const QString& tip, int top) {
        auto* b = new QPushButton(text, root);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(tip);
        place(b, 6840, top, 1320, 420);
        return b;
    };
    QPushButton* CMDDELETE = button("CMDDELETE", QStringLiteral("删除记录"), QStringLiteral("删除一条记录"), 2280);
    QPushButton* CMDSEARCH = button("CMDSEARCH", QStringLiteral("记录查询"), QStringLiteral("查询一条记录"), 3000);
    QPushButton* CmdExit = button("CmdExit", QStringLiteral("返回"), QStringLiteral("退出"), 4560);

    QObject::connect(Data1, &tv::forms::DataControl::reposition, root, [this] { Data1_Reposition(); });
    tv::forms::onClick(CMDDELETE, [this] { CMDDELETE_Click(); });
    tv::forms::onClick(CMDSEARCH, [this] { CMDSEARCH_Click(); });
    tv::forms::onClick(CmdExit, [this] { CmdExit_Click(); });
    centerOnScreen(root);
}

void FrmMmWh::onLoad() {
    const SharedState& s = tv::state();
    Data1->setDatabaseName(s.UserDbPath);
    Data1->setRecordSource(QStringLiteral("yhzc"));
    Data1->refresh();
    tv::Recordset& rs = Data1->recordset();
    if (rs.recordCount() >= 1) {
        rs.moveLast();
        AccountCount = rs.recordCount();
        Data1->refresh();
    }
    loadPicture(Image1, s.PicturePath + QStringLiteral("DE10.gif"));
}

void FrmMmWh::Data1_Reposition() {
    if (!Data1->isOpen())
        return;
    const int position = Data1->recordset().absolutePosition() + 1;
    Data1->setCaption(QStringLiteral("用户注册 (#Record：%1 / %2)").arg(position).arg(AccountCount));
}

void FrmMmWh::CMDDELETE_Click() {
    if (msgBox(QStringLiteral("您真的要删除这个记录吗?"), 68, QStringLiteral("删除记录")) != tv::dlg::Yes)
        return;
    try {
        tv::Recordset& rs = Data1->recordset();
        Data1->remove();
        if (rs.eof()) {
            // Deleting the only row leaves nothing to move to.
            if (rs.recordCount() > 0)
                rs.moveLast();
            msgBox(QStringLiteral("已到尾记录！"), 0, QStringLiteral("提示！"));
        } else {
            rs.moveNext();
        }
        AccountCount = rs.recordCount();
    } catch (const std::exception&) {
        msgBox(QStringLiteral("数据删除失败！"), 64, QStringLiteral("提示！"));
    }
}

void FrmMmWh::CMDSEARCH_Click() {
    SearchPhone = tv::dlg::inputBox(QStringLiteral("请输入电话号码：")).value_or(QString());
    tv::Recordset& rs = Data1->recordset();
    if (rs.recordCount() == 0)
        return;  // nothing to look through
    rs.moveFirst();
    while (!rs.eof()) {
        const tv::Value phone = rs.field(QStringLiteral("dhhm"));
        if (!phone.isNull() && phone.toText() == SearchPhone)
            return;
        rs.moveNext();
    }
}

void FrmMmWh::CmdExit_Click() {
    try {
        tv::state().DataFilePath.clear();
        setStatusPanel1(programFolder());
    } catch (const std::exception&) {
        msgBox(QStringLiteral("结束返回！"), 64, QStringLiteral("提示！"));
    }
    unload();
    endIfNoWindowLeft();
}

}  // namespace tv::frame
