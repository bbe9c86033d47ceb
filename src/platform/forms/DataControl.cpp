// The data source of a window and its caption strip.
#include "platform/forms/DataControl.h"

#include "platform/forms/BoundControls.h"
#include "platform/forms/Guard.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QToolButton>

#include <utility>

namespace tv::forms {

QString cutValueTip() {
    return QStringLiteral("内容太长，这里只显示了前 %1 个字，不能在这里修改；保存时它原样保留。").arg(kShownChars);
}

QString refusedWriteText(const std::exception& e, const QString& own) {
    const auto* changed = dynamic_cast<const tv::RowChangedError*>(&e);
    return changed ? changed->text() : own;
}

struct DataControl::Impl {
    QString databaseName;
    QString source;
    std::vector<tv::Value> params;
    bool readOnly = false;
    QString caption;
    QHash<QString, QString> fieldCaptions;
    // What the open recordset was made from.
    QString openDatabase;
    QString openSource;
    std::unique_ptr<tv::Recordset> rs;
    int handler = 0;
    QLabel* label = nullptr;
    std::vector<QPointer<QWidget>> bound;
    int refreshing = 0;   // refreshes under way (one in another's handlers makes two)
    int countChange = 0;  // rows followFile() found more (or fewer) since last asked

    // Drops the open recordset and what it was made from.
    void close() {
        rs->removeRepositionHandler(handler);
        rs.reset();
        handler = 0;
        openDatabase.clear();
        openSource.clear();
    }
};

DataControl::DataControl(QWidget* parent) : QWidget(parent), d(std::make_unique<Impl>()) {
    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    auto arrow = [&](const char* name, const QString& text, void (DataControl::*step)()) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setAutoRaise(false);
        b->setFocusPolicy(Qt::NoFocus);
        onClick(b, [this, step] { (this->*step)(); });
        row->addWidget(b);
    };
    arrow("MoveFirst", QStringLiteral("|◀"), &DataControl::moveFirst);
    arrow("MovePrevious", QStringLiteral("◀"), &DataControl::movePrevious);
    d->label = new QLabel(this);
    d->label->setObjectName(QStringLiteral("Caption"));
    d->label->setAlignment(Qt::AlignCenter);
    d->label->setFrameShape(QFrame::Panel);
    d->label->setFrameShadow(QFrame::Sunken);
    row->addWidget(d->label, 1);
    arrow("MoveNext", QStringLiteral("▶"), &DataControl::moveNext);
    arrow("MoveLast", QStringLiteral("▶|"), &DataControl::moveLast);
}

DataControl::~DataControl() {
    if (d->rs && d->handler)
        d->rs->removeRepositionHandler(d->handler);
}

void DataControl::setDatabaseName(const QString& path) { d->databaseName = path; }
QString DataControl::databaseName() const { return d->databaseName; }

void DataControl::setRecordSource(const QString& source, std::vector<tv::Value> params) {
    d->source = source;
    d->params = std::move(params);
}
QString DataControl::recordSource() const { return d->source; }

void DataControl::setReadOnly(bool on) { d->readOnly = on; }
bool DataControl::readOnly() const { return d->readOnly; }

void DataControl::setFieldCaptions(const QHash<QString, QString>& captions) {
    d->fieldCaptions = captions;
    if (d->rs)
        d->rs->setFieldCaptions(captions);
}

QString DataControl::fieldCaption(const QString& field) const {
    for (auto it = d->fieldCaptions.cbegin(); it != d->fieldCaptions.cend(); ++it)
        if (it.key().compare(field, Qt::CaseInsensitive) == 0)
            return it.value();
    return field;
}

void DataControl::setCaption(const QString& caption) {
    d->caption = caption;
    d->label->setText(caption);
}
QString DataControl::caption() const { return d->caption; }

// The grids read the rows once, on the rowsChanged that ends every refresh
// (a failed one too), rather than on the repositions on the way.
void DataControl::refresh() {
    d->countChange = 0;
    ++d->refreshing;
    try {
        readRows();
    } catch (...) {
        --d->refreshing;
        emit rowsChanged();
        throw;
    }
    --d->refreshing;
    emit rowsChanged();
}

bool DataControl::isRefreshing() const { return d->refreshing > 0; }

void DataControl::readRows() {
    const bool same = d->rs && d->openDatabase == d->databaseName && d->openSource == d->source;
    if (same) {
        d->rs->setParams(d->params);
        d->rs->refresh();
        return;
    }
    // A new file or record source: the old recordset goes, whatever happens.
    if (d->rs)
        d->close();
    auto rs = std::make_unique<tv::Recordset>(tv::Database::open(d->databaseName), d->source, d->params);
    rs->setFieldCaptions(d->fieldCaptions);
    d->handler = rs->onReposition([this] { emit reposition(); });
    d->rs = std::move(rs);
    d->openDatabase = d->databaseName;
    d->openSource = d->source;
    try {
        d->rs->refresh();
    } catch (...) {
        d->close();
        throw;
    }
}

tv::Recordset& DataControl::recordset() {
    if (!d->rs)
        throw tv::DbError(QStringLiteral("数据源还没有打开。"));
    return *d->rs;
}

bool DataControl::isOpen() const { return d->rs != nullptr; }

namespace {
void refuseReadOnly(bool readOnly) {
    if (readOnly)
        throw tv::DbError(QStringLiteral("数据源是只读的，不能修改。"));
}
}  // namespace

void DataControl::addNew() {
    refuseReadOnly(d->readOnly);
    recordset().addNew();
    emit recordChanged();
}

void DataControl::edit() {
    refuseReadOnly(d->readOnly);
    recordset().edit();
}

void DataControl::update() {
    refuseReadOnly(d->readOnly);
    tv::Recordset& rs = recordset();
    commitBound();
    rowsChangingWith([&] { rs.update(); });
    emit recordChanged();
}

void DataControl::cancelUpdate() {
    recordset().cancelUpdate();
    emit recordChanged();
}

void DataControl::remove() {
    refuseReadOnly(d->readOnly);
    rowsChangingWith([&] { recordset().remove(); });
}

void DataControl::rowsChangingWith(const std::function<void()>& write) {
    try {
        write();
    } catch (const tv::RowChangedError&) {
        // The row another program changed or deleted meanwhile is shown as
        // the file holds it now (or no more), in the grids and the boxes.
        emit rowsChanged();
        emit recordChanged();
        throw;
    }
    emit rowsChanged();
}

void DataControl::moveFirst() {
    followFile();
    if (!d->rs || d->rs->recordCount() == 0)
        return;
    d->rs->moveFirst();
}

void DataControl::moveLast() {
    followFile();
    if (!d->rs || d->rs->recordCount() == 0)
        return;
    d->rs->moveLast();
}

void DataControl::movePrevious() {
    followFile();
    if (!d->rs || d->rs->recordCount() == 0)
        return;
    tv::Recordset& rs = *d->rs;
    if (rs.bof()) {
        rs.moveFirst();
        return;
    }
    if (rs.hasCurrent() && rs.absolutePosition() == 0)
        return;  // stays on the first row
    rs.movePrevious();
    if (rs.bof())
        rs.moveFirst();
}

void DataControl::moveNext() {
    followFile();
    if (!d->rs || d->rs->recordCount() == 0)
        return;
    tv::Recordset& rs = *d->rs;
    if (rs.eof()) {
        rs.moveLast();
        return;
    }
    if (rs.hasCurrent() && rs.absolutePosition() == rs.recordCount() - 1)
        return;  // stays on the last row
    rs.moveNext();
    if (rs.eof())
        rs.moveLast();
}

bool DataControl::followFile(int* place) {
    if (!d->rs)
        return false;
    const int before = d->rs->recordCount();
    if (!d->rs->followFile(place))
        return false;
    d->countChange += d->rs->recordCount() - before;
    return true;
}

int DataControl::takeCountChange() { return std::exchange(d->countChange, 0); }

bool DataControl::findFirst(const std::vector<std::pair<QString, QString>>& keys) {
    tv::Recordset& rs = recordset();
    rs.moveFirst();
    std::vector<std::pair<int, QString>> byColumn;
    for (const auto& [field, key] : keys) {
        const int column = rs.columnIndex(field);
        if (column < 0)
            (void)rs.field(field);  // raises: the source has no such field
        byColumn.emplace_back(column, key);
    }
    // Only the compared fields are read.
    const int row = rs.findRow(byColumn);
    if (row >= 0) {
        if (row != rs.absolutePosition())
            rs.moveTo(row);
        return true;
    }
    rs.moveLast();
    rs.moveNext();
    return false;
}

void DataControl::addBound(QWidget* control) {
    for (const auto& w : d->bound)
        if (w == control)
            return;
    d->bound.emplace_back(control);
}

void DataControl::commitBound() {
    for (const auto& w : d->bound) {
        if (!w)
            continue;
        if (auto* t = qobject_cast<BoundTextBox*>(w.data()))
            t->commit();
        else if (auto* c = qobject_cast<BoundCombo*>(w.data()))
            c->commit();
        else if (auto* i = qobject_cast<BoundImage*>(w.data()))
            i->commit();
    }
}

}  // namespace tv::forms
