// A grid over a data source.
#include "platform/forms/DataGrid.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Guard.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QClipboard>
#include <QHash>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPointer>
#include <QRegularExpression>
#include <QStyle>
#include <QStyledItemDelegate>
#include <QtMath>

#include <algorithm>
#include <functional>

namespace tv::forms {

QString formatGridValue(const tv::Value& v, const QString& format) {
    if (v.isNull())
        return QString();
    if (format.isEmpty())
        return v.toText();
    const bool exact = format == QLatin1String("CurrencyExact");
    if (exact || format == QLatin1String("Currency")) {
        if (!v.isNumber())
            return v.toText();
        const tv::Money m = v.kind() == tv::Value::Kind::Money ? v.toMoney() : tv::toMoney(v.toDouble());
        // Two decimals as amounts are rounded to them (half to even), or the
        // decimals the value holds.
        QString digits = exact ? tv::format00Exact(m) : tv::format00(tv::round2Even(m));
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

const QString kLost = QStringLiteral("表格中正在输入的一行没有保存：它的数据已经重新读过了。");

// The row typed into the grid and not stored yet.
struct PendingRow {
    bool active = false;
    bool adding = false;  // the new-row line; else the stored row `row`
    int row = -1;
    const tv::Recordset* rs = nullptr;  // the rows it was typed over
    QHash<QString, QString> typed;      // field -> text as typed ("" stores Null)
    QHash<QString, tv::Value> was;      // an edited row's shown fields when typing began
};

class GridModel : public QAbstractTableModel {
public:
    DataControl* source = nullptr;
    std::vector<GridColumn> wanted;   // as set by the window
    std::vector<GridColumn> columns;  // resolved on the open recordset
    std::vector<int> fieldIndex;      // column index in the recordset, -1 unknown
    std::vector<bool> numeric;        // a column of numbers: shown at the right of its cells
    int rows = 0;
    int current = -1;
    bool allowAddNew = false, allowUpdate = false, allowDelete = false;
    PendingRow pending;

    tv::Recordset* rs() const { return source && source->isOpen() ? &source->recordset() : nullptr; }
    bool writable() const { return source && !source->readOnly(); }
    bool hasNewLine() const { return allowAddNew && writable() && rs(); }
    int pendingRow() const { return !pending.active ? -1 : pending.adding ? rows : pending.row; }

    void reload() {
        beginResetModel();
        columns.clear();
        fieldIndex.clear();
        numeric.clear();
        rows = 0;
        if (tv::Recordset* r = rs()) {
            if (wanted.empty()) {
                for (const auto& c : r->columns()) columns.push_back(GridColumn{c.name, c.name, QString()});
            } else {
                columns = wanted;
            }
            for (const auto& c : columns) {
                const int i = r->columnIndex(c.field);
                fieldIndex.push_back(i);
                numeric.push_back(isNumberFormat(c.format) ||
                                  (i >= 0 && isNumberKind(r->columns()[static_cast<size_t>(i)].kind)));
            }
            rows = r->recordCount();
        }
        endResetModel();
    }
    // The new-row line became a stored row: a new one below it.
    void newLineStored() {
        beginInsertRows({}, rows + 1, rows + 1);
        ++rows;
        endInsertRows();
    }
    // Everything shown again (values, selectors) after a store or a drop.
    void shownChanged() {
        if (rowCount() > 0 && columnCount() > 0)
            emit dataChanged(index(0, 0), index(rowCount() - 1, columnCount() - 1));
        emit headerDataChanged(Qt::Vertical, 0, std::max(0, rowCount() - 1));
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows + (hasNewLine() ? 1 : 0);
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : static_cast<int>(columns.size());
    }

    QVariant data(const QModelIndex& i, int role) const override {
        if (role == Qt::TextAlignmentRole)
            return alignment(i);
        if (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole)
            return {};
        const auto column = static_cast<size_t>(i.column());
        if (i.row() == pendingRow()) {
            const auto typed = pending.typed.constFind(columns[column].field);
            if (typed != pending.typed.cend())
                return role == Qt::ToolTipRole ? QVariant() : QVariant(*typed);
        }
        tv::Recordset* r = rs();
        if (!r || i.row() >= rows || i.row() >= r->recordCount())
            return {};
        const int c = fieldIndex[column];
        if (c < 0)
            return {};
        try {
            bool cut = false;
            const tv::Value v = r->valueAt(i.row(), c, kShownChars, &cut);
            if (role == Qt::ToolTipRole)
                return cut ? QVariant(cutValueTip()) : QVariant();
            return role == Qt::EditRole ? v.toText() : formatGridValue(v, columns[column].format);
        } catch (const tv::DbError&) {
            return {};
        }
    }
    // A field as the grid shows it (a long text cut).
    tv::Value shownAt(int row, int c) const {
        bool cut = false;
        return rs()->valueAt(row, c, kShownChars, &cut);
    }

    // Numbers stand at the right of their cells: every cell of a column of
    // numbers (typed ones too), and a number in a column of the source's
    // expressions, which has no declared type.
    QVariant alignment(const QModelIndex& i) const {
        const auto column = static_cast<size_t>(i.column());
        bool right = column < numeric.size() && numeric[column];
        tv::Recordset* r = rs();
        if (!right && r && i.row() < rows && i.row() != pendingRow() && fieldIndex[column] >= 0 &&
            r->columns()[static_cast<size_t>(fieldIndex[column])].kind == tv::ColumnKind::Text) {
            try {
                right = shownAt(i.row(), fieldIndex[column]).isNumber();
            } catch (const tv::DbError&) {
                // shown empty
            }
        }
        return right ? QVariant(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter)) : QVariant();
    }
    static bool isNumberFormat(const QString& format) {
        return format == QLatin1String("0.00") || format == QLatin1String("Currency") ||
               format == QLatin1String("CurrencyExact");
    }
    static bool isNumberKind(tv::ColumnKind k) {
        using K = tv::ColumnKind;
        return k == K::SmallInt || k == K::Integer || k == K::Single || k == K::Double || k == K::Currency;
    }

    QVariant headerData(int section, Qt::Orientation o, int role) const override {
        if (role != Qt::DisplayRole)
            return {};
        if (o == Qt::Horizontal) {
            if (section < 0 || section >= static_cast<int>(columns.size()))
                return {};
            return columns[static_cast<size_t>(section)].caption;
        }
        // Record selectors: a typed row has a pencil, the current row is
        // marked, the new-row line has a star.
        if (section == pendingRow())
            return QStringLiteral("✎");
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
        if ((i.row() < rows && allowUpdate && !showsCut(i)) || (i.row() == rows && hasNewLine()))
            f |= Qt::ItemIsEditable;
        return f;
    }
    // A stored cell showing its value cut short: what it would write back is
    // not the value, so it takes no typing (its tooltip says why).
    bool showsCut(const QModelIndex& i) const {
        if (i.row() == pendingRow() && pending.typed.contains(columns[static_cast<size_t>(i.column())].field))
            return false;
        bool cut = false;
        try {
            rs()->valueAt(i.row(), fieldIndex[static_cast<size_t>(i.column())], kShownChars, &cut);
        } catch (const tv::DbError&) {
            // shown empty
        }
        return cut;
    }

    // A cell's text goes into the pending row; nothing is written here.
    bool setData(const QModelIndex& i, const QVariant& value, int role) override {
        if (role != Qt::EditRole || !(flags(i) & Qt::ItemIsEditable))
            return false;
        const QString text = value.toString();
        if (i.row() != pendingRow()) {
            if (pending.active)
                return false;  // another row waits to be stored
            if (data(i, Qt::EditRole).toString() == text)
                return true;  // nothing changed
            pending = PendingRow{true, i.row() == rows, i.row(), rs(), {}, {}};
            try {
                for (size_t c = 0; c < columns.size() && !pending.adding; ++c) {
                    if (fieldIndex[c] >= 0)
                        pending.was.insert(columns[c].field, shownAt(i.row(), fieldIndex[c]));
                }
            } catch (const tv::DbError&) {
                // a field that cannot be read is not compared
            }
            emit headerDataChanged(Qt::Vertical, i.row(), i.row());
        }
        pending.typed.insert(columns[static_cast<size_t>(i.column())].field, text);
        emit dataChanged(i, i);
        return true;
    }
};

// The grid's selection: the current row changes only after the row being
// left was stored (`mayLeave`), and no other row is selected while a typed
// row stays pending.
class RowGate : public QItemSelectionModel {
public:
    using QItemSelectionModel::QItemSelectionModel;
    using QItemSelectionModel::select;
    std::function<bool(const QModelIndex&)> mayLeave;
    std::function<bool(const QItemSelection&)> keeps;

    void setCurrentIndex(const QModelIndex& index, SelectionFlags command) override {
        if (mayLeave && !mayLeave(index))
            return;
        QItemSelectionModel::setCurrentIndex(index, command);
    }
    void select(const QItemSelection& selection, SelectionFlags command) override {
        if (keeps && !keeps(selection))
            return;
        QItemSelectionModel::select(selection, command);
    }
};

// Draws the cells and remembers the open cell editor, which keeps its cell's
// alignment. A cell that shows a number is never elided: "12.39999" cut to
// "12.3…" reads as another number. When a painted number does not fit, its
// column is widened right after the paint, and meanwhile (or past the width
// of the view) the number is drawn narrower, whole. Columns are sized only
// from the cells painted, never by reading a column's rows. Text is elided.
class CellDelegate : public QStyledItemDelegate {
public:
    explicit CellDelegate(QObject* parent, QPointer<QWidget>* open) : QStyledItemDelegate(parent), open_(open) {}
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, o, i);
        if (auto* line = qobject_cast<QLineEdit*>(editor)) {
            if (i.data(Qt::TextAlignmentRole).isValid())
                line->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
            // A text too long for the cell is refused naming its column.
            const QString caption =
                i.model()->headerData(i.column(), Qt::Horizontal, Qt::DisplayRole).toString().simplified();
            refuseOverlong(line, [caption] { return caption; });
        }
        *open_ = editor;
        return editor;
    }

    void paint(QPainter* painter, const QStyleOptionViewItem& o, const QModelIndex& i) const override {
        QStyleOptionViewItem opt(o);
        initStyleOption(&opt, i);
        if (!showsNumber(opt.text, i)) {
            QStyledItemDelegate::paint(painter, o, i);
            return;
        }
        // On one line, as wide as the style needs to draw it without eliding.
        opt.features &= ~QStyleOptionViewItem::WrapText;
        const QWidget* view = o.widget;
        const QStyle* style = view ? view->style() : QApplication::style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, &opt, view) + 1;
        const int need = qCeil(QFontMetricsF(opt.font).horizontalAdvance(opt.text)) + 2 * margin + 1;
        const int have = opt.rect.width();
        if (need > have)
            widen(i.column(), need - have);
        const QRect cell = opt.rect;
        if (need > have) {
            painter->save();
            painter->translate(cell.left(), 0);
            painter->scale(static_cast<double>(have) / need, 1);
            opt.rect = QRect(0, cell.top(), need, cell.height());
        }
        style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, view);
        if (need > have)
            painter->restore();
    }

private:
    // A number: a cell standing at the right (a column of numbers), or a text
    // of digits and the signs that go with them (a date, a time, an ID, phone
    // or room number).
    static bool showsNumber(const QString& text, const QModelIndex& i) {
        static const QRegularExpression digits(QStringLiteral("^[\\s¥+\\-]*\\d[\\d\\s.,:/+\\-eExX%]*$"));
        if (text.isEmpty())
            return false;
        if (i.data(Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight)
            return true;
        return digits.match(text).hasMatch();
    }

    // Widens `column` by `more` pixels after the paint (not while painting),
    // but not past the width of the view.
    void widen(int column, int more) const {
        auto* view = qobject_cast<QTableView*>(parent());
        if (!view)
            return;
        const int width =
            std::min(view->columnWidth(column) + more, std::max(view->columnWidth(column), view->viewport()->width()));
        int& wanted = widths_[column];
        wanted = std::max(wanted, width);
        if (queued_)
            return;
        queued_ = true;
        QMetaObject::invokeMethod(
            const_cast<CellDelegate*>(this),
            [this, view] {
                queued_ = false;
                for (auto it = widths_.cbegin(); it != widths_.cend(); ++it)
                    if (view->columnWidth(it.key()) < it.value())
                        view->setColumnWidth(it.key(), it.value());
                widths_.clear();
            },
            Qt::QueuedConnection);
    }

    QPointer<QWidget>* open_;
    mutable QHash<int, int> widths_;  // column -> width it is to be widened to
    mutable bool queued_ = false;
};

// A header that measures the size of a section once for each caption and
// font: the measure (the text shaped in the font) is costly, and a header
// measures its sections again after every read of the rows, up to two
// hundred of them on the side header. The grid's model gives its headers
// texts only (no font, icon or size hint of their own), so the caption and
// the header's font, style and alignment decide the size.
class MeasuredHeader : public QHeaderView {
public:
    MeasuredHeader(Qt::Orientation orientation, QWidget* parent) : QHeaderView(orientation, parent) {
        setSectionsClickable(true);  // as the table view's own headers are
        setHighlightSections(true);
    }

protected:
    QSize sectionSizeFromContents(int logicalIndex) const override {
        if (!model())
            return QHeaderView::sectionSizeFromContents(logicalIndex);
        if (style() != style_ || font() != font_ || defaultAlignment() != alignment_) {
            sizes_.clear();
            style_ = style();
            font_ = font();
            alignment_ = defaultAlignment();
        }
        const QString text = model()->headerData(logicalIndex, orientation(), Qt::DisplayRole).toString();
        auto it = sizes_.constFind(text);
        if (it == sizes_.cend())
            it = sizes_.insert(text, QHeaderView::sectionSizeFromContents(logicalIndex));
        return *it;
    }

private:
    mutable const QStyle* style_ = nullptr;
    mutable QFont font_;
    mutable Qt::Alignment alignment_;
    mutable QHash<QString, QSize> sizes_;  // caption -> its section's size
};

// Where a source stands: on a row, or past one of its ends.
struct Spot {
    int row = -1;
    bool atEnd = false;
};
Spot spotOf(const tv::Recordset& r) { return {r.hasCurrent() ? r.absolutePosition() : -1, r.eof()}; }
void goTo(tv::Recordset& r, Spot s) {
    if (s.row >= 0) {
        if (!r.hasCurrent() || r.absolutePosition() != s.row)
            r.moveTo(s.row);
    } else if (s.atEnd) {
        r.moveLast();
        r.moveNext();
    } else {
        r.moveFirst();
        r.movePrevious();
    }
}

}  // namespace

struct DataGrid::Impl {
    DataGrid* q;
    GridModel model;
    RowGate* gate = nullptr;
    QPointer<QWidget> editor;  // the open cell editor
    QMetaObject::Connection repo, rowsChanged, focus;
    bool syncing = false;  // the grid follows the source: no move back
    bool storing = false;  // a store is under way: the source's signals are its own
    int column = 0;        // the current cell's column, kept while the rows are read again
    DataGrid::BeforeStore beforeStore;

    // The open editor's text into the pending row, and the editor closed.
    void commitEditor() {
        if (QWidget* w = editor.data()) {
            editor = nullptr;
            q->commitData(w);
            q->QTableView::closeEditor(w, QAbstractItemDelegate::NoHint);
        }
    }

    // Stores the pending row in one AddNew or Edit and one Update. False when
    // it was refused: the guard has told why, nothing was written and the row
    // is still pending. `keepPlace`: the source was moved off the row by its
    // arrows or by code, and goes back there afterwards.
    bool store(bool keepPlace) {
        PendingRow& p = model.pending;
        if (!p.active)
            return true;
        if (storing)
            return false;
        storing = true;
        bool added = false;
        guard([&] {
            tv::Recordset* r = model.rs();
            if (!p.adding && r == p.rs && r->recordCount() < model.rows) {
                p = {};  // the row was deleted (only the current row can be)
                return;
            }
            if (r != p.rs || (!p.adding && !sameRow(*r))) {
                p = {};
                throw tv::DbError(kLost);
            }
            if (p.adding &&
                std::all_of(p.typed.cbegin(), p.typed.cend(), [](const QString& t) { return t.isEmpty(); })) {
                p = {};  // nothing typed after all
                return;
            }
            if (keepPlace && !r->hasCurrent() && !r->bof() && !r->eof())
                return;  // just after a delete: stored when the source has moved on
            const Spot back = spotOf(*r);
            if (!p.adding && (!r->hasCurrent() || r->absolutePosition() != p.row))
                r->moveTo(p.row);
            p.adding ? model.source->addNew() : model.source->edit();
            try {
                for (auto it = p.typed.cbegin(); it != p.typed.cend(); ++it)
                    r->setField(it.key(), it.value().isEmpty() ? tv::Value() : tv::Value(it.value()));
                if (beforeStore)
                    beforeStore(*r, p.typed.keys());
                r->update();
            } catch (const tv::RowChangedError&) {
                p = {};  // typed over a row that is no longer the one shown: it shows as it is now
                throw;
            } catch (...) {
                model.source->cancelUpdate();
                throw;
            }
            added = p.adding;
            p = {};
            if (keepPlace)
                goTo(*r, back);
        });
        if (added && model.rs()->recordCount() == model.rows + 1)
            model.newLineStored();
        if (!p.active)
            emit model.source->rowsChanged();  // the source's other grids
        storing = false;
        model.shownChanged();
        q->followSource();
        return !p.active;
    }

    // An edited row is still where it was: its shown fields are unchanged.
    bool sameRow(const tv::Recordset& r) const {
        const PendingRow& p = model.pending;
        if (p.row >= r.recordCount())
            return false;
        for (auto it = p.was.cbegin(); it != p.was.cend(); ++it) {
            if (model.shownAt(p.row, r.columnIndex(it.key())) != it.value())
                return false;
        }
        return true;
    }

    // Esc: the typed row is dropped, the stored values show again.
    void cancel() {
        if (QWidget* w = editor.data()) {
            editor = nullptr;
            q->QTableView::closeEditor(w, QAbstractItemDelegate::NoHint);
        }
        model.pending = {};
        model.shownChanged();
    }

    // The grid's current row is about to change to `to`'s row: the row being
    // left is stored first, and stays current when that is refused.
    bool mayLeave(const QModelIndex& to) {
        const QModelIndex from = q->currentIndex();
        if (syncing || storing || !to.isValid() || !from.isValid() || to.row() == from.row())
            return true;
        commitEditor();
        return store(false);
    }

    // The source moved: by the grid, or by its arrows or code, which leaves
    // the typed row.
    void sourceMoved() {
        if (syncing || storing)
            return;
        commitEditor();
        const PendingRow& p = model.pending;
        tv::Recordset* r = model.rs();
        if (p.active && (p.adding || !r || !r->hasCurrent() || r->absolutePosition() != p.row))
            store(true);
        q->followSource();
    }
};

DataGrid::DataGrid(QWidget* parent) : QTableView(parent), d(std::make_unique<Impl>()) {
    d->q = this;
    setHorizontalHeader(new MeasuredHeader(Qt::Horizontal, this));
    setVerticalHeader(new MeasuredHeader(Qt::Vertical, this));
    setModel(&d->model);
    d->gate = new RowGate(&d->model, this);
    d->gate->mayLeave = [this](const QModelIndex& to) { return d->mayLeave(to); };
    d->gate->keeps = [this](const QItemSelection& s) {
        const int row = d->model.pendingRow();
        return row < 0 || d->syncing || s.isEmpty() || s.contains(d->model.index(row, 0));
    };
    QItemSelectionModel* plain = selectionModel();
    setSelectionModel(d->gate);
    delete plain;
    setItemDelegate(new CellDelegate(this, &d->editor));
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    // Typing edits a cell (when allowed); a double-click never does.
    setEditTriggers(QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
    setTabKeyNavigation(true);
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

    connect(d->gate, &QItemSelectionModel::currentRowChanged, this, [this](const QModelIndex& now) {
        if (d->syncing || !now.isValid())
            return;
        guard([&] {
            DataControl* src = d->model.source;
            if (!src || !src->isOpen())
                return;
            tv::Recordset& rs = src->recordset();
            if (now.row() >= d->model.rows)
                return;  // the new-row line
            // Rows another program deleted meanwhile: the row clicked, where it now is.
            int row = now.row();
            const bool followed = src->followFile(&row);
            if (rs.recordCount() == 0)
                return reload();
            row = std::min(row, rs.recordCount() - 1);
            if (!followed && rs.hasCurrent() && rs.absolutePosition() == row)
                return;
            rs.moveTo(row);
        });
    });
    // A click that could not leave a typed row is no click on another row.
    connect(this, &QTableView::clicked, this, [this](const QModelIndex& i) {
        if (i.isValid() && i.row() < d->model.rows && i.row() == currentIndex().row())
            emit rowClicked();
    });
    connect(side, &QHeaderView::sectionClicked, this, [this](int row) {
        if (row < d->model.rows && row == currentIndex().row())
            emit rowClicked();
    });
    connect(this, &QTableView::doubleClicked, this, [this](const QModelIndex& i) {
        if (i.isValid() && i.row() < d->model.rows)
            emit rowDoubleClicked();
    });
    // The focus going to another control of the window leaves the row.
    d->focus = connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
        const auto inside = [this](QWidget* w) { return w == this || isAncestorOf(w); };
        if (old && now && inside(old) && !inside(now) && now->window() == window()) {
            d->commitEditor();
            d->store(false);
        }
    });
}

DataGrid::~DataGrid() {
    disconnect(d->repo);
    disconnect(d->rowsChanged);
    disconnect(d->focus);
    setModel(nullptr);
    delete d->gate;
}

void DataGrid::setDataSource(DataControl* source) {
    disconnect(d->repo);
    disconnect(d->rowsChanged);
    d->model.source = source;
    if (source) {
        d->repo = connect(source, &DataControl::reposition, this, [this] { d->sourceMoved(); });
        d->rowsChanged = connect(source, &DataControl::rowsChanged, this, [this] {
            if (!d->storing)
                reload();
        });
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
void DataGrid::setBeforeStore(BeforeStore hook) { d->beforeStore = std::move(hook); }

void DataGrid::reload() {
    d->commitEditor();
    if (currentIndex().isValid())
        d->column = currentIndex().column();
    d->syncing = true;
    d->model.reload();
    d->syncing = false;
    PendingRow& p = d->model.pending;
    // A typed row survives a reload of the same rows; of others it is lost, with a word.
    if (p.active && (p.rs != d->model.rs() || (!p.adding && p.row >= d->model.rows))) {
        p = {};
        guard([] { throw tv::DbError(kLost); });
    }
    followSource();
}

// The grid's current row follows the source's (a typed new row keeps it on
// the new-row line); moving it here does not move the source back.
void DataGrid::followSource() {
    GridModel& m = d->model;
    if (m.source && m.source->isRefreshing())
        return;  // the rows are read and followed on the rowsChanged at its end
    tv::Recordset* rs = m.rs();
    if (rs && rs->recordCount() != m.rows) {
        reload();
        return;
    }
    const int pos = rs && rs->hasCurrent() ? rs->absolutePosition() : -1;
    const int row = m.pending.active && m.pending.adding ? m.rows : pos;
    const int old = m.current;
    m.current = pos;
    d->syncing = true;
    if (row >= 0) {
        // The column stays the one the user is in, also after the rows were read again.
        const int col = currentIndex().isValid() ? currentIndex().column() : d->column;
        const QModelIndex i = m.index(row, std::clamp(col, 0, std::max(m.columnCount() - 1, 0)));
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
    // The row selector's mark moved: those two rows only (the header walks
    // every row of a range it is told of).
    if (old != pos) {
        for (const int r : {old, pos}) {
            if (r >= 0 && r < m.rowCount())
                emit m.headerDataChanged(Qt::Vertical, r, r);
        }
    }
}

namespace {
// The keys a grid keeps from the window's shortcuts, as a text box keeps them.
bool gridKey(QKeyEvent* e) {
    return e->matches(QKeySequence::Cut) || e->matches(QKeySequence::SelectAll) ||
           (e->key() == Qt::Key_F2 && e->modifiers() == Qt::NoModifier);
}
}  // namespace

bool DataGrid::event(QEvent* e) {
    if (e->type() == QEvent::ShortcutOverride && gridKey(static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QTableView::event(e);
}

void DataGrid::keyPressEvent(QKeyEvent* e) {
    GridModel& m = d->model;
    if (state() != EditingState) {
        // Cut: the cell's text to the clipboard, the cell typed empty.
        if (e->matches(QKeySequence::Cut)) {
            e->accept();
            const QModelIndex at = currentIndex();
            if (at.isValid() && (m.flags(at) & Qt::ItemIsEditable)) {
                QGuiApplication::clipboard()->setText(at.data(Qt::EditRole).toString());
                m.setData(at, QString(), Qt::EditRole);
            }
            return;
        }
        const int key = e->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m.pending.active) {
            d->store(false);
            e->accept();
            return;
        }
        if (key == Qt::Key_Escape && m.pending.active) {
            d->cancel();
            e->accept();
            return;
        }
        if (key == Qt::Key_Delete && m.allowDelete && m.writable() && currentIndex().isValid() &&
            currentIndex().row() < m.rows) {
            emit deleteRequested();
            e->accept();
            return;
        }
    }
    QTableView::keyPressEvent(e);
}

bool DataGrid::commitPendingRow() {
    d->commitEditor();
    return d->store(false);
}

void DataGrid::hideEvent(QHideEvent* e) {
    if (!e->spontaneous()) {
        d->commitEditor();
        d->store(false);
    }
    QTableView::hideEvent(e);
}

void DataGrid::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) {
    const bool open = editor && editor == d->editor;
    if (open)
        d->editor = nullptr;
    QTableView::closeEditor(editor, hint);
    if (open && hint == QAbstractItemDelegate::SubmitModelCache)
        d->store(false);
    else if (open && hint == QAbstractItemDelegate::RevertModelCache)
        d->cancel();
}

}  // namespace tv::forms
