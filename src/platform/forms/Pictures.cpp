// Decoding a picture to its end, with the decoder's complaints counted.
#include "platform/forms/Pictures.h"

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

}  // namespace

bool readWholePicture(QImageReader& reader, QImage& image) {
    DecoderComplaints complaints;
    return reader.read(&image) && !image.isNull() && complaints.count() == 0;
}

}  // namespace tv::forms
