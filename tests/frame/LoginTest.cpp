// The login window driven through its controls: exact matching, the count of
// attempts, recovery by telephone number, the eye, Enter, cancel, and a user
// database that cannot be opened.
#include "FrameFixture.h"

#include "frame/FrmXTMM.h"
#include "frame/MDIVamo.h"

#include <QPushButton>
#include <QStyle>
#include <QTest>

namespace tv::frame::test {
namespace {

class LoginTest : public FrameTest {
protected:
    FrmXTMM* login = nullptr;

    void open() {
        Main();
        login = &tv::forms::the<FrmXTMM>();
        ASSERT_TRUE(login->isLoaded());
    }
    QLineEdit* box(const char* name) { return login->control<QLineEdit>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return login->control<QPushButton>(QString::fromLatin1(name)); }
    // A failed attempt shows a message: `fails` queues its OK.
    void attempt(const QString& user, const QString& password, bool fails = true) {
        if (fails)
            script::answerMsgBox(tv::dlg::Ok);
        box("TxtYhm")->setText(user);
        box("TxtMM")->setText(password);
        QTest::mouseClick(button("CmdYs"), Qt::LeftButton);
    }
    void clickRecover() {
        script::answerMsgBox(tv::dlg::Ok);
        QTest::mouseClick(button("CmdZhmm"), Qt::LeftButton);
    }
    static QString failure(int left) {
        return QStringLiteral("提示！|用户名或密码不正确！您还可以尝试%1次！|64").arg(left);
    }
    bool recoveryMode() {
        return button("CmdZhmm")->isEnabled() && !button("CmdYs")->isEnabled() && !box("TxtYhm")->isEnabled() &&
               !box("TxtMM")->isEnabled() && box("TxtDhhm")->isVisibleTo(login->widget()) &&
               login->control<QLabel>(QStringLiteral("Label3"))->isVisibleTo(login->widget());
    }
};

TEST_F(LoginTest, OpensInNormalModeWithThePicturesAndPaths) {
    open();
    EXPECT_EQ(login->widget()->windowTitle(), QStringLiteral("系统口令"));
    EXPECT_EQ(tv::state().UserDbPath, folder + QStringLiteral("/Rave.ini"));
    EXPECT_EQ(tv::state().PicturePath, folder + QStringLiteral("/BMP/"));
    EXPECT_FALSE(login->control<QLabel>(QStringLiteral("Image1"))->pixmap().isNull());
    EXPECT_FALSE(login->control<QLabel>(QStringLiteral("Image2"))->pixmap().isNull());
    EXPECT_FALSE(button("CmdZhmm")->isEnabled());
    EXPECT_FALSE(box("TxtDhhm")->isVisibleTo(login->widget()));
    EXPECT_FALSE(login->control<QLabel>(QStringLiteral("ImgYj"))->isVisibleTo(login->widget()));
    EXPECT_FALSE(login->control<QWidget>(QStringLiteral("Data1"))->isVisibleTo(login->widget()));
    EXPECT_EQ(box("TxtMM")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box("TxtMM")->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box("TxtMM")),
              int('*'));
    EXPECT_TRUE(messages().empty());
}

TEST_F(LoginTest, MatchesExactlyCountsDownAndSwitchesToRecoveryAtTheFifthFailure) {
    tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES (NULL, 'x', '1');"
                                               "INSERT INTO yhzc VALUES ('nopw', NULL, '2');"
                                               "INSERT INTO yhzc VALUES ('', '', '3');"));
    open();
    attempt(QStringLiteral("ADMIN"), QStringLiteral("472619"));   // letter case counts
    attempt(QStringLiteral("admin "), QStringLiteral("472619"));  // so does a trailing space
    attempt(QString(), QStringLiteral("x"));                     // a Null name never matches
    attempt(QStringLiteral("nopw"), QString());                  // nor a Null password
    EXPECT_EQ(messages(), (std::vector<QString>{failure(4), failure(3), failure(2), failure(1)}));
    EXPECT_FALSE(recoveryMode());
    EXPECT_EQ(login->FailedAttempts, 4);
    EXPECT_EQ(login->MatchFlag, QStringLiteral("NO"));
    EXPECT_EQ(tv::state().CurrentUser, QStringLiteral("nopw"));

    attempt(QStringLiteral("admin"), QStringLiteral("47261"));
    EXPECT_EQ(messages(), std::vector<QString>{failure(0)});
    EXPECT_TRUE(recoveryMode());
    EXPECT_EQ(box("TxtYhm")->text(), QStringLiteral("admin"));  // the typed texts stay
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("MDIVamo")));
}

TEST_F(LoginTest, TwoEmptyBoxesMatchARowOfEmptyTextsAndOpenTheMainWindow) {
    tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES ('', '', '3');"));
    open();
    attempt(QString(), QString(), false);
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
    EXPECT_FALSE(login->isLoaded());
    EXPECT_EQ(login->MatchFlag, QStringLiteral("YE"));
}

TEST_F(LoginTest, CorrectLoginOpensTheMainWindowAndEndsTheLogin) {
    open();
    attempt(QStringLiteral("admin"), QStringLiteral("472619"), false);
    EXPECT_TRUE(messages().empty());
    ASSERT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
    EXPECT_TRUE(Registry::loaded(QStringLiteral("MDIVamo"))->widget()->isVisible());
    EXPECT_FALSE(login->isLoaded());
    EXPECT_EQ(tv::state().CurrentUser, QStringLiteral("admin"));
    EXPECT_EQ(tv::state().CurrentPassword, QStringLiteral("472619"));
    EXPECT_TRUE(ended.empty());
}

TEST_F(LoginTest, RecoveryByPhoneFillsTheBoxesShowsTheEyeAndStartsCountingAgain) {
    tv::test::execSql(userDb(), QStringLiteral("INSERT INTO yhzc VALUES ('li', 'Secret9', '13911112222');"
                                               "INSERT INTO yhzc VALUES ('wang', 'other', '13911112222');"));
    open();
    for (int i = 0; i < 5; ++i)
        attempt(QStringLiteral("li"), QStringLiteral("wrong"));
    messages();
    ASSERT_TRUE(recoveryMode());

    clickRecover();
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("提示|电话号码不能为空！|64")});
    EXPECT_TRUE(recoveryMode());

    box("TxtDhhm")->setText(QStringLiteral("13900000000"));
    clickRecover();
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("提示！|电话号码不正确,请与管理员联系！|64")});
    EXPECT_TRUE(recoveryMode());
    EXPECT_EQ(login->RecoveryPhone, QStringLiteral("13900000000"));

    box("TxtDhhm")->setText(QStringLiteral("13911112222"));
    clickRecover();
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("提示！|您的密码已经找回 ！|64")});
    EXPECT_FALSE(recoveryMode());
    EXPECT_TRUE(button("CmdYs")->isEnabled());
    EXPECT_FALSE(box("TxtDhhm")->isVisibleTo(login->widget()));
    EXPECT_EQ(box("TxtYhm")->text(), QStringLiteral("li"));  // the first row with that number
    EXPECT_EQ(box("TxtMM")->text(), QStringLiteral("Secret9"));
    EXPECT_EQ(box("TxtMM")->echoMode(), QLineEdit::Password);

    auto* eye = login->control<QLabel>(QStringLiteral("ImgYj"));
    ASSERT_TRUE(eye->isVisibleTo(login->widget()));
    EXPECT_EQ(eye->toolTip(), QStringLiteral("查看完整的密码"));
    QTest::mouseClick(eye, Qt::LeftButton);
    EXPECT_EQ(box("TxtMM")->echoMode(), QLineEdit::Normal);

    // A failure now counts from the start again: never a negative number.
    attempt(QStringLiteral("li"), QStringLiteral("nope"));
    EXPECT_EQ(messages(), std::vector<QString>{failure(4)});
    EXPECT_FALSE(recoveryMode());

    attempt(QStringLiteral("li"), QStringLiteral("Secret9"), false);
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
    EXPECT_FALSE(login->isLoaded());
}

TEST_F(LoginTest, AnEmptyUserTableFindsNothingWithoutFailing) {
    tv::test::execSql(userDb(), QStringLiteral("DELETE FROM yhzc;"));
    open();
    attempt(QStringLiteral("admin"), QStringLiteral("472619"));
    EXPECT_EQ(messages(), std::vector<QString>{failure(4)});
    for (int i = 0; i < 4; ++i)
        attempt(QStringLiteral("admin"), QStringLiteral("472619"));
    messages();
    box("TxtDhhm")->setText(QStringLiteral("13800000000"));
    clickRecover();
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("提示！|电话号码不正确,请与管理员联系！|64")});
    EXPECT_TRUE(recoveryMode());
}

TEST_F(LoginTest, EnterMovesBetweenTheTwoBoxesAndNeverLogsIn) {
    open();
    login->show();
    QApplication::setActiveWindow(login->widget());
    box("TxtYhm")->setText(QStringLiteral("admin"));
    box("TxtMM")->setText(QStringLiteral("472619"));
    box("TxtYhm")->setFocus();
    QTest::keyClick(box("TxtYhm"), Qt::Key_Return);
    EXPECT_EQ(login->widget()->focusWidget(), box("TxtMM"));
    QTest::keyClick(box("TxtMM"), Qt::Key_Return);
    EXPECT_EQ(login->widget()->focusWidget(), box("TxtYhm"));
    QTest::keyClick(box("TxtYhm"), Qt::Key_Enter);
    EXPECT_EQ(login->widget()->focusWidget(), box("TxtMM"));
    QTest::keyClick(box("TxtMM"), Qt::Key_Escape);
    EXPECT_TRUE(login->isLoaded());
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("MDIVamo")));
    EXPECT_TRUE(messages().empty());
}

TEST_F(LoginTest, CancelEndsTheProgramAndWritesNothing) {
    const QByteArray before = bytesOf(userDb());
    open();
    login->show();
    attempt(QStringLiteral("admin"), QStringLiteral("bad"));
    messages();
    QTest::mouseClick(button("CmdExit"), Qt::LeftButton);
    EXPECT_FALSE(login->isLoaded());
    EXPECT_EQ(ended, std::vector<int>{0});
    tv::Database::releaseUnused();
    EXPECT_EQ(bytesOf(userDb()), before);
}

TEST_F(LoginTest, AUserDatabaseThatCannotBeOpenedIsToldAndEndsTheProgram) {
    struct Case {
        const char* what;
        std::function<void(const QString&)> make;
    };
    const std::vector<Case> cases = {
        {"missing", [](const QString& p) { QFile::remove(p); }},
        {"no table yhzc", [](const QString& p) { QFile::remove(p); tv::test::makeDataFile(p); }},
        {"not a database", [](const QString& p) {
             QFile f(p);
             f.open(QIODevice::WriteOnly | QIODevice::Truncate);
             f.write("[settings]\nkey=value\n");
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Registry::clear();
        tv::Database::releaseUnused();
        ended.clear();
        c.make(userDb());
        const bool existed = QFile::exists(userDb());
        script::answerMsgBox(tv::dlg::Ok);
        Main();
        const auto shown = messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_TRUE(shown[0].startsWith(QStringLiteral("提示！|"))) << shown[0].toStdString();
        EXPECT_TRUE(shown[0].contains(userDb())) << shown[0].toStdString();
        EXPECT_EQ(ended, std::vector<int>{1});
        EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmXTMM")));
        EXPECT_EQ(QFile::exists(userDb()), existed);  // never made at run time
    }
}

}  // namespace
}  // namespace tv::frame::test
