#pragma once

#include <cstdint>

namespace eqf {

enum TEqForecastCode : std::int32_t
{
    efcOk = 0,
    efcInvalidInput = 1,
    efcEpicentralDistance = 2,
    efcFaultDistance = 3,
    efcPeakVelocity = 4
};

// Distance on the WGS84 ellipsoid (Vincenty's inverse method) in km; NaN when
// the iteration does not converge (nearly antipodal points).
double GeodesicDistanceKm(double lat1, double lng1, double lat2, double lng2);

// The estimate behind calcForecast; see eqFunction.h for arguments and codes.
std::int32_t CalculateForecast(double epiLat, double epiLng, std::int32_t depthKm, double magnitude, double locLat,
                               double locLng, double gAmp, double* estSIScale, double* pWaveSec, double* sWaveSec);

} // namespace eqf
