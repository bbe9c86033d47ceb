#include "frame/FrameKit.h"

#include <QMdiSubWindow>  // before Form.h, which needs the whole type

#include "frame/Module1.h"
#include "platform/forms/Form.h"
#include "platform/forms/Guard.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QStatusBar>

namespace tv::frame {

void place(QWidget* w, int left, int top, int width, int height) {
    QSize hint = w->sizeHint();
    int wpx = px(width), hpx = px(height);
    int wantW = qMax(wpx, hint.isValid() ? hint.width() : 0);
    int wantH = qMax(hpx, hint.isValid() ? hint.height() : 0);
    int y = px(top) - (wantH - hpx) / 2;
    w->setGeometry(px(left), qMax(0, y), wantW, wantH);
}

void centerOnScreen(QWidget* window) {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect r = screen->availableGeometry();
        window->move(r.center() - QPoint(window->width() / 2, window->height() / 2));
    }
}

bool loadPicture(QLabel* label, const QString& path) {
    QPixmap pm(path);
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
                tv::forms::guard(handler_);
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

namespace {
QLabel* panel1() {
    tv::forms::Form* main = tv::forms::Registry::loaded(QStringLiteral("MDIVamo"));
    if (!main)
        return nullptr;
    auto* bar = main->control<QStatusBar>(QStringLiteral("StatusBar1"));
    return bar ? bar->findChild<QLabel*>(QStringLiteral("Panel1")) : nullptr;
}
}  // namespace

void setStatusPanel1(const QString& text) {
    if (QLabel* p = panel1())
        p->setText(text);
}

QString statusPanel1() {
    QLabel* p = panel1();
    return p ? p->text() : QString();
}

void endIfNoWindowLeft() {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        Qt::WindowType t = w->windowType();
        if (w->isVisible() && t != Qt::Popup && t != Qt::ToolTip && t != Qt::Desktop)
            return;
    }
    endProgram(0);
}

}  // namespace tv::frame
