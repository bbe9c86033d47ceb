#include "platform/values/OwnFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

#include <utility>

namespace tv {

namespace {

struct Lists {
    int next = 1;
    std::vector<std::pair<int, OwnFileList>> lists;
};
Lists& registered() {
    static Lists l;
    return l;
}

// What a name resolves to, and the file there when there is one.
struct Identity {
    QString path;
    bool exists = false;
    dev_t dev = 0;
    ino_t ino = 0;
};

Identity identify(const QString& path) {
    Identity id{resolvedPath(path)};
    struct stat st {};
    if (::stat(QFile::encodeName(id.path).constData(), &st) == 0) {
        id.exists = true;
        id.dev = st.st_dev;
        id.ino = st.st_ino;
    }
    return id;
}

bool same(const Identity& a, const Identity& b) {
    if (a.exists && b.exists)
        return a.dev == b.dev && a.ino == b.ino;
    return a.exists == b.exists && a.path == b.path;
}

}  // namespace

int addOwnFiles(OwnFileList list) {
    Lists& l = registered();
    l.lists.emplace_back(l.next, std::move(list));
    return l.next++;
}

void removeOwnFiles(int id) {
    auto& lists = registered().lists;
    std::erase_if(lists, [id](const auto& entry) { return entry.first == id; });
}

QString resolvedPath(const QString& path) {
    if (path.isEmpty())
        return QString();
    QString at = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40 && QFileInfo(at).isSymLink(); ++hops) at = QFileInfo(at).symLinkTarget();
    const QFileInfo file(at);
    if (const QString real = file.canonicalFilePath(); !real.isEmpty())
        return real;
    // Not there (yet): the real folder and the name.
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return folder.isEmpty() ? QDir::cleanPath(at) : QDir(folder).filePath(file.fileName());
}

bool sameFile(const QString& a, const QString& b) {
    return !a.isEmpty() && !b.isEmpty() && same(identify(a), identify(b));
}

std::optional<OwnFile> ownFileAt(const QString& path) {
    if (path.isEmpty())
        return std::nullopt;
    const Identity target = identify(path);
    const auto lists = registered().lists;  // a list may not change the lists, but a copy is safe anyway
    for (const auto& [id, list] : lists) {
        for (const OwnFile& own : list()) {
            if (own.path.isEmpty())
                continue;
            const Identity is = identify(own.path);
            if (same(target, is))
                return OwnFile{is.path, own.what};
        }
    }
    return std::nullopt;
}

QString ownFileRefusal(const QString& path) {
    const std::optional<OwnFile> own = ownFileAt(path);
    if (!own)
        return QString();
    const bool direct = QDir::cleanPath(QFileInfo(path).absoluteFilePath()) == own->path;
    return (direct ? QStringLiteral("它是本程序自用的%1“%2”") : QStringLiteral("它实际上是本程序自用的%1“%2”"))
        .arg(own->what, QDir::toNativeSeparators(own->path));
}

}  // namespace tv
