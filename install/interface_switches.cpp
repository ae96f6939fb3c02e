#include "install/interface_switches.h"

#include <cstring>

#include "runtime/device.h"

namespace kv {

// The analyzer's switches are the ones the runtime reads when it probes: the same names.
const char* const kAnalyzerSwitchKey = kInterfaceSwitchKey;
const char* const kGeneratorSwitchKey = "Software\\Ombix\\QG";

// The ISA box sits with the pattern generator's boxes in the dialog but switches the analyzer's ISA
// cards: the pattern generator has none.
const std::array<InterfaceSwitch, kInterfaceSwitchCount> kInterfaceSwitches = {{
    {1000, kInterfaceSwitchKey, kPrinterSwitchValue},
    {1001, kInterfaceSwitchKey, kPciSwitchValue},
    {1002, kInterfaceSwitchKey, kUsbSwitchValue},
    {1006, kInterfaceSwitchKey, kIsaSwitchValue},
    {1003, kGeneratorSwitchKey, kPrinterSwitchValue},
    {1004, kGeneratorSwitchKey, kPciSwitchValue},
    {1005, kGeneratorSwitchKey, kUsbSwitchValue},
}};

SwitchStates readInterfaceSwitches(Registry& reg) {
    SwitchStates on;
    for (size_t i = 0; i < on.size(); ++i) {
        uint32_t v = 1;
        on[i] = !regReadDword(reg, RegRoot::LocalMachine, kInterfaceSwitches[i].key, kInterfaceSwitches[i].value, v) ||
                v != 0;
    }
    return on;
}

void writeInterfaceSwitches(Registry& reg, const SwitchStates& on) {
    reg.createKey(RegRoot::LocalMachine, kAnalyzerSwitchKey, "");
    const bool generator = reg.keyExists(RegRoot::LocalMachine, kGeneratorSwitchKey);
    for (size_t i = 0; i < on.size(); ++i) {
        const InterfaceSwitch& s = kInterfaceSwitches[i];
        if (std::strcmp(s.key, kGeneratorSwitchKey) == 0 && !generator) continue;
        regWriteDword(reg, RegRoot::LocalMachine, s.key, s.value, on[i] ? 1 : 0);
    }
}

}  // namespace kv
