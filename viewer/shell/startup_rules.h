// The decisions of the viewer's start-up that need no window: the program folder, the version
// text, the language, the command-line file name and the list of boards to choose from.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kv {

// The folder part of the program path taken from the command line: a leading double quote is
// skipped, the text ends at the next double quote, and the folder is everything before the last
// backslash. Empty when there is no backslash or the folder would be 256 characters or longer.
std::string programFolderFromCommandLine(const char* commandLine);

// "%d.%d.%d%d" from the two version dwords of the program file.
std::string formatVersion(uint32_t versionMs, uint32_t versionLs);

// Step 3: the language to start with, from the system language and the dialog languages.
uint16_t initialLanguage(uint16_t systemLanguage, const std::vector<uint16_t>& dialogLanguages);
// Step 4: a saved language replaces the current one only when the dialogs exist in it.
uint16_t applySavedLanguage(uint16_t current, int32_t saved, const std::vector<uint16_t>& dialogLanguages);

// The file named on the command line with its double quotes removed; empty for an empty tail.
std::string commandLineFileName(const char* tail);

// One entry of the Select Device list.
struct DeviceChoice {
    std::string text;   // "%s on %s": model name on interface name
    int slot = 0;
};

// Names a slot: what = 0 model, 1 interface; false when the runtime has no name for it.
using SlotNamer = std::function<bool(const uint8_t* slot, int what, std::string& name)>;

// Walks all 140 slots of the device table and lists every slot that carries the free mark.
std::vector<DeviceChoice> freeDevices(const uint8_t* table, const SlotNamer& name);

// The result of the Select Device dialog when it is not shown: 0 with no entry (demo mode follows),
// the entry's slot with exactly one; -2 when the user must choose.
enum : int { kChooseDevice = -2 };
int automaticDeviceChoice(const std::vector<DeviceChoice>& list);

}  // namespace kv
