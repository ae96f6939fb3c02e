// The Demo dialog's rules (template 230), apart from its controls: what each row shows, how the
// unit button cycles, and how OK takes the eight rows into the demo settings.
#pragma once

#include <cstdint>
#include <string>

#include "viewer/shell/settings.h"

namespace kv {

enum DemoUnit : int32_t { kDemoUnitMHz = 0, kDemoUnitKHz = 1, kDemoUnitHz = 2 };

// "MHz", "KHz", "Hz" for the three unit modes; any other mode shows "Hz".
const char* demoUnitText(int32_t unitMode);
// The text after a press of the unit button: "MHz" -> "KHz" -> "Hz" -> "MHz".
const char* nextDemoUnitText(const std::string& current);
// The number a row's edit shows: the frequency in the group's unit, as an unsigned integer.
uint32_t demoFrequencyInUnit(const DemoGroupSetting& group);

// One row of the dialog as the user left it.
struct DemoDialogRow {
    int32_t function = 0;   // combo selection; outside 0-7 (no selection) keeps the group's kind
    std::string number;     // the edit's text
    std::string unit;       // the unit button's text
};

// The number in an edit: leading blanks, then decimal digits up to the first other character;
// no digits reads as 0. False when the digits do not fit in 64 bits (over every limit anyway).
bool parseDemoNumber(const std::string& text, uint64_t& value);

// OK: takes the rows in order into `groups`. A row over its unit's limit (50 MHz, 50,000 KHz,
// 50,000,000 Hz) stops there: its index is returned, the rows before it have been taken and it
// and the rows after it are left as they were. -1 when all eight were taken.
int applyDemoDialogRows(const DemoDialogRow (&rows)[kDemoGroups], DemoGroupSetting (&groups)[kDemoGroups]);

}  // namespace kv
