// The command set in force and its dialogs: Select Command Set (command 1097), Add Command, and
// the ".CMS" files of the working directory.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "viewer/commands/command_set.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Command 1097.
int32_t commandSetCommand(WinHandle window, uint32_t id, uint32_t code, MsgLParam lParam);

// "<working directory>\<name>.CMS".
std::string commandSetPath(const std::string& name);

// Makes the named set the one in force: its file is read and compiled against the current labels.
// A file that cannot be opened leaves the set in force empty. An empty name selects none.
void LoadCommandSet(const std::string& name);
// Writes a set's file (created or truncated); false when it cannot be written.
bool SaveCommandSet(const std::string& name, const std::vector<Command>& commands);

// The set in force: its name (empty: "<None>") and commands.
const std::string& activeCommandSetName();
const std::vector<Command>& activeCommands();

// The command text of a state for the state listing and the listing output, or an empty function
// while no set is in force. Recompiles when the labels have changed since the last compilation.
std::function<std::string(int64_t state)> activeCommandText();

// The "Command Set" value of a project.
bool saveCommandSetProject(const std::string& projectKey);
void loadCommandSetProject(const std::string& projectKey);

}  // namespace kv
