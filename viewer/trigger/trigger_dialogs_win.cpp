#include "viewer/trigger/trigger_dialogs_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/trigger/serial_trigger_dialogs_win.h"
#include "viewer/trigger/trigger_editor.h"
#include "viewer/trigger/trigger_resources.h"

namespace kv {
namespace {

TriggerSetup& setup() { return g_viewer->acq.trigger; }
const TriggerDevice& device() { return g_viewer->acq.trigger.device; }

int callKvTrigger(int index, void* record) { return KvTrigger(index, record); }
TriggerProgrammer g_programmer = callKvTrigger;

int trackMenu(HWND owner, HMENU menu) {
    POINT p{};
    GetCursorPos(&p);
    return TrackPopupMenu(menu, TPM_RETURNCMD | TPM_NONOTIFY | TPM_LEFTALIGN, p.x, p.y, 0, owner, nullptr);
}
TriggerMenuChooser g_menuChooser = trackMenu;

// --- control helpers ----------------------------------------------------------------------------

void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextW(dialog, id, widen(text).c_str()); }
std::string textOf(HWND dialog, int id) { return narrow(windowText(GetDlgItem(dialog, id))); }
void enable(HWND dialog, int id, bool on) { EnableWindow(GetDlgItem(dialog, id), on); }
void show(HWND dialog, int id, bool on) { ShowWindow(GetDlgItem(dialog, id), on ? SW_SHOW : SW_HIDE); }
bool checked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

// The number in an edit; digits only (the edits take nothing else), so it cannot be negative.
// Too many digits saturate rather than wrap, so that an over-long entry is refused as too big.
int64_t numberOf(HWND dialog, int id) {
    int64_t n = 0;
    for (char c : textOf(dialog, id)) {
        if (c < '0' || c > '9') break;
        n = n > (INT64_MAX - 9) / 10 ? INT64_MAX : n * 10 + (c - '0');
    }
    return n;
}
void setNumber(HWND dialog, int id, int64_t n) { setText(dialog, id, std::to_string(n)); }

void refuse(HWND owner, int stringId) { ask(owner, stringId, MB_OK | MB_ICONHAND, Caption::Error); }

// --- Configure Trigger --------------------------------------------------------------------------

// The label mode and its rows are kept between openings of the editor.
bool g_labelMode = false;
std::vector<LabelConditionRow> g_labelRows;

struct LevelEditor {
    int mode;              // the editor's mode: 0 single level, 1 a multi-level level, 2 a path, 3 width
    TriggerRecord* record; // pass count, delay, width and pre-trigger are edited here
    uint8_t* oneLevel;
    bool ready = false;    // controls filled: edits may now refresh the texts
    bool closing = false;  // the pass count is no longer checked when it loses the focus
    bool passRefused = false;  // 224 shown for the number as it stands: OK refuses it silently
    bool filtering = false;
};

LevelEditor& editorOf(HWND dialog) { return *reinterpret_cast<LevelEditor*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

int channelId(int c) { return IDC_CHANNEL_FIRST + c; }
char captionOf(HWND dialog, int c) {
    const std::string t = textOf(dialog, channelId(c));
    return t.empty() ? 'X' : t[0];
}
void setCaption(HWND dialog, int c, char caption) { setText(dialog, channelId(c), std::string(1, caption)); }

void refreshTimes(HWND dialog) {
    LevelEditor& e = editorOf(dialog);
    const int64_t hz = editorTimeBase(*e.record, g_viewer->settings.extClkValEx);
    setText(dialog, IDC_WIDTH_TEXT, widthText(numberOf(dialog, IDC_WIDTH), hz));
    setText(dialog, IDC_DELAY_TEXT, delayText(numberOf(dialog, IDC_DELAY), hz));
}

const int kLabelControls[] = {IDC_LABEL_NAME_TEXT, IDC_LABEL_NAME_LIST, IDC_LABEL_CONDITION_TEXT, IDC_LABEL_CONDITION,
                              IDC_LABEL_VALUE_TEXT, IDC_LABEL_VALUE, IDC_LABEL_ADD, IDC_LABEL_DELETE,
                              IDC_LABEL_CLEAR, IDC_LABEL_ROWS, IDC_LABEL_RESULT_TEXT, IDC_LABEL_RESULT};

void refreshLabelResult(HWND dialog) {
    char captions[kTriggerChannels];
    captionsFromLabelRows(g_viewer->labels.table, g_labelRows, captions);
    // Channel 63 first, in groups of eight, as the pods are read.
    std::string result;
    for (int c = kTriggerChannels - 1; c >= 0; --c) {
        result += captions[c];
        if (c % 8 == 0 && c) result += ' ';
    }
    setText(dialog, IDC_LABEL_RESULT, result);
}

void showLabelMode(HWND dialog) {
    for (int c = 0; c < kTriggerChannels; ++c) {
        show(dialog, channelId(c), !g_labelMode);
        show(dialog, IDC_CHANNEL_NUMBER_FIRST + c, !g_labelMode);
    }
    for (int id : kLabelControls) show(dialog, id, g_labelMode);
    SetWindowTextW(dialog, loadString(g_labelMode ? kStrLabelMode : kStrDirectMode).c_str());
    setText(dialog, IDC_LABEL_MODE, g_labelMode ? "<<" : ">>");
    if (g_labelMode) refreshLabelResult(dialog);
}

void fillLabelRows(HWND dialog) {
    HWND list = GetDlgItem(dialog, IDC_LABEL_ROWS);
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    for (size_t i = 0; i < g_labelRows.size(); ++i) {
        const LabelConditionRow& row = g_labelRows[i];
        std::wstring texts[3] = {widen(row.label), widen(row.condition), widen(row.value)};
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = &texts[0][0];
        SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
        for (int sub = 1; sub < 3; ++sub) {
            item.iSubItem = sub;
            item.pszText = &texts[sub][0];
            SendMessageW(list, LVM_SETITEMTEXTW, i, reinterpret_cast<LPARAM>(&item));
        }
    }
    refreshLabelResult(dialog);
}

// The conditions of the label chosen in the name list.
void fillConditions(HWND dialog) {
    LevelEditor& e = editorOf(dialog);
    HWND names = GetDlgItem(dialog, IDC_LABEL_NAME_LIST);
    HWND conditions = GetDlgItem(dialog, IDC_LABEL_CONDITION);
    SendMessageW(conditions, CB_RESETCONTENT, 0, 0);
    const LRESULT sel = SendMessageW(names, CB_GETCURSEL, 0, 0);
    if (sel < 0) return;
    const LabelTable& table = g_viewer->labels.table;
    const LabelRow row = rowOfEntry(table, static_cast<int>(SendMessageW(names, CB_GETITEMDATA, sel, 0)));
    if (row.first < 0) return;
    std::string preselect;
    if (row.group()) preselect = defaultRadix(table.entries[row.first].format);
    LRESULT chosen = 0;
    for (const std::string& c : labelConditions(table, row, e.mode)) {
        const LRESULT i = SendMessageW(conditions, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(c).c_str()));
        if (c == preselect) chosen = i;
    }
    SendMessageW(conditions, CB_SETCURSEL, chosen, 0);
}

void fillLabelControls(HWND dialog) {
    HWND names = GetDlgItem(dialog, IDC_LABEL_NAME_LIST);
    const LabelTable& table = g_viewer->labels.table;
    for (const LabelRow& row : triggerLabelRows(table)) {
        const LRESULT i = SendMessageA(names, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(table.entries[row.first].name));
        SendMessageA(names, CB_SETITEMDATA, i, row.first);
    }
    SendMessageW(names, CB_SETCURSEL, 0, 0);
    fillConditions(dialog);
    HWND list = GetDlgItem(dialog, IDC_LABEL_ROWS);
    const int columns[3] = {IDS_LABEL_COLUMN_NAME, IDS_LABEL_COLUMN_CONDITION, IDS_LABEL_COLUMN_DESCRIPTION};
    const int widths[3] = {110, 70, 120};
    for (int i = 0; i < 3; ++i) {
        std::wstring title = loadString(columns[i]);
        LVCOLUMNW col{};
        col.mask = LVCF_TEXT | LVCF_WIDTH;
        col.cx = widths[i];
        col.pszText = &title[0];
        SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
    }
    fillLabelRows(dialog);
}

// Drops what the chosen radix does not accept from the value field.
void filterValue(HWND dialog) {
    LevelEditor& e = editorOf(dialog);
    if (e.filtering) return;
    const std::string radix = textOf(dialog, IDC_LABEL_CONDITION);
    const std::string value = textOf(dialog, IDC_LABEL_VALUE);
    std::string kept;
    for (char c : value)
        if (acceptsValueCharacter(radix, c)) kept += c;
    if (kept == value) return;
    e.filtering = true;
    setText(dialog, IDC_LABEL_VALUE, kept);
    SendDlgItemMessageW(dialog, IDC_LABEL_VALUE, EM_SETSEL, kept.size(), kept.size());
    e.filtering = false;
}

void addLabelRow(HWND dialog) {
    LabelConditionRow row{textOf(dialog, IDC_LABEL_NAME_LIST), textOf(dialog, IDC_LABEL_CONDITION),
                          textOf(dialog, IDC_LABEL_VALUE)};
    if (row.label.empty() || row.condition.empty()) return;
    if (const int refused = checkNewLabelRow(g_labelRows, row.condition)) {
        refuse(dialog, refused);
        return;
    }
    g_labelRows.push_back(row);
    fillLabelRows(dialog);
}

void fillEditor(HWND dialog) {
    LevelEditor& e = editorOf(dialog);
    const TriggerDevice& d = device();
    const TriggerRecord& r = *e.record;
    const int channels = std::min<int>(d.nanlyn ? kNanlynChannels : d.channelCount, kTriggerChannels);
    for (int c = 0; c < kTriggerChannels; ++c) {
        setCaption(dialog, c, c < channels ? conditionCharacter(e.oneLevel[c]) : 'X');
        enable(dialog, channelId(c), c < channels);
        enable(dialog, IDC_CHANNEL_NUMBER_FIRST + c, c < channels);
    }
    fillLabelControls(dialog);
    showLabelMode(dialog);

    for (int spin : {IDC_PASS_SPIN, IDC_WIDTH_SPIN, IDC_DELAY_SPIN})
        SendDlgItemMessageW(dialog, spin, UDM_SETRANGE32, 0, 0x7FFFFFFF);
    setNumber(dialog, IDC_PASS_COUNT, std::min<int64_t>(shownPassCount(r.passCount), d.highestPassCount));
    const bool passCount = e.mode != kModeDual;
    for (int id : {IDC_PASS_TEXT, IDC_PASS_COUNT, IDC_PASS_SPIN}) enable(dialog, id, passCount);

    const bool width = e.mode == kModeWidth;
    for (int id : {IDC_WIDTH_GROUP, IDC_WIDTH_LONGER, IDC_WIDTH_SHORTER, IDC_WIDTH, IDC_WIDTH_SPIN, IDC_WIDTH_TEXT})
        enable(dialog, id, width);
    CheckRadioButton(dialog, IDC_WIDTH_LONGER, IDC_WIDTH_SHORTER, r.width >= 0 ? IDC_WIDTH_LONGER : IDC_WIDTH_SHORTER);
    setNumber(dialog, IDC_WIDTH, width ? std::abs(static_cast<int64_t>(r.width)) : 0);

    const bool methodChoice = !d.nanlyn && !isDirectTriggerFamily(d.productCode);
    for (int id : {IDC_DELAY_GROUP, IDC_DELAY, IDC_DELAY_SPIN, IDC_DELAY_TEXT}) enable(dialog, id, methodChoice);
    setNumber(dialog, IDC_DELAY, r.delay);

    const bool pre = (r.flags & kTriggerFlagPreTrigger) != 0;
    bool preEnabled = true, preChecked = pre;
    if (d.nanlyn) {
        const uint32_t m = r.mode;
        if (r.frequency() >= 400000000u || m == kModeSerial || m == kModeI2c || m == kModeSpi || m == kModeI2s) {
            preEnabled = false;
            preChecked = true;
        }
    } else if (!methodChoice) {
        // Boards before family 5 have no pre-trigger: the template leaves the box off.
        if (d.family < 5) {
            preEnabled = IsWindowEnabled(GetDlgItem(dialog, IDC_PRE_TRIGGER)) != FALSE;
            preChecked = checked(dialog, IDC_PRE_TRIGGER);
        } else if (d.scopeStacked) {
            preEnabled = false;
            preChecked = true;
        }
    }
    enable(dialog, IDC_PRE_TRIGGER, preEnabled);
    CheckDlgButton(dialog, IDC_PRE_TRIGGER, preChecked ? BST_CHECKED : BST_UNCHECKED);
    e.ready = true;
    refreshTimes(dialog);
}

void channelClicked(HWND dialog, int channel) {
    LevelEditor& e = editorOf(dialog);
    bool otherEdge = false;
    for (int c = 0; c < kTriggerChannels; ++c)
        otherEdge |= c != channel && IsWindowEnabled(GetDlgItem(dialog, channelId(c))) && isEdgeCharacter(captionOf(dialog, c));
    const ChannelMenu kind = channelMenu(e.mode, otherEdge, device());
    const int items = kind == ChannelMenu::Full ? 6 : kind == ChannelMenu::Edges ? 5 : 3;
    static const char* const kItems[6] = {"0", "1", "X", "/", "\\", "|"};
    HMENU menu = CreatePopupMenu();
    for (int i = 0; i < items; ++i) AppendMenuA(menu, MF_STRING, IDM_CONDITION_FIRST + i, kItems[i]);
    const int chosen = g_menuChooser(dialog, menu);
    DestroyMenu(menu);
    if (chosen >= IDM_CONDITION_FIRST && chosen < IDM_CONDITION_FIRST + items)
        setCaption(dialog, channel, kItems[chosen - IDM_CONDITION_FIRST][0]);
}

void editorOk(HWND dialog) {
    LevelEditor& e = editorOf(dialog);
    if (g_labelMode) {
        char captions[kTriggerChannels];
        captionsFromLabelRows(g_viewer->labels.table, g_labelRows, captions);
        for (int c = 0; c < kTriggerChannels; ++c) setCaption(dialog, c, captions[c]);
    }
    LevelEditorInput in;
    for (int c = 0; c < kTriggerChannels; ++c) {
        in.captions[c] = captionOf(dialog, c);
        in.enabled[c] = IsWindowEnabled(GetDlgItem(dialog, channelId(c))) != FALSE;
    }
    in.passCount = numberOf(dialog, IDC_PASS_COUNT);
    in.width = numberOf(dialog, IDC_WIDTH);
    in.longer = checked(dialog, IDC_WIDTH_LONGER);
    in.delay = numberOf(dialog, IDC_DELAY);
    in.preTrigger = checked(dialog, IDC_PRE_TRIGGER);
    if (const int refused = applyLevelEditor(in, e.mode, device(), *e.record, e.oneLevel)) {
        // A click on OK right after leaving a refused pass count must not show 224 twice.
        if (refused != kStrPassCountRange || !e.passRefused) refuse(dialog, refused);
        return;
    }
    e.closing = true;
    EndDialog(dialog, 1);
}

// A spin bar step: the new number follows the bar's own wrap rule; the bar itself never moves.
void spin(HWND dialog, int spinId, int delta) {
    const TriggerDevice& d = device();
    switch (spinId) {
        case IDC_PASS_SPIN:
            setNumber(dialog, IDC_PASS_COUNT,
                      spinPassCount(static_cast<int32_t>(std::min<int64_t>(numberOf(dialog, IDC_PASS_COUNT), INT32_MAX)),
                                    delta, d.highestPassCount));
            break;
        case IDC_WIDTH_SPIN:
            setNumber(dialog, IDC_WIDTH,
                      spinWidth(static_cast<int32_t>(std::min<int64_t>(numberOf(dialog, IDC_WIDTH), 65535)), delta, d.nanlyn));
            break;
        case IDC_DELAY_SPIN:
            setNumber(dialog, IDC_DELAY,
                      spinDelay(static_cast<uint32_t>(std::min<int64_t>(numberOf(dialog, IDC_DELAY), kTriggerDelayMax)), delta));
            break;
    }
    refreshTimes(dialog);
}

INT_PTR CALLBACK levelEditorProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            fillEditor(dialog);
            return TRUE;
        case WM_NOTIFY: {
            const auto* hdr = reinterpret_cast<const NMHDR*>(lParam);
            if (hdr->code == UDN_DELTAPOS) {
                spin(dialog, static_cast<int>(hdr->idFrom), reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
                SetWindowLongPtrW(dialog, DWLP_MSGRESULT, TRUE);
                return TRUE;
            }
            return FALSE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            const int code = HIWORD(wParam);
            if (id >= IDC_CHANNEL_FIRST && id < IDC_CHANNEL_FIRST + kTriggerChannels && code == BN_CLICKED) {
                channelClicked(dialog, id - IDC_CHANNEL_FIRST);
                return TRUE;
            }
            switch (id) {
                case IDOK:
                case IDC_TRIGGER_OK: {
                    // Enter in the value field or on Add adds the row instead.
                    const HWND focus = GetFocus();
                    if (g_labelMode && (focus == GetDlgItem(dialog, IDC_LABEL_VALUE) || focus == GetDlgItem(dialog, IDC_LABEL_ADD))) {
                        addLabelRow(dialog);
                        return TRUE;
                    }
                    editorOk(dialog);
                    return TRUE;
                }
                case IDCANCEL:
                case IDC_TRIGGER_CANCEL:
                    editorOf(dialog).closing = true;
                    EndDialog(dialog, 0);
                    return TRUE;
                case IDC_LABEL_MODE:
                    g_labelMode = !g_labelMode;
                    showLabelMode(dialog);
                    return TRUE;
                case IDC_LABEL_ADD: addLabelRow(dialog); return TRUE;
                case IDC_LABEL_DELETE: {
                    const LRESULT sel = SendDlgItemMessageW(dialog, IDC_LABEL_ROWS, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
                    if (sel >= 0 && static_cast<size_t>(sel) < g_labelRows.size()) {
                        g_labelRows.erase(g_labelRows.begin() + sel);
                        fillLabelRows(dialog);
                    }
                    return TRUE;
                }
                case IDC_LABEL_CLEAR:
                    g_labelRows.clear();
                    fillLabelRows(dialog);
                    return TRUE;
                case IDC_LABEL_NAME_LIST:
                    if (code == CBN_SELCHANGE) fillConditions(dialog);
                    return TRUE;
                case IDC_LABEL_CONDITION:
                case IDC_LABEL_VALUE:
                    if (code == CBN_SELCHANGE || code == EN_CHANGE) filterValue(dialog);
                    return TRUE;
                case IDC_WIDTH:
                case IDC_DELAY:
                    if (code == EN_CHANGE && editorOf(dialog).ready) refreshTimes(dialog);
                    return TRUE;
                case IDC_PASS_COUNT:
                    if (code == EN_CHANGE) editorOf(dialog).passRefused = false;
                    if (code == EN_KILLFOCUS && editorOf(dialog).ready && !editorOf(dialog).closing) {
                        // Moving to Cancel abandons the number anyway.
                        if (GetFocus() == GetDlgItem(dialog, IDC_TRIGGER_CANCEL)) return TRUE;
                        const int64_t n = numberOf(dialog, IDC_PASS_COUNT);
                        if (n < 0 || n > device().highestPassCount) {
                            editorOf(dialog).passRefused = true;
                            refuse(dialog, kStrPassCountRange);
                            SetFocus(GetDlgItem(dialog, IDC_PASS_COUNT));
                        }
                    }
                    return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

// Configure Trigger over a record and a one-level buffer; 1 on OK.
INT_PTR runLevelEditor(HWND owner, int mode, TriggerRecord& record, uint8_t oneLevel[kTriggerChannels]) {
    LevelEditor e{mode, &record, oneLevel};
    return runModal(IDD_CONFIGURE_TRIGGER, owner, levelEditorProc, reinterpret_cast<LPARAM>(&e));
}

// --- Trigger Method -----------------------------------------------------------------------------

void showMethodHelp(HWND dialog, int mode) {
    std::wstring help;
    for (int id : methodHelpStrings(mode)) {
        if (!help.empty()) help += L"\r\n";
        help += loadString(id);
    }
    SetDlgItemTextW(dialog, IDC_METHOD_HELP, help.c_str());
}

INT_PTR CALLBACK methodProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const TriggerDevice& d = device();
            int mode = static_cast<int>(lParam);
            if (mode < 0 || mode >= kTriggerModes || (mode >= kModeSerial && !d.nanlyn)) mode = kModeSingle;
            if (d.nanlyn) SetDlgItemTextW(dialog, IDC_METHOD_FIRST + kModeDual, loadString(kStrMultiCondition).c_str());
            // The serial and glitch choices are never offered here (a Nanlyn sample mode selects
            // them); the I2C, SPI and I2S triggers exist on Nanlyn boards only.
            for (int m = kModeSerial; m <= kModeI2s; ++m)
                enable(dialog, IDC_METHOD_FIRST + m, d.nanlyn && m != kModeSerial && m != kModeGlitch);
            if (mode == kModeSerial || mode == kModeGlitch || (mode >= kModeSerial && !d.nanlyn)) mode = kModeSingle;
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + kTriggerModes - 1, IDC_METHOD_FIRST + mode);
            showMethodHelp(dialog, mode);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id >= IDC_METHOD_FIRST && id < IDC_METHOD_FIRST + kTriggerModes) {
                showMethodHelp(dialog, id - IDC_METHOD_FIRST);
                return TRUE;
            }
            if (id == IDOK) {
                for (int m = 0; m < kTriggerModes; ++m)
                    if (checked(dialog, IDC_METHOD_FIRST + m)) EndDialog(dialog, m);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, -1);
                return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

int runMethodDialog(HWND owner, uint32_t currentMode) {
    const INT_PTR r = runModal(IDD_TRIGGER_METHOD, owner, methodProc, static_cast<LPARAM>(currentMode));
    return r >= 0 && r < kTriggerModes ? static_cast<int>(r) : -1;
}

// --- Multi-Level Trigger ------------------------------------------------------------------------

struct LevelSequence {
    TriggerRecord* record;
    int mode;
    std::wstring title;
    int shown;
};

LevelSequence& sequenceOf(HWND dialog) { return *reinterpret_cast<LevelSequence*>(GetWindowLongPtrW(dialog, DWLP_USER)); }

const int kLevelLeft = 10, kLevelWidth = 90, kLevelHeight = 22, kLinkWidth = 96, kLinkHeight = 18;

void layoutLevels(HWND dialog) {
    const LevelSequence& s = sequenceOf(dialog);
    const TriggerRecord& r = *s.record;
    const int enabled = enabledLevels(r, s.shown);
    const std::vector<int> tops = levelTops(r, s.shown, 10, kLevelHeight);
    for (int l = 0; l < kTriggerLevels; ++l) {
        HWND level = GetDlgItem(dialog, IDC_LEVEL_FIRST + l);
        ShowWindow(level, l < s.shown ? SW_SHOW : SW_HIDE);
        EnableWindow(level, l < enabled);
        if (l < s.shown) MoveWindow(level, kLevelLeft, tops[l], kLevelWidth, kLevelHeight, TRUE);
        if (l == kTriggerLevels - 1) break;
        HWND link = GetDlgItem(dialog, IDC_LINK_FIRST + l);
        const bool shownLink = l < s.shown - 1;
        ShowWindow(link, shownLink ? SW_SHOW : SW_HIDE);
        EnableWindow(link, l < enabled);
        const uint32_t code = r.links[l];
        SetWindowTextW(link, loadString(code == kLinkContinuous      ? IDS_LINK_CONTINUOUS
                                        : code == kLinkDiscontinuous ? IDS_LINK_DISCONTINUOUS
                                                                     : IDS_LINK_END)
                                 .c_str());
        // Between its level and the next.
        if (shownLink) MoveWindow(link, kLevelLeft + kLevelWidth + 6, tops[l] + kLevelHeight - kLinkHeight / 2, kLinkWidth, kLinkHeight, TRUE);
    }
    // The dialog ends below the last shown level (or the buttons on the right).
    RECT ok{};
    GetWindowRect(GetDlgItem(dialog, IDC_CLEAR_ALL), &ok);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&ok), 2);
    const int bottom = std::max<int>(tops[s.shown - 1] + kLevelHeight, ok.bottom) + 10;
    RECT client{}, window{};
    GetClientRect(dialog, &client);
    GetWindowRect(dialog, &window);
    const int frame = (window.bottom - window.top) - client.bottom;
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left, bottom + frame, SWP_NOMOVE | SWP_NOZORDER);
}

INT_PTR CALLBACK multiLevelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            LevelSequence& s = sequenceOf(dialog);
            SetWindowTextW(dialog, s.title.c_str());
            for (int l = 0; l < kTriggerLevels; ++l)
                SetDlgItemTextW(dialog, IDC_LEVEL_FIRST + l, formatString(IDS_LEVEL_N, l + 1).c_str());
            layoutLevels(dialog);
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            LevelSequence& s = sequenceOf(dialog);
            if (id >= IDC_LEVEL_FIRST && id < IDC_LEVEL_FIRST + kTriggerLevels) {
                EndDialog(dialog, 2 + id - IDC_LEVEL_FIRST);
                return TRUE;
            }
            if (id >= IDC_LINK_FIRST && id < IDC_LINK_FIRST + kTriggerLevels - 1) {
                const int l = id - IDC_LINK_FIRST;
                s.record->links[l] = nextLinkCode(s.record->links[l], l, s.mode, device().nanlyn);
                layoutLevels(dialog);
                return TRUE;
            }
            switch (id) {
                case IDC_CLEAR_ALL:
                    // Every level of the sequence being edited.
                    std::fill(s.record->data.begin(), s.record->data.begin() + kTriggerLevelBytes * s.shown, kConditionDontCare);
                    return TRUE;
                case IDOK: EndDialog(dialog, 1); return TRUE;
                case IDCANCEL: EndDialog(dialog, 0); return TRUE;
            }
            return FALSE;
        }
    }
    return FALSE;
}

// Multi-Level Trigger over `r` with Configure Trigger per level, until OK (true) or a Cancel in
// either dialog (false).
bool runLevelSequence(HWND owner, TriggerRecord& r, int mode, const std::wstring& title, int shown) {
    if (r.passCount < 0) r.passCount = 0;
    for (;;) {
        LevelSequence s{&r, mode, title, shown};
        const INT_PTR result = runModal(IDD_MULTI_LEVEL, owner, multiLevelProc, reinterpret_cast<LPARAM>(&s));
        if (result == 1) return true;
        if (result < 2) return false;
        const int level = static_cast<int>(result - 2);
        uint8_t one[kTriggerChannels];
        std::memcpy(one, r.level(level), sizeof one);
        if (runLevelEditor(owner, mode, r, one) != 1) return false;
        std::memcpy(r.level(level), one, sizeof one);
    }
}

// --- Multi-Condition Trigger --------------------------------------------------------------------

INT_PTR CALLBACK conditionProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            enable(dialog, IDC_CONDITION_3, device().nanlyn);
            enable(dialog, IDC_CONDITION_4, device().nanlyn);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CONDITION_1: EndDialog(dialog, 1); return TRUE;
                case IDC_CONDITION_2: EndDialog(dialog, 2); return TRUE;
                case IDC_CONDITION_3: EndDialog(dialog, 3); return TRUE;
                case IDC_CONDITION_4: EndDialog(dialog, 4); return TRUE;
                case IDOK: EndDialog(dialog, -1); return TRUE;
                case IDCANCEL: EndDialog(dialog, 0); return TRUE;
            }
            return FALSE;
    }
    return FALSE;
}

bool runConditions(HWND owner) {
    TriggerSetup& s = setup();
    const TriggerDevice& d = s.device;
    if (!d.nanlyn) {
        TriggerRecord work = s.current;
        for (;;) {
            const INT_PTR c = runModal(IDD_MULTI_CONDITION, owner, conditionProc, 0);
            if (c == -1) {
                s.current = work;
                completeTriggerRecord(s.current, kModeDual, d);
                return true;
            }
            if (c == 1) {
                if (!runLevelSequence(owner, work, kModeDual, loadString(kStrDualTitle1), shownLevels(kModeDual, false)))
                    return false;
            } else if (c == 2) {
                beginPath2Edit(work);
                const bool ok = runLevelSequence(owner, work, kModeDual, loadString(kStrDualTitle2), shownLevels(kModeDual, false));
                endPath2Edit(work);
                if (!ok) return false;
            } else {
                return false;
            }
        }
    }
    // Nanlyn boards: four conditions, each a record of its own in the byte-level layout.
    TriggerRecord conditions[kNanlynConditions];
    for (int c = 0; c < kNanlynConditions; ++c)
        readNanlynLevels(s.current, c, static_cast<int>(s.current.conditionCounts >> (8 * c) & 0xFF), conditions[c]);
    for (;;) {
        const INT_PTR c = runModal(IDD_MULTI_CONDITION, owner, conditionProc, 0);
        if (c == -1) {
            s.current.flags = (s.current.flags & ~kTriggerFlagPreTrigger) | (conditions[0].flags & kTriggerFlagPreTrigger);
            completeTriggerRecord(s.current, kModeDual, d, conditions);
            return true;
        }
        if (c < 1 || c > kNanlynConditions) return false;
        TriggerRecord& work = conditions[c - 1];
        if (!runLevelSequence(owner, work, kModeDual, formatString(kStrMultiConditionTitle, static_cast<int>(c)), kTriggerLevels))
            return false;
        // One pre-trigger for all four.
        for (TriggerRecord& other : conditions)
            other.flags = (other.flags & ~kTriggerFlagPreTrigger) | (work.flags & kTriggerFlagPreTrigger);
    }
}

// --- the command --------------------------------------------------------------------------------

// The editor of a chosen mode over the record in force; true when it was confirmed.
bool runModeEditor(HWND owner, int mode) {
    TriggerSetup& s = setup();
    const TriggerDevice& d = s.device;
    TriggerRecord& current = s.current;
    switch (mode) {
        case kModeSingle:
        case kModeWidth:
            readOneLevelFor(current, s.oneLevel, d);
            if (runLevelEditor(owner, mode, current, s.oneLevel) != 1) return false;
            storeOneLevelFor(current, s.oneLevel, d);
            completeTriggerRecord(current, mode, d);
            return true;
        case kModeMulti: {
            TriggerRecord work = current;
            if (d.nanlyn) readNanlynLevels(current, 0, static_cast<int>(current.levelCount), work);
            if (!runLevelSequence(owner, work, kModeMulti, loadString(kStrMultiLevelTitle), kTriggerLevels)) return false;
            if (d.nanlyn) {
                const TriggerRecord levels = work;
                work.data = current.data;
                current = work;
                completeTriggerRecord(current, kModeMulti, d, &levels);
            } else {
                current = work;
                completeTriggerRecord(current, kModeMulti, d);
            }
            return true;
        }
        case kModeDual: return runConditions(owner);
        case kModeNoTrigger: completeTriggerRecord(current, kModeNoTrigger, d); return true;
        default: return d.nanlyn && runSerialTriggerEditor(owner, mode, current);
    }
}

DWORD WINAPI programWorker(void* argument) {
    std::unique_ptr<TriggerRecord> record(static_cast<TriggerRecord*>(argument));
    TriggerSetup& s = setup();
    programTrigger(*record, s.device, g_viewer->shell.deviceIndex, g_programmer);
    s.busy = 0;
    return 0;
}

}  // namespace

void initTriggerSetup() {
    Viewer& v = *g_viewer;
    TriggerDevice d;
    d.productCode = v.device.productCode;
    d.nanlyn = v.device.limits.nanlyn;
    d.channelCount = v.device.channelCount;
    if (v.shell.deviceIndex >= 0) {
        d.highestPassCount = static_cast<int32_t>(std::min<uint32_t>(v.device.largestCount, INT32_MAX));
        d.family = KvGetHwInfo(v.shell.deviceIndex, kHwFamily);
    }
    resetTriggerSetup(v.acq.trigger, d);
}

TriggerProgrammer setTriggerProgrammer(TriggerProgrammer programmer) {
    const TriggerProgrammer old = g_programmer;
    g_programmer = programmer ? programmer : callKvTrigger;
    return old;
}

TriggerMenuChooser setTriggerMenuChooser(TriggerMenuChooser chooser) {
    const TriggerMenuChooser old = g_menuChooser;
    g_menuChooser = chooser ? chooser : trackMenu;
    return old;
}

void waitForTriggerProgramming() {
    if (!g_viewer) return;
    while (setup().busy) Sleep(1);
}

void startTriggerProgramming() {
    TriggerSetup& s = setup();
    s.sent = 1;
    s.busy = 1;
    prepareForProgramming(s.current, s.device);
    // The worker programs its own copy: the record in force may change while it runs.
    auto* record = new TriggerRecord(s.current);
    HANDLE thread = CreateThread(nullptr, 0, programWorker, record, 0, nullptr);
    if (thread) {
        CloseHandle(thread);
        return;
    }
    programWorker(record);
}

bool configureTrigger(HWND owner) {
    Viewer& v = *g_viewer;
    // The acquisition controls are off while a capture runs; the keyboard shortcut is too.
    if (v.acq.thread) return false;
    waitForTriggerProgramming();
    TriggerSetup& s = v.acq.trigger;
    const TriggerDevice& d = s.device;
    s.committed = s.current;
    bool confirmed = false;
    uint32_t features = 0;
    if (!d.nanlyn && isDirectTriggerFamily(d.productCode)) {
        // These boards take a single level only, edited on the buffer as it stands.
        confirmed = runLevelEditor(owner, kModeSingle, s.current, s.oneLevel) == 1;
        if (confirmed) storeOneLevel(s.current, s.oneLevel, d.channelCount);
    } else {
        int mode = -1;
        if (d.nanlyn) {
            uint8_t info[kKvModeInfoBytes] = {};
            if (KvGetHwInfoEx(v.shell.deviceIndex, kHwModeInfo, -1, info)) {
                features = getLe32(info + 152);
                mode = nanlynForcedMode(features, getLe64(info + 16));
            }
        }
        if (mode < 0) mode = runMethodDialog(owner, s.current.mode);
        if (mode >= 0) {
            if (static_cast<uint32_t>(mode) != s.current.mode) switchTriggerMode(s, mode, false);
            uint8_t saved[kTriggerChannels];
            std::memcpy(saved, s.oneLevel, sizeof saved);
            confirmed = runModeEditor(owner, mode);
            std::memcpy(s.oneLevel, saved, sizeof saved);
        }
    }
    if (!confirmed) {
        s.current = s.committed;
        return false;
    }
    if (d.nanlyn && (features & kModeFeatureStandardTrigger)) s.standardMode = static_cast<int32_t>(s.current.mode);
    s.current.flags = (s.current.flags & ~kTriggerFlagMemoryStack) | (s.committed.flags & kTriggerFlagMemoryStack);
    // Only the UART editor may change the sample frequency.
    if (s.current.mode != kModeSerial) {
        s.current.frequencyLow = s.committed.frequencyLow;
        s.current.frequencyHigh = s.committed.frequencyHigh;
        s.current.clock = s.committed.clock;
    }
    storeTriggerSlot(s, s.committed);
    storeTriggerSlot(s, s.current);
    startTriggerProgramming();
    if (v.shell.panel) InvalidateRect(v.shell.panel, nullptr, FALSE);
    return true;
}

int32_t configureTriggerCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    configureTrigger(static_cast<HWND>(window));
    return 0;
}

}  // namespace kv
