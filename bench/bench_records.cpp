// The tenant records window on a large data file: 10,000 registrations, each
// with a 50 KB photo, 100,000 bills (ten billing dates of 10,000) and 10,000
// other-fee rows. Opening the window, and a billing-date search over the
// bills. Reported beside the times: the process's resident memory (VmRSS)
// and its peak (VmHWM), in MB.
#include "BenchSupport.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"
#include "records/Tenvora.h"
#include "shared/SharedState.h"

#include <benchmark/benchmark.h>

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <cstdio>

using tv::bench::idNumber;
using tv::bench::memoryMb;
using tv::bench::photo;

namespace {

constexpr int kRows = 10000;
constexpr int kDates = 10;

struct BigFile {
    QTemporaryDir dir;
    QString path, users;
    BigFile() {
        path = dir.filePath(QStringLiteral("big.mdb"));
        users = dir.filePath(QStringLiteral("Rave.ini"));
        for (const QString& to : {path, users}) {
            QFile::copy(QStringLiteral(TV_APP_DIR) + (to == path ? "/MDB/Lunrek.mdb" : "/Rave.ini"), to);
            QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        const QByteArray picture = photo();
        auto db = tv::Database::open(path);
        db->transaction([&] {
            for (int i = 1; i <= kRows; ++i) {
                const tv::Value room(QString::number(1000 + i)), name(QStringLiteral("租客%1").arg(i)), id(idNumber(i));
                db->exec(QStringLiteral("INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, fq, "
                                        "xb1, xm1, xb3, ysno, xp) VALUES (?, 2, ?, '某某公司', '13800000000', '已婚', "
                                        "'工人', 1, 0, '2024-01-01', ?, '老人', '男', '孩子', '女', '在住', ?)"),
                         {room, name, id, tv::Value(picture)});
                for (int d = 0; d < kDates; ++d)
                    db->exec(QStringLiteral("INSERT INTO fzsdjs VALUES (?, ?, ?, ?, 800, '1', '30', 120.5, 110, 10.5, "
                                            "3.2, 33.6, 2000, 1900, 100, 0.68, 68, 5.5, 907.1)"),
                             {tv::Value(QDate(2024, 1 + d, 1)), room, name, id});
                db->exec(QStringLiteral("INSERT INTO qtfy VALUES ('2024-05-01', ?, ?, 50, 10, 5, 3, 20.5, 0, 88.5)"),
                         {room, id});
            }
        });
    }
};

BigFile& bigFile() {
    static BigFile f;
    return f;
}

tv::forms::Form& window() { return *tv::forms::Registry::instance(QStringLiteral("Tenvora")); }

void openWindow() {
    tv::state().DataFilePath = bigFile().path;
    tv::state().UserDbPath = bigFile().users;
    window().show();
}

void closeWindow() {
    window().unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

void reportMemory(benchmark::State& state) {
    state.counters["rss_MB"] = memoryMb("VmRSS:");
    state.counters["peak_MB"] = memoryMb("VmHWM:");
}

int rowsOf(const char* source) {
    return window().control<tv::forms::DataControl>(QString::fromLatin1(source))->recordset().recordCount();
}

void BM_OpenWindow(benchmark::State& state) {
    bigFile();
    for (auto _ : state) {
        openWindow();
        state.PauseTiming();
        if (rowsOf("Data1") != kRows || rowsOf("Data2") != kRows * kDates || rowsOf("Data3") != kRows)
            state.SkipWithError("the window did not load the rows");
        reportMemory(state);
        closeWindow();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

// The bills of one billing date out of 100,000, the first tenant's bill
// among them found, the registrations read again.
void BM_SearchBillingDate(benchmark::State& state) {
    openWindow();
    auto* mode = window().control<QComboBox>(QStringLiteral("CboCxfs"));
    mode->setCurrentIndex(4);  // 计费日期
    emit mode->activated(4);
    auto* date = window().control<QLineEdit>(QStringLiteral("Txtjfrq"));
    auto* search = window().control<QPushButton>(QStringLiteral("CmdCx"));
    int month = 0;
    for (auto _ : state) {
        state.PauseTiming();
        date->setText(QStringLiteral("2024-%1-1").arg(1 + month++ % kDates));
        state.ResumeTiming();
        search->click();
        state.PauseTiming();
        if (rowsOf("Data2") != kRows || tv::state().SearchKeys.jfrq != date->text())
            state.SkipWithError("the bills of the date were not found");
        state.ResumeTiming();
    }
    reportMemory(state);
    closeWindow();
}
BENCHMARK(BM_SearchBillingDate)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tv::forms::Registry::add(QStringLiteral("Tenvora"), [] { return new tv::records::Tenvora; });
    // Any message box would be a failure here: none may wait.
    tv::dlg::script::begin();
    tv::dlg::script::setUnexpectedHandler([](const tv::dlg::Call& c) {
        std::fprintf(stderr, "unexpected %s: %s\n", qPrintable(c.kind), qPrintable(c.text));
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tv::forms::Registry::clear();
    return 0;
}
