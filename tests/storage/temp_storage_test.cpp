// Temporary storage: slot file names, which area is under the pointer, what a drop moves where,
// and what it leaves alone (empty areas, slot files that cannot be written or read).
#include "viewer/storage/temp_storage.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
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

void writeBytes(const std::string& name, const uint8_t* data, size_t n) {
    std::ofstream f(name, std::ios::binary | std::ios::trunc);
    f.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(n));
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

    // `count` 64-bit samples from the data offset, sample i = seed * i + 1, and what describes them.
    HeldCapture fill(uint64_t seed, int32_t count, int32_t sampleBits = 64) {
        for (int32_t i = 0; i < count; ++i) storeLe64(&capture[kDataOffset + 8 * i], seed * static_cast<uint64_t>(i) + 1);
        HeldCapture h;
        h.held = true;
        h.dataOffset = kDataOffset;
        h.length = count * 8;
        h.format = SampleFormat::make(kStoragePacked, 64, sampleBits, sampleBits);
        return h;
    }
    // The bytes a drop moves: the capture area's size from the data start.
    std::vector<uint8_t> area() const {
        return std::vector<uint8_t>(capture.begin() + kDataOffset, capture.begin() + kDataOffset + kAreaBytes);
    }
    std::string slot(int32_t area) const { return slotFileName(work, area); }

    std::string scratch, work;
    std::vector<uint8_t> capture;
    TemporaryStorage storage;
};

TEST(StorageNames, SlotFilesAndAreasUnderThePointer) {
    EXPECT_EQ(slotFileName("C:\\KV", 2), "C:\\KV\\SaveArea2.Tmp");
    EXPECT_EQ(slotFileName("D:\\Work Dir", 7), "D:\\Work Dir\\SaveArea7.Tmp");

    Rect areas[kStorageAreaCount];
    for (int k = 0; k < kStorageAreaCount; ++k) areas[k] = Rect{10 + 100 * k, 10, 90 + 100 * k, 70};
    areas[5] = Rect{0, 0, 400, 80};   // overlaps areas 0 to 3: they come first
    EXPECT_EQ(storageAreaAt(areas, 10, 10), 0);
    EXPECT_EQ(storageAreaAt(areas, 389, 69), 3);
    EXPECT_EQ(storageAreaAt(areas, 95, 40), 5);    // between areas 0 and 1, inside 5
    EXPECT_EQ(storageAreaAt(areas, 789, 69), 7);
    EXPECT_EQ(storageAreaAt(areas, 789, 70), -1);  // bottom and right edges excluded
    EXPECT_EQ(storageAreaAt(areas, 790, 69), -1);
    EXPECT_EQ(storageAreaAt(areas, 890, 40), -1);
    EXPECT_EQ(storageAreaAt(areas, -1, 40), -1);
}

TEST_F(StorageTest, MainScreenToStorage3AndBackRestoresTheCaptureExactly) {
    EXPECT_EQ(storage.content(kMainScreenArea), kMainScreenArea);
    for (int k = 1; k < kStorageAreaCount; ++k) EXPECT_EQ(storage.content(k), kAreaEmpty);

    const HeldCapture first = fill(0x0101010101010101ull, 4000);
    const std::vector<uint8_t> stored = area();
    DropOutcome o = storage.drop(kMainScreenArea, 4, capture.data(), first, work);
    EXPECT_TRUE(o.dropped && o.moved);
    EXPECT_FALSE(o.captureChanged || o.compareChanged);
    EXPECT_EQ(storage.content(4), kMainScreenArea);
    EXPECT_EQ(fileBytes(slot(4)), stored);
    EXPECT_EQ(storage.held(4).length, 4000 * 8);

    // A later capture of another length and width replaces the buffer (one starting at the first
    // byte, as demo captures do) ...
    HeldCapture second = fill(77, 1500, 36);
    second.dataOffset = 0;
    ASSERT_NE(area(), stored);
    // ... and storage 3 brings the first back as it was, where it was, length and format included.
    o = storage.drop(4, kMainScreenArea, capture.data(), second, work);
    EXPECT_TRUE(o.moved && o.captureChanged);
    EXPECT_EQ(area(), stored);
    EXPECT_EQ(o.restored.length, 4000 * 8);
    EXPECT_EQ(o.restored.dataOffset, kDataOffset);
    EXPECT_EQ(o.restored.format.sampleBits, 64);
    EXPECT_EQ(storage.content(kMainScreenArea), kMainScreenArea);
    EXPECT_EQ(storage.content(4), kMainScreenArea);   // the slot keeps its copy
}

TEST_F(StorageTest, EveryPairOfAreaKindsMovesTheWholeArea) {
    const HeldCapture a = fill(3, 2000);
    const std::vector<uint8_t> bytesA = area();
    // Main screen to compare area: the compare buffer describes capture A on its own.
    DropOutcome o = storage.drop(kMainScreenArea, kCompareArea, capture.data(), a, work);
    EXPECT_TRUE(o.moved && o.compareChanged);
    SampleStore* compare = storage.compareStore(false);
    ASSERT_NE(compare, nullptr);
    EXPECT_EQ(compare->logicalCount(), 2000);
    EXPECT_EQ(compare->sample(1999), 3u * 1999 + 1);
    EXPECT_EQ(storage.compareStore(true)->sample(0), ~uint64_t{1});   // "Waveform Invert" applies

    // Compare area to storage 1, storage 1 to storage 6 (64 KiB pieces and a short last one).
    EXPECT_TRUE(storage.drop(kCompareArea, 2, capture.data(), a, work).moved);
    EXPECT_TRUE(storage.drop(2, 7, capture.data(), a, work).moved);
    EXPECT_EQ(fileBytes(slot(2)), bytesA);
    EXPECT_EQ(fileBytes(slot(7)), bytesA);
    EXPECT_EQ(storage.content(7), kMainScreenArea);   // pictures travel with the content

    // A new capture B goes to the compare area, then storage 6 brings A back into it.
    const HeldCapture b = fill(5, 300, 36);
    EXPECT_TRUE(storage.drop(kMainScreenArea, kCompareArea, capture.data(), b, work).moved);
    EXPECT_EQ(storage.compareStore(false)->logicalCount(), 300);
    o = storage.drop(7, kCompareArea, capture.data(), b, work);
    EXPECT_TRUE(o.moved && o.compareChanged);
    EXPECT_EQ(storage.compareStore(false)->logicalCount(), 2000);
    EXPECT_EQ(storage.compareStore(false)->sample(1999), 3u * 1999 + 1);
    EXPECT_EQ(storage.content(kCompareArea), kMainScreenArea);

    // Compare area to the main screen.
    o = storage.drop(kCompareArea, kMainScreenArea, capture.data(), b, work);
    EXPECT_TRUE(o.captureChanged);
    EXPECT_EQ(area(), bytesA);
    EXPECT_EQ(o.restored.length, 2000 * 8);
}

TEST_F(StorageTest, EmptyAreasAndFailingSlotFilesMoveNothing) {
    HeldCapture current = fill(9, 1000);
    const std::vector<uint8_t> bytes = area();

    // On itself or outside every area: nothing at all.
    for (auto [s, t] : {std::pair{3, 3}, {0, -1}, {-1, 0}, {0, 8}}) {
        const DropOutcome o = storage.drop(s, t, capture.data(), current, work);
        EXPECT_FALSE(o.dropped || o.moved) << s << " on " << t;
    }
    for (int k = 1; k < kStorageAreaCount; ++k) EXPECT_EQ(storage.content(k), kAreaEmpty);

    // An empty slot over the main screen: the picture goes, the capture stays, even with a slot
    // file of an earlier session lying in the work directory.
    std::vector<uint8_t> stale(kAreaBytes, 0xEE);
    writeBytes(slot(5), stale.data(), stale.size());
    DropOutcome o = storage.drop(5, kMainScreenArea, capture.data(), current, work);
    EXPECT_TRUE(o.dropped);
    EXPECT_FALSE(o.moved || o.captureChanged);
    EXPECT_EQ(storage.content(kMainScreenArea), kAreaEmpty);
    EXPECT_EQ(area(), bytes);
    // The main screen still holds its capture and can be stored.
    EXPECT_TRUE(storage.drop(kMainScreenArea, 3, capture.data(), current, work).moved);
    EXPECT_EQ(storage.content(3), kAreaEmpty);

    // An empty area over a full one empties it.
    EXPECT_TRUE(storage.drop(3, kCompareArea, capture.data(), current, work).moved);
    EXPECT_NE(storage.compareStore(false), nullptr);
    o = storage.drop(6, kCompareArea, capture.data(), current, work);
    EXPECT_FALSE(o.moved);
    EXPECT_TRUE(o.compareChanged);
    EXPECT_FALSE(storage.held(kCompareArea).held);
    EXPECT_EQ(storage.compareStore(false), nullptr);

    // A slot file that cannot be created: the picture changes, the slot holds nothing.
    o = storage.drop(kMainScreenArea, 4, capture.data(), current, scratch + "/missing/folder");
    EXPECT_TRUE(o.dropped);
    EXPECT_FALSE(o.moved);
    EXPECT_EQ(storage.content(4), kAreaEmpty);   // the main screen's picture is the empty one now
    EXPECT_FALSE(storage.held(4).held);

    // A slot file cut short: the capture is not touched, the compare area and slots take nothing.
    storage.drop(3, kMainScreenArea, capture.data(), current, work);   // the main screen's picture back
    ASSERT_TRUE(storage.drop(kMainScreenArea, 2, capture.data(), current, work).moved);
    const std::vector<uint8_t> whole = fileBytes(slot(2));
    writeBytes(slot(2), whole.data(), whole.size() / 2);
    current = fill(11, 700);
    const std::vector<uint8_t> now = area();
    o = storage.drop(2, kMainScreenArea, capture.data(), current, work);
    EXPECT_TRUE(o.dropped);
    EXPECT_FALSE(o.moved || o.captureChanged);
    EXPECT_EQ(area(), now);
    EXPECT_FALSE(storage.drop(2, kCompareArea, capture.data(), current, work).moved);
    EXPECT_EQ(storage.compareStore(false), nullptr);
    EXPECT_FALSE(storage.drop(2, 7, capture.data(), current, work).moved);
    EXPECT_FALSE(storage.held(7).held);
    EXPECT_TRUE(fileBytes(slot(7)).empty());     // no half copy left behind
}

}  // namespace
}  // namespace kv
