#pragma once

#include "app/console/VeskProgram.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <memory>

class QMediaDevices;
class TAlertSoundChannel;
class TAlertSoundPlayer;
class TEqAlertFrm;
class TMainFrm;
class TVeskDesktopNotifier;
class TVeskTrayIcon;

// The windowed program put together: the core with the alert window and the
// process's one sound channel, the main window with its screens, the icon in the
// notification area, the desktop notification, and every way out (the icon's
// 終了, the home screen's, SIGTERM, SIGINT, SIGHUP) running one orderly end that
// no window can veto. main() makes the application object and runs this; a test
// builds it with an environment of its own (fake sound channel, clock, screen
// saver) and drives it through its windows and signals.
class TVeskWinApp : public QObject
{
    Q_OBJECT

public:
    struct TOptions
    {
        // When the program started, for the home screen and the start-up figure.
        QDateTime TimeOfStart = QDateTime::currentDateTime();
        // What the choice of display platform wants logged; empty: nothing.
        QString PlatformNote;
        bool ShowSplash = true;
        // Termination signals end the program (a test that builds it may leave them alone).
        bool CatchSignals = true;
    };

    // A null sound channel in AEnvironment becomes the alert sound player.
    TVeskWinApp(TVeskEnvironment AEnvironment, TOptions AOptions, QObject* AParent = nullptr);
    ~TVeskWinApp() override;

    // The core's phases with the window steps between them: splash, stores, alert
    // window, main window with its screens, icon, receiver, version check, plug-in,
    // and the main window shown (or kept in the notification area).
    void Start(const QStringList& AArguments);
    // The event loop until an exit; then the alert window goes and the core shuts
    // down (settings, history, plug-in, log). The loop's status.
    int Exec();
    // The one way out: the main window's next close is accepted and the loop ends.
    void ExitProgram();

    TVeskAppCore& Core() { return FProgram.Core(); }
    TMainFrm& MainWindow() const { return *FMainFrm; }
    TEqAlertFrm& AlertWindow() const { return *FAlertFrm; }
    TVeskTrayIcon& Tray() const { return *FTray; }
    TVeskDesktopNotifier& Notifier() const { return *FNotifier; }
    TAlertSoundChannel& Sound() const { return *FSound; }

private:
    void MakeWindows();
    void ConnectWindows();
    void ApplyViewSettings();
    void ShowSoundOutput();

    TOptions FOptions;
    // Declared before the program: the channel outlives the core that drives it.
    std::unique_ptr<TAlertSoundPlayer> FSoundPlayer;
    TAlertSoundChannel* FSound = nullptr;
    TVeskProgram FProgram;
    std::unique_ptr<TEqAlertFrm> FAlertFrm;
    std::unique_ptr<TMainFrm> FMainFrm;
    std::unique_ptr<TVeskTrayIcon> FTray;
    std::unique_ptr<TVeskDesktopNotifier> FNotifier;
    std::unique_ptr<QMediaDevices> FAudioDevices;
};
