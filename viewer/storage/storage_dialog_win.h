// The waveform temporary-storage dialog (template 315, F8): eight pictures between which captures
// are dragged, and the two buttons that turn the comparison overlay on and off.
#pragma once

#include <windows.h>

namespace kv {

// Runs the dialog modally; closing it repaints the main panel. Returns 1.
INT_PTR runStorageDialog(HWND parent);

}  // namespace kv
