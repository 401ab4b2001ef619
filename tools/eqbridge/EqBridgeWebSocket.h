#pragma once

#include <QByteArray>
#include <QObject>
#include <QSslSocket>
#include <QString>
#include <QUrl>

#include <functional>

// The frames a feed sends (RFC 6455 section 5), as events: whole messages, pings,
// pongs, the close, or the fault that ends the link. Takes bytes as they come;
// buffers at most one frame header and the message being assembled, bounded by
// AMaxMessageBytes. No sockets: the link below and the fuzz target feed it.
class TEqBridgeWsDecoder
{
public:
    enum TKind
    {
        wdText,
        wdBinary,
        wdPing,
        wdPong,
        wdClose, // Code, Reason: the peer's close
        wdFault  // Code, Reason: the peer broke the protocol; nothing more is read
    };
    struct TEvent
    {
        TKind Kind;
        QByteArray Data; // the message (text still as UTF-8 bytes, checked), or a ping's payload
        QString Text;    // wdText
        int Code = 0;
        QString Reason;
    };

    explicit TEqBridgeWsDecoder(qint64 AMaxMessageBytes) : FMaxMessageBytes(AMaxMessageBytes) {}
    // Appends the bytes and hands out every event they complete, in order.
    void Take(const QByteArray& ABytes, const std::function<void(const TEvent&)>& AOnEvent);
    void Reset();
    qsizetype Buffered() const { return FBuffer.size() + FMessage.size(); }

private:
    // One frame from the buffer: false when more bytes are needed or after a fault.
    bool Next(const std::function<void(const TEvent&)>& AOnEvent);
    void Fault(int ACode, const QString& AReason, const std::function<void(const TEvent&)>& AOnEvent);

    qint64 FMaxMessageBytes;
    QByteArray FBuffer;
    QByteArray FMessage;
    int FMessageOpcode = 0; // 1 text, 2 binary, 0 none in progress
    bool FBroken = false;
};

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
    void Handle(const TEqBridgeWsDecoder::TEvent& AEvent);
    void SendFrame(int AOpcode, const QByteArray& APayload);
    void Fail(int ACode, const QString& AReason);
    void Closed(int ACode, const QString& AReason);

    QSslSocket FSocket;
    QUrl FUrl;
    TState FState = wsClosed;
    QByteArray FKey;
    QByteArray FBuffer; // the handshake's answer until it is complete
    TEqBridgeWsDecoder FDecoder;
};
