#pragma once
// Decoding a picture to its end. The JPEG decoder reads a cut or damaged
// file to the end (the missing part grey) and only says so in a warning: a
// picture counts as read only when the decoder neither failed nor complained.

class QImage;
class QImageReader;

namespace tv::forms {

bool readWholePicture(QImageReader& reader, QImage& image);

}  // namespace tv::forms
