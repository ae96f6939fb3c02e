// Texts the waveform view makes per pulse and per bus segment: a dense screen asks for thousands of
// them on every repaint, so their cost per call is what a redraw pays.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>

#include "viewer/display/formatting.h"

namespace {

void BM_FormatTimeCompact(benchmark::State& state) {
    std::string text;
    int64_t count = 1;
    for (auto _ : state) {
        kv::FormatTimeCompact(100000000, count, 3, &text);
        benchmark::DoNotOptimize(text.data());
        count = count * 7 % 1000003;   // pulse widths of every size
    }
}
BENCHMARK(BM_FormatTimeCompact);

void BM_FormatMeasureTime(benchmark::State& state) {
    std::string text;
    int64_t count = 1;
    for (auto _ : state) {
        kv::FormatMeasure(kv::kMeasureTime, 100000000, count, 3, &text);
        benchmark::DoNotOptimize(text.data());
        count = count * 7 % 1000003;
    }
}
BENCHMARK(BM_FormatMeasureTime);

void BM_FormatValueHex(benchmark::State& state) {
    std::string text;
    uint64_t value = 1;
    for (auto _ : state) {
        kv::FormatValue(0, value, kv::kFormatHex, 16, &text);
        benchmark::DoNotOptimize(text.data());
        value = value * 2654435761u & 0xFFFF;
    }
}
BENCHMARK(BM_FormatValueHex);

}  // namespace

BENCHMARK_MAIN();
