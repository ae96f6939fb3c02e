// The viewer's program-wide settings: one value record, read from and written to the registry key
// HKEY_LOCAL_MACHINE "SOFTWARE\Ombix\KV\System" through the registry seam.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace kv {

extern const char* const kSettingsKey;        // "SOFTWARE\\Ombix\\KV\\System"
extern const char* const kSettingsKeyClass;   // "Ombix Logic Analyzer"

enum : int { kThresholdSlots = 32, kThresholdNameBytes = 32, kDemoGroups = 8, kMeasureButtons = 6,
             kStackDelays = 10, kWorkDirectoryBytes = 256 };

// The stacked scope's address until the user sets one: 192.168.1.100, a private address, held as the
// four address bytes in memory order (the targets are little-endian, so the first byte is the lowest).
constexpr uint32_t kDefaultDsoIp = 192u | 168u << 8 | 1u << 16 | 100u << 24;

struct ThresholdEntry {
    std::string name;        // at most 31 characters; the list ends at the first empty name
    int32_t millivolts = 1600;
    int32_t oldForm = 1260;  // "Threshold %d": stored and loaded, otherwise unused
};

struct DemoGroupSetting {
    int32_t function = 0;    // "DemoFG%d"
    int32_t unitMode = 0;    // "DemoFqMode%d": 0 MHz, 1 KHz, 2 Hz
    int32_t frequency = 0;   // "DemoFreq%d", Hz
};

struct Settings {
    int32_t registryVersion = 2;
    int32_t windowLeft = 0, windowTop = 0, windowRight = 639, windowBottom = 479;
    int32_t maxFlag = 0;
    int32_t language = 0;            // filled with the system language by the reader
    int32_t currentHw = 0;
    int32_t waveHeight = 24;
    int32_t systemWarn1 = 1;
    int32_t valueField = 0;          // instant-status option, Nanlyn boards only
    int32_t instFreqCh = 0;
    int32_t systemWaveTiming = 0;
    int32_t electricGrid = 1;
    int32_t trigBell = 0;
    int32_t fullBell = 0;
    int32_t wavePartition = 1;
    int32_t inertial = 0;
    int32_t dsoFitHeight = 1;
    int32_t dsoBrand = 0;
    uint32_t dsoIp = kDefaultDsoIp;  // the four address bytes in memory order
    int32_t dsoSrType = 0;
    uint64_t dsoSampleRate = 100000000;
    uint64_t extClkValEx = 1000000;
    int32_t partMenu = 1;
    int32_t printOrientation = 2;
    int32_t printVertRange = 1149;
    int32_t printHorzRange = 0;
    int32_t printOption = 1145;
    int32_t printHorzSize = 5, printVertSize = 7;
    int32_t printGridSize = 0, printColor = 0;
    int32_t clipHorzSize = 640, clipVertSize = 480;
    int32_t realTimeScroll = 1;
    int32_t trigSettingMethod = 0;
    int32_t gridSize = 50, gridType = 2, gridColor = 3, backgroundColor = 0;
    uint16_t cardPort = 616;
    DemoGroupSetting demo[kDemoGroups];
    int32_t measureKind[kMeasureButtons] = {0, 1, 2, 3, 4, 5};   // "FT%d"
    std::string workDirectory;
    ThresholdEntry thresholds[kThresholdSlots];
    uint64_t dsoStackDelay[kStackDelays] = {65000, 65000, 65000, 65000, 65000, 65000, 65000, 65000, 65000, 65000};
    double dsoTrigPosPercent = 50.0;
    int32_t bufSizeDemo = 40000;     // "giBufSizeDemo"
};

// What the reader needs to know of the program around it.
struct SettingsContext {
    uint16_t systemLanguage = 1033;
    bool nanlyn = false;                  // the open board is a Nanlyn board
    std::string programFolder;
    // Answers whether a folder exists; the work directory falls back to the program folder otherwise.
    std::function<bool(const std::string&)> folderExists;
};

// The demo generator's defaults for the eight groups.
void setDemoDefaults(Settings& s);
// Number of entries of the threshold list (up to the first empty name).
int thresholdCount(const Settings& s);

// Early read: window rectangle, "Max Flag", "Language", "Current H/W". Returns true when
// "Main Window Left" was present (the first-run flag is its negation).
bool readEarlySettings(Registry& reg, Settings& s, const SettingsContext& ctx);

// Window rectangle validation after the early read; the sizes come from GetSystemMetrics
// (SM_CXSCREEN/SM_CYSCREEN and SM_CXFULLSCREEN/SM_CYFULLSCREEN).
void validateWindowRect(Settings& s, int screenWidth, int screenHeight, int fullWidth, int fullHeight);

// Full read: every value but "giBufSizeDemo" and those of the early read (window rectangle, "Max Flag",
// "Language", "Current H/W", which the early read owns: the caller may have refused the saved language).
// With the key missing the whole record takes the first-run values. Migrates old thresholds (and
// writes them back).
void readAllSettings(Registry& reg, Settings& s, const SettingsContext& ctx);

// Write-all at shutdown: every value but "giBufSizeDemo", "Registry Version" first (as 2).
// Nothing is written when the key cannot be created. The caller puts the current product code in
// currentHw and the thread locale in language first; the window values are written as they stand.
void writeAllSettings(Registry& reg, const Settings& s);

// One value on its own: -1 when the key or value is missing (or not a 32-bit REG_DWORD).
int32_t readSettingValue(Registry& reg, const std::string& name);
// Gives up (false) when the key does not exist yet.
bool writeSettingValue(Registry& reg, const std::string& name, int32_t value);

// "giBufSizeDemo": read whenever the sample mode is set in demo mode; a value <= 0 or missing gives 40,000.
int32_t readDemoBufferSize(Registry& reg);

// The table of every value the key holds, with its registry type and data size, for checks and tools.
struct SettingDescriptor {
    std::string name;
    uint32_t type;
    uint32_t size;      // exact data size; for strings the largest size
    bool upToSize;      // a string written with its own length (at most size bytes with the NUL)
    bool savedAtExit;   // written by writeAllSettings (all but "giBufSizeDemo")
};
std::vector<SettingDescriptor> settingDescriptors();

}  // namespace kv
