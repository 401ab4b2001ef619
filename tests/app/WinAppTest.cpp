// The windowed program's application object, built in the test process with fake
// sound, clock, screen saver and forecast against a local server, offscreen: an
// alert reaches every view, and every way out ends the loop with the run saved.

#include "TestSupport.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertController.h"
#include "alert/EqTelegramDispatcher.h"
#include "alertview/EqAlertFrm.h"
#include "app/console/DesktopNotifier.h"
#include "app/win/MainFrm.h"
#include "app/win/TrayIcon.h"
#include "app/win/VeskWinApp.h"
#include "config/VeskAppSettings.h"
#include "history/VeskData.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>

#include <csignal>
#include <memory>

using namespace UlxTest;

namespace {

struct TFakeScreenSaver : TScreenSaverControl
{
    bool IsScreenSaverRunning() override { return Running; }
    void StopScreenSaver() override
    {
        ++Stops;
        Running = false;
    }
    bool Running = true;
    int Stops = 0;
};

// One windowed program in this process, connected to a server of the test's own.
struct TWinAppRun
{
    QTemporaryDir Dir;
    QTcpServer Server;
    TFakeClock Clock;
    TFakeSoundChannel Sound;
    TFakeScreenSaver ScreenSaver;
    std::unique_ptr<TVeskWinApp> App;
    QTcpSocket* Link = nullptr;

    QString DataFolder() const { return Dir.filePath(QStringLiteral("data")); }

    // Starts the program and waits until it is connected.
    void Start(bool ACatchSignals)
    {
        ASSERT_TRUE(Dir.isValid());
        ASSERT_TRUE(Server.listen(QHostAddress::LocalHost));
        Clock.Now = *TAlertTiming::ParseOccurrenceTime(QStringLiteral("160414212634")) + 2000;
        TVeskEnvironment env;
        env.DataFolder = DataFolder();
        env.Clock = &Clock;
        env.Sound = &Sound;
        env.ScreenSaver = &ScreenSaver;
        env.Forecast = [](double, double, int32_t, double, double, double, double, double* Sis, double* PSec,
                          double* SSec) {
            *Sis = 5.6; // 6弱: the warning chime
            *PSec = 10.0;
            *SSec = 20.0;
            return 0;
        };
        TVeskWinApp::TOptions options;
        options.ShowSplash = false;
        options.CatchSignals = ACatchSignals;
        App = std::make_unique<TVeskWinApp>(env, options);
        App->Start({QStringLiteral("-EqServer"), QStringLiteral("127.0.0.1"), QStringLiteral("-EqServerPort"),
                    QString::number(Server.serverPort())});
        ASSERT_TRUE(WaitUntil([&] { return Server.hasPendingConnections() || Server.waitForNewConnection(10); }, 5000));
        Link = Server.nextPendingConnection();
        ASSERT_NE(Link, nullptr);
        ASSERT_TRUE(WaitUntil([&] { return App->Tray().Status() == scsConnected; }, 5000));
    }

    void Send(const QString& ALine)
    {
        Link->write((ALine + QLatin1Char('\n')).toUtf8());
        Link->flush();
    }

    // Runs the program's loop with AExit called once it runs; its status, or -1
    // when the loop did not end within 5 s.
    int ExecWith(const std::function<void()>& AExit)
    {
        bool ended = false;
        QTimer::singleShot(0, App.get(), AExit);
        QTimer guard;
        guard.setSingleShot(true);
        QObject::connect(&guard, &QTimer::timeout, [&ended] {
            if (!ended) {
                QCoreApplication::exit(-1);
            }
        });
        guard.start(5000);
        const int status = App->Exec();
        ended = true;
        return status;
    }

    QString SavedSettings() const
    {
        QFile conf(QDir(DataFolder()).filePath(QStringLiteral("UlmaroX.cnf")));
        return conf.open(QIODevice::ReadOnly) ? QString::fromUtf8(conf.readAll()) : QString();
    }
    QList<QStringList> HistoryRows() const
    {
        QList<QStringList> rows;
        TVeskDataMdl::ReadEqHistoryFile(QDir(DataFolder()).filePath(TVeskAppSettings::GetAppHistoryDbName()), rows);
        return rows;
    }
};

} // namespace

TEST(WinApp, AnAlertReachesTheWindowsTheSoundAndTheCounters)
{
    TWinAppRun run;
    run.Start(false);
    if (HasFatalFailure()) {
        return;
    }
    TVeskWinApp& app = *run.App;
    EXPECT_TRUE(app.MainWindow().isVisible());
    EXPECT_FALSE(app.AlertWindow().isVisible());
    EXPECT_EQ(app.MainWindow().LabelText(QStringLiteral("CommStatusLbl")), app.Tray().Hint())
        << "the home screen shows the link as the icon does";

    run.Send(Eq01Line({}));
    ASSERT_TRUE(WaitUntil([&] { return app.AlertWindow().isVisible(); }, 5000));
    EXPECT_EQ(run.Sound.Calls.value(0), QStringLiteral("warning"));
    EXPECT_EQ(run.ScreenSaver.Stops, 1) << "the screen saver gives way to the alert";
    EXPECT_TRUE(
        WaitUntil([&] { return app.MainWindow().LabelText(QStringLiteral("NumOfAlertLbl")).contains('1'); }, 2000))
        << qPrintable(app.MainWindow().LabelText(QStringLiteral("NumOfAlertLbl")));

    // A problem with the sound output reaches the home screen's line.
    run.Sound.Problem = QStringLiteral("no audio output device");
    emit app.Core().AlertController()->soundUnavailable(run.Sound.Problem);
    EXPECT_TRUE(app.MainWindow().LabelText(QStringLiteral("SoundOutputLbl")).contains(QStringLiteral("なし")))
        << qPrintable(app.MainWindow().LabelText(QStringLiteral("SoundOutputLbl")));

    // Turning the desktop notification off on the home screen reaches the notifier at once.
    app.Core().Settings()->SetDesktopNotification(false);
    EXPECT_FALSE(app.Notifier().IsEnabled());
    app.Core().Settings()->SetDesktopNotification(true);
    EXPECT_TRUE(app.Notifier().IsEnabled());

    EXPECT_EQ(run.ExecWith([&app] { app.ExitProgram(); }), 0);
}

// The icon's 終了, the home screen's 終了 and SIGTERM, each during an alert with a
// warning box open: the loop ends, the alert window goes, and the counters and
// the running alert's history row are saved.
TEST(WinApp, EveryWayOutDuringAnAlertEndsTheLoopAndSavesTheRun)
{
    const struct
    {
        const char* Name;
        std::function<void(TVeskWinApp&)> Exit;
    } ways[] = {
        {"the icon's exit", [](TVeskWinApp& A) { emit A.Tray().exitRequested(); }},
        {"the home screen's exit", [](TVeskWinApp& A) { emit A.MainWindow().exitRequested(); }},
        {"SIGTERM", [](TVeskWinApp&) { std::raise(SIGTERM); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.Name);
        TWinAppRun run;
        run.Start(true);
        if (HasFatalFailure()) {
            return;
        }
        TVeskWinApp& app = *run.App;
        run.Send(Eq01Line({}));
        ASSERT_TRUE(WaitUntil([&] { return app.AlertWindow().isVisible(); }, 5000));
        // A box of the main window's that is still open cannot hold the exit up.
        emit app.Core().userWarning(QStringLiteral("テスト用の警告"));
        ASSERT_TRUE(WaitUntil([&] { return app.MainWindow().findChild<QMessageBox*>() != nullptr; }, 2000));

        EXPECT_EQ(run.ExecWith([&] { way.Exit(app); }), 0);
        EXPECT_FALSE(app.AlertWindow().isVisible());
        EXPECT_FALSE(app.MainWindow().isVisible());
        EXPECT_FALSE(app.Core().IsRunning()) << "the core was shut down";
        const QString saved = run.SavedSettings();
        EXPECT_TRUE(saved.contains(QStringLiteral("TotalAlerts=1"))) << qPrintable(saved);
        const QList<QStringList> rows = run.HistoryRows();
        ASSERT_EQ(rows.size(), 1);
        EXPECT_TRUE(rows[0].contains(QStringLiteral("ND20160414212634"))) << qPrintable(rows[0].join(' '));
        EXPECT_EQ(run.Sound.Calls.last(), QStringLiteral("stop"));
    }
}
