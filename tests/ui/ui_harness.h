// Drives the real viewer in-process under Wine: starts it as the program does, pumps its messages,
// answers its message boxes and scripts its modal dialogs.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"

namespace kvtest {

extern const char* const kSystemKey;

// Every registry key the viewer writes is removed, so a test starts from a known state.
void resetRegistry();
// Creates the settings key with the class the viewer uses.
void createSettingsKey();
void writeDword(const char* name, DWORD value);
// Creates the settings key and points the viewer's "Work Directory" at `folder`.
void setWorkDirectory(const std::string& folder);
// A file's bytes (empty when it cannot be read).
std::vector<uint8_t> fileBytes(const std::string& name);
bool readValue(const char* name, DWORD& type, std::vector<BYTE>& data);

// Message boxes asked so far and the answers still to give (IDOK once the list is empty).
struct PromptLog {
    std::vector<kv::Prompt> asked;
    std::vector<int> answers;
    int countOf(int stringId) const;
};
PromptLog& prompts();

// A script for modal dialogs: runs once the dialog is shown.
void onDialog(std::function<void(HWND dialog, int templateId)> script);

// Pumps the viewer's messages for the given time or until `done` holds.
void pump(int milliseconds);
bool pumpUntil(const std::function<bool()>& done, int timeoutMs = 5000);

// Starts the viewer (start-up steps and the deferred set-up); false when it did not come up.
bool startViewer(const char* commandTail = "");
// Pumps until the viewer's main window is gone and its state released; false on time-out.
bool runUntilQuit(int timeoutMs = 5000);
// Closes the viewer, answering the exit question with OK.
bool closeViewer();

HWND mainWindow();
HWND panel();
HWND panelItem(int id);
std::wstring textOf(HWND window);

// With KV_SCREENSHOT_DIR set, saves a picture of the window (frame included) there as <name>.bmp.
void saveWindowPicture(HWND window, const char* name);

// Holds Ctrl (and Shift) as the keyboard state GetKeyState reads on this thread.
void setModifiers(bool ctrl, bool shift);
void keyUp(unsigned virtualKey, bool ctrl = false, bool shift = false);

// The fixture every viewer test uses: a clean registry, recorded prompts, no dialog script.
class ViewerTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

}  // namespace kvtest
