#pragma once
// The main window "Tenvora D2021": menus, toolbar, status bar and the area in
// which the data windows open. It asks for the data file before it opens a
// data window (Op) and makes new data files from the template. The other
// windows write its status panels through tv::forms::setStatusPanel().

#include "platform/forms/Form.h"
#include "platform/forms/StatusPanels.h"

#include <QByteArray>
#include <QString>

#include <optional>

class QAction;
class QKeySequence;
class QMdiArea;
class QMenu;
class QMenuBar;
class QStatusBar;
class QTimer;
class QToolBar;
class QVBoxLayout;

namespace tv::forms {
class StatusPanel;
}  // namespace tv::forms
namespace tv::windows {
class DataWindow;
}  // namespace tv::windows

namespace tv::frame {

struct MDIVamoUi {
    QMdiArea* area = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    tv::forms::StatusPanel* panels[4] = {};
    QMenu* windowMenu = nullptr;
    QTimer* clock = nullptr;
};

class MDIVamo : public tv::forms::Window<MDIVamoUi>, public tv::forms::StatusPanels {
public:
    static constexpr const char* kName = "MDIVamo";
    // What the data-file dialog is asked for: a new file named, or a file opened.
    enum class DataDialog { None, NewFile, OpenFile };
    // The help viewer started where the desktop has no program for help files.
    static constexpr const char* kHelpViewer = "xchm";
    // The largest template copied: an empty data file is a few kilobytes.
    static constexpr qint64 kMaxTemplateBytes = 64LL << 20;

    MDIVamo();

    // Window state.
    DataDialog DialogCode = DataDialog::None;
    QString AppDir;        // the program folder
    QString TemplatePath;  // the template data file
    QString CopySource, CopyTarget;
    QString HelpFile;      // the application's help file
    QString HelpFilePath;  // the help file the help command opens
    int HelpResult = 0;

    // The data-file dialog: puts the chosen path into Myp, leaves it alone on
    // cancel. NewFile titles it for a new data file.
    void Op(QString& Myp, DataDialog YYno);

    // The commands of the menus and the toolbar.
    void dataCommand(const char* window);  // ask for the data file, then show `window`
    void newDataFile();
    void openWindow(const char* window);  // a window that needs no data file
    void helpContents();
    // Opens a help file; says which one when nothing could open it.
    bool openHelp(const QString& path);
    // "web上的 Tenvora": there is no web site; it says so and opens nothing.
    void webPage();
    void printCommand();
    void exitProgram();
    // 0 cascade, 1 tile horizontally (one above another), 2 tile vertically
    // (side by side), 3 arrange the icons of the minimised windows.
    void arrange(int how);
    void Toolbar1_ButtonClick(const QString& key);

    void setPanelText(tv::forms::Panel panel, const QString& text) override;
    QString panelText(tv::forms::Panel panel) const override;
    void windowGone(bool insideMainWindow) override;

protected:
    void build(QWidget* root) override;
    void onLoad() override;
    void onUnload() override;

private:
    void buildMenus(QWidget* root, QVBoxLayout* layout);
    void buildToolbar(QWidget* root, QVBoxLayout* layout);
    void buildArea(QWidget* root, QVBoxLayout* layout);
    void buildStatusBar(QWidget* root, QVBoxLayout* layout);
    bool copyTemplate();
    std::optional<QByteArray> readTemplate();
    // Opens `window` on the chosen data file (`made`: just made by 新建); the
    // current folder follows the file only when the file opened.
    void openOnChosenFile(const char* window, bool made = false);
    void updateClock();
    void fillWindowMenu();
    void MDIClient_Activate();
    // The data window in front inside the main window, if any.
    const tv::windows::DataWindow* dataWindowInFront();
};

}  // namespace tv::frame
