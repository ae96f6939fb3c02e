// The scope side: "CaptureAndRead" is a whole capture of a 64,000-sample record on a virtual scope
// (set-up, the virtual scope filling its memory, the transfer and the conversion to microvolts);
// "SampleCheck" and "SampleLog" the check and its log text over one 65,536-word memory;
// "VisaCurveBlock" the byte-by-byte read of a VISA curve block of 10,000,000 samples.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/shared_section.h"
#include "runtime/le_bytes.h"
#include "simulator/virtual_scope.h"
#include "simulator/virtual_system.h"
#include "viewer/scope/visa_scope.h"
#include "scope_runtime/sample_check.h"
#include "scope_runtime/scope_image.h"
#include "scope_runtime/zentro_runtime.h"

namespace kv {
namespace {

void CaptureAndRead(benchmark::State& state) {
    VirtualSystem sys;
    LocalSharedSections sections;
    setDeviceIo(&sys);
    setSharedSections(&sections);
    VirtualScopeConfig c;
    c.slot = 0;
    sys.addScope(c).quiet = true;
    zentro::ZentroEnv env;
    env.fpgaImage = embeddedScopeImage;
    env.sleepMs = [](uint32_t) {};
    {
        zentro::ZentroRuntime z(env);
        z.init(20);
        zentro::CaptureRecord r;
        r.rate = 100000000;
        r.length = 64000;
        r.voltsPerDiv[0] = r.voltsPerDiv[1] = 500000;
        std::vector<uint8_t> record(zentro::kCaptureRecordBytes);
        zentro::writeCaptureRecord(r, record.data());
        std::vector<double> out(2 * 64000);
        std::vector<uint8_t> request(zentro::kReadRequestBytes, 0);
        putLe32(request.data(), zentro::kReadDoubles);
        double* p = out.data();
        std::memcpy(request.data() + 12, &p, sizeof p);
        for (auto _ : state) {
            z.capture(record.data());
            benchmark::DoNotOptimize(z.read(request.data()));
        }
        state.SetItemsProcessed(state.iterations() * 2 * 64000);
    }
    setDeviceIo(nullptr);
    setSharedSections(nullptr);
}
BENCHMARK(CaptureAndRead)->Unit(benchmark::kMillisecond);

std::vector<uint32_t> memoryWords() {
    std::vector<uint32_t> w(65536);
    for (size_t i = 0; i < w.size(); ++i) {
        const uint16_t c = static_cast<uint16_t>(i % 1024);
        w[i] = zentro::encodeRaw({c, static_cast<uint16_t>(1023 - c), 0, 0});
    }
    return w;
}

void SampleCheck(benchmark::State& state) {
    const std::vector<uint32_t> w = memoryWords();
    for (auto _ : state) benchmark::DoNotOptimize(zentro::checkSamples(w.data(), w.size()).verdict);
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.size()));
}
BENCHMARK(SampleCheck)->Unit(benchmark::kMicrosecond);

void SampleLog(benchmark::State& state) {
    const std::vector<uint32_t> w = memoryWords();
    const zentro::CheckResult r = zentro::checkSamples(w.data(), w.size());
    for (auto _ : state) benchmark::DoNotOptimize(zentro::sampleLogText("ZS0000001", w.data(), w.size(), r).size());
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(w.size()));
}
BENCHMARK(SampleLog)->Unit(benchmark::kMillisecond);

void VisaCurveBlock(benchmark::State& state) {
    const size_t n = 10000000;
    std::string block = "#8" + std::to_string(n);
    block.resize(block.size() + n, 'x');
    std::vector<int8_t> out(n);
    for (auto _ : state) {
        size_t pos = 0;
        CurveBlock b;
        readCurveBlock(
            [&](char& c) {
                if (pos >= block.size()) return false;
                c = block[pos++];
                return true;
            },
            out.data(), out.size(), b);
        benchmark::DoNotOptimize(b.stored);
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(n));
}
BENCHMARK(VisaCurveBlock)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace kv

BENCHMARK_MAIN();
