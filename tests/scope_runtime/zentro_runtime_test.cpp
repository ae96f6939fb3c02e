// The scope library against virtual scopes: the scope table, identity, calibration, the capture
// set-up each scope receives, the worker, the status bits, the read-back in microvolts and the
// sample check on a read.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/shared_section.h"
#include "runtime/le_bytes.h"
#include "simulator/virtual_scope.h"
#include "simulator/virtual_system.h"
#include "scope_runtime/sample_check.h"
#include "scope_runtime/scope_image.h"
#include "scope_runtime/zentro_runtime.h"

namespace kv {
namespace zentro {
namespace {

class ZentroTest : public testing::Test {
protected:
    void SetUp() override {
        setDeviceIo(&sys);
        setSharedSections(&sections);
        env.registry = &registry;
        env.fpgaImage = embeddedScopeImage;
        env.sleepMs = [](uint32_t) { std::this_thread::yield(); };
        env.startWorker = [this](std::function<void()> work) {
            if (!threaded) return false;
            std::thread(std::move(work)).detach();
            return true;
        };
        env.messageBox = [this](void*, const std::string& text, const char* title) {
            boxes.push_back(std::string(title) + ": " + text);
        };
        env.writeLog = [this](const std::string& path, const std::string& text) {
            logs.push_back(path);
            logText = text;
            return true;
        };
        env.readTimeoutMs = 5000;
    }
    void TearDown() override {
        rt.reset();
        setDeviceIo(nullptr);
        setSharedSections(nullptr);
    }
    ZentroRuntime& load() {
        rt = std::make_unique<ZentroRuntime>(env);
        return *rt;
    }
    VirtualScope& addScope(int slot, uint16_t model, const std::vector<std::string>& options = {}) {
        VirtualScopeConfig c;
        c.slot = slot;
        c.model = model;
        std::string why;
        EXPECT_TRUE(parseScopeOptions(options, c, why)) << why;
        return sys.addScope(c);
    }
    static std::vector<uint8_t> captureRecord(uint64_t rate, int32_t length, uint64_t range, uint32_t flags = 0x210000,
                                              int64_t level = 0) {
        CaptureRecord r;
        r.flags = flags;
        r.rate = rate;
        r.length = length;
        r.level = level;
        r.voltsPerDiv[0] = r.voltsPerDiv[1] = range;
        std::vector<uint8_t> b(kCaptureRecordBytes);
        writeCaptureRecord(r, b.data());
        return b;
    }
    // Reads a capture into doubles through a read request.
    bool read(ZentroRuntime& z, std::vector<double>& out, size_t doubles, uint32_t kind = kReadDoubles) {
        out.assign(doubles, -1.0);
        std::vector<uint8_t> req(kReadRequestBytes, 0);
        putLe32(req.data(), kind);
        putLe32(req.data() + 8, 0xDEAD);
        double* p = out.data();
        std::memcpy(req.data() + 12, &p, sizeof p);
        const int ok = z.read(req.data());
        fraction = getLe32(req.data() + 8);
        return ok == 1;
    }

    VirtualSystem sys;
    LocalSharedSections sections;
    MemoryRegistry registry;
    ZentroEnv env;
    bool threaded = false;
    std::unique_ptr<ZentroRuntime> rt;
    std::vector<std::string> boxes, logs;
    std::string logText;
    uint32_t fraction = 0;
};

TEST_F(ZentroTest, InitOpensOnlyScopesKeepsTheFirstNAndIsDoneOnce) {
    VirtualBoardConfig board;
    board.slot = 0;
    sys.add(board);  // a logic board: opened, found not to be a scope, closed again
    for (int slot = 1; slot <= 4; ++slot) addScope(slot, 0xABCD, {"serial=ZS00" + std::to_string(slot)});
    ZentroRuntime& z = load();
    EXPECT_EQ(z.init(3), 3);
    EXPECT_EQ(z.channelCount(), 6);
    EXPECT_EQ(sections.count(), 1u);
    // Every scope was woken, took the image 3002 and was sent both offsets.
    for (int slot = 1; slot <= 3; ++slot) {
        VirtualScope& s = *sys.scope("usb" + std::to_string(slot));
        EXPECT_EQ(s.lastControl(), 143);
        EXPECT_EQ(s.imageId(), 3002);
        EXPECT_EQ(s.frames().back()[3], kCmdOffset);
    }
    EXPECT_EQ(sys.scope("usb4")->imageBytes(), 0u);
    char serial[16] = {};
    ASSERT_EQ(z.getHwInfo(2, 2, serial), 1);
    EXPECT_STREQ(serial, "ZS003");
    uint32_t model = 0;
    EXPECT_EQ(z.getHwInfo(0, 5, &model), 1);
    EXPECT_EQ(model, 0xABCDu);
    char text[32] = {};
    EXPECT_EQ(z.getHwInfo(0, 0, text), 1);
    EXPECT_STREQ(text, "ZS-1102");
    EXPECT_EQ(z.getHwInfo(3, 0, text), 0);    // no fourth scope
    EXPECT_EQ(z.getHwInfo(0, 9, nullptr), 1);  // unknown kinds write nothing
    EXPECT_EQ(z.getHwInfo(0, 5, nullptr), 0);

    // A second init returns the kept count without touching the scopes again.
    const size_t logged = sys.scope("usb1")->log().size();
    EXPECT_EQ(z.init(20), 3);
    EXPECT_EQ(sys.scope("usb1")->log().size(), logged);
    EXPECT_EQ(z.shutdown(), 1);
    EXPECT_EQ(z.scopeCount(), 0);
    EXPECT_EQ(z.init(20), 4);  // released, so found again
}

TEST_F(ZentroTest, HwInfoAnswersTheRuntimeSelectorsInTheScopesTerms) {
    addScope(0, 0xABCE);
    ZentroRuntime& z = load();
    EXPECT_EQ(z.dsoHwInfo(0, 0x96940003u), 0u);
    ASSERT_EQ(z.init(3), 1);
    EXPECT_EQ(z.channelCount(), 2);
    EXPECT_EQ(z.hasHw(0), 1);
    EXPECT_EQ(z.hasHw(1), 0);
    EXPECT_EQ(z.modelCode(0), 0xABCEu);
    const struct {
        uint32_t selector, value;
    } cases[] = {{0x96940000u, 0}, {0x96940001u, 18}, {0x96940002u, 0}, {0x96940003u, 1},
                 {0x96940004u, 0xABCE}, {0x96940008u, 2}, {0x96941001u, 0x80000 / 128}, {0x96940005u, 0}};
    for (const auto& c : cases) EXPECT_EQ(z.dsoHwInfo(0, c.selector), c.value) << std::hex << c.selector;
}

TEST_F(ZentroTest, CalibrationComesFromTheRegistryBySerialAndItsOffsetsReachTheScope) {
    addScope(0, 0xABCD, {"serial=RCAB"});
    Calibration c = defaultCalibration();
    c.dacOffset[0] = 7;
    c.dacOffset[1] = -3;
    ASSERT_TRUE(storeCalibration(registry, "RCAB", c));
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    VirtualScope& s = *sys.scope("usb0");
    EXPECT_EQ(s.offset(0), 7);
    EXPECT_EQ(s.offset(1), -3);
    EXPECT_EQ(z.dsoHwInfo(0, 304), 7u);

    std::vector<uint8_t> tables(kCalibrationTableBytes, 0), thresholds(kThresholdBlockBytes, 0), offsets(8);
    putLe32(offsets.data(), 100);
    putLe32(offsets.data() + 4, 200);
    EXPECT_EQ(z.setCalibration(0, tables.data(), thresholds.data(), offsets.data()), 1);
    EXPECT_EQ(s.offset(0), 100);
    EXPECT_EQ(s.offset(1), 200);
    EXPECT_EQ(z.setCalibration(1, tables.data(), thresholds.data(), offsets.data()), 0);
}

TEST_F(ZentroTest, CaptureKeepsTheValidationResultAndSetsUpEveryScope) {
    ZentroRuntime& z = load();
    z.init(20);
    std::vector<uint8_t> r = captureRecord(10000000, 1000, 1000000);
    EXPECT_EQ(z.capture(r.data()), 0);
    EXPECT_EQ(z.errorCode(), kErrNoScope);
    z.shutdown();

    VirtualScope& s = addScope(0, 0xABCC);
    ASSERT_EQ(z.init(20), 1);
    r = captureRecord(3000000, 1000, 1000000);
    EXPECT_EQ(z.capture(r.data()), 0);
    EXPECT_EQ(z.errorCode(), kErrRate);
    r = captureRecord(1000000, 0, 1000000);
    EXPECT_EQ(z.capture(r.data()), 0);
    EXPECT_EQ(z.errorCode(), kErrLength);
    EXPECT_EQ(s.samples(), 0u);  // nothing was set up

    // 10,000 samples at 1 MHz on 0xABCC: o = 4, 16,384 samples; the level of 0.167 V at 100 mV per
    // division is 107 codes above the middle; both channels' front ends are set.
    r = captureRecord(1000000, 10000, 100000, 0x210000, 167000);
    ASSERT_EQ(z.capture(r.data()), 1);
    EXPECT_EQ(z.errorCode(), kCaptureOk);
    EXPECT_EQ(s.samples(), 16384u);
    EXPECT_EQ(s.clockHz(), 1000000u);
    EXPECT_EQ(s.path(), 0);
    EXPECT_EQ(s.triggerAddress(), 8193u);
    EXPECT_EQ(s.postCount(), 8193u);
    EXPECT_EQ(s.threshold(), 512 + 107);
    EXPECT_EQ(s.modeFlags(), 0x210000u);
    EXPECT_EQ(s.frontEndCode(0), 0x0106);
    EXPECT_EQ(s.frontEndCode(1), 0xC403);
    EXPECT_EQ(s.memory().size(), 16384u);

    // The same ranges again: no front-end frame; a new range on both channels: one each.
    auto frontEndFrames = [&] {
        int n = 0;
        for (const auto& f : s.frames()) n += f[3] == kCmdFrontEnd;
        return n;
    };
    const int before = frontEndFrames();
    ASSERT_EQ(z.capture(r.data()), 1);
    EXPECT_EQ(frontEndFrames(), before);
    r = captureRecord(100000000, 64000, 1000000);
    ASSERT_EQ(z.capture(r.data()), 1);
    EXPECT_EQ(frontEndFrames(), before + 2);
    EXPECT_EQ(s.frontEndCode(0), 0x0606);
    EXPECT_EQ(s.path(), 1);  // 100 MHz on 0xABCC: the half-rate path at 50 MHz
    EXPECT_EQ(s.clockHz(), 50000000u);
}

TEST_F(ZentroTest, ReadDeliversMicrovoltsOfTheScopesSignalsAroundTheTrigger) {
    VirtualScope& s = addScope(0, 0xABCD, {"ch1=sine@1000000/1000", "ch2=ramp@100000/2000"});
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    threaded = true;
    std::vector<uint8_t> r = captureRecord(100000000, 64000, 500000);
    ASSERT_EQ(z.capture(r.data()), 1);
    for (int i = 0; i < 100000 && !z.dataReady(); ++i) std::this_thread::yield();
    std::vector<double> out;
    ASSERT_TRUE(read(z, out, 2 * 64000));
    EXPECT_EQ(fraction, 0u);
    // The trigger sits at index 32,768 of the record; each sample is the generator's voltage at its
    // time from the trigger, within one converter step (500 mV / 64).
    EXPECT_EQ(s.triggerIndex(), 32768);
    const double step = 500000.0 / 64;
    for (size_t i : {size_t{0}, size_t{100}, size_t{32768}, size_t{32769}, size_t{40000}, size_t{63999}}) {
        const double t = (static_cast<double>(i) - 32768) * 1e-8;
        EXPECT_NEAR(out[i], scopeSignalVolts(s.config().signal[0], t) * 1e6, step) << i;
        EXPECT_NEAR(out[64000 + i], scopeSignalVolts(s.config().signal[1], t) * 1e6, step) << i;
    }
    EXPECT_EQ(decodeRaw(s.memory()[32768]).status & kRawTriggerMark, kRawTriggerMark);
    EXPECT_TRUE(boxes.empty());
    // A request of another kind, or without a capture behind it, reads nothing.
    EXPECT_FALSE(read(z, out, 2 * 64000, 3));
}

TEST_F(ZentroTest, EquivalentTimeInterleavesThePasses) {
    VirtualScope& s = addScope(0, 0xABCD, {"ch1=ramp@10000000/2000"});
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    std::vector<uint8_t> r = captureRecord(2500000000ull, 1000, 1000000);
    ASSERT_EQ(z.capture(r.data()), 1);
    EXPECT_EQ(s.path(), 2);
    EXPECT_EQ(s.passes(), 25);
    EXPECT_EQ(s.samples(), 40u);
    std::vector<double> out;
    ASSERT_TRUE(read(z, out, 2 * 1000));
    // At 400 ps per sample the 10 MHz ramp climbs 2 x 2 V / 250 samples per sample.
    for (size_t i : {size_t{0}, size_t{1}, size_t{499}, size_t{500}, size_t{501}, size_t{999}}) {
        const double t = (static_cast<double>(i) - 500) * 400e-12;
        EXPECT_NEAR(out[i], scopeSignalVolts(s.config().signal[0], t) * 1e6, 1e6 / 64) << i;
    }
}

TEST_F(ZentroTest, StatusReportsRunningArmedAndOverflowWhichItClears) {
    VirtualScope& s = addScope(0, 0xABCD, {"hold", "ch1=square@1000/8000"});
    ZentroRuntime& z = load();
    EXPECT_EQ(z.status(0), 1);  // no scope
    ASSERT_EQ(z.init(20), 1);
    threaded = true;
    std::vector<uint8_t> r = captureRecord(1000000, 1000, 100000);
    ASSERT_EQ(z.capture(r.data()), 1);
    EXPECT_EQ(z.status(0), 1 | 4);  // running and armed
    EXPECT_EQ(z.dataReady(), 0);
    std::vector<double> out;
    EXPECT_EQ(z.stop(), 1);          // a held scope ends its capture at the stop
    ASSERT_TRUE(read(z, out, 2 * 1000));
    // Triggered and full; the 8 V square at 100 mV per division drove the converter to its limits.
    EXPECT_EQ(z.status(0), 2 | 8 | 16);
    EXPECT_EQ(z.status(0), 2 | 8);  // the overflow bit was cleared on the scope
    EXPECT_EQ(z.dataReady(), 1);
    EXPECT_FALSE(s.running());
    EXPECT_EQ(z.status(5), 1);
}

TEST_F(ZentroTest, ArmedSampleCheckRunsOnTheNextReadOnlyAndLogsItsBlock) {
    addScope(0, 0xABCD, {"serial=ZS777", "ch1=ramp@100/4000", "ch2=sine@1000/1"});
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    z.armSampleCheck(nullptr);
    EXPECT_TRUE(z.sampleCheckArmed());
    // A slow ramp over the full scale covers every code on channel 1; channel 2 hardly moves.
    std::vector<uint8_t> r = captureRecord(1000000, 64000, 500000);
    ASSERT_EQ(z.capture(r.data()), 1);
    std::vector<double> out;
    ASSERT_TRUE(read(z, out, 2 * 64000));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0], "Error: CH2 Error!");
    ASSERT_EQ(logs.size(), 1u);
    EXPECT_EQ(logs[0].substr(0, 17), "c:\\DsoLog\\DsoWave");
    EXPECT_EQ(logText.substr(0, 10), "ID:ZS777\r\n");
    EXPECT_NE(logText.find("0511 : 1, 0\r\n0512 : 1, 1\r\n"), std::string::npos);
    EXPECT_FALSE(z.sampleCheckArmed());
    ASSERT_EQ(z.capture(r.data()), 1);
    ASSERT_TRUE(read(z, out, 2 * 64000));
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(ZentroTest, AScopeThatStopsAnsweringGivesCriticalError) {
    VirtualScope& s = addScope(0, 0xABCD, {"hold"});
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    std::vector<uint8_t> r = captureRecord(1000000, 1000, 1000000);
    s.unplugged = true;
    EXPECT_EQ(z.capture(r.data()), 0);
    EXPECT_TRUE(boxes.empty());
    s.unplugged = false;
    threaded = true;
    ASSERT_EQ(z.capture(r.data()), 1);
    // Pulled off the cable while the worker waits for its trigger: the worker gives up on it and the
    // read reports the scope's data as invalid.
    s.unplugged = true;
    std::vector<double> out;
    EXPECT_FALSE(read(z, out, 2 * 1000));
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes.back(), "Error: Critical Error!");
    EXPECT_EQ(out[0], -1.0);  // the caller's buffer is left as it was
}

TEST_F(ZentroTest, TiedSignalFollowsTheLogicChannelFromItsRisingEdgeAtTheTrigger) {
    VirtualScope& s = addScope(0, 0xABCD, {"ch1=tie3", "ch2=tie0@5"});
    ZentroRuntime& z = load();
    ASSERT_EQ(z.init(20), 1);
    std::vector<uint8_t> r = captureRecord(100000000, 64000, 1000000);
    ASSERT_EQ(z.capture(r.data()), 1);
    std::vector<double> out;
    ASSERT_TRUE(read(z, out, 2 * 64000));
    // Channel 3 of a board counts 5 ns periods: high for 40 ns from its rising edge, low for 40 ns.
    // At 10 ns per sample the trace is high on samples 32768-32771 and low on 32772-32775.
    for (int i = 32760; i < 32784; ++i) {
        const bool high = ((i - 32768 + 800) / 4) % 2 == 0;
        EXPECT_NEAR(out[static_cast<size_t>(i)], high ? 3.3e6 : 0.0, 1e6 / 64) << i;
    }
    // Channel 0 toggles every 5 ns: sampled every 10 ns it stays at the level of the phase given.
    EXPECT_NEAR(out[64000 + 32768], 3.3e6, 1e6 / 64);
    EXPECT_NEAR(out[64000 + 32769], 3.3e6, 1e6 / 64);
    EXPECT_EQ(s.config().signal[1].phase, 5u);
}

TEST(VirtualScopeConfig, EntriesOfTheVirtualHardwareTextMakeScopes) {
    VirtualSystem sys;
    std::string error;
    ASSERT_TRUE(sys.addFromConfig("usb0=2136;usb2=scope:abce:serial=RCX1:ch1=tie10@1:ch2=square@2000/500:polls=3",
                                  &error))
        << error;
    ASSERT_NE(sys.scope("usb2"), nullptr);
    const VirtualScopeConfig& c = sys.scope("usb2")->config();
    EXPECT_EQ(c.model, 0xABCE);
    EXPECT_EQ(c.serial, "RCX1");
    EXPECT_EQ(c.signal[0].wave, ScopeWave::Tied);
    EXPECT_EQ(c.signal[0].channel, 10);
    EXPECT_EQ(c.signal[0].phase, 1u);
    EXPECT_EQ(c.signal[1].wave, ScopeWave::Square);
    EXPECT_DOUBLE_EQ(c.signal[1].hz, 2000);
    EXPECT_DOUBLE_EQ(c.signal[1].volts, 0.5);
    EXPECT_EQ(c.polls, 3);
    EXPECT_NE(sys.board("usb0"), nullptr);
    EXPECT_EQ(sys.board("usb2"), nullptr);
    for (const char* bad : {"lpt0=scope:abcd", "usb1=scope", "usb1=scope:abcd:ch1=triangle", "usb1=scope:abcd:tie",
                            "usb1=scope:abcd:ch2=tie99", "usb1=scope:abcd:ch1=sine@x"}) {
        VirtualSystem other;
        EXPECT_FALSE(other.addFromConfig(bad, &error)) << bad;
        EXPECT_EQ(other.scope("usb1"), nullptr);
    }
}

}  // namespace
}  // namespace zentro
}  // namespace kv
