#include "checkin/PhotoFile.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>

#include <cstdio>

namespace tv::checkin {

namespace {

// While it lives, the image decoders' warnings are counted instead of
// logged: the JPEG decoder reads a truncated or damaged file to the end
// (the missing part grey) and only says so in a warning.
class DecoderComplaints {
public:
    DecoderComplaints() {
        count_ = 0;
        previous_ = qInstallMessageHandler(&note);
    }
    ~DecoderComplaints() { qInstallMessageHandler(previous_); }
    DecoderComplaints(const DecoderComplaints&) = delete;
    DecoderComplaints& operator=(const DecoderComplaints&) = delete;
    int count() const { return count_; }

private:
    static void note(QtMsgType type, const QMessageLogContext& context, const QString& text) {
        if (type != QtDebugMsg && type != QtInfoMsg && context.category &&
            QByteArray(context.category).startsWith("qt.gui.imageio")) {
            ++count_;
        } else if (previous_) {
            previous_(type, context, text);
        } else {
            std::fputs(qPrintable(qFormatLogMessage(type, context, text) + QLatin1Char('\n')), stderr);
        }
    }
    static inline QtMessageHandler previous_ = nullptr;
    static inline int count_ = 0;
};

bool decodesWhole(const QByteArray& bytes) {
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image;
    DecoderComplaints complaints;
    return reader.read(&image) && !image.isNull() && complaints.count() == 0;
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
