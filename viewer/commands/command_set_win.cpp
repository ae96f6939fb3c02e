// The command-set dialogs edit copies of the sets; OK writes the changed sets and puts the
// selected one in force, Cancel leaves files and the set in force as they were (a deleted set is
// gone at once: its deletion is confirmed by its own question).
#include "viewer/commands/command_set_win.h"

#include <commctrl.h>

#include <algorithm>
#include <map>

#include "viewer/commands/command_project.h"
#include "viewer/commands/command_resources.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

struct ActiveSet {
    std::string name;
    std::vector<Command> commands;
    std::vector<CompiledCommand> compiled;
    uint32_t labelsRevision = 0;
    bool compiledValid = false;
};
ActiveSet g_active;

// What the Select Command Set dialog edits.
struct SetEdit {
    std::map<std::string, std::vector<Command>> sets;   // read or edited in this dialog
    std::map<std::string, bool> changed;
    std::string selected;                               // empty: "<None>"
};

std::string readFile(const std::string& path, bool& opened) {
    opened = false;
    HANDLE f = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return std::string();
    opened = true;
    std::string text;
    char buf[4096];
    DWORD got = 0;
    // A command file is a few lines; a huge file is not one, and only its start is read.
    while (text.size() < (1u << 24) && ReadFile(f, buf, sizeof buf, &got, nullptr) && got > 0) text.append(buf, got);
    CloseHandle(f);
    return text;
}

std::vector<Command> readSet(const std::string& name) {
    bool opened = false;
    return readCommandSet(readFile(commandSetPath(name), opened));
}

std::wstring wide(const std::string& s) { return widen(s); }

std::string itemText(HWND dialog, int id) {
    char text[600] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void fillCommandList(HWND dialog, const std::vector<Command>& commands, int select) {
    HWND list = GetDlgItem(dialog, IDC_CMS_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t k = 0; k < commands.size(); ++k) {
        const Command& c = commands[k];
        const std::wstring texts[4] = {wide(c.name), wide(conditionText(c)), wide(c.description),
                                       c.subCommand ? L"Y" : L""};
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(k);
        item.pszText = const_cast<wchar_t*>(texts[0].c_str());
        const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int col = 1; col < 4; ++col) {
            LVITEMW sub = {};
            sub.iSubItem = col;
            sub.pszText = const_cast<wchar_t*>(texts[col].c_str());
            SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
        }
    }
    if (select >= 0 && select < static_cast<int>(commands.size())) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(list, LVM_SETITEMSTATE, static_cast<WPARAM>(select), reinterpret_cast<LPARAM>(&state));
    }
}

int selectedCommand(HWND dialog) {
    return static_cast<int>(
        SendDlgItemMessageW(dialog, IDC_CMS_LIST, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

SetEdit* editOf(HWND dialog) { return static_cast<SetEdit*>(GetPropA(dialog, "KvCommandSets")); }

// The commands of the selected set, read once per dialog.
std::vector<Command>* selectedCommands(SetEdit& e) {
    if (e.selected.empty()) return nullptr;
    auto it = e.sets.find(e.selected);
    if (it == e.sets.end()) it = e.sets.emplace(e.selected, readSet(e.selected)).first;
    return &it->second;
}

std::string selectedSetName(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CMS_SETS);
    const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (i < 0) return std::string();
    const LRESULT len = SendMessageA(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
    std::string name(static_cast<size_t>(std::max<LRESULT>(len, 0)) + 1, '\0');
    SendMessageA(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&name[0]));
    name.resize(static_cast<size_t>(std::max<LRESULT>(len, 0)));
    return name == kNoCommandSet ? std::string() : name;
}

void showSelectedSet(HWND dialog, SetEdit& e, int select = -1) {
    e.selected = selectedSetName(dialog);
    const std::vector<Command>* c = selectedCommands(e);
    fillCommandList(dialog, c ? *c : std::vector<Command>(), select);
    for (int id : {IDC_CMS_ADD, IDC_CMS_DEL, IDC_CMS_UP, IDC_CMS_DOWN, IDC_CMS_DEL_SET})
        EnableWindow(GetDlgItem(dialog, id), c != nullptr);
}

void selectSetInList(HWND dialog, const std::string& name) {
    const std::string shown = name.empty() ? kNoCommandSet : name;
    const LRESULT i = SendDlgItemMessageA(dialog, IDC_CMS_SETS, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                          reinterpret_cast<LPARAM>(shown.c_str()));
    SendDlgItemMessageW(dialog, IDC_CMS_SETS, LB_SETCURSEL, static_cast<WPARAM>(i < 0 ? 0 : i), 0);
}

void fillSetList(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CMS_SETS);
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(kNoCommandSet));
    WIN32_FIND_DATAA found;
    const std::string pattern = commandSetPath("*");
    HANDLE h = FindFirstFileA(pattern.c_str(), &found);
    if (h == INVALID_HANDLE_VALUE) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        std::string name = found.cFileName;
        const size_t dot = name.rfind('.');
        if (dot == std::string::npos || lstrcmpiA(name.c_str() + dot, kCommandSetExtension) != 0) continue;
        name.resize(dot);
        if (validCommandSetName(name)) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
    } while (FindNextFileA(h, &found));
    FindClose(h);
}

void initColumns(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_CMS_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const int widths[4] = {80, 160, 120, 34};
    for (int col = 0; col < 4; ++col) {
        const std::wstring title = loadString(IDS_CMS_COLUMN_NAME + col);
        LVCOLUMNW c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.cx = widths[col];
        c.pszText = const_cast<wchar_t*>(title.c_str());
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
    }
}

// --- Add Command ---------------------------------------------------------------------------------

const int kLabelIds[kCommandPairs] = {IDC_CMD_LABEL1, IDC_CMD_LABEL2, IDC_CMD_LABEL3};
const int kValueIds[kCommandPairs] = {IDC_CMD_VALUE1, IDC_CMD_VALUE2, IDC_CMD_VALUE3};

INT_PTR CALLBACK addCommandProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetPropA(dialog, "KvCommand", reinterpret_cast<HANDLE>(lParam));
            const LabelTable& table = g_viewer->labels.table;
            for (int id : kLabelIds)
                for (const LabelRow& r : labelRows(table))
                    SendDlgItemMessageA(dialog, id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(table.entries[r.first].name));
            for (int id : kLabelIds) SendDlgItemMessageW(dialog, id, CB_LIMITTEXT, kLabelNameMax, 0);
            SendDlgItemMessageW(dialog, IDC_CMD_NAME, EM_LIMITTEXT, kLabelNameMax, 0);
            return TRUE;
        }
        case WM_COMMAND: {
            auto* c = static_cast<Command*>(GetPropA(dialog, "KvCommand"));
            if (!c) break;
            if (LOWORD(wParam) == IDOK) {
                Command edited;
                edited.name = itemText(dialog, IDC_CMD_NAME);
                for (int k = 0; k < kCommandPairs; ++k) {
                    edited.label[k] = itemText(dialog, kLabelIds[k]);
                    edited.value[k] = itemText(dialog, kValueIds[k]);
                }
                edited.description = itemText(dialog, IDC_CMD_DESC);
                edited.subCommand = IsDlgButtonChecked(dialog, IDC_CMD_SUB) == BST_CHECKED;
                if (const int code = checkCommand(edited)) {
                    ask(dialog, code, MB_OK | MB_ICONHAND, Caption::Error);
                    return TRUE;
                }
                *c = edited;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
        case WM_DESTROY: RemovePropA(dialog, "KvCommand"); break;
    }
    return FALSE;
}

INT_PTR CALLBACK newSetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetPropA(dialog, "KvSetName", reinterpret_cast<HANDLE>(lParam));
            SendDlgItemMessageW(dialog, IDC_CMS_SET_NAME, EM_LIMITTEXT, 200, 0);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                const std::string name = itemText(dialog, IDC_CMS_SET_NAME);
                if (!validCommandSetName(name) || name == kNoCommandSet) {
                    MessageBeep(MB_ICONHAND);
                    return TRUE;
                }
                *static_cast<std::string*>(GetPropA(dialog, "KvSetName")) = name;
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        case WM_DESTROY: RemovePropA(dialog, "KvSetName"); break;
    }
    return FALSE;
}

// --- Select Command Set --------------------------------------------------------------------------

void onSetCommand(HWND dialog, SetEdit& e, int id) {
    std::vector<Command>* c = selectedCommands(e);
    const int at = selectedCommand(dialog);
    switch (id) {
        case IDC_CMS_ADD_SET: {
            std::string name;
            if (runModal(IDD_NEW_COMMAND_SET, dialog, newSetProc, reinterpret_cast<LPARAM>(&name)) != IDOK) return;
            if (SendDlgItemMessageA(dialog, IDC_CMS_SETS, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(name.c_str())) < 0) {
                SendDlgItemMessageA(dialog, IDC_CMS_SETS, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
                e.sets[name];
                e.changed[name] = true;   // a new set's file is written on OK, even empty
            }
            selectSetInList(dialog, name);
            showSelectedSet(dialog, e);
            return;
        }
        case IDC_CMS_DEL_SET: {
            if (e.selected.empty()) return;
            if (ask(dialog, kStrDeleteCommandSet, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
            DeleteFileA(commandSetPath(e.selected).c_str());
            e.sets.erase(e.selected);
            e.changed.erase(e.selected);
            const LRESULT i = SendDlgItemMessageW(dialog, IDC_CMS_SETS, LB_GETCURSEL, 0, 0);
            SendDlgItemMessageW(dialog, IDC_CMS_SETS, LB_DELETESTRING, static_cast<WPARAM>(i), 0);
            if (g_active.name == e.selected) LoadCommandSet(std::string());
            selectSetInList(dialog, std::string());
            showSelectedSet(dialog, e);
            return;
        }
        case IDC_CMS_ADD: {
            if (!c) return;
            Command added;
            if (runModal(IDD_ADD_COMMAND, dialog, addCommandProc, reinterpret_cast<LPARAM>(&added)) != IDOK) return;
            c->push_back(added);
            e.changed[e.selected] = true;
            fillCommandList(dialog, *c, static_cast<int>(c->size()) - 1);
            return;
        }
        case IDC_CMS_DEL:
            if (!c || at < 0 || at >= static_cast<int>(c->size())) return;
            c->erase(c->begin() + at);
            e.changed[e.selected] = true;
            fillCommandList(dialog, *c, std::min(at, static_cast<int>(c->size()) - 1));
            return;
        case IDC_CMS_UP:
        case IDC_CMS_DOWN: {
            if (!c || at < 0 || at >= static_cast<int>(c->size())) return;
            const int to = id == IDC_CMS_UP ? at - 1 : at + 1;
            if (to < 0 || to >= static_cast<int>(c->size())) return;
            std::swap((*c)[static_cast<size_t>(at)], (*c)[static_cast<size_t>(to)]);
            e.changed[e.selected] = true;
            fillCommandList(dialog, *c, to);
            return;
        }
    }
}

INT_PTR CALLBACK selectSetProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetPropA(dialog, "KvCommandSets", reinterpret_cast<HANDLE>(lParam));
            initColumns(dialog);
            fillSetList(dialog);
            SetEdit& e = *reinterpret_cast<SetEdit*>(lParam);
            selectSetInList(dialog, e.selected);
            showSelectedSet(dialog, e);
            return TRUE;
        }
        case WM_COMMAND: {
            SetEdit* e = editOf(dialog);
            if (!e) break;
            const int id = LOWORD(wParam);
            if (id == IDC_CMS_SETS && HIWORD(wParam) == LBN_SELCHANGE) {
                showSelectedSet(dialog, *e);
                return TRUE;
            }
            if (id == IDOK || id == IDCANCEL) {
                e->selected = selectedSetName(dialog);
                EndDialog(dialog, id);
                return TRUE;
            }
            onSetCommand(dialog, *e, id);
            return TRUE;
        }
        case WM_DESTROY: RemovePropA(dialog, "KvCommandSets"); break;
    }
    return FALSE;
}

void repaintView() {
    if (g_viewer && g_viewer->shell.panel) SendMessageW(g_viewer->shell.panel, WM_KV_REPAINT, 0, 0);
}

}  // namespace

std::string commandSetPath(const std::string& name) {
    const std::string folder = g_viewer ? g_viewer->settings.workDirectory : std::string();
    return (folder.empty() ? std::string(".") : folder) + "\\" + name + kCommandSetExtension;
}

bool SaveCommandSet(const std::string& name, const std::vector<Command>& commands) {
    if (!validCommandSetName(name)) return false;
    const std::string text = writeCommandSet(commands);
    HANDLE f = CreateFileA(commandSetPath(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) && written == text.size();
    return CloseHandle(f) && ok;
}

void LoadCommandSet(const std::string& name) {
    g_active = ActiveSet{};
    if (!validCommandSetName(name)) return;
    g_active.name = name;
    g_active.commands = readSet(name);
}

const std::string& activeCommandSetName() { return g_active.name; }
const std::vector<Command>& activeCommands() { return g_active.commands; }

std::function<std::string(int64_t)> activeCommandText() {
    if (!g_viewer || g_active.name.empty() || g_active.commands.empty()) return {};
    const LabelState& labels = g_viewer->labels;
    if (!g_active.compiledValid || g_active.labelsRevision != labels.revision) {
        g_active.compiled = compileCommandSet(g_active.commands, labels.table);
        g_active.labelsRevision = labels.revision;
        g_active.compiledValid = true;
    }
    return [](int64_t state) {
        Viewer* v = g_viewer;
        if (!v || state < 0 || state >= v->store.logicalCount()) return std::string();
        return commandTextForState(g_active.compiled, v->labels.table, v->store.sample(static_cast<int32_t>(state)));
    };
}

bool saveCommandSetProject(const std::string& projectKey) {
    return writeCommandSetProject(viewerRegistry(), projectKey, g_active.name);
}

void loadCommandSetProject(const std::string& projectKey) {
    LoadCommandSet(readCommandSetProject(viewerRegistry(), projectKey));
}

int32_t commandSetCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    if (!g_viewer) return 0;
    SetEdit edit;
    edit.selected = g_active.name;
    if (runModal(IDD_COMMAND_SET, static_cast<HWND>(window), selectSetProc, reinterpret_cast<LPARAM>(&edit)) != IDOK)
        return 0;
    for (const auto& changed : edit.changed) {
        if (!changed.second) continue;
        const auto set = edit.sets.find(changed.first);
        if (set != edit.sets.end() && !SaveCommandSet(set->first, set->second))
            ask(static_cast<HWND>(window), 312, MB_OK | MB_ICONHAND, Caption::Error);
    }
    LoadCommandSet(edit.selected);
    repaintView();
    return 0;
}

}  // namespace kv
