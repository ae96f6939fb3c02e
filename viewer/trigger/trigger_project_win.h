// The trigger values of a project in the viewer's registry, and what loading them changes in the
// main panel: the record in force and, on 64-channel boards, the sample-rate and clock lists.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

// Saves the trigger values into the project key (created when missing); false when the registry
// refuses.
bool saveTriggerProject(const std::string& projectKey);
// Loads them (a missing key resets everything), puts the loaded mode in force and, on 64-channel
// boards, selects the sample rate and clock of the record in the panel's lists; the rate list is
// enabled only for the internal clock.
void loadTriggerProject(const std::string& projectKey);

// The runtime's list positions of a rate and of a clock selection (KvFreq2IndexEx, KvExtClk2Index);
// tests replace them. Null restores the runtime's.
using RateIndexer = int (*)(int index, uint32_t rateLow, uint32_t rateHigh);
using ClockIndexer = int (*)(int index, uint32_t clock);
void setTriggerListIndexers(RateIndexer rate, ClockIndexer clock);

}  // namespace kv
