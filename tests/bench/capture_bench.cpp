// Read-back of the largest capture of each board path on virtual boards. "ReadBack" is the whole
// KvReadCapData (virtual transfer plus the runtime's work); "Order" is the runtime's own part alone:
// putting the memory in time order and spreading it into the output layout, for the same sizes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "platform/registry.h"
#include "platform/shared_section.h"
#include "runtime/capture.h"
#include "runtime/fpga_image.h"
#include "runtime/halvex_api.h"
#include "runtime/halvex_runtime.h"
#include "runtime/trigger_program.h"
#include "simulator/virtual_system.h"

namespace kv {
namespace {

struct Rig {
    VirtualSystem sys;
    LocalSharedSections sections;
    MemoryRegistry registry;
    std::unique_ptr<HalvexRuntime> rt;
    std::vector<uint8_t> pattern = std::vector<uint8_t>(kTriggerPatternBytes, kCondDontCare);
    std::vector<uint8_t> counts = std::vector<uint8_t>(64, 0);
    int index = -1;
    Rig(const char* config, int slot, int mode = 0) {
        setDeviceIo(&sys);
        setSharedSections(&sections);
        sys.addFromConfig(config);
        for (VirtualBoard* b : sys.boards()) b->quiet = true;
        RuntimeEnv env;
        env.registry = &registry;
        env.fpgaImage = embeddedFpgaImage;
        env.sleepMs = [](uint32_t) {};
        rt = std::make_unique<HalvexRuntime>(env);
        rt->attach();
        index = rt->hasHw(rt->table() + 64 * slot);
        if (mode) {
            rt->setHwInfo(index, kHwSelectMode, static_cast<uint32_t>(mode));
            // The longest capture the mode offers.
            rt->setHwInfo(index, kHwSetCaptureLength, rt->getHwInfo(index, kHwDepth));
        }
        KvTriggerSpec s;
        s.field[kTrPatternSize] = 64;
        s.field[kTrLevels] = 1;
        s.field[kTrSlotsPerLevel] = 1;
        s.field[kTrRateLow] = 100000000;
        s.field[kTrClockSource] = 1;
        s.field[kTrPosition] = 100;
        s.pattern = pattern.data();
        s.counts = counts.data();
        uint8_t call[kTriggerCallBytes];
        writeTriggerCall(s, call);
        rt->captureData(index, call);
    }
    ~Rig() {
        rt.reset();
        setDeviceIo(nullptr);
        setSharedSections(nullptr);
    }
};

void readBack(benchmark::State& state, const char* config, int slot, int mode) {
    Rig rig(config, slot, mode);
    const uint32_t bytes = rig.rt->getHwInfo(rig.index, kHwReadBytes);
    std::vector<uint8_t> out(bytes + 16);
    for (auto _ : state) benchmark::DoNotOptimize(rig.rt->readCapData(rig.index, out.data(), 0, 0xFF));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * bytes);
}

// Largest memory of each path: pocket 0x100000 samples (code 0x1516), family-1 trigger memory
// (64 KiB a group), 512K board 0x100000 samples (code 0x2332), ISA card, Nanlyn 0x2236 in mode 4043
// at its usable depth of 2,048,000 samples.
void ReadBackPocket(benchmark::State& s) { readBack(s, "usb0=pocket:1516", 0, 0); }
void ReadBackGeneric(benchmark::State& s) { readBack(s, "usb0=usb2epp:1132:1", 0, 0); }
void ReadBack512K(benchmark::State& s) { readBack(s, "usb0=usb20:2332:3", 0, 0); }
void ReadBackIsa(benchmark::State& s) { readBack(s, "isa0=1164", 136, 0); }
void ReadBackNanlyn(benchmark::State& s) { readBack(s, "usb0=2236", 0, 4043); }
BENCHMARK(ReadBackPocket)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBackGeneric)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBack512K)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBackIsa)->Unit(benchmark::kMillisecond);
BENCHMARK(ReadBackNanlyn)->Unit(benchmark::kMillisecond);

// The runtime's own work for a memory of `depth` samples read in `banks` banks of `width` bytes a
// sample: time ordering of each bank, then spreading it into 8-byte output samples.
void Order(benchmark::State& state) {
    const size_t depth = static_cast<size_t>(state.range(0)), banks = static_cast<size_t>(state.range(1)),
                 width = static_cast<size_t>(state.range(2));
    std::vector<uint8_t> ring(depth * width, 0x5A), ordered(depth * width), out(depth * 8);
    for (auto _ : state) {
        for (size_t b = 0; b < banks; ++b) {
            timeOrder(ring.data(), depth, width, depth / 3, true, ordered.data());
            for (size_t i = 0; i < depth; ++i) std::memcpy(&out[8 * i + b * width], &ordered[i * width], width);
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * depth * 8));
}
// The trigger-memory boards' own work on a wrapped read: four groups of 65,792 bytes, the last 256
// moved to the front, the bank rotated to the oldest byte and spread into 8-byte samples.
void GenericGroups(benchmark::State& state) {
    std::vector<uint8_t> raw(kGenericWrappedBytes, 0x5A), ordered(kGenericGroupBytes), out(kGenericGroupBytes * 8);
    for (auto _ : state) {
        for (size_t g = 0; g < 4; ++g) {
            orderGenericGroup(raw.data(), raw.size(), true, 0x1555, ordered.data());
            for (size_t i = 0; i < kGenericGroupBytes; ++i) out[8 * i + g] = ordered[i];
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kGenericGroupBytes * 8));
}
BENCHMARK(GenericGroups)->Unit(benchmark::kMillisecond);

BENCHMARK(Order)
    ->Args({0x100000, 2, 2})   // pocket: two 16-bit banks
    ->Args({0x10000, 4, 1})    // trigger-memory boards: four groups of 64 KiB
    ->Args({0x100000, 4, 1})   // 512K board 0x2332: four groups
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kv

BENCHMARK_MAIN();
