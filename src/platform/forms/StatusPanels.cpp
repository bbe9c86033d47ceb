// The main window's status panels, reached through the window registry.
#include "platform/forms/StatusPanels.h"

#include "platform/forms/Form.h"

namespace tv::forms {

void setStatusPanel(Panel panel, const QString& text) {
    if (StatusPanels* main = Registry::loadedAs<StatusPanels>())
        main->setPanelText(panel, text);
}

QString statusPanel(Panel panel) {
    const StatusPanels* main = Registry::loadedAs<StatusPanels>();
    return main ? main->panelText(panel) : QString();
}

}  // namespace tv::forms
