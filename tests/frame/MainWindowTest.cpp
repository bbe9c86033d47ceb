// The main window: what each command of the menus and the toolbar asks and
// opens, the new data file, a data window asked for again, the editing keys
// of a text box, the close box against exit, the window arrangements.
#include "FrameFixture.h"

#include "exchange/ExchangeWindows.h"
#include "fees/FrmZsdwh.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Geometry.h"
#include "platform/print/Printer.h"
#include "support/Codes.h"
#include "support/FullDisk.h"
#include "support/OddFiles.h"

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QToolBar>

namespace tv::frame::test {
namespace {

class MainWindowTest : public FrameTest {
protected:
    MDIVamo* main = nullptr;

    void open() { (main = &tv::forms::the<MDIVamo>())->show(); }
    QAction* action(const QString& name) { return main->control<QAction>(name); }
    // Runs a command as a user does, by its shortcut or else a click, with
    // `file` chosen in the file dialog it may ask first and `answer` pressed
    // in the message box that may follow (answers not asked for are dropped).
    void run(const QString& command, const QString& file = {}, tv::dlg::Button answer = tv::dlg::Ok) {
        script::begin();
        if (command != "Printer" && command != "MNUweb")  // 打印 and web上的 Tenvora ask for no file
            script::answerFile(file);
        script::answerMsgBox(answer);
        QApplication::setActiveWindow(main->widget());
        if (action(command)->shortcut().isEmpty())
            action(command)->trigger();
        else
            QTest::keySequence(main->widget(), action(command)->shortcut());
    }
};

// Every command of the menus and the toolbar, once with a data file chosen in
// the file dialog (and No to a question after it) and once with the dialog
// cancelled: its shortcut, "off" while its window is not part of the program
// (here the records, fee records and file manager windows), the dialogs it
// shows and what it opens or ends. A shortcut is pressed, a button clicked.
TEST_F(MainWindowTest, EveryCommandShowsItsDialogsAndOpensItsWindowOrDocument) {
    registerStandIn(kExchange);
    const QString a = dataFile("a.mdb");
    open();
    EXPECT_EQ(tv::forms::statusPanel(tv::forms::Panel::WorkPath), "工作路径：" + folder);
    QStringList names, lines;
    for (QAction* command : main->widget()->findChildren<QAction*>())
        if (!command->objectName().isEmpty() && !command->isSeparator())
            names << command->objectName();
    for (const QString& name : names) {
        const bool on = action(name)->isEnabled();
        QString line = (name + ' ' + action(name)->shortcut().toString()).trimmed() + (on ? "" : " off");
        for (const QString& file : QStringList{a, ""}.mid(0, on ? 2 : 0)) {  // chosen, cancelled
            run(name, file, tv::dlg::No);
            line += " | " + (said() << outcome()).join(" -> ");
            if (!main->isLoaded())
                open();
        }
        lines << line;
    }
    expectGolden(lines, "frame_commands.txt");
}

// 新建 onto each name (the first while a data window has that file open):
// the dialogs and the folder the file dialog starts in, what opens, and the
// file afterwards: a copy of the template, unchanged, or none. Then a data
// window on a file that does not open. Last the files of the folder: no
// temporary file left, no extension added.
TEST_F(MainWindowTest, NewDataFileCopiesTheTemplateAsksBeforeReplacingAndRefusesWhatItMustNot) {
    const QString old = dataFile("old.mdb"), inUse = dataFile("inuse.mdb");
    for (const QString& file : {old, inUse}) tv::test::execSql(file, "INSERT INTO zfdj (fjh) VALUES ('101');");
    const QByteArray copy = bytesOf(templatePath());
    open();
    run("MNUzjsd", inUse);
    QStringList lines;
    tv::dlg::Button answers[] = {tv::dlg::No, tv::dlg::Yes}, *replace = answers;  // for the file already there
    QDir(folder).mkdir("子目录");
    for (const QString name :
         {"inuse.mdb", "公寓2024", "old.mdb", "old.mdb", "子目录/新.mdb", "", "MDB", "MDB/../MDB/Lunrek.mdb",
          "Rave.ini", "没有这个文件夹/x.mdb", "/proc/x.mdb", "fresh.mdb"}) {
        const QString file = name.isEmpty() || name.startsWith('/') ? name : folder + '/' + name;
        if (name == "fresh.mdb")
            QFile::remove(templatePath());
        const QByteArray before = bytesOf(file);
        run("MNUnew", file, name == "old.mdb" ? *replace++ : tv::dlg::Ok);
        const QByteArray after = bytesOf(file);
        const char* state = after == before ? "unchanged" : after == copy ? "copy" : "changed";
        lines << name + " | " + (said() << outcome()).join(" -> ") + " | " + state;
    }
    for (const QString& file : {userDb(), QString()}) {  // a file that does not open, then a cancel
        run("MNUdj", file);
        lines << QFileInfo(file).fileName() + " | " + (said() << outcome()).join(" -> ");
    }
    lines << QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(' ');
    const QRegularExpression reason(QStringLiteral("（[^）]*）"));  // the system's words, in its language
    expectGolden(lines.replaceInStrings(reason, "（…）"), "frame_new_data_file.txt");
}

// 新建 onto the data file an exchange window (the export, the import's
// second step) holds is refused as for a data window's file, until that
// window is gone; onto a link to a file of the program's (the receipt file
// beside the open data file or its staging file not made yet, the template,
// the user database, the data file in use) it is refused with the reason.
// None of those files changes.
TEST_F(MainWindowTest, NewDataFileNeverReplacesAFileInUseOrOfTheProgramByAnyName) {
    const QString a = dataFile("a.mdb"), receipts = folder + "/Zjzd.txt";
    tv::test::execSql(a, "INSERT INTO zfdj (fjh) VALUES ('101');");
    QFile r(receipts);
    ASSERT_TRUE(r.open(QIODevice::WriteOnly) && r.write("receipts") == 8);
    r.close();
    const auto kept = [&] {
        QStringList out;
        for (const QString& f : {a, receipts, templatePath(), userDb()}) out << bytesOf(f).toHex().left(64);
        return out << QDir(folder).entryList({"Zjzd*"}, QDir::Files).join(',');
    };
    const QStringList before = kept();
    open();
    QStringList lines;
    for (tv::forms::Form* w : std::initializer_list<tv::forms::Form*>{&tv::forms::the<tv::exchange::outform>(),
                                                                      &tv::forms::the<tv::exchange::faccess>()}) {
        script::begin();
        script::answerFile(a);
        w->show();
        w->control<QPushButton>("Img2")->click();
        run("MNUnew", a, tv::dlg::Yes);
        lines << w->name() + " | " + said().mid(1).join(" -> ");
        w->unload();
    }
    run("MNUnew", a, tv::dlg::No);  // neither holds it any more: asked to replace it
    lines << "gone | " + said().mid(1).join(" -> ") + " -> " + outcome();
    const struct {
        const char* name;
        char link;  // 's' symbolic, 'h' hard
        const char* to;
    } rows[] = {
        {"r.mdb", 's', "Zjzd.txt"}, {"n.mdb", 's', "Zjzd.txt.new"}, {"t.mdb", 'h', "MDB/Lunrek.mdb"},
        {"u.mdb", 's', "Rave.ini"}, {"d.mdb", 'h', "a.mdb"},
    };
    run("MNUzjsd", a);  // the computation window on a.mdb: its receipt file is the program's
    said();
    for (const auto& row : rows) {
        const QString name = folder + '/' + row.name, to = folder + '/' + row.to;
        ASSERT_TRUE(tv::test::makeLink(row.link, to, name)) << row.name;
        run("MNUnew", name, tv::dlg::Yes);
        lines << QString::fromLatin1(row.name) + " | " + said().mid(1).join(" -> ");
    }
    EXPECT_EQ(kept(), before);
    expectGolden(lines.replaceInStrings(folder, "$DIR"), "frame_new_data_file_refused.txt");
}

// A data file the window asked for cannot work on is refused by the main
// window with its own reason before the window is built: no window opens, no
// data file stays open, and the status bar keeps naming what it named (also
// after a 新建 that failed, or kept a file no window can use). A file that
// serves the check-in window (registrations only) is refused for the tenant
// records window.
TEST_F(MainWindowTest, ADataFileThatCannotServeIsRefusedWithItsReasonAndTheStatusBarKeepsItsText) {
    registerStandIn(kRecords);
    const QString zfdjOnly = dataFile("zfdj.mdb"), notes = folder + "/notes.txt";
    tv::test::execSql(zfdjOnly, "DROP TABLE fzsdjs;");
    QFile text(notes);
    ASSERT_TRUE(text.open(QIODevice::WriteOnly) && text.write("CREATE TABLE zfdj (fjh TEXT);\n") > 0);
    text.close();
    for (const char* kind : {"fifo", "zero", "sparse"}) tv::test::makeOdd(kind, folder + '/' + kind + ".mdb");
    ASSERT_TRUE(QFile::link(folder + "/loop2.mdb", folder + "/loop.mdb") &&
                QFile::link(folder + "/loop.mdb", folder + "/loop2.mdb"));
    QFile random(folder + "/random.mdb");
    ASSERT_TRUE(random.open(QIODevice::WriteOnly) && random.write(QByteArray(5000, '\x9c')) > 0);
    random.close();
    open();
    const QString start = tv::forms::statusPanel(tv::forms::Panel::WorkPath);
    ASSERT_EQ(start, "工作路径：" + folder);
    const struct {
        const char *command, *file;
        tv::dlg::Button answer;  // to a question
    } rows[] = {
        {"MNUcx", "fifo.mdb", tv::dlg::Ok},   {"MNUcx", "zero.mdb", tv::dlg::Ok},
        {"MNUcx", "loop.mdb", tv::dlg::Ok},   {"MNUcx", "sparse.mdb", tv::dlg::Ok},
        {"MNUcx", "random.mdb", tv::dlg::Ok}, {"MNUcx", "notes.txt", tv::dlg::Ok},
        {"MNUcx", "zfdj.mdb", tv::dlg::Ok},   {"MNUdj", "zfdj.mdb", tv::dlg::Ok},
        {"MNUnew", "notes.txt", tv::dlg::No}, {"MNUnew", "MDB", tv::dlg::Ok},
    };
    QStringList lines;
    const auto failing = script::unexpectedHandler();
    script::setUnexpectedHandler([](const tv::dlg::Call&) {});  // the message after a question: OK
    for (const auto& row : rows) {
        {
            tv::test::Watchdog watchdog(std::string("a data file that is ") + row.file);
            run(row.command, folder + '/' + row.file, row.answer);
        }
        const QString panel = tv::forms::statusPanel(tv::forms::Panel::WorkPath);
        lines << QString::fromLatin1(row.command) + ' ' + row.file + " | " + said().mid(1).join(" -> ") + " -> " +
                     outcome() + " | " + (panel == start ? "kept" : panel) + " | " + tv::state().DataFilePath;
        tv::forms::setStatusPanel(tv::forms::Panel::WorkPath, start);  // after a window that did open
    }
    script::setUnexpectedHandler(failing);
    expectGolden(lines.replaceInStrings(folder, "$DIR"), "frame_refused_data_files.txt");
}

// 新建 cancelled in its progress dialog (shown from the first piece on), onto
// a new name and onto an old file the user chose to replace: no file is
// made, the old one stays as it was, no temporary file is left and no window
// opens on either.
TEST_F(MainWindowTest, NewDataFileCancelledWhileItCopiesLeavesNoFileAndTheOldOneIntact) {
    const QString old = dataFile("old.mdb");
    tv::test::execSql(old, "INSERT INTO zfdj (fjh) VALUES ('101');");
    const QByteArray kept = bytesOf(old);
    open();
    QStringList shown;
    tv::dlg::progress::setShowAfter(0);
    tv::dlg::progress::setWatcher([&](QProgressDialog& dialog) {
        shown << dialog.windowTitle() + '|' + dialog.labelText().section('\n', 0, 1);
        QTest::mouseClick(dialog.findChild<QPushButton*>(), Qt::LeftButton);
    });
    run("MNUnew", folder + "/新.mdb");
    EXPECT_EQ((said() << outcome()).join(" -> "), "openFile:新建公寓数据 @" + folder + " -> nothing");
    run("MNUnew", old, tv::dlg::Yes);
    EXPECT_EQ((said() << outcome()).join(" -> "),
              "openFile:新建公寓数据 @" + folder + " -> 提示！|文件“" + old + "”已经存在，要替换它吗？|36 -> nothing");
    tv::dlg::progress::setWatcher(nullptr);
    tv::dlg::progress::setShowAfter(1000);
    EXPECT_EQ(shown, (QStringList{"文件复制|正在复制“" + templatePath() + "”\n到“" + folder + "/新.mdb”",
                                  "文件复制|正在复制“" + templatePath() + "”\n到“" + old + "”"}));
    EXPECT_EQ(bytesOf(old), kept);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name).join(' '), "Rave.ini old.mdb vamo.CHM");
}

// 新建 over an old file on a full disk, and over a file marked read-only
// (refused before the question): the old file stays as it was, nothing else
// is left, no window opens, and the reason is the true one.
TEST_F(MainWindowTest, NewDataFileOnAFullDiskOrOverAReadOnlyFileLeavesTheOldOneAndSaysWhy) {
    open();
    tv::test::FullDisk disk;
    const QString old = disk.filePath("old.mdb"), readOnly = dataFile("只读.mdb");
    tv::test::makeDataFile(old);
    const QByteArray kept = bytesOf(old);
    QFile::setPermissions(readOnly, QFile::ReadOwner | QFile::ReadGroup);
    disk.fill();
    const auto failing = script::unexpectedHandler();
    script::setUnexpectedHandler([](const tv::dlg::Call&) {});  // the message after the question: OK
    run("MNUnew", old, tv::dlg::Yes);
    script::setUnexpectedHandler(failing);
    EXPECT_EQ((said() << outcome()).mid(1).join(" -> "),
              "提示！|文件“" + old + "”已经存在，要替换它吗？|36 -> 提示！|新建数据文件失败：“" + old +
                  "”写不进去（磁盘空间不足）。|64 -> nothing");
    EXPECT_EQ(bytesOf(old), kept);
    EXPECT_EQ(disk.files(), QStringList{"old.mdb"});
    run("MNUnew", readOnly, tv::dlg::Yes);
    EXPECT_EQ((said() << outcome()).mid(1).join(" -> "),
              "提示！|新建数据文件失败：“" + readOnly + "”写不进去（文件是只读的）。|64 -> nothing");
}

// The pictures of the program's folder replaced by a FIFO, a device, a huge
// file or a folder: the login window and the main window load at once with
// those pictures (and the toolbar's icons) empty, and say nothing of it.
TEST_F(MainWindowTest, PicturesThatAreFifosDevicesOrHugeLeaveTheirPlacesEmptyAtOnce) {
    const QStringList names = QDir(TV_SOURCE_DIR "/install/BMP").entryList(QDir::Files);
    ASSERT_TRUE(names.contains("T266.JPG") && names.contains("DE11.jpg") && names.contains("TB27.png"));
    for (const QString& kind : tv::test::oddKinds()) {
        SCOPED_TRACE(kind.toStdString());
        QDir(folder + "/BMP").removeRecursively();
        QDir(folder).mkdir("BMP");
        for (const QString& name : names) tv::test::makeOdd(kind, folder + "/BMP/" + name);
        {
            tv::test::Watchdog watchdog("the login and the main window with pictures that are a " + kind.toStdString());
            script::begin();
            Main();
            for (const char* image : {"Image1", "Image2"})
                EXPECT_TRUE(find<QLabel>(tv::forms::the<FrmXTMM>(), image)->pixmap().isNull());
            logIn("admin", "472619");
            main = static_cast<MDIVamo*>(Registry::loaded(MDIVamo::kName));
            ASSERT_TRUE(main);
            main->widget()->grab();  // painted with its toolbar
        }
        EXPECT_EQ(said(), QStringList());
        for (QAction* a : find<QToolBar>(*main, "Toolbar1")->actions()) EXPECT_TRUE(a->icon().isNull());
        main->unload();
    }
}

// 新建 from a template that is a FIFO, a device, a huge file, a folder, empty
// or not a data file: the template is refused with its reason before anything
// is asked, and the user's file stays as it was. A data file that is a FIFO
// or a device opens no window that hangs.
TEST_F(MainWindowTest, ATemplateThatIsNoDataFileNeverReplacesTheUsersFile) {
    const QString old = dataFile("old.mdb");
    tv::test::execSql(old, "INSERT INTO zfdj (fjh) VALUES ('101');");
    const QByteArray kept = bytesOf(old);
    open();
    const QString refused = "提示！|新建数据文件失败：模板文件“$DIR/MDB/Lunrek.mdb”";
    const std::pair<QString, QString> rows[] = {
        {"fifo", "打不开（不是普通文件，可能是文件夹、管道或设备）。"},
        {"zero", "打不开（不是普通文件，可能是文件夹、管道或设备）。"},
        {"urandom", "打不开（不是普通文件，可能是文件夹、管道或设备）。"},
        {"fifolink", "打不开（不是普通文件，可能是文件夹、管道或设备）。"},
        {"folder", "打不开（不是普通文件，可能是文件夹、管道或设备）。"},
        {"sparse", "打不开（文件太大）。"},
        {"empty", "已损坏，不是公寓数据文件。"},
        {"text", "已损坏，不是公寓数据文件。"},
        {"no tables", "已损坏，不是公寓数据文件。"},
    };
    for (const auto& [kind, reason] : rows) {
        SCOPED_TRACE(kind.toStdString());
        QFile::remove(templatePath());
        QDir(templatePath()).removeRecursively();
        if (tv::test::oddKinds().contains(kind)) {
            tv::test::makeOdd(kind, templatePath());
        } else {
            QFile f(templatePath());
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(kind == "text" ? "CREATE TABLE zfdj (fjh TEXT);\n" : "");
            f.close();
            if (kind == "no tables")
                tv::test::execSql(templatePath(), "CREATE TABLE zfdj (fjh TEXT);");
        }
        {
            tv::test::Watchdog watchdog("新建 from a template that is a " + kind.toStdString());
            run("MNUnew", old, tv::dlg::Yes);
        }
        EXPECT_EQ((said() << outcome()).join(" -> "), "openFile:新建公寓数据 @" + folder + " -> " +
                                                          QString(refused).replace("$DIR", folder) + reason +
                                                          "|64 -> nothing");
        EXPECT_EQ(bytesOf(old), kept);
    }
    for (const QString& kind : tv::test::oddKinds()) {
        SCOPED_TRACE(kind.toStdString());
        const QString data = folder + "/data-" + kind + ".mdb";
        tv::test::makeOdd(kind, data);
        {
            tv::test::Watchdog watchdog("a data file that is a " + kind.toStdString());
            run("MNUdj", data);
        }
        const QStringList seen = said();
        ASSERT_EQ(seen.size(), 2);
        EXPECT_TRUE(seen[1].startsWith("提示！|")) << seen[1].toStdString();
        outcome();
    }
}

// A session: data windows asked for again, text boxes, the other windows, the
// close box, 退出.
TEST_F(MainWindowTest, DataWindowsComeForwardOnTheirFileAndTheCloseBoxLeavesTopLevelWindowsOpenUntilTheLastGoes) {
    endWithTheLastWindow();
    open();
    const QString a = dataFile("a.mdb"), b = dataFile("b.mdb");
    for (const char* command : {"MNUdj", "MNUzjsd", "MNUglywh", "MNUgy"}) run(command, a);
    run("MNUdj", b);  // asked again: the dialog runs, the window comes forward and keeps its file
    EXPECT_EQ(tv::state().DataFilePath, b);
    auto* checkIn = static_cast<DataWindowStandIn*>(Registry::loaded(kCheckIn));
    EXPECT_EQ(checkIn->Data1->databaseName(), a);
    auto* area = find<QMdiArea>(*main, "MDIClient");
    EXPECT_EQ(area->activeSubWindow(), checkIn->subWindow());
    EXPECT_EQ(area->subWindowList().size(), 2);
    // Ctrl+A selects all and Ctrl+X cuts in a focused text box instead of
    // running their commands (the computation, the end of the program).
    checkIn->Text1->setText("101室");
    checkIn->Text1->setFocus();
    QTest::keyClick(checkIn->Text1, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(checkIn->Text1, Qt::Key_X, Qt::ControlModifier);
    EXPECT_TRUE(checkIn->Text1->text().isEmpty());

    main->widget()->close();
    QCoreApplication::processEvents();
    EXPECT_FALSE(main->isLoaded());
    EXPECT_EQ(DataWindowStandIn::unloads, 2) << "the child windows go with the main window";
    click(*Registry::loaded("FrmMmWh"), "CmdExit");
    QCoreApplication::processEvents();
    EXPECT_TRUE(ended.empty()) << "the about box is still open";
    Form& about = *Registry::loaded("frmAbout");
    script::begin();
    script::answerMsgBox(tv::dlg::Ok);
    click(about, "cmdSysInfo");
    EXPECT_EQ(said(), QStringList{"|此时系统信息不可用|0"});
    QApplication::setActiveWindow(about.widget());
    QTest::keyClick(about.widget(), Qt::Key_Escape);  // 确定: the last window goes by its own code
    QCoreApplication::processEvents();
    EXPECT_TRUE(outcome().startsWith("end 0")) << "the program ends";

    open();
    run("MNUgy");
    run("Exit");  // 退出 ends the top-level windows too
    EXPECT_TRUE(Registry::loadedNames().isEmpty());
    EXPECT_EQ(ended, std::vector<int>{0});
}

// 帮助 (F1): the desktop names a program for help files or none, which opens
// the file or fails; then with xchm there; last without the help file.
TEST_F(MainWindowTest, HelpOpensWithTheDesktopsProgramOrElseXchmOrSaysWhichFileNothingCouldOpen) {
    open();
    QStringList lines;
    for (const QString row :
         {"names opens", "none opens", "names fails xchm", "none opens xchm", "names opens xchm -"}) {
        const QStringList is = row.split(' ');
        fakeProgram("xdg-mime", is[0] == "names" ? "echo xchm.desktop" : "true");
        if (is.size() > 2)
            fakeProgram("xchm", "true");
        if (is.size() > 3)
            QFile::remove(folder + "/vamo.CHM");
        tv::shell::setDesktopHook([this, is](const QUrl& url) { return opened.push_back(url), is[1] == "opens"; });
        script::begin();
        script::answerMsgBox(tv::dlg::Ok);
        QApplication::setActiveWindow(main->widget());
        QTest::keyClick(main->widget(), Qt::Key_F1);
        lines << row + " | " + (said() << outcome()).join(" -> ");
    }
    expectGolden(lines, "frame_help.txt");
}

TEST_F(MainWindowTest, TheWindowMenuListsTheOpenChildWindowsAndTheTilesStackOrStandSideBySide) {
    registerStandIn(kRecords);
    open();
    main->widget()->resize(1000, 800);
    tv::state().DataFilePath = dataFile("a.mdb");
    Registry::instance(kCheckIn)->show();
    Registry::instance(kBilling)->show();
    Registry::instance(kRecords)->load();  // loaded hidden, as another window may do
    Registry::loaded(kBilling)->unload();  // gone, its widgets not yet deleted
    auto* menu = find<QMenu>(*main, "MNUck");
    emit menu->aboutToShow();
    QStringList items;
    for (QAction* a : menu->actions()) items << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(items, QStringList({"层叠", "横向平铺", "纵向平铺", "排列图标", "-", "&1 FrmRzdj(a.mdb)"}));

    std::vector<QMdiSubWindow*> w;
    for (const char* name : {kCheckIn, kRecords, kBilling}) {
        Registry::instance(name)->show();
        w.push_back(Registry::loaded(name)->subWindow());
    }
    w[2]->showMinimized();
    const QRect client = find<QMdiArea>(*main, "MDIClient")->viewport()->rect();
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

// 打印 prints from the data window that loaded last: the registration form or
// the two-record window after the check-in or records window, the receipts
// after a fee window (answer 0 says so and prints nothing there). One record
// only from a window with a current row: not from these stand-ins.
TEST_F(MainWindowTest, ThePrintButtonPrintsFromTheDataWindowLoadedLast) {
    registerStandIn(kPairPrint);
    Registry::add(kFees, [] { return new tv::fees::FrmZsdwh; });
    tv::print::Printer::useFiles({}, {});
    open();
    const QString file = dataFile("a.mdb");
    struct Case {
        const char *file, *code, *mode, *answer, *expected;
    };
    const Case cases[] = {
        {"", "YE4", "", "", "提示|文件没打开，请打开文件后再试！|64 -> nothing"},
        {"a", "YE1", "YE1", "", "提示！|没有当前记录，不能打印！|64 -> nothing [YE1]"},
        {"a", "YE1", "YE2", "", "FrmDyjl(a.mdb) [YE2]"},
        {"a", "YE1", "", "", "nothing []"},
        {"a", "YE2", "", "", "FrmDyjl(a.mdb) [YE1]"},
        {"a", "YE3", "", "0",
         "inputBox:打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)： -> "
         "提示|您没有正确选择选项,默认取值为 2 ！|64 -> nothing"},
        {"a", "YE4", "", "1.0",
         "inputBox:打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)： -> "
         "提示！|没有当前记录，不能打印！|64 -> nothing"},
        {"a", "YE4", "", "2",
         "inputBox:打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)： -> "
         "提示|数据表没有记录！|64 -> FrmZsdwh"},
        {"a", "YE3", "", "3", "inputBox:打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)： -> nothing"},
        {"a", "YE3", "", "x", "inputBox:打印单条记录请选'1';打印全部记录请选'2',提示：只能输入(1,2)： -> nothing"},
        {"a", "", "", "", "nothing"},
    };
    for (const Case& c : cases) {
        tv::state().DataFilePath = *c.file ? file : QString();
        tv::state().ActiveFormCode = tv::test::formCode(QString::fromLatin1(c.code));
        tv::state().SheetChoice = tv::test::sheets(QString::fromLatin1(c.mode));
        script::begin();
        if (*c.answer)
            script::answerInput(QString::fromUtf8(c.answer));
        script::answerMsgBox(tv::dlg::Ok);
        action("Printer")->trigger();
        QString result = (said() << outcome()).join(" -> ");
        if (!tv::print::Printer::traceLines().isEmpty())
            result.replace("nothing", "printed");
        if (QString::fromLatin1(c.code) == "YE1" || QString::fromLatin1(c.code) == "YE2")
            result += " [" + tv::test::text(tv::state().SheetChoice) + ']';
        tv::print::Printer::clearTrace();
        EXPECT_EQ(result, QString::fromUtf8(c.expected)) << c.code << ' ' << c.answer;
    }
}

// The status bar at both screen sizes, in the program's font: its panels
// are sunken boxes drawn whole, none against the window's edge, each text
// clear of its frame. A short path shows whole; a path too long for panel 1
// shows its start and its file name with "…" between and whole in the
// tooltip, while the panel's text stays the whole path.
TEST_F(MainWindowTest, TheStatusBarShowsEachTextInsideItsPanelAndALongPathShortenedInItsMiddle) {
    const QFont font = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    open();
    QWidget* w = main->widget();
    const QString file = QStringLiteral("公寓数据-二〇二四年三月-最终版.mdb");
    const QString longPath =
        QStringLiteral(
            "工作路径：/home/房东/文档/租房数据/二〇二四年/广州市天河区某某街道某某社区某某路一百二十三号之一某某大厦/"
            "租户资料备份/第一季度/二〇二四年/三月/")
            .repeated(2) +
        file;
    for (const QSize screen : {QSize(1280, 800), QSize(1920, 1080)}) {
        SCOPED_TRACE(screen.width());
        w->resize(screen);
        for (const QString& text : {longPath, QStringLiteral("工作路径：") + folder}) {
            tv::forms::setStatusPanel(tv::forms::Panel::WorkPath, text);
            QApplication::processEvents();
            auto* first = find<QLabel>(*main, "Panel1");
            EXPECT_EQ(tv::forms::statusPanel(tv::forms::Panel::WorkPath), text);
            if (text == longPath) {
                EXPECT_TRUE(first->text().startsWith(QStringLiteral("工作路径：/home/房东/")) &&
                            first->text().contains("…") && first->text().endsWith(file))
                    << first->text().toStdString();
                EXPECT_EQ(first->toolTip(), text);
            } else {
                EXPECT_EQ(first->text() + first->toolTip(), text);
            }
            const int edge = tv::forms::px(60) - 1;
            for (const char* name : {"Panel1", "Panel2", "Panel3", "Panel4"}) {
                auto* panel = find<QLabel>(*main, name);
                const QRect box(panel->mapTo(w, QPoint(0, 0)), panel->size());
                EXPECT_TRUE(panel->rect().contains(panel->frameRect())) << name;
                EXPECT_TRUE(w->rect().marginsRemoved(QMargins(edge, 0, edge, 1)).contains(box)) << name;
                const int room = panel->contentsRect().width() - 2 * panel->indent();
                EXPECT_LE(panel->fontMetrics().horizontalAdvance(panel->text()), room) << name;
            }
        }
    }
    QApplication::setFont(font);
}

// A 新建 that made no file leaves no data file open: refused, failed or
// cancelled while it copies, the print command then says that no file is
// open (the check-in window, loaded last, would print from it). One that
// made its file, or kept the old one, leaves that file open.
TEST_F(MainWindowTest, ANewDataFileThatWasNotMadeLeavesNoDataFileOpen) {
    const QString old = dataFile("old.mdb");
    open();
    const struct {
        const char* name;
        tv::dlg::Button answer;
        bool cancel;  // in the copy's progress dialog
        const char* open;
    } rows[] = {
        {"MDB", tv::dlg::Ok, false, ""},
        {"Rave.ini", tv::dlg::Ok, false, ""},
        {"无此目录/x.mdb", tv::dlg::Ok, false, ""},
        {"new.mdb", tv::dlg::Ok, true, ""},
        {"old.mdb", tv::dlg::Yes, true, ""},
        {"old.mdb", tv::dlg::No, false, "old.mdb"},
        {"new.mdb", tv::dlg::Ok, false, "new.mdb"},
    };
    QStringList got, expected;
    for (const auto& r : rows) {
        tv::dlg::progress::setShowAfter(r.cancel ? 0 : 1000);
        tv::dlg::progress::setWatcher(
            [](QProgressDialog& d) { QTest::mouseClick(d.findChild<QPushButton*>(), Qt::LeftButton); });
        run("MNUnew", folder + '/' + r.name, r.answer);
        said(), outcome();
        tv::dlg::progress::setWatcher(nullptr);
        tv::state().ActiveFormCode = tv::FormCode::CheckIn;
        tv::state().SheetChoice = tv::Sheets::Unchosen;
        run("Printer");
        got << QString::fromUtf8(r.name) + ": " + QFileInfo(tv::state().DataFilePath).fileName() + " | " +
                   said().join(";");
        expected << QString::fromUtf8(r.name) + ": " + r.open + " | " +
                        (*r.open ? "" : "提示|文件没打开，请打开文件后再试！|64");
    }
    tv::dlg::progress::setShowAfter(1000);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(bytesOf(old), bytesOf(templatePath()));
}

}  // namespace
}  // namespace tv::frame::test
