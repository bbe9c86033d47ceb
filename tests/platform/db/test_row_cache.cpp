// The rows of a source as they are read: a page of rows when one of them is
// asked for, at most sixty-four pages held (the current row's always), a long
// text held cut; and the search among the source's rows only.

#include "DbFixture.h"

#include "platform/db/RowCache.h"

using namespace tv;
using namespace tv::test;

namespace {

class RowCacheTest : public DbTest {
protected:
    // Bills of rooms 1 to n, rowid and total alike, on three billing dates in
    // turn, of six tenants in turn.
    void addBills(int n) {
        db->exec(QStringLiteral("with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "
                                "insert into fzsdjs (rowid, fjh, sfzhm, jfrq, hj) select i, i, 'ID' || (i % 6), "
                                "'2024-0' || (i % 3 + 1) || '-01', i from n")
                     .arg(n));
    }
};

}  // namespace

// Another program changes the totals of rows 0 and 5000 after row 0 was read:
// row 0 shows what was read while its page is held, row 5000 what the file
// holds when it is read. After seventy other pages were read, page 0 was given
// up, and read again, unless it is the current row's.
TEST_F(RowCacheTest, APageIsReadWithOneOfItsRowsAndAtMostSixtyFourAreHeld) {
    addBills(10000);
    for (const bool pinned : {false, true}) {
        RecordSource source("fzsdjs");
        source.resolve(*db);
        RowCache cache(db, source);
        cache.refresh({});
        const int hj = 18;
        cache.pin(pinned ? 0 : -1);
        EXPECT_EQ(cache.value(0, hj).toText(), "1");
        OtherProgram other(path);
        ASSERT_EQ(other.run("update fzsdjs set hj = -hj where rowid in (1, 5001)"), "");
        EXPECT_EQ(cache.value(0, hj).toText() + ' ' + cache.value(5000, hj).toText(), "1 -5001");
        for (int page = 1; page <= 70; ++page) cache.row(page * 64);
        EXPECT_EQ(cache.value(0, hj).toText(), pinned ? "1" : "-1") << pinned;
        db->exec("update fzsdjs set hj = -hj where rowid in (1, 5001)");
    }
}

// A name of 100,000 characters is held by its first bytes: shown cut from
// them, read whole from the file when asked for (the whole kept for the next
// asking), and read again once its row is.
TEST_F(RowCacheTest, ALongTextIsHeldCutAndReadWholeWhenAskedFor) {
    db->exec("insert into zfdj (fjh, xm) values ('101', printf('%.*c', 100000, 'a'))");
    RecordSource source("zfdj");
    source.resolve(*db);
    RowCache cache(db, source);
    cache.refresh({});
    const int xm = 2;
    OtherProgram other(path);
    const auto lengths = [&] {
        bool cut = false;
        const QString shown = cache.shown(0, xm, 10, &cut).toText();
        return QStringLiteral("%1%2 %3").arg(shown).arg(cut ? "…" : "").arg(cache.value(0, xm).toText().size());
    };
    EXPECT_EQ(lengths(), "aaaaaaaaaa… 100000");
    ASSERT_EQ(other.run("update zfdj set xm = 'b' || xm"), "");
    EXPECT_EQ(lengths(), "aaaaaaaaaa… 100000");  // the row and its whole as read
    cache.forget();
    EXPECT_EQ(lengths(), "baaaaaaaaa… 100001");
}

// Bills of three dates; the source holds one of them. A search by an ID
// number (through its index) or by a room (row after row) finds only the
// source's rows, from the row it starts at; a row added here is found too.
TEST_F(RowCacheTest, ASearchFindsOnlyTheSourcesRowsWithOrWithoutAnIndex) {
    addBills(600);
    RecordSource source("select * from [fzsdjs] where [jfrq]=?");
    source.resolve(*db);
    RowCache cache(db, source);
    cache.refresh({Value("2024-02-01")});  // row r: room 3r + 1, ID1 on an even row, ID4 on an odd one
    ASSERT_EQ(cache.count(), 200);
    const int fjh = 1, sfzhm = 3;
    // A row added as the cursor adds it: written, then held as written.
    db->exec("insert into fzsdjs (rowid, fjh, sfzhm, jfrq) values (700, 'new', 'ID1', '2024-02-01')");
    packed::RowWriter added;
    for (const Column& c : source.columns())
        added.append(c.name == "fjh" ? Value("new") : c.name == "sfzhm" ? Value("ID1") : Value(), false, 1000);
    cache.append(700, added.data(), added.size());
    const struct {
        int column;
        const char* key;
        int from, found;
    } cases[] = {
        {sfzhm, "ID1", 0, 0},     {sfzhm, "ID1", 1, 2}, {sfzhm, "ID4", 0, 1}, {sfzhm, "ID2", 0, -1},  // on other dates
        {sfzhm, "ID1", 199, 200}, {fjh, "301", 0, 100}, {fjh, "302", 0, -1},  {fjh, "301", 101, -1},
        {fjh, "new", 0, 200},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cache.find({{c.column, c.key}}, c.from), c.found) << c.column << ' ' << c.key << ' ' << c.from;
}
