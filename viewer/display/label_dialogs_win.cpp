#include "viewer/display/label_dialogs_win.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "viewer/display/decode_view_win.h"
#include "viewer/display/label_resources.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

enum : int {
    kCmdModifyName = 101,
    kCmdDelete = 103,
    kCmdCombine = 104,
    kCmdDecompose = 105,
    kCmdConfigure = 106,
    kCmdSort = 107,
    kCmdDeleteAll = 109,
    kCmdDeleteMode = 110,
    kCmdNormalMode = 111,
    kCmdSelectMode = 112,
    kCmdArrange = 113,
    kCmdDeleteUnused = 119,
};

// Menu order; 0 is a separator.
const int kMenuItems[] = {kCmdModifyName, kCmdAddLabel,  kCmdDelete,     kCmdCombine,    kCmdDecompose,
                          kCmdConfigure,  kCmdArrange,   kCmdSort,       0,              kCmdAddAllLabel,
                          kCmdDeleteAll,  kCmdDeleteUnused, 0,           kCmdDeleteMode, kCmdNormalMode,
                          kCmdSelectMode, 0,             kCmdUndo};

constexpr int kChannelsPerPod = 16;
constexpr UINT_PTR kRenameSubclass = 0x4C42;

struct UiState {
    int underMouse = -1;
    int firstRow = 0;
    int nameWidth = 80;
    int renaming = -1;  // entry being renamed in place
};
UiState g_ui;

LabelState& labels() { return g_viewer->labels; }
int channelCount() { return g_viewer->device.channelCount; }
HWND panelWindow() { return g_viewer->shell.panel; }

// Refusals: 210 carries the table size.
void refuse(HWND owner, int stringId) {
    if (stringId == kStrTooManyLabels)
        askText(owner, stringId, formatString(stringId, kMaxLabels), MB_OK | MB_ICONHAND, Caption::Error);
    else
        ask(owner, stringId, MB_OK | MB_ICONHAND, Caption::Error);
}

// The end of a dialog's OK: closed when the table took the change, else the reason is shown and
// the dialog stays open for a correction.
void closeOrRefuse(HWND dialog, int code) {
    if (code) refuse(dialog, code);
    else EndDialog(dialog, IDOK);
}

std::string itemText(HWND list, int i, UINT getLen, UINT get) {
    const LRESULT n = SendMessageA(list, getLen, i, 0);
    if (n < 0) return {};
    std::string text(static_cast<size_t>(n) + 1, '\0');
    SendMessageA(list, get, i, reinterpret_cast<LPARAM>(&text[0]));
    text.resize(static_cast<size_t>(n));
    return text;
}

std::string dialogText(HWND dialog, int id) {
    HWND c = GetDlgItem(dialog, id);
    const int n = GetWindowTextLengthA(c);
    std::string text(static_cast<size_t>(n) + 1, '\0');
    GetWindowTextA(c, &text[0], n + 1);
    text.resize(std::strlen(text.c_str()));
    return text;
}


void selectComboData(HWND combo, LPARAM data) {
    const LRESULT n = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < n; ++i)
        if (SendMessageW(combo, CB_GETITEMDATA, i, 0) == data) {
            SendMessageW(combo, CB_SETCURSEL, i, 0);
            return;
        }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}

LPARAM comboData(HWND dialog, int id) {
    HWND combo = GetDlgItem(dialog, id);
    const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    return i == CB_ERR ? 0 : SendMessageW(combo, CB_GETITEMDATA, i, 0);
}

// --- colour buttons ------------------------------------------------------------------------------

void selectColor(HWND dialog, int32_t index) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, index);
    for (int id = IDC_LABEL_COLOR_FIRST; id <= IDC_LABEL_COLOR_LAST; ++id) InvalidateRect(GetDlgItem(dialog, id), nullptr, TRUE);
}

int32_t selectedColor(HWND dialog) { return static_cast<int32_t>(GetWindowLongPtrW(dialog, GWLP_USERDATA)); }

bool drawColorButton(HWND dialog, const DRAWITEMSTRUCT* d) {
    if (d->CtlID < IDC_LABEL_COLOR_FIRST || d->CtlID > IDC_LABEL_COLOR_LAST) return false;
    const int32_t index = static_cast<int32_t>(d->CtlID - IDC_LABEL_COLOR_FIRST);
    HBRUSH brush = CreateSolidBrush(labelColor(index));
    RECT r = d->rcItem;
    FillRect(d->hDC, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    if (index == selectedColor(dialog)) {
        FrameRect(d->hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        InflateRect(&r, -1, -1);
        FrameRect(d->hDC, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }
    InflateRect(&r, -2, -2);
    FillRect(d->hDC, &r, brush);
    DeleteObject(brush);
    return true;
}

bool colorClicked(HWND dialog, int id) {
    if (id < IDC_LABEL_COLOR_FIRST || id > IDC_LABEL_COLOR_LAST) return false;
    selectColor(dialog, id - IDC_LABEL_COLOR_FIRST);
    return true;
}

void setupChannel(HWND dialog, int channel) {
    SendDlgItemMessageW(dialog, IDC_LABEL_CHANNEL_SPIN, UDM_SETRANGE32, 0, std::max(0, channelCount() - 1));
    SetDlgItemInt(dialog, IDC_LABEL_CHANNEL, static_cast<UINT>(channel), FALSE);
}

int readChannel(HWND dialog) {
    BOOL ok = FALSE;
    const int c = static_cast<int>(GetDlgItemInt(dialog, IDC_LABEL_CHANNEL, &ok, TRUE));
    return ok ? c : -1;
}

// --- Add Label -----------------------------------------------------------------------------------

struct AddLabelRecord {
    std::string name;
    int channel = 0;
    int32_t color = 1;
    uint32_t pods = 0xF;
    bool set = false;
};

void showAddMode(HWND dialog) {
    const bool set = IsDlgButtonChecked(dialog, IDC_ADD_LABEL_SET) == BST_CHECKED;
    const int pods = (channelCount() + kChannelsPerPod - 1) / kChannelsPerPod;
    for (int p = 0; p < 4; ++p) EnableWindow(GetDlgItem(dialog, IDC_POD_A + p), set && p < pods);
    EnableWindow(GetDlgItem(dialog, IDC_LABEL_NAME), !set);
    EnableWindow(GetDlgItem(dialog, IDC_LABEL_CHANNEL), !set);
    EnableWindow(GetDlgItem(dialog, IDC_LABEL_CHANNEL_SPIN), !set);
}

void addLabelOk(HWND dialog) {
    AddLabelRecord r;
    r.set = IsDlgButtonChecked(dialog, IDC_ADD_LABEL_SET) == BST_CHECKED;
    r.name = dialogText(dialog, IDC_LABEL_NAME);
    r.channel = readChannel(dialog);
    r.color = selectedColor(dialog);
    r.pods = 0;
    for (int p = 0; p < 4; ++p)
        if (IsWindowEnabled(GetDlgItem(dialog, IDC_POD_A + p)) && IsDlgButtonChecked(dialog, IDC_POD_A + p) == BST_CHECKED)
            r.pods |= 1u << p;
    int code = 0;
    if (!r.set) {
        code = addSingleLabel(labels(), r.name, r.channel, r.color, channelCount());
    } else {
        bool replace = false;
        if (labels().table.count() > 0) {
            const int answer = ask(dialog, kStrDeleteExisting, MB_YESNOCANCEL | MB_ICONQUESTION);
            if (answer == IDCANCEL) return;
            replace = answer == IDYES;
        }
        code = addLabelSet(labels(), r.pods, channelCount(), kChannelsPerPod, replace);
    }
    closeOrRefuse(dialog, code);
}

INT_PTR CALLBACK addLabelProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG: {
            const auto* r = reinterpret_cast<const AddLabelRecord*>(lParam);
            SetDlgItemTextA(dialog, IDC_LABEL_NAME, r->name.c_str());
            setupChannel(dialog, r->channel);
            selectColor(dialog, r->color);
            for (int p = 0; p < 4; ++p) CheckDlgButton(dialog, IDC_POD_A + p, (r->pods >> p & 1) ? BST_CHECKED : BST_UNCHECKED);
            CheckRadioButton(dialog, IDC_ADD_LABEL_SET, IDC_ADD_SINGLE_LABEL, r->set ? IDC_ADD_LABEL_SET : IDC_ADD_SINGLE_LABEL);
            HWND type = GetDlgItem(dialog, IDC_LABEL_TYPE);
            comboAdd(type, loadString(IDS_TYPE_DIGITAL), 0);
            SendMessageW(type, CB_SETCURSEL, 0, 0);
            // Oscilloscope rows come with a stacked scope; without one the scope settings stay off.
            for (int id : {IDC_DSO_RANGE, IDC_DSO_PROBE_X1, IDC_DSO_PROBE_X10, IDC_DSO_AC, IDC_DSO_BW_LIMIT, IDC_DSO_SETTING})
                EnableWindow(GetDlgItem(dialog, id), FALSE);
            showAddMode(dialog);
            return TRUE;
        }
        case WM_DRAWITEM: return drawColorButton(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (colorClicked(dialog, id)) return TRUE;
            if (id == IDC_ADD_LABEL_SET || id == IDC_ADD_SINGLE_LABEL) {
                CheckRadioButton(dialog, IDC_ADD_LABEL_SET, IDC_ADD_SINGLE_LABEL, id);
                showAddMode(dialog);
                return TRUE;
            }
            if (id == IDOK) {
                addLabelOk(dialog);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
        case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
    }
    return FALSE;
}

// --- Configure Label -----------------------------------------------------------------------------

struct ConfigureRecord {
    int index = -1;
    bool group = false;
    LabelSettings settings;
    std::vector<int32_t> types;
};

int signalTypeString(int32_t type, bool group) {
    switch (type) {
        case kSigUart: return IDS_SIG_UART;
        case kSigI2c: return IDS_SIG_I2C;
        case kSigI2s: return IDS_SIG_I2S;
        case kSigSpi: return IDS_SIG_SPI;
        case kSigScope: return IDS_SIG_DSO;
        default: return group ? IDS_SIG_NORMAL : IDS_SIG_DIGITAL;
    }
}

// Only the settings of the chosen protocol can be edited.
void showProtocolControls(HWND dialog) {
    const auto type = static_cast<int32_t>(comboData(dialog, IDC_SIGNAL_TYPE));
    for (int id = IDC_SPI_8BITS; id <= IDC_SPI_FALLING; ++id) EnableWindow(GetDlgItem(dialog, id), type == kSigSpi);
    EnableWindow(GetDlgItem(dialog, IDC_I2S_BITS), type == kSigI2s);
    EnableWindow(GetDlgItem(dialog, IDC_UART_AUTO), type == kSigUart);
    const bool explicitUart = type == kSigUart && IsDlgButtonChecked(dialog, IDC_UART_AUTO) != BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_UART_BAUD), explicitUart);
    EnableWindow(GetDlgItem(dialog, IDC_UART_PROTOCOL), explicitUart);
}

void fillConfigure(HWND dialog, const ConfigureRecord& r) {
    const LabelSettings& s = r.settings;
    SetDlgItemTextA(dialog, IDC_LABEL_NAME, s.name.c_str());
    setupChannel(dialog, s.channel);
    // A group's channels are its members: only single labels choose one.
    EnableWindow(GetDlgItem(dialog, IDC_LABEL_CHANNEL), !r.group);
    EnableWindow(GetDlgItem(dialog, IDC_LABEL_CHANNEL_SPIN), !r.group);
    HWND format = GetDlgItem(dialog, IDC_VALUE_TYPE);
    const int32_t formats[] = {kFormatHex, kFormatDec, kFormatOct, kFormatBin, kFormatAsc, kFormatAnalog};
    for (int k = 0; k < (r.group ? 6 : 5); ++k) comboAdd(format, loadString(IDS_FORMAT_HEX + k), formats[k]);
    selectComboData(format, s.format);
    HWND type = GetDlgItem(dialog, IDC_SIGNAL_TYPE);
    for (int32_t t : r.types) comboAdd(type, loadString(signalTypeString(t, r.group)), t);
    selectComboData(type, s.signalType);
    selectColor(dialog, s.colorIndex);
    CheckDlgButton(dialog, IDC_LABEL_INVERT, s.invert ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_LABEL_GRAY, s.gray ? BST_CHECKED : BST_UNCHECKED);
    CheckRadioButton(dialog, IDC_SPI_8BITS, IDC_SPI_16BITS, s.spiBits == 16 ? IDC_SPI_16BITS : IDC_SPI_8BITS);
    CheckRadioButton(dialog, IDC_SPI_CS_LOW, IDC_SPI_CS_HIGH, s.spiCsHigh ? IDC_SPI_CS_HIGH : IDC_SPI_CS_LOW);
    CheckRadioButton(dialog, IDC_SPI_RISING, IDC_SPI_FALLING, s.spiFalling ? IDC_SPI_FALLING : IDC_SPI_RISING);
    SetDlgItemInt(dialog, IDC_I2S_BITS, static_cast<UINT>(s.i2sBits), FALSE);
    CheckDlgButton(dialog, IDC_UART_AUTO, s.uartAuto ? BST_CHECKED : BST_UNCHECKED);
    HWND baud = GetDlgItem(dialog, IDC_UART_BAUD);
    for (int32_t b : kBaudRates) comboAdd(baud, std::to_wstring(b), b);
    selectComboData(baud, s.baud);
    HWND protocol = GetDlgItem(dialog, IDC_UART_PROTOCOL);
    for (int k = 0; k < 24; ++k) comboAdd(protocol, widen(kUartProtocols[k]), k);
    selectComboData(protocol, s.uartProtocol);
    showProtocolControls(dialog);
}

LabelSettings readConfigure(HWND dialog) {
    LabelSettings s;
    s.name = dialogText(dialog, IDC_LABEL_NAME);
    s.channel = readChannel(dialog);
    s.format = static_cast<int32_t>(comboData(dialog, IDC_VALUE_TYPE));
    s.signalType = static_cast<int32_t>(comboData(dialog, IDC_SIGNAL_TYPE));
    s.colorIndex = selectedColor(dialog);
    s.invert = IsDlgButtonChecked(dialog, IDC_LABEL_INVERT) == BST_CHECKED;
    s.gray = IsDlgButtonChecked(dialog, IDC_LABEL_GRAY) == BST_CHECKED;
    s.spiBits = IsDlgButtonChecked(dialog, IDC_SPI_16BITS) == BST_CHECKED ? 16 : 8;
    s.spiCsHigh = IsDlgButtonChecked(dialog, IDC_SPI_CS_HIGH) == BST_CHECKED;
    s.spiFalling = IsDlgButtonChecked(dialog, IDC_SPI_FALLING) == BST_CHECKED;
    BOOL ok = FALSE;
    s.i2sBits = static_cast<int32_t>(GetDlgItemInt(dialog, IDC_I2S_BITS, &ok, TRUE));
    if (!ok) s.i2sBits = 0;
    s.uartAuto = IsDlgButtonChecked(dialog, IDC_UART_AUTO) == BST_CHECKED;
    s.baud = static_cast<int32_t>(comboData(dialog, IDC_UART_BAUD));
    s.uartProtocol = static_cast<int32_t>(comboData(dialog, IDC_UART_PROTOCOL));
    return s;
}

INT_PTR CALLBACK configureProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetPropA(dialog, "KvLabelRecord", reinterpret_cast<HANDLE>(lParam));
            fillConfigure(dialog, *reinterpret_cast<const ConfigureRecord*>(lParam));
            return TRUE;
        case WM_DRAWITEM: return drawColorButton(dialog, reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (colorClicked(dialog, id)) return TRUE;
            if (id == IDC_SIGNAL_TYPE || id == IDC_UART_AUTO) {
                showProtocolControls(dialog);
                return TRUE;
            }
            if (id == IDOK) {
                const auto* r = static_cast<const ConfigureRecord*>(GetPropA(dialog, "KvLabelRecord"));
                closeOrRefuse(dialog, configureLabel(labels(), r->index, readConfigure(dialog), channelCount()));
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
        case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
        case WM_NCDESTROY: RemovePropA(dialog, "KvLabelRecord"); break;
    }
    return FALSE;
}

// --- Combine The Labels and Arrange Labels -------------------------------------------------------

struct CombineRecord {
    bool arrange = false;
    int index = -1;                         // Arrange: the group
    std::string name;
    std::vector<std::string> source;        // item texts
    std::vector<LPARAM> sourceData;
    std::vector<std::string> destination;   // least significant first
    std::vector<LPARAM> destinationData;
};

void fillList(HWND list, const std::vector<std::string>& items, const std::vector<LPARAM>& data) {
    for (size_t i = 0; i < items.size(); ++i) {
        const LRESULT k = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(items[i].c_str()));
        SendMessageA(list, LB_SETITEMDATA, k, data[i]);
    }
}

// Moves the selected items of one list to the end of the other, in list order.
void moveSelected(HWND from, HWND to) {
    const LRESULT n = SendMessageA(from, LB_GETCOUNT, 0, 0);
    std::vector<int> picked;
    for (int i = 0; i < n; ++i)
        if (SendMessageA(from, LB_GETSEL, i, 0) > 0) picked.push_back(i);
    for (int i : picked) {
        const std::string text = itemText(from, i, LB_GETTEXTLEN, LB_GETTEXT);
        const LRESULT k = SendMessageA(to, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
        SendMessageA(to, LB_SETITEMDATA, k, SendMessageA(from, LB_GETITEMDATA, i, 0));
    }
    for (auto i = picked.rbegin(); i != picked.rend(); ++i) SendMessageA(from, LB_DELETESTRING, *i, 0);
}

void readList(HWND list, std::vector<std::string>& items, std::vector<LPARAM>& data) {
    items.clear();
    data.clear();
    const LRESULT n = SendMessageA(list, LB_GETCOUNT, 0, 0);
    for (int i = 0; i < n; ++i) {
        items.push_back(itemText(list, i, LB_GETTEXTLEN, LB_GETTEXT));
        data.push_back(SendMessageA(list, LB_GETITEMDATA, i, 0));
    }
}

INT_PTR CALLBACK combineProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND source = GetDlgItem(dialog, IDC_COMBINE_SOURCE);
    HWND destination = GetDlgItem(dialog, IDC_COMBINE_DEST);
    switch (message) {
        case WM_INITDIALOG: {
            SetPropA(dialog, "KvLabelRecord", reinterpret_cast<HANDLE>(lParam));
            const auto* r = reinterpret_cast<const CombineRecord*>(lParam);
            if (r->arrange) SetWindowTextW(dialog, loadString(IDS_ARRANGE_CAPTION).c_str());
            fillList(source, r->source, r->sourceData);
            fillList(destination, r->destination, r->destinationData);
            SetDlgItemTextA(dialog, IDC_COMBINE_NAME, r->name.c_str());
            return TRUE;
        }
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id == IDC_COMBINE_ADD || (id == IDC_COMBINE_SOURCE && HIWORD(wParam) == LBN_DBLCLK)) {
                moveSelected(source, destination);
                return TRUE;
            }
            if (id == IDC_COMBINE_REMOVE || (id == IDC_COMBINE_DEST && HIWORD(wParam) == LBN_DBLCLK)) {
                moveSelected(destination, source);
                return TRUE;
            }
            if (id == IDOK) {
                auto* r = static_cast<CombineRecord*>(GetPropA(dialog, "KvLabelRecord"));
                r->name = dialogText(dialog, IDC_COMBINE_NAME);
                readList(source, r->source, r->sourceData);
                readList(destination, r->destination, r->destinationData);
                int code;
                if (r->arrange) {
                    std::vector<int> order;
                    for (LPARAM d : r->destinationData) order.push_back(static_cast<int>(d));
                    code = arrangeGroup(labels(), r->index, r->name, order);
                } else {
                    code = combineLabels(labels(), r->name, r->destination, r->source);
                }
                closeOrRefuse(dialog, code);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, IDCANCEL);
                return TRUE;
            }
            break;
        }
        case WM_CLOSE: EndDialog(dialog, IDCANCEL); return TRUE;
        case WM_NCDESTROY: RemovePropA(dialog, "KvLabelRecord"); break;
    }
    return FALSE;
}

// --- in-place rename -----------------------------------------------------------------------------

HWND nameEdit() { return GetDlgItem(panelWindow(), kIdLabelEdit); }

void endRename(bool commit) {
    const int index = g_ui.renaming;
    if (index < 0) return;
    g_ui.renaming = -1;  // the box below takes the focus and must not commit a second time
    HWND edit = nameEdit();
    char text[80] = {};
    GetWindowTextA(edit, text, sizeof text);
    // Keys belong to the main window again once the edit is gone.
    if (GetFocus() == edit && g_viewer->shell.mainWindow) SetFocus(g_viewer->shell.mainWindow);
    ShowWindow(edit, SW_HIDE);
    if (!commit) return;
    const int code = renameLabel(labels(), index, text);
    if (code) refuse(panelWindow(), code);
    else labelsChanged();
}

LRESULT CALLBACK renameEditProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR) {
    switch (message) {
        case WM_GETDLGCODE:
            if (g_ui.renaming >= 0) return DLGC_WANTALLKEYS | DefSubclassProc(edit, message, wParam, lParam);
            break;
        case WM_KEYDOWN:
            if (g_ui.renaming >= 0 && (wParam == VK_RETURN || wParam == VK_ESCAPE)) {
                endRename(wParam == VK_RETURN);
                return 0;
            }
            break;
        case WM_CHAR:
            if (wParam == '\r' || wParam == 27) return 0;
            break;
        case WM_NCDESTROY: RemoveWindowSubclass(edit, renameEditProc, kRenameSubclass); break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

void startRename(int index) {
    HWND edit = nameEdit();
    HWND area = GetDlgItem(panelWindow(), kIdWaveArea);
    if (!edit || !area) return;
    const int waveHeight = g_viewer->settings.waveHeight > 0 ? g_viewer->settings.waveHeight : 24;
    const int top = rowTop(labels().table, g_ui.firstRow, waveHeight, index);
    if (top < 0) return;
    const LabelRow row = rowOfEntry(labels().table, index);
    const uint32_t own = labelRowHeight(labels().table.entries[row.first].height);
    RECT r;
    GetWindowRect(area, &r);
    MapWindowPoints(nullptr, panelWindow(), reinterpret_cast<POINT*>(&r), 2);
    SetWindowSubclass(edit, renameEditProc, kRenameSubclass, 0);
    g_ui.renaming = index;
    SetWindowTextA(edit, labels().table.entries[row.first].name);
    SetWindowPos(edit, HWND_TOP, r.left + 1, r.top + 1 + top, g_ui.nameWidth, own ? static_cast<int>(own) : waveHeight,
                 SWP_SHOWWINDOW);
    SetFocus(edit);
    SendMessageA(edit, EM_SETSEL, 0, -1);
}

// --- commands ------------------------------------------------------------------------------------

bool rowButtonDisabled(const LabelTable& t, const LabelRow& r) {
    for (int i = r.first; i <= r.last; ++i) {
        HWND b = static_cast<HWND>(t.entries[i].rowButton);
        if (b && IsWindow(b)) return !IsWindowEnabled(b);
    }
    return rowOutsideDevice(t, r, channelCount());
}

void addAll(HWND owner) {
    bool replace = true;
    if (labels().table.count() > 0) {
        const int answer = ask(owner, kStrDeleteExisting, MB_YESNOCANCEL | MB_ICONQUESTION);
        if (answer == IDCANCEL) return;
        replace = answer == IDYES;
    }
    // Oscilloscope rows come with a stacked scope.
    const int code = addAllLabels(labels(), channelCount(), stackedScopeChannels(), replace);
    if (code) refuse(owner, code);
    else labelsChanged();
}

void setMode(LabelMode mode) {
    labels().mode = mode;
    if (mode == LabelMode::Delete) setStatusText(loadString(kStrDeleteMode));
    else if (mode == LabelMode::Select) setStatusText(loadString(kStrSelectMode));
    else setStatusText(L"");
}

std::vector<HWND> buttonsOf(const LabelTable& t) {
    std::vector<HWND> out;
    for (const LabelEntry& e : t.entries)
        if (e.rowButton) out.push_back(static_cast<HWND>(e.rowButton));
    return out;
}

std::vector<HWND> g_knownButtons;

}  // namespace

COLORREF labelColor(int32_t index) {
    static const COLORREF kColors[16] = {RGB(0, 0, 0),       RGB(255, 255, 255), RGB(255, 0, 0),   RGB(0, 255, 0),
                                         RGB(255, 255, 0),   RGB(0, 255, 255),   RGB(255, 0, 255), RGB(255, 128, 0),
                                         RGB(128, 128, 255), RGB(0, 128, 0),     RGB(128, 0, 0),   RGB(0, 0, 255),
                                         RGB(128, 128, 0),   RGB(0, 128, 128),   RGB(128, 0, 128), RGB(192, 192, 192)};
    return kColors[static_cast<uint32_t>(index) % 16];
}

void labelsChanged() {
    // Buttons of rows that left the table are the view's no longer: destroy them here.
    const std::vector<HWND> now = buttonsOf(labels().table);
    for (HWND b : g_knownButtons)
        if (std::find(now.begin(), now.end(), b) == now.end() && IsWindow(b)) DestroyWindow(b);
    g_knownButtons = now;
    // Results are kept per label ordinal: a table whose decoded labels moved is decoded again.
    refreshDecodePass();
    if (panelWindow()) SendMessageW(panelWindow(), WM_KV_REPAINT, 0, 0);
}

void setLabelUnderMouse(int entryIndex) { g_ui.underMouse = entryIndex; }
int labelUnderMouse() { return g_ui.underMouse; }

void setLabelViewGeometry(int firstRow, int nameWidth) {
    g_ui.firstRow = std::max(0, firstRow);
    g_ui.nameWidth = std::max(5, nameWidth);
}

bool labelNameClicked(int entryIndex) {
    // The buttons known before the click: a deleted row's button is destroyed afterwards.
    g_knownButtons = buttonsOf(labels().table);
    if (!clickLabelName(labels(), entryIndex)) return false;
    labelsChanged();
    return true;
}

HMENU createLabelMenu() {
    HMENU menu = CreatePopupMenu();
    for (int id : kMenuItems) {
        if (!id) {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        UINT flags = MF_STRING;
        const LabelMode mode = labels().mode;
        if ((id == kCmdDeleteMode && mode == LabelMode::Delete) || (id == kCmdNormalMode && mode == LabelMode::Normal) ||
            (id == kCmdSelectMode && mode == LabelMode::Select))
            flags |= MF_CHECKED;
        if (id == kCmdUndo && !labels().undoSaved) flags |= MF_GRAYED;
        AppendMenuW(menu, flags, static_cast<UINT_PTR>(id), loadString(id).c_str());
    }
    return menu;
}

void showLabelMenu(HWND owner, int x, int y, int entryUnderMouse) {
    g_ui.underMouse = entryUnderMouse;
    HMENU menu = createLabelMenu();
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, x, y, 0, owner, nullptr);
    DestroyMenu(menu);
}

INT_PTR runAddLabelDialog(HWND parent) {
    AddLabelRecord r;
    const int n = labels().table.count();
    r.channel = n > 0 ? std::min(labels().table.entries[n - 1].channel + 1, std::max(0, channelCount() - 1)) : 0;
    r.color = defaultLabelColor(r.channel);
    g_knownButtons = buttonsOf(labels().table);
    const INT_PTR result = runModal(IDD_ADD_LABEL, parent, addLabelProc, reinterpret_cast<LPARAM>(&r));
    if (result == IDOK) labelsChanged();
    return result;
}

INT_PTR runConfigureLabelDialog(HWND parent, int entryIndex) {
    const LabelTable& t = labels().table;
    if (entryIndex < 0 || entryIndex >= t.count()) return IDCANCEL;
    ConfigureRecord r;
    r.index = entryIndex;
    r.group = rowOfEntry(t, entryIndex).group();
    r.settings = labelSettings(t, entryIndex);
    r.types = signalTypeChoices(t, entryIndex);
    const INT_PTR result = runModal(IDD_CONFIGURE_LABEL, parent, configureProc, reinterpret_cast<LPARAM>(&r));
    if (result == IDOK) {
        runDecodePass();
        labelsChanged();
    }
    return result;
}

INT_PTR runCombineDialog(HWND parent) {
    CombineRecord r;
    const LabelTable& t = labels().table;
    for (const LabelRow& row : labelRows(t)) {
        r.source.push_back(t.entries[row.first].name);
        r.sourceData.push_back(row.first);
    }
    g_knownButtons = buttonsOf(t);
    const INT_PTR result = runModal(IDD_COMBINE_LABELS, parent, combineProc, reinterpret_cast<LPARAM>(&r));
    if (result == IDOK) labelsChanged();
    return result;
}

INT_PTR runArrangeDialog(HWND parent, int entryIndex) {
    const LabelTable& t = labels().table;
    if (entryIndex < 0 || entryIndex >= t.count()) return IDCANCEL;
    const LabelRow row = rowOfEntry(t, entryIndex);
    if (!row.group()) {
        refuse(parent, kStrNotGroup);
        return IDCANCEL;
    }
    CombineRecord r;
    r.arrange = true;
    r.index = entryIndex;
    r.name = t.entries[row.first].name;
    // The members in their present order, least significant first, named by channel.
    for (int k = row.size() - 1; k >= 0; --k) {
        r.destination.push_back(std::to_string(t.entries[row.first + k].channel));
        r.destinationData.push_back(k);
    }
    const INT_PTR result = runModal(IDD_COMBINE_LABELS, parent, combineProc, reinterpret_cast<LPARAM>(&r));
    if (result == IDOK) labelsChanged();
    return result;
}

int32_t labelCommand(WinHandle window, uint32_t id, uint32_t, MsgLParam) {
    HWND owner = static_cast<HWND>(window);
    LabelState& s = labels();
    const int under = g_ui.underMouse < s.table.count() ? g_ui.underMouse : -1;
    g_knownButtons = buttonsOf(s.table);
    int code = 0;
    bool changed = false;
    switch (static_cast<int>(id)) {
        case kCmdModifyName:
            if (under >= 0) startRename(under);
            return 0;
        case kCmdAddLabel:
            if (s.table.count() >= kMaxLabels) refuse(owner, kStrTooManyLabels);
            else runAddLabelDialog(owner);
            return 0;
        case kCmdDelete:
            if (under < 0) return 0;
            code = deleteLabel(s, under);
            changed = true;
            break;
        case kCmdCombine: runCombineDialog(owner); return 0;
        case kCmdDecompose:
            if (under < 0) return 0;
            code = decomposeLabel(s, under);
            changed = code == 0;
            break;
        case kCmdConfigure:
            if (under >= 0) runConfigureLabelDialog(owner, under);
            return 0;
        case kCmdSort: {
            if (s.table.count() == 0) return 0;
            const int answer = ask(owner, kStrSortOrder, MB_YESNO | MB_ICONQUESTION);
            code = sortLabels(s, answer == IDYES);
            changed = true;
            break;
        }
        case kCmdAddAllLabel: addAll(owner); return 0;
        case kCmdDeleteAll:
            if (ask(owner, kStrDeleteAll, MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;
            code = deleteAllLabels(s);
            changed = true;
            break;
        case kCmdDeleteMode: setMode(LabelMode::Delete); return 0;
        case kCmdNormalMode: setMode(LabelMode::Normal); return 0;
        case kCmdSelectMode: setMode(LabelMode::Select); return 0;
        case kCmdArrange:
            if (under >= 0) runArrangeDialog(owner, under);
            return 0;
        case kCmdUndo:
            if (!undoLabels(s)) {
                MessageBeep(MB_OK);
                return 0;
            }
            changed = true;
            break;
        case kCmdDeleteUnused:
            deleteLabelsWhere(s, rowButtonDisabled);
            changed = true;
            break;
        default: return 0;
    }
    if (code) refuse(owner, code);
    if (changed) labelsChanged();
    return 0;
}

int32_t labelToolboxCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    HWND owner = static_cast<HWND>(window);
    RECT r = {};
    GetWindowRect(GetDlgItem(owner, kIdToolbox), &r);
    showLabelMenu(owner, r.left, r.bottom, g_ui.underMouse);
    return 0;
}

int32_t labelEditCommand(WinHandle, uint32_t, uint32_t notifyCode, MsgLParam) {
    if (notifyCode == EN_KILLFOCUS) endRename(true);
    return 0;
}

}  // namespace kv
