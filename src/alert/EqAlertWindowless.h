#pragma once

#include "alert/AlertTiming.h"
#include "alert/EqAlertWindowIntf.h"

#include <QObject>
#include <QTimer>

class TVeskLogger;

// Events of the window-less alert, for a console or any other presentation.
class TEqAlertViewObserver
{
public:
    virtual ~TEqAlertViewObserver() = default;
    // Once a second while the alert runs, including the arrival tick.
    virtual void AlertTicked(const TEqTelegram01& Eq01Teleg, const TAlertTick& Tick) { (void)Eq01Teleg, (void)Tick; }
    // The S-wave time of the alert was reached.
    virtual void AlertArrived(const TEqTelegram01& Eq01Teleg) { (void)Eq01Teleg; }
    // The alert was registered in the history; Inserted tells whether the row was written.
    virtual void AlertRegistered(const TEqHistory& EqHistory, bool Inserted) { (void)EqHistory, (void)Inserted; }
};

// The alert window without a window: the same state and timing, a 1000 ms tick,
// no drawing and no sound. Like a window nobody closes, an alert stays the
// alerting one until another replaces it or StopAlerting is called (shutdown).
class TEqAlertWindowless : public QObject, public TEqAlertWindowIntf
{
public:
    explicit TEqAlertWindowless(TVeskLogger* ALogger, TEqHistoryStore* AStore = nullptr,
                                const TAlertClock* AClock = nullptr, QObject* Parent = nullptr);

    void SetObserver(TEqAlertViewObserver* AObserver) { FObserver = AObserver; }

    bool IsAlerting() const override { return FIsAlerting; }
    void SetIsAlerting(bool Value) override { FIsAlerting = Value; }
    bool IsAlertingWarning() const override { return FIsAlertingWarning; }
    void SetIsAlertingWarning(bool Value) override { FIsAlertingWarning = Value; }
    QString GetAlertingEqId() const override { return FTiming.GetEq01Telegram().GetEqId(); }
    bool RegisterAlertingEqInfo() override { return FTiming.RegisterEqInfoInDb(); }
    bool StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                       bool AlwaysAlertSoundOn) override;
    void SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg) override;
    // Nothing to show.
    void Show() override {}

    // Tick off, history registration, not alerting.
    void StopAlerting() override;
    // The tick handler; public so that a test can drive it.
    void DoAlert();

    bool IsTicking() const { return FTimer.isActive(); }
    const TEqTelegram01& GetAlertEq01Telegram() const { return FTiming.GetEq01Telegram(); }
    const TEqTelegram10& GetAlertEq10Telegram() const { return FTiming.GetEq10Telegram(); }
    TAlertTiming& Timing() { return FTiming; }
    const TAlertTiming& Timing() const { return FTiming; }

private:
    TVeskLogger* FLogger;
    TAlertTiming FTiming;
    QTimer FTimer;
    TEqAlertViewObserver* FObserver = nullptr;
    bool FIsAlerting = false;
    bool FIsAlertingWarning = false;
    // Registration inside a tick is reported after the tick's own events.
    bool FInTick = false;
    bool FHasPendingRegistration = false;
    TEqHistory FPendingHistory;
    bool FPendingInserted = false;
};
