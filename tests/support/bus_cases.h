// The captures of the decoder cross-check: each case is generated traffic plus the kvdecode and
// sigrok-cli arguments that decode it. The cross-check script writes them with bus_traffic_gen and
// stores the agreed sequences under tests/data/decode; the decoder tests regenerate the same
// captures and compare with the stored sequences.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kvtest {

struct BusCase {
    std::string name;
    std::vector<uint8_t> samples;   // one byte per sample
    int64_t rate = 0;
    std::string kvdecodeArgs;       // after "kvdecode", before FILE
    std::string sigrokDecoder;      // the -P argument of sigrok-cli
};

std::vector<BusCase> busCases();

}  // namespace kvtest
