#pragma once

#include <QString>

// One history entry: an alerted earthquake as it is recorded and listed.
struct TEqHistory
{
    QString EqID;
    qint32 TelegNo = 0;
    QString OutgoingTime;
    QString OccurrenceTime;
    QString EpicLat;
    QString EpicLong;
    QString EpicDepth;
    QString EqMagnitude;
    QString EpicName;
    QString EstSIS;
    QString EstSec;

    friend bool operator==(const TEqHistory&, const TEqHistory&) = default;
};
