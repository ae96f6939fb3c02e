// The data logger's divider rules, record decoding and text form.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "logger/logger_core.h"

namespace kv {
namespace {

TEST(LoggerSettings, DividerOfTheFiftyMegahertzClock) {
    LoggerSettings s = checkLoggerSettings(3, 8, -1);
    EXPECT_EQ(s.check, LoggerCheck::AskCloseValue);  // 16,666,666.67 is not whole
    EXPECT_EQ(s.divider, 16666666u);
    EXPECT_EQ(loggerHeader(s.rate), "Sampling Rate = 3.00Hz\r\nFormat: Sample Clocks(Dec), Data(Hex)\r\n");
    EXPECT_EQ(s.channelMask, 0xFFu);

    s = checkLoggerSettings(0.02, 36, 1);
    EXPECT_EQ(s.check, LoggerCheck::Ok);  // the lowest rate: whole, no question
    EXPECT_EQ(s.divider, 2500000000u);
    EXPECT_EQ(s.channelMask, 0xFFFFFFFFFull);
    EXPECT_EQ(checkLoggerSettings(50000000, 1, -1).divider, 1u);
    EXPECT_EQ(checkLoggerSettings(1000000, 1, -1).check, LoggerCheck::Ok);

    for (double bad : {50000001.0, 0.0, -1.0, 0.015, 0.01})  // 0.01 Hz would need a 33-bit divider
        EXPECT_EQ(checkLoggerSettings(bad, 8, -1).check, LoggerCheck::RateOverRange) << bad;
    EXPECT_EQ(checkLoggerSettings(1000, 0, -1).check, LoggerCheck::ChannelsOverRange);
    EXPECT_EQ(checkLoggerSettings(1000, 37, -1).check, LoggerCheck::ChannelsOverRange);
    EXPECT_EQ(checkLoggerSettings(1000, 8, 0.5).check, LoggerCheck::AutoStopTime);
    EXPECT_EQ(checkLoggerSettings(3, 0, -1).check, LoggerCheck::ChannelsOverRange);  // rate first, then channels
}

std::vector<uint8_t> record(uint8_t status, uint64_t clocks, uint32_t low) {
    std::vector<uint8_t> r(kLoggerRecordBytes);
    r[0] = status;
    for (int i = 0; i < 7; ++i) r[1 + i] = static_cast<uint8_t>(clocks >> (8 * i));
    for (int i = 0; i < 4; ++i) r[8 + i] = static_cast<uint8_t>(low >> (8 * i));
    return r;
}

std::vector<uint8_t> join(std::initializer_list<std::vector<uint8_t>> parts) {
    std::vector<uint8_t> out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

TEST(LoggerRecords, DecodeMaskAndTextLines) {
    const auto r = record(0x0B, 0x00ABCDEF12345678ull, 0xFFFFFF5A);
    LoggerRecord d = decodeLoggerRecord(r.data(), 0xFFFFFFFFFull);
    EXPECT_EQ(d.clocks, 0x00ABCDEF12345678ull);
    EXPECT_EQ(d.value, 0xBFFFFFF5Aull);  // status low nibble = bits 32-35
    d = decodeLoggerRecord(r.data(), 0xFF);
    EXPECT_EQ(d.value, 0x5Au);           // 8 channels

    // The first record of a run is dropped; three lost-data records give one line; records that are
    // not data are skipped without re-arming the marker; a trailing partial record waits.
    const auto block = join({record(0, 1, 1), record(0, 12, 0x3), record(kRecordLost, 20, 0), record(kRecordLost, 21, 0),
                             record(kRecordNotData, 0, 0), record(kRecordLost, 22, 0), record(0, 30, 0x7),
                             record(kRecordLost, 40, 0), {1, 2, 3}});
    LoggerText text(0xF);
    std::string out;
    text.convert(block.data(), block.size(), true, out);
    EXPECT_EQ(out,
              "000000000000012 000000003\r\n"
              "***** lose data *****\r\n"
              "000000000000030 000000007\r\n"
              "***** lose data *****\r\n");
    EXPECT_TRUE(text.lostAny());

    // Raw records kept for post-processing: the same text once converted, across block boundaries.
    std::vector<uint8_t> raw;
    bool lastLost = false;
    const size_t half = 5 * kLoggerRecordBytes;
    keepRawRecords(block.data(), half, true, lastLost, raw);
    keepRawRecords(block.data() + half, block.size() - half, false, lastLost, raw);
    EXPECT_EQ(raw.size(), 4u * kLoggerRecordBytes);
    LoggerText again(0xF);
    std::string fromRaw;
    again.convert(raw.data(), raw.size(), false, fromRaw);
    EXPECT_EQ(fromRaw, out);
}

}  // namespace
}  // namespace kv
