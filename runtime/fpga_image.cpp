#include "runtime/fpga_image.h"

#include "runtime/le_bytes.h"

namespace kv {

bool readFpgaHeader(const std::vector<uint8_t>& image, FpgaImageHeader& out) {
    if (image.size() < static_cast<size_t>(kFpgaHeaderBytes)) return false;
    out.word0 = getLe16(image.data());
    out.word1 = getLe16(image.data() + 2);
    return true;
}

std::vector<uint8_t> expandFpgaStream(const std::vector<uint8_t>& image) {
    std::vector<uint8_t> stream;
    if (image.size() <= static_cast<size_t>(kFpgaHeaderBytes)) return stream;
    stream.resize((image.size() - kFpgaHeaderBytes) * kFpgaExpandedBytesPerByte);
    uint8_t* p = stream.data();
    for (size_t i = kFpgaHeaderBytes; i < image.size(); ++i) {
        for (int bit = 0; bit < 8; ++bit) {
            const uint16_t v = (image[i] >> bit) & 1;
            putLe16(p, v);
            putLe16(p + 2, static_cast<uint16_t>(v | kFpgaClockBit));
            p += 4;
        }
    }
    return stream;
}

}  // namespace kv
