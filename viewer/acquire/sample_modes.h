// The viewer's side of choosing how the analyzer samples: the Nanlyn sample-mode tables (named rows
// crossed with channel/depth columns, each cell one of the runtime's sample modes), the memory-stack
// choice and memory-depth range of the 64-channel analyzers, and the texts and clock words of the
// main window's Nanlyn lists.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kv {

enum : int { kNanlynModeRows = 13, kNanlynColumns = 10, kQualifierClocks = 4 };

// Row names, the same in every table.
extern const char* const kNanlynRowNames[kNanlynModeRows];
// Rows with a meaning of their own.
enum : int { kRowFourGhz = 0, kRowStandard = 7, kRowUartTrigger = 8, kRowExternalClock = 12 };

// The table of a Nanlyn product: 0x2036 the first, 0x2136 the second, any other the third.
int nanlynTableOf(int32_t productCode);
// The runtime sample-mode index of a cell, or -1 where the combination does not exist.
int nanlynCell(int table, int row, int column);
// The columns of a row that exist, in column order.
std::vector<int> nanlynColumns(int table, int row);

// Column j trades channels for depth: 36 / d channels (rounded down) with the memory depth x d.
int32_t columnDivisor(int column);
int32_t columnChannels(int column);
// "Current MemSel" is 1 << column; its divisor (1 for a word that names no column).
int32_t memorySelectDivisor(int32_t memorySelect);
int memorySelectColumn(int32_t memorySelect);   // -1 for a word that names no column
// The depth sent for a column: rounded down to a multiple of its divisor.
int32_t depthForColumn(int32_t depth, int column);

// Main window: the fixed-rate text of a Nanlyn mode ("" where the rate list is shown instead),
// and the clock words of the external-clock qualifier list ("CH35", "!CH35", "CH34 & CH35",
// "CH34 # CH35").
std::string fixedRateText(uint32_t modeFeatures, uint64_t frequency);
extern const char* const kQualifierNames[kQualifierClocks];
extern const uint32_t kQualifierClockWords[kQualifierClocks];

// The 64-channel analyzers' "Memory Stack" list: channel counts of item 0 (x 1) and item 1 (x 2).
struct StackChoices {
    int32_t single = 64;
    int32_t stacked = 32;
};
StackChoices stackChoices(uint32_t family, int32_t channelCount);
// How the rate's information bits decide the stacking: forced off, forced on, or the user's.
enum class StackRule { Off, On, Free };
StackRule stackRule(uint32_t clockIndex, uint32_t rateInformation);

// The memory-depth scroll bar of Configure Environment.
struct DepthRange {
    int32_t minimum = 256;
    int32_t maximum = 0;
    int32_t position = 0;
};
// With a device: its maximum and current depth; doubled (and the minimum 512) while stacked.
DepthRange deviceDepthRange(int32_t maximumDepth, int32_t currentDepth, bool stacked);
// Without a device: from "giBufSizeDemo" (bytes of 64-bit samples).
DepthRange demoDepthRange(int32_t demoBufferBytes, bool stacked);
// A change of the stacking choice scales the whole range by 2.
DepthRange restackDepthRange(const DepthRange& r, bool stacked);
// The number field on leaving it: clamped to the range, even while stacked.
int32_t settleDepthField(int32_t value, const DepthRange& r, bool stacked);
// The depth scroll bar can be moved on these boards (others have a fixed depth).
bool depthAdjustable(bool methodChoiceFamily, int32_t productCode);
// On OK: the depth for the device (halved while stacked), or the new "giBufSizeDemo".
int32_t depthToSend(int32_t position, bool stacked);
int32_t demoBufferBytes(int32_t position, bool stacked);

// "Set External Clock:" as typed: false (string 292) when it is not a number of at least 1 Hz.
bool parseExternalClock(const std::string& text, uint64_t& hz);

}  // namespace kv
