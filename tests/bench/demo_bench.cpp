// A demo acquisition of the largest capture (16 MiB: 2,097,152 samples of 64 bits) into the ring and
// out into a capture buffer, as an Acquire command in demo mode runs it.
#include <benchmark/benchmark.h>

#include <memory>

#include "viewer/shell/demo_generator.h"

namespace {

constexpr int32_t kLargest = 0x1000000;

kv::DemoRequest largestRequest(uint32_t rate) {
    kv::DemoRequest r;
    r.rate = rate;
    r.captureLength = kLargest;
    kv::Settings s;
    kv::setDemoDefaults(s);
    for (int g = 0; g < kv::kDemoGroups; ++g) r.groups[g] = s.demo[g];
    return r;
}

void runAcquisition(benchmark::State& state, const kv::DemoRequest& request,
                    kv::DemoAdvance advance = kv::DemoAdvance::Fastest) {
    std::unique_ptr<uint8_t[]> ring(new uint8_t[kLargest]());
    std::unique_ptr<uint8_t[]> capture(new uint8_t[kLargest]());
    kv::DemoGenerator gen(advance);
    gen.random().seed(1);
    const long stop = 0;
    for (auto _ : state) {
        gen.begin(request, ring.get(), kLargest);
        gen.run(&stop);
        gen.copyOut(capture.get());
        benchmark::DoNotOptimize(capture.get());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kLargest);
    state.counters["samples"] = static_cast<double>(gen.samples());
}

// The default groups (counters, random data, 13 to 20 MHz) at the default 100 MHz.
void BM_DemoLargestCaptureDefaultGroups(benchmark::State& state) {
    runAcquisition(state, largestRequest(100000000));
}
BENCHMARK(BM_DemoLargestCaptureDefaultGroups)->Unit(benchmark::kMillisecond);

// The same with the rule's advance loop, for comparison.
void BM_DemoLargestCaptureDefaultGroupsLiteralLoop(benchmark::State& state) {
    runAcquisition(state, largestRequest(100000000), kv::DemoAdvance::Literal);
}
BENCHMARK(BM_DemoLargestCaptureDefaultGroupsLiteralLoop)->Unit(benchmark::kMillisecond);

void BM_DemoLargestCaptureDefaultGroupsClosedForm(benchmark::State& state) {
    runAcquisition(state, largestRequest(100000000), kv::DemoAdvance::ClosedForm);
}
BENCHMARK(BM_DemoLargestCaptureDefaultGroupsClosedForm)->Unit(benchmark::kMillisecond);

// Every group a sine at 50 MHz sampled at 200 MHz: a sine computed on most samples of every lane.
void BM_DemoLargestCaptureSines(benchmark::State& state) {
    kv::DemoRequest r = largestRequest(200000000);
    for (kv::DemoGroupSetting& g : r.groups) g = {kv::kDemoSine, 0, 50000000};
    runAcquisition(state, r);
}
BENCHMARK(BM_DemoLargestCaptureSines)->Unit(benchmark::kMillisecond);

// 50 MHz groups at 10 Hz: five million advances per group and sample, which the loop would take
// about a day for; the closed form costs the same as at any rate.
void BM_DemoLargestCaptureSlowestRate(benchmark::State& state) {
    kv::DemoRequest r = largestRequest(10);
    for (kv::DemoGroupSetting& g : r.groups) g.frequency = 50000000;
    runAcquisition(state, r);
}
BENCHMARK(BM_DemoLargestCaptureSlowestRate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
