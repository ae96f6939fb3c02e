// Zentro.dll as the viewer and the maker's programs see it: loaded by name, functions found by
// plain name, driven on virtual scopes chosen with HALVEX_VIRTUAL before the library is loaded.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/le_bytes.h"
#include "scope_runtime/scope_setup.h"
#include "scope_runtime/zentro_api.h"
#include "scope_runtime/zentro_runtime.h"

namespace {

using kv::getLe32;
using kv::putLe32;
using kv::putLe64;

const char* const kExports[] = {
    "uDsoInit", "uDsoInit2", "uDsoShutdown", "uDsoGetHwInfo", "uDsoSetCalibration", "uDsoCapture",
    "uDsoGetErrorCode", "uDsoStop", "uDsoGetStatus", "uDsoDataReady", "uDsoRead", "DsoInit", "DsoHasHw",
    "DsoGetID", "DsoGetHwInfo", "DsoCapture", "DsoStop", "DsoShutdown", "DsoRead", "DsoLog",
};

struct Library {
    explicit Library(const char* virtualHardware, const char* name = "Zentro.dll") {
        SetEnvironmentVariableA("HALVEX_VIRTUAL", virtualHardware);
        module = LoadLibraryA(name);
        SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    }
    ~Library() {
        if (module) FreeLibrary(module);
    }
    template <typename F>
    F fn(const char* name) {
        return reinterpret_cast<F>(GetProcAddress(module, name));
    }
    HMODULE module = nullptr;
};

using Init = int(__stdcall*)();
using Capture = int(__stdcall*)(void*);
using NoArg = int(__stdcall*)();
using ByIndex = int(__stdcall*)(int);
using GetHwInfo = int(__stdcall*)(int, int, void*);
using DsoHwInfo = uint32_t(__stdcall*)(int, uint32_t);
using Read = int(__stdcall*)(void*);
using Log = int(__stdcall*)(void*);

// The record the viewer sends: flags 0x210000, the rate, the level of 167,000 µV, the ranges and the
// record length.
std::vector<uint8_t> viewerRecord(uint64_t rate, int32_t length, uint64_t range) {
    std::vector<uint8_t> r(kv::zentro::kCaptureRecordBytes, 0);
    putLe32(r.data(), 0x210000);
    putLe64(r.data() + 8, rate);
    putLe64(r.data() + 16, 167000);
    putLe64(r.data() + 24, range);
    putLe64(r.data() + 40, range);
    putLe32(r.data() + 136, static_cast<uint32_t>(length));
    return r;
}

std::vector<uint8_t> readRequest(double* buffer) {
    std::vector<uint8_t> q(kv::zentro::kReadRequestBytes, 0);
    putLe32(q.data(), 4);
    std::memcpy(q.data() + 12, &buffer, sizeof buffer);
    return q;
}

TEST(ZentroExports, EveryFunctionIsExportedByItsPlainNameAndNothingIsFoundWithoutScopes) {
    SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    Library lib(nullptr);
    ASSERT_NE(lib.module, nullptr);
    for (const char* name : kExports) EXPECT_NE(GetProcAddress(lib.module, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(lib.module, "uDsoInit@0"), nullptr);
    EXPECT_NE(FindResourceA(lib.module, MAKEINTRESOURCEA(3002), "FPGA"), nullptr);
    EXPECT_EQ(lib.fn<Init>("uDsoInit")(), 0);
    EXPECT_EQ(lib.fn<ByIndex>("uDsoGetStatus")(0), 1);
    std::vector<uint8_t> r = viewerRecord(100000000, 64000, 1000000);
    EXPECT_EQ(lib.fn<Capture>("uDsoCapture")(r.data()), 0);
    EXPECT_EQ(lib.fn<NoArg>("uDsoGetErrorCode")(), 99);
    EXPECT_EQ(lib.fn<NoArg>("uDsoShutdown")(), 1);
}

TEST(ZentroExports, ViewerHandshakeArmsWaitsAndReadsMicrovoltsChannelAfterChannel) {
    Library lib("usb3=scope:abcd:serial=ZS4242:ch1=square@1000000/1000:ch2=tie2:polls=20;usb0=2136");
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(lib.fn<Init>("uDsoInit")(), 1);
    EXPECT_EQ(lib.fn<Init>("uDsoInit")(), 1);
    uint32_t model = 0;
    ASSERT_EQ(lib.fn<GetHwInfo>("uDsoGetHwInfo")(0, 5, &model), 1);
    EXPECT_EQ(model, 0xABCDu);
    char serial[16] = {};
    ASSERT_EQ(lib.fn<GetHwInfo>("uDsoGetHwInfo")(0, 2, serial), 1);
    EXPECT_STREQ(serial, "ZS4242");
    // A buffer the library may not write is refused.
    EXPECT_EQ(lib.fn<GetHwInfo>("uDsoGetHwInfo")(0, 0, reinterpret_cast<void*>(16)), 0);
    EXPECT_EQ(lib.fn<DsoHwInfo>("DsoGetHwInfo")(0, 0x96941001u), 0x10000u / 128);

    std::vector<uint8_t> bad = viewerRecord(3000000, 64000, 1000000);
    EXPECT_EQ(lib.fn<Capture>("uDsoCapture")(bad.data()), 0);
    EXPECT_EQ(lib.fn<NoArg>("uDsoGetErrorCode")(), 1);
    bad = viewerRecord(100000000, 0, 1000000);
    EXPECT_EQ(lib.fn<Capture>("uDsoCapture")(bad.data()), 0);
    EXPECT_EQ(lib.fn<NoArg>("uDsoGetErrorCode")(), 3);

    HANDLE ready = OpenEventA(SYNCHRONIZE, FALSE, "DsoDataNotReady");
    ASSERT_NE(ready, nullptr);
    std::vector<uint8_t> r = viewerRecord(100000000, 64000, 1000000);
    ASSERT_EQ(lib.fn<Capture>("uDsoCapture")(r.data()), 1);
    EXPECT_EQ(lib.fn<NoArg>("uDsoGetErrorCode")(), 0);
    int status = 0;
    for (int i = 0; i < 5000 && !(status & 4); ++i) status = lib.fn<ByIndex>("uDsoGetStatus")(0);
    EXPECT_TRUE(status & 4) << status;  // armed
    int dataReady = 0;
    for (int i = 0; i < 5000 && !dataReady; ++i, Sleep(1)) dataReady = lib.fn<NoArg>("uDsoDataReady")();
    ASSERT_EQ(dataReady, 1);
    EXPECT_EQ(lib.fn<NoArg>("uDsoStop")(), 1);
    std::vector<double> samples(2 * 64000, -1.0);
    std::vector<uint8_t> q = readRequest(samples.data());
    ASSERT_EQ(lib.fn<Read>("uDsoRead")(q.data()), 1);
    EXPECT_EQ(WaitForSingleObject(ready, 0), WAIT_OBJECT_0);
    CloseHandle(ready);
    // Channel 1: a 1 MHz square of ±1 V, high for the first 500 ns from the trigger at 32,768.
    EXPECT_NEAR(samples[32768], 1e6, 1e6 / 64);
    EXPECT_NEAR(samples[32768 + 49], 1e6, 1e6 / 64);
    EXPECT_NEAR(samples[32768 + 50], -1e6, 1e6 / 64);
    EXPECT_NEAR(samples[32768 - 1], -1e6, 1e6 / 64);
    // Channel 2 follows logic channel 2 (20 ns high, 20 ns low from its rising edge at the trigger).
    const double* ch2 = samples.data() + 64000;
    EXPECT_NEAR(ch2[32768], 3.3e6, 1e6 / 64);
    EXPECT_NEAR(ch2[32769], 3.3e6, 1e6 / 64);
    EXPECT_NEAR(ch2[32770], 0.0, 1e6 / 64);
    EXPECT_NEAR(ch2[32767], 0.0, 1e6 / 64);
    EXPECT_EQ(lib.fn<NoArg>("uDsoShutdown")(), 1);
}

// Presses OK on the library's message box from another thread and keeps its text.
class BoxAnswerer {
public:
    BoxAnswerer() : thread_([this] { run(); }) {}
    ~BoxAnswerer() { finish(); }
    std::string finish() {
        done_ = true;
        if (thread_.joinable()) thread_.join();
        return text_;
    }

private:
    static BOOL CALLBACK collect(HWND child, LPARAM p) {
        char cls[16] = {}, t[256] = {};
        GetClassNameA(child, cls, sizeof cls);
        if (lstrcmpiA(cls, "Static") == 0 && GetWindowTextA(child, t, sizeof t) > 0)
            *reinterpret_cast<std::string*>(p) += t;
        return TRUE;
    }
    void run() {
        while (!done_) {
            if (HWND box = FindWindowA("#32770", "Error")) {
                EnumChildWindows(box, collect, reinterpret_cast<LPARAM>(&text_));
                PostMessageA(box, WM_COMMAND, IDOK, 0);
                return;
            }
            Sleep(10);
        }
    }
    std::atomic<bool> done_{false};
    std::string text_;
    std::thread thread_;
};

TEST(ZentroExports, CalibrationFromTheRegistryAndTheSampleCheckWithItsLogFile) {
    // The calibration of serial RCQ1 under the second maker's root: offsets 9 and -4.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenvale\\DSO\\Environment\\RCQ1", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    std::vector<uint8_t> table(1664, 0), thresholds(32, 0), offsets(8, 0);
    putLe32(table.data(), 65536);
    putLe32(table.data() + 8, 65536);
    for (int t = 0; t < 12; ++t) {
        const std::string name = "CalibrateSw" + std::to_string(t);
        RegSetValueExA(key, name.c_str(), 0, REG_BINARY, table.data(), 1664);
    }
    RegSetValueExA(key, "iCalThres", 0, REG_BINARY, thresholds.data(), 32);
    putLe32(offsets.data(), 9);
    putLe32(offsets.data() + 4, static_cast<uint32_t>(-4));
    RegSetValueExA(key, "iDacOfs", 0, REG_BINARY, offsets.data(), 8);
    RegCloseKey(key);

    Library lib("usb1=scope:abce:serial=RCQ1:ch1=ramp@100/4500:ch2=sine@1000/1");
    ASSERT_NE(lib.module, nullptr);
    ASSERT_EQ(lib.fn<Init>("DsoInit")(), 1);
    EXPECT_EQ(lib.fn<ByIndex>("DsoHasHw")(0), 1);
    EXPECT_EQ(static_cast<uint32_t>(lib.fn<ByIndex>("DsoGetID")(0)), 0xABCEu);
    EXPECT_EQ(lib.fn<DsoHwInfo>("DsoGetHwInfo")(0, 304), 9u);
    EXPECT_EQ(lib.fn<DsoHwInfo>("DsoGetHwInfo")(0, 305), static_cast<uint32_t>(-4));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Brenvale\\DSO\\Environment\\RCQ1");

    // The check, armed once, runs on the next read: the ramp on channel 1 (beyond the full scale,
    // whatever the offset) covers every code, channel 2 never leaves the middle codes.
    WIN32_FIND_DATAA found;
    auto logCount = [&found] {
        int n = 0;
        HANDLE h = FindFirstFileA("c:\\DsoLog\\DsoWave*.log", &found);
        if (h == INVALID_HANDLE_VALUE) return 0;
        do ++n;
        while (FindNextFileA(h, &found));
        FindClose(h);
        return n;
    };
    const int logsBefore = logCount();
    ASSERT_EQ(lib.fn<Log>("DsoLog")(nullptr), 1);
    std::vector<uint8_t> r = viewerRecord(1000000, 10000, 500000);
    ASSERT_EQ(lib.fn<Capture>("DsoCapture")(r.data()), 1);
    std::vector<double> samples(2 * 10000);
    std::vector<uint8_t> q = readRequest(samples.data());
    BoxAnswerer answer;
    ASSERT_EQ(lib.fn<Read>("DsoRead")(q.data()), 1);
    EXPECT_EQ(answer.finish(), "CH2 Error!");
    EXPECT_EQ(logCount(), logsBefore + 1);
    std::string path = std::string("c:\\DsoLog\\") + found.cFileName;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    char head[16] = {};
    EXPECT_EQ(std::fread(head, 1, 9, f), 9u);
    std::fclose(f);
    EXPECT_STREQ(head, "ID:RCQ1\r\n");
    DeleteFileA(path.c_str());
    EXPECT_EQ(lib.fn<NoArg>("DsoShutdown")(), 1);
}

int countLines(const std::string& path, const std::string& prefix) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return 0;
    int n = 0;
    char line[512];
    while (std::fgets(line, sizeof line, f))
        if (std::string(line).compare(0, prefix.size(), prefix) == 0) ++n;
    std::fclose(f);
    return n;
}

TEST(ZentroExports, ScopesAreFoundBesideABoardTheLogicRuntimeHasOpened) {
    // Both libraries in one process, as in the viewer: each builds its own virtual hardware from
    // the same text and logs to the same file.
    char temp[MAX_PATH] = {};
    GetTempPathA(sizeof temp, temp);
    const std::string log = std::string(temp) + "zentro_exchanges.log";
    DeleteFileA(log.c_str());
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", log.c_str());
    const char* hardware = "usb0=2136;usb1=scope:abcd:serial=ZS1";
    Library halvex(hardware, "Halvex.dll");
    ASSERT_NE(halvex.module, nullptr);
    using FindDevice = uint8_t*(__stdcall*)();
    using HasHw = int(__stdcall*)(void*);
    uint8_t* table = halvex.fn<FindDevice>("KvFindDevice")();
    ASSERT_NE(table, nullptr);
    int board = -1, found = 0;
    for (int slot = 0; slot < 140; ++slot) {
        if (getLe32(table + slot * 64) == 0) continue;
        ++found;
        if (getLe32(table + slot * 64 + 16) == 0x2136) board = slot;
    }
    EXPECT_EQ(found, 1);  // the scope is not taken for a board
    ASSERT_GE(board, 0);
    ASSERT_GE(halvex.fn<HasHw>("KvHasHw")(table + board * 64), 0);
    const int boardLines = countLines(log, "usb0:");
    EXPECT_GT(boardLines, 0);

    Library zentro(hardware);
    ASSERT_NE(zentro.module, nullptr);
    EXPECT_EQ(zentro.fn<Init>("uDsoInit")(), 1);
    // The board open in the other library was passed over without a word to it.
    EXPECT_EQ(countLines(log, "usb0:"), boardLines);
    EXPECT_GT(countLines(log, "usb1: OUT 130 5A 0F 55 04"), 0);
    EXPECT_EQ(zentro.fn<NoArg>("uDsoShutdown")(), 1);
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", nullptr);
}

}  // namespace
