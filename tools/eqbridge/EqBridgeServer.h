#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QTcpServer>
#include <QTimer>

#include <functional>

class QTcpSocket;

// The EQ server side of the bridge: accepts receivers, logs their connection
// requests, answers their "99" keep-alives and writes telegram lines to all of
// them. A receiver that connects is sent what CatchUp answers at once (the
// latest report of an active event). While not serving (no feed), receivers are
// closed and new ones are closed as soon as they are accepted, so they show the
// link as down and keep retrying.
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

    // At most this many receivers at once; more are closed when accepted.
    static constexpr int MaxClients = 64;
    // Unknown lines of one receiver logged per minute; the rest are counted.
    static constexpr int LoggedJunkPerMinute = 5;

    // Writes AData (whole lines with their line feeds) to every connected receiver.
    void Broadcast(const QByteArray& AData);

    // Serving or not; going off closes every receiver. AReason goes to the log.
    void SetServing(bool AServing, const QString& AReason);
    bool IsServing() const { return FServing; }

    // Lines for a receiver that has just connected; empty for none.
    std::function<QByteArray()> CatchUp;

    // Called with the client number and the request line ("93:<id>:<area>").
    std::function<void(int, const QString&)> OnConnectionRequest;

private:
    struct TClient
    {
        QTcpSocket* Socket = nullptr;
        int Id = 0;
        qint64 JunkWindowStartMs = 0;
        int JunkInWindow = 0;
        qint64 JunkNotLogged = 0;
        qint64 KeepAliveLoggedMs = -1;
    };

    void OnNewConnection();
    void OnReadyRead(QTcpSocket* ASocket, int AId);
    void Remove(QTcpSocket* ASocket);
    TClient* Find(QTcpSocket* ASocket);
    void LogJunk(TClient& AClient, const QByteArray& ALine);

    TLog FLog;
    QTcpServer FServer;
    QList<TClient> FClients;
    QTimer FAcceptPause;
    int FNextId = 1;
    bool FServing = true;
    qint64 FRefusedNotLogged = 0;
};
