#include "EqBridgeServer.h"

#include <QDateTime>
#include <QTcpSocket>

namespace {
// A receiver's own lines are short; more than this without a line feed is abuse.
constexpr qint64 MaxClientLineBytes = 16384;
// Accepting stops this long when the process is out of descriptors.
constexpr int AcceptPauseMs = 1000;

QString Shown(const QByteArray& ALine)
{
    constexpr qsizetype Limit = 200;
    return QString::fromUtf8(ALine.left(Limit)) + (ALine.size() > Limit ? QStringLiteral("...") : QString());
}

qint64 NowMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}
} // namespace

TEqBridgeServer::TEqBridgeServer(TLog ALog) : FLog(std::move(ALog))
{
    connect(&FServer, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
    // Out of descriptors, the pending connection stays and would wake the loop
    // again at once: accepting pauses for a moment instead of spinning.
    FAcceptPause.setSingleShot(true);
    connect(&FAcceptPause, &QTimer::timeout, this, [this] { FServer.resumeAccepting(); });
    connect(&FServer, &QTcpServer::acceptError, this, [this](QAbstractSocket::SocketError) {
        if (!FAcceptPause.isActive()) {
            FLog(QStringLiteral("cannot accept a receiver: %1; accepting again in %2 ms")
                     .arg(FServer.errorString())
                     .arg(AcceptPauseMs));
            FServer.pauseAccepting();
            FAcceptPause.start(AcceptPauseMs);
        }
    });
}

TEqBridgeServer::~TEqBridgeServer()
{
    for (const TClient& client : FClients) {
        client.Socket->disconnect(this);
        client.Socket->abort();
    }
}

bool TEqBridgeServer::Listen(const QHostAddress& AAddress, quint16 APort, QString& AError)
{
    if (!FServer.listen(AAddress, APort)) {
        AError =
            QStringLiteral("cannot listen on %1:%2: %3").arg(AAddress.toString()).arg(APort).arg(FServer.errorString());
        return false;
    }
    FLog(QStringLiteral("listening on %1:%2").arg(AAddress.toString()).arg(FServer.serverPort()));
    return true;
}

void TEqBridgeServer::SetServing(bool AServing, const QString& AReason)
{
    if (AServing == FServing) {
        return;
    }
    FServing = AServing;
    if (AServing) {
        FLog(QStringLiteral("serving receivers again: %1").arg(AReason));
        return;
    }
    FLog(QStringLiteral("not serving receivers: %1; closing %2 receiver(s)").arg(AReason).arg(FClients.size()));
    const QList<TClient> clients = FClients;
    for (const TClient& client : clients) {
        client.Socket->disconnectFromHost();
    }
}

void TEqBridgeServer::OnNewConnection()
{
    while (QTcpSocket* socket = FServer.nextPendingConnection()) {
        socket->setParent(this);
        if (!FServing || FClients.size() >= MaxClients) {
            // Logged once a burst, so a reconnecting crowd cannot flood the log.
            if (FRefusedNotLogged++ == 0) {
                FLog(FServing ? QStringLiteral("receiver refused: %1 receivers already connected").arg(MaxClients)
                              : QStringLiteral("receiver closed at once: no feed link"));
            }
            connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            socket->disconnectFromHost();
            continue;
        }
        if (FRefusedNotLogged > 1) {
            FLog(QStringLiteral("%1 more receivers were refused or closed").arg(FRefusedNotLogged - 1));
        }
        FRefusedNotLogged = 0;
        const int id = FNextId++;
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        FClients.append({socket, id});
        FLog(QStringLiteral("client %1 connected from %2:%3")
                 .arg(id)
                 .arg(socket->peerAddress().toString())
                 .arg(socket->peerPort()));
        connect(socket, &QTcpSocket::readyRead, this, [this, socket, id] { OnReadyRead(socket, id); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket, id] {
            FLog(QStringLiteral("client %1 disconnected").arg(id));
            Remove(socket);
        });
        if (CatchUp) {
            const QByteArray lines = CatchUp();
            if (!lines.isEmpty()) {
                socket->write(lines);
                socket->flush();
                FLog(QStringLiteral("client %1 sent the active event(s): %2 line(s)").arg(id).arg(lines.count('\n')));
            }
        }
    }
}

TEqBridgeServer::TClient* TEqBridgeServer::Find(QTcpSocket* ASocket)
{
    for (TClient& client : FClients) {
        if (client.Socket == ASocket) {
            return &client;
        }
    }
    return nullptr;
}

void TEqBridgeServer::LogJunk(TClient& AClient, const QByteArray& ALine)
{
    const qint64 now = NowMs();
    if (now - AClient.JunkWindowStartMs >= 60000) {
        if (AClient.JunkNotLogged > 0) {
            FLog(QStringLiteral("client %1 sent %2 more unknown lines").arg(AClient.Id).arg(AClient.JunkNotLogged));
        }
        AClient.JunkWindowStartMs = now;
        AClient.JunkInWindow = 0;
        AClient.JunkNotLogged = 0;
    }
    if (AClient.JunkInWindow < LoggedJunkPerMinute) {
        ++AClient.JunkInWindow;
        FLog(QStringLiteral("client %1 sent an unknown line: %2%3")
                 .arg(AClient.Id)
                 .arg(Shown(ALine), AClient.JunkInWindow == LoggedJunkPerMinute
                                        ? QStringLiteral(" (further ones this minute are only counted)")
                                        : QString()));
    } else {
        ++AClient.JunkNotLogged;
    }
}

void TEqBridgeServer::OnReadyRead(QTcpSocket* ASocket, int AId)
{
    TClient* client = Find(ASocket);
    if (!client) {
        ASocket->readAll();
        return;
    }
    while (ASocket->canReadLine()) {
        QByteArray line = ASocket->readLine();
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (line.startsWith("93:")) {
            FLog(QStringLiteral("client %1 connection request: %2").arg(AId).arg(Shown(line)));
            if (OnConnectionRequest) {
                OnConnectionRequest(AId, QString::fromUtf8(line));
            }
        } else if (line == "99") {
            // A receiver sends one every half minute or so; more often is logged at most every ten seconds.
            const qint64 now = NowMs();
            if (client->KeepAliveLoggedMs < 0 || now - client->KeepAliveLoggedMs >= 10000) {
                client->KeepAliveLoggedMs = now;
                FLog(QStringLiteral("client %1 keep-alive, answered").arg(AId));
            }
            ASocket->write("99\n");
            ASocket->flush();
        } else if (!line.isEmpty()) {
            LogJunk(*client, line);
        }
    }
    if (ASocket->bytesAvailable() > MaxClientLineBytes) {
        FLog(QStringLiteral("client %1 sent %2 bytes without a line feed, closed")
                 .arg(AId)
                 .arg(ASocket->bytesAvailable()));
        ASocket->abort();
    }
}

void TEqBridgeServer::Broadcast(const QByteArray& AData)
{
    // A copy: cutting a client off removes it from the list.
    const QList<TClient> clients = FClients;
    for (const TClient& client : clients) {
        if (client.Socket->state() != QAbstractSocket::ConnectedState) {
            continue;
        }
        if (client.Socket->bytesToWrite() + AData.size() > MaxPendingBytes) {
            FLog(QStringLiteral("client %1 does not read (%2 bytes unsent), cut off")
                     .arg(client.Id)
                     .arg(client.Socket->bytesToWrite()));
            client.Socket->abort();
            continue;
        }
        client.Socket->write(AData);
        client.Socket->flush(); // as much as the kernel takes now, without waiting
    }
}

void TEqBridgeServer::Remove(QTcpSocket* ASocket)
{
    for (qsizetype i = 0; i < FClients.size(); ++i) {
        if (FClients.at(i).Socket == ASocket) {
            FClients.removeAt(i);
            break;
        }
    }
    ASocket->deleteLater();
}
