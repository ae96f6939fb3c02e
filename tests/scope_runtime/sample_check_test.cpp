// The sample check: raw words, missing codes, jumps, the verdict and the log file's text.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scope_runtime/sample_check.h"

namespace kv {
namespace zentro {
namespace {

// Both channels step through every code once (a slow ramp): nothing missing, no jump.
std::vector<uint32_t> fullSweep() {
    std::vector<uint32_t> w;
    for (uint16_t c = 0; c < 1024; ++c) w.push_back(encodeRaw({c, c, 0, 0}));
    return w;
}

TEST(SampleCheck, RawWordPacksThreeCodesAndTwoStatusBits) {
    const RawSample s{0x3FF, 0x155, 2, 0x2AA};
    const uint32_t w = encodeRaw(s);
    EXPECT_EQ(w, 0x3FFu | 0x155u << 10 | 2u << 20 | 0x2AAu << 22);
    const RawSample back = decodeRaw(w);
    EXPECT_EQ(back.ch1, 0x3FF);
    EXPECT_EQ(back.ch2, 0x155);
    EXPECT_EQ(back.status, 2);
    EXPECT_EQ(back.third, 0x2AA);
}

TEST(SampleCheck, MissingCodesNameTheChannelAndJumpsTheConverter) {
    std::vector<uint32_t> w = fullSweep();
    EXPECT_EQ(checkSamples(w.data(), w.size()).verdict, CheckVerdict::Pass);

    std::vector<uint32_t> no512 = w;
    no512[512] = encodeRaw({511, 512, 0, 0});
    CheckResult r = checkSamples(no512.data(), no512.size());
    EXPECT_EQ(r.verdict, CheckVerdict::Channel1);
    EXPECT_FALSE(r.seen[0][512]);
    EXPECT_EQ(verdictMessage(r.verdict), "CH1 Error!");

    std::vector<uint32_t> ch2 = w;
    ch2[3] = encodeRaw({3, 4, 0, 0});
    EXPECT_EQ(verdictMessage(checkSamples(ch2.data(), ch2.size()).verdict), "CH2 Error!");
    ch2[700] = encodeRaw({701, 700, 0, 0});
    EXPECT_EQ(verdictMessage(checkSamples(ch2.data(), ch2.size()).verdict), "CH1 and CH2 Error!");

    // Six jumps of more than 7 codes (full coverage otherwise) blame the converter; jumps to or from
    // the limits do not count, nor does a jump of exactly 7.
    std::vector<uint32_t> jumpy = w;
    for (uint16_t i = 0; i < 3; ++i) {
        jumpy.push_back(encodeRaw({100, 100, 0, 0}));
        jumpy.push_back(encodeRaw({200, 200, 0, 0}));  // one jump per channel, twice per round
    }
    r = checkSamples(jumpy.data(), jumpy.size());
    EXPECT_EQ(r.jumps[0] + r.jumps[1], 10);
    EXPECT_EQ(r.verdict, CheckVerdict::Converter);
    EXPECT_NE(verdictMessage(r.verdict).find("9215"), std::string::npos);
    std::vector<uint32_t> calm = w;
    for (uint16_t i = 0; i < 5; ++i) {
        calm.push_back(encodeRaw({1023, 0, 0, 0}));
        calm.push_back(encodeRaw({500, 500, 0, 0}));
        calm.push_back(encodeRaw({507, 493, 0, 0}));
    }
    r = checkSamples(calm.data(), calm.size());
    EXPECT_EQ(r.jumps[0] + r.jumps[1], 0);
    EXPECT_EQ(r.verdict, CheckVerdict::Pass);
    EXPECT_EQ(verdictMessage(CheckVerdict::Pass), "");
}

TEST(SampleCheck, LogListsEverySampleMarksJumpsAndEndsWithTheCoverage) {
    const std::vector<uint32_t> w = {encodeRaw({512, 5, 1, 0x3FF}), encodeRaw({520, 6, 2, 0}),
                                     encodeRaw({521, 6, 0, 1})};
    const CheckResult r = checkSamples(w.data(), w.size());
    const std::string text = sampleLogText("ZS0000001", w.data(), w.size(), r);
    const std::string head =
        "ID:ZS0000001\r\n"
        "1000000000(200h)(0512), 0000000101(005h)(0005), 1111111111(3FFh)(1023), 01\r\n"
        "<<<\r\n"
        "1000001000(208h)(0520), 0000000110(006h)(0006), 0000000000(000h)(0000), 10\r\n"
        ">>>\r\n"
        "1000001001(209h)(0521), 0000000110(006h)(0006), 0000000001(001h)(0001), 00\r\n"
        "\r\n\r\n\r\n"
        "0000 : 0, 0\r\n";
    EXPECT_EQ(text.substr(0, head.size()), head);
    EXPECT_NE(text.find("0005 : 0, 1\r\n0006 : 0, 1\r\n"), std::string::npos);
    EXPECT_NE(text.find("0512 : 1, 0\r\n"), std::string::npos);
    EXPECT_EQ(text.substr(text.size() - 13), "1023 : 0, 0\r\n");

    std::tm t{};
    t.tm_year = 126;
    t.tm_mon = 11;
    t.tm_mday = 8;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 7;
    EXPECT_EQ(sampleLogPath(t), "c:\\DsoLog\\DsoWave261208090507.log");
}

}  // namespace
}  // namespace zentro
}  // namespace kv
