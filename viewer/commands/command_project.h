// The "Command Set" value of a project (a key under "SOFTWARE\Ombix\KV\Project"): the name of the
// selected command set, empty for "<None>".
#pragma once

#include <string>

#include "platform/registry.h"

namespace kv {

extern const char* const kCommandSetValue;   // "Command Set"

// Writes the name as REG_SZ into the project key (created when missing); false when refused.
bool writeCommandSetProject(Registry& reg, const std::string& projectKey, const std::string& setName);
// The stored name; empty when the key or value is missing, not a string, or not a usable set name
// (a path or a name with characters a file name cannot have).
std::string readCommandSetProject(Registry& reg, const std::string& projectKey);

// A set name the viewer may turn into "<name>.CMS" in the working directory: 1..200 characters,
// no path separator, drive colon, wildcard or other character file names cannot have.
bool validCommandSetName(const std::string& name);

}  // namespace kv
