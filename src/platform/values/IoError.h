#pragma once
// What the user is told when a file cannot be written (or read): the cause in
// Chinese, a full disk as "磁盘空间不足"; never the system's or Qt's English.

#include <QString>

class QFileDevice;

namespace tv {

// The words for the error number of a failed file operation: the cause for
// the ones a file operation meets, "系统错误（错误号 N）" for the rest.
QString ioErrorText(int errnum);

// The words for an operation that failed on `f`: the error number its error
// text names, else `errnum`, else the kind of its error. When `f` holds no
// error of its own (the failing call was made on its handle, outside the
// device), the words for `errnum`, the errno saved right after that call.
QString ioErrorText(const QFileDevice& f, int errnum = 0);

}  // namespace tv
