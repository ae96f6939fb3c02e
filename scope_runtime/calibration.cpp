#include "scope_runtime/calibration.h"

#include <cctype>
#include <cmath>
#include <cstdio>

#include "runtime/le_bytes.h"
#include "scope_runtime/scope_setup.h"

namespace kv {
namespace zentro {

const char* const kCalibrationRoot = "SOFTWARE\\Ombix\\DSO\\Environment";
const char* const kCalibrationRootOther = "SOFTWARE\\Brenvale\\DSO\\Environment";

namespace {
constexpr int32_t kUnityGain = 65536;
}

std::string calibrationKey(const std::string& serial) {
    bool other = false;
    if (serial.size() > 2 && serial[0] == 'R' && std::isalpha(static_cast<unsigned char>(serial[1]))) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(serial[1])));
        other = c != 'A' && c != 'B' && c != 'E' && c != 'I';
    }
    return std::string(other ? kCalibrationRootOther : kCalibrationRoot) + "\\" + serial;
}

Calibration defaultCalibration() {
    Calibration c;
    for (int t = 0; t < kSwitchTables; ++t) {
        uint8_t* table = c.tables.data() + t * kSwitchTableBytes;
        putLe32(table, kUnityGain);
        putLe32(table + 8, kUnityGain);
    }
    return c;
}

bool loadCalibration(Registry& reg, const std::string& serial, Calibration& out) {
    const std::string key = calibrationKey(serial);
    Calibration c;
    RegValue v;
    bool ok = reg.readValue(RegRoot::LocalMachine, key, "iCalThres", v) && v.data.size() == kThresholdBlockBytes;
    if (ok) std::copy(v.data.begin(), v.data.end(), c.thresholds.begin());
    for (int t = 0; ok && t < kSwitchTables; ++t) {
        char name[24];
        std::snprintf(name, sizeof name, "CalibrateSw%d", t);
        ok = reg.readValue(RegRoot::LocalMachine, key, name, v) && v.data.size() == kSwitchTableBytes;
        if (ok) std::copy(v.data.begin(), v.data.end(), c.tables.begin() + t * kSwitchTableBytes);
    }
    ok = ok && reg.readValue(RegRoot::LocalMachine, key, "iDacOfs", v) && v.data.size() == 8;
    if (ok) {
        c.dacOffset[0] = static_cast<int32_t>(getLe32(v.data.data()));
        c.dacOffset[1] = static_cast<int32_t>(getLe32(v.data.data() + 4));
    }
    out = ok ? c : defaultCalibration();
    return ok;
}

bool storeCalibration(Registry& reg, const std::string& serial, const Calibration& c) {
    const std::string key = calibrationKey(serial);
    if (!reg.createKey(RegRoot::LocalMachine, key, "")) return false;
    bool ok = reg.writeValue(RegRoot::LocalMachine, key, "iCalThres", kRegBinary, c.thresholds.data(), kThresholdBlockBytes);
    for (int t = 0; ok && t < kSwitchTables; ++t) {
        char name[24];
        std::snprintf(name, sizeof name, "CalibrateSw%d", t);
        ok = reg.writeValue(RegRoot::LocalMachine, key, name, kRegBinary, c.tables.data() + t * kSwitchTableBytes,
                            kSwitchTableBytes);
    }
    uint8_t dac[8];
    putLe32(dac, static_cast<uint32_t>(c.dacOffset[0]));
    putLe32(dac + 4, static_cast<uint32_t>(c.dacOffset[1]));
    return ok && reg.writeValue(RegRoot::LocalMachine, key, "iDacOfs", kRegBinary, dac, sizeof dac);
}

double codeToMicrovolts(const Calibration& c, int channel, int range, uint64_t microvoltsPerDiv, int code) {
    if (range < 0 || range >= kSwitchTables) range = 0;
    const uint8_t* entry = c.tables.data() + range * kSwitchTableBytes + 8 * (channel & 1);
    const double gain = static_cast<int32_t>(getLe32(entry)) / 65536.0;
    const double zero = static_cast<int32_t>(getLe32(entry + 4)) / 256.0;
    const double divisions = ((code - kCodeMiddle) * gain - zero) / kCodesPerDivision;
    return divisions * static_cast<double>(microvoltsPerDiv);
}

int levelToThreshold(const Calibration& c, int channel, uint64_t microvoltsPerDiv, int64_t microvolts) {
    if (microvoltsPerDiv == 0) return kCodeMiddle;
    const int32_t zero = static_cast<int32_t>(getLe32(c.thresholds.data() + 4 * (channel & 1)));
    const double code = kCodeMiddle + std::lround(static_cast<double>(microvolts) * kCodesPerDivision /
                                                  static_cast<double>(microvoltsPerDiv)) + zero;
    return static_cast<int>(std::fmax(0, std::fmin(kCodeMax, code)));
}

}  // namespace zentro
}  // namespace kv
