#pragma once
// The Enter-key order of a data-entry window: Enter in one control moves the
// focus to the next enabled, visible control of the ring. It acts on the key
// press, one press is one step, and the key is consumed.

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
    // A control in the ring where Enter does nothing (consumed or passed on).
    void stop(QWidget* w);
protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
private:
    std::vector<QPointer<QWidget>> order_;
    bool closed_;
};

}  // namespace tv::forms
