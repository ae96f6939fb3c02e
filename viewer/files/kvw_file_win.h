// The waveform-file commands of the running viewer: Save Wave File (dialog 290, command 1086) with
// its five formats, Load Waveform (command 1085), and the loader the start-up uses for the
// command-line file and the first-run "Demo01.kvw".
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/files/kvw_codec.h"
#include "viewer/files/wave_save.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Panel commands 1085 and 1086.
int32_t loadWaveCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
int32_t saveWaveCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);

// Loads a KVW file into the viewer: true when the file was taken over. Every failure shows its
// message and leaves the capture, labels, view and title as they were. With labels the file's
// label table replaces the current one.
bool loadWaveFile(const std::string& fileName, bool withLabels, bool fromCommandLine);

// Writes the capture as the choice says (all five formats); `wholeBuffer` writes every sample and
// every label whatever the range and channel choices (automatic saving). Messages are shown here;
// true on success.
bool writeWaveFile(HWND owner, const SaveChoice& choice, bool wholeBuffer);

// Reads a whole file; false with the string number of the failure (312 cannot open, 318 read
// error, 279 memory).
bool readWholeFile(const std::string& name, std::vector<uint8_t>& bytes, int& failure);

// The file dialog of Load Waveform: GetOpenFileNameW in the program; tests answer it with a name.
using OpenFileChooser = BOOL(WINAPI*)(OPENFILENAMEW* ofn);
OpenFileChooser setOpenFileChooser(OpenFileChooser chooser);

}  // namespace kv
