#include "frame/MDIVamo.h"

#include "frame/FrmMmWh.h"
#include "frame/Module1.h"
#include "frame/frmAbout.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/Pictures.h"
#include "platform/forms/StatusBar.h"
#include "platform/shell/Shell.h"
#include "platform/values/FileRead.h"
#include "platform/values/IoError.h"
#include "platform/values/OwnFiles.h"
#include "platform/values/WholeFile.h"
#include "shared/DataShape.h"
#include "shared/DataWindows.h"
#include "shared/PrintChoice.h"
#include "shared/PrintRoutines.h"
#include "shared/ProgramFiles.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QDate>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeDatabase>
#include <QPaintEvent>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTemporaryFile>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <map>
#include <memory>
#include <utility>

namespace tv::frame {

using tv::dlg::msgBox;
using tv::forms::Panel;
using tv::forms::Registry;

namespace {

// The client area of the main window: the workspace colour with the
// background picture in its middle.
class Workspace : public QMdiArea {
public:
    using QMdiArea::QMdiArea;
    void setPicture(const QPixmap& pm) {
        picture_ = pm;
        viewport()->update();
    }

protected:
    void paintEvent(QPaintEvent* e) override {
        QPainter p(viewport());
        p.fillRect(e->rect(), palette().brush(QPalette::Dark));
        if (!picture_.isNull()) {
            QRect r(QPoint(0, 0), picture_.size());
            r.moveCenter(viewport()->rect().center());
            p.drawPixmap(r.topLeft(), picture_);
        }
    }

private:
    QPixmap picture_;
};

// The open-file dialog of the data commands. It also takes a name that does
// not exist yet (the new data file is named in it).
QString chooseFile(const QString& title, const QString& filter) {
    namespace script = tv::dlg::script;
    if (script::active() || script::unexpectedHandler())
        return tv::dlg::openFile(title, filter);
    std::unique_ptr<QFileDialog> dialog(tv::dlg::makeOpenFileDialog(title, filter));
    dialog->setFileMode(QFileDialog::AnyFile);
    if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty())
        return QString();
    return QFileInfo(dialog->selectedFiles().constFirst()).absoluteFilePath();
}

// True when the desktop names a program for the kind of `path` (a bare
// machine has none, and its opener then starts nothing without saying so).
bool desktopHasProgramFor(const QString& path) {
    const QString query = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
    if (query.isEmpty())
        return false;
    QProcess p;
    p.start(query, {QStringLiteral("query"), QStringLiteral("default"),
                    QMimeDatabase().mimeTypeForFile(path, QMimeDatabase::MatchExtension).name()});
    if (!p.waitForFinished(10000)) {
        p.kill();
        p.waitForFinished();
        return false;
    }
    return p.exitCode() == 0 && !p.readAllStandardOutput().trimmed().isEmpty();
}

}  // namespace

MDIVamo::MDIVamo() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

namespace {

using Run = void (*)(MDIVamo&);

// One menu item: its menu (by objectName), name, text, shortcut, what it
// does, and the window it opens (the item is disabled while that window is
// not part of the program). A text of "-" is a separator.
struct MenuItem {
    const char* menu;
    const char* name;
    const char* text;
    QKeySequence key;
    Run run;
    const char* window;
};

// One toolbar button: key, caption, tip, what it does and the window it opens.
struct ToolButton {
    const char* key;
    const char* caption;
    const char* tip;
    Run run;
    const char* window;
};

const std::vector<ToolButton>& toolButtons() {
    using namespace tv::windows;
    static const std::vector<ToolButton> buttons = {
        {"TB27", "新建", "新建公寓数据",
         [](MDIVamo& m) {
             tv::state().DataFilePath.clear();
             m.DialogCode = MDIVamo::DataDialog::NewFile;
             m.newDataFile();
         },
         nullptr},
        {"Open2", "打开", "打开公寓数据", [](MDIVamo& m) { m.dataCommand(kRecords); }, kRecords},
        {"Users", "新增", "新增记录", [](MDIVamo& m) { m.dataCommand(kCheckIn); }, kCheckIn},
        {"Search", "查询", "查询记录", [](MDIVamo& m) { m.dataCommand(kRecords); }, kRecords},
        {"statistics", "计费", "租金水电计算", [](MDIVamo& m) { m.dataCommand(kBilling); }, kBilling},
        {"report2", "账单", "租金水电维护", [](MDIVamo& m) { m.dataCommand(kFees); }, kFees},
        {"Printer", "打印", "报表打印", [](MDIVamo& m) { m.printCommand(); }, nullptr},
        {"Shared", "互导", "数据导入导出", [](MDIVamo& m) { m.openWindow(kExchange); }, kExchange},
        {"Unknown2", "帮助", "帮助文件", [](MDIVamo& m) { m.helpContents(); }, nullptr},
        {"Exit", "退出", "退出系统", [](MDIVamo& m) { m.exitProgram(); }, nullptr},
    };
    return buttons;
}

// Every command opens its window when that window class is registered.
bool known(const char* window) { return !window || Registry::instance(QString::fromLatin1(window)); }

}  // namespace

void MDIVamo::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("Tenvora D2021"));
    auto* layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildMenus(root, layout);
    buildToolbar(root, layout);
    buildArea(root, layout);
    buildStatusBar(root, layout);
}

void MDIVamo::buildMenus(QWidget* root, QVBoxLayout* layout) {
    using namespace tv::windows;
    auto* bar = new QMenuBar(root);
    bar->setObjectName(QStringLiteral("MenuBar"));
    layout->setMenuBar(bar);
    const std::pair<const char*, const char*> menus[] = {{"MNUwj", "文件(&F)"}, {"MNUvamo", "Vamo(&G)"},
                                                         {"MNUzd", "账单(&Z)"}, {"", "数据互导(&C)"},
                                                         {"MNUck", "窗口(&W)"}, {"MNUbz", "帮助(&H)"}};
    const MenuItem items[] = {
        {"MNUwj", "MNUnew", "新建", Qt::CTRL | Qt::Key_N, [](MDIVamo& m) { m.newDataFile(); }, nullptr},
        {"MNUwj", "MNUopen", "打开", Qt::CTRL | Qt::Key_O, [](MDIVamo& m) { m.dataCommand(kRecords); }, kRecords},
        {"MNUwj", "a1", "-", {}, nullptr, nullptr},
        {"MNUwj", "MNUwjgl", "文件管理", Qt::CTRL | Qt::Key_F, [](MDIVamo& m) { m.openWindow(kFileManager); },
         kFileManager},
        {"MNUwj", "a2", "-", {}, nullptr, nullptr},
        {"MNUwj", "MNUexit", "退出", Qt::CTRL | Qt::Key_X, [](MDIVamo& m) { m.exitProgram(); }, nullptr},
        {"MNUvamo", "MNUdj", "租客入住登记", Qt::CTRL | Qt::Key_R, [](MDIVamo& m) { m.dataCommand(kCheckIn); },
         kCheckIn},
        {"MNUvamo", "MNUcx", "租客记录维护", Qt::CTRL | Qt::Key_S, [](MDIVamo& m) { m.dataCommand(kRecords); },
         kRecords},
        {"MNUzd", "MNUzjsd", "租金水电费计算", Qt::CTRL | Qt::Key_A, [](MDIVamo& m) { m.dataCommand(kBilling); },
         kBilling},
        {"MNUzd", "MNUzdwh", "租金水电费维护", Qt::CTRL | Qt::Key_B, [](MDIVamo& m) { m.dataCommand(kFees); }, kFees},
        {"", "MNUsjhd", "数据互导(&C)", {}, [](MDIVamo& m) { m.openWindow(kExchange); }, kExchange},
        {"MNUck", "MNUcd", "层叠", Qt::Key_F5, [](MDIVamo& m) { m.arrange(0); }, nullptr},
        {"MNUck", "MNUhp", "横向平铺", Qt::Key_F6, [](MDIVamo& m) { m.arrange(1); }, nullptr},
        {"MNUck", "MNUzp", "纵向平铺", Qt::Key_F7, [](MDIVamo& m) { m.arrange(2); }, nullptr},
        {"MNUck", "MNUpltb", "排列图标", Qt::Key_F8, [](MDIVamo& m) { m.arrange(3); }, nullptr},
        {"MNUbz", "MNUnr", "内容", Qt::Key_F1, [](MDIVamo& m) { m.helpContents(); }, nullptr},
        {"MNUbz", "d1", "-", {}, nullptr, nullptr},
        {"MNUbz", "MNUweb", "web上的 Tenvora", Qt::CTRL | Qt::Key_E, [](MDIVamo& m) { m.webPage(); }, nullptr},
        {"MNUbz", "d2", "-", {}, nullptr, nullptr},
        {"MNUbz", "MNUglywh", "管理员维护", Qt::CTRL | Qt::Key_H, [](MDIVamo&) { tv::forms::the<FrmMmWh>().show(); },
         nullptr},
        {"MNUbz", "d3", "-", {}, nullptr, nullptr},
        {"MNUbz", "MNUgy", "关于 Tenvora D2021", Qt::Key_F2, [](MDIVamo&) { tv::forms::the<frmAbout>().show(); },
         nullptr},
    };

    // The menus in their order; an item without a menu is an item of the bar itself.
    std::map<QString, QMenu*> byName;
    for (const auto& [name, text] : menus) {
        if (*name) {
            QMenu* menu = bar->addMenu(QString::fromUtf8(text));
            menu->setObjectName(QString::fromLatin1(name));
            byName[menu->objectName()] = menu;
        }
        for (const MenuItem& item : items) {
            if (QLatin1String(item.menu) != QLatin1String(name))
                continue;
            const bool separator = QLatin1String(item.text) == QLatin1String("-");
            QAction* a = !*name      ? bar->addAction(QString::fromUtf8(item.text))
                         : separator ? byName[QString::fromLatin1(name)]->addSeparator()
                                     : byName[QString::fromLatin1(name)]->addAction(QString::fromUtf8(item.text));
            a->setObjectName(QString::fromLatin1(item.name));
            if (separator)
                continue;
            a->setShortcut(item.key);
            a->setEnabled(known(item.window));
            tv::forms::on(a, &QAction::triggered, [this, run = item.run] { run(*this); });
        }
    }
    ui().windowMenu = byName.at(QStringLiteral("MNUck"));
    QObject::connect(ui().windowMenu, &QMenu::aboutToShow, ui().windowMenu, [this] { fillWindowMenu(); });
}

void MDIVamo::buildToolbar(QWidget* root, QVBoxLayout* layout) {
    QToolBar* bar = ui().Toolbar1 = tv::forms::make<QToolBar>(root, "Toolbar1");
    bar->setIconSize(QSize(32, 32));
    bar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    bar->setMovable(false);
    bar->setFloatable(false);
    layout->addWidget(bar);
    for (const ToolButton& b : toolButtons()) {
        const QString key = QString::fromLatin1(b.key);
        QAction* a = bar->addAction(QString::fromUtf8(b.caption));
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(QString::fromUtf8(b.tip));
        a->setEnabled(b.run && known(b.window));
        tv::forms::on(a, &QAction::triggered, [this, key] { Toolbar1_ButtonClick(key); });
    }
}

void MDIVamo::buildArea(QWidget* root, QVBoxLayout* layout) {
    auto* area = new Workspace(root);
    area->setObjectName(QStringLiteral("MDIClient"));
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    ui().area = area;
    layout->addWidget(area, 1);
    tv::forms::on(area, &QMdiArea::subWindowActivated, [this] { MDIClient_Activate(); });
}

// Panel 1 names the file of the data window in front, which is the file a
// command there works on, also while a window of its own has the focus. With
// no data window in front it stays as the main window's load or the last
// data window's exit wrote it (a message box over the main window takes the
// activation away from its child windows too).
void MDIVamo::MDIClient_Activate() {
    if (const tv::windows::DataWindow* data = dataWindowInFront())
        setPanelText(Panel::WorkPath, tv::workPathText(data->dataFile()));
}

// A window of its own going (the login, 密码维护, the about box) names the data
// window in front again; with none, the panel stays as the main window or
// that window's exit wrote it.
void MDIVamo::windowGone(bool insideMainWindow) {
    if (insideMainWindow)
        MDIClient_Activate();
    else if (const tv::windows::DataWindow* data = dataWindowInFront())
        setPanelText(Panel::WorkPath, tv::workPathText(data->dataFile()));
}

const tv::windows::DataWindow* MDIVamo::dataWindowInFront() {
    QMdiArea* area = ui().area;
    QMdiSubWindow* front = area->currentSubWindow();
    if (!front || !front->isVisible()) {
        // The window in front went: the one in front before it comes forward.
        front = nullptr;
        const auto history = area->subWindowList(QMdiArea::ActivationHistoryOrder);
        for (auto sub = history.rbegin(); sub != history.rend() && !front; ++sub)
            if ((*sub)->isVisible())
                front = *sub;
        if (front)
            area->setActiveSubWindow(front);
    }
    const QWidget* w = front ? front->widget() : nullptr;
    return w ? dynamic_cast<tv::windows::DataWindow*>(Registry::loaded(w->objectName())) : nullptr;
}

void MDIVamo::buildStatusBar(QWidget* root, QVBoxLayout* layout) {
    QStatusBar* bar = ui().StatusBar1 = tv::forms::makeStatusBar(root, "StatusBar1");
    // The working path on the left, a long one shortened in its middle; the
    // empty panel, the date and the time on the right.
    for (int i = 0; i < 4; ++i) {
        tv::forms::StatusPanel* panel = ui().panels[i] = tv::forms::addStatusPanel(bar, i == 0 ? 4000 : 1440, i == 0);
        panel->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
    }
    layout->addWidget(bar);

    ui().clock = new QTimer(root);
    ui().clock->setInterval(1000);
    QObject::connect(ui().clock, &QTimer::timeout, root, [this] { updateClock(); });
}

void MDIVamo::setPanelText(Panel panel, const QString& text) {
    if (hasUi())
        ui().panels[static_cast<int>(panel) - 1]->setFullText(text);
}

QString MDIVamo::panelText(Panel panel) const {
    return hasUi() ? ui().panels[static_cast<int>(panel) - 1]->fullText() : QString();
}

void MDIVamo::onLoad() {
    SharedState& s = tv::state();
    const QString folder = tv::shell::programFolder();
    QWidget* w = widget();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w->setGeometry(screen->availableGeometry());
    w->setWindowState(Qt::WindowMaximized);

    s.UserDbPath = tv::userDatabaseFile();
    AppDir = folder;
    TemplatePath = tv::templateFile();
    HelpFile = AppDir + QStringLiteral("/RAZ.CHM");
    s.PicturePath = tv::shell::pictureFolder();
    // Read here, safely, not by name when they are painted.
    const auto picture = [&s](const QString& name) {
        return QPixmap::fromImage(tv::forms::readPictureFile(s.PicturePath + name));
    };
    static_cast<Workspace*>(ui().area)->setPicture(picture(QStringLiteral("T266.JPG")));
    w->setWindowIcon(QIcon(picture(QStringLiteral("DE10.gif"))));
    for (QAction* a : ui().Toolbar1->actions())
        a->setIcon(QIcon(picture(a->data().toString() + QStringLiteral(".png"))));
    DialogCode = DataDialog::None;
    setPanelText(Panel::WorkPath, tv::workPathText(folder));

    Registry::setMdiArea(ui().area);
    updateClock();
    ui().clock->start();
}

void MDIVamo::onUnload() {
    ui().clock->stop();
    // The data windows inside go with the main window.
    const auto subs = ui().area->subWindowList();
    for (QMdiSubWindow* sub : subs) {
        if (QWidget* child = sub->widget()) {
            if (tv::forms::Form* f = Registry::loaded(child->objectName()))
                f->unload();
        }
    }
    if (Registry::mdiArea() == ui().area)
        Registry::setMdiArea(nullptr);
}

void MDIVamo::updateClock() {
    setPanelText(Panel::Date, QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    setPanelText(Panel::Time, QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void MDIVamo::Op(QString& Myp, DataDialog YYno) {
    const QString title = YYno == DataDialog::NewFile ? QStringLiteral("新建公寓数据") : QStringLiteral("打开公寓数据");
    const QString name = chooseFile(title, QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"));
    if (!name.isEmpty())
        Myp = name;
}

void MDIVamo::dataCommand(const char* window) {
    SharedState& s = tv::state();
    DialogCode = DataDialog::OpenFile;
    s.DataFilePath.clear();
    Op(s.DataFilePath, DialogCode);
    if (s.DataFilePath.isEmpty())
        return;
    openOnChosenFile(window);
}

void MDIVamo::openOnChosenFile(const char* window, bool made) {
    const QString file = tv::state().DataFilePath, before = QDir::currentPath();
    // A window that opens now works on the file: one it cannot work on is
    // refused here, before the window is built or the status bar names it.
    if (!Registry::isLoaded(QString::fromLatin1(window))) {
        const QString why = tv::dataFileRefusal(file, tv::shapeNeededBy(QString::fromLatin1(window)));
        if (!why.isEmpty()) {
            msgBox(tv::refusedDataFileText(file, why), tv::dlg::Info, tv::dlg::kNoteTitle);
            tv::state().DataFilePath.clear();  // no data file is open
            return;
        }
    }
    tv::dlg::followChosenFile(file);  // the window's own file lists start there
    // A window already open on another file keeps it, and says so: that file
    // stays the one chosen, which the print and the windows opened from it
    // work on.
    if (!tv::showOnDataFile(window, file, made))
        tv::state().DataFilePath = tv::dataFileOf(window);
    if (!tv::dataFileInUse(file))
        QDir::setCurrent(before);  // it did not open: the next dialog starts where this one did
}

void MDIVamo::openWindow(const char* window) {
    if (tv::forms::Form* f = Registry::instance(QString::fromLatin1(window)))
        f->show();
}

// 打印: prints from the data window that loaded last; the fee windows ask
// which receipts.
void MDIVamo::printCommand() {
    SharedState& s = tv::state();
    if (s.DataFilePath.isEmpty()) {
        msgBox(QStringLiteral("文件没打开，请打开文件后再试！"), tv::dlg::Info, tv::dlg::kHintTitle);
        return;
    }
    using tv::FormCode;
    // The registration records window works on the file of the window it
    // prints for.
    const auto pairPrint = [&s] {
        const tv::windows::DataWindow* last = tv::dataWindowOf(s.ActiveFormCode);
        tv::showOnDataFile(tv::windows::kPairPrint, last ? last->dataFile() : s.DatabasePath);
    };
    if (s.ActiveFormCode == FormCode::CheckIn) {
        if (s.SheetChoice == tv::Sheets::One) {
            // The row the check-in window shows, with its photo.
            tv::windows::DataWindow* checkIn = tv::dataWindowOf(FormCode::CheckIn);
            if (tv::currentRowToPrint(checkIn))
                dynamic_cast<tv::windows::CheckInWindow&>(*checkIn).printCurrentRow();
        } else if (s.SheetChoice == tv::Sheets::Two)
            pairPrint();
        // The tenant records window's print choice starts afresh (when it is open).
        if (auto* records = Registry::loadedAs<tv::windows::RecordsWindow>())
            records->resetPrintChoice();
    } else if (s.ActiveFormCode == FormCode::Records) {
        s.SheetChoice = tv::Sheets::One;
        pairPrint();
    } else if (s.ActiveFormCode == FormCode::Billing || s.ActiveFormCode == FormCode::Fees) {
        tv::printChoice(tv::PrintCaller::MainWindow);
    }
}

void MDIVamo::newDataFile() {
    SharedState& s = tv::state();
    DialogCode = DataDialog::NewFile;
    s.DataFilePath.clear();
    Op(s.DataFilePath, DialogCode);
    if (s.DataFilePath.isEmpty()) {
        msgBox(QStringLiteral("文件名还没有命名,请给定文件名！"), tv::dlg::Info, tv::dlg::kNoteTitle);
        return;
    }
    CopySource = TemplatePath;
    CopyTarget = s.DataFilePath;
    if (!copyTemplate()) {
        s.DataFilePath.clear();  // no data file was made: none is open
        return;
    }
    openOnChosenFile(tv::windows::kCheckIn, true);
}

// Copies the template to CopyTarget. False when it refused or failed (it has
// said why) or the user cancelled the copy; true when the target holds a data
// file now, also when the user chose to keep the file that was there.
bool MDIVamo::copyTemplate() {
    const std::optional<QByteArray> bytes = readTemplate();
    if (!bytes)
        return false;
    const QFileInfo target(CopyTarget);
    const QString shown = QDir::toNativeSeparators(target.absoluteFilePath());
    if (target.exists()) {
        if (tv::sameFile(CopyTarget, CopySource)) {
            msgBox(QStringLiteral("不能用模板文件本身作为新的数据文件，请换一个文件名！"), tv::dlg::Info,
                   tv::dlg::kNoteTitle);
            return false;
        }
        // Replacing the user database would lock every user out at the next start.
        if (tv::sameFile(CopyTarget, tv::state().UserDbPath)) {
            msgBox(QStringLiteral("不能用用户数据库“Rave.ini”作为新的数据文件，请换一个文件名！"), tv::dlg::Info,
                   tv::dlg::kNoteTitle);
            return false;
        }
        if (target.isDir()) {
            msgBox(QStringLiteral("“%1”是一个文件夹，请换一个文件名！").arg(shown), tv::dlg::Info, tv::dlg::kNoteTitle);
            return false;
        }
        if (tv::dataFileInUse(CopyTarget)) {
            msgBox(QStringLiteral("文件“%1”正在使用中，不能被替换！").arg(shown), tv::dlg::Info, tv::dlg::kNoteTitle);
            return false;
        }
        if (const QString no = tv::saveRefusal(CopyTarget); !no.isEmpty()) {
            msgBox(QStringLiteral("新建数据文件失败：“%1”写不进去（%2）。").arg(shown, no), tv::dlg::Info,
                   tv::dlg::kNoteTitle);
            return false;
        }
        if (msgBox(QStringLiteral("文件“%1”已经存在，要替换它吗？").arg(shown), tv::dlg::YesNo | tv::dlg::Question,
                   tv::dlg::kNoteTitle) != tv::dlg::Yes)
            return true;
    }

    // A cached connection of the old file must not outlive its replacement.
    tv::Database::releaseUnused();
    // Written beside the target and renamed into place, with its progress
    // while it lasts: never half a file, and a cancelled copy leaves the old one.
    QBuffer in;
    in.setData(*bytes);
    in.open(QIODevice::ReadOnly);
    QString why;
    switch (tv::shell::writeCopy(in, CopySource, CopyTarget, &why)) {
        case tv::shell::CopyOutcome::Copied:
            return true;
        case tv::shell::CopyOutcome::Failed:
            msgBox(QStringLiteral("新建数据文件失败：“%1”写不进去（%2）。").arg(shown, why), tv::dlg::Info,
                   tv::dlg::kNoteTitle);
            return false;
        default:  // cancelled by the user
            return false;
    }
}

// The template's bytes when they are a data file with every table and field
// (checked on a copy of exactly those bytes); else it says why and gives none.
std::optional<QByteArray> MDIVamo::readTemplate() {
    const QString shown = QDir::toNativeSeparators(CopySource);
    const tv::FileRead file = tv::readRegularFile(CopySource, kMaxTemplateBytes);
    if (!file.ok()) {
        msgBox(QStringLiteral("新建数据文件失败：模板文件“%1”打不开（%2）。").arg(shown, file.why), tv::dlg::Info,
               tv::dlg::kNoteTitle);
        return std::nullopt;
    }
    QTemporaryFile copy(QDir::temp().filePath(QStringLiteral("tenvora-XXXXXX.mdb")));
    const bool checked = copy.open() && copy.write(file.bytes) == file.bytes.size() && copy.flush();
    if (!checked || !tv::hasShape(copy.fileName(), tv::dataFileShape())) {
        msgBox(checked
                   ? QStringLiteral("新建数据文件失败：模板文件“%1”已损坏，不是公寓数据文件。").arg(shown)
                   : QStringLiteral("新建数据文件失败：模板文件“%1”无法检查（%2）。").arg(shown, tv::ioErrorText(copy)),
               tv::dlg::Info, tv::dlg::kNoteTitle);
        return std::nullopt;
    }
    return file.bytes;
}

void MDIVamo::helpContents() {
    HelpFilePath = AppDir + QStringLiteral("/vamo.CHM");
    HelpResult = openHelp(HelpFilePath) ? 1 : 0;
}

bool MDIVamo::openHelp(const QString& path) {
    // The desktop's program for help files where it has one, else xchm.
    if (QFileInfo(path).isFile() &&
        ((desktopHasProgramFor(path) && tv::shell::openWithDesktop(QUrl::fromLocalFile(path))) ||
         tv::shell::startProgram(QString::fromLatin1(kHelpViewer), {path})))
        return true;
    msgBox(QStringLiteral("无法打开帮助文件：") + QDir::toNativeSeparators(path), tv::dlg::Info, tv::dlg::kNoteTitle);
    return false;
}

void MDIVamo::webPage() {
    msgBox(QStringLiteral("Tenvora 没有网站，无法打开它的网页。"), tv::dlg::Info, tv::dlg::kNoteTitle);
}

void MDIVamo::exitProgram() {
    unload();
    Registry::unloadAll();
    endProgram(0);
}

void MDIVamo::arrange(int how) {
    if (how == 0) {
        ui().area->cascadeSubWindows();
        return;
    }
    const auto subs = ui().area->subWindowList();
    QList<QMdiSubWindow*> open, icons;
    for (QMdiSubWindow* sub : subs) {
        if (!sub->isVisible())
            continue;
        (sub->isMinimized() ? icons : open).append(sub);
    }
    const QRect client = ui().area->viewport()->rect();
    int iconRow = 0;
    if (!icons.isEmpty())
        iconRow = icons.first()->height();

    if (how == 3 || how == 1 || how == 2) {
        // The icons line up along the bottom, left to right, in rows upward.
        int x = 0, y = client.bottom() + 1 - iconRow;
        for (QMdiSubWindow* icon : icons) {
            if (x > 0 && x + icon->width() > client.width()) {
                x = 0;
                y -= icon->height();
            }
            icon->move(x, y);
            x += icon->width();
        }
    }
    if (how == 3 || open.isEmpty())
        return;

    const int n = int(open.size());
    const int height = qMax(1, client.height() - iconRow);
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* sub = open[i];
        if (sub->isMaximized())
            sub->showNormal();
        QRect r;
        if (how == 1) {
            const int top = height * i / n, bottom = height * (i + 1) / n;
            r = QRect(0, top, client.width(), bottom - top);
        } else {
            const int left = client.width() * i / n, right = client.width() * (i + 1) / n;
            r = QRect(left, 0, right - left, height);
        }
        sub->setGeometry(r);
    }
}

void MDIVamo::fillWindowMenu() {
    const auto actions = ui().windowMenu->actions();
    for (int i = 4; i < actions.size(); ++i) {
        ui().windowMenu->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    QList<QMdiSubWindow*> open;
    // A window loaded hidden, or unloaded and not yet gone, is not open.
    for (QMdiSubWindow* sub : ui().area->subWindowList())
        if (sub->isVisible())
            open.append(sub);
    if (open.isEmpty())
        return;
    ui().windowMenu->addSeparator();
    int n = 0;
    for (QMdiSubWindow* sub : open) {
        QAction* a = ui().windowMenu->addAction(QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == ui().area->activeSubWindow());
        QObject::connect(a, &QAction::triggered, ui().area, [this, sub] { ui().area->setActiveSubWindow(sub); });
    }
}

void MDIVamo::Toolbar1_ButtonClick(const QString& key) {
    for (const ToolButton& b : toolButtons())
        if (key == QLatin1String(b.key) && b.run)
            b.run(*this);
}

}  // namespace tv::frame
