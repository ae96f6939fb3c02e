#include "viewer/scope/stack_win.h"

#include <commctrl.h>

#include <cstdio>
#include <memory>
#include <string>

#include "viewer/display/wave_view_win.h"
#include "viewer/res/resource.h"
#include "viewer/scope/ombix_scope.h"
#include "viewer/scope/scope_resources.h"
#include "viewer/scope/visa_binding_win.h"
#include "viewer/scope/visa_scope.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

ScopeStack g_stack;
bool g_dataShown = false;
uint64_t g_logicHz = 0;        // the logic rate of the capture the scope was armed with

using InitFn = int(__stdcall*)();
using HwInfoFn = int(__stdcall*)(int, int, void*);
using VoidFn = int(__stdcall*)();
using PtrFn = int(__stdcall*)(void*);
using IndexFn = int(__stdcall*)(int);

// Zentro.DLL, loaded by name and kept for the life of the process once bound.
bool bindZentro(ZentroCalls& c) {
    static HMODULE module = nullptr;
    if (!module) module = LoadLibraryA("Zentro.DLL");
    if (!module) return false;
    auto init = reinterpret_cast<InitFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoInit")));
    auto info = reinterpret_cast<HwInfoFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoGetHwInfo")));
    auto stop = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoStop")));
    auto capture = reinterpret_cast<PtrFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoCapture")));
    auto status = reinterpret_cast<IndexFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoGetStatus")));
    auto ready = reinterpret_cast<VoidFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoDataReady")));
    auto read = reinterpret_cast<PtrFn>(reinterpret_cast<void*>(GetProcAddress(module, "uDsoRead")));
    if (!init || !info || !stop || !capture || !status || !ready || !read) return false;
    c.init = [init] { return init(); };
    c.hwInfo = [info](int index, int what, uint32_t* out) { return info(index, what, out); };
    c.stop = [stop] { return stop(); };
    c.capture = [capture](void* r) { return capture(r); };
    c.status = [status](int index) { return status(index); };
    c.dataReady = [ready] { return ready(); };
    c.read = [read](void* r) { return read(r); };
    return true;
}

void showError(HWND owner, int id) { ask(owner, id, MB_ICONHAND | MB_OK, Caption::Error); }

std::unique_ptr<ScopeDevice> makeOmbix() { return std::make_unique<OmbixScope>(bindZentro); }
std::unique_ptr<ScopeDevice> makeVisa(HWND owner) {
    return std::make_unique<VisaScope>(loadVisa, [owner](int id) { showError(owner, id); },
                                       [](uint32_t ms) { Sleep(ms); });
}

uint64_t stackDelayOf(const Settings& s, int32_t brand) {
    return brand >= 0 && brand < kStackDelays ? s.dsoStackDelay[brand] : 65000;
}

// --- the dialog ---------------------------------------------------------------------------------

struct DialogState {
    StackForm form;
    uint64_t delays[kStackDelays] = {};
};

uint64_t fieldU64(HWND dialog, int id) {
    char text[40] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return std::strtoull(text, nullptr, 10);
}

void setU64(HWND dialog, int id, uint64_t v) {
    char text[40];
    std::snprintf(text, sizeof text, "%llu", static_cast<unsigned long long>(v));
    SetDlgItemTextA(dialog, id, text);
}

int32_t selection(HWND dialog, int id) {
    return static_cast<int32_t>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
}

void fillList(HWND dialog, int id, int firstString, int count, int selected) {
    HWND list = GetDlgItem(dialog, id);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < count; ++i)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(loadString(firstString + i).c_str()));
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(selected), 0);
}

void showBrand(HWND dialog, DialogState& d, int32_t brand, int32_t type) {
    const int types = samplingTypeCount(brand);
    if (type < 0 || type >= types) type = 0;
    fillList(dialog, IDC_DSO_SR_TYPE, IDS_DSO_SR_FIRST, types, type);
    EnableWindow(GetDlgItem(dialog, IDC_DSO_SR_TYPE), brand == kBrandOmbix);
    EnableWindow(GetDlgItem(dialog, IDC_DSO_RATE), brand == kBrandOmbix && type == kSrEdit);
    EnableWindow(GetDlgItem(dialog, IDC_DSO_IP), brand == kBrandTektronix);
    setU64(dialog, IDC_DSO_DELAY, brand >= 0 && brand < kStackDelays ? d.delays[brand] : 65000);
}

void startDialog(HWND dialog, DialogState& d) {
    const Settings& s = g_viewer->settings;
    for (int i = 0; i < kStackDelays; ++i) d.delays[i] = s.dsoStackDelay[i];
    fillList(dialog, IDC_DSO_BRAND, IDS_DSO_BRAND_FIRST, kBrandCount, s.dsoBrand);
    const uint32_t ip = s.dsoIp;
    SendDlgItemMessageW(dialog, IDC_DSO_IP, IPM_SETADDRESS, 0,
                        MAKEIPADDRESS(ip & 0xFF, (ip >> 8) & 0xFF, (ip >> 16) & 0xFF, ip >> 24));
    showBrand(dialog, d, s.dsoBrand, s.dsoSrType);
    setU64(dialog, IDC_DSO_RATE, s.dsoSampleRate);
    char text[40];
    std::snprintf(text, sizeof text, "%2.3f", s.dsoTrigPosPercent);
    SetDlgItemTextA(dialog, IDC_DSO_TRIG_POS, text);
    fillList(dialog, IDC_DSO_HEIGHT, IDS_DSO_FIT_FIRST, 2, s.dsoFitHeight == 0 ? 0 : 1);
}

bool confirm(HWND dialog, DialogState& d) {
    Settings& s = g_viewer->settings;
    StackForm f;
    f.brand = selection(dialog, IDC_DSO_BRAND);
    DWORD packed = 0;
    SendDlgItemMessageW(dialog, IDC_DSO_IP, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&packed));
    // The control packs the first octet high; the setting keeps it in the low byte.
    f.ip = FIRST_IPADDRESS(packed) | SECOND_IPADDRESS(packed) << 8 | THIRD_IPADDRESS(packed) << 16 |
           static_cast<uint32_t>(FOURTH_IPADDRESS(packed)) << 24;
    f.stackDelay = fieldU64(dialog, IDC_DSO_DELAY);
    char text[40] = {};
    GetDlgItemTextA(dialog, IDC_DSO_TRIG_POS, text, sizeof text);
    char* end = nullptr;
    f.trigPosPercent = std::strtod(text, &end);
    if (end == text) f.trigPosPercent = -1;  // no number: out of range
    f.rate = fieldU64(dialog, IDC_DSO_RATE);
    f.fitHeight = selection(dialog, IDC_DSO_HEIGHT);
    f.srType = selection(dialog, IDC_DSO_SR_TYPE);
    StackOutcome o = applyStackForm(f, makeOmbix, [dialog] { return makeVisa(dialog); });
    if (o.message) {
        if (o.error)
            showError(dialog, o.message);
        else
            askWithCaption(dialog, o.message, L"Info", MB_ICONINFORMATION | MB_OK);
    }
    if (o.restoreBrand) {
        SendDlgItemMessageW(dialog, IDC_DSO_BRAND, CB_SETCURSEL, static_cast<WPARAM>(s.dsoBrand), 0);
        showBrand(dialog, d, s.dsoBrand, s.dsoSrType);
    }
    if (!o.ok) return false;
    if (f.brand >= 0 && f.brand < kStackDelays) d.delays[f.brand] = f.stackDelay;
    g_stack.install(std::move(o.scope));
    g_dataShown = false;
    s.dsoBrand = f.brand;
    s.dsoSrType = f.srType < 0 ? 0 : f.srType;
    for (int i = 0; i < kStackDelays; ++i) s.dsoStackDelay[i] = d.delays[i];
    s.dsoTrigPosPercent = f.trigPosPercent;
    s.dsoFitHeight = f.fitHeight == 0 ? 0 : 1;
    s.dsoIp = f.ip;
    if (f.brand == kBrandOmbix && o.rate) s.dsoSampleRate = o.rate;
    return true;
}

INT_PTR CALLBACK stackDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<DialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            startDialog(dialog, *reinterpret_cast<DialogState*>(lParam));
            return TRUE;
        case WM_COMMAND:
            if (!d) break;
            switch (LOWORD(wParam)) {
                case IDC_DSO_BRAND:
                    if (HIWORD(wParam) == CBN_SELCHANGE) {
                        // The delay shown so far belongs to the brand selected before.
                        showBrand(dialog, *d, selection(dialog, IDC_DSO_BRAND), 0);
                    }
                    break;
                case IDC_DSO_DELAY:
                    if (HIWORD(wParam) == EN_CHANGE) {
                        const int32_t b = selection(dialog, IDC_DSO_BRAND);
                        if (b >= 0 && b < kStackDelays) d->delays[b] = fieldU64(dialog, IDC_DSO_DELAY);
                    }
                    break;
                case IDC_DSO_SR_TYPE:
                    if (HIWORD(wParam) == CBN_SELCHANGE)
                        EnableWindow(GetDlgItem(dialog, IDC_DSO_RATE), selection(dialog, IDC_DSO_BRAND) == kBrandOmbix &&
                                                                           selection(dialog, IDC_DSO_SR_TYPE) == kSrEdit);
                    break;
                case IDC_DSO_OK:
                case IDOK:
                    if (confirm(dialog, *d)) EndDialog(dialog, IDOK);
                    break;
                case IDC_DSO_CANCEL:
                case IDCANCEL: EndDialog(dialog, IDCANCEL); break;
                default: break;
            }
            return TRUE;
        default: break;
    }
    return FALSE;
}

}  // namespace

ScopeStack& scopeStack() { return g_stack; }

int stackedScopeChannels() { return g_stack.device ? g_stack.device->channelCount() : 0; }

bool runStackSettingDialog(HWND parent) {
    INITCOMMONCONTROLSEX icc = {sizeof icc, ICC_INTERNET_CLASSES};
    InitCommonControlsEx(&icc);
    DialogState d;
    return runModal(IDD_DSO_STACK, parent, stackDialogProc, reinterpret_cast<LPARAM>(&d)) == IDOK;
}

void connectStackedScope(HWND owner) {
    Settings& s = g_viewer->settings;
    if (s.dsoBrand != kBrandOmbix && s.dsoBrand != kBrandTektronix) return;
    std::unique_ptr<ScopeDevice> scope = s.dsoBrand == kBrandOmbix ? makeOmbix() : makeVisa(owner);
    const bool opened = s.dsoBrand == kBrandOmbix ? scope->openDefault() : scope->openIp(s.dsoIp);
    if (!opened) {
        showError(owner, s.dsoBrand == kBrandOmbix ? IDS_NO_OMBIX_DSO : IDS_NO_TEK_DSO);
        s.dsoBrand = kBrandNone;
        g_stack.install(nullptr);
        return;
    }
    g_stack.install(std::move(scope));
}

void configureForCapture(ScopeDevice& scope) {
    Viewer& v = *g_viewer;
    const Settings& s = v.settings;
    g_logicHz = v.acq.trigger.current.frequency();
    g_dataShown = false;
    // Only the maker's scope is set up by the viewer; a SCPI scope keeps what its user set.
    if (s.dsoBrand != kBrandOmbix) return;
    configureStackedScope(scope, v.labels.table, s.dsoTrigPosPercent, s.dsoSrType, g_logicHz, s.dsoSampleRate);
}

void setScopeDataShown(bool shown) { g_dataShown = shown; }

bool scopeRowTrace(int32_t channel, ScopeMapping& mapping, ScopeTrace& trace) {
    ScopeDevice* scope = g_stack.device.get();
    if (!scope || !g_dataShown || !g_viewer || g_logicHz == 0) return false;
    if (channel < 0 || channel >= scope->channelCount()) return false;
    const double* samples = scope->channelBuffer(channel);
    if (!samples) return false;
    const Settings& s = g_viewer->settings;
    trace.samples = samples;
    trace.count = scope->sampleCount(0);
    int64_t hi = 0, lo = 0;
    if (s.dsoFitHeight == 0)
        scope->extremes(hi, lo);
    else
        scope->channelExtremes(channel, hi, lo);
    trace.top = static_cast<double>(hi);
    trace.bottom = static_cast<double>(lo);
    mapping.triggerSample = g_viewer->capture.triggerPosition;
    mapping.logicPeriod = 1.0 / static_cast<double>(g_logicHz);
    mapping.stackDelay = static_cast<double>(stackDelayOf(s, s.dsoBrand)) * 1e-12;
    mapping.timeToIndex = [scope](double seconds) { return scope->timeToIndex(seconds); };
    return true;
}

bool measuringLineMicrovolts(int32_t y0, int32_t y1, int64_t& microvolts) {
    if (!g_viewer || !g_stack.device) return false;
    const Viewer& v = *g_viewer;
    const int32_t wave = v.settings.waveHeight > 0 ? v.settings.waveHeight : 24;
    const std::vector<WaveRow> rows =
        layoutRows(v.labels.table, waveViewState().view.firstRow, y0 + 1, wave, v.device.channelCount);
    for (const WaveRow& r : rows) {
        if (y0 < r.top || y0 >= r.top + r.height) continue;
        if (r.kind != RowKind::Scope) return false;
        ScopeMapping m;
        ScopeTrace t;
        if (!scopeRowTrace(v.labels.table.entries[static_cast<size_t>(r.firstEntry)].channel, m, t)) return false;
        microvolts = scopeLineMicrovolts(r, wave / 6, t, y0, y1);
        return true;
    }
    return false;
}

void renderScopeRows(const PaneGeometry& pane, const std::vector<WaveRow>& rows, const RenderStyle& style,
                     const Band& band, PrimitiveList& out) {
    if (!g_viewer || !g_stack.device) return;
    for (int32_t k = band.rowFirst; k <= band.rowLast && k < static_cast<int32_t>(rows.size()); ++k) {
        const WaveRow& r = rows[static_cast<size_t>(k)];
        if (r.kind != RowKind::Scope || r.disabled) continue;
        ScopeMapping m;
        ScopeTrace t;
        const int32_t channel = g_viewer->labels.table.entries[static_cast<size_t>(r.firstEntry)].channel;
        if (scopeRowTrace(channel, m, t)) renderScopeRow(pane, r, style, band, m, t, out);
    }
}

}  // namespace kv
