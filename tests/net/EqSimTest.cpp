// The simulator: scenario files, the shipped scenarios, the program's command
// line and an end-to-end run of the receiver thread against it.

#include "EqSimQuitTimer.h"
#include "EqSimScenario.h"
#include "NetTestSupport.h"
#include "defines/VeskDefines.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTcpServer>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

#include <sys/stat.h>

namespace {

const QString EqSimPath = QStringLiteral(ULX_BIN_DIR "/eqsim");
const QString ScenarioDir = QStringLiteral(ULX_BIN_DIR "/eqsim-scenarios");

TEST(EqSimScenario, ParsesDelaysCommentsAndKeepsLinesByteForByte)
{
    const QByteArray text = "# comment\n"
                            "\n"
                            "   # indented comment\n"
                            "+1200 01abc  \r\n"
                            "+0 10\xE6\x9D\xB1 # not a comment\n"
                            "+5\n"
                            "+7 \n"
                            "+0 99";
    QList<TEqSimLine> lines;
    QString error;
    ASSERT_TRUE(ParseEqSimScenario(text, QStringLiteral("s.txt"), lines, error)) << qPrintable(error);
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0].DelayMs, 1200);
    EXPECT_EQ(lines[0].Data, QByteArray("01abc  "));
    EXPECT_EQ(lines[0].SourceLine, 4);
    EXPECT_EQ(lines[1].DelayMs, 0);
    EXPECT_EQ(lines[1].Data, QByteArray("10\xE6\x9D\xB1 # not a comment"));
    EXPECT_EQ(lines[2].Data, QByteArray());
    EXPECT_EQ(lines[3].DelayMs, 7);
    EXPECT_EQ(lines[3].Data, QByteArray());
    EXPECT_EQ(lines[4].Data, QByteArray("99"));
}

TEST(EqSimScenario, MalformedDelaysNameFileAndLine)
{
    const struct
    {
        const char* Row;
        const char* Token;
    } cases[] = {{"1200 01abc", "1200"},
                 {"+12a 01", "+12a"},
                 {"+ 01", "+"},
                 {"-5 01", "-5"},
                 {"+99999999999 01", "+99999999999"},
                 {"01abc", "01abc"}};
    for (const auto& c : cases) {
        QList<TEqSimLine> lines;
        QString error;
        const QByteArray text = QByteArray("+0 99\n# c\n") + c.Row + "\n";
        EXPECT_FALSE(ParseEqSimScenario(text, QStringLiteral("x.txt"), lines, error)) << c.Row;
        EXPECT_EQ(error, QStringLiteral("x.txt:3: malformed delay '%1' (expected '+<milliseconds> <line>')")
                             .arg(QString::fromLatin1(c.Token)));
    }
    QList<TEqSimLine> lines;
    QString error;
    EXPECT_FALSE(LoadEqSimScenario(QStringLiteral("/nonexistent/s.txt"), lines, error));
    EXPECT_TRUE(error.startsWith(QStringLiteral("cannot read scenario '/nonexistent/s.txt': "))) << qPrintable(error);
}

TEST(EqSimScenario, TimesAreRewrittenPerEarthquakeAndPass)
{
    const QByteArray a1 = "013500230901115835230901115831DM19230901115831101N351E13900106311111";
    const QByteArray a2 = "013500230901115836230901115831DM19230901115831102N352E13910107222222";
    const QByteArray b1 = "013500300403090009300403090005DM20300403090005101N384E14200105411111";
    TEqSimTimeRewriter rewriter;
    const QDateTime t0(QDate(2031, 2, 3), QTime(4, 5, 6));
    const QByteArray r1 = rewriter.Rewrite(a1, t0);
    EXPECT_EQ(r1, QByteArray("01350031020304050631020304050 6DM19230901115831101N351E13900106311111").replace(" ", ""));
    const QByteArray r2 = rewriter.Rewrite(a2, t0.addSecs(1));
    EXPECT_EQ(r2.mid(6, 12), QByteArray("310203040507"));
    EXPECT_EQ(r2.mid(18, 12), QByteArray("310203040506")) << "same occurrence for the whole earthquake";
    EXPECT_EQ(r2.mid(30), a2.mid(30));
    const QByteArray r3 = rewriter.Rewrite(b1, t0.addSecs(2));
    EXPECT_EQ(r3.mid(18, 12), QByteArray("310203040508")) << "another earthquake starts its own clock";
    rewriter.Reset();
    EXPECT_EQ(rewriter.Rewrite(a2, t0.addSecs(9)).mid(18, 12), QByteArray("310203040515"));
    // Other lines pass unchanged.
    for (const QByteArray& other : {QByteArray("10DM19230901115831102361name"), QByteArray("0135002309"),
                                    QByteArray("99"), QByteArray("01350023090111583\xE6\x9D\xB1")}) {
        EXPECT_EQ(rewriter.Rewrite(other, t0), other);
    }
}

QList<TEqSimLine> LoadShipped(const QString& AName)
{
    QList<TEqSimLine> lines;
    QString error;
    EXPECT_TRUE(LoadEqSimScenario(ResolveEqSimScenario(AName, ScenarioDir), lines, error)) << qPrintable(error);
    return lines;
}

QSet<QString> OfficeAreaCodes()
{
    QSet<QString> codes;
    for (int i = 0; i < GetPrefOfficeCount(); ++i) {
        codes.insert(GetPrefOffice(i).AreaCode);
    }
    return codes;
}

// Every historical earthquake of the training list has a realistic shipped sequence.
TEST(EqSimScenario, ShippedHistoricalScenariosFollowTheTrainingTable)
{
    QHash<QString, QString> fileOfId;
    for (const QString& name : ListEqSimScenarios(ScenarioDir)) {
        for (const TEqSimLine& line : LoadShipped(name)) {
            if (line.Data.startsWith("01")) {
                fileOfId.insert(TEqTelegram01(QString::fromUtf8(line.Data)).GetEqId(), name);
            }
        }
    }
    const QSet<QString> offices = OfficeAreaCodes();
    ASSERT_EQ(GetTrainingEqCount(), 14);
    for (int row = 1; row < GetTrainingEqCount(); ++row) {
        const TEqHistory& eq = GetTrainingEq(row);
        SCOPED_TRACE(eq.EpicName.toStdString());
        ASSERT_TRUE(fileOfId.contains(eq.EqID));
        QList<TEqTelegram01> reports;
        QList<TEqTelegram10> names;
        for (const TEqSimLine& line : LoadShipped(fileOfId.value(eq.EqID))) {
            const QString text = QString::fromUtf8(line.Data);
            if (text.startsWith(QLatin1String("01"))) {
                reports << TEqTelegram01(text);
            } else if (text.startsWith(QLatin1String("10"))) {
                names << TEqTelegram10(text);
            }
            EXPECT_LE(line.DelayMs, 2000);
        }
        ASSERT_GE(reports.size(), 5);
        ASSERT_EQ(names.size(), 1);
        EXPECT_EQ(names[0].GetEqId(), eq.EqID);
        EXPECT_EQ(names[0].GetEpicName(), eq.EpicName);
        for (int k = 0; k < reports.size(); ++k) {
            const TEqTelegram01& r = reports[k];
            EXPECT_EQ(r.GetHeader(), QStringLiteral("01"));
            EXPECT_EQ(r.GetTrainType(), QStringLiteral("00"));
            EXPECT_EQ(r.GetEqId(), eq.EqID);
            EXPECT_EQ(r.GetTelegNo(), k + 1);
            EXPECT_TRUE(r.GetEpicLatNorth() && r.GetEpicLongEast());
            EXPECT_EQ(r.GetOccurrenceTime(), eq.EqID.mid(4, 12));
            EXPECT_GT(r.GetPresentTime(), r.GetOccurrenceTime());
            EXPECT_EQ((r.GetTelegram().size() - 68) % 3, 0);
            for (int a = 0; a < r.GetNumOfAreaCode(); ++a) {
                EXPECT_TRUE(offices.contains(r.GetAreaCode(a))) << r.GetAreaCode(a).toStdString();
            }
            if (k > 0) {
                EXPECT_GE(r.GetRk1(), reports[k - 1].GetRk1()) << "accuracy never falls";
                EXPECT_GE(r.GetNumOfAreaCode(), reports[k - 1].GetNumOfAreaCode());
            }
        }
        const TEqTelegram01& first = reports.first();
        const TEqTelegram01& last = reports.last();
        EXPECT_EQ(first.GetRk1(), 1);
        EXPECT_EQ(first.GetNumOfAreaCode(), 0);
        EXPECT_GE(last.GetRk1(), 4);
        EXPECT_GE(last.GetRk3(), 4);
        EXPECT_GT(last.GetNumOfAreaCode(), 0);
        EXPECT_DOUBLE_EQ(last.GetMagnitude(), eq.EqMagnitude.toDouble());
        EXPECT_LE(first.GetMagnitude(), last.GetMagnitude());
        EXPECT_NEAR(last.GetEpicLat(), eq.EpicLat.toDouble(), 0.051);
        EXPECT_NEAR(last.GetEpicLong(), eq.EpicLong.toDouble(), 0.051);
        EXPECT_EQ(last.GetEpicDepth(), eq.EpicDepth.trimmed().toInt());
    }
}

TEST(EqSimScenario, ShippedSpecialScenarios)
{
    // Tokyo (area 350) is named by the later reports of the 1923 earthquake.
    const QList<TEqSimLine> kanto = LoadShipped(QStringLiteral("kanto-1923"));
    EXPECT_TRUE(TEqTelegram01(QString::fromUtf8(kanto.last().Data)).IsTargetAreaOfWarning(QStringLiteral("350")));

    for (const TEqSimLine& line : LoadShipped(QStringLiteral("drill"))) {
        if (line.Data.startsWith("01")) {
            EXPECT_EQ(TEqTelegram01(QString::fromUtf8(line.Data)).GetTrainType(), QStringLiteral("01"));
        }
    }
    const QList<TEqSimLine> deep = LoadShipped(QStringLiteral("deep"));
    EXPECT_GT(TEqTelegram01(QString::fromUtf8(deep.last().Data)).GetEpicDepth(), 150);

    QSet<QString> overlapIds;
    QList<TEqSimLine> overlap = LoadShipped(QStringLiteral("overlap"));
    for (const TEqSimLine& line : overlap.mid(0, 2)) {
        overlapIds.insert(TEqTelegram01(QString::fromUtf8(line.Data)).GetEqId());
    }
    EXPECT_EQ(overlapIds.size(), 2) << "the first two reports belong to two earthquakes";

    const QList<TEqSimLine> burst = LoadShipped(QStringLiteral("burst100"));
    ASSERT_EQ(burst.size(), 100);
    for (int i = 1; i < burst.size(); ++i) {
        EXPECT_EQ(burst[i].DelayMs, 0);
        EXPECT_TRUE(burst[i].Data.startsWith("01"));
    }
}

struct TProcessResult
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TProcessResult RunEqSim(const QStringList& AArgs)
{
    QProcess process;
    process.start(EqSimPath, AArgs);
    EXPECT_TRUE(process.waitForFinished(10000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

TEST(EqSimProgram, HelpAndErrorsAreClearWithNonZeroExit)
{
    const TProcessResult help = RunEqSim({QStringLiteral("--help")});
    EXPECT_EQ(help.ExitCode, 0);
    for (const char* option : {"--host", "--port", "--keepalive", "--loop", "--speed", "--keep-times", "--close-after",
                               "--silent", "--overlong", "--invalid-utf8", "--split", "--refuse", "--list"}) {
        EXPECT_TRUE(help.Out.contains(QLatin1String(option))) << option;
    }

    QTcpServer busy;
    ASSERT_TRUE(busy.listen(QHostAddress::LocalHost, 0));
    QTemporaryDir dir;
    const QString bad = dir.filePath(QStringLiteral("bad.txt"));
    QFile file(bad);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("+100 01abc\n+1x2 01def\n");
    file.close();
    // Sparse: one byte over the limit costs no disk.
    const QString huge = dir.filePath(QStringLiteral("huge.txt"));
    QFile hugeFile(huge);
    ASSERT_TRUE(hugeFile.open(QIODevice::WriteOnly));
    ASSERT_TRUE(hugeFile.resize(64 * 1024 * 1024 + 1));
    hugeFile.close();
    const QString pipe = dir.filePath(QStringLiteral("pipe.txt"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    const struct
    {
        QStringList Args;
        int Exit;
        QString Message;
    } cases[] = {
        {{QStringLiteral("--port"), QString::number(busy.serverPort())},
         1,
         QStringLiteral("eqsim: cannot listen on 127.0.0.1:%1: ").arg(busy.serverPort())},
        {{QStringLiteral("--port"), QStringLiteral("0"), dir.filePath(QStringLiteral("missing.txt"))},
         2,
         QStringLiteral("eqsim: cannot read scenario '%1': ").arg(dir.filePath(QStringLiteral("missing.txt")))},
        {{QStringLiteral("--port"), QStringLiteral("0"), bad},
         2,
         QStringLiteral("eqsim: %1:2: malformed delay '+1x2'").arg(bad)},
        {{QStringLiteral("--speed"), QStringLiteral("0")}, 2, QStringLiteral("eqsim: invalid value '0' for --speed")},
        // A replay so slow that its timers overflow would silently stop.
        {{QStringLiteral("--speed"), QStringLiteral("1e-7")},
         2,
         QStringLiteral("eqsim: invalid value '1e-7' for --speed (expected 0.1 to 1000)")},
        {{QStringLiteral("--speed"), QStringLiteral("nan")},
         2,
         QStringLiteral("eqsim: invalid value 'nan' for --speed")},
        {{QStringLiteral("--speed"), QStringLiteral("1001")},
         2,
         QStringLiteral("eqsim: invalid value '1001' for --speed")},
        // Read to the end, a device never ends and a pipe blocks.
        {{QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("/dev/zero")},
         2,
         QStringLiteral("eqsim: scenario '/dev/zero' is not a regular file")},
        {{QStringLiteral("--port"), QStringLiteral("0"), pipe},
         2,
         QStringLiteral("eqsim: scenario '%1' is not a regular file").arg(pipe)},
        {{QStringLiteral("--port"), QStringLiteral("0"), huge},
         2,
         QStringLiteral("eqsim: scenario '%1' is larger than 64 MiB").arg(huge)},
        {{QStringLiteral("--port"), QStringLiteral("70000")},
         2,
         QStringLiteral("eqsim: invalid value '70000' for --port")},
        {{QStringLiteral("--bogus")}, 2, QStringLiteral("eqsim: Unknown option 'bogus'.")},
    };
    for (const auto& c : cases) {
        const TProcessResult r = RunEqSim(c.Args);
        EXPECT_EQ(r.ExitCode, c.Exit) << qPrintable(c.Args.join(' '));
        EXPECT_TRUE(r.Err.startsWith(c.Message)) << qPrintable(r.Err);
        EXPECT_EQ(r.Err.count(QLatin1Char('\n')), 1) << "one line: " << qPrintable(r.Err);
    }
}

// Runs eqsim on a free port and reads its output as it comes.
class TEqSimProcess
{
public:
    explicit TEqSimProcess(const QStringList& AArgs)
    {
        FProcess.setProcessChannelMode(QProcess::SeparateChannels);
        FProcess.start(EqSimPath, QStringList{QStringLiteral("--port"), QStringLiteral("0")} + AArgs);
        static const QRegularExpression listening(QStringLiteral("(?:listening|refusing connections) on [^:]+:(\\d+)"));
        UlxTest::WaitUntil(
            [&] {
                const QRegularExpressionMatch m = listening.match(Output());
                Port = m.hasMatch() ? static_cast<quint16>(m.captured(1).toUInt()) : 0;
                return Port != 0 || FProcess.state() == QProcess::NotRunning;
            },
            5000);
    }
    ~TEqSimProcess()
    {
        FProcess.terminate();
        FProcess.waitForFinished(3000);
    }
    QString Output()
    {
        FOut += QString::fromUtf8(FProcess.readAllStandardOutput());
        return FOut;
    }
    quint16 Port = 0;

private:
    QProcess FProcess;
    QString FOut;
};

// A wait longer than one Qt timer can hold (an int of milliseconds) is made of steps.
TEST(EqSimQuitTimer, LongWaitsAreSteppedAndShortOnesEndOnTime)
{
    int calls = 0;
    const qint64 longWaitMs = 3000000LL * 1000;
    TEqSimQuitTimer longWait(longWaitMs, [&calls] { ++calls; });
    EXPECT_TRUE(longWait.IsActive());
    EXPECT_EQ(longWait.StepMs(), TEqSimQuitTimer::DefaultMaxStepMs);
    EXPECT_GT(longWait.RemainingMs(), longWaitMs - 10000);

    // Several steps of at most 100 ms, then one call at the deadline.
    QElapsedTimer clock;
    clock.start();
    int shortCalls = 0;
    qint64 endedAfterMs = -1;
    TEqSimQuitTimer shortWait(
        450,
        [&] {
            ++shortCalls;
            endedAfterMs = clock.elapsed();
        },
        100);
    EXPECT_EQ(shortWait.StepMs(), 100);
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return shortCalls > 0; }, 5000));
    UlxTest::RunFor(150);
    EXPECT_EQ(shortCalls, 1);
    EXPECT_GE(endedAfterMs, 450);
    EXPECT_EQ(calls, 0);
}

TEST(EqSimProgram, QuitAfterEndsTheProgramAndALongValueKeepsItRunning)
{
    QProcess longRun;
    longRun.start(EqSimPath, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quit-after"),
                              QStringLiteral("3000000")});
    QProcess shortRun;
    shortRun.start(EqSimPath, {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--quit-after"),
                               QStringLiteral("1")});
    ASSERT_TRUE(shortRun.waitForFinished(10000));
    EXPECT_EQ(shortRun.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(shortRun.exitCode(), 0);
    // The long one is still there, and its timer was not refused.
    ASSERT_TRUE(
        UlxTest::WaitUntil([&] { return longRun.canReadLine() || longRun.state() == QProcess::NotRunning; }, 5000));
    UlxTest::RunFor(300);
    EXPECT_EQ(longRun.state(), QProcess::Running);
    EXPECT_EQ(longRun.readAllStandardError().toStdString(), "");
    longRun.terminate();
    longRun.waitForFinished(3000);
}

TEST(EqSimEndToEnd, ReceiverGetsTheKantoSequenceWithLiveTimes)
{
    TEqSimProcess sim({QStringLiteral("--speed"), QStringLiteral("20"), QStringLiteral("kanto-1923")});
    ASSERT_NE(sim.Port, 0) << qPrintable(sim.Output());
    TEqTelegramQueues queues;
    TTestOwner owner(&queues);
    TEqReceiverThread thread(QStringLiteral("127.0.0.1"), sim.Port, QStringLiteral("E2Etest00001"),
                             QStringLiteral("350"), &owner, &queues, 3600000, nullptr);
    owner.Attach(thread);
    thread.start();
    const QList<TEqSimLine> scenario = LoadShipped(QStringLiteral("kanto-1923"));
    ASSERT_TRUE(UlxTest::WaitUntil([&] { return owner.Eq01.size() == 10 && owner.Eq10.size() == 1; }, 10000))
        << owner.Eq01.size();
    thread.StopAndJoin();
    EXPECT_TRUE(sim.Output().contains(QStringLiteral("connection request: 93:E2Etest00001:350")))
        << qPrintable(sim.Output());
    EXPECT_EQ(owner.Eq10.first(), QString::fromUtf8(scenario[2].Data));
    const QString now = VeskJapanNow().toString(QStringLiteral("yyMMdd"));
    QString occurrence;
    for (int i = 0; i < owner.Eq01.size(); ++i) {
        const TEqTelegram01 got(owner.Eq01[i]);
        EXPECT_EQ(got.GetTelegNo(), i + 1);
        EXPECT_TRUE(got.GetPresentTime().startsWith(now)) << "issue time is the moment of sending";
        if (i == 0) {
            occurrence = got.GetOccurrenceTime();
        }
        EXPECT_EQ(got.GetOccurrenceTime(), occurrence);
        EXPECT_EQ(owner.Eq01[i].mid(30), QString::fromUtf8(scenario[i < 2 ? i : i + 1].Data.mid(30)));
    }
    EXPECT_TRUE(TEqTelegram01(owner.Eq01.last()).IsTargetAreaOfWarning(QStringLiteral("350")));
}

TEST(EqSimEndToEnd, FaultModesReachTheReceiverAsLinkErrors)
{
    const struct
    {
        const char* Name;
        QStringList Args;
        int WantEq01;
        QString WantLog;
    } cases[] = {
        {"close after two lines",
         {QStringLiteral("--close-after"), QStringLiteral("2"), QStringLiteral("invalid-lines")},
         1,
         QStringLiteral("<37> TEqReceiverThread.Execute()(Value=Connection closed gracefully.)")},
        {"over-long line",
         {QStringLiteral("--overlong"), QStringLiteral("20000")},
         0,
         QStringLiteral("<37> TEqReceiverThread.Execute()(Value=Received line exceeds 16384 bytes.)")},
        {"refused",
         {QStringLiteral("--refuse")},
         0,
         QStringLiteral("<37> TEqReceiverThread.ConnectEqServer()(Value=Connection refused)")},
        {"one byte per segment, invalid UTF-8",
         {QStringLiteral("--split"), QStringLiteral("--invalid-utf8"), QStringLiteral("--keep-times"),
          QStringLiteral("invalid-lines")},
         1,
         QStringLiteral("<1> Invalid Eq telegram(Value=991)")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TEqSimProcess sim(c.Args);
        ASSERT_NE(sim.Port, 0) << qPrintable(sim.Output());
        TEqTelegramQueues queues;
        TTestOwner owner(&queues);
        UlxTest::TCapturedLog log;
        TEqReceiverThread thread(QStringLiteral("127.0.0.1"), sim.Port, QStringLiteral("E2Etest00002"),
                                 QStringLiteral("350"), &owner, &queues, 3600000, log.Logger(), 200);
        owner.Attach(thread);
        thread.start();
        EXPECT_TRUE(UlxTest::WaitUntil([&] { return log.Has(c.WantLog); }, 8000)) << qPrintable(log.Lines().join('\n'));
        EXPECT_TRUE(UlxTest::WaitUntil([&] { return owner.Eq01.size() >= c.WantEq01; }, 3000));
        thread.StopAndJoin();
        EXPECT_EQ(owner.Eq01.size(), c.WantEq01);
    }
}

TEST(EqSimEndToEnd, InvalidUtf8AndBurstArriveIntact)
{
    TEqSimProcess sim({QStringLiteral("--invalid-utf8"), QStringLiteral("--speed"), QStringLiteral("10"),
                       QStringLiteral("burst100")});
    ASSERT_NE(sim.Port, 0);
    TEqTelegramQueues queues;
    TTestOwner owner(&queues);
    TEqReceiverThread thread(QStringLiteral("127.0.0.1"), sim.Port, QStringLiteral("E2Etest00003"),
                             QStringLiteral("350"), &owner, &queues, 3600000, nullptr);
    owner.Attach(thread);
    thread.start();
    // The first events drain every telegram queued so far: the later ones, one per
    // telegram, may still wait in the event queue when the last line is drained.
    ASSERT_TRUE(UlxTest::WaitUntil(
        [&] { return owner.Eq01.size() == 100 && owner.Eq10.size() == 1 && owner.Eq01Events >= 100; }, 8000));
    thread.StopAndJoin();
    EXPECT_EQ(owner.Eq10.first(), QStringLiteral("10DM20990101000000 01999東\uFFFD\uFFFD\uFFFD\uFFFDX"));
    EXPECT_EQ(owner.Eq01Events, 100);
    const QList<TEqSimLine> burst = LoadShipped(QStringLiteral("burst100"));
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(owner.Eq01[i].mid(30), QString::fromUtf8(burst[i].Data.mid(30))) << i;
    }
}

} // namespace
