#include "platform/print/Backends.h"

#include "platform/text/Gbk.h"
#include "platform/values/IoError.h"
#include "platform/values/WholeFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QPrinter>
#include <QPrinterInfo>
#include <QTextStream>

#include <algorithm>
#include <cerrno>
#include <optional>

namespace tv::print {

namespace {

QString num(double v) { return QString::number(v, 'g', 12); }

constexpr double kPdfMarginMm = 5;
constexpr double kTwipsPerMm = 1440.0 / 25.4;

// --- the trace ------------------------------------------------------------

class TraceSink : public Sink {
public:
    TraceSink(QString path, QStringList* memory) : path_(std::move(path)), memory_(memory) {}

    void begin() override {
        if (!path_.isEmpty()) {
            file_.setFileName(path_);
            if (!file_.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
                throw PrintError(QStringLiteral("无法写入打印记录文件：%1\n%2").arg(path_, ioErrorText(file_)));
        }
        write(QStringLiteral("begin"));
    }
    void line(const Placed& p) override { write(traceLine(p)); }
    void picture(const Placed& p, const QImage&) override { write(traceLine(p)); }
    void newPage(const Placed& p) override { write(traceLine(p)); }
    void end() override {
        write(QStringLiteral("end"));
        file_.close();
    }
    void abort() noexcept override {
        try {
            if (memory_)
                memory_->append(QStringLiteral("abort"));
            if (file_.isOpen()) {
                file_.write("abort\n");
                file_.close();
            }
        } catch (...) {
        }
    }

private:
    void write(const QString& text) {
        if (memory_)
            memory_->append(text);
        if (file_.isOpen()) {
            QByteArray bytes = text.toUtf8() + '\n';
            if (file_.write(bytes) != bytes.size() || !file_.flush())
                throw PrintError(QStringLiteral("无法写入打印记录文件：%1\n%2").arg(path_, ioErrorText(file_)));
        }
    }

    QString path_;
    QStringList* memory_;
    QFile file_;
};

// --- drawing on a paged device ----------------------------------------------

// The strokes of a box-drawing character: which arms go out from the centre.
enum Arm { Left = 1, Right = 2, Up = 4, Down = 8 };

int armsOf(char32_t c) {
    switch (c) {
        case U'─':
            return Left | Right;
        case U'│':
            return Up | Down;
        case U'┌':
            return Right | Down;
        case U'┬':
            return Left | Right | Down;
        case U'┐':
            return Left | Down;
        case U'├':
            return Up | Down | Right;
        case U'┼':
            return Left | Right | Up | Down;
        case U'┤':
            return Up | Down | Left;
        case U'└':
            return Up | Right;
        case U'┴':
            return Left | Right | Up;
        case U'┘':
            return Up | Left;
        default:
            return 0;
    }
}

// Draws placed steps on a QPrinter or a QPdfWriter. Twips become device
// pixels by the device's resolution; the painter's origin is the top-left
// corner of the printable area.
class Painting {
public:
    void start(QPaintDevice* device, double dpi) {
        device_ = device;
        scale_ = dpi / 1440.0;
        if (!painter_.begin(device))
            throw PrintError(QStringLiteral("无法开始打印。"));
        painter_.setRenderHint(QPainter::Antialiasing, true);
        painter_.setRenderHint(QPainter::TextAntialiasing, true);
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter_.setClipRect(QRectF(0, 0, device->width(), device->height()));
    }
    bool active() const { return painter_.isActive(); }
    bool finish() { return painter_.isActive() ? painter_.end() : true; }

    void line(const Placed& p) {
        col_ = p.fontSize * 10 * scale_;
        height_ = p.fontSize * 20 * scale_;
        top_ = p.y * scale_;
        QFont font(fontFamilyFor(p.fontName));
        font.setPixelSize(std::max(1, qRound(height_)));
        painter_.setFont(font);
        QFontMetricsF fm(font, device_);
        metrics_ = fm;
        baseline_ = top_ + (height_ - (fm.ascent() + fm.descent())) / 2 + fm.ascent();
        QPen pen(Qt::black, std::max(1.0, height_ / 16), Qt::SolidLine, Qt::SquareCap);
        painter_.setPen(pen);
        cells(p.text);
        // A narrow stretch: the same cells, squeezed from the left edge of
        // its cell, glyphs and all.
        for (const Narrow& n : p.narrow) {
            painter_.save();
            painter_.translate((n.column - 1) * col_, 0);
            painter_.scale(n.percent / 100.0, 1);
            cells(n.text);
            painter_.restore();
        }
    }

    void picture(const Placed& p, const QImage& image) {
        painter_.drawImage(QRectF(p.x * scale_, p.y * scale_, p.width * scale_, p.height * scale_), image);
    }

    void newPage() {
        auto* paged = dynamic_cast<QPagedPaintDevice*>(device_);
        if (!paged || !paged->newPage())
            throw PrintError(QStringLiteral("打印时无法开始新的一页。"));
    }

private:
    // Characters in their cells from x = 0 on, box characters as strokes.
    void cells(const QString& text) {
        int column = 0;
        for (char32_t c : text.toUcs4()) {
            const int w = text::charWidth(c);
            const double x = column * col_;
            const double cellWidth = w * col_;
            column += w;
            if (c == U' ')
                continue;
            if (int arms = armsOf(c)) {
                strokes(arms, QRectF(x, top_, cellWidth, height_));
                continue;
            }
            if (c == U'…') {
                dots(QRectF(x, top_, cellWidth, height_));
                continue;
            }
            const QString glyph = QString::fromUcs4(&c, 1);
            const double advance = metrics_->horizontalAdvance(glyph);
            painter_.drawText(QPointF(x + (cellWidth - advance) / 2, baseline_), glyph);
        }
    }

    void strokes(int arms, const QRectF& cell) {
        const QPointF c = cell.center();
        if (arms & Left)
            painter_.drawLine(QLineF(c, QPointF(cell.left(), c.y())));
        if (arms & Right)
            painter_.drawLine(QLineF(c, QPointF(cell.right(), c.y())));
        if (arms & Up)
            painter_.drawLine(QLineF(c, QPointF(c.x(), cell.top())));
        if (arms & Down)
            painter_.drawLine(QLineF(c, QPointF(c.x(), cell.bottom())));
    }

    // The mark that ends a cut text, as three dots on the baseline: drawn
    // like the box lines, whatever the font has for it (a font's own glyph
    // for it has been seen to lose the text of the whole page when a
    // printer's filters turn it into PostScript).
    void dots(const QRectF& cell) {
        // Round in a narrowed stretch too, as wide as the pen of the box lines.
        const double r = std::max(1.0, height_ / 16) * 0.75;
        const double across = r / painter_.worldTransform().m11();
        painter_.save();
        painter_.setPen(Qt::NoPen);
        painter_.setBrush(Qt::black);
        for (double at : {1.0 / 6, 3.0 / 6, 5.0 / 6})
            painter_.drawEllipse(QPointF(cell.left() + cell.width() * at, baseline_ - r), across, r);
        painter_.restore();
    }

    QPaintDevice* device_ = nullptr;
    double scale_ = 1;
    QPainter painter_;
    // The line being drawn: column width, height, top and baseline in device
    // pixels, and its font's metrics.
    double col_ = 0, height_ = 0, top_ = 0, baseline_ = 0;
    std::optional<QFontMetricsF> metrics_;
};

// --- PDF file --------------------------------------------------------------

// The PDF writer's output into a whole file: every write checked there.
class WholeFileDevice : public QIODevice {
public:
    explicit WholeFileDevice(WholeFile& file) : file_(file) { open(QIODevice::WriteOnly | QIODevice::Unbuffered); }

protected:
    qint64 readData(char*, qint64) override { return -1; }
    qint64 writeData(const char* data, qint64 size) override { return file_.write(data, size) ? size : -1; }

private:
    WholeFile& file_;
};

class PdfSink : public Sink {
public:
    explicit PdfSink(QString path, QString notice = QString()) : path_(std::move(path)), notice_(std::move(notice)) {}
    ~PdfSink() override { abort(); }

    void begin() override {
        file_ = std::make_unique<WholeFile>(path_);
        if (!file_->open())
            failed();
        device_ = std::make_unique<WholeFileDevice>(*file_);
        writer_ = std::make_unique<QPdfWriter>(device_.get());
        writer_->setResolution(kDpi);
        writer_->setCreator(QStringLiteral("Tenvora"));
        writer_->setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait,
                                           QMarginsF(kPdfMarginMm, kPdfMarginMm, kPdfMarginMm, kPdfMarginMm),
                                           QPageLayout::Millimeter));
        painting_.start(writer_.get(), kDpi);
    }
    void line(const Placed& p) override { painting_.line(p); }
    void picture(const Placed& p, const QImage& image) override { painting_.picture(p, image); }
    void newPage(const Placed&) override { painting_.newPage(); }
    void end() override {
        const bool painted = painting_.finish();
        writer_.reset();
        device_.reset();
        if (!painted || !file_->commit())
            failed();
        file_.reset();
    }
    void abort() noexcept override {
        if (painting_.active())
            painting_.finish();
        writer_.reset();
        device_.reset();
        file_.reset();  // dropped: no file, or the old one as it was
    }
    QString notice() const override { return notice_; }

private:
    [[noreturn]] void failed() {
        const QString why = file_->error().isEmpty() ? ioErrorText(EIO) : file_->error();
        abort();
        throw PrintError(QStringLiteral("无法写入打印文件：%1\n%2").arg(path_, why));
    }

    static constexpr int kDpi = 1440;
    QString path_;
    QString notice_;
    std::unique_ptr<WholeFile> file_;
    std::unique_ptr<WholeFileDevice> device_;
    std::unique_ptr<QPdfWriter> writer_;
    Painting painting_;
};

// --- the printer -------------------------------------------------------------

class PrinterSink : public Sink {
public:
    explicit PrinterSink(const QPrinterInfo& info) : printer_(info, QPrinter::HighResolution) {
        printer_.setFullPage(false);
        // A4 with the PDF file's margins, or the printer's own where it
        // cannot print that close to the edge: a page comes out the same on
        // paper as in a file (a PDF queue allows margins of 0).
        QPageLayout layout = printer_.pageLayout();
        layout.setUnits(QPageLayout::Millimeter);
        layout.setOrientation(QPageLayout::Portrait);
        layout.setPageSize(QPageSize(QPageSize::A4));
        const QMarginsF least = layout.minimumMargins();
        layout.setMargins(QMarginsF(std::max(least.left(), kPdfMarginMm), std::max(least.top(), kPdfMarginMm),
                                    std::max(least.right(), kPdfMarginMm), std::max(least.bottom(), kPdfMarginMm)));
        printer_.setPageLayout(layout);
        printer_.setDocName(QStringLiteral("Tenvora"));
    }
    ~PrinterSink() override { abort(); }

    QSizeF printableArea() const override {
        QRectF r = printer_.pageLayout().paintRect(QPageLayout::Point);
        return {r.width() * 20, r.height() * 20};
    }
    void begin() override {
        try {
            painting_.start(&printer_, printer_.resolution());
        } catch (const PrintError&) {
            throw PrintError(QStringLiteral("无法在打印机“%1”上打印。").arg(printer_.printerName()));
        }
    }
    void line(const Placed& p) override { painting_.line(p); }
    void picture(const Placed& p, const QImage& image) override { painting_.picture(p, image); }
    void newPage(const Placed&) override { painting_.newPage(); }
    void end() override {
        if (!painting_.finish())
            throw PrintError(QStringLiteral("打印机“%1”打印失败。").arg(printer_.printerName()));
    }
    void abort() noexcept override {
        if (painting_.active()) {
            printer_.abort();
            painting_.finish();
        }
    }

private:
    QPrinter printer_;
    Painting painting_;
};

// A file name in the current folder that does not exist yet.
QString freePdfName() {
    QDir dir = QDir::current();
    QString name = QStringLiteral("打印输出.pdf");
    for (int i = 2; dir.exists(name); ++i) name = QStringLiteral("打印输出(%1).pdf").arg(i);
    return dir.absoluteFilePath(name);
}

}  // namespace

void renderLines(QImage& image, const std::vector<Placed>& steps, const QImage& picture) {
    Painting painting;
    painting.start(&image, image.logicalDpiX());
    for (const Placed& p : steps) {
        if (p.kind == Placed::Kind::Line)
            painting.line(p);
        else if (p.kind == Placed::Kind::Picture)
            painting.picture(p, picture);
    }
    painting.finish();
}

QSizeF pdfPrintableArea() {
    QSizeF a4 = QPageSize(QPageSize::A4).size(QPageSize::Point) * 20;
    double margin = kPdfMarginMm * kTwipsPerMm;
    return {a4.width() - 2 * margin, a4.height() - 2 * margin};
}

// The text of a line with its narrow stretches in place of the spaces that
// hold their cells: "{75%:text}".
static QString markedText(const Placed& p) {
    if (p.narrow.empty())
        return p.text;
    QString out;
    int column = 1;
    auto next = p.narrow.begin();
    for (char32_t c : p.text.toUcs4()) {
        if (next != p.narrow.end() && column >= next->column + next->columns)
            ++next;
        if (next != p.narrow.end() && column == next->column)
            out += QLatin1Char('{') + QString::number(next->percent) + QStringLiteral("%:") + next->text +
                   QLatin1Char('}');
        if (next == p.narrow.end() || column < next->column)
            out += QString::fromUcs4(&c, 1);
        column += text::charWidth(c);
    }
    return out;
}

QString traceLine(const Placed& p) {
    switch (p.kind) {
        case Placed::Kind::Line:
            return QStringLiteral("line page=%1 y=%2 size=%3 font=%4 |%5|")
                .arg(p.page)
                .arg(num(p.y), num(p.fontSize), p.fontName, markedText(p));
        case Placed::Kind::Picture:
            return QStringLiteral("picture page=%1 x=%2 y=%3 w=%4 h=%5")
                .arg(p.page)
                .arg(num(p.x), num(p.y), num(p.width), num(p.height));
        case Placed::Kind::NewPage:
            return QStringLiteral("page %1").arg(p.page);
    }
    return QString();
}

std::unique_ptr<Sink> makeTraceSink(const QString& path, QStringList* memory) {
    return std::make_unique<TraceSink>(path, memory);
}

std::unique_ptr<Sink> makePdfSink(const QString& path) { return std::make_unique<PdfSink>(path); }

std::unique_ptr<Sink> makePrinterSink() {
    QPrinterInfo info = QPrinterInfo::defaultPrinter();
    if (info.isNull()) {
        const QList<QPrinterInfo> all = QPrinterInfo::availablePrinters();
        if (!all.isEmpty())
            info = all.first();
    }
    if (!info.isNull())
        return std::make_unique<PrinterSink>(info);
    QString path = freePdfName();
    return std::make_unique<PdfSink>(
        path, QStringLiteral("没有找到打印机，已打印到文件：\n%1").arg(QDir::toNativeSeparators(path)));
}

}  // namespace tv::print
