#include "TestSupport.h"
// The bridge in this process between a local WebSocket server (the feed) and
// receivers on loopback sockets: reconnection, dead links, late and slow receivers.

#include "EqBridge.h"
#include "EqBridgeFeed.h"
#include "EqBridgeFeedServer.h"
#include "EqBridgeServer.h"
#include "EqBridgeWebSocket.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {

bool WaitUntil(const std::function<bool()>& APredicate, int ATimeoutMs = 10000)
{
    return UlxTest::WaitUntil(APredicate, ATimeoutMs);
}

QByteArray Message(int ASerial, const char* AEventId = "20240101161010")
{
    return QStringLiteral(
               R"({"type":"jma_eew","Issue":{"Status":"通常"},"EventID":"%1","Serial":%2,)"
               R"("AnnouncedTime":"2024/01/01 16:10:%3","OriginTime":"2024/01/01 16:10:09",)"
               R"("Hypocenter":"石川県能登地方","Latitude":37.5,"Longitude":137.2,"Magunitude":7.4,"Depth":10,)"
               R"("isTraining":false,"isCancel":false,"isWarn":false,"isFinal":false,)"
               R"("OriginalText":"37 03 00 ND%1 390 N375 E1372 RK66554 9999="})")
        .arg(QLatin1String(AEventId))
        .arg(ASerial)
        .arg(10 + ASerial)
        .toUtf8();
}

// A receiver on a loopback socket, collecting the lines it is sent.
class TReceiver
{
public:
    explicit TReceiver(quint16 APort, bool AReads = true)
    {
        if (!AReads) {
            // Qt stops taking data from the kernel, so the bridge's side fills up.
            FSocket.setReadBufferSize(1);
            FSocket.setSocketOption(QAbstractSocket::ReceiveBufferSizeSocketOption, 4096);
        }
        QObject::connect(&FSocket, &QTcpSocket::readyRead, [this, AReads] {
            while (AReads && FSocket.canReadLine()) {
                Lines << QString::fromUtf8(FSocket.readLine()).trimmed();
            }
        });
        FSocket.connectToHost(QHostAddress::LocalHost, APort);
        FSocket.waitForConnected(5000);
        FSocket.write("93:ABCDEFGHIJKL:391\n");
    }
    QStringList Lines;
    QTcpSocket FSocket;
};

// Feed, bridge and EQ server wired as in the program.
struct TBridgeRig
{
    explicit TBridgeRig(const QUrl& AUrl, const TEqBridgeFeedTiming& ATiming = {})
        : Server(Log()), Bridge(Log(), [this](const QByteArray& A) { Server.Broadcast(A); }), Feed(AUrl, ATiming, Log())
    {
        QString error;
        Listening = Server.Listen(QHostAddress::LocalHost, 0, error);
        Feed.OnMessage = [this](const QString& AText) { Bridge.HandleMessage(AText.toUtf8()); };
        Feed.Start();
    }
    std::function<void(const QString&)> Log()
    {
        return [this](const QString& ALine) { LogLines << ALine; };
    }
    QStringList LogLines;
    TEqBridgeServer Server;
    TEqBridge Bridge;
    TEqBridgeFeed Feed;
    bool Listening = false;
};

} // namespace

TEST(EqBridgeFeed, WaitDoublesFromOneSecondToOneMinute)
{
    std::vector<int> waits{1000};
    while (waits.size() < 9) {
        waits.push_back(TEqBridgeFeed::NextRetryMs(waits.back(), 60000));
    }
    EXPECT_EQ(waits, (std::vector<int>{1000, 2000, 4000, 8000, 16000, 32000, 60000, 60000, 60000}));
}

// The feed drops the link after a message: the bridge reconnects after the first
// wait of one second and serves the next message to the receiver still connected.
TEST(EqBridgeLink, ReconnectsAfterTheFeedDropsTheLinkAndServesTheNextMessage)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    TBridgeRig rig(feed.Url());
    ASSERT_TRUE(rig.Listening);
    TReceiver receiver(rig.Server.Port());
    ASSERT_TRUE(WaitUntil([&] { return feed.Connections.size() == 1 && rig.Server.ClientCount() == 1; }));

    feed.Send(Message(1));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Lines.size() == 2; })) << qPrintable(rig.LogLines.join('\n'));
    EXPECT_TRUE(receiver.Lines[0].startsWith(QStringLiteral("0137")));
    const qint64 droppedAt = feed.Elapsed();
    feed.Connections.back()->close();

    ASSERT_TRUE(WaitUntil([&] { return feed.Connections.size() == 2; })) << qPrintable(rig.LogLines.join('\n'));
    EXPECT_GE(feed.ConnectedAt[1] - droppedAt, 900);
    EXPECT_LT(feed.ConnectedAt[1] - droppedAt, 5000);
    EXPECT_EQ(rig.LogLines.filter(QStringLiteral("reconnecting in 1000 ms")).size(), 1)
        << qPrintable(rig.LogLines.join('\n'));
    ASSERT_TRUE(WaitUntil([&] { return rig.Feed.IsConnected(); }));
    feed.Send(Message(1)); // sent again after the reconnection: served once only
    feed.Send(Message(2));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Lines.size() == 4; })) << qPrintable(rig.LogLines.join('\n'));
    EXPECT_TRUE(receiver.Lines[2].contains(QStringLiteral("ND20240101161010002"))) << qPrintable(receiver.Lines[2]);
    WaitUntil([] { return false; }, 100);
    EXPECT_EQ(receiver.Lines.size(), 4);
}

// A feed that refuses: the waits double up to the cap; once it listens again the
// bridge connects, serves, and starts the next wait from the first again.
TEST(EqBridgeLink, RefusedFeedIsRetriedWithDoublingWaits)
{
    TFeedServer feed;
    ASSERT_TRUE(feed.Listen());
    const quint16 port = feed.Port();
    feed.FPort = port;
    feed.Close();
    TBridgeRig rig(feed.Url(), TEqBridgeFeedTiming{100, 400, 30000, 90000});
    ASSERT_TRUE(WaitUntil([&] { return rig.LogLines.filter(QStringLiteral("reconnecting in")).size() >= 5; }))
        << qPrintable(rig.LogLines.join('\n'));
    const QStringList waits = rig.LogLines.filter(QStringLiteral("reconnecting in"));
    const std::vector<const char*> expected = {"in 100 ms", "in 200 ms", "in 400 ms", "in 400 ms", "in 400 ms"};
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(waits[int(i)].endsWith(QLatin1String(expected[i]))) << qPrintable(waits[int(i)]);
    }

    ASSERT_TRUE(feed.Listen(port));
    TReceiver receiver(rig.Server.Port());
    ASSERT_TRUE(WaitUntil([&] { return feed.Connections.size() == 1 && rig.Server.ClientCount() == 1; }));
    ASSERT_TRUE(WaitUntil([&] { return rig.Feed.IsConnected(); }));
    feed.Send(Message(3));
    ASSERT_TRUE(WaitUntil([&] { return receiver.Lines.size() == 2; }));
    feed.Connections.back()->close();
    ASSERT_TRUE(WaitUntil([&] { return rig.LogLines.last().contains(QStringLiteral("reconnecting in")); }));
    EXPECT_TRUE(rig.LogLines.last().endsWith(QStringLiteral("in 100 ms"))) << qPrintable(rig.LogLines.last());
}

// A feed that accepts the WebSocket handshake and then says nothing, answering no
// ping: the dead-link time-out gives the link up and the bridge connects again.
TEST(EqBridgeLink, SilentFeedIsGivenUpAfterTheDeadLinkTimeOut)
{
    QTcpServer silent;
    ASSERT_TRUE(silent.listen(QHostAddress::LocalHost, 0));
    std::vector<std::unique_ptr<QTcpSocket>> accepted;
    QObject::connect(&silent, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* s = silent.nextPendingConnection()) {
            accepted.emplace_back(s);
            QObject::connect(s, &QTcpSocket::readyRead, [s] {
                const QByteArray request = s->readAll();
                const qsizetype at = request.indexOf("Sec-WebSocket-Key: ");
                if (at < 0) {
                    return;
                }
                const QByteArray key = request.mid(at + 19, request.indexOf("\r\n", at) - at - 19);
                const QByteArray accept =
                    QCryptographicHash::hash(key + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1)
                        .toBase64();
                s->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                         "Sec-WebSocket-Accept: " +
                         accept + "\r\n\r\n");
            });
        }
    });
    TBridgeRig rig(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(silent.serverPort())),
                   TEqBridgeFeedTiming{100, 400, 100, 500});
    ASSERT_TRUE(WaitUntil([&] { return rig.Feed.IsConnected(); })) << qPrintable(rig.LogLines.join('\n'));
    QElapsedTimer clock;
    clock.start();
    ASSERT_TRUE(WaitUntil([&] { return accepted.size() >= 2; })) << qPrintable(rig.LogLines.join('\n'));
    EXPECT_GE(clock.elapsed(), 400);
    EXPECT_EQ(rig.LogLines.filter(QStringLiteral("nothing received for 500 ms")).size(), 1)
        << qPrintable(rig.LogLines.join('\n'));
}

// A receiver that connects late gets only what comes after; one that does not read
// is cut off while the others get every line.
TEST(EqBridgeLink, LateReceiverGetsNothingOldAndSlowReceiverBlocksNoOne)
{
    QStringList log;
    TEqBridgeServer server([&](const QString& A) { log << A; });
    QString error;
    ASSERT_TRUE(server.Listen(QHostAddress::LocalHost, 0, error)) << qPrintable(error);
    TEqBridge bridge([&](const QString& A) { log << A; }, [&](const QByteArray& A) { server.Broadcast(A); });

    TReceiver early(server.Port());
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 1; }));
    bridge.HandleMessage(Message(1));
    ASSERT_TRUE(WaitUntil([&] { return early.Lines.size() == 2; }));

    TReceiver late(server.Port());
    TReceiver stalled(server.Port(), false);
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 3; }));
    WaitUntil([] { return false; }, 100);
    EXPECT_TRUE(late.Lines.isEmpty()) << qPrintable(late.Lines.join('\n'));
    bridge.HandleMessage(Message(2));
    ASSERT_TRUE(WaitUntil([&] { return late.Lines.size() == 2; }));
    EXPECT_TRUE(late.Lines[0].contains(QStringLiteral("ND20240101161010002")));

    // Far more than the stalled receiver's buffers hold, in blocks the way Broadcast gets them.
    const QByteArray block = QByteArray(60000, 'x') + '\n';
    constexpr int Blocks = 200;
    for (int i = 0; i < Blocks; ++i) {
        server.Broadcast(block);
        QCoreApplication::processEvents();
    }
    ASSERT_TRUE(WaitUntil([&] { return early.Lines.size() == 4 + Blocks && late.Lines.size() == 2 + Blocks; }))
        << early.Lines.size() << " " << late.Lines.size();
    ASSERT_TRUE(WaitUntil([&] { return server.ClientCount() == 2; })) << qPrintable(log.join('\n'));
    EXPECT_EQ(log.filter(QStringLiteral("does not read")).size(), 1) << qPrintable(log.join('\n'));
    EXPECT_EQ(log.filter(QStringLiteral("connection request: 93:ABCDEFGHIJKL:391")).size(), 3);
}

// The receiver's keep-alive is answered at once.
TEST(EqBridgeLink, KeepAliveIsAnswered)
{
    TEqBridgeServer server([](const QString&) {});
    QString error;
    ASSERT_TRUE(server.Listen(QHostAddress::LocalHost, 0, error));
    TReceiver receiver(server.Port());
    receiver.FSocket.write("99\r\n");
    ASSERT_TRUE(WaitUntil([&] { return !receiver.Lines.isEmpty(); }));
    EXPECT_EQ(receiver.Lines, QStringList{QStringLiteral("99")});
}

namespace {

// A feed of raw frames: answers the handshake, then writes what the test gives.
class TRawFeed
{
    QTcpServer FServer; // first: its accepted sockets go before it

public:
    TRawFeed()
    {
        FServer.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&FServer, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* s = FServer.nextPendingConnection()) {
                Sockets.emplace_back(s);
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] {
                    if (Open) {
                        return; // the client's frames are the test's to read
                    }
                    const QByteArray request = s->readAll();
                    const qsizetype at = request.indexOf("Sec-WebSocket-Key: ");
                    if (at < 0) {
                        return;
                    }
                    const QByteArray key = request.mid(at + 19, request.indexOf("\r\n", at) - at - 19);
                    s->write("HTTP/1.1 101 Switching Protocols\r\nUpgrade: websocket\r\nConnection: Upgrade\r\n"
                             "Sec-WebSocket-Accept: " +
                             TEqBridgeWebSocket::AcceptFor(key) + "\r\n\r\n");
                    Open = true;
                });
            }
        });
    }
    QUrl Url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(FServer.serverPort())); }
    // An unmasked server frame.
    static QByteArray Frame(int AOpcode, bool AFin, const QByteArray& APayload)
    {
        QByteArray f;
        f.append(char((AFin ? 0x80 : 0) | AOpcode));
        if (APayload.size() < 126) {
            f.append(char(APayload.size()));
        } else {
            f.append(char(126));
            f.append(char(APayload.size() >> 8));
            f.append(char(APayload.size() & 0xFF));
        }
        return f + APayload;
    }
    void Write(const QByteArray& AData) { Sockets.back()->write(AData); }
    bool Open = false;
    std::vector<std::unique_ptr<QTcpSocket>> Sockets;
};

} // namespace

// Only a whole text message must be valid UTF-8 (RFC 6455 5.6, 8.1): fragments
// split inside a character are one message; a ping between them is answered; a
// message that is not UTF-8 as a whole drops the link with its reason.
TEST(EqBridgeLink, TextSplitInsideACharacterIsOneMessage)
{
    TRawFeed feed;
    TEqBridgeWebSocket socket(1 << 20);
    QStringList texts;
    QString closed;
    socket.OnText = [&](const QString& AText) { texts << AText; };
    socket.OnClosed = [&](int ACode, const QString& AReason) { closed = QString::number(ACode) + ' ' + AReason; };
    socket.Open(feed.Url());
    ASSERT_TRUE(WaitUntil([&] { return feed.Open; }));
    const QByteArray message = QStringLiteral("{\"Hypocenter\":\"石川県能登地方\"}").toUtf8();
    const qsizetype cut = message.indexOf("能") + 1; // one byte into a three-byte character
    feed.Write(TRawFeed::Frame(0x1, false, message.left(cut)) + TRawFeed::Frame(0x9, true, "p") +
               TRawFeed::Frame(0x0, false, message.mid(cut, 2)) + TRawFeed::Frame(0x0, true, message.mid(cut + 2)));
    ASSERT_TRUE(WaitUntil([&] { return !texts.isEmpty(); })) << qPrintable(closed);
    EXPECT_EQ(texts, QStringList{QString::fromUtf8(message)});
    // The pong to the ping: opcode 0xA, masked, payload "p".
    ASSERT_TRUE(WaitUntil([&] { return feed.Sockets.back()->bytesAvailable() >= 7; }));
    const QByteArray pong = feed.Sockets.back()->readAll();
    EXPECT_EQ(quint8(pong[0]), 0x8A);
    EXPECT_EQ(quint8(pong[1]), 0x81);
    EXPECT_EQ(char(pong[6] ^ pong[2]), 'p');

    feed.Write(TRawFeed::Frame(0x1, true, message.left(cut)));
    ASSERT_TRUE(WaitUntil([&] { return !closed.isEmpty(); }));
    EXPECT_EQ(closed, QStringLiteral("1007 Invalid UTF-8 code encountered."));
    EXPECT_EQ(texts.size(), 1);
}

// A message is bounded before it is taken in, also when it comes in fragments.
TEST(EqBridgeLink, FragmentsBeyondTheMessageBoundCloseTheLink)
{
    TRawFeed feed;
    TEqBridgeWebSocket socket(1000);
    int code = 0;
    socket.OnClosed = [&](int ACode, const QString&) { code = ACode; };
    socket.Open(feed.Url());
    ASSERT_TRUE(WaitUntil([&] { return feed.Open; }));
    feed.Write(TRawFeed::Frame(0x1, false, QByteArray(600, 'a')) + TRawFeed::Frame(0x0, true, QByteArray(600, 'b')));
    ASSERT_TRUE(WaitUntil([&] { return code != 0; }));
    EXPECT_EQ(code, TEqBridgeWebSocket::CloseTooMuchData);
}
