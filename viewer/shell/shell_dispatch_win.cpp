#include "viewer/shell/shell_dispatch_win.h"

namespace kv {
namespace {

LRESULT defaultProcedure(DefaultProc kind, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The viewer's windows are Unicode windows so that its texts show in any code page.
    switch (kind) {
        case DefaultProc::Window: return DefWindowProcW(window, message, wParam, lParam);
        case DefaultProc::Dialog: return DefDlgProcW(window, message, wParam, lParam);
        case DefaultProc::MdiChild: return DefMDIChildProcW(window, message, wParam, lParam);
        case DefaultProc::None: break;
    }
    return 0;
}

}  // namespace

LRESULT dispatchWindowMessage(const MessageTable& table, HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const MessageEntry* e = findMessage(table, message)) return e->handler(window, message, wParam, lParam);
    return defaultProcedure(table.defaultKind, window, message, wParam, lParam);
}

INT_PTR dispatchDialogMessage(const MessageTable& table, HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (const MessageEntry* e = findMessage(table, message)) return e->handler(dialog, message, wParam, lParam);
    return defaultProcedure(table.defaultKind, dialog, message, wParam, lParam);
}

LRESULT dispatchCommand(const CommandTable& table, HWND window, WPARAM wParam, LPARAM lParam) {
    if (const CommandEntry* e = findCommand(table, wParam))
        return e->handler(window, LOWORD(wParam), HIWORD(wParam), lParam);
    return defaultProcedure(table.defaultKind, window, WM_COMMAND, wParam, lParam);
}

}  // namespace kv
