#pragma once
// What the benchmarks share: ID numbers, a 50 KB photo, and the process's
// memory as the kernel counts it.

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QString>

namespace tv::bench {

inline constexpr int kPhotoBytes = 50 * 1024;

inline QString idNumber(int i) { return QStringLiteral("4401011990%1").arg(i, 8, 10, QLatin1Char('0')); }

// A JPEG of exactly 50 KB: noise so that it does not compress away, padded
// after its end marker (readers stop there).
inline QByteArray photo() {
    QImage img(260, 200, QImage::Format_RGB32);
    QRandomGenerator rng(7);
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) img.setPixel(x, y, rng.generate() | 0xff000000u);
    QByteArray bytes;
    for (int quality = 90; quality > 5; quality -= 5) {
        bytes.clear();
        QBuffer buf(&bytes);
        buf.open(QIODevice::WriteOnly);
        img.save(&buf, "JPG", quality);
        if (bytes.size() <= kPhotoBytes)
            break;
    }
    bytes.append(QByteArray(kPhotoBytes - bytes.size(), '\0'));
    return bytes;
}

// A line of /proc/self/status ("VmHWM:", "VmRSS:") in MB.
inline double memoryMb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024;
    return 0;
}

}  // namespace tv::bench
