// The main window: what its load sets, the data-file dialog and the data
// commands, the new data file, exit against the close box, the shortcuts
// that a text box needs for editing, help and web, the window arrangements.
#include "FrameFixture.h"

#include "frame/FrameKit.h"
#include "frame/MDIVamo.h"

#include <QAction>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <QToolBar>

namespace tv::frame::test {
namespace {

const QString kFilter = QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*");

class MainWindowTest : public FrameTest {
protected:
    MDIVamo* main = nullptr;

    void open() {
        main = &tv::forms::the<MDIVamo>();
        main->show();
        ASSERT_TRUE(main->isLoaded());
    }
    QAction* action(const char* name) { return main->control<QAction>(QString::fromLatin1(name)); }
    QAction* button(const char* key) {
        return main->control<QToolBar>(QStringLiteral("Toolbar1"))->findChild<QAction*>(QString::fromLatin1(key));
    }
    QString panel1() { return statusPanel1(); }
    // The titles of the file dialogs since the last call.
    std::vector<QString> dialogs() {
        std::vector<QString> out;
        for (const tv::dlg::Call& c : script::calls()) {
            if (c.kind == QLatin1String("openFile")) {
                out.push_back(c.text);
                EXPECT_EQ(c.extra, kFilter);
            }
        }
        return out;
    }
    QString dataFile(const char* name) { return folder + QStringLiteral("/") + QLatin1String(name); }
    int rows(const QString& path) {
        return tv::test::queryText(path, QStringLiteral("SELECT count(*) FROM zfdj")).toInt();
    }
    DataWindowStandIn* checkIn() {
        return static_cast<DataWindowStandIn*>(Registry::loaded(QStringLiteral("FrmRzdj")));
    }
};

TEST_F(MainWindowTest, LoadSetsThePathsThePanelAndTheCommandsOfTheWindowsThatExist) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    open();
    const auto& s = tv::state();
    EXPECT_EQ(main->widget()->windowTitle(), QStringLiteral("Tenvora D2021"));
    EXPECT_TRUE(main->widget()->windowState() & Qt::WindowMaximized);
    EXPECT_EQ(panel1(), QStringLiteral("工作路径：") + folder);
    EXPECT_EQ(s.AppDir, folder);
    EXPECT_EQ(s.UserDbPath, folder + QStringLiteral("/Rave.ini"));
    EXPECT_EQ(s.PicturePath, folder + QStringLiteral("/BMP/"));
    EXPECT_EQ(main->TemplatePath, templatePath());
    EXPECT_EQ(main->HelpFile, folder + QStringLiteral("/RAZ.CHM"));
    EXPECT_EQ(main->DialogCode, QStringLiteral("0"));
    EXPECT_TRUE(s.DataFilePath.isEmpty());
    EXPECT_EQ(Registry::mdiArea(), main->control<QMdiArea>(QStringLiteral("MDIClient")));

    QStringList keys;
    for (QAction* a : main->control<QToolBar>(QStringLiteral("Toolbar1"))->actions())
        keys << a->objectName();
    EXPECT_EQ(keys, QStringList({"TB27", "Open2", "Users", "Search", "statistics", "report2", "Printer", "Shared",
                                 "Unknown2", "Exit"}));

    // Present and usable: the frame's own and the check-in window's commands.
    for (const char* name : {"MNUnew", "MNUexit", "MNUdj", "MNUglywh", "MNUgy", "MNUnr", "MNUweb", "MNUcd"})
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    for (const char* key : {"TB27", "Users", "Unknown2", "Exit"})
        EXPECT_TRUE(button(key)->isEnabled()) << key;
    // Present and disabled: windows this program does not have yet.
    for (const char* name : {"MNUopen", "MNUwjgl", "MNUcx", "MNUzjsd", "MNUzdwh", "MNUsjhd"})
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    for (const char* key : {"Open2", "Search", "statistics", "report2", "Shared"})
        EXPECT_FALSE(button(key)->isEnabled()) << key;
}

TEST_F(MainWindowTest, DataCommandAsksForTheFileAndShowsTheWindowOnlyWhenOneWasChosen) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    const QString a = dataFile("a.mdb"), b = dataFile("b.mdb");
    tv::test::makeDataFile(a);
    tv::test::makeDataFile(b);
    open();

    script::answerFile(QString());
    action("MNUdj")->trigger();
    EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("打开公寓数据")});
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(main->DialogCode, QStringLiteral("Y2"));
    EXPECT_TRUE(tv::state().DataFilePath.isEmpty());
    EXPECT_FALSE(Registry::isLoaded(QStringLiteral("FrmRzdj")));

    script::answerFile(a);
    button("Users")->trigger();
    ASSERT_TRUE(checkIn());
    EXPECT_EQ(tv::state().DataFilePath, a);
    EXPECT_EQ(tv::state().DatabasePath, a);
    EXPECT_EQ(panel1(), QStringLiteral("工作路径：") + a);
    EXPECT_TRUE(checkIn()->subWindow()->isVisible());

    // Again while it is open: the dialog runs, the window keeps its file.
    script::answerFile(b);
    action("MNUdj")->trigger();
    EXPECT_EQ(tv::state().DataFilePath, b);
    EXPECT_EQ(checkIn()->Data1->databaseName(), a);
    EXPECT_EQ(main->control<QMdiArea>(QStringLiteral("MDIClient"))->activeSubWindow(), checkIn()->subWindow());
    EXPECT_EQ(main->control<QMdiArea>(QStringLiteral("MDIClient"))->subWindowList().size(), 1);
    EXPECT_TRUE(messages().empty());
}

TEST_F(MainWindowTest, NewDataFileCopiesTheTemplateUnderExactlyTheNameGiven) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    open();

    script::answerFile(QString());
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("新建公寓数据")});
    EXPECT_EQ(messages(), std::vector<QString>{QStringLiteral("提示！|文件名还没有命名,请给定文件名！|64")});
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList({"Rave.ini"}));
    EXPECT_FALSE(checkIn());

    const QString bare = dataFile("公寓2024");  // typed without ".mdb"
    script::answerFile(bare);
    button("TB27")->trigger();
    EXPECT_EQ(dialogs(), std::vector<QString>{QStringLiteral("新建公寓数据")});
    EXPECT_TRUE(messages().empty());
    EXPECT_EQ(main->DialogCode, QStringLiteral("Y1"));
    EXPECT_EQ(main->CopySource, templatePath());
    EXPECT_EQ(main->CopyTarget, bare);
    EXPECT_EQ(bytesOf(bare), bytesOf(templatePath()));
    EXPECT_FALSE(QFile::exists(bare + QStringLiteral(".mdb")));
    ASSERT_TRUE(checkIn());
    EXPECT_EQ(tv::state().DatabasePath, bare);
    EXPECT_EQ(QDir(folder).entryList({QStringLiteral("*.*")}, QDir::Files | QDir::Hidden).size(), 1)
        << "only Rave.ini: no temporary file left";
    checkIn()->unload();

    const QString withExt = dataFile("new.mdb");
    script::answerFile(withExt);
    action("MNUnew")->trigger();
    EXPECT_EQ(bytesOf(withExt), bytesOf(templatePath()));
    ASSERT_TRUE(checkIn());
    EXPECT_EQ(tv::state().DatabasePath, withExt);
}

TEST_F(MainWindowTest, NewDataFileOntoAnExistingFileAsksFirst) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    const QString old = dataFile("old.mdb");
    tv::test::makeDataFile(old);
    tv::test::execSql(old, QStringLiteral("INSERT INTO zfdj (fjh, xm) VALUES ('101', '张三');"));
    open();

    script::answerFile(old);
    script::answerMsgBox(tv::dlg::No);
    action("MNUnew")->trigger();
    auto asked = messages();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_TRUE(asked[0].startsWith(QStringLiteral("提示！|"))) << asked[0].toStdString();
    EXPECT_TRUE(asked[0].endsWith(QStringLiteral("|36"))) << asked[0].toStdString();
    EXPECT_EQ(rows(old), 1);  // kept
    ASSERT_TRUE(checkIn());   // and the check-in window opens on it all the same
    EXPECT_EQ(checkIn()->Data1->recordset().recordCount(), 1);
    checkIn()->unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the event loop would

    script::answerFile(old);
    script::answerMsgBox(tv::dlg::Yes);
    action("MNUnew")->trigger();
    EXPECT_EQ(messages().size(), 1u);
    EXPECT_EQ(rows(old), 0);
    EXPECT_EQ(bytesOf(old), bytesOf(templatePath()));
    ASSERT_TRUE(checkIn());
    EXPECT_EQ(checkIn()->Data1->recordset().recordCount(), 0);
}

TEST_F(MainWindowTest, NewDataFileRefusesTheTemplateAndAFileInUseAndReportsAFailedCopy) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    const QString inUse = dataFile("inuse.mdb");
    tv::test::makeDataFile(inUse);
    tv::test::execSql(inUse, QStringLiteral("INSERT INTO zfdj (fjh) VALUES ('101');"));
    const QByteArray templateBytes = bytesOf(templatePath());
    open();

    // The template itself, also named by another path.
    script::answerFile(folder + QStringLiteral("/MDB/../MDB/Lunrek.mdb"));
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    auto said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("提示！|"))) << said[0].toStdString();
    EXPECT_EQ(bytesOf(templatePath()), templateBytes);
    EXPECT_FALSE(checkIn());

    // The user database: the accounts stay.
    const QByteArray userBytes = bytesOf(userDb());
    script::answerFile(userDb());
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].contains(QStringLiteral("用户数据库"))) << said[0].toStdString();
    EXPECT_EQ(bytesOf(userDb()), userBytes);
    EXPECT_FALSE(checkIn());

    // A file that a data window has open.
    script::answerFile(inUse);
    action("MNUdj")->trigger();
    ASSERT_TRUE(checkIn());
    script::answerFile(inUse);
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].startsWith(QStringLiteral("提示！|"))) << said[0].toStdString();
    EXPECT_EQ(rows(inUse), 1);

    // A folder that does not exist: the reason is told, nothing is left.
    const QString nowhere = folder + QStringLiteral("/没有这个文件夹/x.mdb");
    script::answerFile(nowhere);
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].contains(QStringLiteral("失败"))) << said[0].toStdString();
    EXPECT_FALSE(QFile::exists(nowhere));

    // No template: told, nothing made.
    QFile::remove(templatePath());
    const QString fresh = dataFile("fresh.mdb");
    script::answerFile(fresh);
    script::answerMsgBox(tv::dlg::Ok);
    action("MNUnew")->trigger();
    said = messages();
    ASSERT_EQ(said.size(), 1u);
    EXPECT_TRUE(said[0].contains(QStringLiteral("模板"))) << said[0].toStdString();
    EXPECT_FALSE(QFile::exists(fresh));
}

TEST_F(MainWindowTest, ExitEndsEverythingWhileTheCloseBoxLeavesTopLevelWindowsOpen) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    const QString a = dataFile("a.mdb");
    tv::test::makeDataFile(a);
    open();
    script::answerFile(a);
    action("MNUdj")->trigger();
    action("MNUglywh")->trigger();
    action("MNUgy")->trigger();
    ASSERT_TRUE(checkIn());
    ASSERT_TRUE(Registry::isLoaded(QStringLiteral("FrmMmWh")));
    ASSERT_TRUE(Registry::isLoaded(QStringLiteral("frmAbout")));

    main->widget()->close();
    EXPECT_FALSE(main->isLoaded());
    EXPECT_FALSE(checkIn()) << "the child windows go with the main window";
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmMmWh")));
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("frmAbout")));
    EXPECT_TRUE(ended.empty());

    open();
    button("Exit")->trigger();
    EXPECT_TRUE(Registry::loadedNames().isEmpty());
    EXPECT_EQ(ended, std::vector<int>{0});

    open();
    action("MNUgy")->trigger();
    ended.clear();
    action("MNUexit")->trigger();
    EXPECT_TRUE(Registry::loadedNames().isEmpty());
    EXPECT_EQ(ended, std::vector<int>{0});
}

TEST_F(MainWindowTest, AWindowThatUnloadsItselfAfterTheMainWindowClosedEndsTheProgram) {
    registerTopLevelStandIn(QStringLiteral("FrmDyjl"));
    endWithTheLastWindow();
    open();
    Form* other = Registry::instance(QStringLiteral("FrmDyjl"));
    other->show();
    other->unload();  // its own exit, while the main window is there
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.empty());

    other->show();
    main->widget()->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.empty()) << "a top-level window is still open";
    other->unload();  // the last window goes by its own code, not by the close box
    QCoreApplication::processEvents();
    EXPECT_EQ(ended, std::vector<int>{0});
}

TEST_F(MainWindowTest, TheWindowMenuListsTheOpenChildWindowsOnly) {
    for (const char* name : {"FrmRzdj", "Tenvora", "FrmZsdjs"})
        registerStandIn(QString::fromLatin1(name));
    const QString a = dataFile("a.mdb");
    tv::test::makeDataFile(a);
    open();
    tv::state().DataFilePath = a;
    Registry::instance(QStringLiteral("FrmRzdj"))->show();
    Registry::instance(QStringLiteral("FrmZsdjs"))->show();
    Registry::instance(QStringLiteral("Tenvora"))->load();  // loaded hidden, as another window may do
    Registry::loaded(QStringLiteral("FrmZsdjs"))->unload();  // gone, its widgets not yet deleted

    auto* menu = main->control<QMenu>(QStringLiteral("MNUck"));
    emit menu->aboutToShow();
    QStringList items;
    for (QAction* a : menu->actions())
        items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, QStringList({"层叠", "横向平铺", "纵向平铺", "排列图标", "-", "&1 FrmRzdj"}));
}

TEST_F(MainWindowTest, CtrlXAndCtrlAEditTheFocusedTextBoxInsteadOfRunningTheirCommands) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    registerStandIn(QStringLiteral("FrmZsdjs"));
    const QString a = dataFile("a.mdb");
    tv::test::makeDataFile(a);
    open();
    script::answerFile(a);
    action("MNUdj")->trigger();
    ASSERT_TRUE(checkIn());
    QApplication::setActiveWindow(main->widget());
    QLineEdit* text = checkIn()->Text1;
    text->setText(QStringLiteral("101室"));
    text->setFocus();

    QTest::keyClick(text, Qt::Key_A, Qt::ControlModifier);  // select all, no computation dialog
    EXPECT_EQ(text->selectedText(), QStringLiteral("101室"));
    QTest::keyClick(text, Qt::Key_X, Qt::ControlModifier);  // cut, the program goes on
    EXPECT_TRUE(text->text().isEmpty());
    EXPECT_TRUE(ended.empty());
    EXPECT_TRUE(main->isLoaded());

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

TEST_F(MainWindowTest, HelpAndWebOpenWithTheDesktopAndAnUnknownKeyDoesNothing) {
    open();
    action("MNUnr")->trigger();
    button("Unknown2")->trigger();
    action("MNUweb")->trigger();
    const QUrl help = QUrl::fromLocalFile(folder + QStringLiteral("/vamo.CHM"));
    EXPECT_EQ(opened, (std::vector<QUrl>{help, help, QUrl(QStringLiteral("https://tenvora.example/"))}));
    EXPECT_EQ(tv::state().HelpFilePath, folder + QStringLiteral("/vamo.CHM"));

    setDesktopHook([](const QUrl&) { return false; });  // nothing can open it: no message
    action("MNUnr")->trigger();
    main->Toolbar1_ButtonClick(QStringLiteral("exit"));  // keys compare with letter case
    main->Toolbar1_ButtonClick(QStringLiteral("Later"));
    EXPECT_TRUE(messages().empty());
    EXPECT_TRUE(ended.empty());
    EXPECT_TRUE(main->isLoaded());
}

TEST_F(MainWindowTest, TilesStackOrSideBySideAndIconsLineUpAtTheBottom) {
    registerStandIn(QStringLiteral("FrmRzdj"));
    registerStandIn(QStringLiteral("Tenvora"));
    registerStandIn(QStringLiteral("FrmZsdjs"));
    const QString a = dataFile("a.mdb");
    tv::test::makeDataFile(a);
    open();
    main->widget()->resize(1000, 800);
    auto* area = main->control<QMdiArea>(QStringLiteral("MDIClient"));
    for (const char* name : {"FrmRzdj", "Tenvora", "FrmZsdjs"}) {
        tv::state().DataFilePath = a;
        Registry::instance(QString::fromLatin1(name))->show();
    }
    QMdiSubWindow* first = Registry::loaded(QStringLiteral("FrmRzdj"))->subWindow();
    QMdiSubWindow* second = Registry::loaded(QStringLiteral("Tenvora"))->subWindow();
    QMdiSubWindow* third = Registry::loaded(QStringLiteral("FrmZsdjs"))->subWindow();
    third->showMinimized();
    const QRect client = area->viewport()->rect();

    action("MNUhp")->trigger();  // one above another, each full width
    EXPECT_EQ(first->width(), client.width());
    EXPECT_EQ(second->width(), client.width());
    EXPECT_EQ(first->x(), 0);
    EXPECT_EQ(second->y(), first->geometry().bottom() + 1);
    EXPECT_LE(second->geometry().bottom(), third->y()) << "the icon row stays free";
    EXPECT_EQ(third->geometry().bottom(), client.bottom());

    action("MNUzp")->trigger();  // side by side
    EXPECT_EQ(first->y(), 0);
    EXPECT_EQ(second->y(), 0);
    EXPECT_EQ(second->x(), first->geometry().right() + 1);
    EXPECT_EQ(second->geometry().right(), client.right());
    EXPECT_EQ(first->height(), second->height());

    third->move(400, 100);
    action("MNUpltb")->trigger();
    EXPECT_EQ(third->pos(), QPoint(0, client.bottom() + 1 - third->height()));
    EXPECT_TRUE(third->isMinimized());

    action("MNUcd")->trigger();
    EXPECT_LT(first->y(), second->y());
}

}  // namespace
}  // namespace tv::frame::test
