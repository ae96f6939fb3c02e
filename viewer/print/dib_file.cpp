#include "viewer/print/dib_file.h"

namespace kv {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}
uint32_t get16(const uint8_t* p) { return p[0] | static_cast<uint32_t>(p[1]) << 8; }
uint32_t get32(const uint8_t* p) { return get16(p) | get16(p + 2) << 16; }

bool knownDepth(uint16_t bpp) { return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32; }

}  // namespace

size_t dibStride(int32_t width, uint16_t bitsPerPixel) {
    if (width <= 0) return 0;
    return ((static_cast<size_t>(width) * bitsPerPixel + 31) / 32) * 4;
}

std::vector<uint8_t> writeDibFile(const DibImage& image) {
    std::vector<uint8_t> out;
    if (image.width <= 0 || image.height <= 0 || !knownDepth(image.bitsPerPixel)) return out;
    const size_t imageBytes = dibStride(image.width, image.bitsPerPixel) * static_cast<size_t>(image.height);
    if (image.bits.size() < imageBytes) return out;
    if (image.bitsPerPixel <= 8 && image.palette.size() > (size_t{1} << image.bitsPerPixel)) return out;
    if (imageBytes > 0x7FFFFFFFu) return out;
    const uint32_t offset =
        static_cast<uint32_t>(kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4 * image.palette.size());
    out.reserve(offset + imageBytes);
    // BITMAPFILEHEADER
    put16(out, 0x4D42);  // "BM"
    put32(out, static_cast<uint32_t>(offset + imageBytes));
    put16(out, 0);
    put16(out, 0);
    put32(out, offset);
    // BITMAPINFOHEADER
    put32(out, static_cast<uint32_t>(kBmpInfoHeaderBytes));
    put32(out, static_cast<uint32_t>(image.width));
    put32(out, static_cast<uint32_t>(image.height));
    put16(out, 1);
    put16(out, image.bitsPerPixel);
    put32(out, 0);  // BI_RGB
    put32(out, static_cast<uint32_t>(imageBytes));
    put32(out, 3780);  // 96 dpi in pixels per metre
    put32(out, 3780);
    put32(out, static_cast<uint32_t>(image.palette.size()));
    put32(out, 0);
    for (uint32_t rgb : image.palette) {  // RGBQUAD: blue, green, red, reserved
        out.push_back(static_cast<uint8_t>(rgb));
        out.push_back(static_cast<uint8_t>(rgb >> 8));
        out.push_back(static_cast<uint8_t>(rgb >> 16));
        out.push_back(0);
    }
    out.insert(out.end(), image.bits.begin(), image.bits.begin() + static_cast<ptrdiff_t>(imageBytes));
    return out;
}

bool readDibInfo(const uint8_t* data, size_t size, DibInfo& info) {
    if (!data || size < kBmpFileHeaderBytes + kBmpInfoHeaderBytes) return false;
    if (get16(data) != 0x4D42 || get32(data + 14) < kBmpInfoHeaderBytes) return false;
    DibInfo i;
    i.bitsOffset = get32(data + 10);
    i.width = static_cast<int32_t>(get32(data + 18));
    i.height = static_cast<int32_t>(get32(data + 22));
    i.bitsPerPixel = static_cast<uint16_t>(get16(data + 28));
    i.paletteEntries = get32(data + 46);
    if (i.width <= 0 || i.height == 0 || !knownDepth(i.bitsPerPixel) || get32(data + 30) != 0) return false;
    const int64_t rows = i.height < 0 ? -static_cast<int64_t>(i.height) : i.height;
    const uint64_t need = static_cast<uint64_t>(i.bitsOffset) + dibStride(i.width, i.bitsPerPixel) * static_cast<uint64_t>(rows);
    if (i.bitsOffset < kBmpFileHeaderBytes + kBmpInfoHeaderBytes + 4ull * i.paletteEntries || need > size) return false;
    info = i;
    return true;
}

}  // namespace kv
