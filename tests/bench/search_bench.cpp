// The pattern search over a 16 MiB capture (64-bit samples, as the boards store them, and 8-bit
// samples): a level pattern that never matches and an edge that occurs only at the end, so each
// search walks the whole capture. Samples searched per second.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "viewer/display/search.h"

namespace {

constexpr int32_t kBytes = 16 << 20;

struct Capture {
    std::vector<uint8_t> bytes;
    kv::SampleStore store;
    int32_t count = 0;
    explicit Capture(int32_t sampleBits) : bytes(kBytes + 16, 0) {
        std::mt19937 rng(7);
        for (int32_t i = 0; i < kBytes; ++i) bytes[i] = static_cast<uint8_t>(rng() & 0x7F);  // bit 7 stays low
        count = store.attach(bytes.data(), kBytes, sampleBits, sampleBits, sampleBits, kv::kStoragePacked);
        // Channel 7 rises near the end.
        for (int32_t i = count - 10; i < count; ++i) store.store(i, store.fetch(i) | 0x80);
    }
};

void search(benchmark::State& state, int32_t sampleBits, bool edge) {
    Capture c(sampleBits);
    kv::SearchSetting s;
    if (edge) {
        s.channelCondition[7] = kv::kCondRising;
    } else {
        s.channelCondition[7] = kv::kCondHigh;  // high only in the last ten samples, with ...
        s.channelCondition[6] = kv::kCondHigh;  // ... channels 0 and 6 high and 1 low: rare
        s.channelCondition[0] = kv::kCondHigh;
        s.channelCondition[1] = kv::kCondLow;
    }
    const std::vector<kv::BoundValueCondition> none;
    int64_t found = 0;
    for (auto _ : state) {
        int64_t next = 0;
        found = kv::findNextMatch(s, none, c.store, 0, c.count - 1, next);
        benchmark::DoNotOptimize(found);
    }
    state.counters["found_at"] = static_cast<double>(found);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * c.count);
}

void BM_SearchLevel64(benchmark::State& state) { search(state, 64, false); }
void BM_SearchEdge64(benchmark::State& state) { search(state, 64, true); }
void BM_SearchLevel8(benchmark::State& state) { search(state, 8, false); }
void BM_SearchEdge8(benchmark::State& state) { search(state, 8, true); }
BENCHMARK(BM_SearchLevel64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEdge64)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchLevel8)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SearchEdge8)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
