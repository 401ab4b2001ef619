#include "app/console/VeskProgram.h"

#include "app/console/VeskSignalHandler.h"
#include "config/VeskCommandLine.h"

#include <QCoreApplication>

#include <csignal>
#include <cstdio>

std::optional<int> TVeskProgram::BeforeApplication(int argc, char* argv[], const char* AUsageText)
{
    std::signal(SIGPIPE, SIG_IGN);
    QStringList commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine << QString::fromLocal8Bit(argv[i]);
    }
    if (TVeskCommandLine::FindOption(commandLine, QStringLiteral("Help"))) {
        std::fputs(AUsageText, stdout);
        return 0;
    }
    return std::nullopt;
}

TVeskProgram::TVeskProgram(TVeskEnvironment AEnvironment, QObject* AParent) : QObject(AParent)
{
    if (!AEnvironment.ScreenSaver) {
        AEnvironment.ScreenSaver = &FDesktopScreenSaver;
    }
    FCore = std::make_unique<TVeskAppCore>(std::move(AEnvironment));
}

TVeskProgram::~TVeskProgram() = default;

void TVeskProgram::CatchTerminationSignals(std::function<void()> AExit)
{
    if (!AExit) {
        AExit = [] { RequestExit(0); };
    }
    FSignals = std::make_unique<TVeskSignalHandler>();
    connect(FSignals.get(), &TVeskSignalHandler::TerminationRequested, this, [Exit = std::move(AExit)] { Exit(); });
}

void TVeskProgram::RequestExit(int AStatus)
{
    QCoreApplication::exit(AStatus);
}

int TVeskProgram::Exec(const std::function<void()>& ABeforeShutdown)
{
    const int status = QCoreApplication::exec();
    if (ABeforeShutdown) {
        ABeforeShutdown();
    }
    FCore->Shutdown();
    return status;
}
