// The window-free decisions of start-up: program folder from the raw command line, version text,
// language choice, the file named on the command line, and the Select Device list with the choice
// made without showing the dialog.
#include "viewer/shell/startup_rules.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"

namespace kv {
namespace {

// ---------------------------------------------------------------------------------------------
// Program folder

TEST(ProgramFolder, QuotedProgramPathWithArguments) {
    EXPECT_EQ(programFolderFromCommandLine("\"C:\\Program Files\\KV\\KV.exe\" file.kvw"), "C:\\Program Files\\KV");
    // Backslashes in an argument after the closing quote do not move the folder.
    EXPECT_EQ(programFolderFromCommandLine("\"C:\\Program Files\\KV\\KV.exe\" \"D:\\data\\run 1.kvw\""),
              "C:\\Program Files\\KV");
    EXPECT_EQ(programFolderFromCommandLine("\"C:\\KV\\KV.exe\" D:\\data\\x.kvw"), "C:\\KV");
}

TEST(ProgramFolder, UnquotedProgramPath) {
    EXPECT_EQ(programFolderFromCommandLine("C:\\KV\\KV.exe"), "C:\\KV");
    EXPECT_EQ(programFolderFromCommandLine("C:\\Tools\\Logic\\KV.EXE "), "C:\\Tools\\Logic");
    // A drive-root program keeps the drive as its folder.
    EXPECT_EQ(programFolderFromCommandLine("C:\\KV.exe"), "C:");
}

TEST(ProgramFolder, UnquotedProgramPathFollowedByQuotedArgument) {
    // The text is cut at the first double quote even when the program path itself was not quoted,
    // so the backslashes of a quoted file argument are never taken for the program's.
    EXPECT_EQ(programFolderFromCommandLine("C:\\KV\\KV.exe \"D:\\my data\\x.kvw\""), "C:\\KV");
    EXPECT_EQ(programFolderFromCommandLine("KV.exe \"D:\\my data\\x.kvw\""), "");
}

TEST(ProgramFolder, NoBackslashLeavesTheFolderEmpty) {
    EXPECT_EQ(programFolderFromCommandLine("KV.exe"), "");
    EXPECT_EQ(programFolderFromCommandLine("\"KV.exe\" C:\\x\\y.kvw"), "");
    EXPECT_EQ(programFolderFromCommandLine(""), "");
    EXPECT_EQ(programFolderFromCommandLine("\""), "");
    EXPECT_EQ(programFolderFromCommandLine(nullptr), "");
    // Forward slashes are not folder separators here.
    EXPECT_EQ(programFolderFromCommandLine("C:/KV/KV.exe"), "");
}

TEST(ProgramFolder, QuoteWithoutItsPartnerTakesTheWholeRest) {
    EXPECT_EQ(programFolderFromCommandLine("\"C:\\KV dir\\KV.exe"), "C:\\KV dir");
}

TEST(ProgramFolder, FolderLengthLimit) {
    const auto folderOf = [](size_t n) { return "C:\\" + std::string(n - 3, 'f'); };
    const std::string f255 = folderOf(255), f256 = folderOf(256), f254 = folderOf(254);
    ASSERT_EQ(f255.size(), 255u);
    EXPECT_EQ(programFolderFromCommandLine((f254 + "\\KV.exe").c_str()), f254);
    EXPECT_EQ(programFolderFromCommandLine((f255 + "\\KV.exe").c_str()), f255);
    EXPECT_EQ(programFolderFromCommandLine(("\"" + f255 + "\\KV.exe\" a.kvw").c_str()), f255);
    EXPECT_EQ(programFolderFromCommandLine((f256 + "\\KV.exe").c_str()), "");
    EXPECT_EQ(programFolderFromCommandLine(("\"" + f256 + "\\KV.exe\"").c_str()), "");
    EXPECT_EQ(programFolderFromCommandLine((folderOf(600) + "\\KV.exe").c_str()), "");
    // Only the folder counts, not the whole command line: a long argument after the quote is fine.
    EXPECT_EQ(programFolderFromCommandLine(("\"C:\\KV\\KV.exe\" " + std::string(400, 'a')).c_str()), "C:\\KV");
}

// ---------------------------------------------------------------------------------------------
// Version text

TEST(StartupVersion, FourWordsWithoutSeparatorBetweenTheLastTwo) {
    EXPECT_EQ(formatVersion(0x00030002, 0x00000001), "3.2.01");
    EXPECT_EQ(formatVersion(0x0001000A, 0x000B000C), "1.10.1112");
    EXPECT_EQ(formatVersion(0, 0), "0.0.00");
    // Each word is unsigned 16 bits, never printed negative.
    EXPECT_EQ(formatVersion(0xFFFF8000, 0x8000FFFF), "65535.32768.3276865535");
}

// ---------------------------------------------------------------------------------------------
// Language

const std::vector<uint16_t> kDialogLanguages = {1033, 1028, 2052};  // English, Trad. and Simpl. Chinese

TEST(StartupLanguage, SystemLanguageIsKeptWhenTheDialogsExistInIt) {
    EXPECT_EQ(initialLanguage(1028, kDialogLanguages), 1028);
    EXPECT_EQ(initialLanguage(2052, kDialogLanguages), 2052);
    EXPECT_EQ(initialLanguage(1033, kDialogLanguages), 1033);
}

TEST(StartupLanguage, UnlistedSystemLanguageFallsBackToUsEnglish) {
    EXPECT_EQ(initialLanguage(1041, kDialogLanguages), 1033);  // Japanese
    EXPECT_EQ(initialLanguage(2057, kDialogLanguages), 1033);  // English (UK) is another language
    EXPECT_EQ(initialLanguage(1028, {}), 1033);
}

TEST(StartupLanguage, SavedLanguageReplacesOnlyWhenListed) {
    EXPECT_EQ(applySavedLanguage(1033, 2052, kDialogLanguages), 2052);
    EXPECT_EQ(applySavedLanguage(2052, 1033, kDialogLanguages), 1033);
    EXPECT_EQ(applySavedLanguage(1028, 1041, kDialogLanguages), 1028);
    EXPECT_EQ(applySavedLanguage(2052, 0, kDialogLanguages), 2052);
}

TEST(StartupLanguage, MissingOrOutOfRangeSavedValueIsIgnored) {
    // -1 means no saved value.
    EXPECT_EQ(applySavedLanguage(1028, -1, kDialogLanguages), 1028);
    // A saved value beyond 16 bits is not a language even when its low word is one.
    EXPECT_EQ(applySavedLanguage(1028, 0x10000 + 1033, kDialogLanguages), 1028);
    EXPECT_EQ(applySavedLanguage(1028, -65536 + 2052, kDialogLanguages), 1028);
}

TEST(StartupLanguage, SystemThenSavedChoiceTogether) {
    // Japanese system, Simplified Chinese saved: English first, then the saved choice.
    const uint16_t first = initialLanguage(1041, kDialogLanguages);
    EXPECT_EQ(applySavedLanguage(first, 2052, kDialogLanguages), 2052);
    // Japanese system and Japanese saved: stays English.
    EXPECT_EQ(applySavedLanguage(first, 1041, kDialogLanguages), 1033);
}

// ---------------------------------------------------------------------------------------------
// Command-line file

TEST(StartupCommandLine, QuotesAreRemovedAndTheRestKept) {
    EXPECT_EQ(commandLineFileName("\"C:\\a b\\x.kvw\""), "C:\\a b\\x.kvw");
    EXPECT_EQ(commandLineFileName("C:\\data\\x.kvw"), "C:\\data\\x.kvw");
    EXPECT_EQ(commandLineFileName("C:\\\"odd\"\\x.kvw"), "C:\\odd\\x.kvw");
}

TEST(StartupCommandLine, EmptyTailNamesNoFile) {
    EXPECT_EQ(commandLineFileName(""), "");
    EXPECT_EQ(commandLineFileName(nullptr), "");
    EXPECT_EQ(commandLineFileName("\"\""), "");
}

// ---------------------------------------------------------------------------------------------
// Select Device list

// A device table as the runtime returns it: 140 records of 64 bytes, kind word little-endian first.
struct DeviceTable {
    std::vector<uint8_t> bytes = std::vector<uint8_t>(kKvSlotCount * kKvSlotBytes, 0);

    void setKind(int slot, uint32_t kind) {
        uint8_t* rec = &bytes[static_cast<size_t>(slot) * kKvSlotBytes];
        for (int i = 0; i < 4; ++i) rec[i] = static_cast<uint8_t>(kind >> (8 * i));
    }
    void setRawKind(int slot, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
        uint8_t* rec = &bytes[static_cast<size_t>(slot) * kKvSlotBytes];
        rec[0] = b0, rec[1] = b1, rec[2] = b2, rec[3] = b3;
    }
    const uint8_t* data() const { return bytes.data(); }
};

// Names each slot after its slot number, and records every call, so that the address handed
// over can be checked against the slot it belongs to.
struct RecordingNamer {
    explicit RecordingNamer(const uint8_t* table) : base(table) {}
    const uint8_t* base;
    struct Call {
        long offset;
        int what;
    };
    std::vector<Call> calls;

    SlotNamer namer() {
        return [this](const uint8_t* slot, int what, std::string& name) {
            const long offset = static_cast<long>(slot - base);
            calls.push_back({offset, what});
            const long index = offset / kKvSlotBytes;
            name = (what == 0 ? "KV-" : "Port") + std::to_string(index);
            return true;
        };
    }
};

TEST(StartupDevices, FreeSlotsAreFoundAcrossEmptySlotsUpToTheLast) {
    DeviceTable t;
    t.setKind(0, 0x100);
    t.setKind(7, 0x101);
    t.setKind(139, 0x80000100);
    RecordingNamer n(t.data());
    const std::vector<DeviceChoice> list = freeDevices(t.data(), n.namer());
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].slot, 0);
    EXPECT_EQ(list[1].slot, 7);
    EXPECT_EQ(list[2].slot, 139);
    EXPECT_EQ(list[0].text, "KV-0 on Port0");
    EXPECT_EQ(list[1].text, "KV-7 on Port7");
    EXPECT_EQ(list[2].text, "KV-139 on Port139");
}

TEST(StartupDevices, OnlyBit8OfTheLittleEndianKindWordMarksAFreeSlot) {
    DeviceTable t;
    t.setKind(1, 0x001);                    // kind without the free mark
    t.setKind(2, 0x200);                    // neighbouring bits
    t.setKind(3, 0x0FF);
    t.setKind(4, 0xFFFFFEFF);               // every bit but the mark
    t.setRawKind(5, 0x00, 0x00, 0x01, 0x00);  // 0x100 stored big-endian
    t.setRawKind(6, 0x01, 0x00, 0x00, 0x00);
    t.setRawKind(9, 0x00, 0x01, 0x00, 0x00);  // 0x100 little-endian: the only free slot
    // Bytes beyond the kind word carry no mark.
    t.bytes[10 * kKvSlotBytes + 4 + 1] = 0x01;
    t.bytes[11 * kKvSlotBytes + 63] = 0xFF;
    RecordingNamer n(t.data());
    const std::vector<DeviceChoice> list = freeDevices(t.data(), n.namer());
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].slot, 9);
}

TEST(StartupDevices, NamerGetsTheSlotAddressForModelThenInterface) {
    DeviceTable t;
    t.setKind(3, 0x100);
    t.setKind(120, 0x100);
    RecordingNamer n(t.data());
    freeDevices(t.data(), n.namer());
    ASSERT_EQ(n.calls.size(), 4u);
    EXPECT_EQ(n.calls[0].offset, 3 * kKvSlotBytes);
    EXPECT_EQ(n.calls[0].what, 0);
    EXPECT_EQ(n.calls[1].offset, 3 * kKvSlotBytes);
    EXPECT_EQ(n.calls[1].what, 1);
    EXPECT_EQ(n.calls[2].offset, 120 * kKvSlotBytes);
    EXPECT_EQ(n.calls[2].what, 0);
    EXPECT_EQ(n.calls[3].offset, 120 * kKvSlotBytes);
    EXPECT_EQ(n.calls[3].what, 1);
}

TEST(StartupDevices, TextIsModelOnInterface) {
    DeviceTable t;
    t.setKind(12, 0x100);
    const std::vector<DeviceChoice> list =
        freeDevices(t.data(), [](const uint8_t*, int what, std::string& name) {
            name = what == 0 ? "KV1000" : "USB";
            return true;
        });
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].text, "KV1000 on USB");
    EXPECT_EQ(list[0].slot, 12);
}

TEST(StartupDevices, EmptyOrMissingTableListsNothing) {
    DeviceTable t;
    RecordingNamer n(t.data());
    EXPECT_TRUE(freeDevices(t.data(), n.namer()).empty());
    EXPECT_TRUE(n.calls.empty());
    EXPECT_TRUE(freeDevices(nullptr, n.namer()).empty());
}

TEST(StartupDevices, EverySlotFreeListsAll140InOrder) {
    DeviceTable t;
    for (int s = 0; s < kKvSlotCount; ++s) t.setKind(s, 0x100);
    RecordingNamer n(t.data());
    const std::vector<DeviceChoice> list = freeDevices(t.data(), n.namer());
    ASSERT_EQ(list.size(), 140u);
    for (int s = 0; s < kKvSlotCount; ++s) EXPECT_EQ(list[s].slot, s);
}

TEST(StartupDevices, AutomaticChoice) {
    EXPECT_EQ(automaticDeviceChoice({}), 0);
    EXPECT_EQ(automaticDeviceChoice({DeviceChoice{"KV on USB", 7}}), 7);
    EXPECT_EQ(automaticDeviceChoice({DeviceChoice{"KV on USB", 0}}), 0);
    EXPECT_EQ(automaticDeviceChoice({DeviceChoice{"a", 3}, DeviceChoice{"b", 9}}), kChooseDevice);
    EXPECT_EQ(automaticDeviceChoice({DeviceChoice{"a", 1}, DeviceChoice{"b", 2}, DeviceChoice{"c", 3}}),
              kChooseDevice);
    // The "must choose" value is neither a slot nor the cancel result -1.
    EXPECT_LT(kChooseDevice, -1);
}

TEST(StartupDevices, SingleFreeSlotIsChosenWithoutTheDialog) {
    DeviceTable t;
    t.setKind(0, 0x001);  // occupied
    t.setKind(7, 0x100);
    RecordingNamer n(t.data());
    EXPECT_EQ(automaticDeviceChoice(freeDevices(t.data(), n.namer())), 7);

    t.setKind(139, 0x100);
    EXPECT_EQ(automaticDeviceChoice(freeDevices(t.data(), n.namer())), kChooseDevice);
}

}  // namespace
}  // namespace kv
