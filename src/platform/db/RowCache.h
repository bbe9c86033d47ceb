#pragma once
// The rows of a source as they are read: by position, in pages of kPageRows
// rows read by rowid when a row of them is asked for, at most kHeldPages held
// (the page of the current row stays), each row in its stored form
// (PackedRow.h). No statement stays open between calls. A photo of a table is
// read when its field is; a text held cut is read whole when asked for. The
// rows of a verbatim query, which have no rowids, are all read at the refresh.
//
// It also finds rows (the search of the windows' search buttons): by an index
// of the table where one serves a text key, else row after row, reading only
// the fields compared.

#include "platform/db/PackedRow.h"
#include "platform/db/RowKeys.h"

#include <memory>
#include <unordered_map>
#include <utility>

namespace tv {

class RowCache {
public:
    RowCache(std::shared_ptr<Database> db, const RecordSource& source);

    // The rows anew: no row held; the keys counted or listed (a verbatim
    // query read whole). DbError on a bad source.
    void refresh(const std::vector<Value>& params);
    int count() const { return whole_ ? wholeCount_ : keys_.count(); }
    RowKeys& keys() { return keys_; }
    int64_t rowid(int pos) { return keys_.at(pos); }

    // The row at `pos`, read with its page when not held; null when another
    // program deleted it.
    const char* row(int pos);
    // A field of the row at `pos`; DbError("该记录已被其他程序删除。") for a row gone.
    Value value(int pos, int column);
    // The same for showing: a text of more than `most` characters cut there
    // (`*cut` set), decoding no more of it than shows.
    Value shown(int pos, int column, qsizetype most, bool* cut);
    // A field of a row held (`row`, at `pos`), whole.
    Value decode(const char* row, int pos, int column);
    // The page of `pos` is not given up for another (-1: none).
    void pin(int pos) { pinned_ = pos < 0 ? -1 : pos / kPageRows; }

    // What the cursor's writes leave: the row at `pos` as written, a row
    // added after the others, a row deleted (the rows after it are read
    // again when asked for), every row read again when asked for.
    void keep(int pos, const char* row, size_t n);
    void append(int64_t rowid, const char* row, size_t n);
    void erase(int pos);
    void forget();

    // The first row at or after `from` whose fields (by index) all equal
    // their keys, compared as text (a Null field equals nothing); -1 when
    // none does. Only the compared fields are read, from the file as it is
    // now. A row deleted meanwhile matches nothing.
    int find(const std::vector<std::pair<int, QString>>& keys, int from);

private:
    static constexpr int kPageRows = 64;
    static constexpr size_t kHeldPages = 64;
    static constexpr size_t kWholesHeld = 4;
    // The stored rows of a page, one after another; never cleared to zero.
    struct Bytes {
        std::unique_ptr<char[]> data;
        size_t size = 0, capacity = 0;
        // `n` more bytes at the end (which may move the others).
        char* grow(size_t n);
    };
    struct Page {
        std::vector<int64_t> at;  // per row: its offset in bytes, kNotRead or kGone
        Bytes bytes;
        uint64_t used = 0;
    };
    struct Whole {
        int64_t rowid;
        int column;
        Value value;
    };
    using Match = std::function<bool(const std::vector<Value>& values)>;

    // The page, held (the least used other given up to make room when it was not).
    Page& page(int number);
    char* appendTo(Page& page, int slot, size_t n);
    void readMissing(int number);
    void readAll(const std::vector<Value>& params);
    Value fetchField(int64_t rowid, int column);
    Value fetchWhole(int64_t rowid, int column);
    Value decodeCell(const detail::RawCell& raw, int column) const;
    int seek(int column, const QString& key, const std::vector<int>& columns, int from, const Match& match);
    int scan(const std::vector<int>& columns, int from, const Match& match);
    // The rows added here from `from` on, as held.
    int findAdded(const std::vector<int>& columns, int from, const Match& match);
    // An index of the table leads with the text field `column`.
    bool textIndexed(int column);

    std::shared_ptr<Database> db_;
    const RecordSource& source_;
    RowKeys keys_;
    bool whole_ = false;  // a verbatim query: every row read
    int wholeCount_ = 0;
    std::unordered_map<int, Page> pages_;  // by number, those held
    int pinned_ = -1;
    uint64_t clock_ = 0;
    std::vector<Whole> wholes_;        // whole texts read of cells held cut
    std::vector<int8_t> textIndexed_;  // per column: -1 not known yet, 0, 1
    packed::RowReader reader_;
};

}  // namespace tv
