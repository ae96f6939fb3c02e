// Geometry of the main panel: where the toolbar buttons, the two lists, the busy icon, the
// waveform area and the bottom row go for a given panel size. The Win32 shell only moves controls.
#pragma once

#include <cstdint>
#include <vector>

namespace kv {

struct Rect {
    int left = 0, top = 0, right = 0, bottom = 0;
    int width() const { return right - left; }
    int height() const { return bottom - top; }
};

struct Placement {
    uint16_t id = 0;
    bool visible = false;
    Rect rect;
};

enum : int {
    kToolbarX = 6,
    kToolbarY = 4,
    kToolButtonSize = 36,
    kToolSeparator = 4,
    kToolbarReserve = 320,   // room kept right of the toolbar for the two lists
    kRateListWidth = 84,
    kClockListWidth = 142,
    kBusyIconSize = 40,
    kCursorButtonWidth = 13,
    kCursorButtonHeight = 15,
    kReadoutWidth = 100,
    kPickButtonWidth = 13,
    kPickButtonHeight = 14,
    kMeasureButtonWidth = 60,
    kBottomRowHeight = 30,
    kScrollBarSize = 16,
    kMinWindowWidth = 370,
};

struct PanelLayout {
    std::vector<Placement> toolbar;    // one per toolbar button, in toolbar order
    bool someButtonsHidden = false;
    Placement rateList, clockList, nanlynRate, nanlynClock, busyIcon;
    Rect waveArea;
    Placement cursorButtons[6];        // trigger, A-E
    Placement hScroll, vScroll, thumbTrack;
    Placement status, progress;
    Placement readouts[3];
    Placement pickButtons[6];          // 1025-1030: upper and lower button of each readout
    Placement measure;
};

// Lays out a panel of the given client size. Combo-box heights are the closed heights.
PanelLayout layoutPanel(int width, int height, int comboHeight);

// Smallest client height at which every row of the panel keeps its place.
int minimumPanelHeight(int comboHeight);

// WM_SIZING: keeps a dragged window rectangle at least minWidth x minHeight by moving the edge being
// dragged (the edge codes of WM_SIZING: 1 left ... 8 bottom-right).
void clampSizingRect(int edge, Rect& r, int minWidth, int minHeight);

}  // namespace kv
