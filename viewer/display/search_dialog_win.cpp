#include "viewer/display/search_dialog_win.h"

#include <commctrl.h>

#include <string>

#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/search_resources.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {

void addSearchPositions(HWND combo) {
    comboAdd(combo, loadString(IDS_SEARCH_BUFFER_HEAD), kSearchBufferHead);
    for (int c = 0; c < kCursorCount; ++c) comboAdd(combo, loadString(kStrCursorNameFirst + c), kSearchCursorFirst + c);
    comboAdd(combo, loadString(IDS_SEARCH_BUFFER_TAIL), kSearchBufferTail);
}

namespace {

SearchSetting g_setting;       // the setting of the last OK: Search Next repeats it, Default restores it
bool g_searched = false;       // Search Next has something to repeat

std::wstring widenText(const std::string& s) {
    std::wstring w;
    for (unsigned char c : s) w += static_cast<wchar_t>(c);
    return w;
}

std::string dialogText(HWND dialog, int id) {
    char text[256] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}


void fillConditionList(HWND dialog, const SearchSetting& s) {
    HWND list = GetDlgItem(dialog, IDC_SEARCH_LIST);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t k = 0; k < s.shown.size(); ++k) {
        const SearchSetting::Shown& c = s.shown[k];
        const std::wstring texts[3] = {widenText(c.label), widenText(c.value),
                                       c.type < 0 ? std::wstring() : loadString(IDS_SEARCH_TYPE_HEX + c.type)};
        LVITEMW item = {};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(k);
        item.pszText = const_cast<wchar_t*>(texts[0].c_str());
        const int at = static_cast<int>(SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
        for (int col = 1; col < 3; ++col) {
            LVITEMW sub = {};
            sub.iSubItem = col;
            sub.pszText = const_cast<wchar_t*>(texts[col].c_str());
            SendMessageW(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(&sub));
        }
    }
}

void fillSetting(HWND dialog, const SearchSetting& s) {
    fillConditionList(dialog, s);
    SetDlgItemInt(dialog, IDC_SEARCH_PASS, static_cast<UINT>(s.passCount), FALSE);
    comboSelect(dialog, IDC_SEARCH_START, s.startPosition);
    comboSelect(dialog, IDC_SEARCH_END, s.endPosition);
}

void fillDialog(HWND dialog, const SearchSetting& s) {
    const LabelTable& table = g_viewer->labels.table;
    HWND labelList = GetDlgItem(dialog, IDC_SEARCH_LABEL);
    for (const LabelRow& r : labelRows(table)) comboAdd(labelList, widenText(table.entries[r.first].name), r.first);
    SendMessageW(labelList, CB_SETCURSEL, 0, 0);
    HWND types = GetDlgItem(dialog, IDC_SEARCH_TYPE);
    for (int k = 0; k < 5; ++k) comboAdd(types, loadString(IDS_SEARCH_TYPE_HEX + k), k);
    SendMessageW(types, CB_SETCURSEL, 0, 0);
    for (int id : {IDC_SEARCH_START, IDC_SEARCH_END}) addSearchPositions(GetDlgItem(dialog, id));
    SendDlgItemMessageW(dialog, IDC_SEARCH_PASS_SPIN, UDM_SETRANGE32, 0, kMaxPassCount);
    HWND list = GetDlgItem(dialog, IDC_SEARCH_LIST);
    SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    const int widths[3] = {150, 150, 80};
    for (int col = 0; col < 3; ++col) {
        const std::wstring title = loadString(IDS_SEARCH_COLUMN_LABEL + col);
        LVCOLUMNW c = {};
        c.mask = LVCF_TEXT | LVCF_WIDTH;
        c.cx = widths[col];
        c.pszText = const_cast<wchar_t*>(title.c_str());
        SendMessageW(list, LVM_INSERTCOLUMNW, static_cast<WPARAM>(col), reinterpret_cast<LPARAM>(&c));
    }
    fillSetting(dialog, s);
}

void refuse(HWND owner, int stringId) { ask(owner, stringId, MB_OK | MB_ICONHAND, Caption::Error); }

SearchSetting* editedSetting(HWND dialog) { return static_cast<SearchSetting*>(GetPropA(dialog, "KvSearchSetting")); }

// Runs a search over [start, end] (Search Next: from after cursor B) and shows its outcome: cursor B
// on the match, or 245.
void searchAndShow(const SearchSetting& s, int64_t start, int64_t end, bool fromCursorB) {
    Viewer& v = *g_viewer;
    const std::vector<BoundValueCondition> values = bindValueConditions(s, v.labels.table, viewDecodedItems);
    const SearchOutcome o =
        fromCursorB ? runSearchNext(s, values, v.store, start, end) : runSearch(s, values, v.store, start, end);
    if (o.occurrences == 0) {
        setStatusText(loadString(kStrSearchNotFound));
        return;
    }
    placeCursor(kCursorB, static_cast<int32_t>(o.position));
    searchCursorCommand(v.shell.panel, kIdCursorB, 0, 0);  // focus on B and bring it into view
    setStatusText(formatString(kStrOccurrences, static_cast<int>(o.occurrences)));
}

int32_t cursorPositions(int32_t out[kCursorCount]) {
    const CursorSet& set = cursorSet();
    for (int c = 0; c < kCursorCount; ++c) out[c] = set.cursors[c].position;
    return 0;
}

INT_PTR CALLBACK searchProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetPropA(dialog, "KvSearchSetting", reinterpret_cast<HANDLE>(lParam));
            fillDialog(dialog, *reinterpret_cast<const SearchSetting*>(lParam));
            return TRUE;
        case WM_COMMAND: {
            SearchSetting* s = editedSetting(dialog);
            if (!s) break;
            switch (LOWORD(wParam)) {
                case IDC_SEARCH_ADD: {
                    const int code = addSearchCondition(*s, g_viewer->labels.table,
                                                        static_cast<int32_t>(comboSelected(dialog, IDC_SEARCH_LABEL, -1)),
                                                        dialogText(dialog, IDC_SEARCH_VALUE),
                                                        static_cast<int32_t>(comboSelected(dialog, IDC_SEARCH_TYPE, 0)));
                    if (code) refuse(dialog, code);
                    else fillConditionList(dialog, *s);
                    return TRUE;
                }
                case IDC_SEARCH_DEL: {
                    const LRESULT i = SendDlgItemMessageW(dialog, IDC_SEARCH_LIST, LVM_GETNEXTITEM,
                                                          static_cast<WPARAM>(-1), LVNI_SELECTED);
                    if (i >= 0) removeSearchCondition(*s, g_viewer->labels.table, static_cast<size_t>(i));
                    fillConditionList(dialog, *s);
                    return TRUE;
                }
                case IDC_SEARCH_CLEAR:
                    clearSearchConditions(*s);
                    fillConditionList(dialog, *s);
                    return TRUE;
                case IDC_SEARCH_DEFAULT:
                    *s = g_setting;
                    fillSetting(dialog, *s);
                    return TRUE;
                case IDOK: {
                    int32_t pass = 0;
                    if (const int code = checkPassCount(dialogText(dialog, IDC_SEARCH_PASS), pass)) {
                        refuse(dialog, code);
                        return TRUE;
                    }
                    s->passCount = pass;
                    s->startPosition = static_cast<int32_t>(comboSelected(dialog, IDC_SEARCH_START, kSearchBufferHead));
                    s->endPosition = static_cast<int32_t>(comboSelected(dialog, IDC_SEARCH_END, kSearchBufferTail));
                    EndDialog(dialog, IDOK);
                    return TRUE;
                }
                case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
            }
            break;
        }
        case WM_DESTROY: RemovePropA(dialog, "KvSearchSetting"); break;
    }
    return FALSE;
}

}  // namespace

const SearchSetting& searchSetting() { return g_setting; }

int32_t searchPatternCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    Viewer* v = g_viewer;
    if (!v) return 0;
    SearchSetting edited = g_setting;
    if (runModal(IDD_SEARCH, static_cast<HWND>(window), searchProc, reinterpret_cast<LPARAM>(&edited)) != IDOK)
        return 0;
    g_setting = edited;
    g_searched = true;
    int32_t cursors[kCursorCount];
    cursorPositions(cursors);
    int64_t start = 0, end = 0;
    searchInterval(g_setting, cursors, v->store.logicalCount(), start, end);
    searchAndShow(g_setting, start, end, false);
    return 0;
}

int32_t searchNextCommand(WinHandle, uint32_t, uint32_t, MsgLParam) {
    Viewer* v = g_viewer;
    if (!v || !g_searched) return 0;
    int32_t cursors[kCursorCount];
    cursorPositions(cursors);
    int64_t start = 0, end = 0;
    searchInterval(g_setting, cursors, v->store.logicalCount(), start, end);
    // From the sample after cursor B to the end of the interval.
    searchAndShow(g_setting, cursors[kCursorB], end, true);
    return 0;
}

}  // namespace kv
