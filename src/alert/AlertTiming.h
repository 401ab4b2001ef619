#pragma once

#include "alert/AlertMapGeometry.h"
#include "defines/EqHistory.h"
#include "defines/VeskDefines.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <functional>
#include <optional>

class TVeskLogger;

// Local wall-clock time as milliseconds of a time-zone-free calendar: telegram
// times are compared with the PC's clock without any zone conversion.
class TAlertClock
{
public:
    virtual ~TAlertClock() = default;
    virtual qint64 NowLocalMSecs() const = 0;
};

class TSystemAlertClock : public TAlertClock
{
public:
    qint64 NowLocalMSecs() const override;
    static const TSystemAlertClock& Instance();
};

// Where a registered alert is written.
class TEqHistoryStore
{
public:
    using TDone = std::function<void(bool Inserted)>;
    virtual ~TEqHistoryStore() = default;
    virtual bool InsertEqHistoryRecord(const TEqHistory& EqHistory) = 0;
    // Writes the row, possibly later and on another thread, so that the caller need
    // not wait for the disk; Done gets the outcome on the caller's thread once the
    // row is written. By default the row is written at once. What Done refers to must
    // live until then (the core flushes the history before it frees the alert).
    virtual void InsertEqHistoryRecordLater(const TEqHistory& EqHistory, TDone Done)
    {
        Done(InsertEqHistoryRecord(EqHistory));
    }
};

// Everything one tick computed: what a view shows and draws for that second.
struct TAlertTick
{
    float Distance = 0.0f;   // home to epicentre, pixels (Dis)
    float Radius = 0.0f;     // S-wave circle radius, pixels
    quint32 Color = 0;       // circle colour 0xAARRGGBB with the tick's alpha
    qint64 OccurMSecs = 0;   // (a)
    int ArrivalSec = 0;      // (b) estimated seconds, rounded
    qint64 ArrivalMSecs = 0; // (c) = (a) + (b) s
    qint64 NowMSecs = 0;     // (d)
    qint64 ElapsedSec = 0;   // (e) whole seconds between (d) and (a)
    qint64 AdvanceSec = 0;   // whole seconds between (d) and (c): the countdown
    bool Arrived = false;    // the S-wave has reached the location
};

// State and timing of one alert, without any drawing: occurrence and arrival
// times, the per-second tick values (elapsed and remaining seconds, radius and
// alpha of the S-wave circle) and the once-per-alert history registration.
// Views (the alert map, the window-less alert) own the timer and the sound and
// call DoAlert once a second. Main thread only.
class TAlertTiming
{
public:
    explicit TAlertTiming(TVeskLogger* ALogger = nullptr, const TAlertClock* AClock = nullptr,
                          TEqHistoryStore* AStore = nullptr);

    TVeskLogger* Logger() const { return FLogger; }
    void SetClock(const TAlertClock* AClock);
    void SetHistoryStore(TEqHistoryStore* AStore) { FStore = AStore; }

    // Called by StopAlert before the history registration: the view silences the
    // alarm and stops its tick there.
    void SetOnStop(std::function<void()> Handler) { FOnStop = std::move(Handler); }
    // Called once per registered alert with whether its row was written, when the
    // store has written it (which may be after RegisterEqInfoInDb returned).
    void SetOnRegistered(std::function<void(const TEqHistory&, bool)> Handler) { FOnRegistered = std::move(Handler); }
    // Where set, the registration is handed to it instead of the store (the owner
    // keeps the rows of several earthquakes); it answers as RegisterEqInfoInDb does.
    void SetRegistrar(std::function<bool()> Handler) { FRegistrar = std::move(Handler); }

    void SetEqInfo(float LLat, float LLng, const TEqTelegram01& Eq01Teleg, float SiScale, float EstimatedSec);
    void SetEqInfo(float LLat, float LLng, const TEqTelegram01& Eq01Teleg, const TEqTelegram10& Eq10Teleg,
                   float SiScale, float EstimatedSec);
    void SetEq10Telegram(const TEqTelegram10& Eq10Teleg) { FEq10Teleg = Eq10Teleg; }

    // Reads the occurrence time and marks the alert as running and not yet
    // registered. A malformed time is logged and nothing changes (false).
    bool StartAlert();
    // The same with the occurrence already on the clock (a report timed from its receipt).
    void StartAlertAt(qint64 OccurMSecs);
    // Ends the alert: stop handler, not alerting, history registration.
    void StopAlert();
    // One tick: the values of this second with their log lines; at or after the
    // arrival time it stops the alert (and so registers it).
    TAlertTick DoAlert();
    // Hands this alert's earthquake to the history, once per alert; answers whether
    // there was a store to take it.
    bool RegisterEqInfoInDb();

    bool IsAlerting() const { return FIsAlerting; }
    void SetIsAlerting(bool Value) { FIsAlerting = Value; }
    bool IsIssuedWarning() const { return FIsIssuedWarning; }
    void SetIsIssuedWarning(bool Value) { FIsIssuedWarning = Value; }
    bool IsRegisteredEqInfo() const { return FIsRegisteredEqInfo; }
    bool HasStarted() const { return FHasStarted; }

    float GetLLat() const { return FLLat; }
    float GetLLng() const { return FLLng; }
    const TEqTelegram01& GetEq01Telegram() const { return FEq01Teleg; }
    const TEqTelegram10& GetEq10Telegram() const { return FEq10Teleg; }
    float GetEstimatedScale() const { return FEstimatedScale; }
    float GetEstimatedSec() const { return FEstimatedSec; }
    float GetAdvanceSec() const { return FAdvanceSec; }
    qint64 GetEqOccurDateTime() const { return FEqOccurDateTime; }
    const TAlertClock& Clock() const { return *FClock; }

    // Twelve characters YYMMDDhhmmss (year 2000 + YY) as local milliseconds;
    // nothing for a text that is not a possible date and time.
    static std::optional<qint64> ParseOccurrenceTime(const QString& Text);
    // Whole seconds between two instants: absolute difference, truncated.
    static qint64 WholeSecondsBetween(qint64 AMSecs, qint64 BMSecs);
    // "yyyy/mm/dd hh:nn:ss"
    static QString FormatDateTime(qint64 LocalMSecs);
    // Local milliseconds of a date and time (its calendar fields, no zone).
    static qint64 ToLocalMSecs(const QDate& Date, const QTime& Time);

private:
    TVeskLogger* FLogger;
    const TAlertClock* FClock;
    TEqHistoryStore* FStore;
    std::function<void()> FOnStop;
    std::function<void(const TEqHistory&, bool)> FOnRegistered;
    std::function<bool()> FRegistrar;

    float FLLat = 0.0f;
    float FLLng = 0.0f;
    TEqTelegram01 FEq01Teleg;
    TEqTelegram10 FEq10Teleg;
    bool FIsAlerting = false;
    bool FIsIssuedWarning = false;
    bool FIsRegisteredEqInfo = false;
    bool FHasStarted = false; // an alert was started since creation
    float FEstimatedScale = 0.0f;
    float FEstimatedSec = 0.0f;
    float FAdvanceSec = 0.0f;
    qint64 FEqOccurDateTime = 0;
};
