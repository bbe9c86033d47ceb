// The rowids of a source's rows, counted at the refresh and read a part at a time.

#include "platform/db/RowKeys.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace tv {

namespace {

// The rowids read at a time around a position asked for: as many as the
// rows of a page that the row cache reads (a key read visits the rows' own
// pages of the file, as the read of the rows will).
constexpr int kPart = 64;

}  // namespace

int64_t RowKeys::Part::lowest() const {
    if (run())
        return length ? first : kGone;
    const auto it = std::find_if(ids.begin(), ids.end(), [](int64_t id) { return id != kGone; });
    return it == ids.end() ? kGone : *it;
}

int64_t RowKeys::Part::highest() const {
    if (run())
        return length ? first + length - 1 : kGone;
    const auto it = std::find_if(ids.rbegin(), ids.rend(), [](int64_t id) { return id != kGone; });
    return it == ids.rend() ? kGone : *it;
}

int RowKeys::Part::indexOf(int64_t rowid) const {
    if (run())
        return rowid >= first && rowid - first < length ? static_cast<int>(rowid - first) : -1;
    const auto it = pads ? std::find(ids.begin(), ids.end(), rowid) : std::lower_bound(ids.begin(), ids.end(), rowid);
    return it != ids.end() && *it == rowid ? static_cast<int>(it - ids.begin()) : -1;
}

void RowKeys::bindParams(Database::Lease& st) const {
    for (size_t i = 0; i < params_.size(); ++i) st.bind(static_cast<int>(i) + 1, params_[i]);
}

void RowKeys::clear() {
    parts_.clear();
    added_.clear();
    refreshed_ = 0;
    ceiling_ = 0;
}

void RowKeys::refresh(const std::vector<Value>& params) {
    if (static_cast<int>(params.size()) != source_.paramCount())
        throw DbError(
            QStringLiteral("参数个数不符：需要 %1 个，给出 %2 个。").arg(source_.paramCount()).arg(params.size()));
    std::vector<Value> before = std::exchange(params_, params);
    try {
        if (source_.byRowid()) {
            // The lowest and highest rowid and the count, in one read: of the same rows.
            int64_t lowest = 0, highest = 0, count = 0;
            {
                Database::Lease st(db_, source_.countRows());
                bindParams(st);
                if (st.next()) {
                    lowest = sqlite3_column_int64(st.get(), 0);
                    highest = sqlite3_column_int64(st.get(), 1);
                    count = sqlite3_column_int64(st.get(), 2);
                }
            }
            clear();
            byParts_ = true;
            ascending_ = true;
            ceiling_ = highest;
            refreshed_ = static_cast<int>(count);
            if (count > 0 &&
                static_cast<uint64_t>(highest) - static_cast<uint64_t>(lowest) + 1 == static_cast<uint64_t>(count))
                parts_.push_back({0, {}, lowest, refreshed_, false});  // every rowid between them
            return;
        }
        std::vector<int64_t> ids;
        {
            Database::Lease st(db_, source_.listKeys());
            bindParams(st);
            while (st.next()) ids.push_back(sqlite3_column_int64(st.get(), 0));
        }
        clear();
        byParts_ = false;
        ascending_ = std::is_sorted(ids.begin(), ids.end());
        if (!ascending_ && !source_.ordered()) {  // no order of its own: the rowids'
            std::sort(ids.begin(), ids.end());
            ascending_ = true;
        }
        refreshed_ = static_cast<int>(ids.size());
        if (!ids.empty())
            parts_.push_back({0, std::move(ids)});
    } catch (...) {
        params_ = std::move(before);  // the rows of the last refresh stay
        throw;
    }
}

size_t RowKeys::partAfter(int pos) const {
    return static_cast<size_t>(
        std::upper_bound(parts_.begin(), parts_.end(), pos, [](int p, const Part& part) { return p < part.start; }) -
        parts_.begin());
}

size_t RowKeys::partAt(int pos) const {
    const size_t next = partAfter(pos);
    return next > 0 && pos < parts_[next - 1].end() ? next - 1 : parts_.size();
}

int64_t RowKeys::at(int pos) {
    if (pos >= refreshed_)
        return added_[static_cast<size_t>(pos - refreshed_)];
    size_t i = partAt(pos);
    if (i == parts_.size()) {
        read(pos);
        i = partAt(pos);
    }
    return parts_[i].id(pos - parts_[i].start);
}

int64_t RowKeys::firstFrom(int pos) {
    for (int p = std::max(pos, 0); p < count(); ++p) {
        if (const int64_t id = at(p); id != kGone)
            return id;
    }
    return kGone;
}

void RowKeys::gapBefore(size_t next, int* g0, int* g1, int64_t* lo, int64_t* hi) const {
    *g0 = next > 0 ? parts_[next - 1].end() : 0;
    *g1 = next < parts_.size() ? parts_[next].start : refreshed_;
    *lo = kGone;  // below every rowid
    for (size_t j = next; j-- > 0 && *lo == kGone;) *lo = parts_[j].highest();
    *hi = ceiling_ < std::numeric_limits<int64_t>::max() ? ceiling_ + 1 : ceiling_;
    for (size_t j = next; j < parts_.size(); ++j) {
        if (const int64_t id = parts_[j].lowest(); id != kGone) {
            *hi = id;
            break;
        }
    }
}

void RowKeys::read(int pos) {
    int g0 = 0, g1 = 0;
    int64_t lo = 0, hi = 0;
    gapBefore(partAfter(pos), &g0, &g1, &lo, &hi);
    // The part of kPart places around `pos`, read from the nearer end of the gap.
    const int first = pos / kPart * kPart;
    const int p0 = std::max(first, g0), p1 = std::min(first + kPart, g1);
    const bool forward = p0 - g0 <= g1 - p1;
    std::vector<int64_t> ids = between(lo, hi, forward, p1 - p0, forward ? p0 - g0 : g1 - p1);
    if (static_cast<int>(ids.size()) == p1 - p0) {
        insert({p0, std::move(ids)});
        return;
    }
    // Fewer rows than places: another program deleted some meanwhile. The
    // rows of the whole gap take its places from the first; the rest are gone.
    ids = between(lo, hi, true, g1 - g0, 0);
    ids.resize(static_cast<size_t>(g1 - g0), kGone);
    insert({g0, std::move(ids), 0, 0, true});
}

std::vector<int64_t> RowKeys::between(int64_t lo, int64_t hi, bool forward, int64_t n, int64_t skip) {
    std::vector<int64_t> ids;
    ids.reserve(static_cast<size_t>(n));
    const int p = source_.paramCount();
    Database::Lease st(db_, source_.keysBetween(forward));
    bindParams(st);
    st.bind(p + 1, lo);
    st.bind(p + 2, hi);
    st.bind(p + 3, n);
    st.bind(p + 4, skip);
    while (st.next()) ids.push_back(sqlite3_column_int64(st.get(), 0));
    if (!forward)
        std::reverse(ids.begin(), ids.end());
    return ids;
}

int RowKeys::countBetween(int64_t lo, int64_t hi) {
    const int p = source_.paramCount();
    Database::Lease st(db_, source_.countBetween());
    bindParams(st);
    st.bind(p + 1, lo);
    st.bind(p + 2, hi);
    return st.next() ? static_cast<int>(sqlite3_column_int64(st.get(), 0)) : 0;
}

int RowKeys::positionOf(int64_t rowid) {
    for (size_t i = 0; i < added_.size(); ++i) {
        if (added_[i] == rowid)
            return refreshed_ + static_cast<int>(i);
    }
    if (rowid == kGone)
        return -1;
    if (!byParts_) {
        if (parts_.empty())
            return -1;
        const std::vector<int64_t>& ids = parts_.front().ids;
        const auto it =
            ascending_ ? std::lower_bound(ids.begin(), ids.end(), rowid) : std::find(ids.begin(), ids.end(), rowid);
        return it != ids.end() && *it == rowid ? static_cast<int>(it - ids.begin()) : -1;
    }
    if (rowid > ceiling_)
        return -1;
    // The part that holds it, or the gap before the first part beyond it.
    size_t next = 0;
    for (; next < parts_.size(); ++next) {
        const Part& part = parts_[next];
        const int64_t highest = part.highest();
        if (highest == kGone || rowid > highest)
            continue;
        if (rowid < part.lowest())
            break;
        const int i = part.indexOf(rowid);
        return i < 0 ? -1 : part.start + i;
    }
    int g0 = 0, g1 = 0;
    int64_t lo = 0, hi = 0;
    gapBefore(next, &g0, &g1, &lo, &hi);
    // One of the source's rows (counted alone), placed by counting from the
    // nearer known row; known from now on.
    if (g0 == g1 || rowid == std::numeric_limits<int64_t>::max() || countBetween(rowid - 1, rowid + 1) != 1)
        return -1;
    const bool forward = static_cast<uint64_t>(rowid) - static_cast<uint64_t>(lo) <=
                         static_cast<uint64_t>(hi) - static_cast<uint64_t>(rowid);
    const int pos = std::clamp(forward ? g0 + countBetween(lo, rowid) : g1 - 1 - countBetween(rowid, hi), g0, g1 - 1);
    insert({pos, {rowid}});
    return pos;
}

int RowKeys::rank(int64_t rowid) {
    if (!ascending_)
        return -1;
    int before = 0;
    if (byParts_) {
        before = countBetween(kGone, rowid);
    } else if (!parts_.empty()) {
        const std::vector<int64_t>& ids = parts_.front().ids;
        before = static_cast<int>(std::lower_bound(ids.begin(), ids.end(), rowid) - ids.begin());
    }
    // Rows added here come after those of the refresh.
    return std::min(before, refreshed_);
}

void RowKeys::insert(Part part) {
    const auto it = parts_.insert(parts_.begin() + static_cast<ptrdiff_t>(partAfter(part.start)), std::move(part));
    const size_t i = static_cast<size_t>(it - parts_.begin());
    mergeAfter(i);
    if (i > 0)
        mergeAfter(i - 1);
}

void RowKeys::mergeAfter(size_t i) {
    if (i + 1 >= parts_.size() || parts_[i].end() != parts_[i + 1].start)
        return;
    Part& a = parts_[i];
    Part& b = parts_[i + 1];
    if (a.run() != b.run() || (a.run() && a.first + a.length != b.first))
        return;  // a run goes on only as a run
    if (a.run()) {
        a.length += b.length;
    } else {
        a.ids.insert(a.ids.end(), b.ids.begin(), b.ids.end());
        a.pads = a.pads || b.pads;
    }
    parts_.erase(parts_.begin() + static_cast<ptrdiff_t>(i) + 1);
}

void RowKeys::erase(int pos) {
    if (pos >= refreshed_) {
        added_.erase(added_.begin() + (pos - refreshed_));
        return;
    }
    size_t i = partAt(pos);
    if (i == parts_.size()) {
        read(pos);
        i = partAt(pos);
    }
    Part& p = parts_[i];
    const int k = pos - p.start;
    if (p.run() && k > 0 && k + 1 < p.length) {  // a run in two
        Part after{pos + 1, {}, p.first + k + 1, p.length - k - 1, false};
        p.length = k;
        parts_.insert(parts_.begin() + static_cast<ptrdiff_t>(i) + 1, after);
    } else if (p.run()) {  // its first or last rowid
        p.length -= 1;
        if (k == 0)
            ++p.first;
    } else {
        p.ids.erase(p.ids.begin() + k);
    }
    for (size_t j = i + 1; j < parts_.size(); ++j) --parts_[j].start;
    --refreshed_;
    if (parts_[i].size() == 0) {
        parts_.erase(parts_.begin() + static_cast<ptrdiff_t>(i));
        if (i > 0)
            mergeAfter(i - 1);
    } else {
        mergeAfter(i);
        if (i > 0)
            mergeAfter(i - 1);
    }
}

}  // namespace tv
