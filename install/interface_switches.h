// The interface switches: which kinds of connection the logic analyzer and pattern generator
// libraries may probe. Numbers in the registry (local machine); only 0 disables, any other value or a
// missing value leaves the kind enabled.
#pragma once

#include <array>

#include "platform/registry.h"

namespace kv {

struct InterfaceSwitch {
    int control;        // the check box of the interface dialog
    const char* key;    // under the local machine
    const char* value;
};

enum : int { kInterfaceSwitchCount = 7 };
// Four logic analyzer switches, then three of the pattern generator.
extern const std::array<InterfaceSwitch, kInterfaceSwitchCount> kInterfaceSwitches;
extern const char* const kAnalyzerSwitchKey;   // "Software\\Ombix\\KV"
extern const char* const kGeneratorSwitchKey;  // "Software\\Ombix\\QG"

using SwitchStates = std::array<bool, kInterfaceSwitchCount>;  // in the order of kInterfaceSwitches

SwitchStates readInterfaceSwitches(Registry& reg);
// The analyzer key is created when missing and all four values are written; the generator key is
// never created: its values are written only where the pattern generator is installed.
void writeInterfaceSwitches(Registry& reg, const SwitchStates& on);

}  // namespace kv
