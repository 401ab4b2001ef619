#include "EqBridgeWebSocket.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <QStringDecoder>

#include <cstring>
#include <utility>

namespace {

constexpr int MaxHandshakeBytes = 16 * 1024;
constexpr int OpContinuation = 0x0;
constexpr int OpText = 0x1;
constexpr int OpBinary = 0x2;
constexpr int OpClose = 0x8;
constexpr int OpPing = 0x9;
constexpr int OpPong = 0xA;

QByteArray RandomBytes(int ACount)
{
    QByteArray bytes(ACount, '\0');
    for (char& b : bytes) {
        b = char(QRandomGenerator::global()->bounded(256));
    }
    return bytes;
}

} // namespace

TEqBridgeWebSocket::TEqBridgeWebSocket(qint64 AMaxMessageBytes, QObject* AParent)
    : QObject(AParent), FDecoder(AMaxMessageBytes)
{
    connect(&FSocket, &QSslSocket::connected, this, [this] {
        if (FUrl.scheme() != QLatin1String("wss")) {
            SendHandshake();
        }
    });
    connect(&FSocket, &QSslSocket::encrypted, this, [this] { SendHandshake(); });
    connect(&FSocket, &QSslSocket::readyRead, this, &TEqBridgeWebSocket::Read);
    connect(&FSocket, &QSslSocket::disconnected, this, [this] {
        if (FState != wsClosed) {
            Closed(1006, QStringLiteral("The remote host closed the connection"));
        }
    });
    connect(&FSocket, &QSslSocket::errorOccurred, this, [this](QAbstractSocket::SocketError) {
        if (FState != wsClosed) {
            Closed(1006, FSocket.errorString());
        }
    });
}

QByteArray TEqBridgeWebSocket::AcceptFor(const QByteArray& AKey)
{
    return QCryptographicHash::hash(AKey + "258EAFA5-E914-47DA-95CA-C5AB0DC85B11", QCryptographicHash::Sha1).toBase64();
}

void TEqBridgeWebSocket::Open(const QUrl& AUrl)
{
    Abort();
    FUrl = AUrl;
    FState = wsConnecting;
    FBuffer.clear();
    FDecoder.Reset();
    const bool tls = AUrl.scheme() == QLatin1String("wss");
    const quint16 port = quint16(AUrl.port(tls ? 443 : 80));
    if (tls) {
        FSocket.connectToHostEncrypted(AUrl.host(), port);
    } else {
        FSocket.connectToHost(AUrl.host(), port);
    }
}

void TEqBridgeWebSocket::Abort()
{
    FState = wsClosed;
    FSocket.abort();
}

void TEqBridgeWebSocket::Ping()
{
    if (FState == wsOpen) {
        SendFrame(OpPing, QByteArray());
    }
}

void TEqBridgeWebSocket::SendHandshake()
{
    FState = wsHandshake;
    FKey = RandomBytes(16).toBase64();
    QByteArray path = FUrl.path(QUrl::FullyEncoded).toUtf8();
    if (path.isEmpty()) {
        path = "/";
    }
    if (FUrl.hasQuery()) {
        path += '?' + FUrl.query(QUrl::FullyEncoded).toUtf8();
    }
    QByteArray host = FUrl.host(QUrl::FullyEncoded).toUtf8();
    if (FUrl.port() > 0) {
        host += ':' + QByteArray::number(FUrl.port());
    }
    FSocket.write("GET " + path + " HTTP/1.1\r\nHost: " + host +
                  "\r\nUpgrade: websocket\r\nConnection: Upgrade\r\nSec-WebSocket-Key: " + FKey +
                  "\r\nSec-WebSocket-Version: 13\r\nUser-Agent: eqbridge\r\n\r\n");
}

void TEqBridgeWebSocket::Read()
{
    QByteArray bytes = FSocket.readAll();
    if (FState == wsHandshake) {
        FBuffer += bytes;
        if (!ReadHandshake()) {
            return;
        }
        bytes = std::exchange(FBuffer, QByteArray());
    }
    if (FState == wsOpen) {
        FDecoder.Take(bytes, [this](const TEqBridgeWsDecoder::TEvent& AEvent) {
            if (FState == wsOpen) {
                Handle(AEvent);
            }
        });
    }
}

bool TEqBridgeWebSocket::ReadHandshake()
{
    const qsizetype end = FBuffer.indexOf("\r\n\r\n");
    if (end < 0) {
        if (FBuffer.size() > MaxHandshakeBytes) {
            Fail(CloseProtocolError, QStringLiteral("The server's handshake answer is too long"));
        }
        return false;
    }
    const QList<QByteArray> lines = FBuffer.left(end).split('\n');
    FBuffer.remove(0, end + 4);
    const QByteArray status = lines.value(0).trimmed();
    if (!status.startsWith("HTTP/1.1 101")) {
        Fail(CloseProtocolError,
             QStringLiteral("The server refused the WebSocket upgrade: %1").arg(QString::fromLatin1(status.left(200))));
        return false;
    }
    QByteArray accept;
    for (const QByteArray& line : lines.mid(1)) {
        const qsizetype colon = line.indexOf(':');
        if (colon > 0 && line.left(colon).trimmed().toLower() == "sec-websocket-accept") {
            accept = line.mid(colon + 1).trimmed();
        }
    }
    if (accept != AcceptFor(FKey)) {
        Fail(CloseProtocolError, QStringLiteral("The server's Sec-WebSocket-Accept does not match the key"));
        return false;
    }
    FState = wsOpen;
    if (OnConnected) {
        OnConnected();
    }
    return FState == wsOpen;
}

void TEqBridgeWsDecoder::Reset()
{
    FBuffer.clear();
    FMessage.clear();
    FMessageOpcode = 0;
    FBroken = false;
}

void TEqBridgeWsDecoder::Take(const QByteArray& ABytes, const std::function<void(const TEvent&)>& AOnEvent)
{
    if (FBroken) {
        return;
    }
    FBuffer += ABytes;
    while (Next(AOnEvent)) {
    }
}

void TEqBridgeWsDecoder::Fault(int ACode, const QString& AReason, const std::function<void(const TEvent&)>& AOnEvent)
{
    FBroken = true;
    FBuffer.clear();
    FMessage.clear();
    AOnEvent(TEvent{wdFault, QByteArray(), QString(), ACode, AReason});
}

bool TEqBridgeWsDecoder::Next(const std::function<void(const TEvent&)>& AOnEvent)
{
    if (FBroken || FBuffer.size() < 2) {
        return false;
    }
    const auto b0 = quint8(FBuffer[0]);
    const auto b1 = quint8(FBuffer[1]);
    const bool fin = b0 & 0x80;
    const int opcode = b0 & 0x0F;
    if (b0 & 0x70) {
        Fault(TEqBridgeWebSocket::CloseProtocolError, QStringLiteral("A frame with reserved bits set"), AOnEvent);
        return false;
    }
    qsizetype header = 2;
    quint64 length = b1 & 0x7F;
    if (length == 126) {
        if (FBuffer.size() < 4) {
            return false;
        }
        length = (quint64(quint8(FBuffer[2])) << 8) | quint8(FBuffer[3]);
        header = 4;
    } else if (length == 127) {
        if (FBuffer.size() < 10) {
            return false;
        }
        length = 0;
        for (int i = 2; i < 10; ++i) {
            length = (length << 8) | quint8(FBuffer[i]);
        }
        header = 10;
    }
    const bool masked = b1 & 0x80;
    if (masked) {
        header += 4; // a server must not mask; taken and unmasked all the same
    }
    const bool control = opcode >= 0x8;
    if (control && (!fin || length > 125)) {
        Fault(TEqBridgeWebSocket::CloseProtocolError, QStringLiteral("A fragmented or long control frame"), AOnEvent);
        return false;
    }
    // Bounded before it is taken in: nothing larger than a message is ever buffered.
    if (length > quint64(FMaxMessageBytes) || quint64(FMessage.size()) + length > quint64(FMaxMessageBytes)) {
        Fault(TEqBridgeWebSocket::CloseTooMuchData, QStringLiteral("message too large"), AOnEvent);
        return false;
    }
    if (FBuffer.size() < header + qsizetype(length)) {
        return false;
    }
    QByteArray payload = FBuffer.mid(header, qsizetype(length));
    if (masked) {
        const QByteArray mask = FBuffer.mid(header - 4, 4);
        for (qsizetype i = 0; i < payload.size(); ++i) {
            payload[i] = char(payload[i] ^ mask[i % 4]);
        }
    }
    FBuffer.remove(0, header + qsizetype(length));

    switch (opcode) {
    case OpPing:
        AOnEvent(TEvent{wdPing, payload, QString(), 0, QString()});
        return !FBroken;
    case OpPong:
        AOnEvent(TEvent{wdPong, payload, QString(), 0, QString()});
        return !FBroken;
    case OpClose: {
        const int code = payload.size() >= 2 ? (quint8(payload[0]) << 8) | quint8(payload[1]) : 1005;
        FBroken = true; // nothing is read after a close
        AOnEvent(TEvent{wdClose, payload.left(2), QString(), code, QString::fromUtf8(payload.mid(2))});
        return false;
    }
    case OpText:
    case OpBinary:
        if (FMessageOpcode != 0) {
            Fault(TEqBridgeWebSocket::CloseProtocolError, QStringLiteral("A new message inside a fragmented one"),
                  AOnEvent);
            return false;
        }
        FMessageOpcode = opcode;
        FMessage = payload;
        break;
    case OpContinuation:
        if (FMessageOpcode == 0) {
            Fault(TEqBridgeWebSocket::CloseProtocolError, QStringLiteral("A continuation without a message"), AOnEvent);
            return false;
        }
        FMessage += payload;
        break;
    default:
        Fault(TEqBridgeWebSocket::CloseProtocolError, QStringLiteral("A frame of unknown kind %1").arg(opcode),
              AOnEvent);
        return false;
    }
    if (!fin) {
        return true;
    }
    const QByteArray message = std::exchange(FMessage, QByteArray());
    const int kind = std::exchange(FMessageOpcode, 0);
    if (kind == OpBinary) {
        AOnEvent(TEvent{wdBinary, message, QString(), 0, QString()});
        return !FBroken;
    }
    // Only the whole message must be valid UTF-8; its fragments may split a character.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = decoder(message);
    if (decoder.hasError()) {
        Fault(TEqBridgeWebSocket::CloseInvalidData, QStringLiteral("Invalid UTF-8 code encountered."), AOnEvent);
        return false;
    }
    AOnEvent(TEvent{wdText, message, text, 0, QString()});
    return !FBroken;
}

void TEqBridgeWebSocket::Handle(const TEqBridgeWsDecoder::TEvent& AEvent)
{
    switch (AEvent.Kind) {
    case TEqBridgeWsDecoder::wdText:
        if (OnText) {
            OnText(AEvent.Text);
        }
        break;
    case TEqBridgeWsDecoder::wdBinary:
        if (OnBinary) {
            OnBinary(AEvent.Data);
        }
        break;
    case TEqBridgeWsDecoder::wdPing:
        SendFrame(OpPong, AEvent.Data);
        break;
    case TEqBridgeWsDecoder::wdPong:
        if (OnPong) {
            OnPong();
        }
        break;
    case TEqBridgeWsDecoder::wdClose:
        SendFrame(OpClose, AEvent.Data);
        FSocket.flush();
        Closed(AEvent.Code, AEvent.Reason);
        break;
    case TEqBridgeWsDecoder::wdFault:
        Fail(AEvent.Code, AEvent.Reason);
        break;
    }
}

void TEqBridgeWebSocket::SendFrame(int AOpcode, const QByteArray& APayload)
{
    QByteArray frame;
    frame.append(char(0x80 | AOpcode));
    const qsizetype n = APayload.size();
    if (n < 126) {
        frame.append(char(0x80 | n));
    } else if (n <= 0xFFFF) {
        frame.append(char(0x80 | 126));
        frame.append(char(n >> 8));
        frame.append(char(n & 0xFF));
    } else {
        frame.append(char(0x80 | 127));
        for (int shift = 56; shift >= 0; shift -= 8) {
            frame.append(char((quint64(n) >> shift) & 0xFF));
        }
    }
    // A client masks every frame.
    const QByteArray mask = RandomBytes(4);
    frame += mask;
    for (qsizetype i = 0; i < n; ++i) {
        frame.append(char(APayload[i] ^ mask[i % 4]));
    }
    FSocket.write(frame);
}

void TEqBridgeWebSocket::Fail(int ACode, const QString& AReason)
{
    if (FState == wsOpen) {
        QByteArray payload;
        payload.append(char(ACode >> 8));
        payload.append(char(ACode & 0xFF));
        SendFrame(OpClose, payload);
        FSocket.flush();
    }
    Closed(ACode, AReason);
}

void TEqBridgeWebSocket::Closed(int ACode, const QString& AReason)
{
    if (FState == wsClosed) {
        return;
    }
    FState = wsClosed;
    FSocket.abort();
    if (OnClosed) {
        OnClosed(ACode, AReason);
    }
}
