// Configure Environment's rules that need no window: its check boxes and lists against the
// settings, the Nanlyn sample mode in force found in the tables, and what applying a Nanlyn
// sample mode does to the trigger set-up.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/acquire/acquire_rules.h"
#include "viewer/shell/settings.h"

namespace kv {

enum : int { kEnvironmentChecks = 8 };
struct EnvironmentCheck {
    int controlId;
    int32_t Settings::*value;
};
extern const EnvironmentCheck kEnvironmentCheckBoxes[kEnvironmentChecks];

// "Waveform Height": list index i is a row height of 2 i + 16 pixels.
int32_t waveHeightOfIndex(int index);
int waveHeightIndex(int32_t height);

// The row and column of the Nanlyn tables whose cell's mode has the identifier "Current F/W" and
// whose column bit is "Current MemSel"; row 0, column 0 (fellBack) when none matches.
struct NanlynSelection {
    int row = 0;
    int column = 0;
    bool fellBack = false;
};
NanlynSelection findNanlynSelection(int table, int32_t firmware, int32_t memorySelect,
                                    const std::function<int32_t(int cell)>& modeIdOfCell);

// Applying the Nanlyn sample mode in force to the trigger set-up (first match wins): which
// trigger mode to switch to and how, the sample frequency, and what the main window shows.
struct ModeApplication {
    int triggerMode = 0;
    bool switchMode = true;
    bool keepNothing = true;
    bool preTrigger = false;
    bool setFrequency = false;       // the frequency below replaces the record's
    uint64_t frequency = 0;
    bool selectRate = false;         // the rate list shows the frequency
    bool qualifierList = false;      // external clock: the qualifier list in place of the rate list
    uint32_t clock = 1;
    std::string fixedRate;           // the fixed-rate box text; "" shows the rate list
};
ModeApplication applyNanlynMode(const ModeRecord& mode, int previousMode, uint64_t frequency, int standardMode,
                                uint32_t uartBaud);

// The UART trigger's baud rate as its level block stores it (word 3 of the serial block at byte
// 224); 9600 while it holds none.
uint32_t uartBaudOf(const uint8_t* levelData, size_t size);

}  // namespace kv
