#include "DataFixture.h"

#include "platform/forms/DataControl.h"

#include <QLabel>
#include <QTest>
#include <QToolButton>

using tv::forms::DataControl;

namespace {

class DataControlTest : public tv::test::DataTest {
protected:
    void open(DataControl& d, const QString& source = QStringLiteral("zfdj")) {
        d.setDatabaseName(file);
        d.setRecordSource(source);
        d.refresh();
    }
    void click(DataControl& d, const char* arrow) {
        auto* b = d.findChild<QToolButton*>(QString::fromLatin1(arrow));
        ASSERT_NE(b, nullptr) << arrow;
        QTest::mouseClick(b, Qt::LeftButton);
    }
};

}  // namespace

TEST_F(DataControlTest, RepositionRunsNestedAfterEveryChangeOfRow) {
    threeTenants();
    DataControl d;
    std::vector<int> seen;
    QObject::connect(&d, &DataControl::reposition, [&] { seen.push_back(d.recordset().absolutePosition()); });
    open(d);
    EXPECT_EQ(seen, std::vector<int>{0});
    tv::Recordset& rs = d.recordset();
    rs.moveLast();
    rs.moveNext();  // onto EOF: runs too, with no current row
    EXPECT_EQ(seen, (std::vector<int>{0, 2, -1}));

    // A handler may move another source; that one's handlers run inside.
    DataControl other;
    open(other);
    QStringList order;
    QObject::connect(&other, &DataControl::reposition, [&] { order << QStringLiteral("other"); });
    QObject::connect(&d, &DataControl::reposition, [&] {
        order << QStringLiteral("d-begin");
        other.recordset().moveLast();
        order << QStringLiteral("d-end");
    });
    rs.moveFirst();
    EXPECT_EQ(order, (QStringList{"d-begin", "other", "d-end"}));
}

TEST_F(DataControlTest, TheArrowsNeverLeaveTheRows) {
    threeTenants();
    DataControl d;
    d.setCaption(QStringLiteral("租客入住登记"));
    d.resize(300, 30);
    d.show();
    open(d);
    EXPECT_EQ(d.findChild<QLabel*>(QStringLiteral("Caption"))->text(), QStringLiteral("租客入住登记"));
    int moves = 0;
    QObject::connect(&d, &DataControl::reposition, [&] { ++moves; });
    tv::Recordset& rs = d.recordset();

    click(d, "MoveNext");
    click(d, "MoveNext");
    EXPECT_EQ(rs.absolutePosition(), 2);
    click(d, "MoveNext");  // at the last row it stays
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_FALSE(rs.eof());
    EXPECT_EQ(moves, 2);
    click(d, "MoveFirst");
    click(d, "MovePrevious");
    EXPECT_EQ(rs.absolutePosition(), 0);
    EXPECT_FALSE(rs.bof());
    click(d, "MoveLast");
    EXPECT_EQ(rs.absolutePosition(), 2);

    // From past the end (a search that found nothing) the arrows come back.
    rs.moveNext();
    ASSERT_TRUE(rs.eof());
    click(d, "MovePrevious");
    EXPECT_EQ(rs.absolutePosition(), 2);
    rs.moveFirst();
    rs.movePrevious();
    ASSERT_TRUE(rs.bof());
    click(d, "MoveNext");
    EXPECT_EQ(rs.absolutePosition(), 0);

    d.setVisible(false);
    EXPECT_FALSE(d.isVisible());
}

TEST_F(DataControlTest, AnEmptyTableOrANeverOpenedSourceIgnoresTheArrows) {
    DataControl d;
    d.show();
    click(d, "MoveNext");  // never opened: nothing, no message
    open(d);
    EXPECT_TRUE(d.recordset().bof());
    EXPECT_TRUE(d.recordset().eof());
    for (const char* a : {"MoveFirst", "MovePrevious", "MoveNext", "MoveLast"}) click(d, a);
    EXPECT_TRUE(tv::dlg::script::calls().empty());
}

TEST_F(DataControlTest, ABadFileOrSourceRaisesAndLeavesNoRecordset) {
    threeTenants();
    DataControl d;
    int reloads = 0;
    QObject::connect(&d, &DataControl::rowsChanged, [&] { ++reloads; });
    d.setDatabaseName(dir.path() + QStringLiteral("/missing.mdb"));
    d.setRecordSource(QStringLiteral("zfdj"));
    EXPECT_THROW(d.refresh(), tv::DbError);
    EXPECT_FALSE(d.isOpen());
    EXPECT_THROW(d.recordset(), tv::DbError);
    EXPECT_FALSE(QFile::exists(dir.path() + QStringLiteral("/missing.mdb")));

    open(d);
    EXPECT_EQ(d.recordset().recordCount(), 3);
    d.setRecordSource(QStringLiteral("nosuchtable"));
    EXPECT_THROW(d.refresh(), tv::DbError);
    EXPECT_FALSE(d.isOpen());  // the old rows are not shown as if they were the new ones
    EXPECT_GE(reloads, 2);
}

TEST_F(DataControlTest, ParametersAndReadOnly) {
    threeTenants();
    DataControl d;
    d.setDatabaseName(file);
    d.setRecordSource(QStringLiteral("select * from [zfdj] where [ysno]=?"), {tv::Value(QStringLiteral("在住"))});
    d.setReadOnly(true);
    d.refresh();
    EXPECT_EQ(d.recordset().recordCount(), 2);
    EXPECT_THROW(d.addNew(), tv::DbError);
    EXPECT_THROW(d.remove(), tv::DbError);
    EXPECT_EQ(ask(QStringLiteral("select count(*) from zfdj")), "3");
    // A refresh with new parameters on the same source.
    d.setRecordSource(QStringLiteral("select * from [zfdj] where [ysno]=?"), {tv::Value(QStringLiteral("退房"))});
    d.refresh();
    EXPECT_EQ(d.recordset().recordCount(), 1);
    EXPECT_EQ(d.recordset().field(QStringLiteral("fjh")).toText(), "102");
}
