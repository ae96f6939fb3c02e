#include "logger/logger_core.h"

#include <cmath>
#include <cstdio>

namespace kv {

LoggerSettings checkLoggerSettings(double rateHz, int channels, double autoStopSeconds) {
    LoggerSettings s;
    if (!(rateHz > 0) || rateHz > kLoggerClockHz) {
        s.check = LoggerCheck::RateOverRange;
        return s;
    }
    // The quotient in thousandths: typed rates are decimal and not exact in binary (0.02 Hz must
    // give the whole divider 2,500,000,000), so fractions are judged to three places.
    const uint64_t milli = static_cast<uint64_t>(std::llround(kLoggerClockHz / rateHz * 1000.0));
    const uint64_t whole = milli / 1000;
    const bool fractional = milli % 1000 != 0;
    // The divider goes to the board as 32 bits: a slower rate cannot be set at all.
    if ((fractional && whole > 0x80000000u) || whole > 0xFFFFFFFFu) {
        s.check = LoggerCheck::RateOverRange;
        return s;
    }
    s.divider = static_cast<uint32_t>(whole);
    s.rate = static_cast<double>(kLoggerClockHz) / s.divider;
    s.check = fractional ? LoggerCheck::AskCloseValue : LoggerCheck::Ok;
    if (channels < 1 || channels > kLoggerMaxChannels) {
        s.check = LoggerCheck::ChannelsOverRange;
        return s;
    }
    s.channelMask = (uint64_t{1} << channels) - 1;
    if (autoStopSeconds >= 0 && autoStopSeconds < 1) s.check = LoggerCheck::AutoStopTime;
    return s;
}

namespace {
uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
}  // namespace

LoggerRecord decodeLoggerRecord(const uint8_t* p, uint64_t mask) {
    LoggerRecord r;
    r.status = p[0];
    r.clocks = le32(p + 1) | static_cast<uint64_t>(p[5] | p[6] << 8 | p[7] << 16) << 32;
    // Data bits 32-35 travel in the status byte's low nibble: the mask keeps only those.
    r.value = (static_cast<uint64_t>(le32(p) & static_cast<uint32_t>(mask >> 32)) << 32) |
              (le32(p + 8) & static_cast<uint32_t>(mask));
    return r;
}

std::string loggerHeader(double rate) {
    char line[64];
    std::snprintf(line, sizeof line, "Sampling Rate = %.2fHz\r\n", rate);
    return std::string(line) + "Format: Sample Clocks(Dec), Data(Hex)\r\n";
}

namespace {
const char kLoseLine[] = "***** lose data *****\r\n";

// "%015lld %09llX\r\n", written digit by digit: a fast board fills megabytes of lines per second.
void appendLine(uint64_t clocks, uint64_t value, std::string& out) {
    char line[kLoggerLineChars];
    for (int i = 14; i >= 0; --i, clocks /= 10) line[i] = static_cast<char>('0' + clocks % 10);
    line[15] = ' ';
    static const char kHex[] = "0123456789ABCDEF";
    for (int i = 24; i >= 16; --i, value >>= 4) line[i] = kHex[value & 15];
    line[25] = '\r';
    line[26] = '\n';
    out.append(line, sizeof line);
}
}  // namespace

void LoggerText::convert(const uint8_t* data, size_t bytes, bool skipFirst, std::string& out) {
    for (size_t off = skipFirst ? kLoggerRecordBytes : 0; off + kLoggerRecordBytes <= bytes; off += kLoggerRecordBytes) {
        const LoggerRecord r = decodeLoggerRecord(data + off, mask_);
        if (!r.isData()) continue;
        if (r.lost()) {
            lostAny_ = true;
            if (markArmed_) out.append(kLoseLine, sizeof kLoseLine - 1);
            markArmed_ = false;
            continue;
        }
        markArmed_ = true;
        appendLine(r.clocks, r.value, out);
    }
}

void keepRawRecords(const uint8_t* data, size_t bytes, bool skipFirst, bool& lastKeptLost, std::vector<uint8_t>& out) {
    for (size_t off = skipFirst ? kLoggerRecordBytes : 0; off + kLoggerRecordBytes <= bytes; off += kLoggerRecordBytes) {
        const uint8_t status = data[off];
        if (status & kRecordNotData) continue;
        const bool lost = (status & kRecordLost) != 0;
        if (lost && lastKeptLost) continue;
        lastKeptLost = lost;
        out.insert(out.end(), data + off, data + off + kLoggerRecordBytes);
    }
}

}  // namespace kv
