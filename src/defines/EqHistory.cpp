#include "defines/EqHistory.h"

#include "defines/VeskDefines.h"

QString TelegramTimeText(const QString& Time)
{
    return QStringLiteral("20%1/%2/%3 %4:%5:%6")
        .arg(Time.mid(0, 2), Time.mid(2, 2), Time.mid(4, 2), Time.mid(6, 2), Time.mid(8, 2), Time.mid(10, 2));
}

void TEqHistory::CopyFromEq01Telegram(const TEqTelegram01& Eq01Teleg, double EstimatedSIS, double EstimatedSec)
{
    EqID = Eq01Teleg.GetEqId();
    TelegNo = Eq01Teleg.GetTelegNo();
    OutgoingTime = TelegramTimeText(Eq01Teleg.GetPresentTime());
    OccurrenceTime = TelegramTimeText(Eq01Teleg.GetOccurrenceTime());
    EpicLat = QString::asprintf("%.3f", Eq01Teleg.GetEpicLat());
    EpicLong = QString::asprintf("%.3f", Eq01Teleg.GetEpicLong());
    EpicDepth = QString::asprintf("%d", Eq01Teleg.GetEpicDepth());
    EqMagnitude = QString::asprintf("%.2f", Eq01Teleg.GetMagnitude());
    EpicName.clear();
    EstSIS = TSeismicIntensityScale::GetScaleAsString(EstimatedSIS);
    EstSec = QString::asprintf("%d", RoundHalfEven(EstimatedSec));
    Cancelled = false;
}

void TEqHistory::CopyFromEqTelegram(const TEqTelegram01& Eq01Teleg, const TEqTelegram10& Eq10Teleg, double EstimatedSIS,
                                    double EstimatedSec)
{
    CopyFromEq01Telegram(Eq01Teleg, EstimatedSIS, EstimatedSec);
    EpicName = Eq10Teleg.GetEpicName();
}
