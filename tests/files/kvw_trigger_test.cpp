#include "viewer/files/kvw_trigger.h"

#include <gtest/gtest.h>

#include <vector>

namespace kv {
namespace {

// Every record of the set-up made different from its defaults and from the others.
void distinguish(TriggerSetup& s) {
    for (int m = 0; m < kTriggerModes; ++m) {
        TriggerRecord& r = s.slots[m];
        r.delay = 100u + static_cast<uint32_t>(m);
        r.passCount = m;
        r.data[static_cast<size_t>(m)] = kConditionHigh;
        r.links[static_cast<size_t>(m)] = kLinkDiscontinuous;
        r.conditionCounts = 0x01020304u + static_cast<uint32_t>(m);
    }
    uint8_t pattern[kTriggerChannels];
    std::fill(pattern, pattern + kTriggerChannels, static_cast<uint8_t>(kConditionDontCare));
    pattern[3] = kConditionRising;
    pattern[9] = kConditionLow;
    s.current = s.slots[kModeSingle];
    storeOneLevel(s.current, pattern, kTriggerChannels);
    s.current.flags |= kTriggerFlagMemoryStack | kTriggerFlagPreTrigger;
    s.current.clock = 128;
    s.committed = s.slots[kModeWidth];
    s.committed.width = -300;
}

TEST(KvwTrigger, SetUpRoundTripsThroughAFileInFileOrder) {
    TriggerSetup saved;
    distinguish(saved);
    const StoredTriggerSet records = fileTriggerRecords(saved, 0x100000002ull, 777);

    // The stored form: header words little-endian, pointer words zero, links as words, file order.
    // Record in force: frequency low and high words, clock selection, trigger position.
    EXPECT_EQ(getU32(records[0].header + 4 * 6) + getU32(records[0].header + 4 * 11) * 10, 12u);
    EXPECT_EQ(getU32(records[0].header + 4 * 9) * 1000 + getU32(records[0].header + 4 * 10), 128777u);
    for (int k = 56; k < 64; ++k) EXPECT_EQ(records[3].header[k], 0) << k;
    const int modeAt[kFileTriggerRecords] = {0, 0, 1, 2, 3, 4, 3, 5, 6, 7, 8, 9};
    for (int at = 1; at < static_cast<int>(kFileTriggerRecords); ++at) {
        if (at == 6) continue;
        EXPECT_EQ(getU32(records[static_cast<size_t>(at)].header + 4 * 8), static_cast<uint32_t>(modeAt[at])) << at;
        EXPECT_EQ(getU32(records[static_cast<size_t>(at)].links + 4 * modeAt[at]), kLinkDiscontinuous) << at;
    }
    EXPECT_EQ(static_cast<int32_t>(getU32(records[6].header + 4 * 4)), -300);   // the committed record

    // Through the writer and the reader into a set-up whose records all differ.
    std::vector<uint8_t> bytes(64, 0);
    SampleStore store;
    store.attach(bytes.data(), 8, 64, 64, 64, kStoragePacked);
    KvwSource src;
    src.store = &store;
    src.trigger = &records;
    src.display.setFrequency(0x100000002ull);
    src.display.clockSelection = 128;
    const std::vector<uint8_t> file = writeKvw(src, kKvwRaw);
    KvwFile got;
    ASSERT_EQ(readKvw(file.data(), file.size(), {}, got), 0);
    TriggerSetup loaded;
    std::fill(loaded.oneLevel, loaded.oneLevel + kTriggerChannels, static_cast<uint8_t>(kConditionHigh));
    restoreFileTrigger(got, loaded);

    TriggerRecord inForce = saved.current;
    inForce.setFrequency(0x100000002ull);
    inForce.triggerPosition = 777;
    EXPECT_TRUE(loaded.current == inForce);
    EXPECT_TRUE(loaded.committed == saved.committed);
    for (int m = 0; m < kTriggerModes; ++m) EXPECT_TRUE(loaded.slots[m] == saved.slots[m]) << m;
    // The single-level editor shows the restored pattern, the edge included.
    EXPECT_EQ(loaded.oneLevel[3], kConditionRising);
    EXPECT_EQ(loaded.oneLevel[9], kConditionLow);
    EXPECT_EQ(loaded.oneLevel[0], kConditionDontCare);
}

TEST(KvwTrigger, OlderFilesRestoreWhatTheyHoldAndTheRateAlways) {
    TriggerSetup source;
    distinguish(source);
    const StoredTriggerSet records = fileTriggerRecords(source, 50000000, 40);

    // A 2.00 file: the record in force, the slots of modes 0-4 and the committed record; the
    // protocol slots keep the set-up's own.
    KvwFile v200;
    v200.triggerRecords = kFileTriggerRecords200;
    v200.trigger = records;
    v200.display.setFrequency(20000000);
    v200.display.clockSelection = 3;
    TriggerSetup s;
    s.slots[kModeI2c].delay = 4242;
    restoreFileTrigger(v200, s);
    EXPECT_TRUE(s.slots[kModeMulti] == source.slots[kModeMulti]);
    EXPECT_TRUE(s.slots[kModeNoTrigger] == source.slots[kModeNoTrigger]);
    EXPECT_TRUE(s.committed == source.committed);
    EXPECT_EQ(s.slots[kModeI2c].delay, 4242u);
    EXPECT_EQ(s.slots[kModeSerial].delay, 0u);
    // The file's display record decides the rate and clock of the record in force.
    EXPECT_EQ(s.current.frequency(), 20000000u);
    EXPECT_EQ(s.current.clock, 3u);
    EXPECT_EQ(s.current.triggerPosition, 40u);

    // A 1.0 file: no records; only the rate and clock are the file's, the editor's pattern stays.
    KvwFile v100;
    v100.display.setFrequency(0x200000000ull);
    v100.display.clockSelection = 1;
    s.oneLevel[5] = kConditionLow;
    restoreFileTrigger(v100, s);
    EXPECT_EQ(s.slots[kModeI2c].delay, 4242u);
    EXPECT_TRUE(s.committed == source.committed);
    EXPECT_EQ(s.current.frequency() + s.current.clock, 0x200000001ull);
    EXPECT_EQ(s.oneLevel[5], kConditionLow);
}

}  // namespace
}  // namespace kv
