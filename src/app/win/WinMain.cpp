// ulmarox: the receiver with its windows. It sits in the notification area,
// alerts with the alert window and its sound, and keeps the settings screens.

#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "alertview/AlertMap.h"
#include "alertview/AlertSoundPlayer.h"
#include "alertview/EqAlertFrm.h"
#include "app/DisplayPlatform.h"
#include "app/VeskAppCore.h"
#include "app/VeskSingleInstance.h"
#include "app/console/DesktopNotifier.h"
#include "app/console/ScreenSaverControl.h"
#include "app/console/VeskSignalHandler.h"
#include "app/screens/HistoryScreen.h"
#include "app/screens/TrainingScreen.h"
#include "app/screens/VersionCheckUi.h"
#include "app/win/MainFrm.h"
#include "app/win/TrayIcon.h"
#include "auxiliary/Splash.h"
#include "config/VeskAppSettings.h"
#include "config/VeskCommandLine.h"
#include "logging/VeskLogging.h"

#include <QApplication>
#include <QAudioDevice>
#include <QDateTime>
#include <QMediaDevices>
#include <QMessageBox>
#include <QPushButton>

#include <csignal>
#include <cstdio>
#include <memory>

namespace {

const char* const UsageText = "使い方: ulmarox [オプション]\n"
                              "緊急地震速報（予報）を受信し、所在地での予測震度とS波到達までの秒数を求め、\n"
                              "警報条件を満たすと通報画面と警報音で知らせます。\n"
                              "\n"
                              "Usage: ulmarox [options]\n"
                              "Receives Earthquake Early Warnings and alerts with a window and an alarm when\n"
                              "the estimated shaking at your location meets your conditions.\n"
                              "\n"
                              "Options (\"-\" or \"/\", case does not matter):\n"
                              "  -DebugOnLocal         ローカルのサーバー (127.0.0.1:8000) に接続 / connect to a "
                              "local server\n"
                              "  -EqServer HOST        接続先サーバー / EQ server host\n"
                              "  -EqServerPort PORT    接続先ポート / EQ server port\n"
                              "  -ConId ID             接続ID / connection id (default: 12 random characters)\n"
                              "  -Help                 この説明 / this text\n";

} // namespace

int main(int argc, char* argv[])
{
    std::signal(SIGPIPE, SIG_IGN);
    // -Help is answered before the application object, which needs a display.
    QStringList commandLine;
    for (int i = 1; i < argc; ++i) {
        commandLine << QString::fromLocal8Bit(argv[i]);
    }
    if (TVeskCommandLine::FindOption(commandLine, QStringLiteral("Help"))) {
        std::fputs(UsageText, stdout);
        return 0;
    }
    const QDateTime timeOfStart = QDateTime::currentDateTime();
    const TDisplayPlatformChoice platform = ChooseDisplayPlatform(QProcessEnvironment::systemEnvironment());
    if (!platform.Platform.isEmpty()) {
        qputenv("QT_QPA_PLATFORM", platform.Platform.toLatin1());
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("UlmaroX"));
    QApplication::setApplicationVersion(QStringLiteral(ULX_VERSION));
    // The program lives in the notification area: closing windows does not end it.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments().mid(1);

    TVeskSingleInstance instance;
    if (const int status = instance.ClaimForStart(); status >= 0) {
        if (status != 0) {
            QMessageBox::critical(nullptr, QStringLiteral("Ulmaro X"),
                                  QStringLiteral("多重起動を確認できないため起動できません。\n") +
                                      instance.ErrorString());
        }
        return status;
    }

    // The splash shows while start-up runs and goes when it ends.
    std::unique_ptr<TSplashFrm> splash(TSplashFrm::CreateStartupSplash());
    if (splash) {
        splash->show();
        QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    }

    TFreedesktopScreenSaver screenSaver;
    TVeskEnvironment env = TVeskEnvironment::FromSystem();
    env.ScreenSaver = &screenSaver;
    env.Sound = &TAlertSoundPlayer::Instance();
    env.ProgramFolder = QApplication::applicationDirPath();
    TVeskAppCore core(env);
    core.OpenStores(arguments);
    TVeskLogger* logger = core.Logger();
    TAlertSoundPlayer::Instance().SetLogger(logger);
    if (!platform.LogNote.isEmpty()) {
        logger->Send(vmtNotable, platform.LogNote, QGuiApplication::platformName());
    }
    core.CreateAlertController();

    TEqAlertController* alert = core.AlertController();
    auto alertFrm = std::make_unique<TEqAlertFrm>(*alert, logger);
    auto mainFrm = std::make_unique<TMainFrm>(*core.Settings(), logger, timeOfStart, QStringLiteral(ULX_VERSION));
    TVeskTrayIcon tray(logger);
    TVeskAppSettings* settings = core.Settings();
    // The training screen reads the location as the settings screen shows it,
    // and plays its samples through the alert's one sound channel.
    mainFrm->SetScreenPage(vscTraining, new TTrainingScreen(
                                            [settings] {
                                                return TTrainingLocation{settings->GetLocationName(),
                                                                         settings->GetLatitudeText(),
                                                                         settings->GetLongitudeText(),
                                                                         settings->GetGroundAmplificationText()};
                                            },
                                            env.Forecast, TAlertSoundPlayer::Instance(), alert, logger));
    auto* history = new THistoryScreen();
    history->BindHistoryGrid(core.DataMdl());
    mainFrm->SetScreenPage(vscHistory, history);
    QObject::connect(mainFrm.get(), &TMainFrm::latestCheckRequested, mainFrm.get(), [&mainFrm, settings, logger] {
        VersionCheckUi::StartButtonCheck(settings->GetVersionCheckUrl(), logger, mainFrm.get(),
                                         mainFrm->Control<QPushButton>(QStringLiteral("LatestCheckBtn")));
    });
    // Warnings for the user: a box that does not stop the receiver, and standard error.
    QObject::connect(&core, &TVeskAppCore::userWarning, mainFrm.get(), [&mainFrm](const QString& Text) {
        std::fprintf(stderr, "警告: %s\n", qUtf8Printable(VeskEscapeControlChars(Text)));
        auto* box =
            new QMessageBox(QMessageBox::Warning, QStringLiteral("Ulmaro X"), Text, QMessageBox::Ok, mainFrm.get());
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->setModal(false);
        box->show();
    });

    // Seen wherever the user is: the alert also as a desktop notification.
    TVeskDesktopNotifier notifier(*alert, logger);
    // Both choices apply at once, to the next alert and to a running one.
    auto applyViewSettings = [settings, &notifier, &alertFrm] {
        notifier.SetEnabled(settings->GetDesktopNotification());
        alertFrm->AlertMap().SetZoom(settings->GetAutoZoomMap() ? TAlertMap::AutoZoom : 1);
    };
    applyViewSettings();
    QObject::connect(settings, &TVeskAppSettings::valueChanged, &notifier, [applyViewSettings](const QString& AKey) {
        if (AKey == QLatin1String("DesktopNotification") || AKey == QLatin1String("AutoZoomMap")) {
            applyViewSettings();
        }
    });

    TEqTelegramDispatcher* dispatcher = core.Dispatcher();
    QObject::connect(dispatcher, &TEqTelegramDispatcher::serverCommStatusChanged, mainFrm.get(),
                     [&tray, &mainFrm](TServerCommStatus Status, const QString& Hint) {
                         tray.SetServerCommStatus(Status, Hint);
                         mainFrm->PutCommStatusText(Hint);
                     });
    QObject::connect(&tray, &TVeskTrayIcon::screenRequested, mainFrm.get(), &TMainFrm::ShowScreen);
    QObject::connect(&tray, &TVeskTrayIcon::restoreRequested, mainFrm.get(), &TMainFrm::RestoreFromTray);
    QObject::connect(&tray, &TVeskTrayIcon::availabilityChanged, mainFrm.get(), &TMainFrm::SetTrayAvailable);
    // No window can veto the exit: the loop ends even if a close is refused.
    auto exitProgram = [&mainFrm] {
        mainFrm->SetAppExit(true);
        mainFrm->close();
        QCoreApplication::exit(0);
    };
    QObject::connect(&tray, &TVeskTrayIcon::exitRequested, mainFrm.get(), exitProgram);
    QObject::connect(mainFrm.get(), &TMainFrm::exitRequested, mainFrm.get(), exitProgram);
    // exit(), not quit(): quit() asks every window to close first and gives up when
    // one refuses (the alert window hides instead of closing), leaving the program
    // running with no window. exit() also ends the loops of open dialogs.
    QObject::connect(
        mainFrm.get(), &TMainFrm::exitAccepted, &app, [] { QCoreApplication::exit(0); }, Qt::QueuedConnection);
    TVeskSignalHandler signalHandler;
    QObject::connect(&signalHandler, &TVeskSignalHandler::TerminationRequested, mainFrm.get(), exitProgram);

    tray.Show();
    mainFrm->SetTrayAvailable(tray.IsAvailable());
    mainFrm->PutCommStatusText(tray.Hint());
    // Whether an alarm would be heard: now, when the devices change, and when one was not.
    QMediaDevices audioDevices;
    auto showSoundOutput = [&mainFrm] { mainFrm->PutSoundOutput(TAlertSoundPlayer::Instance().OutputProblem()); };
    showSoundOutput();
    QObject::connect(&audioDevices, &QMediaDevices::audioOutputsChanged, mainFrm.get(), showSoundOutput);
    QObject::connect(alert, &TEqAlertController::soundUnavailable, mainFrm.get(), &TMainFrm::PutSoundOutput);

    core.StartReceiver();
    // Asynchronous: the answer comes later and never delays the receiver.
    if (settings->GetEnableVersionChecker()) {
        VersionCheckUi::StartStartupCheck(settings->GetVersionCheckUrl(), logger, mainFrm.get());
    }
    core.LoadPlugIn(reinterpret_cast<void*>(mainFrm->winId()));

    if (core.Settings()->GetEnableAutoIconic()) {
        mainFrm->HideToTray();
    } else {
        mainFrm->show();
    }
    if (splash) {
        splash->close();
        splash.reset();
    }
    logger->Send(vmtNotable, QStringLiteral("Main window ready."),
                 QString::number(timeOfStart.msecsTo(QDateTime::currentDateTime())) + QStringLiteral(" ms"));

    const int status = QApplication::exec();
    alertFrm->hide();
    core.Shutdown();
    // The logger ended with the core; the sound channel outlives it.
    TAlertSoundPlayer::Instance().SetLogger(nullptr);
    return status;
}
