#pragma once
// A program folder of its own for every test (Rave.ini, MDB/Lunrek.mdb, the
// pictures), scripted dialogs that fail the test when one comes unasked, and
// the end of the program and the desktop's handler recorded instead of done.

#include "frame/Module1.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"
#include "platform/forms/StatusPanels.h"
#include "platform/shell/Shell.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QTemporaryDir>
#include <QUrl>
#include <QVBoxLayout>

#include <vector>

// Readable values in failure messages.
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }

namespace tv::frame::test {

namespace script = tv::dlg::script;
using tv::forms::Form;
using tv::forms::Registry;

// A data window as the frame sees one: a child of the main window that binds
// DataFilePath when it loads and says so in the status bar; it has a text box.
class DataWindowStandIn : public Form {
public:
    explicit DataWindowStandIn(const QString& name) : Form(name, Kind::MdiChild) {}
    tv::forms::DataControl* Data1 = nullptr;
    QLineEdit* Text1 = nullptr;

protected:
    void build(QWidget* root) override {
        auto* layout = new QVBoxLayout(root);
        layout->addWidget(Text1 = new QLineEdit(root));
        layout->addWidget(Data1 = new tv::forms::DataControl(root));
        Data1->setObjectName(QStringLiteral("Data1"));
        root->setWindowTitle(name());
        root->resize(320, 200);
    }
    void onLoad() override {
        tv::state().DatabasePath = tv::state().DataFilePath;
        Data1->setDatabaseName(tv::state().DatabasePath);
        Data1->setRecordSource(QStringLiteral("zfdj"));
        Data1->refresh();
        tv::forms::setStatusPanel(1, QStringLiteral("工作路径：") + tv::state().DatabasePath);
    }
};

inline void registerStandIn(const QString& name) {
    Registry::add(name, [name] { return new DataWindowStandIn(name); });
}

class FrameTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder;
    QString startFolder;
    std::vector<int> ended;
    std::vector<QUrl> opened;

    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        Registry::clear();
        tv::resetState();
        startFolder = QDir::currentPath();
        folder = dir.path();
        QDir(folder).mkpath(QStringLiteral("MDB"));
        QDir(folder).mkpath(QStringLiteral("BMP"));
        tv::test::makeUserDb(userDb());
        tv::test::makeDataFile(templatePath());
        for (const char* pic : {"DE10.gif", "DE11.jpg", "T266.JPG", "WVLOGO.GIF"})
            QFile::copy(QStringLiteral(TV_SOURCE_DIR "/install/BMP/") + QLatin1String(pic),
                        folder + QStringLiteral("/BMP/") + QLatin1String(pic));
        tv::shell::setProgramFolder(folder);
        setEndProgramHook([this](int code) { ended.push_back(code); });
        tv::shell::setDesktopHook([this](const QUrl& url) { return opened.push_back(url), true; });
        script::begin();
    }

    void TearDown() override {
        EXPECT_EQ(script::pending(), 0) << "answers left unused";
        Registry::clear();
        tv::Database::releaseUnused();
        script::end();
        tv::shell::setProgramFolder(QString());
        endWithTheLastWindow(false);
        setEndProgramHook(nullptr);
        tv::shell::setDesktopHook(nullptr);
        QDir::setCurrent(startFolder);
    }

    QString templatePath() const { return folder + QStringLiteral("/MDB/Lunrek.mdb"); }
    QString userDb() const { return folder + QStringLiteral("/Rave.ini"); }

    // The message boxes shown since the last call, as "title|text|style".
    std::vector<QString> messages() {
        std::vector<QString> out;
        for (const tv::dlg::Call& c : script::calls())
            if (c.kind == QLatin1String("msgBox"))
                out.push_back(c.title + QLatin1Char('|') + c.text + QLatin1Char('|') + QString::number(c.style));
        script::clearCalls();
        return out;
    }

    static QByteArray bytesOf(const QString& path) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

}  // namespace tv::frame::test
