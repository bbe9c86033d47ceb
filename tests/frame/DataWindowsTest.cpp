// Every print of one record, driven with the program's own windows on one data
// file (2 registrations, their 2 bills): once as it is, once after a step that
// leaves the window without a current row (a search that finds nothing, the
// last row deleted). With a row it prints; without one it prints nothing and
// says so, or its 打印 is off.
#include "FrameFixture.h"

#include "billing/FrmZsdjs.h"
#include "checkin/FrmRzdj.h"
#include "exchange/Exnac.h"
#include "exchange/fexcel.h"
#include "exchange/outform.h"
#include "fees/FrmTfjs.h"
#include "fees/FrmZsdwh.h"
#include "platform/print/Printer.h"
#include "records/Tenvora.h"
#include "register_print/FrmDyjl.h"
#include "support/Shown.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QMenu>
#include <QRegularExpression>
#include <QTableView>

namespace tv::frame::test {
namespace {

using tv::test::showsWhole;

const char* const kRows =
    "INSERT INTO zfdj (fjh, jzrs, xm, sfzhm, ysno) VALUES ('A101', 1, '张三', '1', '在住'), ('A102', 2, '李四', "
    "'2', '在住'); INSERT INTO fzsdjs SELECT '2024-03-01', fjh, xm, sfzhm, 800, '2024-02-01', '2024-02-29', 110, "
    "100, 10, 3.2, 32, 2100, 2000, 100, 0.68, 68, 5, 905 FROM zfdj;";

template <class T>
void add() {
    Registry::add(QString::fromLatin1(T::kName), [] { return new T(); });
}

class DataWindowsTest : public FrameTest {
protected:
    void SetUp() override {
        FrameTest::SetUp();
        add<MDIVamo>();
        add<tv::checkin::FrmRzdj>();
        add<tv::records::Tenvora>();
        add<tv::billing::FrmZsdjs>();
        add<tv::fees::FrmZsdwh>();
        add<tv::fees::FrmTfjs>();
        add<tv::register_print::FrmDyjl>();
        add<tv::exchange::Exnac>();
        add<tv::exchange::outform>();
        add<tv::exchange::fexcel>();
        add<FrmMmWh>();
        add<frmAbout>();
        script::setUnexpectedHandler([](const tv::dlg::Call&) {});  // unanswered: OK, or No to a question
        tv::print::Printer::useFiles({}, {});
        Registry::instance(MDIVamo::kName)->show();
    }
    void TearDown() override {
        tv::print::Printer::reset();
        FrameTest::TearDown();
    }

    // Steps, ';' between, each in the window `home` unless it names one
    // ("FrmDyjl.CmdCx"; "main.Printer" is a button of the main window's
    // toolbar): "Name" clicks, "Name=text" types, "Name:=text" chooses from a
    // list, "Name@@r" double-clicks row r, "in=text", "file=name" (name.mdb in
    // the program folder) and "yes" answer the next input box, file dialog and
    // question. The outcome of the last step: what it said,
    // and whether it printed; "off" when it was a button that is disabled.
    QString run(const QString& home, const QString& steps) {
        QString off;
        for (const QString& step : steps.split(';', Qt::SkipEmptyParts)) {
            const QString target = step.contains('.') ? step.section('.', 0, 0) : home;
            const QString what = step.section('.', -1), name = what.section(QRegularExpression("[:=@]"), 0, 0),
                          arg = what.section(QRegularExpression(":?=|@@"), 1);
            off.clear();
            if (name == "in")
                script::answerInput(arg);
            else if (name == "file")
                script::answerFile(folder + '/' + arg + ".mdb");
            else if (name == "yes")
                script::answerMsgBox(tv::dlg::Yes);
            else if (target == "main")
                Registry::loaded(MDIVamo::kName)->control<QAction>(name)->trigger();
            else if (auto* box = control<QLineEdit>(target, name); box && what.contains('='))
                box->setText(arg);
            else if (auto* list = control<QComboBox>(target, name)) {
                list->setCurrentIndex(list->findText(arg));
                emit list->activated(list->currentIndex());
            } else if (auto* grid = control<QTableView>(target, name)) {
                const QRect cell = grid->visualRect(grid->model()->index(arg.toInt() - 1, 1));
                QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
                QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
            } else if (auto* button = control<QAbstractButton>(target, name)) {
                off = button->isEnabled() ? "" : " (off)";
                button->click();
            } else {
                ADD_FAILURE() << "no step " << step.toStdString();
            }
        }
        QStringList said;
        for (const tv::dlg::Call& c : script::calls())
            if (c.kind == "msgBox")
                said << c.title + ':' + c.text;
        script::clearCalls();
        const bool printed = !tv::print::Printer::traceLines().isEmpty();
        tv::print::Printer::clearTrace();
        return said.join(';') + (printed ? " -> printed" : " -> nothing") + off;
    }
    template <class T>
    static T* control(const QString& window, const QString& name) {
        Form* form = Registry::loaded(window);
        return form ? form->control<T>(name) : nullptr;
    }
};

TEST_F(DataWindowsTest, APrintOfOneRecordTakesTheCurrentRowAndWithoutOnePrintsNothing) {
    struct Row {
        const char *what, *window, *command, *setup, *lose, *print, *withRow, *without;
    };
    const char* const paper = "提示！:请调整好纸宽后：按(确认)后继续！ -> printed";
    const char* const noRow = "提示！:没有当前记录，不能打印！ -> nothing";
    const char* const checkInSearch = "CboCxfs:=身份证号;Txtzh=无此人;CmdCx";
    const char* const billSearch = "CboCxxx:=账单数据;CboCxfs:=身份证号;Txtzh=无此人;CmdCx";
    const char* const feeSearch = "CboCxfs:=身份证号;Txtzh=无此人;CmdCx";
    const Row rows[] = {
        {"check-in, one form", "FrmRzdj", "MNUdj", "", checkInSearch, "in=1;CmdPrinter", paper, noRow},
        {"records, 单记录 after a name search", "Tenvora", "MNUcx", "Check1", "CboCxfs:=姓名;Txtzk=无此人;CmdCx",
         "CmdPrinter", paper, noRow},
        {"records, 单记录 after the last row deleted", "Tenvora", "MNUcx", "Check1", "yes;CmdDel;yes;CmdDel",
         "CmdPrinter", paper, " -> nothing (off)"},
        {"records, a room no one lives in", "Tenvora", "MNUcx", "Check1", "CboCxfs:=房号;TxtFh=B999;CmdCx",
         "CmdPrinter", paper, " -> nothing (off)"},
        {"registration records, a pair", "FrmDyjl", "MNUcx", "Tenvora.Check2",
         "CboCxxx:=记录1;CboCxfs:=身份证号;Txtzh=无此人;CmdCx", "CmdPrinter", paper,
         "提示！:请在两个表格中各选择一条记录！ -> nothing"},
        {"main window after the check-in window", "FrmRzdj", "MNUdj", "in=1;CmdPrinter", checkInSearch, "main.Printer",
         paper, noRow},
        {"main window after the computation window", "FrmZsdjs", "MNUzjsd", "", billSearch, "in=1;main.Printer", paper,
         noRow},
        {"main window after the fee records window", "FrmZsdwh", "MNUzdwh", "", feeSearch, "in=1;main.Printer", paper,
         noRow},
        {"computation, one receipt", "FrmZsdjs", "MNUzjsd", "", billSearch, "in=1;CmdPrinter", paper, noRow},
        {"fee records, one receipt", "FrmZsdwh", "MNUzdwh", "", feeSearch, "in=1;CmdPrinter", paper, noRow},
        // The settlement prints the bill chosen and settled, whatever its grid shows afterwards.
        {"settlement", "FrmTfjs", "MNUzdwh", "FrmZsdwh.CmdTfjs;DBGrid1@@1", "Txtjfrq2=2099-1-1;TxtFh2=无;CmdCx",
         "CmdPrinter", paper, paper},
    };
    int run = 0;
    for (const Row& row : rows) {
        for (const bool lose : {false, true}) {
            const QString file = dataFile(QStringLiteral("d%1.mdb").arg(run++));
            tv::test::execSql(file, kRows);
            for (Form* f : Registry::loadedForms())
                if (f->name() != MDIVamo::kName)
                    f->unload();
            tv::state().BillRunPending = false;
            script::begin();
            script::answerFile(file);
            Registry::loaded(MDIVamo::kName)->control<QAction>(row.command)->trigger();
            this->run(row.window, row.setup);
            if (lose)
                this->run(row.window, row.lose);
            EXPECT_EQ(this->run(row.window, row.print), QString::fromUtf8(lose ? row.without : row.withRow))
                << row.what << (lose ? ", without a current row" : "");
        }
    }
}

// The status box (提示) of each data window, at both screen sizes: every text
// the window writes there shows whole, and so does the records window's
// form title; a text longer than the box shows its start, also once the user
// has been in the box and left it.
TEST_F(DataWindowsTest, StatusBoxesShowTheirTextsWholeAndALongerTextFromItsStart) {
    struct Row {
        const char *window, *command;
        std::vector<const char*> texts;
    };
    const Row rows[] = {
        {"FrmRzdj",
         "MNUdj",
         {"添加新记录", "修改当前记录", "数据添加或修改成功", "数据删除成功", "已移动到首记录", "向上移动记录",
          "已移动到尾记录", "向下移动记录", "为您查到一条记录", "没有找到符合条件的记录"}},
        {"Tenvora",
         "MNUcx",
         {"为您查到一条记录", "没有找到符合条件的记录", "为您查到符合条件的记录", "显示全部记录", "数据删除成功"}},
        {"FrmZsdjs",
         "MNUzjsd",
         {"本月数据导入完毕", "上月数据导入完毕", "正在计算租金水电费，请稍侯......", "本月租金水电库中没有记录！",
          "租金水电费计算完成！", "为您查到一条记录", "没有找到符合条件的记录", "为您查到符合条件的记录",
          "显示全部记录", "数据删除成功", "玖仟玖佰玖拾玖元玖角玖分", "玖万玖仟玖佰玖拾玖元玖角玖分"}},
        {"FrmZsdwh",
         "MNUzdwh",
         {"为您查到一条记录", "没有找到符合条件的记录", "为您查到符合条件的记录", "显示全部记录", "数据删除成功",
          "租金水电库中没有记录！", "租金水电费数据刷新完毕！", "其它费用库中没有记录！", "其它费用数据刷新完毕！",
          "租金水电费数据汇总完毕！"}},
    };
    const QString longer = QStringLiteral("这是一段比任何提示都长得多的文字，它的开头必须看得见");
    // The main window again, in the program's own font.
    Registry::loaded(MDIVamo::kName)->unload();
    const QFont font = QApplication::font();
    QApplication::setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    Registry::instance(MDIVamo::kName)->show();
    QWidget* main = Registry::loaded(MDIVamo::kName)->widget();
    QApplication::setActiveWindow(main);
    int files = 0;
    for (const QSize screen : {QSize(1280, 800), QSize(1920, 1080)}) {
        main->resize(screen);
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.window) + " at " + std::to_string(screen.width()));
            script::answerFile(dataFile(QStringLiteral("s%1.mdb").arg(files++)));
            Registry::loaded(MDIVamo::kName)->control<QAction>(row.command)->trigger();
            Form* window = Registry::loaded(row.window);
            ASSERT_TRUE(window);
            auto* box = window->control<QLineEdit>("TxtTs");
            EXPECT_TRUE(box->isReadOnly());
            QStringList cut;
            for (const char* text : row.texts) {
                box->setText(QString::fromUtf8(text));
                if (!showsWhole(box, box->text()))
                    cut << box->text();
            }
            if (auto* title = window->control<QLineEdit>("TxtBt"); title && !showsWhole(title, title->text()))
                cut << title->text();
            EXPECT_EQ(cut, QStringList());
            box->setText(longer);
            EXPECT_FALSE(showsWhole(box, longer));
            EXPECT_EQ(box->cursorPosition(), 0);
            box->setFocus();
            EXPECT_TRUE(box->hasFocus());
            box->end(false);  // the user reads on to the end
            EXPECT_EQ(box->cursorPosition(), longer.size());
            box->clearFocus();
            EXPECT_EQ(box->cursorPosition(), 0);
            window->unload();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
    }
    QApplication::setFont(font);
}

// On a screen too small for their design the data windows are drawn
// smaller; maximised, the room beyond the design goes to their grids, and
// every grid with its caption strip and data source stays inside the window,
// also after the main window changed its size.
TEST_F(DataWindowsTest, OnASmallScreenTheGridsOfEveryDataWindowStayInsideIt) {
    QWidget* main = Registry::loaded(MDIVamo::kName)->widget();
    int files = 0;
    for (const auto& [window, command] :
         {std::pair{"Tenvora", "MNUcx"}, std::pair{"FrmZsdjs", "MNUzjsd"}, std::pair{"FrmZsdwh", "MNUzdwh"}}) {
        SCOPED_TRACE(window);
        main->resize(1280, 700);
        script::answerFile(dataFile(QStringLiteral("g%1.mdb").arg(files++)));
        Registry::loaded(MDIVamo::kName)->control<QAction>(command)->trigger();
        Form* form = Registry::loaded(window);
        ASSERT_TRUE(form);
        EXPECT_LT(form->scale(), 1.0);
        main->resize(1300, 720);
        QStringList outside;
        for (QWidget* w : form->widget()->findChildren<QWidget*>(QRegularExpression("^(DBGrid|Data)\\d")))
            if (!w->isHidden() && !form->widget()->rect().contains(w->geometry()))
                outside << w->objectName();
        EXPECT_EQ(outside, QStringList());
        form->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
}

// Panel 1 of the status bar names the file of the data window in front: each
// window opened on a file of its own, brought forward by the window menu or
// asked for again with another file (it keeps its own), a window of its own
// in front and gone again, and the exits; with no data window left, the
// program folder.
TEST_F(DataWindowsTest, TheStatusBarNamesTheFileOfTheDataWindowInFront) {
    const QString a = dataFile("a.mdb"), b = dataFile("b.mdb"), c = dataFile("c.mdb");
    auto* main = static_cast<MDIVamo*>(Registry::loaded(MDIVamo::kName));
    auto command = [&](const char* name, const QString& file) {
        script::answerFile(file);
        main->control<QAction>(name)->trigger();
    };
    auto forward = [&](const char* window) {  // its item in the window menu
        auto* menu = main->control<QMenu>("MNUck");
        emit menu->aboutToShow();
        for (QAction* item : menu->actions())
            if (item->text().contains(Registry::loaded(window)->widget()->windowTitle()))
                item->trigger();
    };
    auto exit = [&](const char* window) {
        run(window, "CmdExit");
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the event loop would
    };
    QStringList panels;
    auto panel = [&](const QString& step) {
        panels << step + ": " + tv::forms::statusPanel(tv::forms::Panel::WorkPath).replace(folder, "$DIR");
    };
    panel("start");
    command("MNUzdwh", a);
    panel("fee records on a");
    command("MNUdj", b);
    panel("check-in on b");
    forward(kFees);
    panel("fee records forward");
    forward(kCheckIn);
    panel("check-in forward");
    forward(kFees);
    command("MNUdj", c);
    panel("check-in asked for with c");
    command("MNUcx", c);
    panel("records on c");
    // A window of its own in front and gone again: 密码维护 and the about box.
    for (const auto& [item, window, button] :
         {std::tuple{"MNUglywh", "FrmMmWh", "CmdExit"}, std::tuple{"MNUgy", "frmAbout", "cmdOK"}}) {
        main->control<QAction>(item)->trigger();
        QApplication::setActiveWindow(Registry::loaded(window)->widget());
        panel(QString::fromLatin1(window) + " in front");
        run(window, button);
        QApplication::setActiveWindow(main->widget());
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        panel(QString::fromLatin1(window) + " gone");
    }
    exit(kRecords);
    panel("records gone");
    exit(kCheckIn);
    panel("check-in gone");
    exit(kFees);
    panel("fee records gone");
    EXPECT_EQ(panels,
              QStringList({"start: 工作路径：$DIR", "fee records on a: 工作路径：$DIR/a.mdb",
                           "check-in on b: 工作路径：$DIR/b.mdb", "fee records forward: 工作路径：$DIR/a.mdb",
                           "check-in forward: 工作路径：$DIR/b.mdb", "check-in asked for with c: 工作路径：$DIR/b.mdb",
                           "records on c: 工作路径：$DIR/c.mdb", "FrmMmWh in front: 工作路径：$DIR/c.mdb",
                           "FrmMmWh gone: 工作路径：$DIR/c.mdb", "frmAbout in front: 工作路径：$DIR/c.mdb",
                           "frmAbout gone: 工作路径：$DIR/c.mdb", "records gone: 工作路径：$DIR/b.mdb",
                           "check-in gone: 工作路径：$DIR/a.mdb", "fee records gone: $DIR"}));
}

// A data file chosen for a window already open on another one: the window
// keeps its file and says so (新建 made its file all the same), and the data
// file chosen is the one that window has open. The settlement and the
// registration records windows work on the file of the window they were
// opened from, whichever data window loaded last; open on another, they too
// keep theirs and say so. What was said, then each window open with its file
// and the data file chosen.
TEST_F(DataWindowsTest, AWindowOpenOnAnotherDataFileKeepsItAndSaysSoAndWhatItOpensTakesItsFile) {
    const char* const keeps =
        "提示！:“%1”窗口正在处理数据文件“$DIR/a.mdb”，它没有换成“$DIR/b.mdb”。要处理“$DIR/b.mdb”，"
        "请先点该窗口的“返回”关闭它，然后再打开。";
    const char* const made =
        "提示！:新的数据文件“$DIR/b.mdb”已经建好，但“租客入住登记”窗口正在处理数据文件“$DIR/"
        "a.mdb”，它没有换成新的数据文件。要处理新的数据文件，请先点该窗口的“返回”关闭它，然后再打开。";
    const struct {
        const char *what, *steps;
        QString outcome;
    } rows[] = {
        {"fee records asked for with b, then 结算", "file=a;main.MNUzdwh;file=b;main.MNUzdwh;FrmZsdwh.CmdTfjs",
         QString(keeps).arg("租金水电费维护") + " | FrmZsdwh:a.mdb FrmTfjs:a.mdb | a.mdb"},
        {"check-in asked for with b", "file=a;main.MNUdj;file=b;main.Users",
         QString(keeps).arg("租客入住登记") + " | FrmRzdj:a.mdb | a.mdb"},
        {"records asked for with b", "file=a;main.MNUcx;file=b;main.Search",
         QString(keeps).arg("租客记录维护") + " | Tenvora:a.mdb | a.mdb"},
        {"computation asked for with b", "file=a;main.MNUzjsd;file=b;main.statistics",
         QString(keeps).arg("租金水电计算") + " | FrmZsdjs:a.mdb | a.mdb"},
        {"check-in open, 新建 b", "file=a;main.MNUdj;file=b;main.MNUnew", made + QString(" | FrmRzdj:a.mdb | a.mdb")},
        {"check-in open, 新建 b by the toolbar", "file=a;main.MNUdj;file=b;main.TB27",
         made + QString(" | FrmRzdj:a.mdb | a.mdb")},
        {"fee records open, 新建 b opens the check-in window on it, then 结算",
         "file=a;main.MNUzdwh;file=b;main.MNUnew;FrmZsdwh.CmdTfjs",
         " | FrmRzdj:b.mdb FrmZsdwh:a.mdb FrmTfjs:a.mdb | b.mdb"},
        {"check-in on a, records on b, check-in prints two",
         "file=a;main.MNUdj;file=b;main.MNUcx;FrmRzdj.in=2;FrmRzdj.CmdPrinter",
         " | FrmRzdj:a.mdb Tenvora:b.mdb FrmDyjl:a.mdb | b.mdb"},
        {"records on a, check-in on b, 双记录", "file=a;main.MNUcx;file=b;main.MNUdj;Tenvora.Check2",
         " | FrmRzdj:b.mdb Tenvora:a.mdb FrmDyjl:a.mdb | b.mdb"},
        {"settlement open on a, fee records again on b, 结算",
         "file=a;main.MNUzdwh;FrmZsdwh.CmdTfjs;FrmZsdwh.CmdExit;file=b;main.MNUzdwh;FrmZsdwh.CmdTfjs",
         QString(keeps).arg("租客退房结算") + " | FrmZsdwh:b.mdb FrmTfjs:a.mdb | b.mdb"},
        {"registration records open on a, check-in again on b prints two",
         "file=a;main.MNUdj;in=2;FrmRzdj.CmdPrinter;FrmRzdj.CmdExit;file=b;main.MNUdj;in=2;FrmRzdj.CmdPrinter",
         QString(keeps).arg("FrmDyjl") + " | FrmRzdj:b.mdb FrmDyjl:a.mdb | b.mdb"},
    };
    const char* const windows[] = {kCheckIn, kRecords, kBilling, kFees, kSettlement, kPairPrint};
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        for (Form* f : Registry::loadedForms())
            if (f->name() != MDIVamo::kName)
                f->unload();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        script::begin();
        const QString a = QStringLiteral("a%1").arg(n), b = QStringLiteral("b%1").arg(n++);
        tv::test::execSql(dataFile(a + ".mdb"), kRows);
        if (!QString(row.steps).contains("MNUnew") && !QString(row.steps).contains("TB27"))
            tv::test::execSql(dataFile(b + ".mdb"), kRows);
        const QString steps = QString(row.steps).replace("file=a", "file=" + a).replace("file=b", "file=" + b);
        QString seen = run("", steps).section(" -> ", 0, 0);
        QStringList open;
        for (const char* window : windows)
            if (auto* source = control<tv::forms::DataControl>(window, "Data1"))
                open << QString::fromLatin1(window) + ':' + QFileInfo(source->databaseName()).fileName();
        seen += " | " + open.join(' ') + " | " + QFileInfo(tv::state().DataFilePath).fileName();
        EXPECT_EQ(seen.replace(folder, "$DIR").replace(a + ".mdb", "a.mdb").replace(b + ".mdb", "b.mdb"), row.outcome);
        EXPECT_TRUE(QFileInfo::exists(folder + '/' + b + ".mdb"));
    }
}

// Every window with an exit button, left by its close box (Alt+F4 asks a
// window of its own to close the same way) and, inside the main window, by
// Ctrl+F4, leaves the program as its exit button does: the windows left
// shown (a hidden one marked so), the data file chosen, the status bar's
// first panel, and whether the records window offers 单记录 again.
TEST_F(DataWindowsTest, TheCloseBoxAndCtrlF4LeaveEveryWindowAsItsExitButtonDoes) {
    struct Row {
        const char *window, *open, *exit, *left;
    };
    const Row rows[] = {
        {"FrmRzdj", "main.MNUdj", "CmdExit", "- | - | $DIR"},
        {"FrmRzdj", "main.MNUdj;CmdTj;Txtfjh=301", "CmdExit", "- | - | $DIR"},  // adding: the row is dropped
        {"Tenvora", "main.MNUcx", "CmdExit", "- | - | $DIR"},
        {"FrmZsdjs", "main.MNUzjsd", "CmdExtt", "- | - | $DIR"},
        {"FrmZsdwh", "main.MNUzdwh", "CmdExit", "- | - | $DIR"},
        {"FrmTfjs", "main.MNUzdwh;FrmZsdwh.CmdTfjs", "CmdExit", "FrmZsdwh | $DATA | 工作路径：$DATA"},
        {"FrmDyjl", "main.MNUcx;Tenvora.Check2", "CmdEixt", "Tenvora | - | 工作路径：$DATA | 单记录 on"},
        {"outform", "main.Shared;Exnac.Option2;Exnac.CmdQr", "CmdTc", "Exnac | - | 工作路径：$DIR"},
        {"fexcel", "main.Shared;Exnac.Option1;Exnac.CmdQr", "cmd2", "Exnac | - | 工作路径：$DIR"},
        {"FrmMmWh", "main.MNUglywh", "CmdExit", "- | - | $DIR"},
        {"frmAbout", "main.MNUgy", "cmdOK", "- | - | 工作路径：$DIR"},
    };
    auto* main = static_cast<MDIVamo*>(Registry::loaded(MDIVamo::kName));
    int files = 0;
    QString data;
    auto left = [&] {
        QStringList shown;
        for (Form* f : Registry::loadedForms())
            if (f != main)
                shown << f->name() + (f->widget()->isVisible() ? "" : "(hidden)");
        const QString single =
            Registry::isLoaded("Tenvora") && control<QAbstractButton>("Tenvora", "Check1")->isEnabled() ? " | 单记录 on"
                                                                                                        : "";
        const QString file = tv::state().DataFilePath;
        return QString((shown.isEmpty() ? "-" : shown.join(' ')) + " | " + (file.isEmpty() ? "-" : file) + " | " +
                       tv::forms::statusPanel(tv::forms::Panel::WorkPath) + single)
            .replace(data, "$DATA")
            .replace(folder, "$DIR");
    };
    for (const Row& row : rows) {
        for (const char* way : {"exit", "close box", "Ctrl+F4"}) {
            SCOPED_TRACE(std::string(row.window) + ", " + row.open + ", " + way);
            for (Form* f : Registry::loadedForms())
                if (f != main)
                    f->unload();
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            // The status bar as the main window's load wrote it (the windows
            // above went without their exit, as no user makes them go).
            tv::forms::setStatusPanel(tv::forms::Panel::WorkPath, "工作路径：" + folder);
            data = dataFile(QStringLiteral("c%1.mdb").arg(files++));
            tv::test::execSql(data, kRows);
            tv::state().DataFilePath.clear();
            script::begin();
            script::answerFile(data);  // for the data windows
            run(row.window, row.open);
            Form* window = Registry::loaded(row.window);
            ASSERT_TRUE(window && window->widget()->isVisible());
            auto* exit = window->control<QAbstractButton>(row.exit);
            if (QLatin1String(way) == "exit") {
                if (!exit->isEnabled())
                    continue;  // off while adding: only the close box leaves
                run(row.window, row.exit);
            } else if (QLatin1String(way) == "close box") {
                window->subWindow() ? window->subWindow()->close() : window->widget()->close();
            } else if (window->subWindow()) {
                QApplication::setActiveWindow(main->widget());
                QTest::keyClick(window->widget()->focusWidget() ? window->widget()->focusWidget() : window->widget(),
                                Qt::Key_F4, Qt::ControlModifier);
            } else {
                continue;  // a window of its own closes by Alt+F4, its close box
            }
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            EXPECT_EQ(left(), QString::fromUtf8(row.left));
        }
    }
    EXPECT_EQ(tv::test::queryText(dataFile("c1.mdb", false), "SELECT count(*) FROM zfdj"), "2");
}

// Ctrl+X, Ctrl+A and F2 in a grid act on the grid as in a text box: the
// cell cut (kept as typed until the row is left), the grid's own selection,
// the cell edited; elsewhere in the same window they run the menu's commands:
// the about box, the computation window's file dialog, the end of the
// program, and the cut cell was stored when the focus left the grid.
TEST_F(DataWindowsTest, InAGridCtrlXCtrlAAndF2ActOnTheGridAndElsewhereRunTheMenusCommands) {
    const QString file = dataFile("keys.mdb");
    tv::test::execSql(file, kRows);
    script::begin();
    script::answerFile(file);
    Registry::loaded(MDIVamo::kName)->control<QAction>("MNUzdwh")->trigger();
    auto* grid = control<QTableView>("FrmZsdwh", "DBGrid2");
    ASSERT_TRUE(grid);
    int name = 0;  // the column of the tenant's name
    while (name < grid->model()->columnCount() && grid->model()->index(0, name).data() != "张三") ++name;
    ASSERT_LT(name, grid->model()->columnCount());
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(grid->model()->index(0, name)).center());
    QApplication::clipboard()->clear();
    const struct {
        const char* where;  // the grid or a button of the same window
        QKeySequence key;
        const char* outcome;
    } rows[] = {
        {"DBGrid2", QKeySequence(Qt::CTRL | Qt::Key_A), "张三 |  |  | 张三"},
        {"DBGrid2", QKeySequence(Qt::Key_F2), "张三 | editing |  | 张三"},
        {"DBGrid2", QKeySequence(Qt::Key_Escape), "张三 |  |  | 张三"},
        {"DBGrid2", QKeySequence(Qt::CTRL | Qt::Key_X), " | ✎ | 张三 | 张三"},
        {"CmdHz", QKeySequence(Qt::Key_F2), " |  | 张三 | (null) -> frmAbout"},
        {"CmdHz", QKeySequence(Qt::CTRL | Qt::Key_A), " |  | 张三 | (null) -> openFile"},
        {"CmdHz", QKeySequence(Qt::CTRL | Qt::Key_X), "(gone) | (null) -> end 0"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.where) + ' ' + row.key.toString().toStdString());
        script::clearCalls();
        if (Form* about = Registry::loaded("frmAbout"))
            about->unload();
        QApplication::setActiveWindow(Registry::loaded(MDIVamo::kName)->widget());
        QWidget* target = control<QWidget>("FrmZsdwh", row.where);
        if (QApplication::focusWidget() == nullptr || !target->isAncestorOf(QApplication::focusWidget()))
            target->setFocus();
        QTest::keySequence(QApplication::focusWidget(), row.key);
        QCoreApplication::processEvents();
        // The cell, the grid editing or the row typed, the clipboard; the
        // name in the file; then the windows and dialogs the key brought.
        QStringList seen;
        if (Registry::isLoaded("FrmZsdwh"))
            seen << grid->model()->index(0, name).data().toString()
                 << (qobject_cast<QLineEdit*>(QApplication::focusWidget()) &&
                             grid->isAncestorOf(QApplication::focusWidget())
                         ? "editing"
                     : grid->model()->headerData(0, Qt::Vertical) == "✎" ? "✎"
                                                                         : "")
                 << QApplication::clipboard()->text();
        else
            seen << "(gone)";
        seen << tv::test::queryText(file, "SELECT coalesce(xm, '(null)') FROM fzsdjs ORDER BY fjh LIMIT 1");
        QStringList brought;
        if (Registry::isLoaded("frmAbout"))
            brought << "frmAbout";
        for (const tv::dlg::Call& c : script::calls()) brought << c.kind;
        for (int code : std::exchange(ended, {})) brought << QStringLiteral("end %1").arg(code);
        EXPECT_EQ(seen.join(" | ") + (brought.isEmpty() ? "" : " -> " + brought.join(", ")),
                  QString::fromUtf8(row.outcome));
        if (!Registry::isLoaded(MDIVamo::kName))
            break;
    }
}

}  // namespace
}  // namespace tv::frame::test
