// The Win32 suite's part of the dialog contract.

// clang-format off
#include <windows.h>
#include <commctrl.h>
// clang-format on

#include <array>

#include "tests/ui/dialog_contract.h"

namespace telvane::contract {

void Show(CDialog&) {}

void ReportClick(CDialog& dialog, int id) {
    SendMessageW(dialog.Hwnd(), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                 reinterpret_cast<LPARAM>(dialog.GetDlgItem(id)));
}

// As the dialog manager sends a dialog key that no button of its own takes.
void PressKey(CDialog& dialog, int focus_id, DIALOG_KEY key) {
    dialog.GotoDlgCtrl(focus_id);
    SendMessageW(dialog.Hwnd(), WM_COMMAND, key == DIALOG_KEY::ESCAPE ? IDCANCEL : IDOK, 0);
}

void RequestClose(CDialog& dialog) {
    SendMessageW(dialog.Hwnd(), WM_CLOSE, 0, 0);
}

std::u16string RowTooltip(CDeviceListView& view, int row) {
    std::array<wchar_t, 256> text{};
    NMLVGETINFOTIPW tip{};
    tip.hdr = {view.List(), static_cast<UINT_PTR>(GetDlgCtrlID(view.List())), LVN_GETINFOTIPW};
    tip.pszText = text.data();
    tip.cchTextMax = static_cast<int>(text.size());
    tip.iItem = row;
    SendMessageW(GetParent(view.List()), WM_NOTIFY, tip.hdr.idFrom, reinterpret_cast<LPARAM>(&tip));
    const std::wstring wide(text.data());
    return {wide.begin(), wide.end()};
}

std::vector<std::u16string> RowMenuCaptions(CDeviceListView& view, int row) {
    std::vector<std::u16string> captions;
    const HMENU menu = view.CreateRowMenu(row);
    if (menu == nullptr) return captions;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        std::array<wchar_t, 64> caption{};
        GetMenuStringW(menu, static_cast<UINT>(i), caption.data(), static_cast<int>(caption.size()), MF_BYPOSITION);
        const std::wstring wide(caption.data());
        captions.emplace_back(wide.begin(), wide.end());
    }
    DestroyMenu(menu);
    return captions;
}

}  // namespace telvane::contract
