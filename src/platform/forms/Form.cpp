// Windows and the registry of window classes.
#include "platform/forms/Form.h"

#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/StatusPanels.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QStyle>

#include <map>
#include <memory>

namespace tv::forms {

namespace {
// The key that closes the window in front in the main window's area.
const QKeySequence kCloseFront(Qt::CTRL | Qt::Key_F4);
}  // namespace

// The root widget of a window: its close box goes through the window's
// close handler, Enter presses the focused push button, and its size hint is
// the size the window was built with.
class FormWidget : public QWidget {
public:
    explicit FormWidget(Form* form) : form_(form) {}
    QSize sizeHint() const override { return builtSize_.isValid() ? builtSize_ : QWidget::sizeHint(); }
    void keepBuiltSize() { builtSize_ = size(); }
    void detach() { form_ = nullptr; }

protected:
    // Enter on a focused push button presses it, in every window (Qt leaves
    // Enter to the default button of a dialog). The button ignores the key,
    // so it comes here; a control in an Enter ring never lets it through.
    void keyPressEvent(QKeyEvent* e) override {
        auto* button = qobject_cast<QPushButton*>(QApplication::focusWidget());
        if ((e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter) && !e->isAutoRepeat() && button &&
            isAncestorOf(button)) {
            e->accept();
            button->click();
            return;
        }
        QWidget::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override {
        if (form_ && !form_->widgetClosing()) {
            e->ignore();
            return;
        }
        e->accept();
    }

private:
    Form* form_;
    QSize builtSize_;
};

Form::Form(QString name, Kind kind) : name_(std::move(name)), kind_(kind) {}

Form::~Form() {
    if (widget_)
        static_cast<FormWidget*>(widget_.data())->detach();
    if (sub_)
        delete sub_.data();
    else
        delete widget_.data();
}

void Form::load() {
    if (widget_)
        return;
    auto* root = new FormWidget(this);
    root->setObjectName(name_);
    root->setAttribute(Qt::WA_DeleteOnClose, false);
    widget_ = root;
    scale_ = fitScale(designSize() / 15, room());
    DesignScale scale(scale_);
    if (scale_ < 1) {
        QFont font = root->font();
        font.setPointSizeF(font.pointSizeF() * scale_);
        root->setFont(font);
    }
    makeControls();
    build(root);
    root->keepBuiltSize();
    if (kind_ == Kind::MdiChild && Registry::mdiArea()) {
        sub_ = Registry::mdiArea()->addSubWindow(root);
        sub_->setObjectName(name_ + QStringLiteral("_sub"));
        // The area's Ctrl+F4 closes it; its own Close keeps only the others.
        for (QAction* action : sub_->systemMenu()->actions()) {
            QList<QKeySequence> keys = action->shortcuts();
            if (keys.removeAll(kCloseFront) > 0)
                action->setShortcuts(keys);
        }
        sub_->hide();
        sub_->resize(sub_->sizeHint());
    }
    guard([this] { onLoad(); });
}

QSize Form::room() const {
    if (kind_ == Kind::MdiChild && Registry::mdiArea()) {
        // Inside the area a child window keeps its title bar and frame, maximised too.
        const QStyle* style = Registry::mdiArea()->style();
        const int frame = style->pixelMetric(QStyle::PM_MdiSubWindowFrameWidth);
        const int title = style->pixelMetric(QStyle::PM_TitleBarHeight);
        return Registry::mdiArea()->viewport()->size() - QSize(2 * frame, title + 2 * frame);
    }
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return {};
    // A top-level window keeps room for its frame and title bar.
    return screen->availableGeometry().size() - QSize(16, 48);
}

void Form::show() {
    load();
    if (!widget_)
        return;  // the load handler unloaded it
    if (sub_) {
        widget_->show();
        sub_->show();
        if (QMdiArea* area = sub_->mdiArea())
            area->setActiveSubWindow(sub_);
        sub_->raise();
    } else {
        widget_->show();
        widget_->raise();
        widget_->activateWindow();
    }
}

void Form::hide() {
    if (sub_)
        sub_->hide();
    else if (widget_)
        widget_->hide();
}

void Form::unload() {
    if (!widget_ || unloading_)
        return;
    unloading_ = true;
    guard([this] { onUnload(); });
    detachWidgets();
    unloading_ = false;
    if (StatusPanels* main = Registry::loadedAs<StatusPanels>())
        guard([this, main] { main->windowGone(kind_ == Kind::MdiChild); });
}

void Form::detachWidgets() {
    QWidget* w = widget_;
    QMdiSubWindow* s = sub_;
    widget_ = nullptr;
    sub_ = nullptr;
    exit_ = nullptr;
    dropControls();
    if (!w)
        return;
    static_cast<FormWidget*>(w)->detach();
    // The old controls live on until the event loop deletes them: none of
    // them may run a handler of the window any more.
    const auto objects = w->findChildren<QObject*>();
    for (QObject* o : objects) o->blockSignals(true);
    w->setObjectName(QString());
    if (s) {
        s->setObjectName(QString());
        s->hide();
        s->deleteLater();
    } else {
        w->hide();
        w->deleteLater();
    }
}

void Form::setExitButton(QAbstractButton* button) { exit_ = button; }

bool Form::widgetClosing() {
    if (unloading_)
        return true;
    if (exit_) {
        // As a press of the button (its handler runs in the guard); the
        // window closes when the handler unloaded it.
        emit exit_->clicked(false);
        return !isLoaded();
    }
    bool close = true;
    guard([&] { close = onQueryClose(); });
    if (!close)
        return false;
    unload();
    return true;
}

// --- registry ---------------------------------------------------------------

namespace {
struct RegistryData {
    std::map<QString, Registry::Factory> factories;
    std::map<QString, std::unique_ptr<Form>> instances;
    QPointer<QMdiArea> mdiArea;
};
RegistryData& R() {
    static RegistryData r;
    return r;
}
}  // namespace

void Registry::add(const QString& name, Factory factory) { R().factories[name] = std::move(factory); }

Form* Registry::instance(const QString& name) {
    auto it = R().instances.find(name);
    if (it != R().instances.end())
        return it->second.get();
    auto f = R().factories.find(name);
    if (f == R().factories.end())
        return nullptr;
    Form* form = f->second();
    R().instances[name].reset(form);
    return form;
}

Form* Registry::loaded(const QString& name) {
    auto it = R().instances.find(name);
    if (it == R().instances.end() || !it->second->isLoaded())
        return nullptr;
    return it->second.get();
}

bool Registry::isLoaded(const QString& name) { return loaded(name) != nullptr; }

void Registry::setMdiArea(QMdiArea* area) {
    R().mdiArea = area;
    // Ctrl+F4 closes the window in front, as its close box does, whatever
    // keys the desktop gives a child window's own Close.
    if (!area || area->findChild<QShortcut*>(QStringLiteral("CloseFront"), Qt::FindDirectChildrenOnly))
        return;
    auto* closeFront = new QShortcut(kCloseFront, area);
    closeFront->setObjectName(QStringLiteral("CloseFront"));
    QObject::connect(closeFront, &QShortcut::activated, area, [area] {
        if (QMdiSubWindow* front = area->currentSubWindow())
            front->close();
    });
}

QMdiArea* Registry::mdiArea() { return R().mdiArea; }

void Registry::unloadAll() {
    for (const QString& name : loadedNames())
        if (Form* f = loaded(name))
            f->unload();
}

QStringList Registry::loadedNames() {
    QStringList names;
    for (auto& [name, form] : R().instances)
        if (form->isLoaded())
            names << name;
    return names;
}

std::vector<Form*> Registry::loadedForms() {
    std::vector<Form*> forms;
    for (auto& [name, form] : R().instances)
        if (form->isLoaded())
            forms.push_back(form.get());
    return forms;
}

void Registry::clear() {
    unloadAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    R().instances.clear();
    R().factories.clear();
    R().mdiArea = nullptr;
}

}  // namespace tv::forms
