#pragma once

#include "defines/EqTelegramLines.h"
#include "defines/VeskDefines.h"

#include <QString>

// What the telegram dispatcher needs from the alert window; the windowed alert
// and the window-less one of the headless program both provide it.
class TEqAlertWindowIntf
{
public:
    virtual ~TEqAlertWindowIntf() = default;

    virtual bool IsAlerting() const = 0;
    virtual void SetIsAlerting(bool Value) = 0;
    virtual bool IsAlertingWarning() const = 0;
    virtual void SetIsAlertingWarning(bool Value) = 0;
    // EQ id of the telegram being alerted; empty before the first alert.
    virtual QString GetAlertingEqId() const = 0;
    // Writes the running alert's earthquake to the history (once per alert).
    virtual bool RegisterAlertingEqInfo() = 0;
    // Starts the alert for the telegram and its estimate. False, with nothing
    // changed, when the telegram's occurrence time cannot be read.
    virtual bool StartAlerting(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                               double EstSec, bool AlwaysAlertSoundOn) = 0;
    virtual void SetAlertEq10Telegram(const TEqTelegram10& Eq10Teleg) = 0;
    virtual void Show() = 0;
    // What closing the window does: the alert ends and is written to the history
    // if it was not yet. Shutdown calls it for a window nobody closed.
    virtual void StopAlerting() = 0;
    // JMA's forecast for the user's area in the report being alerted (none: JMA gave
    // none there); set before StartAlerting and again for every later report.
    virtual void SetAreaForecast(const std::optional<TEqAreaForecast>& Forecast) { static_cast<void>(Forecast); }

    // Several earthquakes at once. The defaults follow one earthquake only: the
    // one being alerted is the only one known, a new one always takes its place,
    // later reports change nothing and a cancel is not understood.
    // The earthquake is one of the alert's (active or ended while it is shown).
    virtual bool IsKnownEq(const QString& EqId) const { return !EqId.isEmpty() && EqId == GetAlertingEqId(); }
    virtual bool IsEqWarning(const QString& EqId) const
    {
        static_cast<void>(EqId);
        return IsAlertingWarning();
    }
    // A new earthquake with this estimate would come before the primary one.
    virtual bool IsMoreThreatening(const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec, bool IsWarning) const
    {
        static_cast<void>(Eq01Teleg), static_cast<void>(EstSIS), static_cast<void>(EstSec);
        static_cast<void>(IsWarning);
        return true;
    }
    // Adds a new earthquake behind the primary one; false when it cannot be timed.
    virtual bool AddConcurrentEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS,
                                 double EstSec, bool IsWarning, const std::optional<TEqAreaForecast>& Forecast)
    {
        static_cast<void>(Location), static_cast<void>(Eq01Teleg), static_cast<void>(EstSIS);
        static_cast<void>(EstSec), static_cast<void>(IsWarning), static_cast<void>(Forecast);
        return false;
    }
    // Takes a later report of a known earthquake; true when it changed what is
    // shown (estimate, position, depth or magnitude), false for the same again.
    virtual bool UpdateEq(const TLocationInfo& Location, const TEqTelegram01& Eq01Teleg, double EstSIS, double EstSec,
                          const std::optional<TEqAreaForecast>& Forecast)
    {
        static_cast<void>(Location), static_cast<void>(Eq01Teleg), static_cast<void>(EstSIS);
        static_cast<void>(EstSec);
        SetAreaForecast(Forecast);
        return false;
    }
    // Ends a known earthquake as withdrawn; false for one that is not active.
    virtual bool CancelEq(const TEqTelegram01& Eq01Teleg)
    {
        static_cast<void>(Eq01Teleg);
        return false;
    }
    // A type-10 name of an earthquake not (yet) alerted: kept in case its report qualifies.
    virtual void KeepEarlyEq10Telegram(const TEqTelegram10& Eq10Teleg) { static_cast<void>(Eq10Teleg); }
    // The earthquake's last report came (its "11" line said so).
    virtual void MarkFinal(const QString& EqId) { static_cast<void>(EqId); }
};
