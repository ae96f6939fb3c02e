// The label table: stored form, name rules and every label operation.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "viewer/display/label_table.h"

namespace kv {
namespace {

std::vector<std::string> names(const LabelTable& t) {
    std::vector<std::string> out;
    for (const LabelRow& r : labelRows(t)) out.push_back(t.entries[r.first].name);
    return out;
}

std::vector<int32_t> kinds(const LabelTable& t, const LabelRow& r) {
    std::vector<int32_t> out;
    for (int i = r.first; i <= r.last; ++i) out.push_back(t.entries[i].kind);
    return out;
}

LabelState withChannels(int n) {
    LabelState s;
    EXPECT_EQ(addAllLabels(s, n, 0, true), 0);
    s.undoSaved = false;
    return s;
}

std::vector<std::string> channelNames(int from, int to) {
    std::vector<std::string> out;
    for (int c = from; c <= to; ++c) out.push_back(defaultChannelName(c));
    return out;
}

// --- stored form ---

TEST(LabelRecord, StoredFieldByFieldLittleEndianIn100Bytes) {
    LabelEntry e;
    e.channel = 0x01020304;
    e.value = -2;
    e.format = kFormatBin;
    std::strcpy(e.name, "DATA");
    std::strcpy(e.compiledName, "OLD");
    e.colorIndex = 7;
    e.rowButton = &e;
    e.kind = kLabelLastMember;
    e.flags = kLabelSpi | 16u << kLabelParamShift | kLabelSpiFalling;
    e.height = 40u << 16;
    e.baud = 115200;
    uint8_t b[kLabelRecordBytes];
    std::memset(b, 0xEE, sizeof b);
    writeLabelEntry(e, b);
    EXPECT_EQ(b[0], 0x04);
    EXPECT_EQ(b[3], 0x01);
    EXPECT_EQ(b[4], 0xFE);
    EXPECT_EQ(b[7], 0xFF);
    EXPECT_EQ(b[8], 3);
    EXPECT_STREQ(reinterpret_cast<char*>(b + 12), "DATA");
    EXPECT_STREQ(reinterpret_cast<char*>(b + 12 + kCompiledNameOffset), "OLD");
    EXPECT_EQ(b[76], 7);
    for (int i = 80; i < 84; ++i) EXPECT_EQ(b[i], 0) << "row button is meaningless in a file";
    EXPECT_EQ(b[84] | b[85] << 8, 9999);
    EXPECT_EQ(b[90], 0x10);
    EXPECT_EQ(b[91], 0x02);
    EXPECT_EQ(b[94], 40);
    EXPECT_EQ(b[96] | b[97] << 8 | b[98] << 16, 115200);

    const LabelEntry r = readLabelEntry(b);
    EXPECT_EQ(r.channel, e.channel);
    EXPECT_EQ(r.value, -2);
    EXPECT_STREQ(r.name, "DATA");
    EXPECT_STREQ(r.compiledName, "OLD");
    EXPECT_EQ(r.rowButton, nullptr);
    EXPECT_EQ(r.kind, kLabelLastMember);
    EXPECT_EQ(r.flags, e.flags);
    EXPECT_EQ(r.height, e.height);
    EXPECT_EQ(r.baud, 115200);
}

TEST(LabelRecord, LongNamesKeepTheNameWholeAndCutTheCompiledName) {
    LabelEntry e;
    const std::string n32(32, 'N'), c32(32, 'C');
    std::strcpy(e.name, n32.c_str());
    std::strcpy(e.compiledName, c32.c_str());
    e.kind = kLabelSingle;
    uint8_t b[kLabelRecordBytes];
    writeLabelEntry(e, b);
    EXPECT_EQ(b[12 + 32], 0) << "the name keeps its NUL";
    EXPECT_EQ(b[12 + 63], 0) << "the compiled name keeps its NUL";
    const LabelEntry r = readLabelEntry(b);
    EXPECT_EQ(std::string(r.name), n32);
    EXPECT_EQ(std::string(r.compiledName), c32.substr(0, kStoredCompiledNameMax));
    // A cut compiled name never equals the name, so the label is recompiled after loading.
    std::strcpy(e.compiledName, n32.c_str());
    writeLabelEntry(e, b);
    EXPECT_STRNE(readLabelEntry(b).compiledName, readLabelEntry(b).name);
}

TEST(LabelRecord, NameWithoutNulFromAFileIsCutAt32) {
    uint8_t b[kLabelRecordBytes];
    std::memset(b, 'x', sizeof b);
    const LabelEntry r = readLabelEntry(b);
    EXPECT_EQ(std::strlen(r.name), 32u);
    EXPECT_EQ(std::strlen(r.compiledName), kStoredCompiledNameMax);
}

TEST(LabelRecord, TableRoundTripsAndBadTablesAreRefused) {
    LabelState s = withChannels(6);
    ASSERT_EQ(combineLabels(s, "BUS", {"CH-00", "CH-01", "CH-02"}, {}), 0);
    const std::vector<uint8_t> bytes = writeLabelTable(s.table);
    ASSERT_EQ(bytes.size(), (s.table.count() + 1) * kLabelRecordBytes);
    LabelTable back;
    ASSERT_TRUE(readLabelTable(bytes.data(), bytes.size() / kLabelRecordBytes, back));
    EXPECT_EQ(names(back), names(s.table));
    EXPECT_EQ(back.count(), 6);

    LabelTable keep = back;
    auto corrupt = [&](int entry, size_t offset, uint32_t v) {
        std::vector<uint8_t> b = bytes;
        std::memcpy(&b[entry * kLabelRecordBytes + offset], &v, 4);  // the test host is little-endian
        return readLabelTable(b.data(), b.size() / kLabelRecordBytes, keep);
    };
    EXPECT_FALSE(corrupt(0, 84, kLabelSingle)) << "a group interrupted by a single label";
    EXPECT_FALSE(corrupt(2, 84, kLabelSingle)) << "a group without its last member";
    EXPECT_FALSE(corrupt(1, 84, 7)) << "a member out of order";
    EXPECT_FALSE(corrupt(3, 84, kLabelLastMember)) << "a last member without a group";
    EXPECT_FALSE(corrupt(4, 0, 64)) << "a channel that is no bit of a sample";
    EXPECT_FALSE(corrupt(4, 0, static_cast<uint32_t>(-1)));
    EXPECT_EQ(names(keep), names(s.table)) << "a refused file leaves the table as it was";

    // More than 200 entries never fit.
    std::vector<uint8_t> many(201 * kLabelRecordBytes);
    LabelEntry e;
    e.kind = kLabelSingle;
    for (int i = 0; i < 201; ++i) writeLabelEntry(e, &many[i * kLabelRecordBytes]);
    EXPECT_FALSE(readLabelTable(many.data(), 201, keep));
    EXPECT_TRUE(readLabelTable(many.data(), 200, keep));
    EXPECT_EQ(keep.count(), 200);
    EXPECT_EQ(keep.entries[200].kind, kLabelEnd) << "a full table is still ended";
}

// --- names ---

TEST(LabelNames, RulesAndDefaults) {
    EXPECT_FALSE(validLabelName(""));
    EXPECT_TRUE(validLabelName(std::string(32, 'a')));
    EXPECT_FALSE(validLabelName(std::string(33, 'a')));
    EXPECT_TRUE(validGroupName(std::string(31, 'a')));
    EXPECT_FALSE(validGroupName(std::string(32, 'a')));
    EXPECT_EQ(defaultChannelName(3), "CH-03");
    EXPECT_EQ(defaultChannelName(63), "CH-63");
    EXPECT_EQ(defaultScopeName(2), "DSO_CH2");
    EXPECT_EQ(memberName("ADDR", 7), "ADDR-07");
    EXPECT_EQ(memberName(std::string(30, 'g'), 0), std::string(28, 'g') + "-00");
}

TEST(LabelNames, CharacterCheckForCommandSets) {
    EXPECT_EQ(checkNameCharacters("DATA_0-7 x"), 0);
    EXPECT_EQ(checkNameCharacters(""), kStrNameLength);
    EXPECT_EQ(checkNameCharacters(std::string(33, 'a')), kStrNameLength);
    for (char c : std::string(",{}&%#^*+`;:'\"?\t<>|\\="))
        EXPECT_EQ(checkNameCharacters(std::string("A") + c), kStrSpecialCharacter) << c;
}

TEST(LabelRows, GeometryFollowsRowHeightsAndTheFirstShownRow) {
    LabelState s = withChannels(6);
    ASSERT_EQ(combineLabels(s, "G", channelNames(0, 2), {}), 0);  // rows: G, CH-03, CH-04, CH-05
    s.table.entries[3].height = 40u << 16;                        // CH-03 is 40 high
    EXPECT_EQ(rowTop(s.table, 0, 20, 2), 0);
    EXPECT_EQ(rowTop(s.table, 0, 20, 3), 20);
    EXPECT_EQ(rowTop(s.table, 0, 20, 4), 60);
    EXPECT_EQ(rowTop(s.table, 1, 20, 0), -1);
    EXPECT_EQ(rowTop(s.table, 1, 20, 5), 60);
    EXPECT_EQ(entryAtY(s.table, 0, 20, 19), 0);
    EXPECT_EQ(entryAtY(s.table, 0, 20, 59), 3);
    EXPECT_EQ(entryAtY(s.table, 0, 20, 60), 4);
    EXPECT_EQ(entryAtY(s.table, 2, 20, 0), 4);
    EXPECT_EQ(entryAtY(s.table, 0, 20, 100), -1);
    EXPECT_EQ(entryAtY(s.table, 0, 20, -1), -1);
}

// --- adding ---

TEST(LabelAdd, SingleLabelChecksNameChannelUniquenessAndRoom) {
    LabelState s;
    EXPECT_EQ(addSingleLabel(s, "", 0, 1, 32), kStrBadName);
    EXPECT_EQ(addSingleLabel(s, std::string(33, 'x'), 0, 1, 32), kStrBadName);
    EXPECT_EQ(addSingleLabel(s, "CLK", 32, 1, 32), kStrChannelRange);
    EXPECT_EQ(addSingleLabel(s, "CLK", -1, 1, 32), kStrChannelRange);
    EXPECT_EQ(s.table.count(), 0);
    EXPECT_FALSE(s.undoSaved) << "refusals change nothing";
    EXPECT_EQ(addSingleLabel(s, std::string(32, 'x'), 31, 5, 32), 0);
    EXPECT_EQ(addSingleLabel(s, std::string(32, 'x'), 1, 5, 32), kStrNameInUse);
    const LabelEntry& e = s.table.entries[0];
    EXPECT_EQ(e.kind, kLabelSingle);
    EXPECT_EQ(e.channel, 31);
    EXPECT_EQ(e.colorIndex, 5);

    LabelState full;
    for (int i = 0; i < kMaxLabels; ++i) ASSERT_EQ(addSingleLabel(full, "L" + std::to_string(i), i % 64, 1, 64), 0);
    EXPECT_EQ(addSingleLabel(full, "ONE MORE", 0, 1, 64), kStrTooManyLabels);
    EXPECT_EQ(full.table.count(), kMaxLabels);
}

TEST(LabelAdd, AddAllNamesEveryChannelAndScopeChannel) {
    LabelState s;
    ASSERT_EQ(addAllLabels(s, 64, 2, false), 0);
    ASSERT_EQ(s.table.count(), 66);
    EXPECT_STREQ(s.table.entries[0].name, "CH-00");
    EXPECT_STREQ(s.table.entries[63].name, "CH-63");
    EXPECT_EQ(s.table.entries[63].channel, 63);
    EXPECT_STREQ(s.table.entries[64].name, "DSO_CH1");
    EXPECT_TRUE(s.table.entries[64].flags & kLabelScope);
    EXPECT_NE(s.table.entries[0].colorIndex, 0) << "colour 0 is the background";

    // Replacing starts afresh; appending leaves out names already there.
    ASSERT_EQ(addSingleLabel(s, "EXTRA", 3, 1, 64), 0);
    ASSERT_EQ(addAllLabels(s, 16, 0, true), 0);
    EXPECT_EQ(s.table.count(), 16);
    ASSERT_EQ(addSingleLabel(s, "EXTRA", 3, 1, 64), 0);
    ASSERT_EQ(addAllLabels(s, 32, 0, false), 0);
    EXPECT_EQ(s.table.count(), 33);
    EXPECT_EQ(findLabel(s.table, "EXTRA"), 16);
    EXPECT_STREQ(s.table.entries[17].name, "CH-16");
}

TEST(LabelAdd, AddAllIntoAFullTableIsRefusedWhole) {
    LabelState s;
    for (int i = 0; i < kMaxLabels; ++i) ASSERT_EQ(addSingleLabel(s, "L" + std::to_string(i), 0, 1, 64), 0);
    s.undoSaved = false;
    EXPECT_EQ(addAllLabels(s, 64, 0, false), kStrTooManyLabels);
    EXPECT_EQ(s.table.count(), kMaxLabels);
    EXPECT_EQ(s.table.entries[0].name, std::string("L0"));
    EXPECT_FALSE(s.undoSaved);
    // 150 labels and 64 channels do not fit either: nothing is added half-way.
    LabelState t;
    for (int i = 0; i < 150; ++i) ASSERT_EQ(addSingleLabel(t, "L" + std::to_string(i), 0, 1, 64), 0);
    EXPECT_EQ(addAllLabels(t, 64, 0, false), kStrTooManyLabels);
    EXPECT_EQ(t.table.count(), 150);
    EXPECT_EQ(addAllLabels(t, 64, 0, true), 0);
    EXPECT_EQ(t.table.count(), 64);
}

TEST(LabelAdd, LabelSetTakesTheCheckedPods) {
    LabelState s;
    ASSERT_EQ(addLabelSet(s, 0b1010, 64, 16, false), 0);  // POD B and POD D
    ASSERT_EQ(s.table.count(), 32);
    EXPECT_STREQ(s.table.entries[0].name, "CH-16");
    EXPECT_STREQ(s.table.entries[15].name, "CH-31");
    EXPECT_STREQ(s.table.entries[16].name, "CH-48");
    // A pod beyond the device's channels adds nothing.
    LabelState t;
    ASSERT_EQ(addLabelSet(t, 0b1000, 36, 16, false), 0);
    EXPECT_EQ(t.table.count(), 0);
    ASSERT_EQ(addLabelSet(t, 0b0100, 36, 16, false), 0);
    EXPECT_EQ(names(t.table), channelNames(32, 35));
    ASSERT_EQ(addLabelSet(t, 0b0001, 36, 16, true), 0);
    EXPECT_EQ(names(t.table), channelNames(0, 15));
}

// --- combine, arrange, decompose ---

TEST(LabelCombine, BuildsTheGroupMostSignificantFirstAtTheTop) {
    LabelState s = withChannels(8);
    s.table.entries[5].flags |= kLabelSelected;
    // The destination list reads from its LSB end: CH-02 is bit 0.
    ASSERT_EQ(combineLabels(s, "NIB", {"CH-02", "CH-03", "CH-05"}, channelNames(0, 1)), 0);
    const std::vector<LabelRow> rows = labelRows(s.table);
    ASSERT_EQ(rows.size(), 6u);
    EXPECT_EQ(rows[0].first, 0);
    EXPECT_EQ(rows[0].last, 2);
    EXPECT_EQ(rowChannels(s.table, rows[0]), (std::vector<int32_t>{5, 3, 2}));
    EXPECT_EQ(kinds(s.table, rows[0]), (std::vector<int32_t>{2, 3, 9999}));
    for (int i = 0; i < 3; ++i) EXPECT_STREQ(s.table.entries[i].name, "NIB");
    EXPECT_EQ(names(s.table), (std::vector<std::string>{"NIB", "CH-00", "CH-01", "CH-04", "CH-06", "CH-07"}));
    for (int i = 0; i < s.table.count(); ++i) EXPECT_FALSE(s.table.entries[i].flags & kLabelSelected);
}

TEST(LabelCombine, RefusalsInOrder) {
    LabelState s = withChannels(40);
    const LabelTable before = s.table;
    EXPECT_EQ(combineLabels(s, "", channelNames(0, 1), {}), kStrBadGroupName);
    EXPECT_EQ(combineLabels(s, std::string(32, 'G'), channelNames(0, 1), {}), kStrBadGroupName);
    EXPECT_EQ(combineLabels(s, "G", channelNames(0, 32), {}), kStrTooManyChannels);
    EXPECT_EQ(combineLabels(s, "CH-39", channelNames(0, 1), {"CH-39"}), kStrDuplicateName);
    EXPECT_EQ(combineLabels(s, "CH-39", channelNames(0, 1), {}), kStrDuplicateName) << "a label outside both lists";
    EXPECT_EQ(combineLabels(s, "G", {"CH-00"}, {}), kStrTooFewChannels);
    EXPECT_EQ(combineLabels(s, "G", {}, {}), kStrTooFewChannels);
    EXPECT_EQ(names(s.table), names(before));
    EXPECT_FALSE(s.undoSaved);

    EXPECT_EQ(combineLabels(s, std::string(31, 'G'), channelNames(0, 31), channelNames(32, 39)), 0);
    EXPECT_EQ(labelRows(s.table)[0].size(), 32);
    // The group may take the name of one of its own members.
    LabelState t = withChannels(4);
    EXPECT_EQ(combineLabels(t, "CH-00", channelNames(0, 1), channelNames(2, 3)), 0);
}

TEST(LabelCombine, ChannelLimitCountsTheMembersOfCombinedGroups) {
    LabelState s = withChannels(40);
    ASSERT_EQ(combineLabels(s, "A", channelNames(0, 19), {}), 0);
    ASSERT_EQ(combineLabels(s, "B", channelNames(20, 39), {}), 0);
    EXPECT_EQ(combineLabels(s, "AB", {"A", "B"}, {}), kStrTooManyChannels) << "40 channels in one group";
    EXPECT_EQ(combineLabels(s, "B2", {"B", "CH-99"}, {}), kStrTooFewChannels) << "one existing item";
}

TEST(LabelCombine, ANewGroupDropsTheDecodeSettingsOfItsParts) {
    LabelState s = withChannels(3);
    ASSERT_EQ(combineLabels(s, "I2C", channelNames(0, 1), {}), 0);
    LabelSettings set = labelSettings(s.table, 0);
    set.signalType = kSigI2c;
    ASSERT_EQ(configureLabel(s, 0, set, 3), 0);
    ASSERT_TRUE(s.table.entries[1].flags & kLabelI2c);
    ASSERT_EQ(combineLabels(s, "THREE", {"CH-02", "I2C"}, {}), 0);
    for (int i = 0; i < 3; ++i) EXPECT_FALSE(s.table.entries[i].flags & kLabelDecodeFlags) << i;
}

TEST(LabelDecompose, MembersAreNamedByBitWeight) {
    LabelState s = withChannels(4);
    const std::string g30(30, 'g');
    ASSERT_EQ(combineLabels(s, g30, channelNames(0, 2), {"CH-03"}), 0);
    EXPECT_EQ(decomposeLabel(s, 3), kStrNotGroup);
    ASSERT_EQ(decomposeLabel(s, 1), 0);
    const std::string cut(28, 'g');
    EXPECT_EQ(names(s.table), (std::vector<std::string>{cut + "-02", cut + "-01", cut + "-00", "CH-03"}));
    EXPECT_EQ(s.table.entries[2].channel, 0) << "bit 0 is the group's least significant member";
    for (int i = 0; i < 4; ++i) EXPECT_EQ(s.table.entries[i].kind, kLabelSingle);
}

TEST(LabelDecompose, RefusedWhenAMemberNameIsTaken) {
    LabelState s = withChannels(3);
    ASSERT_EQ(combineLabels(s, "D", channelNames(0, 1), {}), 0);
    ASSERT_EQ(renameLabel(s, 2, "D-00"), 0);
    EXPECT_EQ(decomposeLabel(s, 0), kStrNameInUse);
    EXPECT_EQ(labelRows(s.table).size(), 2u);
}

TEST(LabelArrange, ReordersMembersInPlace) {
    LabelState s = withChannels(5);
    ASSERT_EQ(combineLabels(s, "G", channelNames(0, 2), {}), 0);  // channels 2,1,0
    ASSERT_EQ(sortLabels(s, true), 0);                             // G last
    const int at = findLabel(s.table, "G");
    ASSERT_EQ(at, 2);
    EXPECT_EQ(arrangeGroup(s, 0, "G", {0}), kStrNotGroup);
    EXPECT_EQ(arrangeGroup(s, at, "G", {0, 1}), kStrTooFewChannels);
    EXPECT_EQ(arrangeGroup(s, at, "G", {0, 0, 1}), kStrTooFewChannels);
    EXPECT_EQ(arrangeGroup(s, at, std::string(32, 'x'), {0, 1, 2}), kStrBadGroupName);
    EXPECT_EQ(arrangeGroup(s, at, "CH-03", {0, 1, 2}), kStrDuplicateName);
    // LSB first: member 0 (channel 2) becomes bit 0, so the group reads 0,1,2 from the top.
    ASSERT_EQ(arrangeGroup(s, at, "H", {0, 1, 2}), 0);
    const LabelRow r = rowOfEntry(s.table, at);
    EXPECT_EQ(rowChannels(s.table, r), (std::vector<int32_t>{0, 1, 2}));
    EXPECT_EQ(kinds(s.table, r), (std::vector<int32_t>{2, 3, 9999}));
    EXPECT_STREQ(s.table.entries[at].name, "H");
}

// --- other operations ---

TEST(LabelOps, DeleteRemovesWholeRows) {
    LabelState s = withChannels(6);
    ASSERT_EQ(combineLabels(s, "G", channelNames(0, 2), {}), 0);
    ASSERT_EQ(deleteLabel(s, 1), 0);
    EXPECT_EQ(names(s.table), channelNames(3, 5));
    EXPECT_EQ(deleteLabel(s, 50), 0);
    EXPECT_EQ(s.table.count(), 3);
    ASSERT_EQ(deleteAllLabels(s), 0);
    EXPECT_EQ(s.table.count(), 0);
}

TEST(LabelOps, DeleteUnusedRemovesRowsOutsideTheDevice) {
    LabelState s = withChannels(40);
    ASSERT_EQ(combineLabels(s, "MIX", {"CH-03", "CH-35"}, {}), 0);
    ASSERT_EQ(addAllLabels(s, 0, 1, false), 0);
    const int gone = deleteLabelsWhere(s, [](const LabelTable& t, const LabelRow& r) { return rowOutsideDevice(t, r, 32); });
    EXPECT_EQ(gone, 8);  // CH-32..CH-39 less CH-35, and the group holding channel 35
    EXPECT_EQ(findLabel(s.table, "MIX"), -1);
    EXPECT_GE(findLabel(s.table, "DSO_CH1"), 0) << "scope rows are not device channels";
    EXPECT_EQ(s.table.count(), 32);
}

TEST(LabelOps, RenameKeepsNamesUnique) {
    LabelState s = withChannels(4);
    ASSERT_EQ(combineLabels(s, "G", channelNames(0, 1), {}), 0);
    EXPECT_EQ(renameLabel(s, 2, "CH-03"), kStrNameInUse);
    EXPECT_EQ(renameLabel(s, 2, ""), kStrBadName);
    EXPECT_EQ(renameLabel(s, 2, std::string(33, 'n')), kStrBadName);
    EXPECT_EQ(renameLabel(s, 2, std::string(32, 'n')), 0);
    EXPECT_EQ(renameLabel(s, 0, std::string(32, 'g')), kStrBadGroupName);
    EXPECT_EQ(renameLabel(s, 1, "BUS"), 0);
    EXPECT_STREQ(s.table.entries[0].name, "BUS");
    EXPECT_STREQ(s.table.entries[1].name, "BUS");
}

TEST(LabelOps, SortMovesRowsWholeInBothDirections) {
    LabelState s;
    for (const char* n : {"b", "B", "a", "c"}) ASSERT_EQ(addSingleLabel(s, n, 0, 1, 8), 0);
    ASSERT_EQ(addAllLabels(s, 3, 0, false), 0);
    ASSERT_EQ(combineLabels(s, "bb", channelNames(0, 2), {}), 0);
    ASSERT_EQ(sortLabels(s, true), 0);
    EXPECT_EQ(names(s.table), (std::vector<std::string>{"B", "a", "b", "bb", "c"})) << "byte order: upper case first";
    ASSERT_EQ(sortLabels(s, false), 0);
    EXPECT_EQ(names(s.table), (std::vector<std::string>{"c", "bb", "b", "a", "B"}));
    const LabelRow g = labelRows(s.table)[1];
    EXPECT_EQ(kinds(s.table, g), (std::vector<int32_t>{2, 3, 9999})) << "members keep their order descending too";
}

TEST(LabelOps, ModesDecideWhatAClickDoes) {
    LabelState s = withChannels(3);
    EXPECT_FALSE(clickLabelName(s, 0));
    s.mode = LabelMode::Select;
    EXPECT_TRUE(clickLabelName(s, 1));
    EXPECT_TRUE(s.table.entries[1].flags & kLabelSelected);
    EXPECT_TRUE(clickLabelName(s, 1));
    EXPECT_FALSE(s.table.entries[1].flags & kLabelSelected);
    s.mode = LabelMode::Delete;
    EXPECT_TRUE(clickLabelName(s, 1));
    EXPECT_EQ(names(s.table), (std::vector<std::string>{"CH-00", "CH-02"}));
}

TEST(LabelOps, UndoRestoresTheTableBeforeTheLastOperation) {
    LabelState s = withChannels(4);
    EXPECT_FALSE(undoLabels(s)) << "nothing saved: the shell beeps";
    s.table.entries[0].rowButton = &s;
    ASSERT_EQ(combineLabels(s, "G", channelNames(0, 3), {}), 0);
    const uint32_t rev = s.revision;
    ASSERT_TRUE(undoLabels(s));
    EXPECT_EQ(names(s.table), channelNames(0, 3));
    EXPECT_EQ(s.table.entries[0].rowButton, nullptr) << "buttons are made anew after undo";
    EXPECT_NE(s.revision, rev);
    EXPECT_FALSE(undoLabels(s)) << "one undo copy";
}

// --- Configure Label ---

TEST(LabelConfigure, SignalTypesOfferedBySize) {
    LabelState s = withChannels(12);
    ASSERT_EQ(combineLabels(s, "TWO", channelNames(0, 1), {}), 0);
    ASSERT_EQ(combineLabels(s, "THREE", channelNames(2, 4), {}), 0);
    ASSERT_EQ(combineLabels(s, "FOUR", channelNames(5, 8), {}), 0);
    ASSERT_EQ(addAllLabels(s, 0, 1, false), 0);
    EXPECT_EQ(signalTypeChoices(s.table, findLabel(s.table, "TWO")), (std::vector<int32_t>{kSigNormal, kSigI2c}));
    EXPECT_EQ(signalTypeChoices(s.table, findLabel(s.table, "THREE")),
              (std::vector<int32_t>{kSigNormal, kSigI2s, kSigSpi}));
    EXPECT_EQ(signalTypeChoices(s.table, findLabel(s.table, "FOUR")), (std::vector<int32_t>{kSigNormal}));
    EXPECT_EQ(signalTypeChoices(s.table, findLabel(s.table, "CH-09")), (std::vector<int32_t>{kSigNormal, kSigUart}));
    EXPECT_EQ(signalTypeChoices(s.table, findLabel(s.table, "DSO_CH1")),
              (std::vector<int32_t>{kSigNormal, kSigUart, kSigScope}));
}

TEST(LabelConfigure, ProtocolSettingsGoToFlagsAndBaud) {
    LabelState s = withChannels(8);
    ASSERT_EQ(combineLabels(s, "SPI", channelNames(0, 2), {}), 0);
    const int uart = findLabel(s.table, "CH-05");
    LabelSettings u = labelSettings(s.table, uart);
    u.signalType = kSigUart;
    u.uartAuto = false;
    u.uartProtocol = 9;
    u.baud = 115200;
    u.invert = true;
    u.format = kFormatAsc;
    ASSERT_EQ(configureLabel(s, uart, u, 8), 0);
    const LabelEntry& e = s.table.entries[uart];
    EXPECT_EQ(e.flags, kLabelUart | 9u << 16 | kLabelExplicit | kLabelInvert);
    EXPECT_EQ(e.baud, 115200);
    EXPECT_EQ(e.format, kFormatAsc);
    const LabelSettings back = labelSettings(s.table, uart);
    EXPECT_EQ(back.signalType, kSigUart);
    EXPECT_FALSE(back.uartAuto);
    EXPECT_EQ(back.uartProtocol, 9);

    LabelSettings p = labelSettings(s.table, 0);
    p.signalType = kSigSpi;
    p.spiBits = 16;
    p.spiCsHigh = true;
    p.spiFalling = true;
    ASSERT_EQ(configureLabel(s, 0, p, 8), 0);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s.table.entries[i].flags, kLabelSpi | 16u << 16 | kLabelExplicit | kLabelSpiFalling);

    p.signalType = kSigI2s;
    p.i2sBits = 25;
    EXPECT_EQ(configureLabel(s, 0, p, 8), kStrI2sBits);
    p.i2sBits = 7;
    EXPECT_EQ(configureLabel(s, 0, p, 8), kStrI2sBits);
    p.i2sBits = 24;
    ASSERT_EQ(configureLabel(s, 0, p, 8), 0);
    EXPECT_EQ(s.table.entries[2].flags, kLabelI2s | 24u << 16);

    // A type the label does not offer falls back to plain.
    p.signalType = kSigI2c;
    ASSERT_EQ(configureLabel(s, 0, p, 8), 0);
    EXPECT_EQ(s.table.entries[2].flags & kLabelDecodeFlags, 0u);
}

TEST(LabelConfigure, NameAndChannelChecks) {
    LabelState s = withChannels(4);
    LabelSettings c = labelSettings(s.table, 1);
    c.channel = 4;
    EXPECT_EQ(configureLabel(s, 1, c, 4), kStrChannelRange);
    c.channel = 3;
    c.name = "CH-02";
    EXPECT_EQ(configureLabel(s, 1, c, 4), kStrNameInUse);
    c.name = "";
    EXPECT_EQ(configureLabel(s, 1, c, 4), kStrBadName);
    c.name = "CLK";
    ASSERT_EQ(configureLabel(s, 1, c, 4), 0);
    EXPECT_EQ(s.table.entries[1].channel, 3);
    EXPECT_STREQ(s.table.entries[1].name, "CLK");
}

}  // namespace
}  // namespace kv
