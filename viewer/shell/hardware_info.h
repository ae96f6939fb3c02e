// The text of the hardware information dialog for an open board.
#pragma once

#include <cstdint>
#include <string>

namespace kv {

struct BoardDescription {
    bool nanlyn = false;
    std::string model;          // model name from the runtime
    std::string interfaceName;  // interface name from the runtime
    int32_t productCode = 0;
    int32_t wordsPerSample = 1;
    int32_t depth = 0;          // memory depth in words
};

// The auto-setting report: `okText` is the "Logic Analyzer Auto Setting Ok." line.
std::string hardwareInfoText(const std::string& okText, const BoardDescription& board);

// "%dK bits per Channel(Max.)" or "%dM bits per Channel(Max.)" for a board's memory.
std::string memoryDepthText(int32_t wordsPerSample, int32_t depth);

}  // namespace kv
