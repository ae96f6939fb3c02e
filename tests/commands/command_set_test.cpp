// Command sets: file text, Add Command checks, compilation and the naming of states.
#include <gtest/gtest.h>

#include <algorithm>

#include "viewer/commands/command_set.h"

namespace kv {
namespace {

Command make(const std::string& name, const std::string& l1, const std::string& v1, const std::string& l2 = "",
             const std::string& v2 = "", const std::string& l3 = "", const std::string& v3 = "",
             const std::string& desc = "", bool sub = false) {
    Command c;
    c.name = name;
    c.label[0] = l1, c.value[0] = v1, c.label[1] = l2, c.value[1] = v2, c.label[2] = l3, c.value[2] = v3;
    c.description = desc;
    c.subCommand = sub;
    return c;
}

// CH-00..CH-07 single labels, then a group "BUS" of channels 3..0 (channel 3 most significant).
LabelTable table() {
    LabelState s;
    EXPECT_EQ(addAllLabels(s, 8, 0, true), 0);
    EXPECT_EQ(combineLabels(s, "BUS", {"CH-00", "CH-01", "CH-02", "CH-03"}, {}), 0);
    return s.table;
}

TEST(CommandSetFile, CommasEscapedAndRestoredCommentsAndHeaderSkipped) {
    const std::vector<Command> set = {make("READ", "BUS", "5h", "CH-04", "1", "", "", "read, then {BUS}", true),
                                      make("IDLE", "CH-05", "0")};
    const std::string text = writeCommandSet(set);
    EXPECT_EQ(text.substr(0, 34), "Name,C1,D1,C2,D2,C3,D3,Desc,Cont\r\n");
    EXPECT_NE(text.find("read| then {BUS},1\r\n"), std::string::npos);
    EXPECT_EQ(text.find("read, then"), std::string::npos);
    EXPECT_EQ(readCommandSet(text), set);

    // Comment lines anywhere (even right after the header and at the end), an empty line, a short
    // line and an over-long one.
    const std::string edited = "header is ignored,,,\r\n;comment\r\n" + text.substr(34, text.find("IDLE") - 34) +
                               ";READ,BUS,1,,,,,x,0\r\n\r\nSHORT,CH-01,1\r\n" + text.substr(text.find("IDLE")) +
                               ";last" + "\r\nLONG,CH-01,1,,,,," + std::string(600, 'x') + ",1\r\n";
    const std::vector<Command> back = readCommandSet(edited);
    ASSERT_EQ(back.size(), 4u);
    EXPECT_EQ(back[0], set[0]);
    EXPECT_EQ(back[1], make("SHORT", "CH-01", "1"));
    EXPECT_EQ(back[2], set[1]);
    EXPECT_EQ(back[3].description.size(), kCommandLineMax - std::string("LONG,CH-01,1,,,,,").size());
    EXPECT_FALSE(back[3].subCommand);   // the mark was beyond the 511 characters

    EXPECT_TRUE(readCommandSet("").empty());
    EXPECT_EQ(conditionText(set[0]), "BUS=5h & CH-04=1");
    EXPECT_EQ(conditionText(make("X", "A", "1", "", "", "C", "3")), "A=1 & C=3");
}

TEST(CommandSetDialog, AddCommandChecksInOrder) {
    EXPECT_EQ(checkCommand(make("GO", "CH-01", "1", "CH-02", "0", "CH-03", "1")), 0);
    EXPECT_EQ(checkCommand(make("GO", "NOSUCH", "1")), 0);  // any valid name: the table may change
    EXPECT_EQ(checkCommand(make("", "CH-01", "1")), kStrCommandName);
    EXPECT_EQ(checkCommand(make("A=B", "CH-01", "1")), kStrCommandName);
    EXPECT_EQ(checkCommand(make(std::string(33, 'N'), "CH-01", "1")), kStrCommandName);
    EXPECT_EQ(checkCommand(make("GO", "", "1")), kStrLabel1);
    EXPECT_EQ(checkCommand(make("GO", "CH;1", "1")), kStrLabel1);
    EXPECT_EQ(checkCommand(make("GO", "CH-01", "1", "a|b", "1")), kStrLabel2);
    EXPECT_EQ(checkCommand(make("GO", "CH-01", "1", "CH-02", "1", "x\ty", "1")), kStrLabel3);
    EXPECT_EQ(checkCommand(make("GO", "CH-01", "1", "", "", "CH-03", "1")), kStrNoLabel2);
    EXPECT_EQ(checkCommand(make("", "", "", "", "", "CH-03", "1")), kStrCommandName);  // the first failing check
}

TEST(CommandSetCompile, RowsValuesAndReferences) {
    const LabelTable t = table();
    const std::vector<LabelRow> rows = labelRows(t);
    ASSERT_EQ(rows.size(), 5u);  // BUS first (a group takes the place of the first), CH-04..CH-07
    const std::vector<CompiledCommand> c = compileCommandSet(
        {make("A", "BUS", "1010b", "CH-04", "1", "", "", "bus {BUS} bit {CH-05} {GONE} 100% {CH-06}"),
         make("B", "GONE", "1", "", "", "ALSO-GONE", "7"), make("C", "CH-05", "zz")},
        t);
    ASSERT_EQ(c.size(), 3u);
    const int32_t bus = 0, ch4 = 1, ch5 = 2;
    EXPECT_EQ(c[0].labelRow[0], bus);
    EXPECT_EQ(c[0].labelRow[1], ch4);
    EXPECT_EQ(c[0].labelRow[2], kNoLabelRow);
    EXPECT_EQ(c[0].value[0], 10u);
    EXPECT_EQ(c[0].value[1], 1u);
    EXPECT_EQ(c[0].referenceRow[0], bus);
    EXPECT_EQ(c[0].referenceRow[1], ch5);
    EXPECT_EQ(c[0].referenceRow[2], kNoReference);
    EXPECT_EQ(c[0].format, "bus %s bit %s %s 100%% {CH-06}");  // three references at most
    // Names the table does not have load and compile to -2.
    EXPECT_EQ(c[1].labelRow[0], kNoLabelRow);
    EXPECT_EQ(c[1].labelRow[1], kNoLabelRow);
    EXPECT_EQ(c[1].labelRow[2], kNoLabelRow);
    EXPECT_FALSE(c[2].valuesRead);
}

TEST(CommandSetMatch, FirstMatchingCommandNamesTheState) {
    const LabelTable t = table();
    const std::vector<CompiledCommand> c = compileCommandSet(
        {make("UNKNOWN", "GONE", "0"), make("BAD", "CH-05", "x1"),
         make("WRITE", "BUS", "Ah", "CH-04", "1", "CH-05", "0", "write {BUS} ack {CH-04}, 50%"),
         make("ANY", "BUS", "Ah", "", "", "", "", "any")},
        t);
    // BUS reads channels 3..0: value 0xA is bits 3 and 1.
    const uint64_t busA = 0b1010, ch4 = 1u << 4, ch5 = 1u << 5;
    EXPECT_EQ(commandTextForState(c, t, busA | ch4), "write Ah ack 1, 50%");
    EXPECT_EQ(commandTextForState(c, t, busA | ch4 | ch5), "any");
    EXPECT_EQ(commandTextForState(c, t, busA), "any");
    EXPECT_EQ(commandTextForState(c, t, 0b0101 | ch4), "");
    EXPECT_EQ(commandTextForState({}, t, busA), "");

    // An inverted member flips its bit in the comparison.
    LabelTable inv = t;
    inv.entries[labelRows(inv)[1].first].flags |= kLabelInvert;  // CH-04
    EXPECT_EQ(commandTextForState(compileCommandSet({make("LOW4", "CH-04", "1", "", "", "", "", "{CH-04}")}, inv), inv, 0),
              "1");
}

}  // namespace
}  // namespace kv

#include "platform/registry.h"
#include "viewer/commands/command_project.h"

namespace kv {
namespace {

TEST(CommandSetProject, NameStoredWithTheProjectAndCheckedOnLoad) {
    MemoryRegistry reg;
    const std::string key = "SOFTWARE\\Ombix\\KV\\Project\\Default";
    EXPECT_EQ(readCommandSetProject(reg, key), "");
    ASSERT_TRUE(writeCommandSetProject(reg, key, "I2C EEPROM"));
    EXPECT_EQ(readCommandSetProject(reg, key), "I2C EEPROM");
    ASSERT_TRUE(writeCommandSetProject(reg, key, ""));   // "<None>"
    EXPECT_EQ(readCommandSetProject(reg, key), "");
    for (const char* bad : {"..\\..\\boot", "C:x", "a/b", "w*"}) {
        ASSERT_TRUE(writeCommandSetProject(reg, key, bad));
        EXPECT_EQ(readCommandSetProject(reg, key), "") << bad;
    }
    const uint32_t dword = 5;
    reg.writeValue(RegRoot::LocalMachine, key, kCommandSetValue, kRegDword, &dword, 4);
    EXPECT_EQ(readCommandSetProject(reg, key), "");
}

}  // namespace
}  // namespace kv

#include "viewer/display/wave_render.h"

namespace kv {
namespace {

TEST(CommandSetListing, StateListingEndsTheRowWithTheCommandText) {
    const LabelTable t = table();
    std::vector<uint64_t> words = {0b1010 | 1u << 4, 0, 0b1010, 0};   // and the spare word
    SampleStore store;
    store.attach(reinterpret_cast<uint8_t*>(words.data()), 3 * 8, 64, 64, 64, kStoragePacked);
    const std::vector<CompiledCommand> c =
        compileCommandSet({make("WRITE", "BUS", "Ah", "CH-04", "1", "", "", "w{BUS}"), make("ANY", "BUS", "Ah")}, t);
    RenderStyle style;
    style.measure = [](const std::string& s) { return TextSize{static_cast<int32_t>(s.size()) * 6, 12}; };
    useStandardTexts(style, 100000000);
    style.stateCommand = [&](int64_t s) { return commandTextForState(c, t, store.sample(static_cast<int32_t>(s))); };
    PaneGeometry pane;
    pane.width = 600;
    pane.height = 200;
    WaveFrame frame;
    renderStateList(store, pane, layoutRows(t, 0, 200, 16, 64), t, style, frame);
    std::vector<std::string> texts;
    for (const TextBox& b : frame.prims.texts) texts.push_back(b.text);
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("wAh")), 1);   // state 0: the group value with its suffix
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("any")), 0);   // ANY has no text: state 2 shows ""
    EXPECT_EQ(std::count(texts.begin(), texts.end(), std::string("ANY")), 0);   // a command's text, never its name
}

}  // namespace
}  // namespace kv
