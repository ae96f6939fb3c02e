#include "tests/ui/board_cases.h"

#include <cstring>
#include <vector>

#include "runtime/halvex_api.h"

namespace kvtest {
namespace {

const char* const kCaseVariable = "KV_DEVICE_UI_CASE";

}  // namespace

std::string environmentVariable(const char* name) {
    char value[512];
    const DWORD n = GetEnvironmentVariableA(name, value, sizeof value);
    return n > 0 && n < sizeof value ? std::string(value, n) : std::string();
}

bool isBoardCase() { return GetEnvironmentVariableA(kCaseVariable, nullptr, 0) > 0; }

void OnBoards::SetUp() {
    if (!isBoardCase()) GTEST_SKIP() << "runs only in a copy started with its boards";
    ViewerTest::SetUp();
}

void BoardCases::SetUp() {
    if (isBoardCase()) GTEST_SKIP() << "the started copy runs only its own case";
}

DWORD runBoardCase(const char* name, const char* boards, const char* suiteName) {
    // A name that matched no test would start a copy that passes by running nothing.
    bool known = false;
    const ::testing::UnitTest& all = *::testing::UnitTest::GetInstance();
    for (int i = 0; i < all.total_test_suite_count(); ++i) {
        const ::testing::TestSuite& suite = *all.GetTestSuite(i);
        if (std::strcmp(suite.name(), suiteName) != 0) continue;
        for (int j = 0; j < suite.total_test_count(); ++j) known |= std::strcmp(suite.GetTestInfo(j)->name(), name) == 0;
    }
    if (!known) return 1003;
    // Every slot empty again: the table lives as long as a process maps it, and this process does,
    // so boards of an earlier case would otherwise still be listed.
    auto* table = static_cast<uint8_t*>(KvFindDevice());
    if (!table) return 1002;
    std::memset(table, 0, static_cast<size_t>(kKvSlotCount) * kKvSlotBytes);

    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, sizeof self);
    std::string cmd = std::string("\"") + self + "\" --gtest_filter=" + suiteName + "." + name;
    std::vector<char> line(cmd.begin(), cmd.end());
    line.push_back(0);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", boards);
    SetEnvironmentVariableA(kCaseVariable, name);
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const BOOL started = CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
    SetEnvironmentVariableA(kCaseVariable, nullptr);
    if (!started) return 1000;
    DWORD code = 1001;
    if (WaitForSingleObject(pi.hProcess, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(pi.hProcess, &code);
    else TerminateProcess(pi.hProcess, 1001);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

}  // namespace kvtest
