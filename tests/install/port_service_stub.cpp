// A stand-in for the parallel-port driver service "OmbixLPT", for the port-driver check under Wine:
// a service process that counts its starts in the registry and runs until it is told to stop.
#include <windows.h>

namespace {

SERVICE_STATUS_HANDLE g_status = nullptr;
HANDLE g_stop = nullptr;

void report(DWORD state) {
    SERVICE_STATUS s{};
    s.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    s.dwCurrentState = state;
    s.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
    SetServiceStatus(g_status, &s);
}

DWORD WINAPI handler(DWORD control, DWORD, LPVOID, LPVOID) {
    if (control == SERVICE_CONTROL_STOP) {
        report(SERVICE_STOP_PENDING);
        SetEvent(g_stop);
    }
    return NO_ERROR;
}

void WINAPI serviceMain(DWORD, LPSTR*) {
    g_status = RegisterServiceCtrlHandlerExA("OmbixLPT", handler, nullptr);
    g_stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    HKEY key;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, "Software\\OmbixTest", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                        nullptr) == ERROR_SUCCESS) {
        DWORD starts = 0, size = sizeof starts;
        RegQueryValueExA(key, "Starts", nullptr, nullptr, reinterpret_cast<BYTE*>(&starts), &size);
        ++starts;
        RegSetValueExA(key, "Starts", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&starts), sizeof starts);
        RegCloseKey(key);
    }
    report(SERVICE_RUNNING);
    WaitForSingleObject(g_stop, INFINITE);
    report(SERVICE_STOPPED);
}

}  // namespace

int main() {
    char name[] = "OmbixLPT";
    SERVICE_TABLE_ENTRYA table[] = {{name, serviceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
