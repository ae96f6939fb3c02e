#include <gtest/gtest.h>

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "viewer/files/kvw_codec.h"
#include "viewer/files/qgw_file.h"
#include "viewer/files/text_export.h"
#include "viewer/files/wave_save.h"

namespace kv {
namespace {

struct Capture {
    std::vector<uint8_t> bytes;
    SampleStore store;
    explicit Capture(const std::vector<uint64_t>& words) {
        bytes.assign(words.size() * 8 + 16, 0);
        for (size_t k = 0; k < words.size(); ++k) storeLe64(&bytes[k * 8], words[k]);
        store.attach(bytes.data(), static_cast<int32_t>(words.size() * 8), 64, 64, 64, kStoragePacked);
    }
};

LabelEntry label(const char* name, int channel, int32_t kind, uint32_t flags = 0) {
    LabelEntry e;
    std::strcpy(e.name, name);
    e.channel = channel;
    e.kind = kind;
    e.flags = flags;
    return e;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    size_t at = 0;
    for (size_t end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) lines.push_back(text.substr(at, end - at));
    EXPECT_EQ(at, text.size());   // every line ends with CR LF
    return lines;
}

TEST(SaveChoice, ChecksExtensionsAndRanges) {
    SaveChoice c;
    EXPECT_EQ(checkSaveChoice(c, false, false), kStrNoFileName);
    c.fileName = "C:\\data\\run";
    EXPECT_EQ(checkSaveChoice(c, true, true), kStrNoKvw10);
    EXPECT_EQ(checkSaveChoice(c, true, false), 0);
    EXPECT_EQ(withDefaultExtension("C:\\data.v1\\run", kSaveKvwRaw), "C:\\data.v1\\run.kvw");
    EXPECT_EQ(withDefaultExtension("run", kSaveQgw), "run.qgw");
    EXPECT_EQ(withDefaultExtension("run", kSaveText), "run.txt");
    EXPECT_EQ(withDefaultExtension("C:\\x\\run.dat", kSaveText), "C:\\x\\run.dat");

    const int32_t cursors[6] = {16, 700, 300, 5, 6, 7};
    EXPECT_EQ(chosenRange(c, cursors, 1000).start, 0);   // no range: the whole buffer
    EXPECT_EQ(chosenRange(c, cursors, 1000).end, 999);
    c.selectRange = true;
    c.startChoice = 3;   // cursor B
    c.endChoice = 2;     // cursor A
    EXPECT_EQ(chosenRange(c, cursors, 1000).start, 300);
    EXPECT_EQ(chosenRange(c, cursors, 1000).end, 700);
    c.endChoice = 0;     // "Buffer Tail"
    EXPECT_EQ(chosenRange(c, cursors, 500).end, 499);
    EXPECT_EQ(automaticFileName({2026, 1, 2, 3, 4, 5}, 12), "W2026010203040512.KVW");
}

TEST(TextExport, HeadingSeparatorAndChangedLines) {
    // Channel 0 toggles at sample 2, channels 1-3 form a bus "ABC" (3 bits, HEX: one digit).
    Capture cap({0x0, 0x0, 0x1, 0x1, 0xF, 0xF});
    LabelTable t;
    t.entries[0] = label("D", 0, kLabelSingle);
    t.entries[1] = label("ABC", 3, kLabelFirstMember);
    t.entries[2] = label("ABC", 2, kLabelFirstMember + 1);
    t.entries[3] = label("ABC", 1, kLabelLastMember);
    t.entries[4] = label("SCOPE", 0, kLabelSingle, kLabelScope);
    TextExportSource s;
    s.productCode = 0x1164;
    s.frequency = 5000000000ull;
    s.labels = &t;
    s.store = &cap.store;
    s.start = 5;
    s.end = 0;
    const std::vector<std::string> lines = linesOf(exportText(s));
    ASSERT_EQ(lines.size(), 3u + 3 + 1 + 4);
    EXPECT_EQ(lines[0], "Ombix Logic Analyzer");
    EXPECT_EQ(lines[1], "Product ID = 1164");
    EXPECT_EQ(lines[2], "Sampling Rate = 5000000000");
    // Three heading lines (the longest name): "D" only on the last, names over their columns'
    // last characters, "Clocks" in columns 3-8.
    EXPECT_EQ(lines[3], "             A");
    EXPECT_EQ(lines[4], "             B");
    EXPECT_EQ(lines[5], "   Clocks  D C");
    EXPECT_EQ(lines[6], std::string(14, '='));
    EXPECT_EQ(lines[7], "        0  0 0");
    EXPECT_EQ(lines[8], "        2  1 0");
    EXPECT_EQ(lines[9], "        4  1 7");
    EXPECT_EQ(lines[10], "        5  1 7");   // the last sample is always written

    // Nothing selected: only the sample numbers, first and last line.
    s.selectedOnly = true;
    const std::vector<std::string> bare = linesOf(exportText(s));
    ASSERT_EQ(bare.size(), 3u + 1 + 1 + 2);
    EXPECT_EQ(bare[3], "   Clocks ");
    EXPECT_EQ(bare[5], "        0 ");
    EXPECT_EQ(bare[6], "        5 ");
}

TEST(TextExport, DecodedRowsShowTheFrameInProgress) {
    Capture cap(std::vector<uint64_t>(6, 0));
    LabelTable t;
    t.entries[0] = label("TX", 0, kLabelSingle, kLabelUart);
    DecodedItems items;
    items.positions = {0, 3};
    items.values = {0x41, 0x42};
    TextExportSource s;
    s.labels = &t;
    s.store = &cap.store;
    s.end = 5;
    s.decodedFor = [&items](int32_t) { return &items; };
    const std::vector<std::string> lines = linesOf(exportText(s));
    ASSERT_EQ(lines.size(), 3u + 2 + 1 + 3);
    EXPECT_EQ(lines[6], "        0  41");
    EXPECT_EQ(lines[7], "        3  42");
    EXPECT_EQ(lines[8], "        5  42");
}

TEST(QgwFile, LayoutFunctionRecordsAndRefusals) {
    Capture cap({0x1, 0x2, 0x3});
    LabelTable t;
    t.entries[0] = label("A", 49, kLabelSingle, kLabelSelected);
    t.entries[1] = label("B", 4, kLabelSingle);
    QgwSource s;
    s.frequency = 0x100000002ull;
    s.labels = &t;
    s.store = &cap.store;
    s.start = 2;
    s.end = 0;
    std::string out;
    ASSERT_EQ(writeQgw(s, out), 0);
    const auto* p = reinterpret_cast<const uint8_t*>(out.data());
    EXPECT_EQ(std::string(out.c_str()), "Ombix Technology Inc. QG-Editor");
    const uint32_t labelBytes = 100 * (13 + 2);
    const uint32_t header[9] = {0x101, 68, 68, 512, 580, labelBytes, 580 + labelBytes, 24, 580 + labelBytes + 24};
    for (int k = 0; k < 9; ++k) EXPECT_EQ(getU32(p + 32 + 4 * k), header[k]) << k;
    EXPECT_EQ(getU32(p + 68), 2u);
    EXPECT_EQ(getU32(p + 72), 0u);
    EXPECT_EQ(getU32(p + 76), 1u);
    ASSERT_EQ(out.size(), 580u + labelBytes + 24);
    for (int j = 0; j < 12; ++j) {
        const LabelEntry f = readLabelEntry(p + 580 + 100 * j);
        EXPECT_EQ(f.channel, 11 - j);
        EXPECT_EQ(f.format, 5);
        EXPECT_STREQ(f.name, "QG_Function");
        EXPECT_EQ(f.colorIndex, 14);
        EXPECT_EQ(f.kind, j == 11 ? 9999 : j + 2);
    }
    EXPECT_EQ(readLabelEntry(p + 580 + 1200).channel, 61);
    EXPECT_EQ(readLabelEntry(p + 580 + 1300).channel, 16);
    EXPECT_EQ(readLabelEntry(p + 580 + 1400).kind, 0);
    EXPECT_EQ(loadLe64(p + 580 + labelBytes), 0x1000u);   // sample 0x1 moved up by the function channels
    EXPECT_EQ(loadLe64(p + 580 + labelBytes + 16), 0x3000u);

    // Selected only: the mark is cleared in the copy.
    s.selectedOnly = true;
    ASSERT_EQ(writeQgw(s, out), 0);
    EXPECT_EQ(readLabelEntry(reinterpret_cast<const uint8_t*>(out.data()) + 580 + 1200).flags, 0u);
    // Refusals: a range of one sample, a channel of 50, no labels at all.
    s.selectedOnly = false;
    s.end = 2;
    EXPECT_EQ(writeQgw(s, out), kStrQgLengthZero);
    s.end = 0;
    t.entries[0].channel = 50;
    EXPECT_EQ(writeQgw(s, out), kStrQgChannels);
    LabelTable none;
    s.labels = &none;
    EXPECT_EQ(writeQgw(s, out), kQgwNoLabels);
}

}  // namespace
}  // namespace kv
