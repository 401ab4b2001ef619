// ulmarox on a real X server (Xvfb, with a window manager whose task bar has a
// notification area) against eqsim: the alert window opens, closing it writes
// the history, SIGTERM and the tray's exit end the program in order.

#include "AppTestSupport.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QMap>
#include <QStandardPaths>

namespace {

const QString WindowedPath = QStringLiteral(ULX_BIN_DIR "/ulmarox");

// Runs a helper program to its end; its standard output.
QString Run(const QString& AProgram, const QStringList& AArgs, const QProcessEnvironment& AEnv)
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
void StartWindowed(TChild& AApp, int APort, const QProcessEnvironment& AEnv)
{
    AApp.Start(WindowedPath, {QStringLiteral("-DebugOnLocal"), QStringLiteral("-EqServerPort"), QString::number(APort)},
               AEnv);
}

QStringList HistoryIds(const TTestFolders& AFolders)
{
    QStringList ids;
    const QString out = Run(HeadlessPath, {QStringLiteral("-ListHistory")}, AFolders.Environment());
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        ids << QJsonDocument::fromJson(line.toUtf8()).object().value(QStringLiteral("EQ_ID")).toString();
    }
    return ids;
}

} // namespace

TEST(WindowedEndToEnd, AlertWindowOpensClosingRecordsAndExitSaves)
{
    TDesktop desktop;
    if (!desktop.Start()) {
        GTEST_SKIP() << qPrintable(desktop.Missing());
    }
    TTestFolders folders;
    const QProcessEnvironment env = desktop.Environment(folders.Environment());
    TEqSim sim({QStringLiteral("kanto-1923")}, env);
    ASSERT_GT(sim.Port, 0);

    TChild app;
    QElapsedTimer sinceStart;
    sinceStart.start();
    StartWindowed(app, sim.Port, env);
    ASSERT_TRUE(WaitUntil([&] { return !desktop.Windows(QStringLiteral("緊急地震速報受信")).isEmpty(); }, 20000))
        << qPrintable(app.Err());
    ASSERT_TRUE(WaitUntil([&] { return !sim.ConnectionRequests().isEmpty(); }));

    // A second instance ends at once and leaves the first running.
    TChild second;
    second.Start(WindowedPath, {}, env);
    ASSERT_TRUE(second.WaitForEnd(5000));
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(app.IsRunning());

    // The first alertable telegram opens the alert window within a second.
    ASSERT_TRUE(WaitUntil([&] { return !desktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 20000));
    const qint64 seenAt = QDateTime::currentMSecsSinceEpoch();
    // The scenario's first report has one-point accuracy, which the default
    // conditions reject; its second report is the first alert. The simulator
    // stamps each line it sends with the wall-clock time of sending.
    QList<int> reports;
    ASSERT_TRUE(WaitUntil([&] {
        reports.clear();
        for (int i = 0; i < sim.Lines().size(); ++i) {
            if (sim.Lines()[i].contains(QLatin1String("<- 01"))) {
                reports << i;
            }
        }
        return reports.size() >= 2;
    }));
    const QDateTime sent =
        QDateTime::fromString(sim.Lines()[reports[1]].mid(1, 23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    ASSERT_TRUE(sent.isValid()) << qPrintable(sim.Lines()[reports[1]]);
    EXPECT_LT(seenAt - sent.toMSecsSinceEpoch(), 1000) << "telegram sent to alert window visible";
    desktop.Screenshot(QStringLiteral("desktop-alert.png"));
    EXPECT_TRUE(HistoryIds(folders).isEmpty());
    // The earthquake's next report may open the window again at once (the alert
    // was closed, so it is a new one): the close is seen in the log and the row.
    // Asked again each second: a window the manager has not taken yet ignores it.
    QElapsedTimer sinceClose;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (!sinceClose.isValid() || sinceClose.elapsed() > 1000) {
                desktop.Close(QStringLiteral("Ulmaro X - 通報画面"));
                sinceClose.start();
            }
            QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
            return log.open(QIODevice::ReadOnly) && log.readAll().contains("EqAlertFrm.FormClose()");
        },
        10000));
    ASSERT_TRUE(WaitUntil([&] { return HistoryIds(folders).contains(QStringLiteral("DM19230901115831")); }, 5000))
        << "closing the alert window writes its history row";

    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.ExitCode(), 0);
    QFile conf(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(conf.readAll());
    EXPECT_TRUE(saved.contains(QStringLiteral("TotalAlerts=")));
    EXPECT_FALSE(saved.contains(QStringLiteral("TotalAlerts=0")));
}

// The 2016 Tokyo Bay false alarm: the alert window opens, JMA's cancel comes,
// and the window, opened by the program, closes by itself 10 s later; the row
// is written, marked cancelled.
TEST(WindowedEndToEnd, TheAlertWindowClosesItselfAfterACancel)
{
    TDesktop desktop;
    if (!desktop.Start()) {
        GTEST_SKIP() << qPrintable(desktop.Missing());
    }
    TTestFolders folders;
    const QProcessEnvironment env = desktop.Environment(folders.Environment());
    TEqSim sim({QStringLiteral("tokyo-bay-false-alarm-2016")}, env);
    ASSERT_GT(sim.Port, 0);
    TChild app;
    StartWindowed(app, sim.Port, env);
    ASSERT_TRUE(WaitUntil([&] { return !desktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 20000))
        << qPrintable(app.Err());
    // The cancel is the scenario's last line, 15 s after the first report.
    ASSERT_TRUE(WaitUntil([&] { return sim.IsScenarioFinished(); }, 30000));
    QElapsedTimer sinceCancel;
    sinceCancel.start();
    UlxTest::RunFor(1000);
    desktop.Screenshot(QStringLiteral("desktop-cancel.png"));
    EXPECT_FALSE(desktop.Windows(QStringLiteral("通報画面")).isEmpty()) << "the cancel is shown first";
    ASSERT_TRUE(WaitUntil([&] { return desktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 15000));
    EXPECT_GE(sinceCancel.elapsed(), 8000);
    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    const QString out = ::Run(HeadlessPath, {QStringLiteral("-ListHistory")}, folders.Environment());
    EXPECT_TRUE(out.contains(QStringLiteral("\"CANCELLED\":\"1\""))) << qPrintable(out);
}

namespace {

// The running program's counters were saved: an alert was counted.
void ExpectCountersSaved(const TTestFolders& AFolders)
{
    QFile conf(AFolders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    ASSERT_TRUE(conf.open(QIODevice::ReadOnly));
    const QString saved = QString::fromUtf8(conf.readAll());
    EXPECT_TRUE(saved.contains(QStringLiteral("TotalAlerts="))) << qPrintable(saved);
    EXPECT_FALSE(saved.contains(QStringLiteral("TotalAlerts=0")));
}

enum TEnding
{
    endSigterm,    // logout, systemctl, Ctrl-C
    endTrayExit,   // the tray menu's 終了
    endWithPicker, // SIGTERM with the office picker open
};

// Asks the program to end as AEnding says, with its alert window open.
void AskToEnd(const TDesktop& ADesktop, TChild& AApp, TEnding AEnding)
{
    if (AEnding == endTrayExit) {
        // The icon's menu, then its 終了(X). The icon is the program's small window
        // the task bar took in.
        int x = -1;
        int y = -1;
        const bool embedded = WaitUntil(
            [&] {
                const QStringList windows =
                    ADesktop.Xdotool({QStringLiteral("search"), QStringLiteral("--class"), QStringLiteral("ulmarox")})
                        .split(QLatin1Char('\n'), Qt::SkipEmptyParts);
                for (const QString& window : windows) {
                    QMap<QString, int> g;
                    for (const QString& line :
                         ADesktop.Xdotool({QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window})
                             .split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
                        g.insert(line.section(QLatin1Char('='), 0, 0), line.section(QLatin1Char('='), 1).toInt());
                    }
                    if (g.value(QStringLiteral("WIDTH")) <= 64 && g.value(QStringLiteral("X")) > 0) {
                        x = g.value(QStringLiteral("X")) + g.value(QStringLiteral("WIDTH")) / 2;
                        y = g.value(QStringLiteral("Y")) + g.value(QStringLiteral("HEIGHT")) / 2;
                        return true;
                    }
                }
                return false;
            },
            5000);
        ASSERT_TRUE(embedded) << "no tray icon";
        ADesktop.Xdotool({QStringLiteral("mousemove"), QString::number(x), QString::number(y), QStringLiteral("click"),
                          QStringLiteral("3")});
        UlxTest::RunFor(700);
        ADesktop.Xdotool({QStringLiteral("key"), QStringLiteral("x")});
        return;
    }
    ::kill(pid_t(AApp.Pid()), SIGTERM);
}

// Opens the office picker from the settings screen, by mouse, as a user would.
void OpenOfficePicker(const TDesktop& ADesktop)
{
    const QStringList main = ADesktop.Windows(QStringLiteral("緊急地震速報受信"));
    ASSERT_FALSE(main.isEmpty());
    // The settings entry of the side menu, then 県庁所在地一覧 on its screen.
    ADesktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), main.first(), QStringLiteral("35"),
                      QStringLiteral("140"), QStringLiteral("click"), QStringLiteral("1")});
    UlxTest::RunFor(300);
    ADesktop.Xdotool({QStringLiteral("mousemove"), QStringLiteral("--window"), main.first(), QStringLiteral("454"),
                      QStringLiteral("93"), QStringLiteral("click"), QStringLiteral("1")});
    ASSERT_TRUE(WaitUntil([&] { return !ADesktop.Windows(QStringLiteral("県庁所在地の選択")).isEmpty(); }, 5000))
        << "the office picker did not open";
}

} // namespace

// SIGTERM or the tray's exit while the alert window is open ends the program in
// order, every time, within 5 s, with its counters saved; also with the office
// picker open.
TEST(WindowedEndToEnd, EveryWayOfEndingDuringAnAlertExits)
{
    TDesktop desktop;
    if (!desktop.Start()) {
        GTEST_SKIP() << qPrintable(desktop.Missing());
    }
    std::vector<TEnding> runs(20, endSigterm);
    runs.insert(runs.end(), 5, endTrayExit);
    runs.push_back(endWithPicker);
    for (std::size_t run = 0; run < runs.size(); ++run) {
        SCOPED_TRACE(testing::Message() << "run " << run << " ending " << runs[run]);
        TTestFolders folders;
        const QProcessEnvironment env = desktop.Environment(folders.Environment());
        TEqSim sim({QStringLiteral("kanto-1923")}, env);
        ASSERT_GT(sim.Port, 0);
        TChild app;
        StartWindowed(app, sim.Port, env);
        if (runs[run] == endWithPicker) {
            ASSERT_TRUE(
                WaitUntil([&] { return !desktop.Windows(QStringLiteral("緊急地震速報受信")).isEmpty(); }, 20000));
            OpenOfficePicker(desktop);
        }
        ASSERT_TRUE(WaitUntil([&] { return !desktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 20000))
            << qPrintable(app.Err());
        QElapsedTimer sinceAsked;
        sinceAsked.start();
        AskToEnd(desktop, app, runs[run]);
        ASSERT_TRUE(app.WaitForEnd(5000)) << "still running 5 s after being asked to end";
        EXPECT_LT(sinceAsked.elapsed(), 5000);
        EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.ExitCode(), 0);
        ExpectCountersSaved(folders);
    }
}

// The X display goes away under a running alert: Qt ends the process at once,
// but the shutdown still runs, so the counters and the running alert's row are
// saved and the log says what happened.
TEST(WindowedEndToEnd, ALostDisplayStillSavesTheRun)
{
    TDesktop desktop;
    if (!desktop.Start()) {
        GTEST_SKIP() << qPrintable(desktop.Missing());
    }
    TTestFolders folders;
    const QProcessEnvironment env = desktop.Environment(folders.Environment());
    TEqSim sim({QStringLiteral("kanto-1923")}, env);
    ASSERT_GT(sim.Port, 0);
    TChild app;
    StartWindowed(app, sim.Port, env);
    ASSERT_TRUE(WaitUntil([&] { return !desktop.Windows(QStringLiteral("通報画面")).isEmpty(); }, 20000))
        << qPrintable(app.Err());
    desktop.KillServer();
    ASSERT_TRUE(app.WaitForEnd(5000)) << "still running 5 s after the display went away";
    ExpectCountersSaved(folders);
    QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("Exit outside the event loop; shutting down in order.")))
        << qPrintable(text.right(2000));
    EXPECT_TRUE(HistoryIds(folders).contains(QStringLiteral("DM19230901115831")))
        << "the running alert is written to the history";
}
