#pragma once

#include "defines/VeskDefines.h"
#include "net/EqTelegramQueues.h"
#include "net/VeskNetworkAvailableChecker.h"

#include <QMutex>
#include <QObject>
#include <QString>
#include <QThread>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

class TVeskLogger;
class TEqTcpClient;

// Connectivity question asked by the receive loop; AError explains ncrQueryFailed.
using TNetAvailableFunc = std::function<TNetCheckResult(QString& AError)>;

// The background thread that owns the link to the EQ server for the whole run:
// it connects, sends the connection request, reads lines, keeps the link alive,
// queues telegram records for the main thread and reports the link status.
// On any link failure it waits and connects again, until it is stopped.
//
// Status hand-over: SetServerCommStatus and PutServerCommStatus of the status
// sink run on the thread of the owner object (or of the application when there
// is no owner) while this thread waits. The last hand-over happens when the
// thread ends, so the owner must keep serving events while it waits for the
// thread: use StopAndJoin(), never a bare wait(), on the main thread.
class TEqReceiverThread : public QThread
{
public:
    static constexpr quint32 DefaultReconnectWait = 60000;
    static constexpr quint32 DefaultTimeoutMargin = 60000;
    // The connectivity question is asked at least this often while connected.
    static constexpr int MaxPassIntervalMs = 1000;

    // An empty AConId draws a random one (MakeConId). Without ANetAvailable the
    // thread asks its own TVeskNetworkAvailableChecker. The thread is created
    // stopped; call start().
    TEqReceiverThread(const QString& AServerHost, int AServerPort, const QString& AConId, const QString& AAreaCode,
                      QObject* AOwnerForm, TEqTelegramQueues* AQueues, quint32 AKeepAliveInterval, TVeskLogger* ALogger,
                      quint32 AReconnectWait = DefaultReconnectWait, quint32 ATimeoutMargin = DefaultTimeoutMargin,
                      TNetAvailableFunc ANetAvailable = {});
    // Stops and joins the thread first when it still runs (serving its last hand-over).
    ~TEqReceiverThread() override;

    bool ConnectEqServer();
    bool LoginEqServerApp();
    bool SendKeepAlive();
    // Target of WM_EQ01_QUEUED / WM_EQ10_QUEUED; takes effect with the next event.
    void SetOwnerFormHandle(QObject* AOwnerForm);
    // Replaces the lock that guards the queues; call before start().
    void SetQueueLockCS(QMutex* ALock);
    // Told about every invalid line, on the receiver thread; set before start().
    void SetInvalidTelegramHandler(std::function<void(const QString&)> AHandler)
    {
        FInvalidTelegramHandler = std::move(AHandler);
    }
    void UpdateCommStatus(TServerCommStatus ANewStatus);
    void QueueEq01Telegram(const QString& ATelegram);
    void QueueEq10Telegram(const QString& ATelegram);

    // Thread-safe; ends any wait of the thread within milliseconds.
    void RequestStop();
    bool IsTerminated() const { return FTerminated.load(); }
    // Requests the stop and waits for the thread, processing events meanwhile.
    void StopAndJoin();

    QString GetServerHost() const { return FServerHost; }
    int GetServerPort() const { return FServerPort; }
    QString GetConId() const { return FConId; }
    QString GetAreaCode() const { return FAreaCode; }
    TVeskLogger* Logger() const { return FLogger; }

    // 12 characters drawn from "0-9A-Za-z+-/*_".
    static QString MakeConId();
    static QString ConnectionRequest(const QString& AConId, const QString& AAreaCode);

protected:
    void run() override;

private:
    using TClock = std::chrono::steady_clock;

    void Execute();
    void InitTcpClient();
    bool TakeInterval(quint32 AMs);
    // One pass after another until the link ends; false with AError on a link error.
    bool ReceiveLoop(QString& AError);
    void ClassifyTelegram();
    TNetCheckResult AskNetwork(QString& AError);
    qint64 ElapsedMs(TClock::time_point ASince) const;

    std::unique_ptr<TEqTcpClient> FTcpClient;
    QString FServerHost;
    int FServerPort = 0;
    QString FRcvData;
    QString FTelegram;
    QString FConId;
    QString FAreaCode;
    quint32 FKeepAliveInterval = 0;
    quint32 FReconnectWait = DefaultReconnectWait;
    quint32 FTimeoutMargin = DefaultTimeoutMargin;
    std::atomic<QObject*> FOwnerFormHandle{nullptr};
    QMutex* FQueueLockCS = nullptr;
    TEqTelegramQueues* FQueues = nullptr;
    std::unique_ptr<TVeskNetworkAvailableChecker> FNetAvailableChecker;
    TNetAvailableFunc FNetAvailable;
    std::function<void(const QString&)> FInvalidTelegramHandler;
    TVeskLogger* FLogger = nullptr;

    std::atomic<bool> FTerminated{false};
    int FWakeFd = -1;
    // Keep-alive state of the current connection: time of the last event and keep-alive outstanding.
    TClock::time_point FLastEvent;
    bool FKeepAliveOutstanding = false;
};
