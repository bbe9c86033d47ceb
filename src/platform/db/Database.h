#pragma once
// One connection per data file, shared by every data source of the process.

#include "platform/values/Error.h"
#include "platform/values/Value.h"

#include <QString>
#include <QStringList>

#include <cmath>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace tv {

enum class ColumnKind { Text, SmallInt, Integer, Single, Double, Currency, DateTime, Blob };

struct Column {
    QString name;
    ColumnKind kind = ColumnKind::Text;
};

class Database {
public:
    // The shared connection of the file at `path`, opened read-write without
    // create. A missing file or one that is not a database raises DbError with
    // the engine's text and creates nothing.
    static std::shared_ptr<Database> open(const QString& path);
    // Closes the process's cached connections that nobody holds any more
    // (tests, and before a file is replaced on disk).
    static void releaseUnused();
    // A statement on a file another program holds locked waits for it, up to
    // five seconds, then fails ("正被其他程序使用"). The watcher, when there is
    // one, is told of the wait as it begins and at every try again after it,
    // with the file's path; false ends the wait at once. Returns the watcher
    // it replaces.
    using BusyWatcher = std::function<bool(const QString& path)>;
    static BusyWatcher setBusyWatcher(BusyWatcher watcher);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& path() const { return path_; }
    sqlite3* handle() const { return db_; }

    // Declared columns of a table, in order; DbError when there is no such table.
    std::vector<Column> columns(const QString& table);
    QStringList tables();
    bool hasTable(const QString& table);

    // Runs one statement with bound parameters (? placeholders).
    void exec(const QString& sql, const std::vector<Value>& params = {});
    // Rows of a query, each as the column values in order.
    std::vector<std::vector<Value>> query(const QString& sql, const std::vector<Value>& params = {});
    // The same rows handed to `row` one at a time as the engine gives them,
    // none of them kept (a whole table written out); `row` may take the
    // values. The read lasts until the last row has been handed over.
    void forEachRow(const QString& sql, const std::vector<Value>& params,
                    const std::function<void(std::vector<Value>& row)>& row);

    // All or nothing: `work` runs inside one transaction, committed when it
    // returns, rolled back when it throws (the exception goes on).
    void transaction(const std::function<void()>& work);
    bool inTransaction() const { return txDepth_ > 0; }

    // Converts a value for a column of the given kind, as Update does;
    // DbError("数据类型转换错误：<field>") when it cannot be held
    // ("数据类型转换错误。" without a field name), and a reading a SINGLE
    // field cannot keep to a tenth (beyond kLargestSingle) refused as too
    // large, the field named.
    static Value convert(const Value& v, ColumnKind kind, const QString& field = QString());
    // The largest reading, either way from zero, a SINGLE field keeps to a tenth.
    static constexpr float kLargestSingle = 524287.9f;
    // True when `v` already has the form a column of this kind holds, so that
    // convert() would give it back as it is.
    static bool holds(const Value& v, ColumnKind kind);

    // The kind of a declared column type ("CURRENCY", "varchar(50)", ...).
    static ColumnKind kindOfDeclaredType(const QString& declared);
    // True when the file was opened read-only (it is marked read-only on disk).
    bool readOnly() const { return readOnly_; }
    // The file at this connection's path was replaced, moved or deleted since
    // it was opened: the rows read here are no longer those of the file there.
    bool moved() const;
    // DbError "数据文件已被其他程序替换或移动…" when it was.
    void checkNotMoved() const;

    // True when `e`, raised by a statement of this connection, refused that
    // statement's row for its values alone (a constraint, a type, a value too
    // large) and left the transaction it ran in whole: work that stores many
    // rows may count the row and go on. Any other error (a full disk, I/O, a
    // read-only file, busy, a damaged file, a transaction the engine rolled
    // back by itself) ends such work.
    bool refusedRowOnly(const DbError& e) const;
    // True for the engine's error of a full disk.
    static bool diskFull(const DbError& e);

    // What the user is told for an engine result code (primary or extended,
    // e.g. SQLITE_READONLY_DBMOVED), in Chinese only: "数据文件正被其他程序
    // 使用，请稍后再试。"; of the engine's English text only the name of a
    // missing table or field is kept, a text of the data file's own (a
    // trigger's, without Latin letters) is told after it in brackets. Every
    // DbError that comes from the engine carries such a text.
    static QString engineErrorText(int code, const QString& engineText);

    // A prepared statement of the connection's cache, held while it runs and
    // given back (reset, its bindings cleared) however the holder leaves. A
    // text in use further up the stack gets a statement of its own.
    class Lease {
    public:
        Lease(Database& db, std::string sql);
        ~Lease();
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        sqlite3_stmt* get() const { return st_; }
        // One step: true on a row, false at the end; DbError when it fails.
        bool next();
        // Steps to the end and is ready to run again (with new bindings).
        void run();
        // Binds a whole number, or a value as exec() does.
        void bind(int index, int64_t n);
        void bind(int index, const Value& v);

    private:
        Database& db_;
        std::string sql_;
        sqlite3_stmt* st_;
    };
    // Binds one value per placeholder. With `kept`, texts, dates and bytes
    // are handed to the engine from buffers kept there (one per placeholder)
    // instead of being copied by it: the statement must run before they change.
    void bindAll(sqlite3_stmt* st, const std::vector<Value>& params, std::vector<QByteArray>* kept = nullptr);
    // DbError for the result code `rc` a call returned: the connection's own
    // error when it is that one, else the code's text (a bind refused before
    // the engine kept an error of its own).
    [[noreturn]] void fail(int rc);

private:
    friend class Statement;
    explicit Database(const QString& path, sqlite3* db, bool readOnly);

    // Prepared statements are kept per SQL text and reused; a statement in use
    // is taken out of the cache, so nested use of the same text is safe.
    sqlite3_stmt* acquire(const std::string& sql);
    // A statement of the caller's own, outside the cache (finalized by the caller).
    sqlite3_stmt* prepare(const std::string& sql);
    void release(const std::string& sql, sqlite3_stmt* st);
    QString errorText(int rc, int* code = nullptr) const;

    QString path_;
    sqlite3* db_ = nullptr;
    bool readOnly_ = false;
    int txDepth_ = 0;
    struct CachedStatement {
        sqlite3_stmt* st = nullptr;
        bool busy = false;
    };
    std::unordered_map<std::string, CachedStatement> stmtCache_;
};

// A statement prepared once and run many times with new parameters (the rows
// of an import): its text is not looked up again for each run, and texts go
// to the engine without a copy of their own. The statement is this object's,
// outside the connection's cache; the Database must outlive it.
class Statement {
public:
    // DbError when the engine refuses the text.
    Statement(Database& db, const QString& sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    // Binds `params` (one per ? placeholder, as exec() takes them) and runs
    // the statement to its end, ready for the next run however it ends;
    // DbError with the engine's text when it fails.
    void run(const std::vector<Value>& params);

private:
    Database& db_;
    sqlite3_stmt* st_ = nullptr;
    std::vector<QByteArray> kept_;
};

inline bool Database::holds(const Value& v, ColumnKind kind) {
    using K = Value::Kind;
    switch (kind) {
        case ColumnKind::Text:
            return v.kind() == K::Text || v.isNull();
        case ColumnKind::SmallInt:
            return v.kind() == K::Int16 || v.isNull();
        case ColumnKind::Integer:
            return v.kind() == K::Int32 || v.isNull();
        case ColumnKind::Single:
            return (v.kind() == K::Single && std::fabs(v.toSingle()) <= kLargestSingle) || v.isNull();
        case ColumnKind::Double:
            return (v.kind() == K::Double && std::isfinite(v.toDouble())) || v.isNull();
        case ColumnKind::Currency:
            return v.kind() == K::Money || v.isNull();
        case ColumnKind::DateTime:
            return (v.kind() == K::Date && v.toDate().isValid()) || v.isNull();
        case ColumnKind::Blob:
            return v.kind() == K::Bytes || v.isNull();
    }
    return false;
}

}  // namespace tv
