#include "app/win/VeskWinApp.h"

#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "alertview/AlertMap.h"
#include "alertview/AlertSoundPlayer.h"
#include "alertview/EqAlertFrm.h"
#include "app/console/DesktopNotifier.h"
#include "app/screens/HistoryScreen.h"
#include "app/screens/TrainingScreen.h"
#include "app/screens/VersionCheckUi.h"
#include "app/win/MainFrm.h"
#include "app/win/TrayIcon.h"
#include "auxiliary/Splash.h"
#include "config/VeskAppSettings.h"
#include "logging/VeskLogging.h"
#include "net/VeskVersionChecker.h"

#include <QApplication>
#include <QMediaDevices>
#include <QMessageBox>

#include <cstdio>

namespace {

TVeskEnvironment WithSound(TVeskEnvironment AEnvironment, TAlertSoundChannel* ASound)
{
    AEnvironment.Sound = ASound;
    return AEnvironment;
}

} // namespace

TVeskWinApp::TVeskWinApp(TVeskEnvironment AEnvironment, TOptions AOptions, QObject* AParent)
    : QObject(AParent), FOptions(std::move(AOptions)),
      FSoundPlayer(AEnvironment.Sound ? nullptr : std::make_unique<TAlertSoundPlayer>()),
      FSound(AEnvironment.Sound ? AEnvironment.Sound : FSoundPlayer.get()),
      FProgram(WithSound(std::move(AEnvironment), FSound))
{}

TVeskWinApp::~TVeskWinApp()
{
    // Windows first: they show the core's alert controller.
    FNotifier.reset();
    FTray.reset();
    FMainFrm.reset();
    FAlertFrm.reset();
}

void TVeskWinApp::Start(const QStringList& AArguments)
{
    // The splash shows while start-up runs and goes when it ends.
    std::unique_ptr<TSplashFrm> splash(FOptions.ShowSplash ? TSplashFrm::CreateStartupSplash() : nullptr);
    if (splash) {
        splash->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    TVeskAppCore& core = Core();
    core.OpenStores(AArguments);
    TVeskLogger* logger = core.Logger();
    if (FSoundPlayer) {
        FSoundPlayer->SetLogger(logger);
    }
    if (!FOptions.PlatformNote.isEmpty()) {
        logger->Send(vmtNotable, FOptions.PlatformNote, QGuiApplication::platformName());
    }
    core.CreateAlertController();
    MakeWindows();
    ConnectWindows();

    FTray->Show();
    FMainFrm->SetTrayAvailable(FTray->IsAvailable());
    FMainFrm->PutCommStatusText(FTray->Hint());
    ShowSoundOutput();

    core.StartReceiver();
    // Asynchronous: the answer comes later and never delays the receiver.
    TVeskAppSettings* settings = core.Settings();
    if (settings->GetEnableVersionChecker()) {
        VersionCheckUi::StartStartupCheck(settings->GetVersionCheckUrl(), logger, FMainFrm.get());
    }
    core.LoadPlugIn(reinterpret_cast<void*>(FMainFrm->winId()));

    if (settings->GetEnableAutoIconic()) {
        FMainFrm->HideToTray();
    } else {
        FMainFrm->show();
    }
    splash.reset();
    logger->Send(vmtNotable, QStringLiteral("Main window ready."),
                 QString::number(FOptions.TimeOfStart.msecsTo(QDateTime::currentDateTime())) + QStringLiteral(" ms"));
}

void TVeskWinApp::MakeWindows()
{
    TVeskAppCore& core = Core();
    TVeskLogger* logger = core.Logger();
    TVeskAppSettings* settings = core.Settings();
    TEqAlertController* alert = core.AlertController();
    FAlertFrm = std::make_unique<TEqAlertFrm>(*alert, logger);
    FMainFrm = std::make_unique<TMainFrm>(*settings, logger, FOptions.TimeOfStart, VeskProgramVersion());
    FTray = std::make_unique<TVeskTrayIcon>(logger);
    // Seen wherever the user is: the alert also as a desktop notification.
    FNotifier = std::make_unique<TVeskDesktopNotifier>(*alert, logger);

    // The training screen reads the location as the settings screen shows it,
    // and plays its samples through the alert's one sound channel.
    FMainFrm->SetScreenPage(vscTraining, new TTrainingScreen(
                                             [settings] {
                                                 return TTrainingLocation{settings->GetLocationName(),
                                                                          settings->GetLatitudeText(),
                                                                          settings->GetLongitudeText(),
                                                                          settings->GetGroundAmplificationText()};
                                             },
                                             core.Environment().Forecast, *FSound, alert, logger));
    auto* history = new THistoryScreen();
    history->BindHistoryGrid(core.DataMdl());
    FMainFrm->SetScreenPage(vscHistory, history);
}

void TVeskWinApp::ConnectWindows()
{
    TVeskAppCore& core = Core();
    TVeskLogger* logger = core.Logger();
    TVeskAppSettings* settings = core.Settings();
    TMainFrm* mainFrm = FMainFrm.get();

    connect(mainFrm, &TMainFrm::latestCheckRequested, this, [mainFrm, settings, logger](QPushButton* AButton) {
        VersionCheckUi::StartButtonCheck(settings->GetVersionCheckUrl(), logger, mainFrm, AButton);
    });
    // Warnings for the user: a box that does not stop the receiver, and standard error.
    connect(&core, &TVeskAppCore::userWarning, mainFrm, [mainFrm](const QString& AText) {
        std::fprintf(stderr, "警告: %s\n", qUtf8Printable(VeskEscapeControlChars(AText)));
        auto* box = new QMessageBox(QMessageBox::Warning, QStringLiteral("Ulmaro X"), AText, QMessageBox::Ok, mainFrm);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    });

    // Both choices apply at once, to the next alert and to a running one.
    ApplyViewSettings();
    connect(settings, &TVeskAppSettings::valueChanged, this, [this](TVeskSettingId AId) {
        if (AId == vsiDesktopNotification || AId == vsiAutoZoomMap) {
            ApplyViewSettings();
        }
    });

    TVeskTrayIcon* tray = FTray.get();
    connect(core.Dispatcher(), &TEqTelegramDispatcher::serverCommStatusChanged, mainFrm,
            [tray, mainFrm](TServerCommStatus AStatus, const QString& AHint) {
                tray->SetServerCommStatus(AStatus, AHint);
                mainFrm->PutCommStatusText(AHint);
            });
    connect(tray, &TVeskTrayIcon::screenRequested, mainFrm, &TMainFrm::ShowScreen);
    connect(tray, &TVeskTrayIcon::restoreRequested, mainFrm, &TMainFrm::RestoreFromTray);
    connect(tray, &TVeskTrayIcon::availabilityChanged, mainFrm, &TMainFrm::SetTrayAvailable);

    connect(tray, &TVeskTrayIcon::exitRequested, this, &TVeskWinApp::ExitProgram);
    connect(mainFrm, &TMainFrm::exitRequested, this, &TVeskWinApp::ExitProgram);
    // A close of the main window that ends the program (the desktop's own exit).
    connect(
        mainFrm, &TMainFrm::exitAccepted, this, [] { TVeskProgram::RequestExit(0); }, Qt::QueuedConnection);
    if (FOptions.CatchSignals) {
        FProgram.CatchTerminationSignals([this] { ExitProgram(); });
    }

    // Whether an alarm would be heard: now, when the devices change, and when one was not.
    FAudioDevices = std::make_unique<QMediaDevices>();
    connect(FAudioDevices.get(), &QMediaDevices::audioOutputsChanged, this, &TVeskWinApp::ShowSoundOutput);
    connect(core.AlertController(), &TEqAlertController::soundUnavailable, mainFrm, &TMainFrm::PutSoundOutput);
}

void TVeskWinApp::ApplyViewSettings()
{
    const TVeskAppSettings* settings = Core().Settings();
    FNotifier->SetEnabled(settings->GetDesktopNotification());
    FAlertFrm->AlertMap().SetZoom(settings->GetAutoZoomMap() ? TAlertMap::AutoZoom : 1);
}

void TVeskWinApp::ShowSoundOutput()
{
    FMainFrm->PutSoundOutput(FSound->OutputProblem());
}

void TVeskWinApp::ExitProgram()
{
    FMainFrm->SetAppExit(true);
    FMainFrm->close();
    // Also ends the loops of open dialogs; a refused close cannot stop it.
    TVeskProgram::RequestExit(0);
}

int TVeskWinApp::Exec()
{
    const int status = FProgram.Exec([this] {
        if (FAlertFrm) {
            FAlertFrm->hide();
        }
    });
    // The logger ended with the core; the sound channel outlives it.
    if (FSoundPlayer) {
        FSoundPlayer->SetLogger(nullptr);
    }
    return status;
}
