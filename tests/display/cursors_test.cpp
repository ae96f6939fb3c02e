// The six cursors: lines and markers, bringing a cursor into view, keyboard moves, dragging with
// edge scrolling, snapping and cursor E following, the readouts and their captions and texts.
#include "viewer/display/cursors.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "viewer/display/formatting.h"

namespace kv {
namespace {

WaveView viewAt(int32_t first, int32_t zoomIn, int32_t zoomOut) {
    WaveView v;
    v.firstSample = first;
    v.zoomIn = zoomIn;
    v.zoomOut = zoomOut;
    return v;
}

CursorSet cursorsAt(std::initializer_list<int32_t> positions) {
    CursorSet set;
    int32_t i = 0;
    for (int32_t p : positions) set.cursors[i++].position = p;
    return set;
}

// A capture held as plain sample words; reading outside it fails the test.
struct Capture {
    std::vector<uint64_t> samples;
    SampleReader reader() const {
        return [this](int32_t i) -> uint64_t {
            EXPECT_GE(i, 0);
            EXPECT_LT(i, static_cast<int32_t>(samples.size()));
            if (i < 0 || i >= static_cast<int32_t>(samples.size())) return 0;
            return samples[static_cast<size_t>(i)];
        };
    }
    int32_t count() const { return static_cast<int32_t>(samples.size()); }
};

// Channel `bit` is high from each listed sample to the next listed one (toggles there).
Capture toggling(int32_t count, int bit, std::initializer_list<int32_t> toggles) {
    Capture c;
    c.samples.assign(static_cast<size_t>(count), 0);
    uint64_t level = 0;
    auto next = toggles.begin();
    for (int32_t i = 0; i < count; ++i) {
        if (next != toggles.end() && *next == i) {
            level ^= uint64_t{1} << bit;
            ++next;
        }
        c.samples[static_cast<size_t>(i)] = level;
    }
    return c;
}

// ---------------------------------------------------------------------------------------------
// Positions

TEST(CursorPosition, KeptInsideTheCaptureAndTriggerNotBefore16) {
    EXPECT_EQ(clampCursorPosition(kCursorA, -5, 1000), 0);
    EXPECT_EQ(clampCursorPosition(kCursorA, 5000, 1000), 999);
    EXPECT_EQ(clampCursorPosition(kCursorTrigger, 3, 1000), 16);
    EXPECT_EQ(clampCursorPosition(kCursorTrigger, 5000, 1000), 999);
    EXPECT_EQ(clampCursorPosition(kCursorTrigger, 0, 10), 16);
    EXPECT_EQ(clampCursorPosition(kCursorB, 7, 0), 0);
    CursorSet set;
    setCursorPosition(set, kCursorTrigger, 0, 1000);
    EXPECT_EQ(set.cursors[kCursorTrigger].position, 16);
    setCursorPosition(set, 6, 10, 1000);    // no such cursor: ignored
    setCursorPosition(set, -1, 10, 1000);
}

// Mode "Channel Value": a focused cursor at or past the last sample goes to sample 100 first.
TEST(CursorPosition, FocusedCursorAtTheLastSampleIsParkedAtOneHundred) {
    CursorSet set;
    set.focus = kCursorB;
    set.cursors[kCursorB].position = 999;
    EXPECT_TRUE(parkFocusedCursor(set, 1000));
    EXPECT_EQ(set.cursors[kCursorB].position, 100);
    EXPECT_FALSE(parkFocusedCursor(set, 1000));  // before the last sample: stays
    set.cursors[kCursorB].position = 998;
    EXPECT_FALSE(parkFocusedCursor(set, 1000));
    EXPECT_EQ(set.cursors[kCursorB].position, 998);
    set.cursors[kCursorB].position = 5000;  // a shorter capture came in
    EXPECT_TRUE(parkFocusedCursor(set, 1000));
    EXPECT_EQ(set.cursors[kCursorB].position, 100);
    EXPECT_EQ(set.cursors[kCursorA].position, 100);  // only the focused one moves
    set.focus = kCursorTrigger;
    set.cursors[kCursorTrigger].position = 60;  // a capture of 50 samples: kept at its last
    EXPECT_TRUE(parkFocusedCursor(set, 50));
    EXPECT_EQ(set.cursors[kCursorTrigger].position, 49);
    EXPECT_FALSE(parkFocusedCursor(set, 50));
    EXPECT_FALSE(parkFocusedCursor(set, 0));  // no capture
}

TEST(CursorPosition, DefaultsGiveEachCursorItsPen) {
    const CursorSet set;
    EXPECT_EQ(set.cursors[kCursorTrigger].position, kMinTriggerPosition);
    std::set<int32_t> pens;
    for (const Cursor& c : set.cursors) {
        pens.insert(c.penIndex);
        EXPECT_EQ(c.drawnX, -1);
        EXPECT_EQ(c.flags, 0u);
    }
    EXPECT_EQ(pens.size(), 6u);
    EXPECT_EQ(set.focus, kCursorTrigger);
    EXPECT_EQ(set.measureMode, kMeasureTime);
}

// ---------------------------------------------------------------------------------------------
// Lines

// What an XOR-drawn set of vertical lines leaves visible.
std::set<int32_t> visibleColumns(const std::vector<CursorLine>& lines) {
    std::map<int32_t, int> strokes;
    for (const CursorLine& l : lines) ++strokes[l.x];
    std::set<int32_t> shown;
    for (const auto& s : strokes)
        if (s.second % 2 == 1) shown.insert(s.first);
    return shown;
}

TEST(CursorLines, CursorsOnOnePixelShowOneLineNotNone) {
    CursorSet set = cursorsAt({16, 803, 800, 801, 2000, 3000});
    const WaveView v = viewAt(0, 0, 3);   // 800..807 share column 100
    const std::vector<CursorLine> lines = layoutCursorLines(set, v, 1000);
    const std::set<int32_t> shown = visibleColumns(lines);
    EXPECT_EQ(shown, (std::set<int32_t>{2, 100, 250, 375}));
    for (const CursorLine& l : lines) {
        if (l.x == 100) {
            EXPECT_EQ(l.index, kCursorA);   // the lowest index draws
        }
    }
    EXPECT_EQ(set.cursors[kCursorB].drawnX, 100);
    EXPECT_EQ(set.cursors[kCursorC].drawnX, 100);
}

TEST(CursorLines, PairsOfCursorsOnOneLineStayVisible) {
    // Two on one pixel drawn twice would cancel: the list never repeats an x.
    CursorSet set = cursorsAt({16, 500, 500, 900, 900, 900});
    const std::vector<CursorLine> lines = layoutCursorLines(set, viewAt(0, 0, 0), 1000);
    EXPECT_EQ(visibleColumns(lines), (std::set<int32_t>{16, 500, 900}));
    EXPECT_EQ(lines.size(), 3u);
}

TEST(CursorLines, ARepaintLeavesNothingDrawn) {
    CursorSet set = cursorsAt({16, 100, 200});
    layoutCursorLines(set, viewAt(0, 0, 0), 1000);
    EXPECT_EQ(set.cursors[kCursorA].drawnX, 100);
    markCursorsNotDrawn(set);
    for (const Cursor& c : set.cursors) EXPECT_EQ(c.drawnX, -1);
    EXPECT_EQ(cursorAtLine(set, 100), -1);
}

TEST(CursorLines, OutsideOrHiddenCursorsAreNotDrawn) {
    CursorSet set = cursorsAt({16, 99, 100, 1099, 1100, 500});
    set.cursors[kCursorE].flags = kCursorFlagHidden;
    const std::vector<CursorLine> lines = layoutCursorLines(set, viewAt(100, 0, 0), 1000);
    EXPECT_EQ(set.cursors[kCursorTrigger].drawnX, -1);
    EXPECT_EQ(set.cursors[kCursorA].drawnX, -1);
    EXPECT_EQ(set.cursors[kCursorB].drawnX, 0);
    EXPECT_EQ(set.cursors[kCursorC].drawnX, 999);
    EXPECT_EQ(set.cursors[kCursorD].drawnX, -1);
    EXPECT_EQ(set.cursors[kCursorE].drawnX, -1);
    EXPECT_EQ(visibleColumns(lines), (std::set<int32_t>{0, 999}));
}

TEST(CursorLines, ZoomedInCursorStandsAtTheStartOfItsSample) {
    CursorSet set = cursorsAt({16, 103});
    layoutCursorLines(set, viewAt(100, 6, 0), 1000);
    EXPECT_EQ(set.cursors[kCursorA].drawnX, 192);
}

TEST(CursorLines, HitTestFindsTheNearestLine) {
    CursorSet set = cursorsAt({16, 500, 504});
    for (int i = 3; i < kCursorCount; ++i) set.cursors[i].flags = kCursorFlagHidden;
    layoutCursorLines(set, viewAt(0, 0, 0), 1000);
    EXPECT_EQ(cursorAtLine(set, 500), kCursorA);
    EXPECT_EQ(cursorAtLine(set, 502), kCursorA);   // tie: lowest index
    EXPECT_EQ(cursorAtLine(set, 503), kCursorB);
    EXPECT_EQ(cursorAtLine(set, 497), -1);
    EXPECT_EQ(cursorAtLine(set, 18), kCursorTrigger);
}

// ---------------------------------------------------------------------------------------------
// Markers

TEST(CursorMarkers, LaidOutLeftToRightWithoutOverlap) {
    CursorSet set = cursorsAt({16, 500, 503, 200, 506, 900});
    layoutCursorLines(set, viewAt(0, 0, 0), 1000);
    layoutCursorMarkers(set, 1000);
    EXPECT_EQ(set.cursors[kCursorTrigger].markerX, 16);
    EXPECT_EQ(set.cursors[kCursorC].markerX, 200);
    EXPECT_EQ(set.cursors[kCursorA].markerX, 500);
    EXPECT_EQ(set.cursors[kCursorB].markerX, 513);
    EXPECT_EQ(set.cursors[kCursorD].markerX, 526);
    EXPECT_EQ(set.cursors[kCursorE].markerX, 900);
    EXPECT_EQ(cursorAtMarker(set, 510), kCursorB);
    EXPECT_EQ(cursorAtMarker(set, 520), kCursorD);
    EXPECT_EQ(cursorAtMarker(set, 700), -1);
}

TEST(CursorMarkers, AMarkerPastTheRightEndStandsTenPixelsBeforeIt) {
    CursorSet set = cursorsAt({16, 995, 300});
    for (int i = 3; i < kCursorCount; ++i) set.cursors[i].flags = kCursorFlagHidden;
    layoutCursorLines(set, viewAt(0, 0, 0), 1000);
    layoutCursorMarkers(set, 1000);
    EXPECT_EQ(set.cursors[kCursorA].markerX, 990);
    EXPECT_EQ(set.cursors[kCursorB].markerX, 300);
    EXPECT_EQ(set.cursors[kCursorD].markerX, -1);   // hidden: no marker
}

// ---------------------------------------------------------------------------------------------
// Search buttons and keys

TEST(SearchCursor, CommandsNameTheCursors) {
    EXPECT_EQ(cursorForSearchCommand(1022), kCursorTrigger);
    EXPECT_EQ(cursorForSearchCommand(1023), kCursorA);
    EXPECT_EQ(cursorForSearchCommand(1024), kCursorB);
    EXPECT_EQ(cursorForSearchCommand(1031), kCursorC);
    EXPECT_EQ(cursorForSearchCommand(1032), kCursorD);
    EXPECT_EQ(cursorForSearchCommand(1033), kCursorE);
    for (int32_t id : {1021, 1025, 1030, 1034, 0, -1}) EXPECT_EQ(cursorForSearchCommand(id), -1) << id;
}

TEST(SearchCursor, CentresAnOffscreenCursorAndFocusesIt) {
    CursorSet set = cursorsAt({16, 50000});
    WaveView v = viewAt(0, 0, 1);   // 2,000 samples visible
    EXPECT_TRUE(searchCursor(set, kCursorA, v, 1000, 100000));
    EXPECT_EQ(v.firstSample, 49000);
    EXPECT_EQ(set.focus, kCursorA);
    // Already visible: the view stays.
    WaveView w = viewAt(49000, 0, 1);
    EXPECT_FALSE(searchCursor(set, kCursorA, w, 1000, 100000));
    EXPECT_EQ(w.firstSample, 49000);
}

TEST(SearchCursor, ViewStaysInsideTheCapture) {
    CursorSet set = cursorsAt({16, 99900, 10});
    WaveView v = viewAt(50000, 0, 0);
    EXPECT_TRUE(searchCursor(set, kCursorA, v, 1000, 100000));
    EXPECT_EQ(v.firstSample, 99000);
    EXPECT_TRUE(searchCursor(set, kCursorB, v, 1000, 100000));
    EXPECT_EQ(v.firstSample, 0);
    // A cursor left behind by a longer capture is brought into the new one first.
    CursorSet far = cursorsAt({16, 500000});
    WaveView u = viewAt(0, 0, 0);
    EXPECT_TRUE(searchCursor(far, kCursorA, u, 1000, 100000));
    EXPECT_EQ(far.cursors[kCursorA].position, 99999);
    EXPECT_EQ(u.firstSample, 99000);
    EXPECT_FALSE(searchCursor(far, 7, u, 1000, 100000));
}

TEST(CursorKeys, ArrowMovesTheFocusedCursorOnePixelColumn) {
    CursorSet set = cursorsAt({16, 500});
    set.focus = kCursorA;
    WaveView v = viewAt(0, 0, 2);
    EXPECT_FALSE(moveFocusedCursor(set, 1, v, 1000, 100000));
    EXPECT_EQ(set.cursors[kCursorA].position, 504);
    EXPECT_FALSE(moveFocusedCursor(set, -2, v, 1000, 100000));
    EXPECT_EQ(set.cursors[kCursorA].position, 496);
    WaveView z = viewAt(0, 4, 0);   // zoomed in: one sample per step
    moveFocusedCursor(set, 1, z, 1000, 100000);
    EXPECT_EQ(set.cursors[kCursorA].position, 497);
}

TEST(CursorKeys, TheViewFollowsACursorLeavingIt) {
    CursorSet set = cursorsAt({16, 999});
    set.focus = kCursorA;
    WaveView v = viewAt(0, 0, 0);
    EXPECT_TRUE(moveFocusedCursor(set, 1, v, 1000, 100000));
    EXPECT_EQ(set.cursors[kCursorA].position, 1000);
    EXPECT_EQ(v.firstSample, 1);
    set.cursors[kCursorA].position = 1;
    EXPECT_TRUE(moveFocusedCursor(set, -1, v, 1000, 100000));
    EXPECT_EQ(v.firstSample, 0);
    EXPECT_EQ(set.cursors[kCursorA].position, 0);
    EXPECT_FALSE(moveFocusedCursor(set, -1, v, 1000, 100000));
    EXPECT_EQ(set.cursors[kCursorA].position, 0);
    // The trigger cursor stops at 16; the end of the capture stops every cursor.
    set.focus = kCursorTrigger;
    EXPECT_FALSE(moveFocusedCursor(set, -5, v, 1000, 100000));
    EXPECT_EQ(set.cursors[kCursorTrigger].position, 16);
    set.focus = kCursorA;
    set.cursors[kCursorA].position = 99999;
    v.firstSample = 99000;
    moveFocusedCursor(set, 3, v, 1000, 100000);
    EXPECT_EQ(set.cursors[kCursorA].position, 99999);
    EXPECT_EQ(v.firstSample, 99000);
}

TEST(ViewKeys, ArrowsMoveTheCursorPagesScrollTheWaves) {
    CursorSet set = cursorsAt({16, 500});
    set.focus = kCursorA;
    WaveView v = viewAt(0, 0, 1);   // 2,000 samples in 1,000 pixels
    ViewKeyResult r = handleViewKey(kKeyRight, false, set, v, 1000, 100000);
    EXPECT_TRUE(r.handled);
    EXPECT_TRUE(r.cursorMoved);
    EXPECT_FALSE(r.scrolled);
    EXPECT_EQ(set.cursors[kCursorA].position, 502);
    r = handleViewKey(kKeyLeft, true, set, v, 1000, 100000);
    EXPECT_EQ(set.cursors[kCursorA].position, 482);
    r = handleViewKey(kKeyPageDown, false, set, v, 1000, 100000);
    EXPECT_TRUE(r.scrolled);
    EXPECT_FALSE(r.cursorMoved);
    EXPECT_EQ(v.firstSample, 2000);
    EXPECT_EQ(set.cursors[kCursorA].position, 482);   // scrolling leaves the cursors alone
    r = handleViewKey(kKeyPageUp, false, set, v, 1000, 100000);
    EXPECT_EQ(v.firstSample, 0);
    r = handleViewKey(kKeyEnd, false, set, v, 1000, 100000);
    EXPECT_EQ(v.firstSample, 98000);
    r = handleViewKey(kKeyHome, false, set, v, 1000, 100000);
    EXPECT_EQ(v.firstSample, 0);
    r = handleViewKey(kKeyPageUp, false, set, v, 1000, 100000);
    EXPECT_TRUE(r.handled);
    EXPECT_FALSE(r.scrolled);
    r = handleViewKey('A', false, set, v, 1000, 100000);
    EXPECT_FALSE(r.handled);
    // The focused cursor at the start: handled, nothing moves.
    set.cursors[kCursorA].position = 0;
    r = handleViewKey(kKeyLeft, false, set, v, 1000, 100000);
    EXPECT_TRUE(r.handled);
    EXPECT_FALSE(r.cursorMoved);
}

// ---------------------------------------------------------------------------------------------
// SnapToEdge

TEST(SnapToEdge, MaskOfARowIsItsMemberChannelsAndIgnoresChannelsNoWordHolds) {
    EXPECT_EQ(channelMaskOf({}), 0u);
    EXPECT_EQ(channelMaskOf({3}), uint64_t{1} << 3);
    EXPECT_EQ(channelMaskOf({63, 0, 5}), (uint64_t{1} << 63) | 1u | (uint64_t{1} << 5));
    // A label of a channel beyond the device (or a corrupt one) must not shift out of range.
    EXPECT_EQ(channelMaskOf({64, -1, 70, 2}), uint64_t{1} << 2);
}

TEST(SnapToEdge, FindsTheFirstSampleAfterANearbyTransition) {
    const Capture c = toggling(1000, 3, {103});
    const WaveView v = viewAt(0, 0, 0);   // window of 5 samples
    const uint64_t mask = 1u << 3;
    EXPECT_EQ(SnapToEdge(100, mask, v, c.count(), c.reader()), 103);
    EXPECT_EQ(SnapToEdge(103, mask, v, c.count(), c.reader()), 103);
    EXPECT_EQ(SnapToEdge(106, mask, v, c.count(), c.reader()), 103);   // offset -4
    EXPECT_EQ(SnapToEdge(107, mask, v, c.count(), c.reader()), 107);   // -5 is outside the window
    EXPECT_EQ(SnapToEdge(98, mask, v, c.count(), c.reader()), 103);    // offset +4
    EXPECT_EQ(SnapToEdge(97, mask, v, c.count(), c.reader()), 97);
}

TEST(SnapToEdge, NearestFirstAndLaterOnATie) {
    const Capture c = toggling(1000, 0, {100, 102});
    const WaveView v = viewAt(0, 0, 0);
    // From 100: offset 0 compares 100/101 (no change), +1 compares 101/102 (change), before -1 (99/100).
    EXPECT_EQ(SnapToEdge(100, 1, v, c.count(), c.reader()), 102);
    EXPECT_EQ(SnapToEdge(99, 1, v, c.count(), c.reader()), 100);
}

TEST(SnapToEdge, OnlyTheLabelsChannelsCount) {
    Capture c = toggling(1000, 5, {101});
    const Capture other = toggling(1000, 2, {104});
    for (size_t i = 0; i < c.samples.size(); ++i) c.samples[i] |= other.samples[i];
    const WaveView v = viewAt(0, 0, 0);
    EXPECT_EQ(SnapToEdge(103, 1u << 2, v, c.count(), c.reader()), 104);
    EXPECT_EQ(SnapToEdge(103, 1u << 5, v, c.count(), c.reader()), 101);
    EXPECT_EQ(SnapToEdge(103, (1u << 5) | (1u << 2), v, c.count(), c.reader()), 104);
    EXPECT_EQ(SnapToEdge(103, 1u << 7, v, c.count(), c.reader()), 103);
    EXPECT_EQ(SnapToEdge(103, 0, v, c.count(), c.reader()), 103);
}

TEST(SnapToEdge, WindowFollowsTheZoom) {
    const Capture c = toggling(100000, 0, {5000});
    // Zoomed out by 2^4: 80 samples either side.
    EXPECT_EQ(SnapToEdge(4930, 1, viewAt(0, 0, 4), c.count(), c.reader()), 5000);
    EXPECT_EQ(SnapToEdge(4900, 1, viewAt(0, 0, 4), c.count(), c.reader()), 4900);
    // Zoomed in to 8 pixels a sample: no whole sample within 5 pixels, no snapping.
    EXPECT_EQ(SnapToEdge(4999, 1, viewAt(0, 3, 0), c.count(), c.reader()), 4999);
    EXPECT_EQ(SnapToEdge(4999, 1, viewAt(0, 2, 0), c.count(), c.reader()), 5000);
}

TEST(SnapToEdge, NeverReadsOutsideTheCapture) {
    const Capture c = toggling(10, 0, {});
    const WaveView v = viewAt(0, 0, 3);
    for (int32_t s = 0; s < 10; ++s) EXPECT_EQ(SnapToEdge(s, 1, v, c.count(), c.reader()), s);
    const Capture edge = toggling(10, 0, {9});
    EXPECT_EQ(SnapToEdge(9, 1, v, edge.count(), edge.reader()), 9);
    EXPECT_EQ(SnapToEdge(0, 1, v, edge.count(), edge.reader()), 9);
}

// ---------------------------------------------------------------------------------------------
// Dragging

TEST(CursorDragging, MouseXBecomesASampleLimitedToTheCapture) {
    CursorSet set = cursorsAt({16, 100});
    WaveView v = viewAt(1000, 0, 2);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    DragStep step = dragCursorTo(drag, set, v, 250, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_TRUE(step.moved);
    EXPECT_FALSE(step.scrolled);
    EXPECT_EQ(set.cursors[kCursorA].position, 2000);
    step = dragCursorTo(drag, set, v, 250, 1000, 1500, false, false, 0, false, nullptr);
    EXPECT_EQ(set.cursors[kCursorA].position, 1499);
    // Nothing dragged: nothing happens.
    endCursorDrag(drag);
    step = dragCursorTo(drag, set, v, 100, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_FALSE(step.moved);
    EXPECT_EQ(set.cursors[kCursorA].position, 1499);
}

TEST(CursorDragging, PastTheRightEdgeTheWavesScroll) {
    CursorSet set = cursorsAt({16, 100});
    WaveView v = viewAt(1000, 0, 0);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    const DragStep step = dragCursorTo(drag, set, v, 1010, 1000, 100000, false, true, 1, false, nullptr);
    EXPECT_TRUE(step.scrolled);
    EXPECT_EQ(v.firstSample, 1003);                       // (1010 - 1000 + 8) / 5
    EXPECT_EQ(set.cursors[kCursorA].position, 1003 + 997);   // held 3 pixels inside
    // At the end of the capture the view stops.
    WaveView end = viewAt(99000, 0, 0);
    const DragStep last = dragCursorTo(drag, set, end, 1100, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_FALSE(last.scrolled);
    EXPECT_EQ(end.firstSample, 99000);
    EXPECT_EQ(set.cursors[kCursorA].position, 99997);
}

TEST(CursorDragging, PastTheLeftEdgeTheWavesScrollBackNotBelowZero) {
    CursorSet set = cursorsAt({16, 100});
    WaveView v = viewAt(1000, 0, 0);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    DragStep step = dragCursorTo(drag, set, v, -20, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_TRUE(step.scrolled);
    EXPECT_EQ(v.firstSample, 995);   // (-20 - 5) / 5
    WaveView start = viewAt(2, 0, 0);
    step = dragCursorTo(drag, set, start, -100, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_EQ(start.firstSample, 0);
    EXPECT_GE(set.cursors[kCursorA].position, 0);
}

TEST(CursorDragging, SnapsOnlyWhenOnAndNotScrolling) {
    const Capture c = toggling(100000, 1, {1503});
    CursorSet set = cursorsAt({16, 100});
    WaveView v = viewAt(1000, 0, 0);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    dragCursorTo(drag, set, v, 501, 1000, c.count(), false, true, 1u << 1, false, c.reader());
    EXPECT_EQ(set.cursors[kCursorA].position, 1503);
    dragCursorTo(drag, set, v, 501, 1000, c.count(), false, false, 1u << 1, false, c.reader());
    EXPECT_EQ(set.cursors[kCursorA].position, 1501);
    dragCursorTo(drag, set, v, 501, 1000, c.count(), false, true, 0, false, c.reader());   // scope row
    EXPECT_EQ(set.cursors[kCursorA].position, 1501);
}

TEST(CursorDragging, WithCtrlCursorEKeepsItsDistance) {
    CursorSet set = cursorsAt({16, 1000, 0, 0, 0, 1300});
    WaveView v = viewAt(0, 0, 0);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    dragCursorTo(drag, set, v, 500, 1000, 100000, true, false, 0, false, nullptr);
    EXPECT_EQ(set.cursors[kCursorA].position, 500);
    EXPECT_EQ(set.cursors[kCursorE].position, 800);
    // Without Ctrl E stays where it is.
    dragCursorTo(drag, set, v, 600, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_EQ(set.cursors[kCursorE].position, 800);
    // The distance is that of the drag's beginning, and E stays inside the capture.
    dragCursorTo(drag, set, v, 900, 1000, 1000, true, false, 0, false, nullptr);
    EXPECT_EQ(set.cursors[kCursorA].position, 900);
    EXPECT_EQ(set.cursors[kCursorE].position, 999);
}

TEST(CursorDragging, WhatTheShellMustRefresh) {
    CursorSet set = cursorsAt({100, 200});
    set.focus = kCursorA;
    WaveView v = viewAt(0, 0, 0);
    CursorDrag drag;
    beginCursorDrag(drag, set, kCursorA);
    DragStep step = dragCursorTo(drag, set, v, 300, 1000, 100000, false, false, 0, true, nullptr);
    EXPECT_TRUE(step.refreshValues);
    EXPECT_FALSE(step.redrawAll);
    beginCursorDrag(drag, set, kCursorTrigger);
    step = dragCursorTo(drag, set, v, 5, 1000, 100000, false, false, 0, true, nullptr);
    EXPECT_FALSE(step.refreshValues);
    EXPECT_TRUE(step.redrawAll);
    EXPECT_EQ(set.cursors[kCursorTrigger].position, 16);   // not before 16
    step = dragCursorTo(drag, set, v, 50, 1000, 100000, true, false, 0, true, nullptr);
    EXPECT_FALSE(step.redrawAll);
    step = dragCursorTo(drag, set, v, 60, 1000, 100000, false, false, 0, false, nullptr);
    EXPECT_FALSE(step.redrawAll);
}

// ---------------------------------------------------------------------------------------------
// Readouts

TEST(Readouts, OneHundredFiftySamplesAtOneHundredMegahertz) {
    CursorSet set = cursorsAt({16, 100, 250});
    set.pairs[0][0] = kCursorA;
    set.pairs[0][1] = kCursorB;
    set.pairs[1][0] = kCursorB;
    set.pairs[1][1] = kCursorA;
    set.pairs[2][0] = kCursorA;
    set.pairs[2][1] = kCursorA;
    std::string texts[kReadoutCount];
    UpdateReadouts(set, 100000000, texts);
    EXPECT_EQ(texts[0], "1.5 us");
    EXPECT_EQ(texts[1], "-1.5 us");
    EXPECT_EQ(texts[2], "0 ns");
}

TEST(Readouts, EachModeAndTheExternalClock) {
    CursorSet set = cursorsAt({16, 100, 250});
    set.pairs[0][0] = kCursorA;
    set.pairs[0][1] = kCursorB;
    std::string texts[kReadoutCount];
    set.measureMode = kMeasureFrequency;
    UpdateReadouts(set, 100000000, texts);
    EXPECT_EQ(texts[0], "666.667 KHz");
    set.measureMode = kMeasureClocks;
    UpdateReadouts(set, 100000000, texts);
    EXPECT_EQ(texts[0], "150");
    set.measureMode = kMeasureTime;
    UpdateReadouts(set, 1000000, texts);   // an external clock of 1 MHz
    EXPECT_EQ(texts[0], "150 us");
}

TEST(Readouts, AReadoutThatCannotBeMadeKeepsItsText) {
    CursorSet set = cursorsAt({16, 100, 250});
    set.pairs[1][0] = 9;
    set.measureMode = 5;
    std::string texts[kReadoutCount] = {"a", "b", "c"};
    UpdateReadouts(set, 100000000, texts);
    EXPECT_EQ(texts[0], "a");
    EXPECT_EQ(texts[1], "b");
    EXPECT_EQ(texts[2], "c");
}

TEST(Readouts, MeasureButtonCyclesTheModes) {
    CursorSet set;
    nextMeasureMode(set);
    EXPECT_EQ(set.measureMode, kMeasureFrequency);
    nextMeasureMode(set);
    EXPECT_EQ(set.measureMode, kMeasureClocks);
    nextMeasureMode(set);
    EXPECT_EQ(set.measureMode, kMeasureTime);
    set.measureMode = 42;
    nextMeasureMode(set);
    EXPECT_EQ(set.measureMode, kMeasureTime);
}

TEST(Readouts, ChoiceButtonsStepThroughTheCursors) {
    CursorSet set;
    set.pairs[1][0] = kCursorE;
    set.pairs[1][1] = kCursorA;
    EXPECT_TRUE(cycleMeasureCursor(set, 1027));   // readout 2, upper button
    EXPECT_EQ(set.pairs[1][0], kCursorTrigger);
    EXPECT_TRUE(cycleMeasureCursor(set, 1028));   // readout 2, lower button
    EXPECT_EQ(set.pairs[1][1], kCursorB);
    const int32_t before = set.pairs[2][1];
    EXPECT_TRUE(cycleMeasureCursor(set, 1030));
    EXPECT_EQ(set.pairs[2][1], (before + 1) % kCursorCount);
    EXPECT_FALSE(cycleMeasureCursor(set, 1024));
    EXPECT_FALSE(cycleMeasureCursor(set, 1031));
}

TEST(ReadoutCaption, StringPerModeFilledWithTheCursorNames) {
    EXPECT_EQ(readoutCaptionString(kMeasureTime), kStrCaptionTiming);
    EXPECT_EQ(readoutCaptionString(kMeasureFrequency), kStrCaptionFrequency);
    EXPECT_EQ(readoutCaptionString(kMeasureClocks), kStrCaptionClocks);
    EXPECT_EQ(formatReadoutCaption("Timing (Form %s to %s)", "Cursor A", "Cursor B"),
              "Timing (Form Cursor A to Cursor B)");
    EXPECT_EQ(formatReadoutCaption("Sample Clocks (From %s to %s)", "Cursor Trigger", "Cursor E"),
              "Sample Clocks (From Cursor Trigger to Cursor E)");
}

TEST(ReadoutCaption, AnyTranslatedTextIsSafe) {
    EXPECT_EQ(formatReadoutCaption("%s %s %s %d %n 100%%", "A", "B"), "A B  %d %n 100%");
    EXPECT_EQ(formatReadoutCaption("%", "A", "B"), "%");
    EXPECT_EQ(formatReadoutCaption("", "A", "B"), "");
    EXPECT_EQ(formatReadoutCaption("to %s", "%s", "x"), "to %s");   // names are not formats
}

// The cursor strings of the three languages, read from the source tree next to this file.
std::map<int, std::string> readStrings(const char* file) {
    std::string here = __FILE__;
    for (char& c : here)
        if (c == '\\') c = '/';
    const size_t cut = here.rfind("/tests/display/");
    std::map<int, std::string> strings;
    if (cut == std::string::npos) return strings;
    std::ifstream in(here.substr(0, cut) + "/viewer/res/" + file);
    std::string line;
    while (std::getline(in, line)) {
        int number = 0, used = 0;
        if (std::sscanf(line.c_str(), " %d \"%n", &number, &used) < 1 || used == 0) continue;
        const size_t end = line.rfind('"');
        if (end == std::string::npos || end < static_cast<size_t>(used)) continue;
        strings[number] = line.substr(static_cast<size_t>(used), end - static_cast<size_t>(used));
    }
    return strings;
}

size_t countOf(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t p = s.find(what); p != std::string::npos; p = s.find(what, p + 1)) ++n;
    return n;
}

TEST(CursorStrings, EnglishTexts) {
    const std::map<int, std::string> en = readStrings("view_en.rc");
    if (en.empty()) GTEST_SKIP() << "string tables not reachable from here";
    const char* const names[kCursorCount] = {"Cursor Trigger", "Cursor A", "Cursor B",
                                             "Cursor C",       "Cursor D", "Cursor E"};
    for (int i = 0; i < kCursorCount; ++i) EXPECT_EQ(en.at(kStrCursorNameFirst + i), names[i]);
    EXPECT_EQ(en.at(kStrCaptionTiming), "Timing (Form %s to %s)");
    EXPECT_EQ(en.at(kStrCaptionFrequency), "Frequency (Form %s to %s)");
    EXPECT_EQ(en.at(kStrCaptionClocks), "Sample Clocks (From %s to %s)");
}

TEST(CursorStrings, ProjectValueNamesAreTheEnglishNames) {
    const std::map<int, std::string> en = readStrings("view_en.rc");
    EXPECT_STREQ(kCursorFocusValueName, "Cursor Focus");
    EXPECT_STREQ(kCursorValueNames[kCursorTrigger], "Cursor Trigger");
    EXPECT_STREQ(kCursorValueNames[kCursorE], "Cursor E");
    if (en.empty()) GTEST_SKIP() << "string tables not reachable from here";
    for (int i = 0; i < kCursorCount; ++i) EXPECT_EQ(en.at(kStrCursorNameFirst + i), kCursorValueNames[i]);
}

TEST(CursorStrings, EveryLanguageHasEveryTextWithTwoNamePlaces) {
    for (const char* file : {"view_en.rc", "view_zh_tw.rc", "view_zh_cn.rc"}) {
        const std::map<int, std::string> strings = readStrings(file);
        if (strings.empty()) GTEST_SKIP() << "string tables not reachable from here";
        for (int id = kStrCursorNameFirst; id < kStrCursorNameFirst + kCursorCount; ++id) {
            ASSERT_EQ(strings.count(id), 1u) << file << " " << id;
            EXPECT_EQ(countOf(strings.at(id), "%"), 0u) << file << " " << id;
        }
        for (int id : {kStrCaptionTiming, kStrCaptionFrequency, kStrCaptionClocks}) {
            ASSERT_EQ(strings.count(id), 1u) << file << " " << id;
            EXPECT_EQ(countOf(strings.at(id), "%s"), 2u) << file << " " << id;
            EXPECT_EQ(countOf(strings.at(id), "%"), 2u) << file << " " << id;
        }
    }
}

}  // namespace
}  // namespace kv
