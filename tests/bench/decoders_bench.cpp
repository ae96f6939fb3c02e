// Samples decoded per second by each decoder over a 16 M-sample capture of generated traffic (the
// cross-check's kinds of traffic, stretched to 16 M samples), and the same capture decoded by
// sigrok-cli in the same run when it is installed, so the two show as a ratio of wall times.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "viewer/display/decoders.h"

// The traffic generator is test support, compiled into this one-file benchmark program.
#include "tests/support/bus_traffic.cpp"

namespace {

constexpr int64_t kSamples = 16 << 20;
constexpr double kRate = 100e6;

struct Bench {
    std::vector<uint8_t> bytes;
    kv::SampleStore store;
    std::string file;
    std::string sigrokDecoder;  // the -P argument
};

void finish(Bench& b, kvtest::Traffic& t, const char* name) {
    std::vector<uint8_t>& s = t.samples();
    s.resize(static_cast<size_t>(kSamples), s.empty() ? 0 : s.back());
    b.bytes = s;
    b.bytes.resize(s.size() + 16, 0);
    b.store.attach(b.bytes.data(), static_cast<int32_t>(kSamples), 8, 8, 8, kv::kStoragePacked);
    b.file = std::string("/tmp/kv_decoders_bench_") + name + ".bin";
    if (FILE* f = std::fopen(b.file.c_str(), "wb")) {
        std::fwrite(s.data(), 1, s.size(), f);
        std::fclose(f);
    }
}

Bench& uart() {
    static Bench b = [] {
        Bench x;
        kvtest::Traffic t(1);
        t.hold(1000);
        std::vector<uint8_t> bytes;
        for (int k = 0; k < 2000; ++k) bytes.push_back(static_cast<uint8_t>(k * 7 + 3));
        kvtest::uartBytes(t, 0, kRate / 115200, "N-8-1", bytes, true, 1);
        finish(x, t, "uart");
        x.sigrokDecoder = "uart:rx=D0:baudrate=115200";
        return x;
    }();
    return b;
}

Bench& i2c() {
    static Bench b = [] {
        Bench x;
        kvtest::Traffic t(3);
        for (int k = 0; t.size() < kSamples - 100000; ++k)
            kvtest::i2cTransfer(t, 1, 0, 125, {0xA0, static_cast<uint8_t>(k), static_cast<uint8_t>(k * 3)}, {},
                                k % 3 == 1);
        finish(x, t, "i2c");
        x.sigrokDecoder = "i2c:scl=D1:sda=D0";
        return x;
    }();
    return b;
}

Bench& spi() {
    static Bench b = [] {
        Bench x;
        kvtest::Traffic t(0);
        for (int k = 0; t.size() < kSamples - 10000; ++k)
            kvtest::spiFrame(t, 2, 1, 0, 10, {static_cast<uint32_t>(k), static_cast<uint32_t>(k * 5), 0xA5}, 8, false,
                             false);
        finish(x, t, "spi");
        x.sigrokDecoder = "spi:clk=D2:cs=D1:mosi=D0:wordsize=8:cs_polarity=active-low:cpol=0:cpha=0";
        return x;
    }();
    return b;
}

Bench& i2s() {
    static Bench b = [] {
        Bench x;
        kvtest::Traffic t(0);
        std::vector<uint32_t> words;
        for (int k = 0; k < 64; ++k) words.push_back(static_cast<uint32_t>(k * 977) & 0xFFFF);
        while (t.size() < kSamples - 20000) kvtest::i2sFrames(t, 2, 1, 0, 8, words, 16, 16);
        finish(x, t, "i2s");
        x.sigrokDecoder = "i2s:sck=D2:ws=D1:sd=D0";
        return x;
    }();
    return b;
}

void report(benchmark::State& state, bool ok) {
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSamples);
    if (!ok) state.SkipWithError("decode failed");
}

void BM_DecodeUart(benchmark::State& state) {
    Bench& b = uart();
    kv::UartDecoder d;
    bool ok = true;
    for (auto _ : state) ok = kv::decodeUart(d, kv::kUartIdleHigh, b.store, 0, kRate, 0) && ok;
    state.counters["items"] = static_cast<double>(d.items.size());
    report(state, ok);
}
BENCHMARK(BM_DecodeUart)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DecodeI2c(benchmark::State& state) {
    Bench& b = i2c();
    kv::I2cDecoder d;
    bool ok = true;
    for (auto _ : state) ok = kv::decodeI2c(d, b.store, 0, 1) && ok;
    state.counters["items"] = static_cast<double>(d.items.size());
    report(state, ok);
}
BENCHMARK(BM_DecodeI2c)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DecodeSpi(benchmark::State& state) {
    Bench& b = spi();
    kv::SpiDecoder d;
    bool ok = true;
    for (auto _ : state) ok = d.run(0, b.store, 2, 1, 0) && ok;
    state.counters["items"] = static_cast<double>(d.items.size());
    report(state, ok);
}
BENCHMARK(BM_DecodeSpi)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DecodeI2s(benchmark::State& state) {
    Bench& b = i2s();
    kv::I2sDecoder d;
    bool ok = true;
    for (auto _ : state) ok = d.run(16, b.store, 2, 1, 0) && ok;
    state.counters["items"] = static_cast<double>(d.items.size());
    report(state, ok);
}
BENCHMARK(BM_DecodeI2s)->UseRealTime()->Unit(benchmark::kMillisecond);

// sigrok-cli on the same file, one run per iteration, timed by the wall clock (it is another process).
void sigrok(benchmark::State& state, Bench& b) {
    if (std::system("command -v sigrok-cli >/dev/null 2>&1") != 0) {
        state.SkipWithError("sigrok-cli not installed");
        return;
    }
    const std::string cmd = "sigrok-cli -I binary:numchannels=8:samplerate=100000000 -i " + b.file + " -P " +
                            b.sigrokDecoder + " >/dev/null 2>&1";
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        const int rc = std::system(cmd.c_str());
        state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        if (rc != 0) state.SkipWithError("sigrok-cli failed");
    }
    state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * kSamples);
}
void BM_SigrokUart(benchmark::State& state) { sigrok(state, uart()); }
void BM_SigrokI2c(benchmark::State& state) { sigrok(state, i2c()); }
void BM_SigrokSpi(benchmark::State& state) { sigrok(state, spi()); }
void BM_SigrokI2s(benchmark::State& state) { sigrok(state, i2s()); }
BENCHMARK(BM_SigrokUart)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigrokI2c)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigrokSpi)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SigrokI2s)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
