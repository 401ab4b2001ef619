#include "EqBridgeFeed.h"

TEqBridgeFeed::TEqBridgeFeed(const QUrl& AUrl, const TEqBridgeFeedTiming& ATiming, TLog ALog)
    : FUrl(AUrl), FTiming(ATiming), FLog(std::move(ALog)), FRetryMs(ATiming.FirstRetryMs)
{
    FRetryTimer.setSingleShot(true);
    FDeadTimer.setSingleShot(true);
    FPingTimer.setInterval(FTiming.PingMs);
    connect(&FRetryTimer, &QTimer::timeout, this, [this] { Open(); });
    connect(&FPingTimer, &QTimer::timeout, this, [this] { FSocket.ping(); });
    connect(&FDeadTimer, &QTimer::timeout, this, [this] {
        LinkDown(FState == fsConnected ? QStringLiteral("nothing received for %1 ms").arg(FTiming.DeadMs)
                                       : QStringLiteral("no answer within %1 ms").arg(FTiming.DeadMs));
    });
    connect(&FSocket, &QWebSocket::connected, this, [this] {
        FState = fsConnected;
        FLog(QStringLiteral("feed connected: %1").arg(FUrl.toString()));
        FDeadTimer.start(FTiming.DeadMs);
        FPingTimer.start();
    });
    connect(&FSocket, &QWebSocket::textMessageReceived, this, [this](const QString& AText) {
        Alive();
        if (OnMessage) {
            OnMessage(AText);
        }
    });
    connect(&FSocket, &QWebSocket::binaryMessageReceived, this, [this](const QByteArray& AData) {
        Alive();
        if (OnMessage) {
            OnMessage(QString::fromUtf8(AData));
        }
    });
    connect(&FSocket, &QWebSocket::pong, this, [this] { Alive(); });
    connect(&FSocket, &QWebSocket::disconnected, this, [this] {
        LinkDown(FSocket.closeReason().isEmpty() ? QStringLiteral("closed (%1)").arg(FSocket.closeCode())
                                                 : FSocket.closeReason());
    });
    connect(&FSocket, qOverload<QAbstractSocket::SocketError>(&QWebSocket::error), this,
            [this](QAbstractSocket::SocketError) { LinkDown(FSocket.errorString()); });
}

TEqBridgeFeed::~TEqBridgeFeed()
{
    // Closing the socket reports a loss; the timers it would restart are gone by then.
    FSocket.disconnect(this);
}

void TEqBridgeFeed::Start()
{
    Open();
}

int TEqBridgeFeed::NextRetryMs(int AWaitMs, int AMaxMs)
{
    return AWaitMs >= AMaxMs / 2 ? AMaxMs : AWaitMs * 2;
}

void TEqBridgeFeed::Open()
{
    FState = fsConnecting;
    FLog(QStringLiteral("feed connecting: %1").arg(FUrl.toString()));
    // The same timer bounds the opening handshake, so a black-holed address is retried too.
    FDeadTimer.start(FTiming.DeadMs);
    FSocket.open(FUrl);
}

void TEqBridgeFeed::Alive()
{
    FDeadTimer.start(FTiming.DeadMs);
    FRetryMs = FTiming.FirstRetryMs;
}

void TEqBridgeFeed::LinkDown(const QString& AReason)
{
    // An error, the close that follows it and the time-out each report the same loss once.
    if (FState == fsWaiting) {
        return;
    }
    FState = fsWaiting;
    FPingTimer.stop();
    FDeadTimer.stop();
    FSocket.abort();
    FLog(QStringLiteral("feed link lost: %1; reconnecting in %2 ms").arg(AReason).arg(FRetryMs));
    FRetryTimer.start(FRetryMs);
    FRetryMs = NextRetryMs(FRetryMs, FTiming.MaxRetryMs);
}
