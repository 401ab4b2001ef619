#include "defines/VeskDefines.h"
#include "eqfunction/eqFunction.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double Inf = std::numeric_limits<double>::infinity();

struct TArgs
{
    double EpiLat = 35.32;
    double EpiLng = 139.16;
    int32_t Depth = 23;
    double Magnitude = 7.9;
    double LocLat = 35.68949;
    double LocLng = 139.69171;
    double GAmp = 2.578;
};

struct TResult
{
    int32_t Code = -1;
    double Intensity = 0.0;
    double PSec = 0.0;
    double SSec = 0.0;
};

TResult Forecast(const TArgs& a)
{
    TResult r;
    r.Code = calcForecast(a.EpiLat, a.EpiLng, a.Depth, a.Magnitude, a.LocLat, a.LocLng, a.GAmp, &r.Intensity, &r.PSec,
                          &r.SSec);
    return r;
}

} // namespace

// Run first in its own process (each test is a separate CTest run), so the
// travel-time grid is built while several threads ask for it at once.
TEST(CalcForecast, ConcurrentFirstCallsAgree)
{
    constexpr int threadCount = 8;
    std::vector<TResult> results(threadCount);
    std::vector<std::thread> threads;
    for (int i = 0; i < threadCount; ++i) {
        threads.emplace_back([&results, i] { results[i] = Forecast(TArgs{}); });
    }
    for (std::thread& t : threads) {
        t.join();
    }
    for (const TResult& r : results) {
        EXPECT_EQ(r.Code, 0);
        EXPECT_EQ(r.Intensity, results[0].Intensity);
        EXPECT_EQ(r.SSec, results[0].SSec);
    }
}

TEST(CalcForecast, ResultCodes)
{
    struct TCase
    {
        const char* Name;
        TArgs Args;
        int32_t Code;
    };
    auto with = [](auto change) {
        TArgs a;
        change(a);
        return a;
    };
    const TCase cases[] = {
        {"plausible earthquake", TArgs{}, 0},
        {"epicentre latitude NaN", with([](TArgs& a) { a.EpiLat = NaN; }), 1},
        {"epicentre longitude infinite", with([](TArgs& a) { a.EpiLng = Inf; }), 1},
        {"location latitude NaN", with([](TArgs& a) { a.LocLat = NaN; }), 1},
        {"location longitude NaN", with([](TArgs& a) { a.LocLng = NaN; }), 1},
        {"magnitude NaN", with([](TArgs& a) { a.Magnitude = NaN; }), 1},
        {"amplification infinite", with([](TArgs& a) { a.GAmp = Inf; }), 1},
        {"epicentre latitude over 90", with([](TArgs& a) { a.EpiLat = 90.0001; }), 1},
        {"location latitude under -90", with([](TArgs& a) { a.LocLat = -90.0001; }), 1},
        {"epicentre longitude over 180", with([](TArgs& a) { a.EpiLng = 180.0001; }), 1},
        {"location longitude under -180", with([](TArgs& a) { a.LocLng = -180.0001; }), 1},
        {"depth -1", with([](TArgs& a) { a.Depth = -1; }), 1},
        {"depth 701", with([](TArgs& a) { a.Depth = 701; }), 1},
        {"depth 0", with([](TArgs& a) { a.Depth = 0; }), 0},
        {"depth 700", with([](TArgs& a) { a.Depth = 700; }), 0},
        {"magnitude 0 (undecoded field)", with([](TArgs& a) { a.Magnitude = 0.0; }), 1},
        {"magnitude negative", with([](TArgs& a) { a.Magnitude = -1.0; }), 1},
        {"magnitude 10", with([](TArgs& a) { a.Magnitude = 10.0; }), 0},
        {"magnitude over 10", with([](TArgs& a) { a.Magnitude = 10.1; }), 1},
        {"magnitude tiny", with([](TArgs& a) { a.Magnitude = 0.1; }), 0},
        {"amplification 0", with([](TArgs& a) { a.GAmp = 0.0; }), 1},
        {"amplification 10", with([](TArgs& a) { a.GAmp = 10.0; }), 1},
        {"amplification 9.99", with([](TArgs& a) { a.GAmp = 9.99; }), 0},
        {"epicentre at the location", with([](TArgs& a) { a.LocLat = a.EpiLat, a.LocLng = a.EpiLng; }), 0},
        {"epicentre at the pole is valid input but too far", with([](TArgs& a) { a.EpiLat = 90.0; }), 2},
        {"longitude -180 is valid input", with([](TArgs& a) { a.EpiLng = -180.0; }), 2},
        {"Okinawa from Hokkaido, about 2240 km",
         with([](TArgs& a) { a.EpiLat = 43.06461, a.EpiLng = 141.34682, a.LocLat = 26.2124, a.LocLng = 127.68093; }),
         2},
        {"nearly antipodal", with([](TArgs& a) { a.EpiLat = -35.0, a.EpiLng = -40.5; }), 2},
        {"1990 km along the equator",
         with([](TArgs& a) { a.EpiLat = 0.0, a.EpiLng = 0.0, a.LocLat = 0.0, a.LocLng = 1990.0 / 111.319491; }), 0},
        {"2010 km along the equator",
         with([](TArgs& a) { a.EpiLat = 0.0, a.EpiLng = 0.0, a.LocLat = 0.0, a.LocLng = 2010.0 / 111.319491; }), 2},
    };
    for (const TCase& c : cases) {
        const TResult r = Forecast(c.Args);
        EXPECT_EQ(r.Code, c.Code) << c.Name;
        if (r.Code == 0) {
            EXPECT_TRUE(std::isfinite(r.Intensity)) << c.Name;
            EXPECT_GE(r.PSec, 0.0) << c.Name;
            EXPECT_GT(r.SSec, r.PSec) << c.Name;
        } else {
            EXPECT_TRUE(std::isnan(r.Intensity) && std::isnan(r.PSec) && std::isnan(r.SSec)) << c.Name;
        }
    }
}

TEST(CalcForecast, MissingOutPointerIsInvalidInputAndOtherOutputsAreStillDefined)
{
    const TArgs a;
    double intensity = 1.0;
    double sSec = 1.0;
    EXPECT_EQ(
        calcForecast(a.EpiLat, a.EpiLng, a.Depth, a.Magnitude, a.LocLat, a.LocLng, a.GAmp, &intensity, nullptr, &sSec),
        1);
    EXPECT_TRUE(std::isnan(intensity));
    EXPECT_TRUE(std::isnan(sSec));
}

// Values worked by hand from the attenuation relations, independent of the code path.
TEST(CalcForecast, IntensityFollowsThePublishedRelations)
{
    struct TCase
    {
        const char* Name;
        TArgs Args;
        double Intensity;
        // Slope of the intensity-velocity relation that applies: halving the
        // amplification takes Slope * log10(2) away.
        double Slope;
    };
    const TCase cases[] = {
        // M7.0 at 10 km right below: X clamps to 3 km; about 49 cm/s, above the
        // crossing of the two intensity relations.
        {"near field", {35.0, 139.0, 10, 7.0, 35.0, 139.0, 1.0}, 5.588799, 1.72},
        // M5.0 at 50 km, 100 km away on the equator, amplification 2: about
        // 0.55 cm/s, on the relation for weaker shaking.
        {"100 km", {0.0, 0.0, 50, 5.0, 0.0, 100.0 / 111.319491, 2.0}, 1.772935, 2.01},
        // M9.0 off Miyagi at Tokyo: Mw 8.829 sets the fault length (X 205.6 km),
        // the velocity uses Mw 8.2; about 15 cm/s.
        {"great earthquake", {38.10, 142.85, 24, 9.0, 35.68949, 139.69171, 2.578}, 4.662804, 2.01},
        // M7.0 at 10 km, 600 km away on the equator, amplification 2: X 581.7 km,
        // spreading X^-1 to 300 km and X^-1/2 beyond; about 0.17 cm/s.
        {"beyond 300 km", {0.0, 0.0, 10, 7.0, 0.0, 600.0 / 111.319491, 2.0}, 0.727267, 2.01},
    };
    for (const TCase& c : cases) {
        const TResult r = Forecast(c.Args);
        ASSERT_EQ(r.Code, 0) << c.Name;
        EXPECT_NEAR(r.Intensity, c.Intensity, 2e-4) << c.Name;
        TArgs firm = c.Args;
        firm.GAmp /= 2.0;
        EXPECT_NEAR(r.Intensity - Forecast(firm).Intensity, c.Slope * std::log10(2.0), 1e-9) << c.Name;
    }
}

// Above Mw 8.2 the velocity saturates: at the source, where the fault distance
// is at its 3 km floor for both, M8.6 and M9.0 give the same estimate.
TEST(CalcForecast, MagnitudeSaturatesAboveMw82AtTheSource)
{
    const TArgs m86{38.10, 142.85, 24, 8.6, 38.10, 142.85, 1.0};
    TArgs m90 = m86;
    m90.Magnitude = 9.0;
    TArgs m80 = m86;
    m80.Magnitude = 8.0;
    EXPECT_EQ(Forecast(m90).Intensity, Forecast(m86).Intensity);
    EXPECT_LT(Forecast(m80).Intensity, Forecast(m86).Intensity);
}

TEST(CalcForecast, EstimateWeakensAndArrivesLaterWithDistance)
{
    TArgs a{35.0, 139.0, 30, 7.0, 35.0, 139.0, 2.0};
    TResult previous = Forecast(a);
    for (double dLng = 0.2; dLng < 12.0; dLng += 0.2) {
        a.LocLng = 139.0 + dLng;
        const TResult r = Forecast(a);
        ASSERT_EQ(r.Code, 0) << dLng;
        EXPECT_LE(r.Intensity, previous.Intensity) << dLng;
        EXPECT_GT(r.PSec, previous.PSec) << dLng;
        EXPECT_GT(r.SSec, previous.SSec) << dLng;
        previous = r;
    }
}

// Observed JMA intensities at prefectural offices against the estimate from the
// training epicentres and the office table; at least 7 of 8 within one class.
TEST(CalcForecast, ObservedIntensitiesAtPrefecturalOffices)
{
    const QStringList classes{"０", "１", "２", "３", "４", "５弱", "５強", "６弱", "６強", "７"};
    struct TCase
    {
        int TrainingRow;
        const char* Office;
        const char* Observed;
    };
    const TCase cases[] = {
        {2, "宮城県庁", "６弱"}, {2, "茨城県庁", "６弱"}, {2, "東京都庁", "５強"}, {2, "神奈川県庁", "５強"},
        {8, "福岡県庁", "６弱"}, {1, "熊本県庁", "５強"}, {4, "宮城県庁", "５弱"}, {5, "長野県庁", "４"},
    };
    int within = 0;
    for (const TCase& c : cases) {
        const TEqHistory& eq = GetTrainingEq(c.TrainingRow);
        const TULPrefOfficeInfo* office = nullptr;
        for (int i = 0; i < GetPrefOfficeCount(); ++i) {
            if (GetPrefOffice(i).PrefOfficeName == QString::fromUtf8(c.Office)) {
                office = &GetPrefOffice(i);
            }
        }
        ASSERT_NE(office, nullptr) << c.Office;
        TResult r;
        r.Code = calcForecast(eq.EpicLat.toDouble(), eq.EpicLong.toDouble(), eq.EpicDepth.trimmed().toInt(),
                              eq.EqMagnitude.toDouble(), office->Latitude, office->Longitude, office->GAmplification,
                              &r.Intensity, &r.PSec, &r.SSec);
        ASSERT_EQ(r.Code, 0) << c.Office;
        const QString estimated = TSeismicIntensityScale::GetScaleAsString(r.Intensity);
        const qsizetype diff = classes.indexOf(estimated) - classes.indexOf(QString::fromUtf8(c.Observed));
        within += std::abs(diff) <= 1 ? 1 : 0;
        std::printf("%s %s: estimate %.2f %s, observed %s\n", qUtf8Printable(eq.OccurrenceTime.left(10)), c.Office,
                    r.Intensity, qUtf8Printable(estimated), c.Observed);
    }
    EXPECT_GE(within, 7);
}
