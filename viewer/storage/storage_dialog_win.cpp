// The waveform temporary-storage dialog: the pictures show the content table, a drag with the left
// button from one picture to another moves the data (TemporaryStorage::drop), and the two buttons
// set the comparison flag. The dialog dispatches through message and command tables.
#include "viewer/storage/storage_dialog_win.h"

#include <windowsx.h>

#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"
#include "viewer/shell/shell_dispatch_win.h"
#include "viewer/storage/storage_resources.h"
#include "viewer/storage/temp_storage.h"

namespace kv {
namespace {

// What the open dialog holds: the pictures it loaded and the drag in progress.
struct StorageDialog {
    HBITMAP pictures[kStorageAreaCount] = {};
    int32_t dragSource = -1;
};
StorageDialog g_dialog;

HWND dialogOf(WinHandle w) { return static_cast<HWND>(w); }
HWND areaControl(HWND dialog, int32_t area) { return GetDlgItem(dialog, IDC_STORAGE_AREA_FIRST + area); }

HCURSOR dragCursor() { return LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_HAND)); }

// Every area shows the picture of the area its content came from, or nothing.
void showPictures(HWND dialog) {
    const TemporaryStorage& st = g_viewer->storage;
    for (int32_t k = 0; k < kStorageAreaCount; ++k) {
        const int32_t from = st.content(k);
        HBITMAP picture = from >= 0 && from < kStorageAreaCount ? g_dialog.pictures[from] : nullptr;
        HWND control = areaControl(dialog, k);
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture));
        InvalidateRect(control, nullptr, TRUE);
    }
}

// The area under a point of the dialog's client area, or -1.
int32_t areaAt(HWND dialog, LPARAM lParam) {
    Rect areas[kStorageAreaCount];
    for (int32_t k = 0; k < kStorageAreaCount; ++k) {
        HWND control = areaControl(dialog, k);
        RECT r = {};
        if (control) {
            GetClientRect(control, &r);
            MapWindowPoints(control, dialog, reinterpret_cast<POINT*>(&r), 2);
        }
        areas[k] = Rect{r.left, r.top, r.right, r.bottom};
    }
    return storageAreaAt(areas, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
}

// The capture buffer received a stored capture: the store describes it as it was stored, and the
// view is recomputed as after any new capture.
void takeRestoredCapture(const HeldCapture& h) {
    Viewer& v = *g_viewer;
    v.capture.captureLength = h.length;
    v.capture.format = h.format;
    v.store.attach(v.capture.base() + h.dataOffset, h.length, h.format.wordBits, h.format.rowBits,
                   h.format.sampleBits, h.format.storageMode);
    v.store.setStartOffset(h.startOffset);
    v.store.setInvert(v.panel.invert);
    runDecodePass();
    timeBaseChanged();
    SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
}

void dropOn(HWND dialog, int32_t source, int32_t target) {
    Viewer& v = *g_viewer;
    // A capture worker writes the capture buffer: it is neither read nor replaced meanwhile.
    if ((source == kMainScreenArea || target == kMainScreenArea) && v.acq.thread) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    HCURSOR previous = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
    const DropOutcome outcome = v.storage.drop(source, target, v.capture.base(),
                                               heldCaptureOf(v.store, v.capture.base()), v.settings.workDirectory);
    if (outcome.captureChanged) takeRestoredCapture(outcome.restored);
    showPictures(dialog);
    SetCursor(previous);
}

// Closing: the main panel is repainted (the capture or the compare buffer may have changed), the
// pictures are released, the dialog ends with 1.
void closeDialog(HWND dialog) {
    Viewer& v = *g_viewer;
    if (v.shell.panel) {
        SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
        RedrawWindow(v.shell.panel, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
    }
    for (int32_t k = 0; k < kStorageAreaCount; ++k) SendMessageW(areaControl(dialog, k), STM_SETIMAGE, IMAGE_BITMAP, 0);
    for (HBITMAP& b : g_dialog.pictures) {
        if (b) DeleteObject(b);
        b = nullptr;
    }
    EndDialog(dialog, 1);
}

int32_t onInit(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    g_dialog = StorageDialog{};
    for (int32_t k = 0; k < kStorageAreaCount; ++k)
        g_dialog.pictures[k] = static_cast<HBITMAP>(
            LoadImageW(resourceInstance(), MAKEINTRESOURCEW(IDB_STORAGE_FIRST + k), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    showPictures(dialogOf(w));
    return TRUE;
}

int32_t onButtonDown(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    HWND dialog = dialogOf(w);
    const int32_t area = areaAt(dialog, lParam);
    if (area < 0) return TRUE;
    g_dialog.dragSource = area;
    SetCapture(dialog);
    SetCursor(dragCursor());
    return TRUE;
}

int32_t onMouseMove(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    if (g_dialog.dragSource < 0) return FALSE;
    // Over an area the drag cursor stays; elsewhere a drop would do nothing, which the cursor says.
    SetCursor(areaAt(dialogOf(w), lParam) >= 0 ? dragCursor() : LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_NO)));
    return TRUE;
}

int32_t onButtonUp(WinHandle w, uint32_t, MsgWParam, MsgLParam lParam) {
    const int32_t source = g_dialog.dragSource;
    if (source < 0) return FALSE;
    HWND dialog = dialogOf(w);
    const int32_t target = areaAt(dialog, lParam);
    // The drag ends first: releasing the capture must not find it still running.
    g_dialog.dragSource = -1;
    if (target >= 0 && target != source) dropOn(dialog, source, target);
    SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW)));
    ReleaseCapture();
    return TRUE;
}

int32_t onCaptureChanged(WinHandle, uint32_t, MsgWParam, MsgLParam) {
    g_dialog.dragSource = -1;
    return TRUE;
}

int32_t onClose(WinHandle w, uint32_t, MsgWParam, MsgLParam) {
    closeDialog(dialogOf(w));
    return TRUE;
}

int32_t compareOnCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    g_viewer->panel.compare = true;
    closeDialog(dialogOf(w));
    return TRUE;
}

int32_t compareOffCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    g_viewer->panel.compare = false;
    closeDialog(dialogOf(w));
    return TRUE;
}

// Esc closes the dialog as its close box does.
int32_t cancelCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    closeDialog(dialogOf(w));
    return TRUE;
}

const CommandEntry kCommands[] = {
    {IDC_STORAGE_COMPARE_ON, compareOnCommand},
    {IDC_STORAGE_COMPARE_OFF, compareOffCommand},
    {IDCANCEL, cancelCommand},
};
const CommandTable kCommandTable = makeTable(kCommands, DefaultProc::None);

int32_t onCommand(WinHandle w, uint32_t, MsgWParam wParam, MsgLParam lParam) {
    return static_cast<int32_t>(dispatchCommand(kCommandTable, dialogOf(w), wParam, lParam));
}

const MessageEntry kMessages[] = {
    {WM_INITDIALOG, onInit},
    {WM_LBUTTONDOWN, onButtonDown},
    {WM_MOUSEMOVE, onMouseMove},
    {WM_LBUTTONUP, onButtonUp},
    {WM_CAPTURECHANGED, onCaptureChanged},
    {WM_COMMAND, onCommand},
    {WM_CLOSE, onClose},
};
const MessageTable kMessageTable = makeTable(kMessages, DefaultProc::None);

INT_PTR CALLBACK storageDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    return dispatchDialogMessage(kMessageTable, dialog, message, wParam, lParam);
}

}  // namespace

INT_PTR runStorageDialog(HWND parent) { return runModal(IDD_TEMP_STORAGE, parent, storageDialogProc, 0); }

}  // namespace kv
