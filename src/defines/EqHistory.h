#pragma once

#include <QString>

class TEqTelegram01;
class TEqTelegram10;

// A telegram time "yymmddhhnnss" as "20yy/mm/dd hh:nn:ss"; pieces past the end
// of a short text are empty.
QString TelegramTimeText(const QString& Time);

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
    // JMA withdrew the warning: the earthquake was a false alarm.
    bool Cancelled = false;

    // Fills every field from a type-01 telegram and the estimate at the user's
    // location; the epicentre name becomes empty.
    void CopyFromEq01Telegram(const TEqTelegram01& Eq01Teleg, double EstimatedSIS, double EstimatedSec);
    // The same, then the epicentre name from the type-10 telegram (empty when none arrived).
    void CopyFromEqTelegram(const TEqTelegram01& Eq01Teleg, const TEqTelegram10& Eq10Teleg, double EstimatedSIS,
                            double EstimatedSec);

    friend bool operator==(const TEqHistory&, const TEqHistory&) = default;
};
