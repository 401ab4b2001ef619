#pragma once

#include <QString>
#include <QStringList>

#include <optional>

class TVeskLogger;

// The command-line overrides of the EQ server link: "DebugOnLocal", "EqServer",
// "EqServerPort" and "ConId". Each option is written with a leading "-" or "/"; the
// name is matched as a case-insensitive prefix and its value follows directly, after
// a colon, or as the next argument. The first matching argument decides. An argument
// that spells out a longer option ("-EqServerPort") never counts for the shorter one
// ("EqServer").
// A port outside 1 to 65535 and an id with characters outside the drawn id's alphabet
// are rejected with a warning: port 80, or a drawn id, is used instead.
class TVeskCommandLine
{
public:
    TVeskCommandLine() = default;

    // The host used when neither the command line nor the debug switch names one
    // (build setting ULX_DEFAULT_EQ_SERVER).
    static QString DefaultServerName();

    // Reads the options from the program's arguments, WITHOUT the program path
    // (QCoreApplication::arguments().mid(1)). Always answers true.
    bool LoadCommandLineOption(const QStringList& AArguments, TVeskLogger* ALogger);

    bool IsDebugginMode() const { return FDebugMode; }
    QString GetServerName() const;
    int GetServerPort() const;
    // The option's id when it was valid, or 12 characters drawn once per run from the
    // 67-character alphabet; every call answers the same id.
    QString GetServerConId() const;

    // The option's value when the option is present (possibly empty).
    static std::optional<QString> FindOption(const QStringList& AArguments, const QString& AOption);

    QString GetCLOptEqServer() const { return FCLOptEqServer; }
    qint32 GetCLOptEqServerPort() const { return FCLOptEqServerPort; }
    QString GetCLOptEqServerConId() const { return FCLOptEqServerConId; }

private:
    bool FDebugMode = false;
    QString FCLOptEqServer;
    qint32 FCLOptEqServerPort = -1;
    QString FCLOptEqServerConId;
    mutable QString FRandomConId;
};
