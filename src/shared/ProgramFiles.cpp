#include "shared/ProgramFiles.h"

#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"
#include "platform/shell/Shell.h"
#include "platform/values/OwnFiles.h"
#include "shared/SharedState.h"
#include "shared/Windows.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiSubWindow>

#include <algorithm>
#include <vector>

namespace tv {

QString userDatabaseFile() { return shell::programFolder() + QStringLiteral("/Rave.ini"); }

QString templateFile() { return shell::programFolder() + QStringLiteral("/MDB/Lunrek.mdb"); }

QStringList receiptFileNames() {
    return {QStringLiteral("Zjzd.txt"), QStringLiteral(".Zjzd.txt.lock"), QStringLiteral("Zjzd.txt.lock"),
            QStringLiteral("Zjzd.txt.new"), QStringLiteral("Zjzd.txt.pending")};
}

namespace {

// True when `w` lies in a child window inside `root` (the main window's area).
bool insideChildWindow(const QWidget* w, const QWidget* root) {
    for (const QWidget* p = w->parentWidget(); p && p != root; p = p->parentWidget())
        if (qobject_cast<const QMdiSubWindow*>(p))
            return true;
    return false;
}

// What each receipt file name is to the user.
QString receiptWhat(const QString& name) {
    if (name.endsWith(QLatin1String(".lock")))
        return QStringLiteral("收据文件的锁文件");
    if (name.endsWith(QLatin1String(".new")) || name.endsWith(QLatin1String(".pending")))
        return QStringLiteral("收据文件的暂存文件");
    return QStringLiteral("收据文件");
}

std::vector<OwnFile> programFiles() {
    std::vector<OwnFile> files = {
        {state().UserDbPath, QStringLiteral("用户数据库")},
        {userDatabaseFile(), QStringLiteral("用户数据库")},
        {templateFile(), QStringLiteral("模板数据文件")},
        {shell::programFolder(), QStringLiteral("程序文件夹")},
        {QCoreApplication::applicationFilePath(), QStringLiteral("程序文件")},
    };
    const QStringList inUse = dataFilesInUse();
    for (const QString& data : inUse) {
        const QDir folder = QFileInfo(data).absoluteDir();
        for (const QString& name : receiptFileNames()) files.push_back({folder.filePath(name), receiptWhat(name)});
    }
    for (const QString& data : inUse) files.push_back({data, QStringLiteral("数据文件")});
    return files;
}

}  // namespace

QStringList dataFilesInUse() {
    QStringList files;
    for (forms::Form* form : forms::Registry::loadedForms()) {
        const auto sources = form->widget()->findChildren<forms::DataControl*>();
        for (forms::DataControl* source : sources) {
            // A child window counts on its own while it is loaded, and not
            // once it went (its widgets linger a moment in the main window).
            if (insideChildWindow(source, form->widget()))
                continue;
            if (source->isOpen() && !source->databaseName().isEmpty())
                files << source->databaseName();
        }
        if (const auto* holder = dynamic_cast<const windows::DataFileHolder*>(form))
            if (const QString held = holder->heldDataFile(); !held.isEmpty())
                files << held;
    }
    files.removeDuplicates();
    return files;
}

bool dataFileInUse(const QString& path) {
    const QStringList inUse = dataFilesInUse();
    return std::any_of(inUse.begin(), inUse.end(), [&](const QString& file) { return sameFile(path, file); });
}

void knowProgramFiles() {
    static const int known = addOwnFiles(&programFiles);
    (void)known;
}

}  // namespace tv
