#include "config/VeskCommandLine.h"

#include "config/VeskConfParams.h"
#include "logging/VeskLogging.h"

#include <QRandomGenerator>

#include <algorithm>

#ifndef ULX_DEFAULT_EQ_SERVER
#define ULX_DEFAULT_EQ_SERVER "localhost"
#endif

namespace {

bool IsSwitch(const QString& AArgument)
{
    return AArgument.startsWith(QLatin1Char('-')) || AArgument.startsWith(QLatin1Char('/'));
}

// The characters of a drawn connection id, and the only ones an id given on the
// command line may use. The id travels in the line "93:<id>:<area code>", 7-bit ASCII
// ended by a line feed: a line break would split it into several requests, a colon
// would shift the area code, and anything outside ASCII cannot be sent as it was
// logged. The drawn alphabet has none of these and is what the server knows.
const QString& ConIdAlphabet()
{
    static const QString alphabet =
        QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+-/*_");
    return alphabet;
}

bool IsValidConId(const QString& AId)
{
    return std::all_of(AId.begin(), AId.end(), [](QChar c) { return ConIdAlphabet().contains(c); });
}

// The id for the log line: characters outside the alphabet as \uXXXX, so a line
// break in it cannot break the log line either.
QString ConIdForLog(const QString& AId)
{
    QString out;
    for (const QChar c : AId) {
        if (ConIdAlphabet().contains(c)) {
            out += c;
        } else {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        }
    }
    return out;
}

// Ports a socket can connect to.
constexpr qint32 MinPort = 1;
constexpr qint32 MaxPort = 65535;

const QStringList& KnownOptions()
{
    static const QStringList options = {QStringLiteral("DebugOnLocal"), QStringLiteral("EqServer"),
                                        QStringLiteral("EqServerPort"), QStringLiteral("ConId")};
    return options;
}

bool NamesOption(QStringView AName, const QString& AOption)
{
    if (!AName.startsWith(AOption, Qt::CaseInsensitive)) {
        return false;
    }
    // "-EqServerPort" names the port, not a server called "Port": an argument that
    // spells out a longer option does not count for a shorter one it begins with.
    for (const QString& other : KnownOptions()) {
        if (other.size() > AOption.size() && other.startsWith(AOption, Qt::CaseInsensitive) &&
            AName.startsWith(other, Qt::CaseInsensitive)) {
            return false;
        }
    }
    return true;
}

} // namespace

QString TVeskCommandLine::DefaultServerName()
{
    return QStringLiteral(ULX_DEFAULT_EQ_SERVER);
}

std::optional<QString> TVeskCommandLine::FindOption(const QStringList& AArguments, const QString& AOption)
{
    for (qsizetype i = 0; i < AArguments.size(); ++i) {
        const QString& argument = AArguments.at(i);
        if (!IsSwitch(argument) || !NamesOption(QStringView(argument).mid(1), AOption)) {
            continue;
        }
        QString rest = argument.mid(1 + AOption.size());
        if (!rest.isEmpty()) {
            if (rest.startsWith(QLatin1Char(':'))) {
                rest.remove(0, 1);
            }
            return rest;
        }
        if (i + 1 < AArguments.size() && !IsSwitch(AArguments.at(i + 1))) {
            return AArguments.at(i + 1);
        }
        return QString();
    }
    return std::nullopt;
}

bool TVeskCommandLine::LoadCommandLineOption(const QStringList& AArguments, TVeskLogger* ALogger)
{
    const QString name = QStringLiteral("LoadCommandLineOption()");
    ALogger = TVeskLogger::OrNull(ALogger);
    const TVeskLogScope scope(ALogger, name);
    FDebugMode = FindOption(AArguments, QStringLiteral("DebugOnLocal")).has_value();
    if (FDebugMode) {
        ALogger->Send(vmtNotable, QStringLiteral("Detected 'Debug on local'."),
                      QStringLiteral("Program connect to local server."));
    }

    FCLOptEqServer.clear();
    if (const auto server = FindOption(AArguments, QStringLiteral("EqServer"))) {
        FCLOptEqServer = *server;
        ALogger->Send(vmtNotable, QStringLiteral("Detected 'EqServer'."),
                      QStringLiteral("Program will connect to this Eq-server:") + *server);
    }

    FCLOptEqServerPort = -1;
    if (const auto port = FindOption(AArguments, QStringLiteral("EqServerPort"))) {
        ALogger->Send(vmtNotable, QStringLiteral("Detected 'EqServerPort'."),
                      QStringLiteral("Program will connect to this port of Eq-server:") + *port);
        // A port the socket cannot use is as invalid as one that is not a number: a
        // larger one would otherwise be cut to 16 bits and reach another port.
        const std::optional<qint32> value = VeskParseInteger(port->trimmed());
        if (value && *value >= MinPort && *value <= MaxPort) {
            FCLOptEqServerPort = *value;
        } else {
            FCLOptEqServerPort = 80;
            ALogger->Send(vmtWarning,
                          QStringLiteral("Specified port # is invalid. Program will use default port #80."));
        }
    }

    FCLOptEqServerConId.clear();
    if (const auto conId = FindOption(AArguments, QStringLiteral("ConId"))) {
        ALogger->Send(vmtNotable, QStringLiteral("Detected 'ConId'."),
                      QStringLiteral("Program will use this ID for connecting Eq-server."));
        if (IsValidConId(*conId)) {
            FCLOptEqServerConId = *conId;
        } else {
            ALogger->Send(vmtWarning,
                          QStringLiteral("Specified connection ID is invalid. Program will use a random ID."),
                          ConIdForLog(*conId));
        }
    }
    return true;
}

QString TVeskCommandLine::GetServerName() const
{
    QString host = DefaultServerName();
    if (FDebugMode) {
        host = QStringLiteral("127.0.0.1");
    }
    if (!FCLOptEqServer.isEmpty()) {
        host = FCLOptEqServer;
    }
    return host;
}

int TVeskCommandLine::GetServerPort() const
{
    if (FCLOptEqServerPort >= 0) {
        return FCLOptEqServerPort;
    }
    return FDebugMode ? 8000 : 80;
}

QString TVeskCommandLine::GetServerConId() const
{
    if (!FCLOptEqServerConId.isEmpty()) {
        return FCLOptEqServerConId;
    }
    if (FRandomConId.isEmpty()) {
        // The global generator is seeded once per process start.
        QRandomGenerator* generator = QRandomGenerator::global();
        for (int i = 0; i < 12; ++i) {
            FRandomConId += ConIdAlphabet().at(generator->bounded(int(ConIdAlphabet().size())));
        }
    }
    return FRandomConId;
}
