#pragma once
// The program's own files: the receipt file with its lock and staging files,
// the data files in use, the user database, the template, the program folder.
// No save by a name the user gave (a settlement file, an export, a new data
// file, a copy, a printout to PDF) may write one of them, however the name
// reaches it: a file is known by what its name resolves to (symbolic links
// followed, the folder's real path; an existing file also by its device and
// inode, so that a hard link is known too), never by the name alone.
//
// The layers that know these files give lists of them here; the lists are
// asked afresh at every check, as the files in use change.
//
//     if (const QString no = tv::ownFileRefusal(path); !no.isEmpty())
//         tell(no);  // "它实际上是本程序自用的收据文件“/home/房东/Zjzd.txt”"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace tv {

struct OwnFile {
    QString path;
    QString what;  // what it is to the user: "收据文件", "用户数据库" ...
};
using OwnFileList = std::function<std::vector<OwnFile>()>;

// Adds a list of own files (asked at every check); the number removes it.
int addOwnFiles(OwnFileList list);
void removeOwnFiles(int id);

// The own file that writing to `path` would write (its path as resolved),
// nullopt when none.
std::optional<OwnFile> ownFileAt(const QString& path);
// Why a save may not write to `path`, in Chinese ("" when it may): it is,
// or through a link or a second name actually is, one of the own files.
QString ownFileRefusal(const QString& path);

// `path` as the file it names: absolute, its symbolic links followed as far
// as they lead, its folder's real path.
QString resolvedPath(const QString& path);
// Both names name one file (or, where none exists yet, one place).
bool sameFile(const QString& a, const QString& b);

}  // namespace tv
