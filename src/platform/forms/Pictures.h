#pragma once
// Pictures from files and from bytes. A picture file is read through the safe
// file read (a FIFO, a device or a huge file is never read), the picture's
// size is asked before it is decoded (a small file that claims a huge picture
// takes no memory), and the JPEG decoder's complaints are counted: it reads a
// cut or damaged file to the end (the missing part grey) and only says so in
// a warning. A picture asked for at a reduced size is decoded at that size
// where its format can (a JPEG, any PNG); it may then be far larger.

#include <QtGlobal>

#include <functional>

class QByteArray;
class QIODevice;
class QImage;
class QString;

namespace tv::forms {

// The most memory one decoded picture may take.
inline constexpr qint64 kMaxPictureMemory = 128LL << 20;
// The largest picture file of the program's folder that is read.
inline constexpr qint64 kMaxPictureFileBytes = 32LL << 20;
// The most pixels of a picture decoded at a reduced size: every one of them
// is still read, and at this size that takes a few seconds.
inline constexpr qint64 kMaxReducedPixels = 200'000'000;

// Why there is no picture: none there (or damaged), too large to decode, or
// the decoding was stopped.
enum class PictureFault { None, NotAPicture, TooLarge, Stopped };

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
    // Told how far a long decoding got (done of total); false stops it.
    std::function<bool(qint64 done, qint64 total)> progress = nullptr;
};

// The picture held in `bytes`; null when they hold none, when it was not
// whole (if asked), or when decoding it would take more than
// kMaxPictureMemory.
QImage decodePicture(const QByteArray& bytes, const Decode& how = {});
// The picture read from `device` from where it stands (it must be able to
// go back there), decoded as it is read; `fault` says why there is none.
QImage decodePicture(QIODevice& device, const Decode& how = {}, PictureFault* fault = nullptr);

// The picture in the file at `path` (a regular file of at most `maxBytes`);
// null when there is none or the file cannot be read safely.
QImage readPictureFile(const QString& path, qint64 maxBytes = kMaxPictureFileBytes, const Decode& how = {});
// The picture in the file at `path`, a regular file of any size, decoded as
// it is read: the decoding's own bounds keep the memory it takes.
QImage streamPictureFile(const QString& path, const Decode& how = {}, PictureFault* fault = nullptr);

}  // namespace tv::forms
