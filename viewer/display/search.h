// Pattern search over a capture: channel levels and one edge, values of decoded labels, a pass
// count and an interval between the buffer's ends or the cursors. The setting is a plain record the
// Search dialog edits; the matcher reads samples through the SampleStore in runs.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/display/decoders.h"
#include "viewer/display/label_table.h"
#include "viewer/shell/sample_store.h"

namespace kv {

// Channel conditions, the trigger record's codes.
enum : uint8_t {
    kCondLow = 0,
    kCondFalling = 2,
    kCondRising = 4,
    kCondHigh = 6,
    kCondDontCare = 8,
};

constexpr int kMaxValueConditions = 256;
constexpr int32_t kMaxPassCount = 255;

// String numbers of the search's messages.
enum : int {
    kStrTooManyEdges = 218,
    kStrPassCountRange = 224,
    kStrValueError = 225,
    kStrOccurrences = 244,     // "%d occurrence(s) in settting interval"
    kStrSearchNotFound = 245,
};

// Interval ends: "Buffer Head", the six cursors in cursor order, "Buffer Tail".
enum : int32_t {
    kSearchBufferHead = 0,
    kSearchCursorFirst = 1,    // + cursor index (0 trigger, 1 A, ... 5 E)
    kSearchBufferTail = 7,
    kSearchPositions = 8,
};

struct SearchSetting {
    std::array<uint8_t, 64> channelCondition;
    // Copies of decoded labels (their first entry) whose value slot holds the wanted value; at most
    // 256. The stored form ends the list with -1.
    std::vector<LabelEntry> valueConditions;
    int32_t passCount = 0;
    int32_t startPosition = kSearchBufferHead;
    int32_t endPosition = kSearchBufferTail;
    // What the dialog lists for each condition: the label and the type its value was typed in.
    struct Shown {
        std::string label;
        std::string value;
        int32_t type = 0;       // 0 Hex .. 4 Asc, or -1 for a single channel
    };
    std::vector<Shown> shown;

    SearchSetting() { channelCondition.fill(kCondDontCare); }
};

// A value condition bound to the results it is compared with (none: it never holds).
struct BoundValueCondition {
    Protocol protocol = Protocol::None;
    const DecodedItems* items = nullptr;
    uint32_t wanted = 0;
};

// The value conditions of a setting bound to the decode results of the current table: each label
// copy is found by name among the decoded rows.
std::vector<BoundValueCondition> bindValueConditions(
    const SearchSetting& s, const LabelTable& table,
    const std::function<const DecodedItems*(int32_t firstEntry)>& decodedFor);

// FindNextMatch: the first match in [from, to], or to + 1. `next` receives where a following search
// continues: the first sample after the matching run (the sample after the edge), or to + 1. With
// several value conditions all must hold.
int64_t findNextMatch(const SearchSetting& s, const std::vector<BoundValueCondition>& values, SampleStore& store,
                      int64_t from, int64_t to, int64_t& next);

// The outcome of a search run.
struct SearchOutcome {
    int32_t message = 0;        // 244 or 245
    int64_t occurrences = 0;
    int64_t position = 0;       // for cursor B when occurrences > 0
};

// The interval of a setting: the chosen ends, swapped when the start lies after the end.
void searchInterval(const SearchSetting& s, const int32_t cursorPositions[6], int64_t sampleCount, int64_t& start,
                    int64_t& end);

// The search run of the dialog's OK (and of Search Next, from the sample after cursor B): counts the
// matches in [start, end] and remembers the one after passCount skipped ones; when there are fewer,
// the position stays the interval's start.
SearchOutcome runSearch(const SearchSetting& s, const std::vector<BoundValueCondition>& values, SampleStore& store,
                        int64_t start, int64_t end);

// Search Next: the search again from the sample after cursor B to `end`. When the pattern holds at B
// (B stands on a match), the run it belongs to is skipped, so that the next occurrence is found
// rather than the rest of the same one.
SearchOutcome runSearchNext(const SearchSetting& s, const std::vector<BoundValueCondition>& values,
                            SampleStore& store, int64_t cursorB, int64_t end);

// --- the dialog's rules -----------------------------------------------------------------------------

// A pass count as typed: 224 unless 0..255.
int checkPassCount(const std::string& text, int32_t& passCount);

// Adds the condition typed for the label whose first entry is `entry`:
// - a single channel takes one of 1 0 X / \ (else 225);
// - a plain group takes one such character per member, most significant first, or a number in the
//   chosen type (Hex, Dec, Oct, Bin) whose bits become 0 and 1 conditions (else 225);
// - a decoded label takes a number in the chosen type (Asc: one character) and becomes a value
//   condition (else 225; 256 conditions at most).
// More than one edge in the setting afterwards gives 218 and leaves the setting as it was.
int addSearchCondition(SearchSetting& s, const LabelTable& table, int32_t entry, const std::string& value,
                       int32_t type);
// Removes the condition shown at `index` (channel conditions of its label back to don't care).
void removeSearchCondition(SearchSetting& s, const LabelTable& table, size_t index);
void clearSearchConditions(SearchSetting& s);

// "0", "1", "/" or "\" of a channel condition ("X" for don't care).
const char* conditionText(uint8_t condition);

}  // namespace kv
