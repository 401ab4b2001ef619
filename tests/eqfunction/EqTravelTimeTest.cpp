#include "eqfunction/EqTravelTime.h"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

using namespace eqf;

namespace {

struct TReferenceTime
{
    double PSec;
    double SSec;
    int DepthKm;
    int DistanceKm;
};

std::vector<TReferenceTime> ReadReferenceTable()
{
    std::vector<TReferenceTime> rows;
    std::ifstream in(std::string(ULX_REFERENCE_DIR) + "/tjma2001");
    TReferenceTime r{};
    while (in >> r.PSec >> r.SSec >> r.DepthKm >> r.DistanceKm) {
        rows.push_back(r);
    }
    return rows;
}

struct TMaxError
{
    double P = 0.0;
    double S = 0.0;
    TReferenceTime WorstP{};
    TReferenceTime WorstS{};
};

TMaxError CompareWithReference(const std::vector<TReferenceTime>& rows, int maxDepthKm, int maxDistanceKm)
{
    const TEqTravelTimeGrid& grid = TEqTravelTimeGrid::GetShared();
    TMaxError e;
    for (const TReferenceTime& r : rows) {
        if (r.DepthKm > maxDepthKm || r.DistanceKm > maxDistanceKm) {
            continue;
        }
        double p = 0.0;
        double s = 0.0;
        EXPECT_TRUE(grid.GetTravelTimes(r.DepthKm, r.DistanceKm, p, s)) << r.DepthKm << " km, " << r.DistanceKm;
        if (std::fabs(p - r.PSec) > e.P) {
            e.P = std::fabs(p - r.PSec);
            e.WorstP = r;
        }
        if (std::fabs(s - r.SSec) > e.S) {
            e.S = std::fabs(s - r.SSec);
            e.WorstS = r;
        }
    }
    return e;
}

class EqTravelTimeReference : public ::testing::Test
{
protected:
    void SetUp() override
    {
        FRows = ReadReferenceTable();
        if (FRows.empty()) {
            GTEST_SKIP() << "reference travel-time table not available";
        }
    }
    std::vector<TReferenceTime> FRows;
};

} // namespace

TEST_F(EqTravelTimeReference, MatchesTableForCrustalAndIntermediateSourcesUpTo600Km)
{
    const TMaxError e = CompareWithReference(FRows, 150, 600);
    EXPECT_LE(e.P, 0.4) << "worst P at depth " << e.WorstP.DepthKm << " km, distance " << e.WorstP.DistanceKm;
    EXPECT_LE(e.S, 0.6) << "worst S at depth " << e.WorstS.DepthKm << " km, distance " << e.WorstS.DistanceKm;
    std::printf("max |error| depth<=150 km, distance<=600 km: P %.3f s, S %.3f s\n", e.P, e.S);
}

TEST_F(EqTravelTimeReference, MatchesWholeTableIncludingDeepSourcesAndLongDistances)
{
    const TMaxError e = CompareWithReference(FRows, 700, 2000);
    EXPECT_LE(e.P, 0.4) << "worst P at depth " << e.WorstP.DepthKm << " km, distance " << e.WorstP.DistanceKm;
    EXPECT_LE(e.S, 0.6) << "worst S at depth " << e.WorstS.DepthKm << " km, distance " << e.WorstS.DistanceKm;
    std::printf("max |error| whole table: P %.3f s, S %.3f s\n", e.P, e.S);
}

TEST(EqTravelTimeGrid, RejectsPointsOutsideTheGridAndInterpolatesBetweenColumns)
{
    const TEqTravelTimeGrid& grid = TEqTravelTimeGrid::GetShared();
    double p = -1.0;
    double s = -1.0;
    EXPECT_FALSE(grid.GetTravelTimes(-1, 10.0, p, s));
    EXPECT_FALSE(grid.GetTravelTimes(701, 10.0, p, s));
    EXPECT_FALSE(grid.GetTravelTimes(10, -0.1, p, s));
    EXPECT_FALSE(grid.GetTravelTimes(10, 2000.01, p, s));
    EXPECT_FALSE(grid.GetTravelTimes(10, std::nan(""), p, s));
    ASSERT_TRUE(grid.GetTravelTimes(700, 2000.0, p, s));
    EXPECT_DOUBLE_EQ(p, grid.GetGridValue(TEqWave::ewP, 700, TEqTravelTimeGrid::DistanceCount - 1));

    ASSERT_TRUE(grid.GetTravelTimes(0, 0.0, p, s));
    EXPECT_DOUBLE_EQ(p, 0.0);
    EXPECT_DOUBLE_EQ(s, 0.0);
    ASSERT_TRUE(grid.GetTravelTimes(30, 101.0, p, s));
    const double p100 = grid.GetGridValue(TEqWave::ewP, 30, 50);
    const double p102 = grid.GetGridValue(TEqWave::ewP, 30, 51);
    EXPECT_NEAR(p, (p100 + p102) / 2.0, 1e-9);
}

// First arrivals grow with distance and depth-to-surface time, and S is slower than P everywhere.
TEST(EqTravelTimeGrid, IsMonotoneInDistanceAndSSlowerThanP)
{
    const TEqTravelTimeGrid& grid = TEqTravelTimeGrid::GetShared();
    for (int d = 0; d <= TEqTravelTimeGrid::MaxDepthKm; d += 7) {
        if (!TEqTravelTimeGrid::IsStoredDepth(d)) {
            continue;
        }
        double previous = -1.0;
        for (int i = 0; i < TEqTravelTimeGrid::DistanceCount; ++i) {
            const double p = grid.GetGridValue(TEqWave::ewP, d, i);
            const double s = grid.GetGridValue(TEqWave::ewS, d, i);
            ASSERT_TRUE(std::isfinite(p) && std::isfinite(s)) << d << " km, column " << i;
            ASSERT_GE(p, previous) << d << " km, column " << i;
            ASSERT_GE(s, p * 1.6) << d << " km, column " << i;
            previous = p;
        }
    }
}

// Straight below the source the time grows with every km of depth, also at the
// odd depths of the deep part, which are not stored but averaged.
TEST(EqTravelTimeGrid, VerticalTimeGrowsWithEveryKmOfDepth)
{
    const TEqTravelTimeGrid& grid = TEqTravelTimeGrid::GetShared();
    double previousP = -1.0;
    double previousS = -1.0;
    for (int d = 0; d <= TEqTravelTimeGrid::MaxDepthKm; ++d) {
        double p = 0.0;
        double s = 0.0;
        ASSERT_TRUE(grid.GetTravelTimes(d, 0.0, p, s)) << d;
        EXPECT_GT(p, previousP) << d;
        EXPECT_GT(s, previousS) << d;
        // No layer is slower than 4.8 or faster than 12 km/s for P.
        if (d > 0) {
            EXPECT_GT(p - previousP, 1.0 / 12.0) << d;
            EXPECT_LT(p - previousP, 1.0 / 4.8) << d;
        }
        previousP = p;
        previousS = s;
    }
}

TEST(EqTravelTimeGrid, BuildIsDeterministicAndMatchesTheSharedGrid)
{
    const TEqTravelTimeGrid built = TEqTravelTimeGrid::Build(GetVelocityModel());
    const TEqTravelTimeGrid& shared = TEqTravelTimeGrid::GetShared();
    for (int d : {0, 10, 150, 700}) {
        for (int i : {0, 1, 300, TEqTravelTimeGrid::DistanceCount - 1}) {
            EXPECT_EQ(built.GetGridValue(TEqWave::ewS, d, i), shared.GetGridValue(TEqWave::ewS, d, i));
        }
    }
}

// A half-space has straight rays: the times are distance over velocity,
// corrected only by the flattening of the Earth's curvature.
TEST(EqTravelTimeGrid, UniformModelGivesStraightRayTimesNearTheSource)
{
    const TEqVelocityNode uniform[] = {{0, 6.0, 3.5}, {1000, 6.0, 3.5}};
    const TEqTravelTimeGrid grid = TEqTravelTimeGrid::Build(uniform);
    for (int depth : {0, 10, 40}) {
        for (int column : {0, 5, 20}) {
            const double x = column * TEqTravelTimeGrid::DistanceStepKm;
            const double expected = std::hypot(x, depth);
            EXPECT_NEAR(grid.GetGridValue(TEqWave::ewP, depth, column), expected / 6.0, 0.02)
                << depth << " km, " << x << " km";
            EXPECT_NEAR(grid.GetGridValue(TEqWave::ewS, depth, column), expected / 3.5, 0.03)
                << depth << " km, " << x << " km";
        }
    }
}
