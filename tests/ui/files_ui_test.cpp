// Waveform files in the running viewer: the first start opens Demo01.kvw, Save Wave File and Load
// Waveform round-trip a capture through their dialogs, refused files change nothing.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/decoders.h"
#include "viewer/files/files_resources.h"
#include "viewer/files/kvw_file_win.h"
#include "viewer/files/qgw_file.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/trigger/trigger_resources.h"

namespace kvtest {
namespace {

using kv::g_viewer;

std::string programFolder() {
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string p(path);
    return p.substr(0, p.find_last_of('\\'));
}

std::string scratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "kv_files_ui";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void writeBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A capture of 3,000 samples whose last sample differs from the one before.
void fillCapture() {
    kv::Viewer& v = *g_viewer;
    uint8_t* data = v.store.data();
    for (int32_t i = 0; i < 3000; ++i) kv::storeLe64(data + 8 * i, static_cast<uint64_t>(i / 7) * 0x0101010101ull);
    kv::storeLe64(data + 8 * 2999, 0xDEADBEEFull);
    v.capture.captureLength = 3000 * 8;
    v.store.attach(data, 3000 * 8, 64, 64, 64, 0);
}

std::vector<uint64_t> samples(int32_t from, int32_t to) {
    std::vector<uint64_t> out;
    for (int32_t i = from; i <= to; ++i) out.push_back(g_viewer->store.sample(i));
    return out;
}

std::string g_chosenFile;
BOOL WINAPI chooseFile(OPENFILENAMEW* ofn) {
    MultiByteToWideChar(CP_ACP, 0, g_chosenFile.c_str(), -1, ofn->lpstrFile, static_cast<int>(ofn->nMaxFile));
    return TRUE;
}

// Save Wave File: format, name and range chosen in the dialog, then OK.
void saveThroughDialog(int format, const std::string& name, int startChoice = 0, int endChoice = 0) {
    onDialog([=](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_SAVE_WAVE);
        SendDlgItemMessageW(dialog, IDC_SAVE_FORMAT, CB_SETCURSEL, format, 0);
        SetDlgItemTextA(dialog, IDC_SAVE_FILE, name.c_str());
        saveWindowPicture(dialog, "save-wave-file");
        if (startChoice || endChoice) {
            SendDlgItemMessageW(dialog, IDC_SAVE_RANGE, BM_CLICK, 0, 0);
            SendDlgItemMessageW(dialog, IDC_SAVE_START, CB_SETCURSEL, startChoice, 0);
            SendDlgItemMessageW(dialog, IDC_SAVE_END, CB_SETCURSEL, endChoice, 0);
        }
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
        // A refused save keeps the dialog open: Cancel ends it then (and does nothing otherwise).
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdSaveWave, 0);
    onDialog(nullptr);
}

void loadThroughDialog(const std::string& name, bool withLabels) {
    g_chosenFile = name;
    kv::OpenFileChooser old = kv::setOpenFileChooser(chooseFile);
    prompts().answers = {withLabels ? IDYES : IDNO, IDYES};
    SendMessageW(panel(), WM_COMMAND, kv::kIdLoadWave, 0);
    kv::setOpenFileChooser(old);
}

// A trigger set up by hand: a rising edge on channel 3 and a high channel 5 with pass count 2 in
// force, and a multi-level slot of its own.
void setUpTrigger() {
    kv::TriggerSetup& s = g_viewer->acq.trigger;
    std::memset(s.oneLevel, kv::kConditionDontCare, sizeof s.oneLevel);
    s.oneLevel[3] = kv::kConditionRising;
    s.oneLevel[5] = kv::kConditionHigh;
    kv::storeOneLevel(s.current, s.oneLevel, s.device.channelCount);
    s.current.passCount = 2;
    kv::storeTriggerSlot(s, s.current);
    s.slots[kv::kModeMulti].delay = 1234;
    s.slots[kv::kModeMulti].level(6)[7] = kv::kConditionHigh;
    s.committed = s.current;
}

// The captions the single-level editor shows for channels 3 and 5, read off the dialog.
std::wstring editorCaptions() {
    std::wstring shown;
    onDialog([&](HWND dialog, int) {
        shown = textOf(GetDlgItem(dialog, IDC_CHANNEL_FIRST + 3)) + textOf(GetDlgItem(dialog, IDC_CHANNEL_FIRST + 5));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_TRIGGER_CANCEL, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_TRIGGER_CANCEL)));
    });
    SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(kv::kIdTrigger, BN_CLICKED), 0);
    onDialog(nullptr);
    return shown;
}

// A 2.01 file of an older writer, put together byte by byte from the layout: display flags
// without bit 4, field 236 holding a rate code, eight raw 64-bit samples, no labels.
std::vector<uint8_t> olderWriterFile(uint32_t rateCode) {
    const size_t labelsAt = 23380, dataAt = labelsAt + 100;
    std::vector<uint8_t> b(dataAt + 64, 0);
    auto u32 = [&b](size_t at, uint32_t v) { kv::putU32(&b[at], v); };
    std::memcpy(b.data(), "Ombix Technology Inc.  KVW 2.01", 31);
    u32(32, 0x201);
    u32(36, 68);
    u32(40, 68);
    u32(44, 23312);
    u32(48, static_cast<uint32_t>(labelsAt));
    u32(52, 100);
    u32(56, static_cast<uint32_t>(dataAt));
    u32(60, 64);
    u32(68 + 132, 64);
    u32(68 + 136, 64);
    u32(68 + 140, 64);
    u32(68 + 144, 0x1164);
    u32(68 + 168, 0x4);
    u32(68 + 236, rateCode);
    for (size_t k = 0; k < 8; ++k) b[dataAt + 8 * k] = static_cast<uint8_t>(k);
    return b;
}

std::wstring rateListText() {
    HWND list = GetDlgItem(panel(), kv::kIdRateList);
    const LRESULT at = SendMessageW(list, CB_GETCURSEL, 0, 0);
    wchar_t text[64] = {};
    if (at >= 0 && SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(at), 0) < 64)
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(text));
    return text;
}

// The low bytes of the first `n` items the last decode pass stored for the row starting at
// `entry`; empty when the row holds none.
std::vector<int32_t> decodedBytes(int32_t entry, size_t n) {
    std::vector<int32_t> out;
    const auto results = kv::decodeResults();
    const kv::DecodedItems* items = results ? kv::decodedItemsFor(results->stores, g_viewer->labels.table, entry) : nullptr;
    for (size_t k = 0; items && k < items->size() && k < n; ++k) out.push_back(items->values[k] & 0xFF);
    return out;
}

// Demo01.kvw's bus rows: "Hello KV!" on UART_TX (entry 9), a write of 0x3C 0xA5 to address 0x50
// on I2C (entry 11, after its START marker), 0x9F 0x01 0xC2 on SPI (entry 15, after its marker).
void expectDemoRowsDecoded() {
    EXPECT_EQ(decodedBytes(9, 9), (std::vector<int32_t>{'H', 'e', 'l', 'l', 'o', ' ', 'K', 'V', '!'}));
    const std::vector<int32_t> i2c = decodedBytes(11, 4), spi = decodedBytes(15, 4);
    EXPECT_EQ(std::vector<int32_t>(i2c.begin() + std::min<size_t>(1, i2c.size()), i2c.end()), (std::vector<int32_t>{0xA0, 0x3C, 0xA5}));
    EXPECT_EQ(std::vector<int32_t>(spi.begin() + std::min<size_t>(1, spi.size()), spi.end()), (std::vector<int32_t>{0x9F, 0x01, 0xC2}));
    const auto results = kv::decodeResults();
    const kv::DecodedItems* address = results ? kv::decodedItemsFor(results->stores, g_viewer->labels.table, 11) : nullptr;
    ASSERT_TRUE(address && address->size() > 1);
    EXPECT_EQ(address->values[1], 0xA0 | kv::kI2cAddress);
}

class FilesTest : public ViewerTest {};

TEST_F(FilesTest, FirstStartOpensDemo01WithItsOwnLabels) {
    setWorkDirectory(programFolder() + "\\demo");
    ASSERT_TRUE(startViewer());
    pump(300);
    const std::wstring title = textOf(mainWindow());
    EXPECT_NE(title.find(L"Demo01.kvw]"), std::wstring::npos) << std::string(title.begin(), title.end());
    EXPECT_EQ(prompts().countOf(203), 0);   // the posted Add All found the file's labels
    EXPECT_EQ(g_viewer->store.logicalCount(), 40000);
    EXPECT_STREQ(g_viewer->labels.table.entries[0].name, "CLK");
    EXPECT_EQ(kv::cursorSet().cursors[1].position, 300);
    EXPECT_EQ(kv::readoutFrequency(), 10000000);
    // Its bus rows are decoded as it opens, and drawn so.
    expectDemoRowsDecoded();
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1180, 800, SWP_NOZORDER);
    pump(300);
    saveWindowPicture(mainWindow(), "first-start-demo01");
    // Load Waveform runs the decode pass too: after a pass over an empty capture, the file's rows
    // are decoded again.
    g_viewer->store.clear();
    kv::runDecodePass();
    EXPECT_TRUE(decodedBytes(9, 1).empty());
    loadThroughDialog(programFolder() + "\\demo\\Demo01.kvw", true);
    expectDemoRowsDecoded();
}

TEST_F(FilesTest, SaveAndLoadRoundTripEveryFormatThroughTheDialogs) {
    ASSERT_TRUE(startViewer());
    pump(100);
    fillCapture();
    setUpTrigger();
    kv::TriggerSetup& trigger = g_viewer->acq.trigger;
    const kv::TriggerRecord single = trigger.current, multi = trigger.slots[kv::kModeMulti];
    const std::vector<uint64_t> before = samples(0, 2999);
    const std::string folder = scratchFolder();
    for (int format : {kv::kSaveKvwRaw, kv::kSaveKvwRunLength, kv::kSaveKvwZlib}) {
        const std::string name = folder + "\\round" + std::to_string(format);
        DeleteFileA((name + ".kvw").c_str());
        saveThroughDialog(format, name);
        EXPECT_EQ(textOf(mainWindow()), L"KV Viewer - [" + std::wstring(name.begin(), name.end()) + L".kvw]");
        g_viewer->store.clear();
        kv::resetTriggerSetup(trigger, trigger.device);
        loadThroughDialog(name + ".kvw", true);
        EXPECT_EQ(samples(0, 2999), before) << format;
        EXPECT_EQ(g_viewer->store.logicalCount(), 3000);
        EXPECT_GT(g_viewer->labels.table.count(), 0);
        // The trigger comes back: the record in force (with the acquisition's trigger position),
        // the slots, and the pattern the editor shows.
        EXPECT_EQ(trigger.current.levelCount * 10 + static_cast<uint32_t>(trigger.current.passCount), 22u) << format;
        EXPECT_EQ(trigger.current.level(0)[3] * 100 + trigger.current.level(1)[3] * 10 + trigger.current.level(1)[5] / 6, 61) << format;
        EXPECT_EQ(trigger.current.triggerPosition, static_cast<uint32_t>(trigger.triggerPosition));
        EXPECT_TRUE(trigger.slots[kv::kModeSingle] == single) << format;
        EXPECT_TRUE(trigger.slots[kv::kModeMulti] == multi) << format;
        EXPECT_EQ(editorCaptions(), L"/1") << format;
        EXPECT_TRUE(trigger.current.level(0)[3] == kv::kConditionLow);   // Cancel restored it
    }
    // A range from cursor B back to cursor A is written ascending.
    kv::placeCursor(1, 100);
    kv::placeCursor(2, 40);
    const std::vector<uint64_t> part = samples(40, 100);
    const std::string ranged = folder + "\\ranged.kvw";
    DeleteFileA(ranged.c_str());
    saveThroughDialog(kv::kSaveKvwRunLength, ranged, 3, 2);
    loadThroughDialog(ranged, false);
    EXPECT_EQ(g_viewer->store.logicalCount(), 61);
    EXPECT_EQ(samples(0, 60), part);
    // The text and pattern formats write their files: the pattern file only while no label is on
    // channel 50 or above. No temporary file is left behind.
    DeleteFileA((folder + "\\listing.txt").c_str());
    saveThroughDialog(kv::kSaveText, folder + "\\listing");
    EXPECT_GT(fileBytes(folder + "\\listing.txt").size(), 40u);
    const std::string pattern = folder + "\\pattern.qgw";
    DeleteFileA(pattern.c_str());
    saveThroughDialog(kv::kSaveQgw, pattern);
    EXPECT_EQ(prompts().countOf(kv::kStrQgChannels), 1);
    EXPECT_EQ(GetFileAttributesA(pattern.c_str()), INVALID_FILE_ATTRIBUTES);
    g_viewer->labels.table.entries[50].kind = kv::kLabelEnd;   // CH-00 .. CH-49 stay
    saveThroughDialog(kv::kSaveQgw, pattern);
    EXPECT_EQ(fileBytes(pattern).size(), 580u + 100 * (13 + 50) + 8 * 61);
    WIN32_FIND_DATAA found;
    HANDLE h = FindFirstFileA((folder + "\\TMP*.tmp").c_str(), &found);
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    if (h != INVALID_HANDLE_VALUE) FindClose(h);
}

TEST_F(FilesTest, OlderWritersRateCodesGoThroughTheRuntimesRateTable) {
    ASSERT_TRUE(startViewer());
    pump(100);
    const std::string name = scratchFolder() + "\\older.kvw";
    // Code 24 is 10 MHz; code 7 is no code of the table, code 3 the external clock: no rate.
    struct Case {
        uint32_t code;
        int64_t hz;
        const wchar_t* shown;
    };
    for (const Case c : {Case{24, 10000000, L"10 MHz"}, Case{7, 100000000, L"100 MHz"}, Case{29, 100, L"100 Hz"},
                         Case{3, 100000000, L"100 MHz"}}) {
        writeBytes(name, olderWriterFile(c.code));
        loadThroughDialog(name, false);
        EXPECT_EQ(g_viewer->store.logicalCount(), 8) << c.code;
        EXPECT_EQ(kv::readoutFrequency(), c.hz) << c.code;
        EXPECT_EQ(g_viewer->acq.trigger.current.frequency(), static_cast<uint64_t>(c.hz)) << c.code;
        EXPECT_EQ(g_viewer->acq.trigger.current.clock, 1u) << c.code;
        const std::wstring shown = rateListText();
        EXPECT_NE(shown.find(c.shown), std::wstring::npos) << c.code << " " << std::string(shown.begin(), shown.end());
        EXPECT_TRUE(shown.size() <= std::wcslen(c.shown) + 2) << c.code;   // "100 Hz" is not "100 MHz"
    }
}

TEST_F(FilesTest, NewerTruncatedAndMissingFilesChangeNothing) {
    ASSERT_TRUE(startViewer());
    pump(100);
    fillCapture();
    const std::string folder = scratchFolder();
    const std::string good = folder + "\\good.kvw";
    DeleteFileA(good.c_str());
    saveThroughDialog(kv::kSaveKvwZlib, good);
    const std::wstring title = textOf(mainWindow());
    std::vector<uint8_t> bytes = fileBytes(good);
    ASSERT_GT(bytes.size(), 23400u);
    std::vector<uint8_t> newer = bytes;
    newer[32] = 0x03;   // version 0x203
    writeBytes(folder + "\\newer.kvw", newer);
    writeBytes(folder + "\\cut.kvw", std::vector<uint8_t>(bytes.begin(), bytes.end() - 10));
    fillCapture();
    kv::storeLe64(g_viewer->store.data() + 8 * 5, 0x5555);
    g_viewer->store.attach(g_viewer->store.data(), 3000 * 8, 64, 64, 64, 0);
    const int labelsBefore = g_viewer->labels.table.count();
    struct Case {
        const char* file;
        int message;
    };
    for (const Case c : {Case{"\\newer.kvw", IDS_UPGRADE}, Case{"\\cut.kvw", IDS_FILE_FORMAT_ERROR},
                         Case{"\\missing.kvw", IDS_FILE_CANT_OPEN}}) {
        prompts().asked.clear();
        loadThroughDialog(folder + c.file, true);
        EXPECT_EQ(prompts().countOf(c.message), 1) << c.file;
        EXPECT_EQ(textOf(mainWindow()), title) << c.file;
        EXPECT_EQ(g_viewer->store.sample(5), 0x5555u) << c.file;
        EXPECT_EQ(g_viewer->store.logicalCount(), 3000);
        EXPECT_EQ(g_viewer->labels.table.count(), labelsBefore);
    }
}

TEST_F(FilesTest, AutomaticSavingWritesEachCaptureIntoTheWorkDirectory) {
    const std::string folder = scratchFolder() + "\\auto";
    CreateDirectoryA(folder.c_str(), nullptr);
    WIN32_FIND_DATAA found;
    for (HANDLE h = FindFirstFileA((folder + "\\W*.KVW").c_str(), &found); h != INVALID_HANDLE_VALUE;
         h = FindNextFileA(h, &found) ? h : (FindClose(h), INVALID_HANDLE_VALUE))
        DeleteFileA((folder + "\\" + found.cFileName).c_str());
    setWorkDirectory(folder);
    ASSERT_TRUE(startViewer());
    pump(100);
    keyUp('1', true);   // Ctrl+1
    SendMessageW(panel(), WM_COMMAND, kv::kIdAcquire, 0);
    ASSERT_TRUE(pumpUntil([] { return g_viewer->acq.thread == nullptr; }, 10000));
    HANDLE h = FindFirstFileA((folder + "\\W*0.KVW").c_str(), &found);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    FindClose(h);
    const std::string saved = folder + "\\" + found.cFileName;
    // Run-length, whole buffer, every label: it loads back as the capture on screen.
    const std::vector<uint64_t> shown = samples(0, g_viewer->store.logicalCount() - 1);
    const int labelCount = g_viewer->labels.table.count();
    g_viewer->store.clear();
    loadThroughDialog(saved, true);
    EXPECT_EQ(samples(0, g_viewer->store.logicalCount() - 1), shown);
    EXPECT_EQ(g_viewer->labels.table.count(), labelCount);
}

}  // namespace
}  // namespace kvtest
