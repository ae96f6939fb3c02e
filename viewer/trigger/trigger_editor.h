// The rules of the level trigger editors that need no window: channel captions and their codes,
// which popup a channel button offers, the spin bars' wrap rules, the validations of OK, the label
// mode's conversion of rows into captions, the time texts, and the Multi-Level Trigger layout.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/display/label_table.h"
#include "viewer/trigger/trigger_record.h"

namespace kv {

// String numbers of the editors.
enum : int {
    kStrDirectMode = 36,
    kStrLabelMode = 37,
    kStrMultiCondition = 118,
    kStrTooManyEdges = 218,
    kStrPassCountRange = 224,
    kStrMethodHelpNoTrigger = 256,
    kStrMethodHelpMulti1 = 257,
    kStrMethodHelpMulti2 = 258,
    kStrMethodHelpMulti3 = 259,
    kStrMethodHelpDual = 266,
    kStrMethodHelpSingle = 267,
    kStrMethodHelpWidth = 268,
    kStrMultiLevelTitle = 287,
    kStrDualTitle1 = 288,
    kStrDualTitle2 = 289,
    kStrMethodHelpSerial = 293,
    kStrMultiConditionTitle = 295,
    kStrWidthTooBig = 310,
    kStrDelayTooBig = 311,
};

// The caption of a channel button for a code ("0", "1", "X", "/", "\", "|"; unknown codes "X") and
// the code of a caption (anything else is "X").
char conditionCharacter(uint8_t code);
uint8_t conditionOfCharacter(char c);
bool isEdgeCharacter(char c);

// The popup of a channel button: all six items, the five without either-edge, or 0/1/X.
enum class ChannelMenu { Full, Edges, Levels };
ChannelMenu channelMenu(int editorMode, bool otherEdgeShown, const TriggerDevice& device);

// Spin bars: pass count wraps between 0 and the highest, width wraps in 0..1023 (Nanlyn boards
// clamp to 2..65535), delay wraps in 0..0x0FFFFFFF.
int32_t spinPassCount(int32_t value, int delta, int32_t highest);
int32_t spinWidth(int32_t value, int delta, bool nanlyn);
uint32_t spinDelay(uint32_t value, int delta);
// How a stored pass count is shown: a negative value (no trigger) as -1 - value.
int32_t shownPassCount(int32_t stored);

// What the editor's OK reads from its controls.
struct LevelEditorInput {
    char captions[kTriggerChannels];      // the channel buttons' captions
    bool enabled[kTriggerChannels];
    int64_t passCount = 0;
    int64_t width = 0;                    // the number, without direction
    bool longer = true;                   // ">" checked
    int64_t delay = 0;
    bool preTrigger = false;
};

// Validates OK and, when nothing is refused (0), writes the codes into `oneLevel` and the record
// words into `r`; otherwise returns the string to show (224, 218, 310, 311) and changes nothing.
// The width, delay and pre-trigger are taken only on method-choice boards other than 0x2064 and on
// Nanlyn boards.
int applyLevelEditor(const LevelEditorInput& in, int editorMode, const TriggerDevice& device, TriggerRecord& r,
                     uint8_t oneLevel[kTriggerChannels]);

// --- label mode ---------------------------------------------------------------------------------

// The labels a trigger can be entered for: every row of the table but oscilloscope and analog rows.
std::vector<LabelRow> triggerLabelRows(const LabelTable& table);
// The condition texts offered for a row: "0", "1" and, outside modes 1 and 2, "/", "\", "|" for a
// single channel; the five radixes "Hex", "Dec", "Oct", "Bin", "Asc" for a bus.
std::vector<std::string> labelConditions(const LabelTable& table, const LabelRow& row, int editorMode);
// The radix preselected for a bus from its display format.
std::string defaultRadix(int32_t format);
// Characters the value field accepts for a radix.
bool acceptsValueCharacter(const std::string& radix, char c);

struct LabelConditionRow {
    std::string label;
    std::string condition;
    std::string value;
};
bool isEdgeCondition(const std::string& condition);
// Adding a row: 218 when it holds an edge and another row does too, else 0.
int checkNewLabelRow(const std::vector<LabelConditionRow>& rows, const std::string& condition);
// Rebuilds the 64 captions from the rows, in list order, on an all-"X" start.
void captionsFromLabelRows(const LabelTable& table, const std::vector<LabelConditionRow>& rows,
                           char captions[kTriggerChannels]);

// --- times --------------------------------------------------------------------------------------

// The frequency the editors' times are measured in: the external clock when the clock selection's
// bit 0 is clear, half the sample frequency in memory-stack mode.
int64_t editorTimeBase(const TriggerRecord& r, uint64_t externalClockHz);
// "Width = 30 ns", "Delay Time = 10 ns".
std::string widthText(int64_t count, int64_t frequencyHz);
std::string delayText(int64_t count, int64_t frequencyHz);

// --- Multi-Level Trigger ------------------------------------------------------------------------

// The next code of a link button: continuous, discontinuous, end in turn; on 64-channel devices in
// mode 1 the link after level 8 only toggles between discontinuous and end.
uint32_t nextLinkCode(uint32_t code, int linkIndex, int mode, bool nanlyn);
// Levels shown (4 for the 64-channel dual paths, else 16) and enabled (up to the first end).
int shownLevels(int mode, bool nanlyn);
int enabledLevels(const TriggerRecord& r, int shown);
// Tops of the shown level buttons: continuous links keep levels 1 pixel apart, others 16.
std::vector<int> levelTops(const TriggerRecord& r, int shown, int top, int buttonHeight);

}  // namespace kv

namespace kv {

// Path 2 of the 64-channel dual condition is edited in levels 0-3: path 1 is parked in levels and
// links 8-11 meanwhile, and put back afterwards.
void beginPath2Edit(TriggerRecord& r);
void endPath2Edit(TriggerRecord& r);

}  // namespace kv

namespace kv {

// --- the mode choice ----------------------------------------------------------------------------

// The trigger mode a Nanlyn sample mode forces (its record's feature flags and highest rate): the
// protocol and glitch modes by their flags, single level from 400 MHz up, else -1 (ask the user).
int nanlynForcedMode(uint32_t features, uint64_t highestRate);
// Sample modes whose flags carry this remember the pattern mode chosen last ("iMxStdTrMode").
constexpr uint32_t kModeFeatureStandardTrigger = 0x100;
// The help text strings of a Trigger Method choice (empty for a choice without help).
std::vector<int> methodHelpStrings(int mode);

}  // namespace kv
