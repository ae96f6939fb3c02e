// Saving and loading a 16 MiB capture in each KVW encoding, beside a plain copy of the same bytes
// and beside zlib's own compress2/uncompress of them, so that each figure reads as a ratio.
#include <benchmark/benchmark.h>

#include <zlib.h>

#include <cstring>
#include <vector>

#include "viewer/files/kvw_codec.h"

namespace {

constexpr int32_t kCaptureBytes = 16 << 20;
constexpr int32_t kSamples = kCaptureBytes / 8;

// Demo-like data: eight byte lanes counting at rates that change a lane every 5 to 8 samples,
// as the demo generator's default groups do at 100 MHz.
struct DemoCapture {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kCaptureBytes + 16, 0);
    kv::SampleStore store;
    DemoCapture() {
        for (int32_t i = 0; i < kSamples; ++i) {
            uint64_t v = 0;
            for (int lane = 0; lane < 8; ++lane) v |= static_cast<uint64_t>((i / (5 + lane % 4)) & 0xFF) << (8 * lane);
            kv::storeLe64(&bytes[static_cast<size_t>(i) * 8], v);
        }
        store.attach(bytes.data(), kCaptureBytes, 64, 64, 64, kv::kStoragePacked);
    }
};

DemoCapture& capture() {
    static DemoCapture c;
    return c;
}

std::vector<uint8_t> saved(int32_t format) {
    kv::KvwSource src;
    src.store = &capture().store;
    return kv::writeKvw(src, format);
}

void BM_PlainCopy(benchmark::State& state) {
    std::vector<uint8_t> to(kCaptureBytes);
    const uint8_t* from = capture().bytes.data();
    for (auto _ : state) {
        std::memcpy(to.data(), from, kCaptureBytes);
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kCaptureBytes});
}
BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime();

// The writer into a buffer allocated beforehand, as the file system would take the pieces.
void BM_Save(benchmark::State& state) {
    const int32_t format = static_cast<int32_t>(state.range(0));
    kv::KvwSource src;
    src.store = &capture().store;
    std::vector<uint8_t> file(2 * size_t{kCaptureBytes} + (1 << 20));
    size_t size = 0;
    for (auto _ : state) {
        const std::vector<uint8_t> prefix = kv::kvwPrefix(src, format);
        std::memcpy(file.data(), prefix.data(), prefix.size());
        size = prefix.size();
        kv::encodeKvwData(src, format, [&file, &size](const uint8_t* p, size_t n) {
            std::memcpy(file.data() + size, p, n);
            size += n;
            return true;
        });
        benchmark::DoNotOptimize(file.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kCaptureBytes});
    state.counters["file_MiB"] = static_cast<double>(size) / (1 << 20);
}
BENCHMARK(BM_Save)->Arg(kv::kKvwRaw)->Arg(kv::kKvwRunLength)->Arg(kv::kKvwZlib)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Load(benchmark::State& state) {
    const std::vector<uint8_t> file = saved(static_cast<int32_t>(state.range(0)));
    kv::KvwReadOptions options;
    for (auto _ : state) {
        kv::KvwFile got;
        if (kv::readKvw(file.data(), file.size(), options, got) != 0) state.SkipWithError("load failed");
        benchmark::DoNotOptimize(got.samples.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kCaptureBytes});
}
BENCHMARK(BM_Load)->Arg(kv::kKvwRaw)->Arg(kv::kKvwRunLength)->Arg(kv::kKvwZlib)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibCompress2(benchmark::State& state) {
    std::vector<uint8_t> out(compressBound(kCaptureBytes));
    for (auto _ : state) {
        uLongf n = static_cast<uLongf>(out.size());
        compress2(out.data(), &n, capture().bytes.data(), kCaptureBytes, Z_DEFAULT_COMPRESSION);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kCaptureBytes});
}
BENCHMARK(BM_ZlibCompress2)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ZlibUncompress(benchmark::State& state) {
    std::vector<uint8_t> packed(compressBound(kCaptureBytes));
    uLongf n = static_cast<uLongf>(packed.size());
    compress2(packed.data(), &n, capture().bytes.data(), kCaptureBytes, Z_DEFAULT_COMPRESSION);
    std::vector<uint8_t> out(kCaptureBytes);
    for (auto _ : state) {
        uLongf m = kCaptureBytes;
        uncompress(out.data(), &m, packed.data(), n);
        benchmark::DoNotOptimize(out.data());
    }
    state.SetBytesProcessed(state.iterations() * int64_t{kCaptureBytes});
}
BENCHMARK(BM_ZlibUncompress)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
