#pragma once

// What each toolkit's test suite gives the dialog contract: the user's acts as that
// toolkit delivers them to a dialog.

#include <string>
#include <vector>

#include "ui/device_list_view.h"
#include "ui/dialog.h"

namespace telvane::contract {

// Makes the dialog's window ready for input (shown where the toolkit needs it).
void Show(CDialog& dialog);
// A click the system reports for control id whatever its state now, as a keyboard click
// started before the control was disabled reports it after.
void ReportClick(CDialog& dialog, int id);
// Escape or Enter with the keyboard focus on control focus_id (an edit).
void PressKey(CDialog& dialog, int focus_id, DIALOG_KEY key);
// The caption's close button.
void RequestClose(CDialog& dialog);

// The tooltip of a device list's row, and the captions of its row menu (separators empty).
std::u16string RowTooltip(CDeviceListView& view, int row);
std::vector<std::u16string> RowMenuCaptions(CDeviceListView& view, int row);

}  // namespace telvane::contract
