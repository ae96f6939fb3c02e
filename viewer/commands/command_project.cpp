#include "viewer/commands/command_project.h"

namespace kv {

const char* const kCommandSetValue = "Command Set";

namespace {
constexpr RegRoot kRoot = RegRoot::LocalMachine;
constexpr size_t kMaxSetName = 200;
}  // namespace

bool validCommandSetName(const std::string& name) {
    if (name.empty() || name.size() > kMaxSetName || name == "." || name == "..") return false;
    for (unsigned char c : name)
        if (c < 32 || std::string("\\/:*?\"<>|").find(static_cast<char>(c)) != std::string::npos) return false;
    return true;
}

bool writeCommandSetProject(Registry& reg, const std::string& projectKey, const std::string& setName) {
    if (!reg.keyExists(kRoot, projectKey) && !reg.createKey(kRoot, projectKey, "")) return false;
    std::vector<uint8_t> data(setName.begin(), setName.end());
    data.push_back(0);
    return reg.writeValue(kRoot, projectKey, kCommandSetValue, kRegSz, data.data(), data.size());
}

std::string readCommandSetProject(Registry& reg, const std::string& projectKey) {
    RegValue v;
    if (!reg.readValue(kRoot, projectKey, kCommandSetValue, v) || v.type != kRegSz) return std::string();
    std::string name(v.data.begin(), v.data.end());
    const size_t nul = name.find('\0');
    if (nul != std::string::npos) name.resize(nul);
    return validCommandSetName(name) ? name : std::string();
}

}  // namespace kv
