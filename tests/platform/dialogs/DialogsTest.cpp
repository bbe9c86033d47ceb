#include "platform/dialogs/Dialogs.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
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
    // Real (after script::setUnexpectedHandler(nullptr), the dialogs wait):
    // `act` answers the one shown as soon as it does.
    template <class D>
    static void whenShown(std::function<void(D*)> act) {
        QTimer::singleShot(0, [act] {
            auto* d = qobject_cast<D*>(QApplication::activeModalWidget());
            ASSERT_NE(d, nullptr);
            act(d);
        });
    }
    std::function<void(const Call&)> savedHandler = script::unexpectedHandler();
    QString savedCwd = QDir::currentPath();
};

}  // namespace

TEST_F(Dialogs, ScriptedAnswersAreTakenInOrderEveryCallIsRecordedAnUnansweredOneGetsTheHarmlessAnswer) {
    script::begin();
    int seen = 0;
    script::setUnexpectedHandler([&](const Call&) { ++seen; });
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("数据.mdb"));
    script::answerMsgBox(Yes);
    script::answerInput(QStringLiteral("2"));
    script::answerInput(std::nullopt);
    script::answerFile(file);
    script::answerFile(QString());
    EXPECT_EQ(msgBox(QStringLiteral("删除吗?"), YesNo | Info, QStringLiteral("删除记录")), Yes);
    EXPECT_EQ(inputBox(QStringLiteral("请输入："), QStringLiteral("输入提示"), QStringLiteral("1")),
              std::optional<QString>(QStringLiteral("2")));
    EXPECT_EQ(inputBox(QStringLiteral("电话：")), std::nullopt);
    EXPECT_EQ(openFile(QStringLiteral("打开"), QStringLiteral("数据库 (*.mdb)|*.mdb")), file);
    EXPECT_EQ(openFile(QStringLiteral("打开"), QString()), QString());             // a cancel does not move it
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());  // the chosen file did
    EXPECT_EQ(seen + script::pending(), 0);
    QStringList calls;
    for (const Call& c : script::calls())
        calls << QStringList({c.kind, c.text, c.title, QString::number(c.style), c.extra}).join('|');
    EXPECT_EQ(calls,
              QStringList({QStringLiteral("msgBox|删除吗?|删除记录|68|"),
                           QStringLiteral("inputBox|请输入：|输入提示|0|1"), QStringLiteral("inputBox|电话：||0|"),
                           QStringLiteral("openFile|打开||0|数据库 (*.mdb)|*.mdb"), "openFile|打开||0|"}));

    // Unanswered: reported at once, during the call, and given the harmless answer.
    for (auto [style, answer] : std::vector<std::pair<int, int>>{
             {OkOnly, Ok}, {YesNo | Info, No}, {YesNoCancel, Cancel}, {OkCancel, Cancel}, {AbortRetryIgnore, Abort}}) {
        EXPECT_EQ(msgBox(QStringLiteral("a"), style), answer) << style;
        EXPECT_EQ(seen, script::unexpected());
    }
    EXPECT_EQ(inputBox(QStringLiteral("d")), std::nullopt);
    EXPECT_EQ(openFile(QStringLiteral("e"), QString()), QString());
    script::answerInput(QStringLiteral("x"));  // an answer of another kind is not taken
    EXPECT_EQ(msgBox(QStringLiteral("f"), YesNo), No);
    EXPECT_EQ(script::pending(), 1);
    EXPECT_EQ(seen, 8);
}

TEST(DialogLook, MessageBoxButtonsAndIconsFollowTheStyleAndOldFiltersBecomeQtOnes) {
    const std::vector<std::tuple<int, QStringList, QMessageBox::Icon>> cases = {
        {OkOnly, {"确定"}, QMessageBox::NoIcon},
        {YesNo | Info, {"否(&N)", "是(&Y)"}, QMessageBox::Information},
        {AbortRetryIgnore | Critical, {"忽略(&I)", "终止(&A)", "重试(&R)"}, QMessageBox::Critical},
        {YesNoCancel | Question, {"取消", "否(&N)", "是(&Y)"}, QMessageBox::Question},
        {RetryCancel | Exclamation, {"取消", "重试(&R)"}, QMessageBox::Warning},
    };
    for (const auto& [style, texts, icon] : cases) {
        std::unique_ptr<QMessageBox> box(makeMessageBox(QStringLiteral("文字"), style, QStringLiteral("提示！")));
        QStringList got;
        for (QAbstractButton* b : box->buttons()) got << b->text();
        got.sort();
        EXPECT_EQ(got.join(' '), QStringList(texts).join(' ')) << style;
        EXPECT_EQ(box->icon(), icon) << style;
        EXPECT_EQ(box->windowTitle() + box->text(), QStringLiteral("提示！文字"));
    }
    EXPECT_EQ(qtNameFilters(QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*")),
              (QStringList{QStringLiteral("数据库文件 (*.mdb) (*.mdb)"), QStringLiteral("所有文件 (*.*) (*)")}));
    EXPECT_EQ(qtNameFilters(QStringLiteral("表格|*.xls;*.xlsx")), QStringList{QStringLiteral("表格 (*.xls *.xlsx)")});
}

// The real dialogs, answered by a "user" once they wait.
TEST_F(Dialogs, RealDialogsReturnWhatTheUserDidAndAnOpenedFileMovesTheCurrentFolder) {
    script::setUnexpectedHandler(nullptr);
    whenShown<QMessageBox>([](QMessageBox* box) {
        for (QAbstractButton* b : box->buttons())
            if (b->text() == QStringLiteral("否(&N)"))
                b->click();
    });
    EXPECT_EQ(msgBox(QStringLiteral("删除？"), YesNo | Info, QStringLiteral("删除记录")), No);
    whenShown<QInputDialog>([](QInputDialog* d) {
        EXPECT_EQ(d->textValue(), "2");
        d->setTextValue(QStringLiteral("王小明"));
        d->accept();
    });
    EXPECT_EQ(inputBox(QStringLiteral("姓名："), QStringLiteral("输入提示"), QStringLiteral("2")),
              std::optional<QString>(QStringLiteral("王小明")));
    whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(inputBox(QStringLiteral("姓名：")), std::nullopt);

    QTemporaryDir dir;
    QFile noext(dir.path() + QStringLiteral("/noext"));
    ASSERT_TRUE(noext.open(QIODevice::WriteOnly));
    whenShown<QFileDialog>([&](QFileDialog* d) {
        ASSERT_EQ(d->nameFilters().size(), 2);
        const QString all = d->nameFilters()[1];  // "*.*" also lists the files without a dot
        EXPECT_TRUE(QDir::match(all.mid(all.lastIndexOf('(') + 1).chopped(1).split(' '), QStringLiteral("noext")));
        d->selectFile(noext.fileName());
        QMetaObject::invokeMethod(d, "accept");
    });
    EXPECT_EQ(
        openFile(QStringLiteral("打开文件"), QStringLiteral("数据库 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"), dir.path()),
        noext.fileName());
    EXPECT_EQ(QDir::current().canonicalPath(), QDir(dir.path()).canonicalPath());
}
