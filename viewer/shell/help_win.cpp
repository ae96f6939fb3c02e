// Help: the HTML help control when the system has it, else WinHelp. A missing control makes help
// silently do nothing, without trying again.
#include <windows.h>

#include "viewer/shell/app_win.h"
#include "viewer/shell/help_topics.h"

namespace kv {
namespace {

using HtmlHelpEntry = HWND(WINAPI*)(HWND, LPCSTR, UINT, DWORD_PTR);

bool findHtmlHelp(ShellState& s) {
    if (s.helpLookedUp) return !s.helpUnavailable;
    s.helpLookedUp = true;
    char path[MAX_PATH] = {};
    LONG size = sizeof path;
    HMODULE module = nullptr;
    if (RegQueryValueA(HKEY_CLASSES_ROOT, "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32", path,
                       &size) == ERROR_SUCCESS && path[0])
        module = LoadLibraryA(path);
    if (!module) module = LoadLibraryA("hhctrl.ocx");
    FARPROC entry = module ? GetProcAddress(module, MAKEINTRESOURCEA(14)) : nullptr;
    if (!entry) {
        if (module) FreeLibrary(module);
        s.helpUnavailable = true;
        return false;
    }
    s.helpModule = module;
    s.helpEntry = entry;
    return true;
}

}  // namespace

namespace {
HelpRecorder g_helpRecorder = nullptr;
}  // namespace

HelpRecorder setHelpRecorder(HelpRecorder recorder) {
    const HelpRecorder old = g_helpRecorder;
    g_helpRecorder = recorder;
    return old;
}

bool showHelpTopic(HWND owner, const char* topic) { return showHelpTopic(owner, topic, 0); }

bool showHelpTopic(HWND owner, const char* topic, DWORD context) {
    if (g_helpRecorder) return g_helpRecorder(owner, topic, context);
    ShellState& s = g_viewer->shell;
    if (!s.htmlHelp) return WinHelpA(owner, s.helpPath.c_str(), HELP_CONTEXT, context) != FALSE;
    if (!findHtmlHelp(s)) return false;
    const std::string target = s.helpPath + topic;
    const auto entry = reinterpret_cast<HtmlHelpEntry>(reinterpret_cast<void*>(s.helpEntry));
    return entry(owner, target.c_str(), 1 /* display topic */, 0) != nullptr;
}

void showHelpFor(HWND owner, const HELPINFO* info) {
    const int control = info && info->iContextType == HELPINFO_WINDOW ? info->iCtrlId : 0;
    showHelpTopic(owner, helpTopicForControl(control), static_cast<DWORD>(control > 0 ? control : 0));
}

}  // namespace kv
