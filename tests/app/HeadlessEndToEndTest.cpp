// End-to-end tests: eqsim and ulmarox-headless as real processes over a real
// loopback connection, with real settings, history and plug-in files.

#include "AppTestSupport.h"
#include "defines/EqTelegramLines.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QJsonArray>
#include <QSet>
#include <QTcpServer>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

const QString IdAlphabet = QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+-/*_");

// Earthquakes of the main scenario. A and B lie a few kilometres from the Tokyo
// office (S-wave after about 3 and 5 s); D is a drill, E deep, C far and small.
const QString EqA = QStringLiteral("ND20300601120000");
const QString EqD = QStringLiteral("ND20300601120001");
const QString EqE = QStringLiteral("ND20300601120002");
const QString EqC = QStringLiteral("ND20300601120003");
const QString EqB = QStringLiteral("ND20300601120004");
const QString InvalidLine = QStringLiteral("ab\"c\\d\tx");

// One entry per type-01 telegram: how the receiver must end it.
struct TExpectedOutcome
{
    QString EqId;
    int TelegNo;
    QString Event;  // alert, skip, rejected
    QString Detail; // kind of an alert, reason of a rejection
};

QString Describe(const QJsonObject& AEvent)
{
    return QString::fromUtf8(QJsonDocument(AEvent).toJson(QJsonDocument::Compact));
}

// The scenario file: "+<ms> <line>" per line.
QByteArray Scenario(const std::vector<std::pair<int, QString>>& ALines)
{
    QByteArray out;
    for (const auto& [delay, line] : ALines) {
        out += "+" + QByteArray::number(delay) + " " + line.toUtf8() + "\n";
    }
    return out;
}

int CountTelegrams(const QStringList& ALines, const char* AHeader)
{
    int n = 0;
    for (const QString& line : ALines) {
        n += line.startsWith(QLatin1String(AHeader)) ? 1 : 0;
    }
    return n;
}

} // namespace

TEST(HeadlessProgram, HelpPrintsTheUsageInJapaneseAndEnglish)
{
    for (const QString& option : {QStringLiteral("-Help"), QStringLiteral("/help"), QStringLiteral("-HELP")}) {
        SCOPED_TRACE(option.toStdString());
        TTestFolders folders;
        const TRunResult run = RunHeadless(folders, {option});
        ASSERT_TRUE(run.Finished);
        EXPECT_EQ(run.ExitCode, 0);
        const QString text = run.Lines.join(QLatin1Char('\n'));
        EXPECT_TRUE(text.contains(QStringLiteral("使い方"))) << qPrintable(text);
        EXPECT_TRUE(text.contains(QStringLiteral("Usage:"))) << qPrintable(text);
        for (const char* name : {"-DebugOnLocal", "-EqServer ", "-EqServerPort", "-ConId", "-ListHistory", "-Help"}) {
            EXPECT_TRUE(text.contains(QLatin1String(name))) << name;
        }
        EXPECT_TRUE(run.Err.isEmpty()) << qPrintable(run.Err);
        // Asking for help touches no settings, log or history.
        EXPECT_TRUE(QDir(folders.AppData()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
}

// The whole decision chain against one scenario, then an orderly stop.
TEST(HeadlessEndToEnd, AlertSkipUpgradeReplaceRejectAndShutdown)
{
    TTestFolders folders;
    const std::vector<std::pair<int, QString>> lines = {
        {300, Teleg01("00", EqA, 1, "357", "1397", "010", "60", "11111")},
        {100, Teleg01("00", EqA, 2, "357", "1397", "010", "60", "22222")},
        {100, Teleg10(EqA, 2, QStringLiteral("350"), QStringLiteral("東京都２３区"))},
        {100, Teleg01("00", EqA, 3, "357", "1397", "010", "60", "22222", QStringLiteral("360"))},
        {100, Teleg01("00", EqA, 4, "357", "1397", "010", "62", "33333", QStringLiteral("360350"))},
        {100, Teleg01("00", EqA, 5, "357", "1397", "010", "62", "33333", QStringLiteral("350"))},
        {100, Teleg01("01", EqD, 1, "356", "1398", "010", "60", "33333", QStringLiteral("350"))},
        {100, Teleg01("00", EqE, 1, "280", "1407", "590", "81", "33333", QStringLiteral("350"))},
        {100, Teleg01("00", EqC, 1, "430", "1450", "010", "40", "33333")},
        {100, InvalidLine},
        {100, Teleg10(EqE, 1, QStringLiteral("992"), QStringLiteral("小笠原諸島西方沖"))},
        // Long enough for A's S-wave (about 3 s after its first report) to arrive first.
        {6000, Teleg01("00", EqB, 1, "356", "1396", "010", "60", "22222", QStringLiteral("341"))},
        {100, Teleg01("00", EqB, 2, "356", "1396", "010", "60", "22222", QStringLiteral("341"))},
    };
    const std::vector<TExpectedOutcome> expected = {
        {EqA, 1, "rejected", "accuracy"},
        {EqA, 2, "alert", "new"},
        {EqA, 3, "skip", ""},
        {EqA, 4, "alert", "upgrade"},
        {EqA, 5, "skip", ""},
        {EqD, 1, "rejected", "drill"},
        {EqE, 1, "rejected", "deep"},
        {EqC, 1, "rejected", "conditions"},
        {EqB, 1, "alert", "replace"},
        {EqB, 2, "skip", ""},
    };
    const QString scenarioPath = folders.File(QStringLiteral("flow.txt"));
    ASSERT_TRUE(folders.WriteFile(scenarioPath, Scenario(lines)));

    TEqSim sim({scenarioPath}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    THeadless app(folders, THeadless::ServerArgs(sim.Port));

    // Connection request of a first start: a fresh id and the Tokyo office's area.
    ASSERT_TRUE(WaitUntil([&] { return !sim.ConnectionRequests().isEmpty(); })) << qPrintable(app.Err());
    const QString request = sim.ConnectionRequests().first();
    static const QRegularExpression requestForm(QStringLiteral("^93:(.{12}):350$"));
    const QRegularExpressionMatch requestMatch = requestForm.match(request);
    ASSERT_TRUE(requestMatch.hasMatch()) << qPrintable(request);
    const QString conId = requestMatch.captured(1);
    for (const QChar c : conId) {
        EXPECT_TRUE(IdAlphabet.contains(c)) << qPrintable(request);
    }

    // Every type-01 telegram has been decided once B's second report is.
    ASSERT_TRUE(app.WaitForEvent([](const QJsonObject& E) {
        return Str(E, "eq_id") == EqB && E.value(QStringLiteral("telegram_no")).toInt() == 2;
    })) << qPrintable(app.Out());

    // Nothing but JSON objects on standard output, the connection status first.
    const std::vector<QJsonObject> events = app.Events();
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_FALSE(Str(events[i], "event").isEmpty()) << "not a JSON event: " << qPrintable(app.Lines()[int(i)]);
    }
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(Str(events.front(), "event"), "status");
    EXPECT_EQ(Str(events.front(), "status"), "connected");

    // Each type-01 telegram ends in exactly one alert, skip or rejected line, in order.
    std::vector<QJsonObject> outcomes;
    for (const QJsonObject& e : events) {
        const QString kind = Str(e, "event");
        if (kind == QLatin1String("alert") || kind == QLatin1String("skip") || kind == QLatin1String("rejected")) {
            outcomes.push_back(e);
        }
    }
    ASSERT_EQ(outcomes.size(), expected.size()) << qPrintable(app.Out());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const TExpectedOutcome& want = expected[i];
        const QJsonObject& got = outcomes[i];
        SCOPED_TRACE(QStringLiteral("%1-%2: %3").arg(want.EqId).arg(want.TelegNo).arg(Describe(got)).toStdString());
        EXPECT_EQ(Str(got, "eq_id"), want.EqId);
        EXPECT_EQ(got.value(QStringLiteral("telegram_no")).toInt(-1), want.TelegNo);
        EXPECT_EQ(Str(got, "event"), want.Event);
        if (want.Event == QLatin1String("alert")) {
            EXPECT_EQ(Str(got, "kind"), want.Detail);
        } else if (want.Event == QLatin1String("rejected")) {
            EXPECT_EQ(Str(got, "reason"), want.Detail);
        }
    }

    // The alert lines carry the estimate; the upgrade is a warning for the user's area.
    const std::vector<QJsonObject> alerts = app.Events(QStringLiteral("alert"));
    ASSERT_EQ(alerts.size(), 3u);
    const std::vector<bool> warnings = {false, true, false};
    for (std::size_t i = 0; i < alerts.size(); ++i) {
        const QJsonObject& a = alerts[i];
        SCOPED_TRACE(Describe(a).toStdString());
        EXPECT_EQ(a.value(QStringLiteral("warning")).toBool(), warnings[i]);
        EXPECT_GE(a.value(QStringLiteral("intensity")).toDouble(), 4.5);
        EXPECT_FALSE(Str(a, "class").isEmpty());
        const double sSec = a.value(QStringLiteral("s_sec")).toDouble();
        EXPECT_GT(sSec, 1.0);
        EXPECT_LT(sSec, 8.0);
        const QJsonArray epicentre = a.value(QStringLiteral("epicentre")).toArray();
        ASSERT_EQ(epicentre.size(), 2);
        EXPECT_GT(epicentre[0].toDouble(), 35.0);
        EXPECT_LT(epicentre[1].toDouble(), 140.0);
        EXPECT_EQ(a.value(QStringLiteral("depth")).toInt(), 10);
        EXPECT_TRUE(QDateTime::fromString(Str(a, "occurrence"), QStringLiteral("yyyy/MM/dd HH:mm:ss")).isValid());
    }
    EXPECT_DOUBLE_EQ(alerts[0].value(QStringLiteral("magnitude")).toDouble(), 6.0);
    EXPECT_DOUBLE_EQ(alerts[1].value(QStringLiteral("magnitude")).toDouble(), 6.2);

    // The type-10 line of the alerting earthquake names it; the one of E only reaches the plug-in.
    const std::vector<QJsonObject> names = app.Events(QStringLiteral("epicentre_name"));
    ASSERT_EQ(names.size(), 1u) << qPrintable(app.Out());
    EXPECT_EQ(Str(names[0], "eq_id"), EqA);
    EXPECT_EQ(Str(names[0], "name"), QStringLiteral("東京都２３区"));

    const std::vector<QJsonObject> invalid = app.Events(QStringLiteral("invalid"));
    ASSERT_EQ(invalid.size(), 1u) << qPrintable(app.Out());
    EXPECT_EQ(Str(invalid[0], "line"), InvalidLine);

    // A's S-wave time came before B replaced it: arrival, then its history row.
    const int upgradeAt =
        app.FindEvent([](const QJsonObject& E) { return Str(E, "kind") == QLatin1String("upgrade"); });
    const int arrivalA = app.FindEvent(IsEvent(QStringLiteral("arrival"), EqA));
    const int replaceAt =
        app.FindEvent([](const QJsonObject& E) { return Str(E, "kind") == QLatin1String("replace"); });
    ASSERT_GE(arrivalA, 0) << qPrintable(app.Out());
    EXPECT_LT(upgradeAt, arrivalA);
    EXPECT_LT(arrivalA, replaceAt);
    const int historyA = app.FindEvent(IsEvent(QStringLiteral("history"), EqA), arrivalA);
    EXPECT_GT(historyA, arrivalA);
    EXPECT_LT(historyA, replaceAt);
    EXPECT_EQ(app.Events(QStringLiteral("arrival")).size(), 1u) << qPrintable(app.Out());
    // Not before the S-wave time of the upgraded estimate (whole seconds after the
    // occurrence second), and not long after it either.
    // Telegram times are Japan time.
    QDateTime occurrence = QDateTime::fromString(Str(alerts[1], "occurrence"), QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    occurrence.setTimeZone(QTimeZone(9 * 3600));
    const qint64 sWaveAt = occurrence.toMSecsSinceEpoch() +
                           1000 * qint64(std::nearbyint(alerts[1].value(QStringLiteral("s_sec")).toDouble()));
    EXPECT_GE(app.LineTime(arrivalA), sWaveAt - 50);
    EXPECT_LE(app.LineTime(arrivalA), sWaveAt + 5000);

    // The countdown goes to standard error only.
    EXPECT_TRUE(app.Err().contains(QStringLiteral("S-wave in"))) << qPrintable(app.Err());
    EXPECT_TRUE(app.Err().contains(EqA + QStringLiteral("-004"))) << qPrintable(app.Err());
    EXPECT_FALSE(app.Out().contains(QStringLiteral("S-wave"))) << qPrintable(app.Out());

    // -ListHistory only reads: it runs beside the receiver.
    const TRunResult listWhileRunning = RunHeadless(folders, {QStringLiteral("-ListHistory")});
    ASSERT_TRUE(listWhileRunning.Finished);
    EXPECT_EQ(listWhileRunning.ExitCode, 0) << qPrintable(listWhileRunning.Err);
    EXPECT_GE(listWhileRunning.Lines.size(), 1);

    // SIGTERM: the running alert of B is written, the link reports its end, status 0.
    const int linesBeforeStop = int(app.Lines().size());
    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_GE(app.FindEvent(IsEvent(QStringLiteral("history"), EqB), linesBeforeStop), 0) << qPrintable(app.Out());
    const std::vector<QJsonObject> statuses = app.Events(QStringLiteral("status"));
    EXPECT_EQ(Str(statuses.back(), "status"), "disconnected");

    // The settings hold the counters and the location.
    const QMap<QString, QString> conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    EXPECT_EQ(conf.value(QStringLiteral("TotalEqTelegrams")), QString::number(CountTelegrams(sim.SentLines(), "01")));
    EXPECT_EQ(conf.value(QStringLiteral("TotalEqTelegrams")), QString::number(expected.size()));
    EXPECT_EQ(conf.value(QStringLiteral("TotalAlerts")), QStringLiteral("3"));
    EXPECT_EQ(conf.value(QStringLiteral("AreaCode")), QStringLiteral("350"));
    EXPECT_EQ(conf.value(QStringLiteral("LocationName")), QStringLiteral("東京都庁"));
    EXPECT_NEAR(conf.value(QStringLiteral("Latitude")).toDouble(), 35.68949, 1e-4);
    EXPECT_NEAR(conf.value(QStringLiteral("Longitude")).toDouble(), 139.69171, 1e-4);

    // The id sent is the one logged.
    QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString logText = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(logText.contains(QStringLiteral("Server conId(Value=") + conId + QLatin1Char(')')));
    EXPECT_TRUE(logText.trimmed().contains(QStringLiteral("<== FormDestroy")));

    // One row per history line, newest earthquake first.
    const TRunResult list = RunHeadless(folders, {QStringLiteral("-ListHistory")});
    ASSERT_TRUE(list.Finished);
    EXPECT_EQ(list.ExitCode, 0) << qPrintable(list.Err);
    EXPECT_EQ(list.Lines.size(), qsizetype(app.Events(QStringLiteral("history")).size())) << qPrintable(app.Out());
    ASSERT_FALSE(list.Lines.isEmpty());
    EXPECT_EQ(QJsonDocument::fromJson(list.Lines.first().toUtf8()).object().value(QStringLiteral("EQ_ID")).toString(),
              EqB);
}

// More alerts than the history keeps: five rows survive, the newest, listed newest first.
TEST(HeadlessEndToEnd, HistoryKeepsTheFiveNewestAndCountersSurviveARestart)
{
    TTestFolders folders;
    std::vector<std::pair<int, QString>> lines;
    QStringList eqIds;
    for (int i = 0; i < 7; ++i) {
        const QString eqId = QStringLiteral("ND2030060213%1").arg(i, 4, 10, QLatin1Char('0'));
        eqIds << eqId;
        lines.push_back({i == 0 ? 300 : 150, Teleg01("00", eqId, 1, "356", "1396", "010", "60", "22222")});
    }
    const QString scenarioPath = folders.File(QStringLiteral("seven.txt"));
    ASSERT_TRUE(folders.WriteFile(scenarioPath, Scenario(lines)));

    {
        TEqSim sim({scenarioPath}, folders.Environment());
        ASSERT_GT(sim.Port, 0);
        THeadless app(folders, THeadless::ServerArgs(sim.Port));
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqIds.last()))) << qPrintable(app.Out());
        // The alert first, the disk after: each earthquake's row comes with its S-wave,
        // after every alert (they all came within a second).
        ASSERT_TRUE(WaitUntil([&] {
            for (const QString& id : eqIds) {
                if (app.FindEvent(IsEvent(QStringLiteral("history"), id)) < 0) {
                    return false;
                }
            }
            return true;
        })) << qPrintable(app.Out());
        const int lastAlert = app.FindEvent(IsEvent(QStringLiteral("alert"), eqIds.last()));
        for (const QString& id : eqIds) {
            EXPECT_GT(app.FindEvent(IsEvent(QStringLiteral("history"), id)), lastAlert) << qPrintable(id);
        }
        ASSERT_TRUE(app.SignalAndWait(SIGTERM));
        EXPECT_EQ(app.ExitCode(), 0);
        EXPECT_EQ(app.Events(QStringLiteral("history")).size(), 7u) << qPrintable(app.Out());
    }

    const TRunResult list = RunHeadless(folders, {QStringLiteral("-ListHistory")});
    ASSERT_TRUE(list.Finished);
    EXPECT_EQ(list.ExitCode, 0) << qPrintable(list.Err);
    QStringList listed;
    for (const QString& line : list.Lines) {
        const QJsonObject row = QJsonDocument::fromJson(line.toUtf8()).object();
        EXPECT_EQ(row.size(), 11) << qPrintable(line);
        for (const char* key : {"EQ_ID", "OUTGOING_TIME", "OCCURRENCE_TIME", "EPIC_LAT", "EPIC_LONG", "EPIC_DEPTH",
                                "EQ_MAGNITUDE", "EPIC_NAME", "SI_SCALE", "SWAVE_SEC", "CANCELLED"}) {
            EXPECT_TRUE(row.contains(QLatin1String(key))) << key << " in " << qPrintable(line);
        }
        listed << row.value(QStringLiteral("EQ_ID")).toString();
    }
    EXPECT_EQ(listed, (QStringList{eqIds[6], eqIds[5], eqIds[4], eqIds[3], eqIds[2]}));

    // A second run loads what the first saved: same area, counters carried on.
    QMap<QString, QString> conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    EXPECT_EQ(conf.value(QStringLiteral("TotalEqTelegrams")), QStringLiteral("7"));
    EXPECT_EQ(conf.value(QStringLiteral("TotalAlerts")), QStringLiteral("7"));
    {
        TEqSim sim({scenarioPath}, folders.Environment());
        ASSERT_GT(sim.Port, 0);
        THeadless app(folders, THeadless::ServerArgs(sim.Port));
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqIds.last()))) << qPrintable(app.Out());
        ASSERT_FALSE(sim.ConnectionRequests().isEmpty());
        EXPECT_TRUE(sim.ConnectionRequests().first().endsWith(QStringLiteral(":350")));
        ASSERT_TRUE(app.SignalAndWait(SIGTERM));
        EXPECT_EQ(app.ExitCode(), 0);
    }
    conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    EXPECT_EQ(conf.value(QStringLiteral("TotalEqTelegrams")), QStringLiteral("14"));
    // The first alert of the second run replaces nothing: every run starts without an alert.
    EXPECT_EQ(conf.value(QStringLiteral("TotalAlerts")), QStringLiteral("14"));
}

TEST(HeadlessEndToEnd, SecondInstanceEndsAtOnceAndAKilledOwnerFreesTheLock)
{
    TTestFolders folders;
    TEqSim sim({}, folders.Environment());
    ASSERT_GT(sim.Port, 0);
    THeadless first(folders, THeadless::ServerArgs(sim.Port));
    ASSERT_TRUE(first.WaitForConnected()) << qPrintable(first.Err());

    TChild second;
    QElapsedTimer clock;
    clock.start();
    second.Start(HeadlessPath, THeadless::ServerArgs(sim.Port), folders.Environment());
    ASSERT_TRUE(second.WaitForEnd());
    WaitUntil([] { return false; }, 50);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(second.ExitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.ExitCode(), 0);
    EXPECT_TRUE(second.Lines().isEmpty()) << qPrintable(second.Out());
    const QString err = second.Err();
    EXPECT_EQ(err.count(QLatin1Char('\n')), 1) << qPrintable(err);
    EXPECT_TRUE(err.endsWith(QLatin1Char('\n'))) << qPrintable(err);
    // It never connected, and the first one runs on.
    EXPECT_EQ(sim.ConnectionRequests().size(), 1);
    EXPECT_TRUE(first.IsRunning());

    // A killed owner leaves its lock file behind; the next start takes it over.
    ::kill(static_cast<pid_t>(first.Pid()), SIGKILL);
    ASSERT_TRUE(first.WaitForEnd());
    THeadless third(folders, THeadless::ServerArgs(sim.Port));
    ASSERT_TRUE(third.WaitForConnected()) << qPrintable(third.Err());
    ASSERT_TRUE(third.SignalAndWait(SIGTERM));
    EXPECT_EQ(third.ExitCode(), 0);
}

// SIGINT and SIGHUP stop as orderly as SIGTERM: settings and log are finished.
TEST(HeadlessEndToEnd, InterruptAndHangUpSaveLikeTerminate)
{
    for (const int signalNumber : {SIGINT, SIGHUP}) {
        SCOPED_TRACE(signalNumber);
        TTestFolders folders;
        TEqSim sim({}, folders.Environment());
        ASSERT_GT(sim.Port, 0);
        THeadless app(folders, THeadless::ServerArgs(sim.Port));
        ASSERT_TRUE(app.WaitForConnected()) << qPrintable(app.Err());
        ASSERT_TRUE(app.SignalAndWait(signalNumber));
        EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.ExitCode(), 0);
        const QMap<QString, QString> conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
        EXPECT_EQ(conf.value(QStringLiteral("AreaCode")), QStringLiteral("350"));
        EXPECT_EQ(conf.value(QStringLiteral("TotalEqTelegrams")), QStringLiteral("0"));
        QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(QString::fromUtf8(log.readAll()).contains(QStringLiteral("<== FormDestroy")));
        // The lock is gone with the process.
        EXPECT_TRUE(QDir(folders.Tmp()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot));
    }
}

// The sample plug-in records each telegram handed to it: every one, in order, unchanged.
TEST(HeadlessEndToEnd, PlugInSeesEveryTelegramInOrder)
{
    TTestFolders folders;
    QDir().mkpath(folders.DataFolder());
    ASSERT_TRUE(folders.WriteFile(folders.DataFolder() + QStringLiteral("/UlmaroXCust.cnf"),
                                  "[Ext_Conf]\nPlugInName=Sample\nPlugInLibrary=" + SamplePlugInPath.toUtf8() +
                                      "\nOnMainFormCreate=1\nOnMainFormDestroy=1\nOnEq01Queued=1\nOnEq10Queued=1\n"));
    const QString pluginOut = folders.File(QStringLiteral("plugin.txt"));
    QProcessEnvironment env = folders.Environment();
    env.insert(QStringLiteral("ULX_SAMPLE_PLUGIN_OUT"), pluginOut);

    // Two interleaved earthquakes with their type-10 lines.
    TEqSim sim({QStringLiteral("--speed"), QStringLiteral("5"), QStringLiteral("overlap")}, env);
    ASSERT_GT(sim.Port, 0);
    THeadless app(folders, THeadless::ServerArgs(sim.Port), &env);
    ASSERT_TRUE(WaitUntil([&] { return sim.IsScenarioFinished(); })) << qPrintable(sim.Out());
    const QStringList sent = sim.SentLines();
    const int sent01 = CountTelegrams(sent, "01");
    ASSERT_GT(sent01, 0);
    ASSERT_TRUE(WaitUntil([&] {
        return app.Events(QStringLiteral("alert")).size() + app.Events(QStringLiteral("skip")).size() +
                   app.Events(QStringLiteral("rejected")).size() ==
               std::size_t(sent01);
    })) << qPrintable(app.Out());
    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_EQ(app.ExitCode(), 0);

    QFile file(pluginOut);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    QStringList calls = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
    if (!calls.isEmpty() && calls.last().isEmpty()) {
        calls.removeLast();
    }
    ASSERT_GE(calls.size(), 2);
    EXPECT_TRUE(calls.first().startsWith(QStringLiteral("VpiMainFormCreate\t"))) << qPrintable(calls.first());
    EXPECT_EQ(calls.last(), QStringLiteral("VpiMainFormDestroy\t"));

    // Each kind in the order it was sent; type-01 and type-10 are drained by separate handlers.
    for (const auto& [entry, header] : {std::pair{"VpiEq01Queued\t", "01"}, std::pair{"VpiEq10Queued\t", "10"}}) {
        QStringList got;
        for (const QString& call : calls) {
            if (call.startsWith(QLatin1String(entry))) {
                got << call.mid(qsizetype(std::strlen(entry)));
            }
        }
        QStringList want;
        for (const QString& line : sent) {
            if (line.startsWith(QLatin1String(header))) {
                want << line;
            }
        }
        EXPECT_EQ(got, want) << entry;
    }
    EXPECT_EQ(calls.size(), sent.size() + 2) << qPrintable(calls.join(QLatin1Char('\n')));
}

// The shipped mix of valid and invalid lines: only lines of no known kind are reported, unchanged.
TEST(HeadlessEndToEnd, InvalidLinesAreReportedAsSent)
{
    TTestFolders folders;
    TEqSim sim({QStringLiteral("--speed"), QStringLiteral("5"), QStringLiteral("invalid-lines")},
               folders.Environment());
    ASSERT_GT(sim.Port, 0);
    THeadless app(folders, THeadless::ServerArgs(sim.Port));
    const QStringList want = {QStringLiteral("991"), QStringLiteral("1"), QStringLiteral("abc"), QStringLiteral("99 ")};
    // The scenario ends with the type-10 line of the alerting earthquake. A drain
    // takes every telegram queued by then, so that line may be reported before an
    // invalid line received just ahead of it: wait for both.
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("epicentre_name")))) << qPrintable(app.Out());
    ASSERT_TRUE(WaitUntil([&] { return app.Events(QStringLiteral("invalid")).size() >= std::size_t(want.size()); }))
        << qPrintable(app.Out());
    EXPECT_EQ(Str(app.Events(QStringLiteral("epicentre_name")).front(), "name"), QStringLiteral("東京都23区"));
    QStringList got;
    for (const QJsonObject& e : app.Events(QStringLiteral("invalid"))) {
        got << Str(e, "line");
    }
    EXPECT_EQ(got, want);
    // The one type-01 telegram is decided as usual; the short "100" is a type-10 line, not invalid.
    EXPECT_EQ(app.Events(QStringLiteral("alert")).size(), 1u) << qPrintable(app.Out());
    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_EQ(app.ExitCode(), 0);
}

// A service stop while the server is unreachable does not wait out the 60 s before the next attempt.
TEST(HeadlessEndToEnd, StopsAtOnceWhileWaitingToReconnect)
{
    TTestFolders folders;
    // A port nobody listens on: a free one, released again.
    int port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    THeadless app(folders, THeadless::ServerArgs(port));
    ASSERT_TRUE(app.WaitForEvent([](const QJsonObject& E) {
        return Str(E, "event") == QLatin1String("status") && Str(E, "status") != QLatin1String("connected");
    })) << qPrintable(app.Out());
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(app.SignalAndWait(SIGTERM, 30000));
    EXPECT_LT(clock.elapsed(), 15000);
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_TRUE(QFile::exists(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf")));
}

// Plug-ins that throw, block, abort or exit in their type-01 entry. The alert comes
// out first in every case; a throwing or blocked plug-in changes no decision and lets
// SIGTERM save and exit; an aborting one takes the process down only after the alert;
// one that calls exit() ends it, but the settings are saved and the log says so;
// one with a thread of its own does not crash the exit.
TEST(HeadlessEndToEnd, AFaultyPlugInNeitherSuppressesNorDelaysTheAlert)
{
    struct TCase
    {
        const char* Fault;
        bool Survives;
    };
    const TCase cases[] = {{"throw", true}, {"block", true}, {"abort", false},
                           {"print", true}, {"exit", false}, {"thread", true}};
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Fault);
        TTestFolders folders;
        QDir().mkpath(folders.DataFolder());
        ASSERT_TRUE(folders.WriteFile(
            folders.DataFolder() + QStringLiteral("/UlmaroXCust.cnf"),
            QByteArray("[Ext_Conf]\nPlugInName=Faulty\nPlugInLibrary=" ULX_FAULTY_PLUGIN_DIR "/libUlxFaultyPlugin_") +
                c.Fault + ".so\nOnMainFormCreate=1\nOnMainFormDestroy=1\nOnEq01Queued=1\n"));
        const QString pluginOut = folders.File(QStringLiteral("plugin.txt"));
        QProcessEnvironment env = folders.Environment();
        env.insert(QStringLiteral("ULX_FAULTY_PLUGIN_OUT"), pluginOut);
        const QString eqA = QStringLiteral("ND20300602130001");
        const QString eqB = QStringLiteral("ND20300602130002");
        const QString scenarioPath = folders.File(QStringLiteral("two.txt"));
        ASSERT_TRUE(folders.WriteFile(scenarioPath,
                                      Scenario({{300, Teleg01("00", eqA, 1, "356", "1396", "010", "60", "22222")},
                                                {300, Teleg01("00", eqB, 1, "356", "1396", "010", "60", "22222")}})));

        TEqSim sim({scenarioPath}, env);
        ASSERT_GT(sim.Port, 0);
        THeadless app(folders, THeadless::ServerArgs(sim.Port), &env);
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqA))) << qPrintable(app.Out() + app.Err());
        if (!c.Survives) {
            ASSERT_TRUE(app.WaitForEnd());
            if (QLatin1String(c.Fault) == QLatin1String("exit")) {
                EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
                EXPECT_EQ(app.ExitCode(), 3) << qPrintable(app.Err().right(4000));
                const QMap<QString, QString> conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
                EXPECT_EQ(conf.value(QStringLiteral("TotalAlerts")), QStringLiteral("1")) << "the counters are saved";
                QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
                ASSERT_TRUE(log.open(QIODevice::ReadOnly));
                const QString logText = QString::fromUtf8(log.readAll());
                EXPECT_TRUE(logText.contains(QStringLiteral("Exit outside the event loop; shutting down in order.")));
                EXPECT_TRUE(logText.contains(QStringLiteral("Save configuration file.")));
            } else {
                EXPECT_EQ(app.ExitStatus(), QProcess::CrashExit);
            }
            continue;
        }
        ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqB))) << qPrintable(app.Out() + app.Err());
        EXPECT_TRUE(app.Events(QStringLiteral("rejected")).empty()) << qPrintable(app.Out());

        QElapsedTimer stop;
        stop.start();
        ASSERT_TRUE(app.SignalAndWait(SIGTERM, 10000));
        EXPECT_LT(stop.elapsed(), 8000);
        EXPECT_EQ(app.ExitStatus(), QProcess::NormalExit);
        EXPECT_EQ(app.ExitCode(), 0);
        const QMap<QString, QString> conf = ReadConfFile(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
        EXPECT_EQ(conf.value(QStringLiteral("TotalAlerts")), QStringLiteral("2"));
        const TRunResult list = RunHeadless(folders, {QStringLiteral("-ListHistory")});
        EXPECT_EQ(list.Lines.size(), 2) << qPrintable(list.Err);

        QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        const QString logText = QString::fromUtf8(log.readAll());
        if (QLatin1String(c.Fault) == QLatin1String("throw")) {
            EXPECT_TRUE(logText.contains(QStringLiteral("VpiEq01Queued()(Value=faulty plug-in VpiEq01Queued)")));
        } else if (QLatin1String(c.Fault) == QLatin1String("block")) {
            EXPECT_TRUE(logText.contains(QStringLiteral("Plug-in did not return in time; left loaded.")));
        } else if (QLatin1String(c.Fault) == QLatin1String("print")) {
            // What the plug-in prints lands on standard error, never among the JSON lines.
            EXPECT_FALSE(app.Out().contains(QStringLiteral("plug-in"))) << qPrintable(app.Out());
            EXPECT_TRUE(app.Err().contains(QStringLiteral("\"entry\":\"VpiEq01Queued\"} partial")))
                << qPrintable(app.Err());
            for (const QString& line : app.Lines()) {
                EXPECT_FALSE(QJsonDocument::fromJson(line.toUtf8()).isNull()) << qPrintable(line);
            }
        }
    }
}

// An assumed source (JMA's PLUM method): the type-01 line carries JMA's placeholder
// M1.0 and depth 10 km and one-station accuracy, so our own estimate at the Tokyo
// office (a first start: class 3 and more) is nothing and the accuracy rule would
// reject it. JMA's area forecast of the same report gives 4 there by PLUM: the
// receiver alerts and prints JMA's forecast. The same report without it is rejected.
TEST(HeadlessEndToEnd, AssumedSourceAlertsOnJmaAreaForecastForHome)
{
    TTestFolders folders;
    const QString plumId = QStringLiteral("ND20300601120005");
    const QString bareId = QStringLiteral("ND20300601120006");
    auto assumed = [](const QString& AEqId) {
        TEqTelegram01Fields f;
        f.Type = QStringLiteral("36");
        f.PresentTime = QStringLiteral("300601120000");
        f.OccurrenceTime = QStringLiteral("300601120000");
        f.EqId = AEqId;
        f.Serial = 3;
        f.Latitude = QStringLiteral("N354");
        f.Longitude = QStringLiteral("E1392");
        f.Depth = QStringLiteral("010");
        f.Magnitude = QStringLiteral("10");
        f.Accuracy = QStringLiteral("11///");
        return ComposeEqTelegram01(f).value();
    };
    const QString line11 = ComposeEqTelegram11(plumId, false, 3,
                                               {{QStringLiteral("351"), QStringLiteral("5-"), QStringLiteral("04"),
                                                 QStringLiteral("120012"), QStringLiteral("19")},
                                                {QStringLiteral("350"), QStringLiteral("04"), QStringLiteral("04"),
                                                 QStringLiteral("120010"), QStringLiteral("09")}})
                               .value();
    const std::vector<std::pair<int, QString>> lines = {
        {300, assumed(bareId)},
        {100, line11},
        {20, assumed(plumId)},
    };
    const QString scenarioPath = folders.File(QStringLiteral("plum.txt"));
    ASSERT_TRUE(folders.WriteFile(scenarioPath, Scenario(lines)));
    TEqSim sim({scenarioPath}, folders.Environment());
    ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
    THeadless app(folders, THeadless::ServerArgs(sim.Port));

    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), plumId))) << qPrintable(app.Out() + app.Err());
    const std::vector<QJsonObject> rejected = app.Events(QStringLiteral("rejected"));
    ASSERT_EQ(rejected.size(), 1u) << qPrintable(app.Out());
    EXPECT_EQ(rejected[0].value(QStringLiteral("eq_id")).toString(), bareId);
    EXPECT_EQ(rejected[0].value(QStringLiteral("reason")).toString(), QStringLiteral("accuracy"));
    const QJsonObject alert = app.Events(QStringLiteral("alert")).front();
    const QJsonObject jma = alert.value(QStringLiteral("jma")).toObject();
    EXPECT_EQ(jma.value(QStringLiteral("area")).toString(), QStringLiteral("350")) << qPrintable(Describe(alert));
    EXPECT_EQ(jma.value(QStringLiteral("from")).toString(), QStringLiteral("4"));
    EXPECT_EQ(jma.value(QStringLiteral("to")).toString(), QStringLiteral("4"));
    EXPECT_EQ(jma.value(QStringLiteral("arrival")).toString(), QStringLiteral("12:00:10"));
    EXPECT_TRUE(jma.value(QStringLiteral("plum")).toBool());
    // Our own estimate stays what it is.
    EXPECT_LT(alert.value(QStringLiteral("intensity")).toDouble(), 0.5) << qPrintable(Describe(alert));
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));

    QFile logFile(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
    ASSERT_TRUE(logFile.open(QIODevice::ReadOnly));
    const QString log = QString::fromUtf8(logFile.readAll());
    EXPECT_TRUE(log.contains(QStringLiteral("気象庁予測震度"))) << qPrintable(log.right(3000));
    EXPECT_TRUE(log.contains(QStringLiteral("精度条件の適用外-所在地はPLUM法による予測の為")));
}
