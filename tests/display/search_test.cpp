// The pattern search: levels, edges, runs counted once, value conditions on decoded labels (all
// must hold), the pass count, the interval and the dialog's rules for typed conditions.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/bus_traffic.h"
#include "viewer/display/search.h"

using namespace kv;

namespace {

struct Capture {
    std::vector<uint8_t> bytes;
    SampleStore store;
    explicit Capture(const std::vector<uint8_t>& samples) : bytes(samples) {
        bytes.resize(samples.size() + 16, 0);
        store.attach(bytes.data(), static_cast<int32_t>(samples.size()), 8, 8, 8, kStoragePacked);
    }
};

LabelTable singles(int n) {
    LabelTable t;
    for (int c = 0; c < n; ++c) {
        t.entries[c].kind = kLabelSingle;
        t.entries[c].channel = c;
        std::snprintf(t.entries[c].name, sizeof t.entries[c].name, "CH-%02d", c);
    }
    return t;
}

}  // namespace

TEST(Search, EdgesLevelsRunsAndTheLastSampleOfTheInterval) {
    // Channel 0: high over [100, 1100); channel 1 rises at the very last sample.
    std::vector<uint8_t> s(2000, 0);
    for (int i = 100; i < 1100; ++i) s[i] = 1;
    s[1999] |= 2;
    s[1500] = 1;  // a one-sample pulse
    Capture c(s);
    SearchSetting set;
    std::vector<BoundValueCondition> none;
    int64_t next = 0;
    // Nothing to search for.
    EXPECT_EQ(findNextMatch(set, none, c.store, 0, 1999, next), 2000);
    EXPECT_EQ(next, 2000);
    // The rise at the last sample of the interval is not found; one sample earlier it is.
    set.channelCondition[1] = kCondRising;
    EXPECT_EQ(findNextMatch(set, none, c.store, 0, 1999, next), 2000);
    s[1998] |= 2;
    Capture c2(s);
    EXPECT_EQ(findNextMatch(set, none, c2.store, 0, 1999, next), 1998);
    // A level that holds for 1,000 samples is one occurrence; the pulse is another.
    set.channelCondition[1] = kCondDontCare;
    set.channelCondition[0] = kCondHigh;
    EXPECT_EQ(findNextMatch(set, none, c.store, 0, 1999, next), 100);
    EXPECT_EQ(next, 1100);
    SearchOutcome o = runSearch(set, none, c.store, 0, 1999);
    EXPECT_EQ(o.occurrences, 2);
    EXPECT_EQ(o.message, kStrOccurrences);
    EXPECT_EQ(o.position, 100);
    set.passCount = 1;
    EXPECT_EQ(runSearch(set, none, c.store, 0, 1999).position, 1500);
    // Fewer matches than the pass count asks for: the interval's start.
    set.passCount = 2;
    o = runSearch(set, none, c.store, 20, 1999);
    EXPECT_EQ(o.occurrences, 2);
    EXPECT_EQ(o.position, 20);
    // Falling edges of channel 0 with channel 1 low: the sample after each edge.
    set.passCount = 0;
    set.channelCondition[0] = kCondFalling;
    set.channelCondition[1] = kCondLow;
    EXPECT_EQ(findNextMatch(set, none, c.store, 0, 1999, next), 1100);
    EXPECT_EQ(runSearch(set, none, c.store, 0, 1999).occurrences, 2);
    // Not found in an interval without the pattern.
    o = runSearch(set, none, c.store, 1600, 1990);
    EXPECT_EQ(o.occurrences, 0);
    EXPECT_EQ(o.message, kStrSearchNotFound);
}

TEST(Search, ValueConditionsOnDecodedLabelsHoldOverTheItemsSpan) {
    kvtest::Traffic t(0x3);
    t.hold(200);
    kvtest::uartBytes(t, 0, 1e6 / 9600, "N-8-1", {0x10, 0x41, 0x42, 0x41}, true, 2);
    t.hold(2000);
    Capture c(t.samples());
    UartDecoder uart;
    ASSERT_TRUE(uart.run(kUartIdleHigh, c.store, 0, 1e6, 0));
    LabelTable table = singles(2);
    table.entries[0].flags = kLabelUart;
    auto decoded = [&](int32_t first) -> const DecodedItems* { return first == 0 ? &uart.items : nullptr; };

    SearchSetting set;
    ASSERT_EQ(addSearchCondition(set, table, 0, "41", kFormatHex), 0);
    std::vector<BoundValueCondition> values = bindValueConditions(set, table, decoded);
    ASSERT_EQ(values.size(), 1u);
    // Every sample of the byte's span matches, and the span counts once.
    const int64_t start = uart.items.positions[1], end = uart.items.positions[2];
    int64_t next = 0;
    EXPECT_EQ(findNextMatch(set, values, c.store, start + 300, c.store.logicalCount() - 1, next), start + 300);
    EXPECT_EQ(next, end);
    const SearchOutcome o = runSearch(set, values, c.store, 0, c.store.logicalCount() - 1);
    EXPECT_EQ(o.occurrences, 2);
    EXPECT_EQ(o.position, start);
    // All conditions must hold: the byte and channel 1 low (it stays high) never meet.
    ASSERT_EQ(addSearchCondition(set, table, 1, "0", -1), 0);
    EXPECT_EQ(runSearch(set, values, c.store, 0, c.store.logicalCount() - 1).occurrences, 0);
    // A second value condition on the same label replaces the first; a label without results never holds.
    ASSERT_EQ(addSearchCondition(set, table, 1, "1", -1), 0);
    ASSERT_EQ(addSearchCondition(set, table, 0, "B", kFormatAsc), 0);
    EXPECT_EQ(set.valueConditions.size(), 1u);
    values = bindValueConditions(set, table, decoded);
    EXPECT_EQ(runSearch(set, values, c.store, 0, c.store.logicalCount() - 1).position, uart.items.positions[2]);
    // Search Next from cursor B on the first 'B': no other 'B' follows; on the first 'A' (the value
    // of the previous setting) the rest of the same byte is skipped and the second 'A' is next.
    EXPECT_EQ(runSearchNext(set, values, c.store, uart.items.positions[2], c.store.logicalCount() - 1).occurrences, 0);
    set.valueConditions[0].value = 0x41;
    values = bindValueConditions(set, table, decoded);
    const SearchOutcome again = runSearchNext(set, values, c.store, start, c.store.logicalCount() - 1);
    EXPECT_EQ(again.occurrences, 1);
    EXPECT_EQ(again.position, uart.items.positions[3]);
    values = bindValueConditions(set, table, {});
    EXPECT_EQ(runSearch(set, values, c.store, 0, c.store.logicalCount() - 1).occurrences, 0);
}

TEST(Search, DialogRulesPassCountValuesEdgesAndInterval) {
    int32_t pass = -1;
    EXPECT_EQ(checkPassCount("255", pass), 0);
    EXPECT_EQ(pass, 255);
    EXPECT_EQ(checkPassCount("256", pass), kStrPassCountRange);
    EXPECT_EQ(checkPassCount("-1", pass), kStrPassCountRange);
    EXPECT_EQ(checkPassCount("", pass), kStrPassCountRange);
    EXPECT_EQ(checkPassCount(" 0 ", pass), 0);
    EXPECT_EQ(pass, 0);

    LabelTable table = singles(6);
    // CH-02..CH-05 combined into a group of four (most significant first).
    for (int k = 0; k < 4; ++k) {
        LabelEntry& e = table.entries[2 + k];
        e.kind = k == 3 ? int32_t{kLabelLastMember} : int32_t{kLabelFirstMember} + k;
        std::snprintf(e.name, sizeof e.name, "BUS");
    }
    SearchSetting set;
    EXPECT_EQ(addSearchCondition(set, table, 0, "Z", -1), kStrValueError);
    EXPECT_EQ(addSearchCondition(set, table, 0, "10", -1), kStrValueError);
    EXPECT_EQ(addSearchCondition(set, table, 0, "/", -1), 0);
    EXPECT_EQ(set.channelCondition[0], kCondRising);
    EXPECT_EQ(addSearchCondition(set, table, 1, "\\", -1), kStrTooManyEdges);
    EXPECT_EQ(set.channelCondition[1], kCondDontCare);
    EXPECT_EQ(addSearchCondition(set, table, 3, "1X0\\", -1), kStrTooManyEdges);
    EXPECT_EQ(addSearchCondition(set, table, 3, "1X01", -1), 0);
    EXPECT_EQ(set.channelCondition[2], kCondHigh);
    EXPECT_EQ(set.channelCondition[3], kCondDontCare);
    EXPECT_EQ(set.channelCondition[5], kCondHigh);
    EXPECT_EQ(addSearchCondition(set, table, 2, "A", kFormatHex), 0);   // 1010
    EXPECT_EQ(set.channelCondition[3], kCondLow);
    EXPECT_EQ(addSearchCondition(set, table, 2, "1F", kFormatHex), kStrValueError);  // five bits
    ASSERT_EQ(set.shown.size(), 2u);
    EXPECT_EQ(set.shown[1].label, "BUS");
    removeSearchCondition(set, table, 1);
    EXPECT_EQ(set.channelCondition[2], kCondDontCare);
    EXPECT_EQ(set.channelCondition[0], kCondRising);
    clearSearchConditions(set);
    EXPECT_TRUE(set.shown.empty());
    EXPECT_EQ(set.channelCondition[0], kCondDontCare);

    // Interval ends from the cursors, swapped when the start lies after the end.
    const int32_t cursors[6] = {16, 500, 200, 0, 0, 0};
    int64_t a = 0, b = 0;
    set.startPosition = kSearchCursorFirst + 1;  // cursor A
    set.endPosition = kSearchCursorFirst + 2;    // cursor B
    searchInterval(set, cursors, 1000, a, b);
    EXPECT_EQ(a, 200);
    EXPECT_EQ(b, 500);
    set.startPosition = kSearchBufferHead;
    set.endPosition = kSearchBufferTail;
    searchInterval(set, cursors, 1000, a, b);
    EXPECT_EQ(a, 0);
    EXPECT_EQ(b, 999);
}
