#pragma once

#include "defines/VeskDefines.h"
#include "defines/VeskPlatform.h"
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
// Status hand-over: commStatusChanged is delivered synchronously on the
// receiving object's thread while this thread waits (ConnectCommStatus makes
// that connection). The last hand-over happens when the thread ends, so the
// receiver's thread must serve it while it waits: use StopAndJoin(), never a
// bare wait(), on the main thread.
class TEqReceiverThread : public QThread
{
    Q_OBJECT

public:
    static constexpr quint32 DefaultReconnectWait = 60000;
    static constexpr quint32 DefaultTimeoutMargin = 60000;
    // The connectivity question is asked at least this often while connected.
    static constexpr int MaxPassIntervalMs = 1000;

    // Without ANetAvailable the thread asks its own TVeskNetworkAvailableChecker.
    // The thread is created stopped; call start().
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
    // Delivers the link status to AReceiver's thread synchronously: this thread
    // waits until ASlot has run there.
    template <typename TReceiver, typename TSlot>
    QMetaObject::Connection ConnectCommStatus(const TReceiver* AReceiver, TSlot ASlot)
    {
        return connect(this, &TEqReceiverThread::commStatusChanged, AReceiver, ASlot, Qt::BlockingQueuedConnection);
    }
    void UpdateCommStatus(TServerCommStatus ANewStatus);
    void QueueEq01Telegram(const QString& ATelegram);
    void QueueEq10Telegram(const QString& ATelegram);
    // A type-11 line: JMA's area forecast of the report whose type-01 line follows.
    void QueueEq11Telegram(const QString& ATelegram);

    // Thread-safe; ends any wait of the thread within milliseconds.
    void RequestStop();
    // Thread-safe: the server is back (a relay of ours restarted), so the wait
    // before the next connection ends now instead of after its full length.
    void ReconnectNow();
    bool IsTerminated() const { return FTerminated.load(); }
    // Requests the stop and waits for the thread, meanwhile serving only the status
    // hand-overs it sends; no other event (user input included) is delivered.
    void StopAndJoin();

    QString GetServerHost() const { return FServerHost; }
    int GetServerPort() const { return FServerPort; }
    QString GetConId() const { return FConId; }
    QString GetAreaCode() const { return FAreaCode; }
    TVeskLogger* Logger() const { return FLogger; }

    static QString ConnectionRequest(const QString& AConId, const QString& AAreaCode);

signals:
    // Emitted on this thread; see ConnectCommStatus.
    void commStatusChanged(TServerCommStatus ANewStatus);
    // A line that is neither a telegram nor a keep-alive; emitted on this thread.
    void invalidTelegram(const QString& ALine);

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
    TEqTelegramQueues* FQueues = nullptr;
    std::unique_ptr<TVeskNetworkAvailableChecker> FNetAvailableChecker;
    TNetAvailableFunc FNetAvailable;
    TVeskLogger* FLogger = nullptr;

    std::atomic<bool> FTerminated{false};
    std::atomic<bool> FReconnectNow{false};
    TVeskWakeEvent FWake;
    // Keep-alive state of the current connection: time of the last event and keep-alive outstanding.
    TClock::time_point FLastEvent;
    bool FKeepAliveOutstanding = false;
};
