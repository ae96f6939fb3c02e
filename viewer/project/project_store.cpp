#include "viewer/project/project_store.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "viewer/shell/settings.h"

namespace kv {

const char* const kProjectKey = "SOFTWARE\\Ombix\\KV\\Project";
const char* const kDefaultProjectName = "Default";

namespace {

constexpr RegRoot kRoot = RegRoot::LocalMachine;

const char* const kNameWidth = "Name Width";
const char* const kValueWidth = "Value Width";
const char* const kChannelWidth = "Channel Width";
const char* const kRemarkWidth = "Remark Width";
const char* const kStartTime = "Start Time";
const char* const kStartChannel = "Start Channel";
const char* const kFlag = "Flag";
const char* const kZoomIn = "Zoom In";
const char* const kFlagSuffix = " flag";

// Registry key names compare without regard to case (ASCII letters; the names are ANSI).
bool sameKeyName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return false;
    }
    return true;
}

int32_t savedWidth(int32_t w) { return std::max<int32_t>(w, kMinColumnWidth); }
int32_t loadedWidth(int32_t w) { return std::clamp<int32_t>(w, kMinColumnWidth, kMaxColumnWidth); }

}  // namespace

std::string projectKeyOf(const std::string& name) { return std::string(kProjectKey) + "\\" + name; }

std::string startupProjectName(int deviceIndex, uint32_t productCode) {
    if (deviceIndex < 0) return kDefaultProjectName;
    char text[16];
    std::snprintf(text, sizeof text, "%04X", static_cast<unsigned>(productCode));
    return text;
}

std::string labelFilePath(const std::string& workDirectory, const std::string& name) {
    return workDirectory + "\\" + name + ".SIG";
}

std::string trimProjectName(const std::string& text) {
    size_t end = text.size();
    while (end > 0 && (text[end - 1] == ' ' || text[end - 1] == '\t')) --end;
    return text.substr(0, end);
}

int checkSaveName(const std::string& name) {
    if (name.empty()) return kStrNoProjectName;
    if (name.size() > static_cast<size_t>(kProjectNameMax)) return kStrProjectNameLong;
    if (sameKeyName(name, kDefaultProjectName)) return kStrNoDefaultName;
    // The name is a registry key below the project key and a file name in the work directory: a
    // backslash would make a nested key that no list shows, the others a file that cannot exist.
    for (char c : name)
        if (static_cast<unsigned char>(c) < 32 || std::strchr("\\/:*?\"<>|", c)) return kStrProjectNameChars;
    return 0;
}

int checkDeleteName(const std::string& name, const std::vector<std::string>& listed) {
    if (name.empty()) return kStrNoProjectNameLoad;
    if (sameKeyName(name, kDefaultProjectName)) return kStrCannotDeleteDefault;
    if (findProject(listed, name) < 0) return kStrCannotDeleteName;
    return 0;
}

int findProject(const std::vector<std::string>& listed, const std::string& name) {
    for (size_t i = 0; i < listed.size(); ++i)
        if (sameKeyName(listed[i], name)) return static_cast<int>(i);
    return -1;
}

std::vector<std::string> listProjects(Registry& reg) {
    std::vector<std::string> names;
    for (std::string& n : reg.subkeys(kRoot, kProjectKey))
        if (!sameKeyName(n, kDefaultProjectName)) names.push_back(std::move(n));
    return names;
}

int32_t sanitizeRowHeight(int32_t height) {
    return height >= 0 && height <= kMaxRowHeight ? height : kFallbackRowHeight;
}

bool parseLabelFile(const uint8_t* data, size_t size, LabelTable& table) {
    const size_t records = data ? size / kLabelRecordBytes : 0;
    // The table must end inside the file: a file cut short is not taken for a shorter table.
    size_t end = 0;
    while (end < records && end <= static_cast<size_t>(kMaxLabels) &&
           readLabelEntry(data + end * kLabelRecordBytes).kind != kLabelEnd)
        ++end;
    if (end >= records || end > static_cast<size_t>(kMaxLabels)) return false;
    return readLabelTable(data, end + 1, table);
}

bool ProjectValues::putDword(const std::string& name, uint32_t value) {
    return regWriteDword(reg_, kRoot, key_, name, value);
}

bool ProjectValues::putString(const std::string& name, const std::string& value) {
    return reg_.writeValue(kRoot, key_, name, kRegSz, value.c_str(), value.size() + 1);
}

bool ProjectValues::getDword(std::initializer_list<const char*> names, uint32_t& out) {
    for (const char* n : names)
        if (regReadDword(reg_, kRoot, key_, n, out)) return true;
    return false;
}

int32_t ProjectValues::dwordOr(std::initializer_list<const char*> names, int32_t fallback) {
    uint32_t v = 0;
    return getDword(names, v) ? static_cast<int32_t>(v) : fallback;
}

bool ProjectValues::getString(const std::string& name, std::string& out, size_t maxBytes) {
    RegValue v;
    if (!reg_.readValue(kRoot, key_, name, v) || v.type != kRegSz) return false;
    const auto* begin = reinterpret_cast<const char*>(v.data.data());
    const size_t length = std::min<size_t>(std::find(begin, begin + v.data.size(), '\0') - begin, maxBytes);
    out.assign(begin, length);
    return true;
}

bool writeProjectView(ProjectValues& values, const ProjectView& v) {
    const WaveView& w = v.view;
    bool ok = values.putDword(kNameWidth, static_cast<uint32_t>(savedWidth(w.nameWidth)));
    ok = values.putDword(kValueWidth, static_cast<uint32_t>(savedWidth(w.valueWidth))) && ok;
    ok = values.putDword(kChannelWidth, static_cast<uint32_t>(savedWidth(w.channelWidth))) && ok;
    ok = values.putDword(kRemarkWidth, static_cast<uint32_t>(savedWidth(w.remarkWidth))) && ok;
    ok = values.putDword(kStartTime, static_cast<uint32_t>(w.firstSample)) && ok;
    ok = values.putDword(kStartChannel, static_cast<uint32_t>(w.firstRow)) && ok;
    ok = values.putDword(kCursorFocusValueName, static_cast<uint32_t>(v.cursors.focus)) && ok;
    for (int i = 0; i < kCursorCount; ++i) {
        const Cursor& c = v.cursors.cursors[i];
        ok = values.putDword(kCursorValueNames[i], static_cast<uint32_t>(c.position)) && ok;
        ok = values.putDword(std::string(kCursorValueNames[i]) + kFlagSuffix, c.flags) && ok;
    }
    ok = values.putDword(kFlag, v.displayFlags) && ok;
    ok = values.putDword(kZoomIn, static_cast<uint32_t>(encodeZoom(w))) && ok;
    return ok;
}

void readProjectView(ProjectValues& values, ProjectView& v) {
    WaveView& w = v.view;
    w.nameWidth = loadedWidth(values.dwordOr({kNameWidth}, w.nameWidth));
    w.valueWidth = loadedWidth(values.dwordOr({kValueWidth}, w.valueWidth));
    w.channelWidth = loadedWidth(values.dwordOr({kChannelWidth}, w.channelWidth));
    // The remark band may be absent (0); its upper bound is the view's height, known when drawn.
    w.remarkWidth = std::clamp<int32_t>(values.dwordOr({kRemarkWidth}, w.remarkWidth), 0, kMaxColumnWidth);
    w.firstSample = std::max<int32_t>(values.dwordOr({kStartTime}, w.firstSample), 0);
    w.firstRow = std::max<int32_t>(values.dwordOr({kStartChannel}, w.firstRow), 0);
    uint32_t zoom = 0;
    const bool zoomPresent = values.getDword({kZoomIn}, zoom);
    decodeZoom(w, zoomPresent, static_cast<int32_t>(zoom));

    const int32_t focus = values.dwordOr({kCursorFocusValueName}, v.cursors.focus);
    if (focus >= 0 && focus < kCursorCount) v.cursors.focus = focus;
    for (int i = 0; i < kCursorCount; ++i) {
        Cursor& c = v.cursors.cursors[i];
        uint32_t position = 0;
        // The capture a project was saved with is not here: only what no capture allows is refused
        // (a negative position, a trigger cursor before sample 16); the view limits the rest.
        if (values.getDword({kCursorValueNames[i]}, position))
            c.position = clampCursorPosition(i, static_cast<int32_t>(position), INT32_MAX);
        uint32_t flags = 0;
        if (values.getDword(std::string(kCursorValueNames[i]) + kFlagSuffix, flags)) c.flags = flags;
    }
    v.displayFlags = static_cast<uint32_t>(values.dwordOr({kFlag}, static_cast<int32_t>(v.displayFlags)));
}

void copyPersistedView(const WaveView& from, WaveView& to) {
    to.nameWidth = from.nameWidth;
    to.valueWidth = from.valueWidth;
    to.channelWidth = from.channelWidth;
    to.remarkWidth = from.remarkWidth;
    to.firstSample = from.firstSample;
    to.firstRow = from.firstRow;
    to.zoomIn = from.zoomIn;
    to.zoomOut = from.zoomOut;
}

void copyPersistedCursors(const CursorSet& from, CursorSet& to) {
    for (int i = 0; i < kCursorCount; ++i) {
        to.cursors[i].position = from.cursors[i].position;
        to.cursors[i].flags = from.cursors[i].flags;
    }
    to.focus = from.focus;
}

bool saveProjectValues(Registry& reg, const std::string& name, const ProjectValueHandler* handlers, size_t count) {
    const std::string key = projectKeyOf(name);
    if (!reg.keyExists(kRoot, key) && !reg.createKey(kRoot, key, kSettingsKeyClass)) return false;
    ProjectValues values(reg, key);
    bool ok = true;
    for (size_t i = 0; i < count; ++i)
        if (handlers[i].save) ok = handlers[i].save(values) && ok;
    return ok;
}

bool loadProjectValues(Registry& reg, const std::string& name, const ProjectValueHandler* handlers, size_t count) {
    ProjectValues values(reg, projectKeyOf(name));
    bool ok = true;
    for (size_t i = 0; i < count; ++i)
        if (handlers[i].load) ok = handlers[i].load(values) && ok;
    return ok;
}

}  // namespace kv
