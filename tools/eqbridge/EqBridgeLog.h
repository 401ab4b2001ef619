#pragma once

#include <QByteArray>
#include <QString>

#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>

// The bridge's log on standard error, written by a thread of its own: a stuck
// reader (a full pipe, a paused terminal) never holds the relay up. At most
// MaxQueuedBytes wait; lines beyond that are counted and the count is written
// once the writer catches up.
class TEqBridgeLogWriter
{
public:
    static constexpr qsizetype MaxQueuedBytes = 1 << 20;

    explicit TEqBridgeLogWriter(std::FILE* AOut = stderr);
    // Writes what is queued for at most a second, then gives up on a stuck reader.
    ~TEqBridgeLogWriter();
    TEqBridgeLogWriter(const TEqBridgeLogWriter&) = delete;
    TEqBridgeLogWriter& operator=(const TEqBridgeLogWriter&) = delete;

    // One line with a time stamp; control characters are escaped.
    void Write(const QString& AText);
    qint64 Dropped() const;

    // Control characters (C0, DEL, C1) as \xNN, so feed or client text cannot drive the terminal.
    static QString Escaped(const QString& AText);

private:
    void Run();

    std::FILE* FOut;
    mutable std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FDrained;
    std::deque<QByteArray> FQueue;
    qsizetype FQueuedBytes = 0;
    qint64 FDropped = 0;
    qint64 FDroppedUnreported = 0;
    bool FStop = false;
    bool FWriting = false;
    std::thread FThread;
};
