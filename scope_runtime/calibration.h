// Per-scope calibration: twelve switch tables (one per front-end range), a threshold block and the
// two channel offsets sent to the scope's offset converters. Kept in the registry under the scope's
// serial text; a missing key or value gives the built-in set as a whole.
//
// Layout of a switch table (1,664 bytes, little-endian): for channel 1 then channel 2 a signed
// 32-bit gain in 1/65536 and a signed 32-bit zero in 1/256 code; the rest is reserved (zero).
// The threshold block: signed 32-bit trigger-comparator zeros of channel 1 and 2 in codes, then
// reserved words.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "platform/registry.h"

namespace kv {
namespace zentro {

constexpr int kSwitchTables = 12;
constexpr size_t kSwitchTableBytes = 1664;
constexpr size_t kCalibrationTableBytes = kSwitchTables * kSwitchTableBytes;  // 19,968
constexpr size_t kThresholdBlockBytes = 32;

extern const char* const kCalibrationRoot;       // "SOFTWARE\\Ombix\\DSO\\Environment"
extern const char* const kCalibrationRootOther;  // "SOFTWARE\\Brenvale\\DSO\\Environment"

struct Calibration {
    std::array<uint8_t, kCalibrationTableBytes> tables{};
    std::array<uint8_t, kThresholdBlockBytes> thresholds{};
    int32_t dacOffset[2] = {};
};

// The registry key of a serial: a serial of more than two characters starting with R and a letter
// other than A, B, E or I belongs under the second root.
std::string calibrationKey(const std::string& serial);
Calibration defaultCalibration();
// Reads the set from the local-machine registry; false (and `out` the defaults) when any part is
// missing or of the wrong size.
bool loadCalibration(Registry& reg, const std::string& serial, Calibration& out);
// Writes the whole set (used by calibration tools and tests).
bool storeCalibration(Registry& reg, const std::string& serial, const Calibration& c);

// Microvolts of a channel's code at a range (index into kVoltsPerDiv) with the range's table.
double codeToMicrovolts(const Calibration& c, int channel, int range, uint64_t microvoltsPerDiv, int code);
// The raw comparator threshold for a trigger level in microvolts, clamped to the converter's codes.
int levelToThreshold(const Calibration& c, int channel, uint64_t microvoltsPerDiv, int64_t microvolts);

}  // namespace zentro
}  // namespace kv
