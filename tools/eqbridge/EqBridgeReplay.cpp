#include "EqBridgeReplay.h"

#include "EqBridgeMapper.h"

#include <QFile>

#include <algorithm>
#include <cmath>

bool TEqBridgeReplay::Load(const QString& AFileName, qint64 AMaxGapMs, QList<TItem>& AItems, QString& AError)
{
    QFile file(AFileName);
    if (!file.open(QIODevice::ReadOnly)) {
        AError = QStringLiteral("cannot read '%1': %2").arg(AFileName, file.errorString());
        return false;
    }
    AItems.clear();
    qint64 previousMs = -1;
    while (!file.atEnd()) {
        const QByteArray line = file.readLine().trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        TItem item;
        item.Json = line;
        const qint64 announcedMs = MapEqBridgeMessage(line).AnnouncedMs;
        if (announcedMs >= 0) {
            if (previousMs >= 0) {
                item.DelayMs = std::clamp<qint64>(announcedMs - previousMs, 0, AMaxGapMs);
            }
            previousMs = announcedMs;
        }
        AItems.append(item);
    }
    return true;
}

void TEqBridgeReplay::Start()
{
    if (FStarted) {
        return;
    }
    FStarted = true;
    FIndex = 0;
    // The first message goes out at once.
    if (!FItems.isEmpty()) {
        FItems.first().DelayMs = 0;
    }
    ScheduleNext();
}

void TEqBridgeReplay::ScheduleNext()
{
    if (FIndex >= FItems.size()) {
        if (OnFinished) {
            OnFinished();
        }
        return;
    }
    FTimer.start(static_cast<int>(std::llround(double(FItems.at(FIndex).DelayMs) / FSpeed)));
}

void TEqBridgeReplay::PlayNext()
{
    const QByteArray json = FItems.at(FIndex).Json;
    ++FIndex;
    if (OnMessage) {
        OnMessage(json);
    }
    ScheduleNext();
}
