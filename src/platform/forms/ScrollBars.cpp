// The scroll bars' handle, darker than its groove.
#include "platform/forms/ScrollBars.h"

#include <QApplication>
#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionSlider>

namespace tv::forms {

namespace {

// The style in use, its scroll bars' handle drawn anew over the groove.
class ClearScrollBars : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override {
        const auto* bar = qstyleoption_cast<const QStyleOptionSlider*>(option);
        if (control != CC_ScrollBar || !bar || !(bar->subControls & SC_ScrollBarSlider)) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QStyleOptionSlider rest(*bar);
        rest.subControls &= ~SC_ScrollBarSlider;
        QProxyStyle::drawComplexControl(control, &rest, painter, widget);
        const QRect handle = subControlRect(control, bar, SC_ScrollBarSlider, widget);
        if (handle.isEmpty() || bar->minimum >= bar->maximum)
            return;
        const bool on = bar->activeSubControls & SC_ScrollBarSlider;
        QColor fill = bar->palette.color(QPalette::Window).darker(bar->state & State_Enabled ? 150 : 115);
        if (on && (bar->state & State_Sunken))
            fill = fill.darker(125);
        else if (on && (bar->state & State_MouseOver))
            fill = fill.darker(112);
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(fill.darker(125));
        painter->setBrush(fill);
        painter->drawRoundedRect(QRectF(handle).adjusted(1.5, 1.5, -1.5, -1.5), 2, 2);
        painter->restore();
    }
};

}  // namespace

void useClearScrollBars() {
    if (dynamic_cast<ClearScrollBars*>(QApplication::style()))
        return;
    QApplication::setStyle(new ClearScrollBars(QStyleFactory::create(QApplication::style()->name())));
}

}  // namespace tv::forms
