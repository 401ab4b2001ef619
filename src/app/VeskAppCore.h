#pragma once

#include "alert/EqTelegramDispatcher.h"
#include "net/EqTelegramQueues.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

class TEqAlertDecision;
class TEqReceiverThread;
class TVeskAppSettings;
class TVeskCommandLine;
class TVeskDataMdl;
class TVeskLogger;
class TVeskPlugIn;
class TEqHistoryStore;

// Start-up and shutdown of the receiver without its windows, in the order the
// program relies on: logger first, settings, command line, history, queues,
// receiver thread, plug-in; shutdown joins the receiver before anything it
// writes to is freed, saves settings and history and ends the log last. The
// windowed program and ulmarox-headless both run this sequence and only add
// their own alert view and status display.
class TVeskAppCore : public QObject
{
    Q_OBJECT

public:
    // Makes the alert view once the history exists; the core keeps ownership.
    using TAlertViewFactory = std::function<std::unique_ptr<TEqAlertWindowIntf>(TVeskLogger*, TEqHistoryStore*)>;

    struct TOptions
    {
        QStringList Arguments; // without the program path
        TAlertViewFactory AlertViewFactory;
        TEqDispatchObserver* Observer = nullptr;
        TEqDispatchView* View = nullptr;
        // Told about the receiver's invalid lines, on the main thread.
        std::function<void(const QString&)> InvalidLineHandler;
        TScreenSaverControl* ScreenSaver = nullptr;
        // Folder searched first for a plug-in named without a folder; the program's when empty.
        QString ProgramFolder;
        // Receiver timing; the defaults are the service's.
        quint32 KeepAliveInterval = 3600000;
        quint32 ReconnectWait = 60000;
    };

    explicit TVeskAppCore(QObject* Parent = nullptr);
    ~TVeskAppCore() override;

    // Runs the start-up sequence. The receiver thread runs when it returns.
    void Startup(const TOptions& Options);
    // Runs the shutdown sequence; safe to call once after Startup.
    void Shutdown();
    bool IsRunning() const { return FStarted && !FShutDown; }

    TVeskLogger* Logger() const { return FLogger.get(); }
    TVeskAppSettings* Settings() const { return FSettings.get(); }
    TVeskCommandLine* CommandLine() const { return FCommandLine.get(); }
    TVeskDataMdl* DataMdl() const { return FDataMdl.get(); }
    TEqAlertWindowIntf* AlertView() const { return FAlertView.get(); }
    TEqTelegramDispatcher* Dispatcher() const { return FDispatcher.get(); }
    TEqReceiverThread* ReceiverThread() const { return FReceiver.get(); }
    TVeskPlugIn* PlugIn() const { return FPlugIn.get(); }

private:
    class TSettingsAdapter;

    std::unique_ptr<TVeskLogger> FLogger;
    std::unique_ptr<TVeskAppSettings> FSettings;
    std::unique_ptr<TVeskCommandLine> FCommandLine;
    std::unique_ptr<TVeskDataMdl> FDataMdl;
    std::unique_ptr<TEqHistoryStore> FHistoryStore;
    std::unique_ptr<TEqAlertWindowIntf> FAlertView;
    std::unique_ptr<TEqAlertDecision> FDecision;
    std::unique_ptr<TSettingsAdapter> FSettingsAdapter;
    std::unique_ptr<TEqTelegramQueues> FQueues;
    std::unique_ptr<TEqTelegramDispatcher> FDispatcher;
    std::unique_ptr<TEqReceiverThread> FReceiver;
    std::unique_ptr<TVeskPlugIn> FPlugIn;
    bool FStarted = false;
    bool FShutDown = false;
};
