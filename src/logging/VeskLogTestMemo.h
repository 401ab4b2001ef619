#pragma once

#include "logging/VeskLogging.h"

#include <QMutex>
#include <QMutexLocker>
#include <QRegularExpression>
#include <QStringList>

// Collects the lines of a text-sink logger; used by tests to check the exact log.
class TVeskCaptureMemo : public TVeskLogMemo
{
public:
    void AppendLine(const QString& Line) override
    {
        QMutexLocker lock(&FMutex);
        FLines << Line;
    }
    QStringList Lines() const
    {
        QMutexLocker lock(&FMutex);
        return FLines;
    }
    // The lines with the "YYYY/MM/DD hh:nn:ss | " prefix removed.
    QStringList LinesWithoutTimeStamp() const
    {
        static const QRegularExpression stamp(QStringLiteral("^\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}:\\d{2} \\| "));
        QStringList out;
        for (QString line : Lines()) {
            out << line.remove(stamp);
        }
        return out;
    }
    void Clear()
    {
        QMutexLocker lock(&FMutex);
        FLines.clear();
    }

private:
    mutable QMutex FMutex;
    QStringList FLines;
};
