#include "eqfunction/EqTravelTime.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace eqf {

namespace {

constexpr double Infinity = std::numeric_limits<double>::infinity();

// Near-vertical rays leave a deep source with ray parameters below those of
// every layer; this many are added, evenly spaced, so the direct branch is
// sampled over its whole range of take-off angles.
constexpr int SteepRayCount = 64;

// Thickness of the layers below the deepest source.
constexpr int DeepLayerKm = 5;

double VelocityAt(std::span<const TEqVelocityNode> nodes, TEqWave wave, double depthKm)
{
    auto value = [wave](const TEqVelocityNode& n) { return wave == TEqWave::ewP ? n.Vp : n.Vs; };
    if (depthKm <= nodes.front().DepthKm) {
        return value(nodes.front());
    }
    for (std::size_t i = 1; i < nodes.size(); ++i) {
        if (depthKm <= nodes[i].DepthKm) {
            const TEqVelocityNode& a = nodes[i - 1];
            const TEqVelocityNode& b = nodes[i];
            const double t = (depthKm - a.DepthKm) / (b.DepthKm - a.DepthKm);
            return value(a) + t * (value(b) - value(a));
        }
    }
    return value(nodes.back());
}

struct TLine
{
    double Slope;
    double Intercept;
    double At(double x) const { return Intercept + Slope * x; }
};

// Lower envelope of lines added in order of decreasing slope.
class TLowerEnvelope
{
public:
    void Clear()
    {
        FLines.clear();
        FCursor = 0;
    }

    void Add(const TLine& line)
    {
        if (!FLines.empty() && FLines.back().Slope == line.Slope) {
            if (FLines.back().Intercept <= line.Intercept) {
                return;
            }
            FLines.pop_back();
        }
        while (FLines.size() >= 2 && IsHidden(FLines[FLines.size() - 2], FLines.back(), line)) {
            FLines.pop_back();
        }
        FLines.push_back(line);
    }

    // Queries must come with ascending x.
    double Query(double x)
    {
        if (FLines.empty()) {
            return Infinity;
        }
        while (FCursor + 1 < FLines.size() && FLines[FCursor + 1].At(x) <= FLines[FCursor].At(x)) {
            ++FCursor;
        }
        return FLines[FCursor].At(x);
    }

private:
    // b is never lowest when c crosses a no later than b does.
    static bool IsHidden(const TLine& a, const TLine& b, const TLine& c)
    {
        return (c.Intercept - a.Intercept) * (a.Slope - b.Slope) <= (b.Intercept - a.Intercept) * (a.Slope - c.Slope);
    }

    std::vector<TLine> FLines;
    std::size_t FCursor = 0;
};

} // namespace

TEqFlatLayers FlattenModel(std::span<const TEqVelocityNode> nodes, TEqWave wave, int bottomKm)
{
    TEqFlatLayers layers;
    const double r0 = EarthRadiusKm;
    double fastestAbove = 0.0;
    // 1 km layers down to the deepest source, so every source depth is a layer
    // boundary; thicker ones below, where only turning rays go.
    for (int top = 0; top < bottomKm;) {
        const int thickness = top < TEqTravelTimeGrid::MaxDepthKm ? 1 : DeepLayerKm;
        const int bottom = std::min(top + thickness, bottomKm);
        const double mid = 0.5 * (top + bottom);
        // Velocities never decrease with depth: a ray parameter then stays valid
        // from the surface down to its turning layer.
        fastestAbove = std::max(fastestAbove, VelocityAt(nodes, wave, mid));
        layers.Thickness.push_back(r0 * std::log((r0 - top) / (r0 - bottom)));
        layers.Velocity.push_back(fastestAbove * r0 / (r0 - mid));
        top = bottom;
    }
    return layers;
}

void TEqTravelTimeGrid::BuildWave(const TEqFlatLayers& layers, std::vector<float>& out)
{
    // Layer velocities increase strictly with depth (FlattenModel), so the ray
    // with parameter 1/v[k] passes every layer above k and turns at its top.
    const std::size_t n = layers.Velocity.size();
    const std::vector<double>& h = layers.Thickness;
    const std::vector<double>& v = layers.Velocity;

    std::vector<double> slowness2(n);
    for (std::size_t k = 0; k < n; ++k) {
        slowness2[k] = 1.0 / (v[k] * v[k]);
    }

    // Ray parameters: steep rays first, then one grazing ray per layer.
    const std::size_t np = SteepRayCount + n;
    std::vector<double> p(np);
    std::vector<double> p2(np);
    for (int j = 0; j < SteepRayCount; ++j) {
        p[j] = j / (SteepRayCount * v[n - 1]);
    }
    for (std::size_t k = 0; k < n; ++k) {
        p[SteepRayCount + k] = 1.0 / v[k];
    }
    for (std::size_t j = 0; j < np; ++j) {
        p2[j] = p[j] * p[j];
    }

    // Delay time of the ray that turns at the top of layer k (head wave along it).
    std::vector<double> tauTurn(n, 0.0);
    {
        std::vector<double> running(n, 0.0);
        const double* pk2 = p2.data() + SteepRayCount;
        for (std::size_t m = 0; m < n; ++m) {
            tauTurn[m] = running[m];
            const double hm = h[m];
            const double sm = slowness2[m];
            for (std::size_t k = m + 1; k < n; ++k) {
                running[k] += hm * std::sqrt(sm - pk2[k]);
            }
        }
    }

    // Delay time and distance from the surface down to the current source depth,
    // for the steep rays and for the rays turning below the source.
    std::vector<double> tauAbove(np, 0.0);
    std::vector<double> xAbove(np, 0.0);

    std::vector<double> upX;
    std::vector<double> upT;
    std::vector<double> upP;
    upX.reserve(np);
    upT.reserve(np);
    upP.reserve(np);
    TLowerEnvelope envelope;

    // One row of the grid for a source at the top of layer m.
    auto buildRow = [&](std::size_t m, float* row) {
        // Rays going down from the source and turning below it; they reach the
        // surface no nearer than the ray that leaves horizontally.
        envelope.Clear();
        const double junction = xAbove[SteepRayCount + m];
        for (std::size_t k = m; k < n; ++k) {
            const std::size_t j = SteepRayCount + k;
            envelope.Add({p[j], 2.0 * tauTurn[k] - tauAbove[j]});
        }

        // Rays going up from the source, in order of ascending ray parameter.
        upX.clear();
        upT.clear();
        upP.clear();
        if (m > 0) {
            auto addUp = [&](std::size_t j) {
                upX.push_back(xAbove[j]);
                upT.push_back(tauAbove[j] + p[j] * xAbove[j]);
                upP.push_back(p[j]);
            };
            for (int j = 0; j < SteepRayCount; ++j) {
                addUp(j);
            }
            for (std::size_t k = n; k-- > m;) {
                addUp(SteepRayCount + k);
            }
        }

        std::size_t seg = 0;
        for (int ix = 0; ix < DistanceCount; ++ix) {
            const double x = ix * DistanceStepKm;
            double t = x >= junction ? envelope.Query(x) : Infinity;
            if (!upX.empty() && x <= upX.back()) {
                while (seg + 1 < upX.size() && upX[seg + 1] < x) {
                    ++seg;
                }
                // The direct branch is convex: the larger of the two tangents
                // at the ends of the segment is the closer lower bound.
                double up = upT[seg] + upP[seg] * (x - upX[seg]);
                if (seg + 1 < upX.size()) {
                    up = std::max(up, upT[seg + 1] + upP[seg + 1] * (x - upX[seg + 1]));
                }
                t = std::min(t, up);
            }
            row[ix] = static_cast<float>(t);
        }
    };

    out.assign(static_cast<std::size_t>(RowCount) * DistanceCount, 0.0f);
    for (std::size_t m = 0; m <= static_cast<std::size_t>(MaxDepthKm) && m < n; ++m) {
        if (IsStoredDepth(static_cast<int>(m))) {
            buildRow(m, out.data() + RowOf(static_cast<int>(m)) * DistanceCount);
        }

        // Extend the sums by layer m for the next source depth; the ray grazing
        // layer m itself cannot pass it.
        const double hm = h[m];
        const double sm = slowness2[m];
        auto extend = [&](std::size_t from, std::size_t to) {
            for (std::size_t j = from; j < to; ++j) {
                const double eta = std::sqrt(sm - p2[j]);
                tauAbove[j] += hm * eta;
                xAbove[j] += hm * p[j] / eta;
            }
        };
        extend(0, SteepRayCount);
        extend(SteepRayCount + m + 1, np);
        xAbove[SteepRayCount + m] = Infinity;
    }
}

TEqTravelTimeGrid TEqTravelTimeGrid::Build(std::span<const TEqVelocityNode> nodes)
{
    TEqTravelTimeGrid grid;
    BuildWave(FlattenModel(nodes, TEqWave::ewP, ModelBottomKm), grid.FP);
    BuildWave(FlattenModel(nodes, TEqWave::ewS, ModelBottomKm), grid.FS);
    return grid;
}

const TEqTravelTimeGrid& TEqTravelTimeGrid::GetShared()
{
    static const TEqTravelTimeGrid grid = Build(GetVelocityModel());
    return grid;
}

bool TEqTravelTimeGrid::GetTravelTimes(int depthKm, double distanceKm, double& pSec, double& sSec) const
{
    if (depthKm < 0 || depthKm > MaxDepthKm || !(distanceKm >= 0.0) || distanceKm > MaxDistanceKm) {
        return false;
    }
    const double f = distanceKm / DistanceStepKm;
    const int i0 = std::min(static_cast<int>(f), DistanceCount - 2);
    const double w = f - i0;
    auto at = [i0, w](const std::vector<float>& g, std::size_t row) {
        const std::size_t base = row * DistanceCount + i0;
        return g[base] + w * (g[base + 1] - g[base]);
    };
    if (IsStoredDepth(depthKm)) {
        pSec = at(FP, RowOf(depthKm));
        sSec = at(FS, RowOf(depthKm));
    } else {
        const std::size_t above = RowOf(depthKm - 1);
        pSec = 0.5 * (at(FP, above) + at(FP, above + 1));
        sSec = 0.5 * (at(FS, above) + at(FS, above + 1));
    }
    return std::isfinite(pSec) && std::isfinite(sSec);
}

double TEqTravelTimeGrid::GetGridValue(TEqWave wave, int depthKm, int distanceIndex) const
{
    const std::vector<float>& g = wave == TEqWave::ewP ? FP : FS;
    return g[RowOf(depthKm) * DistanceCount + distanceIndex];
}

} // namespace eqf
