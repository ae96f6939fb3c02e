#include "platform/registry.h"

#include <cctype>
#include <cstring>

namespace kv {
namespace {

std::string lower(const std::string& s) {
    std::string r(s);
    for (char& c : r) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::vector<std::string> splitPath(const std::string& path) {
    std::vector<std::string> parts;
    std::string cur;
    for (char c : path) {
        if (c == '\\' || c == '/') {
            if (!cur.empty()) parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty()) parts.push_back(cur);
    return parts;
}

}  // namespace

MemoryRegistry::Key* MemoryRegistry::find(RegRoot root, const std::string& path, bool create,
                                          const std::string& className) {
    if (failAll) return nullptr;
    Key* k = &roots_[static_cast<int>(root)];
    for (const std::string& part : splitPath(path)) {
        auto it = k->children.find(lower(part));
        if (it == k->children.end()) {
            if (!create) return nullptr;
            Key child;
            child.name = part;
            child.className = className;
            it = k->children.emplace(lower(part), std::move(child)).first;
        }
        k = &it->second;
    }
    return k;
}

bool MemoryRegistry::keyExists(RegRoot root, const std::string& path) { return find(root, path, false, "") != nullptr; }

bool MemoryRegistry::createKey(RegRoot root, const std::string& path, const std::string& className) {
    return find(root, path, true, className) != nullptr;
}

bool MemoryRegistry::readValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) {
    Key* k = find(root, path, false, "");
    if (!k) return false;
    auto it = k->values.find(lower(name));
    if (it == k->values.end()) return false;
    out = it->second;
    return true;
}

bool MemoryRegistry::writeValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                                const void* data, size_t size) {
    Key* k = find(root, path, false, "");
    if (!k) return false;
    RegValue v;
    v.type = type;
    v.data.resize(size);
    if (size) std::memcpy(v.data.data(), data, size);
    k->values[lower(name)] = std::move(v);
    k->valueCase[lower(name)] = name;
    return true;
}

bool MemoryRegistry::deleteValue(RegRoot root, const std::string& path, const std::string& name) {
    Key* k = find(root, path, false, "");
    if (!k) return false;
    k->valueCase.erase(lower(name));
    return k->values.erase(lower(name)) != 0;
}

bool MemoryRegistry::deleteTree(RegRoot root, const std::string& path) {
    if (failAll) return false;
    std::vector<std::string> parts = splitPath(path);
    if (parts.empty()) return false;
    std::string leaf = parts.back();
    parts.pop_back();
    std::string parentPath;
    for (const std::string& p : parts) parentPath += p + "\\";
    Key* parent = find(root, parentPath, false, "");
    if (parent) parent->children.erase(lower(leaf));
    return true;
}

std::vector<std::string> MemoryRegistry::subkeys(RegRoot root, const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = find(root, path, false, ""))
        for (const auto& c : k->children) names.push_back(c.second.name);
    return names;
}

std::vector<std::string> MemoryRegistry::valueNames(RegRoot root, const std::string& path) {
    std::vector<std::string> names;
    if (Key* k = find(root, path, false, ""))
        for (const auto& v : k->valueCase) names.push_back(v.second);
    return names;
}

bool regReadDword(Registry& reg, RegRoot root, const std::string& path, const std::string& name, uint32_t& out) {
    RegValue v;
    if (!reg.readValue(root, path, name, v) || v.type != kRegDword || v.data.size() != 4) return false;
    out = static_cast<uint32_t>(v.data[0]) | static_cast<uint32_t>(v.data[1]) << 8 |
          static_cast<uint32_t>(v.data[2]) << 16 | static_cast<uint32_t>(v.data[3]) << 24;
    return true;
}

bool regWriteDword(Registry& reg, RegRoot root, const std::string& path, const std::string& name, uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return reg.writeValue(root, path, name, kRegDword, bytes, sizeof bytes);
}

}  // namespace kv
