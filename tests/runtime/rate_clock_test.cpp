// Rate and clock-source lists as the viewer reads them, and the sample clock each family programs.
#include <cstring>

#include "runtime/rate_tables.h"
#include "runtime/sample_clock.h"
#include "tests/runtime/capture_fixture.h"

namespace kv {
namespace {

using RateClockTest = CaptureFixture;

TEST_F(RateClockTest, RateRowsTextsAndCountsFollowTheBoardAndTheProcess) {
    HalvexRuntime& rt = load("usb0=pocket:1216;usb1=2136;usb2=usb20:2032:3;usb3=pocket:2216:6");
    ASSERT_EQ(open(0), 0);
    uint32_t rate[2] = {7, 7}, cls = 0;
    char text[16] = "x";
    // An index outside the table stands for an ISA board of code 0x1064.
    EXPECT_EQ(rt.freqInfoEx(-1, 0, 19, 0, rate, &cls, text, sizeof text), 20);
    EXPECT_STREQ(text, "100  Hz");
    EXPECT_EQ(rate[0], 100u);
    EXPECT_EQ(rate[1], 0u);
    EXPECT_EQ(cls, 3u);
    EXPECT_EQ(rt.freqInfoEx(0, 0, 20, 0, rate, &cls, text, sizeof text), -1);
    EXPECT_EQ(rt.freqInfoEx(0, 0, 2, 0, nullptr, nullptr, text, sizeof text), 20);
    EXPECT_STREQ(text, " 50 MHz");
    EXPECT_EQ(rt.freqInfoEx(0, 0, 0, 0, nullptr, &cls, text, sizeof text), 20);
    EXPECT_EQ(cls, 2u);
    // A text that does not fit with its NUL is left out; the row is still reported.
    std::strcpy(text, "keep");
    EXPECT_EQ(rt.freqInfoEx(0, 0, 9, 0, nullptr, nullptr, text, 7), 20);
    EXPECT_STREQ(text, "keep");
    // what = 2: a rate given by value; an unknown one reads as row 0.
    EXPECT_EQ(rt.freqInfoEx(0, 2, 5000, 0, rate, nullptr, text, sizeof text), 20);
    EXPECT_STREQ(text, "  5 KHz");
    EXPECT_EQ(rt.freqInfo(0, 2, 1000000, rate, nullptr, text, sizeof text), 20);
    EXPECT_STREQ(text, "  1 MHz");
    EXPECT_EQ(rt.freq2IndexEx(0, 100, 0), 19);
    EXPECT_EQ(rt.freq2Index(0, 123), 0);
    // Clock sources of a pocket board.
    EXPECT_EQ(rt.freqInfoEx(0, 1, 2, 0, rate, &cls, text, sizeof text), 3);
    EXPECT_EQ(cls, 70u);
    EXPECT_STREQ(text, "!Ext Clk(!CH15)");
    EXPECT_EQ(rt.extClk2Index(0, 70), 2);
    EXPECT_EQ(rt.extClk2Index(0, 5), 0);
    EXPECT_EQ(rt.extClk2Index(-1, 70), 0);
    // Nanlyn: 26 unpadded rows down to 1 Hz; one clock source.
    ASSERT_EQ(open(1), 1);
    EXPECT_EQ(rt.freqInfoEx(1, 0, 25, 0, rate, &cls, text, sizeof text), 26);
    EXPECT_STREQ(text, "1 Hz");
    EXPECT_EQ(cls, 7u);
    EXPECT_EQ(rt.freqInfoEx(1, 1, 0, 0, nullptr, &cls, text, sizeof text), 1);
    EXPECT_EQ(rt.extClk2Index(1, 1), 0);
    // Family 3 code 0x2032 lists two sources but is looked up in the 0x32 table.
    ASSERT_EQ(open(2), 2);
    EXPECT_EQ(rt.freqInfoEx(2, 1, 1, 0, nullptr, &cls, text, sizeof text), 2);
    EXPECT_STREQ(text, "CH31");
    EXPECT_EQ(rt.extClk2Index(2, 11), 3);
    // Once a family-6 board is open, the standard boards of the process list 27 rows; family 3 not.
    ASSERT_EQ(open(3), 3);
    EXPECT_EQ(rt.freqInfoEx(0, 0, 0, 0, rate, nullptr, text, sizeof text), 27);
    EXPECT_STREQ(text, "450 MHz*");
    EXPECT_EQ(rate[0], 450000000u);
    EXPECT_EQ(rt.freqInfoEx(-1, 0, 26, 0, nullptr, nullptr, text, sizeof text), 27);
    EXPECT_STREQ(text, "100  Hz");
    EXPECT_EQ(rt.freqInfoEx(2, 0, 0, 0, nullptr, nullptr, nullptr, 0), 20);
    // An index in range that is not open has no board.
    EXPECT_EQ(rt.freqInfoEx(50, 0, 0, 0, nullptr, nullptr, nullptr, 0), -1);
    EXPECT_EQ(rt.freqInfoEx(0, 3, 0, 0, nullptr, nullptr, nullptr, 0), -1);
}

TEST(RateCodes, KnownCodesGiveTheirRateExternalOrNothing) {
    uint32_t rate = 9, external = 9;
    EXPECT_EQ(HalvexRuntime::tbl2Freq(3, &rate, &external), 1);
    EXPECT_EQ(rate, 0u);
    EXPECT_EQ(external, 1u);
    EXPECT_EQ(HalvexRuntime::tbl2Freq(7, &rate, &external), 0);
    EXPECT_EQ(rate, 0u);
    EXPECT_EQ(external, 0u);
    EXPECT_EQ(HalvexRuntime::tbl2Freq(31, &rate, &external), 1);
    EXPECT_EQ(rate, 0u);
    EXPECT_EQ(HalvexRuntime::tbl2Freq(17, &rate, nullptr), 1);
    EXPECT_EQ(rate, 2000000u);
    int code = 0;
    EXPECT_TRUE(codeOfRate(500, code));
    EXPECT_EQ(code, 13);
    EXPECT_FALSE(codeOfRate(300, code));
    EXPECT_EQ(code, 31);
}

// Frames of one board after a given count.
std::vector<std::vector<uint8_t>> framesSince(VirtualBoard& b, size_t from) {
    auto all = b.frames();
    return {all.begin() + static_cast<long>(std::min(from, all.size())), all.end()};
}

TEST_F(RateClockTest, FamilyThreeSearchesPrescalerDividerBaseAndRefusesWhatItCannotMake) {
    HalvexRuntime& rt = load("usb0=usb20:2164:3");
    ASSERT_EQ(open(0), 0);
    KvDevice& d = *rt.device(0);
    VirtualBoard& b = *sys.board("usb0");
    size_t from = b.frames().size();
    // 25 MHz: 100 MHz / 1 / 4, prescaler position 2, before 125 MHz / 1 / 5 could be considered.
    ASSERT_EQ(setupSampleClock(d, env, 25000000, 1, false), 1);
    auto f = framesSince(b, from);
    ASSERT_EQ(f.size(), 2u);
    EXPECT_EQ(f[0], (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x20, 0}));
    EXPECT_EQ(f[1], (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x07, 16}));
    // Half rate halves the wanted rate and moves the base by 4; source 19 adds 224.
    ASSERT_EQ(setupSampleClock(d, env, 200000000, 19, true), 1);
    EXPECT_EQ(b.controlRegister(), 224);
    EXPECT_EQ(*(b.frames().end() - 2), (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x20, 4}));
    // External sources and "no internal rate".
    ASSERT_EQ(setupSampleClock(d, env, 1000, 74, false), 1);
    EXPECT_EQ(b.controlRegister(), 0x60);
    EXPECT_EQ(b.frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x77, 0x20, 3}));
    ASSERT_EQ(setupSampleClock(d, env, kNoInternalRate, 1, false), 1);
    EXPECT_EQ(b.controlRegister(), 7);
    EXPECT_TRUE(messages.empty());
    from = b.frames().size();
    EXPECT_EQ(setupSampleClock(d, env, 3000000, 1, false), 0);
    EXPECT_EQ(b.frames().size(), from);
    EXPECT_EQ(messages, std::vector<std::string>{"Error: Frequency is not match."});
}

TEST_F(RateClockTest, FamilyOneAndPocketBoardsTakeTheirListValues) {
    HalvexRuntime& rt = load("usb0=usb2epp:1132:1;usb1=pocket:1216");
    ASSERT_EQ(open(0), 0);
    ASSERT_EQ(open(1), 1);
    KvDevice& f1 = *rt.device(0);
    VirtualBoard& b1 = *sys.board("usb0");
    ASSERT_EQ(setupSampleClock(f1, env, 50000000, 1, false), 1);
    EXPECT_EQ(b1.controlRegister(), 152);
    ASSERT_EQ(setupSampleClock(f1, env, 100, 1, true), 1);
    EXPECT_EQ(b1.controlRegister(), 166);
    EXPECT_EQ(b1.frames().back(), (std::vector<uint8_t>{0x5A, 0x0F, 0x22, 0x20, 0x00, 0x00}));
    ASSERT_EQ(setupSampleClock(f1, env, 20000000, 10, false), 1);  // external source CH31
    EXPECT_EQ(b1.controlRegister(), 0);
    EXPECT_EQ(*(b1.frames().end() - 2), (std::vector<uint8_t>{0x5A, 0x0F, 0x22, 0x20, 0x60, 0x00}));
    EXPECT_EQ(setupSampleClock(f1, env, 300, 1, false), 0);

    KvDevice& p = *rt.device(1);
    VirtualBoard& bp = *sys.board("usb1");
    ASSERT_EQ(setupSampleClock(p, env, 10000000, 1, false), 1);
    EXPECT_EQ(bp.controlRegister(), 0);
    ASSERT_EQ(setupSampleClock(p, env, 10000000, 1, true), 1);
    EXPECT_EQ(bp.controlRegister(), 32);
    ASSERT_EQ(setupSampleClock(p, env, 0, 70, false), 1);
    EXPECT_EQ(bp.controlRegister(), 0xDF);
}

TEST(Synthesizer, RegisterBytesDividerAndPrescaleFollowTheRate) {
    SynthSettings s;
    ASSERT_TRUE(synthSettingsFor(200000000, s));  // reference 4f, above 130 MHz
    EXPECT_EQ(s.divider, 4);
    EXPECT_EQ(s.prescale, 1);
    EXPECT_EQ(s.byte18, 0xC9);
    EXPECT_EQ(s.byte19, 140);
    EXPECT_EQ(s.byte22, 0x40);
    ASSERT_TRUE(synthSettingsFor(100000000, s));  // N = 396: high bit of the loop divider
    EXPECT_EQ(s.byte18, 0xD1);
    EXPECT_EQ(s.byte19, 396 % 256);
    EXPECT_EQ(s.byte6, 4);
    ASSERT_TRUE(synthSettingsFor(100000, s));  // 100 MHz / 1000: prescale 10, divider 100
    EXPECT_EQ(s.prescale, 10);
    EXPECT_EQ(s.divider, 100);
    ASSERT_TRUE(synthSettingsFor(100, s));  // 1 MHz / 10000: prescale 100, divider 100, bit 7 of byte 6
    EXPECT_EQ(s.prescale, 100);
    EXPECT_EQ(s.byte6, 0x80 | 100);
    ASSERT_TRUE(synthSettingsFor(50, s));  // 1 MHz / 20000: 200, divider 100
    EXPECT_EQ(s.prescale, 200);
    EXPECT_FALSE(synthSettingsFor(300, s));      // 1 MHz is no multiple of 300 Hz
    EXPECT_FALSE(synthSettingsFor(90000000, s) && s.divider == 0);
    EXPECT_FALSE(synthSettingsFor(0, s));
    // The image: 210 bytes, its transfers start at the device address.
    EXPECT_EQ(kSynthImage[0], 0xD2);
    EXPECT_EQ(kSynthImage[20], 0xD2);
    EXPECT_EQ(kSynthImage[21], 0x44);
}

TEST_F(RateClockTest, SynthesizerPocketBoardProgramsOnceAndSwitchesOffAndOn) {
    HalvexRuntime& rt = load("usb0=pocket:2216:5");
    ASSERT_EQ(open(0), 0);
    KvDevice& d = *rt.device(0);
    VirtualBoard& b = *sys.board("usb0");
    size_t from = b.log().size();
    ASSERT_EQ(setupSampleClock(d, env, 100000, 1, false), 1);
    EXPECT_EQ(b.controlRegister(), 1);  // prescale 10
    EXPECT_EQ(b.synthesizerHz(), 100000u);  // what the board made of the bits it was clocked
    // The whole bit stream went out as one bulk write of control-register frames.
    size_t bulks = 0, bulkBytes = 0;
    for (size_t i = from; i < b.log().size(); ++i)
        if (b.log()[i].op == Exchange::Op::BulkOut && b.log()[i].data.size() > 1000) {
            ++bulks;
            bulkBytes = b.log()[i].data.size();
        }
    EXPECT_EQ(bulks, 1u);
    EXPECT_EQ(bulkBytes % 5, 0u);
    // The same rate again: no transfer, only the prescale bits.
    from = b.log().size();
    ASSERT_EQ(setupSampleClock(d, env, 100000, 1, false), 1);
    for (size_t i = from; i < b.log().size(); ++i) EXPECT_LT(b.log()[i].data.size(), 100u);
    // Off, then the same rate: only the short transfers.
    ASSERT_EQ(setupSampleClock(d, env, kNoInternalRate, 1, false), 1);
    EXPECT_EQ(d.synthRate, -100000);
    EXPECT_EQ(b.synthesizerHz(), 0u);
    EXPECT_EQ(b.controlRegister(), 3);
    from = b.log().size();
    ASSERT_EQ(setupSampleClock(d, env, 100000, 1, false), 1);
    EXPECT_EQ(d.synthRate, 100000);
    EXPECT_EQ(b.synthesizerHz(), 100000u);
    size_t shortBytes = 0;
    for (size_t i = from; i < b.log().size(); ++i)
        if (b.log()[i].op == Exchange::Op::BulkOut) shortBytes = std::max(shortBytes, b.log()[i].data.size());
    EXPECT_LT(shortBytes, bulkBytes / 20);
    // External sources by their inversion bit; a rate the synthesizer cannot make fails.
    ASSERT_EQ(setupSampleClock(d, env, 0, 70, false), 1);
    EXPECT_EQ(b.controlRegister(), 67);
    ASSERT_EQ(setupSampleClock(d, env, 0, 6, false), 1);
    EXPECT_EQ(b.controlRegister(), 99);
    EXPECT_EQ(setupSampleClock(d, env, 300, 1, false), 0);
    for (uint64_t f : {200000000ull, 20000000ull, 1000000ull, 100ull}) {
        ASSERT_EQ(setupSampleClock(d, env, f, 1, false), 1);
        EXPECT_EQ(b.synthesizerHz(), f);
    }
}

}  // namespace
}  // namespace kv
