// The login window driven through its controls: exact matching, the count of
// attempts, recovery by telephone number, the eye, Enter, cancel, and a user
// database that cannot be opened.
#include "FrameFixture.h"

#include "frame/FrmXTMM.h"

#include <QPushButton>
#include <QStyle>
#include <QTest>

namespace tv::frame::test {
namespace {

class LoginTest : public FrameTest {
protected:
    FrmXTMM* login = nullptr;

    void open(const QString& moreRows = QString()) {
        if (!moreRows.isEmpty())
            tv::test::execSql(userDb(), moreRows);
        Main();
        login = &tv::forms::the<FrmXTMM>();
        ASSERT_TRUE(login->isLoaded());
    }
    QLineEdit* box(const char* name) { return login->control<QLineEdit>(QString::fromLatin1(name)); }
    QPushButton* button(const char* name) { return login->control<QPushButton>(QString::fromLatin1(name)); }
    bool shown(const char* name) {
        return login->control<QWidget>(QString::fromLatin1(name))->isVisibleTo(login->widget());
    }
    // A failed attempt shows a message: `fails` queues its OK.
    void attempt(const QString& user, const QString& password, bool fails = true) {
        if (fails)
            script::answerMsgBox(tv::dlg::Ok);
        box("TxtYhm")->setText(user);
        box("TxtMM")->setText(password);
        QTest::mouseClick(button("CmdYs"), Qt::LeftButton);
    }
    // Recovery with `phone` typed: the message it shows.
    QString recover(const QString& phone) {
        box("TxtDhhm")->setText(phone);
        script::answerMsgBox(tv::dlg::Ok);
        QTest::mouseClick(button("CmdZhmm"), Qt::LeftButton);
        const auto said = messages();
        return said.size() == 1 ? said[0] : QStringLiteral("%1 messages").arg(said.size());
    }
    static QString failure(int left) {
        return QStringLiteral("提示！|用户名或密码不正确！您还可以尝试%1次！|64").arg(left);
    }
    // "normal" or "recovery" when every control of the two modes agrees.
    QString mode() {
        const bool r = button("CmdZhmm")->isEnabled();
        const bool agree = button("CmdYs")->isEnabled() != r && box("TxtYhm")->isEnabled() != r &&
                           box("TxtMM")->isEnabled() != r && shown("TxtDhhm") == r && shown("Label3") == r;
        return !agree ? QStringLiteral("mixed") : r ? QStringLiteral("recovery") : QStringLiteral("normal");
    }
};

TEST_F(LoginTest, MatchesExactlyCountsDownAndSwitchesToRecoveryAtTheFifthFailure) {
    open(
        QStringLiteral("INSERT INTO yhzc VALUES (NULL, 'x', '1'); INSERT INTO yhzc VALUES ('nopw', NULL, '2');"
                       "INSERT INTO yhzc VALUES ('', '', '3');"));
    EXPECT_EQ(mode(), "normal");
    EXPECT_FALSE(shown("ImgYj"));
    EXPECT_EQ(box("TxtMM")->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr, box("TxtMM")), int('*'));
    attempt(QStringLiteral("ADMIN"), QStringLiteral("472619"));   // letter case counts
    attempt(QStringLiteral("admin "), QStringLiteral("472619"));  // so does a trailing space
    attempt(QString(), QStringLiteral("x"));                      // a Null name never matches
    attempt(QStringLiteral("nopw"), QString());                   // nor a Null password
    EXPECT_EQ(messages(), (std::vector<QString>{failure(4), failure(3), failure(2), failure(1)}));
    EXPECT_EQ(mode(), "normal");

    attempt(QStringLiteral("admin"), QStringLiteral("47261"));
    EXPECT_EQ(messages(), std::vector<QString>{failure(0)});
    EXPECT_EQ(mode(), "recovery");
    EXPECT_EQ(box("TxtYhm")->text(), QStringLiteral("admin"));  // the typed texts stay
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("MDIVamo")));
}

TEST_F(LoginTest, RecoveryByPhoneFillsTheBoxesShowsTheEyeStartsCountingAgainAndLogsIn) {
    open(
        QStringLiteral("INSERT INTO yhzc VALUES ('li', 'Secret9', '13911112222');"
                       "INSERT INTO yhzc VALUES ('wang', 'other', '13911112222');"));
    for (int i = 0; i < 5; ++i) attempt(QStringLiteral("li"), QStringLiteral("wrong"));
    messages();
    EXPECT_EQ(recover(QString()), QStringLiteral("提示|电话号码不能为空！|64"));
    EXPECT_EQ(recover(QStringLiteral("13900000000")), QStringLiteral("提示！|电话号码不正确,请与管理员联系！|64"));
    EXPECT_EQ(mode(), "recovery");

    EXPECT_EQ(recover(QStringLiteral("13911112222")), QStringLiteral("提示！|您的密码已经找回 ！|64"));
    EXPECT_EQ(mode(), "normal");
    EXPECT_EQ(box("TxtYhm")->text(), QStringLiteral("li"));  // the first row with that number
    EXPECT_EQ(box("TxtMM")->text(), QStringLiteral("Secret9"));
    EXPECT_EQ(box("TxtMM")->echoMode(), QLineEdit::Password);
    ASSERT_TRUE(shown("ImgYj"));
    QTest::mouseClick(login->control<QLabel>(QStringLiteral("ImgYj")), Qt::LeftButton);
    EXPECT_EQ(box("TxtMM")->echoMode(), QLineEdit::Normal);

    // A failure now counts from the start again: never a negative number.
    attempt(QStringLiteral("li"), QStringLiteral("nope"));
    EXPECT_EQ(messages(), std::vector<QString>{failure(4)});
    EXPECT_EQ(mode(), "normal");

    attempt(QStringLiteral("li"), QStringLiteral("Secret9"), false);
    ASSERT_TRUE(Registry::isLoaded(QStringLiteral("MDIVamo")));
    EXPECT_TRUE(Registry::loaded(QStringLiteral("MDIVamo"))->widget()->isVisible());
    EXPECT_FALSE(login->isLoaded());
    EXPECT_EQ(tv::state().CurrentUser, QStringLiteral("li"));
    EXPECT_EQ(tv::state().CurrentPassword, QStringLiteral("Secret9"));
}

TEST_F(LoginTest, AnEmptyUserTableFindsNothingWithoutFailing) {
    open(QStringLiteral("DELETE FROM yhzc;"));
    for (int i = 0; i < 5; ++i) attempt(QStringLiteral("admin"), QStringLiteral("472619"));
    EXPECT_EQ(messages().front(), failure(4));
    EXPECT_EQ(recover(QStringLiteral("13800000000")), QStringLiteral("提示！|电话号码不正确,请与管理员联系！|64"));
    EXPECT_EQ(mode(), "recovery");
}

TEST_F(LoginTest, EnterMovesBetweenTheBoxesEscDoesNothingAndCancelEndsWritingNothing) {
    const QByteArray before = bytesOf(userDb());
    open();
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

    attempt(QStringLiteral("admin"), QStringLiteral("bad"));
    QTest::mouseClick(button("CmdExit"), Qt::LeftButton);
    EXPECT_FALSE(login->isLoaded());
    EXPECT_EQ(ended, std::vector<int>{0});
    tv::Database::releaseUnused();
    EXPECT_EQ(bytesOf(userDb()), before);
}

TEST_F(LoginTest, AUserDatabaseThatIsMissingHasNoUserTableOrIsNoDatabaseIsToldAndEndsTheProgram) {
    const char* cases[] = {"missing", "without the user table", "not a database"};
    for (int c = 0; c < 3; ++c) {
        SCOPED_TRACE(cases[c]);
        Registry::clear();
        tv::Database::releaseUnused();
        ended.clear();
        QFile::remove(userDb());
        if (c == 1)
            tv::test::makeDataFile(userDb());
        if (QFile f(userDb()); c == 2 && f.open(QIODevice::WriteOnly))
            f.write("[settings]\nkey=value\n");
        const bool existed = QFile::exists(userDb());
        script::answerMsgBox(tv::dlg::Ok);
        Main();
        const auto said = messages();
        ASSERT_EQ(said.size(), 1u);
        EXPECT_TRUE(said[0].startsWith(QStringLiteral("提示！|")) && said[0].contains(userDb()))
            << said[0].toStdString();
        EXPECT_EQ(ended, std::vector<int>{1});
        EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmXTMM")));
        EXPECT_EQ(QFile::exists(userDb()), existed);  // never made at run time
    }
}

}  // namespace
}  // namespace tv::frame::test
