#include "tests/support/bus_traffic.h"

#include <algorithm>
#include <cmath>

namespace kvtest {

void uartBytes(Traffic& t, int channel, double samplesPerBit, const std::string& framing,
               const std::vector<uint8_t>& bytes, bool idleHigh, int idleBitsBetween) {
    const char parity = framing.size() == 5 ? framing[0] : 'N';
    const int data = framing.size() == 5 ? framing[2] - '0' : 8;
    const int stops = framing.size() == 5 ? framing[4] - '0' : 1;
    // Exact bit times from the current end, so fractional bit lengths do not drift.
    const double origin = static_cast<double>(t.size());
    double bitsSoFar = 0;
    auto bit = [&](bool logical) {
        t.set(channel, logical == idleHigh);
        bitsSoFar += 1;
        t.hold(static_cast<int64_t>(std::llround(origin + bitsSoFar * samplesPerBit)) - t.size());
    };
    t.set(channel, idleHigh);
    for (uint8_t b : bytes) {
        bit(false);
        int ones = 0;
        for (int k = 0; k < data; ++k) {
            const bool v = (b >> k) & 1u;
            ones += v;
            bit(v);
        }
        if (parity == 'E') bit(ones % 2 != 0);
        if (parity == 'O') bit(ones % 2 == 0);
        for (int k = 0; k < stops + idleBitsBetween; ++k) bit(true);
    }
}

void i2cTransfer(Traffic& t, int scl, int sda, int half, const std::vector<uint8_t>& bytes,
                 const std::vector<int>& nakAt, bool repeatedStart) {
    // START from idle (or from the raised lines of a repeated start): SDA falls while SCL is high.
    t.set(scl, true);
    t.set(sda, true);
    t.hold(half);
    t.set(sda, false);
    t.hold(half);
    for (size_t k = 0; k < bytes.size(); ++k) {
        const bool nak = std::find(nakAt.begin(), nakAt.end(), static_cast<int>(k)) != nakAt.end();
        for (int b = 8; b >= 0; --b) {
            t.set(scl, false);
            t.hold(half / 2);
            t.set(sda, b > 0 ? ((bytes[k] >> (b - 1)) & 1u) != 0 : nak);
            t.hold(half - half / 2);
            t.set(scl, true);
            t.hold(half);
        }
    }
    t.set(scl, false);
    t.hold(half / 2);
    if (repeatedStart) {
        t.set(sda, true);
        t.hold(half - half / 2);
        return;  // the next transfer raises SCL and pulls SDA low: a repeated START
    }
    t.set(sda, false);
    t.hold(half - half / 2);
    t.set(scl, true);
    t.hold(half);
    t.set(sda, true);  // STOP
    t.hold(2 * half);
}

void spiFrame(Traffic& t, int sck, int cs, int data, int half, const std::vector<uint32_t>& words, int bits,
              bool csActiveHigh, bool fallingEdge, int clocks) {
    // Mode 0 (rising) idles low, mode 1-like falling sampling idles high.
    const bool idle = fallingEdge;
    t.set(sck, idle);
    t.set(cs, !csActiveHigh);
    t.hold(2 * half);
    t.set(cs, csActiveHigh);
    t.hold(half);
    int sent = 0;
    for (uint32_t w : words)
        for (int b = bits - 1; b >= 0; --b) {
            if (clocks >= 0 && sent >= clocks) break;
            t.set(data, (w >> b) & 1u);
            t.hold(half);
            t.set(sck, !idle);  // the sampling edge
            t.hold(half);
            t.set(sck, idle);
            ++sent;
        }
    t.hold(half);
    t.set(cs, !csActiveHigh);
    t.hold(2 * half);
}

void i2sFrames(Traffic& t, int sck, int ws, int sd, int half, const std::vector<uint32_t>& samples, int bits,
               int slotBits) {
    // Bits change on falling edges and are taken on rising ones. Word select leads the MSB by one clock.
    t.set(sck, false);
    t.set(ws, true);
    t.hold(half);
    std::vector<bool> stream;  // one entry per clock: the SD level
    std::vector<bool> select;
    for (size_t k = 0; k < samples.size(); ++k) {
        const bool right = k % 2 == 1;
        for (int b = 0; b < slotBits; ++b) {
            stream.push_back(b < bits ? ((samples[k] >> (bits - 1 - b)) & 1u) != 0 : false);
            select.push_back(right);
        }
    }
    // Word select switches one clock before each slot's first bit; after the last slot one more clock
    // with word select switched carries the final LSB out.
    const size_t n = stream.size();
    for (size_t c = 0; c <= n; ++c) {
        const bool sdBit = c < n ? stream[c] : false;
        const bool nextSelect = c + 1 < n ? select[c + 1] : !select[n - 1];
        t.set(sd, sdBit);
        t.set(ws, nextSelect);
        t.hold(half);
        t.set(sck, true);
        t.hold(half);
        t.set(sck, false);
    }
    t.hold(2 * half);
}

}  // namespace kvtest
