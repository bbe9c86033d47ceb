#include "platform/dialogs/Dialogs.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

using namespace tv::dlg;

namespace {

// Scripted or real, each test leaves the test main's unexpected-dialog handler
// and the current folder as it found them.
class Dialogs : public ::testing::Test {
protected:
    void TearDown() override {
        script::setUnexpectedHandler(savedHandler);
        script::end();
        QDir::setCurrent(savedCwd);
    }
    // Scripted: an unanswered dialog is counted, and fails the test unless expected.
    void scripted(bool expectUnexpected = false) {
        script::begin();
        script::setUnexpectedHandler([this, expectUnexpected](const Call& c) {
            ++unexpectedSeen;
            if (!expectUnexpected)
                ADD_FAILURE() << "unexpected " << c.kind.toStdString();
        });
    }
    // Real: the dialogs wait, and `act` answers the one shown as soon as it does.
    template <class D>
    void whenShown(std::function<void(D*)> act) {
        script::setUnexpectedHandler(nullptr);
        script::end();
        QTimer::singleShot(0, [act] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            act(d);
        });
    }
    std::function<void(const Call&)> savedHandler = script::unexpectedHandler();
    QString savedCwd = QDir::currentPath();
    int unexpectedSeen = 0;
};

}  // namespace

TEST_F(Dialogs, ScriptedAnswersAreTakenInOrderEveryCallIsRecordedAChosenFileMovesTheCurrentFolder) {
    scripted();
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("数据"));
    const QString file = dir.path() + QStringLiteral("/数据/a.mdb");
    const QString folder = QDir(dir.path() + QStringLiteral("/数据")).canonicalPath();
    script::answerMsgBox(Yes);
    script::answerInput(QStringLiteral("2"));
    script::answerInput(std::nullopt);
    script::answerFile(file);
    script::answerFile(QString());
    EXPECT_EQ(msgBox(QStringLiteral("您真的要删除这个记录吗?"), 68, QStringLiteral("删除记录")), Yes);
    EXPECT_EQ(inputBox(QStringLiteral("请输入："), QStringLiteral("输入提示"), QStringLiteral("2")),
              std::optional<QString>(QStringLiteral("2")));
    EXPECT_EQ(inputBox(QStringLiteral("请输入电话号码：")), std::nullopt);
    EXPECT_EQ(openFile(QStringLiteral("打开"), QStringLiteral("数据库 (*.mdb)|*.mdb")), file);
    EXPECT_EQ(QDir::current().canonicalPath(), folder);
    EXPECT_EQ(openFile(QStringLiteral("打开"), QString()), QString());  // a cancel does not move it
    EXPECT_EQ(QDir::current().canonicalPath(), folder);
    EXPECT_EQ(script::pending(), 0);
    const auto& c = script::calls();
    ASSERT_EQ(c.size(), 5u);
    EXPECT_EQ(QStringList({c[0].kind, c[0].text, c[0].title, QString::number(c[0].style)}),
              QStringList({"msgBox", QStringLiteral("您真的要删除这个记录吗?"), QStringLiteral("删除记录"), "68"}));
    EXPECT_EQ(QStringList({c[1].kind, c[1].title, c[1].extra}),
              QStringList({"inputBox", QStringLiteral("输入提示"), "2"}));
    script::clearCalls();
    EXPECT_TRUE(script::calls().empty());
}

TEST_F(Dialogs, AnUnansweredDialogIsReportedAtOnceAndGetsTheHarmlessAnswer) {
    scripted(true);
    EXPECT_EQ(msgBox(QStringLiteral("a"), 0), Ok);
    EXPECT_EQ(unexpectedSeen, 1);  // reported during the call, not at the end
    EXPECT_EQ(msgBox(QStringLiteral("b"), 68), No);
    EXPECT_EQ(msgBox(QStringLiteral("c"), 3), Cancel);
    EXPECT_EQ(msgBox(QStringLiteral("c"), 1), Cancel);
    EXPECT_EQ(inputBox(QStringLiteral("d")), std::nullopt);
    EXPECT_EQ(openFile(QStringLiteral("e"), QString()), QString());
    script::answerInput(QStringLiteral("x"));  // an answer of another kind is not taken
    EXPECT_EQ(msgBox(QStringLiteral("f"), 4), No);
    EXPECT_EQ(script::pending(), 1);
    EXPECT_EQ(script::unexpected(), 7);
    EXPECT_EQ(unexpectedSeen, 7);
}

TEST(DialogLook, MessageBoxButtonsAndIconsFollowTheStyleAndOldFiltersBecomeQtOnes) {
    struct Case {
        int style;
        QStringList texts;
        QMessageBox::Icon icon;
    };
    const std::vector<Case> cases = {
        {0, {"确定"}, QMessageBox::NoIcon},
        {64, {"确定"}, QMessageBox::Information},
        {68, {"否(&N)", "是(&Y)"}, QMessageBox::Information},
        {1, {"取消", "确定"}, QMessageBox::NoIcon},
        {2 + 16, {"忽略(&I)", "终止(&A)", "重试(&R)"}, QMessageBox::Critical},
        {3 + 32, {"取消", "否(&N)", "是(&Y)"}, QMessageBox::Question},
        {5 + 48, {"取消", "重试(&R)"}, QMessageBox::Warning},
    };
    for (const auto& c : cases) {
        std::unique_ptr<QMessageBox> box(makeMessageBox(QStringLiteral("文字"), c.style, QStringLiteral("提示！")));
        QStringList got, want = c.texts;
        for (QAbstractButton* b : box->buttons()) got << b->text();
        got.sort();
        want.sort();
        EXPECT_EQ(got, want) << c.style;
        EXPECT_EQ(box->icon(), c.icon) << c.style;
        EXPECT_EQ(box->windowTitle() + box->text(), QStringLiteral("提示！文字"));
    }
    EXPECT_EQ(qtNameFilters(QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*")),
              (QStringList{QStringLiteral("数据库文件 (*.mdb) (*.mdb)"), QStringLiteral("所有文件 (*.*) (*)")}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("表格|*.xls;*.xlsx")), QStringList{QStringLiteral("表格 (*.xls *.xlsx)")});
}

// The real dialogs, answered by a "user" once they wait.
TEST_F(Dialogs, RealMessageAndInputBoxesReturnWhatTheUserDid) {
    whenShown<QMessageBox>([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("否(&N)"))
                b->click();
    });
    EXPECT_EQ(msgBox(QStringLiteral("删除？"), 68, QStringLiteral("删除记录")), No);
    whenShown<QInputDialog>([](QInputDialog* d) {
        EXPECT_EQ(d->textValue(), "2");
        d->setTextValue(QStringLiteral("王小明"));
        d->accept();
    });
    EXPECT_EQ(inputBox(QStringLiteral("姓名："), QStringLiteral("输入提示"), QStringLiteral("2")),
              std::optional<QString>(QStringLiteral("王小明")));
    whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(inputBox(QStringLiteral("姓名：")), std::nullopt);
}

TEST_F(Dialogs, RealOpenFileListsFilesWithoutADotUnderAllFilesAndMovesTheCurrentFolder) {
    QTemporaryDir dir;
    for (const char* n : {"a.mdb", "noext"}) {
        QFile f(dir.path() + "/" + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        ASSERT_EQ(d->nameFilters().size(), 2);
        const QString all = d->nameFilters()[1];  // "*.*" must match the file without a dot
        d->selectNameFilter(all);
        EXPECT_TRUE(QDir::match(all.mid(all.lastIndexOf('(') + 1).chopped(1).split(' '), QStringLiteral("noext")));
        d->selectFile(dir.path() + QStringLiteral("/noext"));
        QMetaObject::invokeMethod(d, "accept");
    });
    EXPECT_EQ(
        openFile(QStringLiteral("打开文件"), QStringLiteral("数据库 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"), dir.path()),
        dir.path() + QStringLiteral("/noext"));
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
}
