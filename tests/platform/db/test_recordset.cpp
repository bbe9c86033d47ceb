// The dynaset behaviour the windows rely on: record sources, moves and
// positions, conversion on Update, adding, editing, deleting and the
// Reposition notification.

#include "DbFixture.h"

#include <sqlite3.h>

#include <functional>
#include <map>
#include <tuple>

using namespace tv;
using namespace tv::test;

namespace {

class RecordsetTest : public DbTest {};

const char* const kNoCurrent = "无当前记录。";
const char* const kGone = "该记录已被其他程序修改或删除，数据没有改变。";

}  // namespace

TEST_F(RecordsetTest, RecordSourcesColumnsOrderAndErrors) {
    addRooms({"101", "102", "103"});
    db->exec("delete from qtfy where fjh = '102'");
    addRooms({"102"});  // rows come in insertion order
    const QStringList all{"101", "103", "102"};
    const struct {
        const char* source;
        std::vector<Value> params;
        QStringList rooms;
        size_t columns;
    } sources[] = {
        {"qtfy", {}, all, 10},
        {"[qtfy]", {}, all, 10},
        {"select * from [qtfy]", {}, all, 10},
        {"SELECT * FROM qtfy", {}, all, 10},
        {"select fjh, hj from qtfy", {}, all, 2},
        {"Select * from [qtfy] where [fjh]=?", {Value("102")}, {"102"}, 10},
        {"Select * from [qtfy] where [fjh]=?", {Value("102' or '1'='1")}, {}, 10},  // typed text stays a value
        {"select * from [qtfy] where [fjh]<>? order by [fjh] desc", {Value("102")}, {"103", "101"}, 10},
    };
    for (const auto& s : sources) {
        Recordset rs(db, s.source, s.params);
        rs.refresh();
        EXPECT_EQ(rooms(rs), s.rooms) << s.source;
        // Exactly the columns asked for (no rowid), by name in any case, with their declared kinds.
        ASSERT_EQ(rs.columns().size(), s.columns) << s.source;
        EXPECT_EQ(rs.columnIndex("FJH"), s.columns == 2 ? 0 : 1) << s.source;
        EXPECT_EQ(rs.columns().back().kind, ColumnKind::Currency) << s.source;
    }
    // Bad sources raise the engine's text.
    EXPECT_DB_ERROR(Recordset(db, "nosuch"), "数据文件中没有所需的数据表：nosuch。");
    EXPECT_DB_ERROR(Recordset(db, "select * from [nosuch]"), "数据文件中没有所需的数据表：nosuch。");
    EXPECT_DB_ERROR(Recordset(db, "select * from [qtfy] wher x"), "数据操作出错。");
    EXPECT_THROW(Recordset(db, "select * from [qtfy] where [fjh]=?").refresh(), DbError);  // no parameter
}

TEST_F(RecordsetTest, MovesAndDeletesKeepBofEofPositionsAndNotify) {
    Recordset rs(db, "qtfy");
    int fired = 0;
    rs.onReposition([&] { ++fired; });
    const std::map<QString, std::function<void()>> ops = {
        {"refresh", [&] { rs.refresh(); }}, {"first", [&] { rs.moveFirst(); }},       {"last", [&] { rs.moveLast(); }},
        {"next", [&] { rs.moveNext(); }},   {"previous", [&] { rs.movePrevious(); }}, {"to 1", [&] { rs.moveTo(1); }},
        {"to 3", [&] { rs.moveTo(3); }},    {"delete", [&] { rs.remove(); }},         {"edit", [&] { rs.edit(); }}};
    // What a step leaves: BOF, EOF, position/count and the current room, after
    // "refused" when the step was.
    auto state = [&] {
        return QString(rs.bof() ? "BOF " : "") + (rs.eof() ? "EOF " : "") + QString::number(rs.absolutePosition()) +
               "/" + QString::number(rs.recordCount()) + " " + (rs.hasCurrent() ? rs.field("fjh").toText() : "-");
    };
    // Steps, each "op = the state it leaves", a line a scenario.
    const char* const walk[] = {
        "refresh = BOF EOF -1/0 - | first = refused BOF EOF -1/0 - | last = refused BOF EOF -1/0 -",
        "edit = refused BOF EOF -1/0 - | add 1 2 3 = BOF EOF -1/0 - | refresh = 0/3 1",
        // from EOF MovePrevious goes to the last row, from BOF MoveNext to the first
        "last = 2/3 3 | next = EOF -1/3 - | next = refused EOF -1/3 - | previous = 2/3 3",
        "first = 0/3 1 | previous = BOF -1/3 - | previous = refused BOF -1/3 - | next = 0/3 1",
        "to 1 = 1/3 2 | to 3 = refused 1/3 2",
        // after a delete no row is current, MoveNext goes to the row after it,
        // EOF only when it was the last one, BOF on MovePrevious after the first
        "delete = -1/2 - | delete = refused -1/2 - | next = 1/2 3",
        "delete = EOF -1/1 - | next = refused EOF -1/1 - | last = 0/1 1 | delete = BOF EOF -1/0 -",
        "add 4 5 = BOF EOF -1/0 - | refresh = 0/2 4 | delete = -1/1 - | previous = BOF -1/1 -",
    };
    for (const QString& step : QStringList(std::begin(walk), std::end(walk)).join(" | ").split(" | ")) {
        const QString op = step.section(" = ", 0, 0), expected = step.section(" = ", 1);
        const int before = fired;
        QString refused;
        if (op.startsWith("add")) {
            for (const QString& room : op.split(' ').mid(1))
                db->exec("insert into qtfy (fjh) values (?)", {Value(room)});
        } else {
            try {
                ops.at(op)();
            } catch (const DbError& e) {
                refused = e.text() == kNoCurrent ? "refused " : e.text();
            }
        }
        EXPECT_EQ(refused + state(), expected) << op.toStdString();
        // Every change of current row is notified once; a refused step changes nothing.
        EXPECT_EQ(fired - before, refused.isEmpty() && !op.startsWith("add") && op != "edit") << op.toStdString();
    }
    EXPECT_DB_ERROR(rs.field("fjh"), kNoCurrent);
    EXPECT_EQ(rs.valueAt(0, 1).toText(), "5");
    EXPECT_EQ(scalar("select group_concat(fjh) from qtfy"), "5");
}

TEST_F(RecordsetTest, UpdateConvertsEachValueForItsDeclaredTypeOrRefusesIt) {
    // One column of each kind, declared as other programs write them.
    db->exec(
        "create table kinds (s SMALLINT, i LONG, f SINGLE, d DOUBLE, m currency, dt DATETIME, x varchar(9), b BLOB)");
    Recordset rs(db, "select * from [kinds]");
    rs.refresh();
    // Column, value set, value held after Update, as stored in the file. Whole
    // numbers round half to even.
    const struct {
        const char* column;
        Value in, out;
        const char* stored;
    } accepted[] = {
        {"s", Value("2.5"), Value(int16_t(2)), "2"},
        {"s", Value("3.5"), Value(int16_t(4)), "4"},
        {"s", Value(" -32768 "), Value(int16_t(-32768)), "-32768"},
        {"s", Value(32767.4), Value(int16_t(32767)), "32767"},
        {"s", Value(toMoney(2.5)), Value(int16_t(2)), "2"},
        {"s", Value(""), Value(), "NULL"},
        {"i", Value("70000"), Value(int32_t(70000)), "70000"},
        {"i", Value(toMoney(-2.5)), Value(int32_t(-2)), "-2"},
        {"f", Value("34.4000244"), Value(34.4000244f), "34.4000244140625"},
        {"f", Value("524287.9"), Value(524287.9f), "524287.90625"},  // the largest kept to a tenth
        {"f", Value(-524287.9f), Value(-524287.9f), "-524287.90625"},
        {"d", Value("0.1"), Value(0.1), "0.1"},
        {"m", Value("19.99"), Value(toMoney(19.99)), "19.99"},
        {"m", Value(0.68 * 151), Value(toMoney(102.68)), "102.68"},
        {"m", Value(int32_t(800)), Value(Money::fromInt(800)), "800"},
        {"dt", Value(" 2024/1/25 "), Value(QDate(2024, 1, 25)), "'2024-01-25'"},
        {"dt", Value(""), Value(), "NULL"},
        {"dt", Value(QDate()), Value(), "NULL"},
        {"x", Value(int16_t(12)), Value("12"), "'12'"},
        {"x", Value(""), Value(""), "''"},
        {"x", Value("O'Brien\"; drop table kinds; --"), Value("O'Brien\"; drop table kinds; --"),
         "'O''Brien\"; drop table kinds; --'"},
        {"x", Value("租客😀"), Value("租客😀"), "'租客😀'"},
        {"b", Value(QByteArray("\x89PNG")), Value(QByteArray("\x89PNG")), "X'89504E47'"},
    };
    for (const auto& c : accepted) {
        write(rs, {{c.column, c.in}});
        EXPECT_EQ(rs.field(c.column), c.out) << c.column << " <- " << c.in.toText().toStdString();
        EXPECT_EQ(scalar(QStringLiteral("select quote(%1) from kinds order by rowid desc").arg(c.column)), c.stored);
    }
    // A value the column cannot hold leaves the row pending and nothing
    // written; the error names the field, by its caption where it has one.
    rs.setFieldCaptions({{"S", "居住人数"}, {"m", "租金"}});
    const std::pair<const char*, std::vector<Value>> refused[] = {
        {"s", {Value("32768"), Value("abc")}},
        {"i", {Value(3e9), Value(Money::fromInt(3000000000LL))}},  // not cut to 2147483647
        {"f", {Value("1,5")}},
        {"d", {Value(qInf())}},
        {"m", {Value("十元"), Value(1e16)}},
        {"dt", {Value("2024-13-01"), Value(45000.0)}},
        {"x", {Value(QByteArray("x"))}},
        {"b", {Value("photo")}},
    };
    for (const auto& [column, values] : refused) {
        for (const Value& v : values) {
            rs.addNew();
            rs.setField(column, v);
            const QString name = column == std::string("s") ? "居住人数" : column == std::string("m") ? "租金" : column;
            EXPECT_DB_ERROR(rs.update(), ("数据类型转换错误：" + name).toStdString());
            EXPECT_EQ(rs.editState(), Recordset::EditState::Adding) << column;
            EXPECT_EQ(rs.field(column), v) << column;
        }
    }
    // A reading a single float cannot keep to a tenth is refused as too large, whatever its form.
    rs.setFieldCaptions({{"f", "本月水表"}});
    for (const Value& v : {Value("99999999999999"), Value("524287.97"), Value(-524288.0), Value(1e39), Value(6e5f)}) {
        rs.addNew();
        rs.setField("f", v);
        EXPECT_DB_ERROR(rs.update(), "本月水表的数值太大，不能超过524287.9（再大就不能精确到0.1），没有保存。");
        EXPECT_EQ(rs.field("f"), v);
    }
    rs.cancelUpdate();
    // Read again from the file, every row is what the recordset held.
    rs.refresh();
    ASSERT_EQ(rs.recordCount(), static_cast<int>(std::size(accepted)));
    for (int i = 0; i < rs.recordCount(); ++i)
        EXPECT_EQ(rs.valueAt(i, rs.columnIndex(accepted[i].column)), accepted[i].out) << i;
}

TEST_F(RecordsetTest, AddNewAndEditWriteByRowidAndTheNewRowBecomesCurrent) {
    db->exec("insert into qtfy (fjh, hj) values ('1', 5), ('1', 5)");
    Recordset rs(db, "qtfy");
    rs.refresh();
    std::vector<int> seen;
    const int id = rs.onReposition([&] { seen.push_back(rs.absolutePosition()); });
    rs.addNew();
    rs.setField("fjh", Value("first"));
    rs.addNew();  // a second AddNew discards the first
    EXPECT_EQ(rs.absolutePosition(), -1);
    EXPECT_TRUE(rs.field("fjh").isNull());
    rs.setField("hj", Value("12.5"));
    rs.update();
    rs.addNew();
    rs.cancelUpdate();
    EXPECT_EQ(rs.absolutePosition(), 2);   // the new row, current since its Update
    EXPECT_EQ(seen, std::vector<int>{2});  // AddNew and CancelUpdate do not move
    rs.removeRepositionHandler(id);
    for (const auto& op : std::vector<std::function<void()>>{[&] { rs.cancelUpdate(); }, [&] { rs.update(); },
                                                             [&] { rs.setField("fjh", Value("y")); }})
        EXPECT_DB_ERROR(op(), "没有正在添加或修改的记录。");

    // Edit writes the changed fields of the current row, found by its rowid.
    rs.moveTo(1);
    rs.edit();
    rs.setField("fjh", Value("1b"));
    EXPECT_EQ(rs.field("fjh").toText(), "1b");
    EXPECT_EQ(rs.field("hj"), Value(Money::fromInt(5)));  // unchanged fields read through
    rs.update();
    EXPECT_EQ(rs.field("hj"), Value(Money::fromInt(5)));
    EXPECT_EQ(scalar("select group_concat(rowid || ':' || ifnull(fjh, '') || ':' || hj) from qtfy"),
              "1:1:5,2:1b:5,3::12.5");
    rs.moveFirst();
    rs.remove();
    rs.moveFirst();
    rs.edit();
    rs.setField("fjh", Value("lost"));
    rs.moveNext();  // moving drops the pending change
    EXPECT_EQ(rs.editState(), Recordset::EditState::None);
    // Rows another program deleted: neither Update nor Delete says it worked,
    // the row is dropped and the one before it, the new last row, is current.
    db->exec("delete from qtfy where rowid = 3");
    rs.edit();
    rs.setField("fjh", Value("ghost"));
    EXPECT_DB_ERROR(rs.update(), kGone);
    EXPECT_EQ(rs.field("fjh").toText() + QString::number(rs.recordCount()), "1b1");
    EXPECT_EQ(rs.editState(), Recordset::EditState::None);
    db->exec("delete from qtfy");
    EXPECT_DB_ERROR(rs.remove(), kGone);
    EXPECT_TRUE(rs.bof() && rs.eof() && rs.recordCount() == 0 && seen.size() == 1u);  // a removed handler is not called
}

TEST_F(RecordsetTest, TextAndBytesOverTheEnginesLengthLimitAreRefusedNeverCut) {
    sqlite3_limit(db->handle(), SQLITE_LIMIT_LENGTH, 1000);
    Recordset rs(db, "zfdj");
    rs.refresh();
    // 1001 bytes of photo; 1002 bytes of UTF-8 in 334 characters.
    for (const auto& [field, v] :
         {std::pair("xp", Value(QByteArray(1001, 'x'))), std::pair("xm", Value(QStringLiteral("租").repeated(334)))}) {
        rs.addNew();
        rs.setField(field, v);
        EXPECT_DB_ERROR(rs.update(), "数据太大，不能保存。");
    }
    write(rs, {{"xp", Value(QByteArray(900, 'y'))}});  // a whole row within the limit
    EXPECT_EQ(scalar("select count(*) || ' ' || length(xp) from zfdj"), "1 900");
}

TEST_F(RecordsetTest, RepositionHandlersMayMoveRemoveAndDestroy) {
    addRooms({"1", "2", "3"});
    Recordset master(db, "qtfy"), detail(db, "select * from [qtfy] where [fjh]=?", {Value("")});
    auto room = [](Recordset& rs) { return rs.hasCurrent() ? rs.field("fjh").toText() : QString("-"); };
    // A handler that refreshes another recordset, whose own handler runs
    // nested, and one that moves its own recordset past row "2".
    QStringList trail;
    detail.onReposition([&] { trail << "detail:" + room(detail); });
    master.onReposition([&] {
        detail.setParams({Value(room(master))});
        detail.refresh();
        trail << "master:" + room(master);
    });
    master.onReposition([&] {
        if (room(master) == "2")
            master.moveNext();
    });
    master.refresh();
    master.moveNext();
    EXPECT_EQ(trail, (QStringList{"detail:1", "master:1", "detail:2", "master:2", "detail:3", "master:3"}));

    // Handlers that remove another handler or themselves mid-notification, and
    // one that destroys its recordset, as when a window unloads itself.
    auto rs = std::make_unique<Recordset>(db, "qtfy");
    int self = 0, selfCalls = 0, calls = 0, removed = 0, last = 0;
    self = rs->onReposition([&] { ++selfCalls, rs->removeRepositionHandler(self); });
    rs->onReposition([&] { ++calls == 1 ? rs->removeRepositionHandler(removed) : rs.reset(); });
    removed = rs->onReposition([&] { ADD_FAILURE() << "a removed handler was called"; });
    rs->onReposition([&] { ++last; });
    rs->refresh();
    rs->moveNext();
    EXPECT_FALSE(rs);
    EXPECT_EQ(std::tuple(selfCalls, calls, last), std::tuple(1, 2, 1));  // none after the recordset is gone
}

TEST_F(RecordsetTest, RefreshFollowsAChangedTable) {
    addRooms({"1"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    db->exec("alter table qtfy add column bz TEXT");
    rs.refresh();
    write(rs, {{"bz", Value("备注")}});  // the new column is known and written
    EXPECT_EQ(scalar("select group_concat(ifnull(bz, '-')) from qtfy"), "-,备注");
    rs.moveFirst();
    db->exec("drop table qtfy");
    EXPECT_DB_ERROR(rs.refresh(), "数据文件中没有所需的数据表：qtfy。");
    EXPECT_EQ(rs.field("fjh").toText(), "1");  // the rows read before stay readable
}

namespace {

const char* const kGoneRead = "该记录已被其他程序删除。";

}  // namespace

TEST_F(RecordsetTest, RowsAreReadAsAskedForAndShowWhatTheFileHoldsThen) {
    db->exec(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 299) "
        "insert into qtfy (fjh, hj) select i, i from n");
    Recordset rs(db, "qtfy");
    rs.refresh();
    OtherProgram other(path);
    EXPECT_EQ(other.writesAtOnce(), "");  // no statement is left open between calls
    // The first rows are read with the first row current; rows further on when asked for.
    EXPECT_EQ(other.run("delete from qtfy where fjh in ('1', '200'); update qtfy set hj = 99 where fjh = '250';"
                        "insert into qtfy (fjh) values ('new')"),
              "");
    auto room = [&](int row) {
        try {
            return rs.valueAt(row, 1).toText() + '/' + rs.valueAt(row, 9).toText();
        } catch (const DbError& e) {
            return e.text();
        }
    };
    EXPECT_EQ(rs.recordCount(), 300);  // rows come and go at the next refresh
    const QStringList seen{room(1), room(199), room(200), room(201), room(250), room(299)};
    EXPECT_EQ(seen.join(" | "), QString("1/1 | 199/199 | %1 | 201/201 | 250/99 | 299/299").arg(kGoneRead));
    EXPECT_EQ(other.writesAtOnce(), "");

    // A deleted row can be current but not read, edited or deleted; a search passes it.
    rs.moveTo(200);
    EXPECT_TRUE(rs.hasCurrent());
    EXPECT_DB_ERROR(rs.field("fjh"), kGoneRead);
    rs.edit();
    rs.setField("hj", Value(1));
    EXPECT_DB_ERROR(rs.update(), kGone);
    EXPECT_EQ(QString::number(rs.recordCount()) + ' ' + room(200), "299 201/201");  // dropped as a delete drops it
    const int fjh = rs.columnIndex("fjh");
    auto find = [&](const char* key) { return rs.findRow({{fjh, key}}); };
    EXPECT_EQ(std::tuple(find("250"), find("201"), find("200"), find("new")), std::tuple(249, 200, -1, -1));
    EXPECT_EQ(other.run("delete from qtfy where fjh = '250'"), "");
    EXPECT_EQ(find("250"), -1);
    EXPECT_EQ(other.writesAtOnce(), "");

    // Rows written here are held as written; a refresh reads the file anew.
    write(rs, {{"fjh", Value("mine")}});
    EXPECT_EQ(room(299), "mine/");
    rs.refresh();
    EXPECT_EQ(rs.recordCount(), 299);
    EXPECT_EQ(room(297) + ' ' + room(298), "new/ mine/");
}

// Another program deletes or adds rows: following the file counts them anew,
// the current row (and a place asked about) where it now is; one gone leaves
// no row current, at the place of the row after it, where the next move goes
// on. Nothing written by another program: nothing done. A case: the source,
// the place current before (-1 BOF, 9 EOF), the other program's SQL; then
// "followed count position current-room place-asked(3)-now".
TEST_F(RecordsetTest, FollowingTheFileCountsTheRowsAnewKeepingTheCurrentRow) {
    const char* const byRoom = "select * from [qtfy] order by [fjh] desc";  // rooms 9 ... 1 by rowids 9 ... 1
    const struct {
        const char* source;
        int current;
        const char* other;
        const char* after;
    } cases[] = {
        {"qtfy", 4, "", "no 9 4 5 3"},
        {"qtfy", 4, "delete from qtfy where rowid in (1, 2)", "yes 7 2 5 1"},
        {"qtfy", 4, "delete from qtfy where rowid in (4, 5)", "yes 7 -1 - 3"},  // the row after: room 6, at 3
        {"qtfy", 7, "delete from qtfy where rowid = 8; insert into qtfy (fjh) values ('10')", "yes 9 -1 - 3"},
        {"qtfy", 9, "delete from qtfy where rowid = 1", "yes 8 -1 - 2"},  // EOF stays
        {"qtfy", -1, "insert into qtfy (fjh) values ('10')", "yes 10 -1 - 3"},
        {byRoom, 2, "delete from qtfy where rowid = 9", "yes 8 1 7 2"},
        {byRoom, 2, "delete from qtfy where rowid in (7, 6)", "yes 7 -1 - 2"},  // room 5 after them
    };
    for (const auto& c : cases) {
        db->exec("delete from qtfy");
        addRooms({"1", "2", "3", "4", "5", "6", "7", "8", "9"});
        Recordset rs(db, c.source);
        rs.refresh();
        if (c.current == 9) {
            rs.moveLast();
            rs.moveNext();
        } else if (c.current < 0) {
            rs.movePrevious();
        } else {
            rs.moveTo(c.current);
        }
        OtherProgram other(path);
        EXPECT_EQ(other.run(c.other), "");
        int place = 3;
        const bool followed = rs.followFile(&place);
        const QString after = QStringLiteral("%1 %2 %3 %4 %5")
                                  .arg(followed ? "yes" : "no")
                                  .arg(rs.recordCount())
                                  .arg(rs.absolutePosition())
                                  .arg(rs.hasCurrent() ? rs.field("fjh").toText() : "-")
                                  .arg(place);
        EXPECT_EQ(after, c.after) << c.source << " " << c.current << " " << c.other;
        EXPECT_FALSE(rs.followFile());  // once is enough
    }
    // The next move goes on from the place of a row gone: the row after it.
    db->exec("delete from qtfy");
    addRooms({"1", "2", "3"});
    Recordset rs(db, "qtfy");
    rs.refresh();
    rs.moveNext();
    OtherProgram(path).run("delete from qtfy where fjh = '2'");
    ASSERT_TRUE(rs.followFile());
    rs.moveNext();
    EXPECT_EQ(QString::number(rs.absolutePosition()) + rs.field("fjh").toText(), "13");
}

// Another program rebuilds this month's rows (emptied and filled again, the
// rowids reused), changes or deletes a row, while ours are shown. A case: the
// source, the other program's SQL, our write on row 0 ("rent" typed, or
// "delete"); then what we were told (- for nothing) | the rows we show, the
// current one marked * | the file.
TEST_F(RecordsetTest, AWriteLandsOnlyOnTheRowAsItWasReadElseNothingIsWrittenAndTheRowShowsAsItIsNow) {
    const char* const rebuilt =
        "delete from bysj; insert into bysj (rowid, fjh, xm, zj, bysb) values (1, '104', '乙', 900, 20.5), "
        "(2, '105', '丙', 700, 30.5), (3, '103', '甲', 800, 10.5)";
    const struct {
        const char *source, *other, *write, *after;
    } cases[] = {
        {"bysj", "", "rent", "- | *103/甲/1000/10.5 104/乙/900/20.5 105/丙/700/30.5 | 103/1000 104/900 105/700"},
        {"bysj", rebuilt, "rent",
         "changed | *104/乙/900/20.5 105/丙/700/30.5 103/甲/800/10.5 | 104/900 105/700 103/800"},
        {"bysj", rebuilt, "delete",
         "changed | *104/乙/900/20.5 105/丙/700/30.5 103/甲/800/10.5 | 104/900 105/700 103/800"},
        {"select fjh, xm, zj, bysb from [bysj] where [zj] > ?", rebuilt, "rent",
         "changed | *104/乙/900/20.5 105/丙/700/30.5 103/甲/800/10.5 | 104/900 105/700 103/800"},
        {"bysj", "update bysj set bysb = 11 where fjh = '103'", "rent",
         "changed | *103/甲/800/11 104/乙/900/20.5 105/丙/700/30.5 | 103/800 104/900 105/700"},
        {"bysj", "update bysj set bysb = 11 where fjh = '103'", "delete",
         "changed | *103/甲/800/11 104/乙/900/20.5 105/丙/700/30.5 | 103/800 104/900 105/700"},
        // A row gone: the row after it is current, the new last one when it was the last.
        {"bysj", "delete from bysj where fjh = '103'", "rent",
         "changed | *104/乙/900/20.5 105/丙/700/30.5 | 104/900 105/700"},
        {"bysj", "delete from bysj where fjh = '103'", "delete",
         "changed | *104/乙/900/20.5 105/丙/700/30.5 | 104/900 105/700"},
        {"bysj", "delete from bysj where fjh <> '105'", "rent", "changed | *105/丙/700/30.5 | 105/700"},
        {"bysj", "delete from bysj", "delete", "changed |  | "},
        // The same values written again, or another row changed: the row is still the one read.
        {"bysj", "update bysj set zj = 800, sdj = null", "rent",
         "- | *103/甲/1000/10.5 104/乙/900/20.5 105/丙/700/30.5 | 103/1000 104/800 105/800"},
        {"bysj", "update bysj set xm = '乙乙' where fjh = '104'", "delete",
         "- | 104/乙乙/900/20.5 105/丙/700/30.5 | 104/900 105/700"},
    };
    for (const auto& c : cases) {
        db->exec("delete from bysj");
        db->exec(
            "insert into bysj (rowid, fjh, xm, zj, bysb) values (1, '103', '甲', 800, 10.5), "
            "(2, '104', '乙', 900, 20.5), (3, '105', '丙', 700, 30.5)");
        Recordset rs(db, c.source, QString(c.source).contains('?') ? std::vector{Value(0)} : std::vector<Value>{});
        rs.refresh();
        int fired = 0;
        rs.onReposition([&] { ++fired; });
        OtherProgram other(path);
        ASSERT_EQ(other.run(c.other), "") << c.other;
        QString told = "-";
        try {
            if (c.write == std::string("rent")) {
                write(rs, {{"zj", Value("1000")}}, true);
            } else {
                rs.remove();
            }
        } catch (const RowChangedError& e) {
            told = e.text() == kGone ? "changed" : e.text();
        }
        QStringList shown;
        for (int i = 0; i < rs.recordCount(); ++i) {
            QStringList fields;
            for (const char* f : {"fjh", "xm", "zj", "bysb"}) fields << rs.valueAt(i, rs.columnIndex(f)).toText();
            shown << (i == rs.absolutePosition() ? "*" : "") + fields.join('/');
        }
        const QString file = scalar("select group_concat(fjh || '/' || zj, ' ') from bysj");
        EXPECT_EQ((told + " | " + shown.join(' ') + " | " + file).toStdString(), c.after) << c.other << ' ' << c.write;
        // Refused, the row's edit is left, and its new look was told.
        EXPECT_EQ(rs.editState(), Recordset::EditState::None);
        EXPECT_EQ(fired, told == "-" ? (c.write == std::string("delete")) : 1) << c.other << ' ' << c.write;
    }
}

TEST_F(RecordsetTest, TheRowsAreListedWithoutReadingThemAndASearchReadsNoPhoto) {
    addRegistrations(300, 51200);
    // Each registration fills a page of its own beside its photo's 12 more.
    Recordset rs(db, "select * from [zfdj]");
    rs.refresh();
    EXPECT_LT(pagesRead(), 100);  // the rowids from an index, the first rows
    EXPECT_EQ(rs.recordCount(), 300);
    int before = pagesRead();
    const int xm = rs.columnIndex("xm");
    EXPECT_EQ(rs.findRow({{xm, "租客299"}}), 299);
    EXPECT_LT(pagesRead() - before, 320);  // the registrations, no photo
    before = pagesRead();
    EXPECT_EQ(rs.findRow({{rs.columnIndex("fjh"), "299"}}), 299);
    EXPECT_LT(pagesRead() - before, 10);  // through the index of the rooms: one registration
    before = pagesRead();
    rs.moveTo(150);
    EXPECT_EQ(rs.field("xm").toText(), "租客150");
    EXPECT_LT(pagesRead() - before, 70);  // a page of rows
}

TEST_F(RecordsetTest, AFileWithoutIndexesShowsTheSameRows) {
    // Made by an older build: no index at all.
    for (const char* index : {"zfdj_fjh", "zfdj_ysno", "fzsdjs_jfrq", "fzsdjs_sfzhm", "qtfy_jfrq", "qtfy_sfzhm"})
        db->exec(QStringLiteral("drop index if exists %1").arg(QLatin1String(index)));
    for (const char* room : {"3", "1", "2", "1"})
        db->exec("insert into zfdj (fjh, ysno) values (?, '在住')", {Value(room)});
    db->exec("delete from zfdj where rowid = 1");
    const std::pair<const char*, std::vector<Value>> sources[] = {
        {"zfdj", {}},
        {"select * from [zfdj] where [fjh]=?", {Value("1")}},
        {"select * from [zfdj] where [ysno]=?", {Value("在住")}}};
    const QStringList expected[] = {{"1", "2", "1"}, {"1", "1"}, {"1", "2", "1"}};
    for (size_t i = 0; i < std::size(sources); ++i) {
        Recordset rs(db, sources[i].first, sources[i].second);
        rs.refresh();
        EXPECT_EQ(rooms(rs), expected[i]) << sources[i].first;
    }
}

TEST_F(RecordsetTest, EveryRowReadsAsItsOwnInAnyOrderAfterDeletesAndAdds) {
    // 5,000 rows, more than the pages held at once: room i, total i.
    db->exec(
        "with recursive n(i) as (select 0 union all select i + 1 from n where i < 4999) "
        "insert into qtfy (fjh, hj) select i, i from n");
    const char* const sources[] = {
        "qtfy",
        "select * from [qtfy] where [hj] % 3 = 0",        // rowids apart: read one by one
        "select * from [qtfy] order by [hj] desc",        // rowids descending
        "select fjh, hj from [qtfy] where [hj] >= 4000",  // a select list
    };
    // The rooms of source i, in its order.
    auto rooms = [](int i) {
        std::vector<int> r;
        for (int k = 0; k < 5000; ++k)
            if (i == 0 || (i == 1 && k % 3 == 0) || i == 2 || (i == 3 && k >= 4000))
                r.push_back(i == 2 ? 4999 - k : k);
        return r;
    };
    for (size_t s = 0; s < std::size(sources); ++s) {
        Recordset rs(db, sources[s]);
        rs.refresh();
        std::vector<int> expected = rooms(static_cast<int>(s));
        const int fjh = rs.columnIndex("fjh"), hj = rs.columnIndex("hj");
        auto check = [&](const char* how, int step, int first) {
            ASSERT_EQ(rs.recordCount(), static_cast<int>(expected.size())) << sources[s];
            const int n = rs.recordCount();
            for (int k = 0, row = first; k < n; ++k, row = ((row + step) % n + n) % n) {
                const int want = expected[static_cast<size_t>(row)];
                if (rs.valueAt(row, fjh).toText() != QString::number(want) ||
                    rs.valueAt(row, hj) != Value(Money::fromInt(want))) {
                    ADD_FAILURE() << sources[s] << ' ' << how << " row " << row;
                    return;
                }
            }
        };
        check("forward", 1, 0);
        check("backward", -1, rs.recordCount() - 1);
        check("strided", 97, 5);
        // Every 7th row deleted here, then rows added: the rows after each move up.
        for (int row = rs.recordCount() - 1; row >= 0; row -= 7) {
            rs.moveTo(row);
            rs.remove();
            expected.erase(expected.begin() + row);
        }
        for (int room : {9001, 9002}) {
            write(rs, {{"fjh", Value(QString::number(room))}, {"hj", Value(room)}});
            expected.push_back(room);
        }
        check("after deletes and adds", 31, 2);
        rs.moveTo(10);
        write(rs, {{"hj", Value(-1)}, {"fjh", Value("-1")}}, true);
        expected[10] = -1;
        check("after an edit", 1, 0);
        db->exec("delete from qtfy");
        db->exec(
            "with recursive n(i) as (select 0 union all select i + 1 from n where i < 4999) "
            "insert into qtfy (rowid, fjh, hj) select i + 1, i, i from n");
    }
}

TEST_F(RecordsetTest, ASearchFindsWhatTheFieldShowsWithOrWithoutAnIndex) {
    // The same values in sfzhm (which has an index) and in fjh (which has
    // none), some as another program may have written them: bytes, text that
    // is no UTF-8, Null, empty text.
    for (const char* v : {"cast('A' as blob)", "'a'", "'A'", "cast(x'41FF' as text)", "NULL", "''", "'B'"})
        db->exec(QStringLiteral("insert into qtfy (fjh, sfzhm) values (%1, %1)").arg(QLatin1String(v)));
    Recordset rs(db, "qtfy");
    rs.refresh();
    const struct {
        QString key;
        int from, row;
    } cases[] = {
        {"A", 0, 0}, {"A", 1, 2}, {"a", 0, 1},  {QStringLiteral("A\uFFFD"), 0, 3},
        {"", 0, 5},  {"B", 0, 6}, {"C", 0, -1}, {"B", 7, -1},
    };
    for (const char* field : {"sfzhm", "fjh"}) {
        for (const auto& c : cases)
            EXPECT_EQ(rs.findRow({{rs.columnIndex(field), c.key}}, c.from), c.row) << field << ' ' << qPrintable(c.key);
    }
    // Two fields: the rows holding the first key are those compared.
    db->exec("update qtfy set hj = 5 where rowid = 3");
    EXPECT_EQ(rs.findRow({{rs.columnIndex("sfzhm"), "A"}, {rs.columnIndex("hj"), "5"}}), 2);
}

// A registration whose name (100,000 letters) and work unit (40,000 Chinese
// characters, 120,000 bytes) are longer than any box shows: read whole when
// asked for, shown cut, never written back shortened, and still compared with
// the file before a write.
TEST_F(RecordsetTest, ALongTextIsReadWholeShownCutAndNeverWrittenBackShortened) {
    const QString name = QString(100000, 'x'), unit = QStringLiteral("单").repeated(40000);
    db->exec("insert into zfdj (fjh, xm, dw, jzrs) values ('101', ?, ?, 1), ('102', '李四', '公司', 2)",
             {Value(name), Value(unit)});
    Recordset rs(db, "zfdj");
    rs.refresh();
    const int xm = rs.columnIndex("xm"), dw = rs.columnIndex("dw");
    EXPECT_TRUE(rs.valueAt(0, xm).toText() == name);
    EXPECT_TRUE(rs.field("dw").toText() == unit);
    // Shown: at most 1,000 characters, and whether they were cut.
    const struct {
        int row, column;
        QString shown;
        bool cut;
    } shown[] = {{0, xm, QString(1000, 'x'), true},
                 {0, dw, QStringLiteral("单").repeated(1000), true},
                 {1, xm, QStringLiteral("李四"), false}};
    for (const auto& s : shown) {
        bool cut = false;
        EXPECT_TRUE(rs.valueAt(s.row, s.column, 1000, &cut).toText() == s.shown) << s.row << ' ' << s.column;
        EXPECT_EQ(cut, s.cut) << s.row << ' ' << s.column;
    }
    bool cut = false;
    const QString start = rs.field(dw, 3, &cut).toText();
    EXPECT_TRUE(start == QStringLiteral("单单单") && cut);

    // Another field changed: the long ones stay whole.
    write(rs, {{"jzrs", Value(3)}}, true);
    EXPECT_EQ(scalar("select length(xm) || ' ' || length(dw) || ' ' || jzrs from zfdj where fjh = '101'"),
              "100000 40000 3");
    // The name changed by another program past its first 16 KB, its length
    // kept, or made longer (its start unchanged): not the row read.
    OtherProgram other(path);
    for (const char* change : {"xm = substr(xm, 1, 99999) || 'y'", "xm = xm || 'y'"}) {
        EXPECT_EQ(other.run(("update zfdj set " + std::string(change) + " where fjh = '101'").c_str()), "");
        rs.edit();
        rs.setField("jzrs", Value(4));
        EXPECT_DB_ERROR(rs.update(), kGone);
        EXPECT_EQ(scalar("select jzrs from zfdj where fjh = '101'"), "3") << change;
    }
    EXPECT_TRUE(rs.field("xm").toText() == QString(99999, 'x') + "yy");
    rs.remove();  // the row as read again
    EXPECT_EQ(scalar("select group_concat(fjh) from zfdj"), "102");
}
