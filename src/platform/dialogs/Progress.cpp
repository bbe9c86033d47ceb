// The progress dialog of long work, shown once the work has lasted a second.
#include "platform/dialogs/Progress.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QPointer>
#include <QProgressDialog>
#include <QStringList>

namespace tv::dlg {

namespace {

int g_showAfter = 1000;
std::function<void(QProgressDialog&)> g_watcher;

// The steps of the bar: a share in thousandths.
constexpr int kSteps = 1000;

// "0 KB", "512.0 KB", "553.0 MB", "2.1 GB".
QString dataSize(qint64 bytes) {
    if (bytes <= 0)
        return QStringLiteral("0 KB");
    static const char* const units[] = {"KB", "MB", "GB", "TB"};
    double size = double(bytes) / 1024;
    int unit = 0;
    for (; size >= 1024 && unit < 3; ++unit) size /= 1024;
    return QString::number(size, 'f', 1) + QLatin1Char(' ') + QLatin1String(units[unit]);
}

}  // namespace

namespace progress {
void setShowAfter(int milliseconds) { g_showAfter = milliseconds; }
int showAfter() { return g_showAfter; }
void setWatcher(std::function<void(QProgressDialog&)> watcher) { g_watcher = std::move(watcher); }
}  // namespace progress

struct Progress::Impl {
    QString title, what;
    qint64 total = 0;
    Unit unit = Unit::Share;
    QElapsedTimer running;
    QPointer<QProgressDialog> dialog;
    bool cancelled = false;
    int step = -2;    // the bar's value last shown
    qint64 done = 0;  // the amount last told

    void show();
    QString amount() const;
    QString label() const;
    // Brings the dialog up to date and lets it answer the user.
    bool answer();
};

Progress::Progress(const QString& title, const QString& what, qint64 total, Unit unit) : d(new Impl) {
    d->title = title;
    d->what = what;
    d->total = total;
    d->unit = unit;
    d->running.start();
}

Progress::~Progress() { delete d->dialog.data(); }

bool Progress::cancelled() const { return d->cancelled; }

QProgressDialog* Progress::dialog() const { return d->dialog.data(); }

void Progress::Impl::show() {
    dialog = new QProgressDialog(QApplication::activeWindow());
    dialog->setWindowTitle(title);
    dialog->setWindowModality(Qt::ApplicationModal);
    dialog->setCancelButtonText(QStringLiteral("取消"));
    dialog->setAutoClose(false);
    dialog->setAutoReset(false);
    dialog->setMinimumDuration(0);
    dialog->setRange(0, total > 0 ? kSteps : 0);
    dialog->setMinimumWidth(QFontMetrics(dialog->font()).averageCharWidth() * 40);
    dialog->show();
}

// The work, a long path shortened in its middle rather than widening the
// dialog past the screen, and the amount done.
QString Progress::Impl::label() const {
    const QFontMetrics metrics(dialog->font());
    QStringList lines = what.split(QLatin1Char('\n'));
    for (QString& line : lines) line = metrics.elidedText(line, Qt::ElideMiddle, metrics.averageCharWidth() * 60);
    const QString shown = amount();
    if (!shown.isEmpty())
        lines << shown;
    return lines.join(QLatin1Char('\n'));
}

QString Progress::Impl::amount() const {
    switch (unit) {
        case Unit::Bytes:
            return total > 0 ? QStringLiteral("已完成 %1，共 %2").arg(dataSize(done), dataSize(total))
                             : QStringLiteral("已完成 %1").arg(dataSize(done));
        case Unit::Rows:
            return total > 0 ? QStringLiteral("已完成 %1 行，共 %2 行").arg(done).arg(total)
                             : QStringLiteral("已完成 %1 行").arg(done);
        case Unit::Receipts:
            return total > 0 ? QStringLiteral("已打印 %1 张收据，共 %2 张").arg(done).arg(total)
                             : QStringLiteral("已打印 %1 张收据").arg(done);
        case Unit::Share:
            break;
    }
    return total > 0 ? QStringLiteral("已完成 %1%").arg(done * 100 / total) : QString();
}

bool Progress::Impl::answer() {
    dialog->setLabelText(label());
    if (step >= 0)
        dialog->setValue(step);
    // The dialog paints and answers 取消 while the work goes on.
    QCoreApplication::processEvents();
    if (g_watcher && dialog)
        g_watcher(*dialog);
    cancelled = !dialog || dialog->wasCanceled();
    return !cancelled;
}

bool Progress::advance(qint64 done) {
    if (d->cancelled)
        return false;
    d->done = done;
    if (!d->dialog && d->running.elapsed() >= g_showAfter)
        d->show();
    if (!d->dialog)
        return true;
    // Brought up to date when the bar moves (or nothing is known of the total).
    const int step = d->total > 0 ? int(qBound(qint64(0), done * kSteps / d->total, qint64(kSteps))) : -1;
    if (step >= 0 && step == d->step)
        return true;
    d->step = step;
    return d->answer();
}

bool Progress::stillWorking() {
    if (d->cancelled)
        return false;
    if (!d->dialog && d->running.elapsed() >= g_showAfter)
        d->show();
    return !d->dialog || d->answer();
}

void Progress::showNow() {
    if (!d->dialog && !d->cancelled)
        d->show();
}

void Progress::advanceOrStop(qint64 done) {
    if (!advance(done))
        throw Cancelled();
}

void Progress::setWhat(const QString& what) {
    d->what = what;
    if (d->dialog)
        d->dialog->setLabelText(d->label());
}

void Progress::restartClock() { d->running.restart(); }

}  // namespace tv::dlg
