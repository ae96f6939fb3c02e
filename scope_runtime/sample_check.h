// The raw sample word the scope's memory delivers and the sample check: a test of both converters
// over one block of raw words (armed once, run on the next read) that finds missing codes and
// jumps, names the fault and writes the block to a log file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <string>

namespace kv {
namespace zentro {

// Raw word: bits 0-9 channel 1, bits 10-19 channel 2, bits 20-21 two status bits, bits 22-31 a
// third code. Codes 0 and 1023 are the converter's limits.
struct RawSample {
    uint16_t ch1 = 0;
    uint16_t ch2 = 0;
    uint8_t status = 0;
    uint16_t third = 0;
};
inline RawSample decodeRaw(uint32_t w) {
    return {static_cast<uint16_t>(w & 0x3FF), static_cast<uint16_t>((w >> 10) & 0x3FF),
            static_cast<uint8_t>((w >> 20) & 3), static_cast<uint16_t>((w >> 22) & 0x3FF)};
}
inline uint32_t encodeRaw(const RawSample& s) {
    return (s.ch1 & 0x3FFu) | (s.ch2 & 0x3FFu) << 10 | (s.status & 3u) << 20 | (s.third & 0x3FFu) << 22;
}
// Status bits of a raw word: the trigger sample, a code at a converter limit.
enum : uint8_t { kRawTriggerMark = 1, kRawOverRange = 2 };

// A jump: more than 7 codes from the previous sample, neither code at a limit.
bool isJump(uint16_t previous, uint16_t code);

enum class CheckVerdict { Pass, Channel1, Channel2, BothChannels, Converter };
struct CheckResult {
    bool seen[2][1024] = {};  // codes each channel produced
    int jumps[2] = {};
    CheckVerdict verdict = CheckVerdict::Pass;
};
CheckResult checkSamples(const uint32_t* words, size_t count);

// The message for a verdict (empty for Pass), as UTF-8: the converter message is Traditional Chinese.
std::string verdictMessage(CheckVerdict v);

// The log file's text: identity line, one line per sample (jumps marked), and the code coverage.
std::string sampleLogText(const std::string& serial, const uint32_t* words, size_t count, const CheckResult& r);
// "c:\DsoLog\DsoWave%y%m%d%H%M%S.log" for a local time.
constexpr const char* kSampleLogDirectory = "c:\\DsoLog";
std::string sampleLogPath(const std::tm& local);

}  // namespace zentro
}  // namespace kv
