// FPGA images of the Nanlyn boards: resources of type "FPGA" named by mode id. An image starts with
// two little-endian 16-bit words that go to the board in the load command; the rest is the
// configuration stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

enum : int { kFpgaHeaderBytes = 4, kFpgaExpandedBytesPerByte = 32 };
enum : uint16_t { kFpgaClockBit = 0x2 };

struct FpgaImageHeader {
    uint16_t word0 = 0;
    uint16_t word1 = 0;
};

// False when the image is too short to hold its header.
bool readFpgaHeader(const std::vector<uint8_t>& image, FpgaImageHeader& out);

// The stream the board's configuration port takes: every payload byte, least significant bit first,
// becomes 16 little-endian words, each bit once as it is and once with the configuration clock set.
std::vector<uint8_t> expandFpgaStream(const std::vector<uint8_t>& image);

// The library's own images as built into the native program (Win32 reads them from resources).
bool embeddedFpgaImage(int modeId, std::vector<uint8_t>& out);

}  // namespace kv
