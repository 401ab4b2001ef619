#include "net/EqTcpClient.h"

#include <QByteArray>

#include <cerrno>
#include <cstring>

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
constexpr qsizetype ReadChunk = 64 * 1024;

QString ErrnoText(int AErr)
{
    return QString::fromLocal8Bit(std::strerror(AErr));
}
} // namespace

TEqTcpClient::TEqTcpClient(const QString& AHost, quint16 APort, const TVeskWakeEvent& AWake)
    : FHost(AHost), FPort(APort), FWake(&AWake)
{}

TEqTcpClient::~TEqTcpClient()
{
    Close();
}

void TEqTcpClient::Close()
{
    if (FSocket >= 0) {
        ::close(FSocket);
        FSocket = -1;
    }
    FPeerClosed = false;
    FBuffer.clear();
    FBufferPos = 0;
}

bool TEqTcpClient::Connect(QString& AError)
{
    Close();
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* list = nullptr;
    const QByteArray host = FHost.toUtf8();
    const QByteArray port = QByteArray::number(FPort);
    const int gai = ::getaddrinfo(host.constData(), port.constData(), &hints, &list);
    if (gai != 0) {
        AError = QStringLiteral("Host %1 not found: %2").arg(FHost, QString::fromLocal8Bit(::gai_strerror(gai)));
        return false;
    }
    AError = QStringLiteral("Host %1 has no address").arg(FHost);
    for (addrinfo* ai = list; ai; ai = ai->ai_next) {
        FSocket = ::socket(ai->ai_family, ai->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, ai->ai_protocol);
        if (FSocket < 0) {
            AError = ErrnoText(errno);
            continue;
        }
        int err = 0;
        if (::connect(FSocket, ai->ai_addr, ai->ai_addrlen) < 0) {
            err = errno;
            if (err == EINPROGRESS) {
                // The platform's own connect time-out still applies; a stop request ends the wait early.
                const TVeskWaitResult waited = WaitSocket(swWrite, -1);
                if (waited == wrWoken) {
                    ::freeaddrinfo(list);
                    Close();
                    AError = QStringLiteral("Connection attempt cancelled.");
                    return false;
                }
                socklen_t len = sizeof(err);
                if (waited != wrReady || ::getsockopt(FSocket, SOL_SOCKET, SO_ERROR, &err, &len) < 0) {
                    err = errno ? errno : EIO;
                }
            }
        }
        if (err == 0) {
            const int one = 1;
            ::setsockopt(FSocket, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
            ::freeaddrinfo(list);
            return true;
        }
        AError = ErrnoText(err);
        ::close(FSocket);
        FSocket = -1;
    }
    ::freeaddrinfo(list);
    return false;
}

bool TEqTcpClient::WriteLine(const QByteArray& AData, QString& AError)
{
    if (FSocket < 0) {
        AError = QStringLiteral("Not connected.");
        return false;
    }
    const QByteArray data = AData + '\n';
    qsizetype done = 0;
    while (done < data.size()) {
        const ssize_t n =
            ::send(FSocket, data.constData() + done, static_cast<size_t>(data.size() - done), MSG_NOSIGNAL);
        if (n >= 0) {
            done += n;
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            const TVeskWaitResult waited = WaitSocket(swWrite, -1);
            if (waited == wrWoken) {
                AError = QStringLiteral("Write cancelled.");
                return false;
            }
            if (waited == wrReady) {
                continue;
            }
        }
        AError = ErrnoText(errno);
        return false;
    }
    return true;
}

bool TEqTcpClient::TakeLine(QString& ALine, QString& AError, bool& AFailed)
{
    AFailed = false;
    const qsizetype lf = FBuffer.indexOf('\n', FBufferPos);
    if (lf < 0) {
        // A line that can no longer fit is a link error before its end arrives.
        const qsizetype pending = FBuffer.size() - FBufferPos;
        const bool crLast = pending > 0 && FBuffer.back() == '\r';
        if (pending > MaxLineLength + (crLast ? 1 : 0)) {
            AError = QStringLiteral("Received line exceeds %1 bytes.").arg(MaxLineLength);
            AFailed = true;
        }
        return false;
    }
    qsizetype end = lf;
    if (end > FBufferPos && FBuffer.at(end - 1) == '\r') {
        --end;
    }
    if (end - FBufferPos > MaxLineLength) {
        AError = QStringLiteral("Received line exceeds %1 bytes.").arg(MaxLineLength);
        AFailed = true;
        return false;
    }
    // Invalid UTF-8 becomes replacement characters.
    ALine = QString::fromUtf8(FBuffer.constData() + FBufferPos, end - FBufferPos);
    FBufferPos = lf + 1;
    if (FBufferPos == FBuffer.size()) {
        FBuffer.clear();
        FBufferPos = 0;
    }
    return true;
}

TEqTcpClient::TReadResult TEqTcpClient::ReadLine(int ATimeoutMs, QString& ALine, QString& AError)
{
    ALine.clear();
    bool failed = false;
    if (TakeLine(ALine, AError, failed)) {
        return rrLine;
    }
    if (failed) {
        return rrError;
    }
    if (FSocket < 0 || FPeerClosed) {
        AError = FPeerClosed ? QStringLiteral("Connection closed gracefully.") : QStringLiteral("Not connected.");
        return rrError;
    }
    for (;;) {
        const TVeskWaitResult waited = WaitSocket(swRead, ATimeoutMs);
        if (waited == wrFailed) {
            AError = ErrnoText(errno);
            return rrError;
        }
        if (waited != wrReady) {
            return rrNoLine;
        }
        if (FBufferPos > 0) {
            FBuffer.remove(0, FBufferPos);
            FBufferPos = 0;
        }
        const qsizetype old = FBuffer.size();
        FBuffer.resize(old + ReadChunk);
        const ssize_t n = ::recv(FSocket, FBuffer.data() + old, ReadChunk, 0);
        FBuffer.resize(old + (n > 0 ? n : 0));
        if (n == 0) {
            FPeerClosed = true;
            AError = QStringLiteral("Connection closed gracefully.");
            return rrError;
        }
        if (n < 0) {
            if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) {
                continue;
            }
            AError = ErrnoText(errno);
            return rrError;
        }
        if (TakeLine(ALine, AError, failed)) {
            return rrLine;
        }
        if (failed) {
            return rrError;
        }
        // A partial line: wait for the rest, but no longer than asked for in total.
        // Passes are cheap, so the loop simply returns and is called again.
        return rrNoLine;
    }
}
