// Resources of a module by type and numeric id (the runtime libraries' FPGA images), Win32 only.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace kv {

// The bytes of resource `id` of `type` in `module`; false when it is missing or empty.
bool loadModuleResource(HMODULE module, const char* type, int id, std::vector<uint8_t>& out);

}  // namespace kv
