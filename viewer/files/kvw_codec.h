// The KVW waveform file over bytes: one capture with its display state, trigger records, labels and
// samples. The writer produces version 2.02 in three sample encodings; the reader takes 2.02, 2.01,
// 2.00 and 1.0 files and checks every offset and length against the file before it reads, so that a
// damaged file gives an error code and never a read past its end. No file system here: the shell
// reads and writes the files.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "viewer/display/label_table.h"
#include "viewer/shell/capture_buffer.h"
#include "viewer/shell/sample_store.h"

namespace kv {

enum : uint32_t {
    kKvwHeaderBytes = 68,
    kDisplayRecordBytes = 272,
    kTriggerHeaderBytes = 64,
    kTriggerDataBytes = 1024,
    kTriggerLinkBytes = 64,              // 16 link codes
    kTriggerBufferBytes = kTriggerDataBytes + kTriggerLinkBytes,   // 1,088 per record
    kFileTriggerSlots = 20,              // slots of a 2.01/2.02 file; 12 are used
    kFileTriggerRecords = 12,
    kFileTriggerRecords200 = 7,          // a 2.00 file holds the first seven
    kKvwVersion100 = 0x100,
    kKvwVersion200 = 0x200,
    kKvwVersion201 = 0x201,
    kKvwVersion202 = 0x202,
    kKvwIdBytes = 32,
    // Display-record flags: set by every writer of 2.02; a file without it comes from an older
    // writer whose rate field holds a rate-table value.
    kDisplayFlagNewWriter = 0x10,
    kRunChunkBytes = 64 * 1024,          // the writer's buffer
};

// Sample data encodings (display record field 120).
enum KvwFormat : int32_t { kKvwRaw = 0, kKvwRunLength = 1, kKvwZlib = 2 };

// String numbers the reader and writer report.
enum : int {
    kStrCreateFileError = 233,
    kStrMemoryNotEnough = 279,
    kStrFileCantOpen = 312,
    kStrFileReadError = 318,
    kStrFileFormatError = 319,
    kStrUpgradeViewer = 320,
    kStrOtherDevice = 328,
};

// One trigger record as the file holds it: the 64-byte header (its two pointer words mean nothing
// in a file), the level data and the 16 link codes (little-endian words). The reader keeps them as
// bytes; kvw_trigger turns them into the trigger set-up's records and back.
struct StoredTriggerRecord {
    uint8_t header[kTriggerHeaderBytes] = {};
    uint8_t data[kTriggerDataBytes] = {};
    uint8_t links[kTriggerLinkBytes] = {};

    uint32_t word(int index) const;             // header word 0..15
    void setWord(int index, uint32_t value);
};

// The header word the reader itself needs: the flags of the record in force.
enum : int { kTrWordFlags = 0 };
constexpr uint32_t kTrFlagMemoryStack = 1u;   // 32-bit samples on boards that are not Nanlyn boards

// The twelve records in file order: the current record, "trSingle", "trMulti", "trDual",
// "trWidth", "trNoTrig", the committed record, "trSerial", "trGlitch", "trI2C", "trSPI", "trI2S".
using StoredTriggerSet = std::array<StoredTriggerRecord, kFileTriggerRecords>;

// The display record: the view, cursors and sample format that travel with a capture. Fields at the
// offsets named by the file format keep them; the view and cursor fields are laid out by us.
struct DisplayState {
    // The view record (offsets 0-47).
    int32_t nameWidth = 0, valueWidth = 0, firstSample = 0, firstRow = 0, zoomIn = 0, zoomOut = 0;
    int32_t gridSpacing = 0, gridStyle = 0, gridColorIndex = 0, paneIndex = 0, channelWidth = 0, remarkWidth = 0;
    // The six cursors (48-95), the focused cursor (96), the measure mode (100).
    int32_t cursorPosition[6] = {};
    uint32_t cursorFlags[6] = {};
    int32_t cursorFocus = 0;
    int32_t measureMode = 0;
    int32_t triggerPosition = 0;   // 104
    int32_t waveHeight = 0;        // 108
    int32_t sampleCount = 0;       // 112: logical samples written, for a reader's information
    // Fields every reader relies on.
    int32_t format = kKvwRaw;      // 120
    uint32_t freqHigh = 0;         // 124
    int32_t storageMode = 0;       // 128
    int32_t wordBits = 64, rowBits = 64, sampleBits = 64;   // 132, 136, 140
    uint32_t productCode = 0;      // 144
    uint32_t modeId = 0;           // 148
    uint32_t sampleGroup = 1;      // 152
    uint32_t clockSelection = 1;   // 164
    uint32_t flags = 0;            // 168
    uint32_t freqLow = 0;          // 236

    uint64_t frequency() const { return (uint64_t{freqHigh} << 32) | freqLow; }
    void setFrequency(uint64_t hz) { freqLow = static_cast<uint32_t>(hz); freqHigh = static_cast<uint32_t>(hz >> 32); }
};

void writeDisplayRecord(const DisplayState& d, uint8_t out[kDisplayRecordBytes]);
DisplayState readDisplayRecord(const uint8_t in[kDisplayRecordBytes]);

// What the writer takes. The store gives the samples of formats 0 and 1; format 2 compresses the
// packed memory words the store reads from.
struct KvwSource {
    DisplayState display;                  // format, flags and format fields are set by the writer
    const StoredTriggerSet* trigger = nullptr;   // null: zero records
    const LabelTable* labels = nullptr;    // null: no labels
    bool selectedOnly = false;             // "Selected Channel": labels with the selection bit only
    SampleStore* store = nullptr;
    int32_t start = 0, end = -1;           // inclusive logical range; swapped when reversed
    bool samples32 = false;                // 32-bit samples (memory-stack mode on a non-Nanlyn board)
};

// The range actually written: start <= end, both inside the capture. Block-repeat captures are
// always written whole. Empty (end < start) for an empty capture.
struct SampleRange {
    int32_t start = 0;
    int32_t end = -1;
    int32_t count() const { return end >= start ? end - start + 1 : 0; }
};
SampleRange kvwRange(const KvwSource& source);

// Byte counts of the packed memory a zlib section compresses: the range's words, or the whole
// stored capture for block-repeat data.
struct MemorySpan {
    size_t offset = 0;
    size_t length = 0;
};
MemorySpan kvwMemorySpan(const KvwSource& source);

// Header offset 60: the decoded length of the sample data.
uint32_t kvwDecodedLength(const KvwSource& source, int32_t format);

// Header, display record, trigger block, trigger buffers and label table: everything before the
// sample data.
std::vector<uint8_t> kvwPrefix(const KvwSource& source, int32_t format);

// Encodes the sample data, handing it to `sink` in pieces of at most 64 KiB (zlib: the length word
// and the stream). False when the sink refuses a piece or zlib fails.
using ByteSink = std::function<bool(const uint8_t* bytes, size_t length)>;
bool encodeKvwData(const KvwSource& source, int32_t format, const ByteSink& sink);

// The whole file in memory (tests, the shipped demo file, the fuzz corpus).
std::vector<uint8_t> writeKvw(const KvwSource& source, int32_t format);

// The labels a file receives: all in use, or with "Selected Channel" those whose selection bit is
// set, the bit cleared in the copy.
LabelTable exportedLabels(const LabelTable& labels, bool selectedOnly);

// What the reader needs from the running viewer.
struct KvwReadOptions {
    int32_t bufferLimit = kDemoBufferLimit;   // most decoded bytes taken over
    uint32_t currentTriggerFlags = 0;         // for files that restore no trigger records
};

struct KvwFile {
    uint32_t version = 0;
    DisplayState display;
    int triggerRecords = 0;                   // 0 (1.0), 7 (2.00) or 12
    StoredTriggerSet trigger{};
    LabelTable labels;
    std::vector<uint8_t> samples;             // decoded, at most the buffer limit
};

// Parses a whole file. 0 on success, else the string number to show (319 for anything malformed,
// truncated or inconsistent, 320 for a newer 2.x version, 279 when memory runs out); `out` is then
// unspecified and nothing of the caller's state has been touched.
int readKvw(const uint8_t* bytes, size_t size, const KvwReadOptions& options, KvwFile& out);

// The runtime's KvTbl2Freq: a 5-bit rate code of an older writer to its rate, or to the external
// clock flag (code 3); false for an unknown code.
using RateTableLookup = std::function<bool(uint32_t code, uint32_t& rate, uint32_t& external)>;

// Files of writers older than 2.02 (display flag 0x10 clear): their flag bits and rate are
// remapped. A code of an internal rate gives that rate on the internal clock (clock selection 1);
// any other answer (an unknown code, the external-clock code, "none") leaves no rate to show the
// capture with and becomes 100 MHz on the internal clock. Nanlyn boards keep the stored rate.
// Sets flag 0x10.
void remapOlderWriter(DisplayState& display, bool nanlyn, const RateTableLookup& lookup);

// The sample format to attach the decoded data with: the display record's own when it describes
// memory words, else one 64-bit sample per word (32-bit with the memory-stack flag).
SampleFormat kvwSampleFormat(const KvwFile& file);

// Little-endian helpers shared by the file writers.
inline void putU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}
inline uint32_t getU32(const uint8_t* p) {
    return uint32_t{p[0]} | (uint32_t{p[1]} << 8) | (uint32_t{p[2]} << 16) | (uint32_t{p[3]} << 24);
}

}  // namespace kv
