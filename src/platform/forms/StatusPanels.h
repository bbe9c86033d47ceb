#pragma once
// The panels of the main window's status bar, as the other windows write them.
// The main window offers this interface while it is loaded; without it the
// writes do nothing and the reads give "".

#include <QString>

namespace tv::forms {

// The panels from left to right, numbered from 1: the working path, one left
// empty, the date and the time.
enum class Panel { WorkPath = 1, Spare, Date, Time };

class StatusPanels {
public:
    virtual void setPanelText(Panel panel, const QString& text) = 0;
    virtual QString panelText(Panel panel) const = 0;
    // A window was unloaded (one inside the main window, or one of its own
    // that may have written a panel): what follows the window in front
    // catches up.
    virtual void windowGone(bool /*insideMainWindow*/) {}

protected:
    ~StatusPanels() = default;
};

void setStatusPanel(Panel panel, const QString& text);
QString statusPanel(Panel panel);

}  // namespace tv::forms
