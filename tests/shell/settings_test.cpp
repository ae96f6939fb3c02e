// The settings key against an in-memory registry: first run, the write at exit and its read-back,
// the exact stored form of every value, migration of old thresholds, malformed values, and the rules
// that span several values.
#include "viewer/shell/settings.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <set>
#include <iterator>
#include <sstream>
#include <tuple>
#include <utility>

namespace kv {
namespace {

const RegRoot kLM = RegRoot::LocalMachine;
const char* const kProgramFolder = "C:\\Program Files\\KV";

// Records what reaches the registry, to check the order of writes and that reads write nothing.
class RecordingRegistry : public MemoryRegistry {
public:
    bool createKey(RegRoot root, const std::string& path, const std::string& className) override {
        classNames.push_back(className);
        return MemoryRegistry::createKey(root, path, className);
    }
    bool writeValue(RegRoot root, const std::string& path, const std::string& name, uint32_t type,
                    const void* data, size_t size) override {
        written.push_back(name);
        return MemoryRegistry::writeValue(root, path, name, type, data, size);
    }
    std::vector<std::string> classNames;
    std::vector<std::string> written;
};

SettingsContext context(bool nanlyn = false, std::set<std::string> folders = {kProgramFolder}) {
    SettingsContext ctx;
    ctx.systemLanguage = 1028;  // not the record's own initial value, so the reader visibly filled it
    ctx.nanlyn = nanlyn;
    ctx.programFolder = kProgramFolder;
    ctx.folderExists = [folders](const std::string& f) { return folders.count(f) != 0; };
    return ctx;
}

void makeKey(Registry& reg) { ASSERT_TRUE(reg.createKey(kLM, kSettingsKey, kSettingsKeyClass)); }

void put(Registry& reg, const std::string& name, uint32_t type, const std::vector<uint8_t>& bytes) {
    ASSERT_TRUE(reg.writeValue(kLM, kSettingsKey, name, type, bytes.data(), bytes.size()));
}

void putDword(Registry& reg, const std::string& name, int64_t value) {
    ASSERT_TRUE(regWriteDword(reg, kLM, kSettingsKey, name, static_cast<uint32_t>(value)));
}

void putText(Registry& reg, const std::string& name, const std::string& text) {
    put(reg, name, kRegSz, std::vector<uint8_t>(text.c_str(), text.c_str() + text.size() + 1));
}

std::vector<uint8_t> le(uint64_t x, size_t n) {
    std::vector<uint8_t> out;
    for (size_t k = 0; k < n; ++k) out.push_back(static_cast<uint8_t>(x >> (8 * k)));
    return out;
}

RegValue stored(Registry& reg, const std::string& name) {
    RegValue v;
    reg.readValue(kLM, kSettingsKey, name, v);
    return v;
}

Settings readBoth(Registry& reg, const SettingsContext& ctx, Settings s = Settings(), bool* saved = nullptr) {
    const bool windowSaved = readEarlySettings(reg, s, ctx);
    if (saved) *saved = windowSaved;
    readAllSettings(reg, s, ctx);
    return s;
}

// Every field the key stores, as text, for whole-record comparisons ("giBufSizeDemo" is not part of
// the read-all / write-all pair and is left out).
std::vector<std::string> dump(const Settings& s) {
    std::vector<std::string> out;
    auto add = [&out](const std::string& name, auto value) {
        std::ostringstream os;
        os.precision(17);
        os << name << '=' << value;
        out.push_back(os.str());
    };
#define KV_DUMP(f) add(#f, s.f)
    KV_DUMP(registryVersion); KV_DUMP(windowLeft); KV_DUMP(windowTop); KV_DUMP(windowRight);
    KV_DUMP(windowBottom); KV_DUMP(maxFlag); KV_DUMP(language); KV_DUMP(currentHw); KV_DUMP(waveHeight);
    KV_DUMP(systemWarn1); KV_DUMP(valueField); KV_DUMP(instFreqCh); KV_DUMP(systemWaveTiming);
    KV_DUMP(electricGrid); KV_DUMP(trigBell); KV_DUMP(fullBell); KV_DUMP(wavePartition); KV_DUMP(inertial);
    KV_DUMP(dsoFitHeight); KV_DUMP(dsoBrand); KV_DUMP(dsoIp); KV_DUMP(dsoSrType); KV_DUMP(dsoSampleRate);
    KV_DUMP(extClkValEx); KV_DUMP(partMenu); KV_DUMP(printOrientation); KV_DUMP(printVertRange);
    KV_DUMP(printHorzRange); KV_DUMP(printOption); KV_DUMP(printHorzSize); KV_DUMP(printVertSize);
    KV_DUMP(printGridSize); KV_DUMP(printColor); KV_DUMP(clipHorzSize); KV_DUMP(clipVertSize);
    KV_DUMP(realTimeScroll); KV_DUMP(trigSettingMethod); KV_DUMP(gridSize); KV_DUMP(gridType);
    KV_DUMP(gridColor); KV_DUMP(backgroundColor); KV_DUMP(cardPort); KV_DUMP(workDirectory);
    KV_DUMP(dsoTrigPosPercent);
#undef KV_DUMP
    for (int g = 0; g < kDemoGroups; ++g) {
        add("demo.function" + std::to_string(g), s.demo[g].function);
        add("demo.unitMode" + std::to_string(g), s.demo[g].unitMode);
        add("demo.frequency" + std::to_string(g), s.demo[g].frequency);
    }
    for (int b = 0; b < kMeasureButtons; ++b) add("measureKind" + std::to_string(b), s.measureKind[b]);
    for (int d = 0; d < kThresholdSlots; ++d) {
        add("threshold.name" + std::to_string(d), s.thresholds[d].name);
        add("threshold.millivolts" + std::to_string(d), s.thresholds[d].millivolts);
        add("threshold.oldForm" + std::to_string(d), s.thresholds[d].oldForm);
    }
    for (int k = 0; k < kStackDelays; ++k) add("dsoStackDelay" + std::to_string(k), s.dsoStackDelay[k]);
    return out;
}

void expectSameFields(const Settings& expected, const Settings& actual) {
    const std::vector<std::string> a = dump(expected), b = dump(actual);
    ASSERT_EQ(a.size(), b.size());
    for (size_t k = 0; k < a.size(); ++k) EXPECT_EQ(a[k], b[k]);
}

// A record in which every stored field differs from every default and from its neighbours, with the
// 64-bit values beyond 32 bits and every threshold slot named.
Settings distinctSettings() {
    Settings s;
    s.registryVersion = 2;
    s.windowLeft = 11; s.windowTop = 12; s.windowRight = 813; s.windowBottom = 614;
    s.maxFlag = 1; s.language = 2052; s.currentHw = 0x2136;
    s.waveHeight = 30; s.systemWarn1 = 0; s.valueField = 2; s.instFreqCh = 17;
    s.systemWaveTiming = 1; s.electricGrid = 0; s.trigBell = 1; s.fullBell = 1; s.wavePartition = 0;
    s.inertial = 1; s.dsoFitHeight = 0; s.dsoBrand = 5; s.dsoIp = 0x0A00000Au; s.dsoSrType = 3;
    s.dsoSampleRate = 0x123456789ull; s.extClkValEx = 5000000000ull; s.partMenu = 0;
    s.printOrientation = 1; s.printVertRange = 1150; s.printHorzRange = 1142; s.printOption = 1146;
    s.printHorzSize = 9; s.printVertSize = 10; s.printGridSize = 4; s.printColor = 1;
    s.clipHorzSize = 1280; s.clipVertSize = 960; s.realTimeScroll = 0; s.trigSettingMethod = 1;
    s.gridSize = 80; s.gridType = 1; s.gridColor = 7; s.backgroundColor = 9; s.cardPort = 0x3BC;
    for (int g = 0; g < kDemoGroups; ++g) s.demo[g] = {7 - g, g % 3, 1000 * (g + 1)};
    for (int b = 0; b < kMeasureButtons; ++b) s.measureKind[b] = 10 + b;
    s.workDirectory = "D:\\Captures";
    for (int d = 0; d < kThresholdSlots; ++d)
        s.thresholds[d] = {"Level " + std::to_string(d), -3000 + 100 * d, 500 + d};
    s.thresholds[31].name = std::string(kThresholdNameBytes - 1, 'N');  // the longest name that fits
    for (int k = 0; k < kStackDelays; ++k) s.dsoStackDelay[k] = 0x100000000ull * (k + 1) + k;
    s.dsoTrigPosPercent = 12.25;
    return s;
}

// --- First run ------------------------------------------------------------------------------------

TEST(SettingsFirstRun, MissingKeyGivesTheFirstRunColumn) {
    for (bool nanlyn : {false, true}) {
        SCOPED_TRACE(nanlyn ? "Nanlyn board" : "other board");
        RecordingRegistry reg;
        bool saved = true;
        const Settings s = readBoth(reg, context(nanlyn), Settings(), &saved);

        EXPECT_FALSE(saved);  // first run
        EXPECT_EQ(std::make_tuple(0, 0, 639, 479), std::make_tuple(s.windowLeft, s.windowTop, s.windowRight,
                                                                   s.windowBottom));
        EXPECT_EQ(1028, s.language);
        EXPECT_EQ(2, s.registryVersion);
        EXPECT_EQ(1141, s.printHorzRange);
        EXPECT_EQ(nanlyn ? 1 : 0, s.valueField);
        EXPECT_EQ(0, s.instFreqCh);
        EXPECT_EQ((std::vector<int32_t>{0, 1, 0, 2, 1, 2}),
                  std::vector<int32_t>(s.measureKind, s.measureKind + kMeasureButtons));
        ASSERT_EQ(4, thresholdCount(s));
        const std::pair<std::string, int32_t> builtin[] = {{"TTL", 1600}, {"ECL", -1315}, {"TTL 3.3", 1490},
                                                           {"User Define", 0}};
        for (int d = 0; d < 4; ++d)
            EXPECT_EQ(builtin[d], std::make_pair(s.thresholds[d].name, s.thresholds[d].millivolts));
        EXPECT_EQ(kProgramFolder, s.workDirectory);
        Settings demo;
        setDemoDefaults(demo);
        for (int g = 0; g < kDemoGroups; ++g) {
            EXPECT_EQ(demo.demo[g].function, s.demo[g].function);
            EXPECT_EQ(demo.demo[g].frequency, s.demo[g].frequency);
            EXPECT_EQ(0, s.demo[g].unitMode);
        }
        EXPECT_EQ(20000000, demo.demo[0].frequency);
        EXPECT_EQ(13000000, demo.demo[7].frequency);
        EXPECT_EQ(2, demo.demo[1].function);

        // Reading must neither create the key nor write anything.
        EXPECT_FALSE(reg.keyExists(kLM, kSettingsKey));
        EXPECT_TRUE(reg.written.empty());
    }
}

TEST(SettingsFirstRun, ReadersSetEveryFieldWhateverTheRecordHeld) {
    // Whether the key is missing or empty, starting from a record full of other values gives the
    // same result as starting from a fresh one: no field is left stale.
    for (bool withKey : {false, true}) {
        SCOPED_TRACE(withKey ? "empty key" : "no key");
        MemoryRegistry reg;
        if (withKey) makeKey(reg);
        Settings dirty = distinctSettings();
        expectSameFields(readBoth(reg, context()), readBoth(reg, context(), dirty));
    }
}

TEST(SettingsFirstRun, EmptyKeyGivesTheDefaultColumn) {
    MemoryRegistry reg;
    makeKey(reg);
    bool saved = true;
    const Settings s = readBoth(reg, context(true), Settings(), &saved);
    EXPECT_FALSE(saved);
    EXPECT_EQ(0, s.registryVersion);
    EXPECT_EQ(0, s.printHorzRange);
    EXPECT_EQ(1, s.valueField);
    EXPECT_EQ(1028, s.language);
    EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3, 4, 5}),
              std::vector<int32_t>(s.measureKind, s.measureKind + kMeasureButtons));
    EXPECT_EQ(0, thresholdCount(s));
    EXPECT_EQ(kProgramFolder, s.workDirectory);
    EXPECT_EQ(100000000u, s.dsoSampleRate);
    EXPECT_EQ(1000000u, s.extClkValEx);
    EXPECT_EQ(50.0, s.dsoTrigPosPercent);
    EXPECT_EQ(65000u, s.dsoStackDelay[kStackDelays - 1]);
    EXPECT_EQ(616, s.cardPort);
}

// --- Write at exit --------------------------------------------------------------------------------

TEST(SettingsWrite, EveryFieldRoundTrips) {
    MemoryRegistry reg;
    const Settings written = distinctSettings();
    writeAllSettings(reg, written);
    bool saved = false;
    const Settings back = readBoth(reg, context(true, {kProgramFolder, written.workDirectory}), Settings(), &saved);
    EXPECT_TRUE(saved);
    expectSameFields(written, back);
}

TEST(SettingsWrite, EveryValueHasItsTypeAndSize) {
    RecordingRegistry reg;
    Settings s;
    s.registryVersion = 0;  // always stored as the current layout
    writeAllSettings(reg, s);

    EXPECT_EQ(std::vector<std::string>{"Ombix Logic Analyzer"}, reg.classNames);
    ASSERT_FALSE(reg.written.empty());
    EXPECT_EQ("Registry Version", reg.written.front());
    EXPECT_EQ(2, readSettingValue(reg, "Registry Version"));

    std::set<std::string> names;
    size_t savedCount = 0;
    for (const SettingDescriptor& d : settingDescriptors()) {
        SCOPED_TRACE(d.name);
        EXPECT_TRUE(names.insert(d.name).second) << "listed twice";
        RegValue v;
        const bool present = reg.readValue(kLM, kSettingsKey, d.name, v);
        EXPECT_EQ(d.savedAtExit, present);
        if (!present) continue;
        ++savedCount;
        EXPECT_EQ(d.type, v.type);
        if (d.upToSize)
            EXPECT_LE(v.data.size(), d.size);
        else
            EXPECT_EQ(d.size, v.data.size());
    }
    EXPECT_EQ(savedCount, reg.valueNames(kLM, kSettingsKey).size());  // nothing outside the table
    EXPECT_EQ(savedCount, reg.written.size());                         // and each value once

    // The table as the rest of the program relies on it.
    auto find = [&](const std::string& name) {
        for (const SettingDescriptor& d : settingDescriptors())
            if (d.name == name) return d;
        ADD_FAILURE() << name << " not listed";
        return SettingDescriptor{};
    };
    EXPECT_EQ(kRegBinary, find("DsoSampleRate").type);
    EXPECT_EQ(8u, find("ExtClkValEx").size);
    EXPECT_EQ(kRegDword, find("ExtClkValEx").type);
    EXPECT_EQ(80u, find("DsoStackDelay").size);
    EXPECT_EQ(8u, find("DsoTrigPosPercent").size);
    EXPECT_TRUE(find("Work Directory").upToSize);
    EXPECT_EQ(256u, find("Work Directory").size);
    EXPECT_FALSE(find("Threshold Name 31").upToSize);
    EXPECT_FALSE(find("giBufSizeDemo").savedAtExit);
    for (const char* indexed : {"DemoFG7", "DemoFqMode7", "DemoFreq7", "FT5", "Threshold 31", "Threshold Real 31"})
        EXPECT_EQ(kRegDword, find(indexed).type);
}

TEST(SettingsWrite, StoredFormsAreLittleEndianFieldByField) {
    MemoryRegistry reg;
    Settings s;
    s.dsoSampleRate = 0x0102030405060708ull;
    s.extClkValEx = 0x1122334455667788ull;
    for (int k = 0; k < kStackDelays; ++k) s.dsoStackDelay[k] = 0xA0B0C0D000000000ull + k;
    s.dsoTrigPosPercent = 12.5;
    s.cardPort = 0x3BC;
    s.printOrientation = 0x70001;  // only the low half is kept
    s.thresholds[0].name = "TTL";
    s.thresholds[1].name = std::string(40, 'x');  // too long for the buffer: cut, never overflowed
    s.workDirectory = "D:\\W";
    writeAllSettings(reg, s);

    EXPECT_EQ(le(0x0102030405060708ull, 8), stored(reg, "DsoSampleRate").data);
    EXPECT_EQ(le(0x1122334455667788ull, 8), stored(reg, "ExtClkValEx").data);
    const std::vector<uint8_t> delays = stored(reg, "DsoStackDelay").data;
    ASSERT_EQ(80u, delays.size());
    EXPECT_EQ(le(0xA0B0C0D000000009ull, 8), std::vector<uint8_t>(delays.begin() + 72, delays.end()));
    uint64_t bits;
    const double half = 12.5;
    std::memcpy(&bits, &half, 8);
    EXPECT_EQ(le(bits, 8), stored(reg, "DsoTrigPosPercent").data);
    EXPECT_EQ((std::vector<uint8_t>{192, 168, 1, 100}), stored(reg, "DsoIP").data);  // the default address
    EXPECT_EQ(le(0x3BC, 4), stored(reg, "Card Port").data);
    EXPECT_EQ(le(1, 4), stored(reg, "Print Orientation").data);

    std::vector<uint8_t> ttl(kThresholdNameBytes, 0);
    std::memcpy(ttl.data(), "TTL", 3);
    EXPECT_EQ(ttl, stored(reg, "Threshold Name 0").data);
    const std::vector<uint8_t> longName = stored(reg, "Threshold Name 1").data;
    ASSERT_EQ(32u, longName.size());
    EXPECT_EQ('x', longName[30]);
    EXPECT_EQ(0, longName[31]);
    EXPECT_EQ((std::vector<uint8_t>{'D', ':', '\\', 'W', 0}), stored(reg, "Work Directory").data);
}

TEST(SettingsWrite, NothingIsWrittenWhenTheKeyCannotBeCreated) {
    RecordingRegistry reg;
    reg.failAll = true;
    writeAllSettings(reg, distinctSettings());
    reg.failAll = false;
    EXPECT_FALSE(reg.keyExists(kLM, kSettingsKey));
}

// --- Threshold list -------------------------------------------------------------------------------

TEST(SettingsThresholds, OldRegistryIsConvertedAndStoredBack) {
    RecordingRegistry reg;
    makeKey(reg);
    putText(reg, "Threshold Name 0", "TTL");
    putDword(reg, "Threshold 0", 1260);
    putText(reg, "Threshold Name 1", "Mine");  // old form missing: 1260 is assumed
    putText(reg, "Threshold Name 3", "Orphan");  // after the end of the list (no name 2)
    putDword(reg, "Threshold 3", 860);
    reg.written.clear();

    const Settings s = readBoth(reg, context());
    ASSERT_EQ(2, thresholdCount(s));
    EXPECT_EQ(1600, s.thresholds[0].millivolts);
    EXPECT_EQ(1600, s.thresholds[1].millivolts);
    EXPECT_EQ(1600, readSettingValue(reg, "Threshold Real 0"));
    EXPECT_EQ(1600, readSettingValue(reg, "Threshold Real 1"));
    EXPECT_EQ((std::vector<std::string>{"Threshold Real 0", "Threshold Real 1"}), reg.written);
    EXPECT_EQ("", s.thresholds[3].name);  // past the end: never read
    EXPECT_EQ(1260, s.thresholds[3].oldForm);
}

TEST(SettingsThresholds, ConvertedLevelsOutsideTheScaleBecome1600) {
    const std::pair<int32_t, int32_t> cases[] = {
        {1000, 1860},  {-4340, 7200}, {-4341, 1600}, {10060, -7200}, {10061, 1600},
        {INT32_MIN, 1600}, {INT32_MAX, 1600},  // 2860 - t must not overflow
    };
    MemoryRegistry reg;
    makeKey(reg);
    putDword(reg, "Registry Version", 1);
    for (size_t d = 0; d < std::size(cases); ++d) {
        putText(reg, "Threshold Name " + std::to_string(d), "T" + std::to_string(d));
        putDword(reg, "Threshold " + std::to_string(d), cases[d].first);
    }
    const Settings s = readBoth(reg, context());
    for (size_t d = 0; d < std::size(cases); ++d) {
        SCOPED_TRACE(cases[d].first);
        EXPECT_EQ(cases[d].second, s.thresholds[d].millivolts);
        EXPECT_EQ(cases[d].second, readSettingValue(reg, "Threshold Real " + std::to_string(d)));
        EXPECT_EQ(cases[d].first, s.thresholds[d].oldForm);
    }
}

TEST(SettingsThresholds, CurrentRegistryUsesTheStoredLevels) {
    RecordingRegistry reg;
    makeKey(reg);
    putDword(reg, "Registry Version", 2);
    putText(reg, "Threshold Name 0", "ECL");
    putDword(reg, "Threshold Real 0", -1315);
    putDword(reg, "Threshold 0", 99);
    putText(reg, "Threshold Name 1", "Mine");  // level missing
    reg.written.clear();

    const Settings s = readBoth(reg, context());
    EXPECT_EQ(-1315, s.thresholds[0].millivolts);
    EXPECT_EQ(99, s.thresholds[0].oldForm);
    EXPECT_EQ(1600, s.thresholds[1].millivolts);
    EXPECT_TRUE(reg.written.empty());
}

// --- Malformed values -----------------------------------------------------------------------------

TEST(SettingsMalformed, WrongTypeOrSizeCountsAsMissing) {
    MemoryRegistry reg;
    makeKey(reg);
    putDword(reg, "Registry Version", 2);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    uint64_t nanBits;
    std::memcpy(&nanBits, &nan, 8);
    put(reg, "Main Window Left", kRegBinary, le(40, 4));
    put(reg, "Wave Height", kRegBinary, le(40, 4));
    put(reg, "Grid Size", kRegDword, le(40, 2));
    put(reg, "Grid Type", kRegDword, le(40, 8));
    put(reg, "ExtClkValEx", kRegDword, le(40, 4));
    put(reg, "DsoSampleRate", kRegDword, le(40, 8));
    put(reg, "DsoStackDelay", kRegBinary, std::vector<uint8_t>(79, 1));
    put(reg, "DsoTrigPosPercent", kRegBinary, le(nanBits, 8));
    put(reg, "Work Directory", kRegSz, std::vector<uint8_t>(300, 'A'));
    put(reg, "Threshold Name 0", kRegDword, le(0x4C5454, 4));

    bool saved = true;
    const Settings s = readBoth(reg, context(), Settings(), &saved);
    EXPECT_FALSE(saved);
    EXPECT_EQ(0, s.windowLeft);
    EXPECT_EQ(24, s.waveHeight);
    EXPECT_EQ(50, s.gridSize);
    EXPECT_EQ(2, s.gridType);
    EXPECT_EQ(1000000u, s.extClkValEx);
    EXPECT_EQ(100000000u, s.dsoSampleRate);
    EXPECT_EQ(65000u, s.dsoStackDelay[0]);
    EXPECT_EQ(50.0, s.dsoTrigPosPercent);
    EXPECT_EQ(kProgramFolder, s.workDirectory);
    EXPECT_EQ(0, thresholdCount(s));
}

TEST(SettingsMalformed, StringsStayInsideTheirBuffers) {
    const std::string longFolder(kWorkDirectoryBytes - 1, 'F');
    MemoryRegistry reg;
    makeKey(reg);
    putDword(reg, "Registry Version", 2);
    put(reg, "Threshold Name 0", kRegSz, std::vector<uint8_t>(32, 'A'));  // no NUL at all
    put(reg, "Threshold Name 1", kRegSz, {'a', 'b'});                    // short, no NUL
    put(reg, "Threshold Name 2", kRegSz, {'c', 'd', 0, 'e', 'f', 0});    // stops at the first NUL
    put(reg, "Threshold Name 3", kRegSz, std::vector<uint8_t>(33, 'B'));  // too big: missing, list ends
    put(reg, "Threshold Name 4", kRegSz, {'z', 0});
    put(reg, "Work Directory", kRegSz, std::vector<uint8_t>(kWorkDirectoryBytes, 'F'));  // full, no NUL

    const Settings s = readBoth(reg, context(false, {longFolder}));
    ASSERT_EQ(3, thresholdCount(s));
    EXPECT_EQ(std::string(31, 'A'), s.thresholds[0].name);
    EXPECT_EQ("ab", s.thresholds[1].name);
    EXPECT_EQ("cd", s.thresholds[2].name);
    EXPECT_EQ(longFolder, s.workDirectory);
}

// Random type, size and bytes for every value the key may hold: the reader must stay inside every
// value's data (the sanitizers see any overread), keep its fields within their buffers, and what it
// reads must survive a write and read-back unchanged.
TEST(SettingsMalformed, RandomValuesNeverBreakTheReader) {
    std::vector<SettingDescriptor> table = settingDescriptors();
    const uint32_t types[] = {kRegNone, kRegSz, kRegBinary, kRegDword, 7, 11};
    auto exists = [](const std::string& f) { return f == kProgramFolder || f.size() % 2 == 0; };
    for (uint32_t seed = 1; seed <= 200; ++seed) {
        SCOPED_TRACE(seed);
        std::mt19937 rng(seed);
        auto pick = [&rng](uint32_t n) { return static_cast<uint32_t>(rng() % n); };
        MemoryRegistry reg;
        makeKey(reg);
        for (const SettingDescriptor& d : table) {
            if (pick(5) == 0) continue;  // missing
            const bool shaped = pick(2) == 0;
            const uint32_t type = shaped ? d.type : types[pick(std::size(types))];
            const uint32_t size = shaped && pick(4) != 0 ? d.size : pick(300);
            std::vector<uint8_t> bytes(size);
            for (uint8_t& b : bytes) b = pick(3) == 0 ? static_cast<uint8_t>(pick(256)) : static_cast<uint8_t>('!' + pick(90));
            put(reg, d.name, type, bytes);
        }
        SettingsContext ctx = context(pick(2) == 0);
        ctx.folderExists = exists;

        const Settings first = readBoth(reg, ctx);
        EXPECT_LE(thresholdCount(first), kThresholdSlots);
        for (const ThresholdEntry& t : first.thresholds) {
            EXPECT_LT(t.name.size(), static_cast<size_t>(kThresholdNameBytes));
            EXPECT_EQ(std::string::npos, t.name.find('\0'));
        }
        EXPECT_LT(first.workDirectory.size(), static_cast<size_t>(kWorkDirectoryBytes));
        EXPECT_TRUE(exists(first.workDirectory));
        EXPECT_TRUE(std::isfinite(first.dsoTrigPosPercent));
        EXPECT_EQ(0, first.printOrientation & ~0xFFFF);
        if (!ctx.nanlyn) {
            EXPECT_EQ(std::make_pair(0, 0), std::make_pair(first.valueField, first.instFreqCh));
        }

        MemoryRegistry again;
        writeAllSettings(again, first);
        Settings expected = first;
        expected.registryVersion = 2;
        expectSameFields(expected, readBoth(again, ctx));
        if (HasFailure()) return;  // one seed's report is enough
    }
}

// --- Rules over several values --------------------------------------------------------------------

TEST(SettingsRules, FullReadLeavesTheEarlyValuesToTheEarlyRead) {
    // The start-up refuses a saved language it has no dialogs for; the full read must not bring it back.
    MemoryRegistry reg;
    writeAllSettings(reg, distinctSettings());
    Settings s;
    ASSERT_TRUE(readEarlySettings(reg, s, context()));
    EXPECT_EQ(2052, s.language);
    s.language = 1033;
    s.windowLeft = 0;
    readAllSettings(reg, s, context());
    EXPECT_EQ(1033, s.language);
    EXPECT_EQ(0, s.windowLeft);
    EXPECT_EQ(30, s.waveHeight);  // while the rest of the key was read
}

TEST(SettingsRules, DeletedWorkDirectoryFallsBackToTheProgramFolder) {
    MemoryRegistry reg;
    makeKey(reg);
    putText(reg, "Work Directory", "D:\\Gone");
    Settings s = readBoth(reg, context());
    EXPECT_EQ(kProgramFolder, s.workDirectory);
    writeAllSettings(reg, s);  // and the program folder is what the next run finds
    EXPECT_EQ(kProgramFolder, readBoth(reg, context()).workDirectory);

    putText(reg, "Work Directory", "D:\\Kept");
    EXPECT_EQ("D:\\Kept", readBoth(reg, context(false, {"D:\\Kept"})).workDirectory);
}

TEST(SettingsRules, WindowRectangleIsPutBackOnTheScreen) {
    struct Case {
        int left, top, right, bottom;
        int expLeft, expTop, expRight, expBottom;
    };
    // 1024 x 768 screen, 1024 x 740 full-screen area.
    const Case cases[] = {
        {5000, 10, 800, 600, 0, 10, 800, 600},   // left off the screen
        {1004, 10, 800, 600, 0, 10, 800, 600},   // exactly screen width - 20
        {1003, 10, 1020, 600, 1003, 10, 1020, 600},
        {10, 748, 800, 600, 10, 0, 800, 600},    // top at screen height - 20
        {-5, 10, 800, 600, 0, 0, 1024, 740},     // negative: whole work area
        {10, -1, 800, 600, 0, 0, 1024, 740},
        {10, 10, 1025, 600, 0, 0, 1024, 740},    // right beyond the full-screen width
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.left << "," << c.top << "," << c.right);
        MemoryRegistry reg;
        makeKey(reg);
        putDword(reg, "Main Window Left", c.left);
        putDword(reg, "Main Window Top", c.top);
        putDword(reg, "Main Window Right", c.right);
        putDword(reg, "Main Window Bottom", c.bottom);
        Settings s;
        EXPECT_TRUE(readEarlySettings(reg, s, context()));
        validateWindowRect(s, 1024, 768, 1024, 740);
        EXPECT_EQ(std::make_tuple(c.expLeft, c.expTop, c.expRight, c.expBottom),
                  std::make_tuple(s.windowLeft, s.windowTop, s.windowRight, s.windowBottom));
    }
}

TEST(SettingsRules, DemoGroupsResetByKind) {
    Settings defaults;
    setDemoDefaults(defaults);
    MemoryRegistry reg;
    makeKey(reg);
    for (int g = 0; g < kDemoGroups; ++g) {
        if (g != 3) putDword(reg, "DemoFG" + std::to_string(g), 6);
        putDword(reg, "DemoFreq" + std::to_string(g), 1000 + g);
        if (g != 5) putDword(reg, "DemoFqMode" + std::to_string(g), 2);
    }
    const Settings s = readBoth(reg, context());
    for (int g = 0; g < kDemoGroups; ++g) {
        SCOPED_TRACE(g);
        EXPECT_EQ(defaults.demo[g].function, s.demo[g].function);  // one kind missing: all eight reset
        EXPECT_EQ(1000 + g, s.demo[g].frequency);                  // frequencies all present: kept
        EXPECT_EQ(g == 5 ? 0 : 2, s.demo[g].unitMode);             // a missing mode alone becomes 0
    }

    ASSERT_TRUE(reg.deleteValue(kLM, kSettingsKey, "DemoFreq7"));
    putDword(reg, "DemoFG3", 6);
    const Settings t = readBoth(reg, context());
    for (int g = 0; g < kDemoGroups; ++g) {
        EXPECT_EQ(6, t.demo[g].function);
        EXPECT_EQ(defaults.demo[g].frequency, t.demo[g].frequency);
    }
}

TEST(SettingsRules, MeasuringButtonsAreAllOrNone) {
    MemoryRegistry reg;
    makeKey(reg);
    for (int b = 0; b < kMeasureButtons; ++b) putDword(reg, "FT" + std::to_string(b), 9);
    EXPECT_EQ(9, readBoth(reg, context()).measureKind[5]);
    ASSERT_TRUE(reg.deleteValue(kLM, kSettingsKey, "FT4"));
    const Settings s = readBoth(reg, context());
    EXPECT_EQ((std::vector<int32_t>{0, 1, 2, 3, 4, 5}),
              std::vector<int32_t>(s.measureKind, s.measureKind + kMeasureButtons));
}

TEST(SettingsRules, InstantStatusOptionsOnlyForNanlynBoards) {
    MemoryRegistry reg;
    makeKey(reg);
    putDword(reg, "Value Field", 2);
    putDword(reg, "Inst Freq Ch", 5);
    const Settings nanlyn = readBoth(reg, context(true));
    EXPECT_EQ(std::make_pair(2, 5), std::make_pair(nanlyn.valueField, nanlyn.instFreqCh));
    const Settings other = readBoth(reg, context(false));
    EXPECT_EQ(std::make_pair(0, 0), std::make_pair(other.valueField, other.instFreqCh));
}

TEST(SettingsRules, SixteenBitValuesKeepTheLowHalf) {
    MemoryRegistry reg;
    makeKey(reg);
    putDword(reg, "Card Port", 0xABCD0300);
    putDword(reg, "Print Orientation", 0x00020001);
    const Settings s = readBoth(reg, context());
    EXPECT_EQ(0x300, s.cardPort);
    EXPECT_EQ(1, s.printOrientation);
}

// --- Values on their own --------------------------------------------------------------------------

TEST(SettingsSingleValue, ReadAndWriteOneValue) {
    MemoryRegistry reg;
    EXPECT_EQ(-1, readSettingValue(reg, "Wave Height"));
    EXPECT_FALSE(writeSettingValue(reg, "Wave Height", 30));
    EXPECT_FALSE(reg.keyExists(kLM, kSettingsKey));  // gave up without creating the key

    makeKey(reg);
    EXPECT_EQ(-1, readSettingValue(reg, "Wave Height"));
    EXPECT_TRUE(writeSettingValue(reg, "Wave Height", 30));
    EXPECT_EQ(30, readSettingValue(reg, "Wave Height"));
    EXPECT_EQ(le(30, 4), stored(reg, "Wave Height").data);
    EXPECT_EQ(kRegDword, stored(reg, "Wave Height").type);

    put(reg, "ExtClkValEx", kRegDword, le(7, 8));  // not a 32-bit value
    EXPECT_EQ(-1, readSettingValue(reg, "ExtClkValEx"));
}

TEST(SettingsSingleValue, DemoBufferSize) {
    MemoryRegistry reg;
    EXPECT_EQ(40000, readDemoBufferSize(reg));
    makeKey(reg);
    const std::pair<int32_t, int32_t> cases[] = {{8000, 8000}, {0, 40000}, {-8, 40000}, {1, 1}};
    for (const auto& c : cases) {
        ASSERT_TRUE(writeSettingValue(reg, "giBufSizeDemo", c.first));
        EXPECT_EQ(c.second, readDemoBufferSize(reg));
    }
    writeAllSettings(reg, Settings());  // the environment dialog owns it, not the write at exit
    EXPECT_EQ(1, readDemoBufferSize(reg));
}

}  // namespace
}  // namespace kv
