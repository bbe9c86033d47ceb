// The program starts here: Chinese for Qt's own texts, one look, every window
// class known, then the login window.
#include "app/RegisterWindows.h"
#include "frame/Module1.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tv::frame::prepareApplication(app);
    registerWindows();
    tv::frame::endWithTheLastWindow();
    tv::frame::Main();
    return app.exec();
}
