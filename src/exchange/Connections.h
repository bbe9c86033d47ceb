#pragma once
// What the exchange windows share: the data file and the workbook they have
// open, the counts they compare, and the small steps they have in common.

#include "platform/db/Database.h"
#include "platform/workbook/Workbook.h"
#include "shared/Windows.h"

#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

class QTableView;

namespace tv::dlg {
class Progress;
enum Style : int;
}  // namespace tv::dlg

namespace tv::exchange {

struct Connections {
    // The data file last picked by the export or the import's second step,
    // and the workbook last picked by the import's first step.
    QString AccessFilePath, ExcelFilePath;
    // The data file of AccessFilePath; open while a window uses it.
    std::shared_ptr<tv::Database> access;
    // The names of the sheets of the workbook of ExcelFilePath,
    // the sheet chosen in it (-1: none) and that sheet as read for its
    // preview (kept in a temporary file, its rows read back as shown).
    QStringList sheets;
    int sheet = -1;
    std::shared_ptr<tv::workbook::SheetFile> preview;
    int excelFieldCount = 0;   // columns of the chosen sheet
    int accessFieldCount = 0;  // fields of the chosen table
};
Connections& connections();

// The windows that work on the data file last picked (the export, the
// import's second step) hold it while they are loaded.
class HoldsDataFile : public tv::windows::DataFileHolder {
public:
    QString heldDataFile() const override;

protected:
    ~HoldsDataFile() = default;
};

// Opens the data file named by AccessFilePath (DbError when it cannot).
void OpenAccessConnection();
// Lists the sheets of the workbook named by ExcelFilePath (WorkbookError
// when it cannot be read), `progress` kept answering meanwhile (Cancelled
// when the user cancelled).
void OpenExcelConnection(tv::dlg::Progress* progress = nullptr);
// Chooses sheet `index` of the workbook and reads it for its preview,
// `progress` told the rows read (WorkbookError, Cancelled: none chosen).
void chooseSheet(int index, tv::dlg::Progress* progress = nullptr);
// The chosen sheet as read for its preview, null when none is chosen.
tv::workbook::SheetFile* chosenSheet();

// The tables of a data file by name, then its views by name, without the
// engine's own ("sqlite_") and the old engine's system tables ("MSys").
QStringList tableNames(tv::Database& db);
// A name as an SQL identifier: "[a]" stays as it is written, `a]b` -> "[a]]b]".
QString quoted(const QString& name);
// The names of a field list typed or ticked: "a, b,,c," -> a, b, c.
QStringList fieldList(const QString& text);

// The number of rows of a table.
qint64 rowCount(tv::Database& db, const QString& table);

// Writes `fields` of every row of `table`, in the table's order, into the
// first worksheet of a new workbook at `path`, each value as a cell of its
// kind (Writer::write); returns the rows written. DbError or WorkbookError
// when it cannot, Cancelled when the user cancelled in `progress` (told the
// rows written), and then `path` is as it was. `cut`, when given, is told
// the texts cut to fit their cells (Writer::cutCells).
qint64 exportTable(tv::Database& db, const QString& table, const QStringList& fields, const QString& path,
                   tv::dlg::Progress* progress = nullptr, qint64* cut = nullptr);

// What an import did.
struct ImportCounts {
    qint64 stored = 0;       // rows appended
    qint64 failedRows = 0;   // rows the data file refused
    qint64 failedCells = 0;  // cells a field could not take (the field kept its default)
    // Numbers stored into a text field whose last digits may not be exact
    // (more than 15 significant ones: an ID number held as a number).
    qint64 doubtfulDigits = 0;
};

// Appends the rows of `sheet` to `table` by column position, all in one
// transaction: each cell converted on its own by its field's declared type;
// a cell the field cannot take leaves the field out of that row (its default
// applies), an empty cell stores Null, a photo field takes nothing. The
// sheet's error values count among the cells not taken. A number into a
// text field is stored in the digits the workbook keeps for it, else in its
// own (a whole number in plain digits).
ImportCounts appendRows(tv::Database& db, const QString& table, const tv::workbook::Sheet& sheet);
// The same for sheet `sheet` of the workbook at `path` (its first `columns`
// columns), read anew: the rows are appended in batches as the reader hands
// them over, never all held at once (a workbook that turns out to keep its
// rows out of order has them appended again, in order, the first ones
// undone); `progress` is told the rows done and kept answering while the
// workbook is read. WorkbookError or DbError when
// it cannot be read or stored, Cancelled when the user cancelled, and then
// the table is as it was. An error of the engine other than a row refused
// for its values (a full disk, I/O ...) ends it at once, the table as it was.
ImportCounts importSheet(tv::Database& db, const QString& table, const QString& path, int sheet, int columns,
                         tv::dlg::Progress* progress = nullptr);

// Refuses, before any row is read, an import into a data file that cannot
// take it: a file marked read-only, a read-only disk or folder, a full disk.
// DbError with the reason.
void checkWritable(tv::Database& db);
// What the box says when an import stopped on `e` and stored nothing.
QString nothingImported(const tv::DbError& e);

// The columns of a grid as wide as their texts with room to spare, at least
// `least` and at most `most` pixels wide (a longer text whole in its tooltip).
void fitColumns(QTableView* grid, int least, int most);

// The message box of the exchange windows.
void notice(const QString& text, tv::dlg::Style style);

// The name of a file to make: the file dialog, where a new name may be typed.
QString pickNewFile(const QString& title, const QString& filter);

}  // namespace tv::exchange
