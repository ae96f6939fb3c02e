// The label pop-up menu, the in-place rename, and the Add Label, Configure Label, Combine The
// Labels and Arrange Labels dialogs over the viewer's label table.
#pragma once

#include <windows.h>

#include "viewer/display/label_table.h"
#include "viewer/shell/message_table.h"

namespace kv {

// Commands 101-114 and 119 of the main panel (the label pop-up menu).
int32_t labelCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
// Command 1008 ("Toolbox"): the label pop-up menu below the button.
int32_t labelToolboxCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);
// Notifications of the in-place name edit (control 1020).
int32_t labelEditCommand(WinHandle window, uint32_t id, uint32_t notifyCode, MsgLParam lParam);

// The label pop-up menu with the entries of the current state (mode checked, Undo enabled only
// with a saved copy). The caller destroys it.
HMENU createLabelMenu();
// Shows the menu at a screen position for the label holding `entryUnderMouse` (-1: none); the
// chosen command reaches the main panel as WM_COMMAND.
void showLabelMenu(HWND owner, int screenX, int screenY, int entryUnderMouse);

// The label the pointer is over, for the commands that act on "the label under the mouse".
void setLabelUnderMouse(int entryIndex);
int labelUnderMouse();

// Where the view shows the rows: the first shown row and the width of the name column.
void setLabelViewGeometry(int firstRow, int nameWidth);

// A click on a label name: in delete or select mode the label is deleted or (de)selected and true
// is returned; in normal mode nothing happens and false is returned.
bool labelNameClicked(int entryIndex);

// What every change of the table ends with: buttons of rows that are gone are destroyed and the
// view is redrawn (it makes buttons for rows that have none).
void labelsChanged();

// The dialogs, for the commands and for tests. Each returns IDOK when the table was changed.
INT_PTR runAddLabelDialog(HWND parent);
INT_PTR runConfigureLabelDialog(HWND parent, int entryIndex);
INT_PTR runCombineDialog(HWND parent);
INT_PTR runArrangeDialog(HWND parent, int entryIndex);

// The colour of a colour-table index as the colour buttons paint it.
COLORREF labelColor(int32_t index);

}  // namespace kv
