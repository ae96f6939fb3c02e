// Scope calibration: where it lives in the registry, all-or-nothing loading, and conversion.
#include <gtest/gtest.h>

#include "runtime/le_bytes.h"
#include "scope_runtime/calibration.h"
#include "scope_runtime/scope_setup.h"

namespace kv {
namespace zentro {
namespace {

TEST(ScopeCalibration, SerialsOfTheOtherMakerLiveUnderTheirOwnRoot) {
    const struct {
        const char* serial;
        const char* root;
    } cases[] = {{"RCAB", kCalibrationRootOther}, {"RAXY", kCalibrationRoot}, {"RBXY", kCalibrationRoot},
                 {"REXY", kCalibrationRoot},      {"RIXY", kCalibrationRoot}, {"RZ1", kCalibrationRootOther},
                 {"RC", kCalibrationRoot},        {"R1XY", kCalibrationRoot}, {"ZS0000001", kCalibrationRoot},
                 {"", kCalibrationRoot}};
    for (const auto& c : cases)
        EXPECT_EQ(calibrationKey(c.serial), std::string(c.root) + "\\" + c.serial) << c.serial;
}

TEST(ScopeCalibration, LoadsTheWholeSetOrTheDefaults) {
    MemoryRegistry reg;
    Calibration c = defaultCalibration();
    c.dacOffset[0] = -12;
    c.dacOffset[1] = 34;
    c.tables[5 * kSwitchTableBytes + 4] = 0x80;
    c.thresholds[0] = 3;
    ASSERT_TRUE(storeCalibration(reg, "RCAB", c));
    EXPECT_TRUE(reg.keyExists(RegRoot::LocalMachine, "SOFTWARE\\Brenvale\\DSO\\Environment\\RCAB"));
    Calibration back;
    ASSERT_TRUE(loadCalibration(reg, "RCAB", back));
    EXPECT_EQ(back.tables, c.tables);
    EXPECT_EQ(back.thresholds, c.thresholds);
    EXPECT_EQ(back.dacOffset[0], -12);
    EXPECT_EQ(back.dacOffset[1], 34);

    // One value missing or of the wrong size: the built-in set as a whole.
    const Calibration defaults = defaultCalibration();
    ASSERT_TRUE(reg.deleteValue(RegRoot::LocalMachine, calibrationKey("RCAB"), "CalibrateSw11"));
    EXPECT_FALSE(loadCalibration(reg, "RCAB", back));
    EXPECT_EQ(back.tables, defaults.tables);
    EXPECT_EQ(back.dacOffset[0], 0);
    ASSERT_TRUE(storeCalibration(reg, "RCAB", c));
    const uint8_t shortValue[4] = {};
    reg.writeValue(RegRoot::LocalMachine, calibrationKey("RCAB"), "iDacOfs", kRegBinary, shortValue, 4);
    EXPECT_FALSE(loadCalibration(reg, "RCAB", back));
    EXPECT_EQ(back.dacOffset[0], 0);
    EXPECT_FALSE(loadCalibration(reg, "UNKNOWN", back));
}

TEST(ScopeCalibration, CodesBecomeMicrovoltsThroughTheRangesTable) {
    Calibration c = defaultCalibration();
    EXPECT_DOUBLE_EQ(codeToMicrovolts(c, 0, 6, 200000, 512), 0.0);
    EXPECT_DOUBLE_EQ(codeToMicrovolts(c, 0, 6, 200000, 512 + 64), 200000.0);  // one division
    EXPECT_DOUBLE_EQ(codeToMicrovolts(c, 1, 6, 200000, 0), -1600000.0);       // -8 divisions
    // Table 6, channel 2: gain 1.5, zero of 32 codes.
    uint8_t* t = c.tables.data() + 6 * kSwitchTableBytes;
    putLe32(t + 8, 98304);
    putLe32(t + 12, 32 * 256);
    EXPECT_DOUBLE_EQ(codeToMicrovolts(c, 1, 6, 200000, 512 + 64), (96.0 - 32.0) / 64 * 200000);
    EXPECT_DOUBLE_EQ(codeToMicrovolts(c, 0, 6, 200000, 512 + 64), 200000.0);

    EXPECT_EQ(levelToThreshold(c, 0, 100000, 167000), 512 + 107);
    EXPECT_EQ(levelToThreshold(c, 0, 100000, 100000000), 1023);
    EXPECT_EQ(levelToThreshold(c, 1, 100000, -100000000), 0);
    putLe32(c.thresholds.data() + 4, static_cast<uint32_t>(-5));
    EXPECT_EQ(levelToThreshold(c, 1, 100000, 0), 507);
}

}  // namespace
}  // namespace zentro
}  // namespace kv
