#pragma once

#include "alert/AlertPresentation.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertWindowIntf.h"

#include <QObject>
#include <QTimer>

#include <optional>

class TVeskLogger;

// What a view shows for a started alert.
struct TEqAlertStart
{
    TLocationInfo Location;
    TEqTelegram01 Eq01Teleg;
    TEqTelegram10 Eq10Teleg;
    double EstSIS = 0.0;
    double EstSec = 0.0;
    bool IsWarning = false;
    // JMA's forecast for the user's area in this report, where it gives one.
    std::optional<TEqAreaForecast> AreaForecast;
};

// Everything an alert does apart from drawing and sound: the operations the
// dispatcher calls, the occurrence-time check, the per-second tick (aligned to
// the alert's whole seconds, first frame at the start), the arrival, the
// once-per-alert history registration, the epicentre name kept across an
// upgrade, the sound choice and the user's sound switch. It reports by signals;
// the alert window, the console printer or a test connect to them and hold no
// alert rule of their own. Drawing and sound go through the two interfaces of
// AlertPresentation.h (nothing without them). Main thread only.
//
// Two meanings of "alerting" are kept apart: IsAlerting() is the dispatcher's
// (an alert is shown until it is closed or replaced), IsTicking() the timing's
// (the tick runs until the S-wave arrives).
class TEqAlertController : public QObject, public TEqAlertWindowIntf
{
    Q_OBJECT

public:
    // The tick lands this long after each whole second of the alert, so that two
    // ticks never fall into one displayed second and an arrival is seen at once.
    static constexpr int TickPhaseMs = 50;

    explicit TEqAlertController(TVeskLogger* ALogger, TEqHistoryStore* AStore = nullptr,
                                const TAlertClock* AClock = nullptr, QObject* Parent = nullptr);

    // Null resets to "none".
    void SetSoundChannel(TAlertSoundChannel* AChannel);
    void SetFramePainter(TAlertFramePainter* APainter);
    // From now on alerts open nothing and ring nothing (shutdown): they are still
    // decided, timed and written to the history.
    void SetQuiet(bool AValue) { FQuiet = AValue; }
    bool IsQuiet() const { return FQuiet; }

    bool IsAlerting() const override { return FIsAlerting; }
    void SetIsAlerting(bool Value) override;
    bool IsAlertingWarning() const override { return FIsAlertingWarning; }
    void SetIsAlertingWarning(bool Value) override;
    QString GetAlertingEqId() const override { return FTiming.GetEq01Telegram().GetEqId(); }
    bool RegisterAlertingEqInfo() override { return FTiming.RegisterEqInfoInDb(); }
    bool StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                       bool AlwaysAlertSoundOn) override;
    void SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg) override;
    void SetAreaForecast(const std::optional<TEqAreaForecast>& Forecast) override;
    const std::optional<TEqAreaForecast>& AreaForecast() const { return FAreaForecast; }
    // "気象庁発表 震度4程度以上 (到達予想 22:18:22)"; empty when JMA gave none for the area.
    static QString AreaForecastCaption(const std::optional<TEqAreaForecast>& Forecast);
    void Show() override;
    // Closing the alert: tick and sound off, history registration, not alerting.
    void StopAlerting() override;

    // The user's sound switch: stops a playing alarm, or plays the alarm of the
    // current alert (also after its arrival). The choice outlives the alert.
    void ToggleAlertSound();
    bool IsPlayingSound() const { return FIsPlayingSound; }
    bool NeedAlertSound() const { return FNeedAlertSound; }
    // The alarm the current alert rings: the chime for warnings and for an
    // estimated class of 5 lower or stronger, the tone otherwise.
    TAlertSound ChosenAlertSound() const;

    bool IsTicking() const { return FTiming.IsAlerting(); }
    // The header text of the current alert; empty before the first.
    QString HeaderCaption() const { return FHeaderCaption; }
    // The header text of a warning.
    static QString WarningCaption() { return QStringLiteral("緊急地震速報（警報）"); }
    // The tick handler; public so that a test can drive it.
    void DoAlert();
    // Milliseconds from now to the next tick.
    qint64 NextTickDelay() const;

    const TAlertTiming& Timing() const { return FTiming; }
    const TEqTelegram01& GetAlertEq01Telegram() const { return FTiming.GetEq01Telegram(); }
    const TEqTelegram10& GetAlertEq10Telegram() const { return FTiming.GetEq10Telegram(); }

    // A training sample takes the sound channel: a playing alarm stops, but the
    // user's sound choice stays, so the next alert rings as it would have.
    void StopAlarmForSample();

signals:
    // A new alert was set up (before its first tick).
    void alertStarted(const TEqAlertStart& Start);
    void headerCaptionChanged(const QString& Caption);
    // Once per tick, including the first one at the start and the arrival tick.
    void ticked(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick);
    // The S-wave time of the alert was reached.
    void arrived(const TEqTelegram01& Eq01Teleg);
    // The alert was registered in the history; Inserted tells whether the row was written.
    void historyWritten(const TEqHistory& EqHistory, bool Inserted);
    void epicentreNamed(const TEqTelegram10& Eq10Teleg);
    // The dispatcher asks for the alert to be shown.
    void showRequested();
    void soundChanged(bool Playing);
    // The alert was closed (StopAlerting).
    void alertStopped();
    // JMA's forecast for the user's area changed (AreaForecastCaption; empty for none).
    void areaForecastChanged(const QString& Caption);

private:
    void PlayAlertSound();
    void StopAlertSound();
    void ScheduleNextTick();

    TVeskLogger* FLogger;
    TAlertTiming FTiming;
    QTimer FTimer;
    TNullAlertSoundChannel FNullSound;
    TNullAlertFramePainter FNullPainter;
    TAlertSoundChannel* FSound = &FNullSound;
    TAlertFramePainter* FPainter = &FNullPainter;
    bool FQuiet = false;
    bool FIsAlerting = false;
    bool FIsAlertingWarning = false;
    bool FNeedAlertSound = true;
    bool FIsPlayingSound = false;
    QString FHeaderCaption;
    std::optional<TEqAreaForecast> FAreaForecast;
    // A registration inside a tick is reported after the tick's own signals.
    bool FInTick = false;
    bool FHasPendingRegistration = false;
    TEqHistory FPendingHistory;
    bool FPendingInserted = false;
};
