// Every test program runs with an application object, so run-loop services, timers and
// socket watchers work in tests as in the program.
#include <QCoreApplication>

#include <gtest/gtest.h>

#include "TestSupport.h"

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication app(argc, argv);
    isolatePreferences();
    return RUN_ALL_TESTS();
}
