#include "app/VeskAppCore.h"

#include "alert/EqAlertDecision.h"
#include "alert/EqAlertWindowless.h"
#include "alert/VeskDataMdlHistoryStore.h"
#include "config/VeskAppSettings.h"
#include "config/VeskCommandLine.h"
#include "config/VeskPlugIn.h"
#include "eqfunction/eqFunction.h"
#include "history/VeskData.h"
#include "logging/VeskLogging.h"
#include "net/EqReceiverThrd.h"

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

TVeskAppCore::TVeskAppCore(QObject* Parent) : QObject(Parent) {}

TVeskAppCore::~TVeskAppCore()
{
    if (FStarted && !FShutDown) {
        Shutdown();
    }
}

void TVeskAppCore::Startup(const TOptions& Options)
{
    // The logger comes first (it makes the data folder): everything after it logs.
    FLogger = std::make_unique<TVeskLogger>(TVeskAppSettings::GetAppLogPath(), TVeskAppSettings::GetAppLogName());
    FLogger->StartLogging();
    FLogger->EnterMethod(QStringLiteral("FormCreate"));
    SetVeskLogger(FLogger.get());

    FSettings = std::make_unique<TVeskAppSettings>(FLogger.get());
    FSettings->LoadParamsFromConfFile();
    FSettings->SetParamsFromConfFile();
    FCommandLine = std::make_unique<TVeskCommandLine>();
    FCommandLine->LoadCommandLineOption(Options.Arguments, FLogger.get());

    FLogger->Send(QStringLiteral("Create DataMdl."));
    FDataMdl = std::make_unique<TVeskDataMdl>(FLogger.get());
    SetVeskDataMdl(FDataMdl.get());
    const QString dbFileName = TVeskAppSettings::GetAppHistoryDbFileName();
    FLogger->Send(QStringLiteral("DB path"), dbFileName);
    if (!FDataMdl->CreateEqHistoryDB(dbFileName)) {
        FLogger->Send(QStringLiteral("Failed to create EqHistoryDB."));
    }

    FHistoryStore = std::make_unique<TVeskDataMdlHistoryStore>(FDataMdl.get());
    if (Options.AlertViewFactory) {
        FAlertView = Options.AlertViewFactory(FLogger.get(), FHistoryStore.get());
    } else {
        FAlertView = std::make_unique<TEqAlertWindowless>(FLogger.get(), FHistoryStore.get());
    }

    FLogger->Send(QStringLiteral("Create EqXXTelegram Queue buffers"));
    FQueues = std::make_unique<TEqTelegramQueues>();
    FDecision = std::make_unique<TEqAlertDecision>(FLogger.get(), TForecastFunc(&calcForecast));
    FSettingsAdapter = std::make_unique<TSettingsAdapter>(*FSettings);
    FDispatcher =
        std::make_unique<TEqTelegramDispatcher>(FLogger.get(), *FQueues, *FDecision, *FAlertView, *FSettingsAdapter);
    FDispatcher->SetView(Options.View);
    FDispatcher->SetObserver(Options.Observer);
    FDispatcher->SetScreenSaver(Options.ScreenSaver);

    FLogger->EnterMethod(QStringLiteral("Create EqReceiver thread."));
    const QString serverName = FCommandLine->GetServerName();
    const int serverPort = FCommandLine->GetServerPort();
    const QString conId = FCommandLine->GetServerConId();
    const QString areaCode = FSettings->GetLocAreaCode();
    FLogger->Send(QStringLiteral("Server name"), serverName);
    FLogger->Send(QStringLiteral("Server port"), serverPort);
    FLogger->Send(QStringLiteral("Server conId"), conId);
    FLogger->Send(QStringLiteral("Area code  "), areaCode);
    FReceiver =
        std::make_unique<TEqReceiverThread>(serverName, serverPort, conId, areaCode, FDispatcher.get(), FQueues.get(),
                                            Options.KeepAliveInterval, FLogger.get(), Options.ReconnectWait);
    if (Options.InvalidLineHandler) {
        QObject* target = FDispatcher.get();
        auto handler = Options.InvalidLineHandler;
        FReceiver->SetInvalidTelegramHandler([target, handler](const QString& Line) {
            QMetaObject::invokeMethod(
                target, [handler, Line] { handler(Line); }, Qt::QueuedConnection);
        });
    }
    FLogger->ExitMethod(QStringLiteral("Create EqReceiver thread."));
    FReceiver->start();
    // The forecast library builds its travel-time tables on first use (about 20 ms);
    // pay for that now, while the receiver connects, rather than in front of the first alert.
    {
        double intensity = 0.0, pSec = 0.0, sSec = 0.0;
        calcForecast(35.7, 139.7, 10, 6.0, 35.7, 139.8, 1.0, &intensity, &pSec, &sSec);
    }

    FPlugIn = std::make_unique<TVeskPlugIn>();
    FPlugIn->LoadParamsFromExtConfFile(TVeskAppSettings::GetAppConfPath(), FLogger.get(), Options.ProgramFolder);
    FPlugIn->CallMainFormCreate(nullptr);
    TVeskPlugIn* plugIn = FPlugIn.get();
    FDispatcher->SetPlugInEntries(
        plugIn->FOnEq01Queued
            ? TEqTelegramDispatcher::TPlugInEntry([plugIn](const QString& T) { plugIn->CallEq01Queued(T); })
            : TEqTelegramDispatcher::TPlugInEntry(),
        plugIn->FOnEq10Queued
            ? TEqTelegramDispatcher::TPlugInEntry([plugIn](const QString& T) { plugIn->CallEq10Queued(T); })
            : TEqTelegramDispatcher::TPlugInEntry());

    FLogger->ExitMethod(QStringLiteral("FormCreate"));
    FStarted = true;
}

void TVeskAppCore::Shutdown()
{
    if (!FStarted || FShutDown) {
        return;
    }
    FShutDown = true;
    FLogger->EnterMethod(QStringLiteral("FormDestroy"));

    // The receiver's last status hand-over is served while we wait for it.
    if (FReceiver) {
        FReceiver->StopAndJoin();
        FReceiver.reset();
    }
    // Telegrams announced but not yet drained are still decided: nothing received is dropped.
    if (FDispatcher) {
        FDispatcher->WMEq01Queued();
        FDispatcher->WMEq10Queued();
    }

    // A running alert ends like a closed window: it is written to the history now.
    FAlertView->StopAlerting();

    FLogger->Send(QStringLiteral("Save configuration file."));
    FSettings->SaveParamsToConfFile();
    FSettings->FreeConfParams();

    FLogger->Send(QStringLiteral("Save EqHistory records."), FDataMdl != nullptr);
    if (FDataMdl) {
        const QString dbFileName = TVeskAppSettings::GetAppHistoryDbFileName();
        FLogger->Send(QStringLiteral("Delete extra records."));
        FDataMdl->DeleteAllEqHistoryRecord(5);
        FLogger->Send(QStringLiteral("Saved records to [") + dbFileName + QStringLiteral("]."));
        FDataMdl->SaveEqHistoryDB(dbFileName);
    }

    FDispatcher.reset();
    FQueues.reset();
    FAlertView.reset();
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
