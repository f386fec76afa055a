#include "ui/win32/message_box_win32.h"

#include <windows.h>

#include <algorithm>
#include <string>

#include "ui/win32/dialog_win32.h"

namespace telvane {

namespace {

int ShowBox(CDialog* owner, std::u16string_view text, UINT type) {
    const std::wstring wide(text.begin(), text.end());
    const std::u16string name = ApplicationName();
    const std::wstring caption(name.begin(), name.end());
    return MessageBoxW(owner != nullptr ? owner->Hwnd() : nullptr, wide.c_str(), caption.c_str(), type);
}

}  // namespace

std::u16string ApplicationName() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);
    }
    const std::size_t slash = path.find_last_of(L"\\/");
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot > 0) name.resize(dot);
    std::u16string out(name.size(), u'\0');
    std::transform(name.begin(), name.end(), out.begin(), [](wchar_t c) { return static_cast<char16_t>(c); });
    return out;
}

void ShowMessageBox(CDialog* owner, std::u16string_view text) {
    if (HookedAnswer(text)) return;
    ShowBox(owner, text, MB_OK | MB_ICONWARNING);
}

bool AskYesNo(CDialog* owner, std::u16string_view text) {
    if (const std::optional<bool> answer = HookedAnswer(text)) return *answer;
    return ShowBox(owner, text, MB_YESNO | MB_ICONWARNING | MB_DEFBUTTON2) == IDYES;
}

}  // namespace telvane
