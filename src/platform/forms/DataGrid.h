#pragma once
// A grid over a DataControl: the column list (field, caption, format), the
// common look (background RGB 192,255,192, blue text, record selectors, two-line
// headers), the current row synced both ways without loops. The click signal
// comes after the clicked row became current; double-click never edits.

#include "platform/forms/DataControl.h"

#include <QTableView>

namespace tv::forms {

struct GridColumn {
    QString field;
    QString caption;
    QString format;  // "" (as the value's text), "Currency" (¥1,234.50), "0.00", "yyyy-MM-dd"
};

// A value as a grid column shows it in `format`.
QString formatGridValue(const tv::Value& v, const QString& format);

// Editing in the grid (when allowed and the source is not read-only): typing
// in a cell edits the row and stores it at once; the last line adds a row
// (setAllowAddNew); Delete removes the current row (setAllowDelete). Errors
// are shown by the handler guard and the row is left unchanged.
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
    // Reads the rows again (also done on the source's rowsChanged).
    void reload();

signals:
    // A click on a row, after that row became the source's current row.
    void rowClicked();
    void rowDoubleClicked();

protected:
    // Delete removes the current row when deleting is allowed.
    void keyPressEvent(QKeyEvent* e) override;

private:
    void followSource();
    struct Impl;
    std::unique_ptr<Impl> d;
};

}  // namespace tv::forms
