// Select Device, the USB-removal countdown and About.
#include <windows.h>

#include "runtime/halvex_api.h"
#include "viewer/res/resource.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/help_topics.h"
#include "viewer/shell/hardware_info.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/shell/startup_rules.h"

namespace kv {
namespace {

std::vector<DeviceChoice> listDevices() {
    const auto* table = static_cast<const uint8_t*>(KvFindDevice());
    return freeDevices(table, [](const uint8_t* slot, int what, std::string& name) {
        char text[32] = {};
        const bool ok = KvInterfaceName(-1, slot, what, text, sizeof text) != 0;
        name = ok ? text : "";
        return ok;
    });
}

INT_PTR CALLBACK selectDeviceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    HWND list = GetDlgItem(dialog, IDC_DEVICE_LIST);
    switch (message) {
        case WM_INITDIALOG: {
            const auto* choices = reinterpret_cast<const std::vector<DeviceChoice>*>(lParam);
            for (const DeviceChoice& c : *choices) {
                const LRESULT i = SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(c.text.c_str()));
                SendMessageA(list, LB_SETITEMDATA, i, c.slot);
            }
            SendMessageA(list, LB_SETCURSEL, 0, 0);
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || (LOWORD(wParam) == IDC_DEVICE_LIST && HIWORD(wParam) == LBN_DBLCLK)) {
                const LRESULT i = SendMessageA(list, LB_GETCURSEL, 0, 0);
                EndDialog(dialog, i == LB_ERR ? -1 : SendMessageA(list, LB_GETITEMDATA, i, 0));
                return TRUE;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, -1);
                return TRUE;
            }
            break;
        case WM_CLOSE: EndDialog(dialog, -1); return TRUE;
    }
    return FALSE;
}

struct Countdown {
    int remaining;
};

void showRemaining(HWND dialog, int seconds) { SetDlgItemTextW(dialog, IDOK, formatString(IDS_SECONDS, seconds).c_str()); }

INT_PTR CALLBACK deviceRemovedProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* c = reinterpret_cast<Countdown*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            c = reinterpret_cast<Countdown*>(lParam);
            c->remaining = 8;
            showRemaining(dialog, c->remaining);
            SetTimer(dialog, kTimerCountdown, 1000, nullptr);
            return TRUE;
        case WM_TIMER:
            if (wParam != kTimerCountdown || !c) break;
            showRemaining(dialog, --c->remaining);
            if (c->remaining <= 0) {
                KillTimer(dialog, kTimerCountdown);
                EndDialog(dialog, IDOK);
            }
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                KillTimer(dialog, kTimerCountdown);
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

INT_PTR CALLBACK aboutProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, formatString(IDS_VERSION, widen(g_viewer->shell.version)).c_str());
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            break;
    }
    return FALSE;
}

std::string interfaceName(int index, int what) {
    char text[32] = {};
    return KvInterfaceName(index, nullptr, what, text, sizeof text) ? text : "";
}

INT_PTR CALLBACK hardwareInfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: {
            const Viewer& v = *g_viewer;
            const int index = v.shell.deviceIndex;
            std::wstring text;
            if (KvReset(index)) {
                BoardDescription board;
                board.nanlyn = v.device.limits.nanlyn;
                board.model = interfaceName(index, 0);
                board.interfaceName = interfaceName(index, 1);
                board.productCode = v.device.productCode;
                board.wordsPerSample = v.device.wordsPerSample;
                board.depth = v.device.depth;
                text = widen(hardwareInfoText(narrow(loadString(IDS_AUTO_SETTING_OK)), board));
            } else {
                // Demo mode, or a board that does not answer.
                text = loadTextResource("KVTXT", IDT_TROUBLESHOOTING);
            }
            SetDlgItemTextW(dialog, IDC_HARDWARE_TEXT, text.c_str());
            // The focus goes to OK, so the report is not shown selected.
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE;
        }
        case WM_HELP: showHelpTopic(dialog, helpTopicForDialog(IDD_HARDWARE_INFO), IDD_HARDWARE_INFO); return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            break;
    }
    return FALSE;
}

}  // namespace

void runHardwareInfoDialog(HWND parent) { runModal(IDD_HARDWARE_INFO, parent, hardwareInfoProc, 0); }

int runSelectDevice(HWND parent) { return runSelectDevice(parent, listDevices()); }

int runSelectDevice(HWND parent, const std::vector<DeviceChoice>& choices) {
    const int automatic = automaticDeviceChoice(choices);
    if (automatic != kChooseDevice) return automatic;
    return static_cast<int>(runModal(IDD_SELECT_DEVICE, parent, selectDeviceProc, reinterpret_cast<LPARAM>(&choices)));
}

void runDeviceRemovedDialog(HWND parent) {
    Countdown c{8};
    runModal(IDD_USB_REMOVED, parent, deviceRemovedProc, reinterpret_cast<LPARAM>(&c));
}

void runAboutDialog(HWND parent) { runModal(IDD_ABOUT, parent, aboutProc, 0); }

}  // namespace kv
