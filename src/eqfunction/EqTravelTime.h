#pragma once

#include <cstddef>
#include <span>
#include <vector>

namespace eqf {

// One node of a 1-D velocity model; velocities vary linearly between nodes.
struct TEqVelocityNode
{
    double DepthKm;
    double Vp;
    double Vs;
};

enum class TEqWave
{
    ewP = 0,
    ewS = 1
};

// Mean Earth radius used for the flattening transform and for distances.
inline constexpr double EarthRadiusKm = 6371.0;

// The velocity model the travel times are computed from (true depth, km/s).
std::span<const TEqVelocityNode> GetVelocityModel();

// Thin constant-velocity layers of the Earth-flattened model: the spherical
// model maps exactly onto a flat one, so rays are traced with flat formulas
// and the surface distance equals the epicentral arc length.
struct TEqFlatLayers
{
    std::vector<double> Thickness; // flattened km
    std::vector<double> Velocity;  // flattened km/s
};

// Layers of 1 km true thickness down to the deepest source, 5 km below, to
// BottomKm; a velocity lower than one above it is raised to that one.
TEqFlatLayers FlattenModel(std::span<const TEqVelocityNode> nodes, TEqWave wave, int bottomKm);

// First-arrival P and S times on a grid of source depth (every km down to
// FineDepthKm, every 2 km below, to MaxDepthKm) and epicentral distance (every
// DistanceStepKm, 0 to MaxDistanceKm). Odd depths below FineDepthKm take the
// mean of their neighbours: there the times change almost linearly with depth.
class TEqTravelTimeGrid
{
public:
    static constexpr int MaxDepthKm = 700;
    static constexpr int MaxDistanceKm = 2000;
    static constexpr int DistanceStepKm = 2;
    static constexpr int DistanceCount = MaxDistanceKm / DistanceStepKm + 1;
    static constexpr int ModelBottomKm = 1000;
    static constexpr int FineDepthKm = 200;
    static constexpr int RowCount = FineDepthKm + 1 + (MaxDepthKm - FineDepthKm) / 2;

    static TEqTravelTimeGrid Build(std::span<const TEqVelocityNode> nodes);

    // The grid of the built-in model, built on first use; safe from any thread.
    static const TEqTravelTimeGrid& GetShared();

    // Linear interpolation in distance; false outside the grid.
    bool GetTravelTimes(int depthKm, double distanceKm, double& pSec, double& sSec) const;

    // Grid value at a stored depth (see IsStoredDepth), for tests.
    double GetGridValue(TEqWave wave, int depthKm, int distanceIndex) const;

    static bool IsStoredDepth(int depthKm)
    {
        return depthKm >= 0 && depthKm <= MaxDepthKm && (depthKm <= FineDepthKm || depthKm % 2 == 0);
    }

private:
    TEqTravelTimeGrid() = default;
    static void BuildWave(const TEqFlatLayers& layers, std::vector<float>& out);
    static std::size_t RowOf(int storedDepthKm)
    {
        return storedDepthKm <= FineDepthKm ? storedDepthKm : FineDepthKm + (storedDepthKm - FineDepthKm) / 2;
    }

    std::vector<float> FP;
    std::vector<float> FS;
};

} // namespace eqf
