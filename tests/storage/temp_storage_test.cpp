// Temporary storage: slot file names, the area under the pointer, what a drop moves where, and what
// it leaves alone (empty areas, slot files that cannot be written or read).
#include "viewer/storage/temp_storage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <vector>

namespace kv {
namespace {

// Not a multiple of the 64 KiB copy piece, so a slot-to-slot copy ends with a short piece.
constexpr int32_t kAreaBytes = 3 * kSlotCopyPiece + 808;
constexpr int32_t kDataOffset = 128;

std::vector<uint8_t> fileBytes(const std::string& name) {
    std::ifstream f(name, std::ios::binary | std::ios::ate);
    if (!f) return {};
    std::vector<uint8_t> bytes(static_cast<size_t>(f.tellg()));
    f.seekg(0);
    f.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// A capture buffer (capture area plus spare bytes) and a scratch work directory "w". The slot
// names join the folder with a backslash: on Windows the files lie in "w", elsewhere the backslash
// is part of the name and they lie beside it as "w\SaveArea<k>.Tmp"; either way in the scratch.
class StorageTest : public ::testing::Test {
protected:
    void SetUp() override {
        namespace fs = std::filesystem;
        const auto tick = std::chrono::steady_clock::now().time_since_epoch().count();
        scratch = (fs::temp_directory_path() / ("kv_storage_" + std::to_string(tick))).string();
        work = scratch + "/w";
        ASSERT_TRUE(fs::create_directories(work));
        capture.assign(kAreaBytes + kCaptureSpareBytes, 0);
        ASSERT_TRUE(storage.allocateCompare(kAreaBytes));
    }
    void TearDown() override { std::filesystem::remove_all(scratch); }

    // `count` 64-bit samples from the data start, sample i = seed * i + 1, and what describes them.
    HeldCapture fill(uint64_t seed, int32_t count, int32_t sampleBits = 64) {
        for (int32_t i = 0; i < count; ++i) storeLe64(&capture[kDataOffset + 8 * i], seed * static_cast<uint64_t>(i) + 1);
        return HeldCapture{true, kDataOffset, count * 8, 0, SampleFormat::make(kStoragePacked, 64, sampleBits, sampleBits)};
    }
    // The bytes a drop moves: the capture area's size from the data start.
    std::vector<uint8_t> area() const {
        return std::vector<uint8_t>(capture.begin() + kDataOffset, capture.begin() + kDataOffset + kAreaBytes);
    }
    DropOutcome drop(int32_t s, int32_t t, const HeldCapture& current) {
        return storage.drop(s, t, capture.data(), current, work);
    }
    std::string slot(int32_t area) const { return slotFileName(work, area); }

    std::string scratch, work;
    std::vector<uint8_t> capture;
    TemporaryStorage storage;
};

TEST(StorageNames, SlotFilesAndAreasUnderThePointer) {
    EXPECT_EQ(slotFileName("D:\\Work Dir", 7), "D:\\Work Dir\\SaveArea7.Tmp");
    Rect areas[kStorageAreaCount];
    for (int k = 0; k < kStorageAreaCount; ++k) areas[k] = Rect{10 + 100 * k, 10, 90 + 100 * k, 70};
    areas[5] = Rect{0, 0, 400, 80};   // overlaps areas 0 to 3: they come first
    // Corners of 0 and 3, between 0 and 1 (inside 5), 7's last pixel, past its bottom and right edges.
    for (auto [x, y, area] : {std::tuple{10, 10, 0}, {389, 69, 3}, {95, 40, 5}, {789, 69, 7}, {789, 70, -1}, {790, 69, -1}})
        EXPECT_EQ(storageAreaAt(areas, x, y), area) << x << "," << y;
}

TEST_F(StorageTest, MainScreenToStorage3AndBackRestoresTheCaptureExactly) {
    const HeldCapture first = fill(0x0101010101010101ull, 4000);
    const std::vector<uint8_t> stored = area();
    DropOutcome o = drop(kMainScreenArea, 4, first);
    EXPECT_TRUE(o.dropped && o.moved && !o.captureChanged && !o.compareChanged);
    EXPECT_EQ(storage.content(4), kMainScreenArea);
    EXPECT_EQ(fileBytes(slot(4)), stored);

    // A later capture of another length and width, starting at the first byte as demo captures
    // do; storage 3 brings the first back as it was, where it was, length and format included.
    HeldCapture second = fill(77, 1500, 36);
    second.dataOffset = 0;
    ASSERT_NE(area(), stored);
    o = drop(4, kMainScreenArea, second);
    EXPECT_TRUE(o.moved && o.captureChanged);
    EXPECT_EQ(area(), stored);
    EXPECT_TRUE(o.restored.length == 4000 * 8 && o.restored.dataOffset == kDataOffset && o.restored.format.sampleBits == 64);
    EXPECT_EQ(storage.content(4), kMainScreenArea);   // the slot keeps its copy
}

TEST_F(StorageTest, CompareAreaAndSlotsPassTheWholeAreaOn) {
    const HeldCapture a = fill(3, 2000);
    const std::vector<uint8_t> bytesA = area();
    EXPECT_TRUE(drop(kMainScreenArea, kCompareArea, a).compareChanged);
    // The compare buffer describes capture A on its own, "Waveform Invert" applied when asked.
    ASSERT_NE(storage.compareStore(false), nullptr);
    EXPECT_EQ(storage.compareStore(false)->logicalCount(), 2000);
    EXPECT_EQ(storage.compareStore(true)->sample(1999), ~uint64_t{3 * 1999 + 1});

    // Compare area to storage 1, storage 1 to storage 6 (64 KiB pieces and a short last one).
    EXPECT_TRUE(drop(kCompareArea, 2, a).moved && drop(2, 7, a).moved);
    EXPECT_EQ(fileBytes(slot(2)), bytesA);
    EXPECT_EQ(fileBytes(slot(7)), bytesA);
    EXPECT_EQ(storage.content(7), kMainScreenArea);   // pictures travel with the content

    // A shorter, narrower capture B goes to the compare area; storage 6 brings A back into it.
    const HeldCapture b = fill(5, 300, 36);
    EXPECT_TRUE(drop(kMainScreenArea, kCompareArea, b).moved);
    EXPECT_EQ(storage.compareStore(false)->logicalCount(), 300);
    EXPECT_TRUE(drop(7, kCompareArea, b).compareChanged);
    EXPECT_EQ(storage.compareStore(false)->logicalCount(), 2000);
    EXPECT_EQ(storage.compareStore(false)->sample(1999), 3u * 1999 + 1);

    EXPECT_EQ(drop(kCompareArea, kMainScreenArea, b).restored.length, 2000 * 8);
    EXPECT_EQ(area(), bytesA);
}

TEST_F(StorageTest, EmptyAreasAndFailingSlotFilesMoveNothing) {
    HeldCapture current = fill(9, 1000);
    const std::vector<uint8_t> bytes = area();
    // On itself or outside every area: nothing at all; the table stays as it starts.
    for (auto [s, t] : {std::pair{3, 3}, {0, -1}, {-1, 0}, {0, 8}}) EXPECT_FALSE(drop(s, t, current).dropped);
    for (int k = 0; k < kStorageAreaCount; ++k) EXPECT_EQ(storage.content(k), k ? kAreaEmpty : kMainScreenArea);

    // An empty slot over the main screen: the picture goes, the capture stays, even with a slot
    // file of an earlier session in the work directory; the capture can still be stored.
    std::ofstream(slot(5), std::ios::binary) << std::string(kAreaBytes, '\xEE');
    DropOutcome o = drop(5, kMainScreenArea, current);
    EXPECT_TRUE(o.dropped && !o.moved && !o.captureChanged);
    EXPECT_EQ(storage.content(kMainScreenArea), kAreaEmpty);
    EXPECT_EQ(area(), bytes);
    EXPECT_TRUE(drop(kMainScreenArea, 3, current).moved);

    // An empty area over a full one empties it.
    EXPECT_TRUE(drop(3, kCompareArea, current).moved);
    o = drop(6, kCompareArea, current);
    EXPECT_TRUE(o.compareChanged && !o.moved && !storage.held(kCompareArea).held);
    EXPECT_EQ(storage.compareStore(false), nullptr);

    // A slot file that cannot be created: the picture changes, the slot holds nothing.
    o = storage.drop(kMainScreenArea, 4, capture.data(), current, scratch + "/missing/folder");
    EXPECT_TRUE(o.dropped && !o.moved && !storage.held(4).held);
    EXPECT_EQ(storage.content(4), kAreaEmpty);   // the main screen shows the empty picture now

    // A slot file cut short: the capture is not touched, the compare area and slots take nothing,
    // and no half copy is left.
    ASSERT_TRUE(drop(kMainScreenArea, 2, current).moved);
    std::filesystem::resize_file(slot(2), kAreaBytes / 2);
    current = fill(11, 700);
    const std::vector<uint8_t> now = area();
    o = drop(2, kMainScreenArea, current);
    EXPECT_TRUE(o.dropped && !o.moved && !o.captureChanged);
    EXPECT_EQ(area(), now);
    EXPECT_FALSE(drop(2, kCompareArea, current).moved);
    EXPECT_EQ(storage.compareStore(false), nullptr);
    EXPECT_FALSE(drop(2, 7, current).moved || storage.held(7).held);
    EXPECT_FALSE(std::filesystem::exists(slot(7)));
}

}  // namespace
}  // namespace kv
