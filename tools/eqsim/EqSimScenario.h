#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// One line of a scenario: wait DelayMs after the previous line, then send Data
// (without its line feed).
struct TEqSimLine
{
    qint64 DelayMs = 0;
    QByteArray Data;
    int SourceLine = 0;
};

// The largest scenario file read; a bound so that a device or a runaway file never
// exhausts memory.
constexpr qint64 EqSimMaxScenarioBytes = 64 * 1024 * 1024;

// Reads a scenario file: "+<ms> <line>" per telegram, "#" comments, blank lines
// skipped. The text after the single blank is sent unchanged (bytes as in the file).
// Only a regular file of at most EqSimMaxScenarioBytes is read (a link to one is fine).
// False with a one-line message naming the file (and line) on any error.
bool LoadEqSimScenario(const QString& AFileName, QList<TEqSimLine>& ALines, QString& AError);
bool ParseEqSimScenario(const QByteArray& AText, const QString& AFileName, QList<TEqSimLine>& ALines, QString& AError);

// A scenario argument is a path, or the name of a shipped scenario (with or without ".txt")
// in AScenarioDir. Returns the path to read.
QString ResolveEqSimScenario(const QString& AArgument, const QString& AScenarioDir);
QStringList ListEqSimScenarios(const QString& AScenarioDir);

// Rewrites the two times of type-01 lines while a scenario is replayed: the issue
// time becomes the moment of sending, the occurrence time the moment the first
// line of that earthquake was sent in the current pass (the same for all its lines).
class TEqSimTimeRewriter
{
public:
    QByteArray Rewrite(const QByteArray& ALine, const QDateTime& ANow);
    // A new pass of the scenario: earthquakes start again.
    void Reset() { FOccurrence.clear(); }

    static QByteArray TelegramTime(const QDateTime& ATime);

private:
    QHash<QByteArray, QByteArray> FOccurrence;
};
