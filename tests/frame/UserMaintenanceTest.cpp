// The user maintenance window and the about box, driven through their
// controls on a user database of their own.
#include "FrameFixture.h"

#include "frame/FrmMmWh.h"
#include "frame/FrmXTMM.h"
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
    QString caption() { return data()->caption(); }
    // The current row's name ("-" for none) and the caption.
    QString seen() {
        const tv::Recordset& rs = data()->recordset();
        return (rs.hasCurrent() ? rs.field(QStringLiteral("yhxm")).toText() : QStringLiteral("-")) + '|' + caption();
    }
    // 查找 with `phone` typed (nullopt: cancelled): what is seen then.
    QString search(std::optional<QString> phone) {
        script::answerInput(phone);
        click("CMDSEARCH");
        return seen();
    }
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

TEST_F(UserMaintenanceTest, CaptionCountsFromTheLoadAndDeleteAsksMovesOnAndCountsAfterTheMove) {
    fill();
    open();
    EXPECT_EQ(caption(), cap(1, 4));
    EXPECT_EQ(users->control<QLabel>(QStringLiteral("DBGrid1Caption"))->text(), QStringLiteral("密码维护"));
    data()->moveNext();  // li
    EXPECT_EQ(caption(), cap(2, 4));

    script::answerMsgBox(tv::dlg::No);
    click("CMDDELETE");
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("删除记录|您真的要删除这个记录吗?|68")});
    EXPECT_EQ(names(), QStringLiteral("admin,li,wang,zhao"));
    script::answerMsgBox(tv::dlg::Yes);
    click("CMDDELETE");
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(names(), QStringLiteral("admin,wang,zhao"));
    EXPECT_EQ(seen(), "wang|" + cap(2, 4)) << "the count is taken after the move";

    // The last row: no current row after the delete, so to the last row.
    data()->moveLast();
    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages(), (std::vector<QString>{QStringLiteral("删除记录|您真的要删除这个记录吗?|68"),
                                                QStringLiteral("提示！|已到尾记录！|0")}));
    EXPECT_EQ(names(), QStringLiteral("admin,wang"));
    EXPECT_EQ(seen(), "wang|" + cap(2, 3));
}

TEST_F(UserMaintenanceTest, DeletingTheOnlyRowThenDeletingAndSearchingInTheEmptyTable) {
    open();  // admin only
    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages().back(), QStringLiteral("提示！|已到尾记录！|0"));
    EXPECT_EQ(names(), QString());
    EXPECT_EQ(caption(), cap(0, 1));

    script::answerMsgBox(tv::dlg::Yes);
    script::answerMsgBox(tv::dlg::Ok);
    click("CMDDELETE");
    EXPECT_EQ(messages().back(), QStringLiteral("提示！|数据删除失败！|64"));
    EXPECT_TRUE(search(QStringLiteral("139")).startsWith(QStringLiteral("-|")));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(users->isLoaded());
}

TEST_F(UserMaintenanceTest, SearchByPhoneStopsAtTheFirstMatchOrLeavesNoCurrentRow) {
    fill();
    tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES ('nophone', 'd4', NULL);"
                                               "INSERT INTO yhzc VALUES ('blank', 'e5', '');"));
    open();
    EXPECT_EQ(search(QStringLiteral("139")), "li|" + cap(2, 6));
    EXPECT_EQ(script::calls().back().text, QStringLiteral("请输入电话号码："));
    EXPECT_EQ(search(QStringLiteral("000")), "-|" + cap(0, 6));
    // Cancel searches for the empty text: only the row with an empty number.
    EXPECT_EQ(search(std::nullopt), "blank|" + cap(6, 6));
    EXPECT_TRUE(messages().empty());
}

TEST_F(UserMaintenanceTest, AnAccountAddedInTheGridLogsIn) {
    open();
    auto* model = users->control<tv::forms::DataGrid>(QStringLiteral("DBGrid1"))->model();
    const int row = model->rowCount() - 1;  // the new-row line
    ASSERT_TRUE(model->setData(model->index(row, 0), QStringLiteral("陈")));
    ASSERT_TRUE(model->setData(model->index(row, 1), QStringLiteral("Pw 7")));
    ASSERT_TRUE(model->setData(model->index(row, 2), QStringLiteral("13512345678")));
    tv::state().DataFilePath = folder + QStringLiteral("/a.mdb");
    click("CmdExit");
    EXPECT_FALSE(users->isLoaded());
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());

    Main();
    FrmXTMM& login = tv::forms::the<FrmXTMM>();
    login.control<QLineEdit>(QStringLiteral("TxtYhm"))->setText(QStringLiteral("陈"));
    login.control<QLineEdit>(QStringLiteral("TxtMM"))->setText(QStringLiteral("Pw 7"));
    QTest::mouseClick(login.control<QPushButton>(QStringLiteral("CmdYs")), Qt::LeftButton);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
}

TEST_F(UserMaintenanceTest, AboutBoxSaysThereIsNoSystemInformationAndCloses) {
    frmAbout& about = tv::forms::the<frmAbout>();
    about.show();
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
