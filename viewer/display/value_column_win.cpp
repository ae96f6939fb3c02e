#include "viewer/display/value_column_win.h"

#include "viewer/shell/app_win.h"
#include "viewer/shell/panel_commands.h"

namespace kv {

namespace {
InstantStatus g_instant;
}

void noteInstantStatus(const uint8_t state[16], const uint32_t rate[2]) {
    g_instant = instantStatusFrom(state, rate);
    if (g_viewer && g_viewer->shell.panel)
        InvalidateRect(GetDlgItem(g_viewer->shell.panel, kIdWaveArea), nullptr, FALSE);
}

const InstantStatus& instantStatus() { return g_instant; }

bool liveValueText(const WaveRow& r, std::string& text) {
    const Viewer* v = g_viewer;
    if (!v || v->settings.valueField == kValueChannel) return false;
    text = instantValueText(r, g_instant, v->settings.valueField, v->settings.instFreqCh);
    return true;
}

}  // namespace kv
