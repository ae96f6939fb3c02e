// Message and command dispatch: which entry a message or WM_COMMAND reaches, so that a duplicated
// entry, a notification code in the high word or an entry past the count never changes the handler.
#include "viewer/shell/message_table.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace kv {
namespace {

// Message numbers as Windows defines them (the portable core has no <windows.h>).
constexpr uint32_t kWmSize = 0x0005;
constexpr uint32_t kWmClose = 0x0010;
constexpr uint32_t kWmTimer = 0x0113;
constexpr uint32_t kWmUserRepaint = 0x0464;
constexpr uint32_t kWmUserSetup = 0x0466;

// Handlers that tell by their result which of them ran.
int32_t msgA(WinHandle, uint32_t, MsgWParam, MsgLParam) { return 1; }
int32_t msgB(WinHandle, uint32_t, MsgWParam, MsgLParam) { return 2; }
int32_t msgC(WinHandle, uint32_t, MsgWParam, MsgLParam) { return 3; }
int32_t cmdA(WinHandle, uint32_t, uint32_t, MsgLParam) { return 11; }
int32_t cmdB(WinHandle, uint32_t, uint32_t, MsgLParam) { return 12; }
int32_t cmdC(WinHandle, uint32_t, uint32_t, MsgLParam) { return 13; }

MsgWParam commandWParam(uint32_t notifyCode, uint32_t id) {
    return static_cast<MsgWParam>((notifyCode & 0xFFFF) << 16 | (id & 0xFFFF));
}

int32_t runMessage(const MessageTable& t, uint32_t message) {
    const MessageEntry* e = findMessage(t, message);
    return e ? e->handler(nullptr, message, 0, 0) : -1;
}

int32_t runCommand(const CommandTable& t, MsgWParam wParam) {
    const CommandEntry* e = findCommand(t, wParam);
    return e ? e->handler(nullptr, e->id, static_cast<uint32_t>(wParam >> 16 & 0xFFFF), 0) : -1;
}

TEST(MessageDispatch, FirstMatchingEntryWinsOverLaterDuplicates) {
    static const MessageEntry entries[] = {
        {kWmSize, msgA}, {kWmClose, msgB}, {kWmSize, msgC}, {kWmClose, msgC},
    };
    const MessageTable t = makeTable(entries, DefaultProc::Window);
    EXPECT_EQ(findMessage(t, kWmSize), &entries[0]);
    EXPECT_EQ(findMessage(t, kWmClose), &entries[1]);
    EXPECT_EQ(runMessage(t, kWmSize), 1);
    EXPECT_EQ(runMessage(t, kWmClose), 2);
}

TEST(MessageDispatch, MatchesTheLastEntryAndLeavesUnknownMessagesToTheDefault) {
    static const MessageEntry entries[] = {
        {kWmSize, msgA}, {kWmTimer, msgB}, {kWmUserSetup, msgC},
    };
    const MessageTable t = makeTable(entries, DefaultProc::Dialog);
    EXPECT_EQ(findMessage(t, kWmUserSetup), &entries[2]);
    EXPECT_EQ(findMessage(t, kWmClose), nullptr);
    EXPECT_EQ(findMessage(t, kWmUserRepaint), nullptr);
    // Message 0 (WM_NULL) is not a wildcard.
    EXPECT_EQ(findMessage(t, 0), nullptr);
    // Only exact equality counts: a message differing in a high bit is another message.
    EXPECT_EQ(findMessage(t, kWmSize | 0x10000u), nullptr);
}

TEST(MessageDispatch, WalksOnlyTheCountedEntries) {
    static const MessageEntry entries[] = {{kWmSize, msgA}, {kWmClose, msgB}};
    const MessageTable one{1, entries, DefaultProc::None};
    EXPECT_EQ(findMessage(one, kWmSize), &entries[0]);
    EXPECT_EQ(findMessage(one, kWmClose), nullptr);
    const MessageTable none{0, entries, DefaultProc::None};
    EXPECT_EQ(findMessage(none, kWmSize), nullptr);
}

TEST(MessageDispatch, MakeTableRecordsCountAndDefaultKind) {
    static const MessageEntry entries[] = {{kWmSize, msgA}, {kWmClose, msgB}, {kWmTimer, msgC}};
    const MessageTable t = makeTable(entries, DefaultProc::MdiChild);
    EXPECT_EQ(t.count, 3);
    EXPECT_EQ(t.entries, entries);
    EXPECT_EQ(t.defaultKind, DefaultProc::MdiChild);
    // The kinds keep the numbers the tables are documented with.
    EXPECT_EQ(static_cast<int32_t>(DefaultProc::None), 0);
    EXPECT_EQ(static_cast<int32_t>(DefaultProc::Window), 1);
    EXPECT_EQ(static_cast<int32_t>(DefaultProc::Dialog), 2);
    EXPECT_EQ(static_cast<int32_t>(DefaultProc::MdiChild), 3);
}

TEST(CommandDispatch, CommandIdIsTheLowWordAndTheNotificationCodeIsIgnored) {
    static const CommandEntry entries[] = {{1012, cmdA}, {1015, cmdB}, {1043, cmdC}};
    const CommandTable t = makeTable(entries, DefaultProc::None);
    EXPECT_EQ(findCommand(t, commandWParam(0, 1012)), &entries[0]);
    // BN_CLICKED (0), CBN_SELCHANGE (1), CBN_DROPDOWN (7) and an all-ones code all reach the same entry.
    for (uint32_t code : {0u, 1u, 7u, 0xFFFFu})
        EXPECT_EQ(findCommand(t, commandWParam(code, 1043)), &entries[2]) << "notification " << code;
    // A high word that happens to equal another table id must not select that entry.
    EXPECT_EQ(findCommand(t, commandWParam(1012, 1015)), &entries[1]);
    EXPECT_EQ(runCommand(t, commandWParam(1012, 1015)), 12);
    // A wParam whose high word alone names an id is not that command.
    EXPECT_EQ(findCommand(t, commandWParam(1012, 0)), nullptr);
}

TEST(CommandDispatch, BitsAboveTheLowWordNeverFormPartOfTheId) {
    static const CommandEntry entries[] = {{0x0001, cmdA}, {0x03F4, cmdB}};
    const CommandTable t = makeTable(entries, DefaultProc::None);
    // 0x103F4 would be id 0x03F4 with notification 1, not an unknown id.
    EXPECT_EQ(findCommand(t, static_cast<MsgWParam>(0x103F4)), &entries[1]);
    EXPECT_EQ(findCommand(t, static_cast<MsgWParam>(0xFFFF0001u)), &entries[0]);
    if (sizeof(MsgWParam) > 4) {
        // 64-bit builds: the upper half of wParam is not part of the command either.
        const uint64_t wide = (uint64_t{0xABCD} << 32) | 0x03F4;
        EXPECT_EQ(findCommand(t, static_cast<MsgWParam>(wide)), &entries[1]);
    }
}

TEST(CommandDispatch, FirstMatchWinsAndUnknownIdsGoToTheDefault) {
    static const CommandEntry entries[] = {{1005, cmdA}, {1006, cmdB}, {1005, cmdC}};
    const CommandTable t = makeTable(entries, DefaultProc::None);
    EXPECT_EQ(findCommand(t, commandWParam(0, 1005)), &entries[0]);
    EXPECT_EQ(runCommand(t, commandWParam(0, 1005)), 11);
    EXPECT_EQ(findCommand(t, commandWParam(0, 1095)), nullptr);
    EXPECT_EQ(findCommand(t, commandWParam(0, 0)), nullptr);

    const CommandTable truncated{1, entries, DefaultProc::None};
    EXPECT_EQ(findCommand(truncated, commandWParam(0, 1006)), nullptr);
}

}  // namespace
}  // namespace kv
