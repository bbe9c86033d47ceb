#pragma once
// A temporary data file made from install/schema.sql, opened through the engine.

#include "platform/db/Database.h"
#include "platform/db/Recordset.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace tv::test {

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("data.mdb"));
        makeDataFile(path);
        db = Database::open(path);
    }
    void TearDown() override {
        db.reset();
        Database::releaseUnused();
    }
    // Rows of qtfy holding only a room number, put in directly.
    void addRooms(std::initializer_list<const char*> names) {
        for (const char* n : names) db->exec(QStringLiteral("insert into qtfy (fjh) values (?)"), {Value(n)});
    }
    QString scalar(const QString& sql) { return queryText(path, sql); }

    QTemporaryDir dir;
    QString path;
    std::shared_ptr<Database> db;
};

// Expects the statement to raise DbError with exactly this text.
#define EXPECT_DB_ERROR(stmt, expected)                                \
    do {                                                               \
        try {                                                          \
            stmt;                                                      \
            ADD_FAILURE() << "no DbError from " #stmt;                 \
        } catch (const ::tv::DbError& e) {                             \
            EXPECT_EQ(e.text(), QString::fromUtf8(expected)) << #stmt; \
        }                                                              \
    } while (0)

}  // namespace tv::test
