// alertframe run as a process: the real forecast, timing and drawing end to end.
#include "AlertViewTestSupport.h"

#include "alert/AlertMapGeometry.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace AlertViewTest;

namespace {

struct TRun
{
    int ExitCode = -1;
    QByteArray Out;
    QList<QByteArray> ErrLines;
};

TRun RunTool(const QStringList& Args)
{
    const UlxTest::TProgramRun r = UlxTest::RunProgram(QStringLiteral(ULX_BIN_DIR "/alertframe"), Args);
    TRun run;
    run.ExitCode = r.ExitCode;
    if (r.ExitCode < 0) {
        return run;
    }
    run.Out = r.Out;
    // Qt's own notices (for example about XDG_RUNTIME_DIR) are not the tool's.
    for (const QByteArray& line : r.Err.split('\n')) {
        if (line.startsWith("alertframe:")) {
            run.ErrLines << line;
        }
    }
    return run;
}

class AlertFrameToolTest : public ::testing::Test
{
protected:
    QTemporaryDir FDir;
};

TEST_F(AlertFrameToolTest, RendersTheGeometryExampleWithItsMarksAndCountdown)
{
    // Home 35.32 N 139.16 E at (302, 257), epicentre 38.10 N 142.85 E at (368, 198).
    const QString out = FDir.filePath(QStringLiteral("frame.png"));
    const TRun run = RunTool({"--epicentre", "38.1,142.85",  "--depth",
                              "24",          "--magnitude",  "7.9",
                              "--location",  "35.32,139.16", "--amplification",
                              "1.5",         "--warning",    "--epicentre-name",
                              "三陸沖",      "--elapsed",    "20",
                              "--occurred",  "110311144618", "--zoom",
                              "1",           "--out",        out});
    ASSERT_EQ(run.ExitCode, 0) << run.ErrLines.join('\n').toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.Out.trimmed()).object();
    ASSERT_FALSE(json.isEmpty()) << run.Out.toStdString();
    const double sSec = json.value("s_sec").toDouble();
    ASSERT_GT(sSec, 20.0);
    EXPECT_EQ(json.value("countdown").toInt(), RoundHalfEven(sSec) - 20);
    EXPECT_FALSE(json.value("arrived").toBool());
    EXPECT_EQ(json.value("scale").toInt(), 1);
    EXPECT_EQ(json.value("class").toString(),
              TSeismicIntensityScale::GetScaleAsString(json.value("intensity").toDouble()));

    const QImage frame(out);
    ASSERT_EQ(frame.size(), QSize(500, 500));
    const QRgb epicentre = frame.pixel(368, 198);
    EXPECT_TRUE(qRed(epicentre) > 190 && qGreen(epicentre) < 60) << "red cross centre " << Hex(epicentre).toStdString();
    const QRgb pinHead = frame.pixel(302, 257 - 20);
    EXPECT_TRUE(qGreen(pinHead) > 120 && qRed(pinHead) < 100) << "green pin " << Hex(pinHead).toStdString();
    // The warning sign at (208, 8).
    EXPECT_TRUE(Near(frame.pixel(208, 50), 0xFFFF2800, 2));
}

TEST_F(AlertFrameToolTest, AfterTheArrivalTheCountdownCountsUp)
{
    const QString out = FDir.filePath(QStringLiteral("arrived.png"));
    const TRun run = RunTool({"--epicentre", "32.7,130.8", "--depth", "10", "--magnitude", "6.5", "--office", "熊本県",
                              "--elapsed", "30", "--out", out});
    ASSERT_EQ(run.ExitCode, 0) << run.ErrLines.join('\n').toStdString();
    const QJsonObject json = QJsonDocument::fromJson(run.Out.trimmed()).object();
    EXPECT_TRUE(json.value("arrived").toBool());
    EXPECT_EQ(json.value("countdown").toInt(), 30 - RoundHalfEven(json.value("s_sec").toDouble()));
    EXPECT_EQ(QImage(out).size(), QSize(500, 500));
    // Near home by default the map is zoomed in; another earthquake is drawn with it.
    EXPECT_EQ(json.value("scale").toInt(), 8);
    const TRun two = RunTool({"--epicentre", "32.7,130.8", "--depth", "10", "--magnitude", "6.5", "--office", "熊本県",
                              "--elapsed", "5", "--other", "33.0,131.2,10,5.5", "--zoom", "4", "--out", out});
    ASSERT_EQ(two.ExitCode, 0) << two.ErrLines.join('\n').toStdString();
    EXPECT_EQ(QJsonDocument::fromJson(two.Out.trimmed()).object().value("scale").toInt(), 4);
}

TEST_F(AlertFrameToolTest, BadArgumentsGiveOneLineAndStatusTwo)
{
    const QString out = FDir.filePath(QStringLiteral("never.png"));
    const QStringList base = {"--epicentre", "35,140", "--depth", "10", "--magnitude", "6", "--out", out};
    auto with = [&](const QStringList& Extra, const QString& Drop = {}) {
        QStringList args;
        for (int i = 0; i < base.size(); i += 2) {
            if (base[i] != Drop) {
                args << base[i] << base[i + 1];
            }
        }
        return args + Extra;
    };
    const struct
    {
        const char* What;
        QStringList Args;
    } cases[] = {
        {"no --out", with({}, "--out")},
        {"no --magnitude", with({}, "--magnitude")},
        {"epicentre without a comma", with({"--epicentre", "35"})},
        {"southern latitude", with({"--epicentre", "-35,140"})},
        {"depth not a number", with({"--depth", "deep"})},
        {"magnitude of two digits", with({"--magnitude", "12"})},
        {"unknown office", with({"--office", "どこか"})},
        {"office and location", with({"--office", "東京都", "--location", "35,139", "--amplification", "1"})},
        {"location without amplification", with({"--location", "35,139"})},
        {"elapsed not a number", with({"--elapsed", "soon"})},
        {"impossible occurrence time", with({"--occurred", "160231120000"})},
        {"unknown option", with({"--colour", "red"})},
        {"stray argument", with({"extra"})},
        {"zoom of three", with({"--zoom", "3"})},
        {"other earthquake without depth", with({"--other", "35,140"})},
    };
    for (const auto& c : cases) {
        const TRun run = RunTool(c.Args);
        EXPECT_EQ(run.ExitCode, 2) << c.What;
        EXPECT_EQ(run.ErrLines.size(), 1) << c.What;
        EXPECT_TRUE(run.Out.isEmpty()) << c.What;
    }
    EXPECT_FALSE(QFile::exists(out));
}

} // namespace
