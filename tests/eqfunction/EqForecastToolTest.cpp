#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include <gtest/gtest.h>

namespace {

struct TRun
{
    int ExitCode = -1;
    QList<QByteArray> OutLines;
    QList<QByteArray> ErrLines;
};

TRun RunTool(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(ULX_BIN_DIR "/eqforecast"), args);
    TRun run;
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit) {
        process.kill();
        return run;
    }
    run.ExitCode = process.exitCode();
    run.OutLines = process.readAllStandardOutput().split('\n');
    run.ErrLines = process.readAllStandardError().split('\n');
    run.OutLines.removeAll(QByteArray());
    run.ErrLines.removeAll(QByteArray());
    return run;
}

const QStringList Kanto1923{"--epicentre", "35.32,139.16", "--depth", "23", "--magnitude", "7.9"};

} // namespace

TEST(EqForecastTool, OfficeRowInJsonMatchesTheLibrary)
{
    const TRun run = RunTool(Kanto1923 + QStringList{"--office", "東京都庁", "--json"});
    ASSERT_EQ(run.ExitCode, 0);
    ASSERT_EQ(run.OutLines.size(), 1);
    const QJsonObject row = QJsonDocument::fromJson(run.OutLines[0]).object();
    const TULPrefOfficeInfo& tokyo = GetDefaultPrefOffice();
    double intensity = 0.0;
    double pSec = 0.0;
    double sSec = 0.0;
    ASSERT_EQ(calcForecast(35.32, 139.16, 23, 7.9, tokyo.Latitude, tokyo.Longitude, tokyo.GAmplification, &intensity,
                           &pSec, &sSec),
              0);
    EXPECT_EQ(row.value("office").toString(), "東京都庁");
    EXPECT_EQ(row.value("code").toInt(-1), 0);
    EXPECT_NEAR(row.value("intensity").toDouble(), intensity, 0.0005);
    EXPECT_EQ(row.value("class").toString(), TSeismicIntensityScale::GetScaleAsString(intensity));
    EXPECT_NEAR(row.value("p_sec").toDouble(), pSec, 0.0005);
    EXPECT_NEAR(row.value("s_sec").toDouble(), sSec, 0.0005);
}

TEST(EqForecastTool, AllOfficesGivesOneRowPerOfficeAndPlainTextShowsTheClass)
{
    const TRun json = RunTool(Kanto1923 + QStringList{"--all-offices", "--json"});
    ASSERT_EQ(json.OutLines.size(), GetPrefOfficeCount());
    bool anyFailed = false;
    for (int i = 0; i < json.OutLines.size(); ++i) {
        const QJsonObject row = QJsonDocument::fromJson(json.OutLines[i]).object();
        EXPECT_EQ(row.value("office").toString(), GetPrefOffice(i).PrefOfficeName);
        for (const char* key : {"code", "intensity", "class", "p_sec", "s_sec"}) {
            EXPECT_TRUE(row.contains(key)) << key;
        }
        if (row.value("code").toInt() != 0) {
            anyFailed = true;
            EXPECT_TRUE(row.value("intensity").isNull());
        }
    }
    // Every office, Okinawa included (about 1500 km), is within reach of the model.
    EXPECT_FALSE(anyFailed);
    EXPECT_EQ(json.ExitCode, 0);

    const TRun text = RunTool(Kanto1923 + QStringList{"--location", "35.44751,139.64233", "--amplification", "3.119"});
    ASSERT_EQ(text.ExitCode, 0);
    ASSERT_EQ(text.OutLines.size(), 1);
    EXPECT_TRUE(QString::fromUtf8(text.OutLines[0]).contains("code 0, intensity ")) << text.OutLines[0].constData();
}

TEST(EqForecastTool, FailedEstimateIsReportedWithNullsAndExitOne)
{
    const TRun run =
        RunTool({"--epicentre", "0,0", "--depth", "10", "--magnitude", "6", "--office", "沖縄県庁", "--json"});
    EXPECT_EQ(run.ExitCode, 1);
    ASSERT_EQ(run.OutLines.size(), 1);
    const QJsonObject row = QJsonDocument::fromJson(run.OutLines[0]).object();
    EXPECT_EQ(row.value("code").toInt(), 2);
    EXPECT_TRUE(row.value("class").isNull());
    EXPECT_TRUE(row.value("s_sec").isNull());
}

TEST(EqForecastTool, BadArgumentsGiveOneLineAndExitTwo)
{
    const QStringList office{"--office", "東京都庁"};
    const QList<QStringList> cases{
        {},
        Kanto1923,
        {"--depth", "23", "--magnitude", "7.9", "--office", "東京都庁"},
        {"--epicentre", "35.32", "--depth", "23", "--magnitude", "7.9", "--office", "東京都庁"},
        {"--epicentre", "35.32,abc", "--depth", "23", "--magnitude", "7.9", "--office", "東京都庁"},
        {"--epicentre", "35.32,139.16", "--depth", "2.5", "--magnitude", "7.9", "--office", "東京都庁"},
        {"--epicentre", "35.32,139.16", "--depth", "23", "--magnitude", "x", "--office", "東京都庁"},
        Kanto1923 + QStringList{"--office", "どこでもない庁"},
        Kanto1923 + office + QStringList{"--all-offices"},
        Kanto1923 + QStringList{"--location", "35,139"},
        Kanto1923 + QStringList{"--amplification", "2"} + office,
        Kanto1923 + office + QStringList{"--unknown"},
        Kanto1923 + office + QStringList{"stray"},
    };
    for (const QStringList& args : cases) {
        const TRun run = RunTool(args);
        EXPECT_EQ(run.ExitCode, 2) << qPrintable(args.join(' '));
        EXPECT_EQ(run.ErrLines.size(), 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(run.OutLines.isEmpty()) << qPrintable(args.join(' '));
    }
}
