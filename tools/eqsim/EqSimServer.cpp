#include "EqSimServer.h"

#include <QDateTime>
#include <QTcpSocket>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {
QString Printable(const QByteArray& AData)
{
    constexpr qsizetype Shown = 200;
    QString text = QString::fromUtf8(AData.left(Shown));
    if (AData.size() > Shown) {
        text += QStringLiteral("... (%1 bytes)").arg(AData.size());
    }
    return text;
}
} // namespace

TEqSimSession::TEqSimSession(TEqSimServer* AServer, QTcpSocket* ASocket, int AId)
    : QObject(AServer), FServer(AServer), FSocket(ASocket), FId(AId)
{
    FSocket->setParent(this);
    FSocket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    FReplayTimer.setSingleShot(true);
    FReplayTimer.setTimerType(Qt::PreciseTimer);
    FSplitTimer.setTimerType(Qt::PreciseTimer);
    FSplitTimer.setInterval(FServer->Options().SplitDelayMs);
    connect(FSocket, &QTcpSocket::readyRead, this, [this] { OnReadyRead(); });
    connect(FSocket, &QTcpSocket::disconnected, this, [this] {
        FServer->Print(QStringLiteral("client %1 disconnected").arg(FId));
        FReplayTimer.stop();
        FSplitTimer.stop();
        deleteLater();
    });
    connect(&FReplayTimer, &QTimer::timeout, this, [this] { ReplayNext(); });
    connect(&FSplitTimer, &QTimer::timeout, this, [this] { SplitTick(); });
}

bool TEqSimSession::IsOpen() const
{
    return FSocket->state() == QAbstractSocket::ConnectedState && !FClosing;
}

void TEqSimSession::Start()
{
    const TEqSimOptions& options = FServer->Options();
    if (options.OverlongBytes > 0) {
        FServer->Print(
            QStringLiteral("client %1: sending an over-long line of %2 bytes").arg(FId).arg(options.OverlongBytes));
        SendRaw(QByteArray("01") + QByteArray(options.OverlongBytes - 2 > 0 ? options.OverlongBytes - 2 : 0, 'X'));
    }
    if (options.InvalidUtf8) {
        // A type-10 line whose name holds a stray byte pair and a truncated sequence.
        const QByteArray line = QByteArray("10DM20990101000000 01999") + "\xE6\x9D\xB1\xFF\xFE\xE4\xBA" + "X";
        FServer->Print(QStringLiteral("client %1: sending a line with invalid UTF-8").arg(FId));
        SendRaw(line);
    }
    ScheduleNext();
}

void TEqSimSession::ScheduleNext()
{
    const QList<TEqSimLine>& scenario = FServer->Scenario();
    if (FClosing || scenario.isEmpty()) {
        return;
    }
    if (FIndex >= scenario.size()) {
        if (!FServer->Options().Loop) {
            FServer->Print(QStringLiteral("client %1: scenario finished").arg(FId));
            return;
        }
        FIndex = 0;
        FRewriter.Reset();
    }
    const double delay = static_cast<double>(scenario.at(FIndex).DelayMs) / FServer->Options().Speed;
    FReplayTimer.start(static_cast<int>(delay + 0.5));
}

void TEqSimSession::ReplayNext()
{
    const QList<TEqSimLine>& scenario = FServer->Scenario();
    const TEqSimOptions& options = FServer->Options();
    // Lines with no delay after the previous one go out in the same write (one segment).
    QByteArray batch;
    bool first = true;
    while (FIndex < scenario.size() && (first || scenario.at(FIndex).DelayMs == 0)) {
        first = false;
        QByteArray data = scenario.at(FIndex).Data;
        if (!options.KeepTimes) {
            // Telegram times are Japan time (UTC+9) whatever this machine's zone.
            data = FRewriter.Rewrite(data, QDateTime::currentDateTimeUtc().addSecs(9 * 3600));
        }
        FServer->Print(QStringLiteral("client %1 <- %2").arg(FId).arg(Printable(data)));
        batch += data + '\n';
        ++FIndex;
        ++FLinesSent;
        if (options.CloseAfter >= 0 && FLinesSent >= options.CloseAfter) {
            break;
        }
    }
    SendRaw(batch);
    if (options.CloseAfter >= 0 && FLinesSent >= options.CloseAfter) {
        FServer->Print(QStringLiteral("client %1: closing after %2 lines").arg(FId).arg(FLinesSent));
        FClosing = true;
        CloseWhenFlushed();
        return;
    }
    ScheduleNext();
}

void TEqSimSession::SendRaw(const QByteArray& AData, bool AIsKeepAlive)
{
    if (FSocket->state() != QAbstractSocket::ConnectedState || (FClosing && AIsKeepAlive)) {
        return;
    }
    QByteArray data = AData;
    if (!data.endsWith('\n')) {
        data += '\n';
    }
    if (FServer->Options().Split) {
        FSplitQueue += data;
        if (!FSplitTimer.isActive()) {
            FSplitTimer.start();
        }
        return;
    }
    FSocket->write(data);
    FSocket->flush();
}

void TEqSimSession::SplitTick()
{
    if (FSplitQueue.isEmpty() || FSocket->state() != QAbstractSocket::ConnectedState) {
        FSplitTimer.stop();
        if (FClosing) {
            CloseWhenFlushed();
        }
        return;
    }
    FSocket->write(FSplitQueue.left(1));
    FSocket->flush();
    FSplitQueue.remove(0, 1);
}

void TEqSimSession::CloseWhenFlushed()
{
    if (!FSplitQueue.isEmpty()) {
        return; // SplitTick closes once the queue is empty
    }
    FSocket->disconnectFromHost();
}

void TEqSimSession::OnReadyRead()
{
    while (FSocket->canReadLine()) {
        QByteArray line = FSocket->readLine();
        line.chop(line.endsWith("\r\n") ? 2 : 1);
        if (line.startsWith("93:")) {
            FServer->Print(QStringLiteral("client %1 connection request: %2").arg(FId).arg(Printable(line)));
        } else if (line == "99") {
            if (FServer->Options().Silent) {
                FServer->Print(QStringLiteral("client %1 -> 99 (keep-alive, not answered)").arg(FId));
            } else {
                FServer->Print(QStringLiteral("client %1 -> 99 (keep-alive, answered)").arg(FId));
                SendRaw("99", true);
            }
        } else {
            FServer->Print(QStringLiteral("client %1 -> %2").arg(FId).arg(Printable(line)));
        }
    }
}

TEqSimServer::TEqSimServer(const TEqSimOptions& AOptions, const QList<TEqSimLine>& AScenario)
    : FOptions(AOptions), FScenario(AScenario)
{
    connect(&FServer, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
    connect(&FKeepAliveTimer, &QTimer::timeout, this, [this] { SendKeepAlives(); });
}

TEqSimServer::~TEqSimServer()
{
    if (FRefuseFd >= 0) {
        ::close(FRefuseFd);
    }
}

void TEqSimServer::Print(const QString& AText)
{
    const QString line =
        QDateTime::currentDateTime().toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss.zzz] ")) + AText + QLatin1Char('\n');
    const QByteArray utf8 = line.toUtf8();
    std::fwrite(utf8.constData(), 1, static_cast<size_t>(utf8.size()), stdout);
    std::fflush(stdout);
    if (FLog.isOpen()) {
        FLog.write(utf8);
        FLog.flush();
    }
}

bool TEqSimServer::Start(QString& AError)
{
    if (!FOptions.LogFile.isEmpty()) {
        FLog.setFileName(FOptions.LogFile);
        if (!FLog.open(QIODevice::WriteOnly | QIODevice::Append)) {
            AError = QStringLiteral("cannot open log file '%1': %2").arg(FOptions.LogFile, FLog.errorString());
            return false;
        }
    }
    if (FOptions.Refuse) {
        // Bound but not listening: the kernel refuses every connection, and the port stays ours.
        const bool v6 = FOptions.Host.protocol() == QAbstractSocket::IPv6Protocol;
        FRefuseFd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        int rc = -1;
        if (FRefuseFd >= 0) {
            const int one = 1;
            ::setsockopt(FRefuseFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
            if (v6) {
                sockaddr_in6 addr{};
                addr.sin6_family = AF_INET6;
                addr.sin6_port = htons(FOptions.Port);
                const Q_IPV6ADDR raw = FOptions.Host.toIPv6Address();
                std::memcpy(&addr.sin6_addr, raw.c, sizeof(raw.c));
                rc = ::bind(FRefuseFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
            } else {
                sockaddr_in addr{};
                addr.sin_family = AF_INET;
                addr.sin_port = htons(FOptions.Port);
                addr.sin_addr.s_addr = htonl(FOptions.Host.toIPv4Address());
                rc = ::bind(FRefuseFd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr));
            }
        }
        if (rc < 0) {
            AError = QStringLiteral("cannot reserve %1:%2: %3")
                         .arg(FOptions.HostText)
                         .arg(FOptions.Port)
                         .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        sockaddr_storage bound{};
        socklen_t len = sizeof(bound);
        ::getsockname(FRefuseFd, reinterpret_cast<sockaddr*>(&bound), &len);
        FPort = ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port
                                                  : reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
        Print(QStringLiteral("refusing connections on %1:%2").arg(FOptions.HostText).arg(FPort));
        return true;
    }
    if (!FServer.listen(FOptions.Host, FOptions.Port)) {
        AError = QStringLiteral("cannot listen on %1:%2: %3")
                     .arg(FOptions.HostText)
                     .arg(FOptions.Port)
                     .arg(FServer.errorString());
        return false;
    }
    FPort = FServer.serverPort();
    Print(QStringLiteral("listening on %1:%2, %3 scenario lines")
              .arg(FOptions.HostText)
              .arg(FPort)
              .arg(FScenario.size()));
    if (FOptions.KeepAliveSeconds > 0 && !FOptions.Silent) {
        FKeepAliveTimer.start(FOptions.KeepAliveSeconds * 1000);
    }
    return true;
}

void TEqSimServer::OnNewConnection()
{
    while (QTcpSocket* socket = FServer.nextPendingConnection()) {
        auto* session = new TEqSimSession(this, socket, FNextId++);
        FSessions.append(session);
        Print(QStringLiteral("client %1 connected from %2:%3")
                  .arg(session->Id())
                  .arg(socket->peerAddress().toString())
                  .arg(socket->peerPort()));
        session->Start();
    }
}

void TEqSimServer::SendKeepAlives()
{
    FSessions.removeAll(nullptr);
    for (const QPointer<TEqSimSession>& session : FSessions) {
        if (session && session->IsOpen()) {
            Print(QStringLiteral("client %1 <- 99 (keep-alive)").arg(session->Id()));
            session->SendRaw("99", true);
        }
    }
}
