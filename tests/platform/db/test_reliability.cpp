// A process killed in the middle of a transaction leaves the data file as it
// was before; damaged or foreign files give an error, never a crash.

#include "DbFixture.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <cstdio>
#include <cstdlib>

using namespace tv;
using namespace tv::test;

namespace {
const char* kChildEnv = "TV_RELIABILITY_CHILD_DB";
// Every wait on the child is bounded: a child that hangs fails the test.
constexpr int kWaitMs = 60000;
}  // namespace

// Run only as the child of the test below: writes thousands of rows inside one
// transaction, says so, then waits to be killed with the transaction open.
TEST(ReliabilityChild, DISABLED_WriteAndWaitToBeKilled) {
    const QString path = qEnvironmentVariable(kChildEnv);
    ASSERT_FALSE(path.isEmpty());
    auto db = Database::open(path);
    db->exec("pragma cache_size = 8");  // small cache: changed pages reach the file before the commit
    Recordset rs(db, "fzsdjs");
    rs.refresh();
    db->transaction([&] {
        for (int i = 0; i < 5000; ++i) {
            rs.addNew();
            rs.setField("jfrq", Value(QDate(2024, 3, 1)));
            rs.setField("fjh", Value(QStringLiteral("新%1").arg(i)));
            rs.setField("hj", Value(toMoney(i * 1.25)));
            rs.update();
        }
        db->exec("delete from fzsdjs where fjh like '旧%'");
        std::fputs("READY\n", stdout);
        std::fflush(stdout);
        std::getchar();  // blocks until killed
        std::_Exit(3);   // never commit
    });
}

TEST(Reliability, KilledInTheMiddleOfATransactionLeavesTheFileAsBefore) {
    QTemporaryDir dir;
    const QString path = dir.filePath("data.mdb");
    makeDataFile(path);
    {
        auto db = Database::open(path);
        db->transaction([&] {
            for (int i = 0; i < 300; ++i)
                db->exec("insert into fzsdjs (jfrq, fjh, hj) values ('2024-02-01', ?, ?)",
                         {Value(QStringLiteral("旧%1").arg(i)), Value(Money::fromInt(i))});
        });
    }
    Database::releaseUnused();
    const QString before = queryText(path, "select count(*) || '/' || sum(hj) from fzsdjs");
    ASSERT_EQ(before, "300/44850");
    auto fileBytes = [&] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray bytesBefore = fileBytes();

    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(kChildEnv, path);
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::SeparateChannels);
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
    EXPECT_NE(fileBytes(), bytesBefore);
    child.kill();  // SIGKILL
    ASSERT_TRUE(child.waitForFinished(kWaitMs));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);

    // The next opening rolls the half-written transaction back.
    auto db = Database::open(path);
    Recordset rs(db, "fzsdjs");
    rs.refresh();
    EXPECT_EQ(rs.recordCount(), 300);
    EXPECT_EQ(rs.field("fjh").toText(), "旧0");
    EXPECT_EQ(db->query("pragma integrity_check")[0][0].toText(), "ok");
    EXPECT_EQ(queryText(path, "select count(*) || '/' || sum(hj) from fzsdjs"), before);
    EXPECT_FALSE(QFile::exists(path + "-journal"));
    EXPECT_EQ(fileBytes().left(bytesBefore.size()).mid(100), bytesBefore.mid(100));
}
