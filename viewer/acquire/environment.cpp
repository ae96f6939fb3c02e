#include "viewer/acquire/environment.h"

#include "runtime/le_bytes.h"
#include "viewer/acquire/sample_modes.h"

namespace kv {

const EnvironmentCheck kEnvironmentCheckBoxes[kEnvironmentChecks] = {
    {1173, &Settings::systemWarn1},      {1174, &Settings::partMenu},   {1175, &Settings::electricGrid},
    {1176, &Settings::trigBell},         {1177, &Settings::systemWaveTiming}, {1178, &Settings::fullBell},
    {1370, &Settings::wavePartition},    {1371, &Settings::inertial},
};

int32_t waveHeightOfIndex(int index) { return 2 * (index < 0 ? 0 : index) + 16; }

int waveHeightIndex(int32_t height) { return height <= 16 ? 0 : (height - 16) / 2; }

NanlynSelection findNanlynSelection(int table, int32_t firmware, int32_t memorySelect,
                                    const std::function<int32_t(int cell)>& modeIdOfCell) {
    for (int row = 0; row < kNanlynModeRows; ++row)
        for (int column : nanlynColumns(table, row))
            if ((1 << column) == memorySelect && modeIdOfCell(nanlynCell(table, row, column)) == firmware)
                return NanlynSelection{row, column, false};
    return NanlynSelection{0, 0, true};
}

ModeApplication applyNanlynMode(const ModeRecord& m, int previousMode, uint64_t frequency, int standardMode,
                                uint32_t uartBaud) {
    constexpr uint64_t k200MHz = 200000000, k400MHz = 400000000;
    ModeApplication a;
    if (m.features & kFeatureGlitch) {
        a.triggerMode = 6;
        a.preTrigger = true;
        a.setFrequency = true;
        a.frequency = m.highestRate;
        a.fixedRate = "4 GHz";
    } else if (m.features & kFeatureUart) {
        a.triggerMode = 5;
        a.setFrequency = true;
        a.frequency = uint64_t{uartBaud} * 16;
        a.fixedRate = "Baud*16";
    } else if (m.features & (kFeatureI2c | kFeatureSpi | kFeatureI2s)) {
        a.triggerMode = (m.features & kFeatureI2c) ? 7 : (m.features & kFeatureSpi) ? 8 : 9;
        a.keepNothing = previousMode == 5 || frequency > k200MHz;
        a.selectRate = true;
        a.setFrequency = true;
        a.frequency = m.highestRate;
    } else if (m.features & kFeatureExternalClock) {
        a.triggerMode = standardMode;
        a.qualifierList = true;
        a.clock = 128;
        a.setFrequency = true;
        a.frequency = m.highestRate;
        a.fixedRate = "EXT";
    } else if (m.highestRate < k400MHz) {
        a.triggerMode = standardMode;
        a.keepNothing = previousMode == 5 || frequency > k200MHz;
        a.selectRate = true;
        // A rate the mode cannot reach falls back to its highest.
        if (frequency > m.highestRate || frequency == 0) {
            a.setFrequency = true;
            a.frequency = m.highestRate;
        }
    } else {
        a.triggerMode = 0;
        a.switchMode = previousMode == 6 || frequency != m.highestRate;
        a.keepNothing = false;
        a.preTrigger = true;
        a.setFrequency = true;
        a.frequency = m.highestRate;
        a.fixedRate = fixedRateText(m.features, m.highestRate);
    }
    return a;
}

uint32_t uartBaudOf(const uint8_t* levelData, size_t size) {
    constexpr size_t kBaudOffset = 224 + 12;
    const uint32_t baud = size >= kBaudOffset + 4 ? getLe32(levelData + kBaudOffset) : 0;
    return baud ? baud : 9600;
}

}  // namespace kv
