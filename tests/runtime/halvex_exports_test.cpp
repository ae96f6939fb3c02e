// The runtime library as another program sees it: loaded by name, functions found by plain name.
// These run without virtual hardware, as on a machine with no board attached.
#include <windows.h>

#include <gtest/gtest.h>

#include "runtime/halvex_api.h"

namespace {

struct Library {
    HMODULE module = LoadLibraryA("Halvex.dll");
    ~Library() {
        if (module) FreeLibrary(module);
    }
};

const char* const kExports[] = {
    "KvFindDevice", "KvHasHw", "KvInterfaceName", "KvGetHwInfo", "KvGetHwInfoEx", "KvSetHwInfo", "KvThresVolt",
    "KvThresData", "KvFreqInfoEx", "KvFreqInfo", "KvFreq2IndexEx", "KvFreq2Index", "KvExtClk2Index", "KvTbl2Freq",
    "KvTrigger", "KvCaptureData", "KvIsDataReady", "KvGetInstantData", "KvReadCapData", "KvStopCap", "KvReset",
    "KvEventOut", "KvLogger", "KvShutdown", "ukvInit", "ukvShutdown", "ukvThreshold", "ukvGetHwInfo",
    "ukvSetHwInfo", "ukvSetTrigger", "ukvCapture", "ukvRead", "ukvGetModelName",
};

TEST(HalvexExports, EveryFunctionIsExportedByItsPlainName) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    for (const char* name : kExports) EXPECT_NE(GetProcAddress(lib.module, name), nullptr) << name;
    EXPECT_EQ(GetProcAddress(lib.module, "KvHasHw@4"), nullptr);
}

TEST(HalvexExports, WithoutDevicesTheTableIsEmptyAndNothingOpens) {
    Library lib;
    ASSERT_NE(lib.module, nullptr);
    using FindDevice = void*(__stdcall*)();
    using HasHw = int(__stdcall*)(void*);
    using SetHwInfo = int(__stdcall*)(int, uint32_t, uint32_t);
    using GetHwInfo = uint32_t(__stdcall*)(int, uint32_t);
    auto find = reinterpret_cast<FindDevice>(GetProcAddress(lib.module, "KvFindDevice"));
    auto hasHw = reinterpret_cast<HasHw>(GetProcAddress(lib.module, "KvHasHw"));
    auto setInfo = reinterpret_cast<SetHwInfo>(GetProcAddress(lib.module, "KvSetHwInfo"));
    auto getInfo = reinterpret_cast<GetHwInfo>(GetProcAddress(lib.module, "KvGetHwInfo"));
    const auto* table = static_cast<const uint8_t*>(find());
    ASSERT_NE(table, nullptr);
    // No driver answers here: every slot is empty and carries only its own index at offset 56.
    for (int slot = 0; slot < kKvSlotCount; ++slot) {
        const uint8_t* r = table + slot * kKvSlotBytes;
        for (int i = 0; i < kKvSlotBytes; ++i)
            ASSERT_EQ(r[i], i == 56 ? slot : 0) << "slot " << slot << " byte " << i;
    }
    EXPECT_EQ(hasHw(const_cast<uint8_t*>(table)), -1);
    // Demo index: settings are accepted and change nothing, queries answer 0.
    EXPECT_EQ(setInfo(-1, kHwHold, 1), 1);
    EXPECT_EQ(getInfo(-1, kHwProductCode), 0u);
}

}  // namespace
