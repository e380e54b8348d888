// Cost of the texts formatted on every video frame: the display and overlay datecodes and the
// duration texts of the file list.
#include <benchmark/benchmark.h>

#include <ctime>
#include <string>

#include "media/datetime_format.h"
#include "media/fpsunit.h"

namespace {

using velinor::Datecode;

// 4 March 2007 14:05:09, stepping one PAL frame's worth of seconds per iteration so the fields
// change as they do while playing.
constexpr Datecode kStart = 39'145.0 + (14 * 3600 + 5 * 60 + 9) / velinor::kSecondsPerDay;
constexpr Datecode kStep = 1.0 / velinor::kSecondsPerDay;

void formatPattern(benchmark::State& state, const char* pattern) {
    const velinor::DatePattern compiled(pattern);
    std::string out;
    Datecode value = kStart;
    for (auto _ : state) {
        out.clear();
        compiled.formatTo(out, value);
        benchmark::DoNotOptimize(out.data());
        value += kStep;
    }
}

void BM_FormatDisplayDefault(benchmark::State& state) {
    formatPattern(state, " ddddd tt");
}
void BM_FormatSortKey(benchmark::State& state) {
    formatPattern(state, "yyyymmddhhnnss");
}

// The C library doing the same work for the sort key (split a time, print it), for comparison.
void BM_StrftimeSortKey(benchmark::State& state) {
    std::time_t value = 1'173'017'109;  // 2007-03-04 14:05:09 UTC
    char out[32];
    for (auto _ : state) {
        std::tm fields{};
        gmtime_r(&value, &fields);
        benchmark::DoNotOptimize(std::strftime(out, sizeof out, "%Y%m%d%H%M%S", &fields));
        ++value;
    }
}

void BM_FramesDurationText(benchmark::State& state) {
    int64_t duration = 36'000'000'000 + 12'400'000;  // 1h 00mn 01s 06fr
    for (auto _ : state) {
        std::string text = velinor::FramesDurationText(400'000, duration);
        benchmark::DoNotOptimize(text.data());
        duration += 400'000;
    }
}

BENCHMARK(BM_FormatDisplayDefault);
BENCHMARK(BM_FormatSortKey);
BENCHMARK(BM_StrftimeSortKey);
BENCHMARK(BM_FramesDurationText);

}  // namespace

BENCHMARK_MAIN();
