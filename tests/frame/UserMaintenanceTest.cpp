// The user maintenance window driven through its controls on a user
// database of its own.
#include "FrameFixture.h"

#include "platform/forms/DataGrid.h"

namespace tv::frame::test {
namespace {

using UserMaintenanceTest = FrameTest;

// A session of steps: "search <number>" (without a number: cancelled),
// "delete Yes|No", "last". Its line: the dialogs, the current row's name
// ("-" for none), the caption, the names in the table. Then an account added
// in the grid of the emptied table logs in.
TEST_F(UserMaintenanceTest, SearchFindsTheFirstNumberDeleteAsksMovesOnAndAnAccountAddedInTheGridLogsIn) {
    tv::state().UserDbPath = userDb();
    tv::test::execSql(userDb(),
                      "INSERT INTO yhzc VALUES ('li', 'a1', '139'); INSERT INTO yhzc VALUES ('wang', 'b2', '137');"
                      "INSERT INTO yhzc VALUES ('zhao', 'c3', '139'); INSERT INTO yhzc VALUES ('nophone', 'd4', NULL);"
                      "INSERT INTO yhzc VALUES ('blank', 'e5', '');");
    FrmMmWh& users = tv::forms::the<FrmMmWh>();
    users.show();
    auto* data = find<tv::forms::DataControl>(users, "Data1");
    QStringList lines;
    for (const QString step :
         {"load", "search 139", "search 000", "search", "delete Yes", "search 139", "delete No", "delete Yes", "last",
          "delete Yes", "delete Yes", "delete Yes", "delete Yes", "delete Yes", "search 139"}) {
        script::begin();
        if (step.startsWith("search"))
            script::answerInput(step == "search" ? std::nullopt : std::optional(step.mid(7)));
        script::answerMsgBox(step.endsWith("No") ? tv::dlg::No : tv::dlg::Yes);
        script::answerMsgBox(tv::dlg::Ok);
        if (step == "last")
            data->moveLast();
        else if (step != "load")
            click(users, step.startsWith("search") ? "CMDSEARCH" : "CMDDELETE");
        const tv::Recordset& rs = data->recordset();
        lines << (QStringList{step} << said()).join(" -> ") + " -> " +
                     (rs.hasCurrent() ? rs.field("yhxm").toText() : "-") + " | " + data->caption() + " | " +
                     tv::test::queryText(userDb(), "SELECT coalesce(group_concat(yhxm, ' '), '(none)') FROM yhzc");
    }
    expectGolden(lines, "frame_users.txt");

    auto* model = find<tv::forms::DataGrid>(users, "DBGrid1")->model();
    const int row = model->rowCount() - 1;  // the new-row line
    const QStringList account = {"陈", "Pw 7", "13512345678"};
    for (int column = 0; column < 3; ++column) ASSERT_TRUE(model->setData(model->index(row, column), account[column]));
    tv::state().DataFilePath = folder + "/a.mdb";
    click(users, "CmdExit");
    EXPECT_FALSE(users.isLoaded());
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());
    Main();
    logIn("陈", "Pw 7");
    EXPECT_TRUE(Registry::isLoaded("MDIVamo"));
}

}  // namespace
}  // namespace tv::frame::test
