#pragma once
// What a record source names: a bare table ("zfdj", "[zfdj]"), the rows of a
// table ("select * from [fzsdjs] where [jfrq]=?"), some of its fields
// ("select fjh, hj from qtfy"), or any other query, taken as it is written;
// how its rows are ordered; its columns in a data file; and the statements
// that read and write its rows. Typed text is never put into them: their ?
// are bound.
//
// A table's rows come in the order of their rowids unless the source orders
// them itself. The rows of a table, or of some of its fields, are read and
// written by rowid; those of any other query are read whole and not written.

#include "platform/db/Database.h"

#include <QString>
#include <QStringList>

#include <string>
#include <vector>

namespace tv {

class RecordSource {
public:
    enum class Shape {
        Table,     // every field of one table
        List,      // a select list over one table
        Verbatim,  // any other query: its rows read whole, not written
    };

    explicit RecordSource(QString text);

    const QString& text() const { return text_; }
    Shape shape() const { return shape_; }
    bool updatable() const { return shape_ != Shape::Verbatim; }
    // The table the rows are written to (the source's single table).
    const QString& table() const { return table_; }
    // The rows are those of a table in the order of their rowids, so that
    // their keys can be read a part at a time (see RowKeys).
    bool byRowid() const { return byRowid_; }
    // The source orders its rows itself ("order by").
    bool ordered() const { return ordered_; }

    // Reads the columns from the file (and checks the source: a bad query or
    // a missing table raises DbError). True when they differ from those read
    // before: the rows held are laid out by them.
    bool resolve(Database& db);
    const std::vector<Column>& columns() const { return columns_; }
    // A column of the select list that is an expression: it has no declared
    // type, and no field of the table behind it.
    bool untyped(int column) const { return untyped_[static_cast<size_t>(column)]; }
    // The table's field a column shows ("" for an expression).
    const QString& origin(int column) const { return origins_[column]; }
    // A photo of a table: not read with its row, only when asked for.
    bool later(int column) const { return later_[static_cast<size_t>(column)]; }
    const std::vector<bool>& later() const { return later_; }
    // The ? the source itself binds; the statements below number theirs after them.
    int paramCount() const { return paramCount_; }

    // ---- reading rows
    // The source's rows whole, as written (a verbatim query) or after their rowid.
    std::string allRows() const;
    // Whole rows after their rowid: those between rowids ?1 and ?2, or the one of ?1.
    std::string rowsByRowid(bool range) const;
    // One field of the row of rowid ?1, and the statement's column holding it.
    std::string fieldByRowid(int column, int* at) const;
    // The rowids of every row in the source's order (and its select list).
    std::string listKeys() const;
    // The lowest and highest rowid of the source's rows and their number, in one read.
    std::string countRows() const;
    // The rowids between ?a and ?b (exclusive) in order, or from the last back
    // (`forward` false): limit ?n, offset ?o, the four numbered after the source's.
    std::string keysBetween(bool forward) const;
    // The number of rows between rowids ?a and ?b (exclusive).
    std::string countBetween() const;
    // For a search: the fields `columns` after the rowid, of the row of
    // rowid ?a when it is one of the source's, or (`scan`) of every row of
    // the source from rowid ?a to ?b in order; `at` gets the statement column
    // of each field.
    std::string fieldsByRowid(const std::vector<int>& columns, bool scan, std::vector<int>& at) const;
    // The rowids of the table's rows whose field `column` may show as ?1
    // (holds it as text, or holds bytes), in any order.
    std::string seekKeys(int column) const;

    // ---- writing rows
    const std::string& insert() const;
    // An update of the fields `changed` of the row of rowid ? (bound after them).
    QString update(const std::vector<bool>& changed) const;
    QString remove() const;
    // A field's part of the condition that a row is still the row read:
    // " and "f" is ?", or for a text held cut its first bytes and its length
    // (" and substr(...) = ? and length(...) = ?"); "" for a field not compared.
    const std::string& sameField(int column, bool cut) const;

private:
    void parse();
    // What a whole row reads after its rowid: the fields of a table (a photo
    // as NULL, read when asked for), or the select list as written.
    QString rowList(const std::vector<Column>& columns) const;
    std::string allRows(const std::vector<Column>& columns) const;

    QString text_;
    Shape shape_ = Shape::Table;
    QString table_;
    QString tableToken_;  // the table as written
    QString selectList_;  // of a List
    QString rest_;        // its where or order by
    QString condition_;   // the where condition alone ("" for none)
    bool ordered_ = false;
    bool byRowid_ = false;
    std::vector<Column> columns_;
    std::vector<bool> untyped_, later_;
    QStringList origins_;
    std::vector<std::string> sameField_, cutField_;
    int paramCount_ = 0;
    mutable std::string insert_;  // made at the first insert
};

// A name as an identifier of the engine: "name", quotes doubled.
QString quotedName(const QString& name);

}  // namespace tv
