// The trigger values of a project, through the registry seam.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "viewer/trigger/trigger_project.h"

namespace kv {
namespace {

const char* const kKey = "SOFTWARE\\Ombix\\KV\\Project\\Bench";

// Every slot different from its defaults in every word and buffer.
void scramble(TriggerSetup& s) {
    for (int m = 0; m < kTriggerModes; ++m) {
        TriggerRecord& r = s.slots[m];
        uint32_t f[kTriggerDataWords];
        for (int i = 0; i < kTriggerDataWords; ++i) f[i] = 0x01010101u * static_cast<uint32_t>(m + 1) + static_cast<uint32_t>(i);
        f[8] = static_cast<uint32_t>(m);  // the mode word names the slot
        setTriggerFields(r, f);
        for (int i = 0; i < kTriggerPatternBytes; ++i) r.data[i] = static_cast<uint8_t>(i * 7 + m);
        for (int l = 0; l < kTriggerLevels; ++l) r.links[l] = static_cast<uint32_t>((l + m) % 3);
    }
    for (int c = 0; c < kTriggerChannels; ++c) s.oneLevel[c] = static_cast<uint8_t>(c % 11);
    s.current = s.slots[kModeWidth];
    s.standardMode = 3;
    s.nanlynFirmware = 0x123;
    s.nanlynMemorySelect = 4;
}

TEST(TriggerProjectTest, TheTenSlotsRoundTripByteForByte) {
    for (bool nanlyn : {false, true}) {
        TriggerDevice d;
        d.nanlyn = nanlyn;
        d.productCode = nanlyn ? 0x2136 : 0x2132;
        MemoryRegistry reg;
        TriggerSetup saved(d);
        scramble(saved);
        saved.current.passCount = 5;  // the record in force goes into its slot first
        ASSERT_TRUE(writeTriggerProject(reg, kKey, saved));
        EXPECT_EQ(saved.slots[kModeWidth].passCount, 5);

        // The stored stem is the 64-byte header with zero address words.
        RegValue stem, cont, fw;
        ASSERT_TRUE(reg.readValue(RegRoot::LocalMachine, kKey, "trWidth", stem));
        ASSERT_TRUE(reg.readValue(RegRoot::LocalMachine, kKey, "trGlitchCont", cont));
        ASSERT_EQ(stem.data.size() + cont.data.size(), 128u);
        EXPECT_EQ(getLe32(stem.data.data() + 20), 5u);
        EXPECT_EQ(getLe32(stem.data.data() + 56) | getLe32(stem.data.data() + 60), 0u);
        EXPECT_EQ(reg.readValue(RegRoot::LocalMachine, kKey, "Current F/W", fw), nanlyn);

        TriggerSetup loaded(d);
        readTriggerProject(reg, kKey, loaded);
        for (int m = 0; m < kTriggerModes; ++m) EXPECT_EQ(loaded.slots[m], saved.slots[m]) << m;
        EXPECT_EQ(loaded.current, saved.slots[kModeWidth]);  // switched with nothing kept
        EXPECT_EQ(0, std::memcmp(loaded.oneLevel, saved.oneLevel, sizeof saved.oneLevel));
        EXPECT_EQ((std::vector<int32_t>{loaded.standardMode, loaded.nanlynFirmware, loaded.nanlynMemorySelect}),
                  (std::vector<int32_t>{3, nanlyn ? 0x123 : -1, nanlyn ? 4 : 1}));
    }
}

TEST(TriggerProjectTest, MissingAndDamagedValuesFallBackOneByOne) {
    const TriggerDevice d{0x2136, true, 36, 65535};
    MemoryRegistry reg;
    TriggerSetup saved(d);
    scramble(saved);
    ASSERT_TRUE(writeTriggerProject(reg, kKey, saved));
    const RegRoot root = RegRoot::LocalMachine;
    reg.deleteValue(root, kKey, "One Level Trigger");
    reg.deleteValue(root, kKey, "trMulti");         // header missing: defaults, buffers still read
    reg.deleteValue(root, kKey, "trDualData");      // buffers missing: the defaults stay
    const uint8_t shortHeader[10] = {};
    reg.writeValue(root, kKey, "trSPI", kRegBinary, shortHeader, sizeof shortHeader);  // damaged: defaults
    const uint8_t twoLinks[8] = {2, 0, 0, 0, 1, 0, 0, 0};
    reg.writeValue(root, kKey, "trI2SCont", kRegBinary, twoLinks, sizeof twoLinks);   // short: the start only
    regWriteDword(reg, root, kKey, "iTrMode", 12);  // no such mode: 0
    reg.deleteValue(root, kKey, "Current MemSel");

    TriggerSetup loaded(d);
    scramble(loaded);
    readTriggerProject(reg, kKey, loaded);
    for (uint8_t code : loaded.oneLevel) ASSERT_EQ(code, kConditionDontCare);  // all "X"
    TriggerRecord defaults;
    resetTriggerRecord(defaults, kModeMulti, d);
    EXPECT_EQ(loaded.slots[kModeMulti].mode, 1u);
    EXPECT_EQ(loaded.slots[kModeMulti].levelCount, defaults.levelCount);
    EXPECT_EQ(loaded.slots[kModeMulti].data, saved.slots[kModeMulti].data);
    resetTriggerRecord(defaults, kModeDual, d);
    EXPECT_EQ(loaded.slots[kModeDual].links, saved.slots[kModeDual].links);
    resetTriggerRecord(defaults, kModeSpi, d);
    EXPECT_EQ(loaded.slots[kModeSpi].frequency(), defaults.frequency());
    EXPECT_EQ(loaded.slots[kModeI2s].links[0], 2u);
    EXPECT_EQ(loaded.slots[kModeI2s].links[1], 1u);
    EXPECT_EQ(loaded.slots[kModeI2s].links[2], saved.slots[kModeI2s].links[2]);
    EXPECT_EQ(loaded.current, loaded.slots[kModeSingle]);
    EXPECT_EQ(loaded.nanlynMemorySelect, 1);
    EXPECT_EQ(loaded.nanlynFirmware, 0x123);

    // No project key at all: everything reset.
    TriggerSetup fresh(d);
    scramble(fresh);
    readTriggerProject(reg, "SOFTWARE\\Ombix\\KV\\Project\\Nothing", fresh);
    TriggerSetup reference(d);
    for (int m = 0; m < kTriggerModes; ++m) EXPECT_EQ(fresh.slots[m], reference.slots[m]) << m;
    EXPECT_EQ(fresh.current, reference.slots[kModeSingle]);
    EXPECT_EQ(fresh.nanlynFirmware, -1);
    EXPECT_EQ(fresh.nanlynMemorySelect, 1);
    for (uint8_t code : fresh.oneLevel) ASSERT_EQ(code, kConditionDontCare);

    // A registry that refuses writing is reported.
    reg.failAll = true;
    EXPECT_FALSE(writeTriggerProject(reg, kKey, saved));
}

}  // namespace
}  // namespace kv
