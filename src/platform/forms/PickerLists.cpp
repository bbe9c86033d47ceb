#include "platform/forms/PickerLists.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/forms/Pictures.h"
#include "platform/values/DiskName.h"
#include "platform/values/IoError.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QPixmap>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStorageInfo>
#include <QStyle>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <map>
#include <optional>

namespace tv::forms {

// --- drives ----------------------------------------------------------------

DriveList::DriveList(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QFileInfo& d : QDir::drives()) roots << QDir::cleanPath(d.absoluteFilePath());
    for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
        if (!v.isValid() || !v.isReady())
            continue;
        const QString root = QDir::cleanPath(v.rootPath());
        // Pseudo file systems are no place for pictures.
        if (root.startsWith(QLatin1String("/proc")) || root.startsWith(QLatin1String("/sys")) ||
            root.startsWith(QLatin1String("/dev")) || root.startsWith(QLatin1String("/run")))
            continue;
        roots << root;
    }
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    addItems(roots);
    connect(this, &QComboBox::currentIndexChanged, this, [this] { emit driveChanged(); });
}

QString DriveList::drive() const { return currentText(); }

void DriveList::setDriveOf(const QString& path) {
    const QString clean = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    int best = -1, bestLen = -1;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemText(i);
        const bool holds = root == QLatin1String("/") || clean == root || clean.startsWith(root + QLatin1Char('/'));
        if (holds && root.size() > bestLen) {
            best = i;
            bestLen = int(root.size());
        }
    }
    if (best >= 0)
        setCurrentIndex(best);
}

// --- folders ---------------------------------------------------------------

namespace {
constexpr int kPathRole = Qt::UserRole + 1;

QString cleanPath(const QString& path) { return QDir::cleanPath(QFileInfo(path).absoluteFilePath()); }

// The folders whose opening fails as the tests say, with its error number.
std::map<QString, int>& failingFolders() {
    static std::map<QString, int> folders;
    return folders;
}
}  // namespace

QString folderRefusal(const QString& path) {
    if (path.isEmpty())
        return ioErrorText(ENOENT);
    const QString clean = cleanPath(path);
    if (const auto it = failingFolders().find(clean); it != failingFolders().end())
        return ioErrorText(it->second);
    const QByteArray name = QFile::encodeName(clean);
    struct stat st {};
    if (::stat(name.constData(), &st) != 0)
        return ioErrorText(errno);
    if (!S_ISDIR(st.st_mode))
        return ioErrorText(ENOTDIR);
    // Its names are read, and its files are reached through it.
    if (::access(name.constData(), R_OK | X_OK) != 0)
        return ioErrorText(errno);
    return QString();
}

void failFolderOpens(const QString& path, int errnum) {
    if (errnum)
        failingFolders()[cleanPath(path)] = errnum;
    else
        failingFolders().erase(cleanPath(path));
}

FolderList::FolderList(QWidget* parent) : QListWidget(parent) {
    // Activation is a double-click or Enter. The path is taken before the
    // list is filled again, which deletes the item.
    connect(this, &QListWidget::itemActivated, this, [this](QListWidgetItem* item) {
        if (!item)
            return;
        const QString path = item->data(kPathRole).toString();
        if (const QString why = folderRefusal(path); !why.isEmpty()) {
            // The folder shown stays the current one, where the commands act.
            for (int i = 0; i < count(); ++i)
                if (this->item(i)->data(kPathRole).toString() == path_)
                    setCurrentItem(this->item(i));
            tv::dlg::msgBox(QStringLiteral("无法打开文件夹“%1”：%2").arg(QDir::toNativeSeparators(path), why),
                            tv::dlg::Info, tv::dlg::kNoteTitle);
            return;
        }
        setPath(path);
    });
}

bool FolderList::setPath(const QString& path) {
    if (!folderRefusal(path).isEmpty())
        return false;
    const QString clean = cleanPath(path);
    if (clean == path_)
        return true;
    path_ = clean;
    fill();
    emit pathChanged();
    return true;
}

void FolderList::refresh() {
    if (path_.isEmpty())
        return;
    QString p = path_;
    while (!folderRefusal(p).isEmpty()) {
        const QString up = QFileInfo(p).absolutePath();
        if (up == p)
            return;
        p = up;
    }
    if (p == path_)
        fill();
    else
        setPath(p);
}

void FolderList::fill() {
    clear();
    const QIcon open = style()->standardIcon(QStyle::SP_DirOpenIcon);
    const QIcon closed = style()->standardIcon(QStyle::SP_DirClosedIcon);
    // The chain from the root down to the current folder.
    QStringList chain;
    for (QDir d(path_);;) {
        chain.prepend(d.absolutePath());
        if (d.isRoot() || !d.cdUp())
            break;
    }
    int depth = 0;
    for (const QString& p : chain) {
        const QString name = depth == 0 ? p : QFileInfo(p).fileName();
        auto* item = new QListWidgetItem(open, QString(depth * 2, QLatin1Char(' ')) + name, this);
        item->setData(kPathRole, p);
        if (p == path_)
            setCurrentItem(item);
        ++depth;
    }
    const QStringList subs = QDir(path_).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& s : subs) {
        auto* item = new QListWidgetItem(closed, QString(depth * 2, QLatin1Char(' ')) + s, this);
        item->setData(kPathRole, QDir(path_).filePath(s));
    }
}

// --- files -------------------------------------------------------------------

namespace {

// A file whose name is not UTF-8 (which QDir leaves out): its name as it
// reads and its attributes.
struct OddName {
    QString text;
    int attributes = 0;
};

std::vector<OddName> unreadableFiles(const QString& folder) {
    std::vector<OddName> files;
    const QByteArray folderName = QFile::encodeName(folder);
    DIR* dir = ::opendir(folderName.constData());
    if (!dir)
        return files;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (!unreadableName(name))
            continue;
        const QByteArray full = folderName + '/' + name;
        struct stat st {};
        const bool there = ::stat(full.constData(), &st) == 0;  // a link as what it leads to
        if (there && S_ISDIR(st.st_mode))
            continue;
        int attributes = name.startsWith('.') ? FileList::Hidden : 0;
        if (!there || !S_ISREG(st.st_mode))
            attributes |= FileList::System;
        else if (!(st.st_mode & S_IWUSR))
            attributes |= FileList::ReadOnly;
        files.push_back({QFile::decodeName(name), attributes});
    }
    ::closedir(dir);
    return files;
}

QRegularExpression wildcard(const QString& pattern) {
    return QRegularExpression::fromWildcard(pattern, Qt::CaseInsensitive);
}

}  // namespace

FileList::FileList(QWidget* parent) : QListWidget(parent) {
    connect(this, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
        if (item)
            emit fileClicked(item->text());
    });
}

void FileList::setPath(const QString& path) {
    path_ = path;
    fill();
}

void FileList::setPattern(const QString& pattern) {
    // "*.*" named every file, also those without a dot.
    pattern_ = pattern == QLatin1String("*.*") ? QStringLiteral("*") : pattern;
    fill();
}

void FileList::setShown(Attribute a, bool on) {
    shown_ = on ? shown_ | a : shown_ & ~a;
    fill();
}

void FileList::refresh() {
    const QString keep = fileName();
    fill();
    if (keep.isEmpty())
        return;
    const QList<QListWidgetItem*> found = findItems(keep, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (!found.isEmpty()) {
        setCurrentItem(found.first());
        scrollToItem(found.first());
    }
}

void FileList::keyPressEvent(QKeyEvent* e) {
    const bool enter = e->key() == Qt::Key_Return || e->key() == Qt::Key_Enter;
    if (enter && !e->isAutoRepeat() && currentItem()) {
        e->accept();
        currentItem()->setSelected(true);
        emit fileClicked(currentItem()->text());
        return;
    }
    if (e->key() == Qt::Key_Delete && e->modifiers() == Qt::NoModifier) {
        e->accept();
        emit deleteRequested();
        return;
    }
    QListWidget::keyPressEvent(e);
}

QString FileList::fileName() const {
    const QListWidgetItem* item = currentItem();
    return item && item->isSelected() ? item->text() : QString();
}

void FileList::fill() {
    clear();
    if (path_.isEmpty())
        return;
    QDir::Filters filters = QDir::Files;
    if (shown_ & Hidden)
        filters |= QDir::Hidden;
    if (shown_ & System)
        filters |= QDir::System;
    // Name filters without QDir::CaseSensitive match letter case freely.
    const QFileInfoList entries = QDir(path_).entryInfoList({pattern_}, filters, QDir::Name | QDir::IgnoreCase);
    std::vector<std::pair<QString, bool>> names;  // a name and whether it is UTF-8
    names.reserve(entries.size());
    for (const QFileInfo& f : entries) {
        if (!(shown_ & ReadOnly) && f.exists() && !(f.permissions() & QFile::WriteOwner))
            continue;
        names.emplace_back(f.fileName(), true);
    }
    const size_t readable = names.size();
    for (const OddName& odd : unreadableFiles(path_)) {
        if ((odd.attributes & ~shown_) == 0 && wildcard(pattern_).match(odd.text).hasMatch())
            names.emplace_back(odd.text, false);
    }
    if (names.size() > readable)
        std::stable_sort(names.begin(), names.end(), [](const auto& a, const auto& b) {
            return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
        });
    for (const auto& [name, utf8] : names) {
        auto* item = new QListWidgetItem(name, this);
        if (!utf8)
            item->setToolTip(QStringLiteral("文件名中有无法识别的字符（“�”处），它不是 UTF-8 文字"));
    }
}

// --- picture box -------------------------------------------------------------

PictureBox::PictureBox(QWidget* parent) : QLabel(parent) {
    setAlignment(Qt::AlignCenter);
    // The picture never sizes the box: the box sizes the picture.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);
    setMinimumSize(1, 1);
}

bool PictureBox::showFile(const QString& path) {
    clearPicture();
    std::optional<tv::dlg::Progress> progress;  // made once the decoding tells its length
    auto advance = [&](qint64 done, qint64 total) {
        if (!progress)
            progress.emplace(QStringLiteral("图片浏览"),
                             QStringLiteral("正在读取图片“%1”").arg(QDir::toNativeSeparators(path)), total);
        return progress->advance(done);
    };
    PictureFault fault = PictureFault::None;
    QImage picture =
        streamPictureFile(path, {.fitSide = kMaxSide, .upright = true, .whole = true, .progress = advance}, &fault);
    if (picture.isNull()) {
        if (fault == PictureFault::TooLarge)
            setText(QStringLiteral("图片太大，无法预览"));
        else if (fault != PictureFault::Stopped)
            setText(QStringLiteral("图片已损坏或不是图片，无法预览"));
        return false;
    }
    image_ = std::move(picture);
    fit();
    return true;
}

void PictureBox::clearPicture() {
    image_ = QImage();
    clear();
}

void PictureBox::resizeEvent(QResizeEvent* e) {
    QLabel::resizeEvent(e);
    fit();
}

void PictureBox::fit() {
    if (image_.isNull())
        return;
    const QSize room = contentsRect().size();
    const bool fits = image_.width() <= room.width() && image_.height() <= room.height();
    setPixmap(QPixmap::fromImage(
        fits || room.isEmpty() ? image_ : image_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void showFolder(DriveList* drives, FolderList* folders, FileList* files, const QString& path) {
    files->setPath(path);
    const QSignalBlocker blockFolders(folders);
    const QSignalBlocker blockDrives(drives);
    folders->setPath(path);
    drives->setDriveOf(path);
}

void followDrive(DriveList* drives, FolderList* folders) {
    if (!folders->setPath(drives->drive())) {
        const QSignalBlocker block(drives);
        drives->setDriveOf(folders->path());
    }
}

}  // namespace tv::forms
