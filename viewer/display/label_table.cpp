#include "viewer/display/label_table.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace kv {

// Offsets of the stored record.
namespace {
constexpr size_t kOffChannel = 0;
constexpr size_t kOffValue = 4;
constexpr size_t kOffFormat = 8;
constexpr size_t kOffName = 12;
constexpr size_t kOffColor = kOffName + kLabelNameArea;
constexpr size_t kOffButton = kOffColor + 4;
constexpr size_t kOffKind = kOffButton + 4;
constexpr size_t kOffFlags = kOffKind + 4;
constexpr size_t kOffHeight = kOffFlags + 4;
constexpr size_t kOffBaud = kOffHeight + 4;
static_assert(kOffColor == 76 && kOffButton == 80 && kOffKind == 84 && kOffFlags == 88 && kOffHeight == 92 &&
                  kOffBaud == 96,
              "label record layout");
static_assert(kOffBaud + 4 == kLabelRecordBytes, "label record size");
static_assert(kCompiledNameOffset + kStoredCompiledNameMax + 1 == kLabelNameArea, "name area");

void put32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t get32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Copies at most `room` characters up to the first NUL and always ends the copy.
void copyText(char* out, size_t outSize, const char* in, size_t room) {
    size_t n = 0;
    while (n < room && n + 1 < outSize && in[n]) ++n;
    std::memcpy(out, in, n);
    out[n] = '\0';
}

void setName(LabelEntry& e, const std::string& name) { copyText(e.name, sizeof e.name, name.c_str(), kLabelNameMax); }

void touch(LabelState& state) { ++state.revision; }

LabelEntry singleLabel(const std::string& name, int channel, int32_t color) {
    LabelEntry e;
    e.channel = channel;
    e.format = kFormatHex;
    setName(e, name);
    e.colorIndex = color;
    e.kind = kLabelSingle;
    e.baud = 9600;
    return e;
}

// Rebuilds the table from a list of entries (at most kMaxLabels of them).
void assign(LabelTable& table, const std::vector<LabelEntry>& entries) {
    const size_t n = std::min(entries.size(), static_cast<size_t>(kMaxLabels));
    for (size_t i = 0; i < n; ++i) table.entries[i] = entries[i];
    for (size_t i = n; i < table.entries.size(); ++i) table.entries[i] = LabelEntry{};
}

std::vector<LabelEntry> entriesOf(const LabelTable& table) {
    return std::vector<LabelEntry>(table.entries.begin(), table.entries.begin() + table.count());
}

bool nameUsedOutside(const LabelTable& table, const std::string& name, const LabelRow& except) {
    for (const LabelRow& r : labelRows(table)) {
        if (r.first == except.first) continue;
        if (name == table.entries[r.first].name) return true;
    }
    return false;
}

bool validIndex(const LabelTable& table, int index) { return index >= 0 && index < table.count(); }

}  // namespace

const int32_t kBaudRates[14] = {110, 300, 600, 1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400, 460800, 921600};
const char* const kUartProtocols[24] = {"N-8-1", "N-8-2", "N-7-1", "N-7-2", "N-6-1", "N-6-2", "N-5-1", "N-5-2",
                                        "E-8-1", "E-8-2", "E-7-1", "E-7-2", "E-6-1", "E-6-2", "E-5-1", "E-5-2",
                                        "O-8-1", "O-8-2", "O-7-1", "O-7-2", "O-6-1", "O-6-2", "O-5-1", "O-5-2"};

// --- stored form ---------------------------------------------------------------------------------

void writeLabelEntry(const LabelEntry& e, uint8_t* out) {
    std::memset(out, 0, kLabelRecordBytes);
    put32(out + kOffChannel, static_cast<uint32_t>(e.channel));
    put32(out + kOffValue, static_cast<uint32_t>(e.value));
    put32(out + kOffFormat, static_cast<uint32_t>(e.format));
    char name[kLabelNameMax + 1];
    copyText(name, sizeof name, e.name, kLabelNameMax);
    std::memcpy(out + kOffName, name, std::strlen(name));
    char compiled[kStoredCompiledNameMax + 1];
    copyText(compiled, sizeof compiled, e.compiledName, kStoredCompiledNameMax);
    std::memcpy(out + kOffName + kCompiledNameOffset, compiled, std::strlen(compiled));
    put32(out + kOffColor, static_cast<uint32_t>(e.colorIndex));
    put32(out + kOffButton, 0);
    put32(out + kOffKind, static_cast<uint32_t>(e.kind));
    put32(out + kOffFlags, e.flags);
    put32(out + kOffHeight, e.height);
    put32(out + kOffBaud, static_cast<uint32_t>(e.baud));
}

LabelEntry readLabelEntry(const uint8_t* in) {
    LabelEntry e;
    e.channel = static_cast<int32_t>(get32(in + kOffChannel));
    e.value = static_cast<int32_t>(get32(in + kOffValue));
    e.format = static_cast<int32_t>(get32(in + kOffFormat));
    const char* area = reinterpret_cast<const char*>(in + kOffName);
    copyText(e.name, sizeof e.name, area, kLabelNameMax);
    copyText(e.compiledName, sizeof e.compiledName, area + kCompiledNameOffset, kStoredCompiledNameMax);
    e.colorIndex = static_cast<int32_t>(get32(in + kOffColor));
    e.rowButton = nullptr;
    e.kind = static_cast<int32_t>(get32(in + kOffKind));
    e.flags = get32(in + kOffFlags);
    e.height = get32(in + kOffHeight);
    e.baud = static_cast<int32_t>(get32(in + kOffBaud));
    return e;
}

// --- table and rows ------------------------------------------------------------------------------

int LabelTable::count() const {
    int n = 0;
    while (n < kMaxLabels && entries[n].kind != kLabelEnd) ++n;
    return n;
}

std::vector<LabelRow> labelRows(const LabelTable& table) {
    std::vector<LabelRow> rows;
    const int n = table.count();
    for (int i = 0; i < n;) {
        LabelRow r{i, i};
        if (table.entries[i].kind != kLabelSingle && table.entries[i].kind != kLabelLastMember) {
            // A group runs up to its last member; a group cut short ends before the next single.
            int j = i;
            while (j + 1 < n && table.entries[j].kind != kLabelLastMember && table.entries[j + 1].kind != kLabelSingle &&
                   table.entries[j + 1].kind != kLabelFirstMember)
                ++j;
            r.last = j;
        }
        rows.push_back(r);
        i = r.last + 1;
    }
    return rows;
}

LabelRow rowOfEntry(const LabelTable& table, int index) {
    for (const LabelRow& r : labelRows(table))
        if (index >= r.first && index <= r.last) return r;
    return LabelRow{-1, -1};
}

int findLabel(const LabelTable& table, const std::string& name) {
    for (const LabelRow& r : labelRows(table))
        if (name == table.entries[r.first].name) return r.first;
    return -1;
}

std::vector<int32_t> rowChannels(const LabelTable& table, const LabelRow& row) {
    std::vector<int32_t> channels;
    for (int i = row.first; i <= row.last; ++i) channels.push_back(table.entries[i].channel);
    return channels;
}

bool readLabelTable(const uint8_t* in, size_t entryCount, LabelTable& table) {
    std::vector<LabelEntry> entries;
    int member = 0;  // members of the group being read
    for (size_t i = 0; i < entryCount; ++i) {
        LabelEntry e = readLabelEntry(in + i * kLabelRecordBytes);
        if (e.kind == kLabelEnd) break;
        if (entries.size() == static_cast<size_t>(kMaxLabels)) return false;
        // Channel numbers select bits of a 64-bit sample word.
        if (e.channel < 0 || e.channel > 63) return false;
        if (e.kind == kLabelSingle) {
            if (member) return false;
        } else if (e.kind == kLabelLastMember) {
            if (!member) return false;
            member = 0;
        } else {
            if (e.kind != kLabelFirstMember + member || member + 1 >= kMaxGroupChannels) return false;
            ++member;
        }
        entries.push_back(e);
    }
    if (member) return false;
    assign(table, entries);
    return true;
}

std::vector<uint8_t> writeLabelTable(const LabelTable& table) {
    const int n = table.count();
    std::vector<uint8_t> out((n + 1) * kLabelRecordBytes);
    for (int i = 0; i < n; ++i) writeLabelEntry(table.entries[i], &out[i * kLabelRecordBytes]);
    writeLabelEntry(LabelEntry{}, &out[n * kLabelRecordBytes]);
    return out;
}

void removeRows(LabelState& state, const std::vector<LabelRow>& rows) {
    std::vector<LabelEntry> kept;
    const int n = state.table.count();
    for (int i = 0; i < n; ++i) {
        const bool gone = std::any_of(rows.begin(), rows.end(), [i](const LabelRow& r) { return i >= r.first && i <= r.last; });
        if (!gone) kept.push_back(state.table.entries[i]);
    }
    assign(state.table, kept);
    touch(state);
}

bool rowOutsideDevice(const LabelTable& table, const LabelRow& row, int channelCount) {
    for (int i = row.first; i <= row.last; ++i) {
        const LabelEntry& e = table.entries[i];
        if (e.flags & kLabelScope) continue;
        if (e.channel < 0 || e.channel >= channelCount) return true;
    }
    return false;
}

int rowTop(const LabelTable& table, int firstRow, int waveHeight, int index) {
    int row = 0, y = 0;
    for (const LabelRow& r : labelRows(table)) {
        const int h = labelRowHeight(table.entries[r.first].height) ? static_cast<int>(labelRowHeight(table.entries[r.first].height)) : waveHeight;
        if (index >= r.first && index <= r.last) return row >= firstRow ? y : -1;
        if (row >= firstRow) y += h;
        ++row;
    }
    return -1;
}

int entryAtY(const LabelTable& table, int firstRow, int waveHeight, int y) {
    if (y < 0) return -1;
    int row = 0, top = 0;
    for (const LabelRow& r : labelRows(table)) {
        if (row++ < firstRow) continue;
        const int h = labelRowHeight(table.entries[r.first].height) ? static_cast<int>(labelRowHeight(table.entries[r.first].height)) : waveHeight;
        if (y < top + h) return r.first;
        top += h;
    }
    return -1;
}

// --- names ---------------------------------------------------------------------------------------

bool validLabelName(const std::string& name) { return !name.empty() && name.size() <= kLabelNameMax; }
bool validGroupName(const std::string& name) { return !name.empty() && name.size() <= kGroupNameMax; }

std::string defaultChannelName(int channel) {
    char text[24];
    std::snprintf(text, sizeof text, "CH-%02d", channel);
    return text;
}

std::string defaultScopeName(int channel) {
    char text[24];
    std::snprintf(text, sizeof text, "DSO_CH%d", channel);
    return text;
}

std::string memberName(const std::string& groupName, int number) {
    char text[24];
    std::snprintf(text, sizeof text, "-%02d", number);
    return groupName.substr(0, kDecomposeNameCut) + text;
}

int checkNameCharacters(const std::string& name) {
    if (!validLabelName(name)) return kStrNameLength;
    if (name.find_first_of(",{}&%#^*+`;:'\"?\t<>|\\=") != std::string::npos) return kStrSpecialCharacter;
    return 0;
}

int32_t defaultLabelColor(int channel) { return 1 + (channel % 15 + 15) % 15; }

// --- undo ----------------------------------------------------------------------------------------

void saveUndo(LabelState& state) {
    state.undo = state.table;
    // The buttons of today's rows are gone by the time the copy comes back; the view makes new ones.
    for (LabelEntry& e : state.undo.entries) e.rowButton = nullptr;
    state.undoSaved = true;
}

bool undoLabels(LabelState& state) {
    if (!state.undoSaved) return false;
    state.table = state.undo;
    state.undoSaved = false;
    touch(state);
    return true;
}

// --- adding --------------------------------------------------------------------------------------

int addSingleLabel(LabelState& state, const std::string& name, int channel, int32_t colorIndex, int channelCount) {
    if (!validLabelName(name)) return kStrBadName;
    if (channel < 0 || channel >= channelCount) return kStrChannelRange;
    if (findLabel(state.table, name) >= 0) return kStrNameInUse;
    const int n = state.table.count();
    if (n >= kMaxLabels) return kStrTooManyLabels;
    saveUndo(state);
    state.table.entries[n] = singleLabel(name, channel, colorIndex);
    touch(state);
    return 0;
}

namespace {

// Appends (or puts in place of the table) the labels given, leaving out names already used.
int addLabels(LabelState& state, const std::vector<LabelEntry>& wanted, bool replace) {
    std::vector<LabelEntry> entries = replace ? std::vector<LabelEntry>{} : entriesOf(state.table);
    const size_t before = entries.size();
    for (const LabelEntry& e : wanted) {
        const bool used = std::any_of(entries.begin(), entries.end(),
                                      [&](const LabelEntry& x) { return std::strcmp(x.name, e.name) == 0; });
        if (!used) entries.push_back(e);
    }
    if (entries.size() > static_cast<size_t>(kMaxLabels)) return kStrTooManyLabels;
    if (!replace && entries.size() == before) return 0;
    saveUndo(state);
    assign(state.table, entries);
    touch(state);
    return 0;
}

}  // namespace

int addLabelSet(LabelState& state, uint32_t podMask, int channelCount, int channelsPerPod, bool replace) {
    std::vector<LabelEntry> wanted;
    for (int c = 0; c < channelCount && channelsPerPod > 0; ++c) {
        const int pod = c / channelsPerPod;
        if (pod < 4 && (podMask >> pod & 1)) wanted.push_back(singleLabel(defaultChannelName(c), c, defaultLabelColor(c)));
    }
    return addLabels(state, wanted, replace);
}

int addAllLabels(LabelState& state, int channelCount, int scopeChannels, bool replace) {
    std::vector<LabelEntry> wanted;
    for (int c = 0; c < channelCount; ++c) wanted.push_back(singleLabel(defaultChannelName(c), c, defaultLabelColor(c)));
    for (int s = 0; s < scopeChannels; ++s) {
        // Scope channels are named from 1, as on the scope's front panel.
        LabelEntry e = singleLabel(defaultScopeName(s + 1), s, defaultLabelColor(s));
        e.flags |= kLabelScope;
        wanted.push_back(e);
    }
    return addLabels(state, wanted, replace);
}

// --- deleting ------------------------------------------------------------------------------------

int deleteLabel(LabelState& state, int index) {
    if (!validIndex(state.table, index)) return 0;
    saveUndo(state);
    removeRows(state, {rowOfEntry(state.table, index)});
    return 0;
}

int deleteAllLabels(LabelState& state) {
    if (state.table.count() == 0) return 0;
    saveUndo(state);
    assign(state.table, {});
    touch(state);
    return 0;
}

// --- renaming ------------------------------------------------------------------------------------

int renameLabel(LabelState& state, int index, const std::string& name) {
    if (!validIndex(state.table, index)) return 0;
    const LabelRow row = rowOfEntry(state.table, index);
    if (row.group() ? !validGroupName(name) : !validLabelName(name)) return row.group() ? kStrBadGroupName : kStrBadName;
    if (name == state.table.entries[row.first].name) return 0;
    if (nameUsedOutside(state.table, name, row)) return kStrNameInUse;
    saveUndo(state);
    for (int i = row.first; i <= row.last; ++i) setName(state.table.entries[i], name);
    touch(state);
    return 0;
}

// --- groups --------------------------------------------------------------------------------------

namespace {

// Group entries take the kinds 2, 3, ... in order, the last 9999; a decode setting of a former
// label means nothing for the new group and is cleared.
void makeGroup(std::vector<LabelEntry>& members, const std::string& name) {
    for (size_t k = 0; k < members.size(); ++k) {
        LabelEntry& e = members[k];
        setName(e, name);
        e.kind = k + 1 == members.size() ? kLabelLastMember : kLabelFirstMember + static_cast<int32_t>(k);
        e.flags &= ~static_cast<uint32_t>(kLabelDecodeFlags | kLabelScope);
    }
}

}  // namespace

int combineLabels(LabelState& state, const std::string& groupName, const std::vector<std::string>& destination,
                  const std::vector<std::string>& source) {
    if (!validGroupName(groupName)) return kStrBadGroupName;
    // The limit is on channels: an item that is itself a group brings all its members.
    std::vector<LabelRow> picked;
    int channels = 0;
    for (const std::string& item : destination) {
        const int i = findLabel(state.table, item);
        if (i < 0) continue;
        const LabelRow r = rowOfEntry(state.table, i);
        if (std::any_of(picked.begin(), picked.end(), [&](const LabelRow& p) { return p.first == r.first; })) continue;
        picked.push_back(r);
        channels += r.size();
    }
    if (channels > kMaxGroupChannels || destination.size() > static_cast<size_t>(kMaxGroupChannels))
        return kStrTooManyChannels;
    for (const std::string& item : source)
        if (item == groupName) return kStrDuplicateName;
    for (const LabelRow& r : labelRows(state.table)) {
        const bool combined = std::any_of(picked.begin(), picked.end(), [&](const LabelRow& p) { return p.first == r.first; });
        if (!combined && groupName == state.table.entries[r.first].name) return kStrDuplicateName;
    }
    if (picked.size() < 2) return kStrTooFewChannels;

    saveUndo(state);
    std::vector<LabelEntry> members;
    for (auto r = picked.rbegin(); r != picked.rend(); ++r)
        for (int i = r->first; i <= r->last; ++i) {
            LabelEntry e = state.table.entries[i];
            e.rowButton = nullptr;
            members.push_back(e);
        }
    makeGroup(members, groupName);
    std::vector<LabelEntry> entries = members;
    for (const LabelRow& r : labelRows(state.table)) {
        const bool combined = std::any_of(picked.begin(), picked.end(), [&](const LabelRow& p) { return p.first == r.first; });
        if (!combined)
            for (int i = r.first; i <= r.last; ++i) entries.push_back(state.table.entries[i]);
    }
    assign(state.table, entries);
    clearSelected(state.table);
    touch(state);
    return 0;
}

int arrangeGroup(LabelState& state, int index, const std::string& groupName, const std::vector<int>& membersLsbFirst) {
    if (!validIndex(state.table, index)) return 0;
    const LabelRow row = rowOfEntry(state.table, index);
    if (!row.group()) return kStrNotGroup;
    if (!validGroupName(groupName)) return kStrBadGroupName;
    if (nameUsedOutside(state.table, groupName, row)) return kStrDuplicateName;
    std::vector<bool> seen(row.size(), false);
    for (int m : membersLsbFirst) {
        if (m < 0 || m >= row.size() || seen[m]) return kStrTooFewChannels;
        seen[m] = true;
    }
    if (membersLsbFirst.size() != static_cast<size_t>(row.size())) return kStrTooFewChannels;

    saveUndo(state);
    std::vector<LabelEntry> members;
    for (auto m = membersLsbFirst.rbegin(); m != membersLsbFirst.rend(); ++m) members.push_back(state.table.entries[row.first + *m]);
    // The group keeps its decode setting; only the kinds follow the new order.
    const uint32_t decode = state.table.entries[row.last].flags & (kLabelDecodeFlags | kLabelScope);
    for (size_t k = 0; k < members.size(); ++k) {
        LabelEntry& e = members[k];
        setName(e, groupName);
        e.kind = k + 1 == members.size() ? kLabelLastMember : kLabelFirstMember + static_cast<int32_t>(k);
        e.flags = (e.flags & ~static_cast<uint32_t>(kLabelDecodeFlags | kLabelScope)) | decode;
        e.rowButton = state.table.entries[row.first + k].rowButton;  // the row keeps its button
    }
    for (int k = 0; k < row.size(); ++k) state.table.entries[row.first + k] = members[k];
    touch(state);
    return 0;
}

int decomposeLabel(LabelState& state, int index) {
    if (!validIndex(state.table, index)) return 0;
    const LabelRow row = rowOfEntry(state.table, index);
    if (!row.group()) return kStrNotGroup;
    const std::string group = state.table.entries[row.first].name;
    // Members are numbered by their bit weight in the group value: the last (least significant) is 00.
    for (int k = 0; k < row.size(); ++k)
        if (nameUsedOutside(state.table, memberName(group, row.size() - 1 - k), row)) return kStrNameInUse;
    saveUndo(state);
    for (int k = 0; k < row.size(); ++k) {
        LabelEntry& e = state.table.entries[row.first + k];
        setName(e, memberName(group, row.size() - 1 - k));
        e.kind = kLabelSingle;
        e.flags &= ~static_cast<uint32_t>(kLabelDecodeFlags);
        e.rowButton = nullptr;
    }
    touch(state);
    return 0;
}

// --- sorting and selection -----------------------------------------------------------------------

int sortLabels(LabelState& state, bool ascending) {
    const LabelTable& t = state.table;
    std::vector<LabelRow> rows = labelRows(t);
    if (rows.empty()) return 0;
    saveUndo(state);
    // Rows move whole; equal names keep single labels before groups (lower kind first) either way.
    std::stable_sort(rows.begin(), rows.end(), [&](const LabelRow& a, const LabelRow& b) {
        const int c = std::strcmp(t.entries[a.first].name, t.entries[b.first].name);
        if (c != 0) return ascending ? c < 0 : c > 0;
        return t.entries[a.first].kind < t.entries[b.first].kind;
    });
    std::vector<LabelEntry> entries;
    for (const LabelRow& r : rows)
        for (int i = r.first; i <= r.last; ++i) entries.push_back(t.entries[i]);
    assign(state.table, entries);
    touch(state);
    return 0;
}

void toggleSelected(LabelState& state, int index) {
    if (!validIndex(state.table, index)) return;
    const LabelRow row = rowOfEntry(state.table, index);
    const bool selected = (state.table.entries[row.first].flags & kLabelSelected) != 0;
    for (int i = row.first; i <= row.last; ++i) {
        uint32_t& f = state.table.entries[i].flags;
        f = selected ? (f & ~static_cast<uint32_t>(kLabelSelected)) : (f | kLabelSelected);
    }
    touch(state);
}

void clearSelected(LabelTable& table) {
    for (LabelEntry& e : table.entries) e.flags &= ~static_cast<uint32_t>(kLabelSelected);
}

bool clickLabelName(LabelState& state, int index) {
    switch (state.mode) {
        case LabelMode::Delete: deleteLabel(state, index); return true;
        case LabelMode::Select: toggleSelected(state, index); return true;
        case LabelMode::Normal: break;
    }
    return false;
}

// --- Configure Label -----------------------------------------------------------------------------

std::vector<int32_t> signalTypeChoices(const LabelTable& table, int index) {
    if (!validIndex(table, index)) return {};
    const LabelRow row = rowOfEntry(table, index);
    if (!row.group()) {
        std::vector<int32_t> c = {kSigNormal, kSigUart};
        if (table.entries[row.first].flags & kLabelScope) c.push_back(kSigScope);
        return c;
    }
    if (row.size() == 2) return {kSigNormal, kSigI2c};
    if (row.size() == 3) return {kSigNormal, kSigI2s, kSigSpi};
    return {kSigNormal};
}

LabelSettings labelSettings(const LabelTable& table, int index) {
    LabelSettings s;
    if (!validIndex(table, index)) return s;
    const LabelRow row = rowOfEntry(table, index);
    const LabelEntry& head = table.entries[row.first];
    const LabelEntry& tail = table.entries[row.last];
    s.name = head.name;
    s.channel = head.channel;
    s.format = head.format;
    s.colorIndex = head.colorIndex;
    s.invert = (head.flags & kLabelInvert) != 0;
    s.gray = (head.flags & kLabelGray) != 0;
    const uint32_t f = tail.flags;
    const int32_t param = static_cast<int32_t>((f & kLabelParamMask) >> kLabelParamShift);
    if (!row.group()) {
        if (f & kLabelScope) s.signalType = kSigScope;
        else if (f & kLabelUart) s.signalType = kSigUart;
    } else if (row.size() == 2 && (f & kLabelI2c)) {
        s.signalType = kSigI2c;
    } else if (row.size() == 3 && (f & kLabelI2s)) {
        s.signalType = kSigI2s;
    } else if (row.size() == 3 && (f & kLabelSpi)) {
        s.signalType = kSigSpi;
    }
    if (s.signalType == kSigUart) {
        s.uartAuto = (f & kLabelExplicit) == 0;
        s.uartProtocol = param < 24 ? param : 0;
    }
    if (s.signalType == kSigI2s) s.i2sBits = param >= 8 && param <= 24 ? param : 8;
    if (s.signalType == kSigSpi) {
        s.spiBits = param == 16 ? 16 : 8;
        s.spiCsHigh = (f & kLabelExplicit) != 0;
        s.spiFalling = (f & kLabelSpiFalling) != 0;
    }
    s.baud = tail.baud > 0 ? tail.baud : 9600;
    return s;
}

int configureLabel(LabelState& state, int index, const LabelSettings& s, int channelCount) {
    if (!validIndex(state.table, index)) return 0;
    const LabelRow row = rowOfEntry(state.table, index);
    if (row.group() ? !validGroupName(s.name) : !validLabelName(s.name)) return row.group() ? kStrBadGroupName : kStrBadName;
    if (nameUsedOutside(state.table, s.name, row)) return kStrNameInUse;
    const std::vector<int32_t> offered = signalTypeChoices(state.table, index);
    const int32_t type = std::find(offered.begin(), offered.end(), s.signalType) != offered.end() ? s.signalType : kSigNormal;
    if (!row.group() && type != kSigScope && (s.channel < 0 || s.channel >= channelCount)) return kStrChannelRange;
    if (type == kSigI2s && (s.i2sBits < 8 || s.i2sBits > 24)) return kStrI2sBits;

    uint32_t decode = 0;
    switch (type) {
        case kSigUart:
            decode = kLabelUart | static_cast<uint32_t>(std::clamp(s.uartProtocol, 0, 23)) << kLabelParamShift;
            if (!s.uartAuto) decode |= kLabelExplicit;
            break;
        case kSigI2c: decode = kLabelI2c; break;
        case kSigI2s: decode = kLabelI2s | static_cast<uint32_t>(s.i2sBits) << kLabelParamShift; break;
        case kSigSpi:
            decode = kLabelSpi | static_cast<uint32_t>(s.spiBits == 16 ? 16 : 8) << kLabelParamShift;
            if (s.spiCsHigh) decode |= kLabelExplicit;
            if (s.spiFalling) decode |= kLabelSpiFalling;
            break;
        case kSigScope: decode = kLabelScope; break;
        default: break;
    }
    saveUndo(state);
    for (int i = row.first; i <= row.last; ++i) {
        LabelEntry& e = state.table.entries[i];
        setName(e, s.name);
        if (!row.group()) e.channel = s.channel;
        e.format = s.format;
        e.colorIndex = s.colorIndex;
        uint32_t f = e.flags & ~static_cast<uint32_t>(kLabelDecodeFlags | kLabelScope | kLabelInvert | kLabelGray);
        if (s.invert) f |= kLabelInvert;
        if (s.gray) f |= kLabelGray;
        e.flags = f | decode;
        if (type == kSigUart) e.baud = s.baud;
    }
    touch(state);
    return 0;
}

}  // namespace kv
