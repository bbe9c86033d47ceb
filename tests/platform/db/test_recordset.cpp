// The dynaset behaviour the windows rely on: refresh, moves, BOF/EOF,
// positions, fields, adding, editing, deleting and the Reposition notification.

#include "DbFixture.h"

using namespace tv;
using namespace tv::test;

namespace {

class RecordsetTest : public DbTest {
protected:
    std::vector<QString> rooms(Recordset& rs) {
        std::vector<QString> out;
        if (rs.recordCount() == 0)
            return out;
        rs.moveFirst();
        while (!rs.eof()) {
            out.push_back(rs.field("fjh").toText());
            rs.moveNext();
        }
        return out;
    }
};

}  // namespace

TEST_F(RecordsetTest, RecordSourcesColumnsOrderAndErrors) {
    addRooms({"101", "102", "103"});
    for (const char* source : {"qtfy", "[qtfy]", "select * from [qtfy]", "SELECT * FROM qtfy"}) {
        Recordset rs(db, source);
        rs.refresh();
        EXPECT_EQ(rs.table(), "qtfy") << source;
        EXPECT_EQ(rs.recordCount(), 3) << source;
        ASSERT_EQ(rs.columns().size(), 10u) << source;  // exactly the declared columns
        EXPECT_EQ(rs.columns()[0].name, "jfrq");
        EXPECT_EQ(rs.columns()[3].kind, ColumnKind::Currency);
        EXPECT_EQ(rs.columnIndex("rowid"), -1);
        EXPECT_EQ(rs.columnIndex("FJH"), 1);  // field names ignore case
    }
    Recordset where(db, "Select * from [qtfy] where [fjh]=?", {Value("102")});
    where.refresh();
    ASSERT_EQ(where.recordCount(), 1);
    EXPECT_EQ(where.field("fjh").toText(), "102");
    where.setParams({Value("102' or '1'='1")});  // typed text stays a value
    where.refresh();
    EXPECT_EQ(where.recordCount(), 0);

    Recordset ordered(db, "select * from [qtfy] where [fjh]<>? order by [fjh] desc", {Value("102")});
    ordered.refresh();
    EXPECT_EQ(rooms(ordered), (std::vector<QString>{"103", "101"}));

    Recordset list(db, "select fjh, hj from qtfy");
    list.refresh();
    ASSERT_EQ(list.columns().size(), 2u);
    EXPECT_EQ(list.columns()[1].kind, ColumnKind::Currency);
    EXPECT_EQ(rooms(list), (std::vector<QString>{"101", "102", "103"}));

    // Rows come in insertion order.
    db->exec("delete from qtfy where fjh = '102'");
    addRooms({"102"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    EXPECT_EQ(rooms(rs), (std::vector<QString>{"101", "103", "102"}));

    // Bad sources raise the engine's text.
    EXPECT_DB_ERROR(Recordset(db, "nosuch"), "no such table: nosuch");
    EXPECT_DB_ERROR(Recordset(db, "select * from [nosuch]"), "no such table: nosuch");
    try {
        Recordset bad(db, "select * from [qtfy] wher x");
        ADD_FAILURE();
    } catch (const DbError& e) {
        EXPECT_TRUE(e.text().contains("syntax error")) << e.text().toStdString();
    }
    Recordset unbound(db, "select * from [qtfy] where [fjh]=?");  // no parameter given
    EXPECT_THROW(unbound.refresh(), DbError);
}

TEST_F(RecordsetTest, MovesWalkBetweenBofAndEofAnEmptySetRefusesThem) {
    Recordset rs(db, "qtfy");
    rs.refresh();
    EXPECT_TRUE(rs.bof());
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.hasCurrent());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_DB_ERROR(rs.moveFirst(), "无当前记录。");
    EXPECT_DB_ERROR(rs.moveLast(), "无当前记录。");
    EXPECT_DB_ERROR(rs.moveNext(), "无当前记录。");
    EXPECT_DB_ERROR(rs.movePrevious(), "无当前记录。");
    EXPECT_DB_ERROR(rs.field("fjh"), "无当前记录。");
    EXPECT_DB_ERROR(rs.edit(), "无当前记录。");
    EXPECT_DB_ERROR(rs.remove(), "无当前记录。");

    addRooms({"1", "2", "3"});
    rs.refresh();
    EXPECT_EQ(rs.absolutePosition(), 0);
    EXPECT_FALSE(rs.bof());
    rs.moveLast();
    EXPECT_EQ(rs.absolutePosition(), 2);
    rs.moveNext();
    EXPECT_TRUE(rs.eof());
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_DB_ERROR(rs.field("fjh"), "无当前记录。");
    EXPECT_DB_ERROR(rs.moveNext(), "无当前记录。");
    rs.movePrevious();  // from EOF -> the last row
    EXPECT_EQ(rs.field("fjh").toText(), "3");
    rs.moveFirst();
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_DB_ERROR(rs.movePrevious(), "无当前记录。");
    rs.moveNext();  // from BOF -> the first row
    EXPECT_EQ(rs.field("fjh").toText(), "1");
    rs.moveTo(1);
    EXPECT_EQ(rs.field("fjh").toText(), "2");
    EXPECT_THROW(rs.moveTo(3), DbError);
    EXPECT_EQ(rs.valueAt(2, 1).toText(), "3");
    EXPECT_EQ(rs.absolutePosition(), 1);  // valueAt does not move
}

TEST_F(RecordsetTest, FieldsKeepTheirKindsAndNull) {
    db->exec("insert into fzsdjs (jfrq, fjh, xm, zj, bysb, hj) values (?, ?, ?, ?, ?, ?)",
             {Value(QDate(2024, 1, 5)), Value("101"), Value(""), Value(toMoney(19.99)), Value(34.4000244f),
              Value(Money::fromInt(800))});
    Recordset rs(db, "fzsdjs");
    rs.refresh();
    EXPECT_EQ(rs.field("jfrq"), Value(QDate(2024, 1, 5)));
    EXPECT_EQ(rs.field("xm"), Value(""));
    EXPECT_TRUE(rs.field("sfzhm").isNull());  // Null is not ""
    EXPECT_EQ(rs.field("zj"), Value(toMoney(19.99)));
    EXPECT_EQ(rs.field("hj"), Value(Money::fromInt(800)));
    EXPECT_EQ(rs.field("bysb"), Value(34.4000244f));
    EXPECT_EQ(rs.field("bysb").toText(), "34.40002");
    EXPECT_DB_ERROR(rs.field("nosuch"), "找不到字段：nosuch");
}

TEST_F(RecordsetTest, AddNewUpdateAppendsAndBecomesCurrent) {
    addRooms({"1", "2"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    rs.addNew();
    EXPECT_EQ(rs.editState(), Recordset::EditState::Adding);
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_TRUE(rs.field("fjh").isNull());  // the pending row reads as Null
    rs.setField("fjh", Value("first"));
    rs.addNew();  // a second AddNew discards the first
    EXPECT_TRUE(rs.field("fjh").isNull());
    rs.setField("fjh", Value("9"));
    rs.setField("hj", Value("12.5"));
    rs.update();
    EXPECT_EQ(rs.editState(), Recordset::EditState::None);
    EXPECT_EQ(rs.recordCount(), 3);
    EXPECT_EQ(rs.absolutePosition(), 2);
    EXPECT_EQ(rs.field("fjh").toText(), "9");
    EXPECT_EQ(rs.field("hj"), Value(toMoney(12.5)));
    EXPECT_EQ(scalar("select count(*) from qtfy"), "3");
    EXPECT_EQ(scalar("select hj from qtfy where fjh = '9'"), "12.5");
    EXPECT_EQ(scalar("select count(*) from qtfy where fjh = 'first'"), "0");

    rs.addNew();
    rs.setField("fjh", Value("x"));
    rs.cancelUpdate();
    EXPECT_EQ(rs.absolutePosition(), 2);  // back on the row current before
    EXPECT_EQ(scalar("select count(*) from qtfy"), "3");
    EXPECT_DB_ERROR(rs.cancelUpdate(), "没有正在添加或修改的记录。");
    EXPECT_DB_ERROR(rs.update(), "没有正在添加或修改的记录。");
    EXPECT_DB_ERROR(rs.setField("fjh", Value("y")), "没有正在添加或修改的记录。");
}

TEST_F(RecordsetTest, EditWritesOnlyWhatChangedAndMovesDiscard) {
    addRooms({"1", "2"});
    db->exec("update qtfy set hj = 5 where fjh = '1'");
    Recordset rs(db, "qtfy");
    rs.refresh();
    rs.edit();
    EXPECT_EQ(rs.field("hj"), Value(Money::fromInt(5)));  // unchanged fields read through
    rs.setField("fjh", Value("1a"));
    EXPECT_EQ(rs.field("fjh").toText(), "1a");
    rs.update();
    EXPECT_EQ(rs.absolutePosition(), 0);
    EXPECT_EQ(rs.field("fjh").toText(), "1a");
    EXPECT_EQ(rs.field("hj"), Value(Money::fromInt(5)));
    EXPECT_EQ(scalar("select fjh || '/' || hj from qtfy where rowid = 1"), "1a/5");

    rs.edit();
    rs.setField("fjh", Value("lost"));
    rs.moveNext();  // moving drops the pending change
    EXPECT_EQ(rs.editState(), Recordset::EditState::None);
    EXPECT_EQ(scalar("select count(*) from qtfy where fjh = 'lost'"), "0");

    // The row went away behind the recordset's back.
    db->exec("delete from qtfy where fjh = '2'");
    rs.edit();
    rs.setField("fjh", Value("ghost"));
    EXPECT_THROW(rs.update(), DbError);
    EXPECT_EQ(rs.editState(), Recordset::EditState::Editing);
}

TEST_F(RecordsetTest, UpdateRefusesWhatTheColumnCannotHold) {
    Recordset rs(db, "zfdj");
    rs.refresh();
    rs.addNew();
    rs.setField("fjh", Value("101"));
    rs.setField("jzrs", Value("abc"));
    EXPECT_DB_ERROR(rs.update(), "数据类型转换错误。");
    EXPECT_EQ(rs.editState(), Recordset::EditState::Adding);  // still pending, nothing written
    EXPECT_EQ(rs.field("fjh").toText(), "101");
    EXPECT_EQ(scalar("select count(*) from zfdj"), "0");
    rs.setField("jzrs", Value("2.5"));
    rs.setField("n1", Value(""));
    rs.update();
    EXPECT_EQ(rs.field("jzrs"), Value(int16_t(2)));
    EXPECT_EQ(scalar("select typeof(jzrs) || jzrs from zfdj"), "integer2");
    EXPECT_EQ(scalar("select typeof(n1) from zfdj"), "null");
}

TEST_F(RecordsetTest, DeleteLeavesNoCurrentRowAndEofOnlyAfterTheLast) {
    addRooms({"1", "2", "3"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    rs.moveTo(1);
    rs.remove();
    EXPECT_FALSE(rs.hasCurrent());
    EXPECT_FALSE(rs.eof());
    EXPECT_FALSE(rs.bof());
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_EQ(rs.recordCount(), 2);
    EXPECT_DB_ERROR(rs.field("fjh"), "无当前记录。");
    EXPECT_DB_ERROR(rs.remove(), "无当前记录。");
    rs.moveNext();  // the row after the deleted one
    EXPECT_EQ(rs.field("fjh").toText(), "3");
    EXPECT_EQ(rs.absolutePosition(), 1);

    rs.remove();  // the last row
    EXPECT_TRUE(rs.eof());
    EXPECT_DB_ERROR(rs.moveNext(), "无当前记录。");
    rs.moveLast();
    EXPECT_EQ(rs.field("fjh").toText(), "1");
    rs.remove();
    EXPECT_TRUE(rs.eof());
    EXPECT_EQ(rs.recordCount(), 0);
    EXPECT_DB_ERROR(rs.moveLast(), "无当前记录。");
    EXPECT_EQ(scalar("select count(*) from qtfy"), "0");

    addRooms({"4", "5"});
    rs.refresh();
    rs.remove();  // the first row: MovePrevious goes to BOF
    rs.movePrevious();
    EXPECT_TRUE(rs.bof());
}

TEST_F(RecordsetTest, RepositionFiresOnEveryChangeOfCurrentRow) {
    addRooms({"1", "2"});
    Recordset rs(db, "qtfy");
    std::vector<int> seen;
    const int id = rs.onReposition([&] { seen.push_back(rs.absolutePosition()); });
    rs.refresh();
    rs.moveNext();
    rs.moveNext();  // onto EOF
    rs.movePrevious();
    rs.moveFirst();
    rs.remove();
    rs.addNew();  // no move yet
    rs.setField("fjh", Value("3"));
    rs.update();  // the new row becomes current
    EXPECT_EQ(seen, (std::vector<int>{0, 1, -1, 1, 0, -1, 1}));
    rs.removeRepositionHandler(id);
    rs.moveFirst();
    EXPECT_EQ(seen.size(), 7u);
}

TEST_F(RecordsetTest, RepositionHandlersMayMoveAndRemove) {
    addRooms({"1", "2", "3"});
    Recordset master(db, "qtfy");
    Recordset detail(db, "select * from [qtfy] where [fjh]=?", {Value("")});
    std::vector<QString> trail;
    // A handler that refreshes another recordset, whose own handler runs nested.
    detail.onReposition(
        [&] { trail.push_back("detail:" + (detail.eof() ? QString("eof") : detail.field("fjh").toText())); });
    master.onReposition([&] {
        if (!master.hasCurrent())
            return;
        detail.setParams({master.field("fjh")});
        detail.refresh();
        trail.push_back("master:" + master.field("fjh").toText());
    });
    // A handler that moves its own recordset: skip row "2".
    master.onReposition([&] {
        if (master.hasCurrent() && master.field("fjh").toText() == "2")
            master.moveNext();
    });
    master.refresh();
    master.moveNext();
    EXPECT_EQ(master.field("fjh").toText(), "3");
    EXPECT_EQ(trail, (std::vector<QString>{"detail:1", "master:1", "detail:2", "master:2", "detail:3", "master:3"}));

    // A handler that removes another handler and itself mid-notification.
    Recordset rs(db, "qtfy");
    int calls = 0, other = 0;
    int second = 0;
    int first = rs.onReposition([&] {
        ++calls;
        rs.removeRepositionHandler(second);
        rs.removeRepositionHandler(first);
    });
    second = rs.onReposition([&] { ++other; });
    rs.refresh();
    rs.moveNext();
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(other, 0);
}

TEST_F(RecordsetTest, HandlerMayDestroyTheRecordset) {
    addRooms({"1", "2"});
    auto rs = std::make_unique<Recordset>(db, "qtfy");
    int after = 0;
    rs->onReposition([&] {
        if (rs->absolutePosition() == 1)
            rs.reset();  // as when a window unloads itself from its handler
    });
    rs->onReposition([&] { ++after; });
    rs->refresh();
    EXPECT_EQ(after, 1);
    rs->moveNext();
    EXPECT_FALSE(rs);
    EXPECT_EQ(after, 1);
}

TEST_F(RecordsetTest, RefreshFollowsAChangedTable) {
    addRooms({"1"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    db->exec("alter table qtfy add column bz TEXT");
    db->exec("update qtfy set bz = '备注'");
    rs.refresh();
    ASSERT_EQ(rs.columns().size(), 11u);
    EXPECT_EQ(rs.field("bz").toText(), "备注");
    db->exec("drop table qtfy");
    EXPECT_DB_ERROR(rs.refresh(), "no such table: qtfy");
    EXPECT_EQ(rs.field("fjh").toText(), "1");  // the rows read before stay readable
}
