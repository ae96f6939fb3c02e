// Decode results of one serial-bus label, shared by the decoders, the view, search and kvdecode.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

// Two arrays of equal length: positions[k] is the sample index of item k and values[k] its value
// word; positions ascend. UART and SPI positions mark where an item starts, I2C and I2S positions
// where it ends.
struct DecodedItems {
    std::vector<int32_t> positions;
    std::vector<int32_t> values;
    size_t size() const { return positions.size() < values.size() ? positions.size() : values.size(); }
    void clear() {
        positions.clear();
        values.clear();
    }
    void add(int32_t position, int32_t value) {
        positions.push_back(position);
        values.push_back(value);
    }
};

}  // namespace kv
