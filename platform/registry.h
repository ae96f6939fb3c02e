// Registry access seam: the viewer's settings and projects, the runtime's interface switches and
// the scope calibration all live in the registry. Win32 code uses the real registry; native tests
// use an in-memory tree with the same semantics.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kv {

enum class RegRoot { LocalMachine, CurrentUser, ClassesRoot };

// Value types with the numbers the registry itself uses.
enum : uint32_t { kRegNone = 0, kRegSz = 1, kRegBinary = 3, kRegDword = 4 };

struct RegValue {
    uint32_t type = kRegNone;
    std::vector<uint8_t> data;
};

class Registry {
public:
    virtual ~Registry() = default;
    virtual bool keyExists(RegRoot root, const std::string& path) = 0;
    // Creates the key (and its parents) if needed; the class string is recorded on creation only.
    virtual bool createKey(RegRoot root, const std::string& path, const std::string& className) = 0;
    virtual bool readValue(RegRoot root, const std::string& path, const std::string& name, RegValue& out) = 0;
    // The key must exist.
    virtual bool writeValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                            const void* data, size_t size) = 0;
    virtual bool deleteValue(RegRoot root, const std::string& path, const std::string& name) = 0;
    // Deletes the key with all its subkeys and values; true when it is gone afterwards.
    virtual bool deleteTree(RegRoot root, const std::string& path) = 0;
    virtual std::vector<std::string> subkeys(RegRoot root, const std::string& path) = 0;
    virtual std::vector<std::string> valueNames(RegRoot root, const std::string& path) = 0;
};

// A registry held in memory: key paths compare without regard to case, as the real one does.
class MemoryRegistry : public Registry {
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

    // Fails every later operation, as a registry that refuses access would.
    bool failAll = false;

private:
    struct Key {
        std::string name;
        std::string className;
        std::map<std::string, RegValue> values;  // lower-case name -> value
        std::map<std::string, std::string> valueCase;
        std::map<std::string, Key> children;     // lower-case name -> key
    };
    Key* find(RegRoot root, const std::string& path, bool create, const std::string& className);
    Key roots_[3];
};

// Little helpers for DWORD values shared by every user of the seam.
bool regReadDword(Registry& reg, RegRoot root, const std::string& path, const std::string& name, uint32_t& out);
bool regWriteDword(Registry& reg, RegRoot root, const std::string& path, const std::string& name, uint32_t value);

}  // namespace kv
