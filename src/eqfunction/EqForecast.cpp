#include "eqfunction/EqForecast.h"

#include "eqfunction/EqTravelTime.h"

#include <cmath>
#include <limits>
#include <numbers>

namespace eqf {

namespace {

constexpr double DegToRad = std::numbers::pi / 180.0;
constexpr double MaxDistanceKm = TEqTravelTimeGrid::MaxDistanceKm;

bool IsLatitude(double v)
{
    return std::isfinite(v) && v >= -90.0 && v <= 90.0;
}

bool IsLongitude(double v)
{
    return std::isfinite(v) && v >= -180.0 && v <= 180.0;
}

// JMA instrumental intensity from the peak ground velocity (cm/s) at the
// surface, Midorikawa, Fujimoto & Muramatsu (1999): I = 2.68 + 1.72 log PGV fits
// 4 <= I <= 7 only and overstates weaker shaking; I = 2.30 + 2.01 log PGV fits
// the whole range. The smaller of the two switches between them where they
// cross (PGV about 20 cm/s, I about 4.9), inside the range of the first, so the
// estimate stays continuous and rising.
double IntensityFromPeakVelocity(double pgv)
{
    const double logPgv = std::log10(pgv);
    return std::fmin(2.68 + 1.72 * logPgv, 2.30 + 2.01 * logPgv);
}

// log10 of the peak ground velocity (cm/s) on ground of Vs about 600 m/s at a
// distance X (km) from the fault, Si & Midorikawa (1999). No fault-type term: the
// telegram does not give the type (crustal 0, interplate -0.02, intraplate +0.12).
double LogPeakVelocity600(double mw, double depthKm, double faultDistanceKm)
{
    // Above Mw 8.2 the peak velocity stops growing with magnitude: Morikawa &
    // Fujiwara (2013), whose relation includes the 2011 Tohoku records, saturate
    // its magnitude there (Si & Midorikawa's data end at Mw 8.3). A greater
    // earthquake still reaches farther through its longer fault.
    const double m = std::fmin(mw, 8.2);
    const double nearSource = 0.0028 * std::pow(10.0, 0.5 * m);
    double spreading = std::log10(faultDistanceKm + nearSource);
    // The relation rests on records within about 300 km of the fault. Farther
    // out the peak motion is carried by waves guided in the crust, which spread
    // cylindrically, as X^-1/2 instead of X^-1 (Atkinson & Boore 1995 use X^-0.5
    // beyond 130 km); the anelastic term is kept as it is.
    constexpr double RecordedRangeKm = 300.0;
    if (faultDistanceKm > RecordedRangeKm) {
        const double atRange = std::log10(RecordedRangeKm + nearSource);
        spreading = atRange + 0.5 * (spreading - atRange);
    }
    return 0.58 * m + 0.0038 * depthKm - 1.29 - spreading - 0.002 * faultDistanceKm;
}

} // namespace

double GeodesicDistanceKm(double lat1, double lng1, double lat2, double lng2)
{
    constexpr double a = 6378.137;
    constexpr double f = 1.0 / 298.257223563;
    constexpr double b = a * (1.0 - f);

    const double l = std::remainder(lng2 - lng1, 360.0) * DegToRad;
    const double u1 = std::atan((1.0 - f) * std::tan(lat1 * DegToRad));
    const double u2 = std::atan((1.0 - f) * std::tan(lat2 * DegToRad));
    const double sinU1 = std::sin(u1);
    const double cosU1 = std::cos(u1);
    const double sinU2 = std::sin(u2);
    const double cosU2 = std::cos(u2);

    double lambda = l;
    double sinSigma = 0.0;
    double cosSigma = 1.0;
    double sigma = 0.0;
    double cos2Alpha = 1.0;
    double cos2SigmaM = 0.0;
    bool converged = false;
    for (int i = 0; i < 200; ++i) {
        const double sinLambda = std::sin(lambda);
        const double cosLambda = std::cos(lambda);
        const double t1 = cosU2 * sinLambda;
        const double t2 = cosU1 * sinU2 - sinU1 * cosU2 * cosLambda;
        sinSigma = std::sqrt(t1 * t1 + t2 * t2);
        if (sinSigma == 0.0) {
            return 0.0;
        }
        cosSigma = sinU1 * sinU2 + cosU1 * cosU2 * cosLambda;
        sigma = std::atan2(sinSigma, cosSigma);
        const double sinAlpha = cosU1 * cosU2 * sinLambda / sinSigma;
        cos2Alpha = 1.0 - sinAlpha * sinAlpha;
        cos2SigmaM = cos2Alpha != 0.0 ? cosSigma - 2.0 * sinU1 * sinU2 / cos2Alpha : 0.0;
        const double c = f / 16.0 * cos2Alpha * (4.0 + f * (4.0 - 3.0 * cos2Alpha));
        const double previous = lambda;
        lambda = l + (1.0 - c) * f * sinAlpha *
                         (sigma + c * sinSigma * (cos2SigmaM + c * cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM)));
        if (std::fabs(lambda - previous) < 1e-12) {
            converged = true;
            break;
        }
    }
    if (!converged) {
        return std::numeric_limits<double>::quiet_NaN();
    }
    const double uu = cos2Alpha * (a * a - b * b) / (b * b);
    const double ca = 1.0 + uu / 16384.0 * (4096.0 + uu * (-768.0 + uu * (320.0 - 175.0 * uu)));
    const double cb = uu / 1024.0 * (256.0 + uu * (-128.0 + uu * (74.0 - 47.0 * uu)));
    const double deltaSigma = cb * sinSigma *
                              (cos2SigmaM + cb / 4.0 *
                                                (cosSigma * (-1.0 + 2.0 * cos2SigmaM * cos2SigmaM) -
                                                 cb / 6.0 * cos2SigmaM * (-3.0 + 4.0 * sinSigma * sinSigma) *
                                                     (-3.0 + 4.0 * cos2SigmaM * cos2SigmaM)));
    return b * ca * (sigma - deltaSigma);
}

std::int32_t CalculateForecast(double epiLat, double epiLng, std::int32_t depthKm, double magnitude, double locLat,
                               double locLng, double gAmp, double* estSIScale, double* pWaveSec, double* sWaveSec)
{
    // Out-values are written on every call, NaN on failure, so a caller that
    // logs them after a failure never reads uninitialised memory.
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (double* out : {estSIScale, pWaveSec, sWaveSec}) {
        if (out != nullptr) {
            *out = nan;
        }
    }
    if (estSIScale == nullptr || pWaveSec == nullptr || sWaveSec == nullptr) {
        return efcInvalidInput;
    }
    if (!IsLatitude(epiLat) || !IsLongitude(epiLng) || !IsLatitude(locLat) || !IsLongitude(locLng) || depthKm < 0 ||
        depthKm > TEqTravelTimeGrid::MaxDepthKm || !std::isfinite(magnitude) || !(magnitude > 0.0) ||
        magnitude > 10.0 || !std::isfinite(gAmp) || !(gAmp > 0.0) || !(gAmp < 10.0)) {
        return efcInvalidInput;
    }

    const double epicentral = GeodesicDistanceKm(epiLat, epiLng, locLat, locLng);
    if (!std::isfinite(epicentral) || epicentral > MaxDistanceKm) {
        return efcEpicentralDistance;
    }

    // JMA magnitude to moment magnitude; fault length (km) from Mw.
    const double mw = magnitude - 0.171;
    const double depth = depthKm;
    const double hypocentral = std::hypot(epicentral, depth);
    const double faultLength = std::pow(10.0, 0.5 * mw - 1.85);
    const double faultDistance = std::fmax(hypocentral - faultLength / 2.0, 3.0);
    if (!std::isfinite(faultDistance)) {
        return efcFaultDistance;
    }

    // Peak ground velocity at the surface. The amplification factors are relative
    // to the same Vs 600 m/s ground as the attenuation relation (the base that
    // result code 4 is reported against), as in JMA's early-warning estimate; the
    // factor 1.31 from Vs 600 m/s ground up to the Vs 400 m/s engineering bedrock
    // (Matsuoka & Midorikawa 1994) belongs to factors relative to that bedrock
    // (J-SHIS), and applied to these it counted the same layers twice.
    const double logPgv600 = LogPeakVelocity600(mw, depth, faultDistance);
    const double pgv = std::pow(10.0, logPgv600) * gAmp;
    if (!std::isfinite(pgv) || !(pgv > 0.0)) {
        return efcPeakVelocity;
    }

    double pSec = 0.0;
    double sSec = 0.0;
    if (!TEqTravelTimeGrid::GetShared().GetTravelTimes(depthKm, epicentral, pSec, sSec)) {
        return efcEpicentralDistance;
    }

    *estSIScale = IntensityFromPeakVelocity(pgv);
    *pWaveSec = pSec;
    *sWaveSec = sSec;
    return efcOk;
}

} // namespace eqf
