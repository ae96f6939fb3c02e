#include "viewer/project/project_win.h"

#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/files/files_resources.h"
#include "viewer/project/project_resources.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {

extern int g_labelFileFailure;   // project_values_win.cpp

namespace {

constexpr int kRegistryCreateError = 216;   // "Registry Create Error."
const char* const kProjectHelpTopic = "::/4-12.htm";

// The pop-up's entries; 0 is a separator.
const int kFileMenuItems[] = {kIdLoadProject, kIdSaveProject, kIdDeleteProject, 0, kIdLoadWave, kIdSaveWave};

std::string nameInDialog(HWND dialog) {
    const int n = GetWindowTextLengthW(GetDlgItem(dialog, IDC_PROJECT_NAME));
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GetDlgItemTextW(dialog, IDC_PROJECT_NAME, &text[0], n + 1);
    text.resize(static_cast<size_t>(n));
    return trimProjectName(narrow(text));
}

std::vector<std::string> listedNames(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_PROJECT_LIST);
    std::vector<std::string> names;
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT len = SendMessageW(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        if (len < 0) continue;
        std::wstring text(static_cast<size_t>(len) + 1, L'\0');
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&text[0]));
        text.resize(static_cast<size_t>(len));
        names.push_back(narrow(text));
    }
    return names;
}

bool busy() {
    // A capture worker reads the trigger set-up and the labels: a project waits until it has ended.
    if (!g_viewer->acq.thread) return false;
    MessageBeep(MB_ICONHAND);
    return true;
}

// Save Project OK: true when the dialog ends.
bool saveOk(HWND dialog) {
    const std::string name = nameInDialog(dialog);
    if (const int refusal = checkSaveName(name)) {
        ask(dialog, refusal, MB_OK | MB_ICONHAND);
        return false;
    }
    Registry& reg = viewerRegistry();
    if (!reg.keyExists(RegRoot::LocalMachine, kProjectKey) &&
        !reg.createKey(RegRoot::LocalMachine, kProjectKey, kSettingsKeyClass)) {
        ask(dialog, kRegistryCreateError, MB_OK | MB_ICONHAND, Caption::Error);
        return true;
    }
    if (findProject(listProjects(reg), name) >= 0 && ask(dialog, IDS_PROJECT_EXISTS, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return false;   // another name may be typed; the stored project stays as it is
    if (!saveProject(name)) ask(dialog, IDS_CREATE_FILE_ERROR, MB_OK | MB_ICONHAND, Caption::Error);
    return true;
}

// Load Project OK: true when the dialog ends.
bool loadOk(HWND dialog) {
    const std::string name = nameInDialog(dialog);
    if (name.empty()) {
        ask(dialog, IDS_NO_PROJECT_NAME_LOAD, MB_OK | MB_ICONHAND);
        return false;
    }
    // A name that is not stored would reset the whole set-up to its defaults: refused instead.
    if (!viewerRegistry().keyExists(RegRoot::LocalMachine, projectKeyOf(name))) {
        ask(dialog, IDS_NO_SUCH_PROJECT, MB_OK | MB_ICONHAND);
        return false;
    }
    const int question = g_viewer->labels.table.count() > 0 ? IDS_OVERWRITE_LABELS : IDS_OK_TO_LOAD;
    if (ask(dialog, question, MB_OKCANCEL | MB_ICONINFORMATION) != IDOK) return false;
    loadProject(name, true);
    return true;
}

void deletePressed(HWND dialog) {
    const std::string name = nameInDialog(dialog);
    if (const int refusal = checkDeleteName(name, listedNames(dialog))) {
        ask(dialog, refusal, MB_OK | MB_ICONHAND);
        return;
    }
    viewerRegistry().deleteTree(RegRoot::LocalMachine, projectKeyOf(name));
    HWND list = GetDlgItem(dialog, IDC_PROJECT_LIST);
    const LRESULT at = SendMessageW(list, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(widen(name).c_str()));
    if (at != LB_ERR) SendMessageW(list, LB_DELETESTRING, static_cast<WPARAM>(at), 0);
    SetDlgItemTextW(dialog, IDC_PROJECT_NAME, L"");
}

INT_PTR CALLBACK projectDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    const int kind = static_cast<int>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            HWND list = GetDlgItem(dialog, IDC_PROJECT_LIST);
            for (const std::string& n : listProjects(viewerRegistry()))
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(n).c_str()));
            return TRUE;
        }
        case WM_HELP: showHelpTopic(dialog, kProjectHelpTopic); return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_PROJECT_LIST:
                    if (HIWORD(wParam) == LBN_SELCHANGE) {
                        HWND list = GetDlgItem(dialog, IDC_PROJECT_LIST);
                        const LRESULT sel = SendMessageW(list, LB_GETCURSEL, 0, 0);
                        const LRESULT len = sel == LB_ERR ? LB_ERR : SendMessageW(list, LB_GETTEXTLEN, sel, 0);
                        if (len != LB_ERR) {
                            std::wstring text(static_cast<size_t>(len) + 1, L'\0');
                            SendMessageW(list, LB_GETTEXT, sel, reinterpret_cast<LPARAM>(&text[0]));
                            SetDlgItemTextW(dialog, IDC_PROJECT_NAME, text.c_str());
                        }
                    }
                    return TRUE;
                case IDC_PROJECT_DELETE:
                    if (kind == IDD_DELETE_PROJECT) {
                        deletePressed(dialog);
                        return TRUE;
                    }
                    break;
                case IDC_PROJECT_OK:
                    if (kind == IDD_DELETE_PROJECT) {
                        EndDialog(dialog, IDOK);
                        return TRUE;
                    }
                    break;
                case IDOK:
                    if (kind == IDD_SAVE_PROJECT && saveOk(dialog)) EndDialog(dialog, IDOK);
                    if (kind == IDD_LOAD_PROJECT && loadOk(dialog)) EndDialog(dialog, 1);
                    if (kind == IDD_DELETE_PROJECT) EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
            }
            break;
    }
    return FALSE;
}

INT_PTR runProjectDialog(HWND parent, int templateId) {
    return runModal(templateId, parent, projectDialogProc, templateId);
}

// After a load the view shows what was restored.
void refreshView() {
    Viewer& v = *g_viewer;
    if (!v.shell.panel) return;
    CheckDlgButton(v.shell.panel, kIdInvert, v.panel.invert ? BST_CHECKED : BST_UNCHECKED);
    runDecodePass();
    labelsChanged();
    timeBaseChanged();
    focusCursor(cursorSet().focus);
    SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
}

void selectNanlynMode() {
    Viewer& v = *g_viewer;
    const TriggerSetup& s = v.acq.trigger;
    if (!v.device.limits.nanlyn || s.nanlynFirmware < 0) return;
    KvSetHwInfo(v.shell.deviceIndex, kHwSelectMode, static_cast<uint32_t>(s.nanlynFirmware));
    KvSetHwInfo(v.shell.deviceIndex, kHwSampleGroup, static_cast<uint32_t>(s.nanlynMemorySelect));
}

}  // namespace

HMENU createFileMenu() {
    HMENU menu = CreatePopupMenu();
    for (int id : kFileMenuItems) {
        if (!id) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        AppendMenuW(menu, MF_STRING, static_cast<UINT_PTR>(id), loadString(tooltipString(static_cast<uint16_t>(id))).c_str());
    }
    return menu;
}

int32_t fileMenuCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    POINT at = {};
    GetCursorPos(&at);
    HMENU menu = createFileMenu();
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, at.x, at.y, 0, static_cast<HWND>(window), nullptr);
    DestroyMenu(menu);
    return 0;
}

int32_t saveProjectCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    if (!busy()) runProjectDialog(static_cast<HWND>(window), IDD_SAVE_PROJECT);
    return 0;
}

int32_t loadProjectCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    if (!busy()) runProjectDialog(static_cast<HWND>(window), IDD_LOAD_PROJECT);
    return 0;
}

int32_t deleteProjectCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    runProjectDialog(static_cast<HWND>(window), IDD_DELETE_PROJECT);
    return 0;
}

bool saveProject(const std::string& name) {
    size_t count = 0;
    const ProjectValueHandler* handlers = projectValueHandlers(count);
    return saveProjectValues(viewerRegistry(), name, handlers, count);
}

bool loadProject(const std::string& name, bool report) {
    Viewer& v = *g_viewer;
    size_t count = 0;
    const ProjectValueHandler* handlers = projectValueHandlers(count);
    g_labelFileFailure = 0;
    const bool ok = loadProjectValues(viewerRegistry(), name, handlers, count);
    v.settings.waveHeight = sanitizeRowHeight(v.settings.waveHeight);
    if (report && g_labelFileFailure) ask(v.shell.panel, g_labelFileFailure, MB_OK | MB_ICONHAND, Caption::Error);
    if (v.shell.panel) selectNanlynMode();
    refreshView();
    return ok;
}

void restoreStartupProject() {
    Viewer& v = *g_viewer;
    resetWaveView(waveViewState().view);
    cursorSet() = CursorSet{};
    loadProject(startupProjectName(v.shell.deviceIndex, static_cast<uint32_t>(v.device.productCode)), false);
}

void projectPanelSetup(HWND panel) {
    CheckDlgButton(panel, kIdInvert, g_viewer->panel.invert ? BST_CHECKED : BST_UNCHECKED);
    selectNanlynMode();
}

void clearLabelSelection() { clearSelected(g_viewer->labels.table); }

bool saveStartupProject() {
    const Viewer& v = *g_viewer;
    return saveProject(startupProjectName(v.shell.deviceIndex, static_cast<uint32_t>(v.device.productCode)));
}

}  // namespace kv
