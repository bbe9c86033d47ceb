// The program starts here: Chinese for Qt's own texts, one look, every window
// class known, then the login window.
#include "app/RegisterWindows.h"
#include "frame/Module1.h"
#include "platform/forms/Form.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    tv::frame::prepareApplication(app);
    registerWindows();
    tv::frame::endWithTheLastWindow();
    tv::frame::Main();
    const int code = app.exec();
    // The windows go while the application is still there.
    tv::forms::Registry::clear();
    return code;
}
