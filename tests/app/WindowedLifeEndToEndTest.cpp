// ulmarox on a real X server against eqsim, through an alert's life and the
// program's end: a cancel closes the window by itself; SIGTERM, the tray's exit
// and a lost display end the program in order.

#include "WindowedTestSupport.h"

#include <gtest/gtest.h>

#include <csignal>

using namespace UlxWindowedTest;

// The 2016 Tokyo Bay false alarm: the alert window opens, JMA's cancel comes,
// and the window, opened by the program, closes by itself 10 s later; the row
// is written, marked cancelled.
TEST(WindowedEndToEnd, TheAlertWindowClosesItselfAfterACancel)
{
    TDesktop desktop;
    if (!desktop.Start()) {
        GTEST_SKIP() << qPrintable(desktop.Missing());
    }
    TWindowedRun run(desktop, QStringLiteral("tokyo-bay-false-alarm-2016"));
    ASSERT_TRUE(run.Started());
    TEqSim& sim = *run.Sim;
    TChild& app = run.App;
    const TTestFolders& folders = run.Folders;
    ASSERT_TRUE(run.WaitForAlertWindow(desktop)) << qPrintable(app.Err());
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
    const QString out = UlxWindowedTest::Run(HeadlessPath, {QStringLiteral("-ListHistory")}, folders.Environment());
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
        TWindowedRun alert(desktop, QStringLiteral("kanto-1923"));
        ASSERT_TRUE(alert.Started());
        TChild& app = alert.App;
        const TTestFolders& folders = alert.Folders;
        if (runs[run] == endWithPicker) {
            ASSERT_TRUE(
                WaitUntil([&] { return !desktop.Windows(QStringLiteral("緊急地震速報受信")).isEmpty(); }, 20000));
            OpenOfficePicker(desktop);
        }
        ASSERT_TRUE(alert.WaitForAlertWindow(desktop)) << qPrintable(app.Err());
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
    TWindowedRun run(desktop, QStringLiteral("kanto-1923"));
    ASSERT_TRUE(run.Started());
    TChild& app = run.App;
    const TTestFolders& folders = run.Folders;
    ASSERT_TRUE(run.WaitForAlertWindow(desktop)) << qPrintable(app.Err());
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
