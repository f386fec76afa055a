// The main window's controls as the system's accessibility layer (MSAA) names them: a label
// placed right before a control names it, the template's annotations name the rest, and
// buttons and radio buttons carry their captions and roles.

#include <gtest/gtest.h>

// clang-format off
#include <windows.h>
#include <initguid.h>
#include <oleacc.h>
// clang-format on

#include <cstdio>
#include <string>
#include <vector>

#include "ui/dialog_names.h"
#include "ui/win32/dialog_win32.h"
#include "resources/main_dialog.h"

namespace telvane {
namespace {

std::wstring Wide(const char* text) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, text, -1, out.data(), n);
    return out;
}

std::wstring WithoutMnemonic(const std::wstring& text) {
    std::wstring out;
    for (const wchar_t c : text)
        if (c != L'&') out += c;
    return out;
}

struct ANSWER {
    bool answered = false;
    std::wstring name;
    long role = 0;
};

ANSWER Ask(HWND control) {
    ANSWER answer;
    IAccessible* accessible = nullptr;
    if (FAILED(AccessibleObjectFromWindow(control, static_cast<DWORD>(OBJID_CLIENT), IID_IAccessible,
                                          reinterpret_cast<void**>(&accessible))))
        return answer;
    VARIANT self;
    VariantInit(&self);
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    BSTR name = nullptr;
    if (accessible->get_accName(self, &name) == S_OK && name != nullptr) {
        answer.answered = true;
        answer.name = name;
        SysFreeString(name);
    }
    VARIANT role;
    VariantInit(&role);
    if (SUCCEEDED(accessible->get_accRole(self, &role)) && role.vt == VT_I4) answer.role = role.lVal;
    accessible->Release();
    return answer;
}

// The name a screen reader should hear for template item i.
std::wstring ExpectedName(const DLG_TEMPLATE& t, std::size_t i) {
    const DLG_ITEM_TEMPLATE& item = t.items[i];
    for (const DLG_ACCESSIBLE_NAME& n : ControlNames(t)) {
        if (n.control_id != item.id) continue;
        if (n.text != nullptr) return Wide(n.text);
        for (const DLG_ITEM_TEMPLATE& label : t.items)
            if (label.id == n.label_id) return WithoutMnemonic(Wide(label.text));
    }
    return WithoutMnemonic(Wide(item.text));
}

// Whether this system's accessibility layer keeps a name given to a window (wine's answers
// E_NOTIMPL, and names such controls by its own rule).
bool AnnotationsKept(HWND window) {
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services))))
        return false;
    const HRESULT kept =
        services->SetHwndPropStr(window, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME, L"probe");
    services->Release();
    return SUCCEEDED(kept) && Ask(window).name == L"probe";
}

// Guards against a control a screen reader hears without its name or as another kind. What
// wine's accessibility layer cannot answer is printed as a notice, not passed over silently.
TEST(Win32Accessibility, EveryTabStopHasItsName) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const DLG_TEMPLATE& t = MainDialogTemplate();
    CDialog dialog(t);
    dialog.Create();
    const HWND scratch =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, 0, 0, 1, 1, dialog.Hwnd(), nullptr, nullptr, nullptr);
    const bool annotations = AnnotationsKept(scratch);
    if (!annotations) std::printf("NOTICE: this system keeps no names given to windows (IAccPropServices)\n");
    int captions = 0;
    for (std::size_t i = 0; i < t.items.size(); ++i) {
        const DLG_ITEM_TEMPLATE& item = t.items[i];
        if (!item.tab_stop) continue;
        const std::wstring expected = ExpectedName(t, i);
        const ANSWER answer = Ask(dialog.GetDlgItem(item.id));
        const bool own_caption = *item.text != '\0';
        const long role = item.kind == CONTROL_KIND::RADIO_BUTTON ? ROLE_SYSTEM_RADIOBUTTON
                          : own_caption                           ? ROLE_SYSTEM_PUSHBUTTON
                                                                  : 0;
        if (role != 0 && answer.role == ROLE_SYSTEM_CLIENT) {
            std::printf("NOTICE: %d is a window without a role here (expected role %ld)\n", item.id, role);
        } else if (role != 0) {
            EXPECT_EQ(answer.role, role) << item.id;
        }
        if (own_caption || annotations) {
            EXPECT_EQ(answer.name, expected) << item.id;
            captions += own_caption ? 1 : 0;
        } else if (answer.name != expected) {
            std::printf("NOTICE: %d is named \"%ls\" here (by its own rule), \"%ls\" where annotations are kept\n",
                        item.id, answer.name.c_str(), expected.c_str());
        }
    }
    EXPECT_EQ(captions, 11);  // three buttons and eight radio buttons
    DestroyWindow(scratch);
    CoUninitialize();
}

}  // namespace
}  // namespace telvane
