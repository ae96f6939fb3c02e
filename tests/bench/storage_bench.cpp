// Temporary storage with the demo capture area (16 MiB + 512 bytes): storing the capture in a slot
// file, bringing it back, slot to slot in 64 KiB pieces and the capture into the compare buffer,
// each in MB/s of the capture area moved, by the clock (file writes finish in the kernel).
#include <benchmark/benchmark.h>

#include <filesystem>
#include <string>
#include <vector>

#include "viewer/storage/temp_storage.h"

namespace {

struct Bench {
    std::string work;
    std::vector<uint8_t> capture;
    kv::TemporaryStorage storage;
    kv::HeldCapture current;

    Bench() {
        const kv::DeviceLimits limits = kv::demoDeviceLimits();
        const int32_t area = kv::captureAreaBytes(limits);
        work = (std::filesystem::temp_directory_path() / "kv_storage_bench").string();
        std::filesystem::create_directories(work);
        capture.assign(static_cast<size_t>(area) + kv::kCaptureSpareBytes, 0);
        for (size_t i = 0; i < capture.size(); ++i) capture[i] = static_cast<uint8_t>(i * 7 + (i >> 12));
        storage.allocateCompare(area);
        current.held = true;
        current.dataOffset = 0;
        current.length = kv::kDemoBufferLimit;
        current.format = kv::SampleFormat::make(kv::kStoragePacked, 64, 64, 64);
    }
    ~Bench() { std::filesystem::remove_all(work); }
    void move(benchmark::State& state, int32_t from, int32_t to) {
        for (auto _ : state) {
            // The drop is timed whole, picture change included.
            const kv::DropOutcome o = storage.drop(from, to, capture.data(), current, work);
            if (!o.moved) state.SkipWithError("nothing moved");
        }
        state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * storage.areaBytes());
    }
};

Bench& bench() {
    static Bench b;
    return b;
}

void BM_CaptureToSlot(benchmark::State& state) { bench().move(state, kv::kMainScreenArea, 2); }
BENCHMARK(BM_CaptureToSlot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SlotToCapture(benchmark::State& state) { bench().move(state, 2, kv::kMainScreenArea); }
BENCHMARK(BM_SlotToCapture)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SlotToSlot(benchmark::State& state) { bench().move(state, 2, 3); }
BENCHMARK(BM_SlotToSlot)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_CaptureToCompare(benchmark::State& state) { bench().move(state, kv::kMainScreenArea, kv::kCompareArea); }
BENCHMARK(BM_CaptureToCompare)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
