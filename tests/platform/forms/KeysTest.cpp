// Enter on a focused push button presses it in every window, unless the
// button is in an Enter ring: then it follows the ring.
#include "Fixtures.h"

#include "platform/forms/EnterRing.h"

using KeysTest = tv::test::DemoTest;

TEST_F(KeysTest, EnterPressesTheFocusedButtonUnlessItIsInAnEnterRing) {
    for (const bool inRing : {true, false}) {
        demo.show();
        QApplication::setActiveWindow(demo.widget());
        if (inRing)
            new tv::forms::EnterRing({ui().Txtxm, ui().CmdExit}, true, demo.widget());
        ui().CmdExit->setFocus();
        QTest::keyClick(ui().CmdExit, Qt::Key_Return);  // 退出 unloads the window
        EXPECT_EQ(demo.isLoaded() ? QApplication::focusWidget()->objectName() : "unloaded",
                  inRing ? "Txtxm" : "unloaded");
        demo.unload();
    }
}
