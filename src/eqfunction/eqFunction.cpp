#include "eqfunction/eqFunction.h"

#include "eqfunction/EqForecast.h"

extern "C" EQFUNCTION_API int32_t EQFUNCTION_CALL calcForecast(double epiLat, double epiLng, int32_t depthKm,
                                                               double magnitude, double locLat, double locLng,
                                                               double gAmp, double* estSIScale, double* pWaveSec,
                                                               double* sWaveSec)
{
    return eqf::CalculateForecast(epiLat, epiLng, depthKm, magnitude, locLat, locLng, gAmp, estSIScale, pWaveSec,
                                  sWaveSec);
}
