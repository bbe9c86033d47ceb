#pragma once
// A read-only viewer of the receipt file: the GBK text laid out in columns as
// the printer lays it out (a Chinese or box-drawing character two columns
// wide), the box characters drawn as strokes so that the lines join.

#include "platform/forms/Form.h"

#include <QStringList>

class QScrollArea;

namespace tv::fees {

class ReceiptPage;

struct ReceiptViewerUi {
    QScrollArea* area = nullptr;
    ReceiptPage* page = nullptr;
};

class ReceiptViewer : public forms::Window<ReceiptViewerUi> {
public:
    static constexpr const char* kName = "ReceiptViewer";
    ReceiptViewer();

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

}  // namespace tv::fees
