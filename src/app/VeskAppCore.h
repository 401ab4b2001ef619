#pragma once

#include "alert/EqAlertDecision.h"
#include "defines/VeskDefines.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class TAlertClock;
class TAlertSoundChannel;
class TEqAlertController;
class TVeskFeedBridge;
class TEqHistoryStore;
class TEqReceiverThread;
class TEqTelegramDispatcher;
class TScreenSaverControl;
class TVeskAppSettings;
class TVeskCommandLine;
class TVeskDataMdl;
class TVeskLogger;
class TVeskPlugIn;
struct TEqTelegramQueues;

// What the world provides to the core. Everything here has a sound default, so
// a test changes only what it fakes.
struct TVeskEnvironment
{
    // Per-user data folder (settings, history, log); resolved once, at start-up.
    QString DataFolder;
    // The forecast library's calcForecast.
    TForecastFunc Forecast;
    // Local wall clock of the alert timing; the system clock when null.
    const TAlertClock* Clock = nullptr;
    // The process's sound channel; no sound when null.
    TAlertSoundChannel* Sound = nullptr;
    // The desktop's screen saver; none when null.
    TScreenSaverControl* ScreenSaver = nullptr;
    // Folder searched first for a plug-in named without a folder; the program's when empty.
    QString ProgramFolder;
    // Receiver timing; the defaults are the service's.
    quint32 KeepAliveInterval = 3600000;
    quint32 ReconnectWait = 60000;

    // The environment of an installed program: "APPDATA" (or the XDG folder),
    // the linked forecast library, the system clock, no sound or screen saver.
    static TVeskEnvironment FromSystem();
};

// Start-up and shutdown of the receiver without its windows. Start-up runs in
// phases so that the windowed program can put its window steps in between
// (splash, screens, tray, version check); the headless program runs them in a
// row (Startup). Listeners connect to Dispatcher() and AlertController() after
// CreateAlertController and before StartReceiver, so they see the first status.
//
// Shutdown joins the receiver before anything it writes to is freed, decides
// what was still queued (quietly: no window, no sound), ends a running alert,
// saves settings and history, ends the plug-in and ends the log last.
class TVeskAppCore : public QObject
{
    Q_OBJECT

public:
    explicit TVeskAppCore(TVeskEnvironment AEnvironment, QObject* Parent = nullptr);
    ~TVeskAppCore() override;

    // 1. Logger, settings (loaded and applied), command line, history store.
    void OpenStores(const QStringList& Arguments);
    // 2. Queues, alert decision, alert controller and dispatcher.
    void CreateAlertController();
    // 3. The receiver thread, connected to the dispatcher; the forecast tables are
    //    built while it connects.
    void StartReceiver();
    // 4. The plug-in and its start-up entry, given the main window or nothing.
    void LoadPlugIn(void* AMainFormHandle = nullptr);
    // All four phases in a row.
    void Startup(const QStringList& Arguments);
    // Runs the shutdown sequence; safe to call more than once.
    void Shutdown();
    // Makes an exit outside main() (exit() in Qt or a plug-in) run Shutdown.
    void WatchExit();
    bool IsRunning() const { return FPhase > 0 && !FShutDown; }

    const TVeskEnvironment& Environment() const { return FEnv; }
    TVeskLogger* Logger() const { return FLogger.get(); }
    TVeskAppSettings* Settings() const { return FSettings.get(); }
    TVeskCommandLine* CommandLine() const { return FCommandLine.get(); }
    TVeskDataMdl* DataMdl() const { return FDataMdl.get(); }
    TEqAlertController* AlertController() const { return FAlertController.get(); }
    TEqTelegramDispatcher* Dispatcher() const { return FDispatcher.get(); }
    TEqReceiverThread* ReceiverThread() const { return FReceiver.get(); }
    TVeskPlugIn* PlugIn() const { return FPlugIn.get(); }
    // The warnings found while the stores were opened, in order (see userWarning).
    const QStringList& StartupWarnings() const { return FStartupWarnings; }

signals:
    // A line from the server that is neither a telegram nor a keep-alive.
    void invalidTelegram(const QString& Line);
    // Something the user must be told, in Japanese, one line: a settings file that was
    // not read, set aside or not saved, alert conditions that can never be met, a data
    // folder, history or log that cannot be written. Those found by OpenStores are
    // kept in StartupWarnings() and emitted once the event loop runs (or at Shutdown,
    // if it never did), so a listener connected before the loop starts gets each once;
    // later ones are emitted at once.
    void userWarning(const QString& AText);

private:
    class TSettingsAdapter;
    void AdvanceTo(int Phase);
    void Warn(const QString& AText);
    void DeliverStartupWarnings();
    void CheckDataFolder();

    TVeskEnvironment FEnv;
    std::unique_ptr<TVeskLogger> FLogger;
    std::unique_ptr<TVeskAppSettings> FSettings;
    std::unique_ptr<TVeskCommandLine> FCommandLine;
    std::unique_ptr<TVeskDataMdl> FDataMdl;
    std::unique_ptr<TEqHistoryStore> FHistoryStore;
    std::unique_ptr<TEqAlertDecision> FDecision;
    std::unique_ptr<TSettingsAdapter> FSettingsAdapter;
    std::unique_ptr<TEqTelegramQueues> FQueues;
    std::unique_ptr<TEqAlertController> FAlertController;
    std::unique_ptr<TEqTelegramDispatcher> FDispatcher;
    std::unique_ptr<TEqReceiverThread> FReceiver;
    std::unique_ptr<TVeskFeedBridge> FFeed;
    bool FUseFeed = false; // "-Feed" or the setting
    std::unique_ptr<TVeskPlugIn> FPlugIn;
    int FPhase = 0; // the last phase run
    bool FShutDown = false;
    QStringList FStartupWarnings;
    bool FStartupWarningsDelivered = false;
};
