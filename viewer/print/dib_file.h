// Device-independent bitmap files (".BMP"): the file and info headers written field by field,
// little-endian, then the palette and the rows as GDI hands them out (bottom-up, each row padded
// to four bytes).
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kv {

constexpr size_t kBmpFileHeaderBytes = 14;
constexpr size_t kBmpInfoHeaderBytes = 40;

struct DibImage {
    int32_t width = 0;
    int32_t height = 0;                 // rows; positive: bottom-up
    uint16_t bitsPerPixel = 24;         // 1, 4, 8 (with a palette), 16, 24 or 32
    std::vector<uint32_t> palette;      // 0x00RRGGBB per entry
    std::vector<uint8_t> bits;          // height rows of dibStride() bytes
};

// Bytes of one row: whole 32-bit words.
size_t dibStride(int32_t width, uint16_t bitsPerPixel);

// The whole file; empty when the image is inconsistent (no size, bits missing, palette too big).
std::vector<uint8_t> writeDibFile(const DibImage& image);

// Reads a file's headers and checks that the pixel data the headers promise is there.
struct DibInfo {
    int32_t width = 0, height = 0;
    uint16_t bitsPerPixel = 0;
    uint32_t paletteEntries = 0;
    uint32_t bitsOffset = 0;
};
bool readDibInfo(const uint8_t* data, size_t size, DibInfo& info);

}  // namespace kv
