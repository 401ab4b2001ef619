#pragma once

// What the end-to-end tests of eqbridge share.

#include "../app/AppTestSupport.h"

#include <QRegularExpression>

// The receiver placed at the Ishikawa office (area 391).
inline void PlaceAtIshikawa(const TTestFolders& AFolders)
{
    QDir().mkpath(AFolders.DataFolder());
    AFolders.WriteFile(AFolders.DataFolder() + QStringLiteral("/UlmaroX.cnf"),
                       QStringLiteral("[Config_Sheet]\nLocationName=石川県庁\nLatitude=36.59468\nLongitude=136.62556\n"
                                      "AreaCode=391\nGroundAmplification=2.613\n")
                           .toUtf8());
}

// The port a running eqbridge says it listens on; 0 before it says so.
inline int ListeningPort(const TChild& ABridge)
{
    static const QRegularExpression listening(QStringLiteral("listening on [^ ]+:(\\d+)"));
    const QRegularExpressionMatch m = listening.match(ABridge.Err());
    return m.hasMatch() ? m.captured(1).toInt() : 0;
}
