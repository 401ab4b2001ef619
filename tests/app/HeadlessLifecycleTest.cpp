// End-to-end tests of an alert's whole life: the shipped scenarios of real
// sequences through eqsim and ulmarox-headless as real processes.

#include "AppTestSupport.h"

#include <QJsonArray>

#include <algorithm>

#include <gtest/gtest.h>

namespace {

QString ShippedScenario(const char* AName)
{
    return QStringLiteral(ULX_BIN_DIR "/eqsim-scenarios/") + QLatin1String(AName) + QStringLiteral(".txt");
}

// Intensity 1 and up alerts, so that a weak second earthquake is alerted too.
void AlertFromIntensityOne(const TTestFolders& AFolders)
{
    QDir().mkpath(AFolders.DataFolder());
    AFolders.WriteFile(AFolders.DataFolder() + QStringLiteral("/UlmaroX.cnf"), "[Config_Sheet]\nSIScale=1\n");
}

std::vector<QJsonObject> History(const TTestFolders& AFolders)
{
    const TRunResult list = RunHeadless(AFolders, {QStringLiteral("-ListHistory")});
    std::vector<QJsonObject> rows;
    for (const QString& line : list.Lines) {
        rows.push_back(QJsonDocument::fromJson(line.toUtf8()).object());
    }
    return rows;
}

} // namespace

// The 2016 Tokyo Bay false alarm: the alert, then JMA's cancel ends it, and its
// one history row says it was withdrawn.
TEST(HeadlessLifecycle, FalseAlarmIsCancelledAndMarkedInTheHistory)
{
    TTestFolders folders;
    const QString eq = QStringLiteral("DM20160801170904");
    TEqSim sim({ShippedScenario("tokyo-bay-false-alarm-2016")}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    THeadless app(folders, THeadless::ServerArgs(sim.Port));
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("end"), eq), 30000)) << qPrintable(app.Out() + app.Err());
    const int alertAt = app.FindEvent(IsEvent(QStringLiteral("alert"), eq));
    const int cancelAt = app.FindEvent(IsEvent(QStringLiteral("cancel"), eq));
    ASSERT_GE(alertAt, 0) << qPrintable(app.Out());
    EXPECT_GT(cancelAt, alertAt) << qPrintable(app.Out());
    EXPECT_EQ(Str(app.Events(QStringLiteral("end")).front(), "reason"), QStringLiteral("cancelled"));
    EXPECT_TRUE(app.Events(QStringLiteral("rejected")).empty()) << qPrintable(app.Out());
    ASSERT_TRUE(app.WaitForEvent([&](const QJsonObject& E) {
        return IsEvent(QStringLiteral("history"), eq)(E) && E.value("cancelled").toBool();
    })) << qPrintable(app.Out());
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));

    const std::vector<QJsonObject> rows = History(folders);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(Str(rows[0], "EQ_ID"), eq);
    EXPECT_EQ(Str(rows[0], "CANCELLED"), QStringLiteral("1"));
    EXPECT_EQ(Str(rows[0], "EPIC_NAME"), QStringLiteral("東京湾"));
}

// Noto 2024 with a weaker earthquake near 新島 reported during it: the second one
// is "concurrent", the countdown stays with Noto and names it, and each
// earthquake gets one row.
TEST(HeadlessLifecycle, TwoEarthquakesKeepTheCountdownOfTheThreateningOne)
{
    TTestFolders folders;
    AlertFromIntensityOne(folders);
    const QString noto = QStringLiteral("DM20240101161010");
    const QString niijima = QStringLiteral("DM20240101161013");
    TEqSim sim({ShippedScenario("two-quakes-2024")}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    THeadless app(folders, THeadless::ServerArgs(sim.Port));
    ASSERT_TRUE(WaitUntil([&] { return sim.IsScenarioFinished(); }, 30000));
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("skip"), noto), 5000));
    const std::vector<QJsonObject> alerts = app.Events(QStringLiteral("alert"));
    ASSERT_FALSE(alerts.empty());
    EXPECT_EQ(Str(alerts.front(), "kind"), QStringLiteral("new"));
    EXPECT_EQ(Str(alerts.front(), "eq_id"), noto);
    int concurrent = 0;
    for (const QJsonObject& a : alerts) {
        EXPECT_NE(Str(a, "kind"), QStringLiteral("replace")) << qPrintable(app.Out());
        if (Str(a, "kind") == QLatin1String("concurrent")) {
            EXPECT_EQ(Str(a, "eq_id"), niijima);
            ++concurrent;
        }
    }
    EXPECT_EQ(concurrent, 1) << qPrintable(app.Out());
    // Every countdown line after the second earthquake came still counts down Noto's S-wave.
    const QStringList countdown = app.Err().split(QLatin1Char('\n')).filter(QStringLiteral("S-wave"));
    ASSERT_FALSE(countdown.isEmpty());
    EXPECT_TRUE(countdown.filter(niijima).isEmpty()) << qPrintable(app.Err());
    EXPECT_TRUE(countdown.last().contains(noto + QStringLiteral("-"))) << qPrintable(countdown.last());
    EXPECT_TRUE(countdown.last().contains(QStringLiteral("石川県能登地方"))) << qPrintable(countdown.last());
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));

    // Closed by the shutdown: both are written, each once, each with its own name.
    QStringList ids;
    for (const QJsonObject& row : History(folders)) {
        ids << Str(row, "EQ_ID") + QLatin1Char(' ') + Str(row, "EPIC_NAME");
    }
    EXPECT_EQ(ids,
              QStringList({niijima + QStringLiteral(" 新島・神津島近海"), noto + QStringLiteral(" 石川県能登地方")}));
}

// Tohoku 2011: the later reports reach the receiver as updates with the magnitude
// rising; 1923 Kanto: the upgrade to a warning leaves one history row.
TEST(HeadlessLifecycle, LaterReportsUpdateAndAnUpgradeKeepsOneRow)
{
    TTestFolders folders;
    TEqSim sim({QStringLiteral("--speed"), QStringLiteral("4"), ShippedScenario("tohoku-2011")}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    {
        THeadless app(folders, THeadless::ServerArgs(sim.Port));
        ASSERT_TRUE(WaitUntil([&] { return sim.IsScenarioFinished(); }, 30000));
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("skip")), 5000));
        std::vector<double> magnitudes;
        for (const QJsonObject& a : app.Events(QStringLiteral("alert"))) {
            if (Str(a, "kind") == QLatin1String("update")) {
                magnitudes.push_back(a.value(QStringLiteral("magnitude")).toDouble());
            }
        }
        ASSERT_GE(magnitudes.size(), 2u) << qPrintable(app.Out());
        EXPECT_TRUE(std::is_sorted(magnitudes.begin(), magnitudes.end())) << qPrintable(app.Out());
        EXPECT_GT(magnitudes.back(), magnitudes.front());
        EXPECT_TRUE(app.SignalAndWait(SIGTERM));
    }

    TTestFolders kanto;
    TEqSim kantoSim({QStringLiteral("--speed"), QStringLiteral("4"), ShippedScenario("kanto-1923")},
                    kanto.Environment());
    ASSERT_GT(kantoSim.Port, 0);
    THeadless app(kanto, THeadless::ServerArgs(kantoSim.Port));
    ASSERT_TRUE(app.WaitForEvent(
        [](const QJsonObject& E) { return IsEvent(QStringLiteral("alert"))(E) && Str(E, "kind") == "upgrade"; }, 30000))
        << qPrintable(app.Out());
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("history")), 30000)) << qPrintable(app.Out());
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));
    const std::vector<QJsonObject> rows = History(kanto);
    ASSERT_EQ(rows.size(), 1u) << "forecast and warning of one earthquake: one row";
    EXPECT_EQ(Str(rows[0], "EQ_ID"), QStringLiteral("DM19230901115831"));
}
