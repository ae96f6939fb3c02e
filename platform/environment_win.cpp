#include <windows.h>

#include <vector>

#include "platform/environment.h"

namespace kv {

bool readEnvironment(const char* name, std::string& value) {
    if (!name) return false;
    // The size answered without a buffer includes the NUL; a variable may change between the two
    // calls, so the second is checked again.
    std::vector<char> text(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        SetLastError(ERROR_SUCCESS);
        const DWORD n = GetEnvironmentVariableA(name, text.data(), static_cast<DWORD>(text.size()));
        if (n == 0) {
            // 0 is also the length of a variable set to an empty text.
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            value.clear();
            return true;
        }
        if (n < text.size()) {
            value.assign(text.data(), n);
            return true;
        }
        text.resize(n);
    }
    return false;
}

}  // namespace kv
