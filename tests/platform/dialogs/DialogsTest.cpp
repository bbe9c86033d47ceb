#include "platform/dialogs/Dialogs.h"

#include <gtest/gtest.h>
#include <QAbstractButton>
#include <QAbstractProxyModel>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QInputDialog>
#include <QLabel>
#include <QMessageBox>
#include <QRegularExpression>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <type_traits>

using namespace tv::dlg;

// A message box's style is named, never a bare number, and its answer is a
// button, never a number.
static_assert(std::is_invocable_r_v<Button, decltype(&msgBox), const QString&, Style, const QString&>);
static_assert(!std::is_invocable_v<decltype(&msgBox), const QString&, int, const QString&>);
static_assert(!std::is_convertible_v<Button, int>);
static_assert(std::is_same_v<decltype(YesNo | Info), Style> && (YesNo | Info) == 68);

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
            if (auto* d = qobject_cast<D*>(QApplication::activeModalWidget()))
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
    script::answerMsgBox(Yes);
    script::answerInput("2");
    script::answerInput(std::nullopt);
    script::answerFile(dir.filePath("数据.mdb"));
    script::answerFile(QString());
    EXPECT_EQ(msgBox("删除吗?", YesNo | Info, "删除记录"), Yes);
    EXPECT_EQ(inputBox("请输入：", "输入提示", "1"), std::optional<QString>("2"));
    EXPECT_EQ(inputBox("电话："), std::nullopt);
    EXPECT_EQ(openFile("打开", "数据库 (*.mdb)|*.mdb"), dir.filePath("数据.mdb"));
    EXPECT_EQ(openFile("打开", QString()), QString());
    EXPECT_EQ(QDir::currentPath(), savedCwd) << "choosing moves no folder, using the file does";
    followChosenFile(dir.filePath("数据.mdb"));
    EXPECT_EQ(QDir(startFolder()), QDir(dir.path()));
    for (const QString& pseudo : QStringList{"/proc/self", "/sys", "/dev", dir.filePath("没有")})  // or missing
        EXPECT_EQ(startFolder(pseudo), QDir::homePath()) << pseudo.toStdString();
    EXPECT_EQ(seen + script::pending(), 0);
    QStringList calls;
    for (const Call& c : script::calls())
        calls << QStringList({c.kind, c.text, c.title, QString::number(c.style), c.extra}).join('|');
    EXPECT_EQ(calls,
              QStringList({"msgBox|删除吗?|删除记录|68|", "inputBox|请输入：|输入提示|0|1", "inputBox|电话：||0|",
                           "openFile|打开||0|数据库 (*.mdb)|*.mdb", "openFile|打开||0|"}));

    // Unanswered: reported at once, during the call, and given the harmless answer.
    const std::vector<std::pair<Style, Button>> harmless = {
        {OkOnly, Ok}, {YesNo | Info, No}, {YesNoCancel, Cancel}, {OkCancel, Cancel}, {AbortRetryIgnore, Abort}};
    for (auto [style, answer] : harmless) {
        EXPECT_EQ(msgBox("a", style), answer) << style;
        EXPECT_EQ(seen, script::unexpected());
    }
    EXPECT_TRUE(!inputBox("d") && openFile("e", QString()).isEmpty());
    script::answerInput("x");  // an answer of another kind is not taken
    EXPECT_EQ(msgBox("f", YesNo), No);
    EXPECT_TRUE(script::pending() == 1 && seen == 8);
}

// The labels without a key (no "(&T)" shown as it stands), Qt's own texts and
// tips, the column titles, a folder's kind and date: all Chinese.
TEST_F(Dialogs, TheFileDialogIsChineseThroughout) {
    useChinese();
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir("子目录"));
    std::unique_ptr<QFileDialog> fd(makeOpenFileDialog("打开", "数据库文件|*.mdb", dir.path()));
    QStringList texts;
    for (QWidget* w : fd->findChildren<QWidget*>())
        texts << w->toolTip()
              << (qobject_cast<QLabel*>(w) && !static_cast<QLabel*>(w)->buddy() ? static_cast<QLabel*>(w)->text() : "");
    auto* files = static_cast<QFileSystemModel*>(fd->proxyModel()->sourceModel());
    for (int column = 0; column < 4; ++column)
        texts << fd->proxyModel()->headerData(column, Qt::Horizontal).toString()
              << fd->proxyModel()->mapFromSource(files->index(dir.filePath("子目录"), column)).data().toString();
    EXPECT_EQ(texts.filter(QRegularExpression("[A-Za-z&]")), QStringList());
    EXPECT_TRUE(texts.contains("文件夹")) << texts.join(' ').toStdString();
}

TEST(DialogLook, MessageBoxButtonsAndIconsFollowTheStyleAndOldFiltersBecomeQtOnes) {
    const std::vector<std::tuple<Style, QStringList, QMessageBox::Icon>> cases = {
        {OkOnly, {"确定"}, QMessageBox::NoIcon},
        {YesNo | Info, {"否(&N)", "是(&Y)"}, QMessageBox::Information},
        {AbortRetryIgnore | Critical, {"忽略(&I)", "终止(&A)", "重试(&R)"}, QMessageBox::Critical},
        {YesNoCancel | Question, {"取消", "否(&N)", "是(&Y)"}, QMessageBox::Question},
    };
    const QString title = "记录'添加'或'修改'错误！";  // shown whole: in a title bar's larger font, beside its buttons
    for (const auto& [style, texts, icon] : cases) {
        std::unique_ptr<QMessageBox> box(makeMessageBox("文字", style, title));
        QStringList got;
        for (QAbstractButton* b : box->buttons()) got << b->text();
        got.sort();
        EXPECT_EQ(got.join(' ') + '|' + box->windowTitle() + box->text(),
                  QStringList(texts).join(' ') + '|' + title + "文字");
        EXPECT_EQ(box->icon(), icon) << style;
        box->show();
        EXPECT_GT(box->width(), QFontMetrics(box->font()).horizontalAdvance(title) * 5 / 4 + 100) << style;
    }
    EXPECT_EQ(qtNameFilters("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*") + qtNameFilters("表格|*.xls;*.xlsx"),
              QStringList({"数据库文件 (*.mdb) (*.mdb)", "所有文件 (*.*) (*)", "表格 (*.xls *.xlsx)"}));
}

// A list of hundreds of rooms: the box stays on the screen, its text scrolls
// (also from the keyboard) and is the whole text; a short text shows as ever.
TEST(DialogLook, AMessageTooTallForTheScreenScrollsInsideABoxThatStaysOnTheScreen) {
    QStringList rooms;
    for (int room = 1; room <= 600; ++room) rooms << QString::number(1000 + room);
    const QString text =
        "以下房间没有上月读数：" + rooms.join("、") + "\n以下房间没有其它费用记录：" + rooms.join("、");
    std::unique_ptr<QMessageBox> box(makeMessageBox(text, Info, "提示"));
    box->show();
    const QRect screen = box->screen()->availableGeometry();
    EXPECT_TRUE(screen.contains(box->frameGeometry())) << box->frameGeometry().height() << " > " << screen.height();
    EXPECT_EQ(box->text(), text);
    auto* pane = box->findChild<QScrollArea*>("tvMessageScroll");
    ASSERT_TRUE(pane);
    EXPECT_EQ(static_cast<QLabel*>(pane->widget())->text(), text);
    EXPECT_TRUE(pane->isVisible() && pane->verticalScrollBar()->maximum() > 0);
    EXPECT_GE(pane->height(), screen.height() / 2);  // laid out in the box, the buttons below it
    EXPECT_TRUE(box->rect().contains(pane->geometry()));
    for (QAbstractButton* b : box->buttons()) EXPECT_GT(b->mapTo(box.get(), QPoint()).y(), pane->geometry().bottom());
    QTest::keyClick(pane, Qt::Key_PageDown);
    EXPECT_GT(pane->verticalScrollBar()->value(), 0);

    std::unique_ptr<QMessageBox> small(
        makeMessageBox("以下房间没有上月读数：" + rooms.mid(0, 40).join("、"), Info, "提示"));
    small->show();
    EXPECT_FALSE(small->findChild<QScrollArea*>());
}

// The real dialogs, answered by a "user" once they wait.
TEST_F(Dialogs, RealDialogsReturnWhatTheUserDid) {
    script::setUnexpectedHandler(nullptr);
    whenShown<QMessageBox>([](QMessageBox* box) {
        const auto buttons = box->buttons();
        (*std::find_if(buttons.begin(), buttons.end(), [](auto* b) { return b->text() == "否(&N)"; }))->click();
    });
    EXPECT_EQ(msgBox("删除？", YesNo | Info, "删除记录"), No);
    whenShown<QInputDialog>([](QInputDialog* d) {
        EXPECT_EQ(d->textValue(), "2");
        d->setTextValue("王小明");
        d->accept();
    });
    EXPECT_EQ(inputBox("姓名：", "输入提示", "2"), std::optional<QString>("王小明"));
    whenShown<QInputDialog>([](QInputDialog* d) { d->reject(); });
    EXPECT_EQ(inputBox("姓名："), std::nullopt);

    QTemporaryDir dir;
    const QString noext = dir.filePath("noext");
    ASSERT_TRUE(QFile(noext).open(QIODevice::WriteOnly));
    whenShown<QFileDialog>([&](QFileDialog* d) {
        ASSERT_EQ(d->nameFilters().size(), 2);
        const QString all = d->nameFilters()[1];  // "*.*" also lists the files without a dot
        EXPECT_TRUE(QDir::match(all.mid(all.lastIndexOf('(') + 1).chopped(1).split(' '), "noext"));
        d->selectFile(noext);
        QMetaObject::invokeMethod(d, "accept");
    });
    EXPECT_EQ(openFile("打开文件", "数据库 (*.mdb)|*.mdb|所有文件 (*.*)|*.*", dir.path()), noext);
}
