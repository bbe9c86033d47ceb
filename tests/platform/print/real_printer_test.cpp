// The printer path for real: a private CUPS scheduler with a queue of the
// cups-pdf driver, the receipt and the registration form printed to it by
// child cases of the shared tests (as a running program prints: no files
// named, the printer the program finds), and the PDFs that come out of the
// queue read back with poppler and Ghostscript.
//
// As root (as CI runs) the queue is cups-pdf's own virtual printer: cupsd runs
// its filters as lp and cups-pdf writes each job to ~/PDF of the user who
// printed. Any other user runs the same scheduler and the same driver's
// filters as themselves, with the queue's device a file in the scheduler's
// folder (cups-pdf's backend is the superuser's alone); the PostScript that
// lands there is made a PDF by Ghostscript, as cups-pdf itself does. Where the
// scheduler cannot run at all the test is skipped and says why. The system's
// own CUPS set-up is never touched.

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace {

// Every wait on the scheduler, a child or the queue is bounded by this.
constexpr int kWaitMs = 60000;

// Runs a shell command line to its end: its output and errors, and its exit
// code (-1 when it did not end in time).
QString sh(const QString& line, int* code = nullptr, const QProcessEnvironment& env = {}) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    if (!env.isEmpty())
        p.setProcessEnvironment(env);
    p.start("/bin/sh", {"-c", line});
    const bool ended = p.waitForFinished(kWaitMs);
    if (!ended)
        p.kill(), p.waitForFinished(kWaitMs);
    if (code)
        *code = ended && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

template <class F>
bool waitFor(F&& done) {
    for (QDeadlineTimer t(kWaitMs); !t.hasExpired(); QThread::msleep(100))
        if (done())
            return true;
    return false;
}

}  // namespace

TEST(RealPrinter, AReceiptAndARegistrationFormComeOutOfACupsQueueOnA4WithTheirText) {
    // cupsd and lpadmin live in /usr/sbin, which an ordinary user's PATH may lack.
    qputenv("PATH", "/usr/sbin:/sbin:" + qgetenv("PATH"));
    int code = 0;
    const QString ppd = "/usr/share/ppd/cups-pdf/CUPS-PDF_noopt.ppd";
    sh("command -v cupsd lpadmin lpstat pdfinfo pdftotext gs && test -e /usr/lib/cups/backend/cups-pdf -a -f " + ppd,
       &code);
    ASSERT_EQ(code, 0) << "scripts/install-deps installs cups, cups-client, printer-driver-cups-pdf, poppler-utils";
    const bool root = geteuid() == 0;
    // One run at a time on this machine: as root every job lands in ~/PDF.
    QLockFile lock(QDir::temp().filePath(QString("tenvora-real-printer-%1.lock").arg(geteuid())));
    ASSERT_TRUE(lock.tryLock(kWaitMs));
    const QString out = QString::fromLocal8Bit(getpwuid(geteuid())->pw_dir) + "/PDF";
    const bool hadOut = QDir(out).exists();

    // The scheduler, in a folder of its own: as root one its filters (user lp)
    // can use; otherwise the user's own, who is its system group too, so that
    // the queue can be added.
    QTemporaryDir dir;
    const QString d = dir.path(), socket = d + "/cups.sock";
    const QString account =
        root ? QString("'User lp' 'Group lp'") : QString("'FileDevice Yes' \"SystemGroup $(id -gn)\"");
    sh(QString("cd %1 && { %3; } && printf '%s\\n' 'ServerRoot %1' 'RequestRoot %1/spool' "
               "'CacheDir %1/cache' 'StateDir %1/state' 'AccessLog %1/access_log' 'ErrorLog %1/error_log' "
               "'PageLog %1/page_log' 'ServerBin /usr/lib/cups' 'DataDir /usr/share/cups' %4 "
               ">cups-files.conf && printf '%s\\n' 'Listen %2' '<Location />' 'Allow all' '</Location>' "
               "'<Location /admin>' 'Allow all' '</Location>' >cupsd.conf")
           .arg(d, socket, root ? "chown root:lp . && chmod 775 ." : "true", account),
       &code);
    ASSERT_EQ(code, 0);
    QProcess cupsd;
    cupsd.start("/usr/sbin/cupsd", {"-f", "-c", d + "/cupsd.conf", "-s", d + "/cups-files.conf"});
    const auto stop = qScopeGuard([&] {
        cupsd.terminate();
        if (!cupsd.waitForFinished(kWaitMs))
            cupsd.kill(), cupsd.waitForFinished(kWaitMs);
        if (!hadOut)
            QDir().rmdir(out);  // only when empty
    });
    const bool running = cupsd.waitForStarted(kWaitMs) && waitFor([&] {
                             return cupsd.state() != QProcess::Running ||
                                    sh("lpstat -h " + socket + " -r").startsWith("scheduler is running");
                         }) &&
                         cupsd.state() == QProcess::Running;
    if (!running && !root)
        GTEST_SKIP() << "a private CUPS scheduler does not run for this user here: "
                     << sh("cat " + d + "/error_log").toStdString();
    ASSERT_TRUE(running) << sh("cat " + d + "/error_log").toStdString();
    // The driver's own filters, except that PDF becomes PostScript through
    // cairo, whose fonts keep the Unicode of the Chinese text (Ghostscript's
    // draw the same page but lose it).
    const QString job = d + "/job.ps";
    const QString added = sh("lpadmin -h " + socket + " -p TestPDF -v " + (root ? "cups-pdf:/" : "file://" + job) +
                                 " -P " + ppd + " -o pdftops-renderer-default=pdftocairo -E",
                             &code);
    if (code != 0 && !root)
        GTEST_SKIP() << "this user may not add a queue to a private CUPS scheduler here: " << added.toStdString();
    ASSERT_EQ(code, 0) << added.toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("CUPS_SERVER", socket);
    env.remove("TENVORA_PRINT_PDF");
    env.remove("TENVORA_PRINT_TRACE");

    // The ink begins at the left bar of the grid, 5 mm and half a column in,
    // and at the top of the title below its empty lines and 5 mm: without the
    // margins 14 points further left and up (points, from the bottom left).
    const struct {
        const char* child;
        QStringList text;
        double left, top;
    } documents[] = {
        {"ReceiptOnThePrinter", {"房屋租赁使用费收据", "今收到", "壹仟零佰贰拾贰元零角伍分"}, 18.6, 797.6},
        {"RegistrationFormOnThePrinter",
         {"暂住人员情况登记表", "珠江新城华夏路十号富力中心大厦二", "王大山"},
         18.6,
         807.6},
    };
    for (const auto& doc : documents) {
        SCOPED_TRACE(doc.child);
        // cups-pdf names the PDF after the job, "Tenvora"; the file queue's
        // PostScript is made the PDF here.
        const QString pdf = root ? out + "/Tenvora.pdf" : d + "/Tenvora.pdf";
        const QString landed = root ? pdf : job;
        QFile::remove(pdf);
        QFile::remove(job);
        const auto removed = qScopeGuard([&] { QFile::remove(pdf); });
        const QString printed = sh(QString("cd %1 && %2/test_shared --gtest_also_run_disabled_tests "
                                           "--gtest_filter=PrintRoutines.DISABLED_%3")
                                       .arg(d, QCoreApplication::applicationDirPath(), doc.child),
                                   &code, env);
        ASSERT_EQ(code, 0) << printed.toStdString();
        // The job has left the queue and its PDF is there.
        ASSERT_TRUE(waitFor([&] { return sh("lpstat -h " + socket + " -o").isEmpty() && QFile::exists(landed); }))
            << sh("lpstat -h " + socket + " -o; tail -20 " + d + "/error_log").toStdString();
        if (!root) {
            const QString made = sh("gs -q -dBATCH -dNOPAUSE -sDEVICE=pdfwrite -sOutputFile=" + pdf + " " + job, &code);
            ASSERT_EQ(code, 0) << made.toStdString();
        }
        const QString info = sh("pdfinfo " + pdf),
                      text = sh("pdftotext " + pdf + " -").remove(QRegularExpression("\\s"));
        EXPECT_TRUE(info.contains(QRegularExpression("Pages:\\s+1\\n")) && info.contains("(A4)")) << info.toStdString();
        for (const QString& t : doc.text)
            EXPECT_TRUE(text.contains(t)) << t.toStdString() << "\n" << text.toStdString();
        const QStringList box = QRegularExpression("HiResBoundingBox: (\\S+) \\S+ \\S+ (\\S+)")
                                    .match(sh("gs -q -dBATCH -dNOPAUSE -sDEVICE=bbox -dLastPage=1 " + pdf))
                                    .capturedTexts();
        ASSERT_EQ(box.size(), 3);
        EXPECT_NEAR(box[1].toDouble(), doc.left, 1);
        EXPECT_NEAR(box[2].toDouble(), doc.top, 1);
    }
}
