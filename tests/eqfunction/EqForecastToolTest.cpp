#include "TestSupport.h"
#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct TRun
{
    int ExitCode = -1;
    QList<QByteArray> OutLines;
    QList<QByteArray> ErrLines;
};

TRun RunTool(const QStringList& args)
{
    const UlxTest::TProgramRun r = UlxTest::RunProgram(QStringLiteral(ULX_BIN_DIR "/eqforecast"), args,
                                                       QProcessEnvironment::systemEnvironment(), 30000);
    TRun run;
    run.ExitCode = r.ExitCode;
    if (r.ExitCode < 0) {
        return run;
    }
    run.OutLines = UlxTest::OutputLines(r.Out);
    run.ErrLines = UlxTest::OutputLines(r.Err);
    return run;
}

const QStringList Kanto1923{"--epicentre", "35.32,139.16", "--depth", "23", "--magnitude", "7.9"};

// The ten classes in the order the validation counts class differences in.
const double Classes[] = {0.0, 1.0, 2.0, 3.0, 4.0, 5.0, 5.5, 6.0, 6.5, 7.0};

int ClassIndex(double AClass)
{
    for (int i = 0; i < 10; ++i) {
        if (Classes[i] == AClass) {
            return i;
        }
    }
    return -1;
}

// Position of the library's estimate for an office in the class list.
int EstimatedClassIndex(double ALat, double ALng, int ADepth, double AMagnitude, const QString& AOffice)
{
    for (int i = 0; i < GetPrefOfficeCount(); ++i) {
        const TULPrefOfficeInfo& office = GetPrefOffice(i);
        if (office.PrefOfficeName == AOffice) {
            double intensity = 0.0;
            double pSec = 0.0;
            double sSec = 0.0;
            if (calcForecast(ALat, ALng, ADepth, AMagnitude, office.Latitude, office.Longitude, office.GAmplification,
                             &intensity, &pSec, &sSec) != 0) {
                return -1;
            }
            return ClassIndex(TSeismicIntensityScale::GetScale(intensity));
        }
    }
    return -1;
}

QByteArray ObservedFile(const QByteArray& AQuake, const QByteArray& AObserved)
{
    return "{\"quake\": " + AQuake + ", \"observed\": " + AObserved + ", \"source\": \"test\"}";
}

bool WriteFile(const QString& APath, const QByteArray& AText)
{
    QFile file(APath);
    return file.open(QIODevice::WriteOnly) && file.write(AText) == AText.size();
}

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

// Observed classes placed relative to the library's own estimates: one office
// exact, one a class below the estimate, one three classes below.
TEST(EqForecastTool, ValidateCountsClassStepsWithinExactAndMeanError)
{
    const QStringList offices{"千葉県庁", "東京都庁", "神奈川県庁"}; // in office-table order
    const int offsets[] = {0, 1, 3};
    QByteArray observed = "{";
    int expectedSum = 0;
    for (int i = 0; i < offices.size(); ++i) {
        const int estimated = EstimatedClassIndex(35.32, 139.16, 23, 7.9, offices[i]);
        ASSERT_GE(estimated, offsets[i]) << qPrintable(offices[i]);
        observed += (i > 0 ? ", \"" : "\"") + offices[i].toUtf8() +
                    "\": " + QByteArray::number(Classes[estimated - offsets[i]]);
        expectedSum += offsets[i];
    }
    observed += "}";
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("kanto.json");
    ASSERT_TRUE(WriteFile(path, ObservedFile(R"({"name": "Kanto test", "lat": 35.32, "lng": 139.16, "depth": 23,
                                                "magnitude": 7.9})",
                                             observed)));

    const TRun json = RunTool({"--validate", path, "--json"});
    ASSERT_EQ(json.ExitCode, 0) << json.ErrLines.value(0).constData();
    ASSERT_EQ(json.OutLines.size(), 1);
    const QJsonObject root = QJsonDocument::fromJson(json.OutLines[0]).object();
    const QJsonArray earthquakes = root.value("earthquakes").toArray();
    ASSERT_EQ(earthquakes.size(), 1);
    const QJsonObject quake = earthquakes[0].toObject();
    EXPECT_EQ(quake.value("file").toString(), "kanto.json");
    EXPECT_EQ(quake.value("name").toString(), "Kanto test");
    EXPECT_EQ(quake.value("offices").toInt(), 3);
    EXPECT_EQ(quake.value("within").toInt(), 2);
    EXPECT_EQ(quake.value("exact").toInt(), 1);
    EXPECT_EQ(quake.value("failed").toInt(), 0);
    EXPECT_DOUBLE_EQ(quake.value("within_share").toDouble(), 2.0 / 3.0);
    EXPECT_DOUBLE_EQ(quake.value("exact_share").toDouble(), 1.0 / 3.0);
    EXPECT_DOUBLE_EQ(quake.value("mean_error").toDouble(), expectedSum / 3.0);
    const QJsonArray details = quake.value("details").toArray();
    ASSERT_EQ(details.size(), 3);
    for (int i = 0; i < 3; ++i) {
        const QJsonObject row = details[i].toObject();
        EXPECT_EQ(row.value("office").toString(), offices[i]);
        EXPECT_EQ(row.value("code").toInt(-1), 0);
        EXPECT_EQ(row.value("difference").toInt(), offsets[i]);
        EXPECT_EQ(ClassIndex(row.value("estimated").toDouble()) - ClassIndex(row.value("observed").toDouble()),
                  offsets[i]);
    }
    EXPECT_EQ(root.value("overall").toObject().value("within").toInt(), 2);

    // Text: one line per earthquake and one overall, here with the same figures.
    const TRun text = RunTool({"--validate", path});
    ASSERT_EQ(text.ExitCode, 0);
    ASSERT_EQ(text.OutLines.size(), 2);
    const QString expected = QStringLiteral("3 offices, within ±1 class 2 (66.7 %), exact 1 (33.3 %), mean signed "
                                            "error %1 class")
                                 .arg(QString::asprintf("%+.2f", expectedSum / 3.0));
    EXPECT_EQ(QString::fromUtf8(text.OutLines[0]), "Kanto test: " + expected);
    EXPECT_EQ(QString::fromUtf8(text.OutLines[1]), "overall (1 earthquakes): " + expected);
}

TEST(EqForecastTool, ValidateCountsOfficesWithoutAnEstimateAndExitsOne)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("far.json");
    ASSERT_TRUE(WriteFile(path, ObservedFile(R"({"lat": 0, "lng": 0, "depth": 10, "magnitude": 6.0})",
                                             R"({"東京都庁": 3, "沖縄県庁": 1})")));
    const TRun run = RunTool({"--validate", path, "--json"});
    EXPECT_EQ(run.ExitCode, 1);
    ASSERT_EQ(run.OutLines.size(), 1);
    const QJsonObject quake =
        QJsonDocument::fromJson(run.OutLines[0]).object().value("earthquakes").toArray()[0].toObject();
    EXPECT_EQ(quake.value("name").toString(), "far");
    EXPECT_EQ(quake.value("offices").toInt(), 2);
    EXPECT_EQ(quake.value("failed").toInt(), 2);
    EXPECT_EQ(quake.value("within").toInt(), 0);
    EXPECT_EQ(quake.value("mean_error").toDouble(), 0.0);
    EXPECT_TRUE(quake.value("details").toArray()[0].toObject().value("difference").isNull());
    EXPECT_TRUE(RunTool({"--validate", path}).OutLines.value(0).contains(", no estimate 2"));
}

TEST(EqForecastTool, ValidateRejectsBadFilesAndArgumentsWithOneLineAndExitTwo)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QByteArray quake = R"({"lat": 35.3, "lng": 133.3, "depth": 9, "magnitude": 7.3})";
    const QList<QPair<const char*, QByteArray>> files{
        {"not JSON", "{\"quake\": "},
        {"no observed", "{\"quake\": " + quake + "}"},
        {"latitude missing", ObservedFile(R"({"lng": 133.3, "depth": 9, "magnitude": 7.3})", R"({"東京都庁": 1})")},
        {"magnitude a text",
         ObservedFile(R"({"lat": 35.3, "lng": 133.3, "depth": 9, "magnitude": "7.3"})", R"({"東京都庁": 1})")},
        {"depth not whole",
         ObservedFile(R"({"lat": 35.3, "lng": 133.3, "depth": 9.5, "magnitude": 7.3})", R"({"東京都庁": 1})")},
        {"unknown office", ObservedFile(quake, R"({"東京都庁": 1, "どこでもない庁": 2})")},
        {"class 4.5", ObservedFile(quake, R"({"東京都庁": 4.5})")},
        {"class as text", ObservedFile(quake, R"({"東京都庁": "5-"})")},
    };
    QList<QStringList> cases{
        {"--validate"},
        {"--validate", dir.filePath("missing.json")},
        Kanto1923 + QStringList{"--office", "東京都庁", "--validate", ULX_REFERENCE_DIR "/observed/x.json"},
        QStringList{"--all-offices", "--validate", dir.filePath("missing.json")},
        Kanto1923 + QStringList{"--office", "東京都庁", dir.filePath("file-without-validate.json")},
    };
    for (int i = 0; i < files.size(); ++i) {
        const QString path = dir.filePath(QStringLiteral("bad%1.json").arg(i));
        ASSERT_TRUE(WriteFile(path, files[i].second)) << files[i].first;
        cases.append({"--validate", path});
    }
    for (const QStringList& args : cases) {
        const TRun run = RunTool(args);
        EXPECT_EQ(run.ExitCode, 2) << qPrintable(args.join(' '));
        EXPECT_EQ(run.ErrLines.size(), 1) << qPrintable(args.join(' '));
        EXPECT_TRUE(run.OutLines.isEmpty()) << qPrintable(args.join(' '));
    }
}

// The observed intensities of four earthquakes at the prefectural offices: the
// estimate must stay within one class at 93 % of them, exact at 45 %, with a
// mean signed error within a quarter class, and no earthquake may fall below
// the share within one class the estimate had before it was reworked.
TEST(EqForecastTool, ValidateObservedSetMeetsTheAccuracyFloor)
{
    struct TBefore
    {
        const char* File;
        int Offices;
        int Within;
    };
    const TBefore before[] = {
        {"2000-10-06_western_tottori.json", 29, 26},
        {"2004-10-23_niigata_chuetsu.json", 22, 17},
        {"2016-04-16_kumamoto_mainshock.json", 33, 32},
        {"2021-02-13_fukushima_oki.json", 27, 26},
    };
    const QDir observed(QStringLiteral(ULX_REFERENCE_DIR "/observed"));
    QStringList files;
    for (const QString& name : observed.entryList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        files << observed.filePath(name);
    }
    if (files.isEmpty()) {
        GTEST_SKIP() << "observed intensities not available in " << qPrintable(observed.path());
    }

    const TRun run = RunTool(QStringList{"--validate", "--json"} + files);
    ASSERT_EQ(run.ExitCode, 0) << run.ErrLines.value(0).constData();
    ASSERT_EQ(run.OutLines.size(), 1);
    const QJsonObject root = QJsonDocument::fromJson(run.OutLines[0]).object();
    const QJsonArray earthquakes = root.value("earthquakes").toArray();
    ASSERT_EQ(earthquakes.size(), files.size());
    for (const TBefore& b : before) {
        bool found = false;
        for (const QJsonValue& value : earthquakes) {
            const QJsonObject quake = value.toObject();
            if (quake.value("file").toString() != QLatin1String(b.File)) {
                continue;
            }
            found = true;
            std::printf("%s: within %d/%d (before %d), exact %d, mean %+.2f\n", b.File, quake.value("within").toInt(),
                        quake.value("offices").toInt(), b.Within, quake.value("exact").toInt(),
                        quake.value("mean_error").toDouble());
            EXPECT_EQ(quake.value("offices").toInt(), b.Offices) << b.File;
            EXPECT_GE(quake.value("within").toInt(), b.Within) << b.File;
        }
        EXPECT_TRUE(found) << b.File;
    }
    const QJsonObject overall = root.value("overall").toObject();
    std::printf("overall: within %.1f %%, exact %.1f %%, mean %+.3f\n",
                100.0 * overall.value("within_share").toDouble(), 100.0 * overall.value("exact_share").toDouble(),
                overall.value("mean_error").toDouble());
    EXPECT_EQ(overall.value("failed").toInt(), 0);
    EXPECT_GE(overall.value("within_share").toDouble(), 0.93);
    EXPECT_GE(overall.value("exact_share").toDouble(), 0.45);
    EXPECT_LE(std::fabs(overall.value("mean_error").toDouble()), 0.25);
}
