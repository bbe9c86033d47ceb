#pragma once
// A temporary data file made from install/schema.sql, opened through the engine.

#include "platform/db/Database.h"
#include "platform/db/Recordset.h"
#include "support/PrintTo.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <functional>

namespace tv::test {

inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// AddNew (or Edit), set the fields, Update.
inline void write(Recordset& rs, std::initializer_list<std::pair<const char*, Value>> fields, bool edit = false) {
    edit ? rs.edit() : rs.addNew();
    for (const auto& [name, v] : fields) rs.setField(name, v);
    rs.update();
}

class DbTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(QStringLiteral("data.mdb"));
        makeDataFile(path);
        db = Database::open(path);
    }
    void TearDown() override { close(); }
    // Drops this process's connection to the file (the next open reads it afresh).
    void close() {
        db.reset();
        Database::releaseUnused();
    }
    // Rows of qtfy holding only a room number, put in directly.
    void addRooms(std::initializer_list<const char*> names) {
        for (const char* n : names) db->exec(QStringLiteral("insert into qtfy (fjh) values (?)"), {Value(n)});
    }
    // Registrations of rooms 0 to n - 1, 租客<room>, each with a photo of
    // `photoBytes` random bytes; then a fresh connection, whose page cache is empty.
    void addRegistrations(int n, int photoBytes) {
        db->exec(QStringLiteral("with recursive n(i) as (select 0 union all select i + 1 from n where i < %1) "
                                "insert into zfdj (fjh, xm, xp) select i, '租客' || i, randomblob(%2) from n")
                     .arg(n - 1)
                     .arg(photoBytes));
        close();
        db = Database::open(path);
    }
    // The pages the connection has read from the file so far.
    int pagesRead() const {
        int now = 0, high = 0;
        sqlite3_db_status(db->handle(), SQLITE_DBSTATUS_CACHE_MISS, &now, &high, 0);
        return now;
    }
    QString scalar(const QString& sql) { return queryText(path, sql); }
    // The room numbers of a recordset's rows.
    static QStringList rooms(const Recordset& rs) {
        QStringList out;
        for (int i = 0; i < rs.recordCount(); ++i) out << rs.valueAt(i, rs.columnIndex("fjh")).toText();
        return out;
    }

    QTemporaryDir dir;
    QString path;
    std::shared_ptr<Database> db;
};

// Another program on the same file: its own connection, which never waits.
class OtherProgram {
public:
    explicit OtherProgram(const QString& path) {
        sqlite3_open_v2(QFile::encodeName(path).constData(), &db_, SQLITE_OPEN_READWRITE, nullptr);
    }
    ~OtherProgram() { sqlite3_close(db_); }
    OtherProgram(const OtherProgram&) = delete;
    OtherProgram& operator=(const OtherProgram&) = delete;
    // "" when it ran; else the engine's word.
    QString run(const char* sql) {
        char* err = nullptr;
        const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &err);
        const QString text = rc == SQLITE_OK ? QString() : QString::fromUtf8(err ? err : sqlite3_errstr(rc));
        sqlite3_free(err);
        return text;
    }
    // The whole file taken for writing at once: nothing of ours holds it.
    QString writesAtOnce() { return run("begin exclusive; commit"); }

private:
    sqlite3* db_ = nullptr;
};

// The text of the DbError that `work` raises.
inline QString dbError(const std::function<void()>& work) try {
    work();
    return "(no DbError)";
} catch (const DbError& e) {
    return e.text();
}
#define EXPECT_DB_ERROR(stmt, expected) \
    EXPECT_EQ(::tv::test::dbError([&] { stmt; }).toStdString(), std::string(expected)) << #stmt

}  // namespace tv::test
