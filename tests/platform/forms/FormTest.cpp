#include "Fixtures.h"

#include "platform/forms/Guard.h"
#include "platform/print/Printer.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>

using tv::forms::Form;
using tv::forms::Registry;

namespace {

class Probe : public Form {
public:
    static constexpr const char* kName = "FrmProbe";
    explicit Probe(Kind kind = Kind::TopLevel) : Form(QString::fromLatin1(kName), kind) {}
    int loads = 0, unloads = 0;
    bool allowClose = true, throwOnLoad = false;
    QString kept;  // an instance variable that outlives unload
    void click(const char* name) { QTest::mouseClick(control<QPushButton>(QString::fromLatin1(name)), Qt::LeftButton); }

protected:
    void build(QWidget* root) override {
        root->setWindowTitle(QStringLiteral("探针"));
        root->resize(300, 200);
        auto* quit = new QPushButton(QStringLiteral("退出"), root);
        quit->setObjectName(QStringLiteral("CmdTc"));
        tv::forms::onClick(quit, [this] { unload(); });
        auto* fail = new QPushButton(QStringLiteral("出错"), root);
        fail->setObjectName(QStringLiteral("CmdCc"));
        tv::forms::onClick(fail, [] { throw tv::DbError(QStringLiteral("数据类型转换错误。")); });
    }
    void onLoad() override {
        ++loads;
        if (throwOnLoad)
            throw std::runtime_error("load failed");
    }
    void onUnload() override { ++unloads; }
    bool onQueryClose() override { return allowClose; }
};

class Child : public Probe {
public:
    static constexpr const char* kName = "FrmChild";
    Child() : Probe(Kind::MdiChild) {}
};

using FormTest = tv::test::ScriptedTest;

}  // namespace

TEST_F(FormTest, OneInstancePerClassLoadUnloadKeepItsVariables) {
    Registry::add(QStringLiteral("FrmProbe"), [] { return new Probe(); });
    EXPECT_EQ(Registry::instance(QStringLiteral("FrmNone")), nullptr);
    auto* p = static_cast<Probe*>(Registry::instance(QStringLiteral("FrmProbe")));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(Registry::instance(QStringLiteral("FrmProbe")), p);
    EXPECT_EQ(&tv::forms::the<Probe>(), p);
    EXPECT_TRUE(!Registry::loaded(QStringLiteral("FrmProbe")) && !p->isLoaded());  // asking does not load

    p->kept = QStringLiteral("留下");
    p->load();
    p->load();
    EXPECT_EQ(p->loads, 1);
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmProbe")));
    EXPECT_FALSE(p->widget()->isVisible());  // loading does not show
    EXPECT_EQ(p->widget()->objectName(), "FrmProbe");

    QPointer<QWidget> old = p->widget();
    p->unload();
    EXPECT_EQ(p->unloads, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());                   // the widgets are gone
    EXPECT_EQ(p->kept, QStringLiteral("留下"));  // the instance is not

    p->show();
    QWidget* shown = p->widget();
    p->show();  // only raises
    EXPECT_TRUE(shown->isVisible());
    EXPECT_EQ(p->loads, 2);
    EXPECT_EQ(p->widget(), shown);
    EXPECT_EQ(Registry::loadedNames(), QStringList{QStringLiteral("FrmProbe")});

    // A window may unload itself from its own handler, and come back.
    p->click("CmdTc");
    EXPECT_FALSE(p->isLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    p->show();
    EXPECT_TRUE(p->isLoaded());
}

TEST_F(FormTest, ChildrenLiveInTheMdiAreaAndTheCloseBoxAsksBeforeUnloading) {
    QMdiArea area;
    area.resize(800, 600);
    area.show();
    Registry::setMdiArea(&area);
    Child& c = tv::forms::the<Child>();
    Probe& t = tv::forms::the<Probe>();
    c.show();
    t.show();
    ASSERT_NE(c.subWindow(), nullptr);
    EXPECT_EQ(c.subWindow()->mdiArea(), &area);
    EXPECT_EQ(c.subWindow()->windowTitle(), QStringLiteral("探针"));
    EXPECT_GE(c.subWindow()->width(), 300);
    EXPECT_EQ(t.widget()->parentWidget(), nullptr);  // closing the main window leaves it open
    EXPECT_TRUE(t.widget()->isWindow());

    c.allowClose = false;
    t.allowClose = false;
    EXPECT_FALSE(c.subWindow()->close());
    EXPECT_FALSE(t.widget()->close());
    EXPECT_TRUE(c.isLoaded() && t.isLoaded());
    c.allowClose = true;
    t.allowClose = true;
    EXPECT_TRUE(c.subWindow()->close());
    EXPECT_TRUE(t.widget()->close());
    EXPECT_FALSE(c.isLoaded() || t.isLoaded());
    EXPECT_EQ(c.unloads, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());
    // unload() itself does not ask.
    t.show();
    t.allowClose = false;
    t.unload();
    EXPECT_FALSE(t.isLoaded());

    // A child without a main window shows as a window of its own.
    Registry::setMdiArea(nullptr);
    c.show();
    EXPECT_EQ(c.subWindow(), nullptr);
    EXPECT_TRUE(c.widget()->isWindow() && c.widget()->isVisible());
}

TEST_F(FormTest, AnEscapedErrorBecomesAPromptAndTheProgramGoesOn) {
    int aborted = 0;
    tv::forms::setPrintAbortHook([&] { ++aborted; });
    Probe& p = tv::forms::the<Probe>();
    p.throwOnLoad = true;
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    p.show();  // the load handler fails: told, the window stays
    EXPECT_TRUE(p.isLoaded() && p.widget()->isVisible());
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    p.click("CmdCc");
    EXPECT_EQ(aborted, 2);
    tv::forms::guard([] {});  // a handler that ends normally aborts nothing
    EXPECT_EQ(aborted, 2);

    // By default the printer's open job is aborted.
    tv::forms::setPrintAbortHook(nullptr);
    tv::print::Printer::useFiles(QString(), QString());  // prints into memory only
    tv::print::Printer& printer = tv::print::Printer::device();
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    tv::forms::guard([&] {
        printer.printLine({tv::print::at(1, QStringLiteral("收据"))});
        ASSERT_TRUE(printer.isOpen());
        throw tv::print::PrintError(QStringLiteral("打印机没有纸了。"));
    });
    EXPECT_FALSE(printer.isOpen());
    EXPECT_TRUE(tv::print::Printer::traceLines().contains(QStringLiteral("abort")));
    tv::print::Printer::reset();
    EXPECT_EQ(boxes(),
              (QStringList{QStringLiteral("load failed|提示！|64"), QStringLiteral("数据类型转换错误。|提示！|64"),
                           QStringLiteral("打印机没有纸了。|提示！|64")}));
}
