// The printer device: the layout engine feeding one or more backends.

#include "platform/print/Printer.h"

#include "platform/dialogs/Dialogs.h"
#include "platform/print/Backends.h"
#include "platform/print/Layout.h"

#include <QFile>

#include <optional>

namespace tv::print {

namespace {

// Where documents go: the environment (a running program), or the files a
// test named.
struct Routing {
    bool fromTests = false;
    QString pdf, trace;
    QStringList memory;            // the trace in memory (tests only)
    bool envTraceStarted = false;  // the environment's trace file was emptied
};

Routing& routing() {
    static Routing r;
    return r;
}

class Device : public Printer {
public:
    void printLine(const std::vector<Item>& items) override {
        run([&] {
            open();
            for (const Placed& p : layout_->printLine(items)) send(p);
        });
    }
    void setFontSize(double points) override {
        fontSize_ = points;
        if (layout_)
            layout_->setFontSize(points);
    }
    void setFontName(const QString& name) override {
        fontName_ = name;
        if (layout_)
            layout_->setFontName(name);
    }
    void drawPicture(const QImage& picture, double x, double y, double maxWidth, double maxHeight) override {
        if (picture.isNull())
            return;
        run([&] {
            open();
            for (const Placed& p : layout_->picture(picture.size(), x, y, maxWidth, maxHeight))
                for (auto& s : sinks_) s->picture(p, picture);
        });
    }
    void newPage() override {
        run([&] {
            open();
            send(layout_->newPage());
        });
    }
    void endDoc() override {
        if (!isOpen())
            return;
        QStringList notices;
        run([&] {
            for (auto& s : sinks_) {
                s->end();
                if (!s->notice().isEmpty())
                    notices << s->notice();
            }
        });
        close();
        for (const QString& n : notices) tv::dlg::msgBox(n, tv::dlg::Info, tv::dlg::kNoteTitle);
    }
    void abort() override {
        for (auto& s : sinks_) s->abort();
        close();
    }
    bool isOpen() const override { return layout_.has_value(); }

    void resetFont() {
        fontSize_ = Layout::kDefaultFontSize;
        fontName_ = Layout::kDefaultFontName;
    }

private:
    // Runs a step; a failure aborts the whole job and goes on to the caller.
    template <class F>
    void run(F&& step) {
        try {
            step();
        } catch (const PrintError&) {
            abort();
            throw;
        } catch (const std::exception& e) {
            abort();
            throw PrintError(QString::fromLocal8Bit(e.what()));
        }
    }

    void open() {
        if (layout_)
            return;
        Routing& r = routing();
        QString pdf = r.fromTests ? r.pdf : qEnvironmentVariable("TENVORA_PRINT_PDF");
        QString trace = r.fromTests ? r.trace : qEnvironmentVariable("TENVORA_PRINT_TRACE");
        if (!r.fromTests && !trace.isEmpty() && !r.envTraceStarted) {
            QFile::remove(trace);
            r.envTraceStarted = true;
        }
        if (!pdf.isEmpty())
            sinks_.push_back(makePdfSink(pdf));
        if (r.fromTests || !trace.isEmpty())
            sinks_.push_back(makeTraceSink(trace, r.fromTests ? &r.memory : nullptr));
        if (!r.fromTests && pdf.isEmpty() && trace.isEmpty())
            sinks_.push_back(makePrinterSink());

        layout_.emplace(sinks_.front()->printableArea().height());
        layout_->setFontSize(fontSize_);
        layout_->setFontName(fontName_);
        for (auto& s : sinks_) s->begin();
    }

    void send(const Placed& p) {
        for (auto& s : sinks_) {
            if (p.kind == Placed::Kind::NewPage)
                s->newPage(p);
            else
                s->line(p);
        }
    }

    // A finished or dropped document: the next line opens a new one, in the
    // start font.
    void close() {
        sinks_.clear();
        layout_.reset();
        resetFont();
    }

    std::vector<std::unique_ptr<Sink>> sinks_;
    std::optional<Layout> layout_;
    double fontSize_ = Layout::kDefaultFontSize;
    QString fontName_ = Layout::kDefaultFontName;
};

Device& theDevice() {
    static Device d;
    return d;
}

}  // namespace

Printer& Printer::device() { return theDevice(); }

void Printer::useFiles(const QString& pdfPath, const QString& tracePath) {
    reset();
    Routing& r = routing();
    r.fromTests = true;
    r.pdf = pdfPath;
    r.trace = tracePath;
    if (!tracePath.isEmpty())
        QFile::remove(tracePath);
}

void Printer::reset() {
    Device& d = theDevice();
    if (d.isOpen())
        d.abort();
    d.resetFont();
    Routing& r = routing();
    r.fromTests = false;
    r.pdf.clear();
    r.trace.clear();
    r.memory.clear();
}

QStringList Printer::traceLines() { return routing().memory; }

void Printer::clearTrace() { routing().memory.clear(); }

}  // namespace tv::print
