// Projects: named snapshots of a user's set-up under HKEY_LOCAL_MACHINE "SOFTWARE\Ombix\KV\Project",
// one subkey per project, with the label table in a side file "<work directory>\<name>.SIG".
// Everything here is portable: names and their rules, the view values, the label file, and the
// list of value handlers through which every part of the viewer stores its own values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "viewer/display/cursors.h"
#include "viewer/display/label_table.h"
#include "viewer/display/time_base.h"
#include "viewer/display/wave_render.h"   // kMinColumnWidth: a narrower column is raised before saving

namespace kv {

extern const char* const kProjectKey;          // "SOFTWARE\\Ombix\\KV\\Project"
extern const char* const kDefaultProjectName;  // "Default": the set-up saved at exit in demo mode

enum : int {
    kProjectNameMax = 32,
    kMaxColumnWidth = 10000,   // a stored width beyond this is taken as this (the columns are summed)
    kMaxRowHeight = 800,       // a waveform row height outside 0..800 becomes 50
    kFallbackRowHeight = 50,
};

// String numbers of the project dialogs' messages.
enum : int {
    kStrNoProjectName = 227,       // "No Project Name."
    kStrProjectNameLong = 228,     // "Project Name too long.(Max. = 32)"
    kStrNoDefaultName = 239,       // "Can't use 'Default'."
    kStrProjectExists = 240,       // "Projet Exist, Overwrite ?"
    kStrNoProjectNameLoad = 241,   // "No Project Name"
    kStrOverwriteLabels = 242,     // "Overwrite Current labels definition ?"
    kStrOkToLoad = 243,            // "Ok to load project."
    kStrCannotDeleteDefault = 248, // "System defalut, Can not delete."
    kStrCannotDeleteName = 249,    // "Name Error, Can not delete."
    // Texts of this viewer beyond the classic set.
    kStrProjectNameChars = 5200,   // a name that cannot name a registry key and a file
    kStrNoSuchProject = 5201,      // Load Project of a name that is not stored
};

// The key of project `name`.
std::string projectKeyOf(const std::string& name);
// The project saved at exit and restored at start-up: "Default" in demo mode (device index -1),
// else the board's product code as "%04X".
std::string startupProjectName(int deviceIndex, uint32_t productCode);
// The label file of a project: "%s\%s.SIG" of the work directory and the name.
std::string labelFilePath(const std::string& workDirectory, const std::string& name);

// The name typed in a project dialog, trailing blanks removed.
std::string trimProjectName(const std::string& text);
// Save Project OK: 227 empty, 228 longer than 32 characters, 239 "Default", 5200 a character that
// cannot stand in a key or file name (\ / : * ? " < > | or a control character); 0 when accepted.
// The registry compares key names without regard to case, so "DEFAULT" is "Default" as well.
int checkSaveName(const std::string& name);
// Delete Project: 241 empty, 248 "Default", 249 not one of `listed`; 0 when it may go.
int checkDeleteName(const std::string& name, const std::vector<std::string>& listed);
// The listed project that `name` names (key names compare without regard to case), or -1.
int findProject(const std::vector<std::string>& listed, const std::string& name);

// The projects the dialogs list: the subkeys of the project key in enumeration order, without
// "Default". Empty when the key cannot be opened.
std::vector<std::string> listProjects(Registry& reg);

// A waveform row height as a loaded set-up may hold it: outside 0..800 it becomes 50.
int32_t sanitizeRowHeight(int32_t height);

// The label file: n 100-byte records and the record that ends the table. False when the bytes are
// not such a table (cut short, no end record, rows that do not hold together); the table is then
// left as it was.
bool parseLabelFile(const uint8_t* data, size_t size, LabelTable& table);

// Values of one project key. Readers accept a value only with its type and size; names are given
// newest first, so an older name is read where the newer one is missing.
class ProjectValues {
public:
    ProjectValues(Registry& reg, std::string key) : reg_(reg), key_(std::move(key)) {}
    Registry& registry() { return reg_; }
    const std::string& key() const { return key_; }

    bool putDword(const std::string& name, uint32_t value);
    bool putString(const std::string& name, const std::string& value);
    bool getDword(std::initializer_list<const char*> names, uint32_t& out);
    int32_t dwordOr(std::initializer_list<const char*> names, int32_t fallback);
    bool getDword(const std::string& name, uint32_t& out) { return getDword({name.c_str()}, out); }
    // A REG_SZ value up to its first NUL, at most maxBytes characters; false when missing.
    bool getString(const std::string& name, std::string& out, size_t maxBytes);

private:
    Registry& reg_;
    std::string key_;
};

// The view as a project keeps it: the column widths, first sample and row, zoom, the six cursors
// with their flag words, the focused cursor and the display flags word.
struct ProjectView {
    WaveView view;
    CursorSet cursors;
    uint32_t displayFlags = 0;
};

// Display flags word ("Flag"): the view's own switches.
enum : uint32_t {
    kDisplayFlagInvert = 0x1,      // "Waveform Invert"
    kDisplayFlagStateList = 0x2,   // the state listing instead of the timing view
};

bool writeProjectView(ProjectValues& values, const ProjectView& v);
// Missing or unusable values keep what `v` holds on entry (the owning parts' defaults); a missing
// "Zoom In" gives zoom-in 1.
void readProjectView(ProjectValues& values, ProjectView& v);
// The persisted fields of `from` into `to`; the pane's handles, grid and label table stay.
void copyPersistedView(const WaveView& from, WaveView& to);
// The cursor positions, flag words and focus of `from` into `to`; pens and drawing state stay.
void copyPersistedCursors(const CursorSet& from, CursorSet& to);

// One part of the viewer's values in a project: `save` writes them (false when the registry
// refused), `load` reads them back (false when something stored was unusable: the caller tells the
// user). The viewer's table of handlers is the one place where a part adds its values.
struct ProjectValueHandler {
    const char* what;
    bool (*save)(ProjectValues& values);
    bool (*load)(ProjectValues& values);
};

// Creates the key (class "Ombix Logic Analyzer") when missing and runs every handler's save in
// table order. False when the key cannot be created (nothing is written) or a value was refused.
bool saveProjectValues(Registry& reg, const std::string& name, const ProjectValueHandler* handlers, size_t count);
// Runs every handler's load in table order; false when one reported an unusable value.
bool loadProjectValues(Registry& reg, const std::string& name, const ProjectValueHandler* handlers, size_t count);

}  // namespace kv
