// Cost of the transport's own work per exchange, measured against virtual boards (so the figures
// are the host-side cost: framing, chunking, records, the board model), not of any real link.
#include <benchmark/benchmark.h>

#include <vector>

#include "simulator/virtual_system.h"
#include "transport/board_io.h"
#include "transport/usb_channel.h"

namespace kv {
namespace {

struct Rig {
    VirtualSystem system;
    UsbChannel* channel = nullptr;
    explicit Rig(const char* config) {
        system.addFromConfig(config);
        setDeviceIo(&system);
    }
    ~Rig() { setDeviceIo(nullptr); }
};

void BulkWriteUsb11(benchmark::State& state) {
    Rig rig("usb0=pocket:1216:2");
    UsbChannel ch;
    ch.open(0, 0, 0, 0);
    std::vector<uint8_t> data(static_cast<size_t>(state.range(0)), 0x5A);
    VirtualBoard& b = *rig.system.board("usb0");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ch.bulkWrite(data.data(), static_cast<uint32_t>(data.size()), 0));
        b.clearLog();
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BulkWriteUsb11)->Arg(4096)->Arg(150000)->Arg(1 << 20);

void EepromRead16Words(benchmark::State& state) {
    Rig rig("usb0=pocket:2216:6");
    UsbChannel ch;
    ch.open(0, 0, 0, 0);
    uint8_t out[128];
    VirtualBoard& b = *rig.system.board("usb0");
    for (auto _ : state) {
        benchmark::DoNotOptimize(ch.readEeprom(32, 16, out, sizeof out));
        b.clearLog();
    }
}
BENCHMARK(EepromRead16Words);

void ByteFrameOverEpp17(benchmark::State& state) {
    Rig rig("lpt0=epp17:2032:3");
    BoardIo io;
    io.ports = parallelPorts(0x378);
    io.ports.interfaceCode = kIfEpp17At378;
    VirtualBoard& b = *rig.system.board("lpt0");
    for (auto _ : state) {
        benchmark::DoNotOptimize(io.sendFrame({0x5A, 0x0F, 0x77, 0x08, 0x01, 0x7D}));
        b.clearLog();
    }
}
BENCHMARK(ByteFrameOverEpp17);

}  // namespace
}  // namespace kv

BENCHMARK_MAIN();
