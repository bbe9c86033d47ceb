// The keys of a source's rows: counted at a refresh without reading the
// rows, read a part at a time from the nearest rowids known, and exact: each
// position has the rowid the source lists there, whatever was read before.

#include "DbFixture.h"

#include "platform/db/RowKeys.h"

#include <algorithm>
#include <random>

using namespace tv;
using namespace tv::test;

namespace {

class RowKeysTest : public DbTest {
protected:
    // 20,000 bills: rowid i, room i, a billing date a month of ten.
    void SetUp() override {
        DbTest::SetUp();
        db->exec(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
            "insert into fzsdjs (rowid, fjh, jfrq, zj) select i, i, '2024-0' || (i % 9 + 1) || '-01', i from n");
    }
    std::vector<int64_t> rowids(const QString& sql, const std::vector<Value>& params = {}) {
        std::vector<int64_t> ids;
        for (const auto& row : db->query(sql, params)) ids.push_back(row[0].toDouble());
        return ids;
    }
};

// Positions asked for in an order that reads parts from either end, from
// the middle and next to parts read before.
std::vector<int> scattered(int n) {
    if (n == 0)
        return {};
    std::vector<int> positions{n - 1, 0, n / 2, n / 2 + 1, n / 2 - 1, n - 65, 64, 63};
    std::mt19937 random(7);
    for (int i = 0; i < 200; ++i) positions.push_back(static_cast<int>(random() % static_cast<unsigned>(n)));
    positions.erase(std::remove_if(positions.begin(), positions.end(), [n](int p) { return p < 0 || p >= n; }),
                    positions.end());
    return positions;
}

}  // namespace

TEST_F(RowKeysTest, EveryPositionHasTheRowidTheSourceListsThere) {
    db->exec("delete from fzsdjs where rowid in (10, 11, 12, 9000, 19999)");  // gaps among the rowids
    const struct {
        const char* source;
        std::vector<Value> params;
        const char* truth;  // the rowids listed by the engine, in the source's order
        bool byParts;
    } cases[] = {
        {"fzsdjs", {}, "select rowid from fzsdjs order by rowid", true},
        {"select * from [fzsdjs] where [jfrq]=?",
         {Value("2024-03-01")},
         "select rowid from fzsdjs where jfrq = '2024-03-01' order by rowid",
         true},
        {"select fjh as room, zj from fzsdjs where room like ?",
         {Value("1%")},
         "select rowid from fzsdjs where fjh like '1%' order by rowid",
         true},
        {"select * from [fzsdjs] order by [zj] desc", {}, "select rowid from fzsdjs order by zj desc", false},
        {"select * from [fzsdjs] where [fjh]=?", {Value("none")}, "select rowid from fzsdjs where 0", true},
    };
    for (const auto& c : cases) {
        RecordSource source(c.source);
        source.resolve(*db);
        const std::vector<int64_t> truth = rowids(c.truth);
        // Asked for by position (a part read around each), and by rowid
        // first (counted from the nearest rowids known).
        for (const bool byRowidFirst : {false, true}) {
            RowKeys keys(*db, source);
            const int before = pagesRead();
            keys.refresh(c.params);
            if (c.byParts) {
                EXPECT_LT(pagesRead() - before, 40) << c.source;  // nothing listed
            }
            EXPECT_EQ(keys.byParts(), c.byParts) << c.source;
            ASSERT_EQ(keys.count(), static_cast<int>(truth.size())) << c.source;
            for (const int pos : scattered(keys.count())) {
                const auto id = truth[static_cast<size_t>(pos)];
                if (byRowidFirst) {
                    ASSERT_EQ(keys.positionOf(id), pos) << c.source << " rowid " << id;
                }
                ASSERT_EQ(keys.at(pos), id) << c.source << " at " << pos;
                ASSERT_EQ(keys.positionOf(id), pos) << c.source << " rowid " << id;
            }
            EXPECT_EQ(keys.positionOf(10), -1) << c.source;  // no row of it
        }
    }
}

// Rows deleted here (the first, the last, one within a run of rowids or among
// rowids read, one never read) and added here: the keys follow a list
// changed alike.
TEST_F(RowKeysTest, RowsDeletedAndAddedHereMoveTheRowsAfterThem) {
    for (const char* gaps : {"", "delete from fzsdjs where rowid % 100 = 0"}) {
        if (*gaps)
            db->exec(gaps);
        RecordSource source("fzsdjs");
        source.resolve(*db);
        RowKeys keys(*db, source);
        keys.refresh({});
        std::vector<int64_t> model = rowids("select rowid from fzsdjs order by rowid");
        keys.at(1000);                                  // a part read
        for (int pos : {0, 1000, 999, 5000, -1, 70}) {  // -1: the last
            pos = pos < 0 ? static_cast<int>(model.size()) - 1 : pos;
            keys.erase(pos);
            model.erase(model.begin() + pos);
        }
        for (const int64_t id : {30001, 30002}) {
            keys.append(id);
            model.push_back(id);
        }
        keys.erase(static_cast<int>(model.size()) - 2);
        model.erase(model.end() - 2);
        ASSERT_EQ(keys.count(), static_cast<int>(model.size())) << gaps;
        for (int pos = 0; pos < keys.count(); ++pos)
            ASSERT_EQ(keys.at(pos), model[static_cast<size_t>(pos)]) << gaps << pos;
        for (int pos = 0; pos < keys.count(); pos += 97)
            EXPECT_EQ(keys.positionOf(model[static_cast<size_t>(pos)]), pos);
    }
}

// Another program deletes and adds rows after the refresh: the count and the
// places of the rows read stay; a row it adds is none of them. A table whose
// rowids run without a gap keeps every row at its place (one deleted reads as
// gone there); in one with gaps the parts read afterwards find fewer rows
// than places, and as many places are gone, the rows in their order.
TEST_F(RowKeysTest, AnotherProgramsRowsNeverMoveTheCountOrTheRowsRead) {
    for (const bool gaps : {false, true}) {
        if (gaps)
            db->exec("delete from fzsdjs where rowid = 15000");
        RecordSource source("fzsdjs");
        source.resolve(*db);
        RowKeys keys(*db, source);
        keys.refresh({});
        const int count = keys.count();
        keys.at(0);
        OtherProgram other(path);
        ASSERT_EQ(
            other.run("delete from fzsdjs where rowid in (5, 10000, 10001); insert into fzsdjs (fjh) values ('新')"),
            "");
        EXPECT_EQ(keys.count(), count);
        EXPECT_EQ(keys.at(4), 5);  // read before: it stays, gone in the file
        EXPECT_EQ(keys.positionOf(20001), -1);
        if (!gaps) {
            EXPECT_EQ(keys.at(10000) * 1000 + keys.at(19999), 10001LL * 1000 + 20000);
        } else {
            std::vector<int64_t> read;
            int gone = 0;
            for (const int pos : scattered(count)) keys.at(pos);
            for (int pos = 0; pos < count; ++pos) {
                if (const int64_t id = keys.at(pos); id == RowKeys::kGone)
                    ++gone;
                else
                    read.push_back(id);
            }
            EXPECT_EQ(gone, 2);
            read.erase(std::remove(read.begin(), read.end(), 5), read.end());
            EXPECT_EQ(read, rowids("select rowid from fzsdjs where rowid <= 20000 order by rowid"));
        }
        db->exec("delete from fzsdjs");
        db->exec(
            "with recursive n(i) as (select 1 union all select i + 1 from n where i < 20000) "
            "insert into fzsdjs (rowid, fjh) select i, i from n");
    }
}
