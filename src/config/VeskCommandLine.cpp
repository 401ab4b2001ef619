#include "config/VeskCommandLine.h"

#include "config/VeskConfParams.h"
#include "logging/VeskLogging.h"

#include <QRandomGenerator>

#ifndef ULX_DEFAULT_EQ_SERVER
#define ULX_DEFAULT_EQ_SERVER "localhost"
#endif

namespace {

bool IsSwitch(const QString& AArgument)
{
    return AArgument.startsWith(QLatin1Char('-')) || AArgument.startsWith(QLatin1Char('/'));
}

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
    ALogger->EnterMethod(name);
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
        const std::optional<qint32> value = VeskParseInteger(port->trimmed());
        if (value) {
            FCLOptEqServerPort = *value;
        } else {
            FCLOptEqServerPort = 80;
            ALogger->Send(vmtWarning,
                          QStringLiteral("Specified port # is invalid. Program will use default port #80."));
        }
    }

    FCLOptEqServerConId.clear();
    if (const auto conId = FindOption(AArguments, QStringLiteral("ConId"))) {
        FCLOptEqServerConId = *conId;
        ALogger->Send(vmtNotable, QStringLiteral("Detected 'ConId'."),
                      QStringLiteral("Program will use this ID for connecting Eq-server."));
    }
    ALogger->ExitMethod(name);
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
        static const QString alphabet =
            QStringLiteral("0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz+-/*_");
        // The global generator is seeded once per process start.
        QRandomGenerator* generator = QRandomGenerator::global();
        for (int i = 0; i < 12; ++i) {
            FRandomConId += alphabet.at(generator->bounded(int(alphabet.size())));
        }
    }
    return FRandomConId;
}
