// The value column's live modes in the running viewer: the last instant status read by timer 4.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "viewer/display/measuring.h"

namespace kv {

constexpr COLORREF kInstantStatusColor = RGB(0, 255, 255);

// Timer 4 hands over what KvGetInstantData returned; the value column is redrawn with it.
void noteInstantStatus(const uint8_t state[16], const uint32_t rate[2]);
const InstantStatus& instantStatus();

// The text the value column shows for a row in the current "Value Field" mode; false in mode 0
// (the values at the focused cursor).
bool liveValueText(const WaveRow& r, std::string& text);

}  // namespace kv
