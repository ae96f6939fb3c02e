#include "viewer/trigger/trigger_editor.h"

#include <cstring>

#include "viewer/display/formatting.h"

namespace kv {

char conditionCharacter(uint8_t code) {
    switch (code) {
        case kConditionLow: return '0';
        case kConditionHigh: return '1';
        case kConditionRising: return '/';
        case kConditionFalling: return '\\';
        case kConditionEitherEdge: return '|';
        default: return 'X';
    }
}

uint8_t conditionOfCharacter(char c) {
    switch (c) {
        case '0': return kConditionLow;
        case '1': return kConditionHigh;
        case '/': return kConditionRising;
        case '\\': return kConditionFalling;
        case '|': return kConditionEitherEdge;
        default: return kConditionDontCare;
    }
}

bool isEdgeCharacter(char c) { return c == '/' || c == '\\' || c == '|'; }

ChannelMenu channelMenu(int editorMode, bool otherEdgeShown, const TriggerDevice& device) {
    if (editorMode != kModeSingle || otherEdgeShown) return ChannelMenu::Levels;
    return offersEitherEdge(device) ? ChannelMenu::Full : ChannelMenu::Edges;
}

int32_t spinPassCount(int32_t value, int delta, int32_t highest) {
    const int64_t next = static_cast<int64_t>(value) + delta;
    if (next > highest) return 0;
    if (next < 0) return highest;
    return static_cast<int32_t>(next);
}

int32_t spinWidth(int32_t value, int delta, bool nanlyn) {
    const int64_t next = static_cast<int64_t>(value) + delta;
    if (nanlyn) return static_cast<int32_t>(next < 2 ? 2 : next > 65535 ? 65535 : next);
    if (next > kTriggerWidthMax) return 0;
    if (next < 0) return kTriggerWidthMax;
    return static_cast<int32_t>(next);
}

uint32_t spinDelay(uint32_t value, int delta) {
    const int64_t next = static_cast<int64_t>(value) + delta;
    if (next > kTriggerDelayMax) return 0;
    if (next < 0) return kTriggerDelayMax;
    return static_cast<uint32_t>(next);
}

int32_t shownPassCount(int32_t stored) { return stored < 0 ? -1 - stored : stored; }

int applyLevelEditor(const LevelEditorInput& in, int editorMode, const TriggerDevice& device, TriggerRecord& r,
                     uint8_t oneLevel[kTriggerChannels]) {
    // The pass count is checked when its field loses the focus; OK pressed with Enter never leaves
    // the field, so it is checked here again.
    if (editorMode != kModeDual && (in.passCount < 0 || in.passCount > device.highestPassCount)) return kStrPassCountRange;
    int edges = 0;
    for (int c = 0; c < kTriggerChannels; ++c) edges += in.enabled[c] && isEdgeCharacter(in.captions[c]);
    if (edges > 1) return kStrTooManyEdges;
    const bool timed = device.nanlyn || (!isDirectTriggerFamily(device.productCode) && device.productCode != 0x2064);
    if (timed && editorMode == kModeWidth && in.width > kTriggerWidthMax) return kStrWidthTooBig;
    if (timed && (in.delay < 0 || in.delay > kTriggerDelayMax)) return kStrDelayTooBig;

    if (editorMode != kModeDual) r.passCount = static_cast<int32_t>(in.passCount);
    for (int c = 0; c < kTriggerChannels; ++c)
        oneLevel[c] = in.enabled[c] ? conditionOfCharacter(in.captions[c]) : static_cast<uint8_t>(kConditionDontCare);
    if (timed) {
        if (editorMode == kModeWidth) r.width = static_cast<int32_t>(in.longer ? in.width : -in.width);
        r.delay = static_cast<uint32_t>(in.delay);
        r.flags = in.preTrigger ? r.flags | kTriggerFlagPreTrigger : r.flags & ~kTriggerFlagPreTrigger;
    }
    return 0;
}

// --- label mode ---------------------------------------------------------------------------------

std::vector<LabelRow> triggerLabelRows(const LabelTable& table) {
    std::vector<LabelRow> rows;
    for (const LabelRow& row : labelRows(table)) {
        const LabelEntry& e = table.entries[row.first];
        if ((e.flags & kLabelScope) || e.format == kFormatAnalog) continue;
        rows.push_back(row);
    }
    return rows;
}

namespace {

const char* const kRadixNames[] = {"Hex", "Dec", "Oct", "Bin", "Asc"};

}  // namespace

std::vector<std::string> labelConditions(const LabelTable& table, const LabelRow& row, int editorMode) {
    if (row.group()) return {kRadixNames, kRadixNames + 5};
    std::vector<std::string> c = {"0", "1"};
    if (editorMode != kModeMulti && editorMode != kModeDual) c.insert(c.end(), {"/", "\\", "|"});
    return c;
}

std::string defaultRadix(int32_t format) { return format >= kFormatHex && format <= kFormatAsc ? kRadixNames[format] : "Hex"; }

bool acceptsValueCharacter(const std::string& radix, char c) {
    const char* allowed = radix == "Hex"   ? "0123456789ABCDEFabcdef"
                          : radix == "Dec" ? "0123456789"
                          : radix == "Oct" ? "01234567"
                          : radix == "Bin" ? "01Xx/\\|"
                                           : nullptr;
    return !allowed || (c != 0 && std::strchr(allowed, c) != nullptr);
}

bool isEdgeCondition(const std::string& condition) {
    return condition.size() == 1 && isEdgeCharacter(condition[0]);
}

int checkNewLabelRow(const std::vector<LabelConditionRow>& rows, const std::string& condition) {
    if (!isEdgeCondition(condition)) return 0;
    for (const LabelConditionRow& row : rows)
        if (isEdgeCondition(row.condition)) return kStrTooManyEdges;
    return 0;
}

void captionsFromLabelRows(const LabelTable& table, const std::vector<LabelConditionRow>& rows,
                           char captions[kTriggerChannels]) {
    std::memset(captions, 'X', kTriggerChannels);
    const auto put = [captions](int32_t channel, char c) {
        if (channel >= 0 && channel < kTriggerChannels) captions[channel] = c;
    };
    for (const LabelConditionRow& row : rows) {
        const int index = findLabel(table, row.label);
        if (index < 0) continue;
        const LabelRow labelRow = rowOfEntry(table, index);
        const std::vector<int32_t> channels = rowChannels(table, labelRow);
        if (channels.empty()) continue;
        if (!labelRow.group()) {
            if (!row.condition.empty()) put(channels[0], row.condition[0]);
            continue;
        }
        // The label's last channel takes bit 0 (or the value's last character).
        if (row.condition == "Bin") {
            size_t k = row.value.size();
            for (size_t i = channels.size(); i-- > 0 && k > 0;) put(channels[i], row.value[--k]);
            continue;
        }
        uint64_t value = 0;
        if (row.condition == "Asc") {
            value = row.value.empty() ? 0 : static_cast<uint8_t>(row.value[0]);
        } else {
            const int base = row.condition == "Hex" ? 16 : row.condition == "Oct" ? 8 : 10;
            for (char ch : row.value) {
                const int digit = ch >= '0' && ch <= '9'   ? ch - '0'
                                  : ch >= 'a' && ch <= 'f' ? ch - 'a' + 10
                                  : ch >= 'A' && ch <= 'F' ? ch - 'A' + 10
                                                           : 99;
                if (digit >= base) break;
                value = value * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
            }
        }
        for (size_t i = channels.size(), bit = 0; i-- > 0; ++bit)
            put(channels[i], bit < 64 && (value >> bit & 1) ? '1' : '0');
    }
}

// --- times --------------------------------------------------------------------------------------

int64_t editorTimeBase(const TriggerRecord& r, uint64_t externalClockHz) {
    uint64_t hz = (r.clock & 1) ? r.frequency() : externalClockHz;
    if (r.flags & kTriggerFlagMemoryStack) hz /= 2;
    return hz > static_cast<uint64_t>(INT64_MAX) ? INT64_MAX : static_cast<int64_t>(hz);
}

namespace {

std::string timeText(const char* prefix, int64_t count, int64_t hz) {
    std::string t;
    if (!FormatTime(hz, count < 0 ? -count : count, 3, &t)) t = "0 ns";
    return prefix + t;
}

}  // namespace

std::string widthText(int64_t count, int64_t hz) { return timeText("Width = ", count, hz); }
std::string delayText(int64_t count, int64_t hz) { return timeText("Delay Time = ", count, hz); }

// --- Multi-Level Trigger ------------------------------------------------------------------------

uint32_t nextLinkCode(uint32_t code, int linkIndex, int mode, bool nanlyn) {
    // Levels 8 and 9 of the 64-channel boards sit in different halves of the trigger memory.
    if (!nanlyn && mode == kModeMulti && linkIndex == 7) return code == kLinkDiscontinuous ? kLinkEnd : kLinkDiscontinuous;
    return code >= kLinkEnd ? kLinkContinuous : code + 1;
}

int shownLevels(int mode, bool nanlyn) { return mode == kModeDual && !nanlyn ? 4 : kTriggerLevels; }

int enabledLevels(const TriggerRecord& r, int shown) {
    for (int l = 0; l < shown; ++l)
        if (r.links[l] == kLinkEnd) return l + 1;
    return shown;
}

std::vector<int> levelTops(const TriggerRecord& r, int shown, int top, int buttonHeight) {
    std::vector<int> tops;
    for (int l = 0; l < shown; ++l) {
        tops.push_back(top);
        top += buttonHeight + (r.links[l] == kLinkContinuous ? 1 : 16);
    }
    return tops;
}

void beginPath2Edit(TriggerRecord& r) {
    std::memcpy(r.level(8), r.level(0), 4 * kTriggerLevelBytes);
    std::memcpy(r.level(0), r.level(4), 4 * kTriggerLevelBytes);
    for (int l = 0; l < 4; ++l) {
        r.links[8 + l] = r.links[l];
        r.links[l] = r.links[4 + l];
    }
}

void endPath2Edit(TriggerRecord& r) {
    std::memcpy(r.level(4), r.level(0), 4 * kTriggerLevelBytes);
    std::memcpy(r.level(0), r.level(8), 4 * kTriggerLevelBytes);
    for (int l = 0; l < 4; ++l) {
        r.links[4 + l] = r.links[l];
        r.links[l] = r.links[8 + l];
    }
}

}  // namespace kv

namespace kv {

int nanlynForcedMode(uint32_t features, uint64_t highestRate) {
    static const struct {
        uint32_t flag;
        int mode;
    } kForced[] = {{0x20000, kModeSerial}, {0x80000, kModeI2c}, {0x40000, kModeSpi}, {0x100000, kModeI2s}, {0x40, kModeGlitch}};
    for (const auto& f : kForced)
        if (features & f.flag) return f.mode;
    return highestRate >= 400000000u ? kModeSingle : -1;
}

std::vector<int> methodHelpStrings(int mode) {
    switch (mode) {
        case kModeSingle: return {kStrMethodHelpSingle};
        case kModeMulti: return {kStrMethodHelpMulti1, kStrMethodHelpMulti2, kStrMethodHelpMulti3};
        case kModeDual: return {kStrMethodHelpDual};
        case kModeWidth: return {kStrMethodHelpWidth};
        case kModeNoTrigger: return {kStrMethodHelpNoTrigger};
        case kModeSerial: return {kStrMethodHelpSerial};
        default: return {};
    }
}

}  // namespace kv
