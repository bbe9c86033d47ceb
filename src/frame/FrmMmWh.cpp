#include "frame/FrmMmWh.h"

#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/DataGrid.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/LockWait.h"
#include "platform/forms/WindowParts.h"
#include "shared/DataWindows.h"
#include "shared/SharedState.h"

#include <QLabel>
#include <QPalette>
#include <QPushButton>

namespace tv::frame {

using tv::dlg::msgBox;

namespace {

// A row someone can log in with: the login matches no missing name or password.
bool logsIn(const tv::Value& name, const tv::Value& password) { return !name.isNull() && !password.isNull(); }

// The accounts of the user table that can log in, the row current in `rs`
// (as the file holds it) left out.
int othersThatLogIn(tv::Recordset& rs) {
    int count =
        rs.database()
            ->query(QStringLiteral("select count(*) from [yhzc] where [yhxm] is not null and [mima] is not null"))
            .at(0)
            .at(0)
            .toInt();
    if (const int at = rs.absolutePosition(); at >= 0)
        count -= logsIn(rs.valueAt(at, rs.columnIndex(QStringLiteral("yhxm"))),
                        rs.valueAt(at, rs.columnIndex(QStringLiteral("mima"))));
    return count;
}

const QString kKeepOneThatLogsIn = QStringLiteral("至少要保留一个能登录的用户！");

}  // namespace

FrmMmWh::FrmMmWh() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void FrmMmWh::build(QWidget* root) {
    using tv::forms::make;
    using tv::forms::setTwips;
    FrmMmWhUi& u = ui();
    const QString title = QStringLiteral("密码维护");
    root->setWindowTitle(title);
    root->setFixedSize(tv::forms::pixels(designSize()));

    // The grid's caption strip stands on the top of the grid's own area.
    auto* gridCaption = make<QLabel>(root, "DBGrid1Caption");
    gridCaption->setText(title);
    gridCaption->setAlignment(Qt::AlignCenter);
    gridCaption->setFrameShape(QFrame::Panel);
    gridCaption->setFrameShadow(QFrame::Raised);
    gridCaption->setToolTip(title);
    setTwips(gridCaption, 120, 120, 6480, 300);
    u.DBGrid1 = make<tv::forms::DataGrid>(root, "DBGrid1");
    u.DBGrid1->setToolTip(title);
    setTwips(u.DBGrid1, 120, 420, 6480, 4020);

    u.Data1 = make<tv::forms::DataControl>(root, "Data1");
    u.Data1->setCaption(title);
    u.Data1->setToolTip(title);
    QPalette blue = u.Data1->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    blue.setColor(QPalette::ButtonText, QColor(0, 0, 255));
    u.Data1->setPalette(blue);
    setTwips(u.Data1, 120, 4560, 6480, 420);

    u.DBGrid1->setDataSource(u.Data1);
    u.DBGrid1->setColumns({{QStringLiteral("yhxm"), QStringLiteral("用户名"), QString()},
                           {QStringLiteral("mima"), QStringLiteral("密码"), QString()},
                           {QStringLiteral("dhhm"), QStringLiteral("电话号码"), QString()}});
    u.DBGrid1->setAllowAddNew(true);
    u.DBGrid1->setAllowUpdate(true);
    u.DBGrid1->setAllowDelete(true);

    u.Image1 = make<QLabel>(root, "Image1");
    u.Image1->setScaledContents(true);
    setTwips(u.Image1, 6960, 240, 1080, 1080);

    auto button = [root](const char* name, const char* text, const char* tip, int top) {
        auto* b = make<QPushButton>(root, name);
        b->setText(QString::fromUtf8(text));
        b->setToolTip(QString::fromUtf8(tip));
        tv::forms::place(b, 6840, top, 1320, 420);
        return b;
    };
    tv::forms::onClick(button("CMDDELETE", "删除记录", "删除一条记录", 2280), [this] { CMDDELETE_Click(); });
    tv::forms::onClick(button("CMDSEARCH", "记录查询", "查询一条记录", 3000), [this] { CMDSEARCH_Click(); });
    QPushButton* exit = button("CmdExit", "返回", "退出", 4560);
    tv::forms::onClick(exit, [this] { CmdExit_Click(); });
    setExitButton(exit);
    // The Delete key on a row of the grid asks as the button does.
    tv::forms::on(u.DBGrid1, &tv::forms::DataGrid::deleteRequested, [this] { CMDDELETE_Click(); });
    u.DBGrid1->setBeforeStore([](tv::Recordset& row, const QStringList&) { DBGrid1_BeforeStore(row); });
    QObject::connect(u.Data1, &tv::forms::DataControl::reposition, root, [this] { Data1_Reposition(); });
    tv::forms::centerOnScreen(root);
}

void FrmMmWh::onLoad() {
    const SharedState& s = tv::state();
    try {
        // Another program holding the file locked: said at once while it is
        // waited for; the window opens whole once it is free, or not at all.
        tv::forms::LockWait wait;
        ui().Data1->setDatabaseName(s.UserDbPath);
        ui().Data1->setRecordSource(QStringLiteral("yhzc"));
        ui().Data1->refresh();
        tv::Recordset& rs = ui().Data1->recordset();
        if (rs.recordCount() >= 1) {
            rs.moveLast();
            AccountCount = rs.recordCount();
            ui().Data1->refresh();
        }
    } catch (const tv::DbError& e) {
        msgBox(QStringLiteral("无法打开用户数据库：%1\n%2").arg(s.UserDbPath, e.text()), tv::dlg::Info,
               tv::dlg::kNoteTitle);
        unload();
        return;
    }
    tv::forms::loadPicture(ui().Image1, s.PicturePath + QStringLiteral("DE10.gif"));
}

void FrmMmWh::Data1_Reposition() {
    if (!ui().Data1->isOpen())
        return;
    ui().Data1->setCaption(tv::forms::positionCaption(QStringLiteral("用户注册"), ui().Data1, AccountCount));
}

void FrmMmWh::CMDDELETE_Click() {
    // Without an account nobody could log in again.
    if (ui().Data1->isOpen() && ui().Data1->recordset().recordCount() < 2) {
        msgBox(QStringLiteral("至少要保留一个用户！"), tv::dlg::Info, tv::dlg::kNoteTitle);
        return;
    }
    // Nor without one that can log in.
    if (tv::Recordset& rs = ui().Data1->recordset();
        ui().Data1->isOpen() && rs.hasCurrent() &&
        logsIn(rs.field(QStringLiteral("yhxm")), rs.field(QStringLiteral("mima"))) && othersThatLogIn(rs) == 0) {
        msgBox(kKeepOneThatLogsIn, tv::dlg::Info, tv::dlg::kNoteTitle);
        return;
    }
    if (tv::askDelete() != tv::dlg::Yes)
        return;
    try {
        tv::Recordset& rs = ui().Data1->recordset();
        ui().Data1->remove();
        // Nothing to move to in an empty table, but its end is told all the same.
        if (tv::moveAfterDelete(rs) == tv::AfterDelete::Empty)
            msgBox(QStringLiteral("已到尾记录！"), tv::dlg::OkOnly, tv::dlg::kNoteTitle);
        AccountCount = rs.recordCount();
    } catch (const std::exception& e) {
        msgBox(tv::forms::refusedWriteText(e, QStringLiteral("数据删除失败！")), tv::dlg::Info, tv::dlg::kNoteTitle);
    }
}

// A name or password emptied in the grid: refused while no other account
// could log in, as the last account is never deleted.
void FrmMmWh::DBGrid1_BeforeStore(tv::Recordset& row) {
    if (!logsIn(row.field(QStringLiteral("yhxm")), row.field(QStringLiteral("mima"))) && othersThatLogIn(row) == 0)
        throw tv::DbError(kKeepOneThatLogsIn + QStringLiteral("用户名和密码都不能为空。"));
}

void FrmMmWh::CMDSEARCH_Click() {
    SearchPhone = tv::dlg::inputBox(QStringLiteral("请输入电话号码：")).value_or(QString());
    tv::Recordset& rs = ui().Data1->recordset();
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
    tv::leaveDataFile();
    unload();
    endIfNoWindowLeft();
}

}  // namespace tv::frame
