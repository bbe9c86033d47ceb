#pragma once
// The program's viewer of text files (where the old program started the
// system's text viewer): a GBK text laid out in columns as the printer lays
// it out (a Chinese or box-drawing character two columns wide), the box
// characters drawn as strokes so that the lines of a receipt join. A line
// longer than a box shows a value (kShownChars) is shown cut there, marked
// "…", and says so in its tooltip; a byte that is not GBK shows as "?" in
// its one column.

#include "platform/forms/Form.h"

#include <QStringList>

#include <vector>

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
    // cannot be read, or is too large to show, says why in a "提示！" box.
    void open(const QString& path);
    const QString& path() const { return path_; }
    // The lines as shown (a long one cut).
    const QStringList& lines() const { return lines_; }

protected:
    QSize designSize() const override { return {13200, 9600}; }
    void build(QWidget* root) override;

private:
    QString path_;
    QStringList lines_;
    std::vector<bool> cut_;  // per line: shown cut
};

}  // namespace tv::forms
