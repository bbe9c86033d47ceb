#pragma once
// A window's status bar as the program draws it: sunken panels whose texts
// keep clear of their frames, none against the window's edge. A panel too
// narrow for its text shows it shortened in the middle ("…"), so that a long
// path keeps its start and its file name, and the whole text in its tooltip.

#include <QLabel>
#include <QString>

class QResizeEvent;
class QStatusBar;
class QWidget;

namespace tv::forms {

class StatusPanel : public QLabel {
public:
    explicit StatusPanel(QWidget* parent = nullptr);
    // The panel's text, whole; text() is what shows of it.
    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }
    // The text never widens the panel (nor the window with it): a panel is as
    // wide as its minimum width, or as its bar gives it.
    QSize minimumSizeHint() const override;
    QSize sizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void fit();
    QString full_;
};

// The status bar `name` of `parent`, without a size grip.
QStatusBar* makeStatusBar(QWidget* parent, const char* name);
// A panel of `bar`, at least `widthTwips` wide: a wide panel takes the room
// the others leave, at their left; the others keep their width, on the
// right, their texts centred.
StatusPanel* addStatusPanel(QStatusBar* bar, int widthTwips, bool wide);

}  // namespace tv::forms
