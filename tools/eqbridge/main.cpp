// eqbridge: serves earthquake early warnings of a public WebSocket feed (or a
// recording of one) to Ulmaro X receivers as a local EQ server.

#include "EqBridge.h"
#include "EqBridgeFeed.h"
#include "EqBridgeReplay.h"
#include "EqBridgeServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QJsonDocument>
#include <QUrl>

#include <cstdio>
#include <memory>
#include <optional>

namespace {
constexpr int ExitListenFailed = 1;
constexpr int ExitUsage = 2;

const char* const Description = "Serves earthquake early warnings to Ulmaro X as a local EQ server.\n"
                                "\n"
                                "Connects to the WebSocket feed --source URL (JSON messages of type \"jma_eew\"),\n"
                                "or plays the recording --replay FILE (one such message per line), and writes one\n"
                                "type-01 line per warning report, plus a type-10 line with the epicentre name, to\n"
                                "every receiver connected to --listen (default 127.0.0.1:8000). Receivers' \"99\"\n"
                                "keep-alives are answered. Cancels, duplicates and messages that cannot be mapped\n"
                                "are logged (standard error) and not served.\n"
                                "\n"
                                "A replay starts when the first receiver has sent its connection request, keeps\n"
                                "the spacing of the messages' issue times (divided by --speed, gaps at most\n"
                                "--max-gap seconds) and shifts both times of every line so that the first issue\n"
                                "time is the moment of sending (--keep-times sends them as recorded).\n"
                                "\n"
                                "Exit status: 0 normally, 1 when the address cannot be used, 2 for bad arguments\n"
                                "or an unreadable recording.";

void Log(const QString& AText)
{
    const QByteArray line =
        (QDateTime::currentDateTime().toString(QStringLiteral("[yyyy-MM-dd HH:mm:ss.zzz] ")) + AText + '\n').toUtf8();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
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

// The local clock reading as a zone-less instant, comparable with the feed's times.
qint64 LocalClockSecs()
{
    const QDateTime now = QDateTime::currentDateTime();
    return QDateTime(now.date(), now.time(), Qt::UTC).toSecsSinceEpoch();
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("eqbridge"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("source"), QStringLiteral("WebSocket feed to listen to (ws:// or wss://)."),
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
    std::unique_ptr<TEqBridgeFeed> feed;
    std::unique_ptr<TEqBridgeReplay> replay;
    std::optional<qint64> shiftSecs; // of a live replay, fixed by its first message
    if (hasSource) {
        const QUrl url(parser.value(QStringLiteral("source")), QUrl::StrictMode);
        if (!url.isValid() || (url.scheme() != QLatin1String("ws") && url.scheme() != QLatin1String("wss"))) {
            Fail(QStringLiteral("invalid value '%1' for --source (a ws:// or wss:// URL)")
                     .arg(parser.value(QStringLiteral("source"))));
            return ExitUsage;
        }
        if (parser.isSet(QStringLiteral("record"))) {
            record.setFileName(parser.value(QStringLiteral("record")));
            if (!record.open(QIODevice::WriteOnly | QIODevice::Append)) {
                Fail(QStringLiteral("cannot open '%1': %2").arg(record.fileName(), record.errorString()));
                return ExitUsage;
            }
        }
        feed = std::make_unique<TEqBridgeFeed>(url, TEqBridgeFeedTiming{}, Log);
        feed->OnMessage = [&bridge, &record](const QString& AText) {
            const QByteArray json = AText.toUtf8();
            // The feed's own heartbeats are not worth keeping.
            if (bridge.HandleMessage(json).Outcome != eboIgnore && record.isOpen()) {
                // One message per line, whatever line breaks the feed put inside it.
                const QJsonDocument document = QJsonDocument::fromJson(json);
                record.write(document.isObject() ? document.toJson(QJsonDocument::Compact) : json.simplified());
                record.write("\n");
                record.flush();
            }
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
        replay->OnMessage = [&bridge, &shiftSecs, keepTimes](const QByteArray& AJson) {
            if (!keepTimes && !shiftSecs) {
                const qint64 announcedMs = MapEqBridgeMessage(AJson).AnnouncedMs;
                if (announcedMs >= 0) {
                    shiftSecs = LocalClockSecs() - announcedMs / 1000;
                }
            }
            bridge.HandleMessage(AJson, shiftSecs.value_or(0));
        };
        replay->OnFinished = [&bridge] {
            Log(QStringLiteral("replay finished: %1 forwarded, %2 dropped")
                    .arg(bridge.Forwarded())
                    .arg(bridge.Dropped()));
        };
        server.OnConnectionRequest = [&replay](int, const QString&) { replay->Start(); };
    }

    QString error;
    if (!server.Listen(address, port, error)) {
        Fail(error);
        return ExitListenFailed;
    }
    if (feed) {
        feed->Start();
    }
    return QCoreApplication::exec();
}
