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

}  // namespace kv
