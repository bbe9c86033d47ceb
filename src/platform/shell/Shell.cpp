// The desktop shell's services, on Qt.
#include "platform/shell/Shell.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/dialogs/Progress.h"
#include "platform/values/DiskName.h"
#include "platform/values/FileRead.h"
#include "platform/values/IoError.h"
#include "platform/values/OwnFiles.h"
#include "platform/values/WholeFile.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstdio>

namespace tv::shell {

namespace {
QString g_programFolder;
std::function<bool(const QUrl&)> g_desktopHook;
}  // namespace

QString programFolder() { return g_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_programFolder; }

void setProgramFolder(const QString& folder) { g_programFolder = folder; }

QString pictureFolder() { return programFolder() + QStringLiteral("/BMP/"); }

bool openWithDesktop(const QUrl& url) {
    if (g_desktopHook)
        return g_desktopHook(url);
    return QDesktopServices::openUrl(url);
}

void setDesktopHook(std::function<bool(const QUrl&)> hook) { g_desktopHook = std::move(hook); }

QString join(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

QString resolve(const QString& name, const QString& folder) {
    if (name.isEmpty())
        return QString();
    if (QDir::isAbsolutePath(name))
        return QDir::cleanPath(name);
    const QDir base(folder.isEmpty() ? QDir::currentPath() : resolve(folder));
    return QDir::cleanPath(base.absoluteFilePath(name));
}

bool openDocument(const QString& path, const QString& folder) {
    const QString full = resolve(path, folder);
    if (full.isEmpty() || !QFileInfo::exists(full))
        return false;
    return openWithDesktop(QUrl::fromLocalFile(full));
}

bool openUrl(const QString& address) {
    QUrl url = QUrl::fromUserInput(address.trimmed());
    if (!url.isValid() || url.isEmpty())
        return false;
    return openWithDesktop(url);
}

bool startProgram(const QString& program, const QStringList& arguments, QString* error) {
    QString exe = program;
    if (!program.contains(QLatin1Char('/')))
        exe = QStandardPaths::findExecutable(program);
    const QFileInfo info(exe);
    if (exe.isEmpty() || !info.exists() || !info.isFile() || !info.isExecutable()) {
        if (error)
            *error = QStringLiteral("找不到程序“%1”。").arg(program);
        return false;
    }
    if (!QProcess::startDetached(info.absoluteFilePath(), arguments)) {
        if (error)
            *error = QStringLiteral("无法启动程序“%1”。").arg(program);
        return false;
    }
    return true;
}

namespace {

CopyOutcome copyFailed(const QString& text, QString* error, CopyOutcome outcome = CopyOutcome::Failed) {
    if (error)
        *error = text;
    return outcome;
}

}  // namespace

CopyOutcome copyFile(const QString& source, const QString& target, const QString& folder, QString* error) {
    const QString from = resolve(source, folder);
    const QFileInfo src(from);
    struct stat st {};
    if (from.isEmpty() || ::stat(diskName(from).constData(), &st) != 0) {
        const int why = from.isEmpty() ? ENOENT : errno;
        if (why != ENOENT && why != ENOTDIR)  // a link that leads round to itself, no permission
            return copyFailed(QStringLiteral("无法复制“%1”：%2").arg(source, ioErrorText(why)), error);
        return copyFailed(QStringLiteral("无法复制：找不到源文件“%1”。").arg(source), error, CopyOutcome::Missing);
    }
    if (!S_ISREG(st.st_mode))
        return copyFailed(QStringLiteral("无法复制“%1”：它不是文件。").arg(source), error);
    if (target.trimmed().isEmpty())
        return copyFailed(QStringLiteral("无法复制“%1”：没有给出目标文件名。").arg(source), error);

    // A name ending in a separator names a folder to copy into.
    QString named = target;
    const bool endsInSeparator = named.endsWith(QLatin1Char('/')) || named.endsWith(QLatin1Char('\\'));
    if (endsInSeparator && named.size() > 1)
        named.chop(1);
    QString to = resolve(named, folder);
    const bool intoFolder = endsInSeparator || QFileInfo(to).isDir();
    if (intoFolder) {
        if (!QFileInfo(to).isDir())
            return copyFailed(QStringLiteral("无法复制：找不到目标文件夹“%1”。").arg(target), error);
        to = QDir(to).filePath(src.fileName());
    }
    const QFileInfo dst(to);
    if (!dst.absoluteDir().exists())
        return copyFailed(QStringLiteral("无法复制：找不到目标文件夹“%1”。").arg(dst.absolutePath()), error);
    if (dst.exists() && dst.canonicalFilePath() == src.canonicalFilePath())
        return copyFailed(QStringLiteral("源文件和目标文件是同一个文件"), error, CopyOutcome::Same);
    if (dst.isDir())
        return copyFailed(QStringLiteral("无法复制：“%1”是一个文件夹。").arg(to), error);
    // Refused before the user is asked to replace it.
    if (const QString no = tv::saveRefusal(to); !no.isEmpty())
        return copyFailed(QStringLiteral("无法写入目标文件“%1”：%2").arg(to, no), error);
    if (dst.exists()) {
        const tv::dlg::Button answer = tv::dlg::msgBox(
            QStringLiteral("此位置已经包含名为“%1”的文件。\n是否用“%2”替换它？").arg(dst.fileName(), from),
            tv::dlg::YesNo | tv::dlg::Question, QStringLiteral("确认文件替换"));
        if (answer != tv::dlg::Yes)
            return CopyOutcome::Declined;
    }

    // Opened only as a regular file, without waiting: a FIFO put in its place
    // since the look above would block the copy for ever.
    QFile in;
    QString unread;
    if (tv::openRegularFile(from, in, &unread) != tv::FileReadError::None)
        return copyFailed(QStringLiteral("无法读取源文件“%1”：%2").arg(from, unread), error);
    QString why;
    const CopyOutcome outcome = writeCopy(in, from, to, &why);
    if (outcome == CopyOutcome::Failed) {
        const bool readFailed = in.error() != QFileDevice::NoError;
        return copyFailed(
            (readFailed ? QStringLiteral("无法读取源文件“%1”：%2") : QStringLiteral("无法写入目标文件“%1”：%2"))
                .arg(readFailed ? from : to, why),
            error);
    }
    if (outcome == CopyOutcome::Copied)
        ::chmod(QFile::encodeName(to).constData(), st.st_mode & 0777);
    return outcome;
}

CopyOutcome writeCopy(QIODevice& in, const QString& shownSource, const QString& to, QString* why) {
    tv::WholeFile out(to);
    if (!out.open())
        return copyFailed(out.error(), why);
    const qint64 total = in.isSequential() ? 0 : in.size() - in.pos();
    tv::dlg::Progress progress(
        QStringLiteral("文件复制"),
        QStringLiteral("正在复制“%1”\n到“%2”").arg(QDir::toNativeSeparators(shownSource), QDir::toNativeSeparators(to)),
        total, tv::dlg::Progress::Unit::Bytes);
    QByteArray chunk(kCopyChunk, Qt::Uninitialized);
    qint64 done = 0, got = 0;
    while (progress.advance(done) && (got = in.read(chunk.data(), chunk.size())) > 0) {
        if (!out.write(chunk.constData(), got))
            return copyFailed(out.error(), why);  // dropped with `out`: what stood at `to` stays
        done += got;
    }
    if (got < 0) {
        auto* file = qobject_cast<QFileDevice*>(&in);
        return copyFailed(file ? tv::ioErrorText(*file) : tv::ioErrorText(EIO), why);
    }
    if (progress.cancelled())
        return CopyOutcome::Cancelled;
    if (!out.commit())
        return copyFailed(out.error(), why);
    return CopyOutcome::Copied;
}

namespace {

// The file at `full` as the system has it, a link as itself; false with the
// reason when it is not there.
bool lookAt(const QString& full, const QString& shown, struct stat& st, Result& r) {
    if (!full.isEmpty() && ::lstat(diskName(full).constData(), &st) == 0)
        return true;
    const int why = full.isEmpty() ? ENOENT : errno;
    r = why == ENOENT || why == ENOTDIR
            ? Result{false, QStringLiteral("找不到文件“%1”。").arg(shown), true}
            : Result{false, QStringLiteral("无法访问“%1”：%2").arg(shown, ioErrorText(why))};
    return false;
}

// One of the program's own files (platform/values/OwnFiles.h) under this
// very name ("" when not): deleted or renamed, the program would lose it. A
// link to one, or a second name of one, goes without touching it.
QString ownFileNamed(const QString& full, const struct stat& st) {
    if (S_ISLNK(st.st_mode))
        return QString();
    const std::optional<tv::OwnFile> own = tv::ownFileAt(full);
    return own && tv::resolvedPath(full) == own->path ? tv::ownFileRefusal(full) : QString();
}

// Why the file may not be deleted ("" when it may): one of the program's
// own files, or one marked read-only, is refused as a copy refuses to
// replace it (a name that is not UTF-8 by its mark alone: the copy's look
// never finds it).
QString deleteRefusal(const QString& full, const struct stat& st) {
    if (!S_ISREG(st.st_mode))
        return QString();
    if (const QString own = ownFileNamed(full, st); !own.isEmpty())
        return own;
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 ? QStringLiteral("文件是只读的")
                                                             : tv::replaceRefusal(full);
}

}  // namespace

Result mayDelete(const QString& path, const QString& folder) {
    const QString full = resolve(path, folder);
    struct stat st {};
    Result r;
    if (!lookAt(full, path, st, r))
        return {true, QString()};  // told by the delete itself
    if (const QString no = deleteRefusal(full, st); !no.isEmpty())
        return {false, QStringLiteral("无法删除“%1”：%2").arg(path, no)};
    return {true, QString()};
}

Result deleteFile(const QString& path, const QString& folder) {
    const QString full = resolve(path, folder);
    struct stat st {};
    Result r;
    if (!lookAt(full, path, st, r))
        return r;
    if (S_ISDIR(st.st_mode))
        return {false, QStringLiteral("“%1”是文件夹，不能作为文件删除。").arg(path)};
    if (const QString no = deleteRefusal(full, st); !no.isEmpty())
        return {false, QStringLiteral("无法删除“%1”：%2").arg(path, no)};
    // A link goes itself, whatever it leads to (or round to itself).
    if (::unlink(diskName(full).constData()) != 0)
        return {false, QStringLiteral("无法删除“%1”：%2").arg(path, ioErrorText(errno))};
    return {true, QString()};
}

Result rename(const QString& from, const QString& to, const QString& folder) {
    const QString oldPath = resolve(from, folder);
    const QString newPath = resolve(to, folder);
    struct stat st {};
    Result missing;
    if (!lookAt(oldPath, from, st, missing))
        return missing;
    if (newPath.isEmpty())
        return {false, QStringLiteral("没有给出新的文件名。")};
    const QFileInfo newInfo(newPath);
    if (newInfo.exists() || newInfo.isSymLink())
        return {false, QStringLiteral("目标文件已存在")};
    if (!newInfo.absoluteDir().exists())
        return {false, QStringLiteral("无法改名：找不到文件夹“%1”。").arg(newInfo.absolutePath())};
    const auto failed = [&](const QString& why) {
        return Result{false, QStringLiteral("无法把“%1”改名为“%2”：%3").arg(from, to, why)};
    };
    if (const QString own = ownFileNamed(oldPath, st); !own.isEmpty())
        return failed(own);
    if (S_ISDIR(st.st_mode)) {
        const QString self = QFileInfo(oldPath).canonicalFilePath();
        const QString into = QFileInfo(newInfo.absolutePath()).canonicalFilePath();
        if (into == self || into.startsWith(self + QLatin1Char('/')))
            return failed(QStringLiteral("不能把文件夹移到它自己里面。"));
    }
    // Never over an existing name; the old one by its bytes on the disk.
    const QByteArray oldName = diskName(oldPath);
    if (::renameat2(AT_FDCWD, oldName.constData(), AT_FDCWD, QFile::encodeName(newPath).constData(),
                    RENAME_NOREPLACE) == 0)
        return {true, QString()};
    const int why = errno;
    // A file system that cannot rename so, or another disk: as Qt renames
    // (a file copied there, which never replaces one either).
    if ((why == EINVAL || why == ENOSYS || why == EXDEV) && oldName == QFile::encodeName(oldPath)) {
        QFile file(oldPath);
        errno = 0;
        if (S_ISDIR(st.st_mode) ? QDir().rename(oldPath, newPath) : file.rename(newPath))
            return {true, QString()};
        return failed(ioErrorText(file, errno));
    }
    return failed(ioErrorText(why));
}

Result makeFolder(const QString& path, const QString& folder) {
    const QString full = resolve(path, folder);
    if (full.isEmpty())
        return {false, QStringLiteral("没有给出文件夹名。")};
    const QFileInfo info(full);
    if (info.exists())
        return {false, QStringLiteral("“%1”已经存在。").arg(path)};
    if (!info.absoluteDir().exists())
        return {false, QStringLiteral("找不到上一级文件夹“%1”。").arg(info.absolutePath())};
    if (!QDir().mkdir(full))
        return {false, QStringLiteral("无法建立文件夹“%1”：%2").arg(path, ioErrorText(errno))};
    return {true, QString()};
}

}  // namespace tv::shell
