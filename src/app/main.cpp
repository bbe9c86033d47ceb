// The program starts here: Chinese for Qt's own texts, one look, every window
// class known, then the login window.
#include "app/RegisterWindows.h"
#include "frame/Module1.h"
#include "platform/forms/Guard.h"
#include "platform/print/Printer.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tv::frame::prepareApplication(app);
    // An error in a handler drops the print job that was open.
    tv::forms::setPrintAbortHook([] {
        tv::print::Printer& printer = tv::print::Printer::device();
        if (printer.isOpen())
            printer.abort();
    });
    registerWindows();
    tv::frame::endWithTheLastWindow();
    tv::frame::Main();
    return app.exec();
}
