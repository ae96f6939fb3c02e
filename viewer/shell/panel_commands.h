// The main panel's controls and commands: ids, the toolbar order, the tooltip string numbers and
// the keyboard shortcuts, kept as tables that the Win32 shell walks.
#pragma once

#include <cstdint>

namespace kv {

// Control and command ids of the main panel (dialog 102).
enum PanelId : uint16_t {
    kIdWaveArea = 1002,
    kIdStatus = 1003,
    kIdThumbTrack = 1004,
    kIdZoomIn = 1005,
    kIdZoomOut = 1006,
    kIdTrigger = 1007,
    kIdToolbox = 1008,
    kIdReadout1 = 1009,
    kIdReadout2 = 1010,
    kIdReadout3 = 1011,
    kIdAcquire = 1012,
    kIdStop = 1013,
    kIdThreshold = 1014,
    kIdRepetitive = 1015,
    kIdSearchNext = 1016,
    kIdHScroll = 1017,
    kIdVScroll = 1018,
    kIdLabelEdit = 1020,
    kIdCursorTrigger = 1022,
    kIdCursorA = 1023,
    kIdCursorB = 1024,
    kIdMeasurePick1 = 1025,  // 1025-1030: two cursor-choice buttons per readout
    kIdMeasurePick6 = 1030,
    kIdCursorC = 1031,
    kIdCursorD = 1032,
    kIdCursorE = 1033,
    kIdFileMenu = 1034,
    kIdRateList = 1043,
    kIdClockList = 1044,
    kIdNanlynRate = 1045,
    kIdNanlynClock = 1046,
    kIdMeasure = 1083,
    kIdSaveProject = 1084,
    kIdLoadWave = 1085,
    kIdSaveWave = 1086,
    kIdDeleteProject = 1087,
    kIdInterfaceCard = 1089,
    kIdEnvironment = 1090,
    kIdInformation = 1091,
    kIdDemo = 1092,
    kIdTimingState = 1093,
    kIdNoAction = 1095,
    kIdLoadProject = 1096,
    kIdCommandSet = 1097,
    kIdInvert = 1098,
    kIdProgress = 1099,
    kIdPrint = 1155,
    kIdSearchPattern = 1156,
    kIdHelp = 1159,
    kIdAbout = 1161,
    kIdBusyIcon = 1172,
};

// Label pop-up menu commands and the instant-status options.
enum : uint16_t {
    kCmdAddLabel = 102,
    kCmdAddAllLabel = 108,
    kCmdUndo = 114,
    kCmdInstantOn = 115,
    kCmdInstantFreq = 116,
    kCmdInstantOff = 117,
};

// Toolbar buttons from left to right; a separator (4 pixels) stands before an entry so marked.
struct ToolbarButton {
    uint16_t id;
    bool separatorBefore;
};
extern const ToolbarButton kToolbar[];
extern const int kToolbarCount;

// The tooltip text of a control, as a string number (strings 0-64), or -1 for none.
int tooltipString(uint16_t controlId);

// What a key released on the main window does (virtual-key codes 13-120).
enum class KeyAction {
    None,
    Command,          // deliver `command` to the panel (release the button's pushed look first)
    AcquireCtrlEnter, // Ctrl+Enter: repetitive acquisition unless a capture is in progress
    AcquireEnter,     // plain Enter: acquire when the button shows pushed and no capture runs
    Escape,           // cancel context help, or release Stop and request a stop
    ToggleAutoSave,   // Ctrl+1
    FocusRateList,    // Ctrl+F
    ContextMenu,      // Applications key
    TempStorage,      // F8
    ToggleCompare,    // F9
    ToggleSplit,      // Shift+F9
    CtrlReleased,     // Ctrl: re-evaluate the pointer shape
};

struct KeyBinding {
    KeyAction action = KeyAction::None;
    uint16_t command = 0;
    bool onlyWhenEnabled = false;  // numpad zoom keys act only while the button is enabled
};

KeyBinding keyUpBinding(unsigned virtualKey, bool ctrl, bool shift);

}  // namespace kv
