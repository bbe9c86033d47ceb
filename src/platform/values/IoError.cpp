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
    {ELOOP, "符号链接的层数太多（可能链接到了自身）"},
    {EXDEV, "不能在不同的磁盘之间移动"},
    {EMLINK, "链接太多"},
    {ENXIO, "设备不存在或没有准备好"},
    {ENODEV, "设备不存在"},
    {ENOMEM, "内存不足"},
    {EINTR, "操作被中断"},
    {EAGAIN, "资源暂时不可用，请稍后再试"},
    {EINVAL, "参数无效"},
    {ESPIPE, "这个文件不能定位"},
    {EBADF, "文件没有打开"},
    {EFAULT, "地址错误"},
    {ENOLCK, "无法锁定文件"},
    {EDEADLK, "锁定文件时会发生死锁"},
    {EOVERFLOW, "文件太大，无法处理"},
    {EOPNOTSUPP, "这个文件系统不支持该操作"},
    {ENOSYS, "系统不支持该操作"},
    {ETIMEDOUT, "操作超时"},
    {ESTALE, "网络文件已失效，请重新打开"},
    {ENOTCONN, "网络没有连接"},
    {EHOSTDOWN, "网络主机没有响应"},
    {ENETDOWN, "网络不通"},
    {EPIPE, "管道已断开"},
    {ECANCELED, "操作已取消"},
    {ENOMEDIUM, "驱动器中没有介质"},
    {EMEDIUMTYPE, "介质类型不对"},
    {EUCLEAN, "文件系统需要修复"},
    {ENOTBLK, "需要块设备"},
    {ECHILD, "没有子进程"},
    {ESRCH, "找不到进程"},
    {E2BIG, "参数太长"},
    {ENOEXEC, "不是可执行的程序"},
    {ERANGE, "数值超出范围"},
    {EDOM, "数值超出范围"},
};

// What a file device says of itself, by the kind of its error.
QString kindWords(QFileDevice::FileError e) {
    switch (e) {
        case QFileDevice::NoError:
            return QString();
        case QFileDevice::ReadError:
            return QStringLiteral("读取文件时出错");
        case QFileDevice::WriteError:
            return QStringLiteral("写入文件时出错");
        case QFileDevice::FatalError:
            return QStringLiteral("发生严重错误");
        case QFileDevice::ResourceError:
            return QStringLiteral("系统资源不足（磁盘空间或内存）");
        case QFileDevice::OpenError:
            return QStringLiteral("无法打开文件");
        case QFileDevice::AbortError:
            return QStringLiteral("操作被中止");
        case QFileDevice::TimeOutError:
            return QStringLiteral("操作超时");
        case QFileDevice::UnspecifiedError:
            return QStringLiteral("未知错误");
        case QFileDevice::RemoveError:
            return QStringLiteral("无法删除文件");
        case QFileDevice::RenameError:
            return QStringLiteral("无法改名");
        case QFileDevice::PositionError:
            return QStringLiteral("无法定位到文件中的位置");
        case QFileDevice::ResizeError:
            return QStringLiteral("无法改变文件大小");
        case QFileDevice::PermissionsError:
            return QStringLiteral("无法更改文件权限");
        case QFileDevice::CopyError:
            return QStringLiteral("无法复制文件");
    }
    return QStringLiteral("未知错误");
}

}  // namespace

QString ioErrorText(int errnum) {
    if (errnum == 0)
        return QStringLiteral("未知错误");
    for (const auto& [number, words] : kWords)
        if (number == errnum)
            return QString::fromUtf8(words);
    return QStringLiteral("系统错误（错误号 %1）").arg(errnum);
}

QString ioErrorText(const QFileDevice& f, int errnum) {
    const QString text = f.error() == QFileDevice::NoError ? QString() : f.errorString();
    if (text.isEmpty() || text == QCoreApplication::translate("QIODevice", "Unknown error"))
        return ioErrorText(errnum);
    // Qt words a failed call with the system's text of its error number;
    // the longest text that fits is the one (some contain others).
    int best = 0;
    qsizetype bestLength = 0;
    for (int number = 1; number < 256; ++number) {
        const QString system = qt_error_string(number);
        if (system.size() > bestLength && text.contains(system))
            best = number, bestLength = system.size();
    }
    if (best)
        return ioErrorText(best);
    // Qt's own words for it (English): the caller's error number, else the kind.
    return errnum ? ioErrorText(errnum) : kindWords(f.error());
}

}  // namespace tv
