// The status bar: sunken panels with their texts clear of the frames, a
// text too long for its panel shortened in its middle.
#include "platform/forms/StatusBar.h"

#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"

#include <QFontMetrics>
#include <QResizeEvent>
#include <QStatusBar>

namespace tv::forms {

StatusPanel::StatusPanel(QWidget* parent) : QLabel(parent) {
    setFrameShape(QFrame::Panel);
    setFrameShadow(QFrame::Sunken);
    // Room between the frame and the text. Not contents margins: a frame
    // keeps its own lines in those, and they would be drawn outside.
    setIndent(px(60));
}

void StatusPanel::setFullText(const QString& text) {
    full_ = text;
    fit();
}

QSize StatusPanel::minimumSizeHint() const { return {minimumWidth(), QLabel::minimumSizeHint().height()}; }

QSize StatusPanel::sizeHint() const { return minimumSizeHint(); }

void StatusPanel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    fit();
}

void StatusPanel::fit() {
    const QString shown = fontMetrics().elidedText(full_, Qt::ElideMiddle, contentsRect().width() - 2 * indent());
    setText(shown);
    setToolTip(shown == full_ ? QString() : full_);
}

QStatusBar* makeStatusBar(QWidget* parent, const char* name) {
    auto* bar = make<QStatusBar>(parent, name);
    bar->setSizeGripEnabled(false);
    bar->setContentsMargins(px(60), 0, px(60), px(30));
    return bar;
}

StatusPanel* addStatusPanel(QStatusBar* bar, int widthTwips, bool wide) {
    auto* panel = new StatusPanel(bar);
    panel->setMinimumWidth(px(widthTwips));
    if (wide) {
        bar->addWidget(panel, 1);
    } else {
        panel->setAlignment(Qt::AlignCenter);
        bar->addPermanentWidget(panel);
    }
    return panel;
}

}  // namespace tv::forms
