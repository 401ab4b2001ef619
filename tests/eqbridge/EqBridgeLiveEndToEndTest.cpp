// eqbridge as a real process between feeds of this test (local WebSocket servers)
// and a real ulmarox-headless: catch-up, the feed's status as the receiver sees it,
// two feeds bringing the same report, and a cancel to today's receiver.

#include "../app/AppTestSupport.h"
#include "EqBridgeFeedServer.h"
#include "EqBridgeTestSupport.h"

#include <QDateTime>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <cstdio>

namespace {

const QString EqBridgePath = QStringLiteral(ULX_BIN_DIR "/eqbridge");

// A relay message of an M7.4 earthquake at Noto that occurred a few seconds ago
// (times in Japan, as JMA writes them).
QByteArray NotoMessage(const QString& AEventId, int ASerial, bool ACancel = false)
{
    const QDateTime now = VeskJapanNow();
    const QString announced = now.toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    const QString origin = now.addSecs(-3).toString(QStringLiteral("yyyy/MM/dd HH:mm:ss"));
    const QString code = ACancel ? QStringLiteral("39 03 10 ND%1 9999=").arg(AEventId)
                                 : QStringLiteral("37 03 00 ND%1 390 N375 E1372 RK66554 9999=").arg(AEventId);
    return QStringLiteral(R"({"type":"jma_eew","Issue":{"Status":"通常"},"EventID":"%1","Serial":%2,)"
                          R"("AnnouncedTime":"%3","OriginTime":"%4",)"
                          R"("Hypocenter":"石川県能登地方","Latitude":37.5,"Longitude":137.2,"Magunitude":7.4,)"
                          R"("Depth":10,"isTraining":false,"isCancel":%5,"isWarn":false,"isFinal":false,)"
                          R"("OriginalText":"%6"})")
        .arg(AEventId)
        .arg(ASerial)
        .arg(announced, origin, ACancel ? QStringLiteral("true") : QStringLiteral("false"), code)
        .toUtf8();
}

// eqbridge on a free port, fed by the given local feeds.
class TLiveBridge : public TChild
{
public:
    TLiveBridge(const TTestFolders& AFolders, const std::vector<TFeedServer*>& AFeeds)
    {
        QStringList args{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")};
        for (TFeedServer* feed : AFeeds) {
            args << QStringLiteral("--source") << feed->Url().toString();
        }
        Start(EqBridgePath, args, AFolders.Environment());
        WaitUntil([&] { return (Port = ListeningPort(*this)) > 0; });
    }
    int Port = 0;
};

// The receiver's folders at the Ishikawa office and eqbridge on the given feeds.
struct TLiveRig
{
    TTestFolders Folders;
    std::unique_ptr<TLiveBridge> Bridge;

    // The feeds listen already; true once the bridge serves and every feed has its link.
    bool Start(const std::vector<TFeedServer*>& AFeeds)
    {
        PlaceAtIshikawa(Folders);
        Bridge = std::make_unique<TLiveBridge>(Folders, AFeeds);
        return Bridge->Port > 0 && WaitUntil([&] {
                   for (const TFeedServer* feed : AFeeds) {
                       if (feed->OpenCount() != 1) {
                           return false;
                       }
                   }
                   return true;
               });
    }
    QString BridgeLog() const { return Bridge ? Bridge->Err() : QString(); }

    // A receiver of the bridge that has alerted on report 2 of AEventId, sent by AFeed.
    std::unique_ptr<THeadless> AlertedReceiver(TFeedServer& AFeed, const QString& AEventId)
    {
        auto app = std::make_unique<THeadless>(Folders, THeadless::ServerArgs(Bridge->Port));
        EXPECT_TRUE(app->WaitForConnected()) << qPrintable(app->Err() + BridgeLog());
        AFeed.SendAll(NotoMessage(AEventId, 2));
        EXPECT_TRUE(app->WaitForEvent(IsEvent(QStringLiteral("alert"), QStringLiteral("ND") + AEventId)))
            << qPrintable(app->Err() + BridgeLog());
        return app;
    }
};

int CountEvents(const THeadless& AApp, const QString& AKind, const QString& AEqId)
{
    int n = 0;
    for (const QJsonObject& e : AApp.Events(AKind)) {
        n += e.value(QStringLiteral("eq_id")).toString() == AEqId ? 1 : 0;
    }
    return n;
}

bool IsStatus(const QJsonObject& E, const char* AStatus)
{
    return E.value(QStringLiteral("event")).toString() == QLatin1String("status") &&
           E.value(QStringLiteral("status")).toString() == QLatin1String(AStatus);
}

} // namespace

// A receiver that starts 5 s after the warning gets the report at once and alerts.
TEST(EqBridgeLive, ReceiverStartingDuringAnEventAlerts)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    TLiveRig rig;
    ASSERT_TRUE(rig.Start({&feed})) << qPrintable(rig.BridgeLog());
    const TTestFolders& folders = rig.Folders;
    TLiveBridge& bridge = *rig.Bridge;
    feed.SendAll(NotoMessage(QStringLiteral("20261210090001"), 2));
    ASSERT_TRUE(WaitUntil([&] { return bridge.Err().contains(QStringLiteral("ND20261210090001")); }))
        << qPrintable(bridge.Err());

    WaitUntil([] { return false; }, 5000);
    QElapsedTimer started;
    started.start();
    THeadless app(folders, THeadless::ServerArgs(bridge.Port));
    const QString eqId = QStringLiteral("ND20261210090001");
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqId)))
        << qPrintable(app.Out() + app.Err() + bridge.Err());
    // For the record, not a limit: start of the receiver -> its alert line.
    std::printf("catch-up: receiver start -> alert line %lld ms\n", static_cast<long long>(started.elapsed()));
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));
}

// The feed goes away: within 15 s the receiver shows the link as waiting; the feed
// comes back: the receiver is served again and gets the active event.
TEST(EqBridgeLive, LostFeedIsTheReceiversLinkStatus)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    const quint16 feedPort = feed.Port();
    feed.FPort = feedPort;
    TLiveRig rig;
    ASSERT_TRUE(rig.Start({&feed})) << qPrintable(rig.BridgeLog());
    const std::unique_ptr<THeadless> app = rig.AlertedReceiver(feed, QStringLiteral("20261210090002"));
    const QString eqId = QStringLiteral("ND20261210090002");

    feed.GoDown();
    QElapsedTimer down;
    down.start();
    ASSERT_TRUE(app->WaitForEvent([](const QJsonObject& E) { return IsStatus(E, "waiting"); }, 20000))
        << qPrintable(app->Out() + rig.BridgeLog());
    EXPECT_LT(down.elapsed(), 15000);
    EXPECT_TRUE(rig.BridgeLog().contains(QStringLiteral("feed"))) << qPrintable(rig.BridgeLog());

    // Back: the bridge reconnects by itself, the receiver after its own wait, and
    // the active event reaches it again (the same report: a skip).
    ASSERT_TRUE(feed.Listen(feedPort));
    ASSERT_TRUE(WaitUntil([&] { return feed.OpenCount() == 1; }, 70000)) << qPrintable(rig.BridgeLog());
    const int connectedBefore = int(app->Events(QStringLiteral("status")).size());
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<QJsonObject> s = app->Events(QStringLiteral("status"));
            return int(s.size()) > connectedBefore && IsStatus(s.back(), "connected");
        },
        90000))
        << qPrintable(app->Out() + rig.BridgeLog());
    ASSERT_TRUE(WaitUntil([&] { return CountEvents(*app, QStringLiteral("skip"), eqId) >= 1; }))
        << qPrintable(app->Out() + rig.BridgeLog());
    EXPECT_TRUE(app->SignalAndWait(SIGTERM));
}

// Two feeds bring the same report: it is served once and alerts once.
TEST(EqBridgeLive, SameReportFromTwoFeedsAlertsOnce)
{
    TFeedServer first;
    TFeedServer second;
    ASSERT_TRUE(first.Listen());
    ASSERT_TRUE(second.Listen());
    TLiveRig rig;
    ASSERT_TRUE(rig.Start({&first, &second})) << qPrintable(rig.BridgeLog());
    const TTestFolders& folders = rig.Folders;
    TLiveBridge& bridge = *rig.Bridge;

    THeadless app(folders, THeadless::ServerArgs(bridge.Port));
    ASSERT_TRUE(app.WaitForConnected()) << qPrintable(app.Err() + bridge.Err());
    const QByteArray message = NotoMessage(QStringLiteral("20261210090003"), 2);
    first.SendAll(message);
    second.SendAll(message);
    const QString eqId = QStringLiteral("ND20261210090003");
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), eqId))) << qPrintable(app.Err() + bridge.Err());
    ASSERT_TRUE(WaitUntil([&] { return bridge.Err().contains(QStringLiteral("duplicate")); }))
        << qPrintable(bridge.Err());
    WaitUntil([] { return false; }, 1000);
    EXPECT_EQ(CountEvents(app, QStringLiteral("alert"), eqId), 1);
    EXPECT_EQ(CountEvents(app, QStringLiteral("skip"), eqId), 0) << qPrintable(app.Out());
    EXPECT_TRUE(app.SignalAndWait(SIGTERM));
}

// A cancel is served as a type-01 line with type code 39 (a receiver that does not
// read that code takes it as one more report of a known earthquake); ours cancels.
TEST(EqBridgeLive, CancelIsAKnownEarthquakeToAReceiverThatIgnoresItsType)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    TLiveRig rig;
    ASSERT_TRUE(rig.Start({&feed})) << qPrintable(rig.BridgeLog());
    const std::unique_ptr<THeadless> app = rig.AlertedReceiver(feed, QStringLiteral("20261210090004"));
    const QString eqId = QStringLiteral("ND20261210090004");
    feed.SendAll(NotoMessage(QStringLiteral("20261210090004"), 3, true));
    // Served first (a skip of the earlier report can come before it, from the catch-up).
    ASSERT_TRUE(WaitUntil([&] { return rig.BridgeLog().contains(QStringLiteral("0139")); }))
        << qPrintable(rig.BridgeLog());
    ASSERT_TRUE(WaitUntil([&] { return CountEvents(*app, QStringLiteral("cancel"), eqId) >= 1; }))
        << qPrintable(app->Out() + rig.BridgeLog());
    EXPECT_EQ(CountEvents(*app, QStringLiteral("alert"), eqId), 1);
    EXPECT_TRUE(app->SignalAndWait(SIGTERM));
    EXPECT_EQ(app->ExitCode(), 0);
}

namespace {

// The eqbridge processes whose parent is APid.
QStringList BridgeChildren(qint64 APid)
{
    QProcess pgrep;
    pgrep.start(QStringLiteral("pgrep"), {QStringLiteral("-P"), QString::number(APid), QStringLiteral("eqbridge")});
    pgrep.waitForFinished(5000);
    return QString::fromLatin1(pgrep.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

// "-Feed": the receiver starts its own relay on the feeds of its settings, alerts
// through it, starts it again when it dies (and reconnects), and stops it at exit.
TEST(EqBridgeLive, FeedOptionRunsTheRelayAsAChild)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    TTestFolders folders;
    PlaceAtIshikawa(folders);
    QFile conf(folders.DataFolder() + QStringLiteral("/UlmaroX.cnf"));
    ASSERT_TRUE(conf.open(QIODevice::Append));
    conf.write("[NetConfig_Sheet]\nFeedSources=" + feed.Url().toString().toUtf8() + "\n");
    conf.close();

    THeadless app(folders, {QStringLiteral("-Feed")});
    auto logText = [&] {
        QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
        return log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()).right(3000) : QString();
    };
    ASSERT_TRUE(app.WaitForConnected()) << qPrintable(app.Err() + logText());
    ASSERT_TRUE(WaitUntil([&] { return feed.OpenCount() == 1; })) << "the relay's link to the feed";
    const QStringList children = BridgeChildren(app.Pid());
    ASSERT_EQ(children.size(), 1);

    const QString eventId = QStringLiteral("20260101120000");
    feed.SendAll(NotoMessage(eventId, 2));
    ASSERT_TRUE(app.WaitForEvent(IsEvent(QStringLiteral("alert"), QStringLiteral("ND") + eventId)))
        << qPrintable(app.Err());

    // The relay dies: another takes its port, and the receiver, told so, connects
    // again within seconds rather than after its minute of reconnect wait.
    const int connectedBefore = int(app.Events(QStringLiteral("status")).size());
    ::kill(pid_t(children.first().toLongLong()), SIGKILL);
    ASSERT_TRUE(WaitUntil(
        [&] {
            const QStringList now = BridgeChildren(app.Pid());
            return now.size() == 1 && now.first() != children.first();
        },
        10000));
    ASSERT_TRUE(WaitUntil(
        [&] {
            const std::vector<QJsonObject> statuses = app.Events(QStringLiteral("status"));
            return int(statuses.size()) > connectedBefore + 1 && IsStatus(statuses.back(), "connected");
        },
        15000))
        << qPrintable(app.Out());

    ASSERT_TRUE(app.SignalAndWait(SIGTERM));
    EXPECT_EQ(app.ExitCode(), 0);
    EXPECT_TRUE(BridgeChildren(app.Pid()).isEmpty());
    QFile log(folders.DataFolder() + QStringLiteral("/UlmaroX.csl"));
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(log.readAll());
    EXPECT_TRUE(text.contains(QStringLiteral("eqbridge ended; restarting."))) << qPrintable(text.right(2000));
    EXPECT_TRUE(text.contains(QStringLiteral("eqbridge stopped.")));
}
