// The installation utilities as the user and the installer meet them, under Wine: the real
// OmbixInterface.exe driven through its dialog from another process, and Setuvo.dll's three calls
// with their questions answered as a user would.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const char* const kKv = "Software\\Ombix\\KV";
const char* const kQg = "Software\\Ombix\\QG";

void deleteKey(const char* path) { RegDeleteTreeA(HKEY_LOCAL_MACHINE, path), RegDeleteKeyA(HKEY_LOCAL_MACHINE, path); }

void createKey(const char* path) {
    HKEY k;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(k);
}

void writeDword(const char* path, const char* name, DWORD v) {
    createKey(path);
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, path, name, REG_DWORD, &v, sizeof v);
}

// The value, or -1 when it is missing or not a number.
int64_t readDword(const char* path, const char* name) {
    DWORD v = 0, size = sizeof v, type = 0;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, path, name, RRF_RT_ANY, &type, &v, &size) != ERROR_SUCCESS ||
        type != REG_DWORD)
        return -1;
    return v;
}

bool keyExists(const char* path) {
    HKEY k;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    RegCloseKey(k);
    return true;
}

// --- OmbixInterface.exe, started as the user starts it ---

struct Program {
    PROCESS_INFORMATION pi{};
    HWND dialog = nullptr;
    Program() {
        STARTUPINFOA si{};
        si.cb = sizeof si;
        char line[] = "OmbixInterface.exe";
        if (!CreateProcessA(nullptr, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return;
        // The dialog is shown once its boxes are set: only then does it take clicks.
        for (int i = 0; i < 600 && !(dialog && IsWindowVisible(dialog)); ++i) {
            dialog = FindWindowA("#32770", "Ombix Interface Setting");
            Sleep(50);
        }
    }
    ~Program() {
        if (!pi.hProcess) return;
        if (WaitForSingleObject(pi.hProcess, 30000) != WAIT_OBJECT_0) TerminateProcess(pi.hProcess, 9);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    bool checked(int id) const { return SendDlgItemMessageA(dialog, id, BM_GETCHECK, 0, 0) == BST_CHECKED; }
    void click(int id) const { SendDlgItemMessageA(dialog, id, BM_CLICK, 0, 0); }
    DWORD finish(int button) {
        click(button);
        WaitForSingleObject(pi.hProcess, 30000);
        DWORD code = 99;
        GetExitCodeProcess(pi.hProcess, &code);
        return code;
    }
};

const int kBoxes[] = {1000, 1001, 1002, 1006, 1003, 1004, 1005};

TEST(OmbixInterface, ShowsTheStoredSwitchesAndWritesThemOnOkOnly) {
    deleteKey(kKv);
    deleteKey(kQg);
    {
        Program p;
        ASSERT_NE(p.dialog, nullptr);
        for (int id : kBoxes) EXPECT_TRUE(p.checked(id)) << id;  // nothing stored: everything checked
        p.click(1001);  // analyzer PCI off
        p.click(1005);  // generator USB off
        EXPECT_EQ(p.finish(IDOK), 0u);
    }
    EXPECT_EQ(readDword(kKv, "Printer Interface"), 1);
    EXPECT_EQ(readDword(kKv, "PCI Interface"), 0);
    EXPECT_EQ(readDword(kKv, "USB Interface"), 1);
    EXPECT_EQ(readDword(kKv, "ISA Interface"), 1);
    EXPECT_FALSE(keyExists(kQg));  // no pattern generator installed: its key is not made

    writeDword(kQg, "PCI Interface", 0);
    writeDword(kQg, "USB Interface", 5);  // only 0 disables
    {
        Program p;
        ASSERT_NE(p.dialog, nullptr);
        for (int id : kBoxes) EXPECT_EQ(p.checked(id), id != 1001 && id != 1004) << id;
        p.click(1000);
        EXPECT_EQ(p.finish(IDCANCEL), 1u);
    }
    EXPECT_EQ(readDword(kKv, "Printer Interface"), 1);  // Cancel wrote nothing
    EXPECT_EQ(readDword(kQg, "USB Interface"), 5);
    {
        Program p;
        ASSERT_NE(p.dialog, nullptr);
        p.click(1003);
        EXPECT_EQ(p.finish(IDOK), 0u);
    }
    EXPECT_EQ(readDword(kQg, "Printer Interface"), 0);
    EXPECT_EQ(readDword(kQg, "PCI Interface"), 0);
    EXPECT_EQ(readDword(kQg, "USB Interface"), 1);
    deleteKey(kKv);
    deleteKey(kQg);
}

// --- Setuvo.dll, called as the installer calls it ---

using Call = int32_t(__stdcall*)(HWND, int32_t*, char*);

struct Setuvo {
    HMODULE module = LoadLibraryA("Setuvo.dll");
    ~Setuvo() {
        if (module) FreeLibrary(module);
    }
    int32_t call(const char* name, int32_t number, const char* text) const {
        auto f = reinterpret_cast<Call>(GetProcAddress(module, name));
        if (!f) return -100;
        std::string t = text;
        return f(nullptr, &number, &t[0]);
    }
};

// Message boxes shown on this thread: their title and text, answered with the next answer.
struct Boxes {
    struct Seen {
        std::wstring title, text;
    };
    static std::vector<Seen> seen;
    static std::vector<int> answers;
    static HWND last;
    HHOOK hook = SetWindowsHookExW(WH_CBT, proc, nullptr, GetCurrentThreadId());
    ~Boxes() { UnhookWindowsHookEx(hook); }
    static LRESULT CALLBACK proc(int code, WPARAM wParam, LPARAM lParam) {
        HWND box = reinterpret_cast<HWND>(wParam);
        char cls[16] = {};
        if (code == HCBT_ACTIVATE) GetClassNameA(box, cls, sizeof cls);
        if (code == HCBT_ACTIVATE && box != last && std::string(cls) == "#32770") {
            last = box;  // a box may be activated more than once
            wchar_t title[128] = {}, text[512] = {};
            GetWindowTextW(box, title, 128);
            GetDlgItemTextW(box, 0xFFFF, text, 512);  // the message's static control
            seen.push_back({title, text});
            const int answer = answers.empty() ? IDOK : answers.front();
            if (!answers.empty()) answers.erase(answers.begin());
            PostMessageW(box, WM_COMMAND, answer, 0);
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
};
std::vector<Boxes::Seen> Boxes::seen;
std::vector<int> Boxes::answers;
HWND Boxes::last = nullptr;

TEST(Setuvo, OldSettingsAreDeletedOnlyWhenTheUserAnswersNo) {
    Setuvo dll;
    ASSERT_NE(dll.module, nullptr);
    EXPECT_EQ(GetProcAddress(dll.module, "DelOldPrj@12"), nullptr);
    Boxes boxes;
    Boxes::seen.clear();
    deleteKey("Software\\Brenvale\\QG");
    createKey("Software\\Brenvale\\QG\\Project\\Default\\Deeper");
    EXPECT_EQ(dll.call("DelOldPrj", 1, "Viewer"), 1);
    EXPECT_EQ(dll.call("DelOldPrj", 7, "QG"), 0);
    EXPECT_TRUE(Boxes::seen.empty());

    Boxes::answers = {IDYES};
    EXPECT_EQ(dll.call("DelOldPrj", 1, "QG"), 1);
    EXPECT_TRUE(keyExists("Software\\Brenvale\\QG\\Project\\Default\\Deeper"));
    Boxes::answers = {IDNO};
    EXPECT_EQ(dll.call("DelOldPrj", 1, "QG"), 1);
    EXPECT_FALSE(keyExists("Software\\Brenvale\\QG"));
    ASSERT_EQ(Boxes::seen.size(), 2u);
    const bool traditional = GetSystemDefaultLangID() == 1028;
    if (!traditional) {
        EXPECT_EQ(Boxes::seen[0].title, L"Information");
        EXPECT_EQ(Boxes::seen[0].text, L"The old environment and project was found.\r\n Do you want to keep them(y/n)?");
    }
}

TEST(Setuvo, InstallLanguageNeedsTheInstKeyAndAnUnknownRootTouchesNothing) {
    Setuvo dll;
    ASSERT_NE(dll.module, nullptr);
    Boxes boxes;
    Boxes::seen.clear();
    deleteKey("Software\\Ombix\\Inst");
    EXPECT_EQ(dll.call("InstLang", 2, ""), 0);
    EXPECT_TRUE(Boxes::seen.empty());
    EXPECT_EQ(dll.call("InstLang", 0, ""), 0);
    ASSERT_EQ(Boxes::seen.size(), 1u);
    if (GetSystemDefaultLangID() != 1028) {
        EXPECT_EQ(Boxes::seen[0].title, L"Setup");
        EXPECT_EQ(Boxes::seen[0].text, L"Please enter administrator mode then reinstall.");
    }
    createKey("Software\\Ombix\\Inst");
    EXPECT_EQ(dll.call("InstLang", 0, ""), 1);
    EXPECT_EQ(readDword("Software\\Ombix\\Inst", "InstLang"), GetSystemDefaultLangID() == 1028 ? 1 : 0);
    deleteKey("Software\\Ombix\\Inst");
}

// The port-driver service's state, or 0 when it cannot be queried.
DWORD serviceState(SC_HANDLE service) {
    SERVICE_STATUS st{};
    return QueryServiceStatus(service, &st) ? st.dwCurrentState : 0;
}

TEST(Setuvo, PortDriverCheckStartsTheServiceOnlyWhenItIsNotRunning) {
    Setuvo dll;
    ASSERT_NE(dll.module, nullptr);
    EXPECT_EQ(dll.call("ChkEppDrv", 0, ""), 0);  // no OmbixLPT service installed

    // A stand-in service under the driver's name.
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string stub = path;
    stub = stub.substr(0, stub.find_last_of('\\') + 1) + "port_service_stub.exe";
    SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(manager, nullptr);
    SC_HANDLE service = CreateServiceA(manager, "OmbixLPT", "OmbixLPT", SERVICE_ALL_ACCESS, SERVICE_WIN32_OWN_PROCESS,
                                       SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, stub.c_str(), nullptr, nullptr,
                                       nullptr, nullptr, nullptr);
    ASSERT_NE(service, nullptr);
    deleteKey("Software\\OmbixTest");

    EXPECT_EQ(dll.call("ChkEppDrv", 0, ""), 1);
    for (int i = 0; i < 100 && serviceState(service) != SERVICE_RUNNING; ++i) Sleep(50);
    EXPECT_EQ(serviceState(service), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_EQ(dll.call("ChkEppDrv", 0, ""), 1);  // running: only queried
    Sleep(200);
    EXPECT_EQ(readDword("Software\\OmbixTest", "Starts"), 1);

    SERVICE_STATUS st{};
    ControlService(service, SERVICE_CONTROL_STOP, &st);
    for (int i = 0; i < 100 && serviceState(service) != SERVICE_STOPPED; ++i) Sleep(50);
    DeleteService(service);
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
    deleteKey("Software\\OmbixTest");
}

}  // namespace
