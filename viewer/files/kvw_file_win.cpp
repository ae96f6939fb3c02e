#include "viewer/files/kvw_file_win.h"

#include <commdlg.h>

#include <algorithm>
#include <functional>
#include <cstring>
#include <new>
#include <vector>

#include "runtime/halvex_api.h"
#include "runtime/le_bytes.h"
#include "viewer/acquire/sample_mode_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/files/files_resources.h"
#include "viewer/files/kvw_trigger.h"
#include "viewer/files/qgw_file.h"
#include "viewer/files/text_export.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/demo_generator.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

OpenFileChooser g_openFile = GetOpenFileNameW;

HWND hwndOf(WinHandle w) { return static_cast<HWND>(w); }

// "KV Viewer - [name]", the unsaved mark gone.
void titleWithFile(const std::string& fileName) {
    Viewer& v = *g_viewer;
    const std::wstring title = v.shell.caption + L" - [" + widen(fileName) + L"]";
    SetWindowTextW(v.shell.mainWindow, title.c_str());
    v.acq.unsavedMark = false;
}

bool fileExists(const std::string& name) {
    const DWORD a = GetFileAttributesA(name.c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The samples are 32 bits wide while the trigger set-up is in memory-stack mode, on every board
// but the Nanlyn boards.
bool samples32(const Viewer& v) { return !v.device.limits.nanlyn && (v.acq.trigger.current.flags & kTriggerFlagMemoryStack) != 0; }

// The display record of the capture on screen.
DisplayState currentDisplay(const Viewer& v) {
    DisplayState d;
    const WaveView& view = waveViewState().view;
    d.nameWidth = view.nameWidth;
    d.valueWidth = view.valueWidth;
    d.firstSample = view.firstSample;
    d.firstRow = view.firstRow;
    d.zoomIn = view.zoomIn;
    d.zoomOut = view.zoomOut;
    d.gridSpacing = view.gridSpacing;
    d.gridStyle = view.gridStyle;
    d.gridColorIndex = view.gridColorIndex;
    d.channelWidth = view.channelWidth;
    d.remarkWidth = view.remarkWidth;
    const CursorSet& cursors = cursorSet();
    for (int k = 0; k < kCursorCount; ++k) {
        d.cursorPosition[k] = cursors.cursors[k].position;
        d.cursorFlags[k] = cursors.cursors[k].flags;
    }
    d.cursorFocus = cursors.focus;
    d.measureMode = cursors.measureMode;
    d.triggerPosition = v.acq.trigger.triggerPosition;
    d.waveHeight = v.settings.waveHeight;
    d.productCode = static_cast<uint32_t>(v.device.productCode);
    d.setFrequency(static_cast<uint64_t>(readoutFrequency()));
    d.clockSelection = v.acq.trigger.current.clock ? v.acq.trigger.current.clock : 1;
    // Mode id and sample-group word: 0 and 1 until the high-speed sample modes exist.
    d.modeId = 0;
    d.sampleGroup = 1;
    return d;
}

bool writeAll(HANDLE file, const uint8_t* p, size_t n) {
    while (n) {
        DWORD done = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(n, 1u << 30));
        if (!WriteFile(file, p, chunk, &done, nullptr) || done != chunk) return false;
        p += chunk;
        n -= chunk;
    }
    return true;
}

// Text and pattern files: created, then filled by `produce` through a sink.
bool writeStreamed(HWND owner, const std::string& target, const std::function<bool(const ByteSink&)>& produce) {
    HANDLE out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (out == INVALID_HANDLE_VALUE) {
        ask(owner, IDS_CREATE_FILE_ERROR, MB_ICONHAND);
        return false;
    }
    const bool ok = produce([out](const uint8_t* p, size_t n) { return writeAll(out, p, n); });
    CloseHandle(out);
    if (!ok) {
        DeleteFileA(target.c_str());
        ask(owner, IDS_CREATE_FILE_ERROR, MB_ICONHAND);
    }
    return ok;
}

// Writes a KVW file through a temporary file in the target's folder, so that a failure leaves the
// target as it was and no temporary file behind.
bool writeKvwFile(HWND owner, const std::string& target, const KvwSource& source, int32_t format) {
    const size_t slash = target.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? std::string(".\\") : target.substr(0, slash + 1);
    char temp[MAX_PATH] = {};
    HANDLE tmp = INVALID_HANDLE_VALUE;
    if (GetTempFileNameA(folder.c_str(), "TMP", 0, temp))
        tmp = CreateFileA(temp, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (tmp == INVALID_HANDLE_VALUE) {
        if (temp[0]) DeleteFileA(temp);
        askWithCaption(owner, IDS_CREATE_FILE_ERROR, loadString(IDS_TMP_CAPTION), MB_ICONHAND);
        return false;
    }
    bool ok = encodeKvwData(source, format, [&](const uint8_t* p, size_t n) { return writeAll(tmp, p, n); });
    HANDLE out = INVALID_HANDLE_VALUE;
    if (ok) {
        out = CreateFileA(target.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out == INVALID_HANDLE_VALUE) {
            CloseHandle(tmp);
            DeleteFileA(temp);
            ask(owner, IDS_CREATE_FILE_ERROR, MB_ICONHAND);
            return false;
        }
        const std::vector<uint8_t> prefix = kvwPrefix(source, format);
        ok = writeAll(out, prefix.data(), prefix.size());
        // The encoded samples follow, copied in 64 KiB reads.
        std::vector<uint8_t> buffer(kRunChunkBytes);
        ok = ok && SetFilePointer(tmp, 0, nullptr, FILE_BEGIN) == 0;
        for (DWORD got = 1; ok && got;) {
            ok = ReadFile(tmp, buffer.data(), kRunChunkBytes, &got, nullptr) && writeAll(out, buffer.data(), got);
        }
        CloseHandle(out);
    }
    CloseHandle(tmp);
    DeleteFileA(temp);
    if (!ok) {
        // A disk that filled up or a write that failed: no half-written file is left as if saved.
        if (out != INVALID_HANDLE_VALUE) DeleteFileA(target.c_str());
        ask(owner, IDS_CREATE_FILE_ERROR, MB_ICONHAND);
    }
    return ok;
}

// --- Save Wave File dialog -------------------------------------------------------------------------

struct SaveDialog {
    SaveChoice choice;
    bool blockRepeat = false;
};

void addItems(HWND combo, std::initializer_list<int> ids) {
    for (int id : ids) SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(loadString(id).c_str()));
}

void enableRangeControls(HWND dialog, const SaveDialog& d) {
    const bool rangeOk = !d.blockRepeat;
    EnableWindow(GetDlgItem(dialog, IDC_SAVE_RANGE), rangeOk);
    const bool on = rangeOk && IsDlgButtonChecked(dialog, IDC_SAVE_RANGE) == BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_SAVE_START), on);
    EnableWindow(GetDlgItem(dialog, IDC_SAVE_END), on);
    EnableWindow(GetDlgItem(dialog, IDC_SAVE_CHANNEL), rangeOk);
}

std::string dialogText(HWND dialog, int id) {
    wchar_t text[MAX_PATH] = {};
    GetDlgItemTextW(dialog, id, text, MAX_PATH);
    return narrow(text);
}

void browseForName(HWND dialog) {
    // Filters: the three kinds of file, each a text and a pattern.
    std::wstring filter;
    for (auto [id, pattern] : {std::pair<int, const wchar_t*>{IDS_FILTER_KVW, L"*.kvw"}, {IDS_FILTER_QGW, L"*.qgw"},
                               {IDS_FILTER_TEXT, L"*.txt"}}) {
        filter += loadString(id);
        filter += L'\0';
        filter += pattern;
        filter += L'\0';
    }
    filter += L'\0';
    wchar_t name[MAX_PATH] = {};
    GetDlgItemTextW(dialog, IDC_SAVE_FILE, name, MAX_PATH);
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = dialog;
    ofn.lpstrFilter = filter.c_str();
    const LRESULT format = SendDlgItemMessageW(dialog, IDC_SAVE_FORMAT, CB_GETCURSEL, 0, 0);
    ofn.nFilterIndex = format == kSaveQgw ? 2 : format == kSaveText ? 3 : 1;
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST;
    if (GetSaveFileNameW(&ofn)) SetDlgItemTextW(dialog, IDC_SAVE_FILE, name);
}

INT_PTR CALLBACK saveDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* d = reinterpret_cast<SaveDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG: {
            d = reinterpret_cast<SaveDialog*>(lParam);
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            HWND formats = GetDlgItem(dialog, IDC_SAVE_FORMAT);
            for (int k = 0; k < kSaveFormatCount; ++k) addItems(formats, {IDS_SAVE_FORMAT_FIRST + k});
            SendMessageW(formats, CB_SETCURSEL, d->choice.format, 0);
            addItems(GetDlgItem(dialog, IDC_SAVE_START), {IDS_BUFFER_HEAD, 950, 951, 952, 953, 954, 955});
            addItems(GetDlgItem(dialog, IDC_SAVE_END), {IDS_BUFFER_TAIL, 950, 951, 952, 953, 954, 955});
            addItems(GetDlgItem(dialog, IDC_SAVE_CHANNEL), {IDS_ALL_CHANNEL, IDS_SELECTED_CHANNEL});
            SendDlgItemMessageW(dialog, IDC_SAVE_START, CB_SETCURSEL, 0, 0);
            SendDlgItemMessageW(dialog, IDC_SAVE_END, CB_SETCURSEL, 0, 0);
            SendDlgItemMessageW(dialog, IDC_SAVE_CHANNEL, CB_SETCURSEL, 0, 0);
            SetDlgItemTextW(dialog, IDC_SAVE_FILE, widen(d->choice.fileName).c_str());
            enableRangeControls(dialog, *d);
            return TRUE;
        }
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDC_SAVE_RANGE: enableRangeControls(dialog, *d); return TRUE;
                case IDC_SAVE_BROWSE: browseForName(dialog); return TRUE;
                case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
                case IDOK: {
                    SaveChoice c;
                    c.format = static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_SAVE_FORMAT, CB_GETCURSEL, 0, 0));
                    if (c.format < 0 || c.format >= kSaveFormatCount) c.format = kSaveKvwZlib;
                    c.fileName = dialogText(dialog, IDC_SAVE_FILE);
                    c.selectRange = !d->blockRepeat && IsDlgButtonChecked(dialog, IDC_SAVE_RANGE) == BST_CHECKED;
                    c.startChoice = static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_SAVE_START, CB_GETCURSEL, 0, 0));
                    c.endChoice = static_cast<int32_t>(SendDlgItemMessageW(dialog, IDC_SAVE_END, CB_GETCURSEL, 0, 0));
                    c.selectedChannels =
                        !d->blockRepeat && SendDlgItemMessageW(dialog, IDC_SAVE_CHANNEL, CB_GETCURSEL, 0, 0) == 1;
                    const int refusal = checkSaveChoice(c, d->blockRepeat, g_viewer->device.limits.nanlyn);
                    if (refusal) {
                        ask(dialog, refusal, MB_ICONHAND);
                        return TRUE;
                    }
                    c.fileName = withDefaultExtension(c.fileName, c.format);
                    if (fileExists(c.fileName) && ask(dialog, IDS_OVERWRITE, MB_YESNO | MB_ICONQUESTION) != IDYES)
                        return TRUE;
                    HCURSOR old = SetCursor(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_WAIT)));
                    const bool ok = writeWaveFile(dialog, c, false);
                    SetCursor(old);
                    if (ok) {
                        d->choice = c;
                        EndDialog(dialog, IDOK);
                    }
                    return TRUE;
                }
            }
            break;
    }
    return FALSE;
}

// --- loading ---------------------------------------------------------------------------------------

}  // namespace

bool readWholeFile(const std::string& name, std::vector<uint8_t>& bytes, int& failure) {
    HANDLE f = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        failure = IDS_FILE_CANT_OPEN;
        return false;
    }
    LARGE_INTEGER size = {};
    bool ok = GetFileSizeEx(f, &size) != 0 && size.QuadPart >= 0 && size.QuadPart < 0x7FFFFFFF;
    failure = IDS_FILE_READ_ERROR;
    if (ok) {
        try {
            bytes.resize(static_cast<size_t>(size.QuadPart));
        } catch (const std::bad_alloc&) {
            failure = IDS_MEMORY;
            ok = false;
        }
    }
    DWORD got = 0;
    if (ok && !bytes.empty())
        ok = ReadFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) && got == bytes.size();
    CloseHandle(f);
    return ok;
}

namespace {

// The demo rate list entry of a frequency, or -1.
int demoRateIndex(uint64_t hz) {
    for (int k = 0; k < kDemoRateCount; ++k)
        if (kDemoRates[k] == hz) return k;
    return -1;
}

void selectListEntry(int listId, int index) {
    HWND panel = g_viewer->shell.panel;
    HWND list = GetDlgItem(panel, listId);
    if (!list || index < 0) return;
    SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    SendMessageW(panel, WM_COMMAND, MAKEWPARAM(listId, CBN_SELCHANGE), reinterpret_cast<LPARAM>(list));
}

// The file's view: zoom, first sample and row, cursors. Values from other writers are kept inside
// what the view can show.
void applyView(const DisplayState& d, int32_t sampleCount) {
    WaveView& view = waveViewState().view;
    view.zoomIn = std::clamp<int32_t>(d.zoomIn, 0, kMaxZoomIn);
    view.zoomOut = view.zoomIn ? 0 : std::clamp<int32_t>(d.zoomOut, 0, kMaxZoomOut);
    view.firstSample = std::clamp<int32_t>(d.firstSample, 0, std::max(sampleCount - 1, 0));
    view.firstRow = std::max<int32_t>(d.firstRow, 0);
    CursorSet& cursors = cursorSet();
    for (int k = 0; k < kCursorCount; ++k) setCursorPosition(cursors, k, d.cursorPosition[k], sampleCount);
    if (d.cursorFocus >= 0 && d.cursorFocus < kCursorCount) cursors.focus = d.cursorFocus;
}

bool rateLookup(uint32_t code, uint32_t& rate, uint32_t& external) {
    return KvTbl2Freq(static_cast<int>(code), &rate, &external) != 0;
}

}  // namespace

OpenFileChooser setOpenFileChooser(OpenFileChooser chooser) {
    OpenFileChooser old = g_openFile;
    g_openFile = chooser ? chooser : GetOpenFileNameW;
    return old;
}

bool writeWaveFile(HWND owner, const SaveChoice& choice, bool wholeBuffer) {
    Viewer& v = *g_viewer;
    const int32_t count = v.store.logicalCount();
    int32_t positions[kCursorCount];
    for (int k = 0; k < kCursorCount; ++k) positions[k] = cursorSet().cursors[k].position;
    SaveChoice c = choice;
    if (wholeBuffer) c.selectRange = c.selectedChannels = false;
    const ChosenRange range = chosenRange(c, positions, count);

    if (c.format == kSaveText) {
        TextExportSource t;
        t.productCode = static_cast<uint32_t>(v.device.productCode);
        t.frequency = static_cast<uint64_t>(readoutFrequency());
        t.labels = &v.labels.table;
        t.selectedOnly = c.selectedChannels;
        t.store = &v.store;
        t.start = range.start;
        t.end = range.end;
        return writeStreamed(owner, c.fileName, [&t](const ByteSink& sink) {
            return exportText(t, [&sink](const char* p, size_t n) { return sink(reinterpret_cast<const uint8_t*>(p), n); });
        });
    }
    if (c.format == kSaveQgw) {
        QgwSource q;
        q.frequency = static_cast<uint64_t>(readoutFrequency());
        q.labels = &v.labels.table;
        q.selectedOnly = c.selectedChannels;
        q.store = &v.store;
        q.start = range.start;
        q.end = range.end;
        std::string bytes;
        const int refusal = writeQgw(q, bytes);
        if (refusal == kQgwNoLabels) return false;   // nothing to write, and nothing to say
        if (refusal) {
            ask(owner, refusal, MB_ICONHAND);
            return false;
        }
        return writeStreamed(owner, c.fileName, [&bytes](const ByteSink& sink) {
            return sink(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
        });
    }

    KvwSource src;
    src.display = currentDisplay(v);
    const StoredTriggerSet trigger = fileTriggerRecords(v.acq.trigger, src.display.frequency(), v.acq.trigger.triggerPosition);
    src.trigger = &trigger;
    src.labels = &v.labels.table;
    src.selectedOnly = c.selectedChannels;
    src.store = &v.store;
    src.start = range.start;
    src.end = range.end;
    src.samples32 = samples32(v);
    if (!writeKvwFile(owner, c.fileName, src, c.format)) return false;
    titleWithFile(c.fileName);
    return true;
}

bool loadWaveFile(const std::string& fileName, bool withLabels, bool fromCommandLine) {
    Viewer& v = *g_viewer;
    HWND owner = v.shell.mainWindow;
    std::vector<uint8_t> bytes;
    int failure = 0;
    if (!readWholeFile(fileName, bytes, failure)) {
        ask(owner, failure, MB_ICONHAND);
        return false;
    }
    KvwReadOptions options;
    options.bufferLimit = captureAreaBytes(v.capture.limits()) - v.capture.dataStartOffset();
    options.currentTriggerFlags = v.acq.trigger.current.flags;
    KvwFile file;
    const int refusal = readKvw(bytes.data(), bytes.size(), options, file);
    if (refusal) {
        ask(owner, refusal, MB_ICONHAND);
        return false;
    }
    bytes.clear();
    bytes.shrink_to_fit();
    // The title names the file only once it is known to load: a refused file changes nothing.
    titleWithFile(fileName);
    if (file.display.productCode != static_cast<uint32_t>(v.device.productCode))
        ask(owner, IDS_OTHER_DEVICE, MB_ICONINFORMATION, Caption::Information);

    // Trigger records: the file's own become the set-up's, the record in force with the file's rate.
    remapOlderWriter(file.display, v.device.limits.nanlyn, rateLookup);
    restoreFileTrigger(file, v.acq.trigger);

    // Labels: replaced only when asked (the file's table is whole: no confirmation needed).
    if (withLabels) {
        saveUndo(v.labels);
        v.labels.table = file.labels;
        ++v.labels.revision;
    }

    // Samples: into the capture buffer where the captures of this viewer start.
    uint8_t* data = v.store.data() ? v.store.data() : v.capture.dataStart();
    const int32_t length = static_cast<int32_t>(file.samples.size());
    std::memcpy(data, file.samples.data(), file.samples.size());
    v.capture.captureLength = length;
    if (v.shell.deviceIndex < 0)
        v.settings.bufSizeDemo = length;
    else
        KvSetHwInfo(v.shell.deviceIndex, kHwSetCaptureLength, static_cast<uint32_t>(length / 8));
    if (v.device.limits.nanlyn) {
        // The file names a mode of the board that made it; this board takes its own equivalent of
        // that mode. A mode it has no equivalent for leaves the mode in force.
        uint8_t mode[kKvModeInfoBytes] = {};
        if (KvGetHwInfoEx(v.shell.deviceIndex, kHwEquivalentMode, static_cast<int>(file.display.modeId), mode)) {
            v.acq.trigger.nanlynFirmware = static_cast<int32_t>(getLe32(mode + 8));
            v.acq.trigger.nanlynMemorySelect = static_cast<int32_t>(file.display.sampleGroup);
            KvSetHwInfo(v.shell.deviceIndex, kHwSelectMode, static_cast<uint32_t>(v.acq.trigger.nanlynFirmware));
            KvSetHwInfo(v.shell.deviceIndex, kHwSampleGroup, file.display.sampleGroup);
        }
    }
    const SampleFormat format = kvwSampleFormat(file);
    v.capture.format = format;
    const int32_t count =
        v.store.attach(data, length, format.wordBits, format.rowBits, format.sampleBits, format.storageMode);
    v.store.setInvert(v.panel.invert);

    // Rate and clock lists, as if the user had chosen the entries.
    const uint64_t hz = file.display.frequency();
    QuietRateChange quiet;
    if (v.shell.deviceIndex < 0) {
        selectListEntry(kIdRateList, demoRateIndex(hz));
    } else {
        selectListEntry(kIdRateList, KvFreq2IndexEx(v.shell.deviceIndex, file.display.freqLow, file.display.freqHigh));
        selectListEntry(kIdClockList, KvExtClk2Index(v.shell.deviceIndex, file.display.clockSelection));
    }
    waveViewState().sampleFrequency = static_cast<int64_t>(hz);
    if (file.display.waveHeight)
        v.settings.waveHeight = file.display.waveHeight > 0 && file.display.waveHeight <= 800 ? file.display.waveHeight : 50;
    if (file.display.triggerPosition > 0) v.acq.trigger.setTriggerPosition(file.display.triggerPosition);
    applyView(file.display, count);
    (void)fromCommandLine;   // both loads behave alike; the flag is the caller's to record
    // The bus rows of the loaded capture, decoded at the rate just selected, before it is drawn.
    runDecodePass();
    labelsChanged();
    timeBaseChanged();
    SendMessageW(v.shell.panel, WM_KV_REPAINT, 0, 0);
    return true;
}

// While a capture worker writes the buffer, a file neither goes into it nor is made from it.
bool captureBusy() {
    if (!g_viewer->acq.thread) return false;
    MessageBeep(MB_ICONHAND);
    return true;
}

int32_t loadWaveCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    if (captureBusy()) return 0;
    HWND owner = hwndOf(w);
    std::wstring filter = loadString(IDS_FILTER_KVW);
    filter += L'\0';
    filter += L"*.kvw";
    filter += L'\0';
    filter += loadString(IDS_FILTER_ALL);
    filter += L'\0';
    filter += L"*.*";
    filter += L'\0';
    filter += L'\0';
    const std::wstring title = loadString(6);
    wchar_t name[MAX_PATH] = {};
    OPENFILENAMEW ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter.c_str();
    ofn.lpstrFile = name;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrTitle = title.c_str();
    ofn.Flags = OFN_HIDEREADONLY | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST;
    if (!g_openFile(&ofn)) return 0;
    const bool withLabels = ask(owner, IDS_LOAD_WITH_LABELS, MB_YESNO | MB_ICONQUESTION) == IDYES;
    if (ask(owner, IDS_LOAD_SURE, MB_YESNO | MB_ICONQUESTION) != IDYES) return 0;
    loadWaveFile(narrow(name), withLabels, false);
    return 0;
}

int32_t saveWaveCommand(WinHandle w, uint32_t, uint32_t, MsgLParam) {
    if (captureBusy()) return 0;
    SaveDialog d;
    d.blockRepeat = g_viewer->store.storageMode() == kStorageBlockRepeat;
    runModal(IDD_SAVE_WAVE, hwndOf(w), saveDialogProc, reinterpret_cast<LPARAM>(&d));
    return 0;
}

}  // namespace kv
