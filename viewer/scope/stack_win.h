// The Win32 side of stacking: the scope the viewer holds, Zentro.DLL and VISA32.DLL bound at run
// time, the "DSO Stack Setting" dialog, the connection at start-up, and what the view and the
// acquisition take from the scope.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "viewer/display/scope_rows.h"
#include "viewer/scope/stacking.h"

namespace kv {

ScopeStack& scopeStack();
// The scope channels "Add All Labels" adds: those of the stacked scope, none without one.
int stackedScopeChannels();

// Configure Environment's "DSO" button (and the analog label editor): true when OK was pressed.
bool runStackSettingDialog(HWND parent);

// With a board, the scope the settings name is opened; one not found is reported (297, or 298
// for a Tektronix scope) and stacking is off.
void connectStackedScope(HWND owner);

// Before each logic capture: the scope set up from the labels and the stack settings.
void configureForCapture(ScopeDevice& scope);
// After it: whether the scope's samples are shown.
void setScopeDataShown(bool shown);

// What a scope row of the view draws from (false: nothing to draw for that scope channel).
bool scopeRowTrace(int32_t channel, ScopeMapping& mapping, ScopeTrace& trace);
// The measuring line from y0 to y1 (pixels from the top of the waves) when it starts on a scope
// row with samples: the voltage it spans, by that row's scale.
bool measuringLineMicrovolts(int32_t y0, int32_t y1, int64_t& microvolts);

// The scope rows of a redraw, added to the frame the logic rows were rendered into.
void renderScopeRows(const PaneGeometry& pane, const std::vector<WaveRow>& rows, const RenderStyle& style,
                     const Band& band, PrimitiveList& out);

}  // namespace kv
