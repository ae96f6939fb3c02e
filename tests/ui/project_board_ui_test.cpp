// Projects and files on a Nanlyn board (a virtual 0x2136 board in a started copy): a KVW file names
// the mode of the board that made it, and this board selects its own equivalent of that mode; the
// set-up is saved at exit as the project named by the product code, with the mode in force.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "tests/ui/board_cases.h"
#include "viewer/files/kvw_file_win.h"

namespace kvtest {
namespace {

using kv::g_viewer;

std::string programFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.find_last_of('\\'));
}

int32_t modeInForce() {
    uint8_t mode[kKvModeInfoBytes] = {};
    return KvGetHwInfoEx(g_viewer->shell.deviceIndex, kHwModeInfo, -1, mode) ? static_cast<int32_t>(kv::getLe32(mode + 8)) : -1;
}

class ProjectOnBoards : public OnBoards {};

TEST_F(ProjectOnBoards, FileModeThroughTheBoardsEquivalentAndTheProductCodeProject) {
    ASSERT_TRUE(startViewer());
    pump(200);
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    const int index = g_viewer->shell.deviceIndex;

    // Our Demo01.kvw, marked as made on another Nanlyn variant in its 400 MHz, 18-channel mode.
    std::ifstream in(programFolder() + "\\demo\\Demo01.kvw", std::ios::binary);
    std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_GT(bytes.size(), 300u);
    constexpr size_t kDisplay = 68;   // the display record follows the 68-byte header
    kv::putLe32(&bytes[kDisplay + 144], 0x2236);
    kv::putLe32(&bytes[kDisplay + 148], 4001);
    kv::putLe32(&bytes[kDisplay + 152], 2);
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    const std::string file = std::string(temp) + "kv_nanlyn_mode.kvw";
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());

    uint8_t equivalent[kKvModeInfoBytes] = {};
    ASSERT_TRUE(KvGetHwInfoEx(index, kHwEquivalentMode, 4001, equivalent));
    const int32_t expected = static_cast<int32_t>(kv::getLe32(equivalent + 8));
    ASSERT_TRUE(kv::loadWaveFile(file, true, false));
    EXPECT_EQ(modeInForce(), expected);
    EXPECT_EQ(g_viewer->acq.trigger.nanlynFirmware, expected);

    // A mode id no board has leaves the mode in force.
    kv::putLe32(&bytes[kDisplay + 148], 999);
    std::ofstream(file, std::ios::binary | std::ios::trunc).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    ASSERT_TRUE(kv::loadWaveFile(file, true, false));
    EXPECT_EQ(modeInForce(), expected);
    DeleteFileA(file.c_str());

    ASSERT_TRUE(closeViewer());
    const std::string key = "SOFTWARE\\Ombix\\KV\\Project\\2136";
    DWORD value = 0, size = sizeof value;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "Current F/W", RRF_RT_REG_DWORD, nullptr, &value, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(static_cast<int32_t>(value), expected);
    size = sizeof value;
    ASSERT_EQ(RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), "HWID", RRF_RT_REG_DWORD, nullptr, &value, &size), ERROR_SUCCESS);
    EXPECT_EQ(value, 0x2136u);
}

class ProjectBoards : public BoardCases {};
TEST_F(ProjectBoards, Nanlyn) {
    EXPECT_EQ(runBoardCase("FileModeThroughTheBoardsEquivalentAndTheProductCodeProject", "usb0=2136", "ProjectOnBoards"), 0u);
}

}  // namespace
}  // namespace kvtest
