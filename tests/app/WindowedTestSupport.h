// ulmarox on a real X server for the end-to-end tests: a private Xvfb display
// with a window manager whose task bar has a notification area, and the helpers
// that start the program against eqsim and read what it wrote.
#pragma once

#include "AppTestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

#include <memory>

namespace UlxWindowedTest {

inline const QString WindowedPath = QStringLiteral(ULX_BIN_DIR "/ulmarox");

// Runs a helper program to its end; its standard output.
inline QString Run(const QString& AProgram, const QStringList& AArgs, const QProcessEnvironment& AEnv)
{
    return QString::fromUtf8(UlxTest::RunProgram(AProgram, AArgs, AEnv, 10000).Out);
}

// A private X display with a window manager, started and stopped by the test.
class TDesktop
{
public:
    bool Start()
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        const QString wm = QStandardPaths::findExecutable(QStringLiteral("icewm"));
        FXdotool = QStandardPaths::findExecutable(QStringLiteral("xdotool"));
        FWmctrl = QStandardPaths::findExecutable(QStringLiteral("wmctrl"));
        if (xvfb.isEmpty() || wm.isEmpty() || FXdotool.isEmpty() || FWmctrl.isEmpty()) {
            FMissing =
                QStringLiteral("Xvfb, icewm, xdotool or wmctrl is not installed (scripts/bootstrap installs them)");
            return false;
        }
        // A display number of this process's own: one another test's server has just
        // given up may still be released under a client that connects to it.
        FServer.setProcessChannelMode(QProcess::SeparateChannels);
        const int first = 100 + int(QCoreApplication::applicationPid() % 400);
        for (int number = first; number < first + 20 && FDisplay.isEmpty(); ++number) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(number))) {
                continue;
            }
            FServer.start(xvfb, {QStringLiteral(":%1").arg(number), QStringLiteral("-screen"), QStringLiteral("0"),
                                 QStringLiteral("1280x900x24"), QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!FServer.waitForStarted(5000)) {
                break;
            }
            FDisplay = QStringLiteral(":%1").arg(number);
            // Until a client really gets through, or the server gives up on this number.
            const QProcessEnvironment env = Environment(QProcessEnvironment::systemEnvironment());
            const bool up = WaitUntil(
                [&] {
                    return FServer.state() != QProcess::Running ||
                           UlxTest::RunProgram(FXdotool, {QStringLiteral("getdisplaygeometry")}, env, 2000).ExitCode ==
                               0;
                },
                10000);
            if (!up || FServer.state() != QProcess::Running) {
                FServer.kill();
                FServer.waitForFinished(3000);
                FDisplay.clear();
            }
        }
        if (FDisplay.isEmpty()) {
            FMissing = QStringLiteral("Xvfb did not start on a free display");
            return false;
        }
        FWm.setProcessEnvironment(Environment(QProcessEnvironment::systemEnvironment()));
        FWm.start(wm, {});
        if (!FWm.waitForStarted(5000)) {
            return false;
        }
        // A program started before the task bar's notification area is up has no tray.
        if (!WaitUntil(
                [&] {
                    return !Xdotool(
                                {QStringLiteral("search"), QStringLiteral("--name"), QStringLiteral("^SystemTray$")})
                                .trimmed()
                                .isEmpty();
                },
                10000)) {
            FMissing = QStringLiteral("icewm's notification area did not come up");
            return false;
        }
        return true;
    }
    ~TDesktop()
    {
        for (QProcess* p : {&FWm, &FServer}) {
            if (p->state() != QProcess::NotRunning) {
                p->terminate();
                if (!p->waitForFinished(3000)) {
                    p->kill();
                    p->waitForFinished(3000);
                }
            }
        }
    }
    QProcessEnvironment Environment(QProcessEnvironment AEnv) const
    {
        AEnv.insert(QStringLiteral("DISPLAY"), FDisplay);
        AEnv.remove(QStringLiteral("QT_QPA_PLATFORM"));
        AEnv.remove(QStringLiteral("WAYLAND_DISPLAY"));
        return AEnv;
    }
    // Ids of the visible windows whose title contains ATitle.
    QStringList Windows(const QString& ATitle) const
    {
        return Run(FXdotool,
                   {QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"), ATitle},
                   Environment(QProcessEnvironment::systemEnvironment()))
            .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Closes a window politely, as its close button does.
    void Close(const QString& ATitle) const
    {
        Run(FWmctrl, {QStringLiteral("-c"), ATitle}, Environment(QProcessEnvironment::systemEnvironment()));
    }
    // Runs xdotool with AArgs on this display; its output.
    QString Xdotool(const QStringList& AArgs) const
    {
        return Run(FXdotool, AArgs, Environment(QProcessEnvironment::systemEnvironment()));
    }
    // The X server goes away, as when the session ends or the display is lost.
    void KillServer()
    {
        FServer.kill();
        FServer.waitForFinished(3000);
    }
    QString Missing() const { return FMissing; }
    // With ULX_SCREENSHOT_DIR set, keeps a picture of the whole screen for a look by eye.
    void Screenshot(const QString& AName) const
    {
        const QString dir = qEnvironmentVariable("ULX_SCREENSHOT_DIR");
        const QString convert = QStandardPaths::findExecutable(QStringLiteral("convert"));
        if (dir.isEmpty() || convert.isEmpty()) {
            return;
        }
        QProcess::execute(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             QStringLiteral("xwd -root -display %1 | %2 xwd:- %3/%4").arg(FDisplay, convert, dir, AName)});
    }

private:
    QProcess FServer;
    QProcess FWm;
    QString FDisplay;
    QString FXdotool;
    QString FWmctrl;
    QString FMissing;
};

// ulmarox connected to the simulator on APort.
inline void StartWindowed(TChild& AApp, int APort, const QProcessEnvironment& AEnv)
{
    AApp.Start(WindowedPath, {QStringLiteral("-DebugOnLocal"), QStringLiteral("-EqServerPort"), QString::number(APort)},
               AEnv);
}

// ulmarox in folders of its own, against eqsim playing one scenario.
struct TWindowedRun
{
    TTestFolders Folders;
    QProcessEnvironment Env;
    std::unique_ptr<TEqSim> Sim;
    TChild App;

    TWindowedRun(const TDesktop& ADesktop, const QString& AScenario)
        : Env(ADesktop.Environment(Folders.Environment())), Sim(std::make_unique<TEqSim>(QStringList{AScenario}, Env))
    {
        if (Sim->Port > 0) {
            StartWindowed(App, Sim->Port, Env);
        }
    }
    bool Started() const { return Sim->Port > 0; }
    // Until the alert window is on the screen (20 s at most).
    bool WaitForAlertWindow(const TDesktop& ADesktop) const
    {
        return WaitUntil([&] { return !ADesktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 20000);
    }
};

inline QStringList HistoryIds(const TTestFolders& AFolders)
{
    QStringList ids;
    const QString out = Run(HeadlessPath, {QStringLiteral("-ListHistory")}, AFolders.Environment());
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        ids << QJsonDocument::fromJson(line.toUtf8()).object().value(QStringLiteral("EQ_ID")).toString();
    }
    return ids;
}

} // namespace UlxWindowedTest
