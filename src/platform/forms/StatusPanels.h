#pragma once
// The panels of the main window's status bar, as the other windows write them.
// The main window offers this interface while it is loaded; without it the
// writes do nothing and the reads give "".

#include <QString>

namespace tv::forms {

class StatusPanels {
public:
    // Panels are numbered from 1.
    virtual void setPanelText(int panel, const QString& text) = 0;
    virtual QString panelText(int panel) const = 0;
    // A window was unloaded (one inside the main window, or one of its own
    // that may have written a panel): what follows the window in front
    // catches up.
    virtual void windowGone() {}

protected:
    ~StatusPanels() = default;
};

void setStatusPanel(int panel, const QString& text);
QString statusPanel(int panel);

}  // namespace tv::forms
