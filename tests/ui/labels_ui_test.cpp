// The label commands, the pop-up menu and the label dialogs, driven in-process.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/label_resources.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"

namespace kvtest {
namespace {

using kv::g_viewer;

kv::LabelState& labels() { return g_viewer->labels; }

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, 0), 0); }

std::vector<std::string> rowNames() {
    std::vector<std::string> out;
    for (const kv::LabelRow& r : kv::labelRows(labels().table)) out.push_back(labels().table.entries[r.first].name);
    return out;
}

void setText(HWND dialog, int id, const std::string& text) { SetDlgItemTextA(dialog, id, text.c_str()); }
void click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
void ok(HWND dialog) { SendMessageW(dialog, WM_COMMAND, IDOK, 0); }

// Selects the items [from, to) of a list box with extended selection.
void selectItems(HWND dialog, int list, int from, int to) {
    HWND l = GetDlgItem(dialog, list);
    SendMessageW(l, LB_SETSEL, FALSE, -1);
    for (int i = from; i < to; ++i) SendMessageW(l, LB_SETSEL, TRUE, i);
}

int listCount(HWND dialog, int list) { return static_cast<int>(SendDlgItemMessageW(dialog, list, LB_GETCOUNT, 0, 0)); }

std::vector<std::wstring> comboTexts(HWND dialog, int id) {
    std::vector<std::wstring> out;
    HWND c = GetDlgItem(dialog, id);
    for (int i = 0; i < SendMessageW(c, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t text[64] = {};
        SendMessageW(c, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
        out.push_back(text);
    }
    return out;
}

void selectCombo(HWND dialog, int id, int index) {
    SendDlgItemMessageW(dialog, id, CB_SETCURSEL, index, 0);
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

class LabelsTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        ASSERT_TRUE(startViewer());
        // The start-up fills the empty table with one label per channel.
        ASSERT_TRUE(pumpUntil([] { return labels().table.count() > 0; }));
        prompts().asked.clear();
    }
};

TEST_F(LabelsTest, StartUpAddsEveryChannelWithoutAsking) {
    EXPECT_EQ(labels().table.count(), g_viewer->device.channelCount);
    EXPECT_STREQ(labels().table.entries[0].name, "CH-00");
    EXPECT_STREQ(labels().table.entries[63].name, "CH-63");
    EXPECT_EQ(prompts().countOf(kv::kStrDeleteExisting), 0);
}

TEST_F(LabelsTest, CombiningThirtyTwoChannelsWorksAndThirtyThreeIsRefused) {
    // A refusal keeps the dialog open: the Cancel posted behind it is what ends it.
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_COMBINE_LABELS);
        ASSERT_EQ(listCount(dialog, IDC_COMBINE_SOURCE), 64);
        selectItems(dialog, IDC_COMBINE_SOURCE, 0, 33);
        click(dialog, IDC_COMBINE_ADD);
        EXPECT_EQ(listCount(dialog, IDC_COMBINE_DEST), 33);
        setText(dialog, IDC_COMBINE_NAME, "WIDE");
        ok(dialog);
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(kv::runCombineDialog(panel()), IDCANCEL);
    EXPECT_EQ(prompts().countOf(kv::kStrTooManyChannels), 1);
    EXPECT_EQ(prompts().asked.back().text, L"You may NOT combine more than 32 channels into group label.");
    EXPECT_EQ(labels().table.count(), 64);
    EXPECT_EQ(kv::labelRows(labels().table).size(), 64u);

    onDialog([&](HWND dialog, int) {
        selectItems(dialog, IDC_COMBINE_SOURCE, 0, 33);
        click(dialog, IDC_COMBINE_ADD);
        setText(dialog, IDC_COMBINE_NAME, "WIDE");
        ok(dialog);
        // One back to the source list: 32 remain.
        selectItems(dialog, IDC_COMBINE_DEST, 32, 33);
        click(dialog, IDC_COMBINE_REMOVE);
        ok(dialog);
    });
    command(104);
    const std::vector<kv::LabelRow> rows = kv::labelRows(labels().table);
    ASSERT_EQ(rows[0].size(), 32);
    EXPECT_STREQ(labels().table.entries[0].name, "WIDE");
    EXPECT_EQ(labels().table.entries[0].channel, 31) << "the last destination item is the most significant";
    EXPECT_EQ(labels().table.entries[31].channel, 0);
    EXPECT_EQ(labels().table.entries[31].kind, kv::kLabelLastMember);
    EXPECT_EQ(rows.size(), 33u);
}

TEST_F(LabelsTest, GroupNamesOf31AreTakenAnd32Refused) {
    onDialog([&](HWND dialog, int) {
        selectItems(dialog, IDC_COMBINE_SOURCE, 0, 4);
        click(dialog, IDC_COMBINE_ADD);
        setText(dialog, IDC_COMBINE_NAME, std::string(32, 'G'));
        ok(dialog);
        setText(dialog, IDC_COMBINE_NAME, "");
        ok(dialog);
        setText(dialog, IDC_COMBINE_NAME, "CH-10");
        ok(dialog);
        setText(dialog, IDC_COMBINE_NAME, std::string(31, 'G'));
        ok(dialog);
    });
    command(104);
    EXPECT_EQ(prompts().countOf(kv::kStrBadGroupName), 2);
    EXPECT_EQ(prompts().countOf(kv::kStrDuplicateName), 1);
    ASSERT_FALSE(prompts().asked.empty());
    EXPECT_EQ(prompts().asked[0].text, L"No group label name or the name is too long.");
    EXPECT_EQ(prompts().asked[0].caption, L"Error");
    EXPECT_EQ(rowNames()[0], std::string(31, 'G'));
}

TEST_F(LabelsTest, DecomposeNamesTheMembersAfterTheGroup) {
    const std::string g30 = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123";
    ASSERT_EQ(kv::combineLabels(labels(), g30, {"CH-04", "CH-05", "CH-06"}, {}), 0);
    kv::setLabelUnderMouse(3);  // a single label
    command(105);
    EXPECT_EQ(prompts().countOf(kv::kStrNotGroup), 1);
    kv::setLabelUnderMouse(1);
    command(105);
    const std::string cut = g30.substr(0, 28);
    const std::vector<std::string> names = rowNames();
    ASSERT_GE(names.size(), 3u);
    EXPECT_EQ(names[0], cut + "-02");
    EXPECT_EQ(names[1], cut + "-01");
    EXPECT_EQ(names[2], cut + "-00");
    EXPECT_EQ(labels().table.entries[2].channel, 4);
}

TEST_F(LabelsTest, AddAllWithAFullTableShows210WithTheLimit) {
    kv::LabelState& s = labels();
    ASSERT_EQ(kv::deleteAllLabels(s), 0);
    for (int i = 0; i < kv::kMaxLabels; ++i) ASSERT_EQ(kv::addSingleLabel(s, "L" + std::to_string(i), i % 64, 1, 64), 0);
    prompts().answers = {IDNO};
    command(kv::kCmdAddAllLabel);
    EXPECT_EQ(prompts().countOf(kv::kStrDeleteExisting), 1);
    ASSERT_EQ(prompts().countOf(kv::kStrTooManyLabels), 1);
    EXPECT_EQ(prompts().asked.back().text, L"You can NOT insert more than 200 labels.");
    EXPECT_EQ(s.table.count(), kv::kMaxLabels);

    // Add Label is refused before its dialog opens.
    bool opened = false;
    onDialog([&](HWND dialog, int) {
        opened = true;
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    command(kv::kCmdAddLabel);
    EXPECT_FALSE(opened);
    EXPECT_EQ(prompts().countOf(kv::kStrTooManyLabels), 2);

    // Cancel leaves the table; Yes replaces it.
    prompts().answers = {IDCANCEL};
    command(kv::kCmdAddAllLabel);
    EXPECT_EQ(s.table.count(), kv::kMaxLabels);
    prompts().answers = {IDYES};
    command(kv::kCmdAddAllLabel);
    EXPECT_EQ(s.table.count(), 64);
}

TEST_F(LabelsTest, UndoRestoresTheTableAndBeepsWithNothingSaved) {
    const std::vector<std::string> before = rowNames();
    kv::setLabelUnderMouse(0);
    command(103);
    EXPECT_EQ(rowNames().size(), before.size() - 1);
    const uint32_t revision = labels().revision;
    command(kv::kCmdUndo);
    EXPECT_EQ(rowNames(), before);
    EXPECT_NE(labels().revision, revision);
    command(kv::kCmdUndo);  // nothing saved any more: a beep, the table stays
    EXPECT_EQ(rowNames(), before);

    prompts().answers = {IDYES};
    command(109);
    EXPECT_EQ(prompts().countOf(kv::kStrDeleteAll), 1);
    EXPECT_EQ(labels().table.count(), 0);
    command(kv::kCmdUndo);
    EXPECT_EQ(rowNames(), before);
}

TEST_F(LabelsTest, AddLabelDialogChecksEveryField) {
    ASSERT_EQ(kv::deleteAllLabels(labels()), 0);
    ASSERT_EQ(kv::addSingleLabel(labels(), "CLK", 0, 1, 64), 0);
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_ADD_LABEL);
        click(dialog, IDC_ADD_SINGLE_LABEL);
        setText(dialog, IDC_LABEL_NAME, "");
        ok(dialog);
        setText(dialog, IDC_LABEL_NAME, std::string(33, 'n'));
        ok(dialog);
        setText(dialog, IDC_LABEL_NAME, "DATA");
        setText(dialog, IDC_LABEL_CHANNEL, "64");
        ok(dialog);
        setText(dialog, IDC_LABEL_NAME, "CLK");
        setText(dialog, IDC_LABEL_CHANNEL, "5");
        ok(dialog);
        setText(dialog, IDC_LABEL_NAME, std::string(32, 'n'));
        click(dialog, IDC_LABEL_COLOR_FIRST + 9);
        ok(dialog);
    });
    command(kv::kCmdAddLabel);
    EXPECT_EQ(prompts().countOf(kv::kStrBadName), 2);
    EXPECT_EQ(prompts().countOf(kv::kStrChannelRange), 1);
    EXPECT_EQ(prompts().countOf(kv::kStrNameInUse), 1);
    ASSERT_EQ(labels().table.count(), 2);
    EXPECT_EQ(std::string(labels().table.entries[1].name), std::string(32, 'n'));
    EXPECT_EQ(labels().table.entries[1].channel, 5);
    EXPECT_EQ(labels().table.entries[1].colorIndex, 9);

    // A label set: Cancel at the question goes back to the dialog; No appends the checked pods.
    auto addSet = [&](int podMask, bool cancelAfter) {
        onDialog([=](HWND dialog, int) {
            click(dialog, IDC_ADD_LABEL_SET);
            for (int p = 0; p < 4; ++p) CheckDlgButton(dialog, IDC_POD_A + p, (podMask >> p & 1) ? BST_CHECKED : BST_UNCHECKED);
            ok(dialog);
            if (cancelAfter) PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        });
        return kv::runAddLabelDialog(panel());
    };
    prompts().asked.clear();
    prompts().answers = {IDCANCEL};
    EXPECT_EQ(addSet(0b0010, true), IDCANCEL);
    EXPECT_EQ(labels().table.count(), 2);
    prompts().answers = {IDNO};
    EXPECT_EQ(addSet(0b0010, false), IDOK);
    EXPECT_EQ(prompts().countOf(kv::kStrDeleteExisting), 2);
    EXPECT_EQ(labels().table.count(), 18);
    EXPECT_STREQ(labels().table.entries[2].name, "CH-16");
    EXPECT_STREQ(labels().table.entries[17].name, "CH-31");
}

TEST_F(LabelsTest, ConfigureOffersSignalTypesByGroupSizeAndStoresTheSettings) {
    ASSERT_EQ(kv::combineLabels(labels(), "FOUR", {"CH-00", "CH-01", "CH-02", "CH-03"}, {}), 0);
    ASSERT_EQ(kv::combineLabels(labels(), "SPI", {"CH-04", "CH-05", "CH-06"}, {}), 0);
    std::vector<std::wstring> types;
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_CONFIGURE_LABEL);
        types = comboTexts(dialog, IDC_SIGNAL_TYPE);
        SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    kv::setLabelUnderMouse(kv::findLabel(labels().table, "FOUR"));
    command(106);
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Normal"}));

    onDialog([&](HWND dialog, int) {
        types = comboTexts(dialog, IDC_SIGNAL_TYPE);
        selectCombo(dialog, IDC_SIGNAL_TYPE, 1);  // I2S
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_I2S_BITS)));
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, IDC_SPI_16BITS)));
        setText(dialog, IDC_I2S_BITS, "25");
        ok(dialog);
        selectCombo(dialog, IDC_SIGNAL_TYPE, 2);  // SPI
        click(dialog, IDC_SPI_16BITS);
        click(dialog, IDC_SPI_CS_HIGH);
        click(dialog, IDC_LABEL_INVERT);
        ok(dialog);
    });
    const int spi = kv::findLabel(labels().table, "SPI");
    kv::setLabelUnderMouse(spi);
    command(106);
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Normal", L"I2S", L"SPI"}));
    EXPECT_EQ(prompts().countOf(kv::kStrI2sBits), 1);
    for (int i = spi; i < spi + 3; ++i)
        EXPECT_EQ(labels().table.entries[i].flags, kv::kLabelSpi | 16u << 16 | kv::kLabelExplicit | kv::kLabelInvert);

    // A single label: UART with explicit settings.
    onDialog([&](HWND dialog, int) {
        types = comboTexts(dialog, IDC_SIGNAL_TYPE);
        selectCombo(dialog, IDC_SIGNAL_TYPE, 1);
        click(dialog, IDC_UART_AUTO);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, IDC_UART_BAUD)));
        selectCombo(dialog, IDC_UART_BAUD, 10);     // 115200
        selectCombo(dialog, IDC_UART_PROTOCOL, 8);  // E-8-1
        ok(dialog);
    });
    const int single = kv::findLabel(labels().table, "CH-07");
    kv::setLabelUnderMouse(single);
    command(106);
    EXPECT_EQ(types, (std::vector<std::wstring>{L"Digital", L"UART(RS232)"}));
    EXPECT_EQ(labels().table.entries[single].flags, kv::kLabelUart | 8u << 16 | kv::kLabelExplicit);
    EXPECT_EQ(labels().table.entries[single].baud, 115200);
}

TEST_F(LabelsTest, ArrangeReordersTheMembersOfTheGroupUnderTheMouse) {
    ASSERT_EQ(kv::combineLabels(labels(), "BUS", {"CH-00", "CH-01", "CH-02"}, {}), 0);  // channels 2,1,0
    kv::setLabelUnderMouse(5);
    command(113);
    EXPECT_EQ(prompts().countOf(kv::kStrNotGroup), 1);
    std::wstring caption;
    onDialog([&](HWND dialog, int id) {
        ASSERT_EQ(id, IDD_COMBINE_LABELS);
        caption = textOf(dialog);
        EXPECT_EQ(listCount(dialog, IDC_COMBINE_DEST), 3);
        // Channel 0 (the least significant) goes to the most significant end.
        selectItems(dialog, IDC_COMBINE_DEST, 0, 1);
        click(dialog, IDC_COMBINE_REMOVE);
        ok(dialog);  // a member missing
        selectItems(dialog, IDC_COMBINE_SOURCE, 0, 1);
        click(dialog, IDC_COMBINE_ADD);
        ok(dialog);
    });
    kv::setLabelUnderMouse(1);
    command(113);
    EXPECT_EQ(caption, L"Arrange Labels");
    EXPECT_EQ(prompts().countOf(kv::kStrTooFewChannels), 1);
    EXPECT_EQ(labels().table.entries[0].channel, 0);
    EXPECT_EQ(labels().table.entries[1].channel, 2);
    EXPECT_EQ(labels().table.entries[2].channel, 1);
    EXPECT_EQ(labels().table.entries[2].kind, kv::kLabelLastMember);
}

TEST_F(LabelsTest, SortAsksTheOrder) {
    ASSERT_EQ(kv::renameLabel(labels(), 5, "A"), 0);
    prompts().answers = {IDYES};
    command(107);
    EXPECT_EQ(prompts().countOf(kv::kStrSortOrder), 1);
    EXPECT_EQ(rowNames().front(), "A");
    prompts().answers = {IDNO};
    command(107);
    EXPECT_EQ(rowNames().back(), "A");
}

TEST_F(LabelsTest, ModesShowInTheStatusAndDecideWhatAClickDoes) {
    command(110);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"In Delete Mode");
    EXPECT_TRUE(kv::labelNameClicked(0));
    EXPECT_STREQ(labels().table.entries[0].name, "CH-01");
    command(112);
    EXPECT_EQ(textOf(panelItem(kv::kIdStatus)), L"In Select Mode");
    EXPECT_TRUE(kv::labelNameClicked(0));
    EXPECT_TRUE(labels().table.entries[0].flags & kv::kLabelSelected);
    command(111);
    EXPECT_TRUE(textOf(panelItem(kv::kIdStatus)).empty());
    EXPECT_FALSE(kv::labelNameClicked(0));
}

TEST_F(LabelsTest, DeleteUnusedRemovesLabelsOfMissingChannels) {
    g_viewer->device.channelCount = 32;  // a smaller board: channels 32-63 have no inputs
    command(119);
    g_viewer->device.channelCount = 64;
    EXPECT_EQ(labels().table.count(), 32);
    EXPECT_STREQ(labels().table.entries[31].name, "CH-31");
}

TEST_F(LabelsTest, RenameInPlaceRefusesAUsedName) {
    kv::setLabelUnderMouse(1);
    command(101);
    HWND edit = panelItem(kv::kIdLabelEdit);
    ASSERT_TRUE(IsWindowVisible(edit));
    EXPECT_EQ(textOf(edit), L"CH-01");
    SetWindowTextA(edit, "CH-00");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_FALSE(IsWindowVisible(edit));
    ASSERT_EQ(prompts().countOf(kv::kStrNameInUse), 1);
    EXPECT_EQ(prompts().asked.back().caption, L"Error");
    EXPECT_STREQ(labels().table.entries[1].name, "CH-01");

    command(101);
    SetWindowTextA(edit, "CLOCK");
    SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_STREQ(labels().table.entries[1].name, "CLOCK");
    command(101);
    SetWindowTextA(edit, "IGNORED");
    SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_STREQ(labels().table.entries[1].name, "CLOCK");
}

TEST_F(LabelsTest, TheMenuCarriesEveryCommandWithItsText) {
    HMENU menu = kv::createLabelMenu();
    std::vector<int> ids;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        const UINT id = GetMenuItemID(menu, i);
        if (id != 0 && id != static_cast<UINT>(-1)) ids.push_back(static_cast<int>(id));
    }
    std::vector<int> sorted = ids;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<int>{101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 119}));
    wchar_t text[64] = {};
    GetMenuStringW(menu, 108, text, 64, MF_BYCOMMAND);
    EXPECT_STREQ(text, L"Add All Label");
    EXPECT_TRUE(GetMenuState(menu, 111, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_EQ(GetMenuState(menu, kv::kCmdUndo, MF_BYCOMMAND) & MF_GRAYED, labels().undoSaved ? 0u : MF_GRAYED);
    DestroyMenu(menu);
}

}  // namespace
}  // namespace kvtest

namespace kvtest {
namespace {

TEST(LabelTexts, EveryLabelTextExistsInAllThreeLanguages) {
    const int ids[] = {101, 102, 103, 104, 105, 106, 107, 108, 109, 110, 111, 112, 113, 114, 119, 201, 202, 203,
                       204, 206, 210, 211, 212, 213, 219, 220, 221, 222, 230, 307, 308, 327, IDS_SIG_DIGITAL,
                       IDS_SIG_UART, IDS_SIG_DSO, IDS_SIG_NORMAL, IDS_SIG_I2C, IDS_SIG_I2S, IDS_SIG_SPI, 997, 998,
                       999, 1000, 1001, 1002, IDS_TYPE_DIGITAL, IDS_TYPE_DSO, IDS_ARRANGE_CAPTION};
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const WORD before = kv::resourceLanguage();
    for (WORD language : {WORD(1033), WORD(1028), WORD(2052)}) {
        kv::setResourceLanguage(instance, language);
        for (int id : ids) EXPECT_FALSE(kv::loadString(id).empty()) << "string " << id << " in " << language;
        if (language != 1033) {
            EXPECT_NE(kv::loadString(204), L"This label name is already in use.") << language;
        }
        // The count of labels is filled in whatever the language.
        EXPECT_NE(kv::formatString(210, 200).find(L"200"), std::wstring::npos) << language;
    }
    kv::setResourceLanguage(instance, before);
}

}  // namespace
}  // namespace kvtest
