// Printed and bitmap pages: choices and their stored form, the clipboard size rule, the header, the
// ratio mapping of the fit options, pages across and down, the time grid, cursors, decoded rows,
// the text listing, and the bitmap file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "viewer/print/dib_file.h"
#include "viewer/print/page_render.h"

namespace kv {
namespace {

constexpr int32_t kCharWidth = 6, kTextHeight = 12;

struct Capture {
    std::vector<uint64_t> words;
    SampleStore store;
    explicit Capture(std::vector<uint64_t> samples) : words(std::move(samples)) {
        const size_t n = words.size();
        words.push_back(0);
        store.attach(reinterpret_cast<uint8_t*>(words.data()), static_cast<int32_t>(n * 8), 64, 64, 64, kStoragePacked);
    }
};

// CH-00 toggling every sample, CH-01 every 4, and a group "BUS" of channels 7..4 counting every 16.
std::vector<uint64_t> counting(int64_t n) {
    std::vector<uint64_t> s(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i) s[static_cast<size_t>(i)] = (i & 1) | ((i >> 2) & 1) << 1 | (((i >> 4) & 15) << 4);
    return s;
}

LabelTable table() {
    LabelState s;
    EXPECT_EQ(addAllLabels(s, 8, 0, true), 0);
    EXPECT_EQ(combineLabels(s, "BUS", {"CH-04", "CH-05", "CH-06", "CH-07"}, {}), 0);
    return s.table;
}

PrintSource source(Capture& c, const LabelTable& t) {
    PrintSource src;
    src.store = &c.store;
    src.table = &t;
    src.style.waveHeight = 24;
    src.style.measure = [](const std::string& s) { return TextSize{static_cast<int32_t>(s.size()) * kCharWidth, kTextHeight}; };
    useStandardTexts(src.style, 100000000);
    src.nameWidth = 60, src.channelWidth = 30, src.valueWidth = 40;
    src.header = printHeaderText("", "1.0", "2026/12/08", "10:00:00", "100MHz", "Internal", "");
    for (int k = 0; k < 6; ++k) src.cursorPositions[k] = 16 + 10 * k;
    return src;
}

PageTarget target(int32_t w, int32_t h, int32_t dpi = 96) {
    PageTarget t;
    t.width = w, t.height = h, t.dpiX = dpi, t.dpiY = dpi;
    t.measureHeader = [](const std::string& s) { return TextSize{static_cast<int32_t>(s.size()) * 7, 14}; };
    t.measureRow = [](const std::string& s) { return TextSize{static_cast<int32_t>(s.size()) * kCharWidth, kTextHeight}; };
    return t;
}

bool hasText(const Page& p, const std::string& prefix) {
    return std::any_of(p.texts.begin(), p.texts.end(), [&](const PageText& t) { return t.text.rfind(prefix, 0) == 0; });
}

int32_t rightmostPoint(const Page& p) {
    int32_t x = -1;
    for (const Point& pt : p.frame.prims.points) x = std::max(x, pt.x);
    return x;
}

TEST(PrintChoices, StoredAsSettingsAndSizesChecked) {
    Settings s;
    PrintChoice c = printChoiceFrom(s);   // first-run values
    EXPECT_EQ(c.fit, kFitPaper);
    EXPECT_TRUE(c.allLabels);
    EXPECT_EQ(std::string(kHorzSizeTexts[c.horzSize]), " 1");
    EXPECT_EQ(vertSizeText(c.vertSize), "100 %");
    EXPECT_EQ(std::string(kGridSizeTexts[c.gridSize]), "No Grid");
    c.fit = kFitCustom, c.allLabels = false, c.horzSize = 11, c.vertSize = 17, c.gridSize = 20, c.color = true;
    storePrintChoice(c, s);
    EXPECT_EQ(s.printOption, 1148);
    EXPECT_EQ(s.printVertRange, kIdLabelsParts);
    const PrintChoice back = printChoiceFrom(s);
    EXPECT_EQ(back.fit, kFitCustom);
    EXPECT_FALSE(back.allLabels);
    EXPECT_EQ(std::string(kHorzSizeTexts[back.horzSize]), "1/64");
    EXPECT_EQ(vertSizeText(back.vertSize), "200 %");
    EXPECT_EQ(vertSizeText(0), " 30 %");
    EXPECT_EQ(std::string(kGridSizeTexts[back.gridSize]), " 100 s");
    EXPECT_TRUE(back.color);
    s.printHorzSize = 99, s.printOption = 7, s.printGridSize = -1;   // a damaged registry
    EXPECT_EQ(printChoiceFrom(s).horzSize, kHorzSizeOne);
    EXPECT_EQ(printChoiceFrom(s).fit, kFitPaper);
    EXPECT_EQ(printChoiceFrom(s).gridSize, 0);

    EXPECT_EQ(checkClipboardSize(1600, 1200), 0);
    EXPECT_EQ(checkClipboardSize(200, 160), 0);
    EXPECT_EQ(checkClipboardSize(1601, 1200), kStrClipWidth);
    EXPECT_EQ(checkClipboardSize(199, 1200), kStrClipWidth);
    EXPECT_EQ(checkClipboardSize(1600, 1201), kStrClipHeight);
    EXPECT_EQ(checkClipboardSize(1600, 159), kStrClipHeight);
    EXPECT_EQ(checkClipboardSize(-1, -1), kStrClipWidth);

    EXPECT_EQ(printHeaderText("", "2.3", "2026/12/08", "10:01:02", "100MHz", "Internal", "x"),
              "Demo Mode  - KV Viewer 2.3  Date:2026/12/08  Time:10:01:02   Sample Clock: 100MHz, Internal, x");
    EXPECT_EQ(printHeaderText("MX2136", "2.3", "d", "t", "a", "b", "c").substr(0, 22), "MX2136 - KV Viewer 2.3");
}

TEST(PrintRatio, FitToPaperPutsTheRangeEdgeToEdge) {
    Capture c(counting(1000));
    const LabelTable t = table();
    PrintSource src = source(c, t);
    PrintChoice choice;
    for (int32_t width : {900, 1234, 5000}) {
        const std::vector<Page> pages = renderPages(src, choice, target(width, 700));
        ASSERT_EQ(pages.size(), 1u);
        const Page& p = pages[0];
        EXPECT_EQ(p.firstSample, 0);
        EXPECT_EQ(p.lastSample, 999);
        const int32_t w = p.waves.right - p.waves.left;
        PaneGeometry g;
        int64_t num = 0, den = 0;
        horizontalRatio(choice, 999, w, 96, num, den);
        g.ratioNum = num, g.ratioDen = den;
        EXPECT_EQ(sampleX(g, 0), 0);
        EXPECT_EQ(sampleX(g, 999), w - 1);        // the last sample on the right edge
        EXPECT_GE(rightmostPoint(p), w - 1);      // and the traces reach it (a bus crossing 2 beyond)
        EXPECT_LE(rightmostPoint(p), w + 2);
    }
    // A cursor range: from cursor A to cursor B.
    choice.startPosition = 2, choice.endPosition = 3;
    const Page p = renderPages(src, choice, target(900, 700))[0];
    EXPECT_EQ(p.firstSample, 26);
    EXPECT_EQ(p.lastSample, 36);
    EXPECT_GE(rightmostPoint(p), p.waves.right - p.waves.left - 1);

    // Kept horizontal sizes: 32 device units per sample at 96 dpi, 1/64 of one at 600 dpi.
    int64_t num = 0, den = 0;
    choice.fit = kFitCustom;
    choice.horzSize = 0;
    horizontalRatio(choice, 999, 1000, 96, num, den);
    EXPECT_EQ(num / den, 32);
    choice.horzSize = 11;
    horizontalRatio(choice, 999, 1000, 600, num, den);
    EXPECT_EQ(num * 64 * 96, den * 600);
}

TEST(PrintPages, AcrossAndDownNumberedWithBitmapNames) {
    Capture c(counting(300));
    const LabelTable t = table();
    PrintSource src = source(c, t);
    src.pageFormat = "Page %d";
    PrintChoice choice;
    choice.fit = kFitCustom;
    choice.horzSize = 3;   // 4 units per sample: 100 samples across a 400-unit wave area
    PageTarget tg = target(400 + 130, 400);
    std::vector<Page> pages = renderPages(src, choice, tg);
    ASSERT_EQ(pages.size(), 3u);
    std::vector<std::string> names;
    for (const Page& p : pages) names.push_back(bitmapPageName("", p.number));
    EXPECT_EQ(names, (std::vector<std::string>{"0001.BMP", "0002.BMP", "0003.BMP"}));
    EXPECT_EQ(bitmapPageName("C:\\out\\wave", 12), "C:\\out\\wave0012.BMP");
    EXPECT_EQ(pages[1].firstSample, 100);
    EXPECT_EQ(pages[2].lastSample, 299);
    EXPECT_TRUE(hasText(pages[2], "Page 3"));
    EXPECT_TRUE(hasText(pages[0], "Demo Mode  - KV Viewer"));

    // Rows at 200 % do not fit one page down: pages go down first, then across.
    choice.vertSize = 17;
    tg.height = 200;
    pages = renderPages(src, choice, tg);
    ASSERT_GT(pages.size(), 3u);
    EXPECT_EQ(pages.size() % 3, 0u);
    EXPECT_EQ(pages[1].firstSample, 0);
    EXPECT_NE(pages[0].texts[3].text, pages[1].texts[3].text);   // another row's name
    // "Parts of labels" with nothing selected: pages without rows, still numbered.
    choice.allLabels = false;
    pages = renderPages(src, choice, tg);
    EXPECT_EQ(pages.size(), 3u);
    EXPECT_TRUE(pages[0].frame.prims.polylines.empty());
}

TEST(PrintGrid, NoGridDrawsNothingAndGridFollowsTime) {
    Capture c(counting(1000));   // 100 MHz: 10 ns per sample
    const LabelTable t = table();
    PrintSource src = source(c, t);
    PrintChoice choice;
    const Page none = renderPages(src, choice, target(1130, 600))[0];
    EXPECT_TRUE(none.gridXs.empty());
    EXPECT_FALSE(none.frame.grid.draw && !none.frame.grid.xs.empty());
    EXPECT_FALSE(hasText(none, "Grid Size"));

    choice.gridSize = 3;    // 500 ns: 50 samples
    const Page grid = renderPages(src, choice, target(1130, 600))[0];
    EXPECT_TRUE(hasText(grid, "Grid Size = 500 ns"));
    ASSERT_EQ(grid.gridXs.size(), 20u);   // samples 0, 50, ..., 950
    EXPECT_EQ(grid.gridXs[0], 0);
    EXPECT_NEAR(grid.gridXs[1], 50.0 * 999 / 999, 1);   // 1000-unit waves over 999 samples
    choice.gridSize = 1;    // 50 ns = 5 samples = 5 units: still drawn; at 1 unit it would not be
    EXPECT_EQ(renderPages(src, choice, target(1130, 600))[0].gridXs.size(), 200u);
    src.sampleFrequency = 10000000;   // 5 units at 100 ns per sample ... 50 ns is half a sample
    EXPECT_TRUE(renderPages(src, choice, target(1130, 600))[0].gridXs.empty());
}

TEST(PrintCursorsAndRows, FlagsLettersBusAndDecodedRow) {
    Capture c(counting(200));
    LabelTable t = table();
    // Channel 3 decoded as UART with two items.
    DecodedItems uart;
    uart.add(20, 0x41);
    uart.add(120, 0x42);
    uart.add(190, 0x43);   // the last item has no end in the range: not written
    const std::vector<LabelRow> rows = labelRows(t);
    t.entries[rows[3].first].flags |= kLabelUart;   // CH-02
    PrintSource src = source(c, t);
    src.decodedFor = [&](int32_t entry) { return entry == rows[3].first ? &uart : nullptr; };
    src.hiddenCursors = 1u << 5;   // E hidden
    src.cursorPositions[4] = 500;  // D beyond the capture
    const Page p = renderPages(src, PrintChoice{}, target(1130, 600))[0];
    std::string letters;
    for (const PageCursor& pc : p.cursors) {
        letters += pc.letter;
        EXPECT_EQ(pc.flag.front(), pc.flag.back());       // a closed outline of five sides
        EXPECT_EQ(pc.flag[3].x, pc.x);                    // pointing at the line
        EXPECT_EQ(pc.flag[3].y, p.waves.top - 1);
        EXPECT_EQ(pc.bottom, p.waves.bottom);
        EXPECT_EQ(pc.x - p.waves.left, static_cast<int32_t>(src.cursorPositions[pc.index] * 999 / 199));
    }
    EXPECT_EQ(letters, "TABC");
    // The decoded row's items and the bus values are written as on the screen.
    auto texts = [&](const std::string& s) {
        return std::count_if(p.frame.prims.texts.begin(), p.frame.prims.texts.end(),
                             [&](const TextBox& b) { return b.text == s; });
    };
    EXPECT_EQ(texts("41"), 1);
    EXPECT_EQ(texts("42"), 1);
    EXPECT_EQ(texts("43"), 0);
    EXPECT_GT(texts("A"), 0);
    EXPECT_TRUE(hasText(p, "BUS"));
    EXPECT_TRUE(hasText(p, "7..4"));
}

TEST(PrintPolylines, OutlinesFlushedEvery8180Points) {
    // A bus changing on every sample, printed at 32 units per sample over 20,000 samples.
    std::vector<uint64_t> s(20000);
    for (size_t i = 0; i < s.size(); ++i) s[i] = (i & 1) ? 0xF0 : 0;
    Capture c(s);
    LabelState ls;
    ASSERT_EQ(addAllLabels(ls, 8, 0, true), 0);
    ASSERT_EQ(combineLabels(ls, "BUS", {"CH-04", "CH-05", "CH-06", "CH-07"}, {"CH-00"}), 0);
    PrintSource src = source(c, ls.table);
    PrintChoice choice;
    choice.allLabels = false;
    ls.table.entries[labelRows(ls.table).front().last].flags |= kLabelSelected;
    const Page p = renderPages(src, choice, target(40130 * 2, 600))[0];
    ASSERT_FALSE(p.frame.prims.polylines.empty());
    uint32_t longest = 0;
    for (const PolyRun& r : p.frame.prims.polylines) longest = std::max(longest, r.count);
    EXPECT_EQ(longest, static_cast<uint32_t>(kOutlinePointBatch));
}

TEST(PrintText, TxtAndCsvListing) {
    Capture c({0x00, 0x14, 0x28, 0x3C});   // BUS (channels 7..4) counts 0..3, CH-02 and CH-03 count too
    const LabelTable t = table();
    RenderStyle style;
    useStandardTexts(style, 100000000);
    std::vector<WaveRow> rows = layoutRows(t, 0, INT32_MAX, 16, 64);
    rows.erase(rows.begin() + 1, rows.begin() + 3);   // BUS, CH-02, CH-03
    std::string txt, csv;
    RenderText(c.store, rows, t, style, 1, 2, TextKind::Txt, {}, [&](const std::string& l) { txt += l; });
    EXPECT_EQ(txt, "BUS  CH-02  CH-03\r\n1    1      0\r\n2    0      1\r\n");
    RenderText(c.store, rows, t, style, 2, 99, TextKind::Csv, [](int64_t s) { return s == 3 ? "END" : ""; },
               [&](const std::string& l) { csv += l; });
    EXPECT_EQ(csv, "\"BUS\",\"CH-02\",\"CH-03\"\r\n2,  0,  1, \r\n3,  1,  1, END\r\n");
}

TEST(PrintText, ListingPagesInTheFixedFont) {
    Capture c(counting(100));
    const LabelTable t = table();
    PrintSource src = source(c, t);
    src.pageFormat = "P.%d";
    PrintChoice choice;
    // 14-unit header lines and 12-unit text lines: (400 - 42) / 12 - 1 = 28 states a page.
    const std::vector<Page> pages = renderTextPages(src, choice, target(600, 400), [](int64_t s) {
        return s == 99 ? std::string("LAST") : std::string();
    });
    ASSERT_EQ(pages.size(), 4u);   // 100 states
    EXPECT_TRUE(hasText(pages[3], "P.4"));
    size_t lines = 0;
    for (const Page& p : pages)
        for (const PageText& text : p.texts) lines += text.font == PageFont::Fixed;
    EXPECT_EQ(lines, 100u + 4u);   // every page starts with the names
    EXPECT_EQ(pages[0].texts[2].text.rfind("BUS", 0), 0u);   // after the header and the page number
    EXPECT_NE(pages[3].texts.back().text.find("LAST"), std::string::npos);
}

TEST(BitmapFile, HeadersFieldByFieldAndChecked) {
    DibImage img;
    img.width = 3, img.height = 2, img.bitsPerPixel = 24;
    img.bits.assign(dibStride(3, 24) * 2, 0x7F);
    EXPECT_EQ(dibStride(3, 24), 12u);
    EXPECT_EQ(dibStride(3, 8), 4u);
    std::vector<uint8_t> f = writeDibFile(img);
    ASSERT_EQ(f.size(), 14u + 40u + 24u);
    EXPECT_EQ(f[0], 'B');
    EXPECT_EQ(f[1], 'M');
    EXPECT_EQ(f[2], f.size());
    DibInfo info;
    ASSERT_TRUE(readDibInfo(f.data(), f.size(), info));
    EXPECT_EQ(info.width, 3);
    EXPECT_EQ(info.height, 2);
    EXPECT_EQ(info.bitsPerPixel, 24);
    EXPECT_FALSE(readDibInfo(f.data(), f.size() - 1, info));   // pixels cut short
    // A palette image: the entries as blue, green, red, 0.
    img.bitsPerPixel = 8;
    img.palette = {0x00112233, 0x00FFFFFF};
    img.bits.assign(8, 1);
    f = writeDibFile(img);
    ASSERT_TRUE(readDibInfo(f.data(), f.size(), info));
    EXPECT_EQ(info.paletteEntries, 2u);
    EXPECT_EQ(f[54], 0x33);
    EXPECT_EQ(f[56], 0x11);
    img.palette.resize(257);
    EXPECT_TRUE(writeDibFile(img).empty());
    img.palette.clear();
    img.bits.resize(7);
    EXPECT_TRUE(writeDibFile(img).empty());
}

}  // namespace
}  // namespace kv
