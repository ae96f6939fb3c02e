// Decoded rows in the real viewer: generated UART, I2C and SPI traffic put into the capture (as a
// capture would leave it), the decode pass run as the capture path runs it, and the three bus rows
// drawn side by side (KV_SCREENSHOT_DIR keeps a picture).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/bus_traffic.h"
#include "tests/ui/ui_harness.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/decoded_rows.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/label_resources.h"
#include "viewer/display/search_dialog_win.h"
#include "viewer/display/search_resources.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/shell/panel_commands.h"

namespace kvtest {
namespace {

using kv::g_viewer;

// Traffic of several generators laid over each other in time: each keeps its own channels.
std::vector<uint64_t> merge(std::vector<std::pair<Traffic*, uint8_t>> parts) {
    size_t n = 0;
    for (auto& p : parts) n = std::max(n, p.first->samples().size());
    std::vector<uint64_t> words(n + 1, 0);
    for (auto& p : parts) {
        const std::vector<uint8_t>& s = p.first->samples();
        for (size_t i = 0; i < n; ++i) words[i] |= (i < s.size() ? s[i] : s.back()) & p.second;
    }
    return words;
}

void label(kv::LabelTable& t, int& next, const char* name, std::vector<int> channels, uint32_t flags, int color) {
    for (size_t k = 0; k < channels.size(); ++k) {
        kv::LabelEntry& e = t.entries[next++];
        e = kv::LabelEntry{};
        e.channel = channels[k];
        e.kind = channels.size() == 1 ? kv::kLabelSingle
                 : k + 1 == channels.size() ? kv::kLabelLastMember
                                            : kv::kLabelFirstMember + static_cast<int32_t>(k);
        e.flags = flags;
        e.colorIndex = color;
        lstrcpynA(e.name, name, sizeof e.name);
    }
}

void setCombo(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}
void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class DecodeViewTest : public ViewerTest {
protected:
    std::vector<uint64_t> words_;
    void TearDown() override {
        if (g_viewer) g_viewer->store.attach(nullptr, 0, 64, 64, 64, kv::kStoragePacked);
        ViewerTest::TearDown();
    }
};

TEST_F(DecodeViewTest, UartI2cAndSpiRowsShowTheirDecodedBytesSideBySide) {
    ASSERT_TRUE(startViewer());
    SetWindowPos(mainWindow(), nullptr, 0, 0, 1250, 700, SWP_NOZORDER);
    pump(200);
    const double rate = static_cast<double>(kv::readoutFrequency());
    ASSERT_GT(rate, 1e6);
    // About 900 samples per UART bit whatever the demo rate: the nearest standard baud rate.
    const int32_t baud = rate / 115200 < 2000 ? 115200 : 921600;
    const double bit = rate / baud;
    const int half = static_cast<int>(bit);

    Traffic uart(1), i2c(6), spi(0x10);  // idle: UART line high; SDA (1) and SCL (2) high; CS (4) high
    uart.hold(static_cast<int64_t>(bit * 4));
    kvtest::uartBytes(uart, 0, bit, "N-8-1", {'K', 'V', ' ', 'U', 'A', 'R', 'T', '!'}, true, 3);
    i2c.hold(half * 3);
    kvtest::i2cTransfer(i2c, 2, 1, half, {0xA0, 0x12, 0x34, 0x56});
    spi.hold(half * 2);
    kvtest::spiFrame(spi, 5, 4, 3, half / 2, {0x9F, 0xC2, 0x20, 0x18, 0x3C, 0x81}, 8, false, false);
    words_ = merge({{&uart, 0x01}, {&i2c, 0x06}, {&spi, 0x38}});
    const int32_t count = static_cast<int32_t>(words_.size() - 1);

    kv::Viewer& v = *g_viewer;
    v.store.attach(reinterpret_cast<uint8_t*>(words_.data()), count * 8, 64, 64, 64, kv::kStoragePacked);
    kv::LabelTable& t = v.labels.table;
    for (kv::LabelEntry& e : t.entries)
        if (e.rowButton) DestroyWindow(static_cast<HWND>(e.rowButton));
    t = kv::LabelTable{};
    int next = 0;
    label(t, next, "UART", {0}, kv::kLabelUart, 4);
    label(t, next, "I2C", {1, 2}, kv::kLabelI2c, 3);                              // SDA head, SCL tail
    label(t, next, "SPI", {3, 4, 5}, kv::kLabelSpi | (8u << kv::kLabelParamShift), 5);  // data, CS, SCK
    label(t, next, "RAW-SDA", {1}, 0, 7);
    // As a completed capture does: decode, then repaint.
    kv::runDecodePass();
    kv::labelsChanged();

    const auto results = kv::decodeResults();
    ASSERT_TRUE(results);
    const kv::DecodedItems* u = kv::decodedItemsFor(results->stores, t, 0);
    const kv::DecodedItems* b = kv::decodedItemsFor(results->stores, t, 1);
    const kv::DecodedItems* s = kv::decodedItemsFor(results->stores, t, 3);
    ASSERT_TRUE(u && b && s);
    EXPECT_EQ(std::vector<int32_t>(u->values.begin(), u->values.begin() + 8),
              (std::vector<int32_t>{'K', 'V', ' ', 'U', 'A', 'R', 'T', '!'}));
    EXPECT_EQ(b->values[1], 0xA0 | kv::kI2cAddress);
    EXPECT_EQ(s->values[1], 0x9F);

    // The whole capture across the waves.
    kv::WaveView& view = kv::waveViewState().view;
    HWND area = panelItem(kv::kIdWaveArea);
    const RECT waves = kv::paneWavesRect(area, 0);
    view.firstSample = 0;
    view.firstRow = 0;
    view.zoomIn = 0;
    view.zoomOut = 0;
    while ((count >> view.zoomOut) > waves.right - waves.left) ++view.zoomOut;
    RedrawWindow(area, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(100);
    saveWindowPicture(mainWindow(), "decoded-uart-i2c-spi");

    // The address byte's text is drawn in red inside the I2C row (the second row), and it is the
    // only red text of the frame.
    const int rowHeight = v.settings.waveHeight > 0 ? v.settings.waveHeight : 24;
    const COLORREF red = kv::labelColor(kv::kAddressColorIndex);
    int redInI2c = 0;
    for (int x = waves.left; x < waves.right; ++x)
        for (int y = 0; y < rowHeight; ++y) redInI2c += kv::waveSurfacePixel(x, rowHeight + y) == red;
    EXPECT_GT(redInI2c, 5);
    kv::RenderStyle measured;
    kv::useStandardTexts(measured, static_cast<int64_t>(rate));
    measured.measure = [](const std::string& text) { return kv::TextSize{static_cast<int32_t>(text.size()) * 7, 12}; };
    const std::vector<kv::WaveRow> shown = kv::layoutRows(t, 0, 600, rowHeight, v.device.channelCount, kv::viewDecodedItems);
    kv::WaveRenderer renderer;
    kv::WaveFrame frame;
    renderer.render(v.store, kv::paneGeometry(view, waves.right - waves.left, waves.bottom - waves.top), shown,
                    measured, kv::DrawRequest{}, frame);
    std::vector<std::string> redTexts, uartTexts;
    for (const kv::TextBox& box : frame.prims.texts) {
        if (box.colorIndex == kv::kAddressColorIndex) redTexts.push_back(box.text);
        if (box.box.top < rowHeight) uartTexts.push_back(box.text);
    }
    EXPECT_EQ(redTexts, std::vector<std::string>{"A0"});
    EXPECT_EQ(uartTexts, (std::vector<std::string>{"4B", "56", "20", "55", "41", "52", "54", "21"}));

    // A decoded row's value column reads the byte under the focused cursor.
    kv::RenderStyle style;
    kv::useStandardTexts(style, static_cast<int64_t>(rate));
    const std::vector<kv::WaveRow> rows =
        kv::layoutRows(t, 0, 600, rowHeight, v.device.channelCount, kv::viewDecodedItems);
    EXPECT_EQ(kv::rowValueText(v.store, rows[0], style, u->positions[1] + 5), "56h");

    // Search: the UART byte 'U' (55h), typed in the dialog; cursor B goes to the byte's start.
    const int32_t bBefore = kv::cursorSet().cursors[kv::kCursorB].position;
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_SEARCH);
        setCombo(dialog, IDC_SEARCH_LABEL, 0);   // UART
        setCombo(dialog, IDC_SEARCH_TYPE, 0);    // Hex
        SetDlgItemTextA(dialog, IDC_SEARCH_VALUE, "5Z");
        click(dialog, IDC_SEARCH_ADD);           // 225, the dialog stays
        SetDlgItemTextA(dialog, IDC_SEARCH_VALUE, "55");
        click(dialog, IDC_SEARCH_ADD);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_SEARCH_LIST, LVM_GETITEMCOUNT, 0, 0), 1);
        SetDlgItemTextA(dialog, IDC_SEARCH_PASS, "256");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);  // 224, the dialog stays
        SetDlgItemTextA(dialog, IDC_SEARCH_PASS, "0");
        saveWindowPicture(dialog, "search-dialog");
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    SendMessageW(panel(), WM_COMMAND, kv::kIdSearchPattern, 0);
    pump(50);
    EXPECT_EQ(prompts().countOf(kv::kStrValueError), 1);
    EXPECT_EQ(prompts().countOf(kv::kStrPassCountRange), 1);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, u->positions[3]);
    EXPECT_NE(kv::cursorSet().cursors[kv::kCursorB].position, bBefore);
    EXPECT_EQ(kv::cursorSet().focus, kv::kCursorB);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"1 occurrence(s) in settting interval");
    saveWindowPicture(mainWindow(), "search-found");
    // Search Next from the sample after B: no second 'U'.
    SendMessageW(panel(), WM_COMMAND, kv::kIdSearchNext, 0);
    pump(20);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"Search not found.");
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, u->positions[3]);

    // Configure Label turns a plain single label into a UART row: the pass runs on OK.
    label(t, next, "LINE", {0}, 0, 6);
    kv::labelsChanged();
    const int line = kv::findLabel(t, "LINE");
    EXPECT_EQ(kv::viewDecodedItems(line), nullptr);
    onDialog([&](HWND dialog, int) {
        SendDlgItemMessageW(dialog, IDC_SIGNAL_TYPE, CB_SETCURSEL, 1, 0);  // UART(RS232)
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SIGNAL_TYPE, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SIGNAL_TYPE)));
        SendMessageW(dialog, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(kv::runConfigureLabelDialog(panel(), line), IDOK);
    ASSERT_NE(kv::viewDecodedItems(line), nullptr);
    EXPECT_EQ(kv::viewDecodedItems(line)->values[0], 'K');

    // A label whose decoded flags go away is no longer drawn from the results.
    t.entries[0].flags = 0;
    kv::labelsChanged();
    EXPECT_EQ(kv::viewDecodedItems(0), nullptr);
}

}  // namespace
}  // namespace kvtest
