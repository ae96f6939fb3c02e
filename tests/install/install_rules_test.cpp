// The installation utilities' rules: the interface switches and the installer's three calls.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "install/interface_switches.h"
#include "install/setuvo.h"

namespace kv {
namespace {

const RegRoot kLm = RegRoot::LocalMachine;

uint32_t dword(MemoryRegistry& reg, const char* key, const char* name) {
    uint32_t v = 0xDEAD;
    regReadDword(reg, kLm, key, name, v);
    return v;
}

TEST(InterfaceSwitches, OnlyZeroDisablesAndTheGeneratorKeyIsNeverCreated) {
    MemoryRegistry reg;
    SwitchStates on = readInterfaceSwitches(reg);
    for (bool b : on) EXPECT_TRUE(b);  // nothing stored: everything enabled

    reg.createKey(kLm, kAnalyzerSwitchKey, "");
    regWriteDword(reg, kLm, kAnalyzerSwitchKey, "PCI Interface", 0);
    regWriteDword(reg, kLm, kAnalyzerSwitchKey, "USB Interface", 5);
    const uint8_t text[] = {'0', 0};
    reg.writeValue(kLm, kAnalyzerSwitchKey, "ISA Interface", kRegSz, text, sizeof text);  // not a number
    on = readInterfaceSwitches(reg);
    EXPECT_EQ(on, (SwitchStates{true, false, true, true, true, true, true}));

    // Without the pattern generator installed only the analyzer's four values are written.
    on = {false, true, false, true, false, false, true};
    writeInterfaceSwitches(reg, on);
    EXPECT_FALSE(reg.keyExists(kLm, kGeneratorSwitchKey));
    EXPECT_EQ(dword(reg, kAnalyzerSwitchKey, "Printer Interface"), 0u);
    EXPECT_EQ(dword(reg, kAnalyzerSwitchKey, "PCI Interface"), 1u);
    EXPECT_EQ(dword(reg, kAnalyzerSwitchKey, "ISA Interface"), 1u);

    reg.createKey(kLm, kGeneratorSwitchKey, "");
    writeInterfaceSwitches(reg, on);
    EXPECT_EQ(dword(reg, kGeneratorSwitchKey, "Printer Interface"), 0u);
    EXPECT_EQ(dword(reg, kGeneratorSwitchKey, "USB Interface"), 1u);
    EXPECT_EQ(readInterfaceSwitches(reg), on);
}

struct FakeServices : ServiceManager {
    bool nt = true, exists = true, isRunning = false;
    std::vector<std::string> calls;
    bool ntFamily() override { return nt; }
    bool open(const char* name) override {
        calls.push_back(std::string("open ") + name);
        return exists;
    }
    bool running() override {
        calls.push_back("query");
        return isRunning;
    }
    void stop() override { calls.push_back("stop"); }
    void start() override { calls.push_back("start"); }
    void close() override { calls.push_back("close"); }
};

TEST(Setuvo, PortDriverIsStartedOnlyWhenNotRunning) {
    FakeServices s;
    EXPECT_EQ(checkPortDriver(s), 1);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"open OmbixLPT", "query", "stop", "start", "close"}));

    s.calls.clear();
    s.isRunning = true;
    EXPECT_EQ(checkPortDriver(s), 1);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"open OmbixLPT", "query", "close"}));

    s.calls.clear();
    s.exists = false;
    EXPECT_EQ(checkPortDriver(s), 0);
    EXPECT_EQ(s.calls, (std::vector<std::string>{"open OmbixLPT", "close"}));

    s.calls.clear();
    s.nt = false;
    EXPECT_EQ(checkPortDriver(s), 0);
    EXPECT_TRUE(s.calls.empty());
}

TEST(Setuvo, OldSettingsGoWithTheirSubkeysOnlyWhenTheUserSaysNo) {
    MemoryRegistry reg;
    reg.createKey(kLm, "Software\\Ombix\\KV\\System", "");
    reg.createKey(kLm, "Software\\Ombix\\KV\\Project\\Default", "");
    reg.createKey(kLm, "Software\\Ombix\\QG", "");
    int asked = 0;
    bool keep = true;
    auto ask = [&] {
        ++asked;
        return keep;
    };
    EXPECT_EQ(deleteOldProjects(reg, 2, "KV", ask), 0);        // unknown root
    EXPECT_EQ(deleteOldProjects(reg, 0, "Viewer", ask), 1);    // not a product name
    EXPECT_EQ(deleteOldProjects(reg, 1, "KV", ask), 1);        // nothing under the other root
    EXPECT_EQ(deleteOldProjects(reg, 0, "DSO", ask), 1);       // no such key
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(deleteOldProjects(reg, 0, "KV", ask), 1);
    EXPECT_EQ(asked, 1);
    EXPECT_TRUE(reg.keyExists(kLm, "Software\\Ombix\\KV\\Project\\Default"));
    keep = false;
    EXPECT_EQ(deleteOldProjects(reg, 0, "KV", ask), 1);
    EXPECT_FALSE(reg.keyExists(kLm, "Software\\Ombix\\KV"));
    EXPECT_TRUE(reg.keyExists(kLm, "Software\\Ombix\\QG"));
}

TEST(Setuvo, InstallLanguageIsWrittenUnderAnExistingInstKeyOnly) {
    MemoryRegistry reg;
    int refusals = 0;
    auto refused = [&] { ++refusals; };
    EXPECT_EQ(recordInstallLanguage(reg, 2, 1028, refused), 0);  // unknown root: nothing at all
    EXPECT_EQ(refusals, 0);
    EXPECT_EQ(recordInstallLanguage(reg, 0, 1028, refused), 0);  // no Inst key: not an administrator
    EXPECT_EQ(refusals, 1);
    EXPECT_FALSE(reg.keyExists(kLm, "Software\\Ombix\\Inst"));

    reg.createKey(kLm, "Software\\Brenvale\\Inst", "");
    EXPECT_EQ(recordInstallLanguage(reg, 1, 1028, refused), 1);
    EXPECT_EQ(dword(reg, "Software\\Brenvale\\Inst", "InstLang"), 1u);
    EXPECT_EQ(recordInstallLanguage(reg, 1, 2052, refused), 1);
    EXPECT_EQ(dword(reg, "Software\\Brenvale\\Inst", "InstLang"), 0u);
    reg.failAll = true;
    EXPECT_EQ(recordInstallLanguage(reg, 1, 1033, refused), 0);
    EXPECT_EQ(refusals, 2);
}

}  // namespace
}  // namespace kv
