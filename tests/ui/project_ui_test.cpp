// Projects in the running viewer: the set-up survives closing and starting again, the three project
// dialogs with their refusals, the file and project pop-up, and the grid drawn as the settings say.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/ui/ui_harness.h"
#include "viewer/commands/command_set_win.h"
#include "viewer/display/cursor_view_win.h"
#include "viewer/display/label_dialogs_win.h"
#include "viewer/display/wave_view_win.h"
#include "viewer/project/project_resources.h"
#include "viewer/project/project_win.h"
#include "viewer/shell/panel_commands.h"

namespace kvtest {
namespace {

using kv::g_viewer;

std::string scratchFolder() {
    char temp[MAX_PATH];
    GetTempPathA(MAX_PATH, temp);
    std::string folder = std::string(temp) + "kv_project_ui";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

void writeFileBytes(const std::string& name, const void* data, size_t size) {
    HANDLE f = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(f, data, static_cast<DWORD>(size), &written, nullptr);
    CloseHandle(f);
}

bool projectDword(const char* project, const char* name, DWORD& value) {
    const std::string key = std::string("SOFTWARE\\Ombix\\KV\\Project\\") + project;
    DWORD size = sizeof value, type = 0;
    return RegGetValueA(HKEY_LOCAL_MACHINE, key.c_str(), name, RRF_RT_ANY, &type, &value, &size) == ERROR_SUCCESS &&
           type == REG_DWORD;
}

std::vector<std::string> labelNames() {
    std::vector<std::string> out;
    const kv::LabelTable& t = g_viewer->labels.table;
    for (const kv::LabelRow& r : kv::labelRows(t)) out.push_back(t.entries[r.first].name);
    return out;
}

void command(int id) { SendMessageW(panel(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

std::vector<std::string> listInDialog(HWND dialog) {
    std::vector<std::string> names;
    HWND list = GetDlgItem(dialog, IDC_PROJECT_LIST);
    const int n = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
    for (int i = 0; i < n; ++i) {
        char text[64] = {};
        SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text));
        names.push_back(text);
    }
    return names;
}

// Types a name into a project dialog and presses `button`, then closes it if it is still open.
void runDialog(int command, int expectedTemplate, const char* name, int button, std::vector<std::string>* listed = nullptr) {
    onDialog([=](HWND dialog, int id) {
        ASSERT_EQ(id, expectedTemplate);
        if (listed) *listed = listInDialog(dialog);
        SetDlgItemTextA(dialog, IDC_PROJECT_NAME, name);
        SendMessageW(dialog, WM_COMMAND, button, 0);
        if (IsWindow(dialog)) SendMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    kvtest::command(command);
    onDialog(nullptr);
}

class ProjectTest : public ViewerTest {
protected:
    void SetUp() override {
        ViewerTest::SetUp();
        setWorkDirectory(scratchFolder());
        // Label files of earlier runs stay where their projects were deleted: without its project a
        // "Default.SIG" is not read (the table starts empty and is filled with every channel).
        kv::LabelTable stale;
        stale.entries[0].kind = kv::kLabelSingle;
        lstrcpyA(stale.entries[0].name, "STALE");
        const std::vector<uint8_t> bytes = kv::writeLabelTable(stale);
        writeFileBytes(scratchFolder() + "\\Default.SIG", bytes.data(), bytes.size());
        for (const char* name : {"Bench", "12345678901234567890123456789012"})
            DeleteFileA((scratchFolder() + "\\" + name + ".SIG").c_str());
    }
};

TEST_F(ProjectTest, LabelsZoomAndCursorsSurviveClosingAndStartingAgain) {
    ASSERT_TRUE(startViewer());
    pump(200);   // the set-up's "Add All Label" fills the empty table
    kv::LabelState& labels = g_viewer->labels;
    ASSERT_EQ(labels.table.count(), 64);
    ASSERT_EQ(kv::renameLabel(labels, 0, "CLOCK"), 0);
    ASSERT_EQ(kv::deleteLabel(labels, 1), 0);
    ASSERT_EQ(kv::combineLabels(labels, "NIBBLE", {"CH-02", "CH-03", "CH-04", "CH-05"}, {}), 0);
    labels.table.entries[0].flags |= kv::kLabelSelected;   // a selection does not outlive the program
    kv::labelsChanged();
    const std::vector<std::string> names = labelNames();
    command(kv::kIdZoomOut);   // zoom-in 1 -> one sample per pixel -> 2 samples per pixel -> 4
    command(kv::kIdZoomOut);
    command(kv::kIdZoomOut);
    ASSERT_EQ(kv::encodeZoom(kv::waveViewState().view), -2);
    kv::CursorSet& cursors = kv::cursorSet();
    cursors.cursors[kv::kCursorB].position = 1234;
    cursors.cursors[kv::kCursorE].position = 777;
    cursors.cursors[kv::kCursorD].flags = kv::kCursorFlagHidden;
    kv::focusCursor(kv::kCursorC);
    kv::waveViewState().view.nameWidth = 111;
    command(kv::kIdInvert);
    kv::LoadCommandSet("BUSCMDS");
    ASSERT_TRUE(closeViewer());

    DWORD zoom = 0, hwid = 0;
    ASSERT_TRUE(projectDword("Default", "Zoom In", zoom));
    EXPECT_EQ(static_cast<int32_t>(zoom), -2);
    ASSERT_TRUE(projectDword("Default", "HWID", hwid));
    EXPECT_EQ(hwid, 0x1164u);
    EXPECT_NE(GetFileAttributesA((scratchFolder() + "\\Default.SIG").c_str()), INVALID_FILE_ATTRIBUTES);

    prompts().asked.clear();
    ASSERT_TRUE(startViewer());
    pump(200);
    EXPECT_EQ(labelNames(), names);
    EXPECT_EQ(g_viewer->labels.table.count(), 63);
    EXPECT_EQ(g_viewer->labels.table.entries[0].flags & kv::kLabelSelected, 0u);
    EXPECT_EQ(prompts().countOf(203), 0);   // the restored table is not filled again
    EXPECT_EQ(kv::waveViewState().view.zoomOut, 2);
    EXPECT_EQ(kv::waveViewState().view.zoomIn, 0);
    EXPECT_EQ(kv::waveViewState().view.nameWidth, 111);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorB].position, 1234);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorE].position, 777);
    EXPECT_EQ(kv::cursorSet().cursors[kv::kCursorD].flags, kv::kCursorFlagHidden);
    EXPECT_EQ(kv::cursorSet().focus, kv::kCursorC);
    EXPECT_TRUE(g_viewer->panel.invert);
    EXPECT_EQ(IsDlgButtonChecked(panel(), kv::kIdInvert), BST_CHECKED);
    EXPECT_EQ(kv::activeCommandSetName(), "BUSCMDS");
    saveWindowPicture(mainWindow(), "project-restored");
    ASSERT_TRUE(closeViewer());
}

TEST_F(ProjectTest, SaveLoadAndDeleteThroughTheirDialogs) {
    ASSERT_TRUE(startViewer());
    pump(200);
    kv::LabelState& labels = g_viewer->labels;
    ASSERT_EQ(kv::renameLabel(labels, 0, "STROBE"), 0);
    kv::labelsChanged();

    // A refused name keeps the dialog open and saves nothing (the rules are checked natively).
    runDialog(kv::kIdSaveProject, IDD_SAVE_PROJECT, "Default", IDOK);
    EXPECT_EQ(prompts().countOf(IDS_NO_DEFAULT_NAME), 1);
    runDialog(kv::kIdSaveProject, IDD_SAVE_PROJECT, "12345678901234567890123456789012", IDOK);
    runDialog(kv::kIdSaveProject, IDD_SAVE_PROJECT, "Bench  ", IDOK);
    DWORD width = 0;
    ASSERT_TRUE(projectDword("Bench", "Name Width", width));

    // Saving over it asks; No leaves the stored project as it was.
    ASSERT_EQ(kv::renameLabel(labels, 0, "CHANGED"), 0);
    kv::cursorSet().cursors[kv::kCursorA].position = 4321;
    prompts().asked.clear();
    prompts().answers = {IDNO};
    std::vector<std::string> listed;
    runDialog(kv::kIdSaveProject, IDD_SAVE_PROJECT, "bench", IDOK, &listed);
    EXPECT_EQ(prompts().countOf(IDS_PROJECT_EXISTS), 1);
    EXPECT_EQ(listed, (std::vector<std::string>{"12345678901234567890123456789012", "Bench"}));
    DWORD cursorA = 0;
    ASSERT_TRUE(projectDword("Bench", "Cursor A", cursorA));
    EXPECT_NE(cursorA, 4321u);

    // Load: an unknown name is refused; a known one asks before replacing the labels.
    prompts().asked.clear();
    runDialog(kv::kIdLoadProject, IDD_LOAD_PROJECT, "Nowhere", IDOK);
    EXPECT_EQ(prompts().countOf(IDS_NO_SUCH_PROJECT), 1);
    EXPECT_EQ(labelNames()[0], "CHANGED");
    prompts().asked.clear();
    runDialog(kv::kIdLoadProject, IDD_LOAD_PROJECT, "Bench", IDOK);
    EXPECT_EQ(prompts().countOf(IDS_OVERWRITE_LABELS), 1);
    EXPECT_EQ(labelNames()[0], "STROBE");
    EXPECT_EQ(static_cast<DWORD>(kv::cursorSet().cursors[kv::kCursorA].position), cursorA);

    // A damaged label file is told and the labels in use stay.
    writeFileBytes(scratchFolder() + "\\Bench.SIG", "not a label table", 17);
    ASSERT_EQ(kv::renameLabel(labels, 0, "KEPT"), 0);
    prompts().asked.clear();
    runDialog(kv::kIdLoadProject, IDD_LOAD_PROJECT, "Bench", IDOK);
    EXPECT_EQ(prompts().countOf(319), 1);
    EXPECT_EQ(labelNames()[0], "KEPT");

    // Delete: "Default" and unknown names are refused; deleting empties list and edit.
    prompts().asked.clear();
    runDialog(kv::kIdDeleteProject, IDD_DELETE_PROJECT, "Default", IDC_PROJECT_DELETE);
    runDialog(kv::kIdDeleteProject, IDD_DELETE_PROJECT, "Elsewhere", IDC_PROJECT_DELETE);
    EXPECT_EQ(prompts().countOf(IDS_CANNOT_DELETE_DEFAULT), 1);
    EXPECT_EQ(prompts().countOf(IDS_CANNOT_DELETE_NAME), 1);
    onDialog([](HWND dialog, int) {
        SetDlgItemTextA(dialog, IDC_PROJECT_NAME, "12345678901234567890123456789012");
        SendMessageW(dialog, WM_COMMAND, IDC_PROJECT_DELETE, 0);
        // A click in the list copies the name into the edit.
        SendDlgItemMessageA(dialog, IDC_PROJECT_LIST, LB_SETCURSEL, 0, 0);
        SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PROJECT_LIST, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PROJECT_LIST)));
        char text[64] = {};
        GetDlgItemTextA(dialog, IDC_PROJECT_NAME, text, sizeof text);
        EXPECT_STREQ(text, "Bench");
        saveWindowPicture(dialog, "delete-project");
        SendMessageW(dialog, WM_COMMAND, IDC_PROJECT_DELETE, 0);
        EXPECT_TRUE(listInDialog(dialog).empty());
        GetDlgItemTextA(dialog, IDC_PROJECT_NAME, text, sizeof text);
        EXPECT_STREQ(text, "");
        SendMessageW(dialog, WM_COMMAND, IDC_PROJECT_OK, 0);
    });
    command(kv::kIdDeleteProject);
    onDialog(nullptr);
    DWORD gone = 0;
    EXPECT_FALSE(projectDword("Bench", "Name Width", gone));
    ASSERT_TRUE(closeViewer());
}

TEST_F(ProjectTest, FileMenuOffersTheProjectAndWaveformCommands) {
    ASSERT_TRUE(startViewer());
    HMENU menu = kv::createFileMenu();
    const std::vector<UINT> expected = {kv::kIdLoadProject, kv::kIdSaveProject, kv::kIdDeleteProject, 0,
                                        kv::kIdLoadWave,    kv::kIdSaveWave};
    ASSERT_EQ(GetMenuItemCount(menu), static_cast<int>(expected.size()));
    for (size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(GetMenuItemID(menu, static_cast<int>(i)), expected[i]);
    DestroyMenu(menu);
    ASSERT_TRUE(closeViewer());
}

TEST_F(ProjectTest, GridIsDrawnWithTheStoredSizeTypeAndColor) {
    writeDword("Grid Size", 20);
    writeDword("Grid Type", 0);    // PS_SOLID: every pixel of the line is drawn
    writeDword("Grid Color", 2);   // red in the colour table
    ASSERT_TRUE(startViewer());
    pump(200);
    std::vector<uint64_t> words(2049, 0);   // every channel low: row middles hold nothing but the grid
    kv::Viewer& v = *g_viewer;
    v.store.attach(reinterpret_cast<uint8_t*>(words.data()), 2048 * 8, 64, 64, 64, kv::kStoragePacked);
    kv::timeBaseChanged();
    RedrawWindow(panelItem(kv::kIdWaveArea), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
    pump(50);
    const RECT waves = kv::paneWavesRect(panelItem(kv::kIdWaveArea), 0);
    const int y = v.settings.waveHeight / 2;   // the first row is not shaded
    const COLORREF background = kv::waveSurfacePixel(waves.left + 5, y);
    const COLORREF line = background ^ kv::labelColor(2);
    for (int x = 20; x < 200; x += 20) {
        EXPECT_EQ(kv::waveSurfacePixel(waves.left + x, y), line) << x;
        EXPECT_EQ(kv::waveSurfacePixel(waves.left + x + 10, y), background) << x;
    }
    saveWindowPicture(mainWindow(), "grid-from-settings");
    v.store.attach(nullptr, 0, 64, 64, 64, kv::kStoragePacked);
    ASSERT_TRUE(closeViewer());
}

}  // namespace
}  // namespace kvtest
