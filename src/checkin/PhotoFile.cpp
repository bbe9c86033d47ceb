#include "checkin/PhotoFile.h"

#include "platform/forms/Pictures.h"
#include "platform/values/FileRead.h"

#include <QImage>

namespace tv::checkin {

PhotoRead readPhotoFile(const QString& path, QByteArray& bytes) {
    FileRead file = readRegularFile(path, kMaxPhotoBytes);
    if (file.error == FileReadError::TooLarge)
        return PhotoRead::TooLarge;
    if (!file.ok() || tv::forms::decodePicture(file.bytes, {.whole = true}).isNull())
        return PhotoRead::NotPicture;
    bytes = std::move(file.bytes);
    return PhotoRead::Ok;
}

}  // namespace tv::checkin
