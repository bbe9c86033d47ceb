#pragma once
// A data file in a temporary folder, with a few rows, for the data control,
// grid and bound control tests.

#include "Scripted.h"
#include "support/TestFiles.h"

#include "platform/db/Database.h"

#include <QTemporaryDir>

namespace tv::test {

class DataTest : public ScriptedTest {
protected:
    void SetUp() override {
        ScriptedTest::SetUp();
        ASSERT_TRUE(dir.isValid());
        file = dir.path() + QStringLiteral("/Lunrek.mdb");
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
        sql(QStringLiteral("insert into zfdj (fjh, jzrs, xm, yh, ysno) values "
                           "('101', 2, '张三', '已婚', '在住'), ('102', 1, '李四', '未婚', '退房'), "
                           "('103', 3, '王五', '已婚', '在住');"));
    }
    QTemporaryDir dir;
    QString file;
};

}  // namespace tv::test
