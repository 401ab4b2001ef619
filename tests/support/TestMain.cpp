// The main of every test program: the application object exists before any
// test runs (events, timers, sockets), GUI programs get a widget application.

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#ifdef ULX_TEST_GUI
#include <QApplication>
using TTestApplication = QApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif

namespace {

// "NAME=VALUE" lines of <program>.env, written by the build: the folders and
// locale every test of this program runs with, also when run by hand.
void LoadTestEnvironment(const char* AProgram)
{
    std::ifstream file(std::string(AProgram) + ".env");
    std::string line;
    while (std::getline(file, line)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos && eq > 0) {
            qputenv(line.substr(0, eq).c_str(), QByteArray::fromStdString(line.substr(eq + 1)));
        }
    }
}

} // namespace

int main(int argc, char** argv)
{
    LoadTestEnvironment(argv[0]);
    ::testing::InitGoogleTest(&argc, argv);
#ifdef ULX_TEST_GUI
    // Also when CTest lists the tests, which it does without the tests' environment.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
    TTestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
