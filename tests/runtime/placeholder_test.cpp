// Keeps the runtime test program non-empty until the runtime's own tests arrive.
#include <gtest/gtest.h>

#include "platform/registry.h"

TEST(RuntimeSeams, MemoryRegistryKeysIgnoreCase) {
    kv::MemoryRegistry reg;
    ASSERT_TRUE(reg.createKey(kv::RegRoot::CurrentUser, "Software\\Ombix\\KV", ""));
    EXPECT_TRUE(reg.keyExists(kv::RegRoot::CurrentUser, "SOFTWARE\\ombix\\kv"));
    EXPECT_TRUE(kv::regWriteDword(reg, kv::RegRoot::CurrentUser, "software\\ombix\\kv", "USB Interface", 0));
    uint32_t v = 1;
    EXPECT_TRUE(kv::regReadDword(reg, kv::RegRoot::CurrentUser, "Software\\Ombix\\KV", "usb interface", v));
    EXPECT_EQ(v, 0u);
}
