#include "exchange/FrmWjgl.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/EnterRing.h"
#include "platform/forms/Geometry.h"
#include "platform/forms/Guard.h"
#include "platform/forms/PickerLists.h"
#include "platform/forms/StatusBar.h"
#include "platform/shell/Shell.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <functional>
#include <iterator>
#include <utility>

namespace tv::exchange {

namespace {

// The file types: the item as the list shows it and the pattern it gives.
struct FileType {
    const char* item;
    const char* pattern;
};
constexpr FileType kFileTypes[] = {
    {"所有文件(*.*)", "*.*"},     {"Aocess(*.MDB)", "*.MDB"},   {"Foxpro(*.DBF)", "*.DBF"},
    {"文本文件(*.BMP)", "*.BMP"}, {"数据文件(*.JPG)", "*.JPG"}, {"数据文件(*.PCX)", "*.PCX"},
    {"数据文件(*.DCX)", "*.DCX"}, {"数据文件(*.XIF)", "*.XIF"}, {"数据文件(*.GIF)", "*.GIF"},
    {"数据文件(*.WIF)", "*.WIF"}, {"数据文件(*.TIF)", "*.TIF"}, {"数据文件(*.AWD)", "*.AWD"},
};

QString joinPath(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

// In the boxes it watches, the menu's shortcuts come before the box's own
// keys: Ctrl+C is 文件复制 and Ctrl+X 退出 there too, not copy and cut.
class MenuKeysFirst : public QObject {
public:
    MenuKeysFirst(QMenu* menu, QObject* parent) : QObject(parent), menu_(menu) {}
    void watch(QWidget* box) { box->installEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::ShortcutOverride) {
            const QKeySequence pressed(static_cast<QKeyEvent*>(event)->keyCombination());
            for (const QAction* item : menu_->actions())
                if (!item->shortcut().isEmpty() && item->shortcut() == pressed)
                    return true;  // the box does not claim it, so the shortcut runs
        }
        return QObject::eventFilter(watched, event);
    }

private:
    QMenu* menu_;
};

}  // namespace

FrmWjgl::FrmWjgl() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

// --- building the window --------------------------------------------------

void FrmWjgl::build(QWidget* root) {
    root->setWindowTitle(QStringLiteral("文件管理"));
    root->resize(tv::forms::pixels(designSize()));
    auto* layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildCommands(root, layout);
    auto* body = new QWidget(root);
    buildBody(body);
    layout->addWidget(body, 1);

    FrmWjglUi& u = ui();
    // The status on the left; the date and the time centred in theirs.
    u.StatusBar1 = tv::forms::makeStatusBar(root, "StatusBar1");
    tv::forms::addStatusPanel(u.StatusBar1, 1440, true)->setFullText(QStringLiteral("状态"));
    u.PanelDate = tv::forms::addStatusPanel(u.StatusBar1, 1440, false);
    u.PanelTime = tv::forms::addStatusPanel(u.StatusBar1, 1440, false);
    layout->addWidget(u.StatusBar1);
    // The date and time panels keep the time of day.
    auto* clock = new QTimer(root);
    auto tick = [this] {
        if (!hasUi())
            return;
        const QDateTime now = QDateTime::currentDateTime();
        ui().PanelDate->setFullText(now.toString(QStringLiteral("yyyy-MM-dd")));
        ui().PanelTime->setFullText(now.toString(QStringLiteral("HH:mm")));
    };
    QObject::connect(clock, &QTimer::timeout, root, tick);
    clock->start(1000);
    tick();

    connectHandlers();
    tv::forms::centerOnScreen(root);
}

void FrmWjgl::buildCommands(QWidget* root, QVBoxLayout* layout) {
    FrmWjglUi& u = ui();
    auto* bar = tv::forms::make<QMenuBar>(root, "MenuBar");
    layout->setMenuBar(bar);
    u.MNUWJ = bar->addMenu(QStringLiteral("文件(&F)"));
    u.MNUWJ->setObjectName(QStringLiteral("MNUWJ"));
    const struct {
        QAction** slot;
        const char* name;
        const char* text;
        QKeySequence key;
    } items[] = {
        {&u.MNUMD, "MNUMD", "建立路径", Qt::CTRL | Qt::Key_M},
        {&u.MNUCOPY, "MNUCOPY", "文件复制", Qt::CTRL | Qt::Key_C},
        {&u.MNUREN, "MNUREN", "文件改名", Qt::CTRL | Qt::Key_R},
        {&u.MNUDEL, "MNUDEL", "文件删除", Qt::CTRL | Qt::Key_D},
        {&u.MNUEXIT, "MNUEXIT", "退出", Qt::CTRL | Qt::Key_X},
    };
    for (const auto& item : items) {
        if (item.slot == &u.MNUEXIT)
            u.MNUWJ->addSeparator();
        QAction* a = *item.slot = u.MNUWJ->addAction(QString::fromUtf8(item.text));
        a->setObjectName(QString::fromLatin1(item.name));
        a->setShortcut(item.key);
    }

    u.Toolbar1 = tv::forms::make<QToolBar>(root, "Toolbar1");
    u.Toolbar1->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    u.Toolbar1->setMovable(false);
    u.Toolbar1->setFloatable(false);
    QStyle* style = root->style();
    const struct {
        const char* caption;
        const char* key;
        const char* tip;
        const char* theme;
        QStyle::StandardPixmap fallback;
    } buttons[] = {
        {"建立", "A10", "建立路径", "folder-new", QStyle::SP_FileDialogNewFolder},
        {"复制", "A57", "文件复制", "edit-copy", QStyle::SP_FileIcon},
        {"更名", "A26", "文件改名", "edit-rename", QStyle::SP_FileDialogDetailedView},
        {"删除", "A50", "文件删除", "edit-delete", QStyle::SP_TrashIcon},
        {"退出", "A55", "退出", "application-exit", QStyle::SP_DialogCloseButton},
    };
    for (const auto& b : buttons) {
        const QString key = QString::fromLatin1(b.key);
        QAction* a =
            u.Toolbar1->addAction(QIcon::fromTheme(QString::fromLatin1(b.theme), style->standardIcon(b.fallback)),
                                  QString::fromUtf8(b.caption));
        a->setObjectName(key);
        a->setData(key);
        a->setToolTip(QString::fromUtf8(b.tip));
        tv::forms::on(a, &QAction::triggered, [this, key] { Toolbar1_ButtonClick(key); });
    }
    layout->addWidget(u.Toolbar1);
}

void FrmWjgl::buildBody(QWidget* body) {
    using tv::forms::make;
    using tv::forms::px;
    FrmWjglUi& u = ui();
    auto* grid = new QGridLayout(body);
    grid->setContentsMargins(px(120), px(120), px(120), px(120));
    grid->setHorizontalSpacing(px(120));
    grid->setVerticalSpacing(px(90));

    // The controls are made in the order the Tab key visits them.
    u.DrvList = make<tv::forms::DriveList>(body, "DrvList");
    u.DirList = make<tv::forms::FolderList>(body, "DirList");
    u.FilList = make<tv::forms::FileList>(body, "FilList");
    u.DirList->setMinimumSize(px(2700), px(2400));
    u.FilList->setMinimumSize(px(3600), px(2400));
    grid->addWidget(u.DrvList, 0, 0);
    grid->addWidget(u.DirList, 1, 0);
    grid->addWidget(u.FilList, 0, 1, 2, 1);

    auto* typeRow = new QHBoxLayout;
    typeRow->addWidget(new QLabel(QStringLiteral("文件类型：")));
    u.CboLx = make<QComboBox>(body, "CboLx");
    for (const FileType& t : kFileTypes) u.CboLx->addItem(QString::fromUtf8(t.item));
    u.CboLx->setCurrentIndex(-1);
    typeRow->addWidget(u.CboLx, 1);
    grid->addLayout(typeRow, 2, 0);

    // The attribute boxes under the file list, the mode boxes under the preview.
    const struct {
        QCheckBox** slot;
        const char* name;
        const char* text;
    } checks[] = {{&u.Check1, "Check1", "系统"},     {&u.Check2, "Check2", "隐藏"},
                  {&u.Check3, "Check3", "只读"},     {&u.Check4, "Check4", "图片浏览"},
                  {&u.Check5, "Check5", "源文件名"}, {&u.Check6, "Check6", "目标目录"}};
    QHBoxLayout* rows[] = {new QHBoxLayout, new QHBoxLayout};
    for (size_t i = 0; i < std::size(checks); ++i) {
        QCheckBox* box = *checks[i].slot = make<QCheckBox>(body, checks[i].name);
        box->setText(QString::fromUtf8(checks[i].text));
        rows[i / 3]->addWidget(box);
    }
    for (int column : {1, 2}) {
        rows[column - 1]->addStretch(1);
        grid->addLayout(rows[column - 1], 2, column);
    }

    auto* names = new QGridLayout;
    u.TxtWjm = make<QLineEdit>(body, "TxtWjm");
    u.TxtMbwj = make<QLineEdit>(body, "TxtMbwj");
    names->addWidget(new QLabel(QStringLiteral("源文件名：")), 0, 0);
    names->addWidget(u.TxtWjm, 0, 1);
    names->addWidget(new QLabel(QStringLiteral("目标文件名：")), 1, 0);
    names->addWidget(u.TxtMbwj, 1, 1);
    grid->addLayout(names, 3, 0, 1, 3);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    const struct {
        QPushButton** slot;
        const char* name;
        const char* caption;
        const char* tip;
    } defs[] = {
        {&u.CmdMd, "CmdMd", "建立目录(&M)", "建立路径"},   {&u.CmdCopy, "CmdCopy", "文件复制(&C)", "文件复制"},
        {&u.CmdRen, "CmdRen", "文件改名(&R)", "文件改名"}, {&u.CmdDel, "CmdDel", "文件删除(&D)", "文件删除"},
        {&u.CmdExit, "CmdExit", "退出(&X)", "退出"},
    };
    for (const auto& d : defs) {
        QPushButton* b = *d.slot = make<QPushButton>(body, d.name);
        b->setText(QString::fromUtf8(d.caption));
        b->setToolTip(QString::fromUtf8(d.tip));
        b->setAutoDefault(false);
        b->setMinimumSize(px(1455), px(435));
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    grid->addLayout(buttons, 4, 0, 1, 3);

    // The preview takes the right-hand column beside the lists.
    u.Label4 = make<QLabel>(body, "Label4");
    u.Label4->setText(QStringLiteral("图片"));
    u.Image1 = make<tv::forms::PictureBox>(body, "Image1");
    u.Image1->setFrameShape(QFrame::StyledPanel);
    u.Image1->setMinimumSize(px(3300), px(2400));
    grid->addWidget(u.Label4, 0, 2);
    grid->addWidget(u.Image1, 1, 2);

    grid->setRowStretch(1, 1);
    grid->setColumnStretch(0, 3);
    grid->setColumnStretch(1, 4);
    grid->setColumnStretch(2, 4);
}

void FrmWjgl::connectHandlers() {
    using tv::forms::on;
    using tv::forms::onClick;
    FrmWjglUi& u = ui();
    const std::pair<QPushButton*, QAction*> commands[] = {
        {u.CmdMd, u.MNUMD}, {u.CmdCopy, u.MNUCOPY}, {u.CmdRen, u.MNUREN}, {u.CmdDel, u.MNUDEL}, {u.CmdExit, u.MNUEXIT}};
    const std::function<void()> runs[] = {[this] { Dmd(); }, [this] { DCopy(); }, [this] { RRen(); },
                                          [this] { Ddil(); }, [this] { Tc(); }};
    for (size_t i = 0; i < std::size(commands); ++i) {
        onClick(commands[i].first, runs[i]);
        on(commands[i].second, &QAction::triggered, runs[i]);
    }

    on(u.DrvList, &tv::forms::DriveList::driveChanged, [this] { DrvList_Change(); });
    on(u.DirList, &tv::forms::FolderList::pathChanged, [this] { DirList_Change(); });
    QObject::connect(u.FilList, &tv::forms::FileList::fileClicked, u.FilList,
                     [this](const QString& name) { tv::forms::guard([this, name] { FilList_Click(name); }); });
    on(u.FilList, &tv::forms::FileList::deleteRequested, [this] { Ddil(); });
    on(u.CboLx, &QComboBox::activated, [this] { CboLx_Click(); });

    const std::pair<QCheckBox*, tv::forms::FileList::Attribute> attributes[] = {
        {u.Check1, tv::forms::FileList::System},
        {u.Check2, tv::forms::FileList::Hidden},
        {u.Check3, tv::forms::FileList::ReadOnly}};
    for (const auto& [box, attribute] : attributes)
        on(box, &QCheckBox::toggled,
           [this, box = box, attribute = attribute] { ui().FilList->setShown(attribute, box->isChecked()); });
    on(u.Check4, &QCheckBox::toggled, [this] { Check4_Click(ui().Check4->isChecked()); });
    on(u.Check5, &QCheckBox::toggled, [this] { Check5_Click(ui().Check5->isChecked()); });
    on(u.Check6, &QCheckBox::toggled, [this] { Check6_Click(ui().Check6->isChecked()); });

    auto* keys = new MenuKeysFirst(u.MNUWJ, u.TxtWjm);
    for (QLineEdit* box : {u.TxtWjm, u.TxtMbwj}) keys->watch(box);

    // Enter goes from the source name to the target name, then to 文件复制.
    auto* ring = new tv::forms::EnterRing({u.TxtWjm, u.TxtMbwj}, false, u.TxtWjm);
    ring->link(u.TxtMbwj, u.CmdCopy);
}

// --- load ------------------------------------------------------------------

void FrmWjgl::onLoad() {
    FrmWjglUi& u = ui();
    ClickMode = Click::None;
    SourceName.clear();
    u.Label4->hide();
    // The lists show what the unticked attribute boxes say: ordinary files only.
    u.FilList->setShown(tv::forms::FileList::ReadOnly, false);
    tv::forms::showFolder(u.DrvList, u.DirList, u.FilList, tv::dlg::startFolder());
}

// --- lists and mode boxes ---------------------------------------------------

QString FrmWjgl::folder() { return ui().FilList->path(); }

void FrmWjgl::DrvList_Change() { tv::forms::followDrive(ui().DrvList, ui().DirList); }

void FrmWjgl::DirList_Change() {
    FrmWjglUi& u = ui();
    const QString path = u.DirList->path();
    u.FilList->setPath(path);
    {
        QSignalBlocker block(u.DrvList);
        u.DrvList->setDriveOf(path);
    }
    if (ClickMode == Click::TargetFolder)
        u.TxtMbwj->setText(joinPath(path, SourceName));
}

void FrmWjgl::CboLx_Click() {
    const int i = ui().CboLx->currentIndex();
    if (i >= 0 && i < int(std::size(kFileTypes)))
        ui().FilList->setPattern(QString::fromLatin1(kFileTypes[i].pattern));
}

void FrmWjgl::FilList_Click(const QString& name) {
    FrmWjglUi& u = ui();
    switch (ClickMode) {
        case Click::Preview:
            u.Label4->show();
            u.Image1->showFile(joinPath(folder(), name));
            break;
        case Click::SourcePath:
            u.TxtWjm->setText(joinPath(folder(), name));
            SourceName = name;
            break;
        case Click::TargetFolder:
            u.TxtMbwj->setText(joinPath(folder(), QString()));
            break;
        case Click::BareName:
            u.TxtWjm->setText(name);
            break;
        case Click::None:
            break;
    }
}

void FrmWjgl::Check4_Click(bool on) { ClickMode = on ? Click::Preview : Click::BareName; }

void FrmWjgl::Check5_Click(bool on) {
    ui().Check6->setEnabled(!on);
    ClickMode = on ? Click::SourcePath : Click::BareName;
}

void FrmWjgl::Check6_Click(bool on) {
    ui().Check5->setEnabled(!on);
    ClickMode = on ? Click::TargetFolder : Click::BareName;
}

void FrmWjgl::clearModes() {
    FrmWjglUi& u = ui();
    for (QCheckBox* box : {u.Check4, u.Check5, u.Check6}) box->setChecked(false);
}

void FrmWjgl::refreshLists() {
    ui().DirList->refresh();
    ui().FilList->refresh();
}

void FrmWjgl::tell(const QString& text) { tv::dlg::msgBox(text, tv::dlg::Info, tv::dlg::kNoteTitle); }

void FrmWjgl::refused(const tv::shell::Result& r, const QString& path) {
    tell(r.missing ? QStringLiteral("找不到") + path + QStringLiteral("文件") : r.error);
}

// --- the commands -------------------------------------------------------------

void FrmWjgl::Toolbar1_ButtonClick(const QString& key) {
    const std::pair<const char*, void (FrmWjgl::*)()> keys[] = {{"A10", &FrmWjgl::Dmd},
                                                                {"A57", &FrmWjgl::DCopy},
                                                                {"A26", &FrmWjgl::RRen},
                                                                {"A50", &FrmWjgl::Ddil},
                                                                {"A55", &FrmWjgl::Tc}};
    for (const auto& [k, command] : keys)
        if (key == QLatin1String(k))
            return (this->*command)();
}

void FrmWjgl::Dmd() {
    const QString name = ui().TxtMbwj->text();
    if (name.isEmpty())
        return tell(QStringLiteral("必须输入目标文件名！"));
    const QString path = tv::shell::resolve(name, folder());
    if (const tv::shell::Result r = tv::shell::makeFolder(path)) {
        tell(QStringLiteral("文件目录已建立！"));
        clearModes();
    } else {
        refused(r, path);
    }
    refreshLists();
}

void FrmWjgl::DCopy() {
    FrmWjglUi& u = ui();
    const QString source = u.TxtWjm->text();
    if (source.isEmpty())
        return tell(QStringLiteral("必须先选取文件！"));
    if (u.TxtMbwj->text().isEmpty())
        return tell(QStringLiteral("必须输入目标文件名！"));
    // A relative target is taken in the source file's folder.
    const QString from = tv::shell::resolve(source, folder());
    QString why;
    switch (tv::shell::copyFile(from, u.TxtMbwj->text(), QFileInfo(from).absolutePath(), &why)) {
        case tv::shell::CopyOutcome::Copied:
            tell(QStringLiteral("文件复制完毕！"));
            clearModes();
            break;
        case tv::shell::CopyOutcome::Declined:
        case tv::shell::CopyOutcome::Cancelled:  // the user stopped it: nothing was copied
            break;
        case tv::shell::CopyOutcome::Missing:
            tell(QStringLiteral("找不到") + source + QStringLiteral("文件"));
            break;
        case tv::shell::CopyOutcome::Same:
        case tv::shell::CopyOutcome::Failed:
            tell(why);
            break;
    }
    refreshLists();
}

void FrmWjgl::RRen() {
    FrmWjglUi& u = ui();
    if (u.TxtWjm->text().isEmpty())
        return tell(QStringLiteral("必须先选取源文件名！"));
    if (u.TxtMbwj->text().isEmpty())
        return tell(QStringLiteral("必须输入目标文件名！"));
    // A relative new name is taken in the old file's folder.
    const QString from = tv::shell::resolve(u.TxtWjm->text(), folder());
    if (const tv::shell::Result r = tv::shell::rename(from, u.TxtMbwj->text(), QFileInfo(from).absolutePath())) {
        tell(QStringLiteral("文件改名完毕！"));
        clearModes();
    } else {
        refused(r, from);
    }
    refreshLists();
}

void FrmWjgl::Ddil() {
    FrmWjglUi& u = ui();
    if (u.TxtWjm->text().isEmpty())
        return tell(QStringLiteral("必须先选取文件！"));
    const QString name = tv::shell::resolve(u.TxtWjm->text(), folder());
    if (const tv::shell::Result r = tv::shell::mayDelete(name); !r)
        return tell(r.error);  // refused before the question, as a copy refuses a read-only target
    if (tv::dlg::msgBox(QStringLiteral("您真的要删除该文件吗？"), tv::dlg::YesNoCancel | tv::dlg::Question,
                        tv::dlg::kNoteTitle) != tv::dlg::Yes)
        return;
    if (const tv::shell::Result r = tv::shell::deleteFile(name)) {
        tell(QStringLiteral("文件删除完毕！"));
        clearModes();
    } else {
        refused(r, name);
    }
    refreshLists();
}

void FrmWjgl::Tc() { unload(); }

}  // namespace tv::exchange
