// The check-in window on a large data file: 10,000 registrations, each with a
// 50 KB photo. Opening the window, and a search that finds the last row.
// Reported beside the times: the process's resident memory (VmRSS) and its
// peak (VmHWM), in MB.
#include "WindowBench.h"
#include "checkin/FrmRzdj.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>

using namespace tv::bench;

namespace {

constexpr int kRows = 10000;

struct BigFile {
    QTemporaryDir dir;
    QString path;
    BigFile() {
        path = dir.filePath(QStringLiteral("big.mdb"));
        QFile::copy(QStringLiteral(TV_APP_DIR "/MDB/Lunrek.mdb"), path);
        QFile(path).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        const QByteArray picture = photo();
        auto db = tv::Database::open(path);
        db->transaction([&] {
            for (int i = 1; i <= kRows; ++i)
                db->exec(
                    QStringLiteral("INSERT INTO zfdj (fjh, jzrs, xm, dw, dh, yh, wh, n1, n2, rzrq, sfzhm, fq, xb1, "
                                   "xm1, xb3, ysno, xp) VALUES (?, 2, ?, '某某公司', '13800000000', '已婚', '工人', "
                                   "1, 0, '2024-01-01', ?, '老人', '男', '孩子', '女', '在住', ?)"),
                    {tv::Value(QString::number(1000 + i)), tv::Value(QStringLiteral("租客%1").arg(i)),
                     tv::Value(idNumber(i)), tv::Value(picture)});
        });
    }
};

BigFile& bigFile() {
    static BigFile f;
    return f;
}

const char* const kWindow = tv::checkin::FrmRzdj::kName;

tv::forms::Form& window() { return *tv::forms::Registry::instance(QString::fromLatin1(kWindow)); }

void openWindow() {
    tv::state().DataFilePath = bigFile().path;
    window().show();
}

void BM_OpenWindow(benchmark::State& state) {
    bigFile();
    for (auto _ : state) {
        openWindow();
        state.PauseTiming();
        if (window().control<QPushButton>(QStringLiteral("CmdCx"))->isEnabled() == false)
            state.SkipWithError("the window did not load the rows");
        reportMemory(state);
        closeWindow(kWindow);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenWindow)->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_SearchFindsTheLastRow(benchmark::State& state) {
    openWindow();
    auto* mode = window().control<QComboBox>(QStringLiteral("CboCxfs"));
    mode->setCurrentIndex(4);  // 身份证号
    emit mode->activated(4);
    window().control<QLineEdit>(QStringLiteral("Txtzh"))->setText(idNumber(kRows));
    auto* search = window().control<QPushButton>(QStringLiteral("CmdCx"));
    for (auto _ : state) {
        search->click();
        state.PauseTiming();
        if (tv::state().CurrentCheckIn.sfzhm != idNumber(kRows))
            state.SkipWithError("the last row was not found");
        // Back to the first row, so that each search also moves the window.
        window().control<tv::forms::DataControl>(QStringLiteral("Data1"))->moveFirst();
        state.ResumeTiming();
    }
    reportMemory(state);
    closeWindow(kWindow);
}
BENCHMARK(BM_SearchFindsTheLastRow)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tv::forms::Registry::add(QString::fromLatin1(kWindow), [] { return new tv::checkin::FrmRzdj; });
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
