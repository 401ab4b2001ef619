#include "defines/VeskDefines.h"

#include <benchmark/benchmark.h>

namespace {

// A full type-01 line with twelve warning area codes.
const QString Line01 = QStringLiteral("0111001604142126401604142126"
                                      "34ND201604142126349 5N327E13080116545321"
                                      "350360372380391400411420432442451461");

// Stores a received line and reads every field of it, as the rest of the program does
// over the life of one telegram.
void DecodeAll(benchmark::State& State, const QString& Line)
{
    for (auto _ : State) {
        TEqTelegram01 t;
        t.SetTelegram(Line);
        benchmark::DoNotOptimize(t.GetTelegram());
        benchmark::DoNotOptimize(t.GetHeader());
        benchmark::DoNotOptimize(t.GetType());
        benchmark::DoNotOptimize(t.GetTrainType());
        benchmark::DoNotOptimize(t.GetPresentTime());
        benchmark::DoNotOptimize(t.GetOccurrenceTime());
        benchmark::DoNotOptimize(t.GetEqId());
        benchmark::DoNotOptimize(t.GetTelegNo());
        benchmark::DoNotOptimize(t.GetNCNnn());
        benchmark::DoNotOptimize(t.GetEpicLat());
        benchmark::DoNotOptimize(t.GetEpicLatStr());
        benchmark::DoNotOptimize(t.GetEpicLatNorth());
        benchmark::DoNotOptimize(t.GetEpicLong());
        benchmark::DoNotOptimize(t.GetEpicLongStr());
        benchmark::DoNotOptimize(t.GetEpicLongEast());
        benchmark::DoNotOptimize(t.GetEpicDepth());
        benchmark::DoNotOptimize(t.GetEpicDepthStr());
        benchmark::DoNotOptimize(t.GetMagnitude());
        benchmark::DoNotOptimize(t.GetMagnitudeStr());
        benchmark::DoNotOptimize(t.GetCertOfEpi());
        benchmark::DoNotOptimize(t.GetRk1());
        benchmark::DoNotOptimize(t.GetCertOfDepth());
        benchmark::DoNotOptimize(t.GetRk2());
        benchmark::DoNotOptimize(t.GetCertOfMg());
        benchmark::DoNotOptimize(t.GetRk3());
        benchmark::DoNotOptimize(t.GetCertOfJMA1());
        benchmark::DoNotOptimize(t.GetRk4());
        benchmark::DoNotOptimize(t.GetCertOfJMA2());
        benchmark::DoNotOptimize(t.GetRk5());
        benchmark::DoNotOptimize(t.GetAreaCodeList());
        for (int i = 0; i < t.GetNumOfAreaCode(); ++i) {
            benchmark::DoNotOptimize(t.GetAreaCode(i));
        }
        benchmark::DoNotOptimize(t.IsTargetAreaOfWarning(QStringLiteral("461")));
    }
    State.SetItemsProcessed(State.iterations());
}

void BM_DecodeType01(benchmark::State& State)
{
    DecodeAll(State, Line01);
}
BENCHMARK(BM_DecodeType01);

// The same line with a character outside the BMP in an unread column: the slow path
// that maps code points to UTF-16 offsets.
void BM_DecodeType01Emoji(benchmark::State& State)
{
    QString line = Line01;
    line.replace(2, 2, QStringLiteral("😀1"));
    DecodeAll(State, line);
}
BENCHMARK(BM_DecodeType01Emoji);

// Only the fields the dispatch, the effect calculation and the alert filter read.
void BM_DecodeType01ForAlert(benchmark::State& State)
{
    for (auto _ : State) {
        TEqTelegram01 t;
        t.SetTelegram(Line01);
        benchmark::DoNotOptimize(t.GetEqId());
        benchmark::DoNotOptimize(t.GetTelegNo());
        benchmark::DoNotOptimize(t.GetPresentTime());
        benchmark::DoNotOptimize(t.GetOccurrenceTime());
        benchmark::DoNotOptimize(t.GetTrainType());
        benchmark::DoNotOptimize(t.GetEpicLat());
        benchmark::DoNotOptimize(t.GetEpicLong());
        benchmark::DoNotOptimize(t.GetEpicDepth());
        benchmark::DoNotOptimize(t.GetMagnitude());
        benchmark::DoNotOptimize(t.GetRk1());
        benchmark::DoNotOptimize(t.GetRk2());
        benchmark::DoNotOptimize(t.GetRk3());
        benchmark::DoNotOptimize(t.IsTargetAreaOfWarning(QStringLiteral("461")));
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_DecodeType01ForAlert);

void BM_DecodeType10(benchmark::State& State)
{
    const QString line = QStringLiteral("10ND201604142126340 5741熊本県熊本地方");
    for (auto _ : State) {
        TEqTelegram10 t;
        t.SetTelegram(line);
        benchmark::DoNotOptimize(t.GetTelegram());
        benchmark::DoNotOptimize(t.GetHeader());
        benchmark::DoNotOptimize(t.GetEqId());
        benchmark::DoNotOptimize(t.GetTelegNo());
        benchmark::DoNotOptimize(t.GetEpicCode());
        benchmark::DoNotOptimize(t.GetEpicName());
    }
    State.SetItemsProcessed(State.iterations());
}
BENCHMARK(BM_DecodeType10);

} // namespace

BENCHMARK_MAIN();
