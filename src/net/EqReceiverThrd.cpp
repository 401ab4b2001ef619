#include "net/EqReceiverThrd.h"

#include "logging/VeskLogging.h"
#include "net/EqTcpClient.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEvent>
#include <QMetaObject>
#include <QMutexLocker>

#include <algorithm>

TEqReceiverThread::TEqReceiverThread(const QString& AServerHost, int AServerPort, const QString& AConId,
                                     const QString& AAreaCode, QObject* AOwnerForm, TEqTelegramQueues* AQueues,
                                     quint32 AKeepAliveInterval, TVeskLogger* ALogger, quint32 AReconnectWait,
                                     quint32 ATimeoutMargin, TNetAvailableFunc ANetAvailable)
    : FServerHost(AServerHost), FServerPort(AServerPort), FConId(AConId), FAreaCode(AAreaCode),
      FKeepAliveInterval(AKeepAliveInterval), FReconnectWait(AReconnectWait), FTimeoutMargin(ATimeoutMargin),
      FOwnerFormHandle(AOwnerForm), FQueues(AQueues), FNetAvailable(std::move(ANetAvailable)),
      FLogger(TVeskLogger::OrNull(ALogger))
{
    setObjectName(QStringLiteral("TEqReceiverThread"));
    InitTcpClient();
    if (!FNetAvailable) {
        FNetAvailableChecker = std::make_unique<TVeskNetworkAvailableChecker>(FServerHost, FLogger);
    }
}

TEqReceiverThread::~TEqReceiverThread()
{
    StopAndJoin();
    // The client refers to FWake, which would otherwise be destroyed first.
    FTcpClient.reset();
    FNetAvailableChecker.reset();
}

QString TEqReceiverThread::ConnectionRequest(const QString& AConId, const QString& AAreaCode)
{
    return QStringLiteral("93:") + AConId + QLatin1Char(':') + AAreaCode;
}

void TEqReceiverThread::ReconnectNow()
{
    FReconnectNow.store(true);
}

void TEqReceiverThread::RequestStop()
{
    FTerminated.store(true);
    // The event stays signalled, so every later wait ends at once too.
    FWake.Signal();
}

void TEqReceiverThread::StopAndJoin()
{
    RequestStop();
    if (QThread::currentThread() == this) {
        return;
    }
    // The thread's last act is a blocking hand-over: serve such calls (posted
    // meta-calls) until it ends, but no other event, user input included.
    while (!wait(QDeadlineTimer(2))) {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::MetaCall);
    }
}

void TEqReceiverThread::SetOwnerFormHandle(QObject* AOwnerForm)
{
    FOwnerFormHandle.store(AOwnerForm);
}

void TEqReceiverThread::InitTcpClient()
{
    FTcpClient.reset();
    FTcpClient = std::make_unique<TEqTcpClient>(FServerHost, static_cast<quint16>(FServerPort), FWake);
    FLogger->Send(vmtLinkDetail, QStringLiteral("Initialized TcpClient."));
}

qint64 TEqReceiverThread::ElapsedMs(TClock::time_point ASince) const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(TClock::now() - ASince).count();
}

bool TEqReceiverThread::TakeInterval(quint32 AMs)
{
    const QString name = QStringLiteral("TEqReceiverThread.TakeInterval()");
    FLogger->EnterMethod(name);
    FLogger->Send(vmtLinkDetail, QStringLiteral("Interval(msec)"), static_cast<qint64>(AMs));
    const TClock::time_point start = TClock::now();
    bool result = true;
    for (;;) {
        if (IsTerminated()) {
            result = false;
            break;
        }
        const qint64 passed = ElapsedMs(start);
        if (passed > static_cast<qint64>(AMs) || FReconnectNow.exchange(false)) {
            break;
        }
        // Sleeps until just past the end of the interval or until a stop request;
        // a reconnect request is seen within a second, as often as a connected pass.
        FWake.Wait(static_cast<int>(std::min<qint64>(AMs - passed + 1, MaxPassIntervalMs)));
    }
    FLogger->ExitMethod(name);
    return result;
}

bool TEqReceiverThread::ConnectEqServer()
{
    const QString name = QStringLiteral("TEqReceiverThread.ConnectEqServer()");
    FLogger->EnterMethod(name);
    bool result = false;
    if (FTcpClient) {
        QString error;
        if (!FTcpClient->Connect(error)) {
            FLogger->Send(vmtCaught, name, error);
        }
        result = FTcpClient->IsConnected();
        FLogger->Send(vmtLinkDetail, QStringLiteral("TEqReceiverThread.ConnectEqServer() result"), result);
    }
    FLogger->ExitMethod(name);
    return result;
}

bool TEqReceiverThread::LoginEqServerApp()
{
    const QString name = QStringLiteral("TEqReceiverThread.LoginEqServerApp()");
    FLogger->EnterMethod(name);
    const QString request = ConnectionRequest(FConId, FAreaCode);
    FLogger->Send(vmtLinkDetail, QStringLiteral("Connection request"), request);
    QString error;
    bool result = false;
    if (!FTcpClient) {
        error = QStringLiteral("Not connected.");
    } else {
        result = FTcpClient->WriteLine(request.toLatin1(), error);
    }
    if (!result) {
        FLogger->Send(vmtCaught, QStringLiteral("LoginEqServerApp()"), error);
    }
    FLogger->Send(vmtLinkDetail, QStringLiteral("TEqReceiverThread.LoginEqServerApp() result"), result);
    FLogger->ExitMethod(name);
    return result;
}

bool TEqReceiverThread::SendKeepAlive()
{
    const QString name = QStringLiteral("TEqReceiverThread.SendKeepAlive()");
    FLogger->EnterMethod(name);
    bool result = false;
    if (!FTcpClient || !FTcpClient->IsConnected()) {
        FLogger->Send(vmtWarning, QStringLiteral("TcpClient is disconnected."));
    } else {
        FLogger->Send(vmtLinkDetail, QStringLiteral("Send keep alive"), QStringLiteral("99"));
        QString error;
        result = FTcpClient->WriteLine(QByteArrayLiteral("99"), error);
        if (!result) {
            FLogger->Send(vmtCaught, QStringLiteral("SendKeepAlive()"), error);
        }
    }
    FLogger->ExitMethod(name);
    return result;
}

void TEqReceiverThread::UpdateCommStatus(TServerCommStatus ANewStatus)
{
    FLogger->Send(vmtLinkDetail, QStringLiteral("UpdateCommStatus()"), QStringLiteral("from Thread."));
    emit commStatusChanged(ANewStatus);
}

void TEqReceiverThread::QueueEq01Telegram(const QString& ATelegram)
{
    TEqTelegram01 record;
    record.SetTelegram(ATelegram);
    if (FQueues) {
        QMutexLocker lock(&FQueues->Lock);
        FQueues->Eq01.push_back(record);
    }
    if (QObject* target = FOwnerFormHandle.load()) {
        QCoreApplication::postEvent(target, new QEvent(WM_EQ01_QUEUED));
    }
}

void TEqReceiverThread::QueueEq10Telegram(const QString& ATelegram)
{
    TEqTelegram10 record;
    record.SetTelegram(ATelegram);
    if (FQueues) {
        QMutexLocker lock(&FQueues->Lock);
        FQueues->Eq10.push_back(record);
    }
    if (QObject* target = FOwnerFormHandle.load()) {
        QCoreApplication::postEvent(target, new QEvent(WM_EQ10_QUEUED));
    }
}

void TEqReceiverThread::run()
{
    Execute();
}

TNetCheckResult TEqReceiverThread::AskNetwork(QString& AError)
{
    if (FNetAvailable) {
        return FNetAvailable(AError);
    }
    if (FNetAvailableChecker) {
        return FNetAvailableChecker->CheckNetwork(&AError);
    }
    return ncrAvailable;
}

void TEqReceiverThread::Execute()
{
    const QString name = QStringLiteral("TEqReceiverThread.Execute()");
    FLogger->Send(vmtNotable, name, QStringLiteral("Start."));
    while (!IsTerminated()) {
        InitTcpClient();
        if (!ConnectEqServer()) {
            if (!IsTerminated()) {
                UpdateCommStatus(scsDisconnected);
                TakeInterval(FReconnectWait);
            }
            continue;
        }
        UpdateCommStatus(scsConnected);
        if (!LoginEqServerApp()) {
            if (!IsTerminated()) {
                UpdateCommStatus(scsDisconnected);
                TakeInterval(FReconnectWait);
            }
            continue;
        }
        FReconnectNow.store(false); // served: the link is up
        FLogger->Send(vmtLinkDetail, QStringLiteral("Entering communication loop."));
        FRcvData.clear();
        FTelegram.clear();
        FLastEvent = TClock::now();
        FKeepAliveOutstanding = false;
        QString error;
        if (!ReceiveLoop(error)) {
            FLogger->Send(vmtCaught, name, error);
            UpdateCommStatus(scsDisconnected);
        }
        // A given-up link is closed now, so the server does not keep a dead client for the whole wait.
        FTcpClient->Close();
        if (!IsTerminated()) {
            UpdateCommStatus(scsWaiting);
            TakeInterval(FReconnectWait);
        }
    }
    FTcpClient.reset();
    FLogger->Send(vmtNotable, name, QStringLiteral("End."));
    UpdateCommStatus(scsDisconnected);
}

void TEqReceiverThread::ClassifyTelegram()
{
    if (FTelegram == QLatin1String("99")) {
        FKeepAliveOutstanding = false;
    } else if (FTelegram.startsWith(QLatin1String("01"))) {
        FLogger->Send(vmtQueued, QStringLiteral("Eew01 Queued"), FTelegram);
        QueueEq01Telegram(FTelegram);
    } else if (FTelegram.startsWith(QLatin1String("10"))) {
        FLogger->Send(vmtQueued, QStringLiteral("Eew10 Queued"), FTelegram);
        QueueEq10Telegram(FTelegram);
    } else if (FTelegram.startsWith(QLatin1String("11"))) {
        FLogger->Send(vmtQueued, QStringLiteral("Eew11 Queued"), FTelegram);
        QueueEq11Telegram(FTelegram);
    } else {
        FLogger->Send(vmtRejected, QStringLiteral("Invalid Eq telegram"), FTelegram);
        emit invalidTelegram(FTelegram);
    }
    FTelegram.clear();
}

void TEqReceiverThread::QueueEq11Telegram(const QString& ATelegram)
{
    const TEqTelegram11 record(ATelegram);
    if (FQueues) {
        QMutexLocker lock(&FQueues->Lock);
        FQueues->Eq11.push_back(record);
    }
    if (QObject* target = FOwnerFormHandle.load()) {
        QCoreApplication::postEvent(target, new QEvent(WM_EQ11_QUEUED));
    }
}

bool TEqReceiverThread::ReceiveLoop(QString& AError)
{
    const qint64 interval = FKeepAliveInterval;
    const qint64 timeOut = interval + FTimeoutMargin;
    while (!IsTerminated()) {
        const TNetCheckResult net = AskNetwork(AError);
        if (net == ncrUnavailable) {
            FLogger->Send(vmtLinkDetail, QStringLiteral("Detect disconnected internet connection"));
            return true;
        }
        if (net == ncrQueryFailed) {
            // A failed query cannot be trusted to mean "online": handled like a link error.
            if (AError.isEmpty()) {
                AError = QStringLiteral("Network availability query failed.");
            }
            return false;
        }

        // Wait for a line no longer than the next keep-alive or time-out decision needs.
        const qint64 quiet = ElapsedMs(FLastEvent);
        const qint64 due = (FKeepAliveOutstanding ? timeOut : interval) + 1 - quiet;
        const int waitMs = static_cast<int>(std::clamp<qint64>(due, 0, MaxPassIntervalMs));
        const TEqTcpClient::TReadResult read = FTcpClient->ReadLine(waitMs, FRcvData, AError);
        if (read == TEqTcpClient::rrError) {
            return false;
        }

        if (!FRcvData.isEmpty()) {
            FLogger->Send(vmtLinkDetail, QStringLiteral("Receive data"), FRcvData);
            FLastEvent = TClock::now();
            FTelegram = FRcvData;
            FRcvData.clear();
        }
        if (!FTelegram.isEmpty()) {
            ClassifyTelegram();
        }

        const TClock::time_point now = TClock::now();
        const qint64 elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(now - FLastEvent).count();
        if (FKeepAliveOutstanding && elapsed > timeOut) {
            FLogger->Send(vmtWarning, QStringLiteral("Time out error."),
                          QString::asprintf("%lld msec past", static_cast<long long>(elapsed)));
            UpdateCommStatus(scsDisconnected);
            return true;
        }
        if (!FKeepAliveOutstanding && elapsed > interval) {
            SendKeepAlive();
            FKeepAliveOutstanding = true;
            FLastEvent = now;
        }
    }
    return true;
}
