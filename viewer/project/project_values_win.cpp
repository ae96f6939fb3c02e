// The values each part of the viewer keeps in a project, one handler per part. A part that stores
// values of its own ("RAM Size", the pod thresholds) adds a row to kHandlers below, as the command
// set does: its save writes through ProjectValues::putDword/putString, its load reads with getDword,
// dwordOr or getString (newest value name first, older names after it, e.g. {"RAM Size", "Ram Size"}).
#include <windows.h>

#include <cstring>
#include <vector>

#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/files/files_resources.h"
#include "viewer/files/kvw_file_win.h"
#include "viewer/project/project_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/trigger/trigger_project_win.h"

namespace kv {

// What went wrong with the label file at the last load (a string number, 0 when nothing did).
int g_labelFileFailure = 0;

namespace {

const char* const kHwidValue = "HWID";
const char* const kSignalFileValue = "Signal Filename";

std::string projectNameOf(const ProjectValues& values) {
    const std::string& key = values.key();
    const size_t prefix = std::strlen(kProjectKey) + 1;
    return key.size() > prefix ? key.substr(prefix) : std::string();
}

bool saveHardware(ProjectValues& values) {
    return values.putDword(kHwidValue, static_cast<uint32_t>(g_viewer->device.productCode));
}

bool saveView(ProjectValues& values) {
    Viewer& v = *g_viewer;
    ProjectView pv;
    pv.view = waveViewState().view;
    pv.cursors = cursorSet();
    pv.displayFlags = (v.panel.invert ? kDisplayFlagInvert : 0u) | (waveViewState().stateMode ? kDisplayFlagStateList : 0u);
    return writeProjectView(values, pv);
}

bool loadView(ProjectValues& values) {
    Viewer& v = *g_viewer;
    // Values the project lacks take the view's own defaults.
    ProjectView pv;
    resetWaveView(pv.view);
    readProjectView(values, pv);
    copyPersistedView(pv.view, waveViewState().view);
    copyPersistedCursors(pv.cursors, cursorSet());
    v.panel.invert = (pv.displayFlags & kDisplayFlagInvert) != 0;
    v.store.setInvert(v.panel.invert);
    waveViewState().stateMode = (pv.displayFlags & kDisplayFlagStateList) != 0;
    return true;
}

bool saveTrigger(ProjectValues& values) { return saveTriggerProject(values.key()); }

bool loadTrigger(ProjectValues& values) {
    loadTriggerProject(values.key());
    return true;
}

bool saveLabels(ProjectValues& values) {
    Viewer& v = *g_viewer;
    const std::string path = labelFilePath(v.settings.workDirectory, projectNameOf(values));
    const std::vector<uint8_t> bytes = writeLabelTable(v.labels.table);
    HANDLE f = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    bool ok = f != INVALID_HANDLE_VALUE;
    if (ok) {
        DWORD written = 0;
        ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
        CloseHandle(f);
        // A label file half written is no label file: it would be read as damaged.
        if (!ok) DeleteFileA(path.c_str());
    }
    return values.putString(kSignalFileValue, path) && ok;
}

bool loadLabels(ProjectValues& values) {
    Viewer& v = *g_viewer;
    // No project, no label file: one left behind by a project since deleted is not its table.
    if (!values.registry().keyExists(RegRoot::LocalMachine, values.key())) return true;
    std::string path;
    if (!values.getString(kSignalFileValue, path, MAX_PATH) || path.empty())
        path = labelFilePath(v.settings.workDirectory, projectNameOf(values));
    std::vector<uint8_t> bytes;
    int failure = 0;
    if (!readWholeFile(path, bytes, failure)) {
        g_labelFileFailure = failure;
        return false;
    }
    LabelTable table;
    if (!parseLabelFile(bytes.data(), bytes.size(), table)) {
        g_labelFileFailure = IDS_FILE_FORMAT_ERROR;
        return false;
    }
    for (LabelEntry& e : table.entries) {
        e.rowButton = nullptr;
        const uint32_t own = labelRowHeight(e.height);
        if (own && static_cast<int32_t>(own) != sanitizeRowHeight(static_cast<int32_t>(own)))
            e.height = static_cast<uint32_t>(kFallbackRowHeight) << 16 | (e.height & 0xFFFF);
    }
    saveUndo(v.labels);
    v.labels.table = table;
    ++v.labels.revision;
    return true;
}

// In demo mode the capture length is the settings' "giBufSizeDemo".
bool loadDemoLength(ProjectValues&) {
    Viewer& v = *g_viewer;
    if (v.shell.deviceIndex < 0) v.settings.bufSizeDemo = readDemoBufferSize(viewerRegistry());
    return true;
}

// The command set in force is kept by name; a name that is missing or unusable means "<None>".
bool saveCommandSet(ProjectValues& values) { return saveCommandSetProject(values.key()); }
bool loadCommandSet(ProjectValues& values) {
    loadCommandSetProject(values.key());
    return true;
}

const ProjectValueHandler kHandlers[] = {
    {"hardware", saveHardware, nullptr},
    {"view", saveView, loadView},
    {"trigger", saveTrigger, loadTrigger},
    {"demo length", nullptr, loadDemoLength},
    {"labels", saveLabels, loadLabels},
    {"command set", saveCommandSet, loadCommandSet},
};

}  // namespace

const ProjectValueHandler* projectValueHandlers(size_t& count) {
    count = sizeof kHandlers / sizeof kHandlers[0];
    return kHandlers;
}

}  // namespace kv
