#include "alert/EqAlertController.h"

#include "logging/VeskLogging.h"

TEqAlertController::TEqAlertController(TVeskLogger* ALogger, TEqHistoryStore* AStore, const TAlertClock* AClock,
                                       QObject* Parent)
    : QObject(Parent), FLogger(TVeskLogger::OrNull(ALogger)), FTiming(ALogger, AClock, AStore), FTimer(this)
{
    FTimer.setSingleShot(true);
    FTimer.setTimerType(Qt::PreciseTimer);
    connect(&FTimer, &QTimer::timeout, this, &TEqAlertController::DoAlert);
    // The timing ends an alert at its arrival and when it is closed: the tick
    // stops and the alarm is silenced before the history registration.
    FTiming.SetOnStop([this] {
        FTimer.stop();
        StopAlertSound();
    });
    FTiming.SetOnRegistered([this](const TEqHistory& EqHistory, bool Inserted) {
        if (FInTick) {
            FHasPendingRegistration = true;
            FPendingHistory = EqHistory;
            FPendingInserted = Inserted;
            return;
        }
        emit historyWritten(EqHistory, Inserted);
    });
}

void TEqAlertController::SetSoundChannel(TAlertSoundChannel* AChannel)
{
    FSound = AChannel ? AChannel : &FNullSound;
}

void TEqAlertController::SetFramePainter(TAlertFramePainter* APainter)
{
    FPainter = APainter ? APainter : &FNullPainter;
}

void TEqAlertController::SetIsAlerting(bool Value)
{
    FIsAlerting = Value;
    if (Value) {
        FHeaderCaption = QStringLiteral("緊急地震速報（予報）");
        emit headerCaptionChanged(FHeaderCaption);
    }
}

void TEqAlertController::SetIsAlertingWarning(bool Value)
{
    FIsAlertingWarning = Value;
    // A false value leaves the caption alone: writing IsAlerting always comes first.
    if (Value) {
        FHeaderCaption = WarningCaption();
        emit headerCaptionChanged(FHeaderCaption);
    }
}

bool TEqAlertController::StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                       double EstSec, bool AlwaysAlertSoundOn)
{
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
    emit alertStarted(TEqAlertStart{Location, Eq01Teleg, eq10, EstSIS, EstSec, FIsAlertingWarning, FAreaForecast});
    if (AlwaysAlertSoundOn || FNeedAlertSound) {
        PlayAlertSound();
    }
    // The first frame comes as soon as the dispatcher has handed the telegram
    // over, not a second later with the previous alert's picture still shown.
    FTimer.start(0);
    return true;
}

void TEqAlertController::SetAreaForecast(const std::optional<TEqAreaForecast>& Forecast)
{
    const bool changed = Forecast != FAreaForecast;
    FAreaForecast = Forecast;
    if (changed) {
        emit areaForecastChanged(AreaForecastCaption(FAreaForecast));
    }
}

QString TEqAlertController::AreaForecastCaption(const std::optional<TEqAreaForecast>& Forecast)
{
    if (!Forecast) {
        return QString();
    }
    QString caption = QStringLiteral("気象庁発表 ") + JmaAreaForecastCaption(*Forecast);
    const QString arrival = JmaAreaArrivalText(*Forecast);
    if (!arrival.isEmpty()) {
        caption += QStringLiteral("（到達予想 %1）").arg(arrival);
    }
    return caption;
}

void TEqAlertController::SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg)
{
    FTiming.SetEq10Telegram(Eq10Teleg);
    emit epicentreNamed(Eq10Teleg);
}

void TEqAlertController::Show()
{
    if (!FQuiet) {
        emit showRequested();
    }
}

void TEqAlertController::StopAlerting()
{
    TVeskLogScope scope(FLogger, QStringLiteral("StopAlerting()"));
    FTiming.StopAlert();
    FIsAlerting = false;
    emit alertStopped();
}

TAlertSound TEqAlertController::ChosenAlertSound() const
{
    const bool strong = TSeismicIntensityScale::GetScaleAsInteger(FTiming.GetEstimatedScale()) > 40;
    return strong || FTiming.IsIssuedWarning() ? asWarning : asForecast;
}

void TEqAlertController::PlayAlertSound()
{
    if (FQuiet) {
        return;
    }
    FSound->PlayAlertSound(ChosenAlertSound());
    FIsPlayingSound = true;
    emit soundChanged(true);
}

void TEqAlertController::StopAlertSound()
{
    FSound->StopAlertSound();
    const bool was = FIsPlayingSound;
    FIsPlayingSound = false;
    if (was) {
        emit soundChanged(false);
    }
}

void TEqAlertController::ToggleAlertSound()
{
    if (FIsPlayingSound) {
        StopAlertSound();
        FNeedAlertSound = false;
    } else {
        PlayAlertSound();
        FNeedAlertSound = true;
    }
}

qint64 TEqAlertController::NextTickDelay() const
{
    // Occurrence and arrival fall on whole seconds of the local clock, so the
    // countdown changes at each whole second. The next tick lands just after the
    // next whole second: every value is shown once, never twice.
    const qint64 now = FTiming.Clock().NowLocalMSecs();
    const qint64 intoSecond = ((now % 1000) + 1000) % 1000;
    return 1000 + TickPhaseMs - intoSecond;
}

void TEqAlertController::ScheduleNextTick()
{
    FTimer.start(static_cast<int>(NextTickDelay()));
}

void TEqAlertController::DoAlert()
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
    if (!FQuiet) {
        FPainter->PaintFrame(FTiming, tick);
    }
    emit ticked(teleg, tick);
    if (tick.Arrived) {
        emit arrived(teleg);
    } else {
        ScheduleNextTick();
    }
    if (FHasPendingRegistration) {
        FHasPendingRegistration = false;
        emit historyWritten(FPendingHistory, FPendingInserted);
    }
}

void TEqAlertController::StopAlarmForSample()
{
    if (FIsPlayingSound) {
        StopAlertSound();
    }
}
