#include "EqBridgeLog.h"

#include <QDateTime>

#include <chrono>

TEqBridgeLogWriter::TEqBridgeLogWriter(std::FILE* AOut) : FOut(AOut), FThread([this] { Run(); }) {}

TEqBridgeLogWriter::~TEqBridgeLogWriter()
{
    std::unique_lock lock(FLock);
    FStop = true;
    FWake.notify_all();
    const bool drained =
        FDrained.wait_for(lock, std::chrono::seconds(1), [this] { return FQueue.empty() && !FWriting; });
    lock.unlock();
    if (drained) {
        FThread.join();
    } else {
        FThread.detach(); // blocked on a reader that does not read; the process ends anyway
    }
}

QString TEqBridgeLogWriter::Escaped(const QString& AText)
{
    QString out;
    out.reserve(AText.size());
    for (const QChar c : AText) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u == 0x7f || (u >= 0x80 && u < 0xa0)) {
            out += QStringLiteral("\\x%1").arg(int(u), 2, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out;
}

void TEqBridgeLogWriter::Write(const QString& AText)
{
    QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss.zzz] ")) + Escaped(AText) + u'\n')
            .toUtf8();
    std::lock_guard lock(FLock);
    if (FQueuedBytes + line.size() > MaxQueuedBytes) {
        ++FDropped;
        ++FDroppedUnreported;
        return;
    }
    FQueuedBytes += line.size();
    FQueue.push_back(std::move(line));
    FWake.notify_one();
}

qint64 TEqBridgeLogWriter::Dropped() const
{
    std::lock_guard lock(FLock);
    return FDropped;
}

void TEqBridgeLogWriter::Run()
{
    std::unique_lock lock(FLock);
    for (;;) {
        FWake.wait(lock, [this] { return FStop || !FQueue.empty(); });
        if (FQueue.empty()) {
            FDrained.notify_all();
            if (FStop) {
                return;
            }
            continue;
        }
        QByteArray line = std::move(FQueue.front());
        FQueue.pop_front();
        FQueuedBytes -= line.size();
        if (FDroppedUnreported > 0 && FQueue.empty()) {
            line += QByteArrayLiteral("[log] ") + QByteArray::number(FDroppedUnreported) +
                    QByteArrayLiteral(" log lines were dropped while standard error was not read\n");
            FDroppedUnreported = 0;
        }
        FWriting = true;
        lock.unlock();
        std::fwrite(line.constData(), 1, size_t(line.size()), FOut);
        std::fflush(FOut);
        lock.lock();
        FWriting = false;
        if (FQueue.empty()) {
            FDrained.notify_all();
        }
    }
}
