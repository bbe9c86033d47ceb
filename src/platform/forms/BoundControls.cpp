// Text box, combo box and picture bound to a field of a data source.
#include "platform/forms/BoundControls.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Pictures.h"
#include "platform/values/FileRead.h"

#include <QPixmap>
#include <QResizeEvent>

namespace tv::forms {

namespace {

// The value of `field` in the row the source shows: the pending row while
// adding or editing, the current row otherwise; Null without one. A long
// text is cut to what a box shows (`*cut` set).
tv::Value shownValue(DataControl* source, const QString& field, bool* cut) {
    *cut = false;
    if (!source || field.isEmpty() || !source->isOpen())
        return tv::Value();
    try {
        tv::Recordset& rs = source->recordset();
        const int column = rs.columnIndex(field);
        if (column < 0)
            return tv::Value();
        if (rs.editState() == tv::Recordset::EditState::None && !rs.hasCurrent())
            return tv::Value();
        return rs.field(column, kShownChars, cut);
    } catch (const tv::DbError&) {
        return tv::Value();
    }
}

// A box showing a value cut short takes no typing and says why in its
// tooltip, until it shows one whole.
void tellCut(QWidget* box, bool cut, bool& told) {
    if (cut || told)
        box->setToolTip(cut ? cutValueTip() : QString());
    told = cut;
    holdCutValue(box, cut);
}

// True when the source has a pending row to write into.
bool pending(DataControl* source) {
    return source && source->isOpen() && source->recordset().editState() != tv::Recordset::EditState::None;
}

// A text too long for the box is refused naming the field as the window does.
void limitTyping(QLineEdit* line, DataControl* source, const QString& field) {
    refuseOverlong(line, [source, field] { return source->fieldCaption(field); });
}

template <class Control>
void connectSource(Control* c, DataControl* source) {
    source->addBound(c);
    QObject::connect(source, &DataControl::reposition, c, &Control::redisplay);
    QObject::connect(source, &DataControl::recordChanged, c, &Control::redisplay);
}

// Typed text as a field value: empty text is Null.
tv::Value typed(const QString& text) { return text.isEmpty() ? tv::Value() : tv::Value(text); }

}  // namespace

// --- text box ----------------------------------------------------------------

BoundTextBox::BoundTextBox(QWidget* parent) : QLineEdit(parent) {}

void BoundTextBox::bind(DataControl* source, const QString& field) {
    source_ = source;
    field_ = field;
    connectSource(this, source);
    limitTyping(this, source, field);
    redisplay();
}

QString BoundTextBox::field() const { return field_; }

void BoundTextBox::redisplay() {
    bool cut = false;
    shown_ = shownValue(source_, field_, &cut).toText();
    setText(shown_);
    setCursorPosition(0);
    tellCut(this, cut, cutTold_);
}

void BoundTextBox::commit() {
    if (!pending(source_) || text() == shown_)
        return;
    source_->recordset().setField(field_, typed(text()));
}

// --- combo box ---------------------------------------------------------------

BoundCombo::BoundCombo(QWidget* parent) : QComboBox(parent) {
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
}

void BoundCombo::bind(DataControl* source, const QString& field) {
    source_ = source;
    field_ = field;
    connectSource(this, source);
    limitTyping(lineEdit(), source, field);
    redisplay();
}

QString BoundCombo::field() const { return field_; }

void BoundCombo::redisplay() {
    bool cut = false;
    shown_ = shownValue(source_, field_, &cut).toText();
    tellCut(this, cut, cutTold_);
    const int i = findText(shown_, Qt::MatchExactly | Qt::MatchCaseSensitive);
    setCurrentIndex(shown_.isEmpty() ? -1 : i);
    setEditText(shown_);
}

void BoundCombo::commit() {
    if (!pending(source_) || currentText() == shown_)
        return;
    source_->recordset().setField(field_, typed(currentText()));
}

// --- picture -----------------------------------------------------------------

BoundImage::BoundImage(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    setMinimumSize(1, 1);
}

void BoundImage::bind(DataControl* source, const QString& field) {
    source_ = source;
    field_ = field;
    if (source && !field.isEmpty()) {
        connectSource(this, source);
        redisplay();
    }
}

QString BoundImage::field() const { return field_; }
QByteArray BoundImage::bytes() const { return bytes_; }
QImage BoundImage::image() const { return image_; }

bool BoundImage::setBytes(const QByteArray& bytes) {
    if (bytes.isEmpty()) {
        clearPicture();
        return true;
    }
    QImage img = decodePicture(bytes);
    if (img.isNull())
        return false;
    bytes_ = bytes;
    image_ = img;
    changed_ = true;
    render();
    return true;
}

void BoundImage::clearPicture() {
    changed_ = changed_ || !bytes_.isEmpty();
    bytes_.clear();
    image_ = QImage();
    render();
}

bool BoundImage::loadFile(const QString& path) {
    const tv::FileRead file = tv::readRegularFile(path, kMaxPictureFileBytes);
    return file.ok() && setBytes(file.bytes);
}

void BoundImage::commit() {
    if (!pending(source_) || field_.isEmpty() || !changed_)
        return;
    source_->recordset().setField(field_, bytes_.isEmpty() ? tv::Value() : tv::Value(bytes_));
}

void BoundImage::redisplay() {
    if (!source_ || field_.isEmpty())
        return;
    bool cut = false;  // bytes are never cut
    const tv::Value v = shownValue(source_, field_, &cut);
    bytes_ = v.toBytes();
    image_ = decodePicture(bytes_);
    changed_ = false;
    render();
}

void BoundImage::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    render();
}

// Stretched to the control, as the picture box did.
void BoundImage::render() {
    if (image_.isNull() || width() < 1 || height() < 1) {
        setPixmap(QPixmap());
        return;
    }
    setPixmap(QPixmap::fromImage(image_.scaled(size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
}

void commitBound(QWidget* root, DataControl* source) {
    if (!root || !source)
        return;
    for (auto* t : root->findChildren<BoundTextBox*>())
        if (t->source() == source)
            t->commit();
    for (auto* c : root->findChildren<BoundCombo*>())
        if (c->source() == source)
            c->commit();
    for (auto* i : root->findChildren<BoundImage*>())
        if (i->source() == source)
            i->commit();
}

}  // namespace tv::forms
