// The main of every test program: the application object exists before any
// test runs (events, timers, sockets), GUI programs get a widget application.

#include <gtest/gtest.h>

#ifdef ULX_TEST_GUI
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
#ifdef ULX_TEST_GUI
    // CTest lists the tests by running the program without the tests'
    // environment: windows stay offscreen there too, with or without a display.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#endif
    TTestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
