// The cursor on a source's rows: moves with BOF/EOF, the edits of a row,
// and the Reposition notification.

#include "platform/db/Recordset.h"

#include <algorithm>
#include <cassert>
#include <optional>

#include <sqlite3.h>

namespace tv {

namespace {

const QString& noCurrentText() {
    static const QString t = QStringLiteral("无当前记录。");
    return t;
}
const QString& noEditText() {
    static const QString t = QStringLiteral("没有正在添加或修改的记录。");
    return t;
}
const QString& changedText() {
    static const QString t = QStringLiteral("该记录已被其他程序修改或删除，数据没有改变。");
    return t;
}

// Exact equality of two names, inline: the common case of setField and field.
bool sameName(const QString& a, const QString& b) {
    const qsizetype n = a.size();
    if (n != b.size())
        return false;
    const char16_t* x = reinterpret_cast<const char16_t*>(a.constData());
    const char16_t* y = reinterpret_cast<const char16_t*>(b.constData());
    for (qsizetype i = 0; i < n; ++i) {
        if (x[i] != y[i])
            return false;
    }
    return true;
}

std::shared_ptr<Database> required(std::shared_ptr<Database> db) {
    if (!db)
        throw DbError(QStringLiteral("没有打开数据文件。"));
    return db;
}

}  // namespace

Recordset::Recordset(std::shared_ptr<Database> db, QString source, std::vector<Value> params)
    : db_(required(std::move(db))), source_(std::move(source)), params_(std::move(params)), cache_(db_, source_) {
    source_.resolve(*db_);
    for (int i = static_cast<int>(columns().size()) - 1; i >= 0; --i)
        nameIndex_.insert(columns()[static_cast<size_t>(i)].name, i);
}

Recordset::~Recordset() { *alive_ = false; }

int Recordset::columnIndex(const QString& name) const {
    const std::vector<Column>& cols = columns();
    // Fields are mostly named in column order: try the one after the last hit.
    if (!cols.empty()) {
        const int guess = lastIndex_ + 1 < static_cast<int>(cols.size()) ? lastIndex_ + 1 : 0;
        if (sameName(cols[static_cast<size_t>(guess)].name, name)) {
            lastIndex_ = guess;
            return guess;
        }
    }
    if (const auto it = nameIndex_.constFind(name); it != nameIndex_.constEnd()) {
        lastIndex_ = it.value();
        return it.value();
    }
    // Field names are not case-sensitive.
    for (size_t i = 0; i < cols.size(); ++i) {
        if (cols[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    return -1;
}

int Recordset::checkedColumn(int index) const {
    if (index < 0 || index >= static_cast<int>(columns().size()))
        throw DbError(QStringLiteral("找不到字段：%1").arg(index));
    return index;
}

// ---- refresh and moves ----------------------------------------------------------

void Recordset::refresh() {
    leaveEdit();
    if (source_.resolve(*db_)) {
        // The rows held are laid out by the columns: a changed table drops them.
        cache_.forget();
        cache_.keys().clear();
        pos_ = -1;
        deleted_ = false;
        nameIndex_.clear();
        lastIndex_ = -1;
        for (int i = static_cast<int>(columns().size()) - 1; i >= 0; --i)
            nameIndex_.insert(columns()[static_cast<size_t>(i)].name, i);
    }
    const int64_t version = fileVersion();
    cache_.refresh(params_);
    version_ = version;
    deleted_ = false;
    moveToRow(recordCount() == 0 ? -1 : 0);
}

int64_t Recordset::fileVersion() const {
    try {
        Database::Lease st(*db_, "pragma data_version");
        return st.next() ? sqlite3_column_int64(st.get(), 0) : -1;
    } catch (const DbError&) {
        return version_;  // not known now (the file busy): as before
    }
}

int Recordset::placeNow(int64_t rowid, int place, RowKeys* before, bool* gone) {
    RowKeys& keys = cache_.keys();
    const int now = rowid == RowKeys::kGone ? -1 : keys.positionOf(rowid);
    *gone = now < 0;
    if (now >= 0)
        return now;
    // Gone: the place of the row after it.
    if (const int after = rowid == RowKeys::kGone ? -1 : keys.rank(rowid); after >= 0)
        return after;
    for (int p = place + 1; before && p < before->count(); ++p) {
        const int64_t id = before->at(p);  // listed: nothing to read
        if (const int there = id == RowKeys::kGone ? -1 : keys.positionOf(id); there >= 0)
            return there;
    }
    return std::clamp(place, 0, recordCount());
}

bool Recordset::followFile(int* place) {
    if (!source_.updatable() || edit_ != EditState::None || version_ < 0)
        return false;
    const int64_t version = fileVersion();
    if (version == version_)
        return false;
    const int count = recordCount();
    const auto rowidAt = [&](int p) { return p >= 0 && p < count ? cache_.rowid(p) : RowKeys::kGone; };
    const int64_t current = rowidAt(pos_);
    const int64_t aimed = place ? rowidAt(*place) : RowKeys::kGone;
    // The rows of an order of their own, all listed: where a row gone stood among them.
    std::optional<RowKeys> before;
    if (!cache_.keys().byParts())
        before.emplace(cache_.keys());
    cache_.refresh(params_);  // a failure leaves the rows as they were
    version_ = version;
    RowKeys* old = before ? &*before : nullptr;
    bool gone = false;
    if (place)
        *place = placeNow(aimed, *place, old, &gone);
    if (pos_ >= count) {
        pos_ = recordCount();
    } else if (pos_ >= 0) {
        pos_ = placeNow(current, pos_, old, &gone);
        deleted_ = deleted_ || gone;
    }
    cache_.pin(onRow() ? pos_ : -1);
    return true;
}

bool Recordset::bof() const { return recordCount() == 0 || (pos_ < 0 && !deleted_); }

bool Recordset::eof() const { return recordCount() == 0 || pos_ >= recordCount(); }

bool Recordset::hasCurrent() const { return edit_ != EditState::Adding && !deleted_ && onRow(); }

int Recordset::recordCount() const { return cache_.count(); }

int Recordset::absolutePosition() const { return hasCurrent() ? pos_ : -1; }

void Recordset::noCurrent() const { throw DbError(noCurrentText()); }

void Recordset::moveToRow(int pos) {
    pos_ = pos;
    cache_.pin(onRow() ? pos_ : -1);
    if (onRow()) {
        try {
            cache_.row(pos_);  // its page read with it
        } catch (const DbError&) {
            // told when a field of it is read
        }
    }
    fireReposition();
}

void Recordset::moveFirst() {
    leaveEdit();
    if (recordCount() == 0)
        noCurrent();
    deleted_ = false;
    moveToRow(0);
}

void Recordset::moveLast() {
    leaveEdit();
    if (recordCount() == 0)
        noCurrent();
    deleted_ = false;
    moveToRow(recordCount() - 1);
}

void Recordset::moveNext() {
    leaveEdit();
    if (eof())
        noCurrent();
    const bool after = deleted_;  // pos_ already names the row after the deleted one
    deleted_ = false;
    moveToRow(after ? pos_ : pos_ + 1);
}

void Recordset::movePrevious() {
    leaveEdit();
    if (bof())
        noCurrent();
    deleted_ = false;
    moveToRow(pos_ - 1);
}

void Recordset::moveTo(int position) {
    leaveEdit();
    if (position < 0 || position >= recordCount())
        noCurrent();
    deleted_ = false;
    moveToRow(position);
}

// ---- fields -------------------------------------------------------------------

Value Recordset::field(const QString& name) const {
    const int i = columnIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("找不到字段：") + name);
    return field(i);
}

Value Recordset::field(int index) const {
    const size_t i = static_cast<size_t>(checkedColumn(index));
    if (edit_ == EditState::Adding || (edit_ == EditState::Editing && dirty_[i]))
        return pending_[i];
    if (!hasCurrent())
        noCurrent();
    return cache_.value(pos_, index);
}

Value Recordset::field(int index, qsizetype most, bool* cut) const {
    *cut = false;
    const size_t i = static_cast<size_t>(checkedColumn(index));
    if (edit_ == EditState::Adding || (edit_ == EditState::Editing && dirty_[i])) {
        const Value& v = pending_[i];
        if (v.kind() != Value::Kind::Text || v.toText().size() <= most)
            return v;
        *cut = true;
        return Value(detail::cutText(v.toText(), most));
    }
    if (!hasCurrent())
        noCurrent();
    return cache_.shown(pos_, index, most, cut);
}

void Recordset::setField(const QString& name, const Value& v) {
    const int i = columnIndex(name);
    if (i < 0)
        throw DbError(QStringLiteral("找不到字段：") + name);
    setField(i, v);
}

void Recordset::setField(int index, const Value& v) {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    const size_t i = static_cast<size_t>(checkedColumn(index));
    pending_[i] = v;
    dirty_[i] = true;
}

Value Recordset::valueAt(int row, int column) const {
    if (row < 0 || row >= recordCount() || column < 0 || column >= static_cast<int>(columns().size()))
        throw DbError(noCurrentText());
    return cache_.value(row, column);
}

Value Recordset::valueAt(int row, int column, qsizetype most, bool* cut) const {
    *cut = false;
    if (row < 0 || row >= recordCount() || column < 0 || column >= static_cast<int>(columns().size()))
        throw DbError(noCurrentText());
    return cache_.shown(row, column, most, cut);
}

int Recordset::findRow(const std::vector<std::pair<int, QString>>& keys, int from) const {
    return cache_.find(keys, from);
}

// ---- editing ------------------------------------------------------------------

void Recordset::requireUpdatable() const {
    if (!source_.updatable())
        throw DbError(QStringLiteral("该记录集不能更新。"));
}

void Recordset::leaveEdit() {
    if (edit_ == EditState::None)
        return;
    edit_ = EditState::None;
    pending_.clear();
    converted_.clear();
}

void Recordset::beginEdit(EditState state) {
    edit_ = state;
    pending_.resize(columns().size());  // all Null
    dirty_.assign(columns().size(), 0);
}

void Recordset::addNew() {
    requireUpdatable();
    leaveEdit();
    beginEdit(EditState::Adding);
}

void Recordset::edit() {
    leaveEdit();
    if (!hasCurrent())
        noCurrent();
    requireUpdatable();
    beginEdit(EditState::Editing);
}

void Recordset::cancelUpdate() {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    leaveEdit();
}

void Recordset::packPending(const char* kept) {
    const std::vector<Column>& cols = columns();
    const size_t n = cols.size();
    toWrite_.assign(n, nullptr);
    converted_.clear();
    converted_.reserve(n);  // never moves while toWrite_ points into it
    packed_.clear();
    const char* old = kept;
    const qsizetype limit = sqlite3_limit(db_->handle(), SQLITE_LIMIT_LENGTH, -1);
    for (size_t i = 0; i < n; ++i) {
        if (edit_ == EditState::Adding || dirty_[i]) {
            const Value* w = &pending_[i];
            if (!source_.untyped(static_cast<int>(i)) && !Database::holds(*w, cols[i].kind))
                w = &converted_.emplace_back(Database::convert(*w, cols[i].kind, fieldCaption(i)));
            toWrite_[i] = w;
            packed_.append(*w, source_.later(static_cast<int>(i)), limit);
        } else {
            packed_.appendCell(old);
        }
        if (old)
            old += packed::cellSize(old);
    }
}

void Recordset::bindWritten(sqlite3_stmt* st) const {
    const char* p = packed_.data();
    int k = 1;
    for (size_t i = 0; i < columns().size(); p += packed::cellSize(p), ++i) {
        if (!toWrite_[i])
            continue;
        if (const int rc = packed::bindCell(st, k++, p, *toWrite_[i]); rc != SQLITE_OK)
            db_->fail(rc);
    }
}

void Recordset::update() {
    if (edit_ == EditState::None)
        throw DbError(noEditText());
    requireUpdatable();
    if (edit_ == EditState::Adding) {
        packPending(nullptr);
        insertRow();
        return;
    }
    // The row as it was read, which the file must still hold.
    const char* held = cache_.row(pos_);
    if (!held)
        refuseChanged();
    packPending(held);
    updateRow(held);
}

void Recordset::insertRow() {
    {
        Database::Lease st(*db_, source_.insert());
        bindWritten(st.get());
        st.run();
    }
    cache_.append(sqlite3_last_insert_rowid(db_->handle()), packed_.data(), packed_.size());
    deleted_ = false;
    leaveEdit();
    moveToRow(recordCount() - 1);
}

std::string Recordset::sameRowSql(const char* held) const {
    std::string sql = " where rowid = ?";
    const char* p = held;
    for (int c = 0; c < static_cast<int>(columns().size()); ++c, p += packed::cellSize(p))
        sql += source_.sameField(c, *p == packed::kCut);
    return sql;
}

void Recordset::bindHeld(sqlite3_stmt* st, int index, const char* held) const {
    sqlite3_bind_int64(st, index++, cache_.rowid(pos_));
    const char* p = held;
    for (int c = 0; c < static_cast<int>(columns().size()); ++c, p += packed::cellSize(p)) {
        if (source_.sameField(c, false).empty())
            continue;
        int rc = SQLITE_OK;
        if (*p == packed::kCut) {  // its length and its digest
            sqlite3_bind_int64(st, index++, packed::wholeBytes(p));
            rc = detail::bindBytes(st, index++, packed::digestOf(p), detail::kDigestBytes);
        } else {
            rc = packed::bindCell(st, index++, p, Value());
        }
        if (rc != SQLITE_OK)
            db_->fail(rc);
    }
}

void Recordset::updateRow(const char* held) {
    // Only the changed fields of the current row are written.
    std::vector<bool> changed(columns().size());
    int count = 0;
    for (size_t i = 0; i < changed.size(); ++i) count += (changed[i] = toWrite_[i] != nullptr);
    if (count) {
        bool same = true;
        {
            Database::Lease st(*db_, source_.update(changed).toStdString() + sameRowSql(held));
            bindWritten(st.get());
            bindHeld(st.get(), count + 1, held);
            st.run();
            same = sqlite3_changes(db_->handle()) == 1;
        }
        if (!same)
            refuseChanged();
        cache_.keep(pos_, packed_.data(), packed_.size());
    }
    leaveEdit();
}

void Recordset::remove() {
    if (edit_ != EditState::None)
        leaveEdit();
    if (!hasCurrent())
        noCurrent();
    requireUpdatable();
    const char* held = cache_.row(pos_);
    if (!held)
        refuseChanged();
    bool same = true;
    {
        Database::Lease st(*db_, source_.remove().toStdString() + sameRowSql(held));
        bindHeld(st.get(), 1, held);
        st.run();
        same = sqlite3_changes(db_->handle()) == 1;
    }
    if (!same)
        refuseChanged();
    cache_.erase(pos_);
    deleted_ = true;  // pos_ now names the row after it, or EOF
    moveToRow(pos_);
}

void Recordset::refuseChanged() {
    leaveEdit();
    // Another program has been writing: the rows held are read again as they
    // are asked for. A row still there shows as it is now; a row gone is
    // dropped, and the row after it becomes current (the last one when it
    // was the last; none when no row is left).
    cache_.forget();
    deleted_ = false;
    // Rows gone are dropped on the way: after the row, then back from the end.
    while (pos_ < recordCount() && !cache_.row(pos_)) cache_.erase(pos_);
    while (pos_ >= recordCount() && recordCount() > 0) {
        pos_ = recordCount() - 1;
        if (!cache_.row(pos_))
            cache_.erase(pos_);
    }
    moveToRow(recordCount() == 0 ? -1 : pos_);
    throw RowChangedError(changedText());
}

void Recordset::setFieldCaptions(const QHash<QString, QString>& captions) {
    captions_.clear();
    for (auto it = captions.begin(); it != captions.end(); ++it) captions_.insert(it.key().toLower(), it.value());
}

QString Recordset::fieldCaption(size_t column) const {
    const QString& name = columns()[column].name;
    return captions_.value(name.toLower(), name);
}

// ---- notification ---------------------------------------------------------------

int Recordset::onReposition(Handler h) {
    const int id = nextHandler_++;
    handlers_.push_back(std::make_shared<HandlerEntry>(HandlerEntry{id, std::move(h)}));
    return id;
}

void Recordset::removeRepositionHandler(int id) {
    for (auto it = handlers_.begin(); it != handlers_.end(); ++it) {
        if ((*it)->id == id) {
            (*it)->alive = false;
            handlers_.erase(it);
            return;
        }
    }
}

void Recordset::fireReposition() {
    // The position rules: the current row is a row index, -1 before the
    // first (BOF) or the count after the last (EOF); a deleted current row
    // leaves the index of the row after it; a pending row has every field.
    assert(pos_ >= -1 && pos_ <= recordCount());
    assert(!deleted_ || pos_ >= 0);
    assert(edit_ == EditState::None || pending_.size() == columns().size());
    if (handlers_.empty())
        return;
    // A handler may move this or another recordset, add or remove handlers, or
    // even destroy this recordset: call a copy of the list, skip handlers
    // removed meanwhile, and stop when this recordset is gone.
    const std::shared_ptr<bool> alive = alive_;
    if (handlers_.size() == 1) {
        const auto entry = handlers_.front();
        entry->fn();
        return;
    }
    const auto list = handlers_;
    for (const auto& entry : list) {
        if (!*alive)
            return;
        if (entry->alive)
            entry->fn();
    }
}

}  // namespace tv
