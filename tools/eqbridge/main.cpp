// eqbridge: serves earthquake early warnings of a public WebSocket feed (or a
// recording of one) to Ulmaro X receivers as a local EQ server.

#include "EqBridge.h"
#include "EqBridgeFeed.h"
#include "EqBridgeLog.h"
#include "EqBridgeReplay.h"
#include "EqBridgeServer.h"
#include "defines/VeskDefines.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QUrl>

#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace {
constexpr int ExitListenFailed = 1;
constexpr int ExitUsage = 2;

const char* const Description = "Serves earthquake early warnings to Ulmaro X as a local EQ server.\n"
                                "\n"
                                "Connects to the WebSocket feeds given by --source URL (one or more: JMA-EEW relay\n"
                                "messages, \"type\": \"jma_eew\", or P2P earthquake information records of code 556),\n"
                                "or plays the recording --replay FILE (one message per line), and writes to every\n"
                                "receiver connected to --listen (default 127.0.0.1:8000), per report: a type-11\n"
                                "line with JMA's area forecast (when the report has one), the type-01 line and a\n"
                                "type-10 line with the epicentre name. A cancel is served as the event's last\n"
                                "type-01 line with type code 39. Each report is served once, from whichever feed\n"
                                "brings it first. Receivers' \"99\" keep-alives are answered; a receiver that\n"
                                "connects while an earthquake is under way is sent its latest report at once.\n"
                                "When no feed link has been up for 10 s, receivers are closed (they show the link\n"
                                "as down) until a feed is back. Everything is logged on standard error.\n"
                                "\n"
                                "A replay starts when the first receiver has sent its connection request, keeps\n"
                                "the spacing of the messages' issue times (divided by --speed, gaps at most\n"
                                "--max-gap seconds) and shifts the times of every line so that each earthquake's\n"
                                "first issue time is the moment of sending and no time lies in the future\n"
                                "(--keep-times sends them as recorded).\n"
                                "\n"
                                "Exit status: 0 normally, 1 when the address cannot be used, 2 for bad arguments\n"
                                "or an unreadable recording.";

// Feed links down for this long: receivers are no longer served.
constexpr int FeedGraceMs = 10000;

TEqBridgeLogWriter* LogWriter = nullptr;

void Log(const QString& AText)
{
    if (LogWriter) {
        LogWriter->Write(AText);
    }
}

void Fail(const QString& AMessage)
{
    std::fprintf(stderr, "eqbridge: %s\n", qUtf8Printable(AMessage));
}

bool ParseListen(const QString& AText, QHostAddress& AAddress, quint16& APort)
{
    const qsizetype colon = AText.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0) {
        return false;
    }
    QString host = AText.left(colon);
    if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']'))) {
        host = host.mid(1, host.size() - 2);
    }
    bool ok = false;
    const uint port = AText.mid(colon + 1).toUInt(&ok);
    if (!ok || port > 65535) {
        return false;
    }
    APort = quint16(port);
    if (host.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        AAddress = QHostAddress(QHostAddress::LocalHost);
        return true;
    }
    return AAddress.setAddress(host);
}

// The clock in Japan as a zone-less instant, comparable with the feed's times.
qint64 LocalClockSecs()
{
    const QDateTime now = VeskJapanNow();
    return QDateTime(now.date(), now.time(), Qt::UTC).toSecsSinceEpoch();
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("eqbridge"));
    TEqBridgeLogWriter logWriter;
    LogWriter = &logWriter;

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("source"),
         QStringLiteral("WebSocket feed to listen to (ws:// or wss://); may be given more than once."),
         QStringLiteral("URL")},
        {QStringLiteral("replay"), QStringLiteral("Play a recorded feed instead of --source."), QStringLiteral("FILE")},
        {QStringLiteral("listen"),
         QStringLiteral("Address and port to serve (default 127.0.0.1:8000; port 0 picks one)."),
         QStringLiteral("ADDRESS:PORT"), QStringLiteral("127.0.0.1:8000")},
        {QStringLiteral("speed"), QStringLiteral("Replay: divide every gap by FACTOR (default 1)."),
         QStringLiteral("FACTOR"), QStringLiteral("1")},
        {QStringLiteral("max-gap"), QStringLiteral("Replay: longest gap between two messages (default 60)."),
         QStringLiteral("SECONDS"), QStringLiteral("60")},
        {QStringLiteral("keep-times"), QStringLiteral("Replay: send the times as recorded.")},
        {QStringLiteral("record"),
         QStringLiteral("With --source: append every message of the feed to FILE, one per line, for --replay."),
         QStringLiteral("FILE")},
        {QStringLiteral("print"), QStringLiteral("Replay: write the lines that would be served to standard output and "
                                                 "exit, at once and with the recorded times.")},
    });
    if (!parser.parse(QCoreApplication::arguments())) {
        Fail(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    const bool hasSource = parser.isSet(QStringLiteral("source"));
    const bool hasReplay = parser.isSet(QStringLiteral("replay"));
    if (hasSource == hasReplay) {
        Fail(QStringLiteral("give either --source URL or --replay FILE"));
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("print")) && !hasReplay) {
        Fail(QStringLiteral("--print needs --replay FILE"));
        return ExitUsage;
    }
    bool ok = false;
    const double speed = parser.value(QStringLiteral("speed")).toDouble(&ok);
    if (!ok || !(speed > 0.0)) {
        Fail(QStringLiteral("invalid value '%1' for --speed (a number above 0)")
                 .arg(parser.value(QStringLiteral("speed"))));
        return ExitUsage;
    }
    const int maxGapSecs = parser.value(QStringLiteral("max-gap")).toInt(&ok);
    if (!ok || maxGapSecs < 0 || maxGapSecs > 86400) {
        Fail(QStringLiteral("invalid value '%1' for --max-gap (0 to 86400)")
                 .arg(parser.value(QStringLiteral("max-gap"))));
        return ExitUsage;
    }

    if (parser.isSet(QStringLiteral("print"))) {
        QList<TEqBridgeReplay::TItem> items;
        QString error;
        if (!TEqBridgeReplay::Load(parser.value(QStringLiteral("replay")), 0, items, error)) {
            Fail(error);
            return ExitUsage;
        }
        TEqBridge bridge(
            Log, [](const QByteArray& ABlock) { std::fwrite(ABlock.constData(), 1, size_t(ABlock.size()), stdout); });
        for (const TEqBridgeReplay::TItem& item : items) {
            bridge.HandleMessage(item.Json);
        }
        std::fflush(stdout);
        return 0;
    }

    QHostAddress address;
    quint16 port = 0;
    if (!ParseListen(parser.value(QStringLiteral("listen")), address, port)) {
        Fail(QStringLiteral("invalid value '%1' for --listen (ADDRESS:PORT)")
                 .arg(parser.value(QStringLiteral("listen"))));
        return ExitUsage;
    }
    TEqBridgeServer server(Log);
    TEqBridge bridge(Log, [&server](const QByteArray& ABlock) { server.Broadcast(ABlock); });

    QFile record;
    std::vector<std::unique_ptr<TEqBridgeFeed>> feeds;
    TEqBridgeFeedStatus feedStatus(FeedGraceMs);
    std::unique_ptr<TEqBridgeReplay> replay;
    // A live replay's shift per earthquake, fixed by its first message.
    std::map<QString, qint64> shifts;
    server.CatchUp = [&bridge] { return bridge.CatchUp(); };
    if (hasSource) {
        if (parser.isSet(QStringLiteral("record"))) {
            record.setFileName(parser.value(QStringLiteral("record")));
            if (!record.open(QIODevice::WriteOnly | QIODevice::Append)) {
                Fail(QStringLiteral("cannot open '%1': %2").arg(record.fileName(), record.errorString()));
                return ExitUsage;
            }
        }
        const auto onMessage = [&bridge, &record](const QString& AText) {
            const QByteArray json = AText.toUtf8();
            // The feeds' own heartbeats and other kinds of information are not worth keeping.
            if (bridge.HandleMessage(json).Outcome != eboIgnore && record.isOpen()) {
                // One message per line, whatever line breaks the feed put inside it.
                const QJsonDocument document = QJsonDocument::fromJson(json);
                record.write(document.isObject() ? document.toJson(QJsonDocument::Compact) : json.simplified());
                record.write("\n");
                record.flush();
            }
        };
        for (const QString& source : parser.values(QStringLiteral("source"))) {
            const QUrl url(source, QUrl::StrictMode);
            if (!url.isValid() || (url.scheme() != QLatin1String("ws") && url.scheme() != QLatin1String("wss"))) {
                Fail(QStringLiteral("invalid value '%1' for --source (a ws:// or wss:// URL)").arg(source));
                return ExitUsage;
            }
            feeds.push_back(std::make_unique<TEqBridgeFeed>(url, TEqBridgeFeedTiming{}, Log));
            feeds.back()->OnMessage = onMessage;
            feedStatus.Add(feeds.back().get());
        }
        // Receivers are served only while a feed is up, so their link status is the feed's.
        server.SetServing(false, QStringLiteral("no feed link up yet"));
        feedStatus.OnServingChanged = [&server](bool AServing, const QString& AReason) {
            server.SetServing(AServing, AReason);
        };
    } else {
        QList<TEqBridgeReplay::TItem> items;
        QString error;
        if (!TEqBridgeReplay::Load(parser.value(QStringLiteral("replay")), qint64(maxGapSecs) * 1000, items, error)) {
            Fail(error);
            return ExitUsage;
        }
        Log(QStringLiteral("replay of %1 messages, waiting for a receiver").arg(items.size()));
        replay = std::make_unique<TEqBridgeReplay>(items, speed);
        const bool keepTimes = parser.isSet(QStringLiteral("keep-times"));
        replay->OnMessage = [&bridge, &shifts, keepTimes](const QByteArray& AJson) {
            qint64 shift = 0;
            const TEqBridgeMapped probe = MapEqBridgeMessage(AJson);
            if (!keepTimes && probe.AnnouncedMs >= 0) {
                // Each earthquake starts now; within it the recorded spacing is kept, but a
                // faster replay or a shortened gap never puts a time into the future.
                const qint64 toNow = LocalClockSecs() - probe.AnnouncedMs / 1000;
                const auto known = shifts.find(probe.EventId);
                shift = known == shifts.end() ? toNow : std::min(known->second, toNow);
                shifts[probe.EventId] = shift;
            }
            bridge.HandleMessage(AJson, shift);
        };
        replay->OnFinished = [&bridge] {
            Log(QStringLiteral("replay finished: %1 forwarded, %2 dropped, %3 duplicates")
                    .arg(bridge.Forwarded())
                    .arg(bridge.Dropped())
                    .arg(bridge.Duplicates()));
        };
        server.OnConnectionRequest = [&replay](int, const QString&) { replay->Start(); };
    }

    QString error;
    if (!server.Listen(address, port, error)) {
        Fail(error);
        return ExitListenFailed;
    }
    for (const std::unique_ptr<TEqBridgeFeed>& feed : feeds) {
        feed->Start();
    }
    return QCoreApplication::exec();
}
