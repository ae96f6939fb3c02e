#include <gtest/gtest.h>

#include "tests/ui/ui_harness.h"

#include <fstream>
#include <iterator>

#include "tests/support/window_picture.h"

namespace kvtest {

const char* const kSystemKey = "SOFTWARE\\Ombix\\KV\\System";

namespace {

PromptLog g_prompts;
std::function<void(HWND, int)> g_dialogScript;
bool g_quit = false;

int recordPrompt(const kv::Prompt& p) {
    g_prompts.asked.push_back(p);
    if (g_prompts.answers.empty()) return IDOK;
    const int answer = g_prompts.answers.front();
    g_prompts.answers.erase(g_prompts.answers.begin());
    return answer;
}

void runDialogScript(HWND dialog, int templateId) {
    if (g_dialogScript) g_dialogScript(dialog, templateId);
}

void deleteTree(HKEY root, const char* path) {
    HKEY h;
    if (RegOpenKeyExA(root, path, 0, KEY_ALL_ACCESS, &h) != ERROR_SUCCESS) return;
    char child[256];
    for (;;) {
        DWORD len = sizeof child;
        if (RegEnumKeyExA(h, 0, child, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        const std::string sub = std::string(path) + "\\" + child;
        deleteTree(root, sub.c_str());
    }
    RegCloseKey(h);
    RegDeleteKeyA(root, path);
}

void pumpOnce() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            g_quit = true;
            continue;
        }
        HWND p = kv::g_viewer ? kv::g_viewer->shell.panel : nullptr;
        if (p && IsDialogMessageW(p, &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace

int PromptLog::countOf(int stringId) const {
    int n = 0;
    for (const kv::Prompt& p : asked) n += p.stringId == stringId;
    return n;
}

PromptLog& prompts() { return g_prompts; }

void onDialog(std::function<void(HWND, int)> script) { g_dialogScript = std::move(script); }

void resetRegistry() {
    deleteTree(HKEY_LOCAL_MACHINE, kSystemKey);
    deleteTree(HKEY_LOCAL_MACHINE, "SOFTWARE\\Ombix\\KV\\Project");
}

void createSettingsKey() {
    HKEY h;
    DWORD disposition;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, const_cast<char*>("Ombix Logic Analyzer"),
                    REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &h, &disposition);
    RegCloseKey(h);
}

void writeDword(const char* name, DWORD value) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, KEY_SET_VALUE, &h) != ERROR_SUCCESS) return;
    RegSetValueExA(h, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(h);
}

void setWorkDirectory(const std::string& folder) {
    createSettingsKey();
    HKEY h;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, KEY_SET_VALUE, &h), ERROR_SUCCESS);
    RegSetValueExA(h, "Work Directory", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                   static_cast<DWORD>(folder.size() + 1));
    RegCloseKey(h);
}

std::vector<uint8_t> fileBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

bool readValue(const char* name, DWORD& type, std::vector<BYTE>& data) {
    HKEY h;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kSystemKey, 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    DWORD size = 0;
    bool ok = RegQueryValueExA(h, name, nullptr, &type, nullptr, &size) == ERROR_SUCCESS;
    if (ok) {
        data.assign(size, 0);
        ok = RegQueryValueExA(h, name, nullptr, &type, data.data(), &size) == ERROR_SUCCESS;
        data.resize(size);
    }
    RegCloseKey(h);
    return ok;
}

void pump(int milliseconds) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
    do {
        pumpOnce();
        Sleep(5);
    } while (static_cast<int>(end - GetTickCount()) > 0);
}

bool pumpUntil(const std::function<bool()>& done, int timeoutMs) {
    const DWORD end = GetTickCount() + static_cast<DWORD>(timeoutMs);
    for (;;) {
        pumpOnce();
        if (done()) return true;
        if (static_cast<int>(end - GetTickCount()) <= 0) return false;
        Sleep(5);
    }
}

bool startViewer(const char* commandTail) {
    g_quit = false;
    const kv::StartResult r = kv::startViewer(GetModuleHandleA(nullptr), commandTail, SW_SHOW);
    if (!r.run) return false;
    return pumpUntil([] { return IsWindowVisible(mainWindow()) != FALSE; });
}

bool runUntilQuit(int timeoutMs) {
    const bool quit = pumpUntil([] { return g_quit; }, timeoutMs);
    if (quit) kv::releaseViewer();
    return quit;
}

bool closeViewer() {
    if (!kv::g_viewer) return true;
    PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
    return runUntilQuit();
}

HWND mainWindow() { return kv::g_viewer ? kv::g_viewer->shell.mainWindow : nullptr; }
HWND panel() { return kv::g_viewer ? kv::g_viewer->shell.panel : nullptr; }
HWND panelItem(int id) { return GetDlgItem(panel(), id); }

std::wstring textOf(HWND window) {
    wchar_t text[1024] = {};
    GetWindowTextW(window, text, 1024);
    return text;
}

void saveWindowPicture(HWND window, const char* name) { saveScreenPicture(window, name); }

void setModifiers(bool ctrl, bool shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    keys[VK_CONTROL] = ctrl ? 0x80 : 0;
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
}

void keyUp(unsigned vk, bool ctrl, bool shift) {
    setModifiers(ctrl, shift);
    SendMessageW(mainWindow(), WM_KEYUP, vk, 0xC0000001);
    setModifiers(false, false);
}

void ViewerTest::SetUp() {
    resetRegistry();
    g_prompts = PromptLog{};
    g_dialogScript = nullptr;
    kv::setPromptAnswerer(recordPrompt);
    kv::setDialogScript(runDialogScript);
}

void ViewerTest::TearDown() {
    if (kv::g_viewer) {
        g_prompts.answers.clear();
        if (mainWindow()) {
            PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
            runUntilQuit();
        }
        kv::releaseViewer();
    }
    kv::setDialogScript(nullptr);
    kv::setPromptAnswerer(nullptr);
}

}  // namespace kvtest
