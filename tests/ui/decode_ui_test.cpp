// Decoded rows in the real viewer: generated UART, I2C and SPI traffic put into the capture (as a
// capture would leave it), the decode pass run as the capture path runs it, and the three bus rows
// drawn side by side (KV_SCREENSHOT_DIR keeps a picture).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support/bus_traffic.h"
#include "tests/ui/ui_harness.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/decode_view_win.h"
#include "viewer/display/decoded_rows.h"
#include "viewer/display/label_dialogs_win.h"
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

    // The address byte's text is drawn in red inside the I2C row (the second row), and nowhere
    // red appears in the UART row above it.
    const int rowHeight = v.settings.waveHeight > 0 ? v.settings.waveHeight : 24;
    const COLORREF red = kv::labelColor(kv::kAddressColorIndex);
    int redInI2c = 0, redInUart = 0;
    for (int x = waves.left; x < waves.right; ++x)
        for (int y = 0; y < rowHeight; ++y) {
            redInUart += kv::waveSurfacePixel(x, y) == red;
            redInI2c += kv::waveSurfacePixel(x, rowHeight + y) == red;
        }
    EXPECT_GT(redInI2c, 10);
    EXPECT_EQ(redInUart, 0);

    // A decoded row's value column reads the byte under the focused cursor.
    kv::RenderStyle style;
    kv::useStandardTexts(style, static_cast<int64_t>(rate));
    const std::vector<kv::WaveRow> rows =
        kv::layoutRows(t, 0, 600, rowHeight, v.device.channelCount, kv::viewDecodedItems);
    EXPECT_EQ(kv::rowValueText(v.store, rows[0], style, u->positions[1] + 5), "56h");

    // A label whose decoded flags go away is no longer drawn from the results.
    t.entries[0].flags = 0;
    kv::labelsChanged();
    EXPECT_EQ(kv::viewDecodedItems(0), nullptr);
}

}  // namespace
}  // namespace kvtest
