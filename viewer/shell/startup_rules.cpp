#include "viewer/shell/startup_rules.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "runtime/halvex_api.h"

namespace kv {

std::string programFolderFromCommandLine(const char* commandLine) {
    if (!commandLine) return {};
    std::string path(commandLine);
    if (!path.empty() && path[0] == '"') path.erase(0, 1);
    // An unquoted program path may still be followed by a quoted argument whose backslashes must not count.
    const size_t quote = path.find('"');
    if (quote != std::string::npos) path.resize(quote);
    const size_t slash = path.rfind('\\');
    if (slash == std::string::npos || slash >= 256) return {};
    return path.substr(0, slash);
}

std::string formatVersion(uint32_t ms, uint32_t ls) {
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d%d", static_cast<int>(ms >> 16), static_cast<int>(ms & 0xFFFF),
                  static_cast<int>(ls >> 16), static_cast<int>(ls & 0xFFFF));
    return text;
}

static bool listed(int32_t language, const std::vector<uint16_t>& languages) {
    return std::find(languages.begin(), languages.end(), language) != languages.end();
}

uint16_t initialLanguage(uint16_t systemLanguage, const std::vector<uint16_t>& dialogLanguages) {
    return listed(systemLanguage, dialogLanguages) ? systemLanguage : 1033;
}

uint16_t applySavedLanguage(uint16_t current, int32_t saved, const std::vector<uint16_t>& dialogLanguages) {
    return listed(saved, dialogLanguages) ? static_cast<uint16_t>(saved) : current;
}

std::string commandLineFileName(const char* tail) {
    std::string name;
    if (!tail) return name;
    for (const char* p = tail; *p; ++p)
        if (*p != '"') name += *p;
    return name;
}

std::vector<DeviceChoice> freeDevices(const uint8_t* table, const SlotNamer& name) {
    std::vector<DeviceChoice> list;
    if (!table) return list;
    for (int slot = 0; slot < kKvSlotCount; ++slot) {
        const uint8_t* rec = table + slot * kKvSlotBytes;
        const uint32_t kind = rec[0] | rec[1] << 8 | rec[2] << 16 | static_cast<uint32_t>(rec[3]) << 24;
        if (!(kind & 0x100)) continue;
        std::string model, iface;
        name(rec, 0, model);
        name(rec, 1, iface);
        list.push_back(DeviceChoice{model + " on " + iface, slot});
    }
    return list;
}

int automaticDeviceChoice(const std::vector<DeviceChoice>& list) {
    if (list.empty()) return 0;
    if (list.size() == 1) return list[0].slot;
    return kChooseDevice;
}

}  // namespace kv
