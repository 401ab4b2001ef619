#pragma once

#include "defines/VeskPlatform.h"

#include <QByteArray>
#include <QString>

// A line-oriented TCP client for the receiver thread: one connection, lines
// ended by LF (a CR before it is dropped), decoded as UTF-8. Every wait also
// watches the owner's wake event, so a stop request ends a connect or a read at
// once instead of after a polling period.
class TEqTcpClient
{
public:
    // Longest accepted line in bytes, without its terminator.
    static constexpr int MaxLineLength = 16384;

    enum TReadResult
    {
        rrLine,   // ALine holds one line (possibly empty)
        rrNoLine, // no complete line within the time-out, or woken up
        rrError   // link error; AError says why
    };

    // AWake is signalled when the owner wants every wait to end; it must outlive the client.
    TEqTcpClient(const QString& AHost, quint16 APort, const TVeskWakeEvent& AWake);
    ~TEqTcpClient();
    TEqTcpClient(const TEqTcpClient&) = delete;
    TEqTcpClient& operator=(const TEqTcpClient&) = delete;

    // Resolves the host and connects; false with a reason on failure or wake-up.
    bool Connect(QString& AError);
    bool IsConnected() const { return FSocket >= 0 && !FPeerClosed; }
    void Close();
    // Writes the bytes and a line feed; false with a reason when they could not all be written.
    bool WriteLine(const QByteArray& AData, QString& AError);
    // Returns a buffered line at once; otherwise waits up to ATimeoutMs for one to complete.
    TReadResult ReadLine(int ATimeoutMs, QString& ALine, QString& AError);

private:
    bool TakeLine(QString& ALine, QString& AError, bool& AFailed);
    TVeskWaitResult WaitSocket(TVeskSocketWait AFor, int ATimeoutMs) const
    {
        return FWake->Wait(ATimeoutMs, FSocket, AFor);
    }

    QString FHost;
    quint16 FPort = 0;
    const TVeskWakeEvent* FWake = nullptr;
    int FSocket = -1;
    bool FPeerClosed = false;
    QByteArray FBuffer;
    qsizetype FBufferPos = 0;
};
