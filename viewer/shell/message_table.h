// Message and command tables: every window and dialog procedure of the viewer dispatches through a
// table of (message, handler) pairs, and WM_COMMAND through a second table of (control id, handler)
// pairs. The tables are data; the walk is here, the default procedures are the Win32 shell's.
#pragma once

#include <cstdint>

namespace kv {

using WinHandle = void*;
using MsgWParam = uintptr_t;
using MsgLParam = intptr_t;

using MessageHandler = int32_t (*)(WinHandle window, uint32_t message, MsgWParam wParam, MsgLParam lParam);
using CommandHandler = int32_t (*)(WinHandle window, uint32_t commandId, uint32_t notifyCode, MsgLParam lParam);

// What runs when no entry matches.
enum class DefaultProc : int32_t { None = 0, Window = 1, Dialog = 2, MdiChild = 3 };

struct MessageEntry {
    uint32_t message;
    MessageHandler handler;
};

struct CommandEntry {
    uint32_t id;
    CommandHandler handler;
};

struct MessageTable {
    int32_t count;
    const MessageEntry* entries;
    DefaultProc defaultKind;
};

struct CommandTable {
    int32_t count;
    const CommandEntry* entries;
    DefaultProc defaultKind;
};

// The first entry whose message (or command id: the low 16 bits of wParam) matches, or null.
const MessageEntry* findMessage(const MessageTable& table, uint32_t message);
const CommandEntry* findCommand(const CommandTable& table, MsgWParam wParam);

template <int N>
constexpr MessageTable makeTable(const MessageEntry (&entries)[N], DefaultProc kind) {
    return MessageTable{N, entries, kind};
}
template <int N>
constexpr CommandTable makeTable(const CommandEntry (&entries)[N], DefaultProc kind) {
    return CommandTable{N, entries, kind};
}

}  // namespace kv
