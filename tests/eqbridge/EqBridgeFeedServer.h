#pragma once

// The feed of the bridge tests: a local WebSocket server that remembers its connections.

#include <QElapsedTimer>
#include <QHostAddress>
#include <QUrl>
#include <QWebSocket>
#include <QWebSocketServer>

#include <vector>

class TFeedServer
{
public:
    TFeedServer() : FServer(QStringLiteral("feed"), QWebSocketServer::NonSecureMode)
    {
        QObject::connect(&FServer, &QWebSocketServer::newConnection, [this] {
            while (QWebSocket* socket = FServer.nextPendingConnection()) {
                Connections.push_back(socket);
                ConnectedAt.push_back(FClock.elapsed());
            }
        });
        FClock.start();
    }
    // The server hands its connections over; they are ours to delete.
    ~TFeedServer() { qDeleteAll(Connections); }
    TFeedServer(const TFeedServer&) = delete;
    TFeedServer& operator=(const TFeedServer&) = delete;
    bool Listen(quint16 APort = 0) { return FServer.listen(QHostAddress::LocalHost, APort); }
    void Close() { FServer.close(); }
    quint16 Port() const { return FServer.serverPort(); }
    QUrl Url() const { return QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(FPort ? FPort : Port())); }
    void Send(const QByteArray& AText) { Connections.back()->sendTextMessage(QString::fromUtf8(AText)); }
    qint64 Elapsed() const { return FClock.elapsed(); }
    // To every link still open.
    void SendAll(const QByteArray& AText)
    {
        for (QWebSocket* socket : Connections) {
            if (socket->state() == QAbstractSocket::ConnectedState) {
                socket->sendTextMessage(QString::fromUtf8(AText));
            }
        }
    }
    int OpenCount() const
    {
        int n = 0;
        for (const QWebSocket* socket : Connections) {
            n += socket->state() == QAbstractSocket::ConnectedState ? 1 : 0;
        }
        return n;
    }
    // The feed goes away: no listening, every link closed.
    void GoDown()
    {
        FServer.close();
        for (QWebSocket* socket : Connections) {
            socket->abort();
        }
    }

    std::vector<QWebSocket*> Connections;
    std::vector<qint64> ConnectedAt;
    quint16 FPort = 0;

private:
    QWebSocketServer FServer;
    QElapsedTimer FClock;
};
