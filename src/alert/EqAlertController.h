#pragma once

#include "alert/AlertPresentation.h"
#include "alert/AlertTiming.h"
#include "alert/EqAlertWindowIntf.h"

#include <QObject>
#include <QTimer>

#include <optional>
#include <vector>

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

// Why an earthquake stopped being active.
enum TEqEndReason
{
    erActive,    // still active
    erArrival,   // 60 s after its S-wave reached home with no newer report
    erFinal,     // 60 s after its final report
    erExpired,   // 3 minutes without a report (or pushed out by newer ones)
    erCancelled, // JMA withdrew it
    erClosed     // the alert was closed
};

// "arrival", "final", "expired", "cancelled", "closed"; empty for erActive.
QString EqEndReasonName(TEqEndReason Reason);

// One earthquake the alert follows: its latest report and estimate (what a view
// shows of it) and its own timing.
struct TEqActiveQuake : TEqAlertStart
{
    qint64 OccurMSecs = 0;      // occurrence, on the alert clock
    qint64 ArrivalMSecs = 0;    // occurrence + the rounded S-wave seconds
    qint64 LastReportMSecs = 0; // clock reading at its latest report
    qint64 FinalMSecs = -1;     // clock reading at its final report; -1 before one
    qint64 ArrivedMSecs = -1;   // clock reading when its S-wave was seen at home
    TEqEndReason End = erActive;
    bool RowWritten = false; // its history row exists
    TEqHistory LastRow;      // what that row holds

    QString EqId() const { return Eq01Teleg.GetEqId(); }
    bool IsActive() const { return End == erActive; }
    bool HasArrived() const { return ArrivedMSecs >= 0; }
    // Its S-wave is home by now (seen, or due by the clock; no estimate counts as due).
    bool IsDue(qint64 Now) const { return HasArrived() || Now >= ArrivalMSecs || EstSec <= 0; }
};

// Everything an alert does apart from drawing and sound. It follows every active
// earthquake (at most MaxQuakes): each one's latest report, estimate, JMA area
// forecast, warning state, own S-wave timing, end and history row. One of them,
// the primary, drives the header, panel, countdown, tick and alarm: among those
// whose S-wave has not yet reached home the most threatening (warning before
// forecast, then the higher intensity class, then the earlier arrival); when all
// have arrived, the one that arrived last. It reports by signals; the alert
// window, the console printer or a test connect to them and hold no alert rule
// of their own. Drawing and sound go through the two interfaces of
// AlertPresentation.h (nothing without them). Main thread only.
//
// Two meanings of "alerting" are kept apart: IsAlerting() is the dispatcher's
// (an alert is shown until it is closed or closes itself after a cancel),
// IsTicking() the timing's (the primary's tick runs until its S-wave arrives).
class TEqAlertController : public QObject, public TEqAlertWindowIntf
{
    Q_OBJECT

public:
    // The tick lands this long after each whole second of the alert, so that two
    // ticks never fall into one displayed second and an arrival is seen at once.
    static constexpr int TickPhaseMs = 50;
    static constexpr int MaxQuakes = 8;
    // How long an earthquake stays active after its arrival or final report, and without any report.
    static constexpr qint64 AfterArrivalMs = 60 * 1000;
    static constexpr qint64 AfterFinalMs = 60 * 1000;
    static constexpr qint64 WithoutReportMs = 3 * 60 * 1000;
    // How long a cancel is shown before the next earthquake (or the window closes).
    static constexpr qint64 CancelShownMs = 10 * 1000;
    // A report whose issue time is further than this from the clock is timed from its receipt.
    static constexpr qint64 ClockToleranceMs = 5 * 60 * 1000;

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
    // The primary earthquake's id.
    QString GetAlertingEqId() const override { return FTiming.GetEq01Telegram().GetEqId(); }
    bool RegisterAlertingEqInfo() override { return FTiming.RegisterEqInfoInDb(); }
    // Makes the report's earthquake the primary one (adding it, or taking the
    // report for it when it is known), starts its tick and rings its alarm.
    bool StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                       bool AlwaysAlertSoundOn) override;
    void SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg) override;
    void SetAreaForecast(const std::optional<TEqAreaForecast>& Forecast) override;
    bool IsKnownEq(const QString& EqId) const override;
    bool IsEqWarning(const QString& EqId) const override;
    bool IsMoreThreatening(const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec, bool IsWarning) const override;
    bool AddConcurrentEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                         bool IsWarning, const std::optional<TEqAreaForecast>& Forecast) override;
    bool UpdateEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                  const std::optional<TEqAreaForecast>& Forecast) override;
    bool CancelEq(const TEqTelegram01& Eq01Teleg) override;
    void MarkFinal(const QString& EqId) override;
    void KeepEarlyEq10Telegram(const TEqTelegram10& Eq10Teleg) override;

    const std::optional<TEqAreaForecast>& AreaForecast() const { return FAreaForecast; }
    // "気象庁発表 震度4程度以上 (到達予想 22:18:22)"; empty when JMA gave none for the area.
    static QString AreaForecastCaption(const std::optional<TEqAreaForecast>& Forecast);
    void Show() override;
    // Closing the alert: tick and sound off, every earthquake ended and written to the history, not alerting.
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
    // The header text of a warning, a forecast and a cancelled primary earthquake.
    static QString WarningCaption() { return QStringLiteral("緊急地震速報（警報）"); }
    static QString ForecastCaption() { return QStringLiteral("緊急地震速報（予報）"); }
    static QString CancelCaption() { return QStringLiteral("緊急地震速報（取消）"); }
    // The tick handler; public so that a test can drive it.
    void DoAlert();
    // The once-a-second look at every earthquake: arrivals of the others, ends,
    // the end of a cancel's display; public so that a test can drive it.
    void CheckQuakes();
    // Milliseconds from now to the next tick.
    qint64 NextTickDelay() const;

    const TAlertTiming& Timing() const { return FTiming; }
    const TEqTelegram01& GetAlertEq01Telegram() const { return FTiming.GetEq01Telegram(); }
    const TEqTelegram10& GetAlertEq10Telegram() const { return FTiming.GetEq10Telegram(); }
    // Every earthquake of the alert, active or ended, in the order they came.
    const std::vector<TEqActiveQuake>& Quakes() const { return FQuakes; }
    const TEqActiveQuake* FindQuake(const QString& EqId) const;
    int ActiveQuakeCount() const;
    // The other earthquakes as the map and the list under the header show them.
    QVector<TAlertMapQuake> OtherQuakes() const;

    // A training sample takes the sound channel: a playing alarm stops, but the
    // user's sound choice stays, so the next alert rings as it would have.
    void StopAlarmForSample();

signals:
    // A new primary alert was set up (before its first tick); also when another
    // earthquake becomes primary or the primary's report changes.
    void alertStarted(const TEqAlertStart& Start);
    void headerCaptionChanged(const QString& Caption);
    // Once per tick, including the first one at the start and the arrival tick.
    void ticked(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick);
    // The S-wave of the primary earthquake reached home.
    void arrived(const TEqTelegram01& Eq01Teleg);
    // An earthquake was written to the history; Inserted tells whether the row was written.
    void historyWritten(const TEqHistory& EqHistory, bool Inserted);
    void epicentreNamed(const TEqTelegram10& Eq10Teleg);
    // The dispatcher asks for the alert to be shown.
    void showRequested();
    void soundChanged(bool Playing);
    // An alarm was asked for but cannot be heard (AReason: the channel's
    // OutputProblem); the log has it once per alert.
    void soundUnavailable(const QString& AReason);
    // The alert was closed (StopAlerting).
    void alertStopped();
    // JMA's forecast for the user's area changed (AreaForecastCaption; empty for none).
    void areaForecastChanged(const QString& Caption);
    // The other earthquakes changed or their seconds moved on.
    void otherQuakesChanged(const QVector<TAlertMapQuake>& Quakes);
    // An earthquake was withdrawn, or stopped being active.
    void eqCancelled(const TEqTelegram01& Eq01Teleg);
    void eqEnded(const TEqTelegram01& Eq01Teleg, TEqEndReason Reason);
    // Nothing is left to show after a cancel: the window the program opened closes itself.
    void closeRequested();

private:
    TEqActiveQuake* Find(const QString& EqId);
    TEqActiveQuake& TakeReport(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                               double EstSec, bool IsWarning, const std::optional<TEqAreaForecast>& Forecast);
    // Occurrence on the alert clock: the telegram's, or, when the telegram's times
    // are far off the clock, the clock at receipt less the report's own delay.
    // ALog: its faults are logged (once, when the report is taken).
    qint64 OccurrenceOnClock(const TEqTelegram01& Eq01Teleg, qint64 Now, bool ALog) const;
    bool HasOccurrenceTime(const TEqTelegram01& Eq01Teleg, const QString& AWhere) const;
    void LoadTiming(const TEqActiveQuake& Quake);
    // Puts the earthquake into the timing, the header and the panel and starts its tick.
    void MakePrimary(const QString& EqId, bool RingAlarm, bool AlwaysAlertSoundOn);
    // Picks the primary again after an arrival, an end or a cancel's display.
    void ReselectPrimary();
    const TEqActiveQuake* BestQuake() const;
    static bool Threatens(const TEqActiveQuake& A, const TEqActiveQuake& B);
    void EndQuake(TEqActiveQuake& Quake, TEqEndReason Reason);
    void WriteRow(TEqActiveQuake& Quake);
    void EmitHistory(const TEqHistory& EqHistory, bool Inserted);
    void RefreshCaption();
    void PublishOthers();
    void PruneQuakes();
    void UpdateLifeTimer();
    void PlayAlertSound();
    void StopAlertSound();
    void ScheduleNextTick();

    TVeskLogger* FLogger;
    QString FSilentAlarmLoggedFor; // the earthquake whose unheard alarm was logged
    TEqHistoryStore* FStore;
    TAlertTiming FTiming;
    QTimer FTimer;
    QTimer FLifeTimer;
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
    std::vector<TEqActiveQuake> FQuakes;
    // Names that came before their earthquake qualified, by EQ id (a few kept).
    std::vector<TEqTelegram10> FEarlyNames;
    // The primary was cancelled at this clock reading and is shown so until CancelShownMs later.
    qint64 FCancelShownSince = -1;
    bool FLastOthersEmpty = true;
    // History rows written inside a tick are reported after the tick's own signals.
    bool FInTick = false;
    std::vector<std::pair<TEqHistory, bool>> FPendingHistory;
};
