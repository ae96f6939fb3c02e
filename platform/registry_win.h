// The real registry behind the seam (Win32 only).
#pragma once

#include "platform/registry.h"

namespace kv {

class WinRegistry : public Registry {
public:
    bool keyExists(RegRoot root, const std::string& path) override;
    bool createKey(RegRoot root, const std::string& path, const std::string& className) override;
    bool readValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) override;
    bool writeValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                    const void* data, size_t size) override;
    bool deleteValue(RegRoot root, const std::string& path, const std::string& name) override;
    bool deleteTree(RegRoot root, const std::string& path) override;
    std::vector<std::string> subkeys(RegRoot root, const std::string& path) override;
    std::vector<std::string> valueNames(RegRoot root, const std::string& path) override;
};

// The process's one instance.
WinRegistry& winRegistry();

}  // namespace kv
