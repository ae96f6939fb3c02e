// Cases that need virtual boards. KV links Halvex.dll at load time, and the library probes when it
// is loaded, so the boards (HALVEX_VIRTUAL) must be in the environment before the process starts:
// each case runs in a fresh copy of the test program started with its own boards. The copy runs
// one "OnBoards" test (KV_DEVICE_UI_CASE names its boards); the parent test checks its exit code.
// In a run of its own, an "OnBoards" test without that variable is skipped.
#pragma once

#include <windows.h>

#include <string>

#include "tests/ui/ui_harness.h"

namespace kvtest {

// The value of an environment variable ("" when unset or too long).
std::string environmentVariable(const char* name);
// This process is a started copy running one case.
bool isBoardCase();

// The fixture of the cases run in a started copy.
class OnBoards : public ViewerTest {
protected:
    void SetUp() override;
};

// The fixture of the parent tests that start the copies (skipped inside a copy).
class BoardCases : public ::testing::Test {
protected:
    void SetUp() override;
};

// Runs "<this program> --gtest_filter=<suite>.<name>" with HALVEX_VIRTUAL set to `boards`; the
// copy's exit code (0: the case passed; 1003 when no such case exists). Its output goes to the
// same console. The suite's fixture derives from OnBoards.
DWORD runBoardCase(const char* name, const char* boards, const char* suite = "OnBoards");

}  // namespace kvtest
