// Pictures from files and bytes: a safe read, the size asked before the
// decoding, the decoder's complaints counted.
#include "platform/forms/Pictures.h"

#include "platform/values/FileRead.h"

#include <QBuffer>
#include <QByteArray>
#include <QImage>
#include <QImageReader>

#include <cstdio>

namespace tv::forms {

namespace {

// While it lives, the image decoders' warnings are counted instead of logged.
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

qint64 memoryOf(const QSize& size) { return qint64(size.width()) * size.height() * 4; }

}  // namespace

bool readWholePicture(QImageReader& reader, QImage& image) {
    DecoderComplaints complaints;
    return reader.read(&image) && !image.isNull() && complaints.count() == 0;
}

QImage decodePicture(const QByteArray& bytes, const Decode& how) {
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    reader.setAutoTransform(how.upright);
    reader.setAllocationLimit(int(kMaxPictureMemory >> 20));  // for a format that cannot tell its size
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.isEmpty())
            return {};
        QSize decoded = size;
        if (how.fitSide > 0 && (size.width() > how.fitSide || size.height() > how.fitSide)) {
            QSize wanted = size.scaled(how.fitSide, how.fitSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
            reader.setScaledSize(wanted);
            // A format that cannot decode at a reduced size is decoded whole first.
            if (reader.supportsOption(QImageIOHandler::ScaledSize))
                decoded = wanted;
        }
        if (memoryOf(decoded) > kMaxPictureMemory)
            return {};
    } else if (how.fitSide > 0) {
        return {};
    }
    QImage image;
    if (how.whole ? !readWholePicture(reader, image) : !reader.read(&image))
        return {};
    return image;
}

QImage readPictureFile(const QString& path, qint64 maxBytes, const Decode& how) {
    const FileRead file = readRegularFile(path, maxBytes);
    return file.ok() ? decodePicture(file.bytes, how) : QImage();
}

}  // namespace tv::forms
