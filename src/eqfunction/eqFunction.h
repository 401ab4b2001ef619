#ifndef EQFUNCTION_H
#define EQFUNCTION_H

#include <stdint.h>

#if defined(_WIN32)
#define EQFUNCTION_CALL __cdecl
#if defined(EQFUNCTION_BUILDING)
#define EQFUNCTION_API __declspec(dllexport)
#else
#define EQFUNCTION_API __declspec(dllimport)
#endif
#else
#if defined(__i386__)
#define EQFUNCTION_CALL __attribute__((cdecl))
#else
#define EQFUNCTION_CALL
#endif
#define EQFUNCTION_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Estimates the JMA instrumental seismic intensity at a location and the P-
   and S-wave travel times (seconds from the origin time) for an earthquake.
   Returns 0 on success, 1 for input outside the model's domain, 2 when the
   epicentral distance is over 2000 km or cannot be computed, 3 when the fault
   distance cannot be computed, 4 when the peak ground velocity is not a
   positive finite number. On failure the out-values are set to NaN. */
EQFUNCTION_API int32_t EQFUNCTION_CALL calcForecast(double epiLat, double epiLng, int32_t depthKm, double magnitude,
                                                    double locLat, double locLng, double gAmp, double* estSIScale,
                                                    double* pWaveSec, double* sWaveSec);

#ifdef __cplusplus
}
#endif

#endif
