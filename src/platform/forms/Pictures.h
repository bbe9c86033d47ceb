#pragma once
// Pictures from files and from bytes. A picture file is read through the safe
// file read (a FIFO, a device or a huge file is never read), the picture's
// size is asked before it is decoded (a small file that claims a huge picture
// takes no memory), and the JPEG decoder's complaints are counted: it reads a
// cut or damaged file to the end (the missing part grey) and only says so in
// a warning.

#include <QtGlobal>

class QByteArray;
class QImage;
class QImageReader;
class QString;

namespace tv::forms {

// The most memory one decoded picture may take.
inline constexpr qint64 kMaxPictureMemory = 128LL << 20;
// The largest picture file of the program's folder that is read.
inline constexpr qint64 kMaxPictureFileBytes = 32LL << 20;

// How a picture is decoded.
struct Decode {
    // A picture larger than this many pixels on its longer side is decoded
    // at that size where its format can (0: always at its full size).
    int fitSide = 0;
    // Turned upright as the camera's orientation tag says.
    bool upright = false;
    // A cut or damaged picture counts as none (else it shows what the
    // decoder made of it).
    bool whole = false;
};

// True when the reader read a picture and the decoder did not complain.
bool readWholePicture(QImageReader& reader, QImage& image);

// The picture held in `bytes`; null when they hold none, when it was not
// whole (if asked), or when decoding it would take more than
// kMaxPictureMemory.
QImage decodePicture(const QByteArray& bytes, const Decode& how = {});

// The picture in the file at `path` (a regular file of at most `maxBytes`);
// null when there is none or the file cannot be read safely.
QImage readPictureFile(const QString& path, qint64 maxBytes = kMaxPictureFileBytes, const Decode& how = {});

}  // namespace tv::forms
