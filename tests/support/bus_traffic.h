// A generator of serial-bus traffic as raw captures (one byte per sample, bit n = channel n), so
// that the decoder tests, the benchmarks, the UI test and the sigrok cross-check say exactly what a
// capture holds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

class Traffic {
public:
    explicit Traffic(uint8_t initial = 0) : level_(initial) {}
    // Holds the current levels for n samples.
    void hold(int64_t n) { samples_.insert(samples_.end(), static_cast<size_t>(n > 0 ? n : 0), level_); }
    void set(int channel, bool high) {
        level_ = static_cast<uint8_t>(high ? (level_ | (1u << channel)) : (level_ & ~(1u << channel)));
    }
    bool get(int channel) const { return (level_ >> channel) & 1u; }
    int64_t size() const { return static_cast<int64_t>(samples_.size()); }
    std::vector<uint8_t>& samples() { return samples_; }

private:
    std::vector<uint8_t> samples_;
    uint8_t level_;
};

// UART frames on `channel`: framing as in the protocol list ("N-8-1" ...), `samplesPerBit` may be
// fractional (edges are rounded from the exact bit times). idleHigh false gives RS-232 line levels.
void uartBytes(Traffic& t, int channel, double samplesPerBit, const std::string& framing,
               const std::vector<uint8_t>& bytes, bool idleHigh = true, int idleBitsBetween = 0);

// One I2C transfer: START, the address byte (with the R/W bit) and data bytes, each acknowledged
// unless its index is in `nakAt`, then STOP unless `repeatedStart` (the next transfer then begins
// with a repeated START). `half` samples per half clock.
void i2cTransfer(Traffic& t, int scl, int sda, int half, const std::vector<uint8_t>& bytes,
                 const std::vector<int>& nakAt = {}, bool repeatedStart = false);

// An SPI frame: chip select active, `words` of `bits` bits MSB first (data set half a clock before
// the sampling edge), chip select inactive. `clocks` < 0 sends every bit; otherwise only the first
// `clocks` bits. Clock idles at the level opposite to the sampling edge's end level.
void spiFrame(Traffic& t, int sck, int cs, int data, int half, const std::vector<uint32_t>& words, int bits,
              bool csActiveHigh, bool fallingEdge, int clocks = -1);

// I2S frames (Philips): word select changes one clock before the MSB, `slotBits` clocks per channel,
// `bits` data bits MSB first, left then right sample per frame.
void i2sFrames(Traffic& t, int sck, int ws, int sd, int half, const std::vector<uint32_t>& samples, int bits,
               int slotBits);

}  // namespace kvtest
