#include "eqfunction/EqForecast.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace eqf;

TEST(EqGeodesic, KnownDistancesOnTheEllipsoid)
{
    struct TCase
    {
        const char* Name;
        double Lat1, Lng1, Lat2, Lng2, Km, Tolerance;
    };
    const TCase cases[] = {
        // Vincenty's own worked example (Flinders Peak - Buninyong), 54.972271 km.
        {"flinders", -(37 + 57 / 60.0 + 3.72030 / 3600), 144 + 25 / 60.0 + 29.52440 / 3600,
         -(37 + 39 / 60.0 + 10.15610 / 3600), 143 + 55 / 60.0 + 35.38390 / 3600, 54.972271, 1e-5},
        {"one degree on the equator", 0.0, 0.0, 0.0, 1.0, 111.319491, 1e-5},
        {"meridian pole to equator", 0.0, 0.0, 90.0, 0.0, 10001.965729, 1e-5},
        {"same point", 35.0, 139.0, 35.0, 139.0, 0.0, 0.0},
        {"across the antimeridian", 0.0, 179.5, 0.0, -179.5, 111.319491, 1e-5},
    };
    for (const TCase& c : cases) {
        EXPECT_NEAR(GeodesicDistanceKm(c.Lat1, c.Lng1, c.Lat2, c.Lng2), c.Km, c.Tolerance) << c.Name;
        EXPECT_NEAR(GeodesicDistanceKm(c.Lat2, c.Lng2, c.Lat1, c.Lng1), c.Km, c.Tolerance) << c.Name << " reversed";
    }
}

TEST(EqGeodesic, NearlyAntipodalPointsGiveNanOrTheirTrueLength)
{
    const double d = GeodesicDistanceKm(0.0, 0.0, 0.5, 179.7);
    EXPECT_TRUE(std::isnan(d) || d > 19000.0) << d;
}
