#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>

#include <functional>

class QTcpSocket;

// The EQ server side of the bridge: accepts receivers, logs their connection
// requests, answers their "99" keep-alives and writes telegram lines to all of
// them. Nothing is kept for later: a receiver that connects late gets only what
// is served after it connected.
class TEqBridgeServer : public QObject
{
public:
    using TLog = std::function<void(const QString&)>;

    // A receiver whose unsent data grows beyond this is cut off, so that one that
    // stopped reading costs bounded memory and never holds the others up.
    static constexpr qint64 MaxPendingBytes = 1 << 20;

    explicit TEqBridgeServer(TLog ALog);
    ~TEqBridgeServer() override;

    bool Listen(const QHostAddress& AAddress, quint16 APort, QString& AError);
    quint16 Port() const { return FServer.serverPort(); }
    int ClientCount() const { return int(FClients.size()); }

    // Writes AData (whole lines with their line feeds) to every connected receiver.
    void Broadcast(const QByteArray& AData);

    // Called with the client number and the request line ("93:<id>:<area>").
    std::function<void(int, const QString&)> OnConnectionRequest;

private:
    struct TClient
    {
        QTcpSocket* Socket = nullptr;
        int Id = 0;
    };

    void OnNewConnection();
    void OnReadyRead(QTcpSocket* ASocket, int AId);
    void Remove(QTcpSocket* ASocket);

    TLog FLog;
    QTcpServer FServer;
    QList<TClient> FClients;
    int FNextId = 1;
};
