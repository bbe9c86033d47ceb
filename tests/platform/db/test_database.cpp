// Opening data files, conversion by declared type, queries and transactions.

#include "DbFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sqlite3.h>

using namespace tv;
using namespace tv::test;

namespace {

QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

class DatabaseTest : public DbTest {};

}  // namespace

TEST_F(DatabaseTest, OneConnectionPerFileWhateverThePathLooksLike) {
    auto again = Database::open(path);
    EXPECT_EQ(again.get(), db.get());
    ASSERT_TRUE(QDir(dir.path()).mkdir("sub"));
    auto dotted = Database::open(dir.path() + "/./sub/../data.mdb");
    EXPECT_EQ(dotted.get(), db.get());
    ASSERT_TRUE(QFile::link(path, dir.filePath("link.mdb")));
    EXPECT_EQ(Database::open(dir.filePath("link.mdb")).get(), db.get());
    EXPECT_EQ(db->path(), QFileInfo(path).canonicalFilePath());
    EXPECT_FALSE(db->readOnly());

    // Two recordsets on one file see each other's writes at once.
    Recordset a(db, "qtfy");
    a.refresh();
    a.addNew();
    a.setField("fjh", Value("101"));
    a.update();
    Recordset b(again, "select * from [qtfy]");
    b.refresh();
    EXPECT_EQ(b.recordCount(), 1);
}

TEST_F(DatabaseTest, MissingOrForeignFilesAreRefusedAndNothingIsCreated) {
    const QString missing = dir.filePath("missing.mdb");
    EXPECT_DB_ERROR(Database::open(missing), "unable to open database file");
    EXPECT_FALSE(QFile::exists(missing));
    EXPECT_DB_ERROR(Database::open(dir.filePath("nodir/x.mdb")), "unable to open database file");
    EXPECT_FALSE(QDir(dir.filePath("nodir")).exists());
    EXPECT_DB_ERROR(Database::open(dir.path()), "unable to open database file");
    EXPECT_DB_ERROR(Database::open(""), "unable to open database file");

    const QString text = dir.filePath("notes.mdb");
    const QByteArray content =
        QStringLiteral("这不是数据文件。\nplain text, long enough to fill a header ....................\n")
            .repeated(20)
            .toUtf8();
    writeFile(text, content);
    EXPECT_DB_ERROR(Database::open(text), "file is not a database");
    EXPECT_EQ(fileBytes(text), content);

    const QString empty = dir.filePath("empty.mdb");
    writeFile(empty, {});
    EXPECT_DB_ERROR(Database::open(empty), "file is not a database");
    EXPECT_EQ(QFileInfo(empty).size(), 0);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 3);  // data, notes, empty: no journal left behind
}

TEST_F(DatabaseTest, TruncatedFileGivesAnErrorNotACrash) {
    db->transaction([&] {
        for (int i = 0; i < 3000; ++i)
            db->exec("insert into zfdj (fjh, xm) values (?, ?)",
                     {Value(QString::number(i)), Value(QStringLiteral("租客%1").arg(i))});
    });
    db.reset();
    Database::releaseUnused();
    const QByteArray whole = fileBytes(path);
    ASSERT_GT(whole.size(), 40000);

    const QString half = dir.filePath("half.mdb");
    writeFile(half, whole.left(whole.size() / 2));
    try {
        auto h = Database::open(half);
        Recordset rs(h, "zfdj");
        rs.refresh();
        ADD_FAILURE() << "a truncated file read without error";
    } catch (const DbError& e) {
        EXPECT_EQ(e.text(), "database disk image is malformed");
    }
    const QString stub = dir.filePath("stub.mdb");
    writeFile(stub, whole.left(60));
    EXPECT_THROW(Database::open(stub), DbError);
    EXPECT_EQ(QFileInfo(stub).size(), 60);
}

TEST_F(DatabaseTest, ReadOnlyFileReadsButRefusesWrites) {
    db->exec("insert into qtfy (fjh) values ('101')");
    db.reset();
    Database::releaseUnused();
    const QByteArray before = fileBytes(path);
    ASSERT_TRUE(QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::ReadUser));
    auto ro = Database::open(path);
    EXPECT_TRUE(ro->readOnly());
    auto rsp = std::make_unique<Recordset>(ro, "qtfy");
    Recordset& rs = *rsp;
    rs.refresh();
    EXPECT_EQ(rs.field("fjh").toText(), "101");
    rs.edit();
    rs.setField("fjh", Value("102"));
    EXPECT_DB_ERROR(rs.update(), "数据文件是只读的，不能写入：attempt to write a readonly database");
    EXPECT_EQ(rs.editState(), Recordset::EditState::Editing);
    EXPECT_THROW(ro->transaction([&] { ro->exec("delete from qtfy"); }), DbError);
    EXPECT_FALSE(ro->inTransaction());
    rsp.reset();
    ro.reset();
    Database::releaseUnused();
    QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    EXPECT_EQ(fileBytes(path), before);
}

TEST_F(DatabaseTest, TablesColumnsQueriesAndEngineErrors) {
    EXPECT_EQ(db->tables(), (QStringList{"zfdj", "fzsdjs", "bysj", "sysj", "qtfy"}));
    EXPECT_TRUE(db->hasTable("FZSDJS"));
    EXPECT_FALSE(db->hasTable("yhzc"));
    const auto cols = db->columns("zfdj");
    ASSERT_EQ(cols.size(), 32u);
    EXPECT_EQ(cols[1].kind, ColumnKind::SmallInt);
    EXPECT_EQ(cols[31].kind, ColumnKind::Blob);
    EXPECT_DB_ERROR(db->columns("nosuch"), "no such table: nosuch");
    EXPECT_DB_ERROR(db->exec("delete from nosuch"), "no such table: nosuch");
    EXPECT_DB_ERROR(db->query("select * from nosuch where x = ?", {Value(1)}), "no such table: nosuch");

    db->exec("insert into fzsdjs (jfrq, fjh, zj, bysb) values (?, ?, ?, ?)",
             {Value(QDate(2024, 2, 29)), Value("房1"), Value(toMoney(1234.56)), Value(1250.5f)});
    const auto rows = db->query("select jfrq, fjh, zj, bysb, count(*) from fzsdjs where fjh = ?", {Value("房1")});
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], Value(QDate(2024, 2, 29)));
    EXPECT_EQ(rows[0][2], Value(toMoney(1234.56)));
    EXPECT_EQ(rows[0][3], Value(1250.5f));
    EXPECT_EQ(rows[0][4], Value(int32_t(1)));
    EXPECT_EQ(scalar("select jfrq from fzsdjs"), "2024-02-29");  // dates stored as ISO text
}

TEST_F(DatabaseTest, ConvertByDeclaredType) {
    const QString refused = QStringLiteral("数据类型转换错误。");
    auto bad = [&](const Value& v, ColumnKind k) {
        try {
            Database::convert(v, k);
            return false;
        } catch (const DbError& e) {
            return e.text() == refused;
        }
    };
    using K = ColumnKind;
    EXPECT_EQ(Database::convert(Value("2.5"), K::SmallInt), Value(int16_t(2)));
    EXPECT_EQ(Database::convert(Value("3.5"), K::SmallInt), Value(int16_t(4)));
    EXPECT_EQ(Database::convert(Value(" -32768 "), K::SmallInt), Value(int16_t(-32768)));
    EXPECT_EQ(Database::convert(Value(32767.4), K::SmallInt), Value(int16_t(32767)));
    EXPECT_EQ(Database::convert(Value(toMoney(2.5)), K::SmallInt), Value(int16_t(2)));
    EXPECT_TRUE(bad(Value("32768"), K::SmallInt));
    EXPECT_TRUE(bad(Value(int32_t(-32769)), K::SmallInt));
    EXPECT_TRUE(bad(Value("abc"), K::SmallInt));
    EXPECT_TRUE(bad(Value(QDate(2024, 1, 1)), K::SmallInt));
    EXPECT_TRUE(Database::convert(Value(""), K::SmallInt).isNull());
    EXPECT_TRUE(Database::convert(Value(), K::SmallInt).isNull());

    EXPECT_EQ(Database::convert(Value("70000"), K::Integer), Value(int32_t(70000)));
    EXPECT_TRUE(bad(Value(3e9), K::Integer));
    EXPECT_TRUE(bad(Value(Money::fromInt(3000000000LL)), K::Integer));  // refused, not cut to 2147483647
    EXPECT_EQ(Database::convert(Value(toMoney(-2.5)), K::Integer), Value(int32_t(-2)));

    EXPECT_EQ(Database::convert(Value("34.4000244"), K::Single), Value(34.4000244f));
    EXPECT_TRUE(bad(Value(1e39), K::Single));
    EXPECT_TRUE(bad(Value("1,5"), K::Single));

    EXPECT_EQ(Database::convert(Value("19.99"), K::Currency), Value(toMoney(19.99)));
    EXPECT_EQ(Database::convert(Value(0.68 * 151), K::Currency), Value(toMoney(102.68)));
    EXPECT_EQ(Database::convert(Value(int32_t(800)), K::Currency), Value(Money::fromInt(800)));
    EXPECT_TRUE(bad(Value("十元"), K::Currency));
    EXPECT_TRUE(bad(Value(1e16), K::Currency));

    EXPECT_EQ(Database::convert(Value(" 2024/1/5 "), K::DateTime), Value(QDate(2024, 1, 5)));
    EXPECT_TRUE(bad(Value("2024-13-01"), K::DateTime));
    EXPECT_TRUE(bad(Value(45000.0), K::DateTime));
    EXPECT_TRUE(Database::convert(Value(""), K::DateTime).isNull());

    EXPECT_EQ(Database::convert(Value(int16_t(12)), K::Text), Value("12"));
    EXPECT_EQ(Database::convert(Value(""), K::Text), Value(""));  // "" stays "" in a text column
    EXPECT_EQ(Database::convert(Value(QByteArray("\x89PNG")), K::Blob), Value(QByteArray("\x89PNG")));
    EXPECT_TRUE(bad(Value("photo"), K::Blob));
    EXPECT_TRUE(bad(Value(QByteArray("x")), K::Text));

    EXPECT_EQ(Database::kindOfDeclaredType("varchar(50)"), K::Text);
    EXPECT_EQ(Database::kindOfDeclaredType(" currency "), K::Currency);
    EXPECT_EQ(Database::kindOfDeclaredType("LONG"), K::Integer);
}

TEST_F(DatabaseTest, TransactionsAreAllOrNothing) {
    auto count = [&] { return scalar("select count(*) from qtfy"); };
    EXPECT_THROW(db->transaction([&] {
        for (int i = 0; i < 100; ++i) db->exec("insert into qtfy (fjh) values (?)", {Value(QString::number(i))});
        EXPECT_TRUE(db->inTransaction());
        throw DbError("stop");
    }),
                 DbError);
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(count(), "0");

    // Recordset writes join the transaction, and nested calls join the outer one.
    Recordset rs(db, "qtfy");
    rs.refresh();
    db->transaction([&] {
        rs.addNew();
        rs.setField("fjh", Value("outer"));
        rs.update();
        try {
            db->transaction([&] {
                db->exec("insert into qtfy (fjh) values ('inner-failed')");
                throw DbError("inner");
            });
        } catch (const DbError&) {
        }
        db->transaction([&] { db->exec("insert into qtfy (fjh) values ('inner-ok')"); });
        EXPECT_EQ(count(), "0");  // nothing visible to another connection before the commit
    });
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(scalar("select group_concat(fjh) from qtfy"), "outer,inner-ok");

    // A failing statement inside rolls the whole work back.
    EXPECT_THROW(db->transaction([&] {
        db->exec("insert into qtfy (fjh) values ('x')");
        db->exec("insert into nosuch values (1)");
    }),
                 DbError);
    EXPECT_EQ(count(), "2");
}

TEST_F(DatabaseTest, PhotosAreReadWhenAskedFor) {
    QByteArray photo(50 * 1024, '\0');
    for (int i = 0; i < photo.size(); ++i) photo[i] = static_cast<char>(i * 7);
    db->transaction([&] {
        for (int i = 0; i < 20; ++i)
            db->exec("insert into zfdj (fjh, xp) values (?, ?)", {Value(QString::number(i)), Value(photo)});
        db->exec("insert into zfdj (fjh) values ('no photo')");
    });
    // A fresh connection starts with an empty page cache: count the pages read.
    db.reset();
    Database::releaseUnused();
    db = Database::open(path);
    auto pagesRead = [&] {
        int now = 0, high = 0;
        sqlite3_db_status(db->handle(), SQLITE_DBSTATUS_CACHE_MISS, &now, &high, 0);
        return now;
    };
    Recordset rs(db, "zfdj");
    rs.refresh();
    const int atRefresh = pagesRead();
    EXPECT_LT(atRefresh, 60);  // a row page each; the 20 photos fill more than 250 pages
    EXPECT_EQ(rs.field("xp"), Value(photo));
    EXPECT_GE(pagesRead() - atRefresh, 12);
    // The photo is read from the file at the moment it is asked for.
    db->exec("update zfdj set xp = ? where fjh = '0'", {Value(QByteArray("new"))});
    EXPECT_EQ(rs.field("xp"), Value(QByteArray("new")));
    rs.moveLast();
    EXPECT_TRUE(rs.field("xp").isNull());
    EXPECT_EQ(rs.field("fjh").toText(), "no photo");

    // Editing another field keeps the photo; a new photo is written.
    rs.moveFirst();
    rs.edit();
    rs.setField("xm", Value("张三"));
    rs.update();
    EXPECT_EQ(rs.field("xp"), Value(QByteArray("new")));
    rs.addNew();
    rs.setField("fjh", Value("new row"));
    rs.setField("xp", Value(photo));
    rs.update();
    EXPECT_EQ(rs.field("xp"), Value(photo));
    EXPECT_EQ(scalar("select length(xp) from zfdj where fjh = 'new row'"), "51200");
}
