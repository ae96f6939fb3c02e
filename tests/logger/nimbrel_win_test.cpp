// Nimbrel.exe as the user meets it, under Wine: started with virtual Nanlyn boards (HALVEX_VIRTUAL
// in its environment) and driven through its dialog from this process. A virtual board in logger
// mode streams change record k at sample clock k with the value k, so every line of the file can be
// checked against the board's signal.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/window_picture.h"

namespace {

const char* const kCaption = "Data Logger";
enum { kExit = 1000, kStart = 1001, kFile = 1002, kRate = 1004, kAutoStop = 1006, kStop = 1008, kStopTime = 1009,
       kChannels = 1010, kTime = 1011, kPostProcess = 1012 };

struct Logger {
    PROCESS_INFORMATION pi{};
    HWND dialog = nullptr;
    explicit Logger(const char* boards) {
        SetEnvironmentVariableA("HALVEX_VIRTUAL", boards);
        SetEnvironmentVariableA("HALVEX_VIRTUAL_LOG", nullptr);
        STARTUPINFOA si{};
        si.cb = sizeof si;
        char line[] = "Nimbrel.exe";
        const BOOL started = CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
        SetEnvironmentVariableA("HALVEX_VIRTUAL", nullptr);
        if (!started) return;
        WaitForInputIdle(pi.hProcess, 10000);
        // The dialog, or the message that no board answered.
        for (int waited = 0; waited < 10000 && !dialog && !box("Error", 0); waited += 50) {
            dialog = box(kCaption, 0);
            if (!dialog) Sleep(50);
        }
    }
    ~Logger() {
        if (!pi.hProcess) return;
        if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 9);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    // A dialog window of the program with this title other than the main dialog, or null.
    struct Find {
        DWORD pid;
        HWND skip;
        const char* title;
        HWND found;
    };
    static BOOL CALLBACK match(HWND w, LPARAM p) {
        auto* f = reinterpret_cast<Find*>(p);
        DWORD pid = 0;
        GetWindowThreadProcessId(w, &pid);
        char cls[16] = {}, text[128] = {};
        GetClassNameA(w, cls, sizeof cls);
        GetWindowTextA(w, text, sizeof text);
        if (pid != f->pid || w == f->skip || std::string(cls) != "#32770" || std::string(text) != f->title ||
            !IsWindowVisible(w))
            return TRUE;
        f->found = w;
        return FALSE;
    }
    HWND box(const char* title, int waitMs) const {
        Find f{pi.dwProcessId, dialog, title, nullptr};
        for (int waited = 0; waited <= waitMs; waited += 50) {
            EnumWindows(match, reinterpret_cast<LPARAM>(&f));
            if (f.found) return f.found;
            Sleep(50);
        }
        return nullptr;
    }
    // The text of the message box with this title, answered with `button`; empty when none came.
    std::string answer(const char* title, int button, int waitMs = 5000) const {
        HWND b = box(title, waitMs);
        if (!b) return std::string();
        char text[512] = {};
        GetDlgItemTextA(b, 0xFFFF, text, sizeof text);
        PostMessageA(b, WM_COMMAND, button, 0);
        for (int i = 0; i < 100 && IsWindow(b); ++i) Sleep(20);
        return text;
    }
    void set(int id, const std::string& text) const { SetDlgItemTextA(dialog, id, text.c_str()); }
    void check(int id, bool on) const { SendDlgItemMessageA(dialog, id, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0); }
    void press(int id) const { PostMessageA(dialog, WM_COMMAND, id, 0); }
    bool enabled(int id) const { return IsWindowEnabled(GetDlgItem(dialog, id)) != FALSE; }
    DWORD exitCode(int waitMs = 10000) const {
        WaitForSingleObject(pi.hProcess, waitMs);
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
};

std::string tempFolder() {
    char folder[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, folder);
    std::string f = std::string(folder) + "nimbrel_test";
    CreateDirectoryA(f.c_str(), nullptr);
    return f;
}

std::vector<std::string> fileLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string text = s.str();
    std::vector<std::string> out;
    for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2)
        out.push_back(text.substr(at, end - at));
    return out;
}

int filesLike(const std::string& pattern) {
    WIN32_FIND_DATAA data;
    HANDLE h = FindFirstFileA(pattern.c_str(), &data);
    if (h == INVALID_HANDLE_VALUE) return 0;
    int n = 1;
    while (FindNextFileA(h, &data)) ++n;
    FindClose(h);
    return n;
}

TEST(Nimbrel, WithoutABoardItSaysSoAndEnds) {
    Logger p("");
    ASSERT_NE(p.pi.hProcess, nullptr);
    EXPECT_EQ(p.dialog, nullptr);
    EXPECT_EQ(p.answer("Error", IDOK), "Mobrix Logic can NOT found!");
    EXPECT_EQ(p.exitCode(), 1u);
}

TEST(Nimbrel, StartRefusesBadSettingsWithTheirMessages) {
    Logger p("usb4=2236");
    ASSERT_NE(p.dialog, nullptr);
    const std::string file = tempFolder() + "\\refused.log";
    p.set(kFile, file);
    p.set(kChannels, "8");
    p.set(kRate, "50000001");
    p.press(kStart);
    EXPECT_EQ(p.answer("Error", IDOK), "Sampling rate is over range.( 50MHz ~ 0.02Hz )");
    p.set(kRate, "3");
    p.press(kStart);
    EXPECT_EQ(p.answer(kCaption, IDNO), "Sampling rate is match hardware clock. It will be use close up value.(Y/N)");
    Sleep(200);
    EXPECT_TRUE(p.enabled(kStart));  // No: nothing started
    EXPECT_FALSE(p.enabled(kStop));
    p.set(kRate, "1000");
    p.set(kChannels, "37");
    p.press(kStart);
    EXPECT_EQ(p.answer("Error", IDOK), "Channels are over range ( 1 ~ 36 )");
    p.set(kChannels, "36");
    p.check(kAutoStop, true);
    p.set(kStopTime, "0.5");
    p.press(kStart);
    EXPECT_EQ(p.answer("Error", IDOK), "Auto stop time is error.");
    p.set(kStopTime, "5");
    p.set(kFile, tempFolder() + "\\no such folder\\x.log");
    p.press(kStart);
    EXPECT_EQ(p.answer("Error", IDOK), "File can NOT open.");
    // Exit while logging: the run is stopped, its file completed, then the program ends.
    p.set(kFile, file);
    p.check(kAutoStop, false);
    p.press(kStart);
    Sleep(800);
    p.press(kExit);
    EXPECT_EQ(p.exitCode(), 0u);
    const std::vector<std::string> lines = fileLines(file);
    ASSERT_GT(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Sampling Rate = 1000.00Hz");
    EXPECT_EQ(lines[3], "000000000000001 000000001");
    DeleteFileA(file.c_str());
}

INT_PTR CALLBACK quietProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

TEST(Nimbrel, DialogAndTextsExistInTheThreeLanguages) {
    HMODULE exe = LoadLibraryExA("Nimbrel.exe", nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(exe, nullptr);
    const struct {
        WORD language;
        const char* picture;
    } kLanguages[] = {{1033, nullptr}, {1028, "nimbrel_1028"}, {2052, "nimbrel_2052"}};
    for (const auto& l : kLanguages) {
        HRSRC dialog = FindResourceExA(exe, MAKEINTRESOURCEA(5) /* RT_DIALOG */, MAKEINTRESOURCEA(100), l.language);
        EXPECT_NE(dialog, nullptr) << l.language;
        EXPECT_NE(FindResourceExA(exe, MAKEINTRESOURCEA(6) /* RT_STRING */, MAKEINTRESOURCEA(1), l.language), nullptr)
            << l.language;
        if (!dialog || !l.picture) continue;
        // The translated layout as the user sees it (the texts must fit their controls).
        auto* tmpl = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(exe, dialog)));
        HWND w = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), tmpl, nullptr, quietProc, 0);
        ASSERT_NE(w, nullptr);
        ShowWindow(w, SW_SHOW);
        MSG m;
        for (int i = 0; i < 20; ++i, Sleep(10))
            while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&m);
        kvtest::saveScreenPicture(w, l.picture);
        DestroyWindow(w);
    }
    FreeLibrary(exe);
}

class NimbrelRun : public testing::TestWithParam<bool> {};

TEST_P(NimbrelRun, LogsTheBoardsChangesForASetTimeAndMarksTheLostStretch) {
    const bool postProcess = GetParam();
    Logger p("usb0=2136:lose=100+3");
    ASSERT_NE(p.dialog, nullptr);
    const std::string folder = tempFolder();
    const std::string file = folder + (postProcess ? "\\post.log" : "\\direct.log");
    DeleteFileA(file.c_str());
    p.set(kFile, file);
    p.set(kRate, "1000");
    p.set(kChannels, "8");
    p.check(kAutoStop, true);
    p.set(kStopTime, "2");
    p.check(kPostProcess, postProcess);
    p.press(kStart);
    for (int i = 0; i < 100 && !p.enabled(kStop); ++i) Sleep(20);
    EXPECT_TRUE(p.enabled(kStop));
    EXPECT_FALSE(p.enabled(kStart));
    if (!postProcess) {
        Sleep(1200);
        kvtest::saveScreenPicture(p.dialog, "nimbrel_logging");
    }
    // The time limit stops the run; the lost stretch is reported once at the end.
    EXPECT_EQ(p.answer("Information", IDOK, 20000),
              "The capture data lost due to the data rate is too large, sampling rate is too high or USB speed is too "
              "low. but, will be remarked in the captured file.");
    EXPECT_TRUE(p.enabled(kStart));
    EXPECT_FALSE(p.enabled(kStop));
    char seconds[16] = {};
    GetDlgItemTextA(p.dialog, kTime, seconds, sizeof seconds);
    EXPECT_STREQ(seconds, "2");
    p.press(kExit);
    EXPECT_EQ(p.exitCode(), 0u);

    const std::vector<std::string> lines = fileLines(file);
    ASSERT_GT(lines.size(), 200u);
    EXPECT_EQ(lines[0], "Sampling Rate = 1000.00Hz");
    EXPECT_EQ(lines[1], "Format: Sample Clocks(Dec), Data(Hex)");
    // Change k at sample clock k carries the value k (8 channels: its low byte); records 100-102
    // were lost on the board and stand as one line.
    uint64_t k = 0;
    for (size_t i = 2; i < lines.size(); ++i, ++k) {
        if (k == 100) {
            ASSERT_EQ(lines[i], "***** lose data *****");
            k = 102;
            continue;
        }
        char want[32];
        std::snprintf(want, sizeof want, "%015llu %09llX", static_cast<unsigned long long>(k),
                      static_cast<unsigned long long>(k & 0xFF));
        ASSERT_EQ(lines[i], want) << "line " << i;
    }
    EXPECT_EQ(filesLike(folder + "\\AQ*.tmp"), 0);  // the raw records' file is gone
    DeleteFileA(file.c_str());
}

INSTANTIATE_TEST_SUITE_P(Modes, NimbrelRun, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& i) { return i.param ? "PostProcess" : "Direct"; });

}  // namespace
