#include "platform/values/IoError.h"

#include <QCoreApplication>
#include <QFileDevice>

#include <cerrno>
#include <utility>

namespace tv {

namespace {

constexpr std::pair<int, const char*> kWords[] = {
    {ENOSPC, "磁盘空间不足"},
    {EDQUOT, "磁盘空间不足（已超出磁盘配额）"},
    {EACCES, "没有访问权限"},
    {EPERM, "没有访问权限"},
    {EROFS, "磁盘是只读的"},
    {EFBIG, "文件太大"},
    {EIO, "磁盘读写错误"},
    {ENOENT, "找不到文件或文件夹"},
    {ENOTDIR, "路径中有一项不是文件夹"},
    {EISDIR, "这是一个文件夹"},
    {ENAMETOOLONG, "文件名太长"},
    {EMFILE, "打开的文件太多"},
    {ENFILE, "打开的文件太多"},
    {EBUSY, "文件正被使用"},
    {ETXTBSY, "文件正被使用"},
    {EEXIST, "文件已经存在"},
    {ENOTEMPTY, "文件夹不是空的"},
};

}  // namespace

QString ioErrorText(int errnum) {
    if (errnum == 0)
        return QStringLiteral("未知错误");
    for (const auto& [number, words] : kWords)
        if (number == errnum)
            return QString::fromUtf8(words);
    return qt_error_string(errnum);
}

QString ioErrorText(const QFileDevice& f, int errnum) {
    QString text = f.error() == QFileDevice::NoError ? QString() : f.errorString();
    if (text.isEmpty() || text == QCoreApplication::translate("QIODevice", "Unknown error"))
        return ioErrorText(errnum);
    // Qt words a failed call with the system's text of its error number.
    for (const auto& [number, words] : kWords) {
        const QString system = qt_error_string(number);
        if (!system.isEmpty() && text.contains(system))
            return text.replace(system, QString::fromUtf8(words));
    }
    return text;
}

}  // namespace tv
