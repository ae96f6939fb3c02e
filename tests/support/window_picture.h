// Pictures of windows for tests that drive another program: with KV_SCREENSHOT_DIR set, what the
// screen shows of a window (frame included) is saved there as <name>.bmp.
#pragma once

#include <windows.h>

namespace kvtest {

void saveScreenPicture(HWND window, const char* name);

}  // namespace kvtest
