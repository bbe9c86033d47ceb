// The status box: its texts from their start, and the room its caption leaves.
#include "platform/forms/StatusBox.h"

#include "platform/forms/Geometry.h"

#include <QEvent>
#include <QLabel>
#include <QLineEdit>

namespace tv::forms {

namespace {

// A line box shows the place of its cursor, which a new text puts at its
// end: a text longer than the box would lose its start. The cursor goes back
// to the start except while the user is in the box.
class StartShown : public QObject {
public:
    explicit StartShown(QLineEdit* box) : QObject(box), box_(box) {
        box->installEventFilter(this);
        connect(box, &QLineEdit::cursorPositionChanged, this, [this] {
            if (!box_->hasFocus())
                box_->setCursorPosition(0);
        });
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut)
            box_->setCursorPosition(0);
        return false;
    }

private:
    QLineEdit* box_;
};

}  // namespace

QLineEdit* statusBox(QLineEdit* box, QLabel* caption) {
    box->setReadOnly(true);
    box->setCursorPosition(0);
    new StartShown(box);
    if (caption) {
        const QRect row = box->geometry();
        caption->resize(caption->sizeHint().width(), caption->height());
        const int left = caption->geometry().right() + 1 + px(60);
        if (left < row.left())
            box->setGeometry(left, row.top(), row.right() - left + 1, row.height());
    }
    return box;
}

}  // namespace tv::forms
