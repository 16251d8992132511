// Every test program runs with an application object, so run-loop services, timers and
// socket watchers work in tests as in the program. Programs that test widgets get a
// QApplication (they are built with SONAVEL_TEST_WIDGETS).
#ifdef SONAVEL_TEST_WIDGETS
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

#include "TestSupport.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
#ifdef SONAVEL_TEST_WIDGETS
    // Test discovery runs the program without the test environment.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TestApplication app(argc, argv);
    isolatePreferences();
    watchLocalizedTexts();
    return RUN_ALL_TESTS();
}
