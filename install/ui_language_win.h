// The resource language (1033, 1028 or 2052) for a Windows language id: Traditional Chinese for
// Taiwan, Hong Kong and Macau, Simplified Chinese for China and Singapore, English otherwise.
#pragma once

#include <windows.h>

namespace kv {

inline WORD resourceLanguageFor(LANGID language) {
    if (PRIMARYLANGID(language) != LANG_CHINESE) return 1033;
    switch (SUBLANGID(language)) {
    case SUBLANG_CHINESE_SIMPLIFIED:
    case SUBLANG_CHINESE_SINGAPORE: return 2052;
    default: return 1028;
    }
}

}  // namespace kv
