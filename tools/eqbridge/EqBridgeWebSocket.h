#pragma once

#include <QByteArray>
#include <QObject>
#include <QSslSocket>
#include <QString>
#include <QUrl>

#include <functional>

// The client side of a WebSocket link to a feed (RFC 6455), over TCP or TLS. Its
// own because a text message is checked as UTF-8 only when whole: a feed may
// split a message anywhere, also inside a character, which Qt's client takes as
// an error and drops the link for. Messages and frames are bounded; pings are
// answered; the client sends only pings, pongs and the close. Main thread only.
class TEqBridgeWebSocket : public QObject
{
public:
    // Close codes (RFC 6455 7.4.1) of the failures it reports itself.
    static constexpr int CloseProtocolError = 1002;
    static constexpr int CloseInvalidData = 1007;
    static constexpr int CloseTooMuchData = 1009;

    explicit TEqBridgeWebSocket(qint64 AMaxMessageBytes, QObject* AParent = nullptr);

    void Open(const QUrl& AUrl);
    // Drops the connection at once, without a report.
    void Abort();
    void Ping();

    // Reports; each may be empty.
    std::function<void()> OnConnected;
    std::function<void(const QString&)> OnText;
    std::function<void(const QByteArray&)> OnBinary;
    std::function<void()> OnPong;
    // The link ended: the close code and reason (the peer's, or ours for a fault
    // of the peer; 1006 and the socket's error for a broken connection).
    std::function<void(int, const QString&)> OnClosed;

    // The key and the answer it expects (for tests of the handshake).
    static QByteArray AcceptFor(const QByteArray& AKey);

private:
    enum TState
    {
        wsClosed,
        wsConnecting,
        wsHandshake,
        wsOpen
    };

    void SendHandshake();
    void Read();
    bool ReadHandshake();
    bool ReadFrame();
    void SendFrame(int AOpcode, const QByteArray& APayload);
    void Fail(int ACode, const QString& AReason);
    void Closed(int ACode, const QString& AReason);

    qint64 FMaxMessageBytes;
    QSslSocket FSocket;
    QUrl FUrl;
    TState FState = wsClosed;
    QByteArray FKey;
    QByteArray FBuffer;
    QByteArray FMessage;
    int FMessageOpcode = 0; // 1 text, 2 binary, 0 none in progress
};
