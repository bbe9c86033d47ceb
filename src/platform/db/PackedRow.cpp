// The stored form of rows.

#include "platform/db/PackedRow.h"

#include <QDate>

#include <algorithm>
#include <cstring>

namespace tv::packed {

namespace {

uint32_t length32(const char* p) {
    uint32_t n;
    std::memcpy(&n, p, 4);
    return n;
}

[[noreturn]] void tooBig() {
    throw DbError(Database::engineErrorText(SQLITE_TOOBIG, QString::fromUtf8(sqlite3_errstr(SQLITE_TOOBIG))));
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

// The bytes of a long text kept when it is held cut: kCutBytes, less the
// start of a character cut in two.
qsizetype keptOfCut(const detail::RawCell& c) {
    qsizetype n = kCutBytes;
    while (n > 0 && (static_cast<unsigned char>(c.p[n]) & 0xC0) == 0x80) --n;
    return n;
}

// A cut text: the tag, the bytes kept, the length of the whole, its digest
// and the bytes kept.
constexpr size_t kCutHead = 1 + 4 + 4 + detail::kDigestBytes;

char* writeCut(char* p, const detail::RawCell& c, qsizetype kept, const char* digest) {
    *p = kCut;
    const uint32_t n = static_cast<uint32_t>(kept), whole = static_cast<uint32_t>(c.n);
    std::memcpy(p + 1, &n, 4);
    std::memcpy(p + 5, &whole, 4);
    std::memcpy(p + 9, digest, detail::kDigestBytes);
    std::memcpy(p + kCutHead, c.p, n);
    return p + kCutHead + n;
}

}  // namespace

size_t cellSize(const char* p) {
    switch (*p) {
        case kInt:
        case kReal:
            return 1 + 8;
        case kText:
        case kBytes:
            return 1 + 4 + length32(p + 1);
        case kCut:
            return kCutHead + length32(p + 1);
        default:
            return 1;
    }
}

const char* cellAt(const char* row, int column) {
    const char* p = row;
    for (int i = 0; i < column; ++i) p += cellSize(p);
    return p;
}

detail::RawCell readCell(const char* p) {
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
        case kBytes:
            c.type = *p == kText ? SQLITE_TEXT : SQLITE_BLOB;
            c.n = length32(p + 1);
            c.p = p + 5;
            break;
        case kCut:  // the bytes kept
            c.type = SQLITE_TEXT;
            c.n = length32(p + 1);
            c.p = p + kCutHead;
            break;
        default:
            break;
    }
    return c;
}

uint32_t wholeBytes(const char* p) { return length32(p + 5); }

const char* digestOf(const char* p) { return p + 9; }

size_t RowReader::read(sqlite3_stmt* st, int first, const std::vector<bool>& later, bool cut) {
    const size_t n = later.size();
    later_ = &later;
    cells_.resize(n);
    kept_.resize(n);
    size_t total = 0;
    for (size_t i = 0; i < n; ++i) {
        if (later[i]) {
            total += 1;
            continue;
        }
        cells_[i] = detail::rawColumn(st, static_cast<int>(i) + first);
        kept_[i] = cut && cells_[i].type == SQLITE_TEXT && cells_[i].n > kCutBytes ? keptOfCut(cells_[i]) : -1;
        if (kept_[i] >= 0) {
            digests_.resize(n * detail::kDigestBytes);
            detail::digest(cells_[i].p, cells_[i].n, digests_.data() + i * detail::kDigestBytes);
        }
        total += kept_[i] >= 0 ? kCutHead + static_cast<size_t>(kept_[i]) : rawSize(cells_[i]);
    }
    return total;
}

char* RowReader::write(char* to) const {
    for (size_t i = 0; i < cells_.size(); ++i) {
        if ((*later_)[i])
            *to++ = kLater;
        else if (kept_[i] >= 0)
            to = writeCut(to, cells_[i], kept_[i], digests_.data() + i * detail::kDigestBytes);
        else
            to = writeRaw(to, cells_[i]);
    }
    return to;
}

char* RowWriter::room(size_t n) {
    if (buf_.size() - used_ < n) [[unlikely]]
        buf_.resize(std::max(buf_.size() * 2, used_ + n));
    return buf_.data() + used_;
}

void RowWriter::append(const Value& v, bool later, qsizetype limit) {
    auto fixed = [&](char tag, const void* bytes) {
        char* p = room(9);
        *p = tag;
        std::memcpy(p + 1, bytes, 8);
        used_ += 9;
    };
    auto whole = [&](int64_t i) { fixed(kInt, &i); };
    auto real = [&](double d) { fixed(kReal, &d); };
    auto sized = [&](char tag, size_t most, auto write) {
        char* p = room(5 + most);
        const ptrdiff_t written = write(p + 5) - (p + 5);
        if (written > limit)
            tooBig();
        const uint32_t n = static_cast<uint32_t>(written);
        *p = tag;
        std::memcpy(p + 1, &n, 4);
        used_ += 5 + n;
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
                *room(1) = kLater;
                ++used_;
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
    *room(1) = kNull;
    ++used_;
}

void RowWriter::appendCell(const char* cell) {
    const size_t n = cellSize(cell);
    std::memcpy(room(n), cell, n);
    used_ += n;
}

int bindCell(sqlite3_stmt* st, int index, const char* p, const Value& v) {
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
            const detail::RawCell c = readCell(p);
            return *p == kText ? detail::bindText(st, index, c.p, c.n) : detail::bindBytes(st, index, c.p, c.n);
        }
        case kLater: {
            const QByteArray b = v.toBytes();  // shares the value's bytes
            return detail::bindBytes(st, index, b.constData(), b.size());
        }
        default:
            return sqlite3_bind_null(st, index);
    }
}

}  // namespace tv::packed
