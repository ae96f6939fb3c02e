#include "platform/shared_section_win.h"

#include <windows.h>

#include <cstring>

namespace kv {
namespace {

class WinSection : public SharedSection {
public:
    WinSection(HANDLE mapping, uint8_t* view, size_t size, bool created)
        : mapping_(mapping), view_(view), size_(size), created_(created) {}
    ~WinSection() override {
        UnmapViewOfFile(view_);
        CloseHandle(mapping_);
    }
    uint8_t* data() override { return view_; }
    size_t size() const override { return size_; }
    bool created() const override { return created_; }

private:
    HANDLE mapping_;
    uint8_t* view_;
    size_t size_;
    bool created_;
};

class WinSections : public SharedSections {
public:
    std::unique_ptr<SharedSection> open(const std::string& name, size_t size) override {
        if (size == 0) return nullptr;
        HANDLE mapping = CreateFileMappingA(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                            static_cast<DWORD>(size), name.c_str());
        if (!mapping) return nullptr;
        bool created = GetLastError() != ERROR_ALREADY_EXISTS;
        void* view = MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, 0);
        if (!view) {
            CloseHandle(mapping);
            return nullptr;
        }
        // An existing section keeps the size its creator gave it; the view shows how much that is.
        MEMORY_BASIC_INFORMATION info{};
        size_t mapped = size;
        if (VirtualQuery(view, &info, sizeof info) == sizeof info && info.RegionSize < mapped) mapped = info.RegionSize;
        if (created) std::memset(view, 0, mapped);
        return std::make_unique<WinSection>(mapping, static_cast<uint8_t*>(view), mapped, created);
    }
};

}  // namespace

SharedSections& winSharedSections() {
    static WinSections sections;
    return sections;
}

}  // namespace kv
