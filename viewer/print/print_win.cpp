// The output routine of the Print dialog: pages from the portable renderer replayed on a printer
// DC or on memory bitmaps, the listing as text, the clipboard, and the two dialogs.
#include "viewer/print/print_win.h"

#include <windows.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/search.h"
#include "viewer/display/search_dialog_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/files/kvw_codec.h"
#include "viewer/print/print_resources.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/prompts_win.h"
#include "viewer/shell/resources_win.h"

namespace kv {
namespace {

constexpr int32_t kScreenDpi = 96;
constexpr int32_t kHeaderPoints = 8;     // "MS Sans Serif" 8 pt, as the dialogs
constexpr int32_t kRowPixels = 12;       // the row texts' height on the screen
const COLORREF kPaper = RGB(255, 255, 255);
const COLORREF kInk = RGB(0, 0, 0);
const COLORREF kPaperShade = RGB(216, 216, 216);
const COLORREF kPaperGrid = RGB(128, 128, 128);

// What the output keeps between uses of the dialog.
struct PrintState {
    PrintChoice choice;
    bool loaded = false;
    HGLOBAL devMode = nullptr;
    HGLOBAL devNames = nullptr;
};
PrintState g_print;

std::wstring fromUtf8(const std::string& s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, s.c_str(), static_cast<int>(s.size()), nullptr, 0);
    if (n <= 0) return widen(s);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.c_str(), static_cast<int>(s.size()), &w[0], n);
    return w;
}

std::string toUtf8(const std::wstring& w) {
    if (w.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.c_str(), static_cast<int>(w.size()), &s[0], n, nullptr, nullptr);
    return s;
}

// A target DC with the three fonts of a page at its resolution. Header texts (which carry the
// language's page number) are UTF-8; label names and values are ANSI.
class PageCanvas {
public:
    PageCanvas(HDC dc, int32_t dpiX, int32_t dpiY) : dc_(dc), dpiX_(dpiX), dpiY_(dpiY) {
        header_ = CreateFontA(-MulDiv(kHeaderPoints, dpiY, 72), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
        row_ = CreateFontA(-MulDiv(kRowPixels, dpiY, kScreenDpi), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, "MS Sans Serif");
        fixed_ = CreateFontA(-MulDiv(kRowPixels, dpiY, kScreenDpi), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET,
                             OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, FIXED_PITCH | FF_MODERN,
                             "Courier New");
    }
    ~PageCanvas() {
        for (HFONT f : {header_, row_, fixed_})
            if (f) DeleteObject(f);
    }
    PageCanvas(const PageCanvas&) = delete;
    PageCanvas& operator=(const PageCanvas&) = delete;

    PageTarget target(int32_t width, int32_t height) {
        PageTarget t;
        t.width = width;
        t.height = height;
        t.dpiX = dpiX_;
        t.dpiY = dpiY_;
        t.measureHeader = [this](const std::string& s) { return measure(PageFont::Header, s); };
        t.measureRow = [this](const std::string& s) { return measure(PageFont::Row, s); };
        return t;
    }

    TextSize measure(PageFont font, const std::string& s) {
        HGDIOBJ old = SelectObject(dc_, fontOf(font));
        SIZE size = {};
        if (font == PageFont::Header) {
            const std::wstring w = fromUtf8(s);
            GetTextExtentPoint32W(dc_, w.c_str(), static_cast<int>(w.size()), &size);
        } else {
            GetTextExtentPoint32A(dc_, s.c_str(), static_cast<int>(s.size()), &size);
        }
        if (size.cy == 0) {
            TEXTMETRICA tm = {};
            GetTextMetricsA(dc_, &tm);
            size.cy = tm.tmHeight;
        }
        SelectObject(dc_, old);
        return TextSize{size.cx, size.cy};
    }

    void draw(const Page& page, bool color) {
        const int saved = SaveDC(dc_);
        SetBkMode(dc_, TRANSPARENT);
        const int32_t penWidth = std::max(1, dpiX_ / 200);
        auto colorOf = [color](int32_t index) { return color ? labelColor(index) : kInk; };
        const int32_t ox = page.waves.left, oy = page.waves.top;

        // Fills: the paper stays white; shaded rows in a light gray.
        HBRUSH shade = CreateSolidBrush(kPaperShade);
        HBRUSH paper = CreateSolidBrush(kPaper);
        for (const AreaFill& f : page.frame.fills) {
            RECT r = {ox + f.rect.left, oy + f.rect.top, ox + f.rect.right, oy + f.rect.bottom};
            FillRect(dc_, &r, f.kind == FillKind::Shade ? shade : paper);
        }
        DeleteObject(shade);
        DeleteObject(paper);

        // The time grid under the traces.
        if (!page.gridXs.empty()) {
            HPEN grid = CreatePen(PS_DOT, 1, kPaperGrid);
            HGDIOBJ old = SelectObject(dc_, grid);
            for (int32_t x : page.gridXs) {
                MoveToEx(dc_, ox + x, page.waves.top, nullptr);
                LineTo(dc_, ox + x, page.waves.bottom);
            }
            SelectObject(dc_, old);
            DeleteObject(grid);
        }

        std::vector<POINT> pts;
        for (const PolyRun& run : page.frame.prims.polylines) {
            pts.resize(run.count);
            for (uint32_t k = 0; k < run.count; ++k) {
                const Point& p = page.frame.prims.points[run.first + k];
                pts[k] = POINT{ox + p.x, oy + p.y};
            }
            HPEN pen = CreatePen(PS_SOLID, penWidth, colorOf(run.colorIndex));
            HGDIOBJ old = SelectObject(dc_, pen);
            Polyline(dc_, pts.data(), static_cast<int>(run.count));
            SelectObject(dc_, old);
            DeleteObject(pen);
        }
        HGDIOBJ oldFont = SelectObject(dc_, row_);
        for (const TextBox& t : page.frame.prims.texts) {
            SetTextColor(dc_, colorOf(t.colorIndex));
            TextOutA(dc_, ox + t.box.left, oy + t.box.top, t.text.c_str(), static_cast<int>(t.text.size()));
        }
        for (const PageText& t : page.texts) {
            SelectObject(dc_, fontOf(t.font));
            SetTextColor(dc_, t.font == PageFont::Row ? colorOf(t.colorIndex) : kInk);
            if (t.font == PageFont::Header) {
                const std::wstring w = fromUtf8(t.text);
                TextOutW(dc_, t.x, t.y, w.c_str(), static_cast<int>(w.size()));
            } else {
                TextOutA(dc_, t.x, t.y, t.text.c_str(), static_cast<int>(t.text.size()));
            }
        }

        // Cursors: the cursor's colour, or in gray scale the pane's pen inverted (black on paper).
        SelectObject(dc_, header_);
        for (const PageCursor& c : page.cursors) {
            const COLORREF ink = color ? cursorColor(c.penIndex) : kInk;
            HPEN pen = CreatePen(PS_SOLID, penWidth, ink);
            HGDIOBJ oldPen = SelectObject(dc_, pen);
            HGDIOBJ oldBrush = SelectObject(dc_, GetStockObject(WHITE_BRUSH));
            MoveToEx(dc_, c.x, c.top, nullptr);
            LineTo(dc_, c.x, c.bottom);
            POINT flag[6];
            for (int k = 0; k < 6; ++k) flag[k] = POINT{c.flag[k].x, c.flag[k].y};
            Polygon(dc_, flag, 5);
            SetTextColor(dc_, ink);
            RECT box = {c.letterBox.left, c.letterBox.top, c.letterBox.right, c.letterBox.bottom};
            char letter[2] = {c.letter, 0};
            DrawTextA(dc_, letter, 1, &box, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOCLIP);
            SelectObject(dc_, oldBrush);
            SelectObject(dc_, oldPen);
            DeleteObject(pen);
        }
        SelectObject(dc_, oldFont);
        RestoreDC(dc_, saved);
    }

private:
    HFONT fontOf(PageFont f) const { return f == PageFont::Header ? header_ : f == PageFont::Fixed ? fixed_ : row_; }

    HDC dc_;
    int32_t dpiX_, dpiY_;
    HFONT header_ = nullptr, row_ = nullptr, fixed_ = nullptr;
};

std::string panelText(int id) {
    HWND w = g_viewer && g_viewer->shell.panel ? GetDlgItem(g_viewer->shell.panel, id) : nullptr;
    if (!w || !IsWindowVisible(w)) return std::string();
    return toUtf8(windowText(w));
}

std::string headerLine() {
    const Viewer& v = *g_viewer;
    std::string device;
    if (v.shell.deviceIndex >= 0) {
        char model[64] = {};
        if (ukvGetModelName(model, sizeof model)) device = model;
        if (device.empty()) {
            char code[16];
            std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(v.device.productCode & 0xFFFF));
            device = code;
        }
    }
    SYSTEMTIME now;
    GetLocalTime(&now);
    char date[32], time[32];
    std::snprintf(date, sizeof date, "%04d/%02d/%02d", now.wYear, now.wMonth, now.wDay);
    std::snprintf(time, sizeof time, "%02d:%02d:%02d", now.wHour, now.wMinute, now.wSecond);
    return printHeaderText(device, v.shell.version, date, time, panelText(kIdRateList), panelText(kIdClockList),
                           panelText(kIdNanlynClock));
}

PrintSource currentSource() {
    Viewer& v = *g_viewer;
    WaveViewState& w = waveViewState();
    PrintSource src;
    src.store = &v.store;
    src.table = &v.labels.table;
    src.deviceChannels = v.device.channelCount;
    src.decodedFor = viewDecodedItems;
    src.style.waveHeight = v.settings.waveHeight > 0 ? v.settings.waveHeight : 24;
    src.style.partition = v.settings.wavePartition != 0;
    src.style.pulseTiming = v.settings.systemWaveTiming != 0;
    useStandardTexts(src.style, w.sampleFrequency);
    src.nameWidth = w.view.nameWidth;
    src.channelWidth = w.view.channelWidth;
    src.valueWidth = w.view.valueWidth;
    const CursorSet& cursors = cursorSet();
    for (int c = 0; c < kCursorCount && c < 6; ++c) {
        src.cursorPositions[c] = cursors.cursors[c].position;
        src.cursorPens[c] = cursors.cursors[c].penIndex;
        if (cursors.cursors[c].flags & 1u) src.hiddenCursors |= 1u << c;
    }
    src.sampleFrequency = w.sampleFrequency;
    src.header = headerLine();
    src.pageFormat = toUtf8(loadString(kStrPage));
    src.gridColorIndex = v.settings.gridColor;
    return src;
}

bool textListing() { return waveViewState().stateMode; }

std::vector<Page> pagesFor(const PrintChoice& choice, const PageTarget& target) {
    PrintSource src = currentSource();
    src.style.measure = target.measureRow;
    if (textListing()) return renderTextPages(src, choice, target, activeCommandText());
    return renderPages(src, choice, target);
}

// A memory canvas of width x height pixels at the screen's resolution, bottom-up 24-bit.
struct BitmapCanvas {
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ old = nullptr;
    void* bits = nullptr;
    int32_t width = 0, height = 0;
    BitmapCanvas(int32_t w, int32_t h) : width(w), height(h) {
        BITMAPINFO bi = {};
        bi.bmiHeader.biSize = sizeof bi.bmiHeader;
        bi.bmiHeader.biWidth = w;
        bi.bmiHeader.biHeight = h;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 24;
        bi.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(nullptr);
        bitmap = dc ? CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
        if (bitmap) old = SelectObject(dc, bitmap);
    }
    ~BitmapCanvas() {
        if (old) SelectObject(dc, old);
        if (bitmap) DeleteObject(bitmap);
        if (dc) DeleteDC(dc);
    }
    bool ok() const { return bitmap && bits; }
    void clear() {
        RECT r = {0, 0, width, height};
        FillRect(dc, &r, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    }
    DibImage image() const {
        GdiFlush();
        DibImage img;
        img.width = width;
        img.height = height;
        img.bitsPerPixel = 24;
        const size_t bytes = dibStride(width, 24) * static_cast<size_t>(height);
        const uint8_t* p = static_cast<const uint8_t*>(bits);
        img.bits.assign(p, p + bytes);
        return img;
    }
};

std::string upper(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; });
    return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && upper(s.substr(s.size() - tail.size())) == tail;
}

// The listing streamed into a temporary file beside the target, which then replaces the target.
bool writeListing(const std::string& name, TextKind kind) {
    Viewer& v = *g_viewer;
    PrintSource src = currentSource();
    int64_t first = 0, last = 0;
    printRange(g_print.choice, src.cursorPositions, v.store.logicalCount(), first, last);
    std::vector<WaveRow> rows = layoutRows(v.labels.table, 0, INT32_MAX, 16, v.device.channelCount, viewDecodedItems);
    if (!g_print.choice.allLabels)
        rows.erase(std::remove_if(rows.begin(), rows.end(),
                                  [&](const WaveRow& r) { return !(v.labels.table.entries[r.lastEntry].flags & kLabelSelected); }),
                   rows.end());
    char folder[MAX_PATH] = ".";
    const size_t slash = name.find_last_of("\\/");
    if (slash != std::string::npos && slash < sizeof folder) {
        std::memcpy(folder, name.data(), slash);
        folder[slash] = 0;
    }
    char temp[MAX_PATH] = {};
    if (!GetTempFileNameA(folder, "kvt", 0, temp)) return false;
    HANDLE f = CreateFileA(temp, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) {
        DeleteFileA(temp);
        return false;
    }
    bool ok = true;
    std::string buffer;
    auto flush = [&]() {
        DWORD written = 0;
        if (!buffer.empty() && (!WriteFile(f, buffer.data(), static_cast<DWORD>(buffer.size()), &written, nullptr) ||
                                written != buffer.size()))
            ok = false;
        buffer.clear();
    };
    RenderText(v.store, rows, v.labels.table, src.style, first, last, kind, activeCommandText(),
               [&](const std::string& line) {
                   buffer += line;
                   if (buffer.size() >= 1 << 16) flush();
               });
    flush();
    CloseHandle(f);
    if (ok) ok = MoveFileExA(temp, name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
    if (!ok) DeleteFileA(temp);
    return ok;
}

bool putClipboard(HWND owner, UINT format, const void* data, size_t size) {
    HGLOBAL h = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!h) return false;
    void* p = GlobalLock(h);
    std::memcpy(p, data, size);
    GlobalUnlock(h);
    if (!OpenClipboard(owner)) {
        GlobalFree(h);
        return false;
    }
    EmptyClipboard();
    const bool ok = SetClipboardData(format, h) != nullptr;
    CloseClipboard();
    if (!ok) GlobalFree(h);
    return ok;
}

bool toClipboard(HWND owner) {
    const Settings& s = g_viewer->settings;
    if (textListing()) {
        Viewer& v = *g_viewer;
        PrintSource src = currentSource();
        int64_t first = 0, last = 0;
        printRange(g_print.choice, src.cursorPositions, v.store.logicalCount(), first, last);
        const std::vector<WaveRow> rows =
            layoutRows(v.labels.table, 0, INT32_MAX, 16, v.device.channelCount, viewDecodedItems);
        std::string text;
        RenderText(v.store, rows, v.labels.table, src.style, first, last, TextKind::Txt, activeCommandText(),
                   [&](const std::string& line) { text += line; });
        return putClipboard(owner, CF_TEXT, text.c_str(), text.size() + 1);
    }
    const int32_t w = std::clamp<int32_t>(s.clipHorzSize, kClipMinWidth, kClipMaxWidth);
    const int32_t h = std::clamp<int32_t>(s.clipVertSize, kClipMinHeight, kClipMaxHeight);
    BitmapCanvas canvas(w, h);
    if (!canvas.ok()) return false;
    PageCanvas page(canvas.dc, kScreenDpi, kScreenDpi);
    const std::vector<Page> pages = pagesFor(g_print.choice, page.target(w, h));
    canvas.clear();
    if (!pages.empty()) page.draw(pages.front(), g_print.choice.color);
    const std::vector<uint8_t> file = writeDibFile(canvas.image());
    if (file.size() <= kBmpFileHeaderBytes) return false;
    // CF_DIB: the file without its file header.
    return putClipboard(owner, CF_DIB, file.data() + kBmpFileHeaderBytes, file.size() - kBmpFileHeaderBytes);
}

bool toBitmapFiles(const std::string& fileName) {
    const Settings& s = g_viewer->settings;
    const int32_t w = std::clamp<int32_t>(s.clipHorzSize, kClipMinWidth, kClipMaxWidth);
    const int32_t h = std::clamp<int32_t>(s.clipVertSize, kClipMinHeight, kClipMaxHeight);
    BitmapCanvas canvas(w, h);
    if (!canvas.ok()) return false;
    PageCanvas page(canvas.dc, kScreenDpi, kScreenDpi);
    const std::vector<Page> pages = pagesFor(g_print.choice, page.target(w, h));
    const std::string prefix = endsWith(fileName, ".BMP") ? fileName.substr(0, fileName.size() - 4) : fileName;
    for (const Page& p : pages) {
        canvas.clear();
        page.draw(p, g_print.choice.color);
        if (!writeFileReplacing(bitmapPageName(prefix, p.number), writeDibFile(canvas.image()))) return false;
    }
    return true;
}

bool toPrinter(HWND owner, const OutputRequest& r) {
    HDC dc = r.printerDC ? r.printerDC : createPrinterDC();
    if (!dc) return false;
    bool ok = true;
    {
        PageCanvas canvas(dc, GetDeviceCaps(dc, LOGPIXELSX), GetDeviceCaps(dc, LOGPIXELSY));
        const std::vector<Page> pages =
            pagesFor(r.choice, canvas.target(GetDeviceCaps(dc, HORZRES), GetDeviceCaps(dc, VERTRES)));
        DOCINFOA doc = {};
        doc.cbSize = sizeof doc;
        doc.lpszDocName = "KV Viewer";
        doc.lpszOutput = r.documentFile.empty() ? nullptr : r.documentFile.c_str();
        if (StartDocA(dc, &doc) <= 0) {
            ok = false;
        } else {
            for (const Page& p : pages) {
                if (StartPage(dc) <= 0) {
                    ok = false;
                    break;
                }
                canvas.draw(p, r.choice.color);
                if (EndPage(dc) <= 0) {
                    ok = false;
                    break;
                }
            }
            if (ok) EndDoc(dc);
            else AbortDoc(dc);
        }
    }
    if (!r.printerDC) DeleteDC(dc);
    (void)owner;
    return ok;
}

// --- dialogs ------------------------------------------------------------------------------------


void showPrinterName(HWND dialog) {
    const std::string name = currentPrinterName();
    SetDlgItemTextW(dialog, IDC_PRINT_PRINTER, name.empty() ? loadString(IDS_PRINT_NO_PRINTER).c_str() : widen(name).c_str());
}

void fillPrintDialog(HWND dialog, const PrintChoice& c) {
    showPrinterName(dialog);
    for (int k = 0; k < kHorzSizeCount; ++k) comboAdd(GetDlgItem(dialog, IDC_PRINT_HORZ), widen(kHorzSizeTexts[k]), k);
    for (int k = 0; k < kVertSizeCount; ++k) comboAdd(GetDlgItem(dialog, IDC_PRINT_VERT), widen(vertSizeText(k)), k);
    for (int k = 0; k < kGridSizeCount; ++k) comboAdd(GetDlgItem(dialog, IDC_PRINT_GRID), widen(kGridSizeTexts[k]), k);
    for (int id : {IDC_PRINT_START, IDC_PRINT_END}) addSearchPositions(GetDlgItem(dialog, id));
    comboSelect(dialog, IDC_PRINT_HORZ, c.horzSize);
    comboSelect(dialog, IDC_PRINT_VERT, c.vertSize);
    comboSelect(dialog, IDC_PRINT_GRID, c.gridSize);
    comboSelect(dialog, IDC_PRINT_START, c.startPosition);
    comboSelect(dialog, IDC_PRINT_END, c.endPosition);
    CheckRadioButton(dialog, IDC_PRINT_ALL, IDC_PRINT_PARTS, c.allLabels ? IDC_PRINT_ALL : IDC_PRINT_PARTS);
    CheckRadioButton(dialog, IDC_PRINT_FIT_PAPER, IDC_PRINT_CUSTOM, IDC_PRINT_FIT_PAPER + c.fit);
    CheckDlgButton(dialog, IDC_PRINT_COLOR, c.color ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PRINT_OMIT, c.omitLabels ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PRINT_CLIPBOARD, c.toClipboard ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PRINT_TO_FILE, c.toFile ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(dialog, IDC_PRINT_BMP, c.bmp ? BST_CHECKED : BST_UNCHECKED);
}

PrintChoice readPrintDialog(HWND dialog, PrintChoice c) {
    auto checked = [dialog](int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; };
    c.allLabels = !checked(IDC_PRINT_PARTS);
    for (int k = kFitPaper; k <= kFitCustom; ++k)
        if (checked(IDC_PRINT_FIT_PAPER + k)) c.fit = k;
    c.horzSize = static_cast<int32_t>(comboSelected(dialog, IDC_PRINT_HORZ, c.horzSize));
    c.vertSize = static_cast<int32_t>(comboSelected(dialog, IDC_PRINT_VERT, c.vertSize));
    c.gridSize = static_cast<int32_t>(comboSelected(dialog, IDC_PRINT_GRID, c.gridSize));
    c.startPosition = static_cast<int32_t>(comboSelected(dialog, IDC_PRINT_START, c.startPosition));
    c.endPosition = static_cast<int32_t>(comboSelected(dialog, IDC_PRINT_END, c.endPosition));
    c.color = checked(IDC_PRINT_COLOR);
    c.omitLabels = checked(IDC_PRINT_OMIT);
    c.toClipboard = checked(IDC_PRINT_CLIPBOARD);
    c.toFile = checked(IDC_PRINT_TO_FILE);
    c.bmp = checked(IDC_PRINT_BMP);
    return c;
}

INT_PTR CALLBACK clipSizeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    Settings& s = g_viewer->settings;
    switch (message) {
        case WM_INITDIALOG:
            SetDlgItemInt(dialog, IDC_CLIP_WIDTH, static_cast<UINT>(s.clipHorzSize), FALSE);
            SetDlgItemInt(dialog, IDC_CLIP_HEIGHT, static_cast<UINT>(s.clipVertSize), FALSE);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) {
                BOOL okW = FALSE, okH = FALSE;
                const UINT w = GetDlgItemInt(dialog, IDC_CLIP_WIDTH, &okW, FALSE);
                const UINT h = GetDlgItemInt(dialog, IDC_CLIP_HEIGHT, &okH, FALSE);
                const int code = checkClipboardSize(okW ? static_cast<int64_t>(w) : -1, okH ? static_cast<int64_t>(h) : -1);
                if (code) {
                    // The dialog stays open; nothing is stored until both sizes are good.
                    ask(dialog, code, MB_OK | MB_ICONHAND, Caption::Error);
                    return TRUE;
                }
                s.clipHorzSize = static_cast<int32_t>(w);
                s.clipVertSize = static_cast<int32_t>(h);
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

// The system's print set-up; keeps the chosen printer and its orientation.
void selectPrinter(HWND owner) {
    PRINTDLGA pd = {};
    pd.lStructSize = sizeof pd;
    pd.hwndOwner = owner;
    pd.hDevMode = g_print.devMode;
    pd.hDevNames = g_print.devNames;
    pd.Flags = PD_PRINTSETUP;
    if (!PrintDlgA(&pd)) return;
    g_print.devMode = pd.hDevMode;
    g_print.devNames = pd.hDevNames;
    if (auto* dm = static_cast<DEVMODEA*>(GlobalLock(g_print.devMode))) {
        if (dm->dmFields & DM_ORIENTATION) g_viewer->settings.printOrientation = dm->dmOrientation;
        GlobalUnlock(g_print.devMode);
    }
}

INT_PTR CALLBACK printProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_INITDIALOG:
            SetPropA(dialog, "KvPrintChoice", reinterpret_cast<HANDLE>(lParam));
            fillPrintDialog(dialog, *reinterpret_cast<const PrintChoice*>(lParam));
            return TRUE;
        case WM_COMMAND: {
            auto* c = static_cast<PrintChoice*>(GetPropA(dialog, "KvPrintChoice"));
            if (!c) break;
            switch (LOWORD(wParam)) {
                case IDC_PRINT_SELECT:
                    selectPrinter(dialog);
                    showPrinterName(dialog);
                    return TRUE;
                case IDC_PRINT_SIZE: runModal(IDD_CLIP_SIZE, dialog, clipSizeProc, 0); return TRUE;
                case IDOK:
                    *c = readPrintDialog(dialog, *c);
                    EndDialog(dialog, IDOK);
                    return TRUE;
                case IDCANCEL: EndDialog(dialog, IDCANCEL); return TRUE;
            }
            break;
        }
        case WM_DESTROY: RemovePropA(dialog, "KvPrintChoice"); break;
    }
    return FALSE;
}

}  // namespace

std::string currentPrinterName() {
    if (g_print.devNames) {
        std::string name;
        if (auto* dn = static_cast<DEVNAMES*>(GlobalLock(g_print.devNames))) {
            name = reinterpret_cast<const char*>(dn) + dn->wDeviceOffset;
            GlobalUnlock(g_print.devNames);
        }
        if (!name.empty()) return name;
    }
    char name[256] = {};
    DWORD size = sizeof name;
    return GetDefaultPrinterA(name, &size) ? std::string(name) : std::string();
}

HDC createPrinterDC() {
    const std::string name = currentPrinterName();
    if (name.empty()) return nullptr;
    DEVMODEA* mode = g_print.devMode ? static_cast<DEVMODEA*>(GlobalLock(g_print.devMode)) : nullptr;
    std::vector<uint8_t> own;
    if (!mode) {
        HANDLE printer = nullptr;
        if (OpenPrinterA(const_cast<char*>(name.c_str()), &printer, nullptr)) {
            const LONG size = DocumentPropertiesA(nullptr, printer, const_cast<char*>(name.c_str()), nullptr, nullptr, 0);
            if (size > 0) {
                own.resize(static_cast<size_t>(size));
                if (DocumentPropertiesA(nullptr, printer, const_cast<char*>(name.c_str()),
                                        reinterpret_cast<DEVMODEA*>(own.data()), nullptr, DM_OUT_BUFFER) != IDOK)
                    own.clear();
            }
            ClosePrinter(printer);
        }
        if (!own.empty()) mode = reinterpret_cast<DEVMODEA*>(own.data());
    }
    if (mode) {
        const int32_t o = g_viewer ? g_viewer->settings.printOrientation & 0xFFFF : DMORIENT_LANDSCAPE;
        if (o == DMORIENT_PORTRAIT || o == DMORIENT_LANDSCAPE) {
            mode->dmOrientation = static_cast<short>(o);
            mode->dmFields |= DM_ORIENTATION;
        }
    }
    HDC dc = CreateDCA(nullptr, name.c_str(), nullptr, mode);
    if (g_print.devMode && mode && own.empty()) GlobalUnlock(g_print.devMode);
    return dc;
}

bool writeFileReplacing(const std::string& name, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    const std::string temp = name + ".tmp";
    HANDLE f = CreateFileA(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = WriteFile(f, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    ok = CloseHandle(f) && ok;
    if (ok) ok = MoveFileExA(temp.c_str(), name.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
    if (!ok) DeleteFileA(temp.c_str());
    return ok;
}

DibImage renderPageBitmap(const Page& page, int32_t width, int32_t height, bool color) {
    BitmapCanvas canvas(width, height);
    if (!canvas.ok()) return DibImage{};
    PageCanvas drawer(canvas.dc, kScreenDpi, kScreenDpi);
    canvas.clear();
    drawer.draw(page, color);
    return canvas.image();
}

bool PrintOrExport(HWND owner, const OutputRequest& request) {
    if (!g_viewer) return false;
    g_print.choice = request.choice;
    if (request.choice.toClipboard) return toClipboard(owner);
    if (request.choice.toFile) {
        if (request.fileName.empty()) return false;
        if (request.choice.bmp) {
            if (toBitmapFiles(request.fileName)) return true;
            ask(owner, kStrSaveBitmapError, MB_OK | MB_ICONHAND, Caption::Error);
            return false;
        }
        if (writeListing(request.fileName, endsWith(request.fileName, ".CSV") ? TextKind::Csv : TextKind::Txt))
            return true;
        ask(owner, kStrFileCantOpen, MB_OK | MB_ICONHAND, Caption::Error);
        return false;
    }
    return toPrinter(owner, request);
}

bool AskSaveFileName(HWND owner, std::string& name, const std::string& pattern) {
    const std::string upperPattern = upper(pattern);
    const int filter = upperPattern == "*.TXT" ? IDS_PRINT_FILTER_TEXT : upperPattern == "*.BMP" ? IDS_PRINT_FILTER_BITMAP : IDS_PRINT_FILTER_ALL;
    std::string filters = narrow(loadString(filter));
    filters += '\0';
    filters += filter == IDS_PRINT_FILTER_TEXT ? "*.TXT;*.CSV" : filter == IDS_PRINT_FILTER_BITMAP ? "*.BMP" : "*.*";
    filters += '\0';
    filters += '\0';
    char file[MAX_PATH] = {};
    std::snprintf(file, sizeof file, "%s", name.c_str());
    OPENFILENAMEA ofn = {};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filters.c_str();
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrDefExt = filter == IDS_PRINT_FILTER_BITMAP ? "BMP" : filter == IDS_PRINT_FILTER_TEXT ? "TXT" : nullptr;
    ofn.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetSaveFileNameA(&ofn)) return false;
    name = file;
    return true;
}

DibImage CaptureWindowBitmap(HWND window) {
    DibImage img;
    RECT client;
    if (!GetClientRect(window, &client) || client.right <= 0 || client.bottom <= 0) return img;
    HDC screen = GetDC(window);
    if (!screen) return img;
    const bool palette = (GetDeviceCaps(screen, RASTERCAPS) & RC_PALETTE) != 0;
    img.width = client.right;
    img.height = client.bottom;
    img.bitsPerPixel = palette ? 8 : 24;
    struct {
        BITMAPINFOHEADER h;
        RGBQUAD colors[256];
    } bi = {};
    bi.h.biSize = sizeof bi.h;
    bi.h.biWidth = img.width;
    bi.h.biHeight = img.height;
    bi.h.biPlanes = 1;
    bi.h.biBitCount = img.bitsPerPixel;
    bi.h.biCompression = BI_RGB;
    HPALETTE logical = nullptr, oldPalette = nullptr;
    if (palette) {
        // The system palette's entries become a logical palette, so that the bits index the
        // colours the screen shows.
        const int n = std::min(256, GetDeviceCaps(screen, SIZEPALETTE));
        std::vector<uint8_t> buf(sizeof(LOGPALETTE) + sizeof(PALETTEENTRY) * 256);
        auto* lp = reinterpret_cast<LOGPALETTE*>(buf.data());
        lp->palVersion = 0x300;
        lp->palNumEntries = static_cast<WORD>(n);
        GetSystemPaletteEntries(screen, 0, static_cast<UINT>(n), lp->palPalEntry);
        logical = CreatePalette(lp);
        for (int k = 0; k < n; ++k) {
            const PALETTEENTRY& e = lp->palPalEntry[k];
            img.palette.push_back(static_cast<uint32_t>(e.peRed) << 16 | static_cast<uint32_t>(e.peGreen) << 8 | e.peBlue);
        }
        bi.h.biClrUsed = static_cast<DWORD>(n);
    }
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, img.width, img.height);
    if (mem && bitmap) {
        HGDIOBJ old = SelectObject(mem, bitmap);
        if (logical) {
            oldPalette = SelectPalette(mem, logical, FALSE);
            RealizePalette(mem);
        }
        BitBlt(mem, 0, 0, img.width, img.height, screen, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        img.bits.resize(dibStride(img.width, img.bitsPerPixel) * static_cast<size_t>(img.height));
        if (!GetDIBits(mem, bitmap, 0, static_cast<UINT>(img.height), img.bits.data(),
                       reinterpret_cast<BITMAPINFO*>(&bi), DIB_RGB_COLORS))
            img.bits.clear();
        if (oldPalette) SelectPalette(mem, oldPalette, FALSE);
    }
    if (bitmap) DeleteObject(bitmap);
    if (mem) DeleteDC(mem);
    if (logical) DeleteObject(logical);
    ReleaseDC(window, screen);
    if (img.bits.empty()) return DibImage{};
    return img;
}

int32_t printCommand(WinHandle window, uint32_t, uint32_t, MsgLParam) {
    Viewer* v = g_viewer;
    if (!v) return 0;
    HWND owner = static_cast<HWND>(window);
    if (!g_print.loaded) {
        const PrintChoice stored = printChoiceFrom(v->settings);
        g_print.choice.allLabels = stored.allLabels;
        g_print.choice.fit = stored.fit;
        g_print.choice.horzSize = stored.horzSize;
        g_print.choice.vertSize = stored.vertSize;
        g_print.choice.gridSize = stored.gridSize;
        g_print.choice.color = stored.color;
        g_print.loaded = true;
    }
    PrintChoice edited = g_print.choice;
    if (runModal(IDD_PRINT, owner, printProc, reinterpret_cast<LPARAM>(&edited)) != IDOK) return 0;
    g_print.choice = edited;
    storePrintChoice(edited, v->settings);
    OutputRequest request;
    request.choice = edited;
    if (edited.toFile && !edited.toClipboard) {
        std::string name;
        if (!AskSaveFileName(owner, name, edited.bmp ? "*.BMP" : "*.TXT")) return 0;
        request.fileName = name;
    }
    PrintOrExport(owner, request);
    return 0;
}

}  // namespace kv
