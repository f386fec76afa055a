#pragma once

// The one kind of message the program shows: modal, an OK button, the warning icon,
// captioned with the application name (the executable's file name without extension).

#include <optional>
#include <string>
#include <string_view>

#if defined(_WIN32)
namespace telvane {
class CDialog;
// The window a box belongs to: the dialog on Windows, any widget elsewhere.
using MESSAGE_OWNER = CDialog;
}  // namespace telvane
#else
class QWidget;
namespace telvane {
using MESSAGE_OWNER = QWidget;
}  // namespace telvane
#endif

namespace telvane {

// Shows text and returns when the user has answered OK.
void ShowMessageBox(MESSAGE_OWNER* owner, std::u16string_view text);

// Asks text with Yes and No buttons, No the default (Enter and Escape answer No); the
// warning icon and caption as above. True when the user answered Yes.
bool AskYesNo(MESSAGE_OWNER* owner, std::u16string_view text);

// The application name: the executable's file name without its extension.
std::u16string ApplicationName();

// For each toolkit's boxes: while a hook is set, hands it text and returns the answer to
// give (No unless a test said otherwise); nothing when the box must really be shown.
std::optional<bool> HookedAnswer(std::u16string_view text);

}  // namespace telvane
