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
