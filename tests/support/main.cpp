// Test main: a QApplication for the widgets; a dialog that a test did not
// script fails that test at once instead of waiting for a user.
#include "platform/dialogs/Dialogs.h"

#include <gtest/gtest.h>
#include <QApplication>

int main(int argc, char** argv) {
    if (qgetenv("QT_QPA_PLATFORM").isEmpty())
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    tv::dlg::script::setUnexpectedHandler([](const tv::dlg::Call& c) {
        ADD_FAILURE() << "unexpected " << c.kind.toStdString() << ": " << c.text.toStdString() << " / "
                      << c.title.toStdString();
    });
    return RUN_ALL_TESTS();
}
