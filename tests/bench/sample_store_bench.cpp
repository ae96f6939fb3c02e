// Sequential reads of a 16 MiB capture through the SampleStore, beside a plain read of the same
// memory as 64-bit words, so the cost of the accessor shows as a ratio.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <vector>

#include "viewer/shell/sample_store.h"

namespace {

constexpr int32_t kCaptureBytes = 16 << 20;
constexpr size_t kWords = kCaptureBytes / 8;

// Random words plus one spare word, so a fetch of the last sample may read 8 bytes.
std::vector<uint64_t> randomWords() {
    std::vector<uint64_t> words(kWords + 1, 0);
    std::mt19937_64 rng(42);
    for (size_t w = 0; w < kWords; ++w) words[w] = rng();
    return words;
}

// Block-repeat data as the boards store varying signals: every block has a repeat field of 0, so
// the logical samples are the stored ones and each 20th fetch moves to the next block.
std::vector<uint64_t> blockWords() {
    std::vector<uint64_t> words = randomWords();
    for (size_t w = 19; w < kWords; w += 20) words[w] &= (uint64_t{1} << 46) - 1;
    return words;
}

uint8_t* bytesOf(std::vector<uint64_t>& words) { return reinterpret_cast<uint8_t*>(words.data()); }

void BM_PlainRead(benchmark::State& state) {
    std::vector<uint64_t> words = randomWords();
    for (auto _ : state) {
        uint64_t sum = 0;
        for (size_t w = 0; w < kWords; ++w) sum += words[w];
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kCaptureBytes);
}
BENCHMARK(BM_PlainRead);

void fetchAll(benchmark::State& state, int32_t rowBits, int32_t sampleBits) {
    std::vector<uint64_t> words = randomWords();
    kv::SampleStore store;
    const int32_t count = store.attach(bytesOf(words), kCaptureBytes, 64, rowBits, sampleBits, 0);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int32_t i = 0; i < count; ++i) sum += store.fetch(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kCaptureBytes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}

void BM_FetchPacked64(benchmark::State& state) { fetchAll(state, 64, 64); }
BENCHMARK(BM_FetchPacked64);

void BM_FetchPacked36(benchmark::State& state) { fetchAll(state, 36, 36); }
BENCHMARK(BM_FetchPacked36);

// The way readers call it: sample() choosing by the storage mode.
void BM_SamplePacked64(benchmark::State& state) {
    std::vector<uint64_t> words = randomWords();
    kv::SampleStore store;
    const int32_t count = store.attach(bytesOf(words), kCaptureBytes, 64, 64, 64, 0);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int32_t i = 0; i < count; ++i) sum += store.sample(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kCaptureBytes);
}
BENCHMARK(BM_SamplePacked64);

void BM_FetchBlockRepeat(benchmark::State& state) {
    std::vector<uint64_t> words = blockWords();
    kv::SampleStore store;
    const int32_t count = store.attach(bytesOf(words), kCaptureBytes, 64, 64, 64, 1);
    for (auto _ : state) {
        uint64_t sum = 0;
        for (int32_t i = 0; i < count; ++i) sum += store.fetchBlock(i);
        benchmark::DoNotOptimize(sum);
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kCaptureBytes);
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * count);
}
BENCHMARK(BM_FetchBlockRepeat);

}  // namespace

BENCHMARK_MAIN();
