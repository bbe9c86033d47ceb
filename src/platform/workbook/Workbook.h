#pragma once
// Workbooks: a writer of new .xlsx files and a reader of .xlsx, .ods and
// legacy .xls files. Every failure of the libraries underneath becomes a
// WorkbookError with a text the windows show; a damaged or hostile file is
// refused, never a crash.

#include "platform/values/Value.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <utility>
#include <vector>

namespace tv::workbook {

class WorkbookError : public std::runtime_error {
public:
    explicit WorkbookError(const QString& text) : std::runtime_error(text.toStdString()), text_(text) {}
    const QString& text() const { return text_; }

private:
    QString text_;
};

// A new .xlsx workbook with one worksheet, filled row by row (rows and
// columns from 0, each row after the one before: a row is written out when
// the next one starts, so that memory stays the same whatever the size). The file is written as a
// whole file (platform/values/WholeFile.h) and put in its place by close():
// a failed save leaves no half-written file and an existing one untouched;
// a target marked read-only is refused.
class Writer {
public:
    explicit Writer(const QString& path);
    ~Writer();
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // A value by its kind: text as a text cell (never read as a number),
    // whole and floating numbers as numbers, money as a number shown "0.00",
    // dates as dates shown "yyyy-mm-dd"; Null and bytes leave no cell. A
    // text longer than a cell holds (32767 characters) is cut there.
    void write(int64_t row, int column, const Value& value);
    void text(int64_t row, int column, const QString& text);
    void number(int64_t row, int column, double number);
    void money(int64_t row, int column, double amount);
    void date(int64_t row, int column, const QDate& date);

    // Saves and closes; WorkbookError with the library's text when the
    // workbook cannot be written (the first cell that could not be written
    // is reported the same way).
    void close();
    // The texts cut to fit their cells so far.
    qint64 cutCells() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

// What the user is told for an error code of the writing library.
QString writerErrorText(int code);

// One worksheet as read: its rows that hold at least one value, in order.
// A row keeps its cells as (column, value) pairs by column, so a far-away
// cell costs no more than a near one.
struct Sheet {
    QString name;
    int columns = 0;  // 1 + the rightmost column holding a value
    // The cells of the file that hold something, a value or not (a formula
    // without a kept result, an error): a sheet that holds cells but gives
    // no row is not an empty sheet.
    qint64 held = 0;
    // The cells that hold an error value (#DIV/0!, #N/A ...) or what cannot
    // be read as their type says: they give no value, and an import counts
    // them among the cells it could not take.
    qint64 errors = 0;
    struct Row {
        std::vector<std::pair<int, Value>> cells;
        // A whole number's own digits as the file keeps them, where they say
        // more than the number does (an 18-digit ID number held as a number:
        // "440301199001011234", where the number is 440301199001011264), by
        // column; few or none.
        std::vector<std::pair<int, QString>> digits;
        Value at(int column) const;  // Null where the row has no value
        // The digits kept for the number at `column`; empty where none are.
        QString digitsAt(int column) const;
        // The cell at `column` as text: a number in the digits kept for it,
        // else its own, a whole one in plain digits (never "4.40301199001011E+17").
        QString textAt(int column) const;
    };
    std::vector<Row> rows;
};

enum class Format { Unknown, Xlsx, Ods, Xls };

// The kind of workbook by the file's first bytes; Unknown for anything else.
Format sniff(const QByteArray& head);

// Reads every worksheet of a workbook, the format chosen by the file's first
// bytes (not its name). Cells: text (shared or inline) as text, numbers as
// doubles, dates as dates (an .xlsx / .xls number by its date format, in the
// workbook's date system; an .ods cell by its own date type), booleans as
// 1 / 0, formulas as the result the workbook kept (none kept: empty); errors
// and empty text count as empty. A whole number written in plain digits
// that say more than the number keeps its digits beside it (Row::digits). Only a regular file is read, and it is never
// waited for: a FIFO, a device or a file past the size limit is refused at
// once. WorkbookError for a file that cannot be read. `waiting`, when given,
// is called about ten times a second while the reading process works and has
// nothing to hand over yet; an error it raises stops the reading and goes on
// to the caller. Every row of every sheet is held: for small workbooks.
std::vector<Sheet> read(const QString& path, const std::function<void()>& waiting = {});
// The names of the worksheets of a workbook, in order, as read() would give
// them, without reading their cells (for a large .ods, its cells are passed
// over all the same).
QStringList sheetNames(const QString& path, const std::function<void()>& waiting = {});

// Where the rows of one worksheet go as they are read.
struct RowSink {
    // The next rows, in order (the vector may be taken).
    std::function<void(std::vector<Sheet::Row>&)> rows;
    // The rows given so far are to be forgotten: they come again from the
    // first (a workbook that keeps its rows out of order). May be empty
    // only where nothing was kept of them.
    std::function<void()> restart;
    // Called as read() calls its `waiting`.
    std::function<void()> waiting;
};
// One worksheet of a workbook (by its place among the sheets, from 0), read
// as read() does, its rows handed to the sink in batches as the reading
// process sends them: the rows are never all held, here or there. Returns
// the sheet without its rows (its name, columns and counts). An error of
// the sink stops the reading and goes on to the caller.
Sheet readRows(const QString& path, int sheet, const RowSink& sink);
// The same from bytes in memory, every sheet held (the fuzz target's way in).
std::vector<Sheet> readBytes(const QByteArray& bytes);

// One worksheet read whole into an unnamed temporary file of its own (gone
// with this object), its rows read back a few at a time as they are wanted:
// a preview of a sheet of any size holds only the rows it shows.
class SheetFile {
public:
    // WorkbookError when the workbook cannot be read or the temporary file
    // not written. `advance`, when given, is told the rows read so far as
    // they come and while the reading process works; an error it raises
    // stops the reading and goes on to the caller.
    SheetFile(const QString& path, int sheet, const std::function<void(qint64 rows)>& advance = {});
    ~SheetFile();
    SheetFile(const SheetFile&) = delete;
    SheetFile& operator=(const SheetFile&) = delete;

    // The sheet's name, columns and counts; no rows.
    const Sheet& sheet() const;
    qint64 rowCount() const;
    // Row `r` (from 0); valid until the next call. WorkbookError when the
    // temporary file cannot be read back.
    const Sheet::Row& row(qint64 r);

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}  // namespace tv::workbook
