// The trigger records of a KVW file are the viewer's trigger set-up: the record in force, the ten
// mode slots and the committed record, in the file's order. Each record travels as its 64-byte
// stored header, its 1,024 level-data bytes and its 16 link codes; on the way back every record
// keeps its own buffers.
#pragma once

#include <cstdint>

#include "viewer/files/kvw_codec.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {

// One record and its stored bytes.
StoredTriggerRecord storedTriggerRecord(const TriggerRecord& r);
void restoreTriggerRecord(const StoredTriggerRecord& stored, TriggerRecord& r);

// The twelve records a file is written with, the set-up's records as they are except the record
// in force, which carries the acquisition's sample frequency and trigger position (and clock
// selection 1 where it holds none).
StoredTriggerSet fileTriggerRecords(const TriggerSetup& s, uint64_t frequency, int32_t triggerPosition);

// Puts a loaded file's records into the set-up (seven of a 2.00 file, none of a 1.0 file; the
// others keep theirs); the record in force then takes the file's sample frequency and clock
// selection. A single-level record in force also becomes the pattern its editor shows.
void restoreFileTrigger(const KvwFile& file, TriggerSetup& s);

}  // namespace kv
