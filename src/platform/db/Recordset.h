#pragma once
// A dynaset over a table or a query of one data file. A refresh learns the
// rows' identities (rowids, in the source's order) and their count; field
// values are read in pages of rows as they are asked for (grids painting,
// the current row moving), kept in a bounded cache, photos only when asked
// for. No statement stays open between calls. The current row moves with
// BOF/EOF, and rows are added, edited and deleted by rowid.

#include "platform/db/Database.h"
#include "platform/values/Value.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace tv {

// A write refused because its row is no longer the row that was read:
// another program changed or deleted it, or put another row under its rowid.
// Nothing was written; the recordset shows the row as the file now holds it.
class RowChangedError : public DbError {
public:
    using DbError::DbError;
};

class Recordset {
public:
    // `source`: a bare table name, or "select * from [t]" /
    // "select * from [t] where [f]=?" (and other simple selects) whose ?
    // are bound to `params`. Typed text never goes into the SQL text.
    Recordset(std::shared_ptr<Database> db, QString source, std::vector<Value> params = {});

    const std::shared_ptr<Database>& database() const { return db_; }
    const QString& source() const { return source_; }
    // The table rows are written to (the single table of the source).
    const QString& table() const { return table_; }
    const std::vector<Column>& columns() const { return columns_; }
    int columnIndex(const QString& name) const;  // -1 when unknown

    // Re-query; the first row becomes current (position 0), or BOF and EOF
    // when there is none. Fires Reposition. Raises DbError on a bad source.
    void refresh();
    void setParams(std::vector<Value> params) { params_ = std::move(params); }

    bool bof() const;
    bool eof() const;
    bool hasCurrent() const;  // a real row is current (not BOF/EOF/deleted)
    int recordCount() const;
    int absolutePosition() const;  // 0-based; -1 at BOF/EOF, on a deleted or pending new row

    // Raise DbError("无当前记录。") (no current record) where the old engine did:
    // MoveFirst/MoveLast on an empty set, MoveNext at EOF, MovePrevious at BOF.
    void moveFirst();
    void moveLast();
    void moveNext();            // from the last row -> EOF; from BOF -> the first row
    void movePrevious();        // from the first row -> BOF; from EOF -> the last row
    void moveTo(int position);  // 0-based; used by grids

    // Field of the current row (or of the pending row while adding/editing).
    // Raises DbError with no current row, except on a pending new row.
    Value field(const QString& name) const;
    Value field(int index) const;
    // The same for showing: a text of more than `most` characters comes
    // back cut there, `*cut` set (read no further than it needs).
    Value field(int index, qsizetype most, bool* cut) const;
    // Set a field of the pending row (AddNew/Edit); raises without one.
    void setField(const QString& name, const Value& v);
    void setField(int index, const Value& v);

    enum class EditState { None, Adding, Editing };
    EditState editState() const { return edit_; }

    void addNew();  // pending all-Null row; a second AddNew discards the first
    void edit();    // raises with no current row
    // Converts and validates each field against its declared type, then
    // INSERT or UPDATE by rowid. On error the row stays pending and DbError
    // carries a displayable text: a value the field cannot hold names the
    // field, text or bytes over the engine's length limit are refused as too
    // large, never cut. After an add the new row is appended at the
    // end of the rows and becomes current.
    void update();
    void cancelUpdate();
    // Raises with no current row. Afterwards there is no current row; EOF is
    // true iff the deleted row was the last one.
    void remove();
    // The Update of an edit and Delete write only while the row in the file
    // is still the row as it was read: its rowid and, in the same statement,
    // every field read (photos of a table aside, which are not held). Another
    // program may have changed or deleted it, or, deleting and adding rows,
    // put another tenant's row under its rowid. Then nothing is written,
    // the edit is left, and RowChangedError("该记录已被其他程序修改或删除，数据
    // 没有改变。") is raised after Reposition fired, the rows held being read
    // again as they are asked for: a row still there shows as it now is and
    // stays current; a row gone is dropped as a delete drops it (no current
    // row, EOF iff it was the last one). Rows the other program added show
    // at the next refresh.

    // Captions of fields by name (any case), used in the texts of errors
    // about a field ("数据类型转换错误：居住人数"); a field without one is
    // named by its column name ("数据类型转换错误：jzrs"). Kept across refresh.
    void setFieldCaptions(const QHash<QString, QString>& captions);

    // Called after every change of current row (refresh and moves included,
    // also onto BOF/EOF), synchronously; handlers may move other recordsets.
    using Handler = std::function<void()>;
    int onReposition(Handler h);
    void removeRepositionHandler(int id);

    // Row count and value access by index, for grids (no move). A row that
    // another program deleted since the refresh raises DbError("该记录已被其他
    // 程序删除。") when its values are read (a grid shows it empty).
    Value valueAt(int row, int column) const;
    // The same for showing, a text cut as field(index, most, cut) cuts it.
    Value valueAt(int row, int column, qsizetype most, bool* cut) const;

    // The first row at or after `from` whose fields (by index) all equal
    // their keys exactly, compared as text (a Null field equals nothing);
    // -1 when none does. Only the compared fields are read, from the file as
    // it is now: of the rows passed, or, where an index of the table serves
    // a text field, of the rows holding its key. A row deleted meanwhile
    // matches nothing. Nothing moves.
    int findRow(const std::vector<std::pair<int, QString>>& keys, int from = 0) const;

private:
    // Rows are held as their rowids; their values are read in pages of
    // kPageRows rows and kept in their stored form: one tag byte per cell,
    // then 8 bytes for a number or a length and the bytes of a text. Values
    // are made only when a field is read. Photos of a table are left out and
    // read by rowid when asked for. At most kHeldPages pages are held; the
    // page of the current row stays. A source that is no single table (a
    // verbatim query) has no rowids: its rows are all read at refresh.
    static constexpr int kPageRows = 64;
    static constexpr size_t kHeldPages = 64;
    // The stored rows of a page, one after another; never cleared to zero.
    struct Bytes {
        std::unique_ptr<char[]> data;
        size_t size = 0, capacity = 0;
        // `n` more bytes at the end (which may move the others).
        char* grow(size_t n);
    };
    struct Page {
        std::vector<int64_t> at;  // per row: offset in bytes, kNotRead or kGone; empty when not held
        Bytes bytes;
        uint64_t used = 0;
    };
    enum class Shape { Table, List, Verbatim };
    struct HandlerEntry {
        int id;
        Handler fn;
        bool alive = true;
    };
    // A prepared statement of this recordset's own, kept between calls. A copy
    // of the recordset prepares its own.
    struct OwnedStatement {
        sqlite3_stmt* st = nullptr;
        OwnedStatement() = default;
        OwnedStatement(const OwnedStatement&) {}
        OwnedStatement& operator=(const OwnedStatement&);
        ~OwnedStatement();
        void finalize();
    };
    // Set to false when the recordset goes away, so that a handler that
    // destroys it (by unloading its window) ends the notification cleanly.
    struct AliveToken {
        std::shared_ptr<bool> alive = std::make_shared<bool>(true);
        AliveToken() = default;
        AliveToken(const AliveToken&) : alive(std::make_shared<bool>(true)) {}
        AliveToken& operator=(const AliveToken&) { return *this; }
        ~AliveToken() { *alive = false; }
    };

    void parseSource();
    void resolveColumns();
    int base() const { return shape_ == Shape::Verbatim ? 0 : 1; }
    std::string selectSql(const std::vector<Column>& columns) const;
    std::string rowidSql() const;
    // The text of a read of `list` by rowid: a range ("between ?1 and ?2")
    // or one row ("= ?1").
    std::string byRowidSql(const QString& list, bool range) const;
    // What a whole row reads after its rowid: the fields of a table (a photo
    // as NULL, read when asked for), or the select list as written.
    QString columnList(const std::vector<Column>& columns) const;
    void fireReposition();
    void leaveEdit();
    void beginEdit(EditState state);
    [[noreturn]] void noCurrent() const;
    int rowCount() const { return static_cast<int>(lazy() ? rowids_.size() : count_); }
    bool lazy() const { return shape_ != Shape::Verbatim; }

    // ---- the row cache
    // The stored row at `row`, read with its page when not held; DbError
    // when another program deleted it.
    const char* rowAt(int row) const;
    // The same, but null for a row another program deleted.
    const char* heldRow(int row) const;
    // The page, held (another evicted to make room when it was not).
    Page& heldPage(int page) const;
    void readMissing(int page) const;
    // Runs `each(position, statement)` for every row among positions
    // [first, last) that the file still holds, read by rowid: through
    // `rangeSql` (byRowidSql's range) when the rowids are dense enough, else
    // through `rowSql`, one row at a time. The statement's column 0 is the
    // rowid, the list follows.
    void readRows(int first, int last, const std::string& rangeSql, const std::string& rowSql,
                  const std::function<void(int position, sqlite3_stmt* st)>& each) const;
    void packRow(sqlite3_stmt* st, Page& page, int slot) const;
    char* appendTo(Page& page, int slot, size_t n) const;
    void evictPages() const;
    // One page number for each kPageRows rows.
    void fitPages() const;
    void dropPagesFrom(int row);
    // The page of the current row is read (a failure is left to the field read).
    void readCurrent() const;
    const char* cellAt(const char* row, int column) const;
    Value decodeAt(const char* row, int64_t rowid, int column) const;
    Value fetchBlob(int64_t rowid, int column) const;
    // The whole of a text held cut, read by rowid (the last few kept).
    Value fetchWhole(int64_t rowid, int column) const;
    void readAll();
    // The first row at or after `from` whose values of `columns` satisfy
    // `match`, each row passed read for those fields only.
    int scanRows(const std::vector<int>& columns, int from,
                 const std::function<bool(const std::vector<Value>& values)>& match) const;
    // The same among the rows whose field `column` holds `key` as text or
    // holds bytes, found through an index.
    int seekRows(int column, const QString& key, const std::vector<int>& columns, int from,
                 const std::function<bool(const std::vector<Value>& values)>& match) const;
    // The select list that reads the fields `columns` (by index) after the
    // rowid, and the statement column of each in `at`: by name from a table,
    // the whole list of a select list.
    QString fieldList(const std::vector<int>& columns, std::vector<int>& at) const;
    // Those fields of the row `st` stands on into `values`.
    void readFields(sqlite3_stmt* st, const std::vector<int>& columns, const std::vector<int>& at,
                    std::vector<Value>& values) const;
    // An index of the table leads with `column`, a field of text (by its
    // declared type), so that a key compared with it finds its rows.
    bool textIndexed(int column) const;

    void requireUpdatable() const;
    void packPending(const char* kept);
    void bindPacked(sqlite3_stmt* st) const;
    void keepPacked(int row);
    void insertRow();
    void updateRow(const char* held);
    // The condition that the row in the file is still the row as read
    // (`held`): " where rowid = ? and ...".
    std::string sameRowSql(const char* held) const;
    // Binds it from `index` on.
    void bindHeld(sqlite3_stmt* st, int index, const char* held) const;
    void eraseRow(int row);
    // The current row is not the row read: read again, shown, refused.
    [[noreturn]] void refuseChanged();
    QString fieldCaption(size_t column) const;

    std::shared_ptr<Database> db_;
    QString source_;
    QString table_;
    std::vector<Value> params_;
    std::vector<Column> columns_;
    std::vector<bool> untyped_;  // expression columns of a select list
    QStringList origins_;        // the table's field each column shows ("" for an expression)
    // The fields an update or delete compares with the row as read, and per
    // field its part of the condition: " and "f" is ?", or for a text held
    // cut its first bytes and its length.
    std::vector<int> compared_;
    std::vector<std::string> sameField_, cutField_;
    QHash<QString, int> nameIndex_;
    QHash<QString, QString> captions_;  // by lower-case field name
    mutable int lastIndex_ = -1;
    Shape shape_ = Shape::Table;
    QString tableToken_;    // the table as written in the source
    QString selectList_;    // for Shape::List
    QString rest_;          // where / order by part of the source
    bool ordered_ = false;  // rest_ has an order by
    std::string insertSql_;
    OwnedStatement insert_;                  // insertSql_, prepared when the first new row is written
    std::string pageRangeSql_, pageRowSql_;  // whole rows by rowid
    std::vector<int64_t> rowids_;            // in the source's order
    bool ascending_ = true;                  // rowids_ ascend
    size_t count_ = 0;                       // rows of a verbatim query
    mutable std::vector<Page> pages_;        // by page number
    mutable std::vector<int> held_;          // numbers of the pages held
    mutable uint64_t clock_ = 0;
    struct Whole {
        int64_t rowid;
        int column;
        Value value;
    };
    static constexpr size_t kWholesHeld = 4;
    mutable std::vector<Whole> wholes_;  // whole texts read of cells held cut
    mutable std::vector<int8_t> textIndexed_;  // per column: -1 not known yet, 0, 1
    int pos_ = -1;                             // row index; -1 (BOF) .. rowCount() (EOF)
    bool deleted_ = false;                     // the current row was deleted; pos_ is the row after it
    EditState edit_ = EditState::None;
    // The row being added or edited (Null where not set), and which fields were set.
    std::vector<Value> pending_;
    std::vector<uint8_t> dirty_;
    // What Update writes: per column the pending value when it already has
    // the column's form, else its conversion (kept in converted_); null for a
    // column left as it is. packed_ holds the whole row in its stored form.
    std::vector<const Value*> toWrite_;
    std::vector<Value> converted_;
    std::vector<char> packed_;
    size_t packedSize_ = 0;
    std::vector<std::shared_ptr<HandlerEntry>> handlers_;
    int nextHandler_ = 1;
    AliveToken token_;
};

}  // namespace tv
