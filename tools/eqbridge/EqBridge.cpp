#include "EqBridge.h"

namespace {
QString Excerpt(const QByteArray& AJson)
{
    constexpr qsizetype Limit = 300;
    QString text = QString::fromUtf8(AJson.left(Limit)).simplified();
    if (AJson.size() > Limit) {
        text += QStringLiteral("... (%1 bytes)").arg(AJson.size());
    }
    return text;
}
} // namespace

TEqBridgeMapped TEqBridge::HandleMessage(const QByteArray& AJson, qint64 AShiftSecs)
{
    TEqBridgeMapped mapped = MapEqBridgeMessage(AJson, AShiftSecs);
    const QString report = QStringLiteral("ND%1 #%2").arg(mapped.EventId).arg(mapped.Serial);
    switch (mapped.Outcome) {
    case eboIgnore:
        return mapped;
    case eboCancel:
        FLog(QStringLiteral("cancel of %1 not forwarded: the line format cannot carry a cancel").arg(report));
        return mapped;
    case eboDrop:
        ++FDropped;
        FLog(QStringLiteral("dropped: %1: %2").arg(mapped.Reason, Excerpt(AJson)));
        return mapped;
    case eboForward:
        break;
    }
    if (FSeen.contains(report)) {
        mapped.Outcome = eboDrop;
        mapped.Reason = QStringLiteral("duplicate of %1").arg(report);
        FLog(QStringLiteral("duplicate %1 not forwarded again").arg(report));
        return mapped;
    }
    FSeen.insert(report);
    FSeenOrder.enqueue(report);
    if (FSeenOrder.size() > RememberedReports) {
        FSeen.remove(FSeenOrder.dequeue());
    }

    QByteArray block = mapped.Line01.toUtf8() + '\n';
    if (!mapped.Line10.isEmpty()) {
        block += mapped.Line10.toUtf8() + '\n';
    }
    ++FForwarded;
    FServe(block); // before the log line, which only costs time here
    FLog(QStringLiteral("forward %1%2%3%4%5: %6")
             .arg(report, mapped.IsWarning ? QStringLiteral(" warning") : QString(),
                  mapped.IsDrill ? QStringLiteral(" drill") : QString(),
                  mapped.IsAssumed ? QStringLiteral(" assumed source") : QString(),
                  mapped.IsFinal ? QStringLiteral(" final") : QString(), mapped.Line01));
    return mapped;
}
