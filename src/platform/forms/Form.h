#pragma once
// Windows: one instance per window class for the whole process. Loading builds
// the widgets and runs the load handler; unloading destroys the widgets but
// keeps the instance and its own variables; the next use loads it again.
// The data windows are children of the main window's MDI area; every other
// window is top-level without a parent; Ctrl+F4 closes the child window in
// front. In every window Enter presses the focused push button (a control in
// an Enter ring follows the ring).

#include <QMdiSubWindow>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <stdexcept>
#include <vector>

class QAbstractButton;
class QMdiArea;

namespace tv::forms {

class Form {
public:
    enum class Kind { TopLevel, MdiChild };

    Form(QString name, Kind kind);
    virtual ~Form();
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

    const QString& name() const { return name_; }
    Kind kind() const { return kind_; }
    bool isLoaded() const { return widget_ != nullptr; }
    // The window's widget (objectName = name()), null when not loaded.
    QWidget* widget() const { return widget_; }

    // Loads hidden when not loaded: build(), then onLoad() under the handler
    // guard. Loading a loaded window does nothing.
    void load();
    // Loads if needed, shows (in the MDI area for a child), raises and activates.
    void show();
    void hide();
    // Runs onUnload(), destroys the widgets; the instance stays. The widgets
    // are hidden and lose their names at once and are deleted when control
    // returns to the event loop, so a window may unload itself from one of
    // its own handlers.
    void unload();
    // The MDI sub-window holding a child window, null otherwise.
    QMdiSubWindow* subWindow() const { return sub_; }
    // The scale the window was built at: below 1 when its design did not
    // fit the room it had (the main window's area, or the screen).
    double scale() const { return scale_; }

    // A control of the loaded window by its objectName; null when not loaded
    // or not found.
    template <class T>
    T* control(const QString& objectName) const {
        return widget_ ? widget_->findChild<T*>(objectName) : nullptr;
    }

protected:
    // The size of the window's design (its client area, in twips); a window
    // that gives one is drawn smaller when the design does not fit.
    virtual QSize designSize() const { return {}; }
    // Creates the controls on `root` (objectNames are the window's control
    // names) and sets the window's caption and size.
    virtual void build(QWidget* root) = 0;
    // The load handler.
    virtual void onLoad() {}
    // Runs before the widgets go away (by unload() or by the close box).
    virtual void onUnload() {}
    // The close box: return false to keep the window open.
    virtual bool onQueryClose() { return true; }
    // The window's exit button (返回, 退出): its close box, Alt+F4 and, in
    // the main window's area, Ctrl+F4 do what that button does, also while
    // the button is disabled (onUnload() then drops what is pending). A
    // window without one only unloads by its close box.
    void setExitButton(QAbstractButton* button);

private:
    friend class FormWidget;
    // The window's own record of its controls: made before build(), dropped
    // when the widgets go (Window<Ui> below).
    template <class Ui>
    friend class Window;
    template <class T>
    static T* checked(T* ui) {
        if (!ui)
            throw std::logic_error("窗口没有打开。");
        return ui;
    }
    virtual void makeControls() {}
    virtual void dropControls() {}
    // The close box: false keeps the window.
    bool widgetClosing();
    void detachWidgets();
    // The room the window gets: the main window's area for a child window,
    // the screen's work area for a top-level one (pixels).
    QSize room() const;
    QString name_;
    Kind kind_;
    QPointer<QWidget> widget_;
    QPointer<QMdiSubWindow> sub_;
    QPointer<QAbstractButton> exit_;
    bool unloading_ = false;
    double scale_ = 1.0;
};

// A window whose controls are kept in a struct `Ui` of pointers (the widgets
// themselves are owned by their Qt parents). The struct exists exactly while
// the window is loaded: made before build(), gone with the widgets, so that
// no pointer to a destroyed control outlives an unload.
template <class Ui>
class Window : public Form {
public:
    using Form::Form;

protected:
    // The controls; only while loaded (a logic error otherwise, which the
    // handler guard reports instead of crashing).
    Ui& ui() { return *checked(ui_.get()); }
    const Ui& ui() const { return *checked(ui_.get()); }
    bool hasUi() const { return ui_ != nullptr; }

private:
    void makeControls() override { ui_ = std::make_unique<Ui>(); }
    void dropControls() override { ui_.reset(); }
    std::unique_ptr<Ui> ui_;
};

// The registry of window classes by name. The application registers every
// window class once at start; tests register what they drive.
class Registry {
public:
    using Factory = std::function<Form*()>;
    static void add(const QString& name, Factory factory);
    // The instance, created on first use (not loaded by this call);
    // null when no such window class is registered.
    static Form* instance(const QString& name);
    // The instance only when it is loaded, else null. Code that must not load
    // a window as a side effect goes through this.
    static Form* loaded(const QString& name);
    static bool isLoaded(const QString& name);
    // The main window's client area for the MDI children (its Ctrl+F4
    // closes the child in front).
    static void setMdiArea(QMdiArea* area);
    static QMdiArea* mdiArea();
    // Unloads every loaded window (end of the program, between tests).
    static void unloadAll();
    // Tests: forget every instance and factory (the widgets are destroyed
    // at once).
    static void clear();
    // Names of the loaded windows.
    static QStringList loadedNames();
    static std::vector<Form*> loadedForms();
    // The loaded window that offers the interface I, null when none is
    // loaded: how a window reaches another window's controls. A window that
    // is not loaded is never loaded by this.
    template <class I>
    static I* loadedAs() {
        for (Form* f : loadedForms())
            if (I* i = dynamic_cast<I*>(f))
                return i;
        return nullptr;
    }
};

// The typed instance of a window class T with a static `kName`.
template <class T>
T& the() {
    Form* f = Registry::instance(QString::fromLatin1(T::kName));
    if (!f) {
        Registry::add(QString::fromLatin1(T::kName), [] { return new T(); });
        f = Registry::instance(QString::fromLatin1(T::kName));
    }
    return *static_cast<T*>(f);
}

}  // namespace tv::forms
