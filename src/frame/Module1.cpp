#include "frame/Module1.h"

#include "frame/FrmXTMM.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/ScrollBars.h"

#include <QApplication>
#include <QEvent>
#include <QFont>
#include <QMetaObject>
#include <QWidget>

namespace tv::frame {

namespace {
std::function<void(int)> g_endHook;
bool g_ending = false;

// Looks at every window that goes off the screen; once control is back in
// the event loop and nothing is shown any more, the program ends.
class LastWindowWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Hide && watched->isWidgetType() && static_cast<QWidget*>(watched)->isWindow() &&
            !pending_) {
            pending_ = true;
            QMetaObject::invokeMethod(
                this,
                [this] {
                    pending_ = false;
                    if (!g_ending && !QApplication::activeModalWidget())
                        endIfNoWindowLeft();
                },
                Qt::QueuedConnection);
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool pending_ = false;
};
LastWindowWatch* g_watch = nullptr;
}  // namespace

void prepareApplication(QApplication& app) {
    tv::dlg::useChinese();
    tv::forms::useClearScrollBars();
    app.setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    app.setApplicationName(QStringLiteral("Tenvora"));
    app.setQuitOnLastWindowClosed(true);
}

void Main() {
    FrmXTMM& login = tv::forms::the<FrmXTMM>();
    login.load();
    if (login.userDbFailed()) {
        // The window has told the user why; without accounts nobody can log in.
        login.unload();
        endProgram(1);
        return;
    }
    login.show();
}

void endProgram(int code) {
    if (g_endHook) {
        g_endHook(code);
        return;
    }
    g_ending = true;
    // Queued, so that it also works before the event loop has started.
    QMetaObject::invokeMethod(
        qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

void setEndProgramHook(std::function<void(int)> hook) { g_endHook = std::move(hook); }

void endIfNoWindowLeft() {
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* w : windows) {
        const Qt::WindowType t = w->windowType();
        if (w->isVisible() && t != Qt::Popup && t != Qt::ToolTip && t != Qt::Desktop)
            return;
    }
    endProgram(0);
}

void endWithTheLastWindow(bool on) {
    if (on && !g_watch) {
        g_watch = new LastWindowWatch(qApp);
        qApp->installEventFilter(g_watch);
    } else if (!on && g_watch) {
        delete g_watch;  // also leaves the application's filters
        g_watch = nullptr;
    }
}

}  // namespace tv::frame
