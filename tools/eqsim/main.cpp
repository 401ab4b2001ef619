// eqsim: a local EQ server for debugging and end-to-end tests. It accepts
// clients, shows their connection requests, answers keep-alives and replays a
// scenario of telegram lines, optionally with faults.

#include "EqSimQuitTimer.h"
#include "EqSimScenario.h"
#include "EqSimServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <memory>

namespace {
constexpr int ExitListenFailed = 1;
constexpr int ExitUsage = 2;
// Delays of up to a day stay within a timer's range at the slowest speed.
constexpr double MinSpeed = 0.1;
constexpr double MaxSpeed = 1000.0;

const char* const Description =
    "Local EQ server simulator.\n"
    "\n"
    "Listens on 127.0.0.1:8000 unless told otherwise, accepts one or more clients,\n"
    "prints each client's connection request (\"93:<id>:<area>\"), answers a client's\n"
    "\"99\" with \"99\", and replays SCENARIO to every client from the moment it connects.\n"
    "\n"
    "Scenario file: one line per telegram, \"+<ms> <line>\": wait <ms> milliseconds\n"
    "after the previous line, then send <line> and a line feed. Everything after the\n"
    "single blank is sent unchanged (type-01, type-10, \"99\" or anything else, so\n"
    "invalid lines can be tested). Lines starting with \"#\" and blank lines are\n"
    "ignored. Consecutive lines with \"+0\" go out in one write (one TCP segment).\n"
    "SCENARIO is a path or the name of a shipped scenario (see --list).\n"
    "\n"
    "Times: unless --keep-times is given, columns 7-18 of each type-01 line become\n"
    "the moment of sending and columns 19-30 the moment the replay of that\n"
    "earthquake (its EQ id, columns 31-46) began, so that countdowns are live.\n"
    "\n"
    "Exit status: 0 normally, 1 when the address cannot be used, 2 for bad\n"
    "arguments or an unreadable or malformed scenario (also one that is not a\n"
    "regular file or is larger than 64 MiB).";

void Fail(const QString& AMessage)
{
    std::fprintf(stderr, "eqsim: %s\n", qUtf8Printable(AMessage));
}

int ReadInt(const QCommandLineParser& AParser, const QString& AName, int AMin, int AMax, bool& AOk)
{
    bool ok = false;
    const int value = AParser.value(AName).toInt(&ok);
    if (!ok || value < AMin || value > AMax) {
        Fail(QStringLiteral("invalid value '%1' for --%2 (expected %3 to %4)")
                 .arg(AParser.value(AName), AName)
                 .arg(AMin)
                 .arg(AMax));
        AOk = false;
    }
    return value;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("eqsim"));
    // Beside the program in the build tree; in the data folder once installed.
    const QDir programDir(QCoreApplication::applicationDirPath());
    QString scenarioDir = programDir.filePath(QStringLiteral("eqsim-scenarios"));
    if (!QFileInfo(scenarioDir).isDir()) {
        scenarioDir = QDir::cleanPath(programDir.filePath(QStringLiteral(ULX_EQSIM_INSTALLED_SCENARIOS)));
    }

    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromUtf8(Description));
    parser.addHelpOption();
    parser.addOptions({
        {QStringLiteral("host"), QStringLiteral("Address to listen on (default 127.0.0.1)."), QStringLiteral("HOST"),
         QStringLiteral("127.0.0.1")},
        {QStringLiteral("port"), QStringLiteral("Port to listen on (default 8000; 0 picks a free port)."),
         QStringLiteral("PORT"), QStringLiteral("8000")},
        {QStringLiteral("keepalive"), QStringLiteral("Send \"99\" to every client every SECONDS seconds."),
         QStringLiteral("SECONDS"), QStringLiteral("0")},
        {QStringLiteral("loop"), QStringLiteral("Start the scenario again after its last line.")},
        {QStringLiteral("speed"), QStringLiteral("Divide every delay by FACTOR, 0.1 to 1000 (default 1)."),
         QStringLiteral("FACTOR"), QStringLiteral("1")},
        {QStringLiteral("keep-times"), QStringLiteral("Send type-01 lines with their times unchanged.")},
        {QStringLiteral("close-after"), QStringLiteral("Fault: close each connection after N scenario lines."),
         QStringLiteral("N")},
        {QStringLiteral("silent"), QStringLiteral("Fault: never answer keep-alives and send none.")},
        {QStringLiteral("overlong"),
         QStringLiteral("Fault: send one line of BYTES bytes right after accepting (try 20000; the client's limit is "
                        "16384)."),
         QStringLiteral("BYTES")},
        {QStringLiteral("invalid-utf8"),
         QStringLiteral("Fault: send one type-10 line holding invalid UTF-8 right after accepting.")},
        {QStringLiteral("split"), QStringLiteral("Fault: send every byte as its own TCP segment.")},
        {QStringLiteral("split-delay"), QStringLiteral("Pause between the bytes of --split (default 1)."),
         QStringLiteral("MS"), QStringLiteral("1")},
        {QStringLiteral("refuse"),
         QStringLiteral("Fault: refuse every connection (the port is reserved, not listened on).")},
        {QStringLiteral("log"), QStringLiteral("Also append everything printed to FILE."), QStringLiteral("FILE")},
        {QStringLiteral("quit-after"), QStringLiteral("Exit after SECONDS seconds."), QStringLiteral("SECONDS")},
        {QStringLiteral("list"), QStringLiteral("List the shipped scenarios and exit.")},
    });
    parser.addPositionalArgument(QStringLiteral("scenario"), QStringLiteral("Scenario to replay (optional)."),
                                 QStringLiteral("[SCENARIO]"));
    if (!parser.parse(QCoreApplication::arguments())) {
        Fail(parser.errorText());
        return ExitUsage;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        std::fputs(qUtf8Printable(parser.helpText()), stdout);
        return 0;
    }
    if (parser.isSet(QStringLiteral("list"))) {
        for (const QString& name : ListEqSimScenarios(scenarioDir)) {
            std::printf("%s\n", qUtf8Printable(name));
        }
        return 0;
    }

    TEqSimOptions options;
    bool ok = true;
    options.HostText = parser.value(QStringLiteral("host"));
    if (options.HostText.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0) {
        options.Host = QHostAddress(QHostAddress::LocalHost);
    } else if (!options.Host.setAddress(options.HostText)) {
        Fail(QStringLiteral("invalid host address '%1'").arg(options.HostText));
        return ExitUsage;
    }
    options.Port = static_cast<quint16>(ReadInt(parser, QStringLiteral("port"), 0, 65535, ok));
    options.KeepAliveSeconds = ReadInt(parser, QStringLiteral("keepalive"), 0, 86400, ok);
    options.Loop = parser.isSet(QStringLiteral("loop"));
    bool speedOk = false;
    options.Speed = parser.value(QStringLiteral("speed")).toDouble(&speedOk);
    // Also refuses NaN and infinity: a replay that silently never goes on helps nobody.
    if (!speedOk || !(options.Speed >= MinSpeed && options.Speed <= MaxSpeed)) {
        Fail(QStringLiteral("invalid value '%1' for --speed (expected %2 to %3)")
                 .arg(parser.value(QStringLiteral("speed")))
                 .arg(MinSpeed)
                 .arg(MaxSpeed));
        return ExitUsage;
    }
    options.KeepTimes = parser.isSet(QStringLiteral("keep-times"));
    if (parser.isSet(QStringLiteral("close-after"))) {
        options.CloseAfter = ReadInt(parser, QStringLiteral("close-after"), 0, 1000000000, ok);
    }
    options.Silent = parser.isSet(QStringLiteral("silent"));
    if (parser.isSet(QStringLiteral("overlong"))) {
        options.OverlongBytes = ReadInt(parser, QStringLiteral("overlong"), 3, 100000000, ok);
    }
    options.InvalidUtf8 = parser.isSet(QStringLiteral("invalid-utf8"));
    options.Split = parser.isSet(QStringLiteral("split"));
    options.SplitDelayMs = ReadInt(parser, QStringLiteral("split-delay"), 0, 60000, ok);
    options.Refuse = parser.isSet(QStringLiteral("refuse"));
    options.LogFile = parser.value(QStringLiteral("log"));
    qint64 quitAfter = 0;
    if (parser.isSet(QStringLiteral("quit-after"))) {
        quitAfter = ReadInt(parser, QStringLiteral("quit-after"), 1, 86400 * 365, ok);
    }
    if (!ok) {
        return ExitUsage;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        Fail(QStringLiteral("only one scenario can be given"));
        return ExitUsage;
    }

    QList<TEqSimLine> scenario;
    if (!positional.isEmpty()) {
        QString error;
        if (!LoadEqSimScenario(ResolveEqSimScenario(positional.first(), scenarioDir), scenario, error)) {
            Fail(error);
            return ExitUsage;
        }
    }

    TEqSimServer server(options, scenario);
    QString error;
    if (!server.Start(error)) {
        Fail(error);
        return ExitListenFailed;
    }
    std::unique_ptr<TEqSimQuitTimer> quitTimer;
    if (quitAfter > 0) {
        quitTimer = std::make_unique<TEqSimQuitTimer>(quitAfter * 1000, [] { QCoreApplication::quit(); });
    }
    return app.exec();
}
