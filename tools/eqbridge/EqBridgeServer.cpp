#include "EqBridgeServer.h"

#include <QTcpSocket>

namespace {
// A receiver's own lines are short; more than this without a line feed is abuse.
constexpr qint64 MaxClientLineBytes = 16384;

QString Shown(const QByteArray& ALine)
{
    constexpr qsizetype Limit = 200;
    return QString::fromUtf8(ALine.left(Limit)) + (ALine.size() > Limit ? QStringLiteral("...") : QString());
}
} // namespace

TEqBridgeServer::TEqBridgeServer(TLog ALog) : FLog(std::move(ALog))
{
    connect(&FServer, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
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

void TEqBridgeServer::OnNewConnection()
{
    while (QTcpSocket* socket = FServer.nextPendingConnection()) {
        const int id = FNextId++;
        socket->setParent(this);
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
    }
}

void TEqBridgeServer::OnReadyRead(QTcpSocket* ASocket, int AId)
{
    while (ASocket->canReadLine()) {
        QByteArray line = ASocket->readLine();
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (line.startsWith("93:")) {
            FLog(QStringLiteral("client %1 connection request: %2").arg(AId).arg(Shown(line)));
            if (OnConnectionRequest) {
                OnConnectionRequest(AId, QString::fromUtf8(line));
            }
        } else if (line == "99") {
            FLog(QStringLiteral("client %1 keep-alive, answered").arg(AId));
            ASocket->write("99\n");
            ASocket->flush();
        } else if (!line.isEmpty()) {
            FLog(QStringLiteral("client %1 sent an unknown line: %2").arg(AId).arg(Shown(line)));
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
