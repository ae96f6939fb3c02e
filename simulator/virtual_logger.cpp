// The Nanlyn board as a data logger: with the logger image loaded and its start frame taken, the
// board streams 12-byte change records of its inputs, paced by its own sample clock.
#include <chrono>

#include "simulator/virtual_system.h"

namespace kv {

namespace {

enum : uint16_t { kLoggerImageId = 129 };
enum : uint8_t { kStatusLost = 0x10, kStatusNotData = 0x80 };
constexpr double kLoggerClock = 50e6;
constexpr int kRecord = 12;

void putRecord(uint8_t* p, uint8_t status, uint64_t clocks, uint64_t value) {
    p[0] = static_cast<uint8_t>(status | ((value >> 32) & 0x0F));
    for (int b = 0; b < 7; ++b) p[1 + b] = static_cast<uint8_t>(clocks >> (8 * b));
    for (int b = 0; b < 4; ++b) p[8 + b] = static_cast<uint8_t>(value >> (8 * b));
}

uint64_t steadyNs() {
    return static_cast<uint64_t>(
        std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch()).count());
}

}  // namespace

void VirtualBoard::loggerControl(uint8_t value) {
    // 242 halts the streaming logic (it also precedes every start frame).
    if (value == 242) loggerRunning_ = false;
}

bool VirtualBoard::loggerWords(const std::vector<uint16_t>& w) {
    const bool framed = w.size() >= 4 && w[0] == 0x5A && w[1] == 0x0F && w[2] == 0x66;
    if (framed && w[3] == 0x35 && w.size() >= 5) loggerImage_ = w[4] == kLoggerImageId;
    if (!loggerImage_ || !framed || w[3] != 0x22) return false;
    // The start frame: commands of 5A 0F 66 <command> [arguments]; 0x22 loads a 32-bit value that
    // the next command takes (0x24 the divider - 1, 0x34 the channel count - 1); 0x01 starts.
    uint32_t value = 0, divider = 0, channels = 35;
    bool start = false;
    for (size_t i = 0; i + 3 < w.size(); ) {
        if (w[i] != 0x5A || w[i + 1] != 0x0F || w[i + 2] != 0x66) return false;
        const uint16_t c = w[i + 3];
        i += 4;
        if (c == 0x22 && i + 1 < w.size()) {
            value = w[i] | static_cast<uint32_t>(w[i + 1]) << 16;
            i += 2;
        } else if (c == 0x24 && i < w.size()) {
            divider = value;
            ++i;
        } else if (c == 0x34) {
            channels = value;
        } else if (c == 0x01) {
            start = true;
        }
    }
    if (!start) return true;
    loggerDivider_ = divider + 1;
    loggerChannels_ = channels >= 36 ? 36 : static_cast<int>(channels) + 1;
    loggerStartNs_ = loggerNowNs ? loggerNowNs() : steadyNs();
    loggerSent_ = 0;
    loggerFresh_ = true;
    loggerDropped_ = false;
    loggerRunning_ = true;
    return true;
}

void VirtualBoard::loggerBlock(uint8_t* out, uint32_t n) {
    const uint64_t now = loggerNowNs ? loggerNowNs() : steadyNs();
    const double seconds = now > loggerStartNs_ ? static_cast<double>(now - loggerStartNs_) * 1e-9 : 0.0;
    const uint64_t clocks = static_cast<uint64_t>(seconds * kLoggerClock / loggerDivider_);
    const uint64_t period = loggerPeriod ? loggerPeriod : 1;
    const uint64_t due = clocks / period + 1;  // records 0 .. due - 1 have happened
    // The board's memory holds loggerFifo records: what the host did not fetch in time is gone.
    if (due > loggerSent_ + loggerFifo) {
        loggerSent_ = due - loggerFifo;
        loggerDropped_ = true;
    }
    const uint64_t mask = loggerChannels_ >= 36 ? (1ull << 36) - 1 : (1ull << loggerChannels_) - 1;
    for (uint32_t off = 0; off + kRecord <= n; off += kRecord) {
        uint8_t* p = out + off;
        if (loggerFresh_) {
            // The first record of a run is left over from before the start.
            putRecord(p, 0, (1ull << 56) - 1, 0xFFFFFFFFFull);
            loggerFresh_ = false;
            continue;
        }
        if (loggerSent_ >= due) {
            putRecord(p, kStatusNotData, 0, 0);
            continue;
        }
        const uint64_t k = loggerSent_++;
        const bool lost = loggerDropped_ || (k >= config_.loseFirst && k - config_.loseFirst < config_.loseCount);
        loggerDropped_ = false;
        putRecord(p, lost ? kStatusLost : 0, k * period, signal(k) & mask);
    }
    for (uint32_t off = n - n % kRecord; off < n; ++off) out[off] = 0;
}

}  // namespace kv
