// Projects in the running viewer: the Save, Load and Delete Project dialogs (templates 129, 130,
// 131; commands 1084, 1096, 1087), the "Waveform File and Project Menu" pop-up (command 1034), and
// the project of the board in use, restored at start-up and saved at exit.
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "viewer/project/project_store.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Panel commands.
int32_t saveProjectCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);    // 1084
int32_t loadProjectCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);    // 1096
int32_t deleteProjectCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);  // 1087
int32_t fileMenuCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);       // 1034

// The pop-up of command 1034: Load, Save and Delete Project, then Load and Save Waveform.
HMENU createFileMenu();

// Saves the current set-up as project `name` (values, label file, "Signal Filename"). False when
// the key could not be created or something could not be written.
bool saveProject(const std::string& name);
// Loads project `name` into the viewer. With `report`, a label file that cannot be read or is
// damaged is told (the labels in use are then kept). False when something stored was unusable.
bool loadProject(const std::string& name, bool report);

// Start-up: the view takes its defaults and the settings' grid, then the project of the board in
// use ("Default" in demo mode, else the product code as "%04X") is loaded, silently.
void restoreStartupProject();
// Panel set-up: the controls that show restored values, and a Nanlyn board's saved mode.
void projectPanelSetup(HWND panel);
// Exit: clears the labels' selection marks (so that no project keeps a selection).
void clearLabelSelection();
// Exit: saves the current set-up under the start-up project's name.
bool saveStartupProject();

// The handlers of every part's project values, in the order they are written and read. They live
// in project_values_win.cpp: a part that stores values in projects adds its row there.
const ProjectValueHandler* projectValueHandlers(size_t& count);

}  // namespace kv
