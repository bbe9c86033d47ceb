// The dynaset: rowids listed at refresh, values read by rowid in pages as
// they are asked for, a current row with BOF/EOF, and rows added, edited and
// deleted by rowid.

#include "platform/db/Recordset.h"

#include "platform/db/Storage.h"

#include <QRegularExpression>
#include <QScopeGuard>

#include <cassert>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace tv {

namespace {

// The first `most` UTF-16 units of a text, never half a character.
QString cutText(const QString& t, qsizetype most) {
    if (t.size() <= most)
        return t;
    QString cut = t.left(most);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

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
const QString& changedText() {
    static const QString t = QStringLiteral("该记录已被其他程序修改或删除，数据没有改变。");
    return t;
}
const QString& goneReadText() {
    static const QString t = QStringLiteral("该记录已被其他程序删除。");
    return t;
}

// Slots of a page's rows that hold no offset.
constexpr int64_t kNotRead = -1, kGone = -2;

[[noreturn]] void tooBig() {
    throw DbError(Database::engineErrorText(SQLITE_TOOBIG, QString::fromUtf8(sqlite3_errstr(SQLITE_TOOBIG))));
}

// Cell tags of the packed rows. A text or bytes cell keeps its length in 32
// bits: nothing longer than the engine's length limit (below 2^31) gets in,
// neither from the engine nor through Update, which refuses it first. A text
// read longer than kCutBytes is held cut (kTextCut): its first bytes, up to a
// whole character, and the length of the whole; the whole is read by rowid
// when it is asked for.
enum : char { kNull = 0, kInt = 1, kReal = 2, kText = 3, kBytes = 4, kBlobLater = 5, kTextCut = 6 };
constexpr qsizetype kCutBytes = 16 * 1024;

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
        case kTextCut: {
            uint32_t n;
            std::memcpy(&n, p + 1, 4);
            return 1 + 8 + n;
        }
        default:
            return 1;
    }
}

// The bytes of a text kept when it is held cut: kCutBytes, less the start
// of a character cut in two.
qsizetype keptOfCut(const detail::RawCell& c) {
    qsizetype n = kCutBytes;
    while (n > 0 && (static_cast<unsigned char>(c.p[n]) & 0xC0) == 0x80) --n;
    return n;
}

// The cut form of a long text: its first bytes and the length of the whole.
char* writeCut(char* p, const detail::RawCell& c, qsizetype kept) {
    *p = kTextCut;
    const uint32_t n = static_cast<uint32_t>(kept), whole = static_cast<uint32_t>(c.n);
    std::memcpy(p + 1, &n, 4);
    std::memcpy(p + 5, &whole, 4);
    std::memcpy(p + 9, c.p, n);
    return p + 9 + n;
}

// A cut text's length in bytes, whole.
uint32_t wholeOfCut(const char* p) {
    uint32_t whole;
    std::memcpy(&whole, p + 5, 4);
    return whole;
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
        case kTextCut: {  // the bytes kept
            c.type = SQLITE_TEXT;
            uint32_t n;
            std::memcpy(&n, p + 1, 4);
            c.n = n;
            c.p = p + 9;
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

// Sorts rowids (an index lists them in its own order): by 11 bits at a
// time from the lowest, as many rounds as the largest needs.
void sortRowids(std::vector<int64_t>& ids) {
    if (ids.size() < 4096 || *std::min_element(ids.begin(), ids.end()) < 0) {
        std::sort(ids.begin(), ids.end());
        return;
    }
    const uint64_t most = static_cast<uint64_t>(*std::max_element(ids.begin(), ids.end()));
    std::vector<int64_t> other(ids.size());
    constexpr int kBits = 11;
    for (int shift = 0; shift < 64 && (most >> shift) != 0; shift += kBits) {
        size_t counts[(1 << kBits) + 1] = {};
        for (const int64_t id : ids) ++counts[((static_cast<uint64_t>(id) >> shift) & ((1 << kBits) - 1)) + 1];
        for (size_t i = 1; i <= (1 << kBits); ++i) counts[i] += counts[i - 1];
        for (const int64_t id : ids) other[counts[(static_cast<uint64_t>(id) >> shift) & ((1 << kBits) - 1)]++] = id;
        ids.swap(other);
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
            static const QRegularExpression orderBy(QStringLiteral("\\border\\s+by\\b"),
                                                    QRegularExpression::CaseInsensitiveOption);
            tableToken_ = m.captured(2);
            rest_ = rest;
            ordered_ = orderBy.match(rest_).hasMatch();
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
    if (shape_ == Shape::Verbatim)
        return source_.toStdString();
    QString sql = QStringLiteral("select rowid, ") + columnList(columns) + QLatin1String(" from ") + tableToken_;
    if (!rest_.isEmpty())
        sql += QLatin1Char(' ') + rest_;
    if (!ordered_)
        sql += QLatin1String(" order by rowid");
    return sql.toStdString();
}

void Recordset::resolveColumns() {
    std::vector<Column> cols;
    std::vector<bool> untyped;
    QStringList origins;  // the table's field each column shows ("" for an expression)
    if (shape_ == Shape::Table) {
        cols = db_->columns(table_);
        untyped.assign(cols.size(), false);
        for (const Column& c : cols) origins << c.name;
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
                origins << QString::fromUtf8(sqlite3_column_origin_name(st.get(), c));
            }
        }
    }
    // The rows held are laid out by the columns: a changed table drops them.
    bool same = cols.size() == columns_.size();
    for (size_t i = 0; same && i < cols.size(); ++i)
        same = cols[i].name == columns_[i].name && cols[i].kind == columns_[i].kind && untyped[i] == untyped_[i];
    if (!same) {
        rowids_.clear();
        count_ = 0;
        pages_.clear();
        held_.clear();
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
    origins_ = std::move(origins);
    compared_.clear();
    sameField_.assign(columns_.size(), std::string());
    cutField_.assign(columns_.size(), std::string());
    for (int i = 0; i < static_cast<int>(origins_.size()); ++i) {
        if (origins_[i].isEmpty() || (shape_ == Shape::Table && columns_[static_cast<size_t>(i)].kind == ColumnKind::Blob))
            continue;  // an expression, or a photo that is not held
        compared_.push_back(i);
        const std::string name = quoted(origins_[i]).toStdString(), bytes = "cast(" + name + " as blob)";
        sameField_[static_cast<size_t>(i)] = " and " + name + " is ?";
        cutField_[static_cast<size_t>(i)] = " and substr(" + bytes + ", 1, ?) = ? and length(" + bytes + ") = ?";
    }
    textIndexed_.clear();
    if (lazy()) {
        const QString list = columnList(columns_);
        pageRangeSql_ = byRowidSql(list, true);
        pageRowSql_ = byRowidSql(list, false);
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

// ---- the row cache --------------------------------------------------------------

QString Recordset::columnList(const std::vector<Column>& columns) const {
    if (shape_ == Shape::List)
        return selectList_;
    QString list;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            list += QLatin1String(", ");
        list += columns[i].kind == ColumnKind::Blob ? QStringLiteral("NULL") : quoted(columns[i].name);
    }
    return list;
}

std::string Recordset::byRowidSql(const QString& list, bool range) const {
    return (QStringLiteral("select rowid, ") + list + QLatin1String(" from ") + tableToken_ +
            (range ? QLatin1String(" where rowid between ?1 and ?2") : QLatin1String(" where rowid = ?1")))
        .toStdString();
}

// The rowids of the rows, in the source's order. Without an order of its
// own, the order of the rowids, sorted here: an index serves the query
// without reading the rows themselves.
std::string Recordset::rowidSql() const {
    QString sql;
    if (shape_ == Shape::Table && !ordered_)
        sql = QStringLiteral("select tv_rowids(rowid)");  // see Database
    else if (shape_ == Shape::List)                       // its where or order may name the list's own names
        sql = QStringLiteral("select rowid, ") + selectList_;
    else
        sql = QStringLiteral("select rowid");
    sql += QLatin1String(" from ") + tableToken_;
    if (!rest_.isEmpty())
        sql += QLatin1Char(' ') + rest_;
    return sql.toStdString();
}

Recordset::Page& Recordset::heldPage(int page) const {
    Page& p = pages_[static_cast<size_t>(page)];
    if (p.at.empty()) {
        evictPages();
        const int first = page * kPageRows;
        p.at.assign(static_cast<size_t>(std::min(kPageRows, rowCount() - first)), kNotRead);
        p.bytes = {};
        held_.push_back(page);
    }
    p.used = ++clock_;
    return p;
}

const char* Recordset::rowAt(int row) const {
    const char* r = heldRow(row);
    if (!r)
        throw DbError(goneReadText());
    return r;
}

const char* Recordset::heldRow(int row) const {
    const int page = row / kPageRows;
    const size_t slot = static_cast<size_t>(row % kPageRows);
    Page& p = pages_[static_cast<size_t>(page)];
    if (p.at.empty() || p.at[slot] == kNotRead)
        readMissing(page);
    else
        p.used = ++clock_;
    const int64_t at = p.at[slot];
    return at == kGone ? nullptr : p.bytes.data.get() + at;
}

void Recordset::readMissing(int page) const {
    Page& p = heldPage(page);
    const int first = page * kPageRows, last = first + static_cast<int>(p.at.size());
    int from = first;
    while (from < last && p.at[static_cast<size_t>(from - first)] != kNotRead) ++from;
    int to = last;
    while (to > from && p.at[static_cast<size_t>(to - 1 - first)] != kNotRead) --to;
    // Rows not found are gone; rows read meanwhile stay as they were read.
    std::vector<uint8_t> seen(p.at.size(), 0);
    readRows(from, to, pageRangeSql_, pageRowSql_, [&](int row, sqlite3_stmt* st) {
        const size_t slot = static_cast<size_t>(row - first);
        seen[slot] = 1;
        if (p.at[slot] == kNotRead)
            packRow(st, p, static_cast<int>(slot));
    });
    for (size_t i = static_cast<size_t>(from - first); i < static_cast<size_t>(to - first); ++i) {
        if (p.at[i] == kNotRead && !seen[i])
            p.at[i] = kGone;
    }
}

void Recordset::readRows(int first, int last, const std::string& rangeSql, const std::string& rowSql,
                         const std::function<void(int position, sqlite3_stmt* st)>& each) const {
    if (first >= last)
        return;
    const int64_t lo = rowids_[static_cast<size_t>(first)], hi = rowids_[static_cast<size_t>(last - 1)];
    // A range when it holds no more than four times the rows wanted.
    const bool range = ascending_ && hi >= lo &&
                       static_cast<uint64_t>(hi) - static_cast<uint64_t>(lo) < 4u * static_cast<uint64_t>(last - first);
    if (range) {
        TV_LEASE(st, rangeSql);
        sqlite3_bind_int64(st.get(), 1, lo);
        sqlite3_bind_int64(st.get(), 2, hi);
        int row = first, rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const int64_t id = sqlite3_column_int64(st.get(), 0);
            while (row < last && rowids_[static_cast<size_t>(row)] < id) ++row;
            if (row == last)
                break;
            if (rowids_[static_cast<size_t>(row)] == id)
                each(row++, st.get());
        }
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            db_->fail(rc);
        return;
    }
    TV_LEASE(st, rowSql);
    for (int row = first; row < last; ++row) {
        sqlite3_bind_int64(st.get(), 1, rowids_[static_cast<size_t>(row)]);
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW)
            each(row, st.get());
        else if (rc != SQLITE_DONE)
            db_->fail(rc);
        sqlite3_reset(st.get());
    }
}

char* Recordset::Bytes::grow(size_t n) {
    if (capacity - size < n) {
        // Doubled while small; a page holding a very long value grows by what
        // it needs and a little more, never by as much again.
        constexpr size_t kLarge = size_t{1} << 20;
        const size_t wanted = size + n > kLarge ? size + n + kLarge : std::max(capacity * 2, size + n);
        std::unique_ptr<char[]> more(new char[wanted]);
        if (size)
            std::memcpy(more.get(), data.get(), size);
        data = std::move(more);
        capacity = wanted;
    }
    char* p = data.get() + size;
    size += n;
    return p;
}

char* Recordset::appendTo(Page& page, int slot, size_t n) const {
    page.at[static_cast<size_t>(slot)] = static_cast<int64_t>(page.bytes.size);
    return page.bytes.grow(n);
}

// The row the statement stands on (its columns after the rowid, or from the
// first for a verbatim query) into its slot of the page.
void Recordset::packRow(sqlite3_stmt* st, Page& page, int slot) const {
    const int n = static_cast<int>(columns_.size()), b = base();
    const bool table = shape_ == Shape::Table;
    thread_local std::vector<detail::RawCell> cells;  // the row being read, made once
    thread_local std::vector<qsizetype> kept;  // per cell: the bytes kept of a text held cut, else -1
    if (cells.size() < static_cast<size_t>(n)) {
        cells.resize(static_cast<size_t>(n));
        kept.resize(static_cast<size_t>(n));
    }
    detail::RawCell* c = cells.data();
    size_t total = 0;
    for (int i = 0; i < n; ++i) {
        if (table && columns_[static_cast<size_t>(i)].kind == ColumnKind::Blob) {
            total += 1;
            continue;
        }
        c[i] = detail::rawColumn(st, i + b);
        // A long text is held cut where its whole can be read again by rowid.
        kept[static_cast<size_t>(i)] = lazy() && c[i].type == SQLITE_TEXT && c[i].n > kCutBytes ? keptOfCut(c[i]) : -1;
        total += kept[static_cast<size_t>(i)] >= 0 ? 1 + 8 + static_cast<size_t>(kept[static_cast<size_t>(i)])
                                                   : rawSize(c[i]);
    }
    char* p = appendTo(page, slot, total);
    for (int i = 0; i < n; ++i) {
        if (table && columns_[static_cast<size_t>(i)].kind == ColumnKind::Blob)
            *p++ = kBlobLater;
        else if (kept[static_cast<size_t>(i)] >= 0)
            p = writeCut(p, c[i], kept[static_cast<size_t>(i)]);
        else
            p = writeRaw(p, c[i]);
    }
}

void Recordset::evictPages() const {
    const int pinned = pos_ >= 0 && pos_ < rowCount() ? pos_ / kPageRows : -1;
    while (held_.size() >= kHeldPages) {
        size_t oldest = held_.size();
        for (size_t i = 0; i < held_.size(); ++i) {
            if (held_[i] == pinned)
                continue;
            if (oldest == held_.size() ||
                pages_[static_cast<size_t>(held_[i])].used < pages_[static_cast<size_t>(held_[oldest])].used)
                oldest = i;
        }
        if (oldest == held_.size())
            return;
        Page& p = pages_[static_cast<size_t>(held_[oldest])];
        std::vector<int64_t>().swap(p.at);
        p.bytes = {};
        held_.erase(held_.begin() + static_cast<ptrdiff_t>(oldest));
        wholes_.clear();
    }
}

void Recordset::fitPages() const { pages_.resize(static_cast<size_t>((rowCount() + kPageRows - 1) / kPageRows)); }

// The rows from `row` on have moved (a row went): their pages are read again when asked for.
void Recordset::dropPagesFrom(int row) {
    wholes_.clear();
    const int first = row / kPageRows;
    for (auto it = held_.begin(); it != held_.end();) {
        if (*it >= first) {
            Page& p = pages_[static_cast<size_t>(*it)];
            std::vector<int64_t>().swap(p.at);
            p.bytes = {};
            it = held_.erase(it);
        } else {
            ++it;
        }
    }
    fitPages();
}

void Recordset::readCurrent() const {
    if (!lazy() || pos_ < 0 || pos_ >= rowCount())
        return;
    try {
        rowAt(pos_);
    } catch (const DbError&) {
        // told when a field of it is read
    }
}

const char* Recordset::cellAt(const char* row, int column) const {
    const char* p = row;
    for (int i = 0; i < column; ++i) p += cellSize(p);
    return p;
}

Value Recordset::decodeAt(const char* row, int64_t rowid, int column) const {
    const char* p = cellAt(row, column);
    if (*p == kBlobLater)
        return fetchBlob(rowid, column);
    if (*p == kTextCut)
        return fetchWhole(rowid, column);
    const size_t c = static_cast<size_t>(column);
    const detail::RawCell raw = readRaw(p);
    return untyped_[c] ? detail::decodeUntyped(raw) : detail::decodeCell(raw, columns_[c].kind);
}

Value Recordset::fetchWhole(int64_t rowid, int column) const {
    for (const Whole& w : wholes_) {
        if (w.rowid == rowid && w.column == column)
            return w.value;
    }
    Value v;
    {
        // The field alone, where it is one of the table's; else the whole row.
        const size_t c = static_cast<size_t>(column);
        const bool alone = !origins_[column].isEmpty();
        TV_LEASE(st, alone ? (QStringLiteral("select ") + quoted(origins_[column]) + QLatin1String(" from ") +
                              tableToken_ + QLatin1String(" where rowid = ?"))
                                 .toStdString()
                           : pageRowSql_);
        sqlite3_bind_int64(st.get(), 1, rowid);
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW) {
            const detail::RawCell raw = detail::rawColumn(st.get(), alone ? 0 : column + 1);
            v = untyped_[c] ? detail::decodeUntyped(raw) : detail::decodeCell(raw, columns_[c].kind);
        } else if (rc != SQLITE_DONE) {
            db_->fail(rc);
        } else {
            throw DbError(goneReadText());
        }
    }
    if (wholes_.size() >= kWholesHeld)
        wholes_.erase(wholes_.begin());
    wholes_.push_back({rowid, column, v});
    return v;
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

int Recordset::findRow(const std::vector<std::pair<int, QString>>& keys, int from) const {
    std::vector<int> columns;
    for (const auto& key : keys) {
        if (key.first < 0 || key.first >= static_cast<int>(columns_.size()))
            throw DbError(QStringLiteral("找不到字段：%1").arg(key.first));
        columns.push_back(key.first);
    }
    const auto equal = [&keys](const std::vector<Value>& values) {
        for (size_t i = 0; i < keys.size(); ++i) {
            if (values[i].isNull() || values[i].toText() != keys[i].second)
                return false;
        }
        return true;
    };
    // An index finds every row whose field could show as the key: those that
    // hold its very text, and those that hold bytes. Text that is no valid
    // UTF-8 shows with U+FFFD in it: a key with one is looked for row by row.
    for (const auto& [column, key] : keys) {
        if (shape_ == Shape::Table && ascending_ && !key.contains(QChar::ReplacementCharacter) &&
            QStringView(key).isValidUtf16() && textIndexed(column))
            return seekRows(column, key, columns, from, equal);
    }
    return scanRows(columns, from, equal);
}

bool Recordset::textIndexed(int column) const {
    if (textIndexed_.size() != columns_.size())
        textIndexed_.assign(columns_.size(), -1);
    int8_t& known = textIndexed_[static_cast<size_t>(column)];
    if (known < 0) {
        const Column& c = columns_[static_cast<size_t>(column)];
        // Text affinity: a number put into the field is kept as its text.
        static const QRegularExpression text(QStringLiteral("CHAR|CLOB|TEXT"),
                                             QRegularExpression::CaseInsensitiveOption);
        known = 0;
        if (c.kind == ColumnKind::Text && !untyped_[static_cast<size_t>(column)]) {
            const auto rows = db_->query(
                QStringLiteral("select t.type, exists (select 1 from pragma_index_list(?1) l join "
                               "pragma_index_info(l.name) i where l.partial = 0 and i.seqno = 0 and i.name = t.name) "
                               "from pragma_table_info(?1) t where t.name = ?2"),
                {Value(table_), Value(c.name)});
            if (!rows.empty()) {
                const QString type = rows[0][0].toText();
                known = rows[0][1].toInt() == 1 && text.match(type).hasMatch() &&
                        !type.contains(QLatin1String("INT"), Qt::CaseInsensitive);
            }
        }
    }
    return known == 1;
}

QString Recordset::fieldList(const std::vector<int>& columns, std::vector<int>& at) const {
    at.resize(columns.size());
    if (shape_ != Shape::Table) {  // its names may be its own
        for (size_t i = 0; i < columns.size(); ++i) at[i] = columns[i] + 1;
        return selectList_;
    }
    QString list;
    for (size_t i = 0; i < columns.size(); ++i) {
        if (i)
            list += QLatin1String(", ");
        list += quoted(columns_[static_cast<size_t>(columns[i])].name);
        at[i] = static_cast<int>(i) + 1;
    }
    return list;
}

void Recordset::readFields(sqlite3_stmt* st, const std::vector<int>& columns, const std::vector<int>& at,
                           std::vector<Value>& values) const {
    for (size_t i = 0; i < columns.size(); ++i) {
        const size_t c = static_cast<size_t>(columns[i]);
        const detail::RawCell raw = detail::rawColumn(st, at[i]);
        values[i] = untyped_[c] ? detail::decodeUntyped(raw) : detail::decodeCell(raw, columns_[c].kind);
    }
}

int Recordset::seekRows(int column, const QString& key, const std::vector<int>& columns, int from,
                        const std::function<bool(const std::vector<Value>& values)>& match) const {
    const QString name = quoted(columns_[static_cast<size_t>(column)].name);
    std::vector<int> rows;
    {
        TV_LEASE(st, (QStringLiteral("select rowid from ") + tableToken_ + QLatin1String(" where ") + name +
                      QLatin1String(" = ?1 or ") + name + QLatin1String(" >= x''"))
                         .toStdString());
        if (const int rc = detail::bindValue(st.get(), 1, Value(key)); rc != SQLITE_OK)
            db_->fail(rc);
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const int64_t id = sqlite3_column_int64(st.get(), 0);
            const auto at = std::lower_bound(rowids_.begin(), rowids_.end(), id);
            if (at != rowids_.end() && *at == id && at - rowids_.begin() >= from)
                rows.push_back(static_cast<int>(at - rowids_.begin()));
        }
        if (rc != SQLITE_DONE)
            db_->fail(rc);
    }
    std::sort(rows.begin(), rows.end());
    std::vector<int> at;
    TV_LEASE(st, byRowidSql(fieldList(columns, at), false));
    std::vector<Value> values(columns.size());
    for (const int row : rows) {
        sqlite3_bind_int64(st.get(), 1, rowids_[static_cast<size_t>(row)]);
        const int rc = sqlite3_step(st.get());
        if (rc == SQLITE_ROW)
            readFields(st.get(), columns, at, values);
        sqlite3_reset(st.get());
        if (rc != SQLITE_ROW && rc != SQLITE_DONE)
            db_->fail(rc);
        if (rc == SQLITE_ROW && match(values))
            return row;
    }
    return -1;
}

int Recordset::scanRows(const std::vector<int>& columns, int from,
                        const std::function<bool(const std::vector<Value>& values)>& match) const {
    std::vector<Value> values(columns.size());
    if (!lazy()) {
        for (int row = std::max(from, 0); row < rowCount(); ++row) {
            const char* r = rowAt(row);
            for (size_t i = 0; i < columns.size(); ++i) values[i] = decodeAt(r, 0, columns[i]);
            if (match(values))
                return row;
        }
        return -1;
    }
    std::vector<int> at;
    const QString list = fieldList(columns, at);
    const std::string rangeSql = byRowidSql(list, true), rowSql = byRowidSql(list, false);
    // Batches that grow: a match near the start reads little.
    int found = -1;
    for (int first = std::max(from, 0), n = 32; first < rowCount() && found < 0;
         first += n, n = std::min(n * 2, 4096)) {
        const int last = std::min(first + n, rowCount());
        readRows(first, last, rangeSql, rowSql, [&](int row, sqlite3_stmt* st) {
            if (found >= 0)
                return;
            readFields(st, columns, at, values);
            if (match(values))
                found = row;
        });
    }
    return found;
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

// The packed row, once written, is the row held at `row`.
void Recordset::keepPacked(int row) {
    wholes_.clear();
    Page& p = heldPage(row / kPageRows);
    std::memcpy(appendTo(p, row % kPageRows, packedSize_), packed_.data(), packedSize_);
}

// ---- refresh and moves ----------------------------------------------------------

void Recordset::refresh() {
    leaveEdit();
    resolveColumns();
    if (!lazy()) {
        readAll();
    } else {
        std::vector<int64_t> ids;
        {
            TV_LEASE(st, rowidSql());
            db_->bindAll(st.get(), params_);
            int rc;
            if (shape_ == Shape::Table && !ordered_) {  // in one step, in any order
                if ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
                    ids.resize(static_cast<size_t>(sqlite3_column_bytes(st.get(), 0)) / sizeof(int64_t));
                    if (!ids.empty())
                        std::memcpy(ids.data(), sqlite3_column_blob(st.get(), 0), ids.size() * sizeof(int64_t));
                    rc = sqlite3_step(st.get());
                }
            } else {
                ids.reserve(rowids_.size());
                while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) ids.push_back(sqlite3_column_int64(st.get(), 0));
            }
            if (rc != SQLITE_DONE)
                db_->fail(rc);
        }
        bool ascending = std::is_sorted(ids.begin(), ids.end());
        if (!ascending && !ordered_) {
            sortRowids(ids);
            ascending = true;
        }
        rowids_ = std::move(ids);
        ascending_ = ascending;
        held_.clear();
        pages_.clear();
        wholes_.clear();
        fitPages();
    }
    pos_ = rowCount() == 0 ? -1 : 0;
    deleted_ = false;
    readCurrent();
    fireReposition();
}

// A verbatim query: every row read now.
void Recordset::readAll() {
    std::vector<Page> pages;
    size_t count = 0;
    {
        TV_LEASE(st, selectSql(columns_));
        db_->bindAll(st.get(), params_);
        int rc;
        while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) {
            const size_t slot = count % kPageRows;
            if (slot == 0)
                pages.emplace_back();
            Page& p = pages.back();
            p.at.push_back(kNotRead);
            packRow(st.get(), p, static_cast<int>(slot));
            ++count;
        }
        if (rc != SQLITE_DONE)
            db_->fail(rc);
    }
    pages_ = std::move(pages);
    count_ = count;
    held_.clear();
}

bool Recordset::bof() const { return rowCount() == 0 || (pos_ < 0 && !deleted_); }

bool Recordset::eof() const { return rowCount() == 0 || pos_ >= rowCount(); }

bool Recordset::hasCurrent() const { return edit_ != EditState::Adding && !deleted_ && pos_ >= 0 && pos_ < rowCount(); }

int Recordset::recordCount() const { return rowCount(); }

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
    if (rowCount() == 0)
        noCurrent();
    pos_ = 0;
    deleted_ = false;
    readCurrent();
    fireReposition();
}

void Recordset::moveLast() {
    leaveEdit();
    if (rowCount() == 0)
        noCurrent();
    pos_ = rowCount() - 1;
    deleted_ = false;
    readCurrent();
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
    readCurrent();
    fireReposition();
}

void Recordset::movePrevious() {
    leaveEdit();
    if (bof())
        noCurrent();
    deleted_ = false;
    --pos_;
    readCurrent();
    fireReposition();
}

void Recordset::moveTo(int position) {
    leaveEdit();
    if (position < 0 || position >= rowCount())
        noCurrent();
    pos_ = position;
    deleted_ = false;
    readCurrent();
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
    return valueAt(pos_, index);
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

Value Recordset::field(int index, qsizetype most, bool* cut) const {
    *cut = false;
    if (index < 0 || index >= static_cast<int>(columns_.size()))
        throw DbError(QStringLiteral("找不到字段：%1").arg(index));
    const size_t i = static_cast<size_t>(index);
    if (edit_ == EditState::Adding || (edit_ == EditState::Editing && dirty_[i])) {
        const Value& v = pending_[i];
        if (v.kind() != Value::Kind::Text || v.toText().size() <= most)
            return v;
        *cut = true;
        return Value(cutText(v.toText(), most));
    }
    if (!hasCurrent())
        noCurrent();
    return valueAt(pos_, index, most, cut);
}

Value Recordset::valueAt(int row, int column, qsizetype most, bool* cut) const {
    *cut = false;
    if (row < 0 || row >= rowCount() || column < 0 || column >= static_cast<int>(columns_.size()))
        throw DbError(noCurrentText());
    const char* r = rowAt(row);
    const size_t c = static_cast<size_t>(column);
    const char* p = cellAt(r, column);
    detail::RawCell raw = readRaw(p);
    // Text, or bytes in a field of text or numbers, longer than can be shown:
    // only as much of it is decoded as shows.
    const bool text = raw.type == SQLITE_TEXT ||
                      (raw.type == SQLITE_BLOB && !untyped_[c] && columns_[c].kind != ColumnKind::Blob);
    if (*p != kTextCut && (*p == kBlobLater || !text || raw.n <= most))
        return decodeAt(r, lazy() ? rowids_[static_cast<size_t>(row)] : 0, column);
    qsizetype n = std::min<qsizetype>(raw.n, 3 * most);  // `most` UTF-16 units take at most 3 bytes each
    while (n < raw.n && (static_cast<unsigned char>(raw.p[n]) & 0xC0) == 0x80) --n;  // a whole character
    const QString shown = QString::fromUtf8(raw.p, n);
    if (*p != kTextCut && n == raw.n && shown.size() <= most)
        return decodeAt(r, 0, column);  // all of it shows
    *cut = true;
    return Value(cutText(shown, most));
}

Value Recordset::valueAt(int row, int column) const {
    if (row < 0 || row >= rowCount() || column < 0 || column >= static_cast<int>(columns_.size()))
        throw DbError(noCurrentText());
    return decodeAt(rowAt(row), lazy() ? rowids_[static_cast<size_t>(row)] : 0, column);
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
// edited row) and packs the row into packed_, with the other cells of the
// edited row as read (`kept`). A value that cannot be held raises here,
// before anything is written.
void Recordset::packPending(const char* kept) {
    const size_t n = columns_.size();
    toWrite_.assign(n, nullptr);
    converted_.clear();
    converted_.reserve(n);  // never moves while toWrite_ points into it
    packedSize_ = 0;
    const char* old = kept;
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
        return;
    }
    // The row as it was read, which the file must still hold.
    const char* held = heldRow(pos_);
    if (!held)
        refuseChanged();
    packPending(held);
    updateRow(held);
}

void Recordset::insertRow() {
    if (!insert_.st)
        insert_.st = db_->prepare(insertSql_);
    sqlite3_stmt* st = insert_.st;
    {
        // Every parameter is bound again for each row: no need to clear them.
        const auto reset = qScopeGuard([st] { sqlite3_reset(st); });
        bindPacked(st);
        if (const int rc = sqlite3_step(st); rc != SQLITE_DONE)
            db_->fail(rc);
    }
    const int64_t rowid = sqlite3_last_insert_rowid(db_->handle());
    ascending_ = ascending_ && (rowids_.empty() || rowid > rowids_.back());
    rowids_.push_back(rowid);
    fitPages();
    Page& last = pages_.back();
    if (!last.at.empty())
        last.at.push_back(kNotRead);  // the held page of the last rows grows by one
    pos_ = rowCount() - 1;
    keepPacked(pos_);
    deleted_ = false;
    leaveEdit();
    fireReposition();
}

std::string Recordset::sameRowSql(const char* held) const {
    std::string sql = " where rowid = ?";
    const char* p = held;
    int column = 0;
    for (const int c : compared_) {
        for (; column < c; ++column) p += cellSize(p);
        sql += *p == kTextCut ? cutField_[static_cast<size_t>(c)] : sameField_[static_cast<size_t>(c)];
    }
    return sql;
}

void Recordset::bindHeld(sqlite3_stmt* st, int index, const char* held) const {
    sqlite3_bind_int64(st, index++, rowids_[static_cast<size_t>(pos_)]);
    const char* p = held;
    int column = 0;
    for (const int c : compared_) {
        for (; column < c; ++column) p += cellSize(p);
        int rc = SQLITE_OK;
        if (*p == kTextCut) {  // its first bytes and its length
            const detail::RawCell kept = readRaw(p);
            sqlite3_bind_int64(st, index++, kept.n);
            rc = detail::bindBytes(st, index++, kept.p, kept.n);
            sqlite3_bind_int64(st, index++, wholeOfCut(p));
        } else {
            rc = bindStored(st, index++, p, Value());
        }
        if (rc != SQLITE_OK)
            db_->fail(rc);
    }
}

void Recordset::updateRow(const char* held) {
    // Only the changed fields of the current row are written.
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
        bool same = true;
        {
            TV_LEASE(st, sql.toStdString() + sameRowSql(held));
            bindPacked(st.get());
            bindHeld(st.get(), changed + 1, held);
            if (const int rc = sqlite3_step(st.get()); rc != SQLITE_DONE)
                db_->fail(rc);
            same = sqlite3_changes(db_->handle()) == 1;
        }
        if (!same)
            refuseChanged();
        keepPacked(pos_);
    }
    leaveEdit();
}

void Recordset::eraseRow(int row) {
    rowids_.erase(rowids_.begin() + row);
    dropPagesFrom(row);
}

void Recordset::remove() {
    if (edit_ != EditState::None)
        leaveEdit();
    if (!hasCurrent())
        noCurrent();
    requireUpdatable();
    const char* held = heldRow(pos_);
    if (!held)
        refuseChanged();
    bool same = true;
    {
        TV_LEASE(st, "delete from " + tableToken_.toStdString() + sameRowSql(held));
        bindHeld(st.get(), 1, held);
        if (const int rc = sqlite3_step(st.get()); rc != SQLITE_DONE)
            db_->fail(rc);
        same = sqlite3_changes(db_->handle()) == 1;
    }
    if (!same)
        refuseChanged();
    eraseRow(pos_);
    deleted_ = true;  // pos_ now names the row after it, or EOF
    readCurrent();
    fireReposition();
}

void Recordset::refuseChanged() {
    leaveEdit();
    // Another program has been writing: the rows held are read again as they
    // are asked for. A row still there shows as it is now; a row gone is left
    // as a delete leaves it, no longer held and none current.
    dropPagesFrom(0);
    if (!heldRow(pos_)) {
        eraseRow(pos_);
        deleted_ = true;
    }
    fireReposition();
    throw RowChangedError(changedText());
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
    // The position rules: the current row is a row index, -1 before the
    // first (BOF) or the count after the last (EOF); a deleted current row
    // leaves the index of the row after it; a pending row has every field.
    assert(pos_ >= -1 && pos_ <= rowCount());
    assert(!deleted_ || pos_ >= 0);
    assert(edit_ == EditState::None || pending_.size() == columns_.size());
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
