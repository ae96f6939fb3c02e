// Halvex.dll in several processes at once, on virtual boards (HALVEX_VIRTUAL): the device table is
// one shared section, probed once; ownership passes through the free mark; the interface switches
// in the registry keep a kind from being probed. The program starts copies of itself as the
// "other" processes: "--child <check>" runs one check and reports it through the exit code.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"

namespace {

using FindDeviceFn = void*(__stdcall*)();
using HasHwFn = int(__stdcall*)(void*);
using ShutdownFn = int(__stdcall*)(int);
using GetHwInfoFn = uint32_t(__stdcall*)(int, uint32_t);

const char* const kSwitchKey = "Software\\Ombix\\KV";

struct Library {
    HMODULE module = LoadLibraryA("Halvex.dll");
    ~Library() {
        if (module) FreeLibrary(module);
    }
    template <typename F>
    F fn(const char* name) const {
        return reinterpret_cast<F>(GetProcAddress(module, name));
    }
    uint8_t* table() const { return static_cast<uint8_t*>(fn<FindDeviceFn>("KvFindDevice")()); }
    uint32_t kind(int slot) const {
        uint32_t v;
        std::memcpy(&v, table() + slot * kKvSlotBytes, 4);
        return v;
    }
    int hasHw(int slot) const { return fn<HasHwFn>("KvHasHw")(table() + slot * kKvSlotBytes); }
    int shutdown(int index) const { return fn<ShutdownFn>("KvShutdown")(index); }
};

// --- the other process ---

int childMain(const std::string& check) {
    Library lib;
    if (!lib.module || !lib.table()) return 2;
    if (check == "slot0-free") return lib.kind(0) == 0x101 ? 0 : 10;
    if (check == "slot0-free-open2") {
        // Opening slot 2 talks to its board: the exchange log of this process is known to work.
        if (lib.kind(0) != 0x101) return 10;
        return lib.hasHw(2) == 2 ? 0 : 16;
    }
    if (check == "slot0-held") {
        if (lib.kind(0) != 0x001) return 11;  // probed, held elsewhere: no free mark
        return lib.hasHw(0) == -1 ? 0 : 12;
    }
    if (check == "no-usb") {
        for (int i = 0; i < 128; ++i)
            if (lib.kind(i) != 0) return 13;
        return lib.kind(137) == 0x104 ? 0 : 14;
    }
    if (check == "usb-refused") return lib.hasHw(0) == -1 ? 0 : 15;
    return 3;
}

// --- the test side ---

std::string selfPath() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    return path;
}

std::string tempFile(const char* name) {
    char dir[MAX_PATH];
    GetTempPathA(sizeof dir, dir);
    std::string path = std::string(dir) + name;
    DeleteFileA(path.c_str());
    return path;
}

// Runs "<this program> --child <check>" with the current environment; its exit code.
DWORD runChild(const std::string& check) {
    std::string cmd = "\"" + selfPath() + "\" --child " + check;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return 1000;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 1001;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

std::vector<std::string> readLines(const std::string& path) {
    std::vector<std::string> lines;
    std::ifstream in(path);
    for (std::string l; std::getline(in, l);) lines.push_back(l);
    return lines;
}

size_t linesOf(const std::vector<std::string>& lines, const std::string& board) {
    size_t n = 0;
    for (const std::string& l : lines)
        if (l.rfind(board + ":", 0) == 0) ++n;
    return n;
}

// Both the process environment (inherited by the children) and the C runtime's copy of it (read by
// the library in this process) must change: _putenv updates the two.
void setEnv(const char* name, const std::string& value) {
    const std::string entry = std::string(name) + "=" + value;
    _putenv(entry.c_str());
}

void setUsbSwitch(bool present, DWORD value) {
    HKEY key;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSwitchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    if (present) RegSetValueExA(key, "USB Interface", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), 4);
    else RegDeleteValueA(key, "USB Interface");
    RegCloseKey(key);
}

class HalvexProcesses : public testing::Test {
protected:
    void SetUp() override {
        setUsbSwitch(false, 0);
        setEnv("HALVEX_VIRTUAL", "usb0=2136;usb2=pocket:2216:6;isa1=1164");
        setEnv("HALVEX_VIRTUAL_LOG", "");
    }
    void TearDown() override {
        setUsbSwitch(false, 0);
        setEnv("HALVEX_VIRTUAL", "");
        setEnv("HALVEX_VIRTUAL_LOG", "");
    }
};

TEST_F(HalvexProcesses, ASecondProcessDoesNotProbeTheSlotsTheFirstFilled) {
    const std::string firstLog = tempFile("halvex_first.log"), secondLog = tempFile("halvex_second.log");
    setEnv("HALVEX_VIRTUAL_LOG", firstLog);
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    EXPECT_EQ(lib.kind(0), 0x101u);
    EXPECT_EQ(lib.kind(2), 0x101u);
    EXPECT_EQ(lib.kind(137), 0x104u);
    const auto first = readLines(firstLog);
    EXPECT_GT(linesOf(first, "usb0"), 0u);
    EXPECT_GT(linesOf(first, "isa1"), 0u);

    setEnv("HALVEX_VIRTUAL_LOG", secondLog);
    EXPECT_EQ(runChild("slot0-free-open2"), 0u);
    const auto second = readLines(secondLog);
    EXPECT_EQ(linesOf(second, "usb0"), 0u);
    EXPECT_EQ(linesOf(second, "isa1"), 0u);
    EXPECT_GT(linesOf(second, "usb2"), 0u);  // only the device it opened itself
}

TEST_F(HalvexProcesses, ADeviceOpenInOneProcessIsNotFreeInAnother) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(lib.hasHw(0), 0);
    EXPECT_EQ(runChild("slot0-held"), 0u);
    EXPECT_EQ(lib.shutdown(0), 1);
    EXPECT_EQ(runChild("slot0-free"), 0u);
}

TEST_F(HalvexProcesses, WithTheUsbSwitchOffNoUsbSlotIsFilled) {
    // No process holds the table here, so the child creates and probes it.
    setUsbSwitch(true, 0);
    EXPECT_EQ(runChild("no-usb"), 0u);
}

TEST_F(HalvexProcesses, AUsbSlotFilledEarlierCannotBeOpenedOnceUsbIsSwitchedOff) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(lib.kind(0), 0x101u);
    setUsbSwitch(true, 0);
    EXPECT_EQ(runChild("usb-refused"), 0u);
}

// The same bytes in the 32-bit and the 64-bit library: the table the library writes, a record the
// caller hands back, and a mode record written into the caller's buffer.
TEST_F(HalvexProcesses, RecordsCrossTheLibraryByteForByte) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    const uint8_t pocketSlot[kKvSlotBytes] = {
        0x01, 0x01, 0, 0, 18, 0, 0, 0, 6, 0, 0, 0, 2, 0, 0, 0,  // kind (free), USB pocket, family 6, sub-index 2
        0x16, 0x22, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,   // product code 0x2216
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,         //
        0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 0, 0, 0, 0, 0, 0,         // slot index 2
    };
    ASSERT_EQ(0, std::memcmp(lib.table() + 2 * kKvSlotBytes, pocketSlot, kKvSlotBytes));

    // A record of the caller's own, read by the library (KvHasHw opens only the table's own slots).
    uint8_t copy[kKvSlotBytes];
    std::memcpy(copy, pocketSlot, sizeof copy);
    using InterfaceNameFn = int(__stdcall*)(int, const void*, int, char*, int);
    char name[64] = {};
    ASSERT_EQ(lib.fn<InterfaceNameFn>("KvInterfaceName")(-1, copy, 0, name, sizeof name), 1);
    EXPECT_STREQ(name, "PQKV-2216 Plus");
    ASSERT_EQ(lib.fn<InterfaceNameFn>("KvInterfaceName")(-1, copy, 1, name, sizeof name), 1);
    EXPECT_STREQ(name, "USB - Slot 2");

    using GetHwInfoExFn = int(__stdcall*)(int, uint32_t, int, void*);
    EXPECT_EQ(lib.fn<HasHwFn>("KvHasHw")(copy), -1);
    const int index = lib.hasHw(2);
    ASSERT_EQ(index, 2);
    EXPECT_EQ(lib.fn<GetHwInfoFn>("KvGetHwInfo")(index, kHwProductCode), 0x2216u);

    uint8_t mode[kKvModeInfoBytes + 4];
    std::memset(mode, 0xCC, sizeof mode);
    ASSERT_EQ(lib.fn<GetHwInfoExFn>("KvGetHwInfoEx")(index, kHwModeInfo, 6, mode), 1);
    const uint8_t head[] = {4, 0, 0, 0, 0, 0, 0, 0, 0xD9, 0x0F, 0, 0, 0, 0, 0, 0,   // group 4, mode id 4057
                            0x00, 0xC2, 0xEB, 0x0B, 0, 0, 0, 0, 'U', 'A', 'R', 'T'};  // 200 MHz as 64 bits
    EXPECT_EQ(0, std::memcmp(mode, head, sizeof head));
    const uint8_t tail[] = {0x23, 0, 0x02, 0, 36, 0, 0, 0, 0, 0, 0x20, 0, 0, 0x40, 0x1F, 0,
                            1, 0, 0, 0, 0xFF, 0x03, 0, 0, 0xFF, 0xFF, 0x0F, 0, 16, 0, 0, 0,
                            4, 0, 0, 0, 1, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(mode + 152, tail, sizeof tail));
    for (int i = kKvModeInfoBytes; i < kKvModeInfoBytes + 4; ++i) EXPECT_EQ(mode[i], 0xCC) << i;  // nothing beyond
    EXPECT_EQ(lib.shutdown(index), 1);
}

// A whole capture through the exports, with the record in its call form (pointer-sized buffer
// addresses): the rate lists, arming, the ready test and the read-back of a family-6 pocket board.
TEST_F(HalvexProcesses, ACaptureRunsThroughTheExports) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    using FreqInfoExFn = int(__stdcall*)(int, int, uint32_t, uint32_t, uint32_t*, uint32_t*, char*, int);
    using Tbl2FreqFn = int(__stdcall*)(int, uint32_t*, uint32_t*);
    using RecordFn = int(__stdcall*)(int, void*);
    using IndexFn = int(__stdcall*)(int);
    using ReadFn = int(__stdcall*)(int, void*, int, uint32_t);
    using MaskFn = int(__stdcall*)(int, uint32_t);
    const int index = lib.hasHw(2);
    ASSERT_EQ(index, 2);
    char text[16] = {};
    uint32_t rate[2] = {};
    EXPECT_EQ(lib.fn<FreqInfoExFn>("KvFreqInfoEx")(index, 0, 26, 0, rate, nullptr, text, sizeof text), 27);
    EXPECT_STREQ(text, "100  Hz");
    uint32_t r = 1, ext = 1;
    EXPECT_EQ(lib.fn<Tbl2FreqFn>("KvTbl2Freq")(3, &r, &ext), 1);
    EXPECT_EQ(r, 0u);
    EXPECT_EQ(ext, 1u);

    // Channels 0-15 must read 0x1234; 500 samples before the trigger.
    uint8_t pattern[16], counts[4] = {1, 0, 0, 0};
    for (int c = 0; c < 16; ++c) pattern[c] = ((0x1234 >> c) & 1) ? 6 : 0;
    uint8_t record[14 * 4 + 2 * sizeof(void*)] = {};
    auto put = [&](int field, uint32_t v) { std::memcpy(record + 4 * field, &v, 4); };
    put(1, 16);         // pattern size
    put(2, 1);          // levels
    put(6, 100000000);  // rate
    put(7, 1);          // slots per level
    put(9, 1);          // internal clock
    put(10, 500);       // trigger position
    const void* countsAt = counts;
    const void* patternAt = pattern;
    std::memcpy(record + 56, &countsAt, sizeof(void*));
    std::memcpy(record + 56 + sizeof(void*), &patternAt, sizeof(void*));
    ASSERT_EQ(lib.fn<RecordFn>("KvCaptureData")(index, record), 1);
    EXPECT_NE(lib.fn<IndexFn>("KvIsDataReady")(index), 0);
    const uint32_t bytes = lib.fn<GetHwInfoFn>("KvGetHwInfo")(index, kHwReadBytes);
    std::vector<uint8_t> out(bytes);
    ASSERT_EQ(lib.fn<ReadFn>("KvReadCapData")(index, out.data(), 0, 0xFF), 1);
    EXPECT_EQ(out[8 * 500] | out[8 * 500 + 1] << 8, 0x1234);
    EXPECT_EQ(out[8 * 501] | out[8 * 501 + 1] << 8, 0x1236);  // 100 MHz: 2 periods of 5 ns a sample
    // A buffer that cannot take the capture is refused.
    EXPECT_EQ(lib.fn<ReadFn>("KvReadCapData")(index, nullptr, 0, 0xFF), 0);
    EXPECT_EQ(lib.fn<MaskFn>("KvEventOut")(index, 0xFF), 1);
    EXPECT_EQ(lib.shutdown(index), 1);
}

TEST(HalvexResources, EveryModeHasItsFpgaImage) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    const int ids[] = {4001, 4002, 4003, 4004, 4005, 4043, 4045, 4046, 4047, 4049, 4050, 4051,
                       4056, 4057, 4058, 4059, 4060, 4061, 4062, 4064, 4065, 4067, 4068, 4069,
                       4070, 4071, 4072, 4073, 4074, 4075, 4076, 4077, 4078, 4079, 4080};
    for (int id : ids) {
        HRSRC res = FindResourceA(lib.module, MAKEINTRESOURCEA(id), "FPGA");
        ASSERT_NE(res, nullptr) << id;
        ASSERT_GT(SizeofResource(lib.module, res), 4u) << id;
        const auto* p = static_cast<const uint8_t*>(LockResource(LoadResource(lib.module, res)));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(p[0] | p[1] << 8, id);
    }
    EXPECT_EQ(FindResourceA(lib.module, MAKEINTRESOURCEA(4044), "FPGA"), nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 3 && std::strcmp(argv[1], "--child") == 0) return childMain(argv[2]);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
