// Configure Threshold (command 1014, Ctrl+V) and Custom Threshold: a named level or a slider
// level per pod, sent to the board with KvThresVolt when confirmed.
#include "viewer/acquire/threshold_dialogs_win.h"

#include <commctrl.h>

#include "runtime/halvex_api.h"
#include "viewer/acquire/acquire_resources.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

PodThresholds g_pods;
int32_t g_customLevel = 1600;   // Custom Threshold's slider, kept between openings

const int kPodLists[kPods] = {IDC_POD_LIST_A, IDC_POD_LIST_B, IDC_POD_LIST_C, IDC_POD_LIST_D};
const int kPodCaptions[kPods] = {IDC_POD_CAPTION_A, IDC_POD_CAPTION_B, IDC_POD_CAPTION_C, IDC_POD_CAPTION_D};

struct ThresholdDialog {
    PodThresholds saved;
    int adjusted = 0;   // the pod the slider sets
};

void fillNames(HWND list, bool listBox) {
    const Settings& s = g_viewer->settings;
    SendMessageW(list, listBox ? LB_RESETCONTENT : CB_RESETCONTENT, 0, 0);
    for (int i = 0; i < thresholdCount(s); ++i)
        SendMessageW(list, listBox ? LB_ADDSTRING : CB_ADDSTRING, 0,
                     reinterpret_cast<LPARAM>(widen(s.thresholds[i].name).c_str()));
}

void setUpSlider(HWND slider, int32_t millivolts) {
    SendMessageW(slider, TBM_SETRANGE, TRUE, MAKELPARAM(0, kThresholdPositions));
    SendMessageW(slider, TBM_SETTICFREQ, kThresholdTicks, 0);
    SendMessageW(slider, TBM_SETPAGESIZE, 0, kThresholdPageStep);
    SendMessageW(slider, TBM_SETLINESIZE, 0, 1);
    SendMessageW(slider, TBM_SETPOS, TRUE, thresholdPosition(millivolts));
}

void showPod(HWND dialog, int pod) {
    SetDlgItemTextW(dialog, IDC_POD_LEVEL_A + pod, widen(thresholdText(g_pods.millivolts[pod])).c_str());
}

void fillPods(HWND dialog) {
    for (int p = 0; p < kPods; ++p) {
        HWND list = GetDlgItem(dialog, kPodLists[p]);
        fillNames(list, false);
        SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(g_pods.entry[p]), 0);
        showPod(dialog, p);
    }
}

INT_PTR CALLBACK thresholdProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<ThresholdDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    const Viewer& v = *g_viewer;
    HWND slider = GetDlgItem(dialog, IDC_THRESHOLD_SLIDER);
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<ThresholdDialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            d->saved = g_pods;
            fillPods(dialog);
            const bool nanlyn = v.device.limits.nanlyn;
            if (nanlyn || v.device.channelCount <= 16)
                for (int p = 0; p < kPods; ++p)
                    SetDlgItemTextW(dialog, kPodCaptions[p],
                                    loadString((nanlyn ? IDS_POD_CAPTION_NANLYN : IDS_POD_CAPTION_16) + p).c_str());
            if (nanlyn || v.device.channelCount <= 32)
                for (int p = 2; p < kPods; ++p)
                    for (int id : {kPodCaptions[p], kPodLists[p], IDC_POD_LEVEL_A + p}) EnableWindow(GetDlgItem(dialog, id), FALSE);
            setUpSlider(slider, g_pods.millivolts[0]);
            EnableWindow(slider, g_pods.entry[0] == kUserDefineEntry);
            return TRUE;
        }
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) != slider || !d) break;
            g_pods.millivolts[d->adjusted] = thresholdAtPosition(static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
            showPod(dialog, d->adjusted);
            return TRUE;
        case WM_HELP: showHelpTopic(dialog, "::/4-5.htm"); return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            for (int p = 0; p < kPods; ++p) {
                if (id != kPodLists[p] || HIWORD(wParam) != CBN_SELCHANGE) continue;
                const int index = static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCURSEL, 0, 0));
                if (!choosePodEntry(g_pods, p, index, v.settings)) return TRUE;
                const bool user = index == kUserDefineEntry;
                if (user) {
                    d->adjusted = p;
                    SendMessageW(slider, TBM_SETPOS, TRUE, thresholdPosition(g_pods.millivolts[p]));
                }
                EnableWindow(slider, user);
                showPod(dialog, p);
                return TRUE;
            }
            if (id == IDOK) {
                for (int p = 0; p < kPods; ++p) KvThresVolt(v.shell.deviceIndex, p, g_pods.millivolts[p]);
                EndDialog(dialog, IDOK);
            } else if (id == IDCANCEL) {
                g_pods = d->saved;
                EndDialog(dialog, IDCANCEL);
            } else if (id == IDC_THRESHOLD_CUSTOM) {
                runCustomThreshold(dialog);
                fillPods(dialog);
            }
            return TRUE;
        }
        default: break;
    }
    return FALSE;
}

std::string nameField(HWND dialog) {
    wchar_t text[kThresholdNameBytes + 8] = {};
    GetDlgItemTextW(dialog, IDC_CUSTOM_NAME, text, kThresholdNameBytes + 8);
    return narrow(text);
}

void showCustomLevel(HWND dialog) {
    SetDlgItemTextW(dialog, IDC_CUSTOM_LEVEL, widen(thresholdText(g_customLevel)).c_str());
}

INT_PTR CALLBACK customProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    Settings& s = g_viewer->settings;
    HWND list = GetDlgItem(dialog, IDC_CUSTOM_LIST);
    HWND slider = GetDlgItem(dialog, IDC_THRESHOLD_SLIDER);
    switch (message) {
        case WM_INITDIALOG:
            fillNames(list, true);
            SendDlgItemMessageW(dialog, IDC_CUSTOM_NAME, EM_LIMITTEXT, kThresholdNameBytes - 1, 0);
            setUpSlider(slider, g_customLevel);
            showCustomLevel(dialog);
            return TRUE;
        case WM_VSCROLL:
        case WM_HSCROLL:
            if (reinterpret_cast<HWND>(lParam) != slider) break;
            g_customLevel = thresholdAtPosition(static_cast<int>(SendMessageW(slider, TBM_GETPOS, 0, 0)));
            showCustomLevel(dialog);
            return TRUE;
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_CUSTOM_LIST:
                    if (HIWORD(wParam) == LBN_SELCHANGE) {
                        const LRESULT i = SendMessageW(list, LB_GETCURSEL, 0, 0);
                        if (i < 0 || i >= thresholdCount(s)) break;
                        SetDlgItemTextW(dialog, IDC_CUSTOM_NAME, widen(s.thresholds[i].name).c_str());
                        g_customLevel = s.thresholds[i].millivolts;
                        SendMessageW(slider, TBM_SETPOS, TRUE, thresholdPosition(g_customLevel));
                        showCustomLevel(dialog);
                    }
                    break;
                case IDC_CUSTOM_ADD: {
                    const std::string name = nameField(dialog);
                    bool overwrite = false;
                    if (findThresholdEntry(s, name) >= 0)
                        overwrite = ask(dialog, IDS_THRESHOLD_OVERWRITE, MB_YESNO | MB_ICONQUESTION) == IDYES;
                    if (addThresholdEntry(s, name, g_customLevel, overwrite) == AddOutcome::ListFull)
                        ask(dialog, IDS_THRESHOLD_LIST_FULL, MB_OK | MB_ICONEXCLAMATION);
                    fillNames(list, true);
                    break;
                }
                case IDC_CUSTOM_DELETE: {
                    const int refused = deleteThresholdEntry(s, nameField(dialog));
                    if (refused) ask(dialog, refused, MB_OK | MB_ICONEXCLAMATION, Caption::Error);
                    fillNames(list, true);
                    break;
                }
                case IDC_CUSTOM_EXIT: EndDialog(dialog, IDCANCEL); break;
                default: break;
            }
            return TRUE;
        default: break;
    }
    return FALSE;
}

}  // namespace

PodThresholds& podThresholds() { return g_pods; }

int32_t thresholdCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    ThresholdDialog d;
    runModal(IDD_CONFIGURE_THRESHOLD, static_cast<HWND>(window), thresholdProc, reinterpret_cast<LPARAM>(&d));
    return 0;
}

void runCustomThreshold(HWND parent) { runModal(IDD_CUSTOM_THRESHOLD, parent, customProc, 0); }

}  // namespace kv
