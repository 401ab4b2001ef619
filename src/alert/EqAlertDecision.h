#pragma once

#include "config/AlertConditions.h"
#include "defines/VeskDefines.h"

#include <QString>

#include <cstdint>
#include <functional>

class TVeskLogger;

// The forecast call: epicentre latitude, longitude, depth (km), magnitude, location
// latitude, longitude, amplification factor, then the three out-values (intensity,
// P seconds, S seconds). Answers 0 on success. Production passes the library's
// calcForecast; tests pass a substitute.
using TForecastFunc =
    std::function<int32_t(double, double, int32_t, double, double, double, double, double*, double*, double*)>;

// Why a type-01 telegram did not lead to an alert.
enum TAlertRejectReason
{
    arrNone,           // not rejected
    arrDrill,          // a JMA drill telegram
    arrAccuracy,       // hypocentre accuracy below the chosen level
    arrDeep,           // deeper than 150 km
    arrConditions,     // intensity and magnitude conditions not met
    arrForecast,       // the forecast gave no estimate
    arrOccurrenceTime, // the occurrence time cannot be read, so no alert can run
    arrUnknownCancel,  // a cancel of an earthquake that is not being alerted
    arrError           // an unexpected error while handling the telegram
};

// "drill", "accuracy", "deep", "conditions", "forecast", "occurrence_time", "unknown_cancel", "error"; empty for
// arrNone.
QString AlertRejectReasonName(TAlertRejectReason Reason);

// The estimate at the user's location and the alert filter.
class TEqAlertDecision
{
public:
    TEqAlertDecision(TVeskLogger* ALogger, TForecastFunc AForecast);

    // Intensity and S-wave seconds at the location; false (outputs 0) when the
    // forecast gives no estimate.
    bool CalculateEqEffect(const TEqTelegram01& Eq01Teleg, const TLocationInfo& Location, double& EstSIScale,
                           double& EstSWaveSec) const;

    // Whether the telegram is to be alerted under the conditions. Reason (optional)
    // receives why it was rejected, arrNone when accepted.
    // APlumAtHome: JMA forecasts the user's area by the PLUM method, from observed
    // shaking rather than from the hypocentre, so the accuracy rule does not apply.
    bool IsAlertableEqTeleg(const TEqTelegram01& Eq01Teleg, double SIScale, const TAlertConditions& Conditions,
                            TAlertRejectReason* Reason = nullptr, bool APlumAtHome = false) const;

    TVeskLogger* Logger() const { return FLogger; }

    // Shared text forms of the decision logs.
    static QString EqIdWithTelegNo(const QString& EqId, qint32 TelegNo);
    static QString ShortestDecimal(float Value);
    static QString ShortestDecimal(double Value);
    // A fixed-point number with two decimals (the "%f" of the log formats).
    static QString FixedTwo(double Value);

private:
    TVeskLogger* FLogger;
    TForecastFunc FForecast;
};
