// The logger's work per 0x3000-byte block at full speed: turning 1,024 change records into text
// lines (direct logging) and keeping them raw (post-processing). Both must stay far ahead of the
// board's USB rate for the logger not to lose data on the host side.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "logger/logger_core.h"

namespace kv {
namespace {

std::vector<uint8_t> block() {
    std::vector<uint8_t> b(kLoggerBlockBytes);
    for (int r = 0; r < kLoggerBlockBytes / kLoggerRecordBytes; ++r) {
        uint8_t* p = b.data() + r * kLoggerRecordBytes;
        const uint64_t clocks = 1000000007ull * r, value = 0x5A5A5A5A5ull + r;
        p[0] = static_cast<uint8_t>((value >> 32) & 0x0F);
        for (int i = 0; i < 7; ++i) p[1 + i] = static_cast<uint8_t>(clocks >> (8 * i));
        for (int i = 0; i < 4; ++i) p[8 + i] = static_cast<uint8_t>(value >> (8 * i));
    }
    return b;
}

void TextLines(benchmark::State& state) {
    const std::vector<uint8_t> b = block();
    LoggerText text((1ull << 36) - 1);
    std::string out;
    for (auto _ : state) {
        out.clear();
        text.convert(b.data(), b.size(), false, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.size()));
}
BENCHMARK(TextLines);

void RawRecords(benchmark::State& state) {
    const std::vector<uint8_t> b = block();
    std::vector<uint8_t> out;
    bool lastLost = false;
    for (auto _ : state) {
        out.clear();
        keepRawRecords(b.data(), b.size(), false, lastLost, out);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(b.size()));
}
BENCHMARK(RawRecords);

}  // namespace
}  // namespace kv

BENCHMARK_MAIN();
