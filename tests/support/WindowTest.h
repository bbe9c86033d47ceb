#pragma once
// A test of one data window: fresh shared state, scripted dialogs, prints
// kept in the in-memory trace, and a data file of its own. Afterwards every
// window goes, and no queued answer may be left unused.

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/forms/StatusPanels.h"
#include "platform/print/Printer.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QMdiArea>
#include <QTemporaryDir>
#include <QVBoxLayout>

namespace tv::test {

// The main window as far as a data window touches it: the area the child
// windows open in, and the texts of its status panels.
class MainStandIn : public tv::forms::Form, public tv::forms::StatusPanels {
public:
    MainStandIn() : Form(QStringLiteral("MDIVamo"), Kind::TopLevel) {}
    void setPanelText(tv::forms::Panel panel, const QString& text) override { panels[static_cast<int>(panel)] = text; }
    QString panelText(tv::forms::Panel panel) const override { return panels[static_cast<int>(panel)]; }
    QString panels[5];  // by the panel's number

protected:
    void build(QWidget* root) override {
        auto* area = new QMdiArea(root);
        (new QVBoxLayout(root))->addWidget(area);
        root->resize(1600, 900);
        tv::forms::Registry::setMdiArea(area);
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::resetState();
        tv::dlg::script::begin();
        tv::print::Printer::useFiles(QString(), QString());
        file = dir.filePath(QStringLiteral("租房.mdb"));
        makeDataFile(file);
    }
    // Registers the main window's stand-in and shows it.
    MainStandIn& showMainStandIn() {
        tv::forms::Registry::add(QStringLiteral("MDIVamo"), [] { return new MainStandIn; });
        tv::forms::Form* main = tv::forms::Registry::instance(QStringLiteral("MDIVamo"));
        main->show();
        return *static_cast<MainStandIn*>(main);
    }

    void TearDown() override {
        tv::forms::Registry::clear();
        tv::print::Printer::reset();
        EXPECT_EQ(tv::dlg::script::pending(), 0) << "answers left unused";
        tv::dlg::script::end();
        tv::Database::releaseUnused();
    }

    QTemporaryDir dir;
    QString file;
};

}  // namespace tv::test
