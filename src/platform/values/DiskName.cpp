#include "platform/values/DiskName.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <sys/stat.h>

namespace tv {

bool unreadableName(const QByteArray& name) { return QFile::encodeName(QFile::decodeName(name)) != name; }

QByteArray diskName(const QString& path) {
    const QByteArray plain = QFile::encodeName(path);
    struct stat st {};
    if (!path.contains(QChar::ReplacementCharacter) || ::lstat(plain.constData(), &st) == 0)
        return plain;
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (name.isEmpty())
        return plain;
    const QByteArray folder = diskName(info.path());
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return plain;
    QByteArray found;
    int matches = 0;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray entryName(entry->d_name);
        if (unreadableName(entryName) && QFile::decodeName(entryName) == name) {
            found = entryName;
            ++matches;
        }
    }
    ::closedir(dir);
    if (matches != 1)
        return plain;
    return folder.endsWith('/') ? folder + found : folder + '/' + found;
}

}  // namespace tv
