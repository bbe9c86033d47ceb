#include "platform/forms/TextViewer.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/forms/Controls.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Geometry.h"
#include "platform/print/Backends.h"
#include "platform/print/Layout.h"
#include "platform/text/Gbk.h"
#include "platform/values/FileRead.h"

#include <QFileInfo>
#include <QHelpEvent>
#include <QKeySequence>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollArea>
#include <QShortcut>
#include <QToolTip>
#include <QVBoxLayout>
#include <QtMath>

#include <algorithm>

namespace tv::forms {

namespace {
constexpr double kFontSize = 12;                // points, as printed
constexpr double kTwipsPerPixel = 1440.0 / 96;  // the screen's 96 dots to the inch
// Years of receipts; a larger file would take gigabytes once laid out in lines.
constexpr qint64 kLargestFile = 32LL << 20;
}  // namespace

// The lines in columns, drawn a band at a time (only what is to be seen).
class TextPage : public QWidget {
public:
    explicit TextPage(QWidget* parent) : QWidget(parent) {
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFocusPolicy(Qt::NoFocus);
    }
    void setLines(const QStringList* lines, const std::vector<bool>* cut) {
        lines_ = lines;
        cut_ = cut;
        int columns = 1;
        for (const QString& l : *lines) columns = std::max(columns, text::width(l));
        resize(qCeil(columns * column() + 2 * margin()), qCeil(lines->size() * lineHeight() + 2 * margin()));
        update();
    }

protected:
    // A line shown cut says so.
    bool event(QEvent* e) override {
        if (e->type() != QEvent::ToolTip || !cut_)
            return QWidget::event(e);
        const auto* help = static_cast<QHelpEvent*>(e);
        const double at = (help->pos().y() - margin()) / lineHeight();
        if (at >= 0 && at < double(cut_->size()) && (*cut_)[size_t(at)])
            QToolTip::showText(help->globalPos(), cutValueTip(), this);
        else
            QToolTip::hideText();
        return true;
    }
    void paintEvent(QPaintEvent* e) override {
        QPainter painter(this);
        painter.fillRect(e->rect(), Qt::white);
        if (!lines_)
            return;
        const int first = std::max(0, static_cast<int>((e->rect().top() - margin()) / lineHeight()));
        const int last = std::min(static_cast<int>(lines_->size()) - 1,
                                  static_cast<int>((e->rect().bottom() - margin()) / lineHeight()));
        if (last < first)
            return;
        const double top = margin() + first * lineHeight();
        QImage band(e->rect().right() + 1, qCeil((last - first + 1) * lineHeight()), QImage::Format_RGB32);
        band.setDotsPerMeterX(qRound(96 / 0.0254));
        band.setDotsPerMeterY(qRound(96 / 0.0254));
        band.fill(Qt::white);
        std::vector<print::Placed> steps;
        for (int i = first; i <= last; ++i) {
            print::Placed p;
            p.y = (i - first) * kFontSize * 20;
            p.fontSize = kFontSize;
            p.fontName = QStringLiteral("宋体");
            p.text = lines_->at(i);
            steps.push_back(std::move(p));
        }
        print::renderLines(band, steps);
        painter.drawImage(QPointF(margin(), top), band);
    }

private:
    static double column() { return kFontSize * 10 / kTwipsPerPixel; }
    static double lineHeight() { return kFontSize * 20 / kTwipsPerPixel; }
    static double margin() { return 8; }
    const QStringList* lines_ = nullptr;
    const std::vector<bool>* cut_ = nullptr;
};

TextViewer::TextViewer() : Window(QString::fromLatin1(kName), Kind::TopLevel) {}

void TextViewer::build(QWidget* root) {
    TextViewerUi& u = ui();
    root->resize(forms::pixels(designSize()));
    u.area = forms::make<QScrollArea>(root, "TextArea");
    u.area->setBackgroundRole(QPalette::Base);
    u.page = new TextPage(u.area);
    u.area->setWidget(u.page);
    u.area->setFocusPolicy(Qt::StrongFocus);
    auto* layout = new QVBoxLayout(root);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(u.area);
    auto* close = new QShortcut(QKeySequence(Qt::Key_Escape), root);
    QObject::connect(close, &QShortcut::activated, root, [this] { unload(); });
}

void TextViewer::open(const QString& path) {
    const FileRead file = readRegularFile(path, kLargestFile);
    if (!file.ok()) {
        const QString why = file.error == FileReadError::TooLarge
                                ? QStringLiteral("文件太大（超过 %1 MB），不能在这里浏览。").arg(kLargestFile >> 20)
                                : file.why;
        dlg::msgBox(QStringLiteral("无法打开文件：%1\n%2").arg(path, why), dlg::Info, dlg::kNoteTitle);
        return;
    }
    QString text = text::fromGbk(file.bytes);
    // A byte that is not GBK: one column, drawn in it as the printer writes it.
    text.replace(QChar::ReplacementCharacter, QLatin1Char('?'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lines_ = text.split(QLatin1Char('\n'));
    text.clear();
    if (!lines_.isEmpty() && lines_.constLast().isEmpty())
        lines_.removeLast();
    // A long line is shown as a box shows a long value: cut, and marked so.
    cut_.assign(size_t(lines_.size()), false);
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        QString& line = lines_[i];
        if (line.size() <= kShownChars)
            continue;
        line.truncate(line.at(kShownChars - 1).isHighSurrogate() ? kShownChars - 1 : kShownChars);
        line.squeeze();
        line += print::Layout::kCutMark;
        cut_[size_t(i)] = true;
    }
    path_ = path;
    const bool fresh = !isLoaded();
    show();
    if (fresh)
        forms::centerOnScreen(widget());
    widget()->setWindowTitle(QFileInfo(path).fileName() + QStringLiteral(" - 账单文件"));
    ui().page->setLines(&lines_, &cut_);
    ui().area->setFocus();
}

}  // namespace tv::forms
