// The login window driven through its controls: exact matching, the count of
// attempts, recovery by telephone number, the eye, Enter, cancel, and a user
// database that cannot be opened.
#include "FrameFixture.h"

#include "platform/dialogs/Progress.h"

#include <sqlite3.h>
#include <QLabel>
#include <QProgressDialog>

namespace tv::frame::test {
namespace {

class LoginTest : public FrameTest {
protected:
    static FrmXTMM& login() { return tv::forms::the<FrmXTMM>(); }
    // A session of steps on the login window of a user table with these rows.
    // A step "name/password" presses 确认, "eye" clicks the eye, anything else
    // is a phone number for 找回密码. Its line: the messages, the buttons,
    // boxes, label and eye that are both enabled and shown, the texts in the
    // boxes and whether the password is hidden; or who logged in.
    QStringList session(const char* rows, std::initializer_list<QString> steps) {
        tv::test::execSql(userDb(), rows);
        Main();
        QStringList lines;
        for (const QString& step : steps) {
            script::begin();
            script::answerMsgBox(tv::dlg::Ok);
            if (step == "eye")
                QTest::mouseClick(find<QLabel>(login(), "ImgYj"), Qt::LeftButton);
            else if (step.contains('/'))
                logIn(step.section('/', 0, 0), step.section('/', 1));
            else
                find<QLineEdit>(login(), "TxtDhhm")->setText(step), click(login(), "CmdZhmm");
            QString line = (QStringList{step} << said()).join(" -> ") + " ->";
            if (!login().isLoaded()) {
                lines << line + " logged in as " + tv::state().CurrentUser + '/' + tv::state().CurrentPassword + ", " +
                             (Registry::loaded("MDIVamo")->widget()->isVisible() ? "main window shown" : "?");
                break;
            }
            for (const char* name : {"CmdYs", "TxtYhm", "TxtMM", "CmdZhmm", "TxtDhhm", "Label3", "ImgYj"})
                line += find(login(), name)->isEnabled() && find(login(), name)->isVisible() ? QString(" ") + name : "";
            auto* password = find<QLineEdit>(login(), "TxtMM");
            lines << line + " | " + find<QLineEdit>(login(), "TxtYhm")->text() + '/' + password->text() +
                         (password->echoMode() == QLineEdit::Password ? " hidden" : " shown");
        }
        return lines;
    }
};

// Then on an empty user table: nothing matches, nothing fails.
TEST_F(LoginTest, MatchesExactlyCountsDownRecoversByPhoneAndLogsIn) {
    QStringList lines = session(
        "INSERT INTO yhzc VALUES (NULL, 'x', '1'); INSERT INTO yhzc VALUES ('nopw', NULL, '2');"
        "INSERT INTO yhzc VALUES ('li', 'Secret9', '139'); INSERT INTO yhzc VALUES ('wang', 'o', '139');",
        {"ADMIN/472619", "admin /472619", "/x", "nopw/", "admin/' OR '1'='1", "", "13900000000", "139", "eye",
         "li/nope", "li/Secret9"});
    const QString admin = "admin/472619";
    lines += session("DELETE FROM yhzc;", {admin, admin, admin, admin, admin, "13800000000"});
    expectGolden(lines, "frame_login.txt");
}

// The login window's unload leaves the main window's first panel as the
// main window wrote it: the working path, the program folder.
TEST_F(LoginTest, AfterTheLoginTheWorkingPathIsTheProgramFolder) {
    EXPECT_EQ(session("", {"admin/472619"}).join(""), "admin/472619 -> logged in as admin/472619, main window shown");
    EXPECT_EQ(tv::forms::statusPanel(tv::forms::Panel::WorkPath), "工作路径：" + tv::shell::programFolder());
}

TEST_F(LoginTest, EnterMovesBetweenTheBoxesWithoutLoggingInAndPressesCancelWhichEndsWritingNothing) {
    const QByteArray before = bytesOf(userDb());
    session("", {"admin/bad"});
    QApplication::setActiveWindow(login().widget());
    find<QLineEdit>(login(), "TxtMM")->setText("472619");
    find(login(), "TxtYhm")->setFocus();
    for (auto [key, to] : {std::pair{Qt::Key_Return, "TxtMM"}, {Qt::Key_Return, "TxtYhm"}, {Qt::Key_Enter, "TxtMM"}}) {
        QTest::keyClick(login().widget()->focusWidget(), key);
        EXPECT_EQ(login().widget()->focusWidget()->objectName(), to);
    }
    EXPECT_FALSE(Registry::isLoaded("MDIVamo"));

    find(login(), "CmdExit")->setFocus();
    QTest::keyClick(find(login(), "CmdExit"), Qt::Key_Return);  // Enter on a button presses it
    EXPECT_FALSE(login().isLoaded());
    EXPECT_EQ(ended, std::vector<int>{0});
    EXPECT_EQ(bytesOf(userDb()), before);
}

// Each is told once, at the start, and the program ends; the file is never
// made or changed at run time.
TEST_F(LoginTest, AUserDatabaseWithoutAUsableUserTableIsToldOnceAndEndsTheProgram) {
    QStringList lines;
    for (const char* broken : {"missing", "without the user table", "not a database", "yhzc(yhxm, dhhm)", "yhzc(mima)",
                               "yhzc(yhxm, mima, dhhm, bz)"}) {
        Registry::clear();
        tv::Database::releaseUnused();
        QFile::remove(userDb());
        if (broken[0] == 'w' || broken[0] == 'y')
            tv::test::makeDataFile(userDb());
        if (broken[0] == 'y')
            tv::test::execSql(userDb(),
                              QStringLiteral("CREATE TABLE %1; INSERT INTO yhzc DEFAULT VALUES;").arg(broken));
        if (QFile f(userDb()); broken[0] == 'n' && f.open(QIODevice::WriteOnly))
            f.write("[settings]\nkey=value\n");
        const QByteArray bytes = bytesOf(userDb());
        script::answerMsgBox(tv::dlg::Ok);
        Main();
        lines << (QStringList{broken} << said() << outcome()).join(" -> ").replace('\n', ' ');
        EXPECT_EQ(bytesOf(userDb()), bytes);
    }
    expectGolden(lines, "frame_user_db.txt");
}

// Another program holds Rave.ini locked when the login or 密码维护 opens it:
// the wait is told at once (the dialog shows at the first try, before the
// second a progress dialog waits for), and the window opens whole once the
// file is free, or, 取消 pressed, says the file is in use and does not open.
TEST_F(LoginTest, ALockedUserDatabaseIsToldAtOnceAndTheWindowOpensWholeOnceFreeOrNotAtAll) {
    tv::test::execSql(userDb(), "INSERT INTO yhzc VALUES ('li', 'a1', '139');");
    tv::state().UserDbPath = userDb();
    const QString told = "请稍候: “Rave.ini”正被其他程序使用，正在等待它……/（在 $DIR）/按“取消”不再等待。";
    const struct {
        const char* window;
        bool freed;  // the other program lets go while it is waited for; else 取消
        QString outcome;
    } rows[] = {
        {"FrmXTMM", true, "admin logged in"},
        {"FrmXTMM", false,
         "提示！|用户数据库打不开，程序不能继续运行。/$DIR/Rave.ini/数据文件正被其他程序使用，请稍后再试。|64 -> not "
         "opened -> "
         "end 1"},
        {"FrmMmWh", true, "用户注册 (#Record：1 / 2)"},
        {"FrmMmWh", false,
         "提示！|无法打开用户数据库：$DIR/Rave.ini/数据文件正被其他程序使用，请稍后再试。|64 -> not opened"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.window) + (row.freed ? " freed" : " cancelled"));
        Registry::clear();
        tv::Database::releaseUnused();
        sqlite3* other = nullptr;
        ASSERT_EQ(sqlite3_open(QFile::encodeName(userDb()).constData(), &other), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE; UPDATE yhzc SET dhhm = dhhm;", nullptr, nullptr, nullptr),
                  SQLITE_OK);
        QString seen;
        tv::dlg::progress::setWatcher([&](QProgressDialog& d) {
            if (!seen.isEmpty())
                return;
            seen = d.windowTitle() + ": " + d.labelText();
            if (row.freed)
                sqlite3_exec(other, "ROLLBACK;", nullptr, nullptr, nullptr);
            else
                QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton);
        });
        if (!row.freed)
            script::answerMsgBox(tv::dlg::Ok);
        if (QLatin1String(row.window) == FrmXTMM::kName)
            Main();
        else
            tv::forms::the<FrmMmWh>().show();
        tv::dlg::progress::setWatcher(nullptr);
        sqlite3_close(other);
        EXPECT_EQ(QString(seen).replace('\n', '/').replace(folder, "$DIR"), told);

        // What was said, then the window opened whole (a login, the accounts counted) or not.
        QStringList outcome = said();
        Form* window = Registry::loaded(row.window);
        if (!window) {
            outcome << "not opened";
        } else if (QLatin1String(row.window) == FrmXTMM::kName) {
            logIn("admin", "472619");
            outcome << (Registry::isLoaded("MDIVamo") ? "admin logged in" : "no login");
        } else {
            outcome << find<tv::forms::DataControl>(*window, "Data1")->caption();
        }
        for (int code : std::exchange(ended, {})) outcome << QStringLiteral("end %1").arg(code);
        EXPECT_EQ(outcome.join(" -> ").replace('\n', '/').replace(folder, "$DIR"), row.outcome);
    }
}

}  // namespace
}  // namespace tv::frame::test
