#include "ui/win32/device_list_view_win32.h"

#include <shellapi.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <stdexcept>

#include "inventory/row_text.h"
#include "ui/win32/dialog_win32.h"
#include "net/wide_text.h"
#include "protocol/text.h"

namespace telvane {

namespace {

using win32::ToWide;

// Average character width, in dialog-manager measure, of the 8-point font the column
// widths were drawn for.
constexpr int DESIGN_FONT_BASE_X = 6;

enum MENU_COMMAND : UINT { COPY_ROW = 1, COPY_MAC, COPY_IPV4, OPEN_WEB_PAGE };

// The DPI the window is drawn for: its monitor's where the system knows per-monitor DPI
// (Windows 10 1607 and later), otherwise the system's.
UINT WindowDpi(HWND window) {
    using GET_DPI_FOR_WINDOW = UINT(WINAPI*)(HWND);
    const FARPROC proc = GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow");
    GET_DPI_FOR_WINDOW get_dpi = nullptr;
    static_assert(sizeof get_dpi == sizeof proc);
    std::memcpy(&get_dpi, &proc, sizeof get_dpi);
    if (get_dpi != nullptr) {
        if (const UINT dpi = get_dpi(window); dpi != 0) return dpi;
    }
    const HDC dc = GetDC(window);
    const int dpi = GetDeviceCaps(dc, LOGPIXELSX);
    ReleaseDC(window, dc);
    return static_cast<UINT>(dpi);
}

LRESULT Send(HWND list, UINT message, WPARAM wparam, LPARAM lparam) {
    return SendMessageW(list, message, wparam, lparam);
}

void SetCellText(HWND list, int row, int column, const std::u16string& text) {
    std::wstring wide = ToWide(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = wide.data();
    Send(list, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

CDeviceListView::CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table)
    : CDeviceListCore(table), dialog_(dialog), list_(dialog.GetDlgItem(control_id)) {
    if (list_ == nullptr) throw std::logic_error("the dialog has no list view with this ID");
    dialog.SetNotifyHandler(control_id, [this](NMHDR* header, LRESULT* result) { return OnNotify(header, result); });
    dialog.SetContextMenuHandler(control_id, [this](int x, int y) { OnContextMenu(x, y); });
    dialog.SetScaleChangedHandler([this](UINT dpi) { OnScaleChanged(dpi); });
}

void CDeviceListView::InsertListColumns(int count, std::span<const LIST_COLUMN> columns) {
    RECT base{0, 0, 4, 8};
    MapDialogRect(dialog_.Hwnd(), &base);
    const int base_x = std::max<int>(1, base.right);
    dpi_ = WindowDpi(list_);
    for (int i = 0; i < count && static_cast<std::size_t>(i) < columns.size(); ++i) {
        const LIST_COLUMN& c = columns[static_cast<std::size_t>(i)];
        std::wstring heading = ToWide(c.heading);
        LVCOLUMNW column{};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (c.width * base_x + DESIGN_FONT_BASE_X / 2) / DESIGN_FONT_BASE_X;
        column.pszText = heading.data();
        column.iSubItem = i;
        Send(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column));
    }
    // Full-row selection; tooltips for the rows' states and hints; no flicker while rows come.
    Send(list_, LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP | LVS_EX_DOUBLEBUFFER);
}

// The list's columns keep their share of the list at any scale, widths the user dragged
// included: the dialog manager rescales the window, its font and its controls for a monitor
// of another scale, but not a list's columns.
void CDeviceListView::OnScaleChanged(UINT dpi) {
    if (dpi == 0 || dpi_ == 0 || dpi == dpi_) return;
    const HWND header = reinterpret_cast<HWND>(Send(list_, LVM_GETHEADER, 0, 0));
    const int count = header != nullptr ? static_cast<int>(Send(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
    for (int i = 0; i < count; ++i) {
        const int width = static_cast<int>(Send(list_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(i), 0));
        const int scaled = MulDiv(width, static_cast<int>(dpi), static_cast<int>(dpi_));
        Send(list_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(i), MAKELPARAM(scaled, 0));
    }
    dpi_ = dpi;
}

int CDeviceListView::AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry) {
    if (index < 0) return -1;
    const std::array<std::u16string, 4> cells = RowCellTexts(entry);
    std::wstring name = ToWide(cells[0]);
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = index;
    item.pszText = name.data();
    const auto position = static_cast<int>(Send(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
    if (position < 0) return -1;
    for (int column = 1; column < 4; ++column)
        SetCellText(list_, position, column, cells[static_cast<std::size_t>(column)]);
    return position;
}

void CDeviceListView::DeleteAllItems() {
    Send(list_, LVM_DELETEALLITEMS, 0, 0);
}

void CDeviceListView::SetSelectionMark(int row) {
    Send(list_, LVM_SETSELECTIONMARK, 0, row >= 0 && row < RowCount() ? row : -1);
}

int CDeviceListView::SelectionMark() const {
    return static_cast<int>(Send(list_, LVM_GETSELECTIONMARK, 0, 0));
}

void CDeviceListView::Invalidate(bool erase) {
    InvalidateRect(list_, nullptr, erase ? TRUE : FALSE);
}

void CDeviceListView::UpdateNotes() {
    // The notes are painted after the rows; a change of either shows at the next paint.
    Invalidate(true);
}

std::u16string CDeviceListView::EmptyNoteText() const {
    return RowCount() == 0 ? EmptyListText() : std::u16string();
}

std::u16string CDeviceListView::FullNoteText() const {
    return FullListText();
}

LRESULT CDeviceListView::OnDeviceListCustomDraw(NMLVCUSTOMDRAW& draw) const {
    switch (draw.nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW | CDRF_NOTIFYPOSTPAINT;
        case CDDS_ITEMPREPAINT: {
            // The table decides which row looks selected, not the control's own selection,
            // which a rebuild of the list clears.
            draw.nmcd.uItemState &= ~static_cast<UINT>(CDIS_SELECTED | CDIS_FOCUS);
            const DEVICE_INFO* e = EntryAt(static_cast<int>(draw.nmcd.dwItemSpec));
            if (e == nullptr) return CDRF_DODEFAULT;
            switch (RowLookOf(*e)) {
                case RowLook::Selected:
                    draw.clrText = GetSysColor(COLOR_HIGHLIGHTTEXT);
                    draw.clrTextBk = GetSysColor(COLOR_HIGHLIGHT);
                    break;
                case RowLook::Locked:
                    draw.clrTextBk = ROW_COLOUR_LOCKED;
                    break;
                case RowLook::SetOk:
                    draw.clrTextBk = ROW_COLOUR_SET_OK;
                    break;
                case RowLook::SetFailed:
                    draw.clrTextBk = ROW_COLOUR_SET_FAILED;
                    break;
                case RowLook::Plain:
                    break;
            }
            return CDRF_DODEFAULT;
        }
        case CDDS_POSTPAINT:
            DrawNotes(draw.nmcd.hdc);
            return CDRF_DODEFAULT;
        default:
            return CDRF_DODEFAULT;
    }
}

// The empty note over the rows' area; the full one on a strip at the bottom of the list.
void CDeviceListView::DrawNotes(HDC dc) const {
    RECT area{};
    GetClientRect(list_, &area);
    const HWND header = reinterpret_cast<HWND>(Send(list_, LVM_GETHEADER, 0, 0));
    RECT header_rect{};
    if (header != nullptr && GetWindowRect(header, &header_rect) != FALSE)
        area.top += header_rect.bottom - header_rect.top;
    const HGDIOBJ old_font = SelectObject(dc, reinterpret_cast<HGDIOBJ>(Send(list_, WM_GETFONT, 0, 0)));
    SetTextColor(dc, GetSysColor(COLOR_WINDOWTEXT));
    if (const std::wstring empty = ToWide(EmptyNoteText()); !empty.empty()) {
        RECT text = area;
        InflateRect(&text, -8, -8);
        SetBkMode(dc, TRANSPARENT);
        DrawTextW(dc, empty.c_str(), static_cast<int>(empty.size()), &text, DT_CENTER | DT_WORDBREAK | DT_NOPREFIX);
    }
    if (const std::wstring full = ToWide(FullNoteText()); !full.empty()) {
        SIZE size{};
        GetTextExtentPoint32W(dc, full.c_str(), static_cast<int>(full.size()), &size);
        RECT strip{area.left, std::max(area.top, area.bottom - size.cy - 4), area.right, area.bottom};
        FillRect(dc, &strip, GetSysColorBrush(COLOR_INFOBK));
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, GetSysColor(COLOR_INFOTEXT));
        strip.left += 4;
        DrawTextW(dc, full.c_str(), static_cast<int>(full.size()), &strip,
                  DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    }
    SelectObject(dc, old_font);
}

bool CDeviceListView::OnNotify(NMHDR* header, LRESULT* result) {
    // A disabled list takes no input; its notifications must not reach the window either.
    const bool usable = IsWindowEnabled(list_) != FALSE;
    switch (header->code) {
        case NM_CUSTOMDRAW:
            *result = OnDeviceListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(header));
            return true;
        case LVN_COLUMNCLICK:
            if (usable && on_header_click_) on_header_click_(reinterpret_cast<NMLISTVIEW*>(header)->iSubItem);
            *result = 0;
            return true;
        case LVN_ITEMCHANGED: {
            const auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            const bool selection =
                (change->uChanged & LVIF_STATE) != 0 && ((change->uOldState ^ change->uNewState) & LVIS_SELECTED) != 0;
            if (usable && selection && change->iItem >= 0 && on_item_changed_)
                on_item_changed_(change->iItem, (change->uNewState & LVIS_SELECTED) != 0);
            *result = 0;
            return true;
        }
        case NM_CLICK:
            if (usable && on_click_) on_click_(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
            *result = 0;
            return true;
        case LVN_GETINFOTIPW: {
            auto* tip = reinterpret_cast<NMLVGETINFOTIPW*>(header);
            if (EntryAt(tip->iItem) == nullptr || tip->pszText == nullptr || tip->cchTextMax <= 0) return false;
            const std::wstring wide = ToWide(RowTooltipText(table_, tip->iItem, row_hints_));
            const std::size_t n = std::min(wide.size(), static_cast<std::size_t>(tip->cchTextMax - 1));
            std::copy_n(wide.begin(), n, tip->pszText);
            tip->pszText[n] = L'\0';
            *result = 0;
            return true;
        }
        default:
            return false;
    }
}

void CDeviceListView::OnContextMenu(int x, int y) {
    if (IsWindowEnabled(list_) == FALSE) return;
    int row = -1;
    POINT at{x, y};
    if (x == -1 && y == -1) {
        // From the keyboard: the selected device's row, the menu at its top left.
        row = table_.selected_index;
        RECT item{};
        item.left = LVIR_BOUNDS;
        if (EntryAt(row) == nullptr ||
            Send(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)) == 0)
            return;
        at = {item.left, item.bottom};
        ClientToScreen(list_, &at);
    } else {
        LVHITTESTINFO hit{};
        hit.pt = at;
        ScreenToClient(list_, &hit.pt);
        row = static_cast<int>(Send(list_, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    }
    const DEVICE_INFO* e = EntryAt(row);
    if (e == nullptr) return;
    // The texts of the moment the menu opened.
    const ROW_MENU_TEXTS texts = RowMenuTexts(row, *e);

    const HMENU menu = CreateRowMenu(row);
    const auto command = static_cast<UINT>(
        TrackPopupMenu(menu, TPM_RETURNCMD | TPM_RIGHTBUTTON | TPM_NONOTIFY, at.x, at.y, 0, dialog_.Hwnd(), nullptr));
    DestroyMenu(menu);
    switch (command) {
        case COPY_ROW:
            CopyText(texts.row);
            break;
        case COPY_MAC:
            CopyText(texts.mac);
            break;
        case COPY_IPV4:
            CopyText(texts.ipv4);
            break;
        case OPEN_WEB_PAGE:
            // A page that cannot be reached from here is explained instead of opened dead.
            if (!texts.unreachable.empty()) {
                if (tell_) tell_(texts.unreachable);
            } else {
                ShellExecuteW(dialog_.Hwnd(), L"open", ToWide(FromUtf8(texts.url)).c_str(), nullptr, nullptr,
                              SW_SHOWNORMAL);
            }
            break;
        default:
            break;
    }
}

HMENU CDeviceListView::CreateRowMenu(int row) const {
    if (EntryAt(row) == nullptr) return nullptr;
    const HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, COPY_ROW, L"&Copy Row");
    AppendMenuW(menu, MF_STRING, COPY_MAC, L"Copy &MAC Address");
    AppendMenuW(menu, MF_STRING, COPY_IPV4, L"Copy &IPv4 Address");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, OPEN_WEB_PAGE, L"Open &Web Page");
    return menu;
}

void CDeviceListView::CopyText(const std::u16string& text) const {
    if (OpenClipboard(dialog_.Hwnd()) == FALSE) return;
    EmptyClipboard();
    const std::size_t bytes = (text.size() + 1) * sizeof(wchar_t);
    if (const HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes); memory != nullptr) {
        if (void* data = GlobalLock(memory); data != nullptr) {
            const std::wstring wide = ToWide(text);
            std::memcpy(data, wide.c_str(), bytes);
            GlobalUnlock(memory);
            if (SetClipboardData(CF_UNICODETEXT, memory) == nullptr) GlobalFree(memory);
        } else {
            GlobalFree(memory);
        }
    }
    CloseClipboard();
}

int CDeviceListView::RowCount() const {
    return static_cast<int>(Send(list_, LVM_GETITEMCOUNT, 0, 0));
}

}  // namespace telvane
