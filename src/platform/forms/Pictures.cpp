// Pictures from files and bytes: a safe read, the size asked before the
// decoding, the decoder's complaints counted.
#include "platform/forms/Pictures.h"

#include "platform/forms/PngStrips.h"
#include "platform/values/FileRead.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QImageReader>

#include <algorithm>
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

// The memory libjpeg keeps for a progressive JPEG in `device`: the
// coefficients of the whole picture, whatever size it is decoded at (0 for a
// baseline JPEG, decoded in strips, and for what is no JPEG). The device is
// left where it stood.
qint64 progressiveJpegMemory(QIODevice& device) {
    const qint64 start = device.pos();
    auto byteAt = [&](qint64 at) {
        char c = 0;
        return device.seek(start + at) && device.getChar(&c) ? int(uchar(c)) : -1;
    };
    auto wordAt = [&](qint64 at) { return byteAt(at) * 256 + byteAt(at + 1); };
    qint64 memory = 0;
    if (byteAt(0) == 0xFF && byteAt(1) == 0xD8) {
        // The segments up to the frame header: a marker and the length of what follows it.
        // (A few hundred segments at most come before it in any camera's file.)
        for (qint64 at = 2, segments = 0; byteAt(at) == 0xFF && ++segments < 1000;) {
            const int marker = byteAt(at + 1);
            if (marker == 0xFF) {  // fill byte
                ++at;
                continue;
            }
            const bool progressive = marker == 0xC2 || marker == 0xC6 || marker == 0xCA || marker == 0xCE;
            const bool frame = (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC);
            if (frame || marker == 0xDA || marker < 0) {
                if (progressive) {
                    const qint64 height = wordAt(at + 5), width = wordAt(at + 7);
                    const int components = byteAt(at + 9);
                    int hMax = 1, vMax = 1;
                    for (int c = 0; c < components; ++c) {
                        hMax = std::max(hMax, byteAt(at + 11 + 3 * c) >> 4);
                        vMax = std::max(vMax, byteAt(at + 11 + 3 * c) & 15);
                    }
                    // Blocks of 8 × 8 coefficients of two bytes, per component at its sampling.
                    for (int c = 0; c < components; ++c) {
                        const int sampling = std::max(byteAt(at + 11 + 3 * c), 0);
                        const qint64 across = (width * (sampling >> 4) / hMax + 7) / 8;
                        const qint64 down = (height * (sampling & 15) / vMax + 7) / 8;
                        memory += across * down * 128;
                    }
                }
                break;
            }
            const int length = wordAt(at + 2);
            if (length < 2)
                break;
            at += 2 + length;
        }
    }
    device.seek(start);
    return memory;
}

QImage failed(PictureFault why, PictureFault* fault) {
    if (fault)
        *fault = why;
    return {};
}

// True when the reader read a picture and the decoder did not complain.
bool readWholePicture(QImageReader& reader, QImage& image) {
    DecoderComplaints complaints;
    return reader.read(&image) && !image.isNull() && complaints.count() == 0;
}

}  // namespace

QImage decodePicture(const QByteArray& bytes, const Decode& how) {
    if (bytes.isEmpty())
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    return decodePicture(buffer, how);
}

QImage decodePicture(QIODevice& device, const Decode& how, PictureFault* fault) {
    if (fault)
        *fault = PictureFault::None;
    const qint64 start = device.pos();
    // Wanted only for a decoding at a reduced size (below).
    const qint64 jpegMemory = how.fitSide > 0 ? progressiveJpegMemory(device) : 0;
    QImageReader reader(&device);
    reader.setAutoTransform(how.upright);
    reader.setAllocationLimit(int(kMaxPictureMemory >> 20));  // for a format that cannot tell its size
    const QSize size = reader.size();
    if (size.isValid()) {
        if (size.isEmpty())
            return failed(PictureFault::NotAPicture, fault);
        qint64 memory = memoryOf(size);
        if (how.fitSide > 0 && (size.width() > how.fitSide || size.height() > how.fitSide)) {
            if (qint64(size.width()) * size.height() > kMaxReducedPixels)
                return failed(PictureFault::TooLarge, fault);
            const QSize wanted = size.scaled(how.fitSide, how.fitSide, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
            const QByteArray format = reader.format();
            if (format == "png") {
                // Qt's reader reduces only some kinds of PNG as it reads; this reads every kind so.
                bool stopped = false;
                QImage image;
                if (device.seek(start))
                    image = readPngReduced(device, wanted, how.progress, &stopped);
                return image.isNull() ? failed(stopped ? PictureFault::Stopped : PictureFault::NotAPicture, fault)
                                      : image;
            }
            reader.setScaledSize(wanted);
            // A JPEG is decoded at a reduced size (after its coefficients, when
            // progressive); any other format whole first.
            if (format == "jpeg")
                memory = jpegMemory + memoryOf(wanted);
        }
        if (memory > kMaxPictureMemory)
            return failed(PictureFault::TooLarge, fault);
    } else if (how.fitSide > 0) {
        return failed(PictureFault::NotAPicture, fault);
    }
    QImage image;
    if (how.whole ? !readWholePicture(reader, image) : !reader.read(&image))
        return failed(PictureFault::NotAPicture, fault);
    return image;
}

QImage readPictureFile(const QString& path, qint64 maxBytes, const Decode& how) {
    const FileRead file = readRegularFile(path, maxBytes);
    return file.ok() ? decodePicture(file.bytes, how) : QImage();
}

QImage streamPictureFile(const QString& path, const Decode& how, PictureFault* fault) {
    QFile file;
    if (openRegularFile(path, file) != FileReadError::None)
        return failed(PictureFault::NotAPicture, fault);
    return decodePicture(file, how, fault);
}

}  // namespace tv::forms
