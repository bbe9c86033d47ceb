// A grid over a data source.
#include "platform/forms/DataGrid.h"

#include "platform/forms/Guard.h"

#include <QAbstractTableModel>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLocale>

namespace tv::forms {

QString formatGridValue(const tv::Value& v, const QString& format) {
    if (v.isNull())
        return QString();
    if (format.isEmpty())
        return v.toText();
    if (format == QLatin1String("Currency")) {
        if (!v.isNumber())
            return v.toText();
        const tv::Money m = v.kind() == tv::Value::Kind::Money ? v.toMoney() : tv::toMoney(v.toDouble());
        QString digits = tv::format00(m);  // half away from zero at two decimals
        const bool negative = digits.startsWith(QLatin1Char('-'));
        if (negative)
            digits.remove(0, 1);
        const qsizetype point = digits.indexOf(QLatin1Char('.'));
        QString whole = digits.left(point);
        for (qsizetype i = whole.size() - 3; i > 0; i -= 3) whole.insert(i, QLatin1Char(','));
        return QStringLiteral("¥") + (negative ? QStringLiteral("-") : QString()) + whole + digits.mid(point);
    }
    if (format == QLatin1String("0.00")) {
        if (!v.isNumber())
            return v.toText();
        return v.kind() == tv::Value::Kind::Money ? tv::format00(v.toMoney()) : tv::format00(v.toDouble());
    }
    if (v.kind() == tv::Value::Kind::Date)
        return v.toDate().toString(format);
    if (v.kind() == tv::Value::Kind::Text) {
        if (auto d = tv::parseDate(v.toText()))
            return d->toString(format);
    }
    return v.toText();
}

namespace {

class GridModel : public QAbstractTableModel {
public:
    DataControl* source = nullptr;
    std::vector<GridColumn> wanted;   // as set by the window
    std::vector<GridColumn> columns;  // resolved on the open recordset
    std::vector<int> fieldIndex;      // column index in the recordset, -1 unknown
    int rows = 0;
    int current = -1;
    bool allowAddNew = false, allowUpdate = false, allowDelete = false;

    tv::Recordset* rs() const { return source && source->isOpen() ? &source->recordset() : nullptr; }
    bool writable() const { return source && !source->readOnly(); }
    bool hasNewLine() const { return allowAddNew && writable() && rs(); }

    void reload() {
        beginResetModel();
        columns.clear();
        fieldIndex.clear();
        rows = 0;
        if (tv::Recordset* r = rs()) {
            if (wanted.empty()) {
                for (const auto& c : r->columns()) columns.push_back(GridColumn{c.name, c.name, QString()});
            } else {
                columns = wanted;
            }
            for (const auto& c : columns) fieldIndex.push_back(r->columnIndex(c.field));
            rows = r->recordCount();
        }
        endResetModel();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows + (hasNewLine() ? 1 : 0);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }

    QVariant data(const QModelIndex& i, int role) const override {
        if (role != Qt::DisplayRole && role != Qt::EditRole)
            return {};
        tv::Recordset* r = rs();
        if (!r || i.row() >= rows || i.row() >= r->recordCount())
            return {};
        const int c = fieldIndex[static_cast<size_t>(i.column())];
        if (c < 0)
            return {};
        try {
            const tv::Value v = r->valueAt(i.row(), c);
            return role == Qt::EditRole ? v.toText()
                                        : formatGridValue(v, columns[static_cast<size_t>(i.column())].format);
        } catch (const tv::DbError&) {
            return {};
        }
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (o == Qt::Horizontal) {
            if (section < 0 || section >= static_cast<int>(columns.size()))
                return {};
            return columns[static_cast<size_t>(section)].caption;
        }
        // Record selectors: the current row is marked, the new-row line has a star.
        if (section == current)
            return QStringLiteral("▶");
        if (section == rows && hasNewLine())
            return QStringLiteral("*");
        return QString();
    }

    Qt::ItemFlags flags(const QModelIndex& i) const override {
        Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
        if (!writable() || fieldIndex.empty() || fieldIndex[static_cast<size_t>(i.column())] < 0)
            return f;
        if ((i.row() < rows && allowUpdate) || (i.row() == rows && hasNewLine()))
            f |= Qt::ItemIsEditable;
        return f;
    }

    bool setData(const QModelIndex& i, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !(flags(i) & Qt::ItemIsEditable))
            return false;
        const QString text = value.toString();
        const QString field = columns[static_cast<size_t>(i.column())].field;
        bool ok = false;
        guard([&] {
            tv::Recordset& r = source->recordset();
            if (i.row() == rows) {
                if (text.isEmpty())
                    return;
                source->addNew();
            } else {
                if (data(i, Qt::EditRole).toString() == text)
                    return;
                r.moveTo(i.row());
                source->edit();
            }
            try {
                r.setField(field, text.isEmpty() ? tv::Value() : tv::Value(text));
                r.update();
            } catch (...) {
                r.cancelUpdate();
                throw;
            }
            ok = true;
        });
        if (ok)
            emit source->rowsChanged();
        return ok;
    }
};

}  // namespace

struct DataGrid::Impl {
    GridModel model;
    QMetaObject::Connection repo, rowsChanged;
    bool syncing = false;
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), d(std::make_unique<Impl>()) {
    setModel(&d->model);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Typing edits a cell (when allowed); a double-click never does.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setAlternatingRowColors(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    QPalette pal = palette();
    pal.setColor(QPalette::Base, QColor(192, 255, 192));
    pal.setColor(QPalette::Window, QColor(192, 255, 192));
    pal.setColor(QPalette::Text, QColor(0, 0, 255));
    pal.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    setPalette(pal);
    QHeaderView* top = horizontalHeader();
    top->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    top->setFixedHeight(2 * top->fontMetrics().lineSpacing() + 8);
    QHeaderView* side = verticalHeader();
    side->setVisible(true);
    side->setSectionResizeMode(QHeaderView::Fixed);
    side->setDefaultSectionSize(side->fontMetrics().lineSpacing() + 6);
    side->setMinimumWidth(side->fontMetrics().horizontalAdvance(QStringLiteral("▶")) + 10);

    connect(selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& now) {
        if (d->syncing || !now.isValid())
            return;
        guard([&] {
            DataControl* src = d->model.source;
            if (!src || !src->isOpen())
                return;
            tv::Recordset& rs = src->recordset();
            if (now.row() >= d->model.rows)
                return;  // the new-row line
            if (rs.hasCurrent() && rs.absolutePosition() == now.row())
                return;
            rs.moveTo(now.row());
        });
    });
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& i) {
        if (i.isValid() && i.row() < d->model.rows)
            emit rowClicked();
    });
    connect(side, &QHeaderView::sectionClicked, this, [this](int row) {
        if (row < d->model.rows)
            emit rowClicked();
    });
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid() && i.row() < d->model.rows)
            emit rowDoubleClicked();
    });
}

DataGrid::~DataGrid() {
    disconnect(d->repo);
    disconnect(d->rowsChanged);
    setModel(nullptr);
}

void DataGrid::setDataSource(DataControl* source) {
    disconnect(d->repo);
    disconnect(d->rowsChanged);
    d->model.source = source;
    if (source) {
        d->repo = connect(source, &DataControl::reposition, this, [this] { followSource(); });
        d->rowsChanged = connect(source, &DataControl::rowsChanged, this, [this] { reload(); });
    }
    reload();
}

DataControl* DataGrid::dataSource() const { return d->model.source; }

void DataGrid::setColumns(const std::vector<GridColumn>& columns) {
    d->model.wanted = columns;
    reload();
}

void DataGrid::setAllowAddNew(bool on) {
    d->model.allowAddNew = on;
    reload();
}
void DataGrid::setAllowUpdate(bool on) { d->model.allowUpdate = on; }
void DataGrid::setAllowDelete(bool on) { d->model.allowDelete = on; }

void DataGrid::reload() {
    d->syncing = true;
    d->model.reload();
    d->syncing = false;
    followSource();
}

// The grid's current row follows the source's; moving it here does not move
// the source back.
void DataGrid::followSource() {
    GridModel& m = d->model;
    tv::Recordset* rs = m.rs();
    if (rs && rs->recordCount() != m.rows) {
        reload();
        return;
    }
    const int pos = rs && rs->hasCurrent() ? rs->absolutePosition() : -1;
    const int old = m.current;
    m.current = pos;
    d->syncing = true;
    if (pos >= 0) {
        const int col = currentIndex().isValid() ? currentIndex().column() : 0;
        const QModelIndex i = m.index(pos, std::max(col, 0));
        if (currentIndex() != i) {
            selectionModel()->setCurrentIndex(i, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        }
        scrollTo(i);
    } else {
        selectionModel()->clearSelection();
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    }
    d->syncing = false;
    // Values may have changed in place (an edit stored by code): show them again.
    if (m.rowCount() > 0 && m.columnCount() > 0)
        emit m.dataChanged(m.index(0, 0), m.index(m.rowCount() - 1, m.columnCount() - 1));
    if (old != pos)
        emit m.headerDataChanged(Qt::Vertical, 0, std::max(0, m.rowCount() - 1));
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Delete && d->model.allowDelete && d->model.writable() && state() != EditingState) {
        const QModelIndex i = currentIndex();
        if (i.isValid() && i.row() < d->model.rows) {
            guard([&] {
                tv::Recordset& rs = d->model.source->recordset();
                if (!rs.hasCurrent() || rs.absolutePosition() != i.row())
                    rs.moveTo(i.row());
                d->model.source->remove();
            });
            e->accept();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

}  // namespace tv::forms
