// Printed pages as primitives (no GDI): a capture of 262,144 samples with 16 single-channel rows
// and two eight-channel bus rows, "Fit to paper" on an A4 landscape page at 300 dpi (one page,
// every sample walked), and at the horizontal size 1 at 96 dpi (pages of 600 samples across).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <vector>

#include "viewer/print/page_render.h"

namespace {

constexpr int32_t kSamples = 262144;

struct Scene {
    std::vector<uint64_t> words;
    kv::SampleStore store;
    kv::LabelTable table;
    kv::PrintSource src;

    Scene() : words(static_cast<size_t>(kSamples) + 1) {
        std::mt19937_64 rng(1);
        uint64_t slow = 0;
        for (int32_t i = 0; i < kSamples; ++i) {
            if ((rng() & 255) == 0) slow ^= uint64_t{1} << (rng() % 8);
            words[static_cast<size_t>(i)] = (static_cast<uint64_t>(i) & 0xFF) | slow << 8 | ((static_cast<uint64_t>(i) >> 6) & 0xFFFF) << 16;
        }
        store.attach(reinterpret_cast<uint8_t*>(words.data()), kSamples * 8, 64, 64, 64, kv::kStoragePacked);
        int e = 0;
        for (int c = 0; c < 16; ++c) {
            kv::LabelEntry& l = table.entries[e++];
            l.channel = c;
            l.kind = kv::kLabelSingle;
            l.colorIndex = 1 + c % 15;
            std::snprintf(l.name, sizeof l.name, "CH-%02d", c);
        }
        for (int g = 0; g < 2; ++g)
            for (int k = 0; k < 8; ++k) {
                kv::LabelEntry& l = table.entries[e++];
                l.channel = 16 + 8 * g + 7 - k;
                l.kind = k == 7 ? kv::kLabelLastMember : kv::kLabelFirstMember + k;
                std::snprintf(l.name, sizeof l.name, "BUS%d", g);
            }
        src.store = &store;
        src.table = &table;
        src.style.waveHeight = 24;
        src.style.measure = [](const std::string& t) { return kv::TextSize{static_cast<int32_t>(t.size()) * 7, 13}; };
        kv::useStandardTexts(src.style, 100000000);
        src.nameWidth = 60, src.channelWidth = 40, src.valueWidth = 50;
    }
};

Scene& scene() {
    static Scene s;
    return s;
}

kv::PageTarget target(int32_t w, int32_t h, int32_t dpi) {
    kv::PageTarget t;
    t.width = w, t.height = h, t.dpiX = dpi, t.dpiY = dpi;
    t.measureHeader = [](const std::string& s) { return kv::TextSize{static_cast<int32_t>(s.size()) * 7, 13}; };
    t.measureRow = t.measureHeader;
    return t;
}

void BM_FitToPaperA4At300Dpi(benchmark::State& state) {
    Scene& s = scene();
    kv::PrintChoice c;
    c.gridSize = 7;
    size_t points = 0;
    for (auto _ : state) {
        const std::vector<kv::Page> pages = kv::renderPages(s.src, c, target(3358, 2329, 300));
        points = pages[0].frame.prims.points.size();
        benchmark::DoNotOptimize(points);
    }
    state.counters["points"] = static_cast<double>(points);
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_FitToPaperA4At300Dpi)->Unit(benchmark::kMillisecond);

void BM_HorzSizeOnePagesAt96Dpi(benchmark::State& state) {
    Scene& s = scene();
    kv::PrintChoice c;
    c.fit = kv::kFitCustom;
    size_t pages = 0;
    for (auto _ : state) {
        pages = kv::renderPages(s.src, c, target(750, 560, 96)).size();
        benchmark::DoNotOptimize(pages);
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.SetItemsProcessed(state.iterations() * kSamples);
}
BENCHMARK(BM_HorzSizeOnePagesAt96Dpi)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
