// Latency of the bridge: a message sent by two local WebSocket feeds at once (as
// two public feeds bring the same report) -> its type-01 line read by a receiver
// on a loopback socket, over N messages (default 1000), each its own report; the
// second copy is a duplicate. Prints the median and the 99th percentile in ms.
// Usage: bench_eqbridge_latency [N]

#include "EqBridge.h"
#include "EqBridgeFeed.h"
#include "EqBridgeServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpSocket>
#include <QTimer>
#include <QWebSocket>
#include <QWebSocketServer>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {
QString Message(int ASerial, int AEvent)
{
    return QStringLiteral(
               R"({"type":"jma_eew","EventID":"2024010116%1","Serial":%2,)"
               R"("AnnouncedTime":"2024/01/01 16:10:24","OriginTime":"2024/01/01 16:10:09",)"
               R"("Hypocenter":"石川県能登地方","Latitude":37.5,"Longitude":137.2,"Magunitude":7.4,"Depth":10,)"
               R"("isTraining":false,"isCancel":false,"isWarn":true,"isFinal":false,)"
               R"("OriginalText":"37 03 00 ND2024010116%1 390 N375 E1372 RK66554 )"
               R"(EBI 390 S07// ////// 11 391 S6+6- ////// 11 9999="})")
        .arg(AEvent, 4, 10, QLatin1Char('0'))
        .arg(ASerial);
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000;

    QWebSocketServer feed(QStringLiteral("feed"), QWebSocketServer::NonSecureMode);
    QWebSocketServer feed2(QStringLiteral("feed2"), QWebSocketServer::NonSecureMode);
    feed.listen(QHostAddress::LocalHost, 0);
    feed2.listen(QHostAddress::LocalHost, 0);
    std::unique_ptr<QWebSocket> feedSocket;
    std::unique_ptr<QWebSocket> feedSocket2;
    QObject::connect(&feed, &QWebSocketServer::newConnection, [&] { feedSocket.reset(feed.nextPendingConnection()); });
    QObject::connect(&feed2, &QWebSocketServer::newConnection,
                     [&] { feedSocket2.reset(feed2.nextPendingConnection()); });

    auto quiet = [](const QString&) {};
    TEqBridgeServer server(quiet);
    QString error;
    if (!server.Listen(QHostAddress::LocalHost, 0, error)) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(error));
        return 1;
    }
    TEqBridge bridge(quiet, [&](const QByteArray& A) { server.Broadcast(A); });
    TEqBridgeFeed link(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(feed.serverPort())), {}, quiet);
    link.OnMessage = [&](const QString& AText) { bridge.HandleMessage(AText.toUtf8()); };
    link.Start();
    TEqBridgeFeed link2(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(feed2.serverPort())), {}, quiet);
    link2.OnMessage = [&](const QString& AText) { bridge.HandleMessage(AText.toUtf8()); };
    link2.Start();

    QTcpSocket receiver;
    receiver.connectToHost(QHostAddress::LocalHost, server.Port());
    receiver.waitForConnected(5000);
    receiver.write("93:BENCHMARK000:391\n");
    while (!feedSocket || !feedSocket2 || !link.IsConnected() || !link2.IsConnected() || server.ClientCount() < 1) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    }

    // One message at a time: the next is sent when the previous line has arrived.
    std::vector<double> latencies;
    QElapsedTimer clock;
    int sent = 0;
    auto sendNext = [&] {
        ++sent;
        const QString text = Message(1 + (sent - 1) % 99, (sent - 1) / 99);
        clock.start();
        feedSocket->sendTextMessage(text);
        feedSocket2->sendTextMessage(text);
    };
    QObject::connect(&receiver, &QTcpSocket::readyRead, [&] {
        while (receiver.canReadLine()) {
            const QByteArray line = receiver.readLine();
            if (!line.startsWith("01")) {
                continue;
            }
            latencies.push_back(double(clock.nsecsElapsed()) / 1e6);
            if (sent < count) {
                QTimer::singleShot(1, sendNext);
            } else {
                QCoreApplication::quit();
            }
        }
    });
    sendNext();
    QTimer::singleShot(120000, [] { QCoreApplication::exit(2); });
    const int rc = QCoreApplication::exec();

    std::sort(latencies.begin(), latencies.end());
    if (latencies.empty()) {
        std::fprintf(stderr, "no line arrived\n");
        return 1;
    }
    const auto at = [&](double q) {
        return latencies[std::min(latencies.size() - 1, std::size_t(q * latencies.size()))];
    };
    std::printf("messages %zu  median %.3f ms  p99 %.3f ms  max %.3f ms  duplicates %d\n", latencies.size(), at(0.5),
                at(0.99), latencies.back(), bridge.Duplicates());
    return rc;
}
