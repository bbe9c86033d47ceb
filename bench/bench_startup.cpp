// Start-up times: from the start of the process to the login window on the
// screen, and from the click on 确认 to the main window on the screen.
//
// The first is measured on a fresh process each time: this program starts
// itself with "--login-shown", and that child does what the program does
// (Qt's Chinese texts, the font, the login window from the program folder
// beside the executable) and reports once the window is exposed.
// Run it under a display (xvfb-run) for the real figure; without one it
// measures the offscreen platform.
#include "frame/FrmXTMM.h"
#include "frame/MDIVamo.h"
#include "frame/Module1.h"
#include "platform/forms/Form.h"
#include "platform/shell/Shell.h"

#include <benchmark/benchmark.h>
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QWindow>

#include <sys/wait.h>
#include <unistd.h>
#include <chrono>
#include <cstdio>
#include <cstring>

namespace {

const char* const kChildFlag = "--login-shown";

bool exposed(QWidget* w) { return w && w->windowHandle() && w->windowHandle()->isExposed(); }

// Runs the event loop until the window is on the screen (at most 5 s).
bool waitExposed(QWidget* w) {
    QElapsedTimer t;
    t.start();
    while (!exposed(w) && t.elapsed() < 5000) QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return exposed(w);
}

// The child: the program's own start, up to the login window shown.
int childMain(int argc, char** argv) {
    QApplication app(argc, argv);
    tv::frame::prepareApplication(app);
    tv::shell::setProgramFolder(QStringLiteral(TV_APP_DIR));
    tv::frame::Main();
    tv::forms::Form* login = tv::forms::Registry::loaded(QStringLiteral("FrmXTMM"));
    const bool ok = login && waitExposed(login->widget());
    std::fputs(ok ? "shown\n" : "failed\n", stdout);
    std::fflush(stdout);
    _exit(ok ? 0 : 1);
}

void BM_ProcessStartToLoginShown(benchmark::State& state) {
    for (auto _ : state) {
        int fds[2];
        if (pipe(fds) != 0) {
            state.SkipWithError("pipe");
            return;
        }
        const auto start = std::chrono::steady_clock::now();
        const pid_t pid = fork();
        if (pid == 0) {
            dup2(fds[1], STDOUT_FILENO);
            close(fds[0]);
            close(fds[1]);
            execl("/proc/self/exe", "bench_startup", kChildFlag, static_cast<char*>(nullptr));
            _exit(127);
        }
        close(fds[1]);
        char line[16] = {};
        const ssize_t n = read(fds[0], line, sizeof line - 1);
        const auto end = std::chrono::steady_clock::now();
        close(fds[0]);
        int status = 0;
        waitpid(pid, &status, 0);
        if (n <= 0 || std::strncmp(line, "shown", 5) != 0) {
            state.SkipWithError("the login window was not shown");
            return;
        }
        state.SetIterationTime(std::chrono::duration<double>(end - start).count());
    }
}
BENCHMARK(BM_ProcessStartToLoginShown)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_LoginClickToMainWindowShown(benchmark::State& state) {
    using tv::forms::Registry;
    tv::shell::setProgramFolder(QStringLiteral(TV_APP_DIR));
    for (auto _ : state) {
        state.PauseTiming();
        Registry::clear();
        tv::frame::Main();
        tv::forms::Form* login = Registry::loaded(QStringLiteral("FrmXTMM"));
        if (!login || !waitExposed(login->widget())) {
            state.SkipWithError("no login window");
            return;
        }
        login->control<QLineEdit>(QStringLiteral("TxtYhm"))->setText(QStringLiteral("admin"));
        login->control<QLineEdit>(QStringLiteral("TxtMM"))->setText(QStringLiteral("472619"));
        QPushButton* confirm = login->control<QPushButton>(QStringLiteral("CmdYs"));
        state.ResumeTiming();

        confirm->click();
        tv::forms::Form* main = Registry::loaded(QStringLiteral("MDIVamo"));
        const bool ok = main && waitExposed(main->widget());

        state.PauseTiming();
        if (!ok) {
            state.SkipWithError("the main window was not shown (is the account admin / 472619 there?)");
            return;
        }
        Registry::unloadAll();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        state.ResumeTiming();
    }
    Registry::clear();
}
BENCHMARK(BM_LoginClickToMainWindowShown)->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], kChildFlag) == 0)
        return childMain(argc, argv);
    if (!QFileInfo::exists(QStringLiteral(TV_APP_DIR "/Rave.ini"))) {
        std::fprintf(stderr, "build the program folder first (target app_folder): %s\n", TV_APP_DIR);
        return 1;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tv::frame::prepareApplication(app);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
