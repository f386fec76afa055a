#pragma once

// The device list of the main window on the system's list view (report view): one row per
// entry of the device table, in table order (row i is entry i). Rows hold only their four
// texts; colours, tooltips and the notes are read from the table whenever they are drawn.

#include <windows.h>

#include <commctrl.h>

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "inventory/device_list.h"

namespace telvane {

class CDialog;

class CDeviceListView final {
public:
    using SelectDeviceFn = std::function<void(std::int32_t)>;
    // What the window knows about a row beyond its entry: sentences for its tooltip, and why
    // its web page cannot be reached from here (empty when it can).
    struct ROW_HINTS {
        std::u16string text;
        std::u16string unreachable;
    };
    using RowHintsFn = std::function<ROW_HINTS(int row)>;
    using TellFn = std::function<void(const std::u16string&)>;

    // Takes over the look and the notifications of the dialog's list control_id; table belongs
    // to the window and outlives the list.
    CDeviceListView(CDialog& dialog, int control_id, const DEVICE_TABLE& table);
    CDeviceListView(const CDeviceListView&) = delete;
    CDeviceListView& operator=(const CDeviceListView&) = delete;

    // Columns 0..count-1 (headings, widths scaled to the dialog's font, left-aligned), then
    // full-row selection with row tooltips.
    void InsertListColumns(int count, std::span<const LIST_COLUMN> columns);
    // Inserts entry's row at index and returns the position it got, or -1.
    int AddDeviceRow(std::int32_t index, const DEVICE_INFO& entry);
    // Every row anew from the table; callers invalidate.
    void RefillDeviceList();
    void DeleteAllItems();
    void SetSelectionMark(int row);
    int SelectionMark() const;
    void Invalidate(bool erase);
    // The list half of a heading click: sorts table by column, rebuilds and invalidates the
    // list, then select_device(0) when given. Returns 0, the notification's result.
    std::int32_t SortDeviceList(DEVICE_TABLE& table, int column, const SelectDeviceFn& select_device);

    // The context menu of a row (Copy Row / MAC / IPv4 address, Open Web Page), or nullptr
    // when row shows no device; the caller destroys it.
    HMENU CreateRowMenu(int row) const;

    void SetRowHints(RowHintsFn hints);
    // How "Open web page" says why it does not open a page it cannot reach.
    void SetTeller(TellFn tell);
    // After an enumeration on adapter_address the list says so when nobody answered, and when
    // more devices answered than the table holds. An empty address hides both.
    void SetEnumeratedAdapter(std::u16string_view adapter_address);
    void UpdateNotes();
    std::u16string EmptyNoteText() const;
    std::u16string FullNoteText() const;

    void SetHeaderClickHandler(std::function<void(int column)> handler);
    void SetItemChangedHandler(std::function<void(int row, bool selected)> handler);
    void SetClickHandler(std::function<void(int row)> handler);

    HWND List() const { return list_; }
    // Scales the columns from the DPI they were drawn for to dpi.
    void OnScaleChanged(UINT dpi);
    // The answer to the list's custom-draw notification: the rows' colours from their
    // entries' states, whatever the control's own selection, and the notes after painting.
    LRESULT OnDeviceListCustomDraw(NMLVCUSTOMDRAW& draw) const;

private:
    bool OnNotify(NMHDR* header, LRESULT* result);
    void OnContextMenu(int x, int y);
    void CopyText(const std::u16string& text) const;
    void DrawNotes(HDC dc) const;
    const DEVICE_INFO* EntryAt(int row) const;
    int RowCount() const;

    CDialog& dialog_;
    HWND list_;
    const DEVICE_TABLE& table_;
    std::u16string enumerated_adapter_;
    UINT dpi_ = 0;        // the DPI the column widths are drawn for
    std::u16string tip_;  // the text of the last tooltip asked for, alive while it shows
    RowHintsFn row_hints_;
    TellFn tell_;
    std::function<void(int)> on_header_click_;
    std::function<void(int, bool)> on_item_changed_;
    std::function<void(int)> on_click_;
};

}  // namespace telvane
