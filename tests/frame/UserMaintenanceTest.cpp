// The user maintenance window driven through its controls on a user
// database of its own.
#include "FrameFixture.h"

#include "platform/forms/DataGrid.h"

namespace tv::frame::test {
namespace {

class UserMaintenanceTest : public FrameTest {
protected:
    // The window opened on the user database, holding the accounts `accounts` adds.
    FrmMmWh& open(const char* accounts) {
        tv::state().UserDbPath = userDb();
        tv::test::execSql(userDb(), accounts);
        FrmMmWh& users = tv::forms::the<FrmMmWh>();
        users.show();
        QApplication::setActiveWindow(users.widget());
        return users;
    }
};

// A session of steps: "search <number>" (without a number: cancelled),
// "delete Yes|No" (the button), "key Yes|No" (the Delete key on the grid),
// "last", "type" (an account typed into the grid's new-row line: 陈, Tab,
// Pw 7, Tab, 13512345678, Enter; "type refused" while the file refuses it,
// then plain "type" stores the row kept pending with Enter). Its line: the
// dialogs, the current row's name ("-" for none), the caption, the accounts
// in the file, and after typing the grid's current row. Then the typed
// account logs in.
TEST_F(UserMaintenanceTest, SearchDeleteKeepingTheLastAccountAndAnAccountTypedInTheGridThatLogsIn) {
    FrmMmWh& users = open(
        "INSERT INTO yhzc VALUES ('li', 'a1', '139'); INSERT INTO yhzc VALUES ('wang', 'b2', '137');"
        "INSERT INTO yhzc VALUES ('zhao', 'c3', '139'); INSERT INTO yhzc VALUES ('nophone', 'd4', NULL);"
        "INSERT INTO yhzc VALUES ('blank', 'e5', '');");
    auto* data = find<tv::forms::DataControl>(users, "Data1");
    auto* grid = find<tv::forms::DataGrid>(users, "DBGrid1");
    QStringList lines;
    for (const QString step : {"load", "search 139", "search 000", "search", "delete Yes", "search 139", "delete No",
                               "key Yes", "last", "key No", "delete Yes", "delete Yes", "delete Yes", "delete Yes",
                               "key Yes", "search 139", "type refused", "type"}) {
        script::begin();
        if (step.startsWith("search"))
            script::answerInput(step == "search" ? std::nullopt : std::optional(step.mid(7)));
        script::answerMsgBox(step.endsWith("No") ? tv::dlg::No : tv::dlg::Yes);
        script::answerMsgBox(tv::dlg::Ok);
        if (step == "last") {
            data->moveLast();
        } else if (step.startsWith("key")) {
            grid->setFocus();
            QTest::keyClick(grid, Qt::Key_Delete);
        } else if (step == "type refused") {
            tv::test::execSql(userDb(),
                              "CREATE TRIGGER refuse BEFORE INSERT ON yhzc BEGIN SELECT RAISE(ABORT, "
                              "'文件是只读的'); END;");
            const QModelIndex first = grid->model()->index(grid->model()->rowCount() - 1, 0);
            QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(first).center());
            for (const QString cell : {"陈", "Pw 7", "13512345678"}) {
                for (const QChar ch : cell)
                    QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QString(ch), {});
                QTest::keyClick(QApplication::focusWidget(), cell.startsWith('1') ? Qt::Key_Return : Qt::Key_Tab);
                QCoreApplication::processEvents();  // the cell editor ends by a queued call
            }
        } else if (step == "type") {
            tv::test::execSql(userDb(), "DROP TRIGGER refuse;");
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCoreApplication::processEvents();
        } else if (step != "load") {
            click(users, step.startsWith("search") ? "CMDSEARCH" : "CMDDELETE");
        }
        const tv::Recordset& rs = data->recordset();
        QString line = (QStringList{step} << said()).join(" -> ") + " -> " +
                       (rs.hasCurrent() ? rs.field("yhxm").toText() : "-") + " | " + data->caption() + " | " +
                       tv::test::queryText(userDb(),
                                           "SELECT group_concat(yhxm || '/' || mima || '/' || "
                                           "coalesce(dhhm, ''), ' ') FROM yhzc");
        if (step.startsWith("type")) {
            const int row = grid->currentIndex().row();
            line += " | " + grid->model()->headerData(row, Qt::Vertical).toString();
            for (int column = 0; column < 3; ++column)
                line += ' ' + grid->model()->index(row, column).data().toString();
        }
        lines << line;
    }
    expectGolden(lines, "frame_users.txt");

    tv::state().DataFilePath = folder + "/a.mdb";
    click(users, "CmdExit");
    EXPECT_FALSE(users.isLoaded());
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());
    Main();
    logIn("陈", "Pw 7");
    EXPECT_TRUE(Registry::isLoaded("MDIVamo"));
}

// A password typed over wang's row in the grid while another program changed
// or deleted the row: Enter stores nothing and says why, and the grid is
// browsing again on the row as the file holds it now (the next one, or the new
// last one, when it was deleted), nothing pending, the buttons on; a password
// typed then is stored. Its line: the dialogs | the current row's name, the
// row selector's mark | the accounts in the file.
TEST_F(UserMaintenanceTest, APasswordTypedOverARowAnotherProgramChangedEndsInBrowsingOnTheRowAsItIsNow) {
    const struct {
        int row;
        const char *other, *after;
    } cases[] = {
        {2, "UPDATE yhzc SET dhhm = '138' WHERE yhxm = 'wang'",
         "提示！|该记录已被其他程序修改或删除，数据没有改变。|64 | wang ▶ 111 | admin/472619 li/a1 wang/b2 zhao/c3"},
        {2, "DELETE FROM yhzc WHERE yhxm = 'wang'",
         "提示！|该记录已被其他程序修改或删除，数据没有改变。|64 | zhao ▶ 111 | admin/472619 li/a1 zhao/c3"},
        {3, "DELETE FROM yhzc WHERE yhxm = 'zhao'",
         "提示！|该记录已被其他程序修改或删除，数据没有改变。|64 | wang ▶ 111 | admin/472619 li/a1 wang/b2"},
        // no other program: stored
        {2, "", " | wang ▶ 111 | admin/472619 li/a1 wang/x zhao/c3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.other);
        FrmMmWh& users = open(
            "DELETE FROM yhzc WHERE yhxm <> 'admin'; INSERT INTO yhzc VALUES ('li', 'a1', '139'), ('wang', 'b2', "
            "'137'), ('zhao', 'c3', '139');");
        auto* data = find<tv::forms::DataControl>(users, "Data1");
        auto* grid = find<tv::forms::DataGrid>(users, "DBGrid1");
        // wang's password: the row clicked, the cell typed over
        const QModelIndex cell = grid->model()->index(c.row, 1);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        QTest::sendKeyEvent(QTest::Click, QApplication::focusWidget(), Qt::Key_unknown, QStringLiteral("x"), {});
        if (*c.other)
            tv::test::execSql(userDb(), QString::fromUtf8(c.other));
        script::answerMsgBox(tv::dlg::Ok);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QCoreApplication::processEvents();  // the cell editor ends Enter by a queued call
        const tv::Recordset& rs = data->recordset();
        const int row = grid->currentIndex().row();
        QString on;
        for (const char* b : {"CMDDELETE", "CMDSEARCH", "CmdExit"})
            on += find<QPushButton>(users, b)->isEnabled() ? '1' : '0';
        EXPECT_EQ((said().join(';') + " | " + (rs.hasCurrent() ? rs.field("yhxm").toText() : "-") + ' ' +
                   grid->model()->headerData(row, Qt::Vertical).toString() + ' ' + on + " | " +
                   tv::test::queryText(userDb(), "SELECT group_concat(yhxm || '/' || mima, ' ') FROM yhzc"))
                      .toStdString(),
                  c.after);
        users.unload();
    }
}

// Whoever is left must be able to log in: a name or password emptied in the
// grid (the cell cut, Enter) or a row deleted is refused while no other
// account could log in (a missing name or password matches nothing), and the
// file keeps the accounts; with another account that logs in it is stored.
// Its line: the dialogs | the accounts in the file.
TEST_F(UserMaintenanceTest, TheLastAccountThatLogsInKeepsItsNameAndPasswordAndIsNotDeleted) {
    const QString refused = "提示！|至少要保留一个能登录的用户！用户名和密码都不能为空。|64 | ";
    const struct {
        const char *accounts, *step;  // "cut <row> <column>" or "delete <row>"
        QString after;
    } cases[] = {
        {"", "cut 0 0", refused + "admin/472619"},
        {"", "cut 0 1", refused + "admin/472619"},
        {"INSERT INTO yhzc VALUES (NULL, 'x', '1')", "cut 0 1", refused + "admin/472619 -/x"},
        {"INSERT INTO yhzc VALUES ('li', NULL, '1')", "delete 0",
         "提示！|至少要保留一个能登录的用户！|64 | admin/472619 li/-"},
        // another account logs in
        {"INSERT INTO yhzc VALUES ('li', 'a1', '1')", "cut 0 0", " | -/472619 li/a1"},
        {"INSERT INTO yhzc VALUES ('li', 'a1', '1')", "delete 0", "删除记录|您真的要删除这个记录吗?|68 | li/a1"},
        {"INSERT INTO yhzc VALUES (NULL, 'x', '1')", "cut 1 1", " | admin/472619 -/-"},
        {"INSERT INTO yhzc VALUES ('li', NULL, '1')", "delete 1",
         "删除记录|您真的要删除这个记录吗?|68;提示！|已到尾记录！|0 | admin/472619"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(QString("%1 / %2").arg(c.accounts, c.step).toStdString());
        FrmMmWh& users = open(c.accounts);
        auto* grid = find<tv::forms::DataGrid>(users, "DBGrid1");
        const QStringList step = QString(c.step).split(' ');
        const QModelIndex cell = grid->model()->index(step[1].toInt(), step.size() > 2 ? step[2].toInt() : 0);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        script::begin();
        script::answerMsgBox(tv::dlg::Yes);
        script::answerMsgBox(tv::dlg::Ok);
        if (step[0] == "cut") {
            QTest::keyClick(grid, Qt::Key_X, Qt::ControlModifier);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            QCoreApplication::processEvents();  // the cell editor ends Enter by a queued call
        } else {
            click(users, "CMDDELETE");
        }
        EXPECT_EQ((said().join(';') + " | " +
                   tv::test::queryText(userDb(),
                                       "SELECT group_concat(coalesce(yhxm, '-') || '/' || "
                                       "coalesce(mima, '-'), ' ') FROM yhzc"))
                      .toStdString(),
                  c.after.toStdString());
        script::begin();
        script::answerMsgBox(tv::dlg::Yes);  // a row still pending is dropped
        users.unload();
        script::begin();
        tv::test::execSql(userDb(), "DELETE FROM yhzc; INSERT INTO yhzc VALUES ('admin', '472619', '138')");
    }
}

}  // namespace
}  // namespace tv::frame::test
