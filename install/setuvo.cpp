#include "install/setuvo.h"

namespace kv {

const char* const kPortDriverService = "OmbixLPT";

std::string installRoot(int32_t number) {
    if (number == 0) return "Software\\Ombix";
    if (number == 1) return "Software\\Brenvale";
    return {};
}

int32_t checkPortDriver(ServiceManager& services) {
    if (!services.ntFamily()) return 0;
    const bool opened = services.open(kPortDriverService);
    if (opened && !services.running()) {
        // A service that is neither running nor stopped (stuck in a pending state) is stopped first,
        // so the start request finds it stopped.
        services.stop();
        services.start();
    }
    services.close();
    return opened ? 1 : 0;
}

int32_t deleteOldProjects(Registry& reg, int32_t rootNumber, const std::string& product,
                          const std::function<bool()>& keepOld) {
    const std::string root = installRoot(rootNumber);
    if (root.empty()) return 0;
    if (product != "KV" && product != "QG" && product != "DSO") return 1;
    const std::string key = root + "\\" + product;
    if (reg.keyExists(RegRoot::LocalMachine, key) && !keepOld()) reg.deleteTree(RegRoot::LocalMachine, key);
    return 1;
}

int32_t recordInstallLanguage(Registry& reg, int32_t rootNumber, uint16_t systemLanguage,
                              const std::function<void()>& refused) {
    const std::string root = installRoot(rootNumber);
    if (root.empty()) return 0;
    const std::string key = root + "\\Inst";
    if (!reg.keyExists(RegRoot::LocalMachine, key) ||
        !regWriteDword(reg, RegRoot::LocalMachine, key, "InstLang", systemLanguage == 1028 ? 1 : 0)) {
        refused();
        return 0;
    }
    return 1;
}

}  // namespace kv
