#pragma once

#include "app/VeskAppCore.h"
#include "app/console/ScreenSaverControl.h"

#include <QObject>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

class TVeskSignalHandler;

// The run both programs share around their own steps: what is answered before
// the application object exists, the core with the desktop's screen saver, the
// termination signals, and the end (the event loop, then the core's shutdown).
// Each program puts its own steps between the core's phases.
class TVeskProgram : public QObject
{
    Q_OBJECT

public:
    // Before the application object: a reader of standard output that goes away must
    // not kill the receiver before it has saved its settings and history (SIGPIPE is
    // ignored, writes then simply fail), and -Help is answered on standard output
    // (the windowed program's application object needs a display). An exit status
    // when the program ends here.
    static std::optional<int> BeforeApplication(int argc, char* argv[], const char* AUsageText);

    // A null screen saver in AEnvironment becomes the desktop's.
    explicit TVeskProgram(TVeskEnvironment AEnvironment, QObject* AParent = nullptr);
    ~TVeskProgram() override;

    TVeskAppCore& Core() { return *FCore; }
    const TVeskEnvironment& Environment() const { return FCore->Environment(); }

    // SIGTERM, SIGINT and SIGHUP from now on run AExit on the main thread (by
    // default RequestExit). A test process that is not a program leaves them alone.
    void CatchTerminationSignals(std::function<void()> AExit = {});
    // Ends the event loop. No window can veto it: QCoreApplication::exit, not quit(),
    // which asks every window to close first and gives up when one refuses.
    static void RequestExit(int AStatus = 0);
    // Runs the event loop, then ABeforeShutdown (a program's own last steps), then
    // the core's shutdown; the loop's status.
    int Exec(const std::function<void()>& ABeforeShutdown = {});

private:
    TFreedesktopScreenSaver FDesktopScreenSaver;
    std::unique_ptr<TVeskAppCore> FCore;
    std::unique_ptr<TVeskSignalHandler> FSignals;
};
