#include "platform/environment.h"

#include <cstdlib>

namespace kv {

bool readEnvironment(const char* name, std::string& value) {
    const char* text = name ? std::getenv(name) : nullptr;
    if (!text) return false;
    value = text;
    return true;
}

}  // namespace kv
