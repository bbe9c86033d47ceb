#include "Scripted.h"

#include "platform/db/Database.h"
#include "platform/forms/Form.h"
#include "platform/forms/Guard.h"
#include "platform/print/Printer.h"

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTest>

using tv::forms::Form;
using tv::forms::Registry;

namespace {

class Probe : public Form {
public:
    static constexpr const char* kName = "FrmProbe";
    explicit Probe(Kind kind = Kind::TopLevel) : Form(QString::fromLatin1(kName), kind) {}
    int loads = 0, unloads = 0, builds = 0, queries = 0;
    bool allowClose = true;
    bool throwOnLoad = false;
    QString kept;  // an instance variable that outlives unload
protected:
    void build(QWidget* root) override {
        ++builds;
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
        if (throwOnLoad) throw std::runtime_error("load failed");
    }
    void onUnload() override { ++unloads; }
    bool onQueryClose() override {
        ++queries;
        return allowClose;
    }
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
    EXPECT_FALSE(p->isLoaded());
    EXPECT_EQ(Registry::loaded(QStringLiteral("FrmProbe")), nullptr);  // and it stays unloaded
    EXPECT_FALSE(p->isLoaded());

    p->kept = QStringLiteral("留下");
    p->load();
    p->load();
    EXPECT_EQ(p->loads, 1);
    EXPECT_TRUE(Registry::isLoaded(QStringLiteral("FrmProbe")));
    EXPECT_FALSE(p->widget()->isVisible());  // loading does not show
    EXPECT_EQ(p->widget()->objectName(), "FrmProbe");
    EXPECT_NE(p->control<QPushButton>(QStringLiteral("CmdTc")), nullptr);

    QPointer<QWidget> old = p->widget();
    p->unload();
    EXPECT_FALSE(p->isLoaded());
    EXPECT_EQ(p->unloads, 1);
    EXPECT_EQ(p->control<QPushButton>(QStringLiteral("CmdTc")), nullptr);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(old.isNull());  // the widgets are gone
    EXPECT_EQ(p->kept, QStringLiteral("留下"));  // the instance is not

    p->show();
    EXPECT_EQ(p->loads, 2);
    EXPECT_EQ(p->builds, 2);
    EXPECT_TRUE(p->widget()->isVisible());
    QWidget* shown = p->widget();
    p->show();  // only raises
    EXPECT_EQ(p->loads, 2);
    EXPECT_EQ(p->widget(), shown);
    EXPECT_EQ(Registry::loadedNames(), QStringList{QStringLiteral("FrmProbe")});
}

TEST_F(FormTest, ChildrenLiveInTheMdiAreaOtherWindowsHaveNoParent) {
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
    EXPECT_EQ(area.activeSubWindow(), c.subWindow());
    EXPECT_EQ(c.subWindow()->windowTitle(), QStringLiteral("探针"));
    EXPECT_GE(c.subWindow()->width(), 300);
    EXPECT_EQ(t.widget()->parentWidget(), nullptr);
    EXPECT_TRUE(t.widget()->isWindow());

    // A child without a main window shows as a window of its own.
    c.unload();
    Registry::setMdiArea(nullptr);
    c.show();
    EXPECT_EQ(c.subWindow(), nullptr);
    EXPECT_TRUE(c.widget()->isWindow());
    EXPECT_TRUE(c.widget()->isVisible());
}

TEST_F(FormTest, TheCloseBoxAsksTheWindowThenUnloadsIt) {
    QMdiArea area;
    area.show();
    Registry::setMdiArea(&area);
    Child& c = tv::forms::the<Child>();
    Probe& t = tv::forms::the<Probe>();
    c.show();
    t.show();

    c.allowClose = false;
    EXPECT_FALSE(c.subWindow()->close());
    EXPECT_TRUE(c.isLoaded());
    c.allowClose = true;
    EXPECT_TRUE(c.subWindow()->close());
    EXPECT_FALSE(c.isLoaded());
    EXPECT_EQ(c.queries, 2);
    EXPECT_EQ(c.unloads, 1);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(area.subWindowList().isEmpty());

    t.allowClose = false;
    EXPECT_FALSE(t.widget()->close());
    EXPECT_TRUE(t.isLoaded());
    t.allowClose = true;
    EXPECT_TRUE(t.widget()->close());
    EXPECT_FALSE(t.isLoaded());
    EXPECT_EQ(t.unloads, 1);
    // unload() itself does not ask.
    t.show();
    t.allowClose = false;
    t.unload();
    EXPECT_FALSE(t.isLoaded());
}

TEST_F(FormTest, AWindowMayUnloadItselfFromItsOwnHandler) {
    Probe& p = tv::forms::the<Probe>();
    p.show();
    QTest::mouseClick(p.control<QPushButton>(QStringLiteral("CmdTc")), Qt::LeftButton);
    EXPECT_FALSE(p.isLoaded());
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    p.show();
    EXPECT_TRUE(p.isLoaded());
}

TEST_F(FormTest, AnEscapedErrorBecomesAPromptAndTheProgramGoesOn) {
    int aborted = 0;
    tv::forms::setPrintAbortHook([&] { ++aborted; });
    Probe& p = tv::forms::the<Probe>();
    p.throwOnLoad = true;
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    p.show();  // the load handler fails: told, the window stays
    EXPECT_TRUE(p.isLoaded());
    EXPECT_TRUE(p.widget()->isVisible());

    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    QTest::mouseClick(p.control<QPushButton>(QStringLiteral("CmdCc")), Qt::LeftButton);
    EXPECT_EQ(boxes(), (QStringList{QStringLiteral("load failed|提示！|64"),
                                    QStringLiteral("数据类型转换错误。|提示！|64")}));
    EXPECT_EQ(aborted, 2);

    // A handler that ends normally aborts nothing.
    tv::forms::guard([] {});
    EXPECT_EQ(aborted, 2);
    tv::forms::setPrintAbortHook(nullptr);
}

TEST_F(FormTest, AnErrorWhilePrintingAbortsTheOpenJob) {
    tv::print::Printer::useFiles(QString(), QString());  // prints into memory only
    tv::print::Printer& printer = tv::print::Printer::device();
    tv::dlg::script::answerMsgBox(tv::dlg::Ok);
    tv::forms::guard([&] {
        printer.printLine({tv::print::at(1, QStringLiteral("收据"))});
        ASSERT_TRUE(printer.isOpen());
        throw tv::print::PrintError(QStringLiteral("打印机没有纸了。"));
    });
    EXPECT_FALSE(printer.isOpen());
    EXPECT_EQ(boxes(), QStringList{QStringLiteral("打印机没有纸了。|提示！|64")});
    EXPECT_TRUE(tv::print::Printer::traceLines().contains(QStringLiteral("abort")));
    tv::print::Printer::reset();
}
