// The connection of one data file, shared by every data source of the process.

#include "platform/db/Database.h"

#include "platform/db/Storage.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>

#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <utility>

namespace tv {

namespace {

constexpr int kBusyTimeoutMs = 5000;
constexpr size_t kStatementCacheSize = 64;

std::map<QString, std::weak_ptr<Database>>& openFiles() {
    static std::map<QString, std::weak_ptr<Database>> files;
    return files;
}

// The journal the engine makes beside a data file while it writes takes a
// name 8 bytes longer ("-journal"): too long for the folder's file system.
bool journalNameTooLong(const QString& path) {
    const QFileInfo file(path);
    const long most = ::pathconf(QFile::encodeName(file.absolutePath()).constData(), _PC_NAME_MAX);
    return QFile::encodeName(file.fileName()).size() + 8 > (most > 0 ? most : 255);
}

// Raised by the converters below; convert() names the field.
struct Refused {
    bool tooLarge = false;  // a reading past what the field keeps to a tenth
};

[[noreturn]] void refuse() { throw Refused{}; }

// A number for a numeric column: numbers as they are, text parsed, anything
// else refused.
double numberOf(const Value& v) {
    if (v.isNumber())
        return v.toDouble();
    if (v.kind() == Value::Kind::Text) {
        if (const auto d = parseNumber(v.toText()))
            return *d;
    }
    refuse();
}

bool emptyText(const Value& v) { return v.kind() == Value::Kind::Text && v.toText().trimmed().isEmpty(); }

// ---- conversion by column kind ------------------------------------------------
// Each converter takes a value that is not Null and gives what the column holds,
// or refuses it.

// The whole number nearest to a value, ties to even: "2.5" -> 2. An amount is
// rounded exactly on its decimal value, without the clamp of toInt(): an amount
// out of range is refused by the caller, not cut down.
double wholeOf(const Value& v) {
    if (v.kind() != Value::Kind::Money)
        return std::nearbyint(numberOf(v));
    const int64_t units = v.toMoney().units();
    int64_t q = units / 10000, r = units % 10000;
    if (r < 0) {
        r += 10000;
        --q;
    }
    if (r > 5000 || (r == 5000 && (q & 1)))
        ++q;
    return static_cast<double>(q);
}

// A whole number within [lo, hi], or refused.
double wholeWithin(const Value& v, double lo, double hi) {
    const double d = wholeOf(v);
    if (!std::isfinite(d) || d < lo || d > hi)
        refuse();
    return d;
}

// A finite number, or refused.
double finiteOf(const Value& v) {
    const double d = numberOf(v);
    if (!std::isfinite(d))
        refuse();
    return d;
}

Value textColumn(const Value& v) {
    if (v.kind() == Value::Kind::Bytes)
        refuse();
    // A whole number (an ID number held as a number) in plain digits, never "4.40301199001011E+17".
    if (v.kind() == Value::Kind::Double)
        return Value(plainDigits(v.toDouble()));
    return Value(v.toText());
}

Value smallIntColumn(const Value& v) {
    if (emptyText(v))
        return Value();
    if (v.kind() == Value::Kind::Int16)
        return v;
    return Value(static_cast<int16_t>(wholeWithin(v, -32768.0, 32767.0)));
}

Value integerColumn(const Value& v) {
    if (emptyText(v))
        return Value();
    if (v.kind() == Value::Kind::Int16)
        return Value(static_cast<int32_t>(v.toInt()));
    if (v.kind() == Value::Kind::Int32)
        return v;
    return Value(static_cast<int32_t>(wholeWithin(v, -2147483648.0, 2147483647.0)));
}

Value singleColumn(const Value& v) {
    if (emptyText(v))
        return Value();
    const double d = v.kind() == Value::Kind::Single ? static_cast<double>(v.toSingle()) : finiteOf(v);
    if (!std::isfinite(d))
        refuse();
    // Past 524,287.9 a single float no longer keeps a reading to a tenth
    // (99999999999999 would be stored as 100000000376832).
    if (!(std::fabs(d) <= static_cast<double>(Database::kLargestSingle)))
        throw Refused{true};
    return v.kind() == Value::Kind::Single ? v : Value(static_cast<float>(d));
}

Value doubleColumn(const Value& v) {
    if (emptyText(v))
        return Value();
    return Value(finiteOf(v));
}

Value currencyColumn(const Value& v) {
    if (emptyText(v))
        return Value();
    if (v.kind() == Value::Kind::Money)
        return v;
    if (v.kind() == Value::Kind::Int16 || v.kind() == Value::Kind::Int32)
        return Value(Money::fromInt(v.toInt()));
    const double d = finiteOf(v);
    if (std::fabs(d) >= 922337203685477.0)
        refuse();
    return Value(toMoney(d));
}

Value dateTimeColumn(const Value& v) {
    if (v.kind() == Value::Kind::Date)
        return v.toDate().isValid() ? v : Value();
    if (v.kind() == Value::Kind::Text) {
        const QString t = v.toText().trimmed();
        if (t.isEmpty())
            return Value();
        if (const auto d = parseDate(t))
            return Value(*d);
    }
    refuse();
}

Value blobColumn(const Value& v) {
    if (v.kind() != Value::Kind::Bytes)
        refuse();
    return v;
}

using Converter = Value (*)(const Value&);

// In the order of ColumnKind.
constexpr Converter kConverters[] = {textColumn,   smallIntColumn, integerColumn,  singleColumn,
                                     doubleColumn, currencyColumn, dateTimeColumn, blobColumn};
static_assert(std::size(kConverters) == static_cast<size_t>(ColumnKind::Blob) + 1);

Converter converterFor(ColumnKind kind) { return kConverters[static_cast<size_t>(kind)]; }

// A file a user marked read-only stays untouched, whoever runs the program.
// The waits between the tries on a file another program holds locked, as the
// engine's own busy timeout makes them (milliseconds), and the watcher told.
constexpr int kBusyDelays[] = {1, 2, 5, 10, 15, 20, 25, 25, 25, 50, 50, 100};
Database::BusyWatcher g_busyWatcher;

// The engine's busy handler: true (1) to try again after a wait, up to
// kBusyTimeoutMs in all; the watcher hears of every try and may end them.
int waitWhileBusy(void* handle, int tries) {
    constexpr int kCount = int(std::size(kBusyDelays));
    int waited = 0;
    for (int i = 0; i < std::min(tries, kCount); ++i) waited += kBusyDelays[i];
    if (tries > kCount)
        waited += (tries - kCount) * kBusyDelays[kCount - 1];
    const int delay = std::min(kBusyDelays[std::min(tries, kCount - 1)], kBusyTimeoutMs - waited);
    if (delay <= 0)
        return 0;
    if (g_busyWatcher && !g_busyWatcher(QString::fromUtf8(sqlite3_db_filename(static_cast<sqlite3*>(handle), "main"))))
        return 0;
    sqlite3_sleep(delay);
    return 1;
}

bool writableOnDisk(const QString& path) {
    const QFileDevice::Permissions p = QFile::permissions(path);
    // The mode bits, not WriteUser: for root that one says "writable" always.
    const QFileDevice::Permissions anyWrite =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    return (p & anyWrite) && ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}

}  // namespace

Database::Database(const QString& path, sqlite3* db, bool readOnly) : path_(path), db_(db), readOnly_(readOnly) {}

Database::~Database() {
    for (auto& [sql, cached] : stmtCache_) sqlite3_finalize(cached.st);
    stmtCache_.clear();
    sqlite3_close_v2(db_);
}

std::shared_ptr<Database> Database::open(const QString& path) {
    const QFileInfo info(path);
    const QString canonical = info.canonicalFilePath();
    const auto refuse = [](int code) { throw DbError(engineErrorText(code, QString::fromUtf8(sqlite3_errstr(code)))); };
    if (path.isEmpty() || canonical.isEmpty() || !QFileInfo(canonical).isFile())
        refuse(SQLITE_CANTOPEN);

    auto& files = openFiles();
    if (auto it = files.find(canonical); it != files.end()) {
        // A file replaced under the connection gets a connection of its own;
        // the old one stays with those who hold it.
        if (auto db = it->second.lock(); db && !db->moved())
            return db;
        files.erase(it);
    }

    // The engine would take an empty file for an empty database and make it
    // one at the first write: it is not a data file of ours.
    if (QFileInfo(canonical).size() == 0)
        refuse(SQLITE_NOTADB);

    const bool readOnly = !writableOnDisk(canonical);
    // One connection is used by one thread (the program's own): no locking per call.
    const int flags = (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | SQLITE_OPEN_NOMUTEX;
    sqlite3* handle = nullptr;
    const int rc = sqlite3_open_v2(QFile::encodeName(canonical).constData(), &handle, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString text =
            handle ? engineErrorText(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)))
                   : engineErrorText(rc, QString::fromUtf8(sqlite3_errstr(rc)));
        sqlite3_close_v2(handle);
        throw DbError(text);
    }
    sqlite3_busy_handler(handle, waitWhileBusy, handle);
    sqlite3_extended_result_codes(handle, 0);
    // The digest a long text held cut is compared by (Storage.h).
    sqlite3_create_function_v2(
        handle, "tv_digest", 1, SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_DIRECTONLY, nullptr,
        [](sqlite3_context* ctx, int, sqlite3_value** args) {
            if (sqlite3_value_type(args[0]) == SQLITE_NULL)
                return sqlite3_result_null(ctx);
            const char* p = static_cast<const char*>(sqlite3_value_blob(args[0]));
            char d[detail::kDigestBytes];
            detail::digest(p, sqlite3_value_bytes(args[0]), d);
            sqlite3_result_blob(ctx, d, detail::kDigestBytes, SQLITE_TRANSIENT);
        },
        nullptr, nullptr, nullptr);

    // Opening is lazy: make the engine read the file now, so that a file that
    // is not a database is refused here, with the engine's own words.
    const int probe = sqlite3_exec(handle, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
    if (probe != SQLITE_OK) {
        const QString text =
            engineErrorText(sqlite3_extended_errcode(handle), QString::fromUtf8(sqlite3_errmsg(handle)));
        sqlite3_close_v2(handle);
        throw DbError(text);
    }

    std::shared_ptr<Database> db(new Database(canonical, handle, readOnly));
    files[canonical] = db;
    return db;
}

Database::BusyWatcher Database::setBusyWatcher(BusyWatcher watcher) {
    return std::exchange(g_busyWatcher, std::move(watcher));
}

void Database::releaseUnused() {
    auto& files = openFiles();
    for (auto it = files.begin(); it != files.end();) {
        if (it->second.expired())
            it = files.erase(it);
        else
            ++it;
    }
}

QString Database::errorText(int rc, int* codeOut) const {
    // The connection's own error, with its extended code and message, when it
    // is the one the call returned; else only the code's text.
    const int held = sqlite3_extended_errcode(db_);
    const bool same = (held & 0xff) == (rc & 0xff);
    int code = same ? held : rc;
    // A journal that cannot be opened beside a file opened read-only.
    if (readOnly_ && (code & 0xff) == SQLITE_CANTOPEN)
        code = SQLITE_READONLY;
    if (codeOut)
        *codeOut = code;
    // Nor beside a file whose name leaves no room for the journal's longer one.
    if ((code & 0xff) == SQLITE_CANTOPEN && journalNameTooLong(path_))
        return QStringLiteral(
            "数据文件的文件名太长，无法写入（写入时要在旁边建立一个文件名更长的日志文件），"
            "请把数据文件改成较短的文件名。");
    return engineErrorText(code, QString::fromUtf8(same ? sqlite3_errmsg(db_) : sqlite3_errstr(rc)));
}

void Database::fail(int rc) {
    int code = 0;
    const QString text = errorText(rc, &code);
    throw DbError(text, code);
}

bool Database::refusedRowOnly(const DbError& e) const {
    const int primary = e.engineCode() & 0xff;
    const bool forValues = primary == SQLITE_CONSTRAINT || primary == SQLITE_MISMATCH || primary == SQLITE_TOOBIG;
    // A conflict clause of the table's own (ON CONFLICT ROLLBACK) may have
    // undone the whole transaction all the same.
    return forValues && (txDepth_ == 0 || !sqlite3_get_autocommit(db_));
}

bool Database::diskFull(const DbError& e) { return (e.engineCode() & 0xff) == SQLITE_FULL; }

bool Database::moved() const {
    int moved = 0;
    return sqlite3_file_control(db_, "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved;
}

void Database::checkNotMoved() const {
    if (moved())
        throw DbError(engineErrorText(SQLITE_READONLY_DBMOVED, QString()));
}

sqlite3_stmt* Database::prepare(const std::string& sql) {
    sqlite3_stmt* st = nullptr;
    const char* tail = nullptr;
    const int rc =
        sqlite3_prepare_v3(db_, sql.c_str(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT, &st, &tail);
    if (rc != SQLITE_OK) {
        sqlite3_finalize(st);
        fail(rc);
    }
    if (!st)  // nothing but blanks or comments
        throw DbError(QStringLiteral("SQL 语句为空。"));
    return st;
}

sqlite3_stmt* Database::acquire(const std::string& sql) {
    auto it = stmtCache_.find(sql);
    if (it != stmtCache_.end() && !it->second.busy) {
        it->second.busy = true;
        return it->second.st;
    }
    sqlite3_stmt* st = prepare(sql);
    if (it == stmtCache_.end()) {
        if (stmtCache_.size() >= kStatementCacheSize) {
            for (auto old = stmtCache_.begin(); old != stmtCache_.end();) {
                if (old->second.busy) {
                    ++old;
                } else {
                    sqlite3_finalize(old->second.st);
                    old = stmtCache_.erase(old);
                }
            }
        }
        stmtCache_.emplace(sql, CachedStatement{st, true});
    }
    // else the cached one is in use further up the stack: this one is private
    return st;
}

void Database::release(const std::string& sql, sqlite3_stmt* st) {
    sqlite3_reset(st);
    sqlite3_clear_bindings(st);
    const auto it = stmtCache_.find(sql);
    if (it != stmtCache_.end() && it->second.st == st)
        it->second.busy = false;
    else
        sqlite3_finalize(st);
}

void Database::bindAll(sqlite3_stmt* st, const std::vector<Value>& params, std::vector<QByteArray>* kept) {
    const int wanted = sqlite3_bind_parameter_count(st);
    if (static_cast<int>(params.size()) != wanted)
        throw DbError(QStringLiteral("参数个数不符：需要 %1 个，给出 %2 个。").arg(wanted).arg(params.size()));
    if (kept)
        kept->resize(params.size());
    for (int i = 0; i < wanted; ++i) {
        const auto at = static_cast<size_t>(i);
        const int rc =
            kept ? detail::bindKept(st, i + 1, params[at], (*kept)[at]) : detail::bindValue(st, i + 1, params[at]);
        if (rc != SQLITE_OK)
            fail(rc);
    }
}

void Database::exec(const QString& sql, const std::vector<Value>& params) {
    const std::string text = sql.toStdString();
    if (params.empty()) {
        // May hold several statements (a schema, for example).
        char* err = nullptr;
        const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, &err);
        sqlite3_free(err);
        if (rc != SQLITE_OK)
            fail(rc);
        return;
    }
    sqlite3_stmt* st = acquire(text);
    const auto back = qScopeGuard([&] { release(text, st); });
    bindAll(st, params);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        fail(rc);
}

std::vector<std::vector<Value>> Database::query(const QString& sql, const std::vector<Value>& params) {
    std::vector<std::vector<Value>> rows;
    forEachRow(sql, params, [&rows](std::vector<Value>& row) { rows.push_back(std::move(row)); });
    return rows;
}

void Database::forEachRow(const QString& sql, const std::vector<Value>& params,
                          const std::function<void(std::vector<Value>& row)>& each) {
    const std::string text = sql.toStdString();
    sqlite3_stmt* st = acquire(text);
    const auto back = qScopeGuard([&] { release(text, st); });
    bindAll(st, params);
    const int n = sqlite3_column_count(st);
    std::vector<std::optional<ColumnKind>> kinds(static_cast<size_t>(n));
    for (int c = 0; c < n; ++c) {
        if (const char* decl = sqlite3_column_decltype(st, c))
            kinds[static_cast<size_t>(c)] = kindOfDeclaredType(QString::fromUtf8(decl));
    }
    std::vector<Value> row;
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW) {
        row.clear();
        row.reserve(static_cast<size_t>(n));
        for (int c = 0; c < n; ++c) {
            const detail::RawCell cell = detail::rawColumn(st, c);
            const auto& k = kinds[static_cast<size_t>(c)];
            row.push_back(k ? detail::decodeCell(cell, *k) : detail::decodeUntyped(cell));
        }
        each(row);
    }
    if (rc != SQLITE_DONE)
        fail(rc);
}

Database::Lease::Lease(Database& db, std::string sql) : db_(db), sql_(std::move(sql)), st_(db.acquire(sql_)) {}

Database::Lease::~Lease() { db_.release(sql_, st_); }

bool Database::Lease::next() {
    const int rc = sqlite3_step(st_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        db_.fail(rc);
    return false;
}

void Database::Lease::run() {
    const auto ready = qScopeGuard([this] { sqlite3_reset(st_); });
    while (next()) {
    }
}

void Database::Lease::bind(int index, int64_t n) {
    if (const int rc = sqlite3_bind_int64(st_, index, n); rc != SQLITE_OK)
        db_.fail(rc);
}

void Database::Lease::bind(int index, const Value& v) {
    if (const int rc = detail::bindValue(st_, index, v); rc != SQLITE_OK)
        db_.fail(rc);
}

Statement::Statement(Database& db, const QString& sql) : db_(db), st_(db.prepare(sql.toStdString())) {}

Statement::~Statement() { sqlite3_finalize(st_); }

void Statement::run(const std::vector<Value>& params) {
    const auto ready = qScopeGuard([this] { sqlite3_reset(st_); });
    db_.bindAll(st_, params, &kept_);
    int rc;
    while ((rc = sqlite3_step(st_)) == SQLITE_ROW) {
    }
    if (rc != SQLITE_DONE)
        db_.fail(rc);
}

std::vector<Column> Database::columns(const QString& table) {
    const auto rows = query(QStringLiteral("select name, type from pragma_table_info(?)"), {Value(table)});
    if (rows.empty())
        throw DbError(engineErrorText(SQLITE_ERROR, QStringLiteral("no such table: ") + table));
    std::vector<Column> cols;
    cols.reserve(rows.size());
    for (const auto& r : rows) cols.push_back(Column{r[0].toText(), kindOfDeclaredType(r[1].toText())});
    return cols;
}

QStringList Database::tables() {
    QStringList names;
    for (const auto& r : query(QStringLiteral(
             "select name from sqlite_master where type = 'table' and name not like 'sqlite\\_%' escape '\\' "
             "order by rowid")))
        names << r[0].toText();
    return names;
}

bool Database::hasTable(const QString& table) {
    return !query(QStringLiteral("select 1 from sqlite_master where type = 'table' and name = ? collate nocase"),
                  {Value(table)})
                .empty();
}

void Database::transaction(const std::function<void()>& work) {
    // The outermost call is the transaction; nested calls are savepoints
    // inside it, so an inner failure that the caller handles undoes only the
    // inner work, and nothing lands before the outermost call commits.
    const int depth = txDepth_;
    const QString savepoint = QStringLiteral("tv_sp%1").arg(depth);
    exec(depth == 0 ? QStringLiteral("begin immediate") : QStringLiteral("savepoint ") + savepoint);
    ++txDepth_;
    try {
        work();
    } catch (...) {
        --txDepth_;
        if (depth == 0) {
            sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
            // A write that failed in the engine (a full disk, I/O) is undone
            // from its journal only at the engine's next read: read now, so
            // that the file is whole at once, not when it is next opened.
            sqlite3_exec(db_, "select count(*) from sqlite_master", nullptr, nullptr, nullptr);
        } else {
            const std::string undo = "rollback to " + savepoint.toStdString() + "; release " + savepoint.toStdString();
            sqlite3_exec(db_, undo.c_str(), nullptr, nullptr, nullptr);
        }
        throw;
    }
    --txDepth_;
    if (depth == 0) {
        const int rc = sqlite3_exec(db_, "commit", nullptr, nullptr, nullptr);
        if (rc != SQLITE_OK) {
            int code = 0;
            const QString text = errorText(rc, &code);
            if (!sqlite3_get_autocommit(db_))
                sqlite3_exec(db_, "rollback", nullptr, nullptr, nullptr);
            throw DbError(text, code);
        }
    } else {
        exec(QStringLiteral("release ") + savepoint);
    }
}

ColumnKind Database::kindOfDeclaredType(const QString& declared) {
    QString t = declared.trimmed().toUpper();
    if (const int paren = t.indexOf(QLatin1Char('(')); paren >= 0)
        t = t.left(paren).trimmed();
    if (t == QLatin1String("SMALLINT") || t == QLatin1String("SHORT") || t == QLatin1String("INT2") ||
        t == QLatin1String("BIT") || t == QLatin1String("BOOLEAN") || t == QLatin1String("YESNO"))
        return ColumnKind::SmallInt;
    if (t == QLatin1String("SINGLE") || t == QLatin1String("FLOAT4") || t == QLatin1String("REAL"))
        return ColumnKind::Single;
    if (t == QLatin1String("CURRENCY") || t == QLatin1String("MONEY"))
        return ColumnKind::Currency;
    if (t == QLatin1String("DATETIME") || t == QLatin1String("DATE") || t == QLatin1String("TIMESTAMP"))
        return ColumnKind::DateTime;
    if (t == QLatin1String("BLOB") || t == QLatin1String("LONGBINARY") || t == QLatin1String("BINARY") ||
        t == QLatin1String("IMAGE") || t == QLatin1String("OLEOBJECT") || t == QLatin1String("VARBINARY"))
        return ColumnKind::Blob;
    if (t.contains(QLatin1String("INT")) || t == QLatin1String("LONG") || t == QLatin1String("COUNTER") ||
        t == QLatin1String("AUTOINCREMENT"))
        return ColumnKind::Integer;
    if (t == QLatin1String("DOUBLE") || t.startsWith(QLatin1String("DOUBLE ")) || t == QLatin1String("FLOAT") ||
        t == QLatin1String("FLOAT8") || t == QLatin1String("NUMERIC") || t == QLatin1String("DECIMAL") ||
        t == QLatin1String("NUMBER"))
        return ColumnKind::Double;
    return ColumnKind::Text;
}

Value Database::convert(const Value& v, ColumnKind kind, const QString& field) {
    if (v.isNull())
        return v;
    try {
        return converterFor(kind)(v);
    } catch (const Refused& r) {
        if (r.tooLarge)
            throw DbError(QStringLiteral("%1数值太大，不能超过%2（再大就不能精确到0.1），没有保存。")
                              .arg(field.isEmpty() ? QString() : field + QStringLiteral("的"))
                              .arg(floatText(kLargestSingle)));
        throw DbError(field.isEmpty() ? QStringLiteral("数据类型转换错误。")
                                      : QStringLiteral("数据类型转换错误：") + field);
    }
}

QString Database::engineErrorText(int code, const QString& engineText) {
    const char* text = nullptr;
    switch (code) {  // extended codes with a text of their own
        case SQLITE_READONLY_DBMOVED:
            text = "数据文件已被其他程序替换或移动，请重新打开数据文件。";
            break;
        case SQLITE_READONLY_DIRECTORY:
            text = "数据文件所在的文件夹是只读的，不能写入。";
            break;
        case SQLITE_READONLY_ROLLBACK:
            text = "数据文件上次没有正常关闭，它是只读的，无法恢复。";
            break;
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            text = "数据与已有的记录重复，没有保存。";
            break;
        case SQLITE_CONSTRAINT_NOTNULL:
            text = "必须填写的数据是空的，没有保存。";
            break;
        case SQLITE_IOERR_NOMEM:
            text = "内存不足。";
            break;
        default:
            break;
    }
    if (!text) {
        switch (code & 0xff) {
            case SQLITE_ERROR:
                // The name the engine's text gives is kept: it is the user's own.
                if (engineText.startsWith(QLatin1String("no such table: ")))
                    return QStringLiteral("数据文件中没有所需的数据表：%1。").arg(engineText.section(u' ', 3));
                if (engineText.startsWith(QLatin1String("no such column: ")))
                    return QStringLiteral("数据表中没有所需的字段：%1。").arg(engineText.section(u' ', 3));
                text = "数据操作出错。";
                break;
            case SQLITE_BUSY:
            case SQLITE_LOCKED:
            case SQLITE_PROTOCOL:
                text = "数据文件正被其他程序使用，请稍后再试。";
                break;
            case SQLITE_FULL:
                text = "磁盘已满，数据没有写入。";
                break;
            case SQLITE_TOOBIG:
                text = "数据太大，不能保存。";
                break;
            case SQLITE_READONLY:
                text = "数据文件是只读的，不能写入。";
                break;
            case SQLITE_IOERR:
                text = "读写数据文件时出错，请检查磁盘。";
                break;
            case SQLITE_CORRUPT:
                text = "数据文件已损坏。";
                break;
            case SQLITE_NOTADB:
                text = "这个文件不是数据文件。";
                break;
            case SQLITE_CANTOPEN:
                text = "无法打开数据文件。";
                break;
            case SQLITE_CONSTRAINT:
                text = "数据不符合数据表的规定，没有保存。";
                break;
            case SQLITE_NOMEM:
                text = "内存不足。";
                break;
            case SQLITE_PERM:
            case SQLITE_AUTH:
                text = "没有访问数据文件的权限。";
                break;
            case SQLITE_ABORT:
            case SQLITE_INTERRUPT:
                text = "操作被中断，数据没有改变。";
                break;
            case SQLITE_SCHEMA:
                text = "数据表的结构已被其他程序改变，请再试一次。";
                break;
            case SQLITE_NOLFS:
                text = "数据文件太大，系统不支持。";
                break;
            case SQLITE_MISMATCH:
                text = "数据类型不符。";
                break;
            default:
                text = "数据引擎出错。";
                break;
        }
    }
    // A text of the data file's own (a trigger's, in Chinese) is told after it.
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    if (engineText.isEmpty() || engineText.contains(latin))
        return QString::fromUtf8(text);
    return QString::fromUtf8(text) + QStringLiteral("（") + engineText + QStringLiteral("）");
}

}  // namespace tv
