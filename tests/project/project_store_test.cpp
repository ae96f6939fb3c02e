// Projects: names and their refusals, the view values as stored, the label file, and the handler
// list through which every part keeps its values.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "viewer/project/project_store.h"

namespace kv {
namespace {

constexpr RegRoot kLm = RegRoot::LocalMachine;

uint32_t storedDword(MemoryRegistry& reg, const std::string& key, const char* name) {
    uint32_t v = 0xDEAD;
    EXPECT_TRUE(regReadDword(reg, kLm, key, name, v)) << name;
    return v;
}

LabelEntry label(const char* name, int32_t channel, int32_t kind) {
    LabelEntry e;
    std::strcpy(e.name, name);
    e.channel = channel;
    e.kind = kind;
    return e;
}

TEST(ProjectNames, RulesOfTheThreeDialogs) {
    EXPECT_EQ(trimProjectName("bench  \t"), "bench");
    EXPECT_EQ(checkSaveName(""), kStrNoProjectName);
    EXPECT_EQ(checkSaveName(std::string(32, 'p')), 0);
    EXPECT_EQ(checkSaveName(std::string(33, 'p')), kStrProjectNameLong);
    EXPECT_EQ(checkSaveName("Default"), kStrNoDefaultName);
    EXPECT_EQ(checkSaveName("DEFAULT"), kStrNoDefaultName);   // the same registry key
    for (const char* bad : {"a\\b", "a/b", "c:", "what?", "x*", "\"q\"", "<", ">", "p|q", "tab\there"})
        EXPECT_EQ(checkSaveName(bad), kStrProjectNameChars) << bad;

    const std::vector<std::string> listed = {"Bench", "Field"};
    EXPECT_EQ(checkDeleteName("", listed), kStrNoProjectNameLoad);
    EXPECT_EQ(checkDeleteName("default", listed), kStrCannotDeleteDefault);
    EXPECT_EQ(checkDeleteName("Lab", listed), kStrCannotDeleteName);
    EXPECT_EQ(checkDeleteName("bench", listed), 0);
    EXPECT_EQ(findProject(listed, "FIELD"), 1);

    EXPECT_EQ(startupProjectName(-1, 0x1164), "Default");
    EXPECT_EQ(startupProjectName(0, 0x2136), "2136");
    EXPECT_EQ(projectKeyOf("Bench"), "SOFTWARE\\Ombix\\KV\\Project\\Bench");
    EXPECT_EQ(labelFilePath("C:\\KV", "Bench"), "C:\\KV\\Bench.SIG");

    EXPECT_EQ(sanitizeRowHeight(800), 800);
    EXPECT_EQ(sanitizeRowHeight(801), 50);
}

TEST(ProjectView, StoredUnderItsNamesAndReadBack) {
    MemoryRegistry reg;
    const std::string key = projectKeyOf("Bench");
    reg.createKey(kLm, key, "c");
    ProjectValues values(reg, key);
    ProjectView out;
    out.view.nameWidth = 2;   // raised to 5 before saving
    out.view.valueWidth = 90;
    out.view.channelWidth = 40;
    out.view.remarkWidth = 0;
    out.view.firstSample = 12345;
    out.view.firstRow = 7;
    out.view.zoomOut = 3;
    out.cursors.cursors[kCursorA].position = 500;
    out.cursors.cursors[kCursorE].position = 900;
    out.cursors.cursors[kCursorC].flags = kCursorFlagHidden;
    out.cursors.focus = kCursorD;
    out.displayFlags = kDisplayFlagInvert;
    ASSERT_TRUE(writeProjectView(values, out));

    EXPECT_EQ(storedDword(reg, key, "Remark Width"), 5u);
    EXPECT_EQ(storedDword(reg, key, "Zoom In"), static_cast<uint32_t>(-3));
    EXPECT_EQ(storedDword(reg, key, "Cursor C flag"), kCursorFlagHidden);

    ProjectView in;
    readProjectView(values, in);
    EXPECT_EQ(in.view.nameWidth, 5);
    EXPECT_EQ(in.view.firstSample, 12345);
    EXPECT_EQ(in.view.zoomIn, 0);
    EXPECT_EQ(in.view.zoomOut, 3);
    EXPECT_EQ(in.cursors.cursors[kCursorE].position, 900);
    EXPECT_EQ(in.cursors.cursors[kCursorC].flags, kCursorFlagHidden);
    EXPECT_EQ(in.cursors.focus, kCursorD);
    EXPECT_EQ(in.displayFlags, kDisplayFlagInvert);

    // Only the persisted fields reach a live pane.
    WaveView live;
    live.gridSpacing = 20;
    copyPersistedView(in.view, live);
    EXPECT_EQ(live.zoomOut, 3);
    EXPECT_EQ(live.gridSpacing, 20);
}

TEST(ProjectView, MissingOrUnusableValuesKeepDefaults) {
    MemoryRegistry reg;
    const std::string key = projectKeyOf("Old");
    reg.createKey(kLm, key, "c");
    ProjectValues values(reg, key);
    ProjectView defaults;
    defaults.view.nameWidth = 80;
    defaults.view.zoomOut = 2;

    ProjectView v = defaults;
    readProjectView(values, v);   // nothing stored
    EXPECT_EQ(v.view.nameWidth, 80);
    EXPECT_EQ(v.view.zoomIn, 1);  // a missing zoom gives zoom-in 1
    EXPECT_EQ(v.view.zoomOut, 0);
    EXPECT_EQ(v.cursors.cursors[kCursorTrigger].position, CursorSet().cursors[kCursorTrigger].position);

    struct ZoomCase {
        int32_t stored;
        int32_t in, out;
    };
    for (const ZoomCase& c : {ZoomCase{6, 6, 0}, ZoomCase{7, 1, 0}, ZoomCase{0, 0, 0}, ZoomCase{-10, 0, 10},
                              ZoomCase{-11, 1, 0}}) {
        regWriteDword(reg, kLm, key, "Zoom In", static_cast<uint32_t>(c.stored));
        readProjectView(values, v);
        EXPECT_EQ(v.view.zoomIn, c.in) << c.stored;
        EXPECT_EQ(v.view.zoomOut, c.out) << c.stored;
    }
    // A value of another type is not a value.
    reg.writeValue(kLm, key, "Zoom In", kRegSz, "4", 2);
    readProjectView(values, v);
    EXPECT_EQ(v.view.zoomIn, 1);

    v = defaults;
    regWriteDword(reg, kLm, key, "Name Width", 0x7FFFFFFF);       // the columns are summed
    regWriteDword(reg, kLm, key, "Value Width", static_cast<uint32_t>(-40));
    regWriteDword(reg, kLm, key, "Start Time", static_cast<uint32_t>(-5));
    regWriteDword(reg, kLm, key, "Cursor Focus", 9);
    regWriteDword(reg, kLm, key, "Cursor Trigger", 3);            // the trigger needs 16 samples before it
    regWriteDword(reg, kLm, key, "Cursor B", static_cast<uint32_t>(-8));
    readProjectView(values, v);
    EXPECT_EQ(v.view.nameWidth, kMaxColumnWidth);
    EXPECT_EQ(v.view.valueWidth, kMinColumnWidth);
    EXPECT_EQ(v.view.firstSample, 0);
    EXPECT_EQ(v.cursors.focus, defaults.cursors.focus);
    EXPECT_EQ(v.cursors.cursors[kCursorTrigger].position, kMinTriggerPosition);
    EXPECT_EQ(v.cursors.cursors[kCursorB].position, 0);

    // Older value names are read where the newer one is missing.
    regWriteDword(reg, kLm, key, "Ram Size", 3);
    EXPECT_EQ(values.dwordOr({"RAM Size", "Ram Size"}, -1), 3);
    regWriteDword(reg, kLm, key, "RAM Size", 5);
    EXPECT_EQ(values.dwordOr({"RAM Size", "Ram Size"}, -1), 5);
    std::string text;
    reg.writeValue(kLm, key, "Command Set", kRegSz, "ABCDEF", 6);   // no NUL: cut at the limit
    ASSERT_TRUE(values.getString("Command Set", text, 4));
    EXPECT_EQ(text, "ABCD");
}

TEST(LabelFile, WholeTablesOnly) {
    LabelTable t;
    t.entries[0] = label("CLK", 0, kLabelSingle);
    t.entries[1] = label("BUS", 4, kLabelFirstMember);
    t.entries[2] = label("BUS", 5, kLabelLastMember);
    t.entries[2].flags = kLabelInvert;
    const std::vector<uint8_t> bytes = writeLabelTable(t);
    ASSERT_EQ(bytes.size(), 4 * kLabelRecordBytes);

    LabelTable back;
    ASSERT_TRUE(parseLabelFile(bytes.data(), bytes.size(), back));
    EXPECT_EQ(back.count(), 3);
    EXPECT_STREQ(back.entries[1].name, "BUS");
    EXPECT_EQ(back.entries[2].flags, kLabelInvert);

    // Bytes after the end record are not the table's.
    std::vector<uint8_t> longer = bytes;
    longer.resize(longer.size() + 150, 0xEE);
    EXPECT_TRUE(parseLabelFile(longer.data(), longer.size(), back));

    const std::vector<uint8_t> empty = writeLabelTable(LabelTable{});
    LabelTable kept = back;
    EXPECT_TRUE(parseLabelFile(empty.data(), empty.size(), kept));
    EXPECT_EQ(kept.count(), 0);

    // Refused, leaving the table as it was: no end record, cut inside a record, an empty file, a
    // group without its last member, more than 200 entries.
    LabelTable held = back;
    EXPECT_FALSE(parseLabelFile(bytes.data(), 3 * kLabelRecordBytes, held));
    EXPECT_FALSE(parseLabelFile(bytes.data(), bytes.size() - 1, held));
    EXPECT_FALSE(parseLabelFile(nullptr, 500, held));
    std::vector<uint8_t> broken = bytes;
    writeLabelEntry(label("BUS", 5, 3), &broken[2 * kLabelRecordBytes]);
    EXPECT_FALSE(parseLabelFile(broken.data(), broken.size(), held));
    std::vector<uint8_t> many((kMaxLabels + 2) * kLabelRecordBytes);
    for (int i = 0; i <= kMaxLabels; ++i) writeLabelEntry(label("X", i % 64, kLabelSingle), &many[i * kLabelRecordBytes]);
    EXPECT_FALSE(parseLabelFile(many.data(), many.size(), held));
    EXPECT_STREQ(held.entries[0].name, "CLK");
}

bool saveHwid(ProjectValues& v) { return v.putDword("HWID", 0x1164); }
bool loadHwid(ProjectValues& v) { return v.dwordOr({"HWID"}, 0) == 0x1164; }
bool loadRefuses(ProjectValues&) { return false; }

TEST(ProjectHandlers, EachPartSavesAndLoadsItsOwnValues) {
    MemoryRegistry reg;
    const ProjectValueHandler handlers[] = {{"one", saveHwid, loadHwid}, {"two", nullptr, loadRefuses}};
    ASSERT_TRUE(saveProjectValues(reg, "Bench", handlers, 1));
    EXPECT_TRUE(loadProjectValues(reg, "Bench", handlers, 1));
    EXPECT_FALSE(loadProjectValues(reg, "Bench", handlers, 2));   // one part found its values unusable
    // A key that cannot be created: nothing is written.
    MemoryRegistry refused;
    refused.failAll = true;
    EXPECT_FALSE(saveProjectValues(refused, "Bench", handlers, 1));
}

}  // namespace
}  // namespace kv
