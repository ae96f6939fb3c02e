// Sample mode and rate selection with a board: the main window's rate, clock, fixed-rate and
// qualifier lists, applying the sample mode, and Configure Environment (template 135).
#pragma once

#include <windows.h>

#include "viewer/shell/message_table.h"

namespace kv {

// Fills the rate and clock lists from the runtime and applies the sample mode in force.
void setUpSampleLists(HWND panel);
// Pushes the sample mode in force into the trigger set-up and the main window's lists.
void applySampleMode();

// Which of the main window's rate controls stand in the rate list's place.
struct RateControlsShown {
    bool rateList = true;
    bool fixedRate = false;     // 1045: a Nanlyn rate the mode fixes
    bool qualifier = false;     // 1046: the Nanlyn external-clock qualifier
};
RateControlsShown rateControlsShown();

// While one lives, rate changes are the viewer's own (a loaded file selecting its rate): the
// warning that the waveform shown will be cleared is not asked, since the file is what is shown.
class QuietRateChange {
public:
    QuietRateChange();
    ~QuietRateChange();
    QuietRateChange(const QuietRateChange&) = delete;
    QuietRateChange& operator=(const QuietRateChange&) = delete;
};

// Commands: 1043, 1044 and 1046 (list changes), 1090 (Configure Environment).
int32_t rateListCommand(WinHandle panel, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
int32_t clockListCommand(WinHandle panel, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
int32_t qualifierListCommand(WinHandle panel, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
int32_t environmentCommand(WinHandle panel, uint32_t id, uint32_t notifyCode, MsgLParam lParam);

}  // namespace kv
