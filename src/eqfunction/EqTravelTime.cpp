#include "EqTravelTime.h"

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
    layers.Thickness.reserve(bottomKm);
    layers.Velocity.reserve(bottomKm);
    const double r0 = EarthRadiusKm;
    for (int i = 0; i < bottomKm; ++i) {
        const double top = r0 * std::log(r0 / (r0 - i));
        const double bottom = r0 * std::log(r0 / (r0 - (i + 1)));
        const double mid = i + 0.5;
        layers.Thickness.push_back(bottom - top);
        layers.Velocity.push_back(VelocityAt(nodes, wave, mid) * r0 / (r0 - mid));
    }
    return layers;
}

void TEqTravelTimeGrid::BuildWave(const TEqFlatLayers& layers, std::vector<float>& out)
{
    const std::size_t n = layers.Velocity.size();
    const std::vector<double>& h = layers.Thickness;
    const std::vector<double>& v = layers.Velocity;

    std::vector<double> slowness2(n);
    std::vector<double> maxAbove(n + 1, 0.0); // fastest velocity above the top of layer k
    for (std::size_t k = 0; k < n; ++k) {
        slowness2[k] = 1.0 / (v[k] * v[k]);
        maxAbove[k + 1] = std::max(maxAbove[k], v[k]);
    }

    // Ray parameters: steep rays first, then one grazing ray per layer.
    const std::size_t np = SteepRayCount + n;
    std::vector<double> p(np);
    for (int j = 0; j < SteepRayCount; ++j) {
        p[j] = j / (SteepRayCount * maxAbove[n]);
    }
    for (std::size_t k = 0; k < n; ++k) {
        p[SteepRayCount + k] = 1.0 / v[k];
    }

    // Delay time of a ray that turns at the top of layer k (head wave along it).
    std::vector<double> tauTurn(n, Infinity);
    for (std::size_t k = 0; k < n; ++k) {
        if (v[k] <= maxAbove[k]) {
            continue;
        }
        const double pk2 = 1.0 / (v[k] * v[k]);
        double tau = 0.0;
        for (std::size_t i = 0; i < k; ++i) {
            tau += h[i] * std::sqrt(slowness2[i] - pk2);
        }
        tauTurn[k] = tau;
    }

    // Running sums from the surface down to the current source depth.
    std::vector<double> tauAbove(np, 0.0);
    std::vector<double> xAbove(np, 0.0);

    std::vector<double> upX;
    std::vector<double> upT;
    std::vector<double> upP;
    upX.reserve(np);
    upT.reserve(np);
    upP.reserve(np);
    TLowerEnvelope envelope;

    out.assign(static_cast<std::size_t>(MaxDepthKm + 1) * DistanceCount, 0.0f);
    for (int m = 0; m <= MaxDepthKm; ++m) {
        // Rays going down from the source and turning below it.
        envelope.Clear();
        double junction = Infinity;
        for (std::size_t k = m; k < n; ++k) {
            if (!std::isfinite(tauTurn[k])) {
                continue;
            }
            const std::size_t j = SteepRayCount + k;
            if (junction == Infinity) {
                junction = xAbove[j];
            }
            envelope.Add({p[j], 2.0 * tauTurn[k] - tauAbove[j]});
        }

        // Rays going up from the source, in order of ascending ray parameter.
        upX.clear();
        upT.clear();
        upP.clear();
        if (m > 0) {
            const double pLimit = 1.0 / maxAbove[m];
            auto addUp = [&](std::size_t j) {
                if (p[j] >= pLimit || !std::isfinite(xAbove[j]) || (!upP.empty() && p[j] <= upP.back())) {
                    return;
                }
                upX.push_back(xAbove[j]);
                upT.push_back(tauAbove[j] + p[j] * xAbove[j]);
                upP.push_back(p[j]);
            };
            for (int j = 0; j < SteepRayCount; ++j) {
                addUp(j);
            }
            for (std::size_t k = n; k-- > static_cast<std::size_t>(m);) {
                addUp(SteepRayCount + k);
            }
        }

        float* row = out.data() + static_cast<std::size_t>(m) * DistanceCount;
        std::size_t seg = 0;
        for (int ix = 0; ix < DistanceCount; ++ix) {
            const double x = ix * DistanceStepKm;
            double t = Infinity;
            if (x >= junction) {
                t = envelope.Query(x);
            }
            if (!upX.empty() && x <= upX.back()) {
                while (seg + 1 < upX.size() && upX[seg + 1] < x) {
                    ++seg;
                }
                double up = upT[seg] + upP[seg] * (x - upX[seg]);
                if (seg + 1 < upX.size()) {
                    up = std::max(up, upT[seg + 1] + upP[seg + 1] * (x - upX[seg + 1]));
                }
                t = std::min(t, up);
            }
            row[ix] = static_cast<float>(t);
        }

        // Extend the running sums by layer m for the next source depth.
        if (static_cast<std::size_t>(m) < n) {
            for (std::size_t j = 0; j < np; ++j) {
                const double eta2 = slowness2[m] - p[j] * p[j];
                if (eta2 <= 0.0 || !std::isfinite(xAbove[j])) {
                    xAbove[j] = Infinity;
                    continue;
                }
                const double eta = std::sqrt(eta2);
                tauAbove[j] += h[m] * eta;
                xAbove[j] += h[m] * p[j] / eta;
            }
        }
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
    const std::size_t base = static_cast<std::size_t>(depthKm) * DistanceCount + i0;
    pSec = FP[base] + w * (FP[base + 1] - FP[base]);
    sSec = FS[base] + w * (FS[base + 1] - FS[base]);
    return std::isfinite(pSec) && std::isfinite(sSec);
}

double TEqTravelTimeGrid::GetGridValue(TEqWave wave, int depthKm, int distanceIndex) const
{
    const std::vector<float>& g = wave == TEqWave::ewP ? FP : FS;
    return g[static_cast<std::size_t>(depthKm) * DistanceCount + distanceIndex];
}

} // namespace eqf
