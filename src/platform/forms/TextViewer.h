#pragma once
// The program's viewer of text files (where the old program started the
// system's text viewer): a GBK text laid out in columns as the printer lays
// it out (a Chinese or box-drawing character two columns wide), the box
// characters drawn as strokes so that the lines of a receipt join.

#include "platform/forms/Form.h"

#include <QStringList>

class QScrollArea;

namespace tv::forms {

class TextPage;

struct TextViewerUi {
    QScrollArea* area = nullptr;
    TextPage* page = nullptr;
};

class TextViewer : public Window<TextViewerUi> {
public:
    static constexpr const char* kName = "TextViewer";
    TextViewer();

    // Shows the file (read again when it is shown already); a file that
    // cannot be read says so in a "提示！" box.
    void open(const QString& path);
    const QString& path() const { return path_; }
    const QStringList& lines() const { return lines_; }

protected:
    QSize designSize() const override { return {13200, 9600}; }
    void build(QWidget* root) override;

private:
    QString path_;
    QStringList lines_;
};

}  // namespace tv::forms
