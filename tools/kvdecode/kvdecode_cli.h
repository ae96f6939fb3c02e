// kvdecode: the viewer's protocol decoders over a raw capture file, for scripted analysis. The
// command line is parsed into a request; running it prints what the viewer stores for a label of
// the same protocol and options over the same samples.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/display/decoders.h"

namespace kv {

struct KvDecodeRequest {
    Protocol protocol = Protocol::None;
    bool help = false;
    bool rateGiven = false;
    double rate = 0;
    // uart: line; i2c: scl, sda; spi: sck, cs, data; i2s: sck, ws, sd
    int32_t channels[3] = {-1, -1, -1};
    int32_t baud = 0;          // uart with --baud (then framing >= 0 too)
    int32_t framing = -1;      // protocol index of --framing
    bool invert = false;
    int32_t bits = 8;          // spi 8 or 16; i2s 8..24
    bool csHigh = false;
    bool falling = false;
    int32_t sampleBytes = 1;
    std::string file;
};

extern const char kKvDecodeUsage[];

// An empty string, or the message for a bad command line.
std::string parseKvDecodeArgs(const std::vector<std::string>& args, KvDecodeRequest& request);

// Decodes `file` (the raw samples as read) and appends one line per stored item to `out`:
// "<position> <value as 8 upper-case hex digits>". Warnings go to `warnings`. Returns the exit
// status: 0 decoded, 1 the decode failed (nothing printed), 2 the capture cannot be used.
int runKvDecode(const KvDecodeRequest& request, const std::vector<uint8_t>& file, std::string& out,
                std::string& warnings);

}  // namespace kv
