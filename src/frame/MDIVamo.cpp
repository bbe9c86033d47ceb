#include "frame/MDIVamo.h"

#include "frame/FrameKit.h"
#include "frame/FrmMmWh.h"
#include "frame/Module1.h"
#include "frame/frmAbout.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Guard.h"
#include "shared/SharedState.h"

#include <QAction>
#include <QApplication>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPaintEvent>
#include <QPainter>
#include <QSaveFile>
#include <QScreen>
#include <QStatusBar>
#include <QTime>
#include <QTimer>
#include <QToolBar>
#include <QUrl>
#include <QVBoxLayout>

#include <memory>
#include <utility>

namespace tv::frame {

using tv::dlg::msgBox;
using tv::forms::Registry;

namespace {

const QString kTitle = QStringLiteral("提示！");

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

QString canonical(const QString& path) {
    QFileInfo fi(path);
    QString c = fi.canonicalFilePath();
    return c.isEmpty() ? fi.absoluteFilePath() : c;
}

// True when `w` lies in a child window inside `root` (the main window's area).
bool insideChildWindow(const QWidget* w, const QWidget* root) {
    for (const QWidget* p = w->parentWidget(); p && p != root; p = p->parentWidget())
        if (qobject_cast<const QMdiSubWindow*>(p))
            return true;
    return false;
}

// True when a loaded window has a data source open on the file.
bool fileInUse(const QString& path) {
    const QString target = canonical(path);
    const QStringList names = Registry::loadedNames();
    for (const QString& name : names) {
        tv::forms::Form* form = Registry::loaded(name);
        const auto sources = form->widget()->findChildren<tv::forms::DataControl*>();
        for (tv::forms::DataControl* source : sources) {
            if (insideChildWindow(source, form->widget()))
                continue;  // a child window counts on its own while it is loaded
            if (source->isOpen() && !source->databaseName().isEmpty() && canonical(source->databaseName()) == target)
                return true;
        }
    }
    return false;
}

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
    const QFileInfo chosen(dialog->selectedFiles().constFirst());
    // The current folder follows the chosen file, as with every file dialog.
    QDir::setCurrent(chosen.absolutePath());
    return chosen.absoluteFilePath();
}

}  // namespace

MDIVamo::MDIVamo() : Form(QString::fromLatin1(kName), Kind::TopLevel) {}

QAction* MDIVamo::addItem(QMenu* menu, const char* name, const QString& text, const QKeySequence& key) {
    QAction* a = text == QLatin1String("-") ? menu->addSeparator() : menu->addAction(text);
    a->setObjectName(QString::fromLatin1(name));
    if (!key.isEmpty())
        a->setShortcut(key);
    return a;
}

QAction* MDIVamo::addButton(const QString& key, const QString& caption, const QString& tip) {
    QAction* a = Toolbar1->addAction(caption);
    a->setObjectName(key);
    a->setData(key);
    a->setToolTip(tip);
    QObject::connect(a, &QAction::triggered, Toolbar1,
                     [this, key] { tv::forms::guard([this, key] { Toolbar1_ButtonClick(key); }); });
    return a;
}

void MDIVamo::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("Tenvora D2021"));
    auto* layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* bar = new QMenuBar(root);
    bar->setObjectName(QStringLiteral("MenuBar"));
    layout->setMenuBar(bar);
    auto on = [](QAction* a, std::function<void()> handler) {
        QObject::connect(a, &QAction::triggered, a, [handler] { tv::forms::guard(handler); });
        return a;
    };

    QMenu* MNUwj = bar->addMenu(QStringLiteral("文件(&F)"));
    MNUwj->setObjectName(QStringLiteral("MNUwj"));
    on(addItem(MNUwj, "MNUnew", QStringLiteral("新建"), QKeySequence(Qt::CTRL | Qt::Key_N)), [this] { newDataFile(); });
    QAction* MNUopen = on(addItem(MNUwj, "MNUopen", QStringLiteral("打开"), QKeySequence(Qt::CTRL | Qt::Key_O)),
                          [this] { dataCommand(QStringLiteral("Tenvora")); });
    addItem(MNUwj, "a1", QStringLiteral("-"), {});
    QAction* MNUwjgl = on(addItem(MNUwj, "MNUwjgl", QStringLiteral("文件管理"), QKeySequence(Qt::CTRL | Qt::Key_F)),
                          [this] { openWindow(QStringLiteral("FrmWjgl")); });
    addItem(MNUwj, "a2", QStringLiteral("-"), {});
    on(addItem(MNUwj, "MNUexit", QStringLiteral("退出"), QKeySequence(Qt::CTRL | Qt::Key_X)),
       [this] { exitProgram(); });

    QMenu* MNUvamo = bar->addMenu(QStringLiteral("Vamo(&G)"));
    MNUvamo->setObjectName(QStringLiteral("MNUvamo"));
    QAction* MNUdj = on(addItem(MNUvamo, "MNUdj", QStringLiteral("租客入住登记"), QKeySequence(Qt::CTRL | Qt::Key_R)),
                        [this] { dataCommand(QStringLiteral("FrmRzdj")); });
    QAction* MNUcx = on(addItem(MNUvamo, "MNUcx", QStringLiteral("租客记录维护"), QKeySequence(Qt::CTRL | Qt::Key_S)),
                        [this] { dataCommand(QStringLiteral("Tenvora")); });

    QMenu* MNUzd = bar->addMenu(QStringLiteral("账单(&Z)"));
    MNUzd->setObjectName(QStringLiteral("MNUzd"));
    QAction* MNUzjsd =
        on(addItem(MNUzd, "MNUzjsd", QStringLiteral("租金水电费计算"), QKeySequence(Qt::CTRL | Qt::Key_A)),
           [this] { dataCommand(QStringLiteral("FrmZsdjs")); });
    QAction* MNUzdwh =
        on(addItem(MNUzd, "MNUzdwh", QStringLiteral("租金水电费维护"), QKeySequence(Qt::CTRL | Qt::Key_B)),
           [this] { dataCommand(QStringLiteral("FrmZsdwh")); });

    QAction* MNUsjhd =
        on(bar->addAction(QStringLiteral("数据互导(&C)")), [this] { openWindow(QStringLiteral("Exnac")); });
    MNUsjhd->setObjectName(QStringLiteral("MNUsjhd"));

    windowMenu_ = bar->addMenu(QStringLiteral("窗口(&W)"));
    windowMenu_->setObjectName(QStringLiteral("MNUck"));
    on(addItem(windowMenu_, "MNUcd", QStringLiteral("层叠"), QKeySequence(Qt::Key_F5)), [this] { arrange(0); });
    on(addItem(windowMenu_, "MNUhp", QStringLiteral("横向平铺"), QKeySequence(Qt::Key_F6)), [this] { arrange(1); });
    on(addItem(windowMenu_, "MNUzp", QStringLiteral("纵向平铺"), QKeySequence(Qt::Key_F7)), [this] { arrange(2); });
    on(addItem(windowMenu_, "MNUpltb", QStringLiteral("排列图标"), QKeySequence(Qt::Key_F8)), [this] { arrange(3); });
    QObject::connect(windowMenu_, &QMenu::aboutToShow, windowMenu_, [this] { fillWindowMenu(); });

    QMenu* MNUbz = bar->addMenu(QStringLiteral("帮助(&H)"));
    MNUbz->setObjectName(QStringLiteral("MNUbz"));
    on(addItem(MNUbz, "MNUnr", QStringLiteral("内容"), QKeySequence(Qt::Key_F1)), [this] { helpContents(); });
    addItem(MNUbz, "d1", QStringLiteral("-"), {});
    on(addItem(MNUbz, "MNUweb", QStringLiteral("web上的 Tenvora"), QKeySequence(Qt::CTRL | Qt::Key_E)),
       [this] { webPage(); });
    addItem(MNUbz, "d2", QStringLiteral("-"), {});
    on(addItem(MNUbz, "MNUglywh", QStringLiteral("管理员维护"), QKeySequence(Qt::CTRL | Qt::Key_H)),
       [] { tv::forms::the<FrmMmWh>().show(); });
    addItem(MNUbz, "d3", QStringLiteral("-"), {});
    on(addItem(MNUbz, "MNUgy", QStringLiteral("关于 Tenvora D2021"), QKeySequence(Qt::Key_F2)),
       [] { tv::forms::the<frmAbout>().show(); });

    Toolbar1 = new QToolBar(root);
    Toolbar1->setObjectName(QStringLiteral("Toolbar1"));
    Toolbar1->setIconSize(QSize(32, 32));
    Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    Toolbar1->setMovable(false);
    Toolbar1->setFloatable(false);
    layout->addWidget(Toolbar1);
    addButton(QStringLiteral("TB27"), QStringLiteral("新建"), QStringLiteral("新建公寓数据"));
    QAction* Open2 = addButton(QStringLiteral("Open2"), QStringLiteral("打开"), QStringLiteral("打开公寓数据"));
    QAction* Users = addButton(QStringLiteral("Users"), QStringLiteral("新增"), QStringLiteral("新增记录"));
    QAction* Search = addButton(QStringLiteral("Search"), QStringLiteral("查询"), QStringLiteral("查询记录"));
    QAction* statistics =
        addButton(QStringLiteral("statistics"), QStringLiteral("计费"), QStringLiteral("租金水电计算"));
    QAction* report2 = addButton(QStringLiteral("report2"), QStringLiteral("账单"), QStringLiteral("租金水电维护"));
    QAction* Printer = addButton(QStringLiteral("Printer"), QStringLiteral("打印"), QStringLiteral("报表打印"));
    QAction* Shared = addButton(QStringLiteral("Shared"), QStringLiteral("互导"), QStringLiteral("数据导入导出"));
    addButton(QStringLiteral("Unknown2"), QStringLiteral("帮助"), QStringLiteral("帮助文件"));
    addButton(QStringLiteral("Exit"), QStringLiteral("退出"), QStringLiteral("退出系统"));
    // The print command comes with the fee records window.
    Printer->setEnabled(false);

    auto* area = new Workspace(root);
    area->setObjectName(QStringLiteral("MDIClient"));
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_ = area;
    layout->addWidget(area_, 1);

    StatusBar1 = new QStatusBar(root);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    StatusBar1->setSizeGripEnabled(false);
    const int widths[4] = {0, 1440, 1440, 1440};
    for (int i = 0; i < 4; ++i) {
        panels_[i] = new QLabel(StatusBar1);
        panels_[i]->setObjectName(QStringLiteral("Panel%1").arg(i + 1));
        panels_[i]->setFrameShape(QFrame::Panel);
        panels_[i]->setFrameShadow(QFrame::Sunken);
        if (i == 0) {
            panels_[i]->setMinimumWidth(px(4000));
            StatusBar1->addWidget(panels_[i], 1);
        } else {
            panels_[i]->setMinimumWidth(px(widths[i]));
            panels_[i]->setAlignment(Qt::AlignCenter);
            StatusBar1->addPermanentWidget(panels_[i]);
        }
    }
    layout->addWidget(StatusBar1);

    clock_ = new QTimer(root);
    clock_->setInterval(1000);
    QObject::connect(clock_, &QTimer::timeout, root, [this] { updateClock(); });

    // Commands whose window is not part of this program yet stay disabled.
    const std::pair<QAction*, const char*> windowOf[] = {
        {MNUopen, "Tenvora"},  {MNUcx, "Tenvora"},    {Open2, "Tenvora"},    {Search, "Tenvora"},
        {MNUdj, "FrmRzdj"},    {Users, "FrmRzdj"},    {MNUzjsd, "FrmZsdjs"}, {statistics, "FrmZsdjs"},
        {MNUzdwh, "FrmZsdwh"}, {report2, "FrmZsdwh"}, {MNUwjgl, "FrmWjgl"},  {MNUsjhd, "Exnac"},
        {Shared, "Exnac"}};
    for (const auto& [action, window] : windowOf)
        action->setEnabled(Registry::instance(QString::fromLatin1(window)) != nullptr);
}

void MDIVamo::onLoad() {
    SharedState& s = tv::state();
    const QString folder = programFolder();
    QWidget* w = widget();
    if (QScreen* screen = QGuiApplication::primaryScreen())
        w->setGeometry(screen->availableGeometry());
    w->setWindowState(Qt::WindowMaximized);

    s.UserDbPath = folder + QStringLiteral("/Rave.ini");
    s.AppDir = folder;
    TemplatePath = folder + QStringLiteral("/MDB/Lunrek.mdb");
    HelpFile = s.AppDir + QStringLiteral("/RAZ.CHM");
    s.PicturePath = pictureFolder();
    static_cast<Workspace*>(area_)->setPicture(QPixmap(s.PicturePath + QStringLiteral("T266.JPG")));
    w->setWindowIcon(QIcon(s.PicturePath + QStringLiteral("DE10.gif")));
    for (QAction* a : Toolbar1->actions())
        a->setIcon(QIcon(s.PicturePath + a->data().toString() + QStringLiteral(".png")));
    DialogCode = QStringLiteral("0");
    panels_[0]->setText(QStringLiteral("工作路径：") + folder);

    Registry::setMdiArea(area_);
    updateClock();
    clock_->start();
}

void MDIVamo::onUnload() {
    clock_->stop();
    // The data windows inside go with the main window.
    const auto subs = area_->subWindowList();
    for (QMdiSubWindow* sub : subs) {
        if (QWidget* child = sub->widget()) {
            if (tv::forms::Form* f = Registry::loaded(child->objectName()))
                f->unload();
        }
    }
    if (Registry::mdiArea() == area_)
        Registry::setMdiArea(nullptr);
}

void MDIVamo::updateClock() {
    panels_[2]->setText(QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd")));
    panels_[3]->setText(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")));
}

void MDIVamo::Op(QString& Myp, const QString& YYno) {
    const QString title = YYno == QLatin1String("Y1") ? QStringLiteral("新建公寓数据") : QStringLiteral("打开公寓数据");
    const QString name = chooseFile(title, QStringLiteral("数据库文件 (*.mdb)|*.mdb|所有文件 (*.*)|*.*"));
    if (!name.isEmpty())
        Myp = name;
}

void MDIVamo::dataCommand(const QString& window) {
    SharedState& s = tv::state();
    DialogCode = QStringLiteral("Y2");
    s.DataFilePath.clear();
    Op(s.DataFilePath, DialogCode);
    if (s.DataFilePath.isEmpty())
        return;
    if (tv::forms::Form* f = Registry::instance(window))
        f->show();
}

void MDIVamo::openWindow(const QString& window) {
    if (tv::forms::Form* f = Registry::instance(window))
        f->show();
}

void MDIVamo::newDataFile() {
    SharedState& s = tv::state();
    DialogCode = QStringLiteral("Y1");
    s.DataFilePath.clear();
    Op(s.DataFilePath, DialogCode);
    if (s.DataFilePath.isEmpty()) {
        msgBox(QStringLiteral("文件名还没有命名,请给定文件名！"), 64, kTitle);
        return;
    }
    CopySource = TemplatePath;
    CopyTarget = s.DataFilePath;
    if (!copyTemplate())
        return;
    if (tv::forms::Form* f = Registry::instance(QStringLiteral("FrmRzdj")))
        f->show();
}

// Copies the template to CopyTarget. False when it refused or failed (it has
// said why); true when the target holds a data file now, also when the user
// chose to keep the file that was there.
bool MDIVamo::copyTemplate() {
    const QFileInfo target(CopyTarget);
    const QString shown = QDir::toNativeSeparators(target.absoluteFilePath());
    if (target.exists()) {
        if (canonical(CopyTarget) == canonical(CopySource)) {
            msgBox(QStringLiteral("不能用模板文件本身作为新的数据文件，请换一个文件名！"), 64, kTitle);
            return false;
        }
        // Replacing the user database would lock every user out at the next start.
        if (canonical(CopyTarget) == canonical(tv::state().UserDbPath)) {
            msgBox(QStringLiteral("不能用用户数据库“Rave.ini”作为新的数据文件，请换一个文件名！"), 64, kTitle);
            return false;
        }
        if (target.isDir()) {
            msgBox(QStringLiteral("“%1”是一个文件夹，请换一个文件名！").arg(shown), 64, kTitle);
            return false;
        }
        if (fileInUse(CopyTarget)) {
            msgBox(QStringLiteral("文件“%1”正在使用中，不能被替换！").arg(shown), 64, kTitle);
            return false;
        }
        if (msgBox(QStringLiteral("文件“%1”已经存在，要替换它吗？").arg(shown), 36, kTitle) != tv::dlg::Yes)
            return true;
    }

    QFile source(CopySource);
    if (!source.open(QIODevice::ReadOnly)) {
        msgBox(QStringLiteral("新建数据文件失败：模板文件“%1”打不开（%2）。")
                   .arg(QDir::toNativeSeparators(CopySource), source.errorString()),
               64, kTitle);
        return false;
    }
    const QByteArray bytes = source.readAll();
    // A cached connection of the old file must not outlive its replacement.
    tv::Database::releaseUnused();
    // Written beside the target and renamed into place: never half a file.
    QSaveFile out(CopyTarget);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        msgBox(QStringLiteral("新建数据文件失败：“%1”写不进去（%2）。").arg(shown, out.errorString()), 64, kTitle);
        return false;
    }
    return true;
}

void MDIVamo::helpContents() {
    SharedState& s = tv::state();
    s.HelpFilePath = s.AppDir + QStringLiteral("/vamo.CHM");
    HelpResult = openWithDesktop(QUrl::fromLocalFile(s.HelpFilePath)) ? 1 : 0;
}

void MDIVamo::webPage() { openWithDesktop(QUrl(QString::fromLatin1(kWebAddress))); }

void MDIVamo::exitProgram() {
    unload();
    Registry::unloadAll();
    endProgram(0);
}

void MDIVamo::arrange(int how) {
    if (how == 0) {
        area_->cascadeSubWindows();
        return;
    }
    const auto subs = area_->subWindowList();
    QList<QMdiSubWindow*> open, icons;
    for (QMdiSubWindow* sub : subs) {
        if (!sub->isVisible())
            continue;
        (sub->isMinimized() ? icons : open).append(sub);
    }
    const QRect client = area_->viewport()->rect();
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
    const auto actions = windowMenu_->actions();
    for (int i = 4; i < actions.size(); ++i) {
        windowMenu_->removeAction(actions[i]);
        actions[i]->deleteLater();
    }
    QList<QMdiSubWindow*> open;
    // A window loaded hidden, or unloaded and not yet gone, is not open.
    for (QMdiSubWindow* sub : area_->subWindowList())
        if (sub->isVisible())
            open.append(sub);
    if (open.isEmpty())
        return;
    windowMenu_->addSeparator();
    int n = 0;
    for (QMdiSubWindow* sub : open) {
        QAction* a = windowMenu_->addAction(QStringLiteral("&%1 %2").arg(++n).arg(sub->windowTitle()));
        a->setCheckable(true);
        a->setChecked(sub == area_->activeSubWindow());
        QObject::connect(a, &QAction::triggered, area_, [this, sub] { area_->setActiveSubWindow(sub); });
    }
}

void MDIVamo::Toolbar1_ButtonClick(const QString& key) {
    SharedState& s = tv::state();
    if (key == QLatin1String("TB27")) {
        s.DataFilePath.clear();
        DialogCode = QStringLiteral("Y1");
        newDataFile();
    } else if (key == QLatin1String("Open2")) {
        dataCommand(QStringLiteral("Tenvora"));
    } else if (key == QLatin1String("Users")) {
        dataCommand(QStringLiteral("FrmRzdj"));
    } else if (key == QLatin1String("Search")) {
        dataCommand(QStringLiteral("Tenvora"));
    } else if (key == QLatin1String("statistics")) {
        dataCommand(QStringLiteral("FrmZsdjs"));
    } else if (key == QLatin1String("report2")) {
        dataCommand(QStringLiteral("FrmZsdwh"));
    } else if (key == QLatin1String("Shared")) {
        openWindow(QStringLiteral("Exnac"));
    } else if (key == QLatin1String("Unknown2")) {
        helpContents();
    } else if (key == QLatin1String("Exit")) {
        exitProgram();
    }
}

}  // namespace tv::frame
