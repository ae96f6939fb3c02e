#include "viewer/trigger/trigger_project.h"

#include <algorithm>
#include <cstring>

#include "viewer/shell/settings.h"

namespace kv {

const char* const kTriggerStems[kTriggerModes] = {"trSingle", "trMulti",  "trDual", "trWidth", "trNoTrig",
                                                  "trSerial", "trGlitch", "trI2C",  "trSPI",   "trI2S"};

namespace {

constexpr RegRoot kRoot = RegRoot::LocalMachine;

// The order in which the slots are written and read.
const int kSlotOrder[kTriggerModes] = {kModeSingle, kModeMulti, kModeDual, kModeWidth, kModeSerial,
                                       kModeI2c,    kModeSpi,   kModeI2s,  kModeGlitch, kModeNoTrigger};

const char* const kModeValue = "iTrMode";
const char* const kOneLevelValue = "One Level Trigger";
const char* const kStandardModeValue = "iMxStdTrMode";
const char* const kFirmwareValue = "Current F/W";
const char* const kMemorySelectValue = "Current MemSel";

bool writeBinary(Registry& reg, const std::string& key, const std::string& name, const void* data, size_t size) {
    return reg.writeValue(kRoot, key, name, kRegBinary, data, size);
}

bool writeSlot(Registry& reg, const std::string& key, const TriggerRecord& r, const char* stem) {
    uint32_t fields[kTriggerDataWords];
    triggerFields(r, fields);
    uint8_t header[kTriggerStoredBytes];
    writeTriggerStored(fields, header);
    uint8_t links[4 * kTriggerLevels];
    for (int l = 0; l < kTriggerLevels; ++l) putLe32(links + 4 * l, r.links[l]);
    const std::string s = stem;
    return writeBinary(reg, key, s, header, sizeof header) &&
           writeBinary(reg, key, s + "Data", r.data.data(), r.data.size()) &&
           writeBinary(reg, key, s + "Cont", links, sizeof links);
}

// A binary value of up to `size` bytes copied over the start of `out`; false when missing.
bool readBinaryInto(Registry& reg, const std::string& key, const std::string& name, uint8_t* out, size_t size) {
    RegValue v;
    if (!reg.readValue(kRoot, key, name, v) || v.type != kRegBinary) return false;
    std::memcpy(out, v.data.data(), std::min(size, v.data.size()));
    return true;
}

void readSlot(Registry& reg, const std::string& key, TriggerSetup& s, int mode) {
    TriggerRecord& r = s.slots[mode];
    const std::string stem = kTriggerStems[mode];
    RegValue header;
    if (reg.readValue(kRoot, key, stem, header) && header.type == kRegBinary && header.data.size() == kTriggerStoredBytes) {
        uint32_t fields[kTriggerDataWords];
        readTriggerStored(header.data.data(), fields);
        setTriggerFields(r, fields);
    } else {
        resetTriggerSlot(s, mode);
    }
    readBinaryInto(reg, key, stem + "Data", r.data.data(), r.data.size());
    uint8_t links[4 * kTriggerLevels];
    for (int l = 0; l < kTriggerLevels; ++l) putLe32(links + 4 * l, r.links[l]);
    if (readBinaryInto(reg, key, stem + "Cont", links, sizeof links))
        for (int l = 0; l < kTriggerLevels; ++l) r.links[l] = getLe32(links + 4 * l);
}

int32_t readDwordOr(Registry& reg, const std::string& key, const char* name, int32_t fallback) {
    uint32_t v = 0;
    return regReadDword(reg, kRoot, key, name, v) ? static_cast<int32_t>(v) : fallback;
}

}  // namespace

bool writeTriggerProject(Registry& reg, const std::string& key, TriggerSetup& s) {
    storeTriggerSlot(s, s.current);
    if (!reg.keyExists(kRoot, key) && !reg.createKey(kRoot, key, kSettingsKeyClass)) return false;
    bool ok = true;
    for (int mode : kSlotOrder) ok = writeSlot(reg, key, s.slots[mode], kTriggerStems[mode]) && ok;
    ok = regWriteDword(reg, kRoot, key, kModeValue, s.current.mode) && ok;
    ok = writeBinary(reg, key, kOneLevelValue, s.oneLevel, sizeof s.oneLevel) && ok;
    ok = regWriteDword(reg, kRoot, key, kStandardModeValue, static_cast<uint32_t>(s.standardMode)) && ok;
    if (s.device.nanlyn) {
        ok = regWriteDword(reg, kRoot, key, kFirmwareValue, static_cast<uint32_t>(s.nanlynFirmware)) && ok;
        ok = regWriteDword(reg, kRoot, key, kMemorySelectValue, static_cast<uint32_t>(s.nanlynMemorySelect)) && ok;
    }
    return ok;
}

void readTriggerProject(Registry& reg, const std::string& key, TriggerSetup& s) {
    if (!reg.keyExists(kRoot, key)) {
        resetTriggerSetup(s, s.device);
        return;
    }
    for (int mode : kSlotOrder) readSlot(reg, key, s, mode);
    const int32_t mode = readDwordOr(reg, key, kModeValue, 0);
    if (s.device.nanlyn) {
        s.nanlynFirmware = readDwordOr(reg, key, kFirmwareValue, -1);
        s.nanlynMemorySelect = readDwordOr(reg, key, kMemorySelectValue, 1);
    }
    s.standardMode = readDwordOr(reg, key, kStandardModeValue, 0);
    RegValue one;
    if (reg.readValue(kRoot, key, kOneLevelValue, one) && one.type == kRegBinary && one.data.size() == kTriggerChannels)
        std::memcpy(s.oneLevel, one.data.data(), kTriggerChannels);
    else
        std::memset(s.oneLevel, kConditionDontCare, sizeof s.oneLevel);
    switchTriggerMode(s, triggerSlotOf(static_cast<uint32_t>(mode)), true);
}

}  // namespace kv
