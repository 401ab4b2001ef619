// eqbridge as a real process: a recorded sequence replayed to ulmarox-headless,
// whose decisions must match those for the same lines served by eqsim.

#include "../app/AppTestSupport.h"
#include "EqBridgeTestSupport.h"

#include <QTcpSocket>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <memory>

namespace {

const QString EqBridgePath = QStringLiteral(ULX_BIN_DIR "/eqbridge");
const QString NotoRecording = QStringLiteral(ULX_SOURCE_DIR "/tests/eqbridge/data/noto-2024.jsonl");
const QString NotoEqId = QStringLiteral("ND20240101161010");

// "<event> <telegram no> <kind or reason> <warning>" per decided type-01 line.
QStringList Decisions(const THeadless& AApp)
{
    QStringList out;
    for (const QJsonObject& e : AApp.Events()) {
        const QString kind = e.value(QStringLiteral("event")).toString();
        if (kind != QLatin1String("alert") && kind != QLatin1String("skip") && kind != QLatin1String("rejected")) {
            continue;
        }
        QString detail = e.value(QStringLiteral("kind")).toString() + e.value(QStringLiteral("reason")).toString();
        if (kind == QLatin1String("alert")) {
            detail +=
                e.value(QStringLiteral("warning")).toBool() ? QStringLiteral(" warning") : QStringLiteral(" forecast");
        }
        out << QStringLiteral("%1 %2 %3 %4")
                   .arg(e.value(QStringLiteral("eq_id")).toString())
                   .arg(e.value(QStringLiteral("telegram_no")).toInt())
                   .arg(kind, detail)
                   .trimmed();
    }
    return out;
}

// Runs the receiver against a server on APort until it has decided ACount telegrams.
QStringList RunReceiver(const TTestFolders& AFolders, int APort, int ACount, QStringList* ARequests = nullptr,
                        TChild* AServer = nullptr)
{
    THeadless app(AFolders, THeadless::ServerArgs(APort));
    const bool decided = WaitUntil([&] { return Decisions(app).size() >= ACount; });
    // A moment more, so that a line too many would show.
    WaitUntil([] { return false; }, 500);
    EXPECT_TRUE(decided) << qPrintable(app.Out() + app.Err() + (AServer ? AServer->Err() : QString()));
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));
    if (ARequests && AServer) {
        *ARequests = AServer->Err().split(QLatin1Char('\n')).filter(QStringLiteral("connection request"));
    }
    return Decisions(app);
}

} // namespace

TEST(EqBridgeEndToEnd, ReplayGivesTheReceiverTheSameDecisionsAsEqsim)
{
    // The served lines, as --print shows them.
    TChild print;
    print.Start(EqBridgePath, {QStringLiteral("--replay"), NotoRecording, QStringLiteral("--print")},
                QProcessEnvironment::systemEnvironment());
    ASSERT_TRUE(print.WaitForEnd());
    WaitUntil([] { return false; }, 50);
    ASSERT_EQ(print.ExitCode(), 0) << qPrintable(print.Err());
    const QStringList served = print.Lines();
    // Seven reports (the repeated fifth and the heartbeat are not served), each with its epicentre
    // name, six of them after their area forecast.
    ASSERT_EQ(served.size(), 20) << qPrintable(print.Out());
    EXPECT_EQ(served.filter(QRegularExpression(QStringLiteral("^11ND"))).size(), 6);
    EXPECT_TRUE(print.Err().contains(QStringLiteral("duplicate ND20240101161010 #5"))) << qPrintable(print.Err());

    // Report 1 rests on one station; reports 3 and 4 warn the Noto area (390) only, so
    // the Ishikawa office's forecast alert is upgraded by report 5, which adds 391.
    const std::vector<QString> expected = {
        NotoEqId + QStringLiteral(" 1 rejected accuracy"),
        NotoEqId + QStringLiteral(" 2 alert new forecast"),
        // Later reports with a new magnitude or position update the alert.
        NotoEqId + QStringLiteral(" 3 alert update forecast"),
        NotoEqId + QStringLiteral(" 4 alert update forecast"),
        NotoEqId + QStringLiteral(" 5 alert upgrade warning"),
        NotoEqId + QStringLiteral(" 6 skip"),
        NotoEqId + QStringLiteral(" 7 alert update warning"),
    };
    const QStringList want(expected.begin(), expected.end());

    QStringList fromBridge;
    {
        TTestFolders folders;
        PlaceAtIshikawa(folders);
        TChild bridge;
        bridge.Start(EqBridgePath,
                     {QStringLiteral("--replay"), NotoRecording, QStringLiteral("--listen"),
                      QStringLiteral("127.0.0.1:0"), QStringLiteral("--speed"), QStringLiteral("20")},
                     folders.Environment());
        int port = 0;
        ASSERT_TRUE(WaitUntil([&] { return (port = ListeningPort(bridge)) > 0; })) << qPrintable(bridge.Err());
        QStringList requests;
        fromBridge = RunReceiver(folders, port, int(want.size()), &requests, &bridge);
        ASSERT_EQ(requests.size(), 1) << qPrintable(bridge.Err());
        EXPECT_TRUE(requests.first().endsWith(QStringLiteral(":391"))) << qPrintable(requests.first());
    }
    EXPECT_EQ(fromBridge.join(QLatin1Char('\n')).toStdString(), want.join(QLatin1Char('\n')).toStdString());

    QStringList fromEqsim;
    {
        TTestFolders folders;
        PlaceAtIshikawa(folders);
        QByteArray scenario;
        for (const QString& line : served) {
            scenario += "+100 " + line.toUtf8() + '\n';
        }
        const QString scenarioPath = folders.File(QStringLiteral("noto.txt"));
        ASSERT_TRUE(folders.WriteFile(scenarioPath, scenario));
        TEqSim sim({scenarioPath}, folders.Environment());
        ASSERT_GT(sim.Port, 0) << qPrintable(sim.Out() + sim.Err());
        fromEqsim = RunReceiver(folders, sim.Port, int(want.size()));
    }
    EXPECT_EQ(fromEqsim.join(QLatin1Char('\n')).toStdString(), fromBridge.join(QLatin1Char('\n')).toStdString());
}

// The program on a live feed: a receiver gets the lines, the recording gets the
// message on one line (the feed's line breaks inside it removed), the heartbeat is not kept.
TEST(EqBridgeEndToEnd, SourceServesTheFeedAndRecordsIt)
{
    TTestFolders folders;
    QWebSocketServer feed(QStringLiteral("feed"), QWebSocketServer::NonSecureMode);
    ASSERT_TRUE(feed.listen(QHostAddress::LocalHost, 0));
    std::unique_ptr<QWebSocket> feedSocket;
    QObject::connect(&feed, &QWebSocketServer::newConnection, [&] { feedSocket.reset(feed.nextPendingConnection()); });

    const QString recording = folders.File(QStringLiteral("rec.jsonl"));
    TChild bridge;
    bridge.Start(EqBridgePath,
                 {QStringLiteral("--source"), QStringLiteral("ws://127.0.0.1:%1/").arg(feed.serverPort()),
                  QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0"), QStringLiteral("--record"), recording},
                 folders.Environment());
    int port = 0;
    // Receivers are served once the feed link is up.
    ASSERT_TRUE(WaitUntil([&] {
        return (port = ListeningPort(bridge)) > 0 && feedSocket &&
               bridge.Err().contains(QStringLiteral("serving receivers again: feed link up"));
    })) << qPrintable(bridge.Err());

    QTcpSocket receiver;
    receiver.connectToHost(QHostAddress::LocalHost, quint16(port));
    ASSERT_TRUE(receiver.waitForConnected(5000));
    receiver.write("93:ABCDEFGHIJKL:391\n");
    ASSERT_TRUE(WaitUntil([&] { return bridge.Err().contains(QStringLiteral("connection request")); }));

    QFile source(NotoRecording);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray first = source.readLine().trimmed();
    const QByteArray spread = QJsonDocument::fromJson(first).toJson(QJsonDocument::Indented);
    feedSocket->sendTextMessage(QStringLiteral(R"({"type":"heartbeat","ver":"1"})"));
    feedSocket->sendTextMessage(QString::fromUtf8(spread));
    QByteArray received;
    ASSERT_TRUE(WaitUntil([&] {
        received += receiver.readAll();
        return received.count('\n') >= 2;
    })) << qPrintable(bridge.Err());
    EXPECT_EQ(received, QByteArray("013700240101161013240101161009ND20240101161010001N376E13730104311/8/\n"
                                   "10ND20240101161010001390") +
                            QStringLiteral("石川県能登地方").toUtf8() + '\n');

    // The message is recorded after it is served.
    QFile recorded(recording);
    ASSERT_TRUE(WaitUntil([&] { return recorded.size() > 0; }));
    ASSERT_TRUE(bridge.SignalAndWait(SIGTERM));
    ASSERT_TRUE(recorded.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = recorded.readAll().split('\n');
    ASSERT_EQ(lines.size(), 2); // one line and the empty rest after its line feed
    EXPECT_EQ(QJsonDocument::fromJson(lines[0]), QJsonDocument::fromJson(first));
}
