#include "viewer/shell/panel_layout.h"

#include "viewer/shell/panel_commands.h"

namespace kv {
namespace {

Placement place(uint16_t id, int x, int y, int w, int h, bool visible = true) {
    Placement p;
    p.id = id;
    p.visible = visible;
    p.rect = Rect{x, y, x + w, y + h};
    return p;
}

}  // namespace

PanelLayout layoutPanel(int w, int h, int comboHeight) {
    PanelLayout L;

    // Toolbar: buttons from the left while the room (the width less what the lists need) lasts.
    int room = w - kToolbarReserve;
    int x = kToolbarX;
    bool full = false;
    for (int i = 0; i < kToolbarCount; ++i) {
        const ToolbarButton& b = kToolbar[i];
        const int need = (b.separatorBefore ? kToolSeparator : 0) + kToolButtonSize;
        if (!full && need <= room) {
            room -= need;
            if (b.separatorBefore) x += kToolSeparator;
            L.toolbar.push_back(place(b.id, x, kToolbarY, kToolButtonSize, kToolButtonSize));
            x += kToolButtonSize;
        } else {
            full = true;
            L.someButtonsHidden = true;
            L.toolbar.push_back(place(b.id, 0, kToolbarY, kToolButtonSize, kToolButtonSize, false));
        }
    }

    const int listY = kToolbarY + 8;
    L.rateList = place(kIdRateList, x + 4, listY, kRateListWidth, comboHeight);
    L.nanlynRate = place(kIdNanlynRate, x + 4, listY, kRateListWidth, comboHeight);
    L.clockList = place(kIdClockList, x + 92, listY, kClockListWidth, comboHeight);
    L.nanlynClock = place(kIdNanlynClock, x + 92, listY, kClockListWidth, comboHeight);
    L.busyIcon = place(kIdBusyIcon, w - 38, kToolbarY + 5, kBusyIconSize, kBusyIconSize);

    // Bottom row, then the cursor buttons and the scroll bar above it; the waveform area takes the rest.
    const int rowTop = h - kBottomRowHeight;
    const int textHeight = 20;
    const int textTop = rowTop + (kBottomRowHeight - textHeight) / 2;
    int readouts, statusWidth;
    if (w > 450) {
        readouts = 3;
        statusWidth = w - 428;
    } else if (w > 330) {
        readouts = 2;
        statusWidth = w - 308;
    } else {
        readouts = 1;
        statusWidth = w - 188;
    }
    if (statusWidth < 0) statusWidth = 0;
    L.status = place(kIdStatus, 2, textTop, statusWidth, textHeight);
    L.progress = place(kIdProgress, 2, textTop, statusWidth, textHeight, false);
    static const int offsets[3][3] = {{164, 0, 0}, {284, 164, 0}, {404, 284, 164}};
    for (int r = 0; r < 3; ++r) {
        const bool shown = r < readouts;
        const int rx = shown ? w - offsets[readouts - 1][r] : 0;
        L.readouts[r] = place(static_cast<uint16_t>(kIdReadout1 + r), rx, textTop, kReadoutWidth, textHeight, shown);
        const int bx = rx - kPickButtonWidth;
        L.pickButtons[2 * r] =
            place(static_cast<uint16_t>(1025 + 2 * r), bx, rowTop + 1, kPickButtonWidth, kPickButtonHeight, shown);
        L.pickButtons[2 * r + 1] = place(static_cast<uint16_t>(1026 + 2 * r), bx, rowTop + 1 + kPickButtonHeight,
                                         kPickButtonWidth, kPickButtonHeight, shown);
    }
    L.measure = place(kIdMeasure, w - 61, textTop, kMeasureButtonWidth, textHeight);

    const int toolbarBottom = kToolbarY + kToolButtonSize + 4;
    const int cursorTop = rowTop - kCursorButtonHeight - 1;
    static const uint16_t cursorIds[6] = {kIdCursorTrigger, kIdCursorA, kIdCursorB, kIdCursorC, kIdCursorD, kIdCursorE};
    for (int c = 0; c < 6; ++c)
        L.cursorButtons[c] = place(cursorIds[c], 2 + c * kCursorButtonWidth, cursorTop, kCursorButtonWidth,
                                   kCursorButtonHeight);
    const int scrollLeft = 2 + 6 * kCursorButtonWidth + 2;
    const int areaRight = w - 2 - kScrollBarSize;
    L.hScroll = place(kIdHScroll, scrollLeft, cursorTop, areaRight - scrollLeft > 0 ? areaRight - scrollLeft : 0,
                      kCursorButtonHeight);
    L.thumbTrack = place(kIdThumbTrack, areaRight + 1, cursorTop, kScrollBarSize, kCursorButtonHeight);
    L.waveArea = Rect{2, toolbarBottom, areaRight, cursorTop - 1};
    if (L.waveArea.bottom < L.waveArea.top) L.waveArea.bottom = L.waveArea.top;
    L.vScroll = place(kIdVScroll, areaRight, toolbarBottom, kScrollBarSize, L.waveArea.height());
    return L;
}

int minimumPanelHeight(int comboHeight) {
    (void)comboHeight;
    // Toolbar, at least two waveform rows of the default height, the cursor row and the bottom row.
    return kToolbarY + kToolButtonSize + 4 + 2 * 24 + kCursorButtonHeight + 1 + kBottomRowHeight;
}

void clampSizingRect(int edge, Rect& r, int minWidth, int minHeight) {
    const bool leftEdge = edge == 1 || edge == 4 || edge == 7;
    const bool topEdge = edge == 3 || edge == 4 || edge == 5;
    if (r.width() < minWidth) {
        if (leftEdge)
            r.left = r.right - minWidth;
        else
            r.right = r.left + minWidth;
    }
    if (r.height() < minHeight) {
        if (topEdge)
            r.top = r.bottom - minHeight;
        else
            r.bottom = r.top + minHeight;
    }
}

}  // namespace kv
