// The rows of a source, read in pages by rowid as they are asked for.

#include "platform/db/RowCache.h"

#include <QRegularExpression>

#include <sqlite3.h>

#include <algorithm>
#include <cstring>

namespace tv {

namespace {

// Slots of a page's rows that hold no offset.
constexpr int64_t kNotRead = -1, kGone = -2;

const QString& goneText() {
    static const QString t = QStringLiteral("该记录已被其他程序删除。");
    return t;
}

}  // namespace

RowCache::RowCache(std::shared_ptr<Database> db, const RecordSource& source)
    : db_(std::move(db)), source_(source), keys_(*db_, source) {}

char* RowCache::Bytes::grow(size_t n) {
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

void RowCache::refresh(const std::vector<Value>& params) {
    whole_ = source_.shape() == RecordSource::Shape::Verbatim;
    if (whole_) {
        readAll(params);
    } else {
        keys_.refresh(params);  // a failure leaves the rows held as they were
        pages_.clear();
    }
    wholes_.clear();
    textIndexed_.clear();
}

// A verbatim query: every row read now, in pages that are never given up.
void RowCache::readAll(const std::vector<Value>& params) {
    if (static_cast<int>(params.size()) != source_.paramCount())
        throw DbError(
            QStringLiteral("参数个数不符：需要 %1 个，给出 %2 个。").arg(source_.paramCount()).arg(params.size()));
    std::unordered_map<int, Page> pages;
    int count = 0;
    {
        Database::Lease st(*db_, source_.allRows());
        for (size_t i = 0; i < params.size(); ++i) st.bind(static_cast<int>(i) + 1, params[i]);
        while (st.next()) {
            Page& p = pages[count / kPageRows];
            p.at.push_back(kNotRead);
            const size_t n = reader_.read(st.get(), 0, source_.later(), false);
            reader_.write(appendTo(p, count % kPageRows, n));
            ++count;
        }
    }
    pages_ = std::move(pages);
    wholeCount_ = count;
}

RowCache::Page& RowCache::page(int number) {
    auto it = pages_.find(number);
    if (it == pages_.end()) {
        while (!whole_ && pages_.size() >= kHeldPages) {
            auto oldest = pages_.end();
            for (auto p = pages_.begin(); p != pages_.end(); ++p) {
                if (p->first != pinned_ && (oldest == pages_.end() || p->second.used < oldest->second.used))
                    oldest = p;
            }
            if (oldest == pages_.end())
                break;
            pages_.erase(oldest);
            wholes_.clear();
        }
        it = pages_.emplace(number, Page()).first;
        const int first = number * kPageRows;
        it->second.at.assign(static_cast<size_t>(std::min(kPageRows, count() - first)), kNotRead);
    }
    it->second.used = ++clock_;
    return it->second;
}

char* RowCache::appendTo(Page& page, int slot, size_t n) {
    page.at[static_cast<size_t>(slot)] = static_cast<int64_t>(page.bytes.size);
    return page.bytes.grow(n);
}

const char* RowCache::row(int pos) {
    Page& p = page(pos / kPageRows);
    const size_t slot = static_cast<size_t>(pos % kPageRows);
    if (p.at[slot] == kNotRead)
        readMissing(pos / kPageRows);
    const int64_t at = p.at[slot];
    return at == kGone ? nullptr : p.bytes.data.get() + at;
}

void RowCache::readMissing(int number) {
    Page& p = page(number);
    const int first = number * kPageRows, last = first + static_cast<int>(p.at.size());
    int from = first;
    while (from < last && p.at[static_cast<size_t>(from - first)] != kNotRead) ++from;
    int to = last;
    while (to > from && p.at[static_cast<size_t>(to - 1 - first)] != kNotRead) --to;
    std::vector<int64_t> ids;
    for (int r = from; r < to; ++r) ids.push_back(keys_.at(r));
    // The rows the file still holds, by rowid: all at once when their rowids
    // ascend within four times as many, else one at a time.
    std::vector<uint8_t> seen(ids.size(), 0);
    const auto take = [&](size_t i, sqlite3_stmt* st) {
        seen[i] = 1;
        const size_t slot = static_cast<size_t>(from - first) + i;
        if (p.at[slot] == kNotRead) {
            const size_t n = reader_.read(st, 1, source_.later(), true);
            reader_.write(appendTo(p, static_cast<int>(slot), n));
        }
    };
    std::vector<int64_t> real;
    for (const int64_t id : ids)
        if (id != RowKeys::kGone)
            real.push_back(id);
    const bool range = !real.empty() && std::is_sorted(real.begin(), real.end()) &&
                       static_cast<uint64_t>(real.back()) - static_cast<uint64_t>(real.front()) <
                           4u * static_cast<uint64_t>(real.size());
    if (range) {
        Database::Lease st(*db_, source_.rowsByRowid(true));
        st.bind(1, real.front());
        st.bind(2, real.back());
        size_t i = 0;
        while (st.next()) {
            const int64_t id = sqlite3_column_int64(st.get(), 0);
            while (i < ids.size() && ids[i] < id) ++i;  // kGone is below every rowid
            if (i == ids.size())
                break;
            if (ids[i] == id)
                take(i++, st.get());
        }
    } else if (!real.empty()) {
        Database::Lease st(*db_, source_.rowsByRowid(false));
        for (size_t i = 0; i < ids.size(); ++i) {
            if (ids[i] == RowKeys::kGone)
                continue;
            st.bind(1, ids[i]);
            if (st.next())
                take(i, st.get());
            sqlite3_reset(st.get());
        }
    }
    for (size_t i = 0; i < ids.size(); ++i) {
        const size_t slot = static_cast<size_t>(from - first) + i;
        if (p.at[slot] == kNotRead && !seen[i])
            p.at[slot] = kGone;
    }
}

Value RowCache::value(int pos, int column) {
    const char* r = row(pos);
    if (!r)
        throw DbError(goneText());
    return decode(r, pos, column);
}

Value RowCache::decode(const char* row, int pos, int column) {
    const char* p = packed::cellAt(row, column);
    if (*p == packed::kLater)
        return fetchField(keys_.at(pos), column);
    if (*p == packed::kCut)
        return fetchWhole(keys_.at(pos), column);
    return decodeCell(packed::readCell(p), column);
}

Value RowCache::decodeCell(const detail::RawCell& raw, int column) const {
    return source_.untyped(column) ? detail::decodeUntyped(raw)
                                   : detail::decodeCell(raw, source_.columns()[static_cast<size_t>(column)].kind);
}

Value RowCache::shown(int pos, int column, qsizetype most, bool* cut) {
    *cut = false;
    const char* r = row(pos);
    if (!r)
        throw DbError(goneText());
    const char* p = packed::cellAt(r, column);
    const detail::RawCell raw = packed::readCell(p);
    // Text, or bytes in a field of text or numbers, longer than can be shown:
    // only as much of it is decoded as shows.
    const bool text =
        raw.type == SQLITE_TEXT || (raw.type == SQLITE_BLOB && !source_.untyped(column) &&
                                    source_.columns()[static_cast<size_t>(column)].kind != ColumnKind::Blob);
    if (*p != packed::kCut && (*p == packed::kLater || !text || raw.n <= most))
        return decode(r, pos, column);
    qsizetype n = std::min<qsizetype>(raw.n, 3 * most);  // `most` UTF-16 units take at most 3 bytes each
    while (n < raw.n && (static_cast<unsigned char>(raw.p[n]) & 0xC0) == 0x80) --n;  // a whole character
    const QString start = QString::fromUtf8(raw.p, n);
    if (*p != packed::kCut && n == raw.n && start.size() <= most)
        return decodeCell(raw, column);  // all of it shows
    *cut = true;
    return Value(detail::cutText(start, most));
}

Value RowCache::fetchField(int64_t rowid, int column) {
    int at = 0;
    Database::Lease st(*db_, source_.fieldByRowid(column, &at));
    st.bind(1, rowid);
    if (!st.next())
        return Value();
    return decodeCell(detail::rawColumn(st.get(), at), column);
}

Value RowCache::fetchWhole(int64_t rowid, int column) {
    for (const Whole& w : wholes_) {
        if (w.rowid == rowid && w.column == column)
            return w.value;
    }
    int at = 0;
    Value v;
    {
        Database::Lease st(*db_, source_.fieldByRowid(column, &at));
        st.bind(1, rowid);
        if (!st.next())
            throw DbError(goneText());
        v = decodeCell(detail::rawColumn(st.get(), at), column);
    }
    if (wholes_.size() >= kWholesHeld)
        wholes_.erase(wholes_.begin());
    wholes_.push_back({rowid, column, v});
    return v;
}

void RowCache::keep(int pos, const char* row, size_t n) {
    wholes_.clear();
    Page& p = page(pos / kPageRows);
    std::memcpy(appendTo(p, pos % kPageRows, n), row, n);
}

void RowCache::append(int64_t rowid, const char* row, size_t n) {
    keys_.append(rowid);
    const int pos = count() - 1;
    if (const auto it = pages_.find(pos / kPageRows); it != pages_.end())
        it->second.at.push_back(kNotRead);  // the held page of the last rows grows by one
    keep(pos, row, n);
}

void RowCache::erase(int pos) {
    keys_.erase(pos);
    // The rows from `pos` on have moved: their pages are read again when asked for.
    for (auto it = pages_.begin(); it != pages_.end();)
        it = it->first >= pos / kPageRows ? pages_.erase(it) : std::next(it);
    wholes_.clear();
}

void RowCache::forget() {
    pages_.clear();
    wholes_.clear();
}

// ---- searching ------------------------------------------------------------------

int RowCache::find(const std::vector<std::pair<int, QString>>& keys, int from) {
    std::vector<int> columns;
    for (const auto& key : keys) {
        if (key.first < 0 || key.first >= static_cast<int>(source_.columns().size()))
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
    from = std::max(from, 0);
    // An index finds every row whose field could show as the key: those that
    // hold its very text, and those that hold bytes. Text that is no valid
    // UTF-8 shows with U+FFFD in it: a key with one is looked for row by row.
    for (const auto& [column, key] : keys) {
        if (source_.shape() == RecordSource::Shape::Table && (keys_.byParts() || keys_.ascending()) &&
            !key.contains(QChar::ReplacementCharacter) && QStringView(key).isValidUtf16() && textIndexed(column))
            return seek(column, key, columns, from, equal);
    }
    return scan(columns, from, equal);
}

namespace {

void readFields(sqlite3_stmt* st, const RecordSource& source, const std::vector<int>& columns,
                const std::vector<int>& at, std::vector<Value>& values) {
    for (size_t i = 0; i < columns.size(); ++i) {
        const int c = columns[i];
        const detail::RawCell raw = detail::rawColumn(st, at[i]);
        values[i] = source.untyped(c) ? detail::decodeUntyped(raw)
                                      : detail::decodeCell(raw, source.columns()[static_cast<size_t>(c)].kind);
    }
}

}  // namespace

int RowCache::seek(int column, const QString& key, const std::vector<int>& columns, int from, const Match& match) {
    // The table's rows holding the key, those of the refresh from `from` on
    // in rowid order (listed: in the source's order).
    const int64_t lowest = keys_.byParts() ? keys_.firstFrom(from) : std::numeric_limits<int64_t>::min();
    if (keys_.byParts() && (from >= keys_.refreshed() || lowest == RowKeys::kGone || lowest > keys_.ceiling()))
        return findAdded(columns, from, match);
    std::vector<std::pair<int, int64_t>> rows;  // position (-1: placed when one matches), rowid
    {
        Database::Lease st(*db_, source_.seekKeys(column));
        st.bind(1, Value(key));
        while (st.next()) {
            const int64_t id = sqlite3_column_int64(st.get(), 0);
            if (!keys_.byParts())
                rows.emplace_back(keys_.positionOf(id), id);
            else if (id >= lowest && id <= keys_.ceiling())
                rows.emplace_back(-1, id);
        }
    }
    std::sort(rows.begin(), rows.end());
    // Each read with the source's condition: a row of another source passes.
    std::vector<int> at;
    const int p = source_.paramCount();
    Database::Lease st(*db_, source_.fieldsByRowid(columns, false, at));
    keys_.bindParams(st);
    std::vector<Value> values(columns.size());
    for (auto& [pos, id] : rows) {
        if (!keys_.byParts() && pos < from)
            continue;
        st.bind(p + 1, id);
        const bool there = st.next();
        if (there)
            readFields(st.get(), source_, columns, at, values);
        sqlite3_reset(st.get());
        if (!there || !match(values))
            continue;
        if (pos < 0)
            pos = keys_.positionOf(id);
        if (pos >= from)
            return pos;
    }
    return keys_.byParts() ? findAdded(columns, from, match) : -1;
}

int RowCache::scan(const std::vector<int>& columns, int from, const Match& match) {
    std::vector<Value> values(columns.size());
    if (whole_) {
        for (int pos = from; pos < count(); ++pos) {
            const char* r = row(pos);
            for (size_t i = 0; i < columns.size(); ++i) values[i] = decode(r, pos, columns[i]);
            if (match(values))
                return pos;
        }
        return -1;
    }
    std::vector<int> at;
    if (!keys_.byParts()) {  // row after row by rowid, in the source's own order
        Database::Lease st(*db_, source_.fieldsByRowid(columns, false, at));
        keys_.bindParams(st);
        for (int pos = from; pos < count(); ++pos) {
            const int64_t id = keys_.at(pos);
            if (id == RowKeys::kGone)
                continue;
            st.bind(source_.paramCount() + 1, id);
            const bool there = st.next();
            if (there)
                readFields(st.get(), source_, columns, at, values);
            sqlite3_reset(st.get());
            if (there && match(values))
                return pos;
        }
        return -1;
    }
    // The refresh's rows in rowid order from `from` on, then those added here.
    const int64_t start = keys_.firstFrom(from);
    if (from < keys_.refreshed() && start != RowKeys::kGone && start <= keys_.ceiling()) {
        const int p = source_.paramCount();
        Database::Lease st(*db_, source_.fieldsByRowid(columns, true, at));
        keys_.bindParams(st);
        st.bind(p + 1, start);
        st.bind(p + 2, keys_.ceiling());
        while (st.next()) {
            readFields(st.get(), source_, columns, at, values);
            if (!match(values))
                continue;
            if (const int pos = keys_.positionOf(sqlite3_column_int64(st.get(), 0)); pos >= from)
                return pos;
        }
    }
    return findAdded(columns, from, match);
}

int RowCache::findAdded(const std::vector<int>& columns, int from, const Match& match) {
    std::vector<Value> values(columns.size());
    for (int pos = std::max(from, keys_.refreshed()); pos < count(); ++pos) {
        const char* r = row(pos);
        if (!r)
            continue;
        for (size_t i = 0; i < columns.size(); ++i) values[i] = decode(r, pos, columns[i]);
        if (match(values))
            return pos;
    }
    return -1;
}

bool RowCache::textIndexed(int column) {
    if (textIndexed_.size() != source_.columns().size())
        textIndexed_.assign(source_.columns().size(), -1);
    int8_t& known = textIndexed_[static_cast<size_t>(column)];
    if (known < 0) {
        const Column& c = source_.columns()[static_cast<size_t>(column)];
        // Text affinity: a number put into the field is kept as its text.
        static const QRegularExpression text(QStringLiteral("CHAR|CLOB|TEXT"),
                                             QRegularExpression::CaseInsensitiveOption);
        known = 0;
        if (c.kind == ColumnKind::Text && !source_.untyped(column)) {
            const auto rows = db_->query(
                QStringLiteral("select t.type, exists (select 1 from pragma_index_list(?1) l join "
                               "pragma_index_info(l.name) i where l.partial = 0 and i.seqno = 0 and i.name = t.name) "
                               "from pragma_table_info(?1) t where t.name = ?2"),
                {Value(source_.table()), Value(c.name)});
            if (!rows.empty()) {
                const QString type = rows[0][0].toText();
                known = rows[0][1].toInt() == 1 && text.match(type).hasMatch() &&
                        !type.contains(QLatin1String("INT"), Qt::CaseInsensitive);
            }
        }
    }
    return known == 1;
}

}  // namespace tv
