// The trigger values of a project (a key under "SOFTWARE\Ombix\KV\Project"): the ten mode slots,
// each as a 64-byte header, its level data and its links, and the mode in force, the one-level
// buffer and the Nanlyn sample-mode identification.
#pragma once

#include <string>

#include "platform/registry.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {

// Value stems by mode ("trSingle" ... "trI2S").
extern const char* const kTriggerStems[kTriggerModes];

// Saving a project: the record in force goes into its slot first. The key is created when missing.
// False when the key cannot be created or a value cannot be written.
bool writeTriggerProject(Registry& reg, const std::string& projectKey, TriggerSetup& s);

// Loading a project: every value that is missing or damaged falls back to its default, a missing
// key resets everything. Ends with the loaded mode in force (switched with nothing kept).
void readTriggerProject(Registry& reg, const std::string& projectKey, TriggerSetup& s);

}  // namespace kv
