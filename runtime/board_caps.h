// What the library knows of a board from its interface, family and product code: whether the code
// is accepted, the capabilities set when the board is opened, and the threshold conversion.
#pragma once

#include <cstdint>

namespace kv {

// Bit 11 of the code the board reports is an option flag kept apart from the code.
enum : uint32_t { kOptionFlagBit = 0x800 };

bool productCodeAccepted(int interfaceCode, int productCode);
// The code as KvGetHwInfo reports it: revisions that behave alike read as one code.
int foldedProductCode(int productCode);
// 1, 2 or 4 for the three Nanlyn boards, 0 for every other code.
int nanlynVariantOf(int productCode);
bool isNanlynCode(int productCode);
// Pocket boards with a programmable synthesizer.
inline bool isSynthPocketCode(int productCode) { return (productCode & 0xF0FF) == 0x2016; }

struct BoardCaps {
    int channels = 0;
    int depth = 0;           // memory words
    int triggerDelay = 0;
    int wordsPerSample = 0;
    int patternUnit = 0;
    int bitsPerWord = 64;
    int captureLength = 0;
    uint32_t readyMask = 0;
    uint32_t wrapBit = 0;
    int nanlynVariant = 0;
    bool is4K = false;
    bool isPocket = false;
    bool is512K = false;
    int margins[6] = {0, 0, 0, 0, 0, 0};
    int thresholdOffset = 0;  // millivolts added before the DAC conversion
};

BoardCaps boardCapabilities(int interfaceCode, int family, int productCode);

// Threshold calibration shared by every board but the Nanlyn ones.
enum : int { kThresholdUpperMv = 10060, kThresholdLowerMv = -4020, kThresholdReferenceMv = 2860 };

// DAC value for a threshold voltage, or -1 when the voltage is refused.
int thresholdDac(bool nanlyn, int group, int millivolts, int offset);

}  // namespace kv
