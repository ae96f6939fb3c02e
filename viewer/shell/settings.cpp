// The settings key as one table of value descriptors: the early read, the full read, the write at exit
// and the descriptor list all walk the same rows, so a value's name, type, size and defaults are
// written down exactly once. The few rules that span several values (demo groups, measuring buttons,
// the threshold list, Nanlyn-only options, the work directory) run after the walk.
#include "viewer/shell/settings.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace kv {

const char* const kSettingsKey = "SOFTWARE\\Ombix\\KV\\System";
const char* const kSettingsKeyClass = "Ombix Logic Analyzer";

namespace {

constexpr RegRoot kRoot = RegRoot::LocalMachine;

const char* const kMainWindowLeft = "Main Window Left";
const char* const kThresholdRealPrefix = "Threshold Real ";
const char* const kBufSizeDemo = "giBufSizeDemo";

constexpr int32_t kDemoBufferDefault = 40000;
constexpr int32_t kCurrentRegistryVersion = 2;

// Old thresholds were stored as the board's DAC word; the level is this minus the word, in mV.
constexpr int64_t kOldThresholdBase = 2860;
constexpr int64_t kThresholdLimit = 7200;
constexpr int32_t kThresholdFallback = 1600;

const int32_t kDemoKindDefaults[kDemoGroups] = {0, 2, 1, 2, 2, 1, 2, 0};
const int32_t kDemoFrequencyDefaults[kDemoGroups] = {20000000, 19000000, 18000000, 17000000,
                                                      16000000, 15000000, 14000000, 13000000};
const int32_t kMeasureDefaults[kMeasureButtons] = {0, 1, 2, 3, 4, 5};
const int32_t kMeasureFirstRun[kMeasureButtons] = {0, 1, 0, 2, 1, 2};
// The built-in threshold list of a first run: three logic families and the user-defined level.
const char* const kBuiltinThresholdNames[] = {"TTL", "ECL", "TTL 3.3", "User Define"};
const int32_t kBuiltinThresholdLevels[] = {1600, -1315, 1490, 0};

// Where one value lives in the record, with the kind of storage it has there.
struct FieldRef {
    enum Kind : uint8_t { I32, U16, U32, U64, F64, U64Array, Text };
    Kind kind;
    void* p;
    FieldRef(int32_t& v) : kind(I32), p(&v) {}
    FieldRef(uint16_t& v) : kind(U16), p(&v) {}
    FieldRef(uint32_t& v) : kind(U32), p(&v) {}
    FieldRef(uint64_t& v) : kind(U64), p(&v) {}
    FieldRef(double& v) : kind(F64), p(&v) {}
    FieldRef(uint64_t (&v)[kStackDelays]) : kind(U64Array), p(v) {}
    FieldRef(std::string& v) : kind(Text), p(&v) {}
};

// What a value takes when it is missing: a number (for arrays each element, for a double the same
// whole number), optionally a different one per instance, texts per instance, or a value of the
// program around the reader.
struct Default {
    enum Source : uint8_t { Number, SystemLanguage, ProgramFolder };
    Source source = Number;
    int64_t number = 0;
    const int32_t* perIndex = nullptr;   // instance i takes perIndex[i] while i < perIndexCount
    int perIndexCount = 0;
    const char* const* texts = nullptr;  // instance i takes texts[i] while i < textCount, else ""
    int textCount = 0;
};

constexpr Default num(int64_t n) {
    Default d{};
    d.number = n;
    return d;
}
template <size_t N>
constexpr Default perIndex(const int32_t (&values)[N], int64_t beyond = 0) {
    Default d{};
    d.number = beyond;
    d.perIndex = values;
    d.perIndexCount = static_cast<int>(N);
    return d;
}
template <size_t N>
constexpr Default texts(const char* const (&values)[N]) {
    Default d{};
    d.texts = values;
    d.textCount = static_cast<int>(N);
    return d;
}
constexpr Default from(Default::Source source) {
    Default d{};
    d.source = source;
    return d;
}

enum class Pass : uint8_t { Early, Full, OnDemand };

enum : uint8_t {
    kAllOrNone = 1,   // one instance missing makes every instance take its default
    kNanlynOnly = 2,  // forced to 0 unless the open board is a Nanlyn board
    kLow16 = 4,       // only the low 16 bits mean anything
    kPadded = 8,      // a string written as the whole fixed-size buffer
    kListEntry = 16,  // part of a threshold-list entry: entries past the list's end take defaults
};

struct ValueDesc {
    const char* name;   // an indexed value's name is this followed by the decimal index
    int count;          // 1 for a single value, else the instances 0 .. count-1
    uint32_t type;
    uint32_t size;      // exact data size; for strings the largest accepted
    Pass pass;
    uint8_t flags;
    FieldRef (*at)(Settings&, int);
    Default dflt;       // a missing value
    Default noKey;      // every value when the key is missing (first run)
};

#define KV_FIELD(expr) [](Settings& s, [[maybe_unused]] int i) -> FieldRef { return s.expr; }

// Every value of the key in the order of the write at exit: "Registry Version" comes first so that a
// write cut short never leaves new thresholds under an old version number.
const ValueDesc kValues[] = {
    {"Registry Version", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(registryVersion), num(0), num(2)},
    {kMainWindowLeft, 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(windowLeft), num(0), num(0)},
    {"Main Window Top", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(windowTop), num(0), num(0)},
    {"Main Window Right", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(windowRight), num(639), num(639)},
    {"Main Window Bottom", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(windowBottom), num(479), num(479)},
    {"Max Flag", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(maxFlag), num(0), num(0)},
    {"Language", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(language), from(Default::SystemLanguage),
     from(Default::SystemLanguage)},
    {"Current H/W", 1, kRegDword, 4, Pass::Early, 0, KV_FIELD(currentHw), num(0), num(0)},
    {"Wave Height", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(waveHeight), num(24), num(24)},
    {"System Warn 1", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(systemWarn1), num(1), num(1)},
    {"Value Field", 1, kRegDword, 4, Pass::Full, kNanlynOnly, KV_FIELD(valueField), num(1), num(1)},
    {"Inst Freq Ch", 1, kRegDword, 4, Pass::Full, kNanlynOnly, KV_FIELD(instFreqCh), num(0), num(0)},
    {"System WaveTiming", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(systemWaveTiming), num(0), num(0)},
    {"Electric Grid", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(electricGrid), num(1), num(1)},
    {"Trig Bell", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(trigBell), num(0), num(0)},
    {"Full Bell", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(fullBell), num(0), num(0)},
    {"WavePartition", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(wavePartition), num(1), num(1)},
    {"Inertial", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(inertial), num(0), num(0)},
    {"DsoFitHeight", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(dsoFitHeight), num(1), num(1)},
    {"DsoBrand", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(dsoBrand), num(0), num(0)},
    {"DsoIP", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(dsoIp), num(kDefaultDsoIp), num(kDefaultDsoIp)},
    {"DsoSrType", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(dsoSrType), num(0), num(0)},
    {"DsoSampleRate", 1, kRegBinary, 8, Pass::Full, 0, KV_FIELD(dsoSampleRate), num(100000000),
     num(100000000)},
    // A DWORD in name only: the clock value outgrew 32 bits and kept its registry type.
    {"ExtClkValEx", 1, kRegDword, 8, Pass::Full, 0, KV_FIELD(extClkValEx), num(1000000), num(1000000)},
    {"Part Menu", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(partMenu), num(1), num(1)},
    {"Print Orientation", 1, kRegDword, 4, Pass::Full, kLow16, KV_FIELD(printOrientation), num(2), num(2)},
    {"Print Vert Range", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printVertRange), num(1149), num(1149)},
    {"Print Horz Range", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printHorzRange), num(0), num(1141)},
    {"Print Option", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printOption), num(1145), num(1145)},
    {"Print Horz Size", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printHorzSize), num(5), num(5)},
    {"Print Vert Size", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printVertSize), num(7), num(7)},
    {"Print Grid Size", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printGridSize), num(0), num(0)},
    {"Print Color", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(printColor), num(0), num(0)},
    {"ClipHorzSize", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(clipHorzSize), num(640), num(640)},
    {"ClipVertSize", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(clipVertSize), num(480), num(480)},
    {"Real Time Scroll", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(realTimeScroll), num(1), num(1)},
    {"Trig Setting Method", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(trigSettingMethod), num(0), num(0)},
    {"Grid Size", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(gridSize), num(50), num(50)},
    {"Grid Type", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(gridType), num(2), num(2)},
    {"Grid Color", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(gridColor), num(3), num(3)},
    {"Background Color", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(backgroundColor), num(0), num(0)},
    // An ISA I/O port: the field is 16 bits wide, so only the low half of the DWORD survives.
    {"Card Port", 1, kRegDword, 4, Pass::Full, 0, KV_FIELD(cardPort), num(0x268), num(0x268)},
    {"DemoFG", kDemoGroups, kRegDword, 4, Pass::Full, kAllOrNone, KV_FIELD(demo[i].function),
     perIndex(kDemoKindDefaults), perIndex(kDemoKindDefaults)},
    {"DemoFqMode", kDemoGroups, kRegDword, 4, Pass::Full, 0, KV_FIELD(demo[i].unitMode), num(0), num(0)},
    {"DemoFreq", kDemoGroups, kRegDword, 4, Pass::Full, kAllOrNone, KV_FIELD(demo[i].frequency),
     perIndex(kDemoFrequencyDefaults), perIndex(kDemoFrequencyDefaults)},
    {"FT", kMeasureButtons, kRegDword, 4, Pass::Full, kAllOrNone, KV_FIELD(measureKind[i]),
     perIndex(kMeasureDefaults), perIndex(kMeasureFirstRun)},
    {"Work Directory", 1, kRegSz, kWorkDirectoryBytes, Pass::Full, 0, KV_FIELD(workDirectory),
     from(Default::ProgramFolder), from(Default::ProgramFolder)},
    {"Threshold Name ", kThresholdSlots, kRegSz, kThresholdNameBytes, Pass::Full, kPadded | kListEntry,
     KV_FIELD(thresholds[i].name), num(0), texts(kBuiltinThresholdNames)},
    {kThresholdRealPrefix, kThresholdSlots, kRegDword, 4, Pass::Full, kListEntry,
     KV_FIELD(thresholds[i].millivolts), num(kThresholdFallback),
     perIndex(kBuiltinThresholdLevels, kThresholdFallback)},
    {"Threshold ", kThresholdSlots, kRegDword, 4, Pass::Full, kListEntry, KV_FIELD(thresholds[i].oldForm),
     num(1260), num(1260)},
    {"DsoStackDelay", 1, kRegBinary, 8 * kStackDelays, Pass::Full, 0, KV_FIELD(dsoStackDelay), num(65000),
     num(65000)},
    {"DsoTrigPosPercent", 1, kRegBinary, 8, Pass::Full, 0, KV_FIELD(dsoTrigPosPercent), num(50), num(50)},
    {kBufSizeDemo, 1, kRegDword, 4, Pass::OnDemand, 0, KV_FIELD(bufSizeDemo), num(kDemoBufferDefault),
     num(kDemoBufferDefault)},
};

#undef KV_FIELD

std::string instanceName(const ValueDesc& v, int i) {
    return v.count == 1 ? std::string(v.name) : v.name + std::to_string(i);
}

uint64_t loadLE(const uint8_t* p, size_t n) {
    uint64_t x = 0;
    for (size_t k = n; k-- > 0;) x = x << 8 | p[k];
    return x;
}

void storeLE(std::vector<uint8_t>& out, uint64_t x, size_t n) {
    for (size_t k = 0; k < n; ++k) out.push_back(static_cast<uint8_t>(x >> (8 * k)));
}

uint64_t getNumber(FieldRef f) {
    switch (f.kind) {
        case FieldRef::I32: return static_cast<uint32_t>(*static_cast<int32_t*>(f.p));
        case FieldRef::U16: return *static_cast<uint16_t*>(f.p);
        case FieldRef::U32: return *static_cast<uint32_t*>(f.p);
        case FieldRef::U64: return *static_cast<uint64_t*>(f.p);
        default: return 0;
    }
}

void setNumber(FieldRef f, uint64_t x) {
    switch (f.kind) {
        case FieldRef::I32: *static_cast<int32_t*>(f.p) = static_cast<int32_t>(static_cast<uint32_t>(x)); break;
        case FieldRef::U16: *static_cast<uint16_t*>(f.p) = static_cast<uint16_t>(x); break;
        case FieldRef::U32: *static_cast<uint32_t*>(f.p) = static_cast<uint32_t>(x); break;
        case FieldRef::U64: *static_cast<uint64_t*>(f.p) = x; break;
        default: break;
    }
}

void applyDefault(const ValueDesc& v, int i, const Default& d, const SettingsContext& ctx, Settings& s) {
    const FieldRef f = v.at(s, i);
    if (d.source == Default::SystemLanguage) {
        setNumber(f, ctx.systemLanguage);
        return;
    }
    if (d.source == Default::ProgramFolder) {
        if (f.kind == FieldRef::Text) *static_cast<std::string*>(f.p) = ctx.programFolder;
        return;
    }
    const int64_t n = i < d.perIndexCount ? d.perIndex[i] : d.number;
    switch (f.kind) {
        case FieldRef::F64: *static_cast<double*>(f.p) = static_cast<double>(n); break;
        case FieldRef::U64Array:
            for (int k = 0; k < kStackDelays; ++k) static_cast<uint64_t*>(f.p)[k] = static_cast<uint64_t>(n);
            break;
        case FieldRef::Text: *static_cast<std::string*>(f.p) = i < d.textCount ? d.texts[i] : ""; break;
        default: setNumber(f, static_cast<uint64_t>(n)); break;
    }
}

// Takes a stored value into its field. False, with the field untouched, when the type or size is not
// the table's: such a value counts as missing. Strings may be shorter than the table's size and need
// not end in a NUL; they are cut where one would no longer fit the fixed buffers.
bool decode(const ValueDesc& v, const RegValue& stored, FieldRef f) {
    if (stored.type != v.type) return false;
    const size_t n = stored.data.size();
    const uint8_t* b = stored.data.data();
    if (f.kind == FieldRef::Text) {
        if (n > v.size) return false;
        size_t len = 0;
        while (len < n && len + 1 < v.size && b[len] != 0) ++len;
        static_cast<std::string*>(f.p)->assign(reinterpret_cast<const char*>(b), len);
        return true;
    }
    if (n != v.size) return false;
    switch (f.kind) {
        case FieldRef::F64: {
            const uint64_t bits = loadLE(b, 8);
            double x;
            std::memcpy(&x, &bits, sizeof x);
            if (!std::isfinite(x)) return false;  // no percentage; later arithmetic would be undefined
            *static_cast<double*>(f.p) = x;
            return true;
        }
        case FieldRef::U64Array:
            if (n != 8u * kStackDelays) return false;
            for (int k = 0; k < kStackDelays; ++k) static_cast<uint64_t*>(f.p)[k] = loadLE(b + 8 * k, 8);
            return true;
        default: {
            if (n != 4 && n != 8) return false;
            uint64_t x = loadLE(b, n);
            if (v.flags & kLow16) x &= 0xFFFF;
            setNumber(f, x);
            return true;
        }
    }
}

std::vector<uint8_t> encode(const ValueDesc& v, FieldRef f) {
    std::vector<uint8_t> out;
    switch (f.kind) {
        case FieldRef::F64: {
            uint64_t bits;
            std::memcpy(&bits, f.p, sizeof bits);
            storeLE(out, bits, 8);
            break;
        }
        case FieldRef::U64Array:
            for (int k = 0; k < kStackDelays; ++k) storeLE(out, static_cast<uint64_t*>(f.p)[k], 8);
            break;
        case FieldRef::Text: {
            const std::string& text = *static_cast<std::string*>(f.p);
            const size_t len = std::min<size_t>(std::strlen(text.c_str()), v.size - 1);
            out.assign(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(len));
            out.push_back(0);
            if (v.flags & kPadded) out.resize(v.size, 0);
            break;
        }
        default: {
            uint64_t x = getNumber(f);
            if (v.flags & kLow16) x &= 0xFFFF;
            storeLE(out, x, v.size);
            break;
        }
    }
    return out;
}

// Reads every instance of one row; missing ones take the row's default, all of them for a row whose
// instances only make sense together. Returns whether every instance was present.
bool readRow(Registry& reg, const ValueDesc& v, Settings& s, const SettingsContext& ctx) {
    std::vector<bool> present(static_cast<size_t>(v.count));
    bool all = true;
    for (int i = 0; i < v.count; ++i) {
        RegValue stored;
        present[i] = reg.readValue(kRoot, kSettingsKey, instanceName(v, i), stored) && decode(v, stored, v.at(s, i));
        all = all && present[i];
    }
    for (int i = 0; i < v.count; ++i)
        if (!present[i] || (!all && (v.flags & kAllOrNone))) applyDefault(v, i, v.dflt, ctx, s);
    return all;
}

void firstRunRow(const ValueDesc& v, Settings& s, const SettingsContext& ctx) {
    for (int i = 0; i < v.count; ++i) applyDefault(v, i, v.noKey, ctx, s);
}

// The list ends at the first empty name; entries past it were never meant to be read. An older key
// holds the thresholds in their old form, converted here and stored back in the new one at once.
void settleThresholdList(Registry& reg, bool keyOpen, Settings& s, const SettingsContext& ctx) {
    const int listed = thresholdCount(s);
    for (const ValueDesc& v : kValues)
        if (v.flags & kListEntry)
            for (int d = listed; d < v.count; ++d) applyDefault(v, d, v.dflt, ctx, s);
    if (!keyOpen || s.registryVersion >= kCurrentRegistryVersion) return;
    for (int d = 0; d < listed; ++d) {
        int64_t mv = kOldThresholdBase - s.thresholds[d].oldForm;
        if (mv < -kThresholdLimit || mv > kThresholdLimit) mv = kThresholdFallback;
        s.thresholds[d].millivolts = static_cast<int32_t>(mv);
        regWriteDword(reg, kRoot, kSettingsKey, kThresholdRealPrefix + std::to_string(d),
                      static_cast<uint32_t>(s.thresholds[d].millivolts));
    }
}

}  // namespace

void setDemoDefaults(Settings& s) {
    for (int g = 0; g < kDemoGroups; ++g) s.demo[g] = {kDemoKindDefaults[g], 0, kDemoFrequencyDefaults[g]};
}

int thresholdCount(const Settings& s) {
    int n = 0;
    while (n < kThresholdSlots && !s.thresholds[n].name.empty()) ++n;
    return n;
}

bool readEarlySettings(Registry& reg, Settings& s, const SettingsContext& ctx) {
    const bool keyOpen = reg.keyExists(kRoot, kSettingsKey);
    bool windowSaved = false;
    for (const ValueDesc& v : kValues) {
        if (v.pass != Pass::Early) continue;
        if (!keyOpen) {
            firstRunRow(v, s, ctx);
            continue;
        }
        const bool present = readRow(reg, v, s, ctx);
        if (std::strcmp(v.name, kMainWindowLeft) == 0) windowSaved = present;
    }
    return windowSaved;
}

void validateWindowRect(Settings& s, int screenWidth, int screenHeight, int fullWidth, int fullHeight) {
    if (s.windowLeft >= screenWidth - 20) s.windowLeft = 0;
    if (s.windowTop >= screenHeight - 20) s.windowTop = 0;
    if (s.windowLeft < 0 || s.windowTop < 0 || s.windowRight > fullWidth) {
        s.windowLeft = 0;
        s.windowTop = 0;
        s.windowRight = fullWidth;
        s.windowBottom = fullHeight;
    }
}

void readAllSettings(Registry& reg, Settings& s, const SettingsContext& ctx) {
    const bool keyOpen = reg.keyExists(kRoot, kSettingsKey);
    for (const ValueDesc& v : kValues) {
        if (v.pass != Pass::Full) continue;
        if (keyOpen)
            readRow(reg, v, s, ctx);
        else
            firstRunRow(v, s, ctx);
    }
    settleThresholdList(reg, keyOpen, s, ctx);
    if (!ctx.nanlyn)
        for (const ValueDesc& v : kValues)
            if (v.flags & kNanlynOnly)
                for (int i = 0; i < v.count; ++i) setNumber(v.at(s, i), 0);
    // Files are saved to and loaded from here: a folder deleted since the last run must not be kept.
    if (s.workDirectory.empty() || (ctx.folderExists && !ctx.folderExists(s.workDirectory)))
        s.workDirectory = ctx.programFolder;
}

void writeAllSettings(Registry& reg, const Settings& s) {
    if (!reg.createKey(kRoot, kSettingsKey, kSettingsKeyClass)) return;
    Settings out = s;
    out.registryVersion = kCurrentRegistryVersion;
    for (const ValueDesc& v : kValues) {
        if (v.pass == Pass::OnDemand) continue;
        for (int i = 0; i < v.count; ++i) {
            const std::vector<uint8_t> data = encode(v, v.at(out, i));
            reg.writeValue(kRoot, kSettingsKey, instanceName(v, i), v.type, data.data(), data.size());
        }
    }
}

int32_t readSettingValue(Registry& reg, const std::string& name) {
    uint32_t value;
    if (!regReadDword(reg, kRoot, kSettingsKey, name, value)) return -1;
    return static_cast<int32_t>(value);
}

bool writeSettingValue(Registry& reg, const std::string& name, int32_t value) {
    if (!reg.keyExists(kRoot, kSettingsKey)) return false;
    if (!reg.createKey(kRoot, kSettingsKey, kSettingsKeyClass)) return false;
    return regWriteDword(reg, kRoot, kSettingsKey, name, static_cast<uint32_t>(value));
}

int32_t readDemoBufferSize(Registry& reg) {
    const int32_t bytes = readSettingValue(reg, kBufSizeDemo);
    return bytes > 0 ? bytes : kDemoBufferDefault;
}

std::vector<SettingDescriptor> settingDescriptors() {
    std::vector<SettingDescriptor> out;
    for (const ValueDesc& v : kValues) {
        const bool upTo = v.type == kRegSz && !(v.flags & kPadded);
        for (int i = 0; i < v.count; ++i)
            out.push_back({instanceName(v, i), v.type, v.size, upTo, v.pass != Pass::OnDemand});
    }
    return out;
}

}  // namespace kv
