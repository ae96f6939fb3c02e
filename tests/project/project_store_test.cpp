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
    EXPECT_EQ(trimProjectName("  lead"), "  lead");
    EXPECT_EQ(checkSaveName(""), kStrNoProjectName);
    EXPECT_EQ(checkSaveName(std::string(32, 'p')), 0);
    EXPECT_EQ(checkSaveName(std::string(33, 'p')), kStrProjectNameLong);
    EXPECT_EQ(checkSaveName("Default"), kStrNoDefaultName);
    EXPECT_EQ(checkSaveName("DEFAULT"), kStrNoDefaultName);   // the same registry key
    EXPECT_EQ(checkSaveName("Default2"), 0);
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
    EXPECT_EQ(startupProjectName(3, 0x31), "0031");
    EXPECT_EQ(projectKeyOf("Bench"), "SOFTWARE\\Ombix\\KV\\Project\\Bench");
    EXPECT_EQ(labelFilePath("C:\\KV", "Bench"), "C:\\KV\\Bench.SIG");

    EXPECT_EQ(sanitizeRowHeight(0), 0);
    EXPECT_EQ(sanitizeRowHeight(800), 800);
    EXPECT_EQ(sanitizeRowHeight(801), 50);
    EXPECT_EQ(sanitizeRowHeight(-1), 50);
}

TEST(ProjectList, SubkeysInOrderWithoutDefault) {
    MemoryRegistry reg;
    EXPECT_TRUE(listProjects(reg).empty());   // no project key yet
    for (const char* n : {"Default", "Bench", "2136", "Field"}) reg.createKey(kLm, projectKeyOf(n), "c");
    const std::vector<std::string> names = listProjects(reg);
    EXPECT_EQ(names.size(), 3u);
    EXPECT_EQ(findProject(names, "Default"), -1);
    EXPECT_GE(findProject(names, "2136"), 0);
    reg.failAll = true;
    EXPECT_TRUE(listProjects(reg).empty());
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

    EXPECT_EQ(storedDword(reg, key, "Name Width"), 5u);
    EXPECT_EQ(storedDword(reg, key, "Remark Width"), 5u);
    EXPECT_EQ(storedDword(reg, key, "Start Time"), 12345u);
    EXPECT_EQ(storedDword(reg, key, "Zoom In"), static_cast<uint32_t>(-3));
    EXPECT_EQ(storedDword(reg, key, "Cursor A"), 500u);
    EXPECT_EQ(storedDword(reg, key, "Cursor C flag"), kCursorFlagHidden);
    EXPECT_EQ(storedDword(reg, key, "Cursor Focus"), static_cast<uint32_t>(kCursorD));
    EXPECT_EQ(storedDword(reg, key, "Flag"), kDisplayFlagInvert);

    ProjectView in;
    readProjectView(values, in);
    EXPECT_EQ(in.view.nameWidth, 5);
    EXPECT_EQ(in.view.valueWidth, 90);
    EXPECT_EQ(in.view.firstSample, 12345);
    EXPECT_EQ(in.view.firstRow, 7);
    EXPECT_EQ(in.view.zoomIn, 0);
    EXPECT_EQ(in.view.zoomOut, 3);
    EXPECT_EQ(in.cursors.cursors[kCursorE].position, 900);
    EXPECT_EQ(in.cursors.cursors[kCursorC].flags, kCursorFlagHidden);
    EXPECT_EQ(in.cursors.focus, kCursorD);
    EXPECT_EQ(in.displayFlags, kDisplayFlagInvert);

    // Only the persisted fields reach a live pane.
    WaveView live;
    live.gridSpacing = 20;
    live.paneIndex = 1;
    copyPersistedView(in.view, live);
    EXPECT_EQ(live.zoomOut, 3);
    EXPECT_EQ(live.firstSample, 12345);
    EXPECT_EQ(live.gridSpacing, 20);
    EXPECT_EQ(live.paneIndex, 1);
    CursorSet cursors;
    cursors.cursors[kCursorA].penIndex = 9;
    cursors.measureMode = 2;
    copyPersistedCursors(in.cursors, cursors);
    EXPECT_EQ(cursors.cursors[kCursorA].position, 500);
    EXPECT_EQ(cursors.cursors[kCursorA].penIndex, 9);
    EXPECT_EQ(cursors.measureMode, 2);
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
    uint32_t depth = 0;
    EXPECT_FALSE(values.getDword({"RAM Size", "Ram Size"}, depth));
    regWriteDword(reg, kLm, key, "Ram Size", 3);
    EXPECT_EQ(values.dwordOr({"RAM Size", "Ram Size"}, -1), 3);
    regWriteDword(reg, kLm, key, "RAM Size", 5);
    EXPECT_EQ(values.dwordOr({"RAM Size", "Ram Size"}, -1), 5);
    std::string text;
    reg.writeValue(kLm, key, "Command Set", kRegSz, "I2C\0junk", 8);
    ASSERT_TRUE(values.getString("Command Set", text, 260));
    EXPECT_EQ(text, "I2C");
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
    LabelTable t2;
    EXPECT_TRUE(parseLabelFile(longer.data(), longer.size(), t2));
    EXPECT_EQ(t2.count(), 3);

    const std::vector<uint8_t> empty = writeLabelTable(LabelTable{});
    LabelTable kept = back;
    EXPECT_TRUE(parseLabelFile(empty.data(), empty.size(), kept));
    EXPECT_EQ(kept.count(), 0);

    // Refused, leaving the table as it was: no end record, cut inside a record, an empty file, a
    // group without its last member, more than 200 entries.
    LabelTable held = back;
    EXPECT_FALSE(parseLabelFile(bytes.data(), 3 * kLabelRecordBytes, held));
    EXPECT_FALSE(parseLabelFile(bytes.data(), bytes.size() - 1, held));
    EXPECT_FALSE(parseLabelFile(bytes.data(), 0, held));
    EXPECT_FALSE(parseLabelFile(nullptr, 500, held));
    std::vector<uint8_t> broken = bytes;
    writeLabelEntry(label("BUS", 5, 3), &broken[2 * kLabelRecordBytes]);
    EXPECT_FALSE(parseLabelFile(broken.data(), broken.size(), held));
    std::vector<uint8_t> many((kMaxLabels + 2) * kLabelRecordBytes);
    for (int i = 0; i <= kMaxLabels; ++i) writeLabelEntry(label("X", i % 64, kLabelSingle), &many[i * kLabelRecordBytes]);
    EXPECT_FALSE(parseLabelFile(many.data(), many.size(), held));
    EXPECT_EQ(held.count(), 3);
    EXPECT_STREQ(held.entries[0].name, "CLK");
}

int g_calls[4];
bool saveFirst(ProjectValues& v) { return ++g_calls[0], v.putDword("HWID", 0x1164); }
bool saveSecond(ProjectValues& v) { return ++g_calls[1], v.putString("Command Set", "SPI flash"); }
bool loadFirst(ProjectValues& v) { return ++g_calls[2], v.dwordOr({"HWID"}, 0) == 0x1164; }
bool loadRefuses(ProjectValues&) { return ++g_calls[3], false; }

TEST(ProjectHandlers, EachPartSavesAndLoadsItsOwnValues) {
    MemoryRegistry reg;
    const ProjectValueHandler handlers[] = {{"one", saveFirst, loadFirst}, {"two", saveSecond, nullptr}};
    std::memset(g_calls, 0, sizeof g_calls);
    ASSERT_TRUE(saveProjectValues(reg, "Bench", handlers, 2));
    EXPECT_EQ(storedDword(reg, projectKeyOf("Bench"), "HWID"), 0x1164u);
    EXPECT_TRUE(loadProjectValues(reg, "Bench", handlers, 2));
    EXPECT_EQ(g_calls[0] + g_calls[1] + g_calls[2], 3);

    const ProjectValueHandler refusing[] = {{"one", nullptr, loadRefuses}, {"two", nullptr, loadFirst}};
    EXPECT_FALSE(loadProjectValues(reg, "Bench", refusing, 2));
    EXPECT_EQ(g_calls[2], 2);   // the others still load

    // A key that cannot be created: nothing is written.
    MemoryRegistry refused;
    refused.failAll = true;
    std::memset(g_calls, 0, sizeof g_calls);
    EXPECT_FALSE(saveProjectValues(refused, "Bench", handlers, 2));
    EXPECT_EQ(g_calls[0] + g_calls[1], 0);
}

}  // namespace
}  // namespace kv
