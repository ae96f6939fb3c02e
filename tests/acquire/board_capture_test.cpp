// One acquisition with a scripted board: what is armed, read and shown, on a completed capture,
// a forced stop, a block-repeat mode and a repetitive run.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "runtime/le_bytes.h"
#include "viewer/acquire/board_capture.h"
#include "viewer/display/label_table.h"
#include "viewer/scope/scope_device.h"
#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/sample_store.h"
#include "viewer/trigger/trigger_setup.h"

namespace kv {
namespace {

class ScriptedBoard : public AcquisitionHost {
public:
    // Board facts.
    std::vector<uint32_t> info = std::vector<uint32_t>(0x20, 0);
    uint32_t captureSamples = 1000, readBytes = 8000, phase = 0;
    int readyAfter = 3;        // polls until ready; -1: never
    uint64_t sampleBase = 0x1000;
    bool otherViewer = false;

    // What happened.
    std::vector<std::string> log;
    std::vector<uint32_t> armedPositions;
    int polls = 0, notifyDepth = 0, maxNotifyDepth = 0, saved = 0;
    bool running = true, stop = false, autoSaveFlag = false;

    int reset() override { return log.push_back("reset"), 1; }
    uint32_t hwInfo(uint32_t s) override {
        if (s == 0x96940012u) return captureSamples;
        if (s == 0x96941002u) return readBytes;
        if (s == 0x96940018u) return phase;
        return 0;
    }
    uint32_t modeFeatures = 0;   // a Nanlyn mode of 36 channels, one sample per word
    bool currentMode(uint8_t out[kModeRecordSize]) override {
        std::fill(out, out + kModeRecordSize, 0);
        putLe32(out + 152, modeFeatures);
        putLe32(out + 156, 36);
        putLe32(out + 168, 1);
        return modeFeatures != 0;
    }
    int programTrigger(TriggerRecord&) override { return log.push_back("trigger"), 1; }
    int armCapture(TriggerRecord& r) override {
        log.push_back("arm");
        armedPositions.push_back(r.triggerPosition);
        polls = 0;
        return 1;
    }
    int isDataReady() override {
        ++polls;
        return readyAfter >= 0 && polls >= readyAfter;
    }
    int progress() override { return polls * 100; }
    int stopCapture() override { return log.push_back("stop"), 1; }
    int readCapture(uint8_t* out, int stopped, uint32_t lanes) override {
        log.push_back("read " + std::to_string(stopped) + " " + std::to_string(lanes));
        for (uint32_t i = 0; i < readBytes / 8 && !modeFeatures; ++i) putLe64(out + 8 * i, sampleBase + i);
        return 1;
    }
    bool stopRequested() override { return stop; }
    void clearStopRequest() override { stop = false; }
    bool captureRunning() override { return running; }
    void setCaptureRunning(bool on) override { running = on; }
    void waitForTriggerProgramming() override { log.push_back("wait"); }
    bool anotherViewerHasThisBoard() override { return otherViewer; }
    void notifyPatternEditor(int accessing) override {
        notifyDepth += accessing ? 1 : -1;
        maxNotifyDepth = std::max(maxNotifyDepth, notifyDepth);
    }
    void markUnsaved() override { log.push_back("unsaved"); }
    void showProgressDisplay(bool on) override { log.push_back(on ? "progress on" : "progress off"); }
    void repaintProgress(const ProgressAnimation&) override {}
    void enableControls(bool on) override { log.push_back(on ? "controls on" : "controls off"); }
    void showStatus(AcquisitionStatus s) override { log.push_back(s == AcquisitionStatus::CaptureOk ? "Capture Ok" : "Force Stop Capture"); }
    void showCapture(bool jump) override { log.push_back(jump ? "show, jump" : "show"); }
    void endBusyAnimation() override { log.push_back("idle"); }
    void triggerBell() override {}
    bool autoSaveOn() override { return autoSaveFlag; }
    void autoSave(int counter) override {
        log.push_back("save " + std::to_string(counter));
        if (++saved == 2) stop = true;
    }
    uint32_t ticks() override { return static_cast<uint32_t>(polls) * 250; }
    void yield() override {}

    bool saw(const std::string& entry) const { return std::find(log.begin(), log.end(), entry) != log.end(); }
};

struct ViewerState {
    CaptureBuffer capture;
    SampleStore store;
    TriggerSetup trigger;
    LabelTable labels;
    explicit ViewerState(const HardwareValues& hw) : trigger(TriggerDevice{hw.productCode, false, hw.channelCount}) {
        capture.allocate(deviceLimits(hw));
        labels.entries[0].kind = 1;
        labels.entries[0].channel = 3;
        labels.entries[1].kind = 1;
        labels.entries[1].channel = 17;
    }
    AcquisitionTarget target() { return AcquisitionTarget{capture, store, trigger, labels}; }
};

const HardwareValues kPocket{8, 0x2216, 16, 0x20000, 1, 64};

// A scope that arms after two status reads and has data after `readyAfter` polls, writing what it
// is asked into the board's log.
class ScriptedScope : public ScopeDevice {
public:
    explicit ScriptedScope(std::vector<std::string>& log) : log_(log) {}
    int statusReads = 0, readyPolls = 0, readyAfter = 2;
    bool openAddress(const char*) override { return false; }
    bool openIp(uint32_t) override { return false; }
    bool openDefault() override { return true; }
    bool dataReady() override { return ++readyPolls >= readyAfter; }
    uint32_t status() override { return ++statusReads >= 2 ? kScopeArmed : 0; }
    uint64_t setSampleRate(uint64_t hz) override { return hz; }
    uint64_t sampleRate() override { return 0; }
    double samplePeriod() override { return 0; }
    void setChannelRange(int, uint64_t) override {}
    uint64_t channelRange(int) override { return 0; }
    bool setAcCoupling(int, bool) override { return true; }
    bool setBandwidthLimit(int, bool) override { return true; }
    bool setTriggerPosition(double*) override { return true; }
    bool arm() override { return log_.push_back("scope arm"), true; }
    bool read() override { return log_.push_back("scope read"), true; }
    uint8_t readingFinished() override { return 1; }
    double* channelBuffer(int) override { return nullptr; }
    int channelCount() override { return 2; }
    int sampleCount(int) override { return 0; }
    int64_t timeToIndex(double) override { return 0; }
    void extremes(int64_t&, int64_t&) override {}
    void channelExtremes(int, int64_t&, int64_t&) override {}
    bool stop() override { return true; }
    bool reserved() override { return true; }
    const char* modelName() override { return ""; }
    uint32_t modelCode() override { return 0; }

private:
    std::vector<std::string>& log_;
};

class StackedBoard : public ScriptedBoard {
public:
    ScriptedScope scope{log};
    bool stopWhileScopeWaits = false;
    ScopeDevice* stackedScope() override { return &scope; }
    void configureStackedScope(ScopeDevice&) override { log.push_back("scope setup"); }
    void scopeRead(bool ok) override { log.push_back(ok ? "scope shown" : "scope lost"); }
};

TEST(BoardCaptureTest, StackedScopeIsArmedBeforeAndReadAfterTheLogicCapture) {
    ViewerState v(kPocket);
    StackedBoard b;
    BoardAcquisition a(b, AcquisitionBoard{false, 8, 0x2216, 1, 64}, v.target());
    a.runSingle();
    EXPECT_EQ(b.log, (std::vector<std::string>{"unsaved", "reset", "trigger", "controls off", "scope setup",
                                               "scope arm", "arm", "stop", "Capture Ok", "read 0 5", "scope read",
                                               "scope shown", "show", "controls on", "idle", "Capture Ok"}));
    EXPECT_EQ(b.scope.statusReads, 2);
    EXPECT_EQ(b.scope.readyPolls, 2);

    // A stop ends the wait for the scope's data; the read is still made.
    struct StopSoon : StackedBoard {
        int yields = 0;
        void yield() override {
            if (++yields == 5) stop = true;
        }
    } s;
    s.readyAfter = -1;
    s.scope.readyAfter = 1000000;
    BoardAcquisition stopped(s, AcquisitionBoard{false, 8, 0x2216, 1, 64}, v.target());
    stopped.runSingle();
    EXPECT_TRUE(s.saw("Force Stop Capture"));
    EXPECT_TRUE(s.saw("scope read"));
    EXPECT_LT(s.scope.readyPolls, 3);
}

TEST(BoardCaptureTest, CompletedCaptureIsReadWithItsLanesAndShown) {
    ViewerState v(kPocket);
    v.trigger.setTriggerPosition(300);
    ScriptedBoard b;
    b.phase = 2;
    BoardAcquisition a(b, AcquisitionBoard{false, 8, 0x2216, 1, 64}, v.target());
    a.runSingle();
    EXPECT_EQ(b.log, (std::vector<std::string>{"unsaved", "reset", "trigger", "controls off", "arm", "stop",
                                               "Capture Ok", "read 0 5", "show", "controls on", "idle", "Capture Ok"}));
    EXPECT_EQ(b.armedPositions, std::vector<uint32_t>{300});
    EXPECT_EQ(b.polls, 3);
    EXPECT_EQ(b.notifyDepth, 0);     // every notification of access has its end
    EXPECT_EQ(b.maxNotifyDepth, 1);
    EXPECT_FALSE(b.running);
    EXPECT_EQ(v.trigger.sent, 1);
    EXPECT_EQ(v.capture.dataStartOffset(), 128);
    EXPECT_EQ(v.capture.captureLength, 8000);
    EXPECT_EQ(v.store.logicalCount(), 1000);
    EXPECT_EQ(v.store.startOffset(), 2);
    EXPECT_EQ(v.store.fetch(0), 0x1002u);
    EXPECT_EQ(v.capture.triggerPosition, 300);

    // A trigger already handed over is waited for, unless another viewer shares the board.
    b.log.clear();
    b.running = true;
    a.runSingle();
    EXPECT_TRUE(b.saw("wait"));
    EXPECT_FALSE(b.saw("trigger"));
    b.log.clear();
    b.running = true;
    b.otherViewer = true;
    a.runSingle();
    EXPECT_TRUE(b.saw("trigger"));
    EXPECT_TRUE(a.sharedDevice());
}

TEST(BoardCaptureTest, NanlynSampleGroupCaptureIsReadIntoItsPackedSize) {
    // The 1-channel column of a 0x2036 board: 36 x 4000 samples, 36 to a memory word, fit the
    // 200,000-byte buffer although the runtime's capture length counts 8 bytes a sample.
    ViewerState v(HardwareValues{8, 0x2036, 36, 25000, 1, 64});
    v.trigger.nanlynMemorySelect = 1 << 9;
    ScriptedBoard b;
    b.modeFeatures = 0x20 | 0x100;
    b.captureSamples = 144000;
    b.readBytes = 144000 * 8;
    BoardAcquisition a(b, AcquisitionBoard{true, 8, 0x2036, 1, 64}, v.target());
    a.runSingle();
    EXPECT_TRUE(b.saw("read 0 5"));
    EXPECT_EQ(v.store.logicalCount(), 144000);
    EXPECT_EQ(v.store.sampleBits(), 1);
}

TEST(BoardCaptureTest, RepetitiveRunSavesEachCaptureAndEndsOnStopWithoutReading) {
    ViewerState v(kPocket);
    ScriptedBoard b;
    b.autoSaveFlag = true;   // the scripted board presses Stop after the second save
    BoardAcquisition a(b, AcquisitionBoard{false, 8, 0x2216, 1, 64}, v.target());
    a.runRepetitive();
    EXPECT_EQ(b.armedPositions.size(), 3u);
    EXPECT_EQ(std::count(b.log.begin(), b.log.end(), std::string("read 0 5")), 2);
    EXPECT_TRUE(b.saw("save 0"));
    EXPECT_TRUE(b.saw("save 1"));
    EXPECT_FALSE(b.saw("save 2"));
    EXPECT_FALSE(b.saw("Capture Ok"));
    EXPECT_EQ(b.log.back(), "idle");
    EXPECT_FALSE(b.running);
    EXPECT_EQ(b.notifyDepth, 0);
}

}  // namespace
}  // namespace kv
