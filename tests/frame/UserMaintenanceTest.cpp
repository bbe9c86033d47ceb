// The user maintenance window and the about box, driven through their
// controls on a user database of their own.
#include "FrameFixture.h"

#include "frame/FrameKit.h"
#include "frame/FrmMmWh.h"
#include "frame/FrmXTMM.h"
#include "frame/MDIVamo.h"
#include "frame/frmAbout.h"
#include "platform/forms/DataGrid.h"

#include <QPushButton>
#include <QTest>

namespace tv::frame::test {
namespace {

class UserMaintenanceTest : public FrameTest {
protected:
    FrmMmWh* users = nullptr;

    void SetUp() override {
        FrameTest::SetUp();
        tv::state().UserDbPath = userDb();
        tv::state().PicturePath = folder + QStringLiteral("/BMP/");
    }
    void fill() {
        tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES ('li', 'a1', '139');"
                                                   "INSERT INTO yhzc VALUES ('wang', 'b2', '137');"
                                                   "INSERT INTO yhzc VALUES ('zhao', 'c3', '139');"));
    }
    void open() {
        users = &tv::forms::the<FrmMmWh>();
        users->show();
        ASSERT_TRUE(users->isLoaded());
    }
    tv::forms::DataControl* data() { return users->control<tv::forms::DataControl>(QStringLiteral("Data1")); }
    tv::Recordset& rs() { return data()->recordset(); }
    QString caption() { return data()->caption(); }
    void click(const char* name) {
        QTest::mouseClick(users->control<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton);
    }
    QString names() {
        return tv::test::queryText(userDb(), QStringLiteral("SELECT group_concat(yhxm, ',') FROM yhzc"));
    }
    static QString cap(int position, int count) {
        return QStringLiteral("用户注册 (#Record：%1 / %2)").arg(position).arg(count);
    }
};

TEST_F(UserMaintenanceTest, CaptionShowsThePositionAndTheCountTakenAtLoad) {
    fill();
    open();
    EXPECT_EQ(users->widget()->windowTitle(), QStringLiteral("密码维护"));
    EXPECT_EQ(caption(), cap(1, 4));
    EXPECT_EQ(users->AccountCount, 4);
    EXPECT_FALSE(users->control<QLabel>(QStringLiteral("Image1"))->pixmap().isNull());
    data()->moveNext();
    EXPECT_EQ(caption(), cap(2, 4));
    data()->moveLast();
    EXPECT_EQ(caption(), cap(4, 4));
    EXPECT_EQ(users->control<QLabel>(QStringLiteral("DBGrid1Caption"))->text(), QStringLiteral("密码维护"));
    auto* grid = users->control<tv::forms::DataGrid>(QStringLiteral("DBGrid1"));
    EXPECT_EQ(grid->model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("用户名"));
    EXPECT_EQ(grid->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("密码"));
    EXPECT_EQ(grid->model()->headerData(2, Qt::Horizontal).toString(), QStringLiteral("电话号码"));
    EXPECT_EQ(grid->model()->index(0, 1).data().toString(), QStringLiteral("472619"));  // in the clear
}

TEST_F(UserMaintenanceTest, DeleteAsksThenMovesOnAndCountsAfterTheMove) {
    fill();
    open();
    data()->moveNext();  // li
    script::answerMsgBox(tv::dlg::No);
    click("CMDDELETE");
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("删除记录|您真的要删除这个记录吗?|68")});
    EXPECT_EQ(names(), QStringLiteral("admin,li,wang,zhao"));

    script::answerMsgBox(tv::dlg::Yes);
    click("CMDDELETE");
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(names(), QStringLiteral("admin,wang,zhao"));
    EXPECT_EQ(rs().field(QStringLiteral("yhxm")).toText(), QStringLiteral("wang"));
    EXPECT_EQ(caption(), cap(2, 4)) << "the count is taken after the move";
    EXPECT_EQ(users->AccountCount, 3);

    // The last row: no current row after the delete, so to the last row.
    data()->moveLast();
    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages(), (std::vector<QString>{QStringLiteral("删除记录|您真的要删除这个记录吗?|68"),
                                                QStringLiteral("提示！|已到尾记录！|0")}));
    EXPECT_EQ(names(), QStringLiteral("admin,wang"));
    EXPECT_EQ(rs().field(QStringLiteral("yhxm")).toText(), QStringLiteral("wang"));
    EXPECT_EQ(caption(), cap(2, 3));
    EXPECT_EQ(users->AccountCount, 2);
}

TEST_F(UserMaintenanceTest, DeletingTheOnlyRowAndDeletingFromAnEmptyTable) {
    open();  // admin only
    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages().back(), QStringLiteral("提示！|已到尾记录！|0"));
    EXPECT_EQ(names(), QString());
    EXPECT_EQ(users->AccountCount, 0);
    EXPECT_EQ(caption(), cap(0, 1));

    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages().back(), QStringLiteral("提示！|数据删除失败！|64"));
    EXPECT_TRUE(users->isLoaded());
}

TEST_F(UserMaintenanceTest, SearchByPhoneStopsAtTheFirstMatchOrLeavesNoCurrentRow) {
    fill();
    tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES ('nophone', 'd4', NULL);"
                                               "INSERT INTO yhzc VALUES ('blank', 'e5', '');"));
    open();
    script::answerInput(QStringLiteral("139"));
    click("CMDSEARCH");
    ASSERT_TRUE(rs().hasCurrent());
    EXPECT_EQ(rs().field(QStringLiteral("yhxm")).toText(), QStringLiteral("li"));
    EXPECT_EQ(caption(), cap(2, 6));
    EXPECT_EQ(script::calls().back().text, QStringLiteral("请输入电话号码："));

    script::answerInput(QStringLiteral("000"));
    click("CMDSEARCH");
    EXPECT_FALSE(rs().hasCurrent());
    EXPECT_TRUE(rs().eof());
    EXPECT_EQ(caption(), cap(0, 6));

    // Cancel searches for the empty text: only the row with an empty number.
    script::answerInput(std::nullopt);
    click("CMDSEARCH");
    ASSERT_TRUE(rs().hasCurrent());
    EXPECT_EQ(rs().field(QStringLiteral("yhxm")).toText(), QStringLiteral("blank"));
    EXPECT_EQ(users->SearchPhone, QString());
    EXPECT_EQ(messages().size(), 0u);
}

TEST_F(UserMaintenanceTest, SearchOnAnEmptyTableDoesNothing) {
    tv::test::execSql(userDb(), QStringLiteral("DELETE FROM yhzc;"));
    open();
    EXPECT_EQ(caption(), cap(0, 0));
    script::answerInput(QStringLiteral("139"));
    click("CMDSEARCH");
    EXPECT_TRUE(messages().empty());
    EXPECT_FALSE(rs().hasCurrent());
}

TEST_F(UserMaintenanceTest, AnAccountAddedInTheGridLogsIn) {
    open();
    auto* model = users->control<tv::forms::DataGrid>(QStringLiteral("DBGrid1"))->model();
    const int row = model->rowCount() - 1;  // the new-row line
    ASSERT_TRUE(model->setData(model->index(row, 0), QStringLiteral("陈")));
    ASSERT_TRUE(model->setData(model->index(row, 1), QStringLiteral("Pw 7")));
    ASSERT_TRUE(model->setData(model->index(row, 2), QStringLiteral("13512345678")));
    EXPECT_EQ(tv::test::queryText(userDb(), QStringLiteral("SELECT mima FROM yhzc WHERE yhxm='陈'")),
              QStringLiteral("Pw 7"));
    click("CmdExit");
    EXPECT_FALSE(users->isLoaded());

    Main();
    FrmXTMM& login = tv::forms::the<FrmXTMM>();
    login.control<QLineEdit>(QStringLiteral("TxtYhm"))->setText(QStringLiteral("陈"));
    login.control<QLineEdit>(QStringLiteral("TxtMM"))->setText(QStringLiteral("Pw 7"));
    QTest::mouseClick(login.control<QPushButton>(QStringLiteral("CmdYs")), Qt::LeftButton);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
}

TEST_F(UserMaintenanceTest, ReturnEmptiesTheDataFileAndWritesTheBareFolderIntoTheStatusBar) {
    tv::forms::the<MDIVamo>().show();
    open();
    tv::state().DataFilePath = folder + QStringLiteral("/a.mdb");
    setStatusPanel1(QStringLiteral("工作路径：") + tv::state().DataFilePath);
    click("CmdExit");
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());
    EXPECT_EQ(statusPanel1(), folder);
    EXPECT_FALSE(users->isLoaded());
    EXPECT_TRUE(ended.empty()) << "the main window is still open";

    // Shown again, it loads again and keeps its count from before.
    tv::test::execSql(userDb(), QStringLiteral("DELETE FROM yhzc;"));
    open();
    EXPECT_EQ(users->AccountCount, 1);
    EXPECT_EQ(caption(), cap(0, 1));
}

TEST_F(UserMaintenanceTest, AboutBoxSaysThereIsNoSystemInformationAndCloses) {
    frmAbout& about = tv::forms::the<frmAbout>();
    about.show();
    EXPECT_EQ(about.widget()->windowTitle(), QStringLiteral("Tenvora D2021"));
    EXPECT_EQ(about.control<QLabel>(QStringLiteral("lblTitle"))->text(), QStringLiteral("Tenvora"));
    EXPECT_EQ(about.control<QLabel>(QStringLiteral("lblDescription"))->text(),
              QStringLiteral("2021-2-20：长、短租Vamo的最佳解决方案"));
    EXPECT_FALSE(about.control<QLabel>(QStringLiteral("Image1"))->pixmap().isNull());
    script::answerMsgBox(tv::dlg::Ok);
    QTest::mouseClick(about.control<QPushButton>(QStringLiteral("cmdSysInfo")), Qt::LeftButton);
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("|此时系统信息不可用|0")});
    EXPECT_TRUE(about.isLoaded());

    QApplication::setActiveWindow(about.widget());
    QTest::keyClick(about.widget(), Qt::Key_Escape);
    EXPECT_FALSE(about.isLoaded());
    EXPECT_EQ(ended, std::vector<int>{0}) << "it was the last window";
}

}  // namespace
}  // namespace tv::frame::test
