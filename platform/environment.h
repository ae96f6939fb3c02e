// Environment seam: one variable of the process's environment. On Win32 it is read from the
// process environment block (GetEnvironmentVariableA), not from the C runtime's copy taken at
// start-up, so a host that sets a variable before loading the library is seen; natively it is
// std::getenv.
#pragma once

#include <string>

namespace kv {

// True with the value when the variable is set (an empty value counts as set); false otherwise.
bool readEnvironment(const char* name, std::string& value);

}  // namespace kv
