#include "viewer/shell/panel_commands.h"

namespace kv {

const ToolbarButton kToolbar[] = {
    {kIdToolbox, false},     {kIdInformation, false},   {kIdZoomIn, false},      {kIdZoomOut, false},
    {kIdAcquire, true},      {kIdRepetitive, false},    {kIdStop, false},
    {kIdTrigger, true},      {kIdThreshold, false},     {kIdSearchPattern, false}, {kIdSearchNext, false},
    {kIdInvert, false},      {kIdTimingState, false},
    {kIdPrint, true},        {kIdInterfaceCard, false}, {kIdEnvironment, false}, {kIdCommandSet, false},
    {kIdHelp, false},        {kIdAbout, false},
    {kIdLoadProject, true},  {kIdSaveProject, false},   {kIdDeleteProject, false},
    {kIdLoadWave, true},     {kIdSaveWave, false},
    {kIdDemo, true},
};
const int kToolbarCount = sizeof kToolbar / sizeof kToolbar[0];

namespace {

struct TooltipEntry {
    uint16_t id;
    int16_t string;
};

// String numbers of the tooltip texts; string 6 ("Load Waveform") is fixed by the string table,
// the others are this table's own choice within 0-64.
const TooltipEntry kTooltips[] = {
    {kIdZoomIn, 0},          {kIdZoomOut, 1},          {kIdTrigger, 2},          {kIdToolbox, 3},
    {kIdAcquire, 4},         {kIdStop, 5},             {kIdLoadWave, 6},         {kIdSaveWave, 7},
    {kIdThreshold, 8},       {kIdRepetitive, 9},       {kIdSearchNext, 10},      {kIdCursorTrigger, 11},
    {kIdCursorA, 12},        {kIdCursorB, 13},         {kIdCursorC, 14},         {kIdCursorD, 15},
    {kIdCursorE, 16},        {1025, 17},               {1026, 17},               {1027, 17},
    {1028, 17},              {1029, 17},               {1030, 17},               {kIdFileMenu, 18},
    {kIdRateList, 19},       {kIdClockList, 19},       {kIdNanlynClock, 19},     {kIdMeasure, 20},
    {kIdSaveProject, 21},    {kIdLoadProject, 22},     {kIdDeleteProject, 23},   {kIdInterfaceCard, 24},
    {kIdEnvironment, 25},    {kIdInformation, 26},     {kIdDemo, 27},            {kIdTimingState, 28},
    {kIdCommandSet, 29},     {kIdInvert, 30},          {kIdPrint, 31},           {kIdSearchPattern, 32},
    {kIdHelp, 33},           {kIdAbout, 34},
};

// Virtual-key codes used below (the values of the Windows key codes).
enum : unsigned {
    kVkReturn = 0x0D, kVkControl = 0x11, kVkEscape = 0x1B, kVkSpace = 0x20, kVkInsert = 0x2D,
    kVkApps = 0x5D, kVkAdd = 0x6B, kVkSubtract = 0x6D, kVkF8 = 0x77, kVkF9 = 0x78,
};

KeyBinding command(uint16_t id, bool onlyWhenEnabled = false) {
    KeyBinding b;
    b.action = KeyAction::Command;
    b.command = id;
    b.onlyWhenEnabled = onlyWhenEnabled;
    return b;
}

KeyBinding action(KeyAction a) {
    KeyBinding b;
    b.action = a;
    return b;
}

}  // namespace

int tooltipString(uint16_t controlId) {
    for (const TooltipEntry& e : kTooltips)
        if (e.id == controlId) return e.string;
    return -1;
}

KeyBinding keyUpBinding(unsigned vk, bool ctrl, bool shift) {
    const bool plain = !ctrl && !shift;
    if (vk < 13 || vk > 120) return {};
    switch (vk) {
        case kVkReturn:
            if (ctrl) return action(KeyAction::AcquireCtrlEnter);
            return plain ? action(KeyAction::AcquireEnter) : KeyBinding{};
        case kVkEscape: return action(KeyAction::Escape);
        case kVkSpace: return command(kIdMeasure);
        case kVkInsert: return plain ? command(kCmdAddLabel) : KeyBinding{};
        case kVkApps: return action(KeyAction::ContextMenu);
        case kVkAdd: return plain ? command(kIdZoomIn, true) : KeyBinding{};
        case kVkSubtract: return plain ? command(kIdZoomOut, true) : KeyBinding{};
        case kVkF8: return action(KeyAction::TempStorage);
        case kVkF9: return shift ? action(KeyAction::ToggleSplit) : action(KeyAction::ToggleCompare);
        case kVkControl: return action(KeyAction::CtrlReleased);
        default: break;
    }
    if (vk == '1' && ctrl) return action(KeyAction::ToggleAutoSave);
    if (vk >= 'A' && vk <= 'E' && plain) {
        static const uint16_t cursors[] = {kIdCursorA, kIdCursorB, kIdCursorC, kIdCursorD, kIdCursorE};
        return command(cursors[vk - 'A']);
    }
    if (vk == 'T') {
        if (plain) return command(kIdCursorTrigger);
        if (ctrl) return command(kIdTrigger);
        return {};
    }
    if (!ctrl) return {};
    switch (vk) {
        case 'F': return action(KeyAction::FocusRateList);
        case 'H': return command(kIdInterfaceCard);
        case 'N': return command(kIdSearchNext);
        case 'P': return command(kIdPrint);
        case 'U': return command(kIdToolbox);
        case 'V': return command(kIdThreshold);
        case 'Z': return command(kCmdUndo);
        default: return {};
    }
}

}  // namespace kv
