#include "viewer/trigger/trigger_project_win.h"

#include <windows.h>

#include "runtime/halvex_api.h"
#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"
#include "viewer/trigger/trigger_project.h"

namespace kv {
bool saveTriggerProject(const std::string& projectKey) {
    return writeTriggerProject(viewerRegistry(), projectKey, g_viewer->acq.trigger);
}

void loadTriggerProject(const std::string& projectKey) {
    Viewer& v = *g_viewer;
    TriggerSetup& s = v.acq.trigger;
    readTriggerProject(viewerRegistry(), projectKey, s);
    if (s.device.nanlyn || !v.shell.panel) return;
    const int index = v.shell.deviceIndex;
    const TriggerRecord& r = s.current;
    HWND rates = GetDlgItem(v.shell.panel, kIdRateList);
    SendMessageW(rates, CB_SETCURSEL, static_cast<WPARAM>(KvFreq2IndexEx(index, r.frequencyLow, r.frequencyHigh)), 0);
    SendDlgItemMessageW(v.shell.panel, kIdClockList, CB_SETCURSEL, static_cast<WPARAM>(KvExtClk2Index(index, r.clock)), 0);
    EnableWindow(rates, (r.clock & 1) != 0);
}

}  // namespace kv
