#pragma once
// Fixtures of the window toolkit's tests: scripted dialogs (every answer must
// have been used), and a data file in a temporary folder for the data
// control, grid and bound control tests.

#include "support/TestFiles.h"

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

namespace tv::test {

// (The test main's handler fails the test at an unscripted dialog.)
class ScriptedTest : public ::testing::Test {
protected:
    void SetUp() override { tv::dlg::script::begin(); }
    void TearDown() override {
        tv::forms::Registry::clear();
        EXPECT_EQ(tv::dlg::script::pending(), 0) << "answers left unused";
        tv::dlg::script::end();
    }
    // The message boxes shown so far, as "text|title|style".
    static QStringList boxes() {
        QStringList out;
        for (const auto& c : tv::dlg::script::calls())
            if (c.kind == QLatin1String("msgBox"))
                out << QStringLiteral("%1|%2|%3").arg(c.text, c.title).arg(c.style);
        return out;
    }
};

class DataTest : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        makeDataFile(file);
    }
    void TearDown() override {
        ScriptedTest::TearDown();
        tv::Database::releaseUnused();
    }
    void sql(const QString& s) { execSql(file, s); }
    QString ask(const QString& s) { return queryText(file, s); }
    // Three registrations: rooms 101, 102, 103.
    void threeTenants() {
        sql(
            QStringLiteral("insert into zfdj (fjh, jzrs, xm, yh, ysno) values "
                           "('101', 2, '张三', '已婚', '在住'), ('102', 1, '李四', '未婚', '退房'), "
                           "('103', 3, '王五', '已婚', '在住');"));
    }
    // Points a data control at the test file and opens it.
    void open(tv::forms::DataControl& d, const QString& source = QStringLiteral("zfdj")) {
        d.setDatabaseName(file);
        d.setRecordSource(source);
        d.refresh();
    }
    // Clicks one of a data control's arrows: MoveFirst, MovePrevious, MoveNext, MoveLast.
    static void arrow(tv::forms::DataControl& d, const char* name) {
        auto* b = d.findChild<QToolButton*>(QString::fromLatin1(name));
        ASSERT_NE(b, nullptr) << name;
        QTest::mouseClick(b, Qt::LeftButton);
    }
    QTemporaryDir dir;
    QString file = dir.path() + QStringLiteral("/Lunrek.mdb");
};

}  // namespace tv::test
