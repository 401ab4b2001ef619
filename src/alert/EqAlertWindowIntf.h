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
};
