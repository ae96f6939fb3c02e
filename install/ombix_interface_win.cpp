// OmbixInterface.exe: one dialog with which the user chooses the connection kinds the logic
// analyzer and pattern generator libraries may probe. It reads and writes the registry switches only.
#include <windows.h>

#include "install/install_resources.h"
#include "install/interface_switches.h"
#include "install/ui_language_win.h"
#include "platform/registry_win.h"
#include "viewer/shell/resources_win.h"

namespace {

INT_PTR CALLBACK interfaceProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_INITDIALOG: {
        const kv::SwitchStates on = kv::readInterfaceSwitches(kv::winRegistry());
        for (size_t i = 0; i < on.size(); ++i)
            CheckDlgButton(dialog, kv::kInterfaceSwitches[i].control, on[i] ? BST_CHECKED : BST_UNCHECKED);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            kv::SwitchStates on;
            for (size_t i = 0; i < on.size(); ++i)
                on[i] = IsDlgButtonChecked(dialog, kv::kInterfaceSwitches[i].control) == BST_CHECKED;
            kv::writeInterfaceSwitches(kv::winRegistry(), on);
            EndDialog(dialog, IDOK);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, IDCANCEL);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    kv::setResourceLanguage(instance, kv::resourceLanguageFor(GetUserDefaultUILanguage()));
    const DLGTEMPLATE* dialog = kv::findDialogTemplate(IDD_INTERFACE_SETTING);
    if (!dialog) return 1;
    return DialogBoxIndirectParamW(instance, dialog, nullptr, interfaceProc, 0) == IDOK ? 0 : 1;
}
