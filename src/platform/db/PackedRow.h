#pragma once
// The stored form of a row, as the row cache holds it and an edit writes it:
// its cells one after another, each a tag byte, then 8 bytes for a number, or
// a length and the bytes of a text or of bytes. A Value is made only when a
// field is read. Internal to the data engine.
//
// A text or bytes cell keeps its length in 32 bits: nothing longer than the
// engine's length limit (below 2^31) gets in, neither from the engine nor
// through an edit, which refuses it first. A photo of a table is only marked
// (read by rowid when asked for), and a text read longer than kCutBytes is
// held cut: its first bytes, up to a whole character, and the length and the
// digest of the whole (which is read again when asked for), by which the row
// is compared with the file before a write.

#include "platform/db/Storage.h"

#include <cstdint>
#include <vector>

namespace tv::packed {

enum Tag : char { kNull = 0, kInt = 1, kReal = 2, kText = 3, kBytes = 4, kLater = 5, kCut = 6 };

inline constexpr qsizetype kCutBytes = 16 * 1024;

// The size of the cell at `p`, and the cell `column` of a row.
size_t cellSize(const char* p);
const char* cellAt(const char* row, int column);
// A cell as the engine would hand it out; a cut text gives the bytes kept.
detail::RawCell readCell(const char* p);
// The length in bytes of the whole of a cut text, and its digest
// (detail::kDigestBytes).
uint32_t wholeBytes(const char* p);
const char* digestOf(const char* p);

// The row a statement stands on, its columns from `first` on: measured by
// read(), then written where the caller makes room for it.
class RowReader {
public:
    // `later` per column: a photo, only marked. `cut`: long texts are held cut.
    size_t read(sqlite3_stmt* st, int first, const std::vector<bool>& later, bool cut);
    char* write(char* to) const;

private:
    std::vector<detail::RawCell> cells_;
    std::vector<qsizetype> kept_;  // per cell: the bytes kept of a text held cut, else -1
    std::vector<char> digests_;    // per cell: the digest of a text held cut
    const std::vector<bool>* later_ = nullptr;
};

// A row being made for a write, in a buffer kept between rows.
class RowWriter {
public:
    void clear() { used_ = 0; }
    // The stored form of a value converted for its column; a photo of a table
    // only marked (`later`). Text or bytes longer than `limit` (the engine's)
    // are refused with the engine's words.
    void append(const Value& v, bool later, qsizetype limit);
    // A cell as it is held.
    void appendCell(const char* cell);
    const char* data() const { return buf_.data(); }
    size_t size() const { return used_; }

private:
    char* room(size_t n);
    std::vector<char> buf_;
    size_t used_ = 0;
};

// Binds a cell as it is (its bytes must outlive the step); a photo only
// marked is bound from its value `v`.
int bindCell(sqlite3_stmt* st, int index, const char* p, const Value& v);

}  // namespace tv::packed
