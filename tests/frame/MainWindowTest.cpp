// The main window: what its load sets, the data-file dialog and the data
// commands, the new data file, exit against the close box, the shortcuts
// that a text box needs for editing, help and web, the window arrangements.
#include "FrameFixture.h"

#include "frame/MDIVamo.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <QToolBar>

namespace tv::frame::test {
namespace {

class MainWindowTest : public FrameTest {
protected:
    MDIVamo* main = nullptr;

    void SetUp() override {
        FrameTest::SetUp();
        registerStandIn(QStringLiteral("FrmRzdj"));
    }
    void open() {
        main = &tv::forms::the<MDIVamo>();
        main->show();
        ASSERT_TRUE(main->isLoaded());
    }
    QAction* action(const char* name) { return main->control<QAction>(QString::fromLatin1(name)); }
    QAction* button(const char* key) {
        return main->control<QToolBar>(QStringLiteral("Toolbar1"))->findChild<QAction*>(QString::fromLatin1(key));
    }
    QMdiArea* area() { return main->control<QMdiArea>(QStringLiteral("MDIClient")); }
    // The titles of the file dialogs since the last call; each offers both filters.
    std::vector<QString> dialogs() {
        std::vector<QString> out;
        for (const tv::dlg::Call& c : script::calls()) {
            if (c.kind == QLatin1String("openFile")) {
                out.push_back(c.text);
                EXPECT_EQ(c.extra, QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"));
            }
        }
        return out;
    }
    QString dataFile(const char* name, bool make = true) {
        const QString path = folder + QStringLiteral("/") + QString::fromUtf8(name);
        if (make)
            tv::test::makeDataFile(path);
        return path;
    }
    int rows(const QString& path) {
        return tv::test::queryText(path, QStringLiteral("SELECT count(*) FROM zfdj")).toInt();
    }
    DataWindowStandIn* checkIn() {
        return static_cast<DataWindowStandIn*>(Registry::loaded(QStringLiteral("FrmRzdj")));
    }
    void openData(const QString& file) {
        script::answerFile(file);
        action("MNUdj")->trigger();
    }
    // 新建 onto `file` where the program refuses or fails: the one message it shows.
    QString newFileRefused(const QString& file) {
        script::answerFile(file);
        script::answerMsgBox(tv::dlg::Ok);
        action("MNUnew")->trigger();
        const auto said = messages();
        EXPECT_EQ(said.size(), 1u);
        return said.empty() ? QString() : said[0];
    }
};

TEST_F(MainWindowTest, LoadSetsThePanelAndTheCommandsHelpAndWebOpenWithTheDesktop) {
    open();
    EXPECT_TRUE(main->widget()->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(tv::forms::statusPanel(1), QStringLiteral("工作路径：") + folder);
    QStringList keys;
    for (QAction* a : main->control<QToolBar>(QStringLiteral("Toolbar1"))->actions())
        keys << a->objectName() + (a->isEnabled() ? QString() : QStringLiteral("-"));
    // Disabled (-): the commands of windows not there yet.
    EXPECT_EQ(keys, QStringList({"TB27", "Open2-", "Users", "Search-", "statistics-", "report2-", "Printer-", "Shared-",
                                 "Unknown2", "Exit"}));
    for (const char* name : {"MNUopen", "MNUwjgl", "MNUcx", "MNUzjsd", "MNUzdwh", "MNUsjhd"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;

    action("MNUnr")->trigger();
    button("Unknown2")->trigger();
    action("MNUweb")->trigger();
    const QUrl help = QUrl::fromLocalFile(folder + QStringLiteral("/vamo.CHM"));
    EXPECT_EQ(opened, (std::vector<QUrl>{help, help, QUrl(QStringLiteral("https://tenvora.example/"))}));
    tv::shell::setDesktopHook([](const QUrl&) { return false; });  // nothing can open it: no message
    action("MNUnr")->trigger();
    main->Toolbar1_ButtonClick(QStringLiteral("exit"));  // keys compare with letter case
    main->Toolbar1_ButtonClick(QStringLiteral("Later"));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(ended.empty());
}

TEST_F(MainWindowTest, DataCommandAsksForTheFileAndShowsTheWindowOnlyWhenOneWasChosen) {
    registerStandIn(QStringLiteral("FrmZsdjs"));
    const QString a = dataFile("a.mdb"), b = dataFile("b.mdb");
    open();
    openData(QString());
    EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("打开公寓数据")});
    EXPECT_EQ(main->DialogCode, QStringLiteral("Y2"));
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());
    EXPECT_FALSE(checkIn());

    script::answerFile(a);
    button("Users")->trigger();
    ASSERT_TRUE(checkIn());
    EXPECT_EQ(tv::forms::statusPanel(1), QStringLiteral("工作路径：") + a);

    // Again while it is open: the dialog runs, the window comes forward and keeps its file.
    openData(b);
    EXPECT_EQ(tv::state().DataFilePath, b);
    EXPECT_EQ(checkIn()->Data1->databaseName(), a);
    EXPECT_EQ(area()->activeSubWindow(), checkIn()->subWindow());
    EXPECT_EQ(area()->subWindowList().size(), 1);
    EXPECT_TRUE(messages().empty());

    // Ctrl+A and Ctrl+X edit a focused text box instead of running their commands.
    QApplication::setActiveWindow(main->widget());
    QLineEdit* text = checkIn()->Text1;
    text->setText(QStringLiteral("101室"));
    text->setFocus();
    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);  // select all, no computation dialog
    EXPECT_EQ(text->selectedText(), QStringLiteral("101室"));
    QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);  // cut, the program goes on
    EXPECT_TRUE(text->text().isEmpty());
    EXPECT_TRUE(ended.empty());
    // Away from a text box the keys are the commands.
    text->clearFocus();
    main->widget()->setFocus();
    script::clearCalls();
    script::answerFile(QString());
    QTest::keyClick(main->widget(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("打开公寓数据")});
    QTest::keyClick(main->widget(), Qt::Key_X, Qt::ControlModifier);
    EXPECT_EQ(ended, std::vector<int>{0});
}

TEST_F(MainWindowTest, NewDataFileCopiesTheTemplateUnderTheNameGivenAndAsksBeforeReplacing) {
    const QString old = dataFile("old.mdb");
    tv::test::execSql(old, QStringLiteral("INSERT INTO zfdj (fjh, xm) VALUES ('101', '张三');"));
    open();
    EXPECT_EQ(newFileRefused(QString()), QStringLiteral("提示！|文件名还没有命名,请给定文件名！|64"));
    EXPECT_FALSE(checkIn());

    // Typed without ".mdb" (by the toolbar) and with it (by the menu).
    for (const QString& name : {dataFile("公寓2024", false), dataFile("new.mdb", false)}) {
        script::answerFile(name);
        (name.endsWith(QLatin1String(".mdb")) ? action("MNUnew") : button("TB27"))->trigger();
        EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("新建公寓数据")});
        EXPECT_TRUE(messages().empty());
        EXPECT_EQ(main->DialogCode, QStringLiteral("Y1"));
        EXPECT_EQ(bytesOf(name), bytesOf(templatePath()));
        ASSERT_TRUE(checkIn());
        EXPECT_EQ(tv::state().DatabasePath, name);
        checkIn()->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the event loop would
    }
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({"Rave.ini", "new.mdb", "old.mdb", "公寓2024"}))
        << "no temporary file left, no extension added";

    // Onto an existing file: No keeps it, Yes replaces it; the check-in window opens on it either way.
    for (const int answer : {tv::dlg::No, tv::dlg::Yes}) {
        SCOPED_TRACE(answer);
        script::answerFile(old);
        script::answerMsgBox(answer);
        action("MNUnew")->trigger();
        const auto asked = messages();
        ASSERT_EQ(asked.size(), 1u);
        EXPECT_TRUE(asked[0].startsWith(QStringLiteral("提示！|")) && asked[0].endsWith(QStringLiteral("|36")))
            << asked[0].toStdString();
        const int kept = answer == tv::dlg::No ? 1 : 0;
        EXPECT_EQ(rows(old), kept);
        ASSERT_TRUE(checkIn());
        EXPECT_EQ(checkIn()->Data1->recordset().recordCount(), kept);
        checkIn()->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    EXPECT_EQ(bytesOf(old), bytesOf(templatePath()));
}

TEST_F(MainWindowTest, NewDataFileRefusesTheTemplateAndAFileInUseAndReportsAFailedCopy) {
    const QString inUse = dataFile("inuse.mdb");
    tv::test::execSql(inUse, QStringLiteral("INSERT INTO zfdj (fjh) VALUES ('101');"));
    const QByteArray templateBytes = bytesOf(templatePath()), userBytes = bytesOf(userDb());
    open();

    // The template itself, also named by another path.
    EXPECT_TRUE(
        newFileRefused(folder + QStringLiteral("/MDB/../MDB/Lunrek.mdb")).startsWith(QStringLiteral("提示！|")));
    EXPECT_EQ(bytesOf(templatePath()), templateBytes);
    // The user database: the accounts stay.
    EXPECT_TRUE(newFileRefused(userDb()).contains(QStringLiteral("用户数据库")));
    EXPECT_EQ(bytesOf(userDb()), userBytes);
    EXPECT_FALSE(checkIn());

    // A file that a data window has open.
    openData(inUse);
    ASSERT_TRUE(checkIn());
    EXPECT_TRUE(newFileRefused(inUse).startsWith(QStringLiteral("提示！|")));
    EXPECT_EQ(rows(inUse), 1);

    // A folder that does not exist: the reason is told, nothing is left.
    const QString nowhere = folder + QStringLiteral("/没有这个文件夹/x.mdb");
    EXPECT_TRUE(newFileRefused(nowhere).contains(QStringLiteral("失败")));
    EXPECT_FALSE(QFile::exists(nowhere));

    // No template: told, nothing made.
    QFile::remove(templatePath());
    const QString fresh = dataFile("fresh.mdb", false);
    EXPECT_TRUE(newFileRefused(fresh).contains(QStringLiteral("模板")));
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(MainWindowTest, TheCloseBoxLeavesTopLevelWindowsOpenUntilTheLastUnloadsAndExitEndsEverything) {
    endWithTheLastWindow();
    open();
    openData(dataFile("a.mdb"));
    action("MNUglywh")->trigger();
    action("MNUgy")->trigger();
    ASSERT_TRUE(checkIn());
    Registry::loaded(QStringLiteral("frmAbout"))->unload();  // its own exit, while the main window is there
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.empty());
    action("MNUgy")->trigger();

    main->widget()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(main->isLoaded());
    EXPECT_FALSE(checkIn()) << "the child windows go with the main window";
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("frmAbout")));
    EXPECT_TRUE(ended.empty()) << "top-level windows are still open";
    Registry::loaded(QStringLiteral("FrmMmWh"))->unload();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.empty());
    Registry::loaded(QStringLiteral("frmAbout"))->unload();  // the last window goes by its own code
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, std::vector<int>{0});

    open();
    action("MNUgy")->trigger();
    button("Exit")->trigger();  // 退出 (also Ctrl+X) ends the top-level windows too
    EXPECT_TRUE(Registry::loadedNames().isEmpty());
    EXPECT_EQ(ended, (std::vector<int>{0, 0}));
}

TEST_F(MainWindowTest, TheWindowMenuListsTheOpenChildWindowsAndTheTilesStackOrStandSideBySide) {
    registerStandIn(QStringLiteral("Tenvora"));
    registerStandIn(QStringLiteral("FrmZsdjs"));
    open();
    main->widget()->resize(1000, 800);
    tv::state().DataFilePath = dataFile("a.mdb");
    Registry::instance(QStringLiteral("FrmRzdj"))->show();
    Registry::instance(QStringLiteral("FrmZsdjs"))->show();
    Registry::instance(QStringLiteral("Tenvora"))->load();   // loaded hidden, as another window may do
    Registry::loaded(QStringLiteral("FrmZsdjs"))->unload();  // gone, its widgets not yet deleted
    auto* menu = main->control<QMenu>(QStringLiteral("MNUck"));
    emit menu->aboutToShow();
    QStringList items;
    for (QAction* a : menu->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, QStringList({"层叠", "横向平铺", "纵向平铺", "排列图标", "-", "&1 FrmRzdj"}));

    std::vector<QMdiSubWindow*> w;
    for (const char* name : {"FrmRzdj", "Tenvora", "FrmZsdjs"}) {
        Registry::instance(QString::fromLatin1(name))->show();
        w.push_back(Registry::loaded(QString::fromLatin1(name))->subWindow());
    }
    w[2]->showMinimized();
    const QRect client = area()->viewport()->rect();
    action("MNUhp")->trigger();  // one above another, each full width
    EXPECT_EQ(w[0]->geometry(), QRect(0, 0, client.width(), w[0]->height()));
    EXPECT_EQ(w[1]->geometry(), QRect(0, w[0]->height(), client.width(), w[1]->height()));
    EXPECT_LE(w[1]->geometry().bottom(), w[2]->y()) << "the icon row stays free";
    EXPECT_EQ(w[2]->geometry().bottom(), client.bottom());

    action("MNUzp")->trigger();  // side by side
    EXPECT_EQ(w[0]->pos(), QPoint(0, 0));
    EXPECT_EQ(w[1]->geometry(), QRect(w[0]->width(), 0, client.width() - w[0]->width(), w[0]->height()));

    w[2]->move(400, 100);
    action("MNUpltb")->trigger();
    EXPECT_EQ(w[2]->pos(), QPoint(0, client.bottom() + 1 - w[2]->height()));
    EXPECT_TRUE(w[2]->isMinimized());
}

}  // namespace
}  // namespace tv::frame::test
