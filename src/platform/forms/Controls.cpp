// Child widgets, pictures and fonts of the windows.
#include "platform/forms/Controls.h"

#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/Pictures.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>

namespace tv::forms {

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
