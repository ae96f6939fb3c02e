// Output of the waves in the running viewer: the Print and Clipboard Size dialogs, the clipboard
// bitmap, ".BMP" pages, a listing, printing through the system's printer driver into a file, the
// command-set dialogs, and the help topics of controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/commands/command_resources.h"
#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/print/print_resources.h"
#include "viewer/print/print_win.h"
#include "viewer/shell/panel_commands.h"

namespace kvtest {
namespace {

using kv::g_viewer;

std::string programFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.find_last_of('\\'));
}

std::string scratchFolder(const char* name) {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + name;
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void ok(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }
int comboCount(HWND dialog, int id) { return static_cast<int>(SendDlgItemMessageW(dialog, id, CB_GETCOUNT, 0, 0)); }
void comboSelect(HWND dialog, int id, int index) { SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

// Where pictures and printed files go when KV_SCREENSHOT_DIR is set.
void keepFile(const std::string& from, const char* name) {
    char folder[MAX_PATH];
    if (!GetEnvironmentVariableA("KV_SCREENSHOT_DIR", folder, sizeof folder)) return;
    CopyFileA(from.c_str(), (std::string(folder) + "\\" + name).c_str(), FALSE);
}

// The first start with Demo01.kvw: decoded UART, I2C and SPI rows, cursors spread over it.
void startWithDemo01() {
    setWorkDirectory(programFolder() + "\\demo");
    ASSERT_TRUE(startViewer());
    pump(300);
    ASSERT_EQ(g_viewer->store.logicalCount(), 40000);
}

class PrintTest : public ViewerTest {};

TEST_F(PrintTest, PrintDialogChoicesAndClipboardBitmapOfTheSetSize) {
    startWithDemo01();
    int shown = 0;
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_CLIP_SIZE) {
            ++shown;
            // Refused sizes keep the dialog open and the stored size unchanged.
            setText(dialog, IDC_CLIP_WIDTH, "1601");
            setText(dialog, IDC_CLIP_HEIGHT, "1200");
            ok(dialog);
            setText(dialog, IDC_CLIP_WIDTH, "1600");
            setText(dialog, IDC_CLIP_HEIGHT, "1201");
            ok(dialog);
            EXPECT_EQ(g_viewer->settings.clipHorzSize, 640);
            EXPECT_EQ(g_viewer->settings.clipVertSize, 480);
            EXPECT_TRUE(IsWindow(dialog));
            setText(dialog, IDC_CLIP_WIDTH, "800");
            setText(dialog, IDC_CLIP_HEIGHT, "600");
            ok(dialog);
            return;
        }
        ASSERT_EQ(id, IDD_PRINT);
        EXPECT_EQ(comboCount(dialog, IDC_PRINT_HORZ), 12);
        EXPECT_EQ(comboCount(dialog, IDC_PRINT_VERT), 18);
        EXPECT_EQ(comboCount(dialog, IDC_PRINT_GRID), 21);
        EXPECT_EQ(comboCount(dialog, IDC_PRINT_START), 8);
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PRINT_FIT_PAPER), BST_CHECKED);   // "Print Option" 1145
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_PRINT_ALL), BST_CHECKED);
        click(dialog, IDC_PRINT_SIZE);
        click(dialog, IDC_PRINT_CLIPBOARD);
        click(dialog, IDC_PRINT_COLOR);
        comboSelect(dialog, IDC_PRINT_GRID, 4);   // 1 us
        saveWindowPicture(dialog, "print-dialog");
        ok(dialog);
    });
    command(kv::kIdPrint);
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(prompts().countOf(kv::kStrClipWidth), 1);
    EXPECT_EQ(prompts().countOf(kv::kStrClipHeight), 1);
    EXPECT_EQ(g_viewer->settings.clipHorzSize, 800);
    EXPECT_EQ(g_viewer->settings.clipVertSize, 600);
    EXPECT_EQ(g_viewer->settings.printGridSize, 4);
    EXPECT_EQ(g_viewer->settings.printColor, 1);

    ASSERT_TRUE(OpenClipboard(nullptr));
    HBITMAP bitmap = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    ASSERT_NE(bitmap, nullptr);
    BITMAP b = {};
    ASSERT_TRUE(GetObjectW(bitmap, sizeof b, &b));
    EXPECT_EQ(b.bmWidth, 800);
    EXPECT_EQ(b.bmHeight, 600);
    HGLOBAL dib = GetClipboardData(CF_DIB);
    ASSERT_NE(dib, nullptr);
    const auto* header = static_cast<const BITMAPINFOHEADER*>(GlobalLock(dib));
    EXPECT_EQ(header->biWidth, 800);
    EXPECT_EQ(header->biHeight, 600);
    // Something besides the paper was drawn: the header text at the top left is dark.
    const uint8_t* pixels = reinterpret_cast<const uint8_t*>(header + 1);
    const size_t stride = kv::dibStride(800, 24);
    bool ink = false;
    for (int y = 0; y < 14 && !ink; ++y)
        for (int x = 0; x < 200 && !ink; ++x) ink = pixels[(599 - y) * stride + x * 3] < 128;
    EXPECT_TRUE(ink);
    GlobalUnlock(dib);
    CloseClipboard();
}

TEST_F(PrintTest, BitmapPagesAreValidFilesNumberedFrom0001) {
    startWithDemo01();
    const std::string folder = scratchFolder("kv_print_ui");
    for (int k = 1; k <= 4; ++k) DeleteFileA((folder + "\\wave" + kv::bitmapPageName("", k)).c_str());
    kv::OutputRequest r;
    r.choice.toFile = true;
    r.choice.bmp = true;
    r.choice.color = true;
    r.choice.gridSize = 7;   // 50 us
    r.choice.fit = kv::kFitCustom;
    r.choice.horzSize = 10;  // 1/32: 40,000 samples over three 640-pixel pages
    r.fileName = folder + "\\wave.bmp";
    ASSERT_TRUE(kv::PrintOrExport(mainWindow(), r));
    for (int k = 1; k <= 3; ++k) {
        const std::string name = folder + "\\wave" + kv::bitmapPageName("", k);
        const std::vector<uint8_t> f = fileBytes(name);
        kv::DibInfo info;
        ASSERT_TRUE(kv::readDibInfo(f.data(), f.size(), info)) << name;
        EXPECT_EQ(info.width, 640);
        EXPECT_EQ(info.height, 480);
        EXPECT_EQ(info.bitsPerPixel, 24);
    }
    EXPECT_EQ(GetFileAttributesA((folder + "\\wave0004.BMP").c_str()), INVALID_FILE_ATTRIBUTES);

    // The window capture: the client area as a bitmap file.
    RECT client;
    GetClientRect(mainWindow(), &client);
    const std::vector<uint8_t> shot = kv::writeDibFile(kv::CaptureWindowBitmap(mainWindow()));
    kv::DibInfo shotInfo;
    ASSERT_TRUE(kv::readDibInfo(shot.data(), shot.size(), shotInfo));
    EXPECT_EQ(shotInfo.width, client.right);
    EXPECT_EQ(shotInfo.height, client.bottom);
    keepFile(folder + "\\wave0001.BMP", "print-page-0001.bmp");

    // A folder that does not exist: string 323, and nothing else changes.
    r.fileName = folder + "\\missing\\wave.bmp";
    EXPECT_FALSE(kv::PrintOrExport(mainWindow(), r));
    EXPECT_EQ(prompts().countOf(kv::kStrSaveBitmapError), 1);

    // The listing as CSV: the quoted names, then one line per state of cursor A..B.
    r.choice = kv::PrintChoice{};
    r.choice.toFile = true;
    r.choice.startPosition = 2;
    r.choice.endPosition = 3;
    r.fileName = folder + "\\list.csv";
    ASSERT_TRUE(kv::PrintOrExport(mainWindow(), r));
    const std::vector<uint8_t> csv = fileBytes(r.fileName);
    const std::string text(csv.begin(), csv.end());
    EXPECT_EQ(text.rfind("\"CLK\",", 0), 0u);
    const kv::CursorSet& cursors = kv::cursorSet();
    size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, static_cast<size_t>(cursors.cursors[2].position - cursors.cursors[1].position + 2));
}

// A printer of Wine's PostScript driver writing to a file port, with a plain A4 description, made
// the default printer. The driver reads the printer description from the driver folder.
const char kTestPpd[] =
    "*PPD-Adobe: \"4.3\"\n*FormatVersion: \"4.3\"\n*FileVersion: \"1.0\"\n*LanguageVersion: English\n"
    "*LanguageEncoding: ISOLatin1\n*PCFileName: \"KVTEST.PPD\"\n*Manufacturer: \"KV\"\n*Product: \"(KV Test)\"\n"
    "*PSVersion: \"(3010) 0\"\n*ModelName: \"KV Test PostScript\"\n*ShortNickName: \"KV Test PostScript\"\n"
    "*NickName: \"KV Test PostScript\"\n*ColorDevice: True\n*DefaultColorSpace: RGB\n*LanguageLevel: \"3\"\n"
    "*OpenUI *PageSize/Media Size: PickOne\n*DefaultPageSize: A4\n"
    "*PageSize A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n*CloseUI: *PageSize\n"
    "*OpenUI *PageRegion: PickOne\n*DefaultPageRegion: A4\n"
    "*PageRegion A4/A4: \"<</PageSize[595 842]/ImagingBBox null>>setpagedevice\"\n*CloseUI: *PageRegion\n"
    "*DefaultImageableArea: A4\n*ImageableArea A4/A4: \"18 18 577 824\"\n*DefaultPaperDimension: A4\n"
    "*PaperDimension A4/A4: \"595 842\"\n*DefaultResolution: 300dpi\n*DefaultFont: Courier\n";
const char kTestPrinter[] = "KV Test PostScript";

bool makeTestPrinter() {
    HANDLE old = nullptr;
    if (OpenPrinterA(const_cast<char*>(kTestPrinter), &old, nullptr)) {
        DeletePrinter(old);
        ClosePrinter(old);
    }
    char folder[MAX_PATH] = {};
    DWORD needed = 0;
    if (!GetPrinterDriverDirectoryA(nullptr, nullptr, 1, reinterpret_cast<BYTE*>(folder), sizeof folder, &needed))
        return false;
    const std::string ppd = std::string(folder) + "\\3\\kv_test.ppd";
    CreateDirectoryA((std::string(folder) + "\\3").c_str(), nullptr);
    {
        std::ofstream f(ppd, std::ios::binary | std::ios::trunc);
        f << kTestPpd;
    }
    DRIVER_INFO_3A driver = {};
    driver.cVersion = 3;
    driver.pName = const_cast<char*>("Wine PostScript Driver");
    driver.pDriverPath = const_cast<char*>("wineps.drv");
    driver.pDataFile = const_cast<char*>(ppd.c_str());
    driver.pConfigFile = const_cast<char*>("wineps.drv");
    if (!AddPrinterDriverExA(nullptr, 3, reinterpret_cast<BYTE*>(&driver), APD_COPY_ALL_FILES)) return false;
    PRINTER_INFO_2A info = {};
    info.pPrinterName = const_cast<char*>(kTestPrinter);
    info.pPortName = const_cast<char*>("FILE:");
    info.pDriverName = driver.pName;
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    HANDLE h = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!h) return false;
    ClosePrinter(h);
    return SetDefaultPrinterA(kTestPrinter) != FALSE;
}

TEST_F(PrintTest, PrinterPathWritesPostScriptPages) {
    startWithDemo01();
    ASSERT_TRUE(makeTestPrinter()) << GetLastError();
    EXPECT_EQ(kv::currentPrinterName(), kTestPrinter);
    const std::string folder = scratchFolder("kv_print_ui");
    kv::OutputRequest r;
    r.choice.gridSize = 7;       // 50 us
    r.choice.color = true;
    r.choice.startPosition = 1;  // from the trigger cursor to the buffer tail
    r.documentFile = folder + "\\page.ps";
    DeleteFileA(r.documentFile.c_str());
    // The printer's own device context, in the stored orientation (landscape).
    ASSERT_TRUE(kv::PrintOrExport(mainWindow(), r));
    const std::vector<uint8_t> ps = fileBytes(r.documentFile);
    const std::string text(ps.begin(), ps.end());
    EXPECT_EQ(text.rfind("%!PS-Adobe", 0), 0u);
    EXPECT_NE(text.find("%%Orientation: Landscape"), std::string::npos);
    EXPECT_NE(text.find("showpage"), std::string::npos);
    keepFile(r.documentFile, "print-page.ps");

    // Ghostscript turns the PostScript into PNG pages, as a print preview would show them.
    using UnixName = char*(CDECL*)(const WCHAR*);
    const auto unixName = reinterpret_cast<UnixName>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    ASSERT_NE(unixName, nullptr);
    auto unixPath = [&](const std::string& name) {
        const std::wstring w(name.begin(), name.end());
        char* u = unixName(w.c_str());
        std::string out = u ? u : "";
        HeapFree(GetProcessHeap(), 0, u);
        return out;
    };
    const std::string png = folder + "\\page-1.png";
    DeleteFileA(png.c_str());
    std::string cmd = "Z:\\usr\\bin\\gs -q -dSAFER -dBATCH -dNOPAUSE -sDEVICE=png16m -r60 -sOutputFile=" +
                      unixPath(folder) + "/page-%d.png " + unixPath(r.documentFile);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << "Ghostscript (/usr/bin/gs) is needed: scripts/deps.sh installs it";
    // A Unix program's handle does not say when it ends: wait for the page to be complete.
    std::vector<uint8_t> picture;
    for (int tries = 0; tries < 300; ++tries) {
        Sleep(100);
        const std::vector<uint8_t> now = fileBytes(png);
        if (!now.empty() && now == picture) break;
        picture = now;
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_GT(picture.size(), 8u) << cmd;
    EXPECT_EQ(std::string(picture.begin() + 1, picture.begin() + 4), "PNG");
    keepFile(png, "print-page-ps.png");
}

// scripts/print-cups.sh names a CUPS queue that Wine lists as a printer; the job goes through
// Wine's PostScript driver to CUPS, which writes a PDF. Without a queue there is nothing to print to.
TEST_F(PrintTest, PrintsThroughTheNamedQueue) {
    char queue[256] = {};
    if (!GetEnvironmentVariableA("KV_PRINT_QUEUE", queue, sizeof queue)) GTEST_SKIP() << "KV_PRINT_QUEUE not set";
    startWithDemo01();
    ASSERT_TRUE(SetDefaultPrinterA(queue)) << queue << " is not a printer here: " << GetLastError();
    kv::OutputRequest r;
    r.choice.gridSize = 7;
    r.choice.color = true;
    ASSERT_TRUE(kv::PrintOrExport(mainWindow(), r));
}

TEST_F(PrintTest, CommandSetEditedInTheDialogIsSavedAndReloaded) {
    const std::string folder = scratchFolder("kv_cms_ui");
    DeleteFileA((folder + "\\BUSCMDS.CMS").c_str());
    setWorkDirectory(folder);
    ASSERT_TRUE(startViewer());
    pump(100);
    const std::vector<kv::Command> added = {
        {"WRITE", {"CH-00", "CH-01", ""}, {"1", "0", ""}, "write, then {CH-02}", true},
        {"READ", {"CH-00", "", ""}, {"0", "", ""}, "read", false},
    };
    size_t next = 0;
    bool refused = false;
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_NEW_COMMAND_SET) {
            setText(dialog, IDC_CMS_SET_NAME, "BUSCMDS");
            ok(dialog);
            return;
        }
        if (id == IDD_ADD_COMMAND) {
            if (!refused) {   // label 3 without label 2
                refused = true;
                setText(dialog, IDC_CMD_NAME, "BAD");
                setText(dialog, IDC_CMD_LABEL1, "CH-00");
                setText(dialog, IDC_CMD_LABEL3, "CH-03");
                ok(dialog);
                EXPECT_TRUE(IsWindow(dialog));
                setText(dialog, IDC_CMD_LABEL3, "");
            }
            const kv::Command& c = added[next++];
            setText(dialog, IDC_CMD_NAME, c.name);
            for (int k = 0; k < 3; ++k) {
                setText(dialog, IDC_CMD_LABEL1 + 2 * k, c.label[k]);
                setText(dialog, IDC_CMD_VALUE1 + 2 * k, c.value[k]);
            }
            setText(dialog, IDC_CMD_DESC, c.description);
            CheckDlgButton(dialog, IDC_CMD_SUB, c.subCommand ? BST_CHECKED : BST_UNCHECKED);
            ok(dialog);
            return;
        }
        ASSERT_EQ(id, IDD_COMMAND_SET);
        click(dialog, IDC_CMS_ADD_SET);
        click(dialog, IDC_CMS_ADD);
        click(dialog, IDC_CMS_ADD);
        // READ up before WRITE, then back.
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CMS_LIST, LVM_GETITEMCOUNT, 0, 0), 2);
        click(dialog, IDC_CMS_UP);
        click(dialog, IDC_CMS_DOWN);
        saveWindowPicture(dialog, "command-set-dialog");
        ok(dialog);
    });
    command(kv::kIdCommandSet);
    EXPECT_EQ(prompts().countOf(kv::kStrNoLabel2), 1);
    EXPECT_EQ(kv::activeCommandSetName(), "BUSCMDS");
    EXPECT_EQ(kv::activeCommands(), added);
    const std::vector<uint8_t> file = fileBytes(folder + "\\BUSCMDS.CMS");
    EXPECT_EQ(std::string(file.begin(), file.end()),
              "Name,C1,D1,C2,D2,C3,D3,Desc,Cont\r\nWRITE,CH-00,1,CH-01,0,,,write| then {CH-02},1\r\n"
              "READ,CH-00,0,,,,,read,0\r\n");
    kv::LoadCommandSet(std::string());
    kv::LoadCommandSet("BUSCMDS");
    EXPECT_EQ(kv::activeCommands(), added);
    // The project keeps the set's name.
    ASSERT_TRUE(kv::saveCommandSetProject("SOFTWARE\\Ombix\\KV\\Project\\Default"));
    kv::LoadCommandSet(std::string());
    kv::loadCommandSetProject("SOFTWARE\\Ombix\\KV\\Project\\Default");
    EXPECT_EQ(kv::activeCommandSetName(), "BUSCMDS");

    // The dialog shows the set again; Del Cmd Set asks 329 and, on Yes, removes the file.
    prompts().answers = {IDYES};
    onDialog([&](HWND dialog, int) {
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_CMS_LIST, LVM_GETITEMCOUNT, 0, 0), 2);
        click(dialog, IDC_CMS_DEL_SET);
        ok(dialog);
    });
    command(kv::kIdCommandSet);
    EXPECT_EQ(prompts().countOf(kv::kStrDeleteCommandSet), 1);
    EXPECT_EQ(GetFileAttributesA((folder + "\\BUSCMDS.CMS").c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(kv::activeCommandSetName(), "");
}

struct HelpCall {
    std::string topic;
    DWORD context;
};
std::vector<HelpCall> g_help;
bool recordHelp(HWND, const char* topic, DWORD context) {
    g_help.push_back(HelpCall{topic, context});
    return true;
}

TEST_F(PrintTest, HelpOpensTheTopicOfTheControlAskedAbout) {
    ASSERT_TRUE(startViewer());
    pump(100);
    g_help.clear();
    const kv::HelpRecorder old = kv::setHelpRecorder(recordHelp);
    auto helpOn = [](HWND target, int control) {
        HELPINFO info = {};
        info.cbSize = sizeof info;
        info.iContextType = HELPINFO_WINDOW;
        info.iCtrlId = control;
        info.hItemHandle = panelItem(control);
        SendMessageW(target, WM_HELP, 0, reinterpret_cast<LPARAM>(&info));
    };
    // "Information" then a click on a toolbar button: the panel gets WM_HELP for that control.
    command(kv::kIdInformation);
    helpOn(panel(), kv::kIdInterfaceCard);
    helpOn(panel(), kv::kIdEnvironment);
    helpOn(mainWindow(), kv::kIdThreshold);   // F1 with the focus on a panel control
    helpOn(panel(), kv::kIdAcquire);          // no page of its own: the start of the help
    onDialog([](HWND dialog, int) {
        SendMessageW(dialog, WM_HELP, 0, 0);
        ok(dialog);
    });
    command(kv::kIdInterfaceCard);
    kv::setHelpRecorder(old);
    ASSERT_EQ(g_help.size(), 5u);
    EXPECT_EQ(g_help[0].topic, "::/4-1.htm");
    EXPECT_EQ(g_help[0].context, static_cast<DWORD>(kv::kIdInterfaceCard));
    EXPECT_EQ(g_help[1].topic, "::/4-2.htm");
    EXPECT_EQ(g_help[2].topic, "::/4-5.htm");
    EXPECT_EQ(g_help[3].topic, "");
    EXPECT_EQ(g_help[3].context, static_cast<DWORD>(kv::kIdAcquire));
    EXPECT_EQ(g_help[4].topic, "::/4-1.htm");
    EXPECT_FALSE(g_viewer->acq.contextHelpPending);
}

}  // namespace
}  // namespace kvtest
