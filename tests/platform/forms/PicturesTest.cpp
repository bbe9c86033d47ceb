// Pictures from bytes and files: the size asked before the decoding, a
// reduced decoding where asked, a cut picture refused only where it must be
// whole, and the files the safe read refuses.
#include "platform/forms/BoundControls.h"
#include "platform/forms/Controls.h"
#include "platform/forms/Pictures.h"
#include "support/OddFiles.h"

#include <gtest/gtest.h>
#include <QBuffer>
#include <QDataStream>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

using namespace tv::forms;

namespace {

QByteArray encoded(int width, int height, const char* format) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

// A BMP header of a 32-bit picture this large, without its pixels.
QByteArray bmpHeader(int width, int height) {
    QByteArray bytes;
    QDataStream out(&bytes, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("BM", 2);
    out << quint32(54) << quint32(0) << quint32(54) << quint32(40) << qint32(width) << qint32(height) << quint16(1)
        << quint16(32) << quint32(0) << quint32(0) << quint32(0) << quint32(0) << quint32(0) << quint32(0);
    return bytes;
}

TEST(Pictures, TheSizeIsAskedBeforeDecodingAndACutPictureCountsOnlyWhereItMustBeWhole) {
    const QByteArray jpg = encoded(300, 200, "JPG");
    const struct {
        const char* what;
        QByteArray bytes;
        Decode how;
        QSize expected;  // invalid: no picture
    } rows[] = {
        {"a picture", jpg, {}, {300, 200}},
        {"fitted", jpg, {.fitSide = 150}, {150, 100}},
        {"already small enough", jpg, {.fitSide = 400}, {300, 200}},
        {"cut, shown as far as it goes", jpg.chopped(40), {}, {300, 200}},
        {"cut where it must be whole", jpg.chopped(40), {.whole = true}, {}},
        {"a huge picture's header", bmpHeader(20000, 20000), {}, {}},
        {"the same, fitted", bmpHeader(20000, 20000), {.fitSide = 100}, {}},
        {"no picture", "no picture", {}, {}},
        {"nothing", {}, {}, {}},
    };
    for (const auto& row : rows) {
        const QImage image = decodePicture(row.bytes, row.how);
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), row.expected) << row.what;
    }
}

// The program's own pictures, read through the safe read: a FIFO, a device,
// a huge file or a folder in a picture's place leaves the label or picture
// box empty at once.
TEST(Pictures, APictureFileThatIsNoRegularFileLeavesItsPlaceEmpty) {
    QTemporaryDir dir;
    const QString good = dir.filePath("good.png");
    QFile f(good);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write(encoded(30, 20, "PNG")) > 0);
    f.close();
    QLabel label;
    BoundImage image;
    EXPECT_TRUE(loadPicture(&label, good) && image.loadFile(good));
    EXPECT_EQ(image.image().size(), QSize(30, 20));
    for (const QString& kind : tv::test::oddKinds()) {
        const QString path = dir.filePath(kind + ".png");
        tv::test::makeOdd(kind, path);
        tv::test::Watchdog watchdog("a picture that is a " + kind.toStdString());
        EXPECT_FALSE(loadPicture(&label, path)) << kind.toStdString();
        EXPECT_TRUE(label.pixmap().isNull());
        EXPECT_FALSE(image.loadFile(path)) << kind.toStdString();
        EXPECT_TRUE(readPictureFile(path).isNull());
    }
    EXPECT_EQ(image.image().size(), QSize(30, 20)) << "a refused file changes nothing";
}

}  // namespace

namespace {

// The headers of a JPEG of a picture this large in three components (the
// colours at half the resolution of the brightness), progressive (SOF2) or
// baseline (SOF0), without pixels.
QByteArray jpegHeader(int width, int height, bool progressive) {
    QByteArray bytes("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00", 20);
    bytes += QByteArray("\xFF", 1) + char(progressive ? 0xC2 : 0xC0) + QByteArray("\x00\x11\x08", 3);
    bytes += char(height >> 8) + QByteArray(1, char(height & 255)) + char(width >> 8) + char(width & 255);
    bytes += QByteArray("\x03\x01\x22\x00\x02\x11\x01\x03\x11\x01", 10);
    // The first scan's header, then the end.
    bytes += QByteArray("\xFF\xDA\x00\x0C\x03\x01\x00\x02\x11\x03\x11\x00", 12) + char(progressive ? 0 : 63);
    return bytes + QByteArray("\x00\xFF\xD9", 3);
}

}  // namespace

// Asked at a reduced size: a 16-bit PNG is reduced as it is read (and stops
// when told to); a progressive JPEG whose coefficients would not fit, a
// picture of more than 200 million pixels, and one of a format decoded whole
// that would not fit are too large; a header without pixels is no picture.
TEST(Pictures, AReducedPictureIsReadWithinItsBoundsOrIsTooLarge) {
    QImage deep(3000, 2000, QImage::Format_RGBX64);
    deep.fill(QColor(255, 0, 0));
    QByteArray png;
    QBuffer out(&png);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly) && deep.save(&out, "PNG"));
    auto stop = [](qint64, qint64) { return false; };
    const struct {
        const char* what;
        QByteArray bytes;
        Decode how;
        QSize size;
        PictureFault fault;
    } rows[] = {
        {"a 16-bit PNG", png, {.fitSide = 300}, {300, 200}, PictureFault::None},
        {"the same, stopped", png, {.fitSide = 300, .progress = stop}, {}, PictureFault::Stopped},
        {"a progressive JPEG", jpegHeader(10000, 8000, true), {.fitSide = 300}, {}, PictureFault::TooLarge},
        {"a baseline one", jpegHeader(10000, 8000, false), {.fitSide = 300}, {}, PictureFault::NotAPicture},
        {"250 million pixels", jpegHeader(25000, 10000, false), {.fitSide = 300}, {}, PictureFault::TooLarge},
        {"a BMP decoded whole", bmpHeader(6000, 6000), {.fitSide = 300}, {}, PictureFault::TooLarge},
    };
    for (const auto& row : rows) {
        QBuffer in;
        in.setData(row.bytes);
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        PictureFault fault = PictureFault::None;
        const QImage image = decodePicture(in, row.how, &fault);
        EXPECT_EQ(image.isNull() ? QSize() : image.size(), row.size) << row.what;
        EXPECT_EQ(int(fault), int(row.fault)) << row.what;
        if (!image.isNull()) {
            EXPECT_EQ(image.pixelColor(150, 100), QColor(255, 0, 0)) << row.what;
        }
    }
}
