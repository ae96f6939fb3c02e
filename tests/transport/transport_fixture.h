// A virtual system installed behind the device seam for the length of one test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/device_io.h"
#include "simulator/virtual_system.h"

namespace kv {

class VirtualHardwareTest : public ::testing::Test {
protected:
    void SetUp() override { setDeviceIo(&system); }
    void TearDown() override { setDeviceIo(nullptr); }

    VirtualBoard& board(const std::string& config) {
        std::string error;
        EXPECT_TRUE(system.addFromConfig(config, &error)) << error;
        return *system.boards().back();
    }

    // Log lines without the ready-byte polls of a USB 2.0 bridge, for tests about something else.
    static std::vector<std::string> withoutReadyPolls(const std::vector<std::string>& lines) {
        std::vector<std::string> out;
        for (const std::string& l : lines)
            if (l != "R 8E/0020 = 01") out.push_back(l);
        return out;
    }

    VirtualSystem system;
};

}  // namespace kv
