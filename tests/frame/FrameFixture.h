#pragma once
// The one fixture of the frame's tests: a program folder of its own for every
// test (Rave.ini, MDB/Lunrek.mdb, vamo.CHM), also the current folder, scripted dialogs
// (the test main fails a test at once when one comes unasked), the end of the
// program and the desktop's handler recorded instead of done, a PATH of its
// own (bin/: an xdg-mime that names a program for help files), the helpers
// that drive the windows by their control names, and golden files.

#include "frame/FrmMmWh.h"
#include "frame/FrmXTMM.h"
#include "frame/MDIVamo.h"
#include "frame/Module1.h"
#include "frame/frmAbout.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/StatusPanels.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"
#include "support/Golden.h"
#include "support/PrintTo.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <utility>
#include <vector>

namespace tv::frame::test {

namespace script = tv::dlg::script;
using tv::forms::Form;
using tv::forms::Registry;
using namespace tv::windows;

// A data window as the frame sees one: a child of the main window with a text
// box, which binds DataFilePath (when there is one) as it loads and then
// names the file in its caption; it counts its unloads.
class DataWindowStandIn : public Form {
public:
    explicit DataWindowStandIn(const QString& name) : Form(name, Kind::MdiChild) {}
    tv::forms::DataControl* Data1 = nullptr;
    QLineEdit* Text1 = nullptr;
    static inline int unloads = 0;

protected:
    void build(QWidget* root) override {
        Text1 = new QLineEdit(root);
        Data1 = new tv::forms::DataControl(root);
        root->setWindowTitle(name());
    }
    void onLoad() override {
        if (tv::state().DataFilePath.isEmpty())
            return;
        Data1->setDatabaseName(tv::state().DataFilePath);
        Data1->setRecordSource(QStringLiteral("zfdj"));
        Data1->refresh();
        widget()->setWindowTitle(name() + '(' + QFileInfo(tv::state().DataFilePath).fileName() + ')');
    }
    void onUnload() override { ++unloads; }
};

class FrameTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder = dir.path();
    QString startFolder = QDir::currentPath();
    QByteArray path = qgetenv("PATH");
    std::vector<int> ended;
    std::vector<QUrl> opened;

    void SetUp() override {
        tv::resetState();
        DataWindowStandIn::unloads = 0;
        QDir(folder).mkpath("MDB"), QDir(folder).mkpath("bin");
        QFile(folder + "/vamo.CHM").open(QIODevice::WriteOnly);
        tv::test::makeUserDb(userDb());
        tv::test::makeDataFile(templatePath());
        tv::shell::setProgramFolder(folder);
        registerStandIn(kCheckIn);
        registerStandIn(kBilling);
        setEndProgramHook([this](int code) { ended.push_back(code); });
        tv::shell::setDesktopHook([this](const QUrl& url) { return opened.push_back(url), true; });
        script::begin();
        QDir::setCurrent(folder);
        fakeProgram("xdg-mime", "echo xchm.desktop");
        qputenv("PATH", QFile::encodeName(folder + "/bin"));
    }
    // A program in bin/ that runs `script`.
    void fakeProgram(const QString& name, const QByteArray& script) {
        QFile f(folder + "/bin/" + name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("#!/bin/sh\n" + script + '\n') > 0);
        f.setPermissions(f.permissions() | QFile::ExeOwner);
    }
    void TearDown() override {
        qputenv("PATH", path);
        Registry::clear();
        tv::Database::releaseUnused();
        script::end();
        endWithTheLastWindow(false);
        setEndProgramHook(nullptr);
        tv::shell::setDesktopHook(nullptr);
        QDir::setCurrent(startFolder);
    }

    QString templatePath() const { return folder + "/MDB/Lunrek.mdb"; }
    QString userDb() const { return folder + "/Rave.ini"; }
    // A path in the program folder, with an empty data file made there.
    QString dataFile(const QString& name, bool make = true) {
        if (make)
            tv::test::makeDataFile(folder + '/' + name);
        return folder + '/' + name;
    }
    static void registerStandIn(const char* n) {
        Registry::add(n, [n] { return new DataWindowStandIn(n); });
    }
    // Lines against the golden file tests/fixtures/<name> (support/Golden.h);
    // the program folder reads "$DIR" there.
    void expectGolden(const QStringList& lines, const char* name) {
        tv::test::expectGolden(QStringList(lines).replaceInStrings(folder, "$DIR").join('\n'), name);
    }
    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return !path.isEmpty() && f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(none)");
    }

    // The dialogs since the last call: a message box as "title|text|style",
    // the file dialog as "openFile:title @folder it starts in", others as
    // "kind:text" (the file dialog always offers data files and all files).
    QStringList said() {
        QStringList out;
        for (const tv::dlg::Call& c : script::calls()) {
            EXPECT_TRUE(c.kind != "openFile" || c.extra == "数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*");
            out << (c.kind == "msgBox" ? c.title + '|' + c.text + '|' + QString::number(c.style)
                                       : c.kind + ':' + c.text + (c.folder.isEmpty() ? "" : " @" + c.folder));
        }
        script::clearCalls();
        return out;
    }
    // The windows shown other than the main window (a data window by its
    // caption), the documents opened and the ends of the program since the
    // last call, "nothing" for none; the windows are unloaded.
    QString outcome() {
        QStringList out;
        for (Form* f : Registry::loadedForms()) {
            if (f->name() == MDIVamo::kName)
                continue;
            if (f->widget()->isVisible())
                out << (dynamic_cast<DataWindowStandIn*>(f) ? f->widget()->windowTitle() : f->name());
            f->unload();
        }
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);  // as the event loop would
        for (const QUrl& url : std::exchange(opened, {})) out << url.toString();
        for (int code : std::exchange(ended, {})) out << QStringLiteral("end %1").arg(code);
        return out.isEmpty() ? QStringLiteral("nothing") : out.join(',');
    }

    template <class T = QWidget>
    static T* find(Form& form, const char* name) {
        return form.control<T>(name);
    }
    static void click(Form& form, const char* name) {
        QTest::mouseClick(find<QPushButton>(form, name), Qt::LeftButton);
    }
    // Types the two texts into the login window and presses 确认.
    static void logIn(const QString& user, const QString& password) {
        FrmXTMM& login = tv::forms::the<FrmXTMM>();
        find<QLineEdit>(login, "TxtYhm")->setText(user);
        find<QLineEdit>(login, "TxtMM")->setText(password);
        click(login, "CmdYs");
    }
};

}  // namespace tv::frame::test
