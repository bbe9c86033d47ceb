#pragma once
// A dynaset over a table or a query of one data file: the cursor on its rows,
// with BOF/EOF, the edits of a row and the Reposition notification. What the
// source names and how its rows are ordered is its RecordSource; the rows are
// read, as they are asked for, by its RowCache (grids painting, the current
// row moving). Rows are added, edited and deleted by rowid.

#include "platform/db/RowCache.h"

#include <QHash>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace tv {

// A write refused because its row is no longer the row that was read:
// another program changed or deleted it, or put another row under its rowid.
// Nothing was written; the recordset shows the row as the file now holds it
// (the row after it when it is gone), and no edit is pending.
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

    ~Recordset();
    const std::shared_ptr<Database>& database() const { return db_; }
    const QString& source() const { return source_.text(); }
    // The table rows are written to (the single table of the source).
    const QString& table() const { return source_.table(); }
    const std::vector<Column>& columns() const { return source_.columns(); }
    int columnIndex(const QString& name) const;  // -1 when unknown

    // Re-query: the rows counted (see RowKeys), the first row current
    // (position 0), or BOF and EOF when there is none. Fires Reposition.
    // Raises DbError on a bad source, the rows read before staying.
    void refresh();
    void setParams(std::vector<Value> params) { params_ = std::move(params); }

    // Rows another program deleted or added since the rows were counted:
    // when it wrote to the data file, the rows are counted anew as a refresh
    // counts them, and the current row stays current where it still is; a
    // current row gone leaves no row current, the next move going on from
    // its place. Nothing fires. True when the rows were counted anew; then
    // `place`, when given (a place among the rows as they were), names the
    // place of its row now (or of the row after it, where it is gone). A
    // question to the engine when nothing changed; no part of the moves of
    // the recordset itself, so that a walk over the rows stays fast.
    bool followFile(int* place = nullptr);

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
    // stays current; a row gone is dropped and the row after it becomes
    // current (the new last row when it was the last, none when no row is
    // left). Rows the other program added show at the next refresh, or when
    // the rows are counted anew (followFile()).

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

    Recordset(const Recordset&) = delete;
    Recordset& operator=(const Recordset&) = delete;

private:
    struct HandlerEntry {
        int id;
        Handler fn;
        bool alive = true;
    };

    void fireReposition();
    void leaveEdit();
    void beginEdit(EditState state);
    [[noreturn]] void noCurrent() const;
    void requireUpdatable() const;
    int checkedColumn(int index) const;
    // The cursor is on a row of the source (it may be gone).
    bool onRow() const { return pos_ >= 0 && pos_ < recordCount(); }
    // Moves to `pos` (a row, or -1 / the count for BOF / EOF) and tells.
    void moveToRow(int pos);

    // Converts the fields to be written (all of a new row, the changed ones
    // of an edited row) and packs the row, with the other cells of the row
    // as read (`kept`). A value that cannot be held raises here, before
    // anything is written.
    void packPending(const char* kept);
    // Binds the fields written to ?1, ?2, ... in column order.
    void bindWritten(sqlite3_stmt* st) const;
    void insertRow();
    void updateRow(const char* held);
    // The condition that the row in the file is still the row as read
    // (`held`), " where rowid = ? and ...", and its binding from `index` on.
    std::string sameRowSql(const char* held) const;
    void bindHeld(sqlite3_stmt* st, int index, const char* held) const;
    // The current row is not the row read: read again, shown, refused.
    [[noreturn]] void refuseChanged();
    QString fieldCaption(size_t column) const;
    // The engine's count of the data file's changes by other programs.
    int64_t fileVersion() const;
    // Where the row of `rowid`, at `place` among the rows as they were
    // (`before`, where they were all listed), stands among the rows counted
    // anew; *gone set where it is no longer there (the place of the row
    // after it then).
    int placeNow(int64_t rowid, int place, RowKeys* before, bool* gone);

    std::shared_ptr<Database> db_;
    RecordSource source_;
    std::vector<Value> params_;
    mutable RowCache cache_;  // the rows as read: reading them changes what is held, not what they are
    QHash<QString, int> nameIndex_;
    mutable int lastIndex_ = -1;
    QHash<QString, QString> captions_;  // by lower-case field name
    int pos_ = -1;                      // row index; -1 (BOF) .. recordCount() (EOF)
    bool deleted_ = false;              // the current row was deleted; pos_ is the row after it
    int64_t version_ = -1;              // fileVersion() when the rows were counted
    EditState edit_ = EditState::None;
    // The row being added or edited (Null where not set), and which fields were set.
    std::vector<Value> pending_;
    std::vector<uint8_t> dirty_;
    // What Update writes: per column the pending value when it already has
    // the column's form, else its conversion (kept in converted_); null for a
    // column left as it is. packed_ holds the whole row in its stored form.
    std::vector<const Value*> toWrite_;
    std::vector<Value> converted_;
    packed::RowWriter packed_;
    std::vector<std::shared_ptr<HandlerEntry>> handlers_;
    int nextHandler_ = 1;
    // Set to false when the recordset goes away, so that a handler that
    // destroys it (by unloading its window) ends the notification cleanly.
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace tv
