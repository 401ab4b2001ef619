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
    TTestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
