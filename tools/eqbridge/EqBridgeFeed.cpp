#include "EqBridgeFeed.h"

#include <algorithm>

TEqBridgeFeed::TEqBridgeFeed(const QUrl& AUrl, const TEqBridgeFeedTiming& ATiming, TLog ALog)
    : FUrl(AUrl), FTiming(ATiming), FLog(std::move(ALog)), FRetryMs(ATiming.FirstRetryMs)
{
    FRetryTimer.setSingleShot(true);
    FDeadTimer.setSingleShot(true);
    FPingTimer.setInterval(FTiming.PingMs);
    connect(&FRetryTimer, &QTimer::timeout, this, [this] { Open(); });
    connect(&FPingTimer, &QTimer::timeout, this, [this] { FSocket.Ping(); });
    connect(&FDeadTimer, &QTimer::timeout, this, [this] {
        LinkDown(FState == fsConnected ? QStringLiteral("nothing received for %1 ms").arg(FTiming.DeadMs)
                                       : QStringLiteral("no answer within %1 ms").arg(FTiming.DeadMs));
    });
    FSocket.OnConnected = [this] {
        FState = fsConnected;
        FLog(QStringLiteral("feed connected: %1").arg(FUrl.toString()));
        FDeadTimer.start(FTiming.DeadMs);
        FPingTimer.start();
        if (OnLinkChanged) {
            OnLinkChanged(true, FUrl.toString());
        }
    };
    FSocket.OnText = [this](const QString& AText) {
        Alive();
        if (OnMessage) {
            OnMessage(AText);
        }
    };
    FSocket.OnBinary = [this](const QByteArray& AData) {
        Alive();
        if (OnMessage) {
            OnMessage(QString::fromUtf8(AData));
        }
    };
    FSocket.OnPong = [this] { Alive(); };
    FSocket.OnClosed = [this](int ACode, const QString& AReason) {
        if (ACode == TEqBridgeWebSocket::CloseTooMuchData) {
            // A message is bounded before it is taken in: a huge one closes the link.
            LinkDown(QStringLiteral("the feed sent a message larger than %1 bytes, which is not taken in")
                         .arg(EqBridgeMaxMessageBytes));
            return;
        }
        LinkDown(AReason.isEmpty() ? QStringLiteral("closed (%1)").arg(ACode) : AReason);
    };
}

TEqBridgeFeed::~TEqBridgeFeed()
{
    // Closing the socket reports a loss; the timers it would restart are gone by then.
    FSocket.OnClosed = nullptr;
    FSocket.Abort();
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
    FSocket.Open(FUrl);
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
    const bool wasUp = FState == fsConnected;
    FState = fsWaiting;
    FPingTimer.stop();
    FDeadTimer.stop();
    FSocket.Abort();
    FLog(QStringLiteral("feed link lost: %1; reconnecting in %2 ms").arg(AReason).arg(FRetryMs));
    FRetryTimer.start(FRetryMs);
    FRetryMs = NextRetryMs(FRetryMs, FTiming.MaxRetryMs);
    if (wasUp && OnLinkChanged) {
        OnLinkChanged(false, QStringLiteral("%1: %2").arg(FUrl.toString(), AReason));
    }
}

TEqBridgeFeedStatus::TEqBridgeFeedStatus(int AGraceMs) : FGraceMs(AGraceMs)
{
    FGrace.setSingleShot(true);
    connect(&FGrace, &QTimer::timeout, this, [this] {
        Change(false, QStringLiteral("no feed link up for %1 s (last loss: %2)").arg(FGraceMs / 1000.0).arg(FLastLoss));
    });
}

void TEqBridgeFeedStatus::Add(TEqBridgeFeed* AFeed)
{
    AFeed->OnLinkChanged = [this](bool AUp, const QString& AWhat) {
        if (AUp) {
            ++FLinksUp;
            FGrace.stop();
            Change(true, QStringLiteral("feed link up: %1").arg(AWhat));
            return;
        }
        FLinksUp = std::max(0, FLinksUp - 1);
        FLastLoss = AWhat;
        if (FLinksUp == 0 && FServing && !FGrace.isActive()) {
            FGrace.start(FGraceMs);
        }
    };
}

void TEqBridgeFeedStatus::Change(bool AServing, const QString& AReason)
{
    if (AServing == FServing) {
        return;
    }
    FServing = AServing;
    if (OnServingChanged) {
        OnServingChanged(AServing, AReason);
    }
}
