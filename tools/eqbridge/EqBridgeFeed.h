#pragma once

#include "EqBridgeWebSocket.h"
#include <QObject>
#include <QTimer>
#include <QUrl>

#include <functional>

struct TEqBridgeFeedTiming
{
    int FirstRetryMs = 1000; // wait before the first reconnection
    int MaxRetryMs = 60000;  // the wait doubles up to this
    int PingMs = 30000;      // a ping while connected
    int DeadMs = 90000;      // nothing received (message, pong) for this long: the link is dead
};

// The largest feed message taken in; a real one is a few kilobytes.
constexpr qint64 EqBridgeMaxMessageBytes = 1 << 20;

// The WebSocket link to the feed. Every text message is handed to OnMessage.
// A lost, refused or silent link is reopened after a wait that starts at
// FirstRetryMs and doubles up to MaxRetryMs; anything received resets the wait.
class TEqBridgeFeed : public QObject
{
public:
    using TLog = std::function<void(const QString&)>;

    TEqBridgeFeed(const QUrl& AUrl, const TEqBridgeFeedTiming& ATiming, TLog ALog);
    ~TEqBridgeFeed() override;
    void Start();

    // The wait after AWaitMs: doubled, at most AMaxMs.
    static int NextRetryMs(int AWaitMs, int AMaxMs);

    std::function<void(const QString&)> OnMessage;
    // Called when the link comes up (true) or is lost (false, with the reason).
    std::function<void(bool, const QString&)> OnLinkChanged;
    QUrl Url() const { return FUrl; }
    int RetryMs() const { return FRetryMs; }
    bool IsConnected() const { return FState == fsConnected; }

private:
    enum TFeedState
    {
        fsConnecting,
        fsConnected,
        fsWaiting
    };

    void Open();
    void Alive();
    void LinkDown(const QString& AReason);

    QUrl FUrl;
    TEqBridgeFeedTiming FTiming;
    TLog FLog;
    TEqBridgeWebSocket FSocket{EqBridgeMaxMessageBytes};
    QTimer FRetryTimer;
    QTimer FPingTimer;
    QTimer FDeadTimer;
    TFeedState FState = fsWaiting;
    int FRetryMs;
};

// The status of all feed links together: serving while at least one link is up,
// not serving once none has been up for AGraceMs (at the start: until one is up).
class TEqBridgeFeedStatus : public QObject
{
public:
    using TLog = std::function<void(const QString&)>;

    explicit TEqBridgeFeedStatus(int AGraceMs);
    void Add(TEqBridgeFeed* AFeed);
    bool IsServing() const { return FServing; }
    int LinksUp() const { return FLinksUp; }

    // Called on every change, with the reason for the log.
    std::function<void(bool, const QString&)> OnServingChanged;

private:
    void Change(bool AServing, const QString& AReason);

    int FGraceMs;
    int FLinksUp = 0;
    bool FServing = false;
    QString FLastLoss;
    QTimer FGrace;
};
