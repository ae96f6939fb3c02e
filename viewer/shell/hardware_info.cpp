#include "viewer/shell/hardware_info.h"

#include <cstdio>

namespace kv {

std::string memoryDepthText(int32_t wordsPerSample, int32_t depth) {
    // Two bits of memory per word and channel, counted in units of 1,024.
    const int64_t n = static_cast<int64_t>(wordsPerSample) * depth * 2 / 1024;
    char text[64];
    if (n < 1024)
        std::snprintf(text, sizeof text, "%dK bits per Channel(Max.)", static_cast<int>(n));
    else
        std::snprintf(text, sizeof text, "%dM bits per Channel(Max.)", static_cast<int>(n / 1024));
    return text;
}

std::string hardwareInfoText(const std::string& okText, const BoardDescription& board) {
    char text[512];
    if (board.nanlyn) {
        std::snprintf(text, sizeof text, "%s\r\n\r\n        Model: MX%04X\r\n    Interface: %s\r\n",
                      "Mobrix Logic MX2x36 Series", static_cast<unsigned>(board.productCode), "USB 2.0");
    } else {
        std::snprintf(text, sizeof text, "%s\r\n\r\n        Model: %s\r\n    Interface: %s\r\n Memory Depth: %s\r\n",
                      okText.c_str(), board.model.c_str(), board.interfaceName.c_str(),
                      memoryDepthText(board.wordsPerSample, board.depth).c_str());
    }
    return text;
}

}  // namespace kv
