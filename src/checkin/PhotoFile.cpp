#include "checkin/PhotoFile.h"

#include "platform/forms/Pictures.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

namespace tv::checkin {

namespace {

bool decodesWhole(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image;
    return tv::forms::readWholePicture(reader, image);
}

}  // namespace

PhotoRead readPhotoFile(const QString& path, QByteArray& bytes) {
    const QFileInfo info(path);
    if (!info.isFile())
        return PhotoRead::NotPicture;
    if (info.size() > kMaxPhotoBytes)
        return PhotoRead::TooLarge;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return PhotoRead::NotPicture;
    // Never more than the limit, should the file have grown since.
    bytes = file.read(kMaxPhotoBytes + 1);
    if (bytes.size() > kMaxPhotoBytes)
        return PhotoRead::TooLarge;
    return decodesWhole(bytes) ? PhotoRead::Ok : PhotoRead::NotPicture;
}

}  // namespace tv::checkin
