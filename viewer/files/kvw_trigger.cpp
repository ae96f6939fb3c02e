#include "viewer/files/kvw_trigger.h"

#include <cstring>

namespace kv {
namespace {

// Where the file keeps each record: 0 the record in force, 1-5 the slots of modes 0-4, 6 the
// committed record, 7-11 the slots of modes 5-9.
TriggerRecord& recordAt(TriggerSetup& s, int at) {
    if (at == 0) return s.current;
    if (at == 6) return s.committed;
    return s.slots[at < 6 ? at - 1 : at - 2];
}

const TriggerRecord& recordAt(const TriggerSetup& s, int at) { return recordAt(const_cast<TriggerSetup&>(s), at); }

}  // namespace

StoredTriggerRecord storedTriggerRecord(const TriggerRecord& r) {
    StoredTriggerRecord out;
    uint32_t field[kTriggerDataWords];
    triggerFields(r, field);
    writeTriggerStored(field, out.header);
    std::memcpy(out.data, r.data.data(), kTriggerDataBytes);
    for (int l = 0; l < kTriggerLevels; ++l) putU32(out.links + 4 * l, r.links[static_cast<size_t>(l)]);
    return out;
}

void restoreTriggerRecord(const StoredTriggerRecord& stored, TriggerRecord& r) {
    uint32_t field[kTriggerDataWords];
    readTriggerStored(stored.header, field);
    setTriggerFields(r, field);
    std::memcpy(r.data.data(), stored.data, kTriggerDataBytes);
    for (int l = 0; l < kTriggerLevels; ++l) r.links[static_cast<size_t>(l)] = getU32(stored.links + 4 * l);
}

StoredTriggerSet fileTriggerRecords(const TriggerSetup& s, uint64_t frequency, int32_t triggerPosition) {
    StoredTriggerSet out;
    for (size_t at = 0; at < kFileTriggerRecords; ++at) out[at] = storedTriggerRecord(recordAt(s, static_cast<int>(at)));
    TriggerRecord inForce = s.current;
    inForce.setFrequency(frequency);
    if (!inForce.clock) inForce.clock = 1;
    inForce.triggerPosition = static_cast<uint32_t>(triggerPosition);
    out[0] = storedTriggerRecord(inForce);
    return out;
}

void restoreFileTrigger(const KvwFile& file, TriggerSetup& s) {
    for (int at = 0; at < file.triggerRecords && at < static_cast<int>(kFileTriggerRecords); ++at)
        restoreTriggerRecord(file.trigger[static_cast<size_t>(at)], recordAt(s, at));
    s.current.setFrequency(file.display.frequency());
    s.current.clock = file.display.clockSelection;
    const uint32_t mode = s.current.mode;
    if (file.triggerRecords && (mode == kModeSingle || mode == kModeWidth)) readOneLevelFor(s.current, s.oneLevel, s.device);
}

}  // namespace kv
