#pragma once
// A grid over a DataControl: the column list (field, caption, format), the
// common look (background RGB 192,255,192, blue text, record selectors, two-line
// headers), the current row synced both ways without loops. The click signal
// comes after the clicked row became current; double-click never edits.

#include "platform/forms/DataControl.h"

#include <QStringList>
#include <QTableView>

#include <functional>

namespace tv::forms {

struct GridColumn {
    QString field;
    QString caption;
    // "" (as the value's text), "Currency" (¥1,234.50: to the cent, half to
    // even), "CurrencyExact" (¥0.565: every decimal held, two at least),
    // "0.00", "yyyy-MM-dd"
    QString format;
};

// A value as a grid column shows it in `format`.
QString formatGridValue(const tv::Value& v, const QString& format);

// Editing in the grid (when allowed and the source is not read-only) goes a
// row at a time. What is typed into the cells of a row stays with the grid,
// shown in the cells and marked ✎ on the row's selector, while the user moves
// between them (Tab, Shift+Tab, the arrow keys, clicks within the row). The
// row is stored, each value in its own field, when it is left: Enter, another
// row made current (in the grid, or by the source's arrows or code), the
// focus going to another control of the window, or the grid being hidden.
// Esc drops it. A refused store (a value that does not convert, a file that
// cannot be written) is shown by the handler guard: nothing of the row is
// written, the grid stays on it and keeps what was typed. A row that another
// program changed or deleted since it was read is not written either: what
// was typed is dropped and the row shows as the file holds it now. The last line adds
// a row (setAllowAddNew). The grid never deletes: with setAllowDelete on, the
// Delete key on a stored row asks the window (deleteRequested).
//
// A cell shows at most kShownChars characters of a value; one cut there
// says so in its tooltip and takes no typing. A text typed or pasted longer
// than a cell holds (kBoxChars) is refused naming the column's caption.
//
// Ctrl+X, Ctrl+A and F2 are the grid's own, as in a text box, whatever the
// window's menus make of them: Ctrl+X cuts the current cell (its text to the
// clipboard, the cell typed empty), Ctrl+A selects as the grid does, F2
// edits the cell.
//
// Numbers stand at the right of their cells: the columns of a number field
// and those formatted "0.00", "Currency" or "CurrencyExact". A cell showing a number (those,
// and a text of digits: a date, an ID or phone number) is never elided: a
// column widens when a value painted in it does not fit. Text is elided.
class DataGrid : public QTableView {
    Q_OBJECT
public:
    explicit DataGrid(QWidget* parent = nullptr);
    ~DataGrid() override;

    void setDataSource(DataControl* source);
    DataControl* dataSource() const;
    // Empty list: every column of the source with its field name as caption.
    void setColumns(const std::vector<GridColumn>& columns);
    void setAllowAddNew(bool on);
    void setAllowUpdate(bool on);
    void setAllowDelete(bool on);
    // Called as a typed row is stored, once its typed values are set in the
    // pending row and before that row is written, in the same write: the
    // window sets there the fields that follow the typed ones (`typed`: the
    // fields typed). An error it raises refuses the store as a value that
    // does not convert does.
    using BeforeStore = std::function<void(tv::Recordset& row, const QStringList& typed)>;
    void setBeforeStore(BeforeStore hook);
    // Reads the rows again (also done on the source's rowsChanged).
    void reload();
    // Stores the typed row now, the open cell's text included, as leaving the
    // row would: for a window about to use the current row. True when it was
    // stored or nothing was typed; false when the store was refused: the
    // guard has told why, nothing was written and the row is still pending.
    bool commitPendingRow();

signals:
    // A click on a row, after that row became the source's current row.
    void rowClicked();
    void rowDoubleClicked();
    // The Delete key on a stored row (setAllowDelete on): the window asks
    // its question and deletes the source's current row, which is that row.
    void deleteRequested();

protected:
    // The grid's own keys come before the window's shortcuts.
    bool event(QEvent* e) override;
    // Enter stores the typed row, Esc drops it, Delete asks the window,
    // Ctrl+X cuts the cell.
    void keyPressEvent(QKeyEvent* e) override;
    void hideEvent(QHideEvent* e) override;
    // The cell editor's end: Enter stores the row, Esc drops it.
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    void followSource();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tv::forms
