#include "viewer/shell/message_table.h"

namespace kv {

const MessageEntry* findMessage(const MessageTable& table, uint32_t message) {
    for (int32_t i = 0; i < table.count; ++i)
        if (table.entries[i].message == message) return &table.entries[i];
    return nullptr;
}

const CommandEntry* findCommand(const CommandTable& table, MsgWParam wParam) {
    const uint32_t id = static_cast<uint32_t>(wParam & 0xFFFF);
    for (int32_t i = 0; i < table.count; ++i)
        if (table.entries[i].id == id) return &table.entries[i];
    return nullptr;
}

}  // namespace kv
