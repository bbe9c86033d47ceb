#include "platform/dialogs/Dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>

using namespace tv::dlg;

namespace {

// Every test runs scripted; a dialog nobody answered fails the test.
class Scripted : public ::testing::Test {
protected:
    void SetUp() override {
        script::begin();
        script::setUnexpectedHandler([this](const Call& c) {
            ++unexpectedSeen;
            if (!expectUnexpected)
                ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString();
        });
    }
    void TearDown() override {
        script::setUnexpectedHandler(savedHandler);
        script::end();
        QDir::setCurrent(savedCwd);
    }
    std::function<void(const Call&)> savedHandler = script::unexpectedHandler();
    bool expectUnexpected = false;
    int unexpectedSeen = 0;
    QString savedCwd = QDir::currentPath();
};

QStringList buttonTexts(QMessageBox* box) {
    QStringList out;
    for (QAbstractButton* b : box->buttons()) out << b->text();
    out.sort();
    return out;
}

// Runs `act` on the modal dialog as soon as it waits.
template <class D>
void whenShown(std::function<void(D*)> act) {
    QTimer::singleShot(0, [act] {
        auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
        ASSERT_NE(d, nullptr);
        act(d);
    });
}

// The real dialogs wait; the test main's handler (which keeps every dialog
// from waiting) is set aside meanwhile.
class RealDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        saved = script::unexpectedHandler();
        script::setUnexpectedHandler(nullptr);
        script::end();
    }
    void TearDown() override { script::setUnexpectedHandler(saved); }
    std::function<void(const Call&)> saved;
};

}  // namespace

TEST_F(Scripted, AnswersAreTakenInOrderAndEveryCallIsRecorded) {
    script::answerMsgBox(Yes);
    script::answerInput(QStringLiteral("2"));
    script::answerInput(std::nullopt);
    script::answerMsgBox(No);
    EXPECT_EQ(script::pending(), 4);

    EXPECT_EQ(msgBox(QStringLiteral("您真的要删除这个记录吗?"), 68, QStringLiteral("删除记录")), Yes);
    EXPECT_EQ(inputBox(QStringLiteral("请输入："), QStringLiteral("输入提示"), QStringLiteral("2")),
              std::optional<QString>(QStringLiteral("2")));
    EXPECT_EQ(inputBox(QStringLiteral("请输入电话号码：")), std::nullopt);
    EXPECT_EQ(msgBox(QStringLiteral("再问"), 4), No);
    EXPECT_EQ(script::pending(), 0);

    const auto& c = script::calls();
    ASSERT_EQ(c.size(), 4u);
    EXPECT_EQ(c[0].kind, "msgBox");
    EXPECT_EQ(c[0].text, QStringLiteral("您真的要删除这个记录吗?"));
    EXPECT_EQ(c[0].title, QStringLiteral("删除记录"));
    EXPECT_EQ(c[0].style, 68);
    EXPECT_EQ(c[1].kind, "inputBox");
    EXPECT_EQ(c[1].title, QStringLiteral("输入提示"));
    EXPECT_EQ(c[1].extra, "2");
    EXPECT_EQ(c[2].text, QStringLiteral("请输入电话号码："));
    EXPECT_EQ(script::unexpected(), 0);
    script::clearCalls();
    EXPECT_TRUE(script::calls().empty());
}

TEST_F(Scripted, AnUnansweredDialogIsReportedAtOnceAndGetsTheHarmlessAnswer) {
    expectUnexpected = true;
    EXPECT_EQ(msgBox(QStringLiteral("a"), 0), Ok);
    EXPECT_EQ(unexpectedSeen, 1);  // reported during the call, not at the end
    EXPECT_EQ(msgBox(QStringLiteral("b"), 68), No);
    EXPECT_EQ(msgBox(QStringLiteral("c"), 1), Cancel);
    EXPECT_EQ(msgBox(QStringLiteral("d"), 3), Cancel);
    EXPECT_EQ(inputBox(QStringLiteral("e")), std::nullopt);
    EXPECT_EQ(openFile(QStringLiteral("f"), QString()), QString());
    // An answer of another kind is not taken by the wrong dialog.
    script::answerInput(QStringLiteral("x"));
    EXPECT_EQ(msgBox(QStringLiteral("g"), 4), No);
    EXPECT_EQ(script::pending(), 1);
    EXPECT_EQ(script::unexpected(), 7);
    EXPECT_EQ(unexpectedSeen, 7);
    EXPECT_EQ(script::calls().size(), 7u);
}

TEST_F(Scripted, AChosenFileMovesTheCurrentFolderACancelDoesNot) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("数据"));
    const QString file = dir.path() + QStringLiteral("/数据/a.mdb");
    script::answerFile(file);
    script::answerFile(QString());
    EXPECT_EQ(openFile(QStringLiteral("打开"), QStringLiteral("数据库 (*.mdb)|*.mdb")), file);
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path() + QStringLiteral("/数据")).canonicalPath());
    EXPECT_EQ(script::calls()[0].extra, QStringLiteral("数据库 (*.mdb)|*.mdb"));
    EXPECT_EQ(openFile(QStringLiteral("打开"), QString()), QString());
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path() + QStringLiteral("/数据")).canonicalPath());
}

TEST(DialogLook, MessageBoxButtonsAndIconsFollowTheStyle) {
    struct Case { int style; QStringList texts; QMessageBox::Icon icon; };
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
        QStringList want = c.texts;
        want.sort();
        EXPECT_EQ(buttonTexts(box.get()), want) << c.style;
        EXPECT_EQ(box->icon(), c.icon) << c.style;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("提示！"));
        EXPECT_EQ(box->text(), QStringLiteral("文字"));
    }
}

TEST(DialogLook, OldFiltersBecomeQtNameFilters) {
    EXPECT_EQ(qtNameFilters(QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*")),
              (QStringList{QStringLiteral("数据库文件 (*.mdb) (*.mdb)"), QStringLiteral("所有文件 (*.*) (*)")}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("表格|*.xls;*.xlsx")), QStringList{QStringLiteral("表格 (*.xls *.xlsx)")});
    EXPECT_TRUE(qtNameFilters(QString()).isEmpty());
}

// The real dialogs, answered by a "user" once they wait.
TEST_F(RealDialogs, MessageBoxReturnsTheButtonPressed) {
    ASSERT_FALSE(script::active());
    whenShown<QMessageBox>([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("否(&N)")) b->click();
    });
    EXPECT_EQ(msgBox(QStringLiteral("删除？"), 68, QStringLiteral("删除记录")), No);
}

TEST_F(RealDialogs, InputBoxGivesTheTextOrNothingOnCancel) {
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

TEST_F(RealDialogs, OpenFileListsFilesWithoutADotUnderAllFilesAndMovesTheCurrentFolder) {
    const QString saved = QDir::currentPath();
    QTemporaryDir dir;
    for (const char* n : {"a.mdb", "noext", "b.txt"}) {
        QFile f(dir.path() + "/" + n);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_TRUE(d->testOption(QFileDialog::DontUseNativeDialog));
        ASSERT_EQ(d->nameFilters().size(), 2);
        // "*.*" must match the file without a dot.
        d->selectNameFilter(d->nameFilters()[1]);
        const QString all = d->nameFilters()[1];
        const QString pattern = all.mid(all.lastIndexOf('(') + 1).chopped(1);
        EXPECT_TRUE(QDir::match(pattern.split(' '), QStringLiteral("noext")));
        d->selectFile(dir.path() + QStringLiteral("/noext"));
        QMetaObject::invokeMethod(d, "accept");
    });
    const QString got = openFile(QStringLiteral("打开文件"), QStringLiteral("数据库 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"),
                                 dir.path());
    EXPECT_EQ(got, dir.path() + QStringLiteral("/noext"));
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
    QDir::setCurrent(saved);
}
