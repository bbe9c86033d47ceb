#pragma once
// The bytes a path names on the disk. The program turns file names into text
// as UTF-8; a name written by another system in another code (an old
// Windows program's GBK, say) is not UTF-8, and its text shows each byte it
// cannot read as "�" (U+FFFD), which turned back into bytes names another
// file. Such a name is found again by its text among the names of its folder.

#include <QByteArray>
#include <QString>

namespace tv {

// `path` as the bytes of the file it names: its UTF-8 form, or, when nothing
// is there under that and its last part holds "�", the folder's one entry
// whose name reads as that part (the UTF-8 form when none or several do).
QByteArray diskName(const QString& path);

// True when a name read from the disk does not turn back into the same
// bytes: its text shows bytes that are not UTF-8.
bool unreadableName(const QByteArray& name);

}  // namespace tv
