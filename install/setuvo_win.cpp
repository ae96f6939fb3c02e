// Setuvo.dll: the installer's three calls. Each takes the installer's window, a pointer to a 32-bit
// number and a text (the form the installer's library calls use), stdcall, exported undecorated.
#include <windows.h>

#include <cstdint>

#include "install/install_resources.h"
#include "install/setuvo.h"
#include "install/ui_language_win.h"
#include "platform/registry_win.h"
#include "viewer/shell/resources_win.h"

namespace {

HINSTANCE g_module = nullptr;

class WinServices : public kv::ServiceManager {
public:
    bool ntFamily() override {
        OSVERSIONINFOA v{};
        v.dwOSVersionInfoSize = sizeof v;
        return GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT;
    }
    bool open(const char* name) override {
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT);
        if (manager_) service_ = OpenServiceA(manager_, name, SERVICE_QUERY_STATUS | SERVICE_START | SERVICE_STOP);
        return service_ != nullptr;
    }
    bool running() override {
        SERVICE_STATUS s{};
        return QueryServiceStatus(service_, &s) && s.dwCurrentState == SERVICE_RUNNING;
    }
    void stop() override {
        SERVICE_STATUS s{};
        ControlService(service_, SERVICE_CONTROL_STOP, &s);
    }
    void start() override { StartServiceA(service_, 0, nullptr); }
    void close() override {
        if (service_) CloseServiceHandle(service_);
        if (manager_) CloseServiceHandle(manager_);
        service_ = manager_ = nullptr;
    }

private:
    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
};

// The installer's questions follow the system's language.
int message(HWND owner, int text, int title, UINT buttons) {
    kv::setResourceLanguage(g_module, kv::resourceLanguageFor(GetSystemDefaultLangID()));
    return MessageBoxW(owner, kv::loadString(text).c_str(), kv::loadString(title).c_str(), buttons);
}

int32_t numberAt(const int32_t* p) { return p ? *p : -1; }

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) g_module = instance;
    return TRUE;
}

extern "C" int32_t __stdcall ChkEppDrv(HWND, int32_t*, char*) {
    WinServices services;
    return kv::checkPortDriver(services);
}

extern "C" int32_t __stdcall DelOldPrj(HWND window, int32_t* root, char* product) {
    return kv::deleteOldProjects(kv::winRegistry(), numberAt(root), product ? product : "", [window] {
        return message(window, IDS_KEEP_OLD_SETTINGS, IDS_KEEP_OLD_TITLE, MB_YESNO | MB_ICONQUESTION) == IDYES;
    });
}

extern "C" int32_t __stdcall InstLang(HWND window, int32_t* root, char*) {
    return kv::recordInstallLanguage(kv::winRegistry(), numberAt(root), GetSystemDefaultLangID(), [window] {
        message(window, IDS_NOT_ADMINISTRATOR, IDS_NOT_ADMINISTRATOR_TITLE, MB_OK | MB_ICONSTOP);
    });
}
