// The copy of a registration row into a print record.
#include "shared/CheckInCopy.h"

#include "platform/db/Database.h"
#include "platform/db/Recordset.h"
#include "shared/SharedState.h"
#include "support/TestFiles.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

namespace {

using tv::CheckInRecord;

// Every member in column order, joined by '/'.
QString all(const CheckInRecord& r) {
    QStringList out{
        r.fjh, QString::number(r.jzrs), r.xm, r.dw, r.dh, r.yh, r.wh, QString::number(r.n1), QString::number(r.n2)};
    out << QStringList{r.rzrq,  r.lkrq, r.sfzhm, r.fq,    r.xb1, r.cxny1, r.mq,    r.xb2, r.cxny2, r.xm1,   r.xb3,
                       r.cxny3, r.xm2,  r.xb4,   r.cxny4, r.xm3, r.xb5,   r.cxny5, r.xm4, r.xb6,   r.cxny6, r.ysno};
    return out.join(QLatin1Char('/'));
}

class CheckInCopyTest : public ::testing::Test {
protected:
    void SetUp() override { tv::test::makeDataFile(file); }
    void TearDown() override { tv::Database::releaseUnused(); }

    // The rows that `sql` leaves in zfdj copied in turn over a record that
    // another tenant filled, and one copy more past the last row.
    QStringList copies(const QString& sql) {
        tv::test::execSql(file, sql);
        tv::Recordset rs(tv::Database::open(file), QStringLiteral("zfdj"));
        rs.refresh();
        const QString x = QStringLiteral("旧");
        CheckInRecord r{x, 9, x, x, x, x, x, 9, 9, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x, x};
        QStringList out;
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                rs.moveNext();
            tv::FillCheckInRecord(rs, r);
            out << all(r);
        }
        return out;
    }
    QTemporaryDir dir;
    QString file = dir.filePath(QStringLiteral("copy.mdb"));
};

TEST_F(CheckInCopyTest, EveryMemberTakesItsFieldAndEmptyFieldsClearTheirMember) {
    const QStringList got = copies(
        "INSERT INTO zfdj VALUES ('101', 3, '张三', '单位', '138', '已婚', '工人', 1, 2, '2024-01-05', '2024-12-31', "
        "'4401', '父', '男', '1950-01', '母', '女', '1952-02', '子1', '男', '2010-01-01', '子2', '女', '2012-02-02', "
        "'子3', '男', '2014-03-03', '子4', '女', '2016-04-04', '在住', X'00');"
        "INSERT INTO zfdj (fjh, xm, dw, n1, xm1) VALUES ('102', '李四', '', 0, ' ');");
    EXPECT_EQ(got.value(0),
              "101/3/张三/单位/138/已婚/工人/1/2/2024-01-05/2024-12-31/4401/父/男/1950-01/母/女/1952-02/"
              "子1/男/2010-01-01/子2/女/2012-02-02/子3/男/2014-03-03/子4/女/2016-04-04/在住");
    // The second tenant has no companions: none of the first one's remain. An
    // empty text and a Null count clear; 0 and a blank are values.
    EXPECT_EQ(got.value(1), all({.fjh = "102", .xm = "李四", .xm1 = " "}));
    // Past the last row there is nothing to copy: the record stays.
    EXPECT_EQ(got.value(2), got.value(1));
}

TEST_F(CheckInCopyTest, CountsOfAForeignFileAreRoundedHalfToEvenAndNonsenseGivesZero) {
    // A data file from elsewhere may hold the counts as text.
    QString columns = tv::test::dataSchemaSql().section("CREATE TABLE zfdj (", 1).section(')', 0, 0);
    const QStringList got = copies("DROP TABLE zfdj; CREATE TABLE zfdj (" + columns.replace("SMALLINT", "TEXT") + ");" +
                                   "INSERT INTO zfdj (fjh, jzrs, n1, n2) VALUES ('1', '2.5', '3.5', ' 7 ');"
                                   "INSERT INTO zfdj (fjh, jzrs, n1, n2) VALUES ('2', 'abc', '40000', '-3');");
    EXPECT_EQ(got.value(0), all({.fjh = "1", .jzrs = 2, .n1 = 4, .n2 = 7}));
    EXPECT_EQ(got.value(1), all({.fjh = "2", .jzrs = 0, .n1 = 0, .n2 = -3}));
}

}  // namespace
