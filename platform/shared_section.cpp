#include "platform/shared_section.h"

namespace kv {

uint32_t SharedSection::word(size_t offset) {
    if (offset > size() || size() - offset < 4) return 0;
    const uint8_t* p = data() + offset;
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void SharedSection::setWord(size_t offset, uint32_t value) {
    if (offset > size() || size() - offset < 4) return;
    uint8_t* p = data() + offset;
    for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(value >> (8 * i));
}

namespace {

class LocalSection : public SharedSection {
public:
    LocalSection(std::shared_ptr<std::vector<uint8_t>> block, bool created)
        : block_(std::move(block)), created_(created) {}
    uint8_t* data() override { return block_->data(); }
    size_t size() const override { return block_->size(); }
    bool created() const override { return created_; }

private:
    std::shared_ptr<std::vector<uint8_t>> block_;
    bool created_;
};

LocalSharedSections g_local;
SharedSections* g_sections = &g_local;

}  // namespace

std::unique_ptr<SharedSection> LocalSharedSections::open(const std::string& name, size_t size) {
    if (size == 0) return nullptr;
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = blocks_.find(name);
    if (it != blocks_.end()) {
        if (auto block = it->second.lock()) return std::make_unique<LocalSection>(block, false);
    }
    auto block = std::make_shared<std::vector<uint8_t>>(size, 0);
    blocks_[name] = block;
    return std::make_unique<LocalSection>(block, true);
}

size_t LocalSharedSections::count() {
    std::lock_guard<std::mutex> lock(mutex_);
    size_t n = 0;
    for (auto& entry : blocks_) n += entry.second.expired() ? 0 : 1;
    return n;
}

SharedSections& sharedSections() { return *g_sections; }
void setSharedSections(SharedSections* sections) { g_sections = sections ? sections : &g_local; }

}  // namespace kv
