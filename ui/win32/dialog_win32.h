#pragma once

// A dialog built from one template table by the Windows dialog manager: the table becomes
// an in-memory extended dialog template, so there is no second copy of the layout in a
// resource script. Controls are reached by ID as with the dialog manager's own calls.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "ui/dialog_core.h"

namespace telvane {

class CIpv4AddressBox;

// The face every dialog uses on Windows: the shell's dialog font, whatever family the
// table names (the table's family is chosen for the Linux build's metrics).
inline constexpr wchar_t DIALOG_FONT_FAMILY[] = L"MS Shell Dlg";

// The extended dialog template (DLGTEMPLATEEX and its DLGITEMTEMPLATEEX items) for the table,
// ready for DialogBoxIndirectParamW and CreateDialogIndirectParamW. DWORD-aligned.
std::vector<std::uint8_t> BuildDialogTemplate(const DLG_TEMPLATE& dialog_template);

class CDialog : public CDialogCore {
public:
    explicit CDialog(const DLG_TEMPLATE& dialog_template);
    ~CDialog() override;

    // Creates the window and its controls and runs OnInitDialog before anything is shown;
    // then, unless the dialog was ended meanwhile, shows it and runs it modally. Returns the
    // result given to EndDialog.
    int DoModal();
    // Creates the window and runs OnInitDialog without showing it (a modeless window that
    // stays until the object goes).
    void Create();

    HWND Hwnd() const { return hwnd_; }
    HWND GetDlgItem(int id) const;
    CIpv4AddressBox* GetAddressBox(int id) const;
    void EnableDlgItem(int id, bool enable) override;
    bool IsDlgItemEnabled(int id) const override;
    void CheckDlgButton(int id, int check) override;
    int IsDlgButtonChecked(int id) const override;
    void SetDlgItemText(int id, std::u16string_view text) override;
    std::u16string GetDlgItemText(int id) const override;
    void LimitText(int id, int max_chars) override;
    int ComboAddString(int id, std::u16string_view text) override;
    void ComboSetCurSel(int id, int index) override;
    int ComboGetCurSel(int id) const override;
    int ComboGetCount(int id) const override;
    // By WM_NEXTDLGCTL, as the dialog manager moves it.
    void GotoDlgCtrl(int id) override;
    void SetProgressRange(int id, int low, int high) override;
    void SetProgressPos(int id, int pos) override;
    // Icon group IDR_MAINFRAME of the executable as the window's large and small icon.
    void SetProgramIcon() override;

    // WM_NOTIFY from a control, for the platform code behind it (a list view's custom
    // drawing). A handler that returns true has handled the message: *result becomes the
    // dialog's answer (DWLP_MSGRESULT).
    using NOTIFY_HANDLER = std::function<bool(NMHDR* header, LRESULT* result)>;
    void SetNotifyHandler(int control_id, NOTIFY_HANDLER handler);
    // WM_CONTEXTMENU over a control; x and y are screen coordinates, both -1 for the keyboard.
    void SetContextMenuHandler(int control_id, std::function<void(int x, int y)> handler);

    // After the window has moved to a monitor of another scale (WM_DPICHANGED) and the
    // system has rescaled its font and controls: for what the system does not rescale.
    // The handler gets the new DPI.
    void SetScaleChangedHandler(std::function<void(UINT dpi)> handler);

protected:
    bool ControlActs(int id) const override;
    void CloseWindow(int result) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    INT_PTR HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    void OnCommand(int id, UINT code, HWND control);
    void AttachControls();
    void NameControls();
    HWND ItemOrThrow(int id) const;

    HWND hwnd_ = nullptr;
    std::vector<std::pair<int, NOTIFY_HANDLER>> notify_handlers_;
    std::vector<std::pair<int, std::function<void(int, int)>>> context_menu_handlers_;
    std::vector<std::pair<int, std::unique_ptr<CIpv4AddressBox>>> address_boxes_;
    std::vector<std::function<void(UINT)>> scale_changed_handlers_;
    HICON big_icon_ = nullptr;
    HICON small_icon_ = nullptr;
    bool modeless_ = false;
    bool com_initialized_ = false;
};

}  // namespace telvane
