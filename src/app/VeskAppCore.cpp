#include "app/VeskAppCore.h"

#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "alert/VeskDataMdlHistoryStore.h"
#include "app/FeedBridge.h"
#include "config/VeskAppSettings.h"
#include "config/VeskCommandLine.h"
#include "config/VeskPlugIn.h"
#include "defines/VeskPlatform.h"
#include "eqfunction/eqFunction.h"
#include "history/VeskData.h"
#include "logging/VeskLogging.h"
#include "net/EqReceiverThrd.h"
#include "net/EqTelegramQueues.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <atomic>
#include <cstdlib>

namespace {

// The core of this process, for an exit that bypasses main(): Qt ends the
// program with exit(1) when the X display goes away, and a plug-in may call
// exit() itself. Its handler still runs the orderly shutdown.
std::atomic<TVeskAppCore*> TheCore{nullptr};

void ShutDownAtExit()
{
    TVeskAppCore* core = TheCore.exchange(nullptr);
    if (!core || !core->IsRunning()) {
        return;
    }
    core->Logger()->Send(vmtWarning, QStringLiteral("Exit outside the event loop; shutting down in order."));
    if (core->thread() == QThread::currentThread()) {
        core->Shutdown();
    } else {
        // exit() on another thread (a plug-in's): the main thread, which still
        // runs, does it; a plug-in call it waits for returns within its time limit.
        QMetaObject::invokeMethod(
            core, [core] { core->Shutdown(); }, Qt::BlockingQueuedConnection);
    }
}

} // namespace

// The live settings as the dispatcher reads them at each decision.
class TVeskAppCore::TSettingsAdapter : public TEqDispatchSettings
{
public:
    explicit TSettingsAdapter(TVeskAppSettings& Settings) : FSettings(Settings) {}
    TLocationInfo GetLocationInfo() const override
    {
        TLocationInfo info;
        FSettings.SetLocationInfo(info);
        return info;
    }
    TAlertConditions GetAlertConditions() const override { return FSettings.GetAlertConditions(); }
    bool IsAlwaysAlertSoundOn() const override { return FSettings.GetAlwaysAlertSoundOn(); }
    qint32 GetNumOfTotalEqTelegrams() const override { return FSettings.GetNumOfTotalEqTelegrams(); }
    void SetNumOfTotalEqTelegrams(qint32 Value) override { FSettings.SetNumOfTotalEqTelegrams(Value); }
    qint32 GetNumOfTotalAlerts() const override { return FSettings.GetNumOfTotalAlerts(); }
    void SetNumOfTotalAlerts(qint32 Value) override { FSettings.SetNumOfTotalAlerts(Value); }

private:
    TVeskAppSettings& FSettings;
};

TVeskEnvironment TVeskEnvironment::FromSystem()
{
    TVeskEnvironment env;
    env.DataFolder = TVeskAppSettings::GetAppConfPath();
    env.Forecast = TForecastFunc(&calcForecast);
    return env;
}

TVeskAppCore::TVeskAppCore(TVeskEnvironment AEnvironment, QObject* Parent)
    : QObject(Parent), FEnv(std::move(AEnvironment))
{
    if (FEnv.DataFolder.isEmpty()) {
        FEnv.DataFolder = TVeskAppSettings::GetAppConfPath();
    }
    if (!FEnv.Forecast) {
        FEnv.Forecast = TForecastFunc(&calcForecast);
    }
    WatchExit();
}

void TVeskAppCore::WatchExit()
{
    // Handlers run in the reverse order of their registration, and objects made
    // before one is registered are destroyed after it runs: registered again once
    // start-up has made the program's objects, it runs before they go.
    if (std::atexit(ShutDownAtExit) == 0) {
        TVeskAppCore* none = nullptr;
        TheCore.compare_exchange_strong(none, this);
    }
}

TVeskAppCore::~TVeskAppCore()
{
    TVeskAppCore* self = this;
    TheCore.compare_exchange_strong(self, nullptr);
    Shutdown();
}

void TVeskAppCore::AdvanceTo(int Phase)
{
    // Phases run once each, in order; a later one runs the missing earlier ones.
    Q_ASSERT(Phase == FPhase + 1);
    FPhase = Phase;
}

void TVeskAppCore::OpenStores(const QStringList& Arguments)
{
    AdvanceTo(1);
    // The logger comes first (it makes the data folder): everything after it logs.
    FLogger = std::make_unique<TVeskLogger>(FEnv.DataFolder, TVeskAppSettings::GetAppLogName());
    FLogger->StartLogging();
    FLogger->EnterMethod(QStringLiteral("FormCreate"));
    SetVeskLogger(FLogger.get());
    // Posted now, run by the event loop: every listener connected before it starts hears them.
    QMetaObject::invokeMethod(this, &TVeskAppCore::DeliverStartupWarnings, Qt::QueuedConnection);
    CheckDataFolder();

    FSettings = std::make_unique<TVeskAppSettings>(FLogger.get());
    connect(FSettings.get(), &TVeskAppSettings::userWarning, this, &TVeskAppCore::Warn);
    FSettings->SetDataFolder(FEnv.DataFolder);
    FSettings->LoadParamsFromConfFile();
    FSettings->SetParamsFromConfFile();
    FCommandLine = std::make_unique<TVeskCommandLine>();
    FCommandLine->LoadCommandLineOption(Arguments, FLogger.get());
    FUseFeed = TVeskCommandLine::FindOption(Arguments, QStringLiteral("Feed")).has_value();

    FLogger->Send(QStringLiteral("Create DataMdl."));
    FDataMdl = std::make_unique<TVeskDataMdl>(FLogger.get());
    SetVeskDataMdl(FDataMdl.get());
    const QString dbFileName = QDir(FEnv.DataFolder).filePath(TVeskAppSettings::GetAppHistoryDbName());
    FLogger->Send(QStringLiteral("DB path"), dbFileName);
    if (!FDataMdl->CreateEqHistoryDB(dbFileName)) {
        FLogger->Send(QStringLiteral("Failed to create EqHistoryDB."));
        Warn(QStringLiteral("地震履歴ファイル %1 を開けないため、地震履歴は保存されません。")
                 .arg(QDir::toNativeSeparators(dbFileName)));
    } else if (!VeskIsWritable(dbFileName)) {
        Warn(QStringLiteral("地震履歴ファイル %1 に書き込めないため、地震履歴は保存されません。")
                 .arg(QDir::toNativeSeparators(dbFileName)));
    }
    // A full disk while running must not lose an alert's row without a word.
    connect(FDataMdl.get(), &TVeskDataMdl::writeFailed, this, [this](int Count) {
        FLogger->Send(vmtWarning, QStringLiteral("History row not written; kept for later."),
                      static_cast<qint64>(Count));
        Warn(QStringLiteral("地震履歴を書き込めませんでした（ディスクの空き容量を確認してください）。"
                            "記録は保持し、書き込めるようになり次第、または終了時に書き込みます。"));
    });
    connect(FDataMdl.get(), &TVeskDataMdl::writeRecovered, this,
            [this] { Warn(QStringLiteral("保持していた地震履歴を書き込みました。")); });
    FHistoryStore = std::make_unique<TVeskDataMdlHistoryStore>(FDataMdl.get());
}

void TVeskAppCore::CheckDataFolder()
{
    // The logger has tried to make the folder already.
    const QString folder = QDir::toNativeSeparators(FEnv.DataFolder);
    if (!QFileInfo(FEnv.DataFolder).isDir()) {
        Warn(QStringLiteral("データフォルダー %1 を作成できないため、設定と地震履歴は保存されません。").arg(folder));
    } else if (!VeskIsWritable(FEnv.DataFolder)) {
        Warn(QStringLiteral("データフォルダー %1 に書き込めないため、設定と地震履歴は保存されません。").arg(folder));
    } else if (!FLogger->FileError().isEmpty()) {
        Warn(QStringLiteral("ログファイルを開けないため、ログは記録されません（%1）。").arg(FLogger->FileError()));
    }
}

void TVeskAppCore::Warn(const QString& AText)
{
    if (FStartupWarningsDelivered) {
        emit userWarning(AText);
    } else {
        FStartupWarnings << AText;
    }
}

void TVeskAppCore::DeliverStartupWarnings()
{
    if (FStartupWarningsDelivered) {
        return;
    }
    FStartupWarningsDelivered = true;
    for (const QString& text : std::as_const(FStartupWarnings)) {
        emit userWarning(text);
    }
}

void TVeskAppCore::CreateAlertController()
{
    AdvanceTo(2);
    FAlertController = std::make_unique<TEqAlertController>(FLogger.get(), FHistoryStore.get(), FEnv.Clock);
    FAlertController->SetSoundChannel(FEnv.Sound);

    FLogger->Send(QStringLiteral("Create EqXXTelegram Queue buffers"));
    FQueues = std::make_unique<TEqTelegramQueues>();
    FDecision = std::make_unique<TEqAlertDecision>(FLogger.get(), FEnv.Forecast);
    FSettingsAdapter = std::make_unique<TSettingsAdapter>(*FSettings);
    FDispatcher = std::make_unique<TEqTelegramDispatcher>(FLogger.get(), *FQueues, *FDecision, *FAlertController,
                                                          *FSettingsAdapter);
    FDispatcher->SetScreenSaver(FEnv.ScreenSaver);
}

void TVeskAppCore::StartReceiver()
{
    AdvanceTo(3);
    {
        TVeskLogScope scope(FLogger.get(), QStringLiteral("Create EqReceiver thread."));
        QString serverName = FCommandLine->GetServerName();
        int serverPort = FCommandLine->GetServerPort();
        if (FUseFeed || FSettings->GetUseFeed()) {
            // The public feeds through a relay of our own on this machine.
            const QString folder =
                FEnv.ProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : FEnv.ProgramFolder;
            const QStringList sources =
                FSettings->GetFeedSources().split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
            FFeed = std::make_unique<TVeskFeedBridge>(QDir(folder).filePath(QStringLiteral("eqbridge")), sources,
                                                      FLogger.get());
            if (const int port = FFeed->Start()) {
                serverName = QStringLiteral("127.0.0.1");
                serverPort = port;
            } else {
                FFeed.reset();
                Warn(QStringLiteral(
                    "公開フィードの中継（eqbridge）を起動できませんでした。設定のサーバーに接続します。"));
            }
        }
        const QString conId = FCommandLine->GetServerConId();
        const QString areaCode = FSettings->GetLocAreaCode();
        FLogger->Send(QStringLiteral("Server name"), serverName);
        FLogger->Send(QStringLiteral("Server port"), serverPort);
        FLogger->Send(QStringLiteral("Server conId"), conId);
        FLogger->Send(QStringLiteral("Area code  "), areaCode);
        FReceiver = std::make_unique<TEqReceiverThread>(serverName, serverPort, conId, areaCode, FDispatcher.get(),
                                                        FQueues.get(), FEnv.KeepAliveInterval, FLogger.get(),
                                                        FEnv.ReconnectWait);
        FReceiver->ConnectCommStatus(FDispatcher.get(), &TEqTelegramDispatcher::OnServerCommStatus);
        connect(FReceiver.get(), &TEqReceiverThread::invalidTelegram, this, &TVeskAppCore::invalidTelegram,
                Qt::QueuedConnection);
    }
    if (FFeed) {
        connect(FFeed.get(), &TVeskFeedBridge::restarted, FReceiver.get(), &TEqReceiverThread::ReconnectNow,
                Qt::DirectConnection);
    }
    FReceiver->start();
    // The forecast library builds its travel-time tables on first use (about 20 ms);
    // pay for that now, while the receiver connects, rather than in front of the first alert.
    double intensity = 0.0, pSec = 0.0, sSec = 0.0;
    FEnv.Forecast(35.7, 139.7, 10, 6.0, 35.7, 139.8, 1.0, &intensity, &pSec, &sSec);
}

void TVeskAppCore::LoadPlugIn(void* AMainFormHandle)
{
    AdvanceTo(4);
    FPlugIn = std::make_unique<TVeskPlugIn>();
    FPlugIn->LoadParamsFromExtConfFile(FEnv.DataFolder, FLogger.get(), FEnv.ProgramFolder);
    FPlugIn->CallMainFormCreate(AMainFormHandle);
    WatchExit();
    TVeskPlugIn* plugIn = FPlugIn.get();
    FDispatcher->SetPlugInEntries(
        plugIn->FOnEq01Queued
            ? TEqTelegramDispatcher::TPlugInEntry([plugIn](const QString& T) { plugIn->CallEq01Queued(T); })
            : TEqTelegramDispatcher::TPlugInEntry(),
        plugIn->FOnEq10Queued
            ? TEqTelegramDispatcher::TPlugInEntry([plugIn](const QString& T) { plugIn->CallEq10Queued(T); })
            : TEqTelegramDispatcher::TPlugInEntry());
    FLogger->ExitMethod(QStringLiteral("FormCreate"));
}

void TVeskAppCore::Startup(const QStringList& Arguments)
{
    OpenStores(Arguments);
    CreateAlertController();
    StartReceiver();
    LoadPlugIn(nullptr);
}

void TVeskAppCore::Shutdown()
{
    if (FPhase == 0 || FShutDown) {
        return;
    }
    FShutDown = true;
    DeliverStartupWarnings();
    FLogger->EnterMethod(QStringLiteral("FormDestroy"));

    // The receiver's last status hand-over is served while we wait for it.
    if (FReceiver) {
        FReceiver->StopAndJoin();
        FReceiver.reset();
    }
    if (FFeed) {
        FFeed->Stop();
        FFeed.reset();
    }
    if (FAlertController) {
        // Telegrams announced but not yet drained are still decided and recorded:
        // nothing received is dropped, but nothing opens or rings any more.
        FAlertController->SetQuiet(true);
        FDispatcher->WMEq01Queued();
        FDispatcher->WMEq10Queued();
        // A running alert ends like a closed window: it is written to the history now.
        FAlertController->StopAlerting();
    }
    // Rows handed to the history writer are on disk, and reported, before anything is saved or trimmed.
    if (FDataMdl) {
        FDataMdl->FlushEqHistoryRecords();
    }

    FLogger->Send(QStringLiteral("Save configuration file."));
    FSettings->SaveParamsToConfFile();
    FSettings->FreeConfParams();

    FLogger->Send(QStringLiteral("Save EqHistory records."), FDataMdl != nullptr);
    if (FDataMdl) {
        const QString dbFileName = QDir(FEnv.DataFolder).filePath(TVeskAppSettings::GetAppHistoryDbName());
        if (FDataMdl->UnwrittenCount() > 0 && !FDataMdl->WriteUnwrittenRecords()) {
            FLogger->Send(vmtWarning, QStringLiteral("History rows lost at exit."),
                          static_cast<qint64>(FDataMdl->UnwrittenCount()));
        }
        FLogger->Send(QStringLiteral("Delete extra records."));
        FDataMdl->DeleteAllEqHistoryRecord(5);
        FLogger->Send(QStringLiteral("Saved records to [") + dbFileName + QStringLiteral("]."));
        FDataMdl->SaveEqHistoryDB(dbFileName);
    }

    FDispatcher.reset();
    FQueues.reset();
    FAlertController.reset();
    FHistoryStore.reset();
    SetVeskDataMdl(nullptr);
    FDataMdl.reset();

    if (FPlugIn) {
        FPlugIn->Unload();
        FPlugIn.reset();
    }

    FLogger->ExitMethod(QStringLiteral("FormDestroy"));
    FLogger->EndLogging();
    SetVeskLogger(nullptr);
    FLogger.reset();
}
