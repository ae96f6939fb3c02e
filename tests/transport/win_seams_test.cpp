// The Win32 side of the device and shared-section seams, under Wine: named mappings, device files
// opened with overlapped I/O, and the USB open-device table in a real named section.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <vector>
#include <string>

#include "platform/device_io_win.h"
#include "platform/environment.h"
#include "platform/shared_section_win.h"
#include "transport/usb_channel.h"
#include "simulator/virtual_system.h"

namespace kv {
namespace {

std::string uniqueName(const char* stem) {
    char name[64];
    std::snprintf(name, sizeof name, "%s_%lu", stem, static_cast<unsigned long>(GetCurrentProcessId()));
    return name;
}

TEST(WinSharedSections, CreatorZeroFillsAndLaterOpenersShareTheMemory) {
    std::string name = uniqueName("KVTESTSECTION");
    auto first = winSharedSections().open(name, 4096);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->created());
    EXPECT_EQ(first->size(), 4096u);
    EXPECT_EQ(first->word(4092), 0u);
    first->setWord(8, 0x8136);
    auto second = winSharedSections().open(name, 4096);
    ASSERT_NE(second, nullptr);
    EXPECT_FALSE(second->created());
    EXPECT_EQ(second->word(8), 0x8136u);
    EXPECT_EQ(second->word(4093), 0u);  // out of range reads 0
}

TEST(WinSharedSections, UsbChannelsMarkTheNamedTable) {
    VirtualSystem sys;
    ASSERT_TRUE(sys.addFromConfig("usb9=pocket:2216:2"));
    setDeviceIo(&sys);
    setSharedSections(&winSharedSections());
    {
        UsbChannel ch;
        ASSERT_EQ(ch.open(9, 0x05E3, 0x0136, 0), 1);
        HANDLE h = OpenFileMappingA(FILE_MAP_READ, FALSE, kUsbSharedSectionName);
        ASSERT_NE(h, nullptr);
        auto* words = static_cast<const uint8_t*>(MapViewOfFile(h, FILE_MAP_READ, 0, 0, 0));
        ASSERT_NE(words, nullptr);
        EXPECT_EQ(words[36] | words[37] << 8, 0x8136);
        ch.close();
        EXPECT_EQ(words[36] | words[37] << 8, 0);
        UnmapViewOfFile(words);
        CloseHandle(h);
    }
    setSharedSections(nullptr);
    setDeviceIo(nullptr);
}

TEST(WinDeviceIo, MissingDriversDoNotOpenAndOverlappedFileIoCompletes) {
    DeviceIo& io = winDeviceIo();
    EXPECT_EQ(io.open("\\\\.\\usbscan0", kOpenOverlapped), nullptr);
    EXPECT_EQ(io.open("\\\\.\\OmbixLPT", 0), nullptr);
    EXPECT_TRUE(io.osVersion().ntFamily);

    std::string path = uniqueName("kv_device_io_test") + ".bin";
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    {
        auto file = io.open(path, kOpenOverlapped);
        ASSERT_NE(file, nullptr);
        EXPECT_NE(file->handleValue(), 0u);  // what a caller registers removal notices with
        const char text[] = "frame";
        uint32_t n = 0;
        ASSERT_TRUE(file->write(text, 5, n));
        EXPECT_EQ(n, 5u);
        char back[8] = {};
        ASSERT_TRUE(file->read(back, 5, n));
        EXPECT_EQ(n, 5u);
        EXPECT_EQ(std::string(back, 5), "frame");
        EXPECT_FALSE(file->ioControl(0x80002018, nullptr, 0, back, 8, n));
    }
    DeleteFileA(path.c_str());
}

// A host that sets the variables after its own start-up (then loads the library) is seen: they are
// read from the process environment block, which the C runtime's copy does not follow.
TEST(WinEnvironment, VariablesSetAfterStartUpAreSeen) {
    std::string value;
    SetEnvironmentVariableA("KV_ENVIRONMENT_TEST", nullptr);
    EXPECT_FALSE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    SetEnvironmentVariableA("KV_ENVIRONMENT_TEST", "");
    EXPECT_TRUE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    EXPECT_EQ(value, "");
    const std::string longValue(1000, 'x');
    SetEnvironmentVariableA("KV_ENVIRONMENT_TEST", longValue.c_str());
    EXPECT_TRUE(readEnvironment("KV_ENVIRONMENT_TEST", value));
    EXPECT_EQ(value, longValue);
    SetEnvironmentVariableA("KV_ENVIRONMENT_TEST", nullptr);

    SetEnvironmentVariableA("HALVEX_VIRTUAL", "usb5=2136;isa2=1164");
    VirtualSystem* sys = installDeviceIoFromEnvironment(winDeviceIo());
    SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    ASSERT_NE(sys, nullptr);
    EXPECT_NE(sys->board("usb5"), nullptr);
    EXPECT_NE(sys->board("isa2"), nullptr);
    setDeviceIo(nullptr);
}

// The child half of the next test: a process of its own with the virtual system taken from the
// environment, as Halvex.dll does at load.
TEST(WinExchangeLog, Child) {
    if (!std::getenv("KV_TRANSPORT_CHILD")) GTEST_SKIP() << "run by ExchangesOfAnotherProcessReachTheLogFile";
    setSharedSections(&winSharedSections());
    ASSERT_NE(installDeviceIoFromEnvironment(winDeviceIo()), nullptr);
    UsbChannel ch;
    ASSERT_EQ(ch.open(3, 0x05E3, 0x0138, 0), 1);
    ASSERT_EQ(ch.writeControl(0xA5), 1);
    ch.close();
    setSharedSections(nullptr);
    setDeviceIo(nullptr);
}

TEST(WinExchangeLog, ExchangesOfAnotherProcessReachTheLogFile) {
    std::string log = uniqueName("kv_exchanges") + ".log";
    DeleteFileA(log.c_str());
    char exe[MAX_PATH];
    ASSERT_GT(GetModuleFileNameA(nullptr, exe, sizeof exe), 0u);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", "usb3=usb2epp:1032:1");
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", log.c_str());
    SetEnvironmentVariableA("KV_TRANSPORT_CHILD", "1");
    std::string command = std::string("\"") + exe + "\" --gtest_filter=WinExchangeLog.Child";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    BOOL started = CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", nullptr);
    SetEnvironmentVariableA("KV_TRANSPORT_CHILD", nullptr);
    ASSERT_TRUE(started);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    EXPECT_EQ(code, 0u);
    EXPECT_EQ(readExchangeLogFile(log),
              (std::vector<std::string>{"usb3: IOCTL 80002018", "usb3: IOCTL 80002020", "usb3: W 83 A5"}));
    DeleteFileA(log.c_str());
}

}  // namespace
}  // namespace kv
