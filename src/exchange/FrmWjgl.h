#pragma once
// The file manager "文件管理": drives, folders and the files of a folder with
// a type filter and the hidden / read-only / system boxes, a picture preview,
// and the commands make folder, copy, rename, delete and close, each by
// button, menu item (with its shortcut) and toolbar key. A click on a file
// fills the source or target box, or previews it, by the mode boxes.

#include "platform/forms/Form.h"
#include "shared/Windows.h"

#include <QString>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QStatusBar;
class QToolBar;
class QVBoxLayout;
namespace tv::forms {
class DriveList;
class FileList;
class FolderList;
class PictureBox;
class StatusPanel;
}  // namespace tv::forms
namespace tv::shell {
struct Result;
}  // namespace tv::shell

namespace tv::exchange {

struct FrmWjglUi {
    tv::forms::DriveList* DrvList = nullptr;
    tv::forms::FolderList* DirList = nullptr;
    tv::forms::FileList* FilList = nullptr;
    QComboBox* CboLx = nullptr;
    QLineEdit *TxtWjm = nullptr, *TxtMbwj = nullptr;
    // 系统, 隐藏, 只读; 图片浏览, 源文件名, 目标目录
    QCheckBox *Check1 = nullptr, *Check2 = nullptr, *Check3 = nullptr;
    QCheckBox *Check4 = nullptr, *Check5 = nullptr, *Check6 = nullptr;
    tv::forms::PictureBox* Image1 = nullptr;
    QLabel* Label4 = nullptr;
    QPushButton *CmdMd = nullptr, *CmdCopy = nullptr, *CmdRen = nullptr, *CmdDel = nullptr, *CmdExit = nullptr;
    QMenu* MNUWJ = nullptr;
    QAction *MNUMD = nullptr, *MNUCOPY = nullptr, *MNUREN = nullptr, *MNUDEL = nullptr, *MNUEXIT = nullptr;
    QToolBar* Toolbar1 = nullptr;
    QStatusBar* StatusBar1 = nullptr;
    tv::forms::StatusPanel *PanelDate = nullptr, *PanelTime = nullptr;
};

class FrmWjgl : public tv::forms::Window<FrmWjglUi> {
public:
    static constexpr const char* kName = tv::windows::kFileManager;
    FrmWjgl();

    // What a click on a file does (None until a mode box changes).
    enum class Click {
        None,
        Preview,       // the picture previewed
        SourcePath,    // its path into the source box
        TargetFolder,  // its folder into the target box
        BareName,      // its bare name into the source box
    };
    Click ClickMode = Click::None;
    // The name of the file clicked last in the SourcePath mode.
    QString SourceName;

protected:
    QSize designSize() const override { return {12600, 8700}; }
    void build(QWidget* root) override;
    void onLoad() override;

private:
    void buildCommands(QWidget* root, QVBoxLayout* layout);
    void buildBody(QWidget* body);
    void connectHandlers();

    void DrvList_Change();
    void DirList_Change();
    void CboLx_Click();
    void FilList_Click(const QString& name);
    void Check4_Click(bool on);
    void Check5_Click(bool on);
    void Check6_Click(bool on);
    void Toolbar1_ButtonClick(const QString& key);

    // The commands.
    void Dmd();
    void DCopy();
    void RRen();
    void Ddil();
    void Tc();

    // The folder the file list shows.
    QString folder();
    // Unticks the mode boxes (their unticking steps run) and reads the lists again.
    void clearModes();
    void refreshLists();
    void tell(const QString& text);
    // A refused command: "找不到" `path` "文件" when it is not there, else its reason.
    void refused(const tv::shell::Result& r, const QString& path);
};

}  // namespace tv::exchange
