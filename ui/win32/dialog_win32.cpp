#include "ui/win32/dialog_win32.h"

#include <commctrl.h>
#include <windowsx.h>
// clang-format off
#include <initguid.h>
#include <oleacc.h>
// clang-format on

#include <algorithm>
#include <array>
#include <stdexcept>
#include <string>

#include "ui/dialog_names.h"
#include "ui/win32/ipv4_address_box_win32.h"
#include "net/wide_text.h"

namespace telvane {

namespace {

using win32::ToU16;
using win32::ToWide;

constexpr int PROGRAM_ICON_ID = 128;
// Posted to itself on WM_DPICHANGED, so it arrives after the dialog manager's rescaling.
constexpr UINT WM_SCALE_CHANGED = WM_APP + 1;

std::wstring Utf8ToWide(const char* text) {
    if (text == nullptr || *text == '\0') return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, text, -1, nullptr, 0);
    if (length <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text, -1, wide.data(), length);
    wide.resize(static_cast<std::size_t>(length - 1));
    return wide;
}

// Writes the little-endian words of a dialog template.
class CTemplateWriter {
public:
    void Word(std::uint16_t value) {
        bytes_.push_back(static_cast<std::uint8_t>(value & 0xFFu));
        bytes_.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Short(int value) { Word(static_cast<std::uint16_t>(static_cast<std::int16_t>(value))); }
    void Dword(std::uint32_t value) {
        Word(static_cast<std::uint16_t>(value & 0xFFFFu));
        Word(static_cast<std::uint16_t>(value >> 16));
    }
    void Byte(std::uint8_t value) { bytes_.push_back(value); }
    void String(std::wstring_view text) {
        for (const wchar_t c : text) Word(static_cast<std::uint16_t>(c));
        Word(0);
    }
    void AlignDword() {
        while (bytes_.size() % 4 != 0) bytes_.push_back(0);
    }
    std::vector<std::uint8_t> Take() { return std::move(bytes_); }

private:
    std::vector<std::uint8_t> bytes_;
};

struct CONTROL_CLASS {
    const wchar_t* name;
    DWORD style;
};

CONTROL_CLASS ClassOf(CONTROL_KIND kind) {
    switch (kind) {
        case CONTROL_KIND::LABEL:
            // Clipped rather than wrapped where the font is wider than the layout's, which
            // would push the last word below the label's one line out of sight.
            return {L"Static", SS_LEFTNOWORDWRAP};
        case CONTROL_KIND::LIST_VIEW:
            return {WC_LISTVIEWW, LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | WS_BORDER};
        case CONTROL_KIND::PROGRESS_BAR:
            return {PROGRESS_CLASSW, PBS_SMOOTH | WS_BORDER};
        case CONTROL_KIND::GROUP_FRAME:
            return {L"Button", BS_GROUPBOX};
        case CONTROL_KIND::RADIO_BUTTON:
            return {L"Button", BS_AUTORADIOBUTTON};
        case CONTROL_KIND::IPV4_ADDRESS:
            return {WC_IPADDRESSW, 0};
        case CONTROL_KIND::PUSH_BUTTON:
            return {L"Button", BS_PUSHBUTTON};
        case CONTROL_KIND::DEFAULT_PUSH_BUTTON:
            return {L"Button", BS_DEFPUSHBUTTON};
        case CONTROL_KIND::DROP_DOWN_LIST:
            // The template's height is that of the opened list.
            return {L"ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL};
        case CONTROL_KIND::EDIT:
            return {L"Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER};
    }
    return {L"Static", SS_LEFT};
}

const DLG_ITEM_TEMPLATE* FindItem(const DLG_TEMPLATE& dialog_template, int id) {
    for (const DLG_ITEM_TEMPLATE& item : dialog_template.items)
        if (item.id == id) return &item;
    return nullptr;
}

}  // namespace

std::vector<std::uint8_t> BuildDialogTemplate(const DLG_TEMPLATE& dialog_template) {
    CTemplateWriter out;
    // DLGTEMPLATEEX
    out.Word(1);       // dlgVer
    out.Word(0xFFFF);  // signature
    out.Dword(0);      // helpID
    out.Dword(WS_EX_APPWINDOW);
    out.Dword(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME | DS_SHELLFONT);
    out.Word(static_cast<std::uint16_t>(dialog_template.items.size()));
    out.Short(0);
    out.Short(0);
    out.Short(dialog_template.cx);
    out.Short(dialog_template.cy);
    out.Word(0);  // no menu
    out.Word(0);  // the dialog class
    out.String(Utf8ToWide(dialog_template.title));
    out.Word(static_cast<std::uint16_t>(dialog_template.font_point_size));
    out.Word(FW_NORMAL);
    out.Byte(0);  // not italic
    out.Byte(DEFAULT_CHARSET);
    out.String(DIALOG_FONT_FAMILY);
    for (const DLG_ITEM_TEMPLATE& item : dialog_template.items) {
        // DLGITEMTEMPLATEEX
        out.AlignDword();
        const CONTROL_CLASS control_class = ClassOf(item.kind);
        DWORD style = WS_CHILD | control_class.style;
        if (item.visible) style |= WS_VISIBLE;
        if (!item.enabled) style |= WS_DISABLED;
        if (item.group) style |= WS_GROUP;
        if (item.tab_stop) style |= WS_TABSTOP;
        out.Dword(0);  // helpID
        out.Dword(0);  // exStyle
        out.Dword(style);
        out.Short(item.x);
        out.Short(item.y);
        out.Short(item.cx);
        out.Short(item.cy);
        out.Dword(static_cast<std::uint32_t>(item.id));
        out.String(control_class.name);
        out.String(Utf8ToWide(item.text));
        out.Word(0);  // no creation data
    }
    return out.Take();
}

CDialog::CDialog(const DLG_TEMPLATE& dialog_template) : CDialogCore(dialog_template) {}

CDialog::~CDialog() {
    if (hwnd_ != nullptr) DestroyWindow(hwnd_);
    if (big_icon_ != nullptr) DestroyIcon(big_icon_);
    if (small_icon_ != nullptr) DestroyIcon(small_icon_);
    if (com_initialized_) CoUninitialize();
}

int CDialog::DoModal() {
    if (hwnd_ != nullptr) {
        // Created earlier without showing: run it modally here.
        if (!IsEnded()) ShowWindow(hwnd_, SW_SHOW);
        MSG msg{};
        while (!IsEnded() && GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (IsDialogMessageW(hwnd_, &msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        return EndResult();
    }
    const std::vector<std::uint8_t> bytes = BuildDialogTemplate(Template());
    const INT_PTR result =
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
                                &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    hwnd_ = nullptr;
    address_boxes_.clear();
    if (result == -1) throw std::runtime_error("the dialog could not be created");
    return EndResult();
}

void CDialog::Create() {
    if (hwnd_ != nullptr) return;
    std::vector<std::uint8_t> bytes = BuildDialogTemplate(Template());
    // The style DWORD of DLGTEMPLATEEX, at offset 12: not shown yet.
    DWORD style = 0;
    std::copy_n(bytes.begin() + 12, sizeof style, reinterpret_cast<std::uint8_t*>(&style));
    style &= ~static_cast<DWORD>(WS_VISIBLE);
    std::copy_n(reinterpret_cast<const std::uint8_t*>(&style), sizeof style, bytes.begin() + 12);
    modeless_ = true;
    const HWND hwnd =
        CreateDialogIndirectParamW(GetModuleHandleW(nullptr), reinterpret_cast<LPCDLGTEMPLATEW>(bytes.data()), nullptr,
                                   &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
    if (hwnd == nullptr) throw std::runtime_error("the dialog could not be created");
}

void CDialog::CloseWindow(int result) {
    if (hwnd_ != nullptr) ::EndDialog(hwnd_, result);
}

bool CDialog::ControlActs(int id) const {
    const HWND control = GetDlgItem(id);
    return control == nullptr || IsWindowEnabled(control) != FALSE;
}

INT_PTR CALLBACK CDialog::DialogProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    CDialog* self = nullptr;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<CDialog*>(lparam);
        SetWindowLongPtrW(hwnd, DWLP_USER, lparam);
        self->hwnd_ = hwnd;
    } else {
        self = reinterpret_cast<CDialog*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    }
    if (self == nullptr) return FALSE;
    return self->HandleMessage(message, wparam, lparam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_DPICHANGED:
            // The dialog manager rescales the window, its font and its controls once this
            // returns; what it leaves alone is fitted to them afterwards.
            PostMessageW(hwnd_, WM_SCALE_CHANGED, LOWORD(wparam), 0);
            return FALSE;
        case WM_SCALE_CHANGED:
            for (const auto& handler : scale_changed_handlers_) handler(static_cast<UINT>(wparam));
            return TRUE;
        case WM_INITDIALOG:
            AttachControls();
            return OnInitDialog() ? TRUE : FALSE;
        case WM_COMMAND:
            OnCommand(static_cast<short>(LOWORD(wparam)), HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            return TRUE;
        case WM_CLOSE:
            // The caption's close button, Alt+F4 and the system menu.
            CloseRequested();
            return TRUE;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lparam);
            const int id = static_cast<int>(header->idFrom);
            for (const auto& [control_id, handler] : notify_handlers_) {
                if (control_id != id) continue;
                LRESULT result = 0;
                if (!handler(header, &result)) return FALSE;
                SetWindowLongPtrW(hwnd_, DWLP_MSGRESULT, result);
                return TRUE;
            }
            return FALSE;
        }
        case WM_CONTEXTMENU: {
            const int id = GetDlgCtrlID(reinterpret_cast<HWND>(wparam));
            for (const auto& [control_id, handler] : context_menu_handlers_) {
                if (control_id != id) continue;
                handler(GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam));
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

void CDialog::OnCommand(int id, UINT code, HWND control) {
    if (control == nullptr) {
        // From the dialog manager's keys (Escape, Enter without a button).
        DialogKeyCommand(id);
        return;
    }
    const DLG_ITEM_TEMPLATE* item = FindItem(Template(), id);
    if (item == nullptr) return;
    switch (item->kind) {
        case CONTROL_KIND::PUSH_BUTTON:
        case CONTROL_KIND::DEFAULT_PUSH_BUTTON:
        case CONTROL_KIND::RADIO_BUTTON:
            if (code == BN_CLICKED) Notify(id, NOTIFICATION::CLICKED);
            break;
        case CONTROL_KIND::DROP_DOWN_LIST:
            if (code == CBN_SELCHANGE) Notify(id, NOTIFICATION::SELECTION_CHANGE);
            break;
        case CONTROL_KIND::EDIT:
            if (code == EN_CHANGE) Notify(id, NOTIFICATION::CHANGE);
            break;
        case CONTROL_KIND::IPV4_ADDRESS:
            if (code == EN_CHANGE) {
                for (const auto& [box_id, box] : address_boxes_)
                    if (box_id == id && box->Hwnd() == control) box->Changed();
            }
            break;
        default:
            break;
    }
}

// The system names a control after the label placed right before it in template order,
// but not every kind of control, and the template's exceptions not at all: every control
// without a caption gets its name as an annotation of the accessibility layer, which
// screen readers ask before any rule.
void CDialog::NameControls() {
    const std::vector<DLG_ACCESSIBLE_NAME> names = ControlNames(Template());
    if (names.empty()) return;
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    com_initialized_ = SUCCEEDED(com);
    IAccPropServices* services = nullptr;
    if (FAILED(CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER, IID_IAccPropServices,
                                reinterpret_cast<void**>(&services))))
        return;
    for (const DLG_ACCESSIBLE_NAME& name : names) {
        const HWND control = ::GetDlgItem(hwnd_, name.control_id);
        if (control == nullptr) continue;
        std::wstring text;
        if (name.text != nullptr) {
            text = Utf8ToWide(name.text);
        } else {
            std::array<wchar_t, 256> label{};
            ::GetDlgItemTextW(hwnd_, name.label_id, label.data(), static_cast<int>(label.size()));
            for (const wchar_t c : std::wstring(label.data()))
                if (c != L'&') text += c;
        }
        services->SetHwndPropStr(control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, PROPID_ACC_NAME,
                                 text.c_str());
    }
    services->Release();
}

void CDialog::SetScaleChangedHandler(std::function<void(UINT dpi)> handler) {
    scale_changed_handlers_.push_back(std::move(handler));
}

void CDialog::AttachControls() {
    NameControls();
    for (const DLG_ITEM_TEMPLATE& item : Template().items) {
        if (item.kind != CONTROL_KIND::IPV4_ADDRESS) continue;
        auto box = std::make_unique<CIpv4AddressBox>(::GetDlgItem(hwnd_, item.id));
        const int id = item.id;
        box->SetChangedHandler([this, id] { Notify(id, NOTIFICATION::CHANGE); });
        address_boxes_.emplace_back(id, std::move(box));
    }
}

void CDialog::SetNotifyHandler(int control_id, NOTIFY_HANDLER handler) {
    notify_handlers_.emplace_back(control_id, std::move(handler));
}

void CDialog::SetContextMenuHandler(int control_id, std::function<void(int x, int y)> handler) {
    context_menu_handlers_.emplace_back(control_id, std::move(handler));
}

HWND CDialog::GetDlgItem(int id) const {
    return hwnd_ != nullptr ? ::GetDlgItem(hwnd_, id) : nullptr;
}

HWND CDialog::ItemOrThrow(int id) const {
    const HWND control = GetDlgItem(id);
    if (control == nullptr) throw std::logic_error("no control with ID " + std::to_string(id));
    return control;
}

CIpv4AddressBox* CDialog::GetAddressBox(int id) const {
    for (const auto& [box_id, box] : address_boxes_)
        if (box_id == id) return box.get();
    throw std::logic_error("no address box with ID " + std::to_string(id));
}

void CDialog::EnableDlgItem(int id, bool enable) {
    EnableWindow(ItemOrThrow(id), enable ? TRUE : FALSE);
}

bool CDialog::IsDlgItemEnabled(int id) const {
    return (GetWindowLongW(ItemOrThrow(id), GWL_STYLE) & WS_DISABLED) == 0;
}

void CDialog::CheckDlgButton(int id, int check) {
    SendMessageW(ItemOrThrow(id), BM_SETCHECK, static_cast<WPARAM>(check), 0);
}

int CDialog::IsDlgButtonChecked(int id) const {
    return static_cast<int>(SendMessageW(ItemOrThrow(id), BM_GETCHECK, 0, 0));
}

void CDialog::SetDlgItemText(int id, std::u16string_view text) {
    const HWND control = ItemOrThrow(id);
    // An edit reports a change only when its text really changes.
    if (GetDlgItemText(id) == text) return;
    SetWindowTextW(control, ToWide(text).c_str());
}

std::u16string CDialog::GetDlgItemText(int id) const {
    const HWND control = ItemOrThrow(id);
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(std::max(copied, 0)));
    return ToU16(text);
}

void CDialog::LimitText(int id, int max_chars) {
    SendMessageW(ItemOrThrow(id), EM_LIMITTEXT, static_cast<WPARAM>(max_chars), 0);
}

int CDialog::ComboAddString(int id, std::u16string_view text) {
    const std::wstring wide = ToWide(text);
    return static_cast<int>(SendMessageW(ItemOrThrow(id), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide.c_str())));
}

void CDialog::ComboSetCurSel(int id, int index) {
    SendMessageW(ItemOrThrow(id), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int CDialog::ComboGetCurSel(int id) const {
    return static_cast<int>(SendMessageW(ItemOrThrow(id), CB_GETCURSEL, 0, 0));
}

int CDialog::ComboGetCount(int id) const {
    return static_cast<int>(SendMessageW(ItemOrThrow(id), CB_GETCOUNT, 0, 0));
}

void CDialog::GotoDlgCtrl(int id) {
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(ItemOrThrow(id)), TRUE);
}

void CDialog::SetProgressRange(int id, int low, int high) {
    SendMessageW(ItemOrThrow(id), PBM_SETRANGE32, static_cast<WPARAM>(low), static_cast<LPARAM>(high));
}

void CDialog::SetProgressPos(int id, int pos) {
    SendMessageW(ItemOrThrow(id), PBM_SETPOS, static_cast<WPARAM>(pos), 0);
}

void CDialog::SetProgramIcon() {
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    if (big_icon_ == nullptr)
        big_icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(PROGRAM_ICON_ID), IMAGE_ICON,
                                                  GetSystemMetrics(SM_CXICON), GetSystemMetrics(SM_CYICON), 0));
    if (small_icon_ == nullptr)
        small_icon_ = static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(PROGRAM_ICON_ID), IMAGE_ICON,
                                                    GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon_));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon_));
}

}  // namespace telvane
