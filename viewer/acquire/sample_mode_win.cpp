// The main window's rate lists with a board, applying the sample mode, and Configure Environment.
#include "viewer/acquire/sample_mode_win.h"

#include <commctrl.h>

#include <cstdio>
#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/acquire/acquire_resources.h"
#include "viewer/acquire/environment.h"
#include "viewer/acquire/sample_modes.h"
#include "viewer/res/resource.h"
#include "viewer/scope/stack_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/trigger/trigger_dialogs_win.h"

namespace kv {
namespace {

RateControlsShown g_shown;
int g_quietRateChanges = 0;  // QuietRateChange objects alive
LRESULT g_rateIndex = 0;    // the selections in force, restored when a change is refused
LRESULT g_clockIndex = 0;

int deviceIndex() { return g_viewer->shell.deviceIndex; }
TriggerSetup& setup() { return g_viewer->acq.trigger; }
HWND panelItem(int id) { return GetDlgItem(g_viewer->shell.panel, id); }

bool modeInForce(ModeRecord& m) {
    uint8_t raw[kModeRecordSize];
    if (!KvGetHwInfoEx(deviceIndex(), kHwModeInfo, -1, raw)) return false;
    m = decodeModeRecord(raw);
    return true;
}

bool modeOfCell(int cell, ModeRecord& m) {
    uint8_t raw[kModeRecordSize];
    if (cell < 0 || !KvGetHwInfoEx(deviceIndex(), kHwModeInfo, cell, raw)) return false;
    m = decodeModeRecord(raw);
    return true;
}

struct RateEntry {
    uint64_t hz = 0;
    uint32_t information = 0;
};
bool rateEntry(LRESULT index, RateEntry& e) {
    uint32_t rate[2] = {};
    if (index < 0 || KvFreqInfoEx(deviceIndex(), 0, static_cast<uint32_t>(index), 0, rate, &e.information, nullptr, 0) <= 0)
        return false;
    e.hz = uint64_t{rate[1]} << 32 | rate[0];
    return true;
}
uint32_t clockWord(LRESULT index) {
    uint32_t word = 1;
    if (index >= 0) KvFreqInfoEx(deviceIndex(), 1, static_cast<uint32_t>(index), 0, nullptr, &word, nullptr, 0);
    return word;
}

LRESULT rateIndexOf(uint64_t hz) {
    return KvFreq2IndexEx(deviceIndex(), static_cast<uint32_t>(hz), static_cast<uint32_t>(hz >> 32));
}

void selectRate(LRESULT index) {
    SendMessageW(panelItem(kIdRateList), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    g_rateIndex = index;
}

void fillList(HWND list, int what) {
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    char text[64] = {};
    const int count = KvFreqInfoEx(deviceIndex(), what, 0, 0, nullptr, nullptr, text, sizeof text);
    for (int i = 0; i < count; ++i) {
        text[0] = 0;
        KvFreqInfoEx(deviceIndex(), what, static_cast<uint32_t>(i), 0, nullptr, nullptr, text, sizeof text);
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(text).c_str()));
    }
}

void setStacked(bool on) {
    TriggerRecord& r = setup().current;
    r.flags = on ? (r.flags | kTriggerFlagMemoryStack) : (r.flags & ~kTriggerFlagMemoryStack);
}

// 64-channel analyzers: the rate's information bits decide the stacking, or the user does.
void applyStacking() {
    const TriggerRecord& r = setup().current;
    RateEntry e;
    rateEntry(rateIndexOf(r.frequency()), e);
    const uint32_t clockIndex = static_cast<uint32_t>(KvExtClk2Index(deviceIndex(), r.clock));
    const StackRule rule = stackRule(clockIndex, e.information);
    if (rule != StackRule::Free) setStacked(rule == StackRule::On);
}

// The modal warning of a rate change (dialog 151): "Yes" changes the rate.
INT_PTR CALLBACK warningProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    if (message == WM_INITDIALOG) return TRUE;
    if (message == WM_COMMAND && (LOWORD(wParam) == IDYES || LOWORD(wParam) == IDNO)) {
        if (IsDlgButtonChecked(dialog, IDC_WARNING_NO_MORE) == BST_CHECKED) g_viewer->settings.systemWarn1 = 0;
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, IDNO);
        return TRUE;
    }
    return FALSE;
}

// --- Configure Environment --------------------------------------------------------------------

struct EnvironmentDialog {
    bool nanlyn = false;
    bool device = false;
    int table = 0;
    DepthRange range;
    bool stacked = false;
    std::vector<int> columns;   // the selected Nanlyn row's columns, in list order
};

std::wstring configurationText(int32_t channels, int32_t divisor) {
    wchar_t text[128];
    std::swprintf(text, 128, loadString(IDS_CONFIGURATION).c_str(), channels, divisor);
    return text;
}

void setDepthControls(HWND dialog, const EnvironmentDialog& d) {
    SCROLLINFO si = {sizeof si, SIF_RANGE | SIF_PAGE | SIF_POS, d.range.minimum, d.range.maximum, 1, d.range.position, 0};
    SetScrollInfo(GetDlgItem(dialog, IDC_ENV_DEPTH_BAR), SB_CTL, &si, TRUE);
    SetDlgItemInt(dialog, IDC_ENV_DEPTH, static_cast<UINT>(d.range.position), FALSE);
}

void fillNanlynColumns(HWND dialog, EnvironmentDialog& d, int row) {
    HWND list = GetDlgItem(dialog, IDC_ENV_MEMORY_STACK);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    d.columns = nanlynColumns(d.table, row);
    int chosen = 0;
    for (size_t k = 0; k < d.columns.size(); ++k) {
        const int j = d.columns[k];
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(configurationText(columnChannels(j), columnDivisor(j)).c_str()));
        if ((1 << j) == setup().nanlynMemorySelect) chosen = static_cast<int>(k);
    }
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(chosen), 0);
}

void initEnvironment(HWND dialog, EnvironmentDialog& d) {
    Viewer& v = *g_viewer;
    const Settings& s = v.settings;
    const auto fill = [dialog](int id, int firstString, int count, int selected) {
        HWND list = GetDlgItem(dialog, id);
        for (int i = 0; i < count; ++i)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(loadString(firstString + i).c_str()));
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
    };
    fill(IDC_ENV_BACKGROUND, IDS_COLOR_FIRST, kColorNames, s.backgroundColor);
    fill(IDC_ENV_GRID_COLOR, IDS_COLOR_FIRST, kColorNames, s.gridColor);
    fill(IDC_ENV_GRID_TYPE, IDS_GRID_TYPE_FIRST, kGridTypes, s.gridType);
    HWND sizes = GetDlgItem(dialog, IDC_ENV_GRID_SIZE);
    for (int px = 10; px <= 200; px += 10) {
        const LRESULT i = SendMessageW(sizes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(px).c_str()));
        if (px == s.gridSize) SendMessageW(sizes, CB_SETCURSEL, static_cast<WPARAM>(i), 0);
    }
    HWND heights = GetDlgItem(dialog, IDC_ENV_WAVE_HEIGHT);
    for (int i = 0; waveHeightOfIndex(i) <= 64; ++i)
        SendMessageW(heights, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(std::to_wstring(waveHeightOfIndex(i)).c_str()));
    SendMessageW(heights, CB_SETCURSEL, static_cast<WPARAM>(waveHeightIndex(s.waveHeight)), 0);
    HWND languages = GetDlgItem(dialog, IDC_ENV_LANGUAGE);
    const WORD ids[3] = {1033, 1028, 2052};
    for (int i = 0; i < 3; ++i) {
        const LRESULT k = SendMessageW(languages, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(loadString(IDS_LANGUAGE_FIRST + i).c_str()));
        SendMessageW(languages, CB_SETITEMDATA, static_cast<WPARAM>(k), ids[i]);
        if (ids[i] == v.shell.language) SendMessageW(languages, CB_SETCURSEL, static_cast<WPARAM>(k), 0);
    }
    for (const EnvironmentCheck& c : kEnvironmentCheckBoxes)
        CheckDlgButton(dialog, c.controlId, s.*c.value ? BST_CHECKED : BST_UNCHECKED);
    SetDlgItemTextW(dialog, IDC_ENV_EXT_CLOCK, std::to_wstring(s.extClkValEx).c_str());

    d.device = v.shell.deviceIndex >= 0;
    d.nanlyn = d.device && v.device.limits.nanlyn;
    HWND stack = GetDlgItem(dialog, IDC_ENV_MEMORY_STACK);
    if (d.nanlyn) {
        TriggerSetup& t = setup();
        d.table = nanlynTableOf(v.device.productCode);
        HWND modes = GetDlgItem(dialog, IDC_ENV_SAMPLE_MODE);
        for (const char* name : kNanlynRowNames) SendMessageW(modes, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(name).c_str()));
        const NanlynSelection sel = findNanlynSelection(d.table, t.nanlynFirmware, t.nanlynMemorySelect, [](int cell) {
            ModeRecord m;
            return modeOfCell(cell, m) ? m.modeId : -1;
        });
        if (sel.fellBack) {
            ModeRecord m;
            t.nanlynMemorySelect = 1;
            if (modeOfCell(nanlynCell(d.table, 0, 0), m)) t.nanlynFirmware = m.modeId;
            KvSetHwInfo(v.shell.deviceIndex, kHwSelectMode, static_cast<uint32_t>(t.nanlynFirmware));
        }
        SendMessageW(modes, CB_SETCURSEL, static_cast<WPARAM>(sel.row), 0);
        fillNanlynColumns(dialog, d, sel.row);
        EnableWindow(GetDlgItem(dialog, IDC_ENV_DEPTH_BAR), FALSE);
        SetDlgItemInt(dialog, IDC_ENV_DEPTH, KvGetHwInfo(v.shell.deviceIndex, kHwCaptureLength), FALSE);
        return;
    }
    EnableWindow(GetDlgItem(dialog, IDC_ENV_SAMPLE_MODE), FALSE);
    const StackChoices choices = d.device ? stackChoices(KvGetHwInfo(v.shell.deviceIndex, kHwFamily), v.device.channelCount)
                                          : StackChoices{64, 32};
    SendMessageW(stack, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(configurationText(choices.single, 1).c_str()));
    SendMessageW(stack, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(configurationText(choices.stacked, 2).c_str()));
    d.stacked = (setup().current.flags & kTriggerFlagMemoryStack) != 0;
    bool free = true;
    if (d.device) {
        const TriggerRecord& r = setup().current;
        RateEntry e;
        rateEntry(rateIndexOf(r.frequency()), e);
        const StackRule rule = stackRule(static_cast<uint32_t>(KvExtClk2Index(v.shell.deviceIndex, r.clock)), e.information);
        if (rule != StackRule::Free) {
            free = false;
            d.stacked = rule == StackRule::On;
        }
        d.range = deviceDepthRange(static_cast<int32_t>(KvGetHwInfo(v.shell.deviceIndex, kHwDepth)),
                                   static_cast<int32_t>(KvGetHwInfo(v.shell.deviceIndex, kHwCaptureLength)), d.stacked);
        const bool adjustable = depthAdjustable(!isDirectTriggerFamily(v.device.productCode), v.device.productCode);
        EnableWindow(GetDlgItem(dialog, IDC_ENV_DEPTH_BAR), adjustable);
        EnableWindow(GetDlgItem(dialog, IDC_ENV_DEPTH), adjustable);
    } else {
        d.range = demoDepthRange(readDemoBufferSize(viewerRegistry()), d.stacked);
    }
    SendMessageW(stack, CB_SETCURSEL, d.stacked ? 1 : 0, 0);
    EnableWindow(stack, free);
    setDepthControls(dialog, d);
}

int32_t depthField(HWND dialog) {
    BOOL ok = FALSE;
    const UINT value = GetDlgItemInt(dialog, IDC_ENV_DEPTH, &ok, FALSE);
    return ok ? static_cast<int32_t>(value > 0x7FFFFFFFu ? 0x7FFFFFFFu : value) : 0;
}

// OK: false keeps the dialog open.
bool confirmEnvironment(HWND dialog, EnvironmentDialog& d) {
    Viewer& v = *g_viewer;
    Settings& s = v.settings;
    wchar_t text[64] = {};
    GetDlgItemTextW(dialog, IDC_ENV_EXT_CLOCK, text, 64);
    uint64_t hz = 0;
    if (!parseExternalClock(narrow(text), hz)) {
        ask(dialog, IDS_EXT_CLOCK_BELOW_ONE, MB_OK | MB_ICONEXCLAMATION, Caption::Error);
        return false;
    }
    const auto selected = [dialog](int id) { return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0)); };
    s.backgroundColor = selected(IDC_ENV_BACKGROUND);
    s.gridColor = selected(IDC_ENV_GRID_COLOR);
    s.gridType = selected(IDC_ENV_GRID_TYPE);
    s.gridSize = 10 * (selected(IDC_ENV_GRID_SIZE) + 1);
    s.waveHeight = waveHeightOfIndex(selected(IDC_ENV_WAVE_HEIGHT));
    const LRESULT language = SendDlgItemMessageW(dialog, IDC_ENV_LANGUAGE, CB_GETITEMDATA, static_cast<WPARAM>(selected(IDC_ENV_LANGUAGE)), 0);
    if (language > 0 && static_cast<WORD>(language) != v.shell.language) {
        v.shell.language = static_cast<WORD>(language);
        s.language = v.shell.language;
        SetThreadLocale(MAKELCID(v.shell.language, SORT_DEFAULT));
        setResourceLanguage(v.shell.instance, v.shell.language);
        if (v.shell.htmlHelp) v.shell.helpPath = v.shell.programFolder + narrow(loadString(IDS_HTML_HELP_FILE));
    }

    TriggerSetup& t = setup();
    const int index = v.shell.deviceIndex;
    if (d.nanlyn) {
        const size_t k = static_cast<size_t>(selected(IDC_ENV_MEMORY_STACK));
        const int row = selected(IDC_ENV_SAMPLE_MODE);
        const int column = k < d.columns.size() ? d.columns[k] : 0;
        ModeRecord chosen, before;
        // A mode the dialog may not select closes it with nothing of the sample mode applied.
        if (!modeOfCell(nanlynCell(d.table, row, column), chosen) || (chosen.features & kFeatureNotSelectable)) return true;
        const bool hadStandard = modeInForce(before) && (before.features & kFeatureStandard);
        t.nanlynFirmware = chosen.modeId;
        t.nanlynMemorySelect = 1 << column;
        KvSetHwInfo(index, kHwSelectMode, static_cast<uint32_t>(t.nanlynFirmware));
        KvSetHwInfo(index, kHwSampleGroup, static_cast<uint32_t>(t.nanlynMemorySelect));
        KvSetHwInfo(index, kHwSetCaptureLength, static_cast<uint32_t>(depthForColumn(depthField(dialog), column)));
        if (hadStandard && !(chosen.features & kFeatureStandard)) t.standardMode = static_cast<int32_t>(t.current.mode);
    } else {
        const bool wasStacked = (t.current.flags & kTriggerFlagMemoryStack) != 0;
        if (IsWindowEnabled(GetDlgItem(dialog, IDC_ENV_MEMORY_STACK))) setStacked(selected(IDC_ENV_MEMORY_STACK) == 1);
        const bool stacked = (t.current.flags & kTriggerFlagMemoryStack) != 0;
        const int32_t position = settleDepthField(depthField(dialog), d.range, stacked);
        if (d.device) {
            const int32_t before = static_cast<int32_t>(KvGetHwInfo(index, kHwCaptureLength));
            KvSetHwInfo(index, kHwSetCaptureLength, static_cast<uint32_t>(depthToSend(position, stacked)));
            if (before != depthToSend(position, stacked) || stacked != wasStacked) v.store.attach(v.capture.dataStart(), 0, 0, 0, 0, kStorageKeep);
        } else {
            writeSettingValue(viewerRegistry(), "giBufSizeDemo", demoBufferBytes(position, stacked));
            v.capture.captureLength = readDemoBufferSize(viewerRegistry());
        }
    }
    for (const EnvironmentCheck& c : kEnvironmentCheckBoxes)
        s.*c.value = IsDlgButtonChecked(dialog, c.controlId) == BST_CHECKED ? 1 : 0;
    s.extClkValEx = hz;
    return true;
}

INT_PTR CALLBACK environmentProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<EnvironmentDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            initEnvironment(dialog, *reinterpret_cast<EnvironmentDialog*>(lParam));
            return TRUE;
        case WM_HSCROLL: {
            if (!d || reinterpret_cast<HWND>(lParam) != GetDlgItem(dialog, IDC_ENV_DEPTH_BAR)) break;
            int32_t p = d->range.position;
            switch (LOWORD(wParam)) {
                case SB_LINELEFT: --p; break;
                case SB_LINERIGHT: ++p; break;
                case SB_PAGELEFT: p -= 256; break;
                case SB_PAGERIGHT: p += 256; break;
                case SB_THUMBTRACK:
                case SB_THUMBPOSITION: {
                    SCROLLINFO si = {};
                    si.cbSize = sizeof si;
                    si.fMask = SIF_TRACKPOS;
                    GetScrollInfo(reinterpret_cast<HWND>(lParam), SB_CTL, &si);
                    p = si.nTrackPos;
                    break;
                }
                default: return TRUE;
            }
            d->range.position = settleDepthField(p, d->range, d->stacked);
            setDepthControls(dialog, *d);
            return TRUE;
        }
        case WM_HELP: showHelpTopic(dialog, "::/4-2.htm"); return TRUE;
        case WM_COMMAND:
            if (!d) break;
            switch (LOWORD(wParam)) {
                case IDC_ENV_DEPTH:
                    if (d->nanlyn) break;
                    if (HIWORD(wParam) == EN_CHANGE) {
                        const int32_t typed = depthField(dialog);
                        if (typed >= d->range.minimum && typed <= d->range.maximum && typed != d->range.position) {
                            d->range.position = typed;
                            SetScrollPos(GetDlgItem(dialog, IDC_ENV_DEPTH_BAR), SB_CTL, typed, TRUE);
                        }
                    } else if (HIWORD(wParam) == EN_KILLFOCUS) {
                        d->range.position = settleDepthField(depthField(dialog), d->range, d->stacked);
                        setDepthControls(dialog, *d);
                    }
                    break;
                case IDC_ENV_MEMORY_STACK:
                    if (HIWORD(wParam) != CBN_SELCHANGE || d->nanlyn) break;
                    if ((SendDlgItemMessageW(dialog, IDC_ENV_MEMORY_STACK, CB_GETCURSEL, 0, 0) == 1) != d->stacked) {
                        d->stacked = !d->stacked;
                        d->range = restackDepthRange(d->range, d->stacked);
                        setDepthControls(dialog, *d);
                    }
                    break;
                case IDC_ENV_SAMPLE_MODE:
                    if (HIWORD(wParam) == CBN_SELCHANGE)
                        fillNanlynColumns(dialog, *d, static_cast<int>(SendDlgItemMessageW(dialog, IDC_ENV_SAMPLE_MODE, CB_GETCURSEL, 0, 0)));
                    break;
                case IDOK:
                    if (confirmEnvironment(dialog, *d)) EndDialog(dialog, IDOK);
                    break;
                case IDC_ENV_DSO: runStackSettingDialog(dialog); break;
                case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
                default: break;
            }
            return TRUE;
        default: break;
    }
    return FALSE;
}

}  // namespace

RateControlsShown rateControlsShown() { return g_shown; }

void setUpSampleLists(HWND panel) {
    if (deviceIndex() < 0) return;
    fillList(GetDlgItem(panel, kIdRateList), 0);
    fillList(GetDlgItem(panel, kIdClockList), 1);
    g_clockIndex = KvExtClk2Index(deviceIndex(), setup().current.clock);
    SendDlgItemMessageW(panel, kIdClockList, CB_SETCURSEL, static_cast<WPARAM>(g_clockIndex), 0);
    selectRate(rateIndexOf(setup().current.frequency()));
    applySampleMode();
}

void applySampleMode() {
    Viewer& v = *g_viewer;
    if (v.shell.deviceIndex < 0 || !v.shell.panel) return;
    TriggerSetup& s = setup();
    if (!v.device.limits.nanlyn) {
        applyStacking();
        return;
    }
    ModeRecord m;
    if (!modeInForce(m)) return;
    const ModeApplication a = applyNanlynMode(m, static_cast<int>(s.current.mode), s.current.frequency(), s.standardMode,
                                              uartBaudOf(s.slots[kModeSerial].data.data(), s.slots[kModeSerial].data.size()));
    if (a.switchMode) switchTriggerMode(s, a.triggerMode, a.keepNothing);
    if (a.preTrigger) s.current.flags |= kTriggerFlagPreTrigger;
    if (a.setFrequency) s.current.setFrequency(a.frequency);
    s.current.clock = a.clock;
    s.sent = 0;
    g_shown.qualifier = a.qualifierList;
    g_shown.fixedRate = !a.qualifierList && !a.fixedRate.empty();
    g_shown.rateList = !g_shown.qualifier && !g_shown.fixedRate;
    SetDlgItemTextW(v.shell.panel, kIdNanlynRate, widen(a.fixedRate).c_str());
    if (a.qualifierList) {
        HWND list = panelItem(kIdNanlynClock);
        SendMessageW(list, CB_RESETCONTENT, 0, 0);
        for (const char* name : kQualifierNames) SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(widen(name).c_str()));
        SendMessageW(list, CB_SETCURSEL, 0, 0);
    }
    if (a.selectRate) selectRate(rateIndexOf(s.current.frequency()));
    layoutMainPanel(v.shell.panel);
}

QuietRateChange::QuietRateChange() { ++g_quietRateChanges; }
QuietRateChange::~QuietRateChange() { --g_quietRateChanges; }

int32_t rateListCommand(WinHandle, uint32_t, uint32_t code, MsgLParam) {
    Viewer& v = *g_viewer;
    if (code != CBN_SELCHANGE || v.shell.deviceIndex < 0) return 0;
    TriggerSetup& s = setup();
    const LRESULT index = SendMessageW(panelItem(kIdRateList), CB_GETCURSEL, 0, 0);
    RateEntry e;
    if (!rateEntry(index, e)) return 0;
    if (v.settings.systemWarn1 && g_quietRateChanges == 0 && runModal(IDD_RATE_WARNING, v.shell.panel, warningProc, 0) != IDYES) {
        selectRate(g_rateIndex);
        return 0;
    }
    const LRESULT clockIndex = SendMessageW(panelItem(kIdClockList), CB_GETCURSEL, 0, 0);
    const uint32_t word = clockWord(clockIndex);
    if (clockIndex <= 0 || !(word & 2)) {
        ModeRecord m;
        if (v.device.limits.nanlyn && modeInForce(m) && e.hz > m.highestRate) {
            ask(v.shell.panel, IDS_RATE_NOT_IN_MODE, MB_OK | MB_ICONHAND, Caption::Error);
            selectRate(g_rateIndex);
            return 0;
        }
        s.current.setFrequency(e.hz);
        if (!v.device.limits.nanlyn) applyStacking();
    } else if ((word & 3) == 3) {
        ask(v.shell.panel, IDS_CANNOT_SELECT, MB_OK | MB_ICONHAND, Caption::Error);
        selectRate(rateIndexOf(s.current.frequency()));
        return 0;
    } else {
        s.current.setFrequency(e.hz);
    }
    g_rateIndex = index;
    s.sent = 0;
    return 0;
}

int32_t clockListCommand(WinHandle, uint32_t, uint32_t code, MsgLParam) {
    Viewer& v = *g_viewer;
    if (code != CBN_SELCHANGE || v.shell.deviceIndex < 0) return 0;
    HWND list = panelItem(kIdClockList);
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    const uint32_t word = clockWord(index);
    if ((word & 3) == 3) {
        ask(v.shell.panel, IDS_CANNOT_SELECT, MB_OK | MB_ICONHAND, Caption::Error);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(g_clockIndex), 0);
        return 0;
    }
    g_clockIndex = index;
    setup().current.clock = word;
    if (index != 0) {
        setStacked(false);
        EnableWindow(panelItem(kIdRateList), (word & 1) != 0);
    } else {
        EnableWindow(panelItem(kIdRateList), TRUE);
    }
    setup().sent = 0;
    applySampleMode();
    return 0;
}

int32_t qualifierListCommand(WinHandle, uint32_t, uint32_t code, MsgLParam) {
    if (code != CBN_SELCHANGE) return 0;
    const LRESULT k = SendMessageW(panelItem(kIdNanlynClock), CB_GETCURSEL, 0, 0);
    if (k >= 0 && k < kQualifierClocks) setup().current.clock = kQualifierClockWords[k];
    setup().sent = 0;
    return 0;
}

int32_t environmentCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    Viewer& v = *g_viewer;
    EnvironmentDialog d;
    if (runModal(IDD_ENVIRONMENT, static_cast<HWND>(window), environmentProc, reinterpret_cast<LPARAM>(&d)) != IDOK) return 0;
    applySampleMode();
    if (v.shell.deviceIndex >= 0 && v.device.limits.nanlyn) startTriggerProgramming();
    SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
    return 0;
}

}  // namespace kv
