#pragma once
// The main window "Tenvora D2021": menus, toolbar, status bar and the area in
// which the data windows open. It asks for the data file before it opens a
// data window (Op) and makes new data files from the template.
//
// Other windows write the first panel of its status bar: the status bar is
// the control "StatusBar1", its panels are the labels "Panel1" to "Panel4".

#include <QMdiSubWindow>  // before Form.h, which needs the whole type

#include "platform/forms/Form.h"

#include <QString>

class QAction;
class QLabel;
class QMdiArea;
class QMenu;
class QStatusBar;
class QTimer;
class QToolBar;

namespace tv::frame {

class MDIVamo : public tv::forms::Form {
public:
    static constexpr const char* kName = "MDIVamo";
    // The web page of the installation (menu "web上的 Tenvora").
    static constexpr const char* kWebAddress = "https://tenvora.example/";

    MDIVamo();

    // Window state.
    QString DialogCode;    // "Y1" new data file, "Y2" open one; "0" after the load
    QString TemplatePath;  // the template data file
    QString CopySource, CopyTarget;
    QString HelpFile;  // the application's help file
    int HelpResult = 0;

    // The data-file dialog: puts the chosen path into Myp, leaves it alone on
    // cancel. "Y1" titles it for a new data file.
    void Op(QString& Myp, const QString& YYno);

    // The commands of the menus and the toolbar.
    void dataCommand(const QString& window);  // ask for the data file, then show `window`
    void newDataFile();
    void openWindow(const QString& window);  // a window that needs no data file
    void helpContents();
    void webPage();
    void exitProgram();
    // 0 cascade, 1 tile horizontally (one above another), 2 tile vertically
    // (side by side), 3 arrange the icons of the minimised windows.
    void arrange(int how);
    void Toolbar1_ButtonClick(const QString& key);

protected:
    void build(QWidget* root) override;
    void onLoad() override;
    void onUnload() override;

private:
    QAction* addItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& key);
    QAction* addButton(const QString& key, const QString& caption, const QString& tip);
    bool copyTemplate();
    void updateClock();
    void fillWindowMenu();

    QMdiArea* area_ = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    QLabel* panels_[4] = {};
    QMenu* windowMenu_ = nullptr;
    QTimer* clock_ = nullptr;
};

}  // namespace tv::frame
