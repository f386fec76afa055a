#pragma once

// The message box calls with the Windows dialog as their owner; the rest of the interface
// is in ui/message_box.h.

#include <string_view>

#include "ui/message_box.h"

namespace telvane {

class CDialog;

void ShowMessageBox(CDialog* owner, std::u16string_view text);
bool AskYesNo(CDialog* owner, std::u16string_view text);

}  // namespace telvane
