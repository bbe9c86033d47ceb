#pragma once
// The keys of a source's rows: the rowid at each position, and the number of
// rows, exact from the refresh on.
//
// The rows of a table in rowid order (RecordSource::byRowid) are counted at
// the refresh, with their lowest and highest rowids, so that an open costs
// the same whatever the size of the table. When the rowids between them are
// all there (a table only ever added to, or emptied and filled again) the
// rowid of each position follows from the lowest; else they are read a part
// at a time where a position is asked for, from the nearest rowids known.
// The rows of a source in an order of its own are all listed at the refresh.
//
// The rows are those of the refresh. A row another program adds meanwhile is
// not among them (its rowid is above those of the refresh), and a row it
// deletes keeps its place, read as gone (kGone where a part of a table with
// gaps in its rowids, read after the other program deleted rows from it,
// finds fewer rows than places: its places past the rows found). Rows added
// here follow the refresh's, in the order they were added.

#include "platform/db/RecordSource.h"

#include <cstdint>
#include <limits>
#include <vector>

namespace tv {

class RowKeys {
public:
    // The key of a place whose row was gone when it was read.
    static constexpr int64_t kGone = std::numeric_limits<int64_t>::min();

    RowKeys(Database& db, const RecordSource& source) : db_(db), source_(source) {}

    // Counts the rows anew (or lists them). DbError on a bad source or the
    // wrong number of parameters; the rows of the last refresh stay then.
    void refresh(const std::vector<Value>& params);
    // No rows (until the next refresh).
    void clear();
    int count() const { return refreshed_ + static_cast<int>(added_.size()); }
    // The rowid at `pos` (0 <= pos < count()), read with its part when not
    // known yet; kGone for a row gone.
    int64_t at(int pos);
    // The position of the row of `rowid`, one of the source's rows; -1 when
    // it is none of them (gone, or not among the rows of the refresh).
    int positionOf(int64_t rowid);
    // Where a row of `rowid` stands or would stand: the number of rows
    // before it, for rows in the order of their rowids; -1 for rows in an
    // order of their own.
    int rank(int64_t rowid);
    // The first rowid at or after `pos`, kGone past the last row.
    int64_t firstFrom(int pos);
    // A row deleted here, one added here.
    void erase(int pos);
    void append(int64_t rowid) { added_.push_back(rowid); }

    // The rowids are read a part at a time (else all are listed).
    bool byParts() const { return byParts_; }
    // The rowids of the refresh's rows ascend with their positions.
    bool ascending() const { return ascending_; }
    // The refresh's rows come before this position; those added here from it on.
    int refreshed() const { return refreshed_; }
    // The highest rowid of the refresh's rows (read a part at a time).
    int64_t ceiling() const { return ceiling_; }
    // Binds the source's parameters to the ? of its own statement.
    void bindParams(Database::Lease& st) const;

private:
    // The rowids of the places [start, start + size()): listed, or a run of
    // `length` rowids from `first` on.
    struct Part {
        int start = 0;
        std::vector<int64_t> ids;
        int64_t first = 0;
        int length = 0;
        bool pads = false;  // holds kGone among its rowids
        bool run() const { return ids.empty(); }
        int size() const { return run() ? length : static_cast<int>(ids.size()); }
        int end() const { return start + size(); }
        int64_t id(int i) const { return run() ? first + i : ids[static_cast<size_t>(i)]; }
        // Its first and last rowid that is no kGone (kGone when none is).
        int64_t lowest() const;
        int64_t highest() const;
        // The index of `rowid` in it, or -1.
        int indexOf(int64_t rowid) const;
    };
    // The index of the part holding `pos`, or parts_.size(); of the first
    // part starting after `pos`.
    size_t partAt(int pos) const;
    size_t partAfter(int pos) const;
    // Reads the rowids around `pos`, which no part holds.
    void read(int pos);
    // The rowids between `lo` and `hi` (exclusive), at most `n` after the
    // first `skip` of them, from the lowest or (`forward` false) the highest.
    std::vector<int64_t> between(int64_t lo, int64_t hi, bool forward, int64_t n, int64_t skip);
    // The number of rows between `lo` and `hi` (exclusive).
    int countBetween(int64_t lo, int64_t hi);
    // The places not known before part index `next`, [*g0, *g1), and the
    // rowids that bound them, (*lo, *hi).
    void gapBefore(size_t next, int* g0, int* g1, int64_t* lo, int64_t* hi) const;
    void insert(Part part);
    // Joins part i and the next when they meet and are alike.
    void mergeAfter(size_t i);

    Database& db_;
    const RecordSource& source_;
    std::vector<Value> params_;
    bool byParts_ = false;
    bool ascending_ = true;
    int refreshed_ = 0;
    int64_t ceiling_ = 0;
    std::vector<Part> parts_;     // by start, apart from one another
    std::vector<int64_t> added_;  // rows added here
};

}  // namespace tv
