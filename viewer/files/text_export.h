// Text export of a capture: a state listing with one line per sample on which any exported label
// changes, under a heading block that writes the label names downwards over their columns.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "viewer/display/label_table.h"
#include "viewer/display/wave_render.h"
#include "viewer/shell/sample_store.h"

namespace kv {

struct TextExportSource {
    uint32_t productCode = 0;
    uint64_t frequency = 0;                  // Hz
    const LabelTable* labels = nullptr;
    bool selectedOnly = false;               // "Selected Channel"
    SampleStore* store = nullptr;
    int32_t start = 0, end = 0;              // inclusive; swapped when reversed
    // Decode results of a row by its first entry; none gives the channel levels.
    std::function<const DecodedItems*(int32_t firstEntry)> decodedFor;
};

// Each data line is built in a buffer of this many characters; columns that would not fit are left
// out of the listing.
constexpr int32_t kTextLineLimit = 512;

// The whole file: header, heading block, separator and data lines, CR LF line ends, handed to
// `sink` in pieces of about 64 KiB (a listing of millions of changing samples never sits in memory
// whole). False when the sink refuses a piece.
bool exportText(const TextExportSource& source, const std::function<bool(const char* text, size_t length)>& sink);
// The same into one string (tests).
std::string exportText(const TextExportSource& source);

}  // namespace kv
