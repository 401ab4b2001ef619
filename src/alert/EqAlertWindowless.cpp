#include "alert/EqAlertWindowless.h"

#include "logging/VeskLogging.h"

TEqAlertWindowless::TEqAlertWindowless(TVeskLogger* ALogger, TEqHistoryStore* AStore, const TAlertClock* AClock,
                                       QObject* Parent)
    : QObject(Parent), FLogger(TVeskLogger::OrNull(ALogger)), FTiming(ALogger, AClock, AStore), FTimer(this)
{
    FTimer.setInterval(1000);
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, this, [this] { DoAlert(); });
    FTiming.SetOnStop([this] { FTimer.stop(); });
    FTiming.SetOnRegistered([this](const TEqHistory& EqHistory, bool Inserted) {
        if (FInTick) {
            FHasPendingRegistration = true;
            FPendingHistory = EqHistory;
            FPendingInserted = Inserted;
            return;
        }
        if (FObserver) {
            FObserver->AlertRegistered(EqHistory, Inserted);
        }
    });
}

bool TEqAlertWindowless::StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                       double EstSec, bool AlwaysAlertSoundOn)
{
    (void)AlwaysAlertSoundOn; // no sound here
    // Checked before anything is replaced, so a bad telegram leaves the running alert intact.
    if (!TAlertTiming::ParseOccurrenceTime(Eq01Teleg.GetOccurrenceTime())) {
        FLogger->Send(vmtCaught, QStringLiteral("StartAlerting()"),
                      QStringLiteral("'%1' is not a valid occurrence time").arg(Eq01Teleg.GetOccurrenceTime()));
        return false;
    }
    // The epicentre name already received stays with a later alert of the same
    // earthquake (an upgrade), so its history row keeps the name.
    const TEqTelegram10 eq10 =
        FTiming.GetEq10Telegram().GetEqId() == Eq01Teleg.GetEqId() ? FTiming.GetEq10Telegram() : TEqTelegram10();
    FTiming.SetIsIssuedWarning(FIsAlertingWarning);
    FTiming.SetEqInfo(static_cast<float>(Location.Latitude), static_cast<float>(Location.Longitude), Eq01Teleg, eq10,
                      static_cast<float>(EstSIS), static_cast<float>(EstSec));
    if (!FTiming.StartAlert()) {
        return false;
    }
    // A full period before the first tick, as a restarted alert map does.
    FTimer.start();
    return true;
}

void TEqAlertWindowless::SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg)
{
    FTiming.SetEq10Telegram(Eq10Teleg);
}

void TEqAlertWindowless::StopAlerting()
{
    FLogger->EnterMethod(QStringLiteral("EqAlertWindowless.StopAlerting()"));
    FTiming.StopAlert();
    FIsAlerting = false;
    FLogger->ExitMethod(QStringLiteral("EqAlertWindowless.StopAlerting()"));
}

void TEqAlertWindowless::DoAlert()
{
    if (!FTiming.IsAlerting()) {
        FTimer.stop();
        return;
    }
    const TEqTelegram01 teleg = FTiming.GetEq01Telegram();
    FInTick = true;
    FHasPendingRegistration = false;
    const TAlertTick tick = FTiming.DoAlert();
    FInTick = false;
    if (FObserver) {
        FObserver->AlertTicked(teleg, tick);
        if (tick.Arrived) {
            FObserver->AlertArrived(teleg);
        }
        if (FHasPendingRegistration) {
            FObserver->AlertRegistered(FPendingHistory, FPendingInserted);
        }
    }
    FHasPendingRegistration = false;
}
