// Windows, the registry, the handler guard, the status panels and the twips.
#include "Fixtures.h"

#include "platform/print/Printer.h"

#include <QInputDialog>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMessageBox>
#include <QTimer>

using namespace tv::forms;
using tv::test::FrmDemo;

namespace {

using FormTest = tv::test::DemoTest;

void flushDeletes() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

}  // namespace

TEST_F(FormTest, OneInstanceLoadedOnDemandItsControlsAndOfferingsLiveOnlyWhileLoadedItsVariablesOutliveThem) {
    EXPECT_EQ(Registry::instance(QStringLiteral("FrmNone")), nullptr);
    EXPECT_EQ(Registry::instance(QStringLiteral("FrmDemo")), &demo);
    setStatusPanel(tv::forms::Panel::WorkPath,
                   QStringLiteral("就绪"));  // nobody offers the panels yet: nothing happens
    EXPECT_TRUE(statusPanel(tv::forms::Panel::WorkPath).isEmpty() && Registry::loadedAs<StatusPanels>() == nullptr);
    EXPECT_TRUE(!Registry::loaded(QStringLiteral("FrmDemo")) && !demo.isLoaded());  // asking does not load
    demo.load();
    demo.load();
    // Loaded once, not shown.
    EXPECT_TRUE(demo.loads == 1 && !demo.widget()->isVisible() && Registry::loadedNames() == QStringList{"FrmDemo"});
    EXPECT_EQ(Registry::loadedAs<StatusPanels>(), static_cast<StatusPanels*>(&demo));
    setStatusPanel(tv::forms::Panel::WorkPath, QStringLiteral("就绪"));
    EXPECT_EQ(caption() + statusPanel(tv::forms::Panel::WorkPath), QStringLiteral("就绪就绪"));
    QPointer<QPushButton> old = ui().CmdQr;
    demo.unload();
    EXPECT_TRUE(statusPanel(tv::forms::Panel::WorkPath).isEmpty() && Registry::loadedAs<StatusPanels>() == nullptr);
    old->click();  // an old control, not yet deleted, runs no handler of the window
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    guard([&] { ui(); });  // reaching the controls of an unloaded window is told, no crash
    EXPECT_EQ(boxes(), QStringList{QStringLiteral("窗口没有打开。|提示！|64")});
    flushDeletes();
    EXPECT_TRUE(old.isNull() && demo.unloads == 1);
    demo.show();
    QWidget* shown = demo.widget();
    demo.show();  // only raises
    EXPECT_TRUE(demo.loads == 2 && demo.widget() == shown && shown->isVisible());
    EXPECT_EQ(caption(), "#1 / 3");  // the handlers reach the fresh controls, on the same data file
    click("CmdExit");                // a window may unload itself from its own handler, and come back
    EXPECT_FALSE(demo.isLoaded());
    flushDeletes();
    demo.show();
    EXPECT_TRUE(demo.isLoaded());
}

TEST_F(FormTest, ChildrenLiveInTheMdiAreaAndTheCloseBoxAsksBeforeUnloading) {
    QMdiArea area;
    area.show();
    Registry::setMdiArea(&area);
    Registry::add(QStringLiteral("FrmChild"), [] { return new FrmDemo("FrmChild", FrmDemo::Kind::MdiChild); });
    auto& c = *static_cast<FrmDemo*>(Registry::instance(QStringLiteral("FrmChild")));
    c.dataFile = file;
    c.show();
    demo.show();
    ASSERT_TRUE(c.subWindow() && c.subWindow()->mdiArea() == &area);
    EXPECT_TRUE(demo.widget()->isWindow() && !demo.widget()->parentWidget());  // closing the main window leaves it
    for (FrmDemo* w : {&c, &demo}) {
        QWidget* frame = w->subWindow() ? static_cast<QWidget*>(w->subWindow()) : w->widget();
        w->allowClose = false;
        EXPECT_TRUE(!frame->close() && w->isLoaded());
        w->allowClose = true;
        EXPECT_TRUE(frame->close() && !w->isLoaded() && w->unloads == 1);
    }
    flushDeletes();
    EXPECT_TRUE(area.subWindowList().isEmpty());
}

TEST_F(FormTest, AnEscapedErrorBecomesAPromptAndAbortsThePrintJob) {
    using tv::print::Printer;
    Printer::useFiles(QString(), QString());
    demo.failLoad = true;
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    demo.show();  // the load handler fails: told, the window stays
    EXPECT_TRUE(demo.isLoaded() && demo.widget()->isVisible());
    guard([] { Printer::device().printLine({tv::print::at(1, QStringLiteral("收据"))}); });
    EXPECT_TRUE(Printer::device().isOpen());  // a handler that ends normally keeps its job
    guard([] { throw tv::print::PrintError(QStringLiteral("打印机没有纸了。")); });
    EXPECT_FALSE(Printer::device().isOpen());
    EXPECT_EQ(Printer::traceLines().last(), "abort");
    Printer::reset();
    EXPECT_EQ(boxes(),
              (QStringList{QStringLiteral("load failed|提示！|64"), QStringLiteral("打印机没有纸了。|提示！|64")}));
}

// The cursor while handlers run, nested and throwing, and in the windows
// they open that wait for the user (shown for real, closed as soon as the
// waiting starts): the wait cursor while a handler works, the normal one in
// every box that waits, and none left once the outermost handler is done.
TEST_F(FormTest, HandlersShowTheWaitCursorAndTheBoxesTheyOpenTheNormalOne) {
    auto cursor = [] {
        const QCursor* c = QGuiApplication::overrideCursor();
        return !c                             ? QStringLiteral("normal")
               : c->shape() == Qt::WaitCursor ? QStringLiteral("wait")
                                              : QStringLiteral("other");
    };
    QStringList cursors;
    auto note = [&](const char* at) { cursors << QString::fromUtf8(at) + ": " + cursor(); };
    // The next window that waits: what it is and the cursor it shows with; then it is closed.
    auto answerNext = [&] {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            cursors << (qobject_cast<QMessageBox*>(box) ? "message box: "
                        : box                           ? "input box: "
                                                        : "nothing: ") +
                           cursor();
            if (box)
                box->reject();
        });
    };
    const auto unexpected = tv::dlg::script::unexpectedHandler();
    tv::dlg::script::end();
    tv::dlg::script::setUnexpectedHandler(nullptr);  // the boxes are shown and wait
    guard([&] {
        note("handler");
        answerNext();
        tv::dlg::msgBox(QStringLiteral("已到尾记录！"), tv::dlg::Info, QStringLiteral("提示！"));
        note("after the box");
        answerNext();
        tv::dlg::inputBox(QStringLiteral("打印单条记录请选'1'"), QStringLiteral("输入提示"), QStringLiteral("2"));
        note("after the input box");
        guard([&] { note("nested handler"); });
        note("after the nested handler");
        answerNext();
        guard([&] { throw std::runtime_error("nested failure"); });
        note("after the nested failure");
    });
    note("handler done");
    answerNext();
    guard([&] {
        note("failing handler");
        throw tv::DbError(QStringLiteral("数据查询失败！"));
    });
    note("failure told");
    tv::dlg::script::setUnexpectedHandler(unexpected);
    tv::dlg::script::begin();
    EXPECT_EQ(cursors.join('\n').toStdString(),
              QStringList({"handler: wait", "message box: normal", "after the box: wait", "input box: normal",
                           "after the input box: wait", "nested handler: wait", "after the nested handler: wait",
                           "message box: normal", "after the nested failure: wait", "handler done: normal",
                           "failing handler: wait", "message box: normal", "failure told: normal"})
                  .join('\n')
                  .toStdString());
}

TEST(Geometry, TwipsRoundToTheNearestPixel) {
    for (auto [tw, want] : std::vector<std::pair<double, int>>{{7, 0}, {8, 1}, {15, 1}, {22, 1}, {23, 2}, {1440, 96}})
        EXPECT_EQ(px(tw), want) << tw;
    EXPECT_EQ(twips(120, 5400, 6000, 375), QRect(8, 360, 400, 25));
}
