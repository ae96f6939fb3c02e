// The scope library's FPGA image (resource "FPGA" 3002 of Zentro.dll): two little-endian header
// words (the image id, then the payload length) and the configuration stream the scope takes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

// The image as built into native programs (Zentro.dll reads its resource instead).
bool embeddedScopeImage(int id, std::vector<uint8_t>& out);

}  // namespace kv
