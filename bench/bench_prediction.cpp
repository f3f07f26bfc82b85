#include "calendar.h"
#include "datafolder.h"

#include <QDate>

#include <benchmark/benchmark.h>

namespace {

void predictMonth(benchmark::State &state)
{
    const DataFolder folder(int(state.range(0)), int(state.range(1)));
    Calendar calendar(folder.datePath(), folder.memoPath(), [] { return QDate(2011, 3, 14); });
    for (auto _ : state) {
        calendar.PredictMonth(2011, 3, 28, 0, true, true);
        benchmark::DoNotOptimize(calendar.DayColor(16));
    }
    state.SetComplexityN(state.range(1));
}

void predictionText(benchmark::State &state)
{
    const DataFolder folder(50, 0);
    Calendar calendar(folder.datePath(), folder.memoPath());
    const int length = int(state.range(0));
    for (auto _ : state) {
        benchmark::DoNotOptimize(calendar.PredictionText(length, 12));
    }
}

} // namespace

// Realistic files (50 first days, 400 memo lines), large ones (5,000 days, 100,000 memo lines), and a
// series over the memo lines to see that the cost grows linearly with them.
BENCHMARK(predictMonth)->Args({50, 400})->Args({5000, 100000})->Unit(benchmark::kMillisecond);
BENCHMARK(predictMonth)
    ->Args({50, 12500})
    ->Args({50, 25000})
    ->Args({50, 50000})
    ->Args({50, 100000})
    ->Complexity(benchmark::oN)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(predictionText)->Arg(28)->Arg(Calendar::MaxTextCycleLength)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
