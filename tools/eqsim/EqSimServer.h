#pragma once

#include "EqSimScenario.h"

#include <QFile>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

class QTcpSocket;

struct TEqSimOptions
{
    QHostAddress Host = QHostAddress(QHostAddress::LocalHost);
    QString HostText = QStringLiteral("127.0.0.1");
    quint16 Port = 8000;
    int KeepAliveSeconds = 0; // 0: the simulator sends no keep-alives of its own
    bool Loop = false;
    double Speed = 1.0;
    bool KeepTimes = false;
    int CloseAfter = -1;   // close each connection after this many scenario lines
    bool Silent = false;   // never answer keep-alives, send none
    int OverlongBytes = 0; // > 0: send one line this long right after accepting
    bool InvalidUtf8 = false;
    bool Split = false; // every byte its own segment
    int SplitDelayMs = 1;
    bool Refuse = false;
    QString LogFile;
};

class TEqSimServer;

// One connected client with its own replay of the scenario.
class TEqSimSession : public QObject
{
public:
    TEqSimSession(TEqSimServer* AServer, QTcpSocket* ASocket, int AId);
    void Start();
    void SendRaw(const QByteArray& AData, bool AIsKeepAlive = false);
    int Id() const { return FId; }
    bool IsOpen() const;

private:
    void OnReadyRead();
    void ReplayNext();
    void ScheduleNext();
    void SplitTick();
    void CloseWhenFlushed();

    TEqSimServer* FServer;
    QTcpSocket* FSocket;
    int FId;
    qsizetype FIndex = 0;
    int FLinesSent = 0;
    bool FClosing = false;
    QTimer FReplayTimer;
    QTimer FSplitTimer;
    QByteArray FSplitQueue;
    TEqSimTimeRewriter FRewriter;
};

class TEqSimServer : public QObject
{
public:
    TEqSimServer(const TEqSimOptions& AOptions, const QList<TEqSimLine>& AScenario);
    ~TEqSimServer() override;
    // Starts listening (or, to refuse connections, only reserves the port); false with AError.
    bool Start(QString& AError);
    quint16 Port() const { return FPort; }

    const TEqSimOptions& Options() const { return FOptions; }
    const QList<TEqSimLine>& Scenario() const { return FScenario; }
    void Print(const QString& AText);

private:
    void OnNewConnection();
    void SendKeepAlives();

    TEqSimOptions FOptions;
    QList<TEqSimLine> FScenario;
    QTcpServer FServer;
    QTimer FKeepAliveTimer;
    QFile FLog;
    int FNextId = 1;
    int FRefuseFd = -1;
    quint16 FPort = 0;
    QList<QPointer<TEqSimSession>> FSessions;
};
