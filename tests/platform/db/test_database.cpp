// Opening data files, queries, transactions and photos; a process killed in
// the middle of a transaction leaves the data file as it was before.

#include "DbFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>

#include <sqlite3.h>

#include <cstdio>
#include <cstdlib>
#include <optional>
#include <tuple>

using namespace tv;
using namespace tv::test;

namespace {

class DatabaseTest : public DbTest {};

const char* kChildEnv = "TV_RELIABILITY_CHILD_DB";
// Every wait on the child is bounded: a child that hangs fails the test.
constexpr int kWaitMs = 60000;

}  // namespace

TEST_F(DatabaseTest, WhatIsNotADataFileIsRefusedLeftAsItWasAndNothingIsCreated) {
    db->exec(
        "with recursive n(i) as (select 1 union all select i + 1 from n where i < 3000) "
        "insert into zfdj (fjh, xm) select i, '租客' from n");
    close();
    const QByteArray whole = fileBytes(path);
    const struct {
        QString path;
        std::optional<QByteArray> content;  // none: the path does not exist
        std::string error;
    } cases[] = {
        {dir.filePath("missing.mdb"), {}, "无法打开数据文件。"},
        {dir.path(), {}, "无法打开数据文件。"},
        {dir.filePath("notes.mdb"), QStringLiteral("这不是数据文件。\n").repeated(200).toUtf8(),
         "这个文件不是数据文件。"},
        {dir.filePath("empty.mdb"), QByteArray(), "这个文件不是数据文件。"},
        {dir.filePath("half.mdb"), whole.left(whole.size() / 2), "数据文件已损坏。"},
    };
    for (const auto& c : cases) {
        if (c.content) {
            QFile f(c.path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(*c.content);
        }
        EXPECT_EQ(dbError([&] { Recordset(Database::open(c.path), "zfdj").refresh(); }).toStdString(), c.error)
            << c.path.toStdString();
        EXPECT_EQ(QFileInfo(c.path).isFile() ? fileBytes(c.path) : QByteArray("none"), c.content.value_or("none"))
            << c.path.toStdString();
    }
    // The data file and the three written: nothing created, no journal left behind.
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 4);
}

TEST_F(DatabaseTest, ReadOnlyFileReadsButRefusesWrites) {
    addRooms({"101"});
    close();
    const QByteArray before = fileBytes(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    db = Database::open(path);
    EXPECT_TRUE(db->readOnly());
    {
        Recordset rs(db, "qtfy");
        rs.refresh();
        EXPECT_EQ(rs.field("fjh").toText(), "101");
        rs.edit();
        rs.setField("fjh", Value("102"));
        EXPECT_DB_ERROR(rs.update(), "数据文件是只读的，不能写入。");
        rs.addNew();
        EXPECT_THROW(rs.update(), DbError);
        EXPECT_THROW(db->transaction([&] { db->exec("delete from qtfy"); }), DbError);
        EXPECT_FALSE(db->inTransaction());
    }
    close();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(DatabaseTest, EngineErrorsAreToldInChineseWithoutTheEnginesEnglish) {
    addRooms({"101"});
    auto rename = [&](const Value& room) { db->exec("update qtfy set fjh = ?", {room}); };
    // Another program holds the write lock (the busy wait cut to nothing).
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(path).constData(), &other), SQLITE_OK);
    sqlite3_exec(other, "begin immediate", nullptr, nullptr, nullptr);
    sqlite3_busy_timeout(db->handle(), 0);
    EXPECT_DB_ERROR(rename("102"), "数据文件正被其他程序使用，请稍后再试。");
    sqlite3_close(other);
    sqlite3_limit(db->handle(), SQLITE_LIMIT_LENGTH, 1000);
    EXPECT_DB_ERROR(rename(QByteArray(1001, 'x')), "数据太大，不能保存。");

    // Another program replaced the file: the next opening reads the new one.
    const QString copy = dir.filePath("copy.mdb");
    ASSERT_TRUE(QFile::copy(path, copy) && QFile::remove(path) && QFile::rename(copy, path));
    EXPECT_DB_ERROR(rename("103"), "数据文件已被其他程序替换或移动，请重新打开数据文件。");
    Database::open(path)->exec("update qtfy set fjh = '104'");
    EXPECT_EQ(scalar("select group_concat(fjh) from qtfy"), "104");

    // The rest, by result code (primary or extended).
    const std::tuple<int, const char*, const char*> codes[] = {
        {SQLITE_FULL, "database or disk is full", "磁盘已满，数据没有写入。"},
        {SQLITE_CONSTRAINT_UNIQUE, "UNIQUE constraint failed: t.x", "数据与已有的记录重复，没有保存。"},
    };
    for (const auto& [code, engine, told] : codes)
        EXPECT_EQ(Database::engineErrorText(code, engine).toStdString(), told);
}

TEST_F(DatabaseTest, OneConnectionPerFileTablesTypedQueriesAndEngineErrors) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    ASSERT_TRUE(QFile::link(path, dir.filePath("link.mdb")));
    for (const QString& p : {path, dir.path() + "/./sub/../data.mdb", dir.filePath("link.mdb")})
        EXPECT_EQ(Database::open(p).get(), db.get()) << p.toStdString();
    EXPECT_EQ(db->tables(), (QStringList{"zfdj", "fzsdjs", "bysj", "sysj", "qtfy"}));
    EXPECT_TRUE(db->hasTable("FZSDJS"));
    EXPECT_FALSE(db->hasTable("yhzc"));
    EXPECT_DB_ERROR(db->columns("nosuch"), "数据文件中没有所需的数据表：nosuch。");
    EXPECT_DB_ERROR(db->exec("delete from nosuch"), "数据文件中没有所需的数据表：nosuch。");

    db->exec("insert into fzsdjs (jfrq, fjh, zj, bysb) values (?, ?, ?, ?)",
             {Value(QDate(2024, 2, 29)), Value("房1"), Value(toMoney(1234.56)), Value(1250.5f)});
    EXPECT_EQ(db->query("select jfrq, zj, bysb, count(*) from fzsdjs where fjh = ?", {Value("房1")}),
              (std::vector<std::vector<Value>>{
                  {Value(QDate(2024, 2, 29)), Value(toMoney(1234.56)), Value(1250.5f), Value(int32_t(1))}}));
    EXPECT_EQ(scalar("select quote(jfrq) || ' ' || quote(zj) || ' ' || quote(bysb) from fzsdjs"),
              "'2024-02-29' 1234.56 1250.5");
}

TEST_F(DatabaseTest, TransactionsAndSavepointsAreAllOrNothing) {
    auto landed = [&] { return scalar("select count(*) || ':' || ifnull(group_concat(fjh), '') from qtfy"); };
    EXPECT_THROW(db->transaction([&] {
        db->exec("insert into qtfy (fjh) values ('lost')");
        EXPECT_TRUE(db->inTransaction());
        throw DbError("stop");
    }),
                 DbError);
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(landed(), "0:");

    // Recordset writes join the transaction; a nested call is a savepoint.
    Recordset rs(db, "qtfy");
    rs.refresh();
    db->transaction([&] {
        write(rs, {{"fjh", Value("outer")}});
        try {
            db->transaction([&] {
                db->exec("insert into qtfy (fjh) values ('inner-failed')");
                throw DbError("inner");
            });
        } catch (const DbError&) {
        }
        db->transaction([&] { db->exec("insert into qtfy (fjh) values ('inner-ok')"); });
        EXPECT_EQ(landed(), "0:");  // nothing visible to another connection before the commit
    });
    EXPECT_EQ(landed(), "2:outer,inner-ok");
}

TEST_F(DatabaseTest, APreparedStatementRunsRowAfterRowAndSurvivesARefusedOne) {
    db->exec("create table u (k TEXT UNIQUE, d DATETIME, b BLOB, n INTEGER)");
    Statement insert(*db, "insert into u values (?, ?, ?, ?)");
    // Each run's texts, dates and bytes are its own, even though the engine keeps no copy of them.
    const std::vector<Value> rows[] = {
        {Value("租客一"), Value(QDate(2024, 2, 29)), Value(QByteArray("\x89P")), Value()},
        {Value(""), Value(QDate()), Value(QByteArray()), Value(int32_t(7))},
        {Value("租客一"), Value(), Value(), Value()},  // a second 租客一: refused
        {Value(QString(3000, QChar(0x79DF))), Value(QDate(1999, 1, 2)), Value(), Value(int16_t(-1))}};
    QStringList refused;
    for (const auto& r : rows) refused << dbError([&] { insert.run(r); });
    EXPECT_EQ(refused.join('|'), "(no DbError)|(no DbError)|数据与已有的记录重复，没有保存。|(no DbError)");
    EXPECT_EQ(scalar("select group_concat(length(k) || quote(d) || quote(b) || quote(n), '|') from u"),
              "3'2024-02-29'X'8950'NULL|0NULLX''7|3000'1999-01-02'NULL-1");
    EXPECT_DB_ERROR(insert.run({Value("x")}), "参数个数不符：需要 4 个，给出 1 个。");
    EXPECT_DB_ERROR(Statement(*db, "insert into nosuch values (?)"), "数据文件中没有所需的数据表：nosuch。");
}

TEST_F(DatabaseTest, PhotosAreReadWhenAskedFor) {
    addRegistrations(20, 51200);
    Recordset rs(db, "zfdj");
    rs.refresh();
    const int atRefresh = pagesRead();
    EXPECT_LT(atRefresh, 60);  // the 20 photos fill more than 250 pages
    EXPECT_EQ(rs.field("xp").toBytes().size(), 51200);
    EXPECT_GE(pagesRead() - atRefresh, 12);
    // Read from the file when asked for; editing another field keeps it.
    db->exec("update zfdj set xp = x'01' where fjh = '0'");
    write(rs, {{"xm", Value("张三")}}, true);
    EXPECT_EQ(rs.field("xp"), Value(QByteArray("\x01")));
    EXPECT_EQ(scalar("select hex(xp) || xm from zfdj where fjh = '0'"), "01张三");
}

// Run only as the child of the test below: writes thousands of rows inside one
// transaction, says so, then waits to be killed with the transaction open.
TEST(ReliabilityChild, DISABLED_WriteAndWaitToBeKilled) {
    auto db = Database::open(qEnvironmentVariable(kChildEnv));
    db->exec("pragma cache_size = 8");  // small cache: changed pages reach the file before the commit
    Recordset rs(db, "fzsdjs");
    rs.refresh();
    db->transaction([&] {
        for (int i = 0; i < 5000; ++i)
            write(rs, {{"jfrq", Value(QDate(2024, 3, 1))}, {"fjh", Value(QString("新%1").arg(i))}});
        db->exec("delete from fzsdjs where fjh like '旧%'");
        std::fputs("READY\n", stdout);
        std::fflush(stdout);
        std::getchar();  // blocks until killed
        std::_Exit(3);   // never commit
    });
}

TEST_F(DatabaseTest, KilledInTheMiddleOfATransactionLeavesTheFileAsBefore) {
    db->exec(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 299) "
        "insert into fzsdjs (jfrq, fjh, hj) select '2024-02-01', '旧' || i, i from n");
    close();
    const QString sums = "select count(*) || '/' || sum(hj) || '/' || min(fjh) from fzsdjs";
    ASSERT_EQ(scalar(sums), "300/44850/旧0");
    const QByteArray before = fileBytes(path);

    QProcess child;
    child.setEnvironment(QProcess::systemEnvironment() << QString(kChildEnv) + "=" + path);
    child.start(QCoreApplication::applicationFilePath(),
                {"--gtest_also_run_disabled_tests", "--gtest_filter=ReliabilityChild.*"});
    ASSERT_TRUE(child.waitForStarted(kWaitMs)) << child.errorString().toStdString();
    QByteArray out;
    while (!out.contains("READY\n")) {
        ASSERT_TRUE(child.state() == QProcess::Running && child.waitForReadyRead(kWaitMs))
            << "the child ended or said nothing for a minute:\n"
            << out.toStdString() << child.readAllStandardError().toStdString();
        out += child.readAllStandardOutput();
    }
    // The transaction is open in the child and has already changed the file itself.
    EXPECT_TRUE(QFile::exists(path + "-journal"));
    EXPECT_NE(fileBytes(path), before);
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished(kWaitMs));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // The next opening rolls the half-written transaction back.
    db = Database::open(path);
    EXPECT_EQ(scalar(sums), "300/44850/旧0");
    EXPECT_FALSE(QFile::exists(path + "-journal"));
    EXPECT_EQ(fileBytes(path).left(before.size()).mid(100), before.mid(100));
}
