// Configure trigger under Wine with scripted dialogs: in demo mode (product 0x1164, single-level
// editor only) in this process, and on virtual boards of the method-choice family (0x2132) and a
// Nanlyn board (0x2136) in started copies (board_cases.h).
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "runtime/halvex_api.h"
#include "tests/ui/board_cases.h"
#include "viewer/display/label_table.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/shell/resources_win.h"
#include "viewer/trigger/serial_trigger.h"
#include "viewer/trigger/serial_trigger_resources.h"
#include "viewer/trigger/trigger_dialogs_win.h"
#include "viewer/trigger/trigger_editor.h"
#include "viewer/trigger/trigger_project.h"
#include "viewer/trigger/trigger_project_win.h"
#include "viewer/trigger/trigger_resources.h"

namespace kvtest {
namespace {

using kv::g_viewer;

const char* const kChoiceBoard = "usb0=2132";
const char* const kNanlynBoard = "usb0=2136";

kv::TriggerSetup& setup() { return g_viewer->acq.trigger; }

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
void click(HWND dialog, int id) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
std::wstring text(HWND dialog, int id) { return textOf(GetDlgItem(dialog, id)); }
bool enabled(HWND dialog, int id) { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
// The control's own visibility, whether or not the dialog is on screen yet.
bool visible(HWND dialog, int id) { return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }
void setText(HWND dialog, int id, const wchar_t* t) { SetDlgItemTextW(dialog, id, t); }

// The channel popups: the items offered at each click, and the item to choose next.
std::vector<int> g_menuSizes;
int g_menuChoice = 0;
int chooseItem(HWND, HMENU menu) {
    g_menuSizes.push_back(GetMenuItemCount(menu));
    return g_menuChoice;
}
// Sets a channel's caption through its popup; returns how many items the popup offered.
int pick(HWND dialog, int channel, int item) {
    g_menuChoice = IDM_CONDITION_FIRST + item;
    click(dialog, IDC_CHANNEL_FIRST + channel);
    return g_menuSizes.back();
}
enum { kItem0 = 0, kItem1 = 1, kItemX = 2, kItemRising = 3, kItemFalling = 4, kItemEither = 5 };

// The hand-off: what reached the runtime call.
int g_programmed = 0;
int g_programmedIndex = 99;
kv::KvTriggerSpec g_programmedSpec;
uint8_t g_programmedPattern[1024];
int recordProgramming(int index, void* call) {
    g_programmedIndex = index;
    g_programmedSpec = kv::readTriggerCall(static_cast<const uint8_t*>(call));
    std::memcpy(g_programmedPattern, g_programmedSpec.pattern, sizeof g_programmedPattern);
    ++g_programmed;
    return 0;  // the worker does not look at the answer
}

void spin(HWND dialog, int spinId, int delta) {
    NMUPDOWN n{};
    n.hdr.hwndFrom = GetDlgItem(dialog, spinId);
    n.hdr.idFrom = static_cast<UINT_PTR>(spinId);
    n.hdr.code = UDN_DELTAPOS;
    n.iDelta = delta;
    SendMessageW(dialog, WM_NOTIFY, static_cast<WPARAM>(spinId), reinterpret_cast<LPARAM>(&n));
}

// Both seams record; everything else is the real viewer.
void installSeams(bool on) {
    g_menuSizes.clear();
    g_programmed = 0;
    kv::setTriggerMenuChooser(on ? chooseItem : nullptr);
    kv::setTriggerProgrammer(on ? recordProgramming : nullptr);
}

class TriggerDemo : public ViewerTest {
protected:
    void SetUp() override {
        if (isBoardCase()) GTEST_SKIP() << "the started copy runs only its own case";
        ViewerTest::SetUp();
        installSeams(true);
    }
    void TearDown() override {
        installSeams(false);
        ViewerTest::TearDown();
    }
};

class TriggerOnBoards : public OnBoards {
protected:
    void SetUp() override {
        OnBoards::SetUp();
        installSeams(true);
    }
    void TearDown() override {
        installSeams(false);
        OnBoards::TearDown();
    }
};

// --- demo mode ----------------------------------------------------------------------------------

TEST_F(TriggerDemo, ARisingEdgeLimitsTheOtherChannelsAndTheDemoTriggersOnIt) {
    ASSERT_TRUE(startViewer());
    std::vector<int> shown;
    onDialog([&](HWND dialog, int id) {
        shown.push_back(id);
        EXPECT_EQ(textOf(dialog), L"Configure Trigger -- Direct Mode");
        // Product 0x1164: the edges without either-edge; after one edge only 0, 1, X.
        EXPECT_EQ(pick(dialog, 3, kItemRising), 5);
        EXPECT_EQ(pick(dialog, 5, kItem1), 3);
        EXPECT_FALSE(enabled(dialog, IDC_DELAY) || enabled(dialog, IDC_WIDTH));  // method-choice boards only
        setText(dialog, IDC_PASS_COUNT, L"2");
        saveWindowPicture(dialog, "trigger-configure-demo");
        click(dialog, IDC_TRIGGER_OK);
    });
    // Ctrl+T reaches the same command.
    setModifiers(true, false);
    keyUp('T', true);
    setModifiers(false, false);
    ASSERT_EQ(shown, (std::vector<int>{IDD_CONFIGURE_TRIGGER}));
    const kv::TriggerRecord& r = setup().current;
    EXPECT_EQ(r.level(0)[3] * 100 + r.level(1)[3] * 10 + r.level(1)[5], 0 + 60 + 6);
    EXPECT_EQ(r.levelCount + r.passCount, 2u + 2);
    // Handed to the runtime on a worker: index -1 in demo mode, programmed and busy flags.
    ASSERT_TRUE(pumpUntil([] { return setup().busy == 0; }));
    EXPECT_EQ(g_programmed * 10 + g_programmedIndex, 10 - 1);
    EXPECT_EQ(setup().sent, 1);
    EXPECT_EQ(g_programmedSpec.field[7], 1u);  // an edge pair is held one clock
    EXPECT_EQ(g_programmedPattern[64 + 3], kv::kConditionHigh);

    // The demo generator imitates the pattern: a rising edge of channel 3 with channel 5 high (the
    // third time the condition holds) sits at the trigger position. Group 0 counts at the rate.
    g_viewer->settings.demo[0] = {kv::kDemoUpCounter, 0, 100000000};
    setup().setTriggerPosition(300);
    command(kv::kIdAcquire);
    ASSERT_TRUE(pumpUntil([] { return g_viewer->acq.thread == nullptr && g_viewer->acq.captureRunning == 0; }, 20000));
    const int t = g_viewer->capture.triggerPosition;
    EXPECT_EQ(t, 300);
    const uint64_t before = g_viewer->store.fetch(t - 1), at = g_viewer->store.fetch(t);
    EXPECT_EQ((before >> 3 & 1) * 100 + (at >> 3 & 1) * 10 + (at >> 5 & 1), 11u);
}

TEST_F(TriggerDemo, PassCountSpinWrapsAndRangeIsChecked) {
    ASSERT_TRUE(startViewer());
    std::wstring wrappedUp, wrappedDown;
    int refusedOnLeaving = 0;
    onDialog([&](HWND dialog, int) {
        setText(dialog, IDC_PASS_COUNT, L"256");  // the highest without a board
        spin(dialog, IDC_PASS_SPIN, 1);
        wrappedUp = text(dialog, IDC_PASS_COUNT);
        spin(dialog, IDC_PASS_SPIN, -1);
        wrappedDown = text(dialog, IDC_PASS_COUNT);
        setText(dialog, IDC_PASS_COUNT, L"300");
        // Leaving the field.
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PASS_COUNT, EN_KILLFOCUS),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PASS_COUNT)));
        refusedOnLeaving = prompts().countOf(kv::kStrPassCountRange);
        click(dialog, IDC_TRIGGER_OK);  // refused without a second box: the dialog stays
        EXPECT_EQ(prompts().countOf(kv::kStrPassCountRange), 1);
        setText(dialog, IDC_PASS_COUNT, L"999");  // OK pressed with Enter never leaves the field
        click(dialog, IDC_TRIGGER_OK);
        EXPECT_EQ(prompts().countOf(kv::kStrPassCountRange), 2);
        setText(dialog, IDC_PASS_COUNT, L"7");
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(wrappedUp, L"0");
    EXPECT_EQ(wrappedDown, L"256");
    EXPECT_EQ(refusedOnLeaving, 1);
    EXPECT_EQ(setup().current.passCount, 7);
}

TEST_F(TriggerDemo, CancelRestoresTheCommittedRecordExactly) {
    ASSERT_TRUE(startViewer());
    kv::TriggerSetup& s = setup();
    s.oneLevel[9] = kv::kConditionFalling;
    kv::storeOneLevel(s.current, s.oneLevel, 64);
    s.current.passCount = 4;
    const kv::TriggerRecord before = s.current;
    uint8_t oneBefore[64];
    std::memcpy(oneBefore, s.oneLevel, 64);
    onDialog([&](HWND dialog, int) {
        EXPECT_EQ(text(dialog, IDC_CHANNEL_FIRST + 9), L"\\");
        pick(dialog, 9, kItem1);
        pick(dialog, 0, kItemRising);
        setText(dialog, IDC_PASS_COUNT, L"12");
        click(dialog, IDC_TRIGGER_CANCEL);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(s.current, before);
    EXPECT_EQ(0, std::memcmp(s.oneLevel, oneBefore, 64));
    EXPECT_EQ(g_programmed, 0);
}

TEST_F(TriggerDemo, LabelModeRowsBecomeTheCaptions) {
    ASSERT_TRUE(startViewer());
    kv::LabelState& labels = g_viewer->labels;
    kv::deleteAllLabels(labels);
    ASSERT_EQ(kv::addSingleLabel(labels, "CLK", 2, 1, 64), 0);
    for (int i = 0; i < 4; ++i) ASSERT_EQ(kv::addSingleLabel(labels, "D" + std::to_string(i), 8 + i, 1, 64), 0);
    ASSERT_EQ(kv::combineLabels(labels, "BUS", {"D0", "D1", "D2", "D3"}, {"CLK"}), 0);
    std::wstring title, result;
    int refusedEdges = 0;
    onDialog([&](HWND dialog, int) {
        click(dialog, IDC_LABEL_MODE);
        title = textOf(dialog);
        EXPECT_TRUE(visible(dialog, IDC_LABEL_ROWS));
        EXPECT_FALSE(visible(dialog, IDC_CHANNEL_FIRST));
        HWND names = GetDlgItem(dialog, IDC_LABEL_NAME_LIST);
        HWND conditions = GetDlgItem(dialog, IDC_LABEL_CONDITION);
        const auto choose = [&](const wchar_t* label, const wchar_t* condition, const wchar_t* value) {
            SendMessageW(names, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(label));
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LABEL_NAME_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(names));
            SendMessageW(conditions, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(condition));
            setText(dialog, IDC_LABEL_VALUE, value);
            click(dialog, IDC_LABEL_ADD);
        };
        choose(L"BUS", L"Hex", L"5");  // 0101 from D3 down to D0
        choose(L"CLK", L"/", L"");
        choose(L"CLK", L"|", L"");     // a second edge: refused
        refusedEdges = prompts().countOf(kv::kStrTooManyEdges);
        EXPECT_EQ(SendDlgItemMessageW(dialog, IDC_LABEL_ROWS, LVM_GETITEMCOUNT, 0, 0), 2);
        // A Dec value takes only digits.
        SendMessageW(names, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"BUS"));
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_LABEL_NAME_LIST, CBN_SELCHANGE), reinterpret_cast<LPARAM>(names));
        SendMessageW(conditions, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(L"Dec"));
        setText(dialog, IDC_LABEL_VALUE, L"1a2");
        EXPECT_EQ(text(dialog, IDC_LABEL_VALUE), L"12");
        result = text(dialog, IDC_LABEL_RESULT);
        saveWindowPicture(dialog, "trigger-configure-label-mode");
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(title, L"Configure Trigger -- Label Mode");
    EXPECT_EQ(refusedEdges, 1);
    EXPECT_EQ(result, L"XXXXXXXX XXXXXXXX XXXXXXXX XXXXXXXX XXXXXXXX XXXXXXXX XXXX0101 XXXXX/XX");
    const uint8_t* one = setup().oneLevel;
    EXPECT_EQ(one[2], kv::kConditionRising);
    // D0 is channel 8 and the least significant bit.
    EXPECT_EQ((std::vector<int>{one[0], one[8], one[9], one[10], one[11]}), (std::vector<int>{8, 6, 0, 6, 0}));
    EXPECT_EQ(setup().current.levelCount, 2u);
}

TEST_F(TriggerDemo, EveryTriggerTextAndDialogExistsInAllThreeLanguages) {
    ASSERT_TRUE(startViewer());
    const int ids[] = {36,  37,  118, 218, 224, 256, 257, 258, 259, 266, 267, 268, 287, 288, 289, 293, 295, 310, 311,
                       IDS_LINK_CONTINUOUS, IDS_LINK_DISCONTINUOUS, IDS_LINK_END, IDS_LEVEL_N, IDS_LABEL_COLUMN_NAME,
                       IDS_LABEL_COLUMN_CONDITION, IDS_LABEL_COLUMN_DESCRIPTION,
                       296, 324, 325, 326, IDS_CORRECT_TRIGGER_DATA,
                       34,  219, 307};  // texts of other parts in the same string blocks stay
    HINSTANCE instance = GetModuleHandleA(nullptr);
    const WORD before = kv::resourceLanguage();
    for (WORD language : {WORD(1033), WORD(1028), WORD(2052)}) {
        kv::setResourceLanguage(instance, language);
        for (int id : ids) EXPECT_FALSE(kv::loadString(id).empty()) << "string " << id << " in " << language;
        for (int id : {IDD_CONFIGURE_TRIGGER, IDD_TRIGGER_METHOD, IDD_MULTI_LEVEL, IDD_MULTI_CONDITION, IDD_UART_TRIGGER,
                       IDD_GLITCH_TRIGGER, IDD_I2C_TRIGGER, IDD_SPI_TRIGGER, IDD_I2S_TRIGGER})
            EXPECT_NE(kv::findDialogTemplate(id), nullptr) << "dialog " << id << " in " << language;
        if (language == 1028) {
            std::wstring title;
            onDialog([&](HWND dialog, int) {
                title = textOf(dialog);
                saveWindowPicture(dialog, "trigger-configure-zh-tw");
                click(dialog, IDC_TRIGGER_CANCEL);
            });
            command(kv::kIdTrigger);
            // Direct or label mode, whichever was used last, in Chinese.
            EXPECT_TRUE(title == kv::loadString(36) || title == kv::loadString(37));
            EXPECT_EQ(title.find(L"Configure"), std::wstring::npos);
        }
    }
    kv::setResourceLanguage(instance, before);
}

TEST_F(TriggerDemo, AProjectWithoutTheOneLevelBufferShowsEveryChannelX) {
    ASSERT_TRUE(startViewer());
    const std::string key = "SOFTWARE\\Ombix\\KV\\Project\\TriggerTest";
    kv::TriggerSetup& s = setup();
    s.oneLevel[4] = kv::kConditionHigh;
    kv::storeOneLevel(s.current, s.oneLevel, 64);
    s.current.setFrequency(20000000);
    s.current.clock = 0x40;  // an external clock: the rate list goes off
    const kv::TriggerRecord saved = s.current;
    ASSERT_TRUE(kv::saveTriggerProject(key));
    RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, key.c_str(), "One Level Trigger");

    kv::resetTriggerSetup(s, s.device);
    kv::loadTriggerProject(key);
    EXPECT_EQ(s.current, saved);  // byte for byte through the real registry
    // Through the runtime's own tables: without a board they are those of the family-0 board, where
    // 20 MHz is the fourth row.
    EXPECT_EQ(SendMessageW(panelItem(kv::kIdRateList), CB_GETCURSEL, 0, 0), 3);
    EXPECT_FALSE(IsWindowEnabled(panelItem(kv::kIdRateList)));
    std::wstring captions;
    onDialog([&](HWND dialog, int) {
        for (int c = 0; c < 64; ++c) captions += text(dialog, IDC_CHANNEL_FIRST + c);
        click(dialog, IDC_TRIGGER_CANCEL);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(captions, std::wstring(64, L'X'));
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, key.c_str());
}

// --- the method-choice family -------------------------------------------------------------------

TEST_F(TriggerOnBoards, MethodChoiceMultiLevelLinksAndLevels) {
    ASSERT_TRUE(startViewer());
    ASSERT_EQ(g_viewer->device.productCode, 0x2132);
    std::vector<int> order;
    onDialog([&](HWND dialog, int id) {
        order.push_back(id);
        if (id == IDD_TRIGGER_METHOD) {
            EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_METHOD_FIRST + kv::kModeSingle), BST_CHECKED);
            EXPECT_FALSE(enabled(dialog, IDC_METHOD_FIRST + kv::kModeSerial) || enabled(dialog, IDC_METHOD_FIRST + kv::kModeGlitch));
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeMulti);
            click(dialog, IDC_METHOD_FIRST + kv::kModeMulti);
            EXPECT_EQ(text(dialog, IDC_METHOD_HELP), kv::loadString(257) + L"\r\n" + kv::loadString(258) + L"\r\n" + kv::loadString(259));
            saveWindowPicture(dialog, "trigger-method");
            click(dialog, IDOK);
        } else if (id == IDD_MULTI_LEVEL && order.size() == 2) {
            EXPECT_EQ(textOf(dialog), L"Multi-level trigger setting");
            EXPECT_TRUE(visible(dialog, IDC_LEVEL_FIRST + 15));
            // The link after level 8 toggles between discontinuous and end only.
            EXPECT_EQ(text(dialog, IDC_LINK_FIRST + 7), L"Discontinuous");
            click(dialog, IDC_LINK_FIRST + 7);
            EXPECT_EQ(text(dialog, IDC_LINK_FIRST + 7), L"End");
            EXPECT_FALSE(enabled(dialog, IDC_LEVEL_FIRST + 8));
            click(dialog, IDC_LINK_FIRST + 7);
            EXPECT_EQ(text(dialog, IDC_LINK_FIRST + 7), L"Discontinuous");
            click(dialog, IDC_LINK_FIRST + 2);  // continuous -> discontinuous -> end: three levels
            click(dialog, IDC_LINK_FIRST + 2);
            saveWindowPicture(dialog, "trigger-multi-level");
            click(dialog, IDC_LEVEL_FIRST + 1);
        } else if (id == IDD_CONFIGURE_TRIGGER) {
            // Mode 1 never offers edges.
            EXPECT_EQ(pick(dialog, 0, kItem1) + pick(dialog, 1, kItem0), 6);
            EXPECT_FALSE(enabled(dialog, IDC_WIDTH));
            setText(dialog, IDC_DELAY, L"3");
            EXPECT_EQ(text(dialog, IDC_DELAY_TEXT), L"Delay Time = 30 ns");
            click(dialog, IDC_TRIGGER_OK);
        } else {
            EXPECT_FALSE(enabled(dialog, IDC_LEVEL_FIRST + 3));
            click(dialog, IDOK);
        }
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(order, (std::vector<int>{IDD_TRIGGER_METHOD, IDD_MULTI_LEVEL, IDD_CONFIGURE_TRIGGER, IDD_MULTI_LEVEL}));
    const kv::TriggerRecord& r = setup().current;
    EXPECT_EQ((std::vector<int64_t>{r.mode, r.levelCount, r.level(1)[0], r.level(1)[1], r.level(0)[0], r.links[2], r.delay}),
              (std::vector<int64_t>{1, 3, 6, 0, 8, 2, 3}));
    EXPECT_EQ(setup().slots[kv::kModeMulti], r);
    ASSERT_TRUE(pumpUntil([] { return setup().busy == 0; }));
    EXPECT_EQ(g_programmedIndex, 0);
}

TEST_F(TriggerOnBoards, MethodChoiceWidthAndTheFullPopup) {
    ASSERT_TRUE(startViewer());
    int fullItems = 0;
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_TRIGGER_METHOD) {
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeWidth);
            click(dialog, IDOK);
            return;
        }
        // Mode 3 offers levels only; the width group is on.
        EXPECT_EQ(pick(dialog, 4, kItem1), 3);
        spin(dialog, IDC_WIDTH_SPIN, -1);
        EXPECT_EQ(text(dialog, IDC_WIDTH), L"1023");
        spin(dialog, IDC_WIDTH_SPIN, 1);
        EXPECT_EQ(text(dialog, IDC_WIDTH), L"0");
        setText(dialog, IDC_WIDTH, L"1024");
        click(dialog, IDC_TRIGGER_OK);  // refused: the dialog stays
        EXPECT_EQ(prompts().countOf(kv::kStrWidthTooBig), 1);
        setText(dialog, IDC_WIDTH, L"100");
        EXPECT_EQ(text(dialog, IDC_WIDTH_TEXT), L"Width = 1 us");
        CheckRadioButton(dialog, IDC_WIDTH_LONGER, IDC_WIDTH_SHORTER, IDC_WIDTH_SHORTER);
        saveWindowPicture(dialog, "trigger-configure-width");
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(setup().current.mode * 1000 + setup().current.width, 3000u - 100);
    EXPECT_EQ(setup().current.level(0)[4], kv::kConditionHigh);

    // Single level on this family offers all six items.
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_TRIGGER_METHOD) {
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeSingle);
            click(dialog, IDOK);
            return;
        }
        fullItems = pick(dialog, 6, kItemEither);
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(fullItems, 6);
    EXPECT_EQ(setup().current.mode, 0u);
    EXPECT_EQ(setup().current.flags & kv::kTriggerFlagEitherEdge, kv::kTriggerFlagEitherEdge);
    EXPECT_EQ(setup().slots[kv::kModeWidth].width, -100);  // mode 3 kept its own set-up
}

TEST_F(TriggerOnBoards, CancelInsideTheDualPathsAbandonsEverything) {
    ASSERT_TRUE(startViewer());
    const kv::TriggerRecord before = setup().current;
    std::vector<int> order;
    onDialog([&](HWND dialog, int id) {
        order.push_back(id);
        if (id == IDD_TRIGGER_METHOD) {
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeDual);
            click(dialog, IDOK);
        } else if (id == IDD_MULTI_CONDITION) {
            EXPECT_FALSE(enabled(dialog, IDC_CONDITION_3));
            saveWindowPicture(dialog, "trigger-multi-condition");
            click(dialog, IDC_CONDITION_2);
        } else if (id == IDD_MULTI_LEVEL) {
            EXPECT_EQ(textOf(dialog), L"Dual condition trigger setting - 2");
            EXPECT_FALSE(visible(dialog, IDC_LEVEL_FIRST + 4));  // four levels per path
            click(dialog, IDC_LEVEL_FIRST);
        } else {
            EXPECT_FALSE(enabled(dialog, IDC_PASS_COUNT));  // the paths have no pass count
            pick(dialog, 0, kItem1);
            click(dialog, IDC_TRIGGER_CANCEL);
        }
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(order, (std::vector<int>{IDD_TRIGGER_METHOD, IDD_MULTI_CONDITION, IDD_MULTI_LEVEL, IDD_CONFIGURE_TRIGGER}));
    EXPECT_EQ(setup().current, before);
    EXPECT_EQ(g_programmed, 0);
}

// --- a Nanlyn board -----------------------------------------------------------------------------

TEST_F(TriggerOnBoards, NanlynMultiConditionAndTheFastModes) {
    ASSERT_TRUE(startViewer());
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    const int index = g_viewer->shell.deviceIndex;
    KvSetHwInfo(index, kHwSelectMode, 4043);  // 200 MHz, remembers the pattern mode
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_TRIGGER_METHOD) {
            EXPECT_EQ(text(dialog, IDC_METHOD_FIRST + kv::kModeDual), L"Multi-Condition");
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeDual);
            click(dialog, IDOK);
        } else if (id == IDD_MULTI_CONDITION) {
            EXPECT_TRUE(enabled(dialog, IDC_CONDITION_4));
            static int rounds = 0;
            click(dialog, rounds++ == 0 ? IDC_CONDITION_3 : IDOK);
        } else if (id == IDD_MULTI_LEVEL) {
            EXPECT_EQ(textOf(dialog), L"Multi condition trigger setting - 3");
            if (text(dialog, IDC_LINK_FIRST) != L"End") {
                click(dialog, IDC_LINK_FIRST);
                click(dialog, IDC_LINK_FIRST);
                click(dialog, IDC_LEVEL_FIRST);
            } else {
                click(dialog, IDOK);
            }
        } else {
            pick(dialog, 2, kItem1);
            pick(dialog, 3, kItem0);
            EXPECT_FALSE(enabled(dialog, IDC_CHANNEL_FIRST + 36));  // 36 channels
            CheckDlgButton(dialog, IDC_PRE_TRIGGER, BST_CHECKED);
            click(dialog, IDC_TRIGGER_OK);
        }
    });
    command(kv::kIdTrigger);
    // Condition 2 (the third), one level in slot 15: channel 2 high, channel 3 low.
    const kv::TriggerRecord& r = setup().current;
    EXPECT_EQ((std::vector<uint32_t>{r.mode, r.conditionCounts, r.data[384 + 6 * 47], r.data[6 * 47],
                                     kv::getLe32(r.data.data() + 776), r.flags & kv::kTriggerFlagPreTrigger}),
              (std::vector<uint32_t>{2, 1u << 16, 0x0C, 0x04, 3u << 30, kv::kTriggerFlagPreTrigger}));
    EXPECT_EQ(setup().standardMode, 2);

    // 4 GHz: the single-level editor without the method choice, with either-edge offered.
    KvSetHwInfo(index, kHwSelectMode, 4005);
    std::vector<int> order;
    int items = 0;
    onDialog([&](HWND dialog, int id) {
        order.push_back(id);
        items = pick(dialog, 1, kItemEither);
        saveWindowPicture(dialog, "trigger-configure-nanlyn");
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(order, (std::vector<int>{IDD_CONFIGURE_TRIGGER}));
    EXPECT_EQ(items, 6);
    uint8_t shown[64];
    kv::readOneLevelNanlyn(setup().current, shown);
    EXPECT_EQ(shown[1], kv::kConditionEitherEdge);
    EXPECT_EQ(kv::getLe32(setup().current.data.data() + 772), 0xF0000000u);
}

// --- the serial and glitch editors on a Nanlyn board ---------------------------------------------

// The protocol sample modes open their own editors without the method choice; each edits a copy that
// OK compiles into the masks and Cancel leaves alone.
TEST_F(TriggerOnBoards, NanlynSerialAndGlitchEditors) {
    ASSERT_TRUE(startViewer());
    ASSERT_TRUE(g_viewer->device.limits.nanlyn);
    const int index = g_viewer->shell.deviceIndex;
    KvSetHwInfo(index, kHwSelectMode, 4071);  // UART
    std::vector<int> order;
    onDialog([&](HWND dialog, int id) {
        order.push_back(id);
        EXPECT_EQ(text(dialog, IDC_UART_BAUD), L"9600");   // the defaults
        EXPECT_EQ(IsDlgButtonChecked(dialog, IDC_UART_AUTO_DETECT), BST_CHECKED);
        EXPECT_FALSE(enabled(dialog, IDC_SERIAL_IF_TEXT));
        SendDlgItemMessageW(dialog, IDC_UART_CHANNEL, CB_SETCURSEL, 3, 0);
        SendDlgItemMessageW(dialog, IDC_UART_BAUD, CB_SETCURSEL, 10, 0);       // 115200
        SendDlgItemMessageW(dialog, IDC_SERIAL_DATA_BITS, CB_SETCURSEL, 2, 0); // 7
        CheckDlgButton(dialog, IDC_SERIAL_IF, BST_CHECKED);
        click(dialog, IDC_SERIAL_IF);
        EXPECT_TRUE(enabled(dialog, IDC_SERIAL_IF_TEXT));
        EXPECT_TRUE(enabled(dialog, IDC_SERIAL_THEN));
        EXPECT_FALSE(enabled(dialog, IDC_SERIAL_THEN_TEXT));
        setText(dialog, IDC_SERIAL_IF_TEXT, L"41h  'B'   \"CD\"");
        setText(dialog, IDC_SERIAL_IF_TEXT + 1, L"'x' 7");
        CheckDlgButton(dialog, IDC_SERIAL_IF + 1, BST_CHECKED);
        CheckDlgButton(dialog, IDC_SERIAL_THEN + 1, BST_CHECKED);
        click(dialog, IDC_SERIAL_THEN + 1);
        setText(dialog, IDC_SERIAL_THEN_TEXT + 1, L"1 2 3 4 5 6 7 8 9 10 11 12 13 14 15");
        click(dialog, IDC_SERIAL_CHECK);   // 2 + 15 values in condition 1: refused
        EXPECT_EQ(prompts().countOf(kv::kStrSerialTooLong), 1);
        EXPECT_EQ(text(dialog, IDC_SERIAL_IF_TEXT), L"41h 'B' \"CD\" ");
        setText(dialog, IDC_SERIAL_THEN_TEXT + 1, L"0Dh 0Ah");
        click(dialog, IDC_SERIAL_CHECK);
        EXPECT_EQ(prompts().countOf(kv::kStrSerialTooLong), 1);
        saveWindowPicture(dialog, "trigger-uart");
        click(dialog, IDOK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(order, (std::vector<int>{IDD_UART_TRIGGER}));
    const kv::TriggerRecord& r = setup().current;
    EXPECT_EQ(r.mode, static_cast<uint32_t>(kv::kModeSerial));
    EXPECT_EQ(r.frequency(), 1843200u);
    const uint8_t expected[4] = {0x82, 0x42, 0xC2, 0x22};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(r.data[224 + 6 * (12 + i)], expected[i]) << i;
        EXPECT_EQ(r.data[224 + 384 + 6 * (12 + i)], 0xFE) << i;
    }
    EXPECT_EQ(kv::readUart(r).channel, 3u);
    kv::waitForTriggerProgramming();   // the hand-off runs on a worker
    EXPECT_GE(g_programmed, 1);

    // Cancel keeps the record; reopening shows what OK stored.
    const kv::TriggerRecord before = r;
    onDialog([&](HWND dialog, int) {
        EXPECT_EQ(text(dialog, IDC_UART_BAUD), L"115200");
        EXPECT_EQ(text(dialog, IDC_SERIAL_THEN_TEXT + 1), L"0Dh 0Ah ");
        setText(dialog, IDC_SERIAL_IF_TEXT, L"1");
        click(dialog, IDCANCEL);
    });
    command(kv::kIdTrigger);
    EXPECT_TRUE(setup().current == before);

    // I2C: SCK 35 is refused, 34 accepted (SDA shows 35).
    KvSetHwInfo(index, kHwSelectMode, 4074);
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_I2C_TRIGGER);
        setText(dialog, IDC_SERIAL_FIRST_PIN, L"35");
        click(dialog, IDOK);
        EXPECT_EQ(prompts().countOf(kv::kStrSckRange34), 1);
        setText(dialog, IDC_SERIAL_FIRST_PIN, L"34");
        EXPECT_EQ(text(dialog, IDC_SERIAL_THIRD_PIN), L"35");
        click(dialog, IDOK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(setup().current.mode, static_cast<uint32_t>(kv::kModeI2c));
    EXPECT_EQ(kv::readI2c(setup().current).sck, 34u);

    // SPI: clock 34 is refused; chip select and data follow the clock.
    KvSetHwInfo(index, kHwSelectMode, 4076);
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_SPI_TRIGGER);
        setText(dialog, IDC_SERIAL_FIRST_PIN, L"34");
        click(dialog, IDOK);
        EXPECT_EQ(prompts().countOf(kv::kStrSckRange33), 1);
        setText(dialog, IDC_SERIAL_FIRST_PIN, L"33");
        EXPECT_EQ(text(dialog, IDC_SERIAL_SECOND_PIN), L"34");
        EXPECT_EQ(text(dialog, IDC_SERIAL_THIRD_PIN), L"35");
        SendDlgItemMessageW(dialog, IDC_SERIAL_DATA_BITS, CB_SETCURSEL, 1, 0);
        CheckRadioButton(dialog, IDC_SPI_RISING, IDC_SPI_FALLING, IDC_SPI_FALLING);
        CheckDlgButton(dialog, IDC_SERIAL_IF, BST_CHECKED);
        click(dialog, IDC_SERIAL_IF);
        setText(dialog, IDC_SERIAL_IF_TEXT, L"9F01h");
        click(dialog, IDOK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(kv::readSpi(setup().current).width, 16u);
    EXPECT_EQ(kv::readSpi(setup().current).options, (1u << 8) | 2u);
    EXPECT_EQ(kv::getLe16(setup().current.data.data() + 80 + 6 * 15), 0x9F01);

    // I2S: a text not in canonical form asks first; "No" keeps the dialog open.
    KvSetHwInfo(index, kHwSelectMode, 4080);
    prompts().answers = {IDNO, IDYES};
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_I2S_TRIGGER);
        SendDlgItemMessageW(dialog, IDC_SERIAL_DATA_BITS, CB_SETCURSEL, 15, 0);  // 16 bits
        setText(dialog, IDC_I2S_PARAMETER, L"l1234h  r5");
        click(dialog, IDOK);
        EXPECT_EQ(prompts().countOf(IDS_CORRECT_TRIGGER_DATA), 1);
        click(dialog, IDOK);
        EXPECT_EQ(text(dialog, IDC_I2S_PARAMETER), L"L1234h R5");
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(kv::readI2s(setup().current).text, "L1234h R5");
    EXPECT_EQ(kv::readI2s(setup().current).bits, 16u);

    // Glitch: the scroll bar steps by 0.25 ns.
    KvSetHwInfo(index, kHwSelectMode, 4046);
    onDialog([&](HWND dialog, int id) {
        EXPECT_EQ(id, IDD_GLITCH_TRIGGER);
        setText(dialog, IDC_GLITCH_WIDTH, L"0.5");
        SendMessageW(dialog, WM_VSCROLL, SB_LINEUP, reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_GLITCH_SPIN)));
        EXPECT_EQ(text(dialog, IDC_GLITCH_WIDTH), L"0.75");
        saveWindowPicture(dialog, "trigger-glitch");
        click(dialog, IDOK);
    });
    command(kv::kIdTrigger);
    EXPECT_EQ(setup().current.mode, static_cast<uint32_t>(kv::kModeGlitch));
    EXPECT_EQ(setup().current.data[468], 3);
}

// --- the hand-off to the runtime, end to end -------------------------------------------------------

int g_runtimeAnswer = -1;
kv::TriggerProgrammer g_realProgrammer = nullptr;
// The runtime's own KvTrigger, its answer noted.
int throughRuntime(int index, void* call) { return g_runtimeAnswer = g_realProgrammer(index, call); }

// A confirmed single-level edit reaches the board through the real library, on either board line.
TEST_F(TriggerOnBoards, ConfirmedEditsAreProgrammedByTheRuntime) {
    ASSERT_TRUE(startViewer());
    kv::setTriggerProgrammer(nullptr);  // back from the fixture's recorder to the library's KvTrigger
    g_realProgrammer = kv::setTriggerProgrammer(throughRuntime);
    g_runtimeAnswer = -1;
    onDialog([&](HWND dialog, int id) {
        if (id == IDD_TRIGGER_METHOD) {
            CheckRadioButton(dialog, IDC_METHOD_FIRST, IDC_METHOD_FIRST + 9, IDC_METHOD_FIRST + kv::kModeSingle);
            click(dialog, IDOK);
            return;
        }
        pick(dialog, 0, kItemRising);
        pick(dialog, 1, kItem1);
        click(dialog, IDC_TRIGGER_OK);
    });
    command(kv::kIdTrigger);
    ASSERT_TRUE(pumpUntil([] { return setup().busy == 0 && g_runtimeAnswer >= 0; }));
    EXPECT_EQ(g_runtimeAnswer, 1) << "product " << std::hex << g_viewer->device.productCode;
    EXPECT_EQ(setup().current.mode, 0u);
}

// --- the started copies -------------------------------------------------------------------------

class TriggerBoards : public BoardCases {};
const char* const kSuite = "TriggerOnBoards";

TEST_F(TriggerBoards, MethodChoiceFamily) {
    EXPECT_EQ(runBoardCase("MethodChoiceMultiLevelLinksAndLevels", kChoiceBoard, kSuite), 0u);
    EXPECT_EQ(runBoardCase("MethodChoiceWidthAndTheFullPopup", kChoiceBoard, kSuite), 0u);
    EXPECT_EQ(runBoardCase("CancelInsideTheDualPathsAbandonsEverything", kChoiceBoard, kSuite), 0u);
}

TEST_F(TriggerBoards, Nanlyn) {
    EXPECT_EQ(runBoardCase("NanlynMultiConditionAndTheFastModes", kNanlynBoard, kSuite), 0u);
    EXPECT_EQ(runBoardCase("NanlynSerialAndGlitchEditors", kNanlynBoard, kSuite), 0u);
}

TEST_F(TriggerBoards, HandOffThroughTheRuntime) {
    EXPECT_EQ(runBoardCase("ConfirmedEditsAreProgrammedByTheRuntime", kChoiceBoard, kSuite), 0u);
    EXPECT_EQ(runBoardCase("ConfirmedEditsAreProgrammedByTheRuntime", kNanlynBoard, kSuite), 0u);
}

}  // namespace
}  // namespace kvtest
