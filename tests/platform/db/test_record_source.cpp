// What a record source names: a table or a query, the table its rows are
// written to, whether they come in rowid order, its columns and the field of
// the table behind each; a bad source raises, a changed table is seen.

#include "DbFixture.h"

using namespace tv;
using namespace tv::test;

namespace {

class RecordSourceTest : public DbTest {};

}  // namespace

TEST_F(RecordSourceTest, EachSourceIsReadAndWrittenAsItsShapeAllows) {
    using S = RecordSource::Shape;
    const struct {
        const char* text;
        S shape;
        const char* table;
        bool byRowid;
        int params;
        const char* columns;  // name<-origin, a column of a photo marked *, of an expression ~
    } cases[] = {
        {"qtfy", S::Table, "qtfy", true, 0, "jfrq<-jfrq hj<-hj"},
        {" [qtfy] ;", S::Table, "qtfy", true, 0, "jfrq<-jfrq hj<-hj"},
        {"select * from [fzsdjs] where [jfrq]=? and [fjh]=?", S::Table, "fzsdjs", true, 2, "jfrq<-jfrq hj<-hj"},
        {"select * from zfdj", S::Table, "zfdj", true, 0, "fjh<-fjh xp<-xp*"},
        {"select fjh as room, hj from qtfy where room = ?", S::List, "qtfy", true, 1, "room<-fjh hj<-hj"},
        {"select fjh, hj * 2 as twice from qtfy", S::List, "qtfy", true, 0, "fjh<-fjh twice<-~"},
        {"select * from qtfy order by fjh desc", S::Table, "qtfy", false, 0, "jfrq<-jfrq hj<-hj"},
        {"select * from qtfy where fjh > ? limit 5", S::Verbatim, "qtfy", false, 1, "jfrq<-jfrq hj<-hj"},
        {"select distinct fjh from qtfy", S::Verbatim, "qtfy", false, 0, "fjh<-fjh"},
        {"select q.fjh from qtfy q join zfdj z on q.fjh = z.fjh", S::Verbatim, "qtfy", false, 0, "fjh<-fjh"},
        {"select count(*) as n from qtfy group by fjh", S::Verbatim, "qtfy", false, 0, "n<-~"},
    };
    for (const auto& c : cases) {
        RecordSource source(c.text);
        source.resolve(*db);
        EXPECT_EQ(source.shape(), c.shape) << c.text;
        EXPECT_EQ(source.updatable(), c.shape != S::Verbatim) << c.text;
        EXPECT_EQ(source.byRowid(), c.byRowid) << c.text;
        EXPECT_EQ(source.paramCount(), c.params) << c.text;
        if (c.shape != S::Verbatim) {
            EXPECT_EQ(source.table(), c.table) << c.text;
        }
        // The first column, a photo, an amount and an expression.
        QStringList shown;
        for (int i = 0; i < static_cast<int>(source.columns().size()); ++i) {
            const QString name = source.columns()[static_cast<size_t>(i)].name;
            if (i > 0 && name != "xp" && name != "hj" && name != "twice")
                continue;
            shown << name + "<-" + (source.untyped(i) ? "~" : source.origin(i)) + (source.later(i) ? "*" : "");
        }
        EXPECT_EQ(shown.join(' '), c.columns) << c.text;
    }
    EXPECT_DB_ERROR(RecordSource("nosuch").resolve(*db), "数据文件中没有所需的数据表：nosuch。");
    EXPECT_THROW(RecordSource("select * from qtfy wher x").resolve(*db), DbError);
}

TEST_F(RecordSourceTest, AChangedTableIsSeenAndAFailedResolveKeepsTheColumns) {
    RecordSource source("qtfy");
    EXPECT_TRUE(source.resolve(*db));  // the first columns
    EXPECT_FALSE(source.resolve(*db));
    db->exec("alter table qtfy add column bz TEXT");
    EXPECT_TRUE(source.resolve(*db));
    EXPECT_EQ(source.columns().back().name, "bz");
    db->exec("drop table qtfy");
    EXPECT_THROW(source.resolve(*db), DbError);
    EXPECT_EQ(source.columns().size(), 11u);
}
