#include "frame/Module1.h"

#include "frame/FrmXTMM.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QMetaObject>
#include <QTranslator>
#include <QUrl>

namespace tv::frame {

namespace {
QString g_folder;
std::function<void(int)> g_endHook;
std::function<bool(const QUrl&)> g_desktopHook;
}  // namespace

QString programFolder() {
    return g_folder.isEmpty() ? QCoreApplication::applicationDirPath() : g_folder;
}

void setProgramFolder(const QString& folder) { g_folder = folder; }

QString pictureFolder() { return programFolder() + QStringLiteral("/BMP/"); }

void prepareApplication(QApplication& app) {
    auto* qt = new QTranslator(&app);
    if (qt->load(QLocale(QLocale::Chinese, QLocale::China), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    app.setFont(QFont(QStringLiteral("WenQuanYi Micro Hei"), 9));
    app.setApplicationName(QStringLiteral("Tenvora"));
    app.setQuitOnLastWindowClosed(true);
}

void Main() {
    FrmXTMM& login = tv::forms::the<FrmXTMM>();
    login.load();
    if (login.userDbFailed()) {
        // The window has told the user why; without accounts nobody can log in.
        login.unload();
        endProgram(1);
        return;
    }
    login.show();
}

void endProgram(int code) {
    if (g_endHook) {
        g_endHook(code);
        return;
    }
    // Queued, so that it also works before the event loop has started.
    QMetaObject::invokeMethod(qApp, [code] { QCoreApplication::exit(code); }, Qt::QueuedConnection);
}

void setEndProgramHook(std::function<void(int)> hook) { g_endHook = std::move(hook); }

bool openWithDesktop(const QUrl& url) {
    if (g_desktopHook)
        return g_desktopHook(url);
    return QDesktopServices::openUrl(url);
}

void setDesktopHook(std::function<bool(const QUrl&)> hook) { g_desktopHook = std::move(hook); }

}  // namespace tv::frame
