// calcForecast per call (after the first, which builds the travel-time grid)
// and the one-time cost of building the grid.
#include "eqfunction/EqTravelTime.h"
#include "eqfunction/eqFunction.h"

#include <benchmark/benchmark.h>

namespace {

void BM_CalcForecast(benchmark::State& state)
{
    double intensity = 0.0;
    double pSec = 0.0;
    double sSec = 0.0;
    // The first call builds the grid; it is not part of the measurement.
    calcForecast(38.10, 142.85, 24, 9.0, 35.68949, 139.69171, 2.578, &intensity, &pSec, &sSec);
    // Epicentres spread over Japan so the distance iteration and the grid
    // lookup are not the same every time.
    const double lats[] = {32.73, 38.10, 24.78, 39.02, 37.55, 42.78, 34.12, 35.32};
    const double lngs[] = {130.82, 142.85, 138.51, 140.87, 138.45, 144.62, 132.69, 139.16};
    const int depths[] = {11, 24, 23, 8, 17, 53, 46, 23};
    std::size_t i = 0;
    for (auto _ : state) {
        const std::size_t k = i++ & 7;
        benchmark::DoNotOptimize(
            calcForecast(lats[k], lngs[k], depths[k], 7.0, 35.68949, 139.69171, 2.578, &intensity, &pSec, &sSec));
        benchmark::DoNotOptimize(sSec);
    }
}
BENCHMARK(BM_CalcForecast)->Repetitions(9)->ReportAggregatesOnly(true);

void BM_BuildTravelTimeGrid(benchmark::State& state)
{
    for (auto _ : state) {
        eqf::TEqTravelTimeGrid grid = eqf::TEqTravelTimeGrid::Build(eqf::GetVelocityModel());
        benchmark::DoNotOptimize(grid);
    }
}
BENCHMARK(BM_BuildTravelTimeGrid)->Unit(benchmark::kMillisecond)->Repetitions(9)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
