#pragma once
// Reading an ID-card photo picked from a file: only a regular file, never
// more than the limit, and a picture that must decode whole (within the
// memory a picture may take).

#include <QByteArray>
#include <QString>

namespace tv::checkin {

inline constexpr qint64 kMaxPhotoBytes = 10 * 1024 * 1024;

enum class PhotoRead { Ok, TooLarge, NotPicture };

// Reads the file at `path` into `bytes` when it is a picture of at most
// kMaxPhotoBytes that the decoder reads to its end without a complaint (a
// truncated or damaged file is NotPicture, though its header is right; so is
// a FIFO, a device or a folder).
PhotoRead readPhotoFile(const QString& path, QByteArray& bytes);

}  // namespace tv::checkin
