// How a decoded row reads: which protocol a view row is decoded as, which item a bus segment shows,
// and the item's text and colour (I2C address bytes in red, I2S samples behind "L_" or "R_",
// markers without text).
#pragma once

#include <cstdint>
#include <string>

#include "viewer/display/decoders.h"
#include "viewer/display/wave_render.h"

namespace kv {

constexpr int32_t kAddressColorIndex = 2;  // red in the colour table

Protocol waveRowProtocol(const WaveRow& r);

// UART and SPI items start at their positions; I2C and I2S items end at theirs.
inline bool itemsStartAtPositions(Protocol p) { return p == Protocol::Uart || p == Protocol::Spi; }

// The bits a value of the row has: 8 for UART and I2C, the word length for SPI and I2S.
int32_t decodedWidthBits(Protocol p, uint32_t flags);

// The text of item `value` in the row's format (without a radix suffix) and its colour; false for
// items that show no text: I2C START markers, the I2S first-word marker, SPI frame markers and
// incomplete words.
bool decodedItemText(Protocol p, uint32_t value, const WaveRow& r, const RenderStyle& style, std::string& text,
                     int32_t& colorIndex);

// The value column's text at sample s: the item whose span holds s, formatted as above with the
// radix suffix.
std::string decodedValueText(const WaveRow& r, const RenderStyle& style, int64_t s, bool suffix);

}  // namespace kv
