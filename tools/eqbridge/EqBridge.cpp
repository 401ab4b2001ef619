#include "EqBridge.h"

#include <QElapsedTimer>

#include <algorithm>
#include <vector>

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

const char* FormatName(TEqBridgeFormat AFormat)
{
    switch (AFormat) {
    case ebfRelay:
        return "relay";
    case ebfP2P:
        return "p2p";
    case ebfUnknown:
        break;
    }
    return "unknown";
}

qint64 SteadyMs()
{
    static QElapsedTimer timer = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return timer.elapsed();
}
} // namespace

TEqBridge::TEqBridge(TLog ALog, TServe AServe, TClock AClock)
    : FLog(std::move(ALog)), FServe(std::move(AServe)), FClock(AClock ? std::move(AClock) : TClock(SteadyMs))
{}

bool TEqBridge::IsDuplicate(const TEqBridgeMapped& AMapped, const QString& AReport)
{
    QString why;
    if (FSeen.contains(AReport)) {
        why = QStringLiteral("duplicate %1 not forwarded again").arg(AReport);
    } else if (const auto event = FEvents.constFind(AMapped.EventId); event != FEvents.cend()) {
        if (event->Cancelled) {
            why = QStringLiteral("%1 not forwarded: the event was cancelled").arg(AReport);
        } else if (AMapped.Serial < event->LastSerial) {
            why =
                QStringLiteral("%1 not forwarded: older than #%2, already served").arg(AReport).arg(event->LastSerial);
        }
    }
    if (why.isEmpty()) {
        return false;
    }
    ++FDuplicates;
    FLog(QStringLiteral("%1 (%2)").arg(why, QLatin1String(FormatName(AMapped.Format))));
    return true;
}

void TEqBridge::Remember(const QString& AReport)
{
    FSeen.insert(AReport);
    FSeenOrder.enqueue(AReport);
    if (FSeenOrder.size() > RememberedReports) {
        FSeen.remove(FSeenOrder.dequeue());
    }
}

void TEqBridge::ForgetOldEvents()
{
    if (FEvents.size() <= RememberedEvents) {
        return;
    }
    // The oldest quarter goes; events of the last minutes are never that many.
    std::vector<std::pair<qint64, QString>> byAge;
    for (auto i = FEvents.cbegin(); i != FEvents.cend(); ++i) {
        byAge.emplace_back(i->Order, i.key());
    }
    std::sort(byAge.begin(), byAge.end());
    for (std::size_t i = 0; i < byAge.size() / 4; ++i) {
        FEvents.remove(byAge[i].second);
    }
}

void TEqBridge::Cancel(const TEqBridgeMapped& AMapped, const QString& AReport)
{
    const auto event = FEvents.find(AMapped.EventId);
    if (event == FEvents.end()) {
        ++FDropped;
        FLog(QStringLiteral("cancel %1 not forwarded: no report of the event was served").arg(AReport));
        return;
    }
    TEqTelegram01Fields fields = event->LastFields;
    fields.Type = QStringLiteral("39");
    fields.Serial = AMapped.Serial;
    const std::optional<QString> line = ComposeEqTelegram01(fields);
    if (!line) {
        ++FDropped;
        FLog(QStringLiteral("cancel %1 not forwarded: its line cannot be composed").arg(AReport));
        return;
    }
    Remember(AReport);
    event->Cancelled = true;
    event->LastSerial = AMapped.Serial;
    event->LastMs = FClock();
    ++FCancels;
    FServe(line->toUtf8() + '\n');
    FLog(QStringLiteral("forward cancel %1 (%2): %3").arg(AReport, QLatin1String(FormatName(AMapped.Format)), *line));
}

TEqBridgeMapped TEqBridge::HandleMessage(const QByteArray& AJson, qint64 AShiftSecs)
{
    TEqBridgeMapped mapped = MapEqBridgeMessage(AJson, AShiftSecs);
    const QString report = QStringLiteral("ND%1 #%2").arg(mapped.EventId).arg(mapped.Serial);
    switch (mapped.Outcome) {
    case eboIgnore:
        ++FIgnored;
        if (mapped.IgnoredKind != QLatin1String("heartbeat") && mapped.IgnoredKind != QLatin1String("pong") &&
            !FIgnoredKinds.contains(mapped.IgnoredKind) && FIgnoredKinds.size() < 64) {
            FIgnoredKinds.insert(mapped.IgnoredKind);
            FLog(QStringLiteral("ignoring messages of %1: no early warning (logged once)").arg(mapped.Reason));
        }
        return mapped;
    case eboCancel:
        if (!IsDuplicate(mapped, report)) {
            Cancel(mapped, report);
        }
        return mapped;
    case eboDrop:
        ++FDropped;
        FLog(QStringLiteral("dropped: %1: %2").arg(mapped.Reason, Excerpt(AJson)));
        return mapped;
    case eboForward:
        break;
    }
    if (IsDuplicate(mapped, report)) {
        mapped.Outcome = eboDrop;
        mapped.Reason = QStringLiteral("duplicate of %1").arg(report);
        return mapped;
    }
    Remember(report);

    QByteArray block;
    if (!mapped.Line11.isEmpty()) {
        block += mapped.Line11.toUtf8() + '\n';
    }
    block += mapped.Line01.toUtf8() + '\n';
    if (!mapped.Line10.isEmpty()) {
        block += mapped.Line10.toUtf8() + '\n';
    }
    ++FForwarded;
    FServe(block); // before the bookkeeping and the log line, which only cost time here

    TEvent& event = FEvents[mapped.EventId];
    event.LastFields = mapped.Fields;
    event.LastBlock = block;
    event.LastSerial = mapped.Serial;
    event.LastMs = FClock();
    event.Order = FNextOrder++;
    event.Final = mapped.IsFinal;
    ForgetOldEvents();

    FLog(QStringLiteral("forward %1%2%3%4%5 (%6): %7%8")
             .arg(report, mapped.IsWarning ? QStringLiteral(" warning") : QString(),
                  mapped.IsDrill ? QStringLiteral(" drill") : QString(),
                  mapped.IsAssumed ? QStringLiteral(" assumed source") : QString(),
                  mapped.IsFinal ? QStringLiteral(" final") : QString(), QLatin1String(FormatName(mapped.Format)),
                  mapped.Line01,
                  mapped.Forecasts.isEmpty() ? QString()
                                             : QStringLiteral(" with %1 area forecasts").arg(mapped.Forecasts.size())));
    return mapped;
}

QByteArray TEqBridge::CatchUp() const
{
    const qint64 now = FClock();
    std::vector<const TEvent*> active;
    for (const TEvent& event : FEvents) {
        const qint64 age = now - event.LastMs;
        if (!event.Cancelled && age < ActiveMs && (!event.Final || age <= FinalActiveMs)) {
            active.push_back(&event);
        }
    }
    std::sort(active.begin(), active.end(), [](const TEvent* A, const TEvent* B) { return A->Order < B->Order; });
    QByteArray out;
    for (const TEvent* event : active) {
        out += event->LastBlock;
    }
    return out;
}
