// Composing one alert frame: the tick's whole draw sequence into the 500 x 500 buffer.
#include "alert/AlertTiming.h"
#include "alertview/AlertMap.h"

#include <QGuiApplication>

#include <benchmark/benchmark.h>

namespace {

class TFixedClock : public TAlertClock
{
public:
    qint64 Now = 0;
    qint64 NowLocalMSecs() const override { return Now; }
};

// A warning with every part of the frame: name plate, three-digit countdown, circle.
void BM_ComposeFrame(benchmark::State& State)
{
    const QString occurred = QStringLiteral("160414212634");
    const TEqTelegram01 eq01(QStringLiteral("010000") + occurred + occurred + QStringLiteral("ND20") + occurred +
                             QStringLiteral(" 05N327E1308010653333"));
    const TEqTelegram10 eq10(QStringLiteral("10ND20") + occurred + QStringLiteral(" 05791熊本県熊本地方"));
    TFixedClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(occurred) + 20000;
    TAlertTiming timing(nullptr, &clock);
    timing.SetIsIssuedWarning(true);
    timing.SetEqInfo(35.69f, 139.69f, eq01, eq10, 5.2f, 130.0f);
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();
    TAlertMap map;
    map.PaintFrame(timing, tick); // glyph caches warm, as from the second tick of an alert on
    for (auto _ : State) {
        map.PaintFrame(timing, tick);
        benchmark::DoNotOptimize(map.Frame().constBits());
    }
}
BENCHMARK(BM_ComposeFrame)->Unit(benchmark::kMillisecond);

// The first frame of the process: fonts and glyphs are loaded on the way.
void BM_FirstFrameOfAFreshMap(benchmark::State& State)
{
    const QString occurred = QStringLiteral("160414212634");
    const TEqTelegram01 eq01(QStringLiteral("010000") + occurred + occurred + QStringLiteral("ND20") + occurred +
                             QStringLiteral(" 05N381E1428024793333"));
    TFixedClock clock;
    clock.Now = *TAlertTiming::ParseOccurrenceTime(occurred) + 20000;
    TAlertTiming timing(nullptr, &clock);
    timing.SetEqInfo(35.32f, 139.16f, eq01, 4.7f, 60.0f);
    timing.StartAlert();
    const TAlertTick tick = timing.DoAlert();
    for (auto _ : State) {
        TAlertMap map;
        map.PaintFrame(timing, tick);
        benchmark::DoNotOptimize(map.Frame().constBits());
    }
}
BENCHMARK(BM_FirstFrameOfAFreshMap)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
