#pragma once
// The Enter-key order of a data-entry window: Enter in one control moves the
// focus to the next enabled, visible control of the ring (disabled and hidden
// ones are skipped). It acts on the key press (Return or the keypad's Enter),
// one press is one step, and the key is consumed: it never reaches the
// control (a combo box does not take it as its own Enter).
// Without a parent the ring is owned by the first control of the order.

#include <QObject>
#include <QPointer>
#include <QWidget>

#include <vector>

namespace tv::forms {

class EnterRing : public QObject {
    Q_OBJECT
public:
    // `order[i]` moves to `order[i+1]`, the last to the first (when `closed`).
    EnterRing(std::vector<QWidget*> order, bool closed = true, QObject* parent = nullptr);
    // A link outside the plain order: Enter in `from` goes to `to`.
    void link(QWidget* from, QWidget* to);
    // A control in the ring where the ring does not act: Enter is passed on
    // to the control's own handling (e.g. a button or returnPressed).
    void stop(QWidget* w);
    // Tab and Shift+Tab take the ring's path too, so that a form is filled in
    // one order whichever key moves on (after the last control Tab goes on to
    // the rest of the window).
    void alsoByTab();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* after(int from) const;
    QWidget* nextOf(QWidget* w) const;
    std::vector<QPointer<QWidget>> order_;
    std::vector<std::pair<QPointer<QWidget>, QPointer<QWidget>>> links_;
    std::vector<QPointer<QWidget>> stops_;
    bool closed_;
};

}  // namespace tv::forms
