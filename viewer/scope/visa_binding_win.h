// "VISA32.DLL", loaded by name at run time and bound by its eleven entry points' names.
#pragma once

#include "viewer/scope/visa_api.h"

namespace kv {

// The calls, or null when the library or one of its entry points is missing. The library stays
// loaded once bound.
VisaApi* loadVisa();

}  // namespace kv
