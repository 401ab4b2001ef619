#pragma once

#include "alert/EqAlertDecision.h"
#include "alert/EqAlertWindowIntf.h"
#include "config/AlertConditions.h"
#include "defines/VeskDefines.h"
#include "net/EqTelegramQueues.h"

#include <QHash>
#include <QObject>
#include <QString>

#include <deque>
#include <optional>

#include <functional>

class TVeskLogger;

// The live settings the dispatch reads at the moment of each decision, and the
// two counters it keeps up to date (persisted with the settings).
class TEqDispatchSettings
{
public:
    virtual ~TEqDispatchSettings() = default;
    virtual TLocationInfo GetLocationInfo() const = 0;
    virtual TAlertConditions GetAlertConditions() const = 0;
    virtual bool IsAlwaysAlertSoundOn() const = 0;
    virtual qint32 GetNumOfTotalEqTelegrams() const = 0;
    virtual void SetNumOfTotalEqTelegrams(qint32 Value) = 0;
    virtual qint32 GetNumOfTotalAlerts() const = 0;
    virtual void SetNumOfTotalAlerts(qint32 Value) = 0;
};

// A running screen saver hides the alert; a new alert closes it.
class TScreenSaverControl
{
public:
    virtual ~TScreenSaverControl() = default;
    virtual bool IsScreenSaverRunning() = 0;
    virtual void StopScreenSaver() = 0;
};

enum TAlertKind
{
    akNew,        // nothing was alerting
    akUpgrade,    // the running forecast becomes a warning for the user's area
    akReplace,    // another, more threatening earthquake comes in front of the running alert
    akConcurrent, // another earthquake, shown behind the one coming
    akUpdate      // a later report of an earthquake being alerted changed its estimate or source
};

// "new", "upgrade", "replace", "concurrent", "update"
QString AlertKindName(TAlertKind Kind);

// The main-thread side of the receiver: drains the two queues on their events,
// runs the estimate and the filter and starts, upgrades, replaces or skips the
// alert; takes the link status from the receiver thread. Lives on the main thread.
//
// Every type-01 telegram taken from the queue ends in exactly one of
// alertStarted, alertSkipped, alertCancelled or telegramRejected, in queue order.
class TEqTelegramDispatcher : public QObject
{
    Q_OBJECT

public:
    using TPlugInEntry = std::function<void(const QString&)>;

    TEqTelegramDispatcher(TVeskLogger* ALogger, TEqTelegramQueues& AQueues, const TEqAlertDecision& ADecision,
                          TEqAlertWindowIntf& AAlertWindow, TEqDispatchSettings& ASettings, QObject* Parent = nullptr);

    void SetScreenSaver(TScreenSaverControl* AScreenSaver) { FScreenSaver = AScreenSaver; }
    // The plug-in's two queue entries, each given the telegram's full text after the
    // telegram's outcome; either may be empty. An exception from an entry is logged
    // and changes nothing.
    void SetPlugInEntries(TPlugInEntry OnEq01Queued, TPlugInEntry OnEq10Queued);

    void WMEq01Queued();
    void WMEq10Queued();
    // JMA's area forecasts, kept for the type-01 line of the same report.
    void WMEq11Queued();

    // JMA's forecast for the user's area in the report most recently decided;
    // nothing when that report had none there.
    const std::optional<TEqAreaForecast>& LastAreaForecast() const { return FLastAreaForecast; }

    // The receiver's status hand-over: both steps, one after the other.
    void OnServerCommStatus(TServerCommStatus ANewStatus);
    void SetServerCommStatus(TServerCommStatus ANewStatus);
    void PutServerCommStatus();
    TServerCommStatus GetServerCommStatus() const { return FServerCommStatus; }
    // The tray hint currently shown.
    QString GetServerCommHint() const { return FServerCommHint; }
    // Hint text of a status; empty for a value outside the known ones.
    static QString ServerCommHint(TServerCommStatus Status);

    // Refreshes the location from the settings.
    void SetLocationInfo();
    const TLocationInfo& GetLocationInfo() const { return FLocInfo; }

signals:
    // The two counters after a telegram or an alert was counted.
    void countersChanged(qint32 NumOfTotalEqTelegrams, qint32 NumOfTotalAlerts);
    // Status and the tray hint to show. For a status outside the known values the
    // hint is the one shown before.
    void serverCommStatusChanged(TServerCommStatus Status, const QString& Hint);
    void alertStarted(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale, double EstSWaveSec,
                      bool IsWarning);
    // A further telegram of the earthquake being alerted that changes nothing.
    void alertSkipped(const TEqTelegram01& Eq01Teleg);
    // JMA withdrew an earthquake being alerted (a type-01 line of type code "39").
    void alertCancelled(const TEqTelegram01& Eq01Teleg);
    void telegramRejected(const TEqTelegram01& Eq01Teleg, TAlertRejectReason Reason);
    // A type-10 telegram named the epicentre of an earthquake being alerted.
    void epicentreNamed(const TEqTelegram10& Eq10Teleg);

protected:
    bool event(QEvent* Event) override;

private:
    // Runs one telegram through estimate, filter and decision; reports its outcome.
    void HandleEq01Telegram(const TEqTelegram01& Eq01Teleg);
    void StartAlert(TAlertKind Kind, const TEqTelegram01& Eq01Teleg, double EstSIScale, double EstSWaveSec,
                    bool IsWarning);
    void Reject(const TEqTelegram01& Eq01Teleg, TAlertRejectReason Reason);
    void HandleCancel(const TEqTelegram01& Eq01Teleg);
    void CountAlert();
    void CallPlugIn(const TPlugInEntry& Entry, const QString& Name, const QString& Telegram);
    // Moves the queued area forecasts into FAreaForecasts; the queue lock is held.
    void TakeAreaForecasts();
    std::optional<TEqAreaForecast> AreaForecastAtHome(const TEqTelegram01& Eq01Teleg) const;

    TVeskLogger* FLogger;
    TEqTelegramQueues& FQueues;
    const TEqAlertDecision& FDecision;
    TEqAlertWindowIntf& FAlertWindow;
    TEqDispatchSettings& FSettings;
    TScreenSaverControl* FScreenSaver = nullptr;
    TPlugInEntry FOnEq01Queued;
    TPlugInEntry FOnEq10Queued;
    TLocationInfo FLocInfo;
    TServerCommStatus FServerCommStatus = scsDisconnected;
    QString FServerCommHint;
    bool FOutcomeReported = false; // the telegram being handled has its outcome
    // Recent area forecasts by EQ id and serial, oldest first in FAreaForecastOrder.
    QHash<QString, TEqTelegram11> FAreaForecasts;
    std::deque<QString> FAreaForecastOrder;
    std::optional<TEqAreaForecast> FLastAreaForecast;
};
