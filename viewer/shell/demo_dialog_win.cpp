// The Demo dialog (template 230): the eight groups of the virtual target system.
#include <windows.h>

#include <mutex>
#include <string>

#include "viewer/res/resource.h"
#include "viewer/shell/acquisition_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/demo_dialog.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

std::string controlText(HWND dialog, int id) {
    char text[64] = {};
    GetDlgItemTextA(dialog, id, text, sizeof text);
    return text;
}

void fillRows(HWND dialog) {
    Viewer& v = *g_viewer;
    DemoGroupSetting groups[kDemoGroups];
    {
        std::lock_guard<std::mutex> lock(v.demo.settingsLock);
        for (int g = 0; g < kDemoGroups; ++g) groups[g] = v.settings.demo[g];
    }
    for (int g = 0; g < kDemoGroups; ++g) {
        HWND combo = GetDlgItem(dialog, IDC_DEMO_FUNCTION_FIRST + g);
        for (int k = 0; k < kDemoFunctionCount; ++k) {
            std::wstring name = loadString(IDS_DEMO_FUNCTION_FIRST + k);
            if (name.empty()) name = widen(kDemoFunctionNames[k]);
            SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
        }
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(groups[g].function), 0);
        SetDlgItemTextA(dialog, IDC_DEMO_UNIT_FIRST + g, demoUnitText(groups[g].unitMode));
        SetDlgItemTextA(dialog, IDC_DEMO_FREQUENCY_FIRST + g, std::to_string(demoFrequencyInUnit(groups[g])).c_str());
    }
}

// OK: the rows go into the settings in order; the first over its limit stops with message 223 and
// the dialog stays open (the rows before it keep their new values).
bool takeRows(HWND dialog) {
    DemoDialogRow rows[kDemoGroups];
    for (int g = 0; g < kDemoGroups; ++g) {
        rows[g].function = static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_DEMO_FUNCTION_FIRST + g, CB_GETCURSEL, 0, 0));
        rows[g].number = controlText(dialog, IDC_DEMO_FREQUENCY_FIRST + g);
        rows[g].unit = controlText(dialog, IDC_DEMO_UNIT_FIRST + g);
    }
    Viewer& v = *g_viewer;
    int refused;
    {
        std::lock_guard<std::mutex> lock(v.demo.settingsLock);
        refused = applyDemoDialogRows(rows, v.settings.demo);
    }
    if (refused < 0) return true;
    ask(dialog, IDS_DEMO_OVER_LIMIT, MB_ICONHAND | MB_OK);
    SetFocus(GetDlgItem(dialog, IDC_DEMO_FREQUENCY_FIRST + refused));
    return false;
}

INT_PTR CALLBACK demoDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG: fillRows(dialog); return TRUE;
        case WM_COMMAND: {
            const int id = LOWORD(wParam);
            if (id >= IDC_DEMO_UNIT_FIRST && id < IDC_DEMO_UNIT_FIRST + kDemoGroups) {
                // The number is not converted: the unit only says how to read it.
                if (HIWORD(wParam) == BN_CLICKED) SetDlgItemTextA(dialog, id, nextDemoUnitText(controlText(dialog, id)));
                return TRUE;
            }
            if (id == IDOK) {
                if (takeRows(dialog)) EndDialog(dialog, 1);
                return TRUE;
            }
            if (id == IDCANCEL) {
                EndDialog(dialog, 1);
                return TRUE;
            }
            if (id == IDC_DEMO_DEFAULT) return TRUE;  // the button has no action
            break;
        }
        case WM_CLOSE: EndDialog(dialog, 1); return TRUE;
    }
    return FALSE;
}

}  // namespace

INT_PTR runDemoDialog(HWND parent) { return runModal(IDD_DEMO, parent, demoDialogProc, 0); }

}  // namespace kv
