// The main panel's geometry (toolbar, lists, busy icon, waveform area, bottom row), the WM_SIZING
// clamp, and the panel's command tables: keyboard bindings on key release and tooltip strings.
#include "viewer/shell/panel_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <ostream>
#include <set>
#include <string>
#include <vector>

#include "viewer/shell/panel_commands.h"

namespace kv {
namespace {

constexpr int kComboHeight = 21;

struct ExpectedButton {
    uint16_t id;
    bool separatorBefore;
};

// Left to right, with the six groups the separators divide.
const ExpectedButton kExpectedToolbar[] = {
    {1008, false}, {1091, false}, {1005, false}, {1006, false},
    {1012, true},  {1015, false}, {1013, false},
    {1007, true},  {1014, false}, {1156, false}, {1016, false}, {1098, false}, {1093, false},
    {1155, true},  {1089, false}, {1090, false}, {1097, false}, {1159, false}, {1161, false},
    {1096, true},  {1084, false}, {1087, false},
    {1085, true},  {1086, false},
    {1092, true},
};
constexpr int kExpectedCount = sizeof kExpectedToolbar / sizeof kExpectedToolbar[0];

bool overlaps(const Rect& a, const Rect& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

int visibleButtons(const PanelLayout& L) {
    int n = 0;
    for (const Placement& p : L.toolbar) n += p.visible ? 1 : 0;
    return n;
}

// Right edge of the last visible toolbar button (the toolbar start when none is visible).
int toolbarEnd(const PanelLayout& L) {
    int x = kToolbarX;
    for (const Placement& p : L.toolbar)
        if (p.visible) x = p.rect.right;
    return x;
}

// ---------------------------------------------------------------------------------------------
// Toolbar

TEST(PanelLayoutToolbar, ButtonsAndSeparatorsInDocumentedOrder) {
    ASSERT_EQ(kToolbarCount, kExpectedCount);
    for (int i = 0; i < kExpectedCount; ++i) {
        EXPECT_EQ(kToolbar[i].id, kExpectedToolbar[i].id) << "position " << i;
        EXPECT_EQ(kToolbar[i].separatorBefore, kExpectedToolbar[i].separatorBefore) << "id " << kToolbar[i].id;
    }
    const PanelLayout L = layoutPanel(1400, 700, kComboHeight);
    ASSERT_EQ(static_cast<int>(L.toolbar.size()), kExpectedCount);
    for (int i = 0; i < kExpectedCount; ++i) EXPECT_EQ(L.toolbar[i].id, kExpectedToolbar[i].id);
}

TEST(PanelLayoutToolbar, WidePanelShowsEveryButtonWithSeparatorGaps) {
    const PanelLayout L = layoutPanel(1400, 700, kComboHeight);
    EXPECT_FALSE(L.someButtonsHidden);
    ASSERT_EQ(visibleButtons(L), kExpectedCount);
    const Rect& first = L.toolbar[0].rect;
    EXPECT_EQ(first.left, 6);
    EXPECT_EQ(first.top, 4);
    EXPECT_EQ(first.width(), 36);
    EXPECT_EQ(first.height(), 36);
    int x = 6;
    for (int i = 0; i < kExpectedCount; ++i) {
        if (kExpectedToolbar[i].separatorBefore) x += 4;
        const Rect& r = L.toolbar[i].rect;
        EXPECT_EQ(r.left, x) << "id " << L.toolbar[i].id;
        EXPECT_EQ(r.top, 4);
        EXPECT_EQ(r.width(), 36);
        EXPECT_EQ(r.height(), 36);
        x += 36;
    }
    // 25 buttons and 6 separators.
    EXPECT_EQ(toolbarEnd(L), 6 + 25 * 36 + 6 * 4);
}

TEST(PanelLayoutToolbar, ListsFollowTheLastPlacedButton) {
    const PanelLayout L = layoutPanel(1400, 700, kComboHeight);
    const int end = 930;
    ASSERT_EQ(toolbarEnd(L), end);
    EXPECT_EQ(L.rateList.id, 1043);
    EXPECT_EQ(L.rateList.rect.left, end + 4);
    EXPECT_EQ(L.rateList.rect.width(), 84);
    EXPECT_EQ(L.clockList.id, 1044);
    EXPECT_EQ(L.clockList.rect.left, end + 92);
    EXPECT_EQ(L.clockList.rect.width(), 142);
    for (const Placement* p : {&L.rateList, &L.clockList, &L.nanlynRate, &L.nanlynClock}) {
        EXPECT_EQ(p->rect.top, 12) << p->id;
        EXPECT_EQ(p->rect.height(), kComboHeight) << p->id;
    }
    // The Nanlyn stand-ins take exactly the places of the lists they replace.
    EXPECT_EQ(L.nanlynRate.id, 1045);
    EXPECT_EQ(L.nanlynClock.id, 1046);
    EXPECT_EQ(L.nanlynRate.rect.left, L.rateList.rect.left);
    EXPECT_EQ(L.nanlynRate.rect.width(), 84);
    EXPECT_EQ(L.nanlynClock.rect.left, L.clockList.rect.left);
    EXPECT_EQ(L.nanlynClock.rect.width(), 142);
    // The two lists sit side by side without touching the toolbar.
    EXPECT_LE(L.rateList.rect.right, L.clockList.rect.left);
    EXPECT_GE(L.rateList.rect.left, toolbarEnd(L));
}

TEST(PanelLayoutToolbar, NarrowPanelShowsOnlyTheButtonsThatFit) {
    // w = 640: room 320. Group 1: 4 x 36 = 144; group 2: 4 + 3 x 36 = 112 (256); then 1007 with its
    // separator: 40 (296); 1014 would need 36 more (332 > 320).
    const PanelLayout L = layoutPanel(640, 480, kComboHeight);
    EXPECT_TRUE(L.someButtonsHidden);
    ASSERT_EQ(static_cast<int>(L.toolbar.size()), kExpectedCount);
    for (int i = 0; i < kExpectedCount; ++i) EXPECT_EQ(L.toolbar[i].visible, i < 8) << "id " << L.toolbar[i].id;
    EXPECT_EQ(L.toolbar[7].id, 1007);
    EXPECT_EQ(L.toolbar[7].rect.left, 6 + 256 + 4);
    EXPECT_EQ(toolbarEnd(L), 6 + 296);
    EXPECT_EQ(L.rateList.rect.left, 302 + 4);
    EXPECT_EQ(L.clockList.rect.left, 302 + 92);
    // The clock list ends within the panel: the room kept for the lists is enough.
    EXPECT_LE(L.clockList.rect.right, 640);
}

TEST(PanelLayoutToolbar, RoomIsTheWidthLess320AndAnExactFitIsPlaced) {
    // All buttons need 924 pixels.
    const PanelLayout exact = layoutPanel(320 + 924, 600, kComboHeight);
    EXPECT_EQ(visibleButtons(exact), kExpectedCount);
    EXPECT_FALSE(exact.someButtonsHidden);

    const PanelLayout oneShort = layoutPanel(320 + 923, 600, kComboHeight);
    EXPECT_EQ(visibleButtons(oneShort), kExpectedCount - 1);
    EXPECT_FALSE(oneShort.toolbar.back().visible);
    EXPECT_TRUE(oneShort.someButtonsHidden);
    EXPECT_EQ(toolbarEnd(oneShort), 6 + 884);
    EXPECT_EQ(oneShort.rateList.rect.left, 6 + 884 + 4);

    // A button exactly filling the room without a separator: group 1 alone (144).
    EXPECT_EQ(visibleButtons(layoutPanel(320 + 144, 600, kComboHeight)), 4);
    EXPECT_EQ(visibleButtons(layoutPanel(320 + 143, 600, kComboHeight)), 3);
}

TEST(PanelLayoutToolbar, PlacingStopsAtTheFirstButtonThatDoesNotFit) {
    // Room 182: after group 1 (144) 38 remain; 1012 needs 40 with its separator and does not fit.
    // 1015 alone would need only 36, but placing has stopped and it stays hidden.
    const PanelLayout L = layoutPanel(320 + 182, 600, kComboHeight);
    EXPECT_EQ(visibleButtons(L), 4);
    for (int i = 4; i < kExpectedCount; ++i) EXPECT_FALSE(L.toolbar[i].visible) << "id " << L.toolbar[i].id;
    EXPECT_TRUE(L.someButtonsHidden);
    EXPECT_EQ(L.rateList.rect.left, 6 + 144 + 4);
}

TEST(PanelLayoutToolbar, PanelNarrowerThanTheReserveShowsNoButton) {
    for (int w : {320, 300, 100, 0}) {
        const PanelLayout L = layoutPanel(w, 400, kComboHeight);
        EXPECT_EQ(visibleButtons(L), 0) << "w " << w;
        EXPECT_TRUE(L.someButtonsHidden);
        EXPECT_EQ(L.rateList.rect.left, 6 + 4);
        EXPECT_EQ(L.clockList.rect.left, 6 + 92);
    }
}

TEST(PanelLayoutToolbar, VisibleCountGrowsWithWidthAndButtonsNeverOverlap) {
    int previous = 0;
    for (int w = 300; w <= 1300; ++w) {
        const PanelLayout L = layoutPanel(w, 500, kComboHeight);
        const int n = visibleButtons(L);
        EXPECT_GE(n, previous) << "w " << w;
        previous = n;
        // Visible buttons form a prefix, stay within the room and never overlap.
        for (int i = 0; i < kExpectedCount; ++i) {
            if (!L.toolbar[i].visible) continue;
            ASSERT_TRUE(i == 0 || L.toolbar[i - 1].visible) << "w " << w;
            EXPECT_LE(L.toolbar[i].rect.right, kToolbarX + (w - 320)) << "w " << w;
            if (i > 0) {
                EXPECT_LE(L.toolbar[i - 1].rect.right, L.toolbar[i].rect.left);
            }
        }
        EXPECT_EQ(L.someButtonsHidden, n < kExpectedCount) << "w " << w;
    }
    EXPECT_EQ(previous, kExpectedCount);
}

// ---------------------------------------------------------------------------------------------
// Busy icon, waveform area, cursor row

TEST(PanelLayoutArea, BusyIconAtTheRightOfTheToolbar) {
    for (int w : {330, 640, 1400}) {
        const PanelLayout L = layoutPanel(w, 500, kComboHeight);
        EXPECT_EQ(L.busyIcon.id, 1172);
        EXPECT_EQ(L.busyIcon.rect.left, w - 38) << "w " << w;
        EXPECT_EQ(L.busyIcon.rect.top, 9);
        EXPECT_EQ(L.busyIcon.rect.width(), 40);
        EXPECT_EQ(L.busyIcon.rect.height(), 40);
    }
}

// The top of the bottom row: the highest of its controls.
int bottomRowTop(const PanelLayout& L) {
    int top = L.status.rect.top;
    top = std::min(top, L.measure.rect.top);
    for (const Placement& p : L.readouts)
        if (p.visible) top = std::min(top, p.rect.top);
    for (const Placement& p : L.pickButtons)
        if (p.visible) top = std::min(top, p.rect.top);
    return top;
}

TEST(PanelLayoutArea, WaveformAreaBetweenToolbarAndCursorRow) {
    for (int h : {minimumPanelHeight(kComboHeight), 480, 1000}) {
        for (int w : {330, 800, 1400}) {
            const PanelLayout L = layoutPanel(w, h, kComboHeight);
            const Rect& a = L.waveArea;
            SCOPED_TRACE(testing::Message() << "w " << w << " h " << h);
            EXPECT_GE(a.top, 4 + 36);
            EXPECT_GT(a.height(), 0);
            EXPECT_GT(a.width(), 0);
            EXPECT_GE(a.left, 0);
            EXPECT_LE(a.right, w);
            for (const Placement& b : L.toolbar)
                if (b.visible) {
                    EXPECT_FALSE(overlaps(a, b.rect)) << b.id;
                }
            EXPECT_FALSE(overlaps(a, L.rateList.rect));
            EXPECT_FALSE(overlaps(a, L.clockList.rect));
            for (const Placement& c : L.cursorButtons) EXPECT_LE(a.bottom, c.rect.top) << c.id;
            EXPECT_LE(a.bottom, bottomRowTop(L));
            EXPECT_FALSE(overlaps(a, L.status.rect));
            EXPECT_FALSE(overlaps(a, L.measure.rect));
            for (const Placement& p : L.readouts)
                if (p.visible) {
                    EXPECT_FALSE(overlaps(a, p.rect)) << p.id;
                }
            for (const Placement& p : L.pickButtons)
                if (p.visible) {
                    EXPECT_FALSE(overlaps(a, p.rect)) << p.id;
                }
            // The waveform area's own scroll bars stay beside and below it, not on it.
            EXPECT_FALSE(overlaps(a, L.vScroll.rect));
            EXPECT_FALSE(overlaps(a, L.hScroll.rect));
        }
    }
}

TEST(PanelLayoutArea, CursorButtonsSideBySideBelowTheAreaAtItsLeftEdge) {
    const PanelLayout L = layoutPanel(800, 600, kComboHeight);
    const uint16_t ids[6] = {1022, 1023, 1024, 1031, 1032, 1033};
    for (int c = 0; c < 6; ++c) {
        const Rect& r = L.cursorButtons[c].rect;
        EXPECT_EQ(L.cursorButtons[c].id, ids[c]);
        EXPECT_TRUE(L.cursorButtons[c].visible);
        EXPECT_EQ(r.width(), 13);
        EXPECT_EQ(r.height(), 15);
        EXPECT_EQ(r.top, L.cursorButtons[0].rect.top);
        if (c > 0) {
            EXPECT_EQ(r.left, L.cursorButtons[c - 1].rect.right);
        }
        // Between the waveform area and the bottom row.
        EXPECT_GE(r.top, L.waveArea.bottom);
        EXPECT_LE(r.bottom, bottomRowTop(L));
    }
    EXPECT_EQ(L.cursorButtons[0].rect.left, L.waveArea.left);
}

TEST(PanelLayoutArea, TallerPanelGivesAllExtraHeightToTheWaveformArea) {
    const PanelLayout a = layoutPanel(800, 500, kComboHeight);
    const PanelLayout b = layoutPanel(800, 650, kComboHeight);
    EXPECT_EQ(b.waveArea.top, a.waveArea.top);
    EXPECT_EQ(b.waveArea.height() - a.waveArea.height(), 150);
    EXPECT_EQ(b.status.rect.top - a.status.rect.top, 150);
    EXPECT_EQ(b.cursorButtons[0].rect.top - a.cursorButtons[0].rect.top, 150);
    EXPECT_EQ(b.rateList.rect.top, a.rateList.rect.top);
}

TEST(PanelLayoutArea, MinimumHeightKeepsEveryRowApart) {
    const int h = minimumPanelHeight(kComboHeight);
    const PanelLayout L = layoutPanel(800, h, kComboHeight);
    EXPECT_GT(L.waveArea.height(), 0);
    EXPECT_GE(L.cursorButtons[0].rect.top, 4 + 36);
    EXPECT_LE(L.measure.rect.bottom, h);
    EXPECT_LE(L.status.rect.bottom, h);
    EXPECT_GT(L.rateList.rect.bottom, 0);
    EXPECT_LT(L.rateList.rect.bottom, L.cursorButtons[0].rect.top);
}

// ---------------------------------------------------------------------------------------------
// Bottom row

struct BottomRowCase {
    int width;
    int readouts;
    std::vector<int> offsets;  // readout x = w - offset
    int statusLess;            // status width = w - statusLess
};

void PrintTo(const BottomRowCase& c, std::ostream* os) { *os << "width " << c.width; }

class PanelLayoutBottomRow : public testing::TestWithParam<BottomRowCase> {};

TEST_P(PanelLayoutBottomRow, ReadoutsStatusPickButtonsAndMeasure) {
    const BottomRowCase c = GetParam();
    const int w = c.width, h = 500;
    const PanelLayout L = layoutPanel(w, h, kComboHeight);

    EXPECT_EQ(L.status.id, 1003);
    EXPECT_TRUE(L.status.visible);
    EXPECT_EQ(L.status.rect.left, 2);
    EXPECT_EQ(L.status.rect.width(), w - c.statusLess);
    EXPECT_EQ(L.progress.id, 1099);
    EXPECT_EQ(L.progress.rect.left, L.status.rect.left);
    EXPECT_EQ(L.progress.rect.width(), L.status.rect.width());
    EXPECT_EQ(L.progress.rect.top, L.status.rect.top);

    EXPECT_EQ(L.measure.id, 1083);
    EXPECT_TRUE(L.measure.visible);
    EXPECT_EQ(L.measure.rect.left, w - 61);
    EXPECT_EQ(L.measure.rect.width(), 60);
    EXPECT_LE(L.measure.rect.right, w);

    for (int r = 0; r < 3; ++r) {
        const Placement& ro = L.readouts[r];
        const Placement& up = L.pickButtons[2 * r];
        const Placement& down = L.pickButtons[2 * r + 1];
        SCOPED_TRACE(testing::Message() << "w " << w << " readout " << r);
        EXPECT_EQ(ro.id, 1009 + r);
        EXPECT_EQ(up.id, 1025 + 2 * r);
        EXPECT_EQ(down.id, 1026 + 2 * r);
        const bool shown = r < c.readouts;
        EXPECT_EQ(ro.visible, shown);
        EXPECT_EQ(up.visible, shown);
        EXPECT_EQ(down.visible, shown);
        if (!shown) continue;
        EXPECT_EQ(ro.rect.left, w - c.offsets[r]);
        EXPECT_EQ(ro.rect.width(), 100);
        // Pick buttons: 13 x 14, one above the other, immediately left of their readout.
        EXPECT_EQ(up.rect.width(), 13);
        EXPECT_EQ(up.rect.height(), 14);
        EXPECT_EQ(down.rect.width(), 13);
        EXPECT_EQ(down.rect.height(), 14);
        EXPECT_EQ(up.rect.left, ro.rect.left - 13);
        EXPECT_EQ(up.rect.right, ro.rect.left);
        EXPECT_EQ(down.rect.left, up.rect.left);
        EXPECT_EQ(down.rect.top, up.rect.bottom);
        // Within the bottom row, at the bottom of the panel.
        EXPECT_GE(up.rect.top, h - kBottomRowHeight);
        EXPECT_LE(down.rect.bottom, h);
        EXPECT_GE(ro.rect.top, h - kBottomRowHeight);
        EXPECT_LE(ro.rect.bottom, h);
        // Nothing of the row overlaps anything else of it.
        EXPECT_FALSE(overlaps(ro.rect, L.status.rect));
        EXPECT_FALSE(overlaps(up.rect, L.status.rect));
        EXPECT_FALSE(overlaps(down.rect, L.status.rect));
        EXPECT_FALSE(overlaps(ro.rect, L.measure.rect));
        for (int o = 0; o < r; ++o) {
            EXPECT_FALSE(overlaps(ro.rect, L.readouts[o].rect));
            EXPECT_FALSE(overlaps(up.rect, L.readouts[o].rect));
            EXPECT_FALSE(overlaps(down.rect, L.readouts[o].rect));
        }
    }
    EXPECT_GE(L.status.rect.top, h - kBottomRowHeight);
    EXPECT_LE(L.status.rect.bottom, h);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, PanelLayoutBottomRow,
    testing::Values(BottomRowCase{800, 3, {404, 284, 164}, 428}, BottomRowCase{451, 3, {404, 284, 164}, 428},
                    BottomRowCase{450, 2, {284, 164}, 308}, BottomRowCase{400, 2, {284, 164}, 308},
                    BottomRowCase{331, 2, {284, 164}, 308}, BottomRowCase{330, 1, {164}, 188},
                    BottomRowCase{300, 1, {164}, 188}),
    [](const testing::TestParamInfo<BottomRowCase>& info) { return "w" + std::to_string(info.param.width); });

// ---------------------------------------------------------------------------------------------
// WM_SIZING clamp

enum : int { kLeft = 1, kRight = 2, kTop = 3, kTopLeft = 4, kTopRight = 5, kBottom = 6, kBottomLeft = 7, kBottomRight = 8 };
constexpr int kMinHeight = 200;

TEST(PanelLayoutSizing, NarrowRectGrowsAtTheDraggedSide) {
    for (int edge : {kRight, kTopRight, kBottomRight, kTop, kBottom}) {
        Rect r{100, 50, 400, 650};
        clampSizingRect(edge, r, kMinWindowWidth, kMinHeight);
        EXPECT_EQ(r.left, 100) << "edge " << edge;
        EXPECT_EQ(r.right, 470) << "edge " << edge;
        EXPECT_EQ(r.top, 50);
        EXPECT_EQ(r.bottom, 650);
    }
    for (int edge : {kLeft, kTopLeft, kBottomLeft}) {
        Rect r{100, 50, 400, 650};
        clampSizingRect(edge, r, kMinWindowWidth, kMinHeight);
        EXPECT_EQ(r.right, 400) << "edge " << edge;
        EXPECT_EQ(r.left, 30) << "edge " << edge;
        EXPECT_EQ(r.top, 50);
        EXPECT_EQ(r.bottom, 650);
    }
}

TEST(PanelLayoutSizing, ShortRectGrowsAtTheDraggedSide) {
    for (int edge : {kTop, kTopLeft, kTopRight}) {
        Rect r{100, 500, 900, 600};
        clampSizingRect(edge, r, kMinWindowWidth, kMinHeight);
        EXPECT_EQ(r.bottom, 600) << "edge " << edge;
        EXPECT_EQ(r.top, 400) << "edge " << edge;
        EXPECT_EQ(r.left, 100);
        EXPECT_EQ(r.right, 900);
    }
    for (int edge : {kBottom, kBottomLeft, kBottomRight, kLeft, kRight}) {
        Rect r{100, 500, 900, 600};
        clampSizingRect(edge, r, kMinWindowWidth, kMinHeight);
        EXPECT_EQ(r.top, 500) << "edge " << edge;
        EXPECT_EQ(r.bottom, 700) << "edge " << edge;
    }
}

TEST(PanelLayoutSizing, CornerDragClampsBothDirections) {
    Rect r{300, 300, 400, 350};
    clampSizingRect(kTopLeft, r, kMinWindowWidth, kMinHeight);
    EXPECT_EQ(r.right, 400);
    EXPECT_EQ(r.bottom, 350);
    EXPECT_EQ(r.width(), 370);
    EXPECT_EQ(r.height(), 200);

    Rect s{300, 300, 400, 350};
    clampSizingRect(kBottomRight, s, kMinWindowWidth, kMinHeight);
    EXPECT_EQ(s.left, 300);
    EXPECT_EQ(s.top, 300);
    EXPECT_EQ(s.width(), 370);
    EXPECT_EQ(s.height(), 200);
}

TEST(PanelLayoutSizing, LargeEnoughRectIsLeftAlone) {
    for (int edge = kLeft; edge <= kBottomRight; ++edge) {
        for (const Rect& before : {Rect{0, 0, 370, 200}, Rect{-50, 10, 1000, 900}}) {
            Rect r = before;
            clampSizingRect(edge, r, kMinWindowWidth, kMinHeight);
            EXPECT_EQ(r.left, before.left) << "edge " << edge;
            EXPECT_EQ(r.top, before.top);
            EXPECT_EQ(r.right, before.right);
            EXPECT_EQ(r.bottom, before.bottom);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Key release bindings

enum : unsigned { kVkReturn = 0x0D, kVkShift = 0x10, kVkControl = 0x11, kVkEscape = 0x1B, kVkSpace = 0x20,
                  kVkInsert = 0x2D, kVkApps = 0x5D, kVkAdd = 0x6B, kVkSubtract = 0x6D, kVkF8 = 0x77,
                  kVkF9 = 0x78, kVkF10 = 0x79 };

struct Mods {
    bool ctrl, shift;
};
const Mods kPlain{false, false}, kCtrl{true, false}, kShift{false, true}, kCtrlShift{true, true};

void expectCommand(unsigned vk, Mods m, uint16_t command, bool onlyWhenEnabled = false) {
    const KeyBinding b = keyUpBinding(vk, m.ctrl, m.shift);
    EXPECT_EQ(b.action, KeyAction::Command) << "vk " << vk << " ctrl " << m.ctrl << " shift " << m.shift;
    EXPECT_EQ(b.command, command) << "vk " << vk;
    EXPECT_EQ(b.onlyWhenEnabled, onlyWhenEnabled) << "vk " << vk;
}

void expectAction(unsigned vk, Mods m, KeyAction a) {
    EXPECT_EQ(keyUpBinding(vk, m.ctrl, m.shift).action, a)
        << "vk " << vk << " ctrl " << m.ctrl << " shift " << m.shift;
}

TEST(KeyUpBinding, CtrlOneTogglesAutoSave) {
    expectAction('1', kCtrl, KeyAction::ToggleAutoSave);
    expectAction('1', kPlain, KeyAction::None);
    expectAction('1', kShift, KeyAction::None);
    expectAction('2', kCtrl, KeyAction::None);
    expectAction(0x61, kCtrl, KeyAction::None);  // numpad 1 is another key
}

TEST(KeyUpBinding, PlainLettersSearchCursors) {
    const uint16_t cursors[] = {1023, 1024, 1031, 1032, 1033};
    for (unsigned i = 0; i < 5; ++i) {
        expectCommand('A' + i, kPlain, cursors[i]);
        expectAction('A' + i, kShift, KeyAction::None);
        expectAction('A' + i, kCtrlShift, KeyAction::None);
    }
    expectAction('A', kCtrl, KeyAction::None);
    expectAction('B', kCtrl, KeyAction::None);
    expectAction('E', kCtrl, KeyAction::None);
    expectAction('G', kPlain, KeyAction::None);
    expectAction('@', kPlain, KeyAction::None);
}

TEST(KeyUpBinding, TriggerCursorAndTriggerDialog) {
    expectCommand('T', kPlain, 1022);
    expectCommand('T', kCtrl, 1007);
    expectAction('T', kShift, KeyAction::None);
}

TEST(KeyUpBinding, CtrlLetters) {
    expectAction('F', kCtrl, KeyAction::FocusRateList);
    expectCommand('H', kCtrl, 1089);
    expectCommand('N', kCtrl, 1016);
    expectCommand('P', kCtrl, 1155);
    expectCommand('U', kCtrl, 1008);
    expectCommand('V', kCtrl, 1014);
    expectCommand('Z', kCtrl, 114);
    // Without Ctrl these letters do nothing.
    for (unsigned vk : {'F', 'H', 'N', 'P', 'U', 'V', 'Z'}) {
        expectAction(vk, kPlain, KeyAction::None);
        expectAction(vk, kShift, KeyAction::None);
    }
    // Other Ctrl letters are unbound.
    for (unsigned vk : {'G', 'I', 'Q', 'S', 'W', 'X', 'Y'}) expectAction(vk, kCtrl, KeyAction::None);
}

TEST(KeyUpBinding, InsertSpaceAndNumpadZoom) {
    expectCommand(kVkInsert, kPlain, 102);
    expectAction(kVkInsert, kCtrl, KeyAction::None);
    expectAction(kVkInsert, kShift, KeyAction::None);
    expectCommand(kVkSpace, kPlain, 1083);
    expectCommand(kVkAdd, kPlain, 1005, true);
    expectCommand(kVkSubtract, kPlain, 1006, true);
    expectAction(kVkAdd, kCtrl, KeyAction::None);
    expectAction(kVkSubtract, kShift, KeyAction::None);
    // Main-keyboard plus and minus (VK_OEM_PLUS / VK_OEM_MINUS) are not zoom keys.
    expectAction(0xBB, kPlain, KeyAction::None);
    expectAction(0xBD, kPlain, KeyAction::None);
}

TEST(KeyUpBinding, EnterDistinguishesPlainAndCtrl) {
    expectAction(kVkReturn, kPlain, KeyAction::AcquireEnter);
    expectAction(kVkReturn, kCtrl, KeyAction::AcquireCtrlEnter);
    expectAction(kVkReturn, kShift, KeyAction::None);
}

TEST(KeyUpBinding, EscapeWhateverTheModifiers) {
    // Esc always cancels context help or releases Stop; only the stop request depends on "plain",
    // which the caller decides.
    for (Mods m : {kPlain, kCtrl, kShift, kCtrlShift}) expectAction(kVkEscape, m, KeyAction::Escape);
}

TEST(KeyUpBinding, FunctionAndSpecialKeys) {
    expectAction(kVkF8, kPlain, KeyAction::TempStorage);
    expectAction(kVkF9, kPlain, KeyAction::ToggleCompare);
    expectAction(kVkF9, kShift, KeyAction::ToggleSplit);
    expectAction(kVkApps, kPlain, KeyAction::ContextMenu);
    // Ctrl's own release: the Ctrl state may already read as released.
    expectAction(kVkControl, kPlain, KeyAction::CtrlReleased);
    expectAction(kVkControl, kCtrl, KeyAction::CtrlReleased);
    expectAction(kVkShift, kPlain, KeyAction::None);
}

TEST(KeyUpBinding, CodesOutside13To120AreIgnored) {
    for (Mods m : {kPlain, kCtrl, kShift, kCtrlShift}) {
        expectAction(12, m, KeyAction::None);
        expectAction(kVkF10, m, KeyAction::None);
        expectAction(0, m, KeyAction::None);
        expectAction(255, m, KeyAction::None);
        expectAction(0x10000 + 'A', m, KeyAction::None);
    }
}

TEST(KeyUpBinding, EveryCommandKeyTargetsAKnownControl) {
    // A key that delivers a command must name a control that answers it: a toolbar button, a cursor
    // button, the measure button or a label-menu command.
    std::set<uint16_t> known = {1022, 1023, 1024, 1031, 1032, 1033, 1083, 102, 114};
    for (int i = 0; i < kToolbarCount; ++i) known.insert(kToolbar[i].id);
    for (unsigned vk = 0; vk < 256; ++vk) {
        for (Mods m : {kPlain, kCtrl, kShift, kCtrlShift}) {
            const KeyBinding b = keyUpBinding(vk, m.ctrl, m.shift);
            if (vk < 13 || vk > 120) {
                EXPECT_EQ(b.action, KeyAction::None) << "vk " << vk;
            }
            if (b.action == KeyAction::Command)
                EXPECT_TRUE(known.count(b.command)) << "vk " << vk << " -> " << b.command;
            else
                EXPECT_EQ(b.command, 0) << "vk " << vk;
            if (b.onlyWhenEnabled) {
                EXPECT_TRUE(b.command == 1005 || b.command == 1006) << "vk " << vk;
            }
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Tooltips

// Tooltip texts of the panel's controls.
const std::map<uint16_t, std::string> kTooltipTexts = {
    {1005, "Zoom In"},
    {1006, "Zoom Out"},
    {1007, "Configure Trigger"},
    {1008, "Toolbox"},
    {1012, "Acquire Data"},
    {1013, "Stop Acquisition"},
    {1014, "Configure Threshold"},
    {1015, "Repetitive Acquisition"},
    {1016, "Search Next"},
    {1022, "Search Trigger Cursor"},
    {1023, "Search Cursor A"},
    {1024, "Search Cursor B"},
    {1031, "Search Cursor C"},
    {1032, "Search Cursor D"},
    {1033, "Search Cursor E"},
    {1025, "Select Measuring Cursor"},
    {1026, "Select Measuring Cursor"},
    {1027, "Select Measuring Cursor"},
    {1028, "Select Measuring Cursor"},
    {1029, "Select Measuring Cursor"},
    {1030, "Select Measuring Cursor"},
    {1034, "Waveform File and Project Menu"},
    {1043, "Sample Rate Setting"},
    {1044, "Sample Rate Setting"},
    {1046, "Sample Rate Setting"},
    {1083, "Measure Frequency, Timing or Sample Clocks"},
    {1084, "Save Project"},
    {1096, "Load Project"},
    {1087, "Delete Project"},
    {1085, "Load Waveform"},
    {1086, "Save Waveform"},
    {1089, "Configure Interface Card"},
    {1090, "Configure Environment"},
    {1091, "Information"},
    {1092, "Virtual Target System"},
    {1093, "Timing & State Analysis Switch"},
    {1097, "Select Command Set"},
    {1098, "Waveform Invert"},
    {1155, "Print"},
    {1156, "Search Specified Pattern or State"},
    {1159, "Help"},
    {1161, "About KV Viewer..."},
};

TEST(TooltipString, LoadWaveformIsStringSix) { EXPECT_EQ(tooltipString(1085), 6); }

TEST(TooltipString, EveryToolbarButtonHasOneInRange) {
    for (int i = 0; i < kToolbarCount; ++i) {
        const int s = tooltipString(kToolbar[i].id);
        EXPECT_GE(s, 0) << "id " << kToolbar[i].id;
        EXPECT_LE(s, 64) << "id " << kToolbar[i].id;
    }
}

TEST(TooltipString, SameStringExactlyWhenSameText) {
    // Controls with the same text share a string (the six measuring-cursor buttons, the rate lists);
    // every other control has its own.
    for (const auto& a : kTooltipTexts) {
        const int sa = tooltipString(a.first);
        ASSERT_GE(sa, 0) << "id " << a.first;
        EXPECT_LE(sa, 64) << "id " << a.first;
        for (const auto& b : kTooltipTexts) {
            if (a.first >= b.first) continue;
            const int sb = tooltipString(b.first);
            if (a.second == b.second)
                EXPECT_EQ(sa, sb) << a.first << " and " << b.first;
            else
                EXPECT_NE(sa, sb) << a.first << " and " << b.first;
        }
    }
    const int measuring = tooltipString(1025);
    for (uint16_t id = 1026; id <= 1030; ++id) EXPECT_EQ(tooltipString(id), measuring);
}

TEST(TooltipString, ControlsWithoutTooltipGiveMinusOne) {
    for (uint16_t id : {0, 1, 102, 1002, 1003, 1009, 1020, 1095, 1099, 1172, 9999, 0xFFFF})
        EXPECT_EQ(tooltipString(id), -1) << "id " << id;
}

// The English string table, read from the source tree next to this file; null when not reachable
// (the Windows build may run where the source path does not resolve).
std::map<int, std::string> readEnglishStrings() {
    std::string here = __FILE__;
    for (char& c : here)
        if (c == '\\') c = '/';
    const size_t cut = here.rfind("/tests/shell/");
    std::map<int, std::string> strings;
    if (cut == std::string::npos) return strings;
    std::ifstream in(here.substr(0, cut) + "/viewer/res/strings_en.rc");
    std::string line;
    while (std::getline(in, line)) {
        int number = 0, used = 0;
        if (std::sscanf(line.c_str(), " %d \"%n", &number, &used) < 1 || used == 0) continue;
        const size_t end = line.rfind('"');
        if (end == std::string::npos || end < static_cast<size_t>(used)) continue;
        strings[number] = line.substr(used, end - used);
    }
    return strings;
}

TEST(TooltipString, StringNumbersNameTheDocumentedTexts) {
    const std::map<int, std::string> strings = readEnglishStrings();
    if (strings.empty()) GTEST_SKIP() << "English string table not reachable from here";
    for (const auto& t : kTooltipTexts) {
        const auto it = strings.find(tooltipString(t.first));
        ASSERT_NE(it, strings.end()) << "id " << t.first;
        EXPECT_EQ(it->second, t.second) << "id " << t.first;
    }
}

}  // namespace
}  // namespace kv
