#include "scope_runtime/sample_check.h"

#include <cstdio>
#include <cstdlib>

namespace kv {
namespace zentro {
namespace {

constexpr int kJumpLimit = 7;
constexpr int kConverterJumps = 6;  // this many jumps with full coverage point at the converter itself

bool atLimit(uint16_t c) { return c == 0 || c == 1023; }

std::string binary(unsigned value, int digits) {
    std::string s(static_cast<size_t>(digits), '0');
    for (int i = 0; i < digits; ++i)
        if (value & (1u << (digits - 1 - i))) s[static_cast<size_t>(i)] = '1';
    return s;
}

std::string sampleLine(const RawSample& s) {
    char line[160];
    std::snprintf(line, sizeof line, "%s(%03Xh)(%04d), %s(%03Xh)(%04d), %s(%03Xh)(%04d), %s\r\n",
                  binary(s.ch1, 10).c_str(), s.ch1, s.ch1, binary(s.ch2, 10).c_str(), s.ch2, s.ch2,
                  binary(s.third, 10).c_str(), s.third, s.third, binary(s.status, 2).c_str());
    return line;
}

}  // namespace

bool isJump(uint16_t previous, uint16_t code) {
    if (atLimit(previous) || atLimit(code)) return false;
    return std::abs(static_cast<int>(code) - static_cast<int>(previous)) > kJumpLimit;
}

CheckResult checkSamples(const uint32_t* words, size_t count) {
    CheckResult r;
    RawSample prev{};
    for (size_t i = 0; i < count; ++i) {
        const RawSample s = decodeRaw(words[i]);
        r.seen[0][s.ch1] = true;
        r.seen[1][s.ch2] = true;
        if (i > 0) {
            if (isJump(prev.ch1, s.ch1)) ++r.jumps[0];
            if (isJump(prev.ch2, s.ch2)) ++r.jumps[1];
        }
        prev = s;
    }
    bool missing[2] = {false, false};
    for (int c = 0; c < 2; ++c)
        for (int code = 0; code < 1024; ++code)
            if (!r.seen[c][code]) missing[c] = true;
    if (missing[0] && missing[1]) r.verdict = CheckVerdict::BothChannels;
    else if (missing[0]) r.verdict = CheckVerdict::Channel1;
    else if (missing[1]) r.verdict = CheckVerdict::Channel2;
    else if (r.jumps[0] + r.jumps[1] >= kConverterJumps) r.verdict = CheckVerdict::Converter;
    return r;
}

std::string verdictMessage(CheckVerdict v) {
    switch (v) {
        case CheckVerdict::Channel1: return "CH1 Error!";
        case CheckVerdict::Channel2: return "CH2 Error!";
        case CheckVerdict::BothChannels: return "CH1 and CH2 Error!";
        // "The samples jump: check the 9215 converter!"
        case CheckVerdict::Converter:
            return "\xE6\xA8\xA3\xE6\x9C\xAC\xE8\xB7\xB3\xE5\x8B\x95\xEF\xBC\x8C\xE8\xAB\x8B\xE6\xAA\xA2\xE6\x9F\xA5 "
                   "9215 \xE8\xBD\x89\xE6\x8F\x9B\xE5\x99\xA8\xEF\xBC\x81";
        case CheckVerdict::Pass: break;
    }
    return std::string();
}

std::string sampleLogText(const std::string& serial, const uint32_t* words, size_t count, const CheckResult& r) {
    std::string text = "ID:" + serial + "\r\n";
    text.reserve(text.size() + count * 64 + 1024 * 16);
    RawSample prev{};
    for (size_t i = 0; i < count; ++i) {
        const RawSample s = decodeRaw(words[i]);
        const bool jump = i > 0 && (isJump(prev.ch1, s.ch1) || isJump(prev.ch2, s.ch2));
        if (jump) text += "<<<\r\n";
        text += sampleLine(s);
        if (jump) text += ">>>\r\n";
        prev = s;
    }
    text += "\r\n\r\n\r\n";
    char line[32];
    for (int code = 0; code < 1024; ++code) {
        std::snprintf(line, sizeof line, "%04d : %d, %d\r\n", code, r.seen[0][code] ? 1 : 0, r.seen[1][code] ? 1 : 0);
        text += line;
    }
    return text;
}

// Written field by field: the C runtimes' strftime refuses a time whose fields are out of range.
std::string sampleLogPath(const std::tm& local) {
    char name[64];
    std::snprintf(name, sizeof name, "DsoWave%02d%02d%02d%02d%02d%02d.log", ((local.tm_year % 100) + 100) % 100,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    return std::string(kSampleLogDirectory) + "\\" + name;
}

}  // namespace zentro
}  // namespace kv
