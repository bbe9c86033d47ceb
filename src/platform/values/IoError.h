#pragma once
// What the user is told when a file cannot be written (or read): the common
// causes in Chinese, a full disk as "磁盘空间不足", never "Unknown error".

#include <QString>

class QFileDevice;

namespace tv {

// The words for the error number of a failed file operation: Chinese for the
// common ones, the system's own text for the rest.
QString ioErrorText(int errnum);

// The words for an operation that failed on `f`: its error text, with the
// system's text of a common error number put in Chinese. When `f` holds no
// error of its own (the failing call was made on its handle, outside the
// device), the words for `errnum`, the errno saved right after that call.
QString ioErrorText(const QFileDevice& f, int errnum = 0);

}  // namespace tv
