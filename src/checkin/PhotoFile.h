#pragma once
// Reading an ID-card photo picked from a file: a size limit checked before
// anything is read, and a picture that must decode whole.

#include <QByteArray>
#include <QString>

namespace tv::checkin {

inline constexpr qint64 kMaxPhotoBytes = 10 * 1024 * 1024;

enum class PhotoRead { Ok, TooLarge, NotPicture };

// Reads the file at `path` into `bytes` when it is a picture of at most
// kMaxPhotoBytes that the decoder reads to its end without a complaint (a
// truncated or damaged file is NotPicture, though its header is right).
PhotoRead readPhotoFile(const QString& path, QByteArray& bytes);

}  // namespace tv::checkin
