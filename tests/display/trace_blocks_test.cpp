// Traces drawn as blocks must light exactly the pixels the line calls light: checked against a
// pixel-by-pixel reading of the line rule on hand-made traces, random traces and real frames.
#include "viewer/display/trace_blocks.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace kv {
namespace {

using Pixels = std::set<std::pair<int32_t, int32_t>>;

// The line rule read literally: each segment lights its pixels from its start point up to, not
// including, its end point.
Pixels linePixels(const std::vector<Point>& pts) {
    Pixels lit;
    for (size_t k = 1; k < pts.size(); ++k) {
        Point p = pts[k - 1];
        const Point end = pts[k];
        const int32_t dx = (end.x > p.x) - (end.x < p.x), dy = (end.y > p.y) - (end.y < p.y);
        while (p != end) {
            lit.insert({p.x, p.y});
            p.x += dx;
            p.y += dy;
        }
    }
    return lit;
}

Pixels blockPixels(const std::vector<SolidBlock>& blocks) {
    Pixels lit;
    for (const SolidBlock& b : blocks)
        for (int32_t x = b.rect.left; x < b.rect.right; ++x)
            for (int32_t y = b.rect.top; y < b.rect.bottom; ++y) lit.insert({x, y});
    return lit;
}

std::vector<SolidBlock> blocksOf(const std::vector<Point>& pts) {
    std::vector<SolidBlock> blocks;
    EXPECT_TRUE(traceBlocks(pts.data(), static_cast<uint32_t>(pts.size()), blocks));
    return blocks;
}

TEST(TraceBlocks, ColumnsFullOfChangesBecomeOneBlockAndTheFinalPointStaysDark) {
    // Two strokes per column over 100 columns, as a trace of a channel toggling every sample
    // leaves them when zoomed out.
    std::vector<Point> pts = {{0, 20}};
    for (int32_t x = 10; x < 110; ++x) {
        pts.push_back({x, 20});
        pts.push_back({x, 4});
        pts.push_back({x, 20});
    }
    pts.push_back({200, 20});
    const std::vector<SolidBlock> blocks = blocksOf(pts);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_TRUE((blocks[0] == SolidBlock{Rect{0, 20, 10, 21}}));
    EXPECT_TRUE((blocks[1] == SolidBlock{Rect{10, 4, 110, 21}}));
    EXPECT_TRUE((blocks[2] == SolidBlock{Rect{110, 20, 200, 21}}));
    EXPECT_EQ(blockPixels(blocks), linePixels(pts));
}

TEST(TraceBlocks, SingleTransitionsLightTheirWholeColumnAndStrokesUpOrDownMatchTheLines) {
    const std::vector<Point> up = {{0, 20}, {5, 20}, {5, 4}, {9, 4}};
    EXPECT_EQ(blockPixels(blocksOf(up)), linePixels(up));
    const std::vector<Point> down = {{0, 4}, {5, 4}, {5, 20}, {9, 20}};
    EXPECT_EQ(blockPixels(blocksOf(down)), linePixels(down));
    // A line ending in a stroke leaves the stroke's last pixel dark.
    const std::vector<Point> endsInStroke = {{0, 4}, {5, 4}, {5, 20}};
    const Pixels lit = blockPixels(blocksOf(endsInStroke));
    EXPECT_EQ(lit, linePixels(endsInStroke));
    EXPECT_EQ(lit.count({5, 20}), 0u);
    EXPECT_EQ(lit.count({5, 19}), 1u);
}

TEST(TraceBlocks, SlantedSegmentsAndStepsToTheLeftAreLeftToTheLineCalls) {
    std::vector<SolidBlock> blocks;
    const Point crossing[] = {{0, 4}, {8, 4}, {10, 12}, {12, 4}};
    EXPECT_FALSE(traceBlocks(crossing, 4, blocks));
    const Point back[] = {{0, 4}, {8, 4}, {8, 20}, {6, 20}};
    EXPECT_FALSE(traceBlocks(back, 4, blocks));
    EXPECT_TRUE(blocks.empty());
    const Point one[] = {{3, 3}};
    EXPECT_TRUE(traceBlocks(one, 1, blocks));
    EXPECT_TRUE(blocks.empty());
}

TEST(TraceBlocks, OnlyCrowdedTracesAreDrawnAsBlocks) {
    std::vector<Point> crowded = {{0, 20}};
    for (int32_t x = 1; x <= 50; ++x) {
        crowded.push_back({x, 20});
        crowded.push_back({x, 4});
        crowded.push_back({x, 20});
    }
    std::vector<SolidBlock> blocks = {SolidBlock{Rect{9, 9, 9, 9}}};
    EXPECT_TRUE(drawAsBlocks(crowded.data(), static_cast<uint32_t>(crowded.size()), blocks));
    EXPECT_EQ(blockPixels(blocks), linePixels(crowded));
    // One transition: as many blocks as points, cheaper as a line.
    const Point sparse[] = {{0, 20}, {5, 20}, {5, 4}, {9, 4}};
    EXPECT_FALSE(drawAsBlocks(sparse, 4, blocks));
    const Point crossing[] = {{0, 4}, {8, 4}, {10, 12}, {12, 4}};
    EXPECT_FALSE(drawAsBlocks(crossing, 4, blocks));
}

TEST(TraceBlocks, RandomTracesLightTheSamePixelsAsTheirLines) {
    std::mt19937 rng(7);
    for (int round = 0; round < 400; ++round) {
        std::vector<Point> pts = {{static_cast<int32_t>(rng() % 5), static_cast<int32_t>(rng() % 30)}};
        const int steps = 1 + static_cast<int>(rng() % 60);
        for (int k = 0; k < steps; ++k) {
            Point p = pts.back();
            // Levels of any length (also none), strokes up and down, repeated points.
            if (rng() % 2) p.x += static_cast<int32_t>(rng() % 4);
            else p.y = static_cast<int32_t>(rng() % 30);
            pts.push_back(p);
        }
        std::vector<SolidBlock> blocks;
        ASSERT_TRUE(traceBlocks(pts.data(), static_cast<uint32_t>(pts.size()), blocks));
        ASSERT_EQ(blockPixels(blocks), linePixels(pts)) << "round " << round;
    }
}

TEST(TraceBlocks, EveryTraceOfARenderedFrameLightsTheSamePixelsAsItsLine) {
    // A capture with channels of every activity, shown whole at several zooms: digital and
    // staircase traces become blocks, bus outlines (slanted crossings) stay lines.
    std::mt19937_64 rng(3);
    std::vector<uint64_t> words(20001);
    uint64_t w = 0;
    for (size_t i = 0; i + 1 < words.size(); ++i) {
        for (int c = 0; c < 16; ++c)
            if (rng() % (uint64_t{1} << c) == 0) w ^= uint64_t{1} << c;
        words[i] = w;
    }
    SampleStore store;
    store.attach(reinterpret_cast<uint8_t*>(words.data()), 20000 * 8, 64, 64, 64, kStoragePacked);
    LabelTable table;
    int e = 0;
    for (int c = 0; c < 12; ++c) {
        table.entries[e].channel = c;
        table.entries[e].kind = kLabelSingle;
        table.entries[e].colorIndex = 1;
        std::snprintf(table.entries[e++].name, sizeof table.entries[0].name, "CH-%02d", c);
    }
    for (int g = 0; g < 2; ++g)
        for (int k = 0; k < 4; ++k) {
            LabelEntry& m = table.entries[e++];
            m.channel = 12 + k;
            m.kind = k == 3 ? kLabelLastMember : kLabelFirstMember + k;
            m.format = g == 0 ? kFormatHex : kFormatAnalog;
            std::snprintf(m.name, sizeof m.name, "G%d", g);
        }
    table.entries[e] = LabelEntry{};
    const std::vector<WaveRow> rows = layoutRows(table, 0, 2000, 24, 64);
    RenderStyle style;
    WaveRenderer renderer;
    size_t asBlocks = 0, asLines = 0;
    for (const int32_t zoomOut : {0, 2, 5, 8}) {
        PaneGeometry pane;
        pane.zoomOut = zoomOut;
        pane.width = 700;
        pane.height = 2000;
        WaveFrame frame;
        renderer.render(store, pane, rows, style, DrawRequest{}, frame);
        for (const PolyRun& run : frame.prims.polylines) {
            const std::vector<Point> pts(frame.prims.points.begin() + run.first,
                                         frame.prims.points.begin() + run.first + run.count);
            std::vector<SolidBlock> blocks;
            if (!traceBlocks(pts.data(), run.count, blocks)) {
                ++asLines;
                continue;
            }
            ++asBlocks;
            ASSERT_EQ(blockPixels(blocks), linePixels(pts)) << "zoomOut " << zoomOut << " first " << run.first;
        }
    }
    EXPECT_GE(asBlocks, 4u * 13);
    EXPECT_GE(asLines, 4u * 2);
}

}  // namespace
}  // namespace kv
