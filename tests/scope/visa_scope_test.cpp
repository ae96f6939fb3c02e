// The SCPI scope over VISA against a virtual instrument: families by identification, opening by
// USB or address, the trigger commands of each family, the read-back and its time mapping, and
// curve blocks that are malformed or longer than the buffer.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "simulator/virtual_scpi_scope.h"
#include "viewer/scope/visa_scope.h"

namespace kv {
namespace {

struct Bench {
    explicit Bench(int family) : instrument(family), visa(instrument) {}
    VisaScope scope() {
        return VisaScope([this] { return present ? &visa : nullptr; }, [this](int id) { errors.push_back(id); },
                         [this](uint32_t ms) { slept += ms; });
    }
    VirtualScpiScope instrument;
    VirtualVisa visa;
    bool present = true;
    std::vector<int> errors;
    uint32_t slept = 0;
};

TEST(VisaScope, FamiliesComeFromTheIdentificationAndChannelsFromTheMeasurementReply) {
    const struct {
        const char* id;
        int family, capacity;
        bool main;
        const char* source;
        bool settle;
    } cases[] = {
        {"TEKTRONIX,TDS 1012,0,x", -1, 0, false, "", false},  // "TDS 1" is not "TDS1"
        {"TEKTRONIX,TDS1012B,0", 0, 100000, true, "EXT10", false},
        {"TEKTRONIX,TDS2024B,0", 0, 100000, true, "EXT10", false},
        {"TEKTRONIX,TPS2014,0", 0, 100000, true, "EXT10", false},
        {"TEKTRONIX,TDS3052B,0", 1, 100000, false, "EXT10", false},
        {"TEKTRONIX,DPO4104,0", 2, 10000000, false, "EXT", true},
        {"TEKTRONIX,TDS5104B,0", 3, 16000000, false, "EXT10", false},
        {"TEKTRONIX,MSO4054,0", 4, 10000000, false, "EXT", true},
        {"OTHER MAKER,SCOPE", -1, 0, false, "", false},
    };
    for (const auto& c : cases) {
        const VisaFamily f = visaFamily(c.id);
        EXPECT_EQ(f.family, c.family) << c.id;
        EXPECT_EQ(f.capacity, c.capacity) << c.id;
        EXPECT_EQ(f.mainCommandSet, c.main) << c.id;
        EXPECT_STREQ(f.source, c.source) << c.id;
        EXPECT_EQ(f.settle, c.settle) << c.id;
    }
    EXPECT_EQ(countChannels("CH1;CH2;FREQUENCY;0"), 2);
    EXPECT_EQ(countChannels("CH1;CH2;CH3;CH4;CH5;CH6;CH7"), 6);
    EXPECT_EQ(countChannels("CH1;CH3"), 1);
    EXPECT_EQ(countChannels("MATH;REF1"), 0);
}

TEST(VisaScope, OpensTheUsbInstrumentFirstElseTheAddressAndFailsCleanly) {
    Bench b(1);
    {
        VisaScope s = b.scope();
        ASSERT_TRUE(s.openIp(0x0100A8C0));  // 192.168.0.1, ignored: a USB instrument is attached
        EXPECT_EQ(b.visa.opened, std::vector<std::string>{"USB0::0x0699::0x0401::C010101::INSTR"});
        EXPECT_EQ(s.family(), 1);
        EXPECT_EQ(s.channelCount(), 2);
        EXPECT_EQ(s.sampleCount(1), 10000);
        EXPECT_EQ(b.instrument.received[0], "*idn?");
        EXPECT_EQ(b.instrument.received[1], "HORIZONTAL:RECORDLENGTH?\n");
        EXPECT_EQ(b.instrument.received[2], "MEASUREMENT?\n");
        ASSERT_NE(s.channelBuffer(1), nullptr);
        EXPECT_EQ(s.channelBuffer(1)[9999], 0.0);
        EXPECT_EQ(s.channelBuffer(2), nullptr);
    }
    b.visa.usbAttached = false;
    b.visa.opened.clear();
    VisaScope s = b.scope();
    EXPECT_FALSE(s.openDefault());  // no USB instrument and no address
    EXPECT_TRUE(b.visa.opened.empty());
    const int closes = b.visa.closes;
    EXPECT_FALSE(s.openIp(0x0300A8C0));  // 192.168.0.3: nothing answers there
    EXPECT_EQ(b.visa.opened.back(), "TCPIP::192.168.0.3::inst0::INSTR");
    EXPECT_EQ(b.visa.closes, closes + 1);  // the failed opening closed its resource manager
    EXPECT_TRUE(s.openIp(0x0200A8C0));
    EXPECT_EQ(b.visa.opened.back(), "TCPIP::192.168.0.2::inst0::INSTR");
    b.instrument.channels = 0;
    EXPECT_FALSE(s.openIp(0x0200A8C0));
    b.present = false;
    EXPECT_FALSE(s.openDefault());
    EXPECT_EQ(b.errors, std::vector<int>{kStrInstallVisa});

    // An instrument of another maker stays open with nothing to stack.
    Bench other(9);
    VisaScope o = other.scope();
    EXPECT_TRUE(o.openDefault());
    EXPECT_EQ(o.family(), -1);
    EXPECT_EQ(o.channelCount(), 0);
    EXPECT_FALSE(o.arm());
}

TEST(VisaScope, ArmsEachFamilyOnItsExternalInputWithItsCommandSet) {
    const std::vector<std::string> mainSet = {"HEADER OFF\n", "TRIGGER:MAIN:EDGE:SOURCE EXT10\n",
                                              "TRIGGER:MAIN:EDGE:SLOPE RISE\n", "TRIGGER:MAIN:EDGE:COUPLING DC\n",
                                              "TRIGGER:MAIN:LEVEL 1.4\n", "TRIGGER:MAIN:MODE NORMAL\n"};
    auto aSet = [](const char* source) {
        return std::vector<std::string>{"HEADER OFF\n", std::string("TRIGGER:A:EDGE:SOURCE ") + source + "\n",
                                        "TRIGGER:A:EDGE:SLOPE RISE\n", "TRIGGER:A:EDGE:COUPLING DC\n",
                                        "TRIGGER:A:LEVEL TTL\n", "TRIGGER:A:MODE NORMAL\n"};
    };
    const struct {
        int family;
        std::vector<std::string> commands;
        uint32_t pause;
    } cases[] = {{0, mainSet, 0}, {1, aSet("EXT10"), 0}, {2, aSet("EXT"), 500}, {3, aSet("EXT10"), 0},
                 {4, aSet("EXT"), 500}};
    for (const auto& c : cases) {
        Bench b(c.family);
        VisaScope s = b.scope();
        ASSERT_TRUE(s.openDefault());
        EXPECT_EQ(s.family(), c.family);
        b.instrument.received.clear();
        ASSERT_TRUE(s.arm());
        EXPECT_EQ(b.instrument.received, c.commands) << c.family;
        EXPECT_EQ(b.slept, c.pause) << c.family;
        // Any failing command ends the arm.
        b.visa.failAfter = 2;
        EXPECT_FALSE(s.arm());
        EXPECT_LT(s.lastStatus(), 0);
    }
}

TEST(VisaScope, DataReadyStatusChannelSettingsAndFixedAnswers) {
    Bench b(4);
    VisaScope s = b.scope();
    ASSERT_TRUE(s.openDefault());
    for (const char* state : {"READY", "ready", "Ready"}) {
        b.instrument.triggerState = state;
        EXPECT_TRUE(s.dataReady()) << state;
    }
    b.instrument.triggerState = "ARMED";
    EXPECT_FALSE(s.dataReady());
    EXPECT_EQ(s.status(), kScopeArmed);
    EXPECT_EQ(s.setSampleRate(1000), 5000000000ull);
    EXPECT_EQ(s.channelRange(0), 1000000u);
    double p = 12.5;
    EXPECT_TRUE(s.setTriggerPosition(&p));
    EXPECT_EQ(p, 12.5);
    EXPECT_STREQ(s.modelName(), "Tektronix TDS 3052B");
    EXPECT_EQ(s.modelCode(), 12370u);
    b.instrument.received.clear();
    EXPECT_TRUE(s.setAcCoupling(1, true));
    EXPECT_TRUE(s.setAcCoupling(2, false));
    EXPECT_TRUE(s.setBandwidthLimit(2, true));
    EXPECT_TRUE(s.setBandwidthLimit(1, false));
    EXPECT_FALSE(s.setAcCoupling(3, true));  // beyond the two channels the instrument named
    EXPECT_EQ(b.instrument.received,
              (std::vector<std::string>{"CH1:COUP AC", "CH2:COUP DC", "CH2:BAN TWE", "CH1:BAN FUL"}));
}

TEST(VisaScope, ReadConvertsBothCurvesToMicrovoltsAndMapsTimeOntoTheRecord) {
    Bench b(1);
    b.instrument.recordLength = 1000;
    b.instrument.yOffset[0] = 10;
    b.instrument.yMultiplier[0] = 0.04;
    b.instrument.yMultiplier[1] = 0.5;
    b.instrument.interval = 1e-8;
    VisaScope s = b.scope();
    ASSERT_TRUE(s.openDefault());
    b.instrument.received.clear();
    ASSERT_TRUE(s.read());
    EXPECT_EQ(s.readingFinished(), 1);
    const std::vector<std::string> head = {"header off\n", "HOR:RECO?\n", "data:start 0;data:stop 999\n",
                                           "HOR:DEL:STATE?\n", "WFMP:XIN?\n", "HOR:TRIG:POS?\n", "HOR:SCA?\n",
                                           "data:source CH1\n", "WFMPre:YOFf?\n", "WFMPre:YMUlt?\n",
                                           "DATA:ENCDG RIBINARY;WIDTH 1\n", "CURVE?\n", "data:source CH2\n"};
    ASSERT_GE(b.instrument.received.size(), head.size());
    EXPECT_EQ(std::vector<std::string>(b.instrument.received.begin(), b.instrument.received.begin() + 13), head);
    // Buffer modes: flush on access for both, then flushing disabled for each block.
    ASSERT_GE(b.visa.attributes.size(), 3u);
    EXPECT_EQ(b.visa.attributes[0], std::make_pair(kViAttrWriteBufferMode, kViFlushOnAccess));
    EXPECT_EQ(b.visa.attributes[1], std::make_pair(kViAttrReadBufferMode, kViFlushOnAccess));
    EXPECT_EQ(b.visa.attributes[2], std::make_pair(kViAttrReadBufferMode, kViFlushDisable));
    EXPECT_EQ(b.visa.flushes, (std::vector<uint16_t>{6, 6, 6}));

    EXPECT_EQ(s.sampleCount(0), 1000);
    for (int i : {0, 1, 150, 399, 999}) {
        EXPECT_NEAR(s.channelBuffer(0)[i], (VirtualScpiScope::sample(0, i) - 10) * 0.04 * 1e6, 1) << i;
        EXPECT_NEAR(s.channelBuffer(1)[i], VirtualScpiScope::sample(1, i) * 0.5 * 1e6, 1) << i;
    }
    int64_t hi = 0, lo = 0;
    s.channelExtremes(0, hi, lo);
    EXPECT_EQ(hi, 3600000);  // (100 - 10) x 0.04 V
    EXPECT_EQ(lo, -4400000);
    s.extremes(hi, lo);
    EXPECT_EQ(hi, 25000000);  // 50 x 0.5 V on channel 2
    EXPECT_EQ(lo, -25000000);

    // Trigger position 50 % with the delay off: the offset is the trigger path's 74 ns alone, and
    // the logic trigger (t = 0) falls 7.4 samples before the record's middle.
    EXPECT_NEAR(s.triggerOffset(), -74e-9, 1e-15);
    EXPECT_EQ(s.timeToIndex(0), static_cast<int64_t>((1000 * 1e-8 * 0.5 - 74e-9) / 1e-8 + 0.5));
    EXPECT_EQ(s.timeToIndex(0), 493);
    EXPECT_EQ(s.timeToIndex(1e-6), 593);
    b.instrument.triggerPercent = 60;
    b.instrument.secondsPerDivision = 1e-6;
    ASSERT_TRUE(s.read());
    EXPECT_NEAR(s.triggerOffset(), 1e-6 - 74e-9, 1e-12);
    b.instrument.delayOn = true;
    b.instrument.delaySeconds = 2e-6;
    ASSERT_TRUE(s.read());
    EXPECT_NEAR(s.triggerOffset(), -2e-6 - 74e-9, 1e-12);
}

TEST(VisaScope, CurveBlockIsReadByItsOwnLengthAndNeverBeyondTheBuffer) {
    // The block itself, over bytes in memory.
    auto over = [](const std::string& bytes, size_t& pos) {
        return [&bytes, &pos](char& c) {
            if (pos >= bytes.size()) return false;
            c = bytes[pos++];
            return true;
        };
    };
    const struct {
        std::string bytes;
        bool ok;
        int64_t stated;
        size_t stored, consumed;
    } cases[] = {
        {"#15ABCDE", true, 5, 4, 7},          {"#3008ABCDEFGH", true, 8, 4, 9},  // clipped to the buffer of 4
        {"#12AB", true, 2, 2, 5},         {"#14ABCD", true, 4, 4, 7},             {"15ABCDE", false, 0, 0, 1},        // no '#'
        {"#1xABCDE", false, 0, 0, 3},         {"#2x5ABCDE", false, 0, 0, 3},     // length digits not digits
        {"#05ABCDE", false, 0, 0, 2},         {"#13AB", false, 3, 2, 5},          // "#0", the block ends early
    };
    for (const auto& c : cases) {
        int8_t out[4] = {};
        size_t pos = 0;
        CurveBlock block;
        EXPECT_EQ(readCurveBlock(over(c.bytes, pos), out, sizeof out, block), c.ok) << c.bytes;
        EXPECT_EQ(block.stated, c.stated) << c.bytes;
        if (c.ok) {
            EXPECT_EQ(block.stored, c.stored) << c.bytes;
        }
        EXPECT_EQ(pos, c.consumed) << c.bytes;
    }

    // Through the scope: a block stating more than the record holds is clipped to the buffer, the
    // rest of the message dropped, and channel 2 is still read right after it.
    Bench b(1);
    b.instrument.recordLength = 500;
    VisaScope s = b.scope();
    ASSERT_TRUE(s.openDefault());
    b.instrument.curveLength = 100000;
    ASSERT_TRUE(s.read());
    EXPECT_EQ(s.sampleCount(0), 500);
    EXPECT_EQ(b.visa.bytesScanned, 2 * (2 + 6 + 500u));  // header and 500 samples per channel
    EXPECT_EQ(b.visa.flushes, (std::vector<uint16_t>{6, 1, 6, 1, 6}));
    EXPECT_NEAR(s.channelBuffer(1)[499], VirtualScpiScope::sample(1, 499) * 0.02 * 1e6, 1);
    // A shorter block fills what it holds; the rest stays zero.
    b.instrument.curveLength = 300;
    ASSERT_TRUE(s.read());
    EXPECT_EQ(s.sampleCount(0), 300);
    EXPECT_NE(s.channelBuffer(0)[299], 0.0);
    EXPECT_EQ(s.channelBuffer(0)[300], 0.0);
    // Malformed blocks fail the read.
    for (const char* header : {"X15", "#1Z", "#0"}) {
        b.instrument.curveLength = 5;
        b.instrument.blockHeader = header;
        EXPECT_FALSE(s.read()) << header;
    }
}

}  // namespace
}  // namespace kv
