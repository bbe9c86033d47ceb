// The one guard every event handler runs in.
#include "platform/forms/Guard.h"

#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/print/Printer.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QWidget>

#include <algorithm>
#include <exception>
#include <memory>
#include <vector>

namespace tv::forms {

namespace {

// The wait cursor of the running handlers. What goes on is a stack of
// layers: the handlers, nested as they call each other, and the modal
// windows shown while they run. The cursor waits while the top layer is a
// handler; a modal window on top has the normal cursor until it goes. One
// override cursor stands for all the nested handlers, and it is gone once
// the outermost handler ends, however it ends.
class BusyCursor {
public:
    static BusyCursor& instance() {
        static BusyCursor cursor;
        return cursor;
    }

    void enter() {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            return;  // no windows, no cursor
        if (layers_.empty())
            watch_ = std::make_unique<ModalWatch>(*this);
        layers_.push_back(Layer{});
        apply();
    }

    void leave() {
        const auto handler = std::find_if(layers_.rbegin(), layers_.rend(), [](const Layer& l) { return l.handler; });
        if (handler == layers_.rend())
            return;
        layers_.erase(std::next(handler).base());
        if (std::none_of(layers_.begin(), layers_.end(), [](const Layer& l) { return l.handler; })) {
            layers_.clear();  // a modal window left open outlives the handlers: not ours to follow
            watch_.reset();
        }
        apply();
    }

private:
    struct Layer {
        bool handler = true;
        const QObject* window = nullptr;  // a modal window's identity (it may be gone)
    };

    // Sees the top-level windows that open modally and close while a handler runs.
    class ModalWatch : public QObject {
    public:
        explicit ModalWatch(BusyCursor& cursor) : cursor_(cursor) {
            QCoreApplication::instance()->installEventFilter(this);
        }

    protected:
        bool eventFilter(QObject* watched, QEvent* event) override {
            if (event->type() == QEvent::Show) {
                auto* w = qobject_cast<QWidget*>(watched);
                if (w && w->isWindow() && w->isModal())
                    cursor_.opened(w);
            } else if (event->type() == QEvent::Hide) {
                cursor_.closed(watched);
            }
            return false;
        }

    private:
        BusyCursor& cursor_;
    };

    void opened(QWidget* window) {
        if (std::any_of(layers_.begin(), layers_.end(), [window](const Layer& l) { return l.window == window; }))
            return;
        layers_.push_back(Layer{false, window});
        // A window deleted while shown may never say it hides.
        QObject::connect(window, &QObject::destroyed, watch_.get(), [this, window] { closed(window); });
        apply();
    }

    void closed(const QObject* window) {
        const auto before = layers_.size();
        std::erase_if(layers_, [window](const Layer& l) { return !l.handler && l.window == window; });
        if (layers_.size() != before)
            apply();
    }

    void apply() {
        const bool wait = !layers_.empty() && layers_.back().handler;
        if (wait == shown_)
            return;
        if (wait)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        else
            QGuiApplication::restoreOverrideCursor();
        shown_ = wait;
    }

    std::vector<Layer> layers_;
    std::unique_ptr<ModalWatch> watch_;
    bool shown_ = false;
};

// The wait cursor for as long as it lives.
class Busy {
public:
    Busy() { BusyCursor::instance().enter(); }
    ~Busy() { BusyCursor::instance().leave(); }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;
};

}  // namespace

void guard(const std::function<void()>& handler) {
    QString text;
    {
        const Busy busy;
        try {
            handler();
            return;
        } catch (const tv::DbError& e) {
            text = e.text();
        } catch (const tv::print::PrintError& e) {
            text = e.text();
        } catch (const std::exception& e) {
            text = QString::fromUtf8(e.what());
        } catch (...) {
            text = QStringLiteral("发生了未知的错误。");
        }
    }
    // The job that was being printed is dropped before the user is told.
    try {
        tv::print::Printer& printer = tv::print::Printer::device();
        if (printer.isOpen())
            printer.abort();
    } catch (...) {
    }
    try {
        tv::dlg::msgBox(text, tv::dlg::Info, tv::dlg::kNoteTitle);
    } catch (...) {
    }
}

void onClick(QAbstractButton* button, std::function<void()> handler) {
    QObject::connect(button, &QAbstractButton::clicked, button, [h = std::move(handler)] { guard(h); });
}

}  // namespace tv::forms
