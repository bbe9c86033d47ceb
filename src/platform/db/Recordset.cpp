// The dynaset: rows read at refresh, a current row with BOF/EOF, and rows
// added, edited and deleted by rowid.

#include "platform/db/Recordset.h"

#include "platform/db/Storage.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <cstring>

namespace tv {

namespace {

const QString& noCurrentText() {
    static const QString t = QStringLiteral("无当前记录。");
    return t;
}
const QString& noEditText() {
    static const QString t = QStringLiteral("没有正在添加或修改的记录。");
    return t;
}
const QString& notUpdatableText() {
    static const QString t = QStringLiteral("该记录集不能更新。");
    return t;
}
const QString& goneText() {
    static const QString t = QStringLiteral("该记录已被其他程序删除，数据没有改变。");
    return t;
}

[[noreturn]] void tooBig() {
    throw DbError(Database::engineErrorText(SQLITE_TOOBIG, QString::fromUtf8(sqlite3_errstr(SQLITE_TOOBIG))));
}

// Cell tags of the packed rows. A text or bytes cell keeps its length in 32
// bits: nothing longer than the engine's length limit (below 2^31) gets in,
// neither from the engine nor through Update, which refuses it first.
enum : char { kNull = 0, kInt = 1, kReal = 2, kText = 3, kBytes = 4, kBlobLater = 5 };
constexpr size_t kChunkSize = 1u << 20;

size_t cellSize(const char* p) {
    switch (*p) {
        case kInt:
        case kReal:
            return 1 + 8;
        case kText:
        case kBytes: {
            uint32_t n;
            std::memcpy(&n, p + 1, 4);
            return 1 + 4 + n;
        }
        default:
            return 1;
    }
}

size_t rawSize(const detail::RawCell& c) {
    switch (c.type) {
        case SQLITE_INTEGER:
        case SQLITE_FLOAT:
            return 1 + 8;
        case SQLITE_TEXT:
        case SQLITE_BLOB:
            return 1 + 4 + static_cast<size_t>(c.n);
        default:
            return 1;
    }
}

char* writeRaw(char* p, const detail::RawCell& c) {
    switch (c.type) {
        case SQLITE_INTEGER:
            *p = kInt;
            std::memcpy(p + 1, &c.i, 8);
            return p + 9;
        case SQLITE_FLOAT:
            *p = kReal;
            std::memcpy(p + 1, &c.d, 8);
            return p + 9;
        case SQLITE_TEXT:
        case SQLITE_BLOB: {
            *p = c.type == SQLITE_TEXT ? kText : kBytes;
            const uint32_t n = static_cast<uint32_t>(c.n);  // the engine's, below 2^31
            std::memcpy(p + 1, &n, 4);
            if (n)
                std::memcpy(p + 5, c.p, n);
            return p + 5 + n;
        }
        default:
            *p = kNull;
            return p + 1;
    }
}

detail::RawCell readRaw(const char* p) {
    detail::RawCell c;
    switch (*p) {
        case kInt:
            c.type = SQLITE_INTEGER;
            std::memcpy(&c.i, p + 1, 8);
            break;
        case kReal:
            c.type = SQLITE_FLOAT;
            std::memcpy(&c.d, p + 1, 8);
            break;
        case kText:
        case kBytes: {
            c.type = *p == kText ? SQLITE_TEXT : SQLITE_BLOB;
            uint32_t n;
            std::memcpy(&n, p + 1, 4);
            c.n = n;
            c.p = p + 5;
            break;
        }
        default:
            break;
    }
    return c;
}

// UTF-8 of a text written at `o`, which has room for three bytes per UTF-16
// unit; returns the end.
char* writeUtf8(char* o, const QString& s) {
    const char16_t* u = reinterpret_cast<const char16_t*>(s.constData());
    const size_t n = static_cast<size_t>(s.size());
    for (size_t i = 0; i < n; ++i) {
        uint32_t c = u[i];
        if (c < 0x80) {
            *o++ = static_cast<char>(c);
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && u[i + 1] >= 0xDC00 && u[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (u[i + 1] - 0xDC00);
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;  // a lone surrogate
        }
        if (c < 0x800) {
            *o++ = static_cast<char>(0xC0 | (c >> 6));
        } else if (c < 0x10000) {
            *o++ = static_cast<char>(0xE0 | (c >> 12));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        } else {  // two units gave four bytes
            *o++ = static_cast<char>(0xF0 | (c >> 18));
            *o++ = static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            *o++ = static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        }
        *o++ = static_cast<char>(0x80 | (c & 0x3F));
    }
    return o;
}

// A date as shortDate() writes it, yyyy-MM-dd, without making a QString for
// the years of four digits.
char* writeDate(char* o, const QDate& d) {
    int y = 0, m = 0, day = 0;
    d.getDate(&y, &m, &day);
    if (!d.isValid() || y < 0 || y > 9999)
        return writeUtf8(o, shortDate(d));
    for (int i = 3; i >= 0; --i, y /= 10) o[i] = static_cast<char>('0' + y % 10);
    o[4] = '-';
    o[5] = static_cast<char>('0' + m / 10);
    o[6] = static_cast<char>('0' + m % 10);
    o[7] = '-';
    o[8] = static_cast<char>('0' + day / 10);
    o[9] = static_cast<char>('0' + day % 10);
    return o + 10;
}

// `n` bytes of room after the first `used` bytes of a buffer that only grows.
inline char* room(std::vector<char>& buf, size_t used, size_t n) {
    if (buf.size() - used < n) [[unlikely]]
        buf.resize(std::max(buf.size() * 2, used + n));
    return buf.data() + used;
}

// Appends the stored form of a value converted for its column, as the engine
// keeps it (see Storage.h); a photo of a table is only marked, to be read
// when asked for. Text or bytes longer than `limit` (the engine's) are refused.
void packValue(std::vector<char>& buf, size_t& used, const Value& v, bool later, qsizetype limit) {
    auto fixed = [&](char tag, const void* bytes) {
        char* p = room(buf, used, 9);
        *p = tag;
        std::memcpy(p + 1, bytes, 8);
        used += 9;
    };
    auto whole = [&](int64_t i) { fixed(kInt, &i); };
    auto real = [&](double d) { fixed(kReal, &d); };
    auto sized = [&](char tag, size_t most, auto write) {
        char* p = room(buf, used, 5 + most);
        const ptrdiff_t written = write(p + 5) - (p + 5);
        if (written > limit)
            tooBig();
        const uint32_t n = static_cast<uint32_t>(written);
        *p = tag;
        std::memcpy(p + 1, &n, 4);
        used += 5 + n;
    };
    switch (v.kind()) {
        case Value::Kind::Null:
            break;
        case Value::Kind::Int16:
        case Value::Kind::Int32:
            return whole(v.toInt());
        case Value::Kind::Single:
        case Value::Kind::Double:
            return real(v.toDouble());
        case Value::Kind::Money: {
            const Money m = v.toMoney();
            return m.units() % 10000 == 0 ? whole(m.units() / 10000) : real(m.toDouble());
        }
        case Value::Kind::Text: {
            const QString t = v.toText();
            if (t.size() > limit)  // at least a byte a unit
                tooBig();
            return sized(kText, 3 * static_cast<size_t>(t.size()), [&](char* o) { return writeUtf8(o, t); });
        }
        case Value::Kind::Date:  // yyyy-MM-dd, or a year of more digits: any QDate fits
            return sized(kText, 32, [&](char* o) { return writeDate(o, v.toDate()); });
        case Value::Kind::Bytes: {
            if (v.toBytes().size() > limit)
                tooBig();
            if (later) {
                *room(buf, used, 1) = kBlobLater;
                ++used;
                return;
            }
            const QByteArray b = v.toBytes();
            return sized(kBytes, static_cast<size_t>(b.size()), [&](char* o) {
                if (!b.isEmpty())
                    std::memcpy(o, b.constData(), static_cast<size_t>(b.size()));
                return o + b.size();
            });
        }
    }
    *room(buf, used, 1) = kNull;
    ++used;
}

// Binds a packed cell as it is (the bytes outlive the step); a photo only
// marked in the row is bound from its value.
int bindStored(sqlite3_stmt* st, int index, const char* p, const Value& v) {
    switch (*p) {
        case kInt: {
            int64_t i;
            std::memcpy(&i, p + 1, 8);
            return sqlite3_bind_int64(st, index, i);
        }
        case kReal: {
            double d;
            std::memcpy(&d, p + 1, 8);
            return sqlite3_bind_double(st, index, d);
        }
        case kText:
        case kBytes: {
            uint32_t n;
            std::memcpy(&n, p + 1, 4);
            return *p == kText ? detail::bindText(st, index, p + 5, n) : detail::bindBytes(st, index, p + 5, n);
        }
        case kBlobLater: {
            const QByteArray b = v.toBytes();  // shares the value's bytes
            return detail::bindBytes(st, index, b.constData(), b.size());
        }
        default:
            return sqlite3_bind_null(st, index);
    }
}

// Exact equality of two names, inline: the common case of setField and field.
bool sameName(const QString& a, const QString& b) {
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const char16_t* x = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* y = reinterpret_cast<const char16_t*>(b.constData());
    for (qsizetype i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

QString quoted(const QString& name) {
    QString q = name;
    q.replace(QLatin1Char('"'), QLatin1String("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

QString unquoted(const QString& token) {
    if (token.size() >= 2 && ((token.startsWith(QLatin1Char('[')) && token.endsWith(QLatin1Char(']'))) ||
                              (token.startsWith(QLatin1Char('"')) && token.endsWith(QLatin1Char('"')))))
        return token.mid(1, token.size() - 2);
    return token;
}

// Gives a cached statement back to the connection however the caller leaves.
class StatementLease {
public:
    StatementLease(sqlite3_stmt* st, std::function<void(sqlite3_stmt*)> back) : st_(st), back_(std::move(back)) {}
    ~StatementLease() { back_(st_); }
    StatementLease(const StatementLease&) = delete;
    StatementLease& operator=(const StatementLease&) = delete;
    sqlite3_stmt* get() const { return st_; }

private:
    sqlite3_stmt* st_;
    std::function<void(sqlite3_stmt*)> back_;
};

// Runs its function when the scope ends, however it ends.
template <class F>
struct ScopeExit {
    F f;
    ~ScopeExit() { f(); }
};

}  // namespace

#define TV_LEASE(var, sqlText)              \
    const std::string var##Sql = (sqlText); \
    StatementLease var(db_->acquire(var##Sql), [this, &var##Sql](sqlite3_stmt* s) { db_->release(var##Sql, s); })

Recordset::OwnedStatement& Recordset::OwnedStatement::operator=(const OwnedStatement&) {
    finalize();
    return *this;
}

Recordset::OwnedStatement::~OwnedStatement() { finalize(); }

void Recordset::OwnedStatement::finalize() {
    sqlite3_finalize(st);
    st = nullptr;
}

Recordset::Recordset(std::shared_ptr<Database> db, QString source, std::vector<Value> params)
    : db_(std::move(db)), source_(std::move(source)), params_(std::move(params)) {
    if (!db_)
        throw DbError(QStringLiteral("没有打开数据文件。"));
    parseSource();
    resolveColumns();
}

void Recordset::parseSource() {
    static const QRegularExpression bare(
        QStringLiteral("^\\s*(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s\\[\\]\"'`;,()]+)\\s*;?\\s*$"),
        QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression select(
        QStringLiteral("^\\s*select\\s+(.+?)\\s+from\\s+(\\[[^\\]]+\\]|\"[^\"]+\"|[^\\s\\[\\]\"'`;,()]+)(.*)$"),
        QRegularExpression::CaseInsensitiveOption | QRegularExpression::DotMatchesEverythingOption |
            QRegularExpression::UseUnicodePropertiesOption);
    static const QRegularExpression simpleRest(QStringLiteral("^(where|order\\s+by)\\b"),
                                               QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression complexRest(
        QStringLiteral("\\b(group\\s+by|union|join|having|intersect|except)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression complexList(QStringLiteral("^distinct\\b|\\("),
                                                QRegularExpression::CaseInsensitiveOption);

    if (const auto m = bare.match(source_);
        m.hasMatch() && m.captured(1).compare(QLatin1String("select"), Qt::CaseInsensitive) != 0) {
        shape_ = Shape::Table;
        tableToken_ = m.captured(1);
        table_ = unquoted(tableToken_);
        return;
    }
    const auto m = select.match(source_);
    if (m.hasMatch()) {
        QString rest = m.captured(3).trimmed();
        while (rest.endsWith(QLatin1Char(';'))) rest.chop(1);
        rest = rest.trimmed();
        const QString list = m.captured(1).trimmed();
        table_ = unquoted(m.captured(2));
        if ((rest.isEmpty() || simpleRest.match(rest).hasMatch()) && !complexRest.match(rest).hasMatch()) {
            tableToken_ = m.captured(2);
            rest_ = rest;
            if (list == QLatin1String("*")) {
                shape_ = Shape::Table;
                return;
            }
            if (!complexList.match(list).hasMatch()) {
                shape_ = Shape::List;
                selectList_ = list;
                return;
            }
        }
    }
    shape_ = Shape::Verbatim;
}

std::string Recordset::selectSql(const std::vector<Column>& columns) const {
    static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                            QRegularExpression::CaseInsensitiveOption);
    if (shape_ == Shape::Verbatim)
        return source_.toStdString();
    QString sql = QStringLiteral("select rowid, ");
    if (shape_ == Shape::Table) {
        for (size_t i = 0; i < columns.size(); ++i) {
            if (i)
                sql += QLatin1String(", ");
            sql += columns[i].kind == ColumnKind::Blob ? QStringLiteral("NULL") : quoted(columns[i].name);
        }
    } else {
        sql += selectList_;
    }
    sql += QLatin1String(" from ") + tableToken_;
    if (!rest_.isEmpty())
        sql += QLatin1Char(' ') + rest_;
    if (!orderBy.match(rest_).hasMatch())
        sql += QLatin1String(" order by rowid");
    return sql.toStdString();
}

void Recordset::resolveColumns() {
    std::vector<Column> cols;
    std::vector<bool> untyped;
    if (shape_ == Shape::Table) {
        cols = db_->columns(table_);
        untyped.assign(cols.size(), false);
    }
    {
        // Preparing checks the source (bad SQL, missing table) before any row is read.
        TV_LEASE(st, selectSql(cols));
        if (shape_ != Shape::Table) {
            const int n = sqlite3_column_count(st.get());
            for (int c = base(); c < n; ++c) {
                const char* decl = sqlite3_column_decltype(st.get(), c);
                cols.push_back(Column{QString::fromUtf8(sqlite3_column_name(st.get(), c)),
                                      decl ? Database::kindOfDeclaredType(QString::fromUtf8(decl)) : ColumnKind::Text});
                untyped.push_back(decl == nullptr);
            }
        }
    }
    // The rows held are laid out by the columns: a changed table drops them.
    bool same = cols.size() == columns_.size();
    for (size_t i = 0; same && i < cols.size(); ++i)
        same = cols[i].name == columns_[i].name && cols[i].kind == columns_[i].kind && untyped[i] == untyped_[i];
    if (!same) {
        rows_.clear();
        chunks_.clear();
        pos_ = -1;
        deleted_ = false;
    }
    columns_ = std::move(cols);
    untyped_ = std::move(untyped);
    std::string insertSql;
    if (shape_ != Shape::Verbatim) {
        QString sql = QStringLiteral("insert into ") + tableToken_ + QLatin1String(" (");
        QString marks;
        for (size_t i = 0; i < columns_.size(); ++i) {
            if (i) {
                sql += QLatin1String(", ");
                marks += QLatin1String(", ");
            }
            sql += quoted(columns_[i].name);
            marks += QLatin1Char('?');
        }
        insertSql = (sql + QLatin1String(") values (") + marks + QLatin1Char(')')).toStdString();
    }
    if (insertSql != insertSql_) {
        insert_.finalize();
        insertSql_ = std::move(insertSql);
    }
    nameIndex_.clear();
    lastIndex_ = -1;
    for (int i = static_cast<int>(columns_.size()) - 1; i >= 0; --i)
        nameIndex_.insert(columns_[static_cast<size_t>(i)].name, i);
}

int Recordset::columnIndex(const QString& name) const {
    // Fields are mostly named in column order: try the one after the last hit.
    if (!columns_.empty()) {
        const int guess = lastIndex_ + 1 < static_cast<int>(columns_.size()) ? lastIndex_ + 1 : 0;
        if (sameName(columns_[static_cast<size_t>(guess)].name, name)) {
            lastIndex_ = guess;
            return guess;
        }
    }
    if (const auto it = nameIndex_.constFind(name); it != nameIndex_.constEnd()) {
        lastIndex_ = it.value();
        return it.value();
    }
    // Field names are not case-sensitive.
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (columns_[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

// ---- rows ---------------------------------------------------------------------

char* Recordset::reserveBytes(size_t n, RowRef& at) {
    if (chunks_.empty() || chunks_.back().capacity() - chunks_.back().size() < n) {
        chunks_.emplace_back();
        chunks_.back().reserve(std::max(kChunkSize, n));
    }
    auto& chunk = chunks_.back();
    at.chunk = static_cast<uint32_t>(chunks_.size() - 1);
    at.offset = static_cast<uint32_t>(chunk.size());
    chunk.resize(chunk.size() + n);
    return chunk.data() + at.offset;
}

const char* Recordset::cellAt(const RowRef& r, int column) const {
    const char* p = chunks_[r.chunk].data() + r.offset;
    for (int i = 0; i < column; ++i) p += cellSize(p);
    return p;
}

Value Recordset::decodeAt(const RowRef& r, int column) const {
    const char* p = cellAt(r, column);
    if (*p == kBlobLater)
        return fetchBlob(r.rowid, column);
    const size_t c = static_cast<size_t>(column);
    const detail::RawCell raw = readRaw(p);
    return untyped_[c] ? detail::decodeUntyped(raw) : detail::decodeCell(raw, columns_[c].kind);
}

Value Recordset::fetchBlob(int64_t rowid, int column) const {
    const std::string sql = (QStringLiteral("select ") + quoted(columns_[static_cast<size_t>(column)].name) +
                             QLatin1String(" from ") + tableToken_ + QLatin1String(" where rowid = ?"))
                                .toStdString();
    StatementLease st(db_->acquire(sql), [this, &sql](sqlite3_stmt* s) { db_->release(sql, s); });
    sqlite3_bind_int64(st.get(), 1, rowid);
    const int rc = sqlite3_step(st.get());
    if (rc == SQLITE_ROW)
        return detail::decodeCell(detail::rawColumn(st.get(), 0), ColumnKind::Blob);
    if (rc != SQLITE_DONE)
        db_->fail(rc);
    return Value();
}

// Binds the written cells of the packed row to ?1, ?2, ... in column order.
void Recordset::bindPacked(sqlite3_stmt* st) const {
    const char* p = packed_.data();
    int k = 1;
    for (size_t i = 0; i < columns_.size(); p += cellSize(p), ++i) {
        if (!toWrite_[i])
            continue;
        if (const int rc = bindStored(st, k++, p, *toWrite_[i]); rc != SQLITE_OK)
            db_->fail(rc);
    }
}

// The packed row, once written, joins the rows held.
Recordset::RowRef Recordset::keepPacked(int64_t rowid) {
    RowRef r;
    r.rowid = rowid;
    std::memcpy(reserveBytes(packedSize_, r), packed_.data(), packedSize_);
    return r;
}

// ---- refresh and moves ----------------------------------------------------------

void Recordset::refresh() {
    leaveEdit();
    resolveColumns();
    std::vector<RowRef> rows;
    std::vector<std::vector<char>> chunks;
    std::swap(chunks, chunks_);  // build into fresh chunks; put back on error
    try {
        TV_LEASE(st, selectSql(columns_));
        db_->bindAll(st.get(), params_);
        const int n = static_cast<int>(columns_.size());
        const int b = base();
        std::vector<detail::RawCell> cells(static_cast<size_t>(n));
        std::vector<bool> later(static_cast<size_t>(n), false);
        if (shape_ == Shape::Table) {
            for (int c = 0; c < n; ++c)
                later[static_cast<size_t>(c)] = columns_[static_cast<size_t>(c)].kind == ColumnKind::Blob;
        }
        rows.reserve(rows_.size());
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            size_t total = 0;
            for (int c = 0; c < n; ++c) {
                auto& cell = cells[static_cast<size_t>(c)];
                if (later[static_cast<size_t>(c)]) {
                    total += 1;
                    continue;
                }
                cell = detail::rawColumn(st.get(), c + b);
                total += rawSize(cell);
            }
            RowRef r;
            r.rowid = b ? sqlite3_column_int64(st.get(), 0) : 0;
            char* p = reserveBytes(total, r);
            for (int c = 0; c < n; ++c) {
                if (later[static_cast<size_t>(c)])
                    *p++ = kBlobLater;
                else
                    p = writeRaw(p, cells[static_cast<size_t>(c)]);
            }
            rows.push_back(r);
        }
        if (rc != SQLITE_DONE)
            db_->fail(rc);
    } catch (...) {
        std::swap(chunks, chunks_);
        throw;
    }
    rows_ = std::move(rows);
    pos_ = rows_.empty() ? -1 : 0;
    deleted_ = false;
    fireReposition();
}

bool Recordset::bof() const { return rows_.empty() || (pos_ < 0 && !deleted_); }

bool Recordset::eof() const { return rows_.empty() || pos_ >= static_cast<int>(rows_.size()); }

bool Recordset::hasCurrent() const {
    return edit_ != EditState::Adding && !deleted_ && pos_ >= 0 && pos_ < static_cast<int>(rows_.size());
}

int Recordset::recordCount() const { return static_cast<int>(rows_.size()); }

int Recordset::absolutePosition() const { return hasCurrent() ? pos_ : -1; }

void Recordset::noCurrent() const { throw DbError(noCurrentText()); }

void Recordset::leaveEdit() {
    if (edit_ == EditState::None)
        return;
    edit_ = EditState::None;
    pending_.clear();
    converted_.clear();
}

void Recordset::beginEdit(EditState state) {
    edit_ = state;
    pending_.resize(columns_.size());  // all Null
    dirty_.assign(columns_.size(), 0);
}

void Recordset::moveFirst() {
    leaveEdit();
    if (rows_.empty())
        noCurrent();
    pos_ = 0;
    deleted_ = false;
    fireReposition();
}

void Recordset::moveLast() {
    leaveEdit();
    if (rows_.empty())
        noCurrent();
    pos_ = static_cast<int>(rows_.size()) - 1;
    deleted_ = false;
    fireReposition();
}

void Recordset::moveNext() {
    leaveEdit();
    if (eof())
        noCurrent();
    if (deleted_)
        deleted_ = false;  // pos_ already names the row after the deleted one
    else
        ++pos_;
    fireReposition();
}

void Recordset::movePrevious() {
    leaveEdit();
    if (bof())
        noCurrent();
    deleted_ = false;
    --pos_;
    fireReposition();
}

void Recordset::moveTo(int position) {
    leaveEdit();
    if (position < 0 || position >= static_cast<int>(rows_.size()))
        noCurrent();
    pos_ = position;
    deleted_ = false;
    fireReposition();
}

// ---- fields -------------------------------------------------------------------

Value Recordset::field(const QString& name) const {
    const int i = columnIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("找不到字段：") + name);
    return field(i);
}

Value Recordset::field(int index) const {
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw DbError(QStringLiteral("找不到字段：%1").arg(index));
    const size_t i = static_cast<size_t>(index);
    if (edit_ == EditState::Adding || (edit_ == EditState::Editing && dirty_[i]))
        return pending_[i];
    if (!hasCurrent())
        noCurrent();
    return decodeAt(rows_[static_cast<size_t>(pos_)], index);
}

void Recordset::setField(const QString& name, const Value& v) {
    const int i = columnIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("找不到字段：") + name);
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    pending_[static_cast<size_t>(i)] = v;
    dirty_[static_cast<size_t>(i)] = true;
}

void Recordset::setField(int index, const Value& v) {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw DbError(QStringLiteral("找不到字段：%1").arg(index));
    pending_[static_cast<size_t>(index)] = v;
    dirty_[static_cast<size_t>(index)] = true;
}

Value Recordset::valueAt(int row, int column) const {
    if (row < 0 || row >= static_cast<int>(rows_.size()) || column < 0 || column >= static_cast<int>(columns_.size()))
        throw DbError(noCurrentText());
    return decodeAt(rows_[static_cast<size_t>(row)], column);
}

// ---- editing ------------------------------------------------------------------

void Recordset::requireUpdatable() const {
    if (shape_ == Shape::Verbatim)
        throw DbError(notUpdatableText());
}

void Recordset::addNew() {
    requireUpdatable();
    leaveEdit();
    beginEdit(EditState::Adding);
}

void Recordset::edit() {
    leaveEdit();
    if (!hasCurrent())
        noCurrent();
    requireUpdatable();
    beginEdit(EditState::Editing);
}

void Recordset::cancelUpdate() {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    leaveEdit();
}

// Converts the fields to be written (all of a new row, the changed ones of an
// edited row) and packs the row into packed_, with the other cells of `kept`.
// A value that cannot be held raises here, before anything is written.
void Recordset::packPending(const RowRef* kept) {
    const size_t n = columns_.size();
    toWrite_.assign(n, nullptr);
    converted_.clear();
    converted_.reserve(n);  // never moves while toWrite_ points into it
    packedSize_ = 0;
    const char* old = kept ? cellAt(*kept, 0) : nullptr;
    const qsizetype limit = sqlite3_limit(db_->handle(), SQLITE_LIMIT_LENGTH, -1);
    for (size_t i = 0; i < n; ++i) {
        if (edit_ == EditState::Adding || dirty_[i]) {
            const ColumnKind kind = columns_[i].kind;
            const Value* w = &pending_[i];
            if (!untyped_[i] && !Database::holds(*w, kind)) {
                w = &converted_.emplace_back(Database::convert(*w, kind, fieldCaption(i)));
            }
            toWrite_[i] = w;
            packValue(packed_, packedSize_, *w, shape_ == Shape::Table && kind == ColumnKind::Blob, limit);
        } else {
            const size_t size = cellSize(old);
            std::memcpy(room(packed_, packedSize_, size), old, size);
            packedSize_ += size;
        }
        if (old)
            old += cellSize(old);
    }
}

void Recordset::update() {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    requireUpdatable();
    if (edit_ == EditState::Adding) {
        packPending(nullptr);
        insertRow();
    } else {
        const RowRef current = rows_[static_cast<size_t>(pos_)];
        packPending(&current);
        updateRow();
    }
}

void Recordset::insertRow() {
    if (!insert_.st)
        insert_.st = db_->prepare(insertSql_);
    sqlite3_stmt* st = insert_.st;
    {
        // Every parameter is bound again for each row: no need to clear them.
        const ScopeExit reset{[st] { sqlite3_reset(st); }};
        bindPacked(st);
        if (const int rc = sqlite3_step(st); rc != SQLITE_DONE)
            db_->fail(rc);
    }
    rows_.push_back(keepPacked(sqlite3_last_insert_rowid(db_->handle())));
    pos_ = static_cast<int>(rows_.size()) - 1;
    deleted_ = false;
    leaveEdit();
    fireReposition();
}

void Recordset::updateRow() {
    // Only the changed fields of the current row are written.
    const int64_t rowid = rows_[static_cast<size_t>(pos_)].rowid;
    QString sql = QStringLiteral("update ") + tableToken_ + QLatin1String(" set ");
    int changed = 0;
    for (size_t i = 0; i < columns_.size(); ++i) {
        if (toWrite_[i]) {
            if (changed++)
                sql += QLatin1String(", ");
            sql += quoted(columns_[i].name) + QLatin1String(" = ?");
        }
    }
    if (changed) {
        sql += QLatin1String(" where rowid = ?");
        bool gone = false;
        {
            TV_LEASE(st, sql.toStdString());
            bindPacked(st.get());
            sqlite3_bind_int64(st.get(), changed + 1, rowid);
            if (const int rc = sqlite3_step(st.get()); rc != SQLITE_DONE)
                db_->fail(rc);
            gone = sqlite3_changes(db_->handle()) == 0;
        }
        if (gone)
            dropGoneRow();
        rows_[static_cast<size_t>(pos_)] = keepPacked(rowid);
    }
    leaveEdit();
}

void Recordset::remove() {
    if (edit_ != EditState::None)
        leaveEdit();
    if (!hasCurrent())
        noCurrent();
    requireUpdatable();
    bool gone = false;
    {
        TV_LEASE(st, (QStringLiteral("delete from ") + tableToken_ + QLatin1String(" where rowid = ?")).toStdString());
        sqlite3_bind_int64(st.get(), 1, rows_[static_cast<size_t>(pos_)].rowid);
        if (const int rc = sqlite3_step(st.get()); rc != SQLITE_DONE)
            db_->fail(rc);
        gone = sqlite3_changes(db_->handle()) == 0;
    }
    if (gone)
        dropGoneRow();
    rows_.erase(rows_.begin() + pos_);
    deleted_ = true;  // pos_ now names the row after it, or EOF
    fireReposition();
}

void Recordset::dropGoneRow() {
    // Left as a delete leaves it: the row is no longer held, none is current.
    leaveEdit();
    rows_.erase(rows_.begin() + pos_);
    deleted_ = true;
    fireReposition();
    throw DbError(goneText());
}

void Recordset::setFieldCaptions(const QHash<QString, QString>& captions) {
    captions_.clear();
    for (auto it = captions.begin(); it != captions.end(); ++it) captions_.insert(it.key().toLower(), it.value());
}

QString Recordset::fieldCaption(size_t column) const {
    const QString& name = columns_[column].name;
    return captions_.value(name.toLower(), name);
}

// ---- notification ---------------------------------------------------------------

int Recordset::onReposition(Handler h) {
    const int id = nextHandler_++;
    handlers_.push_back(std::make_shared<HandlerEntry>(HandlerEntry{id, std::move(h)}));
    return id;
}

void Recordset::removeRepositionHandler(int id) {
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
        if ((*it)->id == id) {
            (*it)->alive = false;
            handlers_.erase(it);
            return;
        }
    }
}

void Recordset::fireReposition() {
    if (handlers_.empty())
        return;
    // A handler may move this or another recordset, add or remove handlers, or
    // even destroy this recordset: call a copy of the list, skip handlers
    // removed meanwhile, and stop when this recordset is gone.
    const std::shared_ptr<bool> alive = token_.alive;
    if (handlers_.size() == 1) {
        const auto entry = handlers_.front();
        entry->fn();
        return;
    }
    const auto list = handlers_;
    for (const auto& entry : list) {
        if (!*alive)
            return;
        if (entry->alive)
            entry->fn();
    }
}

}  // namespace tv
