// The Enter-key order of a data-entry window.
#include "platform/forms/EnterRing.h"

#include <QKeyEvent>

#include <algorithm>

namespace tv::forms {

EnterRing::EnterRing(std::vector<QWidget*> order, bool closed, QObject* parent) : QObject(parent), closed_(closed) {
    for (QWidget* w : order) {
        if (!w)
            continue;
        order_.emplace_back(w);
        w->installEventFilter(this);
    }
    // Without an owner the ring lives as long as its first control.
    if (!parent && !order_.empty())
        setParent(order_.front());
}

void EnterRing::link(QWidget* from, QWidget* to) {
    if (!from || !to)
        return;
    links_.emplace_back(from, to);
    from->installEventFilter(this);
}

void EnterRing::stop(QWidget* w) {
    if (!w)
        return;
    stops_.emplace_back(w);
}

void EnterRing::alsoByTab() {
    for (size_t i = 1; i < order_.size(); ++i)
        if (order_[i - 1] && order_[i])
            QWidget::setTabOrder(order_[i - 1], order_[i]);
}

namespace {
bool reachable(QWidget* w) {
    return w && w->isEnabled() && w->isVisibleTo(w->window()) && w->focusPolicy() != Qt::NoFocus;
}
}  // namespace

// The control after position `from` in the ring that can take the focus;
// null when none (or the end of an open ring).
QWidget* EnterRing::after(int from) const {
    const int n = static_cast<int>(order_.size());
    for (int step = 1; step <= n; ++step) {
        int i = from + step;
        if (i >= n) {
            if (!closed_)
                return nullptr;
            i %= n;
        }
        if (i == from)
            return nullptr;
        if (reachable(order_[static_cast<size_t>(i)]))
            return order_[static_cast<size_t>(i)];
    }
    return nullptr;
}

QWidget* EnterRing::nextOf(QWidget* w) const {
    for (const auto& [from, to] : links_) {
        if (from != w || !to)
            continue;
        if (reachable(to))
            return to;
        // A link to a control that cannot take the focus goes on from there.
        for (size_t i = 0; i < order_.size(); ++i)
            if (order_[i] == to)
                return after(static_cast<int>(i));
        return nullptr;
    }
    for (size_t i = 0; i < order_.size(); ++i)
        if (order_[i] == w)
            return after(static_cast<int>(i));
    return nullptr;
}

bool EnterRing::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
        return false;
    if (key->modifiers() & ~(Qt::KeypadModifier))
        return false;
    auto* w = qobject_cast<QWidget*>(watched);
    if (!w)
        return false;
    for (const auto& s : stops_)
        if (s == w)
            return false;  // the control handles Enter itself
    if (QWidget* next = nextOf(w))
        next->setFocus(Qt::OtherFocusReason);
    return true;
}

}  // namespace tv::forms
