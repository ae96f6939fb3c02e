// What a forced stop costs the worker before the capture is shown: holding the unrecorded tail of
// a 16 MiB capture at the last recorded sample, for 64-bit samples and for 9-channel samples
// packed four to a word (a Nanlyn sample-group column).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "viewer/acquire/acquire_rules.h"
#include "viewer/shell/sample_store.h"

namespace {

constexpr int32_t kCaptureBytes = 16 << 20;

void flattenTail(benchmark::State& state, int32_t rowBits, int32_t sampleBits) {
    std::vector<uint8_t> data(kCaptureBytes + 64, 0x5A);
    kv::SampleStore store;
    store.attach(data.data(), kCaptureBytes, 64, rowBits, sampleBits, kv::kStoragePacked);
    const int32_t trigger = store.logicalCount() / 10;
    for (auto _ : state) {
        kv::flattenFromTrigger(store, trigger);
        benchmark::DoNotOptimize(data.data());
    }
    state.SetItemsProcessed(state.iterations() * (store.logicalCount() - trigger));
}

void BM_FlattenTail64(benchmark::State& state) { flattenTail(state, 64, 64); }
void BM_FlattenTailPacked9(benchmark::State& state) { flattenTail(state, 36, 9); }
BENCHMARK(BM_FlattenTail64)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FlattenTailPacked9)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
