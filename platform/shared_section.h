// Named shared-memory sections: blocks of memory that every process opening the same name sees,
// such as the USB open-device table and the runtime's device table. Win32 code installs named file
// mappings (shared_section_win.h); by default sections live in a process-local registry, shared
// between all openers inside one process, which is what native tests need.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kv {

// One mapped view. The memory stays valid while the object lives.
class SharedSection {
public:
    virtual ~SharedSection() = default;
    virtual uint8_t* data() = 0;
    virtual size_t size() const = 0;
    // True when this opening created the section (it was zero-filled by this opening).
    virtual bool created() const = 0;

    // 32-bit little-endian words at a byte offset; out-of-range offsets read 0 and write nothing.
    uint32_t word(size_t offset);
    void setWord(size_t offset, uint32_t value);
};

class SharedSections {
public:
    virtual ~SharedSections() = default;
    // Opens the section of that name, creating and zero-filling it when it does not exist yet.
    // An existing section keeps its size; nullptr on failure.
    virtual std::unique_ptr<SharedSection> open(const std::string& name, size_t size) = 0;
};

// Sections shared between the openers of one process; a section disappears with its last view,
// as a page-file backed mapping does with its last handle.
class LocalSharedSections : public SharedSections {
public:
    std::unique_ptr<SharedSection> open(const std::string& name, size_t size) override;
    // Number of sections that currently exist (for tests).
    size_t count();

private:
    std::mutex mutex_;
    std::map<std::string, std::weak_ptr<std::vector<uint8_t>>> blocks_;
};

// The process's current implementation; a LocalSharedSections until another is installed.
SharedSections& sharedSections();
// Installs an implementation (not owned). nullptr restores the process-local one.
void setSharedSections(SharedSections* sections);

}  // namespace kv
