// The copy of a registration row into a print record.
#include "shared/CheckInCopy.h"

#include "platform/db/Database.h"
#include "platform/db/Recordset.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class CheckInCopyTest : public ::testing::Test {
protected:
    void SetUp() override {
        file = dir.filePath(QStringLiteral("copy.mdb"));
        tv::test::makeDataFile(file);
    }
    void TearDown() override { tv::Database::releaseUnused(); }

    std::unique_ptr<tv::Recordset> open(const QString& path) {
        auto rs = std::make_unique<tv::Recordset>(tv::Database::open(path), QStringLiteral("zfdj"));
        rs->refresh();
        return rs;
    }

    // Every member filled with something another tenant could have left.
    static tv::CheckInRecord stale() {
        tv::CheckInRecord r;
        const QString x = QStringLiteral("旧");
        for (QString* m : {&r.fjh, &r.xm, &r.dw, &r.dh, &r.yh, &r.wh, &r.rzrq, &r.lkrq, &r.sfzhm, &r.fq,
                           &r.xb1, &r.cxny1, &r.mq, &r.xb2, &r.cxny2, &r.xm1, &r.xb3, &r.cxny3, &r.xm2,
                           &r.xb4, &r.cxny4, &r.xm3, &r.xb5, &r.cxny5, &r.xm4, &r.xb6, &r.cxny6, &r.ysno})
            *m = x;
        r.jzrs = 9;
        r.n1 = 9;
        r.n2 = 9;
        return r;
    }

    QTemporaryDir dir;
    QString file;
};

TEST_F(CheckInCopyTest, EveryMemberTakesItsFieldAndEmptyFieldsClearTheirMember) {
    tv::test::execSql(file, QStringLiteral(
        "INSERT INTO zfdj VALUES ('101', 3, '张三', '单位', '138', '已婚', '工人', 1, 2, '2024-01-05', '2024-12-31',"
        " '4401', '父', '男', '1950-01', '母', '女', '1952-02', '子1', '男', '2010-01-01', '子2', '女', '2012-02-02',"
        " '子3', '男', '2014-03-03', '子4', '女', '2016-04-04', '在住', X'00');"
        "INSERT INTO zfdj (fjh, xm, dw, n1, xm1) VALUES ('102', '李四', '', 0, ' ');"));
    auto rs = open(file);

    tv::CheckInRecord r = stale();
    tv::FillCheckInRecord(*rs, r);
    EXPECT_EQ(r.fjh, "101");
    EXPECT_EQ(r.jzrs, 3);
    EXPECT_EQ(r.n1, 1);
    EXPECT_EQ(r.n2, 2);
    EXPECT_EQ(r.rzrq, "2024-01-05");
    EXPECT_EQ(r.cxny2, "1952-02");
    EXPECT_EQ(r.xm4, "子4");
    EXPECT_EQ(r.cxny6, "2016-04-04");
    EXPECT_EQ(r.ysno, "在住");

    // The second tenant has no companions: none of the first one's remain.
    rs->moveNext();
    tv::FillCheckInRecord(*rs, r);
    EXPECT_EQ(r.fjh, "102");
    EXPECT_EQ(r.xm, "李四");
    EXPECT_EQ(r.dw, "");     // empty text
    EXPECT_EQ(r.jzrs, 0);    // Null count
    EXPECT_EQ(r.n1, 0);      // 0 is a value
    EXPECT_EQ(r.n2, 0);
    EXPECT_EQ(r.xm1, " ");   // a blank is a value
    for (const QString* m : {&r.dh, &r.yh, &r.wh, &r.rzrq, &r.lkrq, &r.sfzhm, &r.fq, &r.xb1, &r.cxny1, &r.mq,
                             &r.xb2, &r.cxny2, &r.xb3, &r.cxny3, &r.xm2, &r.xb4, &r.cxny4, &r.xm3, &r.xb5,
                             &r.cxny5, &r.xm4, &r.xb6, &r.cxny6, &r.ysno})
        EXPECT_EQ(*m, "");

    // Past the last row there is nothing to copy: the record stays.
    rs->moveNext();
    ASSERT_TRUE(rs->eof());
    tv::FillCheckInRecord(*rs, r);
    EXPECT_EQ(r.fjh, "102");
}

TEST_F(CheckInCopyTest, CountsOfAForeignFileAreRoundedHalfToEvenAndNonsenseGivesZero) {
    // A data file from elsewhere may hold the counts as text.
    const QString foreign = dir.filePath(QStringLiteral("foreign.mdb"));
    tv::test::makeDataFile(foreign);
    tv::test::execSql(foreign, QStringLiteral(
        "DROP TABLE zfdj;"
        "CREATE TABLE zfdj (fjh TEXT, jzrs TEXT, xm TEXT, dw TEXT, dh TEXT, yh TEXT, wh TEXT, n1 TEXT, n2 TEXT,"
        " rzrq TEXT, lkrq TEXT, sfzhm TEXT, fq TEXT, xb1 TEXT, cxny1 TEXT, mq TEXT, xb2 TEXT, cxny2 TEXT, xm1 TEXT,"
        " xb3 TEXT, cxny3 TEXT, xm2 TEXT, xb4 TEXT, cxny4 TEXT, xm3 TEXT, xb5 TEXT, cxny5 TEXT, xm4 TEXT, xb6 TEXT,"
        " cxny6 TEXT, ysno TEXT, xp BLOB);"
        "INSERT INTO zfdj (jzrs, n1, n2) VALUES ('2.5', '3.5', ' 7 ');"
        "INSERT INTO zfdj (jzrs, n1, n2) VALUES ('abc', '40000', '-3');"));
    auto rs = open(foreign);
    tv::CheckInRecord r = stale();
    tv::FillCheckInRecord(*rs, r);
    EXPECT_EQ(r.jzrs, 2);
    EXPECT_EQ(r.n1, 4);
    EXPECT_EQ(r.n2, 7);
    rs->moveNext();
    tv::FillCheckInRecord(*rs, r);
    EXPECT_EQ(r.jzrs, 0);
    EXPECT_EQ(r.n1, 0);
    EXPECT_EQ(r.n2, -3);
}

}  // namespace
