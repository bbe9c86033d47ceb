#pragma once
// Controls bound to a field of a DataControl. They show the field of the
// current row (again after every row change, AddNew and CancelUpdate); what
// the user types is written to the row only by the source's Update:
// DataControl::update() commits every control bound to it first (a window
// that calls the recordset's update() itself calls commitBound() before).
// A control writes its field only when its content differs from what it
// showed; empty text is written as Null. A box shows at most kShownChars
// characters of a text (its tooltip says when it is cut): left as it shows,
// the value stays whole in the file.

#include "platform/forms/DataControl.h"

#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>

namespace tv::forms {

class BoundTextBox : public QLineEdit {
    Q_OBJECT
public:
    explicit BoundTextBox(QWidget* parent = nullptr);
    void bind(DataControl* source, const QString& field);
    QString field() const;
    DataControl* source() const { return source_; }
    // Puts the typed text into the pending row of the source.
    void commit();
    // Shows the current row's value again.
    void redisplay();

private:
    DataControl* source_ = nullptr;
    QString field_;
    QString shown_;
    bool cutTold_ = false;  // the tooltip says the value shown is cut
};

// An editable combo bound by its text; typed text is never inserted as an item.
class BoundCombo : public QComboBox {
    Q_OBJECT
public:
    explicit BoundCombo(QWidget* parent = nullptr);
    void bind(DataControl* source, const QString& field);
    QString field() const;
    DataControl* source() const { return source_; }
    void commit();
    void redisplay();

private:
    DataControl* source_ = nullptr;
    QString field_;
    QString shown_;
    bool cutTold_ = false;
};

// A picture (BLOB) shown stretched; the original bytes are kept for printing
// and for writing back unchanged.
class BoundImage : public QLabel {
    Q_OBJECT
public:
    explicit BoundImage(QWidget* parent = nullptr);
    void bind(DataControl* source, const QString& field);  // field may be "" (unbound picture)
    QString field() const;
    DataControl* source() const { return source_; }
    // The picture's original bytes ("" when none) and the decoded image.
    QByteArray bytes() const;
    QImage image() const;
    // Sets a new picture (e.g. a picked file); false when the bytes are not a
    // picture (nothing changes then).
    bool setBytes(const QByteArray& bytes);
    void clearPicture();
    // A picture file of the program's folder (read safely, see Pictures.h);
    // false when it is missing or no picture (nothing changes then).
    bool loadFile(const QString& path);
    void commit();
    void redisplay();

protected:
    void resizeEvent(QResizeEvent* e) override;

private:
    void render();
    DataControl* source_ = nullptr;
    QString field_;
    QByteArray bytes_;
    QImage image_;
    bool changed_ = false;  // set by the window since the last redisplay
};

// Commits every bound control on `root` that is bound to `source`.
void commitBound(QWidget* root, DataControl* source);

}  // namespace tv::forms
