#pragma once

// Argument helpers shared by the command-line tools: a bad argument ends the
// tool with one clear line on standard error and exit status 2.

#include <QString>
#include <QStringList>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace ToolArguments {

constexpr int ExitBadArguments = 2;

[[noreturn]] inline void Fail(const char* AProgram, const QString& AMessage, int AStatus = ExitBadArguments)
{
    std::fprintf(stderr, "%s: %s\n", AProgram, qUtf8Printable(AMessage));
    std::exit(AStatus);
}

inline double ParseNumber(const char* AProgram, const QString& AText, const QString& AOption)
{
    bool ok = false;
    const double value = AText.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(value)) {
        Fail(AProgram, QStringLiteral("--%1 の値が数値ではありません: \"%2\"").arg(AOption, AText));
    }
    return value;
}

// "LAT,LNG"
inline std::pair<double, double> ParsePoint(const char* AProgram, const QString& AText, const QString& AOption)
{
    const QStringList parts = AText.split(QLatin1Char(','));
    if (parts.size() != 2) {
        Fail(AProgram, QStringLiteral("--%1 は 緯度,経度 の形式で指定してください: \"%2\"").arg(AOption, AText));
    }
    return {ParseNumber(AProgram, parts[0], AOption), ParseNumber(AProgram, parts[1], AOption)};
}

} // namespace ToolArguments
