// Storage forms of the column kinds.

#include "platform/db/Storage.h"

#define XXH_INLINE_ALL
#include <xxhash.h>

#include <cmath>
#include <cstring>
#include <limits>

namespace tv::detail {

namespace {

Value wholeNumber(double d, ColumnKind kind) {
    const double r = std::nearbyint(d);  // ties to even
    if (kind == ColumnKind::SmallInt && r >= -32768.0 && r <= 32767.0)
        return Value(static_cast<int16_t>(r));
    if (r >= -2147483648.0 && r <= 2147483647.0)
        return Value(static_cast<int32_t>(r));
    return Value(d);
}

Value wholeNumber(int64_t n, ColumnKind kind) {
    if (kind == ColumnKind::SmallInt && n >= -32768 && n <= 32767)
        return Value(static_cast<int16_t>(n));
    if (n >= std::numeric_limits<int32_t>::min() && n <= std::numeric_limits<int32_t>::max())
        return Value(static_cast<int32_t>(n));
    return Value(static_cast<double>(n));
}

QString textOf(const RawCell& c) { return QString::fromUtf8(c.p, c.n); }

}  // namespace

void digest(const char* p, qsizetype n, char* out) {
    XXH128_canonical_t d;
    XXH128_canonicalFromHash(&d, XXH3_128bits(p, static_cast<size_t>(n)));
    static_assert(sizeof d == kDigestBytes);
    std::memcpy(out, &d, sizeof d);
}

RawCell rawColumn(sqlite3_stmt* st, int col) {
    // The column's value as the statement holds it, asked once (each
    // sqlite3_column_* call looks the column up again); used at once, on the
    // connection's own thread.
    sqlite3_value* v = sqlite3_column_value(st, col);
    RawCell c;
    c.type = sqlite3_value_type(v);
    switch (c.type) {
        case SQLITE_INTEGER:
            c.i = sqlite3_value_int64(v);
            break;
        case SQLITE_FLOAT:
            c.d = sqlite3_value_double(v);
            break;
        case SQLITE_TEXT:
            c.p = reinterpret_cast<const char*>(sqlite3_value_text(v));
            c.n = sqlite3_value_bytes(v);
            break;
        case SQLITE_BLOB:
            c.p = static_cast<const char*>(sqlite3_value_blob(v));
            c.n = sqlite3_value_bytes(v);
            break;
        default:
            break;
    }
    return c;
}

Value decodeUntyped(const RawCell& c) {
    switch (c.type) {
        case SQLITE_INTEGER:
            return wholeNumber(c.i, ColumnKind::Integer);
        case SQLITE_FLOAT:
            return Value(c.d);
        case SQLITE_TEXT:
            return Value(textOf(c));
        case SQLITE_BLOB:
            return Value(QByteArray(c.p, c.n));
        default:
            return Value();
    }
}

Value decodeCell(const RawCell& c, ColumnKind kind) {
    if (c.type == SQLITE_NULL)
        return Value();
    switch (kind) {
        case ColumnKind::Text:
            switch (c.type) {
                case SQLITE_INTEGER:
                    return Value(QString::number(c.i));
                case SQLITE_FLOAT:
                    return Value(doubleText(c.d));
                default:
                    return Value(textOf(c));
            }
        case ColumnKind::SmallInt:
        case ColumnKind::Integer:
            switch (c.type) {
                case SQLITE_INTEGER:
                    return wholeNumber(c.i, kind);
                case SQLITE_FLOAT:
                    return wholeNumber(c.d, kind);
                default: {
                    const QString t = textOf(c);
                    if (const auto d = parseNumber(t))
                        return wholeNumber(*d, kind);
                    return Value(t);
                }
            }
        case ColumnKind::Single:
        case ColumnKind::Double: {
            double d;
            switch (c.type) {
                case SQLITE_INTEGER:
                    d = static_cast<double>(c.i);
                    break;
                case SQLITE_FLOAT:
                    d = c.d;
                    break;
                default: {
                    const QString t = textOf(c);
                    const auto n = parseNumber(t);
                    if (!n)
                        return Value(t);
                    d = *n;
                }
            }
            return kind == ColumnKind::Single ? Value(static_cast<float>(d)) : Value(d);
        }
        case ColumnKind::Currency:
            switch (c.type) {
                case SQLITE_INTEGER:
                    if (c.i > 922337203685477LL || c.i < -922337203685477LL)
                        return Value(static_cast<double>(c.i));
                    return Value(Money::fromInt(c.i));
                case SQLITE_FLOAT:
                    if (!(std::fabs(c.d) < 922337203685477.0))
                        return Value(c.d);
                    return Value(Money::fromUnits(std::llround(c.d * 10000.0)));
                default: {
                    const QString t = textOf(c);
                    if (const auto d = parseNumber(t); d && std::fabs(*d) < 922337203685477.0)
                        return Value(toMoney(*d));
                    return Value(t);
                }
            }
        case ColumnKind::DateTime:
            switch (c.type) {
                case SQLITE_INTEGER:
                    return Value(static_cast<double>(c.i));
                case SQLITE_FLOAT:
                    return Value(c.d);
                default: {
                    const QString t = textOf(c);
                    // "yyyy-MM-dd", possibly followed by a time of day
                    const QString day = t.size() > 10 && t.at(10) == QLatin1Char(' ') ? t.left(10) : t;
                    if (const auto d = parseDate(day))
                        return Value(*d);
                    return Value(t);
                }
            }
        case ColumnKind::Blob:
            if (c.type == SQLITE_BLOB || c.type == SQLITE_TEXT)
                return Value(QByteArray(c.p, c.n));
            return decodeUntyped(c);
    }
    return decodeUntyped(c);
}

QString cutText(const QString& t, qsizetype most) {
    if (t.size() <= most)
        return t;
    QString cut = t.left(most);
    if (cut.back().isHighSurrogate())
        cut.chop(1);
    return cut;
}

int bindText(sqlite3_stmt* st, int index, const char* p, qsizetype n) {
    return sqlite3_bind_text64(st, index, p, static_cast<sqlite3_uint64>(n), SQLITE_STATIC, SQLITE_UTF8);
}

int bindBytes(sqlite3_stmt* st, int index, const char* p, qsizetype n) {
    // A null pointer would be bound as NULL: empty bytes stay a zero-length blob.
    return sqlite3_bind_blob64(st, index, n ? p : "", static_cast<sqlite3_uint64>(n), SQLITE_STATIC);
}

namespace {

// Binds `v`; a text, a date or bytes goes to the engine from `bytes`, which
// the engine copies (`how` SQLITE_TRANSIENT) or reads until the statement has
// run (SQLITE_STATIC).
int bindFrom(sqlite3_stmt* st, int index, const Value& v, QByteArray& bytes, sqlite3_destructor_type how) {
    switch (v.kind()) {
        case Value::Kind::Null:
            return sqlite3_bind_null(st, index);
        case Value::Kind::Text:
            bytes = v.toText().toUtf8();
            return sqlite3_bind_text64(st, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()), how,
                                       SQLITE_UTF8);
        case Value::Kind::Int16:
        case Value::Kind::Int32:
            return sqlite3_bind_int(st, index, v.toInt());
        case Value::Kind::Single:
            return sqlite3_bind_double(st, index, static_cast<double>(v.toSingle()));
        case Value::Kind::Double:
            return sqlite3_bind_double(st, index, v.toDouble());
        case Value::Kind::Money: {
            const Money m = v.toMoney();
            if (m.units() % 10000 == 0)
                return sqlite3_bind_int64(st, index, m.units() / 10000);
            return sqlite3_bind_double(st, index, m.toDouble());
        }
        case Value::Kind::Date:
            bytes = shortDate(v.toDate()).toUtf8();
            if (bytes.isEmpty())
                return sqlite3_bind_null(st, index);
            return sqlite3_bind_text64(st, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()), how,
                                       SQLITE_UTF8);
        case Value::Kind::Bytes:
            bytes = v.toBytes();
            // A null pointer would be bound as NULL: empty bytes stay a zero-length blob.
            return sqlite3_bind_blob64(st, index, bytes.isEmpty() ? "" : bytes.constData(),
                                       static_cast<sqlite3_uint64>(bytes.size()), how);
    }
    return sqlite3_bind_null(st, index);
}

}  // namespace

int bindValue(sqlite3_stmt* st, int index, const Value& v) {
    QByteArray bytes;
    return bindFrom(st, index, v, bytes, SQLITE_TRANSIENT);
}

int bindKept(sqlite3_stmt* st, int index, const Value& v, QByteArray& keep) {
    return bindFrom(st, index, v, keep, SQLITE_STATIC);
}

}  // namespace tv::detail
