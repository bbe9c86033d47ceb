// Child widgets, pictures and fonts of the windows.
#include "platform/forms/Controls.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/Pictures.h"

#include <QComboBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPixmap>

#include <memory>

namespace tv::forms {

namespace {

// Keeps a list as it is: its edit line is read-only, and the keys, the wheel
// and the clicks that would choose another item or open the drop-down stop
// here. The caret's moves and copying reach the edit line; Tab and Enter go on.
class ListLock : public QObject {
public:
    static constexpr const char* kName = "ListLock";
    explicit ListLock(QComboBox* list) : QObject(list), list_(list) {
        setObjectName(QString::fromLatin1(kName));
        list->installEventFilter(this);
    }

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        switch (event->type()) {
            case QEvent::Wheel:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                return true;
            case QEvent::KeyPress:
                return choosesItem(static_cast<QKeyEvent*>(event)->key());
            default:
                return false;
        }
    }

private:
    bool choosesItem(int key) const {
        if (key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_PageUp || key == Qt::Key_PageDown ||
            key == Qt::Key_F4)
            return true;
        // A list without an edit line also takes Home, End, Space and letters as a choice.
        return !list_->isEditable() && key != Qt::Key_Tab && key != Qt::Key_Backtab && key != Qt::Key_Return &&
               key != Qt::Key_Enter && key != Qt::Key_Escape;
    }
    QComboBox* list_;
};

// What setTakesTyping() asked and holdCutValue() holds, kept on the box.
const char* const kTakes = "tvTakesTyping";
const char* const kHeld = "tvHoldsCutValue";

void applyTyping(QWidget* box) {
    const bool takes = box->property(kTakes).value<bool>() && !box->property(kHeld).value<bool>();
    if (auto* list = qobject_cast<QComboBox*>(box)) {
        // By its name: a lock has no meta-object of its own to be told apart by.
        QObject* lock = list->findChild<QObject*>(QString::fromLatin1(ListLock::kName), Qt::FindDirectChildrenOnly);
        if (!takes && !lock)
            new ListLock(list);
        else if (takes && lock)
            delete lock;
        box = list->lineEdit();
    }
    if (auto* line = qobject_cast<QLineEdit*>(box))
        line->setReadOnly(!takes);
}

}  // namespace

void setTakesTyping(QWidget* box, bool takes) {
    box->setProperty(kTakes, takes);
    applyTyping(box);
}

void holdCutValue(QWidget* box, bool cut) {
    if (box->property(kHeld).value<bool>() == cut)
        return;
    if (!box->property(kTakes).isValid())
        box->setProperty(kTakes, !box->property("readOnly").toBool());
    box->setProperty(kHeld, cut);
    applyTyping(box);
}

void refuseOverlong(QLineEdit* box, std::function<QString()> field) {
    // One more than it holds: a longer text shows itself, never cut silently.
    box->setMaxLength(kBoxChars + 1);
    auto held = std::make_shared<QString>(box->text());
    QObject::connect(box, &QLineEdit::textChanged, box, [box, held, field = std::move(field)] {
        if (box->text().size() <= kBoxChars) {
            *held = box->text();
            return;
        }
        box->setText(*held);
        tv::dlg::msgBox(
            QStringLiteral("“%1”最多能输入 %2 个字，粘贴或输入的内容太长，没有放进去。").arg(field()).arg(kBoxChars),
            tv::dlg::Info, tv::dlg::kNoteTitle);
    });
}

bool loadPicture(QLabel* label, const QString& path) {
    const QPixmap pm = QPixmap::fromImage(readPictureFile(path));
    label->setPixmap(pm);
    return !pm.isNull();
}

namespace {
class ClickFilter : public QObject {
public:
    ClickFilter(QLabel* label, std::function<void()> handler) : QObject(label), handler_(std::move(handler)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseButtonRelease) {
            auto* me = static_cast<QMouseEvent*>(event);
            auto* w = static_cast<QWidget*>(watched);
            if (me->button() == Qt::LeftButton && w->rect().contains(me->position().toPoint())) {
                guard(handler_);
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> handler_;
};
}  // namespace

void onLabelClick(QLabel* label, std::function<void()> handler) {
    label->installEventFilter(new ClickFilter(label, std::move(handler)));
}

QFont songTi(double points) {
    QFont f;
    f.setFamilies({QStringLiteral("SimSun"), QStringLiteral("AR PL UMing CN")});
    f.setPointSizeF(points * designScale());
    return f;
}

QFont liShu(double points, bool bold) {
    QFont f;
    f.setFamilies({QStringLiteral("隶书"), QStringLiteral("AR PL UKai CN")});
    f.setPointSizeF(points * designScale());
    f.setBold(bold);
    return f;
}

}  // namespace tv::forms
