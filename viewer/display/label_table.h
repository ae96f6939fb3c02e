// The label table: which rows the waveform view shows, in which order, how their values read and
// which rows are decoded as serial protocols. Every operation is a plain function over the table
// that returns the string number of the message to show (0 when there is none) and leaves the
// table unchanged when it refuses.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kv {

constexpr int kMaxLabels = 200;           // entries, not rows: a group of n channels takes n
constexpr int kMaxGroupChannels = 32;     // a group value is read into one 32-bit word
constexpr int kLabelNameMax = 32;         // characters of a label name
constexpr int kGroupNameMax = 31;         // group names must be shorter than 32 characters
constexpr int kDecomposeNameCut = 28;     // room for "-%02d" behind a decomposed group's name
constexpr size_t kLabelRecordBytes = 100; // stored form in KVW, pattern and project label files
constexpr size_t kLabelNameArea = 64;     // name and compiledName share these bytes of the record
// Where compiledName begins inside the name area: right behind the longest name and its NUL, so
// that the name is always whole. A compiled name longer than kStoredCompiledNameMax is stored cut,
// which can never equal a 31- or 32-character name; such a label is recompiled once after loading.
constexpr size_t kCompiledNameOffset = kLabelNameMax + 1;
constexpr size_t kStoredCompiledNameMax = kLabelNameArea - kCompiledNameOffset - 1;  // 30

// `kind`
enum : int32_t {
    kLabelEnd = 0,
    kLabelSingle = 1,
    kLabelFirstMember = 2,    // group members count up from here in table order
    kLabelLastMember = 9999,  // the last member of a group (its least significant bit)
};

// `format`
enum : int32_t {
    kFormatHex = 0,
    kFormatDec = 1,
    kFormatOct = 2,
    kFormatBin = 3,
    kFormatAsc = 4,
    kFormatAnalog = 6,  // staircase drawing of a group value
};

// `flags`
enum : uint32_t {
    kLabelSelected = 0x1,
    kLabelUart = 0x4,          // single labels
    kLabelGray = 0x8,
    kLabelInvert = 0x10,
    kLabelScope = 0x20,        // oscilloscope channel row
    kLabelI2c = 0x40,          // groups of 2
    kLabelI2s = 0x80,          // groups of 3
    kLabelSpi = 0x100,         // groups of 3
    kLabelParamShift = 16,     // bits 16..23: UART protocol index, I2S or SPI word length
    kLabelParamMask = 0xFF0000,
    kLabelExplicit = 0x1000000,  // UART: explicit settings; SPI: chip select active high
    kLabelSpiFalling = 0x2000000,
    kLabelDecodeFlags = kLabelUart | kLabelI2c | kLabelI2s | kLabelSpi | kLabelParamMask | kLabelExplicit |
                        kLabelSpiFalling,
};

// The row's own height lives in the upper 16 bits of `height`; 0 means the wave height.
inline uint32_t labelRowHeight(uint32_t height) { return height >> 16; }

struct LabelEntry {
    int32_t channel = 0;
    int32_t value = 0;                              // state-listing value or searched value
    int32_t format = kFormatHex;
    char name[kLabelNameMax + 1] = {};              // every entry of a group carries the group's name
    char compiledName[kLabelNameMax + 1] = {};      // name at the last command-set compilation
    int32_t colorIndex = 0;
    void* rowButton = nullptr;                      // the view's name button (not stored)
    int32_t kind = kLabelEnd;
    uint32_t flags = 0;
    uint32_t height = 0;
    int32_t baud = 0;
};

// Stored form: 100 bytes, little-endian, field by field. The row button is written as 0 and read as
// null. A name without a NUL inside its room is cut at 32 characters.
void writeLabelEntry(const LabelEntry& entry, uint8_t* out);
LabelEntry readLabelEntry(const uint8_t* in);

// The table: at most 200 entries followed by an end entry (kind 0), so that it is always ended even
// when full. Readers walk `entries` up to the first kind 0.
struct LabelTable {
    std::array<LabelEntry, kMaxLabels + 1> entries{};
    int count() const;  // entries before the end entry
};

// A row of the view: one single label, or all entries of a group (first..last, inclusive).
struct LabelRow {
    int first = 0;
    int last = 0;
    int size() const { return last - first + 1; }
    bool group() const { return last > first; }
};
std::vector<LabelRow> labelRows(const LabelTable& table);
// The row holding entry `index`, or a row with first = -1.
LabelRow rowOfEntry(const LabelTable& table, int index);
// Index of the first entry of the label called `name`, or -1.
int findLabel(const LabelTable& table, const std::string& name);
// The channel numbers of a row, in entry order (the first is the most significant bit).
std::vector<int32_t> rowChannels(const LabelTable& table, const LabelRow& row);

// Row geometry of the name column: the top of the row holding entry `index`, counted from the
// first shown row (-1 when the row is above it), and the first entry of the row at `y`, or -1.
// Rows are `waveHeight` high unless the label has a height of its own.
int rowTop(const LabelTable& table, int firstRow, int waveHeight, int index);
int entryAtY(const LabelTable& table, int firstRow, int waveHeight, int y);

// A table read from a file: false when its entries do not form whole rows (stray kinds, a group
// without its last member, more than 32 members); the table is then left unchanged.
bool readLabelTable(const uint8_t* in, size_t entryCount, LabelTable& table);
// Writes count() entries and one end record: (count() + 1) * 100 bytes.
std::vector<uint8_t> writeLabelTable(const LabelTable& table);

// How a click on a label name acts.
enum class LabelMode { Normal, Delete, Select };

// The label state of the view: the table, the undo copy and the mode.
struct LabelState {
    LabelTable table;
    LabelTable undo;
    bool undoSaved = false;
    LabelMode mode = LabelMode::Normal;
    uint32_t revision = 0;  // advances on every change of the table: row buttons are then rebuilt
};

// String numbers the label operations show.
enum : int {
    kStrDeleteAll = 201,
    kStrSortOrder = 202,
    kStrDeleteExisting = 203,
    kStrNameInUse = 204,
    kStrBadName = 206,
    kStrTooManyLabels = 210,    // formatted with kMaxLabels
    kStrNotGroup = 211,
    kStrDeleteMode = 212,
    kStrSelectMode = 213,
    kStrBadGroupName = 219,
    kStrTooManyChannels = 220,
    kStrDuplicateName = 221,
    kStrTooFewChannels = 222,
    kStrChannelRange = 230,
    kStrSpecialCharacter = 307,
    kStrNameLength = 308,
    kStrI2sBits = 327,
};

// Name rules.
bool validLabelName(const std::string& name);  // 1..32 characters
bool validGroupName(const std::string& name);  // 1..31 characters
std::string defaultChannelName(int channel);   // "CH-%02d"
std::string defaultScopeName(int channel);     // "DSO_CH%d"
std::string memberName(const std::string& groupName, int number);  // cut to 28, then "-%02d"
int32_t defaultLabelColor(int channel);
// The check names referred to by command sets must also pass: 308 for a length outside 1..32,
// 307 for one of the characters , { } & % # ^ * + ` ; : ' " ? tab < > | \ =.
int checkNameCharacters(const std::string& name);         // colour-table entries 1..15 in turn (0 is the background)

// Saves the undo copy; every operation below that changes the table calls it first.
void saveUndo(LabelState& state);
// Restores the undo copy; false when nothing was saved (the shell beeps).
bool undoLabels(LabelState& state);

// Adds one single label. 206 bad name, 230 channel not on the device, 204 name in use, 210 full.
int addSingleLabel(LabelState& state, const std::string& name, int channel, int32_t colorIndex, int channelCount);

// One "CH-%02d" label per channel of the device whose pod is in `podMask` (bit 0 "POD A" ...),
// after the existing labels or in their place. Channels whose default name is already used are
// skipped when appending. 210 when the labels to add do not fit.
int addLabelSet(LabelState& state, uint32_t podMask, int channelCount, int channelsPerPod, bool replace);
// One label per channel and one "DSO_CH%d" per stacked oscilloscope channel.
int addAllLabels(LabelState& state, int channelCount, int scopeChannels, bool replace);

// Deletes the label (all entries of a group) holding entry `index`.
int deleteLabel(LabelState& state, int index);
int deleteAllLabels(LabelState& state);
// Removes every label for which `unused(table, row)` holds; returns how many rows went.
template <class Predicate>
int deleteLabelsWhere(LabelState& state, Predicate unused);

// A row whose channels the device does not have (oscilloscope rows excepted): its name button is
// disabled and "Delete Unused Labels" removes it.
bool rowOutsideDevice(const LabelTable& table, const LabelRow& row, int channelCount);

// Renames the label holding entry `index`: 206 bad name (219 for a group), 204 name in use.
int renameLabel(LabelState& state, int index, const std::string& name);

// Combine The Labels, OK. `destination` holds label names with the least significant first (the
// list's "LSB" end); `source` the names left in the other list.
int combineLabels(LabelState& state, const std::string& groupName, const std::vector<std::string>& destination,
                  const std::vector<std::string>& source);
// Arrange Labels, OK: the group holding entry `index` with its members in a new order and possibly a
// new name. `membersLsbFirst` lists member positions (0 = the group's first entry, its most
// significant bit) with the least significant first; it must name every member once (else 222).
// 219 bad group name, 221 name used by another label, 211 for a single label.
int arrangeGroup(LabelState& state, int index, const std::string& groupName, const std::vector<int>& membersLsbFirst);

// Splits the group holding entry `index` into single labels named memberName(group, bit weight).
// 211 for a single label, 204 when a member name is already used by another label.
int decomposeLabel(LabelState& state, int index);

// Sorts rows by name, byte-wise; group members keep their order.
int sortLabels(LabelState& state, bool ascending);

// Toggles the selected flag of the label holding entry `index` (Select Mode).
void toggleSelected(LabelState& state, int index);
void clearSelected(LabelTable& table);

// A click on a label name in the current mode: deletes or toggles; false in normal mode.
bool clickLabelName(LabelState& state, int index);

// "Sig. Type": digital or bus, or the protocol a row is decoded as.
enum SignalType : int32_t { kSigNormal = 0, kSigUart = 1, kSigI2c = 2, kSigI2s = 3, kSigSpi = 4, kSigScope = 5 };

// Configure Label: what the dialog edits, read from and written back to a label.
struct LabelSettings {
    std::string name;
    int32_t channel = 0;       // single labels only
    int32_t format = kFormatHex;
    int32_t colorIndex = 0;
    bool invert = false;
    bool gray = false;
    int32_t signalType = 0;    // SignalType
    int32_t spiBits = 8;       // 8 or 16
    bool spiCsHigh = false;
    bool spiFalling = false;
    int32_t i2sBits = 16;      // 8..24
    bool uartAuto = true;
    int32_t baud = 9600;
    int32_t uartProtocol = 0;
};

// The signal types the "Sig. Type" list offers for the label holding entry `index`, in list order:
// single labels kSigNormal ("Digital"), kSigUart (and kSigScope on oscilloscope rows); groups
// kSigNormal ("Normal"), kSigI2c for exactly 2 members, kSigI2s and kSigSpi for exactly 3.
std::vector<int32_t> signalTypeChoices(const LabelTable& table, int index);

LabelSettings labelSettings(const LabelTable& table, int index);
// Validates and writes back: 206/219 name, 204 in use, 230 channel, 327 I2S bits.
int configureLabel(LabelState& state, int index, const LabelSettings& settings, int channelCount);

// The "Baud Rate:" and "Protocol:" lists (parity, data bits, stop bits).
extern const int32_t kBaudRates[14];
extern const char* const kUartProtocols[24];

// --- template implementation ---------------------------------------------------------------------

void removeRows(LabelState& state, const std::vector<LabelRow>& rows);

template <class Predicate>
int deleteLabelsWhere(LabelState& state, Predicate unused) {
    std::vector<LabelRow> gone;
    for (const LabelRow& r : labelRows(state.table))
        if (unused(state.table, r)) gone.push_back(r);
    if (gone.empty()) return 0;
    saveUndo(state);
    removeRows(state, gone);
    return static_cast<int>(gone.size());
}

}  // namespace kv
