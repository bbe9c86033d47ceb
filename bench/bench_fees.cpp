// The fee records window on large data files: opening it on 100,000 fee
// records (100 billing dates of 1,000 tenants, with their other fees and
// registrations); the recompute of one billing date's 1,000 bills among them;
// and the batch print of the 300 bills of one date to a PDF file.
#include "BenchSupport.h"
#include "fees/FrmZsdwh.h"
#include "platform/db/Database.h"
#include "platform/dialogs/Dialogs.h"
#include "platform/forms/DataControl.h"
#include "platform/forms/Form.h"
#include "platform/print/Printer.h"
#include "shared/SharedState.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QCheckBox>
#include <QDate>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include <cstdio>

using tv::bench::idNumber;

namespace {

// `dates` billing dates (monthly from 2016-01-01) of `tenants` bills each.
struct FeeFile {
    QTemporaryDir dir;
    QString path, users;
    FeeFile(int tenants, int dates) {
        path = dir.filePath(QStringLiteral("fees.mdb"));
        users = dir.filePath(QStringLiteral("Rave.ini"));
        for (const QString& to : {path, users}) {
            QFile::copy(QStringLiteral(TV_APP_DIR) + (to == path ? "/MDB/Lunrek.mdb" : "/Rave.ini"), to);
            QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        }
        auto db = tv::Database::open(path);
        db->transaction([&] {
            for (int i = 1; i <= tenants; ++i) {
                const tv::Value room(QString::number(1000 + i)), id(idNumber(i));
                db->exec(QStringLiteral("INSERT INTO zfdj (fjh, xm, sfzhm, ysno) VALUES (?, '租客', ?, '在住')"),
                         {room, id});
                db->exec(QStringLiteral("INSERT INTO qtfy VALUES ('2016-01-01', ?, ?, 50, 10, 5, 3, 20.5, 0, 88.5)"),
                         {room, id});
                for (int d = 0; d < dates; ++d)
                    db->exec(QStringLiteral("INSERT INTO fzsdjs VALUES (?, ?, '租客', ?, 800, '1', '30', 1234.6, "
                                            "1200.2, 0, 2.5, 0, 3301, 3150, 0, 0.68, 0, 35, 0)"),
                             {tv::Value(QDate(2016, 1, 1).addMonths(d)), room, id});
            }
        });
    }
};

tv::forms::Form& window() { return *tv::forms::Registry::instance(QStringLiteral("FrmZsdwh")); }

void openOn(const FeeFile& file) {
    tv::state().DataFilePath = file.path;
    tv::state().UserDbPath = file.users;
    window().show();
}

void closeWindow() {
    window().unload();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

template <class T>
T* control(const char* name) {
    return window().control<T>(QString::fromLatin1(name));
}

int rows() { return control<tv::forms::DataControl>("Data1")->recordset().recordCount(); }

FeeFile& bigFile() {
    static FeeFile f(1000, 100);
    return f;
}

void BM_OpenOn100000FeeRecords(benchmark::State& state) {
    bigFile();
    for (auto _ : state) {
        openOn(bigFile());
        state.PauseTiming();
        if (rows() != 100000)
            state.SkipWithError("the window did not load the fee records");
        state.counters["peak_MB"] = tv::bench::memoryMb("VmHWM:");
        closeWindow();
        state.ResumeTiming();
    }
}
BENCHMARK(BM_OpenOn100000FeeRecords)->Unit(benchmark::kMillisecond)->Iterations(10);

// 刷新账单 of one date: its 1,000 bills out of 100,000 recomputed and written
// in one transaction, the sums shown, the fee records read again.
void BM_RecomputeOneDateOf1000Tenants(benchmark::State& state) {
    openOn(bigFile());
    int month = 0;
    for (auto _ : state) {
        state.PauseTiming();
        control<QCheckBox>("Check1")->click();
        control<QLineEdit>("Txtjfrq")->setText(tv::shortDate(QDate(2016, 1, 1).addMonths(month++ % 100)));
        state.ResumeTiming();
        control<QPushButton>("CmdQr")->click();
        state.PauseTiming();
        // 1,000 x 1023.6801, added in single precision as the totals are
        if (control<QLineEdit>("Txthjhz")->text() != QStringLiteral("1023686")) {
            state.SkipWithError("the bills were not recomputed");
            break;
        }
        state.ResumeTiming();
    }
    closeWindow();
}
BENCHMARK(BM_RecomputeOneDateOf1000Tenants)->Unit(benchmark::kMillisecond)->Iterations(10);

// The 300 bills of one date, three receipts to a sheet, into a PDF file.
void BM_BatchPrint300Receipts(benchmark::State& state) {
    static FeeFile file(300, 2);
    openOn(file);
    control<QLineEdit>("Txtjfrq")->setText(QStringLiteral("2016-02-01"));
    const QString pdf = file.dir.filePath(QStringLiteral("batch.pdf"));
    for (auto _ : state) {
        tv::print::Printer::useFiles(pdf, QString());
        static_cast<tv::fees::FrmZsdwh&>(window()).Zddy();
        state.PauseTiming();
        QFile f(pdf);
        if (!f.open(QIODevice::ReadOnly) || f.readAll().count("/Type /Page\n") != 100) {
            state.SkipWithError("not 100 pages");
            break;
        }
        state.ResumeTiming();
    }
    closeWindow();
}
BENCHMARK(BM_BatchPrint300Receipts)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tv::forms::Registry::add(QStringLiteral("FrmZsdwh"), [] { return new tv::fees::FrmZsdwh; });
    // The prompts are answered OK; anything else would be a failure.
    tv::dlg::script::begin();
    tv::dlg::script::setUnexpectedHandler([](const tv::dlg::Call& c) {
        if (!c.text.contains(QStringLiteral("按(确认)")) && !c.text.contains(QStringLiteral("完毕")))
            std::fprintf(stderr, "unexpected %s: %s\n", qPrintable(c.kind), qPrintable(c.text));
    });
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    tv::forms::Registry::clear();
    return 0;
}
