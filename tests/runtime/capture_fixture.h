// A runtime on virtual boards for the capture tests: boards from a HALVEX_VIRTUAL text, opened by
// slot, with the message boxes the library would show collected instead.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "platform/shared_section.h"
#include "runtime/fpga_image.h"
#include "runtime/halvex_runtime.h"
#include "simulator/virtual_system.h"

namespace kv {

class CaptureFixture : public testing::Test {
protected:
    void SetUp() override {
        setDeviceIo(&sys);
        setSharedSections(&sections);
        env.registry = &registry;
        env.fpgaImage = embeddedFpgaImage;
        env.sleepMs = [](uint32_t) {};
        env.writable = [](void* p, size_t) { return p != nullptr; };
        env.messageBox = [this](const char* text, const char* title) { messages.push_back(std::string(title) + ": " + text); };
    }
    void TearDown() override {
        runtime.reset();
        setDeviceIo(nullptr);
        setSharedSections(nullptr);
    }
    HalvexRuntime& load(const char* config) {
        std::string error;
        EXPECT_TRUE(sys.addFromConfig(config, &error)) << error;
        runtime = std::make_unique<HalvexRuntime>(env);
        EXPECT_TRUE(runtime->attach());
        return *runtime;
    }
    // Opens the board of a slot; its index (= slot) or -1.
    int open(int slot) { return runtime->hasHw(runtime->table() + 64 * slot); }

    VirtualSystem sys;
    LocalSharedSections sections;
    MemoryRegistry registry;
    RuntimeEnv env;
    std::unique_ptr<HalvexRuntime> runtime;
    std::vector<std::string> messages;
};

}  // namespace kv
