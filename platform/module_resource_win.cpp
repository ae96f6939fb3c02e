#include "platform/module_resource_win.h"

namespace kv {

bool loadModuleResource(HMODULE module, const char* type, int id, std::vector<uint8_t>& out) {
    HRSRC res = FindResourceA(module, MAKEINTRESOURCEA(id), type);
    if (!res) return false;
    HGLOBAL mem = LoadResource(module, res);
    const DWORD size = SizeofResource(module, res);
    const void* data = mem ? LockResource(mem) : nullptr;
    if (!data || size == 0) return false;
    const auto* bytes = static_cast<const uint8_t*>(data);
    out.assign(bytes, bytes + size);
    return true;
}

}  // namespace kv
