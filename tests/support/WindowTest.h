#pragma once
// A test of one data window: fresh shared state, scripted dialogs, prints
// kept in the in-memory trace, and a data file of its own. Afterwards every
// window goes, and no queued answer may be left unused.

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace tv::test {

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        tv::resetState();
        tv::dlg::script::begin();
        tv::print::Printer::useFiles(QString(), QString());
        file = dir.filePath(QStringLiteral("租房.mdb"));
        makeDataFile(file);
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
